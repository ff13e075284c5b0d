// The same expectations run against the in-memory host and the POSIX host, so the double
// the unit tests rely on never drifts from the host the program runs on.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "platform/MemoryHost.h"

namespace Ferrowind {
namespace {

namespace fs = std::filesystem;

class THostUnderTest {
 public:
  virtual ~THostUnderTest() = default;
  virtual THost& Host() = 0;
  virtual std::string Root() = 0;  // a folder, named with "\" separators
  virtual void PutFile(const std::string& relative, const std::string& data) = 0;
  std::string At(const std::string& relative) { return Root() + "\\" + relative; }
};

// Each host starts with the folder Root() and the user key Software\Vendor\App\Palette.
const std::string PaletteKey = "Software\\Vendor\\App\\Palette";

class TMemoryUnderTest : public THostUnderTest {
 public:
  TMemoryUnderTest() {
    FHost.AddFolder(Root());
    FHost.AddKey(TRootKey::CurrentUser, PaletteKey);
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
    std::string pattern = (fs::temp_directory_path() / "ferrowind-contract-XXXXXX").string();
    FRoot = mkdtemp(pattern.data());
    std::ofstream(FRoot + "/registry.reg", std::ios::binary)
        << "REGEDIT4\r\n[HKEY_CURRENT_USER\\" + PaletteKey + "]\r\n";
    setenv("FERROWIND_REGISTRY", (FRoot + "/registry.reg").c_str(), 1);
  }
  ~TPosixUnderTest() override {
    std::error_code ignored;
    fs::remove_all(FRoot, ignored);
    unsetenv("FERROWIND_REGISTRY");
  }
  THost& Host() override { return SystemHost(); }
  std::string Root() override { return FRoot; }
  void PutFile(const std::string& relative, const std::string& data) override {
    std::string path = FRoot + "/" + relative;
    std::replace(path.begin(), path.end(), '\\', '/');
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << data;
  }

