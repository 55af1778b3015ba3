#include "reports/balances/balance_sheet_edition_window.h"

#include "controls/mcontrols.h"
#include "data/dossier_files.h"
#include "data/dossier_lock.h"
#include "data/error_report.h"
#include "data/session.h"
#include "data/table.h"
#include "platform/gui/application.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/messagebox.h"
#include "reports/balances/core/balance_sheet_model.h"
#include "reports/engine/choice_dialogs.h"
#include "reports/engine/printing.h"
#include "reports/engine/visu_window.h"
#include "resources/string_table.h"
#include "runtime/access_rights.h"
#include "runtime/dossier_record.h"
#include "runtime/runtime_hooks.h"
#include "runtime/session_registry.h"
#include "runtime/xbase.h"
#include "shell/mdi_client.h"
#include "shell/placement.h"
#include "shell/registry.h"
#include "shell/toolbar.h"

using namespace balances;

namespace {

constexpr int kCaption = 1701;          // "Edition du Bilan de "
constexpr int kNotInitialised = 1706;
constexpr int kEuroQuestion = 2279;
constexpr int kSheetPreviewTitle = 152;    // "Visualisation: Bilan"
constexpr int kAnnexPreviewTitle = 32807;  // "Visualisation: Annexe Bilan"
constexpr int kOpenContext = 85;
constexpr int kSaveContext = 2010;
constexpr int kOlderModel = 30700;     // the boxes the model gained since C70 was initialised

std::string Caption() { return std::string(LoadStr(kCaption)) + DossierCode; }

bool OpenOrReport(Table& table, const std::string& path, const char* tag) {
  if (table.OpenExclusive(path.c_str(), tag)) return true;
  ReportDbError(table, kOpenContext, path.c_str());
  return false;
}

// Option 15 ("Fmt_Réel_Visu"): the number format of the balance sheet's preview.
int PreviewFormat() {
  const char o = ProgramOption(15);
  return o >= '1' && o <= '9' ? o - '0' : 0;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// The choice dialog

TDEtaBilanEdition::TDEtaBilanEdition(gui::Window* parent, std::string& choice)
    : TDNuv(parent, kResource, true), choice_(choice) {
  choice_.resize(3, ' ');
  title_ = new MRStatic(kOnTemplate, this, kTitle);
  for (int i = 0; i < 5; ++i) radios_[i] = new MRadioButton(kOnTemplate, this, kPreview + i);
  emptyLines_ = new MCheckBox(kOnTemplate, this, kEmptyLines);
  new MButton(kOnTemplate, this, gui::IDOK);
  new MButton(kOnTemplate, this, gui::IDCANCEL);
}

void TDEtaBilanEdition::SetupWindow() {
  TDNuv::SetupWindow();
  // The header of C70 must carry the type of the model that constant 004 names.
  const char wanted = ModelLetter(TheDossierRecord.Constant(4));
  const char type = TableC70->isOpen && TableC70->RecCount() > 0 ? HeaderType(*TableC70) : ' ';
  const char letter = ModelLetterOfType(type);
  if (letter == ' ' || letter != wanted) {
    refused_ = true;
    RuntimeBeep();
    gui::MessageBox(this, LoadStr(kNotInitialised), Caption(), gui::MB_OK | gui::MB_ICONINFORMATION);
    gui::PostMessage(GetHandle(), gui::WM_CLOSE);
    return;
  }
  titleText_ = ModelLabel(letter, true);
  title_->SetText(titleText_);
  title_->DrawFrame();
  const bool printer = choice_[0] == 'I';
  radios_[printer ? 1 : 0]->SetCheck(gui::BST_CHECKED);
  radios_[choice_[1] == 'B' ? 3 : choice_[1] == 'A' ? 4 : 2]->SetCheck(gui::BST_CHECKED);
  emptyLines_->SetValue(choice_[2] == 'A', true);
  if (printer) radios_[1]->SetFocus();
}

void TDEtaBilanEdition::CmOk() {
  okPressed_ = true;
  TDNuv::CmOk();
  okPressed_ = false;
}

bool TDEtaBilanEdition::CanClose() {
  if (!okPressed_) return true;
  choice_[0] = radios_[1]->GetCheck() == gui::BST_CHECKED ? 'I' : 'V';
  choice_[1] = radios_[3]->GetCheck() == gui::BST_CHECKED   ? 'B'
               : radios_[4]->GetCheck() == gui::BST_CHECKED ? 'A'
                                                            : 'T';
  choice_[2] = emptyLines_->IsChecked() ? 'A' : 'S';
  return true;
}

// ---------------------------------------------------------------------------------------
// The report window

void SheetWindowReport::ShowEmpty(const std::string& text) {
  SheetEditionReport::ShowEmpty(text);
  ShowEmptyEtat(window_, text);
}

TWEtaBroBilanEdition::TWEtaBroBilanEdition(gui::MDIClient* parent)
    : TWEtats(parent, "", kSheetEditionWindowSlot, kSheetEditionWindowSlotLength, 0),
      report_(std::make_unique<SheetWindowReport>(this, *TableC70, *TableC10)) {
  AnnexReportCode.assign(18, ' ');
  // Every other command is greyed while the window holds the dossier.
  SetDossierState('1');
}

TWEtaBroBilanEdition::~TWEtaBroBilanEdition() {
  printerChoice_.reset();
  // The dossier given back to the other stations, and examined again before the next command.
  SetDossierState('2');
  CloseAllTables();
  ReleaseDossierExclusive();
}

const gui::ResponseTable& TWEtaBroBilanEdition::Table() {
  using namespace browse_cmd;
  static const gui::ResponseTable table = gui::ResponseTable(&CMDIBrowse::Table())
                                              .Command(Visualiser, &TWEtaBroBilanEdition::CmVisualiser)
                                              .Command(sheet_cmd::ListeSuivante, &TWEtaBroBilanEdition::CmListeSuivante)
                                              .Command(Imprimer, &TWEtaBroBilanEdition::CmImprimer);
  return table;
}

void TWEtaBroBilanEdition::SetupWindow() {
  TWEtats::SetupWindow();
  BuildToolbar(toolbarCommands, true);
  // A table that does not open is reported (which, why) and the window closes.
  if (!OpenOrReport(*TableC10, PathC10(), "C10CODE") || !OpenOrReport(*TableC70, PathC70(), "C70CODE")) {
    PostClose();
    return;
  }
  PostToSelf(browse_cmd::Visualiser);
}

void TWEtaBroBilanEdition::PostToSelf(unsigned command) { gui::PostCommand(GetHandle(), command); }
void TWEtaBroBilanEdition::PostClose() { gui::PostMessage(GetHandle(), gui::WM_CLOSE); }

std::string TWEtaBroBilanEdition::ReportPrefix() const { return EditionChoice[1] == 'A' ? "EEA-" : "EE-"; }

std::string TWEtaBroBilanEdition::AnnexCodeOf(const std::string& reportCode) {
  std::string code = reportCode;
  code.resize(18, ' ');
  return code.substr(0, 2) + "A" + code.substr(2, 7) + code.substr(10);
}

bool TWEtaBroBilanEdition::AskEditionChoice() {
  TDEtaBilanEdition dialog(this, EditionChoice);
  return dialog.Execute(kTaskModal) == gui::IDOK && !dialog.Refused();
}

void TWEtaBroBilanEdition::AskCurrency() {
  if (DossierIsEuroOnly()) {
    CurrencyIndex = 1;
    return;
  }
  CurrencyIndex = 0;
  RuntimeBeep();
  const bool noByDefault = TheDossierRecord.At(DossierRecord::kEuroMainPos) == 'N';
  const int answer = gui::MessageBox(this, LoadStr(kEuroQuestion), Caption(),
                                     gui::MB_YESNO | gui::MB_ICONQUESTION |
                                         (noByDefault ? gui::MB_DEFBUTTON2 : gui::MB_DEFBUTTON1));
  if (answer == gui::IDYES) CurrencyIndex = 1;
}

bool TWEtaBroBilanEdition::Prepare(bool annex, const std::string& reportCode) {
  AnnexFlag = annex;
  SheetEditionReport& r = *report_;
  r.annex = annex;
  r.currency = CurrencyIndex;
  r.withEmptyLines = EditionChoice[2] == 'A';
  r.reportCode = reportCode;
  const bool ok = r.PrepareReport();
  if (r.RefusedSaves() > 0) ReportDbError(*TableC70, kSaveContext, PathC70());
  if (!r.TotalPastItsField().empty()) {
    RuntimeBeep();
    gui::MessageBox(this, r.TotalPastItsField(), Caption(), gui::MB_OK | gui::MB_ICONSTOP);
  }
  if (!r.RefusedRead().empty()) {
    RuntimeBeep();
    gui::MessageBox(this, r.RefusedRead(), Caption(), gui::MB_OK | gui::MB_ICONSTOP);
  }
  if (ok && !annex && !r.PostesOnlyInModel().empty() && !olderModelSaid_) {
    olderModelSaid_ = true;
    gui::MessageBox(this, LoadStr(kOlderModel), Caption(), gui::MB_OK | gui::MB_ICONINFORMATION);
  }
  return ok;
}

void TWEtaBroBilanEdition::Preview(unsigned previewCommand, const std::string& title, int format, bool show) {
  if (MainWindowHandle == 0) return;
  gui::SendCommand(MainWindowHandle, previewCommand);
  TWVisuWindow* preview = CurrentPreviewWindow;
  if (preview == nullptr) return;
  const bool ok = show ? VisuShowList(*report_, this, title, format) : VisuBeginList(*report_, this, title, format);
  if (!ok) {
    gui::PostMessage(preview->GetHandle(), gui::WM_CLOSE);
    return;
  }
  if (!show) VisuRenderList();
}

void TWEtaBroBilanEdition::CmVisualiser() {
  if (Busy()) return;
  if (AskChoice) {
    if (!AskEditionChoice()) {
      PostClose();
      return;
    }
    if (EditionChoice[0] == 'I') {
      AskChoice = false;
      PostToSelf(browse_cmd::Imprimer);
      return;
    }
  }
  AskChoice = true;
  AskCurrency();
  int answer = 0;
  {
    TDVisuChoixEtat dialog(this, ReportPrefix(), false);
    answer = dialog.Execute(kTaskModal);
  }
  if (answer == choice_ids::kToPrint) {
    AskChoice = false;
    PostToSelf(browse_cmd::Imprimer);
    return;
  }
  if (answer != gui::IDOK) {
    PostToSelf(browse_cmd::Imprimer);
    return;
  }
  AnnexReportCode.assign(18, ' ');
  if (EditionChoice[1] == 'T') AnnexReportCode = AnnexCodeOf(ReportCode);
  if (EditionChoice[1] == 'A') {
    if (Prepare(true, ReportCode)) Preview(command_id::Visu, LoadStr(kAnnexPreviewTitle), 0, true);
    else PostClose();
    return;
  }
  if (!Prepare(false, ReportCode)) {
    PostToSelf(browse_cmd::Imprimer);
    return;
  }
  Preview(EditionChoice[1] == 'T' ? command_id::VisuMode1 : command_id::Visu, LoadStr(kSheetPreviewTitle),
          PreviewFormat(), true);
}

void TWEtaBroBilanEdition::CmListeSuivante() {
  if (PrintRunFlag) return;
  if (!Prepare(true, AnnexReportCode)) {
    PostToSelf(browse_cmd::Imprimer);
    return;
  }
  Preview(command_id::Visu, LoadStr(kAnnexPreviewTitle), 0, false);
}

void TWEtaBroBilanEdition::DefaultAction() { PostToSelf(browse_cmd::Imprimer); }

void TWEtaBroBilanEdition::CmImprimer() {
  if (Busy()) return;
  if (AskChoice) {
    if (!AskEditionChoice()) {
      PostClose();
      return;
    }
    if (EditionChoice[0] == 'V') {
      AskChoice = false;
      PostToSelf(browse_cmd::Visualiser);
      return;
    }
  }
  AskChoice = true;
  AskCurrency();
  printerChoice_.reset();
  int answer = 0;
  {
    TDImprChoixEtat dialog(this, ReportPrefix());
    answer = dialog.Execute(kTaskModal);
    if (answer == gui::IDOK) printerChoice_ = dialog.TakePrinterChoice();
  }
  if (answer == choice_ids::kToPreview) {
    AskChoice = false;
    PostToSelf(browse_cmd::Visualiser);
    return;
  }
  if (answer != gui::IDOK) {
    PostToSelf(browse_cmd::Imprimer);
    return;
  }
  const char part = EditionChoice[1];
  if (part == 'T') AnnexReportCode = AnnexCodeOf(ReportCode);
  const std::string title = Caption();
  bool sheetPrinted = false;
  if (part == 'T' || part == 'B') {
    if (Prepare(false, ReportCode)) {
      sheetPrinted = true;
      if (part == 'T') {
        SheetAndAnnexPrintout printout(*report_, AnnexReportCode, title);
        PrintOnProgramPrinter(printout, this);
      } else {
        TImpression printout(*report_, title);
        PrintOnProgramPrinter(printout, this);
      }
    }
  }
  // The annex alone, or after a balance sheet with nothing to print.
  if (part == 'A' || (part == 'T' && !sheetPrinted)) {
    if (Prepare(true, part == 'T' ? AnnexReportCode : ReportCode)) {
      TImpression printout(*report_, title);
      PrintOnProgramPrinter(printout, this);
    }
  }
  printerChoice_.reset();
  PostToSelf(browse_cmd::Imprimer);
}

// ---------------------------------------------------------------------------------------
// The printout of the balance sheet and its annex

SheetAndAnnexPrintout::SheetAndAnnexPrintout(SheetEditionReport& report, const std::string& annexCode,
                                             const std::string& title)
    : gui::Printout(title), report_(report), annexCode_(annexCode),
      current_(std::make_unique<TImpression>(report, title)) {}

SheetAndAnnexPrintout::~SheetAndAnnexPrintout() = default;

bool SheetAndAnnexPrintout::Landscape() const { return current_ && current_->Landscape(); }

bool SheetAndAnnexPrintout::BeginPart() {
  if (!current_->BeginPrinting(*dc_)) return false;
  current_->GetPageRange(localFirst_, localLast_);
  if (localFirst_ < 1) localFirst_ = 1;
  return true;
}

bool SheetAndAnnexPrintout::BeginPrinting(gui::PageDC& dc) {
  dc_ = &dc;
  return BeginPart();
}

void SheetAndAnnexPrintout::GetPageRange(int& from, int& to) {
  from = 1;
  to = 999999;
}

bool SheetAndAnnexPrintout::HasPage(int page) {
  while (current_) {
    const int local = localFirst_ + page - offset_ - 1;
    if (local <= localLast_ && current_->HasPage(local)) return true;
    current_->EndPrinting();
    current_.reset();
    if (onAnnex_) return false;
    // The balance sheet is printed: the annex begins on the next page.
    onAnnex_ = true;
    offset_ = page - 1;
    report_.annex = true;
    report_.reportCode = annexCode_;
    if (!report_.PrepareReport()) return false;
    current_ = std::make_unique<TImpression>(report_, Title());
    if (!BeginPart()) {
      current_->EndPrinting();
      current_.reset();
      return false;
    }
  }
  return false;
}

void SheetAndAnnexPrintout::PrintPage(int page, gui::PageDC& dc) {
  if (current_) current_->PrintPage(localFirst_ + page - offset_ - 1, dc);
}

void SheetAndAnnexPrintout::EndPrinting() {
  if (current_) current_->EndPrinting();
}

// ---------------------------------------------------------------------------------------
// The command

// Core: SheetEditionReport.
void CmEtaBilanEdition() {
  if (CommandWindow == nullptr) return;
  if (ActivateExistingChild(kSheetEditionWindowSlot)) return;
  if (!CommandWindow->CloseChildren()) return;
  CloseAllTables();
  if (!OpenDossierExclusive(true)) return;
  auto* window = new TWEtaBroBilanEdition(CommandWindow);
  SetChildIcon(*window, TWEtaBroBilanEdition::kIcon);
  PlaceChildWindow(*window, 0, 0);
  if (window->Create()) window->Show(gui::SW_SHOWNORMAL);
  else if (window->IsCreated()) window->Destroy();
  else delete window;
}
