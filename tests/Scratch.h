// Scratch folders and whole-file reads and writes, for every test that works on real files.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

namespace FerrowindTest {

// A fresh folder below the system's temporary folder, removed with everything in it.
class TScratch {
 public:
  TScratch() : FPath((std::filesystem::temp_directory_path() / "ferrowind-test-XXXXXX").string()) {
    if (!mkdtemp(FPath.data())) throw std::runtime_error("mkdtemp");
  }
  ~TScratch() {
    std::error_code ignored;
    std::filesystem::remove_all(FPath, ignored);
  }
  TScratch(const TScratch&) = delete;
  TScratch& operator=(const TScratch&) = delete;
  const std::string& Path() const { return FPath; }
  std::string operator/(const std::string& relative) const { return FPath + "/" + relative; }

 private:
  std::string FPath;
};

// Empty when missing.
inline std::string ReadWhole(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), {}};
}

// Creates parent folders.
inline void WriteWhole(const std::string& path, const std::string& data) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  if (!(std::ofstream(path, std::ios::binary) << data)) throw std::runtime_error("cannot write " + path);
}

}  // namespace FerrowindTest
