#include "posting/line_save.h"

#include <vector>

#include "data/account_totals.h"
#include "data/closed_lines.h"
#include "data/entry_lines.h"
#include "data/error_report.h"
#include "data/line_change_note.h"
#include "data/record_fields.h"
#include "data/table.h"
#include "data/table_results.h"
#include "posting/entry_state.h"
#include "posting/journal_month.h"
#include "resources/string_table.h"
#include "runtime/dates.h"
#include "runtime/logfile.h"
#include "runtime/numbers.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace posting {

namespace {

// The dossier log's line of a line whose sort record was missing, by its id in the string table.
constexpr int kLogSortRecordMade = 22043;

using L = LigneEcriture;

constexpr int kContextSave = 2010;
// The log line of a save whose writes could not all be taken back (the line's key).
constexpr int kLogNotPutBack = 30002;
constexpr int kLabelWidth = 25;
constexpr int kAnalyticSplitKeyLength = 26;  // the analytic key and one BCLE letter

// The header code of the line's journal-month: BMOIS + BJAL + "B".
std::string HeaderCode(const std::string& key) { return PadRight(key, L::kKeyLength).substr(1, 7) + "B"; }

std::string LabelText(const std::string& typed) {
  std::string text = PadRight(typed, kLabelWidth);
  if (!text.empty()) text[0] = Upper(text.substr(0, 1).c_str())[0];
  return text;
}

// The sort record of the current line derived again; a missing one is made (and the log says so).
// False when its write was refused.
bool KeepSortRecord(Table& c50, Table& c60, const std::string& text) {
  const std::uint32_t recno = c50.recordNumber;
  if (recno == 0) return false;
  if (LigneTri::Find(c60, LigneTri::kDraft, recno)) return RewriteLigneTri(c50, LigneTri::kDraft, c60, text.c_str());
  // One that could not be read is not made again: the line would have two.
  if (!LigneTri::Missing(c60)) return false;
  WriteLog(FillPlaceholder(LoadStr(kLogSortRecordMade), std::to_string(recno)));
  const bool appended = AppendLigneTri(c50, LigneTri::kDraft, c60);
  c50.GoTo(static_cast<long>(recno));
  return appended;
}

// The totals a line's amounts move, on its sense, added or taken off (`sign` +1 or -1): its
// account (and collective) and its journal-month's header.
void PlanLine(TotalsMoves& moves, const std::string& account, const std::string& header, char sense, int sign,
              double francs, double euros) {
  TotalsCents move;
  move.Add(sense == 'D', sign * ToCents(francs), sign * ToCents(euros));
  moves.Account(account, move);
  moves.Header(header, move);
}

// The fields a save writes, as the line holds them now: what puts it back.
std::vector<FieldWrite> FieldsAsTheyAre(Table& c50) {
  std::vector<FieldWrite> fields;
  for (int field : {L::BJOUR, L::BVENT, L::BCODE, L::BCLIB, L::BLIB, L::BLIB2, L::BLIB3, L::BECHEANCE, L::BEURO,
                    L::BSENS, L::BTVA})
    fields.push_back({field, c50.GetField(field)});
  for (int field : {L::BMONTANTF, L::BMONTANTE}) fields.push_back({field, "", true, c50.GetFieldNum(field)});
  return fields;
}

// The sort record of line `recno` given the cancel mark (`cancel`) or relieved of it; true when it
// has it as asked (or there is none; false when it could not be read).
bool MarkSortRecord(Table& c60, std::uint32_t recno, bool cancel) {
  if (!LigneTri::Find(c60, LigneTri::kDraft, recno)) return LigneTri::Missing(c60);
  if (c60.IsDeleted() == cancel) return true;
  const std::string text = c60.RecordToText(LigneTri::TREC);
  const bool marked = cancel ? c60.DeleteRecord(text.c_str(), 0) : c60.RecallRecord(text.c_str(), 0);
  UnlockRecord(c60);
  return marked;
}
void CancelSortRecord(Table& c60, std::uint32_t recno) { MarkSortRecord(c60, recno, true); }

}  // namespace

