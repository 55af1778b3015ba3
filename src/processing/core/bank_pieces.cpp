#include "processing/core/bank_pieces.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>

#include "data/account_totals.h"
#include "data/dossier_files.h"
#include "data/draft_lines.h"
#include "data/entry_lines.h"
#include "data/locks.h"
#include "data/rounding_accounts.h"
#include "data/session.h"
#include "data/table.h"
#include "entry/core/balancing.h"
#include "entry/core/journal_month.h"
#include "entry/core/line_changes.h"
#include "entry/core/new_lines.h"
#include "runtime/dossier_record.h"
#include "platform/system/temp_files.h"
#include "runtime/numbers.h"
#include "runtime/xbase.h"

namespace processing {
namespace {

constexpr int kMsgDateOutside = 29690;
constexpr int kMsgUnbalanced = 29691;
constexpr int kMsgNoJournal = 29692;
constexpr int kMsgCounter = 29693;
constexpr int kMsgEmpty = 29694;
constexpr int kMsgFailed = 29695;
constexpr int kMsgAmountTooLarge = 29696;
constexpr int kMsgHeaderHeld = 16003;
constexpr int kMsgImportElsewhere = 29760;
constexpr int kMsgRecordNotWritten = 29761;
constexpr int kMsgHoldUnavailable = 29762;  // "Journal déjà en cours de Saisie sur un autre poste"
constexpr std::size_t kLabelWidth = 25;

std::string Replace(std::string text, const std::string& what) {
  const std::size_t at = text.find("%s");
  if (at != std::string::npos) text.replace(at, 2, what);
  return text;
}

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

// The exchange-rounding line a piece balanced in its own currency needs in the other one.
bool RoundingLineOf(const ImportedPiece& piece, double parity, NewDraftLine* rounding) {
  if (!HasFrancs()) return false;
  const PieceBalance b = BalanceOf(piece, parity);
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

bool InYear(const Ymd& date, const std::string& first, const std::string& last) {
  if (!IsValidYmd(date)) return false;
  const std::string d = YyyymmddOf(date);
  return !first.empty() && !last.empty() && d >= first && d <= last;
}

}  // namespace

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
    a.euros = entry::ToEuros(line.cents, parity);
  } else {
    a.euros = line.cents;
    a.francs = parity > 0 ? entry::ToFrancs(line.cents, parity) : 0;
  }
  return a;
}

