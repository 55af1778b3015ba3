// Helpers shared by the table layer's own files.
#pragma once

#include <string>
#include <string_view>

namespace tablelayer {

// String-table text as a std::string (empty for an id the table lacks).
std::string Str(int id);

// "%5i" of a number.
std::string Int5(long value);

// Name blank-padded (or cut) to 10 characters, upper-cased: the form field names compare in.
std::string FieldKey(std::string_view name);

}  // namespace tablelayer
