// Whether a table's data and memo files can be trusted before a run writes into it.
#pragma once

#include <string>

// The file of table `base` (path without extension) that the engine finds damaged: the data
// file (header, record length, a count beyond the file, records without a delete mark) or the
// memo file (missing or unreadable). Empty when both open, whatever the state of the index
// file, which a reindex makes again, and when the table is missing or held elsewhere.
std::string DamagedTableFile(const std::string& base);
