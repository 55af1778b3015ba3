#include "processing/core/ofx_import.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "data/dossier_files.h"
#include "data/entry_lines.h"
#include "data/error_report.h"
#include "data/session.h"
#include "data/table.h"
#include "dossier/core/maintenance_pack.h"
#include "posting/journal_month.h"
#include "posting/line_validation.h"
#include "platform/system/files.h"
#include "processing/core/bank_pieces.h"
#include "processing/core/stopped_imports.h"
#include "resources/string_table.h"
#include "runtime/dates.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/logfile.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace processing {

namespace {

using L = LigneEcriture;

constexpr std::size_t kLabelWidth = 25;

std::string Part(const char* field, std::size_t from, std::size_t count) {
  const std::string s = field == nullptr ? "" : field;
  return from - 1 >= s.size() ? "" : Trimmed(s.substr(from - 1, count));
}

std::string NoBlanks(const std::string& s) {
  std::string out;
  for (char c : s)
    if (c != ' ' && c != '-') out += c;
  return out;
}

std::string WithoutLeadingZeros(const std::string& s) {
  const std::size_t a = s.find_first_not_of('0');
  return a == std::string::npos ? "" : s.substr(a);
}

bool SameBankAccount(const DossierBank& b, const BankStatement& s) {
  const std::string account = NoBlanks(s.accountId);
  if (account.empty()) return false;
  const std::string iban = NoBlanks(b.iban);
  if (!iban.empty() && (account == iban || NoBlanks(s.iban) == iban)) return true;
  if (b.account.empty() || NoBlanks(s.bankId) != b.bankCode || NoBlanks(s.branchId) != b.branch) return false;
  // The account number, possibly followed by its RIB key.
  const std::string mine = WithoutLeadingZeros(b.account), theirs = WithoutLeadingZeros(account);
  return theirs == mine || (theirs.size() == mine.size() + 2 && theirs.compare(0, mine.size(), mine) == 0);
}

std::string DayText(const std::string& yyyymmdd) {
  Ymd d;
  return ParseYyyymmdd(yyyymmdd, d) ? DisplayDateOf(d) : yyyymmdd;
}

std::vector<ImportedIdentity> ParseIdentities(const std::string& text) {
  std::vector<ImportedIdentity> out;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t eol = text.find('\n', at);
    if (eol == std::string::npos) eol = text.size();
    const std::string line = text.substr(at, eol - at);
    at = eol + 1;
    std::vector<std::string> f;
    for (std::size_t p = 0;;) {
      const std::size_t tab = line.find('\t', p);
      f.push_back(line.substr(p, tab == std::string::npos ? std::string::npos : tab - p));
      if (tab == std::string::npos) break;
      p = tab + 1;
    }
    if (f.size() != 5 || f[0].empty()) continue;  // a line cut by a crash is no identity
    out.push_back({f[0], f[1], f[2], f[3], f[4]});
  }
  return out;
}

constexpr int kMsgUnknownLabel = 29718;     // "Code libellé inconnu ou annulé : %s", as the ASCII import says it
constexpr int kMsgRecordNotWritten = 29761;
constexpr int kMsgTitle = 29600;             // "Importation Relevé de Banque (ofx)", the run as its marker names it
constexpr int kMsgResumed = 29766;          // a run stopped half-way, its pieces missing taken back
constexpr int kMsgCutPieces = 30107;        // the pieces of stopped runs written in part, counted
constexpr int kMsgWriteRefused = 29774;     // a write refused before anything was imported
constexpr int kMsgRunFileLeft = 31101;      // a file of the run ended that could not be removed

constexpr const char* kLogTitle = "IMPORTATION RELEVE OFX - ";

std::string RangeText(const std::vector<long>& numbers) {
  if (numbers.empty()) return "";
  if (numbers.size() == 1) return std::to_string(numbers.front());
  return std::to_string(numbers.front()) + " \xE0 " + std::to_string(numbers.back());
}

