// What the files of the demo generator share: randomness, amounts in both currencies, the
// bulk writer of records, the company's accounts and sections, and the writer of the entries.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "demo/dossier_demo.h"
#include "demo/dossier_demo_world.h"
#include "platform/dbase/dbf.h"

class Table;

namespace demo {

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
    return a < b ? a : b;
  }
  template <class T, std::size_t N>
  const T& Pick(const std::array<T, N>& items) {
    return items[static_cast<std::size_t>(Next() % N)];
  }

 private:
  std::uint64_t state_;
};

// Amounts typed in the main currency, in cents; the other currency is converted at 6.55957
// francs for one euro and rounded half away from zero (amounts are positive).
class Money {
 public:
  explicit Money(bool francMain) : francMain_(francMain) {}
  static long long FrancsOf(long long euroCents) { return (euroCents * 655957 + 50000) / 100000; }
  static long long EurosOf(long long francCents) { return (francCents * 200000 + 655957) / 1311914; }
  bool francMain() const { return francMain_; }
  long long Other(long long main) const { return francMain_ ? EurosOf(main) : FrancsOf(main); }
  long long Francs(long long main) const { return francMain_ ? main : FrancsOf(main); }
  long long Euros(long long main) const { return francMain_ ? EurosOf(main) : main; }
  // A main amount of about that many euros.
  long long FromEuros(long long euroCents) const { return francMain_ ? FrancsOf(euroCents) : euroCents; }
  char EntryLetter() const { return francMain_ ? 'N' : 'O'; }

 private:
  bool francMain_;
};

std::string Fit(std::string text, std::size_t width);
std::string Digits(long long value, int width);

// A net amount (raised to the next cent that fits) whose VAT at `basisPoints` and total convert as
// they add up, each line converted on its own.
void NetAndTax(const Money& money, long long basisPoints, long long& net, long long& tax, long long& total);

// Where each field lies in the records of a data file, by field number.
struct RecordShape {
  std::vector<std::pair<std::uint16_t, std::uint8_t>> fields;  // offset, width (index = number - 1)
  std::size_t length = 0;

  explicit RecordShape(const dbase::DbfFile& dbf);
  void Text(std::uint8_t* rec, int field, std::string_view text) const {
    const auto [offset, width] = fields[static_cast<std::size_t>(field - 1)];
    std::memcpy(rec + offset, text.data(), std::min<std::size_t>(width, text.size()));
  }
  // A positive or negative amount in cents, right-aligned with two decimals.
  void Cents(std::uint8_t* rec, int field, long long cents) const;
};

// Appends records to a data file in chunks; Finish writes the count and the end mark.
class BulkWriter {
 public:
  static constexpr std::uint32_t kChunk = 16384;

  dbase::DBIResult Open(const std::string& path);
  const RecordShape& shape() const { return *shape_; }
  std::uint32_t count() const { return written_ + pending_; }
  // A blank record to fill; it belongs to record number count() after the call.
  std::uint8_t* NewRecord();
  dbase::DBIResult Finish();

 private:
  void Flush();

  dbase::DbfFile dbf_;
  std::unique_ptr<RecordShape> shape_;
  std::vector<std::uint8_t> buffer_;
  std::uint32_t written_ = 0;
  std::uint32_t pending_ = 0;
  dbase::DBIResult status_ = dbase::DBIERR_NONE;
};

// Debit and credit of both currencies, in cents.
struct Sums {
  long long debitF = 0, debitE = 0, creditF = 0, creditE = 0;
  void Add(char sense, long long francs, long long euros) {
    if (sense == 'D') {
      debitF += francs;
      debitE += euros;
    } else {
      creditF += francs;
      creditE += euros;
    }
  }
  void Add(const Sums& s) {
    debitF += s.debitF;
    debitE += s.debitE;
    creditF += s.creditF;
    creditE += s.creditE;
  }
  bool Empty() const { return debitF == 0 && debitE == 0 && creditF == 0 && creditE == 0; }
};

struct Account {
  std::string code;  // 8 characters
  std::string name;
  std::string street, town, phone, email;
  std::string counterpart;  // collective account of an auxiliary account
  std::string charge;       // a supplier's charge account
  bool analytic = false;    // its lines are split over the analytic sections
  Sums totals;
};

