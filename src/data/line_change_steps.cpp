#include "data/line_change_steps.h"

#include "data/dossier_files.h"
#include "data/table.h"
#include "data/table_results.h"
#include "resources/string_table.h"
#include "runtime/dates.h"
#include "runtime/logfile.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace {

// A change that could not take back all it wrote, and its log line (what it changed in it); a change
// that met a read the system refused (the change as the user knows it, and the reason).
constexpr int kMsgChangeNotPutBack = 34307;
constexpr int kLogChangeNotPutBack = 34308;
constexpr int kMsgChangeReadRefused = 36001;
// A change taken back whose note stays for the next opening (the change as the user knows it, and the
// reason).
constexpr int kMsgChangeNoteStays = 36004;

// The change of lines living in this process, outermost first: a change begun meanwhile joins it.
LineChangeSteps*& Living() {
  static LineChangeSteps* living = nullptr;
  return living;
}

// A journal-month's code in C10 ("C601OD B"): month (stored year and month) and journal.
constexpr std::size_t kJournalMonthLength = 7;

}  // namespace

std::string TotalsTooLargeText(const TotalsOverflow& overflow, bool euros) {
  const std::string largest = GroupedAmountText(overflow.Largest(euros));
  const std::string code = Trimmed(overflow.code);
  // Amount 1 is the francs: their total, not the euros the amount was typed in, cannot hold it.
  const bool francs = euros && !overflow.second;
  if (overflow.kind == 'H') {
    const std::string journalMonth = PadRight(overflow.code, kJournalMonthLength).substr(0, kJournalMonthLength);
    const std::string month = journalMonth.substr(2, 2) + "/" + DecodeYear(journalMonth.substr(0, 2).c_str());
    return FillPlaceholders(LoadStr(francs ? kMsgHeaderFrancsTooLarge : kMsgHeaderTotalTooLarge),
                            {Trimmed(journalMonth.substr(4)), month, largest});
  }
  const int text = overflow.kind == 'S' ? (francs ? kMsgSectionFrancsTooLarge : kMsgSectionTotalTooLarge)
                                        : (francs ? kMsgAccountFrancsTooLarge : kMsgAccountTotalTooLarge);
  return FillPlaceholders(LoadStr(text), {code, largest});
}

LineChangeSteps::LineChangeSteps(LineChangeKind kind)
    : kind_(kind), watch_(RefusalWatch::EngineBoxes::kHeld), note_(kind), outer_(Living()) {
  if (outer_ != nullptr) return;
  Living() = this;
  unreadWatch_.emplace(unread_);
}

void LineChangeSteps::WorksOver(Table& table, std::uint32_t recno) { Root().worksOver_.emplace_back(&table, recno); }

LineChangeSteps::~LineChangeSteps() {
  if (outer_ == nullptr && !done_ && !takenBack_) TakeBack(LineChangeKindText(kind_));
  ReleaseLine();
  if (outer_ == nullptr) Living() = nullptr;
}

TotalsMoves& LineChangeSteps::Moves() { return Root().moves_; }
const TotalsMoves& LineChangeSteps::Moves() const { return Root().moves_; }
LineChangeNote& LineChangeSteps::Note() { return Root().note_; }

TotalsOverflow LineChangeSteps::Check(std::string* refusal) {
  const TotalsOverflow overflow = Moves().Check();
  if (overflow && refusal != nullptr) *refusal = TotalsTooLargeText(overflow, euros_);
  return overflow;
}

bool LineChangeSteps::Begin() {
  LineChangeSteps& root = Root();
  if (!AmountsRead()) return false;
  root.note_.Totals(root.moves_);
  if (!ReadWhole() || !root.note_.Write()) return false;
  // Its writes are let through from here, once the note stands: the open dossier's books only.
  if (!root.permit_) root.permit_.emplace(LineChangeKindText(root.kind_), BooksScope::OpenDossier());
  return true;
}

bool LineChangeSteps::ReadWhole() const { return !Root().watch_.ReadRefused(); }

