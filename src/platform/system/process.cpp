#include "platform/system/process.h"

#include <cerrno>
#include <signal.h>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/system/cp1252.h"

extern char** environ;

namespace platform {

namespace {

int StatusCode(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

// Reads what the pipe holds now; false once every writer closed it.
bool DrainPipe(int fd, std::string& kept) {
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
      kept.append(buffer, static_cast<std::size_t>(n));
      // Only the end is kept; the front goes in large steps.
      if (kept.size() > 2 * kKeptOutput) kept.erase(0, kept.size() - kKeptOutput);
      continue;
    }
    if (n == 0) return false;
    if (errno == EINTR) continue;
    return errno == EAGAIN || errno == EWOULDBLOCK;
  }
}

// The program's bytes as the program holds text: UTF-8 lines converted,
// lines in another single-byte set kept, characters cp1252 lacks as "?".
std::string OutputText(std::string bytes) {
  if (bytes.size() > kKeptOutput) {
    bytes.erase(0, bytes.size() - kKeptOutput);
    // The first line was cut: it goes whole.
    const std::size_t eol = bytes.find('\n');
    bytes.erase(0, eol == std::string::npos ? 0 : eol + 1);
  }
  std::string out, converted;
  std::size_t at = 0;
  while (at < bytes.size()) {
    std::size_t eol = bytes.find('\n', at);
    if (eol == std::string::npos) eol = bytes.size();
    const std::string line = bytes.substr(at, eol - at);
    if (ProgramName(line, converted)) {
      out += converted;
    } else {
      // A UTF-8 line with a character that cp1252 lacks: that character only
      // becomes "?".
      for (std::size_t i = 0; i < line.size();) {
        const unsigned char lead = static_cast<unsigned char>(line[i]);
        const std::size_t n = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        if (ProgramName(line.substr(i, n), converted)) out += converted;
        else out += '?';
        i += n;
      }
    }
    if (eol < bytes.size()) out += '\n';
    at = eol + 1;
  }
  return out;
}

// Waits for the program's end, reading its output and calling the caller
// back between two looks.
int WaitWatching(pid_t pid, int outputFd, const LaunchOptions& options, std::string& output, int& error,
                 bool& timedOut) {
  bool reading = outputFd >= 0;
  int pollMs = options.pollMs > 0 ? options.pollMs : 40;
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(options.timeLimitMs);
  if (options.timeLimitMs > 0) pollMs = std::min(pollMs, std::max(1, options.timeLimitMs));
  for (;;) {
    pollfd p{outputFd, POLLIN, 0};
    ::poll(reading ? &p : nullptr, reading ? 1 : 0, pollMs);  // a wake-up early or late changes nothing
    // The end is looked at before the pipe is read: what the program wrote
    // before it ended is in the pipe by then. A child it left running may
    // keep the pipe open, so nothing waits for the pipe's end.
    int status = 0;
    const pid_t w = ::waitpid(pid, &status, WNOHANG);
    if (reading && !DrainPipe(outputFd, output)) reading = false;
    if (w == pid) return StatusCode(status);
    if (w < 0 && errno != EINTR) {
      error = errno;
      return -1;
    }
    if (options.timeLimitMs > 0 && !timedOut && Clock::now() >= deadline) {
      // Ended; the next look reaps it.
      timedOut = true;
      ::kill(pid, SIGKILL);
    }
    if (options.whileWaiting) options.whileWaiting();
  }
}

// A line of output in rows of at most `width` characters (cp1252: a byte each), broken at the last blank that
// fits, or at the width in a word longer than a row. A line longer than kMostRows rows keeps its end, where a
// program says what went wrong, after "...".
std::string WrappedLine(const std::string& line, std::size_t width) {
  constexpr std::size_t kMostRows = 8;
  if (width == 0 || line.size() <= width) return line;
  std::vector<std::string> rows;
  std::size_t at = 0;
  while (line.size() - at > width) {
    const std::size_t blank = line.rfind(' ', at + width);
    const std::size_t last = blank == std::string::npos || blank <= at ? std::string::npos
                                                                        : line.find_last_not_of(' ', blank - 1);
    if (last == std::string::npos || last < at) {
      rows.push_back(line.substr(at, width));
      at += width;
    } else {
      rows.push_back(line.substr(at, last + 1 - at));
      at = blank;
    }
    at = line.find_first_not_of(' ', at);
  }
  rows.push_back(line.substr(at));
  if (rows.size() > kMostRows) {
    rows.erase(rows.begin(), rows.end() - static_cast<std::ptrdiff_t>(kMostRows));
    rows.front().insert(0, "...");
  }
  std::string text;
  for (const std::string& row : rows) text += (text.empty() ? "" : "\n") + row;
  return text;
}

}  // namespace

std::string LastOutputLines(const std::string& output, int count, std::size_t width) {
  std::vector<std::string> lines;
  std::size_t end = output.size();
  while (end > 0 && static_cast<int>(lines.size()) < count) {
    const std::size_t start = output.rfind('\n', end - 1);
    const std::size_t from = start == std::string::npos ? 0 : start + 1;
    std::string line = output.substr(from, end - from);
    std::erase(line, '\r');
    for (char& c : line)
      if (c == '\t') c = ' ';
    if (line.find_first_not_of(' ') != std::string::npos) {
      line.resize(line.find_last_not_of(' ') + 1);
      lines.push_back(WrappedLine(line, width));
    }
    if (start == std::string::npos) break;
    end = start;
  }
  std::string text;
  for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
    if (!text.empty()) text += '\n';
    text += *it;
  }
  return text;
}

