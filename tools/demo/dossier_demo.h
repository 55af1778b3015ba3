// The demo dossier: a French trading and services company with its chart of accounts (plan
// comptable général), customers and suppliers, VAT codes, journals AC, VE, BQ, OD and AN, and a
// financial year of balanced entries with VAT, their sort records, the journal-month headers
// and the account totals; its first months validated into the closed file with an opening
// entry, the others in the draft; invoices matched with their settlements; with analytic
// sections, the lines of the charge and product accounts are split over one or two axes of
// sections, whose totals are written too.
//
// Every line carries its amount in euros and in francs: typed in the main currency, the other
// one converted at 6.55957 and rounded to the cent; every piece, hence every journal-month,
// and every analytic split balances in both currencies. The entry lines are written in bulk
// and the tags built once at the end; the totals are summed in whole cents in memory and each
// total record is written once.
#pragma once

#include <cstdint>
#include <string>

#include "data/books_write_permit.h"
#include "dossier/core/dossier_create.h"
#include "runtime/dates.h"

// Most lines a demo dossier can hold: the sort file points at its line by a record number of
// six digits, so record 1,000,000 could not be told from an empty pointer.
inline constexpr long kMaxDemoLines = 999999;
inline constexpr long kMinDemoLines = 2;
inline constexpr long kMaxDemoAccounts = 100000;
// The name of the generator's permit to write the books (data/books_write_permit.h).
inline constexpr const char* kDemoRun = "dossier-demonstration";

struct DemoOptions {
  std::string folder;
  std::string code = "DEMO";
  long lines = 5000;              // C50 records: the general lines and their analytic records
  Ymd firstDay{2026, 1, 1};       // the financial year: any first day, at most 24 months
  Ymd lastDay{2026, 12, 31};
  DossierCurrency currency = DossierCurrency::EuroOnly;
  char analyticMode = '0';        // "0" no sections, "1" one axis, "2" two axes
  long accounts = 0;              // C20 records; 0 chooses from the number of lines
  std::string siren;              // 9 digits with a valid key; empty gives the company's own
  // Months validated into the closed file from the year's first, with the opening entry in the
  // journal "AN"; -1 chooses a third of the months, 0 leaves every line in the draft.
  int closedMonths = 0;
  // Invoices matched with their settlements (letters in francs and in euros).
  bool matchings = false;
  // The lines of the bank account 51200000 reconciled with monthly statements (the letter of the main
  // currency), every month but the last two, a few lines of each left out.
  bool bankStatements = false;
  // The dossier at its year's end: every month validated (closedMonths aside), the draft without a
  // live line, the working date on the last day, the opening balances set to carry the unmatched
  // and unreconciled lines one by one with the letters checked.
  bool yearEnd = false;
  // The VAT detail of the returns on debits and on receipts: the accounts 44520000, 44562000 and
  // 44567000 and a VAT code at 2.10 %; each month, under every VAT code, a sale (4457), an
  // intra-community acquisition (4452 and 4456) and a fixed asset bought (44562); the customer
  // payments in BQ carrying the VAT mark of the invoice they settle; credits carried on 44567.
  bool vatDetail = false;
  std::uint64_t seed = 1;         // same seed, same dossier
};

struct DemoStats {
  long lines = 0;            // C50 and C40 (and C60) records written
  long analyticLines = 0;    // of which analytic lines (kinds "W" and "Y")
  long pieces = 0;
  long accounts = 0;         // C20 records
  long customers = 0;
  long suppliers = 0;
  long sections = 0;         // C30 records
  long journalMonths = 0;    // C10 headers of kind "C", draft and closed
};

// The key digit that makes a run of digits pass the Luhn check, as the SIREN (8 digits + key)
// and the SIRET (SIREN + establishment number of 4 digits + key) carry it; -1 for a text that
// is not all digits.
int LuhnKey(const std::string& digits);

// Creates the dossier (CreateDossier) and fills it. Needs the engine session. False with a
// French *message when the options are refused or a write fails: a dossier refused because
// it exists is left untouched, and one that fails half-way is removed again.
bool GenerateDemoDossier(const DemoOptions& options, std::string* message = nullptr, DemoStats* stats = nullptr);
