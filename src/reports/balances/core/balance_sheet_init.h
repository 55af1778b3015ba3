// The balance sheet's initialisation from a model, without a window: the model is found and
// checked before anything of the dossier changes; then C70 is emptied, the annex records of
// C10 go and C70 receives the model's lines.
#pragma once

#include <string>

class Table;

namespace balances {

enum class InitOutcome {
  kDone,
  kMissing,      // the model's lines file does not exist
  kIncident,     // it does not open
  kWrongType,    // its first line does not carry the model's type character
  kEmptyFailed,  // C70 could not be emptied: nothing was copied
  kCopyFailed,   // some model lines were refused
};

// The outcome's message (strings 1680-1685); the done message ends with the model's label.
std::string InitOutcomeMessage(InitOutcome outcome, char letter);

// Marks deleted every live record of C10 (open with C10CODE) whose kind begins with "j", each
// blanked under its lock first. False when one could not be deleted.
bool DeleteAnnexRecords(Table& c10);

// C10 open with C10CODE, C70 open exclusively; `folder` the program folder.
InitOutcome InitialiseBalanceSheet(Table& c10, Table& c70, const std::string& folder, char letter);

}  // namespace balances
