#include <gtest/gtest.h>

#include "LibraryInstall/ComponentInstall.h"
#include "platform/MemoryHost.h"

namespace Ferrowind {
namespace {

using namespace std::string_literals;
const std::string Base = "SOFTWARE\\Borland\\Delphi\\3.0";
const std::string Cfg = "C:\\D3\\Help\\Delphi3.cfg";
const std::string Cnt = "C:\\D3\\Help\\Delphi3.cnt";
const std::string Gid = "C:\\D3\\Help\\Delphi3.gid";

class HelpRegistration : public ::testing::Test {
 protected:
  void SetUp() override { host.SetValue(TRootKey::LocalMachine, Base, "RootDir", "C:\\D3"); }
  TComponentInstall& Target() {
    if (!target) target = std::make_unique<TComponentInstall>(host, "Delphi", 3);
    return *target;
  }
  TMemoryHost host;
  std::unique_ptr<TComponentInstall> target;
};

TEST_F(HelpRegistration, HelpLayoutDependsOnIdeAndVersion) {
  EXPECT_EQ(HelpFilesFor("R", true, 5).Contents, "R\\Help\\Delphi5.cnt");
  EXPECT_EQ(HelpFilesFor("R\\", true, 2).IndexCache, "R\\\\Help\\Delphi2.gid");
  EXPECT_EQ(HelpFilesFor("R", false, 1).Configuration, "R\\Help\\bcbhelp.cfg");
  EXPECT_EQ(HelpFilesFor("R", false, 3).IndexCache, "R\\Help\\bcb3.gid");
  EXPECT_EQ(HelpFilesFor("R", false, 3).Contents, "R\\Help\\bcb.ohi");
  for (auto [delphi, version] : {std::pair{true, 1}, {true, 0}, {false, 2}, {false, 4}}) {
    EXPECT_TRUE(HelpFilesFor("R", delphi, version).Configuration.empty());
  }
}

TEST_F(HelpRegistration, InstallAddsLinkAndIndexRemovesCacheAndIsIdempotent) {
  host.AddFile(Cfg, ":Link Delphi.hlp\r\n\r\n\r\n\r\n");
  host.AddFile(Cnt, ":Base delphi.hlp\n:Index Delphi=delphi.hlp\r  :index VCL=vcl.hlp  \n:Include x.cnt");
  host.AddFile(Gid, "cache", AttrArchive | AttrReadOnly | AttrHidden);
  EXPECT_TRUE(Target().InstallHelp("Widgets.hlp", "Widget Pack"));
  EXPECT_EQ(host.FileData(Cfg), ":Link Delphi.hlp\r\n:LINK Widgets.hlp\r\n\r\n");
  EXPECT_EQ(host.FileData(Cnt),
            ":Base delphi.hlp\r\n:Index Delphi=delphi.hlp\r\n:index VCL=vcl.hlp\r\n"
            ":INDEX Widget Pack=Widgets.hlp\r\n:Include x.cnt\r\n\r\n");
  EXPECT_FALSE(host.Exists(Gid));

  // A second run finds both lines, writes nothing, and still removes a new cache.
  host.AddFile(Gid, "cache");
  const std::size_t before = host.CallLog().size();
  EXPECT_TRUE(Target().InstallHelp("WIDGETS.HLP", "Other"));
  EXPECT_FALSE(host.Exists(Gid));
  for (std::size_t i = before; i < host.CallLog().size(); ++i) {
    EXPECT_EQ(host.CallLog()[i].rfind("ReplaceWith", 0), std::string::npos) << host.CallLog()[i];
  }
  EXPECT_EQ(host.OpenHandles(), 0u);
}

TEST_F(HelpRegistration, LinkComparesWholeStrippedLines) {
  host.AddFile(Cfg, "  :link  widgets  \n:LINK WidgetsX");
  EXPECT_TRUE(Target().AddHelpLink(Cfg, "Widgets"));
  EXPECT_EQ(host.FileData(Cfg), ":link  widgets\r\n:LINK WidgetsX\r\n:LINK Widgets\r\n\r\n");
  host.AddFile(Cfg, "");
  EXPECT_TRUE(Target().AddHelpLink(Cfg, "W"));
  EXPECT_EQ(host.FileData(Cfg), ":LINK W\r\n\r\n");
}

TEST_F(HelpRegistration, IndexNeedsAnIndexLineAfterTheFirstLine) {
  host.AddFile(Cnt, ":INDEX A=a.hlp\r\nx\r\n");
  EXPECT_TRUE(Target().AddHelpIndex(Cnt, "W", "T"));
  EXPECT_EQ(host.FileData(Cnt), ":INDEX A=a.hlp\r\nx\r\n");  // line 0 does not count
  host.AddFile(Cnt, "a\nb\nc\n:INDEX 3=x\nd\ne\nf\n:INDEX 7=y\ng\n\n\n");
  EXPECT_TRUE(Target().AddHelpIndex(Cnt, "W", ""));
  EXPECT_EQ(host.FileData(Cnt), "a\r\nb\r\nc\r\n:INDEX 3=x\r\nd\r\ne\r\nf\r\n:INDEX 7=y\r\n:INDEX =W\r\ng\r\n\r\n");
  host.AddFile(Cnt, "a\n:INDEX P=Widgets2\n");  // a substring test: Widgets counts as present
  EXPECT_TRUE(Target().AddHelpIndex(Cnt, "Widgets", "T"));
  EXPECT_EQ(host.FileData(Cnt), "a\n:INDEX P=Widgets2\n");
  host.AddFile(Cnt, "");
  EXPECT_TRUE(Target().AddHelpIndex(Cnt, "W", "T"));
  EXPECT_EQ(host.FileData(Cnt), "");
}

TEST_F(HelpRegistration, MissingOrUnsupportedFilesGiveFalseAndTouchNothing) {
  EXPECT_FALSE(Target().InstallHelp("W", "T"));  // no configuration file
  host.AddFile(Cfg, "x\r\n");
  EXPECT_FALSE(Target().InstallHelp("", "T"));
  host.SetValue(TRootKey::LocalMachine, "SOFTWARE\\Borland\\Delphi\\1.0", "RootDir", "C:\\D3");
  TComponentInstall delphi1(host, "Delphi", 1);
  host.SetStrict(true);
  EXPECT_FALSE(delphi1.InstallHelp("W", "T"));
  EXPECT_EQ(host.StrictViolations(), 0u);
  host.SetStrict(false);
  EXPECT_EQ(host.FileData(Cfg), "x\r\n");
  // A missing contents file changes nothing visible.
  EXPECT_TRUE(Target().InstallHelp("W", "T"));
  EXPECT_FALSE(host.Exists(Cnt));
}

TEST_F(HelpRegistration, CacheFolderIsNotRemovedAndFailedRemovalCounts) {
  host.AddFile(Cfg, "");
  host.AddFolder(Gid);
  EXPECT_TRUE(Target().InstallHelp("W", "T"));
  EXPECT_TRUE(host.Exists(Gid));

  TMemoryHost h;
  h.SetValue(TRootKey::LocalMachine, Base, "RootDir", "C:\\D3");
  h.AddFile(Cfg, "");
  h.AddFile(Gid, "c");
  h.FailOperation(TMemoryHost::TOp::RemoveFile, "Delphi3.gid");
  EXPECT_FALSE(TComponentInstall(h, "Delphi", 3).InstallHelp("W", "T"));
  EXPECT_EQ(h.FileData(Cfg), ":LINK W\r\n\r\n");
}

// Failures that must leave the file byte for byte as it was, with no temporary left.
TEST_F(HelpRegistration, FailedLoadsAndSavesLeaveTheFileAsItWas) {
  const std::string original = ":LINK A\n";
  struct TCase {
    const char* Name;
    std::function<void(TMemoryHost&)> Fault;
  };
  const std::vector<TCase> cases = {
      {"read fails", [](TMemoryHost& h) { h.FailOperation(TMemoryHost::TOp::FileRead); }},
      {"short read", [](TMemoryHost& h) { h.ShortenReads(true); }},
      {"held open", [](TMemoryHost& h) { h.HoldOpen(Cfg); }},
      {"temp create", [](TMemoryHost& h) { h.FailOperation(TMemoryHost::TOp::FileOpen, ".fw-new"); }},
      {"short write", [](TMemoryHost& h) { h.ShortenWrites(true); }},
      {"write fails", [](TMemoryHost& h) { h.FailOperation(TMemoryHost::TOp::FileWrite); }},
      {"flush fails", [](TMemoryHost& h) { h.FailOperation(TMemoryHost::TOp::FileFlush); }},
      {"replace fails", [](TMemoryHost& h) { h.FailOperation(TMemoryHost::TOp::ReplaceWith); }},
      {"read-only", [](TMemoryHost& h) { h.SetAttributes(Cfg, AttrReadOnly); }},
  };
  for (const TCase& c : cases) {
    TMemoryHost h;
    h.AddFile(Cfg, original);
    c.Fault(h);
    TComponentInstall t(h, "Delphi", 3);
    EXPECT_FALSE(t.AddHelpLink(Cfg, "B")) << c.Name;
    EXPECT_EQ(h.FileData(Cfg), original) << c.Name;
    EXPECT_EQ(h.AllPaths().size(), 4u) << c.Name;  // C:, C:\D3, Help, the file: no temporary
    EXPECT_EQ(h.OpenHandles(), 0u) << c.Name;
  }
}

TEST_F(HelpRegistration, FilesHoldingNulAreNotEdited) {
  const std::string utf16 = "\xff\xfe:\0I\0N\0D\0E\0X\0 \0a\0\r\0\n\0"s;
  host.AddFile(Cnt, "x\r\n" + utf16);
  host.AddFile(Cfg, "a\0b"s);
  EXPECT_FALSE(Target().AddHelpIndex(Cnt, "W", "T"));
  EXPECT_FALSE(Target().AddHelpLink(Cfg, "W"));
  EXPECT_EQ(host.FileData(Cnt), "x\r\n" + utf16);
  EXPECT_EQ(host.FileData(Cfg), "a\0b"s);
}

}  // namespace
}  // namespace Ferrowind
