#include <gtest/gtest.h>

#include "Setup/FileDeploy.h"
#include "platform/MemoryHost.h"

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

TEST_F(FileDeploy, InstallerFolderIsCutAfterLastBackslashOrColon) {
  EXPECT_EQ(InstallerFolder(host), "C:\\Pkg\\");
  host.SetProgramPath("D:Setup.exe");
  EXPECT_EQ(InstallerFolder(host), "D:");
}

TEST_F(FileDeploy, CopiesSubfoldersRecursivelyCreatingNestedFolders) {
  host.AddFile("C:\\Pkg\\Files\\top.txt", "not copied");
  host.AddFile("C:\\Pkg\\Files\\Lib\\w.dcu", "dcu");
  host.AddFile("C:\\Pkg\\Files\\Lib\\Sub\\Deep\\x.res", "res");
  host.AddFile("C:\\Pkg\\Files\\Lib\\.svn\\entries", "skipped");
  host.AddFile("C:\\Pkg\\Files\\Source\\w.pas", "pas");
  host.AddFile("C:\\Pkg\\Files\\.git\\config", "skipped");
  host.AddFile("C:\\IDE\\Source\\w.pas", "old");
  EXPECT_TRUE(CopyFolders(host, "Files", "C:\\IDE"));
  EXPECT_EQ(host.FileData("C:\\IDE\\Lib\\w.dcu"), "dcu");
  EXPECT_EQ(host.FileData("C:\\IDE\\Lib\\Sub\\Deep\\x.res"), "res");
  EXPECT_EQ(host.FileData("C:\\IDE\\Source\\w.pas"), "pas");  // overwritten
  EXPECT_FALSE(host.Exists("C:\\IDE\\top.txt"));
  EXPECT_FALSE(host.Exists("C:\\IDE\\Lib\\.svn"));
  EXPECT_FALSE(host.Exists("C:\\IDE\\.git"));
  EXPECT_EQ(host.OpenHandles(), 0u);
}

TEST_F(FileDeploy, MissingSourceOrOnlyFilesIsTrueButMissingTopFolderFails) {
  EXPECT_TRUE(CopyFolders(host, "Nothing", "C:\\IDE"));
  host.AddFile("C:\\Pkg\\Flat\\a.txt", "a");
  EXPECT_TRUE(CopyFolders(host, "Flat", "C:\\IDE"));
  host.AddFile("C:\\Pkg\\Tree\\Bin\\a.exe", "a");
  EXPECT_FALSE(CopyFolders(host, "Tree", "C:\\IDE"));  // C:\IDE\Bin is not created
  EXPECT_FALSE(host.Exists("C:\\IDE\\Bin"));
}

TEST_F(FileDeploy, EmptyFolderNameCopiesSubfoldersOfTheInstallerFolder) {
  host.AddFile("C:\\Pkg\\Setup.exe", "exe");
  host.AddFile("C:\\Pkg\\Lib\\p.dpl", "dpl");
  EXPECT_TRUE(CopyFolders(host, "", "C:\\IDE"));
  EXPECT_EQ(host.FileData("C:\\IDE\\Lib\\p.dpl"), "dpl");
  EXPECT_FALSE(host.Exists("C:\\IDE\\Setup.exe"));
}

TEST_F(FileDeploy, StopsAtFirstFailureInEnumerationOrder) {
  host.AddFolder("C:\\IDE\\A");
  host.AddFolder("C:\\IDE\\B");
  host.AddFile("C:\\Pkg\\F\\A\\1.txt", "1");
  host.AddFile("C:\\Pkg\\F\\A\\2.txt", "2");
  host.AddFile("C:\\Pkg\\F\\A\\3.txt", "3");
  host.AddFile("C:\\Pkg\\F\\B\\4.txt", "4");
  host.FailOperation(TMemoryHost::TOp::CopyFileTo, "2.txt ->");
  EXPECT_FALSE(CopyFolders(host, "F", "C:\\IDE"));
  EXPECT_TRUE(host.Exists("C:\\IDE\\A\\1.txt"));
  EXPECT_FALSE(host.Exists("C:\\IDE\\A\\3.txt"));
  EXPECT_FALSE(host.Exists("C:\\IDE\\B\\4.txt"));
  EXPECT_EQ(host.OpenHandles(), 0u);
}

