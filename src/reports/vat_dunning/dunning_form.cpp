#include "reports/vat_dunning/dunning_form.h"

#include <algorithm>

#include "controls/control_env.h"
#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "data/dossier_files.h"
#include "data/error_report.h"
#include "data/record_fields.h"
#include "data/session.h"
#include "platform/gui/application.h"
#include "platform/gui/combobox.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/messagebox.h"
#include "reports/engine/report_window.h"
#include "reports/vat_dunning/dunning_window.h"
#include "runtime/dates.h"
#include "runtime/dossier_record.h"
#include "runtime/numbers.h"
#include "runtime/session_registry.h"
#include "runtime/access_rights.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "resources/command_ids.h"
#include "resources/string_table.h"
#include "shell/graphics.h"
#include "shell/registry.h"
#include "shell/toolbar.h"

using namespace dunning_form;

namespace {

constexpr int kLabelsListSlot = 157;
// Checks without moving the focus (the lookups post them back).
constexpr unsigned kCheckFirstHere = 1231, kCheckLastHere = 1232, kCheckFirstDateHere = 1233,
                   kCheckLastDateHere = 1234, kCheckLabelsHere = 1236, kToLabels = 1226;
// The labels of the fields: their controls and their texts.
constexpr int kLabelIds[9] = {1240, 1241, 1242, 1243, 1244, 1245, 1246, 1247, 1248};
constexpr int kLabelFirstAccount = 19754;  // "Compte début"
constexpr int kLabelLastAccount = 19756;   // "Compte fin"
constexpr int kLabelFirstDate = 19745;     // "Date début"
constexpr int kLabelLastDate = 19746;      // "Date fin"
constexpr int kLabelLettering = 19749;     // "&Lettrages"
constexpr int kLabelSense = 27037;         // "Débit/Crédit"
constexpr int kLabelMinimum = 27038;       // "Montant mini"
constexpr int kLabelLabels = 27039;        // "Code Libellés"
constexpr int kLabelTexts[8] = {kLabelFirstAccount, kLabelLastAccount, kLabelFirstDate, kLabelLastDate,
                                kLabelLettering,    kLabelSense,       kLabelMinimum,   kLabelLabels};
// The check boxes, the lookups' tips.
constexpr int kLabelDueTest = 27034;
constexpr int kLabelStatement = 27036;
constexpr int kLabelInEuros = 19744;       // "En Eur&os"
constexpr int kTipFirstLookup = 19755;
constexpr int kTipLastLookup = 19757;
constexpr int kTipLabelLookup = 23053;
// The choices of the lettering (the three first of the ledgers' filters) and of the sense.
constexpr int kLetteringChoiceFirst = 19721;
constexpr int kLetteringChoiceCount = 3;
constexpr int kSenseDebit = 66, kSenseCredit = 67, kSenseAll = 19726;
// The form's caption: the customers' letters or the suppliers' payments.
constexpr int kCaptionCustomers = 27001, kCaptionSuppliers = 27002;
// An account's balance (%s: the amount, in euros or francs), the last account before the first, a bound that
// stands for the accounts beginning with it (%s: the bound).
constexpr int kBalanceEuros = 23804, kBalanceFrancs = 23805;
constexpr int kLabelError = 19738;         // "Erreur"
constexpr int kUpToBound = 19737;          // "Jusqu'à '%s'"

std::string StoredOf(const std::string& display) {
  Ymd d;
  return ParseDisplayDate(display, d) ? StoredDateOf(d) : std::string();
}

// An account as the form looks it up: blanks after a code beginning with a letter (or any
// character from "A" on), zeros after a general account's digits.
std::string PaddedAccount(const std::string& code) {
  std::string p = code.substr(0, 8);
  const char fill = static_cast<unsigned char>(p[0]) >= 'A' ? ' ' : '0';
  p.resize(8, fill);
  return p;
}

}  // namespace

