#include "platform/system/files.h"
#include "platform/system/file_pieces.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "platform/system/cp1252.h"
#include "platform/system/past_cache_seam.h"
#include "platform/system/temp_files.h"
#include "platform/system/write_fault.h"

namespace platform {

namespace {

bool StatOf(const std::string& path, struct stat& st) {
  return !path.empty() && ::stat(DiskPath(path).c_str(), &st) == 0;
}

int OpenDisk(const std::string& path, int flags, mode_t mode = 0644) {
  if (path.empty()) return -1;
  for (;;) {
    const int fd = ::open(DiskPath(path).c_str(), flags | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EINTR) return fd;
  }
}

// A change refused by an injected fault: errno set as the system would have set it.
bool Refused(int fd, std::int64_t end, const char* what = "write", const std::string* path = nullptr) {
  const int err = FileChangeFault(fd, end, what, path);
  if (err == 0) return false;
  errno = err;
  return true;
}

// Creates (or empties) a file: a change of its own, which a full disk may refuse.
int CreateDisk(const std::string& path, int flags, mode_t mode = 0644) {
  if (Refused(-1, 0, "create", &path)) return -1;
  return OpenDisk(path, flags | O_CREAT, mode);
}

// Where a write at the file's position ends (only asked while a fault is armed). A file opened
// for appending writes at its end, whatever its position says before the first write.
std::int64_t StreamEnd(int fd, std::size_t size) {
  const int flags = ::fcntl(fd, F_GETFL);
  struct stat st{};
  const off_t at = flags >= 0 && (flags & O_APPEND) != 0 ? (::fstat(fd, &st) == 0 ? st.st_size : -1)
                                                          : ::lseek(fd, 0, SEEK_CUR);
  return at < 0 ? -1 : static_cast<std::int64_t>(at) + static_cast<std::int64_t>(size);
}

}  // namespace

bool FileExists(const std::string& path) {
  struct stat st{};
  return StatOf(path, st) && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat st{};
  return StatOf(path, st) && S_ISDIR(st.st_mode);
}

bool IsSpecialFile(const std::string& path) {
  struct stat st{};
  return StatOf(path, st) && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
}

std::string FileStamp(const std::string& path) {
  struct stat st{};
  if (!StatOf(path, st)) return "";
  return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + ":" + std::to_string(st.st_size) + ":" +
         std::to_string(st.st_ctim.tv_sec) + "." + std::to_string(st.st_ctim.tv_nsec);
}

bool FolderWritable(const std::string& folder) {
  return !folder.empty() && ::access(DiskPath(folder).c_str(), W_OK | X_OK) == 0;
}

std::int64_t FileSize(const std::string& path) {
  struct stat st{};
  if (!StatOf(path, st) || !S_ISREG(st.st_mode)) return -1;
  return static_cast<std::int64_t>(st.st_size);
}

static std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

std::string ResolveName(const std::string& folder, const std::string& name) {
  std::string exact = JoinPath(folder, name);
  if (name.empty() || name.find('/') != std::string::npos) return exact;
  struct stat st{};
  if (::lstat(DiskPath(exact).c_str(), &st) == 0) return exact;
  DIR* dir = ::opendir(folder.empty() ? "." : DiskPath(folder).c_str());
  if (!dir) return exact;
  std::string found, entry;
  while (dirent* e = ::readdir(dir)) {
    if (ProgramName(e->d_name, entry) && Cp1252EqualNoCase(entry.c_str(), name.c_str())) {
      found = entry;
      break;
    }
  }
  ::closedir(dir);
  return found.empty() ? exact : JoinPath(folder, found);
}

std::string ResolvePath(const std::string& path) {
  auto slash = path.rfind('/');
  if (slash == std::string::npos) return ResolveName("", path);
  if (slash == path.size() - 1) return path;
  std::string folder = slash == 0 ? "/" : path.substr(0, slash);
  return ResolveName(folder, path.substr(slash + 1));
}

// Removes the temporary file of a write that failed, errno left as the failure set it.
static void RemoveKeepingCause(const std::string& path) {
  const int cause = errno;
  RemoveFile(path);
  errno = cause;
}

static std::string TempNameFor(const std::string& path) {
  static unsigned counter = 0;
  return path + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(++counter);
}

namespace {

// write(2) of all of data at the file's position, going on after interruptions: 0, or the errno
// of the failure. *done receives the bytes written.
int WriteAtPosition(int fd, const char* data, std::size_t size, std::size_t* done) {
  *done = 0;
  while (*done < size) {
    const ssize_t n = ::write(fd, data + *done, size - *done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    *done += static_cast<std::size_t>(n);
  }
  return 0;
}

// The write of data at the file's position, as one change: a fault refusing it leaves what a
// part-written one lets through written first, as a disk that fills does. 0, or the errno.
int WriteChange(int fd, const char* data, std::size_t size, std::size_t* done) {
  *done = 0;
  if (FileChangesWatched()) {
    std::size_t part = 0;
    if (const int err = FileWriteFault(fd, StreamEnd(fd, size), size, &part); err != 0) {
      if (part > 0 && WriteAtPosition(fd, data, part, done) != 0) return errno;
      return err;
    }
  }
  return WriteAtPosition(fd, data, size, done);
}

// A write cut short taken back: a regular file cut to the length it had and its position put
// back where the write began.
void TakeBack(int fd, const struct stat& before, off_t at) {
  struct stat now{};
  if (!S_ISREG(before.st_mode) || ::fstat(fd, &now) != 0) return;
  const int cause = errno;
  if (now.st_size > before.st_size)
    while (::ftruncate(fd, before.st_size) != 0 && errno == EINTR) {
    }
  if (at >= 0) ::lseek(fd, at, SEEK_SET);
  errno = cause;
}

}  // namespace

bool WriteAll(int fd, const char* data, std::size_t size) {
  struct stat before{};
  const bool known = ::fstat(fd, &before) == 0;
  const off_t at = known && S_ISREG(before.st_mode) ? ::lseek(fd, 0, SEEK_CUR) : -1;
  std::size_t done = 0;
  const int err = WriteChange(fd, data, size, &done);
  if (err == 0) return true;
  if (known && done > 0) TakeBack(fd, before, at);
  errno = err;
  return false;
}

int WriteAllAt(int fd, const void* data, std::size_t size, std::int64_t offset) {
  const auto* p = static_cast<const char*>(data);
  int fault = 0;
  if (FileChangesWatched()) {
    std::size_t part = 0;
    fault = FileWriteFault(fd, offset + static_cast<std::int64_t>(size), size, &part);
    if (fault != 0 && part == 0) return fault;
    if (fault != 0) size = part;  // what the disk takes before it is full
  }
  std::size_t done = 0;
  while (done < size) {
    ssize_t n = ::pwrite(fd, p + done, size - done, static_cast<off_t>(offset + static_cast<std::int64_t>(done)));
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    done += static_cast<std::size_t>(n);
  }
  return fault;
}

int ReadUpTo(int fd, void* data, std::size_t size, std::int64_t offset, std::size_t* got) {
  auto* p = static_cast<char*>(data);
  std::size_t done = 0;
  if (const int fault = FileReadFault(fd); fault != 0) {
    *got = 0;
    return fault;
  }
  while (done < size) {
    ssize_t n = ::pread(fd, p + done, size - done, static_cast<off_t>(offset + static_cast<std::int64_t>(done)));
    if (n < 0) {
      if (errno == EINTR) continue;
      *got = done;
      return errno;
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  *got = done;
  return 0;
}

bool WriteFileAtomic(const std::string& path, const std::string& content) {
  bool given = false;
  return WriteFileAtomic(path, [&](std::string&, const char*& data, std::size_t& size) {
    if (given) return false;
    given = true;
    data = content.data();
    size = content.size();
    return true;
  });
}

PastCacheSeam* pastCacheSeam = nullptr;

namespace {

// Takes the file's direct flag off: what follows goes through the cache.
bool LeaveDirect(int fd, bool& direct) {
  direct = false;
  if (pastCacheSeam != nullptr) {
    ++pastCacheSeam->leftDirect;
    if (pastCacheSeam->refuseLeaving) {
      errno = EINVAL;
      return false;
    }
  }
  const int flags = ::fcntl(fd, F_GETFL);
  return flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_DIRECT) == 0;
}

bool Aligned(const char* data, std::size_t size) {
  return reinterpret_cast<std::uintptr_t>(data) % kPageAlignment == 0 && size % kPageAlignment == 0;
}

// One write(2) of a piece, past the cache or through it, counted for a test that watches (which
// may refuse the direct ones as misaligned).
ssize_t WriteOnce(int fd, const char* data, std::size_t size, bool direct) {
  if (pastCacheSeam != nullptr && direct && pastCacheSeam->refuseAlignment) {
    errno = EINVAL;
    return -1;
  }
  const ssize_t n = ::write(fd, data, size);
  if (pastCacheSeam != nullptr && n > 0) {
    (direct ? pastCacheSeam->directBytes : pastCacheSeam->cachedBytes) += static_cast<std::size_t>(n);
  }
  return n;
}

// Writes a piece past the file cache while `direct` holds (the file opened so) and the piece
// allows it; else, or when the file system refuses a direct write, through the cache from then on.
bool WritePiece(int fd, const char* data, std::size_t size, bool& direct) {
  if (!direct) {
    if (!WriteAll(fd, data, size)) return false;
    if (pastCacheSeam != nullptr) pastCacheSeam->cachedBytes += size;
    return true;
  }
  if (FileChangesWatched()) {
    std::size_t part = 0;
    if (const int err = FileWriteFault(fd, StreamEnd(fd, size), size, &part); err != 0) {
      // A disk that fills while it writes: the part it takes goes through the cache.
      std::size_t done = 0;
      if (part > 0 && (!LeaveDirect(fd, direct) || WriteAtPosition(fd, data, part, &done) != 0)) return false;
      errno = err;
      return false;
    }
  }
  while (direct && size > 0) {
    if (!Aligned(data, size)) {
      if (!LeaveDirect(fd, direct)) return false;
      break;
    }
    const ssize_t n = WriteOnce(fd, data, size, true);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EINVAL) {  // alignment stricter than a page: the cache takes it
      if (!LeaveDirect(fd, direct)) return false;
      break;
    }
    if (n < 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  // The rest through the cache: the same change, not counted again.
  while (size > 0) {
    const ssize_t n = WriteOnce(fd, data, size, false);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

bool WriteFileAtomic(const std::string& path, const PieceSource& next, bool pastCache) {
  if (path.empty()) return false;
  std::string tmp = TempNameFor(path);
  int fd = CreateDisk(tmp, O_WRONLY | O_TRUNC);
  if (fd < 0) return false;
  // Keep the permissions of the file being replaced.
  struct stat st{};
  if (StatOf(path, st)) ::fchmod(fd, st.st_mode & 07777);
  // Past the cache where the file system allows it (not on every one: tmpfs refuses).
  bool direct = false;
  if (pastCache) {
    const int flags = ::fcntl(fd, F_GETFL);
    const bool refused = pastCacheSeam != nullptr && pastCacheSeam->refuseDirect;
    direct = flags >= 0 && !refused && ::fcntl(fd, F_SETFL, flags | O_DIRECT) == 0;
    if (direct && pastCacheSeam != nullptr) ++pastCacheSeam->openedDirect;
  }
  std::string buffer;
  const char* data = nullptr;
  std::size_t size = 0;
  bool ok = true;
  try {
    while (ok) {
      buffer.clear();
      data = nullptr;
      size = 0;
      if (!next(buffer, data, size)) break;
      if (data == nullptr) {
        data = buffer.data();
        size = buffer.size();
      }
      ok = WritePiece(fd, data, size, direct);
    }
  } catch (...) {
    // A piece that could not be made (a lack of memory): no temporary file is left.
    ::close(fd);
    RemoveFile(tmp);
    throw;
  }
  ok = ok && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (ok) ok = AtomicRename(tmp, path);
  if (!ok) RemoveKeepingCause(tmp);
  return ok;
}

bool SyncFolder(const std::string& folder) {
  const int fd = OpenDisk(folder.empty() ? "." : folder, O_RDONLY | O_DIRECTORY);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  return (::close(fd) == 0) && ok;
}

bool ReadWholeFile(const std::string& path, std::string& content) {
  content.clear();
  int fd = OpenDisk(path, O_RDONLY);
  if (fd < 0) return false;
  char buf[65536];
  std::size_t got = 0;
  bool ok = true;
  for (std::int64_t off = 0;; off += static_cast<std::int64_t>(got)) {
    if (ReadUpTo(fd, buf, sizeof buf, off, &got) != 0) ok = false;
    content.append(buf, got);
    if (!ok || got < sizeof buf) break;
  }
  ::close(fd);
  return ok;
}

bool CopyFile(const std::string& from, const std::string& to, bool overwrite, bool* unread) {
  if (unread != nullptr) *unread = false;
  if (!FileExists(from)) return false;
  struct stat existing{};
  if (!overwrite && ::lstat(DiskPath(to).c_str(), &existing) == 0) return false;
  int in = OpenDisk(from, O_RDONLY);
  if (in < 0) return false;
  std::string tmp = TempNameFor(to);
  int out = CreateDisk(tmp, O_WRONLY | O_TRUNC);
  if (out < 0) {
    ::close(in);
    return false;
  }
  struct stat st{};
  if (::fstat(in, &st) == 0) ::fchmod(out, st.st_mode & 07777);
  bool ok = true;
  char buf[65536];
  std::size_t got = 0;
  for (std::int64_t off = 0;; off += static_cast<std::int64_t>(got)) {
    int err = ReadUpTo(in, buf, sizeof buf, off, &got);
    if (err != 0 && unread != nullptr) *unread = true;
    if (err == 0) err = WriteAllAt(out, buf, got, off);
    ok = err == 0;
    if (!ok) errno = err;
    if (!ok || got < sizeof buf) break;
  }
  ::close(in);
  ok = ::fsync(out) == 0 && ok;
  ok = ::close(out) == 0 && ok;
  if (ok) ok = AtomicRename(tmp, to);
  if (!ok) RemoveKeepingCause(tmp);
  return ok;
}

bool FailedForWantOfRoom() { return errno == ENOSPC || errno == EDQUOT; }

bool AtomicRename(const std::string& from, const std::string& to) {
  if (Refused(-1, 0, "rename", &from)) return false;
  return !from.empty() && !to.empty() && ::rename(DiskPath(from).c_str(), DiskPath(to).c_str()) == 0;
}

bool LinkFile(const std::string& from, const std::string& to) {
  if (Refused(-1, 0, "link", &from)) return false;
  return !from.empty() && !to.empty() && ::link(DiskPath(from).c_str(), DiskPath(to).c_str()) == 0;
}

bool RemoveFile(const std::string& path) {
  if (path.empty() || Refused(-1, 0, "unlink", &path)) return false;
  if (::unlink(DiskPath(path).c_str()) == 0) return true;
  return errno == ENOENT;
}

namespace {

// Removes what a folder holds (its path on disk), then the folder, one change at a time.
bool RemoveDiskTree(const std::string& disk) {
  struct stat st{};
  if (::lstat(disk.c_str(), &st) != 0) return errno == ENOENT;
  if (!S_ISDIR(st.st_mode)) return !Refused(-1, 0, "unlink", &disk) && (::unlink(disk.c_str()) == 0 || errno == ENOENT);
  bool ok = true;
  if (DIR* dir = ::opendir(disk.c_str())) {
    std::vector<std::string> entries;
    while (dirent* e = ::readdir(dir))
      if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) entries.push_back(e->d_name);
    ::closedir(dir);
    for (const std::string& name : entries) ok = RemoveDiskTree(disk + "/" + name) && ok;
  }
  if (!ok || Refused(-1, 0, "rmdir", &disk)) return false;
  return ::rmdir(disk.c_str()) == 0 || errno == ENOENT;
}

}  // namespace

bool RemoveFolderTree(const std::string& path) { return !path.empty() && RemoveDiskTree(DiskPath(path)); }

bool MakeDirectories(const std::string& path) {
  if (path.empty()) return false;
  const std::string disk = DiskPath(path);
  std::size_t pos = 0;
  while (pos != std::string::npos) {
    pos = disk.find('/', pos + 1);
    const std::string part = disk.substr(0, pos);
    if (part.empty()) continue;
    struct stat st{};
    if (::stat(part.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) continue;
    if (Refused(-1, 0, "mkdir", &part)) return false;
    if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
  }
  return DirectoryExists(path);
}

bool IsExecutable(const std::string& path) {
  return !path.empty() && ::access(DiskPath(path).c_str(), X_OK) == 0;
}

bool ChangeDirectory(const std::string& path) { return !path.empty() && ::chdir(DiskPath(path).c_str()) == 0; }

std::string FollowLinks(const std::string& path) {
  namespace fs = std::filesystem;
  fs::path disk = DiskPath(path);
  std::error_code ec;
  bool followed = false;
  for (int depth = 0; depth < 8 && fs::is_symlink(disk, ec); ++depth) {
    fs::path target = fs::read_symlink(disk, ec);
    if (ec) break;
    if (target.is_relative()) target = disk.parent_path() / target;
    disk = target.lexically_normal();
    followed = true;
  }
  std::string result;
  if (!followed || !ProgramName(disk.string(), result)) return path;
  return result;
}

std::string AbsolutePath(const std::string& path) {
  namespace fs = std::filesystem;
  if (path.empty() || path[0] == '/') return path;
  std::error_code ec;
  const fs::path disk = fs::absolute(DiskPath(path), ec);
  if (ec) return path;
  std::string whole = disk.lexically_normal().string();
  if (path.back() == '/' && (whole.empty() || whole.back() != '/')) whole += '/';
  std::string result;
  if (!ProgramName(whole, result)) return path;
  return result;
}

std::string RealPath(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path disk = fs::absolute(DiskPath(path), ec);
  if (ec || path.empty()) return "";
  // The system gives up after 40 links; so does the walk (a loop ends there).
  for (int depth = 0; depth <= 40; ++depth) {
    const fs::path name = disk.filename();
    if (name.empty() || name == "." || name == "..") {
      disk = fs::weakly_canonical(disk, ec);
      break;
    }
    const fs::path folder = fs::weakly_canonical(disk.parent_path(), ec);
    if (ec) return "";
    disk = folder / name;
    // A name that is not there yet is the file the write would make.
    if (fs::symlink_status(disk, ec).type() != fs::file_type::symlink) {
      if (ec == std::errc::no_such_file_or_directory) ec.clear();
      break;
    }
    const fs::path target = fs::read_symlink(disk, ec);
    if (ec) {
      ec.clear();
      break;
    }
    disk = target.is_absolute() ? target : folder / target;
  }
  std::string result;
  if (ec || !ProgramName(disk.string(), result)) return "";
  return result;
}

bool IdentityOf(const std::string& path, FileIdentity* identity) {
  struct stat st{};
  if (!StatOf(path, st)) return false;
  if (identity != nullptr) {
    identity->device = static_cast<std::uint64_t>(st.st_dev);
    identity->inode = static_cast<std::uint64_t>(st.st_ino);
    identity->links = static_cast<std::uint64_t>(st.st_nlink);
  }
  return true;
}

std::vector<std::string> ListFiles(const std::string& folder, const std::string& pattern, int* error) {
  std::vector<std::string> names;
  const std::string where = folder.empty() ? std::string(".") : folder;
  if (error != nullptr) *error = 0;
  DIR* dir = ::opendir(DiskPath(where).c_str());
  if (dir == nullptr) {
    if (error != nullptr) *error = errno;
    return names;
  }
  std::string name;
  while (dirent* e = ::readdir(dir)) {
    if (!ProgramName(e->d_name, name) || name == "." || name == "..") continue;
    if (::fnmatch(pattern.c_str(), name.c_str(), FNM_PERIOD) != 0) continue;
    if (FileExists(JoinPath(where, name))) names.push_back(name);
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

int OpenForReading(const std::string& path) { return OpenDisk(path, O_RDONLY); }

namespace {

// A file opened for writing only when it is a regular file: opened without waiting (a pipe
// without a reader would hold open() until one comes), then refused, errno EINVAL, when it is
// anything else (a pipe, a device); a folder fails in open() itself.
int RegularOnly(int fd) {
  if (fd < 0) return fd;
  struct stat st{};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    errno = EINVAL;
    return -1;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return fd;
}

}  // namespace

int OpenForAppending(const std::string& path) {
  const int fd = RegularOnly(OpenDisk(path, O_WRONLY | O_NONBLOCK));
  if (fd >= 0) ::lseek(fd, 0, SEEK_END);
  return fd;
}

int CreateTruncated(const std::string& path) {
  if (Refused(-1, 0, "create", &path)) return -1;
  // Not O_TRUNC in open(): a device opened so would be emptied before it is refused.
  const int fd = RegularOnly(OpenDisk(path, O_WRONLY | O_CREAT | O_NONBLOCK));
  if (fd >= 0 && ::ftruncate(fd, 0) != 0) {
    const int cause = errno;
    ::close(fd);
    errno = cause;
    return -1;
  }
  return fd;
}

bool CloseHandle(int handle) { return handle >= 0 && ::close(handle) == 0; }

bool IsFolderHandle(int handle) {
  struct stat st{};
  return handle >= 0 && ::fstat(handle, &st) == 0 && S_ISDIR(st.st_mode);
}

namespace {

// The byte, far past the end of any file, whose lock the appends of all processes take in turn:
// an append cut short is taken back before another one lands after it.
constexpr off_t kAppendLockByte = std::numeric_limits<off_t>::max() - 1;
constexpr int kAppendLockWaitMs = 5000;

// True when the append lock is held (released with the file's close); false when the file
// system refuses locks or another process keeps it past the bound, the append then going on
// without it.
bool LockAppends(int fd) {
  struct flock byte{};
  byte.l_type = F_WRLCK;
  byte.l_whence = SEEK_SET;
  byte.l_start = kAppendLockByte;
  byte.l_len = 1;
  for (int waited = 0;; ++waited) {
    if (::fcntl(fd, F_OFD_SETLK, &byte) == 0) return true;
    if (errno == EINTR) continue;
    if ((errno != EAGAIN && errno != EACCES) || waited >= kAppendLockWaitMs) return false;
    SleepMilliseconds(1);
  }
}

}  // namespace

bool AppendToFile(const std::string& path, const std::string& text) {
  const int fd = FileChangesWatched() && !FileExists(path) ? CreateDisk(path, O_WRONLY | O_APPEND)
                                                           : OpenDisk(path, O_WRONLY | O_APPEND | O_CREAT);
  if (fd < 0) return false;
  const bool locked = LockAppends(fd);
  struct stat before{};
  const bool known = ::fstat(fd, &before) == 0;
  std::size_t done = 0;
  const int err = WriteChange(fd, text.data(), text.size(), &done);
  if (err != 0 && known && done > 0) {
    // Cut short (a disk that filled): the file goes back to its length, so that no reader ever
    // finds a part of the text. Without the lock, only when no other append came meanwhile.
    struct stat now{};
    if (locked || (::fstat(fd, &now) == 0 && now.st_size == before.st_size + static_cast<off_t>(done)))
      TakeBack(fd, before, -1);
  }
  const bool closed = ::close(fd) == 0;
  if (err != 0) errno = err;
  return err == 0 && closed;
}

std::string EnvironmentPath(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return "";
  std::string path;
  return ProgramName(value, path) ? path : std::string(value);
}

std::string HomeFolder() {
  std::string home = EnvironmentPath("HOME");
  if (home.empty()) {
    if (passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr)
      if (!ProgramName(pw->pw_dir, home)) home = pw->pw_dir;
  }
  return home;
}

std::string UserRuntimeFolder() {
  std::string folder = EnvironmentPath("XDG_RUNTIME_DIR");
  if (!folder.empty() && folder[0] == '/' && DirectoryExists(folder)) {
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
  }
  folder = "/tmp/merlon-" + std::to_string(::getuid());
  ::mkdir(folder.c_str(), 0700);  // an existing folder is fine
  return folder;
}

bool EnsureOpenFileLimit(int wanted) {
  struct rlimit rl {};
  if (::getrlimit(RLIMIT_NOFILE, &rl) != 0) return false;
  if (rl.rlim_cur != RLIM_INFINITY && rl.rlim_cur < static_cast<rlim_t>(wanted)) {
    if (rl.rlim_max != RLIM_INFINITY && rl.rlim_max < static_cast<rlim_t>(wanted)) return false;
    rl.rlim_cur = static_cast<rlim_t>(wanted);
    if (::setrlimit(RLIMIT_NOFILE, &rl) != 0) return false;
  }
  return true;
}

FileLock::Result FileLock::Acquire(const std::string& path) {
  Release();
  const int fd = OpenDisk(path, O_RDWR | O_CREAT, 0600);
  if (fd < 0) return Result::Failed;
  // flock belongs to the open file description: another open of the same
  // file, in this process or another, is refused while this one holds it.
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    const int err = errno;
    ::close(fd);
    return err == EWOULDBLOCK ? Result::Busy : Result::Failed;
  }
  fd_ = fd;
  return Result::Acquired;
}

void FileLock::Release() {
  if (fd_ < 0) return;
  ::flock(fd_, LOCK_UN);
  ::close(fd_);
  fd_ = -1;
}

bool HeldFile::Write(const std::string& path, const std::string& content) {
  Release();
  const std::string tmp = TempNameFor(path);
  const int fd = OpenDisk(tmp, O_RDWR | O_CREAT | O_TRUNC);
  if (fd < 0) return false;
  struct flock whole {};
  whole.l_type = F_WRLCK;
  whole.l_whence = SEEK_SET;
  // The lock is taken before the name appears: no reader finds the file unheld while its
  // writer is at work.
  const bool ok = ::fcntl(fd, F_OFD_SETLK, &whole) == 0 && WriteAll(fd, content.data(), content.size()) &&
                  ::fsync(fd) == 0 && AtomicRename(tmp, path);
  if (!ok) {
    const int cause = errno;
    ::close(fd);
    RemoveKeepingCause(tmp);
    errno = cause;
    return false;
  }
  fd_ = fd;
  return true;
}

void HeldFile::Release() {
  if (fd_ < 0) return;
  ::close(fd_);
  fd_ = -1;
}

bool LockedFile::Create(const std::string& path) {
  Release();
  const int fd = CreateDisk(path, O_RDWR | O_EXCL, 0644);
  if (fd < 0) return false;
  struct flock whole {};
  whole.l_type = F_WRLCK;
  whole.l_whence = SEEK_SET;
  if (::fcntl(fd, F_OFD_SETLK, &whole) != 0) {
    const int cause = errno;
    ::close(fd);
    ::unlink(DiskPath(path).c_str());
    errno = cause;
    return false;
  }
  fd_ = fd;
  path_ = path;
  return true;
}

bool LockedFile::WriteAt(std::int64_t offset, const std::string& bytes) {
  if (fd_ < 0) return false;
  const int err = WriteAllAt(fd_, bytes.data(), bytes.size(), offset);
  if (err == 0) return true;
  errno = err;
  return false;
}

bool LockedFile::Remove() {
  if (fd_ < 0) return false;
  const bool removed = RemoveFile(path_);
  const int cause = errno;
  Release();
  errno = cause;
  return removed;
}

void LockedFile::Release() {
  if (fd_ < 0) return;
  ::close(fd_);
  fd_ = -1;
}

bool FileHeldElsewhere(const std::string& path, int* error) {
  if (error != nullptr) *error = 0;
  const int fd = OpenDisk(path, O_RDONLY);
  if (fd < 0) {
    if (error != nullptr) *error = errno;
    return false;
  }
  struct flock whole {};
  whole.l_type = F_RDLCK;
  whole.l_whence = SEEK_SET;
  const bool held = ::fcntl(fd, F_OFD_GETLK, &whole) == 0 && whole.l_type != F_UNLCK;
  ::close(fd);
  return held;
}

}  // namespace platform
