#include "platform/PosixPaths.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstddef>
#include <optional>

#include "Base/Text.h"

namespace Ferrowind {

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// The entry of folder equal to name ignoring case; the smallest in byte order wins so that
// the answer does not depend on the order the file system lists its entries in.
std::optional<std::string> FindIgnoringCase(const std::string& folder, const std::string& name) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return std::nullopt;
  std::optional<std::string> best;
  while (const dirent* entry = readdir(dir)) {
    std::string candidate = entry->d_name;
    if (EqualIgnoringCase(candidate, name) && (!best || candidate < *best)) best = candidate;
  }
  closedir(dir);
  return best;
}

}  // namespace

bool MatchesWildcard(const std::string& pattern, const std::string& name) {
  if (pattern == "*.*") return true;
  // Iterative match with one backtrack point: linear in practice, no recursion on hostile
  // patterns.
  std::size_t p = 0, n = 0, starP = std::string::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (p < pattern.size() && (pattern[p] == '?' || FoldAscii(pattern[p]) == FoldAscii(name[n]))) {
      ++p;
      ++n;
    } else if (starP != std::string::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

std::string ResolvePosixPath(const std::string& path) {
  std::string result;
  if (!path.empty() && IsSeparator(path[0])) result = "/";
  bool missing = false;
  std::size_t i = 0;
  while (i < path.size()) {
    while (i < path.size() && IsSeparator(path[i])) ++i;
    if (i == path.size()) break;
    std::size_t end = i;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    const std::string component = path.substr(i, end - i);
    i = end;

    if (!result.empty() && result.back() != '/') result += '/';
    if (missing || component == "." || component == "..") {
      result += component;
      continue;
    }
    struct stat info {};
    if (lstat((result + component).c_str(), &info) == 0) {
      result += component;
      continue;
    }
    // Once a component is missing nothing below it can exist: skip the folder scans.
    if (auto match = FindIgnoringCase(result.empty() ? "." : result, component)) {
      result += *match;
    } else {
      result += component;
      missing = true;
    }
  }
  if (!path.empty() && IsSeparator(path.back()) && !result.empty() && result.back() != '/') {
    result += '/';
  }
  return result;
}

}  // namespace Ferrowind
