// ferrowind-check: tells a package vendor what the installer will make of a Setup.cfg.
// Usage: ferrowind-check [--json] [path]   (default path: Setup.cfg in the working folder)
// Exit code: 0 no error found, 1 an error found, 2 the file cannot be read or bad usage.
#include <cstdio>
#include <string>

#include "Base/Text.h"
#include "Check/CheckDisk.h"
#include "Check/ConfigCheck.h"
#include "Check/Report.h"
#include "platform/Host.h"

namespace {
const char* const Usage =
    "usage: ferrowind-check [--json] [path of Setup.cfg]\n"
    "Shows, line by line, what the Ferrowind Component Installer will make of the file,\n"
    "then its errors and warnings. Exit code: 0 no error, 1 errors, 2 unreadable.\n";

void Write(std::FILE* stream, const std::string& text) { std::fwrite(text.data(), 1, text.size(), stream); }
}  // namespace

int main(int argc, char** argv) {
  bool json = false;
  std::string path;
  bool havePath = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--json") {
      json = true;
    } else if (arg == "--help" || arg == "-h") {
      Write(stdout, Usage);
      return 0;
    } else if ((arg.size() > 1 && arg[0] == '-') || havePath) {
      Write(stderr, Usage);
      return Ferrowind::ExitUnreadable;
    } else {
      path = arg;
      havePath = true;
    }
  }
  if (!havePath) path = "Setup.cfg";

  Ferrowind::THost& host = Ferrowind::SystemHost();
  std::string bytes;
  if (!Ferrowind::ReadWholeFile(host, path, &bytes)) {
    if (json) {
      Write(stdout, Ferrowind::JsonUnreadable(path));
    } else {
      Write(stderr, "ferrowind-check: cannot read " + path + "\n");
    }
    return Ferrowind::ExitUnreadable;
  }
  const Ferrowind::TCheckResult result =
      Ferrowind::CheckConfig(bytes, Ferrowind::HostFolderLister(host, Ferrowind::FolderOf(path)));
  Write(stdout, json ? Ferrowind::JsonReport(result, path) : Ferrowind::TextReport(result, path));
  std::fflush(stdout);
  return Ferrowind::ExitCodeFor(result);
}
