// The Windows host: each operation is one ANSI Win32 call (or a short loop around one).
// The A functions are named explicitly, so <windows.h>'s A/W macros never decide for us.
#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdlib>
#include <exception>
#include <limits>
#include <string>

#include "Platform/Host.h"

// The GUI program has no console, so libstdc++'s verbose terminate handler, which prints
// the demangled type of an uncaught exception to stderr, would print to nowhere; it also
// brings the demangler and a printf along, a quarter of Setup.exe. This definition takes
// its place in the link. Exceptions never leave the help file edits, so it only ever ends
// a program that has a bug.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

namespace Ferrowind {

namespace {

constexpr const char* Caption = "Ferrowind Component Installer";

// The 32-bit IDEs register themselves in the 32-bit registry view; a 64-bit build must
// look there too, or it would see neither them nor their users' settings.
constexpr DWORD RegistryView() {
  if constexpr (sizeof(void*) == 8) {
    return KEY_WOW64_32KEY;
  } else {
    return 0;
  }
}

THandle ToHandle(HANDLE handle) { return reinterpret_cast<THandle>(handle); }

HANDLE FromHandle(THandle handle) { return reinterpret_cast<HANDLE>(handle); }

HKEY FromKey(THandle key) { return reinterpret_cast<HKEY>(key); }

// ReadFile and WriteFile take a DWORD count; a larger request is served in part, which
// the interface allows.
DWORD ClampCount(std::size_t count) {
  constexpr std::size_t Largest = std::numeric_limits<DWORD>::max();
  return static_cast<DWORD>(count < Largest ? count : Largest);
}

// Windows refuses to open, copy over or replace a read-only file for writing; Wine run by
// root does all three, since root may write any Unix file. Asking first keeps the file on both.
bool IsReadOnlyFile(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

void FillEntry(const WIN32_FIND_DATAA& data, TFindEntry* entry) {
  entry->Name = data.cFileName;
  entry->Attributes = data.dwFileAttributes;
}

class THostWin32 final : public THost {
 public:
  bool ShowMessage(const std::string& text, TBoxKind kind) override {
    const UINT style = kind == TBoxKind::Warning       ? MB_ICONWARNING | MB_OK
                       : kind == TBoxKind::Information ? MB_ICONINFORMATION | MB_OK
                                                       : MB_ICONINFORMATION | MB_OKCANCEL;
    return MessageBoxA(nullptr, text.c_str(), Caption, style) == IDOK;
  }

  bool RegOpen(TRootKey root, const std::string& path, TRegAccess access, THandle* key) override {
    *key = 0;
    HKEY rootKey = root == TRootKey::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    const REGSAM mask = access == TRegAccess::Read ? KEY_READ : KEY_WRITE;
    HKEY opened = nullptr;
    if (RegOpenKeyExA(rootKey, path.c_str(), 0, mask | RegistryView(), &opened) != ERROR_SUCCESS || opened == nullptr) {
      return false;
    }
    *key = reinterpret_cast<THandle>(opened);
    return true;
  }

  TRegRead RegQuery(THandle key, const std::string& name, std::string* data) override {
    data->clear();
    DWORD size = 0;
    LONG status = RegQueryValueExA(FromKey(key), name.c_str(), nullptr, nullptr, nullptr, &size);
    // The value may grow between asking its size and reading it; ask again until it fits.
    std::string buffer;
    while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
      buffer.resize(size);
      DWORD got = size;
      status =
          RegQueryValueExA(FromKey(key), name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.data()), &got);
      if (status == ERROR_SUCCESS) {
        buffer.resize(got);
        *data = std::move(buffer);
        return TRegRead::Found;
      }
      if (status == ERROR_MORE_DATA && got <= size)
        size += 256;
      else
        size = got;
    }
    return status == ERROR_FILE_NOT_FOUND ? TRegRead::Missing : TRegRead::Failed;
  }

  bool RegSet(THandle key, const std::string& name, const std::string& data) override {
    if (data.size() > std::numeric_limits<DWORD>::max()) return false;
    return RegSetValueExA(FromKey(key), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.data()),
                          static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
  }

  void RegClose(THandle key) override { RegCloseKey(FromKey(key)); }

  bool FileOpen(const std::string& path, TFileAccess access, TFileShare share, TFileCreate create,
                THandle* file) override {
    *file = 0;
    const DWORD desired = access == TFileAccess::Read ? GENERIC_READ : (GENERIC_READ | GENERIC_WRITE);
    const DWORD sharing = share == TFileShare::Read ? FILE_SHARE_READ : 0;
    const DWORD disposition = create == TFileCreate::OpenExisting ? OPEN_EXISTING : CREATE_ALWAYS;
    if ((access == TFileAccess::ReadWrite || create == TFileCreate::CreateAlways) && IsReadOnlyFile(path)) return false;
    HANDLE handle = CreateFileA(path.c_str(), desired, sharing, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr) return false;
    *file = ToHandle(handle);
    return true;
  }

