// Dossier maintenance on a large generated dossier: the whole rebuild, the pack-and-reindex of the seven
// tables and the renumbering of every piece, each three times from the same files (the dossier folder put
// back before each run), the median the figure; the rebuild and the renumbering print their CPU time per line
// written beside the generator's. The dossier is generated once in a temporary folder; its line count comes
// from MERLON_BENCH_LINES (default 999,999, the most the sort file can point at), so a quick run is possible:
//   MERLON_BENCH_LINES=20000 ./maintenance_bench
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "data/dossier_files.h"
#include "data/session.h"
#include "demo/dossier_demo.h"
#include "dossier/core/maintenance_rebuild.h"
#include "dossier/core/renumber_pieces.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/logfile.h"
#include "runtime/numbers.h"
#include "runtime/runtime_hooks.h"
#include "runtime/runtime_init.h"
#include "runtime/session_registry.h"
// After the runtime headers it uses.
#include "bench_world.h"

namespace {

// The runtime, the engine and the generated dossier, made once for the program, with a copy of the dossier
// kept aside: each run of each benchmark starts from the dossier as it was generated.
class BenchDossier {
 public:
  BenchDossier() {
    DemoOptions options;
    options.lines = bench_world::BenchLines(kMinDemoLines);
    if (!runtime_.Generate(options)) return;
    lines_ = runtime_.GeneratedLines();
    SetLogDossier(options.folder, options.code);
    SetDossierIniPath(PathC10(".ini"));
    if (!TableC10->OpenExclusive(PathC10(), "C10CODE") || !ReadC10Texts()) return;
    if (TableC10->Seek("C10CODE", "P")) {
      TheDossierRecord.Set(539, 252, TableC10->GetField(4));
      TheDossierRecord.Set(791, 252, TableC10->GetField(5));
    }
    CloseAllTables();
    copy_ = std::make_unique<bench_world::FolderSnapshot>(options.folder);
    ready_ = copy_->Restore();
  }
  bool ready() const { return ready_; }
  long lines() const { return lines_; }
  const bench_world::BenchRuntime& runtime() const { return runtime_; }

  // The dossier put back as it was generated (its tables closed): false, the benchmark skipped, when that
  // failed.
  bool PutBack(benchmark::State& state) {
    if (!ready_) {
      state.SkipWithError("the dossier could not be generated");
      return false;
    }
    CloseAllTables();
    if (copy_->Restore()) return true;
    state.SkipWithError("the dossier could not be put back");
    return false;
  }

 private:
  bench_world::BenchRuntime runtime_{"maintenance", false};
  std::unique_ptr<bench_world::FolderSnapshot> copy_;
  long lines_ = 0;
  bool ready_ = false;
};

std::unique_ptr<BenchDossier> dossier;
BenchDossier& Dossier() {
  if (!dossier) dossier = std::make_unique<BenchDossier>();
  return *dossier;
}

// The whole rebuild: every line written again with its sort record, indexes and totals.
void BM_RebuildDossier(benchmark::State& state) {
  if (!Dossier().PutBack(state)) return;
  const double cpu = bench_world::ProcessCpuOfLoop(state, [&] {
    if (RunDossierRebuild(false, true).code != 0) state.SkipWithError("the rebuild failed");
  });
  bench_world::ReportPerLine(state, cpu, Dossier().lines(), Dossier().runtime());
}
BENCHMARK(BM_RebuildDossier)
    ->Unit(benchmark::kSecond)->Iterations(1)->Repetitions(3)->ReportAggregatesOnly(true)->UseRealTime();

void BM_PackAndReindex(benchmark::State& state) {
  if (!Dossier().PutBack(state)) return;
  for (auto _ : state) {
    const PackResult result = PackAndReindexTables(true);
    if (!result.ok()) state.SkipWithError("the pack and reindex failed");
  }
  state.counters["lines"] = static_cast<double>(Dossier().lines());
}
BENCHMARK(BM_PackAndReindex)
    ->Unit(benchmark::kSecond)->Iterations(1)->Repetitions(3)->ReportAggregatesOnly(true)->UseRealTime();

// The draft pieces in reverse order with gaps (piece n becomes 2 (max + 1 - n) + 1), so that
// the renumbering gives every line another number: the count of lines given their new piece, -1
// when the draft did not open.
long SpreadDraftPieces() {
  // The lines are the books: the set-up writes them under a permit of its own.
  const bench_world::SetUpPermit permit("pieces dispersees");
  Table& c50 = *TableC50;
  if (!c50.OpenExclusive(PathC50())) return -1;
  const long count = static_cast<long>(c50.RecCount());
  long max = 0, moved = 0;
  for (long r = 1; r <= count && c50.GoTo(r); ++r) max = std::max(max, static_cast<long>(Val(c50.GetField(4))));
  for (long r = 1; r <= count && c50.GoTo(r); ++r) {
    char piece[32];
    std::snprintf(piece, sizeof piece, "%06ld", 2 * (max + 1 - static_cast<long>(Val(c50.GetField(4)))) + 1);
    if (c50.PutField(4, piece)) ++moved;
  }
  CloseAllTables();
  return moved == count ? moved : -1;
}

// Every piece of the dossier renumbered: the plan worked out and written to
// the sort file, every line given its new number, the sort file refilled.
void BM_RenumberPieces(benchmark::State& state) {
  if (!Dossier().PutBack(state)) return;
  if (SpreadDraftPieces() <= 0) return state.SkipWithError("the pieces were not spread");
  RenumberResult result;
  const double cpu = bench_world::ProcessCpuOfLoop(state, [&] {
    result = RenumberPieces();
    if (result.outcome != RenumberOutcome::Done) state.SkipWithError("the renumbering failed");
  });
  // Every piece spread takes another number: a run that wrote no line measured nothing.
  if (result.outcome == RenumberOutcome::Done && result.linesWritten == 0)
    state.SkipWithError("the renumbering wrote no line");
  state.counters["pieces"] = static_cast<double>(result.pieces);
  bench_world::ReportPerLine(state, cpu, result.linesWritten, Dossier().runtime());
}
BENCHMARK(BM_RenumberPieces)
    ->Unit(benchmark::kSecond)->Iterations(1)->Repetitions(3)->ReportAggregatesOnly(true)->UseRealTime();

}  // namespace

// The dossier goes before the program's statics do.
int main(int argc, char** argv) {
  return bench_world::RunBenchmarksThen(argc, argv, [] { dossier.reset(); });
}
