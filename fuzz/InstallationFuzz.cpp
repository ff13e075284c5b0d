// A whole installation on the in-memory host from arbitrary Setup.cfg bytes, with message
// boxes answered from the input. The host holds a Delphi 3 and a C++Builder 3 as their own
// setups leave them and the example package beside the installer. Whatever the file says:
// the run ends with exit code 0 and no handle open; no palette list or Known Packages value
// loses a byte; a help file is either untouched or keeps every line it had, in order; no
// temporary file is left; a finished run ends with its summary.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <string_view>
#include <vector>

#include "Base/Text.h"
#include "FuzzCheck.h"
#include "Setup/InstallRun.h"
#include "platform/MemoryHost.h"

namespace {

using namespace Ferrowind;

constexpr auto HKLM = TRootKey::LocalMachine;
constexpr auto HKCU = TRootKey::CurrentUser;
const std::string Delphi = "SOFTWARE\\Borland\\Delphi\\3.0";
const std::string Builder = "SOFTWARE\\Borland\\C++Builder\\3.0";

struct TValue {
  TRootKey Root;
  std::string Key, Name, Data;
};
const std::vector<TValue> UserValues = {
    {HKCU, Delphi + "\\Known Packages", "C:\\Delphi 3\\Bin\\dclstd30.dpl", "Borland Standard Components"},
    {HKCU, Delphi + "\\Palette", "Standard", "TMainMenu;TPopupMenu;TLabel;TEdit;TMemo;TButton;TCheckBox;"},
    {HKCU, Delphi + "\\Palette", "Additional", "TBitBtn;TSpeedButton;TMaskEdit;TStringGrid;TDrawGrid;TImage"},
    {HKCU, Builder + "\\Known Packages", "C:\\CBuilder3\\Bin\\dclstd35.bpl", "Borland Standard Components"},
    {HKCU, Builder + "\\Palette", "Samples", "TGauge;TColorGrid;TSpinButton;TSpinEdit;TDirectoryOutline;"},
};
const std::vector<std::pair<std::string, std::string>> HelpFiles = {
    {"C:\\Delphi 3\\Help\\Delphi3.cfg", ":Link delphi3.hlp\r\n:Link vcl3.hlp\r\n:Link win32.hlp\r\n\r\n"},
    {"C:\\Delphi 3\\Help\\DELPHI3.CNT",
     ":Base delphi3.hlp\r\n:Title Delphi Help\r\n1 Delphi Help\r\n:Index Delphi Reference=delphi3.hlp\r\n"
     ":Index VCL Reference=vcl3.hlp\r\n:Include win32.cnt\r\n"},
    {"C:\\CBuilder3\\Help\\bcb.ohl", ":LINK bcb3.hlp\n:LINK bcbvcl3.hlp\n"},
    {"C:\\CBuilder3\\Help\\bcb.ohi", ":Base bcb3.hlp\n:Index C++Builder=bcb3.hlp\n  :Index VCL=bcbvcl3.hlp  \n"},
};

void Prepare(TMemoryHost& host) {
  host.SetValue(HKLM, Delphi, "RootDir", "C:\\Delphi 3");
  host.SetValue(HKLM, Delphi, "Version", "Client/Server");
  host.SetValue(HKLM, Builder, "RootDir", "C:\\CBuilder3\\");
  host.SetValue(HKLM, Builder, "SKU", "Professional");
  for (const TValue& value : UserValues) host.SetValue(value.Root, value.Key, value.Name, value.Data);
  for (const auto& [path, text] : HelpFiles) host.AddFile(path, text);
  host.AddFile("C:\\Delphi 3\\Help\\Delphi3.gid", "index cache\n", AttrArchive | AttrHidden);
  host.AddFolder("C:\\CBuilder3\\Help\\bcb3.gid");  // a folder of the cache's name is not the cache
  host.AddFile("C:\\Delphi 3\\Bin\\delphi32.exe", "MZ");
  host.AddFile("C:\\Delphi 3\\Lib\\SysUtils.dcu", "sysutils");
  host.AddFile("C:\\Delphi 3\\Lib\\WidgetPackOld.dcu", "old", AttrArchive | AttrReadOnly);
  host.AddFile("C:\\Delphi 3\\Source\\Vcl\\Classes.pas", "unit Classes;");
  host.AddFolder("C:\\CBuilder3\\Lib");
  host.SetProgramPath("C:\\Package\\Setup.exe");
  host.AddFile("C:\\Package\\Setup.exe", "MZ");
  host.AddFile("C:\\Package\\Files\\Help\\Widgets.hlp", "help");
  host.AddFile("C:\\Package\\Files\\Lib\\WidgetPack.dpl", "package");
  host.AddFile("C:\\Package\\Files\\Lib\\Widgets.dcu", "unit");
  host.AddFile("C:\\Package\\Files\\Source\\Widgets\\Widgets.pas", "unit Widgets;");
  host.AddFolder("C:\\Package\\Files\\.svn");
  host.AddFile("C:\\Package\\Files\\Readme.txt", "not copied");
}

std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size() && text[i] != '\r' && text[i] != '\n') continue;
    const std::string line = StripBlanks(std::string_view(text).substr(start, i - start));
    if (!line.empty()) lines.push_back(line);
    if (i + 1 < text.size() && text[i] == '\r' && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  return lines;
}

// Every non-empty line of before appears in after, in the same order.
bool KeepsLines(const std::string& before, const std::string& after) {
  const std::vector<std::string> old = LinesOf(before);
  const std::vector<std::string> now = LinesOf(after);
  std::size_t j = 0;
  for (const std::string& line : now) {
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

  TMemoryHost host;
  Prepare(host);
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
    const auto now = host.Value(value.Root, value.Key, value.Name);
    Require(now.has_value(), "a user value is never lost");
    if (value.Key.find("Palette") != std::string::npos) {
      Require(now->compare(0, value.Data.size(), value.Data) == 0, "a palette list only grows at its end");
    } else {
      Require(*now == value.Data, "a Known Packages value outside Lib is left alone");
    }
  }
  for (const auto& [path, text] : HelpFiles) {
    const auto now = host.FileData(path);
    if (!now) {
      Require(RemovedByName(host, path), "a help file is lost only to a DELETE naming it");
      continue;
    }
    Require(*now == text || KeepsLines(text, *now), "a help file keeps every line it had");
  }
  Require(host.FileData("Setup.cfg") == config, "Setup.cfg is only read");
  Require(!host.Boxes().empty(), "the user always sees a box");
  Require(host.Boxes().size() <= config.size() + 2, "no more boxes than the file can ask for");
  return 0;
}
