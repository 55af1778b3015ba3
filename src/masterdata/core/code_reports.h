// The report hooks of the code lists, over a cursor on the general file: the start of a report at the lower
// code limit, the variables of one record, the step to the next live record up to the upper limit, and the
// label types.
#pragma once

#include <string>

#include "masterdata/core/code_layouts.h"

class ReportFieldTable;
class Table;

namespace masterdata {

// Stands `c10` on the first live record of the kind at or after kind + `from`: false when there is none of the
// kind up to `to` (NextCodeRecord's limit). The variables are declared on the first run, cleared on later ones.
bool PrepareCodeReport(Table& c10, const KindLayout& layout, ReportFieldTable& fields, const std::string& from,
                       const std::string& to);
// The variables of the current record; `c20` (may be null or closed) gives the names of accounts.
void ComputeCodeLine(Table& c10, Table* c20, const KindLayout& layout, ReportFieldTable& fields);
// The next live record: true while it is of the kind and its code does not pass `to`, compared on the length of
// `to` (a blank limit is no limit).
bool NextCodeRecord(Table& c10, char kind, const std::string& to);

// The type entry of a label type character (39 characters), "" when the table has none.
std::string LabelTypeEntry(char type);
// The label list's type cell and report variable: digit + " - " + the first 7 characters of the long name for the
// digits "1" to "8", 11 blanks for any other character.
std::string LabelTypeCell(char type);
// The entries the label form offers: digit + " - " + long name, for "0" to "8".
std::string LabelTypeChoice(char type);

}  // namespace masterdata
