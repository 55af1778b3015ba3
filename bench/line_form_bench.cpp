// The line form's work on a large generated dossier: a typed line validated and saved (its C50 record and
// sort record written, the totals of its old and new account and its journal-month's header moved), the
// totals of a piece of 100 lines with the form's line counted as typed, and "Solder le Journal" over the
// largest journal-month (about 100,000 lines). The dossier is generated once, over a financial year of three
// months and a half; its line count comes from MERLON_BENCH_LINES (default 999,999, the most the sort file can
// point at):
//   MERLON_BENCH_LINES=50000 ./line_form_bench
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <tuple>

#include "data/dossier_files.h"
#include "data/entry_lines.h"
#include "data/locks.h"
#include "data/session.h"
#include "data/table.h"
#include "demo/dossier_demo.h"
#include "posting/balancing.h"
#include "posting/journal_month.h"
#include "posting/line_save.h"
#include "posting/line_validation.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/numbers.h"
#include "runtime/runtime_hooks.h"
#include "runtime/runtime_init.h"
#include "runtime/session_registry.h"
#include "runtime/xbase.h"

#include "bench_world.h"

namespace {

using L = LigneEcriture;

struct World {
  World() {
    if (!runtime.started()) return;
    DemoOptions options;
    options.lines = bench_world::BenchLines();
    options.firstDay = Ymd{2026, 1, 1};
    options.lastDay = Ymd{2026, 4, 15};
    options.currency = DossierCurrency::EuroMain;
    if (!runtime.Generate(options)) return;
    if (!TableC10->OpenShared(PathC10(), "C10CODE") || !ReadC10Texts() || !TableC20->OpenShared(PathC20(), "C20CODE") ||
        !TableC30->OpenShared(PathC30(), "C30CODE") || !c50.OpenShared(PathC50(), L::kCodeTag) ||
        !c60.OpenShared(PathC60(), LigneTri::kRecordTag))
      return;
    // The largest journal-month and a line of its charges to type over.
    std::tie(month, largest) = bench_world::LargestJournalMonth(c50);
    const std::string prefix = posting::LinePrefix(month);
    for (bool more = c50.Seek(L::kCodeTag, prefix.c_str()); more && key.empty(); more = c50.Skip(1))
      if (!c50.IsDeleted() && std::string(c50.GetField(L::BCODE))[0] == '6') key = L::Key(c50);
    std::fprintf(stderr, "dossier: %ld lines, journal-month %s of %ld lines\n", static_cast<long>(c50.RecCount()),
                 month.c_str(), largest);
    ready = !key.empty();
  }
  ~World() {
    c50.CloseTable();
    c60.CloseTable();
  }
  bench_world::BenchRuntime runtime{"line-form", false};
  std::string month, key;
  long largest = 0;
  bool ready = false;
  Table c50, c60;
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

// A line typed over and saved: its account alternates between two charges, so that each save moves the
// totals of two accounts and of the header.
void BM_ValidateAndSaveLine(benchmark::State& state) {
  if (!Ready(state)) return;
  World& w = TheWorld();
  if (!posting::FindLine(w.c50, w.key).IsFound()) {
    state.SkipWithError("no line");
    return;
  }
  const posting::LineRecord line = posting::ReadLineRecord(w.c50);
  posting::ValidationRequest check;
  check.key = w.key;
  check.journalType = 'O';
  check.modified = true;
  posting::SaveRequest save;
  save.key = w.key;
  save.values.day = line.day;
  save.values.labelCode = line.labelCode;
  save.values.label1 = line.label1;
  save.values.sense = 'D';
  save.values.euros = true;
  save.previousAccount = line.account;
  const char* accounts[] = {"60700000", "60640000"};
  long n = 0;
  for (auto _ : state) {
    save.values.account = accounts[n % 2];
    save.values.amounts.debitE = 100 + static_cast<double>(n % 7);
    save.values.amounts.debitF = Round(2, save.values.amounts.debitE * 6.55957);
    check.values = save.values;
    if (posting::ValidateLineValues(*TableC10, *TableC20, check).answer != posting::kLineChanged) {
      state.SkipWithError("the line was refused");
      break;
    }
    const posting::SaveResult r = posting::SaveLineRecord(w.c50, w.c60, save);
    if (r.outcome != posting::SaveOutcome::Saved) {
      state.SkipWithError("the line was not saved");
      break;
    }
    save.previousAccount = r.account;
    ++n;
  }
}
BENCHMARK(BM_ValidateAndSaveLine)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// The piece totals the form shows: a piece of 100 lines, its 50th line counted as typed.
void BM_PieceTotals100(benchmark::State& state) {
  if (!Ready(state)) return;
  World& w = TheWorld();
  static std::string key;
  if (key.empty()) {
    // The lines are the books: the set-up writes them under a permit of its own.
    const bench_world::SetUpPermit permit("piece de cent lignes");
    const std::string piece = "990001";
    for (long n = 1; n <= 100; ++n) {
      w.c50.AppendBlank();
      for (const auto& [f, v] : std::vector<std::pair<int, std::string>>{
               {L::BCLE, "Z"}, {L::BMOIS, w.month.substr(0, 4)}, {L::BJAL, w.month.substr(4)}, {L::BPIECE, piece},
               {L::BREC, "000001"}, {L::BNUM, StrZero(n, 4)}, {L::BNUMA, "0001"}, {L::BSENS, n % 2 ? "D" : "C"},
               {L::BMONTANTE, "10.00"}, {L::BMONTANTF, "65.60"}})
        w.c50.PutField(f, v.c_str());
      w.c50.InsertRecord();
      AppendLigneTri(w.c50, LigneTri::kDraft, w.c60);
    }
    w.c50.Commit();
    key = posting::LinePrefix(w.month) + piece + "000001" + "0050";
  }
  const posting::TypedLine typed{'D', 1234, 188};
  posting::Balances totals;
  for (auto _ : state) totals = posting::SumPiece(w.c50, key, &typed);
  state.counters["balance_cents"] = static_cast<double>(totals.BalanceE());
  // The piece's 99 other lines of 10.00 each and the typed one: fewer, and the piece was not written.
  if (totals.debitE + totals.creditE != 99 * 1000 + typed.euros) state.SkipWithError("the piece does not hold its lines");
}
BENCHMARK(BM_PieceTotals100)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

// "Solder le Journal": the balance of the journal-month without the form's line, and the line that takes it.
void BM_SolderJournal(benchmark::State& state) {
  if (!Ready(state)) return;
  World& w = TheWorld();
  long long amount = 0;
  for (auto _ : state) {
    const posting::Balances b = posting::JournalBalanceWithout(w.c50, w.key);
    amount = posting::LineTaking(b.BalanceF(), b.BalanceE(), true, true, 6.55957).euros;
  }
  state.counters["lines"] = static_cast<double>(w.largest);
  state.counters["amount_cents"] = static_cast<double>(amount);
}
BENCHMARK(BM_SolderJournal)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  world.reset();
  return 0;
}
