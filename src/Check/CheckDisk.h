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

// The folder that holds the file at path: the path cut after its last "\", "/" or ":";
// empty for a bare name.
std::string FolderOf(const std::string& path);

// A lister that looks up folders relative to configFolder: nullopt when the name is not a
// folder there, otherwise every entry an enumeration of it delivers. The host must outlive
// the lister.
TFolderLister HostFolderLister(THost& host, const std::string& configFolder);

}  // namespace Ferrowind
