#include "processing/core/reconciliation.h"

#include <algorithm>
#include <cstdlib>
#include <tuple>
#include <unordered_map>

#include "data/dossier_files.h"
#include "data/entry_lines.h"
#include "data/locks.h"
#include "data/session.h"
#include "processing/core/letters_change.h"
#include "resources/string_table.h"
#include "runtime/code_helpers.h"
#include "runtime/dates.h"
#include "runtime/inifiles.h"
#include "runtime/numbers.h"
#include "runtime/text.h"

namespace processing {

namespace {

using L = LigneEcriture;
using T = LigneTri;

constexpr int kDefaultWindowDays = 5;

// The log line of a reconciliation saved: the account, the statement's date and balance, the lines, the letter.
constexpr int kLogSaved = 23271;

// Why a save was refused: the reason, nothing changed.
constexpr int kMsgReconciliationRefused = 37754;

// Days since the epoch of a stored date; false when it is no date.
bool StoredDay(const std::string& stored, long& day) {
  Ymd d;
  if (!ParseStoredDate(stored, d)) return false;
  day = DaysFromCivil(d);
  return true;
}

bool TransactionDay(const std::string& yyyymmdd, long& day) {
  Ymd d;
  if (!ParseYyyymmdd(yyyymmdd, d)) return false;
  day = DaysFromCivil(d);
  return true;
}

}  // namespace

int ReconciliationWindowDays() {
  std::string text = Trimmed(DossierIniGet("Rapprochement", "JoursEcart", ""));
  if (text.empty()) text = Trimmed(IniGetSectionString("Rapprochement", "JoursEcart", ""));
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 3)
    return kDefaultWindowDays;
  return std::atoi(text.c_str());
}

void PairLines(std::vector<ReconciliationLine>& lines, const std::vector<BankTransaction>& transactions,
               int windowDays) {
  for (ReconciliationLine& l : lines) l.transaction = -1;
  std::vector<bool> used(transactions.size(), false);
  // The bank identity of the lines written by the statement import.
  std::unordered_map<std::string, std::size_t> byIdentity;
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (!lines[i].identity.empty()) byIdentity.emplace(lines[i].identity, i);
  if (!byIdentity.empty())
    for (std::size_t t = 0; t < transactions.size(); ++t) {
      if (transactions[t].fitid.empty()) continue;
      const auto found = byIdentity.find(transactions[t].fitid);
      if (found == byIdentity.end() || lines[found->second].transaction >= 0) continue;
      lines[found->second].transaction = static_cast<int>(t);
      used[t] = true;
    }

  // The remaining lines by signed amount, each bucket in date order.
  struct Dated {
    long day;
    std::size_t line;
  };
  std::unordered_map<long long, std::vector<Dated>> byAmount;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    long day = 0;
    if (lines[i].transaction >= 0 || !StoredDay(lines[i].date, day)) continue;
    byAmount[lines[i].cents].push_back({day, i});
  }
  for (auto& [_, bucket] : byAmount)
    std::sort(bucket.begin(), bucket.end(), [](const Dated& a, const Dated& b) {
      return std::tie(a.day, a.line) < std::tie(b.day, b.line);
    });

  // Every pair within the window, the nearest dates first; each line and transaction taken once.
  struct Candidate {
    long distance;
    std::size_t transaction, line;
  };
  std::vector<Candidate> candidates;
  for (std::size_t t = 0; t < transactions.size(); ++t) {
    long day = 0;
    if (used[t] || !TransactionDay(transactions[t].date, day)) continue;
    const auto bucket = byAmount.find(transactions[t].cents);
    if (bucket == byAmount.end()) continue;
    const auto& v = bucket->second;
    auto it = std::lower_bound(v.begin(), v.end(), day - windowDays,
                               [](const Dated& d, long value) { return d.day < value; });
    for (; it != v.end() && it->day <= day + windowDays; ++it)
      candidates.push_back({it->day > day ? it->day - day : day - it->day, t, it->line});
  }
  std::sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
    return std::tie(a.distance, a.transaction, a.line) < std::tie(b.distance, b.transaction, b.line);
  });
  for (const Candidate& c : candidates) {
    if (used[c.transaction] || lines[c.line].transaction >= 0) continue;
    used[c.transaction] = true;
    lines[c.line].transaction = static_cast<int>(c.transaction);
  }
}