PiecesReport CheckImportedPieces(Table& c10, Table& c50, const std::vector<ImportedPiece>& pieces, long maxRecords) {
  if (pieces.empty()) return Refusal(PiecesOutcome::Empty, 0, LoadStr(kMsgEmpty));
  Ymd first, last;
  std::string firstDay, lastDay;
  if (TheDossierRecord.DateYmd(DossierRecord::DateField::YearStart, first) &&
      TheDossierRecord.DateYmd(DossierRecord::DateField::YearEnd, last)) {
    firstDay = YyyymmddOf(first);
    lastDay = YyyymmddOf(last);
  }
  const double parity = TheDossierRecord.Parity();
  std::map<std::string, bool> journals;
  long lines = 0;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    const ImportedPiece& p = pieces[i];
    if (p.lines.empty()) return Refusal(PiecesOutcome::Empty, i, LoadStr(kMsgEmpty));
    const std::string shown = IsValidYmd(p.date) ? PrintDateOf(p.date) : std::string("?");
    if (!InYear(p.date, firstDay, lastDay))
      return Refusal(PiecesOutcome::DateOutsideYear, i, Replace(LoadStr(kMsgDateOutside), shown));
    // The field takes what fits and the writer would fail half-way: refused before anything moves.
    for (const ImportedLine& l : p.lines) {
      const LineAmounts a = AmountsOf(l, parity);
      const long long cents = l.cents < 0 ? -l.cents : l.cents;
      if (cents > kMaxLineCents || a.euros > kMaxLineCents || a.euros < -kMaxLineCents || a.francs > kMaxLineCents ||
          a.francs < -kMaxLineCents) {
        char amount[40];
        std::snprintf(amount, sizeof amount, "%lld,%02lld", cents / 100, cents % 100);
        PiecesReport refused = Refusal(PiecesOutcome::AmountTooLarge, i, Replace(LoadStr(kMsgAmountTooLarge), amount));
        refused.sourceLine = l.sourceLine;
        return refused;
      }
    }
    const PieceBalance b = BalanceOf(p, parity);
    if ((p.TypedInFrancs() ? b.francs : b.euros) != 0)
      return Refusal(PiecesOutcome::Unbalanced, i, Replace(Replace(LoadStr(kMsgUnbalanced), p.journal), shown));
    auto known = journals.find(p.journal);
    if (known == journals.end()) {
      const entry::JournalRecord j = entry::ReadJournal(c10, p.journal);
      known = journals.emplace(p.journal, j.found && !j.cancelled && !IsBlank(p.journal)).first;
    }
    if (!known->second) return Refusal(PiecesOutcome::NoJournal, i, Replace(LoadStr(kMsgNoJournal), p.journal));
    lines += static_cast<long>(p.lines.size()) + (RoundingLineOf(p, parity, nullptr) ? 1 : 0);
  }
  if (static_cast<long>(c50.RecCount()) + lines > maxRecords)
    return Refusal(PiecesOutcome::TooManyLines, 0, TooManyLinesMessage(c50.tablePath));
  PiecesReport ok;
  ok.outcome = PiecesOutcome::Written;
  ok.lines = lines;
  return ok;
}

