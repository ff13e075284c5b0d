#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <tuple>

#include "LibraryInstall/ComponentInstall.h"
#include "Platform/MemoryHost.h"

namespace Ferrowind {
namespace {

const std::string Base = "SOFTWARE\\Borland\\Delphi\\3.0";
const std::string Cfg = "C:\\D3\\Help\\Delphi3.cfg";
const std::string Cnt = "C:\\D3\\Help\\Delphi3.cnt";

class HelpRegistration : public ::testing::Test {
 protected:
  void SetUp() override { host.SetValue(TRootKey::LocalMachine, Base, "RootDir", "C:\\D3"); }
  TComponentInstall Target() { return TComponentInstall(host, "Delphi", 3); }
  TMemoryHost host;
};

// The edits themselves are the help scenarios'. Here: what no scenario reaches.
TEST_F(HelpRegistration, NoHelpNamedOrNoLayoutTouchesNothing) {
  EXPECT_FALSE(Target().InstallHelp("W", "T"));  // no configuration file
  host.AddFile(Cfg, "x\r\n");
  EXPECT_FALSE(Target().InstallHelp("", "T"));
  EXPECT_EQ(host.FileData(Cfg), "x\r\n");
  host.SetValue(TRootKey::LocalMachine, "SOFTWARE\\Borland\\Delphi\\1.0", "RootDir", "C:\\D3");
  TComponentInstall delphi1(host, "Delphi", 1);
  host.SetStrict(true);
  EXPECT_FALSE(delphi1.InstallHelp("W", "T"));  // no help layout: not a single call
  EXPECT_EQ(host.StrictViolations(), 0u);
}

// Short reads and writes must leave the file byte for byte as it was, with no temporary
// left, for the link and the index, also with a last line longer than the save's write
// block. Any single failing call, a NUL, a read-only or held file are HelpEditFuzz's
// properties; short transfers and a file of megabytes it cannot reach.
TEST_F(HelpRegistration, FailedLoadsAndSavesLeaveTheFileAsItWas) {
  using TFault = std::function<void(TMemoryHost&)>;
  const std::pair<const char*, TFault> faults[] = {{"short read", [](auto& h) { h.ShortenReads(true); }},
                                                   {"short write", [](auto& h) { h.ShortenWrites(true); }}};
  const std::string longTail(2 * 1024 * 1024, 'x');
  const std::string added = "a\r\n:INDEX A=a\r\n:INDEX T=B\r\n";
  const std::tuple<const char*, std::string, std::string, std::string> edits[] = {
      {"link", Cfg, ":LINK A\n", ":LINK A\r\n:LINK B\r\n\r\n"},
      {"index", Cnt, "a\n:INDEX A=a\nb\n", added + "b\r\n\r\n"},
      {"index, long tail", Cnt, "a\n:INDEX A=a\n" + longTail, added + longTail + "\r\n\r\n"}};
  for (const auto& [edit, file, text, edited] : edits) {
    for (const auto& [name, fault] : faults) {
      TMemoryHost h;
      h.AddFile(file, text);
      fault(h);
      const auto original = h.FileData(file);
      TComponentInstall target(h, "Delphi", 3);
      EXPECT_FALSE(file == Cfg ? target.AddHelpLink(file, "B") : target.AddHelpIndex(file, "B", "T")) << edit << name;
      EXPECT_EQ(h.FileData(file), original) << edit << name;
      EXPECT_EQ(h.AllPaths().size(), 4u) << edit << name;  // C:, C:\D3, Help, the file: no temporary
      EXPECT_EQ(h.OpenHandles(), 0u) << edit << name;
    }
    TMemoryHost h;
    h.AddFile(file, text);
    TComponentInstall target(h, "Delphi", 3);
    EXPECT_TRUE(file == Cfg ? target.AddHelpLink(file, "B") : target.AddHelpIndex(file, "B", "T")) << edit;
    EXPECT_EQ(h.FileData(file), edited) << edit;
  }
  // A file this build cannot hold is never loaded, so never cut short and saved back: a
  // 32-bit build would otherwise take a file of 4 GiB and 10 bytes for one of 10 bytes.
  host.AddFile(Cfg, ":LINK A\r\n");
  host.OverstateSizes(std::numeric_limits<std::size_t>::max());
  EXPECT_FALSE(Target().AddHelpLink(Cfg, "B"));
  EXPECT_EQ(host.FileData(Cfg), ":LINK A\r\n");
  for (const std::string& call : host.CallLog()) EXPECT_NE(call.rfind("FileRead", 0), 0u) << call;
}

}  // namespace
}  // namespace Ferrowind
