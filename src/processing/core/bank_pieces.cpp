#include "processing/core/bank_pieces.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <map>
#include <set>

#include "data/account_totals.h"
#include "data/dossier_files.h"
#include "data/draft_lines.h"
#include "data/error_report.h"
#include "data/entry_lines.h"
#include "data/live_totals.h"
#include "data/locks.h"
#include "data/record_fields.h"
#include "data/rounding_accounts.h"
#include "data/session.h"
#include "data/table.h"
#include "data/table_results.h"
#include "dossier/core/dossier_run_marker.h"
#include "dossier/core/maintenance_pack.h"
#include "posting/balancing.h"
#include "posting/journal_month.h"
#include "posting/line_changes.h"
#include "posting/line_save.h"
#include "posting/new_lines.h"
#include "runtime/dossier_record.h"
#include "platform/system/temp_files.h"
#include "resources/string_table.h"
#include "runtime/numbers.h"
#include "runtime/text.h"
#include "runtime/twin_amounts.h"
#include "runtime/xbase.h"

namespace processing {
namespace {

constexpr int kMsgDateOutside = 29690;
constexpr int kMsgUnbalanced = 29691;
constexpr int kMsgNoJournal = 29692;
constexpr int kMsgCounter = 29693;
constexpr int kMsgEmpty = 29694;
constexpr int kMsgFailed = 29695;
constexpr int kMsgAmountTooLarge = 37712;
constexpr int kWordFrancs = 36503, kWordEuros = 36504;
constexpr int kMsgHeaderHeld = 16003;
constexpr int kMsgImportElsewhere = 29760;
constexpr int kMsgRecordNotWritten = 29761;
constexpr int kMsgHoldUnavailable = 29762;
constexpr int kMsgHoldRefused = 34133;  // the lock file, why the system refused it
constexpr int kMsgStopped = 29768;
constexpr int kMsgWriteRefused = 29774;  // a write refused, and nothing imported
constexpr int kMsgStoppedByEntry = 31100;
// A refusal the system gave no cause for; a run stopped, or refused before its first line, by a
// read the system refused (the file and why).
constexpr int kMsgNoCause = 34130;
constexpr int kMsgStoppedByRead = 34131;
constexpr int kMsgReadRefused = 34132;
// The take-up's progress: the file whose pieces are taken up, the pieces looked at, the totals
// written, the lines of the pieces cut short cancelled.
constexpr int kLineTakeUpFile = 34201;
constexpr int kLinePieceOf = 34202;
constexpr int kLineTotals = 34203;
constexpr int kLineCutPieces = 34204;
// The count of pieces is shown again every so many pieces.
constexpr std::size_t kPiecesShownEvery = 500;
constexpr std::size_t kLabelWidth = 25;

PiecesReport Refusal(PiecesOutcome outcome, std::size_t piece, const std::string& message) {
  PiecesReport r;
  r.outcome = outcome;
  r.piece = piece;
  r.message = message;
  return r;
}

std::string Cut(const std::string& text) { return text.size() > kLabelWidth ? text.substr(0, kLabelWidth) : text; }

std::string MonthOf(const Ymd& date) { return StoredDateOf(date).substr(0, 4); }

// Debit less credit of a piece in both currencies, in cents.
struct PieceBalance {
  long long euros = 0, francs = 0;
};
PieceBalance BalanceOf(const ImportedPiece& piece, double parity) {
  PieceBalance b;
  for (const ImportedLine& l : piece.lines) {
    const LineAmounts a = AmountsOf(l, parity);
    const int sign = l.sense == 'D' ? 1 : -1;
    b.euros += sign * a.euros;
    b.francs += sign * a.francs;
  }
  return b;
}

bool HasFrancs() { return !DossierIsEuroOnly() && TheDossierRecord.Parity() > 0; }

// The exchange-rounding line a piece balanced in its own currency needs in the other one, its
// balance `b` given.
bool RoundingLineOf(const ImportedPiece& piece, const PieceBalance& b, NewDraftLine* rounding) {
  if (!HasFrancs()) return false;
  const bool inFrancs = piece.TypedInFrancs();
  const long long rest = inFrancs ? b.euros : b.francs;
  if (rest == 0) return false;
  if (rounding != nullptr) {
    rounding->sense = rest > 0 ? 'C' : 'D';
    rounding->account = RoundingAccount(rounding->sense == 'D');
    const double amount = FromCents(rest > 0 ? rest : -rest);
    rounding->euros = inFrancs ? amount : 0.0;
    rounding->francs = inFrancs ? 0.0 : amount;
    rounding->entryCurrency = inFrancs ? 'n' : 'o';
  }
  return true;
}
bool RoundingLineOf(const ImportedPiece& piece, double parity, NewDraftLine* rounding) {
  return HasFrancs() && RoundingLineOf(piece, BalanceOf(piece, parity), rounding);
}

// A date as the number YYYYMMDD, 0 when it is no date of years 0-9999.
long DayNumber(const Ymd& date) {
  if (!IsValidYmd(date) || date.year < 0 || date.year > 9999) return 0;
  return date.year * 10000L + date.month * 100L + date.day;
}

bool InYear(const Ymd& date, long first, long last) {
  const long d = DayNumber(date);
  return d != 0 && first != 0 && last != 0 && d >= first && d <= last;
}

}  // namespace

std::string RefusedWriteText(const RefusalWatch& refusal) {
  // The change the system refused first, the engine's failure else: both reach the watch.
  return refusal.HasReason() ? refusal.Reason(refusal.Result(), refusal.File(), refusal.Result())
                             : std::string(LoadStr(kMsgNoCause));
}

std::string StoppedRunMessage(const std::string& refused) { return FillPlaceholder(LoadStr(kMsgStopped), refused); }

std::string StoppedRunMessage(const RefusalWatch& refusal) {
  return refusal.RefusedReading() ? FillPlaceholder(LoadStr(kMsgStoppedByRead), RefusedWriteText(refusal))
                                  : StoppedRunMessage(RefusedWriteText(refusal));
}

bool ReadImportRecord(const std::string& path, std::string& text) {
  text.clear();
  if (path.empty() || !platform::FileExists(path) || platform::ReadWholeFile(path, text)) return true;
  text.clear();
  RefusalWatch::NoteEngineReadRefusal(path, kResultSystemError);
  return false;
}

std::string NothingImportedMessage(const RefusalWatch& refusal) {
  return FillPlaceholder(LoadStr(refusal.RefusedReading() ? kMsgReadRefused : kMsgWriteRefused),
                         RefusedWriteText(refusal));
}

bool ImportedPiece::TypedInFrancs() const {
  if (lines.empty()) return false;
  for (const ImportedLine& l : lines)
    if (!l.francs) return false;
  return true;
}

LineAmounts AmountsOf(const ImportedLine& line, double parity) {
  LineAmounts a;
  if (line.francs) {
    a.francs = line.cents;
    a.euros = posting::ToEuros(line.cents, parity);
  } else {
    a.euros = line.cents;
    a.francs = parity > 0 ? posting::ToFrancs(line.cents, parity) : 0;
  }
  return a;
}

std::string LineAmountRefusal(const ImportedLine& line, double parity) {
  const long long cents = line.cents < 0 ? -line.cents : line.cents;
  const bool euros = !line.francs;
  if (AmountAndTwinHold(cents, euros, parity)) return {};
  return FillPlaceholders(LoadStr(kMsgAmountTooLarge),
                          {GroupedAmountText(cents), GroupedAmountText(LargestAmountTaken(euros, parity)),
                           LoadStr(euros ? kWordEuros : kWordFrancs), LoadStr(euros ? kWordFrancs : kWordEuros)});
}

namespace {

// The checks of CheckImportedPieces; `amounts`, when given, receives the amounts of every line in
// order, so that the writer converts each line once.
PiecesReport CheckPieces(Table& c10, Table& c50, const std::vector<ImportedPiece>& pieces, long maxRecords,
                         std::vector<LineAmounts>* amounts) {
  if (pieces.empty()) return Refusal(PiecesOutcome::Empty, 0, LoadStr(kMsgEmpty));
  // A journal whose read the disk refused is no journal unknown: the check stops and says the read.
  const RefusalWatch reading(RefusalWatch::EngineBoxes::kRefusalsHeld);
  Ymd first, last;
  long firstDay = 0, lastDay = 0;
  if (TheDossierRecord.DateYmd(DossierRecord::DateField::YearStart, first) &&
      TheDossierRecord.DateYmd(DossierRecord::DateField::YearEnd, last)) {
    firstDay = DayNumber(first);
    lastDay = DayNumber(last);
  }
  const double parity = TheDossierRecord.Parity();
  std::map<std::string, bool> journals;
  long lines = 0;
  ImportedLine convertedLine;  // the amount and currency last converted, and its amounts
  LineAmounts convertedAmounts;
  bool converted = false;
  auto shown = [](const Ymd& date) { return IsValidYmd(date) ? PrintDateOf(date) : std::string("?"); };
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    const ImportedPiece& p = pieces[i];
    if (p.lines.empty()) return Refusal(PiecesOutcome::Empty, i, LoadStr(kMsgEmpty));
    if (!InYear(p.date, firstDay, lastDay))
      return Refusal(PiecesOutcome::DateOutsideYear, i, FillPlaceholder(LoadStr(kMsgDateOutside), shown(p.date)));
    // The field takes what fits and the writer would fail half-way: refused before anything moves.
    PieceBalance b;
    for (const ImportedLine& l : p.lines) {
      // The lines of a piece often carry one amount: its conversion is made once for them.
      if (!converted || l.cents != convertedLine.cents || l.francs != convertedLine.francs) {
        convertedLine.cents = l.cents;
        convertedLine.francs = l.francs;
        convertedAmounts = AmountsOf(l, parity);
        converted = true;
      }
      const LineAmounts a = convertedAmounts;
      if (amounts != nullptr) amounts->push_back(a);
      const int sign = l.sense == 'D' ? 1 : -1;
      b.euros += sign * a.euros;
      b.francs += sign * a.francs;
      if (std::string tooLarge = LineAmountRefusal(l, parity); !tooLarge.empty()) {
        PiecesReport refused = Refusal(PiecesOutcome::AmountTooLarge, i, tooLarge);
        refused.sourceLine = l.sourceLine;
        return refused;
      }
    }
    if ((p.TypedInFrancs() ? b.francs : b.euros) != 0)
      return Refusal(PiecesOutcome::Unbalanced, i,
                     FillPlaceholders(LoadStr(kMsgUnbalanced), {p.journal, shown(p.date)}));
    auto known = journals.find(p.journal);
    if (known == journals.end()) {
      const posting::JournalRecord j = posting::ReadJournal(c10, p.journal);
      if (reading.ReadRefused()) return Refusal(PiecesOutcome::Failed, i, NothingImportedMessage(reading));
      known = journals.emplace(p.journal, j.found && !j.cancelled && !IsBlank(p.journal)).first;
    }
    if (!known->second) return Refusal(PiecesOutcome::NoJournal, i, FillPlaceholder(LoadStr(kMsgNoJournal), p.journal));
    lines += static_cast<long>(p.lines.size()) + (RoundingLineOf(p, b, nullptr) ? 1 : 0);
  }
  if (static_cast<long>(c50.RecCount()) + lines > maxRecords)
    return Refusal(PiecesOutcome::TooManyLines, 0, TooManyLinesMessage(c50.tablePath));
  PiecesReport ok;
  ok.outcome = PiecesOutcome::Written;
  ok.lines = lines;
  return ok;
}

}  // namespace

