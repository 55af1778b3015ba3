// The demo company's accounts and its year of entries: sales, purchases, receipts, payments,
// cheque remittances, bank fees, salaries and depreciation, spread over the months of the
// financial year. In a dossier of two currencies some pieces are typed in the other currency, each
// line converted on its own, and an exchange-rounding line takes what the main currency lacks.
#include <algorithm>

#include "demo/dossier_demo_internal.h"

namespace demo {
namespace {

std::string PlainLower(const char* key) {
  std::string out(key);
  for (char& c : out) c = static_cast<char>(c - 'A' + 'a');
  return out;
}

// Three characters that number the accounts of one name: "001" to "999", then "A00" to "Z99".
constexpr int kCodesPerName = 999 + 26 * 100;
std::string CodeSuffix(int n) {
  if (n <= 999) return Digits(n, 3);
  n -= 1000;
  return std::string(1, static_cast<char>('A' + n / 100)) + Digits(n % 100, 2);
}

enum PieceKind { kSale, kPurchase, kReceipt, kPayment, kRemittance, kBankFees, kSalaries, kDepreciation, kKinds };
// Per kind: its share of the pieces (percent), its general lines at most and how many of them
// go to an account split over the sections.
constexpr struct {
  int percent;
  int lines;
  int analytic;
} kKindShape[kKinds] = {{30, 3, 1}, {24, 3, 1}, {16, 2, 0}, {14, 2, 0}, {5, 6, 0}, {5, 2, 1}, {3, 4, 2}, {3, 2, 1}};
constexpr int kMostCheques = 8;

}  // namespace

DemoWriter::DemoWriter(const DemoOptions& options, BulkWriter& c50, BulkWriter& c60)
    : options_(options),
      money_(options.currency == DossierCurrency::FrancMain),
      axes_(options.analyticMode == '1' ? 1 : options.analyticMode == '2' ? 2 : 0),
      rng_(options.seed * 0x2545F4914F6CDD1Dull + 7),
      cancels_(options.seed),
      currency_(options.seed * 0xD1B54A32D192ED03ull + 13),
      c50_(c50),
      c60_(c60) {}

int DemoWriter::General(const char* code) const {
  const int index = ChartIndex(code);
  if (index >= 0 || firstVatAccount_ < 0) return index;
  for (std::size_t i = 0; i < kVatAccounts.size(); ++i)
    if (std::string_view(code) == kVatAccounts[i].code) return firstVatAccount_ + static_cast<int>(i);
  return -1;
}

void DemoWriter::MakeAccounts(long customerCount, long supplierCount) {
  customers = customerCount;
  suppliers = supplierCount;
  for (const GeneralAccount& g : kChart) {
    Account a;
    a.code = g.code;
    a.name = g.name;
    a.analytic = axes_ > 0 && (g.code[0] == '6' || g.code[0] == '7');
    accounts.push_back(std::move(a));
  }
  if (RoundingAccountCount(options_) > 0) {
    roundingDebit_ = static_cast<int>(accounts.size());
    roundingCredit_ = roundingDebit_ + 1;
    for (const GeneralAccount& g : kRoundingAccounts) {
      Account a;
      a.code = g.code;
      a.name = g.name;
      accounts.push_back(std::move(a));
    }
  }
  if (options_.vatDetail) {
    firstVatAccount_ = static_cast<int>(accounts.size());
    for (const GeneralAccount& g : kVatAccounts) {
      Account a;
      a.code = g.code;
      a.name = g.name;
      accounts.push_back(std::move(a));
    }
  }
  std::array<int, kSurnames.size()> used{};
  auto address = [&](Account& a, const Surname& s) {
    a.street = std::to_string(rng_.Between(1, 150)) + " " + rng_.Pick(kStreets);
    a.town = rng_.Pick(kTowns);
    a.phone = "0" + std::to_string(rng_.Between(1, 5)) + " " + Digits(rng_.Between(0, 99), 2) + " " +
              Digits(rng_.Between(0, 99), 2) + " " + Digits(rng_.Between(0, 99), 2) + " " +
              Digits(rng_.Between(0, 99), 2);
    a.email = "contact@" + PlainLower(s.key) + Digits(rng_.Between(1, 99), 2) + ".fr";
  };
  // A name whose codes are not all taken (the next one when the drawn one is full).
  auto name = [&]() {
    std::size_t si = static_cast<std::size_t>(rng_.Next() % kSurnames.size());
    while (used[si] == kCodesPerName) si = (si + 1) % kSurnames.size();
    return si;
  };
  firstCustomer_ = static_cast<int>(accounts.size());
  for (long i = 0; i < customers; ++i) {
    const std::size_t si = name();
    const Surname& s = kSurnames[si];
    Account a;
    a.code = std::string("C") + s.key + CodeSuffix(++used[si]);
    a.name = std::string(rng_.Pick(kCustomerTrades)) + " " + s.name;
    a.counterpart = "41100000";
    address(a, s);
    accounts.push_back(std::move(a));
  }
  used.fill(0);
  firstSupplier_ = static_cast<int>(accounts.size());
  for (long i = 0; i < suppliers; ++i) {
    const std::size_t si = name();
    const Surname& s = kSurnames[si];
    const SupplierTrade& trade = rng_.Pick(kSupplierTrades);
    Account a;
    a.code = std::string("F") + s.key + CodeSuffix(++used[si]);
    a.name = std::string(rng_.Pick(kLegalForms)) + " " + s.name + " " + trade.name;
    a.counterpart = "40100000";
    a.charge = trade.account;
    address(a, s);
    accounts.push_back(std::move(a));
  }
  std::sort(accounts.begin() + firstCustomer_, accounts.end(),
            [](const Account& x, const Account& y) { return x.code < y.code; });
  // Sorting moved the suppliers behind the customers by code ("C" < "F"): the ranges hold.
}

std::string DemoWriter::DueDate(int days) const { return StoredDateOf(CivilFromDays(DaysFromCivil(date_) + days)); }

void DemoWriter::WriteRecord(char kind, const std::string& code, const std::string& account,
                             const std::string& number, const std::string& subNumber, const Line& line, char entry,
                             long long francs, long long euros, bool cancelled) {
  const bool general = kind == 'Z';
  const RecordShape& s50 = c50_.shape();
  const RecordShape& s60 = c60_.shape();
  const std::string_view kindText(&kind, 1);
  // A closed line is first made as its draft record, then copied.
  if (closed_) draftRecord_.assign(s50.length, ' ');
  std::uint8_t* r = closed_ ? draftRecord_.data() : c50_.NewRecord();
  if (cancelled) r[0] = '*';
  s50.Text(r, 1, kindText);
  s50.Text(r, 2, monthKey_);
  s50.Text(r, 3, kJournals[journal_].code);
  s50.Text(r, 4, piece_);
  s50.Text(r, 5, group_);
  s50.Text(r, 6, number);
  s50.Text(r, 7, subNumber);
  s50.Text(r, 8, dayText_);
  s50.Text(r, 10, code);
  s50.Text(r, 11, std::string_view(&line.labelCode, 1));
  s50.Text(r, 12, line.label);
  if (general) s50.Text(r, 15, line.due);
  s50.Text(r, 16, std::string_view(&entry, 1));
  s50.Text(r, 17, std::string_view(&line.sense, 1));
  s50.Cents(r, 18, francs);
  s50.Cents(r, 19, euros);
  s50.Text(r, 22, account);
  if (general) s50.Text(r, 23, std::string_view(&line.vat, 1));

  // A line of a closed month goes to the closed file as the validation copies it there.
  std::uint32_t written = c50_.count();
  if (closed_) WriteClosedRecord(r, &written);

  // Its sort record, derived as every writer of a line derives it.
  const std::string recno = Digits(written, 6);
  std::uint8_t* t = c60_.NewRecord();
  if (cancelled) t[0] = '*';
  s60.Text(t, 1, kindText);
  s60.Text(t, 2, code);
  s60.Text(t, 3, monthKey_);
  s60.Text(t, 4, dayText_);
  s60.Text(t, 5, kJournals[journal_].code);
  s60.Text(t, 9, closed_ ? "C" : "B");
  if (general && !cancelled) pieceLines_.push_back({closed_ ? 'C' : 'B', written, c60_.count()});
  s60.Text(t, 10, recno);
  s60.Text(t, 11, piece_);
  s60.Text(t, 12, account);
  s60.Text(t, 13, number);
  s60.Text(t, 14, subNumber);
  if (general) s60.Text(t, 15, std::string_view(&line.vat, 1));
}

bool DemoWriter::TypedInOtherCurrency() {
  // Not the remittance that fills the end of a period: its records are counted to the line.
  if (roundingDebit_ < 0 || !mayMistype_) return false;
  return currency_.Between(1, 6) == 1;
}

void DemoWriter::Piece(Journal journal, const std::vector<Line>& lines) {
  ++pieces;
  journal_ = journal;
  piece_ = Digits(pieces, 6);
  group_ = Digits(c50_.count() + 1, 6);
  number_ = 0;
  pieceLines_.clear();
  Sums& header = (closed_ ? closedHeaders : headers)[period_][journal];
  // A cancelled piece keeps its lines, cancelled, out of every total; the validation copies
  // none of them, so a closed month has none.
  const bool cancelled = cancels_.CancelsPiece() && !closed_;
  const int mistyped =
      cancelled || !mayMistype_ || closed_ ? -1 : cancels_.MistypedLine(static_cast<int>(lines.size()));
  // Typed in the other currency: each amount is the other currency's, the main one its conversion.
  const bool other = TypedInOtherCurrency();
  const Money typed(other ? !money_.francMain() : money_.francMain());
  long long mainDifference = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const Line& line = lines[i];
    Account& account = accounts[static_cast<std::size_t>(line.account)];
    if (static_cast<int>(i) == mistyped && !account.analytic) {
      const long long wrong = cancels_.WrongAmount(line.main);
      WriteRecord('Z', account.code, "", Digits(++number_, 4), "0001", line, typed.EntryLetter(), typed.Francs(wrong),
                  typed.Euros(wrong), true);
    }
    const std::string num = Digits(++number_, 4);
    const long long francs = typed.Francs(line.main), euros = typed.Euros(line.main);
    WriteRecord('Z', account.code, "", num, "0001", line, typed.EntryLetter(), francs, euros, cancelled);
    if (!cancelled) {
      account.totals.Add(line.sense, francs, euros);
      header.Add(line.sense, francs, euros);
    }
    const long long main = money_.francMain() ? francs : euros;
    mainDifference += line.sense == 'D' ? main : -main;
    if (account.analytic)
      for (int axis = 1; axis <= axes_; ++axis) Split(axis, num, line, account, francs, euros, cancelled, typed);
  }
  if (!cancelled && mainDifference != 0) RoundingLine(mainDifference);
  // A piece typed in the other currency matches nothing: its lines' amounts in the main currency
  // are conversions, which its settlement's are not.
  if (other) pieceLines_.clear();
}

