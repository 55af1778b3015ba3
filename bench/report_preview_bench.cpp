// The first page of a report previewed offscreen: VisuBeginList (the template read from the
// preview's report set, the screen fonts measured, the page grid), the page rendered
// (VisuRenderList) and painted as the preview window paints it, over a ledger of synthetic
// lines. Run headless: QT_QPA_PLATFORM=offscreen.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>

#include "data/dossier_files.h"
#include "data/session.h"
#include "data/table.h"
#include "data/table_create.h"
#include "platform/gui/application.h"
#include "platform/gui/dc.h"
#include "platform/gui/mdi.h"
#include "reports/engine/visu_window.h"
#include "runtime/inifiles.h"
#include "runtime/runtime_init.h"
#include "shell/mdi_client.h"
#include "shell/program_printer.h"
#include "bench_world.h"

namespace {

// Ledger lines, six variables a line, a break per account of 40 lines.
class Ledger : public reports::SimpleReportOwner {
 public:
  Ledger() {
    const char* definitions[] = {"COMPTE    C080", "DATE      C080", "JOURNAL   C020",
                                 "PIECE     C060", "LIBELLE   C300", "DEBIT     M142", "CREDIT    M142"};
    fields.SetFieldCount(7);
    fields.InitFieldTable();
    for (int i = 0; i < 7; ++i) fields.DeclareField(i, definitions[i]);
    lineType = "a";
    reportCode = "BE-LEDGER          ";
  }
  void ComputeLine() override {
    fields.SetFieldText(0, std::to_string(41100000 + line_ / 40).c_str());
    fields.SetFieldText(1, "12/03/26");
    fields.SetFieldText(2, line_ % 3 == 0 ? "VE" : "AC");
    fields.SetFieldText(3, std::to_string(100000 + line_).c_str());
    fields.SetFieldText(4, ("Facture client " + std::to_string(line_)).c_str());
    fields.SetFieldNumber(5, line_ % 2 == 0 ? 1234.56 + line_ : 0.0);
    fields.SetFieldNumber(6, line_ % 2 == 0 ? 0.0 : 987.65 + line_);
  }
  bool NextRecord() override {
    if (++line_ >= 100000) {
      lineType = "Z";
      return false;
    }
    return true;
  }
  void ClassifyLine() override { lineType = line_ % 40 == 0 ? "a" : "b"; }

 private:
  long line_ = 0;
};

const char* kLedger =
    "[F3]Grand livre g\xE9n\xE9ral[F1][S:30]Page [Page]\r\n"
    "Date     Jal Pi\xE8" "ce  Libell\xE9                       D\xE9" "bit         Cr\xE9" "dit\r\n"
    "[ITD][TT-Avant][Rupt-a]{Compte [@COMPTE]\r\n}"
    "[@DATE] [@JOURNAL] [@PIECE] [@LIBELLE] [@DEBIT] [@CREDIT][TT-Suivant]\r\n[ITF]"
    "[Fin]\r\n";

struct World {
  World() {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    char tmpl[] = "/tmp/merlon-bench-XXXXXX";
    dir = mkdtemp(tmpl);
    SetProgramFolder(dir + "/");
    InitRuntime();
    SetDossier(dir + "/", "BEN");
    gui::Application::EnsureQt();
    StartDbSession();
    ProgramOptions = std::string(kProgramOptionsLength, ' ');
    SetProgramOption(5, '0');
    // The preview's report set with the ledger's layout.
    const std::string set = PathReportDefs('0');
    CreateTableOfKind(TableKind::ReportDefs, set, true);
    Table t;
    t.OpenShared(set, "CE0CODE");
    t.AppendBlank();
    t.PutField(1, "BE-LEDGER");
    t.PutField(2, "Grand livre");
    t.InsertRecord();
    t.PutMemoText(11, kLedger);
    t.Commit();
    t.CloseTable(true);
    client = new gui::MDIClient();
    frame = std::make_unique<gui::MDIFrame>("Merlon", client);
    frame->MoveWindow(gui::Rect{0, 0, 1280, 900});
    frame->Create();
    window = new TWVisuWindow(client, 0);
    window->MoveWindow(gui::Rect{0, 0, 1200, 800});
    window->Create();
    CurrentPreviewWindow = window;
  }
  ~World() {
    if (TableCE0 != nullptr) TableCE0->CloseTable(true);
    frame.reset();
    DeleteProgramPrinter();
    StopDbSession();
    FreeRuntime();
    std::filesystem::remove_all(dir);
  }
  std::string dir;
  gui::MDIClient* client = nullptr;
  std::unique_ptr<gui::MDIFrame> frame;
  TWVisuWindow* window = nullptr;
};

// Made at the first benchmark and destroyed by main before the program's statics go: the program
// printer and the windows need Qt's objects, which static destruction takes away first.
std::unique_ptr<World> world;
World& TheWorld() {
  if (!world) world = std::make_unique<World>();
  return *world;
}

// VisuBeginList to the first page painted on a picture of the window's client area.
void FirstPagePreviewed(benchmark::State& state) {
  World& w = TheWorld();
  const gui::Rect client = w.window->GetClientRect();
  long records = 0;
  for (auto _ : state) {
    Ledger owner;
    if (!VisuBeginList(owner, nullptr, "Grand livre")) {
      state.SkipWithError("the list did not begin");
      break;
    }
    VisuRenderList();
    gui::MemoryDC picture(client.w, client.h);
    w.window->DrawClient(picture, client.w, client.h);
    records = static_cast<long>(w.window->Context().store.Page(1)->RecordCount());
  }
  state.counters["records"] = static_cast<double>(records);
}
BENCHMARK(FirstPagePreviewed)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  return bench_world::RunBenchmarksThen(argc, argv, [] { world.reset(); });
}
