#include "entry/core/move_copy.h"

#include <cstdlib>
#include <vector>

#include "data/account_totals.h"
#include "data/closed_lines.h"
#include "data/dossier_files.h"
#include "data/error_report.h"
#include "data/entry_lines.h"
#include "data/error_report.h"
#include "data/line_change_note.h"
#include "data/locks.h"
#include "data/record_fields.h"
#include "data/session.h"
#include "data/table.h"
#include "data/table_results.h"
#include "posting/entry_state.h"
#include "posting/journal_month.h"
#include "posting/line_changes.h"
#include "posting/line_save.h"
#include "posting/new_lines.h"
#include "resources/string_table.h"
#include "runtime/code_helpers.h"
#include "runtime/dates.h"
#include "runtime/dossier_record.h"
#include "runtime/logfile.h"
#include "runtime/numbers.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace entry {

namespace {

using L = LigneEcriture;

constexpr int kPieceKeyLength = 14;  // "Z" + month + journal + piece
constexpr int kLabelWidth = 25;
// A move and a copy refused by a write (the file and the error in them).
constexpr int kMsgMoveRefused = 34303;
constexpr int kMsgCopyRefused = 34304;

// A general line of the piece with its analytic lines (live ones).
struct PieceLine {
  std::uint32_t recno = 0;
  std::vector<std::uint32_t> analytic;
};

// The live lines of the piece in key order, each with its live analytic lines, found on the
// analytic key of the general line as it stands before any rewrite. Lines not read are missed here;
// the callers' change watches its reads and refuses the piece for them.
std::vector<PieceLine> LinesOfPiece(Table& c50, const std::string& source, const std::string& piece) {
  std::vector<PieceLine> lines;
  const std::string key = posting::LinePrefix(source) + PadRight(piece, 6);
  std::vector<std::pair<std::uint32_t, std::string>> general;
  for (bool more = c50.Find(L::kCodeTag, key.c_str()).FoundOrNone(); more; more = c50.Skip(1)) {
    const KeyMatch m = c50.MatchRecordKey(key.c_str(), kPieceKeyLength, L::BCLE, L::BMOIS, L::BJAL, L::BPIECE);
    // A line whose mark is not read is no cancelled line: noted, the change's watch refuses the piece.
    if (m.IsRefused()) RefusalWatch::NoteEngineReadRefusal(c50.tablePath, m.result());
    if (!m.IsLive() && !m.IsCancelled()) break;
    if (m.IsLive()) general.emplace_back(c50.recordNumber, L::AnalyticKey(c50));
  }
  for (const auto& [recno, analyticKey] : general) {
    PieceLine line;
    line.recno = recno;
    for (bool more = c50.FindNotBelow(L::kAnalyticTag, analyticKey.c_str()).FoundOrNone(); more; more = c50.Skip(1)) {
      const KeyMatch m =
          c50.MatchRecordKey(analyticKey.c_str(), L::kAnalyticKeyLength, L::BMOIS, L::BJAL, L::BPIECE, L::BCG, L::BNUM);
      if (m.IsRefused()) RefusalWatch::NoteEngineReadRefusal(c50.tablePath, m.result());
      if (m.IsLive()) line.analytic.push_back(c50.recordNumber);
      else if (!m.IsCancelled()) break;
    }
    lines.push_back(std::move(line));
  }
  c50.SetOrder(L::kCodeTag);
  return lines;
}

// The target's draft header held for the command: made when missing, then locked on the
// program's general-file cursor (at once when this program enters it); its lock goes back at
// the end unless it was held before.
class TargetHeader {
 public:
  explicit TargetHeader(const std::string& journalMonth) : journalMonth_(journalMonth) {}
  ~TargetHeader() {
    if (!taken_ || before_ || TableC10 == nullptr) return;
    // A header not read keeps its lock until the general file's cursor closes: said, naming the file.
    const Lookup header = posting::FindHeader(*TableC10, journalMonth_, posting::kDraftSource);
    if (header.IsFound()) UnlockRecord(*TableC10);
    else ReportRefusedLookup(*TableC10, header, "C10CODE", journalMonth_.c_str());
  }
  // Without `make`, a missing header is left for later (nothing is written yet).
  PieceOutcome Take(long* created, bool make) {
    if (taken_) return PieceOutcome::Done;
    if (!posting::EnsureGeneralFile()) return PieceOutcome::Failed;
    Table& c10 = *TableC10;
    // A header not read is no header missing: the change is refused, its watch told which file.
    const Lookup header = posting::FindHeader(c10, journalMonth_, posting::kDraftSource);
    if (header.IsRefused()) return Unread(c10, header);
    if (header.IsNotFound()) {
      if (!make) return PieceOutcome::Done;
      const posting::HeaderCreation made = posting::EnsureDraftHeader(c10, journalMonth_);
      if (made == posting::HeaderCreation::NoJournal) {
        // The journal is missing or cancelled: the header is made as the totals make one.
        if (!MoveHeaderRecord(PadRight(journalMonth_, posting::kJournalMonthKeyLength) + posting::kDraftSource,
                              TotalsCents{}))
          return PieceOutcome::Failed;
      } else if (made == posting::HeaderCreation::Failed) {
        return PieceOutcome::Failed;
      }
      const Lookup now = posting::FindHeader(c10, journalMonth_, posting::kDraftSource);
      if (now.IsRefused()) return Unread(c10, now);
      if (!now.IsFound()) return PieceOutcome::Failed;
      ++*created;
    }
    // Asked once, without waiting: another station's entry refuses the command.
    // A header not read under its lock is no entry of another station: said, and the command fails.
    if (!LockRecord(c10, nullptr, 0)) return LockHeldElsewhere(c10) ? PieceOutcome::TargetHeld : PieceOutcome::Failed;
    taken_ = true;
    before_ = c10.result == kResultAlreadyLocked;
    return PieceOutcome::Done;
  }

