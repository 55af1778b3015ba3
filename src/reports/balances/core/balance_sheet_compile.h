// Makes a balance-sheet model's two tables from its readable sources: a CSV of the lines
// (form;box;code;section;label;calc;line;poste1;col1;poste2;col2;poste3;col3;poste4;col4) and a
// CSV of the parameters (form;box;poste;order;first;last;source;kind;sign), ";" separated,
// UTF-8, "#" lines and the heading line skipped. The line first in code order gets the model's
// type character at label character 47.
#pragma once

#include <string>
#include <vector>

namespace balances {

// The fields of a CSV line, split on ";".
std::vector<std::string> SplitCsvLine(const std::string& line);

// Writes `folder` + "clbilan" + letter and "cpbilan" + letter (replaced when present). False
// with a *message naming the source line at fault.
bool CompileModel(const std::string& linesCsv, const std::string& paramsCsv, const std::string& folder, char letter,
                  std::string* message);

}  // namespace balances
