// ferrowind-check --preview on the POSIX programs: it leaves every byte, mode and time of
// the registry file, the package and the IDE folder as they were, and what it lists is what
// the installer then does: the same boxes, registry lines, help lines and changed files.
// The other scenarios are the in-memory preview test's and, with the shipped program, the
// Wine preview test's.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <sstream>

#include "Base/Text.h"
#include "ProgramRun.h"

namespace FerrowindTest {
namespace {

namespace fs = std::filesystem;

using TTree = std::map<std::string, std::optional<std::string>>;

// Every file (with its contents) and folder (nullopt) below folder, by path in capitals; or,
// with details, by path as it is followed by its mode, size and time of last change.
TTree Tree(const std::string& folder, bool details = false) {
  TTree tree;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    struct stat info {};
    lstat(entry.path().c_str(), &info);
    std::string path = fs::relative(entry.path(), folder).string();
    path = details ? path + " " + std::to_string(info.st_mode) + " " + std::to_string(info.st_size) + " " +
                         std::to_string(info.st_mtim.tv_sec) + "." + std::to_string(info.st_mtim.tv_nsec)
                   : Ferrowind::ToUpperAscii(path);
    tree[path] = S_ISDIR(info.st_mode) ? std::nullopt : std::optional(ReadWhole(entry.path().string()));
  }
  return tree;
}

// The lines of text (each without a CR at its end) that other does not hold.
std::set<std::string> LinesNotIn(const std::string& text, const std::string& other) {
  std::set<std::string> lines[2];
  for (int i = 0; i < 2; ++i) {
    std::istringstream in(i == 0 ? text : other);
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines[i].insert(line);
    }
  }
  for (const std::string& line : lines[1]) lines[0].erase(line);
  return lines[0];
}

class PreviewProgram : public TInstallFolders {
 protected:
  TProgramResult Preview(const std::vector<std::string>& args) const {
    return RunProgram(FERROWIND_CHECK_BINARY, args, FPackage, {{"FERROWIND_REGISTRY", FRegistry}}, "");
  }

  // What the preview's JSON says, as sorted lines: "box <kind> <text>", "reg <line as the
  // registry file holds it>", "help <path> +|-<line>", "<change> <path>" for each file
  // (IDE paths relative and in capitals), "summary <text>", "exit <code>".
  std::string Predicted(const std::string& json) const {
    const std::string script = R"py(import json, sys
d = json.load(sys.stdin)
root = sys.argv[1].upper() + '/'
rel = lambda p: p.replace('\\', '/').upper().replace(root, '', 1)
esc = lambda s: s.replace('\\', '\\\\').replace('"', '\\"')
out = ['box ' + b['kind'] + ' ' + b['text'].replace('\r\n', '\n') for b in d['boxes']]
out += ['reg "' + esc(r['name']) + '"="' + esc(r['new']) + '"' for r in d['registry']]
for h in d['help']:
  out += ['help ' + rel(h['path']) + ' +' + l for l in h['added']]
  out += ['help ' + rel(h['path']) + ' -' + l for l in h['removed']]
out += [f['change'] + ' ' + rel(f['path']) for f in d['files'] if f['change'] != 'same']  # copies over equals
out.append('summary ' + (d['summary'] or '').replace('\r\n', '\n'))
out.append('exit ' + str(d['exitCode']))
print('\n'.join(sorted(out)))
)py";
    const TProgramResult run = RunProgram("/usr/bin/env", {"python3", "-c", script, FRoot}, "/", {}, json);
    return run.ExitCode == 0 ? run.Output : "python3 failed: " + run.Errors;
  }

  // Previews, proves that nothing changed, installs, and compares what the installer did
  // (in the same terms as Predicted) with what the preview said. Returns the preview's text.
  std::string PreviewThenInstall() {
    const TTree before = Tree(FScratch.Path(), true);
    const TProgramResult json = Preview({"--preview", "--json"});
    const TProgramResult text = Preview({"--preview", "Setup.cfg"});
    EXPECT_EQ(Tree(FScratch.Path(), true), before) << "the preview changed something";
    EXPECT_EQ(text.ExitCode, json.ExitCode);

    const std::string registry = ReadWhole(FRegistry);
    const auto old = Tree(FRoot);
    const TProgramResult install = Install();
    std::vector<std::string> done;
    const std::regex box(R"(\[Ferrowind Component Installer: (\w+)\]\n([\s\S]*?)\n\[OK)");
    std::string summary;
    for (std::sregex_iterator m(install.Output.begin(), install.Output.end(), box), end; m != end; ++m) {
      std::string kind = (*m)[1].str();
      kind[0] = static_cast<char>(std::tolower(kind[0]));
      done.push_back("box " + kind + " " + (*m)[2].str());
      summary = (*m)[1] == "Information" ? (*m)[2].str() : "";
    }
    for (const std::string& line : LinesNotIn(ReadWhole(FRegistry), registry)) done.push_back("reg " + line);
    const auto now = Tree(FRoot);
    for (const auto& [path, data] : now) {
      const auto was = old.find(path);
      if (was == old.end()) {
        done.push_back((data ? "created " : "folder ") + path);
      } else if (was->second != data) {
        done.push_back("replaced " + path);
        if (path.rfind("HELP/", 0) == 0) {
          for (const std::string& l : LinesNotIn(*data, *was->second)) done.push_back("help " + path + " +" + l);
          for (const std::string& l : LinesNotIn(*was->second, *data)) done.push_back("help " + path + " -" + l);
        }
      }
    }
    for (const auto& [path, data] : old) {
      if (now.count(path) == 0) done.push_back("removed " + path);
    }
    done.push_back("summary " + summary);
    done.push_back("exit " + std::string(summary.empty() ? "1" : "0"));
    std::sort(done.begin(), done.end());
    std::string expected;
    for (const std::string& line : done) expected += line + "\n";
    EXPECT_EQ(Predicted(json.Output), expected) << text.Output;
    return text.Output;
  }
};

TEST_F(PreviewProgram, TheExampleAndASecondRun) {
  chmod((FRoot + "/Lib/WidgetPackOld.dcu").c_str(), 0444);
  const std::string first = PreviewThenInstall();
  EXPECT_NE(first.find("4 files created, 2 replaced, 2 removed, 0 already the same"), std::string::npos) << first;
  EXPECT_EQ(ReadWhole(FRoot + "/Source/Widgets/Widgets.pas"),
            ReadWhole(FPackage + "/Files/Source/Widgets/Widgets.pas"));
  // A second run changes nothing: no value, no help line, only copies over their equals.
  const std::string second = PreviewThenInstall();
  EXPECT_NE(second.find("\nRegistry values\n  none\n\nHelp files\n  none\n"), std::string::npos) << second;
  EXPECT_NE(second.find("0 files created, 0 replaced, 0 removed, 4 already the same"), std::string::npos) << second;
}

TEST_F(PreviewProgram, CancelAtTheConfirmation) {
  const std::string registry = ReadWhole(FRegistry);
  const TProgramResult cancelled = Preview({"--preview", "--cancel-at", "1"});
  EXPECT_EQ(cancelled.ExitCode, 1);
  EXPECT_NE(cancelled.Output.find("Confirmation (answered Cancel)"), std::string::npos) << cancelled.Output;
  EXPECT_NE(cancelled.Output.find("the run would end before its summary"), std::string::npos);
  EXPECT_EQ(ReadWhole(FRegistry), registry);
}

}  // namespace
}  // namespace FerrowindTest
