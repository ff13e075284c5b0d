#include "ProgramRun.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <regex>

namespace FerrowindTest {

namespace fs = std::filesystem;

pid_t StartProgram(const std::string& program, const std::vector<std::string>& arguments,
                   const std::string& workingFolder, const TEnvironment& environment, const std::string& input,
                   const std::string& output, const std::string& errors) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  if (!freopen(input.c_str(), "r", stdin) || !freopen(output.c_str(), "w", stdout) ||
      !freopen(errors.c_str(), "w", stderr) || chdir(workingFolder.c_str()) != 0) {
    _exit(126);
  }
  for (const auto& [name, value] : environment) setenv(name.c_str(), value.c_str(), 1);
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  execv(program.c_str(), argv.data());
  _exit(127);
}

TProgramResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                          const std::string& workingFolder, const TEnvironment& environment, const std::string& input) {
  // Input and outputs go through files: nothing can block on a full pipe.
  const TScratch io;
  WriteWhole(io / "in", input);
  const pid_t pid = StartProgram(program, arguments, workingFolder, environment, io / "in", io / "out", io / "err");
  int status = 0;
  waitpid(pid, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadWhole(io / "out"), ReadWhole(io / "err")};
}

void TInstallFolders::SetUp() {
  const std::string source = FERROWIND_SOURCE_DIR;
  fs::copy(source + "/examples/package", FPackage, fs::copy_options::recursive);
  fs::copy(source + "/examples/ide", FRoot, fs::copy_options::recursive);
  fs::copy_file(FERROWIND_SETUP_BINARY, FPackage + "/ferrowind-setup");
  WriteWhole(FRegistry,
             std::regex_replace(ReadWhole(source + "/examples/registry.reg.in"), std::regex("@ROOT@"), FRoot));
}

TProgramResult TInstallFolders::Install(const std::string& answers) const {
  return RunProgram(FPackage + "/ferrowind-setup", {}, FPackage, {{"FERROWIND_REGISTRY", FRegistry}}, answers);
}

}  // namespace FerrowindTest
