#include "Check/ConfigCheck.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <map>

#include "Base/Text.h"
#include "Base/WindowsNames.h"
#include "LibraryInstall/ComponentInstall.h"
#include "Setup/FileDeploy.h"

namespace Ferrowind {

namespace {
const std::string RootDirShown = "<RootDir>";

// One line as the reader reads it: up to a CR or the end of the text. An LF inside it
// starts a new line in an editor, so it is kept as a list of editor lines (fragments).
struct TReaderLine {
  std::string Text;
  std::vector<std::string> Fragments;
  int FirstNumber = 0;  // the editor line it begins on
};

struct TScan {
  std::vector<TReaderLine> Lines;
  bool AnyCr = false;
  bool HasMark = false;
  int MarkNumber = 0;             // the editor line holding the byte 26
  bool MarkStartsLine = true;     // the byte 26 is the first byte of its editor line
  std::vector<std::string> Tail;  // editor lines from the byte 26 on; [0] is the rest of its line
};

std::vector<std::string> SplitAt(std::string_view s, char separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= s.size(); ++i) {
    if (i == s.size() || s[i] == separator) {
      parts.emplace_back(s.substr(start, i - start));
      start = i + 1;
    }
  }
  return parts;
}

// Editor lines of text that is never read: CR LF, CR and LF each end one; a break at the
// very end adds no line. The first entry is always there, possibly empty.
std::vector<std::string> EditorLines(std::string_view s) {
  const std::vector<std::string_view> split = SplitLines(s);
  std::vector<std::string> lines(split.begin(), split.end());
  if (lines.empty()) lines.emplace_back();
  return lines;
}

// The lines as the installer's reader splits them, each cut into the editor lines (CR LF,
// CR or LF) it spans; then the editor lines after the byte 26 that ends the text.
TScan LinesAsRead(const std::string& bytes) {
  TScan scan;
  TConfigReader reader(bytes);
  int number = 1;
  bool endedByBreak = true;
  TReadLine read;
  while (reader.ReadLine(&read)) {
    TReaderLine line;
    line.Text = read.Text;
    line.Fragments = SplitAt(line.Text, LF);
    line.FirstNumber = number;
    endedByBreak = read.EndedByCR;
    if (endedByBreak) {
      scan.AnyCr = true;
    } else if (!reader.EndedByMark() && line.Fragments.size() > 1 && line.Fragments.back().empty()) {
      // An LF at the very end of the file opens no further editor line; before a byte 26
      // it does, and that line holds the byte 26.
      line.Fragments.pop_back();
    }
    number += static_cast<int>(line.Fragments.size()) - 1;
    if (endedByBreak) ++number;
    scan.Lines.push_back(std::move(line));
  }
  scan.HasMark = reader.EndedByMark();
  if (scan.HasMark) {
    scan.MarkNumber = number;
    scan.MarkStartsLine = endedByBreak;
    scan.Tail = EditorLines(std::string_view(bytes).substr(static_cast<std::size_t>(reader.TextEnd()) + 1));
  }
  return scan;
}

bool IsDirective(TDirectiveKind kind) { return kind >= dkPackage && kind <= dkCopyDir; }

bool SameDirective(const TDirective& a, const TDirective& b) { return a.Kind == b.Kind && a.Value == b.Value; }

// At most one insertion, deletion, substitution or swap of two neighbouring bytes apart.
bool OneEditApart(std::string_view a, std::string_view b) {
  if (a == b) return false;
  if (a.size() > b.size()) std::swap(a, b);
  if (b.size() - a.size() > 1) return false;
  std::size_t i = 0;
  while (i < a.size() && a[i] == b[i]) ++i;
  if (a.size() == b.size()) {
    if (a.substr(i + 1) == b.substr(i + 1)) return true;
    return i + 1 < a.size() && a[i] == b[i + 1] && a[i + 1] == b[i] && a.substr(i + 2) == b.substr(i + 2);
  }
  return a.substr(i) == b.substr(i + 1);
}

std::string Quoted(std::string_view s) { return "\"" + VisibleText(s) + "\""; }

std::string JoinNames(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + VisibleText(name);
  return text;
}

std::string LineList(const std::vector<int>& numbers) {
  std::string text;
  for (int n : numbers) text += (text.empty() ? "" : ", ") + std::to_string(n);
  return text;
}

// The directive as it would read if it stood on a line of its own.
std::string Described(const TDirective& d) {
  if (d.Kind == dkNone) return "a line without a keyword";
  return std::string(KeywordOf(d.Kind)) + (d.Value.empty() ? "" : " " + Quoted(d.Value));
}

class TChecker {
 public:
  TChecker(const std::string& bytes, const TFolderLister& listFolder)
      : FBytes(bytes), FListFolder(listFolder), FScan(LinesAsRead(bytes)) {}

