// The groups of the chart-of-accounts and sections lists: codes are grouped by a prefix whose length (the break
// level, 1 to 3) depends on the code's first character, and every other group is shaded. The list of the groups
// shown plain is built once per window from the code index; a row's colour is then told from its code alone.
#pragma once

#include <string>

class Table;

namespace masterdata {

struct BreakLevels {
  int general = 1;  // codes beginning with a digit (any code but "C" and the other letters, in fact)
  int customer = 2; // codes beginning with "C"
  int other = 2;    // codes beginning with another letter
  bool AllOne() const { return general == 1 && customer == 1 && other == 1; }
};

// The chart's levels: the three digits of dossier constant 062, each 1 to 3 (else 1, 2, 2).
BreakLevels ChartBreakLevels();
// The sections' level: the first digit of constant 063 (else 1), for every code.
BreakLevels SectionBreakLevels();

// The prefix of a code that names its group.
std::string BreakPrefix(const std::string& code, const BreakLevels& levels);

// "/" + the prefixes of the groups 1, 3, 5 ... in code order, each followed by "/". With every level at 1 the
// groups come from one seek per character "0" to "9" and "A" to "Z"; otherwise from one walk of the table in
// the order of `codeTag` that goes from each group to the first code of the next one. `t` is left anywhere.
std::string BuildBreakList(Table& t, const char* codeTag, const BreakLevels& levels);

// A row of that code is shaded: its prefix is not in the list (a list not built, "", shades nothing).
bool IsShadedCode(const std::string& breakList, const std::string& code, const BreakLevels& levels);

}  // namespace masterdata
