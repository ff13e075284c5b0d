// The checker on keywords and order: near-miss keywords, target directives before the
// first LANGUAGE, cut values, COMPONENT without a page, the package title, summary flags
// that a later directive replaces, and a file without LANGUAGE.
#include <gtest/gtest.h>

#include "ConfigCheckTestSupport.h"

namespace Ferrowind::CheckTest {
namespace {

const std::string Lang = "LANGUAGE=Delphi 3\r\n";

TEST(ConfigCheckKeywords, NearMissKeywordsAreNamed) {
  const TCheckResult result = Check(Lang +
                                    "PAKAGE=x\r\n"             // 2: a letter missing
                                    "PACKAGEFILES=y\r\n"       // 3: a letter too many
                                    "LANGAUGE=Delphi 3\r\n"    // 4: two letters swapped
                                    "componemt=T P\r\n"        // 5: one letter wrong, any case
                                    "HELPFILE =h\r\n"          // 6: fine, blanks before "=" are stripped
                                    "  MESSAGE\r\n"            // 7: blanks in front, no "="
                                    "MESSAGE \r\n"             // 8: a blank after, no "="
                                    "[Setup]\r\n"              // 9
                                    "; PACKAGE\r\n"            // 10
                                    "PACK=x\r\n"               // 11: three edits away
                                    "XXPACKAGE=x\r\n"          // 12: two edits away
                                    "DELET=x\r\n");            // 13: the last line is checked too
  EXPECT_EQ(Kinds(result), V({"2 W", "3 W", "4 W", "5 W", "7 W", "8 W", "13 W"}));
  EXPECT_NE(MessageAt(result, 2, TSeverity::Warning).find("did you mean PACKAGE?"), std::string::npos);
  EXPECT_NE(MessageAt(result, 3, TSeverity::Warning).find("did you mean PACKAGEFILE?"), std::string::npos);
  EXPECT_NE(MessageAt(result, 4, TSeverity::Warning).find("did you mean LANGUAGE?"), std::string::npos);
  EXPECT_NE(MessageAt(result, 5, TSeverity::Warning).find("\"componemt\" is not a keyword"), std::string::npos);
  EXPECT_NE(MessageAt(result, 7, TSeverity::Warning).find("write MESSAGE="), std::string::npos);
  EXPECT_NE(MessageAt(result, 13, TSeverity::Warning).find("did you mean DELETE?"), std::string::npos);
  EXPECT_EQ(Row(result, 6).Kind, dkHelpFile);
}

TEST(ConfigCheckKeywords, TargetDirectivesBeforeTheFirstLanguageDoNothing) {
  const TFolders folders = {{"F", {{"Lib", AttrDirectory}}}};
  const TCheckResult result = Check(
      "PACKAGE=P\r\nPACKAGEFILE=a\r\nHELPFILE=h\r\nCOMPONENT=T P\r\nDELETE=x\r\nCOPYDIR=F\r\nMESSAGE=m\r\n" + Lang +
          "PACKAGEFILE=b\r\n\r\n",
      folders);
  EXPECT_EQ(Kinds(result), V({"2 W", "3 W", "4 W", "5 W", "6 W"}));
  for (int line = 2; line <= 6; ++line) {
    EXPECT_NE(MessageAt(result, line, TSeverity::Warning).find("before the first LANGUAGE"), std::string::npos);
    EXPECT_EQ(Row(result, line).Action, "nothing: no LANGUAGE before it");
  }
  EXPECT_EQ(Row(result, 7).Action, "message box");
  EXPECT_NE(Row(result, 9).Action.find("Known Packages"), std::string::npos);
}

TEST(ConfigCheckKeywords, ValuesLongerThanTheReaderKeepsAreFlagged) {
  const TCheckResult result = Check(Lang + "MESSAGE=" + std::string(1200, 'v') + "\r\n" +  // 2: cut
                                    "MESSAGE=" + std::string(1000, 'v') + "   \r\n" +    // 3: only blanks go
                                    "MESSAGE=  " + std::string(1000, 'v') + "\r\n" +     // 4: blanks count
                                    "\r\n");
  EXPECT_EQ(Kinds(result), V({"2 W", "4 W"}));
  EXPECT_NE(MessageAt(result, 2, TSeverity::Warning).find("1200 bytes"), std::string::npos);
  EXPECT_EQ(Row(result, 2).Value.size(), 1000u);
  EXPECT_EQ(Row(result, 4).Value.size(), 998u);
}

TEST(ConfigCheckKeywords, ComponentWithoutAPageGoesToTheUnnamedValue) {
  const TCheckResult result = Check(Lang + "COMPONENT=TBar\r\nCOMPONENT=TFoo My Page\r\n\r\n");
  EXPECT_EQ(Kinds(result), V({"2 W"}));
  EXPECT_NE(MessageAt(result, 2, TSeverity::Warning).find("unnamed value"), std::string::npos);
  EXPECT_EQ(Row(result, 2).Action, "HKEY_CURRENT_USER\\SOFTWARE\\Borland\\Delphi\\3.0\\Palette  (unnamed value) += TBar;");
  EXPECT_EQ(Row(result, 3).Action,
            "HKEY_CURRENT_USER\\SOFTWARE\\Borland\\Delphi\\3.0\\Palette  \"My Page\" += TFoo;");
}

TEST(ConfigCheckKeywords, PackageFileNeedsATitleBeforeIt) {
  const TCheckResult early = Check(Lang + "PACKAGEFILE=a.dpl\r\nPACKAGE=P\r\n\r\n");
  EXPECT_EQ(Kinds(early), V({"2 W"}));
  EXPECT_NE(MessageAt(early, 2, TSeverity::Warning).find("empty title"), std::string::npos);
  EXPECT_NE(Row(early, 2).Action.find("<RootDir>\\Lib\\a.dpl = \"\""), std::string::npos);

  const TCheckResult inOrder = Check("PACKAGE=P\r\n" + Lang + "PACKAGEFILE=a.dpl\r\n\r\n");
  EXPECT_TRUE(inOrder.Findings.empty());
  EXPECT_NE(Row(inOrder, 3).Action.find("<RootDir>\\Lib\\a.dpl = \"P\""), std::string::npos);
}

TEST(ConfigCheckKeywords, ALaterPackageFileOrHelpFileReplacesTheSummaryFlag) {
  // The flags belong to the run, so a new LANGUAGE does not start them afresh.
  const TCheckResult result = Check("PACKAGE=P\r\n" + Lang +
                                    "PACKAGEFILE=a\r\nHELPFILE=h1\r\nLANGUAGE=Delphi 4\r\nPACKAGEFILE=b\r\n"
                                    "HELPFILE=h2\r\nHELPFILE=h3\r\n\r\n");
  EXPECT_EQ(Kinds(result), V({"3 W", "4 W", "7 W"}));
  EXPECT_NE(MessageAt(result, 3, TSeverity::Warning).find("PACKAGEFILE on line 6 replaces"), std::string::npos);
  EXPECT_NE(MessageAt(result, 4, TSeverity::Warning).find("HELPFILE on line 7 replaces"), std::string::npos);
  EXPECT_NE(MessageAt(result, 7, TSeverity::Warning).find("HELPFILE on line 8 replaces"), std::string::npos);
}

TEST(ConfigCheckKeywords, AFileWithoutLanguageIsAnError) {
  const TCheckResult none = Check("PACKAGE=P\r\nMESSAGE=m\r\n\r\n");
  EXPECT_EQ(Kinds(none), V({"0 E"}));
  EXPECT_NE(MessageAt(none, 0, TSeverity::Error).find("Incorrect configuration file"), std::string::npos);
  // A LANGUAGE that is there but not read has its own error, on its line.
  EXPECT_EQ(Kinds(Check("PACKAGE=P\r\nLANGUAGE=Delphi 3\r\n")), V({"2 E"}));
  EXPECT_EQ(Kinds(Check("PACKAGE=P\r\n\x1aLANGUAGE=Delphi 3\r\n\r\n")), V({"1 E", "2 E"}));
}

}  // namespace
}  // namespace Ferrowind::CheckTest
