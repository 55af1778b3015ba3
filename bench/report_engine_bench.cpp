// The report engine over 1,000,000 synthetic ledger lines: a template with a heading, column
// titles, an account break before and a total after each account, six variables a line and a
// footer, run to its end into a delimited export (the time, the pages and the peak memory of
// the process); a search across 1,000 stored pages; a page painted at zoom 4 on a memory
// picture. Run headless: QT_QPA_PLATFORM=offscreen.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "data/dossier_files.h"
#include "platform/gui/application.h"
#include "platform/gui/dc.h"
#include "reports/engine/core/paint_walk.h"
#include "reports/engine/core/preview_navigation.h"
#include "reports/engine/core/report_interpreter.h"
#include "reports/engine/dc_canvas.h"
#include "runtime/inifiles.h"
#include "runtime/runtime_init.h"

namespace {

constexpr long kRecords = 1000000;
constexpr long kPerAccount = 40;

// Ledger lines made as they are asked for: an account every 40 lines, its first line typed
// "a" (the account's heading), its last "c" (its total), the others "b".
class LedgerOwner : public reports::SimpleReportOwner {
 public:
  explicit LedgerOwner(long records) : records_(records) {
    const char* definitions[] = {"COMPTE    C080", "DATE      C080", "JOURNAL   C020", "PIECE     C060",
                                 "LIBELLE   C300", "DEBIT     M142", "CREDIT    M142", "TDEBIT    M172",
                                 "TCREDIT   M172"};
    fields.SetFieldCount(9);
    fields.InitFieldTable();
    for (int i = 0; i < 9; ++i) fields.DeclareField(i, definitions[i]);
    lineType = "a";
  }
  // `width` digits of v, zero-filled, then NUL.
  static char* Digits(char* out, long v, int width) {
    out[width] = '\0';
    for (int i = width - 1; i >= 0; --i, v /= 10) out[i] = static_cast<char>('0' + v % 10);
    return out;
  }
  void ComputeLine() override {
    char text[64];
    fields.SetFieldText(0, Digits(text, 41100000 + line_ / kPerAccount, 8));
    Digits(text, 1 + line_ % 28, 2);
    text[2] = '/';
    Digits(text + 3, 1 + line_ % 12, 2);
    std::memcpy(text + 5, "/26", 4);
    fields.SetFieldText(1, text);
    fields.SetFieldText(2, line_ % 3 == 0 ? "VE" : "AC");
    fields.SetFieldText(3, Digits(text, line_ % 999999, 6));
    std::memcpy(text, "Facture client ", 15);
    Digits(text + 15, line_, 7);
    fields.SetFieldText(4, text);
    const double amount = static_cast<double>(line_ % 100000) / 100.0 + 10.0;
    fields.SetFieldNumber(5, line_ % 2 == 0 ? amount : 0.0);
    fields.SetFieldNumber(6, line_ % 2 == 0 ? 0.0 : amount);
    if (line_ % kPerAccount == 0) {
      fields.SetFieldNumber(7, 0);
      fields.SetFieldNumber(8, 0);
    }
    fields.AddField(7, 5);
    fields.AddField(8, 6);
    ++lineCount;
  }
  bool NextRecord() override {
    if (++line_ >= records_) {
      lineType = "Z";
      return false;
    }
    return true;
  }
  void ClassifyLine() override {
    const long inAccount = line_ % kPerAccount;
    lineType = inAccount == 0 ? "a" : inAccount == kPerAccount - 1 ? "c" : "b";
  }

 private:
  long records_;
  long line_ = 0;
};

const char* kLedger =
    "[Export][TT-Init][F3]Grand livre g\xE9n\xE9ral[F1][S:30]Page [Page]\r\n"
    "Date     Jal Pi\xE8" "ce  Libell\xE9                       D\xE9" "bit         Cr\xE9" "dit\r\n"
    "[ITD][TT-Avant][Rupt-a]{Compte [@COMPTE]\r\n}"
    "[@DATE] [@JOURNAL] [@PIECE] [@LIBELLE] [@DEBIT] [@CREDIT]"
    "[Rupt-c]{\r\nTotal [@COMPTE] [>][@TDEBIT] [@TCREDIT]}[TT-Suivant]\r\n[ITF]"
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
  }
  ~World() {
    FreeRuntime();
    std::filesystem::remove_all(dir);
  }
  std::string dir;
};

World& TheWorld() {
  static World world;
  return world;
}

// Peak resident memory of the process so far, in megabytes (VmHWM of /proc/self/status).
double PeakMegabytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
  }
  return 0;
}

struct Run {
  explicit Run(long records) : owner(records), env(templates) {
    context.exportFile = &file;
    context.exportSettings.delimiter = ";  ";
    interpreter = std::make_unique<reports::ReportInterpreter>(context, canvas, owner, env);
    interpreter->BeginListWithTemplate(reports::ListSetup(), kLedger);
  }
  LedgerOwner owner;
  reports::MapTemplateSource templates;
  reports::DossierReportEnvironment env;
  reports::FixedMetricsCanvas canvas;
  reports::RenderContext context;
  reports::ReportExportFile file;
  std::unique_ptr<reports::ReportInterpreter> interpreter;
};

void RunToDelimitedExport(benchmark::State& state) {
  TheWorld();
  long pages = 0;
  std::uintmax_t bytes = 0;
  for (auto _ : state) {
    Run run(kRecords);
    pages = run.interpreter->RenderToEnd(1000000);
    run.file.Close(run.context.exportSettings);
    bytes = std::filesystem::file_size(run.file.Path());
    state.counters["store_MB"] = static_cast<double>(run.context.store.Bytes()) / 1048576.0;
  }
  state.counters["pages"] = static_cast<double>(pages);
  state.counters["export_MB"] = static_cast<double>(bytes) / 1048576.0;
  state.counters["peak_MB"] = PeakMegabytes();
}
BENCHMARK(RunToDelimitedExport)->Unit(benchmark::kMillisecond)->Iterations(1);

// The word of the last page looked for from page 1 across 1,000 pages.
void SearchAcrossAThousandPages(benchmark::State& state) {
  TheWorld();
  Run run(1000 * 80);
  run.interpreter->RenderToEnd(1000);
  const int count = run.context.store.PageCount();
  for (auto _ : state) {
    benchmark::DoNotOptimize(reports::FindWord(run.context.store, "FACTURE CLIENT 0079000", 1, false, count, count));
  }
  state.counters["pages"] = count;
}
BENCHMARK(SearchAcrossAThousandPages)->Unit(benchmark::kMillisecond);

// A full page of the ledger painted at zoom 4 on a memory picture (the preview's repaint).
void RepaintAtZoomFour(benchmark::State& state) {
  TheWorld();
  Run run(200);
  run.interpreter->RenderPage();
  gui::MemoryDC picture(794 * 4, 1123 * 4);
  reports::DcCanvas canvas(picture);
  reports::PaintOptions paint;
  paint.zoom = 4;
  for (auto _ : state) reports::PaintPage(*run.context.store.Page(1), canvas, paint);
  state.counters["records"] = static_cast<double>(run.context.store.Page(1)->RecordCount());
}
BENCHMARK(RepaintAtZoomFour)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
