// The take-up of a stopped import, as the next opening makes it, beside the import it finishes:
//   - a statement of 20,000 transactions (40,000 lines) imported into the bank journal of a generated
//     dossier of 900,000 lines, then the same import stopped by a write refused once every line is in
//     the draft (the first change of its totals journal), then taken up by the opening's finish
//     (FinishInterruptedImport): every piece found whole, its totals written;
//   - the same for an ASCII file of 40,000 lines.
// Each prints the import's CPU time and the take-up's, and their ratio (target 1.5: the take-up
// costs about what the import cost). The dossier folder is put back from a copy before each import, outside the
// timed part. MERLON_BENCH_LINES lowers the dossier, and the imports with it (a transaction for 45
// lines of the dossier). MERLON_BENCH_CACHE names a folder where the generated dossier is kept and
// found again by the next run of the same size.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "ascii_fixture.h"
#include "data/dossier_files.h"
#include "data/session.h"
#include "demo/dossier_demo.h"
#include "dossier/core/dossier_run_marker.h"
#include "ofx_fixture/ofx_fixture.h"
#include "platform/system/write_fault.h"
#include "processing/core/ascii_import.h"
#include "processing/core/ofx_import.h"
#include "processing/core/stopped_imports.h"
// After the runtime headers it uses.
#include "bench_world.h"
#include "import_world.h"
#include "support/bank_statements.h"