// A run whose start line has no later line of its own in the log: stopped half-way (the program
// ended while its lines were being written). `pieces` is " - journal J pièces X à Y", as every
// line of the run ends.
struct StoppedRun {
  std::string pieces, journal, file;
  long first = 0, last = 0;
};

// The runs the log leaves open; none when it cannot be read (the read is then kept as refused).
std::vector<StoppedRun> StoppedRuns() {
  std::string text;
  if (!ReadImportRecord(LogPath(), text)) return {};
  const std::string title = kLogTitle, begun = title + "D\xE9" "but - ", marker = " - journal ";
  std::map<std::string, bool> open;  // the run's pieces -> still open
  std::map<std::string, std::string> files;  // the run's pieces -> the statement its start line names
  std::vector<std::string> order;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t eol = text.find('\n', at);
    if (eol == std::string::npos) eol = text.size();
    std::string line = text.substr(at, eol - at);
    at = eol + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find(title) == std::string::npos) continue;
    const std::size_t m = line.rfind(marker);
    if (m == std::string::npos) continue;
    const std::string pieces = line.substr(m);
    const std::size_t start = line.find(begun);
    const bool starts = start != std::string::npos;
    if (starts && open.find(pieces) == open.end()) order.push_back(pieces);
    if (starts && m > start + begun.size()) files[pieces] = line.substr(start + begun.size(), m - start - begun.size());
    open[pieces] = starts;
  }
  std::vector<StoppedRun> runs;
  for (const std::string& pieces : order) {
    if (!open[pieces]) continue;
    StoppedRun run;
    run.pieces = pieces;
    run.file = files[pieces];
    const std::size_t word = pieces.find(" pi\xE8" "ces ");
    if (word == std::string::npos) continue;
    run.journal = Trimmed(pieces.substr(marker.size(), word - marker.size()));
    const char* numbers = pieces.c_str() + word + 8;
    char* end = nullptr;
    run.first = std::strtol(numbers, &end, 10);
    run.last = run.first;
    const std::string to = " \xE0 ";
    if (end != nullptr && std::string(end).compare(0, to.size(), to) == 0) run.last = std::strtol(end + to.size(), nullptr, 10);
    if (run.first > 0 && run.last >= run.first) runs.push_back(run);
  }
  return runs;
}

// The stored month of the piece (month "YYMM" of the identities file): that of the year of the
// dossier it falls in ("" none). A financial year lasts at most 24 months, so that no two of its
// years end with the same two digits: the draft need not be read to tell which.
std::string DraftMonthOf(const std::string& yymm) {
  if (yymm.size() != 4) return "";
  const int yy = std::atoi(yymm.substr(0, 2).c_str()), mm = std::atoi(yymm.substr(2).c_str());
  Ymd first, last;
  if (!TheDossierRecord.DateYmd(DossierRecord::DateField::YearStart, first) ||
      !TheDossierRecord.DateYmd(DossierRecord::DateField::YearEnd, last))
    return "";
  for (int year : {first.year, last.year})
    if (year % 100 == yy) return StoredDateOf(Ymd{year, mm, 1}).substr(0, 4);
  return "";
}

constexpr int kMsgZeroAmounts = 29769;

// The end message's word on the transactions of amount 0,00 left out ("" none).
std::string ZeroAmountsText(long n) {
  return n > 0 ? "\n" + FillPlaceholder(LoadStr(kMsgZeroAmounts), std::to_string(n)) : std::string();
}

// The refusals of a request and the end messages.
constexpr int kMsgCurrencyEurosOrFrancs = 26001, kMsgCurrencyEuros = 26002, kMsgUnknownCurrency = 26003;
constexpr int kMsgRequestIncomplete = 26004, kMsgNoSuchAccount = 26005, kMsgReusedFitids = 26006;
constexpr int kMsgNothingImported = 26007, kMsgUnreadableDate = 26008, kMsgNothingNew = 26009;
constexpr int kMsgTransactionOfDay = 26010, kMsgTransactionFitid = 26011;
constexpr int kMsgImportedOne = 26012, kMsgImportedMany = 26013, kMsgSkippedOne = 26014, kMsgSkippedMany = 26015;

}  // namespace

