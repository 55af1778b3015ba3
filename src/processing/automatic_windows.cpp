#include <cstdlib>

#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "data/dossier_lock.h"
#include "data/entry_lines.h"
#include "data/session.h"
#include "data/table.h"
#include "framework/fmt_saisie.h"
#include "platform/gui/application.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/messagebox.h"
#include "posting/line_validation.h"
#include "processing/matching_windows.h"
#include "resources/string_table.h"
#include "runtime/access_rights.h"
#include "runtime/code_helpers.h"
#include "runtime/dossier_record.h"
#include "runtime/numbers.h"
#include "runtime/session_registry.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "shell/graphics.h"
#include "shell/mdi_client.h"
#include "shell/registry.h"
#include "shell/toolbar.h"

namespace {

constexpr int kAutomaticCaption = 29001;
constexpr int kLetterPrompt = 232;
constexpr int kManualCaption = 29002;
constexpr int kFormColumns = 10;
constexpr int kFormRows = 9;

// The texts of the form and its runs, by their ids in the string table.
constexpr int kLabelFirst = 29019;        // the five labels, "C&ompte début" to "Temps maxi mn"
constexpr int kLabelEuros = 19744;
constexpr int kHintStartLookup = 19755;
constexpr int kHintEndLookup = 19757;
constexpr int kTextPower = 23200;         // "%s montants": the amounts a group may hold
constexpr int kMsgConfirmMatching = 29003;
constexpr int kMsgMatchingDone = 29004;
constexpr int kMsgMatchingInterrupted = 29005;
constexpr int kMsgOutOfLetters = 29006;   // the accounts where the letters ran out
constexpr int kMsgConfirmRemove = 29007;  // the letter
constexpr int kTextSearching = 23201;
constexpr int kTextNothingToRemove = 23202;
constexpr int kMsgRemoved = 29008;        // the lines
constexpr int kTextRemoved = 23203;       // the lines
constexpr int kMsgConfirmCopy = 29009;
constexpr int kTextNothingToCopy = 23204;
constexpr int kMsgCopied = 29010;

// The automatic matching's control ids.
enum : int {
  kStartLabel = 1301, kEndLabel = 1302, kPowerLabel = 1303, kStageText = 1304, kDateLabel = 1305,
  kMinutesLabel = 1306, kStatusText = 1307, kCountText = 1308,
  kStartEdit = 1201, kStartLookup = 1202, kStartBalance = 1204, kEurosBox = 1205, kEndEdit = 1206,
  kEndLookup = 1207, kEndBalance = 1209, kPowerCombo = 1210, kDateEdit = 1211, kMinutesEdit = 1213,
  kStartCheck = 1203, kEndCheck = 1208, kDateCheck = 1212,
  kStartFirst = 1214, kStartNext = 1215, kStartPrior = 1216, kStartLast = 1217,
  kEndFirst = 1218, kEndNext = 1219, kEndPrior = 1220, kEndLast = 1221,
};

// An account code as typed, filled to 8: with "0" when it begins below "A", with blanks otherwise.
std::string FilledAccount(std::string code) {
  code = Trimmed(code);
  if (code.empty()) return code;
  code.resize(8, static_cast<unsigned char>(code[0]) < 'A' ? '0' : ' ');
  return code;
}

// The live account of the code made current: found, not found, or refused when it could not be read.
Lookup FindAccount(const std::string& code) {
  if (TableC20 == nullptr || !TableC20->isOpen) return Lookup::NotFound();
  Lookup found = TableC20->Find("C20CODE", code.c_str());
  if (found.IsFound()) found = found.And(std::string(TableC20->GetField(1)).substr(0, 8) == code);
  return found.IsFound() ? TableC20->LiveHere() : found;
}

// The form's date in the financial year: false when invalid or outside it.
bool DateInYear(const std::string& display, std::string& stored) {
  Ymd date, first, last;
  if (!ParseDisplayDate(display, date)) return false;
  stored = StoredDateOf(date);
  if (!TheDossierRecord.DateYmd(DossierRecord::DateField::YearStart, first) ||
      !TheDossierRecord.DateYmd(DossierRecord::DateField::YearEnd, last))
    return true;
  const long d = DaysFromCivil(date);
  return d >= DaysFromCivil(first) && d <= DaysFromCivil(last);
}

}  // namespace