PiecesReport CheckImportedPieces(Table& c10, Table& c50, const std::vector<ImportedPiece>& pieces, long maxRecords) {
  return CheckPieces(c10, c50, pieces, maxRecords, nullptr);
}

PiecesReport WriteImportedPieces(Table& c10, Table& c50, Table& c60, const std::vector<ImportedPiece>& pieces,
                                 long maxRecords, const PiecesNumbered& numbered, const std::string& totalsPath) {
  RefusalWatch refusal_;
  std::vector<LineAmounts> amounts;
  PiecesReport checked = CheckPieces(c10, c50, pieces, maxRecords, &amounts);
  // A check that read short of the chart or the draft is no check: nothing is imported.
  if (refusal_.ReadRefused()) return Refusal(PiecesOutcome::Failed, 0, NothingImportedMessage(refusal_));
  if (checked.outcome != PiecesOutcome::Written) return checked;
  // A run stopped while it wrote its totals is finished first: its journal's sections stay whole.
  if (PutStoppedPiecesInOrder(c10, c50, c60, {}, totalsPath).refused)
    return Refusal(PiecesOutcome::Failed, 0, StoppedRunMessage(refusal_));

  // The header of every journal-month written into, held as "Saisir" holds it: refused while
  // another station enters it, granted again when this station does (then left held). The headers
  // there are held before the numbers are taken; those missing are made once the lines are in, so
  // that a run refused before its first line leaves the general file as it was (and one stopped
  // before them is found again from its record, the totals making the headers it lacks).
  std::set<std::string> months, missing;
  for (const ImportedPiece& p : pieces) months.insert(posting::CleJournalMois(MonthOf(p.date), p.journal));
  std::vector<std::uint32_t> taken;
  auto release = [&] {
    for (std::uint32_t record : taken)
      if (c10.GoToRecord(static_cast<long>(record)).IsFound()) UnlockRecord(c10);
  };
  auto hold = [&](const std::string& month, bool make) -> PiecesOutcome {
    if (make) {
      const posting::HeaderCreation header = posting::EnsureDraftHeader(c10, month);
      if (header == posting::HeaderCreation::NoJournal) return PiecesOutcome::NoJournal;
      if (header == posting::HeaderCreation::Failed) return PiecesOutcome::Failed;
    }
    // A header not read is no header missing: the run is refused as a read, its file named.
    const Lookup header = posting::FindHeader(c10, month, posting::kDraftSource);
    if (header.IsRefused()) {
      RefusalWatch::NoteEngineReadRefusal(c10.tablePath, header.result());
      return PiecesOutcome::Failed;
    }
    if (header.IsNotFound()) {
      if (make) return PiecesOutcome::Failed;
      missing.insert(month);
      return PiecesOutcome::Written;
    }
    if (!LockRecord(c10, nullptr, 0)) return LockHeldElsewhere(c10) ? PiecesOutcome::HeaderLocked : PiecesOutcome::Failed;
    if (c10.result != kResultAlreadyLocked) taken.push_back(c10.recordNumber);
    return PiecesOutcome::Written;
  };
  auto refusal = [&](PiecesOutcome outcome, const std::string& month) {
    release();
    if (outcome == PiecesOutcome::Failed && refusal_.HasReason())
      return Refusal(outcome, 0, NothingImportedMessage(refusal_));
    if (outcome == PiecesOutcome::NoJournal)
      return Refusal(outcome, 0, FillPlaceholder(LoadStr(kMsgNoJournal), posting::JournalOf(month)));
    return Refusal(outcome, 0, LoadStr(outcome == PiecesOutcome::HeaderLocked ? kMsgHeaderHeld : kMsgFailed));
  };
  for (const std::string& month : months)
    if (const PiecesOutcome held = hold(month, false); held != PiecesOutcome::Written) return refusal(held, month);

  PiecesReport r;
  std::vector<NewDraftLine> lines;
  lines.reserve(static_cast<std::size_t>(checked.lines));
  std::vector<long> lineCounts;
  lineCounts.reserve(pieces.size());
  std::vector<RecordedPiece> recorded;
  recorded.reserve(pieces.size());
  std::size_t k = 0;  // the line's place in `amounts`
  Ymd storedOf{-1, 0, 0};  // pieces of a day follow each other: its stored form is made once
  std::string stored;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    const ImportedPiece& p = pieces[i];
    const std::size_t before = lines.size();
    if (p.date.year != storedOf.year || p.date.month != storedOf.month || p.date.day != storedOf.day) {
      storedOf = p.date;
      stored = StoredDateOf(p.date);
    }
    NewDraftLine base;
    base.month = stored.substr(0, 4);
    base.journal = p.journal;
    base.day = stored.substr(4, 2);
    PieceBalance b;
    for (const ImportedLine& l : p.lines) {
      NewDraftLine& n = lines.emplace_back(base);
      n.account = l.account;
      n.labelCode = l.labelCode.substr(0, 1);
      n.label = Cut(l.label);
      if (!l.label2.empty()) n.label2 = Cut(l.label2);
      if (!l.label3.empty()) n.label3 = Cut(l.label3);
      Ymd due;
      if (!l.dueDate.empty() && ParseYyyymmdd(l.dueDate, due)) n.dueDate = StoredDateOf(due);
      n.vatCode = l.vatCode;
      n.sense = l.sense == 'C' ? 'C' : 'D';
      const LineAmounts& a = amounts[k++];
      const int sign = l.sense == 'D' ? 1 : -1;
      b.euros += sign * a.euros;
      b.francs += sign * a.francs;
      n.euros = FromCents(a.euros);
      n.francs = FromCents(a.francs);
      n.entryCurrency = l.francs ? 'N' : 'O';
    }
    NewDraftLine rounding = base;
    rounding.labelCode = p.lines.front().labelCode.substr(0, 1);
    rounding.label = Cut(p.lines.front().label);
    if (RoundingLineOf(p, b, &rounding)) {
      lines.push_back(std::move(rounding));
      ++r.roundingLines;
    }
    lineCounts.push_back(static_cast<long>(lines.size() - before));
    recorded.push_back({p.journal, base.month, 0, 0});
  }
  // A total that cannot hold the lines refuses the run before a number is taken: the take-up of a
  // stopped import could never finish it.
  {
    DraftTotals moved;
    for (const NewDraftLine& n : lines) moved.Add(n, NormalizeAccount(n.account));
    TotalsMoves moves;
    for (const auto& [code, move] : moved.accounts) moves.Account(code, move);
    for (const auto& [code, move] : moved.headers) moves.Header(code, move);
    if (const TotalsOverflow overflow = moves.Check()) {
      release();
      return Refusal(PiecesOutcome::TotalsTooLarge, 0,
                     posting::TotalsTooLargeText(overflow, !pieces.front().TypedInFrancs()));
    }
  }
  // The totals the lines add to are read now (above): the run's guard decides before the first write.
  if (const std::string unread = DossierRunReadRefusal(); !unread.empty()) {
    release();
    return Refusal(PiecesOutcome::AmountsUnread, 0, unread);
  }
  r.numbers.reserve(pieces.size());
  // The pieces of one journal that follow each other take their numbers in one go, as many
  // times "Créer Pièce" would.
  for (std::size_t i = 0; i < pieces.size();) {
    std::size_t end = i + 1;
    while (end < pieces.size() && pieces[end].journal == pieces[i].journal) ++end;
    const posting::PieceNumber n = posting::TakePieceNumbers(c10, pieces[i].journal, static_cast<long>(end - i));
    if (n.outcome != posting::NewLineOutcome::Created) {
      release();
      // A counter that could not be written is no counter held elsewhere.
      return Refusal(PiecesOutcome::CounterRefused, i,
                     refusal_.HasReason() ? NothingImportedMessage(refusal_) : LoadStr(kMsgCounter));
    }
    for (std::size_t j = i; j < end; ++j) r.numbers.push_back(n.number + static_cast<long>(j - i));
    i = end;
  }

  // Each piece's lines take its number.
  for (std::size_t i = 0, at = 0; i < pieces.size(); ++i) {
    const std::string number = StrZero(r.numbers[i], 0);
    for (long line = 0; line < lineCounts[i]; ++line) lines[at++].piece = number;
    recorded[i].number = r.numbers[i];
  }
  if (numbered && !numbered(r.numbers, lineCounts)) {
    release();
    PiecesReport refused = Refusal(PiecesOutcome::Failed, 0, LoadStr(kMsgRecordNotWritten));
    refused.numbers = r.numbers;
    return refused;
  }
  // From here on the run is recorded: a write refused stops it where it is, its record kept for
  // the next import, which takes it up as it takes up a run the program's end stopped. `said`:
  // the message of a stop that no refused write caused.
  auto stopped = [&](const std::string& said = std::string()) {
    release();
    PiecesReport refused = Refusal(PiecesOutcome::Stopped, 0, said.empty() ? StoppedRunMessage(refusal_) : said);
    refused.numbers = r.numbers;
    return refused;
  };
  DraftTotals totals;
  const std::uint32_t linesBefore = c50.RecCount(), sortsBefore = c60.RecCount();
  if (refusal_.ReadRefused()) {
    // Read short before the first line (the counters, the headers, the draft's count): nothing of
    // the run is in the draft, the caller takes its record back.
    release();
    PiecesReport refused = Refusal(PiecesOutcome::Failed, 0, NothingImportedMessage(refusal_));
    refused.numbers = r.numbers;
    return refused;
  }
  const DraftWrite written = AppendDraftLines(c50, c60, lines, &totals);
  if (written == DraftWrite::Failed && c50.RecCount() == linesBefore && c60.RecCount() == sortsBefore) {
    // Refused before its first record: nothing of the run is in the draft, the caller takes its
    // record back.
    release();
    PiecesReport refused = Refusal(PiecesOutcome::Failed, 0,
                                   refusal_.HasReason() ? NothingImportedMessage(refusal_)
                                                   : LoadStr(kMsgFailed));
    refused.numbers = r.numbers;
    return refused;
  }
  if (written == DraftWrite::TooManyLines) {
    release();
    return Refusal(PiecesOutcome::TooManyLines, 0, TooManyLinesMessage(c50.tablePath));
  }
  if (written != DraftWrite::Written) return stopped();
  // The headers missing, made now that the lines are in. One that another station made and enters
  // meanwhile stops the run (its totals are written by the import that takes it up); a journal
  // cancelled meanwhile does not: the totals make the header of the lines written.
  for (const std::string& month : missing) {
    const PiecesOutcome held = hold(month, true);
    if (held == PiecesOutcome::Failed) return stopped();
    if (held == PiecesOutcome::HeaderLocked)
      return stopped(
          FillPlaceholders(LoadStr(kMsgStoppedByEntry), {posting::JournalOf(month), posting::MonthDisplay(month)}));
  }
  if (!PostRunTotals(c10, totals, recorded, totalsPath)) return stopped();
  // A read refused on the way leaves the run to the next import, which takes it up whole.
  if (refusal_.ReadRefused()) return stopped();
  release();
  r.outcome = PiecesOutcome::Written;
  r.lines = static_cast<long>(lines.size());
  return r;
}

