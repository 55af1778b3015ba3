// Only one copy of the program runs on the machine: the first holds an
// exclusive lock on the lock file "ZEL" of the runtime folder. The kernel
// drops the lock when the process ends, however it ends, so a crashed or
// killed copy never blocks the next start.
#pragma once

#include <string>

#include "platform/system/files.h"

// $XDG_RUNTIME_DIR when it names a folder, else /tmp/merlon-<uid> (made
// with mode 0700 when missing). Ends without "/".
std::string RuntimeFolder();

class SingleInstanceGuard {
 public:
  SingleInstanceGuard() = default;
  SingleInstanceGuard(const SingleInstanceGuard&) = delete;
  SingleInstanceGuard& operator=(const SingleInstanceGuard&) = delete;

  enum class Result { Acquired, AlreadyRunning, Unavailable };
  // Opens (creating) folder/"ZEL" and locks it without waiting. The lock is
  // kept until Release or the end of the process.
  Result Acquire(const std::string& folder);
  Result Acquire() { return Acquire(RuntimeFolder()); }
  void Release() { lock_.Release(); }
  bool Held() const { return lock_.Held(); }

 private:
  platform::FileLock lock_;
};

// The entry routine's guard: true when this process may go on; otherwise
// it has beeped twice (default, then hand) and the caller ends with code 0.
bool EnsureSingleInstance(SingleInstanceGuard& guard);