// ---- the report window ---------------------------------------------------------------------------------------------

TWTraEtaLettrageAutomatique::TWTraEtaLettrageAutomatique(gui::MDIClient* client)
    : TWEtats(client, LoadStr(kAutomaticCaption), kAutomaticReportSlot, kAutomaticReportSlotLength,
              kAutomaticFormSlot) {}

TWTraEtaLettrageAutomatique::~TWTraEtaLettrageAutomatique() = default;

void TWTraEtaLettrageAutomatique::SetupWindow() {
  TWEtats::SetupWindow();
  // The six tables alone, in the dossier's folder: no other station reads them meanwhile.
  tablesOpen_ = TableC10->OpenExclusive(PathC10(), "C10CODE") && TableC20->OpenExclusive(PathC20(), "C20CODE") &&
                TableC30->OpenExclusive(PathC30(), "C30CODE") && TableC40->OpenExclusive(PathC40(), "C40CODE") &&
                TableC50->OpenExclusive(PathC50(), LigneEcriture::kCodeTag) &&
                TableC60->OpenExclusive(PathC60(), processing::kC60CodeTag);
  if (!tablesOpen_) {
    CloseAllTables();
    gui::PostMessage(GetHandle(), gui::WM_CLOSE);
    return;
  }
  RegisterWindowSlot(kAutomaticReportSlot, GetHandle());
}

void TWTraEtaLettrageAutomatique::CleanupWindow() {
  if (gui::Window* form = gui::Window::FromHandle(SlotHandle(kAutomaticFormSlot))) form->CloseWindow();
  // The dossier goes back to the other stations; it is checked again before the next command.
  CloseAllTables();
  ReleaseDossierExclusive();
  SetRegistryText(kAutomaticReportSlot, 1, " ");
  SetDossierState('2');
  TWEtats::CleanupWindow();
}

// ---- the form ------------------------------------------------------------------------------------------------------

TWTraModLettrageAutomatique::TWTraModLettrageAutomatique(gui::MDIClient* client)
    : CMDIModif(client, LoadStr(kAutomaticCaption), kFormColumns, kFormRows, kAutomaticFormSlot,
                kAutomaticFormSlotLength, kAutomaticReportSlot) {
  AskOnClose = false;
  const int labelIds[] = {kStartLabel, kEndLabel, kPowerLabel, kDateLabel, kMinutesLabel};
  for (int i = 0; i < 5; ++i) labels_[i] = new MStatic(this, LoadStr(kLabelFirst + i), labelIds[i]);
  start_ = new MEdit(this, kStartEdit, 8, 1, MEdit::kText, 0, false);
  startLookup_ = new MButton(this, kStartLookup, "?");
  startBalance_ = new MStatic(this, "", kStartBalance);
  end_ = new MEdit(this, kEndEdit, 8, 1, MEdit::kText, 0, false);
  endLookup_ = new MButton(this, kEndLookup, "?");
  endBalance_ = new MStatic(this, "", kEndBalance);
  power_ = new MComboBox(this, kPowerCombo, 12, 1);
  stage_ = new MStatic(this, "", kStageText);
  date_ = new MEdit(this, kDateEdit, 8, 1, MEdit::kDate, 0, false);
  minutes_ = new MEdit(this, kMinutesEdit, 3, 1, MEdit::kUnsigned, 0, false);
  euros_ = new MCheckBox(this, kEurosBox, LoadStr(kLabelEuros), 1);
  status_ = new MStatic(this, "", kStatusText);
  count_ = new MStatic(this, "", kCountText);
  status_->SetFlags(status_->Flags() | gui::ctl::Center);
  count_->SetFlags(count_->Flags() | gui::ctl::Center);
  for (MEdit* e : {start_, end_, date_, minutes_}) e->SetNotifyWindow(this);
  // Page Up, Page Down, Ctrl+Page Up, Ctrl+Page Down step through the chart; Enter checks the field.
  start_->SetKeyCommands(kStartPrior, kStartNext, kStartFirst, kStartLast, 0, 0);
  end_->SetKeyCommands(kEndPrior, kEndNext, kEndFirst, kEndLast, 0, 0);
  start_->SetEnterAction(kStartCheck);
  end_->SetEnterAction(kEndCheck);
  date_->SetEnterAction(kDateCheck);
  ContextCommands = {6, form_cmd::Quitter, matching_cmd::Lettrer, matching_cmd::DeLettrer, matching_cmd::ProchaineLettre,
                     matching_cmd::ComptesClients, matching_cmd::ComptesFournisseurs};
  if (!ConstantIs(kEuroOnlyConstant, 'O')) {
    ContextCommands.push_back(matching_cmd::CopierLettrages);
    ContextCommands[0] = 7;
  }
}

