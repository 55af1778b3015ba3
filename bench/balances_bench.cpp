// Trial balances and their exports on a large generated dossier: the general balance of the
// year (the lines read once, the accounts gathered, every line formatted as a delimited
// export), the first page's worth of it, the statutory entries file of the year, the analytic
// balance, the "T" sequence (general, result, customers, suppliers, sections), and through the
// trial-balance window's report object (prepared, then rendered by the report engine) the first
// page of the general balance's preview and its CSV layout to the last line of the export.
//
// The dossier is generated with 999,999 lines (MERLON_BENCH_LINES sets fewer) and the months
// before December are then validated: their lines move to the closed file with a validation
// date, December stays in the draft, and the sort file is written again from both.
//   MERLON_BENCH_LINES=100000 ./balances_bench
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "data/books_write_permit.h"
#include "data/closed_lines.h"
#include "data/dossier_files.h"
#include "data/entry_lines.h"
#include "data/session.h"
#include "data/table_copy.h"
#include "data/table.h"
#include "balance_world.h"
#include "plain_scan.h"
#include "demo/dossier_demo.h"
#include "reports/balances/core/account_gathering.h"
#include "reports/balances/core/code_lists.h"
#include "reports/balances/core/fec_export.h"
#include "platform/system/cp1252.h"
#include "platform/system/files.h"
#include "reports/balances/core/trial_balance_report.h"
#include "reports/engine/core/report_canvas.h"
#include "reports/engine/core/report_environment.h"
#include "reports/engine/core/report_export.h"
#include "reports/engine/core/report_interpreter.h"
#include "reports/engine/core/template_loader.h"
#include "runtime/dossier_record.h"
#include "runtime/numbers.h"

namespace {

using namespace balances;

struct World : bench_world::BalanceWorld {
  World() : BalanceWorld("balances", '1') {
    ready = generated && (std::getenv("MERLON_BENCH_DRAFT") != nullptr || CloseMonths());
  }

  // The lines before December go to the closed file, validated on the first of the next month.
  bool CloseMonths() {
    // The benchmark's own set-up writes the books under a permit of its own.
    const BooksWritePermit permit("banc : mois clotures", BooksScope::OpenFolder());
    Table c40, c50, kept, c60;
    if (!c40.OpenExclusive(Path("c40")) || !c50.OpenShared(Path("c50"), "", true)) return false;
    std::vector<std::string> v;
    long closed = 0;
    const FieldMap lineFields(c50, c40, 1, FieldMap::Numbers::AsText);
    for (bool more = c50.GoTop(""); more && !c50.eof; more = c50.Skip(1)) {
      ReadStoredFields(c50, {LigneEcriture::BMOIS}, v);
      if (v[0] >= "C612" || c50.IsDeleted()) continue;  // cancelled lines go with the pack
      std::string next = v[0].substr(2, 2) == "12" ? "C70101" : v[0].substr(0, 2);
      if (next.size() == 2) {
        const int m = std::atoi(v[0].substr(2, 2).c_str()) + 1;
        next += (m < 10 ? "0" : "") + std::to_string(m) + "01";
      }
      if (!AppendClosedLine(lineFields, c50, c40, next, true)) return false;
      ++closed;
    }
    if (!c40.AppendQueued()) return false;
    c50.CloseTable();
    // The draft keeps December only.
    if (!kept.OpenExclusive(Path("c50"))) return false;
    for (bool more = kept.GoTop(""); more && !kept.eof; more = kept.Skip(1)) {
      ReadStoredFields(kept, {LigneEcriture::BMOIS}, v);
      if (v[0] < "C612") kept.DeleteRecord(nullptr, 0);
    }
    if (!kept.Pack()) return false;
    kept.CloseTable();
    c40.CloseTable();
    if (!c40.OpenShared(Path("c40")) || !c50.OpenShared(Path("c50")) || !c60.OpenExclusive(Path("c60")))
      return false;
    const bool ok = RefillSortRecords(c40, c50, c60);
    std::fprintf(stderr, "dossier: %ld closed lines, %u draft lines\n", closed, c50.RecCount());
    return ok;
  }

