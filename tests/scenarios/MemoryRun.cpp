// The in-memory runner of a scenario: ferrowind-memory-run DIR RUNS ANSWER...
// Loads DIR/ide as C:\IDE, DIR/pkg as C:\PKG (Setup.exe among it) and DIR/registry.tsv
// (root and key, then name and data in hex) into a TMemoryHost, with the files named in
// DIR/held.txt held open by another program, runs the installation there
// RUNS times, answering each run's boxes in order (ok or cancel), prints each box of the last
// run as a JSON line and writes what the host holds before the last run to DIR/before and
// after it to DIR/after, in the same form. Exit 1 when DIR cannot be read.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "../Scratch.h"
#include "Platform/MemoryHost.h"
#include "Setup/InstallRun.h"

namespace {
namespace fs = std::filesystem;
using namespace Ferrowind;

std::string Hex(const std::string& bytes) {
  static const char* const Digits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) out += {Digits[c >> 4], Digits[c & 15]};
  return out;
}

std::string Unhex(const std::string& hex) {
  std::string out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return out;
}

void Load(TMemoryHost& host, const fs::path& from, const std::string& root) {
  host.AddFolder(root);
  for (const auto& entry : fs::recursive_directory_iterator(from)) {
    std::string path = root + "\\" + fs::relative(entry.path(), from).generic_string();
    for (char& c : path) c = c == '/' ? '\\' : c;
    const bool readOnly = (fs::status(entry.path()).permissions() & fs::perms::owner_write) == fs::perms::none;
    if (entry.is_directory()) {
      host.AddFolder(path, AttrDirectory | (readOnly ? AttrReadOnly : 0));
    } else {
      host.AddFile(path, FerrowindTest::ReadWhole(entry.path().string()), AttrArchive | (readOnly ? AttrReadOnly : 0));
    }
  }
}

// Writes every file and folder below root to the folder to, read-only ones without write permission.
void SaveTree(const TMemoryHost& host, const std::string& root, const fs::path& to) {
  fs::create_directories(to);
  std::vector<std::pair<fs::path, bool>> readOnly;
  for (const std::string& path : host.AllPaths()) {
    if (path.size() <= root.size() || path.compare(0, root.size() + 1, root + "\\") != 0) continue;
    std::string rel = path.substr(root.size() + 1);
    for (char& c : rel) c = c == '\\' ? '/' : c;
    const fs::path target = to / rel;
    if (const auto data = host.FileData(path)) {
      fs::create_directories(target.parent_path());
      FerrowindTest::WriteWhole(target.string(), *data);
    } else {
      fs::create_directories(target);
    }
    readOnly.emplace_back(target, (host.AttributesOf(path) & AttrReadOnly) != 0);
  }
  for (const auto& [target, on] : readOnly) {
    if (on) {
      fs::permissions(target, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                      fs::perm_options::remove);
    }
  }
}

void Save(const TMemoryHost& host, const fs::path& to) {
  SaveTree(host, "C:\\IDE", to / "ide");
  SaveTree(host, "C:\\PKG", to / "pkg");
  std::ofstream registry(to / "registry.tsv");
  for (const TMemoryHost::TValue& value : host.AllValues()) {
    registry << value.Key << "\t" << Hex(value.Name) << "\t" << Hex(value.Data) << "\n";
  }
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "usage: ferrowind-memory-run DIR RUNS ANSWER...\n";
    return 2;
  }
  const fs::path dir = argv[1];
  TMemoryHost host;
  try {
    Load(host, dir / "ide", "C:\\IDE");
    Load(host, dir / "pkg", "C:\\PKG");
  } catch (const fs::filesystem_error& e) {
    std::cerr << e.what() << "\n";
    return 1;
  }
  host.SetProgramPath("C:\\PKG\\Setup.exe");
  std::ifstream registry(dir / "registry.tsv");
  for (std::string line; std::getline(registry, line);) {
    std::istringstream fields(line);
    std::string key, name, data;
    std::getline(fields, key, '\t');
    std::getline(fields, name, '\t');
    std::getline(fields, data, '\t');
    const TRootKey root = key.compare(0, 5, "HKLM\\") == 0 ? TRootKey::LocalMachine : TRootKey::CurrentUser;
    host.SetValue(root, key.substr(5), Unhex(name), Unhex(data));
  }
  std::ifstream held(dir / "held.txt");
  for (std::string path; std::getline(held, path);) host.HoldOpen(path);
  std::vector<bool> answers;
  for (int i = 3; i < argc; ++i) answers.push_back(std::string(argv[i]) != "cancel");
  const int runs = std::atoi(argv[2]);
  std::size_t firstBox = 0;
  for (int run = 1; run <= runs; ++run) {
    if (run == runs) {
      Save(host, dir / "before");
      firstBox = host.Boxes().size();
    }
    host.AnswerBoxes(answers);
    RunInstallation(host, "C:\\PKG\\Setup.cfg");
  }
  for (std::size_t i = firstBox; i < host.Boxes().size(); ++i) {
    const TMemoryHost::TBox& box = host.Boxes()[i];
    const char* kind = BoxKindName(box.Kind);
    std::cout << "{\"kind\": \"" << kind << "\", \"text\": \"" << Hex(box.Text) << "\"}\n";
  }
  Save(host, dir / "after");
  return 0;
}
