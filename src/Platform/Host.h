// The installer's whole view of the operating system: message boxes, the registry and
// files, as thin primitives close to the Win32 calls. The build links exactly one system
// host (Win32 or POSIX); tests use TMemoryHost. Every rule of the installer lives above.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace Ferrowind {

using THandle = std::uintptr_t;  // opaque; 0 is never a valid handle

enum class TRootKey { LocalMachine, CurrentUser };
// The root key's name as the registry editor writes it.
inline const char* RootKeyName(TRootKey root) {
  return root == TRootKey::LocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

// What an opened key allows: querying values, or setting them.
enum class TRegAccess { Read, Write };

// A message box's icon and buttons: a warning or an information with OK; a confirmation
// is an information with OK and Cancel.
enum class TBoxKind { Warning, Information, Confirmation };
// The kind's name in lower case, as reports write it.
inline const char* BoxKindName(TBoxKind kind) {
  return kind == TBoxKind::Warning ? "warning" : kind == TBoxKind::Confirmation ? "confirmation" : "information";
}

// Windows file attribute bits.
constexpr std::uint32_t AttrReadOnly = 1;
constexpr std::uint32_t AttrHidden = 2;
constexpr std::uint32_t AttrSystem = 4;
constexpr std::uint32_t AttrVolumeLabel = 8;
constexpr std::uint32_t AttrDirectory = 16;
constexpr std::uint32_t AttrArchive = 32;
constexpr std::uint32_t AttrReparsePoint = 1024;

// The outcome of a registry read: a value that is not there differs from a read that failed,
// so that a list is never taken for empty and overwritten.
enum class TRegRead { Found, Missing, Failed };

// The outcome of an enumeration step: an entry, no (more) entries, or a failure. A folder
// that cannot be listed is not the same as an empty one.
enum class TFind { Entry, NoMore, Failed };

enum class TFileAccess { Read, ReadWrite };
enum class TFileShare { None, Read };                   // what other openers may do meanwhile
enum class TFileCreate { OpenExisting, CreateAlways };  // CreateAlways truncates an existing file

// What a string value stored from data holds, and so what a read of it gives: Windows adds
// the terminating zero that RegSetValueExA's caller left out (it looks at the byte after the
// data, which std::string keeps 0), and regedit imports strings with one.
inline std::string StoredString(const std::string& data) {
  return data.empty() || data.back() == '\0' ? data : data + '\0';
}

struct TFindEntry {
  std::string Name;          // the entry's own name, no folder
  std::uint32_t Attributes;  // the full attribute word, unmasked
};

class THost {
 public:
  virtual ~THost() = default;

  // Shows a modal box with the caption "Ferrowind Component Installer" and no owner.
  // True when the user chose OK; false for Cancel, closing the box, or a box that failed.
  virtual bool ShowMessage(const std::string& text, TBoxKind kind) = 0;

  // Opens an existing key; never creates one. On failure *key is 0 and nothing is held.
  // A key opened for Read cannot be set, one opened for Write cannot be queried.
  virtual bool RegOpen(TRootKey root, const std::string& path, TRegAccess access, THandle* key) = 0;
  // Reads a value's whole data, whatever its type or length, a string's terminating zero
  // included. Missing when the key has no such value, Failed for any other error; *data is
  // empty unless Found.
  virtual TRegRead RegQuery(THandle key, const std::string& name, std::string* data) = 0;
  // Stores these bytes as a string value, which Windows ends with a zero (StoredString).
  // On failure the value is as it was.
  virtual bool RegSet(THandle key, const std::string& name, const std::string& data) = 0;
  virtual void RegClose(THandle key) = 0;

  // Opens or creates a file. On failure *file is 0 and nothing was created or truncated.
  virtual bool FileOpen(const std::string& path, TFileAccess access, TFileShare share, TFileCreate create,
                        THandle* file) = 0;
  virtual bool FileSize(THandle file, std::uint64_t* size) = 0;
  // Reads up to count bytes at the current position; *got is 0 at the end of the file.
  virtual bool FileRead(THandle file, char* buffer, std::size_t count, std::size_t* got) = 0;
  // Writes at the current position; *written may fall short of count.
  virtual bool FileWrite(THandle file, const char* data, std::size_t count, std::size_t* written) = 0;
  // Forces written data to stable storage.
  virtual bool FileFlush(THandle file) = 0;
  virtual void FileClose(THandle file) = 0;

  // Enumerates the entries matching pattern: a folder path followed by "*.*", "*" or one
  // literal name. Every entry is delivered, "." and ".." included; filtering is the
  // caller's. NoMore when nothing matches (a missing folder or name), Failed for any other
  // error, a folder that cannot be searched for the one name included; *find is 0 unless
  // Entry.
  virtual TFind FindFirst(const std::string& pattern, THandle* find, TFindEntry* entry) = 0;
  // NoMore after the last entry; Failed when the listing broke off.
  virtual TFind FindNext(THandle find, TFindEntry* entry) = 0;
  virtual void FindClose(THandle find) = 0;

  virtual bool GetAttributes(const std::string& path, std::uint32_t* attributes) = 0;
  // 0 clears every attribute, so a read-only file becomes deletable.
  virtual bool SetAttributes(const std::string& path, std::uint32_t attributes) = 0;
  // Copies one file's data and permissions. With failIfExists false an existing writable
  // destination is overwritten; a read-only destination or a source that is not a regular
  // file fails. A failed copy may leave a partial destination, as Windows' copy does.
  virtual bool CopyFileTo(const std::string& source, const std::string& destination, bool failIfExists) = 0;
  // Creates one folder; fails when it exists or its parent does not.
  virtual bool MakeFolder(const std::string& path) = 0;
  virtual bool RemoveFile(const std::string& path) = 0;
  // Puts source in destination's place in one step, destination replaced, source gone; the
  // file keeps source's attributes. On failure both are as they were.
  virtual bool ReplaceWith(const std::string& source, const std::string& destination) = 0;

  // The running program's full path, with "\" separators.
  virtual std::string ProgramPath() = 0;
  // path made absolute against the current folder, as the file calls would take it; empty
  // when that fails.
  virtual std::string FullPath(const std::string& path) = 0;
  // Text in the code page the system runs programs in, as UTF-8: Windows' ANSI code page;
  // on POSIX, UTF-8 already, given back as it is.
  virtual std::string SystemTextAsUtf8(const std::string& text) = 0;
};

// The host of the system the program was built for. Defined by the one host file the
// build compiles into the program.
THost& SystemHost();

}  // namespace Ferrowind
