// Every record of a table read in physical order straight from the file's blocks, without a
// cursor move or a copy per record: for walks that read a large table whole.
#pragma once

#include <cstdint>
#include <vector>

#include "data/table.h"
#include "platform/dbase/record_block.h"

// The record of this number as stored (delete mark first), read without moving the table: *record points at it,
// inside the file's mapping or in `scratch`, valid until the next call on the table. table.result is left alone.
inline dbase::DBIResult ReadStoredRecord(const Table& table, std::uint32_t recno, std::vector<std::uint8_t>& scratch,
                                         const std::uint8_t** record) {
  return dbase::DbiReadRecordBlock(table.cursor, recno, 1, scratch, record);
}

// Every record the table counts now, in physical order as stored (delete mark first, deleted
// ones included, fields where Table::nativeFields places them): visit(recordNumber, record).
// The cursor and recordBuffer do not move; records appended meanwhile are not read; the file's
// pages are given back to the file cache as the walk goes (a large table is not held whole). A
// table may be read so on a thread of its own while the thread that opened it waits. False with
// the engine code in table.result when a block cannot be read.
template <typename Visit>
bool ScanRecords(Table& table, Visit&& visit) {
  if (!table.isOpen) {
    table.result = dbase::DBIERR_INVALIDHNDL;
    return false;
  }
  std::uint32_t count = 0;
  table.result = dbase::DbiGetRecordCount(table.cursor, &count);
  if (table.result != dbase::DBIERR_NONE) return false;
  const std::size_t length = table.cursorProps.iRecBufSize;
  // Blocks of about 256 KB: few engine calls, and a block read into scratch stays in cache.
  constexpr std::size_t kBlock = std::size_t{1} << 18;
  const auto per = static_cast<std::uint32_t>(length == 0 || length > kBlock ? 1 : kBlock / length);
  std::vector<std::uint8_t> scratch;
  // The pages read are given back every 16 blocks or so: the walk holds about 4 MB of the table.
  std::uint32_t kept = 1;
  for (std::uint32_t first = 1; first <= count; first += per) {
    const std::uint32_t n = count - first + 1 < per ? count - first + 1 : per;
    const std::uint8_t* records = nullptr;
    table.result = dbase::DbiReadRecordBlock(table.cursor, first, n, scratch, &records);
    if (table.result != dbase::DBIERR_NONE) return false;
    for (std::uint32_t i = 0; i < n; ++i) visit(first + i, records + i * length);
    if (first + n - kept >= 16 * per || first + n > count) {
      dbase::DbiReleaseRecordBlock(table.cursor, kept, first + n - kept);
      kept = first + n;
    }
  }
  return true;
}
