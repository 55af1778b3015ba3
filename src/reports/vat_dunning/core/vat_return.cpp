#include "reports/vat_dunning/core/vat_return.h"

#include <cstdio>
#include <cstdlib>

#include "data/collective_account.h"
#include "data/entry_lines.h"
#include "data/error_report.h"
#include "data/record_fields.h"
#include "data/table.h"
#include "data/table_results.h"
#include "resources/string_table.h"
#include "runtime/dates.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/numbers.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace vat {

namespace {

using L = LigneEcriture;
using T = LigneTri;

// The return's period: one month (%s: the month), or from a month to another (%s: the first and the last).
constexpr int kPeriodOneMonth = 23800;
constexpr int kPeriodMonths = 32818;

std::string TwoDigits(int n) {
  char b[8];
  std::snprintf(b, sizeof b, "%02d", n % 100);
  return b;
}

// An amount in the 10-wide form of the returns' texts.
std::string Amount10(long long cents) {
  return PadRight(FormatNumber(10, 2, false, FromCents(cents)), 10);
}

}  // namespace

// ---- months ---------------------------------------------------------------------------------------------------------

std::string StoredMonthKey(const std::string& monthText) {
  if (monthText.size() < 5 || monthText[2] != '/') return {};
  const int month = std::atoi(monthText.substr(0, 2).c_str());
  if (month < 1 || month > 12) return {};
  const std::string yy = monthText.substr(3, 2);
  if (yy[0] < '0' || yy[0] > '9' || yy[1] < '0' || yy[1] > '9') return {};
  return std::string(EncodeYear(yy.c_str())) + monthText.substr(0, 2);
}

std::string MonthTextOfKey(const std::string& storedKey) {
  if (storedKey.size() < 4) return {};
  return storedKey.substr(2, 2) + "/" + DecodeYear(storedKey.substr(0, 2).c_str());
}

std::vector<std::string> FinancialYearMonths() {
  std::vector<std::string> months;
  Ymd first, last;
  if (!TheDossierRecord.DateYmd(DossierRecord::DateField::YearStart, first) ||
      !TheDossierRecord.DateYmd(DossierRecord::DateField::YearEnd, last))
    return months;
  int y = first.year, m = first.month;
  while ((y < last.year || (y == last.year && m <= last.month)) && months.size() < 1200) {
    months.push_back(TwoDigits(m) + "/" + TwoDigits(y));
    if (++m > 12) m = 1, ++y;
  }
  return months;
}

std::string WorkingMonth() {
  Ymd d;
  if (!TheDossierRecord.DateYmd(DossierRecord::DateField::Working, d)) return {};
  return TwoDigits(d.month) + "/" + TwoDigits(d.year);
}

void CoupleMonths(std::string& start, std::string& end, bool startChanged) {
  const std::string s = StoredMonthKey(start), e = StoredMonthKey(end);
  if (s.empty() || e.empty() || e >= s) return;
  if (startChanged) end = start;
  else start = end;
}

std::string PeriodText(const std::string& start, const std::string& end) {
  return start == end ? FillPlaceholder(LoadStr(kPeriodOneMonth), start)
                      : FillPlaceholders(LoadStr(kPeriodMonths), {start, end});
}

// ---- entry lines ----------------------------------------------------------------------------------------------------

Table* LineReader::Source(long& recno) {
  std::vector<std::string> t;
  ReadStoredFields(c60_, {T::TFIC, T::TREC}, t);
  recno = std::atol(t[1].c_str());
  Table& lines = (!t[0].empty() && t[0][0] == T::kDraft) ? c50_ : c40_;
  // A line not read counts nothing: the refusal is kept, and the return is not computed over it.
  if (recno <= 0 || !Kept(lines, lines.GoToRecord(recno)).IsFound()) return nullptr;
  return &lines;
}

const Lookup& LineReader::Kept(const Table& table, const Lookup& found) {
  if (found.IsRefused() && refusedResult_ == 0) {
    refusedFile_ = table.tablePath;
    refusedResult_ = found.result() != 0 ? found.result() : kResultSystemError;
  }
  return found;
}

