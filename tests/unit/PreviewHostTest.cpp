// The preview runs the installer's own run over a host that keeps every change in memory.
// Over an in-memory system behind a guard that fails the test on any writing call, its
// view after the run must equal what a real run on a copy of that system leaves, in every
// path and value, and its list of changes must name exactly the paths that differ.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>

#include "Check/PreviewHost.h"
#include "Check/PreviewReport.h"
#include "Setup/InstallRun.h"
#include "platform/MemoryHost.h"

namespace Ferrowind {
namespace {

namespace fs = std::filesystem;
constexpr auto HKLM = TRootKey::LocalMachine;
constexpr auto HKCU = TRootKey::CurrentUser;
const std::string Base = "SOFTWARE\\Borland\\Delphi\\3.0", Palette = Base + "\\Palette";
const std::string Known = Base + "\\Known Packages", Root = "C:\\Delphi 3", Package = "C:\\Package";
const std::string Config = Package + "\\Setup.cfg", Cfg = Root + "\\Help\\Delphi3.cfg";
const std::string LongPage = "TGadget;TGizmo;TSprocket;TFlange;TDoohickey;TCog;TLever;TPulley;TAxle;TWheel;";
const fs::path Examples = fs::path(__FILE__).parent_path().parent_path().parent_path() / "examples";

// A writing call on the system underneath is a failure of the preview.
class TWriteGuard : public THost {
 public:
  explicit TWriteGuard(THost& host) : FHost(host) {}
  std::vector<std::string> Writes;

  bool ShowMessage(const std::string& text, TBoxKind) override { return Wrote("ShowMessage " + text); }
  bool RegOpen(TRootKey root, const std::string& path, TRegAccess access, THandle* key) override {
    return FHost.RegOpen(root, path, access, key);
  }
  TRegRead RegQuery(THandle key, const std::string& name, std::string* data) override {
    return FHost.RegQuery(key, name, data);
  }
  bool RegSet(THandle, const std::string& name, const std::string&) override { return Wrote("RegSet " + name); }
  void RegClose(THandle key) override { FHost.RegClose(key); }
  bool FileOpen(const std::string& path, TFileAccess access, TFileShare share, TFileCreate create,
                THandle* file) override {
    if (access != TFileAccess::Read || create != TFileCreate::OpenExisting) return Wrote("FileOpen " + path);
    return FHost.FileOpen(path, access, share, create, file);
  }
  bool FileSize(THandle file, std::uint64_t* size) override { return FHost.FileSize(file, size); }
  bool FileRead(THandle file, char* buffer, std::size_t count, std::size_t* got) override {
    return FHost.FileRead(file, buffer, count, got);
  }
  bool FileWrite(THandle, const char*, std::size_t, std::size_t*) override { return Wrote("FileWrite"); }
  bool FileFlush(THandle) override { return Wrote("FileFlush"); }
  void FileClose(THandle file) override { FHost.FileClose(file); }
  TFind FindFirst(const std::string& pattern, THandle* find, TFindEntry* entry) override {
    return FHost.FindFirst(pattern, find, entry);
  }
  TFind FindNext(THandle find, TFindEntry* entry) override { return FHost.FindNext(find, entry); }
  void FindClose(THandle find) override { FHost.FindClose(find); }
  bool GetAttributes(const std::string& path, std::uint32_t* attributes) override {
    return FHost.GetAttributes(path, attributes);
  }
  bool SetAttributes(const std::string& path, std::uint32_t) override { return Wrote("SetAttributes " + path); }
  bool CopyFileTo(const std::string&, const std::string& to, bool) override { return Wrote("CopyFileTo " + to); }
  bool MakeFolder(const std::string& path) override { return Wrote("MakeFolder " + path); }
  bool RemoveFile(const std::string& path) override { return Wrote("RemoveFile " + path); }
  bool ReplaceWith(const std::string&, const std::string& to) override { return Wrote("ReplaceWith " + to); }
  std::string ProgramPath() override { return FHost.ProgramPath(); }

