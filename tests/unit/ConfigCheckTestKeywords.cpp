// The checker on keywords and order: near-miss keywords, target directives before the first
// LANGUAGE, cut values, COMPONENT without a page, the package title, summary flags that a
// later directive replaces, and a file without LANGUAGE.
#include "ConfigCheckTestSupport.h"

namespace Ferrowind::CheckTest {

const std::string Early = "warning: ...before the first LANGUAGE";

TEST(ConfigCheckKeywords, EachFindingIsOnItsLine) {
  CheckAll({
      // 2 to 5 are one edit away, 6 is fine (blanks before "=" go), 7 and 8 lack "=", 9 to 12
      // are no near misses, and the last line is checked too.
      {Lang + "PAKAGE=x\r\nPACKAGEFILES=y\r\nLANGAUGE=Delphi 3\r\ncomponemt=T P\r\nHELPFILE =h\r\n  MESSAGE\r\n"
              "MESSAGE \r\n[Setup]\r\n; PACKAGE\r\nPACK=x\r\nXXPACKAGE=x\r\nDELET=x\r\n",
       {"line 2: warning: ...did you mean PACKAGE?", "line 3: warning: ...did you mean PACKAGEFILE?",
        "line 4: warning: ...did you mean LANGUAGE?", "line 5: warning: ...\"componemt\" is not a keyword",
        "line 7: warning: ...write MESSAGE=", "line 8: warning", "line 13: warning: ...did you mean DELETE?"}},
      {"PACKAGE=P\r\nPACKAGEFILE=a\r\nHELPFILE=h\r\nCOMPONENT=T P\r\nDELETE=x\r\nCOPYDIR=F\r\nMESSAGE=m\r\n" + Lang +
           "PACKAGEFILE=b\r\n\r\n",
       {"line 2: " + Early, "line 3: " + Early, "line 4: " + Early, "line 5: " + Early, "line 6: " + Early},
       {"6 -> nothing: no LANGUAGE before it", "7 -> message box", "9 -> ...Known Packages"},
       {{"F", {{"Lib", AttrDirectory}}}}},
      // Cut at 1000 bytes: trailing blanks go first, leading blanks count.
      {Lang + "MESSAGE=" + std::string(1200, 'v') + "\r\nMESSAGE=" + std::string(1000, 'v') +
           "   \r\nMESSAGE=  " + std::string(1000, 'v') + "\r\n\r\n",
       {"line 2: warning: ...1200 bytes", "line 4: warning"}},
      {Lang + "COMPONENT=TBar\r\nCOMPONENT=TFoo My Page\r\n\r\n",
       {"line 2: warning: ...unnamed value"},
       {"2 -> HKEY_CURRENT_USER\\SOFTWARE\\Borland\\Delphi\\3.0\\Palette  (unnamed value) += TBar;",
        "3 -> ...Palette  \"My Page\" += TFoo;"}},
      {Lang + "PACKAGEFILE=a.dpl\r\nPACKAGE=P\r\n\r\n", {"line 2: warning: ...empty title"}, {"2 -> ...a.dpl = \"\""}},
      {"PACKAGE=P\r\n" + Lang + "PACKAGEFILE=a.dpl\r\n\r\n", {}, {"3 -> ...<RootDir>\\Lib\\a.dpl = \"P\""}},
      // The summary flags belong to the run: a new LANGUAGE does not start them afresh.
      {"PACKAGE=P\r\n" + Lang +
           "PACKAGEFILE=a\r\nHELPFILE=h1\r\nLANGUAGE=Delphi 4\r\nPACKAGEFILE=b\r\n"
           "HELPFILE=h2\r\nHELPFILE=h3\r\n\r\n",
       {"line 3: warning: ...on line 6 replaces", "line 4: warning: ...on line 7 replaces",
        "line 7: warning: ...HELPFILE on line 8 replaces"}},
      {"PACKAGE=P\r\nMESSAGE=m\r\n\r\n", {"line 0: error: ...Incorrect configuration file"}},
      // A LANGUAGE that is there but not read has its own error, on its line.
      {"PACKAGE=P\r\nLANGUAGE=Delphi 3\r\n", {"line 2: error"}},
      {"PACKAGE=P\r\n\x1aLANGUAGE=Delphi 3\r\n\r\n", {"line 1: error", "line 2: error"}},
  });
}

}  // namespace Ferrowind::CheckTest
