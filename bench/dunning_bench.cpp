// Dunning letters and supplier payments on a large generated dossier: the selection and the
// computation of every customer account of the range ("C" to "CZZZZZZZ": FirstAccount, then
// LoadAccount to the end through the hooks, without rendering), the global listing of those
// accounts with their statements previewed to its last page, and the SEPA file of a payment
// run over 10,000 suppliers (written through Pain001Writer, placed as the export file).
//
// The dossier is generated with 999,999 lines less the 10,000 lines of the suppliers the
// benchmark adds (one invoice each, on accounts "FY000001" to "FY010000" with an IBAN and a
// BIC). MERLON_BENCH_LINES sets a smaller dossier:
//   MERLON_BENCH_LINES=100000 ./dunning_bench
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "runtime/inifiles.h"  // before bench_world.h, which sets the program folder
#include "bench_world.h"
#include "data/books_write_permit.h"
#include "data/dossier_files.h"
#include "data/entry_lines.h"
#include "data/session.h"
#include "data/table.h"
#include "demo/dossier_demo.h"
#include "platform/system/temp_files.h"
#include "reports/engine/core/report_interpreter.h"
#include "reports/engine/core/report_owner.h"
#include "reports/vat_dunning/core/dunning_run.h"
#include "runtime/bank_ids.h"
#include "runtime/dossier_record.h"
#include "runtime/runtime_hooks.h"
#include "runtime/runtime_init.h"
#include "runtime/session_registry.h"

