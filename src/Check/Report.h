// The checker's output: the line-by-line listing and the findings, as plain text or as one
// JSON document for build scripts. Both say the same; neither can fail.
#pragma once

#include <string>
#include <vector>

#include "Check/ConfigCheck.h"
#include "Platform/Host.h"

namespace Ferrowind {

// The program's exit code for a result: 1 when it holds an error, otherwise 0.
int ExitCodeFor(const TCheckResult& result);
// An exit code for a file that cannot be read.
constexpr int ExitUnreadable = 2;

// The listing, then each finding as "<path>:<line>: error: <text>" (or "warning:"; no line
// for a finding about the whole file), then the counts.
std::string TextReport(const TCheckResult& result, const std::string& path);
// The same as one JSON document, before JsonOutput.
std::string JsonReport(const TCheckResult& result, const std::string& path);
std::string JsonUnreadable(const std::string& path);
// A JSON string of s's bytes: quotes, backslashes and control bytes escaped, other bytes as
// they are; JsonOutput makes the document UTF-8.
std::string JsonString(const std::string& s);
// items as the array of a member of the top object, one to a line; "[]" for none.
std::string JsonArray(const std::vector<std::string>& items);
// A JSON document as the checker writes it: its text decoded from the code page the system
// runs programs in, a byte that is no text there written as the escape \xHH.
std::string JsonOutput(THost& host, const std::string& document);

}  // namespace Ferrowind
