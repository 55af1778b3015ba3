#include "reports/ledgers/ledger_forms.h"

#include <algorithm>
#include <utility>

#include "controls/control_env.h"
#include "controls/mcontrols.h"
#include "platform/gui/combobox.h"
#include "controls/medit.h"
#include "data/error_report.h"
#include "data/session.h"
#include "data/table.h"
#include "platform/gui/application.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/messagebox.h"
#include "reports/engine/report_window.h"
#include "reports/ledgers/core/ledger_strings.h"
#include "reports/ledgers/ledger_windows.h"
#include "runtime/access_rights.h"
#include "runtime/dossier_record.h"
#include "runtime/session_registry.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "resources/command_ids.h"
#include "resources/string_table.h"
#include "shell/graphics.h"
#include "shell/mdi_client.h"
#include "shell/registry.h"
#include "shell/toolbar.h"

using namespace ledgers;

namespace {

using DF = DossierRecord::DateField;

// Grid kinds of the form's controls (CMDIModif::MoveFormControls).
constexpr int kText = grid::Text;
constexpr int kLabel = grid::Label;
constexpr int kBoxAtRight = 5;

std::string Str(int id) { return LoadStr(id); }
std::string FormText(int offset) { return LoadStr(kStrFormTextFirst + offset); }

// Label and tip ids of the forms (kStrFormTextFirst + n).
enum FormText {
  kTxtAccount = 0, kTxtAsk = 1, kTipChart = 2, kTxtAnalytic = 3, kTxtEuros = 4, kTxtDateFrom = 5, kTxtDateTo = 6,
  kTxtSubtotalsJournal = 7, kTxtPrior = 8, kTxtLettering = 9, kTxtOnlyLetter = 10, kTxtLedgers = 11,
  kTxtOtherLedgers = 12, kTipCollectives = 13, kTxtAccountFrom = 14, kTipChartFrom = 15, kTxtAccountTo = 16,
  kTipChartTo = 17, kTxtSubtotals = 18, kTxtSummary = 19, kTxtAnalyticJournals = 20
};

const std::vector<std::uint32_t> kFormToolbar = {1, form_cmd::Quitter};

// The collective accounts' list, which the collectives' lookup opens.
constexpr int kCollectivesListSlot = 67;

// Widths of the edits, in characters: an account or section code, a date.
constexpr int kCodeWidth = 10;
constexpr int kDateWidth = 8;

}  // namespace

// ---------------------------------------------------------------------------------------
// The shared form

TWEtaModLedger::TWEtaModLedger(gui::MDIClient* client, const LedgerWindowKind& window, int gridColumns, int gridRows)
    : CMDIModif(client, LoadStr(window.titleId), gridColumns, gridRows, window.formSlot, 11 + window.limitsLength,
                window.ownSlot),
      window_(window) {
  SetAccelerators(kReportLimitsAccelerators);
  KeyWidth = window.limitsLength;
  AskOnClose = false;
  HelpContext() = window.helpContext;
}

TWEtaModLedger::~TWEtaModLedger() {
  // The report window goes with its form.
  if (RegistryChar(window_.ownSlot) == '1') {
    const gui::Handle h = SlotHandle(window_.ownSlot);
    if (h != 0) gui::PostMessage(h, gui::WM_CLOSE);
  }
}

const gui::ResponseTable& TWEtaModLedger::Table() {
  static const gui::ResponseTable table = gui::ResponseTable(&CMDIModif::Table())
                                              .Command(form_cmd::Quitter, &TWEtaModLedger::CmQuitterForm)
                                              .Command(form_cmd::Visualiser, &TWEtaModLedger::CmVisualiser)
                                              .Command(form_cmd::Imprimer, &TWEtaModLedger::CmImprimer)
                                              .Enable(form_cmd::Visualiser, &TWEtaModLedger::CeIdle)
                                              .Enable(form_cmd::Imprimer, &TWEtaModLedger::CeIdle);
  return table;
}

int TWEtaModLedger::CompactColumnWidth() const {
  // Wide enough for an account code's edit (13 characters).
  const int cw = EntryCharWidth > 0 ? EntryCharWidth : 7;
  return std::max(MinColumnWidth, 15 * cw);
}

int TWEtaModLedger::CompactRowHeight() const { return MinRowHeight + 8; }

gui::Rect TWEtaModLedger::FittingRect() const {
  // The compact cells and the frame's room.
  const int width = GridColumns * CompactColumnWidth() + 30;
  const int height = GridRows * CompactRowHeight() + TopOffset + 60;
  return gui::Rect{20, 20, width, height};
}

int TWEtaModLedger::ComboWidth(const gui::ComboBox& combo) {
  std::size_t longest = 0;
  for (int i = 0; i < combo.GetCount(); ++i) longest = std::max(longest, combo.GetString(i).size());
  return static_cast<int>(longest) + 2;
}

void TWEtaModLedger::ArrangeControls() {
  // A wider window leaves room at the right instead of spreading the columns (the base keeps
  // the rows one line high).
  ColumnWidth = std::min(ColumnWidth, CompactColumnWidth());
  PlaceControls();
}

void TWEtaModLedger::CeIdle(gui::CommandEnabler& ce) { CeEnableIfIdle(*this, ce); }
void TWEtaModLedger::CmQuitterForm() { CmCloseIfIdle(*this); }

bool TWEtaModLedger::CanClose() {
  NoCheckFlag = true;
  AskOnClose = false;
  return CMDIModif::CanClose();
}

void TWEtaModLedger::SetupWindow() {
  CMDIModif::SetupWindow();
  BuildToolbar(kFormToolbar, true);
}

void TWEtaModLedger::SetFonts(const std::vector<gui::Window*>& controls) {
  for (gui::Window* w : controls)
    if (auto* c = dynamic_cast<gui::Control*>(w)) c->SetFont(EntryFont);
}

