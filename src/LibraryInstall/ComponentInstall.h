// TComponentInstall: one installed version of one Borland IDE, found through
// HKEY_LOCAL_MACHINE\SOFTWARE\Borland\<name>\<version>.0, and the changes the installer
// makes to that IDE's per-user settings and help files.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "Platform/Host.h"

namespace Ferrowind {

// The IDE a LANGUAGE value names: "Delphi 3" is the IDE Delphi at version 3, found under
// SOFTWARE\Borland\Delphi\3.0. The run, the target and the checker all read it here.
struct TIdeLanguage {
  std::string Name;
  std::int32_t Version = 0;
  std::string BaseKey;        // relative to a root key
  bool IsDelphi = false;      // the name is "Delphi" in any case
  std::string Shown() const;  // "Delphi 3", as the prompt names it
};
TIdeLanguage IdeLanguage(const std::string& name, std::int32_t version);
// The name before the value's first blank, the version after it; version 0 for anything
// that is not a whole number.
TIdeLanguage ParseLanguage(std::string_view value);

class TComponentInstall {
 public:
  // Looks up the IDE's root folder and edition. Never fails: a missing IDE shows only as
  // an empty FRootDir.
  TComponentInstall(THost& host, const TIdeLanguage& language);
  TComponentInstall(THost& host, const std::string& ideName, std::int32_t version)
      : TComponentInstall(host, IdeLanguage(ideName, version)) {}

  // The value's data of any length, up to its first zero byte; empty when the key or the
  // value is missing or cannot be read. The value's type is not looked at.
  std::string ReadRegString(TRootKey root, const std::string& key, const std::string& name);
  // Sets a string value under an existing key; never creates the key. False when the key
  // cannot be opened for writing or the value cannot be set; nothing written then.
  bool WriteRegString(TRootKey root, const std::string& key, const std::string& name, const std::string& data);

  // Registers a package file for the current user under Known Packages (value name: path,
  // data: title). True with nothing written for an empty path.
  bool RegisterPackage(const std::string& path, const std::string& title);
  // Appends "component;" to a palette page's list unless the list already holds the name
  // (case-insensitive substring). True with nothing written when present or empty. False
  // with nothing written when the page cannot be read: a list is never replaced unread.
  bool AddPaletteEntry(const std::string& page, const std::string& component);

  // Hooks a help file into this IDE's help configuration and contents files and removes
  // the index cache. False for an empty name, an IDE without a help layout, a failed link
  // or a failed cache removal; the contents edit's outcome is not counted.
  bool InstallHelp(const std::string& help, const std::string& title);
  // Adds ":LINK help" to a help configuration file unless an equal line (ignoring case and
  // blanks around it) is there. False when the file cannot be loaded or saved; the file is
  // then exactly as it was.
  bool AddHelpLink(const std::string& path, const std::string& help);
  // Inserts ":INDEX title=help" after the last :INDEX line (one at line 0 does not count)
  // unless an :INDEX line already names the help. False only when the file cannot be
  // loaded or saved; the file is then exactly as it was.
  bool AddHelpIndex(const std::string& path, const std::string& help, const std::string& title);

  const std::string& BaseKey() const { return FBaseKey; }
  const std::string& RootDir() const { return FRootDir; }
  bool IsDelphi() const { return FIsDelphi; }
  std::int32_t Version() const { return FVersion; }

 private:
  // ReadRegString's read, telling a missing value from a failed read.
  TRegRead ReadRegValue(TRootKey root, const std::string& key, const std::string& name, std::string* data);

  THost& FHost;
  std::string FBaseKey;
  std::string FRootDir;
  std::string FEdition;
  bool FIsDelphi;
  std::string FIdeName;
  std::int32_t FVersion;
  bool FRootFound;
};

// The help files of an IDE: configuration, contents and index cache. Empty when the IDE
// and version have no help layout.
struct THelpFiles {
  std::string Configuration;
  std::string Contents;
  std::string IndexCache;
};
THelpFiles HelpFilesFor(const std::string& rootDir, bool isDelphi, std::int32_t version);

}  // namespace Ferrowind
