// The chart of accounts list over a generated chart of MERLON_BENCH_ACCOUNTS accounts (default 100,000): opening
// the list in each order (its count, its groups and its first page), type-ahead to any code (a key typed on a new
// search: the seek, the rank in the index, the page brought there and the row selected), the groups built for
// constant 062 at "122" (a walk of the chart) and "111" (one seek per character), a word search that finds
// nothing (every account read), and the switch of order (the list closed and opened again in the other order on
// the same account). Run headless: QT_QPA_PLATFORM=offscreen.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "data/dossier_files.h"
#include "data/session.h"
#include "data/table.h"
#include "demo/dossier_demo.h"
#include "masterdata/chart_list.h"
#include "masterdata/core/chart_breaks.h"
#include "masterdata/core/code_values.h"
#include "platform/gui/application.h"
#include "platform/gui/command.h"
#include "platform/gui/mdi.h"
#include "platform/gui/modal_seam.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/runtime_hooks.h"
#include "runtime/runtime_init.h"
#include "runtime/session_registry.h"
#include "runtime/xbase.h"
#include "shell/graphics.h"
#include "shell/mdi_client.h"

#include "bench_world.h"

namespace {

long BenchAccounts() {
  const char* text = std::getenv("MERLON_BENCH_ACCOUNTS");
  const long n = text != nullptr ? std::atol(text) : kMaxDemoAccounts;
  return n < 1000 ? 1000 : (n > kMaxDemoAccounts ? kMaxDemoAccounts : n);
}

// The main window of the benchmark: it answers the chart's menu command as the program's does when a list closes
// itself to open again in the other order (the list's place in ListReopenState).
class BenchClient : public gui::MDIClient {
 public:
  bool EvCommand(unsigned id) override {
    if (id != 20309) return gui::MDIClient::EvCommand(id);
    const std::string state = ListReopenState;
    list = MakeChartList(this, '2');
    auto at = [&state](int i) { return std::atoi(state.substr(static_cast<std::size_t>(i) * 5, 5).c_str()); };
    list->MoveWindow(state.size() >= 20 ? gui::Rect{at(0), at(1), at(2), at(3)} : gui::Rect{0, 0, 800, 600});
    list->Create();
    list->Show(gui::SW_SHOWNORMAL);
    return true;
  }
  ChartList* list = nullptr;
};

struct World {
  World() {
    DemoOptions o;
    o.lines = 2000;
    o.accounts = BenchAccounts();
    runtime.Generate(o);
    TheDossierRecord.Clear();
    TheDossierRecord.SetAt(DossierRecord::kEuroMainPos, 'O');
    TheDossierRecord.SetConstant(62, "122");
    SetProgramOption(21, 'C');
    client = new BenchClient();
    frame = bench_world::ShowFrame(client, 1400, 900);
    SetRegistryText(1, 10, StrNum10(client->GetHandle()));
    Table t;
    t.OpenShared(PathC20(), "C20CODE");
    for (t.GoTop("C20CODE"); !t.eof && t.recordNumber != 0; t.Skip(1)) codes.push_back(RTrim(t.GetField(1)));
    t.CloseTable();
  }
  ChartList* Open(char order) {
    SetProgramOption(21, order);
    ChartList* list = MakeChartList(client, '2');
    list->MoveWindow(gui::Rect{0, 0, 800, 600});
    list->Create();
    list->Show(gui::SW_SHOWNORMAL);
    gui::ProcessPendingMessages();
    return list;
  }
  void Close(CMDIBrowse* list) {
    list->Destroy();
    gui::ProcessPendingMessages();
  }
  bench_world::BenchRuntime runtime{"chart", true};
  BenchClient* client = nullptr;
  std::unique_ptr<gui::MDIFrame> frame;
  std::vector<std::string> codes;
};

std::unique_ptr<World> world;
World& TheWorld() {
  if (!world) world = std::make_unique<World>();
  return *world;
}

void OpenInOrder(benchmark::State& state, char order) {
  World& w = TheWorld();
  long rows = 0;
  for (auto _ : state) {
    ChartList* list = w.Open(order);
    rows = list->Store().totalRows;
    state.PauseTiming();
    w.Close(list);
    state.ResumeTiming();
  }
  state.counters["accounts"] = static_cast<double>(rows);
  if (rows != static_cast<long>(w.codes.size())) state.SkipWithError("the list does not count every account");
}
void BM_OpenByCode(benchmark::State& state) { OpenInOrder(state, 'C'); }
void BM_OpenByName(benchmark::State& state) { OpenInOrder(state, 'N'); }
BENCHMARK(BM_OpenByCode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenByName)->Unit(benchmark::kMillisecond);

// The first key of a new search, on codes spread over the whole chart.
void BM_TypeAhead(benchmark::State& state) {
  World& w = TheWorld();
  ChartList* list = w.Open('C');
  std::uint32_t now = 0;
  BrowseTickSource = [&now] { return now; };
  std::size_t i = 0;
  long missed = 0;
  for (auto _ : state) {
    const std::string& code = w.codes[(i += 7919) % w.codes.size()];
    now += 10000;  // a pause: the key starts a new search
    list->ClearTypeAhead();
    list->SeekTypedKey(code[0]);
    list->SeekTypedKey(code[1]);
    if (list->SelectedCode().compare(0, 2, code, 0, 2) != 0) ++missed;
  }
  BrowseTickSource = nullptr;
  state.counters["per key (us)"] = benchmark::Counter(static_cast<double>(state.iterations()) * 2,
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  if (missed != 0) state.SkipWithError("a typed prefix did not select its first account");
  w.Close(list);
}
BENCHMARK(BM_TypeAhead)->Unit(benchmark::kMicrosecond);

void BreakList(benchmark::State& state, const char* constant) {
  World& w = TheWorld();
  TheDossierRecord.SetConstant(62, constant);
  Table t;
  t.OpenShared(PathC20(), "C20CODE");
  std::size_t groups = 0;
  for (auto _ : state) {
    const std::string list = masterdata::BuildBreakList(t, "C20CODE", masterdata::ChartBreakLevels());
    groups = static_cast<std::size_t>(std::count(list.begin(), list.end(), '/'));
  }
  state.counters["groups shown plain"] = static_cast<double>(groups - 1);
  t.CloseTable();
  TheDossierRecord.SetConstant(62, "122");
  (void)w;
}
void BM_BreakListWalk122(benchmark::State& state) { BreakList(state, "122"); }
void BM_BreakListSeeks111(benchmark::State& state) { BreakList(state, "111"); }
BENCHMARK(BM_BreakListWalk122)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BreakListSeeks111)->Unit(benchmark::kMillisecond);

// "Chercher Encore" from the first account for words no account holds: every account read and told "introuvable".
void BM_WordSearchFindingNothing(benchmark::State& state) {
  World& w = TheWorld();
  ChartList* list = w.Open('C');
  BrowseSearchText = "xyzzy-plugh";
  for (auto _ : state) {
    list->GoFirst();
    list->Store().selected = 1;
    gui::ModalSeam::Reset();
    list->CmChercherEncore();
    if (gui::ModalSeam::Shown().size() != 1) state.SkipWithError("no 'introuvable(s)'");
  }
  BrowseSearchText.clear();
  w.Close(list);
}
BENCHMARK(BM_WordSearchFindingNothing)->Unit(benchmark::kMillisecond);

// "Tri par Nom" then "Tri par Code" on an account in the middle of the chart: two switches.
void BM_SwitchOrder(benchmark::State& state) {
  World& w = TheWorld();
  w.client->list = w.Open('C');
  const std::string& code = w.codes[w.codes.size() / 2];
  w.client->list->LocateCode(code);
  for (auto _ : state) {
    for (const unsigned command : {20147u, 20145u}) {
      gui::SendCommand(w.client->list->GetHandle(), command);
      gui::ProcessPendingMessages();
    }
  }
  state.counters["per switch (ms)"] = benchmark::Counter(static_cast<double>(state.iterations()) * 2,
                                                        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  if (w.client->list->SelectedCode() != masterdata::PaddedCode(code, 8)) state.SkipWithError("the account was lost");
  w.Close(w.client->list);
}
BENCHMARK(BM_SwitchOrder)->Unit(benchmark::kMillisecond);


}  // namespace

// The windows and the engine go before the window layer does at exit.
int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  world.reset();
  return 0;
}
