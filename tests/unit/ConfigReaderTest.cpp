#include <gtest/gtest.h>

#include "Setup/ConfigReader.h"
#include "platform/MemoryHost.h"

namespace Ferrowind {
namespace {
using namespace std::string_literals;

// What the reader hands out for a file, as "kind:value" entries.
std::vector<std::string> Read(const std::string& content, TMemoryHost* hostIn = nullptr) {
  TMemoryHost local;
  TMemoryHost& host = hostIn ? *hostIn : local;
  host.AddFile("C:\\Work\\Setup.cfg", content);
  TConfigReader reader(host);
  EXPECT_TRUE(reader.Open("C:\\Work\\Setup.cfg"));
  std::vector<std::string> out;
  for (TDirective d = reader.ReadDirective(); d.Kind != dkEnd; d = reader.ReadDirective()) {
    out.push_back(std::to_string(d.Kind) + ":" + d.Value);
    if (out.size() > 1000) break;
  }
  EXPECT_EQ(reader.ReadDirective().Kind, dkEnd);  // stays at the end
  return out;
}

using V = std::vector<std::string>;

TEST(ConfigReader, LastLineIsNeverActedOn) {
  EXPECT_EQ(Read("MESSAGE=A\r\nMESSAGE=B\r\n"), V({"6:A"}));
  EXPECT_EQ(Read("MESSAGE=A\r\nMESSAGE=B"), V({"6:A"}));
  EXPECT_EQ(Read("MESSAGE=A\r\nMESSAGE=B\r\n\r\n"), V({"6:A", "6:B"}));
  EXPECT_EQ(Read("MESSAGE=A\r\n"), V{});
  EXPECT_EQ(Read(""), V{});
}

TEST(ConfigReader, LineEndsAreCrWithOneOptionalLf) {
  EXPECT_EQ(Read("MESSAGE=A\rMESSAGE=B\r"), V({"6:A"}));
  EXPECT_EQ(Read("MESSAGE=A\nMESSAGE=B\n"), V{});  // LF alone ends nothing
  EXPECT_EQ(Read("A\r\n\r\nMESSAGE=B\r\nC\r\n"), V({"9:", "9:", "6:B"}));
  EXPECT_EQ(Read("MESSAGE=A\r\rMESSAGE=B\r\nC\r\n"), V({"6:A", "9:", "6:B"}));
  // An LF that does not follow a CR belongs to the next line.
  EXPECT_EQ(Read("MESSAGE=A\r\n\n\nMESSAGE=B\r\nC\r\n"), V({"6:A", "6:B"}));
  EXPECT_EQ(Read("MESSAGE=A\r\n\nMESSAGE\r\nC\r\n"), V({"6:A", "9:"}));
}

TEST(ConfigReader, Byte26EndsTheText) {
  EXPECT_EQ(Read("MESSAGE=A\r\n\x1a" "MESSAGE=B\r\nC\r\n"), V{});
  EXPECT_EQ(Read("MESSAGE=A\r\nMESSAGE=B\r\n\x1a\r\n"), V({"6:A"}));
  EXPECT_EQ(Read("MESSAGE=A\r\nB\x1a\r\nC\r\n"), V({"6:A"}));
}

TEST(ConfigReader, KeywordsAreCaseInsensitiveAndStrippedOnlyWithAnEqualsSign) {
  EXPECT_EQ(Read("  package = Widget  Pack \r\nMESSAGE\r\n MESSAGE\r\nCOPYDIR = Files \r\nx\r\n"),
            V({"1:Widget  Pack", "6:", "9:", "8:Files"}));
  EXPECT_EQ(Read("[Setup]\r\n; note\r\nMESSAGE=a=b\r\nPACKAGEFILES=x\r\nx\r\n"), V({"9:", "9:", "6:a=b", "9:x"}));
  EXPECT_EQ(Read("MES\0SAGE=x\r\nMESSAGE=\0y\r\nz\r\n"s), V({"9:x", "6:y"}));
}

TEST(ConfigReader, LongLinesAcrossBlockBoundariesAreReadWhole) {
  const std::string filler(70000, 'x');
  const std::string value = std::string(995, 'v') + "WXYZ12345";
  EXPECT_EQ(Read("MESSAGE=" + value + "\r\n" + filler + "\r\nMESSAGE=ok\r\n\r\n"),
            V({"6:" + value.substr(0, 1000), "9:", "6:ok"}));
  // A CR LF pair split by a block boundary is still one line end.
  for (std::size_t pad : {65535u, 65534u, 65536u}) {
    const std::string first = "MESSAGE=" + std::string(pad - 9, 'a');
    const V got = Read(first + "\r\nMESSAGE=b\r\n\r\n");
    ASSERT_EQ(got.size(), 2u) << pad;
    EXPECT_EQ(got[1], "6:b");
  }
}

TEST(ConfigReader, ReadErrorEndsTheDirectivesAndDropsTheLine) {
  TMemoryHost host;
  host.FailOperation(TMemoryHost::TOp::FileRead);
  EXPECT_EQ(Read("MESSAGE=A\r\nMESSAGE=B\r\n\r\n", &host), V{});
}

TEST(ConfigReader, OpenFailsForMissingFolderOrLockedFile) {
  TMemoryHost host;
  host.AddFolder("C:\\Work\\Setup.cfg");
  TConfigReader folder(host);
  EXPECT_FALSE(folder.Open("C:\\Work\\Setup.cfg"));
  TConfigReader missing(host);
  EXPECT_FALSE(missing.Open("C:\\Other\\Setup.cfg"));
  host.AddFile("C:\\W2\\Setup.cfg", "x");
  host.HoldOpen("C:\\W2\\Setup.cfg");
  TConfigReader held(host);
  EXPECT_FALSE(held.Open("C:\\W2\\Setup.cfg"));
  EXPECT_EQ(host.OpenHandles(), 0u);
}

}  // namespace
}  // namespace Ferrowind