std::vector<DossierBank> ReadDossierBanks(Table& c10) {
  std::vector<DossierBank> banks;
  // A list to choose from: not read, it is empty, and the accounts chosen are read again when the import
  // is asked for (its request's check says a refusal).
  for (bool more = c10.FindNotBelow("C10CODE", "Q").FoundOrNone(); more && c10.GetField(1)[0] == 'Q';
       more = c10.Skip(1)) {
    // A mark not read leaves the account out, as the look-up not read leaves the list empty.
    if (!c10.LiveHere().FoundOrNone()) continue;
    DossierBank b;
    b.code = Trimmed(c10.GetField(2));
    b.name = Trimmed(c10.GetField(3));
    const std::string f4 = c10.GetField(4);
    b.bankCode = NoBlanks(Part(f4.c_str(), 187, 5));
    b.branch = NoBlanks(Part(f4.c_str(), 192, 5));
    b.account = NoBlanks(Part(f4.c_str(), 197, 11));
    const std::string f5 = c10.GetField(5);
    b.iban = NoBlanks(Part(f5.c_str(), 1, 34));
    b.generalAccount = Part(f5.c_str(), 46, 8);
    b.journal = Part(f5.c_str(), 54, 3);
    banks.push_back(std::move(b));
  }
  return banks;
}

std::string StatementAccountKey(const BankStatement& s) {
  return NoBlanks(s.bankId) + "/" + NoBlanks(s.branchId) + "/" + NoBlanks(s.accountId);
}

int FindStatementBank(const std::vector<DossierBank>& banks, const BankStatement& statement) {
  for (std::size_t i = 0; i < banks.size(); ++i)
    if (SameBankAccount(banks[i], statement)) return static_cast<int>(i);
  const std::string key = "Banque-" + StatementAccountKey(statement);
  const std::string chosen = Trimmed(DossierIniGet(kOfxIniSection, key.c_str(), ""));
  for (std::size_t i = 0; i < banks.size() && !chosen.empty(); ++i)
    if (banks[i].code == chosen) return static_cast<int>(i);
  return -1;
}

bool RememberStatementBank(const BankStatement& statement, const std::string& bankCode) {
  const std::string key = "Banque-" + StatementAccountKey(statement);
  return DossierIniSet(kOfxIniSection, key.c_str(), bankCode.c_str());
}

std::string TransactionIdentity(const std::string& accountKey, const BankTransaction& t) {
  if (!t.fitid.empty()) return accountKey + "|F|" + t.fitid;
  return accountKey + "|D|" + t.date + "|" + std::to_string(t.cents) + "|" + t.name + "|" + t.memo;
}

std::vector<std::string> TransactionIdentities(const std::string& accountKey, const std::vector<BankTransaction>& ts) {
  std::vector<std::string> out;
  std::map<std::string, int> seen;
  for (const BankTransaction& t : ts) {
    std::string identity = TransactionIdentity(accountKey, t);
    // A FITID names one transaction, however often the file repeats it.
    const int n = ++seen[identity];
    if (t.fitid.empty() && n > 1) identity += "|#" + std::to_string(n);
    out.push_back(std::move(identity));
  }
  return out;
}

std::string ReusedFitids(const BankStatement& statement) {
  std::map<std::string, const BankTransaction*> first;
  std::string text;
  auto values = [](const BankTransaction& t) {
    return DayText(t.date) + " " + GroupedAmountText(t.cents) + " " + Trimmed(t.name);
  };
  for (const BankTransaction& t : statement.transactions) {
    if (t.fitid.empty()) continue;
    const auto [it, added] = first.emplace(t.fitid, &t);
    if (added) continue;
    const BankTransaction& a = *it->second;
    if (a.date == t.date && a.cents == t.cents && a.name == t.name && a.memo == t.memo) continue;
    text += "FITID " + t.fitid + " : " + values(a) + " / " + values(t) + "\n";
  }
  return text;
}

std::string OfxIdentitiesPath() { return DossierFolder + "cof" + Trimmed(DossierCode) + ".txt"; }

