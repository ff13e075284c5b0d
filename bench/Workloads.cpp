#include "Workloads.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace FerrowindBench {

namespace {
// A fixed generator, so every run measures the same bytes.
class TSequence {
 public:
  std::uint32_t Next(std::uint32_t range) {
    FState = FState * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<std::uint32_t>(FState >> 33) % range;
  }

 private:
  std::uint64_t FState = 0x5eed;
};

constexpr std::string_view Filler =
    "the quick brown fox jumps over the lazy dog while vendors ship components to users ";

void AppendFiller(std::string& text, std::size_t length, std::size_t offset) {
  while (length > 0) {
    const std::size_t start = offset % Filler.size();
    const std::size_t take = std::min(length, Filler.size() - start);
    text.append(Filler.substr(start, take));
    length -= take;
    offset += take;
  }
}
}  // namespace

std::string UnknownKeywordConfig(std::size_t lines) {
  TSequence random;
  std::string text;
  text.reserve(lines * 68);
  for (std::size_t i = 0; i < lines; ++i) {
    const std::size_t length = 4 + random.Next(124);
    const std::size_t before = text.size();
    switch (random.Next(10)) {
      case 0:  // no "=" at all
        break;
      case 1:
      case 2:
        text += "  Setting" + std::to_string(i % 97) + " = ";
        break;
      default:
        text += "Option" + std::to_string(i % 89) + "=";
        break;
    }
    const std::size_t used = text.size() - before;
    if (used < length) AppendFiller(text, length - used, i);
    text += "\r\n";
  }
  return text;
}

std::string ContentsFile(std::size_t lines) {
  TSequence random;
  std::string text = ":Base Delphi3.hlp>main\r\n:Title Delphi 3 Help\r\n";
  text.reserve(lines * 68);
  for (std::size_t i = 2; i < lines; ++i) {
    const std::size_t length = 4 + random.Next(141);
    const std::size_t before = text.size();
    const std::string number = std::to_string(i);
    if (i % 10 == 2) {
      text += (i % 20 == 2 ? ":Index Library " : ":INDEX Library ") + number + "=lib" + number + ".hlp";
    } else if (i % 10 == 3) {
      text += "1 Heading " + number;
    } else {
      text += "2 Topic " + number + " ";
      const std::size_t used = text.size() - before;
      if (used + 12 < length) AppendFiller(text, length - used - 12, i);
      text += "=ctx_" + number;
    }
    text += "\r\n";
  }
  return text;
}

TScratchFolder::TScratchFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "ferrowind-bench-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a scratch folder");
  FPath = pattern;
}

TScratchFolder::~TScratchFolder() { RemoveTree(FPath); }

void WriteWholeFile(const std::string& path, const std::string& data) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) throw std::runtime_error("cannot create " + path);
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t put = write(fd, data.data() + done, data.size() - done);
    if (put <= 0) {
      close(fd);
      throw std::runtime_error("cannot write " + path);
    }
    done += static_cast<std::size_t>(put);
  }
  close(fd);
}

void RemoveTree(const std::string& path) {
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);
}

}  // namespace FerrowindBench
