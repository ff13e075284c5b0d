// What only the POSIX host does with files, on real temporary folders. Its message boxes are
// tests/posix/boxes.py's.
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "../Scratch.h"
#include "Platform/Host.h"

// Folder reads fail with EIO once this many more entries have been read, as a disk error
// would midway through a listing; below zero they never fail.
int ReaddirEntriesLeft = -1;

// Stands in for the C library's readdir in this test program, to break listings off.
extern "C" dirent* readdir(DIR* dir) {
  using TReaddir = dirent* (*)(DIR*);
  static const auto real = reinterpret_cast<TReaddir>(dlsym(RTLD_NEXT, "readdir"));
  if (ReaddirEntriesLeft == 0) {
    errno = EIO;
    return nullptr;
  }
  if (ReaddirEntriesLeft > 0) --ReaddirEntriesLeft;
  return real(dir);
}

namespace Ferrowind {
namespace {

using FerrowindTest::ReadWhole;

namespace fs = std::filesystem;

class PosixHostTest : public ::testing::Test {
 protected:
  void SetUp() override { std::replace(FWindows.begin(), FWindows.end(), '/', '\\'); }
  std::string P(const std::string& name) const { return FRoot + "/" + name; }
  std::string W(const std::string& name) const { return FWindows + "\\" + name; }  // as the installer writes it
  void Put(const std::string& name, const std::string& text, fs::perms mode = fs::perms(0644)) {
    FerrowindTest::WriteWhole(P(name), text);
    fs::permissions(P(name), mode);
  }

