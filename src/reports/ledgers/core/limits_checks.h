// The checks of the three limits forms, as plain functions: a form calls them when Enter is
// pressed in a field and all together before it hands its record over, then beeps and keeps the
// focus on the field they name. They read the chart (C20), the sections (C30) and the general
// file (C10) through the tables given, and the financial year from the dossier record.
//
// Dates are typed DD/MM/YY; every comparison is made on their StoredDate form.
#pragma once

#include <string>
#include <vector>

#include "reports/ledgers/core/ledger_options.h"

class Table;
class DossierRecord;

namespace ledgers {

// The field a check refused (the form beeps and focuses it).
enum class LimitsField { kNone, kAccount, kCollectives, kAccountFrom, kAccountTo, kDateFrom, kDateTo };

// The result of a code check.
struct CodeCheck {
  bool ok = false;
  // The edit's text after the check: the code completed to 8 and trimmed, or the text typed
  // before the help character.
  std::string shown;
  // The text of the field's static: "???" for an unknown code, "Erreur", "A partir de '41'",
  // "+ C: Clients" ...; empty when the form shows the account's name and balance (found).
  std::string staticText;
  bool found = false;       // a live record of the code exists: the form shows its balance
  bool openLookup = false;  // the help character was typed: the lookup opens on `shown`
  bool emptied = false;     // the field does not apply and was emptied
};

// The result of a date check.
struct DateCheck {
  bool ok = false;
  std::string shown;            // the edit's text afterwards (a blank date gets the year's bound)
  bool monthStartRule = false;  // the month-start message box is shown (its text: string 19600)
  bool uncheckPrior = false;    // "Avec Cumuls Antérieurs" is unchecked (the date is the year's first day)
  // Why a typed date is refused, for the message the form shows: not a date of the year, or "Date fin"
  // before "Date début". Neither for a blank date, which gets the year's bound.
  bool outsideYear = false;
  bool beforeFrom = false;
};

// ---- the account statement (and the general ledgers' dates)

// "&Compte": a general account completed to 8 ("0" after a digit, blanks after a letter), or
// an analytic section completed with blanks; "???" when it is missing or cancelled.
CodeCheck CheckStatementAccount(const std::string& typed, bool analytic, char helpCharacter, Table& c20, Table& c30);
// "Date début": a valid date inside the financial year; with the monthly subtotals, the first of
// a month or the year's first day.
DateCheck CheckDateFrom(const std::string& typed, bool monthlySubtotals, const DossierRecord& dossier);
// "Date fin": a valid date inside the year, not before "Date début".
DateCheck CheckDateTo(const std::string& typed, const std::string& dateFromTyped, const DossierRecord& dossier);
// After "Date début" is entered: "Avec Cumuls Antérieurs" is checked when the date is not the
// year's first day (in an analytic dossier only for an analytic statement while constant 032
// does not begin with "O"; the general ledgers always).
bool PriorCumulationAfterDateFrom(const std::string& typed, const DossierRecord& dossier, bool analyticDossier,
                                  bool analyticChecked, bool generalLedgers);

// What the statement's form holds.
struct StatementForm {
  std::string account, dateFrom, dateTo;  // as typed
  bool monthlySubtotals = false, priorCumulation = false;
  char letteringFilter = '1';
  bool analytic = false, inEuros = false;
  std::string matchingLetter;
};
// The three checks in order; the first field refused, kNone when all pass.
LimitsField CheckStatementForm(const StatementForm& form, char helpCharacter, Table& c20, Table& c30,
                               const DossierRecord& dossier);
// The record the form writes ("Anal&ytique" "N" outside an analytic dossier).
std::string BuildStatementLimits(const StatementForm& form, const DossierRecord& dossier);

// ---- the general ledgers

// The ledger kinds of the combo: "Tous" ... "(Analytique)" (the last one only in an analytic
// dossier).
std::vector<std::string> LedgerKindEntries(const DossierRecord& dossier);
// "Autres Grands Livres": every letter a live collective record (kind "B").
CodeCheck CheckCollectives(char kind, const std::string& typed, Table& c10);
// "Compte début" / "Compte fin": a code that fits the kind, an existing account (a section for
// "(Analytique)") or the beginning of some ("A partir de '41'" / "Jusqu'à '41'"); "Compte fin"
// not below "Compte début" ("Erreur").
CodeCheck CheckLedgerAccount(char kind, const std::string& collectives, const std::string& typed, bool upper,
                             const std::string& fromText, char helpCharacter, Table& c20, Table& c30);

struct GeneralLedgerForm {
  char kind = 'T';
  std::string collectives, accountFrom, accountTo, dateFrom, dateTo;
  bool priorCumulation = false;
  char letteringFilter = '1';
  bool inEuros = false;
};
LimitsField CheckGeneralLedgerForm(const GeneralLedgerForm& form, char helpCharacter, Table& c10, Table& c20,
                                   Table& c30, const DossierRecord& dossier);
// The record: "Avec Sous-Total par Mois" is never offered (no general ledger reads it), its
// position 56 is always "N" and the month-start rule does not apply.
std::string BuildGeneralLedgerLimits(const GeneralLedgerForm& form, const DossierRecord& dossier);

// ---- the journal listings

// The month list: one line "MM/YY" per month of the financial year, "Tout YY" after the months
// of a calendar year when more than one of them was listed and the next month begins another
// year, then "Tous les mois".
std::vector<std::string> JournalMonthLines(const DossierRecord& dossier);
// The record's month selector of a line: YYMM, YY and two blanks, or four blanks.
std::string MonthSelectorOf(const std::string& line);
// The journal list: "code<TAB>name" per live journal (kind "J") in code order, then "Tous les
// journaux".
std::vector<std::string> JournalLines(Table& c10);
// The record's journal of a line (three blanks for "Tous les journaux").
std::string JournalOf(const std::string& line);

struct JournalForm {
  std::string monthLine, journalLine;
  bool summary = false, analytic = false, inEuros = false;
};
std::string BuildJournalListingLimits(const JournalForm& form, const DossierRecord& dossier);

// The five matching entries ("1 - Sans tenir compte des lettrages" ...).
std::vector<std::string> MatchingEntries();

}  // namespace ledgers
