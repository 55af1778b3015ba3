// TWVisuWindow: the report preview. One at a time, made by the main window's Visu
// (one list) and VisuMode1 (several lists: "Liste suivante" asks the owner for the next one), it
// owns a render context that the template interpreter fills page by page while the user pages
// through the report, and shows the stored pages at zoom 1, 2 or 4, scrolled, with the
// searched words in light red. Pages are rendered on demand: the first when the list begins,
// each further one when the user asks for it, or all of them one per message (1201) during a
// run to the last page. Closing the window closes the report's export file (and offers to
// open or send it) and tells the owner: FinVisualisation, or ListeSuivante after "Liste
// suivante".
//
// While a preview exists the program is in a print run (PrintRunFlag): the main menu's
// commands beep, the list windows wait.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/gui/mdi.h"
#include "reports/engine/core/preview_navigation.h"
#include "reports/engine/core/render_context.h"
#include "reports/engine/core/report_owner.h"
#include "reports/engine/core/template_loader.h"
#include "resources/command_ids.h"

class CMDIBrowse;

namespace gui {
class DC;
class MemoryDC;
}

namespace reports {
class DcCanvas;
class ReportInterpreter;
}  // namespace reports

class WindowReportEnvironment;

// Commands of the preview window.
namespace visu_cmd {
constexpr unsigned RenderNextPage = 1201;
using child_command::Quitter;
using child_command::FinVisualisation;
using child_command::ListeSuivante;
using child_command::Imprimer;
using child_command::ImprimerEcran;
using child_command::PageHtml;
using child_command::Chercher;
using child_command::ChercherEncore;
using child_command::PageDebut;
using child_command::PagePrecedente;
using child_command::PageSuivante;
using child_command::PageFin;
using child_command::ToutesLesPages;
using child_command::PartieEnHaut;
using child_command::PartieEnBas;
using child_command::PartieAGauche;
using child_command::PartieADroite;
using child_command::PageMoins10;
using child_command::PagePlus10;
using child_command::Zoom;
using child_command::PageNormale;
// The text of a command in the pop-up menu: the string of the command's id + 1000 ("Zoom" for Zoom).
constexpr int kPopupTextOffset = 1000;
inline int PopupText(unsigned command) { return static_cast<int>(command) + kPopupTextOffset; }
}  // namespace visu_cmd

class TWVisuWindow;

// 1 while a preview window exists, -1 once it was asked to close, 0 after.
extern int PreviewState;
// The preview that Visu / VisuMode1 made current, into which the lists render; null when none.
extern TWVisuWindow* CurrentPreviewWindow;

class TWVisuWindow : public gui::MDIChild {
 public:
  // `mode` 0: one list; 1: several lists ("Autre Liste" asks the owner for the next).
  TWVisuWindow(gui::MDIClient* client, int mode);
  ~TWVisuWindow() override;

  // ---- the list shown
  // Prepares the window for a new list of `owner` (VisuBeginList): the page range of its report
  // code, its template from the preview's report set, the screen fonts, the page grid of the
  // printer's area; the caption. `ownerWindow` is told when the preview ends (may be null).
  // False (after a beep) when the report's template cannot be loaded.
  bool BeginList(reports::ReportOwner& owner, gui::Window* ownerWindow, const std::string& caption, int format,
                 bool fieldWrites = false);
  // The same for a list window, through the report-owner adapter the window keeps.
  // A list window's list: its templates write into the fields when the list allows it
  // (AllowFieldUpdates, the raw table browser); no other list's do.
  bool BeginList(CMDIBrowse& owner, const std::string& caption, int format);
  // Renders page RenderedPages and shows it (VisuRenderList); posts what the page asks for.
  void RenderList();

  // ---- commands (public: the tests drive them as the keys and the menu do)
  void CmQuitVisu();
  void CmPrint();
  void CmPrintCurrentPage();
  void CmHtmlPage();
  void CmFirstPage();
  void CmPreviousPage();
  void CmNextPage();
  void CmRenderNextPage();
  void CmLastPage();
  void CmAllPages();
  void CmPageMinus10();
  void CmPagePlus10();
  void CmFindWord();
  void CmFindAgain();
  void CmScrollLeft();
  void CmScrollRight();
  void CmScrollUp();
  void CmScrollDown();
  void CmZoom();
  void CmNormalPage();
  void CmNextList();
  void ScrollUp(bool large);
  void ScrollDown(bool large);

  // ---- handlers
  void EvKeyUp(int vk, unsigned repeat, unsigned flags) override;
  void EvLButtonDown(unsigned modKeys, gui::Point p) override;
  void EvLButtonDblClk(unsigned modKeys, gui::Point p) override;
  void EvRButtonDown(unsigned modKeys, gui::Point p) override;
  void EvMouseWheel(unsigned modKeys, int delta, gui::Point p) override;
  void EvSetFocus(gui::Handle lost) override;

