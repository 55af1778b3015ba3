#include "posting/new_lines.h"

#include <cstdlib>
#include <vector>

#include "data/books_known_writers.h"
#include "data/error_report.h"
#include "data/entry_lines.h"
#include "data/locks.h"
#include "data/table.h"
#include "data/table_results.h"
#include "posting/journal_month.h"
#include "resources/string_table.h"
#include "runtime/dossier_record.h"
#include "runtime/xbase.h"

namespace posting {

namespace {

// The record text of the dossier's counter when its lock is refused, by its id in the string table.
constexpr int kDossierCounterLockText = 2266;

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
  const char m = c50.MatchKey(groupKey.c_str(), kGroupKeyLength, L::BCLE, L::BMOIS, L::BJAL, L::BPIECE, L::BREC);
  return m == 'O' || m == 'o';
}

// The analytic lines of the current general line (live ones only, as the cancellation walks them).
std::vector<std::uint32_t> AnalyticLinesOf(Table& c50) {
  std::vector<std::uint32_t> found;
  const std::string key = L::AnalyticKey(c50);
  const std::uint32_t back = c50.recordNumber;
  for (bool more = c50.SeekNotBelow(L::kAnalyticTag, key.c_str()); more; more = c50.Skip(1)) {
    const char m = c50.MatchKey(key.c_str(), L::kAnalyticKeyLength, L::BMOIS, L::BJAL, L::BPIECE, L::BCG, L::BNUM);
    if (m != 'O' && m != 'o') break;
    found.push_back(c50.recordNumber);
  }
  c50.SetOrder(L::kCodeTag);
  c50.GoTo(static_cast<long>(back));
  return found;
}

// The renumbering's own outcome codes (below 0).
constexpr long kRenumberTooLarge = -1;
constexpr long kRenumberLocked = -2;

}  // namespace

std::uint32_t DraftRecordLimit = kMostDraftRecords;

bool DraftHasRoomFor(Table& c50, std::uint32_t adding) {
  const std::uint32_t count = c50.RecCount();
  return count <= DraftRecordLimit && adding <= DraftRecordLimit - count;
}

long InsertLineRenumber(Table& c50, Table& c60, long n, const std::string& prefix, const std::string& piece,
                        const std::string& group, long* renumbered, long* analyticRenumbered) {
  if (renumbered != nullptr) *renumbered = 0;
  if (analyticRenumbered != nullptr) *analyticRenumbered = 0;
  const std::string groupKey = prefix + piece + group;
  // The plan: the group's lines in key order with their targets and analytic lines.
  std::vector<PlannedLine> plan;
  long before = 0;
  for (bool more = c50.Seek(L::kCodeTag, groupKey.c_str()) && GroupLine(c50, groupKey); more;
       more = c50.Skip(1) && GroupLine(c50, groupKey)) {
    if (static_cast<long>(plan.size()) >= kMostRenumberedLines) return kRenumberTooLarge;
    PlannedLine p{c50.recordNumber, kRenumberStep * (static_cast<long>(plan.size()) + 1), {}};
    if (std::atol(c50.GetField(L::BNUM)) < n) before = p.target;
    plan.push_back(std::move(p));
  }
  for (PlannedLine& p : plan) {
    if (!c50.GoTo(static_cast<long>(p.recno))) return kRenumberLocked;
    if (std::atol(c50.GetField(L::BNUM)) != p.target) p.analytic = AnalyticLinesOf(c50);
  }
  // Every line and analytic line locked before the first write: a refusal changes nothing.
  HeldRecordLocks lineLocks(c50), sortLocks(c60);
  auto lock = [&](std::uint32_t recno, int textFields) {
    if (!lineLocks.Take(recno, textFields)) return false;
    // A line without its sort record gets one derived below.
    return !LigneTri::Find(c60, LigneTri::kDraft, recno) || sortLocks.Take(c60.recordNumber, LigneTri::TREC);
  };
  for (const PlannedLine& p : plan) {
    if (!lock(p.recno, L::BNUM)) return kRenumberLocked;
    for (std::uint32_t a : p.analytic)
      if (!lock(a, L::BNUMA)) return kRenumberLocked;
  }
  // The numbers, each with its sort record.
  long count = 0, analytic = 0;
  auto renumber = [&](std::uint32_t recno, long target) {
    if (!c50.GoTo(static_cast<long>(recno))) return false;
    if (std::atol(c50.GetField(L::BNUM)) == target) return false;
    c50.PutField(L::BNUM, Digits4(target).c_str());
    SortRecordFollows(c50, c60);
    ++count;
    return true;
  };
  for (const PlannedLine& p : plan) {
    renumber(p.recno, p.target);
    for (std::uint32_t a : p.analytic)
      if (renumber(a, p.target)) ++analytic;
  }
  c50.Commit();
  c60.Commit();
  c50.SetOrder(L::kCodeTag);
  if (renumbered != nullptr) *renumbered = count;
  if (analyticRenumbered != nullptr) *analyticRenumbered = analytic;
  return before;
}

