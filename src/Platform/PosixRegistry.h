// The registry of the POSIX host: one REGEDIT4 text file. TRegistryFile works on the text
// alone (parse, look up, set a string value), so it can be driven without files; the free
// functions below load it from and save it to disk.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/Host.h"

namespace Ferrowind {

class TRegistryFile {
 public:
  // A new file object is the empty registry (what a missing file means): no keys.
  TRegistryFile() = default;

  // Takes text as the whole file. False when its first line is not REGEDIT4: the object
  // is then invalid, knows no key and refuses every change.
  bool Parse(std::string text);
  bool Valid() const { return FValid; }
  // The file as it stands: the parsed text, or the rewritten text after a SetString.
  const std::string& Text() const { return FText; }

  // A key exists when a section names it or a key below it. Paths and value names end at a
  // NUL and compare as Windows compares names (NamesEqual).
  bool KeyExists(TRootKey root, const std::string& path) const;
  // The decoded data of the last line naming the value in any section of the key: string
  // values unescaped, dword: as 4 bytes little-endian, hex: and hex(n): as their bytes.
  // Failed for a value line whose data cannot be decoded; *data is empty unless Found.
  // *isString, when asked, says whether the value is a string rather than dword: or hex: data.
  TRegRead Query(TRootKey root, const std::string& path, const std::string& name, std::string* data,
                 bool* isString = nullptr) const;
  // Makes name a string value of the (existing) key holding data. Rewrites only the line of
  // that value, or adds one line at the end of the key's last section, or, when only keys
  // below name it, a new section at the end of the text; every other byte stays. Data holding
  // CR, LF or NUL is written as hex(1) bytes. False, with the text unchanged, for an invalid
  // file, a missing key, or a name holding CR or LF, which this format cannot store.
  bool SetString(TRootKey root, const std::string& path, const std::string& name, const std::string& data);

 private:
  enum class TKind { Other, Section, Value };
  enum class TData { String, Dword, Hex, Invalid };
  struct TRecord {
    TKind Kind = TKind::Other;
    std::size_t Begin = 0, End = 0;   // bytes of FText, line ends included
    std::size_t Section = NoSection;  // the section holding this record
    std::string Key;                  // Section: its key, folded
    std::string Name;                 // Value: its name as written, unescaped
    TData DataKind = TData::Invalid;
    std::string Data;  // Value: decoded data
    bool Blank = false;
  };
  static constexpr std::size_t NoSection = static_cast<std::size_t>(-1);

  std::size_t LastValue(const std::string& key, std::string_view name) const;
  std::string LineEnd() const;
  static std::string KeyName(TRootKey root, const std::string& path);

  bool FValid = true;
  std::string FText;
  std::vector<TRecord> FRecords;
};

enum class TRegLoad { Loaded, Unreadable, NotRegedit };

// The registry file's path: $FERROWIND_REGISTRY, else $HOME/.ferrowind/registry.reg.
std::string RegistryFilePath();
// Reads path fresh into *file. A missing file loads as the empty registry.
TRegLoad LoadRegistryFile(const std::string& path, TRegistryFile* file);
// Replaces the file at path with text in one step: a temporary file in the same folder,
// written and synced, then renamed over it, keeping its permission bits. A file without
// its owner's write permission is read-only and refused. On failure the file is as it was
// and no temporary file is left.
bool SaveFileAtomically(const std::string& path, const std::string& text);

}  // namespace Ferrowind
