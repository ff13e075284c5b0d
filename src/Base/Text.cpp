#include "Base/Text.h"

#include <algorithm>

namespace Ferrowind {

namespace {
constexpr std::size_t MaxValueLength = 1000;
}  // namespace

std::string StripBlanks(std::string_view s) { return std::string(StrippedView(s)); }

std::string ToUpperAscii(std::string_view s) {
  std::string result(s);
  for (char& c : result) c = FoldAscii(c);
  return result;
}

bool StartsWithIgnoringCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && EqualIgnoringCase(s.substr(0, prefix.size()), prefix);
}

std::size_t FindSubstring(std::string_view needle, std::string_view s) {
  if (needle.empty() || s.empty() || needle.size() > s.size()) return 0;
  const std::size_t at = s.find(needle);
  return at == std::string_view::npos ? 0 : at + 1;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  const char upper = FoldAscii(c);
  if (upper >= 'A' && upper <= 'F') return upper - 'A' + 10;
  return -1;
}

std::string HexByte(unsigned char byte, bool capitals) {
  const char* digits = capitals ? "0123456789ABCDEF" : "0123456789abcdef";
  return {digits[byte >> 4], digits[byte & 15]};
}

std::string TextBefore(std::string_view s, char sep) {
  const std::size_t at = s.find(sep);
  if (at == std::string_view::npos) return std::string(s);
  return StripBlanks(s.substr(0, at));
}

std::string TextAfter(std::string_view s, char sep) {
  const std::size_t at = s.find(sep);
  if (at == std::string_view::npos) return std::string();
  return StripBlanks(s.substr(at + 1, MaxValueLength));
}

std::int32_t ParseVersion(std::string_view s) {
  s = s.substr(0, s.find('\0'));
  std::size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  if (i == s.size()) return 0;

  if (s[i] == '$') {
    ++i;
    if (i == s.size()) return 0;
    std::uint64_t value = 0;
    for (; i < s.size(); ++i) {
      const int digit = HexDigit(s[i]);
      if (digit < 0) return 0;
      value = value * 16 + static_cast<unsigned>(digit);
      if (value > 0xFFFFFFFFull) return 0;
    }
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
  }

  bool negative = false;
  if (s[i] == '+' || s[i] == '-') {
    negative = s[i] == '-';
    ++i;
  }
  if (i == s.size()) return 0;
  std::int64_t value = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return 0;
    value = value * 10 + (s[i] - '0');
    if (value > 2147483647) return 0;
  }
  return static_cast<std::int32_t>(negative ? -value : value);
}

std::string DecimalText(std::int32_t n) { return std::to_string(n); }

std::string WithBackslash(std::string_view s) {
  std::string result(s);
  if (!result.empty() && result.back() != '\\') result += '\\';
  return result;
}

std::string FolderOf(std::string_view path) {
  const std::size_t cut = path.find_last_of("\\/:");
  return cut == std::string_view::npos ? std::string() : std::string(path.substr(0, cut + 1));
}

std::string LastName(std::string_view path) {
  while (path.size() > 1 && IsSeparator(path.back())) path.remove_suffix(1);
  const std::size_t cut = path.find_last_of("\\/");
  return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  // The next CR and the next LF are each searched for with the library's fast search, and
  // searched again only once passed.
  std::size_t nextCr = text.find(CR);
  std::size_t nextLf = text.find(LF);
  std::size_t start = 0;
  while (start < text.size()) {
    if (nextCr < start) nextCr = text.find(CR, start);
    if (nextLf < start) nextLf = text.find(LF, start);
    const std::size_t end = std::min(nextCr, nextLf);
    if (end == std::string_view::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + (text[end] == CR && end + 1 < text.size() && text[end + 1] == LF ? 2 : 1);
  }
  return lines;
}

}  // namespace Ferrowind
