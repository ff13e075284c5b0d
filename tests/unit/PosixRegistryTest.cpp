// The REGEDIT4 registry file: its rewrites in memory, and the file on disk.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>

#include "../Scratch.h"
#include "Platform/Host.h"
#include "Platform/PosixRegistry.h"

namespace Ferrowind {
namespace {

using FerrowindTest::ReadWhole;

const std::string DelphiKey = "SOFTWARE\\Borland\\Delphi\\3.0";
const auto LM = TRootKey::LocalMachine;

const std::string CrLfFile =
    "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\" + DelphiKey + "]\r\n\"RootDir\"=\"C:\\\\Delphi 3\"\r\n";

// A set rewrites only the value's own lines (a byte list's continuation lines with it), or
// adds one line, or a section for a key that only keys below it name; every other byte of
// the user's file stays, and what it cannot store is refused with the text unchanged.
TEST(RegistryStoreTest, SetsRewriteOnlyTheirValueAndReadBackFromTheText) {
  const std::string head = "REGEDIT4\n\n; kept\n[HKEY_LOCAL_MACHINE\\K]\n", data = R"(a"b\c)";
  TRegistryFile file;
  ASSERT_TRUE(
      file.Parse(head + "\"h\"=hex(2):41,\\\n  43,00\n \"x\" = \"old\"\n[HKEY_CURRENT_USER\\A\\B]\n\"m\"=\"1\""));
  const auto CU = TRootKey::CurrentUser;
  const std::pair<TRootKey, std::string> values[] = {{LM, "h"}, {LM, "X"}, {LM, ""}, {CU, "n"}};
  for (const auto& [root, name] : values) EXPECT_TRUE(file.SetString(root, root == LM ? "k" : "A", name, data));
  EXPECT_FALSE(file.SetString(CU, "A\\B", "m\nn", "a name with a line break"));
  EXPECT_FALSE(file.SetString(CU, "A\\C", "m", "no such key"));
  const std::string stored = "=\"a\\\"b\\\\c\"\n";
  const std::string expected = head + "\"h\"" + stored + "\"x\"" + stored + "@" + stored +
                               "[HKEY_CURRENT_USER\\A\\B]\n\"m\"=\"1\"\n\n[HKEY_CURRENT_USER\\A]\n\"n\"" + stored;
  EXPECT_EQ(file.Text(), expected);
  TRegistryFile fresh;
  ASSERT_TRUE(fresh.Parse(file.Text()));
  for (const auto& [root, name] : values) {
    std::string read;
    EXPECT_EQ(fresh.Query(root, root == LM ? "K" : "a", name, &read), TRegRead::Found) << name;
    EXPECT_EQ(read, data) << name;
  }
  EXPECT_TRUE(fresh.SetString(LM, "K", "x", data));
  EXPECT_EQ(fresh.Text(), expected);  // the same data again changes no byte
  // Data a quoted string cannot hold is kept as the bytes of a string value.
  std::string read;
  ASSERT_TRUE(fresh.SetString(CU, "A\\B", "m", std::string("two\nli\0nes", 10)));
  EXPECT_NE(fresh.Text().find("\"m\"=hex(1):74,77,6f,0a,6c,69,00,6e,65,73,00\n"), std::string::npos);
  EXPECT_EQ(fresh.Query(CU, "A\\B", "M", &read), TRegRead::Found);
  EXPECT_EQ(read, std::string("two\nli\0nes\0", 11));
}

// A save replaces the file keeping its mode, or leaves it as it was and no temporary file.
// Root may write any file, but a registry file without its owner's write permission is
// refused, as Windows refuses a read-only file; one not beginning with REGEDIT4 is never
// written, and standard error names it once.
TEST(RegistryStoreTest, FileOnDiskIsReplacedWholeOrLeftAsItWas) {
  namespace fs = std::filesystem;
  const FerrowindTest::TScratch folder;
  const std::string path = folder / "registry.reg";
  const auto leftAsItWas = [&](const std::string& text, fs::perms mode) {
    EXPECT_EQ(ReadWhole(path), text);
    EXPECT_EQ(fs::status(path).permissions(), mode);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.Path()), {}), 1);
  };
  FerrowindTest::WriteWhole(path, "old");
  fs::permissions(path, fs::perms(0640));
  ASSERT_TRUE(SaveFileAtomically(path, CrLfFile));
  leftAsItWas(CrLfFile, fs::perms(0640));

  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  const rlimit tight{64, old.rlim_max};
  signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &tight);  // runs out of space midway
  const bool saved = SaveFileAtomically(path, CrLfFile + std::string(1000, ';'));
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, SIG_DFL);
  EXPECT_FALSE(saved);
  leftAsItWas(CrLfFile, fs::perms(0640));

  fs::permissions(path, fs::perms(0444));
  setenv("FERROWIND_REGISTRY", path.c_str(), 1);
  THandle key = 0;
  EXPECT_FALSE(SystemHost().RegOpen(LM, DelphiKey, TRegAccess::Write, &key));  // no key to write through
  EXPECT_TRUE(SystemHost().RegOpen(LM, DelphiKey, TRegAccess::Read, &key));
  EXPECT_FALSE(SystemHost().RegSet(key, "RootDir", "C:\\Elsewhere"));
  SystemHost().RegClose(key);
  EXPECT_FALSE(SaveFileAtomically(path, "REGEDIT4\r\n"));
  leftAsItWas(CrLfFile, fs::perms(0444));

  const std::string foreign = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\K]\r\n\"A\"=\"1\"\r\n";
  fs::permissions(path, fs::perms(0644));
  FerrowindTest::WriteWhole(path, foreign);
  key = 0;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(SystemHost().RegOpen(LM, "K", TRegAccess::Read, &key));
  EXPECT_FALSE(SystemHost().RegOpen(LM, "K", TRegAccess::Write, &key));
  const std::string errors = testing::internal::GetCapturedStderr();
  unsetenv("FERROWIND_REGISTRY");
  EXPECT_EQ(key, 0u);
  EXPECT_EQ(ReadWhole(path), foreign);
  EXPECT_NE(errors.find(path), std::string::npos) << errors;
  EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
}

}  // namespace
}  // namespace Ferrowind
