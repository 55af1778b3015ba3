// Journal entry on a large generated dossier: opening the lines window of its largest journal-month
// and paging it, the walk of the pieces that shades them, the closing balance walk, a word search
// that finds nothing, "Créer Ligne" renumbering a group of 100 lines, and the amount search over the
// whole draft. The dossier is generated once, over a financial year of three months and a half so
// that one journal-month holds about 100,000 lines; its line count comes from MERLON_BENCH_LINES (default
// 999,999 less the room "Créer Ligne" needs for the lines it adds, the most the sort file can point at):
//   MERLON_BENCH_LINES=50000 QT_QPA_PLATFORM=offscreen ./entry_lines_bench
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>

#include "data/books_write_permit.h"
#include "data/dossier_files.h"
#include "data/entry_lines.h"
#include "data/locks.h"
#include "data/session.h"
#include "data/table.h"
#include "demo/dossier_demo.h"
#include "posting/entry_state.h"
#include "posting/journal_lines.h"
#include "posting/journal_month.h"
#include "posting/new_lines.h"
#include "entry/entry_search_dialog.h"
#include "entry/lines_window.h"
#include "framework/browse.h"
#include "platform/gui/application.h"
#include "platform/gui/command.h"
#include "platform/gui/mdi.h"
#include "platform/gui/modal_seam.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/numbers.h"
#include "runtime/runtime_hooks.h"
#include "runtime/runtime_init.h"
#include "runtime/session_registry.h"
#include "runtime/xbase.h"
#include "shell/graphics.h"
#include "bench_world.h"

