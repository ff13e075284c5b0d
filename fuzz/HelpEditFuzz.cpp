// Arbitrary bytes as a help configuration file and a contents file, run through AddHelpLink
// and AddHelpIndex on the in-memory host. Checks: a file holding a NUL byte, a read-only
// file and a file held open are left exactly as they were; a second run writes nothing;
// with any one host call failing each file is exactly its old or its new text, and the
// result says which; no temporary file or open handle is left.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "Base/Text.h"
#include "FuzzCheck.h"
#include "LibraryInstall/ComponentInstall.h"
#include "Platform/MemoryHost.h"

namespace {

using namespace Ferrowind;

const std::string Base = "SOFTWARE\\Borland\\Delphi\\3.0";
const std::string Cfg = "C:\\D3\\Help\\Delphi3.cfg";
const std::string Cnt = "C:\\D3\\Help\\Delphi3.cnt";

// A help name or title as a Setup.cfg value can carry it into a one-line entry: stripped,
// and without the bytes that would split or end the line in the edited file.
std::string ValueText(std::string s) {
  s.erase(std::remove_if(s.begin(), s.end(), [](char c) { return c == '\r' || c == '\n' || c == '\0'; }), s.end());
  return StripBlanks(s);
}

struct TCase {
  std::string Help, Title, Config, Contents;
  bool ConfigReadOnly = false;
  bool ContentsHeld = false;
  int Transfers = 0;  // 1: reads short by a byte, 2: writes short by a byte, 3: sizes beyond memory
};

struct TOutcome {
  bool Link = false, Index = false;
  std::string Config, Contents;
};

void Prepare(TMemoryHost& host, const TCase& c) {
  host.SetValue(TRootKey::LocalMachine, Base, "RootDir", "C:\\D3");
  host.AddFile(Cfg, c.Config, c.ConfigReadOnly ? AttrArchive | AttrReadOnly : AttrArchive);
  host.AddFile(Cnt, c.Contents);
  if (c.ContentsHeld) host.HoldOpen(Cnt);
}

TOutcome Edit(TMemoryHost& host, TComponentInstall& target, const TCase& c) {
  const bool link = target.AddHelpLink(Cfg, c.Help), index = target.AddHelpIndex(Cnt, c.Help, c.Title);
  Require(host.OpenHandles() == 0, "no handle left open");
  for (const std::string& path : host.AllPaths()) {
    Require(path.find(".fw-new") == std::string::npos, "no temporary file left");
  }
  return {link, index, host.FileData(Cfg).value_or("<gone>"), host.FileData(Cnt).value_or("<gone>")};
}

bool HasNul(const std::string& s) { return s.find('\0') != std::string::npos; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  TCase c;
  const std::uint8_t flags = input.ConsumeIntegral<std::uint8_t>();
  const std::uint16_t faultPick = input.ConsumeIntegral<std::uint16_t>();
  c.ConfigReadOnly = (flags & 1) != 0;
  c.ContentsHeld = (flags & 2) != 0;
  c.Transfers = (flags >> 2) % 4;
  c.Help = ValueText(input.ConsumeRandomLengthString(64));
  if (c.Help.empty()) c.Help = "Widgets.hlp";  // the installation never edits for an empty name
  c.Title = ValueText(input.ConsumeRandomLengthString(64));
  c.Config = input.ConsumeRandomLengthString(4096);
  c.Contents = input.ConsumeRemainingBytesAsString();

  TMemoryHost host;
  Prepare(host, c);
  TComponentInstall target(host, "Delphi", 3);
  const std::size_t setupCalls = host.CallCount();
  const TOutcome first = Edit(host, target, c);
  const std::size_t calls = host.CallCount() - setupCalls;

  // What can be neither loaded nor saved is never touched.
  if (HasNul(c.Config) || c.ConfigReadOnly)
    Require(first.Config == c.Config, "unloadable or read-only configuration untouched");
  if (HasNul(c.Contents) || c.ContentsHeld)
    Require(first.Contents == c.Contents, "unloadable or held contents untouched");
  if (HasNul(c.Config)) Require(!first.Link, "a configuration with a NUL byte fails the link");
  if (HasNul(c.Contents) || c.ContentsHeld) Require(!first.Index, "unloadable contents fail the index");
  if (!HasNul(c.Config) && !c.ConfigReadOnly) {
    Require(first.Link, "a text configuration takes the link");
    const std::string line = ":LINK " + c.Help + "\r\n";
    Require(first.Config == c.Config || first.Config.compare(0, line.size(), line) == 0 ||
                first.Config.find("\n" + line) != std::string::npos,
            "a rewritten configuration holds the link line");
  }
  if (!first.Link) Require(first.Config == c.Config, "a failed link leaves the file as it was");
  if (!first.Index) Require(first.Contents == c.Contents, "a failed index leaves the file as it was");
  if (first.Config != c.Config)
    Require(first.Config.size() >= 2 && first.Config.substr(first.Config.size() - 2) == "\r\n",
            "saved text ends with CR LF");

  // A second run finds its own lines and writes nothing.
  const std::size_t logged = host.CallLog().size();
  const TOutcome second = Edit(host, target, c);
  Require(second.Config == first.Config && second.Contents == first.Contents, "a second run changes nothing");
  Require(second.Link == first.Link, "a second run gives the same link outcome");
  Require(!first.Index || second.Index, "a second run still finds the index");
  for (std::size_t i = logged; i < host.CallLog().size(); ++i) {
    const std::string& call = host.CallLog()[i];
    Require(call.rfind("FileWrite", 0) != 0 && call.rfind("ReplaceWith", 0) != 0 && call.rfind("RemoveFile", 0) != 0 &&
                call.rfind("SetAttributes", 0) != 0 && call.find(".fw-new") == std::string::npos,
            "a second run writes nothing, not even a temporary file");
  }

  // Any one call failing, or transfers falling short: each file is its old or its new text,
  // and the outcome says which.
  const std::size_t k = 1 + faultPick % calls;
  TMemoryHost faulty;
  Prepare(faulty, c);
  TComponentInstall faultyTarget(faulty, "Delphi", 3);
  faulty.FailCall(c.Transfers == 0 ? faulty.CallCount() + k : 0);
  faulty.ShortenReads(c.Transfers == 1);
  faulty.ShortenWrites(c.Transfers == 2);
  if (c.Transfers == 3) faulty.OverstateSizes(SIZE_MAX);
  const TOutcome hit = Edit(faulty, faultyTarget, c);
  if (c.Transfers == 3) Require(!hit.Link && !hit.Index, "a file larger than memory is never edited");
  Require(hit.Config == (hit.Link ? first.Config : c.Config), "configuration old or new as the link outcome says");
  Require(hit.Contents == (hit.Index ? first.Contents : c.Contents), "contents old or new as the index outcome says");
  return 0;
}
