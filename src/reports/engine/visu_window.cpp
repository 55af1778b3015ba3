#include "reports/engine/visu_window.h"

#include <algorithm>

#include "data/dossier_files.h"
#include "framework/browse.h"
#include "framework/dialog_bases.h"
#include "framework/fmt_saisie.h"
#include "platform/gui/application.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/dc.h"
#include "platform/gui/keyboard.h"
#include "platform/gui/menu.h"
#include "platform/gui/messagebox.h"
#include "platform/gui/printer.h"
#include "platform/system/files.h"
#include "reports/engine/browse_report_owner.h"
#include "reports/engine/core/page_html.h"
#include "reports/engine/core/paint_walk.h"
#include "reports/engine/core/report_interpreter.h"
#include "reports/engine/core/report_text.h"
#include "reports/engine/dc_canvas.h"
#include "reports/engine/export_offer.h"
#include "reports/engine/printing.h"
#include "reports/engine/report_window.h"
#include "reports/engine/window_environment.h"
#include "resources/command_ids.h"
#include "resources/string_table.h"
#include "runtime/access_rights.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "shell/application.h"
#include "shell/mdi_client.h"
#include "shell/program_printer.h"
#include "shell/toolbar.h"
#include "shell/utility_commands.h"

int PreviewState = 0;
TWVisuWindow* CurrentPreviewWindow = nullptr;

namespace {

constexpr int kPreviewAccelerators = 1104;
constexpr int kAttention = 52;
constexpr int kSearchPrompt = 702;
constexpr int kSearchCaption = 705;
constexpr int kPreviewCaption = 19560;   // "Visualisation"
constexpr int kMorePagesNote = 19569;    // "  (pages suivantes non calculées)"
constexpr int kMsgHtmlPageNotWritten = 19561;  // %s: the page's path
constexpr std::size_t kSearchTextLimit = 50;
constexpr int kRoundedCornersConstant = 73;


bool HeldDown(int vk) { return gui::GetKeyState(vk) < 0; }

gui::Window* MainWindow() { return gui::Window::FromHandle(MainWindowHandle); }

}  // namespace

// ---------------------------------------------------------------------------------------
// Construction and end

TWVisuWindow::TWVisuWindow(gui::MDIClient* client, int mode)
    : gui::MDIChild(client, LoadStr(kPreviewCaption)), mode_(mode == 1 ? 1 : 0) {
  using namespace visu_cmd;
  commandList_ = {Quitter, ImprimerEcran, PageDebut, PagePrecedente, PageSuivante, PageFin, Chercher,
                  ChercherEncore, ToutesLesPages};
  if (mode_ == 1) commandList_.push_back(ListeSuivante);
  for (unsigned id : {PartieAGauche, PartieEnHaut, PartieEnBas, PartieADroite, PageHtml}) commandList_.push_back(id);
  PreviewState = 1;
  context_.store.Clear();
  context_.exportFile = &reports::ExportFile();
}

TWVisuWindow::~TWVisuWindow() {
  EndPreview();
  if (CurrentPreviewWindow == this) CurrentPreviewWindow = nullptr;
}

void TWVisuWindow::SetupWindow() {
  gui::MDIChild::SetupWindow();
  SetAccelerators(kPreviewAccelerators);
  BuildToolbar(commandList_, true);
}

void TWVisuWindow::CleanupWindow() {
  EndPreview();
  gui::MDIChild::CleanupWindow();
}

// The export file is closed (and offered), the print run ends, and the owner is told that its
// preview is over: ListeSuivante when "Autre Liste" closed it, else FinVisualisation.
void TWVisuWindow::EndPreview() {
  if (ended_) return;
  ended_ = true;
  if (reports::ExportFile().GetState() != reports::ReportExportFile::State::kNone)
    FinishExportFile(MainWindow(), context_.exportSettings, context_.documentTitle);
  PreviewState = 0;
  if (CurrentPreviewWindow == this) {
    CurrentPreviewWindow = nullptr;
    PrintRunFlag = false;
  }
  if (CloseWithoutNotice || ownerHandle_ == 0) return;
  if (gui::Window* owner = gui::Window::FromHandle(ownerHandle_)) {
    if (owner->IsWindowVisible()) owner->BringToTop();
    gui::PostCommand(ownerHandle_, NextListRequested ? visu_cmd::ListeSuivante : visu_cmd::FinVisualisation);
  }
}

