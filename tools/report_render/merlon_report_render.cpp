// merlon-report-render: runs a report template over the records of a fixture (report_fixture.h)
// to the end, and writes its export (when the template asks for one), its pages as PNG
// pictures and / or a PDF file. Without the window layer only the export is made (the pages
// are measured with fixed metrics then). With --check it reads layouts without data and lists
// what their families would not print (template_check.h, report_set.h). See Usage.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "../console_text.h"
#include "data/dossier_files.h"
#include "platform/system/cp1252.h"
#include "platform/system/files.h"
#include "report_fixture.h"
#include "report_set.h"
#include "template_check.h"
#include "reports/engine/core/export_followup.h"
#include "reports/engine/core/paint_walk.h"
#include "reports/engine/core/report_interpreter.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/runtime_init.h"
#ifdef MERLON_REPORT_RENDER_PAGES
#include "platform/gui/application.h"
#include "platform/gui/printer.h"
#include "reports/engine/dc_canvas.h"
#endif

namespace {

int Usage() {
  const std::string text =
      "usage: merlon-report-render --template MODELE --fixture DONNEES [options]\n"
      "       merlon-report-render --check DOSSIER|C-Etat-code.txt --families FAMILLES\n"
      "  --folder DOSSIER   dossier o\xF9 l'export est \xE9" "crit (le dossier courant par d\xE9" "faut)\n"
      "  --code CODE        code du dossier (TEST par d\xE9" "faut)\n"
      "  --export FICHIER   nom du fichier d'export (sinon celui du mod\xE8le)\n"
      "  --png PREFIXE      une image PNG par page: PREFIXE-1.png, PREFIXE-2.png ...\n"
      "  --pdf FICHIER      les pages dans un fichier PDF\n"
      "  --pages N          au plus N pages (1000 par d\xE9" "faut)\n"
      "  --check            les mod\xE8les d'un dossier (avec son catalogue) ou un seul, lus sans donn\xE9" "es:\n"
      "                     instructions et variables inconnues, lettres de rupture et directives que\n"
      "                     la famille ne lit pas; rien quand tout est bon\n"
      "  --families         le dossier des familles d'\xE9tats (leurs variables et leurs lettres)\n";
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
  std::string templatePath, fixturePath, folder, code = "TEST", exportName, png, pdf, check, families;
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

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

// Renders every page with the measurer, then paints them when asked. The template's imports
// ([IE:code]) are the layout files beside it.
int Render(const Options& o, reports::TextMeasurer& measurer, const reports::ListSetup& setup,
           const std::string& templateText, reports::FixtureReportOwner& owner, reports::RenderContext& context) {
  reports::FolderTemplateSource templates(FolderOf(o.templatePath));
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

// The check of a folder of layouts (with its catalog) or of one layout file: 0 when sound.
int Check(const Options& o) {
  std::vector<reports::ReportFixture> families;
  std::string error;
  if (!reports::ReadFamilies(o.families, families, error)) {
    std::fputs(ConsoleText(error + "\n").c_str(), stderr);
    return 2;
  }
  std::vector<std::string> problems;
  if (platform::DirectoryExists(o.check)) {
    problems = reports::CheckReportSet(o.check, families);
  } else {
    const std::size_t slash = o.check.rfind('/');
    const std::string name = slash == std::string::npos ? o.check : o.check.substr(slash + 1);
    const std::string folder = slash == std::string::npos ? std::string(".") : o.check.substr(0, slash);
    if (name.size() <= 11 || name.compare(0, 7, "C-Etat-") != 0) return Usage();
    const std::string code = name.substr(7, name.size() - 11);
    const reports::ReportFixture* family = reports::FamilyOfCode(families, code);
    std::string text;
    if (family == nullptr) {
      problems.push_back(name + ": code d'aucune famille: " + code);
    } else if (!reports::ReadLayout(folder, code, text, error)) {
      problems.push_back(error);
    } else {
      for (const reports::TemplateProblem& p : reports::CheckTemplate(text, *family))
        problems.push_back(name + ":" + std::to_string(p.line) + ": " + p.message);
    }
  }
  for (const std::string& p : problems) std::printf("%s\n", ConsoleText(p).c_str());
  return problems.empty() ? 0 : 1;
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
    else if (arg == "--check") o.check = value();
    else if (arg == "--families") o.families = value();
    else return Usage();
  }
  if (!o.check.empty() || !o.families.empty()) {
    if (o.check.empty() || o.families.empty()) return Usage();
    if (!InitRuntime()) return 2;
    return Check(o);
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
  for (const auto& [position, text] : fixture.dossier)
    TheDossierRecord.Set(position, static_cast<int>(text.size()), text);
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
      // The printer's paper turned as the layout asks.
      reports::FolderTemplateSource imports(FolderOf(o.templatePath));
      const bool landscape = reports::ReadLayoutAttributes(reports::MergeImports(imports, templateText)).landscape;
      gui::PdfDC pdf(o.pdf, landscape, 150);
      if (!pdf.StartDoc(o.templatePath)) return 1;
      reports::DcCanvas canvas(pdf);
      setup.target = reports::RenderTarget::kPrinter;
      setup.pageWidth = setup.landscapeWidth = pdf.GetDeviceCaps(gui::HORZRES);
      setup.pageHeight = setup.landscapeHeight = pdf.GetDeviceCaps(gui::VERTRES);
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
      gui::MemoryDC picture(context.pageWidth, context.pageHeight);
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
