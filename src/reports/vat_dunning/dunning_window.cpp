#include "reports/vat_dunning/dunning_window.h"

#include "data/dossier_files.h"
#include "framework/browse_services.h"
#include "platform/gui/application.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/messagebox.h"
#include "platform/system/files.h"
#include "reports/engine/choice_dialogs.h"
#include "reports/engine/core/report_export.h"
#include "reports/engine/printing.h"
#include "reports/engine/visu_window.h"
#include "reports/vat_dunning/dunning_form.h"
#include "resources/string_table.h"
#include "runtime/session_registry.h"
#include "runtime/access_rights.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "shell/mdi_client.h"
#include "shell/placement.h"
#include "shell/registry.h"
#include "shell/toolbar.h"

namespace {

constexpr int kSlotLength = 11 + static_cast<int>(dunning::kOptionsLength);
constexpr const char* kPrefix = "EL-";
// The window's title and its preview's, the preview of one account's letter (%s: the account).
constexpr int kTitle = 27001;                // "Lettres de Relances et Relevés"
constexpr int kPreviewTitle = 27003;         // "Visualisation: Lettres de Relances et Relevés"
constexpr int kPreviewAccountTitle = 32817;  // "Visualisation: Relance: %s"
// The transfer file that will be wrong: RIB, or IBAN or BIC, incomplete (%s: the accounts).
constexpr int kMsgRibIncomplete = 27009;
constexpr int kMsgIbanBicIncomplete = 27010;
constexpr int kCaptionAttention = 52;

std::string Title() { return LoadStr(kTitle); }

}  // namespace

DunningReportOwner::DunningReportOwner(TWEtaBroRelances& window) : BrowseReportOwner(window), window_(window) {}

void DunningReportOwner::SetListMode(char letter) {
  BrowseReportOwner::SetListMode(letter);
  window_.Run().ListMode = letter;
}

TWEtaBroRelances::TWEtaBroRelances(gui::MDIClient* parent, const std::string& title)
    : TWEtats(parent, title, kDunningWindowSlot, kSlotLength, kDunningFormSlot),
      run_(ReportFields(), LineTypeText),
      owner_(std::make_unique<DunningReportOwner>(*this)) {
  reportPrefix = kPrefix;
  ReportFields().SetFieldCount(dunning::DunningRun::kFieldCount);
  // The end-of-data flag of the printout or preview running the list: cleared, the list goes on.
  run_.ClearEndOfData = [this] {
    if (printout_ != nullptr) printout_->Context().endOfData = false;
    else if (CurrentPreviewWindow != nullptr) CurrentPreviewWindow->Context().endOfData = false;
  };
  run_.TransferTarget = [] { return reports::ExportFile().IsOpen() ? reports::ExportFile().Path() : std::string(); };
  run_.AbandonExport = [] { reports::ExportFile().Abandon(); };
}

TWEtaBroRelances::~TWEtaBroRelances() { run_.Abandon(); }

const gui::ResponseTable& TWEtaBroRelances::Table() {
  using namespace dunning_cmd;
  static const gui::ResponseTable table = gui::ResponseTable(&TWEtats::Table())
                                              .Command(Modifier, &TWEtaBroRelances::CmModifier)
                                              .Command(Visualiser, &TWEtaBroRelances::CmVisualiser)
                                              .Command(FinVisualisation, &TWEtaBroRelances::CmRaisePartner)
                                              .Command(ListeSuivante, &TWEtaBroRelances::CmListeSuivante)
                                              .Command(Imprimer, &TWEtaBroRelances::CmImprimer);
  return table;
}

void TWEtaBroRelances::SetupWindow() {
  TWEtats::SetupWindow();
  BuildToolbar(toolbarCommands, true);
  // The dossier's tables must open for the run: a window that cannot read them closes. (The
  // paths share one buffer: each is copied before the next is made.)
  const std::string paths[] = {PathC10(), PathC20(), PathC30(), PathC40(), PathC50(), PathC60()};
  for (const std::string& path : paths) {
    ::Table probe;
    if (!probe.OpenShared(path, "", true)) {
      gui::PostMessage(GetHandle(), gui::WM_CLOSE);
      return;
    }
  }
  gui::PostCommand(GetHandle(), dunning_cmd::Modifier);
}

void TWEtaBroRelances::CmModifier() { OpenPartnerForm("", kDunningFormSlot, command_id::EtatsRelances); }

void TWEtaBroRelances::RaiseForm() {
  if (RegistryChar(kDunningFormSlot) == '1') ActivateExistingChild(kDunningFormSlot);
}

void TWEtaBroRelances::TakeOptions() {
  run_.OptionsString = RegistryText(kDunningWindowSlot + 11, static_cast<int>(dunning::kOptionsLength));
  run_.AmountsInEuros = dunning::OptionAt(run_.OptionsString, 53) == 'O' ? 1 : 0;
}

bool TWEtaBroRelances::PrepareReport() {
  run_.ListType = ChosenLayoutText;
  return run_.PrepareReport();
}

