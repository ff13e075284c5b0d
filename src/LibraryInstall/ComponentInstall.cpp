#include "LibraryInstall/ComponentInstall.h"

#include "Base/Text.h"

namespace Ferrowind {

TIdeLanguage IdeLanguage(const std::string& name, std::int32_t version) {
  return {name, version, "SOFTWARE\\Borland\\" + name + "\\" + DecimalText(version) + ".0",
          EqualIgnoringCase(name, "DELPHI")};
}

TIdeLanguage ParseLanguage(std::string_view value) {
  return IdeLanguage(TextBefore(value, ' '), ParseVersion(TextAfter(value, ' ')));
}

std::string TIdeLanguage::Shown() const { return Name + " " + DecimalText(Version); }

TComponentInstall::TComponentInstall(THost& host, const TIdeLanguage& language)
    : FHost(host),
      FBaseKey(language.BaseKey),
      FIsDelphi(language.IsDelphi),
      FIdeName(language.Name),
      FVersion(language.Version) {
  FRootDir = ReadRegString(TRootKey::LocalMachine, FBaseKey, "RootDir");
  FRootFound = !FRootDir.empty();
  FEdition = ReadRegString(TRootKey::LocalMachine, FBaseKey, FIsDelphi ? "Version" : "SKU");
}

TRegRead TComponentInstall::ReadRegValue(TRootKey root, const std::string& key, const std::string& name,
                                         std::string* data) {
  data->clear();
  THandle handle = 0;
  // A key that cannot be opened cannot be written either; for a caller that would write,
  // it is a failed read, not an empty value.
  if (!FHost.RegOpen(root, key, TRegAccess::Read, &handle)) return TRegRead::Failed;
  const TRegRead outcome = FHost.RegQuery(handle, name, data);
  FHost.RegClose(handle);
  if (outcome != TRegRead::Found) data->clear();
  const std::size_t zero = data->find('\0');
  if (zero != std::string::npos) data->resize(zero);
  return outcome;
}

std::string TComponentInstall::ReadRegString(TRootKey root, const std::string& key, const std::string& name) {
  std::string data;
  ReadRegValue(root, key, name, &data);
  return data;
}

bool TComponentInstall::WriteRegString(TRootKey root, const std::string& key, const std::string& name,
                                       const std::string& data) {
  THandle handle = 0;
  // A key that is missing is not created: the IDE makes its own keys on first start, and
  // nothing registered here would be seen before that.
  if (!FHost.RegOpen(root, key, TRegAccess::Write, &handle)) return false;
  const bool ok = FHost.RegSet(handle, name, data);
  FHost.RegClose(handle);
  return ok;
}

}  // namespace Ferrowind
