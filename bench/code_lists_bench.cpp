// The code lists over a general file of many records: opening the bank list (its count read from the index and
// its first page), jumping to its last page, the report walk over every bank, and the creation of a code under
// the creation lock. The general file holds MERLON_BENCH_CODES banks (default 50,000) between 100,000 journal-month
// headers (with their totals, as a dossier's) and other kinds, so that the list reads only its own kind. Run
// headless: QT_QPA_PLATFORM=offscreen.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>

#include "data/dossier_files.h"
#include "data/session.h"
#include "data/table.h"
#include "data/table_create.h"
#include "masterdata/code_list.h"
#include "masterdata/core/code_records.h"
#include "platform/gui/application.h"
#include "platform/gui/command.h"
#include "platform/gui/mdi.h"
#include "platform/gui/modal_seam.h"
#include "platform/system/files.h"
#include "runtime/inifiles.h"
#include "runtime/runtime_hooks.h"
#include "runtime/runtime_init.h"
#include "runtime/session_registry.h"
#include "shell/graphics.h"

#include "bench_world.h"

namespace {

long BenchCodes() {
  const std::string text = platform::EnvironmentPath("MERLON_BENCH_CODES");
  const long n = !text.empty() ? std::atol(text.c_str()) : 50000;
  return n < 100 ? 100 : (n > 1000000 ? 1000000 : n);
}

// A code of four characters from a number (digits and capitals).
std::string Code4(long n) {
  static const char digits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  std::string code(4, '0');
  for (int i = 3; i >= 0; --i, n /= 36) code[static_cast<std::size_t>(i)] = digits[n % 36];
  return code;
}

struct World {
  World() {
    SetDossier(runtime.dir() + "/", "BENCH");
    CreateTableOfKind(TableKind::C10, PathC10());
    CreateTableOfKind(TableKind::C20, PathC20());  // the bank list reads the chart of accounts
    ready = Fill();
    client = new gui::MDIClient();
    frame = bench_world::ShowFrame(client, 1100, 800);
  }
  // Journal-month headers "C" before the banks "Q", journals "J" among them, VAT codes "T" after; false
  // when the general file does not hold them all.
  bool Fill() {
    // The headers' totals are the books': the set-up writes them under a permit of its own.
    const bench_world::SetUpPermit permit("en-tetes de journaux-mois");
    Table t;
    if (!t.OpenExclusive(PathC10(), masterdata::kC10Tag)) return false;
    auto add = [&t](char kind, const std::string& code, const std::string& name, const std::string& zone) {
      t.AppendBlank();
      t.PutField(1, std::string(1, kind).c_str());
      t.PutField(2, code.c_str());
      t.PutField(3, name.c_str());
      t.PutField(4, zone.c_str());
      t.InsertRecord();
    };
    // A header's totals in francs, the debit and the credit in 14 characters each.
    const std::string totals = "       1250.00       1250.00";
    const std::string address = "12 rue du Port                                              59000 Lille";
    for (long i = 0; i < 100000; ++i) add('C', "0125" + Code4(i).substr(1), "Journal", totals);
    for (long i = 0; i < 1000; ++i) add('J', Code4(i).substr(1), "Journal", address);
    for (long i = 0; i < BenchCodes(); ++i) add('Q', Code4(i), "Banque " + Code4(i), address);
    for (long i = 0; i < 10; ++i) add('T', std::to_string(i), "Tva", address);
    const long written = static_cast<long>(t.RecCount());
    t.CloseTable();
    next = BenchCodes();
    return written == 100000 + 1000 + BenchCodes() + 10;
  }
  TWFichiersC10* Open() {
    TWFichiersC10* list = MakeCodeList(client, 'Q');
    list->MoveWindow(gui::Rect{0, 0, 640, 480});
    list->Create();
    list->Show(gui::SW_SHOWNORMAL);
    gui::ProcessPendingMessages();
    return list;
  }
  void Close(TWFichiersC10* list) {
    list->Destroy();
    gui::ProcessPendingMessages();
  }
  bench_world::BenchRuntime runtime{"codes", true};
  gui::MDIClient* client = nullptr;
  std::unique_ptr<gui::MDIFrame> frame;
  long next = 0;
  bool ready = false;
};

std::unique_ptr<World> world;
World& TheWorld() {
  if (!world) world = std::make_unique<World>();
  return *world;
}

// False, the benchmark stopped with an error, when the general file was not filled.
bool Ready(benchmark::State& state) {
  if (TheWorld().ready) return true;
  state.SkipWithError("the general file was not filled");
  return false;
}

void BM_OpenBankList(benchmark::State& state) {
  if (!Ready(state)) return;
  World& w = TheWorld();
  long rows = 0;
  for (auto _ : state) {
    TWFichiersC10* list = w.Open();
    rows = list->Store().totalRows;
    state.PauseTiming();
    w.Close(list);
    state.ResumeTiming();
  }
  state.counters["rows"] = static_cast<double>(rows);
  if (rows != BenchCodes()) state.SkipWithError("the list does not count every bank");
}
BENCHMARK(BM_OpenBankList)->Unit(benchmark::kMillisecond);

void BM_BankListLastPage(benchmark::State& state) {
  if (!Ready(state)) return;
  World& w = TheWorld();
  TWFichiersC10* list = w.Open();
  for (auto _ : state) {
    list->GoLast();
    benchmark::DoNotOptimize(list->Store().rows.data());
    state.PauseTiming();
    list->GoFirst();
    state.ResumeTiming();
  }
  w.Close(list);
}
BENCHMARK(BM_BankListLastPage)->Unit(benchmark::kMicrosecond);

// The whole report of the banks through its hooks, as the template interpreter calls them.
void BM_BankReportWalk(benchmark::State& state) {
  if (!Ready(state)) return;
  World& w = TheWorld();
  TWFichiersC10* list = w.Open();
  long lines = 0;
  for (auto _ : state) {
    lines = 0;
    if (!list->PrepareReport()) state.SkipWithError("no report");
    do {
      list->ComputeLine();
      ++lines;
    } while (list->NextRecord() && (list->ClassifyLine(), true));
  }
  state.counters["lines"] = static_cast<double>(lines);
  state.SetItemsProcessed(state.iterations() * lines);
  w.Close(list);
}
BENCHMARK(BM_BankReportWalk)->Unit(benchmark::kMillisecond);

// One code created: the look-up again and the insert under the creation lock.
void BM_CreateCode(benchmark::State& state) {
  if (!Ready(state)) return;
  World& w = TheWorld();
  TableC10->OpenShared(PathC10(), masterdata::kC10Tag);
  for (auto _ : state) {
    const masterdata::CreateResult r = masterdata::CreateCodeRecord(*TableC10, 'Q', Code4(w.next++), 4, "");
    if (r.outcome != masterdata::CreateOutcome::Created) state.SkipWithError("not created");
  }
}
BENCHMARK(BM_CreateCode)->Unit(benchmark::kMicrosecond);

}  // namespace

// The windows and the engine go before the window layer does at exit.
int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  world.reset();
  return 0;
}