// The exchange-rounding line of a piece typed in the other currency: the main currency's difference
// alone, on the rounding account of its side, its entry letter in lower case.
void DemoWriter::RoundingLine(long long mainDifference) {
  const char sense = mainDifference > 0 ? 'C' : 'D';
  const long long amount = mainDifference > 0 ? mainDifference : -mainDifference;
  const int index = sense == 'D' ? roundingDebit_ : roundingCredit_;
  Account& account = accounts[static_cast<std::size_t>(index)];
  const Line line{index, '0', "Ecart de conversion", "", sense, amount, ' '};
  const long long francs = money_.francMain() ? amount : 0, euros = money_.francMain() ? 0 : amount;
  const char entry = static_cast<char>(money_.EntryLetter() - 'A' + 'a');
  WriteRecord('Z', account.code, "", Digits(++number_, 4), "0001", line, entry, francs, euros);
  account.totals.Add(sense, francs, euros);
  (closed_ ? closedHeaders : headers)[period_][journal_].Add(sense, francs, euros);
}

int DemoWriter::MostRecords(int kind) const {
  // An analytic split takes its header copy and at most three lines per axis; a line may be
  // typed twice.
  return kKindShape[kind].lines + kKindShape[kind].analytic * axes_ * 4 + CancelledEntries::kExtraRecords +
         (roundingDebit_ >= 0 ? 1 : 0);
}

