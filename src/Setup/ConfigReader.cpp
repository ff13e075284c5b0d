#include "Setup/ConfigReader.h"

#include <cstring>

#include "Base/Text.h"

namespace Ferrowind {

namespace {
constexpr std::size_t BlockSize = 64 * 1024;
constexpr char CR = 13;
constexpr char LF = 10;
constexpr char EndOfTextMark = 26;
constexpr std::string_view Keywords[] = {"",          "PACKAGE", "LANGUAGE", "PACKAGEFILE", "HELPFILE",
                                         "COMPONENT", "MESSAGE", "DELETE",   "COPYDIR"};
constexpr std::size_t MaxValueLength = 1000;

TDirectiveView Classify(std::string_view line) {
  TDirectiveView directive{dkNone, {}};
  const std::size_t equals = line.find('=');
  std::string_view keyText = line;
  if (equals != std::string_view::npos) {
    keyText = StrippedView(line.substr(0, equals));
    // The value is TextAfter(line, '='): stripped, from at most the first 1000 bytes.
    directive.Value = StrippedView(line.substr(equals + 1, MaxValueLength));
  }
  for (int kind = dkPackage; kind <= dkCopyDir; ++kind) {
    if (EqualIgnoringCase(keyText, Keywords[kind])) directive.Kind = static_cast<TDirectiveKind>(kind);
  }
  return directive;
}
}  // namespace

std::string_view KeywordOf(TDirectiveKind kind) {
  return kind >= dkPackage && kind <= dkCopyDir ? Keywords[kind] : std::string_view();
}

TDirectiveView ClassifyLine(std::string_view line) { return Classify(line); }

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

TDirectiveView TConfigReader::ReadDirective() {
  TReadLine line;
  if (!ReadLine(&line) || line.Last) return {};
  return Classify(line.Text);
}

bool TConfigReader::ReadLine(TReadLine* read) {
  if (FExhausted || FData == nullptr) return false;
  std::string_view line;
  bool lineEnded = false;
  // Most lines lie whole in the buffer and are viewed there.
  if (Fill()) {
    const char* start = FData + FPos;
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
      const char* start = FData + FPos;
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
  if (lineEnded && Fill() && FData[FPos] == LF) ++FPos;
  if (!lineEnded && line.empty()) {
    FExhausted = true;
    return false;
  }
  // The last line read is never acted on.
  read->Text = line;
  read->EndedByCR = lineEnded;
  read->Last = !lineEnded || !Fill();
  FExhausted = read->Last;
  return true;
}

}  // namespace Ferrowind