TWTraModLettrageAutomatique::~TWTraModLettrageAutomatique() {
  SetRegistryText(kAutomaticFormSlot, 1, " ");
  // Closing the form closes its report window, which gives the dossier back.
  if (RegistryChar(kAutomaticReportSlot) == '1') gui::PostMessage(SlotHandle(kAutomaticReportSlot), gui::WM_CLOSE);
}

void TWTraModLettrageAutomatique::SetupWindow() {
  CMDIModif::SetupWindow();
  BuildToolbar(ContextCommands, true);
  for (gui::Control* c : std::initializer_list<gui::Control*>{start_, end_, date_, minutes_, power_})
    c->SetFont(EntryFontFixed);
  startLookup_->SetTip(LoadStr(kHintStartLookup));
  endLookup_->SetTip(LoadStr(kHintEndLookup));
  // Euros unless the francs are the main currency; a dossier kept in euros alone hides the box.
  euros_->SetCheck(TheDossierRecord.At(DossierRecord::kEuroMainPos) != 'N' ? gui::BST_CHECKED : gui::BST_UNCHECKED);
  if (DossierIsEuroOnly()) {
    euros_->SetCheck(gui::BST_CHECKED);
    euros_->Show(gui::SW_HIDE);
  }
  std::string account = Trimmed(RegistryText(kRegistryLastAuxiliary, 8));
  if (account.empty()) account = Trimmed(RegistryText(kRegistryLastAccount, 8));
  start_->SetValue(account, true);
  end_->SetValue(account, true);
  for (int n = 2; n <= processing::MatchSearch::kMaxPower; ++n)
    power_->AddString(FillPlaceholder(LoadStr(kTextPower), Trimmed(FormatNumber(2, 0, false, n))));
  power_->SetValue(FillPlaceholder(LoadStr(kTextPower), "2"), true);
  date_->SetValue(TheDossierRecord.DateDisplay(DossierRecord::DateField::Working), true);
  minutes_->SetValue("10", true);
  letters_[0] = Trimmed(ConstantEntry(28));
  letters_[1] = Trimmed(ConstantEntry(29));
  start_->FocusSelect(true);
}

