// Starting external programs from an argument vector (posix_spawn), never
// through a shell command line: paths and codes stay single arguments.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace platform {

struct LaunchOptions {
  bool wait = false;                       // wait for the end and report the exit status
  int watchMs = 0;                         // without wait: an end within this time is reported too
  std::string workingDirectory;            // empty = the current one
  std::vector<std::string> extraEnvironment;  // "NAME=value" entries added to (or replacing in) the environment
  // With wait: the program's standard output and error go through one pipe
  // into LaunchResult::output, and its standard input reads nothing.
  bool captureOutput = false;
  // With wait: called about every `pollMs` milliseconds until the program
  // ends, so that a window keeps working meanwhile.
  std::function<void()> whileWaiting;
  int pollMs = 40;
  // With wait: a program still running after this many milliseconds is ended (SIGKILL) and
  // LaunchResult::timedOut is set; 0 = no limit.
  int timeLimitMs = 0;
};

struct LaunchResult {
  bool launched = false;  // the program started
  int error = 0;          // errno of a failed start (ENOENT when the program is missing ...)
  int exitStatus = -1;    // with wait (or an end within watchMs): the exit code, or 128 + signal; -1 otherwise
  int pid = 0;
  std::string output;     // with captureOutput: what it wrote (the last kKeptOutput bytes), cp1252
  bool timedOut = false;  // ended for outliving LaunchOptions::timeLimitMs (exitStatus 128 + SIGKILL)
};

// The part of a program's output that LaunchResult keeps.
constexpr std::size_t kKeptOutput = 64 * 1024;

// argv[0] is the program: a path, or a name looked up in PATH. Arguments,
// folder and environment entries are cp1252 and reach the program in UTF-8.
LaunchResult LaunchProcess(const std::vector<std::string>& argv, const LaunchOptions& options = {});

// The last `count` lines of a program's output (cp1252, as LaunchResult holds it) that hold more than
// blanks, joined by "\n". Each is whole, a line longer than `width` characters wrapped in rows at its
// blanks; only a line of more than eight rows loses its beginning.
std::string LastOutputLines(const std::string& output, int count, std::size_t width = 120);

// Makes a write past the file-size limit (RLIMIT_FSIZE) fail with EFBIG, as on a full disk,
// instead of ending the process with SIGXFSZ: the engine then takes back the write it could
// not finish. Called once at start, before the first file is written.
void IgnoreFileSizeLimitSignal();

// Sets a variable of this program's own environment, which every program it starts afterwards
// inherits (the value's bytes as given); false when the system refuses it.
bool SetOwnEnvironment(const std::string& name, const std::string& value);

// True when a process of this number runs on this station (one of another user included).
bool ProcessRunning(int pid);
// This process's number (a forked child has its own).
int CurrentProcessId();
// The name of the machine this process runs on, as the system gives it ("" when it gives none).
std::string MachineName();

}  // namespace platform
