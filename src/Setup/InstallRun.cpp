#include "Setup/InstallRun.h"

#include <cstdint>
#include <memory>
#include <string_view>

#include "Base/Text.h"
#include "LibraryInstall/ComponentInstall.h"
#include "Setup/ConfigReader.h"
#include "Setup/FileDeploy.h"

namespace Ferrowind {

namespace {
const std::string CRLF = "\r\n";

// The state of one run; the flags belong to the run, not to a target.
struct TRunState {
  std::string PackageTitle;
  std::string IdeName;
  std::int32_t IdeVersion = 0;
  std::unique_ptr<TComponentInstall> Target;
  bool FilesCopied = true;
  bool ComponentsInstalled = false;
  bool HelpInstalled = false;
};

enum class TStep { GoOn, Stop };

TStep Confirm(THost& host, TRunState& state, std::string_view value) {
  const TIdeLanguage language = ParseLanguage(value);
  state.IdeName = language.Name;
  state.IdeVersion = language.Version;
  state.Target = std::make_unique<TComponentInstall>(host, language);
  const std::string ide = language.Shown();
  const std::string prompt = "You are about to install " + state.PackageTitle + " for " + ide + CRLF + CRLF +
                             "Please make sure " + state.IdeName + " is not running.";
  if (!host.ShowMessage(prompt, TBoxKind::Confirmation)) return TStep::Stop;
  if (state.Target->RootDir().empty()) {
    host.ShowMessage(ide + " not found.", TBoxKind::Warning);
    return TStep::Stop;
  }
  return TStep::GoOn;
}

void ActOnTarget(THost& host, TRunState& state, const TDirective& directive) {
  TComponentInstall& target = *state.Target;
  switch (directive.Kind) {
    case dkPackageFile:
      state.ComponentsInstalled =
          target.RegisterPackage(target.RootDir() + "\\Lib\\" + directive.Value, state.PackageTitle);
      break;
    case dkHelpFile:
      state.HelpInstalled = target.InstallHelp(directive.Value, state.PackageTitle);
      break;
    case dkComponent:
      target.AddPaletteEntry(TextAfter(directive.Value, ' '), TextBefore(directive.Value, ' '));
      break;
    case dkDelete:
      RemoveFileForced(host, WithBackslash(target.RootDir()) + directive.Value);
      break;
    case dkCopyDir:
      // Every COPYDIR copies, also after an earlier one failed.
      state.FilesCopied = CopyFolders(host, directive.Value, target.RootDir()) && state.FilesCopied;
      break;
    default:
      break;
  }
}

std::string Summary(const TRunState& state) {
  std::string text =
      state.Target ? state.PackageTitle + " Installation" + CRLF + CRLF : " Incorrect configuration file" + CRLF + CRLF;
  text += (state.FilesCopied ? "All" : "NO") + std::string(" files copied") + CRLF;
  text += (state.ComponentsInstalled ? "All" : "NO") + std::string(" Components installed") + CRLF;
  if (!state.HelpInstalled) text += "NO ";
  text += "Help installed";
  return text;
}
}  // namespace

int RunInstallation(THost& host, const std::string& configPath) {
  TConfigReader reader(host);
  if (!reader.Open(configPath)) {
    host.ShowMessage("Configuration file not found", TBoxKind::Warning);
    return 0;
  }
  TRunState state;
  for (;;) {
    const TDirectiveView directive = reader.ReadDirective();
    if (directive.Kind == dkEnd) break;
    switch (directive.Kind) {
      case dkNone:
        break;
      case dkPackage:
        state.PackageTitle = directive.Value;
        break;
      case dkLanguage:
        if (Confirm(host, state, directive.Value) == TStep::Stop) return 0;
        break;
      case dkMessage:
        host.ShowMessage(std::string(directive.Value), TBoxKind::Information);
        break;
      default:
        // Target directives before the first LANGUAGE are passed over.
        if (state.Target) ActOnTarget(host, state, directive);
        break;
    }
  }
  host.ShowMessage(Summary(state), TBoxKind::Information);
  return 0;
}

}  // namespace Ferrowind
