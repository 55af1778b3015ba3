#include "reports/vat_dunning/vat_windows.h"

#include <algorithm>

#include "data/dossier_files.h"
#include "data/entry_lines.h"
#include "data/session.h"
#include "framework/browse_services.h"
#include "platform/gui/application.h"
#include "platform/gui/combobox.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/controls.h"
#include "platform/gui/cursor.h"
#include "platform/gui/messagebox.h"
#include "reports/engine/choice_dialogs.h"
#include "reports/engine/printing.h"
#include "reports/engine/visu_window.h"
#include "resources/string_table.h"
#include "runtime/access_rights.h"
#include "runtime/dossier_record.h"
#include "runtime/numbers.h"
#include "runtime/session_registry.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "shell/mdi_client.h"
#include "shell/placement.h"
#include "shell/registry.h"
#include "shell/toolbar.h"

namespace {

using namespace vat_ids;

// The period dialogs' captions (%s: the preview's or the printout's word).
constexpr int kDebitsCaption = 27100;
constexpr int kReceiptsCaption = 27101;
constexpr int kPreviewWord = 19560;
constexpr int kPrintWord = 27103;
constexpr int kTitle = 27104;
constexpr int kNoTreasuryJournal = 27105;
constexpr int kPreviewCaption = 27106;  // "Visualisation: Déclaration de TVA"
constexpr int kMsgUnreadable = 27107;   // a table the return reads that cannot be opened (%s: its path)

void SelectMonth(gui::ComboBox* box, const std::string& month) {
  if (box == nullptr || month.empty()) return;
  const int i = box->FindString(month);
  if (i >= 0) box->SetSelIndex(i);
}

}  // namespace

// ---- the period dialogs ---------------------------------------------------------------------------------------------

VatPeriodDialog::VatPeriodDialog(gui::Window* parent, int resourceId, const std::string& previousStart,
                                 const std::string& previousEnd)
    : TDNuv(parent, resourceId, false), previousStart_(previousStart), previousEnd_(previousEnd) {}

const gui::ResponseTable& VatPeriodDialog::Table() {
  static const gui::ResponseTable table =
      gui::ResponseTable(&TDNuv::Table()).Command(kCalculer, &VatPeriodDialog::CmCalculer);
  return table;
}

void VatPeriodDialog::SetupWindow() {
  TDNuv::SetupWindow();
  for (int id : {kStartMonth, kEndMonth}) {
    if (auto* box = Item<gui::ComboBox>(id)) {
      box->SetTextLimit(5);
      for (const std::string& m : vat::FinancialYearMonths()) box->AddString(m);
    }
  }
  // In euros unless the franc is the main currency ("N": a blank flag counts as the euro); a
  // dossier in euros only hides the box.
  SetCheck(kEuros, TheDossierRecord.At(DossierRecord::kEuroMainPos) != 'N' ? gui::BST_CHECKED : gui::BST_UNCHECKED);
  if (TheDossierRecord.EuroIsMain() && TheDossierRecord.Constant(kEuroOnlyConstant)[0] == 'O') ShowItem(kEuros, false);
  // The period of the window's last return, else the working date's month.
  const bool previous = !IsBlank(previousStart_);
  SelectMonth(Item<gui::ComboBox>(kStartMonth), previous ? previousStart_ : vat::WorkingMonth());
  SelectMonth(Item<gui::ComboBox>(kEndMonth), previous ? previousEnd_ : vat::WorkingMonth());
  for (int id : resultIds_) ShowItem(id, false);
}

std::string VatPeriodDialog::StartMonth() const { return GetItemText(kStartMonth); }
std::string VatPeriodDialog::EndMonth() const { return GetItemText(kEndMonth); }
bool VatPeriodDialog::Euros() const { return GetCheck(kEuros) == gui::BST_CHECKED; }

void VatPeriodDialog::Couple(bool startChanged) {
  std::string start = StartMonth(), end = EndMonth();
  vat::CoupleMonths(start, end, startChanged);
  if (startChanged) SelectMonth(Item<gui::ComboBox>(kEndMonth), end);
  else SelectMonth(Item<gui::ComboBox>(kStartMonth), start);
}

void VatPeriodDialog::EvChildNotify(int id, unsigned code, gui::Handle control) {
  if ((id == kStartMonth || id == kEndMonth) && code == gui::CBN_SELCHANGE) {
    Couple(id == kStartMonth);
    return;
  }
  TDNuv::EvChildNotify(id, code, control);
}