LineRecord ReadLineRecord(Table& c50) {
  LineRecord r;
  if (!c50.isOpen || c50.recordNumber == 0) return r;
  r.recno = c50.recordNumber;
  r.live = !c50.IsDeleted();
  r.key = L::Key(c50);
  r.day = c50.GetField(L::BJOUR);
  r.distribution = c50.GetField(L::BVENT);
  r.account = c50.GetField(L::BCODE);
  r.labelCode = c50.GetField(L::BCLIB);
  r.label1 = c50.GetField(L::BLIB);
  r.label2 = c50.GetField(L::BLIB2);
  r.label3 = c50.GetField(L::BLIB3);
  r.dueDate = c50.GetField(L::BECHEANCE);
  const char entry = c50.GetField(L::BEURO)[0];
  r.entry = entry == 0 ? ' ' : entry;
  r.sense = c50.GetField(L::BSENS)[0] == 'D' ? 'D' : 'C';
  r.francs = FromCents(StoredAmountOf(c50, L::BMONTANTF));
  r.euros = FromCents(StoredAmountOf(c50, L::BMONTANTE));
  r.letterF = c50.GetField(L::BLET);
  r.letterE = c50.GetField(L::BLETE);
  r.vat = c50.GetField(L::BTVA);
  return r;
}

bool SeekLine(Table& c50, const std::string& key) {
  if (!c50.isOpen || key.size() < static_cast<std::size_t>(L::kKeyLength)) return false;
  if (!c50.Seek(L::kCodeTag, key.c_str())) return false;
  const char m = c50.MatchKey(key.c_str(), L::kKeyLength, L::BCLE, L::BMOIS, L::BJAL, L::BPIECE, L::BREC, L::BNUM);
  return m == 'O' || m == 'o';
}

std::string LineRecordText(Table& c50) { return c50.RecordToText(L::BNUMA); }

std::string TotalsTooLargeText(const TotalsOverflow& overflow, bool euros) {
  const std::string largest = GroupedAmountText(overflow.Largest(euros));
  const std::string code = Trimmed(overflow.code);
  if (overflow.kind == 'H') {
    const std::string journalMonth = PadRight(overflow.code, kJournalMonthKeyLength).substr(0, kJournalMonthKeyLength);
    return FillPlaceholders(LoadStr(kMsgHeaderTotalTooLarge),
                            {JournalOf(journalMonth), MonthDisplay(journalMonth), largest});
  }
  return FillPlaceholders(LoadStr(overflow.kind == 'S' ? kMsgSectionTotalTooLarge : kMsgAccountTotalTooLarge),
                          {code, largest});
}

std::string StoredDueDate(const std::string& display) {
  const std::string text = AllTrim(display.c_str());
  if (text.empty()) return {};
  return ConvertDate(text.c_str());
}