bool TWEtaBroRelances::NextRecord() {
  const bool more = run_.NextRecord();
  ListLineCount = run_.ComputedCount;
  return more;
}

void TWEtaBroRelances::CmVisualiser() {
  if (PrintRunFlag) return;
  TakeOptions();
  const auto& choose = BrowseHooks().chooseLayout;
  const int answer = choose ? choose(*this, kPrefix, false) : 0;
  if (answer == kSwitchToPrint) {
    gui::PostCommand(GetHandle(), dunning_cmd::Imprimer);
    return;
  }
  if (answer != gui::IDOK) {
    RaiseForm();
    return;
  }
  run_.LineIndex = 0;
  layoutKind_ = ReportCode.size() >= 4 ? ReportCode[3] : ' ';
  if (layoutKind_ != '1' && layoutKind_ != '2') {
    gui::MessageBeep(0);
    RaiseForm();
    return;
  }
  run_.ListMode = run_.LayoutKind = layoutKind_;
  savedReportCode_ = ReportCode;
  if (!PrepareReport()) {
    RaiseForm();
    return;
  }
  if (layoutKind_ == '2') run_.ComputedCount = -1;
  gui::SendCommand(MainWindowHandle, layoutKind_ == '1' ? command_id::Visu : command_id::VisuMode1);
  if (CurrentPreviewWindow == nullptr) return;
  // A transfer run that gave its file up has said why: no page is left saying the file is written.
  if (!VisuShowList(*owner_, this, LoadStr(kPreviewTitle)) || run_.GaveUpTransferFile())
    gui::PostMessage(CurrentPreviewWindow->GetHandle(), gui::WM_CLOSE);
}

void TWEtaBroRelances::CmListeSuivante() {
  if (run_.EndOfList || !run_.NextList()) return;
  run_.LineIndex = 0;
  run_.ComputedCount = -1;
  ReportCode = savedReportCode_;
  gui::SendCommand(MainWindowHandle, command_id::VisuMode1);
  if (CurrentPreviewWindow == nullptr) return;
  const std::string account = RTrim(ReportFields().Value(dunning::DunningRun::COMPTE).c_str());
  if (!VisuBeginList(*owner_, this, FillPlaceholder(LoadStr(kPreviewAccountTitle), account))) {
    gui::PostMessage(CurrentPreviewWindow->GetHandle(), gui::WM_CLOSE);
    return;
  }
  VisuRenderList();
}

// The letters of a per-account layout in one print job: the list of each account after the
// other, each from a new page, the next account's list begun once the last one has no page left.
class DunningLettersPrintout : public gui::Printout {
 public:
  DunningLettersPrintout(TWEtaBroRelances& window, const std::string& title)
      : gui::Printout(title), window_(window), title_(title) {}

  bool Landscape() const override { return list_ != nullptr && list_->Landscape(); }
  bool BeginPrinting(gui::PageDC& dc) override {
    dc_ = &dc;
    return BeginList();
  }
  void GetPageRange(int& from, int& to) override {
    from = 1;
    to = kMostPages;
  }
  bool HasPage(int page) override {
    if (list_ == nullptr) return false;
    if (page - offset_ <= last_ && list_->HasPage(page - offset_)) return true;
    // This account's list is over: the next account's begins on this page.
    EndList();
    if (!window_.Run().NextList() || dc_ == nullptr) return false;
    offset_ = page - 1;
    return BeginList() && page - offset_ <= last_ && list_->HasPage(page - offset_);
  }
  void PrintPage(int page, gui::PageDC& dc) override {
    if (list_ != nullptr) list_->PrintPage(page - offset_, dc);
  }
  void EndPrinting() override { EndList(); }

 private:
  static constexpr int kMostPages = 1000000;
  bool BeginList() {
    window_.Run().LineIndex = 0;
    window_.Run().ComputedCount = -1;
    window_.ReportCode = window_.SavedReportCode();
    list_ = std::make_unique<TImpression>(window_.Owner(), title_);
    window_.SetPrintout(list_.get());
    if (!list_->BeginPrinting(*dc_)) return false;
    int from = 1;
    list_->GetPageRange(from, last_);
    return true;
  }
  void EndList() {
    if (list_ == nullptr) return;
    list_->EndPrinting();
    window_.SetPrintout(nullptr);
    list_.reset();
  }

  TWEtaBroRelances& window_;
  std::string title_;
  gui::PageDC* dc_ = nullptr;
  std::unique_ptr<TImpression> list_;
  int offset_ = 0;
  int last_ = 0;
};

void TWEtaBroRelances::PrintRun() {
  if (layoutKind_ == '1') {
    TImpression printout(*owner_, Title());
    printout_ = &printout;
    PrintOnProgramPrinter(printout, this);
    printout_ = nullptr;
    return;
  }
  DunningLettersPrintout letters(*this, Title());
  PrintOnProgramPrinter(letters, this);
  printout_ = nullptr;
}

