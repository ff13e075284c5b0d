// The built ferrowind-check program: its exit codes, its text and JSON output, and that the
// directives it lists as acted on are the ones the built installer acts on.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>

#include "ProgramRun.h"

namespace FerrowindTest {
namespace {

namespace fs = std::filesystem;

const std::string Source = FERROWIND_SOURCE_DIR;
const std::string Checker = FERROWIND_CHECK_BINARY;

// Just enough JSON to read the checker's document: objects, arrays, strings (ASCII and
// \u00XX escapes), integers, true, false and null. Malformed text throws.
struct TJson {
  enum TType { Null, Bool, Number, String, Array, Object } Type = Null;
  bool Flag = false;
  long long Integer = 0;
  std::string Text;
  std::vector<TJson> Items;
  std::map<std::string, TJson> Members;

  const TJson& operator[](const std::string& name) const {
    const auto found = Members.find(name);
    if (Type != Object || found == Members.end()) throw std::runtime_error("no member " + name);
    return found->second;
  }
  const TJson& operator[](std::size_t i) const {
    if (Type != Array || i >= Items.size()) throw std::runtime_error("no item");
    return Items[i];
  }
  bool Has(const std::string& name) const { return Type == Object && Members.count(name) != 0; }
};

class TJsonParser {
 public:
  explicit TJsonParser(const std::string& text) : FText(text) {}
  TJson Document() {
    TJson value = Value();
    Blanks();
    if (FPos != FText.size()) throw std::runtime_error("text after the document");
    return value;
  }

