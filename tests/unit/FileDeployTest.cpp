#include <gtest/gtest.h>

#include "Platform/MemoryHost.h"
#include "Setup/FileDeploy.h"

namespace Ferrowind {
namespace {

class FileDeploy : public ::testing::Test {
 protected:
  void SetUp() override { host.SetProgramPath("C:\\Pkg\\Setup.exe"); }
  TMemoryHost host;
};

// What the copy scenarios cannot lay out on every host: attributes and links. Below a
// copied folder every entry is copied, whatever its attributes, except a link.
TEST_F(FileDeploy, NestedEntriesAndLinks) {
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
