// Calls on a table's files as a whole, made by name without an open table: the production index dropped, the
// field names read from the header, an index left out of date by an interrupted write put right, a trial opening.
// The subjects reach the engine for these through here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class Table;

// Clears the production-index flag of a data file (found without case): the table then opens in natural order
// without its index file, whose tags can be built afresh. True when done.
bool ClearProductionIndexFlag(const std::string& dataPath);

// Deletes the production index of the table (the data file's index flag is cleared). True when done.
bool DropProductionIndex(const std::string& dataPath);

// The field names as the table's header declares them, in order. False when the header cannot be read.
bool TableFieldNames(const std::string& dataPath, std::vector<std::string>* names);

// Results are the engine's codes (table_results.h names those callers test).

// Rebuilds the index of a table whose index an interrupted write left out of date; *repaired says whether it was.
std::uint16_t RepairInterruptedIndex(const std::string& dataPath, bool* repaired);
// The same on an open table, through its cursor, as its next write would: while no other cursor of any
// process has the table open.
std::uint16_t RepairInterruptedIndex(const Table& table, bool* repaired);

// True when a pack cut short left files beside the table that its journal does not recognise:
// the table does not open, and they all stay where they are. Reads only.
bool PackLeftoversUnknown(const std::string& dataPath);
// The files such a pack left beside the table (its journal and its new files), those there.
std::vector<std::string> PackLeftoverFiles(const std::string& dataPath);

// Opens the table read-only and shared, then closes it: what the engine says of the opening.
std::uint16_t TryOpenTable(const std::string& dataPath);

// Deletes the records of these numbers in one call, on the table's cursor.
std::uint16_t DeleteRecords(Table& table, const std::vector<std::uint32_t>& recnos);
