// Stops a process (a child running a run) at a chosen point of its file changes: before the
// engine's first change once a file exists and, when given, another no longer does (the first
// write into a pack's new data file; the rename of that file, its index renamed already).
#pragma once

#include <signal.h>

#include <filesystem>
#include <string>

#include "platform/dbase/fileio.h"

namespace test_support {

inline void KillWhen(const std::string& exists, const std::string& gone = "") {
  static std::string there, away;
  there = exists;
  away = gone;
  dbase::BeforeFileChange = [] {
    if (std::filesystem::exists(there) && (away.empty() || !std::filesystem::exists(away))) ::raise(SIGKILL);
  };
}

}  // namespace test_support
