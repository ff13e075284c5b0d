#include "Check/PreviewReport.h"

#include <algorithm>
#include <cstdint>

#include "Base/Text.h"
#include "Check/CheckDisk.h"
#include "Check/ConfigCheck.h"
#include "Check/Report.h"
#include "LibraryInstall/LineFile.h"
#include "Setup/InstallRun.h"

namespace Ferrowind {

namespace {
using TChange = TPreviewHost::TChange;

// One line of an edit script: ' ' kept, '-' removed, '+' added.
struct TDiffLine {
  char Tag;
  std::string Text;
};

std::vector<std::string> LinesOf(const std::string& text) {
  TLineList list;
  list.SetText(text);
  std::vector<std::string> lines;
  lines.reserve(list.Count());
  for (std::size_t i = 0; i < list.Count(); ++i) lines.emplace_back(list.Line(i));
  return lines;
}

// A longest-common-subsequence script over the lines between the common head and tail;
// past a few million cells the middle is shown as removed and added whole.
std::vector<TDiffLine> DiffScript(const std::string& before, const std::string& after) {
  const std::vector<std::string> a = LinesOf(before), b = LinesOf(after);
  std::size_t head = 0;
  while (head < a.size() && head < b.size() && a[head] == b[head]) ++head;
  std::size_t tail = 0;
  while (tail < a.size() - head && tail < b.size() - head && a[a.size() - 1 - tail] == b[b.size() - 1 - tail]) ++tail;
  const std::size_t n = a.size() - head - tail, m = b.size() - head - tail;
  std::vector<TDiffLine> script;
  for (std::size_t i = 0; i < head; ++i) script.push_back({' ', a[i]});
  constexpr std::size_t MaxCells = 4'000'000;
  // Divided, not multiplied: in a 32-bit build n * m wraps for two middles of 65,536 lines.
  if (m != 0 && n > MaxCells / m) {
    for (std::size_t i = 0; i < n; ++i) script.push_back({'-', a[head + i]});
    for (std::size_t j = 0; j < m; ++j) script.push_back({'+', b[head + j]});
  } else {
    // common[i][j]: the longest common run of a's middle from i and b's middle from j.
    std::vector<std::uint32_t> common((n + 1) * (m + 1), 0);
    const auto at = [m](std::size_t i, std::size_t j) { return i * (m + 1) + j; };
    for (std::size_t i = n; i-- > 0;) {
      for (std::size_t j = m; j-- > 0;) {
        common[at(i, j)] = a[head + i] == b[head + j] ? common[at(i + 1, j + 1)] + 1
                                                      : std::max(common[at(i + 1, j)], common[at(i, j + 1)]);
      }
    }
    std::size_t i = 0, j = 0;
    while (i < n || j < m) {
      if (i < n && j < m && a[head + i] == b[head + j]) {
        script.push_back({' ', a[head + i++]});
        ++j;
      } else if (i < n && (j == m || common[at(i + 1, j)] >= common[at(i, j + 1)])) {
        script.push_back({'-', a[head + i++]});  // removals first, as diff -u shows them
      } else {
        script.push_back({'+', b[head + j++]});
      }
    }
  }
  for (std::size_t i = a.size() - tail; i < a.size(); ++i) script.push_back({' ', a[i]});
  return script;
}

std::string ChangeName(TChange change) {
  switch (change) {
    case TChange::Folder:
      return "folder";
    case TChange::Created:
      return "created";
    case TChange::Replaced:
      return "replaced";
    case TChange::Same:
      return "same";
    case TChange::Removed:
      return "removed";
    case TChange::Attributes:
      return "attributes";
  }
  return "";
}

std::string Bytes(std::uint64_t n) { return std::to_string(n) + (n == 1 ? " byte" : " bytes"); }

std::string Plural(std::size_t n, const std::string& one, const std::string& many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// A box's text as the user reads it: each line break a line of its own, indented.
std::string BoxLines(const std::string& text) {
  TLineList lines;
  lines.SetText(text);
  std::string out;
  for (std::size_t i = 0; i < lines.Count(); ++i) out += ("     " + std::string(lines.Line(i))) + "\n";
  return out.empty() ? "     \n" : out;
}

// A long list that only grows is shown by its last entry and what is added after it.
std::pair<std::string, std::string> ShownData(const std::optional<std::string>& old, const std::string& now) {
  constexpr std::size_t LongValue = 60;
  if (!old) return {"new value", "\"" + VisibleText(now) + "\""};
  if (old->size() > LongValue && now.compare(0, old->size(), *old) == 0) {
    const std::size_t cut = old->rfind(';', old->size() - 2);
    if (cut != std::string::npos) {
      return {"\"..." + VisibleText(old->substr(cut)) + "\"", "\"..." + VisibleText(now.substr(cut)) + "\""};
    }
  }
  return {"\"" + VisibleText(*old) + "\"", "\"" + VisibleText(now) + "\""};
}

bool IsHelpEdit(const TPreviewHost::TFileChange& file) { return file.Edited && file.Change == TChange::Replaced; }

std::vector<TPreviewHost::TFileChange> FoldersFirst(std::vector<TPreviewHost::TFileChange> files) {
  std::stable_partition(files.begin(), files.end(),
                        [](const TPreviewHost::TFileChange& f) { return f.Change == TChange::Folder; });
  return files;
}

std::string JsonLines(const std::vector<TDiffLine>& script, char tag) {
  std::string out = "[";
  for (const TDiffLine& line : script) {
    if (line.Tag != tag) continue;
    out += (out.size() > 1 ? ", " : "") + JsonString(line.Text);
  }
  return out + "]";
}
}  // namespace

std::vector<std::string> LineDiff(const std::string& before, const std::string& after, std::size_t context) {
  const std::vector<TDiffLine> script = DiffScript(before, after);
  std::vector<std::string> out;
  std::size_t i = 0;
  std::size_t oldLine = 0, newLine = 0;  // lines of each side before script[i]
  while (i < script.size()) {
    if (script[i].Tag == ' ') {
      ++oldLine;
      ++newLine;
      ++i;
      continue;
    }
    // A hunk: from context lines before this change to context lines after the last change
    // that follows within twice the context.
    const std::size_t start = i - std::min(i, context);
    std::size_t end = i, last = i;
    while (end < script.size() && end - last <= 2 * context) {
      if (script[end].Tag != ' ') last = end;
      ++end;
    }
    end = std::min(script.size(), last + context + 1);
    std::size_t oldCount = 0, newCount = 0;
    for (std::size_t k = start; k < end; ++k) {
      oldCount += script[k].Tag != '+' ? 1 : 0;
      newCount += script[k].Tag != '-' ? 1 : 0;
    }
    const std::size_t lead = i - start;
    out.push_back("@@ -" + std::to_string(oldLine - lead + 1) + "," + std::to_string(oldCount) + " +" +
                  std::to_string(newLine - lead + 1) + "," + std::to_string(newCount) + " @@");
    for (std::size_t k = start; k < end; ++k) out.push_back(script[k].Tag + script[k].Text);
    for (std::size_t k = i; k < end; ++k) {
      oldLine += script[k].Tag != '+' ? 1 : 0;
      newLine += script[k].Tag != '-' ? 1 : 0;
    }
    i = end;
  }
  return out;
}

TPreview RunPreview(THost& base, const std::string& configPath, std::size_t cancelAt) {
  // The installer lies beside its configuration file, and knows its own folder as a full
  // path, whatever path the checker was given.
  TPreviewHost host(base, FolderOf(base.FullPath(configPath)) + "Setup.exe", cancelAt);
  RunInstallation(host, configPath);
  TPreview preview;
  preview.Boxes = host.Boxes();
  preview.Values = host.ValueChanges();
  preview.Files = host.FileChanges();
  // Every early end of the run leaves a confirmation or a warning last; the summary is the
  // only information box nothing follows.
  if (!preview.Boxes.empty() && preview.Boxes.back().Kind == TBoxKind::Information)
    preview.Summary = preview.Boxes.back().Text;
  preview.ExitCode = preview.Summary ? PreviewReachesSummary : PreviewEndsEarly;
  return preview;
}

std::string PreviewText(const TPreview& preview, const std::string& configPath) {
  std::string out = configPath + ": what the installer would do here (nothing has been changed)\n\nMessage boxes\n";
  for (std::size_t i = 0; i < preview.Boxes.size(); ++i) {
    const TPreviewHost::TShownBox& box = preview.Boxes[i];
    std::string kind = BoxKindName(box.Kind);
    kind[0] = static_cast<char>(kind[0] - 'a' + 'A');
    if (box.Kind == TBoxKind::Confirmation) kind += box.Answer ? " (answered OK)" : " (answered Cancel)";
    out += "  " + std::to_string(i + 1) + ". " + kind + "\n" + BoxLines(box.Text);
  }
  out += "\nRegistry values\n";
  if (preview.Values.empty()) out += "  none\n";
  for (const TPreviewHost::TValueChange& value : preview.Values) {
    const auto [old, now] = ShownData(value.Old, value.New);
    out += "  " + std::string(RootKeyName(value.Root)) + "\\" + VisibleText(value.Key) + "\n";
    out += "    \"" + VisibleText(value.Name) + "\": ";
    out += old + " -> ";
    out += now + "\n";
  }
  out += "\nHelp files\n";
  std::size_t helpFiles = 0;
  for (const TPreviewHost::TFileChange& file : preview.Files) {
    if (!IsHelpEdit(file)) continue;
    ++helpFiles;
    out += "  --- " + file.Path + "\n  +++ " + file.Path + "\n";
    const std::vector<std::string> diff = LineDiff(file.OldData, file.NewData, 3);
    for (const std::string& line : diff) out += "  " + VisibleText(line) + "\n";
    if (diff.empty()) out += "  (the same lines; only line ends or blanks change)\n";
  }
  if (helpFiles == 0) out += "  none\n";
  out += "\nFiles\n";
  std::size_t counts[6] = {};
  for (const TPreviewHost::TFileChange& file : FoldersFirst(preview.Files)) {
    ++counts[static_cast<int>(file.Change)];
    std::string sizes;
    if (file.Change == TChange::Created || file.Change == TChange::Same) sizes = Bytes(file.NewSize);
    if (file.Change == TChange::Removed) sizes = Bytes(file.OldSize);
    if (file.Change == TChange::Replaced) sizes = std::to_string(file.OldSize) + " -> " + Bytes(file.NewSize);
    if (file.Change == TChange::Attributes) sizes = "read-only bit changes";
    if (file.ReadOnly && file.Change != TChange::Folder) sizes += sizes.empty() ? "read-only" : ", read-only";
    std::string name = ChangeName(file.Change);
    name.resize(std::max<std::size_t>(name.size(), 10), ' ');
    out += "  " + name + VisibleText(file.Path) + (sizes.empty() ? "" : "  (" + sizes + ")") + "\n";
  }
  if (preview.Files.empty()) out += "  none\n";
  out += "\n" + Plural(preview.Boxes.size(), "message box", "message boxes") + ", " +
         Plural(preview.Values.size(), "registry value", "registry values") + ", " +
         Plural(helpFiles, "help file", "help files") + " changed; " +
         Plural(counts[static_cast<int>(TChange::Folder)], "folder", "folders") + " made, " +
         Plural(counts[static_cast<int>(TChange::Created)], "file", "files") + " created, " +
         std::to_string(counts[static_cast<int>(TChange::Replaced)]) + " replaced, " +
         std::to_string(counts[static_cast<int>(TChange::Removed)]) + " removed, " +
         std::to_string(counts[static_cast<int>(TChange::Same)]) + " already the same";
  if (counts[static_cast<int>(TChange::Attributes)] > 0) {
    out += ", " + std::to_string(counts[static_cast<int>(TChange::Attributes)]) + " with attributes changed";
  }
  out += preview.Summary ? "; the run would reach its summary\n" : "; the run would end before its summary\n";
  return out;
}

std::string PreviewJson(const TPreview& preview, const std::string& configPath) {
  std::vector<std::string> boxes, values, help, files;
  for (const TPreviewHost::TShownBox& box : preview.Boxes) {
    boxes.push_back("{\"kind\": " + JsonString(BoxKindName(box.Kind)) + ", \"text\": " + JsonString(box.Text) +
                    ", \"answer\": " + JsonString(box.Answer ? "ok" : "cancel") + "}");
  }
  for (const TPreviewHost::TValueChange& value : preview.Values) {
    values.push_back("{\"root\": " + JsonString(std::string(RootKeyName(value.Root))) +
                     ", \"key\": " + JsonString(value.Key) + ", \"name\": " + JsonString(value.Name) + ", \"old\": " +
                     (value.Old ? JsonString(*value.Old) : "null") + ", \"new\": " + JsonString(value.New) + "}");
  }
  for (const TPreviewHost::TFileChange& file : FoldersFirst(preview.Files)) {
    std::string item = "{\"path\": " + JsonString(file.Path) + ", \"change\": " + JsonString(ChangeName(file.Change));
    if (file.Change != TChange::Folder && file.Change != TChange::Created)
      item += ", \"oldSize\": " + std::to_string(file.OldSize);
    if (file.Change != TChange::Folder && file.Change != TChange::Removed)
      item += ", \"size\": " + std::to_string(file.NewSize);
    if (file.ReadOnly) item += ", \"readOnly\": true";
    files.push_back(item + "}");
    if (IsHelpEdit(file)) {
      const std::vector<TDiffLine> script = DiffScript(file.OldData, file.NewData);
      help.push_back("{\"path\": " + JsonString(file.Path) + ", \"removed\": " + JsonLines(script, '-') +
                     ", \"added\": " + JsonLines(script, '+') + "}");
    }
  }
  return "{\n  \"file\": " + JsonString(configPath) + ",\n  \"boxes\": " + JsonArray(boxes) +
         ",\n  \"registry\": " + JsonArray(values) + ",\n  \"help\": " + JsonArray(help) +
         ",\n  \"files\": " + JsonArray(files) +
         ",\n  \"summary\": " + (preview.Summary ? JsonString(*preview.Summary) : "null") +
         ",\n  \"exitCode\": " + std::to_string(preview.ExitCode) + "\n}\n";
}

}  // namespace Ferrowind