bool TWEtaModLedger::Refuse(gui::Window* field, bool focus) {
  gui::MessageBeep(0);
  refused_ = field;
  if (focus) Focus(field);
  return false;
}

bool TWEtaModLedger::RefuseDate(MEdit* field, const DateCheck& check, bool focus) {
  // A date typed that is refused says why when the user asked for the check (Enter, F5, F6); leaving the
  // field (the quiet check) only beeps, so that tabbing through the form never stacks message boxes.
  if (focus && (check.outsideYear || check.beforeFrom)) {
    std::string text = Str(kStrDateToBeforeFrom);
    if (check.outsideYear) {
      text = FillPlaceholders(Str(kStrDateOutsideYear),
                              {AllTrim(field->GetText().c_str()), TheDossierRecord.DateDisplay(DF::YearStart),
                               TheDossierRecord.DateDisplay(DF::YearEnd)});
    }
    gui::MessageBeep(0);
    gui::MessageBox(this, text, GetCaption(), gui::MB_OK | gui::MB_ICONSTOP);
    refused_ = field;
    Focus(field);
    return false;
  }
  return Refuse(field, focus);
}

void TWEtaModLedger::Focus(gui::Window* field) {
  if (auto* e = dynamic_cast<MEdit*>(field)) e->FocusSelect(true);
  else if (field != nullptr && field->IsWindowEnabled()) field->SetFocus();
}

bool TWEtaModLedger::FocusCalculatorEdit() {
  if (CalculatorEdit == nullptr || CalculatorEdit->Parent() != this) return false;
  CalculatorEdit->FocusSelect(true);
  return true;
}

bool TWEtaModLedger::Checked(MCheckBox* box) { return box != nullptr && box->IsChecked(); }

void TWEtaModLedger::SetUpEuroBox(MCheckBox* box) {
  box->SetValue(TheDossierRecord.At(DossierRecord::kEuroMainPos) != 'N', true);
  if (DossierIsEuroOnly()) box->Show(gui::SW_HIDE);
}

bool TWEtaModLedger::AnalyticDossier() {
  const char mode = TheDossierRecord.AnalyticMode();
  return mode == '1' || mode == '2';
}

char TWEtaModLedger::HelpCharacter() { return ProgramOption(4); }

void TWEtaModLedger::HandOver(unsigned command) {
  if (PrintRunFlag || IsIconic()) return;
  refused_ = nullptr;
  const int check = Check();
  if (check != kCheckSave && check != kCheckClose) return;
  if (RegistryChar(window_.ownSlot) != '1') return;
  SetRegistryText(window_.ownSlot + 11, window_.limitsLength, BuildLimits());
  const gui::Handle report = SlotHandle(window_.ownSlot);
  if (report != 0) gui::SendCommand(report, command);
}

// ---------------------------------------------------------------------------------------
// Account statement

TWEtaModCompte::TWEtaModCompte(gui::MDIClient* client) : TWEtaModLedger(client, kStatementWindow, 7, 8) {
  accountLabel_ = new MStatic(this, FormText(kTxtAccount), 1301);
  account_ = new MEdit(this, kAccount, 8, 1203, MEdit::kText, 0, false);
  lookup_ = new MButton(this, kLookup, FormText(kTxtAsk));
  analytic_ = new MCheckBox(this, kAnalytic, FormText(kTxtAnalytic), 1);
  euros_ = new MCheckBox(this, kEuros, FormText(kTxtEuros), 1);
  name_ = new MStatic(this, "", kNameStatic);
  dateFromLabel_ = new MStatic(this, FormText(kTxtDateFrom), 1302);
  dateFrom_ = new MEdit(this, kDateFrom, 8, 1212, MEdit::kDate, 0, false);
  dateToLabel_ = new MStatic(this, FormText(kTxtDateTo), 1303);
  dateTo_ = new MEdit(this, kDateTo, 8, 1214, MEdit::kDate, 0, false);
  subtotals_ = new MCheckBox(this, kSubtotals, FormText(kTxtSubtotalsJournal), 1);
  prior_ = new MCheckBox(this, kPrior, FormText(kTxtPrior), 1);
  letteringLabel_ = new MStatic(this, FormText(kTxtLettering), 1304);
  lettering_ = new MComboBox(this, kLettering, 1, 1);
  letterLabel_ = new MStatic(this, FormText(kTxtOnlyLetter), 1305);
  letter_ = new MEdit(this, kLetter, 4, 1222, MEdit::kText, 0, false);
  for (MEdit* e : {account_, dateFrom_, dateTo_, letter_}) e->SetNotifyWindow(this);
  account_->SetF8Command(kLookup);
  account_->SetKeyCommands(1206, 1205, 1204, 1207, 0, 0);
  account_->SetLeaveCommand(1218, lookup_);
  dateFrom_->SetLeaveCommand(1219);
  dateTo_->SetLeaveCommand(1220);
}

const gui::ResponseTable& TWEtaModCompte::Table() {
  static const gui::ResponseTable table = gui::ResponseTable(&TWEtaModLedger::Table())
                                              .Command(kLookup, &TWEtaModCompte::CmLookupAccount)
                                              .Command(1203, &TWEtaModCompte::CmAccountEntered)
                                              .Command(1212, &TWEtaModCompte::CmDateFromEntered)
                                              .Command(1214, &TWEtaModCompte::CmDateToEntered)
                                              .Command(1218, &TWEtaModCompte::CmCheckAccountQuiet)
                                              .Command(1219, &TWEtaModCompte::CmCheckDateFromQuiet)
                                              .Command(1220, &TWEtaModCompte::CmCheckDateToQuiet)
                                              .Command(1222, &TWEtaModCompte::CmMatchingLetterEntered)
                                              .Command(1204, &TWEtaModCompte::CmFirstCode)
                                              .Command(1206, &TWEtaModCompte::CmPriorCode)
                                              .Command(1205, &TWEtaModCompte::CmNextCode)
                                              .Command(1207, &TWEtaModCompte::CmLastCode)
                                              .Command(kAnalytic, &TWEtaModCompte::CmAnalytique)
                                              .Command(kEuros, &TWEtaModCompte::CmEuros);
  return table;
}

