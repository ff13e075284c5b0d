// The checker's output: the line-by-line listing and the findings, as plain text or as one
// JSON document for build scripts. Both say the same; neither can fail.
#pragma once

#include <string>

#include "Check/ConfigCheck.h"

namespace Ferrowind {

// The program's exit code for a result: 1 when it holds an error, otherwise 0.
int ExitCodeFor(const TCheckResult& result);
// An exit code for a file that cannot be read.
constexpr int ExitUnreadable = 2;

// The listing, then each finding as "<path>:<line>: error: <text>" (or "warning:"; no line
// for a finding about the whole file), then the counts.
std::string TextReport(const TCheckResult& result, const std::string& path);
// JSON text is UTF-8: bytes 128 to 255 of the file are given as the characters U+0080 to
// U+00FF, control bytes as \u escapes.
std::string JsonReport(const TCheckResult& result, const std::string& path);
std::string JsonUnreadable(const std::string& path);
// s as a quoted JSON string, by the rule above.
std::string JsonString(const std::string& s);

}  // namespace Ferrowind
