#include "posting/line_changes.h"

#include <vector>

#include "data/account_totals.h"
#include "data/entry_lines.h"
#include "data/locks.h"
#include "data/record_fields.h"
#include "data/table.h"
#include "data/table_results.h"
#include "posting/line_save.h"
#include "resources/string_table.h"
#include "runtime/logfile.h"
#include "runtime/numbers.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace posting {

namespace {

// The dossier log's line of a line whose sort record was missing, by its id in the string table.
constexpr int kLogSortRecordMade = 22043;
// The refusals of a cancel and a reactivation whose write was refused, all taken back (the reason in
// them); a change that could not take back all it wrote, and its log line.
constexpr int kMsgCancelRefused = 34305;
constexpr int kMsgReactivateRefused = 34306;
constexpr int kMsgChangeNotPutBack = 34307;
constexpr int kLogChangeNotPutBack = 34308;

using L = LigneEcriture;

// The line's amounts in cents, on its sense, and the currency it was typed in.
struct Amounts {
  char sense = 'D';
  long long francs = 0, euros = 0;
  bool typedInEuros = true;
  TotalsCents Move(int sign) const {
    TotalsCents t;
    t.Add(sense == 'D', sign * francs, sign * euros);
    return t;
  }
};

Amounts AmountsOf(Table& c50) {
  Amounts a;
  a.sense = c50.GetField(L::BSENS)[0] == 'D' ? 'D' : 'C';
  a.francs = StoredAmountOf(c50, L::BMONTANTF);
  a.euros = StoredAmountOf(c50, L::BMONTANTE);
  const char entry = c50.GetField(L::BEURO)[0];
  a.typedInEuros = entry != 'N' && entry != 'n';
  return a;
}

// The sort record of the current line made current on C60; a missing one is derived again.
bool SortRecordOf(Table& c50, Table& c60) {
  const std::uint32_t recno = c50.recordNumber;
  if (LigneTri::Find(c60, LigneTri::kDraft, recno)) return true;
  // One that could not be read is not made again: the line would have two.
  if (!LigneTri::Missing(c60)) return false;
  WriteLog(FillPlaceholder(LoadStr(kLogSortRecordMade), std::to_string(recno)));
  if (!AppendLigneTri(c50, LigneTri::kDraft, c60)) return false;
  // The new record takes the line's cancel mark.
  if (c50.IsDeleted() && LigneTri::Find(c60, LigneTri::kDraft, recno)) {
    const bool marked = c60.DeleteRecord(nullptr, 0);
    UnlockRecord(c60);
    if (!marked) return false;
  }
  return LigneTri::Find(c60, LigneTri::kDraft, recno);
}

// The cancel mark set or removed on the sort record of line `recno` (found or made again from the
// current line of c50). False when a write was refused.
bool MarkSortRecord(Table& c50, Table& c60, std::uint32_t recno, bool cancel) {
  if (!c50.GoTo(static_cast<long>(recno)) || !SortRecordOf(c50, c60)) return false;
  if (c60.IsDeleted() == cancel) return true;
  const std::string text = c60.RecordToText(LigneTri::TREC);
  const bool marked = cancel ? c60.DeleteRecord(text.c_str(), 0) : c60.RecallRecord(text.c_str(), 0);
  UnlockRecord(c60);
  return marked;
}

// The cancel mark set or removed on line `recno`, which this cursor holds locked.
bool MarkLine(Table& c50, std::uint32_t recno, bool cancel) {
  if (!c50.GoTo(static_cast<long>(recno))) return false;
  if (c50.IsDeleted() == cancel) return true;
  const std::string text = c50.RecordToText(L::BNUMA);
  return cancel ? c50.DeleteRecord(text.c_str(), 0) : c50.RecallRecord(text.c_str(), 0);
}

// The line and its sort record marked, each with the write that takes it back.
bool MarkLineAndSort(Table& c50, Table& c60, std::uint32_t recno, bool cancel, LineChangeSteps& steps) {
  if (!MarkLine(c50, recno, cancel)) return false;
  steps.Made([&c50, recno, cancel] { return MarkLine(c50, recno, !cancel); });
  if (!MarkSortRecord(c50, c60, recno, cancel)) return false;
  steps.Made([&c50, &c60, recno, cancel] { return MarkSortRecord(c50, c60, recno, !cancel); });
  return true;
}

// The header code of the current line: BMOIS + BJAL + "B".
std::string HeaderOf(Table& c50) { return std::string(c50.GetField(L::BMOIS)) + c50.GetField(L::BJAL) + "B"; }

bool OnGeneralLine(Table& c50, std::uint32_t recno) {
  return c50.isOpen && c50.GoTo(static_cast<long>(recno)) && c50.GetField(L::BCLE)[0] == L::kGeneral;
}

// A change refused on the way: what it wrote taken back, the tables committed, its box given.
LineChange Refused(Table& c50, Table& c60, std::uint32_t recno, LineChangeSteps& steps, int refusedText,
                   bool euros, std::string* refusal) {
  c50.GoTo(static_cast<long>(recno));
  const bool back = steps.TakeBack(L::Key(c50));
  c50.Commit();
  c60.Commit();
  c50.GoTo(static_cast<long>(recno));
  if (refusal != nullptr) *refusal = steps.RefusalText(refusedText, c50.tablePath, back, euros);
  return steps.Moves().Overflow() && back ? LineChange::TotalsTooLarge : LineChange::Failed;
}

}  // namespace

