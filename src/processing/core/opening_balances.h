// The opening balances of the next financial year ("Soldes A Nouveau"): the checks of the open
// dossier's books, the check of the target dossier, and the run that writes the opening piece of
// journal "AN" into the target's draft, copies the chart into it with the year's totals as its
// previous-year columns, and rebuilds it. No window: the form asks its questions between the
// checks and the run.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "data/entry_lines.h"
#include "processing/core/other_dossier.h"
#include "runtime/dates.h"
#include "runtime/dossier_record.h"

class RefusalWatch;
class Table;

namespace processing {

// The name of the run in the target's run marker.
inline constexpr const char* kOpeningRun = "soldes-a-nouveau";

// A collective account (C10 kind "B") and the first letter of its auxiliary accounts.
struct Collective {
  char letter = ' ';
  std::string account;  // 8 characters
};
// The collective accounts of the general file that name an account, in code order: a cancelled
// collective too, as every writer of the totals feeds it (CollectiveAccounts).
std::vector<Collective> ReadCollectives(Table& c10);
// The collective account of an auxiliary account's letter; "" when none.
std::string CollectiveOf(const std::vector<Collective>& collectives, char letter);
// The default bank prefixes ("SAN-Detailles") when neither INI gives them.
inline constexpr const char* kDefaultBankPrefixes = "-512-514-515-516-517-518-519-530-531-532-533-";

// The trial balance of the chart: the balance of every account but the collective ones (an
// auxiliary account counts under its collective's class) and the result of classes 6 to 9, in
// cents, and the auxiliary accounts whose letter has no collective account. A total that does not
// read as a number counts as zero, its account in `unreadable`.
struct TrialBalance {
  long long francs = 0, euros = 0;
  long long resultFrancs = 0, resultEuros = 0;
  std::vector<std::string> orphans;
  std::vector<UnreadableAmountLine> unreadable;
  // An account whose delete mark the system refused to read ends the walk: the balance is refused,
  // naming the file (`unreadResult` the engine's code).
  std::string unreadFile;
  int unreadResult = 0;
};

TrialBalance ComputeTrialBalance(Table& c20, const std::vector<Collective>& collectives);

// The refusal of an unbalanced trial balance, or of auxiliary accounts without collective ("" when
// the balance may be carried), followed by the accounts whose totals did not read. `euroOnly`: the
// francs are not tested.
std::string TrialBalanceRefusal(const TrialBalance& balance, bool euroOnly);

// The matching letters of the main currency (0 francs, 1 euros) of every auxiliary account must
// balance: "" or the refusal naming the first account that does not.
std::string CheckLetterBalances(Table& c40, Table& c50, Table& c60, const std::vector<Collective>& collectives,
                                int currency);

// The target check: the dossier must be another than the open one, exist, carry the current
// format stamp and begin its year on `date`. `first` and `second` are the texts shown beside it
// (its name and year, or the refusal in `first`); ok false on a refusal.
struct TargetCheck {
  bool ok = false;
  bool beep = false;
  bool clearCode = false;  // the code is to be cleared from its edit: its dossier starts on another day
  std::string first, second;
  DossierRecord record;  // the target's dossier record when it could be read
};
TargetCheck CheckOpeningTarget(const OtherDossier& target, const Ymd& date);

struct OpeningRequest {
  OtherDossier target;
  Ymd date;                         // the opening balances' date: the target's first day
  bool detailUnmatched = false;     // unmatched lines of auxiliary accounts one by one
  bool detailUnreconciled = false;  // unreconciled lines of bank accounts one by one
  std::string bankPrefixes = kDefaultBankPrefixes;
};

struct OpeningResult {
  int code = 0;           // 0, or the error (the rebuild's codes, or this run's below)
  std::string error;      // the refusal or the fault, in French
  bool busy = false;      // another station holds the target: nothing written
  long lines = 0;         // lines written into the target's draft
  long accounts = 0;      // accounts written into the target's chart
  long piece = 0;         // the opening piece's number
  bool putBack = false;   // a failed run was put back from its copies
  bool putBackFailed = false;  // ... or could not be: the run marker names the copies for the next opening
};
inline constexpr int kOpeningRefused = 6101;   // a check refused the run: nothing written
inline constexpr int kOpeningCopies = 6102;    // the copies aside could not be made
inline constexpr int kOpeningMarker = 6103;    // the target's run marker could not be written
inline constexpr int kOpeningOpen = 6110;      // a table could not be opened
inline constexpr int kOpeningWrite = 6120;     // a record could not be written
inline constexpr int kOpeningPiece = 6130;     // no piece number in the target
inline constexpr int kOpeningRead = 6140;      // a read refused by the system: a table read short

// What the run asks of the dossier maintenance, on the target made the program's dossier: the
// refusal of what the rebuild would refuse (a pending renumbering, a damaged table: "" none), and
// the rebuild with rebalance and pack (0 or its error), and after a failed rebuild the write it
// found refused, in French ("" none). The window layer gives them.
struct TargetMaintenance {
  std::function<std::string()> refusal;
  std::function<int()> rebuild;
  std::function<std::string()> rebuildRefusal;
};

// The reason of a failed rebuild: its code, and the write it found refused when there was one
// (else the first write the system refused while `refusal` watched, when given).
std::string RebuildFailureText(const TargetMaintenance& maintenance, int code, const RefusalWatch* refusal = nullptr);

// The run: the target held from its check to the end of its rebuild; before anything is written
// the target is checked again and refused when the lines would pass the draft's capacity, when a
// renumbering is pending there or a table is damaged, and the run is refused by its marker when an
// account's year total or a line it read does not read as an amount (the lines named). The open dossier is read through cursors
// of the run's own (its tables closed by the caller). A run that fails puts the target back as
// it was. `step` is called with the account being written (may be empty), `phase` with the text
// of each phase (the general accounts, then the auxiliary accounts).
OpeningResult GenerateOpeningBalances(const OpeningRequest& request, const std::vector<Collective>& collectives,
                                      const TrialBalance& balance, const TargetMaintenance& maintenance,
                                      void (*step)(const std::string&) = nullptr,
                                      void (*phase)(const std::string&) = nullptr);

// The log line of a run (Ok or Erreur) and the end message.
std::string OpeningLogLine(const OpeningRequest& request, const OpeningResult& result);
std::string OpeningEndMessage(const OpeningRequest& request, const OpeningResult& result);

// Puts back a target whose run was interrupted, from the copies its marker names (the opening
// of that dossier calls it through the run's registered redo).
bool PutBackInterruptedOpening(const std::string& detail);

}  // namespace processing
