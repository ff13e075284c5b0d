// CopyTree over the POSIX host into a fresh destination: few large files in nested folders,
// and many small files in many folders.
#include <benchmark/benchmark.h>
#include <sys/stat.h>

#include "Platform/Host.h"
#include "Setup/FileDeploy.h"
#include "Workloads.h"

namespace FerrowindBench {
namespace {

// files files of size bytes, perFolder to a folder, the folders two levels deep.
void MakeTree(const std::string& root, std::size_t files, std::size_t size, std::size_t perFolder) {
  const std::string data(size, 'x');
  mkdir(root.c_str(), 0755);
  for (std::size_t i = 0; i < files; ++i) {
    const std::size_t leaf = i / perFolder;
    const std::string outer = root + "/d" + std::to_string(leaf / 4);
    const std::string inner = outer + "/e" + std::to_string(leaf % 4);
    mkdir(outer.c_str(), 0755);
    mkdir(inner.c_str(), 0755);
    WriteWholeFile(inner + "/f" + std::to_string(i) + ".bin", data);
  }
}

void CopyTree(benchmark::State& state) {
  const auto files = static_cast<std::size_t>(state.range(0));
  const auto size = static_cast<std::size_t>(state.range(1));
  const auto perFolder = static_cast<std::size_t>(state.range(2));
  TScratchFolder folder;
  const std::string source = folder.Path() + "/source";
  const std::string destination = folder.Path() + "/destination";
  MakeTree(source, files, size, perFolder);
  bool ok = true;
  for (auto _ : state) {
    state.PauseTiming();
    RemoveTree(destination);
    mkdir(destination.c_str(), 0755);
    state.ResumeTiming();
    ok = Ferrowind::CopyTree(Ferrowind::SystemHost(), source, destination) && ok;
  }
  if (!ok) state.SkipWithError("CopyTree failed");
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * files));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * files * size));
}

// Files, bytes each, files a folder: 1/4, 1/2 and all of the whole-run workloads.
BENCHMARK(CopyTree)
    ->Args({50, 1 << 20, 10})
    ->Args({100, 1 << 20, 10})
    ->Args({200, 1 << 20, 10})
    ->Args({5000, 1024, 100})
    ->Args({10000, 1024, 100})
    ->Args({20000, 1024, 100})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace FerrowindBench
