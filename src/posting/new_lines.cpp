#include "posting/new_lines.h"

#include <cstdlib>
#include <vector>

#include "data/closed_lines.h"
#include "data/error_report.h"
#include "data/entry_lines.h"
#include "data/line_change_steps.h"
#include "data/locks.h"
#include "data/table.h"
#include "data/table_results.h"
#include "posting/journal_month.h"
#include "resources/string_table.h"
#include "runtime/dossier_record.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace posting {

namespace {

// The record text of the dossier's counter when its lock is refused, by its id in the string table.
constexpr int kDossierCounterLockText = 2266;
// A new line and a new piece refused by a write (the file and the error in them): all taken back.
constexpr int kMsgLineNotCreated = 36050;
constexpr int kMsgPieceNotCreated = 36051;
// No piece number taken: its counter's read, or its write, refused (the file and the error in them).
constexpr int kMsgCounterUnread = 38100;
constexpr int kMsgCounterUnwritten = 38101;

using L = LigneEcriture;

constexpr long kMaxPiece = 999999;
constexpr int kGroupKeyLength = 20;  // prefix + piece + group
// Where the journal (field 4, 19-24) and the dossier (record "0" field 4 from 165) keep their
// next piece number.
constexpr int kCounterField = 4, kJournalCounterAt = 19, kDossierCounterAt = 165, kCounterWidth = 6;

std::string Digits4(long n) { return StrZero(n, 4); }

// A line of the group and what its renumbering moves along with it.
struct PlannedLine {
  std::uint32_t recno;
  long target;
  std::vector<std::uint32_t> analytic;  // its analytic lines, found before any number changed
};

bool GroupLine(Table& c50, const std::string& groupKey) {
  return c50.MatchRecordKey(groupKey.c_str(), kGroupKeyLength, L::BCLE, L::BMOIS, L::BJAL, L::BPIECE, L::BREC).HoldsKey();
}

// The analytic lines of the current general line (live ones only, as the cancellation walks them).
std::vector<std::uint32_t> AnalyticLinesOf(Table& c50) {
  std::vector<std::uint32_t> found;
  const std::string key = L::AnalyticKey(c50);
  const std::uint32_t back = c50.recordNumber;
  // A look-up refused hides them: the change's watch of refused reads, checked once planned, fails it.
  for (bool more = c50.FindNotBelow(L::kAnalyticTag, key.c_str()).FoundOrNone(); more; more = c50.Skip(1)) {
    if (c50.MatchRecordKey(key.c_str(), L::kAnalyticKeyLength, L::BMOIS, L::BJAL, L::BPIECE, L::BCG, L::BNUM).OffKey())
      break;
    found.push_back(c50.recordNumber);
  }
  c50.SetOrder(L::kCodeTag);
  c50.GoToRecord(static_cast<long>(back));
  return found;
}

// The renumbering's own outcome codes (below 0).
constexpr long kRenumberTooLarge = -1;
constexpr long kRenumberLocked = -2;
constexpr long kRenumberRefused = -3;

// The renumbering of a group planned: its lines and analytic lines with their numbers, each locked
// with its sort record.
struct Renumbering {
  std::vector<PlannedLine> lines;
  long before = 0;  // the number given to the last line whose number was below the one asked
};

// The new line's record filled, as "Créer Ligne" and "Créer Pièce" give it.
struct NewLine {
  std::string month, journal, piece, group, number, day, labelCode, label;
  char sense = 0;
  char entryCurrency = 'O';
};

bool FillNewLine(Table& c50, const NewLine& l) {
  bool ok = c50.PutField(L::BCLE, "Z") && c50.PutField(L::BMOIS, l.month.c_str()) &&
            c50.PutField(L::BJAL, l.journal.c_str()) && c50.PutField(L::BPIECE, l.piece.c_str()) &&
            c50.PutField(L::BREC, l.group.c_str()) && c50.PutField(L::BNUM, l.number.c_str()) &&
            c50.PutField(L::BNUMA, "0001") && c50.PutField(L::BCLIB, l.labelCode.c_str()) &&
            c50.PutField(L::BEURO, std::string(1, l.entryCurrency).c_str());
  if (!l.day.empty()) ok = c50.PutField(L::BJOUR, l.day.c_str()) && ok;
  if (!l.label.empty()) ok = c50.PutField(L::BLIB, l.label.c_str()) && ok;
  if (l.sense != 0) ok = c50.PutField(L::BSENS, std::string(1, l.sense).c_str()) && ok;
  return ok;
}

// The new line appended with its sort record, within the change `steps` (AppendDraftRecord). *r gets
// its record and key.
bool AppendNewLine(Table& c50, Table& c60, const NewLine& line, LineChangeSteps& steps, NewLineResult* r) {
  if (!AppendDraftRecord(c50, c60, [&] { return FillNewLine(c50, line); }, steps)) return false;
  r->recno = c50.recordNumber;
  r->key = L::Key(c50);
  return true;
}

// The group planned for the renumbering 10, 20, 30 ... (cancelled lines included), each line and
// analytic line locked with its sort record before anything is written; the number asked is `n`.
// kRenumberTooLarge when the group holds more than 999 lines, kRenumberLocked when another station
// holds one of them, kRenumberRefused when its lines could not be read; 0 otherwise.
long PlanRenumbering(Table& c50, Table& c60, long n, const std::string& groupKey, HeldRecordLocks& lineLocks,
                     HeldRecordLocks& sortLocks, Renumbering* plan) {
  // A group not read is no empty group: its numbers would be given twice.
  const Lookup first = c50.Find(L::kCodeTag, groupKey.c_str());
  if (first.IsRefused()) return kRenumberRefused;
  for (bool more = first.IsFound() && GroupLine(c50, groupKey); more;
       more = c50.Skip(1) && GroupLine(c50, groupKey)) {
    if (static_cast<long>(plan->lines.size()) >= kMostRenumberedLines) return kRenumberTooLarge;
    PlannedLine p{c50.recordNumber, kRenumberStep * (static_cast<long>(plan->lines.size()) + 1), {}};
    if (std::atol(c50.GetField(L::BNUM)) < n) plan->before = p.target;
    plan->lines.push_back(std::move(p));
  }
  for (PlannedLine& p : plan->lines) {
    const Lookup at = c50.GoToRecord(static_cast<long>(p.recno));
    if (at.IsRefused()) return kRenumberRefused;
    if (at.IsNotFound()) return kRenumberLocked;
    if (std::atol(c50.GetField(L::BNUM)) != p.target) p.analytic = AnalyticLinesOf(c50);
  }
  auto lock = [&](std::uint32_t recno, int textFields) {
    if (!lineLocks.Take(recno, textFields)) return false;
    // A line without its sort record gets one derived with its number.
    return !LigneTri::Find(c60, LigneTri::kDraft, recno) || sortLocks.Take(c60.recordNumber, LigneTri::TREC);
  };
  for (const PlannedLine& p : plan->lines) {
    if (!lock(p.recno, L::BNUM)) return kRenumberLocked;
    for (std::uint32_t a : p.analytic)
      if (!lock(a, L::BNUMA)) return kRenumberLocked;
  }
  return 0;
}

}  // namespace