TWEtaModRelances::TWEtaModRelances(gui::MDIClient* client, const std::string& title)
    : CMDIModif(client, title, 6, 8, kDunningFormSlot, 11, kDunningWindowSlot) {
  SetAccelerators(kReportLimitsAccelerators);
  for (int i = 0; i < 8; ++i) {
    labels_texts_[i] = new MStatic(this, LoadStr(kLabelTexts[i]), kLabelIds[i]);
    labels_texts_[i]->SetFlags(labels_texts_[i]->Flags() | gui::ctl::Right);
  }
  auto edit = [this](int id, int width, unsigned enter, int kind) {
    auto* e = new MEdit(this, id, width, static_cast<int>(enter), kind, kind == MEdit::kAmount ? 2 : 0, false);
    e->SetNotifyWindow(this);
    return e;
  };
  first_ = edit(kFirstAccount, 8, kCheckFirst, MEdit::kText);
  first_->SetKeyCommands(kFirstPrior, kFirstNext, kFirstFirst, kFirstLast, 0, 0);
  first_->SetF8Command(kFirstLookup);
  firstLookup_ = new MButton(this, kFirstLookup, "?");
  firstBalance_ = new MStatic(this, "", kFirstBalance);
  last_ = edit(kLastAccount, 8, kCheckLast, MEdit::kText);
  last_->SetKeyCommands(kLastPrior, kLastNext, kLastFirst, kLastLast, 0, 0);
  last_->SetF8Command(kLastLookup);
  lastLookup_ = new MButton(this, kLastLookup, "?");
  lastBalance_ = new MStatic(this, "", kLastBalance);
  firstDate_ = edit(kFirstDate, 8, kCheckFirstDate, MEdit::kDate);
  lastDate_ = edit(kLastDate, 8, kCheckLastDate, MEdit::kDate);
  dueTest_ = new MCheckBox(this, kDueTest, LoadStr(kLabelDueTest), 1);
  letters_ = new MComboBox(this, kLetters, 1, 1);
  statement_ = new MCheckBox(this, kStatement, LoadStr(kLabelStatement), 1);
  sense_ = new MComboBox(this, kSense, 1, 1);
  minimum_ = edit(kMinimum, 10, kToLabels, MEdit::kAmount);
  labels_ = edit(kLabels, 10, kCheckLabels, MEdit::kText);
  labels_->SetF8Command(kLabelLookup);
  labelLookup_ = new MButton(this, kLabelLookup, "?");
  euros_ = new MCheckBox(this, kEuros, LoadStr(kLabelInEuros), 1);
}

TWEtaModRelances::~TWEtaModRelances() {
  // Closing the form closes its report window.
  if (RegistryChar(kDunningWindowSlot) == '1') {
    const gui::Handle window = SlotHandle(kDunningWindowSlot);
    if (window != 0) gui::PostMessage(window, gui::WM_CLOSE);
  }
}

const gui::ResponseTable& TWEtaModRelances::Table() {
  static const gui::ResponseTable table =
      gui::ResponseTable(&CMDIModif::Table())
          .CommandRange(kEuros, kCheckLabelsHere, &TWEtaModRelances::FormCommand)
          .Command(dunning_cmd::Clients, &TWEtaModRelances::CmClients)
          .Command(dunning_cmd::Fournisseurs, &TWEtaModRelances::CmFournisseurs)
          .Command(dunning_cmd::Visualiser, &TWEtaModRelances::CmVisualiser)
          .Command(dunning_cmd::Imprimer, &TWEtaModRelances::CmImprimer)
          .Command(child_command::Quitter, &TWEtaModRelances::CmQuitterForm)
          .Enable(dunning_cmd::Visualiser, &TWEtaModRelances::CeIdle)
          .Enable(dunning_cmd::Imprimer, &TWEtaModRelances::CeIdle);
  return table;
}

