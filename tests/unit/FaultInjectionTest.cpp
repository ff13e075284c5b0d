// The example installation run again and again on the in-memory host, each time with the
// k-th OS call failing, for every k up to the clean run's last call. Whatever fails, the
// user's files and settings must be exactly as before or exactly as after, never between,
// and the summary must never claim a step that the host state shows was not done.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>

#include "ExampleSystem.h"
#include "Setup/InstallRun.h"

namespace Ferrowind {
namespace {

using namespace Example;
constexpr auto npos = std::string::npos;
const std::string Deleted = Root + "\\Lib\\WidgetPackOld.dcu", NewPackage = Root + "\\Lib\\WidgetPack.dpl";
const std::string Title = "Widget Pack";

// The palette pages as the user has them; Widgets already holds an older set, so the run
// appends to a list rather than creating one.
const std::map<std::string, std::string> PalettePages = {
    {"Standard", "TMainMenu;TPopupMenu;TLabel;TEdit;TMemo;TButton;TCheckBox;"},
    {"Additional", "TBitBtn;TSpeedButton;TMaskEdit;TStringGrid;TDrawGrid;TImage;TShape;TBevel"},
    {"Widgets", "TGadget;TGizmo"},
};

struct TRun {
  std::optional<std::string> Summary;  // the last box, when the run got as far as its summary
  std::size_t Calls = 0;               // OS calls made by the installation itself
  std::string FailedCall;
};

class FaultInjection : public ::testing::Test {
 protected:
  void SetUp() override {
    TMemoryHost host;
    clean = Run(host, 0);
    ASSERT_EQ(clean.Summary,
              Title + " Installation\r\n\r\nAll files copied\r\nAll Components installed\r\nHelp installed");
    newCfg = host.FileData(Cfg);
    newCnt = host.FileData(Cnt);
    newWidgets = host.Value(HKCU, Palette, "Widgets");
    ASSERT_EQ(newWidgets, PalettePages.at("Widgets") + ";TWidget;TWidgetGrid;");
    Check(host, clean);
    ASSERT_FALSE(HasFailure()) << "the clean run already breaks a promise";
  }

  // The IDE as the example's own setup left it and the package ready; then the run, with
  // the failCall-th call of the installation failing (none for 0).
  TRun Run(TMemoryHost& host, std::size_t failCall) {
    AddExample(host, PalettePages);
    host.AddFile(Deleted, ide.at(Deleted), AttrArchive | AttrReadOnly);
    host.AddFile("Setup.cfg", pkg.at(Config));  // the working folder
    const std::size_t before = host.CallCount();
    if (failCall != 0) host.FailCall(before + failCall);
    EXPECT_EQ(RunInstallation(host), 0);
    TRun run;
    run.Calls = host.CallCount() - before;
    if (failCall != 0 && failCall <= run.Calls) run.FailedCall = host.CallLog()[before + failCall - 1];
    const auto& boxes = host.Boxes();
    if (!boxes.empty() && boxes.back().Kind == TBoxKind::Information &&
        boxes.back().Text.find("Help installed") != npos) {
      run.Summary = boxes.back().Text;
    }
    return run;
  }

