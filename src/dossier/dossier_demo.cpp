#include "dossier/dossier_demo.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string_view>
#include <vector>

#include "data/session.h"
#include "data/table.h"
#include "data/table_structures.h"
#include "dossier/dossier_create.h"
#include "platform/dbase/dbf.h"
#include "runtime/bank_ids.h"
#include "runtime/dates.h"
#include "runtime/numbers.h"

namespace {

// ------------------------------------------------------------------ amounts and randomness

// Francs of a euro amount, both in cents, rounded half away from zero (amounts are positive).
long long FrancsOf(long long euroCents) { return (euroCents * 655957 + 50000) / 100000; }

// splitmix64: the same seed gives the same dossier on every machine.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // Uniform in [lo, hi].
  long long Between(long long lo, long long hi) {
    return lo + static_cast<long long>(Next() % static_cast<std::uint64_t>(hi - lo + 1));
  }
  bool Chance(int percent) { return Between(1, 100) <= percent; }
  // An amount in cents spread over [lo, hi] euros with small amounts more frequent.
  long long Amount(long long loEuros, long long hiEuros) {
    const long long a = Between(loEuros * 100, hiEuros * 100);
    const long long b = Between(loEuros * 100, hiEuros * 100);
    return std::min(a, b);
  }
  template <class T, std::size_t N>
  const T& Pick(const std::array<T, N>& items) {
    return items[static_cast<std::size_t>(Next() % N)];
  }

 private:
  std::uint64_t state_;
};

// ------------------------------------------------------------------ the company's world

constexpr const char* kCompanyName = "SARL Ateliers Merlon";

struct GeneralAccount {
  const char* code;
  const char* name;
};

// A chart of accounts drawn from the plan comptable général, classes 1 to 7.
constexpr std::array<GeneralAccount, 37> kChart{{
    {"10100000", "Capital social"},
    {"10610000", "R\xE9serve l\xE9gale"},
    {"10680000", "Autres r\xE9serves"},
    {"12000000", "R\xE9sultat de l'exercice"},
    {"16400000", "Emprunts aupr\xE8s \xE9tab. cr\xE9" "dit"},
    {"21540000", "Mat\xE9riel industriel"},
    {"21830000", "Mat\xE9riel de bureau"},
    {"28154000", "Amort. mat\xE9riel industriel"},
    {"37000000", "Stocks de marchandises"},
    {"40100000", "Fournisseurs"},
    {"41100000", "Clients"},
    {"42100000", "Personnel - r\xE9mun\xE9rations dues"},
    {"43100000", "S\xE9" "curit\xE9 sociale"},
    {"44551000", "TVA \xE0 d\xE9" "caisser"},
    {"44566000", "TVA d\xE9" "ductible sur ABS"},
    {"44571000", "TVA collect\xE9" "e"},
    {"51200000", "Banque"},
    {"53000000", "Caisse"},
    {"60110000", "Achats de mati\xE8res premi\xE8res"},
    {"60610000", "Fournitures non stockables"},
    {"60640000", "Fournitures administratives"},
    {"60700000", "Achats de marchandises"},
    {"61320000", "Locations immobili\xE8res"},
    {"61550000", "Entretien et r\xE9parations"},
    {"61600000", "Primes d'assurances"},
    {"62260000", "Honoraires"},
    {"62600000", "Frais postaux et t\xE9l\xE9" "com."},
    {"62700000", "Services bancaires"},
    {"63500000", "Autres imp\xF4ts et taxes"},
    {"64110000", "Salaires et appointements"},
    {"64510000", "Cotisations URSSAF"},
    {"66110000", "Int\xE9r\xEAts des emprunts"},
    {"68112000", "Dotations aux amortissements"},
    {"70600000", "Prestations de services"},
    {"70700000", "Ventes de marchandises"},
    {"70800000", "Produits des activit\xE9s annexes"},
    {"76800000", "Autres produits financiers"},
}};

int ChartIndex(std::string_view code) {
  for (std::size_t i = 0; i < kChart.size(); ++i)
    if (code == kChart[i].code) return static_cast<int>(i);
  return -1;
}

