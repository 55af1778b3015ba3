// Dossier maintenance on a large generated dossier: the whole rebuild, the
// pack-and-reindex of the seven tables and the renumbering of every piece. The dossier is generated once in a
// temporary folder; its line count comes from MERLON_BENCH_LINES (default
// 999,999, the most the sort file can point at), so a quick run is possible:
//   MERLON_BENCH_LINES=20000 ./maintenance_bench
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>

#include "data/dossier_files.h"
#include "data/session.h"
#include "demo/dossier_demo.h"
#include "dossier/maintenance_rebuild.h"
#include "dossier/renumber_pieces.h"
#include "platform/system/files.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/logfile.h"
#include "runtime/numbers.h"
#include "runtime/runtime_hooks.h"
#include "runtime/runtime_init.h"
#include "runtime/session_registry.h"

namespace {

long BenchLines() {
  const std::string text = platform::EnvironmentPath("MERLON_BENCH_LINES");
  const long n = !text.empty() ? std::atol(text.c_str()) : kMaxDemoLines;
  return n < kMinDemoLines ? kMinDemoLines : (n > kMaxDemoLines ? kMaxDemoLines : n);
}

// The runtime, the engine and the generated dossier, made once for the program.
class BenchDossier {
 public:
  BenchDossier() {
    char pattern[] = "/tmp/merlon-maintenance-bench-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (made == nullptr) return;
    root_ = made;
    SetProgramFolder(root_ + "/program/");
    if (!InitRuntime()) return;
    EnsureOpenWindowRegistry();
    SetRuntimeMessageHook([](const char* caption, const char* text, unsigned) {
      std::fprintf(stderr, "%s: %s\n", caption, text);
      return 1;
    });
    SetRuntimeBeepHook([](unsigned) {});
    if (StartDbSession() != 0) return;
    DemoOptions options;
    options.folder = root_ + "/dossier/";
    options.code = "BENCH";
    options.lines = BenchLines();
    std::string message;
    DemoStats stats;
    if (!GenerateDemoDossier(options, &message, &stats)) {
      std::fprintf(stderr, "generation: %s\n", message.c_str());
      return;
    }
    lines_ = stats.lines;
    SetDossier(options.folder, "BENCH");
    SetLogDossier(options.folder, "BENCH");
    SetDossierIniPath(PathC10(".ini"));
    if (!TableC10->OpenExclusive(PathC10(), "C10CODE") || !ReadC10Texts()) return;
    if (TableC10->Seek("C10CODE", "P")) {
      TheDossierRecord.Set(539, 252, TableC10->GetField(4));
      TheDossierRecord.Set(791, 252, TableC10->GetField(5));
    }
    CloseAllTables();
    ready_ = true;
  }
  ~BenchDossier() {
    if (!root_.empty()) {
      StopDbSession();
      std::error_code ignored;
      std::filesystem::remove_all(root_, ignored);
    }
  }
  bool ready() const { return ready_; }
  long lines() const { return lines_; }

 private:
  std::string root_;
  long lines_ = 0;
  bool ready_ = false;
};

BenchDossier& Dossier() {
  static BenchDossier dossier;
  return dossier;
}

void BM_RebuildDossier(benchmark::State& state) {
  if (!Dossier().ready()) {
    state.SkipWithError("the dossier could not be generated");
    return;
  }
  for (auto _ : state) {
    const RebuildReport report = RunDossierRebuild(false, true);
    if (report.code != 0) state.SkipWithError("the rebuild failed");
  }
  state.counters["lines"] = static_cast<double>(Dossier().lines());
  state.counters["lines_per_s"] =
      benchmark::Counter(static_cast<double>(Dossier().lines()), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_RebuildDossier)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

void BM_PackAndReindex(benchmark::State& state) {
  if (!Dossier().ready()) {
    state.SkipWithError("the dossier could not be generated");
    return;
  }
  for (auto _ : state) {
    const PackResult result = PackAndReindexTables(true);
    if (!result.ok()) state.SkipWithError("the pack and reindex failed");
  }
  state.counters["lines"] = static_cast<double>(Dossier().lines());
}
BENCHMARK(BM_PackAndReindex)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

// The draft pieces in reverse order with gaps (piece n becomes 2 (max + 1 - n) + 1), so that
// the renumbering gives every line another number.
void SpreadDraftPieces() {
  Table& c50 = *TableC50;
  if (!c50.OpenExclusive(PathC50())) return;
  const long count = static_cast<long>(c50.RecCount());
  long max = 0;
  for (long r = 1; r <= count && c50.GoTo(r); ++r) max = std::max(max, static_cast<long>(Val(c50.GetField(4))));
  for (long r = 1; r <= count && c50.GoTo(r); ++r) {
    char piece[32];
    std::snprintf(piece, sizeof piece, "%06ld", 2 * (max + 1 - static_cast<long>(Val(c50.GetField(4)))) + 1);
    c50.PutField(4, piece);
  }
  CloseAllTables();
}

// Every piece of the dossier renumbered: the plan worked out and written to
// the sort file, every line given its new number, the sort file refilled.
void BM_RenumberPieces(benchmark::State& state) {
  if (!Dossier().ready()) {
    state.SkipWithError("the dossier could not be generated");
    return;
  }
  for (auto _ : state) {
    state.PauseTiming();
    SpreadDraftPieces();
    state.ResumeTiming();
    const RenumberResult result = RenumberPieces();
    if (result.outcome != RenumberOutcome::Done) state.SkipWithError("the renumbering failed");
    state.counters["pieces"] = static_cast<double>(result.pieces);
    state.counters["lines_written"] = static_cast<double>(result.linesWritten);
  }
  state.counters["lines"] = static_cast<double>(Dossier().lines());
  state.counters["lines_per_s"] =
      benchmark::Counter(static_cast<double>(Dossier().lines()), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_RenumberPieces)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
