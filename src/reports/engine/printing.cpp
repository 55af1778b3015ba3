#include "reports/engine/printing.h"

#include <cstdio>
#include <limits>

#include "data/dossier_files.h"
#include "framework/browse.h"
#include "platform/gui/application.h"
#include "platform/gui/constants.h"
#include "platform/gui/dc.h"
#include "platform/gui/messagebox.h"
#include "platform/system/clock.h"
#include "platform/system/error_text.h"
#include "reports/engine/browse_report_owner.h"
#include "reports/engine/core/paint_walk.h"
#include "reports/engine/core/report_interpreter.h"
#include "reports/engine/core/report_text.h"
#include "reports/engine/core/template_loader.h"
#include "reports/engine/dc_canvas.h"
#include "reports/engine/export_offer.h"
#include "reports/engine/report_window.h"
#include "reports/engine/visu_window.h"
#include "reports/engine/window_environment.h"
#include "resources/string_table.h"
#include "runtime/access_rights.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/session_registry.h"
#include "runtime/text.h"
#include "shell/mdi_client.h"
#include "shell/program_printer.h"

namespace {

constexpr int kMsgPrintFailed = 19562;  // the printer or file that failed (%s)
constexpr int kMsgPdfRefused = 36604;   // the file, its folder, what the system said
constexpr int kAttention = 52;
constexpr int kRoundedCornersConstant = 73;

gui::Window* MainWindow() { return gui::Window::FromHandle(MainWindowHandle); }

bool RoundedCorners() {
  const std::string c = TheDossierRecord.Constant(kRoundedCornersConstant);
  return !c.empty() && c[0] == 'O';
}

// 0.33 mm in device units.
int PaperModule(int dpi) {
  const int module = dpi * 33 / 2540;
  return module < 1 ? 1 : module;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// TImpression

TImpression::TImpression(reports::ReportOwner& owner, const std::string& title)
    : gui::Printout(title), owner_(owner) {
  context_.exportFile = &reports::ExportFile();
}

TImpression::TImpression(CMDIBrowse& owner, const std::string& title)
    : gui::Printout(title), ownedOwner_(std::make_unique<BrowseReportOwner>(owner)), owner_(*ownedOwner_) {
  context_.exportFile = &reports::ExportFile();
}

TImpression::~TImpression() {
  if (began_ && reports::ExportFile().GetState() != reports::ReportExportFile::State::kNone)
    FinishExportFile(MainWindow(), context_.exportSettings, context_.documentTitle);
}

bool TImpression::Landscape() const {
  if (landscape_ < 0) {
    ProgramTemplateSource templates(true);
    reports::LoadedTemplate loaded;
    landscape_ = reports::LoadTemplate(templates, owner_.ReportCode().substr(0, 10), loaded) && loaded.layout.landscape;
  }
  return landscape_ == 1;
}

bool TImpression::BeginPrinting(gui::PageDC& dc) {
  env_ = std::make_unique<WindowReportEnvironment>(true, MainWindow());
  canvas_ = std::make_unique<reports::DcCanvas>(dc);
  interpreter_ = std::make_unique<reports::ReportInterpreter>(context_, *canvas_, owner_, *env_);
  // The engine's own flag, and the program's print run, while the printout runs.
  printRunBefore_ = PrintRunFlag;
  PrintRunFlag = true;
  SetProgramOption(17, 'O');
  began_ = true;
  reports::ListSetup setup;
  setup.target = reports::RenderTarget::kPrinter;
  setup.programOptions = ProgramOptions;
  setup.programOptions.resize(kProgramOptionsLength, ' ');
  setup.fontKeySuffix = ProgramOption(8) == 'O' ? "ImpB" : "ImpA";
  // The device context is already in the layout's orientation.
  setup.pageWidth = setup.landscapeWidth = dc.GetDeviceCaps(gui::HORZRES);
  setup.pageHeight = setup.landscapeHeight = dc.GetDeviceCaps(gui::VERTRES);
  setup.leftOffset = 0;
  setup.documentTitle = MakeDocumentTitle(Title());
  setup.barcodeModule = PaperModule(canvas_->Dpi());
  if (!interpreter_->BeginList(setup)) return false;
  context_.runToEnd = true;
  firstPage_ = context_.firstPage;
  lastPage_ = context_.lastPage;
  return true;
}

bool TImpression::HasPage(int page) {
  if (!interpreter_) return false;
  while (context_.store.PageCount() < page) {
    if (context_.store.PageCount() == 0) {
      interpreter_->RenderPage();
    } else if (interpreter_->CanRenderMore()) {
      interpreter_->RenderNextPage();
    } else {
      return false;
    }
  }
  return context_.store.Page(page) != nullptr;
}

void TImpression::GetPageRange(int& from, int& to) {
  from = firstPage_;
  // The range's end; every page when it is the "all" page.
  to = lastPage_ >= reports::RenderContext::kAllPages ? std::numeric_limits<int>::max() : lastPage_;
  // "La dernière page": the report is rendered to its end, its last page printed.
  if (firstPage_ == 9999) {
    int page = 1;
    while (HasPage(page + 1)) ++page;
    from = to = HasPage(1) ? context_.store.PageCount() : 1;
    return;
  }
  // Every page of the range is made before the first is printed, so that the run's warnings (an
  // amount it could not read, counted as zero) come before anything is printed.
  int page = 1;
  while (page <= to && HasPage(page)) ++page;
}

std::string TImpression::FootText() {
  const platform::LocalTime t = platform::GetLocalTime();
  char text[32];
  std::snprintf(text, sizeof text, "%02d/%02d/%02d %02dh%02d", t.day, t.month, t.year % 100, t.hour, t.minute);
  return text;
}

void TImpression::PrintPage(int page, gui::PageDC& dc) {
  const reports::PreviewPage* p = context_.store.Page(page);
  if (p == nullptr || !canvas_) return;
  reports::PaintOptions options;
  options.noTruncate = context_.noTruncate;
  options.lineHeight = context_.lineHeight;
  options.roundedCorners = RoundedCorners();
  options.greyFrames = ProgramOption(11) == 'O';
  options.subTotalFont = context_.subTotalFont.font;
  options.subTotalColour = context_.subTotalFont.colour;
  options.barcodeModule = context_.barcodeModule;
  reports::PaintPage(*p, *canvas_, options);
  if (ProgramOption(9) == 'O') {
    // The date and hour of the printout, in the report's first font, at the right of the foot.
    reports::ReportFont font = context_.fonts[0].font;
    const std::string text = FootText();
    canvas_->SetFont(font);
    canvas_->SetTextColour(reports::kBlack);
    const reports::FontMetrics m = canvas_->Metrics(font);
    const int width = canvas_->CurrentTextWidth(text);
    canvas_->DrawText(context_.pageWidth - width - m.averageWidth, context_.pageHeight - m.height, text, nullptr);
  }
}

void TImpression::EndPrinting() {
  if (!began_) return;
  SetProgramOption(17, 'N');
  PrintRunFlag = printRunBefore_;
}

// ---------------------------------------------------------------------------------------
// TImprimeEcran

TImprimeEcran::TImprimeEcran(TWVisuWindow& window) : gui::Printout(window.DocumentTitle()), window_(window) {
  if (Title().empty()) SetTitle(window.GetCaption());
}

bool TImprimeEcran::Landscape() const { return window_.Context().layout.landscape; }

void TImprimeEcran::PrintPage(int, gui::PageDC& dc) {
  const reports::RenderContext& c = window_.Context();
  const reports::PreviewPage* page = c.store.Page(c.currentPage);
  if (page == nullptr) return;
  // The page was laid out in screen units: scaled to the printer's resolution, the screen's
  // page area is the paper's.
  reports::DcCanvas canvas(dc);
  const int screenDpi = gui::ScreenLogPixelsY() > 0 ? gui::ScreenLogPixelsY() : 96;
  const int printerDpi = canvas.Dpi();
  dc.SetMapMode(gui::MM_ANISOTROPIC);
  dc.SetWindowExt(screenDpi, screenDpi);
  dc.SetViewportExt(printerDpi, printerDpi);
  reports::PaintOptions options;
  options.noTruncate = c.noTruncate;
  options.lineHeight = c.lineHeight;
  options.roundedCorners = RoundedCorners();
  options.greyFrames = ProgramOption(11) == 'O';
  options.subTotalFont = c.subTotalFont.font;
  options.subTotalColour = c.subTotalFont.colour;
  options.highlightWords = "";
  options.barcodeModule = 1;
  reports::PaintPage(*page, canvas, options);
  dc.SetMapMode(gui::MM_TEXT);
}

// ---------------------------------------------------------------------------------------

bool PrintOnProgramPrinter(gui::Printout& printout, gui::Window* owner) {
  gui::MPrinter* printer = ProgramPrinter();
  if (printer == nullptr) {
    gui::MessageBeep(0);
    return false;
  }
  // The PDF-file printer proposes the dossier's folder for its file.
  const std::string folder = DossierIsCurrent() && !DossierFolder.empty() ? DossierFolder : ProgramFolder;
  const gui::MPrinter::PrintResult result =
      printer->Print(printout, owner != nullptr ? owner : MainWindow(), folder);
  if (result == gui::MPrinter::PrintResult::kDeviceFailed) {
    std::string text = FillPlaceholder(LoadStr(kMsgPrintFailed), printer->DeviceName());
    if (printer->PrintsToFile()) {
      // A file the system refused is named with its folder and what the system said.
      const std::string file = printer->OutputFile();
      const std::size_t slash = file.rfind('/');
      const int err = printer->FailureError();
      text = err == 0 || slash == std::string::npos
                 ? FillPlaceholder(LoadStr(kMsgPrintFailed), file)
                 : FillPlaceholders(LoadStr(kMsgPdfRefused), {file, file.substr(0, slash + 1), platform::ErrorText(err)});
    }
    gui::MessageBeep(0);
    gui::MessageBox(owner != nullptr ? owner : MainWindow(), text, LoadStr(kAttention),
                    gui::MB_OK | gui::MB_ICONEXCLAMATION);
  }
  return result == gui::MPrinter::PrintResult::kPrinted;
}

void PrintListReport(CMDIBrowse& list, const std::string& title) {
  TImpression printout(list, title);
  PrintOnProgramPrinter(printout, &list);
}
