// The options of the ledger reports: what a limits form leaves in its report window's slot of
// the open-window registry (a fixed-width record), as plain structures. Dates are StoredDate
// texts (YYMMDD), codes blank-padded, yes / no options "O" / "N" in the records.
#pragma once

#include <string>

namespace ledgers {

// The account statement's record, 29 characters.
struct AccountStatementOptions {
  static constexpr int kLength = 29;
  std::string account = std::string(8, ' ');  // 1-8: an account, or a section when analytic
  std::string dateFrom, dateTo;               // 9-14, 15-20
  bool monthlySubtotals = false;              // 21 "Avec Sous-Total par Journal et par Mois"
  bool priorCumulation = false;               // 22 "Avec Cumuls Antérieurs"
  char letteringFilter = '1';                 // 23 "1" ... "5" (blank when the record is short)
  bool analytic = false;                      // 24 "Anal&ytique"
  bool inEuros = false;                       // 25 "En Eur&os"
  std::string matchingLetter = "    ";        // 26-29 "Seulement le Lettrage"

  // Positions beyond a short record read as blanks (a flag then counts as "N").
  static AccountStatementOptions FromRecord(const std::string& record);
  std::string ToRecord() const;
  // "ECA-" for an analytic statement, else "EC-".
  std::string ReportPrefix() const { return analytic ? "ECA-" : "EC-"; }
};

// The general ledgers' record, 67 characters.
struct GeneralLedgerOptions {
  static constexpr int kLength = 67;
  char kind = 'T';            // 1: T C F G R A (
  std::string collectives;    // 2-27, the collective letters of kind "A"
  std::string accountFrom = std::string(8, ' ');  // 28-35 (blank: from the first)
  std::string accountTo = std::string(8, ' ');    // 36-43 (blank: to the last)
  std::string dateFrom, dateTo;                   // 44-49, 50-55
  bool monthlySubtotals = false;  // 56: read by no general ledger; the form writes "N"
  bool priorCumulation = false;   // 57
  char letteringFilter = '1';     // 58 (blank when the record is short)
  bool inEuros = false;           // 59
  // 60-67: the general account of the analytic block being read (blank in the form's record).
  std::string sectionGeneralAccount = std::string(8, ' ');

  static GeneralLedgerOptions FromRecord(const std::string& record);
  std::string ToRecord() const;
};

// The journal listings' record, 16 characters.
struct JournalListingOptions {
  static constexpr int kLength = 16;
  std::string monthSelector = "    ";  // 1-4: YYMM, YY + two blanks (a calendar year), blanks (all)
  std::string journal = "   ";         // 5-7: blanks = all journals
  bool summary = false;                // 8 "&Récapitulatif"
  bool analytic = false;               // 9 "&Analytique"
  bool inEuros = false;                // 16 "En Eur&os"

  static JournalListingOptions FromRecord(const std::string& record);
  std::string ToRecord() const;
  // "EJRA-", "EJA-", "EJR-" or "EJ-".
  std::string ReportPrefix() const;
  // The choice dialog's options level: 0 without a full month and a journal (no page range),
  // else 1 (no limits).
  int ChoiceOptionsLevel() const;
  bool WholeYear() const { return monthSelector.size() == 4 && monthSelector[0] != ' ' && monthSelector[2] == ' '; }
  bool FullMonth() const { return monthSelector.size() == 4 && monthSelector[0] != ' ' && monthSelector[2] != ' '; }
  bool AllJournals() const { return journal.find_first_not_of(' ') == std::string::npos; }
};

// The analytic layout code of a general layout code (18 characters: code, first and last page):
// its 10th character removed and "A" put before its 3rd ("EG-NAME" -> "EGA-NAME" less its last
// character).
std::string AnalyticReportCode(const std::string& reportCode);

}  // namespace ledgers
