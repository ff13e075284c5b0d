// A text file as a list of lines, loaded and saved whole: the one route of both help-file
// edits. Loading splits at CR LF, lone CR and lone LF; saving ends every line with CR LF.
// A file is saved by writing a temporary file beside it and putting that in its place in
// one step, so a failed save leaves the original exactly as it was and no temporary file
// behind.
#pragma once

#include <deque>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/Host.h"

namespace Ferrowind {

// A load or save failure, with the message the help edits catch.
class ELineFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A save writes here first, beside the file, then puts it in the file's place.
constexpr const char* TemporarySuffix = ".fw-new";

// Lines are views into the loaded text or into strings the list owns, so a large file is
// held once. Not copyable or movable: the views point into the object.
class TLineList {
 public:
  TLineList() = default;
  TLineList(const TLineList&) = delete;
  TLineList& operator=(const TLineList&) = delete;

  // Replaces the list by the lines of text: a copy of it, or the size bytes at text.
  void SetText(std::string_view text);
  void SetText(std::unique_ptr<char[]> text, std::size_t size);

  std::size_t Count() const { return FLines.size(); }
  std::string_view Line(std::size_t i) const { return FLines[i]; }
  // Removes bytes of code 32 or less from both ends of line i.
  void StripLine(std::size_t i);
  void Append(std::string line);
  void Insert(std::size_t position, std::string line);  // lines from position on move down
  void DropTrailingEmpty();

 private:
  std::unique_ptr<char[]> FText;  // not a string: a load fills it without zeroing it first
  std::vector<std::string_view> FLines;
  std::deque<std::string> FOwned;  // deque: growing it never moves what the views see
};

// Loads the file, opened for reading with no sharing. Throws ELineFileError when it is
// missing or cannot be opened, when it is larger than this program can hold, when the
// read fails or falls short, or when it holds a NUL byte (such a file is not text this
// list could save back whole). The list is then empty.
void LoadLines(THost& host, const std::string& path, TLineList& lines);
// Saves the list in the file's place, every line followed by CR LF. Throws ELineFileError
// when the file is read-only or any step fails; the file is then as it was and no
// temporary file is left.
void SaveLines(THost& host, const std::string& path, const TLineList& lines);

}  // namespace Ferrowind
