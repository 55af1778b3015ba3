// cp1252 text of the program shown on a UTF-8 console.
#pragma once

#include <string>

#include "resources/string_table.h"

inline std::string ConsoleText(const std::string& cp1252) { return resources::Cp1252ToUtf8(cp1252); }
