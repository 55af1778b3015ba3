// The dossier constants and the access rights as the settings windows write them into the open dossier's general
// file C10, one record under its lock, so that what another station changed meanwhile is kept.
#pragma once

#include <string>
#include <vector>

class Table;

namespace settings {

// Where a constant is kept: constant 000 in record "0" field 5 (characters 252-254), constant n of 1-74 in record
// "P0" field 4 (characters 3n-2 to 3n).
struct ConstantPlace {
  const char* kind;  // the record's key: kind letter ...
  const char* code;  // ... and code
  int field;
  int position;
};
ConstantPlace PlaceOfConstant(int n);

enum class SaveOutcome { Saved, LockRefused, Missing, Failed };

// Saves constant n (0-74): the record locked (lock text string 2265; another station's hold is told once), read
// again under the lock, only the constant's three characters changed, written, unlocked and committed; then the
// value is copied into TheDossierRecord. `c10` is the dossier's general file open shared on tag C10CODE.
SaveOutcome SaveDossierConstant(Table& c10, int n, const std::string& value);

// ---- access rights ----------------------------------------------------------------------------------------------

// One guarded function of the rights rows (strings 9001-9036): its number, its start position in the rights string
// (1-50), how many rights it has, its menu name and label.
struct RightsFunction {
  int number = 0;
  int start = 0;
  int rights = 0;
  std::string menu;
  std::string label;
};
std::vector<RightsFunction> RightsFunctions();

// The name of right k (1-12) as the access-rights test names it ("Accès", "Créer", "Modifier" ...).
std::string RightName(int k);

// The mask (0-15) a rights character stands for, read as the test reads it: blank grants all, "A"-"F" in either
// case are the masks 10-15.
int RightsMask(char c);
// True when right k of function f is granted by `rights` (the 50 characters).
bool RightGranted(const std::string& rights, const RightsFunction& f, int k);
// The 50 characters rebuilt, each "0" plus its mask: for every function, the bits of its rights from `granted`
// (granted[f][k-1] for function number f); every other bit, and every character no function uses, as `old` holds.
std::string BuildRightsString(const std::string& old, const std::vector<RightsFunction>& functions,
                              const std::vector<std::vector<bool>>& granted);

// Writes the rights into C10 record "0" field 6, characters 1-50 (the rest kept), under the record's lock (text
// string 2266), commits, then copies them into TheDossierRecord (1043-1092).
SaveOutcome SaveRights(Table& c10, const std::string& rights);

}  // namespace settings
