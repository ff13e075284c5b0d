#include "Check/BytesHost.h"

#include <algorithm>
#include <cstring>

namespace Ferrowind {

bool TBytesHost::FileOpen(const std::string&, TFileAccess access, TFileShare, TFileCreate create, THandle* file) {
  *file = 0;
  if (FOpen || access != TFileAccess::Read || create != TFileCreate::OpenExisting) return false;
  FOpen = true;
  FPosition = 0;
  *file = TheFile;
  return true;
}

bool TBytesHost::FileSize(THandle file, std::uint64_t* size) {
  if (!FOpen || file != TheFile) return false;
  *size = FBytes.size();
  return true;
}

bool TBytesHost::FileRead(THandle file, char* buffer, std::size_t count, std::size_t* got) {
  *got = 0;
  if (!FOpen || file != TheFile) return false;
  *got = std::min(count, FBytes.size() - FPosition);
  std::memcpy(buffer, FBytes.data() + FPosition, *got);
  FPosition += *got;
  return true;
}

bool TBytesHost::FileWrite(THandle, const char*, std::size_t, std::size_t* written) {
  *written = 0;
  return false;
}

bool TBytesHost::FileFlush(THandle) { return false; }

void TBytesHost::FileClose(THandle file) {
  if (file == TheFile) FOpen = false;
}

bool TBytesHost::ShowMessage(const std::string&, std::uint32_t) { return false; }

bool TBytesHost::RegOpen(TRootKey, const std::string&, std::uint32_t, THandle* key) {
  *key = 0;
  return false;
}

TRegRead TBytesHost::RegQuery(THandle, const std::string&, std::string* data) {
  data->clear();
  return TRegRead::Failed;
}

bool TBytesHost::RegSet(THandle, const std::string&, const std::string&) { return false; }
void TBytesHost::RegClose(THandle) {}

TFind TBytesHost::FindFirst(const std::string&, THandle* find, TFindEntry*) {
  *find = 0;
  return TFind::Failed;
}

TFind TBytesHost::FindNext(THandle, TFindEntry*) { return TFind::Failed; }
void TBytesHost::FindClose(THandle) {}
bool TBytesHost::GetAttributes(const std::string&, std::uint32_t*) { return false; }
bool TBytesHost::SetAttributes(const std::string&, std::uint32_t) { return false; }
bool TBytesHost::CopyFileTo(const std::string&, const std::string&, bool) { return false; }
bool TBytesHost::MakeFolder(const std::string&) { return false; }
bool TBytesHost::RemoveFile(const std::string&) { return false; }
bool TBytesHost::ReplaceWith(const std::string&, const std::string&) { return false; }
std::string TBytesHost::ProgramPath() { return std::string(); }

}  // namespace Ferrowind
