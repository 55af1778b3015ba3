// The year-end runs on generated dossiers sized by MERLON_BENCH_LINES (999,999 by default): the opening
// balances of such a dossier carried into a small next-year dossier, the target's rebuild included; the merge
// of a dossier of a fifth of the lines into one of the rest (999,999 lines after), the rebuild included; the
// separation of such a dossier at mid-year into a small next-year dossier, both rebuilds included.
//
// Each benchmark generates its two dossiers once, keeps a copy of both aside and puts them back before each of
// its three runs, so that the runs start from the same files; the median of the three is the figure. Each
// prints the CPU time per line the run writes ("us_per_line") beside the generator's cost per line measured
// while it made the dossiers, and their ratio.
//   MERLON_BENCH_LINES=100000 ./year_end_bench
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "data/dossier_files.h"
#include "data/session.h"
#include "data/table.h"
#include "demo/dossier_demo.h"
#include "dossier/core/maintenance_rebuild.h"
#include "processing/core/dossier_merge.h"
#include "processing/core/opening_balances.h"
#include "processing/core/year_separation.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/runtime_init.h"
// After the runtime headers it uses.
#include "bench_world.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// A benchmark's runtime and its two dossiers: the one made current (the source, or the one merged into) and
// the other one (the next year's, or the one merged), each with its copy aside.
struct YearWorld {
  explicit YearWorld(const std::string& benchmark) : name(benchmark), runtime(benchmark, false) {}

  // Puts both dossiers back as they were generated (not before the first run) and makes the current one
  // current again.
  bool PutBack() {
    CloseAllTables();
    if (!fresh && (!currentCopy->Restore() || !otherCopy->Restore())) return false;
    fresh = false;
    SetDossier(current.folder, current.code);
    return true;
  }

  std::string name;
  bench_world::BenchRuntime runtime;
  DemoOptions current, other;
  std::unique_ptr<bench_world::FolderSnapshot> currentCopy, otherCopy;
  bool fresh = true;
  bool ready = false;
};

// One world at a time: a benchmark's world is made at its first run and kept for the next two.
std::unique_ptr<YearWorld> world;

// The world of the named benchmark: `other` generated in <dir>/<otherFolder>/, then `current`, and both copied
// aside; null (the benchmark skipped) when that failed.
YearWorld* WorldOf(benchmark::State& state, const std::string& name, const std::string& otherFolder,
                   const DemoOptions& other, const DemoOptions& current) {
  if (!world || world->name != name) {
    world.reset();
    world = std::make_unique<YearWorld>(name);
    YearWorld& w = *world;
    w.other = other;
    w.other.folder = w.runtime.dir() + "/" + otherFolder + "/";
    w.current = current;
    if (w.runtime.Generate(w.other) && w.runtime.Generate(w.current)) {
      CloseAllTables();
      w.currentCopy = std::make_unique<bench_world::FolderSnapshot>(w.current.folder);
      w.otherCopy = std::make_unique<bench_world::FolderSnapshot>(w.other.folder);
      w.ready = w.currentCopy->Restore() && w.otherCopy->Restore();
    }
  }
  if (!world->ready) {
    state.SkipWithError("generation failed");
    return nullptr;
  }
  if (!world->PutBack()) {
    state.SkipWithError("dossiers not put back");
    return nullptr;
  }
  return world.get();
}

// The small dossier of the year a run writes into.
DemoOptions NextYearDossier(Ymd firstDay, Ymd lastDay) {
  DemoOptions next;
  next.code = "NEXT";
  next.lines = 100;
  next.firstDay = firstDay;
  next.lastDay = lastDay;
  return next;
}

// The dossier made current with its record and constants, as the opening loads them.
bool LoadCurrent() {
  const bool ok = TableC10->OpenShared(PathC10(), "C10CODE") && ReadC10Texts() && TableC10->Seek("C10CODE", "P", "0");
  if (ok) {
    TheDossierRecord.Set(539, 252, TableC10->GetField(4));
    TheDossierRecord.Set(791, 252, TableC10->GetField(5));
  }
  CloseAllTables();
  return ok;
}

