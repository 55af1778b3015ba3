#include "entry/new_journal_dialog.h"

#include <cstdlib>
#include <optional>

#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "data/error_report.h"
#include "data/session.h"
#include "data/table.h"
#include "platform/gui/application.h"
#include "platform/gui/constants.h"
#include "platform/gui/messagebox.h"
#include "resources/string_table.h"
#include "runtime/dates.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "shell/graphics.h"

namespace {

// The texts shown here, by their ids in the string table.
constexpr int kMsgChooseJournalAndMonth = 16040;
constexpr int kTitleAttention = 52;
constexpr int kMsgJournalMissing = 16041;
// The journal chosen, whose read the disk refused (its code, the file and the error).
constexpr int kMsgJournalUnread = 38154;

constexpr int kDayAt = 7, kLabelAt = 9, kClearAt = 34;  // 0-based places in CiblePiece
constexpr int kLabelWidth = 25;

// The journals of the general file, in code order (live and cancelled: the check tells them apart).
std::vector<std::pair<std::string, std::string>> JournalsOf(Table& c10) {
  std::vector<std::pair<std::string, std::string>> journals;
  for (bool more = c10.Find("C10CODE", "J").IsFound(); more && c10.GetField(1)[0] == 'J'; more = c10.Skip(1))
    journals.emplace_back(std::string(c10.GetField(2)).substr(0, posting::kJournalCodeWidth), RTrim(c10.GetField(3)));
  return journals;
}

// The day of a typed date (DD/MM/YY or DD) made a day of the month: past the month's last day,
// its last day.
std::string DayOfMonth(const std::string& typed, const std::string& month) {
  const std::string text = AllTrim(typed.c_str());
  if (text.empty()) return "  ";
  int day = std::atoi(text.substr(0, 2).c_str());
  if (day < 1) day = 1;
  Ymd first;
  if (!ParseStoredDate(month + "01", first)) return StrZero(std::min(day, 31), 2);
  const Ymd next = first.month == 12 ? Ymd{first.year + 1, 1, 1} : Ymd{first.year, first.month + 1, 1};
  const int last = CivilFromDays(DaysFromCivil(next) - 1).day;
  return StrZero(std::min(day, last), 2);
}

}  // namespace

TDNouveauJournal::TDNouveauJournal(gui::Window* parent, std::string* ciblePiece, bool monthFixed, int resourceId,
                                   bool check, bool extended)
    : TDNuv(parent, resourceId, false),
      target_(ciblePiece),
      monthFixed_(monthFixed),
      check_(check),
      extended_(extended && resourceId == kCopyJournal) {
  new MStatic(kOnTemplate, this, 1201);
  new MStatic(kOnTemplate, this, 1203);
  journals_ = new MListBox(kOnTemplate, this, kJournals);
  months_ = new MListBox(kOnTemplate, this, kMonths);
  if (resourceId == kCopyJournal) {
    new MStatic(kOnTemplate, this, 1205);
    new MStatic(kOnTemplate, this, 1207);
    date_ = new MEdit(kOnTemplate, this, kDate, 8, 1, true, MEdit::kDate, 0);
    label_ = new MEdit(kOnTemplate, this, kLabel, kLabelWidth, 1, true, MEdit::kText, 0);
    clear_ = new MCheckBox(kOnTemplate, this, kClearAmounts);
  }
  new MButton(kOnTemplate, this, gui::IDOK);
  new MButton(kOnTemplate, this, gui::IDCANCEL);
}

const gui::ResponseTable& TDNouveauJournal::Table() {
  static const gui::ResponseTable table =
      gui::ResponseTable(&gui::Dialog::Table()).Command(kEnterInList, &TDNouveauJournal::CmEnterInList);
  return table;
}

void TDNouveauJournal::CmEnterInList() { PressButton(gui::IDOK); }

