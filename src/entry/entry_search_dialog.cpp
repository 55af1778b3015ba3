#include "entry/entry_search_dialog.h"

#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "data/dossier_files.h"
#include "data/entry_lines.h"
#include "data/session.h"
#include "data/table.h"
#include "posting/entry_state.h"
#include "posting/journal_month.h"
#include "entry/headers_list.h"
#include "platform/gui/application.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/messagebox.h"
#include "resources/command_ids.h"
#include "resources/string_table.h"
#include "runtime/numbers.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "shell/graphics.h"
#include "shell/registry.h"

namespace {

// The texts shown here, by their ids in the string table.
constexpr int kMsgAmountInvalid = 16032;
constexpr int kTitleAttention = 52;
constexpr int kMsgNoLineOfThatAmount = 16031;
constexpr int kTitleEntrySearch = 16030;

constexpr int kTabStopChars = 64;

// The text of an amount as a user types it: blanks between the thousands, a comma or a point.
bool AmountCents(const std::string& text, long long* cents) {
  std::string plain;
  for (char c : text) {
    if (c == ' ') continue;
    if (c == ',') c = '.';
    if ((c < '0' || c > '9') && c != '.' && c != '-') return false;
    plain += c;
  }
  if (plain.empty() || plain == "." || plain == "-") return false;
  *cents = ToCents(Val(plain.c_str()));
  if (*cents < 0) *cents = -*cents;
  return true;
}

}  // namespace

bool ShowSearchTarget(gui::Window* owner, const std::string& lineKey) {
  SearchTargetKey = lineKey.substr(0, kSearchTargetKeyLength);
  SearchTargetKey.resize(kSearchTargetKeyLength, ' ');
  const std::string journalMonth = SearchTargetKey.substr(1, posting::kJournalMonthKeyLength);
  const int k = posting::SlotHolding(journalMonth);
  if (k >= 0) {
    const int slot = posting::SlotPosition(k);
    ActivateExistingChild(slot);
    gui::PostCommand(SlotHandle(slot), child_command::ReCaler);
    return true;
  }
  if (RequestJournalEntry(owner, journalMonth)) return true;
  SearchTargetKey.assign(kSearchTargetKeyLength, ' ');
  return false;
}

TDRechercheEcriture::TDRechercheEcriture(gui::Window* parent, const std::string& amount, const std::string& journalMonth)
    : TDNuv(parent, kResource, false), initial_(amount), journalMonth_(journalMonth) {
  new MStatic(kOnTemplate, this, 1201);
  amount_ = new MEdit(kOnTemplate, this, kAmount, 17, kSearch, true, MEdit::kAmount, 2);
  new MButton(kOnTemplate, this, kSearch);
  list_ = new MListBox(kOnTemplate, this, kList);
  new MButton(kOnTemplate, this, gui::IDOK);
  new MButton(kOnTemplate, this, gui::IDCANCEL);
}

const gui::ResponseTable& TDRechercheEcriture::Table() {
  static const gui::ResponseTable table =
      gui::ResponseTable(&gui::Dialog::Table()).Command(kSearch, &TDRechercheEcriture::CmChercher);
  return table;
}

void TDRechercheEcriture::SetupWindow() {
  TDNuv::SetupWindow();
  amount_->SetFont(EntryFont);
  list_->SetFont(EntryFont);
  list_->SetNotify(this, gui::IDOK, 0, 0);
  // The amounts after the label, in a column of their own.
  list_->SetTabStop(kTabStopChars * (EntryCharWidth > 0 ? EntryCharWidth : 7));
  amount_->SetValue(AllTrim(initial_.c_str()), true);
  amount_->FocusSelect(true);
}

std::vector<posting::FoundLine> TDRechercheEcriture::Search(const std::string& amount,
                                                             const std::string& journalMonth) {
  long long cents = 0;
  if (!AmountCents(amount, &cents) || cents == 0 || TableC50 == nullptr) return {};
  // A cursor of its own over the whole draft: the windows' cursors keep their places.
  ::Table c50;
  if (!c50.OpenShared(PathC50(), "", true)) return {};
  return posting::FindAmount(c50, cents, journalMonth);
}

std::string TDRechercheEcriture::ListLine(const posting::FoundLine& f) {
  const std::string jm = f.journalMonth;
  std::string line = posting::JournalOf(jm);
  line.resize(4, ' ');
  line += posting::MonthDisplay(jm) + "  " + f.piece + "  " + f.day + "  " + f.account + "  " + f.label + "\t" +
          GroupedAmount(ToCents(f.euros)) + (f.sense == "D" ? " Db" : " Cr") + "   F " + GroupedAmount(ToCents(f.francs));
  return line;
}

void TDRechercheEcriture::CmChercher() {
  list_->ClearList();
  long long cents = 0;
  if (!AmountCents(amount_->GetValue(), &cents) || cents == 0) {
    gui::MessageBeep(0);
    gui::MessageBox(this, LoadStr(kMsgAmountInvalid), LoadStr(kTitleAttention), gui::MB_OK | gui::MB_ICONEXCLAMATION);
    return;
  }
  found_ = Search(amount_->GetValue(), journalMonth_);
  for (const posting::FoundLine& f : found_) list_->AddString(ListLine(f));
  if (found_.empty()) {
    gui::MessageBeep(0);
    gui::MessageBox(this, LoadStr(kMsgNoLineOfThatAmount), LoadStr(kTitleEntrySearch),
                    gui::MB_OK | gui::MB_ICONEXCLAMATION);
    return;
  }
  list_->SetSelIndex(0);
  list_->SetFocus();
}

bool TDRechercheEcriture::CanClose() {
  const int i = list_->GetSelIndex();
  if (i < 0 || i >= static_cast<int>(found_.size())) {
    gui::MessageBeep(0);
    return false;
  }
  // The line is shown once the dialog has gone: its key waits in SearchTargetKey.
  SearchTargetKey = found_[static_cast<std::size_t>(i)].key;
  return true;
}