struct Section {
  std::string code;  // 8 characters
  std::string name;
  Sums totals;
};

// A month of the financial year, or the part of it that the year covers.
struct Period {
  Ymd first;
  Ymd last;
  std::string monthKey;  // stored YYMM
};


struct Line {
  int account;           // index into the accounts
  char labelCode;
  std::string label;
  std::string due;       // stored date or empty
  char sense;
  long long main;        // cents of the main currency
  char vat = ' ';
};

// Where a general line was written: its file ("B" the draft C50, "C" the closed C40, 0 not
// written or cancelled), its record there and the record of its sort record in C60.
struct LineRef {
  char file = 0;
  std::uint32_t recno = 0;
  std::uint32_t sortRecno = 0;
};

// An invoice not yet settled: its account, its amount and its line.
struct OpenItem {
  int account = 0;
  long long amount = 0;
  LineRef line;
  char vat = ' ';  // the VAT mark of a sale, which its settlement carries in a dossier with the VAT detail
};

// Two lines of an account matched together, with their letters in francs and in euros.
struct Matching {
  LineRef first, second;
  std::string letterF, letterE;
};

// What a bookkeeper leaves cancelled in the draft (dossier_demo_journal.cpp): whole pieces
// cancelled with their lines, and lines typed with a wrong amount, cancelled and typed again.
// Drawn from a stream of its own, so the rest of the year stays as the seed makes it.
class CancelledEntries {
 public:
  explicit CancelledEntries(std::uint64_t seed) : rng_(seed * 0x9E3779B97F4A7C15ull + 11) {}
  // The next piece is cancelled with every line.
  bool CancelsPiece();
  // The general line of the next piece first typed wrong (cancelled, then typed again), -1 none.
  int MistypedLine(int lineCount);
  // The wrong amount typed for a line of that amount (cents of the main currency).
  long long WrongAmount(long long main);
  // Records a piece can take beyond its own: the mistyped line.
  static constexpr int kExtraRecords = 1;

 private:
  Rng rng_;
};

// The company's accounts and sections, and its entries written as C50 lines with their C60
// sort records.
class DemoWriter {
 public:
  DemoWriter(const DemoOptions& options, BulkWriter& c50, BulkWriter& c60);

  // The chart, the customers and the suppliers; the sections of each axis.
  void MakeAccounts(long customers, long suppliers);
  void MakeSections();
  void MakeEntries(const std::vector<Period>& periods);
  // The closed file: the months validated at the start of the year are written there, as the
  // validation copies draft lines (dossier_demo_ledgers.cpp). Without it every line is a draft.
  void SetClosedFile(BulkWriter* c40, int closedPeriods) {
    c40_ = c40;
    closedPeriods_ = c40 != nullptr ? closedPeriods : 0;
  }
  // Lines written, draft and closed.
  std::uint32_t Written() const { return c50_.count() + (c40_ != nullptr ? c40_->count() : 0); }

  std::vector<Account> accounts;
  std::vector<Section> sections;                 // axis 1, then axis 2
  std::vector<std::array<Sums, kJournalCount>> headers;        // draft totals per period
  std::vector<std::array<Sums, kJournalCount>> closedHeaders;  // closed totals per period
  std::vector<Matching> matchings;               // written into the lines once they are all written
  bool openingWritten = false;                   // the journal "AN" has its opening entry
  long pieces = 0;
  long analyticLines = 0;
  long customers = 0;
  long suppliers = 0;