void TWTraModLettrageAutomatique::ArrangeControls() {
  MoveFormControls(labels_[0], 1, 1, 2, 1, grid::Label, 0, 0);
  MoveFormControls(start_, 3, 1, 2, 1, grid::Text, 9, 0);
  MoveFormControls(startLookup_, 5, 1, 1, 1, grid::Text, 1, 0);
  MoveFormControls(startBalance_, 6, 1, 5, 1, grid::Label, 0, 0);
  MoveFormControls(labels_[1], 1, 2, 2, 1, grid::Label, 0, 0);
  MoveFormControls(end_, 3, 2, 2, 1, grid::Text, 9, 0);
  MoveFormControls(endLookup_, 5, 2, 1, 1, grid::Text, 1, 0);
  MoveFormControls(endBalance_, 6, 2, 5, 1, grid::Label, 0, 0);
  MoveFormControls(labels_[2], 1, 4, 2, 1, grid::Label, 0, 0);
  MoveFormControls(power_, 3, 4, 3, 1, grid::Text, 14, 0);
  MoveFormControls(stage_, 6, 4, 1, 1, grid::Label, 0, 0);
  MoveFormControls(labels_[3], 1, 5, 2, 1, grid::Label, 0, 0);
  MoveFormControls(date_, 3, 5, 2, 1, grid::Text, 9, 0);
  MoveFormControls(labels_[4], 1, 6, 2, 1, grid::Label, 0, 0);
  MoveFormControls(minutes_, 3, 6, 2, 1, grid::Text, 4, 0);
  MoveFormControls(euros_, 6, 6, 3, 1, grid::Text, 12, 0);
  MoveFormControls(status_, 1, 8, 10, 1, grid::Label, 0, 0);
  MoveFormControls(count_, 1, 9, 10, 1, grid::Label, 0, 0);
}

const gui::ResponseTable& TWTraModLettrageAutomatique::Table() {
  using F = TWTraModLettrageAutomatique;
  static const gui::ResponseTable table = gui::ResponseTable(&CMDIModif::Table())
                                              .Command(matching_cmd::Lettrer, &F::CmLettrer)
                                              .Command(matching_cmd::ProchaineLettre, &F::CmProchaineLettre)
                                              .Command(matching_cmd::DeLettrer, &F::CmDeLettrer)
                                              .Command(matching_cmd::CopierLettrages, &F::CmCopierLettrages)
                                              .Command(matching_cmd::ComptesClients, &F::CmComptesClients)
                                              .Command(matching_cmd::ComptesFournisseurs, &F::CmComptesFournisseurs)
                                              .CommandRange(kStartLookup, kStartCheck, &F::CmAccountControl)
                                              .CommandRange(kEndLookup, kEndCheck, &F::CmAccountControl)
                                              .CommandRange(kDateCheck, kDateCheck, &F::CmAccountControl)
                                              .CommandRange(kStartFirst, kEndLast, &F::CmAccountControl)
                                              .Enable(matching_cmd::Lettrer, &F::CeLettrer)
                                              .Enable(matching_cmd::DeLettrer, &F::CeLettrer)
                                              .Enable(matching_cmd::CopierLettrages, &F::CeLettrer);
  return table;
}

int TWTraModLettrageAutomatique::Currency() const { return euros_->IsChecked() ? 1 : 0; }

bool TWTraModLettrageAutomatique::CheckAccount(MEdit* edit, gui::Static* balance, const std::string* start) {
  // The help character typed in the code asks for the chart's lookup with the text before it.
  const char opt = ProgramOption(4);
  const char help = opt == ' ' || opt == '\0' ? '*' : opt;
  const std::string typed = edit->GetValue();
  const std::size_t at = typed.find(help);
  if (at != std::string::npos) {
    edit->SetValue(typed.substr(0, at), false);
    gui::PostCommand(GetHandle(), static_cast<unsigned>(edit == start_ ? kStartLookup : kEndLookup));
    return false;
  }
  const std::string code = FilledAccount(typed);
  auto refuse = [&] {
    gui::MessageBeep(0);
    balance->SetText("???");
    edit->FocusSelect(true);
    return false;
  };
  if (code.empty()) return refuse();
  edit->SetValue(Trimmed(code), false);
  if (start != nullptr && code < *start) return refuse();
  if (start != nullptr && code == *start) {
    balance->SetText("");
    return true;
  }
  const Lookup account = FindAccount(code);
  if (account.IsRefused()) {
    // Not read is no account unknown: said so, the field kept for another try.
    gui::MessageBeep(0);
    balance->SetText("");
    gui::MessageBox(this, LoadStr(posting::kMsgAccountUnread), LoadStr(kAutomaticCaption), gui::MB_OK | gui::MB_ICONSTOP);
    edit->FocusSelect(true);
    return false;
  }
  if (account.IsNotFound()) return refuse();
  ShowAccountBalanceC20(balance, Currency() == 1);
  StoreSessionCode(code.c_str());
  return true;
}