std::vector<ImportedIdentity> ReadImportedIdentities() {
  std::string text;
  if (!platform::ReadWholeFile(OfxIdentitiesPath(), text)) return {};
  return ParseIdentities(text);
}

std::string OfxImportLockPath() { return DossierFolder + "cof" + std::string(Lower(Trimmed(DossierCode).c_str())) + ".lck"; }

std::string OfxRunTotalsPath() { return DossierFolder + "cof" + std::string(Lower(Trimmed(DossierCode).c_str())) + ".tot"; }

std::set<std::string> ImportedIdentitySet() {
  std::set<std::string> set;
  for (const ImportedIdentity& i : ReadImportedIdentities()) set.insert(i.identity);
  return set;
}

void TransactionLabels(const BankTransaction& t, std::string& label1, std::string& label2, std::string& label3) {
  std::vector<std::string> parts;
  auto cut = [&](const std::string& text) {
    for (std::size_t at = 0; at < text.size(); at += kLabelWidth) parts.push_back(Trimmed(text.substr(at, kLabelWidth)));
  };
  const std::string name = Trimmed(t.name), memo = Trimmed(t.memo);
  if (!name.empty()) {
    cut(name);
    // The memo starts the next label unless the name filled all three.
    if (!memo.empty() && parts.size() < 3) parts.push_back(memo.substr(0, kLabelWidth));
  } else {
    cut(memo);
  }
  parts.resize(std::max<std::size_t>(parts.size(), 3));
  label1 = parts[0];
  label2 = parts[1];
  label3 = parts[2];
}

Lookup LabelCodeUsable(Table& c10, const std::string& code) {
  if (code.empty()) return Lookup::Found();
  return posting::FindLiveC10(c10, 'L', code);
}

std::string UnknownLabelCodeMessage(const std::string& code) { return FillPlaceholder(LoadStr(kMsgUnknownLabel), code); }

namespace {

// The refusal of a request before anything is read: the currency, the accounts and journal
// given, the accounts live in the chart, the FITIDs, the label code ("" when it may go on).
std::string RequestRefusal(Table& c10, const StatementImport& request) {
  const BankStatement& s = request.statement;
  const bool francsDossier = !TheDossierRecord.EuroIsMain();
  const bool francs = s.currency == "FRF";
  if (s.currency != "EUR" && !(francs && francsDossier))
    return FillPlaceholder(LoadStr(francsDossier ? kMsgCurrencyEurosOrFrancs : kMsgCurrencyEuros),
                           s.currency.empty() ? std::string(LoadStr(kMsgUnknownCurrency)) : s.currency);
  if (request.bankAccount.empty() || request.counterpart.empty() || request.journal.empty())
    return LoadStr(kMsgRequestIncomplete);
  // Both accounts live in the chart: the writer posts their totals.
  for (const std::string& typed : {request.bankAccount, request.counterpart}) {
    const std::string account = NormalizeAccount(typed);
    Lookup found = Lookup::NotFound();
    if (TableC20 != nullptr && TableC20->isOpen) {
      found = TableC20->Find("C20CODE", account.c_str());
      if (found.IsFound()) found = found.And(std::string(TableC20->GetField(1)).substr(0, 8) == account);
      if (found.IsFound()) found = TableC20->LiveHere();
    }
    // Not read is no account missing.
    if (found.IsRefused()) return LoadStr(posting::kMsgAccountUnread);
    if (found.IsNotFound()) return FillPlaceholder(LoadStr(kMsgNoSuchAccount), account);
  }
  if (const std::string reused = ReusedFitids(s); !reused.empty())
    return FillPlaceholder(LoadStr(kMsgReusedFitids), reused);
  // A label code not read is no code unknown: the file is named.
  const Lookup label = LabelCodeUsable(c10, request.labelCode);
  if (label.IsRefused()) return UnreadText(c10.tablePath, label.result()) + "\n" + LoadStr(kMsgNothingImported);
  if (label.IsNotFound())
    return UnknownLabelCodeMessage(request.labelCode) + "\n" + LoadStr(kMsgNothingImported);
  return "";
}

// The identities file's lines, each with the index of its piece among those of a stopped run
// (npos for a line of another run), and those pieces.
struct RunIdentities {
  std::vector<std::string> lines;
  std::vector<RecordedPiece> pieces;
  std::vector<std::size_t> pieceOf;
};

RunIdentities IdentitiesOfRun(const std::string& text, const StoppedRun& run) {
  RunIdentities out;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t eol = text.find('\n', at);
    eol = eol == std::string::npos ? text.size() : eol + 1;
    out.lines.push_back(text.substr(at, eol - at));
    at = eol;
    const std::vector<ImportedIdentity> one = ParseIdentities(out.lines.back());
    const long piece = one.size() == 1 ? std::atol(one[0].piece.c_str()) : 0;
    if (one.size() == 1 && Trimmed(one[0].journal) == run.journal && piece >= run.first && piece <= run.last) {
      out.pieceOf.push_back(out.pieces.size());
      out.pieces.push_back({run.journal, DraftMonthOf(one[0].month), piece, 2});
    } else {
      out.pieceOf.push_back(std::string::npos);
    }
  }
  return out;
}

