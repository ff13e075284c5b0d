#include "Platform/PosixRegistry.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <utility>

#include "Base/Text.h"
#include "Base/WindowsNames.h"
#include "Platform/PosixPaths.h"

namespace Ferrowind {

namespace {

struct TLine {
  std::size_t Begin, ContentEnd, End;
};

// Lines end at LF or CR LF; a lone CR is an ordinary byte of its line.
std::vector<TLine> SplitLines(const std::string& text) {
  std::vector<TLine> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t lf = text.find('\n', pos);
    if (lf == std::string::npos) {
      // A CR ending the text ends its line as it would before an LF, so that adding a line
      // after it never changes what the line says.
      lines.push_back({pos, text.back() == '\r' ? text.size() - 1 : text.size(), text.size()});
      break;
    }
    std::size_t contentEnd = (lf > pos && text[lf - 1] == '\r') ? lf - 1 : lf;
    lines.push_back({pos, contentEnd, lf + 1});
    pos = lf + 1;
  }
  return lines;
}

bool IsSpaceOrTab(char c) { return c == ' ' || c == '\t'; }

std::string TrimBlanks(const std::string& s) {
  std::size_t begin = 0, end = s.size();
  while (begin < end && IsSpaceOrTab(s[begin])) ++begin;
  while (end > begin && IsSpaceOrTab(s[end - 1])) --end;
  return s.substr(begin, end - begin);
}

// Reads a quoted string starting at s[*pos] == '"'. Only \\ and \" are escapes; any other
// backslash is kept, so hand-written paths such as "C:\Delphi" read as meant.
bool ReadQuoted(const std::string& s, std::size_t* pos, std::string* out) {
  std::size_t i = *pos + 1;
  out->clear();
  while (i < s.size()) {
    char c = s[i];
    if (c == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) {
      out->push_back(s[i + 1]);
      i += 2;
    } else if (c == '"') {
      *pos = i + 1;
      return true;
    } else {
      out->push_back(c);
      ++i;
    }
  }
  return false;
}

std::string Escape(const std::string& s) {
  std::string out;
  out.reserve(s.size() + 2);
  for (char c : s) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  return out;
}

// Splits `"name"=rest` or `@=rest`; false when the line is not a value line.
bool SplitValueLine(const std::string& s, std::string* name, std::string* rest) {
  std::size_t pos = 0;
  if (s[0] == '@') {
    name->clear();
    pos = 1;
  } else if (!ReadQuoted(s, &pos, name)) {
    return false;
  }
  while (pos < s.size() && IsSpaceOrTab(s[pos])) ++pos;
  if (pos == s.size() || s[pos] != '=') return false;
  ++pos;
  while (pos < s.size() && IsSpaceOrTab(s[pos])) ++pos;
  *rest = s.substr(pos);
  return true;
}

// "hex:" or "hex(n):"; *listStart is where the byte list begins.
bool IsHexData(const std::string& rest, std::size_t* listStart) {
  if (StartsWithIgnoringCase(rest, "hex:")) {
    *listStart = 4;
    return true;
  }
  if (!StartsWithIgnoringCase(rest, "hex(")) return false;
  std::size_t i = 4;
  while (i < rest.size() && HexDigit(rest[i]) >= 0) ++i;
  if (i == 4 || rest.compare(i, 2, "):") != 0) return false;
  *listStart = i + 2;
  return true;
}

bool DecodeHexList(const std::string& list, std::string* data) {
  std::size_t pos = 0;
  while (pos <= list.size()) {
    std::size_t comma = list.find(',', pos);
    if (comma == std::string::npos) comma = list.size();
    const std::string token = TrimBlanks(list.substr(pos, comma - pos));
    if (!token.empty()) {
      if (token.size() > 2) return false;
      int value = 0;
      for (char c : token) {
        if (HexDigit(c) < 0) return false;
        value = value * 16 + HexDigit(c);
      }
      data->push_back(static_cast<char>(value));
    }
    pos = comma + 1;
  }
  return true;
}

bool DecodeDword(const std::string& digits, std::string* data) {
  if (digits.empty() || digits.size() > 8) return false;
  std::uint32_t value = 0;
  for (char c : digits) {
    if (HexDigit(c) < 0) return false;
    value = value * 16 + static_cast<std::uint32_t>(HexDigit(c));
  }
  for (int i = 0; i < 4; ++i) data->push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  return true;
}

bool Storable(std::string_view s) { return s.find_first_of(std::string("\r\n\0", 3)) == std::string::npos; }

// A string that a quoted string cannot hold (a CR, an LF or a NUL) is written as the bytes of
// a string value, hex(1), which REGEDIT4 readers take as Windows stored it.
std::string ValueLine(const std::string& name, const std::string& data) {
  std::string line = (name.empty() ? std::string("@") : "\"" + Escape(name) + "\"") + "=";
  if (Storable(data)) return line + "\"" + Escape(data) + "\"";
  line += "hex(1):";
  for (const char c : StoredString(data)) {
    const auto byte = static_cast<unsigned char>(c);
    line += (line.back() == ':' ? "" : ",") + HexByte(byte, false);
  }
  return line;
}

}  // namespace

