#include <gtest/gtest.h>

#include "ExampleSystem.h"
#include "LibraryInstall/ComponentInstall.h"

namespace Ferrowind {
namespace {

using namespace Example;

class Registration : public ::testing::Test {
 protected:
  void SetUp() override {
    host.SetValue(HKLM, Base, "RootDir", "C:\\Delphi 3");
    host.AddKey(HKCU, Palette);
    host.AddKey(HKCU, Known);
  }
  TMemoryHost host;
};

TEST_F(Registration, KeyStringsAndPackages) {
  TComponentInstall target(host, "delphi", 3);
  EXPECT_EQ(target.BaseKey(), "SOFTWARE\\Borland\\delphi\\3.0");
  EXPECT_EQ(target.RootDir(), "C:\\Delphi 3");  // registry keys ignore case
  host.SetValue(HKCU, Palette, "Z", std::string("ab\0cd", 5));
  EXPECT_EQ(target.ReadRegString(HKCU, Palette, "Z"), "ab");
  EXPECT_EQ(target.ReadRegString(HKCU, Palette, "Missing"), "");
  EXPECT_EQ(target.ReadRegString(HKCU, "SOFTWARE\\Nowhere", "X"), "");
  // Writing never creates a key, and reports a missing one.
  EXPECT_FALSE(target.WriteRegString(HKCU, Base + "\\Nope", "a", "b"));
  EXPECT_EQ(host.ValueCount(HKCU, Base + "\\Nope"), 0u);
  EXPECT_TRUE(target.WriteRegString(HKCU, Palette, "a", "b"));
  // A package is registered once, whatever the case of its path; an empty path is skipped.
  EXPECT_TRUE(target.RegisterPackage("C:\\Delphi 3\\Lib\\W.dpl", "Old"));
  EXPECT_TRUE(target.RegisterPackage("c:\\delphi 3\\lib\\w.dpl", "New"));
  EXPECT_TRUE(target.RegisterPackage("", "T"));
  EXPECT_EQ(host.ValueCount(HKCU, Known), 1u);
  EXPECT_EQ(host.Value(HKCU, Known, "C:\\Delphi 3\\Lib\\W.dpl"), "New");
  EXPECT_FALSE(TComponentInstall(host, "Delphi", 5).RegisterPackage("X", "T"));  // no user keys
}

TEST_F(Registration, PaletteListsAreExtendedOnceAndNeverReplaced) {
  TComponentInstall target(host, "Delphi", 3);
  host.SetValue(HKCU, Palette, "Widgets", "TFoo");
  host.SetValue(HKCU, Palette, "Data", "TDBEdit;");
  // Names compare ignoring case, as substrings: TDBEdit holds dbedit.
  auto add = [&](const std::string& page, const std::string& component) {
    EXPECT_TRUE(target.AddPaletteEntry(page, component)) << component;
    return host.Value(HKCU, Palette, page).value_or("(none)");
  };
  EXPECT_EQ(add("Widgets", "TBar"), "TFoo;TBar;");
  EXPECT_EQ(add("Widgets", "tbar"), "TFoo;TBar;");
  EXPECT_EQ(add("New Page", "TBaz"), "TBaz;");
  EXPECT_EQ(add("", "TNoPage"), "TNoPage;");
  EXPECT_EQ(add("Data", "dbedit"), "TDBEdit;");
  for (std::size_t size : {256u, 257u, 258u, 300u, 4000u}) {
    std::string list;
    for (int i = 0; list.size() < size; ++i) list += "TC" + std::to_string(i) + ";";
    host.SetValue(HKCU, Palette, "Big", list);
    EXPECT_EQ(add("Big", "TNew"), list + "TNew;") << size;
  }
  // A page that cannot be read or written is the fault-injection test's.
  EXPECT_FALSE(TComponentInstall(host, "Delphi", 6).AddPaletteEntry("Widgets", "TBar"));
}

}  // namespace
}  // namespace Ferrowind
