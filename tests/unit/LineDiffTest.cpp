// The preview's line diff at sizes where a 32-bit build's size arithmetic wraps; built into
// the native unit tests and into the Windows test program that runs in the x86
// configurations. Its hunks are the checker's golden files' (preview_diff_hunks).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Check/PreviewReport.h"

namespace Ferrowind {
namespace {

std::string Lines(char tag, std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) text += tag + std::to_string(i) + "\r\n";
  return text;
}

// 65,536 x 65,538 middle lines: the product wraps 32 bits to 131,072, under the cell limit,
// and a table sized by it would be written far past its end. Past the limit the middle is
// shown removed and added whole.
TEST(LineDiff, MiddlesWhoseProductWraps32BitsAreShownWhole) {
  const std::vector<std::string> diff = LineDiff(Lines('a', 65'536), Lines('b', 65'538), 3);
  ASSERT_EQ(diff.size(), 1u + 65'536u + 65'538u);
  EXPECT_EQ(diff.front(), "@@ -1,65536 +1,65538 @@");
  EXPECT_EQ(diff[1], "-a0");
  EXPECT_EQ(diff[65'536], "-a65535");
  EXPECT_EQ(diff[65'537], "+b0");
  EXPECT_EQ(diff.back(), "+b65537");
}

}  // namespace
}  // namespace Ferrowind