  TCheckResult Run() {
    CheckEncoding();
    ReportLines();
    CheckLineRules();
    Dispatch();
    std::stable_sort(FResult.Findings.begin(), FResult.Findings.end(),
                     [](const TFinding& a, const TFinding& b) { return SortKey(a) < SortKey(b); });
    return std::move(FResult);
  }

 private:
  static int SortKey(const TFinding& f) { return f.Line == 0 ? INT_MAX : f.Line; }

  void Add(int line, TSeverity severity, std::string message) {
    FResult.Findings.push_back({line, severity, std::move(message)});
  }

  void ReportLines() {
    for (std::size_t i = 0; i < FScan.Lines.size(); ++i) {
      const TReaderLine& line = FScan.Lines[i];
      const TDirective directive = ClassifyLine(line.Text);
      TLineReport first;
      first.Number = line.FirstNumber;
      first.Kind = directive.Kind;
      first.Value = directive.Value;
      first.Text = line.Fragments.front();
      // The byte-order mark, invisible where it is printed raw, is shown by its bytes.
      if (i == 0 && first.Text.rfind("\xEF\xBB\xBF", 0) == 0) first.Text = "<xEF><xBB><xBF>" + first.Text.substr(3);
      if (i + 1 == FScan.Lines.size()) {
        first.Fate = TLineFate::LastLine;
      } else {
        first.Fate = directive.Kind == dkNone ? TLineFate::PassedOver : TLineFate::ActedOn;
        FActed.push_back(FResult.Lines.size());
      }
      FResult.Lines.push_back(first);
      for (std::size_t k = 1; k < line.Fragments.size(); ++k) {
        TLineReport joined;
        joined.Number = line.FirstNumber + static_cast<int>(k);
        joined.Fate = TLineFate::Continuation;
        joined.Text = line.Fragments[k];
        joined.JoinedTo = line.FirstNumber;
        FResult.Lines.push_back(joined);
      }
    }
    if (!FScan.HasMark) return;
    if (FScan.MarkStartsLine) {
      TLineReport markLine;
      markLine.Number = FScan.MarkNumber;
      markLine.Fate = TLineFate::NeverRead;
      markLine.Text = std::string(1, EndOfTextMark) + FScan.Tail.front();
      markLine.HoldsEndMark = true;
      FResult.Lines.push_back(markLine);
    } else {
      FResult.Lines.back().HoldsEndMark = true;
      FResult.Lines.back().Text += std::string(1, EndOfTextMark) + FScan.Tail.front();
    }
    for (std::size_t k = 1; k < FScan.Tail.size(); ++k) {
      TLineReport unread;
      unread.Number = FScan.MarkNumber + static_cast<int>(k);
      unread.Fate = TLineFate::NeverRead;
      unread.Text = FScan.Tail[k];
      FResult.Lines.push_back(unread);
    }
  }

  // A file saved as UTF-8 with its mark, or as UTF-16, is not what the installer reads.
  void CheckEncoding() {
    const std::string& bytes = FBytes;
    if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) {
      Add(1, TSeverity::Error,
          "the file begins with a UTF-8 byte-order mark: the installer reads its 3 bytes as part of line 1, which "
          "then holds no keyword and is passed over; save the file as ANSI (code page 1252), without the mark");
    } else if (bytes.rfind("\xFF\xFE", 0) == 0 || bytes.rfind("\xFE\xFF", 0) == 0) {
      Add(1, TSeverity::Error,
          "the file is saved as UTF-16: the installer reads it byte by byte and finds no directive in it; save it "
          "as ANSI (code page 1252)");
    }
  }

