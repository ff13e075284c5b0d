#include "Platform/MemoryHost.h"

#include <algorithm>

#include "Base/Text.h"
#include "Base/WindowsNames.h"
#include "Platform/WholeFile.h"

namespace Ferrowind {

namespace {
const char* const OpNames[] = {
    "ShowMessage",   "RegOpen",       "RegQuery",   "RegSet",     "RegClose",   "FileOpen",    "FileSize",
    "FileRead",      "FileWrite",     "FileFlush",  "FileClose",  "FindFirst",  "FindNext",    "FindClose",
    "GetAttributes", "SetAttributes", "CopyFileTo", "MakeFolder", "RemoveFile", "ReplaceWith", "ProgramPath"};

std::string WithoutTrailingSeparators(std::string path) {
  while (path.size() > 1 && IsSeparator(path.back())) path.pop_back();
  return path;
}

// The folder part of path as spelled; empty for a bare name.
std::string FolderPart(const std::string& path) {
  const std::string trimmed = WithoutTrailingSeparators(path);
  const std::size_t cut = trimmed.find_last_of("\\/");
  return cut == std::string::npos ? std::string() : trimmed.substr(0, cut);
}
}  // namespace

TMemoryHost::TMemoryHost(THost* base) : FBase(base) {}

std::string TMemoryHost::Normal(const std::string& path) {
  std::string normal;
  return WindowsPath(path, TPathUse::File, &normal) ? normal : path;
}

std::string TMemoryHost::Fold(const std::string& path) {
  std::string folded = FoldedName(Normal(path));
  std::replace(folded.begin(), folded.end(), '/', '\\');
  return folded;
}

std::string TMemoryHost::FoldValue(const std::string& name) { return FoldedName(CString(name)); }

bool TMemoryHost::Named(const std::string& path, TPathUse use) {
  std::string normal;
  return WindowsPath(path, use, &normal);
}

TMemoryHost::TNode* TMemoryHost::Find(const std::string& given) {
  const std::string path = Normal(given), folded = Fold(path);
  auto it = FFiles.find(folded);
  std::uint32_t attributes = 0;
  if (it == FFiles.end() && FBase != nullptr && !folded.empty() && FBase->GetAttributes(path, &attributes)) {
    TNode node{path, (attributes & AttrDirectory) != 0, std::string(), attributes};
    node.InBase = true;
    node.Loaded = node.IsFolder;
    // Named as the base names it: the run may spell it in another case.
    THandle find = 0;
    TFindEntry entry;
    if (FBase->FindFirst(node.Name, &find, &entry) == TFind::Entry) {
      FBase->FindClose(find);
      node.Name = node.Name.substr(0, node.Name.size() - LastName(node.Name).size()) + entry.Name;
    }
    it = FFiles.emplace(folded, std::move(node)).first;
  }
  if (it == FFiles.end() || it->second.Removed) return nullptr;
  return !it->second.IsFolder && NamesFolderOnly(given) ? nullptr : &it->second;
}

TMemoryHost::TNode* TMemoryHost::FindFolder(const std::string& path) {
  TNode* folder = Find(FolderPart(Normal(path)));
  return folder != nullptr && folder->IsFolder ? folder : nullptr;
}

bool TMemoryHost::Load(TNode& node) {
  if (node.Loaded) return true;
  if (FBase == nullptr || !ReadWholeFile(*FBase, node.Name, &node.Data)) return false;
  node.Loaded = true;
  return true;
}

void TMemoryHost::Drop(const std::string& folded) {
  const auto it = FFiles.find(folded);
  if (it == FFiles.end()) return;
  if (!it->second.InBase) {
    FFiles.erase(it);
    return;
  }
  it->second.Removed = it->second.Touched = true;
  it->second.Data.clear();
  it->second.Loaded = true;
}

std::vector<std::pair<std::string, TMemoryHost::TNode>> TMemoryHost::TouchedNodes() const {
  std::vector<std::pair<std::string, TNode>> nodes;
  for (const auto& [folded, node] : FFiles) {
    if (node.Touched) nodes.emplace_back(folded, node);
  }
  return nodes;
}

std::string TMemoryHost::KeyName(TRootKey root, const std::string& path) {
  const std::string key = FoldedKeyPath(path);
  return (root == TRootKey::LocalMachine ? "HKLM" : "HKCU") + (key.empty() ? "" : "\\" + key);
}

bool TMemoryHost::Enter(TOp op, const std::string& path) {
  ++FCalls;
  FLog.push_back(std::string(OpNames[static_cast<int>(op)]) + " " + path);
  if (FFailCall != 0 && FCalls == FFailCall) return false;
  const std::string folded = FoldedName(path);
  for (const TFault& fault : FFaults) {
    if (fault.Op == op && folded.find(fault.PathPart) != std::string::npos) return false;
  }
  return true;
}

void TMemoryHost::FailOperation(TOp op, const std::string& pathPart) { FFaults.push_back({op, FoldedName(pathPart)}); }

void TMemoryHost::HoldOpen(const std::string& path) { FHeld.insert(Fold(path)); }

std::size_t TMemoryHost::OpenHandles() const { return FOpenKeys.size() + FOpenFiles.size() + FOpenFinds.size(); }

// ---- Registry set-up.

void TMemoryHost::AddKey(TRootKey root, const std::string& path) { FKeys[KeyName(root, path)]; }

void TMemoryHost::SetValue(TRootKey root, const std::string& path, const std::string& name, const std::string& data) {
  FKeys[KeyName(root, path)].Values[FoldValue(name)] = {std::string(CString(name)), data};
}

std::optional<std::string> TMemoryHost::Value(TRootKey root, const std::string& path, const std::string& name) const {
  const auto key = FKeys.find(KeyName(root, path));
  if (key == FKeys.end()) return std::nullopt;
  const auto value = key->second.Values.find(FoldValue(name));
  if (value == key->second.Values.end()) return std::nullopt;
  return value->second.second;
}

// ---- File tree set-up.

void TMemoryHost::AddFolder(const std::string& given, std::uint32_t attributes) {
  const std::string path = Normal(given), folded = Fold(path);
  if (folded.empty()) return;
  const std::string parent = FolderPart(path);
  if (!parent.empty() && !FFiles.count(Fold(parent))) AddFolder(parent);
  TNode& node = FFiles[folded];
  node.Name = path;
  node.IsFolder = true;
  node.Attributes = attributes | AttrDirectory;
}

void TMemoryHost::AddFile(const std::string& given, const std::string& data, std::uint32_t attributes) {
  const std::string path = Normal(given), folded = Fold(path);
  const std::string parent = FolderPart(path);
  if (!parent.empty() && !FFiles.count(Fold(parent))) AddFolder(parent);
  FFiles[folded] = {path, false, data, attributes & ~AttrDirectory};
}

std::optional<std::string> TMemoryHost::FileData(const std::string& path) const {
  const auto node = FFiles.find(Fold(path));
  if (node == FFiles.end() || node->second.IsFolder || node->second.Removed) return std::nullopt;
  return node->second.Data;
}

bool TMemoryHost::Exists(const std::string& path) const {
  const auto node = FFiles.find(Fold(path));
  return node != FFiles.end() && !node->second.Removed;
}

std::uint32_t TMemoryHost::AttributesOf(const std::string& path) const {
  const auto node = FFiles.find(Fold(path));
  return node == FFiles.end() || node->second.Removed ? 0 : node->second.Attributes;
}

std::vector<TMemoryHost::TValue> TMemoryHost::AllValues() const {
  std::vector<TValue> values;
  for (const auto& [name, key] : FKeys) {
    for (const auto& [folded, value] : key.Values) values.push_back({name, value.first, value.second});
  }
  return values;
}

std::vector<std::string> TMemoryHost::AllPaths() const {
  std::vector<std::string> paths;
  for (const auto& [folded, node] : FFiles) {
    if (!node.Removed) paths.push_back(node.Name);
  }
  return paths;
}

// ---- Message boxes.

bool TMemoryHost::ShowMessage(const std::string& text, TBoxKind kind) {
  if (!Enter(TOp::ShowMessage, "")) return false;
  FBoxes.push_back({text, kind});
  if (FNextAnswer < FAnswers.size()) return FAnswers[FNextAnswer++];
  return true;
}

// ---- Registry.

bool TMemoryHost::RegOpen(TRootKey root, const std::string& path, TRegAccess access, THandle* key) {
  *key = 0;
  if (!Enter(TOp::RegOpen, path)) return false;
  const std::string name = KeyName(root, path);
  bool exists = FKeys.count(name) != 0;
  if (!exists) {
    const auto below = FKeys.lower_bound(name + "\\");
    exists = below != FKeys.end() && below->first.compare(0, name.size() + 1, name + "\\") == 0;
  }
  // Over a base, every key is the base's, and so is the answer: a key it opens for reading
  // only cannot be written through the model either.
  THandle base = 0;
  if (FBase != nullptr) exists = FBase->RegOpen(root, path, access, &base);
  if (!exists) return false;
  *key = FNextHandle++;
  FOpenKeys[*key] = {name, access, base};
  return true;
}

TRegRead TMemoryHost::RegQuery(THandle key, const std::string& name, std::string* data) {
  data->clear();
  const auto open = FOpenKeys.find(key);
  if (!Enter(TOp::RegQuery, open == FOpenKeys.end() ? name : open->second.Name + "\\" + name)) {
    return TRegRead::Failed;
  }
  // As on Windows, a key opened for writing cannot be queried.
  if (open == FOpenKeys.end() || open->second.Access != TRegAccess::Read) return TRegRead::Failed;
  // Found (no entry made) here, or else in the base.
  if (const auto values = FKeys.find(open->second.Name); values != FKeys.end()) {
    if (const auto value = values->second.Values.find(FoldValue(name)); value != values->second.Values.end()) {
      *data = StoredString(value->second.second);
      return TRegRead::Found;
    }
  }
  return open->second.Base != 0 ? FBase->RegQuery(open->second.Base, name, data) : TRegRead::Missing;
}

bool TMemoryHost::RegSet(THandle key, const std::string& name, const std::string& data) {
  const auto open = FOpenKeys.find(key);
  if (!Enter(TOp::RegSet, open == FOpenKeys.end() ? name : open->second.Name + "\\" + name)) {
    return false;
  }
  if (open == FOpenKeys.end() || open->second.Access != TRegAccess::Write) return false;
  auto& value = FKeys[open->second.Name].Values[FoldValue(name)];
  if (value.first.empty()) value.first = CString(name);
  value.second = data;
  return true;
}

void TMemoryHost::RegClose(THandle key) {
  Enter(TOp::RegClose, "");
  const auto open = FOpenKeys.find(key);
  if (open == FOpenKeys.end()) return;
  if (open->second.Base != 0) FBase->RegClose(open->second.Base);
  FOpenKeys.erase(open);
}

// ---- Files.

bool TMemoryHost::IsSharedAway(const std::string& folded, bool wantExclusive) const {
  if (FHeld.count(folded)) return true;
  // The running program's file is open while it runs: it may be read, not written or removed.
  if (wantExclusive && folded == Fold(FProgramPath)) return true;
  for (const auto& [handle, open] : FOpenFiles) {
    if (open.Path == folded && (open.Exclusive || open.Writable || wantExclusive)) return true;
  }
  return false;
}

bool TMemoryHost::FileOpen(const std::string& path, TFileAccess access, TFileShare share, TFileCreate create,
                           THandle* file) {
  *file = 0;
  if (!Enter(TOp::FileOpen, path) || !Named(path) || NamesFolderOnly(path)) return false;
  const std::string folded = Fold(path);
  TNode* node = Find(path);
  const bool writable = access == TFileAccess::ReadWrite;
  if (node != nullptr && node->IsFolder) return false;
  // No open here shares writing, so a writer needs the file to itself.
  if (IsSharedAway(folded, share == TFileShare::None || writable)) return false;
  if (create == TFileCreate::OpenExisting) {
    if (node == nullptr || !Load(*node)) return false;
    if (writable && (node->Attributes & AttrReadOnly)) return false;
  } else {
    if (!FolderPart(Normal(path)).empty() && FindFolder(path) == nullptr) return false;
    if (node != nullptr && (node->Attributes & AttrReadOnly)) return false;
    TNode& created = FFiles[folded];
    if (created.Name.empty()) created.Name = Normal(path);
    created.IsFolder = created.Removed = created.Written = false;
    created.Loaded = created.Touched = true;
    created.Data.clear();
    created.Attributes = AttrArchive;
  }
  *file = FNextHandle++;
  FOpenFiles[*file] = {folded, 0, writable, share == TFileShare::None};
  return true;
}

bool TMemoryHost::FileSize(THandle file, std::uint64_t* size) {
  *size = 0;
  const auto open = FOpenFiles.find(file);
  if (!Enter(TOp::FileSize, open == FOpenFiles.end() ? "" : open->second.Path)) return false;
  if (open == FOpenFiles.end()) return false;
  *size = FStatedSize != 0 ? FStatedSize : FFiles[open->second.Path].Data.size();
  return true;
}

bool TMemoryHost::FileRead(THandle file, char* buffer, std::size_t count, std::size_t* got) {
  *got = 0;
  const auto open = FOpenFiles.find(file);
  if (!Enter(TOp::FileRead, open == FOpenFiles.end() ? "" : open->second.Path)) return false;
  if (open == FOpenFiles.end()) return false;
  const std::string& data = FFiles[open->second.Path].Data;
  std::size_t n = std::min(count, data.size() - std::min(data.size(), open->second.Position));
  if (FShortReads && n > 0) --n;
  std::copy_n(data.data() + open->second.Position, n, buffer);
  open->second.Position += n;
  *got = n;
  return true;
}

bool TMemoryHost::FileWrite(THandle file, const char* data, std::size_t count, std::size_t* written) {
  *written = 0;
  const auto open = FOpenFiles.find(file);
  if (!Enter(TOp::FileWrite, open == FOpenFiles.end() ? "" : open->second.Path)) return false;
  if (open == FOpenFiles.end() || !open->second.Writable) return false;
  TNode& node = FFiles[open->second.Path];
  node.Written = true;
  std::string& target = node.Data;
  std::size_t n = count;
  if (FShortWrites && n > 0) --n;
  if (target.size() < open->second.Position + n) target.resize(open->second.Position + n);
  std::copy_n(data, n, target.begin() + static_cast<std::ptrdiff_t>(open->second.Position));
  open->second.Position += n;
  *written = n;
  return true;
}

bool TMemoryHost::FileFlush(THandle file) {
  const auto open = FOpenFiles.find(file);
  if (!Enter(TOp::FileFlush, open == FOpenFiles.end() ? "" : open->second.Path)) return false;
  return open != FOpenFiles.end();
}

void TMemoryHost::FileClose(THandle file) {
  const auto open = FOpenFiles.find(file);
  Enter(TOp::FileClose, open == FOpenFiles.end() ? "" : open->second.Path);
  FOpenFiles.erase(file);
}

// ---- Enumeration.

TFind TMemoryHost::FindFirst(const std::string& given, THandle* find, TFindEntry* entry) {
  *find = 0;
  if (!Enter(TOp::FindFirst, given)) return TFind::Failed;
  std::string pattern;
  if (!WindowsPath(given, TPathUse::Pattern, &pattern)) return TFind::Failed;
  if (NamesFolderOnly(given)) return TFind::NoMore;
  const std::string last = LastName(pattern);
  TOpenFind found;
  if (last == "*.*" || last == "*") {
    const std::string folderPath = FolderPart(pattern);
    const TNode* node = Find(folderPath);
    if (node == nullptr) return TFind::NoMore;
    if (!node->IsFolder) return TFind::Failed;  // Windows: "the directory name is invalid"
    // The base's entries and the model's, each once, in case-insensitive order of names.
    std::map<std::string, TFindEntry> entries;
    // Also below a folder the model made: another program may have made it since.
    if (FBase != nullptr) {
      THandle listing = 0;
      TFindEntry item;
      TFind step = FBase->FindFirst(folderPath + "\\*", &listing, &item);
      for (; step == TFind::Entry; step = FBase->FindNext(listing, &item)) {
        if (item.Name != "." && item.Name != "..") entries[Fold(item.Name)] = item;
      }
      if (listing != 0) FBase->FindClose(listing);
      if (step == TFind::Failed) return TFind::Failed;
    }
    const std::string prefix = Fold(folderPath) + "\\";
    for (auto it = FFiles.lower_bound(prefix); it != FFiles.end() && it->first.compare(0, prefix.size(), prefix) == 0;
         ++it) {
      if (it->first.find('\\', prefix.size()) != std::string::npos) continue;
      if (it->second.Removed) {
        entries.erase(it->first.substr(prefix.size()));
      } else {
        entries[it->first.substr(prefix.size())] = {LastName(it->second.Name), it->second.Attributes};
      }
    }
    found.Entries.push_back({".", AttrDirectory});
    found.Entries.push_back({"..", AttrDirectory});
    for (auto& [name, item] : entries) found.Entries.push_back(std::move(item));
  } else {
    const TNode* node = Find(pattern);
    if (node == nullptr) return TFind::NoMore;
    found.Entries.push_back({LastName(node->Name), node->Attributes});
  }
  *entry = found.Entries[0];
  found.Next = 1;
  *find = FNextHandle++;
  FOpenFinds[*find] = std::move(found);
  return TFind::Entry;
}

TFind TMemoryHost::FindNext(THandle find, TFindEntry* entry) {
  if (!Enter(TOp::FindNext, "")) return TFind::Failed;
  const auto open = FOpenFinds.find(find);
  if (open == FOpenFinds.end()) return TFind::Failed;
  if (open->second.Next >= open->second.Entries.size()) return TFind::NoMore;
  *entry = open->second.Entries[open->second.Next++];
  return TFind::Entry;
}

void TMemoryHost::FindClose(THandle find) {
  Enter(TOp::FindClose, "");
  FOpenFinds.erase(find);
}

// ---- Attributes, copy, folders, removal.

bool TMemoryHost::GetAttributes(const std::string& path, std::uint32_t* attributes) {
  *attributes = 0;
  if (!Enter(TOp::GetAttributes, path) || !Named(path)) return false;
  const TNode* node = Find(path);
  if (node == nullptr) return false;
  *attributes = node->Attributes;
  return true;
}

bool TMemoryHost::SetAttributes(const std::string& path, std::uint32_t attributes) {
  if (!Enter(TOp::SetAttributes, path) || !Named(path)) return false;
  TNode* node = Find(path);
  if (node == nullptr) return false;
  node->Attributes = (attributes & ~AttrDirectory) | (node->IsFolder ? AttrDirectory : 0);
  node->Touched = true;
  return true;
}

bool TMemoryHost::CopyFileTo(const std::string& source, const std::string& destination, bool failIfExists) {
  if (!Enter(TOp::CopyFileTo, source + " -> " + destination) || !Named(source) || !Named(destination) ||
      NamesFolderOnly(destination)) {
    return false;
  }
  TNode* from = Find(source);
  if (from == nullptr || from->IsFolder || IsSharedAway(Fold(source), false) || !Load(*from)) return false;
  const std::string to = Fold(destination);
  // The source is open for reading while the destination is written: not the same file.
  if (to == Fold(source) || FindFolder(destination) == nullptr) return false;
  const TNode* existing = Find(destination);
  if (existing != nullptr) {
    if (failIfExists || existing->IsFolder || (existing->Attributes & AttrReadOnly)) return false;
  }
  if (IsSharedAway(to, true)) return false;
  TNode copy = *from;
  copy.Name = existing != nullptr ? existing->Name : Normal(destination);
  copy.Attributes |= AttrArchive;
  const auto prior = FFiles.find(to);
  copy.InBase = prior != FFiles.end() && prior->second.InBase;
  copy.Touched = true;
  copy.Written = false;
  FFiles[to] = copy;
  return true;
}

bool TMemoryHost::MakeFolder(const std::string& path) {
  if (!Enter(TOp::MakeFolder, path) || !Named(path, TPathUse::NewFolder)) return false;
  if (Find(path) != nullptr) return false;
  if (!FolderPart(Normal(path)).empty() && FindFolder(path) == nullptr) return false;
  TNode& node = FFiles[Fold(path)];
  node = {Normal(path), true, std::string(), AttrDirectory, false, node.InBase};
  node.Touched = true;
  return true;
}

bool TMemoryHost::RemoveFile(const std::string& path) {
  if (!Enter(TOp::RemoveFile, path) || !Named(path)) return false;
  const std::string folded = Fold(path);
  const TNode* node = Find(path);
  if (node == nullptr || node->IsFolder || (node->Attributes & AttrReadOnly)) return false;
  if (IsSharedAway(folded, true)) return false;
  Drop(folded);
  return true;
}

bool TMemoryHost::ReplaceWith(const std::string& source, const std::string& destination) {
  if (!Enter(TOp::ReplaceWith, source + " -> " + destination) || !Named(source) || !Named(destination) ||
      NamesFolderOnly(destination)) {
    return false;
  }
  const std::string from = Fold(source);
  const std::string to = Fold(destination);
  TNode* node = Find(source);
  if (node == nullptr || node->IsFolder || IsSharedAway(from, true) || !Load(*node)) return false;
  const TNode* existing = Find(destination);
  if (existing != nullptr && (existing->IsFolder || (existing->Attributes & AttrReadOnly) || IsSharedAway(to, true))) {
    return false;
  }
  TNode moved = *node;
  moved.Name = existing != nullptr ? existing->Name : Normal(destination);
  const auto prior = FFiles.find(to);
  moved.InBase = prior != FFiles.end() && prior->second.InBase;
  moved.Touched = true;
  Drop(from);
  FFiles[to] = moved;
  return true;
}

std::string TMemoryHost::FullPath(const std::string& path) {
  if (FBase != nullptr) return FBase->FullPath(path);
  const bool absolute = (path.size() >= 2 && path[1] == ':') || (!path.empty() && IsSeparator(path[0]));
  return Normal(absolute ? path : FolderPart(Normal(FProgramPath)) + "\\" + path);
}

std::string TMemoryHost::ProgramPath() {
  Enter(TOp::ProgramPath, "");
  return FProgramPath;
}

}  // namespace Ferrowind
