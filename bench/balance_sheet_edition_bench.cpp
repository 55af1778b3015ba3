// The first page of the balance-sheet edition in the preview, on a large generated dossier whose
// balance sheet (model "S") was initialised and computed over the year: the report prepared
// (C70 read, totalled and written back, the postes indexed), the layout "EE-2033" begun in the
// preview, its first page rendered ([BLV:] of every box) and painted as the preview paints it.
// Then the same for the first page of the annex ("EEA-2033", the annex records of C10).
//
// The dossier is generated with 999,999 lines (MERLON_BENCH_LINES sets fewer). Run headless:
//   QT_QPA_PLATFORM=offscreen MERLON_BENCH_LINES=100000 ./balance_sheet_edition_bench
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

#include "bench_world.h"
#include "data/dossier_files.h"
#include "data/session.h"
#include "data/table.h"
#include "data/table_create.h"
#include "platform/gui/dc.h"
#include "platform/system/cp1252.h"
#include "platform/system/files.h"
#include "reports/balances/core/balance_sheet_compile.h"
#include "reports/balances/core/balance_sheet_init.h"
#include "reports/balances/core/balance_sheet_model.h"
#include "reports/balances/core/balance_sheet_report.h"
#include "reports/balances/core/balance_sheet_run.h"
#include "reports/engine/visu_window.h"
#include "shell/mdi_client.h"
#include "shell/program_printer.h"

namespace {

using namespace balances;

struct World {
  World() : runtime("balance-sheet-edition", true) {
    DemoOptions options;
    options.lines = bench_world::BenchLines();
    if (!runtime.Generate(options)) return;
    folder = options.folder;
    const std::string models = std::string(MERLON_SOURCE_DIR) + "/src/resources/models/";
    std::string message;
    if (!CompileModel(models + "clbilans.csv", models + "cpbilans.csv", ProgramFolder, 's', &message)) {
      std::fprintf(stderr, "model: %s\n", message.c_str());
      return;
    }
    {
      Table c10, c70;
      if (!c10.OpenExclusive(PathC10(), "C10CODE") || !c70.OpenExclusive(PathC70(), "C70CODE")) return;
      if (InitialiseBalanceSheet(c10, c70, ProgramFolder, 'S') != InitOutcome::kDone) return;
    }
    if (RunBalanceSheet(DossierSheetInput('S', {"C60101", "C61231", "C60101", "C61231"}, true)).outcome !=
        RunOutcome::kDone) {
      std::fprintf(stderr, "the computation did not end\n");
      return;
    }
    // The preview's report set: the two layouts of the model "S".
    if (!bench_world::MakeStandardReportSet({"EE-2033", "EEA-2033"})) return;
    ProgramOptions = std::string(kProgramOptionsLength, ' ');
    SetProgramOption(5, '0');
    client = new gui::MDIClient();
    frame = bench_world::ShowFrame(client, 1280, 900);
    window = new TWVisuWindow(client, 1);
    window->MoveWindow(gui::Rect{0, 0, 1200, 800});
    window->Create();
    CurrentPreviewWindow = window;
    ready = c70.OpenExclusive(PathC70(), "C70CODE") && c10.OpenExclusive(PathC10(), "C10CODE");
  }
  ~World() {
    c70.CloseTable(true);
    c10.CloseTable(true);
    if (TableCE0 != nullptr) TableCE0->CloseTable(true);
    frame.reset();
    DeleteProgramPrinter();
  }

  bench_world::BenchRuntime runtime;
  std::string folder;
  Table c70, c10;
  gui::MDIClient* client = nullptr;
  std::unique_ptr<gui::MDIFrame> frame;
  TWVisuWindow* window = nullptr;
  bool ready = false;
};

std::unique_ptr<World> world;
World& TheWorld() {
  if (!world) world = std::make_unique<World>();
  return *world;
}

// PrepareReport, VisuBeginList, the first page rendered and painted.
void FirstPage(benchmark::State& state, bool annex, const char* code) {
  World& w = TheWorld();
  if (!w.ready) return state.SkipWithError("no dossier");
  const gui::Rect client = w.window->GetClientRect();
  long records = 0;
  for (auto _ : state) {
    SheetEditionReport report(w.c70, w.c10);
    report.annex = annex;
    report.currency = 1;
    report.withEmptyLines = false;
    report.reportCode = std::string(code) + std::string(10 - std::string(code).size(), ' ') + "00019999";
    if (!report.PrepareReport() || !VisuBeginList(report, nullptr, annex ? "Annexe Bilan" : "Bilan")) {
      state.SkipWithError("the list did not begin");
      break;
    }
    VisuRenderList();
    gui::MemoryDC picture(client.w, client.h);
    w.window->DrawClient(picture, client.w, client.h);
    const reports::PreviewPage* page = w.window->Context().store.Page(1);
    records = page != nullptr ? static_cast<long>(page->RecordCount()) : 0;
  }
  state.counters["records"] = static_cast<double>(records);
}

void BM_EditionFirstPageOfTheBalanceSheet(benchmark::State& state) { FirstPage(state, false, "EE-2033"); }
BENCHMARK(BM_EditionFirstPageOfTheBalanceSheet)->Unit(benchmark::kMillisecond);

void BM_EditionFirstPageOfTheAnnex(benchmark::State& state) { FirstPage(state, true, "EEA-2033"); }
BENCHMARK(BM_EditionFirstPageOfTheAnnex)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  return bench_world::RunBenchmarksThen(argc, argv, [] { world.reset(); });
}
