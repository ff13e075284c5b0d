// Setup.cfg bytes through the reader, checked against a plain model of the line rules:
// lines end at CR (one LF after it is skipped), byte 26 ends the text, the last line read
// is never acted on, keywords match ignoring case, values are stripped and at most 1000
// bytes; lines read through the file's blocks are the model's, and the checker lists the
// directives the reader reads. Text already in memory reads as the file does. The last input
// byte picks one host call to fail; the directives read then must be a prefix of the clean
// run's.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "Base/Text.h"
#include "Check/ConfigCheck.h"
#include "FuzzCheck.h"
#include "Platform/MemoryHost.h"
#include "Setup/ConfigReader.h"

namespace {

using namespace Ferrowind;

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

std::string_view Strip(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

TDirective Expected(std::string_view line) {
  static const char* const Keywords[] = {"PACKAGE",   "LANGUAGE", "PACKAGEFILE", "HELPFILE",
                                         "COMPONENT", "MESSAGE",  "DELETE",      "COPYDIR"};
  TDirective directive;
  directive.Kind = dkNone;
  const std::size_t equals = line.find('=');
  const std::string key = ToUpperAscii(equals == std::string_view::npos ? line : Strip(line.substr(0, equals)));
  for (int i = 0; i < 8; ++i) {
    if (key == Keywords[i]) directive.Kind = static_cast<TDirectiveKind>(i + 1);
  }
  if (equals != std::string_view::npos) directive.Value = std::string(Strip(line.substr(equals + 1, 1000)));
  return directive;
}

// The lines the reader hands out: the text up to its first byte 26, split at each CR, one LF
// after a CR skipped.
std::vector<std::string_view> ModelLines(std::string_view text) {
  text = text.substr(0, text.find('\x1a'));
  std::vector<std::string_view> lines;
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t cr = std::min(text.find('\r', pos), text.size());
    lines.push_back(text.substr(pos, cr - pos));
    pos = cr + (cr + 1 < text.size() && text[cr + 1] == '\n' ? 2 : 1);
  }
  return lines;
}

// The directives: those of every line but the last, which is never acted on.
std::vector<TDirective> Model(std::string_view text) {
  std::vector<std::string_view> lines = ModelLines(text);
  if (!lines.empty()) lines.pop_back();
  std::vector<TDirective> directives;
  for (const std::string_view line : lines) {
    if (TDirective directive = Expected(line); directive.Kind != dkNone) directives.push_back(std::move(directive));
  }
  return directives;
}

std::vector<TDirective> Read(const std::string& text, std::size_t failCall, bool* opened) {
  TMemoryHost host;
  host.AddFile("Setup.cfg", text);
  host.FailCall(failCall);
  std::vector<TDirective> directives;
  {
    TConfigReader reader(host);
    *opened = reader.Open();
    if (*opened) {
      for (TDirective d = reader.ReadDirective(); d.Kind != dkEnd; d = reader.ReadDirective()) {
        Require(d.Kind >= dkPackage && d.Kind <= dkCopyDir, "kind within 1..8");
        Require(d.Value.size() <= 1000, "value at most 1000 bytes");
        Require(d.Value.empty() || (!IsBlank(d.Value.front()) && !IsBlank(d.Value.back())), "value stripped");
        directives.push_back(std::move(d));
        Require(directives.size() <= text.size(), "no more directives than bytes");
      }
      const TDirective after = reader.ReadDirective();
      Require(after.Kind == dkEnd && after.Value.empty(), "kind 0 stays the end");
    }
  }
  Require(host.OpenHandles() == 0, "file closed with the reader");
  Require(host.FileData("Setup.cfg") == text, "the file is only read");
  return directives;
}

bool Same(const TDirective& a, const TDirective& b) { return a.Kind == b.Kind && a.Value == b.Value; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::size_t failCall = input.ConsumeIntegralInRange<std::size_t>(0, 4);
  const std::string text = input.ConsumeRemainingBytesAsString();

  bool opened = false;
  const std::vector<TDirective> clean = Read(text, 0, &opened);
  Require(opened, "an existing file opens");
  const std::vector<TDirective> model = Model(text);
  Require(clean.size() == model.size(), "directive count as the line rules give");
  for (std::size_t i = 0; i < clean.size(); ++i) Require(Same(clean[i], model[i]), "directive as the line rules give");

  TConfigReader loaded(text);
  std::size_t count = 0;
  for (TDirective d = loaded.ReadDirective(); d.Kind != dkEnd; d = loaded.ReadDirective(), ++count)
    Require(count < clean.size() && Same(d, clean[count]), "text in memory reads as the file does");
  Require(count == clean.size(), "text in memory gives as many directives as the file");
  const std::size_t mark = text.find('\x1a');
  Require(loaded.EndedByMark() == (mark != std::string::npos), "a byte 26 is seen");
  Require(loaded.TextEnd() == std::min(mark, text.size()), "the text ends at the first byte 26");

  // Line by line through the file's 64 KiB blocks, as the model splits them.
  TMemoryHost host;
  host.AddFile("Setup.cfg", text);
  TConfigReader lines(host);
  Require(lines.Open(), "an existing file opens");
  const std::vector<std::string_view> expected = ModelLines(text);
  std::size_t n = 0;
  for (TReadLine line; lines.ReadLine(&line); ++n)
    Require(n < expected.size() && line.Text == expected[n] && line.Last == (n + 1 == expected.size()),
            "lines as the line rules give");
  Require(n == expected.size(), "as many lines as the line rules give");

  // The checker lists as acted on or passed over exactly the directives the reader hands out.
  const TCheckResult checked =
      CheckConfig(text, [](const std::string&, std::vector<TFindEntry>*) { return TListing::Missing; });
  std::size_t listed = 0;
  for (const TLineReport& l : checked.Lines) {
    if ((l.Fate != TLineFate::ActedOn && l.Fate != TLineFate::PassedOver) || l.Kind == dkNone) continue;
    Require(listed < clean.size() && l.Kind == clean[listed].Kind && l.Value == clean[listed].Value,
            "the checker lists the directive the reader reads");
    ++listed;
  }
  Require(listed == clean.size(), "the checker lists every directive the reader reads");

  if (failCall != 0) {
    const std::vector<TDirective> faulted = Read(text, failCall, &opened);
    Require(opened == (failCall != 1), "only a failed open fails the open");
    Require(faulted.size() <= clean.size(), "a failed read never adds directives");
    for (std::size_t i = 0; i < faulted.size(); ++i)
      Require(Same(faulted[i], clean[i]), "a failed read ends, never alters");
  }
  return 0;
}
