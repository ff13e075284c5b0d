// Turns the system's paths ("\" or "/" separators, names in any case, as on Windows) into
// real POSIX paths. Pure look-ups: nothing on disk is changed.
#pragma once

#include <sys/stat.h>

#include <string>

#include "Base/WindowsNames.h"

namespace Ferrowind {

// What a resolution learnt of the path it gave: that it exists (with what lstat said of
// it), that its folder was read whole and holds no such name in any case, or neither.
enum class TLooked { Exists, Missing, Unknown };

// First the path Windows would open (WindowsPath, for the use given); then each component
// names the entry of that exact name when it exists; otherwise the entry of its folder whose
// name equals it as Windows compares names (the first in byte order if several do);
// otherwise it stays as given, and so do all components after it, so that a file or folder
// can be created there. A leading separator makes the path absolute. "" for "", for a path
// Windows refuses, and for a folder that could not be read to its end, where a name
// differing in case might have been missed. With looked given, *looked and *info say what
// the look-ups found of the result. A path ending in a separator (NamesFolderOnly) ends in "/".
std::string ResolvePosixPath(const std::string& path, TPathUse use = TPathUse::File, TLooked* looked = nullptr,
                             struct stat* info = nullptr);

// Whether path exists (following a link), with *info filled; no look-up where a resolution
// already knows.
bool ExistsFollowing(const std::string& path, TLooked looked, struct stat* info);

// Writes all of data, resuming after interruptions; *written says how much went out.
bool WriteAll(int fd, const char* data, std::size_t count, std::size_t* written);
// Makes a rename or a creation in path's folder durable; a failure only leaves it less so.
void SyncFolderOf(const std::string& path);

// Windows wildcard match, names compared as Windows compares them: "*" any run of bytes, "?" one byte; "*.*"
// matches every name.
bool MatchesWildcard(const std::string& pattern, const std::string& name);

}  // namespace Ferrowind
