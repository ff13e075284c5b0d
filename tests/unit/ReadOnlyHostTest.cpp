// The preview's writes-nothing guarantee is structural: the model reaches the system only
// through this view, and every call that could write fails there, leaving the host as it was.
#include <gtest/gtest.h>

#include "Platform/MemoryHost.h"
#include "Platform/ReadOnlyHost.h"

namespace Ferrowind {
namespace {

TEST(ReadOnlyHost, EveryWriteFailsAndEveryReadPassesThrough) {
  TMemoryHost host;
  host.AddFile("C:\\D\\a.txt", "a");
  host.SetValue(TRootKey::CurrentUser, "Software\\K", "V", "v");
  TReadOnlyHost view(host);
  THandle file = 0, key = 0;
  std::size_t written = 0;
  EXPECT_FALSE(
      view.FileOpen("C:\\D\\a.txt", TFileAccess::ReadWrite, TFileShare::None, TFileCreate::OpenExisting, &file));
  EXPECT_FALSE(view.FileOpen("C:\\D\\b.txt", TFileAccess::Read, TFileShare::None, TFileCreate::CreateAlways, &file));
  ASSERT_TRUE(view.FileOpen("C:\\D\\a.txt", TFileAccess::Read, TFileShare::Read, TFileCreate::OpenExisting, &file));
  EXPECT_FALSE(view.FileWrite(file, "x", 1, &written));
  EXPECT_FALSE(view.FileFlush(file));
  view.FileClose(file);
  EXPECT_FALSE(view.SetAttributes("C:\\D\\a.txt", AttrReadOnly));
  EXPECT_FALSE(view.CopyFileTo("C:\\D\\a.txt", "C:\\D\\c.txt", false));
  EXPECT_FALSE(view.MakeFolder("C:\\D\\E"));
  EXPECT_FALSE(view.RemoveFile("C:\\D\\a.txt"));
  EXPECT_FALSE(view.ReplaceWith("C:\\D\\a.txt", "C:\\D\\d.txt"));
  EXPECT_FALSE(view.ShowMessage("shown?", TBoxKind::Information));
  ASSERT_TRUE(view.RegOpen(TRootKey::CurrentUser, "Software\\K", TRegAccess::Write, &key));
  EXPECT_FALSE(view.RegSet(key, "V", "changed"));
  view.RegClose(key);
  EXPECT_EQ(host.AllPaths(), (std::vector<std::string>{"C:", "C:\\D", "C:\\D\\a.txt"}));
  EXPECT_EQ(host.FileData("C:\\D\\a.txt"), "a");
  EXPECT_EQ(host.AttributesOf("C:\\D\\a.txt"), AttrArchive);
  EXPECT_EQ(host.Value(TRootKey::CurrentUser, "Software\\K", "V"), "v");
  EXPECT_TRUE(host.Boxes().empty());
  EXPECT_EQ(host.OpenHandles(), 0u);
}

}  // namespace
}  // namespace Ferrowind
