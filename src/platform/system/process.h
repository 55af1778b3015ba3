// Starting external programs from an argument vector (posix_spawn), never
// through a shell command line: paths and codes stay single arguments.
#pragma once

#include <string>
#include <vector>

namespace platform {

struct LaunchOptions {
  bool wait = false;                       // wait for the end and report the exit status
  int watchMs = 0;                         // without wait: an end within this time is reported too
  std::string workingDirectory;            // empty = the current one
  std::vector<std::string> extraEnvironment;  // "NAME=value" entries added to (or replacing in) the environment
};

struct LaunchResult {
  bool launched = false;  // the program started
  int error = 0;          // errno of a failed start (ENOENT when the program is missing ...)
  int exitStatus = -1;    // with wait (or an end within watchMs): the exit code, or 128 + signal; -1 otherwise
  int pid = 0;
};

// argv[0] is the program: a path, or a name looked up in PATH. Arguments,
// folder and environment entries are cp1252 and reach the program in UTF-8.
LaunchResult LaunchProcess(const std::vector<std::string>& argv, const LaunchOptions& options = {});

}  // namespace platform
