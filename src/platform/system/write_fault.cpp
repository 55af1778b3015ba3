#include "platform/system/write_fault.h"

#include <errno.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>
#include <cstdlib>
#include <cstring>
#include <string>

namespace platform {
namespace {

long nthChange = 0;
long changes = 0;
long reads = 0;

std::string& Refused() {
  static std::string refused;
  return refused;
}

std::string& BeingMade() {
  static std::string change;
  return change;
}

std::string& ReadMade() {
  static std::string read;
  return read;
}

// A change named: what it is and the file it touches.
std::string ChangeText(int fd, const char* what, const std::string* path) {
  std::string file = path != nullptr ? *path : "";
  if (file.empty() && fd >= 0) {
    char link[4096];
    const ssize_t n = ::readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), link, sizeof link - 1);
    if (n > 0) file.assign(link, static_cast<std::size_t>(n));
  }
  return std::string(what) + " " + file;
}

void NoteRefused(int fd, const char* what, const std::string* path) { Refused() = ChangeText(fd, what, path); }

// The fault given in the environment, read once at the start.
WriteFault FromEnvironment() {
  const char* v = std::getenv("MERLON_WRITE_FAULT");
  if (v == nullptr) return WriteFault::kNone;
  static const struct {
    const char* prefix;
    WriteFault fault;
  } kinds[] = {{"kill:", WriteFault::kKill},
               {"full:", WriteFault::kFull},
               {"fullonce:", WriteFault::kFullOnce},
               {"eioonce:", WriteFault::kFailOnce},
               {"partonce:", WriteFault::kPartOnce},
               {"failforgood:", WriteFault::kFailForGood},
               {"eioreadonce:", WriteFault::kReadFailOnce}};
  for (const auto& k : kinds) {
    const std::size_t n = std::strlen(k.prefix);
    if (std::strncmp(v, k.prefix, n) == 0) {
      nthChange = std::atol(v + n);
      return k.fault;
    }
  }
  return WriteFault::kNone;
}

// The bytes a write of `size` ending at `end` makes on a disk that fills while it writes: those
// up to the file's end, then those past it up to the first block boundary, else half of them.
std::size_t PartWritten(int fd, std::int64_t end, std::size_t size) {
  constexpr std::int64_t kBlock = 4096;
  struct stat st;
  if (fd < 0 || size == 0 || ::fstat(fd, &st) != 0) return 0;
  const std::int64_t start = end - static_cast<std::int64_t>(size);
  const std::int64_t past = std::max<std::int64_t>(start, st.st_size);
  if (end <= past) return 0;  // inside the file: refused whole
  std::int64_t cut = (past / kBlock + 1) * kBlock;
  if (cut >= end) cut = past + (end - past) / 2;
  return static_cast<std::size_t>(cut - start);
}

}  // namespace

namespace detail {
std::atomic<WriteFault> armedFault{FromEnvironment()};

int FaultOf(int fd, std::int64_t end, const char* what, const std::string* path, std::size_t size,
            std::size_t* part) {
  if (BeforeFileChange != nullptr) {
    BeingMade() = ChangeText(fd, what, path);
    BeforeFileChange();
  }
  if (armedFault == WriteFault::kNone) return 0;
  if (++changes < nthChange) return 0;
  switch (armedFault) {
    case WriteFault::kKill:
      ::raise(SIGKILL);
      return 0;
    case WriteFault::kFull: {
      struct stat st;
      if (fd < 0 || ::fstat(fd, &st) != 0 || end <= st.st_size) return 0;
      return ENOSPC;
    }
    case WriteFault::kFullOnce:
    case WriteFault::kFailOnce:
      if (changes != nthChange) return 0;
      NoteRefused(fd, what, path);
      return armedFault == WriteFault::kFullOnce ? ENOSPC : EIO;
    case WriteFault::kPartOnce:
      if (changes != nthChange) return 0;
      NoteRefused(fd, what, path);
      if (part != nullptr) *part = PartWritten(fd, end, size);
      return ENOSPC;
    case WriteFault::kFailForGood:
      if (changes == nthChange) NoteRefused(fd, what, path);
      return EROFS;
    case WriteFault::kReadFailOnce:
    case WriteFault::kNone:
      break;
  }
  return 0;
}

int ReadFaultOf(int fd) {
  // Reads are counted one at a time: a run reading on several threads (the balances) meets a fault
  // armed at one read, and the read being made is named to the test's hook for that read alone.
  static std::mutex counting;
  const std::lock_guard<std::mutex> hold(counting);
  if (BeforeFileRead != nullptr) {
    ReadMade() = ChangeText(fd, "read", nullptr);
    BeforeFileRead();
  }
  ++reads;
  if (armedFault != WriteFault::kReadFailOnce || reads != nthChange) return 0;
  NoteRefused(fd, "read", nullptr);
  return EIO;
}
}  // namespace detail

void (*BeforeFileChange)() = nullptr;
void (*BeforeFileRead)() = nullptr;

const std::string& RefusedChange() { return Refused(); }

const std::string& ChangeBeingMade() { return BeingMade(); }

const std::string& ReadBeingMade() { return ReadMade(); }

void SetWriteFault(WriteFault fault, long nth) {
  Refused().clear();
  detail::armedFault = fault;
  nthChange = nth;
  changes = 0;
  reads = 0;
}

long WritesCounted() { return changes; }

long ReadsCounted() { return reads; }

}  // namespace platform
