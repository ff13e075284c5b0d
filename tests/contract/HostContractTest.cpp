// What every host promises, as Windows does it: sharing, read-only files, removal and
// replacement, copies, listings, attribute words and the registry.
#include <algorithm>
#include <vector>

#include "HostContract.h"

namespace Ferrowind {
namespace {

constexpr auto ForReading = TRegAccess::Read, ForWriting = TRegAccess::Write;
constexpr auto Reading = TFileAccess::Read, Writing = TFileAccess::ReadWrite;
constexpr auto SharingRead = TFileShare::Read, SharingNone = TFileShare::None;
constexpr auto Existing = TFileCreate::OpenExisting, Anew = TFileCreate::CreateAlways;

TEST_P(HostContract, FilesOpenOnlyAsAskedAndShareAsAsked) {
  THandle a = 0;
  EXPECT_FALSE(Open("none.txt", Reading, SharingRead, Existing, &a));
  EXPECT_EQ(a, 0u);
  ASSERT_TRUE(Open("new.txt", Writing, SharingNone, Anew, &a));
  std::size_t count = 0;
  EXPECT_TRUE(Host().FileWrite(a, "hello", 5, &count));
  EXPECT_EQ(count, 5u);
  EXPECT_TRUE(Host().FileFlush(a));
  Host().FileClose(a);
  // Names ignore case; a second reader shares with the first, and reads to the end.
  ASSERT_TRUE(Open("NEW.TXT", Reading, SharingRead, Existing, &a));
  std::uint64_t size = 0;
  EXPECT_TRUE(Host().FileSize(a, &size));
  EXPECT_EQ(size, 5u);
  EXPECT_EQ(Contents("new.txt"), "hello");
  Host().FileClose(a);
  // Creating anew truncates what was there.
  ASSERT_TRUE(Open("new.txt", Writing, SharingNone, Anew, &a));
  EXPECT_TRUE(Host().FileSize(a, &size));
  EXPECT_EQ(size, 0u);
  Host().FileClose(a);
}

// Another program's open that shares nothing keeps out every opener, the copy, the removal
// and the replacement, whichever side of it the held file is on.
TEST_P(HostContract, AFileHeldWithoutSharingKeepsEveryoneOut) {
  subject->PutFile("other.txt", "other");
  THandle held = 0, second = 0;
  ASSERT_TRUE(Open("held.txt", Writing, SharingNone, Anew, &held));
  std::size_t count = 0;
  ASSERT_TRUE(Host().FileWrite(held, "mine", 4, &count));
  for (const TFileAccess access : {Reading, Writing}) {
    for (const TFileShare share : {SharingRead, SharingNone}) {
      EXPECT_FALSE(Open("held.txt", access, share, Existing, &second));
      EXPECT_EQ(second, 0u);
    }
  }
  EXPECT_FALSE(Open("held.txt", Writing, SharingNone, Anew, &second));
  EXPECT_FALSE(Remove("held.txt"));
  EXPECT_FALSE(Copy("other.txt", "held.txt"));
  EXPECT_FALSE(Copy("held.txt", "copy.txt"));
  EXPECT_FALSE(Replace("other.txt", "held.txt"));
  EXPECT_FALSE(Replace("held.txt", "other.txt"));
  Host().FileClose(held);
  EXPECT_EQ(Contents("held.txt"), "mine");
  EXPECT_EQ(Contents("other.txt"), "other");
  EXPECT_FALSE(Exists("copy.txt"));
  EXPECT_TRUE(Remove("held.txt"));
}

// Setup.cfg is read shared for reading: a second reader may open it, a writer may not, and
// nothing may remove or replace it meanwhile.
TEST_P(HostContract, AFileSharedForReadingLetsReadersInAndKeepsWritersOut) {
  subject->PutFile("Setup.cfg", "cfg");
  subject->PutFile("other.txt", "other");
  THandle reader = 0, second = 0;
  ASSERT_TRUE(Open("Setup.cfg", Reading, SharingRead, Existing, &reader));
  EXPECT_EQ(Contents("setup.cfg"), "cfg");
  EXPECT_FALSE(Open("Setup.cfg", Writing, SharingRead, Existing, &second));
  EXPECT_FALSE(Open("Setup.cfg", Writing, SharingNone, Anew, &second));
  // A reader that would share nothing cannot have it either: the file is already open.
  EXPECT_FALSE(Open("Setup.cfg", Reading, SharingNone, Existing, &second));
  EXPECT_EQ(second, 0u);
  EXPECT_FALSE(Remove("Setup.cfg"));
  EXPECT_FALSE(Copy("other.txt", "Setup.cfg"));
  EXPECT_FALSE(Replace("other.txt", "Setup.cfg"));
  // A copy only reads its source, as the shared reader allows.
  EXPECT_TRUE(Copy("Setup.cfg", "copy.cfg"));
  Host().FileClose(reader);
  EXPECT_EQ(Contents("Setup.cfg"), "cfg");
  EXPECT_EQ(Contents("copy.cfg"), "cfg");
  EXPECT_EQ(Contents("other.txt"), "other");
  EXPECT_TRUE(Remove("Setup.cfg"));
}

TEST_P(HostContract, ReadOnlyFilesResistWritingCopyingOntoAndRemoval) {
  subject->PutFile("ro.txt", "keep");
  subject->PutFile("src.txt", "new");
  ASSERT_TRUE(Host().SetAttributes(At("ro.txt"), AttrReadOnly));
  EXPECT_EQ(Attributes("ro.txt") & (AttrReadOnly | AttrDirectory), AttrReadOnly);
  THandle file = 0;
  EXPECT_FALSE(Open("ro.txt", Writing, SharingNone, Anew, &file));
  EXPECT_FALSE(Open("ro.txt", Writing, SharingNone, Existing, &file));
  EXPECT_FALSE(Copy("src.txt", "ro.txt"));
  EXPECT_FALSE(Remove("ro.txt"));
  EXPECT_FALSE(Replace("src.txt", "ro.txt"));
  EXPECT_EQ(Contents("ro.txt"), "keep");
  EXPECT_EQ(Contents("src.txt"), "new");
  // A copy carries the read-only attribute along.
  ASSERT_TRUE(Copy("ro.txt", "ro-copy.txt"));
  EXPECT_EQ(Attributes("ro-copy.txt") & (AttrReadOnly | AttrDirectory), AttrReadOnly);
  ASSERT_TRUE(Host().SetAttributes(At("ro.txt"), 0));
  EXPECT_EQ(Attributes("ro.txt") & (AttrReadOnly | AttrDirectory), 0u);
  EXPECT_TRUE(Copy("src.txt", "ro.txt"));
  EXPECT_TRUE(Replace("src.txt", "ro.txt"));
  EXPECT_FALSE(Exists("src.txt"));
  EXPECT_TRUE(Remove("ro.txt"));
  EXPECT_FALSE(Exists("ro.txt"));
}

TEST_P(HostContract, ReplaceWithSwapsInOneStepOrLeavesBothAsTheyWere) {
  subject->PutFile("a.txt", "old");
  subject->PutFile("a.new", "new");
  EXPECT_FALSE(Replace("missing.new", "a.txt"));
  ASSERT_TRUE(Host().MakeFolder(At("Dir")));
  EXPECT_FALSE(Replace("a.new", "Dir"));
  EXPECT_FALSE(Replace("Dir", "a.txt"));
  EXPECT_EQ(Contents("a.txt"), "old");
  EXPECT_EQ(Contents("a.new"), "new");
  EXPECT_EQ(Attributes("Dir") & AttrDirectory, AttrDirectory);

  // The file in place carries the replacing file's attributes, as MoveFileExA leaves them:
  // a read-only replacement makes a read-only file.
  ASSERT_TRUE(Host().SetAttributes(At("a.new"), AttrReadOnly));
  EXPECT_TRUE(Replace("a.new", "a.txt"));
  EXPECT_EQ(Contents("a.txt"), "new");
  EXPECT_FALSE(Exists("a.new"));
  EXPECT_EQ(Attributes("a.txt") & (AttrReadOnly | AttrDirectory), AttrReadOnly);
  ASSERT_TRUE(Host().SetAttributes(At("a.txt"), 0));
  // With nothing in its place, the replacement is a rename.
  EXPECT_TRUE(Replace("a.txt", "b.txt"));
  EXPECT_EQ(Contents("b.txt"), "new");
  EXPECT_FALSE(Exists("a.txt"));
  EXPECT_FALSE(Remove("a.txt"));
  EXPECT_TRUE(Remove("b.txt"));
}

TEST_P(HostContract, CopiesOverwriteOrRefuseAsAsked) {
  subject->PutFile("src.txt", "short");
  subject->PutFile("other.txt", "other");
  subject->PutFile("dest.txt", "a much longer old text");
  EXPECT_TRUE(Copy("src.txt", "dest.txt"));
  EXPECT_EQ(Contents("dest.txt"), "short");
  EXPECT_FALSE(Copy("other.txt", "dest.txt", true));
  EXPECT_EQ(Contents("dest.txt"), "short");
  EXPECT_TRUE(Copy("src.txt", "fresh.txt", true));
  EXPECT_EQ(Contents("fresh.txt"), "short");
  EXPECT_FALSE(Copy("missing.txt", "none.txt"));
  EXPECT_FALSE(Exists("none.txt"));
  EXPECT_FALSE(Copy("src.txt", "NoFolder\\none.txt"));
  ASSERT_TRUE(Host().MakeFolder(At("Dir")));
  EXPECT_FALSE(Copy("src.txt", "Dir"));
  EXPECT_FALSE(Copy("Dir", "none.txt"));
  EXPECT_FALSE(Exists("none.txt"));
  EXPECT_EQ(Contents("src.txt"), "short");
}

TEST_P(HostContract, FoldersAreMadeOnceAndListedWithAttributeWords) {
  EXPECT_TRUE(Host().MakeFolder(At("Sub")));
  EXPECT_FALSE(Host().MakeFolder(At("SUB")));
  THandle file = 0;
  EXPECT_FALSE(Open("Sub", Reading, SharingRead, Existing, &file));
  EXPECT_FALSE(Remove("Sub"));
  EXPECT_FALSE(Host().MakeFolder(At("Missing\\Deeper")));
  subject->PutFile("Sub\\B.txt", "b");
  subject->PutFile("Sub\\Inner\\C.txt", "c");
  ASSERT_TRUE(Host().SetAttributes(At("Sub\\Inner\\C.txt"), AttrReadOnly));
  THandle find = 0;
  TFindEntry entry;
  std::vector<std::string> seen;
  // Every entry is there, "." and ".." too.
  ASSERT_EQ(Host().FindFirst(At("Sub\\*.*"), &find, &entry), TFind::Entry);
  do seen.push_back(entry.Name + ":" + std::to_string(entry.Attributes & (AttrDirectory | AttrArchive)));
  while (Host().FindNext(find, &entry) == TFind::Entry);
  Host().FindClose(find);
  std::vector<std::string> expected{".:16", "..:16", "B.txt:32", "Inner:16"};
  std::sort(seen.begin(), seen.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(seen, expected);
  // A listing's word is the whole word, as the attributes of the entry give it.
  const std::uint32_t attributes = Attributes("Sub\\Inner\\C.txt");
  ASSERT_EQ(Host().FindFirst(At("Sub\\Inner\\*"), &find, &entry), TFind::Entry);
  while (entry.Name != "C.txt" && Host().FindNext(find, &entry) == TFind::Entry) {
  }
  Host().FindClose(find);
  EXPECT_EQ(entry.Name, "C.txt");
  EXPECT_EQ(entry.Attributes, attributes);
  EXPECT_EQ(attributes & (AttrReadOnly | AttrDirectory), AttrReadOnly);
  EXPECT_EQ(Attributes("Sub\\Inner") & (AttrReadOnly | AttrDirectory | AttrArchive), AttrDirectory);
  ASSERT_TRUE(Host().SetAttributes(At("Sub\\Inner\\C.txt"), 0));
  // Nothing to list is not a failure: a missing folder, a missing name.
  EXPECT_EQ(Host().FindFirst(At("Nowhere\\*.*"), &find, &entry), TFind::NoMore);
  EXPECT_EQ(find, 0u);
  EXPECT_EQ(Host().FindFirst(At("Sub\\none.gid"), &find, &entry), TFind::NoMore);
  // A file taken for a folder is not an empty folder.
  EXPECT_EQ(Host().FindFirst(At("Sub\\B.txt\\*.*"), &find, &entry), TFind::Failed);
  EXPECT_EQ(find, 0u);
  ASSERT_EQ(Host().FindFirst(At("sub\\b.TXT"), &find, &entry), TFind::Entry);
  EXPECT_EQ(entry.Name, "B.txt");
  EXPECT_EQ(entry.Attributes & AttrArchive, AttrArchive);
  EXPECT_EQ(Host().FindNext(find, &entry), TFind::NoMore);
  Host().FindClose(find);
}

// Names as Windows takes them: trailing periods and blanks, "." and ".." in the text, case
// beyond ASCII in code page 1252, characters no name may hold; listings in case-insensitive
// order; a path made full.
TEST_P(HostContract, NamesFollowWindowsRules) {
  subject->PutFile("Lib\\Keep.dcu", "k");
  for (const char* path : {"Lib\\Keep.dcu.", "Lib.\\Keep.dcu", "Nope\\..\\Lib\\.\\Keep.dcu", "LIB\\KEEP.DCU  "})
    EXPECT_EQ(Contents(path), "k") << path;
  EXPECT_FALSE(Exists("Lib\\Kee?.dcu"));
  THandle file = 0;
  EXPECT_FALSE(Open("Lib\\new|.dcu", Writing, SharingNone, Anew, &file));
  EXPECT_FALSE(Open("Lib\\new*.dcu", Writing, SharingNone, Anew, &file));
  ASSERT_TRUE(Open("Lib\\CAF\xC9.dcu", Writing, SharingNone, Anew, &file));
  Host().FileClose(file);
  EXPECT_TRUE(Exists("lib\\caf\xE9.DCU"));
  for (const char* name : {"b.txt", "A.txt", "a_b", "aB"}) subject->PutFile(std::string("Order\\") + name, name);
  std::vector<std::string> seen;
  THandle find = 0;
  TFindEntry entry;
  ASSERT_EQ(Host().FindFirst(At("Order\\*"), &find, &entry), TFind::Entry);
  do seen.push_back(entry.Name);
  while (Host().FindNext(find, &entry) == TFind::Entry);
  Host().FindClose(find);
  EXPECT_EQ(seen, (std::vector<std::string>{".", "..", "A.txt", "aB", "a_b", "b.txt"}));
  EXPECT_EQ(ReadThrough(Host(), Host().FullPath(At("Nope\\..\\Lib\\Keep.dcu"))), "k");
}

TEST_P(HostContract, RegistryKeysAreOpenedNeverMadeAndValuesIgnoreCase) {
  THandle key = 0;
  const std::string missing = "Software\\Ferrowind Contract\\Other";
  EXPECT_FALSE(Host().RegOpen(TRootKey::CurrentUser, missing, ForWriting, &key));
  EXPECT_EQ(key, 0u);
  EXPECT_FALSE(Host().RegOpen(TRootKey::CurrentUser, missing, ForReading, &key));
  EXPECT_FALSE(Host().RegOpen(TRootKey::LocalMachine, ContractKey, ForReading, &key));
  ASSERT_TRUE(Host().RegOpen(TRootKey::CurrentUser, "SOFTWARE\\ferrowind contract\\app", ForWriting, &key));
  Host().RegClose(key);  // exists through the key below it
  ASSERT_TRUE(Host().RegOpen(TRootKey::CurrentUser, ContractKey, ForWriting, &key));
  EXPECT_TRUE(Host().RegSet(key, "Page One", "TA;TB;"));
  EXPECT_TRUE(Host().RegSet(key, "", "default \"quoted\" \\ slash"));
  // A value name with a backslash is a name, not a key.
  EXPECT_TRUE(Host().RegSet(key, "Deeper\\Name", "x"));
  Host().RegClose(key);
  EXPECT_FALSE(Host().RegOpen(TRootKey::CurrentUser, ContractKey + "\\Deeper", ForReading, &key));
  EXPECT_FALSE(Host().RegOpen(TRootKey::CurrentUser, missing, ForReading, &key));
  ASSERT_TRUE(Host().RegOpen(TRootKey::CurrentUser, "software\\FERROWIND contract\\app\\palette", ForReading, &key));
  const auto found = [&](const std::string& name) {
    std::string data;
    return Host().RegQuery(key, name, &data) == TRegRead::Found ? data : "(not found)";
  };
  EXPECT_EQ(found("PAGE ONE"), StoredString("TA;TB;"));
  EXPECT_EQ(found(""), StoredString("default \"quoted\" \\ slash"));
  EXPECT_EQ(found("deeper\\name"), StoredString("x"));
  EXPECT_FALSE(Host().RegSet(key, "Page One", "y"));  // opened for reading only
  EXPECT_EQ(found("Page One"), StoredString("TA;TB;"));
  Host().RegClose(key);
}

// Values of any length come back whole, with the zero that ends a stored string, the 257-byte
// boundary of the installer's first read included; a value that is not there is Missing, a
// read the key does not allow Failed.
TEST_P(HostContract, RegistryValuesAreReadWholeAndMissingDiffersFromFailed) {
  THandle writer = 0, reader = 0;
  ASSERT_TRUE(Host().RegOpen(TRootKey::CurrentUser, ContractKey, ForWriting, &writer));
  ASSERT_TRUE(Host().RegOpen(TRootKey::CurrentUser, ContractKey, ForReading, &reader));
  for (const std::size_t length : {0, 1, 255, 256, 257, 258, 4000}) {
    std::string value;
    for (std::size_t i = 0; i < length; ++i) value.push_back(static_cast<char>('A' + i % 26));
    const std::string name = "Length " + std::to_string(length);
    ASSERT_TRUE(Host().RegSet(writer, name, value)) << length;
    std::string data = "stale";
    EXPECT_EQ(Host().RegQuery(reader, name, &data), TRegRead::Found) << length;
    EXPECT_EQ(data.size(), StoredString(value).size());
    EXPECT_TRUE(data == StoredString(value)) << length;
  }
  std::string data = "stale";
  EXPECT_EQ(Host().RegQuery(reader, "No Such Value", &data), TRegRead::Missing);
  EXPECT_EQ(data, "");
  data = "stale";
  EXPECT_EQ(Host().RegQuery(writer, "Length 4000", &data), TRegRead::Failed);
  EXPECT_EQ(data, "");
  Host().RegClose(writer);
  Host().RegClose(reader);
}

}  // namespace
}  // namespace Ferrowind
