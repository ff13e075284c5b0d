// Turns the system's paths ("\" or "/" separators, names in any case, as on Windows) into
// real POSIX paths. Pure look-ups: nothing on disk is changed.
#pragma once

#include <string>

namespace Ferrowind {

// Each component names the entry of that exact name when it exists; otherwise the entry of
// its folder whose name equals it ignoring ASCII case (the first in byte order if several
// do); otherwise it stays as given, and so do all components after it, so that a file or
// folder can be created there. Empty components are dropped; a leading separator makes
// the path absolute, a trailing one is kept. "" gives "", and so does a folder that could
// not be read to its end, where a name differing in case might have been missed.
std::string ResolvePosixPath(const std::string& path);

// True when a and b are equal once the letters a to z are folded to A to Z.
bool EqualIgnoringCase(const std::string& a, const std::string& b);

// Windows wildcard match ignoring ASCII case: "*" any run of bytes, "?" one byte; "*.*"
// matches every name.
bool MatchesWildcard(const std::string& pattern, const std::string& name);

}  // namespace Ferrowind
