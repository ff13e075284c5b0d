#include <gtest/gtest.h>

#include "Platform/MemoryHost.h"
#include "Setup/FileDeploy.h"

namespace Ferrowind {
namespace {

class FileDeploy : public ::testing::Test {
 protected:
  void SetUp() override {
    host.SetProgramPath("C:\\Pkg\\Setup.exe");
    host.AddFolder("C:\\IDE\\Lib");
    host.AddFolder("C:\\IDE\\Source");
  }
  TMemoryHost host;
};

// What the copy scenarios cannot lay out on every host. A nested folder that cannot be made
// and is not there afterwards fails the copy, also when it is empty and no file copy would
// show the failure; one that exists already is fine.
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

}  // namespace
}  // namespace Ferrowind