void TWEtaModCompte::SetupWindow() {
  TWEtaModLedger::SetupWindow();
  SetFonts({accountLabel_, account_, analytic_, euros_, name_, dateFromLabel_, dateFrom_, dateToLabel_, dateTo_,
            subtotals_, prior_, letteringLabel_, lettering_, letterLabel_, letter_});
  lookup_->SetFont(EntryFontFixed);
  if (!AnalyticDossier()) analytic_->Show(gui::SW_HIDE);
  analytic_->SetValue(false, true);
  SetUpEuroBox(euros_);
  const std::string current = RegistryText(kRegistryLastAccount, 8);
  if (!IsBlank(current)) account_->SetValue(AllTrim(current.c_str()), true);
  dateFrom_->SetValue(TheDossierRecord.DateDisplay(DF::YearStart), true);
  dateTo_->SetValue(TheDossierRecord.DateDisplay(DF::YearEnd), true);
  dateTo_->SetValue(TheDossierRecord.DateDisplay(DF::Working), false);
  subtotals_->SetValue(false, true);
  prior_->SetValue(false, true);
  for (const std::string& entry : MatchingEntries()) lettering_->AddString(entry);
  const std::string c047 = TheDossierRecord.Constant(47);
  lettering_->SetValue(!c047.empty() && c047[0] == 'O' ? "2" : "1", true);
  letterLabel_->Show(gui::SW_HIDE);
  letter_->Show(gui::SW_HIDE);
  lookup_->SetTip(FormText(kTipChart));
}

void TWEtaModCompte::PlaceControls() {
  // Labels over the first two columns, fields from the third; the "?" just after the account's edit.
  MoveFormControls(accountLabel_, 1, 1, 2, 1, kLabel, 0, 0);
  MoveFormControls(account_, 3, 1, 1, 1, kText, kCodeWidth, 0);
  MoveFormControls(lookup_, 4, 1, 1, 1, kText, 1, 0);
  PlaceAfter(lookup_, account_);
  MoveFormControls(analytic_, 5, 1, 2, 1, kText, 0, 0);
  MoveFormControls(euros_, 7, 1, 1, 1, kText, 0, 0);
  MoveFormControls(name_, 3, 2, 5, 1, kLabel, 0, 0);
  MoveFormControls(dateFromLabel_, 1, 3, 2, 1, kLabel, 0, 0);
  MoveFormControls(dateFrom_, 3, 3, 1, 1, kText, kDateWidth, 0);
  MoveFormControls(dateToLabel_, 1, 4, 2, 1, kLabel, 0, 0);
  MoveFormControls(dateTo_, 3, 4, 1, 1, kText, kDateWidth, 0);
  MoveFormControls(subtotals_, 3, 5, 5, 1, kText, 0, 0);
  MoveFormControls(prior_, 3, 6, 5, 1, kText, 0, 0);
  MoveFormControls(letteringLabel_, 1, 7, 2, 1, kLabel, 0, 0);
  MoveFormControls(lettering_, 3, 7, 5, 1, kText, ComboWidth(*lettering_), 0);
  MoveFormControls(letterLabel_, 1, 8, 2, 1, kLabel, 0, 0);
  MoveFormControls(letter_, 3, 8, 1, 1, kText, 5, 0);
}

void TWEtaModCompte::EvSetFocus(gui::Handle lost) {
  // The code chosen meanwhile in the chart of accounts or the sections' list comes in.
  const std::string code =
      RegistryText(AnalyticOn() ? kRegistryLastSection : kRegistryLastAccount, 8);
  if (!IsBlank(code)) account_->SetValue(AllTrim(code.c_str()), true);
  CMDIModif::EvSetFocus(lost);
  if (!FocusCalculatorEdit()) account_->FocusSelect(true);
}

void TWEtaModCompte::EvNotify(int id, unsigned code) {
  if (id == kLettering && code == gui::CBN_SELCHANGE) CmLettrageChanged();
}

bool TWEtaModCompte::AnalyticOn() const { return AnalyticDossier() && Checked(analytic_); }

void TWEtaModCompte::ShowAccountBalance() {
  name_->SetText("");
  if (IsBlank(account_->GetText())) return;
  ::Table* t = AnalyticOn() ? TableC30 : TableC20;
  if (t == nullptr || !t->isOpen || t->bof || t->eof || !LiveOrSaid(*t).IsFound()) {
    gui::MessageBeep(0);
    name_->SetText(Str(kStrUnknown));
    return;
  }
  if (AnalyticOn()) ShowAccountBalanceC30(name_, Checked(euros_));
  else ShowAccountBalanceC20(name_, Checked(euros_));
}

bool TWEtaModCompte::CheckAccount(bool focusNext) {
  const CodeCheck c = CheckStatementAccount(account_->GetText(), AnalyticOn(), HelpCharacter(), *TableC20, *TableC30);
  if (c.openLookup) {
    account_->SetValue(c.shown, false);
    if (focusNext) gui::PostCommand(GetHandle(), kLookup);
    return false;
  }
  if (!c.ok) {
    name_->SetText(c.staticText);
    return Refuse(account_, focusNext);
  }
  account_->SetValue(c.shown, false);
  ShowAccountBalance();
  if (!AnalyticOn()) SetRegistryText(kRegistryLastAccount, 8, PadRight(c.shown, 8));
  if (focusNext) Focus(dateFrom_);
  return true;
}

