// The host contract, read from its script (contract.txt): each section runs on a fresh host,
// and each line is one call with the answer every host must give.
#include <map>
#include <vector>

#include "Base/Text.h"
#include "HostContract.h"
#include "Platform/WholeFile.h"

namespace Ferrowind {
namespace {

const char* const Script =
#include "contract.txt"
    ;

// A line's words: blank-separated, or quoted to hold blanks; \" \\ and \xHH are escapes, any
// other backslash is itself; @N stands for N bytes ABC...
std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == ' ') continue;
    const bool quoted = line[i] == '"';
    std::string word;
    for (i += quoted ? 1 : 0; i < line.size() && line[i] != (quoted ? '"' : ' '); ++i) {
      if (line[i] == '\\' && i + 3 < line.size() && line[i + 1] == 'x' && HexDigit(line[i + 2]) >= 0) {
        word += static_cast<char>(HexDigit(line[i + 2]) * 16 + HexDigit(line[i + 3]));
        i += 3;
      } else {
        if (line[i] == '\\' && i + 1 < line.size() && (line[i + 1] == '"' || line[i + 1] == '\\')) ++i;
        word += line[i];
      }
    }
    if (!quoted && word.size() > 1 && word[0] == '@') {
      const std::size_t length = std::stoul(word.substr(1));
      for (word.clear(); word.size() < length;) word += static_cast<char>('A' + word.size() % 26);
    }
    words.push_back(word);
  }
  return words;
}

class TScriptRun {
 public:
  explicit TScriptRun(THostUnderTest& subject) : S(subject), H(subject.Host()) {}

  // The host's answer to the call w names, as the script writes answers.
  std::string Answer(const std::vector<std::string>& w) {
    const auto ok = [](bool done) { return std::string(done ? "ok" : "fail"); };
    const auto n = [&](std::size_t i) { return static_cast<std::uint32_t>(std::stoul(w.at(i))); };
    const std::string& verb = w.at(0);
    const std::string path = w.size() > 1 ? S.At(w[1]) : "";
    THandle& handle = Handles[w.size() > 1 ? w[1] : ""];
    std::size_t count = 0;
    std::uint64_t size = 0;
    std::uint32_t attributes = 0;
    std::string data;
    if (verb == "put") S.PutFile(w.at(1), w.at(2));
    if (verb == "open") {
      const bool done =
          H.FileOpen(S.At(w.at(2)), w.at(3) == "read" ? TFileAccess::Read : TFileAccess::ReadWrite,
                     w.at(4) == "share" ? TFileShare::Read : TFileShare::None,
                     w.at(5) == "existing" ? TFileCreate::OpenExisting : TFileCreate::CreateAlways, &handle);
      return done == (handle != 0) ? ok(done) : "a handle without an open file";
    }
    if (verb == "write")
      return H.FileWrite(handle, w.at(2).data(), w.at(2).size(), &count) ? std::to_string(count) : "fail";
    if (verb == "size") return H.FileSize(handle, &size) ? std::to_string(size) : "fail";
    if (verb == "flush") return ok(H.FileFlush(handle));
    if (verb == "close") H.FileClose(handle);
    if (verb == "read" || verb == "full")
      return ReadWholeFile(H, verb == "full" ? H.FullPath(path) : path, &data) ? data : "fail";
    if (verb == "copy" || verb == "copy-new") return ok(H.CopyFileTo(path, S.At(w.at(2)), verb == "copy-new"));
    if (verb == "replace") return ok(H.ReplaceWith(path, S.At(w.at(2))));
    if (verb == "remove") return ok(H.RemoveFile(path));
    if (verb == "mkdir") return ok(H.MakeFolder(path));
    if (verb == "set") return ok(H.SetAttributes(path, n(2)));
    if (verb == "attr") return H.GetAttributes(path, &attributes) ? std::to_string(attributes & n(2)) : "none";
    if (verb == "list" || verb == "word") return List(verb == "word" ? FolderOf(path) + "*" : path, w, path);
    if (verb == "regopen") {
      const bool done = H.RegOpen(w.at(2) == "HKLM" ? TRootKey::LocalMachine : TRootKey::CurrentUser, w.at(3),
                                  w.at(4) == "read" ? TRegAccess::Read : TRegAccess::Write, &handle);
      return done == (handle != 0) ? ok(done) : "a handle without an open key";
    }
    if (verb == "regset") return ok(H.RegSet(handle, w.at(2), w.at(3)));
    if (verb == "regclose") H.RegClose(handle);
    if (verb == "regquery") {
      data = "stale";
      const TRegRead read = H.RegQuery(handle, w.at(2), &data);
      if (read != TRegRead::Found)
        return data.empty() ? (read == TRegRead::Missing ? "missing" : "failed") : "stale data";
      if (data.empty() || data.back() == '\0') return data.substr(0, data.size() - (data.empty() ? 0 : 1));
      return data + " (no terminating zero)";
    }
    return "";
  }

 private:
  // The entries a listing delivers, each with its word and the mask when the script gives
  // one; for "word", whether the entry named path has the word its attributes give.
  std::string List(const std::string& pattern, const std::vector<std::string>& w, const std::string& path) {
    THandle find = 0;
    TFindEntry entry;
    std::string seen;
    TFind step = H.FindFirst(pattern, &find, &entry);
    if (step != TFind::Entry)
      return find != 0 ? "a handle without a listing" : step == TFind::NoMore ? "nomore" : "failed";
    std::uint32_t attributes = 0;
    const bool word = w[0] == "word";
    for (; step == TFind::Entry; step = H.FindNext(find, &entry)) {
      if (word && entry.Name == path.substr(FolderOf(path).size())) {
        H.FindClose(find);
        return H.GetAttributes(path, &attributes) && attributes == entry.Attributes ? "same" : "differs";
      }
      seen.append(seen.empty() ? "" : " ").append(entry.Name);
      if (w.size() > 2) seen.append(":").append(std::to_string(entry.Attributes & std::stoul(w[2])));
    }
    H.FindClose(find);
    return word ? "not listed" : step == TFind::Failed ? seen + " failed" : seen;
  }

  THostUnderTest& S;
  THost& H;
  std::map<std::string, THandle> Handles;
};

TEST_P(HostContract, KeepsEveryPromiseOfTheScript) {
  const std::vector<std::string_view> lines = SplitLines(Script);
  std::unique_ptr<THostUnderTest> subject;
  std::unique_ptr<TScriptRun> run;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string line(lines[i]);
    if (line.rfind("== ", 0) == 0) {
      run.reset();
      subject.reset();  // before the next is made: a host may hold the environment
      subject = GetParam().Make();
      run = std::make_unique<TScriptRun>(*subject);
    }
    if (line.empty() || line[0] == '#' || line[0] == '=' || !run) continue;
    const std::vector<std::string> words = Words(line);
    const auto equals = std::find(words.begin(), words.end(), "=");
    std::string expected;
    for (auto word = equals + (equals == words.end() ? 0 : 1); word < words.end(); ++word)
      expected += (expected.empty() ? "" : " ") + *word;
    EXPECT_EQ(run->Answer({words.begin(), equals}), expected) << "contract.txt:" << i + 1 << ": " << line;
  }
}

}  // namespace
}  // namespace Ferrowind