namespace {

using L = LigneEcriture;
constexpr long kSuppliers = 10000;

std::string IbanOf(const std::string& bban) {
  for (int k = 2; k < 99; ++k) {
    const std::string iban = "FR" + std::string(k < 10 ? "0" : "") + std::to_string(k) + bban;
    if (CheckIban(iban) == 0) return iban;
  }
  return {};
}

struct World {
  World() : runtime("dunning", false) {
    DemoOptions options;
    options.lines = bench_world::BenchLines(20000, kMaxDemoLines - kSuppliers);
    // A chart of a tenth as many accounts as lines: some 40,000 customers with a balance on the
    // default dossier, four times the pages the preview used to stop at.
    options.accounts = options.lines / 10;
    options.currency = DossierCurrency::EuroMain;
    if (!runtime.Generate(options)) return;
    setenv("TMPDIR", runtime.dir().c_str(), 1);
    if (!TableC10->UseShared(PathC10(), "C10CODE") || !ReadC10Texts()) return;
    TheDossierRecord.SetConstant(43, "BQ0");
    if (!AddSuppliers()) return;
    Table c50;
    c50.OpenShared(PathC50(), "", true);
    std::fprintf(stderr, "dossier: %u lines\n", c50.RecCount());
    ready = true;
  }
  // 10,000 suppliers with bank details, an invoice each.
  static bool AddSuppliers() {
    // The benchmark's own set-up writes the books under a permit of its own.
    const BooksWritePermit permit("banc : fournisseurs et factures", BooksScope::OpenFolder());
    Table c20, c50, c60;
    if (!c20.OpenShared(PathC20(), "C20CODE") || !c50.OpenShared(PathC50(), L::kCodeTag) ||
        !c60.OpenShared(PathC60(), LigneTri::kRecordTag))
      return false;
    const std::string iban = IbanOf("30004008250000000006497");
    const std::string month = TheDossierRecord.DateStored(DossierRecord::DateField::YearStart).substr(0, 4);
    for (long i = 1; i <= kSuppliers; ++i) {
      char code[16], piece[16];
      std::snprintf(code, sizeof code, "FY%06ld", i);
      std::snprintf(piece, sizeof piece, "%06ld", 800000 + i);
      if (!c20.AppendBlank()) return false;
      c20.PutField(1, code);
      c20.PutField(2, "Fournisseur du banc d'essai");
      c20.PutField(15, iban.c_str());
      c20.PutField(16, "BNPAFRPPXXX");
      if (!c20.InsertRecord() || !c50.AppendBlank()) return false;
      c50.PutField(L::BCLE, "Z");
      c50.PutField(L::BMOIS, month.c_str());
      c50.PutField(L::BJAL, "HA");
      c50.PutField(L::BPIECE, piece);
      c50.PutField(L::BREC, piece);
      c50.PutField(L::BNUM, "0001");
      c50.PutField(L::BNUMA, "0001");
      c50.PutField(L::BJOUR, "15");
      c50.PutField(L::BCODE, code);
      c50.PutField(L::BLIB, "Facture");
      c50.PutField(L::BEURO, "O");
      c50.PutField(L::BSENS, "C");
      c50.PutFieldNum(L::BMONTANTF, 655.96 + i);
      c50.PutFieldNum(L::BMONTANTE, 100.0 + static_cast<double>(i) / 100.0);
      if (!c50.InsertRecord() || !AppendLigneTri(c50, LigneTri::kDraft, c60)) return false;
    }
    return c20.Commit() && c50.Commit();
  }
  bench_world::BenchRuntime runtime;
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

std::string Options(const std::string& first, const std::string& last, char sense, bool statement = false) {
  dunning::FormOptions f;
  f.firstAccount = first;
  f.lastAccount = last;
  f.firstDate = TheDossierRecord.DateDisplay(DossierRecord::DateField::YearStart);
  f.lastDate = TheDossierRecord.DateDisplay(DossierRecord::DateField::YearEnd);
  f.letterFilter = '1';
  f.statement = statement;
  f.minimum = "0";
  f.sense = sense;
  return dunning::OptionsText(f);
}

// Every customer account of the range chosen and computed, as the hooks of a listing run.
void BM_EveryCustomerAccount(benchmark::State& state) {
  if (!Ready(state)) return;
  long accounts = 0, lines = 0;
  for (auto _ : state) {
    ReportFieldTable fields;
    std::string section;
    dunning::DunningRun run(fields, section);
    run.OptionsString = Options("C", "CZZZZZZZ", 'T');
    run.AmountsInEuros = 1;
    run.ListType = "E";
    accounts = lines = 0;
    if (!run.PrepareReport()) {
      state.SkipWithError("nothing listed");
      return;
    }
    do {
      ++accounts;
      lines += run.AccountLineCount;
      run.ComputeLine();
    } while (run.NextRecord());
  }
  state.counters["accounts"] = static_cast<double>(accounts);
  state.counters["lines"] = static_cast<double>(lines);
}
BENCHMARK(BM_EveryCustomerAccount)->Unit(benchmark::kMillisecond)->Iterations(3);

// The dunning window as the owner of an interpreter run: its hooks and its list mode.
class ListingOwner : public reports::SimpleReportOwner {
 public:
  explicit ListingOwner(reports::RenderContext& context) : run(fields, lineType) {
    run.ClearEndOfData = [&context] { context.endOfData = false; };
  }
  bool PrepareReport() override { return run.PrepareReport(); }
  void ComputeLine() override { run.ComputeLine(); }
  bool NextRecord() override {
    const bool more = run.NextRecord();
    lineCount = run.ComputedCount;
    return more;
  }
  void SetListMode(char letter) override {
    SimpleReportOwner::SetListMode(letter);
    run.ListMode = letter;
  }
  dunning::DunningRun run;
};

// The global listing of every customer account with its statement ("EL-1LISTE", a page an
// account), previewed to its last page as the preview renders it (fixed metrics): the pages, the
// accounts listed, the pages' store (they stay in memory for the preview to show them), and the
// run's memory at its peak: peak_MB the anonymous pages it made, rss_peak_MB all resident pages,
// the tables' mapped pages included.
void BM_ListingWithStatementsPreviewedToItsEnd(benchmark::State& state) {
  if (!Ready(state)) return;
  const std::string text = bench_world::ShippedLayout("EL-1LISTE");
  if (text.empty()) return state.SkipWithError("layout EL-1LISTE not found");
  long pages = 0, accounts = 0;
  double storeMb = 0;
  bench_world::PeakMemory memory;
  for (auto _ : state) {
    memory.Measure([&] {
      reports::RenderContext context;
      ListingOwner owner(context);
      owner.run.OptionsString = Options("C", "CZZZZZZZ", 'T', true);
      owner.run.AmountsInEuros = 1;
      if (!owner.PrepareReport()) return state.SkipWithError("nothing listed");
      reports::MapTemplateSource templates;
      reports::DossierReportEnvironment env(templates);
      reports::FixedMetricsCanvas canvas;
      reports::ReportInterpreter interpreter(context, canvas, owner, env);
      if (!interpreter.BeginListWithTemplate(reports::ListSetup(), text)) return state.SkipWithError("not begun");
      // As the preview's run to the last page: one page after the other while the data go on.
      context.firstPage = 9999;
      for (;;) {
        interpreter.RenderPage();
        if (!interpreter.CanRenderMore()) break;
        ++context.renderedPages;
        owner.SetReportPage(context.renderedPages);
      }
      pages = context.store.PageCount();
      accounts = 0;
      for (int p = 1; p <= pages; ++p)
        for (const reports::PageRecord& r : *context.store.Page(p))
          if (r.kind == 'X' && r.text.size() == 8 && r.text[0] == 'C' && r.n1 == context.lineStartX) ++accounts;
      storeMb = static_cast<double>(context.store.Bytes()) / 1048576.0;
    });
  }
  state.counters["pages"] = static_cast<double>(pages);
  state.counters["accounts"] = static_cast<double>(accounts);
  state.counters["store_MB"] = storeMb;
  state.counters["peak_MB"] = memory.Peak() / 1048576.0;
  state.counters["rss_peak_MB"] = memory.HighWater() / 1048576.0;
}
BENCHMARK(BM_ListingWithStatementsPreviewedToItsEnd)->Unit(benchmark::kMillisecond)->Iterations(1);

// The SEPA file of 10,000 suppliers.
void BM_SepaFile10000(benchmark::State& state) {
  if (!Ready(state)) return;
  long transfers = 0;
  for (auto _ : state) {
    // Two files never share a second (their MsgId): the wait for the next one is not counted.
    state.PauseTiming();
    platform::SleepMilliseconds(1010);
    state.ResumeTiming();
    ReportFieldTable fields;
    std::string section;
    dunning::DunningRun run(fields, section);
    run.OptionsString = Options("FY", "FYZZZZZZ", 'C');
    run.AmountsInEuros = 1;
    run.ListType = "S";
    if (!run.PrepareReport()) {
      state.SkipWithError("not prepared");
      return;
    }
    do run.ComputeLine();
    while (run.NextRecord());
    transfers = run.TransferCount();
    if (run.TransferFile().empty()) {
      state.SkipWithError("no file");
      return;
    }
  }
  state.counters["transfers"] = static_cast<double>(transfers);
}
BENCHMARK(BM_SepaFile10000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  // The dossier goes before the program's statics do.
  world.reset();
  benchmark::Shutdown();
  return 0;
}
