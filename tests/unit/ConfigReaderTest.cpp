#include <gtest/gtest.h>

#include "Setup/ConfigReader.h"
#include "platform/MemoryHost.h"

namespace Ferrowind {
namespace {

// What the reader hands out for a file, as "kind:value" entries each ended with "|".
std::string Read(const std::string& content) {
  TMemoryHost host;
  host.AddFile("C:\\Work\\Setup.cfg", content);
  TConfigReader reader(host);
  EXPECT_TRUE(reader.Open("C:\\Work\\Setup.cfg"));
  std::string out;
  for (TDirective d; (d = reader.ReadDirective()).Kind != dkEnd && out.size() < 1000000;)
    out += std::to_string(d.Kind) + ":" + d.Value + "|";
  EXPECT_EQ(reader.ReadDirective().Kind, dkEnd);  // stays at the end
  return out;
}

// The line rules over small files are ConfigReaderFuzz's model; these are the traps a
// vendor meets first, and the keyword rules.
TEST(ConfigReader, LineAndKeywordRules) {
  EXPECT_EQ(Read("MESSAGE=A\r\nMESSAGE=B\r\n"), "6:A|");
  EXPECT_EQ(Read("MESSAGE=A\nMESSAGE=B\n"), "");  // LF alone ends nothing
  EXPECT_EQ(Read("MESSAGE=A\r\n\x1aMESSAGE=B\r\nC\r\n"), "");
  EXPECT_EQ(Read("  package = Widget  Pack \r\nMESSAGE\r\n MESSAGE\r\nCOPYDIR = Files \r\nx\r\n"),
            "1:Widget  Pack|6:|9:|8:Files|");
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
