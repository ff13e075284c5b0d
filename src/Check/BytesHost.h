// A host that holds one read-only file in memory, so the installer's own reader can run
// over bytes that are already loaded. Every other operation fails and changes nothing.
#pragma once

#include <string>

#include "platform/Host.h"

namespace Ferrowind {

class TBytesHost : public THost {
 public:
  explicit TBytesHost(std::string bytes) : FBytes(std::move(bytes)) {}

  // Opening for reading an existing file succeeds for any path and yields the bytes; one
  // file may be open at a time. Writing, creating and a second open fail.
  bool FileOpen(const std::string& path, TFileAccess access, TFileShare share, TFileCreate create,
                THandle* file) override;
  bool FileSize(THandle file, std::uint64_t* size) override;
  bool FileRead(THandle file, char* buffer, std::size_t count, std::size_t* got) override;
  bool FileWrite(THandle file, const char* data, std::size_t count, std::size_t* written) override;
  bool FileFlush(THandle file) override;
  void FileClose(THandle file) override;

  bool ShowMessage(const std::string& text, std::uint32_t style) override;
  bool RegOpen(TRootKey root, const std::string& path, std::uint32_t access, THandle* key) override;
  TRegRead RegQuery(THandle key, const std::string& name, std::string* data) override;
  bool RegSet(THandle key, const std::string& name, const std::string& data) override;
  void RegClose(THandle key) override;
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

 private:
  static constexpr THandle TheFile = 1;
  std::string FBytes;
  bool FOpen = false;
  std::size_t FPosition = 0;
};

}  // namespace Ferrowind