 private:
  static PieceOutcome Unread(Table& c10, const Lookup& header) {
    RefusalWatch::NoteEngineReadRefusal(c10.tablePath, header.result());
    return PieceOutcome::Failed;
  }
  std::string journalMonth_;
  bool taken_ = false;
  bool before_ = false;
};

struct Cursors {
  Table c50, c60;
  bool Open() { return c50.OpenShared(PathC50(), L::kCodeTag) && c60.OpenShared(PathC60(), LigneTri::kRecordTag); }
};

// A refusal names amounts in the dossier's main currency.
bool EuroMain() { return TheDossierRecord.At(DossierRecord::kEuroMainPos) != 'N'; }

// A piece that did not go through: what the command wrote taken back, and its box.
PieceResult Refused(PieceResult r, LineChangeSteps& steps) {
  r.outcome = steps.Fail(r.piece, &r.refusal, PieceOutcome::Failed, PieceOutcome::TotalsTooLarge);
  r.generalLines = r.analyticLines = 0;
  return r;
}

}  // namespace

PieceTarget PieceTarget::From(const std::string& ciblePiece) {
  const std::string text = PadRight(ciblePiece, kTargetTextLength);
  PieceTarget t;
  t.journalMonth = text.substr(0, posting::kJournalMonthKeyLength);
  t.day = text.substr(7, 2);
  t.label = text.substr(9, kLabelWidth);
  t.clearAmounts = text[34] == 'O';
  return t;
}

std::string CopiedLabel(const std::string& lineLabel, const std::string& dialogLabel) {
  if (IsBlank(dialogLabel)) return PadRight(lineLabel, kLabelWidth);
  if (dialogLabel.find('\\') != std::string::npos) return PadRight(dialogLabel, kLabelWidth);
  const std::size_t slash = lineLabel.find('\\');
  if (slash == std::string::npos) return PadRight(dialogLabel, kLabelWidth);
  return PadRight(std::string(AllTrim(dialogLabel.c_str())) + "\\" + lineLabel.substr(slash + 1), kLabelWidth);
}

