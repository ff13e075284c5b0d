// AddHelpIndex on a contents file over the POSIX host: the insertion (load, split, strip,
// search, save in place) and the look-up alone, when the entry is already there.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "LibraryInstall/ComponentInstall.h"
#include "Platform/Host.h"
#include "Workloads.h"

namespace FerrowindBench {
namespace {

// A contents file in a scratch folder, and an empty registry for the target to read.
struct THelpWorkload {
  TScratchFolder FFolder;
  std::string FContents;  // the file as it is before the edit
  std::string FPath;

  explicit THelpWorkload(std::size_t lines) : FContents(ContentsFile(lines)), FPath(FFolder.Path() + "/Delphi3.cnt") {
    const std::string registry = FFolder.Path() + "/registry.reg";
    WriteWholeFile(registry, "REGEDIT4\r\n\r\n");
    setenv("FERROWIND_REGISTRY", registry.c_str(), 1);
  }
};

void AddHelpIndex(benchmark::State& state) {
  const std::size_t lines = static_cast<std::size_t>(state.range(0));
  THelpWorkload workload(lines);
  Ferrowind::TComponentInstall target(Ferrowind::SystemHost(), "Delphi", 3);
  bool ok = true;
  for (auto _ : state) {
    state.PauseTiming();
    WriteWholeFile(workload.FPath, workload.FContents);
    state.ResumeTiming();
    ok = target.AddHelpIndex(workload.FPath, "Widgets.hlp", "Widget Pack") && ok;
  }
  if (!ok) state.SkipWithError("AddHelpIndex failed");
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * lines));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * workload.FContents.size()));
}

void FindHelpIndex(benchmark::State& state) {
  const std::size_t lines = static_cast<std::size_t>(state.range(0));
  THelpWorkload workload(lines);
  WriteWholeFile(workload.FPath, workload.FContents);
  Ferrowind::TComponentInstall target(Ferrowind::SystemHost(), "Delphi", 3);
  bool ok = true;
  // A help file the contents already name: nothing is written.
  for (auto _ : state) ok = target.AddHelpIndex(workload.FPath, "lib12.hlp", "Library") && ok;
  if (!ok) state.SkipWithError("AddHelpIndex failed");
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * lines));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * workload.FContents.size()));
}

BENCHMARK(AddHelpIndex)->Arg(250000)->Arg(500000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(FindHelpIndex)->Arg(250000)->Arg(500000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace FerrowindBench
