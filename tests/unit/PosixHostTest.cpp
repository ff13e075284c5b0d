// The POSIX host's files and message boxes, on real temporary folders and processes.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <vector>

#include "platform/Host.h"

namespace Ferrowind {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, const std::string& text, mode_t mode = 0644) {
  std::ofstream(path, std::ios::binary) << text;
  chmod(path.c_str(), mode);
}

mode_t ModeOf(const std::string& path) {
  struct stat info {};
  stat(path.c_str(), &info);
  return info.st_mode & 07777;
}

struct TChildRun {
  bool Exited = false;
  int Code = -1;
  std::string Output;
};

// Runs body in a child process with input as its standard input and its standard output
// captured; a child that blocks is killed after a few seconds and reported as not exited.
TChildRun RunInChild(const std::string& input, const std::function<int()>& body) {
  char inName[] = "/tmp/ferrowind-in-XXXXXX";
  char outName[] = "/tmp/ferrowind-out-XXXXXX";
  const int in = mkstemp(inName);
  const int out = mkstemp(outName);
  TChildRun run;
  if (in < 0 || out < 0 || write(in, input.data(), input.size()) != static_cast<ssize_t>(input.size())) return run;
  lseek(in, 0, SEEK_SET);
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    dup2(in, STDIN_FILENO);
    dup2(out, STDOUT_FILENO);
    alarm(5);
    const int code = body();
    std::fflush(stdout);
    _exit(code);
  }
  int status = 0;
  waitpid(child, &status, 0);
  run.Exited = WIFEXITED(status);
  run.Code = run.Exited ? WEXITSTATUS(status) : -1;
  run.Output = ReadFile(outName);
  close(in);
  close(out);
  unlink(inName);
  unlink(outName);
  return run;
}

class PosixHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/ferrowind-host-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    FRoot = pattern;
    umask(022);
  }
  void TearDown() override { std::filesystem::remove_all(FRoot); }
  std::string P(const std::string& tail) const { return FRoot + "/" + tail; }
  // The same path as the installer writes it.
  std::string W(const std::string& tail) const {
    std::string path = P(tail);
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
  }
  std::uint32_t Attributes(const std::string& path) {
    std::uint32_t attributes = 0;
    EXPECT_TRUE(Host.GetAttributes(path, &attributes)) << path;
    return attributes;
  }
  std::vector<TFindEntry> FindAll(const std::string& pattern) {
    std::vector<TFindEntry> entries;
    THandle find = 0;
    TFindEntry entry;
    if (Host.FindFirst(pattern, &find, &entry) != TFind::Entry) {
      EXPECT_EQ(find, 0u);
      return entries;
    }
    do entries.push_back(entry);
    while (Host.FindNext(find, &entry) == TFind::Entry);
    Host.FindClose(find);
    return entries;
  }

  THost& Host = SystemHost();
  std::string FRoot;
};

TEST_F(PosixHostTest, AttributeWordsFollowModeAndKind) {
  WriteFile(P("plain.txt"), "x");
  WriteFile(P("locked.txt"), "x", 0444);
  WriteFile(P(".hidden"), "x");
  std::filesystem::create_directory(P("Folder"));
  std::filesystem::create_directory(P("cdrom"));
  chmod(P("cdrom").c_str(), 0555);
  ASSERT_EQ(mkfifo(P("pipe").c_str(), 0644), 0);
  std::filesystem::create_symlink(P("plain.txt"), P("filelink"));
  std::filesystem::create_symlink(P("Folder"), P("folderlink"));
  std::filesystem::create_symlink(P("nowhere"), P("dangling"));

  EXPECT_EQ(Attributes(W("PLAIN.TXT")), AttrArchive);
  EXPECT_EQ(Attributes(W("locked.txt")), AttrArchive | AttrReadOnly);
  EXPECT_EQ(Attributes(W(".hidden")), AttrArchive | AttrHidden);
  EXPECT_EQ(Attributes(W("folder")), AttrDirectory);
  EXPECT_EQ(Attributes(W("cdrom\\")), AttrDirectory | AttrReadOnly);
  EXPECT_EQ(Attributes(W("pipe")), AttrSystem);
  EXPECT_EQ(Attributes(W("filelink")), AttrArchive);
  EXPECT_EQ(Attributes(W("folderlink")), AttrDirectory | AttrReparsePoint);
  EXPECT_EQ(Attributes(W("dangling")), AttrSystem);
  std::uint32_t attributes = 0;
  EXPECT_FALSE(Host.GetAttributes(W("missing"), &attributes));

  EXPECT_TRUE(Host.SetAttributes(W("Locked.txt"), 0));
  EXPECT_EQ(ModeOf(P("locked.txt")), 0644u);
  EXPECT_TRUE(Host.SetAttributes(W("plain.txt"), AttrReadOnly | AttrArchive));
  EXPECT_EQ(ModeOf(P("plain.txt")), 0444u);
  EXPECT_FALSE(Host.SetAttributes(W("missing"), 0));
}

