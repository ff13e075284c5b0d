// The preview runs the installer's own run over a host that keeps every change in memory.
// Over an in-memory system that must see no writing call and no change, its
// view after the run must equal what a real run on a copy of that system leaves, in every
// path and value, and its list of changes must name exactly the paths that differ.
#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "../contract/HostContract.h"
#include "Base/Text.h"
#include "Check/PreviewHost.h"
#include "Check/PreviewReport.h"
#include "ExampleSystem.h"
#include "Setup/InstallRun.h"

namespace Ferrowind {
namespace {

using namespace Example;
const std::string LongPage = "TGadget;TGizmo;TSprocket;TFlange;TDoohickey;TCog;TLever;TPulley;TAxle;TWheel;";

// The example with a long palette page the run extends.
TMemoryHost ExampleSystem() {
  TMemoryHost host;
  AddExample(host, {{"Widgets", LongPage}});
  return host;
}

// The preview may only open, query, read, list and close on the system underneath (calls
// from the log's entry logged on); any other call, or any change to the system, fails.
void ExpectUntouched(const TMemoryHost& system, std::size_t logged, const TMemoryHost& before) {
  static const std::set<std::string> reads = {"RegOpen",  "RegQuery",  "RegClose",      "FileOpen",
                                              "FileSize", "FileRead",  "FileClose",     "FindFirst",
                                              "FindNext", "FindClose", "GetAttributes", "ProgramPath"};
  for (std::size_t i = logged; i < system.CallLog().size(); ++i) {
    const std::string& call = system.CallLog()[i];
    EXPECT_EQ(reads.count(call.substr(0, call.find(' '))), 1u) << "the preview made a writing call: " << call;
  }
  EXPECT_EQ(system.AllPaths(), before.AllPaths());
  for (const std::string& path : before.AllPaths()) {
    EXPECT_EQ(system.FileData(path), before.FileData(path)) << path;
    EXPECT_EQ(system.AttributesOf(path), before.AttributesOf(path)) << path;
  }
}

struct TScenario {
  std::string Name;
  std::function<void(TMemoryHost&)> Prepare;
  std::size_t CancelAt = 0;
  std::string Summary;  // a piece of it; empty: no summary
};

void PrintTo(const TScenario& scenario, std::ostream* out) { *out << scenario.Name; }

class Preview : public ::testing::TestWithParam<TScenario> {};

TEST_P(Preview, AgreesWithARealRunAndWritesNothing) {
  TMemoryHost system = ExampleSystem();
  GetParam().Prepare(system);
  const std::size_t shownBefore = system.Boxes().size(), logged = system.CallLog().size();
  TMemoryHost real = system;
  TPreviewHost preview(system, Package + "\\Setup.exe", GetParam().CancelAt);
  RunInstallation(preview, Config);
  ExpectUntouched(system, logged, real);
  if (GetParam().CancelAt > 0) {
    std::vector<bool> answers(GetParam().CancelAt - 1, true);
    answers.push_back(false);
    real.AnswerBoxes(answers);
  }
  RunInstallation(real, Config);

  ASSERT_EQ(preview.Boxes().size(), real.Boxes().size() - shownBefore);
  for (std::size_t i = 0; i < preview.Boxes().size(); ++i) {
    EXPECT_EQ(preview.Boxes()[i].Text, real.Boxes()[shownBefore + i].Text);
  }
  ASSERT_FALSE(preview.Boxes().empty());
  const TPreviewHost::TShownBox& last = preview.Boxes().back();
  if (GetParam().Summary.empty()) {
    EXPECT_NE(last.Kind, "information") << last.Text;
  } else {
    EXPECT_EQ(last.Kind, "information");
    EXPECT_NE(last.Text.find(GetParam().Summary), std::string::npos) << last.Text;
  }

  // Every path either side knows: the preview sees what the real run left, and the changes
  // it lists are exactly the paths that differ (a file copied over its equal as the same).
  std::set<std::string> paths, changed, listed;
  for (const TMemoryHost* host : {&system, &real}) {
    for (const std::string& path : host->AllPaths()) paths.insert(path);
  }
  for (const std::string& path : paths) {
    std::uint32_t attributes = 0;
    EXPECT_EQ(preview.GetAttributes(path, &attributes), real.Exists(path)) << path;
    EXPECT_EQ(ReadThrough(preview, path), real.FileData(path)) << path;
    if (system.Exists(path) != real.Exists(path) || system.FileData(path) != real.FileData(path)) {
      changed.insert(ToUpperAscii(path));
    }
  }
  using enum TPreviewHost::TChange;
  for (const TPreviewHost::TFileChange& change : preview.FileChanges()) {
    const std::string& path = change.Path;
    const auto before = system.FileData(path), after = real.FileData(path);
    const bool exact = (change.Change == Same && before && before == after) ||
                       (change.Change == Created && !before && after && change.NewSize == after->size()) ||
                       (change.Change == Replaced && before && after && before != after) ||
                       (change.Change == Removed && before && !real.Exists(path) && change.OldSize == before->size()) ||
                       (change.Change == Folder && !system.Exists(path) && real.Exists(path) && !after);
    EXPECT_TRUE(exact) << path;
    if (change.Change != Same) listed.insert(ToUpperAscii(path));
  }
  EXPECT_EQ(listed, changed);

  // Registry: the values the run writes or leaves, seen through the preview, and the changes.
  std::size_t valuesChanged = 0;
  for (const auto& [key, name] : {std::pair{Palette, std::string("Widgets")},
                                  {Palette, std::string("Standard")},
                                  {Known, system.Value(HKLM, Base, "RootDir").value_or("") + "\\Lib\\WidgetPack.dpl"},
                                  {Known, StandardPackage}}) {
    const auto expected = real.Value(HKCU, key, name);
    EXPECT_EQ(QueryThrough(preview, HKCU, key, name), expected ? std::optional(StoredString(*expected)) : std::nullopt)
        << name;
    valuesChanged += system.Value(HKCU, key, name) != real.Value(HKCU, key, name) ? 1 : 0;
  }
  const auto values = preview.ValueChanges();
  EXPECT_EQ(values.size(), valuesChanged);
  for (const TPreviewHost::TValueChange& value : values) {
    EXPECT_EQ(value.Old, system.Value(value.Root, value.Key, value.Name));
    EXPECT_EQ(value.New, real.Value(value.Root, value.Key, value.Name));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Scenarios, Preview,
    ::testing::Values(
        TScenario{"FullExample", [](TMemoryHost&) {}, 0, "All files copied\r\nAll Components installed\r\nHelp"},
        TScenario{"SecondRun", [](TMemoryHost& host) { RunInstallation(host, Config); }, 0, "All Components"},
        TScenario{"ReadOnlyHelpFile",
                  [](TMemoryHost& host) { host.AddFile(Cfg, *host.FileData(Cfg), AttrArchive | AttrReadOnly); }, 0,
                  "NO Help installed"},
        TScenario{"MissingIde", [](TMemoryHost& host) { host.SetValue(HKLM, Base, "RootDir", ""); }, 0, ""},
        TScenario{"IdeFolderGone", [](TMemoryHost& host) { host.SetValue(HKLM, Base, "RootDir", "C:\\Gone"); }, 0,
                  "NO files copied\r\nAll Components installed\r\nNO Help installed"},
        TScenario{"CopyDirTopFolderMissing",
                  [](TMemoryHost& host) { host.AddFile(Package + "\\Files\\Extra\\x.txt", "x"); }, 0,
                  "NO files copied"},
        TScenario{"CopiedTwice",
                  [](TMemoryHost& host) {
                    host.AddFile(Config, *host.FileData(Config) + "COPYDIR=Files\r\nHELPFILE=Widgets.hlp\r\n\r\n");
                  },
                  0, "All files copied"},
        TScenario{"CancelAtTheConfirmation", [](TMemoryHost&) {}, 1, ""}),
    [](const ::testing::TestParamInfo<TScenario>& info) { return info.param.Name; });

TEST(PreviewReport, DiffAndLongPaletteListsShowOnlyWhatChanges) {
  EXPECT_EQ(LineDiff("a\r\nb\r\n", "a\nb\n", 3), std::vector<std::string>{});
  EXPECT_EQ(
      LineDiff("1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n", "1\r\n2\r\n3\r\n4\r\nnew\r\n5\r\n6\r\n7\r\n9\r\n", 2),
      (std::vector<std::string>{"@@ -3,7 +3,7 @@", " 3", " 4", "+new", " 5", " 6", " 7", "-8", " 9"}));
  EXPECT_EQ(LineDiff("1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n", "0\r\n1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n", 1),
            (std::vector<std::string>{"@@ -1,1 +1,2 @@", "+0", " 1", "@@ -7,2 +8,1 @@", " 7", "-8"}));

  TMemoryHost system = ExampleSystem();
  const TPreview preview = RunPreview(system, Config, 0);
  EXPECT_EQ(preview.ExitCode, PreviewReachesSummary);
  const std::string text = PreviewText(preview, Config);
  for (const char* piece :
       {"\"Widgets\": \"...;TWheel;\" -> \"...;TWheel;TWidget;TWidgetGrid;\"\n", "  +:LINK Widgets.hlp\n",
        "1 folder made, 4 files created, 2 replaced, 2 removed, 0 already the same; the run would "
        "reach its summary\n"})
    EXPECT_NE(text.find(piece), std::string::npos) << piece << "\n" << text;
}

}  // namespace
}  // namespace Ferrowind