  void CheckLineRules() {
    for (std::size_t i = 0; i < FScan.Lines.size(); ++i) {
      const TReaderLine& line = FScan.Lines[i];
      const bool isLast = i + 1 == FScan.Lines.size();
      const TDirective directive = ClassifyLine(line.Text);
      const bool joinTrap = CheckJoinedLine(line, directive, isLast);
      if (!joinTrap && line.Fragments.size() == 1 && directive.Kind == dkNone) {
        CheckKeywordTypo(line.FirstNumber, line.Text);
      }
      if (isLast && !joinTrap && IsDirective(directive.Kind)) {
        std::string message = "the last line read is never acted on: " + Described(directive) + " will not run; ";
        message += FScan.HasMark
                       ? "put an empty line after it, before the byte 26 on line " + std::to_string(FScan.MarkNumber)
                       : "end the file with one more, empty line";
        Add(line.FirstNumber, TSeverity::Error, message);
      }
      if (!isLast && IsDirective(directive.Kind)) CheckValueLength(line.FirstNumber, line.Text, directive);
    }
    CheckEndMark();
  }

  // An LF without a CR before it does not end a line for the reader; it matters when the
  // joined line reads differently from the editor line the author wrote.
  bool CheckJoinedLine(const TReaderLine& line, const TDirective& joined, bool isLast) {
    if (line.Fragments.size() < 2) return false;
    std::vector<std::size_t> written;
    for (std::size_t k = 0; k < line.Fragments.size(); ++k) {
      if (!StripBlanks(line.Fragments[k]).empty()) written.push_back(k);
    }
    const int lastNumber = line.FirstNumber + static_cast<int>(line.Fragments.size()) - 1;
    if (written.size() > 1) {
      if (!FScan.AnyCr) {
        Add(line.FirstNumber, TSeverity::Error,
            "the file's lines end in LF only: the installer reads the whole file as one line, and no "
            "directive will run; save the file with CR LF line ends");
      } else {
        Add(line.FirstNumber, TSeverity::Error,
            "an LF without CR does not end a line: the installer reads lines " + std::to_string(line.FirstNumber) +
                " to " + std::to_string(lastNumber) + " as one line, " + Described(joined) +
                (isLast ? ", which is the last line and never acted on" : "") + "; end each line with CR LF");
      }
      return true;
    }
    if (written.size() == 1) {
      const std::size_t k = written.front();
      const TDirective alone = ClassifyLine(line.Fragments[k]);
      if (!SameDirective(alone, joined)) {
        Add(line.FirstNumber + static_cast<int>(k), TSeverity::Error,
            "an LF without CR next to this line makes the installer read it as " + Described(joined) + " instead of " +
                Described(alone) + "; end each line with CR LF");
        return true;
      }
    }
    return false;
  }

  void CheckKeywordTypo(int number, const std::string& text) {
    const std::size_t equals = text.find('=');
    const std::string keyText =
        StripBlanks(equals == std::string::npos ? std::string_view(text) : std::string_view(text).substr(0, equals));
    const std::string key = ToUpperAscii(keyText);
    if (key.empty()) return;
    const std::size_t colon = text.find(':');
    if (colon != std::string::npos && colon < equals) {
      const std::string before = ToUpperAscii(StripBlanks(std::string_view(text).substr(0, colon)));
      for (int kind = dkPackage; kind <= dkCopyDir; ++kind) {
        const std::string_view keyword = KeywordOf(static_cast<TDirectiveKind>(kind));
        if (before == keyword) {
          Add(number, TSeverity::Warning,
              Quoted(text) + " is passed over: the installer needs \"=\" after the keyword, not \":\"; write " +
                  std::string(keyword) + "=" + VisibleText(StripBlanks(std::string_view(text).substr(colon + 1))));
          return;
        }
      }
    }
    for (int kind = dkPackage; kind <= dkCopyDir; ++kind) {
      const std::string_view keyword = KeywordOf(static_cast<TDirectiveKind>(kind));
      if (key == keyword) {
        // Only a line without "=" gets here with a real keyword: it had blanks around it.
        Add(number, TSeverity::Warning,
            Quoted(text) +
                " is passed over: without \"=\" a keyword counts only with nothing "
                "around it; write " +
                std::string(keyword) + "=");
        return;
      }
    }
    for (int kind = dkPackage; kind <= dkCopyDir; ++kind) {
      const std::string_view keyword = KeywordOf(static_cast<TDirectiveKind>(kind));
      if (OneEditApart(key, keyword)) {
        Add(number, TSeverity::Warning,
            Quoted(keyText) + " is not a keyword, so the line is passed over; did you mean " + std::string(keyword) +
                "?");
        return;
      }
    }
  }

