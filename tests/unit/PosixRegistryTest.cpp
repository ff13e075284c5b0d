// The REGEDIT4 registry file: rewrites that keep every other byte, and the file on disk.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "TempFolder.h"
#include "platform/Host.h"
#include "platform/PosixRegistry.h"

namespace Ferrowind {
namespace {

const std::string DelphiKey = "SOFTWARE\\Borland\\Delphi\\3.0";
const auto LM = TRootKey::LocalMachine, CU = TRootKey::CurrentUser;

// Odd but legal lines of every kind, with CR LF line ends.
const std::string CrLfFile =
    "REGEDIT4\r\n\r\n; written by hand\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\Delphi\\3.0]\r\n"
    "\"RootDir\"=\"C:\\\\Program Files\\\\Borland\\\\Delphi "
    "3\"\r\n@=\"default\"\r\n\"Flags\"=dword:0000012a\r\n"
    "\"Blob\"=hex:01,02,ff,\\\r\n  10,20\r\n\"Broken\"=dword:xyz\r\n\r\n\r\n"
    "[HKEY_CURRENT_USER\\SOFTWARE\\Borland\\Delphi\\3.0\\Known Packages]\r\n\"C:\\\\pkg\\\\a.dpl\"=\"A\"\r\n";

TEST(RegistryFileTest, RewriteTouchesOnlyTheValueLineAndRefusesWhatTheFormatCannotHold) {
  TRegistryFile file;
  ASSERT_TRUE(file.Parse(CrLfFile));
  for (const std::string& bad : {std::string("a\nb"), std::string("a\rb"), std::string("a\0b", 3)}) {
    EXPECT_FALSE(file.SetString(LM, DelphiKey, "RootDir", bad)) << bad;
    EXPECT_FALSE(file.SetString(LM, DelphiKey, bad, "x")) << bad;
  }
  EXPECT_FALSE(file.SetString(LM, "SOFTWARE\\Missing", "A", "x"));
  // The two-line hex value becomes one string line, keeping its spelling of the name; a new
  // value follows the section's last non-blank line.
  ASSERT_TRUE(file.SetString(LM, DelphiKey, "BLOB", "x\\\"y"));
  ASSERT_TRUE(file.SetString(LM, DelphiKey, "SKU", "Pro"));
  std::string expected = CrLfFile, data;
  const std::string hex = "\"Blob\"=hex:01,02,ff,\\\r\n  10,20\r\n", last = "\"Broken\"=dword:xyz\r\n";
  expected.replace(expected.find(hex), hex.size(), "\"Blob\"=\"x\\\\\\\"y\"\r\n");
  expected.insert(expected.find(last) + last.size(), "\"SKU\"=\"Pro\"\r\n");
  EXPECT_EQ(file.Text(), expected);
  EXPECT_EQ(file.Query(LM, DelphiKey, "blob", &data), TRegRead::Found);
  EXPECT_EQ(data, "x\\\"y");
}

// Line ends follow the file, a last line without one included; of repeated sections of a
// key the last gets the change; a key named only by keys below gets a section of its own.
// The endings without an expected text once made an added value read back wrong or land
// in another section; there the text before the value must stay.
TEST(RegistryFileTest, AddedValueReadsBackWhateverTheFileEndsWith) {
  const std::string head = "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"A\"=\"first\"\n\n[hkey_current_user\\k]\n";
  const std::string tail = "\n[HKEY_CURRENT_USER\\X]\n\n[HKEY_CURRENT_USER\\k]\n; last\n";
  const std::string crlf = "REGEDIT4\r\n[HKEY_CURRENT_USER\\K]\r\n\"A\"=\"1\"";
  const struct {
    std::string Before;
    const char* Name;
    std::string After;
  } cases[] = {
      {"REGEDIT4\n[HKEY_CURRENT_USER\\K]\n", "B", "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"B\"=\"v\"\n"},
      {crlf, "B", crlf + "\r\n\"B\"=\"v\""},
      {head + "\"a\"=\"second\"\n" + tail, "A", head + "\"a\"=\"v\"\n" + tail},
      {head + tail, "New", head + tail + "\"New\"=\"v\"\n"},
      {"REGEDIT4\r\n[HKEY_CURRENT_USER\\K\\Sub]\r\n", "",
       "REGEDIT4\r\n[HKEY_CURRENT_USER\\K\\Sub]\r\n\r\n"
       "[HKEY_CURRENT_USER\\K]\r\n@=\"v\"\r\n"},
      {"REGEDIT4\r\n[HKEY_CURRENT_USER\\K]\r\n\"H\"=hex:01,02,\\\r\n", "New", ""},  // a byte list that continues
      {"REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"H\"=hex:01,\\", "New", ""},             // ... at the very end
      {"REGEDIT4\n[HKEY_CURRENT_USER\\K]\r", "New", ""},                            // a lone CR at the end
      {"REGEDIT4\r\n[HKEY_CURRENT_USER\\K]\r", "New", ""},
      {"REGEDIT4\r\n[HKEY_CURRENT_USER\\Other]\r\n[HKEY_CURRENT_USER\\K\\Sub]\r", "New", ""}};
  for (const auto& c : cases) {
    TRegistryFile file, again;
    std::string data;
    ASSERT_TRUE(file.Parse(c.Before));
    ASSERT_TRUE(file.SetString(CU, "K", c.Name, "v")) << c.Before;
    // With no expected text, all but the last byte of the text before must stay.
    const std::size_t kept = c.After.empty() ? c.Before.size() - 1 : std::string::npos;
    EXPECT_EQ(file.Text().substr(0, kept), c.After.empty() ? c.Before.substr(0, kept) : c.After) << c.Before;
    ASSERT_TRUE(again.Parse(file.Text()));
    EXPECT_EQ(again.Query(CU, "K", c.Name, &data), TRegRead::Found) << file.Text();
    EXPECT_EQ(data, "v") << file.Text();
  }
}

// A save replaces the file keeping its mode, or leaves it as it was and no temporary file; a file not
// beginning with REGEDIT4 is never written, and standard error names it once.
TEST(RegistryStoreTest, FileOnDiskIsReplacedWholeOrLeftAsItWas) {
  const TTempFolder temp;
  const std::string& folder = temp.Path();
  const std::string path = folder + "/registry.reg";
  std::ofstream(path, std::ios::binary) << "old";
  std::filesystem::permissions(path, std::filesystem::perms(0640));
  ASSERT_TRUE(SaveFileAtomically(path, CrLfFile));
  EXPECT_EQ(std::filesystem::status(path).permissions(), std::filesystem::perms(0640));

  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  const rlimit tight{64, old.rlim_max};
  signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &tight);  // runs out of space midway
  const bool saved = SaveFileAtomically(path, CrLfFile + std::string(1000, ';'));
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, SIG_DFL);
  EXPECT_FALSE(saved);
  EXPECT_EQ(ReadFile(path), CrLfFile);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);

  const std::string foreign = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\K]\r\n\"A\"=\"1\"\r\n";
  std::ofstream(path, std::ios::binary) << foreign;
  setenv("FERROWIND_REGISTRY", path.c_str(), 1);
  THandle key = 0;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(SystemHost().RegOpen(LM, "K", TRegAccess::Read, &key));
  EXPECT_FALSE(SystemHost().RegOpen(LM, "K", TRegAccess::Write, &key));
  const std::string errors = testing::internal::GetCapturedStderr();
  unsetenv("FERROWIND_REGISTRY");
  EXPECT_EQ(key, 0u);
  EXPECT_EQ(ReadFile(path), foreign);
  EXPECT_NE(errors.find(path), std::string::npos) << errors;
  EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
}

// Root may write any file; a registry file without its owner's write permission is still
// refused, as Windows refuses a read-only file.
TEST(RegistryStoreTest, ReadOnlyFileIsNeverWritten) {
  const TTempFolder temp;
  const std::string& folder = temp.Path();
  const std::string path = folder + "/registry.reg";
  std::ofstream(path, std::ios::binary) << CrLfFile;
  std::filesystem::permissions(path, std::filesystem::perms(0444));
  setenv("FERROWIND_REGISTRY", path.c_str(), 1);
  THandle key = 0;
  ASSERT_TRUE(SystemHost().RegOpen(LM, DelphiKey, TRegAccess::Write, &key));
  EXPECT_FALSE(SystemHost().RegSet(key, "RootDir", "C:\\Elsewhere"));
  SystemHost().RegClose(key);
  unsetenv("FERROWIND_REGISTRY");
  EXPECT_FALSE(SaveFileAtomically(path, "REGEDIT4\r\n"));
  EXPECT_EQ(ReadFile(path), CrLfFile);
  EXPECT_EQ(std::filesystem::status(path).permissions(), std::filesystem::perms(0444));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
}

}  // namespace
}  // namespace Ferrowind