  // The baselines, measured once (the median of three runs' CPU seconds): a plain scan of C40 and C50
  // summing the general lines per account, and the general balance itself (for the statutory file).
  double PlainScanSeconds() {
    if (plainScan_ < 0) plainScan_ = Median([this] { bench_world::PlainBalance(Tables()); });
    return plainScan_;
  }
  double GeneralBalanceSeconds() {
    if (generalBalance_ < 0) generalBalance_ = Median([this] { GeneralBalanceCsv(); });
    return generalBalance_;
  }
  std::vector<std::pair<std::string, char>> Tables() const { return {{Path("c40"), 'D'}, {Path("c50"), 'B'}}; }

  // The general balance of the year, every line formatted as a delimited export; its accounts.
  std::size_t GeneralBalanceCsv() const;

  GatherContext Context(char kind, const CodeLists& codes) const {
    GatherContext context;
    context.options = MakeOptions(kind == '1' ? 'G' : kind == '9' ? '(' : kind, "C60101", "C61231");
    context.frame = MakePeriodFrame(context.options, "C60101", "C61231");
    context.listKind = kind;
    context.excludedJournals = codes.ExcludedJournals();
    context.collectiveList = codes.CollectiveList();
    return context;
  }

 private:
  template <class Run>
  static double Median(Run run) {
    std::vector<double> cpu;
    for (int i = 0; i < 3; ++i) {
      const double start = bench_world::BenchRuntime::CpuSeconds();
      run();
      cpu.push_back(bench_world::BenchRuntime::CpuSeconds() - start);
    }
    std::sort(cpu.begin(), cpu.end());
    return cpu[1];
  }
  double plainScan_ = -1, generalBalance_ = -1;
};

// One delimited line of an account, as the CSV layouts write it.
std::string CsvLine(const ChartEntry& a, const AccountFigures& f) {
  std::string line = a.code + ";" + a.name + ";";
  line += FormatNumber(14, 2, false, FromCents(f.LineDebit()));
  line += ";";
  line += FormatNumber(14, 2, false, FromCents(f.LineCredit()));
  return line;
}

std::size_t World::GeneralBalanceCsv() const {
  bench_world::BalanceSources s;
  // As the window loads a general balance alone: the analytic lines passed over.
  s.source.Load(Path("c60"), Path("c50"), Path("c40"), nullptr, false, false);
  s.chart.LoadAccounts(Path("c20"));
  s.codes.Load(Path("c10"));
  Gatherer g(s.source, s.chart, Context('1', s.codes));
  const std::vector<BalanceLine> lines = g.GatherList();
  std::string csv;
  for (const BalanceLine& l : lines) csv += CsvLine(s.chart.Entries()[l.entry], l.figures) + "\r\n";
  const BalanceTotals t = Gatherer::Totals(lines, '1');
  if (t.debit != t.credit) return 0;
  benchmark::DoNotOptimize(csv);
  return lines.size();
}

// The general balance of the year against a plain scan of C40 and C50 (target: at most 4 times), and
// the memory it makes at its peak per line read (the records of C40 and C50; target: at most 200
// bytes), measured on one more run outside the timed one (PeakMemory: `bytes_per_line` the anonymous
// pages, `rss_bytes_per_line` all resident pages, the tables' mapped pages included).
void BM_GeneralBalanceToItsLastCsvLine(benchmark::State& state) {
  World* w = bench_world::ReadyWorld<World>(state);
  if (w == nullptr) return;
  const double baseline = w->PlainScanSeconds();
  double lines = 0;
  for (const char* table : {"c40", "c50"}) {
    Table t;
    if (t.OpenShared(w->Path(table), "", true)) lines += t.RecCount();
  }
  std::size_t accounts = 0;
  double cpu = 0;
  for (auto _ : state) {
    const double start = bench_world::BenchRuntime::CpuSeconds();
    accounts = w->GeneralBalanceCsv();
    cpu += bench_world::BenchRuntime::CpuSeconds() - start;
    if (accounts == 0) return state.SkipWithError("unbalanced");
  }
  bench_world::PeakMemory memory;
  memory.Measure([w] { w->GeneralBalanceCsv(); });
  state.counters["accounts"] = static_cast<double>(accounts);
  state.counters["plain_scan_ms"] = baseline * 1e3;
  bench_world::ReportRatio(state, cpu / static_cast<double>(state.iterations()), baseline, 4.0);
  state.counters["bytes_per_line"] = lines > 0 ? memory.Peak() / lines : 0;
  state.counters["bytes_per_line_target"] = 200;
  state.counters["rss_bytes_per_line"] = lines > 0 ? memory.HighWater() / lines : 0;
}
BENCHMARK(BM_GeneralBalanceToItsLastCsvLine)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->ReportAggregatesOnly(true);

// The first page: the lines are loaded and the accounts gathered until 50 are printed.
void BM_FirstPageOfTheGeneralBalance(benchmark::State& state) {
  World* w = bench_world::ReadyWorld<World>(state);
  if (w == nullptr) return;
  for (auto _ : state) {
    bench_world::BalanceSources s;
    w->LoadSources(s, true, false);
    Gatherer g(s.source, s.chart, w->Context('1', s.codes));
    int printed = 0;
    for (const ChartEntry& a : s.chart.Entries()) {
      AccountFigures f;
      if (a.code[0] <= '9' && g.GatherAccount(a, f) && ++printed == 50) break;
    }
    benchmark::DoNotOptimize(printed);
  }
}
BENCHMARK(BM_FirstPageOfTheGeneralBalance)->Unit(benchmark::kMillisecond)->Iterations(3);

// The statutory entries file of the year against the general balance of the same dossier (target: at
// most 2 times, in no more memory: `peak_mb`, the peak resident growth of the run, beside
// `general_balance_peak_mb`, the general balance's measured the same way; `rows_peak_mb`, the peak
// growth from the chart and codes loaded to the file written: what reading the lines into rows and
// writing them takes).
void BM_StatutoryEntriesFileOfTheYear(benchmark::State& state) {
  World* w = bench_world::ReadyWorld<World>(state);
  if (w == nullptr) return;
  const double baseline = w->GeneralBalanceSeconds();
  static const double generalPeak = [w] {
    bench_world::PeakRssGrowth peak;
    w->GeneralBalanceCsv();
    return peak.Megabytes();
  }();
  double cpu = 0, peakMb = 0, rowsPeakMb = 0;
  for (auto _ : state) {
    bench_world::PeakRssGrowth peak;
    const double start = bench_world::BenchRuntime::CpuSeconds();
    {
      // As the run does it: the codes and the chart loaded, the rows built from the tables, then
      // written (the file never copied whole).
      ChartList chart;
      CodeLists codes;
      chart.LoadAccounts(w->Path("c20"));
      codes.Load(w->Path("c10"));
      // The kernel keeps one peak: the loading's is read before it is reset for the rows.
      const double loadPeakMb = peak.Megabytes();
      const bench_world::PeakRssGrowth rowsPeak(false);
      FecExport fec;
      FecContext context;
      context.siren = "732829320";
      context.yearEnd = "C61231";
      if (!fec.Build({w->Path("c60"), w->Path("c50"), w->Path("c40")}, codes, chart, context) ||
          !fec.Write(w->dir + "/732829320FEC20261231.txt"))
        return state.SkipWithError("file not written");
      state.counters["rows"] = static_cast<double>(fec.Rows().size());
      rowsPeakMb = std::max(rowsPeakMb, rowsPeak.Megabytes());
      peakMb = std::max(peakMb, std::max(loadPeakMb, static_cast<double>(rowsPeak.StartKb() - peak.StartKb()) / 1024.0 +
                                                         rowsPeak.Megabytes()));
    }
    cpu += bench_world::BenchRuntime::CpuSeconds() - start;
  }
  state.counters["general_balance_ms"] = baseline * 1e3;
  state.counters["peak_mb"] = peakMb;
  state.counters["rows_peak_mb"] = rowsPeakMb;
  state.counters["general_balance_peak_mb"] = generalPeak;
  bench_world::ReportRatio(state, cpu / static_cast<double>(state.iterations()), baseline, 2.0);
}
BENCHMARK(BM_StatutoryEntriesFileOfTheYear)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->ReportAggregatesOnly(true);

void BM_AnalyticBalance(benchmark::State& state) {
  World* w = bench_world::ReadyWorld<World>(state);
  if (w == nullptr) return;
  for (auto _ : state) {
    bench_world::BalanceSources s;
    w->LoadSources(s, false, true);
    Gatherer g(s.source, s.sections, w->Context('9', s.codes));
    state.counters["sections"] = static_cast<double>(g.GatherList().size());
  }
}
BENCHMARK(BM_AnalyticBalance)->Unit(benchmark::kMillisecond)->Iterations(3);

// "Toutes": general, result, customers, suppliers and sections from one reading of the lines.
void BM_AllBalancesSequence(benchmark::State& state) {
  World* w = bench_world::ReadyWorld<World>(state);
  if (w == nullptr) return;
  for (auto _ : state) {
    bench_world::BalanceSources s;
    w->LoadSources(s, true, true);
    std::size_t lines = 0;
    for (char kind : std::string("12CF9")) {
      Gatherer g(s.source, kind == '9' ? s.sections : s.chart, w->Context(kind, s.codes));
      lines += g.GatherList().size();
    }
    state.counters["lines"] = static_cast<double>(lines);
  }
}
BENCHMARK(BM_AllBalancesSequence)->Unit(benchmark::kMillisecond)->Iterations(3);

// The report environment of a run without a window: prompts taken as proposed.
class QuietEnvironment : public reports::DossierReportEnvironment {
 public:
  QuietEnvironment() : DossierReportEnvironment(templates_) {}
  void Beep() override {}
  void Warn(const std::string&, const std::string&) override {}

