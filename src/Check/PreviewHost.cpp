#include "Check/PreviewHost.h"

#include "Base/Text.h"
#include "Base/WindowsNames.h"
#include "Platform/WholeFile.h"

namespace Ferrowind {

TPreviewHost::TPreviewHost(THost& base, const std::string& programPath, std::size_t cancelAt)
    : TPreviewBase(base), TMemoryHost(&FView), FCancelAt(cancelAt) {
  SetProgramPath(programPath);
}

bool TPreviewHost::ShowMessage(const std::string& text, TBoxKind kind) {
  const bool answer = kind != TBoxKind::Confirmation || ++FConfirmations != FCancelAt;
  FShown.push_back({kind, text, answer});
  return answer;
}

bool TPreviewHost::RegOpen(TRootKey root, const std::string& path, TRegAccess access, THandle* key) {
  if (!TMemoryHost::RegOpen(root, path, access, key)) return false;
  FKeyPaths[*key] = {root, path};
  return true;
}

bool TPreviewHost::RegSet(THandle key, const std::string& name, const std::string& data) {
  if (!TMemoryHost::RegSet(key, name, data)) return false;
  const auto& [root, path] = FKeyPaths[key];
  const std::string id = std::string(RootKeyName(root)) + "\\" + FoldedKeyPath(path) + "\n" + FoldedName(CString(name));
  const auto [index, added] = FValueIndex.try_emplace(id, FValues.size());
  if (added) FValues.push_back({root, path, std::string(CString(name)), data});
  FValues[index->second].New = data;
  return true;
}

std::vector<TPreviewHost::TValueChange> TPreviewHost::ValueChanges() {
  std::vector<TValueChange> changes;
  for (const TValue& value : FValues) {
    std::optional<std::string> old;
    THandle key = 0;
    if (FView.RegOpen(value.Root, value.Key, TRegAccess::Read, &key)) {
      std::string data;
      // A string read back carries the terminating zero stored with it; the run's never does.
      if (FView.RegQuery(key, value.Name, &data) == TRegRead::Found) {
        old = !data.empty() && data.back() == '\0' ? data.substr(0, data.size() - 1) : data;
      }
      FView.RegClose(key);
    }
    if (old != value.New) changes.push_back({value.Root, value.Key, value.Name, old, value.New});
  }
  return changes;
}

std::vector<TPreviewHost::TFileChange> TPreviewHost::FileChanges() {
  std::vector<TFileChange> changes;
  for (const auto& [folded, node] : TouchedNodes()) {
    TFileChange change;
    change.Path = node.Name;
    change.ReadOnly = !node.Removed && (node.Attributes & AttrReadOnly) != 0;
    std::uint32_t before = 0;
    FView.GetAttributes(node.Name, &before);
    // Only the read-only bit is kept alike by every host.
    const bool attributesDiffer = ((before ^ node.Attributes) & AttrReadOnly) != 0;
    std::string old;
    if (node.InBase && !node.IsFolder) ReadWholeFile(FView, node.Name, &old);
    change.OldSize = old.size();
    change.NewSize = node.Data.size();
    if (node.IsFolder) {
      if (node.InBase && !attributesDiffer) continue;
      change.Change = node.InBase ? TChange::Attributes : TChange::Folder;
      change.OldSize = change.NewSize = 0;
    } else if (node.Removed) {
      change.Change = TChange::Removed;
      change.NewSize = 0;
    } else if (!node.InBase) {
      change.Change = TChange::Created;
    } else if (!node.Loaded || old == node.Data) {
      change.Change = attributesDiffer ? TChange::Attributes : TChange::Same;
      change.NewSize = old.size();
      if (change.Change == TChange::Same && !node.Loaded) continue;
    } else {
      change.Change = TChange::Replaced;
      change.Edited = node.Written;
      if (node.Written) {
        change.OldData = std::move(old);
        change.NewData = node.Data;
      }
    }
    changes.push_back(std::move(change));
  }
  return changes;
}

}  // namespace Ferrowind
