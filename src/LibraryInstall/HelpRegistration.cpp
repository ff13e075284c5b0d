#include "Base/Text.h"
#include "LibraryInstall/ComponentInstall.h"
#include "LibraryInstall/LineFile.h"

namespace Ferrowind {

namespace {
constexpr std::string_view IndexPrefix = ":INDEX ";

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
    TLineList lines;
    LoadLines(FHost, path, lines);
    bool found = false;
    for (std::size_t i = 0; i < lines.Count(); ++i) {
      lines.StripLine(i);
      if (EqualIgnoringCase(lines.Line(i), link)) found = true;
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

bool TComponentInstall::AddHelpIndex(const std::string& path, const std::string& help, const std::string& title) {
  try {
    const std::string suffix = "=" + help;
    const std::string upperSuffix = ToUpperAscii(suffix);
    TLineList lines;
    LoadLines(FHost, path, lines);
    std::size_t last = 0;  // 0 for none: an :INDEX line that opens the file does not count
    bool found = false;
    for (std::size_t i = 0; i < lines.Count(); ++i) {
      lines.StripLine(i);
      if (!StartsWithIgnoringCase(lines.Line(i), IndexPrefix)) continue;
      last = i;
      // A substring test: help Widgets counts as present in a line naming Widgets2.
      if (FindSubstring(upperSuffix, ToUpperAscii(lines.Line(i))) > 0) found = true;
    }
    if (found || last == 0) return true;
    lines.Insert(last + 1, std::string(IndexPrefix) + title + suffix);
    lines.DropTrailingEmpty();
    lines.Append(std::string());
    SaveLines(FHost, path, lines);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace Ferrowind