LaunchResult LaunchProcess(const std::vector<std::string>& argv, const LaunchOptions& options) {
  LaunchResult result;
  if (argv.empty() || argv[0].empty()) {
    result.error = EINVAL;
    return result;
  }
  // Arguments are cp1252 text (paths, codes); the system reads UTF-8.
  std::vector<std::string> diskArgs;
  diskArgs.reserve(argv.size());
  for (const auto& a : argv) diskArgs.push_back(Cp1252ToUtf8(a));
  std::vector<char*> args;
  args.reserve(diskArgs.size() + 1);
  for (auto& a : diskArgs) args.push_back(a.data());
  args.push_back(nullptr);

  // Environment: ours, with the extra entries added or replacing the same name.
  std::vector<std::string> env;
  for (char** e = environ; e && *e; ++e) env.emplace_back(*e);
  for (const auto& given : options.extraEnvironment) {
    const std::string extra = Cp1252ToUtf8(given);
    auto eq = extra.find('=');
    if (eq == std::string::npos) continue;
    std::string prefix = extra.substr(0, eq + 1);
    bool replaced = false;
    for (auto& e : env) {
      if (e.compare(0, prefix.size(), prefix) == 0) {
        e = extra;
        replaced = true;
        break;
      }
    }
    if (!replaced) env.push_back(extra);
  }
  std::vector<char*> envp;
  envp.reserve(env.size() + 1);
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const std::string workingDirectory = Cp1252ToUtf8(options.workingDirectory);
  if (!workingDirectory.empty()) posix_spawn_file_actions_addchdir_np(&actions, workingDirectory.c_str());
  // Both ends close at the program's exec; its copies on 1 and 2 stay.
  int pipeFds[2] = {-1, -1};
  const bool capture = options.wait && options.captureOutput;
  if (capture) {
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
      result.error = errno;
      posix_spawn_file_actions_destroy(&actions);
      return result;
    }
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
  }

  // The program gets the default action of the signals this process ignores
  // for its own sake (SIGXFSZ, so that a file-size limit fails its writes).
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGXFSZ);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);

  pid_t pid = 0;
  int rc = posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), envp.data());
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (capture) ::close(pipeFds[1]);
  if (rc != 0) {
    if (capture) ::close(pipeFds[0]);
    result.error = rc;
    return result;
  }
  result.launched = true;
  result.pid = pid;
  if (options.wait && (capture || options.whileWaiting || options.timeLimitMs > 0)) {
    if (capture) ::fcntl(pipeFds[0], F_SETFL, ::fcntl(pipeFds[0], F_GETFL) | O_NONBLOCK);
    std::string bytes;
    result.exitStatus = WaitWatching(pid, capture ? pipeFds[0] : -1, options, bytes, result.error, result.timedOut);
    if (capture) ::close(pipeFds[0]);
    result.output = OutputText(std::move(bytes));
    return result;
  }
  if (!options.wait && options.watchMs > 0) {
    // A program that fails at once (a viewer that finds nothing to show the
    // file with) is told from one that runs on.
    for (int waited = 0; waited < options.watchMs; waited += 20) {
      int st = 0;
      const pid_t w = waitpid(pid, &st, WNOHANG);
      if (w == pid) {
        if (WIFEXITED(st)) result.exitStatus = WEXITSTATUS(st);
        else if (WIFSIGNALED(st)) result.exitStatus = 128 + WTERMSIG(st);
        return result;
      }
      if (w < 0 && errno != EINTR) return result;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  if (!options.wait) {
    // Nobody waits for it: reap it in the background so no zombie stays.
    std::thread([pid] {
      int st = 0;
      while (waitpid(pid, &st, 0) < 0 && errno == EINTR) {
      }
    }).detach();
    return result;
  }

  int status = 0;
  pid_t w;
  do {
    w = waitpid(pid, &status, 0);
  } while (w < 0 && errno == EINTR);
  if (w < 0) {
    result.error = errno;
    return result;
  }
  if (WIFEXITED(status)) {
    result.exitStatus = WEXITSTATUS(status);
    // The child reports a failed exec (e.g. a missing working directory) as 127.
  } else if (WIFSIGNALED(status)) {
    result.exitStatus = 128 + WTERMSIG(status);
  }
  return result;
}

void IgnoreFileSizeLimitSignal() {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  ::sigaction(SIGXFSZ, &ignore, nullptr);
}

bool ProcessRunning(int pid) {
  if (pid <= 0) return false;
  // A process of another user answers EPERM: it runs all the same.
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

int CurrentProcessId() { return static_cast<int>(::getpid()); }

std::string MachineName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return std::string();
  return name;
}

bool SetOwnEnvironment(const std::string& name, const std::string& value) {
  return setenv(name.c_str(), value.c_str(), 1) == 0;
}

}  // namespace platform
