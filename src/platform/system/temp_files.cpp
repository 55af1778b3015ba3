#include "platform/system/temp_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "platform/system/cp1252.h"
#include "platform/system/error_text.h"
#include "platform/system/files.h"
#include "platform/system/write_fault.h"

namespace platform {

namespace {

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// mkstemp in `folder` (UTF-8 on disk); the descriptor, or -1 with errno set. `path` gets the
// name in cp1252.
int MakeTemporary(const std::string& folder, const std::string& prefix, std::string& path) {
  // Its creation is a change of the folder, which a disk full or read-only refuses.
  const std::string named = folder + "/" + prefix;
  if (const int err = FileChangeFault(-1, 0, "create", &named); err != 0) {
    errno = err;
    return -1;
  }
  std::string disk = DiskPath(folder);
  if (!disk.empty() && disk.back() != '/') disk += '/';
  disk += DiskPath(prefix) + "XXXXXX";
  std::vector<char> name(disk.begin(), disk.end());
  name.push_back('\0');
  int fd;
  do {
    fd = ::mkostemp(name.data(), O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return -1;
  if (!ProgramName(name.data(), path)) path = name.data();
  return fd;
}

// Copies the whole of `from` into `fd` (already open), flushed; 0 or the errno.
int CopyInto(const std::string& from, int fd) {
  const int in = OpenForReading(from);
  if (in < 0) return errno != 0 ? errno : EIO;
  char buffer[65536];
  std::size_t got = 0;
  int error = 0;
  for (std::int64_t offset = 0;; offset += static_cast<std::int64_t>(got)) {
    error = ReadUpTo(in, buffer, sizeof buffer, offset, &got);
    if (error == 0) error = WriteAllAt(fd, buffer, got, offset);
    if (error != 0 || got < sizeof buffer) break;
  }
  ::close(in);
  if (error == 0 && ::fsync(fd) != 0) error = errno;
  return error;
}

}  // namespace

std::string TemporaryFolder() {
  std::string folder = EnvironmentPath("TMPDIR");
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (!folder.empty() && folder[0] == '/' && DirectoryExists(folder)) return folder;
  return "/tmp";
}

bool TemporaryFile::Create(const std::string& prefix, const std::string& folder) {
  Discard();
  error_ = 0;
  placed_ = false;
  fd_ = MakeTemporary(folder.empty() ? TemporaryFolder() : folder, prefix, path_);
  if (fd_ < 0) {
    error_ = errno != 0 ? errno : EIO;
    path_.clear();
    return false;
  }
  return true;
}

bool TemporaryFile::Write(const char* data, std::size_t size) {
  if (fd_ < 0) {
    if (error_ == 0) error_ = EBADF;
    return false;
  }
  if (error_ != 0) return false;
  if (!WriteAll(fd_, data, size)) {
    error_ = errno != 0 ? errno : EIO;
    return false;
  }
  return true;
}

bool TemporaryFile::Place(const std::string& target) {
  if (fd_ < 0 || placed_) {
    if (error_ == 0) error_ = EBADF;
    Discard();
    return false;
  }
  // Every byte on the disk before the file takes its name.
  if (error_ == 0 && ::fsync(fd_) != 0) error_ = errno;
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0 && error_ == 0) error_ = errno;
  if (error_ != 0) {
    Discard();
    return false;
  }
  // Made with mode 0600: the file placed is read like any other the user writes.
  ::chmod(DiskPath(path_).c_str(), 0644);
  if (AtomicRename(path_, target)) {
    placed_ = true;
    path_.clear();
    SyncFolder(FolderOf(target));
    return true;
  }
  if (errno != EXDEV) {
    error_ = errno != 0 ? errno : EIO;
    Discard();
    return false;
  }
  // Another file system: the whole file goes next to the target first, then takes its name there.
  std::string near;
  const int out = MakeTemporary(FolderOf(target), NameOf(path_).substr(0, 3), near);
  if (out < 0) {
    error_ = errno != 0 ? errno : EIO;
    Discard();
    return false;
  }
  ::fchmod(out, 0644);
  int error = CopyInto(path_, out);
  if (::close(out) != 0 && error == 0) error = errno;
  if (error == 0 && !AtomicRename(near, target)) error = errno != 0 ? errno : EIO;
  if (error != 0) {
    RemoveFile(near);
    error_ = error;
    Discard();
    return false;
  }
  SyncFolder(FolderOf(target));
  RemoveFile(path_);
  placed_ = true;
  path_.clear();
  return true;
}

void TemporaryFile::Discard() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!placed_ && !path_.empty()) RemoveFile(path_);
  path_.clear();
}

std::string TemporaryFile::ErrorText() const { return platform::ErrorText(error_); }

void SleepMilliseconds(int milliseconds) {
  if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace platform