 private:
  void Blanks() {
    while (FPos < FText.size() && (FText[FPos] == ' ' || FText[FPos] == '\n' || FText[FPos] == '\r' || FText[FPos] == '\t')) ++FPos;
  }
  char Next() {
    if (FPos >= FText.size()) throw std::runtime_error("unexpected end");
    return FText[FPos++];
  }
  void Expect(const std::string& word) {
    if (FText.compare(FPos, word.size(), word) != 0) throw std::runtime_error("expected " + word);
    FPos += word.size();
  }
  TJson Value() {
    Blanks();
    TJson value;
    if (FPos >= FText.size()) throw std::runtime_error("unexpected end");
    const char c = FText[FPos];
    if (c == '{') {
      value.Type = TJson::Object;
      ++FPos;
      Blanks();
      if (FText[FPos] == '}') return ++FPos, value;
      for (;;) {
        Blanks();
        const std::string name = StringText();
        Blanks();
        if (Next() != ':') throw std::runtime_error("expected :");
        value.Members[name] = Value();
        Blanks();
        const char after = Next();
        if (after == '}') return value;
        if (after != ',') throw std::runtime_error("expected , or }");
      }
    }
    if (c == '[') {
      value.Type = TJson::Array;
      ++FPos;
      Blanks();
      if (FText[FPos] == ']') return ++FPos, value;
      for (;;) {
        value.Items.push_back(Value());
        Blanks();
        const char after = Next();
        if (after == ']') return value;
        if (after != ',') throw std::runtime_error("expected , or ]");
      }
    }
    if (c == '"') {
      value.Type = TJson::String;
      value.Text = StringText();
      return value;
    }
    if (c == 't' || c == 'f') {
      value.Type = TJson::Bool;
      value.Flag = c == 't';
      Expect(c == 't' ? "true" : "false");
      return value;
    }
    if (c == 'n') {
      Expect("null");
      return value;
    }
    std::size_t used = 0;
    value.Type = TJson::Number;
    value.Integer = std::stoll(FText.substr(FPos), &used);
    FPos += used;
    return value;
  }
  std::string StringText() {
    if (Next() != '"') throw std::runtime_error("expected a string");
    std::string text;
    for (char c = Next(); c != '"'; c = Next()) {
      if (static_cast<unsigned char>(c) < 32) throw std::runtime_error("raw control byte in a string");
      if (c != '\\') {
        text += c;
        continue;
      }
      const char escaped = Next();
      if (escaped == 'u') {
        const unsigned code = static_cast<unsigned>(std::stoul(FText.substr(FPos, 4), nullptr, 16));
        FPos += 4;
        if (code > 0x7F) throw std::runtime_error("this reader takes ASCII escapes only");
        text += static_cast<char>(code);
      } else if (escaped == 'n') {
        text += '\n';
      } else if (escaped == '"' || escaped == '\\' || escaped == '/') {
        text += escaped;
      } else {
        throw std::runtime_error("unknown escape");
      }
    }
    return text;
  }
  const std::string& FText;
  std::size_t FPos = 0;
};

TJson ParseJson(const std::string& text) { return TJsonParser(text).Document(); }

class CheckProgram : public ::testing::Test {
 protected:
  void SetUp() override { fs::copy(Source + "/examples/package", Package(), fs::copy_options::recursive); }
  std::string Package() const { return scratch / "package"; }
  TProgramResult RunCheck(const std::vector<std::string>& arguments, const std::string& folder = "") {
    return RunProgram(Checker, arguments, folder.empty() ? scratch.Path() : folder, {}, "");
  }
  TScratch scratch;
};

TEST_F(CheckProgram, TheExamplePrintsEveryDirectiveAndNoFinding) {
  const TProgramResult run = RunCheck({Source + "/examples/package/Setup.cfg"});
  EXPECT_EQ(run.ExitCode, 0) << run.Output << run.Errors;
  const std::vector<std::string> expected = {
      "   1  PACKAGE      Widget Pack  -> package title\n",
      "   2  LANGUAGE     Delphi 3  -> HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\Delphi\\3.0  RootDir",
      "   3  PACKAGEFILE  WidgetPack.dpl  -> HKEY_CURRENT_USER\\SOFTWARE\\Borland\\Delphi\\3.0\\Known Packages",
      "   4  COMPONENT    TWidget Widgets  -> ",
      "   5  COMPONENT    TWidgetGrid Widgets  -> ",
      "   6  HELPFILE     Widgets.hlp  -> Help\\Delphi3.cfg, Help\\Delphi3.cnt; removes Help\\Delphi3.gid\n",
      "   7  COPYDIR      Files  -> subfolders Help, Lib, Source (beside the installer)",
      "   8  DELETE       Lib\\WidgetPackOld.dcu  -> removes <RootDir>\\Lib\\WidgetPackOld.dcu\n",
      "   9  MESSAGE      ",
      "  10  not acted on: last line\n",
      "\n0 errors, 0 warnings\n",
  };
  std::size_t at = 0;
  for (const std::string& part : expected) {
    const std::size_t found = run.Output.find(part, at);
    ASSERT_NE(found, std::string::npos) << part << "\n---\n" << run.Output;
    at = found + part.size();
  }
  EXPECT_EQ(run.Output.find("error:"), std::string::npos);
  EXPECT_EQ(run.Output.find("warning:"), std::string::npos);
}

TEST_F(CheckProgram, JsonGivesTheSameAsADocument) {
  const TProgramResult run = RunCheck({"--json", "package/Setup.cfg"});
  EXPECT_EQ(run.ExitCode, 0) << run.Errors;
  TJson document;
  ASSERT_NO_THROW(document = ParseJson(run.Output)) << run.Output;
  EXPECT_EQ(document["file"].Text, "package/Setup.cfg");
  EXPECT_EQ(document["exitCode"].Integer, 0);
  EXPECT_EQ(document["errors"].Integer, 0);
  EXPECT_EQ(document["warnings"].Integer, 0);
  EXPECT_EQ(document["findings"].Type, TJson::Array);
  EXPECT_TRUE(document["findings"].Items.empty());
  const TJson& lines = document["lines"];
  ASSERT_EQ(lines.Items.size(), 10u);
  const std::vector<std::string> kinds = {"PACKAGE", "LANGUAGE", "PACKAGEFILE", "COMPONENT", "COMPONENT",
                                          "HELPFILE", "COPYDIR", "DELETE", "MESSAGE"};
  for (std::size_t i = 0; i < kinds.size(); ++i) {
    EXPECT_EQ(lines[i]["line"].Integer, static_cast<long long>(i + 1));
    EXPECT_EQ(lines[i]["fate"].Text, "actedOn");
    EXPECT_EQ(lines[i]["kind"].Text, kinds[i]);
    EXPECT_EQ(lines[i]["action"].Type, TJson::String);
  }
  EXPECT_EQ(lines[1]["value"].Text, "Delphi 3");
  EXPECT_EQ(lines[6]["action"].Text, "subfolders Help, Lib, Source (beside the installer) into <RootDir>");
  EXPECT_EQ(lines[9]["fate"].Text, "lastLine");
  EXPECT_FALSE(lines[9].Has("action"));
}

TEST_F(CheckProgram, LfLineEndsAreAnErrorWithExitCodeOne) {
  std::string text = ReadWhole(Package() + "/Setup.cfg");
  std::erase(text, '\r');
  WriteWhole(Package() + "/Setup.cfg", text);
  const TProgramResult run = RunCheck({"package/Setup.cfg"});
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Output.find("line 1: error: the file's lines end in LF only"), std::string::npos) << run.Output;
  EXPECT_NE(run.Output.find("1 error, 0 warnings"), std::string::npos) << run.Output;