 private:
  int General(const char* code) const;
  // Writes one piece: its lines as C50 records with their C60 records (and analytic
  // records), and adds them to the totals.
  void Piece(Journal journal, const std::vector<Line>& lines);
  // The analytic records of a general line on one axis: the header copy and its split.
  void Split(int axis, const std::string& number, const Line& line, const Account& account, long long francs,
             long long euros, bool cancelled, const Money& money);
  // A C50 record and its C60 record; a cancelled line gives two cancelled records.
  void WriteRecord(char kind, const std::string& code, const std::string& account, const std::string& number,
                   const std::string& subNumber, const Line& line, char entry, long long francs, long long euros,
                   bool cancelled = false);
  // Most C50 records a piece of that kind can take.
  int MostRecords(int kind) const;
  // In a dossier of two currencies, about one piece in six is typed in the other currency: its lines
  // convert to the main currency one by one, and a rounding line ("o" or "n", on the rounding account of
  // its side) takes the main currency's difference.
  bool TypedInOtherCurrency();
  void RoundingLine(long long mainDifference);
  // A sale; `vat` given, at that VAT code.
  void Sale(const VatCode* vat = nullptr);
  void Purchase();
  // A customer payment; `item` given, the settlement of that invoice.
  void Receipt(const OpenItem* item = nullptr);
  void Payment();
  void Remittance(int cheques);
  void BankFees();
  void Salaries();
  void Depreciation();
  // The VAT detail of a period (dossier_demo_vat.cpp): under every VAT code a sale, an
  // intra-community acquisition and a fixed asset bought, and the credits carried on 44567, as far
  // as the period's records left allow; they are taken from `remaining`.
  void VatDetail(std::size_t index, const Period& period, std::size_t periodCount, long& remaining);
  void IntraCommunityAcquisition(const VatCode& vat);
  void FixedAssetBought(const VatCode& vat);
  void CreditCarried();
  std::string DueDate(int days) const;
  // The closed side (dossier_demo_ledgers.cpp): the lines of an opening entry dated the year's
  // first day in the journal of the opening balances, how many lines it takes, a line of a
  // closed month copied from its draft form as the validation copies it, and two lines matched.
  long OpeningLineCount() const;
  void OpeningEntry();
  void WriteClosedRecord(const std::uint8_t* draft, std::uint32_t* recno);
  void Match(const LineRef& first, const LineRef& second, int account);
  // A settled item whose amount is unchanged is matched with its settlement.
  void Settled(const OpenItem& item, const LineRef& settlement, long long paid);

  const DemoOptions& options_;
  const Money money_;
  const int axes_;
  Rng rng_;
  CancelledEntries cancels_;
  Rng currency_;              // a stream of its own: the rest of the year stays as the seed makes it
  int roundingDebit_ = -1;    // the rounding accounts, in a dossier of two currencies
  int roundingCredit_ = -1;
  bool mayMistype_ = true;  // false for the remittance that fills the end of a period
  int firstVatAccount_ = -1;  // kVatAccounts in the accounts, with the VAT detail
  std::vector<OpenItem> vatSales_;  // the VAT detail's sales of the month, paid the month after
  BulkWriter& c50_;
  BulkWriter& c60_;
  int firstCustomer_ = 0, firstSupplier_ = 0;
  std::vector<OpenItem> openSales_;      // customer, amount due (cents), invoice line
  std::vector<OpenItem> openPurchases_;  // supplier, amount due, invoice line
  // The closed file and the periods written there; within the last one the pieces of its last
  // quarter stay in the draft (typed after the validation).
  BulkWriter* c40_ = nullptr;
  int closedPeriods_ = 0;
  bool closed_ = false;
  std::string validation_;                 // stored date of the validation of the closed lines
  std::vector<std::uint8_t> draftRecord_;  // a draft record before it is copied
  std::vector<LineRef> pieceLines_;        // the general lines of the piece just written
  std::vector<int> letterCount_;           // per account: matchings made
  // The piece being written: its period, date and identity.
  std::size_t period_ = 0;
  Journal journal_ = kOD;
  Ymd date_;
  std::string monthKey_, dayText_, piece_, group_;
  int number_ = 0;
};

// The rounding accounts of the exchange-rounding lines, in a dossier of two currencies only: a debit
// difference on 66600000, a credit one on 76600000 (the program's defaults); general accounts of the chart
// beside kChart.
inline constexpr std::array<GeneralAccount, 2> kRoundingAccounts{{
    {"66600000", "Pertes de change"},
    {"76600000", "Gains de change"},
}};
inline long RoundingAccountCount(const DemoOptions& o) {
  return o.currency == DossierCurrency::EuroOnly ? 0 : static_cast<long>(kRoundingAccounts.size());
}

