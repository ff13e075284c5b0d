#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "LibraryInstall/ComponentInstall.h"
#include "LibraryInstall/LineFile.h"
#include "Setup/TextHelpers.h"

namespace Ferrowind {

namespace {
bool EqualsIgnoringCase(std::string_view a, std::string_view upper) {
  if (a.size() != upper.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char c = a[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != upper[i]) return false;
  }
  return true;
}

bool StartsWithIgnoringCase(std::string_view s, std::string_view upperPrefix) {
  return s.size() >= upperPrefix.size() && EqualsIgnoringCase(s.substr(0, upperPrefix.size()), upperPrefix);
}

constexpr std::size_t BlockSize = 256 * 1024;
constexpr std::string_view IndexPrefix = ":INDEX ";
constexpr const char* TemporarySuffix = ".fw-new";

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

std::string_view Stripped(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Closes a file handle on every way out.
class THandleGuard {
 public:
  THandleGuard(THost& host, THandle file) : FHost(host), FFile(file) {}
  ~THandleGuard() { Close(); }
  THandleGuard(const THandleGuard&) = delete;
  THandleGuard& operator=(const THandleGuard&) = delete;
  void Close() {
    if (FFile != 0) FHost.FileClose(FFile);
    FFile = 0;
  }

 private:
  THost& FHost;
  THandle FFile;
};

// The lines of a contents file, read block by block with the rules of LoadLines: opened
// for reading with no sharing, exactly the size found at the open is read, a line ends at
// CR LF, a lone CR or a lone LF, a final line break adds no empty line, and a NUL byte or
// a read that fails or falls short makes the file unusable. A large file is never held
// whole: memory grows only with the longest line.
class TLineReader {
 public:
  TLineReader(THost& host, const std::string& path) : FHost(host) {
    if (!host.FileOpen(path, TFileAccess::Read, TFileShare::None, TFileCreate::OpenExisting, &FFile)) {
      FFile = 0;
      return;
    }
    std::uint64_t size = 0;
    FOk = host.FileSize(FFile, &size);
    FLeft = size;
    FSize = size;
  }
  ~TLineReader() {
    if (FFile != 0) FHost.FileClose(FFile);
  }
  TLineReader(const TLineReader&) = delete;
  TLineReader& operator=(const TLineReader&) = delete;

  // False once a read failed or the file holds a NUL; nothing read is usable then.
  bool Ok() const { return FOk; }
  std::uint64_t Size() const { return FSize; }
  void Close() {
    if (FFile != 0) FHost.FileClose(FFile);
    FFile = 0;
  }

  // The next line without its line end; false at the end of the text or on a failure.
  // The view lasts until the next call.
  bool Next(std::string_view* line) {
    if (FCarryOut) {
      FCarry.clear();
      FCarryOut = false;
    }
    for (;;) {
      if (FPos == FEnd && !Refill()) {
        if (!FOk || FCarry.empty()) return false;
        *line = FCarry;  // a last line without a line break
        FCarryOut = true;
        return true;
      }
      if (FSkipLf) {
        FSkipLf = false;
        if (FBlock[FPos] == '\n') ++FPos;
        continue;
      }
      const char* const start = FBlock.data() + FPos;
      const std::size_t at = std::min(NextOf('\r', FNextCr), NextOf('\n', FNextLf));
      if (at == FEnd) {
        FCarry.append(start, FEnd - FPos);
        FPos = FEnd;
        continue;
      }
      const char* const end = FBlock.data() + at;
      const std::size_t length = at - FPos;
      if (FCarry.empty()) {
        *line = std::string_view(start, length);
      } else {
        FCarry.append(start, length);
        *line = FCarry;
        FCarryOut = true;
      }
      FPos += length + 1;
      if (*end == '\r') {
        if (FPos < FEnd) {
          if (FBlock[FPos] == '\n') ++FPos;
        } else {
          FSkipLf = true;  // the LF, if any, opens the next block
        }
      }
      return true;
    }
  }

 private:
  bool Refill() {
    if (!FOk || FFile == 0 || FLeft == 0) return false;
    if (FBlock.empty()) FBlock.resize(BlockSize);
    const std::size_t want = FLeft < FBlock.size() ? static_cast<std::size_t>(FLeft) : FBlock.size();
    std::size_t got = 0;
    // A short read must never be taken for the file's end and saved back.
    if (!FHost.FileRead(FFile, FBlock.data(), want, &got) || got != want ||
        std::memchr(FBlock.data(), '\0', got) != nullptr) {
      FOk = false;
      return false;
    }
    FLeft -= got;
    FPos = 0;
    FEnd = got;
    FNextCr = FNextLf = Unknown;
    return true;
  }

  // The position of the next c at or after FPos in the block, or FEnd. Remembered, so that
  // each byte is searched once for CR and once for LF with the library's fast search.
  std::size_t NextOf(char c, std::size_t& cached) {
    if (cached == Unknown || cached < FPos) {
      const void* hit = std::memchr(FBlock.data() + FPos, c, FEnd - FPos);
      cached = hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - FBlock.data()) : FEnd;
    }
    return cached;
  }

  static constexpr std::size_t Unknown = static_cast<std::size_t>(-1);

  THost& FHost;
  THandle FFile = 0;
  bool FOk = false;
  std::uint64_t FSize = 0;
  std::uint64_t FLeft = 0;
  std::vector<char> FBlock;
  std::size_t FPos = 0;
  std::size_t FEnd = 0;
  std::size_t FNextCr = Unknown;
  std::size_t FNextLf = Unknown;
  bool FSkipLf = false;
  std::string FCarry;  // a line that spans blocks
  bool FCarryOut = false;
};

// Collects output in a block and writes it out whenever the block is full.
class TBlockWriter {
 public:
  TBlockWriter(THost& host, THandle file) : FHost(host), FFile(file) { FBlock.reserve(BlockSize); }
  void Line(std::string_view line) {
    if (FBlock.size() + line.size() + 2 > BlockSize) Flush();
    if (line.size() + 2 > BlockSize) {
      Put(line.data(), line.size());
      Put("\r\n", 2);
      return;
    }
    FBlock.append(line);
    FBlock += "\r\n";
  }
  // False when any write failed or fell short.
  bool Finish() {
    Flush();
    return FOk;
  }

