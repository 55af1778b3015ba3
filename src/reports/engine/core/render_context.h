// The state of one report run that the interpreter keeps between pages: what the preview
// window (and the printout) holds for it. The preview owns one context, a printout another
// with the printer's fonts and metrics; tests drive one without any window.
//
// Positions are in the target's device units (screen pixels for the preview at zoom 1,
// printer dots for a printout). Line n of a page has its top at (n - 1) x lineHeight +
// lineHeight / 5.
#pragma once

#include <string>

#include "reports/engine/core/page_store.h"
#include "reports/engine/core/report_canvas.h"
#include "reports/engine/core/report_environment.h"
#include "reports/engine/core/report_export.h"
#include "reports/engine/core/template_loader.h"

namespace reports {

// Where the run goes: the preview keeps [Si-Visu] blocks and drops [Si-Impr] ones, a printout
// the reverse.
enum class RenderTarget { kPreview, kPrinter };

// A font of the run with its colour letter and the metrics the interpreter measured.
struct FontSlot {
  ReportFont font;
  char colour = 'A';
  FontMetrics metrics;
};

// What the window gives a run when a list begins (VisuBeginList, TImpression).
struct ListSetup {
  RenderTarget target = RenderTarget::kPreview;
  // The program options (22 characters): 5 the preview's report set, 9 date and hour at each
  // printed page's foot, 11 grey frames, 15 the format flag ("1" shows cents), 17 set while a
  // printout runs, 18 "Debug_Etats", 19 / 20 the default columns of a portrait / landscape
  // page (one byte each).
  std::string programOptions = DefaultProgramOptions();
  static std::string DefaultProgramOptions() {
    std::string o(22, ' ');
    o[18] = static_cast<char>(80);   // option 19: columns of a portrait page
    o[19] = static_cast<char>(113);  // option 20: columns of a landscape page
    return o;
  }
  // The printable area in device units (A4 when the printer has none), its left offset and
  // the device's pixels per inch; for the preview, the printer's area in screen units.
  int pageWidth = 794;
  int pageHeight = 1123;
  int leftOffset = 0;
  // Portrait and landscape areas differ: the landscape one is used for [Orientation=Paysage].
  int landscapeWidth = 1123;
  int landscapeHeight = 794;
  // The report's vertical correction of font heights, in percent.
  int verticalCorrection = 0;
  // INI keys of the fonts: "Police-" + 1-4 or "S" + "-" + this suffix ("Visu", "ImpA", "ImpB").
  std::string fontKeySuffix = "Visu";
  // The document title of the run (MakeDocumentTitle), used by the HTML export's title.
  std::string documentTitle;
  // Narrow barcode module in device units (1 on the screen, 0.33 mm on paper).
  int barcodeModule = 1;
};

// The result of one rendered page: what the window does next (the preview posts these
// commands to itself).
struct PageOutcome {
  bool renderAllPages = false;  // ToutesLesPages: an export is open after page 1
  bool renderNextPage = false;  // 1201: a run to the last page goes on
  bool endBeep = false;         // the run to the last page reached the end of the data
  bool closePreview = false;    // Quitter: the data ended while an export file is open
};

struct RenderContext {
  RenderTarget target = RenderTarget::kPreview;
  std::string programOptions = std::string(22, ' ');
  char ProgramOption(int position) const {
    return position >= 1 && position <= static_cast<int>(programOptions.size()) ? programOptions[position - 1] : ' ';
  }

  // ---- template
  std::string reportCode;       // the report code (10 characters at most)
  std::string templateText;     // the template as loaded, imports merged
  LayoutAttributes layout;
  std::string documentTitle;

  // ---- pages
  PreviewPageStore store;
  int renderedPages = 0;        // the page being rendered, or rendered last
  int currentPage = 0;          // the page shown
  int pageCount = 0;            // pages held as far as the navigation knows
  int firstPage = 1;            // 9999: run to the last page
  int lastPage = 9999;          // 9999: every page, however many the report has
  static constexpr int kAllPages = 9999;
  // The page is within the range's end.
  bool UpToLastPage(int page) const { return lastPage >= kAllPages || page <= lastPage; }
  // The run renders every page (a printout) whatever its page range says: a template that
  // steps no record then ends with its first page.
  bool runToEnd = false;
  bool endOfData = false;
  bool firstIterationOnPage = true;
  bool forcedIteration = false;
  bool iterationStopped = false;
  char pageBreakMark = '@';
  int repeatCount = 0;
  int repeatCounter = 0;
  DossierTableId currentTable = DossierTableId::kC10;

  // ---- geometry (device units)
  int pageWidth = 794, pageHeight = 1123, leftOffset = 0;
  int lineStartX = 0, currentX = 0, currentY = 0;
  int lineHeight = 12;          // never below 1
  int linesPerPage = 1, linesLeft = 1;
  int columnsPerLine = 80, columnWidth = 8;
  int memorisedLine = 0;
  int verticalCorrection = 0;
  int barcodeModule = 1;

  // ---- fonts
  FontSlot fonts[4];            // the numbered fonts 1-4
  FontSlot subTotalFont;        // "6"
  FontSlot specialFont;         // "5" (and "7" turned)
  FontSlot defaultFont;         // the report's default description
  char currentFontNumber = '1';
  bool specialActive = false;   // the special font (a style or [P:] statement) draws the text
  char initialFontNumber = '1';
  char textColour = 'A';
  int fontCharWidth = 8, fontLineHeight = 12, fontAscent = 10;
  int defaultCharWidth = 8, defaultLineHeight = 12, defaultAscent = 10;
  int baselineShift = 0;
  bool cpiMode = false;
  bool verticalFont = false;
  bool noTruncate = false;
  bool widthWarningShown = false;
  double maxWidthFactor = 1.5;  // program INI "MajMaxPolVisu"

  // ---- drawing state
  bool framesOn = true;
  int penWidth = 1;
  char fillColourLetter = 'K';

  // ---- data statements
  bool allowFieldUpdates = false;  // only the raw table browser sets it
  double updateCoefficient = 0.0;
  bool noZeroAmounts = false;

  // ---- export
  ExportSettings exportSettings;
  ReportExportFile* exportFile = &ExportFile();

  // ---- bounds of one page's work (endless expansions print "?statement?" past them)
  long expansionBudget = 1000000;  // statements handled on one page
  int aliasDepthLimit = 32;

  // The iteration block read from its parsed form (off: character by character, as the rest
  // of the text; the pages and the export are the same either way).
  bool parsedIteration = true;
};

}  // namespace reports
