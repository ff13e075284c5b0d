// Plain byte-string helpers below everything else: the installer, its IDE target, the OS
// hosts and the checker all use these, and none is written twice. Strings are 8-bit bytes;
// there is no code-page conversion, and case is folded for the ASCII letters only (names of
// files and registry keys fold as Windows folds them: Base/WindowsNames.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Ferrowind {

// The control bytes of text files: the line ends and the byte 26 that ends a text.
constexpr char CR = 13;
constexpr char LF = 10;
constexpr char EndOfTextMark = 26;
// The lines of text, each ended by CR LF, CR or LF; a break at the very end adds no line, so
// empty text has none. Views into text.
std::vector<std::string_view> SplitLines(std::string_view text);

constexpr bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// A blank is any byte of code 32 or less (so NUL, tab, CR and LF too).
constexpr bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }
// Removes every blank from both ends.
std::string StripBlanks(std::string_view s);
// The same, as a view into s: for the hot paths that must not copy.
inline std::string_view StrippedView(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// a..z to A..Z; every other byte unchanged. The installer's own case fold: keywords, palette
// lists, help lines.
constexpr char FoldAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
// Every byte through FoldAscii; the length unchanged.
std::string ToUpperAscii(std::string_view s);
// Whether a and b are equal once both are folded. Inline: the reader asks it of every
// line of Setup.cfg, and most answers are decided by the lengths.
inline bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}
bool StartsWithIgnoringCase(std::string_view s, std::string_view prefix);
// The position, counted from 1, of needle's first occurrence in s, byte for byte; 0 when it
// does not occur or either is empty.
std::size_t FindSubstring(std::string_view needle, std::string_view s);

// The value of a hexadecimal digit in either case; -1 for any other byte.
int HexDigit(char c);
// The two hexadecimal digits of a byte, as capitals or as small letters.
std::string HexByte(unsigned char byte, bool capitals = true);

// With sep present: the stripped text before its first occurrence. Otherwise s unstripped.
std::string TextBefore(std::string_view s, char sep);
// With sep present: the stripped text of at most the first 1000 bytes after its first
// occurrence. Otherwise empty.
std::string TextAfter(std::string_view s, char sep);
// A decimal (optionally signed) or "$"-hexadecimal 32-bit integer after leading blanks;
// 0 for anything that is not wholly valid. Text after a zero byte is ignored.
std::int32_t ParseVersion(std::string_view s);
std::string DecimalText(std::int32_t n);

// s + "\" unless s is empty or already ends in "\".
std::string WithBackslash(std::string_view s);
// The folder part of a path: cut after its last "\", "/" or ":", so with the separator;
// empty for a bare name.
std::string FolderOf(std::string_view path);
// The last name of a path: what follows its last "\" or "/", once trailing ones are dropped.
std::string LastName(std::string_view path);

}  // namespace Ferrowind
