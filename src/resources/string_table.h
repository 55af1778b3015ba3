// The program's string table: texts by numeric id, embedded at build time
// from the UTF-8 files of src/resources/strings and converted once to cp1252.
#pragma once

#include <string>
#include <vector>

namespace resources {

// cp1252 text of a string id, or null when the table has no such id.
const std::string* FindString(int id);
// Every id of the table, ascending.
std::vector<int> StringIds();

// UTF-8 -> cp1252; false (out partial) when a character has no cp1252 byte
// or the UTF-8 is malformed.
bool Utf8ToCp1252(const std::string& utf8, std::string& out);
std::string Cp1252ToUtf8(const std::string& cp1252);

}  // namespace resources