// One run of the import, once the lock is held: the runs stopped before taken up, the new
// transactions made into pieces, the pieces written with their identities and log lines. Its
// steps in the order ImportStatement calls them; each false step has set the result's message.
class OfxRun {
 public:
  // `resumed`: what the end message says first of the stopped runs put in order before this one.
  OfxRun(Table& c10, Table& c50, Table& c60, const StatementImport& request, StatementImportResult& r,
         const std::string& resumed)
      : c10_(c10), c50_(c50), c60_(c60), request_(request), r_(r), resumed_(resumed) {}

  bool TakeUpStoppedRuns();
  bool MakePieces();
  bool NothingNew();
  bool ClearEndedRunFiles();
  void WritePieces();
  void Failed();
  void Succeeded();
  bool Written() const { return written_.outcome == PiecesOutcome::Written; }
  bool Stopped() const { return written_.outcome == PiecesOutcome::Stopped; }
  // The log still names a run of this import as stopped: the dossier's books are put in order
  // from it by the next opening or import.
  bool LeftStopped() const { return leftStopped_ || Stopped(); }

 private:
  // A log line the run cannot do without (its record is read from the log) refused.
  static bool LogRefused() {
    RefusalWatch::NoteFileRefused(LogPath());
    return false;
  }
  bool RecordPieces(const std::vector<long>& numbers);

  Table &c10_, &c50_, &c60_;
  const StatementImport& request_;
  StatementImportResult& r_;
  // The first write refused, whichever layer refused it: what a stopped run's message names.
  RefusalWatch watch_;
  std::string before_;  // the identities file as this run found it, less what it took back
  bool hadFile_ = false;
  std::string resumed_;  // what the end message says of the stopped runs taken up
  std::vector<ImportedPiece> pieces_;
  std::vector<std::string> identities_;
  std::vector<std::size_t> transactionOf_;  // each piece's transaction
  bool recorded_ = false, begun_ = false, recordRefused_ = false, leftStopped_ = false;
  PiecesReport written_;
};

// A run stopped half-way recorded the identities of all its transactions: those whose piece
// the draft does not hold are taken back, so that this run writes them.
bool OfxRun::TakeUpStoppedRuns() {
  std::vector<StoppedStatementRun> done;
  std::string refusal;
  const bool ok = PutStoppedStatementRunsInOrder(c10_, c50_, c60_, &done, &refusal);
  resumed_ += StoppedStatementRunsResumed(done);
  hadFile_ = platform::FileExists(OfxIdentitiesPath());
  // The identities and the log read short would have transactions imported again: nothing is.
  if (ReadImportRecord(OfxIdentitiesPath(), before_) && ok && !watch_.ReadRefused()) return true;
  if (ok) {
    r_.message = resumed_ + NothingImportedMessage(watch_);
    return false;
  }
  // The stopped run stays as it is, its identities and its log line with it, for the next import.
  r_.message = resumed_ + StoppedRunMessage(refusal);
  leftStopped_ = true;
  return false;
}

