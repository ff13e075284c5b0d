#include "LibraryInstall/LineFile.h"

#include "LibraryInstall/LineStream.h"
#include "Setup/TextHelpers.h"

namespace Ferrowind {

namespace {
constexpr char CR = 13;
constexpr char LF = 10;

}  // namespace

void TLineList::SetText(std::string text) {
  FLines.clear();
  FOwned.clear();
  FText = std::move(text);
  const char* const begin = FText.data();
  const std::size_t size = FText.size();
  std::size_t start = 0;
  for (std::size_t i = 0; i < size; ++i) {
    const char c = begin[i];
    if (c != CR && c != LF) continue;
    FLines.emplace_back(begin + start, i - start);
    if (c == CR && i + 1 < size && begin[i + 1] == LF) ++i;
    start = i + 1;
  }
  if (start < size) FLines.emplace_back(begin + start, size - start);
}

std::string TLineList::Text() const {
  std::size_t total = 0;
  for (const std::string_view line : FLines) total += line.size() + 2;
  std::string text;
  text.reserve(total);
  for (const std::string_view line : FLines) {
    text.append(line);
    text += "\r\n";
  }
  return text;
}

void TLineList::StripLine(std::size_t i) { FLines[i] = StrippedView(FLines[i]); }

void TLineList::Append(std::string line) {
  FOwned.push_back(std::move(line));
  FLines.emplace_back(FOwned.back());
}

void TLineList::Insert(std::size_t position, std::string line) {
  FOwned.push_back(std::move(line));
  FLines.insert(FLines.begin() + static_cast<std::ptrdiff_t>(position), std::string_view(FOwned.back()));
}

void TLineList::DropTrailingEmpty() {
  while (!FLines.empty() && FLines.back().empty()) FLines.pop_back();
}

void LoadLines(THost& host, const std::string& path, TLineList& lines) {
  lines.SetText(std::string());
  THandle file = 0;
  if (!host.FileOpen(path, TFileAccess::Read, TFileShare::None, TFileCreate::OpenExisting, &file)) {
    throw ELineFileError("Cannot open file " + path);
  }
  TFileGuard guard(host, file);
  std::uint64_t size = 0;
  if (!host.FileSize(file, &size)) throw ELineFileError("Cannot open file " + path);
  std::string text(static_cast<std::size_t>(size), '\0');
  std::size_t got = 0;
  // A short read must never be saved back in place of the file.
  if (size > 0 && (!host.FileRead(file, text.data(), text.size(), &got) || got != text.size())) {
    throw ELineFileError("Stream read error");
  }
  guard.Close();
  if (text.find('\0') != std::string::npos) throw ELineFileError("Not a text file " + path);
  lines.SetText(std::move(text));
}

void SaveLines(THost& host, const std::string& path, const TLineList& lines) {
  std::uint32_t attributes = 0;
  // Replacing would get round the read-only bit that creating the file anew respects.
  if (host.GetAttributes(path, &attributes) && (attributes & AttrReadOnly) != 0) {
    throw ELineFileError("Cannot create file " + path);
  }
  const std::string text = lines.Text();
  const std::string temporary = path + TemporarySuffix;
  THandle file = 0;
  if (!host.FileOpen(temporary, TFileAccess::ReadWrite, TFileShare::None, TFileCreate::CreateAlways, &file)) {
    throw ELineFileError("Cannot create file " + path);
  }
  bool written = false;
  {
    TFileGuard guard(host, file);
    std::size_t count = 0;
    written = host.FileWrite(file, text.data(), text.size(), &count) && count == text.size() && host.FileFlush(file);
  }
  if (!written || !host.ReplaceWith(temporary, path)) {
    host.RemoveFile(temporary);
    throw ELineFileError("Stream write error");
  }
}

}  // namespace Ferrowind
