// Copies between tables of different structures, field by field name.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class Table;

// The fields of `source` from `firstField` on, each matched once with the field of `target` of
// the same name after its first letter, which is the target's own (C50 "BCODE" into C40
// "DCODE"). Made once per pair of tables, it spares every copied record the name comparisons.
class FieldMap {
 public:
  // How a number copied into a number field is written: as its stored text, or as its value
  // (rounded to the target's decimals). An amount (at most two decimals) is written either way
  // as CopyNumberField (record_fields.h) copies it: its cents, or its bytes when they do not read.
  enum class Numbers { AsText, AsValues };
  FieldMap(Table& source, Table& target, int firstField, Numbers numbers = Numbers::AsValues);
  // Copies the mapped fields of the source's current record into the target's record being
  // built or its current record (not saved): text and numbers, memos whole, other types left.
  // False when a field could not be written.
  bool Copy(Table& source, Table& target) const;
  // The target field of the same name as source field `s` (whatever their types), 0 for none.
  int TargetOf(int s) const {
    return s > 0 && static_cast<std::size_t>(s) < targetOf_.size() ? targetOf_[static_cast<std::size_t>(s)] : 0;
  }
  std::size_t size() const { return pairs_.size(); }

 private:
  struct Pair {
    int source, target;
    char kind;  // 'C' text, 'N' number, 'M' memo
  };
  std::vector<int> targetOf_;
  std::vector<Pair> pairs_;
};

// Copies the fields of the source's current record, from `firstField` on, into the target's
// current record (or the record being appended): each source name with its first letter
// replaced by the first letter of the target's field 1 names the target field. Text and
// numbers as text, memos whole. Then saves the target (context 2010). False when a field or
// the save failed.
bool CopyRecord(Table& source, Table& target, int firstField);
// The same with the map of the pair made beforehand (numbers as text, as above), for a run
// copying many records.
bool CopyRecord(const FieldMap& map, Table& source, Table& target);

// Called with each source record number during CopyTableByFieldNames (null = nothing).
using CopyProgressHook = void (*)(unsigned long total, unsigned long recno);
void SetCopyProgressHook(CopyProgressHook hook);

// The name a field of this format (`name`) had in an older one, from the list of renamed fields
// (strings 280 up); "" when the field kept its name.
std::string FormerFieldName(std::string_view name);

// Appends every record of `source` to `destination` (open for writing), in physical order so
// that record numbers are kept: destination fields take the source field of the same name,
// or of its old name (strings 280 up), memos whole, numbers as CopyNumberField copies them.
// Cancelled records and records that cannot be read become cancelled records; a blank line sequence of
// C40/C50/C60 gets "0001"; the dossier record "0" of C10 gets the euro parity. False when
// any insertion or write failed, or a record could not be read (the copy still goes on to the end).
bool CopyTableByFieldNames(Table& destination, Table& source, double parity);