  void CheckValueLength(int number, const std::string& text, const TDirective& directive) {
    const std::size_t equals = text.find('=');
    if (equals == std::string::npos) return;
    const std::string whole = StripBlanks(std::string_view(text).substr(equals + 1));
    if (whole == directive.Value) return;
    Add(number, TSeverity::Warning,
        "the value is " + std::to_string(whole.size()) + " bytes long; the installer keeps only its first " +
            std::to_string(directive.Value.size()) +
            " (it cuts the text after \"=\" at 1000 bytes, blanks included) and drops the rest");
  }

  void CheckEndMark() {
    if (!FScan.HasMark) return;
    std::vector<int> lost;
    for (std::size_t k = FScan.MarkStartsLine ? 0 : 1; k < FScan.Tail.size(); ++k) {
      if (IsDirective(ClassifyLine(FScan.Tail[k]).Kind)) lost.push_back(FScan.MarkNumber + static_cast<int>(k));
    }
    if (lost.empty()) return;
    Add(FScan.MarkNumber, TSeverity::Error,
        "a byte 26 (Ctrl-Z) ends the text here: " +
            (lost.size() > 1 ? "the directives on lines " + LineList(lost) + " are"
                             : "the directive on line " + LineList(lost) + " is") +
            " never read; remove the byte 26");
  }

  bool AnyLanguageInFile() const {
    for (const TReaderLine& line : FScan.Lines) {
      if (ClassifyLine(line.Text).Kind == dkLanguage) return true;
      for (const std::string& fragment : line.Fragments) {
        if (ClassifyLine(fragment).Kind == dkLanguage) return true;
      }
    }
    for (const std::string& unread : FScan.Tail) {
      if (ClassifyLine(unread).Kind == dkLanguage) return true;
    }
    return false;
  }

  // Follows the run's dispatch over the directives that are acted on, with the run's
  // state, to say what each one does.
  void Dispatch() {
    bool languageSeen = false;
    for (std::size_t row : FActed) {
      TLineReport& line = FResult.Lines[row];
      const TDirective directive{line.Kind, line.Value};
      switch (directive.Kind) {
        case dkPackage:
          FTitle = directive.Value;
          line.Action = "package title";
          break;
        case dkLanguage:
          languageSeen = true;
          Language(line);
          if (FTitle.empty() && std::any_of(FActed.begin(), FActed.end(), [&](std::size_t later) {
                return later > row && FResult.Lines[later].Kind == dkPackage;
              })) {
            Add(line.Number, TSeverity::Warning,
                "LANGUAGE comes before PACKAGE: the installer asks to install an empty title (\"You are about to "
                "install  for " +
                    VisibleText(FIde.Shown()) + "\"); put the PACKAGE line first");
          }
          break;
        case dkMessage:
          line.Action = "message box";
          break;
        case dkNone:
          break;
        default:
          if (directive.Kind == dkCopyDir) CheckCopySource(line);
          if (directive.Kind == dkDelete || directive.Kind == dkCopyDir) CheckPathValue(line);
          if (!FHasTarget) {
            line.Action = "nothing: no LANGUAGE before it";
            Add(line.Number, TSeverity::Warning,
                std::string(KeywordOf(directive.Kind)) +
                    " comes before the first LANGUAGE directive: the installer passes it over");
            break;
          }
          TargetDirective(line);
          break;
      }
    }
    if (!languageSeen && !AnyLanguageInFile()) {
      Add(0, TSeverity::Error,
          "no LANGUAGE directive: the installer acts on no PACKAGEFILE, COMPONENT, HELPFILE, DELETE or "
          "COPYDIR and its summary begins \"Incorrect configuration file\"");
    }
  }