Reconciliation::Reconciliation(const std::string& account, bool euros) : account_(account), currency_(euros ? 1 : 0) {
  account_.resize(kAccountWidth, ' ');
}

Reconciliation::~Reconciliation() { Close(); }

void Reconciliation::Close() {
  if (locked_ && TableC20 != nullptr && TableC20->isOpen && TableC20->Find("C20CODE", account_.c_str()).IsFound())
    UnlockRecord(*TableC20);
  locked_ = false;
  c40_.CloseTable();
  c50_.CloseTable();
  c60_.CloseTable();
}

ReconciliationOpen Reconciliation::Open() {
  if (!c60_.OpenShared(PathC60(), kC60CodeTag) || !c40_.OpenShared(PathC40(), "C40CODE") ||
      !c50_.OpenShared(PathC50(), L::kCodeTag))
    return ReconciliationOpen::NoTable;
  if (TableC20 == nullptr || !TableC20->UseShared(PathC20(), "C20CODE")) return ReconciliationOpen::NoTable;
  Table& c20 = *TableC20;
  Lookup account = c20.Find("C20CODE", account_.c_str());
  if (account.IsFound()) account = account.And(std::string(c20.GetField(1)).substr(0, kAccountWidth) == account_);
  if (account.IsFound()) account = c20.LiveHere();
  if (account.IsRefused()) return ReconciliationOpen::Unread;
  if (account.IsNotFound()) return ReconciliationOpen::NoAccount;
  if (!LockRecord(c20, account_.c_str(), 0))
    return LockHeldElsewhere(c20) ? ReconciliationOpen::AccountLocked : ReconciliationOpen::Unread;
  locked_ = true;
  highest_.clear();
  // Its letters not read, the next one could be one given already: nothing is opened.
  const Lookup lines = c60_.Find(kC60CodeTag, account_.c_str());
  if (lines.IsRefused()) {
    Close();
    return ReconciliationOpen::Unread;
  }
  for (bool more = lines.IsFound(); more && AccountOf(c60_) == account_;
       more = c60_.Skip(1)) {
    const Lookup live = c60_.LiveHere();
    if (live.IsRefused()) {
      Close();
      return ReconciliationOpen::Unread;
    }
    if (live.IsNotFound()) continue;
    const std::string letter = Trimmed(c60_.GetField(T::TLET + currency_));
    if (!letter.empty() && LetterAfter(letter, highest_)) highest_ = letter;
  }
  RaiseToNotedLetters(account_, currency_, highest_);
  letter_ = highest_;
  if (!AdvanceLetter(letter_)) letter_ = "A";
  return ReconciliationOpen::Opened;
}

bool Reconciliation::Load(const std::string& statementDate) {
  if (!c60_.isOpen) return false;
  date_ = statementDate;
  book_ = 0;
  lines_.clear();
  const MatchTables t = Tables();
  // Lines not read are no lines: the load fails rather than show a book balance short of them.
  const Lookup first = c60_.Find(kC60CodeTag, account_.c_str());
  if (first.IsRefused()) return false;
  for (bool more = first.IsFound(); more && AccountOf(c60_) == account_;
       more = c60_.Skip(1)) {
    const Lookup live = c60_.LiveHere();
    if (live.IsRefused()) return false;
    if (live.IsNotFound()) continue;
    const std::string date
 = DateOf(c60_);
    if (date > date_) break;  // C60CODE: account, month, day
    const SourceLine s = ReadSource(t, currency_);
    if (s.refused) return false;
    if (s.table == nullptr) continue;
    book_ += s.cents;
    if (!Trimmed(c60_.GetField(T::TLET + currency_)).empty()) continue;
    ReconciliationLine line;
    line.c60 = c60_.recordNumber;
    line.file = s.draft ? T::kDraft : T::kClosed;
    line.recno = s.table->recordNumber;
    line.date = date;
    line.journal = Trimmed(c60_.GetField(T::TJAL));
    line.piece = Trimmed(s.table->GetField(s.draft ? int{L::BPIECE} : int{L::DPIECE}));
    line.label = Trimmed(s.table->GetField(s.draft ? int{L::BLIB} : int{L::DLIB}));
    line.cents = s.cents;
    if (lineIdentity_) line.identity = lineIdentity_(line);
    lines_.push_back(std::move(line));
  }
  return true;
}