long PieceLineCount(const ImportedPiece& piece, double parity) {
  return static_cast<long>(piece.lines.size()) + (RoundingLineOf(piece, parity, nullptr) ? 1 : 0);
}

std::vector<std::uint32_t> DraftPieceRecords(Table& c50, const std::string& month, const std::string& journal,
                                             long piece) {
  std::vector<std::uint32_t> records;
  // The piece's own key on C50CODE (its journal-month and number, as the writer stores them): the
  // other lines of its journal-month are not read.
  const std::string prefix = "Z" + month + PadRight(journal, 3) + StrZero(piece, 0);
  // Not read, the piece is not taken for one without lines: the refusal is noted for the run's watch.
  const Lookup first = c50.Find(LigneEcriture::kCodeTag, prefix.c_str());
  if (first.IsRefused()) RefusalWatch::NoteEngineReadRefusal(c50.tablePath, first.result());
  for (bool more = first.IsFound(); more && !c50.eof; more = c50.Skip(1)) {
    if (LigneEcriture::Key(c50).compare(0, prefix.size(), prefix) != 0) break;
    if (!c50.RecordDeleted()) records.push_back(c50.recordNumber);
  }
  std::sort(records.begin(), records.end());
  return records;
}

int DraftPieceLines(Table& c50, const std::string& month, const std::string& journal, long piece) {
  return static_cast<int>(DraftPieceRecords(c50, month, journal, piece).size());
}

