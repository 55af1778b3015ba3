// Values of the packed sub-fields: what a form shows of a stored slice and what it stores of a typed value,
// and the keys of the codes other tables are sought with.
#pragma once

#include <string>

#include "masterdata/core/code_layouts.h"

class Table;

namespace masterdata {

// The slice of the current record of `table`: `width` characters from `position` of the field, blanks where the
// field is shorter (an older file) or the record cannot be read.
std::string ReadSlice(Table& table, const Slice& slice);
// The slice of a field's text.
std::string SliceOf(const std::string& fieldText, int position, int width);

// What a control shows of a stored slice: the text trimmed on both sides ("O" or "N" for a check box: "N" only
// when the slice holds "N").
std::string ShownValue(Fill fill, const std::string& stored);
// What a typed value is stored as: exactly `width` characters.
std::string StoredValue(Fill fill, const std::string& typed, int width);

// The key of an account typed or stored: 8 characters, blank-padded when it begins with a capital letter or a
// character above it, "0"-padded otherwise.
std::string AccountKey(const std::string& account);
// True for a blank text and for eight zeros (a distribution code saved without an account).
bool IsBlankAccount(const std::string& account);
// A code trimmed on the right and blank-padded (or cut) to `width`.
std::string PaddedCode(const std::string& code, int width);

}  // namespace masterdata
