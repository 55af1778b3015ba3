// The first page of each ledger report in the preview over a large generated dossier: the report
// prepared as its window prepares it after the choice dialog (the standard layout of the program's
// reports; the general ledger and the journal listing walk the sort file through its tag, as
// their preview does, and, for comparison, from a snapshot of the whole file as a printout may),
// VisuBeginList, VisuRenderList and the page painted as the preview paints it. The
// statement is that of the first customer, the general ledger the whole year's general accounts,
// the journal listing every journal of the whole year, the summary every journal-month. The line
// count comes from MERLON_BENCH_LINES (default 999,999):
//   MERLON_BENCH_LINES=50000 QT_QPA_PLATFORM=offscreen ./ledger_preview_bench
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "bench_world.h"
#include "data/dossier_files.h"
#include "data/locks.h"
#include "data/session.h"
#include "data/table.h"
#include "data/table_create.h"
#include "demo/dossier_demo.h"
#include "platform/gui/application.h"
#include "platform/gui/dc.h"
#include "platform/gui/mdi.h"
#include "platform/gui/modal_seam.h"
#include "platform/system/cp1252.h"
#include "platform/system/files.h"
#include "reports/engine/visu_window.h"
#include "reports/ledgers/core/account_statement.h"
#include "reports/ledgers/core/centralising_summary.h"
#include "reports/ledgers/core/general_ledgers.h"
#include "reports/ledgers/core/journal_listings.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/runtime_hooks.h"
#include "runtime/runtime_init.h"
#include "runtime/session_registry.h"
#include "runtime/xbase.h"
#include "shell/graphics.h"
#include "shell/mdi_client.h"
#include "shell/program_printer.h"