namespace {

using L = LigneEcriture;

// The totals the current line of the draft moves, added to `totals`.
void AddDraftLine(Table& c50, DraftTotals& totals) {
  NewDraftLine line;
  line.month = RTrim(c50.GetField(L::BMOIS));
  line.journal = RTrim(c50.GetField(L::BJAL));
  line.sense = c50.GetField(L::BSENS)[0] == 'D' ? 'D' : 'C';
  line.francs = FromCents(StoredAmountOf(c50, L::BMONTANTF));
  line.euros = FromCents(StoredAmountOf(c50, L::BMONTANTE));
  totals.Add(line, RTrim(c50.GetField(L::BCODE)));
}

// Cancels the draft line `recno`: the line and its sort record (derived first when missing, so
// that the cancelled line keeps one). Its totals are the caller's. False when a write was
// refused (noted): the line may still be live.
bool CancelStoppedLine(Table& c50, Table& c60, std::uint32_t recno) {
  // A line not read is no line gone: refused, never taken for cancelled.
  const Lookup line = c50.GoToRecord(static_cast<long>(recno));
  if (line.IsRefused()) {
    RefusalWatch::NoteEngineReadRefusal(c50.tablePath, line.result());
    return false;
  }
  if (line.IsNotFound()) return true;
  const bool sorted = LigneTri::Find(c60, LigneTri::kDraft, recno) || (c50.GoToRecord(static_cast<long>(recno)).IsFound() &&
                                                                      AppendLigneTri(c50, LigneTri::kDraft, c60) &&
                                                                      LigneTri::Find(c60, LigneTri::kDraft, recno));
  if (!sorted) {
    RefusalWatch::NoteAll(c60);
    return false;
  }
  // A mark not read is neither: refused, and the line left as it is.
  const Lookup sortLive = c60.LiveHere();
  if (sortLive.IsRefused()) {
    RefusalWatch::NoteEngineReadRefusal(c60.tablePath, sortLive.result());
    return false;
  }
  if (sortLive.IsFound()) {
    if (!c60.DeleteRecord(c60.RecordToText(LigneTri::TREC), 0)) {
      RefusalWatch::NoteAll(c60);
      return false;
    }
    UnlockRecord(c60);
  }
  const Lookup again = c50.GoToRecord(static_cast<long>(recno));
  if (again.IsRefused()) {
    RefusalWatch::NoteEngineReadRefusal(c50.tablePath, again.result());
    return false;
  }
  if (again.IsNotFound()) return true;
  const Lookup lineLive = c50.LiveHere();
  if (lineLive.IsRefused()) {
    RefusalWatch::NoteEngineReadRefusal(c50.tablePath, lineLive.result());
    return false;
  }
  if (lineLive.IsNotFound()) return true;
  if (!c50.DeleteRecord(c50.RecordToText(L::BNUMA), 0)) {
    RefusalWatch::NoteAll(c50);
    return false;
  }
  UnlockRecord(c50);
  return true;
}

TotalsCents Less(TotalsCents a, const TotalsCents& b) {
  a.debit1 -= b.debit1, a.credit1 -= b.credit1, a.debit2 -= b.debit2, a.credit2 -= b.credit2;
  return a;
}

// The records the totals of lines move, each by its kind (a C20 record 'A', a journal-month
// header 'H') and code, and their moves.
using RecordKey = std::pair<char, std::string>;
using RecordMoves = std::map<RecordKey, TotalsCents>;

TotalsCents MoveOf(const RecordMoves& moves, const RecordKey& key) {
  const auto it = moves.find(key);
  return it == moves.end() ? TotalsCents{} : it->second;
}

// The records `totals` moves: each C20 record once, an auxiliary account's collective taking the
// moves of all its accounts (the records missing made, as the line-by-line writer makes them).
RecordMoves MovesOf(const DraftTotals& totals) {
  RecordMoves moves;
  for (const auto& [account, move] : totals.accounts)
    for (const std::string& code : AccountTotalsCodes(account.c_str())) moves[{'A', code}] += move;
  for (const auto& [code, move] : totals.headers) moves[{'H', code}] += move;
  return moves;
}

// The move each record needs once the cut lines are cancelled: the live lines less the cut ones,
// against what the record holds. It is trusted where it is a move the stopped run can owe: none
// (the totals made again from the lines meanwhile, or written before the stop), the kept pieces'
// totals, the cut lines' taken back, both, or what the run's records say is owed. Any other
// difference is another station's line being saved as the record is read, or totals wrong
// before the run: the run's records then decide, as they alone did before.
RecordMoves MovesDue(Table& c50, const RecordMoves& recorded, const RecordMoves& whole, const RecordMoves& cut,
                     bool* read) {
  std::set<RecordKey> records;
  for (const auto& [record, move] : recorded)
    if (!move.Empty()) records.insert(record);
  for (const auto& [record, move] : cut) records.insert(record);
  RecordMoves due, live;
  *read = records.empty() || LiveTotals(c50, records, &live);
  if (records.empty() || !*read) return due;
  for (const RecordKey& record : records) {
    TotalsCents stored;
    if (!(record.first == 'H' ? ReadHeaderRecord(record.second, &stored) : ReadAccountRecord(record.second, &stored)))
      stored = TotalsCents{};
    const TotalsCents w = MoveOf(whole, record), c = MoveOf(cut, record), o = MoveOf(recorded, record);
    const TotalsCents lack = Less(Less(MoveOf(live, record), c), stored);
    const bool owable = lack.Empty() || lack == o || lack == w || lack == Less({}, c) || lack == Less(w, c);
    const TotalsCents move = owable ? lack : o;
    if (!move.Empty()) due[record] = move;
  }
  return due;
}

// ---- The totals journal

// One record a section moves: a C20 record ('A') or a journal-month header ('H').
struct JournalEntry {
  char kind = 'A';
  std::string code;
  TotalsCents move;
};

std::vector<JournalEntry> EntriesOf(const RecordMoves& moves) {
  std::vector<JournalEntry> entries;
  for (const auto& [record, move] : moves) entries.push_back({record.first, record.second, move});
  return entries;
}

std::string CentsText(const TotalsCents& t) {
  return std::to_string(t.debit1) + "\t" + std::to_string(t.credit1) + "\t" + std::to_string(t.debit2) + "\t" +
         std::to_string(t.credit2);
}

// A section's head: the pieces whose totals it carries (RunTotalsKey) and its records' moves.
std::string SectionText(const std::vector<std::string>& pieces, const std::vector<JournalEntry>& entries) {
  std::string section = "totaux\n";
  for (const std::string& p : pieces) section += "P\t" + p + "\n";
  for (const JournalEntry& e : entries) section += std::string(1, e.kind) + "\t" + e.code + "\t" + CentsText(e.move) + "\n";
  return section + "entrees\n";
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> f;
  for (std::size_t from = 0;;) {
    const std::size_t tab = line.find('\t', from);
    f.push_back(line.substr(from, tab == std::string::npos ? std::string::npos : tab - from));
    if (tab == std::string::npos) return f;
    from = tab + 1;
  }
}

TotalsCents CentsOf(const std::vector<std::string>& f, std::size_t at) {
  TotalsCents t;
  if (f.size() < at + 4) return t;
  t.debit1 = std::atoll(f[at].c_str());
  t.credit1 = std::atoll(f[at + 1].c_str());
  t.debit2 = std::atoll(f[at + 2].c_str());
  t.credit2 = std::atoll(f[at + 3].c_str());
  return t;
}

// Moves entry `k` of a section, its totals as read appended to the journal first: a record whose
// reading the journal could not keep is not written. False when either write was refused.
bool PostEntry(const JournalEntry& e, std::size_t k, const std::string& path) {
  const TotalsBefore note = [&](const TotalsCents& before) {
    if (path.empty() || platform::AppendToFile(path, std::to_string(k) + "\t" + CentsText(before) + "\n")) return true;
    RefusalWatch::NoteFileRefused(path);
    return false;
  };
  if (e.kind == 'H' ? MoveHeaderRecord(e.code, e.move, note) : MoveAccountRecord(e.code, e.move, note)) return true;
  RefusalWatch::NoteAll(e.kind == 'H' ? PathC10() : PathC20(), kResultSystemError);
  return false;
}

// Moves the entries from `from` on, then marks the section done. The first refusal stops it
// unfinished, as a stop of the program would: the next run finishes it.
bool PostEntries(const std::vector<JournalEntry>& entries, std::size_t from, const std::string& path) {
  for (std::size_t k = from; k < entries.size(); ++k)
    if (!PostEntry(entries[k], k, path)) return false;
  if (path.empty() || platform::AppendToFile(path, "fait\n")) return true;
  RefusalWatch::NoteFileRefused(path);
  return false;
}

// What a run's journal says: the pieces its sections carry, what the sections left unfinished
// still owe each record (the record being written when the run stopped owed unless it no longer
// holds what was read), and the journal as it stays once a section of the take-up's own carries
// those moves: every listed section closed.
struct JournalOwed {
  std::set<std::string> covered;
  RecordMoves owed;
  bool unfinished = false;
  std::string closed;
  bool unread = false;  // the journal is there and could not be read: nothing is known of it
};

JournalOwed ReadJournalOwed(const std::string& path) {
  JournalOwed out;
  std::string text;
  out.unread = !ReadImportRecord(path, text);
  // The sections in order; the lines after a section's list are its records' totals as read.
  struct Section {
    std::vector<std::string> pieces;
    std::vector<JournalEntry> entries;
    bool listed = false, done = false;
    std::map<std::size_t, TotalsCents> read;
    long lastRead = -1;
  };
  std::vector<Section> sections;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t eol = text.find('\n', at);
    if (eol == std::string::npos) break;  // a line cut short: its write never happened
    const std::string line = text.substr(at, eol - at);
    at = eol + 1;
    if (line == "totaux") {
      sections.emplace_back();
      continue;
    }
    if (sections.empty()) continue;
    Section& s = sections.back();
    const std::vector<std::string> f = Fields(line);
    if (line == "entrees") {
      s.listed = true;
    } else if (line == "fait") {
      s.done = true;
    } else if (!s.listed && f.size() == 4 && f[0] == "P") {
      s.pieces.push_back(f[1] + "\t" + f[2] + "\t" + f[3]);
    } else if (!s.listed && f.size() == 6 && (f[0] == "A" || f[0] == "H")) {
      s.entries.push_back({f[0][0], f[1], CentsOf(f, 2)});
    } else if (s.listed && f.size() == 5) {
      const long k = std::atol(f[0].c_str());
      s.read[static_cast<std::size_t>(k)] = CentsOf(f, 1);
      s.lastRead = k;
    }
  }
  for (Section& s : sections) {
    if (!s.listed) continue;  // stopped while it was listed: nothing of it was written
    out.covered.insert(s.pieces.begin(), s.pieces.end());
    out.closed += SectionText(s.pieces, {}) + "fait\n";
    if (s.done) continue;
    out.unfinished = true;
    std::size_t from = 0;
    if (s.lastRead >= 0 && static_cast<std::size_t>(s.lastRead) < s.entries.size()) {
      // The record being written when the run stopped: written unless it still holds what was read.
      const std::size_t k = static_cast<std::size_t>(s.lastRead);
      const JournalEntry& e = s.entries[k];
      TotalsCents now;
      const bool found = e.kind == 'H' ? ReadHeaderRecord(e.code, &now) : ReadAccountRecord(e.code, &now);
      from = found && now == s.read[k] ? k : k + 1;
    }
    for (std::size_t k = from; k < s.entries.size(); ++k) out.owed[{s.entries[k].kind, s.entries[k].code}] += s.entries[k].move;
  }
  return out;
}

}  // namespace

