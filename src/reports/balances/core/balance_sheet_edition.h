// What the balance-sheet edition reads, without a window: the answers of the layouts' macros
// [BLL:xxx] and [BLV:xxx] from the postes indexed once per run (not a walk of C70 per macro),
// the line-type letters of the balance sheet's lines and which lines are printed, and the
// fields of an annex record.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "reports/balances/core/balance_sheet_model.h"

namespace balances {

// The width of an amount that [BLV:] prints: grouped whole, wider when it needs more.
inline constexpr std::size_t kValueWidth = 14;
// A poste code as the lines compare it: cut or padded to 3 characters.
std::string PosteCode(const std::string& code);

// The first line and column (in code order, columns 1 to 4) that carry each poste.
class PosteIndex {
 public:
  explicit PosteIndex(const std::vector<SheetLine>& lines);
  // The label of the poste's line; "?BLL:" + code + "?" when no line carries it.
  std::string Label(const std::string& code) const;
  // The poste's amount in the currency (0 francs, 1 euros) as the table prints a numeric
  // field of 14 with 2 decimals; "?BLV:" + code + "?" when no line carries it.
  std::string Value(const std::string& code, int currency) const;
  // A line carries the poste.
  bool Carries(const std::string& code) const;

 private:
  struct Where {
    std::size_t line;
    std::size_t column;  // 0-3
  };
  const std::vector<SheetLine>& lines_;
  std::map<std::string, Where> postes_;  // key: the code padded to 3 characters
};

// A line is printed when its calculation code begins with "C" or "T".
bool PrintableLine(const SheetLine& line);
// Without the lines "ne comportant rien": a separator after a separator, and a computed line
// with an accumulator digit whose four amounts are 0 in the currency, are left out.
// `previousFirst` is the first label character of the line accepted before.
bool KeepLine(const SheetLine& line, char previousFirst, bool withEmptyLines, int currency);
// The line-type letter of a printed line after `previousCode`: "R" when the first character of
// the code changes, "T" / "U" for a computed line without digits whose label begins with "-" /
// "_", "I" for a label beginning with "*", else "S".
char ClassifySheetLine(const std::string& previousCode, const SheetLine& line);

// The fields of an annex record (C10 kind "j").
struct AnnexRecord {
  std::string lineCode, poste, account, name, label;
  char section = ' ';
  double amount = 0, carried = 0, previous = 0;
  // False when one of the three amounts does not read as a number (StoredAmountCents): it is 0.
  bool readable = true;
};
// From GCODE, the name (field 3) and the packed text of the currency (field 4 or 5); the label
// trimmed with its inner runs of blanks reduced to one; the amounts read as every amount is
// (StoredAmountCents: "12345x7.89" and "abc" do not read, and count as 0).
AnnexRecord ParseAnnexRecord(const std::string& code, const std::string& name, const std::string& text);

}  // namespace balances
