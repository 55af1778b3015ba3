// The validation of draft journal-months into the closed entries: their lines leave the draft
// C50 for the closed file C40 with the validation date, for good.
//
// The run is all or nothing. Before its first change it copies C10, C40, C50 and C60 (with their
// index and memo files) aside in the dossier folder and sets the dossier's run marker, which
// names the copies: a run that fails puts them back at once, and a run a crash stopped half-way
// is put back at the next opening. Then, per journal-month ticked, every live record of the draft
// (the general lines in key order, each followed by its analytic records, then any analytic record
// left) is appended to C40 with its validation date (AppendClosedLine) and deleted from C50; the
// draft header's totals go to the closed header "C" + CleJournalMois + "C" (made when missing)
// and the draft header stays, at zero, so that the journal-month can be entered again; account
// and section totals stay. C50 is packed on its own (which also drops the cancelled lines of the
// other journal-months; the log lists every cancelled line dropped), C60 is written again from
// C40 and C50, C10 is not packed (cancelled codes can be reactivated). The invariant check
// (DossierInvariants) runs first and last: books apart are refused before anything is changed,
// and after the run books apart or a total wrong that was not before put the copies back (totals
// wrong before are named for the ReConstruction).
#pragma once

#include <functional>
#include <string>
#include <vector>

class Table;

namespace entry {

// A journal-month of the draft, as the lines say it.
struct DraftMonth {
  std::string journalMonth;  // CleJournalMois
  std::string name;          // the draft header's name, else the journal's
  long long debitF = 0, creditF = 0, debitE = 0, creditE = 0;  // live general lines, in cents
  long lines = 0;            // live general lines
  long analytic = 0;         // live analytic records
  long cancelled = 0;        // cancelled records, general and analytic
  // Live general lines without an account, or dated outside the financial year (or on no day):
  // their count and the first of them named ("pièce 000123 ligne 0010 ...").
  long noAccount = 0, outOfYear = 0;
  std::vector<std::string> noAccountLines, outOfYearLines;
  // Live lines, general or analytic, whose amount does not read as a number (`unreadable`), or reads
  // as one no entry makes, below zero or past the largest a line takes (`pastBound`): counted as zero
  // in the totals above, their count and the first of them named. The closed file takes none of them.
  long unreadable = 0, pastBound = 0;
  std::vector<std::string> unreadableLines, pastBoundLines;
  // False when a line's amount did not read: the totals above are then not the journal-month's.
  bool Read() const { return unreadable == 0 && pastBound == 0; }
  bool BalancedInEuros() const { return debitE == creditE; }
  bool BalancedInFrancs() const { return debitF == creditF; }
};

// The journal-months of the draft that hold records, in key order, read from C50 (opened, any
// order) and the draft headers of C10 (opened on C10CODE); the financial year of TheDossierRecord.
std::vector<DraftMonth> ListDraftMonths(Table& c50, Table& c10);
// The latest validation date of the closed lines (stored YYMMDD), "" when none has one.
std::string LatestValidationDate(Table& c40);

struct JournalValidationRequest {
  std::vector<std::string> journalMonths;  // the journal-months ticked (CleJournalMois)
  std::string date;                        // the validation date, stored YYMMDD
};

// Why the request cannot run, "" when it can: a journal-month unbalanced in euros, or in francs
// unless the dossier is in euros only; a live general line without an account; a line dated
// outside the financial year; a validation date invalid or earlier than `latest`; a closed file
// that would pass 999,999 records. Each reason names its journal-months and lines.
std::string ValidationRefusal(const JournalValidationRequest& request, const std::vector<DraftMonth>& months,
                              const std::string& latest, long closedRecords, bool euroOnly);

// Error codes of the run.
inline constexpr int kValidationCopies = 6000;      // the copies cannot be made (nothing changed)
inline constexpr int kValidationMarker = 6001;      // the run marker cannot be written (nothing changed)
inline constexpr int kValidationOpen = 6010;        // + 10 x the table: 6020 ... C10 6010, C40 6040 ...
inline constexpr int kValidationAppend = 6100;      // a closed line not written
inline constexpr int kValidationHeaders = 6200;     // a header not written
inline constexpr int kValidationPack = 6300;        // the pack of C50 failed
inline constexpr int kValidationClosedIndex = 6400;  // the tags of C40 not built
inline constexpr int kValidationSortFile = 6500;    // C60 not written again
inline constexpr int kValidationInvariants = 6600;  // the invariant check failed
inline constexpr int kValidationRead = 6700;        // a read the disk refused: what was read is short

struct ValidationResult {
  int code = 0;               // 0 when the run went to its end
  std::string error;          // the French reason of a failure
  bool putBack = false;       // the copies were put back after the failure
  std::string putBackError;   // they could not be: the marker stays for the next opening
  long generalLines = 0;      // general lines validated
  long analyticLines = 0;     // analytic records validated
  long cancelledDropped = 0;  // cancelled records of the ticked journal-months removed
  long otherCancelled = 0;    // cancelled records of the other journal-months removed by the pack
  std::string invariantReport;
  // A run gone to its end over books whose totals were already wrong: which, and the
  // ReConstruction that makes them again (DossierInvariants::TotalsAdvice); "" when none.
  std::string totalsAdvice;
};

// The run over the current dossier (DossierFolder, DossierCode, TheDossierRecord), which the
// caller holds exclusively, every table closed; they are all closed afterwards. Writes its log
// line ("VALIDATION DES JOURNAUX - Ok - ..." or " - Erreur: " + code). `step`, when given, is
// called now and then with the records handled so far.
ValidationResult RunValidation(const JournalValidationRequest& request, const std::function<void(long)>& step = {});

// Tests stop a run half-way: the hook is called after each line written to C40 with the count so far.
void SetValidationLineHook(std::function<void(long)> hook);

// The journal-months of a request as the log and the messages name them ("BQ 03/26, VE 03/26").
std::string JournalMonthsText(const std::vector<std::string>& journalMonths);

}  // namespace entry
