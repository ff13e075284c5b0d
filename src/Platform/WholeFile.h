// Reading a whole file through a host, as the installer's reader opens it (read only,
// sharing read access, never created).
#pragma once

#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "Platform/Host.h"

namespace Ferrowind {

// False when the file cannot be opened or read, is larger than limit, or does not fit in
// memory; *bytes is empty then.
inline bool ReadWholeFile(THost& host, const std::string& path, std::string* bytes, std::uint64_t limit = UINT64_MAX) {
  bytes->clear();
  THandle file = 0;
  if (!host.FileOpen(path, TFileAccess::Read, TFileShare::Read, TFileCreate::OpenExisting, &file)) {
    return false;
  }
  std::uint64_t size = 0;
  bool ok = host.FileSize(file, &size) && size <= limit;
  try {
    std::vector<char> block(64 * 1024);
    while (ok) {
      std::size_t got = 0;
      ok = host.FileRead(file, block.data(), block.size(), &got);
      if (!ok || got == 0) break;
      // A file that grew past the limit while being read is refused too.
      ok = bytes->size() + got <= limit;
      if (ok) bytes->append(block.data(), got);
    }
  } catch (const std::bad_alloc&) {
    ok = false;  // past a 32-bit build's address space: unreadable, not the end of the program
  } catch (const std::length_error&) {
    ok = false;
  }
  host.FileClose(file);
  if (!ok) bytes->clear();
  return ok;
}

}  // namespace Ferrowind
