// The reader of Setup.cfg: the next line with a keyword (a TDirective) per ReadDirective
// call; lines without one (kind 9) are passed over.
// Lines end at CR (one LF after it is skipped); byte 26 or the end of the file ends the
// text; the last line read is never acted on. Reads a file in blocks, so memory grows only
// with the longest line, or text already in memory (the checker's) with the same rules.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/Host.h"

namespace Ferrowind {

enum TDirectiveKind : int {
  dkEnd = 0,
  dkPackage = 1,
  dkLanguage = 2,
  dkPackageFile = 3,
  dkHelpFile = 4,
  dkComponent = 5,
  dkMessage = 6,
  dkDelete = 7,
  dkCopyDir = 8,
  dkNone = 9
};

// A directive that keeps its own copy of the value.
struct TDirective {
  TDirectiveKind Kind = dkEnd;
  std::string Value;
};

// A directive whose value views the line it was classified from: no copy per line.
struct TDirectiveView {
  TDirectiveKind Kind = dkEnd;
  std::string_view Value;

  operator TDirective() const { return {Kind, std::string(Value)}; }  // NOLINT: kept copies are plain
};

// The keyword of a kind from 1 to 8 ("PACKAGE" ...); empty for 0 and 9.
std::string_view KeywordOf(TDirectiveKind kind);
// Classifies one line as read (no line break): keyword before the first "=", value after,
// for a line of kind 9 too. The value views line.
TDirectiveView ClassifyLine(std::string_view line);

// One line as the reader splits it, before it is classified.
struct TReadLine {
  std::string_view Text;   // up to its CR or the end of the text; may hold LFs
  bool EndedByCR = false;  // false for a line that runs to the end of the text
  bool Last = false;       // the last line read: never acted on
};

class TConfigReader {
 public:
  explicit TConfigReader(THost& host) : FHost(&host) {}
  // Reads text that is already loaded; it must outlive the reader. No Open needed.
  explicit TConfigReader(std::string_view text);
  ~TConfigReader();
  TConfigReader(const TConfigReader&) = delete;
  TConfigReader& operator=(const TConfigReader&) = delete;

  // Opens the file for reading, sharing read access only, never creating it. Any failure
  // (missing, a folder, no access, sharing conflict) is the same false.
  bool Open(const std::string& path = "Setup.cfg");
  // The next line with a keyword, of kind 1 to 8; kind 0 at the end of the text or after
  // a read error, and from then on. Its value views the reader's buffer: valid until the
  // next call.
  TDirectiveView ReadDirective();
  // The next line, the last one included; false after it, at the end of the text or after
  // a read error. Its text is valid until the next call.
  bool ReadLine(TReadLine* line);
  // Once the lines are read: whether a byte 26 ended the text, and where the text ended
  // (the byte 26's offset, or the bytes read).
  bool EndedByMark() const { return FEndedByMark; }
  std::uint64_t TextEnd() const { return FBlockStart + FEnd; }

 private:
  // Whether a byte remains before the end of the text; refills the buffer when it is
  // exhausted, which ends the life of views into it.
  bool Fill() { return FPos < FEnd || Refill(); }
  bool Refill();
  // The next line when it lies whole in the buffer with text after it; false otherwise,
  // with nothing read.
  bool ReadWholeLine(std::string_view* line);
  // ReadLine for a line that ends within two bytes of the buffer's end, or past it.
  bool ReadLineNearEnd(TReadLine* read);

  THost* FHost = nullptr;  // none for text in memory
  THandle FFile = 0;
  std::vector<char> FBlock;
  const char* FData = nullptr;  // the block, or the text in memory
  std::uint64_t FBlockStart = 0;
  std::size_t FPos = 0;
  std::size_t FEnd = 0;
  bool FEndOfText = false;  // end of file, byte 26 or a read error reached
  bool FEndedByMark = false;
  bool FExhausted = false;
  std::string FLine;  // a line that spans refills, or ends where the buffer does
};

}  // namespace Ferrowind