  void Language(TLineReport& line) {
    FIde = ParseLanguage(line.Value);
    FHasTarget = true;
    FLanguageLine = line.Number;
    FHelpLayoutReported = false;
    const std::string ide = FIde.Shown();
    line.Action = "HKEY_LOCAL_MACHINE\\" + VisibleText(FIde.BaseKey) + "  RootDir  (asks to install " +
                  VisibleText(FTitle) + " for " + VisibleText(ide) + ")";
    if (FIde.Version == 0) {
      Add(line.Number, TSeverity::Error,
          "the version in " + Quoted(line.Value) +
              " reads as 0 (it must be a whole number after the first blank, as in \"Delphi 3\"): the "
              "installer asks for " +
              Quoted(ide) + " and looks under HKEY_LOCAL_MACHINE\\" + VisibleText(FIde.BaseKey));
    }
  }

  void TargetDirective(TLineReport& line) {
    const std::string& value = line.Value;
    switch (line.Kind) {
      case dkPackageFile:
        line.Action = "HKEY_CURRENT_USER\\" + VisibleText(FIde.BaseKey) + "\\Known Packages  " + RootDirShown +
                      "\\Lib\\" + VisibleText(value) + " = " + Quoted(FTitle);
        if (FTitle.empty()) {
          Add(line.Number, TSeverity::Warning,
              "no PACKAGE title is set before this PACKAGEFILE: the package is registered with an empty "
              "title");
        }
        if (value.empty()) {
          Add(line.Number, TSeverity::Warning,
              "PACKAGEFILE has no value: the installer registers " + RootDirShown +
                  "\\Lib\\, the folder itself, as a package, which the IDE fails to load at every start; name the "
                  "package file or remove the line");
        }
        ReplaceFlag(FLastPackageFile, line.Number, "PACKAGEFILE", "Components installed");
        break;
      case dkHelpFile:
        HelpFile(line);
        ReplaceFlag(FLastHelpFile, line.Number, "HELPFILE", "Help installed");
        break;
      case dkComponent: {
        const std::string component = TextBefore(value, ' ');
        const std::string page = TextAfter(value, ' ');
        if (component.empty()) {
          line.Action = "nothing: no component name";
          break;
        }
        line.Action = "HKEY_CURRENT_USER\\" + VisibleText(FIde.BaseKey) + "\\Palette  " +
                      (page.empty() ? std::string("(unnamed value)") : Quoted(page)) + " += " + VisibleText(component) +
                      ";";
        // The installer adds nothing when the name occurs anywhere in the page's list, also
        // inside a longer name that an earlier line of this run put there.
        auto& entries = FPages[FIde.BaseKey + "\n" + FoldedName(page)];
        for (const auto& [earlier, number] : entries) {
          if (FindSubstring(ToUpperAscii(component), ToUpperAscii(earlier)) == 0) continue;
          line.Action = "nothing: the page's list already holds " + Quoted(component) + " (in " + Quoted(earlier) +
                        ", line " + std::to_string(number) + ")";
          if (!EqualIgnoringCase(component, earlier)) {
            Add(line.Number, TSeverity::Warning,
                "COMPONENT " + Quoted(component) + " is not added: the installer finds it inside " + Quoted(earlier) +
                    " (line " + std::to_string(number) + "), as it looks for the name anywhere in the page's list; " +
                    "put this line before line " + std::to_string(number));
          }
          break;
        }
        entries.emplace_back(component, line.Number);
        if (page.empty()) {
          Add(line.Number, TSeverity::Warning,
              "COMPONENT " + Quoted(component) +
                  " names no palette page: the component goes to the Palette key's unnamed value");
        }
        break;
      }
      case dkDelete:
        line.Action = "removes the file " + WithBackslash(RootDirShown) + VisibleText(value);
        if (value.find_first_of("*?") != std::string::npos) {
          line.Action = "nothing: no file name holds \"*\" or \"?\"";
          Add(line.Number, TSeverity::Warning,
              "DELETE " + Quoted(value) +
                  " holds a wildcard: the installer removes no file by pattern (Windows takes \"*\" and \"?\" in "
                  "no file name); name each file in a DELETE of its own");
        } else if (NamesFolderOnly(value)) {
          line.Action = "nothing: a path ending in a separator names no file";
          Add(line.Number, TSeverity::Warning,
              "DELETE " + Quoted(value) +
                  " ends in a separator: the installer removes nothing by it, neither a folder (it removes files "
                  "only) nor a file of that name; drop the separator to remove the file");
        }
        break;
      case dkCopyDir:
        if (line.Action.empty()) line.Action = FCopyAction;
        break;
      default:
        break;
    }
  }