// The VAT accounts of a dossier with the VAT detail (DemoOptions::vatDetail), general accounts of the
// chart beside kChart, and its VAT code beside kVat.
inline constexpr std::array<GeneralAccount, 3> kVatAccounts{{
    {"44520000", "TVA due intracommunautaire"},
    {"44562000", "TVA d\xE9" "ductible sur immobilisations"},
    {"44567000", "Cr\xE9" "dit de TVA \xE0 reporter"},
}};
inline constexpr std::array<VatCode, 1> kVatDetailCodes{{
    {'4', "TVA taux particulier 2,1 %", " 2.10", 210},
}};
inline long VatAccountCount(const DemoOptions& o) { return o.vatDetail ? static_cast<long>(kVatAccounts.size()) : 0; }

// Writes into the open general file the code lists the entries do not use: establishments
// (numbered as the SIRET of `siren` goes on), entry models with their keyword lines,
// distribution codes, journals with their own piece counter, the labels of the remaining
// types and the banks "BQ01" and "BQ02" with RIB, IBAN and BIC.
bool WriteCodeLists(Table& c10, const std::string& siren);

// Writes the chart of accounts into the empty C20 (path without extension): the accounts in bulk with their
// domiciliations, counterparts, previous-year amounts, budgets and analytic marks, the collectives carrying the
// totals of their auxiliary accounts; then its tags.
bool WriteChart(const std::string& c20Path, std::vector<Account>& accounts, const DemoOptions& options);
// Writes the analytic sections into the empty C30, with their addresses, previous-year amounts and budgets.
bool WriteSections(const std::string& c30Path, const std::vector<Section>& sections, const DemoOptions& options);
// Writes into the text of each analytic account of C20 its default split ("CA1=", "CA2=" with "%=") over the
// sections of its axes (dossier_demo_split_texts.cpp).
bool WriteSplitTexts(const std::string& c20Path, const std::vector<Account>& accounts, int axes);
// Builds every tag of a table written in bulk, the table held exclusively.
bool RebuildTags(const std::string& path);

// The supplier payments by credit transfer (dossier_demo_payments.cpp): the label "V" in the
// general file, given to both lines of the pieces of journal BQ that pay a supplier with a right
// IBAN and BIC. *marked (may be null) counts the transfers.
bool MarkTransferPayments(const std::string& c10Path, const std::string& c20Path, const std::string& c50Path,
                          const std::vector<Period>& periods, long* marked = nullptr);
// The due dates of the open customer invoices of the last three months spread on both sides of
// the ageing limits of a schedule made at the year's last day (dossier_demo_payments.cpp).
bool SpreadDueDates(const std::string& c50Path, const std::vector<Period>& periods, long* moved = nullptr);
// Dossier constant 043, the bank of the supplier payments, names the bank BQ01.
bool NameThePayingBank(const std::string& c10Path);
// The VAT marks of the customer payments in BQ that settle an invoice: the invoice's mark, on the
// line and its sort record (dossier_demo_vat.cpp). *marked (may be null) counts them.
bool MarkReceiptsVat(const std::string& c50Path, const std::string& c60Path, const std::vector<Period>& periods,
                     long* marked = nullptr);
// The VAT codes of a dossier with the VAT detail beside those of kVat (dossier_demo_vat.cpp).
bool WriteVatDetailCodes(const std::string& c10Path);
// The months validated into the closed file (DemoOptions::closedMonths; a third by default).
int ClosedPeriods(const DemoOptions& options, std::size_t periods);
// Writes the letters of the matchings into their lines (C50 or C40) and their sort records
// (paths without extension), once the files are complete.
bool WriteMatchings(const std::string& c50Path, const std::string& c40Path, const std::string& c60Path,
                    const std::vector<Matching>& matchings);
// Letters the lines of the bank account 51200000 with the monthly statements they were reconciled
// with (dossier_demo_bank.cpp): every month but the last two, a few lines of each left out; the
// letter of the main currency only. Paths without extension, before the tags are built.
bool WriteBankReconciliations(const std::string& c50Path, const std::string& c40Path, const std::string& c60Path,
                              const std::vector<Period>& periods, bool francMain);
// The dossier record and constants of a dossier made at its year's end (dossier_demo_yearend.cpp); nothing
// without DemoOptions::yearEnd.
bool PrepareYearEnd(const std::string& c10Path, const DemoOptions& options);

}  // namespace demo
