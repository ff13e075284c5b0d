#include <gtest/gtest.h>

#include "LibraryInstall/ComponentInstall.h"
#include "platform/MemoryHost.h"

namespace Ferrowind {
namespace {

const std::string Base = "SOFTWARE\\Borland\\Delphi\\3.0";
const std::string Palette = Base + "\\Palette";
const std::string Known = Base + "\\Known Packages";
constexpr auto HKLM = TRootKey::LocalMachine;
constexpr auto HKCU = TRootKey::CurrentUser;

class Registration : public ::testing::Test {
 protected:
  void SetUp() override {
    host.SetValue(HKLM, Base, "RootDir", "C:\\Delphi 3");
    host.SetValue(HKLM, Base, "Version", "Client/Server");
    host.AddKey(HKCU, Palette);
    host.AddKey(HKCU, Known);
  }
  TMemoryHost host;
};

TEST_F(Registration, ConstructorFindsRootAndBuildsKeyFromNameAsGiven) {
  TComponentInstall target(host, "delphi", 3);
  EXPECT_EQ(target.BaseKey(), "SOFTWARE\\Borland\\delphi\\3.0");
  EXPECT_TRUE(target.IsDelphi());
  EXPECT_EQ(target.RootDir(), "C:\\Delphi 3");  // registry keys ignore case
  EXPECT_EQ(TComponentInstall(host, "Delphi", 10).BaseKey(), "SOFTWARE\\Borland\\Delphi\\10.0");
  EXPECT_FALSE(TComponentInstall(host, "DelphiX", 3).IsDelphi());
  EXPECT_EQ(host.OpenHandles(), 0u);
}

TEST_F(Registration, ReadRegStringCutsAtZeroAndReadsLongValuesWhole) {
  TComponentInstall target(host, "Delphi", 3);
  host.SetValue(HKCU, Palette, "Z", std::string("ab\0cd", 5));
  host.SetValue(HKCU, Palette, "Long", std::string(5000, 'q'));
  EXPECT_EQ(target.ReadRegString(HKCU, Palette, "Z"), "ab");
  EXPECT_EQ(target.ReadRegString(HKCU, Palette, "Long").size(), 5000u);
  EXPECT_EQ(target.ReadRegString(HKCU, Palette, "Missing"), "");
  EXPECT_EQ(target.ReadRegString(HKCU, "SOFTWARE\\Nowhere", "X"), "");
  host.SetValue(HKLM, "SOFTWARE\\Borland\\Delphi\\4.0", "RootDir", "");
  EXPECT_EQ(TComponentInstall(host, "Delphi", 4).RootDir(), "");
}

TEST_F(Registration, WriteRegStringNeverCreatesKeysAndReportsAMissingKey) {
  TComponentInstall target(host, "Delphi", 3);
  EXPECT_FALSE(target.WriteRegString(HKCU, "SOFTWARE\\Borland\\Delphi\\3.0\\Nope", "a", "b"));
  EXPECT_EQ(host.ValueCount(HKCU, "SOFTWARE\\Borland\\Delphi\\3.0\\Nope"), 0u);
  EXPECT_TRUE(target.WriteRegString(HKCU, Known, "a", "b"));
  host.FailOperation(TMemoryHost::TOp::RegSet);
  EXPECT_FALSE(target.WriteRegString(HKCU, Known, "a", "c"));
  EXPECT_EQ(host.Value(HKCU, Known, "a"), "b");
  EXPECT_EQ(host.OpenHandles(), 0u);
}

TEST_F(Registration, RegisterPackageOverwritesAndSkipsEmptyPath) {
  TComponentInstall target(host, "Delphi", 3);
  EXPECT_TRUE(target.RegisterPackage("C:\\Delphi 3\\Lib\\W.dpl", "Old"));
  EXPECT_TRUE(target.RegisterPackage("c:\\delphi 3\\lib\\w.dpl", "New"));
  EXPECT_EQ(host.ValueCount(HKCU, Known), 1u);
  EXPECT_EQ(host.Value(HKCU, Known, "C:\\Delphi 3\\Lib\\W.dpl"), "New");
  host.SetStrict(true);
  EXPECT_TRUE(target.RegisterPackage("", "T"));
  EXPECT_EQ(host.StrictViolations(), 0u);
  host.SetStrict(false);
  TComponentInstall other(host, "Delphi", 5);  // its user keys do not exist
  EXPECT_FALSE(other.RegisterPackage("X", "T"));
}

TEST_F(Registration, PaletteEntriesAreAppendedOnceWithSemicolons) {
  TComponentInstall target(host, "Delphi", 3);
  host.SetValue(HKCU, Palette, "Widgets", "TFoo");
  EXPECT_TRUE(target.AddPaletteEntry("Widgets", "TBar"));
  EXPECT_EQ(host.Value(HKCU, Palette, "Widgets"), "TFoo;TBar;");
  EXPECT_TRUE(target.AddPaletteEntry("Widgets", "tbar"));
  EXPECT_EQ(host.Value(HKCU, Palette, "Widgets"), "TFoo;TBar;");
  EXPECT_TRUE(target.AddPaletteEntry("New Page", "TBaz"));
  EXPECT_EQ(host.Value(HKCU, Palette, "New Page"), "TBaz;");
  EXPECT_TRUE(target.AddPaletteEntry("", "TNoPage"));
  EXPECT_EQ(host.Value(HKCU, Palette, ""), "TNoPage;");
  // A plain substring test: a name inside another counts as present.
  host.SetValue(HKCU, Palette, "Data", "TDBEdit;");
  EXPECT_TRUE(target.AddPaletteEntry("Data", "dbedit"));
  EXPECT_EQ(host.Value(HKCU, Palette, "Data"), "TDBEdit;");
}

TEST_F(Registration, LongPaletteListsAreExtendedNeverReplaced) {
  TComponentInstall target(host, "Delphi", 3);
  for (std::size_t size : {256u, 257u, 258u, 300u, 4000u}) {
    std::string list;
    for (int i = 0; list.size() < size; ++i) list += "TC" + std::to_string(i) + ";";
    host.SetValue(HKCU, Palette, "Big", list);
    EXPECT_TRUE(target.AddPaletteEntry("Big", "TNew"));
    EXPECT_EQ(host.Value(HKCU, Palette, "Big"), list + "TNew;") << size;
  }
}

TEST_F(Registration, UnreadablePaletteIsLeftAloneAndReportedFalse) {
  TComponentInstall target(host, "Delphi", 3);
  host.SetValue(HKCU, Palette, "Widgets", "TFoo;");
  host.FailOperation(TMemoryHost::TOp::RegQuery, "Widgets");
  EXPECT_FALSE(target.AddPaletteEntry("Widgets", "TBar"));
  EXPECT_EQ(host.Value(HKCU, Palette, "Widgets"), "TFoo;");
  TComponentInstall noKey(host, "Delphi", 6);
  EXPECT_FALSE(noKey.AddPaletteEntry("Widgets", "TBar"));
  EXPECT_EQ(host.OpenHandles(), 0u);
}

}  // namespace
}  // namespace Ferrowind
