// Copies between tables of different structures, field by field name.
#pragma once

class Table;

// Copies the fields of the source's current record, from `firstField` on, into the target's
// current record (or the record being appended): each source name with its first letter
// replaced by the first letter of the target's field 1 names the target field. Text and
// numbers as text, memos whole. Then saves the target (context 2010). False when a field or
// the save failed.
bool CopyRecord(Table& source, Table& target, int firstField);

// Called with each source record number during CopyTableByFieldNames (null = nothing).
using CopyProgressHook = void (*)(unsigned long total, unsigned long recno);
void SetCopyProgressHook(CopyProgressHook hook);

// Appends every record of `source` to `destination` (open for writing), in physical order so
// that record numbers are kept: destination fields take the source field of the same name,
// or of its old name (strings 280 up), memos whole, numbers as numbers. Cancelled records
// and records that cannot be read become cancelled records; a blank line sequence of
// C40/C50/C60 gets "0001"; the dossier record "0" of C10 gets the euro parity. False when
// any insertion or write failed (the copy still goes on to the end).
bool CopyTableByFieldNames(Table& destination, Table& source, double parity);