// ---------------------------------------------------------------------------------------
// A list

void PreviewPageSize(reports::ListSetup& setup, int dpi) {
  gui::MPrinter* printer = ProgramPrinter();
  gui::MPrinter::PageArea portrait, landscape;
  if (printer != nullptr) {
    portrait = printer->PrintableArea(false);
    landscape = printer->PrintableArea(true);
  } else {
    std::swap(landscape.width, landscape.height);
  }
  auto px = [dpi](double mm) { return static_cast<int>(mm * dpi / 25.4); };
  setup.pageWidth = px(portrait.width);
  setup.pageHeight = px(portrait.height);
  setup.landscapeWidth = px(landscape.width);
  setup.landscapeHeight = px(landscape.height);
  setup.leftOffset = 0;
}

bool TWVisuWindow::BeginList(reports::ReportOwner& owner, gui::Window* ownerWindow, const std::string& caption,
                             int format, bool fieldWrites) {
  owner_ = &owner;
  context_.allowFieldUpdates = fieldWrites;
  ownerHandle_ = ownerWindow != nullptr ? ownerWindow->GetHandle() : 0;
  if (!caption.empty()) SetCaption(caption);
  SearchText.clear();
  highlightWords_.clear();
  view_ = reports::PreviewView();
  markerY_ = -1;
  interpreter_.reset();
  env_ = std::make_unique<WindowReportEnvironment>(false, this);
  if (!measureDc_) {
    measureDc_ = std::make_unique<gui::MemoryDC>(8, 8);
    measurer_ = std::make_unique<reports::DcCanvas>(*measureDc_);
  }
  interpreter_ = std::make_unique<reports::ReportInterpreter>(context_, *measurer_, owner, *env_);
  reports::ListSetup setup;
  setup.target = reports::RenderTarget::kPreview;
  setup.programOptions = ProgramOptions;
  setup.programOptions.resize(kProgramOptionsLength, ' ');
  if (format > 0 && format <= 9) setup.programOptions[14] = static_cast<char>('0' + format);
  setup.fontKeySuffix = "Visu";
  PreviewPageSize(setup, measurer_->Dpi());
  setup.documentTitle = MakeDocumentTitle(caption);
  setup.barcodeModule = 1;
  return interpreter_->BeginList(setup);
}

bool TWVisuWindow::BeginList(CMDIBrowse& owner, const std::string& caption, int format) {
  auto adapter = std::make_unique<BrowseReportOwner>(owner);
  reports::ReportOwner& ref = *adapter;
  ownedOwner_ = std::move(adapter);
  return BeginList(ref, &owner, caption, format, owner.AllowFieldUpdates);
}

void TWVisuWindow::RenderList() {
  if (!interpreter_) return;
  ShowStatus(context_.renderedPages, context_.renderedPages);
  const reports::PageOutcome outcome = interpreter_->RenderPage();
  AfterPage(outcome);
}

void TWVisuWindow::RenderOneMore() {
  if (!interpreter_ || !interpreter_->CanRenderMore()) return;
  ShowStatus(context_.renderedPages + 1, context_.renderedPages + 1);
  const reports::PageOutcome outcome = interpreter_->RenderNextPage();
  AfterPage(outcome);
}

// The page just rendered is shown; what it asks for is posted to the window.
void TWVisuWindow::AfterPage(const reports::PageOutcome& outcome) {
  ShowPage(context_.currentPage);
  const gui::Handle self = GetHandle();
  if (outcome.renderAllPages) gui::PostCommand(self, visu_cmd::ToutesLesPages);
  if (outcome.renderNextPage) gui::PostCommand(self, visu_cmd::RenderNextPage);
  if (outcome.endBeep) gui::MessageBeep(0);
  if (outcome.closePreview) gui::PostCommand(self, visu_cmd::Quitter);
}

// ---------------------------------------------------------------------------------------
// Painting

gui::Rect TWVisuWindow::Client() const { return GetClientRect(); }