std::string TRegistryFile::KeyName(TRootKey root, const std::string& path) {
  const std::string key = FoldedKeyPath(path);
  return FoldedName(RootKeyName(root)) + (key.empty() ? "" : "\\" + key);
}

bool TRegistryFile::Parse(std::string text) {
  FText = std::move(text);
  FRecords.clear();
  const std::vector<TLine> lines = SplitLines(FText);
  auto content = [&](const TLine& line) { return FText.substr(line.Begin, line.ContentEnd - line.Begin); };
  FValid = !lines.empty() && TrimBlanks(content(lines[0])) == "REGEDIT4";
  if (!FValid) return false;

  std::size_t section = NoSection;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    TRecord record;
    record.Begin = lines[i].Begin;
    record.End = lines[i].End;
    record.Section = section;
    const std::string s = TrimBlanks(content(lines[i]));
    record.Blank = s.empty();
    std::string rest;
    if (i == 0 || s.empty()) {
      // the header and blank lines
    } else if (s.front() == '[' && s.back() == ']') {
      record.Kind = TKind::Section;
      record.Key = FoldedKeyPath(s.substr(1, s.size() - 2));
      section = FRecords.size();
      record.Section = section;
    } else if (section != NoSection && (s[0] == '"' || s[0] == '@') && SplitValueLine(s, &record.Name, &rest)) {
      record.Kind = TKind::Value;
      std::size_t pos = 0;
      if (!rest.empty() && rest.front() == '"' && ReadQuoted(rest, &pos, &record.Data) && pos == rest.size()) {
        record.DataKind = TData::String;
      } else if (StartsWithIgnoringCase(rest, "dword:") && DecodeDword(rest.substr(6), &record.Data)) {
        record.DataKind = TData::Dword;
      } else if (IsHexData(rest, &pos)) {
        std::string list = rest.substr(pos);
        // A trailing "\" continues the byte list on the next line; a blank line or a
        // section header never does, so a broken value cannot swallow a section.
        while (!list.empty() && list.back() == '\\' && i + 1 < lines.size()) {
          const std::string next = TrimBlanks(content(lines[i + 1]));
          if (next.empty() || next.front() == '[') break;
          list.pop_back();
          list += "," + next;
          ++i;
        }
        if (!list.empty() && list.back() == '\\') list.pop_back();
        record.End = lines[i].End;
        record.DataKind = DecodeHexList(list, &record.Data) ? TData::Hex : TData::Invalid;
      }
      if (record.DataKind == TData::Invalid) record.Data.clear();
    }
    FRecords.push_back(std::move(record));
  }
  return true;
}

bool TRegistryFile::KeyExists(TRootKey root, const std::string& path) const {
  const std::string key = KeyName(root, path);
  for (const TRecord& record : FRecords) {
    if (record.Kind != TKind::Section) continue;
    if (record.Key == key || record.Key.compare(0, key.size() + 1, key + "\\") == 0) return true;
  }
  return false;
}

std::size_t TRegistryFile::LastValue(const std::string& key, std::string_view name) const {
  std::size_t found = NoSection;
  for (std::size_t i = 0; i < FRecords.size(); ++i) {
    const TRecord& record = FRecords[i];
    if (record.Kind == TKind::Value && FRecords[record.Section].Key == key && NamesEqual(record.Name, name)) {
      found = i;
    }
  }
  return found;
}

TRegRead TRegistryFile::Query(TRootKey root, const std::string& path, const std::string& name, std::string* data,
                              bool* isString) const {
  data->clear();
  if (!FValid) return TRegRead::Failed;
  const std::size_t value = LastValue(KeyName(root, path), CString(name));
  if (value == NoSection) return TRegRead::Missing;
  if (FRecords[value].DataKind == TData::Invalid) return TRegRead::Failed;
  *data = FRecords[value].Data;
  if (isString != nullptr) *isString = FRecords[value].DataKind == TData::String;
  return TRegRead::Found;
}

std::string TRegistryFile::LineEnd() const {
  const std::size_t lf = FText.find('\n');
  return (lf != std::string::npos && lf > 0 && FText[lf - 1] == '\r') ? "\r\n" : "\n";
}