std::uint32_t DraftRecordLimit = kMostDraftRecords;

bool DraftHasRoomFor(Table& c50, std::uint32_t adding) {
  const std::uint32_t count = c50.RecCount();
  return count <= DraftRecordLimit && adding <= DraftRecordLimit - count;
}

LineAfter LineAfterOf(Table& c50) {
  LineAfter after;
  after.prefix = L::Key(c50).substr(0, L::kJournalMonthKeyLength);
  after.piece = c50.GetField(L::BPIECE);
  after.group = c50.GetField(L::BREC);
  after.number = c50.GetField(L::BNUM);
  after.day = c50.GetField(L::BJOUR);
  after.labelCode = c50.GetField(L::BCLIB);
  after.label = c50.GetField(L::BLIB);
  after.sense = c50.GetField(L::BSENS)[0] == 'D' ? 'D' : 'C';
  return after;
}

NewLineResult CreateLineAfter(Table& c50, Table& c60, const LineAfter& after) {
  NewLineResult r;
  if (!DraftHasRoomFor(c50, 1)) {
    r.outcome = NewLineOutcome::DraftFull;
    return r;
  }
  // One change: the group renumbered with its analytic lines and sort records, then the new line with
  // its sort record. It watches its reads from the first: a number read short decides nothing.
  LineChangeSteps steps(LineChangeKind::LineCreated);
  steps.Ends(c50, c60, kMsgLineNotCreated);
  const std::string groupKey = after.prefix + after.piece + after.group;
  auto fail = [&] {
    steps.Fail(groupKey, &r.refusal);
    r.outcome = NewLineOutcome::Failed;
    r.recno = 0;
    r.key.clear();
    r.renumbered = r.analyticRenumbered = 0;
    c50.SetOrder(L::kCodeTag);
    return r;
  };
  long next = std::atol(after.number.c_str()) + 1;
  const std::string wanted = groupKey + Digits4(next);
  // A number not read is not taken for a free one.
  Lookup taken = Lookup::NotFound();
  if (next <= L::kMaxLineNumber) {
    taken = c50.Find(L::kCodeTag, wanted.c_str());
    if (taken.IsFound())
      taken = taken.And(c50.MatchRecordKey(wanted.c_str(), L::kKeyLength, L::BCLE, L::BMOIS, L::BJAL, L::BPIECE,
                                           L::BREC, L::BNUM).HoldsKey());
  }
  if (taken.IsRefused() || !steps.ReadWhole()) return fail();
  if (next > L::kMaxLineNumber) {
    r.outcome = NewLineOutcome::NumberTooLarge;
    return r;
  }
  // Every line and analytic line of the group locked before the first write: a refusal changes nothing.
  HeldRecordLocks lineLocks(c50), sortLocks(c60);
  Renumbering renumbering;
  if (taken.IsFound()) {
    const long planned = PlanRenumbering(c50, c60, next, groupKey, lineLocks, sortLocks, &renumbering);
    if (planned == kRenumberRefused || !steps.ReadWhole()) return fail();
    if (planned != 0) {
      r.outcome = planned == kRenumberTooLarge ? NewLineOutcome::GroupTooLarge : NewLineOutcome::LockRefused;
      return r;
    }
    next = renumbering.before + 1;
  }
  // What the change touches noted before its first write: the numbers given, the new line appended.
  // The next opening renumbers the group whole when the new line stands, and puts its numbers back
  // otherwise.
  NewLine line{after.prefix.substr(1, 4), after.prefix.substr(5, 3), after.piece, after.group, Digits4(next),
               after.day, after.labelCode, after.label, after.sense, after.entryCurrency};
  struct Number {
    std::uint32_t recno;
    std::string was, now;
    bool analytic;
  };
  std::vector<Number> numbers;
  for (const PlannedLine& p : renumbering.lines)
    for (std::size_t k = 0; k <= p.analytic.size(); ++k) {
      const std::uint32_t recno = k == 0 ? p.recno : p.analytic[k - 1];
      if (!c50.GoToRecord(static_cast<long>(recno)).IsFound()) return fail();
      const std::string was = c50.GetField(L::BNUM), now = Digits4(p.target);
      if (std::atol(was.c_str()) != p.target) numbers.push_back({recno, was, now, k > 0});
    }
  for (const Number& n : numbers) steps.Note().Rewritten(n.recno, L::BNUM, n.was, n.now);
  steps.Note().Appended(line.month, line.journal, line.piece, 1, c50.RecCount());
  steps.Note().SortRecordsFrom(c60.RecCount());
  if (!steps.Begin()) return fail();

  // The numbers, each with its sort record, and the write that puts it back.
  for (const Number& n : numbers) {
    if (!c50.GoToRecord(static_cast<long>(n.recno)).IsFound()) return fail();
    const bool written = WriteRecordFields(c50, {{L::BNUM, n.now}});
    const std::uint32_t recno = n.recno;
    const std::string was = n.was;
    steps.Made([&c50, &c60, recno, was] {
      return c50.GoToRecord(static_cast<long>(recno)).IsFound() && WriteRecordFields(c50, {{L::BNUM, was}}) &&
             c50.GoToRecord(static_cast<long>(recno)).IsFound() && SortRecordFollows(c50, c60);
    });
    if (!written || !c50.GoToRecord(static_cast<long>(n.recno)).IsFound() || !SortRecordFollows(c50, c60))
      return fail();
    ++r.renumbered;
    r.analyticRenumbered += n.analytic;
  }
  if (!AppendNewLine(c50, c60, line, steps, &r) || !steps.Finish()) return fail();
  c50.SetOrder(L::kCodeTag);
  c50.GoToRecord(static_cast<long>(r.recno));
  r.outcome = NewLineOutcome::Created;
  return r;
}