bool TWEtaModCompte::CheckDateFrom(bool focusNext) {
  const DateCheck c = ledgers::CheckDateFrom(dateFrom_->GetText(), Checked(subtotals_), TheDossierRecord);
  if (c.shown != dateFrom_->GetText()) dateFrom_->SetValue(c.shown, false);
  if (c.monthStartRule) {
    gui::MessageBeep(0);
    gui::MessageBox(this, Str(kStrMonthStartRule), LoadStr(kStrTitleStatement), gui::MB_OK | gui::MB_ICONSTOP);
    refused_ = dateFrom_;
    if (focusNext) Focus(dateFrom_);
    return false;
  }
  if (!c.ok) return RefuseDate(dateFrom_, c, focusNext);
  if (c.uncheckPrior) prior_->SetValue(false, false);
  if (focusNext) Focus(dateTo_);
  return true;
}

void TWEtaModCompte::CmDateFromEntered() {
  CheckDateFrom(true);
  if (PriorCumulationAfterDateFrom(dateFrom_->GetText(), TheDossierRecord, AnalyticDossier(), Checked(analytic_),
                                   false))
    prior_->SetValue(true, false);
}

bool TWEtaModCompte::CheckDateTo(bool focusNext) {
  const DateCheck c = ledgers::CheckDateTo(dateTo_->GetText(), dateFrom_->GetText(), TheDossierRecord);
  if (c.shown != dateTo_->GetText()) dateTo_->SetValue(c.shown, false);
  if (!c.ok) return RefuseDate(dateTo_, c, focusNext);
  if (focusNext) {
    const std::string c032 = TheDossierRecord.Constant(32);
    if (AnalyticOn()) Focus(!c032.empty() && c032[0] == 'O' ? static_cast<gui::Window*>(account_) : prior_);
    else Focus(subtotals_);
  }
  return true;
}

void TWEtaModCompte::CmMatchingLetterEntered() { account_->FocusSelect(true); }

void TWEtaModCompte::CmLookupAccount() {
  name_->SetText("");
  const char r = AnalyticOn() ? LookupC30Code(account_, kLookup, name_) : LookupC20Code(account_, kLookup, name_);
  if (r == kLookupFound) {
    ShowAccountBalance();
    SetRegistryText(AnalyticOn() ? kRegistryLastSection : kRegistryLastAccount, 8, PadRight(account_->GetText(), 8));
    account_->FocusSelect(true);
  } else if (r == kLookupNone) {
    name_->SetText(Str(kStrUnknown));
    account_->FocusSelect(true);
  } else if (r != kLookupListOpened && r != kLookupListRepositioned) {
    account_->FocusSelect(true);
  }
}

void TWEtaModCompte::Step(int which) {
  bool ok = false;
  if (AnalyticOn()) {
    ok = which == 0 ? FirstC30Code(account_, name_) : which == 1 ? PriorC30Code(account_, name_)
                                                    : which == 2 ? NextC30Code(account_, name_) : LastC30Code(account_, name_);
  } else {
    ok = which == 0 ? FirstC20Code(account_, name_) : which == 1 ? PriorC20Code(account_, name_)
                                                    : which == 2 ? NextC20Code(account_, name_) : LastC20Code(account_, name_);
  }
  if (ok) ShowAccountBalance();
}

void TWEtaModCompte::CmAnalytique() {
  if (AnalyticOn()) {
    subtotals_->SetValue(false, false);
    subtotals_->EnableWindow(false);
    const std::string c032 = TheDossierRecord.Constant(32);
    if (!c032.empty() && c032[0] == 'O') {
      prior_->SetValue(false, false);
      prior_->EnableWindow(false);
    }
    lettering_->SetValue("1", false);
    lettering_->EnableWindow(false);
    CmLettrageChanged();
  } else {
    subtotals_->EnableWindow(true);
    prior_->EnableWindow(true);
    lettering_->EnableWindow(true);
  }
  account_->FocusSelect(true);
}

void TWEtaModCompte::CmEuros() { name_->SetText(""); }

void TWEtaModCompte::CmLettrageChanged() {
  const std::string v = lettering_->GetValue();
  const bool one = !v.empty() && v[0] == '3';
  letterLabel_->Show(one ? gui::SW_SHOW : gui::SW_HIDE);
  letter_->Show(one ? gui::SW_SHOW : gui::SW_HIDE);
  if (one) letter_->FocusSelect(true);
  else if (lettering_->IsWindowEnabled()) lettering_->SetFocus();
}

int TWEtaModCompte::Check() {
  if (NoCheckFlag) return kCheckClose;
  if (!CheckAccount(true) || !CheckDateFrom(true) || !CheckDateTo(true)) return kCheckInvalid;
  return kCheckClose;
}

StatementForm TWEtaModCompte::Form() {
  StatementForm f;
  f.account = account_->GetText();
  f.dateFrom = dateFrom_->GetText();
  f.dateTo = dateTo_->GetText();
  f.monthlySubtotals = Checked(subtotals_);
  f.priorCumulation = Checked(prior_);
  const std::string v = lettering_->GetValue();
  f.letteringFilter = v.empty() ? '1' : v[0];
  f.analytic = Checked(analytic_);
  f.inEuros = Checked(euros_);
  f.matchingLetter = letter_->GetText();
  return f;
}

std::string TWEtaModCompte::BuildLimits() { return BuildStatementLimits(Form(), TheDossierRecord); }

// ---------------------------------------------------------------------------------------
// The account and date ranges

TWEtaModAccountRange::TWEtaModAccountRange(gui::MDIClient* client, const LedgerWindowKind& window, int gridColumns,
                                           int gridRows, const Ids& ids)
    : TWEtaModLedger(client, window, gridColumns, gridRows), ids_(ids) {}