  void HelpFile(TLineReport& line) {
    const std::string ide = VisibleText(FIde.Shown());
    if (line.Value.empty()) {
      line.Action = "nothing: no help file named (NO Help installed)";
      return;
    }
    const THelpFiles files = HelpFilesFor("", FIde.IsDelphi, FIde.Version);
    if (files.Configuration.empty()) {
      line.Action = "nothing: " + ide + " has no help layout (NO Help installed)";
      if (FIde.Version != 0 && !FHelpLayoutReported) {
        FHelpLayoutReported = true;
        Add(FLanguageLine, TSeverity::Error,
            ide + " has no help layout, so the HELPFILE on line " + std::to_string(line.Number) +
                " cannot be installed: the summary shows \"NO Help installed\"");
      }
      return;
    }
    auto shown = [](const std::string& path) { return path.substr(path.find_first_not_of('\\')); };
    line.Action = shown(files.Configuration) + ", " + shown(files.Contents) + "; removes " + shown(files.IndexCache);
  }

  void ReplaceFlag(int& previous, int number, const std::string& keyword, const std::string& summaryLine) {
    if (previous != 0) {
      Add(previous, TSeverity::Warning,
          "the " + keyword + " on line " + std::to_string(number) + " replaces this one's outcome: the summary's \"" +
              summaryLine + "\" reports only the last " + keyword);
    }
    previous = number;
  }

  // Leaves the action for a COPYDIR that will run in FCopyAction.
  void CheckCopySource(const TLineReport& line) {
    const std::string folder =
        VisibleText(line.Value.empty() ? std::string("(the installer's own folder)") : line.Value);
    std::vector<TFindEntry> entries;
    const TListing listing = FListFolder(line.Value, &entries);
    if (listing == TListing::Failed) {
      FCopyAction = "nothing known: folder " + folder + " could not be listed";
      Add(line.Number, TSeverity::Error,
          "COPYDIR folder " + Quoted(folder) +
              " could not be listed: the installer's copy would fail the same way (NO files copied)");
      return;
    }
    if (listing == TListing::Missing) {
      FCopyAction = "nothing: no folder " + folder + " beside the installer";
      Add(line.Number, TSeverity::Error,
          "COPYDIR folder " + Quoted(folder) + " does not exist beside the configuration file");
      return;
    }
    const std::vector<std::string> copied = CopiedSubfolders(entries);
    std::vector<std::string> passedOver;
    bool filesOnly = false;
    for (const TFindEntry& entry : entries) {
      if (entry.Name == "." || entry.Name == "..") continue;
      if ((entry.Attributes & AttrDirectory) == 0) {
        filesOnly = true;
      } else if (std::find(copied.begin(), copied.end(), entry.Name) == copied.end()) {
        passedOver.push_back(entry.Name);
      }
    }
    if (!copied.empty() && filesOnly) {
      Add(line.Number, TSeverity::Warning,
          "COPYDIR folder " + Quoted(folder) +
              " holds files directly beside its subfolders: the installer copies only the subfolders; move the files "
              "into one of them");
    }
    CheckReadOnlySources(line, copied);
    if (copied.empty()) {
      FCopyAction = "nothing: no subfolder in " + folder;
      Add(line.Number, TSeverity::Error,
          "COPYDIR folder " + Quoted(folder) + " holds no subfolder to copy" +
              (filesOnly ? " (files lying directly in it are not copied)" : ""));
    } else {
      FCopyAction = "subfolders " + JoinNames(copied) + " (beside the installer) into " + RootDirShown;
    }
    if (!passedOver.empty()) FCopyAction += "; passes over " + JoinNames(passedOver);
  }

