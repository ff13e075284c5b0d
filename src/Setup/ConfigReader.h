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

struct TDirective {
  TDirectiveKind Kind = dkEnd;
  std::string Value;
};

// The keyword of a kind from 1 to 8 ("PACKAGE" ...); empty for 0 and 9.
std::string_view KeywordOf(TDirectiveKind kind);
// Classifies one line as read (no line break): keyword before the first "=", value after.
TDirective ClassifyLine(std::string_view line);
// The same into an existing directive, reusing its storage.
void ClassifyLine(std::string_view line, TDirective& directive);

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
  // then on. Valid until the next call: one line's storage serves every line.
  const TDirective& ReadDirective();

 private:
  bool Fill();             // refills the buffer when it is exhausted; false at the end
  bool MoreTextFollows();  // a byte other than 26 remains before the end of the text

  THost& FHost;
  THandle FFile = 0;
  std::vector<char> FBuffer;
  std::size_t FPos = 0;
  std::size_t FEnd = 0;
  bool FEndOfText = false;  // end of file, byte 26 or a read error reached
  bool FExhausted = false;
  std::string FLine;
  TDirective FDirective;
};

}  // namespace Ferrowind
