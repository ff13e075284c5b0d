// The preview of one installation: the installer's own run over a TPreviewHost, and what
// it would show and change, as text for a person or as one JSON object.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "Check/PreviewHost.h"

namespace Ferrowind {

struct TPreview {
  std::vector<TPreviewHost::TShownBox> Boxes;
  std::vector<TPreviewHost::TValueChange> Values;
  std::vector<TPreviewHost::TFileChange> Files;
  std::optional<std::string> Summary;  // nullopt when the run would end before its summary
  int ExitCode = 0;
};

// Exit codes of a preview: the run would reach its summary box, or it would end before it
// (cancelled, IDE not found, no configuration file).
constexpr int PreviewReachesSummary = 0;
constexpr int PreviewEndsEarly = 1;

// Runs the installation from configPath as Setup.exe would if it lay beside that file,
// changing nothing in base. cancelAt answers Cancel at that confirmation (0: never).
TPreview RunPreview(THost& base, const std::string& configPath, std::size_t cancelAt);

std::string PreviewText(const TPreview& preview, const std::string& configPath);
std::string PreviewJson(const TPreview& preview, const std::string& configPath);

// The lines of a unified diff from before to after, with context lines around each change;
// empty when the two hold the same lines. Lines end at CR LF, CR or LF.
std::vector<std::string> LineDiff(const std::string& before, const std::string& after, std::size_t context);

}  // namespace Ferrowind
