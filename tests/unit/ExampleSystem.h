// The bundled example on the in-memory host, shared by the tests that run a whole
// installation (unit tests and the installation fuzz target): the package beside
// Setup.exe, and the IDE registered as its own setup leaves it.
#pragma once

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "../Scratch.h"
#include "Platform/MemoryHost.h"

namespace Ferrowind::Example {

constexpr auto HKLM = TRootKey::LocalMachine;
constexpr auto HKCU = TRootKey::CurrentUser;
const std::string Base = "SOFTWARE\\Borland\\Delphi\\3.0", Palette = Base + "\\Palette";
const std::string Known = Base + "\\Known Packages", Root = "C:\\Delphi 3", Package = "C:\\Package";
const std::string Config = Package + "\\Setup.cfg", Cfg = Root + "\\Help\\Delphi3.cfg";
const std::string Cnt = Root + "\\Help\\DELPHI3.CNT", Gid = Root + "\\Help\\Delphi3.gid";
const std::string StandardPackage = Root + "\\Bin\\dclstd30.dpl";

// Every file of an example folder, by its path below folder on the host.
inline std::map<std::string, std::string> Tree(const std::string& example, const std::string& folder) {
  const auto from = std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "examples" / example;
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(from)) {
    if (!entry.is_regular_file()) continue;
    std::string path = folder + "\\" + std::filesystem::relative(entry.path(), from).generic_string();
    std::replace(path.begin(), path.end(), '/', '\\');
    files[path] = FerrowindTest::ReadWhole(entry.path());
  }
  return files;
}

// The IDE and the package with Setup.exe; palette pages and Known Packages as given.
inline void AddExample(TMemoryHost& host, const std::map<std::string, std::string>& pages) {
  host.SetValue(HKLM, Base, "RootDir", Root);
  host.SetValue(HKCU, Known, StandardPackage, "Borland Standard Components");
  for (const auto& [page, list] : pages) host.SetValue(HKCU, Palette, page, list);
  for (const auto& [path, data] : Tree("ide", Root)) host.AddFile(path, data);
  for (const auto& [path, data] : Tree("package", Package)) host.AddFile(path, data);
  host.AddFile(Package + "\\Setup.exe", "MZ");
  host.SetProgramPath(Package + "\\Setup.exe");
}

// A string value as read through any host; nothing when missing.
inline std::optional<std::string> QueryThrough(THost& host, TRootKey root, const std::string& key,
                                               const std::string& name) {
  THandle handle = 0;
  std::string data;
  if (!host.RegOpen(root, key, TRegAccess::Read, &handle)) return std::nullopt;
  const TRegRead read = host.RegQuery(handle, name, &data);
  host.RegClose(handle);
  return read == TRegRead::Found ? std::optional(data) : std::nullopt;
}

}  // namespace Ferrowind::Example
