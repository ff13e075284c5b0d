// The host contract over the in-memory double, the POSIX host on a temporary folder and
// registry file, and the preview's host over it.
#include <stdlib.h>

#include <algorithm>

#include "../Scratch.h"
#include "../contract/HostContract.h"
#include "Check/PreviewHost.h"
#include "Platform/MemoryHost.h"

namespace Ferrowind {
namespace {

class TMemoryUnderTest : public THostUnderTest {
 public:
  TMemoryUnderTest() {
    FHost.AddFolder(Root());
    FHost.AddKey(TRootKey::CurrentUser, ContractKey);
  }
  THost& Host() override { return FHost; }
  std::string Root() override { return "C:\\Root"; }
  void PutFile(const std::string& relative, const std::string& data) override { FHost.AddFile(At(relative), data); }

 private:
  TMemoryHost FHost;
};

class TPosixUnderTest : public THostUnderTest {
 public:
  TPosixUnderTest() {
    FerrowindTest::WriteWhole(FRoot + "/registry.reg", "REGEDIT4\r\n[HKEY_CURRENT_USER\\" + ContractKey + "]\r\n");
    setenv("FERROWIND_REGISTRY", (FRoot + "/registry.reg").c_str(), 1);
  }
  ~TPosixUnderTest() override { unsetenv("FERROWIND_REGISTRY"); }
  THost& Host() override { return SystemHost(); }
  std::string Root() override { return FRoot; }
  void PutFile(const std::string& relative, const std::string& data) override {
    std::string path = FRoot + "/" + relative;
    std::replace(path.begin(), path.end(), '\\', '/');
    FerrowindTest::WriteWhole(path, data);
  }

 private:
  FerrowindTest::TScratch FFolder;
  std::string FRoot = FFolder.Path();
};

// The preview's shape: every change kept in memory over the system host, which the files
// put behind its back land in.
class TPreviewUnderTest : public TPosixUnderTest {
 public:
  THost& Host() override { return FPreview; }

 private:
  TPreviewHost FPreview{SystemHost(), Root() + "\\Setup.exe"};
};

INSTANTIATE_TEST_SUITE_P(Hosts, HostContract,
                         ::testing::Values(THostParam{"Memory", [] { return std::make_unique<TMemoryUnderTest>(); }},
                                           THostParam{"Posix", [] { return std::make_unique<TPosixUnderTest>(); }},
                                           THostParam{"Preview", [] { return std::make_unique<TPreviewUnderTest>(); }}),
                         HostName);

}  // namespace
}  // namespace Ferrowind