void TWEtaModRelances::FormCommand(unsigned id) {
  switch (id) {
    case kEuros: CmEuros(); break;
    // The chart's list answers with the lookup command itself: the lookup then takes the code
    // chosen there into the field and shows that account's balance.
    case kFirstLookup: Lookup(first_, firstBalance_, kFirstLookup); break;
    case kLastLookup: Lookup(last_, lastBalance_, kLastLookup); break;
    case kCheckFirst: CheckFirstAccount(true); break;
    case kCheckLast: CheckLastAccount(true); break;
    case kCheckFirstDate: CheckFirstDate(true); break;
    case kCheckLastDate: CheckLastDate(true); break;
    case kCheckLabels: CheckLabels(true); break;
    case kCheckFirstHere: CheckFirstAccount(false); break;
    case kCheckLastHere: CheckLastAccount(false); break;
    case kCheckFirstDateHere: CheckFirstDate(false); break;
    case kCheckLastDateHere: CheckLastDate(false); break;
    case kCheckLabelsHere: CheckLabels(false); break;
    case kToLabels: labels_->FocusSelect(true); break;
    case kFirstFirst: Step(first_, firstBalance_, 0, false); break;
    case kFirstPrior: Step(first_, firstBalance_, 1, false); break;
    case kFirstNext: Step(first_, firstBalance_, 2, false); break;
    case kFirstLast: Step(first_, firstBalance_, 3, false); break;
    case kLastFirst: Step(last_, lastBalance_, 0, true); break;
    case kLastPrior: Step(last_, lastBalance_, 1, true); break;
    case kLastNext: Step(last_, lastBalance_, 2, true); break;
    case kLastLast: Step(last_, lastBalance_, 3, true); break;
    case kLabelLookup: LabelLookup(); break;
    default: break;  // 1235 does nothing; the controls' own notifications
  }
}

void TWEtaModRelances::SetupWindow() {
  CMDIModif::SetupWindow();
  ContextCommands = {3, child_command::Quitter, dunning_cmd::Clients, dunning_cmd::Fournisseurs};
  BuildToolbar(ContextCommands, true);
  c10_.OpenShared(PathC10(), "C10CODE", true);
  c20_.OpenShared(PathC20(), "C20CODE", true);
  // The steps of the account fields walk the program's chart cursor.
  if (TableC20 != nullptr && !TableC20->isOpen) TableC20->UseShared(PathC20(), "C20CODE");
  for (gui::Control* w : std::initializer_list<gui::Control*>{first_, last_, firstDate_, lastDate_, minimum_, labels_,
                                                            firstBalance_, lastBalance_, letters_, sense_, dueTest_,
                                                            statement_, euros_, firstLookup_, lastLookup_,
                                                            labelLookup_})
    w->SetFont(EntryFont);
  for (MStatic* s : labels_texts_)
    if (s != nullptr) s->SetFont(EntryFont);
  firstLookup_->SetTip(LoadStr(kTipFirstLookup));
  lastLookup_->SetTip(LoadStr(kTipLastLookup));
  labelLookup_->SetTip(LoadStr(kTipLabelLookup));
  for (int k = 0; k < kLetteringChoiceCount; ++k) letters_->AddString(LoadStr(kLetteringChoiceFirst + k));
  for (int id : {kSenseDebit, kSenseCredit, kSenseAll}) sense_->AddString(LoadStr(id));
  const bool euroOnly = TheDossierRecord.At(DossierRecord::kEuroMainPos) == 'O' &&
                        std::string(TheDossierRecord.Constant(kEuroOnlyConstant)).substr(0, 1) == "O";
  euros_->SetValue(TheDossierRecord.At(DossierRecord::kEuroMainPos) != 'N', true);
  if (euroOnly) euros_->Show(gui::SW_HIDE);
  statement_->SetValue(true, true);
  letters_->SetValue("2", true);
  first_->SetValue("", true);
  last_->SetValue("", true);
  SetMode(false);
  first_->FocusSelect(true);
}