PieceNumber TakePieceNumbers(Table& c10, const std::string& journal, long count, JournalRecord* journalRead) {
  PieceNumber p;
  // The counter read and written watched: a read the disk refused is no number (never a journal
  // without a counter of its own, nor another station's lock), and a refused write is said, both in
  // one sentence rather than in the engine's box.
  const RefusalWatch watch(RefusalWatch::EngineBoxes::kRefusalsHeld);
  auto refused = [&](int text) {
    p.outcome = NewLineOutcome::Failed;
    p.number = 0;
    p.refusal = FillPlaceholder(LoadStr(text), watch.Reason(kResultSystemError, c10.tablePath, kResultSystemError));
    return p;
  };
  auto take = [&](int position, const char* text, bool journalCounter) {
    bool held = false;
    if (!LockRecord(c10, text, 1)) {
      p.outcome = NewLineOutcome::LockRefused;
      return;
    }
    held = c10.result == kResultAlreadyLocked;
    // Read again under the lock: another station may have just taken a number.
    const std::string field = c10.GetField(kCounterField);
    const long number = std::atol(field.substr(static_cast<std::size_t>(position - 1), kCounterWidth).c_str());
    const long piece = number > 0 ? number : 1;
    if (watch.ReadRefused()) {
      p.outcome = NewLineOutcome::Failed;
    } else if (count < 1 || piece + count - 1 >= kMaxPiece) {
      p.outcome = NewLineOutcome::CounterFull;
    } else if (c10.PutFieldPart(kCounterField, position, kCounterWidth, StrZero(piece + count, 0)) && c10.Commit()) {
      p.outcome = NewLineOutcome::Created;
      p.number = piece;
      p.journalCounter = journalCounter;
      if (!journalCounter) TheDossierRecord.SetNextPiece(piece + count);
    } else {
      // The counter's write refused: the run's watch learns which file (a field write shows nothing).
      RefusalWatch::NoteAll(c10);
    }
    if (!held) UnlockRecord(c10);
  };
  auto end = [&] {
    // A number written back from a counter read whole is taken, whatever was read after.
    if (p.outcome == NewLineOutcome::Created) return p;
    if (watch.ReadRefused()) return refused(kMsgCounterUnread);
    if (p.outcome == NewLineOutcome::Failed && watch.HasReason()) return refused(kMsgCounterUnwritten);
    return p;
  };
  const JournalRecord j = ReadJournal(c10, journal);
  // The journal's own counter, or the dossier's when the journal has none: a journal read short
  // decides neither.
  if (watch.ReadRefused()) return end();
  if (journalRead != nullptr) *journalRead = j;
  // A counter's record not read is no number, said as a read refused (the watch may not have seen a
  // look-up the index refused).
  if (!j.found && j.refused) return refused(kMsgCounterUnread);
  if (j.found && j.nextPiece() != 0) {
    const Lookup own = FindJournal(c10, journal);
    if (own.IsRefused()) return refused(kMsgCounterUnread);
    if (own.IsFound()) {
      take(kJournalCounterAt, c10.RecordToText(2), true);
      return end();
    }
  }
  if (watch.ReadRefused()) return end();
  const Lookup dossier = FindC10(c10, '0', "");
  if (dossier.IsRefused()) return refused(kMsgCounterUnread);
  if (dossier.IsFound()) take(kDossierCounterAt, LoadStr(kDossierCounterLockText), false);
  return end();
}

