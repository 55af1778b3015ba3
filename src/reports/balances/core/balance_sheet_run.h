// The balance-sheet computation run, without a window: each account's balance through the
// trial balance's gathering (balance-sheet accounts from the year's first day to the period
// end, income accounts over the period, auxiliary accounts one by one under their
// collective's account), assigned to the postes by the model's parameters; the amounts and
// the annex records written into C70 and C10; and the totals pass of the edition over the
// lines in memory.
#pragma once

#include <array>
#include <map>
#include <string>
#include <vector>

#include "data/entry_lines.h"
#include "reports/balances/core/account_gathering.h"
#include "reports/balances/core/balance_sheet_model.h"
#include "reports/balances/core/code_lists.h"

class Table;

namespace balances {

using Amounts = std::array<long long, 2>;  // cents, francs then euros

// The dates of a run, stored YYMMDD.
struct SheetPeriod {
  std::string yearStart, yearEnd, start, end;
};

// An annex record: an account's share of a poste.
struct AnnexLine {
  std::string lineCode;  // 3 characters
  std::string poste;     // 3 characters
  std::string account;   // 8 characters
  std::string name;      // the account's name
  std::string label;     // the label of the poste's line
  char section = ' ';    // "A", "P" or "R"
  Amounts amount{}, carried{}, previous{};
};

struct SheetComputation {
  std::map<std::string, Amounts> postes;  // poste -> amount carried
  std::vector<AnnexLine> annex;
  std::vector<std::string> unassigned;    // accounts that no parameter takes
  std::vector<std::string> modelErrors;   // accounts that two parameters take for one balance
  Amounts generalBalance{};               // debit - credit of every account to the period end
  Amounts result{};                       // classes 6 and 7 from the year's first day, credit - debit
  Amounts periodResult{};                 // the same over the period
  Amounts previousResult{};               // classes 6 and 7 of the previous year, credit - debit
  long accounts = 0;                      // accounts with a balance
  bool Balanced(bool euroOnly) const { return generalBalance[1] == 0 && (euroOnly || generalBalance[0] == 0); }
  std::size_t ErrorCount() const { return unassigned.size() + modelErrors.size(); }
};

// Computes the postes of the model's parameters; `lines` (of C70) give the annex its line code,
// label and section per poste.
SheetComputation ComputeBalanceSheet(const BalanceSource& source, const ChartList& chart, const CodeLists& codes,
                                     const std::vector<ModelParam>& params, const std::vector<SheetLine>& lines,
                                     const SheetPeriod& period);

// Writes the run into the dossier: every C70 column amount set from its poste (0 for a poste
// without amount, in both currencies; blank for a figure past its field, which only a dossier
// kept in euros only lets through, in francs), the period into the header label (characters 4-11 and
// 16-23, DD/MM/YY), the annex records of C10 replaced. False when a write failed.
bool WriteBalanceSheet(Table& c70, Table& c10, const SheetComputation& computation, const SheetPeriod& period);

// What the whole run reads: the dossier's tables and the model's parameter table.
struct SheetRunInput {
  std::string c10, c20, c40, c50, c60, c70;  // paths
  std::string params;                   // the model's parameter table
  SheetPeriod period;
  bool euroOnly = false;
};

// The computation's name in the dossier's run marker.
inline constexpr const char* kBalanceSheetRun = "calcul-bilan";

// The input of a run on the current dossier's tables, with the parameters of model `letter`
// of the program folder.
SheetRunInput DossierSheetInput(char letter, const SheetPeriod& period, bool euroOnly);

enum class RunOutcome {
  kDone,
  kUnbalanced,   // the general balance to the period end does not balance: nothing written
  kReadFailed,   // a table did not open, or the copies aside could not be made: nothing written
  kTooLarge,     // a box or an annex amount that its field cannot hold: nothing written, the
                 // message names it
  kWriteFailed,  // C70 or C10 refused a write: both put back as they were (or, when that
                 // failed too, at the next opening); the message names the write and says which
};

struct SheetRun {
  RunOutcome outcome = RunOutcome::kReadFailed;
  SheetComputation computation;
  std::string message;  // French, for kReadFailed, kTooLarge and kWriteFailed
  std::string refusal;  // for kWriteFailed: the write refused, or the marker not removed (one line)
  // The lines, and the accounts' previous-year figures, whose amount does not read as a number:
  // counted as zero by a refusal made before the run's marker (named with it); the marker refuses
  // the run itself over them (kReadFailed, its message naming them).
  std::vector<UnreadableAmountLine> unreadable;
  // kReadFailed because the run's marker refused it over amounts that do not read: no incident of the
  // disk, its message the refusal naming them.
  bool amountsUnread = false;
};

// The run, the dossier held alone and its tables closed: the lines, the chart, the code lists
// and the parameters loaded; an unbalanced general balance (euros, and francs unless the
// dossier is in euros only), or a box or annex amount past what its field holds (euros, and
// francs unless the dossier is in euros only: there a franc figure past its field is written
// blank), refused before any change; then C70 and C10 opened exclusively,
// copied aside under the dossier's run marker (kBalanceSheetRun), and the amounts and the
// annex written. One log line tells the outcome. An amount that does not read counts as zero in
// the checks made before the marker, as in the trial balance, its line or account named in
// `unreadable`; the marker then refuses the run, before its first write, naming them.
SheetRun RunBalanceSheet(const SheetRunInput& input);
// "CALCUL DU BILAN - Ok - " with the counts, or " - Erreur: " and the reason.
std::string RunLogLine(const SheetRun& run);

// The annex record's packed text of one currency (C10 field 4 francs, 5 euros).
std::string AnnexText(const AnnexLine& line, int currency);

// The accumulator a calculation digit and a column (1-4) address; -1 for a digit that is not
// "1" to "9" (such a line accumulates nothing).
int AccumulatorIndex(char digit, int column);

// The edition's totals pass over the lines in code order, in one currency: "C" lines get
// amount 3 = amount 1 + amount 2 (when either is not zero; amount 1 - amount 2 when the line's
// Y is "-", for the positive depreciation of an asset line) and their percentage, and add their
// amounts into accumulator X; "T" lines take accumulator X; "A" and "S" add or subtract
// accumulator X into Y; "R" resets X.
void TotalsPass(std::vector<SheetLine>& lines, int currency);
// The percentage text of a line: (amount 3 - amount 4) / amount 4 x 100, width 7, 2 decimals.
std::string PercentText(long long amount3, long long amount4);

}  // namespace balances
