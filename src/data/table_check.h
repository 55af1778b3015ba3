// Whether a table's data and memo files can be trusted before a run writes into it.
#pragma once

#include <cstdint>
#include <string>

struct TableStructure;

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

// ---- A table brought from elsewhere (a restore's copy), checked before it replaces the dossier's

// Where the fields declared by the header of table `base` first part from those of `structure`:
// the 1-based field number and each side as "NAME T width" (", d" decimals added when there are
// some; "" past the end of the shorter list). Field 0 when they agree in number, names, types,
// widths and decimals; -1 when the table does not open.
struct FieldDifference {
  int field = 0;
  std::string found, expected;
};
FieldDifference FirstFieldDifference(const std::string& base, const TableStructure& structure);

// Whether the fields of table `base` are those of an older format of the kind of `structure`,
// which the conversion reads by name: its first field is the kind's first field, and each of its
// fields is one of the kind's with the same type, in the kind's order (a later format added fields
// and renamed some, it never moved one), names compared without their first letter (the older
// generation named them with another one) and under the name a renamed field had. The last field
// of a general file is its format stamp, whose name changes with the format: it is not compared,
// but a general file is of an older format only as the opening tells one (the older generation's
// "C" first, or another stamp).
bool FieldsOfAnOlderFormat(const std::string& base, const TableStructure& structure);

// The first record (physical number) of table `base` with a memo that does not read whole from
// the memo file: its block past the file's end, or its text running past it. 0 when every memo
// of every record reads, the deleted ones included.
std::uint32_t RecordWithMemoPastEnd(const std::string& base);

// Puts the production index of table `base`, which nothing else has open (a restore's copy), in
// step with its records: each tag that does not hold them is made again; an index file that is
// missing, unreadable or made for another table is dropped, the table then opening without it
// (the dossier's opening makes its tags). False when the table does not open even then, and when
// the system refused a read or a write of its files (the index is then left as it is).
bool MendCopiedIndex(const std::string& base);