void TWVisuWindow::ShowStatus(int page, int count) {
  if (MessageBar == nullptr) return;
  // The count is that of the pages made so far: while more may follow, the bar says so, so that page 1 of
  // a longer report never reads as "1/1".
  std::string text = reports::PageStatusText(page, count);
  if (!context_.endOfData) text += LoadStr(kMorePagesNote);
  MessageBar->SetText(text);
}

void TWVisuWindow::PaintPage(int mode, int page, const std::string& searchWords) {
  reports::ApplyPaintMode(view_, mode);
  if (page <= 0) page = context_.currentPage > 0 ? context_.currentPage : 1;
  context_.currentPage = page;
  if (!Trimmed(searchWords).empty()) highlightWords_ = searchWords;
  ShowStatus(page, context_.pageCount);
  view_.extentX = view_.extentY = 0;
  if (const reports::PreviewPage* p = context_.store.Page(page)) {
    const reports::PageExtent extent = reports::MeasurePage(*p);
    view_.extentX = extent.x;
    view_.extentY = extent.y;
  }
  markerY_ = -1;
  if (IsCreated()) Invalidate(true);
}

void TWVisuWindow::DrawClient(gui::DC& dc, int width, int height) {
  dc.FillSolidRect(gui::Box{0, 0, width, height}, gui::colors::White);
  const reports::PreviewPage* page = context_.store.Page(context_.currentPage);
  if (page != nullptr) {
    reports::DcCanvas canvas(dc);
    reports::PaintOptions options;
    options.zoom = view_.zoom;
    options.scrollX = view_.scrollX;
    options.scrollY = view_.scrollY;
    options.highlightWords = highlightWords_;
    options.noTruncate = context_.noTruncate;
    options.lineHeight = context_.lineHeight;
    const std::string corners = TheDossierRecord.Constant(kRoundedCornersConstant);
    options.roundedCorners = !corners.empty() && corners[0] == 'O';
    options.subTotalFont = context_.subTotalFont.font;
    options.subTotalColour = context_.subTotalFont.colour;
    options.barcodeModule = 1;
    const reports::PageExtent extent = reports::PaintPage(*page, canvas, options);
    view_.extentX = extent.x;
    view_.extentY = extent.y;
  }
  if (markerY_ >= 0) {
    const gui::Pen old = dc.SelectPen(gui::Pen::Solid(gui::Rgb(255, 96, 96), 1));
    dc.MoveTo(0, markerY_);
    dc.LineTo(width, markerY_);
    dc.SelectPen(old);
  }
}

void TWVisuWindow::EvPaint() {
  gui::WindowDC dc(*this);
  if (!dc.IsValid()) return;
  const gui::Rect r = Client();
  DrawClient(dc, r.w, r.h);
}

bool TWVisuWindow::SavePicture(const std::string& path) {
  const gui::Rect r = Client();
  if (r.w <= 0 || r.h <= 0) return false;
  gui::MemoryDC picture(r.w, r.h);
  DrawClient(picture, r.w, r.h);
  return picture.SavePng(path);
}

// ---------------------------------------------------------------------------------------
// Commands

