// Kills ferrowind-setup with SIGKILL at many moments while it rewrites a large registry
// file (PACKAGEFILE) and saves large help files (HELPFILE). Whenever it dies, each file
// must be exactly its old or its new content, the steps must show in their order, and a
// later run must still finish the installation.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <set>
#include <string>

namespace {

namespace fs = std::filesystem;
using TClock = std::chrono::steady_clock;

std::optional<std::string> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const fs::path& path, const std::string& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << data;
  ASSERT_TRUE(out.good()) << path;
}

class CrashSafety : public ::testing::Test {
 protected:
  void SetUp() override {
    // Memory-backed when there is such a folder: a killed process leaves the page cache as
    // it was on any file system, and the kills stay quick without the disk's syncs.
    const fs::path memory = "/dev/shm";
    const fs::path base = access(memory.c_str(), W_OK) == 0 ? memory : fs::temp_directory_path();
    scratch = base / ("ferrowind-crash-" + std::to_string(getpid()));
    fs::remove_all(scratch);
    root = scratch / "Delphi 3";
    fs::create_directories(root / "Help");
    fs::create_directories(scratch / "package");

    // Help files far larger than a real IDE has, so that their saves take long enough to hit.
    for (int i = 0; i < 6000; ++i) oldCfg += ":Link vendor" + std::to_string(i) + ".hlp\r\n";
    oldCnt = ":Base delphi3.hlp\r\n:Title Delphi Help\r\n";
    for (int i = 0; i < 2000; ++i) oldCnt += ":Index Vendor " + std::to_string(i) + "=vendor" + std::to_string(i) + ".hlp\r\n";
    // A registry file with thousands of values around the keys the run writes.
    oldRegistry = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\Delphi\\3.0]\r\n\"RootDir\"=\"" +
                  Escaped(root.string()) + "\"\r\n\"Version\"=\"Client/Server\"\r\n\r\n"
                  "[HKEY_CURRENT_USER\\SOFTWARE\\Borland\\Delphi\\3.0\\Known Packages]\r\n";
    for (int i = 0; i < 1500; ++i) {
      oldRegistry += "\"C:\\\\Vendors\\\\Lib\\\\pack" + std::to_string(i) + ".dpl\"=\"Vendor package " + std::to_string(i) + "\"\r\n";
    }
    oldRegistry += "\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Borland\\Delphi\\3.0\\Palette]\r\n\"Standard\"=\"TLabel;TEdit;\"\r\n";
    WriteFile(scratch / "package" / "Setup.cfg",
              "PACKAGE=Widget Pack\r\nLANGUAGE=Delphi 3\r\nPACKAGEFILE=WidgetPack.dpl\r\nHELPFILE=Widgets.hlp\r\n\r\n");
    WriteFile(scratch / "answers", std::string(16, '\n'));

    Restore();
    const TClock::time_point start = TClock::now();
    const int status = Start();
    ASSERT_EQ(waitpid(child, nullptr, 0), child);
    fullRun = TClock::now() - start;
    ASSERT_EQ(status, 0);
    const std::string output = ReadFile(scratch / "output").value_or("");
    ASSERT_NE(output.find("All Components installed\nHelp installed"), std::string::npos) << output;
    newCfg = ReadFile(Cfg()).value_or("");
    newCnt = ReadFile(Cnt()).value_or("");
    newRegistry = ReadFile(Registry()).value_or("");
    ASSERT_NE(newCfg, oldCfg);
    ASSERT_NE(newCnt, oldCnt);
    ASSERT_NE(newRegistry, oldRegistry);
    ASSERT_FALSE(fs::exists(Gid()));
  }
  void TearDown() override { fs::remove_all(scratch); }

  static std::string Escaped(const std::string& s) {
    std::string out;
    for (char c : s) {
      if (c == '\\' || c == '"') out += '\\';
      out += c;
    }
    return out;
  }
  fs::path Cfg() const { return root / "Help" / "Delphi3.cfg"; }
  fs::path Cnt() const { return root / "Help" / "Delphi3.cnt"; }
  fs::path Gid() const { return root / "Help" / "Delphi3.gid"; }
  fs::path Registry() const { return scratch / "registry.reg"; }

  // The IDE as before the installation, without what killed runs left beside the files.
  void Restore() {
    for (const auto& entry : fs::directory_iterator(scratch)) {
      if (entry.path().filename().string().rfind("registry.reg.", 0) == 0) fs::remove(entry.path());
    }
    fs::remove(root / "Help" / "Delphi3.cfg.fw-new");
    fs::remove(root / "Help" / "Delphi3.cnt.fw-new");
    WriteFile(Cfg(), oldCfg);
    WriteFile(Cnt(), oldCnt);
    WriteFile(Gid(), "index cache");
    WriteFile(Registry(), oldRegistry);
  }

  // Starts the installer in the package folder, every box answered with OK. Returns 0
  // once the child runs.
  int Start() {
    const std::string registry = Registry().string();
    const std::string package = (scratch / "package").string();
    const std::string answers = (scratch / "answers").string();
    const std::string output = (scratch / "output").string();
    child = fork();
    if (child < 0) return -1;
    if (child == 0) {
      if (chdir(package.c_str()) != 0 || !freopen(answers.c_str(), "r", stdin) ||
          !freopen(output.c_str(), "w", stdout) || !freopen("/dev/null", "w", stderr)) {
        _exit(127);
      }
      setenv("FERROWIND_REGISTRY", registry.c_str(), 1);
      execl(FERROWIND_SETUP_BINARY, FERROWIND_SETUP_BINARY, static_cast<char*>(nullptr));
      _exit(127);
    }
    return 0;
  }

  fs::path scratch, root;
  std::string oldCfg, oldCnt, oldRegistry, newCfg, newCnt, newRegistry;
  pid_t child = -1;
  TClock::duration fullRun{};
};

