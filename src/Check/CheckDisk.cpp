#include "Check/CheckDisk.h"

#include <vector>

#include "Base/Text.h"

namespace Ferrowind {

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
