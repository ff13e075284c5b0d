// The checker's access to the disk, through the installer's host: reading the
// configuration file whole, and listing the folders beside it that COPYDIR names.
#pragma once

#include <cstdint>
#include <string>

#include "Check/ConfigCheck.h"
#include "platform/Host.h"

namespace Ferrowind {

// Reads the whole file, opened as the installer opens it (read only, sharing read access,
// never created). False when it cannot be opened or read, is larger than limit, or does not
// fit in memory; *bytes is empty then.
bool ReadWholeFile(THost& host, const std::string& path, std::string* bytes, std::uint64_t limit = UINT64_MAX);

// The largest configuration file the checker reads: it holds the file whole and numbers its
// lines in an int, both within a 32-bit build's reach below this.
constexpr std::uint64_t MaxCheckedFile = std::uint64_t{1} << 30;

// A lister that looks up folders relative to configFolder: Missing when the name is not a
// folder there, Failed when its enumeration fails at the start or part-way, otherwise
// every entry the enumeration delivers. The host must outlive the lister.
TFolderLister HostFolderLister(THost& host, const std::string& configFolder);

}  // namespace Ferrowind
