// Arbitrary text as the POSIX host's registry file: parsed, one string value set, and the
// rewritten text checked. The value then reads back as set (also from a fresh parse), any
// other value reads as before, and every line of the old text survives byte for byte
// except the lines of the value that was replaced; what is added is only that value's
// line, and a section header and blank line when the key gets a section of its own.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <string_view>
#include <vector>

#include "Base/Text.h"
#include "FuzzCheck.h"
#include "platform/PosixRegistry.h"

namespace {

using namespace Ferrowind;

std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t lf = text.find('\n');
    const std::size_t length = lf == std::string_view::npos ? text.size() : lf + 1;
    lines.push_back(text.substr(0, length));
    text.remove_prefix(length);
  }
  return lines;
}

std::string_view Content(std::string_view line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
  while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
  return line;
}

// The keys the text's sections name, as root and path.
std::vector<std::pair<TRootKey, std::string>> SectionKeys(std::string_view text) {
  std::vector<std::pair<TRootKey, std::string>> keys;
  for (std::string_view line : Lines(text)) {
    line = Content(line);
    if (line.size() < 2 || line.front() != '[' || line.back() != ']') continue;
    line = line.substr(1, line.size() - 2);
    for (const auto& [root, prefix] : {std::pair{TRootKey::LocalMachine, std::string_view("HKEY_LOCAL_MACHINE")},
                                       std::pair{TRootKey::CurrentUser, std::string_view("HKEY_CURRENT_USER")}}) {
      if (!StartsWithIgnoringCase(line, prefix)) continue;
      std::string_view path = line.substr(prefix.size());
      if (!path.empty() && path.front() != '\\') continue;
      if (!path.empty()) path.remove_prefix(1);
      keys.emplace_back(root, std::string(path));
    }
  }
  return keys;
}

bool Storable(const std::string& s) { return s.find_first_of(std::string("\r\n\0", 3)) == std::string::npos; }

void CheckLinesSurvive(const std::string& before, const std::string& after) {
  const std::vector<std::string_view> old = Lines(before);
  const std::vector<std::string_view> now = Lines(after);
  std::size_t prefix = 0;
  while (prefix < old.size() && prefix < now.size() && old[prefix] == now[prefix]) ++prefix;
  std::size_t suffix = 0;
  while (suffix + prefix < old.size() && suffix + prefix < now.size() &&
         old[old.size() - 1 - suffix] == now[now.size() - 1 - suffix]) {
    ++suffix;
  }
  std::vector<std::string_view> removed(old.begin() + static_cast<std::ptrdiff_t>(prefix),
                                        old.end() - static_cast<std::ptrdiff_t>(suffix));
  std::vector<std::string_view> added(now.begin() + static_cast<std::ptrdiff_t>(prefix),
                                      now.end() - static_cast<std::ptrdiff_t>(suffix));
  // A last line without a line end may gain one, and nothing else.
  if (!removed.empty() && removed.back().back() != '\n' && prefix + removed.size() == old.size()) {
    const std::string_view unended = removed.back();
    bool kept = false;
    for (std::size_t i = 0; i < added.size() && !kept; ++i) {
      if (added[i].substr(0, unended.size()) == unended && Content(added[i]) == Content(unended) &&
          added[i].size() > unended.size()) {
        added.erase(added.begin() + static_cast<std::ptrdiff_t>(i));
        kept = true;
      }
    }
    if (kept) removed.pop_back();
  }
  // What is removed is one value: its line and the continuation lines of its byte list.
  for (std::size_t i = 0; i < removed.size(); ++i) {
    const std::string_view content = Content(removed[i]);
    if (i == 0) {
      Require(!content.empty() && (content.front() == '"' || content.front() == '@'), "only a value line is replaced");
    } else {
      const std::string_view previous = Content(removed[i - 1]);
      Require(!previous.empty() && previous.back() == '\\', "only the value's continuation lines go with it");
    }
  }
  std::size_t values = 0;
  for (const std::string_view line : added) {
    const std::string_view content = Content(line);
    if (content.empty() || (content.front() == '[' && content.back() == ']')) continue;
    Require(content.front() == '"' || content.front() == '@', "only a value line, a header or a blank line is added");
    ++values;
  }
  Require(values <= 1, "at most one value line is added");
  Require(removed.empty() || values == 1, "a replaced value is written back");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const bool localMachine = input.ConsumeBool();
  const std::uint8_t keyPick = input.ConsumeIntegral<std::uint8_t>();
  const std::string name = input.ConsumeRandomLengthString(32);
  const std::string other = input.ConsumeRandomLengthString(32);
  const std::string value = input.ConsumeRandomLengthString(64);
  std::string path = input.ConsumeRandomLengthString(64);
  const std::string text = input.ConsumeRemainingBytesAsString();

  TRegistryFile file;
  const bool valid = file.Parse(text);
  Require(file.Text() == text, "parsing keeps the text");
  TRootKey root = localMachine ? TRootKey::LocalMachine : TRootKey::CurrentUser;
  const auto keys = SectionKeys(text);
  if (!keys.empty() && keyPick % (keys.size() + 1) < keys.size()) {
    root = keys[keyPick % (keys.size() + 1)].first;
    path = keys[keyPick % (keys.size() + 1)].second;
  }

  std::string otherBefore;
  const TRegRead otherRead = file.Query(root, path, other, &otherBefore);
  const bool keyExists = file.KeyExists(root, path);
  const bool set = file.SetString(root, path, name, value);
  Require(set == (valid && keyExists && Storable(name) && Storable(value)),
          "set exactly when storable under an existing key");
  if (!set) {
    Require(file.Text() == text, "a refused set changes nothing");
    return 0;
  }

  std::string got;
  Require(file.Query(root, path, name, &got) == TRegRead::Found && got == value, "the value reads back as set");
  TRegistryFile fresh;
  Require(fresh.Parse(file.Text()), "the rewritten text is a registry file");
  Require(fresh.Query(root, path, name, &got) == TRegRead::Found && got == value, "the value reads back from the text");
  Require(fresh.KeyExists(root, path), "the key stays");
  if (!EqualIgnoringCase(name, other)) {
    std::string otherAfter;
    Require(fresh.Query(root, path, other, &otherAfter) == otherRead && otherAfter == otherBefore,
            "another value reads as before");
  }
  CheckLinesSurvive(text, file.Text());

  // Setting the same data again rewrites nothing.
  const std::string once = file.Text();
  Require(file.SetString(root, path, name, value) && file.Text() == once, "setting it again changes no byte");
  return 0;
}
