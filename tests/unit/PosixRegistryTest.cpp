// The REGEDIT4 registry file: decoding, lookups, rewrites that keep every other byte, and
// the file handling of the POSIX host around it.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "platform/Host.h"
#include "platform/PosixRegistry.h"

namespace Ferrowind {
namespace {

const std::string DelphiKey = "SOFTWARE\\Borland\\Delphi\\3.0";

// Odd but legal lines of every kind, with CR LF line ends.
const std::string CrLfFile =
    "REGEDIT4\r\n"
    "\r\n"
    "; written by hand\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\Delphi\\3.0]\r\n"
    "\"RootDir\"=\"C:\\\\Program Files\\\\Borland\\\\Delphi 3\"\r\n"
    "\"Quote\"=\"say \\\"hi\\\"\"\r\n"
    "@=\"default\"\r\n"
    "\"Flags\"=dword:0000012a\r\n"
    "\"Blob\"=hex:01,02,ff,\\\r\n"
    "  10,20\r\n"
    "\"Multi\"=hex(7):41,00,00\r\n"
    "\"Broken\"=dword:xyz\r\n"
    "\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\SOFTWARE\\Borland\\Delphi\\3.0\\Known Packages]\r\n"
    "\"C:\\\\pkg\\\\a.dpl\"=\"A\"\r\n";

std::string Query(const TRegistryFile& file, TRootKey root, const std::string& path, const std::string& name) {
  std::string data;
  EXPECT_EQ(file.Query(root, path, name, &data), TRegRead::Found) << name;
  return data;
}

TEST(RegistryFileTest, DecodesEveryValueKind) {
  TRegistryFile file;
  ASSERT_TRUE(file.Parse(CrLfFile));
  const auto lm = TRootKey::LocalMachine;
  EXPECT_EQ(Query(file, lm, DelphiKey, "RootDir"), "C:\\Program Files\\Borland\\Delphi 3");
  EXPECT_EQ(Query(file, lm, DelphiKey, "Quote"), "say \"hi\"");
  EXPECT_EQ(Query(file, lm, DelphiKey, ""), "default");
  EXPECT_EQ(Query(file, lm, DelphiKey, "Flags"), std::string("\x2a\x01\x00\x00", 4));
  EXPECT_EQ(Query(file, lm, DelphiKey, "Blob"), std::string("\x01\x02\xff\x10\x20", 5));
  EXPECT_EQ(Query(file, lm, DelphiKey, "Multi"), std::string("A\0\0", 3));
  EXPECT_EQ(Query(file, TRootKey::CurrentUser, DelphiKey + "\\Known Packages", "c:\\PKG\\A.dpl"), "A");

  std::string data = "stale";
  EXPECT_EQ(file.Query(lm, DelphiKey, "Broken", &data), TRegRead::Failed);
  EXPECT_EQ(data, "");
  EXPECT_EQ(file.Query(lm, DelphiKey, "Absent", &data), TRegRead::Missing);
  EXPECT_EQ(file.Query(TRootKey::CurrentUser, DelphiKey, "RootDir", &data), TRegRead::Missing);
}

TEST(RegistryFileTest, KeysAndNamesIgnoreCase) {
  TRegistryFile file;
  ASSERT_TRUE(file.Parse(CrLfFile));
  EXPECT_EQ(Query(file, TRootKey::LocalMachine, "software\\BORLAND\\delphi\\3.0", "rootdir"),
            "C:\\Program Files\\Borland\\Delphi 3");
}

TEST(RegistryFileTest, KeyExistsThroughSectionOrSubkey) {
  TRegistryFile file;
  ASSERT_TRUE(file.Parse(CrLfFile));
  EXPECT_TRUE(file.KeyExists(TRootKey::LocalMachine, DelphiKey));
  EXPECT_TRUE(file.KeyExists(TRootKey::CurrentUser, DelphiKey));  // only Known Packages names it
  EXPECT_TRUE(file.KeyExists(TRootKey::CurrentUser, "software\\borland"));
  EXPECT_FALSE(file.KeyExists(TRootKey::CurrentUser, "SOFTWARE\\Borl"));  // not a whole component
  EXPECT_FALSE(file.KeyExists(TRootKey::LocalMachine, DelphiKey + "\\Known Packages"));
  EXPECT_FALSE(TRegistryFile().KeyExists(TRootKey::LocalMachine, "SOFTWARE"));
}

TEST(RegistryFileTest, BrokenContinuationDoesNotSwallowNextSection) {
  TRegistryFile file;
  ASSERT_TRUE(file.Parse("REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"X\"=hex:01,\\\n\n[HKEY_LOCAL_MACHINE\\B]\n\"Y\"=\"y\"\n"));
  EXPECT_EQ(Query(file, TRootKey::LocalMachine, "A", "X"), "\x01");
  EXPECT_EQ(Query(file, TRootKey::LocalMachine, "B", "Y"), "y");
}

TEST(RegistryFileTest, RewriteChangesOnlyTheValueLine) {
  TRegistryFile file;
  ASSERT_TRUE(file.Parse(CrLfFile));
  // A two-line hex value becomes one string line; its spelling of the name is kept.
  ASSERT_TRUE(file.SetString(TRootKey::LocalMachine, DelphiKey, "BLOB", "x\\\"y"));
  std::string expected = CrLfFile;
  const std::string hex = "\"Blob\"=hex:01,02,ff,\\\r\n  10,20\r\n";
  expected.replace(expected.find(hex), hex.size(), "\"Blob\"=\"x\\\\\\\"y\"\r\n");
  EXPECT_EQ(file.Text(), expected);
  EXPECT_EQ(Query(file, TRootKey::LocalMachine, DelphiKey, "blob"), "x\\\"y");
}

TEST(RegistryFileTest, NewValueGoesAfterLastNonBlankLineOfSection) {
  TRegistryFile file;
  ASSERT_TRUE(file.Parse(CrLfFile));
  ASSERT_TRUE(file.SetString(TRootKey::LocalMachine, DelphiKey, "SKU", "Pro"));
  std::string expected = CrLfFile;
  const std::string anchor = "\"Broken\"=dword:xyz\r\n";
  expected.insert(expected.find(anchor) + anchor.size(), "\"SKU\"=\"Pro\"\r\n");
  EXPECT_EQ(file.Text(), expected);
}

TEST(RegistryFileTest, LineEndsFollowTheFile) {
  TRegistryFile lf;
  ASSERT_TRUE(lf.Parse("REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"A\"=\"1\"\n"));
  ASSERT_TRUE(lf.SetString(TRootKey::CurrentUser, "K", "B", "2"));
  EXPECT_EQ(lf.Text(), "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"A\"=\"1\"\n\"B\"=\"2\"\n");

  // No line end at the end of the file before: none after either.
  TRegistryFile unterminated;
  ASSERT_TRUE(unterminated.Parse("REGEDIT4\r\n[HKEY_CURRENT_USER\\K]\r\n\"A\"=\"1\""));
  ASSERT_TRUE(unterminated.SetString(TRootKey::CurrentUser, "K", "B", "2"));
  EXPECT_EQ(unterminated.Text(), "REGEDIT4\r\n[HKEY_CURRENT_USER\\K]\r\n\"A\"=\"1\"\r\n\"B\"=\"2\"");
  ASSERT_TRUE(unterminated.SetString(TRootKey::CurrentUser, "K", "b", "3"));
  EXPECT_EQ(unterminated.Text(), "REGEDIT4\r\n[HKEY_CURRENT_USER\\K]\r\n\"A\"=\"1\"\r\n\"B\"=\"3\"");
}

TEST(RegistryFileTest, RepeatedSectionsUseTheLastValueAndSection) {
  const std::string text =
      "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"A\"=\"first\"\n\n[HKEY_CURRENT_USER\\X]\n\n"
      "[hkey_current_user\\k]\n\"a\"=\"second\"\n\n[HKEY_CURRENT_USER\\k]\n; last\n";
  TRegistryFile file;
  ASSERT_TRUE(file.Parse(text));
  EXPECT_EQ(Query(file, TRootKey::CurrentUser, "K", "A"), "second");

  ASSERT_TRUE(file.SetString(TRootKey::CurrentUser, "K", "A", "third"));
  std::string expected = text;
  expected.replace(expected.find("\"a\"=\"second\""), 12, "\"a\"=\"third\"");
  EXPECT_EQ(file.Text(), expected);

  ASSERT_TRUE(file.SetString(TRootKey::CurrentUser, "K", "New", "n"));
  EXPECT_EQ(file.Text(), expected + "\"New\"=\"n\"\n");
}

TEST(RegistryFileTest, KeyNamedOnlyBySubkeysGetsSectionAtEnd) {
  TRegistryFile file;
  ASSERT_TRUE(file.Parse(CrLfFile));
  ASSERT_TRUE(file.SetString(TRootKey::CurrentUser, DelphiKey, "", "v"));
  EXPECT_EQ(file.Text(), CrLfFile + "\r\n[HKEY_CURRENT_USER\\" + DelphiKey + "]\r\n@=\"v\"\r\n");
  EXPECT_EQ(Query(file, TRootKey::CurrentUser, DelphiKey, ""), "v");
}

TEST(RegistryFileTest, RefusesWhatCannotBeStored) {
  TRegistryFile file;
  ASSERT_TRUE(file.Parse(CrLfFile));
  EXPECT_FALSE(file.SetString(TRootKey::LocalMachine, DelphiKey, "RootDir", "a\nb"));
  EXPECT_FALSE(file.SetString(TRootKey::LocalMachine, DelphiKey, "RootDir", "a\rb"));
  EXPECT_FALSE(file.SetString(TRootKey::LocalMachine, DelphiKey, "RootDir", std::string("a\0b", 3)));
  EXPECT_FALSE(file.SetString(TRootKey::LocalMachine, DelphiKey, "Bad\nName", "x"));
  EXPECT_FALSE(file.SetString(TRootKey::LocalMachine, "SOFTWARE\\Missing", "A", "x"));
  EXPECT_EQ(file.Text(), CrLfFile);
}

// Endings that once made an added value read back wrong or land in another section.
TEST(RegistryFileTest, AddedValueReadsBackWhateverTheFileEndsWith) {
  const char* const endings[] = {
      "REGEDIT4\r\n[HKEY_CURRENT_USER\\K]\r\n\"H\"=hex:01,02,\\\r\n",  // a byte list that continues
      "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"H\"=hex:01,\\",                   // ... at the very end
      "REGEDIT4\n[HKEY_CURRENT_USER\\K]\r",                                    // a lone CR at the end
      "REGEDIT4\r\n[HKEY_CURRENT_USER\\K]\r",
      "REGEDIT4\r\n[HKEY_CURRENT_USER\\Other]\r\n[HKEY_CURRENT_USER\\K\\Sub]\r",
  };
  for (const char* text : endings) {
    TRegistryFile file;
    ASSERT_TRUE(file.Parse(text)) << text;
    ASSERT_TRUE(file.SetString(TRootKey::CurrentUser, "K", "New", "v")) << text;
    TRegistryFile again;
    ASSERT_TRUE(again.Parse(file.Text()));
    std::string data;
    EXPECT_EQ(again.Query(TRootKey::CurrentUser, "K", "New", &data), TRegRead::Found) << text;
    EXPECT_EQ(data, "v") << text;
    EXPECT_EQ(file.Text().compare(0, std::string(text).size() - 1, text, std::string(text).size() - 1), 0) << text;
  }
}

TEST(RegistryFileTest, OnlyRegedit4IsAccepted) {
  TRegistryFile file;
  EXPECT_FALSE(file.Parse("Windows Registry Editor Version 5.00\r\n[HKEY_CURRENT_USER\\K]\r\n\"A\"=\"1\"\r\n"));
  EXPECT_FALSE(file.KeyExists(TRootKey::CurrentUser, "K"));
  std::string data;
  EXPECT_EQ(file.Query(TRootKey::CurrentUser, "K", "A", &data), TRegRead::Failed);
  EXPECT_FALSE(file.SetString(TRootKey::CurrentUser, "K", "A", "2"));
  EXPECT_FALSE(file.Parse(""));
}

// --- The registry file on disk, through the POSIX host.

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::size_t EntryCount(const std::string& folder) {
  return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

class RegistryStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/ferrowind-reg-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    FFolder = pattern;
    FPath = FFolder + "/registry.reg";
    if (const char* old = std::getenv("FERROWIND_REGISTRY")) FOld = old;
    setenv("FERROWIND_REGISTRY", FPath.c_str(), 1);
  }
  void TearDown() override {
    if (FOld.empty()) unsetenv("FERROWIND_REGISTRY");
    else setenv("FERROWIND_REGISTRY", FOld.c_str(), 1);
    std::filesystem::remove_all(FFolder);
  }
  THandle Open(TRootKey root, const std::string& path, std::uint32_t access) {
    THandle key = 0;
    EXPECT_TRUE(SystemHost().RegOpen(root, path, access, &key));
    return key;
  }