void BM_OpeningBalances(benchmark::State& state) {
  DemoOptions source;
  source.lines = bench_world::BenchLines();
  YearWorld* w = WorldOf(state, "yearend", "next", NextYearDossier(Ymd{2027, 1, 1}, Ymd{2027, 12, 31}), source);
  if (w == nullptr) return;
  if (!TableC10->OpenShared(PathC10(), "C10CODE") || !ReadC10Texts()) return state.SkipWithError("source not opened");
  std::vector<processing::Collective> collectives = processing::ReadCollectives(*TableC10);
  CloseAllTables();
  processing::TrialBalance balance;
  {
    Table c20;
    c20.OpenShared(PathC20(), "C20CODE", true);
    balance = processing::ComputeTrialBalance(c20, collectives);
  }
  processing::OpeningRequest request;
  request.target = processing::OtherDossier{w->other.folder, w->other.code};
  request.date = w->other.firstDay;
  request.detailUnmatched = true;
  request.detailUnreconciled = true;
  processing::TargetMaintenance maintenance;
  maintenance.rebuild = [] { return RunDossierRebuild(true, true).code; };
  processing::OpeningResult r;
  const double cpu = bench_world::ProcessCpuOfLoop(state, [&] {
    const auto start = std::chrono::steady_clock::now();
    r = processing::GenerateOpeningBalances(request, collectives, balance, maintenance);
    std::fprintf(stderr, "opening balances of %ld lines: %ld lines written, %.2f s (target rebuild included)\n",
                 w->current.lines, r.lines, Seconds(start));
  });
  if (r.code != 0) return state.SkipWithError(("run failed: " + r.error).c_str());
  bench_world::ReportPerLine(state, cpu, r.lines, w->runtime);
}
BENCHMARK(BM_OpeningBalances)
    ->Unit(benchmark::kSecond)->Iterations(1)->Repetitions(3)->ReportAggregatesOnly(true)->UseRealTime();

void BM_Merge(benchmark::State& state) {
  const long total = bench_world::BenchLines();
  DemoOptions other;
  other.code = "OTHER";
  other.lines = total / 5;
  other.closedMonths = -1;
  other.matchings = true;
  other.seed = 7;
  DemoOptions open;
  open.lines = total - other.lines;
  YearWorld* w = WorldOf(state, "merge", "other", other, open);
  if (w == nullptr) return;
  if (!LoadCurrent()) return state.SkipWithError("dossier not loaded");
  processing::MergeRequest request;
  request.other = processing::OtherDossier{w->other.folder, w->other.code};
  request.from = "01/01/26";
  request.to = "31/12/26";
  processing::TargetMaintenance maintenance;
  maintenance.rebuild = [] { return RunDossierRebuild(true, false).code; };
  processing::MergeResult r;
  const double cpu = bench_world::ProcessCpuOfLoop(state, [&] {
    const auto start = std::chrono::steady_clock::now();
    r = processing::MergeOtherDossier(request, maintenance);
    std::fprintf(stderr, "merge of %ld lines into %ld: %ld lines added, %.2f s (rebuild included)\n", w->other.lines,
                 w->current.lines, r.lines, Seconds(start));
  });
  if (r.code != 0) return state.SkipWithError(("run failed: " + r.error).c_str());
  bench_world::ReportPerLine(state, cpu, r.lines, w->runtime);
}
BENCHMARK(BM_Merge)->Unit(benchmark::kSecond)->Iterations(1)->Repetitions(3)->ReportAggregatesOnly(true)->UseRealTime();

void BM_Separation(benchmark::State& state) {
  DemoOptions source;
  source.lines = bench_world::BenchLines();
  source.closedMonths = -1;
  source.matchings = true;
  YearWorld* w = WorldOf(state, "separation", "next", NextYearDossier(Ymd{2026, 7, 1}, Ymd{2027, 6, 30}), source);
  if (w == nullptr) return;
  if (!LoadCurrent()) return state.SkipWithError("dossier not loaded");
  processing::SeparationRequest request;
  request.other = processing::OtherDossier{w->other.folder, w->other.code};
  request.date = w->other.firstDay;
  processing::SeparationMaintenance maintenance;
  maintenance.rebuild = [] { return RunDossierRebuild(true, true).code; };
  processing::SeparationResult r;
  const double cpu = bench_world::ProcessCpuOfLoop(state, [&] {
    const auto start = std::chrono::steady_clock::now();
    r = processing::SeparateYears(request, maintenance);
    std::fprintf(stderr, "separation of %ld lines at 01/07/26: %ld pieces, %ld lines moved, %.2f s (both rebuilds "
                 "included)\n", w->current.lines, r.pieces, r.lines, Seconds(start));
  });
  if (r.code != 0) return state.SkipWithError(("run failed: " + r.error).c_str());
  state.counters["pieces"] = static_cast<double>(r.pieces);
  bench_world::ReportPerLine(state, cpu, r.lines, w->runtime);
}
BENCHMARK(BM_Separation)
    ->Unit(benchmark::kSecond)->Iterations(1)->Repetitions(3)->ReportAggregatesOnly(true)->UseRealTime();

}  // namespace

// The last world goes before the program's statics do.
int main(int argc, char** argv) {
  return bench_world::RunBenchmarksThen(argc, argv, [] { world.reset(); });
}
