// The host on Linux and other POSIX systems: message boxes on the terminal, the registry in
// a REGEDIT4 file, and files with Windows' case-insensitive names, attribute words and
// read-only rule (taken from the mode bits, since root may write anything).
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "Base/Text.h"
#include "Platform/Host.h"
#include "Platform/PosixPaths.h"
#include "Platform/PosixRegistry.h"

namespace Ferrowind {

namespace {

// The Windows attribute word of the entry at path (relative to the folder open as folder,
// or to the current folder), whose own name is name.
std::optional<std::uint32_t> AttributesAt(const std::string& path, const std::string& name, int folder = AT_FDCWD) {
  struct stat info {};
  if (fstatat(folder, path.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return std::nullopt;
  std::uint32_t attributes = AttrSystem;
  if (S_ISLNK(info.st_mode)) {
    if (fstatat(folder, path.c_str(), &info, 0) == 0) {
      // A folder link is reported as Windows reports a junction, so no walk follows it.
      if (S_ISDIR(info.st_mode))
        attributes = AttrDirectory | AttrReparsePoint;
      else if (S_ISREG(info.st_mode))
        attributes = AttrArchive;
    }
  } else if (S_ISDIR(info.st_mode)) {
    attributes = AttrDirectory;
  } else if (S_ISREG(info.st_mode)) {
    attributes = AttrArchive;
  }
  if ((info.st_mode & S_IWUSR) == 0) attributes |= AttrReadOnly;
  if (!name.empty() && name[0] == '.' && name != "." && name != "..") attributes |= AttrHidden;
  return attributes;
}

// A descriptor closed when it goes out of scope.
class TDescriptor {
 public:
  explicit TDescriptor(int fd = -1) : FFd(fd) {}
  TDescriptor(TDescriptor&& other) noexcept : FFd(std::exchange(other.FFd, -1)) {}
  TDescriptor& operator=(TDescriptor&& other) noexcept {
    std::swap(FFd, other.FFd);
    return *this;
  }
  TDescriptor(const TDescriptor&) = delete;
  TDescriptor& operator=(const TDescriptor&) = delete;
  ~TDescriptor() {
    if (FFd >= 0) close(FFd);
  }
  int Get() const { return FFd; }

 private:
  int FFd;
};

// Whether another open holds the file at path; otherwise *hold keeps everyone else out
// until it goes. Windows removes, renames and overwrites no open file: none of the opens
// here shares deletion. A file this process cannot open is not held by it.
bool HeldElsewhere(const std::string& path, TDescriptor* hold) {
  *hold = TDescriptor(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW));
  return hold->Get() >= 0 && flock(hold->Get(), LOCK_EX | LOCK_NB) != 0;
}

// Whether info is the running program's own file, which Windows keeps from being removed or
// written while the program runs.
bool IsRunningProgram(const struct stat& info) {
  struct stat self {};
  return stat("/proc/self/exe", &self) == 0 && self.st_dev == info.st_dev && self.st_ino == info.st_ino;
}

mode_t CreationMask() {
  static const mode_t mask = [] {
    const mode_t current = umask(0);
    umask(current);
    return current;
  }();
  return mask;
}

// Copies in, from its current position, to out: size bytes with the kernel's copy call, or
// with reads and writes from where that call stopped (it cannot cross some file systems,
// and files whose size the system does not know read as empty to it).
bool CopyData(int in, int out, std::uint64_t size) {
  std::uint64_t copied = 0;
  while (copied < size) {
    const ssize_t moved = copy_file_range(in, nullptr, out, nullptr, size - copied, 0);
    if (moved < 0 && errno == EINTR) continue;
    if (moved <= 0) break;
    copied += static_cast<std::uint64_t>(moved);
  }
  if (size > 0 && copied >= size) return true;
  std::vector<char> buffer(std::size_t{1} << 20);
  for (;;) {
    const ssize_t got = read(in, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return got == 0;
    std::size_t written = 0;
    if (!WriteAll(out, buffer.data(), static_cast<std::size_t>(got), &written)) return false;
  }
}

// One answer line, read a byte at a time so that nothing after it is taken from the input.
// False at the end of input with nothing read.
bool ReadAnswerLine(std::string* line) {
  line->clear();
  bool any = false;
  for (;;) {
    char c = 0;
    const ssize_t got = read(STDIN_FILENO, &c, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return any;
    any = true;
    if (c == '\n') return true;
    line->push_back(c);
  }
}

std::string NormalisedAnswer(const std::string& line) {
  std::string answer;
  for (char c : line) {
    if (c == ' ' || c == '\t' || c == '\r') continue;
    answer.push_back(FoldAscii(c));
  }
  return answer;
}

class THostPosix final : public THost {
 public:
  bool ShowMessage(const std::string& text, TBoxKind kind) override;
  bool RegOpen(TRootKey root, const std::string& path, TRegAccess access, THandle* key) override;
  TRegRead RegQuery(THandle key, const std::string& name, std::string* data) override;
  bool RegSet(THandle key, const std::string& name, const std::string& data) override;
  void RegClose(THandle key) override { FKeys.erase(key); }
  bool FileOpen(const std::string& path, TFileAccess access, TFileShare share, TFileCreate create,
                THandle* file) override;
  bool FileSize(THandle file, std::uint64_t* size) override;
  bool FileRead(THandle file, char* buffer, std::size_t count, std::size_t* got) override;
  bool FileWrite(THandle file, const char* data, std::size_t count, std::size_t* written) override;
  bool FileFlush(THandle file) override;
  void FileClose(THandle file) override;
  TFind FindFirst(const std::string& pattern, THandle* find, TFindEntry* entry) override;
  TFind FindNext(THandle find, TFindEntry* entry) override;
  void FindClose(THandle find) override { FFinds.erase(find); }
  bool GetAttributes(const std::string& path, std::uint32_t* attributes) override;
  bool SetAttributes(const std::string& path, std::uint32_t attributes) override;
  bool CopyFileTo(const std::string& source, const std::string& destination, bool failIfExists) override;
  bool MakeFolder(const std::string& path) override;
  bool RemoveFile(const std::string& path) override;
  bool ReplaceWith(const std::string& source, const std::string& destination) override;
  std::string ProgramPath() override;
  std::string FullPath(const std::string& path) override;
  std::string SystemTextAsUtf8(const std::string& text) override { return text; }

 private:
  struct TOpenKey {
    std::string FilePath;
    TRootKey Root;
    std::string Path;
    TRegAccess Access;
    TRegistryFile File;
  };
  struct TOpenFind {
    std::vector<TFindEntry> Entries;
    std::size_t Next = 0;
  };

  bool LoadRegistry(const std::string& filePath, TRegistryFile* file);
  int Descriptor(THandle file) const;

  std::map<THandle, TOpenKey> FKeys;
  std::map<THandle, int> FFiles;  // file descriptors
  std::map<THandle, TOpenFind> FFinds;
  std::set<std::string> FReported;  // registry files already named on stderr
  THandle FNextHandle = 1;
};

bool THostPosix::ShowMessage(const std::string& text, TBoxKind kind) {
  const bool confirmation = kind == TBoxKind::Confirmation;
  const char* title = confirmation ? "Confirmation" : kind == TBoxKind::Warning ? "Warning" : "Information";
  // A Windows box ends its text at the first NUL.
  const std::string shown = text.substr(0, text.find('\0'));
  std::string box = std::string("[Ferrowind Component Installer: ") + title + "]\n";
  for (std::size_t i = 0; i < shown.size(); ++i) {
    if (shown[i] == '\r' && i + 1 < shown.size() && shown[i + 1] == '\n') continue;
    box.push_back(shown[i]);
  }
  box += confirmation ? "\n[OK/Cancel]\n" : "\n[OK]\n";

  for (;;) {
    std::fwrite(box.data(), 1, box.size(), stdout);
    std::fflush(stdout);
    std::string line;
    const bool answered = ReadAnswerLine(&line);
    if (!confirmation) return true;
    if (!answered) return false;
    const std::string answer = NormalisedAnswer(line);
    if (answer.empty() || answer == "OK" || answer == "O" || answer == "YES" || answer == "Y") return true;
    if (answer == "CANCEL" || answer == "C" || answer == "NO" || answer == "N") return false;
  }
}

bool THostPosix::LoadRegistry(const std::string& filePath, TRegistryFile* file) {
  const TRegLoad loaded = LoadRegistryFile(filePath, file);
  if (loaded == TRegLoad::Loaded) return true;
  if (FReported.insert(filePath).second) {
    std::fprintf(
        stderr, "ferrowind: registry file %s %s\n", filePath.c_str(),
        loaded == TRegLoad::NotRegedit ? "does not begin with REGEDIT4; it is not used or changed" : "cannot be read");
  }
  return false;
}

bool THostPosix::RegOpen(TRootKey root, const std::string& path, TRegAccess access, THandle* key) {
  *key = 0;
  TOpenKey opened{RegistryFilePath(), root, path, access, {}};
  if (!LoadRegistry(opened.FilePath, &opened.File) || !opened.File.KeyExists(root, path)) return false;
  // As Windows checks a key's rights when it is opened: a read-only registry file opens no
  // key for writing, so that a preview learns of it without writing.
  struct stat info {};
  if (access == TRegAccess::Write && stat(opened.FilePath.c_str(), &info) == 0 && (info.st_mode & S_IWUSR) == 0) {
    return false;
  }
  *key = FNextHandle++;
  FKeys.emplace(*key, std::move(opened));
  return true;
}

TRegRead THostPosix::RegQuery(THandle key, const std::string& name, std::string* data) {
  data->clear();
  const auto it = FKeys.find(key);
  if (it == FKeys.end() || it->second.Access != TRegAccess::Read) return TRegRead::Failed;
  // The file as it is now, as a Windows key shows values set since it was opened.
  TOpenKey& opened = it->second;
  TRegistryFile fresh;
  if (!LoadRegistry(opened.FilePath, &fresh)) return TRegRead::Failed;
  opened.File = std::move(fresh);
  bool isString = false;
  const TRegRead read = opened.File.Query(opened.Root, opened.Path, name, data, &isString);
  if (read == TRegRead::Found && isString) *data = StoredString(*data);
  return read;
}

bool THostPosix::RegSet(THandle key, const std::string& name, const std::string& data) {
  const auto it = FKeys.find(key);
  if (it == FKeys.end() || it->second.Access != TRegAccess::Write) return false;
  TOpenKey& opened = it->second;
  // Edit the file as it is now, so that a change made since the open is not undone.
  TRegistryFile fresh;
  if (!LoadRegistry(opened.FilePath, &fresh) || !fresh.SetString(opened.Root, opened.Path, name, data) ||
      !SaveFileAtomically(opened.FilePath, fresh.Text())) {
    return false;
  }
  opened.File = std::move(fresh);
  return true;
}

int THostPosix::Descriptor(THandle file) const {
  const auto it = FFiles.find(file);
  return it == FFiles.end() ? -1 : it->second;
}

bool THostPosix::FileOpen(const std::string& path, TFileAccess access, TFileShare share, TFileCreate create,
                          THandle* file) {
  *file = 0;
  const std::string real = ResolvePosixPath(path);
  if (real.empty()) return false;
  const bool writing = access == TFileAccess::ReadWrite || create == TFileCreate::CreateAlways;
  struct stat info {};
  if (stat(real.c_str(), &info) == 0) {
    if (!S_ISREG(info.st_mode)) return false;
    if (writing && ((info.st_mode & S_IWUSR) == 0 || IsRunningProgram(info))) return false;  // as Windows refuses
  } else if (create == TFileCreate::OpenExisting) {
    return false;
  }
  // No O_TRUNC: the lock must be held before anything is cut. O_NONBLOCK keeps a FIFO that
  // appears meanwhile from hanging the open; it is refused just below.
  const int flags = (writing ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NONBLOCK;
  bool created = false;
  int fd = open(real.c_str(), flags);
  if (fd < 0 && errno == ENOENT && create == TFileCreate::CreateAlways) {
    fd = open(real.c_str(), flags | O_CREAT | O_EXCL, 0644);
    created = fd >= 0;
  }
  if (fd < 0) return false;
  // A writer is kept out by every other open, as on Windows where no open here shares writing.
  const int lock = share == TFileShare::Read && !writing ? LOCK_SH : LOCK_EX;
  bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && flock(fd, lock | LOCK_NB) == 0;
  if (ok && create == TFileCreate::CreateAlways && !created) ok = ftruncate(fd, 0) == 0;
  if (!ok) {
    close(fd);
    if (created) unlink(real.c_str());
    return false;
  }
  *file = FNextHandle++;
  FFiles.emplace(*file, fd);
  return true;
}

bool THostPosix::FileSize(THandle file, std::uint64_t* size) {
  struct stat info {};
  const int fd = Descriptor(file);
  if (fd < 0 || fstat(fd, &info) != 0) return false;
  *size = static_cast<std::uint64_t>(info.st_size);
  return true;
}

bool THostPosix::FileRead(THandle file, char* buffer, std::size_t count, std::size_t* got) {
  *got = 0;
  const int fd = Descriptor(file);
  if (fd < 0) return false;
  // A file read, as on Windows, delivers everything asked for up to the end of the file.
  while (*got < count) {
    const ssize_t read_now = read(fd, buffer + *got, count - *got);
    if (read_now < 0 && errno == EINTR) continue;
    if (read_now < 0) return false;
    if (read_now == 0) break;
    *got += static_cast<std::size_t>(read_now);
  }
  return true;
}

bool THostPosix::FileWrite(THandle file, const char* data, std::size_t count, std::size_t* written) {
  *written = 0;
  const int fd = Descriptor(file);
  return fd >= 0 && WriteAll(fd, data, count, written);
}

bool THostPosix::FileFlush(THandle file) {
  const int fd = Descriptor(file);
  return fd >= 0 && fsync(fd) == 0;
}

void THostPosix::FileClose(THandle file) {
  const auto it = FFiles.find(file);
  if (it == FFiles.end()) return;
  close(it->second);
  FFiles.erase(it);
}

TFind THostPosix::FindFirst(const std::string& given, THandle* find, TFindEntry* entry) {
  *find = 0;
  std::string pattern;
  if (!WindowsPath(given, TPathUse::Pattern, &pattern)) return TFind::Failed;
  if (NamesFolderOnly(given)) return TFind::NoMore;
  const std::size_t separator = pattern.find_last_of("\\/");
  const std::string folder = separator == std::string::npos ? "" : pattern.substr(0, separator + 1);
  const std::string last = separator == std::string::npos ? pattern : pattern.substr(separator + 1);
  if (last.empty()) return TFind::NoMore;

  TOpenFind found;
  if (last.find_first_of("*?") == std::string::npos) {
    const std::string real = ResolvePosixPath(folder + last);
    // No path: the folder could not be searched for the name in another case.
    if (real.empty()) return TFind::Failed;
    const std::string name = LastName(real);
    if (const auto attributes = AttributesAt(real, name)) found.Entries.push_back({name, *attributes});
  } else {
    std::string realFolder = folder.empty() ? "." : ResolvePosixPath(folder);
    if (realFolder.empty()) return TFind::Failed;
    DIR* dir = opendir(realFolder.c_str());
    if (dir == nullptr) {
      // A missing folder lists nothing; a file named as the folder is an error, as on Windows.
      const int error = errno;
      struct stat info {};
      std::string named = realFolder;
      while (named.size() > 1 && named.back() == '/') named.pop_back();
      const bool isFile = error == ENOTDIR && stat(named.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
      return (error == ENOENT || error == ENOTDIR) && !isFile ? TFind::NoMore : TFind::Failed;
    }
    std::vector<std::string> names;
    for (;;) {
      errno = 0;  // readdir gives NULL at the end and on an error alike
      const dirent* item = readdir(dir);
      if (item == nullptr) break;
      if (MatchesWildcard(last, item->d_name)) names.emplace_back(item->d_name);
    }
    if (errno != 0) {
      closedir(dir);
      return TFind::Failed;
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) { return ListsBefore(a, b); });
    for (const std::string& name : names) {
      if (name == "." || name == "..") {
        found.Entries.push_back({name, AttrDirectory});
      } else if (const auto attributes = AttributesAt(name, name, dirfd(dir))) {
        found.Entries.push_back({name, *attributes});
      }
    }
    closedir(dir);
  }
  if (found.Entries.empty()) return TFind::NoMore;
  *entry = found.Entries[0];
  found.Next = 1;
  *find = FNextHandle++;
  FFinds.emplace(*find, std::move(found));
  return TFind::Entry;
}

TFind THostPosix::FindNext(THandle find, TFindEntry* entry) {
  const auto it = FFinds.find(find);
  if (it == FFinds.end()) return TFind::Failed;
  if (it->second.Next >= it->second.Entries.size()) return TFind::NoMore;
  *entry = it->second.Entries[it->second.Next++];
  return TFind::Entry;
}

bool THostPosix::GetAttributes(const std::string& path, std::uint32_t* attributes) {
  const std::string real = ResolvePosixPath(path);
  if (real.empty()) return false;
  const auto found = AttributesAt(real, LastName(real));
  if (!found) return false;
  *attributes = *found;
  return true;
}

bool THostPosix::SetAttributes(const std::string& path, std::uint32_t attributes) {
  const std::string real = ResolvePosixPath(path);
  struct stat info {};
  if (real.empty() || stat(real.c_str(), &info) != 0) return false;
  mode_t mode = info.st_mode & 07777;
  mode = (attributes & AttrReadOnly) != 0 ? (mode & ~mode_t{0222}) : (mode | S_IWUSR);
  return chmod(real.c_str(), mode) == 0;
}

bool THostPosix::CopyFileTo(const std::string& source, const std::string& destination, bool failIfExists) {
  // The destination's name is looked up in its folder as it is now, so that a file there
  // whose name differs only in case is the one replaced, as on Windows.
  struct stat fromInfo {
  }, toInfo{};
  TLooked fromLooked = TLooked::Unknown, toLooked = TLooked::Unknown;
  const std::string from = ResolvePosixPath(source, TPathUse::File, &fromLooked, &fromInfo);
  const std::string to = ResolvePosixPath(destination, TPathUse::File, &toLooked, &toInfo);
  // Decided before any open: opening a device or a FIFO can block or have effects.
  if (from.empty() || to.empty() || !ExistsFollowing(from, fromLooked, &fromInfo) || !S_ISREG(fromInfo.st_mode)) {
    return false;
  }
  const bool replacing = ExistsFollowing(to, toLooked, &toInfo);
  if (replacing) {
    if (failIfExists || !S_ISREG(toInfo.st_mode) || (toInfo.st_mode & S_IWUSR) == 0 || IsRunningProgram(toInfo)) {
      return false;
    }
    // Copying a file onto itself would truncate it before reading it.
    if (toInfo.st_dev == fromInfo.st_dev && toInfo.st_ino == fromInfo.st_ino) return false;
  }
  const int in = open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (in < 0) return false;
  // Windows' copy reads its source shared for reading only.
  if (fstat(in, &fromInfo) != 0 || !S_ISREG(fromInfo.st_mode) || flock(in, LOCK_SH | LOCK_NB) != 0) {
    close(in);
    return false;
  }
  const mode_t mode = fromInfo.st_mode & 07777;
  // Cut only once no other open holds the destination, and only when there is something to
  // cut: ext4 starts writing back at close every file that was cut to nothing, a disk
  // write for each new file of a copy.
  const int out = open(to.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK | (failIfExists ? O_EXCL : 0), mode);
  struct stat outInfo {};
  if (out < 0 || flock(out, LOCK_EX | LOCK_NB) != 0 || fstat(out, &outInfo) != 0 ||
      (outInfo.st_size > 0 && ftruncate(out, 0) != 0)) {
    if (out >= 0) close(out);
    close(in);
    return false;
  }
  bool ok = CopyData(in, out, static_cast<std::uint64_t>(fromInfo.st_size));
  // A new file got the mode less the umask; a replaced one keeps its own until set.
  if (ok && (replacing || (mode & CreationMask()) != 0)) ok = fchmod(out, mode) == 0;
  // Windows' copy keeps the time of the last change too.
  const timespec times[2] = {{0, UTIME_OMIT}, fromInfo.st_mtim};
  if (ok) futimens(out, times);
  ok = close(out) == 0 && ok;
  close(in);
  return ok;
}

bool THostPosix::MakeFolder(const std::string& path) {
  const std::string real = ResolvePosixPath(path, TPathUse::NewFolder);
  return !real.empty() && mkdir(real.c_str(), 0755) == 0;
}

bool THostPosix::RemoveFile(const std::string& path) {
  const std::string real = ResolvePosixPath(path);
  struct stat info {};
  if (real.empty() || lstat(real.c_str(), &info) != 0) return false;
  if (S_ISLNK(info.st_mode)) {
    // The link goes, not what it names; a folder link is a folder to Windows.
    struct stat target {};
    if (stat(real.c_str(), &target) == 0 && S_ISDIR(target.st_mode)) return false;
  } else if (S_ISDIR(info.st_mode) || (info.st_mode & S_IWUSR) == 0 || IsRunningProgram(info)) {
    return false;  // Windows refuses to delete a read-only file or a running program
  }
  TDescriptor hold;
  if (S_ISREG(info.st_mode) && HeldElsewhere(real, &hold)) return false;
  return unlink(real.c_str()) == 0;
}

bool THostPosix::ReplaceWith(const std::string& source, const std::string& destination) {
  const std::string from = ResolvePosixPath(source);
  const std::string to = ResolvePosixPath(destination);
  struct stat fromInfo {
  }, toInfo{};
  if (from.empty() || to.empty() || lstat(from.c_str(), &fromInfo) != 0 || !S_ISREG(fromInfo.st_mode)) {
    return false;
  }
  TDescriptor holdFrom, holdTo;
  if (HeldElsewhere(from, &holdFrom)) return false;
  if (stat(to.c_str(), &toInfo) == 0) {
    // A rename as root would replace a read-only file; Windows refuses, and so do we.
    if (!S_ISREG(toInfo.st_mode) || (toInfo.st_mode & S_IWUSR) == 0 || IsRunningProgram(toInfo)) return false;
    if (HeldElsewhere(to, &holdTo)) return false;
  }
  // The file in place keeps the replacing file's permissions, as MoveFileExA leaves the
  // replacing file's attributes.
  if (rename(from.c_str(), to.c_str()) != 0) return false;
  SyncFolderOf(to);
  return true;
}

std::string THostPosix::ProgramPath() {
  std::vector<char> buffer(256);
  for (;;) {
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) return "";
    if (static_cast<std::size_t>(length) < buffer.size()) {
      std::string path(buffer.data(), static_cast<std::size_t>(length));
      std::replace(path.begin(), path.end(), '/', '\\');
      return path;
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::string THostPosix::FullPath(const std::string& path) {
  std::string full = !path.empty() && IsSeparator(path[0]) ? path : std::string();
  if (full.empty()) {
    char* folder = getcwd(nullptr, 0);
    if (folder == nullptr) return "";
    full = std::string(folder) + "/" + path;
    std::free(folder);
  }
  std::string normal;
  return WindowsPath(full, TPathUse::File, &normal) ? normal : "";
}

}  // namespace

THost& SystemHost() {
  static THostPosix host;
  return host;
}

}  // namespace Ferrowind
