#include "Base/WindowsNames.h"

#include <algorithm>
#include <vector>

#include "Base/Text.h"

namespace Ferrowind {

std::string FoldedName(std::string_view s) {
  std::string folded(s);
  for (char& c : folded) c = FoldName(c);
  return folded;
}

bool NamesEqual(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return FoldName(x) == FoldName(y); });
}

std::string FoldedKeyPath(std::string_view path) {
  path = CString(path);
  while (path.size() > 1 && path.back() == '\\') path.remove_suffix(1);
  std::string folded;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (i > 1 && path[i] == '\\' && path[i - 1] == '\\') continue;
    folded += FoldName(path[i]);
  }
  return folded;
}

bool ListsBefore(std::string_view a, std::string_view b) {
  const std::string x = FoldedName(a), y = FoldedName(b);
  return x != y ? x < y : a < b;
}

bool WindowsPath(std::string_view path, TPathUse use, std::string* out) {
  out->clear();
  path = path.substr(0, path.find('\0'));
  // Written with the path's first separator: either is Windows' own, and a POSIX path stays
  // as its system writes it.
  const std::size_t first = path.find_first_of("\\/");
  const char separator = first == std::string_view::npos ? '\\' : path[first];
  const bool drive = path.size() >= 2 && path[1] == ':';
  std::string head(drive ? path.substr(0, 2) : std::string_view());  // a drive, a leading separator, or both
  if (drive) path.remove_prefix(2);
  if (!path.empty() && IsSeparator(path.front())) head += separator;
  std::vector<std::string_view> names;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= path.size(); ++i) {
    if (i < path.size() && !IsSeparator(path[i])) continue;
    std::string_view name = path.substr(start, i - start);
    start = i + 1;
    if (name == "..") {
      if (!names.empty() && names.back() != "..") {
        names.pop_back();
      } else if (head.empty()) {
        names.push_back(name);  // above a relative path's start: kept for the system to resolve
      }
      continue;
    }
    if (!name.empty() && name != ".") names.push_back(name);
  }
  // A name ending in one period loses it; the last name, unless a separator follows it, loses
  // every trailing period and blank.
  const bool endsInName = !path.empty() && !IsSeparator(path.back());
  for (std::size_t n = 0; n < names.size(); ++n) {
    std::string_view& name = names[n];
    if (n + 1 == names.size() && endsInName && name != "..") {
      while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.remove_suffix(1);
    } else if (name.size() > 1 && name.back() == '.' && name[name.size() - 2] != '.') {
      name.remove_suffix(1);
    }
  }
  if (!names.empty() && names.back().empty()) names.pop_back();
  for (std::size_t n = 0; n < names.size(); ++n) {
    const bool wildcardsAllowed = use == TPathUse::Pattern && n + 1 == names.size();
    for (const char c : names[n]) {
      const bool wildcard = c == '*' || c == '?';
      if (static_cast<unsigned char>(c) < 32 || std::string_view("<>\"|:").find(c) != std::string_view::npos ||
          (wildcard && !wildcardsAllowed)) {
        return false;
      }
    }
    if (n > 0) *out += separator;
    *out += names[n];
  }
  *out = head + *out;
  if (out->empty() && !path.empty()) *out = ".";  // "x\.." names the current folder
  return out->size() <= (use == TPathUse::NewFolder ? 247u : 259u);
}

bool NamesFolderOnly(std::string_view path) {
  path = CString(path);
  return !path.empty() && IsSeparator(path.back());
}

}  // namespace Ferrowind
