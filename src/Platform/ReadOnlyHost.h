// A view of a host that can look but never change anything: the base under an in-memory
// model whose writes must not reach the system. Queries, reads and listings pass through;
// every call that could write fails and leaves the host as it was. Opening a key for
// writing passes (an open changes nothing, and fails where a real write would); setting a
// value through it does not.
#pragma once

#include "Platform/Host.h"

namespace Ferrowind {

class TReadOnlyHost : public THost {
 public:
  explicit TReadOnlyHost(THost& host) : FHost(host) {}

  bool ShowMessage(const std::string&, TBoxKind) override { return false; }
  bool RegOpen(TRootKey root, const std::string& path, TRegAccess access, THandle* key) override {
    return FHost.RegOpen(root, path, access, key);
  }
  TRegRead RegQuery(THandle key, const std::string& name, std::string* data) override {
    return FHost.RegQuery(key, name, data);
  }
  bool RegSet(THandle, const std::string&, const std::string&) override { return false; }
  void RegClose(THandle key) override { FHost.RegClose(key); }
  bool FileOpen(const std::string& path, TFileAccess access, TFileShare share, TFileCreate create,
                THandle* file) override {
    *file = 0;
    if (access != TFileAccess::Read || create != TFileCreate::OpenExisting) return false;
    return FHost.FileOpen(path, access, share, create, file);
  }
  bool FileSize(THandle file, std::uint64_t* size) override { return FHost.FileSize(file, size); }
  bool FileRead(THandle file, char* buffer, std::size_t count, std::size_t* got) override {
    return FHost.FileRead(file, buffer, count, got);
  }
  bool FileWrite(THandle, const char*, std::size_t, std::size_t* written) override {
    *written = 0;
    return false;
  }
  bool FileFlush(THandle) override { return false; }
  void FileClose(THandle file) override { FHost.FileClose(file); }
  TFind FindFirst(const std::string& pattern, THandle* find, TFindEntry* entry) override {
    return FHost.FindFirst(pattern, find, entry);
  }
  TFind FindNext(THandle find, TFindEntry* entry) override { return FHost.FindNext(find, entry); }
  void FindClose(THandle find) override { FHost.FindClose(find); }
  bool GetAttributes(const std::string& path, std::uint32_t* attributes) override {
    return FHost.GetAttributes(path, attributes);
  }
  bool SetAttributes(const std::string&, std::uint32_t) override { return false; }
  bool CopyFileTo(const std::string&, const std::string&, bool) override { return false; }
  bool MakeFolder(const std::string&) override { return false; }
  bool RemoveFile(const std::string&) override { return false; }
  bool ReplaceWith(const std::string&, const std::string&) override { return false; }
  std::string ProgramPath() override { return FHost.ProgramPath(); }
  std::string FullPath(const std::string& path) override { return FHost.FullPath(path); }
  std::string SystemTextAsUtf8(const std::string& text) override { return FHost.SystemTextAsUtf8(text); }

 private:
  THost& FHost;
};

}  // namespace Ferrowind