TEST_F(PosixHostTest, FindListsEveryEntryInByteOrder) {
  for (const char* name : {"b.pas", "B.dcu", "_x", "a"}) WriteFile(P(name), "");
  std::filesystem::create_directory(P("Sub"));
  std::filesystem::create_symlink(P("Sub"), P("link"));

  const std::vector<TFindEntry> entries = FindAll(W("*.*"));
  std::vector<std::string> names;
  for (const TFindEntry& entry : entries) names.push_back(entry.Name);
  EXPECT_EQ(names, (std::vector<std::string>{".", "..", "B.dcu", "Sub", "_x", "a", "b.pas", "link"}));
  EXPECT_EQ(entries[0].Attributes, AttrDirectory);
  EXPECT_EQ(entries[1].Attributes, AttrDirectory);
  EXPECT_EQ(entries[3].Attributes, AttrDirectory);
  EXPECT_EQ(entries[6].Attributes, AttrArchive);
  EXPECT_EQ(entries[7].Attributes, AttrDirectory | AttrReparsePoint);
  EXPECT_EQ(FindAll(FRoot + "/*").size(), entries.size());

  // A literal name finds the entry whatever its case and reports its own spelling.
  const std::vector<TFindEntry> one = FindAll(W("SUB"));
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].Name, "Sub");
  EXPECT_TRUE(FindAll(W("absent")).empty());
  EXPECT_TRUE(FindAll(W("absent\\*.*")).empty());
  EXPECT_EQ(FindAll(W("sub\\*.*")).size(), 2u);  // an empty folder still holds . and ..
}

TEST_F(PosixHostTest, CopyKeepsDataPermissionsAndTime) {
  std::string data(3 * 1024 * 1024 + 17, '\0');
  std::mt19937 random(7);
  for (char& c : data) c = static_cast<char>(random());
  WriteFile(P("source.bin"), data, 0750);
  const timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
  utimensat(AT_FDCWD, P("source.bin").c_str(), old, 0);

  ASSERT_TRUE(Host.CopyFileTo(W("SOURCE.bin"), W("copy.bin"), false));
  EXPECT_EQ(ReadFile(P("copy.bin")), data);
  EXPECT_EQ(ModeOf(P("copy.bin")), 0750u);
  struct stat info {};
  stat(P("copy.bin").c_str(), &info);
  EXPECT_EQ(info.st_mtim.tv_sec, 1000000000);

  WriteFile(P("small"), "new");
  EXPECT_FALSE(Host.CopyFileTo(W("small"), W("copy.bin"), true));
  EXPECT_EQ(ReadFile(P("copy.bin")), data);
  EXPECT_TRUE(Host.CopyFileTo(W("small"), W("COPY.BIN"), false));  // overwrites, whatever the case
  EXPECT_EQ(ReadFile(P("copy.bin")), "new");
  EXPECT_FALSE(std::filesystem::exists(P("COPY.BIN")));

  std::filesystem::create_symlink(P("small"), P("link"));
  EXPECT_TRUE(Host.CopyFileTo(W("link"), W("fromlink"), false));
  EXPECT_EQ(ReadFile(P("fromlink")), "new");
}

