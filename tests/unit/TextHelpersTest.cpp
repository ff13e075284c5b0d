#include <gtest/gtest.h>

#include "Setup/TextHelpers.h"

namespace Ferrowind {
namespace {

TEST(TextHelpers, StripBlanksRemovesControlBytesButKeepsHighBytes) {
  EXPECT_EQ(StripBlanks(std::string("\0\t\r\n a b \x1f", 10)), "a b");
  EXPECT_EQ(StripBlanks("\x7f x \x80"), "\x7f x \x80");
  EXPECT_EQ(StripBlanks(" \t\r\n"), "");
}

TEST(TextHelpers, FindSubstringIsOneBasedAndZeroForEmptyOrLonger) {
  EXPECT_EQ(FindSubstring("b", "abcb"), 2u);
  EXPECT_EQ(FindSubstring("B", "abcb"), 0u);
  EXPECT_EQ(FindSubstring("", "abc"), 0u);
  EXPECT_EQ(FindSubstring("a", ""), 0u);
  EXPECT_EQ(FindSubstring("abcd", "abc"), 0u);
}

TEST(TextHelpers, TextBeforeAndAfterSplitAtFirstSeparator) {
  EXPECT_EQ(TextBefore("  Delphi  3 x", ' '), "");
  EXPECT_EQ(TextBefore("Delphi 3", ' '), "Delphi");
  EXPECT_EQ(TextBefore(" no-sep ", '='), " no-sep ");  // unstripped without the separator
  EXPECT_EQ(TextAfter("k = a=b ", '='), "a=b");
  EXPECT_EQ(TextAfter("no-sep", '='), "");
  const std::string longValue = "k=" + std::string(1200, 'x');
  EXPECT_EQ(TextAfter(longValue, '=').size(), 1000u);
  // The cut comes before the strip: trailing blanks inside the first 1000 bytes go.
  EXPECT_EQ(TextAfter("k=" + std::string(999, 'y') + "  zz", '='), std::string(999, 'y'));
}

TEST(TextHelpers, ParseVersionAcceptsOnlyWhollyValidNumbers) {
  EXPECT_EQ(ParseVersion("3"), 3);
  EXPECT_EQ(ParseVersion("   +10"), 10);
  EXPECT_EQ(ParseVersion("-7"), -7);
  EXPECT_EQ(ParseVersion("$ff"), 255);
  EXPECT_EQ(ParseVersion("$FFFFFFFF"), -1);
  EXPECT_EQ(ParseVersion("2147483647"), 2147483647);
  EXPECT_EQ(ParseVersion(std::string("4\0junk", 6)), 4);
  for (const char* bad : {"", " ", "+", "-", "$", "3.0", "3 ", "\t3", "-$1", "$100000000", "2147483648",
                          "-2147483648", "x", "1e3", "$g"}) {
    EXPECT_EQ(ParseVersion(bad), 0) << '"' << bad << '"';
  }
}

TEST(TextHelpers, WithBackslashAndDecimalText) {
  EXPECT_EQ(WithBackslash(""), "");
  EXPECT_EQ(WithBackslash("C:"), "C:\\");
  EXPECT_EQ(WithBackslash("C:\\"), "C:\\");
  EXPECT_EQ(DecimalText(-12), "-12");
  EXPECT_EQ(ToUpperAscii("abz{\xe4"), "ABZ{\xe4");
}

}  // namespace
}  // namespace Ferrowind
