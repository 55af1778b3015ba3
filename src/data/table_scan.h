// Every record of a table read in physical order straight from the file's blocks, without a
// cursor move or a copy per record: for walks that read a large table whole.
#pragma once

#include <cstdint>
#include <vector>

#include "data/table.h"

// The record of this number as stored (delete mark first), read without moving the table: *record points at it,
// inside the file's mapping or in `scratch`, valid until the next call on the table. table.result is left alone.
// Answers the engine's code (kResultOk, table_results.h, when read).
std::uint16_t ReadStoredRecord(const Table& table, std::uint32_t recno, std::vector<std::uint8_t>& scratch,
                               const std::uint8_t** record);

// The steps of ScanRecords, each one engine call (table_scan.cpp): the record count, records
// first .. first + count - 1 as stored (*records in the file's mapping or in `scratch`), and
// those read given back to the file cache. The first two keep the engine's code in table.result
// and say whether it succeeded.
bool ScanRecordCount(Table& table, std::uint32_t* count);
bool ScanRecordBlock(Table& table, std::uint32_t first, std::uint32_t count, std::vector<std::uint8_t>& scratch,
                     const std::uint8_t** records);
void ScanRelease(Table& table, std::uint32_t first, std::uint32_t count);

// Every record the table counts now (ScanRecords), or those from record `from` on (ScanRecordsFrom),
// in physical order as stored (delete mark first, deleted ones included, fields where
// Table::Layouts places them): visit(recordNumber, record).
// The cursor and recordBuffer do not move; records appended meanwhile are not read; the file's
// pages are given back to the file cache as the walk goes (a large table is not held whole). A
// table may be read so on a thread of its own while the thread that opened it waits. False with
// the engine code in table.result when a block cannot be read.
template <typename Visit>
bool ScanRecordsFrom(Table& table, std::uint32_t from, Visit&& visit) {
  std::uint32_t count = 0;
  if (!ScanRecordCount(table, &count)) return false;
  const std::size_t length = table.RecordLength();
  // Blocks of about 256 KB: few engine calls, and a block read into scratch stays in cache.
  constexpr std::size_t kBlock = std::size_t{1} << 18;
  const auto per = static_cast<std::uint32_t>(length == 0 || length > kBlock ? 1 : kBlock / length);
  std::vector<std::uint8_t> scratch;
  // The pages read are given back every 16 blocks or so: the walk holds about 4 MB of the table.
  if (from < 1) from = 1;
  std::uint32_t kept = from;
  for (std::uint32_t first = from; first <= count; first += per) {
    const std::uint32_t n = count - first + 1 < per ? count - first + 1 : per;
    const std::uint8_t* records = nullptr;
    if (!ScanRecordBlock(table, first, n, scratch, &records)) return false;
    for (std::uint32_t i = 0; i < n; ++i) visit(first + i, records + i * length);
    if (first + n - kept >= 16 * per || first + n > count) {
      ScanRelease(table, kept, first + n - kept);
      kept = first + n;
    }
  }
  return true;
}

template <typename Visit>
bool ScanRecords(Table& table, Visit&& visit) {
  return ScanRecordsFrom(table, 1, visit);
}
