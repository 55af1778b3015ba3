// The ledger reports run to their CSV export over a large generated dossier (a July-June year, its
// first months closed, an opening entry, matched lines, one analytic axis), as a report window runs
// them once its limits are taken: the general ledger of the whole year over every general account,
// every ledger of "Tous" one after the other, the journal listing of the whole year with its
// summary blocks, and the statement of the busiest customer account. Each iteration starts from the
// limits, so the sort file is read again. The line count comes from MERLON_BENCH_LINES (default
// 999,999):
//   MERLON_BENCH_LINES=100000 ./ledgers_bench
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>

// bench_world.h takes the runtime's declarations from its includer.
#include "runtime/dates.h"
#include "runtime/inifiles.h"
#include "bench_world.h"
#include "plain_scan.h"
#include "data/dossier_files.h"
#include "data/table.h"
#include "reports/engine/core/report_interpreter.h"
#include "reports/ledgers/core/account_statement.h"
#include "reports/ledgers/core/general_ledgers.h"
#include "reports/ledgers/core/journal_listings.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"

namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The export-only layouts of the ledger tests.
std::string Layout(const std::string& name) {
  return ReadText(std::string(MERLON_SOURCE_DIR) + "/tests/reports/ledgers/data/C-Etat-" + name + ".txt");
}

class Environment : public reports::DossierReportEnvironment {
 public:
  Environment() : DossierReportEnvironment(templates_) {}
  void Beep() override {}
  void Warn(const std::string& caption, const std::string& text) override {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  }

 private:
  reports::MapTemplateSource templates_;
};

// Runs a prepared report to the end of its export; the export's size in bytes.
long RunToExport(ledgers::LedgerReport& report, const std::string& layout, const std::string& path) {
  report.exportFileName = path;
  Environment env;
  reports::RenderContext context;
  reports::ReportExportFile file;
  context.exportFile = &file;
  reports::FixedMetricsCanvas canvas;
  reports::ReportInterpreter interpreter(context, canvas, report, env);
  if (!interpreter.BeginListWithTemplate(reports::ListSetup{}, layout)) return -1;
  interpreter.RenderToEnd();
  file.Close(context.exportSettings);
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  return ec ? -1 : static_cast<long>(size);
}

using bench_world::BenchLines;

struct World {
  World() : runtime("ledgers", false) {
    SetDateWindowYear(2026);
    DemoOptions options;
    options.lines = BenchLines();
    options.firstDay = {2025, 7, 1};
    options.lastDay = {2026, 6, 30};
    options.currency = DossierCurrency::EuroMain;
    options.analyticMode = '1';
    options.closedMonths = -1;
    options.matchings = true;
    if (!runtime.Generate(options)) return;
    dir = runtime.dir();
    SetDossierIniPath(PathC10(".ini"));
    if (!ledgers::OpenLedgerTables(ledgers::ProgramLedgerTables(), 0) || !LoadDossierRecord()) return;
    // The customer with the most lines.
    std::map<std::string, long> count;
    for (bool more = TableC60->GoTop("C60CODE"); more; more = TableC60->SkipActive(true))
      if (TableC60->GetField(2)[0] == 'C') ++count[TableC60->GetField(2)];
    for (const auto& [code, n] : count)
      if (busiest.empty() || n > count[busiest]) busiest = code;
    busiestLines = busiest.empty() ? 0 : count[busiest];
    ready = true;
  }
  static bool LoadDossierRecord() {
    Table& c10 = *TableC10;
    DossierRecord::C10Texts texts;
    if (!c10.Seek("C10CODE", "0")) return false;
    texts.record0Field3 = c10.GetField(3);
    texts.record0Field4 = c10.GetField(4);
    texts.record0Field5 = c10.GetField(5);
    texts.record0Field6 = c10.GetField(6);
    if (!c10.Seek("C10CODE", "P", "0")) return false;
    texts.p0Field4 = c10.GetField(4);
    texts.p0Field5 = c10.GetField(5);
    TheDossierRecord.LoadFromC10(texts);
    return true;
  }
  std::string Export(const std::string& name) const { return dir + "/" + name; }

  // The baseline, measured once (the median of three runs' CPU seconds): the general lines of C40 and
  // C50 sorted by account and date and written as CSV by a plain program.
  double PlainSortAndWriteSeconds() {
    if (plain_ >= 0) return plain_;
    std::vector<double> cpu;
    for (int i = 0; i < 3; ++i) {
      const double start = bench_world::BenchRuntime::CpuSeconds();
      const std::string c40 = std::string(PathC40()) + ".dbf", c50 = std::string(PathC50()) + ".dbf";
      plainBytes = bench_world::PlainSortAndWrite({{c40, 'D'}, {c50, 'B'}}, Export("plain.csv"));
      cpu.push_back(bench_world::BenchRuntime::CpuSeconds() - start);
    }
    std::sort(cpu.begin(), cpu.end());
    return plain_ = cpu[1];
  }
  double plain_ = -1;
  long plainBytes = 0;

  bench_world::BenchRuntime runtime;
  bool ready = false;
  std::string dir;
  std::string busiest;
  long busiestLines = 0;
};

std::unique_ptr<World> world;
World& TheWorld() {
  if (!world) world = std::make_unique<World>();
  return *world;
}

