// What the checker does when a listing or a read fails. What it prints for chosen files is
// held by the golden files of tests/checker; that it lists exactly the directives the
// installer's reader reads, by ConfigReaderFuzz.
#include <gtest/gtest.h>

#include "Check/CheckDisk.h"
#include "Check/ConfigCheck.h"
#include "Platform/MemoryHost.h"
#include "Platform/WholeFile.h"

namespace Ferrowind {
namespace {

// A COPYDIR folder whose listing fails, at the start or part-way, is a failure to report,
// never a folder without subfolders; a failed read of the file is never half a file.
TEST(ConfigCheck, AFailedListingOrReadIsAFailure) {
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
  const TCheckResult unlisted =
      CheckConfig("LANGUAGE=Delphi 3\r\nCOPYDIR=Files\r\n\r\n",
                  [](const std::string&, std::vector<TFindEntry>*) { return TListing::Failed; });
  ASSERT_EQ(unlisted.Findings.size(), 1u);
  EXPECT_EQ(unlisted.Findings[0].Severity, TSeverity::Error);
  EXPECT_NE(unlisted.Findings[0].Message.find("could not be listed"), std::string::npos);
  TMemoryHost host;
  const std::string text = "LANGUAGE=Delphi 3\r\n" + std::string(200000, 'x') + "\r\n";
  host.AddFile("C:\\Pkg\\Setup.cfg", text);
  std::string bytes = "stale";
  EXPECT_TRUE(ReadWholeFile(host, "C:\\Pkg\\Setup.cfg", &bytes) && bytes == text);
  host.FailCall(host.CallCount() + 3);  // open, first block, then the second block fails
  EXPECT_FALSE(ReadWholeFile(host, "C:\\Pkg\\Setup.cfg", &bytes));
  EXPECT_EQ(bytes, "");  // nothing half read
  EXPECT_EQ(host.OpenHandles(), 0u);
}

}  // namespace
}  // namespace Ferrowind
