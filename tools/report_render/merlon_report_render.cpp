// merlon-report-render: runs a report template over the records of a fixture (report_fixture.h)
// to the end, and writes its export (when the template asks for one), its pages as PNG
// pictures and / or a PDF file. Without the window layer only the export is made (the pages
// are measured with fixed metrics then). See Usage.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "../console_text.h"
#include "data/dossier_files.h"
#include "platform/system/cp1252.h"
#include "platform/system/files.h"
#include "report_fixture.h"
#include "reports/engine/core/export_followup.h"
#include "reports/engine/core/paint_walk.h"
#include "reports/engine/core/report_interpreter.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/runtime_init.h"
#include "runtime/xbase.h"
#ifdef MERLON_REPORT_RENDER_PAGES
#include "platform/gui/application.h"
#include "platform/gui/printer.h"
#include "reports/engine/dc_canvas.h"
#endif

namespace {

int Usage() {
  const std::string text =
      "usage: merlon-report-render --template MODELE --fixture DONNEES [options]\n"
      "  --folder DOSSIER   dossier o\xF9 l'export est \xE9" "crit (le dossier courant par d\xE9" "faut)\n"
      "  --code CODE        code du dossier (TEST par d\xE9" "faut)\n"
      "  --export FICHIER   nom du fichier d'export (sinon celui du mod\xE8le)\n"
      "  --png PREFIXE      une image PNG par page: PREFIXE-1.png, PREFIXE-2.png ...\n"
      "  --pdf FICHIER      les pages dans un fichier PDF\n"
      "  --pages N          au plus N pages (1000 par d\xE9" "faut)\n";
  std::fputs(ConsoleText(text).c_str(), stderr);
  return 2;
}

// A file's text as the program holds it: cp1252, from UTF-8 when the file is UTF-8.
bool ReadText(const std::string& path, std::string& text) {
  std::string raw;
  if (!platform::ReadWholeFile(path, raw)) return false;
  std::string converted;
  text = platform::Utf8ToCp1252(raw, converted, platform::Unassigned::kRefuse) ? converted : raw;
  return true;
}

struct Options {
  std::string templatePath, fixturePath, folder, code = "TEST", exportName, png, pdf;
  int pages = 1000;
};

class ToolEnvironment : public reports::DossierReportEnvironment {
 public:
  explicit ToolEnvironment(reports::TemplateSource& t) : DossierReportEnvironment(t) {}
  void Warn(const std::string& caption, const std::string& text) override {
    std::fputs(ConsoleText(caption + ": " + text + "\n").c_str(), stderr);
  }
  void Beep() override {}
};

// Renders every page with the measurer, then paints them when asked.
int Render(const Options& o, reports::TextMeasurer& measurer, const reports::ListSetup& setup,
           const std::string& templateText, reports::FixtureReportOwner& owner, reports::RenderContext& context) {
  reports::MapTemplateSource templates;
  ToolEnvironment env(templates);
  reports::ReportInterpreter interpreter(context, measurer, owner, env);
  if (!owner.PrepareReport()) {
    std::fputs(ConsoleText("Il n'y a rien dans cet Etat\n").c_str(), stderr);
    return 1;
  }
  if (!interpreter.BeginListWithTemplate(setup, templateText)) return 1;
  interpreter.RenderToEnd(o.pages);
  reports::ReportExportFile& file = reports::ExportFile();
  const reports::ExportEnd end = reports::CloseExportFile(file, context.exportSettings);
  if (end == reports::ExportEnd::kOffered) {
    std::printf("%s\n", ConsoleText(file.Path()).c_str());
  } else if (end == reports::ExportEnd::kFailed) {
    std::fputs(ConsoleText(file.FailureMessage() + "\n").c_str(), stderr);
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> std::string { return i + 1 < argc ? ProgramPath(argv[++i]) : std::string(); };
    if (arg == "--template") o.templatePath = value();
    else if (arg == "--fixture") o.fixturePath = value();
    else if (arg == "--folder") o.folder = value();
    else if (arg == "--code") o.code = value();
    else if (arg == "--export") o.exportName = value();
    else if (arg == "--png") o.png = value();
    else if (arg == "--pdf") o.pdf = value();
    else if (arg == "--pages") o.pages = std::atoi(value().c_str());
    else return Usage();
  }
  if (o.templatePath.empty() || o.fixturePath.empty() || o.pages < 1) return Usage();
#ifndef MERLON_REPORT_RENDER_PAGES
  if (!o.png.empty() || !o.pdf.empty()) {
    std::fputs(ConsoleText("Les pages demandent la couche des fen\xEAtres (construite sans elle).\n").c_str(), stderr);
    return 2;
  }
#endif
  std::string templateText, fixtureText, error;
  if (!ReadText(o.templatePath, templateText) || !ReadText(o.fixturePath, fixtureText)) {
    std::fputs(ConsoleText("Fichier illisible.\n").c_str(), stderr);
    return 1;
  }
  reports::ReportFixture fixture;
  if (!reports::ParseReportFixture(fixtureText, fixture, error)) {
    std::fputs(ConsoleText(error + "\n").c_str(), stderr);
    return 1;
  }
  if (!InitRuntime()) return 1;
  SetDossier(o.folder.empty() ? std::string("./") : o.folder, o.code);
  TheDossierRecord.Clear();
  for (const auto& [number, text] : fixture.constants) TheDossierRecord.SetConstant(number, text);
  reports::FixtureReportOwner owner(fixture);
  owner.exportFileName = o.exportName;
  reports::ListSetup setup;
  reports::RenderContext context;
  context.exportFile = &reports::ExportFile();
#ifdef MERLON_REPORT_RENDER_PAGES
  if (!o.png.empty() || !o.pdf.empty()) {
    gui::Application::EnsureQt();
    if (!o.pdf.empty()) {
      // The printer's path: the pages measured and painted on the PDF device itself.
      gui::PdfDC pdf(o.pdf, false, 150);
      if (!pdf.StartDoc(o.templatePath)) return 1;
      reports::DcCanvas canvas(pdf);
      setup.target = reports::RenderTarget::kPrinter;
      setup.pageWidth = setup.landscapeHeight = pdf.GetDeviceCaps(gui::HORZRES);
      setup.pageHeight = setup.landscapeWidth = pdf.GetDeviceCaps(gui::VERTRES);
      setup.barcodeModule = canvas.Dpi() * 33 / 2540 < 1 ? 1 : canvas.Dpi() * 33 / 2540;
      const int rc = Render(o, canvas, setup, templateText, owner, context);
      for (int p = 1; p <= context.store.PageCount(); ++p) {
        pdf.StartPage();
        reports::PaintOptions paint;
        paint.lineHeight = context.lineHeight;
        paint.noTruncate = context.noTruncate;
        paint.barcodeModule = setup.barcodeModule;
        reports::PaintPage(*context.store.Page(p), canvas, paint);
        pdf.EndPage();
      }
      pdf.EndDoc();
      if (rc != 0 || o.png.empty()) return rc;
      owner = reports::FixtureReportOwner(fixture);
      owner.exportFileName = o.exportName;
      reports::ExportFile().Reset();
      context = reports::RenderContext();
      setup = reports::ListSetup();
    }
    gui::MemoryDC measure(setup.pageWidth, setup.pageHeight);
    reports::DcCanvas measurer(measure);
    const int rc = Render(o, measurer, setup, templateText, owner, context);
    for (int p = 1; p <= context.store.PageCount(); ++p) {
      gui::MemoryDC picture(setup.pageWidth, setup.pageHeight);
      reports::DcCanvas canvas(picture);
      reports::PaintOptions paint;
      paint.lineHeight = context.lineHeight;
      paint.noTruncate = context.noTruncate;
      reports::PaintPage(*context.store.Page(p), canvas, paint);
      if (!picture.SavePng(o.png + "-" + std::to_string(p) + ".png")) return 1;
    }
    return rc;
  }
#endif
  reports::FixedMetricsCanvas canvas;
  return Render(o, canvas, setup, templateText, owner, context);
}
