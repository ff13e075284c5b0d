// A host held in memory: a registry, a file tree and scripted message-box answers, a log of
// every call, and switches that make any chosen call fail. Paths and names follow Windows'
// rules (WindowsPath, NamesEqual); the running program's file cannot be written or removed.
// It may sit over a base host, which it only ever reads (give it a TReadOnlyHost): what the
// model has not changed reads through from the base, existence, attributes, listings and
// registry values when asked, a file's content when first needed; every change stays in
// the model. Fault switches and the log count the model's own calls only.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "Base/WindowsNames.h"
#include "Platform/Host.h"

namespace Ferrowind {

class TMemoryHost : public THost {
 public:
  enum class TOp {
    ShowMessage,
    RegOpen,
    RegQuery,
    RegSet,
    RegClose,
    FileOpen,
    FileSize,
    FileRead,
    FileWrite,
    FileFlush,
    FileClose,
    FindFirst,
    FindNext,
    FindClose,
    GetAttributes,
    SetAttributes,
    CopyFileTo,
    MakeFolder,
    RemoveFile,
    ReplaceWith,
    ProgramPath
  };
  struct TBox {
    std::string Text;
    TBoxKind Kind;
  };

  explicit TMemoryHost(THost* base = nullptr);

  // --- Registry set-up and inspection. SetValue creates the key (and its parents).
  void AddKey(TRootKey root, const std::string& path);
  void SetValue(TRootKey root, const std::string& path, const std::string& name, const std::string& data);
  std::optional<std::string> Value(TRootKey root, const std::string& path, const std::string& name) const;
  struct TValue {
    std::string Key;  // "HKLM\path" or "HKCU\path", folded
    std::string Name, Data;
  };
  std::vector<TValue> AllValues() const;

  // --- File tree set-up and inspection, of the model's own paths. AddFile and AddFolder
  // create missing parents.
  void AddFolder(const std::string& path, std::uint32_t attributes = AttrDirectory);
  void AddFile(const std::string& path, const std::string& data, std::uint32_t attributes = AttrArchive);
  std::optional<std::string> FileData(const std::string& path) const;
  bool Exists(const std::string& path) const;
  std::uint32_t AttributesOf(const std::string& path) const;  // 0 when missing
  std::vector<std::string> AllPaths() const;                  // every file and folder, as named at creation
  void SetProgramPath(const std::string& path) { FProgramPath = path; }

  // --- Message boxes: answers are used in order; when they run out, OK is answered.
  void AnswerBoxes(std::vector<bool> answers) {
    FAnswers = std::move(answers);
    FNextAnswer = 0;
  }
  const std::vector<TBox>& Boxes() const { return FBoxes; }

  // --- Faults.
  void FailCall(std::size_t k) { FFailCall = k; }                  // the k-th call (counted from 1) fails
  void FailOperation(TOp op, const std::string& pathPart = "");    // calls of op on matching paths
  void ShortenReads(bool on) { FShortReads = on; }                 // reads deliver one byte less
  void ShortenWrites(bool on) { FShortWrites = on; }               // writes store one byte less
  void OverstateSizes(std::uint64_t size) { FStatedSize = size; }  // FileSize reports this for every file
  void HoldOpen(const std::string& path);                          // another program holds it open, sharing nothing

  // --- What happened.
  std::size_t CallCount() const { return FCalls; }
  const std::vector<std::string>& CallLog() const { return FLog; }
  std::size_t OpenHandles() const;  // keys, files and enumerations not yet closed

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
  std::string ProgramPath() override;
  // Through the base where there is one; otherwise against the program's folder, where the
  // installer is started.
  std::string FullPath(const std::string& path) override;
  std::string SystemTextAsUtf8(const std::string& text) override {  // through the base, or as UTF-8
    return FBase != nullptr ? FBase->SystemTextAsUtf8(text) : text;
  }

 protected:
  // A path of the model: one the run made or changed, or one looked at in the base.
  struct TNode {
    std::string Name;  // as first named, the last component as the base names it
    bool IsFolder = false;
    std::string Data;
    std::uint32_t Attributes = 0;
    bool Removed = false;  // gone, where the base still has it
    bool InBase = false;   // the base had the path when the model first looked
    bool Loaded = true;    // Data holds the content; a base file's is read when first needed
    bool Touched = false;  // made, written, copied or moved onto, removed, attributes set
    bool Written = false;  // its content written by FileWrite rather than copied
  };
  // Every node the run touched, by folded path.
  std::vector<std::pair<std::string, TNode>> TouchedNodes() const;

 private:
  struct TKey {
    std::map<std::string, std::pair<std::string, std::string>> Values;  // folded name -> (name, data)
  };
  struct TOpenKey {
    std::string Name;  // folded
    TRegAccess Access;
    THandle Base = 0;  // the key opened in the base, where it has it
  };
  struct TOpenFile {
    std::string Path;  // folded
    std::size_t Position = 0;
    bool Writable = false;
    bool Exclusive = false;
  };
  struct TOpenFind {
    std::vector<TFindEntry> Entries;
    std::size_t Next = 0;
  };
  struct TFault {
    TOp Op;
    std::string PathPart;  // folded
  };

  bool Enter(TOp op, const std::string& path);            // logs the call; false when it must fail
  static std::string Normal(const std::string& path);     // as Windows opens it; unchanged if refused
  static std::string Fold(const std::string& path);       // Normal, case folded: the key of FFiles
  static std::string FoldValue(const std::string& name);  // a registry value name, folded
  static bool Named(const std::string& path, TPathUse use = TPathUse::File);  // not refused
  static std::string KeyName(TRootKey root, const std::string& path);
  bool IsSharedAway(const std::string& folded, bool wantExclusive) const;
  TNode* Find(const std::string& path);        // nullptr when neither the model nor the base has it
  TNode* FindFolder(const std::string& path);  // the folder that holds path; nullptr when none
  bool Load(TNode& node);                      // reads a base file's content in
  void Drop(const std::string& folded);        // removes, leaving a mark where the base has it

  THost* FBase;
  std::map<std::string, TKey> FKeys;    // folded "HKLM\path" -> values
  std::map<std::string, TNode> FFiles;  // folded path -> node
  std::map<THandle, TOpenKey> FOpenKeys;
  std::map<THandle, TOpenFile> FOpenFiles;
  std::map<THandle, TOpenFind> FOpenFinds;
  std::set<std::string> FHeld;
  THandle FNextHandle = 1;
  std::string FProgramPath = "C:\\Package\\Setup.exe";
  std::vector<bool> FAnswers;
  std::size_t FNextAnswer = 0;
  std::vector<TBox> FBoxes;
  std::vector<TFault> FFaults;
  std::size_t FFailCall = 0;
  bool FShortReads = false;
  bool FShortWrites = false;
  std::uint64_t FStatedSize = 0;
  std::size_t FCalls = 0;
  std::vector<std::string> FLog;
};

}  // namespace Ferrowind
