// The REGEDIT4 registry file on disk: a save replaces it keeping its mode, or leaves it as it
// was and no temporary file, also when the disk fills midway; a file without its owner's
// write permission is refused, as Windows refuses a read-only file, though root may write
// it. Its edits are the scenarios' (registry_file, registry_foreign, read_only_registry).
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>

#include "../Scratch.h"
#include "Platform/PosixRegistry.h"

namespace Ferrowind {
namespace {

TEST(RegistryStoreTest, FileOnDiskIsReplacedWholeOrLeftAsItWas) {
  namespace fs = std::filesystem;
  const FerrowindTest::TScratch folder;
  const std::string path = folder / "registry.reg", text = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n";
  const auto leftAsItWas = [&](const std::string& data, fs::perms mode) {
    EXPECT_EQ(FerrowindTest::ReadWhole(path), data);
    EXPECT_EQ(fs::status(path).permissions(), mode);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.Path()), {}), 1);
  };
  FerrowindTest::WriteWhole(path, "old");
  fs::permissions(path, fs::perms(0640));
  ASSERT_TRUE(SaveFileAtomically(path, text));
  leftAsItWas(text, fs::perms(0640));

  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  const rlimit tight{16, old.rlim_max};
  signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &tight);  // runs out of space midway
  const bool saved = SaveFileAtomically(path, text + std::string(1000, ';'));
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, SIG_DFL);
  EXPECT_FALSE(saved);
  leftAsItWas(text, fs::perms(0640));

  fs::permissions(path, fs::perms(0444));
  EXPECT_FALSE(SaveFileAtomically(path, "REGEDIT4\r\n"));
  leftAsItWas(text, fs::perms(0444));
}

}  // namespace
}  // namespace Ferrowind
