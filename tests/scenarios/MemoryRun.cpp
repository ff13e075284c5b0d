// The in-memory runner of a scenario: ferrowind-memory-run DIR RUNS ANSWER...
// Loads the state DIR/start.txt into a TMemoryHost, runs the installation there RUNS times,
// answering each run's boxes in order (ok or cancel), prints each box of the last run as a
// JSON line and writes the state before the last run to DIR/before.txt and after it to
// DIR/after.txt. A state is a line per entry, fields tab-separated: "F", path, attributes
// and data in hex for a file; "D", path and attributes for a folder; "V", root and key, name
// and data in hex for a value; "H" and path for a file another program holds open.
// Then the last run again once per call it made, with that call failing: whatever fails, no
// handle stays open, no temporary file is left, every file and value is as before the run or
// as after the clean one (a list between the two, for a palette page), and the summary
// claims no step that the state shows was not done. Exit 3, naming the call, when one breaks.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <sstream>

#include "Base/Text.h"
#include "Base/WindowsNames.h"
#include "LibraryInstall/LineFile.h"
#include "Platform/MemoryHost.h"
#include "Setup/InstallRun.h"

namespace {
namespace fs = std::filesystem;
using namespace Ferrowind;

std::string Hex(const std::string& bytes) {
  static const char* const Digits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) out += {Digits[c >> 4], Digits[c & 15]};
  return out;
}

std::string Unhex(const std::string& hex) {
  std::string out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return out;
}

void Load(TMemoryHost& host, const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> f;
    std::istringstream fields(line);
    for (std::string field; std::getline(fields, field, '\t');) f.push_back(field);
    f.resize(4);
    const auto attributes = static_cast<std::uint32_t>(std::strtoul(f[2].c_str(), nullptr, 10));
    if (f[0] == "F") host.AddFile(f[1], Unhex(f[3]), attributes);
    if (f[0] == "D") host.AddFolder(f[1], attributes);
    if (f[0] == "H") host.HoldOpen(f[1]);
    if (f[0] == "V") {
      const auto root = f[1].compare(0, 5, "HKLM\\") == 0 ? TRootKey::LocalMachine : TRootKey::CurrentUser;
      host.SetValue(root, f[1].substr(5), Unhex(f[2]), Unhex(f[3]));
    }
  }
}

void Save(const TMemoryHost& host, const fs::path& file) {
  std::ofstream out(file, std::ios::binary);
  for (const std::string& path : host.AllPaths()) {
    const auto data = host.FileData(path);
    out << (data ? "F\t" : "D\t") << path << "\t" << host.AttributesOf(path) << (data ? "\t" + Hex(*data) : "") << "\n";
  }
  for (const TMemoryHost::TValue& value : host.AllValues())
    out << "V\t" << value.Key << "\t" << Hex(value.Name) << "\t" << Hex(value.Data) << "\n";
}

// Files by folded path ("D" for a folder, "F" and the data for a file) and values by folded
// key and name.
using TState = std::map<std::string, std::string>;
constexpr auto npos = std::string::npos;

std::string Folded(const std::string& path) {
  std::string normal;
  return FoldedName(WindowsPath(path, TPathUse::File, &normal) ? normal : path);
}

TState StateOf(const TMemoryHost& host) {
  TState state;
  for (const std::string& path : host.AllPaths()) {
    const auto data = host.FileData(path);
    state["file " + Folded(path)] = data ? "F" + *data : "D";
  }
  for (const TMemoryHost::TValue& value : host.AllValues())
    state["value " + value.Key + "\\" + FoldedName(value.Name)] = value.Data;
  return state;
}

std::optional<std::string> At(const TState& state, const std::string& key) {
  const auto it = state.find(key);
  return it == state.end() ? std::nullopt : std::optional(it->second);
}

// The summary, when the run reached it: the last box, telling what was copied.
std::string SummaryOf(const TMemoryHost& host) {
  const auto& boxes = host.Boxes();
  const bool reached = !boxes.empty() && boxes.back().Kind == TBoxKind::Information &&
                       boxes.back().Text.find(" files copied\r\n") != std::string::npos;
  return reached ? boxes.back().Text : std::string();
}

// Whether every ";"-separated entry of added is one of list's, ignoring case.
bool EntriesWithin(const std::string& added, const std::string& list) {
  const std::string within = ";" + ToUpperAscii(list) + ";";
  std::istringstream entries(ToUpperAscii(added));
  for (std::string entry; std::getline(entries, entry, ';');) {
    if (!entry.empty() && within.find(";" + entry + ";") == std::string::npos) return false;
  }
  return true;
}