PiecesReport WriteImportedPieces(Table& c10, Table& c50, Table& c60, const std::vector<ImportedPiece>& pieces,
                                 long maxRecords, const PiecesNumbered& numbered) {
  PiecesReport checked = CheckImportedPieces(c10, c50, pieces, maxRecords);
  if (checked.outcome != PiecesOutcome::Written) return checked;

  // The header of every journal-month written into, held as "Saisir" holds it: refused while
  // another station enters it, granted again when this station does (then left held). The headers
  // there are held before the numbers are taken; those missing are made once the run is recorded
  // (`numbered`), so that a run stopped while it makes them is found again.
  std::set<std::string> months, missing;
  for (const ImportedPiece& p : pieces) months.insert(entry::CleJournalMois(MonthOf(p.date), p.journal));
  std::vector<std::uint32_t> taken;
  auto release = [&] {
    for (std::uint32_t record : taken)
      if (c10.GoTo(static_cast<long>(record))) UnlockRecord(c10);
  };
  auto hold = [&](const std::string& month, bool make) -> PiecesOutcome {
    if (make) {
      const entry::HeaderCreation header = entry::EnsureDraftHeader(c10, month);
      if (header == entry::HeaderCreation::NoJournal) return PiecesOutcome::NoJournal;
      if (header == entry::HeaderCreation::Failed) return PiecesOutcome::Failed;
    }
    if (!entry::SeekHeader(c10, month, entry::kDraftSource)) {
      if (make) return PiecesOutcome::Failed;
      missing.insert(month);
      return PiecesOutcome::Written;
    }
    if (!LockRecord(c10, nullptr, 0)) return PiecesOutcome::HeaderLocked;
    if (c10.result != dbase::DBIERR_ALREADYLOCKED) taken.push_back(c10.recordNumber);
    return PiecesOutcome::Written;
  };
  auto refusal = [&](PiecesOutcome outcome, const std::string& month) {
    release();
    if (outcome == PiecesOutcome::NoJournal)
      return Refusal(outcome, 0, Replace(LoadStr(kMsgNoJournal), entry::JournalOf(month)));
    return Refusal(outcome, 0, LoadStr(outcome == PiecesOutcome::HeaderLocked ? kMsgHeaderHeld : kMsgFailed));
  };
  for (const std::string& month : months)
    if (const PiecesOutcome held = hold(month, false); held != PiecesOutcome::Written) return refusal(held, month);

  PiecesReport r;
  r.numbers.reserve(pieces.size());
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    const entry::PieceNumber n = entry::TakePieceNumber(c10, pieces[i].journal);
    if (n.outcome != entry::NewLineOutcome::Created) {
      release();
      return Refusal(PiecesOutcome::CounterRefused, i, LoadStr(kMsgCounter));
    }
    r.numbers.push_back(n.number);
  }

  const double parity = TheDossierRecord.Parity();
  std::vector<NewDraftLine> lines;
  lines.reserve(static_cast<std::size_t>(checked.lines));
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    const ImportedPiece& p = pieces[i];
    NewDraftLine base;
    base.month = MonthOf(p.date);
    base.journal = p.journal;
    base.piece = StrZero(r.numbers[i], 0);
    base.day = StoredDateOf(p.date).substr(4, 2);
    for (const ImportedLine& l : p.lines) {
      NewDraftLine n = base;
      n.account = l.account;
      n.labelCode = l.labelCode.substr(0, 1);
      n.label = Cut(l.label);
      n.label2 = Cut(l.label2);
      n.label3 = Cut(l.label3);
      Ymd due;
      if (!l.dueDate.empty() && ParseYyyymmdd(l.dueDate, due)) n.dueDate = StoredDateOf(due);
      n.vatCode = l.vatCode;
      n.sense = l.sense == 'C' ? 'C' : 'D';
      const LineAmounts a = AmountsOf(l, parity);
      n.euros = FromCents(a.euros);
      n.francs = FromCents(a.francs);
      n.entryCurrency = l.francs ? 'N' : 'O';
      lines.push_back(n);
    }
    NewDraftLine rounding = base;
    rounding.labelCode = p.lines.front().labelCode.substr(0, 1);
    rounding.label = Cut(p.lines.front().label);
    if (RoundingLineOf(p, parity, &rounding)) {
      lines.push_back(rounding);
      ++r.roundingLines;
    }
  }
  if (numbered && !numbered(r.numbers)) {
    release();
    PiecesReport refused = Refusal(PiecesOutcome::Failed, 0, LoadStr(kMsgRecordNotWritten));
    refused.numbers = r.numbers;
    return refused;
  }
  for (const std::string& month : missing)
    if (const PiecesOutcome held = hold(month, true); held != PiecesOutcome::Written) {
      PiecesReport refused = refusal(held, month);
      refused.numbers = r.numbers;
      return refused;
    }
  const DraftWrite written = WriteDraftLines(c50, c60, lines);
  release();
  if (written == DraftWrite::TooManyLines) return Refusal(PiecesOutcome::TooManyLines, 0, TooManyLinesMessage(c50.tablePath));
  if (written != DraftWrite::Written) return Refusal(PiecesOutcome::Failed, 0, LoadStr(kMsgFailed));
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
  const std::string prefix = "Z" + month + (journal + "   ").substr(0, 3);
  for (bool more = c50.Seek(LigneEcriture::kCodeTag, prefix.c_str()); more && !c50.eof; more = c50.Skip(1)) {
    if (LigneEcriture::Key(c50).compare(0, prefix.size(), prefix) != 0) break;
    if (!c50.IsDeleted() && std::atol(c50.GetField(LigneEcriture::BPIECE)) == piece) records.push_back(c50.recordNumber);
  }
  std::sort(records.begin(), records.end());
  return records;
}

int DraftPieceLines(Table& c50, const std::string& month, const std::string& journal, long piece) {
  return static_cast<int>(DraftPieceRecords(c50, month, journal, piece).size());
}

