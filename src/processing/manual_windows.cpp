#include <cstdlib>

#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "data/dossier_files.h"
#include "data/session.h"
#include "data/table.h"
#include "platform/gui/application.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/messagebox.h"
#include "posting/line_validation.h"
#include "processing/manual_list.h"
#include "processing/matching_windows.h"
#include "resources/string_table.h"
#include "runtime/access_rights.h"
#include "runtime/code_helpers.h"
#include "runtime/dossier_record.h"
#include "runtime/session_registry.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "shell/graphics.h"
#include "shell/mdi_client.h"
#include "shell/registry.h"
#include "shell/toolbar.h"

namespace {

constexpr int kManualCaption = 29002;
constexpr int kFormColumns = 10;
constexpr int kFormRows = 6;
constexpr int kParametersPos = 3653;

// The texts of the form, by their ids in the string table.
constexpr int kLabelFirst = 29025;   // the four labels, "C&ompte" to "&Lettrage"
constexpr int kLabelEuros = 19744;
constexpr int kHintLookup = 19755;
constexpr int kFilterFirst = 19721;  // the three filters: all lines, unmatched only, matched only

enum : int {
  kAccountLabel = 1301, kFirstLabel = 1302, kLastLabel = 1303, kFilterLabel = 1304,
  kAccountEdit = 1201, kAccountLookup = 1202, kAccountBalance = 1204, kEurosBox = 1205, kFilterCombo = 1210,
  kFirstEdit = 1211, kLastEdit = 1212,
  kAccountFirst = 1214, kAccountNext = 1215, kAccountPrior = 1216, kAccountLast = 1217,
};

std::string FilledAccount(std::string code) {
  code = Trimmed(code);
  if (code.empty()) return code;
  code.resize(8, static_cast<unsigned char>(code[0]) < 'A' ? '0' : ' ');
  return code;
}

// A display date inside the financial year, as a StoredDate; "" when not.
std::string DateInYear(const std::string& display) {
  Ymd date, first, last;
  if (!ParseDisplayDate(display, date)) return "";
  if (TheDossierRecord.DateYmd(DossierRecord::DateField::YearStart, first) &&
      TheDossierRecord.DateYmd(DossierRecord::DateField::YearEnd, last) &&
      (DaysFromCivil(date) < DaysFromCivil(first) || DaysFromCivil(date) > DaysFromCivil(last)))
    return "";
  return StoredDateOf(date);
}

}  // namespace

TWTraEtaLettrageManuel::TWTraEtaLettrageManuel(gui::MDIClient* client)
    : TWEtats(client, LoadStr(kManualCaption), kManualReportSlot, kManualReportSlotLength, kManualFormSlot) {}

TWTraModLettrageManuel::TWTraModLettrageManuel(gui::MDIClient* client)
    : CMDIModif(client, LoadStr(kManualCaption), kFormColumns, kFormRows, kManualFormSlot, kManualFormSlotLength,
                kManualReportSlot) {
  AskOnClose = false;
  const int ids[] = {kAccountLabel, kFirstLabel, kLastLabel, kFilterLabel};
  for (int i = 0; i < 4; ++i) labels_[i] = new MStatic(this, LoadStr(kLabelFirst + i), ids[i]);
  account_ = new MEdit(this, kAccountEdit, 8, 1, MEdit::kText, 0, false);
  lookup_ = new MButton(this, kAccountLookup, "?");
  balance_ = new MStatic(this, "", kAccountBalance);
  first_ = new MEdit(this, kFirstEdit, 8, 1, MEdit::kDate, 0, false);
  last_ = new MEdit(this, kLastEdit, 8, 1, MEdit::kDate, 0, false);
  filter_ = new MComboBox(this, kFilterCombo, 44, 1);
  euros_ = new MCheckBox(this, kEurosBox, LoadStr(kLabelEuros), 1);
  for (MEdit* e : {account_, first_, last_}) e->SetNotifyWindow(this);
  account_->SetKeyCommands(kAccountPrior, kAccountNext, kAccountFirst, kAccountLast, 0, 0);
  ContextCommands = {4, form_cmd::Quitter, matching_cmd::LettrerOuDelettrer, matching_cmd::Lettrer,
                     matching_cmd::DeLettrer};
}