struct Surname {
  const char* name;  // as written
  const char* key;   // four plain capitals for the account code
};
constexpr std::array<Surname, 30> kSurnames{{
    {"Martin", "MART"},   {"Bernard", "BERN"}, {"Dubois", "DUBO"},   {"Thomas", "THOM"},
    {"Robert", "ROBE"},   {"Richard", "RICH"}, {"Petit", "PETI"},    {"Durand", "DURA"},
    {"Leroy", "LERO"},    {"Moreau", "MORE"},  {"Simon", "SIMO"},    {"Laurent", "LAUR"},
    {"Lef\xE8vre", "LEFE"}, {"Michel", "MICH"}, {"Garcia", "GARC"},  {"David", "DAVI"},
    {"Bertrand", "BERT"}, {"Roux", "ROUX"},    {"Vincent", "VINC"},  {"Fournier", "FOUR"},
    {"Morel", "MORL"},    {"Girard", "GIRA"},  {"Andr\xE9", "ANDR"}, {"Mercier", "MERC"},
    {"Dupont", "DUPO"},   {"Lambert", "LAMB"}, {"Bonnet", "BONN"},   {"Fran\xE7ois", "FRAN"},
    {"Chevalier", "CHEV"}, {"Gauthier", "GAUT"},
}};
constexpr std::array<const char*, 15> kCustomerTrades{{
    "Boulangerie", "Garage", "Pharmacie", "Restaurant", "H\xF4tel", "Menuiserie", "Librairie", "Cabinet",
    "Boucherie", "Fleuriste", "Imprimerie", "Transports", "\xC9picerie", "Plomberie", "Agence"}};
struct SupplierTrade {
  const char* name;
  const char* account;  // the charge its invoices go to
};
constexpr std::array<SupplierTrade, 10> kSupplierTrades{{
    {"N\xE9goce", "60700000"},
    {"Mat\xE9riaux", "60110000"},
    {"Papeterie", "60640000"},
    {"\xC9nergie", "60610000"},
    {"Immobilier", "61320000"},
    {"Maintenance", "61550000"},
    {"Assurances", "61600000"},
    {"Conseil", "62260000"},
    {"T\xE9l\xE9" "com", "62600000"},
    {"Distribution", "60700000"},
}};
constexpr std::array<const char*, 4> kLegalForms{{"SARL", "SAS", "EURL", "SA"}};
constexpr std::array<const char*, 10> kStreets{{
    "rue de la R\xE9publique", "avenue Jean Jaur\xE8s", "boulevard Victor Hugo", "rue Pasteur",
    "place de la Mairie", "rue du Moulin", "chemin des Vignes", "all\xE9" "e des Tilleuls", "rue Nationale",
    "quai de la Loire"}};
constexpr std::array<const char*, 16> kTowns{{
    "75011 Paris", "69003 Lyon", "13001 Marseille", "31000 Toulouse", "44000 Nantes", "33000 Bordeaux",
    "59000 Lille", "67000 Strasbourg", "35000 Rennes", "34000 Montpellier", "21000 Dijon", "37000 Tours",
    "49000 Angers", "63000 Clermont-Ferrand", "76000 Rouen", "45000 Orl\xE9" "ans"}};
constexpr std::array<const char*, 12> kMonths{{"janvier", "f\xE9vrier", "mars", "avril", "mai", "juin",
                                               "juillet", "ao\xFBt", "septembre", "octobre", "novembre",
                                               "d\xE9" "cembre"}};

struct VatCode {
  char code;
  const char* name;
  const char* rateText;  // 5 characters, right-aligned
  long long basisPoints;
};
constexpr std::array<VatCode, 3> kVat{{
    {'1', "TVA taux normal 20 %", "20.00", 2000},
    {'2', "TVA taux interm\xE9" "diaire 10 %", "10.00", 1000},
    {'3', "TVA taux r\xE9" "duit 5,5 %", " 5.50", 550},
}};

enum Journal { kAC, kVE, kBQ, kOD, kJournalCount };
struct JournalDef {
  const char* code;  // 3 characters
  const char* name;
  char type;
  const char* counterpart;
};
constexpr std::array<JournalDef, kJournalCount> kJournals{{
    {"AC ", "Journal des Achats", 'A', "        "},
    {"VE ", "Journal des Ventes", 'V', "        "},
    {"BQ ", "Banque BNP Paribas", 'T', "51200000"},
    {"OD ", "Op\xE9rations Diverses", 'O', "        "},
}};

// Standard labels: code, name, short label, type digit.
struct LabelDef {
  const char* code;
  const char* name;
  const char* shortLabel;
  char type;
};
constexpr std::array<LabelDef, 6> kLabels{{
    {"0", "Aucun libell\xE9", "-      ", '0'},
    {"1", "Facture", "Facture", '1'},
    {"2", "Avoir", "Avoir  ", '2'},
    {"4", "Ch\xE8que \xE9mis", "Ch\xE8que ", '4'},
    {"5", "Remise de ch\xE8ques", "Remise ", '5'},
    {"7", "R\xE9gularisation", "R\xE9gul. ", '7'},
}};

struct Account {
  std::string code;  // 8 characters
  std::string name;
  std::string street, town, phone, email;
  std::string counterpart;  // collective account of an auxiliary account
  std::string charge;       // a supplier's charge account
  long long debitF = 0, debitE = 0, creditF = 0, creditE = 0;
};

