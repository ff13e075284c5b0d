// A whole installation on the in-memory host from arbitrary Setup.cfg bytes, with message
// boxes answered from the input. The host holds the example's Delphi 3 and package and a
// C++Builder 3 as its own setup leaves it. Whatever the file says: the run ends with exit
// code 0 and no handle open; no palette list or Known Packages value loses a byte; a help
// file is either untouched or keeps every line it had, in order; no temporary file is left;
// Setup.cfg is only read.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "Base/Text.h"
#include "FuzzCheck.h"
#include "Platform/MemoryHost.h"
#include "Setup/InstallRun.h"

namespace {

using namespace Ferrowind;
constexpr auto HKLM = TRootKey::LocalMachine;
constexpr auto HKCU = TRootKey::CurrentUser;
const std::string Base = "SOFTWARE\\Borland\\Delphi\\3.0", Palette = Base + "\\Palette",
                  Known = Base + "\\Known Packages";
const std::string Root = "C:\\Delphi 3", Package = "C:\\Package", StandardPackage = Root + "\\Bin\\dclstd30.dpl";
const std::string Cfg = Root + "\\Help\\Delphi3.cfg", Cnt = Root + "\\Help\\DELPHI3.CNT";
const std::string Builder = "SOFTWARE\\Borland\\C++Builder\\3.0";

struct TValue {
  std::string Key, Name, Data;
};
const std::vector<TValue> UserValues = {
    {Known, StandardPackage, "Borland Standard Components"},
    {Palette, "Standard", "TMainMenu;TPopupMenu;TLabel;TEdit;TMemo;TButton;TCheckBox;"},
    {Palette, "Additional", "TBitBtn;TSpeedButton;TMaskEdit;TStringGrid;TDrawGrid;TImage"},
    {Builder + "\\Known Packages", "C:\\CBuilder3\\Bin\\dclstd35.bpl", "Borland Standard Components"},
    {Builder + "\\Palette", "Samples", "TGauge;TColorGrid;TSpinButton;TSpinEdit;TDirectoryOutline;"},
};
const std::vector<std::string> HelpFiles = {Cfg, Cnt, "C:\\CBuilder3\\Help\\bcb.ohl", "C:\\CBuilder3\\Help\\bcb.ohi"};

// Every file of a folder of the bundled example, below folder on the host.
void AddExample(TMemoryHost& host, const std::string& example, const std::string& folder) {
  const auto from = std::filesystem::path(__FILE__).parent_path().parent_path() / "examples" / example;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(from)) {
    if (!entry.is_regular_file()) continue;
    std::string path = folder + "\\" + std::filesystem::relative(entry.path(), from).generic_string();
    std::replace(path.begin(), path.end(), '/', '\\');
    std::ifstream file(entry.path(), std::ios::binary);
    host.AddFile(path, {std::istreambuf_iterator<char>(file), {}});
  }
}

// Read from the examples once; each run starts from a copy.
const TMemoryHost& Prepared() {
  static const TMemoryHost prepared = [] {
    TMemoryHost host;
    host.SetValue(HKLM, Base, "RootDir", Root);
    AddExample(host, "ide", Root);
    AddExample(host, "package", Package);
    host.AddFile(Package + "\\Setup.exe", "MZ");
    host.SetProgramPath(Package + "\\Setup.exe");
    host.SetValue(HKLM, Builder, "RootDir", "C:\\CBuilder3\\");
    for (const TValue& value : UserValues) host.SetValue(HKCU, value.Key, value.Name, value.Data);
    host.AddFile(HelpFiles[2], ":LINK bcb3.hlp\n:LINK bcbvcl3.hlp\n");
    host.AddFile(HelpFiles[3], ":Base bcb3.hlp\n:Index C++Builder=bcb3.hlp\n  :Index VCL=bcbvcl3.hlp  \n");
    host.AddFolder("C:\\CBuilder3\\Help\\bcb3.gid");  // a folder of the cache's name is not the cache
    host.AddFolder("C:\\CBuilder3\\Lib");
    host.AddFolder(Package + "\\Files\\.svn");
    host.AddFile(Package + "\\Files\\Readme.txt", "not copied");
    return host;
  }();
  return prepared;
}

std::vector<std::string_view> LinesOf(const std::string& text) {
  std::vector<std::string_view> lines;
  for (const std::string_view line : SplitLines(text)) {
    if (!StrippedView(line).empty()) lines.push_back(StrippedView(line));
  }
  return lines;
}

// Every non-empty line of before appears in after, in the same order.
bool KeepsLines(const std::string& before, const std::string& after) {
  const std::vector<std::string_view> old = LinesOf(before);
  std::size_t j = 0;
  for (const std::string_view line : LinesOf(after)) {
    if (j < old.size() && line == old[j]) ++j;
  }
  return j == old.size();
}

// Whether the run removed exactly this path itself (a DELETE directive naming it), as
// opposed to replacing it.
bool RemovedByName(const TMemoryHost& host, const std::string& path) {
  const std::string wanted = ToUpperAscii("RemoveFile " + path);
  for (const std::string& call : host.CallLog()) {
    if (ToUpperAscii(call) == wanted) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::uint16_t answerBits = input.ConsumeIntegral<std::uint16_t>();
  const std::string config = input.ConsumeRemainingBytesAsString();

  TMemoryHost host = Prepared();
  host.AddFile("Setup.cfg", config);
  std::vector<bool> answers;
  for (int i = 0; i < 16; ++i) answers.push_back(((answerBits >> i) & 1) == 0);
  host.AnswerBoxes(answers);

  Require(RunInstallation(host) == 0, "exit code 0");
  Require(host.OpenHandles() == 0, "no handle left open");
  for (const std::string& path : host.AllPaths()) {
    Require(path.find(".fw-new") == std::string::npos, "no temporary file left");
  }
  for (const TValue& value : UserValues) {
    const auto now = host.Value(HKCU, value.Key, value.Name);
    Require(now.has_value(), "a user value is never lost");
    if (value.Key.find("Palette") != std::string::npos) {
      Require(now->compare(0, value.Data.size(), value.Data) == 0, "a palette list only grows at its end");
    } else {
      Require(*now == value.Data, "a Known Packages value outside Lib is left alone");
    }
  }
  for (const std::string& path : HelpFiles) {
    const auto now = host.FileData(path);
    if (!now) {
      Require(RemovedByName(host, path), "a help file is lost only to a DELETE naming it");
      continue;
    }
    const std::string text = *Prepared().FileData(path);
    Require(*now == text || KeepsLines(text, *now), "a help file keeps every line it had");
  }
  Require(host.FileData("Setup.cfg") == config, "Setup.cfg is only read");
  Require(!host.Boxes().empty(), "the user always sees a box");
  Require(host.Boxes().size() <= config.size() + 2, "no more boxes than the file can ask for");
  return 0;
}
