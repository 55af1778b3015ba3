// Generation of demo dossiers: the whole run (creation of the dossier, lines and sort records
// written in bulk, tags built, codes, accounts, sections and totals written), at 100,000 lines
// and at the largest size, 999,999 lines; the largest also as a July-June year kept in francs
// with two analytic axes. Prints the seconds of each run.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "data/session.h"
#include "demo/dossier_demo.h"
#include "runtime/inifiles.h"
#include "runtime/runtime_init.h"

namespace {

void BM_GenerateDemoDossier(benchmark::State& state) {
  char pattern[] = "/tmp/merlon-demo-bench-XXXXXX";
  if (mkdtemp(pattern) == nullptr) {
    state.SkipWithError("no temporary folder");
    return;
  }
  const std::string dir = pattern;
  SetProgramFolder(dir + "/program/");
  if (!InitRuntime() || StartDbSession() != 0) {
    state.SkipWithError("the runtime or the engine does not start");
    return;
  }
  int run = 0;
  for (auto _ : state) {
    DemoOptions options;
    options.folder = dir + "/demo" + std::to_string(run++);
    options.code = "BENCH";
    options.lines = static_cast<long>(state.range(0));
    if (state.range(1) != 0) {
      options.firstDay = Ymd{2025, 7, 1};
      options.lastDay = Ymd{2026, 6, 30};
      options.currency = DossierCurrency::FrancMain;
      options.analyticMode = '2';
    }
    std::string message;
    DemoStats stats;
    const auto start = std::chrono::steady_clock::now();
    const bool ok = GenerateDemoDossier(options, &message, &stats);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!ok) {
      state.SkipWithError(message.c_str());
      break;
    }
    std::printf("demo dossier: %ld lines (%ld analytic), %ld pieces, %ld accounts in %.2f s\n", stats.lines,
                stats.analyticLines, stats.pieces, stats.accounts, seconds);
    state.counters["lines"] = static_cast<double>(stats.lines);
    state.counters["seconds"] = seconds;
    state.PauseTiming();
    std::error_code ignored;
    std::filesystem::remove_all(options.folder, ignored);
    state.ResumeTiming();
  }
  StopDbSession();
  FreeRuntime();
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
}

BENCHMARK(BM_GenerateDemoDossier)
    ->ArgNames({"lines", "francs_analytic"})
    ->Args({100000, 0})
    ->Args({kMaxDemoLines, 0})
    ->Args({kMaxDemoLines, 1})
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
