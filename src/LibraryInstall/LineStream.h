// Streaming pieces of the help-file edits, for files too large to hold whole: a line
// reader with the load's rules, a block writer, and a guard that closes a file handle.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Host.h"

namespace Ferrowind {

// A save writes here first, beside the file, then puts it in the file's place.
constexpr const char* TemporarySuffix = ".fw-new";
constexpr std::size_t LineBlockSize = 256 * 1024;

// Closes a file handle on every way out.
class TFileGuard {
 public:
  TFileGuard(THost& host, THandle file) : FHost(host), FFile(file) {}
  ~TFileGuard() { Close(); }
  TFileGuard(const TFileGuard&) = delete;
  TFileGuard& operator=(const TFileGuard&) = delete;
  void Close() {
    if (FFile != 0) FHost.FileClose(FFile);
    FFile = 0;
  }

 private:
  THost& FHost;
  THandle FFile;
};

// The lines of a contents file, read block by block with the rules of LoadLines: opened
// for reading with no sharing, exactly the size found at the open is read, a line ends at
// CR LF, a lone CR or a lone LF, a final line break adds no empty line, and a NUL byte or
// a read that fails or falls short makes the file unusable. A large file is never held
// whole: memory grows only with the longest line.
class TLineReader {
 public:
  // blockSize: the bytes read at a time (tests use small blocks to reach every block end).
  TLineReader(THost& host, const std::string& path, std::size_t blockSize = LineBlockSize)
      : FHost(host), FBlockSize(blockSize) {
    if (!host.FileOpen(path, TFileAccess::Read, TFileShare::None, TFileCreate::OpenExisting, &FFile)) {
      FFile = 0;
      return;
    }
    std::uint64_t size = 0;
    FOk = host.FileSize(FFile, &size);
    FLeft = size;
    FSize = size;
  }
  ~TLineReader() {
    if (FFile != 0) FHost.FileClose(FFile);
  }
  TLineReader(const TLineReader&) = delete;
  TLineReader& operator=(const TLineReader&) = delete;

  // False once a read failed or the file holds a NUL; nothing read is usable then.
  bool Ok() const { return FOk; }
  std::uint64_t Size() const { return FSize; }
  void Close() {
    if (FFile != 0) FHost.FileClose(FFile);
    FFile = 0;
  }

  // Where the line Next or NextStartingWith gave last begins in the file.
  std::uint64_t LineStart() const { return FLineStart; }

  // The next line without its line end; false at the end of the text or on a failure.
  // The view lasts until the next call.
  bool Next(std::string_view* line) {
    if (FCarryOut) {
      FCarry.clear();
      FCarryOut = false;
    }
    for (;;) {
      if (FPos == FEnd && !Refill()) {
        if (!FOk || FCarry.empty()) return false;
        *line = FCarry;  // a last line without a line break
        FCarryOut = true;
        return true;
      }
      if (FSkipLf) {
        FSkipLf = false;
        if (FBlock[FPos] == '\n') ++FPos;
        continue;
      }
      const char* const start = FBlock.data() + FPos;
      if (FCarry.empty()) FLineStart = FBlockStart + FPos;
      const std::size_t at = std::min(NextOf('\r', FNextCr), NextOf('\n', FNextLf));
      if (at == FEnd) {
        FCarry.append(start, FEnd - FPos);
        FPos = FEnd;
        continue;
      }
      const char* const end = FBlock.data() + at;
      const std::size_t length = at - FPos;
      if (FCarry.empty()) {
        *line = std::string_view(start, length);
      } else {
        FCarry.append(start, length);
        *line = FCarry;
        FCarryOut = true;
      }
      FPos += length + 1;
      if (*end == '\r') {
        if (FPos < FEnd) {
          if (FBlock[FPos] == '\n') ++FPos;
        } else {
          FSkipLf = true;  // the LF, if any, opens the next block
        }
      }
      return true;
    }
  }

