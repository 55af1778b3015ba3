// String ids of the ledger reports (src/resources/strings/ledgers.txt).
#pragma once

namespace ledgers {

// Window titles.
inline constexpr int kStrTitleStatement = 205;         // "Relevé de Compte"
inline constexpr int kStrTitleGeneralLedgers = 206;    // "Grands Livres des Comptes"
inline constexpr int kStrTitleJournals = 218;          // "Journaux"
inline constexpr int kStrTitleSummary = 830;           // "Récapitulatif Centralisateur"
// Titles of the other-lines totals.
inline constexpr int kStrProgramError = 199;           // "Erreur programme"
inline constexpr int kStrOtherLettered = 200;          // "Total Autres lignes lettrées"
inline constexpr int kStrOtherUnlettered = 201;        // "Total Autres lignes non lettrées"
inline constexpr int kStrEuros = 2277;
inline constexpr int kStrFrancs = 2278;
// The lines of the account statement and of the general ledgers: the prior cumulation's label (%s: the year's
// start, the day before the period), the collective account's lines, a sort record without its line (%s: the
// record).
inline constexpr int kStrPriorCumulation = 23403;
inline constexpr int kStrCollectiveLines = 23405;     // "Lignes compte collectif"
inline constexpr int kStrLineMissing = 23406;         // "??? Erreur C60: %s"
// The macros of LIB23, each put between the brackets 0x18 and 0x19: "crlf" (a line break) and "s:"
// (the column statement, followed by its column in three digits).
inline constexpr int kStrLib23Break = 3111;
inline constexpr int kStrLib23End = 3112;

// The limits forms.
inline constexpr int kStrMonthStartRule = 19720;       // the month-start rule's message
inline constexpr int kStrFilterFirst = 19721;          // the five matching entries, 19721-19725
inline constexpr int kStrLedgerKindFirst = 19726;      // "Tous" ... "(Analytique)", 19726-19732
inline constexpr int kStrAllJournals = 19733;          // "Tous les journaux"
inline constexpr int kStrAllMonths = 19734;            // "Tous les mois"
inline constexpr int kStrWholeYear = 19735;            // "Tout "
inline constexpr int kStrFromPrefix = 19736;           // "A partir de '%s'": the codes from a prefix
inline constexpr int kStrUpToPrefix = 19737;           // "Jusqu'à '%s'": the codes up to a prefix
inline constexpr int kStrError = 19738;                // "Erreur"
inline constexpr int kStrUnknown = 38;              // "???"
inline constexpr int kStrFormTextFirst = 19740;        // labels and tips of the forms, 19740-19760
inline constexpr int kStrDateOutsideYear = 19761;      // a date typed that is not one of the year's (%s: date, start, end)
inline constexpr int kStrDateToBeforeFrom = 19762;     // "Date fin" before "Date début"

// Help of the report editor: a heading among its help ids, going on at the letters of 19771-19789
// and 19791-19795.
inline constexpr int kStrHelpGeneralLedgers = 7170;    // "\EG-\EGA-"
inline constexpr int kStrHelpJournals = 7172;          // "\EJ-\EJR-\EJA-\EJRA-"

}  // namespace ledgers
