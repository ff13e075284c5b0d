// The POSIX program run end to end in scratch folders: registry file, IDE folder, package
// folder with the program beside its files, answers on standard input.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "ProgramRun.h"

namespace FerrowindTest {
namespace {

namespace fs = std::filesystem;

const std::string Source = FERROWIND_SOURCE_DIR;

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

class InstallerRun : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::copy(Source + "/examples/package", Package(), fs::copy_options::recursive);
    fs::copy(Source + "/examples/ide", Root(), fs::copy_options::recursive);
    CopyInto(FERROWIND_SETUP_BINARY, Package());
    std::string registry = ReadWhole(Source + "/examples/registry.reg.in");
    for (std::size_t at; (at = registry.find("@ROOT@")) != std::string::npos;) registry.replace(at, 6, Root());
    WriteWhole(Registry(), registry);
  }
  std::string Package() const { return scratch / "package"; }
  std::string Root() const { return scratch / "Delphi 3"; }
  std::string Registry() const { return scratch / "registry.reg"; }
  TProgramResult Install(const std::string& answers = std::string(20, '\n')) {
    return RunProgram(Package() + "/ferrowind-setup", {}, Package(), {{"FERROWIND_REGISTRY", Registry()}}, answers);
  }
  TScratch scratch;
};

TEST_F(InstallerRun, MinimalConfigurationShowsConfirmationThenSummary) {
  WriteWhole(Package() + "/Setup.cfg", "PACKAGE=Widget Pack\r\nLANGUAGE=Delphi 3\r\n\r\n");
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
  fs::permissions(Root() + "/Lib/WidgetPackOld.dcu",
                  fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write, fs::perm_options::remove);
  const TProgramResult first = Install();
  EXPECT_EQ(first.ExitCode, 0);
  EXPECT_NE(first.Output.find("Widget Pack Installation\n\nAll files copied\nAll Components installed\n"
                              "Help installed\n[OK]\n"),
            std::string::npos)
      << first.Output;

  const std::string registry = ReadWhole(Registry());
  EXPECT_EQ(Count(registry, "WidgetPack.dpl\"=\"Widget Pack\""), 1u) << registry;
  EXPECT_NE(registry.find("\"Widgets\"=\"TWidget;TWidgetGrid;\""), std::string::npos) << registry;
  const std::string cfg = ReadWhole(Root() + "/Help/Delphi3.cfg");
  const std::string cnt = ReadWhole(Root() + "/Help/DELPHI3.CNT");
  EXPECT_EQ(Count(cfg, ":LINK Widgets.hlp\r\n"), 1u) << cfg;
  EXPECT_EQ(Count(cnt, ":INDEX Widget Pack=Widgets.hlp\r\n"), 1u) << cnt;
  EXPECT_FALSE(PathExists(Root() + "/Help/Delphi3.gid"));
  EXPECT_FALSE(PathExists(Root() + "/Lib/WidgetPackOld.dcu"));
  EXPECT_EQ(ReadWhole(Root() + "/Source/Widgets/Widgets.pas"),
            ReadWhole(Package() + "/Files/Source/Widgets/Widgets.pas"));
  EXPECT_TRUE(PathExists(Root() + "/Lib/WidgetPack.dpl"));

  const auto files = Snapshot(Root());
  const TProgramResult second = Install();
  EXPECT_NE(second.Output.find("All Components installed\nHelp installed"), std::string::npos);
  EXPECT_EQ(ReadWhole(Registry()), registry);
  EXPECT_EQ(Snapshot(Root()), files);
}

TEST_F(InstallerRun, CancelAtTheConfirmationEndsWithoutWriting) {
  const std::string registry = ReadWhole(Registry());
  const auto files = Snapshot(Root());
  const TProgramResult run = Install("cancel\n");
  EXPECT_EQ(run.ExitCode, 0);
  EXPECT_EQ(Count(run.Output, "[Ferrowind Component Installer:"), 1u) << run.Output;
  EXPECT_EQ(ReadWhole(Registry()), registry);
  EXPECT_EQ(Snapshot(Root()), files);
  // End of input is a Cancel too; an unknown answer asks again.
  EXPECT_EQ(Count(Install("").Output, "[OK/Cancel]"), 1u);
  EXPECT_EQ(Count(Install("maybe\nno\n").Output, "[OK/Cancel]"), 2u);
  EXPECT_EQ(ReadWhole(Registry()), registry);
}

TEST_F(InstallerRun, MissingConfigurationAndMissingIde) {
  fs::remove(Package() + "/Setup.cfg");
  EXPECT_EQ(Install().Output, "[Ferrowind Component Installer: Warning]\nConfiguration file not found\n[OK]\n");
  WriteWhole(Package() + "/Setup.cfg", "LANGUAGE=Delphi 9\r\nPACKAGEFILE=x\r\n\r\n");
  const TProgramResult run = Install();
  EXPECT_NE(run.Output.find("[Ferrowind Component Installer: Warning]\nDelphi 9 not found.\n[OK]\n"),
            std::string::npos);
  EXPECT_EQ(Count(run.Output, "[Ferrowind"), 2u);
}

TEST_F(InstallerRun, CopyCreatesNestedFoldersButNeedsTopLevelOnes) {
  WriteWhole(Package() + "/Tree/Lib/Deep/Er/x.dcu", "x");
  WriteWhole(Package() + "/Tree/Missing/y.dcu", "y");
  WriteWhole(Package() + "/Setup.cfg", "LANGUAGE=Delphi 3\r\nCOPYDIR=Tree\r\n\r\n");
  const TProgramResult run = Install();
  EXPECT_EQ(ReadWhole(Root() + "/Lib/Deep/Er/x.dcu"), "x");
  EXPECT_FALSE(PathExists(Root() + "/Missing"));
  EXPECT_NE(run.Output.find("NO files copied"), std::string::npos) << run.Output;
}

TEST_F(InstallerRun, ReadOnlyHelpFileIsLeftAsItWas) {
  const std::string cfg = Root() + "/Help/Delphi3.cfg";
  const std::string before = ReadWhole(cfg);
  chmod(cfg.c_str(), 0444);
  WriteWhole(Package() + "/Setup.cfg", "PACKAGE=P\r\nLANGUAGE=Delphi 3\r\nHELPFILE=W.hlp\r\n\r\n");
  const TProgramResult run = Install();
  EXPECT_NE(run.Output.find("NO Help installed"), std::string::npos) << run.Output;
  EXPECT_EQ(ReadWhole(cfg), before);
  EXPECT_TRUE(PathExists(Root() + "/Help/Delphi3.gid"));
  for (const auto& [name, data] : Snapshot(Root() + "/Help")) EXPECT_EQ(name.find(".fw-new"), std::string::npos);
}

}  // namespace
}  // namespace FerrowindTest
