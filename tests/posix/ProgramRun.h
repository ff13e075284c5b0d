// Helpers for end-to-end tests: scratch folders, whole-file read/write, and running a
// program with a working folder, extra environment and scripted standard input.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace FerrowindTest {

struct TProgramResult {
  int ExitCode = -1;   // -1 when it did not exit normally
  std::string Output;  // standard output
  std::string Errors;  // standard error
};

TProgramResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                          const std::string& workingFolder,
                          const std::vector<std::pair<std::string, std::string>>& environment,
                          const std::string& input);

// A fresh folder below the system's temporary folder, removed with everything in it.
class TScratch {
 public:
  TScratch();
  ~TScratch();
  TScratch(const TScratch&) = delete;
  TScratch& operator=(const TScratch&) = delete;
  const std::string& Path() const { return FPath; }
  std::string operator/(const std::string& relative) const { return FPath + "/" + relative; }

 private:
  std::string FPath;
};

std::string ReadWhole(const std::string& path);                     // empty when missing
void WriteWhole(const std::string& path, const std::string& data);  // creates parent folders
bool PathExists(const std::string& path);
void CopyInto(const std::string& file, const std::string& folder);  // keeps the mode bits
// Every regular file below folder, as "relative path" -> contents.
std::vector<std::pair<std::string, std::string>> Snapshot(const std::string& folder);

}  // namespace FerrowindTest
