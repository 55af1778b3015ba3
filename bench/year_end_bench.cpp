// The year-end figures, printed in seconds, on generated dossiers sized by MERLON_BENCH_LINES
// (999,999 by default): the opening balances of such a dossier carried into a small next-year
// dossier, the target's rebuild included; the merge of a dossier of a fifth of the lines into one
// of the rest (999,999 lines after), the rebuild included; the separation of such a dossier at
// mid-year into a small next-year dossier, both rebuilds included.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "data/dossier_files.h"
#include "data/session.h"
#include "data/table.h"
#include "demo/dossier_demo.h"
#include "dossier/maintenance_rebuild.h"
#include "processing/core/dossier_merge.h"
#include "processing/core/opening_balances.h"
#include "processing/core/year_separation.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/runtime_init.h"
#include "runtime/xbase.h"
// After the runtime headers it uses.
#include "bench_world.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// The small dossier of the year a run writes into, in the world's folder.
DemoOptions NextYearDossier(const bench_world::BenchRuntime& world, Ymd firstDay, Ymd lastDay) {
  DemoOptions next;
  next.folder = world.dir() + "/next/";
  next.code = "NEXT";
  next.lines = 100;
  next.firstDay = firstDay;
  next.lastDay = lastDay;
  return next;
}

void BM_OpeningBalances(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    bench_world::BenchRuntime world("yearend", false);
    DemoOptions next = NextYearDossier(world, Ymd{2027, 1, 1}, Ymd{2027, 12, 31});
    DemoOptions source;
    source.lines = bench_world::BenchLines();
    if (!world.Generate(next) || !world.Generate(source)) {
      state.SkipWithError("generation failed");
      return;
    }
    if (!TableC10->OpenShared(PathC10(), "C10CODE") || !ReadC10Texts()) {
      state.SkipWithError("source not opened");
      return;
    }
    std::vector<processing::Collective> collectives = processing::ReadCollectives(*TableC10);
    CloseAllTables();
    processing::TrialBalance balance;
    {
      Table c20;
      c20.OpenShared(PathC20(), "C20CODE", true);
      balance = processing::ComputeTrialBalance(c20, collectives);
    }
    processing::OpeningRequest request;
    request.target = processing::OtherDossier{next.folder, next.code};
    request.date = next.firstDay;
    request.detailUnmatched = true;
    request.detailUnreconciled = true;
    processing::TargetMaintenance maintenance;
    maintenance.rebuild = [] { return RunDossierRebuild(true, true).code; };
    state.ResumeTiming();
    const auto start = std::chrono::steady_clock::now();
    const processing::OpeningResult r =
        processing::GenerateOpeningBalances(request, collectives, balance, maintenance);
    const double seconds = Seconds(start);
    state.PauseTiming();
    if (r.code != 0) state.SkipWithError(("run failed: " + r.error).c_str());
    std::printf("opening balances of %ld lines: %ld lines written, %.2f s (target rebuild included)\n",
                source.lines, r.lines, seconds);
    state.counters["seconds"] = seconds;
    state.ResumeTiming();
  }
}
BENCHMARK(BM_OpeningBalances)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

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

void BM_Merge(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    bench_world::BenchRuntime world("merge", false);
    const long total = bench_world::BenchLines();
    DemoOptions other;
    other.folder = world.dir() + "/other/";
    other.code = "OTHER";
    other.lines = total / 5;
    other.closedMonths = -1;
    other.matchings = true;
    other.seed = 7;
    DemoOptions open;
    open.lines = total - other.lines;
    if (!world.Generate(other) || !world.Generate(open) || !LoadCurrent()) {
      state.SkipWithError("generation failed");
      return;
    }
    processing::MergeRequest request;
    request.other = processing::OtherDossier{other.folder, other.code};
    request.from = "01/01/26";
    request.to = "31/12/26";
    processing::TargetMaintenance maintenance;
    maintenance.rebuild = [] { return RunDossierRebuild(true, false).code; };
    state.ResumeTiming();
    const auto start = std::chrono::steady_clock::now();
    const processing::MergeResult r = processing::MergeOtherDossier(request, maintenance);
    const double seconds = Seconds(start);
    state.PauseTiming();
    if (r.code != 0) state.SkipWithError(("run failed: " + r.error).c_str());
    std::printf("merge of %ld lines into %ld: %ld lines added, %.2f s (rebuild included)\n", other.lines,
                open.lines, r.lines, seconds);
    state.counters["seconds"] = seconds;
    state.ResumeTiming();
  }
}
BENCHMARK(BM_Merge)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

void BM_Separation(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    bench_world::BenchRuntime world("separation", false);
    DemoOptions next = NextYearDossier(world, Ymd{2026, 7, 1}, Ymd{2027, 6, 30});
    DemoOptions source;
    source.lines = bench_world::BenchLines();
    source.closedMonths = -1;
    source.matchings = true;
    if (!world.Generate(next) || !world.Generate(source) || !LoadCurrent()) {
      state.SkipWithError("generation failed");
      return;
    }
    processing::SeparationRequest request;
    request.other = processing::OtherDossier{next.folder, next.code};
    request.date = next.firstDay;
    processing::SeparationMaintenance maintenance;
    maintenance.rebuild = [] { return RunDossierRebuild(true, true).code; };
    state.ResumeTiming();
    const auto start = std::chrono::steady_clock::now();
    const processing::SeparationResult r = processing::SeparateYears(request, maintenance);
    const double seconds = Seconds(start);
    state.PauseTiming();
    if (r.code != 0) state.SkipWithError(("run failed: " + r.error).c_str());
    std::printf("separation of %ld lines at 01/07/26: %ld pieces, %ld lines moved, %.2f s (both rebuilds included)\n",
                source.lines, r.pieces, r.lines, seconds);
    state.counters["seconds"] = seconds;
    state.ResumeTiming();
  }
}
BENCHMARK(BM_Separation)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