void TWEtaModRelances::ArrangeControls() {
  // A wider window leaves room at the right instead of spreading the columns (a column keeps room
  // for a code's edit and its lookup button; the base keeps the rows one line high).
  ColumnWidth = std::min(ColumnWidth, std::max(MinColumnWidth, 18 * (EntryCharWidth > 0 ? EntryCharWidth : 7)));
  // Edits as wide as their text (a code, a date, an amount), each lookup button just after its
  // edit, and every row one line high so that the eight rows fit the form.
  constexpr int kCodeWidth = 9, kDateWidth = 8, kAmountWidth = 10;
  const auto field = [this](gui::Window* w, int c, int r, int nc, int width) {
    MoveFormControls(w, c, r, nc, 1, grid::Text, width, 0);
  };
  const auto lookupAfter = [this](gui::Window* button, int c, int r, int width) {
    const GridBox b = ComputeGridBox(Metrics(), c, r, 1, 1, grid::Text, width, 0);
    const int h = b.bottom - b.top + 1;
    button->MoveWindow(gui::Rect{b.right + 5 + 3 - ScrollX(), b.top - ScrollY(), h + 4, h});
  };
  for (int r = 0; r < 8; ++r) {
    static constexpr int kRows[8] = {1, 2, 3, 3, 6, 7, 7, 8};
    static constexpr int kColumns[8] = {1, 1, 1, 4, 1, 1, 4, 1};
    MoveFormControls(labels_texts_[r], kColumns[r], kRows[r], 1, 1, grid::Label, 0, 0);
  }
  field(first_, 2, 1, 1, kCodeWidth);
  lookupAfter(firstLookup_, 2, 1, kCodeWidth);
  MoveFormControls(firstBalance_, 3, 1, 4, 1, grid::Label, 0, 0);
  field(last_, 2, 2, 1, kCodeWidth);
  lookupAfter(lastLookup_, 2, 2, kCodeWidth);
  MoveFormControls(lastBalance_, 3, 2, 4, 1, grid::Label, 0, 0);
  field(firstDate_, 2, 3, 1, kDateWidth);
  field(lastDate_, 5, 3, 1, kDateWidth);
  field(dueTest_, 2, 4, 4, 0);
  field(statement_, 2, 5, 4, 0);
  field(letters_, 2, 6, 3, 0);
  field(sense_, 2, 7, 1, kAmountWidth);
  field(minimum_, 5, 7, 1, kAmountWidth);
  field(labels_, 2, 8, 1, kAmountWidth);
  lookupAfter(labelLookup_, 2, 8, kAmountWidth);
  field(euros_, 5, 8, 2, 0);
}

void TWEtaModRelances::Focus(gui::Window* w) {
  if (auto* e = dynamic_cast<MEdit*>(w)) e->FocusSelect(true);
  else if (w != nullptr) w->SetFocus();
}

void TWEtaModRelances::ResetDates() {
  firstDate_->SetValue(TheDossierRecord.DateDisplay(DossierRecord::DateField::YearStart), false);
  lastDate_->SetValue(TheDossierRecord.DateDisplay(DossierRecord::DateField::Working), false);
}

void TWEtaModRelances::SetMode(bool supplier) {
  supplier_ = supplier;
  SetCaption(LoadStr(supplier ? kCaptionSuppliers : kCaptionCustomers));
  const char letter = supplier ? 'F' : 'C';
  // The first account of the mode's letter; with none, the account fields stay as they were.
  const ::Lookup first = c20_.isOpen ? c20_.FindNotBelow("C20CODE", std::string(1, letter).c_str()) : ::Lookup::NotFound();
  Unread(c20_, first);
  if (first.IsFound()) {
    ::Lookup live = c20_.LiveHere();
    while (!c20_.eof && live.IsNotFound()) {
      c20_.SkipActive(true);
      live = c20_.LiveHere();
    }
    // A proposal only: an account whose mark is not read is said and none is proposed.
    if (!Unread(c20_, live) && !c20_.eof && c20_.GetField(1)[0] == letter) {
      first_->SetValue(RTrim(c20_.GetField(1)), false);
      last_->SetValue(std::string(1, letter) + "ZZZZZZZ", false);
      ShowBalance(firstBalance_, PadRight(c20_.GetField(1), 8));
      lastBalance_->SetText("");
    }
  }
  sense_->SetValue(LoadStr(supplier ? kSenseCredit : kSenseDebit), false);
  ResetDates();
  dueTest_->SetValue(true, false);
  minimum_->SetValue("10", false);
}

