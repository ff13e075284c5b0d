#include "Check/Report.h"

#include <cstddef>

#include "Base/Text.h"

namespace Ferrowind {

namespace {
constexpr std::size_t KindColumn = 11;  // the longest keyword, PACKAGEFILE

std::string FateName(TLineFate fate) {
  switch (fate) {
    case TLineFate::ActedOn:
      return "actedOn";
    case TLineFate::PassedOver:
      return "passedOver";
    case TLineFate::LastLine:
      return "lastLine";
    case TLineFate::Continuation:
      return "joined";
    case TLineFate::NeverRead:
      return "neverRead";
  }
  return "";
}

std::string Quoted(const std::string& s) { return "\"" + VisibleText(s) + "\""; }

std::string Padded(std::string s, std::size_t width) {
  if (s.size() < width) s.append(width - s.size(), ' ');
  return s;
}

std::string Number(int n, std::size_t width) {
  return Padded("", width - std::min(width, std::to_string(n).size())) + std::to_string(n);
}

std::string ShownValue(const std::string& value) { return value.empty() ? "(empty)" : VisibleText(value); }

std::string DescribeLine(const TLineReport& line) {
  std::string text;
  switch (line.Fate) {
    case TLineFate::ActedOn:
      text = Padded(KindName(line.Kind), KindColumn) + "  " + ShownValue(line.Value);
      if (!line.Action.empty()) text += "  -> " + line.Action;
      break;
    case TLineFate::PassedOver:
      text = line.Text.empty() ? "passed over (empty line)" : "passed over: " + Quoted(line.Text);
      break;
    case TLineFate::LastLine:
      text = "not acted on: last line";
      if (line.Kind != dkNone) {
        text += " (" + KindName(line.Kind) + " " + ShownValue(line.Value) + ")";
      } else if (!line.Text.empty()) {
        text += ": " + Quoted(line.Text);
      }
      break;
    case TLineFate::Continuation:
      text = "read as part of line " + std::to_string(line.JoinedTo) + " (LF without CR before it)";
      if (!line.Text.empty()) text += ": " + Quoted(line.Text);
      break;
    case TLineFate::NeverRead:
      text = line.HoldsEndMark ? "never read: a byte 26 ends the text here" : "never read (after the byte 26)";
      if (!line.Text.empty() && !line.HoldsEndMark) text += ": " + Quoted(line.Text);
      break;
  }
  if (line.HoldsEndMark && line.Fate != TLineFate::NeverRead) text += "  [a byte 26 ends the text here]";
  return text;
}

std::size_t Count(const TCheckResult& result, TSeverity severity) {
  std::size_t n = 0;
  for (const TFinding& f : result.Findings) n += f.Severity == severity ? 1 : 0;
  return n;
}
}  // namespace

std::string JsonString(const std::string& s) {
  std::string out = "\"";
  for (const char c : s) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == '"' || byte == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 32 || byte == 127) {
      out += "\\u00" + HexByte(byte, false);
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string JsonArray(const std::vector<std::string>& items) {
  if (items.empty()) return "[]";
  std::string out = "[";
  for (std::size_t i = 0; i < items.size(); ++i) out += (i == 0 ? "\n    " : ",\n    ") + items[i];
  return out + "\n  ]";
}

std::string JsonOutput(THost& host, const std::string& document) {
  const std::string text = host.SystemTextAsUtf8(document);
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    // The length of a well-formed UTF-8 sequence starting here; 0 for a byte that starts none.
    std::size_t length = lead < 0x80                    ? 1
                         : lead >= 0xC2 && lead <= 0xDF ? 2
                         : lead >= 0xE0 && lead <= 0xEF ? 3
                         : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                        : 0;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0;
      const bool overlong = k == 1 && ((lead == 0xE0 && next < 0xA0) || (lead == 0xF0 && next < 0x90));
      const bool beyond = k == 1 && ((lead == 0xED && next > 0x9F) || (lead == 0xF4 && next > 0x8F));
      if ((next & 0xC0) != 0x80 || overlong || beyond) length = 0;
    }
    if (length == 0) {
      out += "\\\\x" + HexByte(lead);
      ++i;
    } else {
      out.append(text, i, length);
      i += length;
    }
  }
  return out;
}

int ExitCodeFor(const TCheckResult& result) { return result.HasErrors() ? 1 : 0; }

std::string TextReport(const TCheckResult& result, const std::string& path) {
  std::string out = path + ": what the installer makes of each line\n";
  const std::size_t width = std::to_string(result.Lines.empty() ? 1 : result.Lines.back().Number).size() + 2;
  for (const TLineReport& line : result.Lines) out += Number(line.Number, width) + "  " + DescribeLine(line) + "\n";
  if (result.Lines.empty()) out += "  (the file is empty)\n";
  out += "\n";
  for (const TFinding& f : result.Findings) {
    // The form compilers use, which editors and build logs pick up.
    out += path + (f.Line == 0 ? std::string() : ":" + std::to_string(f.Line)) + ": " +
           (f.Severity == TSeverity::Error ? "error: " : "warning: ") + f.Message + "\n";
  }
  const std::size_t errors = Count(result, TSeverity::Error);
  const std::size_t warnings = Count(result, TSeverity::Warning);
  out += std::to_string(errors) + (errors == 1 ? " error, " : " errors, ") + std::to_string(warnings) +
         (warnings == 1 ? " warning\n" : " warnings\n");
  return out;
}

std::string JsonReport(const TCheckResult& result, const std::string& path) {
  std::vector<std::string> lines, findings;
  for (const TLineReport& line : result.Lines) {
    std::string out = "{\"line\": " + std::to_string(line.Number) + ", \"fate\": " + JsonString(FateName(line.Fate));
    if (line.Fate == TLineFate::ActedOn || line.Fate == TLineFate::LastLine || line.Fate == TLineFate::PassedOver) {
      out += ", \"kind\": " + JsonString(KindName(line.Kind)) + ", \"value\": " + JsonString(line.Value);
    }
    out += ", \"text\": " + JsonString(line.Text);
    if (line.Fate == TLineFate::Continuation) out += ", \"joinedTo\": " + std::to_string(line.JoinedTo);
    if (line.HoldsEndMark) out += ", \"endMark\": true";
    if (!line.Action.empty()) out += ", \"action\": " + JsonString(line.Action);
    lines.push_back(out + "}");
  }
  for (const TFinding& f : result.Findings) {
    findings.push_back("{\"line\": " + (f.Line == 0 ? std::string("null") : std::to_string(f.Line)) +
                       ", \"severity\": " + JsonString(f.Severity == TSeverity::Error ? "error" : "warning") +
                       ", \"message\": " + JsonString(f.Message) + "}");
  }
  return "{\n  \"file\": " + JsonString(path) + ",\n  \"exitCode\": " + std::to_string(ExitCodeFor(result)) +
         ",\n  \"lines\": " + JsonArray(lines) + ",\n  \"findings\": " + JsonArray(findings) +
         ",\n  \"errors\": " + std::to_string(Count(result, TSeverity::Error)) +
         ",\n  \"warnings\": " + std::to_string(Count(result, TSeverity::Warning)) + "\n}\n";
}

std::string JsonUnreadable(const std::string& path) {
  return "{\n  \"file\": " + JsonString(path) + ",\n  \"exitCode\": " + std::to_string(ExitUnreadable) +
         ",\n  \"error\": \"the file cannot be read\"\n}\n";
}

}  // namespace Ferrowind
