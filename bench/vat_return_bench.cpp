// The VAT returns on a large generated dossier with the generator's VAT detail: the return on
// debits of a 12-month period, the return on receipts of the same period, and the detailed
// listing of the receipts (layout EDE-DETAIL) rendered to its end through the report interpreter
// with fixed metrics.
//
// The dossier is generated with 999,999 lines; MERLON_BENCH_LINES sets a smaller one:
//   MERLON_BENCH_LINES=100000 ./vat_return_bench
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

#include "runtime/inifiles.h"  // before bench_world.h, which sets the program folder
#include "bench_world.h"
#include "reports/engine/core/report_interpreter.h"
#include "reports/engine/core/report_owner.h"
#include "reports/vat_dunning/core/vat_reports.h"
#include "reports/vat_dunning/core/vat_return.h"
#include "runtime/dossier_record.h"

namespace {

struct World {
  World() : runtime("vat", false) {
    DemoOptions options;
    options.lines = bench_world::BenchLines(20000);
    options.currency = DossierCurrency::EuroMain;
    // A year from July to June with the VAT detail: every code on 4452, 44562, 4456 and 4457 each
    // month, marked customer payments, credits on 44567.
    options.firstDay = Ymd{2029, 7, 1};
    options.lastDay = Ymd{2030, 6, 30};
    options.vatDetail = true;
    if (!runtime.Generate(options)) return;
    if (!TableC10->UseShared(PathC10(), "C10CODE") || !ReadC10Texts()) return;
    TheDossierRecord.SetConstant(69, "C  ");
    const std::string c10 = PathC10(), c20 = PathC20(), c40 = PathC40(), c50 = PathC50(), c60 = PathC60();
    if (!t10.OpenShared(c10, "C10CODE", true) || !t20.OpenShared(c20, "C20CODE", true) ||
        !t40.OpenShared(c40, "C40CODE", true) || !t50.OpenShared(c50, "C50CODE", true) ||
        !t60.OpenShared(c60, "C60CODE", true) || !v60.OpenShared(c60, vat::ReceiptsComputation::kTag, true))
      return;
    const std::vector<std::string> months = vat::FinancialYearMonths();
    if (months.size() < 12) return;
    first = months.front();
    last = months[11];
    std::fprintf(stderr, "dossier: %u lines, period %s - %s\n", t50.RecCount(), first.c_str(), last.c_str());
    ready = true;
  }
  bench_world::BenchRuntime runtime;
  Table t10, t20, t40, t50, t60, v60;
  std::string first, last;
  bool ready = false;
};

std::unique_ptr<World> world;
World& TheWorld() {
  if (!world) world = std::make_unique<World>();
  return *world;
}

bool Ready(benchmark::State& state) {
  if (TheWorld().ready) return true;
  state.SkipWithError("no dossier");
  return false;
}

void BM_DebitsReturnOf12Months(benchmark::State& state) {
  if (!Ready(state)) return;
  World& w = TheWorld();
  vat::DebitsReturn r;
  for (auto _ : state) {
    vat::DebitsComputation computation(w.t10, w.t20, w.t40, w.t50, w.t60);
    computation.LoadCollectiveAccounts();
    computation.ComputeReturn(w.first, w.last, true, r);
  }
  state.counters["net"] = static_cast<double>(r.net) / 100.0;
}
BENCHMARK(BM_DebitsReturnOf12Months)->Unit(benchmark::kMillisecond);

void BM_ReceiptsReturnOf12Months(benchmark::State& state) {
  if (!Ready(state)) return;
  World& w = TheWorld();
  vat::ReceiptsReturn r;
  for (auto _ : state) {
    vat::ReceiptsComputation computation(w.t10, w.t40, w.t50, w.v60);
    computation.SetCollectiveLetters("C");
    computation.ComputeReturn(w.first, w.last, true, r);
  }
  state.counters["net"] = static_cast<double>(r.net) / 100.0;
}
BENCHMARK(BM_ReceiptsReturnOf12Months)->Unit(benchmark::kMillisecond);

// The receipts report as the owner of an interpreter run.
class ListingOwner : public reports::SimpleReportOwner {
 public:
  explicit ListingOwner(World& w) : report(fields, lineType, w.t10, w.t20, w.t40, w.t50, w.v60) {}
  bool PrepareReport() override { return report.PrepareReport(); }
  void ComputeLine() override { report.ComputeLine(); }
  bool NextRecord() override { return report.NextRecord(); }
  void ClassifyLine() override { report.ClassifyLine(); }
  vat::ReceiptsReport report;
};

void BM_DetailedListingRenderedToItsEnd(benchmark::State& state) {
  if (!Ready(state)) return;
  World& w = TheWorld();
  const std::string text = bench_world::ShippedLayout("EDE-DETAIL");
  if (text.empty()) {
    state.SkipWithError("layout EDE-DETAIL not found");
    return;
  }
  int pages = 0;
  long lines = 0;
  for (auto _ : state) {
    ListingOwner owner(w);
    owner.listType = "1";
    owner.report.ListType = "1";
    owner.report.Return.startMonth = w.first;
    owner.report.Return.endMonth = w.last;
    owner.report.Return.euros = true;
    if (!owner.PrepareReport()) {
      state.SkipWithError("nothing listed");
      return;
    }
    reports::MapTemplateSource templates;
    reports::DossierReportEnvironment env(templates);
    reports::FixedMetricsCanvas canvas;
    reports::RenderContext context;
    reports::ReportInterpreter interpreter(context, canvas, owner, env);
    interpreter.BeginListWithTemplate(reports::ListSetup(), text);
    pages = interpreter.RenderToEnd(1000000);
    lines = owner.report.LineCount;
  }
  if (lines == 0) state.SkipWithError("no line rendered");
  state.counters["pages"] = pages;
  state.counters["lines"] = static_cast<double>(lines);
}
BENCHMARK(BM_DetailedListingRenderedToItsEnd)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  // The dossier's cursors and the engine go before the program's own statics.
  world.reset();
  return 0;
}
