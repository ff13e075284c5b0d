#include "Platform/PosixPaths.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <optional>
#include <utility>

#include "Base/Text.h"

namespace Ferrowind {

namespace {

enum class TScan { Found, None, NoFolder, Failed };

// The entry of folder equal to name ignoring case, into *match; the smallest in byte order
// wins so that the answer does not depend on the order the file system lists its entries
// in. Failed when the folder cannot be read to its end, so that a name that might be there
// is never taken for absent.
TScan FindIgnoringCase(const std::string& folder, const std::string& name, std::string* match) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return errno == ENOENT || errno == ENOTDIR ? TScan::NoFolder : TScan::Failed;
  std::optional<std::string> best;
  for (;;) {
    errno = 0;  // readdir gives NULL at the end and on an error alike
    const dirent* entry = readdir(dir);
    if (entry == nullptr) break;
    if (std::strlen(entry->d_name) != name.size()) continue;
    std::string candidate = entry->d_name;
    if (NamesEqual(candidate, name) && (!best || candidate < *best)) best = std::move(candidate);
  }
  const bool complete = errno == 0;
  closedir(dir);
  if (!complete) return TScan::Failed;
  if (!best) return TScan::None;
  *match = *best;
  return TScan::Found;
}

// Each component looked up in turn: the general case.
std::string WalkPath(const std::string& path) {
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
    std::string match;
    const TScan scan = FindIgnoringCase(result.empty() ? "." : result, component, &match);
    if (scan == TScan::Failed) return "";
    if (scan == TScan::Found) {
      result += match;
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
    } else if (p < pattern.size() && (pattern[p] == '?' || FoldName(pattern[p]) == FoldName(name[n]))) {
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

namespace {
std::string Resolved(const std::string& given, TPathUse use, TLooked* looked, struct stat* info) {
  TLooked ignored = TLooked::Unknown;
  struct stat unused {};
  if (looked == nullptr) looked = &ignored;
  if (info == nullptr) info = &unused;
  *looked = TLooked::Unknown;
  std::string path;
  if (!WindowsPath(given, use, &path)) return "";
  // Where the path exists as written, or all but its last name does, the walk would give
  // the same answer: one or two look-ups instead of one per component.
  std::string plain = path;
  std::replace(plain.begin(), plain.end(), '\\', '/');
  if (plain.empty()) return plain;
  if (lstat(plain.c_str(), info) == 0) {
    *looked = TLooked::Exists;
    return plain;
  }
  const std::size_t slash = plain.rfind('/');
  const std::string name = plain.substr(slash == std::string::npos ? 0 : slash + 1);
  if (name.empty() || name == "." || name == "..") return WalkPath(path);
  const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : plain.substr(0, slash));
  std::string match;
  switch (FindIgnoringCase(folder, name, &match)) {
    case TScan::Found:
      return plain.substr(0, plain.size() - name.size()) + match;
    case TScan::Failed:
      return "";
    case TScan::None:
      *looked = TLooked::Missing;
      return plain;
    case TScan::NoFolder:
      break;
  }
  return WalkPath(path);  // the folder itself may differ in case
}
}  // namespace

std::string ResolvePosixPath(const std::string& given, TPathUse use, TLooked* looked, struct stat* info) {
  std::string path = Resolved(given, use, looked, info);
  // A trailing "/" keeps a file from being found by it, as Windows finds none by a trailing "\".
  if (!path.empty() && path.back() != '/' && NamesFolderOnly(given)) {
    path += '/';
    if (looked != nullptr) *looked = TLooked::Unknown;
  }
  return path;
}

bool ExistsFollowing(const std::string& path, TLooked looked, struct stat* info) {
  if (looked == TLooked::Missing) return false;
  if (looked == TLooked::Exists && !S_ISLNK(info->st_mode)) return true;
  return stat(path.c_str(), info) == 0;
}

bool WriteAll(int fd, const char* data, std::size_t count, std::size_t* written) {
  *written = 0;
  while (*written < count) {
    const ssize_t put = write(fd, data + *written, count - *written);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    *written += static_cast<std::size_t>(put);
  }
  return true;
}

void SyncFolderOf(const std::string& path) {
  const std::string folder = FolderOf(path);
  const int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

}  // namespace Ferrowind