void TDNouveauJournal::SetupWindow() {
  TDNuv::SetupWindow();
  // Return in either list presses the default button, as in a list of any dialog, rather than going on to the next
  // control: the journal and the month chosen, the user confirms them.
  for (MListBox* list : {journals_, months_}) {
    list->SetNotify(this, 0, 0, 0);
    list->Keys().enterAction = static_cast<int>(kEnterInList);
  }
  std::string text = target_ != nullptr ? *target_ : std::string();
  text.resize(kCiblePieceLength, ' ');
  codes_.clear();
  if (posting::EnsureGeneralFile()) {
    for (const auto& [code, name] : JournalsOf(*TableC10)) {
      journals_->AddString(code + "\t" + name);
      codes_.push_back(code);
    }
  }
  journals_->SetTabStop(5 * EntryCharWidth);
  monthList_ = posting::FinancialYearMonths();
  for (const posting::YearMonth& m : monthList_) months_->AddString(m.shown);
  SelectMonth(text.substr(0, 4));
  SelectJournal(text.substr(4, posting::kJournalCodeWidth));
  months_->EnableWindow(!monthFixed_);
  if (date_ != nullptr) date_->SetValue("", true);
  if (label_ != nullptr) label_->SetValue("", true);
  if (clear_ != nullptr) clear_->SetValue(false, true);
  journals_->SetFocus();
}

bool TDNouveauJournal::SelectJournal(const std::string& code) {
  std::string wanted = code;
  wanted.resize(posting::kJournalCodeWidth, ' ');
  for (std::size_t i = 0; i < codes_.size(); ++i)
    if (codes_[i] == wanted) return journals_->SetSelIndex(static_cast<int>(i)) != gui::LB_ERR;
  return false;
}

bool TDNouveauJournal::SelectMonth(const std::string& stored) {
  for (std::size_t i = 0; i < monthList_.size(); ++i)
    if (monthList_[i].stored == stored) return months_->SetSelIndex(static_cast<int>(i)) != gui::LB_ERR;
  return false;
}

bool TDNouveauJournal::CanClose() {
  const int j = journals_->GetSelIndex(), m = months_->GetSelIndex();
  if (j < 0 || m < 0 || j >= static_cast<int>(codes_.size()) || m >= static_cast<int>(monthList_.size())) {
    gui::MessageBeep(0);
    gui::MessageBox(this, LoadStr(kMsgChooseJournalAndMonth), LoadStr(kTitleAttention), gui::MB_OK | gui::MB_ICONSTOP);
    return false;
  }
  const std::string code = codes_[static_cast<std::size_t>(j)];
  if (check_) {
    // A journal whose read the disk refused is no journal missing: the read is said, the dialog stays.
    std::optional<RefusalWatch> reading(std::in_place, RefusalWatch::EngineBoxes::kHeld);
    const posting::JournalRecord journal = posting::ReadJournal(*TableC10, code);
    if (reading->ReadRefused()) {
      const std::string text = FillPlaceholders(LoadStr(kMsgJournalUnread), {code, reading->Reason(0, "", 0)});
      reading.reset();
      gui::MessageBeep(0);
      gui::MessageBox(this, text, LoadStr(kTitleAttention), gui::MB_OK | gui::MB_ICONSTOP);
      return false;
    }
    reading.reset();
    if (!journal.found || journal.cancelled) {
      gui::MessageBeep(0);
      gui::MessageBox(this, LoadStr(kMsgJournalMissing), LoadStr(kTitleAttention), gui::MB_OK | gui::MB_ICONSTOP);
      return false;
    }
  }
  if (target_ == nullptr) return true;
  std::string text = *target_;
  text.resize(kCiblePieceLength, ' ');
  const std::string month = monthList_[static_cast<std::size_t>(m)].stored;
  text.replace(0, 4, month);
  text.replace(4, posting::kJournalCodeWidth, code);
  if (extended_) {
    text.replace(kDayAt, 2, DayOfMonth(date_->GetValue(), month));
    std::string label = label_->GetValue();
    label.resize(kLabelWidth, ' ');
    text.replace(kLabelAt, kLabelWidth, label);
    text[kClearAt] = clear_->IsChecked() ? 'O' : 'N';
  }
  *target_ = text;
  return true;
}
