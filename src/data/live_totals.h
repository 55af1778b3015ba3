// What the live lines give the totals of some accounts, journal-months and sections, read from the
// lines themselves: the take-up of a stopped import and the finish of a stopped change of lines make
// each total they touch hold its lines, whatever was written of it before the stop.
#pragma once

#include <map>
#include <set>
#include <string>
#include <utility>

#include "data/account_totals.h"

class Table;

// A total by its kind and its code: 'A' an account of C20 (normalised, as NormalizeAccount gives
// it), 'H' a draft journal-month header of C10 (its 8 characters, month, journal and "B"), 'S' a
// section of C30 (its code without trailing blanks).
using TotalsRecord = std::pair<char, std::string>;

// What the live lines give each total of `records` (every one of them in *live, zero when no line
// counts), read in one pass over the draft `c50` and the closed file in their physical order: a
// header the draft general lines of its journal-month; an account the general lines of both files
// on it, and for a collective account those on the auxiliary accounts whose collective it is (the
// general file's "B" records); a section the analytic lines "W" and "Y" of both files on it. False
// when a table could not be read whole, or the disk refused a read on the way (noted in the refusal
// watches).
bool LiveTotals(Table& c50, const std::set<TotalsRecord>& records, std::map<TotalsRecord, TotalsCents>* live);