std::string LineReader::RefusedText() const { return UnreadText(refusedFile_, refusedResult_); }

bool LineReader::ReadAmount(char& sense, long long& cents) {
  long recno = 0;
  Table* lines = Source(recno);
  if (lines == nullptr) return false;
  const bool draft = lines == &c50_;
  const int e = euros_ ? 1 : 0;
  std::vector<std::string> v;
  if (draft) ReadStoredFields(*lines, {L::BSENS}, v);
  else ReadStoredFields(*lines, {L::DSENS}, v);
  sense = v[0].empty() ? ' ' : v[0][0];
  bool readable = true;
  cents = StoredAmountOf(*lines, (draft ? static_cast<int>(L::BMONTANTF) : static_cast<int>(L::DMONTANTF)) + e, &readable);
  if (readable) return true;
  // The piece and the account that name the line, read for such a line only.
  if (draft) ReadStoredFields(*lines, {L::BPIECE, L::BCODE}, v);
  else ReadStoredFields(*lines, {L::DPIECE, L::DCODE}, v);
  unreadable_.push_back({draft ? T::kDraft : T::kClosed, static_cast<std::uint32_t>(recno), v[0], v[1]});
  return true;
}

void LineReader::Note(const VatLine& line) {
  if (!line.unreadable) return;
  for (const UnreadableAmountLine& u : unreadable_)
    if (u.file == line.file && u.recno == line.recno) return;
  unreadable_.push_back({line.file, line.recno, line.piece, line.account});
}

bool LineReader::ReadLine(VatLine& line) {
  long recno = 0;
  Table* lines = Source(recno);
  if (lines == nullptr) return false;
  const bool draft = lines == &c50_;
  const int e = euros_ ? 1 : 0;
  std::vector<std::string> v;
  if (draft)
    ReadStoredFields(*lines, {L::BMOIS, L::BJOUR, L::BJAL, L::BPIECE, L::BCODE, L::BCLIB, L::BLIB, L::BECHEANCE,
                              L::BLET, L::BTVA, L::BSENS},
                     v);
  else
    ReadStoredFields(*lines, {L::DMOIS, L::DJOUR, L::DJAL, L::DPIECE, L::DCODE, L::DCLIB, L::DLIB, L::DECHEANCE,
                              L::DLET, L::DTVA, L::DSENS},
                     v);
  line.month = PadRight(v[0], 4);
  line.day = PadRight(v[1], 2);
  line.journal = PadRight(v[2], 3);
  line.piece = Trimmed(v[3]);
  line.account = PadRight(v[4], 8);
  line.labelCode = PadRight(v[5], 1);
  line.label = PadRight(v[6], 25);
  line.due = PadRight(v[7], 6);
  line.letter = PadRight(v[8], 4);
  line.mark = PadRight(v[9], 1);
  line.sense = v[10].empty() ? ' ' : v[10][0];
  bool readable = true;
  line.cents = StoredAmountOf(*lines, (draft ? static_cast<int>(L::BMONTANTF) : static_cast<int>(L::DMONTANTF)) + e, &readable);
  line.unreadable = !readable;
  line.file = draft ? T::kDraft : T::kClosed;
  line.recno = static_cast<std::uint32_t>(recno);
  return true;
}

// ---- VAT on debits --------------------------------------------------------------------------------------------------

std::string VatReturnText(const DebitsReturn& r) {
  std::string t = PadRight(r.startMonth, 5) + PadRight(r.endMonth, 5) + Amount10(r.intraCommunity) + Amount10(r.collected) +
                  Amount10(r.fixedAssets) + Amount10(r.otherGoods) + Amount10(r.previousCredit) +
                  Amount10(r.otherAccounts);
  t += r.net >= 0 ? Amount10(r.net) + std::string(10, ' ') : std::string(10, ' ') + Amount10(-r.net);
  t += r.euros ? "O" : "N";
  t += Amount10(r.nonTaxable);
  return t;
}