SaveResult SaveLineRecord(Table& c50, Table& c60, const SaveRequest& request) {
  SaveResult r;
  const LineValues& v = request.values;
  r.account = NormalizeAccount(v.account);
  if (!SeekLine(c50, request.key)) return r;
  const std::uint32_t recno = c50.recordNumber;
  r.recno = recno;
  const std::string text = LineRecordText(c50);

  // The lock first: the form's own is granted at once; another station's is asked once, then tried once
  // more after its notice. A refusal writes nothing and moves no total.
  bool held = false;
  if (LockRecord(c50, text.c_str(), 0)) {
    held = c50.result == kResultAlreadyLocked;
  } else {
    c50.GoTo(static_cast<long>(recno));
    if (!LockRecord(c50, nullptr, 0)) {
      r.outcome = SaveOutcome::LockRefused;
      return r;
    }
  }
  auto release = [&]() {
    if (!held && c50.GoTo(static_cast<long>(recno))) UnlockRecord(c50);
  };
  // Read again under the lock: the line as it stands now.
  if (!c50.GoTo(static_cast<long>(recno)) || c50.IsDeleted()) {
    release();
    return r;
  }

  // A read of the tables refused meanwhile fails the save: what it read may be short.
  RefusalWatch reads;
  // The old amounts off the old account and the header.
  const std::string header = HeaderCode(request.key);
  const LineRecord old = ReadLineRecord(c50);
  const std::vector<FieldWrite> oldFields = FieldsAsTheyAre(c50);
  // The totals the save moves: the old amounts off, then the new ones on. A total that cannot
  // hold them refuses the save before anything is written.
  const char sense = v.sense == 'D' ? 'D' : 'C';
  const double francs = Round(2, v.amounts.Francs(sense));
  const double euros = Round(2, v.amounts.Euros(sense));
  TotalsMoves moved;
  if (old.francs != 0 || old.euros != 0) PlanLine(moved, old.account, header, old.sense, -1, old.francs, old.euros);
  const std::size_t oldMoves = moved.Count();
  PlanLine(moved, r.account, header, sense, +1, francs, euros);
  r.overflow = moved.Check();
  if (r.overflow) {
    c50.GoTo(static_cast<long>(recno));
    release();
    r.outcome = SaveOutcome::TotalsTooLarge;
    return r;
  }
  // What the save touches noted before its first write: a save stopped half-way is finished by the
  // next opening. A note that cannot be written stops it here (its box said why).
  LineChangeNote note(LineChangeKind::LineSaved);
  note.Line(recno);
  note.SortRecordsFrom(c60.RecCount());
  note.Totals(moved);
  if (reads.ReadRefused() || !note.Write()) {
    c50.GoTo(static_cast<long>(recno));
    release();
    r.outcome = SaveOutcome::Failed;
    return r;
  }
  // A write refused part-way: what was written goes back (the line, its sort record, the totals),
  // and the save fails; r.putBack tells whether all of it could.
  auto fail = [&](bool lineWritten) {
    bool back = true;
    if (lineWritten) {
      c50.GoTo(static_cast<long>(recno));
      back = WriteRecordFields(c50, oldFields);
      c50.GoTo(static_cast<long>(recno));
      back = back && KeepSortRecord(c50, c60, text);
    }
    back = moved.TakeBack() && back;
    if (!back) WriteLog(FillPlaceholder(LoadStr(kLogNotPutBack), request.key));
    // What could not be taken back, or was moved after a refused read, the next opening makes whole.
    if (!back || reads.ReadRefused()) note.Leave();
    c50.GoTo(static_cast<long>(recno));
    release();
    c50.Commit();
    c60.Commit();
    // A total another station filled meanwhile: refused as the check above refuses it.
    r.overflow = moved.Overflow();
    r.outcome = r.overflow ? SaveOutcome::TotalsTooLarge : SaveOutcome::Failed;
    r.putBack = back;
    return r;
  };
  if (!moved.Make(oldMoves)) return fail(false);

  // The fields, written at once.
  char entry = v.euros ? 'O' : 'N';
  if (request.roundingLine) entry = static_cast<char>(entry - 'A' + 'a');
  c50.GoTo(static_cast<long>(recno));
  const std::string vat = v.vat.empty() ? std::string(" ") : v.vat.substr(0, 1);
  const bool written = WriteRecordFields(c50, {{L::BJOUR, v.day},
                    {L::BVENT, v.distribution},
                    {L::BCODE, r.account},
                    {L::BCLIB, v.labelCode},
                    {L::BLIB, LabelText(v.label1)},
                    {L::BLIB2, LabelText(v.label2)},
                    {L::BLIB3, LabelText(v.label3)},
                    {L::BECHEANCE, StoredDueDate(v.dueDate)},
                    {L::BEURO, std::string(1, entry)},
                    {L::BMONTANTF, "", true, francs},
                    {L::BMONTANTE, "", true, euros},
                    {L::BSENS, std::string(1, sense)},
                    {L::BTVA, vat}});
  // The line keeps its old values: its old amounts go back where they were (and the line too, when
  // the write stood though it was refused).
  if (!written) {
    c50.GoTo(static_cast<long>(recno));
    const std::vector<FieldWrite> now = FieldsAsTheyAre(c50);
    bool changed = false;
    for (std::size_t i = 0; i < now.size(); ++i)
      changed = changed || now[i].text != oldFields[i].text || now[i].value != oldFields[i].value;
    return fail(changed);
  }
  c50.GoTo(static_cast<long>(recno));
  if (!KeepSortRecord(c50, c60, text)) return fail(true);

  // The new amounts onto the account (and its collective) and the header.
  if (!moved.Make() || reads.ReadRefused()) return fail(true);
  r.outcome = SaveOutcome::Saved;

  // The analytic split of a previous account goes once the line is saved to another one.
  const std::string previous = NormalizeAccount(request.previousAccount);
  if (!previous.empty() && previous != r.account) {
    r.analyticRemoved = DeleteLineAnalytic(c50, c60, request.key, previous, 3);
    c50.GoTo(static_cast<long>(recno));
  }

  // A line without amount is not kept, unless its account takes an analytic split.
  c50.GoTo(static_cast<long>(recno));
  if (!request.analyticAllowed && !c50.IsDeleted() && StoredAmountOf(c50, L::BMONTANTF) == 0 &&
      StoredAmountOf(c50, L::BMONTANTE) == 0) {
    note.Cancelled(recno);
    if (note.Write() && c50.GoTo(static_cast<long>(recno)) && c50.DeleteRecord(text.c_str(), 0)) {
      CancelSortRecord(c60, recno);
      r.outcome = SaveOutcome::ZeroLineCancelled;
    }
  }
  c50.GoTo(static_cast<long>(recno));
  release();
  c50.Commit();
  c60.Commit();
  return r;
}

