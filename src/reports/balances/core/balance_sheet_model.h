// The balance-sheet models: the letter that dossier constant 004 names, the type character
// its lines carry, its label, the paths of its two tables in the program folder, the fields
// of the lines (C70 and the model lines share them) and the parameters that assign the
// accounts to the postes.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class Table;

namespace balances {

// Fields of a balance-sheet line (C70 and the model lines).
namespace sheet_field {
inline constexpr int kCode = 1, kSection = 2, kLabel = 3, kCalc = 4, kLine = 5, kPercent = 23;
inline constexpr int Poste(int column) { return 4 * column + 3; }   // column 1-4
inline constexpr int Amount(int column, int currency) { return 4 * column + 4 + currency; }
inline constexpr int PrintColumn(int column) { return 4 * column + 6; }
}  // namespace sheet_field

// Label characters of the header line (the first in code order): the period and the type.
inline constexpr int kPeriodStartPos = 4, kPeriodEndPos = 16, kTypePos = 47;

// The string ids of the models' labels: "Bilan 'REEL NORMAL 2050'" (R), "Bilan 'REEL SIMPLIFIE 2033'" (S),
// "Bilan 'Autre'" (A to G); the edition's title is one of them.
inline constexpr int kLabelNormalModel = 1671, kLabelSimplifiedModel = 1672, kLabelOtherModel = 1673;

// The model letter of constant 004 ("R", "S", "A" to "G"); ' ' for none ("NON", blank).
char ModelLetter(const std::string& constant004);
// "0" for R, "3" for S, the letter itself for A to G; ' ' otherwise.
char ModelTypeCharacter(char letter);
// The letter a type character stands for; ' ' for none.
char ModelLetterOfType(char type);
// "Bilan 'REEL NORMAL 2050'" ...; models A to G add " (" + letter + ")" when asked.
std::string ModelLabel(char letter, bool withAddition);
// The model's lines ("clbilan" + letter) or parameters ("cpbilan" + letter) in `folder`,
// without extension, the name found without regard to case.
std::string ModelPath(const std::string& folder, char letter, bool parameters);
bool ModelFileExists(const std::string& pathWithoutExtension);

// The type character of a table of lines: label character 47 of the live record whose code
// comes first; ' ' when there is none or its label is shorter.
char HeaderType(Table& lines);

// One assignment of accounts to a poste.
struct ModelParam {
  std::string poste;         // 3 characters
  std::string order;         // 3 characters
  std::string first, last;   // account prefixes, trimmed
  char source = 'B';         // "B" balance, "N" previous-year balance, "R" the year's result, "P" the previous year's
  char kind = 'S';           // "S" signed, "D" debit balances only, "C" credit balances only
  char sign = '+';
  std::string comment;

  // The account (8 characters) lies between the two prefixes.
  bool Covers(const std::string& account) const;
  // The balance (debit - credit) is of the kind taken.
  bool Takes(long long balance) const {
    return kind == 'D' ? balance > 0 : kind == 'C' ? balance < 0 : true;
  }
  long long Carried(long long balance) const { return sign == '-' ? -balance : balance; }
};

// The live parameters of a model table in tag order; false with a French *message.
bool LoadModelParams(const std::string& path, std::vector<ModelParam>& params, std::string* message = nullptr);

// A line of the balance sheet as the run and the totals read it.
struct SheetLine {
  std::uint32_t recno = 0;
  std::string code, section, label, calc, line;
  std::string note;                                 // field 6: the form and box of a model line
  std::array<std::string, 4> postes;                // trimmed
  std::array<std::array<long long, 2>, 4> cents{};  // column 1-4 (index 0-3), francs then euros
  std::string percent;
};
// The live lines of C70 (or of a model) in code order.
bool LoadSheetLines(Table& lines, std::vector<SheetLine>& out);

}  // namespace balances