void NetAndTax(const Money& money, long long basisPoints, long long& net, long long& tax, long long& total) {
  for (;; ++net) {
    tax = (net * basisPoints + 5000) / 10000;
    total = net + tax;
    if (money.Other(total) == money.Other(net) + money.Other(tax)) return;
  }
}

namespace {

const VatCode& PickVat(Rng& rng) {
  const long long r = rng.Between(1, 100);
  return r <= 80 ? kVat[0] : (r <= 92 ? kVat[1] : kVat[2]);
}

}  // namespace

void DemoWriter::Sale(const VatCode* code) {
  const int customer = firstCustomer_ + static_cast<int>(rng_.Next() % static_cast<std::uint64_t>(customers));
  const VatCode& vat = code != nullptr ? *code : PickVat(rng_);
  long long net = money_.FromEuros(rng_.Amount(20, 6000)), tax = 0, total = 0;
  NetAndTax(money_, vat.basisPoints, net, tax, total);
  const bool creditNote = rng_.Chance(5);
  const char in = creditNote ? 'C' : 'D', out = creditNote ? 'D' : 'C';
  const std::string& name = accounts[static_cast<std::size_t>(customer)].name;
  const std::string label = std::string(creditNote ? "Avoir " : "Fact. ") + Digits(pieces + 1, 6) + " " + name;
  const char labelCode = creditNote ? '2' : '1';
  const int product = General(rng_.Chance(70) ? "70700000" : "70600000");
  Piece(kVE, {{customer, labelCode, label, DueDate(30), in, total, ' '},
              {product, labelCode, label, "", out, net, vat.code},
              {General("44571000"), labelCode, label, "", out, tax, vat.code}});
  // Every invoice waits for its settlement; only a live one typed in the main currency has a line to match.
  if (!creditNote)
    openSales_.push_back({customer, total, pieceLines_.empty() ? LineRef{} : pieceLines_[0], vat.code});
}