gui::ResponseTable& TWEtaModAccountRange::AddRangeCommands(gui::ResponseTable& table, const Ids& ids) {
  using F = TWEtaModAccountRange;
  const std::pair<int, void (F::*)()> commands[] = {
      {ids.listLookup, &F::CmLookupList},   {ids.fromLookup, &F::CmLookupFrom},
      {ids.toLookup, &F::CmLookupTo},       {ids.euros, &F::CmEuros},
      {ids.listEntered, &F::CmListEntered}, {ids.fromEntered, &F::CmFromEntered},
      {ids.toEntered, &F::CmToEntered},     {ids.dateFromEntered, &F::CmDateFromEntered},
      {ids.dateToEntered, &F::CmDateToEntered}, {ids.leaveFirst, &F::CmListQuiet},
      {ids.leaveFirst + 1, &F::CmFromQuiet}, {ids.leaveFirst + 2, &F::CmToQuiet},
      {ids.leaveFirst + 3, &F::CmDateFromQuiet}, {ids.leaveFirst + 4, &F::CmDateToQuiet},
      {ids.fromFirst, &F::CmFirstFrom},     {ids.fromPrior, &F::CmPriorFrom},
      {ids.fromNext, &F::CmNextFrom},       {ids.fromLast, &F::CmLastFrom},
      {ids.toFirst, &F::CmFirstTo},         {ids.toPrior, &F::CmPriorTo},
      {ids.toNext, &F::CmNextTo},           {ids.toLast, &F::CmLastTo}};
  for (const auto& [id, fn] : commands) table.Command(static_cast<unsigned>(id), fn);
  return table;
}

void TWEtaModAccountRange::MakeRangeControls(const std::string& listLabel) {
  const Ids& d = ids_;
  listLabel_ = new MStatic(this, listLabel, d.labelFirst);
  list_ = new MEdit(this, d.list, 26, d.listEntered, MEdit::kText, 0, false);
  listLookup_ = new MButton(this, d.listLookup, "?");
  listStatic_ = new MStatic(this, "", d.listStatic);
  fromLabel_ = new MStatic(this, FormText(kTxtAccountFrom), d.labelFirst + 1);
  from_ = new MEdit(this, d.from, 8, d.fromEntered, MEdit::kText, 0, false);
  fromLookup_ = new MButton(this, d.fromLookup, "?");
  fromStatic_ = new MStatic(this, "", d.fromStatic);
  toLabel_ = new MStatic(this, FormText(kTxtAccountTo), d.labelFirst + 2);
  to_ = new MEdit(this, d.to, 8, d.toEntered, MEdit::kText, 0, false);
  toLookup_ = new MButton(this, d.toLookup, "?");
  toStatic_ = new MStatic(this, "", d.toStatic);
  dateFromLabel_ = new MStatic(this, FormText(kTxtDateFrom), d.labelFirst + 3);
  dateFrom_ = new MEdit(this, d.dateFrom, 8, d.dateFromEntered, MEdit::kDate, 0, false);
  dateToLabel_ = new MStatic(this, FormText(kTxtDateTo), d.labelFirst + 4);
  dateTo_ = new MEdit(this, d.dateTo, 8, d.dateToEntered, MEdit::kDate, 0, false);
  for (MEdit* e : {list_, from_, to_, dateFrom_, dateTo_}) e->SetNotifyWindow(this);
  list_->SetF8Command(d.listLookup);
  from_->SetF8Command(d.fromLookup);
  to_->SetF8Command(d.toLookup);
  from_->SetKeyCommands(d.fromPrior, d.fromNext, d.fromFirst, d.fromLast, 0, 0);
  to_->SetKeyCommands(d.toPrior, d.toNext, d.toFirst, d.toLast, 0, 0);
  list_->SetLeaveCommand(d.leaveFirst, listLookup_);
  from_->SetLeaveCommand(d.leaveFirst + 1, fromLookup_);
  to_->SetLeaveCommand(d.leaveFirst + 2, toLookup_);
  dateFrom_->SetLeaveCommand(d.leaveFirst + 3);
  dateTo_->SetLeaveCommand(d.leaveFirst + 4);
}

std::vector<gui::Window*> TWEtaModAccountRange::RangeControls() const {
  return {kindLabel_,  kind_,     euros_,      listLabel_,    list_,      listStatic_,    fromLabel_,
          from_,       fromStatic_, toLabel_,  to_,           toStatic_,  dateFromLabel_, dateFrom_,
          dateToLabel_, dateTo_,  prior_,      letteringLabel_, lettering_};
}

void TWEtaModAccountRange::SetUpRange(const std::vector<std::string>& kinds) {
  SetFonts(RangeControls());
  for (MButton* b : {listLookup_, fromLookup_, toLookup_}) b->SetFont(EntryFontFixed);
  kinds_ = kinds;
  for (const std::string& k : kinds_) kind_->AddString(k);
  kind_->SetSelIndex(0);
  SetUpEuroBox(euros_);
  dateFrom_->SetValue(TheDossierRecord.DateDisplay(DF::YearStart), true);
  dateTo_->SetValue(TheDossierRecord.DateDisplay(DF::YearEnd), true);
  dateTo_->SetValue(TheDossierRecord.DateDisplay(DF::Working), false);
  prior_->SetValue(false, true);
  listLookup_->SetTip(FormText(kTipCollectives));
  fromLookup_->SetTip(FormText(kTipChartFrom));
  toLookup_->SetTip(FormText(kTipChartTo));
}