TEST_F(CrashSafety, EveryFileIsOldOrNewWhereverTheInstallerIsKilled) {
  constexpr int Kills = 200;
  std::mt19937 random(12345);
  // Kill moments spread over the whole run, a little past its end included.
  const auto span = std::chrono::duration_cast<std::chrono::microseconds>(fullRun).count() * 11 / 10;
  std::uniform_int_distribution<long long> moment(0, std::max<long long>(span, 1000));
  std::set<std::string> states;
  int killedMidway = 0;
  int resumed = 0;

  for (int kill = 0; kill < Kills; ++kill) {
    Restore();
    ASSERT_EQ(Start(), 0);
    const long long delay = moment(random);
    const timespec wait{static_cast<time_t>(delay / 1000000), static_cast<long>(delay % 1000000) * 1000};
    nanosleep(&wait, nullptr);
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    const bool killed = WIFSIGNALED(status);

    const auto cfg = ReadFile(Cfg());
    const auto cnt = ReadFile(Cnt());
    const auto registry = ReadFile(Registry());
    const bool cacheGone = !fs::exists(Gid());
    ASSERT_TRUE(cfg == oldCfg || cfg == newCfg) << "help configuration torn after kill " << kill << " at " << delay << " us";
    ASSERT_TRUE(cnt == oldCnt || cnt == newCnt) << "help contents torn after kill " << kill << " at " << delay << " us";
    ASSERT_TRUE(registry == oldRegistry || registry == newRegistry) << "registry torn after kill " << kill << " at " << delay << " us";
    // The directives act in file order: registration, then the link, then the cache removal.
    const bool cfgNew = cfg == newCfg;
    const bool registryNew = registry == newRegistry;
    if (cfgNew) {
      ASSERT_TRUE(registryNew) << "help saved before the package was registered";
    }
    if (cacheGone) {
      ASSERT_TRUE(cfgNew && cnt == newCnt) << "cache removed before both help files were saved";
    }
    const std::string state = std::string(registryNew ? "R" : "-") + (cfgNew ? "C" : "-") +
                              (cnt == newCnt ? "I" : "-") + (cacheGone ? "G" : "-");
    states.insert(state);
    if (killed && state != "----" && state != "RCIG") ++killedMidway;

    // Every twentieth time, a new run over what the killed one left must finish the job.
    if (kill % 20 == 0) {
      ASSERT_EQ(Start(), 0);
      ASSERT_EQ(waitpid(child, &status, 0), child);
      ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
      ASSERT_EQ(ReadFile(Cfg()), newCfg) << "after kill " << kill;
      ASSERT_EQ(ReadFile(Cnt()), newCnt) << "after kill " << kill;
      ASSERT_EQ(ReadFile(Registry()), newRegistry) << "after kill " << kill;
      ASSERT_FALSE(fs::exists(Gid()));
      ++resumed;
    }
  }
  RecordProperty("states", [&] {
    std::string all;
    for (const std::string& s : states) all += s + " ";
    return all;
  }());
  // The kills must have landed between the steps, not only before or after the run.
  EXPECT_GE(killedMidway, 3) << "kill moments missed the writes";
  EXPECT_GE(states.size(), 3u);
  EXPECT_EQ(resumed, Kills / 20);
}

}  // namespace
