// A host that lets the installer's own run show what it would change without changing
// anything: every read goes through to an underlying host, and every change (registry
// values, files written, copied, replaced or removed, attributes, folders) is kept in
// memory instead, where later steps of the same run see it. Message boxes are recorded,
// not shown; every confirmation is answered OK, or Cancel at a chosen one.
//
// The underlying host is only ever asked to open, query, read, enumerate and close. What
// the preview cannot see (another program holding a file open, a folder the user may not
// write to) makes the preview say "done" where the real call might fail.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/Host.h"

namespace Ferrowind {

class TPreviewHost : public THost {
 public:
  struct TShownBox {
    std::string Kind;  // "confirmation", "information" or "warning"
    std::string Text;
    bool Answer;  // OK
  };
  struct TValueChange {
    TRootKey Root;
    std::string Key;
    std::string Name;
    std::optional<std::string> Old;  // nullopt: a new value
    std::string New;
  };
  enum class TChange { Folder, Created, Replaced, Same, Removed, Attributes };
  struct TFileChange {
    std::string Path;  // as the run first named it, the last component as found on disk
    TChange Change = TChange::Folder;
    std::uint64_t OldSize = 0;  // Replaced, Same, Removed, Attributes
    std::uint64_t NewSize = 0;  // Created, Replaced, Same, Attributes
    bool Edited = false;        // written by the run itself rather than copied
    std::string OldData;        // both only for an edited file that is replaced
    std::string NewData;
  };

  // programPath stands for the installer's own path, so that COPYDIR folders are looked
  // up beside it. cancelAt answers Cancel at that confirmation (counted from 1; 0 never).
  TPreviewHost(THost& base, std::string programPath, std::size_t cancelAt = 0);

  const std::vector<TShownBox>& Boxes() const { return FBoxes; }
  // Registry values whose data would differ after the run, in the order first written.
  std::vector<TValueChange> ValueChanges();
  // Every file and folder the run would leave different, ordered by path; a copy over an
  // identical file shows as Same.
  std::vector<TFileChange> FileChanges();

  // THost
  bool ShowMessage(const std::string& text, TBoxKind kind) override;
  bool RegOpen(TRootKey root, const std::string& path, TRegAccess access, THandle* key) override;
  TRegRead RegQuery(THandle key, const std::string& name, std::string* data) override;
  bool RegSet(THandle key, const std::string& name, const std::string& data) override;
  void RegClose(THandle key) override;
  bool FileOpen(const std::string& path, TFileAccess access, TFileShare share, TFileCreate create,
                THandle* file) override;
  bool FileSize(THandle file, std::uint64_t* size) override;
  bool FileRead(THandle file, char* buffer, std::size_t count, std::size_t* got) override;
  bool FileWrite(THandle file, const char* data, std::size_t count, std::size_t* written) override;
  bool FileFlush(THandle file) override;
  void FileClose(THandle file) override;
  TFind FindFirst(const std::string& pattern, THandle* find, TFindEntry* entry) override;
  TFind FindNext(THandle find, TFindEntry* entry) override;
  void FindClose(THandle find) override;
  bool GetAttributes(const std::string& path, std::uint32_t* attributes) override;
  bool SetAttributes(const std::string& path, std::uint32_t attributes) override;
  bool CopyFileTo(const std::string& source, const std::string& destination, bool failIfExists) override;
  bool MakeFolder(const std::string& path) override;
  bool RemoveFile(const std::string& path) override;
  bool ReplaceWith(const std::string& source, const std::string& destination) override;
  std::string ProgramPath() override { return FProgramPath; }

 private:
  enum class TKind { File, Folder, Removed };
  // A path the run has changed. A node whose content is still the underlying file's (only
  // its attributes changed) has BaseData set and no Data of its own.
  struct TNode {
    std::string Path;
    TKind Kind = TKind::File;
    std::string Data;
    std::uint32_t Attributes = 0;
    bool BaseData = false;
    bool Edited = false;
  };
  struct TValue {
    TRootKey Root;
    std::string Key, Name;
    std::optional<std::string> Old;
    std::string New;
  };
  struct TOpenKey {
    TRootKey Root;
    std::string Path;
    THandle Base;
  };
  struct TOpenFile {
    THandle Base = 0;  // 0: the file is a node, read and written here
    std::string Node;
    std::size_t Position = 0;
    bool Writable = false;
  };
  struct TOpenFind {
    std::vector<TFindEntry> Entries;
    std::size_t Next = 0;
  };

  static std::string Fold(const std::string& path);
  static std::string ValueId(TRootKey root, const std::string& key, const std::string& name);
  TNode* NodeAt(const std::string& path);
  std::optional<std::uint32_t> AttributesAt(const std::string& path);
  bool BaseHas(const std::string& path);
  bool ParentIsFolder(const std::string& path);
  bool ReadContent(const std::string& path, std::string* data);
  bool ReadBase(const std::string& path, std::string* data);
  std::string NamedAsFound(const std::string& path);
  TNode& Change(const std::string& path);
  void Drop(const std::string& path);
  TFind Deliver(std::vector<TFindEntry> entries, THandle* find, TFindEntry* entry);

  THost& FBase;
  std::string FProgramPath;
  std::size_t FCancelAt;
  std::size_t FConfirmations = 0;
  std::vector<TShownBox> FBoxes;
  std::map<std::string, TNode> FNodes;  // folded path -> node
  std::vector<TValue> FValues;
  std::map<std::string, std::size_t> FValueIndex;  // ValueId -> index in FValues
  std::map<THandle, TOpenKey> FKeys;
  std::map<THandle, TOpenFile> FFiles;
  std::map<THandle, TOpenFind> FFinds;
  THandle FNextHandle = 1;
};

}  // namespace Ferrowind
