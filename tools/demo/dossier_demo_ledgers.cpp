// What the ledger reports need of the demo dossier beside its draft year: the first months
// validated into the closed file C40 (each line copied from its draft record field by field
// under the closed names, as the validation copies it, then dated in DVALID; its sort record
// filed "C"; the journal-month's totals under the closed code), an opening entry in the journal
// of the opening balances (constant 037, "AN") dated the year's first day and closed with them,
// and the customers' and suppliers' invoices matched with their settlements, with a letter in
// francs and one in euros (many of them across months, some beyond the validated months).
#include <algorithm>

#include "data/table_structures.h"
#include "demo/dossier_demo_internal.h"
#include "platform/dbase/dbf.h"

namespace demo {
namespace {

// The opening entry takes its lines only from a year of this many lines or more.
constexpr long kOpeningFrom = 200;

// The draft field holding a closed field: the closed names are the draft's with "D" for "B"
// (0 for the validation date, which the draft has not).
const std::vector<int>& DraftFieldOfClosed() {
  static const std::vector<int> map = [] {
    const TableStructure& closed = StructureOf(TableKind::C40);
    const TableStructure& draft = StructureOf(TableKind::C50);
    std::vector<int> m;
    for (const FieldDef& f : closed.fields) {
      std::string name(f.name);
      name[0] = 'B';
      m.push_back(draft.FieldNumber(name));
    }
    return m;
  }();
  return map;
}

// Letters of the matchings of one account: "A" ... "Z", "AA" ... "ZZ", "AAA" ...
std::string LetterCode(int n) {
  std::string code;
  for (++n; n > 0; n = (n - 1) / 26) code.insert(code.begin(), static_cast<char>('A' + (n - 1) % 26));
  return code.substr(0, 4);
}

// The opening entry's customers and suppliers.
long OpeningAuxiliaries(long count, long lines) { return std::min(count, std::clamp(lines / 2000, 2L, 30L)); }

}  // namespace

long DemoWriter::OpeningLineCount() const {
  if (options_.lines < kOpeningFrom) return 0;
  return 10 + OpeningAuxiliaries(customers, options_.lines) + OpeningAuxiliaries(suppliers, options_.lines);
}

void DemoWriter::OpeningEntry() {
  validation_ = StoredDateOf(CivilFromDays(DaysFromCivil(date_) + 31));
  const std::string label = "A nouveaux au " + DisplayDateOf(date_);
  std::vector<Line> debits, credits;
  auto amount = [&](long long lo, long long hi) { return money_.FromEuros(rng_.Amount(lo, hi)); };
  const long long equipment = amount(20000, 80000);
  debits.push_back({General("21540000"), '0', label, "", 'D', equipment, ' '});
  debits.push_back({General("21830000"), '0', label, "", 'D', amount(2000, 10000), ' '});
  debits.push_back({General("37000000"), '0', label, "", 'D', amount(5000, 40000), ' '});
  debits.push_back({General("53000000"), '0', label, "", 'D', amount(100, 2000), ' '});
  credits.push_back({General("28154000"), '0', label, "", 'C', equipment / 3, ' '});
  credits.push_back({General("10100000"), '0', label, "", 'C', amount(10000, 20000), ' '});
  credits.push_back({General("10610000"), '0', label, "", 'C', amount(1000, 5000), ' '});
  credits.push_back({General("16400000"), '0', label, "", 'C', amount(10000, 40000), ' '});
  // Invoices of the previous year still to be paid: they are settled during the year.
  std::vector<int> customerLines, supplierLines;
  const long k = OpeningAuxiliaries(customers, options_.lines), m = OpeningAuxiliaries(suppliers, options_.lines);
  for (long i = 0; i < k; ++i) {
    const int customer = firstCustomer_ + static_cast<int>((i * customers) / k + rng_.Between(0, customers / k - 1));
    customerLines.push_back(static_cast<int>(debits.size()));
    debits.push_back({customer, '1', "Solde " + accounts[static_cast<std::size_t>(customer)].name, "", 'D',
                      amount(100, 5000), ' '});
  }
  for (long i = 0; i < m; ++i) {
    const int supplier = firstSupplier_ + static_cast<int>((i * suppliers) / m + rng_.Between(0, suppliers / m - 1));
    supplierLines.push_back(static_cast<int>(credits.size()));
    credits.push_back({supplier, '1', "Solde " + accounts[static_cast<std::size_t>(supplier)].name, "", 'C',
                       amount(100, 4000), ' '});
  }
  // Each side converts as it adds up (a line is made a cent larger until its conversion adds to
  // the side's); then the bank line moves a cent at a time until the year's result, which
  // balances the entry, converts so too: the entry balances in both currencies.
  auto additive = [&](std::vector<Line>& side) {
    long long sum = 0;
    for (Line& l : side) {
      while (money_.Other(sum + l.main) != money_.Other(sum) + money_.Other(l.main)) ++l.main;
      sum += l.main;
    }
    return sum;
  };
  const long long debitSum = additive(debits), creditSum = additive(credits);
  long long bank = amount(10000, 60000);
  Line result{General("12000000"), '0', label, "", 'C', 0, ' '};
  for (;; ++bank) {
    if (money_.Other(debitSum + bank) != money_.Other(debitSum) + money_.Other(bank)) continue;
    const long long total = debitSum + bank, gap = total - creditSum;
    if (gap == 0) continue;
    result.sense = gap > 0 ? 'C' : 'D';
    result.main = gap > 0 ? gap : -gap;
    const bool converts = gap > 0 ? money_.Other(total) == money_.Other(creditSum) + money_.Other(result.main)
                                  : money_.Other(creditSum) == money_.Other(total) + money_.Other(result.main);
    if (converts) break;
  }
  std::vector<Line> lines{{General("51200000"), '0', label, "", 'D', bank, ' '}};
  lines.insert(lines.end(), debits.begin(), debits.end());
  lines.insert(lines.end(), credits.begin(), credits.end());
  lines.push_back(result);
  Piece(kAN, lines);
  openingWritten = true;
  if (pieceLines_.size() != lines.size()) return;
  for (int i : customerLines)
    openSales_.push_back({lines[static_cast<std::size_t>(i + 1)].account, lines[static_cast<std::size_t>(i + 1)].main,
                          pieceLines_[static_cast<std::size_t>(i + 1)]});
  const std::size_t firstCredit = 1 + debits.size();
  for (int i : supplierLines)
    openPurchases_.push_back({lines[firstCredit + static_cast<std::size_t>(i)].account,
                              lines[firstCredit + static_cast<std::size_t>(i)].main,
                              pieceLines_[firstCredit + static_cast<std::size_t>(i)]});
}

void DemoWriter::WriteClosedRecord(const std::uint8_t* draft, std::uint32_t* recno) {
  const RecordShape& from = c50_.shape();
  const RecordShape& to = c40_->shape();
  std::uint8_t* r = c40_->NewRecord();
  r[0] = draft[0];
  const std::vector<int>& map = DraftFieldOfClosed();
  for (std::size_t i = 0; i < map.size() && i < to.fields.size(); ++i) {
    if (map[i] == 0) continue;
    const auto [fromOffset, fromWidth] = from.fields[static_cast<std::size_t>(map[i] - 1)];
    const auto [toOffset, toWidth] = to.fields[i];
    std::memcpy(r + toOffset, draft + fromOffset, std::min(fromWidth, toWidth));
  }
  // The validation dates the closed line (DVALID, the last field).
  to.Text(r, static_cast<int>(to.fields.size()), validation_);
  *recno = c40_->count();
}

void DemoWriter::Match(const LineRef& first, const LineRef& second, int account) {
  const int n = letterCount_[static_cast<std::size_t>(account)]++;
  // The letters in euros follow another sequence than those in francs.
  matchings.push_back({first, second, LetterCode(n), LetterCode(n + 702)});
}

void DemoWriter::Settled(const OpenItem& item, const LineRef& settlement, long long paid) {
  if (options_.matchings && item.line.file != 0 && settlement.file != 0 && paid == item.amount) Match(item.line, settlement, item.account);
}

int ClosedPeriods(const DemoOptions& options, std::size_t periods) {
  if (options.yearEnd) return static_cast<int>(periods);
  if (options.closedMonths < 0) return static_cast<int>(periods / 3);
  if (options.closedMonths == 0) return 0;
  return static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(options.closedMonths), periods));
}

