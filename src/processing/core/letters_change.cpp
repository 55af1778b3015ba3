#include "processing/core/letters_change.h"

#include "data/entry_lines.h"
#include "data/error_report.h"
#include "data/line_change_steps.h"
#include "data/locks.h"
#include "data/table.h"
#include "runtime/text.h"

namespace processing {

namespace {

using T = LigneTri;

// The texts shown here, by their ids in the string table: a mark refused by a write.
constexpr int kMsgMarkRefused = 37755;

// The fields the record texts of the lock notices are made of: the sort record's, a draft line's, a
// closed line's.
constexpr int kSortRecordText = 14, kDraftRecordText = 7, kClosedRecordText = 6;
// How a note names the sort file in a record's state before the change.
constexpr char kSortFile = 'T';

// One letter planned: the sort record, its line (null when it cannot be reached), and its letters.
struct Planned {
  std::uint32_t c60 = 0;
  Table* lines = nullptr;
  bool draft = false;
  std::uint32_t recno = 0;
  std::string lineBefore, sortBefore, after;
};

// A field of record `recno` written, the record made current first.
bool WriteField(Table& table, std::uint32_t recno, int field, const std::string& value) {
  return table.GoToRecord(static_cast<long>(recno)).IsFound() && table.PutField(field, value.c_str());
}

}  // namespace

LettersOutcome WriteLetters(const MatchTables& t, int currency, const std::vector<LetterWrite>& writes,
                            LineChangeKind kind, int refusedText, bool keepLettered) {
  LettersOutcome out;
  const int sortField = T::TLET + currency;
  // The change watches its reads from the first: a letter read short decides nothing.
  LineChangeSteps steps(kind);
  steps.Ends(t.c50, t.c60, refusedText);
  steps.EndsToo(t.c40);
  // Every sort record and line it letters held from before its note to its end: what it notes of
  // them is what they hold, and no other station writes them meanwhile. Given back once the change
  // has ended (Finish or Fail: the tables committed).
  HeldRecordLocks sortLocks(t.c60), draftLocks(t.c50), closedLocks(t.c40);
  // Refused on the way: what was written taken back; a lock another station kept was said by its
  // notice already.
  auto refused = [&](bool locked = false) {
    std::string why;
    steps.Fail(LineChangeKindText(kind), &why);
    out.done = false;
    out.written = 0;
    out.lockRefused = locked && steps.PutBack() && steps.ReadWhole();
    if (!out.lockRefused) out.refusal = why;
    return out;
  };
  auto refusedMark = [&](const Table& table, const Lookup& live) {
    RefusalWatch::NoteEngineReadRefusal(table.tablePath, live.result());
    return refused();
  };
  std::vector<Planned> planned;
  for (const LetterWrite& w : writes) {
    // A sort record not read is no sort record gone: the change is refused.
    const Lookup at = t.c60.GoToRecord(static_cast<long>(w.c60));
    if (at.IsRefused()) return refused();
    if (at.IsNotFound()) continue;
    // Nor is one whose mark is not read, before its lock or under it: noted by the change's watch.
    Lookup live = t.c60.LiveHere();
    if (live.IsRefused()) return refusedMark(t.c60, live);
    if (live.IsNotFound()) continue;
    // The sort record read again under its lock: a letter another station wrote since the list read
    // it is seen.
    if (!sortLocks.Wait(w.c60, kSortRecordText)) return refused(true);
    live = t.c60.LiveHere();
    if (live.IsRefused()) return refusedMark(t.c60, live);
    if (live.IsNotFound()) continue;
    Planned p;
    p.c60 = w.c60;
    p.after = TrimmedRight(w.letter);
    p.sortBefore = TrimmedRight(t.c60.GetField(sortField));
    const std::string account = AccountOf(t.c60);
    // A line lettered meanwhile keeps its letter: the change passes it over, and its note leaves it out.
    if (keepLettered && !Trimmed(p.sortBefore).empty()) continue;
    const SourceLine s = ReadSource(t, currency);
    if (s.refused) return refused();
    if (s.table != nullptr) {
      p.lines = s.table;
      p.draft = s.draft;
      p.recno = s.table->recordNumber;
      HeldRecordLocks& lineLocks = s.draft ? draftLocks : closedLocks;
      if (!lineLocks.Wait(p.recno, s.draft ? kDraftRecordText : kClosedRecordText)) return refused(true);
      p.lineBefore = TrimmedRight(s.table->GetField(SourceLetterField(s.draft, currency)));
      steps.Note().Letter(s.draft ? T::kDraft : T::kClosed, p.recno, currency, p.lineBefore, p.after);
      // The line as it stands: one cancelled or rewritten since (its amount, its account) is not lettered
      // by the opening.
      steps.Note().Before(s.draft ? T::kDraft : T::kClosed, *s.table, p.recno);
    } else {
      // A sort record whose line cannot be reached is lettered on its own: its note item lets the
      // opening take it back, or finish it, with the lines.
      steps.Note().SortLetter(p.c60, currency, p.sortBefore, p.after);
    }
    // The letter given is the change's own from its note on: no other station gives it meanwhile.
    if (!p.after.empty()) steps.Note().Given(account, currency, p.after);
    planned.push_back(p);
  }
  if (!steps.ReadWhole()) return refused();
  if (planned.empty()) return out;
  if (!steps.Begin()) return refused();
  for (const Planned& p : planned) {
    if (p.lines != nullptr) {
      Table& lines = *p.lines;
      const int field = SourceLetterField(p.draft, currency);
      const bool written = WriteField(lines, p.recno, field, p.after);
      steps.Made([&lines, p, field] { return WriteField(lines, p.recno, field, p.lineBefore); });
      if (!written) return refused();
    }
    const bool sorted = WriteField(t.c60, p.c60, sortField, p.after);
    steps.Made([&t, p, sortField] { return WriteField(t.c60, p.c60, sortField, p.sortBefore); });
    if (!sorted) return refused();
    ++out.written;
  }
  if (!steps.Finish()) return refused();
  return out;
}

bool WriteMarks(Table& c60, const std::vector<LetterWrite>& marks, std::string* refusal) {
  LineChangeSteps steps(LineChangeKind::MatchingMarked);
  // The sort file is the one table the marks write: it is named when the system named none.
  steps.Ends(c60, c60, kMsgMarkRefused);
  // Every sort record marked held from before the note to the change's end.
  HeldRecordLocks locks(c60);
  // Refused on the way: what was written taken back; a lock another station kept was said by its
  // notice already.
  auto refused = [&](bool locked = false) {
    std::string why;
    steps.Fail(LineChangeKindText(LineChangeKind::MatchingMarked), &why);
    if (refusal != nullptr && !(locked && steps.PutBack() && steps.ReadWhole())) *refusal = why;
    return false;
  };
  struct Mark {
    std::uint32_t c60;
    std::string before, after;
  };
  auto refusedMark = [&](const Table& table, const Lookup& live) {
    RefusalWatch::NoteEngineReadRefusal(table.tablePath, live.result());
    return refused();
  };
  std::vector<Mark> planned;
  for (const LetterWrite& m : marks) {
    // A sort record not read is no sort record gone: the change is refused.
    const Lookup at = c60.GoToRecord(static_cast<long>(m.c60));
    if (at.IsRefused()) return refused();
    if (at.IsNotFound()) continue;
    // Nor is one whose mark is not read, before its lock or under it: noted by the change's watch.
    Lookup live = c60.LiveHere();
    if (live.IsRefused()) return refusedMark(c60, live);
    if (live.IsNotFound()) continue;
    if (!locks.Wait(m.c60, kSortRecordText)) return refused(true);
    live = c60.LiveHere();
    if (live.IsRefused()) return refusedMark(c60, live);
    if (live.IsNotFound()) continue;
    planned.push_back({m.c60, TrimmedRight(c60.GetField(T::TLETP)), TrimmedRight(m.letter)});
    steps.Note().Mark(m.c60, planned.back().before, planned.back().after);
    steps.Note().Before(kSortFile, c60, m.c60);
  }
  if (!steps.ReadWhole()) return refused();
  if (planned.empty()) return true;
  if (!steps.Begin()) return refused();
  for (const Mark& m : planned) {
    const bool written = WriteField(c60, m.c60, T::TLETP, m.after);
    steps.Made([&c60, m] { return WriteField(c60, m.c60, T::TLETP, m.before); });
    if (!written) return refused();
  }
  return steps.Finish() || refused();
}

}  // namespace processing