bool TRegistryFile::SetString(TRootKey root, const std::string& path, const std::string& given,
                              const std::string& data) {
  const std::string name(CString(given));
  if (!FValid || !Storable(name) || !KeyExists(root, path)) return false;
  const std::string key = KeyName(root, path);
  std::string text = FText;

  if (const std::size_t value = LastValue(key, name); value != NoSection) {
    const TRecord& record = FRecords[value];
    std::string ending;
    if (record.End > record.Begin && FText[record.End - 1] == '\n') {
      ending = (record.End - record.Begin >= 2 && FText[record.End - 2] == '\r') ? "\r\n" : "\n";
    }
    text.replace(record.Begin, record.End - record.Begin, ValueLine(record.Name, data) + ending);
    return Parse(std::move(text));
  }

  std::size_t section = NoSection;
  for (std::size_t i = 0; i < FRecords.size(); ++i) {
    if (FRecords[i].Kind == TKind::Section && FRecords[i].Key == key) section = i;
  }
  if (section != NoSection) {
    std::size_t after = FRecords[section].End;
    for (std::size_t i = section + 1; i < FRecords.size() && FRecords[i].Kind != TKind::Section; ++i) {
      if (!FRecords[i].Blank) after = FRecords[i].End;
    }
    // A last line without a line end keeps the file without one at its end.
    // A byte list ending in "\" would take the new line for its continuation; a blank
    // line between never continues one.
    std::size_t contentEnd = after;
    while (contentEnd > 0 &&
           (text[contentEnd - 1] == '\n' || text[contentEnd - 1] == '\r' || IsSpaceOrTab(text[contentEnd - 1]))) {
      --contentEnd;
    }
    const std::string gap = contentEnd > 0 && text[contentEnd - 1] == '\\' ? LineEnd() : std::string();
    if (text[after - 1] != '\n') {
      // A CR already there only lacks its LF.
      text.insert(after, (text[after - 1] == '\r' ? std::string("\n") : LineEnd()) + gap + ValueLine(name, data));
    } else {
      text.insert(after, gap + ValueLine(name, data) + LineEnd());
    }
    return Parse(std::move(text));
  }

  // Only keys below name it: the key gets a section of its own at the end.
  std::string added;
  if (text.back() != '\n') added += text.back() == '\r' ? std::string("\n") : LineEnd();
  if (!FRecords.back().Blank) added += LineEnd();
  added += std::string("[") + RootKeyName(root);
  if (!CString(path).empty()) added += "\\" + std::string(CString(path));
  added += "]" + LineEnd() + ValueLine(name, data) + LineEnd();
  return Parse(text + added);
}

std::string RegistryFilePath() {
  const char* configured = std::getenv("FERROWIND_REGISTRY");
  if (configured != nullptr && *configured != '\0') return configured;
  std::string home;
  if (const char* env = std::getenv("HOME"); env != nullptr && *env != '\0') {
    home = env;
  } else if (const passwd* user = getpwuid(getuid()); user != nullptr && user->pw_dir != nullptr) {
    home = user->pw_dir;
  }
  return home + "/.ferrowind/registry.reg";
}

TRegLoad LoadRegistryFile(const std::string& path, TRegistryFile* file) {
  // O_NONBLOCK: a FIFO put in the file's place must not hang the installer.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    if (errno != ENOENT) return TRegLoad::Unreadable;
    *file = TRegistryFile();
    return TRegLoad::Loaded;
  }
  struct stat info {};
  std::string text;
  bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  if (ok) {
    text.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
      const ssize_t got = read(fd, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) ok = false;
      if (got <= 0) break;
      text.append(buffer, static_cast<std::size_t>(got));
    }
  }
  close(fd);
  if (!ok) return TRegLoad::Unreadable;
  return file->Parse(std::move(text)) ? TRegLoad::Loaded : TRegLoad::NotRegedit;
}

bool SaveFileAtomically(const std::string& path, const std::string& text) {
  // Replace the file a symbolic link points to, not the link itself.
  std::string target = path;
  struct stat info {};
  if (lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
    char* real = realpath(path.c_str(), nullptr);
    if (real == nullptr) return false;
    target = real;
    std::free(real);
  }
  mode_t mode = 0644;
  if (stat(target.c_str(), &info) == 0) {
    // Decided from the mode, not by access(2): root may write anything, Windows refuses a
    // read-only file to everyone.
    if ((info.st_mode & S_IWUSR) == 0) return false;
    mode = info.st_mode & 07777;
  }

  std::string temp = target + ".XXXXXX";
  const int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return false;
  std::size_t done = 0;
  bool ok = WriteAll(fd, text.data(), text.size(), &done);
  ok = ok && fchmod(fd, mode) == 0 && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  ok = ok && rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) {
    unlink(temp.c_str());
    return false;
  }
  // The rename is done; syncing the folder only makes it durable, so its outcome is moot.
  SyncFolderOf(target);
  return true;
}

}  // namespace Ferrowind
