#include <gtest/gtest.h>

#include "ExampleSystem.h"
#include "Setup/InstallRun.h"

namespace Ferrowind {
namespace {

using namespace Example;
using V = std::vector<std::string>;
std::string Prompt(const std::string& title, const std::string& ide) {
  return "C:You are about to install " + title + " for Delphi " + ide +
         "\r\n\r\nPlease make sure Delphi is not running.";
}

class InstallRun : public ::testing::Test {
 protected:
  void SetUp() override {
    host.SetValue(HKLM, Base, "RootDir", "C:\\D3");
    host.AddKey(HKCU, Known);
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
  // Every box shown, as "kind:text": W warning, I information, C confirmation.
  V Shown() const {
    V shown;
    for (const auto& box : host.Boxes())
      shown.push_back(std::string(1, "WIC"[static_cast<int>(box.Kind)]) + ":" + box.Text);
    return shown;
  }
  TMemoryHost host;
};

TEST_F(InstallRun, MissingOrEmptyConfigurationShowsOneBoxEach) {
  EXPECT_EQ(RunInstallation(host), 0);
  host.AddFile("Setup.cfg", "");
  EXPECT_EQ(RunInstallation(host), 0);
  EXPECT_EQ(Shown(), V({"W:Configuration file not found",
                        "I: Incorrect configuration file\r\n\r\n"
                        "All files copied\r\nNO Components installed\r\nNO Help installed"}));
}

TEST_F(InstallRun, FullRunShowsItsBoxesInOrderAndSummarises) {
  host.AddFile("C:\\D3\\Help\\Delphi3.cfg", "");
  host.AddFile("C:\\D3\\Lib\\old.dcu", "old", AttrArchive | AttrReadOnly);  // removed all the same
  Run({"PACKAGE=Widget Pack", "MESSAGE=Before", "LANGUAGE=Delphi 3", "PACKAGEFILE=W.dpl",
       "COMPONENT=TWidget Widget Page", "HELPFILE=Widgets.hlp", "COPYDIR=Files", "DELETE=Lib\\old.dcu",
       "MESSAGE=Restart the IDE"});
  EXPECT_EQ(Shown(), V({"I:Before", Prompt("Widget Pack", "3"), "I:Restart the IDE",
                        "I:Widget Pack Installation\r\n\r\nAll files copied\r\nAll Components installed\r\n"
                        "Help installed"}));
  // The registry, palette, copy and handles of a full run are checked by the fault-injection run.
  EXPECT_FALSE(host.Exists("C:\\D3\\Lib\\old.dcu"));
}

TEST_F(InstallRun, CancelOrAMissingIdeEndsAtOnce) {
  host.AnswerBoxes({true, false});
  Run({"MESSAGE=First", "LANGUAGE=Delphi 3", "PACKAGEFILE=W.dpl"});
  EXPECT_EQ(host.ValueCount(HKCU, Known), 0u);  // Cancel writes nothing
  Run({"PACKAGE=P", "LANGUAGE=Delphi 3.0", "PACKAGEFILE=W.dpl"});
  EXPECT_EQ(Shown(), V({"I:First", Prompt("", "3"), Prompt("P", "0"), "W:Delphi 0 not found."}));
}

TEST_F(InstallRun, TargetDirectivesBeforeLanguageArePassedOver) {
  host.AddFile("C:\\Pkg\\Files\\Bin\\x.exe", "x");  // C:\D3\Bin missing: would fail
  host.AddFile("C:\\D3\\Lib\\keep.dcu", "k");
  Run({"PACKAGE=Widget Pack", "COPYDIR=Files", "DELETE=Lib\\keep.dcu", "PACKAGEFILE=W.dpl", "LANGUAGE=Delphi 3"});
  EXPECT_TRUE(host.Exists("C:\\D3\\Lib\\keep.dcu"));
  EXPECT_EQ(Shown(), V({Prompt("Widget Pack", "3"),
                        "I:Widget Pack Installation\r\n\r\nAll files copied\r\n"
                        "NO Components installed\r\nNO Help installed"}));
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
  EXPECT_EQ(Shown(), V({Prompt("Widget Pack", "3"), Prompt("Widget Pack", "4"),
                        "I:Widget Pack Installation\r\n\r\nNO files copied\r\nNO Components installed\r\n"
                        "NO Help installed"}));
}

}  // namespace
}  // namespace Ferrowind