PieceResult MovePiece(const std::string& source, const std::string& piece, const PieceTarget& target,
                      const std::function<void()>& step) {
  PieceResult r;
  r.piece = PadRight(piece, 6);
  const std::string from = PadRight(source, posting::kJournalMonthKeyLength),
                    to = PadRight(target.journalMonth, posting::kJournalMonthKeyLength);
  if (from == to) {
    r.outcome = PieceOutcome::SameJournal;
    return r;
  }
  Cursors t;
  // The change watches its reads from the first: a piece whose lines were read short is not moved.
  LineChangeSteps steps(LineChangeKind::PieceMoved);
  steps.Ends(t.c50, t.c60, kMsgMoveRefused, EuroMain());
  if (!t.Open()) return r;
  const std::vector<PieceLine> lines = LinesOfPiece(t.c50, from, r.piece);
  if (!steps.ReadWhole()) return Refused(r, steps);
  if (lines.empty()) {
    r.outcome = PieceOutcome::NoPiece;
    return r;
  }
  // The target's header first: another station's entry refuses the move before anything else.
  TargetHeader header(to);
  r.outcome = header.Take(&r.headersCreated, false);
  if (r.outcome == PieceOutcome::Failed) return Refused(r, steps);
  if (r.outcome != PieceOutcome::Done) return r;

  // Every line and its sort record held before anything is written.
  HeldRecordLocks lineLocks(t.c50), sortLocks(t.c60);
  auto hold = [&](std::uint32_t recno, int textFields) {
    // A line not read is no line held: the change's watch refuses the piece below.
    if (!t.c50.GoToRecord(static_cast<long>(recno)).FoundOrNone()) return false;
    const std::string text = RTrim(t.c50.RecordToText(textFields));
    // A line not read under its lock is no line held: said, and the change's watch refuses the piece.
    if (!lineLocks.Take(recno, text.c_str())) {
      if (LockHeldElsewhere(t.c50)) r.heldLine = text;
      return false;
    }

    // Its mark not read under the lock, it is no line held: noted, the change's watch refuses the piece.
    const Lookup live = t.c50.LiveHere();
    if (live.IsRefused()) {
      RefusalWatch::NoteEngineReadRefusal(t.c50.tablePath, live.result());
      return false;
    }
    if (live.IsNotFound()) {
      r.heldLine = text;
      return false;
    }
    if (LigneTri::Find(t.c60, LigneTri::kDraft, recno) && !sortLocks.Take(t.c60.recordNumber, text.c_str())) {
      r.heldLine = text;
      return false;
    }
    return true;
  };
  for (const PieceLine& line : lines) {
    bool held = hold(line.recno, L::BNUM);
    for (std::size_t i = 0; held && i < line.analytic.size(); ++i) held = hold(line.analytic[i], L::BNUMA);
    if (!held) {
      sortLocks.Release();
      lineLocks.Release();
      if (!steps.ReadWhole()) return Refused(r, steps);
      r.outcome = PieceOutcome::LineHeld;
      return r;
    }
  }

  // Each line's amounts leave the source header and join the target's: refused before anything is
  // written when the target's totals cannot hold them.
  const std::string sourceHeader = from + posting::kDraftSource, targetHeader = to + posting::kDraftSource;
  std::vector<std::size_t> movesOf;
  for (const PieceLine& line : lines) {
    // A line not read again moves no other line's amounts.
    if (t.c50.GoToRecord(static_cast<long>(line.recno)).IsRefused()) return Refused(r, steps);
    const TotalsCents move = LineMove(t.c50);
    steps.Moves().Header(sourceHeader, move.Negated());
    steps.Moves().Header(targetHeader, move);
    movesOf.push_back(steps.Moves().Count());
  }
  if (steps.Check(&r.refusal)) {
    r.outcome = PieceOutcome::TotalsTooLarge;
    return r;
  }
  const std::string month = to.substr(0, 4), journal = to.substr(4, 3);
  // Every line noted with where it goes: a piece found part moved is moved whole by the next opening.
  for (const PieceLine& line : lines)
    for (std::size_t k = 0; k <= line.analytic.size(); ++k) {
      const std::uint32_t recno = k == 0 ? line.recno : line.analytic[k - 1];
      // A line not read is not noted; the read refused keeps Begin from writing anything.
      if (t.c50.GoToRecord(static_cast<long>(recno)).FoundOrNone()) {
        const std::string day = t.c50.GetField(L::BJOUR);
        steps.Note().Moved(recno, from, day, to, FittedDay(month, day));
      }
    }
  steps.Note().SortRecordsFrom(t.c60.RecCount());
  if (!steps.Begin()) return Refused(r, steps);

  // A target without its header gets it now.
  r.outcome = header.Take(&r.headersCreated, true);
  if (r.outcome == PieceOutcome::Failed) return Refused(r, steps);
  if (r.outcome != PieceOutcome::Done) return r;

  // A line rewritten with its sort record; taken back with the line's own month, journal and day.
  auto rewrite = [&](std::uint32_t recno) {
    if (!t.c50.GoToRecord(static_cast<long>(recno)).IsFound()) return false;
    const std::vector<FieldWrite> was = {
        {L::BMOIS, t.c50.GetField(L::BMOIS)}, {L::BJAL, t.c50.GetField(L::BJAL)}, {L::BJOUR, t.c50.GetField(L::BJOUR)}};
    const std::string day = FittedDay(month, t.c50.GetField(L::BJOUR));
    if (!WriteRecordFields(t.c50, {{L::BMOIS, month}, {L::BJAL, journal}, {L::BJOUR, day}})) return false;
    steps.Made([&t, recno, was] {
      return t.c50.GoToRecord(static_cast<long>(recno)).IsFound() && WriteRecordFields(t.c50, was) &&
             t.c50.GoToRecord(static_cast<long>(recno)).IsFound() && SortRecordFollows(t.c50, t.c60);
    });
    if (!t.c50.GoToRecord(static_cast<long>(recno)).IsFound() || !SortRecordFollows(t.c50, t.c60)) return false;
    if (step) step();
    return true;
  };
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const PieceLine& line = lines[i];
    if (!rewrite(line.recno) || !steps.Moves().Make(movesOf[i]))
      return Refused(r, steps);
    ++r.generalLines;
    for (std::uint32_t a : line.analytic) {
      if (!rewrite(a)) return Refused(r, steps);
      ++r.analyticLines;
    }
  }
  if (!steps.Finish()) return Refused(r, steps);
  r.outcome = PieceOutcome::Done;
  return r;
}

