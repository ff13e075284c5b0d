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
constexpr std::size_t LongestKeyword = 11;
// The kinds whose keyword has a given length (dkEnd fills the rest).
constexpr TDirectiveKind KindsOfLength[LongestKeyword + 1][3] = {{},
                                                                 {},
                                                                 {},
                                                                 {},
                                                                 {},
                                                                 {},
                                                                 {dkDelete},
                                                                 {dkPackage, dkMessage, dkCopyDir},
                                                                 {dkLanguage, dkHelpFile},
                                                                 {dkComponent},
                                                                 {},
                                                                 {dkPackageFile}};
constexpr std::size_t MaxValueLength = 1000;
}  // namespace

std::string_view KeywordOf(TDirectiveKind kind) {
  return kind >= dkPackage && kind <= dkCopyDir ? Keywords[kind] : std::string_view();
}

// Runs once per line of the file: no copy but the value's, into storage the directive
// already has.
void ClassifyLine(std::string_view line, TDirective& directive) {
  directive.Kind = dkNone;
  const std::size_t equals = line.find('=');
  std::string_view keyText = line;
  if (equals != std::string_view::npos) keyText = StrippedView(line.substr(0, equals));
  // Only keywords of the text's length can match; most lines are of no keyword's length.
  if (keyText.size() <= LongestKeyword) {
    for (const TDirectiveKind kind : KindsOfLength[keyText.size()]) {
      if (kind != dkEnd && EqualsUpperAscii(keyText, Keywords[kind])) directive.Kind = kind;
    }
  }
  // The value is TextAfter(line, '='): stripped, from at most the first 1000 bytes.
  if (equals == std::string_view::npos) {
    directive.Value.clear();
  } else {
    const std::string_view value = StrippedView(line.substr(equals + 1, MaxValueLength));
    directive.Value.assign(value.data(), value.size());
  }
}

TDirective ClassifyLine(std::string_view line) {
  TDirective directive;
  ClassifyLine(line, directive);
  return directive;
}

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

bool TConfigReader::Fill() {
  if (FPos < FEnd) return true;
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

bool TConfigReader::MoreTextFollows() { return Fill(); }

const TDirective& TConfigReader::ReadDirective() {
  static const TDirective End;
  if (FExhausted || FFile == 0) return End;
  FLine.clear();
  bool lineEnded = false;
  std::string_view line;
  while (Fill()) {
    const char* start = FBuffer.data() + FPos;
    const void* cr = std::memchr(start, CR, FEnd - FPos);
    const std::size_t length = cr ? static_cast<std::size_t>(static_cast<const char*>(cr) - start) : FEnd - FPos;
    if (cr && FLine.empty()) {
      line = std::string_view(start, length);  // the whole line lies in the buffer
    } else {
      FLine.append(start, length);
      line = FLine;
    }
    FPos += length;
    if (cr) {
      ++FPos;
      lineEnded = true;
      break;
    }
  }
  if (!lineEnded) line = FLine;

  // The line may point into the buffer, which the refills below overwrite.
  ClassifyLine(line, FDirective);
  if (lineEnded && Fill() && FBuffer[FPos] == LF) ++FPos;
  if (!lineEnded || !MoreTextFollows()) {
    FExhausted = true;
    return End;
  }
  return FDirective;
}

}  // namespace Ferrowind
