// The demo dossier: a French trading and services company with its chart of accounts (plan
// comptable général), customers and suppliers, VAT codes, journals AC, VE, BQ and OD, and a
// financial year of balanced draft entries with VAT, their sort records, the journal-month
// headers and the account totals.
//
// Every line carries its amount in euros and in francs (francs = euros x 6.55957 rounded to
// the cent); every piece, hence every journal-month, balances in both currencies. The
// entry lines are written in bulk and the tags built once at the end; the totals are summed
// in whole cents in memory and each total record is written once.
#pragma once

#include <cstdint>
#include <string>

// Most lines a demo dossier can hold: the sort file points at its line by a record number of
// six digits, so record 1,000,000 could not be told from an empty pointer.
inline constexpr long kMaxDemoLines = 999999;
inline constexpr long kMinDemoLines = 2;

struct DemoOptions {
  std::string folder;
  std::string code = "DEMO";
  long lines = 5000;
  int year = 2026;           // the financial year runs from 1 January to 31 December
  std::uint64_t seed = 1;    // same seed, same dossier
};

struct DemoStats {
  long lines = 0;            // C50 (and C60) records written
  long pieces = 0;
  long accounts = 0;         // C20 records
  long customers = 0;
  long suppliers = 0;
  long journalMonths = 0;    // C10 headers of kind "C"
};

// Creates the dossier (CreateDossier) and fills it. Needs the engine session. False with a
// French *message when the options are refused or a write fails: a dossier refused because
// it exists is left untouched, and one that fails half-way is removed again.
bool GenerateDemoDossier(const DemoOptions& options, std::string* message = nullptr, DemoStats* stats = nullptr);