void TWEtaModAccountRange::PlaceRange(int row) {
  // The list's name line and the accounts' names take the rest of their rows.
  const int rest = GridColumns - 3;
  MoveFormControls(listLabel_, 1, row, 2, 1, kLabel, 0, 0);
  MoveFormControls(listLookup_, 1, row, 2, 1, grid::Box, kBoxAtRight, 0);
  MoveFormControls(list_, 3, row, 2, 1, kText, 26, 0);
  MoveFormControls(listStatic_, 5, row, rest - 1, 1, kLabel, 0, 0);
  const std::pair<MEdit*, int> accounts[] = {{from_, row + 1}, {to_, row + 2}};
  for (const auto& [edit, r] : accounts) {
    const bool upper = edit == to_;
    MoveFormControls(upper ? toLabel_ : fromLabel_, 1, r, 2, 1, kLabel, 0, 0);
    MoveFormControls(upper ? toLookup_ : fromLookup_, 1, r, 2, 1, grid::Box, kBoxAtRight, 0);
    MoveFormControls(edit, 3, r, 1, 1, kText, kCodeWidth, 0);
    MoveFormControls(upper ? toStatic_ : fromStatic_, 4, r, rest, 1, kLabel, 0, 0);
  }
  MoveFormControls(dateFromLabel_, 1, row + 3, 2, 1, kLabel, 0, 0);
  MoveFormControls(dateFrom_, 3, row + 3, 1, 1, kText, kDateWidth, 0);
  MoveFormControls(dateToLabel_, 1, row + 4, 2, 1, kLabel, 0, 0);
  MoveFormControls(dateTo_, 3, row + 4, 1, 1, kText, kDateWidth, 0);
}

void TWEtaModAccountRange::EvSetFocus(gui::Handle lost) {
  CMDIModif::EvSetFocus(lost);
  if (!FocusCalculatorEdit() && kind_->IsWindowEnabled()) kind_->SetFocus();
}

void TWEtaModAccountRange::EvNotify(int id, unsigned code) {
  if (id == ids_.kind && code == gui::CBN_SELCHANGE) CmKindChanged();
}

char TWEtaModAccountRange::Kind() {
  const int i = kind_->GetSelIndex();
  if (i < 0 || static_cast<std::size_t>(i) >= kinds_.size()) return 'T';
  return kinds_[static_cast<std::size_t>(i)][0];
}

void TWEtaModAccountRange::ApplyKindToCodes(char k) {
  const bool codes = k != 'T';
  if (!codes) {
    for (MEdit* e : {list_, from_, to_}) e->SetValue("", false);
    for (MStatic* s : {listStatic_, fromStatic_, toStatic_}) s->SetText("");
  } else if (k != 'A') {
    list_->SetValue("", false);
    listStatic_->SetText("");
  }
  for (gui::Window* w : std::vector<gui::Window*>{list_, listLookup_}) w->EnableWindow(k == 'A');
  for (gui::Window* w : std::vector<gui::Window*>{from_, fromLookup_, to_, toLookup_}) w->EnableWindow(codes);
}

bool TWEtaModAccountRange::CheckAccount(bool upper, bool focusNext) {
  MEdit* edit = upper ? to_ : from_;
  MStatic* display = upper ? toStatic_ : fromStatic_;
  const CodeCheck c = CheckLedgerAccount(Kind(), ListText(), edit->GetText(), upper, from_->GetText(),
                                         HelpCharacter(), *TableC20, *TableC30);
  if (c.emptied) {
    for (MEdit* e : {from_, to_}) e->SetValue("", false);
    fromStatic_->SetText("");
    toStatic_->SetText("");
    if (focusNext) Focus(AfterEmptiedAccounts(upper));
    return true;
  }
  if (c.openLookup) {
    edit->SetValue(c.shown, false);
    if (focusNext) gui::PostCommand(GetHandle(), static_cast<unsigned>(upper ? ids_.toLookup : ids_.fromLookup));
    return false;
  }
  if (!c.ok) {
    display->SetText(c.staticText);
    return Refuse(edit, focusNext);
  }
  if (c.shown != edit->GetText()) edit->SetValue(c.shown, false);
  display->SetText(c.staticText);
  if (c.found) {
    if (Kind() == '(') ShowAccountBalanceC30(display, Checked(euros_));
    else ShowAccountBalanceC20(display, Checked(euros_));
  }
  if (focusNext) Focus(upper ? dateFrom_ : static_cast<gui::Window*>(to_));
  return true;
}

gui::Window* TWEtaModAccountRange::AfterEmptiedAccounts(bool upper) { return dateFrom_; }

bool TWEtaModAccountRange::CheckDateFrom(bool focusNext) {
  // No range form has monthly subtotals: the month-start rule does not apply.
  const DateCheck c = ledgers::CheckDateFrom(dateFrom_->GetText(), false, TheDossierRecord);
  if (c.shown != dateFrom_->GetText()) dateFrom_->SetValue(c.shown, false);
  if (!c.ok) return RefuseDate(dateFrom_, c, focusNext);
  if (c.uncheckPrior) prior_->SetValue(false, false);
  if (focusNext) Focus(dateTo_);
  return true;
}

bool TWEtaModAccountRange::CheckDateTo(bool focusNext) {
  const DateCheck c = ledgers::CheckDateTo(dateTo_->GetText(), dateFrom_->GetText(), TheDossierRecord);
  if (c.shown != dateTo_->GetText()) dateTo_->SetValue(c.shown, false);
  if (!c.ok) return RefuseDate(dateTo_, c, focusNext);
  if (focusNext) Focus(prior_);
  return true;
}

bool TWEtaModAccountRange::CheckRange() {
  return CheckList(true) && CheckAccount(false, true) && CheckAccount(true, true) && CheckDateFrom(true) &&
         CheckDateTo(true);
}

void TWEtaModAccountRange::CmLookupList() {
  // The lookup is given no edit: the chosen collective is added to the list, not put in its place.
  const std::string list = ListText();
  std::string chosen;
  const char r = LookupC10Code(nullptr, static_cast<unsigned>(ids_.listLookup), "B", 1, command_id::DonneesCollectifs,
                               kCollectivesListSlot, nullptr, &chosen);
  if (r == kLookupFound && !chosen.empty()) {
    const char c = chosen[0];
    if (list.find(c) != std::string::npos) {
      listStatic_->SetText("");
    } else {
      list_->SetValue(list + c, false);
      // The lookup left the general file on the collective's record.
      const bool named = TableC10 != nullptr && TableC10->isOpen && TableC10->recordNumber != 0 &&
                         LiveOrSaid(*TableC10).IsFound();
      if (!named) gui::MessageBeep(0);
      listStatic_->SetText(std::string(1, c) + ": " +
                           (named ? std::string(AllTrim(TableC10->GetField(3))) : Str(kStrUnknown)));
    }
  }
  if (r != kLookupListOpened && r != kLookupListRepositioned) list_->FocusSelect(false);
}

