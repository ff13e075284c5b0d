#include "Check/CheckDisk.h"

#include <vector>

#include "Base/Text.h"

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

TFolderLister HostFolderLister(THost& host, const std::string& configFolder) {
  return [&host, configFolder](const std::string& name, std::vector<TFindEntry>* entries) {
    entries->clear();
    std::string folder = configFolder + name;
    if (folder.empty()) folder = ".";
    std::uint32_t attributes = 0;
    if (!host.GetAttributes(folder, &attributes) || (attributes & AttrDirectory) == 0) return TListing::Missing;
    THandle find = 0;
    TFindEntry entry;
    TFind step = host.FindFirst(WithBackslash(folder) + "*.*", &find, &entry);
    if (step == TFind::Failed) return TListing::Failed;
    if (step == TFind::NoMore) return TListing::Listed;
    do {
      entries->push_back(entry);
    } while ((step = host.FindNext(find, &entry)) == TFind::Entry);
    host.FindClose(find);
    if (step == TFind::Failed) entries->clear();
    return step == TFind::Failed ? TListing::Failed : TListing::Listed;
  };
}

}  // namespace Ferrowind