const gui::ResponseTable& TWVisuWindow::Table() {
  using namespace visu_cmd;
  using W = TWVisuWindow;
  static const gui::ResponseTable table = gui::ResponseTable(&gui::MDIChild::Table())
                                              .Command(Quitter, &W::CmQuitVisu)
                                              .Command(Imprimer, &W::CmPrint)
                                              .Command(ImprimerEcran, &W::CmPrintCurrentPage)
                                              .Command(PageHtml, &W::CmHtmlPage)
                                              .Command(PageDebut, &W::CmFirstPage)
                                              .Command(PagePrecedente, &W::CmPreviousPage)
                                              .Command(PageSuivante, &W::CmNextPage)
                                              .Command(RenderNextPage, &W::CmRenderNextPage)
                                              .Command(PageFin, &W::CmLastPage)
                                              .Command(ToutesLesPages, &W::CmAllPages)
                                              .Command(PageMoins10, &W::CmPageMinus10)
                                              .Command(PagePlus10, &W::CmPagePlus10)
                                              .Command(Chercher, &W::CmFindWord)
                                              .Command(ChercherEncore, &W::CmFindAgain)
                                              .Command(PartieAGauche, &W::CmScrollLeft)
                                              .Command(PartieADroite, &W::CmScrollRight)
                                              .Command(PartieEnHaut, &W::CmScrollUp)
                                              .Command(PartieEnBas, &W::CmScrollDown)
                                              .Command(Zoom, &W::CmZoom)
                                              .Command(PageNormale, &W::CmNormalPage)
                                              .Command(ListeSuivante, &W::CmNextList)
                                              .Enable(Quitter, &W::CeAlways)
                                              .Enable(Imprimer, &W::CePrint)
                                              .Enable(ImprimerEcran, &W::CePrintCurrentPage)
                                              .Enable(PageHtml, &W::CeHtmlPage)
                                              .Enable(PageDebut, &W::CeFirstPage)
                                              .Enable(PagePrecedente, &W::CePreviousPage)
                                              .Enable(PageSuivante, &W::CeNextPage)
                                              .Enable(PageFin, &W::CeLastPage)
                                              .Enable(ToutesLesPages, &W::CeAllPages)
                                              .Enable(Chercher, &W::CeFindWord)
                                              .Enable(ChercherEncore, &W::CeFindAgain)
                                              .Enable(PartieAGauche, &W::CeScrollLeft)
                                              .Enable(PartieADroite, &W::CeScrollRight)
                                              .Enable(PartieEnHaut, &W::CeScrollUp)
                                              .Enable(PartieEnBas, &W::CeScrollDown)
                                              .Enable(PageMoins10, &W::CeAlways)
                                              .Enable(PagePlus10, &W::CeAlways)
                                              .Enable(Zoom, &W::CeAlways)
                                              .Enable(PageNormale, &W::CeAlways)
                                              .Enable(ListeSuivante, &W::CeNextList);
  return table;
}

bool TWVisuWindow::Ready() const {
  return !PrintPageBusy && !HtmlPageBusy && !(context_.firstPage == 9999 && !context_.endOfData);
}

void TWVisuWindow::CePrint(gui::CommandEnabler& ce) { ce.Enable(Ready() && !PrintDisabled); }
void TWVisuWindow::CePrintCurrentPage(gui::CommandEnabler& ce) { ce.Enable(Ready() && !PrintPageDisabled); }
void TWVisuWindow::CeHtmlPage(gui::CommandEnabler& ce) {
  ce.Enable(Ready() && context_.store.Page(context_.currentPage) != nullptr);
}
void TWVisuWindow::CeFirstPage(gui::CommandEnabler& ce) { ce.Enable(Ready() && context_.currentPage != 1); }
void TWVisuWindow::CePreviousPage(gui::CommandEnabler& ce) { ce.Enable(Ready() && context_.currentPage > 1); }
void TWVisuWindow::CeNextPage(gui::CommandEnabler& ce) {
  const bool canRender = interpreter_ && interpreter_->CanRenderMore();
  ce.Enable(Ready() && (context_.currentPage < context_.renderedPages || canRender));
}
void TWVisuWindow::CeLastPage(gui::CommandEnabler& ce) {
  ce.Enable(Ready() && context_.currentPage != context_.renderedPages);
}
void TWVisuWindow::CeAllPages(gui::CommandEnabler& ce) { ce.Enable(Ready() && !context_.endOfData && interpreter_); }
void TWVisuWindow::CeFindWord(gui::CommandEnabler& ce) { ce.Enable(Ready()); }
void TWVisuWindow::CeFindAgain(gui::CommandEnabler& ce) { ce.Enable(Ready() && !Trimmed(SearchText).empty()); }
void TWVisuWindow::CeScrollLeft(gui::CommandEnabler& ce) { ce.Enable(Ready() && view_.scrollX < 0); }
void TWVisuWindow::CeScrollRight(gui::CommandEnabler& ce) {
  ce.Enable(Ready() && reports::CanScrollRight(view_, Client().w));
}
void TWVisuWindow::CeScrollUp(gui::CommandEnabler& ce) { ce.Enable(Ready() && view_.scrollY < 0); }
void TWVisuWindow::CeScrollDown(gui::CommandEnabler& ce) {
  ce.Enable(Ready() && reports::CanScrollDown(view_, Client().h));
}
void TWVisuWindow::CeNextList(gui::CommandEnabler& ce) { ce.Enable(mode_ == 1 && Ready() && context_.endOfData); }

// ---- leaving

