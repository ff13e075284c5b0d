// The checker's analysis of a Setup.cfg: for every line of the file, what the installer's
// own reader makes of it and what a run will do with it, and the findings (errors and
// warnings) for the traps of the line and end rules, the keywords, the order of the directives and
// the folders COPYDIR needs. A pure function of the file's bytes; folders are seen only
// through the lister it is given, so nothing else on disk is read.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/Host.h"
#include "Setup/ConfigReader.h"

namespace Ferrowind {

// What becomes of one line of the file as an editor shows it (lines ending at CR LF, CR or
// LF).
enum class TLineFate {
  ActedOn,       // the reader hands it to the run as a directive
  PassedOver,    // handed to the run, but it holds no keyword
  LastLine,      // the last line read: discarded by the reader, never acted on
  Continuation,  // begins after an LF without a CR: the reader joins it to an earlier line
  NeverRead      // at or after the byte 26 that ends the text
};

enum class TSeverity { Error, Warning };

struct TLineReport {
  int Number = 0;  // 1-based, as an editor counts lines
  TLineFate Fate = TLineFate::PassedOver;
  TDirectiveKind Kind = dkNone;  // the reader's classification (of the joined line, if joined)
  std::string Value;
  std::string Text;           // the line's bytes, line break excluded
  std::string Action;         // what the run does with it; empty when it does nothing
  int JoinedTo = 0;           // Continuation: the line it is read as part of
  bool HoldsEndMark = false;  // the byte 26 that ends the text lies on this line
};

struct TFinding {
  int Line = 0;  // 0 for a finding about the whole file
  TSeverity Severity = TSeverity::Warning;
  std::string Message;
};

struct TCheckResult {
  std::vector<TLineReport> Lines;
  std::vector<TFinding> Findings;  // ordered by line; whole-file findings last

  bool HasErrors() const;
};

enum class TListing { Listed, Missing, Failed };
// Puts in *entries what an enumeration of folder (a path relative to the configuration
// file's folder, "\" separators, possibly empty) delivers, "." and ".." included. Missing
// when there is no such folder; Failed when it could not be listed whole.
using TFolderLister = std::function<TListing(const std::string& folder, std::vector<TFindEntry>* entries)>;

TCheckResult CheckConfig(const std::string& bytes, const TFolderLister& listFolder);

// The subfolders COPYDIR copies out of these entries, in enumeration order: the rule the
// installer's folder copy applies.
std::vector<std::string> CopiedSubfolders(const std::vector<TFindEntry>& entries);

// The display name of a directive kind: its keyword, "end" for 0 and "none" for 9.
std::string KindName(TDirectiveKind kind);

// s with every control byte (0 to 31 and 127) shown as a tag such as <LF>, <TAB> or <x1A>,
// so that a line's invisible bytes can be printed.
std::string VisibleText(std::string_view s);

}  // namespace Ferrowind
