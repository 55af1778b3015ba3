// The raw table browser over the draft lines C50 of a large generated dossier: opening it (the table opened alone,
// the window created and its first page read), paging down, and jumping to the last row. The browser reads the
// records of its page by their numbers, so none of these depends on the size of the table. The line count comes
// from MERLON_BENCH_LINES (default 999,999, the most the sort file can point at):
//   MERLON_BENCH_LINES=50000 QT_QPA_PLATFORM=offscreen ./raw_browser_bench
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "data/dossier_files.h"
#include "data/locks.h"
#include "data/session.h"
#include "demo/dossier_demo.h"
#include "platform/gui/application.h"
#include "platform/gui/command.h"
#include "platform/gui/mdi.h"
#include "platform/gui/modal_seam.h"
#include "runtime/inifiles.h"
#include "runtime/runtime_hooks.h"
#include "runtime/runtime_init.h"
#include "runtime/session_registry.h"
#include "shell/graphics.h"
#include "utilities/core/raw_tables.h"
#include "utilities/raw_browser.h"
#include "bench_world.h"

namespace {

struct World {
  World() {
    DemoOptions options;
    options.lines = bench_world::BenchLines();
    if (!runtime.Generate(options)) return;
    client = new gui::MDIClient();
    frame = bench_world::ShowFrame(client, 1100, 800);
    ready = true;
  }
  // As "Accès aux Fichiers > C50" opens it once the dossier is held: the table alone, then the window.
  TWUtiBroFichier* Open() {
    const settings::RawTable& raw = *settings::FindRawTable(20717);
    if (!TableC50->OpenExclusive(PathC50())) return nullptr;
    auto* list = new TWUtiBroFichier(client, raw, TableC50, "C50", TWUtiBroFichier::ColumnsOf(*TableC50));
    list->MoveWindow(gui::Rect{0, 0, 1000, 600});
    list->Create();
    list->Show(gui::SW_SHOWNORMAL);
    gui::ProcessPendingMessages();
    return list;
  }
  void Close(TWUtiBroFichier* list) {
    list->Destroy();
    gui::ProcessPendingMessages();
  }
  bool ready = false;
  bench_world::BenchRuntime runtime{"raw", true};
  gui::MDIClient* client = nullptr;
  std::unique_ptr<gui::MDIFrame> frame;
};

std::unique_ptr<World> world;
World& TheWorld() {
  if (!world) world = std::make_unique<World>();
  return *world;
}

void BM_OpenRawBrowser(benchmark::State& state) {
  World& w = TheWorld();
  if (!w.ready) return state.SkipWithError("no dossier");
  for (auto _ : state) {
    TWUtiBroFichier* list = w.Open();
    if (list == nullptr) return state.SkipWithError("C50 not opened alone");
    benchmark::DoNotOptimize(list->Store().rows.data());
    state.PauseTiming();
    state.counters["records"] = static_cast<double>(list->Store().totalRows);
    w.Close(list);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_OpenRawBrowser)->Unit(benchmark::kMillisecond);

// 1,000 page moves (the scroll bar's page-down) per iteration, from the first page.
void BM_PageDown1000(benchmark::State& state) {
  World& w = TheWorld();
  if (!w.ready) return state.SkipWithError("no dossier");
  TWUtiBroFichier* list = w.Open();
  if (list == nullptr) return state.SkipWithError("C50 not opened alone");
  for (auto _ : state) {
    list->GoFirst();
    for (int i = 0; i < 1000; ++i) list->EvVScroll(gui::SB_PAGEDOWN, 0);
    benchmark::DoNotOptimize(list->Store().top);
  }
  state.counters["per_page"] =
      benchmark::Counter(1000.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  gui::ProcessPendingMessages();
  w.Close(list);
}
BENCHMARK(BM_PageDown1000)->Unit(benchmark::kMillisecond);

void BM_JumpToLastRow(benchmark::State& state) {
  World& w = TheWorld();
  if (!w.ready) return state.SkipWithError("no dossier");
  TWUtiBroFichier* list = w.Open();
  if (list == nullptr) return state.SkipWithError("C50 not opened alone");
  for (auto _ : state) {
    state.PauseTiming();
    list->GoFirst();
    list->Store().selected = 1;
    state.ResumeTiming();
    list->EvKeyDown(gui::VK_END, 1, 0);
    gui::ProcessPendingMessages();
    benchmark::DoNotOptimize(list->Store().top);
  }
  if (list->Store().selected != list->Store().totalRows) state.SkipWithError("the last row was not selected");
  w.Close(list);
}
BENCHMARK(BM_JumpToLastRow)->Unit(benchmark::kMillisecond);

}  // namespace

// The windows go before the window system does.
int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  world.reset();
  benchmark::Shutdown();
  return 0;
}