  const TProgramResult json = RunCheck({"package/Setup.cfg", "--json"});
  EXPECT_EQ(json.ExitCode, 1);
  TJson document;
  ASSERT_NO_THROW(document = ParseJson(json.Output)) << json.Output;
  EXPECT_EQ(document["exitCode"].Integer, 1);
  ASSERT_EQ(document["findings"].Items.size(), 1u);
  EXPECT_EQ(document["findings"][0]["line"].Integer, 1);
  EXPECT_EQ(document["findings"][0]["severity"].Text, "error");
  EXPECT_EQ(document["lines"][0]["fate"].Text, "lastLine");
  EXPECT_EQ(document["lines"][1]["fate"].Text, "joined");
  EXPECT_EQ(document["lines"][1]["joinedTo"].Integer, 1);
  // The joined value holds LFs: they are escaped, not written raw.
  EXPECT_NE(document["lines"][0]["value"].Text.find("\nLANGUAGE=Delphi 3\n"), std::string::npos);
}

TEST_F(CheckProgram, UnreadableFilesAndBadUsageExitWithTwo) {
  const TProgramResult missing = RunCheck({"package/Nothing.cfg"});
  EXPECT_EQ(missing.ExitCode, 2);
  EXPECT_NE(missing.Errors.find("cannot read package/Nothing.cfg"), std::string::npos);
  EXPECT_TRUE(missing.Output.empty());
  const TProgramResult folder = RunCheck({"package"});
  EXPECT_EQ(folder.ExitCode, 2);
  const TProgramResult json = RunCheck({"--json", "package/Nothing.cfg"});
  EXPECT_EQ(json.ExitCode, 2);
  TJson document;
  ASSERT_NO_THROW(document = ParseJson(json.Output)) << json.Output;
  EXPECT_EQ(document["exitCode"].Integer, 2);
  // No Setup.cfg in the working folder, which is the default.
  EXPECT_EQ(RunCheck({}).ExitCode, 2);
  EXPECT_EQ(RunCheck({"--colour", "package/Setup.cfg"}).ExitCode, 2);
  EXPECT_EQ(RunCheck({"package/Setup.cfg", "package/Setup.cfg"}).ExitCode, 2);
}

TEST_F(CheckProgram, CopyDirFoldersAreLookedUpBesideTheFileAndWarningsKeepExitCodeZero) {
  // The default path is Setup.cfg in the working folder.
  EXPECT_EQ(RunCheck({}, Package()).ExitCode, 0);

  WriteWhole(Package() + "/Setup.cfg", "LANGUAGE=Delphi 3\r\nCOPYDIR=Files\r\nCOMPONENT=TBar\r\n\r\n");
  const TProgramResult warned = RunCheck({"package/Setup.cfg"});
  EXPECT_EQ(warned.ExitCode, 0) << warned.Output;
  EXPECT_NE(warned.Output.find("line 3: warning: "), std::string::npos) << warned.Output;

  fs::rename(Package() + "/Files", Package() + "/Moved");
  const TProgramResult moved = RunCheck({"package/Setup.cfg"});
  EXPECT_EQ(moved.ExitCode, 1);
  EXPECT_NE(moved.Output.find("line 2: error: COPYDIR folder \"Files\" does not exist"), std::string::npos)
      << moved.Output;
}

// The boxes of an installer transcript, as "Style:text", the final summary left out.
std::vector<std::string> TranscriptBoxes(const std::string& output) {
  const std::string header = "[Ferrowind Component Installer: ";
  std::vector<std::string> boxes;
  for (std::size_t at = output.find(header); at != std::string::npos;) {
    const std::size_t styleEnd = output.find("]\n", at);
    const std::size_t next = output.find(header, styleEnd);
    std::string text = output.substr(styleEnd + 2, (next == std::string::npos ? output.size() : next) - styleEnd - 2);
    text = text.substr(0, text.rfind("\n["));
    boxes.push_back(output.substr(at + header.size(), styleEnd - at - header.size()) + ":" + text);
    at = next;
  }
  if (!boxes.empty()) boxes.pop_back();
  return boxes;
}

TEST_F(CheckProgram, TheListedDirectivesAreThoseTheInstallerActsOn) {
  fs::copy(Source + "/examples/ide", scratch / "Delphi 3", fs::copy_options::recursive);
  CopyInto(FERROWIND_SETUP_BINARY, Package());
  std::string registry = ReadWhole(Source + "/examples/registry.reg.in");
  for (std::size_t at; (at = registry.find("@ROOT@")) != std::string::npos;) registry.replace(at, 6, scratch / "Delphi 3");
  const std::string example = ReadWhole(Source + "/examples/package/Setup.cfg");
  std::string lfOnly = example;
  std::erase(lfOnly, '\r');
  const std::vector<std::string> files = {
      example,
      example.substr(0, example.size() - 2),  // without its extra last line
      lfOnly,
      "MESSAGE=before\r\n" + example.substr(0, example.find("MESSAGE")) + "\x1a" + "MESSAGE=after\r\n\r\n",
      "PACKAGE=Widget Pack\r\nLANGUAGE=Delphi 3\r\n\r\n",
      "LANGUAGE=Delphi 3\r\nCOPYDIR=Tree\r\n\r\n",
      "PACKAGE=P\r\nLANGUAGE=Delphi 3\r\nHELPFILE=W.hlp\r\n\r\n",
      "MESSAGE=one\r\n message = two \r\nMESSAGE=three\nMESSAGE=four\r\nMESAGE=five\r\nMESSAGE=six\r\n",
  };
  for (std::size_t i = 0; i < files.size(); ++i) {
    WriteWhole(scratch / "registry.reg", registry);
    WriteWhole(Package() + "/Setup.cfg", files[i]);
    const TProgramResult checked = RunCheck({"--json", "package/Setup.cfg"});
    TJson document;
    ASSERT_NO_THROW(document = ParseJson(checked.Output)) << i << checked.Output;
    std::vector<std::string> predicted;
    for (const TJson& line : document["lines"].Items) {
      if (line["fate"].Text != "actedOn") continue;
      if (line["kind"].Text == "LANGUAGE") predicted.push_back("Confirmation:You are about to install");
      if (line["kind"].Text == "MESSAGE") predicted.push_back("Information:" + line["value"].Text);
    }
    const TProgramResult installed = RunProgram(Package() + "/ferrowind-setup", {}, Package(),
                                                {{"FERROWIND_REGISTRY", scratch / "registry.reg"}},
                                                std::string(20, '\n'));
    std::vector<std::string> shown = TranscriptBoxes(installed.Output);
    for (std::string& box : shown) {
      if (box.rfind("Confirmation:", 0) == 0) box = box.substr(0, box.find(" install") + 8);
    }
    EXPECT_EQ(shown, predicted) << "file " << i << "\n" << installed.Output;
  }
}

}  // namespace
}  // namespace FerrowindTest
