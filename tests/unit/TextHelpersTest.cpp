#include <gtest/gtest.h>

#include <tuple>

#include "Setup/TextHelpers.h"

namespace Ferrowind {
namespace {

TEST(TextHelpers, StripUpperBackslashDecimalAndFind) {
  EXPECT_EQ(StripBlanks(std::string("\0\t\r\n a b \x1f", 10)), "a b");
  EXPECT_EQ(StripBlanks("\x7f x \x80"), "\x7f x \x80");
  EXPECT_EQ(StripBlanks(" \t\r\n"), "");
  EXPECT_EQ(ToUpperAscii("abz{\xe4"), "ABZ{\xe4");
  EXPECT_EQ(WithBackslash(""), "");
  EXPECT_EQ(WithBackslash("C:"), "C:\\");
  EXPECT_EQ(WithBackslash("C:\\"), "C:\\");
  EXPECT_EQ(DecimalText(-12), "-12");
  // FindSubstring counts from 1 and gives 0 for an empty needle or text and a longer needle.
  for (auto [needle, s, at] :
       {std::tuple{"b", "abcb", 2u}, {"B", "abcb", 0u}, {"", "abc", 0u}, {"a", "", 0u}, {"abcd", "abc", 0u}})
    EXPECT_EQ(FindSubstring(needle, s), at) << needle << " in " << s;
}

TEST(TextHelpers, TextBeforeAndAfterSplitAtFirstSeparator) {
  EXPECT_EQ(TextBefore("  Delphi  3 x", ' '), "");
  EXPECT_EQ(TextBefore("Delphi 3", ' '), "Delphi");
  EXPECT_EQ(TextBefore(" no-sep ", '='), " no-sep ");  // unstripped without the separator
  EXPECT_EQ(TextAfter("k = a=b ", '='), "a=b");
  EXPECT_EQ(TextAfter("no-sep", '='), "");
  EXPECT_EQ(TextAfter("k=" + std::string(1200, 'x'), '='), std::string(1000, 'x'));
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
  for (const char* bad :
       {"", " ", "+", "-", "$", "3.0", "3 ", "\t3", "-$1", "$100000000", "2147483648", "-2147483648", "x", "1e3", "$g"})
    EXPECT_EQ(ParseVersion(bad), 0) << '"' << bad << '"';
}

}  // namespace
}  // namespace Ferrowind