  std::string FFolder, FPath, FOld;
};

TEST_F(RegistryStoreTest, WriteRenamesNewFileIntoPlace) {
  WriteFile(FPath, CrLfFile);
  chmod(FPath.c_str(), 0640);
  struct stat before {};
  ASSERT_EQ(stat(FPath.c_str(), &before), 0);

  THost& host = SystemHost();
  const THandle key = Open(TRootKey::CurrentUser, DelphiKey + "\\known packages", KeyWriteAccess);
  ASSERT_NE(key, 0u);
  EXPECT_TRUE(host.RegSet(key, "C:\\pkg\\b.dpl", "B"));
  host.RegClose(key);

  struct stat after {};
  ASSERT_EQ(stat(FPath.c_str(), &after), 0);
  EXPECT_NE(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_mode & 07777, 0640u);
  EXPECT_EQ(ReadFile(FPath), CrLfFile + "\"C:\\\\pkg\\\\b.dpl\"=\"B\"\r\n");
  EXPECT_EQ(EntryCount(FFolder), 1u);  // no temporary file left
}

TEST_F(RegistryStoreTest, ReadsFreshAndKeepsOthersChanges) {
  THandle key = 0;
  EXPECT_FALSE(SystemHost().RegOpen(TRootKey::LocalMachine, DelphiKey, KeyReadAccess, &key));  // no file
  EXPECT_EQ(key, 0u);
  EXPECT_FALSE(std::filesystem::exists(FPath));

  WriteFile(FPath, "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"A\"=\"1\"\n");
  key = Open(TRootKey::LocalMachine, "k", KeyReadAccess | KeyWriteAccess);
  WriteFile(FPath, "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"A\"=\"1\"\n\"Other\"=\"kept\"\n");
  EXPECT_TRUE(SystemHost().RegSet(key, "B", "2"));
  std::string data;
  EXPECT_EQ(SystemHost().RegQuery(key, "other", &data), TRegRead::Found);
  EXPECT_EQ(data, "kept");
  SystemHost().RegClose(key);
  EXPECT_EQ(ReadFile(FPath), "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"A\"=\"1\"\n\"Other\"=\"kept\"\n\"B\"=\"2\"\n");
}

TEST_F(RegistryStoreTest, FailedWritesLeaveFileAsItWas) {
  const std::string text = "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"A\"=\"1\"\n";
  WriteFile(FPath, text);
  THost& host = SystemHost();

  const THandle reader = Open(TRootKey::LocalMachine, "K", KeyReadAccess);
  EXPECT_FALSE(host.RegSet(reader, "A", "2"));  // opened for reading only
  host.RegClose(reader);
  const THandle writer = Open(TRootKey::LocalMachine, "K", KeyWriteAccess);
  EXPECT_FALSE(host.RegSet(writer, "A", "two\nlines"));
  host.RegClose(writer);
  EXPECT_EQ(ReadFile(FPath), text);

  // A write that runs out of space midway: the original stays and no temporary remains.
  fflush(nullptr);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{64, 64};
    setrlimit(RLIMIT_FSIZE, &limit);
    _exit(SaveFileAtomically(FPath, text + std::string(1000, ';') + "\n") ? 1 : 0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(ReadFile(FPath), text);
  EXPECT_EQ(EntryCount(FFolder), 1u);
}

TEST_F(RegistryStoreTest, ForeignFileIsNeverWrittenAndNamedOnce) {
  const std::string text = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\K]\r\n\"A\"=\"1\"\r\n";
  WriteFile(FPath, text);
  THandle key = 0;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(SystemHost().RegOpen(TRootKey::LocalMachine, "K", KeyReadAccess, &key));
  EXPECT_FALSE(SystemHost().RegOpen(TRootKey::LocalMachine, "K", KeyWriteAccess, &key));
  const std::string errors = testing::internal::GetCapturedStderr();
  EXPECT_EQ(key, 0u);
  EXPECT_EQ(ReadFile(FPath), text);
  EXPECT_NE(errors.find(FPath), std::string::npos) << errors;
  EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
}

}  // namespace
}  // namespace Ferrowind