TEST_F(PosixHostTest, CopyRefusesWhatWindowsRefuses) {
  WriteFile(P("source"), "data");
  WriteFile(P("readonly"), "keep", 0444);
  std::filesystem::create_directory(P("folder"));

  EXPECT_FALSE(Host.CopyFileTo(W("source"), W("readonly"), false));
  EXPECT_EQ(ReadFile(P("readonly")), "keep");
  EXPECT_FALSE(Host.CopyFileTo(W("folder"), W("dest"), false));
  EXPECT_FALSE(Host.CopyFileTo(W("source"), W("folder"), false));
  EXPECT_FALSE(Host.CopyFileTo(W("missing"), W("dest"), false));
  EXPECT_FALSE(Host.CopyFileTo(W("source"), W("nofolder\\dest"), false));
  EXPECT_FALSE(Host.CopyFileTo(W("source"), W("SOURCE"), false));  // itself
  EXPECT_EQ(ReadFile(P("source")), "data");
  EXPECT_FALSE(std::filesystem::exists(P("dest")));
}

TEST_F(PosixHostTest, CopyOfFifoFailsWithoutBlocking) {
  ASSERT_EQ(mkfifo(P("pipe").c_str(), 0644), 0);
  const std::string source = W("pipe"), destination = W("dest");
  const TChildRun run = RunInChild("", [&] { return SystemHost().CopyFileTo(source, destination, false) ? 1 : 0; });
  EXPECT_TRUE(run.Exited);
  EXPECT_EQ(run.Code, 0);
  EXPECT_FALSE(std::filesystem::exists(P("dest")));

  const TChildRun open = RunInChild("", [&] {
    THandle file = 0;
    return SystemHost().FileOpen(source, TFileAccess::Read, TFileShare::Read, TFileCreate::OpenExisting, &file) ? 1
                                                                                                               : 0;
  });
  EXPECT_TRUE(open.Exited);
  EXPECT_EQ(open.Code, 0);
}

TEST_F(PosixHostTest, FilesWriteReadAndSize) {
  THandle file = 0;
  EXPECT_FALSE(Host.FileOpen(W("new.txt"), TFileAccess::Read, TFileShare::Read, TFileCreate::OpenExisting, &file));
  EXPECT_FALSE(std::filesystem::exists(P("new.txt")));
  std::filesystem::create_directory(P("dir"));
  EXPECT_FALSE(Host.FileOpen(W("dir"), TFileAccess::Read, TFileShare::Read, TFileCreate::OpenExisting, &file));
  EXPECT_EQ(file, 0u);

  ASSERT_TRUE(Host.FileOpen(W("new.txt"), TFileAccess::ReadWrite, TFileShare::None, TFileCreate::CreateAlways, &file));
  std::size_t written = 0;
  EXPECT_TRUE(Host.FileWrite(file, "hello\r\n", 7, &written));
  EXPECT_EQ(written, 7u);
  EXPECT_TRUE(Host.FileFlush(file));
  Host.FileClose(file);
  EXPECT_EQ(ModeOf(P("new.txt")), 0644u);

  ASSERT_TRUE(Host.FileOpen(W("NEW.TXT"), TFileAccess::Read, TFileShare::Read, TFileCreate::OpenExisting, &file));
  std::uint64_t size = 0;
  EXPECT_TRUE(Host.FileSize(file, &size));
  EXPECT_EQ(size, 7u);
  char buffer[16] = {};
  std::size_t got = 0;
  EXPECT_TRUE(Host.FileRead(file, buffer, sizeof buffer, &got));
  EXPECT_EQ(std::string(buffer, got), "hello\r\n");
  EXPECT_TRUE(Host.FileRead(file, buffer, sizeof buffer, &got));
  EXPECT_EQ(got, 0u);
  Host.FileClose(file);

  // CreateAlways truncates an existing file.
  ASSERT_TRUE(Host.FileOpen(W("new.txt"), TFileAccess::ReadWrite, TFileShare::None, TFileCreate::CreateAlways, &file));
  Host.FileClose(file);
  EXPECT_EQ(ReadFile(P("new.txt")), "");
}

