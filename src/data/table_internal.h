// The table layer's own: the engine's part of a table, the engine session's handles, and helpers
// shared by the layer's files. Only the data layer's files (and the tests that look into a
// table's engine state) include it; the layers above reach the engine through table.h.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "data/books_write_permit.h"
#include "data/table.h"
#include "platform/dbase/idapi.h"

// What a table holds of the books, decided when it opens: its writes need a permit
// (books_write_permit.h). The lines and the sort file, every write; the tables of totals, the
// writes that change a running total.
struct BooksGuard {
  enum class Kind : std::uint8_t { kNone, kLines, kTotals };
  Kind kind = Kind::kNone;
  // The running totals of a table of totals, where they stand in a record.
  struct Total {
    std::uint16_t offset = 0;
    std::uint16_t width = 0;
    int field = 0;
  };
  std::vector<Total> totals;
  // Where a record of C10 says its kind: only a journal-month header (kind "C") holds totals.
  // -1 for the tables whose every record holds them.
  int kindOffset = -1;
};

// The engine's part of an open table: its cursor, the properties read at opening, those of the
// record the last move read, and the field descriptors.
struct TableEngine {
  dbase::hDBICur cursor = nullptr;
  dbase::CURProps cursorProps;
  dbase::RECProps recordProps;
  std::vector<dbase::FLDDesc> logicalFields;  // names and logical types
  std::vector<dbase::FLDDesc> nativeFields;   // declared widths, decimals and offsets, letters as declared
  BooksGuard books;
  // The fields of a line's amounts (C40, C50: francs and euros); 0 in a table of other records.
  int lineFrancs = 0, lineEuros = 0;
};

// The engine session (session.cpp).
extern dbase::hDBIDb DbHandle;
extern dbase::hDBISes DbSession;

namespace tablelayer {

// String-table text as a std::string (empty for an id the table lacks).
std::string Str(int id);

// "%5i" of a number.
std::string Int5(long value);

// Name blank-padded (or cut) to 10 characters, upper-cased: the form field names compare in.
std::string FieldKey(std::string_view name);

// What the table just opened holds of the books (its BooksGuard), from its file's name and fields.
void GuardBooks(Table& table);
// Which fields of the table just opened hold a line's amounts (TableEngine::lineFrancs, lineEuros).
void FindLineAmounts(Table& table);

// The permit's check of a write about to be made on `table` (books_write_permit.h): true when it
// is refused, nothing to be written, table.result kResultBooksWriteRefused and the refusal said.
// `write` says what it changes: Field or Record the current record as recordBuffer holds it
// (`field` the field put, 0 for the whole record), Append the `count` records at `records`, Delete
// and Recall the current record, Empty and Pack the table. Cheap while a permit lives, and for a
// table that holds none of the books.
bool BooksWriteRefusedHere(Table& table, BooksWrite write, int field, const std::uint8_t* records,
                           std::uint32_t count);
inline bool BooksWriteRefused(Table& table, BooksWrite write, int field = 0, const std::uint8_t* records = nullptr,
                              std::uint32_t count = 0) {
  if (table.Engine().books.kind == BooksGuard::Kind::kNone || BooksWritePermit::Living()) return false;
  return BooksWriteRefusedHere(table, write, field, records, count);
}

// The current record written from recordBuffer in one engine call (the lock kept), unless the
// permit's check refuses it: the engine's code, or kResultBooksWriteRefused; kept in table.result.
std::uint16_t ModifyCurrentRecord(Table& table, int field = 0);

}  // namespace tablelayer
