// Recovery of index files: report-definition tables whose index file is missing or was made
// for another table, and the count of a key's entries read from a tag's pages.
#pragma once

#include <cstdint>

#include "data/table.h"

// Makes the report-definition set `letter` usable in `table` (TableCE0 for display,
// TableCE1 for printing; the caller picks the letter from the program options): a missing
// set is copied from the reference set "CESETATS"; an index file that is foreign (or any,
// with dropIndex) is deleted, the data file's index flag cleared, the table packed and
// CE0CODE rebuilt. The table object is left closed. False when the set cannot be made.
bool EnsureReportTable(Table& table, char letter, bool dropIndex);
bool EnsureReportTableCE0(char letter, bool dropIndex);
bool EnsureReportTableCE1(char letter, bool dropIndex);

// True when the index file was made for the table of the same file name (the table name in
// its header compared without regard to case); false when it cannot be read.
bool MdxHeaderMatchesName(const char* mdxPath);

// Seeks the key on the tag, then reads the tag's pages from the index file: mode 1 counts
// the entries whose key begins with the key (the table goes to the last of them), mode 2
// gives the 1-based position of the first such entry (the table goes to it) or, when none
// begins with it, the number of entries. Deleted records count. 0 when the index file cannot
// be read or is damaged (block numbers and depth are checked).
std::uint32_t CountIndexEntries(Table& table, const char* tag, int mode, const char* key);