void DemoWriter::Purchase() {
  const int supplier = firstSupplier_ + static_cast<int>(rng_.Next() % static_cast<std::uint64_t>(suppliers));
  const VatCode& vat = PickVat(rng_);
  long long net = money_.FromEuros(rng_.Amount(10, 4000)), tax = 0, total = 0;
  NetAndTax(money_, vat.basisPoints, net, tax, total);
  const Account& a = accounts[static_cast<std::size_t>(supplier)];
  const std::string label = "Fact. F" + Digits(rng_.Between(1, 99999), 5) + " " + a.name;
  Piece(kAC, {{General(a.charge.c_str()), '1', label, "", 'D', net, vat.code},
              {General("44566000"), '1', label, "", 'D', tax, vat.code},
              {supplier, '1', label, DueDate(45), 'C', total, ' '}});
  openPurchases_.push_back({supplier, total, pieceLines_.size() == 3 ? pieceLines_[2] : LineRef{}});
}

namespace {

// An open item to settle (taken off the list), or a new amount for any account of the range
// (without a line to match).
OpenItem Settle(std::vector<OpenItem>& open, Rng& rng, const Money& money, int first, long count) {
  if (!open.empty()) {
    const std::size_t i = static_cast<std::size_t>(rng.Next() % open.size());
    const OpenItem item = open[i];
    open[i] = open.back();
    open.pop_back();
    return item;
  }
  return {first + static_cast<int>(rng.Next() % static_cast<std::uint64_t>(count)), money.FromEuros(rng.Amount(50, 2000)),
          {}};
}

}  // namespace

