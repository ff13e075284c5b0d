// Windows' own rules for file and registry names, which every host of this system follows:
// the system's Win32 calls apply them, and the POSIX emulation and the in-memory model apply
// them here. Names are bytes in code page 1252, the ANSI code page of western Windows.
#pragma once

#include <string>
#include <string_view>

namespace Ferrowind {

// Windows' case fold of one byte of a name in code page 1252: a..z, the accented small
// letters, and š œ ž ÿ become their capitals; every other byte stays.
constexpr char FoldName(char c) {
  const auto b = static_cast<unsigned char>(c);
  if ((b >= 'a' && b <= 'z') || (b >= 0xE0 && b <= 0xFE && b != 0xF7)) return static_cast<char>(b - 32);
  if (b == 0x9A || b == 0x9C || b == 0x9E) return static_cast<char>(b - 16);
  return b == 0xFF ? static_cast<char>(0x9F) : c;
}
// What a Win32 call sees of a string it takes as a C string: the bytes before the first NUL.
inline std::string_view CString(std::string_view s) { return s.substr(0, s.find('\0')); }

// Every byte through FoldName.
std::string FoldedName(std::string_view s);
bool NamesEqual(std::string_view a, std::string_view b);
// A registry key's path below its root as Windows compares it: cut at a NUL, a run of "\"
// within it one "\", trailing ones dropped, folded; a leading "\" stays, naming no key. A
// value name keeps every byte but its case: FoldedName(CString(name)).
std::string FoldedKeyPath(std::string_view path);
// Windows' listing order: by folded bytes, then (for names equal but for case) by bytes.
bool ListsBefore(std::string_view a, std::string_view b);

// What a path names to the file calls. A file or folder: at most 259 bytes, as the ANSI calls
// allow; a folder to create: at most 247. A search pattern may hold "*" and "?" in its last
// name, as a file may not.
enum class TPathUse { File, NewFolder, Pattern };

// The path Windows opens for path: cut at a NUL; "/" and "\" both separators, and a run of
// them one, all written as the first one; "." dropped and ".." taking the name before it
// away, in the text alone, also through a folder that is not there; then a name ending in
// one period loses it, and the last name every trailing period and blank; a leading
// separator or drive kept, trailing separators dropped. False, for a name Windows refuses:
// one holding a control byte or one of  < > " | * ? (but for a pattern's wildcards) or ":"
// (but for a drive), or a path beyond the length its use allows.
bool WindowsPath(std::string_view path, TPathUse use, std::string* out);
// Whether path ends in a separator, which WindowsPath drops: it then names a folder, never a
// file, and a search for it finds nothing.
bool NamesFolderOnly(std::string_view path);

}  // namespace Ferrowind
