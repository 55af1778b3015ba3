// Creation of a new dossier without any window: every table of the dossier with its tags,
// the dossier INI, the first log line and the dossier record (C10 records "0" and "P0") with
// the default constants and the euro settings. Also the empty reference tables of the
// program folder.
//
// Every function here needs the engine session of the table layer (StartDbSession) and
// leaves the open dossier (DossierFolder, DossierCode, the global tables) as it was.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "runtime/dates.h"
#include "runtime/dossier_record.h"

// Francs for one euro, as stored in every new dossier.
inline constexpr double kEuroRate = 6.55957;
// Longest financial year a dossier may have, in months.
inline constexpr int kMaxYearMonths = 24;

// The currencies a dossier keeps: the euro or the franc as the main currency, or the euro only.
enum class DossierCurrency { EuroMain, FrancMain, EuroOnly };

// What a new dossier is made of.
struct NewDossierSpec {
  std::string folder;        // created when missing; keeps its case
  std::string code;          // 1-5 letters, digits or "-"; letters are upper-cased
  std::string companyName;   // cp1252, cut to 30 characters
  Ymd firstDay;              // first day of the financial year
  Ymd lastDay;               // last day of the financial year
  char analyticMode = 'N';   // "N", "1" or "2"
  DossierCurrency currency = DossierCurrency::EuroOnly;
};

// The dossier constants a new dossier starts with (75 texts of 3 characters, blank when the
// constant has no default).
const std::vector<std::string>& DefaultDossierConstants();

// The dossier record of a new dossier: name, year, analytic mode, next piece 1, working date
// (today within the year, else its first day), the rate "6.55957", the currency (character 533
// "N" when the franc is the main one; constant 039 "OUI" for the euro only, else "NON"), the
// default constants and every access right granted.
DossierRecord NewDossierRecord(const NewDossierSpec& spec);

// Checks of the dossier code, the financial year and the company name; "" when they are
// acceptable, else the French message to show.
std::string CheckDossierCode(std::string_view code);
std::string CheckFinancialYear(const Ymd& firstDay, const Ymd& lastDay);

// Base names (lower case, no extension) of every file a dossier of that code has: the
// tables C10 to C70 and the lock table.
std::vector<std::string> DossierTableNames(std::string_view code);

// Creates the dossier. Refuses an invalid code or year, a blank company name and a folder
// that already holds a file of that dossier (never overwrites). On failure nothing of the
// new dossier is left behind and *message (when given) says why, in French.
bool CreateDossier(const NewDossierSpec& spec, std::string* message = nullptr);
bool CreateDossier(const std::string& folder, const std::string& code, const std::string& companyName,
                   const Ymd& firstDay, const Ymd& lastDay, std::string* message = nullptr);

// Makes the empty reference tables "cr00ref" (lock table), "cr10ref" (C10) and "cr50ref"
// (C50) in `folder`, replacing older ones. False with *message on failure.
bool MakeReferenceTables(const std::string& folder, std::string* message = nullptr);
