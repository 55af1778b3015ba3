// The stored text of fields of a table's current record, as views into the record the engine
// read, placed by the engine's own field descriptors: no copy and no call per field. For walks
// that read every record of a large table in physical order (the trial balances read C60, C50
// and C40 whole). The views stay valid until the cursor moves; those of In() as long as the
// record read by ScanRecords (table_scan.h).
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

class Table;

class StoredFields {
 public:
  // The fields to read, by number; an unknown field reads as "".
  StoredFields(const Table& table, const std::vector<int>& fields);
  // Field i of the list (not its number) in the current record, blank-padded as stored.
  std::string_view operator[](std::size_t i) const;
  // True when the current record carries the delete mark.
  bool Deleted() const;
  // Field i of the list in a record as stored, delete mark first (ScanRecords, table_scan.h).
  std::string_view In(const std::uint8_t* record, std::size_t i) const {
    return {reinterpret_cast<const char*>(record) + spans_[i].first, spans_[i].second};
  }

 private:
  const Table& table_;
  std::vector<std::pair<std::size_t, std::size_t>> spans_;  // offset, width
};
