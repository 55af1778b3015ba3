// The program's string table: texts by numeric id, embedded at build time
// from the UTF-8 files of src/resources/strings and converted once to cp1252.
#pragma once

#include <string>
#include <vector>

namespace resources {

// cp1252 text of a string id, or null when the table has no such id.
const std::string* FindString(int id);
// cp1252 text of a string id that stays valid as long as the program runs ("" when the table has
// no such id): for tables and lists that keep the pointer.
const char* LastingText(int id);
// Every id of the table, ascending.
std::vector<int> StringIds();

}  // namespace resources