// A piece of two lines for each transaction with an amount not imported before; false when a
// date cannot be read.
bool OfxRun::MakePieces() {
  const BankStatement& s = request_.statement;
  const bool francs = s.currency == "FRF";
  std::set<std::string> known;
  for (const ImportedIdentity& i : ParseIdentities(before_)) known.insert(i.identity);
  const std::vector<std::string> identityOf = TransactionIdentities(StatementAccountKey(s), s.transactions);
  for (std::size_t index = 0; index < s.transactions.size(); ++index) {
    const BankTransaction& t = s.transactions[index];
    if (t.cents == 0) {  // nothing to enter: left out, and said so
      ++r_.zeroAmounts;
      continue;
    }
    const std::string& identity = identityOf[index];
    if (!known.insert(identity).second) {
      ++r_.skipped;
      continue;
    }
    ImportedPiece piece;
    piece.journal = request_.journal;
    if (!ParseYyyymmdd(t.date, piece.date)) {
      r_.message = resumed_ + FillPlaceholder(LoadStr(kMsgUnreadableDate), t.date);
      return false;
    }
    ImportedLine bank;
    bank.account = request_.bankAccount;
    bank.sense = t.cents > 0 ? 'D' : 'C';
    bank.cents = t.cents > 0 ? t.cents : -t.cents;
    bank.francs = francs;
    bank.labelCode = request_.labelCode;
    TransactionLabels(t, bank.label, bank.label2, bank.label3);
    ImportedLine other = bank;
    other.account = request_.counterpart;
    other.sense = bank.sense == 'D' ? 'C' : 'D';
    piece.lines = {bank, other};
    pieces_.push_back(std::move(piece));
    identities_.push_back(identity);
    transactionOf_.push_back(index);
  }
  return true;
}

// True, with its message, when every transaction was imported before.
bool OfxRun::NothingNew() {
  if (!pieces_.empty()) return false;
  // The runs stopped before are closed: their totals journal goes.
  RemoveRunTotals(OfxRunTotalsPath());
  r_.nothingNew = true;
  r_.message = resumed_ + FillPlaceholder(LoadStr(kMsgNothingNew), std::to_string(r_.skipped)) +
               ZeroAmountsText(r_.zeroAmounts);
  return true;
}

// The run starts without the totals journal of the runs ended before it, every stopped one being
// closed now (RemoveEndedRunFiles); one that cannot be removed refuses the run, nothing written.
bool OfxRun::ClearEndedRunFiles() {
  if (RemoveEndedRunFiles({OfxRunTotalsPath()})) return true;
  r_.message = resumed_ + FillPlaceholder(LoadStr(kMsgWriteRefused), RefusedWriteText(watch_));
  return false;
}

// The start line, then the identities of the pieces once their numbers are taken: false when
// either cannot be written.
bool OfxRun::RecordPieces(const std::vector<long>& numbers) {
  std::string lines;
  for (std::size_t i = 0; i < pieces_.size(); ++i) {
    char month[8];
    std::snprintf(month, sizeof month, "%02d%02d", pieces_[i].date.year % 100, pieces_[i].date.month);
    lines += identities_[i] + "\t" + month + "\t" + request_.journal + "\t" +
             (i < numbers.size() ? std::to_string(numbers[i]) : "") + "\t" + request_.bankAccount + "\n";
  }
  // The start line names the run's pieces: a run stopped before its end line is found again.
  begun_ = WriteLog(std::string(kLogTitle) + "D\xE9" "but - " + request_.file + " - journal " + request_.journal +
                    " pi\xE8" "ces " + RangeText(numbers)) || LogRefused();
  recorded_ = begun_ && platform::AppendToFile(OfxIdentitiesPath(), lines);
  if (begun_ && !recorded_) RefusalWatch::NoteFileRefused(OfxIdentitiesPath());
  recordRefused_ = !recorded_;
  return recorded_;
}

