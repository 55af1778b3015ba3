// A list window over 1,000,000 records kept in memory: time to open it (the
// window is created and its first page read), to page down, and to jump to
// the last row. The list keeps only its visible rows, so none of these
// depends on the number of records. Run headless: QT_QPA_PLATFORM=offscreen.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>

#include "memory_browse.h"
#include "platform/gui/application.h"
#include "platform/gui/command.h"
#include "platform/gui/mdi.h"
#include "platform/gui/modal_seam.h"
#include "runtime/inifiles.h"
#include "runtime/runtime_init.h"
#include "runtime/session_registry.h"
#include "shell/graphics.h"

namespace {

constexpr long kRecords = 1000000;

struct World {
  World() {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    char tmpl[] = "/tmp/merlon-bench-XXXXXX";
    dir = mkdtemp(tmpl);
    SetProgramFolder(dir + "/");
    InitRuntime();
    gui::Application::EnsureQt();
    MakeSharedGraphics(96);
    gui::ModalSeam::SetTestMode(true);
    OpenWindowRegistry.assign(kOpenWindowRegistryLength, ' ');
    client = new gui::MDIClient();
    frame = std::make_unique<gui::MDIFrame>("Merlon", client);
    frame->MoveWindow(gui::Rect{0, 0, 1100, 800});
    frame->Create();
    frame->Show(gui::SW_SHOW);
    source = MemorySource::Make(kRecords);
  }
  ~World() {
    frame.reset();
    FreeSharedGraphics();
    FreeRuntime();
    std::filesystem::remove_all(dir);
  }
  MemoryBrowse* Open() {
    auto* list = new MemoryBrowse(client, source, MemoryColumns());
    list->MoveWindow(gui::Rect{0, 0, 640, 480});
    list->Create();
    list->Show(gui::SW_SHOWNORMAL);
    gui::ProcessPendingMessages();
    return list;
  }
  void Close(MemoryBrowse* list) {
    list->Destroy();
    gui::ProcessPendingMessages();
  }
  std::string dir;
  gui::MDIClient* client = nullptr;
  std::unique_ptr<gui::MDIFrame> frame;
  MemorySource source;
};

std::unique_ptr<World> world;
World& TheWorld() {
  if (!world) world = std::make_unique<World>();
  return *world;
}

void BM_OpenList(benchmark::State& state) {
  World& w = TheWorld();
  for (auto _ : state) {
    MemoryBrowse* list = w.Open();
    benchmark::DoNotOptimize(list->Store().rows.data());
    state.PauseTiming();
    w.Close(list);
    state.ResumeTiming();
  }
  state.counters["records"] = static_cast<double>(kRecords);
}
BENCHMARK(BM_OpenList)->Unit(benchmark::kMillisecond);

// 1,000 page-downs (Page Down key, then the page move it posts and the
// window's paint) per iteration.
void BM_PageDown1000(benchmark::State& state) {
  World& w = TheWorld();
  MemoryBrowse* list = w.Open();
  for (auto _ : state) {
    list->GoFirst();
    list->Store().selected = 1;
    for (int i = 0; i < 1000; ++i) {
      list->EvKeyDown(gui::VK_NEXT, 1, 0);
      gui::ProcessPendingMessages();
    }
    benchmark::DoNotOptimize(list->Store().top);
  }
  state.counters["per_page"] =
      benchmark::Counter(1000.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  w.Close(list);
}
BENCHMARK(BM_PageDown1000)->Unit(benchmark::kMillisecond);

// The same 1,000 page moves without painting: the data work alone (the
// scroll bar's page-down, as the posted message runs it).
void BM_PageMove1000(benchmark::State& state) {
  World& w = TheWorld();
  MemoryBrowse* list = w.Open();
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
BENCHMARK(BM_PageMove1000)->Unit(benchmark::kMillisecond);

// Drawing one page on a bitmap of its own (as a snapshot does; the window
// draws straight into its backing store).
void BM_PaintPage(benchmark::State& state) {
  World& w = TheWorld();
  MemoryBrowse* list = w.Open();
  const gui::Rect c = list->ClientArea();
  for (auto _ : state) {
    gui::MemoryDC dc(c.w, c.h);
    list->DrawList(dc, c.w, c.h);
    benchmark::DoNotOptimize(dc.GetPixel(1, 1));
  }
  w.Close(list);
}
BENCHMARK(BM_PaintPage)->Unit(benchmark::kMillisecond);

void BM_JumpToLastRow(benchmark::State& state) {
  World& w = TheWorld();
  MemoryBrowse* list = w.Open();
  for (auto _ : state) {
    state.PauseTiming();
    list->GoFirst();
    list->Store().selected = 1;
    state.ResumeTiming();
    list->EvKeyDown(gui::VK_END, 1, 0);
    gui::ProcessPendingMessages();
    benchmark::DoNotOptimize(list->Store().top);
  }
  if (list->Store().selected != kRecords) state.SkipWithError("the last row was not selected");
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
