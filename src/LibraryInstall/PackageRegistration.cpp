#include "Base/Text.h"
#include "LibraryInstall/ComponentInstall.h"

namespace Ferrowind {

bool TComponentInstall::RegisterPackage(const std::string& path, const std::string& title) {
  if (path.empty()) return true;
  return WriteRegString(TRootKey::CurrentUser, FBaseKey + "\\Known Packages", path, title);
}

bool TComponentInstall::AddPaletteEntry(const std::string& page, const std::string& component) {
  if (component.empty()) return true;
  const std::string key = FBaseKey + "\\Palette";
  std::string current;
  if (ReadRegValue(TRootKey::CurrentUser, key, page, &current) == TRegRead::Failed) return false;
  // A plain substring test over the whole list: DBEdit counts as present beside TDBEdit.
  if (FindSubstring(ToUpperAscii(component), ToUpperAscii(current)) > 0) return true;
  if (!current.empty() && current.back() != ';') current += ';';
  current += component + ";";
  return WriteRegString(TRootKey::CurrentUser, key, page, current);
}

}  // namespace Ferrowind