// The start line goes in once the numbers are taken, then the identities, both before the first
// line: either that cannot be written stops the run with nothing written, so that no piece is
// ever without its identity (which would let the next import write it again), and no identity
// without the start line that lets the next import take it back.
void OfxRun::WritePieces() {
  written_ = WriteImportedPieces(
      c10_, c50_, c60_, pieces_, kMaxLineRecords,
      [this](const std::vector<long>& numbers, const std::vector<long>&) { return RecordPieces(numbers); },
      OfxRunTotalsPath());
  if (Stopped()) {
    // The run is left as a stop of the program leaves it: its identities and its start line name
    // its pieces, so that the next import keeps those written whole and writes the others again.
    r_.message = resumed_ + written_.message;
  }
}

// The pieces not written: their identities taken back, the error log line.
void OfxRun::Failed() {
  r_.message = written_.message.empty() ? std::string(LoadStr(kMsgNothingImported)) : written_.message;
  if (recordRefused_ && watch_.Seen()) r_.message = LoadStr(kMsgRecordNotWritten) + watch_.Text() + "\n";
  if (written_.outcome == PiecesOutcome::AmountTooLarge && written_.piece < transactionOf_.size()) {
    const BankTransaction& t = request_.statement.transactions[transactionOf_[written_.piece]];
    r_.message = (t.fitid.empty() ? FillPlaceholder(LoadStr(kMsgTransactionOfDay), DayText(t.date))
                                  : FillPlaceholder(LoadStr(kMsgTransactionFitid), t.fitid)) +
                 r_.message;
  }
  // The lines were not written: their identities are taken back, so that the next import
  // writes them. When they cannot be, the run is left open in the log as a stopped run, which
  // the next import takes up (its pieces, not in the draft, written then).
  if (recorded_ && !(hadFile_ ? platform::WriteFileAtomic(OfxIdentitiesPath(), before_)
                              : platform::RemoveFile(OfxIdentitiesPath()))) {
    RefusalWatch::NoteFileRefused(OfxIdentitiesPath());
    r_.message = resumed_ + StoppedRunMessage(watch_);
    leftStopped_ = true;
    return;
  }
  if (begun_)
    WriteLog(std::string(kLogTitle) + "Erreur - " + request_.file + " - journal " + request_.journal + " pi\xE8" "ces " +
             RangeText(written_.numbers));
  r_.message = resumed_ + r_.message;
}

// The pieces written: the end line, the totals journal removed, the end message.
void OfxRun::Succeeded() {
  const BankStatement& s = request_.statement;
  r_.written = true;
  r_.imported = static_cast<long>(pieces_.size());
  r_.numbers = written_.numbers;
  const std::string range = RangeText(r_.numbers);
  r_.logLine = "IMPORTATION RELEVE OFX - Ok - " + request_.file + " - banque " + request_.bank + " - du " +
               DayText(s.startDate) + " au " + DayText(s.endDate) + " - " + std::to_string(r_.imported) +
               " import\xE9" "es, " + std::to_string(r_.skipped) + " d\xE9j\xE0 import\xE9" "es - journal " +
               request_.journal + " pi\xE8" "ces " + range;
  if (!WriteLog(r_.logLine) && !LogRefused()) {
    // Every line and total is written, but the log still names the run as stopped: the next
    // import closes it, its totals journal kept to show the totals written.
    r_.written = false;
    r_.message = resumed_ + StoppedRunMessage(watch_);
    leftStopped_ = true;
    return;
  }
  // One whose removal is refused is said; the next import removes it before it writes.
  const bool totalsGone = RemoveRunTotals(OfxRunTotalsPath());
  r_.message = FillPlaceholders(LoadStr(r_.imported > 1 ? kMsgImportedMany : kMsgImportedOne),
                                {std::to_string(r_.imported), request_.journal, range});
  if (r_.skipped > 0)
    r_.message += FillPlaceholder(LoadStr(r_.skipped > 1 ? kMsgSkippedMany : kMsgSkippedOne), std::to_string(r_.skipped));
  r_.message = resumed_ + r_.message + "." + ZeroAmountsText(r_.zeroAmounts);
  if (!totalsGone) r_.message += FillPlaceholder(LoadStr(kMsgRunFileLeft), OfxRunTotalsPath());
}

}  // namespace