int TWTraModLettrageAutomatique::Check() {
  if (NoCheckFlag) return kCheckClose;
  if (!CheckAccount(start_, startBalance_, nullptr)) return kCheckInvalid;
  const std::string start = FilledAccount(start_->GetValue());
  if (!CheckAccount(end_, endBalance_, &start)) return kCheckInvalid;
  std::string stored;
  if (!DateInYear(date_->GetValue(), stored)) {
    if (Trimmed(date_->GetValue()).empty())
      date_->SetValue(TheDossierRecord.DateDisplay(DossierRecord::DateField::YearStart), false);
    gui::MessageBeep(0);
    date_->FocusSelect(true);
    return kCheckInvalid;
  }
  if (std::atoi(minutes_->GetValue().c_str()) <= 0) {
    gui::MessageBeep(0);
    minutes_->FocusSelect(true);
    return kCheckInvalid;
  }
  return kCheckClose;
}

bool TWTraModLettrageAutomatique::CanClose() {
  NoCheckFlag = true;
  AskOnClose = false;
  return CMDIModif::CanClose();
}

void TWTraModLettrageAutomatique::CeLettrer(gui::CommandEnabler& ce) {
  ce.Enable(!PrintRunFlag && !IsIconic() && !Trimmed(start_->GetValue()).empty() &&
            !Trimmed(end_->GetValue()).empty());
}

void TWTraModLettrageAutomatique::Paint(gui::Static* s, const std::string& text) {
  s->SetText(text);
  s->UpdateWindow();
}

void TWTraModLettrageAutomatique::Status(const std::string& text) { Paint(status_, text); }
void TWTraModLettrageAutomatique::Stage(int size) { Paint(stage_, size > 0 ? FormatNumber(2, 0, false, size) : ""); }
void TWTraModLettrageAutomatique::MatchCount(long count) {
  Paint(count_, count > 0 ? Trimmed(FormatNumber(5, 0, false, static_cast<double>(count))) : "");
}

bool TWTraModLettrageAutomatique::Guarded(const processing::MatchTables& tables, const std::function<void()>& work) {
  std::string refusal;
  if (processing::RunMatchingGuarded(tables, work, &refusal)) return true;
  Status("");
  SetDossierState(' ');
  gui::MessageBox(this, refusal, LoadStr(kAutomaticCaption), gui::MB_OK | gui::MB_ICONSTOP);
  return false;
}

void TWTraModLettrageAutomatique::CmLettrer() {
  const int checked = Check();
  if (checked != kCheckSave && checked != kCheckClose) return;
  processing::AutomaticParameters p;
  p.currency = Currency();
  p.formLetter = letters_[p.currency];
  p.startAccount = FilledAccount(start_->GetValue());
  p.endAccount = FilledAccount(end_->GetValue());
  p.power = std::atoi(power_->GetValue().c_str());
  p.clock = processing::SteadyMatchClock();
  // The time the user takes to answer counts against the limit.
  p.deadline = p.clock() + static_cast<std::uint64_t>(std::atoi(minutes_->GetValue().c_str())) * 60000u;
  DateInYear(date_->GetValue(), p.dateLimit);
  if (gui::MessageBox(this, LoadStr(kMsgConfirmMatching), LoadStr(kAutomaticCaption),
                      gui::MB_YESNO | gui::MB_ICONINFORMATION | gui::MB_DEFBUTTON2) != gui::IDYES)
    return;
  SetDossierState('1');
  MatchCount(0);
  const processing::MatchTables tables{*TableC40, *TableC50, *TableC60};
  processing::AutomaticOutcome out;
  if (!Guarded(tables, [&] { out = processing::RunAutomaticMatching(tables, p, this); })) return;
  std::string text = LoadStr(out.interrupted ? kMsgMatchingInterrupted : kMsgMatchingDone);
  if (!out.outOfLetters.empty()) {
    std::string accounts;
    for (const std::string& a : out.outOfLetters) accounts += (accounts.empty() ? "" : ", ") + Trimmed(a);
    text += FillPlaceholder(LoadStr(kMsgOutOfLetters), accounts);
  }
  gui::MessageBox(this, text, LoadStr(kAutomaticCaption), gui::MB_OK | gui::MB_ICONINFORMATION);
  Status("");
  Stage(0);
  MatchCount(0);
  SetDossierState(' ');
}

