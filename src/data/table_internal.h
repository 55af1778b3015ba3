// The table layer's own: the engine's part of a table, the engine session's handles, and helpers
// shared by the layer's files. Only the data layer's files (and the tests that look into a
// table's engine state) include it; the layers above reach the engine through table.h.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "data/table.h"
#include "platform/dbase/idapi.h"

// The engine's part of an open table: its cursor, the properties read at opening, those of the
// record the last move read, and the field descriptors.
struct TableEngine {
  dbase::hDBICur cursor = nullptr;
  dbase::CURProps cursorProps;
  dbase::RECProps recordProps;
  std::vector<dbase::FLDDesc> logicalFields;  // names and logical types
  std::vector<dbase::FLDDesc> nativeFields;   // declared widths, decimals and offsets, letters as declared
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

}  // namespace tablelayer
