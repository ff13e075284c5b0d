// The helpers whose edge cases no larger test reaches: the case fold stops at ASCII letters,
// a substring's position counts from 1, and a version number is taken only when wholly valid.
#include <gtest/gtest.h>

#include "Base/Text.h"

namespace Ferrowind {
namespace {

TEST(TextHelpers, CaseFoldAndVersionNumbers) {
  EXPECT_FALSE(EqualIgnoringCase("\xe4", "\xc4"));  // no code page: bytes above 127 stay as they are
  EXPECT_FALSE(EqualIgnoringCase("[", "{"));        // 32 apart, but not letters
  EXPECT_EQ(ToUpperAscii("abz{\xe4"), "ABZ{\xe4");
  // Positions count from 1, the leftmost wins, case matters; nothing is found in or of "".
  EXPECT_EQ(FindSubstring("ab", "xabab"), 2u);
  EXPECT_EQ(FindSubstring("AB", "xab") + FindSubstring("", "x") + FindSubstring("x", "") + FindSubstring("xy", "x"),
            0u);
  // A version number is taken only when wholly valid.
  EXPECT_EQ(ParseVersion("3"), 3);
  EXPECT_EQ(ParseVersion("   +10"), 10);
  EXPECT_EQ(ParseVersion("-7"), -7);
  EXPECT_EQ(ParseVersion("$ff"), 255);
  EXPECT_EQ(ParseVersion("$FFFFFFFF"), -1);
  EXPECT_EQ(ParseVersion("2147483647"), 2147483647);
  EXPECT_EQ(ParseVersion(std::string("4\0junk", 6)), 4);
  for (const char* bad :
       {"", " ", "+", "-", "$", "3.0", "3 ", "\t3", "-$1", "$100000000", "2147483648", "-2147483648", "x", "1e3", "$g"})
    EXPECT_EQ(ParseVersion(bad), 0) << '"' << bad << '"';
}

}  // namespace
}  // namespace Ferrowind
