// Runs a template over a few records to its end (at most 6 pages of 12 lines), with an export
// when the template asks for one, then paints and searches every page. The input is the
// template; the records come from its first bytes. Nothing may crash, hang (a page's
// expansions are bounded) or read out of bounds.
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "data/dossier_files.h"
#include "reports/engine/core/paint_walk.h"
#include "reports/engine/core/preview_navigation.h"
#include "reports/engine/core/report_interpreter.h"
#include "runtime/inifiles.h"
#include "runtime/runtime_init.h"

namespace {

class FuzzOwner : public reports::SimpleReportOwner {
 public:
  explicit FuzzOwner(const std::string& seed) : seed_(seed) {
    const char* definitions[] = {"NOM       C120", "MONTANT   M142", "NB        N052", "LIB23     C300"};
    fields.SetFieldCount(4);
    fields.InitFieldTable();
    for (int i = 0; i < 4; ++i) fields.DeclareField(i, definitions[i]);
    lineType = "A";
  }
  void ComputeLine() override {
    const std::string part = seed_.substr(position_ % (seed_.size() + 1), 12);
    fields.SetFieldText(0, part.c_str());
    fields.SetFieldNumber(1, static_cast<double>(position_) * 1234567.89 - 5000);
    fields.SetFieldNumber(2, static_cast<double>(position_) / 3);
    fields.SetFieldText(3, (part + "\x18" "crlf\x19" + part).c_str());
    ++lineCount;
  }
  bool NextRecord() override {
    if (++position_ >= 5) {
      lineType = "Z";
      return false;
    }
    return true;
  }
  void ClassifyLine() override { lineType = std::string(1, static_cast<char>('A' + position_ % 3)); }

 private:
  std::string seed_;
  std::size_t position_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool started = [] {
    SetProgramFolder(FuzzFolder() + "/");
    const bool ok = InitRuntime();
    SetDossier(FuzzFolder() + "/", "FUZ");
    return ok;
  }();
  if (!started) return 0;
  const std::string text(reinterpret_cast<const char*>(data), size);
  reports::MapTemplateSource templates;
  templates.Add("A", text);
  templates.Add("B", text.substr(0, text.size() / 2));
  reports::DossierReportEnvironment env(templates);
  FuzzOwner owner(text.substr(0, 64));
  reports::FixedMetricsCanvas canvas;
  reports::RenderContext context;
  reports::ReportExportFile file;
  context.exportFile = &file;
  context.expansionBudget = 20000;
  reports::ListSetup setup;
  setup.pageHeight = 12 * 13 + 4;
  reports::ReportInterpreter interpreter(context, canvas, owner, env);
  if (!interpreter.BeginListWithTemplate(setup, text)) return 0;
  interpreter.RenderToEnd(6);
  file.Close(context.exportSettings);
  for (int p = 1; p <= context.store.PageCount(); ++p) {
    canvas.ClearCalls();
    reports::PaintOptions paint;
    paint.zoom = 1 + p % 3;
    paint.highlightWords = "A&B|C";
    reports::PaintPage(*context.store.Page(p), canvas, paint);
  }
  reports::FindWord(context.store, "1|A&", 1, false, context.store.PageCount(), context.store.PageCount());
  return 0;
}
