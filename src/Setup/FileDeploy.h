// Copying folder trees from beside the installer into the IDE's folder, and removing files
// from it. A copy stops at the first entry that fails; what was copied before stays.
#pragma once

#include <cstdint>
#include <string>

#include "Platform/Host.h"

namespace Ferrowind {

// The installer's own folder: its program path cut after the last separator or ":".
std::string InstallerFolder(THost& host);

// Copies every subfolder of the installer's folder + folder into root. Files lying directly
// in that folder, names beginning with "." and folder links are passed over; the top-level
// destination folders must exist. True when nothing failed (also for a missing source).
bool CopyFolders(THost& host, const std::string& folder, const std::string& root);

// Copies the tree below source into destination, creating nested folders and overwriting
// files. False at the first entry that fails; a folder link met here fails the copy.
bool CopyTree(THost& host, const std::string& source, const std::string& destination);

// Clears the file's attributes and deletes it; every failure is ignored.
void RemoveFileForced(THost& host, const std::string& path);

// Whether an enumeration asked for with attribute argument `wanted` delivers an entry:
// hidden, system, volume-label and directory bits exclude unless wanted.
bool EntryWanted(std::uint32_t attributes, std::uint32_t wanted);
// A folder to descend into: the directory bit, and not a link to elsewhere.
bool IsPlainFolder(std::uint32_t attributes);
// Whether COPYDIR copies this entry of its source folder: delivered when directories are
// asked for, a plain folder, and a name not beginning with ".".
bool IsCopiedSubfolder(const TFindEntry& entry);

}  // namespace Ferrowind
