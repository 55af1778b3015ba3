// A command line run by the shell, its exit status and what it wrote: for the tests of the build's own tools
// (the include check, the checks of the CMake lists), whose arguments are the tests' own paths.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace test_support {

struct CommandRun {
  int status = -1;     // the exit status, -1 when the command did not start or was killed
  std::string output;  // its standard output and error, in order
};

inline CommandRun RunCommand(const std::string& command) {
  CommandRun run;
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.output.append(buffer, n);
  const int status = ::pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

}  // namespace test_support