TWTraModLettrageManuel::~TWTraModLettrageManuel() {
  SetRegistryText(kManualFormSlot, 1, " ");
  if (RegistryChar(kManualReportSlot) == '1') gui::PostMessage(SlotHandle(kManualReportSlot), gui::WM_CLOSE);
}

void TWTraModLettrageManuel::SetupWindow() {
  CMDIModif::SetupWindow();
  BuildToolbar(ContextCommands, true);
  RegisterWindowSlot(kManualFormSlot, GetHandle());
  for (gui::Control* c : std::initializer_list<gui::Control*>{account_, first_, last_, filter_})
    c->SetFont(EntryFontFixed);
  lookup_->SetTip(LoadStr(kHintLookup));
  for (int k = 0; k < 3; ++k) filter_->AddString(LoadStr(kFilterFirst + k));
  filter_->SetValue(LoadStr(kFilterFirst), true);
  euros_->SetCheck(TheDossierRecord.At(DossierRecord::kEuroMainPos) != 'N' ? gui::BST_CHECKED : gui::BST_UNCHECKED);
  if (DossierIsEuroOnly()) {
    euros_->SetCheck(gui::BST_CHECKED);
    euros_->Show(gui::SW_HIDE);
  }
  std::string account = Trimmed(RegistryText(kRegistryLastAuxiliary, 8));
  if (account.empty()) account = Trimmed(RegistryText(kRegistryLastAccount, 8));
  account_->SetValue(account, true);
  first_->SetValue(TheDossierRecord.DateDisplay(DossierRecord::DateField::YearStart), true);
  last_->SetValue(TheDossierRecord.DateDisplay(DossierRecord::DateField::Working), true);
  account_->FocusSelect(true);
}

void TWTraModLettrageManuel::ArrangeControls() {
  MoveFormControls(labels_[0], 1, 1, 2, 1, grid::Label, 0, 0);
  MoveFormControls(account_, 3, 1, 2, 1, grid::Text, 9, 0);
  MoveFormControls(lookup_, 5, 1, 1, 1, grid::Text, 1, 0);
  MoveFormControls(balance_, 6, 1, 5, 1, grid::Label, 0, 0);
  MoveFormControls(labels_[1], 1, 2, 2, 1, grid::Label, 0, 0);
  MoveFormControls(first_, 3, 2, 2, 1, grid::Text, 9, 0);
  MoveFormControls(labels_[2], 1, 3, 2, 1, grid::Label, 0, 0);
  MoveFormControls(last_, 3, 3, 2, 1, grid::Text, 9, 0);
  MoveFormControls(labels_[3], 1, 4, 2, 1, grid::Label, 0, 0);
  MoveFormControls(filter_, 3, 4, 6, 1, grid::Text, 44, 0);
  MoveFormControls(euros_, 3, 5, 3, 1, grid::Text, 12, 0);
}

const gui::ResponseTable& TWTraModLettrageManuel::Table() {
  using F = TWTraModLettrageManuel;
  static const gui::ResponseTable table = gui::ResponseTable(&CMDIModif::Table())
                                              .Command(matching_cmd::Lettrer, &F::CmLettrer)
                                              .Command(matching_cmd::LettrerOuDelettrer, &F::CmLettrerOuDelettrer)
                                              .Command(matching_cmd::DeLettrer, &F::CmDeLettrer)
                                              .CommandRange(kAccountLookup, kAccountLookup, &F::CmAccountControl)
                                              .CommandRange(kAccountFirst, kAccountLast, &F::CmAccountControl)
                                              .Enable(matching_cmd::Lettrer, &F::CeOpenList)
                                              .Enable(matching_cmd::LettrerOuDelettrer, &F::CeOpenList)
                                              .Enable(matching_cmd::DeLettrer, &F::CeOpenList);
  return table;
}