void Reconciliation::SetStatement(const BankStatement& statement) {
  statement_ = statement;
  for (ReconciliationLine& l : lines_) l.transaction = -1;
}

void Reconciliation::Propose(int windowDays) {
  // Transactions after the statement date belong to the next statement.
  std::vector<BankTransaction> inRange = statement_.transactions;
  for (BankTransaction& tr : inRange) {
    Ymd d;
    if (!ParseYyyymmdd(tr.date, d) || StoredDateOf(d) > date_) tr.date.clear();
    tr.fitid = transactionIdentity_ ? transactionIdentity_(tr) : std::string();
  }
  PairLines(lines_, inRange, windowDays);
  for (ReconciliationLine& l : lines_)
    if (l.transaction >= 0) l.ticked = true;
}

bool Reconciliation::Tick(std::size_t line, bool ticked) {
  if (line >= lines_.size()) return false;
  lines_[line].ticked = ticked;
  return true;
}

void Reconciliation::ClearTicks() {
  for (ReconciliationLine& l : lines_) {
    l.ticked = false;
    l.transaction = -1;
  }
}

std::vector<std::size_t> Reconciliation::UnpairedTransactions() const {
  std::vector<bool> paired(statement_.transactions.size(), false);
  for (const ReconciliationLine& l : lines_)
    if (l.transaction >= 0 && l.ticked) paired[static_cast<std::size_t>(l.transaction)] = true;
  std::vector<std::size_t> out;
  for (std::size_t t = 0; t < paired.size(); ++t)
    if (!paired[t]) out.push_back(t);
  return out;
}

long long Reconciliation::UnreconciledDebit() const {
  long long sum = 0;
  for (const ReconciliationLine& l : lines_)
    if (!l.ticked && l.cents > 0) sum += l.cents;
  return sum;
}

long long Reconciliation::UnreconciledCredit() const {
  long long sum = 0;
  for (const ReconciliationLine& l : lines_)
    if (!l.ticked && l.cents < 0) sum -= l.cents;
  return sum;
}

std::size_t Reconciliation::TickedCount() const {
  return static_cast<std::size_t>(
      std::count_if(lines_.begin(), lines_.end(), [](const ReconciliationLine& l) { return l.ticked; }));
}

bool Reconciliation::ChooseLetter(const std::string& typed) {
  const std::string answer = Trimmed(typed);
  if (answer.empty() || answer.size() > static_cast<std::size_t>(kLetterWidth) || !IsAlphaNumeric(answer.c_str()))
    return false;
  letter_ = answer;
  return true;
}

ReconciliationSave Reconciliation::Save(std::size_t* written) {
  refusal_.clear();
  if (written != nullptr) *written = 0;
  if (TickedCount() == 0) return ReconciliationSave::NothingTicked;
  std::vector<LetterWrite> letters;
  std::vector<ReconciliationLine> left;
  for (const ReconciliationLine& l : lines_) {
    if (l.ticked) letters.push_back({l.c60, letter_});
    else left.push_back(l);
  }
  // One change: every ticked line takes the letter, or none does. A line another station lettered
  // since it was read keeps its letter.
  const LettersOutcome out =
      WriteLetters(Tables(), currency_, letters, LineChangeKind::LinesReconciled, kMsgReconciliationRefused, true);
  if (!out.done) {
    refusal_ = out.refusal;
    return ReconciliationSave::Failed;
  }
  const std::size_t count = out.written;
  lines_ = std::move(left);
  if (written != nullptr) *written = count;
  if (count > 0) saved_ = letter_;
  if (count > 0 && LetterAfter(letter_, highest_)) highest_ = letter_;
  letter_ = highest_;
  if (!AdvanceLetter(letter_)) letter_ = "A";
  return ReconciliationSave::Saved;
}

std::string Reconciliation::LogLine(std::size_t written) const {
  Ymd d;
  const std::string date = ParseStoredDate(date_, d) ? PrintDateOf(d) : date_;
  return FillPlaceholders(LoadStr(kLogSaved), {Trimmed(account_), date,
                                               Trimmed(BalanceAmount(statement_.closingCents)),
                                               std::to_string(written), saved_});
}

}  // namespace processing
