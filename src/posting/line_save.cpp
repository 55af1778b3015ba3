#include "posting/line_save.h"

#include <vector>

#include "data/account_totals.h"
#include "data/closed_lines.h"
#include "data/entry_lines.h"
#include "data/error_report.h"
#include "data/line_change_steps.h"
#include "data/locks.h"
#include "data/record_fields.h"
#include "data/table.h"
#include "data/table_results.h"
#include "data/unread_amounts.h"
#include "posting/entry_state.h"
#include "posting/journal_month.h"
#include "posting/line_changes.h"
#include "resources/string_table.h"
#include "runtime/dates.h"
#include "runtime/numbers.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace posting {

namespace {

using L = LigneEcriture;

// The refusals of a save, of a split's removal and of an empty new line's cancel whose write or read
// was refused, all taken back (the reason in them).
constexpr int kMsgSaveRefused = 36000;
constexpr int kMsgSplitRemovalRefused = 36003;
constexpr int kMsgCancelRefused = 34305;
// A line saved or cancelled over its own amount that did not read: the totals that still count it,
// each named (an account, a journal-month, an analytic line's section), and the ReConstruction advised.
constexpr int kMsgOwnAmountReplaced = 39201;
constexpr int kStrTotalsLeftAccount = 39202;
constexpr int kStrTotalsLeftJournalMonth = 39203;
constexpr int kMsgOwnAmountCancelled = 39453;
constexpr int kStrTotalsLeftSection = 39454;
constexpr int kLabelWidth = 25;
constexpr int kAnalyticSplitKeyLength = 26;  // the analytic key and one BCLE letter

// The header code of the line's journal-month: BMOIS + BJAL + "B".
std::string HeaderCode(const std::string& key) { return PadRight(key, L::kKeyLength).substr(1, 7) + "B"; }

// The sentence of a change over its own line's unread amount, the totals left listed in it (one a line).
std::string OwnAmountLeftText(bool cancelled, const std::string& totals) {
  return FillPlaceholder(LoadStr(cancelled ? kMsgOwnAmountCancelled : kMsgOwnAmountReplaced), totals);
}

std::string LabelText(const std::string& typed) {
  std::string text = PadRight(typed, kLabelWidth);
  if (!text.empty()) text[0] = Upper(text.substr(0, 1).c_str())[0];
  return text;
}

// The totals a line's amounts move: its account (and collective) and its journal-month's header.
void PlanLine(TotalsMoves& moves, const std::string& account, const std::string& header, const TotalsCents& move) {
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

bool FieldsStillAre(Table& c50, const std::vector<FieldWrite>& fields) {
  const std::vector<FieldWrite> now = FieldsAsTheyAre(c50);
  for (std::size_t i = 0; i < now.size(); ++i)
    if (now[i].text != fields[i].text || now[i].value != fields[i].value) return false;
  return true;
}

// The live records of the analytic split that the line of `key` has on `account` (normalised), of the
// letters given ("VWXY" both axes' headers and lines, "XY" the second axis'), each locked (asked once,
// its notice naming it) with its section's total planned off. False when another station holds one:
// nothing planned, the locks taken given back. C50 is left on C50CODE.
bool PlanSplitRemoval(Table& c50, const std::string& key, const std::string& account, const std::string& letters,
                      HeldRecordLocks& locks, LineChangeSteps& steps, std::vector<std::uint32_t>* records) {
  const std::string line = PadRight(key, L::kKeyLength);
  const std::string base = line.substr(1, 13) + account + line.substr(20, 4);
  std::vector<std::uint32_t> found;
  for (char letter : letters) {
    const std::string wanted = base + letter;
    // A look-up refused hides the split: the change's watch of refused reads fails it (its callers check it).
    for (bool more = c50.FindNotBelow(L::kAnalyticTag, wanted.c_str()).FoundOrNone(); more; more = c50.Skip(1)) {
      const KeyMatch m = c50.MatchRecordKey(wanted.c_str(), kAnalyticSplitKeyLength, L::BMOIS, L::BJAL, L::BPIECE,
                                            L::BCG, L::BNUM, L::BCLE);
      // A mark not read hides the line as a refused look-up does: noted, the watch fails the change.
      if (m.IsRefused()) RefusalWatch::NoteEngineReadRefusal(c50.tablePath, m.result());
      if (m.IsLive()) found.push_back(c50.recordNumber);
      else if (!m.IsCancelled()) break;
    }
  }
  c50.SetOrder(L::kCodeTag);
  for (std::uint32_t recno : found) {
    if (!locks.Take(recno, L::BNUMA)) {
      locks.Release();
      records->clear();
      return false;
    }
    // Read again under its lock: another station may have cancelled it meanwhile. A mark not read
    // is neither: nothing is taken back.
    const Lookup live = c50.LiveHere();
    if (live.IsRefused()) {
      RefusalWatch::NoteEngineReadRefusal(c50.tablePath, live.result());
      locks.Release();
      records->clear();
      return false;
    }
    if (live.IsNotFound()) continue;
    records->push_back(recno);
    const char kind = c50.GetField(L::BCLE)[0];
    if (kind == 'W' || kind == 'Y') steps.Moves().Section(c50.GetField(L::BCODE), LineMove(c50).Negated());
  }
  return true;
}

// Draft line `recno` cancelled with its sort record, with the write that takes it back. False when a
// write or a read was refused.
bool CancelWithSort(Table& c50, Table& c60, std::uint32_t recno, const char* recordText, LineChangeSteps& steps) {
  const bool cancelled = MarkDraftLine(c50, c60, recno, true, recordText);
  steps.Made([&c50, &c60, recno] { return MarkDraftLine(c50, c60, recno, false); });
  return cancelled;
}

}  // namespace

namespace {

// An amount of the current line in cents, its field named in `unread` when its text does not read.
long long LineAmountNoting(Table& c50, int field, std::vector<UnreadableAmountLine>& unread) {
  bool readable = true;
  const long long cents = StoredAmountOf(c50, field, &readable);
  if (!readable) unread.push_back(UnreadRecordLine(c50, field, c50.recordBuffer.data(), c50.recordNumber));
  return cents;
}

}  // namespace

LineRecord ReadLineRecord(Table& c50) {
  LineRecord r;
  if (!c50.isOpen || c50.recordNumber == 0) return r;
  r.recno = c50.recordNumber;
  // A line whose mark is not read is not counted live; a change reads it again (LiveHere) before it writes.
  r.live = c50.LiveHere().IsFound();
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
  r.francs = FromCents(LineAmountNoting(c50, L::BMONTANTF, r.unreadAmounts));
  r.euros = FromCents(LineAmountNoting(c50, L::BMONTANTE, r.unreadAmounts));
  r.letterF = c50.GetField(L::BLET);
  r.letterE = c50.GetField(L::BLETE);
  r.vat = c50.GetField(L::BTVA);
  return r;
}

std::vector<UnreadableAmountLine> UnreadLineAmounts(Table& c50) {
  std::vector<UnreadableAmountLine> unread;
  for (int field : {L::BMONTANTF, L::BMONTANTE}) LineAmountNoting(c50, field, unread);
  return unread;
}

Lookup FindLine(Table& c50, const std::string& key) {
  if (key.size() < static_cast<std::size_t>(L::kKeyLength)) return Lookup::NotFound();
  const Lookup found = c50.Find(L::kCodeTag, key.c_str());
  if (!found.IsFound()) return found;
  return found.And(
      c50.MatchRecordKey(key.c_str(), L::kKeyLength, L::BCLE, L::BMOIS, L::BJAL, L::BPIECE, L::BREC, L::BNUM).HoldsKey());
}

std::string LineRecordText(Table& c50) { return c50.RecordToText(L::BNUMA); }

std::string StoredDueDate(const std::string& display) {
  const std::string text = AllTrim(display.c_str());
  if (text.empty()) return {};
  return ConvertDate(text.c_str());
}

SaveResult SaveLineRecord(Table& c50, Table& c60, const SaveRequest& request) {
  SaveResult r;
  const LineValues& v = request.values;
  r.account = NormalizeAccount(v.account);
  // The save is one change: the line, its sort record, its totals, the split of its previous account
  // and, left without amount, its cancel. It watches its reads from the first: a line read short is
  // neither missing nor cancelled. It works over its own line's amounts only (the amounts typed
  // replace them): a total it moves or another line it reads that does not read refuses it.
  LineChangeSteps steps(LineChangeKind::LineSaved);
  steps.Ends(c50, c60, kMsgSaveRefused, v.euros);
  HeldRecordLocks splitLocks(c50);
  std::uint32_t recno = 0;
  // A write or a read refused part-way: what was written goes back (the split, the line, its sort
  // record, the totals), and the save fails in one sentence; r.putBack tells whether all of it could.
  auto fail = [&] {
    // A total another station filled meanwhile: refused as the check refuses it.
    r.outcome = steps.Fail(request.key, &r.refusal, SaveOutcome::Failed, SaveOutcome::TotalsTooLarge);
    splitLocks.Release();
    if (recno != 0) c50.GoToRecord(static_cast<long>(recno));
    r.overflow = steps.Moves().Overflow();
    r.putBack = steps.PutBack();
    r.analyticRemoved = 0;
    return r;
  };
  auto readRefused = [&] { return steps.ReadWhole() ? r : fail(); };
  // A line not read is no line missing: the save fails in its sentence.
  const Lookup line = c50.isOpen ? FindLine(c50, request.key) : Lookup::NotFound();
  if (line.IsRefused()) return fail();
  if (line.IsNotFound()) return readRefused();
  recno = c50.recordNumber;
  r.recno = recno;
  const std::string text = LineRecordText(c50);

  // The lock first: the form's own is granted at once; another station's is asked once, then tried once
  // more after its notice. A refusal writes nothing and moves no total.
  if (!steps.LockLine(c50, recno, text.c_str())) {
    // The line read again for the second try: one not read is a read refused, not a line held.
    const Lookup again = c50.GoToRecord(static_cast<long>(recno));
    if (again.IsRefused()) return fail();
    if (again.IsNotFound() || !steps.LockLine(c50, recno, nullptr)) {
      r.outcome = SaveOutcome::LockRefused;
      return r;
    }
  }
  // Read again under the lock: the line as it stands now; one not read is neither gone nor cancelled.
  Lookup held = c50.GoToRecord(static_cast<long>(recno));
  if (held.IsFound()) held = c50.LiveHere();
  if (held.IsRefused()) return fail();
  if (held.IsNotFound() || !steps.ReadWhole()) return readRefused();
  steps.WorksOver(c50, recno);

  const std::string header = HeaderCode(request.key);
  const LineRecord old = ReadLineRecord(c50);
  const std::vector<FieldWrite> oldFields = FieldsAsTheyAre(c50);
  // The totals the save moves: the old amounts off, then the new ones on, then the sections of the
  // split it drops. A total that cannot hold them refuses the save before anything is written.
  const char sense = v.sense == 'D' ? 'D' : 'C';
  const double francs = Round(2, v.amounts.Francs(sense));
  const double euros = Round(2, v.amounts.Euros(sense));
  PlanLine(steps.Moves(), old.account, header, LineMove(c50).Negated());
  const std::size_t oldMoves = steps.Moves().Count();
  PlanLine(steps.Moves(), r.account, header, TotalsCents::OnSense(sense, ToCents(francs), ToCents(euros)));
  const std::size_t lineMoves = steps.Moves().Count();
  // The analytic split of a previous account goes once the line stands on another one: each of its
  // records held before anything is written.
  const std::string previous = NormalizeAccount(request.previousAccount);
  std::vector<std::uint32_t> split;
  if (!previous.empty() && previous != r.account &&
      !PlanSplitRemoval(c50, request.key, previous, "VWXY", splitLocks, steps, &split)) {
    c50.GoToRecord(static_cast<long>(recno));
    r.outcome = SaveOutcome::LockRefused;
    return r;
  }
  // A line without amount is not kept, unless its account takes an analytic split.
  const bool cancelZero = !request.analyticAllowed && ToCents(francs) == 0 && ToCents(euros) == 0;
  r.overflow = steps.Check(&r.refusal);
  if (r.overflow) {
    splitLocks.Release();
    c50.GoToRecord(static_cast<long>(recno));
    r.outcome = SaveOutcome::TotalsTooLarge;
    return r;
  }
  // What the save touches noted before its first write: a save stopped half-way is finished by the
  // next opening from the line as it stands (its split kept while it stands on the previous account,
  // the line cancelled once written without amount).
  steps.Note().Line(recno);
  steps.Note().SortRecordsFrom(c60.RecCount());
  for (std::uint32_t a : split) {
    steps.Note().Follows(recno, a, previous);
    steps.Note().Before(c50, a);
  }
  if (cancelZero) steps.Note().CancelledOnceWritten(recno, r.account);
  if (!steps.Begin() || !steps.Moves().Make(oldMoves)) return fail();

  // The fields, written at once.
  char entry = v.euros ? 'O' : 'N';
  if (request.roundingLine) entry = static_cast<char>(entry - 'A' + 'a');
  // Written on the line only: one not read again writes nothing.
  if (!c50.GoToRecord(static_cast<long>(recno)).IsFound()) return fail();
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
  // The line's old values put it back, with its sort record: once written, or when a refused write
  // stood all the same, or could not be read again to tell.
  const bool reread = c50.GoToRecord(static_cast<long>(recno)).IsFound();
  if (written || !reread || !FieldsStillAre(c50, oldFields))
    steps.Made([&c50, &c60, recno, oldFields, text] {
      return c50.GoToRecord(static_cast<long>(recno)).IsFound() && WriteRecordFields(c50, oldFields) &&
             c50.GoToRecord(static_cast<long>(recno)).IsFound() && SortRecordFollows(c50, c60, text.c_str());
    });
  if (!written || !c50.GoToRecord(static_cast<long>(recno)).IsFound() || !SortRecordFollows(c50, c60, text.c_str()))
    return fail();

  // The new amounts onto the account (and its collective) and the header.
  if (!steps.Moves().Make(lineMoves)) return fail();
  // The split of the previous account, record by record with its sort record, then its sections.
  for (std::uint32_t a : split)
    if (!CancelWithSort(c50, c60, a, nullptr, steps)) return fail();
  if (!steps.Moves().Make()) return fail();
  r.analyticRemoved = static_cast<long>(split.size());
  r.outcome = SaveOutcome::Saved;
  if (cancelZero) {
    if (!CancelWithSort(c50, c60, recno, nullptr, steps)) return fail();
    r.outcome = SaveOutcome::ZeroLineCancelled;
  }
  if (!steps.Finish()) return fail();
  // Replaced over an amount that did not read: the totals that counted the old amount still do.
  if (steps.WorkedOverOwnLine())
    r.totalsLeft = OwnAmountReplacedText(old.account, header, r.outcome == SaveOutcome::ZeroLineCancelled);
  splitLocks.Release();
  c50.GoToRecord(static_cast<long>(recno));
  return r;
}

std::string OwnAmountReplacedText(const std::string& account, const std::string& header, bool cancelled) {
  std::string totals;
  for (const std::string& code : AccountTotalsCodes(account.c_str(), false, nullptr))
    totals += "   " + FillPlaceholder(LoadStr(kStrTotalsLeftAccount), Trimmed(code)) + "\n";
  const std::string h = PadRight(header, 7);
  totals += "   " +
            FillPlaceholders(LoadStr(kStrTotalsLeftJournalMonth),
                             {Trimmed(h.substr(4, 3)), h.substr(2, 2) + "/" + DecodeYear(h.substr(0, 2).c_str())}) +
            "\n";
  return OwnAmountLeftText(cancelled, totals);
}

std::string OwnSectionAmountText(const std::string& section, bool cancelled) {
  return OwnAmountLeftText(cancelled, "   " + FillPlaceholder(LoadStr(kStrTotalsLeftSection), Trimmed(section)) + "\n");
}

long DeleteLineAnalytic(Table& c50, Table& c60, const std::string& key, const std::string& account, int mode,
                        std::string* refusal) {
  const std::string normalised = NormalizeAccount(account);
  if (normalised.empty() || (mode != 2 && mode != 3) || !c50.isOpen) return 0;
  LineChangeSteps steps(LineChangeKind::SplitRemoved);
  steps.Ends(c50, c60, kMsgSplitRemovalRefused);
  HeldRecordLocks locks(c50);
  std::vector<std::uint32_t> split;
  const bool planned = PlanSplitRemoval(c50, key, normalised, mode == 3 ? "VWXY" : "XY", locks, steps, &split);
  // A read refused on the way may have hidden the split: said, never taken for a line without one.
  if (!steps.ReadWhole()) {
    steps.Fail(key, refusal);
    return 0;
  }
  if (!planned || split.empty()) return 0;
  if (steps.Check(refusal)) return 0;
  // Each record is cancelled whatever else was done: a removal stopped half-way is finished by the
  // next opening.
  for (std::uint32_t a : split) {
    steps.Note().Cancelled(a);
    steps.Note().Before(c50, a);
  }
  steps.Note().SortRecordsFrom(c60.RecCount());
  bool done = steps.Begin();
  for (std::size_t i = 0; done && i < split.size(); ++i) done = CancelWithSort(c50, c60, split[i], nullptr, steps);
  done = done && steps.Moves().Make() && steps.Finish();
  if (!done) steps.Fail(key, refusal);
  c50.SetOrder(L::kCodeTag);
  return done ? static_cast<long>(split.size()) : 0;
}

bool AnalyticSplitBalances(Table& c50, const std::string& key, const std::string& account, bool twoAxes,
                           long long lineF, long long lineE, bool checkFrancs) {
  const std::string normalised = NormalizeAccount(account);
  if (normalised.empty() || !c50.isOpen) return true;
  const std::string line = PadRight(key, L::kKeyLength);
  const std::string base = line.substr(1, 13) + normalised + line.substr(20, 4);
  // Each live record of a letter, in turn. A split not read does not agree: never taken for no split.
  auto walk = [&](char letter, const auto& each) {
    const std::string wanted = base + letter;
    const Lookup first = c50.FindNotBelow(L::kAnalyticTag, wanted.c_str());
    if (first.IsRefused()) return false;
    for (bool more = first.IsFound(); more; more = c50.Skip(1)) {
      const KeyMatch m = c50.MatchRecordKey(wanted.c_str(), kAnalyticSplitKeyLength, L::BMOIS, L::BJAL, L::BPIECE,
                                            L::BCG, L::BNUM, L::BCLE);
      if (m.IsRefused()) return false;
      if (m.IsLive()) {
        if (!each(ReadLineRecord(c50))) return false;
      } else if (!m.IsCancelled()) {
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
    const bool read = walk(letter, [&](const LineRecord& a) {
      const long long sign = a.sense == 'D' ? 1 : -1;
      f += sign * ToCents(a.francs);
      e += sign * ToCents(a.euros);
      return true;
    });
    return read && (!checkFrancs || f == lineF) && e == lineE;
  };
  bool ok = header('V') && lines('W');
  if (ok && twoAxes) ok = header('X') && lines('Y');
  c50.SetOrder(L::kCodeTag);
  return ok;
}

bool RemoveEmptyNewLine(Table& c50, Table& c60, const std::string& key, std::string* refusal) {
  // The line and its sort record go together, or the next opening makes them; a line read short is
  // left as it is.
  LineChangeSteps steps(LineChangeKind::LineCancelled);
  steps.Ends(c50, c60, kMsgCancelRefused);
  Lookup line = c50.isOpen ? FindLine(c50, key) : Lookup::NotFound();
  if (line.IsFound()) line = c50.LiveHere();
  const bool empty = line.IsFound() && IsBlank(c50.GetField(L::BCODE));
  if (line.IsRefused() || !steps.ReadWhole()) {
    steps.Fail(key, refusal);
    return false;
  }
  if (!empty) return false;
  const std::uint32_t recno = c50.recordNumber;
  const std::string text = LineRecordText(c50);
  steps.Note().Cancelled(recno);
  steps.Note().Before(c50, recno);
  steps.Note().SortRecordsFrom(c60.RecCount());
  const bool done = steps.Begin() && CancelWithSort(c50, c60, recno, text.c_str(), steps) && steps.Finish();
  if (!done) steps.Fail(key, refusal);
  c50.GoToRecord(static_cast<long>(recno));
  return done;
}

}  // namespace posting