void TWEtaModRelances::ShowBalance(MStatic* label, const std::string& code) {
  ::Lookup found = c20_.isOpen ? c20_.Find("C20CODE", code.c_str()) : ::Lookup::NotFound();
  if (found.IsFound()) found = c20_.LiveHere();
  if (Unread(c20_, found)) {
    label->SetText(LoadStr(kLabelError));
    return;
  }
  if (found.IsNotFound()) {
    label->SetText("???");
    return;
  }
  const bool euro = euros_->IsChecked();
  const long long balance = StoredAmountOf(c20_, euro ? 18 : 17) - StoredAmountOf(c20_, euro ? 20 : 19);
  label->SetText(FillPlaceholder(LoadStr(euro ? kBalanceEuros : kBalanceFrancs), BalanceAmount(balance)));
}

bool TWEtaModRelances::Unread(const ::Table& table, const ::Lookup& found) {
  if (!found.IsRefused()) return false;
  gui::MessageBox(this, UnreadText(table.tablePath, found.result()), GetCaption(), gui::MB_OK | gui::MB_ICONSTOP);
  return true;
}

bool TWEtaModRelances::CheckAccount(MEdit* edit, MStatic* balance, unsigned lookup, bool last) {
  std::string text = RTrim(edit->GetValue().c_str());
  const char lookupChar = ProgramOptionAt(4);
  const std::size_t at = lookupChar == ' ' ? std::string::npos : text.find(lookupChar);
  if (at != std::string::npos && at < 9) {
    edit->SetValue(text.substr(0, at), false);
    gui::PostCommand(GetHandle(), lookup);
    return false;
  }
  if (IsBlank(text.c_str())) {
    balance->SetText("");
    return true;
  }
  const std::string padded = PaddedAccount(text);
  if (!(text[0] >= 'A' && text[0] <= 'Z')) edit->SetValue(padded, false);
  if (last && padded < PadRight(first_->GetValue(), 8)) {
    gui::MessageBeep(0);
    balance->SetText(LoadStr(kLabelError));
    return false;
  }
  const ::Lookup found = c20_.isOpen ? c20_.Find("C20CODE", padded.c_str()) : ::Lookup::NotFound();
  if (Unread(c20_, found)) {
    balance->SetText(LoadStr(kLabelError));
    return false;
  }
  const ::Lookup live = found.IsFound() ? c20_.MatchRecordKey(padded.c_str(), 8, 1).AsLive() : found;
  if (Unread(c20_, live)) {
    balance->SetText(LoadStr(kLabelError));
    return false;
  }
  if (live.IsFound()) {
    ShowBalance(balance, padded);
    return true;
  }
  const std::string trimmed = RTrim(padded.c_str());
  // The bound the form proposes itself ("CZZZZZZZ", "FZZZZZZZ") is no account and no account's
  // prefix: it stands for every account of its letter.
  const bool letterBound = last && trimmed.size() == 8 && trimmed.find_first_not_of('Z', 1) == std::string::npos;
  const ::Lookup begun = letterBound || !c20_.isOpen ? ::Lookup::NotFound() : c20_.Find("C20CODE", trimmed.c_str());
  if (Unread(c20_, begun)) {
    balance->SetText(LoadStr(kLabelError));
    return false;
  }
  if (letterBound || begun.IsFound()) {
    balance->SetText(FillPlaceholder(LoadStr(kUpToBound), trimmed));
    return true;
  }
  gui::MessageBeep(0);
  balance->SetText("???");
  return false;
}