std::string Fit(std::string text, std::size_t width) {
  text.resize(width, ' ');
  return text;
}

std::string Digits(long long value, int width) {
  std::string out(static_cast<std::size_t>(width), '0');
  for (int i = width - 1; i >= 0 && value > 0; --i, value /= 10) out[static_cast<std::size_t>(i)] = static_cast<char>('0' + value % 10);
  return out;
}

std::string PlainLower(const char* key) {
  std::string out(key);
  for (char& c : out) c = static_cast<char>(c - 'A' + 'a');
  return out;
}

// ------------------------------------------------------------------ raw records in bulk

// Where each field lies in the records of a data file, by field number.
struct RecordShape {
  std::vector<std::pair<std::uint16_t, std::uint8_t>> fields;  // offset, width (index = number - 1)
  std::size_t length = 0;

  explicit RecordShape(const dbase::DbfFile& dbf) : length(dbf.recordLength()) {
    for (const dbase::DbfField& f : dbf.fields()) fields.emplace_back(f.offset, f.width);
  }
  void Text(std::uint8_t* rec, int field, std::string_view text) const {
    const auto [offset, width] = fields[static_cast<std::size_t>(field - 1)];
    std::memcpy(rec + offset, text.data(), std::min<std::size_t>(width, text.size()));
  }
  // A positive or negative amount in cents, right-aligned with two decimals.
  void Cents(std::uint8_t* rec, int field, long long cents) const {
    const auto [offset, width] = fields[static_cast<std::size_t>(field - 1)];
    char tmp[32];
    int p = 32;
    const bool negative = cents < 0;
    unsigned long long v = negative ? static_cast<unsigned long long>(-cents) : static_cast<unsigned long long>(cents);
    tmp[--p] = static_cast<char>('0' + v % 10);
    v /= 10;
    tmp[--p] = static_cast<char>('0' + v % 10);
    v /= 10;
    tmp[--p] = '.';
    do {
      tmp[--p] = static_cast<char>('0' + v % 10);
      v /= 10;
    } while (v != 0);
    if (negative) tmp[--p] = '-';
    const int len = 32 - p;
    if (len > width) {
      std::memset(rec + offset, '*', width);
    } else {
      std::memcpy(rec + offset + (width - len), tmp + p, static_cast<std::size_t>(len));
    }
  }
};

// Appends records to a data file in chunks; Finish writes the count and the end mark.
class BulkWriter {
 public:
  static constexpr std::uint32_t kChunk = 16384;

  dbase::DBIResult Open(const std::string& path) {
    dbase::DBIResult rc = dbf_.Open(path, true);
    if (rc != dbase::DBIERR_NONE) return rc;
    if (!dbf_.writable()) return dbase::DBIERR_OSACCESS;
    shape_ = std::make_unique<RecordShape>(dbf_);
    buffer_.resize(static_cast<std::size_t>(kChunk) * shape_->length);
    return dbase::DBIERR_NONE;
  }
  const RecordShape& shape() const { return *shape_; }
  std::uint32_t count() const { return written_ + pending_; }
  // A blank record to fill; it belongs to record number count() after the call.
  std::uint8_t* NewRecord() {
    if (pending_ == kChunk) Flush();
    std::uint8_t* rec = buffer_.data() + static_cast<std::size_t>(pending_) * shape_->length;
    std::memset(rec, ' ', shape_->length);
    ++pending_;
    return rec;
  }
  dbase::DBIResult Finish() {
    Flush();
    if (status_ == dbase::DBIERR_NONE) status_ = dbf_.TruncateTo(written_);
    dbf_.Close();
    return status_;
  }

 private:
  void Flush() {
    if (pending_ > 0 && status_ == dbase::DBIERR_NONE) status_ = dbf_.WriteRecords(written_ + 1, pending_, buffer_.data());
    written_ += pending_;
    pending_ = 0;
  }

  dbase::DbfFile dbf_;
  std::unique_ptr<RecordShape> shape_;
  std::vector<std::uint8_t> buffer_;
  std::uint32_t written_ = 0;
  std::uint32_t pending_ = 0;
  dbase::DBIResult status_ = dbase::DBIERR_NONE;
};

// ------------------------------------------------------------------ the generator

struct Sums {
  long long debitF = 0, debitE = 0, creditF = 0, creditE = 0;
};

struct Line {
  int account;           // index into the accounts
  char labelCode;
  std::string label;
  std::string due;       // stored date or empty
  char sense;
  long long euros;       // cents
  char vat = ' ';
};

class DemoWriter {
 public:
  DemoWriter(const DemoOptions& options, BulkWriter& c50, BulkWriter& c60)
      : options_(options), rng_(options.seed * 0x2545F4914F6CDD1Dull + 7), c50_(c50), c60_(c60) {}