void TWTraModLettrageManuel::CmAccountControl(unsigned id) {
  if (TableC20 == nullptr || !TableC20->UseShared(PathC20(), "C20CODE")) return;
  const bool euro = euros_->IsChecked();
  bool found = false;
  switch (id) {
    case kAccountLookup: {
      balance_->SetText("");
      const char got = LookupC20Code(account_, kAccountLookup + 1, balance_);
      if (got == kLookupNone) balance_->SetText("???");
      found = got == kLookupFound;
      break;
    }
    case kAccountFirst: found = FirstC20Code(account_, balance_); break;
    case kAccountNext: found = NextC20Code(account_, balance_); break;
    case kAccountPrior: found = PriorC20Code(account_, balance_); break;
    case kAccountLast: found = LastC20Code(account_, balance_); break;
    default: return;
  }
  if (found) ShowAccountBalanceC20(balance_, euro);
}

void TWTraModLettrageManuel::CeOpenList(gui::CommandEnabler& ce) {
  ce.Enable(!PrintRunFlag && !IsIconic() && !Trimmed(account_->GetValue()).empty());
}

int TWTraModLettrageManuel::Check() {
  if (NoCheckFlag) return kCheckClose;
  const std::string code = FilledAccount(account_->GetValue());
  Lookup account = Lookup::NotFound();
  if (!code.empty() && TableC20 != nullptr && TableC20->UseShared(PathC20(), "C20CODE")) {
    account = TableC20->Find("C20CODE", code.c_str());
    if (account.IsFound()) account = account.And(std::string(TableC20->GetField(1)).substr(0, 8) == code);
    if (account.IsFound()) account = TableC20->LiveHere();
  }
  if (account.IsRefused()) {
    // Not read is no account unknown: said so, the field kept for another try.
    gui::MessageBeep(0);
    balance_->SetText("");
    gui::MessageBox(this, LoadStr(posting::kMsgAccountUnread), LoadStr(kManualCaption), gui::MB_OK | gui::MB_ICONSTOP);
    account_->FocusSelect(true);
    return kCheckInvalid;
  }
  if (account.IsNotFound()) {
    gui::MessageBeep(0);
    balance_->SetText("???");
    account_->FocusSelect(true);
    return kCheckInvalid;
  }
  account_->SetValue(Trimmed(code), false);
  ShowAccountBalanceC20(balance_, euros_->IsChecked());
  StoreSessionCode(code.c_str());
  const std::string first = DateInYear(first_->GetValue()), last = DateInYear(last_->GetValue());
  if (first.empty()) {
    gui::MessageBeep(0);
    first_->FocusSelect(true);
    return kCheckInvalid;
  }
  if (last.empty() || last < first) {
    gui::MessageBeep(0);
    last_->FocusSelect(true);
    return kCheckInvalid;
  }
  return kCheckClose;
}

bool TWTraModLettrageManuel::CanClose() {
  NoCheckFlag = true;
  AskOnClose = false;
  return CMDIModif::CanClose();
}

void TWTraModLettrageManuel::TakeAccount(const std::string& account) {
  if (Trimmed(account).empty()) return;
  account_->SetValue(Trimmed(account), false);
  balance_->SetText("");
}

void TWTraModLettrageManuel::OpenList(char filter) {
  if (Check() == kCheckInvalid) return;
  if (filter != 0) filter_->SetValue(LoadStr(kFilterFirst + (filter == '2' ? 1 : 2)), false);
  processing::ManualMatchingParameters p;
  p.account = FilledAccount(account_->GetValue());
  p.firstDate = DateInYear(first_->GetValue());
  p.lastDate = DateInYear(last_->GetValue());
  const std::string shown = filter_->GetValue();
  p.filter = shown.empty() ? '1' : shown[0];
  p.euros = euros_->IsChecked();
  if (RegistryChar(kManualListSlot) == '1') {
    // The list open keeps its account and marks: it is only brought forward.
    SetRegistryText(kManualListSlot, 1, "R");
  } else {
    SetRegistryText(kParametersPos, processing::ManualMatchingParameters::kLength, p.Text());
    SetRegistryText(kManualReportSlot, 1, "3");
  }
  gui::PostCommand(MainWindowHandle, command_id::LettrageManuel);
}

void TWTraModLettrageManuel::CmLettrer() { OpenList('2'); }
void TWTraModLettrageManuel::CmLettrerOuDelettrer() { OpenList(0); }
void TWTraModLettrageManuel::CmDeLettrer() { OpenList('3'); }