TEST_F(PosixHostTest, ReadOnlyFilesAreNotOpenedForWriting) {
  WriteFile(P("locked"), "keep", 0444);
  THandle file = 0;
  EXPECT_FALSE(Host.FileOpen(W("locked"), TFileAccess::ReadWrite, TFileShare::None, TFileCreate::OpenExisting, &file));
  EXPECT_FALSE(Host.FileOpen(W("locked"), TFileAccess::ReadWrite, TFileShare::None, TFileCreate::CreateAlways, &file));
  EXPECT_EQ(ReadFile(P("locked")), "keep");
  EXPECT_TRUE(Host.FileOpen(W("locked"), TFileAccess::Read, TFileShare::Read, TFileCreate::OpenExisting, &file));
  Host.FileClose(file);
}

TEST_F(PosixHostTest, SharingModesLockAgainstEachOther) {
  WriteFile(P("shared"), "keep");
  const std::string path = W("shared");
  THandle first = 0, second = 0;
  ASSERT_TRUE(Host.FileOpen(path, TFileAccess::Read, TFileShare::Read, TFileCreate::OpenExisting, &first));
  EXPECT_TRUE(Host.FileOpen(path, TFileAccess::Read, TFileShare::Read, TFileCreate::OpenExisting, &second));
  Host.FileClose(second);
  EXPECT_FALSE(Host.FileOpen(path, TFileAccess::Read, TFileShare::None, TFileCreate::OpenExisting, &second));
  EXPECT_EQ(second, 0u);
  Host.FileClose(first);

  ASSERT_TRUE(Host.FileOpen(path, TFileAccess::Read, TFileShare::None, TFileCreate::OpenExisting, &first));
  EXPECT_FALSE(Host.FileOpen(path, TFileAccess::Read, TFileShare::None, TFileCreate::OpenExisting, &second));
  EXPECT_FALSE(Host.FileOpen(path, TFileAccess::Read, TFileShare::Read, TFileCreate::OpenExisting, &second));
  EXPECT_FALSE(Host.FileOpen(path, TFileAccess::ReadWrite, TFileShare::None, TFileCreate::CreateAlways, &second));
  EXPECT_EQ(ReadFile(P("shared")), "keep");  // the refused create did not truncate
  Host.FileClose(first);
  EXPECT_TRUE(Host.FileOpen(path, TFileAccess::Read, TFileShare::None, TFileCreate::OpenExisting, &second));
  Host.FileClose(second);
}

TEST_F(PosixHostTest, FoldersAndRemoval) {
  EXPECT_TRUE(Host.MakeFolder(W("Lib")));
  EXPECT_FALSE(Host.MakeFolder(W("LIB")));  // exists under another case
  EXPECT_FALSE(Host.MakeFolder(W("none\\deeper")));
  EXPECT_EQ(ModeOf(P("Lib")), 0755u);

  WriteFile(P("Lib/old.dcu"), "x", 0444);
  EXPECT_FALSE(Host.RemoveFile(W("lib")));
  EXPECT_FALSE(Host.RemoveFile(W("lib\\OLD.dcu")));  // read-only, as on Windows
  EXPECT_TRUE(Host.SetAttributes(W("lib\\OLD.dcu"), 0));
  EXPECT_TRUE(Host.RemoveFile(W("lib\\OLD.dcu")));
  EXPECT_FALSE(std::filesystem::exists(P("Lib/old.dcu")));
  EXPECT_FALSE(Host.RemoveFile(W("lib\\OLD.dcu")));
}

