#include "posting/line_changes.h"

#include <vector>

#include "data/account_totals.h"
#include "data/entry_lines.h"
#include "data/error_report.h"
#include "data/locks.h"
#include "data/table.h"
#include "data/table_results.h"
#include "posting/line_save.h"
#include "resources/string_table.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace posting {

namespace {

// The refusals of a cancel and a reactivation whose write was refused, all taken back (the reason in
// them).
constexpr int kMsgCancelRefused = 34305;
constexpr int kMsgReactivateRefused = 34306;

using L = LigneEcriture;

// The line and its sort record marked, with the write that takes them back.
bool MarkLineAndSort(Table& c50, Table& c60, std::uint32_t recno, bool cancel, LineChangeSteps& steps) {
  const bool marked = MarkDraftLine(c50, c60, recno, cancel);
  steps.Made([&c50, &c60, recno, cancel] { return MarkDraftLine(c50, c60, recno, !cancel); });
  return marked;
}

// The header code of the current line: BMOIS + BJAL + "B".
std::string HeaderOf(Table& c50) { return std::string(c50.GetField(L::BMOIS)) + c50.GetField(L::BJAL) + "B"; }

// Record `recno` made current: found when it is a general line, refused when it could not be read.
Lookup OnGeneralLine(Table& c50, std::uint32_t recno) {
  if (!c50.isOpen) return Lookup::NotFound();
  const Lookup at = c50.GoToRecord(static_cast<long>(recno));
  return at.IsFound() ? at.And(c50.GetField(L::BCLE)[0] == L::kGeneral) : at;
}

bool TypedInEuros(Table& c50) {
  const char entry = c50.GetField(L::BEURO)[0];
  return entry != 'N' && entry != 'n';
}

// A change refused on the way: what it wrote taken back (the log naming the line), its box given, the
// line current again.
LineChange Refused(Table& c50, std::uint32_t recno, const std::string& recordText, LineChangeSteps& steps,
                   std::string* refusal) {
  const LineChange answer = steps.Fail(c50.GoToRecord(static_cast<long>(recno)).IsFound() ? L::Key(c50) : recordText,
                                       refusal, LineChange::Failed, LineChange::TotalsTooLarge);
  c50.GoToRecord(static_cast<long>(recno));
  return answer;
}

}  // namespace

bool IsLettered(Table& c50) { return !IsBlank(c50.GetField(L::BLET)) || !IsBlank(c50.GetField(L::BLETE)); }

