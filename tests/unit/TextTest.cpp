#include <gtest/gtest.h>

#include <tuple>

#include "Base/Text.h"

namespace Ferrowind {
namespace {

TEST(TextHelpers, StripUpperAndFolder) {
  EXPECT_EQ(StripBlanks(std::string("\0\t\r\n a b \x1f", 10)), "a b");
  EXPECT_EQ(StripBlanks("\x7f x \x80"), "\x7f x \x80");
  EXPECT_EQ(ToUpperAscii("abz{\xe4"), "ABZ{\xe4");
  for (auto [path, folder] :
       {std::pair{"C:\\Pkg\\Setup.exe", "C:\\Pkg\\"}, {"D:Setup.exe", "D:"}, {"a/b\\c", "a/b\\"}, {"x", ""}})
    EXPECT_EQ(FolderOf(path), folder) << path;
}

TEST(TextHelpers, CaseIsFoldedForAsciiLettersOnly) {
  EXPECT_TRUE(EqualIgnoringCase("Delphi", "dELPHI"));
  EXPECT_FALSE(EqualIgnoringCase("\xe4", "\xc4"));  // no code page: bytes above 127 stay as they are
  EXPECT_FALSE(EqualIgnoringCase("[", "{"));        // 32 apart, but not letters
  EXPECT_TRUE(StartsWithIgnoringCase(":index a", ":INDEX "));
  EXPECT_FALSE(StartsWithIgnoringCase(":INDEX", ":INDEX "));
  // A substring test over the folded texts; an empty needle is found nowhere.
  for (auto [s, needle, found] : {std::tuple{"TDBEdit;", "dbedit", true},
                                  {"abc", "", false},
                                  {"", "a", false},
                                  {"abc", "abcd", false},
                                  {"xAbCx", "bc", true}})
    EXPECT_EQ(ContainsIgnoringCase(s, needle), found) << needle << " in " << s;
  for (auto [c, value] :
       {std::pair{'0', 0}, {'9', 9}, {'a', 10}, {'F', 15}, {'g', -1}, {'G', -1}, {'@', -1}, {' ', -1}})
    EXPECT_EQ(HexDigit(c), value) << c;
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
