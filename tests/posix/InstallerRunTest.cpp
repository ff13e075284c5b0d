// The POSIX program run end to end in scratch folders: registry file, IDE folder, package
// folder with the program beside its files, answers on standard input.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace FerrowindTest
