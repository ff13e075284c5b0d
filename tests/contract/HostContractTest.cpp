// What every host promises, as Windows does it: sharing, read-only files, removal and
// replacement, copies, listings, attribute words and the registry.
#include <algorithm>
#include <optional>
#include <vector>

#include "HostContract.h"

namespace Ferrowind {
namespace {

// The access masks, named once.
constexpr auto ForReading = TRegAccess::Read;
constexpr auto ForWriting = TRegAccess::Write;

// The whole file as read through the host, or nothing when it cannot be opened.
std::optional<std::string> Contents(THost& host, const std::string& path) {
  THandle file = 0;
  if (!host.FileOpen(path, TFileAccess::Read, TFileShare::Read, TFileCreate::OpenExisting, &file)) return std::nullopt;
  std::string data;
  char buffer[512];
  std::size_t got = 0;
  while (host.FileRead(file, buffer, sizeof buffer, &got) && got > 0) data.append(buffer, got);
  host.FileClose(file);
  return data;
}

bool Exists(THost& host, const std::string& path) {
  std::uint32_t attributes = 0;
  return host.GetAttributes(path, &attributes);
}

TEST_P(HostContract, FilesOpenOnlyAsAskedAndShareAsAsked) {
  THandle a = 0, b = 0;
  EXPECT_FALSE(Host().FileOpen(At("none.txt"), TFileAccess::Read, TFileShare::Read, TFileCreate::OpenExisting, &a));
  EXPECT_EQ(a, 0u);
  ASSERT_TRUE(Host().FileOpen(At("new.txt"), TFileAccess::ReadWrite, TFileShare::None, TFileCreate::CreateAlways, &a));
  std::size_t count = 0;
  EXPECT_TRUE(Host().FileWrite(a, "hello", 5, &count));
  EXPECT_EQ(count, 5u);
  EXPECT_TRUE(Host().FileFlush(a));
  Host().FileClose(a);
  ASSERT_TRUE(Host().FileOpen(At("NEW.TXT"), TFileAccess::Read, TFileShare::Read, TFileCreate::OpenExisting, &a));
  ASSERT_TRUE(Host().FileOpen(At("new.txt"), TFileAccess::Read, TFileShare::Read, TFileCreate::OpenExisting, &b));
  std::uint64_t size = 0;
  EXPECT_TRUE(Host().FileSize(b, &size));
  EXPECT_EQ(size, 5u);
  char buffer[8] = {};
  EXPECT_TRUE(Host().FileRead(b, buffer, sizeof buffer, &count));
  EXPECT_EQ(std::string(buffer, count), "hello");
  EXPECT_TRUE(Host().FileRead(b, buffer, sizeof buffer, &count));
  EXPECT_EQ(count, 0u);
  Host().FileClose(a);
  Host().FileClose(b);
  // Creating anew truncates what was there.
  ASSERT_TRUE(Host().FileOpen(At("new.txt"), TFileAccess::ReadWrite, TFileShare::None, TFileCreate::CreateAlways, &a));
  EXPECT_TRUE(Host().FileSize(a, &size));
  EXPECT_EQ(size, 0u);
  Host().FileClose(a);
}

// Another program's open that shares nothing keeps out every opener, the copy, the removal
// and the replacement, whichever side of it the held file is on.
TEST_P(HostContract, AFileHeldWithoutSharingKeepsEveryoneOut) {
  subject->PutFile("other.txt", "other");
  THandle held = 0, second = 0;
  ASSERT_TRUE(
      Host().FileOpen(At("held.txt"), TFileAccess::ReadWrite, TFileShare::None, TFileCreate::CreateAlways, &held));
  std::size_t count = 0;
  ASSERT_TRUE(Host().FileWrite(held, "mine", 4, &count));
  for (const TFileAccess access : {TFileAccess::Read, TFileAccess::ReadWrite}) {
    for (const TFileShare share : {TFileShare::Read, TFileShare::None}) {
      EXPECT_FALSE(Host().FileOpen(At("held.txt"), access, share, TFileCreate::OpenExisting, &second));
      EXPECT_EQ(second, 0u);
    }
  }
  EXPECT_FALSE(
      Host().FileOpen(At("held.txt"), TFileAccess::ReadWrite, TFileShare::None, TFileCreate::CreateAlways, &second));
  EXPECT_FALSE(Host().RemoveFile(At("held.txt")));
  EXPECT_FALSE(Host().CopyFileTo(At("other.txt"), At("held.txt"), false));
  EXPECT_FALSE(Host().CopyFileTo(At("held.txt"), At("copy.txt"), false));
  EXPECT_FALSE(Host().ReplaceWith(At("other.txt"), At("held.txt")));
  EXPECT_FALSE(Host().ReplaceWith(At("held.txt"), At("other.txt")));
  Host().FileClose(held);
  EXPECT_EQ(Contents(Host(), At("held.txt")), "mine");
  EXPECT_EQ(Contents(Host(), At("other.txt")), "other");
  EXPECT_FALSE(Exists(Host(), At("copy.txt")));
  EXPECT_TRUE(Host().RemoveFile(At("held.txt")));
}

// Setup.cfg is read shared for reading: a second reader may open it, a writer may not, and
// nothing may remove or replace it meanwhile.
TEST_P(HostContract, AFileSharedForReadingLetsReadersInAndKeepsWritersOut) {
  subject->PutFile("Setup.cfg", "cfg");
  subject->PutFile("other.txt", "other");
  THandle reader = 0, second = 0;
  ASSERT_TRUE(
      Host().FileOpen(At("Setup.cfg"), TFileAccess::Read, TFileShare::Read, TFileCreate::OpenExisting, &reader));
  EXPECT_EQ(Contents(Host(), At("setup.cfg")), "cfg");
  EXPECT_FALSE(
      Host().FileOpen(At("Setup.cfg"), TFileAccess::ReadWrite, TFileShare::Read, TFileCreate::OpenExisting, &second));
  EXPECT_FALSE(
      Host().FileOpen(At("Setup.cfg"), TFileAccess::ReadWrite, TFileShare::None, TFileCreate::CreateAlways, &second));
  // A reader that would share nothing cannot have it either: the file is already open.
  EXPECT_FALSE(
      Host().FileOpen(At("Setup.cfg"), TFileAccess::Read, TFileShare::None, TFileCreate::OpenExisting, &second));
  EXPECT_EQ(second, 0u);
  EXPECT_FALSE(Host().RemoveFile(At("Setup.cfg")));
  EXPECT_FALSE(Host().CopyFileTo(At("other.txt"), At("Setup.cfg"), false));
  EXPECT_FALSE(Host().ReplaceWith(At("other.txt"), At("Setup.cfg")));
  // A copy only reads its source, as the shared reader allows.
  EXPECT_TRUE(Host().CopyFileTo(At("Setup.cfg"), At("copy.cfg"), false));
  Host().FileClose(reader);
  EXPECT_EQ(Contents(Host(), At("Setup.cfg")), "cfg");
  EXPECT_EQ(Contents(Host(), At("copy.cfg")), "cfg");
  EXPECT_EQ(Contents(Host(), At("other.txt")), "other");
  EXPECT_TRUE(Host().RemoveFile(At("Setup.cfg")));
}

TEST_P(HostContract, ReadOnlyFilesResistWritingCopyingOntoAndRemoval) {
  subject->PutFile("ro.txt", "keep");
  subject->PutFile("src.txt", "new");
  ASSERT_TRUE(Host().SetAttributes(At("ro.txt"), AttrReadOnly));
  std::uint32_t attributes = 0;
  ASSERT_TRUE(Host().GetAttributes(At("ro.txt"), &attributes));
  EXPECT_NE(attributes & AttrReadOnly, 0u);
  THandle file = 0;
  EXPECT_FALSE(
      Host().FileOpen(At("ro.txt"), TFileAccess::ReadWrite, TFileShare::None, TFileCreate::CreateAlways, &file));
  EXPECT_FALSE(
      Host().FileOpen(At("ro.txt"), TFileAccess::ReadWrite, TFileShare::None, TFileCreate::OpenExisting, &file));
  EXPECT_FALSE(Host().CopyFileTo(At("src.txt"), At("ro.txt"), false));
  EXPECT_FALSE(Host().RemoveFile(At("ro.txt")));
  EXPECT_FALSE(Host().ReplaceWith(At("src.txt"), At("ro.txt")));
  EXPECT_EQ(Contents(Host(), At("ro.txt")), "keep");
  EXPECT_EQ(Contents(Host(), At("src.txt")), "new");
  // A copy carries the read-only attribute along.
  ASSERT_TRUE(Host().CopyFileTo(At("ro.txt"), At("ro-copy.txt"), false));
  ASSERT_TRUE(Host().GetAttributes(At("ro-copy.txt"), &attributes));
  EXPECT_NE(attributes & AttrReadOnly, 0u);
  ASSERT_TRUE(Host().SetAttributes(At("ro.txt"), 0));
  ASSERT_TRUE(Host().GetAttributes(At("ro.txt"), &attributes));
  EXPECT_EQ(attributes & AttrReadOnly, 0u);
  EXPECT_TRUE(Host().CopyFileTo(At("src.txt"), At("ro.txt"), false));
  EXPECT_TRUE(Host().ReplaceWith(At("src.txt"), At("ro.txt")));
  EXPECT_FALSE(Exists(Host(), At("src.txt")));
  EXPECT_TRUE(Host().RemoveFile(At("ro.txt")));
  EXPECT_FALSE(Exists(Host(), At("ro.txt")));
}

TEST_P(HostContract, ReplaceWithSwapsInOneStepOrLeavesBothAsTheyWere) {
  subject->PutFile("a.txt", "old");
  subject->PutFile("a.new", "new");
  EXPECT_FALSE(Host().ReplaceWith(At("missing.new"), At("a.txt")));
  ASSERT_TRUE(Host().MakeFolder(At("Dir")));
  EXPECT_FALSE(Host().ReplaceWith(At("a.new"), At("Dir")));
  EXPECT_FALSE(Host().ReplaceWith(At("Dir"), At("a.txt")));
  EXPECT_EQ(Contents(Host(), At("a.txt")), "old");
  EXPECT_EQ(Contents(Host(), At("a.new")), "new");
  std::uint32_t attributes = 0;
  ASSERT_TRUE(Host().GetAttributes(At("Dir"), &attributes));
  EXPECT_NE(attributes & AttrDirectory, 0u);

  EXPECT_TRUE(Host().ReplaceWith(At("a.new"), At("a.txt")));
  EXPECT_EQ(Contents(Host(), At("a.txt")), "new");
  EXPECT_FALSE(Exists(Host(), At("a.new")));
  // With nothing in its place, the replacement is a rename.
  EXPECT_TRUE(Host().ReplaceWith(At("a.txt"), At("b.txt")));
  EXPECT_EQ(Contents(Host(), At("b.txt")), "new");
  EXPECT_FALSE(Exists(Host(), At("a.txt")));
  EXPECT_FALSE(Host().RemoveFile(At("a.txt")));
  EXPECT_TRUE(Host().RemoveFile(At("b.txt")));
}

TEST_P(HostContract, CopiesOverwriteOrRefuseAsAsked) {
  subject->PutFile("src.txt", "short");
  subject->PutFile("other.txt", "other");
  subject->PutFile("dest.txt", "a much longer old text");
  EXPECT_TRUE(Host().CopyFileTo(At("src.txt"), At("dest.txt"), false));
  EXPECT_EQ(Contents(Host(), At("dest.txt")), "short");
  EXPECT_FALSE(Host().CopyFileTo(At("other.txt"), At("dest.txt"), true));
  EXPECT_EQ(Contents(Host(), At("dest.txt")), "short");
  EXPECT_TRUE(Host().CopyFileTo(At("src.txt"), At("fresh.txt"), true));
  EXPECT_EQ(Contents(Host(), At("fresh.txt")), "short");
  EXPECT_FALSE(Host().CopyFileTo(At("missing.txt"), At("none.txt"), false));
  EXPECT_FALSE(Exists(Host(), At("none.txt")));
  EXPECT_FALSE(Host().CopyFileTo(At("src.txt"), At("NoFolder\\none.txt"), false));
  ASSERT_TRUE(Host().MakeFolder(At("Dir")));
  EXPECT_FALSE(Host().CopyFileTo(At("src.txt"), At("Dir"), false));
  EXPECT_FALSE(Host().CopyFileTo(At("Dir"), At("none.txt"), false));
  EXPECT_FALSE(Exists(Host(), At("none.txt")));
  EXPECT_EQ(Contents(Host(), At("src.txt")), "short");
}

TEST_P(HostContract, FoldersAreMadeOnceAndListedWithAttributeWords) {
  EXPECT_TRUE(Host().MakeFolder(At("Sub")));
  EXPECT_FALSE(Host().MakeFolder(At("SUB")));
  THandle file = 0;
  EXPECT_FALSE(Host().FileOpen(At("Sub"), TFileAccess::Read, TFileShare::Read, TFileCreate::OpenExisting, &file));
  EXPECT_FALSE(Host().RemoveFile(At("Sub")));
  EXPECT_FALSE(Host().MakeFolder(At("Missing\\Deeper")));
  subject->PutFile("Sub\\B.txt", "b");
  subject->PutFile("Sub\\Inner\\C.txt", "c");
  ASSERT_TRUE(Host().SetAttributes(At("Sub\\Inner\\C.txt"), AttrReadOnly));
  THandle find = 0;
  TFindEntry entry;
  std::vector<std::string> seen;
  // The order of a listing is the file system's; every entry is there, "." and ".." too.
  ASSERT_EQ(Host().FindFirst(At("Sub\\*.*"), &find, &entry), TFind::Entry);
  do seen.push_back(entry.Name + ":" + std::to_string(entry.Attributes & (AttrDirectory | AttrArchive)));
  while (Host().FindNext(find, &entry) == TFind::Entry);
  Host().FindClose(find);
  std::vector<std::string> expected{".:16", "..:16", "B.txt:32", "Inner:16"};
  std::sort(seen.begin(), seen.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(seen, expected);
  // A listing's word is the whole word, as the attributes of the entry give it.
  std::uint32_t attributes = 0;
  ASSERT_TRUE(Host().GetAttributes(At("Sub\\Inner\\C.txt"), &attributes));
  ASSERT_EQ(Host().FindFirst(At("Sub\\Inner\\*"), &find, &entry), TFind::Entry);
  while (entry.Name != "C.txt" && Host().FindNext(find, &entry) == TFind::Entry) {
  }
  Host().FindClose(find);
  EXPECT_EQ(entry.Name, "C.txt");
  EXPECT_EQ(entry.Attributes, attributes);
  EXPECT_EQ(attributes & (AttrReadOnly | AttrDirectory), AttrReadOnly);
  ASSERT_TRUE(Host().GetAttributes(At("Sub\\Inner"), &attributes));
  EXPECT_EQ(attributes & (AttrReadOnly | AttrDirectory | AttrArchive), AttrDirectory);
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
  std::string data;
  EXPECT_EQ(Host().RegQuery(key, "PAGE ONE", &data), TRegRead::Found);
  EXPECT_EQ(data, StoredString("TA;TB;"));
  EXPECT_EQ(Host().RegQuery(key, "", &data), TRegRead::Found);
  EXPECT_EQ(data, StoredString("default \"quoted\" \\ slash"));
  EXPECT_EQ(Host().RegQuery(key, "deeper\\name", &data), TRegRead::Found);
  EXPECT_EQ(data, StoredString("x"));
  EXPECT_FALSE(Host().RegSet(key, "Page One", "y"));  // opened for reading only
  EXPECT_EQ(Host().RegQuery(key, "Page One", &data), TRegRead::Found);
  EXPECT_EQ(data, StoredString("TA;TB;"));
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
