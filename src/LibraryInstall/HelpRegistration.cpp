#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "LibraryInstall/ComponentInstall.h"
#include "LibraryInstall/LineFile.h"
#include "LibraryInstall/LineStream.h"
#include "Setup/TextHelpers.h"

namespace Ferrowind {

namespace {
bool StartsWithIgnoringCase(std::string_view s, std::string_view upperPrefix) {
  return s.size() >= upperPrefix.size() && EqualsUpperAscii(s.substr(0, upperPrefix.size()), upperPrefix);
}

constexpr std::string_view IndexPrefix = ":INDEX ";

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
    if (EqualsUpperAscii(stripped.substr(at, upperSuffix.size()), upperSuffix)) return true;
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
      if (EqualsUpperAscii(lines.Line(i), upperLink)) found = true;
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

namespace {
// The second pass of an edit whose first pass could not write: streams the file again and
// writes the edited lines to the temporary, which then takes the file's place. The file
// must show the same size and insertion point as in the first pass, or it changed
// meanwhile and nothing is replaced.
bool RewriteWithIndex(THost& host, const std::string& path, const TIndexScan& first, std::uint64_t size,
                      std::string_view upperSuffix, std::string_view inserted) {
  TLineReader reader(host, path);
  if (!reader.Ok() || reader.Size() != size) return false;
  const std::string temporary = path + TemporarySuffix;
  THandle file = 0;
  if (!host.FileOpen(temporary, TFileAccess::ReadWrite, TFileShare::None, TFileCreate::CreateAlways, &file)) {
    return false;
  }
  TIndexScan second;
  bool written = false;
  {
    TFileGuard guard(host, file);
    TBlockWriter writer(host, file);
    std::size_t emptyLines = 0;  // held back: empty lines at the end are dropped
    std::string_view line;
    for (std::size_t i = 0; reader.Next(&line); ++i) {
      const std::string_view stripped = StrippedView(line);
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
    written = reader.Ok() && second.Last == first.Last && !second.Found && writer.Finish() && host.FileFlush(file);
  }
  reader.Close();
  if (!written || !host.ReplaceWith(temporary, path)) {
    host.RemoveFile(temporary);
    return false;
  }
  return true;
}

// The edited text of a contents file, written to the temporary while the file is scanned,
// so that a usual file is read once. What follows the last :INDEX line so far is held
// until the next :INDEX line or the end of the file shows where the new line goes. When
// the held text grows past HeldLimit, or the temporary cannot be made, writing stops (the
// temporary is removed) and the scan goes on alone.
class TIndexEdit {
 public:
  TIndexEdit(THost& host, std::string temporary, bool write)
      : FHost(host), FTemporary(std::move(temporary)), FWriting(write) {}
  ~TIndexEdit() { Stop(); }
  TIndexEdit(const TIndexEdit&) = delete;
  TIndexEdit& operator=(const TIndexEdit&) = delete;

  bool Writing() const { return FWriting; }

  // Line i, stripped, after the scan took it in.
  void Line(std::size_t i, std::string_view stripped, const TIndexScan& scan) {
    if (!FWriting) return;
    if (stripped.empty()) {
      ++FEmptyLines;  // empty lines at the end are dropped
      return;
    }
    for (; FEmptyLines > 0; --FEmptyLines) FHeld += "\r\n";
    FHeld.append(stripped);
    FHeld += "\r\n";
    if (scan.Last == static_cast<std::ptrdiff_t>(i) && i >= 1) {
      if (!Open()) return;
      FWriter->Text(FHeld);
      FHeld.clear();
    } else if (FHeld.size() > HeldLimit) {
      Stop();
    }
  }

  // Writes the new line after what was written, then the held text, and flushes; true
  // when the temporary holds the whole edited file. On false it is removed.
  bool Finish(std::string_view inserted) {
    if (!FWriting || FFile == 0) return false;
    FWriter->Line(inserted);
    FWriter->Text(FHeld);
    FWriter->Line({});
    const bool written = FWriter->Finish() && FHost.FileFlush(FFile);
    FWriter.reset();
    FHost.FileClose(FFile);
    FFile = 0;
    if (!written) FHost.RemoveFile(FTemporary);
    FWriting = false;
    return written;
  }

  // Ends writing and removes the temporary, if it was made.
  void Stop() {
    FWriting = false;
    FHeld = std::string();
    if (FFile == 0) return;
    FWriter.reset();
    FHost.FileClose(FFile);
    FFile = 0;
    FHost.RemoveFile(FTemporary);
  }

 private:
  static constexpr std::size_t HeldLimit = 1024 * 1024;

  bool Open() {
    if (FFile != 0) return true;
    if (!FHost.FileOpen(FTemporary, TFileAccess::ReadWrite, TFileShare::None, TFileCreate::CreateAlways, &FFile)) {
      FFile = 0;
      Stop();
      return false;
    }
    FWriter.emplace(FHost, FFile);
    return true;
  }

  THost& FHost;
  const std::string FTemporary;
  bool FWriting;
  THandle FFile = 0;
  std::optional<TBlockWriter> FWriter;
  std::string FHeld;
  std::size_t FEmptyLines = 0;
};
}  // namespace

// One pass that scans and writes at once where it can (see TIndexEdit), and a second pass
// where it could not; a found entry or no place to insert writes nothing.
bool TComponentInstall::AddHelpIndex(const std::string& path, const std::string& help, const std::string& title) {
  try {
    const std::string upperSuffix = ToUpperAscii("=" + help);
    const std::string inserted = std::string(IndexPrefix) + title + "=" + help;
    TLineReader reader(FHost, path);
    if (!reader.Ok()) return false;
    std::uint32_t attributes = 0;
    // Replacing would get round the read-only bit that creating the file anew respects.
    const bool readOnly = FHost.GetAttributes(path, &attributes) && (attributes & AttrReadOnly) != 0;
    TIndexScan scan;
    TIndexEdit edit(FHost, path + TemporarySuffix, !readOnly);
    std::string_view line;
    for (std::size_t i = 0; reader.Next(&line); ++i) {
      const std::string_view stripped = StrippedView(line);
      ScanLine(scan, i, stripped, upperSuffix);
      if (scan.Found) edit.Stop();
      edit.Line(i, stripped, scan);
    }
    reader.Close();
    if (!reader.Ok()) return false;
    // An :INDEX line that opens the file does not count as a place to insert after.
    if (scan.Found || scan.Last < 1) return true;
    if (readOnly) return false;
    if (!edit.Writing()) return RewriteWithIndex(FHost, path, scan, reader.Size(), upperSuffix, inserted);
    if (!edit.Finish(inserted)) return false;
    if (!FHost.ReplaceWith(path + TemporarySuffix, path)) {
      FHost.RemoveFile(path + TemporarySuffix);
      return false;
    }
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace Ferrowind
