#include <gtest/gtest.h>

#include "Platform/MemoryHost.h"
#include "Setup/FileDeploy.h"

namespace Ferrowind {
namespace {
using namespace std::string_literals;

class FileDeploy : public ::testing::Test {
 protected:
  void SetUp() override {
    host.SetProgramPath("C:\\Pkg\\Setup.exe");
    host.AddFolder("C:\\IDE\\Lib");
    host.AddFolder("C:\\IDE\\Source");
  }
  TMemoryHost host;
};

// Subfolders are copied whole, nested folders made, dot names and files lying directly in
// the folder skipped; a missing source copies nothing and is fine. A top-level folder
// missing in the IDE fails the run's copy (scenarios missing_copy_folder and
// flags_across_targets).
TEST_F(FileDeploy, CopiesSubfoldersIntoExistingTopLevelFolders) {
  for (const auto& [path, data] : {std::pair{"Files\\top.txt", "not copied"},
                                   {"Files\\Lib\\w.dcu", "dcu"},
                                   {"Files\\Lib\\Sub\\Deep\\x.res", "res"},
                                   {"Files\\Lib\\.svn\\entries", "skipped"},
                                   {"Files\\Source\\w.pas", "pas"},
                                   {"Files\\.git\\config", "skipped"}})
    host.AddFile("C:\\Pkg\\"s + path, data);
  host.AddFile("C:\\IDE\\Source\\w.pas", "old");
  EXPECT_TRUE(CopyFolders(host, "Files", "C:\\IDE"));
  EXPECT_EQ(host.FileData("C:\\IDE\\Lib\\w.dcu"), "dcu");
  EXPECT_EQ(host.FileData("C:\\IDE\\Lib\\Sub\\Deep\\x.res"), "res");
  EXPECT_EQ(host.FileData("C:\\IDE\\Source\\w.pas"), "pas");  // overwritten
  for (const char* absent : {"C:\\IDE\\top.txt", "C:\\IDE\\Lib\\.svn", "C:\\IDE\\.git"})
    EXPECT_FALSE(host.Exists(absent)) << absent;
  EXPECT_TRUE(CopyFolders(host, "Nothing", "C:\\IDE"));
}

// A nested folder that cannot be made and is not there afterwards fails the copy, also when
// it is empty and no file copy would show the failure; one that exists already is fine.
TEST_F(FileDeploy, NestedFoldersAndEntries) {
  host.AddFolder("C:\\Pkg\\F\\Lib\\Empty");
  host.AddFile("C:\\IDE\\Lib\\Empty", "a file in the way");
  EXPECT_FALSE(CopyFolders(host, "F", "C:\\IDE"));
  host.RemoveFile("C:\\IDE\\Lib\\Empty");
  host.AddFolder("C:\\IDE\\Lib\\Empty");
  host.AddFile("C:\\Pkg\\F\\Lib\\Empty\\x.dcu", "x");
  EXPECT_TRUE(CopyFolders(host, "F", "C:\\IDE"));
  EXPECT_EQ(host.FileData("C:\\IDE\\Lib\\Empty\\x.dcu"), "x");
  // Which top-level folders are copied is the checker's table too, on the same rule; below
  // them every entry is copied, whatever its attributes, except a link.
  host.AddFolder("C:\\IDE\\AR");
  host.AddFile("C:\\Pkg\\F\\AR\\Nested\\n.sys", "n", AttrHidden | AttrSystem);
  host.SetAttributes("C:\\Pkg\\F\\AR\\Nested", AttrReadOnly | AttrHidden);
  EXPECT_TRUE(CopyFolders(host, "F", "C:\\IDE"));
  EXPECT_TRUE(host.Exists("C:\\IDE\\AR\\Nested\\n.sys"));
  // A nested link is handed to the file copy, which fails and ends the copy.
  host.AddFolder("C:\\Pkg\\G\\AR\\Link", AttrDirectory | AttrReparsePoint);
  EXPECT_FALSE(CopyFolders(host, "G", "C:\\IDE"));
  EXPECT_FALSE(host.Exists("C:\\IDE\\AR\\Link"));
}

TEST_F(FileDeploy, StopsAtFirstFailureInEnumerationOrder) {
  host.AddFolder("C:\\IDE\\A");
  host.AddFolder("C:\\IDE\\B");
  for (const char* file : {"A\\1.txt", "A\\2.txt", "A\\3.txt", "B\\4.txt"}) host.AddFile("C:\\Pkg\\F\\"s + file, file);
  host.FailOperation(TMemoryHost::TOp::CopyFileTo, "2.txt ->");
  EXPECT_FALSE(CopyFolders(host, "F", "C:\\IDE"));
  EXPECT_TRUE(host.Exists("C:\\IDE\\A\\1.txt"));
  EXPECT_FALSE(host.Exists("C:\\IDE\\A\\3.txt"));
  EXPECT_FALSE(host.Exists("C:\\IDE\\B\\4.txt"));
}

}  // namespace
}  // namespace Ferrowind
