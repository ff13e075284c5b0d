#include "Setup/ConfigReader.h"

#include <cstring>

#include "Base/Text.h"

namespace Ferrowind {

namespace {
constexpr std::size_t BlockSize = 64 * 1024;
constexpr std::string_view Keywords[] = {"",          "PACKAGE", "LANGUAGE", "PACKAGEFILE", "HELPFILE",
                                         "COMPONENT", "MESSAGE", "DELETE",   "COPYDIR"};
constexpr std::size_t MaxValueLength = 1000;

// The text after the "=" at equals, stripped, from at most its first 1000 bytes; empty
// when there is no "=".
std::string_view ValueAfter(std::string_view line, std::size_t equals) {
  return equals < line.size() ? StrippedView(line.substr(equals + 1, MaxValueLength)) : std::string_view();
}

bool IsLetter(char c) { return FoldAscii(c) >= 'A' && FoldAscii(c) <= 'Z'; }

// The keyword is the text before the first "=", stripped, or the whole line when there is
// none; every keyword is letters only. So a directive's line is blanks, letters, blanks
// and "=", or letters alone, and one forward pass over the start of a line tells. A line of
// kind 9 gets no value: the run passes over it.
inline TDirectiveView Classify(std::string_view line) {
  std::size_t i = 0;
  while (i < line.size() && IsBlank(line[i])) ++i;
  const std::size_t wordStart = i;
  while (i < line.size() && IsLetter(line[i])) ++i;
  const std::string_view word = line.substr(wordStart, i - wordStart);
  while (i < line.size() && IsBlank(line[i])) ++i;
  if (i < line.size() ? line[i] != '=' : word.size() != line.size()) return {dkNone, {}};
  for (int kind = dkPackage; kind <= dkCopyDir; ++kind) {
    if (EqualIgnoringCase(word, Keywords[kind])) return {static_cast<TDirectiveKind>(kind), ValueAfter(line, i)};
  }
  return {dkNone, {}};
}
}  // namespace

std::string_view KeywordOf(TDirectiveKind kind) {
  return kind >= dkPackage && kind <= dkCopyDir ? Keywords[kind] : std::string_view();
}

TDirectiveView ClassifyLine(std::string_view line) {
  TDirectiveView directive = Classify(line);
  if (directive.Kind == dkNone) directive.Value = ValueAfter(line, line.find('='));
  return directive;
}

TConfigReader::TConfigReader(std::string_view text) : FData(text.data()), FEnd(text.size()), FEndOfText(true) {
  if (const void* mark = std::memchr(text.data(), EndOfTextMark, text.size())) {
    FEnd = static_cast<std::size_t>(static_cast<const char*>(mark) - text.data());
    FEndedByMark = true;
  }
}

TConfigReader::~TConfigReader() {
  if (FFile != 0) FHost->FileClose(FFile);
}

bool TConfigReader::Open(const std::string& path) {
  if (!FHost->FileOpen(path, TFileAccess::Read, TFileShare::Read, TFileCreate::OpenExisting, &FFile)) {
    FFile = 0;
    return false;
  }
  FBlock.resize(BlockSize);
  FData = FBlock.data();
  return true;
}

bool TConfigReader::Refill() {
  if (FEndOfText) return false;
  std::size_t got = 0;
  FBlockStart += FEnd;
  FPos = FEnd = 0;
  if (!FHost->FileRead(FFile, FBlock.data(), FBlock.size(), &got) || got == 0) {
    FEndOfText = true;
    return false;
  }
  FEnd = got;
  // Nothing after a byte 26 is ever read: the text ends there.
  if (const void* mark = std::memchr(FBlock.data(), EndOfTextMark, got)) {
    FEnd = static_cast<std::size_t>(static_cast<const char*>(mark) - FBlock.data());
    FEndOfText = FEndedByMark = true;
  }
  return FPos < FEnd;
}

// Most lines lie whole in the buffer with at least two bytes after them, so that they are
// not the last line, even after an LF: they are viewed there.
bool TConfigReader::ReadWholeLine(std::string_view* line) {
  if (FExhausted || FPos >= FEnd) return false;
  const char* start = FData + FPos;
  const char* end = FData + FEnd;
  const char* cr = static_cast<const char*>(std::memchr(start, CR, static_cast<std::size_t>(end - start)));
  if (cr == nullptr || end - cr <= 2) return false;
  *line = std::string_view(start, static_cast<std::size_t>(cr - start));
  FPos = static_cast<std::size_t>(cr + 1 - FData) + (cr[1] == LF ? 1 : 0);
  return true;
}

TDirectiveView TConfigReader::ReadDirective() {
  for (;;) {
    std::string_view text;
    while (ReadWholeLine(&text)) {
      const TDirectiveView directive = Classify(text);
      if (directive.Kind != dkNone) return directive;
    }
    TReadLine line;
    if (!ReadLineNearEnd(&line) || line.Last) return {};
    const TDirectiveView directive = Classify(line.Text);
    if (directive.Kind != dkNone) return directive;
  }
}

bool TConfigReader::ReadLine(TReadLine* read) {
  std::string_view text;
  if (!ReadWholeLine(&text)) return ReadLineNearEnd(read);
  *read = {text, true, false};
  return true;
}

bool TConfigReader::ReadLineNearEnd(TReadLine* read) {
  if (FExhausted || FData == nullptr) return false;
  // The line is gathered in FLine, across refills: the looks past it below may refill the
  // buffer under a view.
  FLine.clear();
  bool lineEnded = false;
  while (!lineEnded && Fill()) {
    const char* start = FData + FPos;
    const void* cr = std::memchr(start, CR, FEnd - FPos);
    const std::size_t length = cr ? static_cast<std::size_t>(static_cast<const char*>(cr) - start) : FEnd - FPos;
    FLine.append(start, length);
    FPos += length + (cr ? 1 : 0);
    lineEnded = cr != nullptr;
  }
  if (lineEnded && Fill() && FData[FPos] == LF) ++FPos;
  if (!lineEnded && FLine.empty()) {
    FExhausted = true;
    return false;
  }
  // The last line read is never acted on.
  *read = {FLine, lineEnded, !lineEnded || !Fill()};
  FExhausted = read->Last;
  return true;
}

}  // namespace Ferrowind
