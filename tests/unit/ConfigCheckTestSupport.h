// Shared by the checker's unit tests: runs the analysis over bytes and a folder map, and
// renders what it found in short forms that tests can compare.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "Check/ConfigCheck.h"

namespace Ferrowind::CheckTest {

using TFolders = std::map<std::string, std::vector<TFindEntry>>;

// The analysis, with folders looked up by exact name. Every run also asserts that the
// installer's reader and the checker's line scan agree on what is acted on.
inline TCheckResult Check(const std::string& bytes, const TFolders& folders = {}) {
  const TFolderLister lister = [&folders](const std::string& name) -> std::optional<std::vector<TFindEntry>> {
    const auto found = folders.find(name);
    if (found == folders.end()) return std::nullopt;
    return found->second;
  };
  TCheckResult result = CheckConfig(bytes, lister);
  EXPECT_EQ(result.ReaderDirectives.size(), result.ScannedDirectives.size());
  for (std::size_t i = 0; i < result.ReaderDirectives.size() && i < result.ScannedDirectives.size(); ++i) {
    EXPECT_EQ(result.ReaderDirectives[i].Kind, result.ScannedDirectives[i].Kind) << i;
    EXPECT_EQ(result.ReaderDirectives[i].Value, result.ScannedDirectives[i].Value) << i;
  }
  return result;
}

// "kind:value" of each directive the reader hands to the run, kind 9 included.
inline std::vector<std::string> ActedOn(const TCheckResult& result) {
  std::vector<std::string> out;
  for (const TDirective& d : result.ReaderDirectives) out.push_back(std::to_string(d.Kind) + ":" + d.Value);
  return out;
}

// One short entry per listed line: "number fate", fate as acted/passed/last/joinedN/unread.
inline std::vector<std::string> Fates(const TCheckResult& result) {
  std::vector<std::string> out;
  for (const TLineReport& line : result.Lines) {
    std::string fate;
    switch (line.Fate) {
      case TLineFate::ActedOn: fate = "acted"; break;
      case TLineFate::PassedOver: fate = "passed"; break;
      case TLineFate::LastLine: fate = "last"; break;
      case TLineFate::Continuation: fate = "joined" + std::to_string(line.JoinedTo); break;
      case TLineFate::NeverRead: fate = "unread"; break;
    }
    out.push_back(std::to_string(line.Number) + " " + fate + (line.HoldsEndMark ? " 26" : ""));
  }
  return out;
}

// Each finding as "line E" or "line W" (line 0 for the whole file).
inline std::vector<std::string> Kinds(const TCheckResult& result) {
  std::vector<std::string> out;
  for (const TFinding& f : result.Findings) {
    out.push_back(std::to_string(f.Line) + (f.Severity == TSeverity::Error ? " E" : " W"));
  }
  return out;
}

// The message of the only finding at line with that severity; empty (and a test failure)
// when there is none or more than one.
inline std::string MessageAt(const TCheckResult& result, int line, TSeverity severity) {
  std::vector<std::string> found;
  for (const TFinding& f : result.Findings) {
    if (f.Line == line && f.Severity == severity) found.push_back(f.Message);
  }
  EXPECT_EQ(found.size(), 1u) << "line " << line;
  return found.size() == 1 ? found.front() : std::string();
}

// The report row of an editor line.
inline const TLineReport& Row(const TCheckResult& result, int number) {
  for (const TLineReport& line : result.Lines) {
    if (line.Number == number) return line;
  }
  static const TLineReport none;
  ADD_FAILURE() << "no row for line " << number;
  return none;
}

using V = std::vector<std::string>;

}  // namespace Ferrowind::CheckTest