std::string RunTotalsKey(const std::string& journal, const std::string& month, long number) {
  return std::string(RTrim(journal.c_str())) + "\t" + RTrim(month.c_str()) + "\t" + std::to_string(number);
}

bool PostRunTotals(Table& c10, const DraftTotals& totals, const std::vector<RecordedPiece>& pieces,
                   const std::string& path) {
  (void)c10;
  if (totals.Empty()) return true;
  // The records a move goes to, found through the chart: one the seek could not read would leave
  // its move out of the journal for good. The run stops before its journal then.
  const RefusalWatch reading;
  const std::vector<JournalEntry> entries = EntriesOf(MovesOf(totals));
  if (reading.ReadRefused()) return false;
  std::vector<std::string> keys;
  for (const RecordedPiece& p : pieces) keys.push_back(RunTotalsKey(p.journal, p.month, p.number));
  std::string section = SectionText(keys, entries);
  std::string before;
  if (!ReadImportRecord(path, before)) return false;
  if (!before.empty() && before.back() != '\n') section = "\n" + section;
  // A journal that cannot be written stops the run before its first record: the next run writes
  // the totals of its whole pieces.
  if (!path.empty() && !platform::AppendToFile(path, section)) {
    RefusalWatch::NoteFileRefused(path);
    return false;
  }
  return PostEntries(entries, 0, path);
}