bool LineChangeSteps::AmountsRead() {
  // What the change read decides here, once, before its first write: an amount that did not read
  // is never counted as zero nor guessed.
  LineChangeSteps& root = Root();
  if (root.unreadRefused_) return false;
  // The amounts of the lines it works over are set apart: what is left refuses it.
  UnreadAmounts others;
  others.unnamed = root.unread_.unnamed;
  for (const UnreadableAmountLine& line : root.unread_.lines) {
    bool own = false;
    for (const auto& [table, recno] : root.worksOver_) own = own || IsUnreadRecordOf(line, *table, recno);
    if (own) root.ownUnread_ = true;
    else others.lines.push_back(line);
  }
  if (others.Any()) {
    root.unread_ = others;
    root.unreadRefused_ = true;
  }
  return !root.unreadRefused_;
}

void LineChangeSteps::Made(std::function<bool()> back) { Root().back_.push_back(std::move(back)); }

bool LineChangeSteps::Done() {
  if (!ReadWhole()) return false;
  if (outer_ != nullptr) return true;
  note_.Done();
  done_ = true;
  return true;
}

bool LineChangeSteps::TakeBack(const std::string& what) {
  if (outer_ != nullptr) return true;
  bool all = true;
  for (auto it = back_.rbegin(); it != back_.rend(); ++it) all = (*it)() && all;
  back_.clear();
  all = moves_.TakeBack() && all;
  takenBack_ = true;
  putBack_ = all;
  if (!all) WriteLog(FillPlaceholder(LoadStr(kLogChangeNotPutBack), what));
  // What could not be taken back, or was moved after a refused read (a total from a short read),
  // the next opening makes whole from the lines; the rest stands as before the change.
  if (all && ReadWhole()) {
    noteStays_ = !note_.Done();
  } else {
    noteStays_ = all && note_.written();
    note_.Leave();
  }
  return all;
}

void LineChangeSteps::Ends(Table& c50, Table& c60, int refusedText, bool euros) {
  c50_ = &c50;
  c60_ = &c60;
  refusedText_ = refusedText;
  euros_ = euros;
}

bool LineChangeSteps::LockLine(Table& table, std::uint32_t recno, const char* text) {
  ReleaseLine();
  if (table.recordNumber != recno && !table.GoToRecord(static_cast<long>(recno)).IsFound()) return false;
  if (!LockRecord(table, text, 0)) return false;
  lineTable_ = &table;
  lineRecno_ = recno;
  lineHeldBefore_ = table.result == kResultAlreadyLocked;
  return true;
}

void LineChangeSteps::ReleaseLine() {
  if (lineTable_ == nullptr) return;
  Table& t = *lineTable_;
  lineTable_ = nullptr;
  // The line made current first unless it is: a done change reads nothing more.
  // A line not read again keeps its lock until its table closes: the unlock is the current record's.
  if (!lineHeldBefore_ && (t.recordNumber == lineRecno_ || t.GoToRecord(static_cast<long>(lineRecno_)).IsFound()))
    UnlockRecord(t);
}

void LineChangeSteps::Commit() {
  if (c50_ != nullptr) c50_->Commit();
  if (c60_ != nullptr) c60_->Commit();
  if (other_ != nullptr && other_->isOpen) other_->Commit();
}

bool LineChangeSteps::Finish() {
  if (!Done()) return false;
  ReleaseLine();
  Commit();
  return true;
}

bool LineChangeSteps::Fail(const std::string& what, std::string* refusal) {
  TakeBack(what);
  ReleaseLine();
  Commit();
  if (refusal != nullptr) *refusal = Refusal();
  return TooLarge();
}

std::string LineChangeSteps::Refusal() const {
  if (TooLarge()) return TotalsTooLargeText(Moves().Overflow(), euros_);
  return RefusalText(refusedText_, c50_ != nullptr ? c50_->tablePath : std::string());
}

std::string LineChangeSteps::Reason(const std::string& file) const {
  return Root().watch_.Reason(kResultSystemError, file, kResultSystemError);
}

std::string LineChangeSteps::RefusalText(int refusedText, const std::string& file) const {
  const LineChangeSteps& root = Root();
  if (!root.putBack_) return FillPlaceholder(LoadStr(kMsgChangeNotPutBack), Reason(file));
  if (root.noteStays_)
    return FillPlaceholders(LoadStr(kMsgChangeNoteStays), {LineChangeKindText(root.kind_), Reason(file)});
  if (root.unreadRefused_) return UnreadAmountsChangeRefusal(root.unread_);
  if (root.watch_.RefusedReading())
    return FillPlaceholders(LoadStr(kMsgChangeReadRefused), {LineChangeKindText(root.kind_), Reason(file)});
  return FillPlaceholder(LoadStr(refusedText), Reason(file));
}