  bool FileSize(THandle file, std::uint64_t* size) override {
    DWORD high = 0;
    const DWORD low = GetFileSize(FromHandle(file), &high);
    // INVALID_FILE_SIZE is also a valid low word; only the error code tells them apart.
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return false;
    *size = (static_cast<std::uint64_t>(high) << 32) | low;
    return true;
  }

  bool FileRead(THandle file, char* buffer, std::size_t count, std::size_t* got) override {
    DWORD read = 0;
    const BOOL ok = ReadFile(FromHandle(file), buffer, ClampCount(count), &read, nullptr);
    *got = read;
    return ok != FALSE;
  }

  bool FileWrite(THandle file, const char* data, std::size_t count, std::size_t* written) override {
    DWORD wrote = 0;
    const BOOL ok = WriteFile(FromHandle(file), data, ClampCount(count), &wrote, nullptr);
    *written = wrote;
    return ok != FALSE;
  }

  bool FileFlush(THandle file) override { return FlushFileBuffers(FromHandle(file)) != FALSE; }

  void FileClose(THandle file) override { CloseHandle(FromHandle(file)); }

  // Nothing to list and a listing that failed report different errors; only the
  // first is an empty result.
  static TFind NothingOrFailure() {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_NO_MORE_FILES
               ? TFind::NoMore
               : TFind::Failed;
  }

  TFind FindFirst(const std::string& pattern, THandle* find, TFindEntry* entry) override {
    *find = 0;
    WIN32_FIND_DATAA data{};
    HANDLE handle = FindFirstFileA(pattern.c_str(), &data);
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr) return NothingOrFailure();
    *find = ToHandle(handle);
    FillEntry(data, entry);
    return TFind::Entry;
  }

  TFind FindNext(THandle find, TFindEntry* entry) override {
    WIN32_FIND_DATAA data{};
    if (FindNextFileA(FromHandle(find), &data) == FALSE) return NothingOrFailure();
    FillEntry(data, entry);
    return TFind::Entry;
  }

  void FindClose(THandle find) override { ::FindClose(FromHandle(find)); }

  bool GetAttributes(const std::string& path, std::uint32_t* attributes) override {
    const DWORD found = GetFileAttributesA(path.c_str());
    if (found == INVALID_FILE_ATTRIBUTES) return false;
    *attributes = found;
    return true;
  }

  bool SetAttributes(const std::string& path, std::uint32_t attributes) override {
    return SetFileAttributesA(path.c_str(), attributes) != FALSE;
  }

  bool CopyFileTo(const std::string& source, const std::string& destination, bool failIfExists) override {
    if (IsReadOnlyFile(destination)) return false;
    return CopyFileA(source.c_str(), destination.c_str(), failIfExists ? TRUE : FALSE) != FALSE;
  }

  bool MakeFolder(const std::string& path) override { return CreateDirectoryA(path.c_str(), nullptr) != FALSE; }

  bool RemoveFile(const std::string& path) override { return DeleteFileA(path.c_str()) != FALSE; }

  bool ReplaceWith(const std::string& source, const std::string& destination) override {
    // Wine moves a folder over a file, and the file is lost; only a file takes another's place.
    const DWORD from = GetFileAttributesA(source.c_str());
    if (from == INVALID_FILE_ATTRIBUTES || (from & FILE_ATTRIBUTE_DIRECTORY) != 0 || IsReadOnlyFile(destination)) {
      return false;
    }
    // A rename within one volume is atomic; write-through makes it durable before we return.
    return MoveFileExA(source.c_str(), destination.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) !=
           FALSE;
  }

  std::string FullPath(const std::string& path) override {
    std::string full(MAX_PATH, '\0');
    DWORD length = GetFullPathNameA(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length >= full.size()) {  // the size it needs, its NUL included
      full.resize(length);
      length = GetFullPathNameA(path.c_str(), length, full.data(), nullptr);
    }
    if (length == 0 || length >= full.size()) return std::string();
    full.resize(length);
    return full;
  }

  std::string SystemTextAsUtf8(const std::string& text) override {
    if (text.empty() || text.size() > 0x10000000) return text;
    const int size = static_cast<int>(text.size());
    std::wstring wide(text.size(), L'\0');  // a byte gives at most one UTF-16 unit
    const int units = MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), size);
    if (units <= 0) return text;
    std::string utf8(static_cast<std::size_t>(units) * 3, '\0');
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, utf8.data(), units * 3, nullptr, nullptr);
    if (bytes <= 0) return text;
    utf8.resize(static_cast<std::size_t>(bytes));
    return utf8;
  }

  std::string ProgramPath() override {
    std::string path(MAX_PATH, '\0');
    for (;;) {
      const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
      if (length == 0) return std::string();
      // A full buffer means the path was cut (Windows XP does not even say so).
      if (length < path.size()) {
        path.resize(length);
        return path;
      }
      if (path.size() >= 0x8000) return std::string();  // beyond any Windows path length
      path.resize(path.size() * 2);
    }
  }
};

}  // namespace

THost& SystemHost() {
  static THostWin32 host;
  return host;
}

}  // namespace Ferrowind
