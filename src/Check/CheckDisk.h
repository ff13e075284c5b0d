// The checker's access to the disk, through the installer's host: reading the
// configuration file whole, and listing the folders beside it that COPYDIR names.
#pragma once

#include <cstdint>
#include <string>

#include "Check/ConfigCheck.h"
#include "Platform/Host.h"
#include "Platform/WholeFile.h"

namespace Ferrowind {

// The largest configuration file the checker reads: it holds the file whole and numbers its
// lines in an int, both within a 32-bit build's reach below this.
constexpr std::uint64_t MaxCheckedFile = std::uint64_t{1} << 30;

// A lister that looks up folders relative to configFolder: Missing when the name is not a
// folder there, Failed when its enumeration fails at the start or part-way, otherwise
// every entry the enumeration delivers. The host must outlive the lister.
TFolderLister HostFolderLister(THost& host, const std::string& configFolder);

}  // namespace Ferrowind
