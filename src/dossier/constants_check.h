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

// How a constant's value is judged when a user types it.
enum class ConstantKind {
  List,     // a closed list of values, judged by the first character as its readers judge it
  Free,     // any three characters (the value buttons, when there are some, only propose)
  Number,   // digits within a range
  Pattern,  // one of a few shapes (see ConstantMatchesPattern)
};

// One dossier constant as the constants window shows it and the opening
// checks it: one entry per constant 000 to 074, in number order.
struct ConstantDefinition {
  int number;
  const char* title;         // "" for a constant nothing reads (shown free, without title)
  const char* help;          // lines separated by ";"
  ConstantKind kind;
  const char* values;        // the value buttons, separated by "|" (a pattern's shapes for Pattern)
  const char* firstChars;    // List: the first characters the readers accept
  int low, high;             // Number: the range
  const char* defaultValue;  // "" when the constant has none
  bool resettable;           // the opening puts the default back when the value is outside the list
};
const std::vector<ConstantDefinition>& ConstantCatalog();
// The entry of constant n, null outside 0-74.
const ConstantDefinition* FindConstantDefinition(int n);

// True when `value` (three characters at most, trailing blanks ignored)
// matches one of the shapes of `shapes`, separated by "|": in a shape "#" is
// a digit, "@" a capital letter, "?" any character, "*" anything to the end,
// "{..}" one of the characters listed, any other character itself.
bool ConstantMatchesPattern(const std::string& value, const char* shapes);
// True when a typed value suits the constant's kind.
bool ConstantValueAccepted(const ConstantDefinition& definition, const std::string& value);
// The value buttons of a constant ("" for none).
std::vector<std::string> ConstantValueButtons(const ConstantDefinition& definition);

// A constant the opening may reset: its number, the first characters its
// readers accept (the value is judged by its first character) and the value
// it gets back. Taken from the catalogue (its resettable entries).
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

// The message listing the constants reset (a head, then one line each).
std::string ConstantsResetMessage(const std::vector<ConstantReset>& resets);

// Tests the constants of TheDossierRecord; when some were reset, beeps,
// shows the message owned by `client` and writes a log line. True when at
// least one constant was reset (the caller writes positions 539-1042 back).
bool CheckDossierConstants(gui::Window* client);
