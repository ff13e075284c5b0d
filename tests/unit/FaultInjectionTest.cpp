// The example installation run again and again on the in-memory host, each time with the
// k-th OS call failing, for every k up to the clean run's last call. Whatever fails, the
// user's files and settings must be exactly as before or exactly as after, never between,
// and the summary must never claim a step that the host state shows was not done.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Setup/InstallRun.h"
#include "platform/MemoryHost.h"

namespace Ferrowind {
namespace {

namespace fs = std::filesystem;
constexpr auto HKLM = TRootKey::LocalMachine;
constexpr auto HKCU = TRootKey::CurrentUser;
const std::string Base = "SOFTWARE\\Borland\\Delphi\\3.0";
const std::string KnownPackages = Base + "\\Known Packages";
const std::string Palette = Base + "\\Palette";
const std::string Root = "C:\\Delphi 3";
const std::string Package = "C:\\Package";
const std::string Cfg = Root + "\\Help\\Delphi3.cfg";
const std::string Cnt = Root + "\\Help\\DELPHI3.CNT";
const std::string Gid = Root + "\\Help\\Delphi3.gid";
const std::string Deleted = Root + "\\Lib\\WidgetPackOld.dcu";
const std::string NewPackage = Root + "\\Lib\\WidgetPack.dpl";
const std::string Title = "Widget Pack";

// The palette pages as the user has them; Widgets already holds an older set, so the run
// appends to a list rather than creating one.
const std::map<std::string, std::string> PalettePages = {
    {"Standard", "TMainMenu;TPopupMenu;TLabel;TEdit;TMemo;TButton;TCheckBox;"},
    {"Additional", "TBitBtn;TSpeedButton;TMaskEdit;TStringGrid;TDrawGrid;TImage;TShape;TBevel"},
    {"Widgets", "TGadget;TGizmo"},
};
const std::string StandardPackage = Root + "\\Bin\\dclstd30.dpl";

fs::path ExampleFolder() { return fs::path(__FILE__).parent_path().parent_path().parent_path() / "examples"; }

std::string ReadWhole(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The example files below folder, as host path -> data.
std::map<std::string, std::string> TreeOf(const fs::path& folder, const std::string& hostFolder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (!entry.is_regular_file()) continue;
    std::string relative = fs::relative(entry.path(), folder).generic_string();
    for (char& c : relative) {
      if (c == '/') c = '\\';
    }
    files[hostFolder + "\\" + relative] = ReadWhole(entry.path());
  }
  return files;
}

struct TExample {
  std::map<std::string, std::string> IdeFiles;      // the simulated Delphi 3
  std::map<std::string, std::string> PackageFiles;  // beside the installer, Setup.cfg included
  std::string Config;
};

const TExample& Example() {
  static const TExample example = [] {
    TExample e;
    e.IdeFiles = TreeOf(ExampleFolder() / "ide", Root);
    e.PackageFiles = TreeOf(ExampleFolder() / "package", Package);
    e.Config = e.PackageFiles.at(Package + "\\Setup.cfg");
    return e;
  }();
  return example;
}

// The IDE as the example's own setup left it, and the package ready to install.
void Prepare(TMemoryHost& host) {
  host.SetValue(HKLM, Base, "RootDir", Root);
  host.SetValue(HKLM, Base, "Version", "Client/Server");
  host.SetValue(HKCU, KnownPackages, StandardPackage, "Borland Standard Components");
  for (const auto& [page, list] : PalettePages) host.SetValue(HKCU, Palette, page, list);
  for (const auto& [path, data] : Example().IdeFiles) {
    host.AddFile(path, data, path == Deleted ? AttrArchive | AttrReadOnly : AttrArchive);
  }
  for (const auto& [path, data] : Example().PackageFiles) host.AddFile(path, data);
  host.AddFile(Package + "\\Setup.exe", "MZ");
  host.SetProgramPath(Package + "\\Setup.exe");
  host.AddFile("Setup.cfg", Example().Config);  // the working folder
}

// The files COPYDIR=Files brings into the IDE folder: every file below a subfolder of Files.
std::map<std::string, std::string> CopiedFiles() {
  std::map<std::string, std::string> copied;
  const std::string from = Package + "\\Files\\";
  for (const auto& [path, data] : Example().PackageFiles) {
    if (path.compare(0, from.size(), from) != 0) continue;
    const std::string relative = path.substr(from.size());
    if (relative.find('\\') == std::string::npos) continue;
    copied[Root + "\\" + relative] = data;
  }
  return copied;
}

struct TRun {
  std::optional<std::string> Summary;  // the last box, when the run got as far as its summary
  std::size_t CallsBefore = 0;         // calls made while preparing
  std::size_t Calls = 0;
  std::string FailedCall;
};

TRun RunFailing(TMemoryHost& host, std::size_t failCall) {
  Prepare(host);
  TRun run;
  run.CallsBefore = host.CallCount();
  if (failCall != 0) host.FailCall(run.CallsBefore + failCall);
  EXPECT_EQ(RunInstallation(host), 0);
  run.Calls = host.CallCount() - run.CallsBefore;
  if (failCall != 0 && failCall <= run.Calls) run.FailedCall = host.CallLog()[run.CallsBefore + failCall - 1];
  const auto& boxes = host.Boxes();
  if (!boxes.empty() && boxes.back().Style == StyleInformation &&
      boxes.back().Text.find("Help installed") != std::string::npos) {
    run.Summary = boxes.back().Text;
  }
  return run;
}

bool Claims(const std::string& summary, const std::string& line) {
  return summary.find("\r\n" + line) != std::string::npos || summary.compare(0, line.size(), line) == 0;
}

// Every way one failed call can leave the user's IDE, checked after that run; the returned
// text names each broken promise.
std::vector<std::string> Violations(const TMemoryHost& host, const TRun& run, const std::string& newCfg,
                                    const std::string& newCnt, const std::string& newWidgets) {
  std::vector<std::string> broken;
  auto require = [&](bool ok, const std::string& what) {
    if (!ok) broken.push_back(what);
  };
  const std::string oldCfg = Example().IdeFiles.at(Cfg);
  const std::string oldCnt = Example().IdeFiles.at(Cnt);

  require(host.OpenHandles() == 0, "a handle is left open");
  for (const std::string& path : host.AllPaths()) require(path.find(".fw-new") == std::string::npos, "temporary file left: " + path);

  const auto cfg = host.FileData(Cfg);
  const auto cnt = host.FileData(Cnt);
  require(cfg == oldCfg || cfg == newCfg, "help configuration neither old nor new");
  require(cnt == oldCnt || cnt == newCnt, "help contents neither old nor new");

  for (const auto& [page, list] : PalettePages) {
    const auto now = host.Value(HKCU, Palette, page);
    require(now.has_value() && now->compare(0, list.size(), list) == 0, "palette page " + page + " lost or shortened");
  }
  const auto widgets = host.Value(HKCU, Palette, "Widgets").value_or("");
  const std::string oldWidgets = PalettePages.at("Widgets");
  require(widgets == oldWidgets || widgets == oldWidgets + ";TWidget;" || widgets == oldWidgets + ";TWidgetGrid;" ||
              widgets == newWidgets,
          "palette page Widgets holds something unexpected: " + widgets);
  require(host.Value(HKCU, KnownPackages, StandardPackage) == "Borland Standard Components",
          "an existing Known Packages value changed");
  const auto registered = host.Value(HKCU, KnownPackages, NewPackage);
  require(!registered || *registered == Title, "the package is registered with a wrong title");

  // The IDE's own files stay, except those the run edits or removes by design.
  for (const auto& [path, data] : Example().IdeFiles) {
    if (path == Cfg || path == Cnt || path == Gid || path == Deleted) continue;
    require(host.FileData(path) == data, "IDE file changed or lost: " + path);
  }

  if (!run.Summary) return broken;
  const std::string& summary = *run.Summary;
  if (summary.compare(0, 1, " ") == 0) {
    // Only a failed read of Setup.cfg can hide every directive; the flags then keep their
    // start values and describe no step at all.
    require(run.FailedCall.rfind("FileRead", 0) == 0 && run.FailedCall.find("SETUP.CFG") != std::string::npos,
            "configuration reported incorrect after " + run.FailedCall);
    require(summary == " Incorrect configuration file\r\n\r\nAll files copied\r\nNO Components installed\r\nNO Help installed",
            "unexpected summary for an unread configuration");
    return broken;
  }
  require(summary.compare(0, Title.size(), Title) == 0, "summary without the package title");
  if (Claims(summary, "All files copied")) {
    for (const auto& [path, data] : CopiedFiles()) {
      require(host.FileData(path) == data, "'All files copied' but " + path + " is missing or wrong");
    }
  }
  if (Claims(summary, "All Components installed")) {
    require(registered == Title, "'All Components installed' but the package is not registered");
  }
  if (Claims(summary, "Help installed")) {
    require(cfg == newCfg, "'Help installed' but the help configuration lacks the link");
    require(!host.Exists(Gid), "'Help installed' but the index cache is still there");
  }
  return broken;
}

class FaultInjection : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs::exists(ExampleFolder() / "package" / "Setup.cfg")) << ExampleFolder();
    TMemoryHost host;
    clean = RunFailing(host, 0);
    ASSERT_TRUE(clean.Summary.has_value());
    ASSERT_EQ(*clean.Summary, Title + " Installation\r\n\r\nAll files copied\r\nAll Components installed\r\nHelp installed");
    newCfg = host.FileData(Cfg).value_or("");
    newCnt = host.FileData(Cnt).value_or("");
    newWidgets = host.Value(HKCU, Palette, "Widgets").value_or("");
    ASSERT_EQ(newWidgets, PalettePages.at("Widgets") + ";TWidget;TWidgetGrid;");
    ASSERT_TRUE(Violations(host, clean, newCfg, newCnt, newWidgets).empty());
  }
  TRun clean;
  std::string newCfg, newCnt, newWidgets;
};

TEST_F(FaultInjection, EveryCallOfTheExampleMayFail) {
  RecordProperty("calls", static_cast<int>(clean.Calls));
  std::size_t summaries = 0;
  std::size_t degraded = 0;
  for (std::size_t k = 1; k <= clean.Calls; ++k) {
    TMemoryHost host;
    const TRun run = RunFailing(host, k);
    ASSERT_FALSE(run.FailedCall.empty()) << "call " << k << " was never made";
    for (const std::string& broken : Violations(host, run, newCfg, newCnt, newWidgets)) {
      ADD_FAILURE() << "call " << k << " (" << run.FailedCall << ") failing: " << broken;
    }
    if (run.Summary) ++summaries;
    if (run.Summary && *run.Summary != *clean.Summary) ++degraded;
  }
  // The faults must reach the summary's flags, or the claims above were never tested.
  EXPECT_GT(summaries, clean.Calls / 2);
  EXPECT_GT(degraded, 10u);
}

}  // namespace
}  // namespace Ferrowind