namespace {

using L = LigneEcriture;

// "Créer Ligne" appends a group of 100 lines and one new line at each of its runs: the dossier is
// generated with room for them under the 999,999 records the sort file can point at.
constexpr long kCreerIterations = 30;
constexpr long kCreerRepetitions = 3;
constexpr long kCreerRoom = 101 * kCreerIterations * kCreerRepetitions + 1000;

struct World {
  World() {
    if (!runtime.started()) return;
    DemoOptions options;
    options.lines = bench_world::BenchLines(1000, kMaxDemoLines - kCreerRoom);
    options.firstDay = Ymd{2026, 1, 1};
    options.lastDay = Ymd{2026, 4, 15};
    options.currency = DossierCurrency::EuroMain;
    if (!runtime.Generate(options)) return;
    if (!TableC10->UseShared(PathC10(), "C10CODE") || !ReadC10Texts()) return;
    if (TableC10->Seek("C10CODE", "P")) {
      TheDossierRecord.Set(539, 252, TableC10->GetField(4));
      TheDossierRecord.Set(791, 252, TableC10->GetField(5));
    }
    Table c50;
    c50.OpenShared(PathC50(), L::kCodeTag, true);
    std::tie(month, largest) = bench_world::LargestJournalMonth(c50);
    draftLines = static_cast<long>(c50.RecCount());
    std::fprintf(stderr, "dossier: %ld lines, journal-month %s of %ld lines\n", draftLines, month.c_str(), largest);
    client = new gui::MDIClient();
    frame = bench_world::ShowFrame(client, 1400, 900);
    ready = true;
  }
  // The lines window of the journal-month, as the entry command opens it in slot 0 once "Saisir"
  // locked its header; on its last page, as it opens. The shading walk is left pending.
  TWSaiBroDetJournaux* Open() {
    const int own = posting::SlotPosition(0);
    SetRegistryText(posting::kPendingKeyPosition, posting::kJournalMonthKeyLength, month);
    static const BrowseColumnTable columns = TWSaiBroDetJournaux::DeclaredColumns(true, false);
    auto* w = new TWSaiBroDetJournaux(client, TWSaiBroDetJournaux::TitleOf(month), &columns, own, own + 53);
    w->MoveWindow(gui::Rect{0, 0, 1300, 800});
    w->Create();
    w->Show(gui::SW_SHOWNORMAL);
    w->EvKeyDown(0x23, 1, 0);  // End
    return w;
  }
  void Close(TWSaiBroDetJournaux* w) {
    gui::ProcessPendingMessages();
    w->Destroy();
    gui::ProcessPendingMessages();
  }
  bench_world::BenchRuntime runtime{"entry", true};
  std::string month;
  long largest = 0;
  long draftLines = 0;
  bool ready = false;
  gui::MDIClient* client = nullptr;
  std::unique_ptr<gui::MDIFrame> frame;
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

void BM_OpenJournalMonth(benchmark::State& state) {
  if (!Ready(state)) return;
  World& w = TheWorld();
  long rows = 0;
  for (auto _ : state) {
    TWSaiBroDetJournaux* window = w.Open();
    rows = window->Store().totalRows;
    state.PauseTiming();
    w.Close(window);
    state.ResumeTiming();
  }
  state.counters["lines"] = static_cast<double>(rows);
}
BENCHMARK(BM_OpenJournalMonth)->Unit(benchmark::kMillisecond);

void BM_PageDown(benchmark::State& state) {
  if (!Ready(state)) return;
  World& w = TheWorld();
  TWSaiBroDetJournaux* window = w.Open();
  window->GoFirst();
  long pages = 0;
  for (auto _ : state) {
    if (window->Store().top >= window->Store().LastTop()) {
      state.PauseTiming();
      window->GoFirst();
      state.ResumeTiming();
    }
    window->PageDown();
    ++pages;
  }
  state.counters["rows_per_page"] = window->Store().rowsPerPage;
  w.Close(window);
}
BENCHMARK(BM_PageDown)->Unit(benchmark::kMicrosecond);

// The walk that shades every other piece, done in slices while the window waits for input.
void BM_ShadePieces(benchmark::State& state) {
  if (!Ready(state)) return;
  World& w = TheWorld();
  TWSaiBroDetJournaux* window = w.Open();
  for (auto _ : state) {
    window->RestartShading();
    window->FinishShading();
  }
  state.counters["pieces"] = static_cast<double>(window->Shading().PiecesReached());
  w.Close(window);
}
BENCHMARK(BM_ShadePieces)->Unit(benchmark::kMillisecond);

// What closing the window walks: the balance of the journal-month in both currencies.
void BM_ClosingBalance(benchmark::State& state) {
  if (!Ready(state)) return;
  World& w = TheWorld();
  TWSaiBroDetJournaux* window = w.Open();
  for (auto _ : state)
    if (!window->CanClose()) state.SkipWithError("the journal-month does not balance");

  w.Close(window);
}
BENCHMARK(BM_ClosingBalance)->Unit(benchmark::kMillisecond);

// The engine's part of these walks: the journal-month's lines stepped through on C50CODE, nothing read.
void BM_IndexWalkAlone(benchmark::State& state) {
  if (!Ready(state)) return;
  World& w = TheWorld();
  Table c50;
  c50.OpenShared(PathC50(), L::kCodeTag, true);
  const std::string prefix = posting::LinePrefix(w.month);
  long n = 0;
  for (auto _ : state) {
    n = 0;
    for (bool more = c50.Seek(L::kCodeTag, prefix.c_str()) && posting::InJournal(c50, prefix); more;
         more = c50.Skip(1) && posting::InJournal(c50, prefix))
      ++n;
  }
  state.counters["lines"] = static_cast<double>(n);
}
BENCHMARK(BM_IndexWalkAlone)->Unit(benchmark::kMillisecond);

// "Chercher Encore" from the first line for a word no line holds: the whole journal-month read.
void BM_WordSearchFindingNothing(benchmark::State& state) {
  if (!Ready(state)) return;
  World& w = TheWorld();
  TWSaiBroDetJournaux* window = w.Open();
  BrowseSearchText = "XYZZY";
  for (auto _ : state) {
    state.PauseTiming();
    window->GoFirst();
    window->SelectRow(1, 1);
    gui::ModalSeam::Reset();
    state.ResumeTiming();
    gui::SendCommand(window->GetHandle(), 20051);
  }
  if (gui::ModalSeam::Shown().empty() || gui::ModalSeam::Shown().back().text.find("introuvable") == std::string::npos)
    state.SkipWithError("the search did not end on its message");
  w.Close(window);
}
BENCHMARK(BM_WordSearchFindingNothing)->Unit(benchmark::kMillisecond);

// "Créer Ligne" after line 50 of a group of 100 lines: every line of the group and its sort record
// renumbered, then the new line with its sort record.
void BM_CreerLigneRenumbering100(benchmark::State& state) {
  if (!Ready(state)) return;
  World& w = TheWorld();
  Table c50, c60;
  c50.OpenShared(PathC50(), L::kCodeTag);
  c60.OpenShared(PathC60(), LigneTri::kRecordTag);
  const std::string prefix = posting::LinePrefix(w.month);
  static long piece = 990000;  // a new piece at every run, repetitions included
  long renumbered = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const std::string pieceText = StrZero(++piece, 0);
    // The group written as a set-up, under a permit of its own.
    std::optional<BooksWritePermit> setUp(std::in_place, "banc : groupe de lignes", BooksScope::OpenFolder());
    for (long n = 1; n <= 100; ++n) {
      c50.AppendBlank();
      for (const auto& [f, v] : std::vector<std::pair<int, std::string>>{
               {L::BCLE, "Z"}, {L::BMOIS, w.month.substr(0, 4)}, {L::BJAL, w.month.substr(4)}, {L::BPIECE, pieceText},
               {L::BREC, "000001"}, {L::BNUM, StrZero(n, 4)}, {L::BNUMA, "0001"}})
        c50.PutField(f, v.c_str());
      c50.InsertRecord();
      AppendLigneTri(c50, LigneTri::kDraft, c60);
    }
    setUp.reset();
    posting::LineAfter after;
    after.prefix = prefix;
    after.piece = pieceText;
    after.group = "000001";
    after.number = "0050";
    state.ResumeTiming();
    const posting::NewLineResult r = posting::CreateLineAfter(c50, c60, after);
    if (r.outcome != posting::NewLineOutcome::Created) state.SkipWithError("no line created");
    renumbered = r.renumbered;
  }
  state.counters["renumbered"] = static_cast<double>(renumbered);
}
BENCHMARK(BM_CreerLigneRenumbering100)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(kCreerIterations)
    ->Repetitions(kCreerRepetitions)
    ->ReportAggregatesOnly(true);

// The search of entries over the whole draft for an amount.
void BM_AmountSearch(benchmark::State& state) {
  if (!Ready(state)) return;
  World& w = TheWorld();
  std::size_t found = 0;
  for (auto _ : state) found = TDRechercheEcriture::Search("1234.56", w.month).size();
  state.counters["found"] = static_cast<double>(found);
  state.counters["draft_lines"] = static_cast<double>(w.draftLines);
}
BENCHMARK(BM_AmountSearch)->Unit(benchmark::kMillisecond);

}  // namespace

// The windows and the engine go before the window layer does at exit.
int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  world.reset();
  return 0;
}
