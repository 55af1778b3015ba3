#include "platform/system/write_fault.h"

#include <errno.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace platform {
namespace {

long nthChange = 0;
long changes = 0;

std::string& Refused() {
  static std::string refused;
  return refused;
}

// Notes the change refused: what it is and the file it touches.
void NoteRefused(int fd, const char* what, const std::string* path) {
  std::string file = path != nullptr ? *path : "";
  if (file.empty() && fd >= 0) {
    char link[4096];
    const ssize_t n = ::readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), link, sizeof link - 1);
    if (n > 0) file.assign(link, static_cast<std::size_t>(n));
  }
  Refused() = std::string(what) + " " + file;
}

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
               {"eioonce:", WriteFault::kFailOnce}};
  for (const auto& k : kinds) {
    const std::size_t n = std::strlen(k.prefix);
    if (std::strncmp(v, k.prefix, n) == 0) {
      nthChange = std::atol(v + n);
      return k.fault;
    }
  }
  return WriteFault::kNone;
}

}  // namespace

namespace detail {
WriteFault armedFault = FromEnvironment();

int FaultOf(int fd, std::int64_t end, const char* what, const std::string* path) {
  if (BeforeFileChange != nullptr) BeforeFileChange();
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
    case WriteFault::kNone:
      break;
  }
  return 0;
}
}  // namespace detail

void (*BeforeFileChange)() = nullptr;

const std::string& RefusedChange() { return Refused(); }

void SetWriteFault(WriteFault fault, long nth) {
  Refused().clear();
  detail::armedFault = fault;
  nthChange = nth;
  changes = 0;
}

long WritesCounted() { return changes; }

}  // namespace platform