TEST_F(PosixHostTest, ReplaceWithIsOneStepOrNothing) {
  WriteFile(P("Delphi3.cfg"), "old", 0664);
  WriteFile(P("temp"), "new", 0600);
  ASSERT_TRUE(Host.ReplaceWith(W("temp"), W("DELPHI3.CFG")));
  EXPECT_EQ(ReadFile(P("Delphi3.cfg")), "new");
  EXPECT_EQ(ModeOf(P("Delphi3.cfg")), 0664u);
  EXPECT_FALSE(std::filesystem::exists(P("temp")));
  EXPECT_FALSE(std::filesystem::exists(P("DELPHI3.CFG")));

  EXPECT_FALSE(Host.ReplaceWith(W("temp"), W("Delphi3.cfg")));
  EXPECT_EQ(ReadFile(P("Delphi3.cfg")), "new");

  WriteFile(P("locked.cnt"), "old", 0444);
  WriteFile(P("temp"), "new", 0600);
  EXPECT_FALSE(Host.ReplaceWith(W("temp"), W("locked.cnt")));
  EXPECT_EQ(ReadFile(P("locked.cnt")), "old");
  EXPECT_EQ(ReadFile(P("temp")), "new");
  EXPECT_EQ(ModeOf(P("temp")), 0600u);
}

TEST_F(PosixHostTest, ProgramPathNamesThisProgram) {
  const std::string path = Host.ProgramPath();
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(path[0], '\\');
  EXPECT_EQ(path.find('/'), std::string::npos);
  std::string posix = path;
  std::replace(posix.begin(), posix.end(), '\\', '/');
  struct stat mine {}, named {};
  ASSERT_EQ(stat("/proc/self/exe", &mine), 0);
  ASSERT_EQ(stat(posix.c_str(), &named), 0);
  EXPECT_EQ(mine.st_ino, named.st_ino);
}

// --- Message boxes: the transcript on standard output and the answers on standard input.

TChildRun Box(const std::string& text, std::uint32_t style, const std::string& input) {
  return RunInChild(input, [&] { return SystemHost().ShowMessage(text, style) ? 1 : 0; });
}

TEST(PosixMessageBoxTest, TranscriptShowsCaptionTextAndButtons) {
  const TChildRun confirm = Box("Install Widget Pack?\r\nContinue", StyleConfirmation, "\n");
  EXPECT_EQ(confirm.Code, 1);
  EXPECT_EQ(confirm.Output,
            "[Ferrowind Component Installer: Confirmation]\nInstall Widget Pack?\nContinue\n[OK/Cancel]\n");
  const TChildRun warning = Box("Configuration file not found", StyleWarning, "");
  EXPECT_EQ(warning.Code, 1);
  EXPECT_EQ(warning.Output, "[Ferrowind Component Installer: Warning]\nConfiguration file not found\n[OK]\n");
  const TChildRun information = Box("Done", StyleInformation, "cancel\n");
  EXPECT_EQ(information.Code, 1);
  EXPECT_EQ(information.Output, "[Ferrowind Component Installer: Information]\nDone\n[OK]\n");
}

TEST(PosixMessageBoxTest, ConfirmationAnswers) {
  for (const char* yes : {"\n", "ok\n", "O\n", "YES\r\n", "y"}) {
    EXPECT_EQ(Box("?", StyleConfirmation, yes).Code, 1) << yes;
  }
  for (const char* no : {"", "cancel\n", "C\n", "No\r\n", "n\n"}) {
    EXPECT_EQ(Box("?", StyleConfirmation, no).Code, 0) << no;
  }
  const TChildRun again = Box("?", StyleConfirmation, "maybe\nyes\n");
  EXPECT_EQ(again.Code, 1);
  const std::string box = "[Ferrowind Component Installer: Confirmation]\n?\n[OK/Cancel]\n";
  EXPECT_EQ(again.Output, box + box);
  EXPECT_EQ(Box("?", StyleConfirmation, "what\n").Code, 0);  // asked again, then input ends
}

TEST(PosixMessageBoxTest, ReadsNoMoreThanItsLine) {
  const TChildRun run = RunInChild("y\nrest of input", [] {
    const bool ok = SystemHost().ShowMessage("?", StyleConfirmation);
    char buffer[64];
    const ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
    std::printf("<%.*s>", static_cast<int>(std::max<ssize_t>(got, 0)), buffer);
    return ok ? 1 : 0;
  });
  EXPECT_EQ(run.Code, 1);
  EXPECT_NE(run.Output.find("<rest of input>"), std::string::npos) << run.Output;
}

}  // namespace
}  // namespace Ferrowind
