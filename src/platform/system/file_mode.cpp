#include "platform/system/file_mode.h"

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>

#include "platform/system/cp1252.h"

namespace platform {

int FileMode(const std::string& path) {
  struct stat st {};
  if (::stat(DiskPath(path).c_str(), &st) != 0) return -1;
  return static_cast<int>(st.st_mode & 07777);
}

bool SetFileMode(const std::string& path, int mode) {
  return mode >= 0 && ::chmod(DiskPath(path).c_str(), static_cast<mode_t>(mode & 07777)) == 0;
}

int NewFileMode() {
  // The kernel shows the mask; setting it to read it would leave, for an
  // instant, another thread's new files open to everyone.
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("Umask:", 0) == 0) return static_cast<int>(0666 & ~std::strtol(line.c_str() + 6, nullptr, 8));
  }
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return static_cast<int>(0666 & ~mask);
}

}  // namespace platform
