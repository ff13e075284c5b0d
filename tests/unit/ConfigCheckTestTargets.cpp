// The checker on what the directives need: the IDE version, the help layout, the folders
// COPYDIR copies from, the paths of DELETE and COPYDIR, and the disk access behind them.
#include <gtest/gtest.h>

#include "Check/CheckDisk.h"
#include "ConfigCheckTestSupport.h"
#include "platform/MemoryHost.h"

namespace Ferrowind::CheckTest {
namespace {

const std::string Lang = "LANGUAGE=Delphi 3\r\n";

TEST(ConfigCheckTargets, LanguageVersionMustBeAWholeNumber) {
  const TCheckResult result =
      Check("PACKAGE=P\r\nLANGUAGE=Delphi 3.0\r\nLANGUAGE=Delphi\r\nLANGUAGE=delphi 3\r\nLANGUAGE=BCB $A\r\n\r\n");
  EXPECT_EQ(Kinds(result), V({"2 E", "3 E"}));
  EXPECT_NE(MessageAt(result, 2, TSeverity::Error).find("asks for \"Delphi 0\""), std::string::npos);
  EXPECT_EQ(Row(result, 2).Action,
            "HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\Delphi\\0.0  RootDir  (asks to install P for Delphi 0)");
  EXPECT_EQ(Row(result, 4).Action,
            "HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\delphi\\3.0  RootDir  (asks to install P for delphi 3)");
  EXPECT_EQ(Row(result, 5).Action,
            "HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\BCB\\10.0  RootDir  (asks to install P for BCB 10)");
}

TEST(ConfigCheckTargets, HelpFileNeedsAnIdeWithAHelpLayout) {
  const TCheckResult result = Check(
      "PACKAGE=P\r\nLANGUAGE=Delphi 1\r\nHELPFILE=a\r\nHELPFILE=b\r\nLANGUAGE=BCB 3\r\nHELPFILE=c\r\n"
      "LANGUAGE=BCB 4\r\nMESSAGE=m\r\nLANGUAGE=Delphi 5\r\nHELPFILE=d\r\nLANGUAGE=BCB 1\r\nHELPFILE=\r\n\r\n");
  // One error per LANGUAGE without a layout that a HELPFILE uses; BCB 4 is used by none.
  EXPECT_EQ(Kinds(result), V({"2 E", "3 W", "4 W", "6 W", "10 W"}));
  EXPECT_NE(MessageAt(result, 2, TSeverity::Error).find("HELPFILE on line 3"), std::string::npos);
  EXPECT_EQ(Row(result, 3).Action, "nothing: Delphi 1 has no help layout (NO Help installed)");
  EXPECT_EQ(Row(result, 6).Action, "Help\\bcb.ohl, Help\\bcb.ohi; removes Help\\bcb3.gid");
  EXPECT_EQ(Row(result, 10).Action, "Help\\Delphi5.cfg, Help\\Delphi5.cnt; removes Help\\Delphi5.gid");
  EXPECT_EQ(Row(result, 12).Action, "nothing: no help file named (NO Help installed)");
}

TEST(ConfigCheckTargets, CopyDirListsTheSubfoldersTheInstallerCopies) {
  const std::vector<TFindEntry> files = {
      {".", AttrDirectory},
      {"..", AttrDirectory},
      {"Lib", AttrDirectory},
      {"Help", AttrDirectory | AttrArchive},
      {".svn", AttrDirectory},
      {"Secret", AttrDirectory | AttrHidden},
      {"Elsewhere", AttrDirectory | AttrReparsePoint},
      {"readme.txt", AttrArchive},
  };
  EXPECT_EQ(CopiedSubfolders(files), V({"Lib", "Help"}));
  const TFolders folders = {{"Files", files},
                            {"OnlyFiles", {{".", AttrDirectory}, {"..", AttrDirectory}, {"a.txt", AttrArchive}}},
                            {"Empty", {}},
                            {"", {{"Files", AttrDirectory}}}};
  const TCheckResult result =
      Check(Lang + "COPYDIR=Files\r\nCOPYDIR=OnlyFiles\r\nCOPYDIR=Empty\r\nCOPYDIR=Missing\r\nCOPYDIR=\r\n\r\n",
            folders);
  EXPECT_EQ(Kinds(result), V({"3 E", "4 E", "5 E"}));
  EXPECT_EQ(Row(result, 2).Action,
            "subfolders Lib, Help (beside the installer) into <RootDir>; passes over .svn, Secret, Elsewhere");
  EXPECT_NE(MessageAt(result, 3, TSeverity::Error).find("holds no subfolder to copy (files lying directly"),
            std::string::npos);
  EXPECT_EQ(MessageAt(result, 4, TSeverity::Error), "COPYDIR folder \"Empty\" holds no subfolder to copy");
  EXPECT_NE(MessageAt(result, 5, TSeverity::Error).find("does not exist beside the configuration file"),
            std::string::npos);
  EXPECT_EQ(Row(result, 5).Action, "nothing: no folder Missing beside the installer");
  EXPECT_EQ(Row(result, 6).Action, "subfolders Files (beside the installer) into <RootDir>");
}

TEST(ConfigCheckTargets, DeleteAndCopyDirPathsStayBelowTheirFolders) {
  const std::vector<TFindEntry> one = {{"Lib", AttrDirectory}};
  const TCheckResult result = Check(Lang +
                                        "DELETE=..\\x.dll\r\n"         // 2
                                        "DELETE=C:\\Windows\\x.dll\r\n"  // 3
                                        "DELETE=\\x.dll\r\n"           // 4
                                        "DELETE=Lib\\a..b.dcu\r\n"      // 5: not a step up
                                        "COPYDIR=/abs\r\n"             // 6
                                        "COPYDIR=Sub/../..\r\n"        // 7
                                        "\r\n",
                                    {{"/abs", one}, {"Sub/../..", one}});
  EXPECT_EQ(Kinds(result), V({"2 W", "3 W", "4 W", "6 W", "7 W"}));
  EXPECT_NE(MessageAt(result, 2, TSeverity::Warning).find("reaches out of the IDE folder"), std::string::npos);
  EXPECT_NE(MessageAt(result, 3, TSeverity::Warning).find("<RootDir>\\C:\\Windows\\x.dll"), std::string::npos);
  EXPECT_NE(MessageAt(result, 6, TSeverity::Warning).find("absolute path"), std::string::npos);
  EXPECT_NE(MessageAt(result, 7, TSeverity::Warning).find("reaches out of the folder beside the installer"),
            std::string::npos);
  EXPECT_EQ(Row(result, 5).Action, "removes <RootDir>\\Lib\\a..b.dcu");
}

TEST(ConfigCheckTargets, TheFileIsReadWholeAsTheInstallerOpensIt) {
  TMemoryHost host;
  const std::string text = "PACKAGE=P\r\n" + std::string(200000, 'x') + "\r\n";
  host.AddFile("C:\\Pkg\\Setup.cfg", text);
  std::string bytes = "stale";
  EXPECT_TRUE(ReadWholeFile(host, "C:\\Pkg\\Setup.cfg", &bytes));
  EXPECT_EQ(bytes, text);
  EXPECT_FALSE(ReadWholeFile(host, "C:\\Pkg\\Missing.cfg", &bytes));
  EXPECT_TRUE(bytes.empty());
  EXPECT_FALSE(ReadWholeFile(host, "C:\\Pkg", &bytes));
  host.HoldOpen("C:\\Pkg\\Setup.cfg");
  EXPECT_FALSE(ReadWholeFile(host, "C:\\Pkg\\Setup.cfg", &bytes));

  TMemoryHost failing;
  failing.AddFile("C:\\Pkg\\Setup.cfg", text);
  failing.FailOperation(TMemoryHost::TOp::FileRead);
  bytes = "stale";
  EXPECT_FALSE(ReadWholeFile(failing, "C:\\Pkg\\Setup.cfg", &bytes));
  EXPECT_TRUE(bytes.empty());
  EXPECT_EQ(failing.OpenHandles(), 0u);
}

TEST(ConfigCheckTargets, FoldersAreLookedUpBesideTheConfigurationFile) {
  EXPECT_EQ(FolderOf("C:\\Pkg\\Setup.cfg"), "C:\\Pkg\\");
  EXPECT_EQ(FolderOf("examples/package/Setup.cfg"), "examples/package/");
  EXPECT_EQ(FolderOf("Setup.cfg"), "");

  TMemoryHost host;
  host.AddFolder("C:\\Pkg\\Files\\Lib");
  host.AddFolder("C:\\Pkg\\Files\\.git");
  host.AddFile("C:\\Pkg\\Files\\readme.txt", "r");
  host.AddFile("C:\\Pkg\\NotAFolder", "n");
  host.AddFolder("C:\\Pkg\\Empty");
  const TFolderLister lister = HostFolderLister(host, FolderOf("C:\\Pkg\\Setup.cfg"));
  const auto files = lister("Files");
  ASSERT_TRUE(files.has_value());
  EXPECT_EQ(CopiedSubfolders(*files), V({"Lib"}));
  EXPECT_FALSE(lister("NotAFolder").has_value());
  EXPECT_FALSE(lister("Gone").has_value());
  const auto empty = lister("Empty");
  ASSERT_TRUE(empty.has_value());
  EXPECT_TRUE(CopiedSubfolders(*empty).empty());
  EXPECT_EQ(host.OpenHandles(), 0u);

  const TCheckResult result = CheckConfig(Lang + "COPYDIR=Files\r\nCOPYDIR=Gone\r\n\r\n", lister);
  EXPECT_EQ(Row(result, 2).Action, "subfolders Lib (beside the installer) into <RootDir>; passes over .git");
  EXPECT_EQ(Kinds(result), V({"3 E"}));
}

}  // namespace
}  // namespace Ferrowind::CheckTest
