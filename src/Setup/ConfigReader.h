// The reader of Setup.cfg: one classified line (a TDirective) per ReadDirective call.
// Lines end at CR (one LF after it is skipped); byte 26 or the end of the file ends the
// text; the last line read is never acted on. Reads in blocks; memory grows only with the
// longest line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Host.h"

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
// Classifies one line as read (no line break): keyword before the first "=", value after.
// The value views line.
TDirectiveView ClassifyLine(std::string_view line);

class TConfigReader {
 public:
  explicit TConfigReader(THost& host) : FHost(host) {}
  ~TConfigReader();
  TConfigReader(const TConfigReader&) = delete;
  TConfigReader& operator=(const TConfigReader&) = delete;

  // Opens the file for reading, sharing read access only, never creating it. Any failure
  // (missing, a folder, no access, sharing conflict) is the same false.
  bool Open(const std::string& path = "Setup.cfg");
  // The next directive; kind 0 at the end of the text or after a read error, and from
  // then on. Its value views the reader's buffer: valid until the next call.
  TDirectiveView ReadDirective();

 private:
  // Whether a byte remains before the end of the text; refills the buffer when it is
  // exhausted, which ends the life of views into it.
  bool Fill() { return FPos < FEnd || Refill(); }
  bool Refill();

  THost& FHost;
  THandle FFile = 0;
  std::vector<char> FBuffer;
  std::size_t FPos = 0;
  std::size_t FEnd = 0;
  bool FEndOfText = false;  // end of file, byte 26 or a read error reached
  bool FExhausted = false;
  std::string FLine;  // a line that spans refills, or ends where the buffer does
};

}  // namespace Ferrowind
