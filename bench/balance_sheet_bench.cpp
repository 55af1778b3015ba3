// The balance sheet on a large generated dossier: the computation run of the whole year (the
// lines read once, every account gathered and assigned by the model's parameters, C70 and the
// annex records written), beside the general trial balance's gathering of the same year that it
// should stay close to; and the totals pass of the edition over the computed lines.
//
// The dossier is generated with 999,999 lines (MERLON_BENCH_LINES sets fewer), its C70
// initialised from the model "S" made from its sources.
//   MERLON_BENCH_LINES=100000 ./balance_sheet_bench
#include <benchmark/benchmark.h>
#include <cstdio>
#include <string>
#include <vector>

#include "data/dossier_files.h"
#include "data/session.h"
#include "data/table.h"
#include "balance_world.h"
#include "demo/dossier_demo.h"
#include "reports/balances/core/account_gathering.h"
#include "reports/balances/core/balance_sheet_compile.h"
#include "reports/balances/core/balance_sheet_init.h"
#include "reports/balances/core/balance_sheet_model.h"
#include "reports/balances/core/balance_sheet_run.h"
#include "reports/balances/core/code_lists.h"

namespace {

using namespace balances;

struct World : bench_world::BalanceWorld {
  World() : BalanceWorld("balance-sheet", '0') {
    if (!generated) return;
    const std::string models = std::string(MERLON_SOURCE_DIR) + "/src/resources/models/";
    std::string message;
    if (!CompileModel(models + "clbilans.csv", models + "cpbilans.csv", ProgramFolder, 's', &message)) {
      std::fprintf(stderr, "model: %s\n", message.c_str());
      return;
    }
    Table c10, c70;
    if (!c10.OpenExclusive(Path("c10"), "C10CODE") || !c70.OpenExclusive(Path("c70"), "C70CODE")) return;
    ready = InitialiseBalanceSheet(c10, c70, ProgramFolder, 'S') == InitOutcome::kDone;
  }

  SheetRunInput Input() const {
    SheetRunInput in;
    in.c10 = Path("c10");
    in.c20 = Path("c20");
    in.c40 = Path("c40");
    in.c50 = Path("c50");
    in.c60 = Path("c60");
    in.c70 = Path("c70");
    in.params = ModelPath(ProgramFolder, 'S', true);
    in.period = {"C60101", "C61231", "C60101", "C61231"};
    in.euroOnly = true;
    return in;
  }

};

void BM_BalanceSheetRunOfTheYear(benchmark::State& state) {
  World* w = bench_world::ReadyWorld<World>(state);
  if (w == nullptr) return;
  for (auto _ : state) {
    const SheetRun run = RunBalanceSheet(w->Input());
    if (run.outcome != RunOutcome::kDone) state.SkipWithError("the run did not end");
    state.counters["accounts"] = static_cast<double>(run.computation.accounts);
    state.counters["annex"] = static_cast<double>(run.computation.annex.size());
    state.counters["errors"] = static_cast<double>(run.computation.ErrorCount());
  }
}
BENCHMARK(BM_BalanceSheetRunOfTheYear)->Unit(benchmark::kMillisecond)->Iterations(3);

// The trial balance's general list of the same year, from the same tables.
void BM_GeneralTrialBalanceOfTheYear(benchmark::State& state) {
  World* w = bench_world::ReadyWorld<World>(state);
  if (w == nullptr) return;
  for (auto _ : state) {
    bench_world::BalanceSources s;
    w->LoadSources(s, true, false);
    GatherContext context;
    context.options = MakeOptions('G', "C60101", "C61231");
    context.frame = MakePeriodFrame(context.options, "C60101", "C61231");
    context.collectiveList = s.codes.CollectiveList();
    Gatherer g(s.source, s.chart, context);
    benchmark::DoNotOptimize(g.GatherList());
  }
}
BENCHMARK(BM_GeneralTrialBalanceOfTheYear)->Unit(benchmark::kMillisecond)->Iterations(3);

// The edition's totals pass over the computed lines of C70, read from the table.
void BM_TotalsPassOfTheEdition(benchmark::State& state) {
  World* w = bench_world::ReadyWorld<World>(state);
  if (w == nullptr) return;
  for (auto _ : state) {
    Table c70;
    c70.OpenShared(w->Path("c70"), "C70CODE", true);
    std::vector<SheetLine> lines;
    LoadSheetLines(c70, lines);
    TotalsPass(lines, 1);
    benchmark::DoNotOptimize(lines);
  }
}
BENCHMARK(BM_TotalsPassOfTheEdition)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

BENCHMARK_MAIN();
