// The year-end figure, printed in seconds: the opening balances of a generated dossier of 999,999
// lines (MERLON_BENCH_LINES) carried into a small next-year dossier, the target's rebuild included.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "data/dossier_files.h"
#include "data/session.h"
#include "data/table.h"
#include "demo/dossier_demo.h"
#include "dossier/maintenance_rebuild.h"
#include "processing/core/opening_balances.h"
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

void BM_OpeningBalances(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    bench_world::BenchRuntime world("yearend", false);
    DemoOptions next;
    next.folder = world.dir() + "/next/";
    next.code = "NEXT";
    next.lines = 100;
    next.firstDay = Ymd{2027, 1, 1};
    next.lastDay = Ymd{2027, 12, 31};
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

}  // namespace

BENCHMARK_MAIN();
