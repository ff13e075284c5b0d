#include <gtest/gtest.h>

#include "Setup/ConfigReader.h"
#include "platform/MemoryHost.h"

namespace Ferrowind {
namespace {
using namespace std::string_literals;

// What the reader hands out for a file, as "kind:value" entries each ended with "|".
std::string Read(const std::string& content, bool failReads = false) {
  TMemoryHost host;
  host.AddFile("C:\\Work\\Setup.cfg", content);
  if (failReads) host.FailOperation(TMemoryHost::TOp::FileRead);
  TConfigReader reader(host);
  EXPECT_TRUE(reader.Open("C:\\Work\\Setup.cfg"));
  std::string out;
  for (TDirective d; (d = reader.ReadDirective()).Kind != dkEnd && out.size() < 1000000;)
    out += std::to_string(d.Kind) + ":" + d.Value + "|";
  EXPECT_EQ(reader.ReadDirective().Kind, dkEnd);  // stays at the end
  return out;
}

TEST(ConfigReader, LineAndKeywordRules) {
  EXPECT_EQ(Read("MESSAGE=A\r\nMESSAGE=B\r\n"), "6:A|");
  EXPECT_EQ(Read("MESSAGE=A\r\nMESSAGE=B"), "6:A|");
  EXPECT_EQ(Read("MESSAGE=A\r\nMESSAGE=B\r\n\r\n"), "6:A|6:B|");
  EXPECT_EQ(Read("MESSAGE=A\r\n"), "");
  EXPECT_EQ(Read(""), "");
  EXPECT_EQ(Read("MESSAGE=A\rMESSAGE=B\r"), "6:A|");
  EXPECT_EQ(Read("MESSAGE=A\nMESSAGE=B\n"), "");  // LF alone ends nothing
  EXPECT_EQ(Read("A\r\n\r\nMESSAGE=B\r\nC\r\n"), "9:|9:|6:B|");
  EXPECT_EQ(Read("MESSAGE=A\r\rMESSAGE=B\r\nC\r\n"), "6:A|9:|6:B|");
  // An LF that does not follow a CR belongs to the next line.
  EXPECT_EQ(Read("MESSAGE=A\r\n\n\nMESSAGE=B\r\nC\r\n"), "6:A|6:B|");
  EXPECT_EQ(Read("MESSAGE=A\r\n\nMESSAGE\r\nC\r\n"), "6:A|9:|");
  // Byte 26 ends the text; a read error drops the line being read and ends the directives.
  EXPECT_EQ(Read("MESSAGE=A\r\n\x1aMESSAGE=B\r\nC\r\n"), "");
  EXPECT_EQ(Read("MESSAGE=A\r\nMESSAGE=B\r\n\x1a\r\n"), "6:A|");
  EXPECT_EQ(Read("MESSAGE=A\r\nB\x1a\r\nC\r\n"), "6:A|");
  EXPECT_EQ(Read("MESSAGE=A\r\nMESSAGE=B\r\n\r\n", true), "");
  // Keywords ignore case, and blanks only when an equals sign follows.
  EXPECT_EQ(Read("  package = Widget  Pack \r\nMESSAGE\r\n MESSAGE\r\nCOPYDIR = Files \r\nx\r\n"),
            "1:Widget  Pack|6:|9:|8:Files|");
  EXPECT_EQ(Read("[Setup]\r\n; note\r\nMESSAGE=a=b\r\nPACKAGEFILES=x\r\nx\r\n"), "9:|9:|6:a=b|9:x|");
  EXPECT_EQ(Read("MES\0SAGE=x\r\nMESSAGE=\0y\r\nz\r\n"s), "9:x|6:y|");
}

TEST(ConfigReader, LongLinesAcrossBlockBoundariesAreReadWhole) {
  const std::string value = std::string(995, 'v') + "WXYZ12345";
  EXPECT_EQ(Read("MESSAGE=" + value + "\r\n" + std::string(70000, 'x') + "\r\nMESSAGE=ok\r\n\r\n"),
            "6:" + value.substr(0, 1000) + "|9:|6:ok|");
  // A CR LF pair split by a block boundary is still one line end.
  for (std::size_t pad : {65535u, 65534u, 65536u})
    EXPECT_EQ(Read("MESSAGE=" + std::string(pad - 9, 'a') + "\r\nMESSAGE=b\r\n\r\n"),
              "6:" + std::string(1000, 'a') + "|6:b|")
        << pad;
}

}  // namespace
}  // namespace Ferrowind
