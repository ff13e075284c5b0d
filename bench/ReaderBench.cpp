// The Setup.cfg reader and the help files' line split, against a plain count of line ends.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <vector>

#include "LibraryInstall/LineFile.h"
#include "Platform/Host.h"
#include "Setup/ConfigReader.h"
#include "Workloads.h"

namespace FerrowindBench {
namespace {

// Config files by line count, written once per process.
const std::string& ConfigPath(std::size_t lines) {
  static TScratchFolder folder;
  static std::map<std::size_t, std::string> paths;
  auto it = paths.find(lines);
  if (it == paths.end()) {
    const std::string path = folder.Path() + "/Setup" + std::to_string(lines) + ".cfg";
    WriteWholeFile(path, UnknownKeywordConfig(lines));
    it = paths.emplace(lines, path).first;
  }
  return it->second;
}

void ReadDirectives(benchmark::State& state) {
  const std::size_t lines = static_cast<std::size_t>(state.range(0));
  const std::string& path = ConfigPath(lines);
  std::size_t directives = 0;
  bool readWhole = false;
  for (auto _ : state) {
    Ferrowind::TConfigReader reader(Ferrowind::SystemHost());
    if (!reader.Open(path)) {
      state.SkipWithError("cannot open the workload");
      return;
    }
    directives = 0;
    while (reader.ReadDirective().Kind != Ferrowind::dkEnd) ++directives;
    benchmark::DoNotOptimize(directives);
    readWhole = reader.TextEnd() == std::filesystem::file_size(path);
  }
  if (!readWhole) state.SkipWithError("the reader stopped before the end of the text");
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * lines));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * std::filesystem::file_size(path)));
}

// What wc -l does: read in blocks and count line ends. The floor the reader is held to.
void CountLineEnds(benchmark::State& state) {
  const std::size_t lines = static_cast<std::size_t>(state.range(0));
  const std::string& path = ConfigPath(lines);
  std::vector<char> buffer(128 * 1024);
  std::size_t count = 0;
  for (auto _ : state) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    count = 0;
    for (ssize_t got; (got = read(fd, buffer.data(), buffer.size())) > 0;) {
      const char* p = buffer.data();
      const char* end = p + got;
      while ((p = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p))))) {
        ++count;
        ++p;
      }
    }
    close(fd);
    benchmark::DoNotOptimize(count);
  }
  if (count != lines) state.SkipWithError("miscounted");
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * lines));
}

void SplitLines(benchmark::State& state) {
  const std::size_t lines = static_cast<std::size_t>(state.range(0));
  const std::string text = ContentsFile(lines);
  Ferrowind::TLineList list;
  for (auto _ : state) {
    state.PauseTiming();
    std::unique_ptr<char[]> copy = std::make_unique_for_overwrite<char[]>(text.size());
    std::copy(text.begin(), text.end(), copy.get());
    state.ResumeTiming();
    list.SetText(std::move(copy), text.size());
    benchmark::DoNotOptimize(list.Count());
  }
  if (list.Count() != lines) state.SkipWithError("the split lost lines");
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * lines));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

// 1/4, 1/2 and all of the million lines of the whole-run workloads.
BENCHMARK(ReadDirectives)->Arg(250000)->Arg(500000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(CountLineEnds)->Arg(250000)->Arg(500000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(SplitLines)->Arg(250000)->Arg(500000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace FerrowindBench
