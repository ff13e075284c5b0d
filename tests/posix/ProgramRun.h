// Helpers for end-to-end tests: running a program
// with a working folder, extra environment and scripted standard input, and a fixture that
// lays out the example package and IDE for the built installer.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

#include "../Scratch.h"

namespace FerrowindTest {

struct TProgramResult {
  int ExitCode = -1;   // -1 when it did not exit normally
  std::string Output;  // standard output
  std::string Errors;  // standard error
};

using TEnvironment = std::vector<std::pair<std::string, std::string>>;

// Runs program to its end; input is its whole standard input.
TProgramResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                          const std::string& workingFolder, const TEnvironment& environment, const std::string& input);
// Starts program without waiting, standard input and outputs from and to the files named.
pid_t StartProgram(const std::string& program, const std::vector<std::string>& arguments,
                   const std::string& workingFolder, const TEnvironment& environment, const std::string& input,
                   const std::string& output, const std::string& errors);

// In a scratch folder: the example package with the built installer beside its files, the
// example IDE as "Delphi 3", and a registry file naming that folder. A failed copy fails SetUp.
class TInstallFolders : public ::testing::Test {
 protected:
  void SetUp() override;
  // Runs the installer in the package folder, answers as its standard input.
  TProgramResult Install(const std::string& answers = std::string(20, '\n')) const;
  TScratch FScratch;
  const std::string FPackage = FScratch / "package", FRoot = FScratch / "Delphi 3";
  const std::string FRegistry = FScratch / "registry.reg";
};

}  // namespace FerrowindTest
