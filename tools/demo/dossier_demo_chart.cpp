// The chart of accounts and the analytic sections of the demo dossier. The accounts are written in bulk and their
// tags built once (a chart of 100,000 accounts takes seconds, not minutes): the general accounts of the company,
// then its customers and suppliers under their collectives. Every auxiliary account and the general accounts of
// banks, post office and transfers (the default list "-43-512-514-515-58-") carry a bank domiciliation with a RIB
// whose key is right, the IBAN made of it and a BIC; accounts have previous-year amounts, charges and products
// budgets, and each amount is typed in the main currency with the other one converted at 6.55957. In an analytic
// dossier the accounts of classes 6 and 7 are marked analytic (the others not); without sections the mark stays
// blank.
#include "data/table.h"
#include "demo/dossier_demo_internal.h"
#include "runtime/bank_ids.h"

namespace demo {
namespace {

// C20 fields.
constexpr int kCode = 1, kName = 2, kStreet1 = 3, kStreet2 = 4, kTown = 5, kPhone = 6, kFax = 7, kEmail = 8;
constexpr int kDom1 = 9, kDom2 = 10, kBank = 11, kBranch = 12, kAccountNumber = 13, kKey = 14, kIban = 15, kBic = 16;
constexpr int kDebit = 17, kCredit = 19, kLastDebit = 21, kLastCredit = 23;
constexpr int kCounterpart = 25, kBalanceSheet = 26, kAnalytic = 27, kBudget = 28;

struct BankDef {
  const char* name;  // the domiciliation's first line
  const char* code;  // the RIB's bank code
  const char* bic;
};
constexpr std::array<BankDef, 8> kBanks{{
    {"BNP PARIBAS", "30004", "BNPAFRPPXXX"},
    {"SOCIETE GENERALE", "30003", "SOGEFRPPXXX"},
    {"LCL", "30002", "CRLYFRPPXXX"},
    {"CREDIT AGRICOLE", "30006", "AGRIFRPPXXX"},
    {"CREDIT MUTUEL", "10278", "CMCIFR2AXXX"},
    {"LA BANQUE POSTALE", "20041", "PSSTFRPPXXX"},
    {"CAISSE D'EPARGNE", "17515", "CEPAFRPP751"},
    {"BRED", "10107", "BREDFRPPXXX"},
}};

// The general accounts with a domiciliation by default.
bool DomiciliatedGeneral(const std::string& code) {
  for (const char* prefix : {"43", "512", "514", "515", "58"})
    if (code.compare(0, std::strlen(prefix), prefix) == 0) return true;
  return false;
}

std::string Upper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

// A RIB with its right key, the IBAN made of it and the bank's BIC.
struct Rib {
  std::string bank, branch, account, key, iban, bic, name;
};
Rib MakeRib(Rng& rng) {
  const BankDef& b = rng.Pick(kBanks);
  Rib r;
  r.bank = b.code;
  r.branch = Digits(rng.Between(1, 99999), 5);
  r.account = Digits(rng.Between(1, 99999999999LL), 11);
  // The Banque Postale numbers its accounts with a letter.
  if (r.bank == "20041") r.account[7] = static_cast<char>('A' + rng.Between(0, 25));
  std::string rib = r.bank + r.branch + r.account + "00";
  const int key = CheckRibKey(rib.c_str());
  r.key = Digits(key > 0 ? key : 0, 2);
  std::string iban = "FR00" + r.bank + r.branch + r.account + r.key;
  const int digits = CheckIban(iban.c_str());
  if (digits > 0) iban.replace(2, 2, Digits(digits, 2));
  r.iban = iban;
  r.bic = b.bic;
  r.name = b.name;
  return r;
}

// A positive or negative amount in cents written with its other currency: `main` in the main currency.
void Pair(const RecordShape& s, std::uint8_t* rec, int field, long long main, const Money& money) {
  const long long sign = main < 0 ? -1 : 1;
  const long long other = sign * money.Other(sign * main);
  s.Cents(rec, field, money.francMain() ? main : other);
  s.Cents(rec, field + 1, money.francMain() ? other : main);
}

// The previous year's amounts (cents in the main currency, positive for a debit, negative for a
// credit) of each account: charges on the debit side, products on the credit side, the others
// either; each debit matched by a credit of the same amount, so that the previous year balances
// in both currencies (one amount on each account keeps its other currency its conversion).
std::vector<long long> PreviousYear(const std::vector<Account>& accounts, const Money& money, std::uint64_t seed) {
  Rng rng(seed * 0x9E3779B97F4A7C15ull + 21);
  std::vector<std::size_t> debits, credits, either;
  for (std::size_t i = 0; i < accounts.size(); ++i) {
    if (!rng.Chance(60)) continue;
    const char cls = accounts[i].code[0];
    (cls == '6' ? debits : cls == '7' ? credits : either).push_back(i);
  }
  for (std::size_t i : either) (debits.size() <= credits.size() ? debits : credits).push_back(i);
  std::vector<long long> amounts(accounts.size(), 0);
  for (std::size_t k = 0; k < debits.size() && k < credits.size(); ++k) {
    const long long amount = money.FromEuros(rng.Amount(10, 40000));
    amounts[debits[k]] = amount;
    amounts[credits[k]] = -amount;
  }
  return amounts;
}

}  // namespace

bool WriteChart(const std::string& c20Path, std::vector<Account>& accounts, const DemoOptions& options) {
  // The collectives carry the totals of their auxiliary accounts too.
  const int clients = ChartIndex("41100000"), suppliers = ChartIndex("40100000");
  for (const Account& a : accounts) {
    if (a.counterpart.empty()) continue;
    accounts[static_cast<std::size_t>(a.counterpart == "41100000" ? clients : suppliers)].totals.Add(a.totals);
  }
  const Money money(options.currency == DossierCurrency::FrancMain);
  const bool analytic = options.analyticMode != '0';
  const std::vector<long long> previous = PreviousYear(accounts, money, options.seed);
  Rng rng(options.seed * 0x9E3779B97F4A7C15ull + 20);
  BulkWriter w;
  if (w.Open(c20Path + ".dbf") != dbase::DBIERR_NONE) return false;
  const RecordShape& s = w.shape();
  for (std::size_t index = 0; index < accounts.size(); ++index) {
    const Account& a = accounts[index];
    std::uint8_t* r = w.NewRecord();
    const bool auxiliary = !a.counterpart.empty();
    const char cls = a.code[0];
    s.Text(r, kCode, a.code);
    s.Text(r, kName, a.name);
    s.Cents(r, kDebit, a.totals.debitF);
    s.Cents(r, kDebit + 1, a.totals.debitE);
    s.Cents(r, kCredit, a.totals.creditF);
    s.Cents(r, kCredit + 1, a.totals.creditE);
    if (auxiliary) {
      s.Text(r, kStreet1, a.street);
      if (rng.Chance(20)) s.Text(r, kStreet2, "B\xE2timent " + std::string(1, static_cast<char>('A' + rng.Between(0, 5))));
      s.Text(r, kTown, a.town);
      s.Text(r, kPhone, a.phone);
      if (rng.Chance(30)) s.Text(r, kFax, a.phone.substr(0, a.phone.size() - 2) + Digits(rng.Between(0, 99), 2));
      s.Text(r, kEmail, a.email);
      s.Text(r, kCounterpart, a.counterpart);
    } else {
      // Internal transfers must be balanced at the balance sheet.
      s.Text(r, kBalanceSheet, cls == '5' && a.code[1] == '8' ? "O" : "N");
      if (analytic) s.Text(r, kAnalytic, a.analytic ? "O" : "N");
    }
    if (auxiliary ? rng.Chance(70) : DomiciliatedGeneral(a.code)) {
      const Rib rib = MakeRib(rng);
      s.Text(r, kDom1, rib.name);
      s.Text(r, kDom2, Upper(auxiliary ? a.town.substr(a.town.find(' ') + 1) : std::string("Tours")));
      s.Text(r, kBank, rib.bank);
      s.Text(r, kBranch, rib.branch);
      s.Text(r, kAccountNumber, rib.account);
      s.Text(r, kKey, rib.key);
      s.Text(r, kIban, rib.iban);
      s.Text(r, kBic, rib.bic);
    }
    // The previous year. The draws that made it once are still drawn, so that what follows keeps its values.
    if (rng.Chance(60)) {
      static_cast<void>(rng.Amount(10, 40000));
      if (cls != '6' && cls != '7') rng.Chance(50);
    }
    if (const long long amount = previous[index]; amount != 0)
      Pair(s, r, amount > 0 ? kLastDebit : kLastCredit, amount > 0 ? amount : -amount, money);
    // Budgets of charges (debit, positive) and products (credit, negative).
    if ((cls == '6' || cls == '7') && rng.Chance(80)) {
      const long long amount = money.FromEuros(rng.Amount(500, 60000));
      Pair(s, r, kBudget, cls == '6' ? amount : -amount, money);
    }
  }
  if (w.Finish() != dbase::DBIERR_NONE) return false;
  return RebuildTags(c20Path);
}

bool WriteSections(const std::string& c30Path, const std::vector<Section>& sections, const DemoOptions& options) {
  if (sections.empty()) return true;
  const Money money(options.currency == DossierCurrency::FrancMain);
  Rng rng(options.seed * 0x9E3779B97F4A7C15ull + 30);
  BulkWriter w;
  if (w.Open(c30Path + ".dbf") != dbase::DBIERR_NONE) return false;
  const RecordShape& s = w.shape();
  // C30 fields: code, name, three address lines, telephone, fax, e-mail, totals, previous year, budget.
  for (const Section& x : sections) {
    std::uint8_t* r = w.NewRecord();
    s.Text(r, 1, x.code);
    s.Text(r, 2, x.name);
    s.Text(r, 3, std::to_string(rng.Between(1, 90)) + " " + rng.Pick(kStreets));
    s.Text(r, 5, rng.Pick(kTowns));
    s.Text(r, 6, "02 47 " + Digits(rng.Between(0, 99), 2) + " " + Digits(rng.Between(0, 99), 2) + " " +
                     Digits(rng.Between(0, 99), 2));
    std::string mail = x.code;
    while (!mail.empty() && mail.back() == ' ') mail.pop_back();
    for (char& c : mail)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    s.Text(r, 8, mail + "@ateliers-merlon.fr");
    s.Cents(r, 9, x.totals.debitF);
    s.Cents(r, 10, x.totals.debitE);
    s.Cents(r, 11, x.totals.creditF);
    s.Cents(r, 12, x.totals.creditE);
    Pair(s, r, rng.Chance(50) ? 13 : 15, money.FromEuros(rng.Amount(100, 50000)), money);
    Pair(s, r, 17, money.FromEuros(rng.Amount(1000, 80000)) * (rng.Chance(70) ? 1 : -1), money);
  }
  if (w.Finish() != dbase::DBIERR_NONE) return false;
  return RebuildTags(c30Path);
}

}  // namespace demo