long DeleteLineAnalytic(Table& c50, Table& c60, const std::string& key, const std::string& account, int mode) {
  const std::string normalised = NormalizeAccount(account);
  if (normalised.empty() || (mode != 2 && mode != 3) || !c50.isOpen) return 0;
  const std::string line = PadRight(key, L::kKeyLength);
  const std::string base = line.substr(1, 13) + normalised + line.substr(20, 4);
  const std::string letters = mode == 3 ? "VWXY" : "XY";
  long removed = 0;
  for (char letter : letters) {
    const std::string wanted = base + letter;
    std::vector<std::uint32_t> found;
    for (bool more = c50.SeekNotBelow(L::kAnalyticTag, wanted.c_str()); more; more = c50.Skip(1)) {
      const char m = c50.MatchKey(wanted.c_str(), kAnalyticSplitKeyLength, L::BMOIS, L::BJAL, L::BPIECE, L::BCG,
                                  L::BNUM, L::BCLE);
      if (m == 'O') found.push_back(c50.recordNumber);
      else if (m != 'o') break;
    }
    for (std::uint32_t recno : found) {
      if (!c50.GoTo(static_cast<long>(recno)) || c50.IsDeleted()) continue;
      const std::string text = LineRecordText(c50);
      if (!LockRecord(c50, text.c_str(), 0)) continue;
      const bool held = c50.result == kResultAlreadyLocked;
      // Each record goes with its section's total, or stays with it; noted first, so that a removal
      // stopped half-way is made whole by the next opening.
      TotalsMoves moves;
      if (letter == 'W' || letter == 'Y') {
        TotalsCents move;
        move.Add(c50.GetField(L::BSENS)[0] == 'D', -StoredAmountOf(c50, L::BMONTANTF),
                 -StoredAmountOf(c50, L::BMONTANTE));
        moves.Section(c50.GetField(L::BCODE), move);
      }
      LineChangeNote note(LineChangeKind::SplitRemoved);
      note.Cancelled(recno);
      note.Totals(moves);
      if (!moves.Check() && note.Write() && moves.Make()) {
        const bool sorted = MarkSortRecord(c60, recno, true);
        c50.GoTo(static_cast<long>(recno));
        if (sorted && c50.DeleteRecord(text.c_str(), 0)) {
          ++removed;
        } else {
          const bool sortBack = MarkSortRecord(c60, recno, false);
          const bool back = moves.TakeBack() && sortBack;
          if (!back) {
            WriteLog(FillPlaceholder(LoadStr(kLogNotPutBack), key));
            note.Leave();
          }
        }
      } else if (!moves.TakeBack()) {
        note.Leave();
      }
      c50.GoTo(static_cast<long>(recno));
      if (!held) UnlockRecord(c50);
    }
  }
  c50.SetOrder(L::kCodeTag);
  if (removed > 0) {
    c50.Commit();
    c60.Commit();
  }
  return removed;
}