bool LineChangeSteps::TakeBack(const std::string& what) {
  bool all = true;
  for (auto it = back_.rbegin(); it != back_.rend(); ++it) all = (*it)() && all;
  back_.clear();
  all = moves_.TakeBack() && all;
  if (!all) WriteLog(FillPlaceholder(LoadStr(kLogChangeNotPutBack), what));
  // What could not be taken back, or was moved after a refused read (a total from a short read),
  // the next opening makes whole from the lines.
  if (!all || !ReadWhole()) note_.Leave();
  return all;
}

std::string LineChangeSteps::Reason(const std::string& file) const {
  if (watch_.RefusedResult() != 0)
    return RunIncidentText(watch_.RefusedResult(), watch_.RefusedFile(), watch_.RefusedResult());
  if (watch_.Seen()) return watch_.Text();
  return RunIncidentText(kResultSystemError, file, kResultSystemError);
}

std::string LineChangeSteps::RefusalText(int refusedText, const std::string& file, bool putBack, bool euros) const {
  if (putBack && moves_.Overflow()) return TotalsTooLargeText(moves_.Overflow(), euros);
  return FillPlaceholder(LoadStr(putBack ? refusedText : kMsgChangeNotPutBack), Reason(file));
}

bool IsLettered(Table& c50) { return !IsBlank(c50.GetField(L::BLET)) || !IsBlank(c50.GetField(L::BLETE)); }

