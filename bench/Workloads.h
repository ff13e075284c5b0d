// Workloads for the benchmarks, built the same way as bench/run builds them: deterministic
// text of a given number of lines, and scratch folders removed with everything in them.
#pragma once

#include <cstddef>
#include <string>

namespace FerrowindBench {

// A Setup.cfg of lines of assorted lengths (about 67 bytes a line on average, CR LF ends) whose
// keywords the reader does not know, so every line classifies as kind 9.
std::string UnknownKeywordConfig(std::size_t lines);

// A help contents file: a header, then headings and topics with an :INDEX line every
// tenth line, CR LF ends, about 67 bytes a line on average.
std::string ContentsFile(std::size_t lines);

// A fresh folder below the system's temporary folder, removed with its content on
// destruction. Throws std::runtime_error when it cannot be made.
class TScratchFolder {
 public:
  TScratchFolder();
  ~TScratchFolder();
  TScratchFolder(const TScratchFolder&) = delete;
  TScratchFolder& operator=(const TScratchFolder&) = delete;
  const std::string& Path() const { return FPath; }

 private:
  std::string FPath;
};

void WriteWholeFile(const std::string& path, const std::string& data);  // throws on failure
void RemoveTree(const std::string& path);                               // missing is fine

}  // namespace FerrowindBench
