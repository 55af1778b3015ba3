#include "shell/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/gui/application.h"
#include "platform/gui/constants.h"

std::string RuntimeFolder() {
  const char* xdg = std::getenv("XDG_RUNTIME_DIR");
  struct stat st {};
  if (xdg != nullptr && xdg[0] == '/' && ::stat(xdg, &st) == 0 && S_ISDIR(st.st_mode)) {
    std::string folder = xdg;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
  }
  std::string folder = "/tmp/merlon-" + std::to_string(::getuid());
  ::mkdir(folder.c_str(), 0700);  // an existing folder is fine
  return folder;
}

SingleInstanceGuard::~SingleInstanceGuard() { Release(); }

SingleInstanceGuard::Result SingleInstanceGuard::Acquire(const std::string& folder) {
  Release();
  std::string path = folder + "/ZEL";
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return Result::Unavailable;
  // flock belongs to the open file description: another open of the same
  // file, in this process or another, is refused while this one holds it.
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    int err = errno;
    ::close(fd);
    return err == EWOULDBLOCK ? Result::AlreadyRunning : Result::Unavailable;
  }
  fd_ = fd;
  return Result::Acquired;
}

void SingleInstanceGuard::Release() {
  if (fd_ < 0) return;
  ::flock(fd_, LOCK_UN);
  ::close(fd_);
  fd_ = -1;
}

namespace {
// Before any window exists the beep is the terminal's bell.
void StartBeep(unsigned type) {
  gui::MessageBeep(type);
  if (gui::Application::Current() == nullptr) {
    ssize_t written = ::write(STDERR_FILENO, "\a", 1);
    (void)written;
  }
}
}  // namespace

bool EnsureSingleInstance(SingleInstanceGuard& guard) {
  if (guard.Acquire() == SingleInstanceGuard::Result::Acquired) return true;
  StartBeep(0);
  StartBeep(gui::MB_ICONHAND);
  return false;
}
