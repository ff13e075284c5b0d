#include "Setup/ConfigReader.h"

#include <cstring>

#include "Setup/TextHelpers.h"

namespace Ferrowind {

namespace {
constexpr std::size_t BlockSize = 64 * 1024;
constexpr char CR = 13;
constexpr char LF = 10;
constexpr char EndOfTextMark = 26;
constexpr std::string_view Keywords[] = {"",          "PACKAGE", "LANGUAGE", "PACKAGEFILE", "HELPFILE",
                                         "COMPONENT", "MESSAGE", "DELETE",   "COPYDIR"};
// No two keywords share both length and first letter, so these two pick the only keyword
// a text can be.
constexpr TDirectiveKind Candidate(std::size_t length, char first) {
  const char upper = static_cast<char>(first & ~0x20);
  switch (length) {
    case 6:
      return dkDelete;
    case 7:
      return upper == 'P' ? dkPackage : upper == 'M' ? dkMessage : dkCopyDir;
    case 8:
      return upper == 'L' ? dkLanguage : dkHelpFile;
    case 9:
      return dkComponent;
    case 11:
      return dkPackageFile;
    default:
      return dkNone;
  }
}
constexpr std::size_t MaxValueLength = 1000;

// Runs once per line of the file: no copy, no allocation.
inline TDirectiveView Classify(std::string_view line) {
  TDirectiveView directive{dkNone, {}};
  const std::size_t equals = line.find('=');
  std::string_view keyText = line;
  if (equals != std::string_view::npos) {
    keyText = StrippedView(line.substr(0, equals));
    // The value is TextAfter(line, '='): stripped, from at most the first 1000 bytes.
    directive.Value = StrippedView(line.substr(equals + 1, MaxValueLength));
  }
  if (keyText.empty()) return directive;
  const TDirectiveKind kind = Candidate(keyText.size(), keyText.front());
  if (kind != dkNone && EqualsUpperAscii(keyText, Keywords[kind])) directive.Kind = kind;
  return directive;
}
}  // namespace

std::string_view KeywordOf(TDirectiveKind kind) {
  return kind >= dkPackage && kind <= dkCopyDir ? Keywords[kind] : std::string_view();
}

TDirectiveView ClassifyLine(std::string_view line) { return Classify(line); }

TConfigReader::~TConfigReader() {
  if (FFile != 0) FHost.FileClose(FFile);
}

bool TConfigReader::Open(const std::string& path) {
  if (!FHost.FileOpen(path, TFileAccess::Read, TFileShare::Read, TFileCreate::OpenExisting, &FFile)) {
    FFile = 0;
    return false;
  }
  FBuffer.resize(BlockSize);
  return true;
}

bool TConfigReader::Refill() {
  if (FEndOfText) return false;
  std::size_t got = 0;
  if (!FHost.FileRead(FFile, FBuffer.data(), FBuffer.size(), &got) || got == 0) {
    FEndOfText = true;
    return false;
  }
  FPos = 0;
  FEnd = got;
  // Nothing after a byte 26 is ever read: the text ends there.
  if (const void* mark = std::memchr(FBuffer.data(), EndOfTextMark, got)) {
    FEnd = static_cast<std::size_t>(static_cast<const char*>(mark) - FBuffer.data());
    FEndOfText = true;
  }
  return FPos < FEnd;
}

TDirectiveView TConfigReader::ReadDirective() {
  if (FExhausted || FFile == 0) return {};
  std::string_view line;
  bool lineEnded = false;
  // Most lines lie whole in the buffer and are viewed there.
  if (Fill()) {
    const char* start = FBuffer.data() + FPos;
    if (const void* cr = std::memchr(start, CR, FEnd - FPos)) {
      line = std::string_view(start, static_cast<std::size_t>(static_cast<const char*>(cr) - start));
      FPos += line.size() + 1;
      lineEnded = true;
    }
  }
  if (!lineEnded) {
    // The line runs past the buffer: gather it in FLine across refills.
    FLine.clear();
    while (Fill()) {
      const char* start = FBuffer.data() + FPos;
      const void* cr = std::memchr(start, CR, FEnd - FPos);
      const std::size_t length = cr ? static_cast<std::size_t>(static_cast<const char*>(cr) - start) : FEnd - FPos;
      FLine.append(start, length);
      FPos += length;
      if (cr) {
        ++FPos;
        lineEnded = true;
        break;
      }
    }
    line = FLine;
  } else if (FEnd - FPos <= 1) {
    // The look past the line break below may refill the buffer under the view.
    FLine.assign(line);
    line = FLine;
  }
  if (lineEnded && Fill() && FBuffer[FPos] == LF) ++FPos;
  // The last line read is never acted on.
  if (!lineEnded || !Fill()) {
    FExhausted = true;
    return {};
  }
  return Classify(line);
}

}  // namespace Ferrowind