void DemoWriter::Receipt(const OpenItem* given) {
  const OpenItem item = given != nullptr ? *given : Settle(openSales_, rng_, money_, firstCustomer_, customers);
  const std::string label = "R\xE8glement " + accounts[static_cast<std::size_t>(item.account)].name;
  const char mark = options_.vatDetail ? item.vat : ' ';
  Piece(kBQ, {{General("51200000"), '5', label, "", 'D', item.amount, ' '},
              {item.account, '5', label, "", 'C', item.amount, mark}});
  if (pieceLines_.size() == 2) Settled(item, pieceLines_[1], item.amount);
}

void DemoWriter::Payment() {
  const OpenItem item = Settle(openPurchases_, rng_, money_, firstSupplier_, suppliers);
  const std::string label = "Virement " + accounts[static_cast<std::size_t>(item.account)].name;
  Piece(kBQ, {{item.account, '4', label, "", 'D', item.amount, ' '},
              {General("51200000"), '4', label, "", 'C', item.amount, ' '}});
  if (pieceLines_.size() == 2) Settled(item, pieceLines_[0], item.amount);
}

void DemoWriter::Remittance(int cheques) {
  std::vector<Line> lines(1);
  std::vector<OpenItem> items;
  long long sum = 0;
  for (int i = 0; i < cheques; ++i) {
    OpenItem item = Settle(openSales_, rng_, money_, firstCustomer_, customers);
    // The bank line converts on its own: each cheque converts as the running sum grows.
    long long amount = item.amount;
    while (money_.Other(sum + amount) != money_.Other(sum) + money_.Other(amount)) ++amount;
    sum += amount;
    lines.push_back({item.account, '5', "Ch\xE8que " + accounts[static_cast<std::size_t>(item.account)].name, "", 'C',
                     amount, options_.vatDetail ? item.vat : ' '});
    // A cheque made a cent larger to convert no longer matches its invoice.
    if (item.amount != amount) item.line = {};
    items.push_back(item);
  }
  lines[0] = {General("51200000"), '5', "Remise de ch\xE8ques", "", 'D', sum, ' '};
  Piece(kBQ, lines);
  if (pieceLines_.size() == lines.size())
    for (std::size_t i = 0; i < items.size(); ++i) Settled(items[i], pieceLines_[i + 1], items[i].amount);
}

void DemoWriter::BankFees() {
  const long long amount = money_.FromEuros(rng_.Amount(2, 80));
  Piece(kBQ, {{General("62700000"), '0', "Frais bancaires", "", 'D', amount, ' '},
              {General("51200000"), '0', "Frais bancaires", "", 'C', amount, ' '}});
}

void DemoWriter::Salaries() {
  long long gross = money_.FromEuros(rng_.Between(180000, 450000)), employer = 0, employee = 0;
  for (;; ++gross) {
    employer = (gross * 42 + 50) / 100;
    employee = (gross * 22 + 50) / 100;
    if (money_.Other(gross) + money_.Other(employer) ==
        money_.Other(employee + employer) + money_.Other(gross - employee))
      break;
  }
  const std::string label = std::string("Salaires ") + kMonths[static_cast<std::size_t>(date_.month - 1)];
  Piece(kOD, {{General("64110000"), '7', label, "", 'D', gross, ' '},
              {General("64510000"), '7', label, "", 'D', employer, ' '},
              {General("43100000"), '7', label, "", 'C', employee + employer, ' '},
              {General("42100000"), '7', label, "", 'C', gross - employee, ' '}});
}

void DemoWriter::Depreciation() {
  const long long amount = money_.FromEuros(rng_.Amount(100, 1500));
  const std::string label = std::string("Dotation amort. ") + kMonths[static_cast<std::size_t>(date_.month - 1)];
  Piece(kOD, {{General("68112000"), '7', label, "", 'D', amount, ' '},
              {General("28154000"), '7', label, "", 'C', amount, ' '}});
}