  THost& Host = SystemHost();
  FerrowindTest::TScratch FFolder;
  std::string FRoot = FFolder.Path(), FWindows = FFolder.Path();
};

// Read-only files and folders are the host contract's; these are the kinds Windows lacks.
TEST_F(PosixHostTest, AttributeWordsFollowModeAndKind) {
  Put("plain.txt", "x", fs::perms(0664));
  Put(".hidden", "x");
  fs::create_directory(P("Folder"));
  ASSERT_EQ(mkfifo(P("pipe").c_str(), 0644), 0);
  fs::create_symlink(P("plain.txt"), P("filelink"));
  fs::create_symlink(P("Folder"), P("folderlink"));
  const std::pair<const char*, std::uint32_t> expected[] = {{"PLAIN.TXT", AttrArchive},
                                                            {".hidden", AttrArchive | AttrHidden},
                                                            {"pipe", AttrSystem},
                                                            {"filelink", AttrArchive},
                                                            {"folderlink", AttrDirectory | AttrReparsePoint}};
  for (const auto& [name, word] : expected) {
    std::uint32_t attributes = 0;
    EXPECT_TRUE(Host.GetAttributes(W(name), &attributes)) << name;
    EXPECT_EQ(attributes, word) << name;
  }
  // Read-only takes every write bit, not only the owner's.
  EXPECT_TRUE(Host.SetAttributes(W("plain.txt"), AttrReadOnly | AttrArchive));
  EXPECT_EQ(fs::status(P("plain.txt")).permissions(), fs::perms(0444));

  // A copy from a pipe fails at once rather than wait for a writer; a child that blocks is killed.
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    alarm(5);
    _exit(Host.CopyFileTo(W("pipe"), W("copy"), false) ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_FALSE(fs::exists(P("copy")));
}

TEST_F(PosixHostTest, CopyKeepsDataAndPermissionsAndRefusesItself) {
  std::string data(3 * 1024 * 1024 + 17, '\0');
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 131 + i / 4099);
  Put("source.bin", data, fs::perms(0750));
  Put("copy.bin", "", fs::perms(0600));  // an existing file takes the source's mode too
  ASSERT_TRUE(Host.CopyFileTo(W("SOURCE.bin"), W("copy.bin"), false));
  EXPECT_EQ(ReadWhole(P("copy.bin")), data);
  EXPECT_EQ(fs::status(P("copy.bin")).permissions(), fs::perms(0750));
  EXPECT_FALSE(Host.CopyFileTo(W("COPY.BIN"), W("copy.bin"), false));  // onto itself would empty it
  // A file whose size the system does not know (0 here) is still copied whole.
  ASSERT_TRUE(Host.CopyFileTo("\\proc\\version", W("version.txt"), false));
  EXPECT_EQ(ReadWhole(P("version.txt")), ReadWhole("/proc/version"));
}

// A copy meets the name already in the folder whatever its case, as Windows does, also one
// another program made an instant before, right after the copy wrote to that folder.
TEST_F(PosixHostTest, CopiesIntoAFolderReplaceTheNameThereWhateverItsCase) {
  Put("Out/KEEP.TXT", "old", fs::perms(0600));
  Put("Out/BOTH.TXT", "old", fs::perms(0666));
  Put("Out/Both.txt", "old", fs::perms(0666));
  Put("new.txt", "new", fs::perms(0666));
  const mode_t saved = umask(022);
  EXPECT_TRUE(Host.CopyFileTo(W("new.txt"), W("Out\\keep.txt"), false));
  EXPECT_TRUE(Host.CopyFileTo(W("new.txt"), W("Out\\first.txt"), false));
  umask(saved);
  EXPECT_FALSE(Host.CopyFileTo(W("new.txt"), W("Out\\FIRST.TXT"), true));  // it is there
  EXPECT_TRUE(Host.CopyFileTo(W("new.txt"), W("Out\\Both.txt"), false));   // the exact name wins

  int beside = 0, over = 0;
  for (int i = 0; i < 300; ++i) {
    const std::string late = "Out/LATE" + std::to_string(i) + ".TXT";
    ASSERT_TRUE(Host.CopyFileTo(W("new.txt"), W("Out\\first.txt"), false));
    const int fd = open(P(late).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
    ASSERT_GE(fd, 0);
    close(fd);
    ASSERT_TRUE(Host.CopyFileTo(W("new.txt"), W("Out\\late" + std::to_string(i) + ".txt"), false));
    beside += fs::exists(P("Out/late" + std::to_string(i) + ".txt")) ? 1 : 0;
    over += fs::file_size(P(late)) == 3 ? 1 : 0;
  }
  EXPECT_EQ(beside, 0);
  EXPECT_EQ(over, 300);

  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(P("Out"))) {
    const std::string name = entry.path().filename();
    if (name.rfind("LATE", 0) != 0) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"BOTH.TXT", "Both.txt", "KEEP.TXT", "first.txt"}));
  for (const std::string& name : names) {
    EXPECT_EQ(ReadWhole(P("Out/" + name)), name == "BOTH.TXT" ? "old" : "new") << name;
    // The source's mode, also where the umask would have taken bits from a new file.
    EXPECT_EQ(fs::status(P("Out/" + name)).permissions(), fs::perms(0666)) << name;
  }
}

// A folder whose listing breaks off is not taken for one holding fewer names.
TEST_F(PosixHostTest, AListingThatBreaksOffFails) {
  for (const char* name : {"a.txt", "B.TXT", "c.txt", "d.txt"}) Put(std::string("Out/") + name, "old");
  THandle find = 0;
  TFindEntry entry;
  ReaddirEntriesLeft = 3;
  EXPECT_EQ(Host.FindFirst(W("Out\\*.*"), &find, &entry), TFind::Failed);
  EXPECT_EQ(find, 0u);
  // Without the folder's names a copy cannot know whether it would land beside B.TXT.
  ReaddirEntriesLeft = 0;
  EXPECT_FALSE(Host.CopyFileTo(W("Out\\a.txt"), W("Out\\b.txt"), false));
  // Nor can a single name be looked up there: b.txt may be B.TXT.
  EXPECT_EQ(Host.FindFirst(W("Out\\b.txt"), &find, &entry), TFind::Failed);
  ReaddirEntriesLeft = -1;
  EXPECT_FALSE(fs::exists(P("Out/b.txt")));
  ASSERT_EQ(Host.FindFirst(W("Out\\*.*"), &find, &entry), TFind::Entry);
  Host.FindClose(find);
}

}  // namespace
}  // namespace Ferrowind
