#include "platform/MemoryHost.h"

#include <algorithm>

#include "Base/Text.h"

namespace Ferrowind {

namespace {
const char* const OpNames[] = {
    "ShowMessage",   "RegOpen",       "RegQuery",   "RegSet",     "RegClose",   "FileOpen",    "FileSize",
    "FileRead",      "FileWrite",     "FileFlush",  "FileClose",  "FindFirst",  "FindNext",    "FindClose",
    "GetAttributes", "SetAttributes", "CopyFileTo", "MakeFolder", "RemoveFile", "ReplaceWith", "ProgramPath"};

std::string LastComponent(const std::string& path) {
  const std::size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}
}  // namespace

TMemoryHost::TMemoryHost() = default;

std::string TMemoryHost::Fold(const std::string& path) {
  std::string folded = path;
  for (char& c : folded) c = c == '/' ? '\\' : FoldAscii(c);
  while (folded.size() > 1 && folded.back() == '\\') folded.pop_back();
  return folded;
}

std::string TMemoryHost::KeyName(TRootKey root, const std::string& path) {
  return Fold((root == TRootKey::LocalMachine ? "HKLM\\" : "HKCU\\") + path);
}

std::string TMemoryHost::Parent(const std::string& folded) {
  const std::size_t cut = folded.rfind('\\');
  return cut == std::string::npos ? std::string() : folded.substr(0, cut);
}

bool TMemoryHost::Enter(TOp op, const std::string& path) {
  ++FCalls;
  FLog.push_back(std::string(OpNames[static_cast<int>(op)]) + " " + path);
  if (FStrict) ++FStrictViolations;
  if (FFailCall != 0 && FCalls == FFailCall) return false;
  const std::string folded = Fold(path);
  for (const TFault& fault : FFaults) {
    if (fault.Op == op && folded.find(fault.PathPart) != std::string::npos) return false;
  }
  return true;
}

void TMemoryHost::FailOperation(TOp op, const std::string& pathPart) {
  FFaults.push_back({op, pathPart.empty() ? std::string() : Fold(pathPart)});
}

void TMemoryHost::HoldOpen(const std::string& path) { FHeld.insert(Fold(path)); }

std::size_t TMemoryHost::OpenHandles() const { return FOpenKeys.size() + FOpenFiles.size() + FOpenFinds.size(); }

// ---- Registry set-up.

void TMemoryHost::AddKey(TRootKey root, const std::string& path) { FKeys[KeyName(root, path)]; }

void TMemoryHost::SetValue(TRootKey root, const std::string& path, const std::string& name, const std::string& data) {
  FKeys[KeyName(root, path)].Values[Fold(name)] = {name, data};
}

std::optional<std::string> TMemoryHost::Value(TRootKey root, const std::string& path, const std::string& name) const {
  const auto key = FKeys.find(KeyName(root, path));
  if (key == FKeys.end()) return std::nullopt;
  const auto value = key->second.Values.find(Fold(name));
  if (value == key->second.Values.end()) return std::nullopt;
  return value->second.second;
}

std::size_t TMemoryHost::ValueCount(TRootKey root, const std::string& path) const {
  const auto key = FKeys.find(KeyName(root, path));
  return key == FKeys.end() ? 0 : key->second.Values.size();
}

// ---- File tree set-up.

void TMemoryHost::AddFolder(const std::string& path, std::uint32_t attributes) {
  const std::string folded = Fold(path);
  if (folded.empty()) return;
  const std::string parent = Parent(folded);
  if (!parent.empty() && !FFiles.count(parent)) AddFolder(path.substr(0, path.find_last_of("\\/")));
  TNode& node = FFiles[folded];
  node.Name = path;
  node.IsFolder = true;
  node.Attributes = attributes | AttrDirectory;
}

void TMemoryHost::AddFile(const std::string& path, const std::string& data, std::uint32_t attributes) {
  const std::string folded = Fold(path);
  const std::string parent = Parent(folded);
  if (!parent.empty() && !FFiles.count(parent)) AddFolder(path.substr(0, path.find_last_of("\\/")));
  FFiles[folded] = {path, false, data, attributes & ~AttrDirectory};
}

std::optional<std::string> TMemoryHost::FileData(const std::string& path) const {
  const auto node = FFiles.find(Fold(path));
  if (node == FFiles.end() || node->second.IsFolder) return std::nullopt;
  return node->second.Data;
}

bool TMemoryHost::Exists(const std::string& path) const { return FFiles.count(Fold(path)) != 0; }

std::uint32_t TMemoryHost::AttributesOf(const std::string& path) const {
  const auto node = FFiles.find(Fold(path));
  return node == FFiles.end() ? 0 : node->second.Attributes;
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
  for (const auto& [folded, node] : FFiles) paths.push_back(node.Name);
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
  if (!exists) return false;
  *key = FNextHandle++;
  FOpenKeys[*key] = {name, access};
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
  const TKey& values = FKeys[open->second.Name];
  const auto value = values.Values.find(Fold(name));
  if (value == values.Values.end()) return TRegRead::Missing;
  *data = StoredString(value->second.second);
  return TRegRead::Found;
}

bool TMemoryHost::RegSet(THandle key, const std::string& name, const std::string& data) {
  const auto open = FOpenKeys.find(key);
  if (!Enter(TOp::RegSet, open == FOpenKeys.end() ? name : open->second.Name + "\\" + name)) {
    return false;
  }
  if (open == FOpenKeys.end() || open->second.Access != TRegAccess::Write) return false;
  auto& value = FKeys[open->second.Name].Values[Fold(name)];
  if (value.first.empty()) value.first = name;
  value.second = data;
  return true;
}

void TMemoryHost::RegClose(THandle key) {
  Enter(TOp::RegClose, "");
  FOpenKeys.erase(key);
}

// ---- Files.

bool TMemoryHost::IsSharedAway(const std::string& folded, bool wantExclusive) const {
  if (FHeld.count(folded)) return true;
  for (const auto& [handle, open] : FOpenFiles) {
    if (open.Path == folded && (open.Exclusive || open.Writable || wantExclusive)) return true;
  }
  return false;
}

bool TMemoryHost::FileOpen(const std::string& path, TFileAccess access, TFileShare share, TFileCreate create,
                           THandle* file) {
  *file = 0;
  if (!Enter(TOp::FileOpen, path)) return false;
  const std::string folded = Fold(path);
  const auto node = FFiles.find(folded);
  const bool writable = access == TFileAccess::ReadWrite;
  if (node != FFiles.end() && node->second.IsFolder) return false;
  // No open here shares writing, so a writer needs the file to itself.
  if (IsSharedAway(folded, share == TFileShare::None || writable)) return false;
  if (create == TFileCreate::OpenExisting) {
    if (node == FFiles.end()) return false;
    if (writable && (node->second.Attributes & AttrReadOnly)) return false;
  } else {
    const std::string parent = Parent(folded);
    const auto folder = FFiles.find(parent);
    if (!parent.empty() && (folder == FFiles.end() || !folder->second.IsFolder)) return false;
    if (node != FFiles.end() && (node->second.Attributes & AttrReadOnly)) return false;
    TNode& created = FFiles[folded];
    if (created.Name.empty()) created.Name = path;
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
  std::string& target = FFiles[open->second.Path].Data;
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

TFind TMemoryHost::FindFirst(const std::string& pattern, THandle* find, TFindEntry* entry) {
  *find = 0;
  if (!Enter(TOp::FindFirst, pattern)) return TFind::Failed;
  const std::string folded = Fold(pattern);
  const std::string folder = Parent(folded);
  const std::string last = folded.substr(folder.empty() ? 0 : folder.size() + 1);
  TOpenFind found;
  if (last == "*.*" || last == "*") {
    const auto node = FFiles.find(folder);
    if (node == FFiles.end()) return TFind::NoMore;
    if (!node->second.IsFolder) return TFind::Failed;  // Windows: "the directory name is invalid"
    found.Entries.push_back({".", AttrDirectory});
    found.Entries.push_back({"..", AttrDirectory});
    const std::string prefix = folder + "\\";
    for (auto it = FFiles.lower_bound(prefix); it != FFiles.end() && it->first.compare(0, prefix.size(), prefix) == 0;
         ++it) {
      if (it->first.find('\\', prefix.size()) == std::string::npos) {
        found.Entries.push_back({LastComponent(it->second.Name), it->second.Attributes});
      }
    }
  } else {
    const auto node = FFiles.find(folded);
    if (node == FFiles.end()) return TFind::NoMore;
    found.Entries.push_back({LastComponent(node->second.Name), node->second.Attributes});
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
  if (!Enter(TOp::GetAttributes, path)) return false;
  const auto node = FFiles.find(Fold(path));
  if (node == FFiles.end()) return false;
  *attributes = node->second.Attributes;
  return true;
}

bool TMemoryHost::SetAttributes(const std::string& path, std::uint32_t attributes) {
  if (!Enter(TOp::SetAttributes, path)) return false;
  const auto node = FFiles.find(Fold(path));
  if (node == FFiles.end()) return false;
  node->second.Attributes = (attributes & ~AttrDirectory) | (node->second.IsFolder ? AttrDirectory : 0);
  return true;
}

bool TMemoryHost::CopyFileTo(const std::string& source, const std::string& destination, bool failIfExists) {
  if (!Enter(TOp::CopyFileTo, source + " -> " + destination)) return false;
  const auto from = FFiles.find(Fold(source));
  if (from == FFiles.end() || from->second.IsFolder || IsSharedAway(from->first, false)) return false;
  const std::string to = Fold(destination);
  const auto folder = FFiles.find(Parent(to));
  if (folder == FFiles.end() || !folder->second.IsFolder) return false;
  const auto existing = FFiles.find(to);
  if (existing != FFiles.end()) {
    if (failIfExists || existing->second.IsFolder || (existing->second.Attributes & AttrReadOnly)) return false;
  }
  if (IsSharedAway(to, true)) return false;
  TNode copy = from->second;
  copy.Name = existing != FFiles.end() ? existing->second.Name : destination;
  copy.Attributes |= AttrArchive;
  FFiles[to] = copy;
  return true;
}

bool TMemoryHost::MakeFolder(const std::string& path) {
  if (!Enter(TOp::MakeFolder, path)) return false;
  const std::string folded = Fold(path);
  if (FFiles.count(folded)) return false;
  const std::string parent = Parent(folded);
  const auto folder = FFiles.find(parent);
  if (!parent.empty() && (folder == FFiles.end() || !folder->second.IsFolder)) return false;
  FFiles[folded] = {path, true, std::string(), AttrDirectory};
  return true;
}

bool TMemoryHost::RemoveFile(const std::string& path) {
  if (!Enter(TOp::RemoveFile, path)) return false;
  const std::string folded = Fold(path);
  const auto node = FFiles.find(folded);
  if (node == FFiles.end() || node->second.IsFolder || (node->second.Attributes & AttrReadOnly)) return false;
  if (IsSharedAway(folded, true)) return false;
  FFiles.erase(node);
  return true;
}

bool TMemoryHost::ReplaceWith(const std::string& source, const std::string& destination) {
  if (!Enter(TOp::ReplaceWith, source + " -> " + destination)) return false;
  const std::string from = Fold(source);
  const std::string to = Fold(destination);
  const auto node = FFiles.find(from);
  if (node == FFiles.end() || node->second.IsFolder || IsSharedAway(from, true)) return false;
  const auto existing = FFiles.find(to);
  if (existing != FFiles.end() &&
      (existing->second.IsFolder || (existing->second.Attributes & AttrReadOnly) || IsSharedAway(to, true))) {
    return false;
  }
  TNode moved = node->second;
  moved.Name = existing != FFiles.end() ? existing->second.Name : destination;
  FFiles.erase(from);
  FFiles[to] = moved;
  return true;
}

std::string TMemoryHost::ProgramPath() {
  Enter(TOp::ProgramPath, "");
  return FProgramPath;
}

}  // namespace Ferrowind
