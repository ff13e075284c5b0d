// The checker's access to the disk, through the installer's host: reading the
// configuration file whole, and listing the folders beside it that COPYDIR names.
#pragma once

#include <string>

#include "Check/ConfigCheck.h"
#include "platform/Host.h"

namespace Ferrowind {

// Reads the whole file, opened as the installer opens it (read only, sharing read access,
// never created). False when it cannot be opened or read; *bytes is empty then.
bool ReadWholeFile(THost& host, const std::string& path, std::string* bytes);

// A lister that looks up folders relative to configFolder: Missing when the name is not a
// folder there, Failed when its enumeration fails at the start or part-way, otherwise
// every entry the enumeration delivers. The host must outlive the lister.
TFolderLister HostFolderLister(THost& host, const std::string& configFolder);

}  // namespace Ferrowind