PieceResult CopyPiece(const std::string& source, const std::string& piece, const PieceTarget& target,
                      const std::function<void()>& step) {
  PieceResult r;
  const std::string from = PadRight(source, posting::kJournalMonthKeyLength),
                    to = PadRight(target.journalMonth, posting::kJournalMonthKeyLength);
  if (from == to) {
    r.outcome = PieceOutcome::SameJournal;
    return r;
  }
  Cursors t;
  Table written;
  // The change watches its reads from the first: a piece whose lines were read short is not copied.
  LineChangeSteps steps(LineChangeKind::PieceCopied);
  steps.Ends(written, t.c60, kMsgCopyRefused, EuroMain());
  if (!t.Open() || !written.OpenShared(PathC50(), L::kCodeTag)) return r;
  const std::vector<PieceLine> lines = LinesOfPiece(t.c50, from, PadRight(piece, 6));
  if (!steps.ReadWhole()) return Refused(r, steps);
  if (lines.empty()) {
    r.outcome = PieceOutcome::NoPiece;
    return r;
  }
  std::uint32_t adding = 0;
  for (const PieceLine& line : lines) adding += 1 + static_cast<std::uint32_t>(line.analytic.size());
  if (!posting::DraftHasRoomFor(t.c50, adding)) {
    r.outcome = PieceOutcome::TooManyLines;
    return r;
  }
  const std::string month = to.substr(0, 4), journal = to.substr(4, 3);
  const std::string targetHeader = to + posting::kDraftSource;

  // The totals the new lines move (none when the amounts are not copied), refused before anything
  // is written when one cannot hold them: each line's account and the target header, the
  // sections of its analytic lines.
  std::vector<std::size_t> movesOf;
  for (const PieceLine& line : lines) {
    for (std::size_t k = 0; k <= line.analytic.size(); ++k) {
      const std::uint32_t recno = k == 0 ? line.recno : line.analytic[k - 1];
      if (target.clearAmounts) continue;
      // A line not read is no line without amounts: the copy is refused, not made short of its totals.
      const Lookup at = t.c50.GoToRecord(static_cast<long>(recno));
      if (at.IsRefused()) return Refused(r, steps);
      if (at.IsNotFound()) continue;
      const TotalsCents move = LineMove(t.c50);
      const char kind = t.c50.GetField(L::BCLE)[0];
      if (k == 0) {
        steps.Moves().Account(t.c50.GetField(L::BCODE), move);
        steps.Moves().Header(targetHeader, move);
      } else if (kind == 'W' || kind == 'Y') {
        steps.Moves().Section(t.c50.GetField(L::BCODE), move);
      }
    }
    movesOf.push_back(steps.Moves().Count());
  }
  if (steps.Check(&r.refusal)) {
    r.outcome = PieceOutcome::TotalsTooLarge;
    return r;
  }

  // A line whose amount does not read refuses the copy before the target's header and counter.
  if (!steps.AmountsRead()) return Refused(r, steps);
  TargetHeader header(to);
  r.outcome = header.Take(&r.headersCreated, true);
  if (r.outcome == PieceOutcome::Failed) return Refused(r, steps);
  if (r.outcome != PieceOutcome::Done) return r;
  // The new piece number, as "Créer Pièce" takes it for the target journal; a counter whose write
  // was refused is no counter held elsewhere.
  const posting::PieceNumber number = posting::TakePieceNumber(*TableC10, to.substr(4, 3));
  if (number.outcome == posting::NewLineOutcome::Failed) return Refused(r, steps);
  if (number.outcome != posting::NewLineOutcome::Created) {
    r.outcome = number.outcome == posting::NewLineOutcome::CounterFull ? PieceOutcome::CounterFull
                                                                       : PieceOutcome::NoPieceNumber;
    return r;
  }
  r.piece = StrZero(number.number, 0);
  // The new piece noted before its first line: appended cut short, it is taken back by the next opening.
  steps.Note().Appended(month, journal, r.piece, static_cast<long>(adding), written.RecCount());
  // Each record it appends, as its source tells it: a line another station adds to the new piece
  // meanwhile is not taken for one of the copy's.
  for (const PieceLine& line : lines) {
    for (std::size_t k = 0; k <= line.analytic.size(); ++k) {
      const Lookup source = t.c50.GoToRecord(static_cast<long>(k == 0 ? line.recno : line.analytic[k - 1]));
      if (!source.IsFound()) return Refused(r, steps);
      steps.Note().AppendedRecord(month, journal, r.piece, AppendedRecordKey(t.c50));
    }
  }
  steps.Note().SortRecordsFrom(t.c60.RecCount());
  if (!steps.Begin()) return Refused(r, steps);

  // One new line from the source line `recno`: every field, then the rewrites; taken back by
  // cancelling it with its sort record.
  auto copy = [&](std::uint32_t recno) {
    if (!t.c50.GoToRecord(static_cast<long>(recno)).IsFound() || !written.AppendBlank()) return false;
    bool filled = true;
    for (int f = 1; f <= t.c50.FieldCount(); ++f) {
      if (t.c50.FieldType(f) == 'N') filled = CopyNumberField(t.c50, f, written, f) && filled;
      else filled = written.PutField(f, t.c50.GetField(f)) && filled;
    }
    const std::string day = FittedDay(month, IsBlank(target.day) ? std::string(t.c50.GetField(L::BJOUR)) : target.day);
    filled = written.PutField(L::BMOIS, month.c_str()) && written.PutField(L::BJAL, journal.c_str()) &&
             written.PutField(L::BPIECE, r.piece.c_str()) && written.PutField(L::BJOUR, day.c_str()) &&
             written.PutField(L::BLET, "") && written.PutField(L::BLETE, "") &&
             written.PutField(L::BLIB, CopiedLabel(t.c50.GetField(L::BLIB), target.label).c_str()) && filled;
    if (target.clearAmounts)
      filled = written.PutField(L::BMONTANTF, "") && written.PutField(L::BMONTANTE, "") && filled;
    // The insert ends the append in every case: a half-filled record must not stay pending.
    const bool inserted = written.InsertRecord();
    // A new line whose number could not be read back is left to the next opening, which takes
    // the piece back (the read refused keeps the note).
    const std::uint32_t made = written.recordNumber;
    if (!inserted || made == 0) return false;
    steps.Made([&written, &t, made] { return CancelDraftLine(written, t.c60, made); });
    if (!filled || !written.Commit() || !AppendLigneTri(written, LigneTri::kDraft, t.c60)) return false;
    written.GoToRecord(static_cast<long>(made));
    if (step) step();
    return true;
  };
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const PieceLine& line = lines[i];
    bool done = copy(line.recno);
    if (done) ++r.generalLines;
    for (std::size_t k = 0; done && k < line.analytic.size(); ++k) {
      done = copy(line.analytic[k]);
      if (done) ++r.analyticLines;
    }
    if (!done || !steps.Moves().Make(movesOf[i])) return Refused(r, steps);
  }
  if (!steps.Finish()) return Refused(r, steps);
  r.outcome = PieceOutcome::Done;
  return r;
}

}  // namespace entry
