// The export of the general trial balance for the CEGID accounting product (layouts of
// TypeListe "XC"): fixed-width records from "***DEBUT***" to "***FIN***": the dossier's
// identity and year, its journals, the two collective accounts, the accounts of the chart,
// then for each month, journal and block of at most 99 lines the entry lines of the period.
//
// Every record starts with its record code printed in 3 positions; records longer than 93
// characters continue in the layout's second variable (XC_CEGID_2). The whole sequence is
// made before anything is written, so that a run that must stop (a letter without collective
// account, two auxiliary accounts given one number, an amount that does not read as a number)
// writes nothing.
#pragma once

#include <string>
#include <vector>

#include "reports/balances/core/account_gathering.h"
#include "reports/balances/core/balance_source.h"
#include "reports/balances/core/code_lists.h"

namespace balances {

struct CegidContext {
  std::string dossierCode;    // 5 digits (CegidDossierCode)
  std::string name, street, street2, townLine;  // 30 characters each
  std::string siren;          // 9
  std::string establishment;  // 5
  std::string activity;       // 4
  std::string yearStart, yearEnd;  // stored YYMMDD
  std::string periodStart, periodEnd;  // stored YYMMDD
  std::string constant048 = "N8";  // "N6", "A8" ...
  char constant045 = 'N';
  int currency = 1;           // 0 francs, 1 euros
};

// The dossier code the other product knows, as typed: digits only, at most 5, padded on the
// left with "0" ("123" gives "00123"); nothing typed gives "00000". "" and a French *message
// for anything else.
std::string CegidDossierCode(const std::string& typed, std::string* message = nullptr);

class CegidExport {
 public:
  // The records of the run; false with a French *message when it must stop.
  bool Build(const BalanceSource& source, const CodeLists& codes, const ChartList& chart,
             const CegidContext& context, std::string* message = nullptr);
  // Each record whole (the layout writes its first 93 characters, then the rest).
  const std::vector<std::string>& Records() const { return records_; }
  // The file: one record a line, CR LF.
  std::string Content() const;

  // The number an account takes in the other product (10 characters): see the 'C' records.
  static std::string AccountNumber(const ChartEntry& account, const std::string& constant048);

 private:
  std::vector<std::string> records_;
};

}  // namespace balances