  void MakeAccounts();
  void MakeEntries();

  std::vector<Account> accounts;
  std::array<std::array<Sums, kJournalCount>, 12> headers{};
  long pieces = 0;
  long customers = 0;
  long suppliers = 0;

 private:
  int General(const char* code) const { return ChartIndex(code); }
  // Writes one piece: its lines as C50 records with their C60 records, and adds them to the totals.
  void Piece(int month, int day, Journal journal, const std::vector<Line>& lines);
  int PieceLines(int remaining);
  void Sale(int month, int day);
  void Purchase(int month, int day);
  void Receipt(int month, int day);
  void Payment(int month, int day);
  void BankFees(int month, int day);
  void Salaries(int month, int day);
  void Depreciation(int month, int day);
  std::string DueDate(int month, int day, int days) const;
  const VatCode& PickVat();

  const DemoOptions& options_;
  Rng rng_;
  BulkWriter& c50_;
  BulkWriter& c60_;
  int firstCustomer_ = 0, firstSupplier_ = 0;
  std::vector<std::pair<int, long long>> openSales_;      // customer, amount due (cents)
  std::vector<std::pair<int, long long>> openPurchases_;  // supplier, amount due
};

void DemoWriter::MakeAccounts() {
  for (const GeneralAccount& g : kChart) {
    Account a;
    a.code = g.code;
    a.name = g.name;
    accounts.push_back(std::move(a));
  }
  customers = std::clamp<long>(options_.lines / 200, 20, 2000);
  suppliers = std::clamp<long>(options_.lines / 400, 10, 1000);
  std::array<int, kSurnames.size()> used{};
  auto address = [&](Account& a, const Surname& s) {
    a.street = std::to_string(rng_.Between(1, 150)) + " " + rng_.Pick(kStreets);
    a.town = rng_.Pick(kTowns);
    a.phone = "0" + std::to_string(rng_.Between(1, 5)) + " " + Digits(rng_.Between(0, 99), 2) + " " +
              Digits(rng_.Between(0, 99), 2) + " " + Digits(rng_.Between(0, 99), 2) + " " +
              Digits(rng_.Between(0, 99), 2);
    a.email = "contact@" + PlainLower(s.key) + Digits(rng_.Between(1, 99), 2) + ".fr";
  };
  firstCustomer_ = static_cast<int>(accounts.size());
  for (long i = 0; i < customers; ++i) {
    const std::size_t si = static_cast<std::size_t>(rng_.Next() % kSurnames.size());
    const Surname& s = kSurnames[si];
    Account a;
    a.code = std::string("C") + s.key + Digits(++used[si], 3);
    a.name = std::string(rng_.Pick(kCustomerTrades)) + " " + s.name;
    a.counterpart = "41100000";
    address(a, s);
    accounts.push_back(std::move(a));
  }
  used.fill(0);
  firstSupplier_ = static_cast<int>(accounts.size());
  for (long i = 0; i < suppliers; ++i) {
    const std::size_t si = static_cast<std::size_t>(rng_.Next() % kSurnames.size());
    const Surname& s = kSurnames[si];
    const SupplierTrade& trade = rng_.Pick(kSupplierTrades);
    Account a;
    a.code = std::string("F") + s.key + Digits(++used[si], 3);
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

const VatCode& DemoWriter::PickVat() {
  const long long r = rng_.Between(1, 100);
  return r <= 80 ? kVat[0] : (r <= 92 ? kVat[1] : kVat[2]);
}

std::string DemoWriter::DueDate(int month, int day, int days) const {
  const Ymd date{options_.year, month + 1, day};
  return StoredDateOf(CivilFromDays(DaysFromCivil(date) + days));
}

void DemoWriter::Piece(int month, int day, Journal journal, const std::vector<Line>& lines) {
  ++pieces;
  const std::string monthKey = StoredDateOf(Ymd{options_.year, month + 1, 1}).substr(0, 4);
  const std::string dayText = Digits(day, 2);
  const std::string piece = Digits(pieces, 6);
  const std::string group = Digits(c50_.count() + 1, 6);
  const RecordShape& s50 = c50_.shape();
  const RecordShape& s60 = c60_.shape();
  Sums& header = headers[static_cast<std::size_t>(month)][journal];
  int number = 0;
  for (const Line& line : lines) {
    const std::string num = Digits(++number, 4);
    const long long francs = FrancsOf(line.euros);
    Account& account = accounts[static_cast<std::size_t>(line.account)];
    std::uint8_t* r = c50_.NewRecord();
    s50.Text(r, 1, "Z");
    s50.Text(r, 2, monthKey);
    s50.Text(r, 3, kJournals[journal].code);
    s50.Text(r, 4, piece);
    s50.Text(r, 5, group);
    s50.Text(r, 6, num);
    s50.Text(r, 7, "0001");
    s50.Text(r, 8, dayText);
    s50.Text(r, 10, account.code);
    s50.Text(r, 11, std::string_view(&line.labelCode, 1));
    s50.Text(r, 12, line.label);
    s50.Text(r, 15, line.due);
    s50.Text(r, 16, "O");
    s50.Text(r, 17, std::string_view(&line.sense, 1));
    s50.Cents(r, 18, francs);
    s50.Cents(r, 19, line.euros);
    s50.Text(r, 23, std::string_view(&line.vat, 1));

    // Its sort record, derived as every writer of a line derives it, with the account of a
    // saved line.
    const std::string recno = Digits(c50_.count(), 6);
    std::uint8_t* t = c60_.NewRecord();
    s60.Text(t, 1, "Z");
    s60.Text(t, 2, account.code);
    s60.Text(t, 3, monthKey);
    s60.Text(t, 4, dayText);
    s60.Text(t, 5, kJournals[journal].code);
    s60.Text(t, 9, "B");
    s60.Text(t, 10, recno);
    s60.Text(t, 11, piece);
    s60.Text(t, 13, num);
    s60.Text(t, 14, "0001");
    s60.Text(t, 15, std::string_view(&line.vat, 1));

    if (line.sense == 'D') {
      account.debitF += francs;
      account.debitE += line.euros;
      header.debitF += francs;
      header.debitE += line.euros;
    } else {
      account.creditF += francs;
      account.creditE += line.euros;
      header.creditF += francs;
      header.creditE += line.euros;
    }
  }
}

void DemoWriter::Sale(int month, int day) {
  const int customer = firstCustomer_ + static_cast<int>(rng_.Next() % static_cast<std::uint64_t>(customers));
  const VatCode& vat = PickVat();
  // Amounts whose francs balance as their euros do, each line converted on its own.
  long long net = rng_.Amount(20, 6000), tax = 0, total = 0;
  for (;; ++net) {
    tax = (net * vat.basisPoints + 5000) / 10000;
    total = net + tax;
    if (FrancsOf(total) == FrancsOf(net) + FrancsOf(tax)) break;
  }
  const bool creditNote = rng_.Chance(5);
  const char in = creditNote ? 'C' : 'D', out = creditNote ? 'D' : 'C';
  const std::string& name = accounts[static_cast<std::size_t>(customer)].name;
  const std::string label = std::string(creditNote ? "Avoir " : "Fact. ") + Digits(pieces + 1, 6) + " " + name;
  const char labelCode = creditNote ? '2' : '1';
  const int product = General(rng_.Chance(70) ? "70700000" : "70600000");
  Piece(month, day, kVE,
        {{customer, labelCode, label, DueDate(month, day, 30), in, total, ' '},
         {product, labelCode, label, "", out, net, vat.code},
         {General("44571000"), labelCode, label, "", out, tax, vat.code}});
  if (!creditNote) openSales_.emplace_back(customer, total);
}

void DemoWriter::Purchase(int month, int day) {
  const int supplier = firstSupplier_ + static_cast<int>(rng_.Next() % static_cast<std::uint64_t>(suppliers));
  const VatCode& vat = PickVat();
  long long net = rng_.Amount(10, 4000), tax = 0, total = 0;
  for (;; ++net) {
    tax = (net * vat.basisPoints + 5000) / 10000;
    total = net + tax;
    if (FrancsOf(total) == FrancsOf(net) + FrancsOf(tax)) break;
  }
  const Account& a = accounts[static_cast<std::size_t>(supplier)];
  const std::string label = "Fact. F" + Digits(rng_.Between(1, 99999), 5) + " " + a.name;
  Piece(month, day, kAC,
        {{General(a.charge.c_str()), '1', label, "", 'D', net, vat.code},
         {General("44566000"), '1', label, "", 'D', tax, vat.code},
         {supplier, '1', label, DueDate(month, day, 45), 'C', total, ' '}});
  openPurchases_.emplace_back(supplier, total);
}

void DemoWriter::Receipt(int month, int day) {
  int customer;
  long long amount;
  if (!openSales_.empty()) {
    const std::size_t i = static_cast<std::size_t>(rng_.Next() % openSales_.size());
    customer = openSales_[i].first;
    amount = openSales_[i].second;
    openSales_[i] = openSales_.back();
    openSales_.pop_back();
  } else {
    customer = firstCustomer_ + static_cast<int>(rng_.Next() % static_cast<std::uint64_t>(customers));
    amount = rng_.Amount(50, 2000);
  }
  const std::string label = "R\xE8glement " + accounts[static_cast<std::size_t>(customer)].name;
  Piece(month, day, kBQ,
        {{General("51200000"), '5', label, "", 'D', amount, ' '}, {customer, '5', label, "", 'C', amount, ' '}});
}

void DemoWriter::Payment(int month, int day) {
  int supplier;
  long long amount;
  if (!openPurchases_.empty()) {
    const std::size_t i = static_cast<std::size_t>(rng_.Next() % openPurchases_.size());
    supplier = openPurchases_[i].first;
    amount = openPurchases_[i].second;
    openPurchases_[i] = openPurchases_.back();
    openPurchases_.pop_back();
  } else {
    supplier = firstSupplier_ + static_cast<int>(rng_.Next() % static_cast<std::uint64_t>(suppliers));
    amount = rng_.Amount(50, 2000);
  }
  const std::string label = "Virement " + accounts[static_cast<std::size_t>(supplier)].name;
  Piece(month, day, kBQ,
        {{supplier, '4', label, "", 'D', amount, ' '}, {General("51200000"), '4', label, "", 'C', amount, ' '}});
}

void DemoWriter::BankFees(int month, int day) {
  const long long amount = rng_.Amount(2, 80);
  Piece(month, day, kBQ,
        {{General("62700000"), '0', "Frais bancaires", "", 'D', amount, ' '},
         {General("51200000"), '0', "Frais bancaires", "", 'C', amount, ' '}});
}

void DemoWriter::Salaries(int month, int day) {
  long long gross = rng_.Between(180000, 450000), employer = 0, employee = 0;
  for (;; ++gross) {
    employer = (gross * 42 + 50) / 100;
    employee = (gross * 22 + 50) / 100;
    if (FrancsOf(gross) + FrancsOf(employer) == FrancsOf(employee + employer) + FrancsOf(gross - employee)) break;
  }
  const std::string label = std::string("Salaires ") + kMonths[static_cast<std::size_t>(month)];
  Piece(month, day, kOD,
        {{General("64110000"), '7', label, "", 'D', gross, ' '},
         {General("64510000"), '7', label, "", 'D', employer, ' '},
         {General("43100000"), '7', label, "", 'C', employee + employer, ' '},
         {General("42100000"), '7', label, "", 'C', gross - employee, ' '}});
}

void DemoWriter::Depreciation(int month, int day) {
  const long long amount = rng_.Amount(100, 1500);
  const std::string label = std::string("Dotation amort. ") + kMonths[static_cast<std::size_t>(month)];
  Piece(month, day, kOD,
        {{General("68112000"), '7', label, "", 'D', amount, ' '}, {General("28154000"), '7', label, "", 'C', amount, ' '}});
}

// Lines of the next piece: a size that leaves no single line over in the month.
int DemoWriter::PieceLines(int remaining) {
  if (remaining <= 3) return remaining;
  if (remaining == 4) return rng_.Chance(85) ? 2 : 4;
  const long long r = rng_.Between(1, 100);
  if (r <= 60) return 3;
  if (r <= 96) return 2;
  return remaining == 5 ? 3 : 4;
}

void DemoWriter::MakeEntries() {
  // The lines of the year shared among the months; a month never gets a single line.
  std::array<long, 12> quota{};
  long carry = 0;
  for (int m = 0; m < 12; ++m) {
    long q = options_.lines / 12 + (m < options_.lines % 12 ? 1 : 0) + carry;
    carry = 0;
    if (q == 1) {
      carry = 1;
      q = 0;
    }
    quota[static_cast<std::size_t>(m)] = q;
  }
  if (carry == 1) {
    for (int m = 11; m >= 0; --m)
      if (quota[static_cast<std::size_t>(m)] > 0) {
        ++quota[static_cast<std::size_t>(m)];
        break;
      }
  }
  for (int m = 0; m < 12; ++m) {
    const long total = quota[static_cast<std::size_t>(m)];
    const Ymd first{options_.year, m + 1, 1};
    const Ymd next = m == 11 ? Ymd{options_.year + 1, 1, 1} : Ymd{options_.year, m + 2, 1};
    const long days = DaysFromCivil(next) - DaysFromCivil(first);
    long remaining = total;
    while (remaining > 0) {
      const int day = static_cast<int>(1 + (total - remaining) * days / total);
      const int n = PieceLines(static_cast<int>(remaining));
      if (n == 4) {
        Salaries(m, day);
      } else if (n == 3) {
        rng_.Chance(55) ? Sale(m, day) : Purchase(m, day);
      } else {
        const long long r = rng_.Between(1, 100);
        if (r <= 50) Receipt(m, day);
        else if (r <= 88) Payment(m, day);
        else if (r <= 95) BankFees(m, day);
        else Depreciation(m, day);
      }
      remaining -= n;
    }
  }
}

void Fail(std::string* message, const std::string& text) {
  if (message != nullptr) *message = text;
}

std::string Amount14(long long cents) { return FormatNumber(14, 2, false, static_cast<double>(cents) / 100.0); }

bool Append(Table& t, const std::vector<std::pair<int, std::string>>& fields) {
  if (!t.AppendBlank()) return false;
  for (const auto& [n, text] : fields)
    if (!t.PutField(n, text.c_str())) return false;
  return t.InsertRecord();
}

bool WriteCodes(const std::string& c10Path, const DemoWriter& w, const DemoOptions& o, long* headerCount) {
  Table c10;
  if (!c10.OpenTable(c10Path, "C10CODE")) return false;
  bool ok = true;
  // Collectives: customers "C" on 411, suppliers "F" on 401.
  ok = ok && Append(c10, {{1, "B"}, {2, "C"}, {3, "Clients"}, {4, "41100000"}});
  ok = ok && Append(c10, {{1, "B"}, {2, "F"}, {3, "Fournisseurs"}, {4, "40100000"}});
  for (const VatCode& v : kVat)
    ok = ok && Append(c10, {{1, "T"}, {2, std::string(1, v.code)}, {3, v.name},
                            {4, std::string(v.rateText) + "44571000" + "44566000"}});
  for (const JournalDef& j : kJournals)
    ok = ok && Append(c10, {{1, "J"}, {2, j.code}, {3, j.name},
                            {4, std::string(1, j.type) + j.counterpart + " " + "        " + "      " + "O"}});
  for (const LabelDef& l : kLabels)
    ok = ok && Append(c10, {{1, "L"}, {2, l.code}, {3, l.name}, {4, std::string(l.shortLabel) + l.type}});

  // The bank, with a RIB and an IBAN whose keys are right.
  std::string rib = std::string("30004") + "00825" + "00012345678" + "00";
  const int ribKey = CheckRibKey(rib);
  if (ribKey > 0) rib.replace(21, 2, Digits(ribKey, 2));
  std::string iban = "FR00" + rib;
  const int ibanKey = CheckIban(iban);
  if (ibanKey > 0) iban.replace(2, 2, Digits(ibanKey, 2));
  const std::string bank4 = Fit("12 boulevard des Italiens", 30) + Fit("", 30) + Fit("75009 Paris", 30) +
                            Fit("Service entreprises", 30) + Fit("123456", 6) + Fit("01 40 14 45 46", 15) +
                            Fit("01 40 14 69 00", 15) + Fit(kCompanyName, 30) + rib + "O" +
                            Fit("entreprises@bnp.exemple.fr", 30);
  const std::string bank5 = Fit(iban, 34) + Fit("BNPAFRPPXXX", 11) + "51200000" + "BQ ";
  ok = ok && Append(c10, {{1, "Q"}, {2, "BNP"}, {3, "BNP Paribas"}, {4, bank4}, {5, bank5}});

  // Journal-month headers of the draft, one per journal-month that has lines.
  *headerCount = 0;
  for (int m = 0; m < 12 && ok; ++m) {
    const std::string monthKey = StoredDateOf(Ymd{o.year, m + 1, 1}).substr(0, 4);
    for (int j = 0; j < kJournalCount && ok; ++j) {
      const Sums& s = w.headers[static_cast<std::size_t>(m)][static_cast<std::size_t>(j)];
      if (s.debitE == 0 && s.creditE == 0 && s.debitF == 0 && s.creditF == 0) continue;
      ok = Append(c10, {{1, "C"}, {2, monthKey + kJournals[static_cast<std::size_t>(j)].code + "B"},
                        {3, kJournals[static_cast<std::size_t>(j)].name},
                        {4, Amount14(s.debitF) + Amount14(s.creditF)},
                        {5, Amount14(s.debitE) + Amount14(s.creditE)}});
      ++*headerCount;
    }
  }
  // The next piece number of the dossier record (record "0", field 4 from position 31).
  if (ok && c10.Seek("C10CODE", "0") && c10.GetField(1)[0] == '0') {
    ok = c10.PutFieldPart(4, DossierRecord::kNextPiecePos - 30, DossierRecord::kNextPieceWidth,
                          Digits(w.pieces + 1, 6).c_str());
  } else {
    ok = false;
  }
  ok = ok && c10.Commit();
  c10.CloseTable();
  return ok;
}

bool WriteAccounts(const std::string& c20Path, std::vector<Account>& accounts) {
  // The collectives carry the totals of their auxiliary accounts too.
  const int clients = ChartIndex("41100000"), suppliers = ChartIndex("40100000");
  for (const Account& a : accounts) {
    if (a.counterpart.empty()) continue;
    Account& c = accounts[static_cast<std::size_t>(a.counterpart == "41100000" ? clients : suppliers)];
    c.debitF += a.debitF;
    c.debitE += a.debitE;
    c.creditF += a.creditF;
    c.creditE += a.creditE;
  }
  Table c20;
  if (!c20.OpenTable(c20Path, "C20CODE")) return false;
  bool ok = true;
  for (const Account& a : accounts) {
    std::vector<std::pair<int, std::string>> f{
        {1, a.code}, {2, a.name}, {17, Amount14(a.debitF)}, {18, Amount14(a.debitE)},
        {19, Amount14(a.creditF)}, {20, Amount14(a.creditE)}};
    if (a.counterpart.empty()) {
      f.emplace_back(26, "N");
    } else {
      f.insert(f.end(), {{3, a.street}, {5, a.town}, {6, a.phone}, {8, a.email}, {25, a.counterpart}});
    }
    if (!(ok = Append(c20, f))) break;
  }
  ok = ok && c20.Commit();
  c20.CloseTable();
  return ok;
}

// Builds every tag of a table written in bulk, the table held exclusively.
bool RebuildTags(const std::string& path) {
  Table t;
  t.shareMode = dbase::dbiOPENEXCL;
  if (!t.OpenTable(path)) return false;
  const bool ok = t.Pack();
  t.CloseTable();
  return ok;
}

// Removes what the run made of a dossier it could not finish.
void RemoveDossier(const std::string& folder, const std::string& code) {
  std::error_code ignored;
  for (const std::string& base : DossierTableNames(code))
    for (const char* ext : {".dbf", ".mdx", ".dbt"}) std::filesystem::remove(folder + base + ext, ignored);
  std::string lower = code;
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  std::filesystem::remove(folder + "c10" + lower + ".ini", ignored);
  std::filesystem::remove(folder + "clg" + lower + ".txt", ignored);
}

}  // namespace

bool GenerateDemoDossier(const DemoOptions& options, std::string* message, DemoStats* stats) {
  if (options.lines < kMinDemoLines || options.lines > kMaxDemoLines) {
    Fail(message, "Le nombre de lignes doit \xEAtre compris entre " + std::to_string(kMinDemoLines) + " et " +
                      std::to_string(kMaxDemoLines) + ".");
    return false;
  }
  if (options.year < 1931 || options.year > 2258) {
    Fail(message, "L'ann\xE9" "e de l'exercice est invalide.");
    return false;
  }
  NewDossierSpec spec;
  spec.folder = options.folder;
  spec.code = options.code;
  spec.companyName = kCompanyName;
  spec.firstDay = Ymd{options.year, 1, 1};
  spec.lastDay = Ymd{options.year, 12, 31};
  if (!CreateDossier(spec, message)) return false;

  const std::string folder = (options.folder.empty() || options.folder.back() == '/') ? options.folder : options.folder + "/";
  std::string code = options.code;
  for (char& c : code)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  const std::string c10 = folder + TableBaseName(TableKind::C10, code);
  const std::string c20 = folder + TableBaseName(TableKind::C20, code);
  const std::string c50 = folder + TableBaseName(TableKind::C50, code);
  const std::string c60 = folder + TableBaseName(TableKind::C60, code);

  BulkWriter w50, w60;
  if (w50.Open(c50 + ".dbf") != dbase::DBIERR_NONE || w60.Open(c60 + ".dbf") != dbase::DBIERR_NONE) {
    Fail(message, "Impossible d'ouvrir les fichiers d'\xE9" "critures du dossier " + code + ".");
    RemoveDossier(folder, code);
    return false;
  }
  DemoWriter writer(options, w50, w60);
  writer.MakeAccounts();
  writer.MakeEntries();
  const std::uint32_t lines = w50.count();
  if (w50.Finish() != dbase::DBIERR_NONE || w60.Finish() != dbase::DBIERR_NONE) {
    Fail(message, "\xC9" "criture impossible des lignes d'\xE9" "critures du dossier " + code + ".");
    RemoveDossier(folder, code);
    return false;
  }
  if (!RebuildTags(c50) || !RebuildTags(c60)) {
    Fail(message, "Construction impossible des index des \xE9" "critures du dossier " + code + ".");
    RemoveDossier(folder, code);
    return false;
  }
  long headerCount = 0;
  if (!WriteCodes(c10, writer, options, &headerCount) || !WriteAccounts(c20, writer.accounts)) {
    Fail(message, "\xC9" "criture impossible des codes et des comptes du dossier " + code + ".");
    RemoveDossier(folder, code);
    return false;
  }
  if (stats != nullptr) {
    stats->lines = static_cast<long>(lines);
    stats->pieces = writer.pieces;
    stats->accounts = static_cast<long>(writer.accounts.size());
    stats->customers = writer.customers;
    stats->suppliers = writer.suppliers;
    stats->journalMonths = headerCount;
  }
  if (message != nullptr) message->clear();
  return true;
}
