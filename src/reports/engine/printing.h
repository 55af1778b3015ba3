// Printouts on the program's printer (MPrinter): TImpression, a report's template run onto the
// printer page by page (the printer's fonts "Police-n-ImpA", or "-ImpB" on the second printer,
// the print set's templates, [Si-Impr] kept and [Si-Visu] dropped, the pages of the report
// code's range), and TImprimeEcran, the page the preview shows, scaled to the paper.
//
// While a printout runs, program option 17 is "O" and the program is in a print run; option 11
// greys the frames, option 9 prints the date and hour at each page's foot.
#pragma once

#include <memory>
#include <string>

#include "platform/gui/printer.h"
#include "reports/engine/core/render_context.h"
#include "reports/engine/core/report_owner.h"

class CMDIBrowse;
class TWVisuWindow;
class WindowReportEnvironment;

namespace reports {
class DcCanvas;
class ReportInterpreter;
}  // namespace reports

class TImpression : public gui::Printout {
 public:
  TImpression(reports::ReportOwner& owner, const std::string& title);
  // A list window's report, through the report-owner adapter the printout keeps.
  TImpression(CMDIBrowse& owner, const std::string& title);
  // Closes the export file of the run and offers to open or send it.
  ~TImpression() override;

  bool Landscape() const override;
  bool BeginPrinting(gui::PageDC& dc) override;
  void GetPageRange(int& from, int& to) override;
  bool HasPage(int page) override;
  void PrintPage(int page, gui::PageDC& dc) override;
  void EndPrinting() override;

  const reports::RenderContext& Context() const { return context_; }
  // The run's state, for an owner whose hooks let the list go on past an end of data.
  reports::RenderContext& Context() { return context_; }
  // The date and hour printed at each page's foot (option 9): "DD/MM/YY HHhMM".
  static std::string FootText();

 private:
  std::unique_ptr<reports::ReportOwner> ownedOwner_;
  reports::ReportOwner& owner_;
  reports::RenderContext context_;
  std::unique_ptr<WindowReportEnvironment> env_;
  std::unique_ptr<reports::DcCanvas> canvas_;
  std::unique_ptr<reports::ReportInterpreter> interpreter_;
  int firstPage_ = 1;
  int lastPage_ = 9999;
  bool began_ = false;
  bool printRunBefore_ = false;
  mutable int landscape_ = -1;
};

// The page the preview shows, on one sheet: its records painted at the printer's resolution.
class TImprimeEcran : public gui::Printout {
 public:
  explicit TImprimeEcran(TWVisuWindow& window);
  bool Landscape() const override;
  void PrintPage(int page, gui::PageDC& dc) override;

 private:
  TWVisuWindow& window_;
};

// Prints on the program's printer; a printer that cannot print is said (its name in the
// message). True when pages were printed.
bool PrintOnProgramPrinter(gui::Printout& printout, gui::Window* owner);
// A list window's prepared report printed under `title` (the printout of its print command).
void PrintListReport(CMDIBrowse& list, const std::string& title);
