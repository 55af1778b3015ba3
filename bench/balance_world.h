// What the trial-balance and balance-sheet benchmarks share: a generated dossier "BENCH" of
// BenchLines() lines in a runtime of its own, its tables by name, and the sources a trial
// balance reads loaded from them.
#pragma once

#include <benchmark/benchmark.h>

#include <string>

#include "bench_world.h"
#include "demo/dossier_demo.h"
#include "reports/balances/core/account_gathering.h"
#include "reports/balances/core/code_lists.h"

namespace bench_world {

// What a trial balance reads: the lines, the chart of accounts, the sections, the codes.
struct BalanceSources {
  balances::BalanceSource source;
  balances::ChartList chart, sections;
  balances::CodeLists codes;
};

class BalanceWorld {
 public:
  // `analyticMode` as DemoOptions takes it ("0" no sections).
  BalanceWorld(const std::string& name, char analyticMode) : runtime(name, false) {
    DemoOptions options;
    options.lines = BenchLines();
    options.code = "BENCH";
    options.analyticMode = analyticMode;
    generated = runtime.Generate(options);
    folder = options.folder;
    dir = runtime.dir();
  }

  // A table of the dossier by its prefix ("c60").
  std::string Path(const char* table) const { return folder + table + std::string("bench.dbf"); }

  // The lines (sort, draft and closed files; their texts for the exports), the chart of accounts
  // and the sections when asked, the codes.
  void LoadSources(BalanceSources& s, bool chart, bool sections, bool texts = false) const {
    s.source.Load(Path("c60"), Path("c50"), Path("c40"), nullptr, texts);
    if (chart) s.chart.LoadAccounts(Path("c20"));
    if (sections) s.sections.LoadSections(Path("c30"));
    s.codes.Load(Path("c10"));
  }

  BenchRuntime runtime;
  std::string dir, folder;
  bool generated = false;
  bool ready = false;  // set by the benchmark's own preparation
};

// The benchmark's world made once; null (the benchmark skipped) when it could not be prepared.
template <class World>
World* ReadyWorld(benchmark::State& state) {
  static World world;
  if (world.ready) return &world;
  state.SkipWithError("no dossier");
  return nullptr;
}

}  // namespace bench_world