void TWVisuWindow::CmQuitVisu() {
  if (PrintPageBusy) return;
  // The first quit of a run to the last page only stops the run.
  if (context_.firstPage == 9999 && !context_.endOfData) {
    context_.firstPage = 1;
    return;
  }
  if (IsIconic()) Show(gui::SW_RESTORE);
  NextListRequested = false;
  PreviewState = -1;
  gui::PostMessage(GetHandle(), gui::WM_CLOSE);
}

void TWVisuWindow::CmNextList() {
  if (mode_ != 1 || !Ready() || !context_.endOfData) return;
  if (IsIconic()) Show(gui::SW_RESTORE);
  NextListRequested = true;
  PreviewState = -1;
  gui::PostMessage(GetHandle(), gui::WM_CLOSE);
}

// ---- pages

void TWVisuWindow::CmFirstPage() {
  if (Ready() && context_.currentPage != 1) ShowPage(1);
}

void TWVisuWindow::CmPreviousPage() {
  if (Ready() && context_.currentPage > 1) ShowPage(context_.currentPage - 1);
}

void TWVisuWindow::CmNextPage() {
  if (Ready()) CmRenderNextPage();
}

void TWVisuWindow::CmRenderNextPage() {
  if (context_.currentPage < context_.renderedPages) {
    ShowPage(context_.currentPage + 1);
    return;
  }
  if (interpreter_ && interpreter_->CanRenderMore()) {
    RenderOneMore();
    return;
  }
  // A run to the last page that the page range stops before the data end ends there, so that
  // the window's commands are given back.
  if (context_.firstPage == 9999 && !context_.endOfData) {
    context_.firstPage = 1;
    gui::MessageBeep(0);
  }
}

void TWVisuWindow::CmLastPage() {
  if (Ready() && context_.currentPage != context_.renderedPages) ShowPage(context_.renderedPages);
}

void TWVisuWindow::CmAllPages() {
  if (!Ready() || context_.endOfData || !interpreter_) return;
  context_.firstPage = 9999;
  if (interpreter_->CanRenderMore()) RenderOneMore();
  else CmRenderNextPage();
}

void TWVisuWindow::CmPageMinus10() {
  if (!Ready() || context_.currentPage == 1) return;
  ShowPage(context_.currentPage > 10 ? context_.currentPage - 10 : 1);
}

void TWVisuWindow::CmPagePlus10() {
  if (!Ready() || context_.currentPage == context_.renderedPages) return;
  ShowPage(std::min(context_.currentPage + 10, context_.renderedPages));
}

// ---- zoom and scroll

void TWVisuWindow::CmZoom() { PaintPage(2, 0, ""); }
void TWVisuWindow::CmNormalPage() { PaintPage(0, 0, ""); }

void TWVisuWindow::CmScrollLeft() {
  if (Ready() && reports::ScrollLeft(view_, Client().w)) PaintPage(1, 0, "");
}

void TWVisuWindow::CmScrollRight() {
  if (!Ready()) return;
  if (view_.extentX == 0) PaintPage(1, 0, "");
  if (reports::ScrollRight(view_, Client().w)) PaintPage(1, 0, "");
}

void TWVisuWindow::ScrollUp(bool large) {
  if (Ready() && reports::ScrollUp(view_, Client().h, large)) PaintPage(1, 0, "");
}

void TWVisuWindow::ScrollDown(bool large) {
  if (!Ready()) return;
  if (view_.extentY == 0) PaintPage(1, 0, "");
  if (reports::ScrollDown(view_, Client().h, large)) PaintPage(1, 0, "");
}

void TWVisuWindow::CmScrollUp() { ScrollUp(HeldDown(gui::VK_CONTROL) || HeldDown(gui::VK_SHIFT)); }
void TWVisuWindow::CmScrollDown() { ScrollDown(HeldDown(gui::VK_CONTROL) || HeldDown(gui::VK_SHIFT)); }

// ---- search

void TWVisuWindow::CmFindWord() {
  if (!Ready()) return;
  std::string text = SearchText;
  TDFmtSaisie dialog(this, TDFmtSaisie::kOkCancel, kSearchPrompt, &text, true);
  dialog.SetCaption(LoadStr(kSearchCaption));
  if (dialog.Execute(kTaskModal) != gui::IDOK) return;
  text = UpperCp1252(Trimmed(text));
  if (text.size() > kSearchTextLimit) text.resize(kSearchTextLimit);
  if (text.empty()) return;
  SearchText = text;
  FindWord(false);
}