LineChange CancelLine(Table& c50, Table& c60, std::uint32_t recno, const std::string& recordText,
                      long* analyticCancelled, std::string* refusal, std::string* totalsLeft) {
  if (analyticCancelled != nullptr) *analyticCancelled = 0;
  if (totalsLeft != nullptr) totalsLeft->clear();
  // The change watches its reads from the first: a line read short decides nothing. It works over
  // its own line's amounts only (the cancel takes them away): a total it moves or an analytic line
  // it reads that does not read refuses it.
  LineChangeSteps steps(LineChangeKind::LineCancelled);
  steps.Ends(c50, c60, kMsgCancelRefused);
  auto refused = [&] { return Refused(c50, recno, recordText, steps, refusal); };
  auto stateOf = [&](LineChange answer) { return steps.ReadWhole() ? answer : refused(); };
  // A line not read is no line missing: the change is refused in its sentence.
  const Lookup general = OnGeneralLine(c50, recno);
  if (general.IsRefused()) return refused();
  if (general.IsNotFound()) return stateOf(LineChange::NoLine);
  // A mark not read is no line cancelled: the change is refused in its sentence.
  const Lookup live = c50.LiveHere();
  if (live.IsRefused()) return refused();
  if (live.IsNotFound()) return stateOf(LineChange::AlreadyDone);
  // Locked first, so that the line is read as it stands now: another station may have just
  // matched it.
  if (!steps.LockLine(c50, recno, recordText.c_str())) return LineChange::LockRefused;
  const Lookup again = c50.LiveHere();
  if (again.IsRefused()) return refused();
  if (again.IsNotFound() || !steps.ReadWhole()) return stateOf(LineChange::AlreadyDone);
  steps.WorksOver(c50, recno);
  if (IsLettered(c50)) return LineChange::Lettered;
  const bool euros = TypedInEuros(c50);
  steps.Ends(c50, c60, kMsgCancelRefused, euros);
  const TotalsCents line = LineMove(c50).Negated();
  const std::string account = c50.GetField(L::BCODE), header = HeaderOf(c50);
  steps.Moves().Account(account, line);
  steps.Moves().Header(header, line);
  const std::size_t lineMoves = steps.Moves().Count();

  // Its analytic lines, live ones, held before anything is written; their sections' totals.
  const std::string key = L::AnalyticKey(c50);
  std::vector<std::uint32_t> analytic;
  // A look-up refused hides them: the change's watch of refused reads refuses it at its Begin.
  for (bool more = c50.FindNotBelow(L::kAnalyticTag, key.c_str()).FoundOrNone(); more; more = c50.Skip(1)) {
    const KeyMatch m = c50.MatchRecordKey(key.c_str(), L::kAnalyticKeyLength, L::BMOIS, L::BJAL, L::BPIECE, L::BCG, L::BNUM);
    if (m.IsRefused()) RefusalWatch::NoteEngineReadRefusal(c50.tablePath, m.result());
    if (m.IsLive()) analytic.push_back(c50.recordNumber);
    else if (!m.IsCancelled()) break;
  }
  c50.SetOrder(L::kCodeTag);
  HeldRecordLocks locks(c50);
  for (std::uint32_t a : analytic) {
    // One not read is a read refused, not a line held.
    const Lookup at = c50.GoToRecord(static_cast<long>(a));
    if (at.IsRefused()) return refused();
    if (at.IsNotFound() || !locks.Take(a, L::BNUMA)) {
      c50.GoToRecord(static_cast<long>(recno));
      return LineChange::LockRefused;
    }
    const char kind = c50.GetField(L::BCLE)[0];
    if (kind == 'W' || kind == 'Y') steps.Moves().Section(c50.GetField(L::BCODE), LineMove(c50).Negated());
  }
  if (steps.Check(refusal)) {
    c50.GoToRecord(static_cast<long>(recno));
    return LineChange::TotalsTooLarge;
  }

  // The line and its sort record, its totals, then its analytic lines (which take the line's cancel
  // mark) and their sections.
  steps.Note().Line(recno);
  steps.Note().SortRecordsFrom(c60.RecCount());
  for (std::uint32_t a : analytic) {
    steps.Note().Follows(recno, a);
    steps.Note().Before(c50, a);
  }
  if (!steps.Begin()) return refused();
  if (!MarkLineAndSort(c50, c60, recno, true, steps) || !steps.Moves().Make(lineMoves)) return refused();
  for (std::uint32_t a : analytic)
    if (!MarkLineAndSort(c50, c60, a, true, steps)) return refused();
  if (!steps.Moves().Make() || !steps.Finish()) return refused();
  if (analyticCancelled != nullptr) *analyticCancelled = static_cast<long>(analytic.size());
  // Cancelled over an amount that did not read: the totals that counted it still do.
  if (totalsLeft != nullptr && steps.WorkedOverOwnLine()) *totalsLeft = OwnAmountReplacedText(account, header, true);
  c50.GoToRecord(static_cast<long>(recno));
  return LineChange::Done;
}

LineChange ReactivateLine(Table& c50, Table& c60, std::uint32_t recno, const std::string& recordText,
                          std::string* refusal) {
  // The change watches its reads from the first: a cancel mark it could not read is taken for none.
  LineChangeSteps steps(LineChangeKind::LineReactivated);
  steps.Ends(c50, c60, kMsgReactivateRefused);
  auto refused = [&] { return Refused(c50, recno, recordText, steps, refusal); };
  auto stateOf = [&](LineChange answer) { return steps.ReadWhole() ? answer : refused(); };
  // A line not read is no line missing: the change is refused in its sentence.
  const Lookup general = OnGeneralLine(c50, recno);
  if (general.IsRefused()) return refused();
  if (general.IsNotFound()) return stateOf(LineChange::NoLine);
  // A mark not read is no line live: the change is refused in its sentence.
  const Lookup live = c50.LiveHere();
  if (live.IsRefused()) return refused();
  if (live.IsFound()) return stateOf(LineChange::AlreadyDone);
  if (!steps.LockLine(c50, recno, recordText.c_str())) return LineChange::LockRefused;
  const Lookup again = c50.LiveHere();
  if (again.IsRefused()) return refused();
  if (again.IsFound() || !steps.ReadWhole()) return stateOf(LineChange::AlreadyDone);
  steps.Ends(c50, c60, kMsgReactivateRefused, TypedInEuros(c50));
  const TotalsCents line = LineMove(c50);
  steps.Moves().Account(c50.GetField(L::BCODE), line);
  steps.Moves().Header(HeaderOf(c50), line);
  if (steps.Check(refusal)) {
    c50.GoToRecord(static_cast<long>(recno));
    return LineChange::TotalsTooLarge;
  }
  steps.Note().Line(recno);
  steps.Note().SortRecordsFrom(c60.RecCount());
  if (!steps.Begin() || !MarkLineAndSort(c50, c60, recno, false, steps) || !steps.Moves().Make() || !steps.Finish())
    return refused();
  c50.GoToRecord(static_cast<long>(recno));
  return LineChange::Done;
}

}  // namespace posting
