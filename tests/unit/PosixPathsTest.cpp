// Windows-style names on a case-sensitive file system.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "TempFolder.h"
#include "platform/PosixPaths.h"

namespace Ferrowind {
namespace {

TEST(PosixPathsTest, ComponentsResolveIgnoringCaseOrStayAsGiven) {
  const TTempFolder temp;
  const std::string& root = temp.Path();
  std::filesystem::create_directories(root + "/Help");
  for (const char* name : {"/Help/DELPHI3.CFG", "/abc", "/Abc", "/ABC"}) std::ofstream(root + name) << "";
  const char* const cases[][2] = {
      {"\\help\\delphi3.cfg", "/Help/DELPHI3.CFG"},
      {"\\HELP/Delphi3.Cfg", "/Help/DELPHI3.CFG"},
      {"\\\\help\\\\delphi3.cfg", "/Help/DELPHI3.CFG"},  // empty components dropped
      {"\\abc", "/abc"},                                 // the exact name first,
      {"\\Abc", "/Abc"},
      {"\\aBC", "/ABC"},                                         // else the first in byte order
      {"\\help\\New\\sub\\File.txt", "/Help/New/sub/File.txt"},  // missing: kept as given
      {"\\HELP\\NewFolder\\", "/Help/NewFolder/"},
  };
  for (const auto& [given, expected] : cases) EXPECT_EQ(ResolvePosixPath(root + given), root + expected) << given;
  EXPECT_EQ(ResolvePosixPath(""), "");

  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(root);  // a relative path starts in the working folder
  EXPECT_EQ(ResolvePosixPath("HELP\\delphi3.CFG"), "Help/DELPHI3.CFG");
  std::filesystem::current_path(before);
}

}  // namespace
}  // namespace Ferrowind
