#include "Check/CheckDisk.h"

#include <vector>

#include "Setup/TextHelpers.h"

namespace Ferrowind {

bool ReadWholeFile(THost& host, const std::string& path, std::string* bytes) {
  bytes->clear();
  THandle file = 0;
  if (!host.FileOpen(path, TFileAccess::Read, TFileShare::Read, TFileCreate::OpenExisting, &file)) {
    return false;
  }
  std::vector<char> block(64 * 1024);
  bool ok = true;
  for (;;) {
    std::size_t got = 0;
    if (!host.FileRead(file, block.data(), block.size(), &got)) {
      ok = false;
      break;
    }
    if (got == 0) break;
    bytes->append(block.data(), got);
  }
  host.FileClose(file);
  if (!ok) bytes->clear();
  return ok;
}

std::string FolderOf(const std::string& path) {
  const std::size_t cut = path.find_last_of("\\/:");
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

TFolderLister HostFolderLister(THost& host, const std::string& configFolder) {
  return [&host, configFolder](const std::string& name) -> std::optional<std::vector<TFindEntry>> {
    std::string folder = configFolder + name;
    if (folder.empty()) folder = ".";
    std::uint32_t attributes = 0;
    if (!host.GetAttributes(folder, &attributes) || (attributes & AttrDirectory) == 0) return std::nullopt;
    std::vector<TFindEntry> entries;
    THandle find = 0;
    TFindEntry entry;
    if (host.FindFirst(WithBackslash(folder) + "*.*", &find, &entry) != TFind::Entry) return entries;
    do {
      entries.push_back(entry);
    } while (host.FindNext(find, &entry) == TFind::Entry);
    host.FindClose(find);
    return entries;
  };
}

}  // namespace Ferrowind
