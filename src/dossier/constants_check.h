// The test of the dossier constants made at every opening: a constant that
// holds a closed list with a known default is reset when its value is
// outside the list; every other constant is left as the user typed it.
#pragma once

#include <string>
#include <vector>

#include "runtime/dossier_record.h"

namespace gui {
class Window;
}

// A constant the opening may reset: its number, the first characters its
// readers accept (the value is judged by its first character) and the value
// it gets back.
struct ConstantRule {
  int number;
  const char* firstChars;
  const char* defaultValue;
};
const std::vector<ConstantRule>& ResettableConstants();

// One constant put back to its default.
struct ConstantReset {
  int number;
  std::string oldValue;
  std::string newValue;
};

// Resets, in `record`, every resettable constant whose value is outside its
// list (a blank value included); the list of what changed, in number order.
std::vector<ConstantReset> ResetInvalidConstants(DossierRecord& record);

// The message listing the constants reset (string 19701 then one line each).
std::string ConstantsResetMessage(const std::vector<ConstantReset>& resets);

// Tests the constants of TheDossierRecord; when some were reset, beeps,
// shows the message owned by `client` and writes a log line. True when at
// least one constant was reset (the caller writes positions 539-1042 back).
bool CheckDossierConstants(gui::Window* client);
