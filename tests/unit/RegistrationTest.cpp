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

// Packages, pages and case are the scenarios'. Here: a string read stops at its first NUL,
// and writing never creates a key, and reports a missing one.
TEST_F(Registration, ReadsStopAtNulAndWritesNeedTheKey) {
  TComponentInstall target(host, "Delphi", 3);
  host.SetValue(HKCU, Palette, "Z", std::string("ab\0cd", 5));
  EXPECT_EQ(target.ReadRegString(HKCU, Palette, "Z"), "ab");
  EXPECT_EQ(target.ReadRegString(HKCU, Palette, "Missing"), "");
  EXPECT_EQ(target.ReadRegString(HKCU, "SOFTWARE\\Nowhere", "X"), "");
  EXPECT_FALSE(target.WriteRegString(HKCU, Base + "\\Nope", "a", "b"));
  EXPECT_EQ(host.ValueCount(HKCU, Base + "\\Nope"), 0u);
  EXPECT_TRUE(target.WriteRegString(HKCU, Palette, "a", "b"));
}

}  // namespace
}  // namespace Ferrowind