  // Copies keep their source's attributes: a read-only source makes a read-only copy, which
  // the next installation of the package cannot overwrite.
  void CheckReadOnlySources(const TLineReport& line, const std::vector<std::string>& copied) {
    std::vector<std::string> folders, readOnly;
    for (const std::string& name : copied) folders.push_back(WithBackslash(line.Value) + name);
    std::size_t seen = 0;
    while (!folders.empty() && seen < 100000) {
      const std::string folder = folders.back();
      folders.pop_back();
      std::vector<TFindEntry> entries;
      if (FListFolder(folder, &entries) != TListing::Listed) continue;
      for (const TFindEntry& entry : entries) {
        ++seen;
        if (entry.Name.empty() || entry.Name[0] == '.') continue;
        if (IsPlainFolder(entry.Attributes)) {
          folders.push_back(folder + "\\" + entry.Name);
        } else if ((entry.Attributes & AttrReadOnly) != 0) {
          readOnly.push_back(folder + "\\" + entry.Name);
        }
      }
    }
    if (readOnly.empty()) return;
    std::sort(readOnly.begin(), readOnly.end());
    if (readOnly.size() > 3) {
      readOnly.resize(3);
      readOnly[2] = "...";
    }
    Add(line.Number, TSeverity::Warning,
        "files under COPYDIR folder " + Quoted(line.Value) + " are read-only (" + JoinNames(readOnly) +
            "): their copies will be read-only too, and the next installation of this package will stop at the "
            "first of them (NO files copied); clear the read-only attribute before shipping");
  }

  void CheckPathValue(const TLineReport& line) {
    const std::string& value = line.Value;
    const bool isDelete = line.Kind == dkDelete;
    const std::string keyword(KeywordOf(line.Kind));
    const bool absolute =
        (!value.empty() && (value[0] == '\\' || value[0] == '/')) || (value.size() >= 2 && value[1] == ':');
    if (absolute) {
      Add(line.Number, TSeverity::Warning,
          keyword + " " + Quoted(value) + " is an absolute path, but the installer always puts it after " +
              (isDelete ? "the IDE folder: " + WithBackslash(RootDirShown) + VisibleText(value)
                        : std::string("its own folder")));
    }
    std::string parts = value;
    std::replace(parts.begin(), parts.end(), '/', '\\');
    const std::vector<std::string> names = SplitAt(parts, '\\');
    if (std::find(names.begin(), names.end(), "..") != names.end()) {
      Add(line.Number, TSeverity::Warning,
          keyword + " " + Quoted(value) + " holds \"..\": it reaches out of " +
              (isDelete ? "the IDE folder" : "the folder beside the installer"));
    }
  }

  const std::string& FBytes;
  const TFolderLister& FListFolder;
  TScan FScan;
  TCheckResult FResult;
  std::vector<std::size_t> FActed;  // the rows of the lines handed to the run

  // The run's state as the dispatch goes.
  std::string FTitle;
  bool FHasTarget = false;
  TIdeLanguage FIde;
  int FLanguageLine = 0;
  bool FHelpLayoutReported = false;
  int FLastPackageFile = 0;
  int FLastHelpFile = 0;
  std::string FCopyAction;
  // Each page's components as this run's lines add them: base key and folded page name.
  std::map<std::string, std::vector<std::pair<std::string, int>>> FPages;
};
}  // namespace

bool TCheckResult::HasErrors() const {
  return std::any_of(Findings.begin(), Findings.end(),
                     [](const TFinding& f) { return f.Severity == TSeverity::Error; });
}

std::string KindName(TDirectiveKind kind) {
  if (kind == dkEnd) return "end";
  if (kind == dkNone) return "none";
  return std::string(KeywordOf(kind));
}

std::string VisibleText(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (const char c : s) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 32 && byte != 127) {
      out += c;
    } else if (byte == 10) {
      out += "<LF>";
    } else if (byte == 13) {
      out += "<CR>";
    } else if (byte == 9) {
      out += "<TAB>";
    } else if (byte == 0) {
      out += "<NUL>";
    } else {
      out += "<x" + HexByte(byte) + ">";
    }
  }
  return out;
}

std::vector<std::string> CopiedSubfolders(const std::vector<TFindEntry>& entries) {
  std::vector<std::string> names;
  for (const TFindEntry& entry : entries) {
    if (IsCopiedSubfolder(entry)) names.push_back(entry.Name);
  }
  return names;
}

TCheckResult CheckConfig(const std::string& bytes, const TFolderLister& listFolder) {
  return TChecker(bytes, listFolder).Run();
}

}  // namespace Ferrowind