namespace {

// True when no file is left at `path` (none was there: nothing is changed).
bool NoFileLeft(const std::string& path) {
  return path.empty() || !platform::FileExists(path) || platform::RemoveFile(path);
}

}  // namespace

bool RemoveRunTotals(const std::string& path) { return NoFileLeft(path); }

bool RemoveEndedRunFiles(const std::vector<std::string>& paths) {
  for (const std::string& path : paths)
    if (!NoFileLeft(path)) {
      RefusalWatch::NoteFileRefused(path);
      return false;
    }
  return true;
}

std::string TakeUpFileLine(const std::string& file) {
  // Its name alone: the window's line has no room for a folder.
  return FillPlaceholder(LoadStr(kLineTakeUpFile), file.substr(file.find_last_of("/\\") + 1));
}

StoppedPieces PutStoppedPiecesInOrder(Table& c10, Table& c50, Table& c60, const std::vector<RecordedPiece>& pieces,
                                      const std::string& totalsPath, bool keep, MaintenanceProgress* progress) {
  (void)c10;
  MaintenanceProgress none;
  MaintenanceProgress& show = progress != nullptr ? *progress : none;
  show.SetTotal(static_cast<long>(pieces.size()));
  RefusalWatch refusal;
  StoppedPieces out;
  const JournalOwed journal = ReadJournalOwed(totalsPath);
  // Per record: the lines of the pieces kept, those of them whose totals no section carries, the
  // lines of the pieces cut short, and those of them a section carries.
  DraftTotals whole, owed, cut, cutCovered;
  std::vector<std::string> kept;
  std::vector<std::uint32_t> cutRecords;
  for (const RecordedPiece& piece : pieces) {
    const std::vector<std::uint32_t> records = DraftPieceRecords(c50, piece.month, piece.journal, piece.number);
    const std::string key = RunTotalsKey(piece.journal, piece.month, piece.number);
    const bool covered = journal.covered.count(key) > 0;
    const bool isWhole = keep ? !records.empty() : static_cast<long>(records.size()) >= piece.lines;
    // The lines go in by batches, each batch's sort records after it: a line of a piece kept may
    // lack its own, derived from it now (each line is written whole).
    for (std::uint32_t recno : records) {
      if (!isWhole || LigneTri::Find(c60, LigneTri::kDraft, recno)) continue;
      if (!c50.GoToRecord(static_cast<long>(recno)).IsFound() || !AppendLigneTri(c50, LigneTri::kDraft, c60)) {
        RefusalWatch::NoteAll(c60);
        out.refused = true;
        return out;
      }
    }
    out.whole.push_back(isWhole);
    out.cancelled.push_back(isWhole ? 0 : static_cast<long>(records.size()));
    for (std::uint32_t recno : records) {
      // A line not read counts in no total: the moves are not worked out short of it.
      const Lookup line = c50.GoToRecord(static_cast<long>(recno));
      if (line.IsRefused()) {
        RefusalWatch::NoteEngineReadRefusal(c50.tablePath, line.result());
        out.refused = true;
        return out;
      }
      if (line.IsNotFound()) continue;
      AddDraftLine(c50, isWhole ? whole : cut);
      if (isWhole && !covered) AddDraftLine(c50, owed);
      if (!isWhole && covered) AddDraftLine(c50, cutCovered);
    }
    if (isWhole) kept.push_back(key);
    else cutRecords.insert(cutRecords.end(), records.begin(), records.end());
    show.Step();
    const std::size_t done = out.whole.size();
    if (done % kPiecesShownEvery == 0 || done == pieces.size())
      show.SetLine2(FillPlaceholders(LoadStr(kLinePieceOf), {std::to_string(done), std::to_string(pieces.size())}));
  }
  show.SetLine(LoadStr(kLineTotals));
  show.SetLine2("");
  // What the run's records say each record is owed: the unfinished sections' moves, the kept
  // pieces no section carries, less the cut lines a section carries.
  RecordMoves recorded = journal.owed;
  for (const auto& [record, move] : MovesOf(owed)) recorded[record] += move;
  for (const auto& [record, move] : MovesOf(cutCovered)) recorded[record] = Less(recorded[record], move);
  bool read = true;
  const std::vector<JournalEntry> entries = EntriesOf(MovesDue(c50, recorded, MovesOf(whole), MovesOf(cut), &read));
  // Moves worked out from a journal, a line or a record read short are not written: the next
  // take-up works them out again.
  if (!read || journal.unread || refusal.ReadRefused()) {
    out.refused = true;
    return out;
  }
  // The moves go under a section of their own, which closes those they finish and carries the
  // pieces kept: a take-up stopped in its turn is finished by the next one.
  const bool settles = !entries.empty() || journal.unfinished || !owed.Empty();
  if (settles && !totalsPath.empty() && !platform::WriteFileAtomic(totalsPath, journal.closed + SectionText(kept, entries))) {
    RefusalWatch::NoteFileRefused(totalsPath);
    out.refused = true;
    return out;
  }
  if (settles && !PostEntries(entries, 0, totalsPath)) {
    out.refused = true;
    return out;
  }
  // The totals no longer count the lines of the pieces cut short: they go now. Stopped before
  // their end, the next take-up finds the records already without them.
  if (!cutRecords.empty()) show.SetLine(LoadStr(kLineCutPieces));
  for (std::uint32_t recno : cutRecords)
    if (!CancelStoppedLine(c50, c60, recno)) {
      out.refused = true;
      return out;
    }
  out.refused = refusal.Seen() || refusal.ReadRefused();
  return out;
}

ImportHold::ImportHold(const std::string& lockPath, int waitMs) {
  // Made beforehand as the dossier's other files are made, so that the other users of a shared
  // folder can take it too.
  if (!platform::FileExists(lockPath)) platform::AppendToFile(lockPath, "");
  constexpr int kStepMs = 50;
  for (int waited = 0;; waited += kStepMs) {
    const platform::FileLock::Result result = lock_.Acquire(lockPath);
    if (result == platform::FileLock::Result::Acquired) return;
    if (result == platform::FileLock::Result::Failed) {
      // A file the system refused to make or open (a full disk, an I/O error, a disk read-only)
      // is said so.
      const int err = errno;
      const bool refused = err == ENOSPC || err == EDQUOT || err == EIO || err == EROFS || err == EACCES || err == EPERM;
      message_ = refused ? FillPlaceholders(LoadStr(kMsgHoldRefused), {lockPath, SystemRefusalText(lockPath, err)})
                         : FillPlaceholder(LoadStr(kMsgHoldUnavailable), lockPath);
      return;
    }
    if (waited >= waitMs) break;
    platform::SleepMilliseconds(kStepMs);
  }
  message_ = LoadStr(kMsgImportElsewhere);
}

}  // namespace processing
