// The checker on what the directives need: the IDE version, the help layout, the folders
// COPYDIR copies from, the paths of DELETE and COPYDIR, and the disk access behind them.
#include "Check/CheckDisk.h"
#include "ConfigCheckTestSupport.h"
#include "Platform/MemoryHost.h"

namespace Ferrowind::CheckTest {

TEST(ConfigCheckTargets, EachFindingIsOnItsLine) {
  const std::vector<TFindEntry> files = {{".", AttrDirectory},
                                         {"..", AttrDirectory},
                                         {"Lib", AttrDirectory},
                                         {"Help", AttrDirectory | AttrArchive},
                                         {".svn", AttrDirectory},
                                         {"Secret", AttrDirectory | AttrHidden},
                                         {"Elsewhere", AttrDirectory | AttrReparsePoint},
                                         {"System", AttrDirectory | AttrSystem},
                                         {"readme.txt", AttrArchive}};
  const TFolders folders = {{"Files", files}, {"OnlyFiles", {{".", AttrDirectory}, {"a.txt", AttrArchive}}},
                            {"Empty", {}},    {"", {{"Files", AttrDirectory}}},
                            {"/abs", files},  {"Sub/../..", files}};
  CheckAll({
      {"PACKAGE=P\r\nLANGUAGE=Delphi 3.0\r\nLANGUAGE=Delphi\r\nLANGUAGE=delphi 3\r\nLANGUAGE=BCB $A\r\n\r\n",
       {"line 2: error: ...asks for \"Delphi 0\"", "line 3: error"},
       {"2 -> HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\Delphi\\0.0  RootDir  (asks to install P for Delphi 0)",
        "5 -> ...Borland\\BCB\\10.0  RootDir  (asks to install P for BCB 10)"}},
      // One error per LANGUAGE without a help layout that a HELPFILE uses; BCB 4 is used by none.
      {"PACKAGE=P\r\nLANGUAGE=Delphi 1\r\nHELPFILE=a\r\nHELPFILE=b\r\nLANGUAGE=BCB 3\r\nHELPFILE=c\r\n"
       "LANGUAGE=BCB 4\r\nMESSAGE=m\r\nLANGUAGE=Delphi 5\r\nHELPFILE=d\r\nLANGUAGE=BCB "
       "1\r\nHELPFILE=\r\n\r\n",
       {"line 2: error: ...on line 3", "line 3: warning", "line 4: warning", "line 6: warning", "line 10: warning"},
       {"3 -> nothing: Delphi 1 has no help layout", "6 -> Help\\bcb.ohl, Help\\bcb.ohi; removes Help\\bcb3.gid",
        "10 -> Help\\Delphi5.cfg, Help\\Delphi5.cnt; removes Help\\Delphi5.gid", "12 -> nothing: no help file named"}},
      {Lang + "COPYDIR=Files\r\nCOPYDIR=OnlyFiles\r\nCOPYDIR=Empty\r\nCOPYDIR=Missing\r\nCOPYDIR=\r\n\r\n",
       {"line 3: error: ...holds no subfolder to copy (files lying directly",
        "line 4: error: COPYDIR folder \"Empty\" holds no subfolder", "line 5: error: ...does not exist beside the"},
       {"2 -> subfolders Lib, Help (beside the installer) into <RootDir>; passes over .svn, Secret, "
        "Elsewhere, System",
        "5 -> nothing: no folder Missing beside the installer", "6 -> subfolders Files (beside the installer)"},
       folders},
      // Lib\a..b.dcu on line 5 takes no step up.
      {Lang + "DELETE=..\\x.dll\r\nDELETE=C:\\Windows\\x.dll\r\nDELETE=\\x.dll\r\nDELETE=Lib\\a..b.dcu\r\n"
              "COPYDIR=/abs\r\nCOPYDIR=Sub/../..\r\n\r\n",
       {"line 2: warning: ...reaches out of the IDE folder", "line 3: warning: ...<RootDir>\\C:\\Windows\\x.dll",
        "line 4: warning", "line 6: warning: ...absolute path", "line 7: warning: ...out of the folder beside"},
       {},
       folders},
  });
}

// A COPYDIR folder whose listing fails, at the start or part-way, is a failure to report,
// never a folder without subfolders; a failed read of the file is never half a file.
TEST(ConfigCheckTargets, AFailedListingOrReadIsAnError) {
  CheckAll({{Lang + "COPYDIR=Files\r\n\r\n",
             {"line 2: error: COPYDIR folder \"Files\" could not be listed: the installer's copy would fail"},
             {"2 -> nothing known: folder Files could not be listed"},
             {{"?Files", {}}}}});
  // Listed and missing folders on a real host are the checker program's test.
  std::vector<TFindEntry> entries;
  for (const TMemoryHost::TOp op : {TMemoryHost::TOp::FindFirst, TMemoryHost::TOp::FindNext}) {
    TMemoryHost failing;
    failing.AddFile("C:\\Pkg\\Files\\Lib\\a.dcu", "a");
    failing.FailOperation(op);
    entries = {{"stale", AttrDirectory}};
    EXPECT_EQ(HostFolderLister(failing, "C:\\Pkg\\")("Files", &entries), TListing::Failed);
    EXPECT_TRUE(entries.empty());
    EXPECT_EQ(failing.OpenHandles(), 0u);
  }
  // Setup.cfg itself is read whole or not at all.
  TMemoryHost host;
  const std::string text = Lang + std::string(200000, 'x') + "\r\n";
  host.AddFile("C:\\Pkg\\Setup.cfg", text);
  std::string bytes = "stale";
  EXPECT_TRUE(ReadWholeFile(host, "C:\\Pkg\\Setup.cfg", &bytes) && bytes == text);
  host.FailCall(host.CallCount() + 3);  // open, first block, then the second block fails
  EXPECT_FALSE(ReadWholeFile(host, "C:\\Pkg\\Setup.cfg", &bytes));
  EXPECT_EQ(bytes, "");  // nothing half read
  EXPECT_EQ(host.OpenHandles(), 0u);
}

}  // namespace Ferrowind::CheckTest