void TWVisuWindow::CmFindAgain() {
  if (!Ready() || Trimmed(SearchText).empty()) return;
  FindWord(true);
}

void TWVisuWindow::FindWord(bool again) {
  const int found = reports::FindWord(context_.store, SearchText, context_.currentPage, again, context_.pageCount,
                                      context_.renderedPages,
                                      [this](int page) { ShowStatus(page, context_.renderedPages); });
  if (found > 0) {
    ShowPage(found);
    return;
  }
  gui::MessageBeep(0);
  gui::MessageBox(this, reports::SearchNotFoundText(SearchText), LoadStr(kSearchCaption), gui::MB_OK);
  ShowStatus(context_.currentPage, context_.renderedPages);
}

// ---- printing and the HTML page

void TWVisuWindow::CmPrint() {
  if (!Ready() || PrintDisabled) return;
  // The owner prints the whole report once the preview is gone (the print run is over then).
  const gui::Handle owner = ownerHandle_;
  PreviewState = -1;
  Destroy();
  if (owner != 0 && gui::IsWindow(owner)) gui::SendCommand(owner, visu_cmd::Imprimer);
}

void TWVisuWindow::CmPrintCurrentPage() {
  if (!Ready() || PrintPageDisabled) return;
  PrintPageBusy = true;
  TImprimeEcran printout(*this);
  PrintOnProgramPrinter(printout, this);
  PrintPageBusy = false;
}

void TWVisuWindow::CmHtmlPage() {
  const reports::PreviewPage* page = context_.store.Page(context_.currentPage);
  if (!Ready() || page == nullptr) return;
  HtmlPageBusy = true;
  const std::string folder = DossierFolder.empty() ? ProgramFolder : DossierFolder;
  // The page's file beside the dossier's, named as the exports are ("c" + "vp" + code).
  const std::string path = folder + LowerCp1252("CVP" + std::string(RTrim(DossierCode.c_str()))) + ".htm";
  if (platform::WriteFileAtomic(path, reports::PageAsHtml(*page, context_.documentTitle))) {
    OpenWithDesktop(path);
  } else {
    gui::MessageBeep(0);
    gui::MessageBox(this, FillPlaceholder(LoadStr(kMsgHtmlPageNotWritten), path), LoadStr(kAttention),
                    gui::MB_OK | gui::MB_ICONEXCLAMATION);
  }
  HtmlPageBusy = false;
}

// ---------------------------------------------------------------------------------------
// Keys and mouse

void TWVisuWindow::EvKeyUp(int vk, unsigned, unsigned) {
  unsigned id = 0;
  // F6 prints through the accelerator table (its key-up would go back a page as well).
  switch (vk) {
    case gui::VK_F2: id = visu_cmd::Chercher; break;
    case gui::VK_F3: id = visu_cmd::ChercherEncore; break;
    case gui::VK_F4: id = visu_cmd::ImprimerEcran; break;
    case gui::VK_F5: id = visu_cmd::PageDebut; break;
    case gui::VK_F7: id = visu_cmd::PageSuivante; break;
    case gui::VK_F8: id = visu_cmd::PageFin; break;
    case gui::VK_F9: id = visu_cmd::Quitter; break;
    case gui::VK_F11: id = visu_cmd::ToutesLesPages; break;
    case gui::VK_F12: id = visu_cmd::PageSuivante; break;
    default: break;
  }
  if (id != 0) gui::PostCommand(GetHandle(), id);
  else DefaultProcessing();
}

void TWVisuWindow::EvLButtonDown(unsigned, gui::Point p) {
  DefaultProcessing();
  if (view_.zoom != 1 || !Ready()) return;
  markerY_ = reports::MarkerLineY(p.y, context_.lineHeight);
  Invalidate(false);
}

void TWVisuWindow::EvLButtonDblClk(unsigned, gui::Point p) {
  DefaultProcessing();
  if (!Ready()) return;
  view_.zoomPointX = p.x;
  view_.zoomPointY = p.y;
  PaintPage(2, 0, "");
}