// The general ledger of the whole year, every general account (the customers and suppliers on
// their collectives' lines), to its CSV export, against a plain sort-and-write of the same lines
// (target: at most 3 times).
void BM_GeneralLedgerWholeYearCsv(benchmark::State& state) {
  World& w = TheWorld();
  if (!w.ready) return state.SkipWithError("no dossier");
  const std::string layout = Layout("EG-GL");
  const double baseline = w.PlainSortAndWriteSeconds();
  long bytes = 0;
  double cpu = 0;
  for (auto _ : state) {
    const double start = bench_world::BenchRuntime::CpuSeconds();
    ledgers::GeneralLedgers gl;
    ledgers::GeneralLedgerOptions o;
    o.kind = 'G';
    o.dateFrom = "C50701";
    o.dateTo = "C60630";
    gl.TakeLimits(o.ToRecord());
    gl.ChooseReportCode("EG-GL");
    if (!gl.PrepareNextLedger()) return state.SkipWithError("nothing to show");
    bytes = RunToExport(gl, layout, w.Export("grand-livre.csv"));
    cpu += bench_world::BenchRuntime::CpuSeconds() - start;
  }
  state.counters["csv_bytes"] = static_cast<double>(bytes);
  state.counters["lines"] = static_cast<double>(BenchLines());
  state.counters["plain_ms"] = baseline * 1e3;
  state.counters["plain_bytes"] = static_cast<double>(w.plainBytes);
  bench_world::ReportRatio(state, cpu / static_cast<double>(state.iterations()), baseline, 3.0);
}
BENCHMARK(BM_GeneralLedgerWholeYearCsv)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

// Every ledger of "Tous" (general, result, customers, suppliers, analytic), one after the other as
// "Liste suivante" shows them, each to its CSV export.
void BM_EveryLedgerWholeYearCsv(benchmark::State& state) {
  World& w = TheWorld();
  if (!w.ready) return state.SkipWithError("no dossier");
  const std::string layout = Layout("EG-CSV");
  int ledgers = 0;
  for (auto _ : state) {
    ledgers::GeneralLedgers gl;
    ledgers::GeneralLedgerOptions o;
    o.kind = 'T';
    o.dateFrom = "C50701";
    o.dateTo = "C60630";
    gl.TakeLimits(o.ToRecord());
    gl.ChooseReportCode("EG-CSV");
    ledgers = 0;
    for (bool more = gl.PrepareNextLedger(); more; more = gl.NextLedger())
      RunToExport(gl, layout, w.Export("gl-" + std::to_string(++ledgers) + ".csv"));
  }
  state.counters["ledgers"] = ledgers;
}
BENCHMARK(BM_EveryLedgerWholeYearCsv)->Unit(benchmark::kMillisecond)->Iterations(3);

// The journal listing of every journal-month of the year with its summary blocks.
void BM_JournalSummaryWholeYearCsv(benchmark::State& state) {
  World& w = TheWorld();
  if (!w.ready) return state.SkipWithError("no dossier");
  const std::string layout = Layout("EJR-CSV");
  long bytes = 0;
  for (auto _ : state) {
    ledgers::JournalListings j;
    ledgers::JournalListingOptions o;
    o.summary = true;
    j.TakeLimits(o.ToRecord());
    if (!j.PrepareReport()) return state.SkipWithError("nothing to show");
    bytes = RunToExport(j, layout, w.Export("ejr.csv"));
  }
  state.counters["csv_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_JournalSummaryWholeYearCsv)->Unit(benchmark::kMillisecond)->Iterations(3);

// The journal listing of the whole year, line by line.
void BM_JournalDetailWholeYearCsv(benchmark::State& state) {
  World& w = TheWorld();
  if (!w.ready) return state.SkipWithError("no dossier");
  const std::string layout = Layout("EJ-CSV");
  long bytes = 0;
  for (auto _ : state) {
    ledgers::JournalListings j;
    ledgers::JournalListingOptions o;
    j.TakeLimits(o.ToRecord());
    if (!j.PrepareReport()) return state.SkipWithError("nothing to show");
    bytes = RunToExport(j, layout, w.Export("ej.csv"));
  }
  state.counters["csv_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_JournalDetailWholeYearCsv)->Unit(benchmark::kMillisecond)->Iterations(3);

// The statement of the busiest customer account over the whole year.
void BM_BusiestCustomerStatementCsv(benchmark::State& state) {
  World& w = TheWorld();
  if (!w.ready) return state.SkipWithError("no dossier");
  const std::string layout = Layout("EC-CSV");
  for (auto _ : state) {
    ledgers::AccountStatement s;
    ledgers::AccountStatementOptions o;
    o.account = w.busiest;
    o.dateFrom = "C50701";
    o.dateTo = "C60630";
    s.TakeLimits(o.ToRecord());
    if (!s.PrepareReport()) return state.SkipWithError("nothing to show");
    RunToExport(s, layout, w.Export("ec.csv"));
  }
  state.counters["account_lines"] = static_cast<double>(w.busiestLines);
}
BENCHMARK(BM_BusiestCustomerStatementCsv)->Unit(benchmark::kMillisecond);

}  // namespace

// The dossier goes before the program's statics do.
int main(int argc, char** argv) {
  return bench_world::RunBenchmarksThen(argc, argv, [] { world.reset(); });
}