bool VatPeriodDialog::RefusePeriod() {
  SetItemText(kPeriod, "???");
  FocusItem(kEndMonth);
  gui::MessageBeep(0);
  return false;
}

bool VatPeriodDialog::RefuseUnread(const std::string& text) {
  SetItemText(kPeriod, "???");
  gui::MessageBox(this, text, LoadStr(kTitle), gui::MB_OK | gui::MB_ICONSTOP);
  return false;
}

void VatPeriodDialog::ShowAmount(int id, long long cents) {
  // Grouped whole: the display never shows stars or a zero for a large figure.
  SetItemText(id, GroupedAmount(cents) + " ");
}

void VatPeriodDialog::ShowResult(int labelId, int valueId, long long cents) {
  ShowItem(labelId, cents != 0);
  ShowItem(valueId, cents != 0);
  if (cents != 0) ShowAmount(valueId, cents);
  else SetItemText(valueId, "");
}

void VatPeriodDialog::ShowUnreadable(const std::vector<UnreadableAmountLine>& lines) {
  const std::string text = UnreadableAmountsMessage(lines);
  if (text.empty() || text == unreadableShown_) return;
  unreadableShown_ = text;
  gui::MessageBox(this, text, UnreadableAmountsCaption(), gui::MB_OK | gui::MB_ICONEXCLAMATION);
}

bool VatPeriodDialog::Compute() {
  gui::SetNamedCursor("C02");
  SetItemText(kPeriod, "");
  succeeded_ = ComputeReturn();
  gui::SetArrowCursor();
  if (GetDlgItem(kStartMonth) != nullptr && GetDlgItem(kStartMonth)->IsWindowEnabled()) FocusItem(kStartMonth);
  return succeeded_;
}

void VatPeriodDialog::CmCalculer() {
  if (!Compute()) gui::MessageBeep(0);
}

bool VatPeriodDialog::CanClose() {
  if (Compute()) return true;
  gui::MessageBeep(0);
  return false;
}

TDTvaSurLesDebits::TDTvaSurLesDebits(gui::Window* parent, vat::DebitsComputation& computation,
                                     vat::DebitsReturn& result)
    : VatPeriodDialog(parent, kDebitsDialog, result.startMonth, result.endMonth),
      computation_(computation),
      result_(result) {
  const int ids[4] = {1212, 1213, 1214, 1215};
  std::copy(ids, ids + 4, resultIds_);
}

bool TDTvaSurLesDebits::ComputeReturn() {
  const std::string start = StartMonth(), end = EndMonth();
  vat::DebitsReturn r;
  computation_.LoadCollectiveAccounts();
  const auto outcome = computation_.ComputeReturn(start, end, Euros(), r);
  if (outcome == vat::DebitsComputation::Outcome::BadPeriod) return RefusePeriod();
  if (outcome == vat::DebitsComputation::Outcome::Unread) return RefuseUnread(computation_.RefusedText());
  SetItemText(kPeriod, vat::PeriodText(start, end));
  result_ = r;
  ShowAmount(1216, r.nonTaxable);
  ShowAmount(1206, r.intraCommunity);
  ShowAmount(1207, r.collected);
  ShowAmount(1208, r.fixedAssets);
  ShowAmount(1209, r.otherGoods);
  ShowAmount(1210, r.previousCredit);
  ShowAmount(1211, r.otherAccounts);
  ShowResult(1212, 1213, r.ToPay());
  ShowResult(1214, 1215, r.Credit());
  ShowUnreadable(computation_.Unreadable());
  // A nil net to the cent is no return to print.
  return outcome == vat::DebitsComputation::Outcome::Computed;
}

TDTvaSurLesEncaissements::TDTvaSurLesEncaissements(gui::Window* parent, vat::ReceiptsComputation& computation,
                                                   vat::ReceiptsReturn& result)
    : VatPeriodDialog(parent, kReceiptsDialog, result.startMonth, result.endMonth),
      computation_(computation),
      result_(result) {
  const int ids[4] = {1210, 1211, 1212, 1213};
  std::copy(ids, ids + 4, resultIds_);
}

