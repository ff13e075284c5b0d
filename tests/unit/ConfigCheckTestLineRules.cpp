// The checker on the traps of the line and end rules: the last line, LF-only line ends,
// the byte 26. Each file is also run through the installer to show that the lines the
// checker lists as acted on are exactly those the installer acts on.
#include <gtest/gtest.h>

#include "ConfigCheckTestSupport.h"
#include "Setup/InstallRun.h"
#include "platform/MemoryHost.h"

namespace Ferrowind::CheckTest {
namespace {

const std::string Lang = "LANGUAGE=Delphi 3\r\n";

TEST(ConfigCheckLineRules, TheLastLineIsNeverActedOn) {
  for (const std::string& file : {Lang + "MESSAGE=A\r\nMESSAGE=B\r\n", Lang + "MESSAGE=A\r\nMESSAGE=B"}) {
    const TCheckResult result = Check(file);
    EXPECT_EQ(ActedOn(result), V({"2:Delphi 3", "6:A"}));
    EXPECT_EQ(Fates(result), V({"1 acted", "2 acted", "3 last"}));
    EXPECT_EQ(Kinds(result), V({"3 E"}));
    const std::string message = MessageAt(result, 3, TSeverity::Error);
    EXPECT_NE(message.find("MESSAGE \"B\" will not run"), std::string::npos) << message;
    EXPECT_NE(message.find("end the file with one more, empty line"), std::string::npos) << message;
  }
  const TCheckResult fixed = Check(Lang + "MESSAGE=A\r\nMESSAGE=B\r\n\r\n");
  EXPECT_EQ(ActedOn(fixed), V({"2:Delphi 3", "6:A", "6:B"}));
  EXPECT_EQ(Fates(fixed), V({"1 acted", "2 acted", "3 acted", "4 last"}));
  EXPECT_TRUE(fixed.Findings.empty());
  // A last line without a keyword loses nothing.
  EXPECT_TRUE(Check(Lang + "MESSAGE=A\r\n; end\r\n").Findings.empty());
}

TEST(ConfigCheckLineRules, LfOnlyLineEndsJoinTheWholeFileIntoOneLine) {
  const TCheckResult result = Check("PACKAGE=P\nLANGUAGE=Delphi 3\nMESSAGE=m\n");
  EXPECT_EQ(ActedOn(result), V{});
  EXPECT_EQ(Fates(result), V({"1 last", "2 joined1", "3 joined1"}));
  // One error says it all: no separate complaint about the last line or a missing LANGUAGE.
  EXPECT_EQ(Kinds(result), V({"1 E"}));
  EXPECT_NE(MessageAt(result, 1, TSeverity::Error).find("LF only"), std::string::npos);
  EXPECT_EQ(Row(result, 2).Text, "LANGUAGE=Delphi 3");
}

TEST(ConfigCheckLineRules, AnLfInsideACrLfFileMattersOnlyWhenItChangesTheLine) {
  // Two directives joined: the second is lost inside the first one's value.
  const TCheckResult joined = Check(Lang + "MESSAGE=A\nMESSAGE=B\r\n\r\n");
  EXPECT_EQ(ActedOn(joined), V({"2:Delphi 3", "6:A\nMESSAGE=B"}));
  EXPECT_EQ(Fates(joined), V({"1 acted", "2 acted", "3 joined2", "4 last"}));
  EXPECT_EQ(Kinds(joined), V({"2 E"}));
  EXPECT_NE(MessageAt(joined, 2, TSeverity::Error).find("lines 2 to 3 as one line"), std::string::npos);

  // Stray LFs before a line are stripped with the keyword's blanks: nothing changes.
  const TCheckResult harmless = Check(Lang + "\n\nMESSAGE=B\r\n\r\n");
  EXPECT_EQ(ActedOn(harmless), V({"2:Delphi 3", "6:B"}));
  EXPECT_EQ(Fates(harmless), V({"1 acted", "2 acted", "3 joined2", "4 joined2", "5 last"}));
  EXPECT_TRUE(harmless.Findings.empty());

  // A keyword without "=" counts only when the line is nothing else, so an LF after it
  // turns MESSAGE into a line without a keyword.
  const TCheckResult changed = Check(Lang + "MESSAGE\n\r\nX\r\n");
  EXPECT_EQ(ActedOn(changed), V({"2:Delphi 3", "9:"}));
  EXPECT_EQ(Kinds(changed), V({"2 E"}));
  EXPECT_NE(MessageAt(changed, 2, TSeverity::Error).find("instead of MESSAGE"), std::string::npos);

  // The last line of a CR LF file ending in LF-joined directives.
  const TCheckResult lastJoined = Check(Lang + "MESSAGE=A\nMESSAGE=B");
  EXPECT_EQ(Kinds(lastJoined), V({"2 E"}));
  EXPECT_NE(MessageAt(lastJoined, 2, TSeverity::Error).find("never acted on"), std::string::npos);
}

TEST(ConfigCheckLineRules, ByteTwentySixEndsTheText) {
  // At the start of a line: the line before becomes the last one, the rest is never read.
  const TCheckResult lost = Check(Lang + "MESSAGE=A\r\n\x1a" "MESSAGE=B\r\nMESSAGE=C\r\n\r\n");
  EXPECT_EQ(ActedOn(lost), V({"2:Delphi 3"}));
  EXPECT_EQ(Fates(lost), V({"1 acted", "2 last", "3 unread 26", "4 unread", "5 unread"}));
  EXPECT_EQ(Kinds(lost), V({"2 E", "3 E"}));
  EXPECT_NE(MessageAt(lost, 2, TSeverity::Error).find("before the byte 26 on line 3"), std::string::npos);
  EXPECT_NE(MessageAt(lost, 3, TSeverity::Error).find("lines 3, 4 are never read"), std::string::npos);

  // Inside a line: the text before it is that line, read last.
  const TCheckResult inside = Check(Lang + "MESSAGE=A\r\nB\x1a\r\nMESSAGE=C\r\n");
  EXPECT_EQ(ActedOn(inside), V({"2:Delphi 3", "6:A"}));
  EXPECT_EQ(Fates(inside), V({"1 acted", "2 acted", "3 last 26", "4 unread"}));
  EXPECT_EQ(Kinds(inside), V({"3 E"}));
  EXPECT_NE(MessageAt(inside, 3, TSeverity::Error).find("the directive on line 4 is never read"), std::string::npos);

  // After the final empty line, as old editors write it: harmless.
  const TCheckResult trailing = Check(Lang + "MESSAGE=A\r\n\r\n\x1a");
  EXPECT_EQ(Fates(trailing), V({"1 acted", "2 acted", "3 last", "4 unread 26"}));
  EXPECT_TRUE(trailing.Findings.empty());
}

TEST(ConfigCheckLineRules, LoneCrLineEndsAndEmptyFiles) {
  const TCheckResult lone = Check(Lang + "MESSAGE=A\rMESSAGE=B\r");
  EXPECT_EQ(ActedOn(lone), V({"2:Delphi 3", "6:A"}));
  EXPECT_EQ(Kinds(lone), V({"3 E"}));
  // CR CR LF is two line ends: an empty line between them.
  const TCheckResult doubled = Check(Lang + "MESSAGE=A\r\rMESSAGE=B\r\n\r\n");
  EXPECT_EQ(Fates(doubled), V({"1 acted", "2 acted", "3 passed", "4 acted", "5 last"}));
  EXPECT_TRUE(doubled.Findings.empty());

  const TCheckResult empty = Check("");
  EXPECT_TRUE(empty.Lines.empty());
  EXPECT_EQ(Kinds(empty), V({"0 E"}));
}

TEST(ConfigCheckLineRules, LinesLongerThanTheReadersBlockAgree) {
  const std::string filler(70000, 'x');
  const TCheckResult result = Check(Lang + filler + "\r\nMESSAGE=ok\r\n" + filler + "\r\n\r\n");
  EXPECT_EQ(ActedOn(result), V({"2:Delphi 3", "9:", "6:ok", "9:"}));
  EXPECT_TRUE(result.Findings.empty());
}

TEST(ConfigCheckLineRules, TheScanAgreesWithTheReaderOnMixedLineEnds) {
  // Files built from the pieces the line rules care about; Check() asserts the agreement.
  const std::vector<std::string> pieces = {"\r", "\n", "\r\n", "\x1a", "=", " ", "MESSAGE", "x", std::string(1, '\0')};
  std::uint32_t state = 12345;
  auto next = [&state] { return state = state * 1103515245u + 12345u, (state >> 16) & 0x7fff; };
  for (int file = 0; file < 3000; ++file) {
    std::string text;
    const std::uint32_t length = next() % 12;
    for (std::uint32_t i = 0; i < length; ++i) text += pieces[next() % pieces.size()];
    const TCheckResult result = Check(text);
    // The listing numbers the editor's lines 1, 2, 3 ... without gaps or repeats.
    for (std::size_t row = 0; row < result.Lines.size(); ++row) {
      EXPECT_EQ(result.Lines[row].Number, static_cast<int>(row) + 1);
    }
    // As many as an editor shows: CR LF, CR and LF each end a line; a break at the very
    // end opens none.
    std::size_t editorLines = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\r' || text[i] == '\n') ++editorLines;
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    }
    if (!text.empty() && text.back() != '\r' && text.back() != '\n') ++editorLines;
    EXPECT_EQ(result.Lines.size(), editorLines);
    if (::testing::Test::HasFailure()) {
      ADD_FAILURE() << "file " << file << ": " << VisibleText(text);
      return;
    }
  }
}

// The boxes the installer shows, as "style:text" for MESSAGE boxes and "prompt" for the
// confirmation; the closing summary is left out.
V InstallerBoxes(const std::string& file) {
  TMemoryHost host;
  host.SetValue(TRootKey::LocalMachine, "SOFTWARE\\Borland\\Delphi\\3.0", "RootDir", "C:\\D3");
  host.AddFile("Setup.cfg", file);
  RunInstallation(host);
  V boxes;
  for (const auto& box : host.Boxes()) {
    boxes.push_back(box.Style == StyleConfirmation ? "prompt" : std::to_string(box.Style) + ":" + box.Text);
  }
  if (!boxes.empty()) boxes.pop_back();
  return boxes;
}

V PredictedBoxes(const TCheckResult& result) {
  V boxes;
  for (const TLineReport& line : result.Lines) {
    if (line.Fate != TLineFate::ActedOn) continue;
    if (line.Kind == dkLanguage) boxes.push_back("prompt");
    if (line.Kind == dkMessage) boxes.push_back(std::to_string(StyleInformation) + ":" + line.Value);
  }
  return boxes;
}

TEST(ConfigCheckLineRules, TheListedDirectivesAreThoseTheInstallerActsOn) {
  const std::vector<std::string> files = {
      Lang + "MESSAGE=A\r\nMESSAGE=B\r\n",
      Lang + "MESSAGE=A\r\nMESSAGE=B\r\n\r\n",
      "MESSAGE=first\r\n" + Lang + "MESSAGE=A\nMESSAGE=B\r\nMESSAGE=C\r\n\r\n",
      "MESSAGE=A\nLANGUAGE=Delphi 3\nMESSAGE=B\n",
      Lang + "\n\nMESSAGE=B\r\n\r\n",
      Lang + "MESSAGE=A\r\n\x1a" "MESSAGE=B\r\n\r\n",
      Lang + "MESSAGE=A\r\nMESSAGE=B\x1a\r\nMESSAGE=C\r\n",
      Lang + "MESSAGE=A\rMESSAGE=B\r\rMESSAGE=C\r",
      "  message = hello  \r\nMESSAGE\r\n MESSAGE\r\nMESAGE=typo\r\n" + Lang + "\r\n",
      "MESSAGE=" + std::string(1200, 'v') + "\r\n\r\n",
      "",
  };
  for (std::size_t i = 0; i < files.size(); ++i) {
    EXPECT_EQ(PredictedBoxes(Check(files[i])), InstallerBoxes(files[i])) << "file " << i;
  }
}

}  // namespace
}  // namespace Ferrowind::CheckTest