bool TWEtaModRelances::CheckFirstAccount(bool moveOn) {
  const bool ok = CheckAccount(first_, firstBalance_, kFirstLookup, false);
  Focus(ok && moveOn ? last_ : (ok ? nullptr : first_));
  return ok;
}

bool TWEtaModRelances::CheckLastAccount(bool moveOn) {
  const bool ok = CheckAccount(last_, lastBalance_, kLastLookup, true);
  Focus(ok && moveOn ? firstDate_ : (ok ? nullptr : last_));
  return ok;
}

bool TWEtaModRelances::CheckFirstDate(bool moveOn) {
  const std::string text = RTrim(firstDate_->GetValue().c_str());
  const std::string stored = StoredOf(text);
  const bool ok = !stored.empty() && stored >= TheDossierRecord.DateStored(DossierRecord::DateField::YearStart) &&
                  stored <= TheDossierRecord.DateStored(DossierRecord::DateField::YearEnd);
  if (!ok) {
    if (IsBlank(text.c_str()))
      firstDate_->SetValue(TheDossierRecord.DateDisplay(DossierRecord::DateField::YearStart), false);
    gui::MessageBeep(0);
  }
  Focus(ok && moveOn ? lastDate_ : (ok ? nullptr : firstDate_));
  return ok;
}

bool TWEtaModRelances::CheckLastDate(bool moveOn) {
  const std::string text = RTrim(lastDate_->GetValue().c_str());
  const std::string stored = StoredOf(text);
  const std::string first = StoredOf(RTrim(firstDate_->GetValue().c_str()));
  const bool ok = !stored.empty() && stored >= TheDossierRecord.DateStored(DossierRecord::DateField::YearStart) &&
                  stored <= TheDossierRecord.DateStored(DossierRecord::DateField::YearEnd) && stored >= first;
  if (!ok) {
    if (IsBlank(text.c_str()))
      lastDate_->SetValue(TheDossierRecord.DateDisplay(DossierRecord::DateField::YearEnd), false);
    gui::MessageBeep(0);
  }
  Focus(ok && moveOn ? static_cast<gui::Window*>(dueTest_) : (ok ? nullptr : lastDate_));
  return ok;
}

bool TWEtaModRelances::CheckLabels(bool moveOn) {
  const std::string text = RTrim(labels_->GetValue().c_str());
  for (char c : text) {
    const ::Lookup found = c10_.isOpen ? c10_.Find("C10CODE", "L", std::string(1, c).c_str()) : ::Lookup::NotFound();
    const ::Lookup live = found.IsFound() ? c10_.MatchRecordKey((std::string("L") + c).c_str(), 2, 1, 2).AsLive() : found;
    if (live.IsFound()) continue;
    if (!Unread(c10_, live)) gui::MessageBeep(0);
    Focus(labels_);
    return false;
  }
  if (moveOn) Focus(first_);
  return true;
}

int TWEtaModRelances::Check() {
  if (NoCheckFlag) return kCheckClose;
  if (!CheckFirstAccount(true) || !CheckLastAccount(true) || !CheckFirstDate(true) || !CheckLastDate(true) ||
      !CheckLabels(true))
    return kCheckInvalid;
  return IsModified() ? kCheckSave : kCheckClose;
}

bool TWEtaModRelances::CanClose() {
  AskOnClose = false;
  const bool noCheck = NoCheckFlag;
  NoCheckFlag = true;
  if (CMDIModif::CanClose()) return true;
  // Refused (a run in progress): the next "Visualiser" or "Imprimer" still checks the fields.
  NoCheckFlag = noCheck;
  return false;
}