 private:
  reports::MapTemplateSource templates_;
};

// The general balance of the year through the window's report object: prepared (the lines read,
// the accounts gathered), then its layout `code` rendered, page 1 only or to the end (a CSV
// layout's export then written to its last line).
void RunTheGeneralBalance(benchmark::State& state, const char* code, bool toTheEnd) {
  World* w = bench_world::ReadyWorld<World>(state);
  if (w == nullptr) return;
  using DF = DossierRecord::DateField;
  TheDossierRecord.SetDateStored(DF::YearStart, "C60101");
  TheDossierRecord.SetDateStored(DF::YearEnd, "C61231");
  const std::string layout = bench_world::ShippedLayout(code);
  TrialBalancePaths paths;
  paths.c10 = w->Path("c10");
  paths.c20 = w->Path("c20");
  paths.c30 = w->Path("c30");
  paths.c40 = w->Path("c40");
  paths.c50 = w->Path("c50");
  paths.c60 = w->Path("c60");
  for (auto _ : state) {
    TrialBalanceReport report;
    report.Begin(MakeOptions('G', "C60101", "C61231").text, paths);
    report.ChooseReportCode(code);
    report.reportCode = code;
    report.reportCode.resize(18, ' ');
    if (!report.PrepareReport()) return state.SkipWithError("nothing to show");
    QuietEnvironment env;
    reports::RenderContext context;
    reports::ReportExportFile file;
    context.exportFile = &file;
    reports::FixedMetricsCanvas canvas;
    reports::ReportInterpreter interpreter(context, canvas, report, env);
    reports::ListSetup setup;
    if (!interpreter.BeginListWithTemplate(setup, layout)) return state.SkipWithError("layout");
    if (toTheEnd)
      interpreter.RenderToEnd();
    else
      interpreter.RenderPage();
    if (file.IsOpen() && !file.Close(context.exportSettings)) return state.SkipWithError("export not written");
    state.counters["pages"] = static_cast<double>(context.store.PageCount());
    state.counters["accounts"] = static_cast<double>(report.LineCount());
    state.counters["bytes"] = static_cast<double>(file.BytesWritten());
  }
}

// The first page of the preview of the standard layout.
void BM_FirstPageOfThePreview(benchmark::State& state) { RunTheGeneralBalance(state, "EBS-1STD", false); }
BENCHMARK(BM_FirstPageOfThePreview)->Unit(benchmark::kMillisecond)->Iterations(3);

// The CSV layout to the last line of its export.
void BM_GeneralBalanceCsvExportThroughTheReport(benchmark::State& state) {
  RunTheGeneralBalance(state, "EBS-CSV", true);
}
BENCHMARK(BM_GeneralBalanceCsvExportThroughTheReport)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
