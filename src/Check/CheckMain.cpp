// ferrowind-check: tells a package vendor what the installer will make of a Setup.cfg.
// Usage: ferrowind-check [--json] [path]   (default path: Setup.cfg in the working folder)
//        ferrowind-check --preview [--cancel-at N] [--json] [path]
// Exit code: 0 no error found, 1 an error found, 2 the file cannot be read or bad usage.
// With --preview: 0 the run would reach its summary, 1 it would end before, 2 bad usage.
#include <cstddef>
#include <cstdio>
#include <string>

#include "Base/Text.h"
#include "Check/CheckDisk.h"
#include "Check/ConfigCheck.h"
#include "Check/PreviewReport.h"
#include "Check/Report.h"
#include "Platform/Host.h"

namespace {
const char* const Usage =
    "usage: ferrowind-check [--json] [--] [path of Setup.cfg]\n"
    "       ferrowind-check --preview [--cancel-at N] [--json] [--] [path of Setup.cfg]\n"
    "Shows, line by line, what the Ferrowind Component Installer will make of the file,\n"
    "then its errors and warnings. Exit code: 0 no error, 1 errors, 2 unreadable.\n"
    "--preview runs the installation as Setup.exe beside the file would, on this machine,\n"
    "changing nothing, and shows its boxes and every registry value, help line and file it\n"
    "would change. Every confirmation is answered OK, or Cancel at the N-th with --cancel-at.\n"
    "Exit code: 0 the run would reach its summary, 1 it would end before it, 2 bad usage.\n";

// A count from 1 in decimal digits; 0 for anything else.
std::size_t CountArgument(const std::string& text) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return 0;
  return static_cast<std::size_t>(std::stoul(text));
}

void Write(std::FILE* stream, const std::string& text) { std::fwrite(text.data(), 1, text.size(), stream); }
}  // namespace

int main(int argc, char** argv) {
  bool json = false;
  bool preview = false;
  std::size_t cancelAt = 0;
  std::string path;
  bool havePath = false;
  bool options = true;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (!options || arg.size() < 2 || arg[0] != '-') {
      if (havePath) {
        Write(stderr, Usage);
        return Ferrowind::ExitUnreadable;
      }
      path = arg;
      havePath = true;
    } else if (arg == "--") {
      options = false;  // a path that starts with "-" may follow
    } else if (arg == "--json") {
      json = true;
    } else if (arg == "--preview") {
      preview = true;
    } else if (arg == "--cancel-at") {
      cancelAt = i + 1 < argc ? CountArgument(argv[++i]) : 0;
      if (cancelAt == 0) {
        Write(stderr, "ferrowind-check: --cancel-at needs a count from 1\n" + std::string(Usage));
        return Ferrowind::ExitUnreadable;
      }
    } else if (arg == "--help" || arg == "-h") {
      Write(stdout, Usage);
      return 0;
    } else {
      Write(stderr, "ferrowind-check: unrecognized option '" + arg + "'\n" + std::string(Usage));
      return Ferrowind::ExitUnreadable;
    }
  }
  if (!havePath) path = "Setup.cfg";
  if (cancelAt > 0 && !preview) {
    Write(stderr, Usage);
    return Ferrowind::ExitUnreadable;
  }

  Ferrowind::THost& host = Ferrowind::SystemHost();
  if (preview) {
    const Ferrowind::TPreview result = Ferrowind::RunPreview(host, path, cancelAt);
    Write(stdout, json ? Ferrowind::JsonOutput(host, Ferrowind::PreviewJson(result, path))
                       : Ferrowind::PreviewText(result, path));
    std::fflush(stdout);
    return result.ExitCode;
  }
  std::string bytes;
  if (!Ferrowind::ReadWholeFile(host, path, &bytes, Ferrowind::MaxCheckedFile)) {
    if (json) {
      Write(stdout, Ferrowind::JsonOutput(host, Ferrowind::JsonUnreadable(path)));
    } else {
      Write(stderr, "ferrowind-check: cannot read " + path + "\n");
    }
    return Ferrowind::ExitUnreadable;
  }
  const Ferrowind::TCheckResult result =
      Ferrowind::CheckConfig(bytes, Ferrowind::HostFolderLister(host, Ferrowind::FolderOf(path)));
  Write(stdout,
        json ? Ferrowind::JsonOutput(host, Ferrowind::JsonReport(result, path)) : Ferrowind::TextReport(result, path));
  std::fflush(stdout);
  return Ferrowind::ExitCodeFor(result);
}
