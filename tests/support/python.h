// Runs a Python 3 script with Debian's interpreter (/usr/bin/python3, no shell), for tests
// that read our files back with Debian's dBase modules.
#pragma once

#include <stdlib.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <string>

namespace test_support {

// Writes the script to a temporary file, runs it and returns what it printed on its
// standard output (and on its standard error too when withErrors is true). *status, when
// given, gets its exit code, or -1 when it could not be run or did not exit.
inline std::string RunPythonScript(const std::string& script, bool withErrors, int* status = nullptr) {
  if (status != nullptr) *status = -1;
  char tmpl[] = "/tmp/merlon-py-XXXXXX";
  const int fd = ::mkstemp(tmpl);
  if (fd < 0) return "";
  (void)!::write(fd, script.data(), script.size());
  ::close(fd);
  int out[2];
  if (::pipe(out) != 0) {
    ::unlink(tmpl);
    return "";
  }
  const pid_t pid = ::fork();
  if (pid < 0) {
    ::close(out[0]);
    ::close(out[1]);
    ::unlink(tmpl);
    return "";
  }
  if (pid == 0) {
    ::dup2(out[1], 1);
    if (withErrors) ::dup2(out[1], 2);
    ::close(out[0]);
    ::close(out[1]);
    ::execl("/usr/bin/python3", "python3", tmpl, static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(out[1]);
  std::string result;
  char buf[4096];
  ssize_t n;
  while ((n = ::read(out[0], buf, sizeof buf)) > 0) result.append(buf, static_cast<std::size_t>(n));
  ::close(out[0]);
  int st = 0;
  ::waitpid(pid, &st, 0);
  if (status != nullptr) *status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  ::unlink(tmpl);
  return result;
}

}  // namespace test_support