DebitsComputation::DebitsComputation(Table& c10, Table& c20, Table& c40, Table& c50, Table& c60)
    : c10_(c10), c20_(c20), c60_(c60), reader_(c40, c50, c60) {}

void DebitsComputation::LoadCollectiveAccounts() {
  collectives_.clear();
  for (const auto& [letter, account] : ::CollectiveAccounts(c10_))
    if (!account.empty()) collectives_.emplace(account, letter);
}

std::string DebitsComputation::LineKey(const std::string& account) const {
  std::string key = account;
  // A code shorter than 8 characters is completed with "0".
  const std::size_t used = key.find_last_not_of(' ');
  key = used == std::string::npos ? std::string() : key.substr(0, used + 1);
  key.resize(8, '0');
  const auto c = collectives_.find(key);
  if (c != collectives_.end()) return std::string(1, c->second);
  return key;
}

std::vector<DebitsComputation::AccountSums> DebitsComputation::Walk(const std::string& prefix) {
  std::vector<AccountSums> out;
  std::vector<std::string> accounts;
  bool more = reader_.Kept(c20_, c20_.Find("C20CODE", prefix.c_str())).IsFound() && c20_.SkipActive(false);
  while (more && !c20_.eof) {
    const std::string code = c20_.GetField(1);
    if (code.compare(0, prefix.size(), prefix) != 0) break;
    accounts.push_back(PadRight(code, 8));
    more = c20_.SkipActive(true);
  }
  std::vector<std::string> k;
  for (const std::string& account : accounts) {
    AccountSums sums;
    sums.account = account;
    const std::string key = LineKey(account);
    bool line = reader_.Kept(c60_, c60_.Find("C60CODE", key.c_str())).IsFound() && c60_.SkipActive(false);
    while (line && !c60_.eof) {
      ReadStoredFields(c60_, {T::TCODE, T::TMOIS}, k);
      if (PadRight(k[0], 8).compare(0, key.size(), key) != 0) break;
      const std::string month = PadRight(k[1], 4);
      char sense = ' ';
      long long cents = 0;
      if (month <= endKey_ && reader_.ReadAmount(sense, cents)) {
        const long long signedCents = sense == 'D' ? cents : -cents;
        if (month < startKey_) sums.before += signedCents;
        else sums.over += signedCents;
      }
      line = c60_.SkipActive(true);
    }
    out.push_back(sums);
  }
  return out;
}

long long DebitsComputation::SumOverPeriod(const std::string& prefix) {
  long long total = 0;
  for (const AccountSums& s : Walk(prefix)) total += s.over;
  return total;
}

long long DebitsComputation::SumBeforePeriod(const std::string& prefix) {
  long long total = 0;
  for (const AccountSums& s : Walk(prefix)) total += s.before;
  return total;
}

DebitsComputation::Outcome DebitsComputation::ComputeReturn(const std::string& start, const std::string& end,
                                                            bool euros, DebitsReturn& out) {
  const std::string s = StoredMonthKey(start), e = StoredMonthKey(end);
  if (s.empty() || e.empty() || e < s) return Outcome::BadPeriod;
  SetPeriod(s, e);
  SetEuros(euros);
  reader_.Forget();
  DebitsReturn r;
  r.startMonth = start;
  r.endMonth = end;
  r.euros = euros;

  std::string accounts = DossierIniGet("TvaSurDebits", "ComptesNonImposables", "");
  if (accounts.size() > 100) accounts.resize(100);
  while (accounts.size() >= 8) {
    r.nonTaxable += SumOverPeriod(accounts.substr(0, 8));
    accounts.erase(0, accounts.size() >= 9 ? 9 : accounts.size());
    while (!accounts.empty() && accounts[0] == '/') accounts.erase(0, 1);
  }

  // One walk over every 445* account gives all the sums (each account counted once per prefix
  // it begins with, as a walk per prefix would count it).
  long long d4452 = 0, d4457 = 0, d44562 = 0, d4456 = 0, s44567 = 0, s445 = 0, d445 = 0;
  for (const AccountSums& a : Walk("445")) {
    auto begins = [&](const char* p) { return a.account.compare(0, std::char_traits<char>::length(p), p) == 0; };
    d445 += a.over;
    s445 += a.before;
    if (begins("4452")) d4452 += a.over;
    if (begins("4457")) d4457 += a.over;
    if (begins("44562")) d44562 += a.over;
    if (begins("4456")) d4456 += a.over;
    if (begins("44567")) s44567 += a.before;
  }
  r.intraCommunity = -d4452;
  r.collected = -d4457;
  r.fixedAssets = d44562;
  r.otherGoods = d4456 - d44562;
  r.previousCredit = s44567;
  r.otherAccounts = s445 + d445 - d4452 - d4457 - d4456 - s44567;
  r.net = r.intraCommunity + r.collected - r.fixedAssets - r.otherGoods - r.previousCredit - r.otherAccounts;
  r.unreadable = reader_.Unreadable();
  out = r;
  if (reader_.Refused()) return Outcome::Unread;
  return r.net == 0 ? Outcome::NilNet : Outcome::Computed;
}