TEST_F(FileDeploy, FoldersCountByDirectoryBitExceptLinks) {
  // Top level: read-only and archive folders are copied; hidden ones are not enumerated;
  // a folder link is passed over.
  host.AddFolder("C:\\IDE\\RO");
  host.AddFolder("C:\\IDE\\AR");
  host.AddFolder("C:\\IDE\\HI");
  host.AddFolder("C:\\IDE\\LN");
  host.AddFolder("C:\\Pkg\\F\\RO", AttrDirectory | AttrReadOnly);
  host.AddFolder("C:\\Pkg\\F\\AR", AttrDirectory | AttrArchive);
  host.AddFolder("C:\\Pkg\\F\\HI", AttrDirectory | AttrHidden);
  host.AddFolder("C:\\Pkg\\F\\LN", AttrDirectory | AttrReparsePoint);
  host.AddFile("C:\\Pkg\\F\\RO\\r.txt", "r");
  host.AddFile("C:\\Pkg\\F\\AR\\a.txt", "a");
  host.AddFile("C:\\Pkg\\F\\HI\\h.txt", "h");
  host.AddFile("C:\\Pkg\\F\\LN\\l.txt", "l");
  // Nested: a hidden read-only folder is descended into (every attribute is asked for).
  host.AddFile("C:\\Pkg\\F\\AR\\Nested\\n.txt", "n");
  host.SetAttributes("C:\\Pkg\\F\\AR\\Nested", AttrReadOnly | AttrHidden);
  EXPECT_TRUE(CopyFolders(host, "F", "C:\\IDE"));
  EXPECT_TRUE(host.Exists("C:\\IDE\\RO\\r.txt"));
  EXPECT_TRUE(host.Exists("C:\\IDE\\AR\\a.txt"));
  EXPECT_TRUE(host.Exists("C:\\IDE\\AR\\Nested\\n.txt"));
  EXPECT_FALSE(host.Exists("C:\\IDE\\HI\\h.txt"));
  EXPECT_FALSE(host.Exists("C:\\IDE\\LN\\l.txt"));

  // Nested link: handed to the file copy, which fails and ends the copy.
  host.AddFolder("C:\\Pkg\\G\\AR\\Link", AttrDirectory | AttrReparsePoint);
  EXPECT_FALSE(CopyFolders(host, "G", "C:\\IDE"));
  EXPECT_FALSE(host.Exists("C:\\IDE\\AR\\Link"));
}

TEST_F(FileDeploy, EnumerationFilterFollowsTheAttributeArgument) {
  EXPECT_TRUE(EntryWanted(AttrArchive | AttrReadOnly, 16));
  EXPECT_FALSE(EntryWanted(AttrDirectory | AttrHidden, 16));
  EXPECT_FALSE(EntryWanted(AttrSystem, 16));
  EXPECT_TRUE(EntryWanted(AttrDirectory | AttrHidden | AttrSystem | AttrVolumeLabel, 63));
  EXPECT_FALSE(EntryWanted(AttrDirectory, 0));
  EXPECT_TRUE(IsPlainFolder(17));
  EXPECT_TRUE(IsPlainFolder(48));
  EXPECT_FALSE(IsPlainFolder(16 | 1024));
  EXPECT_FALSE(IsPlainFolder(32));
}

TEST_F(FileDeploy, RemovalClearsReadOnlyFirstAndIgnoresMissingFiles) {
  host.AddFile("C:\\IDE\\Lib\\old.dcu", "x", AttrReadOnly);
  RemoveFileForced(host, "C:\\IDE\\Lib\\old.dcu");
  EXPECT_FALSE(host.Exists("C:\\IDE\\Lib\\old.dcu"));
  RemoveFileForced(host, "C:\\IDE\\Lib\\none.dcu");
  RemoveFileForced(host, "C:\\IDE\\Lib");
  EXPECT_TRUE(host.Exists("C:\\IDE\\Lib"));
}

}  // namespace
}  // namespace Ferrowind
