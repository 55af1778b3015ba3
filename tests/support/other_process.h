// Another station for tests that need a second process: a forked child that
// runs one-byte commands through a handler and answers each through a pipe, so
// a test waits for the answer and never sleeps. Fork it before this process
// opens the files it shares with the child: the child must hold no copy of this
// process's open files (their locks would follow it).
#pragma once

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <fstream>
#include <functional>
#include <string>

#include "platform/dbase/fileio.h"

namespace test_support {

class OtherProcess {
 public:
  // The handler runs in the child, once per command: true when the command
  // succeeded there. The command 'q' ends the child.
  explicit OtherProcess(std::function<bool(char)> handler) {
    int down[2], up[2];
    if (::pipe(down) != 0) return;
    if (::pipe(up) != 0) {
      ::close(down[0]);
      ::close(down[1]);
      return;
    }
    pid_ = ::fork();
    if (pid_ < 0) {
      for (int fd : {down[0], down[1], up[0], up[1]}) ::close(fd);
      return;
    }
    if (pid_ == 0) {
      ::close(down[1]);
      ::close(up[0]);
      char cmd;
      while (::read(down[0], &cmd, 1) == 1 && cmd != 'q') {
        const char answer = handler(cmd) ? '1' : '0';
        if (::write(up[1], &answer, 1) != 1) break;
      }
      ::_exit(0);
    }
    ::close(down[0]);
    ::close(up[1]);
    to_ = down[1];
    from_ = up[0];
  }
  ~OtherProcess() {
    if (pid_ <= 0) return;
    const char quit = 'q';
    (void)!::write(to_, &quit, 1);
    ::close(to_);
    ::close(from_);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  OtherProcess(const OtherProcess&) = delete;
  OtherProcess& operator=(const OtherProcess&) = delete;

  // The child's process id (a test stops and continues it with signals).
  pid_t pid() const { return pid_; }

  // Runs a command in the other process: true when it succeeded there.
  bool Do(char cmd) {
    char answer = 0;
    return pid_ > 0 && ::write(to_, &cmd, 1) == 1 && ::read(from_, &answer, 1) == 1 && answer == '1';
  }

 private:
  pid_t pid_ = -1;
  int to_ = -1;
  int from_ = -1;
};

// Runs `work` in a forked child and waits for it: the child's exit code (what `work`
// returned), or 128 + the signal that ended it (a run killed half-way by a write fault).
// Fork it while this process has no table open that the child writes.
inline int RunInChild(const std::function<int()>& work) {
  const pid_t pid = ::fork();
  if (pid < 0) return -1;
  if (pid == 0) ::_exit(work());
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid) return -1;
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs `work` in a forked child whose file writes are killed before the nth one (the engine's
// write fault; LONG_MAX: never): 128 + SIGKILL when it was killed, else 0 when `work` succeeded
// (1 when it failed). *writes receives the file writes of a run that went through.
inline int RunKilledAtWrite(long nth, const std::function<bool()>& work, long* writes = nullptr) {
  int counted[2];
  if (::pipe(counted) != 0) return -1;
  const int status = RunInChild([&] {
    dbase::SetWriteFault(dbase::WriteFault::kKill, nth);
    const bool ok = work();
    const long n = dbase::WritesCounted();
    return ::write(counted[1], &n, sizeof n) == sizeof n && ok ? 0 : 1;
  });
  ::close(counted[1]);
  long n = 0;
  if (::read(counted[0], &n, sizeof n) == sizeof n && writes != nullptr) *writes = n;
  ::close(counted[0]);
  return status;
}

// In a child that is to die half-way, at a point of its run rather than at a write's number: the
// condition checked before each change of a file (`dbase::BeforeFileChange = &KillWhenDue`), which
// kills the process once it holds.
inline std::function<bool()>& KillWhen() {
  static std::function<bool()> when;
  return when;
}
inline void KillWhenDue() {
  if (KillWhen() && KillWhen()()) ::raise(SIGKILL);
}

// The records a table's data file counts in its header, read from its bytes while a run writes it.
inline std::uint32_t CountedRecords(const std::string& dbf) {
  unsigned char header[8] = {};
  std::ifstream(dbf, std::ios::binary).read(reinterpret_cast<char*>(header), sizeof header);
  return header[4] | header[5] << 8 | header[6] << 16 | static_cast<std::uint32_t>(header[7]) << 24;
}

// A one-way signal between a process and its forked children: one writes a byte, the other
// waits for it. Made before the fork.
class Signal {
 public:
  Signal() { (void)!::pipe(fd_); }
  ~Signal() {
    ::close(fd_[0]);
    ::close(fd_[1]);
  }
  Signal(const Signal&) = delete;
  Signal& operator=(const Signal&) = delete;
  void Post() { (void)!::write(fd_[1], "x", 1); }
  bool Wait() {
    char c;
    return ::read(fd_[0], &c, 1) == 1;
  }

 private:
  int fd_[2] = {-1, -1};
};

}  // namespace test_support