// ---- VAT on receipts ------------------------------------------------------------------------------------------------

std::string CollectiveLettersText() {
  std::string letters;
  for (int n = 69; n <= 71; ++n) letters += Trimmed(TheDossierRecord.Constant(n));
  return letters;
}

std::string ReceiptsReturnText(const ReceiptsReturn& r) {
  std::string t = PadRight(r.startMonth, 5) + PadRight(r.endMonth, 5) + Amount10(r.receiptsVat) + Amount10(r.fixedAssets) +
                  Amount10(r.otherGoods) + Amount10(r.previousCredit);
  t += r.net >= 0 ? Amount10(r.net) + std::string(10, ' ') : std::string(10, ' ') + Amount10(-r.net);
  t += r.euros ? "O" : "N";
  return t;
}

long long VatContained(long long cents, double rate) {
  if (rate == 0) return 0;
  const double a = FromCents(cents);
  return ToCents(Round(2, a - a / (1 + rate / 100)));
}

ReceiptsComputation::ReceiptsComputation(Table& c10, Table& c40, Table& c50, Table& c60)
    : c10_(c10), c60_(c60), reader_(c40, c50, c60) {}

bool ReceiptsComputation::LoadTreasuryJournals() {
  journals_.clear();
  bool more = reader_.Kept(c10_, c10_.Find("C10CODE", "J")).IsFound() && c10_.SkipActive(false);
  std::vector<std::string> v;
  while (more && !c10_.eof) {
    ReadStoredFields(c10_, {1, 2, 4}, v);
    if (PadRight(v[0], 1) != "J") break;
    if (!v[2].empty() && v[2][0] == 'T') journals_.push_back(PadRight(v[1], 3));
    more = c10_.SkipActive(true);
  }
  return !journals_.empty();
}

std::string ReceiptsComputation::TreasuryJournalsText() const {
  std::string t;
  for (const std::string& j : journals_) t += j + "\\";
  return t;
}

void ReceiptsComputation::LoadRates() {
  rates_.clear();
  if (c10_.isOpen) codeWidth_ = c10_.FieldWidth(2);
  bool more = reader_.Kept(c10_, c10_.Find("C10CODE", "T")).IsFound() && c10_.SkipActive(false);
  std::vector<std::string> v;
  while (more && !c10_.eof) {
    ReadStoredFields(c10_, {1, 2, 4}, v);
    if (PadRight(v[0], 1) != "T") break;
    rates_[PadRight(v[1], static_cast<std::size_t>(codeWidth_))] = Val(PadRight(v[2], 5).c_str());
    more = c10_.SkipActive(true);
  }
}

double ReceiptsComputation::RateOf(const std::string& mark) const {
  const auto r = rates_.find(PadRight(mark, static_cast<std::size_t>(codeWidth_)));
  return r == rates_.end() ? 0.0 : r->second;
}