void TWTraModLettrageAutomatique::CmProchaineLettre() {
  const int c = Currency();
  currentLetter_ = letters_[c];
  for (;;) {
    std::string typed = currentLetter_;
    TDFmtSaisie dialog(this, TDFmtSaisie::kOkCancel, LoadStr(kLetterPrompt), &typed, true);
    dialog.SetCaption(LoadStr(kManualCaption));
    if (dialog.Execute(kTaskModal) != gui::IDOK) {
      currentLetter_.clear();
      return;
    }
    typed = Trimmed(typed);
    if (IsAlphaNumeric(typed.c_str())) {
      currentLetter_ = letters_[c] = typed;
      return;
    }
    gui::MessageBeep(0);
  }
}

void TWTraModLettrageAutomatique::SetControlsEnabled(bool enabled) {
  for (gui::Window* w : std::initializer_list<gui::Window*>{power_, date_, minutes_}) w->EnableWindow(enabled);
}

void TWTraModLettrageAutomatique::CmDeLettrer() {
  const int checked = Check();
  if (checked != kCheckSave && checked != kCheckClose) return;
  const int c = Currency();
  SetControlsEnabled(false);
  CmProchaineLettre();
  if (currentLetter_.empty()) {
    SetControlsEnabled(true);
    return;
  }
  std::string letter = currentLetter_;
  letter.resize(4, ' ');
  const int answer =
      gui::MessageBox(this, FillPlaceholder(LoadStr(kMsgConfirmRemove), letter), LoadStr(kAutomaticCaption),
                      gui::MB_YESNOCANCEL | gui::MB_ICONINFORMATION | gui::MB_DEFBUTTON3);
  if (answer != gui::IDYES && answer != gui::IDNO) {
    SetControlsEnabled(true);
    return;
  }
  SetDossierState('1');
  Status(LoadStr(kTextSearching));
  const processing::MatchTables tables{*TableC40, *TableC50, *TableC60};
  long count = 0;
  if (!Guarded(tables, [&] {
        count = processing::RemoveLetters(tables, c, FilledAccount(start_->GetValue()),
                                          FilledAccount(end_->GetValue()), answer == gui::IDYES, currentLetter_, this);
      })) {
    SetControlsEnabled(true);
    return;
  }
  const std::string n = Trimmed(FormatNumber(5, 0, false, static_cast<double>(count)));
  if (count == 0) Status(LoadStr(kTextNothingToRemove));
  gui::MessageBox(this, FillPlaceholder(LoadStr(kMsgRemoved), n), LoadStr(kAutomaticCaption),
                  gui::MB_OK | gui::MB_ICONINFORMATION);
  Status(FillPlaceholder(LoadStr(kTextRemoved), n));
  SetControlsEnabled(true);
  SetDossierState(' ');
}