namespace {

using L = LigneEcriture;

// Debit and credit in both currencies, in cents.
struct Sums {
  long long debitF = 0, creditF = 0, debitE = 0, creditE = 0;
  void Add(char sense, double francs, double euros, int sign = 1) {
    (sense == 'D' ? debitF : creditF) += sign * ToCents(francs);
    (sense == 'D' ? debitE : creditE) += sign * ToCents(euros);
  }
  bool operator==(const Sums& o) const {
    return debitF == o.debitF && creditF == o.creditF && debitE == o.debitE && creditE == o.creditE;
  }
};

// The current line of `lines` (the draft, or the closed file when `closed`) added to `sums`.
void AddLine(Table& lines, bool closed, Sums& sums, int sign = 1) {
  sums.Add(L::Get(lines, closed, L::BSENS)[0],
           lines.GetFieldNum(closed ? static_cast<int>(L::DMONTANTF) : static_cast<int>(L::BMONTANTF)),
           lines.GetFieldNum(closed ? static_cast<int>(L::DMONTANTE) : static_cast<int>(L::BMONTANTE)), sign);
}

// Whether the totals of the current line `last` of the draft went into its journal-month's header:
// the header holds the sum of the journal-month's live lines (yes), or that sum without the line
// (no). A header that holds neither was not kept by its lines before: it is taken as posted.
bool HeaderPosted(Table& c10, Table& c50, std::uint32_t last) {
  if (!c50.GoTo(static_cast<long>(last))) return true;
  const std::string month = RTrim(c50.GetField(L::BMOIS)), journal = RTrim(c50.GetField(L::BJAL));
  Sums line;
  AddLine(c50, false, line);
  Sums lines;
  const std::string prefix = "Z" + month + (journal + "   ").substr(0, 3);
  for (bool more = c50.Seek(L::kCodeTag, prefix.c_str()); more && !c50.eof; more = c50.Skip(1)) {
    if (L::Key(c50).compare(0, prefix.size(), prefix) != 0) break;
    if (!c50.IsDeleted()) AddLine(c50, false, lines);
  }
  if (!entry::SeekHeader(c10, entry::CleJournalMois(month, journal), entry::kDraftSource)) return false;
  const entry::HeaderTotals h = entry::ReadHeaderTotals(c10);
  const Sums stored{h.debitF, h.creditF, h.debitE, h.creditE};
  Sums without = lines;
  without.Add(line.debitE != 0 || line.debitF != 0 ? 'D' : 'C', FromCents(line.debitF + line.creditF),
              FromCents(line.debitE + line.creditE), -1);
  return !(stored == without);
}

// Whether the totals of the draft line `last` went into its account in C20 (fields 17 to 20: the
// sums of the account's live lines of the draft and the closed file), as HeaderPosted.
bool AccountPosted(Table& c50, std::uint32_t last) {
  if (TableC20 == nullptr || !c50.GoTo(static_cast<long>(last))) return true;
  const std::string account = RTrim(c50.GetField(L::BCODE));
  Sums line;
  AddLine(c50, false, line);
  Sums lines;
  Table c40;
  const bool hasClosed = c40.OpenShared(PathC40(), "", true);
  for (int pass = 0; pass < (hasClosed ? 2 : 1); ++pass) {
    const bool closed = pass == 1;
    Table& t = closed ? c40 : c50;
    const std::uint32_t count = t.RecCount();
    for (std::uint32_t r = 1; r <= count; ++r)
      if (t.GoTo(static_cast<long>(r)) && !t.IsDeleted() && L::Get(t, closed, L::BCLE) == "Z" &&
          RTrim(L::Get(t, closed, L::BCODE).c_str()) == account)
        AddLine(t, closed, lines);
  }
  if (!TableC20->Seek("C20CODE", account.c_str())) return false;
  const Sums stored{ToCents(TableC20->GetFieldNum(17)), ToCents(TableC20->GetFieldNum(19)),
                    ToCents(TableC20->GetFieldNum(18)), ToCents(TableC20->GetFieldNum(20))};
  Sums without = lines;
  without.Add(line.debitE != 0 || line.debitF != 0 ? 'D' : 'C', FromCents(line.debitF + line.creditF),
              FromCents(line.debitE + line.creditE), -1);
  return !(stored == without);
}

// Cancels the draft line `recno` whose sort record and totals may not all have been written:
// the line, its sort record (derived first when missing, so that the cancelled line keeps one) and
// the totals that were posted.
void CancelCutLine(Table& c50, Table& c60, std::uint32_t recno, bool accountPosted, bool headerPosted) {
  if (!c50.GoTo(static_cast<long>(recno))) return;
  const bool sorted = LigneTri::Find(c60, LigneTri::kDraft, recno) || (c50.GoTo(static_cast<long>(recno)) &&
                                                                      AppendLigneTri(c50, LigneTri::kDraft, c60) &&
                                                                      LigneTri::Find(c60, LigneTri::kDraft, recno));
  if (sorted && !c60.IsDeleted() && c60.DeleteRecord(c60.RecordToText(LigneTri::TREC), 0)) UnlockRecord(c60);
  if (!c50.GoTo(static_cast<long>(recno)) || c50.IsDeleted() || !c50.DeleteRecord(c50.RecordToText(L::BNUMA), 0))
    return;
  UnlockRecord(c50);
  const char sense = c50.GetField(L::BSENS)[0];
  const std::string op = std::string("-") + (sense == 'D' ? "D" : "C");
  const std::string account = c50.GetField(L::BCODE);
  const std::string header = std::string(c50.GetField(L::BMOIS)) + c50.GetField(L::BJAL) + "B";
  const double francs = c50.GetFieldNum(L::BMONTANTF), euros = c50.GetFieldNum(L::BMONTANTE);
  if (accountPosted) MajCompteC20(account.c_str(), op.c_str(), francs, euros);
  if (headerPosted) MajCentC10(header.c_str(), op.c_str(), francs, euros);
}

}  // namespace