 private:
  bool Wrote(const std::string& call) {
    ADD_FAILURE() << "the preview made a writing call: " << call;
    Writes.push_back(call);
    return false;
  }
  THost& FHost;
};

void AddTree(TMemoryHost& host, const std::string& example, const std::string& folder) {
  for (const auto& entry : fs::recursive_directory_iterator(Examples / example)) {
    std::string path = folder + "\\" + fs::relative(entry.path(), Examples / example).generic_string();
    std::replace(path.begin(), path.end(), '/', '\\');
    std::ostringstream data;
    data << std::ifstream(entry.path(), std::ios::binary).rdbuf();
    if (entry.is_regular_file()) host.AddFile(path, data.str());
  }
}

// The example package beside Setup.exe and the example IDE, registered as the IDE's own
// setup leaves it, with a long palette page the run extends.
TMemoryHost ExampleSystem() {
  TMemoryHost host;
  host.SetValue(HKLM, Base, "RootDir", Root);
  host.SetValue(HKCU, Known, Root + "\\Bin\\dclstd30.dpl", "Borland Standard Components");
  host.SetValue(HKCU, Palette, "Widgets", LongPage);
  AddTree(host, "ide", Root);
  AddTree(host, "package", Package);
  host.AddFile(Package + "\\Setup.exe", "MZ");
  host.SetProgramPath(Package + "\\Setup.exe");
  return host;
}

std::optional<std::string> ReadThrough(THost& host, const std::string& path) {
  THandle file = 0;
  if (!host.FileOpen(path, TFileAccess::Read, TFileShare::Read, TFileCreate::OpenExisting, &file)) return std::nullopt;
  std::string data(4096, '\0');
  std::size_t got = 0;
  const bool ok = host.FileRead(file, data.data(), data.size(), &got);
  host.FileClose(file);
  if (!ok) return std::nullopt;
  data.resize(got);
  return data;
}

std::optional<std::string> QueryThrough(THost& host, TRootKey root, const std::string& key, const std::string& name) {
  THandle handle = 0;
  std::string data;
  if (!host.RegOpen(root, key, TRegAccess::Read, &handle)) return std::nullopt;
  const TRegRead read = host.RegQuery(handle, name, &data);
  host.RegClose(handle);
  return read == TRegRead::Found ? std::optional(data) : std::nullopt;
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
  const std::string package = Root + "\\Bin\\dclstd30.dpl";
  const std::size_t shownBefore = system.Boxes().size();
  TMemoryHost real = system;
  TWriteGuard guard(system);
  TPreviewHost preview(guard, Package + "\\Setup.exe", GetParam().CancelAt);
  RunInstallation(preview, Config);
  if (GetParam().CancelAt > 0) {
    std::vector<bool> answers(GetParam().CancelAt - 1, true);
    answers.push_back(false);
    real.AnswerBoxes(answers);
  }
  RunInstallation(real, Config);
  EXPECT_TRUE(guard.Writes.empty());

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
  const auto fold = [](std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
  };
  std::set<std::string> paths, changed, listed;
  for (const TMemoryHost* host : {&system, &real}) {
    for (const std::string& path : host->AllPaths()) paths.insert(path);
  }
  for (const std::string& path : paths) {
    std::uint32_t attributes = 0;
    EXPECT_EQ(preview.GetAttributes(path, &attributes), real.Exists(path)) << path;
    EXPECT_EQ(ReadThrough(preview, path), real.FileData(path)) << path;
    if (system.Exists(path) != real.Exists(path) || system.FileData(path) != real.FileData(path)) {
      changed.insert(fold(path));
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
    if (change.Change != Same) listed.insert(fold(path));
  }
  EXPECT_EQ(listed, changed);

  // Registry: the values the run writes or leaves, seen through the preview, and the changes.
  std::size_t valuesChanged = 0;
  for (const auto& [key, name] : {std::pair{Palette, std::string("Widgets")},
                                  {Palette, std::string("Standard")},
                                  {Known, Root + "\\Lib\\WidgetPack.dpl"},
                                  {Known, package}}) {
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

TEST(PreviewHost, AListingShowsTheRunsOwnChanges) {
  TMemoryHost system;
  system.AddFile("C:\\D\\old.txt", "old");
  system.AddFile("C:\\D\\kept.txt", "kept");
  system.AddFile("C:\\S\\new.txt", "new", AttrArchive | AttrReadOnly);
  const std::size_t paths = system.AllPaths().size();
  TWriteGuard guard(system);
  TPreviewHost preview(guard, "C:\\S\\Setup.exe");
  EXPECT_TRUE(preview.RemoveFile("C:\\D\\old.txt"));
  EXPECT_TRUE(preview.MakeFolder("C:\\D\\Sub"));
  EXPECT_FALSE(preview.MakeFolder("C:\\D\\Sub")) << "made twice";
  EXPECT_FALSE(preview.MakeFolder("C:\\D\\Missing\\Sub")) << "made below a missing folder";
  EXPECT_TRUE(preview.CopyFileTo("C:\\S\\new.txt", "C:\\D\\Sub\\new.txt", false));
  EXPECT_FALSE(preview.CopyFileTo("C:\\S\\new.txt", "C:\\D\\Sub\\new.txt", true));
  EXPECT_FALSE(preview.CopyFileTo("C:\\S\\new.txt", "C:\\D\\Sub\\new.txt", false)) << "over a read-only copy";
  const auto list = [&](const std::string& pattern) {
    std::vector<std::string> names;
    THandle find = 0;
    TFindEntry entry;
    for (TFind step = preview.FindFirst(pattern, &find, &entry); step == TFind::Entry;
         step = preview.FindNext(find, &entry)) {
      if (entry.Name != "." && entry.Name != "..") {
        names.push_back(entry.Name + ((entry.Attributes & AttrDirectory) != 0 ? "\\" : ""));
      }
    }
    if (find != 0) preview.FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
  };
  EXPECT_EQ(list("C:\\D\\*.*"), (std::vector<std::string>{"Sub\\", "kept.txt"}));
  EXPECT_EQ(list("C:\\d\\sub\\*.*"), std::vector<std::string>{"new.txt"});
  EXPECT_EQ(list("C:\\D\\old.txt"), std::vector<std::string>{});
  std::uint32_t attributes = 0;
  EXPECT_TRUE(preview.SetAttributes("C:\\D\\Sub\\new.txt", 0) &&
              preview.GetAttributes("C:\\D\\Sub\\new.txt", &attributes));
  EXPECT_EQ(attributes, 0u);
  EXPECT_TRUE(preview.RemoveFile("C:\\D\\Sub\\new.txt"));
  EXPECT_EQ(list("C:\\D\\Sub\\*.*"), std::vector<std::string>{});
  EXPECT_EQ(system.AllPaths().size(), paths) << "the system underneath changed";
}

TEST(PreviewReport, DiffAndLongPaletteListsShowOnlyWhatChanges) {
  EXPECT_EQ(LineDiff("a\r\nb\r\n", "a\nb\n", 3), std::vector<std::string>{});
  EXPECT_EQ(
      LineDiff("1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n", "1\r\n2\r\n3\r\n4\r\nnew\r\n5\r\n6\r\n7\r\n9\r\n", 2),
      (std::vector<std::string>{"@@ -3,7 +3,7 @@", " 3", " 4", "+new", " 5", " 6", " 7", "-8", " 9"}));
  EXPECT_EQ(LineDiff("1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n", "0\r\n1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n", 1),
            (std::vector<std::string>{"@@ -1,1 +1,2 @@", "+0", " 1", "@@ -7,2 +8,1 @@", " 7", "-8"}));

  TMemoryHost system = ExampleSystem();
  TWriteGuard guard(system);
  const TPreview preview = RunPreview(guard, Config, 0);
  EXPECT_EQ(preview.ExitCode, PreviewReachesSummary);
  const std::string text = PreviewText(preview, Config);
  EXPECT_NE(text.find("\"Widgets\": \"...;TWheel;\" -> \"...;TWheel;TWidget;TWidgetGrid;\"\n"), std::string::npos)
      << text;
  EXPECT_NE(text.find("  +:LINK Widgets.hlp\n"), std::string::npos) << text;
  EXPECT_NE(text.find("1 folder made, 4 files created, 2 replaced, 2 removed, 0 already the same; the run would "
                      "reach its summary\n"),
            std::string::npos)
      << text;
  const TPreview cancelled = RunPreview(guard, Config, 1);
  EXPECT_EQ(cancelled.ExitCode, PreviewEndsEarly);
  EXPECT_FALSE(cancelled.Summary);
  EXPECT_TRUE(cancelled.Values.empty() && cancelled.Files.empty());
}

}  // namespace
}  // namespace Ferrowind