bool PutStoppedStatementRunsInOrder(Table& c10, Table& c50, Table& c60, std::vector<StoppedStatementRun>* done,
                                    std::string* refusal, MaintenanceProgress* progress) {
  RefusalWatch watch;
  const std::vector<StoppedRun> runs = StoppedRuns();
  // A log or identities file read short would have the runs' pieces taken for cut ones.
  if (watch.ReadRefused()) {
    *refusal = RefusedWriteText(watch);
    return false;
  }
  for (const StoppedRun& run : runs) {
    std::string text;
    if (!ReadImportRecord(OfxIdentitiesPath(), text)) {
      *refusal = RefusedWriteText(watch);
      return false;
    }
    const RunIdentities found = IdentitiesOfRun(text, run);
    if (progress != nullptr) progress->SetLine(TakeUpFileLine(run.file));
    const StoppedPieces stopped =
        PutStoppedPiecesInOrder(c10, c50, c60, found.pieces, OfxRunTotalsPath(), false, progress);
    if (stopped.refused) {
      *refusal = RefusedWriteText(watch);
      return false;
    }
    StoppedStatementRun put{run.file, run.journal, run.pieces.substr(3)};
    std::string kept;
    for (std::size_t k = 0; k < found.lines.size(); ++k) {
      const std::size_t i = found.pieceOf[k];
      if (i != std::string::npos && !stopped.whole[i]) {
        ++put.dropped;
        if (stopped.cancelled[i] > 0) {
          ++put.cutPieces;
          put.cutLines += stopped.cancelled[i];
        }
        continue;
      }
      if (i != std::string::npos) ++put.kept;
      kept += found.lines[k];
    }
    if (put.dropped > 0 && !platform::WriteFileAtomic(OfxIdentitiesPath(), kept)) {
      RefusalWatch::NoteFileRefused(OfxIdentitiesPath());
      *refusal = RefusedWriteText(watch);
      return false;
    }
    // Until its closing line is in the log the stopped run is taken up again by the next import,
    // which must find its totals journal as it is now.
    if (!WriteLog(std::string(kLogTitle) + "Interrompu" + run.pieces)) {
      RefusalWatch::NoteFileRefused(LogPath());
      *refusal = RefusedWriteText(watch);
      return false;
    }
    if (done != nullptr) done->push_back(put);
  }
  return true;
}

std::string StoppedStatementRunsResumed(const std::vector<StoppedStatementRun>& runs) {
  std::string text;
  long cutPieces = 0, cutLines = 0;
  for (const StoppedStatementRun& run : runs) {
    cutPieces += run.cutPieces;
    cutLines += run.cutLines;
  }
  if (cutPieces > 0)
    text = FillPlaceholders(LoadStr(kMsgCutPieces), {std::to_string(cutPieces), std::to_string(cutLines)});
  for (const StoppedStatementRun& run : runs)
    text += FillPlaceholders(LoadStr(kMsgResumed), {run.pieces, std::to_string(run.dropped)});
  return text;
}

StatementImportResult ImportStatement(Table& c10, Table& c50, Table& c60, const StatementImport& request) {
  StatementImportResult r;
  r.message = RequestRefusal(c10, request);
  if (!r.message.empty()) return r;
  // From the reading of the identities to the writing of the new ones, no other station's run:
  // two stations importing the same statement at the same moment would both find it new.
  ImportRunGuard guard(c10, c50, c60, kOfxImportRun, LoadStr(kMsgTitle));
  if (!guard.ok()) {
    r.message = guard.message();
    return r;
  }
  OfxRun run(c10, c50, c60, request, r, guard.said());
  if (run.TakeUpStoppedRuns() && run.MakePieces() && !run.NothingNew() && run.ClearEndedRunFiles()) {
    run.WritePieces();
    if (run.Written()) run.Succeeded();
    else if (!run.Stopped()) run.Failed();
  }
  if (run.LeftStopped()) guard.Keep();
  return r;
}

}  // namespace processing