// What a run made with call k failing breaks of the promises; empty when none.
std::string Broken(const TMemoryHost& start, const TMemoryHost& clean, std::vector<bool> answers,
                   const std::string& config, std::size_t k) {
  const std::vector<std::string> calls(clean.CallLog().begin() + static_cast<std::ptrdiff_t>(start.CallLog().size()),
                                       clean.CallLog().end());
  // What the clean run did, step by step: the files it copied, as the copy left them; and
  // what the summary's package and help lines report, the last of each.
  TState copied;
  std::string lastPackage, lastHelp, failed = FoldedName(calls[k - 1]);
  std::vector<std::string> caches;
  std::size_t shown = 0;
  for (std::size_t i = 0; i < calls.size(); ++i) {
    const std::string& call = calls[i];
    const std::size_t space = call.find(' '), arrow = call.find(" -> ");
    const std::string op = call.substr(0, space), key = Folded(call.substr(arrow == npos ? space + 1 : arrow + 4));
    const auto endsIn = [&](const char* tail) { return key.size() > 4 && key.compare(key.size() - 4, 4, tail) == 0; };
    if (op == "ShowMessage" && i + 1 < k) ++shown;
    if (op == "CopyFileTo")
      copied["file " + key] = "F" + start.FileData(call.substr(space + 1, arrow - space - 1)).value_or("");
    if (op == "MakeFolder") copied["file " + key] = "D";
    if (op == "RegSet" && key.find("\\KNOWN PACKAGES\\") != npos) lastPackage = "value " + key;
    // The help configuration's link; the contents entry decides nothing.
    if (op == "ReplaceWith" && (endsIn(".CFG") || endsIn(".OHL"))) lastHelp = "file " + key;
    if (op == "RemoveFile" && endsIn(".GID")) caches.push_back("file " + key);
  }
  // A box that fails to show takes no answer.
  if (failed.rfind("SHOWMESSAGE", 0) == 0 && shown < answers.size()) answers.erase(answers.begin() + shown);
  TMemoryHost host = start;
  host.FailCall(host.CallCount() + k);
  host.AnswerBoxes(answers);
  RunInstallation(host, config);
  if (host.OpenHandles() != 0) return "a handle is left open";
  const TState before = StateOf(start), after = StateOf(clean), now = StateOf(host);
  std::set<std::string> keys;
  for (const TState* state : {&before, &after, &now})
    for (const auto& entry : *state) keys.insert(entry.first);
  for (const std::string& key : keys) {
    // As before, as after, as the copy left it (a later DELETE may fail), or a list that kept
    // what it had and gained some of what the clean run added.
    const auto old = At(before, key), done = At(after, key), seen = At(now, key);
    const std::string o = old.value_or(""), s = seen.value_or("");
    if (seen == old || seen == done || (seen && seen == At(copied, key)) ||
        (key.rfind("value ", 0) == 0 && s.compare(0, o.size(), o) == 0 &&
         EntriesWithin(s.substr(o.size()), done.value_or(""))))
      continue;
    return key + (key.find(FoldedName(TemporarySuffix)) != npos ? ": a temporary file is left"
                                                                : ": neither as before nor as after");
  }
  const std::string summary = SummaryOf(host);
  if (summary.empty()) return "";
  // Only a failed read of Setup.cfg hides every directive; the flags then describe no step.
  if (summary[0] == ' ' && SummaryOf(clean)[0] != ' ')
    return failed.rfind("FILEREAD C:\\PKG\\SETUP.CFG", 0) == 0 ? "" : "the configuration reported incorrect";
  const auto claims = [&](const char* line) { return summary.find(line) != npos; };
  for (const auto& [key, data] : copied) {
    if (claims("\r\nAll files copied") && At(now, key) != At(after, key) && At(now, key) != data)
      return "\"All files copied\" but not " + key;
  }
  if (claims("\r\nAll Components installed") && At(now, lastPackage) != At(after, lastPackage))
    return "\"All Components installed\" but not " + lastPackage;
  if (claims("\r\nHelp installed")) {
    for (const std::string& key : caches)
      if (At(now, key) && !At(after, key)) return "\"Help installed\" but the index cache " + key + " is there";
    if (At(now, lastHelp) != At(after, lastHelp)) return "\"Help installed\" but not " + lastHelp;
  }
  return "";
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "usage: ferrowind-memory-run DIR RUNS ANSWER...\n";
    return 2;
  }
  const fs::path dir = argv[1];
  TMemoryHost host;
  Load(host, dir / "start.txt");
  host.SetProgramPath("C:\\PKG\\Setup.exe");
  std::vector<bool> answers;
  for (int i = 3; i < argc; ++i) answers.push_back(std::string(argv[i]) != "cancel");
  const int runs = std::atoi(argv[2]);
  const std::string config = "C:\\PKG\\Setup.cfg";
  std::size_t firstBox = 0;
  TMemoryHost start;
  for (int run = 1; run <= runs; ++run) {
    if (run == runs) {
      Save(host, dir / "before.txt");
      firstBox = host.Boxes().size();
      start = host;
    }
    host.AnswerBoxes(answers);
    RunInstallation(host, config);
  }
  for (std::size_t i = firstBox; i < host.Boxes().size(); ++i) {
    const TMemoryHost::TBox& box = host.Boxes()[i];
    const char* kind = BoxKindName(box.Kind);
    std::cout << "{\"kind\": \"" << kind << "\", \"text\": \"" << Hex(box.Text) << "\"}\n";
  }
  Save(host, dir / "after.txt");
  for (std::size_t k = 1; k <= host.CallCount() - start.CallCount(); ++k) {
    const std::string broken = Broken(start, host, answers, config, k);
    if (broken.empty()) continue;
    std::cerr << "with call " << k << " (" << host.CallLog()[start.CallLog().size() + k - 1] << ") failing: " << broken
              << "\n";
    return 3;
  }
  return 0;
}