void TWTraModLettrageAutomatique::CmCopierLettrages() {
  const int checked = Check();
  if (checked != kCheckSave && checked != kCheckClose) return;
  SetControlsEnabled(false);
  if (gui::MessageBox(this, LoadStr(kMsgConfirmCopy), LoadStr(kAutomaticCaption),
                      gui::MB_YESNO | gui::MB_ICONINFORMATION | gui::MB_DEFBUTTON2) != gui::IDYES) {
    SetControlsEnabled(true);
    return;
  }
  SetDossierState('1');
  Status(LoadStr(kTextSearching));
  const processing::MatchTables tables{*TableC40, *TableC50, *TableC60};
  long count = 0;
  if (!Guarded(tables, [&] {
        count = processing::CopyLetters(tables, Currency(), FilledAccount(start_->GetValue()),
                                        FilledAccount(end_->GetValue()), this);
      })) {
    SetControlsEnabled(true);
    return;
  }
  if (count == 0) Status(LoadStr(kTextNothingToCopy));
  gui::MessageBox(this, LoadStr(kMsgCopied), LoadStr(kAutomaticCaption), gui::MB_OK | gui::MB_ICONINFORMATION);
  Status("");
  SetControlsEnabled(true);
  SetDossierState(' ');
}

void TWTraModLettrageAutomatique::SetRange(char letter) {
  if (TableC20 == nullptr || !TableC20->isOpen) return;
  const std::string key(1, letter);
  // A range proposed only: not read, none is proposed and the fields stay as typed.
  if (!TableC20->FindNotBelow("C20CODE", key.c_str()).IsFound()) return;
  const Lookup live = TableC20->LiveHere();
  if (live.IsRefused() || (live.IsNotFound() && !TableC20->SkipActive(true))) return;
  const std::string code = RTrim(TableC20->GetField(1));
  if (code.empty() || code[0] != letter) return;
  start_->SetValue(code, true);
  end_->SetValue(std::string(1, letter) + "ZZZZZZZ", true);
}

void TWTraModLettrageAutomatique::CmAccountControl(unsigned id) {
  const bool euro = Currency() == 1;
  const bool onEnd = id == kEndLookup || id == kEndCheck || (id >= kEndFirst && id <= kEndLast);
  MEdit* edit = onEnd ? end_ : start_;
  gui::Static* balance = onEnd ? endBalance_ : startBalance_;
  switch (id) {
    case kStartLookup:
    case kEndLookup: {
      balance->SetText("");
      const char found = LookupC20Code(edit, onEnd ? kEndCheck : kStartCheck, balance);
      if (found == kLookupFound) {
        ShowAccountBalanceC20(balance, euro);
        StoreSessionCode(FilledAccount(edit->GetValue()).c_str());
        edit->FocusSelect(true);
      } else if (found == kLookupNone) {
        balance->SetText("???");
      }
      return;
    }
    case kStartCheck:
      if (CheckAccount(start_, startBalance_, nullptr)) end_->FocusSelect(true);
      return;
    case kEndCheck: {
      const std::string start = FilledAccount(start_->GetValue());
      if (CheckAccount(end_, endBalance_, &start)) power_->SetFocus();
      return;
    }
    case kDateCheck: {
      std::string stored;
      if (DateInYear(date_->GetValue(), stored)) {
        minutes_->FocusSelect(true);
      } else {
        gui::MessageBeep(0);
        date_->FocusSelect(true);
      }
      return;
    }
    case kEndFirst:
      // The end takes the start's account and its balance.
      if (!Trimmed(start_->GetValue()).empty()) {
        end_->SetValue(start_->GetValue(), false);
        endBalance_->SetText(startBalance_->GetText());
        return;
      }
      break;
    default:
      break;
  }
  // A blank end account steps from the start account.
  if (onEnd && Trimmed(end_->GetValue()).empty()) end_->SetValue(start_->GetValue(), false);
  bool found = false;
  switch (id) {
    case kStartFirst:
    case kEndFirst: found = FirstC20Code(edit, balance); break;
    case kStartNext:
    case kEndNext: found = NextC20Code(edit, balance); break;
    case kStartPrior:
    case kEndPrior: found = PriorC20Code(edit, balance); break;
    case kStartLast:
    case kEndLast: found = LastC20Code(edit, balance); break;
    default: return;
  }
  if (found) ShowAccountBalanceC20(balance, euro);
}

void TWTraModLettrageAutomatique::CmComptesClients() { SetRange('C'); }
void TWTraModLettrageAutomatique::CmComptesFournisseurs() { SetRange('F'); }
