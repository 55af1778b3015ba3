#include "reports/engine/report_window.h"

#include "data/dossier_files.h"
#include "data/entry_lines.h"
#include "framework/edit_form.h"
#include "platform/gui/application.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/messagebox.h"
#include "reports/engine/choice_dialogs.h"
#include "reports/engine/printing.h"
#include "reports/engine/visu_window.h"
#include "reports/engine/core/report_text.h"
#include "resources/string_table.h"
#include "runtime/access_rights.h"
#include "runtime/session_registry.h"
#include "runtime/text.h"
#include "shell/mdi_client.h"
#include "shell/registry.h"

namespace {
constexpr std::size_t kWorkTextWidth = 200;
constexpr int kMsgNothingInReport = 32216;  // "Il n'y a rien dans cet Etat", then the report's own words (%s)
}  // namespace

TWEtats::TWEtats(gui::MDIClient* parent, const std::string& title, int ownSlot, int slotLength, int partnerSlot)
    : CMDIBrowse(parent, title, nullptr, ownSlot, slotLength, partnerSlot),
      WorkText(kWorkTextWidth, ' '),
      title_(title) {}

TWEtats::~TWEtats() = default;

int TWEtats::RunChoiceDialog(bool print, const std::string& prefix) {
  printerChoice_.reset();
  TDVisuChoixEtat dialog(this, prefix, print);
  const int answer = dialog.Execute(kTaskModal);
  if (answer == gui::IDOK && print) printerChoice_ = dialog.TakePrinterChoice();
  return answer;
}

bool TWEtats::ShowReportInPreview(reports::ReportOwner& report, bool severalLists, const std::string& title,
                                  bool printDisabled) {
  if (MainWindowHandle == 0) return false;
  gui::SendCommand(MainWindowHandle, severalLists ? command_id::VisuMode1 : command_id::Visu);
  TWVisuWindow* preview = CurrentPreviewWindow;
  if (preview == nullptr) return false;
  if (printDisabled) preview->PrintDisabled = true;
  else preview->PrintPageDisabled = true;
  if (!VisuBeginList(report, this, title)) {
    // Nothing to show: the empty preview goes (and its end brings the form back).
    gui::PostMessage(preview->GetHandle(), gui::WM_CLOSE);
    return false;
  }
  VisuRenderList();
  return true;
}

void TWEtats::PrintReport(gui::Printout& printout) {
  PrintOnProgramPrinter(printout, this);
  printerChoice_.reset();
}

void TWEtats::PostToSelf(unsigned command) { gui::PostCommand(GetHandle(), command); }
void TWEtats::PostClose() { gui::PostMessage(GetHandle(), gui::WM_CLOSE); }

void ShowUnreadableAmountsEtat(gui::Window* window, const std::string& text) {
  gui::MessageBeep(0);
  gui::MessageBox(window, text, UnreadableAmountsCaption(), gui::MB_OK | gui::MB_ICONEXCLAMATION);
}

bool ShowEmptyEtat(gui::Window* window, const std::string& text) {
  gui::MessageBeep(0);
  const std::string caption = window != nullptr ? window->GetCaption() : std::string();
  gui::MessageBox(window, FillPlaceholder(LoadStr(kMsgNothingInReport), text), caption,
                  gui::MB_OK | gui::MB_ICONINFORMATION);
  return false;
}

std::string MakeDocumentTitle(const std::string& name) { return reports::MakeDocumentTitle(DossierCode, name); }

int ShowMessageBoxEx(gui::Window* owner, const std::string& text, const std::string& caption, unsigned flags) {
  return gui::MessageBox(owner, text, caption, flags);
}

void RaisePartnerForm(CMDIBrowse& window) {
  if (window.partnerSlot <= 0) return;
  gui::Window* form = gui::Window::FromHandle(SlotHandle(window.partnerSlot));
  // An MDI child comes to the top as the active child.
  if (auto* child = dynamic_cast<gui::MDIChild*>(form)) child->Activate();
  else if (form != nullptr) form->BringToTop();
}

void CmCloseIfIdle(CMDIModif& form) {
  if (PrintRunFlag || form.IsIconic()) return;
  form.NoCheckFlag = true;
  gui::PostMessage(form.GetHandle(), gui::WM_CLOSE);
}

void CeEnableIfIdle(CMDIModif& form, gui::CommandEnabler& ce) { ce.Enable(!PrintRunFlag && !form.IsIconic()); }

// ---------------------------------------------------------------------------------------
// Several lists in one printout

ListSequencePrintout::ListSequencePrintout(reports::ReportOwner& report, const std::string& title,
                                           std::function<bool()> nextList)
    : gui::Printout(title),
      report_(report),
      nextList_(std::move(nextList)),
      current_(std::make_unique<TImpression>(report, title)) {}

ListSequencePrintout::~ListSequencePrintout() = default;

bool ListSequencePrintout::Landscape() const { return current_ && current_->Landscape(); }

bool ListSequencePrintout::BeginList() {
  if (!current_->BeginPrinting(*dc_)) return false;
  ++lists_;
  current_->GetPageRange(localFirst_, localLast_);
  if (localFirst_ < 1) localFirst_ = 1;
  return true;
}

bool ListSequencePrintout::BeginPrinting(gui::PageDC& dc) {
  dc_ = &dc;
  return BeginList();
}

void ListSequencePrintout::GetPageRange(int& from, int& to) {
  from = 1;
  to = 999999;
}

bool ListSequencePrintout::HasPage(int page) {
  while (current_) {
    const int local = localFirst_ + page - offset_ - 1;
    if (local <= localLast_ && current_->HasPage(local)) return true;
    // This list is printed: the next one begins on the next page.
    current_->EndPrinting();
    current_.reset();
    offset_ = page - 1;
    if (!nextList_ || !nextList_()) return false;
    current_ = std::make_unique<TImpression>(report_, Title());
    if (!BeginList()) {
      current_->EndPrinting();
      current_.reset();
      return false;
    }
  }
  return false;
}

void ListSequencePrintout::PrintPage(int page, gui::PageDC& dc) {
  if (current_) current_->PrintPage(localFirst_ + page - offset_ - 1, dc);
}

void ListSequencePrintout::EndPrinting() {
  if (current_) current_->EndPrinting();
}
