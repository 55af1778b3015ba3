// The year separation ("Séparation de deux exercices"): the pieces of the open dossier dated on
// or after a date move, whole and with their analytic records, into the new year's dossier (the
// draft lines into its draft, the closed lines into its closed file with their validation date);
// the codes, accounts and sections it lacks are appended to it; matching letters of a group the
// move splits are removed on both sides; then both dossiers are rebuilt. No window.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "processing/core/opening_balances.h"
#include "processing/core/other_dossier.h"
#include "runtime/dates.h"

namespace processing {

struct SeparationRequest {
  OtherDossier other;  // the new year's dossier: its year begins on `date`
  Ymd date;
};

struct SeparationResult {
  int code = 0;         // 0; the open dossier's rebuild error; the other's + 10000; or this run's below
  std::string error;    // the refusal or the fault, in French
  bool busy = false;    // another station has the other dossier: nothing written
  bool putBack = false; // a run that failed was put back: both dossiers as they were
  bool putBackFailed = false;  // ... or could not be: the run marker names the copies
  long pieces = 0;      // pieces moved
  long lines = 0;       // records moved (general and analytic lines, both files)
  long codes = 0, accounts = 0, sections = 0;  // appended to the other dossier
  std::vector<std::string> cutLetters;          // "account letter" of each group whose letters were removed
};
inline constexpr int kSeparationRefused = 6301;  // a check refused the run: nothing written
inline constexpr int kSeparationRead = 6302;     // a read refused by the system: a table read short, put back
inline constexpr int kSeparationOpen = 6310;     // + table number: a table did not open
inline constexpr int kSeparationWrite = 6320;    // + table number: a record could not be written
inline constexpr int kSeparationSecondRebuild = 10000;

// What the run asks of the dossier maintenance, on the program's dossier: the refusal of what
// the rebuild would refuse ("" none) and the rebuild with rebalance and pack (0 or its error).
// Called on the open dossier, then with the identity of the other one.
using SeparationMaintenance = TargetMaintenance;

// The run, on the open dossier held alone by the caller (its tables closed). The other dossier is
// held from its check to the end of its rebuild. Before anything is written: the other is checked
// again (format, not the open one, its year beginning on the date), every table opened, and the
// run is refused when a moved piece lies after the other's year end, when either dossier's line
// files would pass 999,999 records, or when the rebuild refuses either dossier.
// Both dossiers' tables are copied aside first (with a run marker in each): a run that fails is
// put back, both dossiers as they were. `step` is called with the first line and the file of each
// phase.
SeparationResult SeparateYears(const SeparationRequest& request, const SeparationMaintenance& maintenance,
                               const std::function<void(const std::string&, const std::string&)>& step = {});

// Both dossiers' markers name the other one, and the old year's marker is the run's one
// decision: while it stands the run is undone, once it is removed (after both dossiers were
// written, before any copy goes) the run stands. The opening of either dossier stopped half-way
// settles it that way: the old year's opening puts the new year's dossier back first, then its
// own tables; the new year's opening puts its tables back while the old year's marker stands,
// and keeps them (its copies removed) once it is gone. True when the current dossier is settled.
bool SettleInterruptedSeparation(const std::string& detail);
// True when the current dossier's separation marker (its `detail`) is the new year's and the
// old year's marker is gone: the run went to its end, and settling it only removes the copies.
bool SeparationEndedElsewhere(const std::string& detail);
// What is said when the current dossier's separation marker (its `detail`) names another dossier
// whose folder cannot be read now (missing, unreadable, a share that is down): nothing can be
// settled until it can, which the next opening does. "" when it can be read.
std::string SeparationOutOfReach(const std::string& detail);

// The log line of a run and its end message.
std::string SeparationLogLine(const SeparationRequest& request, const SeparationResult& result);
std::string SeparationEndMessage(const SeparationRequest& request, const SeparationResult& result);

}  // namespace processing
