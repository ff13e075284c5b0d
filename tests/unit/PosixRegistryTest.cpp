// The REGEDIT4 registry file on disk. Its rewrites in memory are RegistryFileFuzz's properties.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "../Scratch.h"
#include "platform/Host.h"
#include "platform/PosixRegistry.h"

namespace Ferrowind {
namespace {

using FerrowindTest::ReadWhole;

const std::string DelphiKey = "SOFTWARE\\Borland\\Delphi\\3.0";
const auto LM = TRootKey::LocalMachine;

// Odd but legal lines of every kind, with CR LF line ends.
const std::string CrLfFile =
    "REGEDIT4\r\n\r\n; written by hand\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\Delphi\\3.0]\r\n"
    "\"RootDir\"=\"C:\\\\Program Files\\\\Borland\\\\Delphi "
    "3\"\r\n@=\"default\"\r\n\"Flags\"=dword:0000012a\r\n"
    "\"Blob\"=hex:01,02,ff,\\\r\n  10,20\r\n\"Broken\"=dword:xyz\r\n\r\n\r\n"
    "[HKEY_CURRENT_USER\\SOFTWARE\\Borland\\Delphi\\3.0\\Known Packages]\r\n\"C:\\\\pkg\\\\a.dpl\"=\"A\"\r\n";

// A save replaces the file keeping its mode, or leaves it as it was and no temporary file; a file not
// beginning with REGEDIT4 is never written, and standard error names it once.
TEST(RegistryStoreTest, FileOnDiskIsReplacedWholeOrLeftAsItWas) {
  const FerrowindTest::TScratch temp;
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
  EXPECT_EQ(ReadWhole(path), CrLfFile);
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
  EXPECT_EQ(ReadWhole(path), foreign);
  EXPECT_NE(errors.find(path), std::string::npos) << errors;
  EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
}

// Root may write any file; a registry file without its owner's write permission is still
// refused, as Windows refuses a read-only file.
TEST(RegistryStoreTest, ReadOnlyFileIsNeverWritten) {
  const FerrowindTest::TScratch temp;
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
  EXPECT_EQ(ReadWhole(path), CrLfFile);
  EXPECT_EQ(std::filesystem::status(path).permissions(), std::filesystem::perms(0444));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
}

}  // namespace
}  // namespace Ferrowind
