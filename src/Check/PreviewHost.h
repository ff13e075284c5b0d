// A host that lets the installer's own run show what it would change without changing
// anything: the in-memory model over the system host, seen only through a read-only view,
// so every change (registry values, files written, copied, replaced or removed,
// attributes, folders) stays in memory, where later steps of the same run see it. Message
// boxes are recorded, not shown; every confirmation is answered OK, or Cancel at a chosen
// one.
//
// What the preview cannot see (another program holding a file open, a folder the user may
// not write to) makes the preview say "done" where the real call might fail.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Platform/MemoryHost.h"
#include "Platform/ReadOnlyHost.h"

namespace Ferrowind {

// The view is a base of its own so that it is made before the model that reads through it.
struct TPreviewBase {
  explicit TPreviewBase(THost& base) : FView(base) {}
  TReadOnlyHost FView;
};

class TPreviewHost : private TPreviewBase, public TMemoryHost {
 public:
  struct TShownBox {
    TBoxKind Kind;
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
    bool ReadOnly = false;      // read-only once the run is done (a copy carries its source's bit)
    std::string OldData;        // both only for an edited file that is replaced
    std::string NewData;
  };

  // programPath stands for the installer's own path, so that COPYDIR folders are looked
  // up beside it. cancelAt answers Cancel at that confirmation (counted from 1; 0 never).
  TPreviewHost(THost& base, const std::string& programPath, std::size_t cancelAt = 0);

  const std::vector<TShownBox>& Boxes() const { return FShown; }
  // Registry values whose data would differ after the run, in the order first written.
  std::vector<TValueChange> ValueChanges();
  // Every file and folder the run would leave different, ordered by path; a copy over an
  // identical file, attributes and all, shows as Same.
  std::vector<TFileChange> FileChanges();

  bool ShowMessage(const std::string& text, TBoxKind kind) override;
  bool RegOpen(TRootKey root, const std::string& path, TRegAccess access, THandle* key) override;
  bool RegSet(THandle key, const std::string& name, const std::string& data) override;

 private:
  struct TValue {
    TRootKey Root;
    std::string Key, Name, New;
  };

  std::size_t FCancelAt;
  std::size_t FConfirmations = 0;
  std::vector<TShownBox> FShown;
  std::map<THandle, std::pair<TRootKey, std::string>> FKeyPaths;
  std::vector<TValue> FValues;
  std::map<std::string, std::size_t> FValueIndex;  // folded key and name -> index in FValues
};

}  // namespace Ferrowind
