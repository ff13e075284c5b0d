#include "LibraryInstall/LineFile.h"

#include <algorithm>
#include <cstdint>

#include "Base/Text.h"

namespace Ferrowind {

namespace {
// The save writes the lines through a buffer of this size, not as one joined copy, so
// that an edit holds the file little more than once.
constexpr std::size_t WriteBlockSize = 256 * 1024;

// Closes a file handle on every way out.
class TFileGuard {
 public:
  TFileGuard(THost& host, THandle file) : FHost(host), FFile(file) {}
  ~TFileGuard() { FHost.FileClose(FFile); }
  TFileGuard(const TFileGuard&) = delete;
  TFileGuard& operator=(const TFileGuard&) = delete;

 private:
  THost& FHost;
  THandle FFile;
};

// False when a write fails or falls short.
bool WriteAll(THost& host, THandle file, std::string_view data) {
  std::size_t written = 0;
  return data.empty() || (host.FileWrite(file, data.data(), data.size(), &written) && written == data.size());
}

bool WriteLines(THost& host, THandle file, const TLineList& lines) {
  std::string block;
  block.reserve(WriteBlockSize);
  for (std::size_t i = 0; i < lines.Count(); ++i) {
    const std::string_view line = lines.Line(i);
    if (block.size() + line.size() + 2 > WriteBlockSize) {
      if (!WriteAll(host, file, block)) return false;
      block.clear();
    }
    if (line.size() + 2 > WriteBlockSize) {
      if (!WriteAll(host, file, line)) return false;
      block += "\r\n";
      continue;
    }
    block += line;
    block += "\r\n";
  }
  return WriteAll(host, file, block) && host.FileFlush(file);
}
}  // namespace

void TLineList::SetText(std::string_view text) {
  std::unique_ptr<char[]> copy = std::make_unique_for_overwrite<char[]>(text.size());
  std::copy(text.begin(), text.end(), copy.get());
  SetText(std::move(copy), text.size());
}

void TLineList::SetText(std::unique_ptr<char[]> text, std::size_t size) {
  FLines.clear();
  FOwned.clear();
  FText = std::move(text);
  FLines = SplitLines(std::string_view(FText.get(), size));
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
  lines.SetText(std::string_view());
  THandle file = 0;
  if (!host.FileOpen(path, TFileAccess::Read, TFileShare::None, TFileCreate::OpenExisting, &file)) {
    throw ELineFileError("Cannot open file " + path);
  }
  std::unique_ptr<char[]> text;
  std::size_t length = 0;
  {
    TFileGuard guard(host, file);
    std::uint64_t size = 0;
    if (!host.FileSize(file, &size)) throw ELineFileError("Cannot open file " + path);
    // Cut down to the address space of a 32-bit build, the size of a file of 4 GiB or more
    // would wrap, and a truncated text would be saved back in its place.
    if (size > std::string().max_size()) throw ELineFileError("File too large " + path);
    length = static_cast<std::size_t>(size);
    text = std::make_unique_for_overwrite<char[]>(length);
    std::size_t got = 0;
    // A short read must never be saved back in place of the file.
    if (length > 0 && (!host.FileRead(file, text.get(), length, &got) || got != length)) {
      throw ELineFileError("Stream read error");
    }
  }
  if (std::string_view(text.get(), length).find('\0') != std::string_view::npos) {
    throw ELineFileError("Not a text file " + path);
  }
  lines.SetText(std::move(text), length);
}

void SaveLines(THost& host, const std::string& path, const TLineList& lines) {
  std::uint32_t attributes = 0;
  // Replacing would get round the read-only bit that creating the file anew respects.
  if (host.GetAttributes(path, &attributes) && (attributes & AttrReadOnly) != 0) {
    throw ELineFileError("Cannot create file " + path);
  }
  const std::string temporary = path + TemporarySuffix;
  THandle file = 0;
  if (!host.FileOpen(temporary, TFileAccess::ReadWrite, TFileShare::None, TFileCreate::CreateAlways, &file)) {
    throw ELineFileError("Cannot create file " + path);
  }
  bool written = false;
  {
    TFileGuard guard(host, file);
    written = WriteLines(host, file, lines);
  }
  if (!written || !host.ReplaceWith(temporary, path)) {
    host.RemoveFile(temporary);
    throw ELineFileError("Stream write error");
  }
}

}  // namespace Ferrowind
