// Byte-string helpers shared by the whole installer. Strings are 8-bit bytes; there is no
// code-page conversion and equality is exact byte equality.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace Ferrowind {

// Removes every byte of code 32 or less from both ends (so NUL, tab, CR and LF too).
std::string StripBlanks(std::string_view s);
// The same, as a view into s: for the hot paths that must not copy.
inline std::string_view StrippedView(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= 32) s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= 32) s.remove_suffix(1);
  return s;
}
// Whether s equals upper (already upper case) once a..z in s are taken as A..Z.
inline bool EqualsUpperAscii(std::string_view s, std::string_view upper) {
  if (s.size() != upper.size()) return false;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if ((c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c) != upper[i]) return false;
  }
  return true;
}
// a..z to A..Z; every other byte and the length unchanged.
std::string ToUpperAscii(std::string_view s);
// 1-based position of the leftmost occurrence of needle in s; 0 when absent or when either
// is empty.
std::size_t FindSubstring(std::string_view needle, std::string_view s);
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

}  // namespace Ferrowind