std::vector<unsigned> TWVisuWindow::PopupMenuIds() const {
  std::vector<unsigned> ids;
  int entry = 0;
  for (std::uint32_t id : commandList_) {
    if (++entry == 3) ids.push_back(0);
    if (id < child_command::FirstToolbarButton) {
      ids.push_back(0);
      continue;
    }
    if (id % 2 == 1) ids.push_back(id);
  }
  ids.push_back(0);
  ids.push_back(visu_cmd::Zoom);
  ids.push_back(visu_cmd::PageNormale);
  return ids;
}

void TWVisuWindow::EvRButtonDown(unsigned, gui::Point p) {
  DefaultProcessing();
  if (!Ready()) return;
  gui::Menu menu;
  for (unsigned id : PopupMenuIds()) {
    if (id == 0) menu.InsertSeparator(-1);
    else menu.InsertItem(-1, id, LoadStr(visu_cmd::PopupText(id)));
  }
  menu.TrackPopupMenu(*this, p);
}

void TWVisuWindow::EvMouseWheel(unsigned modKeys, int delta, gui::Point) {
  const bool large = (modKeys & (gui::MK_SHIFT | gui::MK_CONTROL)) != 0;
  if (delta > 0) ScrollUp(large);
  else ScrollDown(large);
}

void TWVisuWindow::EvSetFocus(gui::Handle lost) {
  BuildToolbar(commandList_, true);
  if (context_.currentPage > 0) ShowStatus(context_.currentPage, context_.pageCount);
  gui::MDIChild::EvSetFocus(lost);
}

// ---------------------------------------------------------------------------------------
// The preview run

namespace {

void OpenPreview(int mode) {
  if (CommandWindow == nullptr) return;
  // A preview still open is replaced without telling its owner.
  if (TWVisuWindow* old = CurrentPreviewWindow) {
    old->CloseWithoutNotice = true;
    old->Destroy();
  }
  auto* window = new TWVisuWindow(CommandWindow, mode);
  const gui::Rect client = CommandWindow->GetClientRect();
  if (client.w > 0 && client.h > 0) window->MoveWindow(gui::Rect{0, 0, client.w, client.h});
  if (!window->Create()) {
    delete window;
    PreviewState = 0;
    gui::MessageBeep(0);
    return;
  }
  CurrentPreviewWindow = window;
  PrintRunFlag = true;
  window->Show(gui::SW_SHOWNORMAL);
}

}  // namespace

// Core: ReportInterpreter.
void CmVisu() { OpenPreview(0); }
// Core: ReportInterpreter.
void CmVisuMode1() { OpenPreview(1); }

bool VisuBeginList(CMDIBrowse& owner, const std::string& caption, int format) {
  return CurrentPreviewWindow != nullptr && CurrentPreviewWindow->BeginList(owner, caption, format);
}

bool VisuBeginList(reports::ReportOwner& owner, gui::Window* ownerWindow, const std::string& caption, int format) {
  return CurrentPreviewWindow != nullptr && CurrentPreviewWindow->BeginList(owner, ownerWindow, caption, format);
}

void VisuRenderList() {
  if (CurrentPreviewWindow != nullptr) CurrentPreviewWindow->RenderList();
}

bool VisuShowList(CMDIBrowse& owner, const std::string& caption, int format) {
  if (!VisuBeginList(owner, caption, format)) return false;
  VisuRenderList();
  return true;
}

bool VisuShowList(reports::ReportOwner& owner, gui::Window* ownerWindow, const std::string& caption, int format) {
  if (!VisuBeginList(owner, ownerWindow, caption, format)) return false;
  VisuRenderList();
  return true;
}

bool LoadTemplateVisu(const std::string& code, reports::LoadedTemplate& out) {
  ProgramTemplateSource templates(false);
  return reports::LoadTemplate(templates, code, out);
}

bool WriteExportLineVisu(const std::string& text) {
  reports::ReportExportFile& file = reports::ExportFile();
  if (!file.IsOpen()) return false;
  const reports::ExportSettings settings =
      CurrentPreviewWindow != nullptr ? CurrentPreviewWindow->Context().exportSettings : reports::ExportSettings();
  file.WriteLine(text, settings);
  return true;
}