namespace {

constexpr long kDossierLines = 900000;
constexpr long kTransactions = 20000;  // for the 900,000 lines: one for 45 lines
constexpr long kLinesPerTransaction = kDossierLines / kTransactions;

struct TakeUpWorld {
  bench_world::BenchRuntime runtime{"import-takeup", false};
  DemoOptions options;
  bool ready = false;
};
std::unique_ptr<TakeUpWorld> world;

// The generated dossier, or the copy of it a run of the same size kept in MERLON_BENCH_CACHE.
bool MakeDossier(TakeUpWorld& w) {
  w.options.lines = bench_world::BenchLines(1000, kDossierLines);
  return w.runtime.GenerateOrKept(w.options, "import-takeup");
}

TakeUpWorld& TheWorld() {
  if (!world) {
    world = std::make_unique<TakeUpWorld>();
    world->ready = MakeDossier(*world);
  }
  return *world;
}

long Transactions() {
  return std::clamp(TheWorld().options.lines / kLinesPerTransaction, 20L, kTransactions);
}

// The dossier put back as generated, its general file and chart open, the draft and sort file
// open in `c50`, `c60`.
bool FreshDossier(TakeUpWorld& w, Table& c50, Table& c60) {
  static bench_world::FolderSnapshot snapshot(w.options.folder);
  return w.ready && bench_world::FreshImportDossier(snapshot, w.options, c50, c60);
}

// The first change of the file named `stopAt` (the import's totals journal) refused once, as by a
// disk full for a moment: the import stops there with every line in the draft.
std::string stopAt;
void RefuseTheTotalsJournal() {
  if (platform::ChangeBeingMade().find(stopAt) == std::string::npos) return;
  platform::BeforeFileChange = nullptr;
  platform::SetWriteFault(platform::WriteFault::kFullOnce, 1);
}

// An import into the open dossier: true when it says it went through.
using Import = std::function<bool(Table& c50, Table& c60)>;

struct Figures {
  double import = 0, takeUp = 0;  // CPU seconds
  long lines = 0;                 // lines the import writes
  std::string error;
};

// The import let go to its end, then stopped at its totals journal and taken up as the next
// opening takes it up.
Figures ImportAndTakeUp(TakeUpWorld& w, const Import& import, const std::string& totalsJournal) {
  Figures f;
  {
    Table c50, c60;
    if (!FreshDossier(w, c50, c60)) return {0, 0, 0, "no demo dossier"};
    const long before = static_cast<long>(c50.RecCount());
    const double start = bench_world::BenchRuntime::CpuSeconds();
    if (!import(c50, c60)) return {0, 0, 0, "the import did not go through"};
    f.import = bench_world::BenchRuntime::CpuSeconds() - start;
    f.lines = static_cast<long>(c50.RecCount()) - before;
  }
  {
    Table c50, c60;
    if (!FreshDossier(w, c50, c60)) return {0, 0, 0, "no demo dossier"};
    stopAt = totalsJournal.substr(totalsJournal.rfind('/') + 1);
    platform::BeforeFileChange = RefuseTheTotalsJournal;
    const bool written = import(c50, c60);
    platform::BeforeFileChange = nullptr;
    platform::SetWriteFault(platform::WriteFault::kNone, 0);
    if (written || !DossierRunMarkerExists()) return {0, 0, 0, "the import was not stopped"};
  }
  DossierRunInfo run;
  if (!ReadDossierRunMarker(&run)) return {0, 0, 0, "no run marker"};
  const double start = bench_world::BenchRuntime::CpuSeconds();
  const DossierRunFinish done = processing::FinishInterruptedImport(run);
  f.takeUp = bench_world::BenchRuntime::CpuSeconds() - start;
  if (!done.done || DossierRunMarkerExists()) f.error = "not taken up: " + done.said;
  return f;
}

void Report(benchmark::State& state, const Figures& f) {
  state.counters["lines"] = static_cast<double>(f.lines);
  state.counters["import_s"] = f.import;
  state.counters["takeup_s"] = f.takeUp;
  bench_world::ReportRatio(state, f.takeUp, f.import, 1.5);
}

// The OFX import of a statement of 20,000 transactions and its take-up.
void BM_OfxImportTakeUp(benchmark::State& state) {
  TakeUpWorld& w = TheWorld();
  const processing::StatementImport request =
      test_support::DemoStatementRequest(ofx_fixture::MadeUpStatement(static_cast<int>(Transactions())));
  const Import import = [&request](Table& c50, Table& c60) {
    return processing::ImportStatement(*TableC10, c50, c60, request).written;
  };
  Figures f;
  for (auto _ : state) {
    f = ImportAndTakeUp(w, import, processing::OfxRunTotalsPath());
    if (!f.error.empty()) return state.SkipWithError(f.error.c_str());
    std::printf("OFX import of %ld transactions (%ld lines) into %ld lines: %.3f s CPU; its take-up %.3f s CPU\n",
                Transactions(), f.lines, w.options.lines, f.import, f.takeUp);
  }
  Report(state, f);
}
BENCHMARK(BM_OfxImportTakeUp)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->ReportAggregatesOnly(true);

// The ASCII import of a file of 40,000 lines and its take-up.
void BM_AsciiImportTakeUp(benchmark::State& state) {
  TakeUpWorld& w = TheWorld();
  AsciiFixtureOptions fixture;
  fixture.lines = 2 * Transactions();
  const std::string path = w.runtime.dir() + "/import.txt";
  const std::string file = MakeAsciiFixture(fixture);
  // The import renames the file it went through: it is written again before each one.
  const Import import = [&](Table& c50, Table& c60) {
    std::ofstream(path, std::ios::binary) << file;
    const processing::AsciiRead read = processing::ReadAsciiFile(*TableC10, *TableC20, c50, path);
    return read.Importable() && processing::ImportAsciiFile(*TableC10, c50, c60, read).written;
  };
  Figures f;
  for (auto _ : state) {
    f = ImportAndTakeUp(w, import, processing::AsciiRunTotalsPath());
    if (!f.error.empty()) return state.SkipWithError(f.error.c_str());
    std::printf("ASCII import of %ld lines into %ld lines: %.3f s CPU; its take-up %.3f s CPU\n", f.lines,
                w.options.lines, f.import, f.takeUp);
  }
  Report(state, f);
}
BENCHMARK(BM_AsciiImportTakeUp)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->ReportAggregatesOnly(true);

}  // namespace

// The world (its runtime and folder) goes before the program's statics.
int main(int argc, char** argv) {
  return bench_world::RunBenchmarksThen(argc, argv, [] { world.reset(); });
}