  // The next line whose first byte after its leading blanks (codes 0 to 32) is c, as Next
  // would give it; the lines before it are passed over without being split, so that a
  // search for a rare kind of line costs little more than reading the file.
  bool NextStartingWith(char c, std::string_view* line) {
    for (;;) {
      if (FCarryOut) {
        FCarry.clear();
        FCarryOut = false;
      }
      if (!FSkipLf && FPos < FEnd) {
        const char* const base = FBlock.data();
        const void* hit = std::memchr(base + FPos, c, FEnd - FPos);
        const std::size_t to = hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - base) : FEnd;
        // Back to the start of the line that holds the hit, or of the block's last line.
        std::size_t lineStart = to;
        while (lineStart > FPos && base[lineStart - 1] != '\r' && base[lineStart - 1] != '\n') --lineStart;
        if (lineStart == FEnd && lineStart > FPos && base[FEnd - 1] == '\r') FSkipLf = true;
        FPos = lineStart;
        bool blanksOnly = hit != nullptr;
        for (std::size_t k = lineStart; blanksOnly && k < to; ++k) {
          blanksOnly = static_cast<unsigned char>(base[k]) <= 32;
        }
        if (!Next(line)) return false;
        if (blanksOnly || (!hit && StartsAfterBlanks(*line, c))) return true;
        continue;
      }
      if (!Next(line)) return false;
      if (StartsAfterBlanks(*line, c)) return true;
    }
  }

 private:
  static bool StartsAfterBlanks(std::string_view line, char c) {
    std::size_t k = 0;
    while (k < line.size() && static_cast<unsigned char>(line[k]) <= 32) ++k;
    return k < line.size() && line[k] == c;
  }

  bool Refill() {
    if (!FOk || FFile == 0 || FLeft == 0) return false;
    if (FBlock.empty()) FBlock.resize(FBlockSize);
    const std::size_t want = FLeft < FBlock.size() ? static_cast<std::size_t>(FLeft) : FBlock.size();
    std::size_t got = 0;
    FBlockStart = FSize - FLeft;
    // A short read must never be taken for the file's end and saved back.
    if (!FHost.FileRead(FFile, FBlock.data(), want, &got) || got != want ||
        std::memchr(FBlock.data(), '\0', got) != nullptr) {
      FOk = false;
      return false;
    }
    FLeft -= got;
    FPos = 0;
    FEnd = got;
    FNextCr = FNextLf = Unknown;
    return true;
  }

  // The position of the next c at or after FPos in the block, or FEnd. Remembered, so that
  // each byte is searched once for CR and once for LF with the library's fast search.
  std::size_t NextOf(char c, std::size_t& cached) {
    if (cached == Unknown || cached < FPos) {
      const void* hit = std::memchr(FBlock.data() + FPos, c, FEnd - FPos);
      cached = hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - FBlock.data()) : FEnd;
    }
    return cached;
  }

  static constexpr std::size_t Unknown = static_cast<std::size_t>(-1);

  THost& FHost;
  const std::size_t FBlockSize;
  THandle FFile = 0;
  bool FOk = false;
  std::uint64_t FSize = 0;
  std::uint64_t FLeft = 0;
  std::uint64_t FBlockStart = 0;  // where FBlock begins in the file
  std::uint64_t FLineStart = 0;
  std::vector<char> FBlock;
  std::size_t FPos = 0;
  std::size_t FEnd = 0;
  std::size_t FNextCr = Unknown;
  std::size_t FNextLf = Unknown;
  bool FSkipLf = false;
  std::string FCarry;  // a line that spans blocks
  bool FCarryOut = false;
};

// Collects output in a block and writes it out whenever the block is full.
class TBlockWriter {
 public:
  TBlockWriter(THost& host, THandle file) : FHost(host), FFile(file) { FBlock.reserve(LineBlockSize); }
  void Line(std::string_view line) {
    if (FBlock.size() + line.size() + 2 > LineBlockSize) Flush();
    if (line.size() + 2 > LineBlockSize) {
      Put(line.data(), line.size());
      Put("\r\n", 2);
      return;
    }
    FBlock.append(line);
    FBlock += "\r\n";
  }
  // False when any write failed or fell short.
  bool Finish() {
    Flush();
    return FOk;
  }

 private:
  void Flush() {
    Put(FBlock.data(), FBlock.size());
    FBlock.clear();
  }
  void Put(const char* data, std::size_t count) {
    if (!FOk || count == 0) return;
    std::size_t written = 0;
    FOk = FHost.FileWrite(FFile, data, count, &written) && written == count;
  }

  THost& FHost;
  THandle FFile;
  std::string FBlock;
  bool FOk = true;
};

}  // namespace Ferrowind