ReceiptClass ReceiptsComputation::Classify(const std::string& journal, const std::string& account) const {
  const std::string j = PadRight(journal, 3);
  if (!IsBlank(j) && !journals_.empty() && !letters_.empty() && !account.empty() &&
      letters_.find(account[0]) != std::string::npos) {
    for (const std::string& t : journals_)
      if (t == j) return ReceiptClass::Receipt;
  }
  if (account.compare(0, 5, "44562") == 0) return ReceiptClass::FixedAssets;
  if (account.compare(0, 4, "4456") == 0 && account.compare(0, 5, "44567") != 0) return ReceiptClass::OtherGoods;
  return ReceiptClass::NotCounted;
}

std::string ReceiptsComputation::MonthOf(const VatLine& line) {
  return IsBlank(line.due) ? line.month : line.due.substr(0, 4);
}

bool ReceiptsComputation::IsPeriodLine(const VatLine& line) const {
  const std::string m = MonthOf(line);
  return m >= startKey_ && m <= endKey_;
}

bool ReceiptsComputation::IsPreviousCreditLine(const VatLine& line) const {
  if (!IsBlank(line.due)) return line.due.substr(0, 4) < startKey_;
  return line.month < endKey_;
}

bool ReceiptsComputation::GoFirst() { return c60_.GoTop(kTag) && c60_.SkipActive(false); }

bool ReceiptsComputation::NextPeriodLine(int step, VatLine& line) {
  bool more = c60_.SkipActive(step == 1);
  while (more && !c60_.eof) {
    if (reader_.ReadLine(line) && IsPeriodLine(line)) return true;
    more = c60_.SkipActive(true);
  }
  return false;
}

ReceiptsComputation::Outcome ReceiptsComputation::ComputeReturn(const std::string& start, const std::string& end,
                                                                bool euros, ReceiptsReturn& out) {
  const std::string s = StoredMonthKey(start), e = StoredMonthKey(end);
  if (s.empty() || e.empty() || e < s) return Outcome::BadPeriod;
  reader_.Forget();
  // Journals not read are no dossier without a treasury journal.
  if (!LoadTreasuryJournals()) return reader_.Refused() ? Outcome::Unread : Outcome::NoTreasuryJournal;
  LoadRates();
  SetPeriod(s, e);
  SetEuros(euros);
  ReceiptsReturn r;
  r.startMonth = start;
  r.endMonth = end;
  r.euros = euros;
  // One pass does the two of the return: the lines of the period by their class, and the
  // 44567* lines of the previous credit.
  std::vector<std::string> k;
  VatLine line;
  bool more = GoFirst();
  while (more && !c60_.eof) {
    ReadStoredFields(c60_, {T::TCODE, T::TJAL}, k);
    const std::string account = PadRight(k[0], 8);
    const ReceiptClass c = Classify(k[1], account);
    const bool credit = account.compare(0, 5, "44567") == 0;
    if ((c != ReceiptClass::NotCounted || credit) && reader_.ReadLine(line)) {
      const long long debit = line.sense == 'D' ? line.cents : -line.cents;
      if (c != ReceiptClass::NotCounted && IsPeriodLine(line)) {
        if (c == ReceiptClass::Receipt) {
          if (!line.mark.empty() && line.mark[0] != ' ') {
            r.receiptsVat += VatContained(-debit, RateOf(line.mark));
            reader_.Note(line);
          }
        } else if (c == ReceiptClass::FixedAssets) {
          r.fixedAssets += debit;
          reader_.Note(line);
        } else {
          r.otherGoods += debit;
          reader_.Note(line);
        }
      }
      if (credit && IsPreviousCreditLine(line)) {
        r.previousCredit += debit;
        reader_.Note(line);
      }
    }
    more = c60_.SkipActive(true);
  }
  r.net = r.receiptsVat - r.fixedAssets - r.otherGoods - r.previousCredit;
  r.unreadable = reader_.Unreadable();
  out = r;
  return reader_.Refused() ? Outcome::Unread : Outcome::Computed;
}

}  // namespace vat
