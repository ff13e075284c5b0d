#include "Check/CheckDisk.h"

#include <new>
#include <stdexcept>
#include <vector>

#include "Base/Text.h"

namespace Ferrowind {

bool ReadWholeFile(THost& host, const std::string& path, std::string* bytes, std::uint64_t limit) {
  bytes->clear();
  THandle file = 0;
  if (!host.FileOpen(path, TFileAccess::Read, TFileShare::Read, TFileCreate::OpenExisting, &file)) {
    return false;
  }
  std::uint64_t size = 0;
  bool ok = host.FileSize(file, &size) && size <= limit;
  try {
    std::vector<char> block(64 * 1024);
    while (ok) {
      std::size_t got = 0;
      ok = host.FileRead(file, block.data(), block.size(), &got);
      if (!ok || got == 0) break;
      // A file that grew past the limit while being read is refused too.
      ok = bytes->size() + got <= limit;
      if (ok) bytes->append(block.data(), got);
    }
  } catch (const std::bad_alloc&) {
    ok = false;  // past a 32-bit build's address space: unreadable, not the end of the program
  } catch (const std::length_error&) {
    ok = false;
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