void TWEtaBroRelances::CmImprimer() {
  if (PrintRunFlag) return;
  TakeOptions();
  const auto& choose = BrowseHooks().chooseLayout;
  const int answer = choose ? choose(*this, kPrefix, true) : 0;
  if (answer == kSwitchToPreview) {
    gui::PostCommand(GetHandle(), dunning_cmd::Visualiser);
    return;
  }
  if (answer == gui::IDOK) {
    layoutKind_ = ReportCode.size() >= 4 ? ReportCode[3] : ' ';
    if (layoutKind_ != '1' && layoutKind_ != '2') {
      gui::MessageBeep(0);
    } else {
      run_.ListMode = run_.LayoutKind = layoutKind_;
      savedReportCode_ = ReportCode;
      if (PrepareReport()) PrintRun();
      RemoveIncompleteExport();
      run_.Abandon();
      ShowIncompleteDetails();
    }
  }
  RaiseForm();
}

void TWEtaBroRelances::ShowIncompleteDetails() {
  const char kind = run_.Kind();
  // What the transfer file will lack is said only of a file the run wrote: one it refused (an
  // amount that does not read, a bank detail it cannot hold) has said why in its own box.
  const bool written = !run_.RefusedUnreadable() && (kind != 'S' || !run_.TransferFile().empty());
  if (written && kind == 'V' && !IsBlank(run_.IncompleteRibAccounts.c_str())) {
    gui::MessageBeep(0);
    gui::MessageBox(this, FillPlaceholder(LoadStr(kMsgRibIncomplete), run_.IncompleteRibAccounts),
                    LoadStr(kCaptionAttention), gui::MB_OK | gui::MB_ICONSTOP);
  }
  if (written && kind == 'S' && !IsBlank(run_.IncompleteIbanAccounts.c_str())) {
    gui::MessageBeep(0);
    gui::MessageBox(this, FillPlaceholder(LoadStr(kMsgIbanBicIncomplete), run_.IncompleteIbanAccounts),
                    LoadStr(kCaptionAttention), gui::MB_OK | gui::MB_ICONSTOP);
  }
  // The lines left out as zero for an amount that does not read, named (a transfer run that wrote
  // no file for them has named them).
  const std::string unreadable = run_.RefusedUnreadable() || !run_.EndSaysUnreadable()
                                     ? std::string()
                                     : UnreadableAmountsMessage(run_.Unreadable());
  if (!unreadable.empty())
    gui::MessageBox(this, unreadable, UnreadableAmountsCaption(), gui::MB_OK | gui::MB_ICONEXCLAMATION);
  // A transfer run ends by saying what it wrote and whom it left out.
  const std::string end = run_.TransferRun() ? run_.EndMessage() : std::string();
  if (!end.empty()) gui::MessageBox(this, end + "\n\n\n", Title(), gui::MB_OK | gui::MB_ICONINFORMATION);
}

void TWEtaBroRelances::RemoveIncompleteExport() {
  // The engine has said which export file it could not finish: what was written of it goes.
  const std::string path = reports::ExportFile().TakeIncompletePath();
  if (!path.empty()) platform::RemoveFile(path);
}

void TWEtaBroRelances::DefaultAction() {
  RemoveIncompleteExport();
  // A preview closed before its last account writes no transfer file.
  run_.Abandon();
  ShowIncompleteDetails();
  RaiseForm();
}

void TWEtaBroRelances::CmRaisePartner() { DefaultAction(); }

// Core: DunningRun.
void CmEtatsRelances() {
  if (ActivateExistingChild(kDunningFormSlot)) return;
  if (CommandWindow == nullptr) return;
  // The window asks for its form by marking its slot "2" and posting the command again. The
  // window's activation, which may arrive between the two, marks its slot "1" again: a live
  // window without its form gets its form all the same.
  const gui::Handle held = SlotHandle(kDunningWindowSlot);
  const bool windowAlive = RegistryChar(kDunningWindowSlot) != ' ' && held != 0 &&
                           dynamic_cast<TWEtaBroRelances*>(gui::Window::FromHandle(held)) != nullptr;
  if (RegistryChar(kDunningWindowSlot) == '2' || windowAlive) {
    auto* form = new TWEtaModRelances(CommandWindow, Title());
    SetChildIcon(*form, kDunningIcon);
    PlaceChildWindow(*form, 0, 0);
    if (form->Create()) form->Show(gui::SW_SHOWNORMAL);
    else delete form;
    SetRegistryText(kDunningWindowSlot, 1, "1");
    return;
  }
  // A second command while the window is open brings it forward rather than making another on
  // the same slot, which the form could not drive.
  if (ActivateExistingChild(kDunningWindowSlot)) return;
  auto* window = new TWEtaBroRelances(CommandWindow, Title());
  SetChildIcon(*window, kDunningIcon);
  PlaceChildWindow(*window, 0, 0);
  if (!window->Create()) {
    if (window->IsCreated()) window->Destroy();
    else delete window;
    return;
  }
  window->Show(gui::SW_SHOWNORMAL);
}