bool WriteMatchings(const std::string& c50Path, const std::string& c40Path, const std::string& c60Path,
                    const std::vector<Matching>& matchings) {
  if (matchings.empty()) return true;
  dbase::DbfFile files[3];
  const std::string* paths[3] = {&c50Path, &c40Path, &c60Path};
  std::unique_ptr<RecordShape> shapes[3];
  for (int i = 0; i < 3; ++i) {
    if (files[i].Open(*paths[i] + ".dbf", true) != dbase::DBIERR_NONE || !files[i].writable()) return false;
    shapes[i] = std::make_unique<RecordShape>(files[i]);
  }
  std::vector<std::uint8_t> buffer(std::max({shapes[0]->length, shapes[1]->length, shapes[2]->length}));
  // The letters in francs and in euros: C50 20-21, C40 16-17, C60 6-7.
  auto put = [&](int file, std::uint32_t recno, int field, const std::string& f, const std::string& e) {
    if (files[file].ReadRecord(recno, buffer.data()) != dbase::DBIERR_NONE) return false;
    shapes[file]->Text(buffer.data(), field, Fit(f, 4));
    shapes[file]->Text(buffer.data(), field + 1, Fit(e, 4));
    return files[file].WriteRecord(recno, buffer.data()) == dbase::DBIERR_NONE;
  };
  bool ok = true;
  for (const Matching& m : matchings)
    for (const LineRef* l : {&m.first, &m.second}) {
      const bool closed = l->file == 'C';
      ok = put(closed ? 1 : 0, l->recno, closed ? 16 : 20, m.letterF, m.letterE) && ok;
      ok = put(2, l->sortRecno, 6, m.letterF, m.letterE) && ok;
    }
  for (dbase::DbfFile& f : files) f.Close();
  return ok;
}

}  // namespace demo
