#include <algorithm>
#include <cstdint>
#include <cstring>
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

// What a contents file holds for AddHelpIndex: where the last :INDEX line begins in the
// file (-1 for none; 0 is the first line) and whether an :INDEX line names the help file
// already.
struct TIndexScan {
  std::int64_t Last = -1;
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

void ScanLine(TIndexScan& scan, std::uint64_t start, std::string_view stripped, std::string_view upperSuffix) {
  if (!IsIndexLine(stripped)) return;
  scan.Last = static_cast<std::int64_t>(start);
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

// Streams the file twice with a small buffer instead of loading it: a first pass finds the
// :INDEX lines, passing over all others without splitting them, and only when a line is to
// be inserted a second pass writes the edited lines to a temporary file that then takes the
// file's place, as SaveLines does. The second pass must see the same size and insertion
// point, or the file changed meanwhile and nothing is replaced.
bool TComponentInstall::AddHelpIndex(const std::string& path, const std::string& help, const std::string& title) {
  try {
    const std::string upperSuffix = ToUpperAscii("=" + help);
    TIndexScan first;
    std::uint64_t size = 0;
    {
      TLineReader reader(FHost, path);
      if (!reader.Ok()) return false;
      std::string_view line;
      while (reader.NextStartingWith(':', &line)) ScanLine(first, reader.LineStart(), StrippedView(line), upperSuffix);
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
      TFileGuard guard(FHost, file);
      TBlockWriter writer(FHost, file);
      std::size_t emptyLines = 0;  // held back: empty lines at the end are dropped
      std::string_view line;
      while (reader.Next(&line)) {
        const std::string_view stripped = StrippedView(line);
        ScanLine(second, reader.LineStart(), stripped, upperSuffix);
        if (stripped.empty()) {
          ++emptyLines;
        } else {
          for (; emptyLines > 0; --emptyLines) writer.Line({});
          writer.Line(stripped);
        }
        if (static_cast<std::int64_t>(reader.LineStart()) == first.Last) {
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