namespace {

long BenchLines() {
  const char* text = std::getenv("MERLON_BENCH_LINES");
  const long n = text != nullptr ? std::atol(text) : kMaxDemoLines;
  return n < 1000 ? 1000 : (n > kMaxDemoLines ? kMaxDemoLines : n);
}

struct World {
  World() {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    char tmpl[] = "/tmp/merlon-ledger-bench-XXXXXX";
    dir = mkdtemp(tmpl);
    SetProgramFolder(dir + "/program/");
    std::filesystem::create_directories(dir + "/program");
    InitRuntime();
    SetRuntimeMessageHook([](const char* caption, const char* text, unsigned) {
      std::fprintf(stderr, "%s: %s\n", caption, text);
      return 1;
    });
    SetRuntimeBeepHook([](unsigned) {});
    SetLockNoticeHook([](const char*, const char*) {});
    gui::Application::EnsureQt();
    MakeSharedGraphics(96);
    gui::ModalSeam::SetTestMode(true);
    OpenWindowRegistry.assign(kOpenWindowRegistryLength, ' ');
    ProgramOptions = std::string(kProgramOptionsLength, ' ');
    SetProgramOption(5, '0');
    if (StartDbSession() != 0) return;
    // The preview's report set: the program's standard layouts of the four reports.
    if (!bench_world::MakeStandardReportSet({"EC-1STD", "EG-1STD", "EJ-1STD", "ER-1STD"})) return;
    DemoOptions options;
    options.folder = dir + "/dossier/";
    options.code = "BENCH";
    options.lines = BenchLines();
    std::string message;
    if (!GenerateDemoDossier(options, &message)) {
      std::fprintf(stderr, "generation: %s\n", message.c_str());
      return;
    }
    SetDossier(options.folder, "BENCH");
    if (!ledgers::OpenLedgerTables(ledgers::ProgramLedgerTables(), 0) || !LoadDossierRecord()) return;
    client = new gui::MDIClient();
    frame = std::make_unique<gui::MDIFrame>("Merlon", client);
    frame->MoveWindow(gui::Rect{0, 0, 1280, 900});
    frame->Create();
    window = new TWVisuWindow(client, 0);
    window->MoveWindow(gui::Rect{0, 0, 1200, 800});
    window->Create();
    CurrentPreviewWindow = window;
    customer = FirstCustomer();
    ready = !customer.empty();
  }
  ~World() {
    if (TableCE0 != nullptr) TableCE0->CloseTable(true);
    frame.reset();
    DeleteProgramPrinter();
    CloseAllTables();
    StopDbSession();
    FreeSharedGraphics();
    FreeRuntime();
    std::filesystem::remove_all(dir);
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

  static std::string FirstCustomer() {
    Table& c20 = *TableC20;
    if (!c20.Seek("C20CODE", "C") || !c20.SkipActive(false)) return {};
    const std::string code = c20.GetField(1);
    return !code.empty() && code[0] == 'C' ? code : std::string();
  }

  bool ready = false;
  std::string dir;
  std::string customer;
  gui::MDIClient* client = nullptr;
  std::unique_ptr<gui::MDIFrame> frame;
  TWVisuWindow* window = nullptr;
};

std::unique_ptr<World> world;
World& TheWorld() {
  if (!world) world = std::make_unique<World>();
  return *world;
}

using DF = DossierRecord::DateField;

// `prepare` makes the report of one run (false: nothing to show); then its first page previewed.
using Prepare = std::function<ledgers::LedgerReport*(std::unique_ptr<ledgers::LedgerReport>&)>;
void FirstPage(benchmark::State& state, const Prepare& prepare) {
  World& w = TheWorld();
  if (!w.ready) return state.SkipWithError("no dossier");
  const gui::Rect client = w.window->GetClientRect();
  long records = 0;
  for (auto _ : state) {
    std::unique_ptr<ledgers::LedgerReport> holder;
    ledgers::LedgerReport* report = prepare(holder);
    if (report == nullptr) return state.SkipWithError("nothing to show");
    if (!VisuBeginList(*report, nullptr, "Visualisation")) return state.SkipWithError("the list did not begin");
    VisuRenderList();
    gui::MemoryDC picture(client.w, client.h);
    w.window->DrawClient(picture, client.w, client.h);
    records = static_cast<long>(w.window->Context().store.Page(1)->RecordCount());
  }
  state.counters["records"] = static_cast<double>(records);
  state.counters["sortLines"] = static_cast<double>(TableC60->RecCount());
}

void BM_StatementFirstPage(benchmark::State& state) {
  FirstPage(state, [](std::unique_ptr<ledgers::LedgerReport>& holder) -> ledgers::LedgerReport* {
    auto r = std::make_unique<ledgers::AccountStatement>();
    ledgers::AccountStatementOptions o;
    o.account = TheWorld().customer;
    o.dateFrom = TheDossierRecord.DateStored(DF::YearStart);
    o.dateTo = TheDossierRecord.DateStored(DF::YearEnd);
    o.inEuros = true;
    r->TakeLimits(o.ToRecord());
    r->reportCode = "EC-1STD";
    r->reportCode.resize(18, ' ');
    if (!r->PrepareReport()) return nullptr;
    holder = std::move(r);
    return holder.get();
  });
}
BENCHMARK(BM_StatementFirstPage)->Unit(benchmark::kMillisecond);

// `index`: the sort file walked through its tag (as the preview walks it), else as the report
// chooses (a snapshot of the whole sort file for a run over every account).
void GeneralLedgerFirstPage(benchmark::State& state, bool index) {
  FirstPage(state, [index](std::unique_ptr<ledgers::LedgerReport>& holder) -> ledgers::LedgerReport* {
    auto r = std::make_unique<ledgers::GeneralLedgers>();
    if (index) r->walk = ledgers::GeneralLedgers::Walk::kIndex;
    ledgers::GeneralLedgerOptions o;
    o.kind = 'G';
    o.dateFrom = TheDossierRecord.DateStored(DF::YearStart);
    o.dateTo = TheDossierRecord.DateStored(DF::YearEnd);
    o.inEuros = true;
    r->TakeLimits(o.ToRecord());
    r->ChooseReportCode("EG-1STD");
    if (!r->PrepareNextLedger()) return nullptr;
    holder = std::move(r);
    return holder.get();
  });
}
void BM_GeneralLedgerFirstPage(benchmark::State& state) { GeneralLedgerFirstPage(state, true); }
BENCHMARK(BM_GeneralLedgerFirstPage)->Unit(benchmark::kMillisecond);
void BM_GeneralLedgerFirstPageSnapshot(benchmark::State& state) { GeneralLedgerFirstPage(state, false); }
BENCHMARK(BM_GeneralLedgerFirstPageSnapshot)->Unit(benchmark::kMillisecond);

void JournalListingFirstPage(benchmark::State& state, bool index) {
  FirstPage(state, [index](std::unique_ptr<ledgers::LedgerReport>& holder) -> ledgers::LedgerReport* {
    auto r = std::make_unique<ledgers::JournalListings>();
    if (index) r->walk = ledgers::JournalListings::Walk::kIndex;
    ledgers::JournalListingOptions o;
    o.inEuros = true;
    r->TakeLimits(o.ToRecord());
    r->reportCode = "EJ-1STD";
    r->reportCode.resize(18, ' ');
    if (!r->PrepareReport()) return nullptr;
    holder = std::move(r);
    return holder.get();
  });
}
void BM_JournalListingFirstPage(benchmark::State& state) { JournalListingFirstPage(state, true); }
BENCHMARK(BM_JournalListingFirstPage)->Unit(benchmark::kMillisecond);
void BM_JournalListingFirstPageSnapshot(benchmark::State& state) { JournalListingFirstPage(state, false); }
BENCHMARK(BM_JournalListingFirstPageSnapshot)->Unit(benchmark::kMillisecond);

void BM_SummaryFirstPage(benchmark::State& state) {
  FirstPage(state, [](std::unique_ptr<ledgers::LedgerReport>& holder) -> ledgers::LedgerReport* {
    auto r = std::make_unique<ledgers::CentralisingSummary>();
    r->reportCode = "ER-1STD";
    r->reportCode.resize(18, ' ');
    if (!r->PrepareReport()) return nullptr;
    holder = std::move(r);
    return holder.get();
  });
}
BENCHMARK(BM_SummaryFirstPage)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  return bench_world::RunBenchmarksThen(argc, argv, [] { world.reset(); });
}