void TWEtaModRelances::CeIdle(gui::CommandEnabler& ce) { CeEnableIfIdle(*this, ce); }
void TWEtaModRelances::CmQuitterForm() { CmCloseIfIdle(*this); }

std::string TWEtaModRelances::OptionsText() {
  dunning::FormOptions f;
  f.firstAccount = first_->GetValue();
  f.lastAccount = last_->GetValue();
  f.firstDate = firstDate_->GetValue();
  f.lastDate = lastDate_->GetValue();
  f.dueDateTest = dueTest_->IsChecked();
  const std::string letters = letters_->GetValue();
  f.letterFilter = letters.empty() ? ' ' : letters[0];
  f.statement = statement_->IsChecked();
  f.minimum = minimum_->GetValue();
  const std::string sense = sense_->GetValue();
  f.sense = sense.empty() ? ' ' : sense[0];
  f.labelCodes = labels_->GetValue();
  f.euros = euros_->IsChecked();
  return dunning::OptionsText(f);
}

void TWEtaModRelances::Send(unsigned command) {
  if (PrintRunFlag || IsIconic()) return;
  const int answer = Check();
  if (answer != kCheckSave && answer != kCheckClose) return;
  if (RegistryChar(kDunningWindowSlot) != '1') return;
  SetRegistryText(kDunningWindowSlot + 11, static_cast<int>(dunning::kOptionsLength), OptionsText());
  const gui::Handle window = SlotHandle(kDunningWindowSlot);
  if (window != 0) gui::SendCommand(window, command);
}

void TWEtaModRelances::CmEuros() {
  firstBalance_->SetText("");
  lastBalance_->SetText("");
}

void TWEtaModRelances::Lookup(MEdit* edit, MStatic* balance, unsigned returnCommand) {
  balance->SetText("");
  const char r = LookupC20Code(edit, returnCommand, balance);
  if (r == kLookupFound) {
    ShowBalance(balance, PaddedAccount(RTrim(edit->GetValue().c_str())));
    edit->FocusSelect(true);
  } else if (r == kLookupNone) {
    balance->SetText("???");
  }
}

void TWEtaModRelances::LabelLookup() {
  std::string chosen;
  LookupC10Code(nullptr, kCheckLabelsHere, "L", 1, command_id::DonneesLibelles, kLabelsListSlot, nullptr, &chosen);
  const std::string code = RTrim(chosen.c_str());
  if (!code.empty()) {
    const std::string text = labels_->GetValue();
    if (text.find(code) == std::string::npos) labels_->SetValue(RTrim(text.c_str()) + code, false);
    ::Lookup found = c10_.isOpen ? c10_.Find("C10CODE", "L", code.c_str()) : ::Lookup::NotFound();
    if (found.IsFound()) found = c10_.LiveHere();
    if (!Unread(c10_, found) && found.IsNotFound()) gui::MessageBeep(0);
  }
  labels_->FocusSelect(false);
}

void TWEtaModRelances::Step(MEdit* edit, MStatic* balance, int how, bool lastField) {
  if (lastField) {
    if (how == 0 && !IsBlank(first_->GetValue().c_str())) {
      last_->SetValue(first_->GetValue(), false);
      lastBalance_->SetText(firstBalance_->GetText());
      // As after a step: the next step goes on from this account.
      last_->StepFlag = true;
      return;
    }
    if (how != 0 && IsBlank(last_->GetValue().c_str())) last_->SetValue(first_->GetValue(), false);
  }
  bool ok = false;
  switch (how) {
    case 0: ok = FirstC20Code(edit, balance); break;
    case 1: ok = PriorC20Code(edit, balance); break;
    case 2: ok = NextC20Code(edit, balance); break;
    default: ok = LastC20Code(edit, balance); break;
  }
  if (ok) ShowBalance(balance, PaddedAccount(RTrim(edit->GetValue().c_str())));
}