  // Every promise a run keeps, whichever call failed in it.
  void Check(const TMemoryHost& host, const TRun& run) {
    EXPECT_EQ(host.OpenHandles(), 0u) << "a handle is left open";
    for (const std::string& path : host.AllPaths())
      EXPECT_EQ(path.find(".fw-new"), npos) << "temporary file left: " << path;
    const auto cfg = host.FileData(Cfg), cnt = host.FileData(Cnt);
    EXPECT_TRUE(cfg == ide.at(Cfg) || cfg == newCfg) << "help configuration neither old nor new";
    EXPECT_TRUE(cnt == ide.at(Cnt) || cnt == newCnt) << "help contents neither old nor new";
    for (const auto& [page, list] : PalettePages) {
      EXPECT_EQ(host.Value(HKCU, Palette, page).value_or("").substr(0, list.size()), list)
          << "palette page " << page << " lost or shortened";
    }
    const std::string widgets = host.Value(HKCU, Palette, "Widgets").value_or("");
    const std::string& old = PalettePages.at("Widgets");
    EXPECT_TRUE(widgets == old || widgets == old + ";TWidget;" || widgets == old + ";TWidgetGrid;" ||
                widgets == newWidgets)
        << "palette page Widgets holds something unexpected: " << widgets;
    EXPECT_EQ(host.Value(HKCU, Known, StandardPackage), std::string("Borland Standard Components"))
        << "an existing Known Packages value changed";
    const auto registered = host.Value(HKCU, Known, NewPackage);
    EXPECT_TRUE(!registered || *registered == Title) << "the package is registered with a wrong title";
    // The IDE's own files stay, except those the run edits or removes by design.
    for (const auto& [path, data] : ide)
      EXPECT_TRUE(path == Cfg || path == Cnt || path == Gid || path == Deleted || host.FileData(path) == data)
          << "IDE file changed or lost: " << path;

    if (!run.Summary) return;
    const std::string& summary = *run.Summary;
    if (summary[0] == ' ') {
      // Only a failed read of Setup.cfg can hide every directive; the flags then keep their
      // start values and describe no step at all.
      EXPECT_TRUE(run.FailedCall.rfind("FileRead", 0) == 0 && run.FailedCall.find("SETUP.CFG") != npos)
          << "configuration reported incorrect after " << run.FailedCall;
      EXPECT_EQ(summary,
                " Incorrect configuration file\r\n\r\nAll files copied\r\n"
                "NO Components installed\r\nNO Help installed");
      return;
    }
    EXPECT_EQ(summary.rfind(Title, 0), 0u) << "summary without the package title";
    auto claims = [&](const std::string& line) { return summary.find("\r\n" + line) != npos; };
    // COPYDIR=Files brings every file below a subfolder of Files into the IDE folder.
    const std::string from = Package + "\\Files\\";
    for (const auto& [path, data] : pkg) {
      if (claims("All files copied") && path.rfind(from, 0) == 0 && path.find('\\', from.size()) != npos) {
        EXPECT_TRUE(host.FileData(Root + "\\" + path.substr(from.size())) == data)
            << "'All files copied' but the copy of " << path << " is missing or wrong";
      }
    }
    EXPECT_TRUE(!claims("All Components installed") || registered == Title)
        << "'All Components installed' but the package is not registered";
    EXPECT_TRUE(!claims("Help installed") || (cfg == newCfg && !host.Exists(Gid)))
        << "'Help installed' but the help configuration lacks the link or the index cache is still there";
  }

  // The simulated Delphi 3, and the package beside the installer with its Setup.cfg.
  const std::map<std::string, std::string> ide = Tree("ide", Root), pkg = Tree("package", Package);
  TRun clean;
  std::optional<std::string> newCfg, newCnt, newWidgets;
};

TEST_F(FaultInjection, EveryCallOfTheExampleMayFail) {
  std::size_t summaries = 0, degraded = 0;
  for (std::size_t k = 1; k <= clean.Calls; ++k) {
    TMemoryHost host;
    const TRun run = Run(host, k);
    ASSERT_FALSE(run.FailedCall.empty()) << "call " << k << " was never made";
    SCOPED_TRACE("call " + std::to_string(k) + " (" + run.FailedCall + ") failing");
    Check(host, run);
    summaries += run.Summary.has_value();
    degraded += run.Summary && *run.Summary != *clean.Summary;
  }
  // The faults must reach the summary's flags, or the claims above were never tested.
  EXPECT_GT(summaries, clean.Calls / 2);
  EXPECT_GT(degraded, 10u);
}

}  // namespace
}  // namespace Ferrowind