  // ---- state
  // No command that acts on the pages while the page shown is printed or written as HTML,
  // or while a run to the last page goes on.
  bool Ready() const;
  // PaintPage: mode 0 zoom 1 and no scroll, 1 kept, 2 the zoom doubled around the zoom point;
  // page 0 the current page; non-blank words replace the highlighted ones.
  void PaintPage(int mode, int page, const std::string& searchWords);
  // The commands of the pop-up menu in order, 0 for a separator.
  std::vector<unsigned> PopupMenuIds() const;
  // The client area drawn into a picture (the page as the window shows it).
  bool SavePicture(const std::string& path);
  // Draws the page shown, zoomed and scrolled, with the marker line, on any device context.
  void DrawClient(gui::DC& dc, int width, int height);

  int Mode() const { return mode_; }
  reports::RenderContext& Context() { return context_; }
  const reports::RenderContext& Context() const { return context_; }
  const reports::PreviewView& View() const { return view_; }
  const std::string& HighlightWords() const { return highlightWords_; }
  int MarkerY() const { return markerY_; }
  reports::ReportOwner* Owner() const { return owner_; }
  gui::Handle OwnerHandle() const { return ownerHandle_; }
  const std::vector<std::uint32_t>& CommandList() const { return commandList_; }
  const std::string& DocumentTitle() const { return context_.documentTitle; }
  // The interpreter's environment (the printout of the page shown reads its printer names).
  WindowReportEnvironment* Environment() const { return env_.get(); }

  bool PrintPageBusy = false;
  bool HtmlPageBusy = false;
  bool PrintDisabled = false;
  bool PrintPageDisabled = false;
  // The searched text: upper-cased and trimmed, blanks as blanks, at most 50 characters.
  std::string SearchText;
  bool NextListRequested = false;
  // Set by the command that replaces this preview: the owner is not told of its end.
  bool CloseWithoutNotice = false;

  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }

 protected:
  void SetupWindow() override;
  void CleanupWindow() override;
  void EvPaint() override;

 private:
  void ShowPage(int page) { PaintPage(0, page, SearchText); }
  void ShowStatus(int page, int count);
  void RenderOneMore();
  void AfterPage(const reports::PageOutcome& outcome);
  void FindWord(bool again);
  gui::Rect Client() const;
  void EndPreview();

  // Enablers.
  void CeAlways(gui::CommandEnabler& ce) { ce.Enable(true); }
  void CePrint(gui::CommandEnabler& ce);
  void CePrintCurrentPage(gui::CommandEnabler& ce);
  void CeHtmlPage(gui::CommandEnabler& ce);
  void CeFirstPage(gui::CommandEnabler& ce);
  void CePreviousPage(gui::CommandEnabler& ce);
  void CeNextPage(gui::CommandEnabler& ce);
  void CeLastPage(gui::CommandEnabler& ce);
  void CeAllPages(gui::CommandEnabler& ce);
  void CeFindWord(gui::CommandEnabler& ce);
  void CeFindAgain(gui::CommandEnabler& ce);
  void CeScrollLeft(gui::CommandEnabler& ce);
  void CeScrollRight(gui::CommandEnabler& ce);
  void CeScrollUp(gui::CommandEnabler& ce);
  void CeScrollDown(gui::CommandEnabler& ce);
  void CeNextList(gui::CommandEnabler& ce);

  int mode_;
  std::vector<std::uint32_t> commandList_;
  reports::RenderContext context_;
  reports::PreviewView view_;
  std::string highlightWords_;
  int markerY_ = -1;
  bool ended_ = false;

  reports::ReportOwner* owner_ = nullptr;
  std::unique_ptr<reports::ReportOwner> ownedOwner_;
  gui::Handle ownerHandle_ = 0;
  std::unique_ptr<WindowReportEnvironment> env_;
  std::unique_ptr<gui::MemoryDC> measureDc_;
  std::unique_ptr<reports::DcCanvas> measurer_;
  std::unique_ptr<reports::ReportInterpreter> interpreter_;
};

// ---- the preview run, as the report windows call it

// The main window's Visu and VisuMode1: a preview still open is closed (its owner is
// not told), a new one made in mode 0 or 1 and made current; the print run begins.
void CmVisu();
void CmVisuMode1();
// VisuBeginList on the current preview window; false when there is none or the list cannot
// begin. `format` other than 0 sets the number format of the run (option 15: "1" shows cents).
bool VisuBeginList(CMDIBrowse& owner, const std::string& caption, int format = 0);
bool VisuBeginList(reports::ReportOwner& owner, gui::Window* ownerWindow, const std::string& caption,
                   int format = 0);
// VisuRenderList on the current preview window.
void VisuRenderList();
// VisuBeginList, then the first page.
bool VisuShowList(CMDIBrowse& owner, const std::string& caption, int format = 0);
bool VisuShowList(reports::ReportOwner& owner, gui::Window* ownerWindow, const std::string& caption,
                  int format = 0);
// The template of a report code from the preview's report set (program option 5), its
// imports merged and its layout attributes read; false when the set has no such report.
bool LoadTemplateVisu(const std::string& code, reports::LoadedTemplate& out);
// A line the owner window writes itself into the open export file of the current preview (its
// export settings); false when no export file is open.
bool WriteExportLineVisu(const std::string& text);
// The preview's page area in screen units: the printable area of the print set's printer
// (A4 when none), portrait and landscape, at the screen's resolution.
void PreviewPageSize(reports::ListSetup& setup, int dpi);
