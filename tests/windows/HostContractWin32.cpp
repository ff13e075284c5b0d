// The host contract over the Win32 host, and over the preview's model on it, run under Wine:
// a temporary folder below the user's temporary path, and the contract's key made (and
// removed) with the registry API in the view the host reads.
#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <filesystem>
#include <fstream>

#include "../contract/HostContract.h"
#include "Check/PreviewHost.h"

namespace Ferrowind {
namespace {

namespace fs = std::filesystem;

// The view the host opens keys in: the 32-bit one, also from a 64-bit build.
constexpr REGSAM View = sizeof(void*) == 8 ? KEY_WOW64_32KEY : 0;

void RemoveKeys() {
  HKEY software = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_ALL_ACCESS | View, &software) != ERROR_SUCCESS) return;
  RegDeleteTreeA(software, "Ferrowind Contract");
  RegCloseKey(software);
}

class TWin32UnderTest : public THostUnderTest {
 public:
  TWin32UnderTest() {
    static int made = 0;
    char temp[MAX_PATH + 1] = {};
    GetTempPathA(sizeof temp, temp);
    FRoot = std::string(temp) + "ferrowind-contract-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(++made);
    fs::create_directories(FRoot);
    RemoveKeys();
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, ContractKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | View, nullptr, &key,
                        nullptr) == ERROR_SUCCESS) {
      RegCloseKey(key);
    }
  }
  ~TWin32UnderTest() override {
    // Read-only files would stop the removal.
    std::error_code ignored;
    for (const auto& entry : fs::recursive_directory_iterator(FRoot, ignored)) {
      SetFileAttributesA(entry.path().string().c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    fs::remove_all(FRoot, ignored);
    RemoveKeys();
  }
  THost& Host() override { return SystemHost(); }
  std::string Root() override { return FRoot; }
  void PutFile(const std::string& relative, const std::string& data) override {
    const fs::path path = At(relative);
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << data;
  }

 private:
  std::string FRoot;
};

// The preview as users run it on Windows: the model over the Win32 host.
class TPreviewUnderTest : public TWin32UnderTest {
 public:
  THost& Host() override { return FPreview; }

 private:
  TPreviewHost FPreview{SystemHost(), Root() + "\\Setup.exe"};
};

INSTANTIATE_TEST_SUITE_P(Hosts, HostContract,
                         ::testing::Values(THostParam{"Win32", [] { return std::make_unique<TWin32UnderTest>(); }},
                                           THostParam{"Preview", [] { return std::make_unique<TPreviewUnderTest>(); }}),
                         HostName);

}  // namespace
}  // namespace Ferrowind