void TWEtaModAccountRange::LookupAccount(bool upper) {
  MEdit* edit = upper ? to_ : from_;
  MStatic* display = upper ? toStatic_ : fromStatic_;
  display->SetText("");
  const unsigned asking = static_cast<unsigned>(upper ? ids_.toLookup : ids_.fromLookup);
  const char r = Kind() == '(' ? LookupC30Code(edit, asking, display) : LookupC20Code(edit, asking, display);
  if (r == kLookupNone) display->SetText(Str(kStrUnknown));
  if (r != kLookupListOpened && r != kLookupListRepositioned) edit->FocusSelect(true);
}

bool TWEtaModAccountRange::CodesApply() {
  const char k = Kind();
  if (k == 'T') return false;
  return k != 'A' || ListText().size() == 1;
}

void TWEtaModAccountRange::Step(bool upper, int which) {
  MEdit* edit = upper ? to_ : from_;
  MStatic* display = upper ? toStatic_ : fromStatic_;
  // The name beside the field goes with its code, even when the step is refused.
  display->SetText("");
  if (!CodesApply()) {
    gui::MessageBeep(0);
    edit->SetValue("", false);
    return;
  }
  if (upper && IsBlank(to_->GetText()) && which != 0) to_->SetValue(from_->GetText(), false);
  if (upper && which == 0 && !IsBlank(from_->GetText())) {
    to_->SetValue(from_->GetText(), false);
    toStatic_->SetText(fromStatic_->GetText());
    return;
  }
  const bool sections = Kind() == '(';
  bool ok = false;
  switch (which) {
    case 0: ok = sections ? FirstC30Code(edit, display) : FirstC20Code(edit, display); break;
    case 1: ok = sections ? PriorC30Code(edit, display) : PriorC20Code(edit, display); break;
    case 2: ok = sections ? NextC30Code(edit, display) : NextC20Code(edit, display); break;
    default: ok = sections ? LastC30Code(edit, display) : LastC20Code(edit, display); break;
  }
  if (ok) {
    if (sections) ShowAccountBalanceC30(display, Checked(euros_));
    else ShowAccountBalanceC20(display, Checked(euros_));
  }
}

void TWEtaModAccountRange::CmEuros() {
  fromStatic_->SetText("");
  toStatic_->SetText("");
}

// ---------------------------------------------------------------------------------------
// General ledgers

namespace {

using GL = TWEtaModGrandsLivres;
const TWEtaModAccountRange::Ids kLedgerRangeIds = {
    .kind = GL::kKind, .euros = GL::kEuros,
    .list = GL::kCollectives, .listEntered = 1205, .listLookup = GL::kCollectivesLookup,
    .listStatic = GL::kCollectivesStatic,
    .from = GL::kFrom, .fromEntered = 1209, .fromLookup = GL::kFromLookup, .fromStatic = GL::kFromStatic,
    .fromFirst = 1210, .fromPrior = 1212, .fromNext = 1211, .fromLast = 1213,
    .to = GL::kTo, .toEntered = 1217, .toLookup = GL::kToLookup, .toStatic = GL::kToStatic,
    .toFirst = 1218, .toPrior = 1220, .toNext = 1219, .toLast = 1221,
    .dateFrom = GL::kDateFrom, .dateFromEntered = 1224, .dateTo = GL::kDateTo, .dateToEntered = 1226,
    .leaveFirst = 1230, .labelFirst = 1302};

}  // namespace

TWEtaModGrandsLivres::TWEtaModGrandsLivres(gui::MDIClient* client)
    : TWEtaModAccountRange(client, kGeneralLedgersWindow, 7, 8, kLedgerRangeIds) {
  kindLabel_ = new MStatic(this, FormText(kTxtLedgers), 1301);
  kind_ = new MComboBox(this, kKind, 1, 1);
  euros_ = new MCheckBox(this, kEuros, FormText(kTxtEuros), 1);
  MakeRangeControls(FormText(kTxtOtherLedgers));
  subtotals_ = new MCheckBox(this, kSubtotals, FormText(kTxtSubtotals), 1);
  prior_ = new MCheckBox(this, kPrior, FormText(kTxtPrior), 1);
  letteringLabel_ = new MStatic(this, FormText(kTxtLettering), 1307);
  lettering_ = new MComboBox(this, kLettering, 1, 1);
}

const gui::ResponseTable& TWEtaModGrandsLivres::Table() {
  static const gui::ResponseTable table = [] {
    gui::ResponseTable t(&TWEtaModLedger::Table());
    return AddRangeCommands(t, kLedgerRangeIds);
  }();
  return table;
}

void TWEtaModGrandsLivres::SetupWindow() {
  TWEtaModLedger::SetupWindow();
  SetFonts({subtotals_});
  SetUpRange(LedgerKindEntries(TheDossierRecord));
  // No general ledger reads monthly subtotals (they are the account statement's): the box is
  // shown for what it is, unchecked and disabled.
  subtotals_->SetValue(false, true);
  subtotals_->EnableWindow(false);
  const std::vector<std::string> entries = MatchingEntries();
  for (std::size_t i = 0; i < 3 && i < entries.size(); ++i) lettering_->AddString(entries[i]);
  lettering_->SetValue("1", true);
  CmKindChanged();
}

