// cp1252 text of the program shown on a UTF-8 console.
#pragma once

#include <string>

#include "platform/system/cp1252.h"

inline std::string ConsoleText(const std::string& cp1252) { return platform::Cp1252ToUtf8(cp1252); }

// A path typed on the command line (UTF-8) as the program holds it; as typed when cp1252
// cannot hold it (the program then reports the folder it could not make).
inline std::string ProgramPath(const char* utf8) {
  std::string path;
  return platform::ProgramName(utf8, path) ? path : std::string(utf8);
}