bool TDTvaSurLesEncaissements::ComputeReturn() {
  const std::string start = StartMonth(), end = EndMonth();
  vat::ReceiptsReturn r;
  computation_.SetCollectiveLetters(vat::CollectiveLettersText());
  const auto outcome = computation_.ComputeReturn(start, end, Euros(), r);
  if (outcome == vat::ReceiptsComputation::Outcome::BadPeriod) return RefusePeriod();
  if (outcome == vat::ReceiptsComputation::Outcome::Unread) return RefuseUnread(computation_.RefusedText());
  if (outcome == vat::ReceiptsComputation::Outcome::NoTreasuryJournal) {
    SetItemText(kPeriod, LoadStr(kNoTreasuryJournal));
    gui::MessageBeep(0);
    return false;
  }
  SetItemText(kPeriod, vat::PeriodText(start, end));
  result_ = r;
  ShowAmount(1206, r.receiptsVat);
  ShowAmount(1207, r.fixedAssets);
  ShowAmount(1208, r.otherGoods);
  ShowAmount(1209, r.previousCredit);
  ShowResult(1210, 1211, r.ToPay());
  ShowResult(1212, 1213, r.Credit());
  ShowUnreadable(computation_.Unreadable());
  return true;
}

// ---- the windows ----------------------------------------------------------------------------------------------------

VatReturnWindow::VatReturnWindow(gui::MDIClient* parent, const char* prefix, const char* c60Tag)
    : TWEtats(parent, "", kVatWindowSlot, kVatWindowSlotLength, 0), c60Tag_(c60Tag) {
  reportPrefix = prefix;
  // A dossier-wide window: every other dossier command is grey while it lives.
  SetDossierState('1');
}

VatReturnWindow::~VatReturnWindow() {
  for (::Table* t : {&c10_, &c20_, &c40_, &c50_, &c60_}) t->CloseTable();
  SetDossierState('2');
}

const gui::ResponseTable& VatReturnWindow::Table() {
  static const gui::ResponseTable table = gui::ResponseTable(&TWEtats::Table())
                                              .Command(vat_cmd::Visualiser, &VatReturnWindow::CmVisualiser)
                                              .Command(vat_cmd::FinVisualisation, &VatReturnWindow::CmRaisePartner)
                                              .Command(vat_cmd::Imprimer, &VatReturnWindow::CmImprimer);
  return table;
}

void VatReturnWindow::SetupWindow() {
  TWEtats::SetupWindow();
  BuildToolbar(toolbarCommands, true);
  // (The paths share one buffer: each is copied before the next is made.)
  const struct {
    ::Table& table;
    std::string path;
    const char* tag;
  } tables[] = {{c10_, PathC10(), "C10CODE"}, {c20_, PathC20(), "C20CODE"}, {c40_, PathC40(), "C40CODE"},
                {c50_, PathC50(), "C50CODE"}, {c60_, PathC60(), c60Tag_.c_str()}};
  for (const auto& t : tables) {
    if (t.table.OpenShared(t.path, t.tag, true)) continue;
    // A table that cannot be read (damaged, or held alone by another station): no return, the window closes.
    gui::MessageBeep(0);
    gui::MessageBox(this, FillPlaceholder(LoadStr(kMsgUnreadable), t.path), LoadStr(kTitle),
                    gui::MB_OK | gui::MB_ICONSTOP);
    gui::PostMessage(GetHandle(), gui::WM_CLOSE);
    return;
  }
  gui::PostCommand(GetHandle(), vat_cmd::Imprimer);
}

bool VatReturnWindow::EnsurePeriod(bool preview) {
  if (periodAsked_) return true;
  if (!AskPeriod(LoadStr(preview ? kPreviewWord : kPrintWord))) {
    gui::PostMessage(GetHandle(), gui::WM_CLOSE);
    return false;
  }
  periodAsked_ = true;
  return true;
}

void VatReturnWindow::CmVisualiser() {
  if (PrintRunFlag) return;
  if (!EnsurePeriod(true)) return;
  int answer = gui::IDCANCEL;
  {
    TDVisuChoixEtat choice(this, reportPrefix, false);
    choice.ForceChoice = true;
    answer = choice.Execute(kTaskModal);
  }
  if (answer == kSwitchToPrint) {
    gui::PostCommand(GetHandle(), vat_cmd::Imprimer);
    return;
  }
  if (answer == gui::IDOK && PrepareReport()) {
    gui::SendCommand(MainWindowHandle, command_id::Visu);
    if (CurrentPreviewWindow == nullptr) return;
    if (!VisuShowList(*this, LoadStr(kPreviewCaption)))
      gui::PostMessage(CurrentPreviewWindow->GetHandle(), gui::WM_CLOSE);
    return;
  }
  periodAsked_ = false;
  gui::PostCommand(GetHandle(), vat_cmd::Visualiser);
}