NewLineResult CreateLineAfter(Table& c50, Table& c60, const LineAfter& after) {
  const KnownBooksWriter known("CreateLineAfter");
  NewLineResult r;
  if (!DraftHasRoomFor(c50, 1)) {
    r.outcome = NewLineOutcome::DraftFull;
    return r;
  }
  long next = std::atol(after.number.c_str()) + 1;
  const std::string groupKey = after.prefix + after.piece + after.group;
  const std::string wanted = groupKey + Digits4(next);
  const bool taken = next <= L::kMaxLineNumber && c50.Seek(L::kCodeTag, wanted.c_str()) &&
                     c50.MatchKey(wanted.c_str(), L::kKeyLength, L::BCLE, L::BMOIS, L::BJAL, L::BPIECE, L::BREC, L::BNUM) != '#';
  if (next > L::kMaxLineNumber) {
    r.outcome = NewLineOutcome::NumberTooLarge;
    return r;
  }
  if (taken) {
    const long before =
        InsertLineRenumber(c50, c60, next, after.prefix, after.piece, after.group, &r.renumbered, &r.analyticRenumbered);
    if (before == kRenumberTooLarge) {
      r.outcome = NewLineOutcome::GroupTooLarge;
      return r;
    }
    if (before < 0) {
      r.outcome = NewLineOutcome::LockRefused;
      return r;
    }
    next = before + 1;
  }
  if (!c50.AppendBlank()) return r;
  const std::string month = after.prefix.substr(1, 4), journal = after.prefix.substr(5, 3);
  c50.PutField(L::BCLE, "Z");
  c50.PutField(L::BMOIS, month.c_str());
  c50.PutField(L::BJAL, journal.c_str());
  c50.PutField(L::BPIECE, after.piece.c_str());
  c50.PutField(L::BREC, after.group.c_str());
  c50.PutField(L::BNUM, Digits4(next).c_str());
  c50.PutField(L::BNUMA, "0001");
  c50.PutField(L::BJOUR, after.day.c_str());
  c50.PutField(L::BCLIB, after.labelCode.c_str());
  c50.PutField(L::BLIB, after.label.c_str());
  c50.PutField(L::BSENS, std::string(1, after.sense).c_str());
  c50.PutField(L::BEURO, std::string(1, after.entryCurrency).c_str());
  if (!c50.InsertRecord() || !c50.Commit()) return r;
  r.recno = c50.recordNumber;
  r.key = L::Key(c50);
  if (!AppendLigneTri(c50, LigneTri::kDraft, c60)) return r;
  r.outcome = NewLineOutcome::Created;
  return r;
}

PieceNumber TakePieceNumbers(Table& c10, const std::string& journal, long count) {
  PieceNumber p;
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
    if (count < 1 || piece + count - 1 >= kMaxPiece) {
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
  const JournalRecord j = ReadJournal(c10, journal);
  if (j.found && j.nextPiece() != 0 && SeekJournal(c10, journal)) {
    take(kJournalCounterAt, c10.RecordToText(2), true);
    return p;
  }
  if (!SeekC10(c10, '0', "")) return p;
  take(kDossierCounterAt, LoadStr(kDossierCounterLockText), false);
  return p;
}

PieceNumber TakePieceNumber(Table& c10, const std::string& journal) { return TakePieceNumbers(c10, journal, 1); }

std::string NewGroupNumber(Table& c50, const std::string& prefix, const std::string& piece) {
  long group = static_cast<long>(c50.RecCount() % kMaxPiece) + 1;
  for (long tries = 0; tries < kMaxPiece; ++tries) {
    const std::string groupText = StrZero(group, 0);
    const std::string key = prefix + piece + groupText;
    if (!(c50.Seek(L::kCodeTag, key.c_str()) && GroupLine(c50, key))) return groupText;
    group = group % kMaxPiece + 1;
  }
  return StrZero(group, 0);
}

NewLineResult CreatePieceLine(Table& c50, Table& c60, const std::string& prefix, const std::string& piece,
                              char labelCode, char entryCurrency) {
  const KnownBooksWriter known("CreatePieceLine");
  NewLineResult r;
  if (!DraftHasRoomFor(c50, 1)) {
    r.outcome = NewLineOutcome::DraftFull;
    return r;
  }
  const std::string group = NewGroupNumber(c50, prefix, piece);
  if (!c50.AppendBlank()) return r;
  c50.PutField(L::BCLE, "Z");
  c50.PutField(L::BMOIS, prefix.substr(1, 4).c_str());
  c50.PutField(L::BJAL, prefix.substr(5, 3).c_str());
  c50.PutField(L::BPIECE, piece.c_str());
  c50.PutField(L::BREC, group.c_str());
  c50.PutField(L::BNUM, "0001");
  c50.PutField(L::BNUMA, "0001");
  c50.PutField(L::BCLIB, std::string(1, labelCode).c_str());
  c50.PutField(L::BEURO, std::string(1, entryCurrency).c_str());
  if (!c50.InsertRecord() || !c50.Commit()) return r;
  r.recno = c50.recordNumber;
  r.key = L::Key(c50);
  if (!AppendLigneTri(c50, LigneTri::kDraft, c60)) return r;
  r.outcome = NewLineOutcome::Created;
  return r;
}

}  // namespace posting
