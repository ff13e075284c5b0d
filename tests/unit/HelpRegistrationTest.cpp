// A short write of a line longer than the save's write block leaves the file as it was, with
// no temporary file left. HelpEditFuzz reaches every other short transfer and failing call,
// but not files of megabytes; the edits themselves are the help scenarios'.
#include <gtest/gtest.h>

#include "LibraryInstall/ComponentInstall.h"
#include "Platform/MemoryHost.h"

namespace Ferrowind {
namespace {

TEST(HelpRegistration, AShortWriteOfALongLineLeavesTheFileAsItWas) {
  const std::string cnt = "C:\\D3\\Help\\Delphi3.cnt", tail(2 * 1024 * 1024, 'x');
  for (const bool shortWrites : {true, false}) {
    TMemoryHost host;
    host.AddFile(cnt, "a\n:INDEX A=a\n" + tail);
    host.ShortenWrites(shortWrites);
    EXPECT_EQ(TComponentInstall(host, "Delphi", 3).AddHelpIndex(cnt, "B", "T"), !shortWrites);
    EXPECT_EQ(host.FileData(cnt),
              shortWrites ? "a\n:INDEX A=a\n" + tail : "a\r\n:INDEX A=a\r\n:INDEX T=B\r\n" + tail + "\r\n\r\n");
    EXPECT_EQ(host.AllPaths().size(), 4u);  // C:, C:\D3, Help, the file: no temporary
    EXPECT_EQ(host.OpenHandles(), 0u);
  }
}

}  // namespace
}  // namespace Ferrowind
