// Shared by the checker's unit tests: runs the analysis over a file and compares its findings
// and the actions of chosen lines with a table of expected entries.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "Check/ConfigCheck.h"
#include "Platform/MemoryHost.h"

namespace Ferrowind::CheckTest {

using V = std::vector<std::string>;
using TFolders = std::map<std::string, std::vector<TFindEntry>>;

const std::string Lang = "LANGUAGE=Delphi 3\r\n";

// The analysis, folders looked up by exact name ("?" before a name: its listing fails).
// Every run asserts that the installer reading the file from disk hands out exactly the
// directives the listing says are acted on.
inline TCheckResult Check(const std::string& bytes, const TFolders& folders = {}) {
  TCheckResult result = CheckConfig(bytes, [&folders](const std::string& name, std::vector<TFindEntry>* entries) {
    if (folders.count("?" + name)) return TListing::Failed;
    const auto found = folders.find(name);
    if (found == folders.end()) return TListing::Missing;
    *entries = found->second;
    return TListing::Listed;
  });
  const auto entry = [](int kind, const std::string& value) { return std::to_string(kind) + ":" + value; };
  V read, listed;
  TMemoryHost host;
  host.AddFile("Setup.cfg", bytes);
  TConfigReader reader(host);
  EXPECT_TRUE(reader.Open());
  for (TDirective d = reader.ReadDirective(); d.Kind != dkEnd; d = reader.ReadDirective())
    read.push_back(entry(d.Kind, d.Value));
  for (const TLineReport& l : result.Lines) {
    if ((l.Fate == TLineFate::ActedOn || l.Fate == TLineFate::PassedOver) && l.Kind != dkNone)
      listed.push_back(entry(l.Kind, l.Value));
  }
  EXPECT_EQ(listed, read);
  return result;
}

// Whether actual starts with expected; a "..." in expected stands for any bytes.
inline bool Matches(const std::string& actual, const std::string& expected) {
  const std::size_t gap = expected.find("...");
  const std::string head = expected.substr(0, gap), rest = gap == std::string::npos ? "" : expected.substr(gap + 3);
  return actual.starts_with(head) && actual.find(rest, head.size()) != std::string::npos;
}

// A file, every finding it gives in order ("line N: error: ..." or "line N: warning: ...",
// line 0 for the whole file), and the actions of chosen lines ("N -> ...").
struct TCase {
  std::string File;
  V Findings, Actions = {};
  TFolders Folders = {};
};

inline void CheckAll(const std::vector<TCase>& cases) {
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE("case " + std::to_string(i));
    const TCheckResult result = Check(cases[i].File, cases[i].Folders);
    V found;
    for (const TFinding& f : result.Findings) {
      const bool error = f.Severity == TSeverity::Error;
      found.push_back("line " + std::to_string(f.Line) + (error ? ": error: " : ": warning: ") + f.Message);
    }
    bool same = found.size() == cases[i].Findings.size();
    for (std::size_t k = 0; same && k < found.size(); ++k) same = Matches(found[k], cases[i].Findings[k]);
    EXPECT_TRUE(same) << ::testing::PrintToString(found);
    for (const std::string& action : cases[i].Actions) {
      const std::size_t n = std::stoul(action);  // rows are numbered 1, 2, 3 ...
      const std::string row = n - 1 < result.Lines.size() ? result.Lines[n - 1].Action : "(no such line)";
      EXPECT_TRUE(Matches(std::to_string(n) + " -> " + row, action)) << row;
    }
  }
}

}  // namespace Ferrowind::CheckTest