void TWEtaModGrandsLivres::PlaceControls() {
  MoveFormControls(kindLabel_, 1, 1, 2, 1, kLabel, 0, 0);
  MoveFormControls(kind_, 3, 1, 3, 1, kText, ComboWidth(*kind_), 0);
  MoveFormControls(euros_, 7, 1, 1, 1, kText, 0, 0);
  PlaceRange(2);
  MoveFormControls(subtotals_, 3, 7, 2, 1, kText, 0, 0);
  MoveFormControls(prior_, 5, 7, 3, 1, kText, 0, 0);
  MoveFormControls(letteringLabel_, 1, 8, 2, 1, kLabel, 0, 0);
  MoveFormControls(lettering_, 3, 8, 5, 1, kText, ComboWidth(*lettering_), 0);
}

std::string TWEtaModGrandsLivres::ListText() const { return RTrim(list_->GetText().c_str()); }

void TWEtaModGrandsLivres::CmKindChanged() {
  const char k = Kind();
  const std::string c032 = TheDossierRecord.Constant(32);
  if (k == '(' && !c032.empty() && c032[0] == 'O') {
    prior_->SetValue(false, false);
    prior_->EnableWindow(false);
  } else {
    prior_->EnableWindow(true);
  }
  ApplyKindToCodes(k);
}

bool TWEtaModGrandsLivres::CheckList(bool focusNext) {
  const CodeCheck c = ledgers::CheckCollectives(Kind(), list_->GetText(), *TableC10);
  listStatic_->SetText(c.staticText);
  if (c.emptied) list_->SetValue("", false);
  if (!c.ok) return Refuse(list_, focusNext);
  if (focusNext) Focus(from_);
  return true;
}

void TWEtaModGrandsLivres::CmDateFromEntered() {
  CheckDateFrom(true);
  if (PriorCumulationAfterDateFrom(dateFrom_->GetText(), TheDossierRecord, AnalyticDossier(), false, true) &&
      prior_->IsWindowEnabled())
    prior_->SetValue(true, false);
}

int TWEtaModGrandsLivres::Check() {
  if (NoCheckFlag) return kCheckClose;
  return CheckRange() ? kCheckClose : kCheckInvalid;
}

GeneralLedgerForm TWEtaModGrandsLivres::Form() {
  GeneralLedgerForm f;
  f.kind = Kind();
  f.collectives = list_->GetText();
  f.accountFrom = from_->GetText();
  f.accountTo = to_->GetText();
  f.dateFrom = dateFrom_->GetText();
  f.dateTo = dateTo_->GetText();
  f.priorCumulation = Checked(prior_);
  const std::string v = lettering_->GetValue();
  f.letteringFilter = v.empty() ? '1' : v[0];
  f.inEuros = Checked(euros_);
  return f;
}

std::string TWEtaModGrandsLivres::BuildLimits() { return BuildGeneralLedgerLimits(Form(), TheDossierRecord); }

// ---------------------------------------------------------------------------------------
// Journal listings

TWEtaModJournaux::TWEtaModJournaux(gui::MDIClient* client) : TWEtaModLedger(client, kJournalsWindow, 7, 6) {
  journals_ = new MListBox(this, kJournals);
  months_ = new MListBox(this, kMonths);
  summary_ = new MCheckBox(this, kSummary, FormText(kTxtSummary), 1);
  analytic_ = new MCheckBox(this, kAnalytic, FormText(kTxtAnalyticJournals), 1);
  euros_ = new MCheckBox(this, kEuros, FormText(kTxtEuros), 1);
  // A double click in either list is "Visualiser".
  journals_->SetNotify(this, form_cmd::Visualiser, 0, 0);
  months_->SetNotify(this, form_cmd::Visualiser, 0, 0);
}

void TWEtaModJournaux::SetupWindow() {
  TWEtaModLedger::SetupWindow();
  SetFonts({months_, summary_, analytic_, euros_});
  journals_->SetFont(EntryFontFixed);
  std::size_t longest = 0;
  const std::vector<std::string> journals = JournalLines(*TableC10);
  for (const std::string& line : journals) {
    const std::size_t tab = line.find('\t');
    if (tab != std::string::npos) longest = std::max(longest, std::string(RTrim(line.substr(0, tab).c_str())).size());
    journals_->AddString(line);
  }
  const int unit = EntryCharWidth > 0 ? EntryCharWidth : 7;
  journals_->SetTabStop(static_cast<int>(longest + 1) * unit);
  journals_->SetSelIndex(journals_->GetCount() - 1);
  for (const std::string& line : JournalMonthLines(TheDossierRecord)) months_->AddString(line);
  months_->SetSelIndex(months_->GetCount() - 1);
  summary_->SetValue(false, true);
  analytic_->SetValue(false, true);
  if (!AnalyticDossier()) analytic_->Show(gui::SW_HIDE);
  SetUpEuroBox(euros_);
}

void TWEtaModJournaux::PlaceControls() {
  MoveFormControls(journals_, 1, 1, 3, 5, grid::Fill, 0, 0);
  MoveFormControls(months_, 4, 1, 2, 5, grid::Fill, 0, 0);
  MoveFormControls(summary_, 1, 6, 2, 1, kText, 0, 0);
  MoveFormControls(analytic_, 3, 6, 2, 1, kText, 0, 0);
  MoveFormControls(euros_, 5, 6, 2, 1, kText, 0, 0);
}

void TWEtaModJournaux::EvSetFocus(gui::Handle lost) {
  CMDIModif::EvSetFocus(lost);
  if (!FocusCalculatorEdit() && journals_->IsWindowEnabled()) journals_->SetFocus();
}

std::string TWEtaModJournaux::BuildLimits() {
  JournalForm f;
  const int m = months_->GetSelIndex(), j = journals_->GetSelIndex();
  f.monthLine = m >= 0 ? months_->GetString(m) : Str(kStrAllMonths);
  f.journalLine = j >= 0 ? journals_->GetString(j) : Str(kStrAllJournals);
  f.summary = Checked(summary_);
  f.analytic = Checked(analytic_);
  f.inEuros = Checked(euros_);
  return BuildJournalListingLimits(f, TheDossierRecord);
}
