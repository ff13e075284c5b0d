// The POSIX program run end to end in scratch folders: registry file, IDE folder, package
// folder with the program beside its files, answers on standard input.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "ProgramRun.h"

namespace FerrowindTest {
namespace {

using InstallerRun = TInstallFolders;

TEST_F(InstallerRun, MinimalConfigurationShowsConfirmationThenSummary) {
  WriteWhole(FPackage + "/Setup.cfg", "PACKAGE=Widget Pack\r\nLANGUAGE=Delphi 3\r\n\r\n");
  const TProgramResult run = Install("\n");
  EXPECT_EQ(run.ExitCode, 0);
  EXPECT_EQ(run.Output,
            "[Ferrowind Component Installer: Confirmation]\n"
            "You are about to install Widget Pack for Delphi 3\n\nPlease make sure Delphi is not running.\n"
            "[OK/Cancel]\n"
            "[Ferrowind Component Installer: Information]\n"
            "Widget Pack Installation\n\nAll files copied\nNO Components installed\nNO Help installed\n"
            "[OK]\n");
}

TEST_F(InstallerRun, ExampleInstallsOnceAndASecondRunChangesNothing) {
  chmod((FRoot + "/Lib/WidgetPackOld.dcu").c_str(), 0444);
  const TProgramResult first = Install();
  EXPECT_EQ(first.ExitCode, 0);
  EXPECT_NE(first.Output.find("Widget Pack Installation\n\nAll files copied\nAll Components installed\n"
                              "Help installed\n[OK]\n"),
            std::string::npos)
      << first.Output;

  // Each entry is written exactly once.
  for (const auto& [file, entry] : {std::pair<std::string, std::string>{FRegistry, "WidgetPack.dpl\"=\"Widget Pack\""},
                                    {FRegistry, "\"Widgets\"=\"TWidget;TWidgetGrid;\""},
                                    {FRoot + "/Help/Delphi3.cfg", ":LINK Widgets.hlp\r\n"},
                                    {FRoot + "/Help/DELPHI3.CNT", ":INDEX Widget Pack=Widgets.hlp\r\n"}}) {
    const std::string text = ReadWhole(file);
    EXPECT_TRUE(text.find(entry) != std::string::npos && text.find(entry) == text.rfind(entry)) << entry << text;
  }
  EXPECT_FALSE(PathExists(FRoot + "/Help/Delphi3.gid"));
  EXPECT_FALSE(PathExists(FRoot + "/Lib/WidgetPackOld.dcu"));
  EXPECT_EQ(ReadWhole(FRoot + "/Source/Widgets/Widgets.pas"),
            ReadWhole(FPackage + "/Files/Source/Widgets/Widgets.pas"));
  EXPECT_TRUE(PathExists(FRoot + "/Lib/WidgetPack.dpl"));

  const std::string registry = ReadWhole(FRegistry);
  const auto files = Snapshot(FRoot);
  const TProgramResult second = Install();
  EXPECT_NE(second.Output.find("All Components installed\nHelp installed"), std::string::npos);
  EXPECT_EQ(ReadWhole(FRegistry), registry);
  EXPECT_EQ(Snapshot(FRoot), files);
}

TEST_F(InstallerRun, CancelAtTheConfirmationEndsWithoutWriting) {
  const std::string registry = ReadWhole(FRegistry);
  const auto files = Snapshot(FRoot);
  const TProgramResult run = Install("cancel\n");
  EXPECT_EQ(run.ExitCode, 0);
  EXPECT_EQ(run.Output,
            "[Ferrowind Component Installer: Confirmation]\nYou are about to install Widget Pack for Delphi 3\n\n"
            "Please make sure Delphi is not running.\n[OK/Cancel]\n");
  EXPECT_EQ(ReadWhole(FRegistry), registry);
  EXPECT_EQ(Snapshot(FRoot), files);
}

TEST_F(InstallerRun, NestedFoldersAreCreatedButTopLevelOnesMustExist) {
  WriteWhole(FPackage + "/Tree/Lib/Deep/x.dcu", "x");
  WriteWhole(FPackage + "/Tree/Missing/y.dcu", "y");
  WriteWhole(FPackage + "/Setup.cfg", "LANGUAGE=Delphi 3\r\nCOPYDIR=Tree\r\n\r\n");
  EXPECT_NE(Install().Output.find("NO files copied"), std::string::npos);
  EXPECT_EQ(ReadWhole(FRoot + "/Lib/Deep/x.dcu"), "x");
  EXPECT_FALSE(PathExists(FRoot + "/Missing"));
}

TEST_F(InstallerRun, ReadOnlyHelpFileIsLeftAsItWas) {
  const std::string cfg = FRoot + "/Help/Delphi3.cfg", before = ReadWhole(cfg);
  chmod(cfg.c_str(), 0444);
  WriteWhole(FPackage + "/Setup.cfg", "PACKAGE=P\r\nLANGUAGE=Delphi 3\r\nHELPFILE=W.hlp\r\n\r\n");
  const TProgramResult run = Install();
  EXPECT_NE(run.Output.find("NO Help installed"), std::string::npos) << run.Output;
  EXPECT_EQ(ReadWhole(cfg), before);
  EXPECT_TRUE(PathExists(FRoot + "/Help/Delphi3.gid"));
  for (const auto& [name, data] : Snapshot(FRoot + "/Help")) EXPECT_EQ(name.find(".fw-new"), std::string::npos);
}

}  // namespace
}  // namespace FerrowindTest
