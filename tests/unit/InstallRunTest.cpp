#include <gtest/gtest.h>

#include "Setup/InstallRun.h"
#include "platform/MemoryHost.h"

namespace Ferrowind {
namespace {

const std::string Base = "SOFTWARE\\Borland\\Delphi\\3.0";
constexpr auto HKLM = TRootKey::LocalMachine;
constexpr auto HKCU = TRootKey::CurrentUser;
const std::string Prompt =
    "You are about to install Widget Pack for Delphi 3\r\n\r\nPlease make sure Delphi is not running.";

class InstallRun : public ::testing::Test {
 protected:
  void SetUp() override {
    host.SetValue(HKLM, Base, "RootDir", "C:\\D3");
    host.AddKey(HKCU, Base + "\\Known Packages");
    host.AddKey(HKCU, Base + "\\Palette");
    host.AddFolder("C:\\D3\\Lib");
    host.SetProgramPath("C:\\Pkg\\Setup.exe");
  }
  // Runs with Setup.cfg holding the given lines, each ended with CR LF, plus an empty line.
  int Run(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    host.AddFile("Setup.cfg", text + "\r\n");
    return RunInstallation(host);
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& box : host.Boxes()) texts.push_back(box.Text);
    return texts;
  }
  TMemoryHost host;
};

TEST_F(InstallRun, MissingConfigurationShowsOneWarningOnly) {
  EXPECT_EQ(RunInstallation(host), 0);
  ASSERT_EQ(host.Boxes().size(), 1u);
  EXPECT_EQ(host.Boxes()[0].Text, "Configuration file not found");
  EXPECT_EQ(host.Boxes()[0].Style, StyleWarning);
}

TEST_F(InstallRun, EmptyConfigurationReportsIncorrectFile) {
  host.AddFile("Setup.cfg", "");
  EXPECT_EQ(RunInstallation(host), 0);
  ASSERT_EQ(host.Boxes().size(), 1u);
  EXPECT_EQ(host.Boxes()[0].Text,
            " Incorrect configuration file\r\n\r\nAll files copied\r\nNO Components installed\r\nNO Help installed");
  EXPECT_EQ(host.Boxes()[0].Style, StyleInformation);
}

TEST_F(InstallRun, FullRunRegistersAndSummarises) {
  host.AddFile("C:\\D3\\Help\\Delphi3.cfg", "");
  host.AddFile("C:\\D3\\Lib\\old.dcu", "old");
  host.AddFile("C:\\Pkg\\Files\\Lib\\w.dcu", "w");
  EXPECT_EQ(Run({"PACKAGE=Widget Pack", "MESSAGE=Before", "LANGUAGE=Delphi 3", "PACKAGEFILE=W.dpl",
                 "COMPONENT=TWidget Widget Page", "HELPFILE=Widgets.hlp", "COPYDIR=Files", "DELETE=Lib\\old.dcu",
                 "MESSAGE=Restart the IDE"}),
            0);
  EXPECT_EQ(Texts(), (std::vector<std::string>{
                         "Before", Prompt, "Restart the IDE",
                         "Widget Pack Installation\r\n\r\nAll files copied\r\nAll Components installed\r\nHelp installed"}));
  EXPECT_EQ(host.Boxes()[1].Style, StyleConfirmation);
  EXPECT_EQ(host.Value(HKCU, Base + "\\Known Packages", "C:\\D3\\Lib\\W.dpl"), "Widget Pack");
  EXPECT_EQ(host.Value(HKCU, Base + "\\Palette", "Widget Page"), "TWidget;");
  EXPECT_EQ(host.FileData("C:\\D3\\Lib\\w.dcu"), "w");
  EXPECT_FALSE(host.Exists("C:\\D3\\Lib\\old.dcu"));
  EXPECT_EQ(host.OpenHandles(), 0u);
}

TEST_F(InstallRun, CancelEndsAtOnceAndWritesNothing) {
  host.AnswerBoxes({true, false});
  Run({"MESSAGE=First", "LANGUAGE=Delphi 3", "PACKAGEFILE=W.dpl"});
  EXPECT_EQ(Texts(), (std::vector<std::string>{"First",
                                               "You are about to install  for Delphi 3\r\n\r\n"
                                               "Please make sure Delphi is not running."}));
  EXPECT_EQ(host.ValueCount(HKCU, Base + "\\Known Packages"), 0u);
}

TEST_F(InstallRun, IdeNotFoundWarnsAndEnds) {
  Run({"PACKAGE=P", "LANGUAGE=Delphi 3.0", "PACKAGEFILE=W.dpl"});
  EXPECT_EQ(Texts().back(), "Delphi 0 not found.");
  EXPECT_EQ(host.Boxes().back().Style, StyleWarning);
  EXPECT_EQ(host.Boxes().size(), 2u);
  EXPECT_NE(Texts()[0].find("for Delphi 0\r\n"), std::string::npos);
}

TEST_F(InstallRun, TargetDirectivesBeforeLanguageArePassedOver) {
  host.AddFile("C:\\Pkg\\Files\\Bin\\x.exe", "x");  // C:\D3\Bin missing: would fail
  host.AddFile("C:\\D3\\Lib\\keep.dcu", "k");
  Run({"PACKAGE=Widget Pack", "COPYDIR=Files", "DELETE=Lib\\keep.dcu", "PACKAGEFILE=W.dpl",
       "LANGUAGE=Delphi 3"});
  EXPECT_TRUE(host.Exists("C:\\D3\\Lib\\keep.dcu"));
  EXPECT_EQ(Texts().back(),
            "Widget Pack Installation\r\n\r\nAll files copied\r\nNO Components installed\r\nNO Help installed");
}

TEST_F(InstallRun, FlagsFoldAcrossDirectivesAndTargets) {
  host.AddFile("C:\\Pkg\\Bad\\Bin\\x.exe", "x");
  host.AddFile("C:\\Pkg\\Good\\Lib\\y.dcu", "y");
  host.SetValue(HKLM, "SOFTWARE\\Borland\\Delphi\\4.0", "RootDir", "C:\\D4");
  // A failed COPYDIR stays failed; the last PACKAGEFILE decides the components line; a
  // second LANGUAGE asks again and keeps the flags.
  Run({"PACKAGE=Widget Pack", "LANGUAGE=Delphi 3", "COPYDIR=Bad", "PACKAGEFILE=W.dpl", "COPYDIR=Good",
       "LANGUAGE=Delphi 4", "PACKAGEFILE=X.dpl"});
  EXPECT_EQ(host.FileData("C:\\D3\\Lib\\y.dcu"), "y");
  EXPECT_EQ(host.Boxes().size(), 3u);
  EXPECT_EQ(Texts().back(),
            "Widget Pack Installation\r\n\r\nNO files copied\r\nNO Components installed\r\nNO Help installed");
}

}  // namespace
}  // namespace Ferrowind