 private:
  std::string FRoot;
};

using TFactory = std::function<std::unique_ptr<THostUnderTest>()>;

class HostContract : public ::testing::TestWithParam<std::pair<const char*, TFactory>> {
 protected:
  void SetUp() override { subject = GetParam().second(); }
  THost& Host() { return subject->Host(); }
  std::unique_ptr<THostUnderTest> subject;
};

TEST_P(HostContract, FilesOpenOnlyAsAskedAndShareAsAsked) {
  THandle a = 0, b = 0;
  EXPECT_FALSE(
      Host().FileOpen(subject->At("none.txt"), TFileAccess::Read, TFileShare::Read, TFileCreate::OpenExisting, &a));
  EXPECT_EQ(a, 0u);
  ASSERT_TRUE(
      Host().FileOpen(subject->At("new.txt"), TFileAccess::ReadWrite, TFileShare::None, TFileCreate::CreateAlways, &a));
  std::size_t count = 0;
  EXPECT_TRUE(Host().FileWrite(a, "hello", 5, &count));
  EXPECT_EQ(count, 5u);
  EXPECT_TRUE(Host().FileFlush(a));
  // An open that shares nothing keeps every other opener out.
  EXPECT_FALSE(
      Host().FileOpen(subject->At("new.txt"), TFileAccess::Read, TFileShare::Read, TFileCreate::OpenExisting, &b));
  Host().FileClose(a);
  ASSERT_TRUE(
      Host().FileOpen(subject->At("NEW.TXT"), TFileAccess::Read, TFileShare::Read, TFileCreate::OpenExisting, &a));
  ASSERT_TRUE(
      Host().FileOpen(subject->At("new.txt"), TFileAccess::Read, TFileShare::Read, TFileCreate::OpenExisting, &b));
  std::uint64_t size = 0;
  EXPECT_TRUE(Host().FileSize(b, &size));
  EXPECT_EQ(size, 5u);
  char buffer[8] = {};
  EXPECT_TRUE(Host().FileRead(b, buffer, sizeof buffer, &count));
  EXPECT_EQ(std::string(buffer, count), "hello");
  EXPECT_TRUE(Host().FileRead(b, buffer, sizeof buffer, &count));
  EXPECT_EQ(count, 0u);
  THandle c = 0;
  EXPECT_FALSE(
      Host().FileOpen(subject->At("new.txt"), TFileAccess::Read, TFileShare::None, TFileCreate::OpenExisting, &c));
  Host().FileClose(a);
  Host().FileClose(b);
  // Creating anew truncates what was there.
  ASSERT_TRUE(
      Host().FileOpen(subject->At("new.txt"), TFileAccess::ReadWrite, TFileShare::None, TFileCreate::CreateAlways, &a));
  EXPECT_TRUE(Host().FileSize(a, &size));
  EXPECT_EQ(size, 0u);
  Host().FileClose(a);
}

TEST_P(HostContract, ReadOnlyFilesResistWritingCopyingOntoAndRemoval) {
  subject->PutFile("ro.txt", "keep");
  subject->PutFile("src.txt", "new");
  ASSERT_TRUE(Host().SetAttributes(subject->At("ro.txt"), AttrReadOnly));
  std::uint32_t attributes = 0;
  ASSERT_TRUE(Host().GetAttributes(subject->At("ro.txt"), &attributes));
  EXPECT_NE(attributes & AttrReadOnly, 0u);
  THandle file = 0;
  EXPECT_FALSE(Host().FileOpen(subject->At("ro.txt"), TFileAccess::ReadWrite, TFileShare::None,
                               TFileCreate::CreateAlways, &file));
  EXPECT_FALSE(Host().CopyFileTo(subject->At("src.txt"), subject->At("ro.txt"), false));
  EXPECT_FALSE(Host().RemoveFile(subject->At("ro.txt")));
  EXPECT_FALSE(Host().ReplaceWith(subject->At("src.txt"), subject->At("ro.txt")));
  ASSERT_TRUE(Host().SetAttributes(subject->At("ro.txt"), 0));
  EXPECT_TRUE(Host().CopyFileTo(subject->At("src.txt"), subject->At("ro.txt"), false));
  EXPECT_FALSE(Host().CopyFileTo(subject->At("src.txt"), subject->At("ro.txt"), true));
  EXPECT_TRUE(Host().ReplaceWith(subject->At("src.txt"), subject->At("ro.txt")));
  EXPECT_FALSE(Host().GetAttributes(subject->At("src.txt"), &attributes));
  EXPECT_TRUE(Host().RemoveFile(subject->At("ro.txt")));
  EXPECT_FALSE(Host().GetAttributes(subject->At("ro.txt"), &attributes));
}

TEST_P(HostContract, FoldersAreMadeOnceAndListedWithAttributes) {
  EXPECT_TRUE(Host().MakeFolder(subject->At("Sub")));
  EXPECT_FALSE(Host().MakeFolder(subject->At("SUB")));
  THandle file = 0;
  EXPECT_FALSE(
      Host().FileOpen(subject->At("Sub"), TFileAccess::Read, TFileShare::Read, TFileCreate::OpenExisting, &file));
  EXPECT_FALSE(Host().RemoveFile(subject->At("Sub")));
  EXPECT_FALSE(Host().MakeFolder(subject->At("Missing\\Deeper")));
  subject->PutFile("Sub\\B.txt", "b");
  subject->PutFile("Sub\\Inner\\C.txt", "c");
  EXPECT_FALSE(Host().CopyFileTo(subject->At("Sub\\Inner"), subject->At("Copy"), false));
  THandle find = 0;
  TFindEntry entry;
  std::vector<std::string> seen;
  ASSERT_EQ(Host().FindFirst(subject->At("Sub\\*.*"), &find, &entry), TFind::Entry);
  do seen.push_back(entry.Name + ":" + std::to_string(entry.Attributes & (AttrDirectory | AttrArchive)));
  while (Host().FindNext(find, &entry) == TFind::Entry);
  Host().FindClose(find);
  EXPECT_EQ(seen, (std::vector<std::string>{".:16", "..:16", "B.txt:32", "Inner:16"}));
  EXPECT_EQ(Host().FindFirst(subject->At("Nowhere\\*.*"), &find, &entry), TFind::NoMore);
  EXPECT_EQ(Host().FindFirst(subject->At("Sub\\none.gid"), &find, &entry), TFind::NoMore);
  ASSERT_EQ(Host().FindFirst(subject->At("sub\\b.TXT"), &find, &entry), TFind::Entry);
  EXPECT_EQ(entry.Name, "B.txt");
  Host().FindClose(find);
}

TEST_P(HostContract, RegistryKeysAreOpenedNeverMadeAndValuesIgnoreCase) {
  THandle key = 0;
  EXPECT_FALSE(Host().RegOpen(TRootKey::CurrentUser, "Software\\Vendor\\Other", TRegAccess::Write, &key));
  EXPECT_EQ(key, 0u);
  ASSERT_TRUE(Host().RegOpen(TRootKey::CurrentUser, "SOFTWARE\\vendor\\app", TRegAccess::Write, &key));
  Host().RegClose(key);  // exists through the key below it
  ASSERT_TRUE(Host().RegOpen(TRootKey::CurrentUser, "Software\\Vendor\\App\\Palette", TRegAccess::Write, &key));
  EXPECT_TRUE(Host().RegSet(key, "Page One", "TA;TB;"));
  EXPECT_TRUE(Host().RegSet(key, "", "default \"quoted\" \\ slash"));
  std::string data;
  EXPECT_EQ(Host().RegQuery(key, "Page One", &data), TRegRead::Failed);  // opened for writing only
  Host().RegClose(key);
  ASSERT_TRUE(Host().RegOpen(TRootKey::CurrentUser, "software\\vendor\\app\\palette", TRegAccess::Read, &key));
  EXPECT_EQ(Host().RegQuery(key, "PAGE ONE", &data), TRegRead::Found);
  EXPECT_EQ(data, "TA;TB;");
  EXPECT_EQ(Host().RegQuery(key, "", &data), TRegRead::Found);
  EXPECT_EQ(data, "default \"quoted\" \\ slash");
  EXPECT_EQ(Host().RegQuery(key, "Page Two", &data), TRegRead::Missing);
  EXPECT_FALSE(Host().RegSet(key, "Page One", "x"));  // opened for reading only
  Host().RegClose(key);
}

INSTANTIATE_TEST_SUITE_P(
    Hosts, HostContract,
    ::testing::Values(std::pair<const char*, TFactory>{"Memory", [] { return std::make_unique<TMemoryUnderTest>(); }},
                      std::pair<const char*, TFactory>{"Posix", [] { return std::make_unique<TPosixUnderTest>(); }}),
    [](const auto& info) { return std::string(info.param.first); });

}  // namespace
}  // namespace Ferrowind
