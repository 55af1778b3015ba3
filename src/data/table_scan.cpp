#include "data/table_scan.h"

#include "data/table_internal.h"
#include "platform/dbase/record_block.h"

std::uint16_t ReadStoredRecord(const Table& table, std::uint32_t recno, std::vector<std::uint8_t>& scratch,
                               const std::uint8_t** record) {
  return dbase::DbiReadRecordBlock(table.Engine().cursor, recno, 1, scratch, record);
}

bool ScanRecordCount(Table& table, std::uint32_t* count) {
  if (!table.isOpen) {
    table.result = dbase::DBIERR_INVALIDHNDL;
    return false;
  }
  table.result = dbase::DbiGetRecordCount(table.Engine().cursor, count);
  return table.result == dbase::DBIERR_NONE;
}

bool ScanRecordBlock(Table& table, std::uint32_t first, std::uint32_t count, std::vector<std::uint8_t>& scratch,
                     const std::uint8_t** records) {
  table.result = dbase::DbiReadRecordBlock(table.Engine().cursor, first, count, scratch, records);
  return table.result == dbase::DBIERR_NONE;
}

void ScanRelease(Table& table, std::uint32_t first, std::uint32_t count) {
  dbase::DbiReleaseRecordBlock(table.Engine().cursor, first, count);
}
