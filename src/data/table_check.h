// Whether a table's data and memo files can be trusted before a run writes into it.
#pragma once

#include <cstdint>
#include <string>

// The file of table `base` (path without extension) that the engine finds damaged: the data
// file (header, record length, a count beyond the file, records without a delete mark) or the
// memo file (missing or unreadable), or records past the count without their delete mark.
// Empty when both open, whatever the state of the index
// file, which a reindex makes again, and when the table is missing or held elsewhere.
std::string DamagedTableFile(const std::string& base);

// The whole records table `base` (path without extension) holds past its header's count that
// no killed append of ours left there (a count written back too low): the next exclusive open
// counts them in again. 0 when none, or the table does not open.
std::uint32_t UncountedRecords(const std::string& base);