void VatReturnWindow::CmImprimer() {
  if (PrintRunFlag) return;
  if (!EnsurePeriod(false)) return;
  TDImprChoixEtat choice(this, reportPrefix);
  choice.ForceChoice = true;
  const int answer = choice.Execute(kTaskModal);
  if (answer == kSwitchToPreview) {
    gui::PostCommand(GetHandle(), vat_cmd::Visualiser);
    return;
  }
  if (answer == gui::IDOK) {
    // The printer chosen serves this printout, then the one in service comes back.
    std::unique_ptr<PrinterChoice> printer = choice.TakePrinterChoice();
    if (PrepareReport()) PrintListReport(*this, LoadStr(kTitle));
  }
  periodAsked_ = false;
  gui::PostCommand(GetHandle(), vat_cmd::Imprimer);
}

void VatReturnWindow::DefaultAction() {
  periodAsked_ = false;
  gui::PostCommand(GetHandle(), vat_cmd::Visualiser);
}

TWEtaBroTvaSurLesDebits::TWEtaBroTvaSurLesDebits(gui::MDIClient* parent)
    : VatReturnWindow(parent, "EDD-", "C60CODE"),
      computation_(c10_, c20_, c40_, c50_, c60_),
      report_(ReportFields(), LineTypeText) {
  ReportFields().SetFieldCount(vat::DebitsReport::kFieldCount);
}

bool TWEtaBroTvaSurLesDebits::AskPeriod(const std::string& captionEnd) {
  TDTvaSurLesDebits dialog(this, computation_, report_.Return);
  dialog.SetCaption(FillPlaceholder(LoadStr(kDebitsCaption), captionEnd));
  const int answer = dialog.Execute(kTaskModal);
  return answer == gui::IDOK && dialog.Succeeded();
}

TWEtaBroTvaSurLesEncaissements::TWEtaBroTvaSurLesEncaissements(gui::MDIClient* parent)
    : VatReturnWindow(parent, "EDE-", vat::ReceiptsComputation::kTag),
      computation_(c10_, c40_, c50_, c60_),
      report_(ReportFields(), LineTypeText, c10_, c20_, c40_, c50_, c60_) {
  ReportFields().SetFieldCount(vat::ReceiptsReport::kFieldCount);
}

bool TWEtaBroTvaSurLesEncaissements::AskPeriod(const std::string& captionEnd) {
  TDTvaSurLesEncaissements dialog(this, computation_, report_.Return);
  dialog.SetCaption(FillPlaceholder(LoadStr(kReceiptsCaption), captionEnd));
  const int answer = dialog.Execute(kTaskModal);
  return answer == gui::IDOK && dialog.Succeeded();
}

bool TWEtaBroTvaSurLesEncaissements::PrepareReport() {
  report_.ListType = ChosenLayoutText;
  report_.CollectiveLetters = vat::CollectiveLettersText();
  if (report_.PrepareReport()) return true;
  if (report_.EmptyListing()) ShowEmptyEtat(this);
  return false;
}

// ---- the menu command -----------------------------------------------------------------------------------------------

namespace {

template <class W>
void CreateVatWindow() {
  if (CommandWindow == nullptr) return;
  auto* window = new W(CommandWindow);
  SetChildIcon(*window, kVatIcon);
  PlaceChildWindow(*window, 0, 0);
  if (!window->Create()) {
    if (window->IsCreated()) window->Destroy();
    else delete window;
    return;
  }
  window->Show(gui::SW_SHOWNORMAL);
}

}  // namespace

void CreateVatReceiptsWindow() { CreateVatWindow<TWEtaBroTvaSurLesEncaissements>(); }

// Core: DebitsComputation, ReceiptsComputation.
void CmEtatsDeclarationTva() {
  if (PrintRunFlag) {
    gui::MessageBeep(0);
    return;
  }
  if (GetDossierState() == '2' && !IsBlank(DossierCode)) {
    const auto& ensure = Services().ensureDossierOpen;
    if (!ensure || !ensure()) return;
  }
  if (GetDossierState() != ' ') return;
  if (ActivateExistingChild(kVatWindowSlot)) return;
  if (CommandWindow != nullptr && !CommandWindow->CloseChildren()) return;
  CloseAllTables();
  if (TheDossierRecord.Constant(21)[0] == 'O') {
    CreateVatReceiptsWindow();
    return;
  }
  CreateVatWindow<TWEtaBroTvaSurLesDebits>();
}
