#include "Setup/FileDeploy.h"

#include <functional>

#include "Base/Text.h"

namespace Ferrowind {

namespace {
constexpr std::uint32_t ExcludingBits = AttrHidden | AttrSystem | AttrVolumeLabel | AttrDirectory;
constexpr std::uint32_t FoldersOnly = AttrDirectory;
constexpr std::uint32_t EveryEntry = 63;

// Calls visit for each wanted entry of folder until it returns false; the enumeration is
// closed exactly once. Returns visit's last answer, true when nothing was visited, and
// false when the listing failed: a folder that could not be read was not copied.
bool ForEachEntry(THost& host, const std::string& folder, std::uint32_t wanted,
                  const std::function<bool(const TFindEntry&)>& visit) {
  THandle find = 0;
  TFindEntry entry;
  TFind step = host.FindFirst(WithBackslash(folder) + "*.*", &find, &entry);
  if (step != TFind::Entry) return step == TFind::NoMore;
  bool ok = true;
  do {
    if (EntryWanted(entry.Attributes, wanted)) ok = visit(entry);
  } while (ok && (step = host.FindNext(find, &entry)) == TFind::Entry);
  host.FindClose(find);
  return ok && step != TFind::Failed;
}
}  // namespace

bool EntryWanted(std::uint32_t attributes, std::uint32_t wanted) { return (attributes & ExcludingBits & ~wanted) == 0; }

bool IsPlainFolder(std::uint32_t attributes) {
  return (attributes & AttrDirectory) != 0 && (attributes & AttrReparsePoint) == 0;
}

bool IsCopiedSubfolder(const TFindEntry& entry) {
  return EntryWanted(entry.Attributes, FoldersOnly) && IsPlainFolder(entry.Attributes) && !entry.Name.empty() &&
         entry.Name[0] != '.';
}

std::string InstallerFolder(THost& host) { return FolderOf(host.ProgramPath()); }

bool CopyFolders(THost& host, const std::string& folder, const std::string& root) {
  const std::string source = WithBackslash(InstallerFolder(host)) + folder;
  return ForEachEntry(host, source, FoldersOnly, [&](const TFindEntry& entry) {
    if (!IsCopiedSubfolder(entry)) return true;
    return CopyTree(host, WithBackslash(source) + entry.Name, WithBackslash(root) + entry.Name);
  });
}

bool CopyTree(THost& host, const std::string& source, const std::string& destination) {
  return ForEachEntry(host, source, EveryEntry, [&](const TFindEntry& entry) {
    if (entry.Name.empty() || entry.Name[0] == '.') return true;
    const std::string from = WithBackslash(source) + entry.Name;
    const std::string to = WithBackslash(destination) + entry.Name;
    if (IsPlainFolder(entry.Attributes)) {
      // An existing folder is fine; one that is not there after a failed creation (a file
      // of its name in the way) fails the copy, even when nothing would be copied into it.
      std::uint32_t made = 0;
      if (!host.MakeFolder(to) && !(host.GetAttributes(to, &made) && (made & AttrDirectory) != 0)) return false;
      return CopyTree(host, from, to);
    }
    // Anything else, a folder link included, goes to the file copy: a link is never
    // followed, so the copy cannot run in a circle.
    return host.CopyFileTo(from, to, false);
  });
}

void RemoveFileForced(THost& host, const std::string& path) {
  host.SetAttributes(path, 0);
  host.RemoveFile(path);
}

}  // namespace Ferrowind
