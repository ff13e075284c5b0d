// Windows-style names on a case-sensitive file system.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "platform/PosixPaths.h"

namespace Ferrowind {
namespace {

class PosixPathsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/ferrowind-paths-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    FRoot = pattern;
    std::filesystem::create_directories(FRoot + "/Help");
    Touch("/Help/DELPHI3.CFG");
    for (const char* name : {"/abc", "/Abc", "/ABC"}) Touch(name);
  }
  void TearDown() override { std::filesystem::remove_all(FRoot); }
  void Touch(const std::string& name) { close(open((FRoot + name).c_str(), O_CREAT | O_WRONLY, 0644)); }
  // The root as the installer writes paths: with backslashes.
  std::string Windows(const std::string& tail) const {
    std::string path = FRoot + tail;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
  }

  std::string FRoot;
};

TEST_F(PosixPathsTest, FindsEntriesWhateverTheirCase) {
  EXPECT_EQ(ResolvePosixPath(Windows("/help/delphi3.cfg")), FRoot + "/Help/DELPHI3.CFG");
  EXPECT_EQ(ResolvePosixPath(FRoot + "\\HELP/Delphi3.Cfg"), FRoot + "/Help/DELPHI3.CFG");
}

TEST_F(PosixPathsTest, ExactNameWinsThenFirstInByteOrder) {
  EXPECT_EQ(ResolvePosixPath(Windows("/abc")), FRoot + "/abc");
  EXPECT_EQ(ResolvePosixPath(Windows("/Abc")), FRoot + "/Abc");
  EXPECT_EQ(ResolvePosixPath(Windows("/aBC")), FRoot + "/ABC");
}

TEST_F(PosixPathsTest, MissingPartsStayAsGiven) {
  EXPECT_EQ(ResolvePosixPath(Windows("/help/New/sub/File.txt")), FRoot + "/Help/New/sub/File.txt");
  EXPECT_EQ(ResolvePosixPath(Windows("/HELP/NewFolder\\")), FRoot + "/Help/NewFolder/");
  EXPECT_EQ(ResolvePosixPath(Windows("//help\\\\delphi3.cfg")), FRoot + "/Help/DELPHI3.CFG");
  EXPECT_EQ(ResolvePosixPath(""), "");
}

TEST_F(PosixPathsTest, RelativePathsStartInWorkingFolder) {
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(FRoot);
  const std::string resolved = ResolvePosixPath("HELP\\delphi3.CFG");
  std::filesystem::current_path(before);
  EXPECT_EQ(resolved, "Help/DELPHI3.CFG");
}

TEST(PosixNamesTest, CaseFoldingIsAsciiOnly) {
  EXPECT_TRUE(EqualIgnoringCase("Delphi3.CFG", "dELPHI3.cfg"));
  EXPECT_FALSE(EqualIgnoringCase("\xe9", "\xc9"));
  EXPECT_FALSE(EqualIgnoringCase("[", "{"));
}

TEST(PosixNamesTest, WildcardsMatchLikeWindows) {
  EXPECT_TRUE(MatchesWildcard("*.*", "Makefile"));
  EXPECT_TRUE(MatchesWildcard("*", "."));
  EXPECT_TRUE(MatchesWildcard("*.PAS", "unit.pas"));
  EXPECT_TRUE(MatchesWildcard("a?c*d", "abcxxd"));
  EXPECT_FALSE(MatchesWildcard("*.pas", "unit.pas.bak"));
  EXPECT_FALSE(MatchesWildcard("a?c", "ac"));
}

}  // namespace
}  // namespace Ferrowind