void DemoWriter::MakeEntries(const std::vector<Period>& periods) {
  headers.assign(periods.size(), {});
  closedHeaders.assign(periods.size(), {});
  letterCount_.assign(accounts.size(), 0);
  // The opening balances come first, closed, on the year's first day: their lines are taken
  // from the year's share.
  const long opening = closedPeriods_ > 0 && !periods.empty() ? OpeningLineCount() : 0;
  if (opening > 0) {
    period_ = 0;
    monthKey_ = periods[0].monthKey;
    date_ = periods[0].first;
    dayText_ = Digits(date_.day, 2);
    closed_ = true;
    // Counted to the line: never typed in the other currency (no rounding line).
    mayMistype_ = false;
    OpeningEntry();
    mayMistype_ = true;
    closed_ = false;
  }
  const long yearLines = options_.lines - opening;
  // The records of the year shared among the periods by their days; a period never gets a
  // single record (no piece has one line).
  std::vector<long> days(periods.size()), quota(periods.size());
  long totalDays = 0;
  for (std::size_t p = 0; p < periods.size(); ++p) {
    days[p] = DaysFromCivil(periods[p].last) - DaysFromCivil(periods[p].first) + 1;
    totalDays += days[p];
  }
  long cumulative = 0, given = 0, carry = 0;
  for (std::size_t p = 0; p < periods.size(); ++p) {
    cumulative += days[p];
    const long upTo = static_cast<long>(static_cast<long long>(yearLines) * cumulative / totalDays);
    long q = upTo - given + carry;
    given = upTo;
    carry = 0;
    if (q == 1) {
      carry = 1;
      q = 0;
    }
    quota[p] = q;
  }
  for (std::size_t p = periods.size(); carry == 1 && p-- > 0;)
    if (quota[p] > 0) {
      ++quota[p];
      carry = 0;
    }

  for (std::size_t p = 0; p < periods.size(); ++p) {
    period_ = p;
    monthKey_ = periods[p].monthKey;
    const long total = quota[p];
    long remaining = total;
    if (options_.vatDetail) VatDetail(p, periods[p], periods.size(), remaining);
    while (remaining > 0) {
      date_ = CivilFromDays(DaysFromCivil(periods[p].first) + (total - remaining) * days[p] / total);
      dayText_ = Digits(date_.day, 2);
      // The closed months; the last quarter of the last one was typed after its validation, but
      // at the year's end.
      const int closedUpTo = closedPeriods_;
      closed_ = static_cast<int>(p) < closedUpTo &&
                (options_.yearEnd || !(static_cast<int>(p) == closedUpTo - 1 && (total - remaining) * 4 >= total * 3));
      if (closed_) validation_ = StoredDateOf(CivilFromDays(DaysFromCivil(periods[p].last) + 1));
      const std::uint32_t before = Written();
      long long r = rng_.Between(1, 100);
      int kind = 0;
      while (r > kKindShape[kind].percent) r -= kKindShape[kind++].percent;
      if (remaining < MostRecords(kind) + 2) {
        // The end of the period: remittances of as many cheques as the records left.
        mayMistype_ = false;
        Remittance(static_cast<int>(remaining <= kMostCheques + 1 ? remaining - 1 : rng_.Between(1, 6)));
        mayMistype_ = true;
      } else {
        switch (kind) {
          case kSale: Sale(); break;
          case kPurchase: Purchase(); break;
          case kReceipt: Receipt(); break;
          case kPayment: Payment(); break;
          case kRemittance: Remittance(static_cast<int>(rng_.Between(2, 5))); break;
          case kBankFees: BankFees(); break;
          case kSalaries: Salaries(); break;
          default: Depreciation(); break;
        }
      }
      remaining -= static_cast<long>(Written() - before);
    }
  }
  closed_ = false;
}

}  // namespace demo
