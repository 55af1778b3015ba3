// The result codes of table operations that callers above the table layer test: what Table::result
// and the data layer's calls on files answer. The numbers are the engine's own (table.cpp checks
// them against it), since messages show them.
#pragma once

#include <cstdint>

constexpr std::uint16_t kResultOk = 0;
constexpr std::uint16_t kResultEndOfTable = 8706;       // a move or a seek past the last record
constexpr std::uint16_t kResultKeyNotFound = 8710;      // no entry begins with the key sought
constexpr std::uint16_t kResultIndexCorrupt = 8965;     // index file damaged
constexpr std::uint16_t kResultIndexOutOfDate = 8966;   // an index update was cut short: the index needs a rebuild
constexpr std::uint16_t kResultNoSuchTable = 10024;     // no such table
constexpr std::uint16_t kResultAlreadyLocked = 10247;   // this table object already holds the record lock
constexpr std::uint16_t kResultIndexFileError = 10253;  // the index file could not be made or used
constexpr std::uint16_t kResultSystemError = 11009;     // read or write refused by the system
constexpr std::uint16_t kResultAccessDenied = 11010;    // the system refused to open for writing (read-only disk, rights)
constexpr std::uint16_t kResultNoSuchPath = 11011;      // path not found
constexpr std::uint16_t kResultTooManyFiles = 11012;    // an open refused: too many files open
constexpr std::uint16_t kResultDiskFull = 11015;        // no room left on the disk
// The table layer's own: a write of the books made while no change of lines or run lives
// (books_write_permit.h); nothing was written.
constexpr std::uint16_t kResultBooksWriteRefused = 12700;

// True when a seek that failed found no such key (or ran past the end), rather than could not
// look: a read the system refused, a damaged index.
inline bool SoughtAndMissing(std::uint16_t result) {
  return result == kResultKeyNotFound || result == kResultEndOfTable || result == kResultOk;
}
