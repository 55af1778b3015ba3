// The program's string table: texts by numeric id, embedded at build time
// from the UTF-8 files of src/resources/strings and converted once to cp1252.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace resources {

// cp1252 text of a string id, or null when the table has no such id.
const std::string* FindString(int id);
// cp1252 text of a string id that stays valid as long as the program runs ("" when the table has
// no such id): for tables and lists that keep the pointer.
const char* LastingText(int id);
// Every id of the table, ascending.
std::vector<int> StringIds();
// Each "%s" of a message replaced, in order, by the next value (a value's own "%s" stays as written, a "%s"
// past the last value stays): the one filling of a whole sentence, for the program and its statement reader.
std::string FillValues(std::string_view message, const std::string_view* values, std::size_t count);
inline std::string FillValues(std::string_view message, std::initializer_list<std::string_view> values) {
  return FillValues(message, values.begin(), values.size());
}

}  // namespace resources

// The text of a string id, as lasting as the program ("" when the table has no such id): the reader
// every window and message uses. The code names each id beside the code that shows it.
const char* LoadStr(int id);