StoppedPieces PutStoppedPiecesInOrder(Table& c10, Table& c50, Table& c60, const std::vector<RecordedPiece>& pieces) {
  StoppedPieces out;
  std::vector<std::vector<std::uint32_t>> records;
  std::uint32_t last = 0;
  std::size_t lastPiece = 0;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    records.push_back(DraftPieceRecords(c50, pieces[i].month, pieces[i].journal, pieces[i].number));
    if (!records.back().empty() && records.back().back() > last) {
      last = records.back().back();
      lastPiece = i;
    }
  }
  // The lines are written one after the other, each with its sort record then its account's and
  // its header's totals: only the last line of the run can lack some of them.
  bool sorted = true, accountPosted = true, headerPosted = true;
  if (last != 0) {
    sorted = LigneTri::Find(c60, LigneTri::kDraft, last);
    headerPosted = sorted && HeaderPosted(c10, c50, last);
    accountPosted = headerPosted || (sorted && AccountPosted(c50, last));
  }
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    const bool lastCut = last != 0 && i == lastPiece && !(sorted && headerPosted);
    const bool whole = static_cast<long>(records[i].size()) >= pieces[i].lines && !lastCut;
    out.whole.push_back(whole);
    out.cancelled.push_back(whole ? 0 : static_cast<long>(records[i].size()));
    if (whole) continue;
    for (std::uint32_t recno : records[i]) {
      if (recno == last) {
        CancelCutLine(c50, c60, recno, accountPosted, headerPosted);
      } else {
        c50.GoTo(static_cast<long>(recno));
        entry::CancelLine(c50, c60, recno, c50.RecordToText(L::BNUMA), nullptr);
      }
    }
  }
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
      message_ = Replace(LoadStr(kMsgHoldUnavailable), lockPath);
      return;
    }
    if (waited >= waitMs) break;
    platform::SleepMilliseconds(kStepMs);
  }
  message_ = LoadStr(kMsgImportElsewhere);
}

}  // namespace processing
