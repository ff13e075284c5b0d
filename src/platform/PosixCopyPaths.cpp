#include "platform/PosixCopyPaths.h"

#include <dirent.h>
#include <fcntl.h>

#include <algorithm>

#include "Base/Text.h"
#include "platform/PosixPaths.h"

namespace Ferrowind {

namespace {
bool SameStamp(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_mtim.tv_sec == b.st_mtim.tv_sec &&
         a.st_mtim.tv_nsec == b.st_mtim.tv_nsec && a.st_ctim.tv_sec == b.st_ctim.tv_sec &&
         a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

}  // namespace

int TFolderNames::Handle(const std::string& folder) const {
  const auto it = FFolders.find(folder);
  return it == FFolders.end() || it->second.Handle.Get() < 0 ? AT_FDCWD : it->second.Handle.Get();
}

std::optional<std::string> TFolderNames::Find(const std::string& folder, const std::string& name, bool* missing) {
  *missing = false;
  auto it = FFolders.find(folder);
  const auto now = std::chrono::steady_clock::now();
  if (it == FFolders.end() || now - it->second.LookedAt > TrustFor) {
    struct stat info {};
    if (lstat(folder.c_str(), &info) != 0) {
      *missing = true;
      return std::nullopt;
    }
    if (it == FFolders.end() || !SameStamp(it->second.Stamp, info)) {
      // Held open, so that files are made in it without a walk along its path.
      TDescriptor handle(open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
      struct stat opened {};
      if (handle.Get() >= 0 && (fstat(handle.Get(), &opened) != 0 || !SameStamp(opened, info))) handle = TDescriptor();
      TFolder read{info, now, {}, {}, std::move(handle)};
      DIR* dir = opendir(folder.c_str());
      if (dir == nullptr) return std::nullopt;
      while (const dirent* entry = readdir(dir)) Add(read, entry->d_name);
      closedir(dir);
      it = FFolders.insert_or_assign(folder, std::move(read)).first;
      Trim(folder);
    }
    it->second.LookedAt = now;
  }
  if (it->second.Exact.count(name) != 0) return name;
  const auto found = it->second.Folded.find(ToUpperAscii(name));
  if (found == it->second.Folded.end()) return std::nullopt;
  return found->second;
}

void TFolderNames::Created(const std::string& folder, const std::string& name) {
  const auto it = FFolders.find(folder);
  if (it == FFolders.end()) return;
  // Taken at once, so that the folder's times cover this addition and nothing later.
  const int handle = it->second.Handle.Get();
  if ((handle >= 0 ? fstat(handle, &it->second.Stamp) : lstat(folder.c_str(), &it->second.Stamp)) != 0) {
    FFolders.erase(it);
    return;
  }
  it->second.LookedAt = std::chrono::steady_clock::now();
  Add(it->second, name);
}

// A copy works in one folder at a time: the names of the folders it has left are let go,
// so that memory stays small however many folders it fills.
void TFolderNames::Trim(const std::string& keep) {
  while (FFolders.size() > KeptFolders) {
    auto oldest = FFolders.end();
    for (auto it = FFolders.begin(); it != FFolders.end(); ++it) {
      if (it->first != keep && (oldest == FFolders.end() || it->second.LookedAt < oldest->second.LookedAt)) {
        oldest = it;
      }
    }
    FFolders.erase(oldest);
  }
}

void TFolderNames::Add(TFolder& folder, const std::string& name) {
  folder.Exact.insert(name);
  auto [it, added] = folder.Folded.try_emplace(ToUpperAscii(name), name);
  if (!added && name < it->second) it->second = name;
}

std::optional<TPlainPath> SplitPlain(const std::string& path) {
  std::string plain = path;
  std::replace(plain.begin(), plain.end(), '\\', '/');
  const std::size_t slash = plain.rfind('/');
  const bool simple = plain.size() > 1 && plain[0] == '/' && plain.back() != '/' &&
                      plain.find("//") == std::string::npos && plain.find("/./") == std::string::npos &&
                      plain.find("/../") == std::string::npos && slash != 0;
  if (!simple) return std::nullopt;
  TPlainPath split{plain.substr(0, slash), plain.substr(slash + 1)};
  if (split.Name == "." || split.Name == "..") return std::nullopt;
  return split;
}

std::string ResolveForCopy(const std::string& path, TFolderNames& names, struct stat* info, TLooked* looked) {
  *looked = TLooked::Unknown;
  const std::optional<TPlainPath> split = SplitPlain(path);
  if (!split) return ResolvePosixPath(path);
  const std::string& folder = split->Folder;
  const std::string& name = split->Name;
  std::string plain = folder + "/" + name;
  const bool known = names.Knows(folder);
  if (!known && lstat(plain.c_str(), info) == 0) {
    *looked = TLooked::Exists;
    return plain;
  }
  bool missing = false;
  const std::optional<std::string> match = names.Find(folder, name, &missing);
  if (missing) return ResolvePosixPath(path);
  if (!match) {
    *looked = TLooked::Missing;
    return plain;
  }
  std::string real = folder + "/" + *match;
  if (known && lstat(real.c_str(), info) == 0) *looked = TLooked::Exists;
  return real;
}

// Whether path exists (following a link), with *info filled; no look-up when the
// resolution already knows.
bool ExistsAt(const std::string& path, TLooked looked, struct stat* info) {
  if (looked == TLooked::Missing) return false;
  if (looked == TLooked::Exists && !S_ISLNK(info->st_mode)) return true;
  return stat(path.c_str(), info) == 0;
}

}  // namespace Ferrowind