 private:
  void Flush() {
    Put(FBlock.data(), FBlock.size());
    FBlock.clear();
  }
  void Put(const char* data, std::size_t count) {
    if (!FOk || count == 0) return;
    std::size_t written = 0;
    FOk = FHost.FileWrite(FFile, data, count, &written) && written == count;
  }

  THost& FHost;
  THandle FFile;
  std::string FBlock;
  bool FOk = true;
};

// What a contents file holds for AddHelpIndex: the last :INDEX line and whether an :INDEX
// line names the help file already.
struct TIndexScan {
  std::ptrdiff_t Last = -1;
  bool Found = false;
};

bool IsIndexLine(std::string_view stripped) { return StartsWithIgnoringCase(stripped, IndexPrefix); }

// A substring test ignoring case: help Widgets counts as present in a line naming Widgets2.
bool NamesHelp(std::string_view stripped, std::string_view upperSuffix) {
  if (upperSuffix.empty() || upperSuffix.size() > stripped.size()) return false;
  for (std::size_t at = 0; at + upperSuffix.size() <= stripped.size(); ++at) {
    if (EqualsIgnoringCase(stripped.substr(at, upperSuffix.size()), upperSuffix)) return true;
  }
  return false;
}

void ScanLine(TIndexScan& scan, std::size_t i, std::string_view stripped, std::string_view upperSuffix) {
  if (!IsIndexLine(stripped)) return;
  scan.Last = static_cast<std::ptrdiff_t>(i);
  if (NamesHelp(stripped, upperSuffix)) scan.Found = true;
}

// Whether path names a file (a folder of that name does not count), or the look failed.
TFind FindFile(THost& host, const std::string& path) {
  THandle find = 0;
  TFindEntry entry;
  const TFind found = host.FindFirst(path, &find, &entry);
  if (found != TFind::Entry) return found;
  host.FindClose(find);
  return (entry.Attributes & AttrDirectory) == 0 ? TFind::Entry : TFind::NoMore;
}
}  // namespace

THelpFiles HelpFilesFor(const std::string& rootDir, bool isDelphi, std::int32_t version) {
  const std::string help = rootDir + "\\Help\\";
  if (isDelphi && version >= 2) {
    const std::string base = help + "Delphi" + DecimalText(version);
    return {base + ".cfg", base + ".cnt", base + ".gid"};
  }
  if (!isDelphi && version == 1) return {help + "bcbhelp.cfg", help + "bcb.cnt", help + "bcb.gid"};
  if (!isDelphi && version == 3) return {help + "bcb.ohl", help + "bcb.ohi", help + "bcb3.gid"};
  return {};
}

bool TComponentInstall::InstallHelp(const std::string& help, const std::string& title) {
  if (help.empty()) return false;
  const THelpFiles files = HelpFilesFor(FRootDir, FIsDelphi, FVersion);
  if (files.Configuration.empty()) return false;
  bool ok = AddHelpLink(files.Configuration, help);
  // The contents entry is a convenience; help works without it, so it decides nothing.
  AddHelpIndex(files.Contents, help, title);
  if (ok) {
    const TFind cache = FindFile(FHost, files.IndexCache);
    if (cache == TFind::Entry) {
      FHost.SetAttributes(files.IndexCache, 0);
      ok = FHost.RemoveFile(files.IndexCache);
    }
    // A cache that may still be there would keep the help system from seeing the link.
    if (cache == TFind::Failed) ok = false;
  }
  return ok;
}

bool TComponentInstall::AddHelpLink(const std::string& path, const std::string& help) {
  try {
    const std::string link = ":LINK " + help;
    const std::string upperLink = ToUpperAscii(link);
    TLineList lines;
    LoadLines(FHost, path, lines);
    bool found = false;
    for (std::size_t i = 0; i < lines.Count(); ++i) {
      lines.StripLine(i);
      if (EqualsIgnoringCase(lines.Line(i), upperLink)) found = true;
    }
    if (found) return true;
    lines.DropTrailingEmpty();
    lines.Append(link);
    lines.Append(std::string());
    SaveLines(FHost, path, lines);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

// Streams the file twice with a small buffer instead of loading it: a first pass finds the
// insertion point, and only when a line is to be inserted a second pass writes the edited
// lines to a temporary file that then takes the file's place, as SaveLines does. The second
// pass must see the same size and insertion point, or the file changed meanwhile and
// nothing is replaced.
bool TComponentInstall::AddHelpIndex(const std::string& path, const std::string& help, const std::string& title) {
  try {
    const std::string upperSuffix = ToUpperAscii("=" + help);
    TIndexScan first;
    std::uint64_t size = 0;
    {
      TLineReader reader(FHost, path);
      if (!reader.Ok()) return false;
      std::string_view line;
      for (std::size_t i = 0; reader.Next(&line); ++i) ScanLine(first, i, Stripped(line), upperSuffix);
      if (!reader.Ok()) return false;
      size = reader.Size();
    }
    // An :INDEX line that opens the file does not count as a place to insert after.
    if (first.Found || first.Last < 1) return true;

    std::uint32_t attributes = 0;
    // Replacing would get round the read-only bit that creating the file anew respects.
    if (FHost.GetAttributes(path, &attributes) && (attributes & AttrReadOnly) != 0) return false;
    TLineReader reader(FHost, path);
    if (!reader.Ok() || reader.Size() != size) return false;
    const std::string temporary = path + TemporarySuffix;
    THandle file = 0;
    if (!FHost.FileOpen(temporary, TFileAccess::ReadWrite, TFileShare::None, TFileCreate::CreateAlways, &file)) {
      return false;
    }
    const std::string inserted = std::string(IndexPrefix) + title + "=" + help;
    TIndexScan second;
    bool written = false;
    {
      THandleGuard guard(FHost, file);
      TBlockWriter writer(FHost, file);
      std::size_t emptyLines = 0;  // held back: empty lines at the end are dropped
      std::string_view line;
      for (std::size_t i = 0; reader.Next(&line); ++i) {
        const std::string_view stripped = Stripped(line);
        ScanLine(second, i, stripped, upperSuffix);
        if (stripped.empty()) {
          ++emptyLines;
        } else {
          for (; emptyLines > 0; --emptyLines) writer.Line({});
          writer.Line(stripped);
        }
        if (static_cast<std::ptrdiff_t>(i) == first.Last) {
          for (; emptyLines > 0; --emptyLines) writer.Line({});
          writer.Line(inserted);
        }
      }
      writer.Line({});
      written = reader.Ok() && second.Last == first.Last && !second.Found && writer.Finish() && FHost.FileFlush(file);
    }
    reader.Close();
    if (!written || !FHost.ReplaceWith(temporary, path)) {
      FHost.RemoveFile(temporary);
      return false;
    }
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace Ferrowind
