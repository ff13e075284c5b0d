#include "Check/PreviewHost.h"

#include <algorithm>
#include <utility>

#include "Base/Text.h"
#include "Check/CheckDisk.h"

namespace Ferrowind {

namespace {
std::string BoxKindName(TBoxKind kind) {
  if (kind == TBoxKind::Confirmation) return "confirmation";
  if (kind == TBoxKind::Warning) return "warning";
  return "information";
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

std::string WithoutTrailingSeparators(std::string path) {
  while (path.size() > 1 && IsSeparator(path.back())) path.pop_back();
  return path;
}

// The folder that holds path; empty for a bare name (the working folder).
std::string ParentOf(const std::string& path) {
  const std::string trimmed = WithoutTrailingSeparators(path);
  const std::size_t cut = trimmed.find_last_of("\\/");
  if (cut == std::string::npos) return std::string();
  return cut == 0 ? trimmed.substr(0, 1) : trimmed.substr(0, cut);
}

std::string LastComponent(const std::string& path) {
  const std::string trimmed = WithoutTrailingSeparators(path);
  const std::size_t cut = trimmed.find_last_of("\\/");
  return cut == std::string::npos ? trimmed : trimmed.substr(cut + 1);
}

bool IsFolder(std::uint32_t attributes) { return (attributes & AttrDirectory) != 0; }
bool IsReadOnly(std::uint32_t attributes) { return (attributes & AttrReadOnly) != 0; }
}  // namespace

TPreviewHost::TPreviewHost(THost& base, std::string programPath, std::size_t cancelAt)
    : FBase(base), FProgramPath(std::move(programPath)), FCancelAt(cancelAt) {}

// Paths compare ignoring ASCII case, with "/" taken as "\" and doubled separators as one,
// as both system hosts resolve them.
std::string TPreviewHost::Fold(const std::string& path) {
  std::string folded;
  folded.reserve(path.size());
  for (const char c : ToUpperAscii(path)) {
    const char s = IsSeparator(c) ? '\\' : c;
    if (s == '\\' && !folded.empty() && folded.back() == '\\') continue;
    folded += s;
  }
  return WithoutTrailingSeparators(folded);
}

std::string TPreviewHost::ValueId(TRootKey root, const std::string& key, const std::string& name) {
  return std::string(root == TRootKey::LocalMachine ? "HKLM\\" : "HKCU\\") + Fold(key) + '\n' + ToUpperAscii(name);
}

TPreviewHost::TNode* TPreviewHost::NodeAt(const std::string& path) {
  const auto it = FNodes.find(Fold(path));
  return it == FNodes.end() ? nullptr : &it->second;
}

std::optional<std::uint32_t> TPreviewHost::AttributesAt(const std::string& path) {
  if (const TNode* node = NodeAt(path)) {
    if (node->Kind == TKind::Removed) return std::nullopt;
    return node->Attributes;
  }
  std::uint32_t attributes = 0;
  if (!FBase.GetAttributes(path, &attributes)) return std::nullopt;
  return attributes;
}

bool TPreviewHost::BaseHas(const std::string& path) {
  std::uint32_t attributes = 0;
  return FBase.GetAttributes(path, &attributes);
}

bool TPreviewHost::ParentIsFolder(const std::string& path) {
  const std::string parent = ParentOf(path);
  if (parent.empty()) return true;
  const auto attributes = AttributesAt(parent);
  return attributes && IsFolder(*attributes);
}

bool TPreviewHost::ReadBase(const std::string& path, std::string* data) { return ReadWholeFile(FBase, path, data); }

bool TPreviewHost::ReadContent(const std::string& path, std::string* data) {
  const TNode* node = NodeAt(path);
  if (node == nullptr) return ReadBase(path, data);
  if (node->Kind != TKind::File) return false;
  if (node->BaseData) return ReadBase(path, data);
  *data = node->Data;
  return true;
}

TPreviewHost::TNode& TPreviewHost::Change(const std::string& path) {
  const auto [it, added] = FNodes.try_emplace(Fold(path));
  if (added) it->second.Path = path;
  return it->second;
}

// A path that exists underneath is marked removed; one that only the run made is forgotten.
void TPreviewHost::Drop(const std::string& path) {
  if (!BaseHas(path)) {
    FNodes.erase(Fold(path));
    return;
  }
  TNode& node = Change(path);
  node.Kind = TKind::Removed;
  node.Data.clear();
  node.BaseData = false;
  node.Edited = false;
}

bool TPreviewHost::ShowMessage(const std::string& text, TBoxKind boxKind) {
  const std::string kind = BoxKindName(boxKind);
  bool answer = true;
  if (kind == "confirmation") answer = ++FConfirmations != FCancelAt;
  FBoxes.push_back({kind, text, answer});
  return answer;
}

bool TPreviewHost::RegOpen(TRootKey root, const std::string& path, TRegAccess access, THandle* key) {
  *key = 0;
  // Opening with the access asked for changes nothing, and fails where the real open would.
  THandle base = 0;
  if (!FBase.RegOpen(root, path, access, &base)) return false;
  *key = FNextHandle++;
  FKeys.emplace(*key, TOpenKey{root, path, base});
  return true;
}

TRegRead TPreviewHost::RegQuery(THandle key, const std::string& name, std::string* data) {
  data->clear();
  const auto it = FKeys.find(key);
  if (it == FKeys.end()) return TRegRead::Failed;
  const auto value = FValueIndex.find(ValueId(it->second.Root, it->second.Path, name));
  if (value != FValueIndex.end()) {
    *data = StoredString(FValues[value->second].New);
    return TRegRead::Found;
  }
  return FBase.RegQuery(it->second.Base, name, data);
}

bool TPreviewHost::RegSet(THandle key, const std::string& name, const std::string& data) {
  const auto it = FKeys.find(key);
  if (it == FKeys.end()) return false;
  const TOpenKey& opened = it->second;
  const std::string id = ValueId(opened.Root, opened.Path, name);
  auto [index, added] = FValueIndex.try_emplace(id, FValues.size());
  if (added) {
    // The data before the run, read through a key of its own: the one open here may have
    // been opened for writing only.
    std::optional<std::string> old;
    THandle reader = 0;
    if (FBase.RegOpen(opened.Root, opened.Path, TRegAccess::Read, &reader)) {
      std::string current;
      if (FBase.RegQuery(reader, name, &current) == TRegRead::Found) {
        // A string value read back on Windows carries the terminating zero stored with it;
        // the installer's own data never holds one.
        if (!current.empty() && current.back() == '\0') current.pop_back();
        old = current;
      }
      FBase.RegClose(reader);
    }
    FValues.push_back({opened.Root, opened.Path, name, old, data});
  }
  FValues[index->second].New = data;
  return true;
}

void TPreviewHost::RegClose(THandle key) {
  const auto it = FKeys.find(key);
  if (it == FKeys.end()) return;
  FBase.RegClose(it->second.Base);
  FKeys.erase(it);
}

bool TPreviewHost::FileOpen(const std::string& path, TFileAccess access, TFileShare share, TFileCreate create,
                            THandle* file) {
  *file = 0;
  const bool writing = access == TFileAccess::ReadWrite || create == TFileCreate::CreateAlways;
  if (!writing) {
    const TNode* node = NodeAt(path);
    if (node != nullptr && !node->BaseData) {
      if (node->Kind != TKind::File) return false;
      *file = FNextHandle++;
      FFiles.emplace(*file, TOpenFile{0, Fold(path), 0, false});
      return true;
    }
    THandle base = 0;
    if (!FBase.FileOpen(path, access, share, create, &base)) return false;
    *file = FNextHandle++;
    FFiles.emplace(*file, TOpenFile{base, {}, 0, false});
    return true;
  }
  const auto attributes = AttributesAt(path);
  if (attributes) {
    // Windows refuses to open a folder or a read-only file for writing.
    if (IsFolder(*attributes) || IsReadOnly(*attributes)) return false;
  } else if (create == TFileCreate::OpenExisting || !ParentIsFolder(path)) {
    return false;
  }
  std::string data;
  if (create == TFileCreate::OpenExisting && !ReadContent(path, &data)) return false;
  TNode& node = Change(path);
  node.Kind = TKind::File;
  node.Data = std::move(data);
  node.BaseData = false;
  node.Edited = true;
  node.Attributes = attributes ? *attributes : AttrArchive;
  *file = FNextHandle++;
  FFiles.emplace(*file, TOpenFile{0, Fold(path), 0, true});
  return true;
}

bool TPreviewHost::FileSize(THandle file, std::uint64_t* size) {
  *size = 0;
  const auto it = FFiles.find(file);
  if (it == FFiles.end()) return false;
  if (it->second.Base != 0) return FBase.FileSize(it->second.Base, size);
  const auto node = FNodes.find(it->second.Node);
  if (node == FNodes.end()) return false;
  *size = node->second.Data.size();
  return true;
}

bool TPreviewHost::FileRead(THandle file, char* buffer, std::size_t count, std::size_t* got) {
  *got = 0;
  const auto it = FFiles.find(file);
  if (it == FFiles.end()) return false;
  if (it->second.Base != 0) return FBase.FileRead(it->second.Base, buffer, count, got);
  const auto node = FNodes.find(it->second.Node);
  if (node == FNodes.end()) return false;
  const std::string& data = node->second.Data;
  const std::size_t at = std::min(it->second.Position, data.size());
  *got = std::min(count, data.size() - at);
  std::copy_n(data.data() + at, *got, buffer);
  it->second.Position = at + *got;
  return true;
}

bool TPreviewHost::FileWrite(THandle file, const char* data, std::size_t count, std::size_t* written) {
  *written = 0;
  const auto it = FFiles.find(file);
  // A file opened underneath was opened for reading; nothing is ever written there.
  if (it == FFiles.end() || !it->second.Writable) return false;
  const auto node = FNodes.find(it->second.Node);
  if (node == FNodes.end()) return false;
  std::string& text = node->second.Data;
  const std::size_t at = it->second.Position;
  if (text.size() < at + count) text.resize(at + count);
  std::copy_n(data, count, text.begin() + static_cast<std::ptrdiff_t>(at));
  it->second.Position = at + count;
  *written = count;
  return true;
}

bool TPreviewHost::FileFlush(THandle file) {
  const auto it = FFiles.find(file);
  return it != FFiles.end() && it->second.Writable;
}

void TPreviewHost::FileClose(THandle file) {
  const auto it = FFiles.find(file);
  if (it == FFiles.end()) return;
  if (it->second.Base != 0) FBase.FileClose(it->second.Base);
  FFiles.erase(it);
}

TFind TPreviewHost::Deliver(std::vector<TFindEntry> entries, THandle* find, TFindEntry* entry) {
  if (entries.empty()) return TFind::NoMore;
  *entry = entries.front();
  *find = FNextHandle++;
  FFinds.emplace(*find, TOpenFind{std::move(entries), 1});
  return TFind::Entry;
}

TFind TPreviewHost::FindFirst(const std::string& pattern, THandle* find, TFindEntry* entry) {
  *find = 0;
  const std::size_t cut = pattern.find_last_of("\\/");
  const std::string folder = cut == std::string::npos ? std::string() : pattern.substr(0, cut);
  const std::string mask = cut == std::string::npos ? pattern : pattern.substr(cut + 1);
  std::vector<TFindEntry> entries;
  const bool listing = mask == "*.*" || mask == "*";
  const TNode* node = NodeAt(listing ? folder : pattern);
  if (node != nullptr && node->Kind == TKind::Removed) return TFind::NoMore;
  if (!listing && node != nullptr) return Deliver({{mask, node->Attributes}}, find, entry);
  if (listing && node != nullptr && node->Kind == TKind::Folder && !node->BaseData) {
    entries = {{".", AttrDirectory}, {"..", AttrDirectory}};
  } else {
    THandle base = 0;
    TFindEntry found;
    TFind step = FBase.FindFirst(pattern, &base, &found);
    if (step == TFind::Failed) return TFind::Failed;
    if (step == TFind::Entry) {
      do {
        entries.push_back(found);
      } while ((step = FBase.FindNext(base, &found)) == TFind::Entry);
      FBase.FindClose(base);
      if (step == TFind::Failed) return TFind::Failed;
    }
    if (!listing) return Deliver(std::move(entries), find, entry);
  }
  // The listing as the run would find it: removed entries gone, changed ones as changed,
  // the ones it made added.
  const std::string prefix = folder.empty() ? std::string() : Fold(folder) + "\\";
  std::vector<TFindEntry> merged;
  std::vector<std::string> seen;
  for (const TFindEntry& e : entries) {
    const auto it = FNodes.find(prefix + ToUpperAscii(e.Name));
    if (e.Name != "." && e.Name != ".." && it != FNodes.end()) {
      seen.push_back(it->first);
      if (it->second.Kind == TKind::Removed) continue;
      merged.push_back({e.Name, it->second.Attributes});
    } else {
      merged.push_back(e);
    }
  }
  for (auto it = FNodes.lower_bound(prefix); it != FNodes.end() && it->first.compare(0, prefix.size(), prefix) == 0;
       ++it) {
    const bool child = it->first.find('\\', prefix.size()) == std::string::npos;
    if (!child || it->second.Kind == TKind::Removed || std::find(seen.begin(), seen.end(), it->first) != seen.end()) {
      continue;
    }
    merged.push_back({LastComponent(it->second.Path), it->second.Attributes});
  }
  return Deliver(std::move(merged), find, entry);
}

TFind TPreviewHost::FindNext(THandle find, TFindEntry* entry) {
  const auto it = FFinds.find(find);
  if (it == FFinds.end()) return TFind::Failed;
  if (it->second.Next >= it->second.Entries.size()) return TFind::NoMore;
  *entry = it->second.Entries[it->second.Next++];
  return TFind::Entry;
}

void TPreviewHost::FindClose(THandle find) { FFinds.erase(find); }

bool TPreviewHost::GetAttributes(const std::string& path, std::uint32_t* attributes) {
  const auto found = AttributesAt(path);
  if (!found) return false;
  *attributes = *found;
  return true;
}

bool TPreviewHost::SetAttributes(const std::string& path, std::uint32_t attributes) {
  const auto current = AttributesAt(path);
  if (!current) return false;
  const bool known = NodeAt(path) != nullptr;
  TNode& node = Change(path);
  if (!known) {
    // Still the underlying file or folder, with other attributes.
    node.Kind = IsFolder(*current) ? TKind::Folder : TKind::File;
    node.BaseData = true;
  }
  // Whether a path is a folder or a link is not an attribute that can be set.
  constexpr std::uint32_t Fixed = AttrDirectory | AttrReparsePoint;
  node.Attributes = (*current & Fixed) | (attributes & ~Fixed);
  return true;
}

bool TPreviewHost::CopyFileTo(const std::string& source, const std::string& destination, bool failIfExists) {
  const auto from = AttributesAt(source);
  if (!from || IsFolder(*from)) return false;
  const auto to = AttributesAt(destination);
  if (to) {
    if (failIfExists || IsFolder(*to) || IsReadOnly(*to) || Fold(source) == Fold(destination)) return false;
  } else if (!ParentIsFolder(destination)) {
    return false;
  }
  // Read whole: a source that cannot be read would not be copied either.
  std::string data;
  if (!ReadContent(source, &data)) return false;
  TNode& node = Change(destination);
  node.Kind = TKind::File;
  node.Data = std::move(data);
  node.BaseData = false;
  node.Edited = false;
  node.Attributes = *from;
  return true;
}

bool TPreviewHost::MakeFolder(const std::string& path) {
  if (AttributesAt(path) || !ParentIsFolder(path)) return false;
  TNode& node = Change(path);
  node.Kind = TKind::Folder;
  node.Data.clear();
  node.BaseData = false;
  node.Edited = false;
  node.Attributes = AttrDirectory;
  return true;
}

bool TPreviewHost::RemoveFile(const std::string& path) {
  const auto attributes = AttributesAt(path);
  // Windows refuses to delete a folder or a read-only file.
  if (!attributes || IsFolder(*attributes) || IsReadOnly(*attributes)) return false;
  Drop(path);
  return true;
}

bool TPreviewHost::ReplaceWith(const std::string& source, const std::string& destination) {
  const auto from = AttributesAt(source);
  if (!from || IsFolder(*from)) return false;
  const auto to = AttributesAt(destination);
  if (to && (IsFolder(*to) || IsReadOnly(*to))) return false;
  std::string data;
  if (!ReadContent(source, &data)) return false;
  const TNode* sourceNode = NodeAt(source);
  const bool edited = sourceNode != nullptr && sourceNode->Edited;
  Drop(source);
  TNode& node = Change(destination);
  node.Kind = TKind::File;
  node.Data = std::move(data);
  node.BaseData = false;
  node.Edited = edited;
  node.Attributes = *from;  // the replacing file's, as MoveFileExA leaves them
  return true;
}

std::vector<TPreviewHost::TValueChange> TPreviewHost::ValueChanges() {
  std::vector<TValueChange> changes;
  for (const TValue& value : FValues) {
    if (value.Old != value.New) changes.push_back({value.Root, value.Key, value.Name, value.Old, value.New});
  }
  return changes;
}

// path with its last component named as the underlying system has it, where it exists
// there: the run may name a file in another case.
std::string TPreviewHost::NamedAsFound(const std::string& path) {
  if (path.find_first_of("*?") != std::string::npos) return path;  // a pattern, not a name
  THandle find = 0;
  TFindEntry entry;
  if (FBase.FindFirst(path, &find, &entry) != TFind::Entry) return path;
  FBase.FindClose(find);
  const std::string trimmed = WithoutTrailingSeparators(path);
  return trimmed.substr(0, trimmed.size() - LastComponent(trimmed).size()) + entry.Name;
}

std::vector<TPreviewHost::TFileChange> TPreviewHost::FileChanges() {
  std::vector<TFileChange> changes;
  for (const auto& [folded, node] : FNodes) {
    TFileChange change;
    change.Path = NamedAsFound(node.Path);
    change.Change = TChange::Folder;
    std::uint32_t before = 0;
    const bool existed = FBase.GetAttributes(node.Path, &before);
    std::string old;
    if (node.Kind == TKind::Folder) {
      if (node.BaseData || existed) continue;
    } else if (node.Kind == TKind::Removed) {
      change.Change = TChange::Removed;
      ReadBase(node.Path, &old);
      change.OldSize = old.size();
    } else if (node.BaseData) {
      // Only the read-only bit is kept alike by every host.
      if (((before ^ node.Attributes) & AttrReadOnly) == 0) continue;
      change.Change = TChange::Attributes;
      ReadBase(node.Path, &old);
      change.OldSize = change.NewSize = old.size();
    } else if (!existed) {
      change.Change = TChange::Created;
      change.NewSize = node.Data.size();
    } else {
      ReadBase(node.Path, &old);
      change.OldSize = old.size();
      change.NewSize = node.Data.size();
      change.Change = old == node.Data ? TChange::Same : TChange::Replaced;
      change.Edited = node.Edited;
      if (node.Edited && change.Change == TChange::Replaced) {
        change.OldData = std::move(old);
        change.NewData = node.Data;
      }
    }
    changes.push_back(std::move(change));
  }
  return changes;
}

}  // namespace Ferrowind