LineChange CancelLine(Table& c50, Table& c60, std::uint32_t recno, const std::string& recordText,
                      long* analyticCancelled, std::string* refusal) {
  if (analyticCancelled != nullptr) *analyticCancelled = 0;
  if (!OnGeneralLine(c50, recno)) return LineChange::NoLine;
  if (c50.IsDeleted()) return LineChange::AlreadyDone;
  // Locked first, so that the line is read as it stands now: another station may have just
  // matched it.
  HeldRecordLocks locks(c50);
  if (!locks.Take(recno, recordText.c_str())) return LineChange::LockRefused;
  if (c50.IsDeleted()) return LineChange::AlreadyDone;
  if (IsLettered(c50)) return LineChange::Lettered;
  const Amounts line = AmountsOf(c50);
  LineChangeSteps steps(LineChangeKind::LineCancelled);
  steps.Moves().Account(c50.GetField(L::BCODE), line.Move(-1));
  steps.Moves().Header(HeaderOf(c50), line.Move(-1));
  const std::size_t lineMoves = steps.Moves().Count();

  // Its analytic lines, live ones, held before anything is written; their sections' totals.
  const std::string key = L::AnalyticKey(c50);
  std::vector<std::uint32_t> analytic;
  for (bool more = c50.SeekNotBelow(L::kAnalyticTag, key.c_str()); more; more = c50.Skip(1)) {
    const char m = c50.MatchKey(key.c_str(), L::kAnalyticKeyLength, L::BMOIS, L::BJAL, L::BPIECE, L::BCG, L::BNUM);
    if (m == 'O') analytic.push_back(c50.recordNumber);
    else if (m != 'o') break;
  }
  c50.SetOrder(L::kCodeTag);
  for (std::uint32_t a : analytic) {
    if (!c50.GoTo(static_cast<long>(a)) || !locks.Take(a, L::BNUMA)) {
      c50.GoTo(static_cast<long>(recno));
      return LineChange::LockRefused;
    }
    const char kind = c50.GetField(L::BCLE)[0];
    if (kind == 'W' || kind == 'Y') steps.Moves().Section(c50.GetField(L::BCODE), AmountsOf(c50).Move(-1));
  }
  if (const TotalsOverflow overflow = steps.Moves().Check()) {
    if (refusal != nullptr) *refusal = TotalsTooLargeText(overflow, line.typedInEuros);
    c50.GoTo(static_cast<long>(recno));
    return LineChange::TotalsTooLarge;
  }

  // The line and its sort record, its totals, then its analytic lines (which take the line's cancel
  // mark) and their sections.
  auto refused = [&] { return Refused(c50, c60, recno, steps, kMsgCancelRefused, line.typedInEuros, refusal); };
  steps.Note().Line(recno);
  steps.Note().SortRecordsFrom(c60.RecCount());
  for (std::uint32_t a : analytic) steps.Note().Follows(recno, a);
  if (!steps.Begin()) return refused();
  if (!MarkLineAndSort(c50, c60, recno, true, steps) || !steps.Moves().Make(lineMoves)) return refused();
  for (std::uint32_t a : analytic)
    if (!MarkLineAndSort(c50, c60, a, true, steps)) return refused();
  if (!steps.Moves().Make() || !steps.ReadWhole()) return refused();
  c50.Commit();
  c60.Commit();
  if (analyticCancelled != nullptr) *analyticCancelled = static_cast<long>(analytic.size());
  c50.GoTo(static_cast<long>(recno));
  return LineChange::Done;
}

LineChange ReactivateLine(Table& c50, Table& c60, std::uint32_t recno, const std::string& recordText,
                          std::string* refusal) {
  if (!OnGeneralLine(c50, recno)) return LineChange::NoLine;
  if (!c50.IsDeleted()) return LineChange::AlreadyDone;
  HeldRecordLocks locks(c50);
  if (!locks.Take(recno, recordText.c_str())) return LineChange::LockRefused;
  if (!c50.IsDeleted()) return LineChange::AlreadyDone;
  const Amounts line = AmountsOf(c50);
  LineChangeSteps steps(LineChangeKind::LineReactivated);
  steps.Moves().Account(c50.GetField(L::BCODE), line.Move(+1));
  steps.Moves().Header(HeaderOf(c50), line.Move(+1));
  if (const TotalsOverflow overflow = steps.Moves().Check()) {
    if (refusal != nullptr) *refusal = TotalsTooLargeText(overflow, line.typedInEuros);
    c50.GoTo(static_cast<long>(recno));
    return LineChange::TotalsTooLarge;
  }
  steps.Note().Line(recno);
  steps.Note().SortRecordsFrom(c60.RecCount());
  if (!steps.Begin() || !MarkLineAndSort(c50, c60, recno, false, steps) || !steps.Moves().Make() ||
      !steps.ReadWhole())
    return Refused(c50, c60, recno, steps, kMsgReactivateRefused, line.typedInEuros, refusal);
  c50.Commit();
  c60.Commit();
  c50.GoTo(static_cast<long>(recno));
  return LineChange::Done;
}

}  // namespace posting
