// The built ferrowind-check program: its exit codes, its text and JSON output. That the
// directives it lists as acted on are those the installer acts on is held against the
// installer's reader for every file of the checker's unit tests.
#include <gtest/gtest.h>

#include <regex>

#include "ProgramRun.h"

namespace FerrowindTest {
namespace {

// What python3 prints for script, run with the JSON document json parsed into d; on a parse
// failure (malformed JSON, raw control bytes in strings) its complaint, which no test expects.
std::string Python(const std::string& script, const std::string& json) {
  const std::string program = "import json, sys\nd = json.load(sys.stdin)\n" + script;
  const TProgramResult run = RunProgram("/usr/bin/env", {"python3", "-c", program}, "/", {}, json);
  return run.ExitCode == 0 ? run.Output : "python3 failed: " + run.Errors;
}

class CheckProgram : public TInstallFolders {
 protected:
  TProgramResult RunCheck(const std::vector<std::string>& args) const {
    return RunProgram(FERROWIND_CHECK_BINARY, args, FScratch.Path(), {}, "");
  }
};

TEST_F(CheckProgram, ExitCodesTextAndJson) {
  WriteWhole(FScratch / "lf/Setup.cfg", std::regex_replace(ReadWhole(FPackage + "/Setup.cfg"), std::regex("\r"), ""));
  // The folder Files lies beside the first, not beside the second.
  for (const std::string& path : {FPackage + "/Warned.cfg", FScratch / "moved/Setup.cfg"}) {
    WriteWhole(path, "LANGUAGE=Delphi 3\r\nCOPYDIR=Files\r\nCOMPONENT=TBar\r\n\r\n");
  }
  const std::string keys = "errors exitCode file findings lines warnings ";
  // Arguments, exit code, a piece of the text output, and the JSON document's keys, exit code,
  // the severity of each finding and the fate of each line by its first letter (a: acted on,
  // l: the last line, j: joined to the line before it), nothing to check when empty. The working folder holds
  // no Setup.cfg, the default file.
  struct TCase {
    std::vector<std::string> Args;
    int Exit;
    std::string Text, Json;
  };
  const std::vector<TCase> cases = {
      {{"package/Setup.cfg"}, 0, "\n0 errors, 0 warnings\n", keys + "0 aaaaaaaaal"},
      {{"package/Warned.cfg"}, 0, "\npackage/Warned.cfg:3: warning: ", keys + "0 warning aaal"},
      {{"moved/Setup.cfg"},
       1,
       "\nmoved/Setup.cfg:2: error: COPYDIR folder \"Files\" does not exist",
       keys + "1 error warning aaal"},
      {{"lf/Setup.cfg"}, 1, "\nlf/Setup.cfg:1: error: the file's lines end in LF only", keys + "1 error ljjjjjjjjj"},
      {{}, 2, "cannot read Setup.cfg", "error exitCode file 2 "},
      {{"--colour", "package/Setup.cfg"}, 2, "usage: ", ""},
      {{"--cancel-at", "1"}, 2, "usage: ", ""},  // only with --preview
      {{"--preview", "--cancel-at", "0"}, 2, "usage: ", ""},
      {{"--preview", "--cancel-at"}, 2, "usage: ", ""},
  };
  for (TCase c : cases) {
    SCOPED_TRACE(c.Text);
    const TProgramResult run = RunCheck(c.Args);
    EXPECT_EQ(run.ExitCode, c.Exit);
    EXPECT_NE((run.Output + run.Errors).find(c.Text), std::string::npos) << run.Output << run.Errors;
    if (c.Json.empty()) continue;
    c.Args.insert(c.Args.begin(), "--json");
    const TProgramResult json = RunCheck(c.Args);
    EXPECT_EQ(json.ExitCode, c.Exit);
    EXPECT_EQ(Python("print(*sorted(d), d['exitCode'], *(f['severity'] for f in d.get('findings', [])),"
                     "''.join(l['fate'][0] for l in d.get('lines', [])))",
                     json.Output),
              c.Json + "\n");
  }
}

}  // namespace
}  // namespace FerrowindTest
