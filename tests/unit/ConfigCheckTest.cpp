// The checker's listing against the installer's reader: every file's directives listed as
// acted on or passed over are exactly those the reader hands out. What the checker prints for
// chosen files is held by the golden files of tests/checker.
#include <gtest/gtest.h>

#include <random>

#include "Base/Text.h"
#include "Check/CheckDisk.h"
#include "Check/ConfigCheck.h"
#include "Platform/MemoryHost.h"
#include "Platform/WholeFile.h"
#include "Setup/ConfigReader.h"

namespace Ferrowind {
namespace {

using V = std::vector<std::string>;

void ExpectListingAsRead(const std::string& bytes) {
  const TCheckResult result =
      CheckConfig(bytes, [](const std::string&, std::vector<TFindEntry>*) { return TListing::Missing; });
  const auto entry = [](int kind, const std::string& value) { return std::to_string(kind) + ":" + value; };
  V read, listed;
  TMemoryHost host;
  host.AddFile("Setup.cfg", bytes);
  TConfigReader reader(host);
  ASSERT_TRUE(reader.Open());
  for (TDirective d = reader.ReadDirective(); d.Kind != dkEnd; d = reader.ReadDirective())
    read.push_back(entry(d.Kind, d.Value));
  for (const TLineReport& l : result.Lines) {
    if ((l.Fate == TLineFate::ActedOn || l.Fate == TLineFate::PassedOver) && l.Kind != dkNone)
      listed.push_back(entry(l.Kind, l.Value));
  }
  EXPECT_EQ(listed, read);
}

// Lines longer than the reader's 64 KiB block, and a CR LF pair that its block boundary
// splits (the CR as the block's last byte, its first, or the byte before the last); then
// short files of the bytes that matter, which reach combinations no table names.
TEST(ConfigCheck, ListsWhatTheReaderReads) {
  const std::string lang = "LANGUAGE=Delphi 3\r\n";
  ExpectListingAsRead(lang + std::string(70000, 'x') + "\r\nMESSAGE=ok\r\n" + std::string(70000, 'x') + "\r\n\r\n");
  for (std::size_t block : {65535u, 65536u, 65537u}) {
    SCOPED_TRACE(block);
    const std::string text = "MESSAGE=" + std::string(block - 9, 'a') + "\r\nMESSAGE=b\r\n\r\n";
    ExpectListingAsRead(text);
    // The LF of a CR LF pair is skipped also when it opens the next block.
    TMemoryHost host;
    host.AddFile("Setup.cfg", text);
    TConfigReader reader(host);
    ASSERT_TRUE(reader.Open());
    for (TReadLine line; reader.ReadLine(&line);) EXPECT_EQ(line.Text.find(LF), std::string_view::npos);
  }
  const V pieces = {"\r", "\n", "\r\n", "\x1a", "=", " ", "MESSAGE", "x", std::string(1, '\0')};
  std::minstd_rand next(12345);
  for (int file = 0; file < 500 && !HasFailure(); ++file) {
    std::string text;
    for (auto length = next() % 12; length > 0; --length) text += pieces[next() % pieces.size()];
    SCOPED_TRACE(VisibleText(text));
    ExpectListingAsRead(text);
  }
}

// A COPYDIR folder whose listing fails, at the start or part-way, is a failure to report,
// never a folder without subfolders; a failed read of the file is never half a file.
TEST(ConfigCheck, AFailedListingOrReadIsAFailure) {
  std::vector<TFindEntry> entries;
  for (const TMemoryHost::TOp op : {TMemoryHost::TOp::FindFirst, TMemoryHost::TOp::FindNext}) {
    TMemoryHost failing;
    failing.AddFile("C:\\Pkg\\Files\\Lib\\a.dcu", "a");
    failing.FailOperation(op);
    entries = {{"stale", AttrDirectory}};
    EXPECT_EQ(HostFolderLister(failing, "C:\\Pkg\\")("Files", &entries), TListing::Failed);
    EXPECT_TRUE(entries.empty());
    EXPECT_EQ(failing.OpenHandles(), 0u);
  }
  const TCheckResult unlisted =
      CheckConfig("LANGUAGE=Delphi 3\r\nCOPYDIR=Files\r\n\r\n",
                  [](const std::string&, std::vector<TFindEntry>*) { return TListing::Failed; });
  ASSERT_EQ(unlisted.Findings.size(), 1u);
  EXPECT_EQ(unlisted.Findings[0].Severity, TSeverity::Error);
  EXPECT_NE(unlisted.Findings[0].Message.find("could not be listed"), std::string::npos);
  TMemoryHost host;
  const std::string text = "LANGUAGE=Delphi 3\r\n" + std::string(200000, 'x') + "\r\n";
  host.AddFile("C:\\Pkg\\Setup.cfg", text);
  std::string bytes = "stale";
  EXPECT_TRUE(ReadWholeFile(host, "C:\\Pkg\\Setup.cfg", &bytes) && bytes == text);
  host.FailCall(host.CallCount() + 3);  // open, first block, then the second block fails
  EXPECT_FALSE(ReadWholeFile(host, "C:\\Pkg\\Setup.cfg", &bytes));
  EXPECT_EQ(bytes, "");  // nothing half read
  EXPECT_EQ(host.OpenHandles(), 0u);
}

}  // namespace
}  // namespace Ferrowind
