#include "processing/core/letters_change.h"

#include "data/entry_lines.h"
#include "data/line_change_steps.h"
#include "data/locks.h"
#include "data/table.h"
#include "data/table_results.h"
#include "runtime/text.h"

namespace processing {

namespace {

using T = LigneTri;

// The texts shown here, by their ids in the string table: a mark refused by a write.
constexpr int kMsgMarkRefused = 37755;

// The fields the record texts of the lock notices are made of: the sort record's, a draft line's, a
// closed line's.
constexpr int kSortRecordText = 14, kDraftRecordText = 7, kClosedRecordText = 6;

// One letter planned: the sort record, its line (null when it cannot be reached), and its letters.
struct Planned {
  std::uint32_t c60 = 0;
  Table* lines = nullptr;
  bool draft = false;
  std::uint32_t recno = 0;
  std::string lineBefore, sortBefore, after;
};

// A field written on a record under its lock (waited for with the notice naming `text`), the lock let
// go after unless the cursor held it before. *locked is set when the lock was not given.
bool WriteLocked(Table& table, std::uint32_t recno, int textFields, int field, const std::string& value,
                 bool* locked = nullptr) {
  if (!table.GoTo(static_cast<long>(recno))) return false;
  if (!LockRecord(table, table.RecordToText(textFields), 1)) {
    if (locked != nullptr) *locked = true;
    return false;
  }
  const bool held = table.result == kResultAlreadyLocked;
  const bool written = table.PutField(field, value.c_str());
  if (!held && table.GoTo(static_cast<long>(recno))) UnlockRecord(table);
  return written;
}

}  // namespace

LettersOutcome WriteLetters(const MatchTables& t, int currency, const std::vector<LetterWrite>& writes,
                            LineChangeKind kind, int refusedText, bool keepLettered) {
  LettersOutcome out;
  const int sortField = T::TLET + currency;
  // The change watches its reads from the first: a letter read short decides nothing.
  LineChangeSteps steps(kind);
  std::vector<Planned> planned;
  for (const LetterWrite& w : writes) {
    if (!t.c60.GoTo(static_cast<long>(w.c60)) || t.c60.IsDeleted()) continue;
    Planned p;
    p.c60 = w.c60;
    p.after = TrimmedRight(w.letter);
    p.sortBefore = TrimmedRight(t.c60.GetField(sortField));
    const SourceLine s = ReadSource(t, currency);
    if (s.table != nullptr) {
      p.lines = s.table;
      p.draft = s.draft;
      p.recno = s.table->recordNumber;
      p.lineBefore = TrimmedRight(s.letter);
      steps.Note().Letter(s.draft ? T::kDraft : T::kClosed, p.recno, currency, p.lineBefore, p.after);
    }
    planned.push_back(p);
  }
  // Refused on the way: what was written taken back; a lock another station kept was said by its
  // notice already.
  steps.Ends(t.c50, t.c60, refusedText);
  auto refused = [&](bool locked = false) {
    std::string why;
    steps.Fail(LineChangeKindText(kind), &why);
    t.c40.Commit();
    out.done = false;
    out.written = 0;
    out.lockRefused = locked && steps.PutBack() && steps.ReadWhole();
    if (!out.lockRefused) out.refusal = why;
    return out;
  };
  if (!steps.ReadWhole()) return refused();
  if (planned.empty()) return out;
  if (!steps.Begin()) return refused();
  for (const Planned& p : planned) {
    // The sort record held first: a letter another station wrote meanwhile is seen under its lock.
    if (!t.c60.GoTo(static_cast<long>(p.c60))) return refused();
    if (!LockRecord(t.c60, t.c60.RecordToText(kSortRecordText), 1)) return refused(true);
    const bool sortHeld = t.c60.result == kResultAlreadyLocked;
    auto releaseSort = [&] {
      if (!sortHeld && t.c60.GoTo(static_cast<long>(p.c60))) UnlockRecord(t.c60);
    };
    if (keepLettered && !Trimmed(t.c60.GetField(sortField)).empty()) {
      releaseSort();
      continue;
    }
    if (p.lines != nullptr) {
      Table& lines = *p.lines;
      const int field = SourceLetterField(p.draft, currency);
      const int text = p.draft ? kDraftRecordText : kClosedRecordText;
      bool locked = false;
      const bool written = WriteLocked(lines, p.recno, text, field, p.after, &locked);
      if (!locked)
        steps.Made([&lines, p, text, field] { return WriteLocked(lines, p.recno, text, field, p.lineBefore); });
      if (!written) {
        releaseSort();
        return refused(locked);
      }
    }
    const bool sorted = t.c60.GoTo(static_cast<long>(p.c60)) && t.c60.PutField(sortField, p.after.c_str());
    steps.Made([&t, p, sortField] { return WriteLocked(t.c60, p.c60, kSortRecordText, sortField, p.sortBefore); });
    releaseSort();
    if (!sorted) return refused();
    ++out.written;
  }
  if (!steps.Done()) return refused();
  t.c40.Commit();
  t.c50.Commit();
  t.c60.Commit();
  return out;
}

bool WriteMarks(Table& c60, const std::vector<LetterWrite>& marks, std::string* refusal) {
  LineChangeSteps steps(LineChangeKind::MatchingMarked);
  struct Mark {
    std::uint32_t c60;
    std::string before, after;
  };
  std::vector<Mark> planned;
  for (const LetterWrite& m : marks)
    if (c60.GoTo(static_cast<long>(m.c60)) && !c60.IsDeleted())
      planned.push_back({m.c60, TrimmedRight(c60.GetField(T::TLETP)), TrimmedRight(m.letter)});
  for (const Mark& m : planned) steps.Note().Mark(m.c60, m.before, m.after);
  // Refused on the way: what was written taken back; a lock another station kept was said by its
  // notice already.
  // The sort file is the one table the marks write: it is named when the system named none.
  steps.Ends(c60, c60, kMsgMarkRefused);
  auto refused = [&](bool locked = false) {
    std::string why;
    steps.Fail(LineChangeKindText(LineChangeKind::MatchingMarked), &why);
    if (refusal != nullptr && !(locked && steps.PutBack() && steps.ReadWhole())) *refusal = why;
    return false;
  };
  if (!steps.ReadWhole()) return refused();
  if (planned.empty()) return true;
  if (!steps.Begin()) return refused();
  for (const Mark& m : planned) {
    bool locked = false;
    const bool written = WriteLocked(c60, m.c60, kSortRecordText, T::TLETP, m.after, &locked);
    if (!locked) steps.Made([&c60, m] { return WriteLocked(c60, m.c60, kSortRecordText, T::TLETP, m.before); });
    if (!written) return refused(locked);
  }
  if (!steps.Done()) return refused();
  c60.Commit();
  return true;
}

}  // namespace processing