PieceNumber TakePieceNumber(Table& c10, const std::string& journal, JournalRecord* journalRead) {
  return TakePieceNumbers(c10, journal, 1, journalRead);
}

std::string NewGroupNumber(Table& c50, const std::string& prefix, const std::string& piece) {
  long group = static_cast<long>(c50.RecCount() % kMaxPiece) + 1;
  for (long tries = 0; tries < kMaxPiece; ++tries) {
    const std::string groupText = StrZero(group, 0);
    const std::string key = prefix + piece + groupText;
    const Lookup used = c50.Find(L::kCodeTag, key.c_str());
    if (used.IsRefused()) return "";
    if (!(used.IsFound() && GroupLine(c50, key))) return groupText;
    group = group % kMaxPiece + 1;
  }
  return StrZero(group, 0);
}

NewLineResult CreatePieceLine(Table& c50, Table& c60, const std::string& prefix, const std::string& piece,
                              char labelCode, char entryCurrency) {
  NewLineResult r;
  if (!DraftHasRoomFor(c50, 1)) {
    r.outcome = NewLineOutcome::DraftFull;
    return r;
  }
  // One change: the line and its sort record. It watches its reads from the first: a group number
  // read short is not taken for a free one.
  LineChangeSteps steps(LineChangeKind::PieceCreated);
  steps.Ends(c50, c60, kMsgPieceNotCreated);
  const std::string group = NewGroupNumber(c50, prefix, piece);
  const NewLine line{prefix.substr(1, 4), prefix.substr(5, 3), piece, group, "0001", "", std::string(1, labelCode),
                     "", 0, entryCurrency};
  // The new line noted before it is written: appended cut short, the next opening takes it back.
  steps.Note().Appended(line.month, line.journal, line.piece, 1, c50.RecCount());
  steps.Note().SortRecordsFrom(c60.RecCount());
  if (!steps.ReadWhole() || group.empty() || !steps.Begin() || !AppendNewLine(c50, c60, line, steps, &r) ||
      !steps.Finish()) {
    steps.Fail(prefix + piece, &r.refusal);
    r.recno = 0;
    r.key.clear();
    return r;
  }
  c50.GoToRecord(static_cast<long>(r.recno));
  r.outcome = NewLineOutcome::Created;
  return r;
}

}  // namespace posting