bool AnalyticSplitBalances(Table& c50, const std::string& key, const std::string& account, bool twoAxes,
                           long long lineF, long long lineE, bool checkFrancs) {
  const std::string normalised = NormalizeAccount(account);
  if (normalised.empty() || !c50.isOpen) return true;
  const std::string line = PadRight(key, L::kKeyLength);
  const std::string base = line.substr(1, 13) + normalised + line.substr(20, 4);
  // Each live record of a letter, in turn.
  auto walk = [&](char letter, const auto& each) {
    const std::string wanted = base + letter;
    for (bool more = c50.SeekNotBelow(L::kAnalyticTag, wanted.c_str()); more; more = c50.Skip(1)) {
      const char m = c50.MatchKey(wanted.c_str(), kAnalyticSplitKeyLength, L::BMOIS, L::BJAL, L::BPIECE, L::BCG,
                                  L::BNUM, L::BCLE);
      if (m == 'O') {
        if (!each(ReadLineRecord(c50))) return false;
      } else if (m != 'o') {
        break;
      }
    }
    return true;
  };
  auto header = [&](char letter) {
    return walk(letter, [&](const LineRecord& h) {
      if (h.sense != 'D' && h.sense != 'C') return false;
      const long long sign = h.sense == 'D' ? 1 : -1;
      return (!checkFrancs || ToCents(h.francs) == sign * lineF) && ToCents(h.euros) == sign * lineE;
    });
  };
  auto lines = [&](char letter) {
    long long f = 0, e = 0;
    walk(letter, [&](const LineRecord& a) {
      const long long sign = a.sense == 'D' ? 1 : -1;
      f += sign * ToCents(a.francs);
      e += sign * ToCents(a.euros);
      return true;
    });
    return (!checkFrancs || f == lineF) && e == lineE;
  };
  bool ok = header('V') && lines('W');
  if (ok && twoAxes) ok = header('X') && lines('Y');
  c50.SetOrder(L::kCodeTag);
  return ok;
}

bool RemoveEmptyNewLine(Table& c50, Table& c60, const std::string& key) {
  if (!SeekLine(c50, key) || c50.IsDeleted() || !IsBlank(c50.GetField(L::BCODE))) return false;
  const std::uint32_t recno = c50.recordNumber;
  const std::string text = LineRecordText(c50);
  // The line and its sort record go together, or the next opening makes them.
  LineChangeNote note(LineChangeKind::LineCancelled);
  note.Cancelled(recno);
  if (!note.Write() || !c50.GoTo(static_cast<long>(recno)) || !c50.DeleteRecord(text.c_str(), 0)) return false;
  CancelSortRecord(c60, recno);
  c50.Commit();
  c60.Commit();
  return true;
}

}  // namespace posting
