// Kills ferrowind-setup with SIGKILL at many moments while it rewrites a large registry
// file (PACKAGEFILE) and saves large help files (HELPFILE). Whenever it dies, each file
// must be exactly its old or its new content, the steps must show in their order, and a
// later run must still finish the installation.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "ProgramRun.h"

namespace {

using namespace FerrowindTest;
using TContent = std::optional<std::string>;  // none: no such file

TContent Read(const std::string& path) {
  return std::filesystem::exists(path) ? TContent(ReadWhole(path)) : std::nullopt;
}

// A file the run changes; they are listed in the order the run changes them.
struct TFile {
  std::string Path;
  TContent Old, New;
};

class CrashSafety : public ::testing::Test {
 protected:
  void SetUp() override {
    // Memory-backed when there is such a folder: a killed process leaves the page cache as
    // it was on any file system, and the kills stay quick without the disk's syncs.
    dir = (access("/dev/shm", W_OK) == 0 ? "/dev/shm" : std::filesystem::temp_directory_path().string()) +
          "/ferrowind-crash-" + std::to_string(getpid());
    // Help files far larger than a real IDE has, so that their saves take long enough to hit,
    // and a registry file with thousands of values around the keys the run writes.
    const std::string key = "\\SOFTWARE\\Borland\\Delphi\\3.0";
    std::string cfg, cnt = ":Base delphi3.hlp\r\n:Title Delphi Help\r\n";
    const std::string host = dir + "/host/", help = host + "Delphi 3/Help/Delphi3.";
    std::string registry = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE" + key + "]\r\n\"RootDir\"=\"" + host +
                           "Delphi 3\"\r\n\"Version\"=\"Client/Server\"\r\n\r\n[HKEY_CURRENT_USER" + key +
                           "\\Known Packages]\r\n";
    for (int i = 0; i < 6000; ++i) {
      const std::string n = std::to_string(i);
      cfg += ":Link vendor" + n + ".hlp\r\n";
      if (i < 2000) cnt += ":Index Vendor " + n + "=vendor" + n + ".hlp\r\n";
      if (i < 1500) registry += "\"C:\\\\Vendors\\\\pack" + n + ".dpl\"=\"Vendor package " + n + "\"\r\n";
    }
    registry += "\r\n[HKEY_CURRENT_USER" + key + "\\Palette]\r\n\"Standard\"=\"TLabel;TEdit;\"\r\n";
    files = {{host + "registry.reg", registry, {}},
             {help + "cfg", cfg, {}},
             {help + "cnt", cnt, {}},
             {help + "gid", "index cache", {}}};
    WriteWhole(dir + "/package/Setup.cfg",
               "PACKAGE=Widget Pack\r\nLANGUAGE=Delphi 3\r\n"
               "PACKAGEFILE=WidgetPack.dpl\r\nHELPFILE=Widgets.hlp\r\n\r\n");
    WriteWhole(dir + "/answers", std::string(16, '\n'));

    Restore();
    const auto start = std::chrono::steady_clock::now();
    const TProgramResult run = Install();
    fullRun = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
    ASSERT_EQ(run.ExitCode, 0);
    ASSERT_NE(run.Output.find("All Components installed\nHelp installed"), std::string::npos) << run.Output;
    for (TFile& f : files) {  // each rewritten, except the index cache, which is gone
      f.New = Read(f.Path);
      ASSERT_TRUE(f.New != f.Old && f.New.has_value() != (&f == &files.back())) << f.Path << " not installed";
    }
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  // The IDE as before the installation, without what killed runs left beside the files.
  void Restore() {
    std::filesystem::remove_all(dir + "/host");
    for (const TFile& f : files) WriteWhole(f.Path, *f.Old);
  }

  // The installer in the package folder, every box answered with OK, run to its end.
  TProgramResult Install() const {
    return RunProgram(FERROWIND_SETUP_BINARY, {}, dir + "/package", {{"FERROWIND_REGISTRY", files[0].Path}},
                      ReadWhole(dir + "/answers"));
  }

  std::string dir;
  std::vector<TFile> files;
  std::chrono::microseconds fullRun{};
};

TEST_F(CrashSafety, EveryFileIsOldOrNewWhereverTheInstallerIsKilled) {
  std::mt19937 random(12345);
  // Kill moments spread over the whole run, a little past its end included.
  std::uniform_int_distribution<long long> moment(0, std::max<long long>(fullRun.count() * 11 / 10, 1000));
  const std::string package = dir + "/package", answers = dir + "/answers", registry = files[0].Path;
  std::set<std::string> states;
  int killedMidway = 0;
  for (int kill = 0; kill < 200; ++kill) {
    Restore();
    // As Install(), but not waited for.
    const pid_t child = StartProgram(FERROWIND_SETUP_BINARY, {}, package, {{"FERROWIND_REGISTRY", registry}}, answers,
                                     "/dev/null", "/dev/null");
    ASSERT_GT(child, 0);
    const long long delay = moment(random);
    std::this_thread::sleep_for(std::chrono::microseconds(delay));
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);

    std::string state;
    for (const TFile& f : files) {
      const TContent now = Read(f.Path);
      ASSERT_TRUE(now == f.Old || now == f.New) << f.Path << " torn by a kill at " << delay << " us";
      state += now == f.New ? "RCIG"[state.size()] : '-';  // registry, help configuration, contents, cache
    }
    states.insert(state);
    // The directives act in file order: registration, then the link, then the cache removal.
    ASSERT_TRUE(state[1] == '-' || state[0] == 'R') << "help saved before the package was registered";
    ASSERT_TRUE(state[3] == '-' || state.substr(1, 2) == "CI") << "cache removed before the help was saved";
    if (WIFSIGNALED(status) && state != "----" && state != "RCIG") ++killedMidway;

    // Every twentieth time, a new run over what the killed one left must finish the job.
    if (kill % 20 == 0) {
      ASSERT_EQ(Install().ExitCode, 0) << "after kill " << kill;
      for (const TFile& f : files) ASSERT_TRUE(Read(f.Path) == f.New) << f.Path << " after kill " << kill;
    }
  }
  // The kills must have landed between the steps, not only before or after the run.
  EXPECT_GE(killedMidway, 3) << "kill moments missed the writes";
  EXPECT_GE(states.size(), 3u);
}

}  // namespace
