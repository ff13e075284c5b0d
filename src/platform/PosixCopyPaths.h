// The quick path resolution of a folder copy on the POSIX host: the folders it fills keep
// their names (for the case-insensitive look-up) and stay open (so that files are made
// without a walk along the path). Look-ups only: nothing here creates or changes a file.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace Ferrowind {

// An open file descriptor, closed with its holder.
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

// The names in the folders copies write into, read once per folder instead of once per
// file. A folder's names are used while its inode and change times are those seen when
// they were read or when this process last added a name; and for a millisecond after
// each look at those times no new look is taken. A change by another process within that
// millisecond goes unseen, and then a copy writes beside a file whose name differs only
// in case instead of over it, or (when the folder itself was replaced) into the folder
// that was there. Only the last few folders are kept.
class TFolderNames {
 public:
  bool Knows(const std::string& folder) const { return FFolders.count(folder) != 0; }

  // The folder held open, to make files in with the *at calls; AT_FDCWD when it is not.
  int Handle(const std::string& folder) const;

  // The entry of folder named name, or else equal to it ignoring case (the smallest in
  // byte order if several are); nullopt when there is none, when the folder cannot be
  // read, and (with *missing set) when the folder does not exist under exactly its name.
  std::optional<std::string> Find(const std::string& folder, const std::string& name, bool* missing);

  // This process created name in folder.
  void Created(const std::string& folder, const std::string& name);

 private:
  static constexpr std::chrono::milliseconds TrustFor{1};
  static constexpr std::size_t KeptFolders = 8;

  struct TFolder {
    struct stat Stamp;
    std::chrono::steady_clock::time_point LookedAt;  // when Stamp was last compared or taken
    std::unordered_set<std::string> Exact;
    std::unordered_map<std::string, std::string> Folded;  // folded name -> smallest name
    TDescriptor Handle;                                   // the folder itself, when it could be opened
  };

  void Trim(const std::string& keep);
  static void Add(TFolder& folder, const std::string& name);

  std::unordered_map<std::string, TFolder> FFolders;
};

// What a copy knows of a path after resolving it.
enum class TLooked { Exists, Missing, Unknown };

// An absolute path split at its last separator, when it has no empty, "." or ".."
// component; "/" separates.
struct TPlainPath {
  std::string Folder;
  std::string Name;
};
std::optional<TPlainPath> SplitPlain(const std::string& path);

// ResolvePosixPath's answer with one or two look-ups instead of one per component, for the
// paths a folder copy lists, creates and copies: an absolute path whose folder exists
// under exactly its name. In a folder whose names are known they answer; elsewhere the
// name is looked up, and when it does not exist exactly its folder is searched ignoring
// case, as the walk does. Any other path takes the walk. With Exists, *info holds what
// lstat said.
std::string ResolveForCopy(const std::string& path, TFolderNames& names, struct stat* info, TLooked* looked);

// Whether path exists (following a link), with *info filled; no look-up when the
// resolution already knows.
bool ExistsAt(const std::string& path, TLooked looked, struct stat* info);

}  // namespace Ferrowind
