#include "fileio.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "platform/system/cp1252.h"
#include "platform/system/files.h"

namespace dbase {

DBIResult ErrnoToResult(int err, DBIResult missing) {
  switch (err) {
    case ENOENT:
      return missing;
    case ENOTDIR:
      return DBIERR_NOSUCHPATH;
    case EMFILE:
    case ENFILE:
      return DBIERR_TOOMANYFILES;
    case EACCES:
    case EPERM:
    case EROFS:
      return DBIERR_OSACCESS;
    case EEXIST:
      return DBIERR_FILEEXISTS;
    case ENOMEM:
      return DBIERR_NOMEMORY;
    default:
      return DBIERR_OSERROR;
  }
}

DBIResult ReadSome(int fd, void* buf, std::size_t n, off_t off, std::size_t* got) {
  const int err = platform::ReadUpTo(fd, buf, n, off, got);
  return err == 0 ? DBIERR_NONE : ErrnoToResult(err);
}

DBIResult ReadAt(int fd, void* buf, std::size_t n, off_t off) {
  std::size_t got = 0;
  DBIResult rc = ReadSome(fd, buf, n, off, &got);
  if (rc != DBIERR_NONE) return rc;
  return got == n ? DBIERR_NONE : DBIERR_FILECORRUPT;
}

DBIResult WriteAt(int fd, const void* buf, std::size_t n, off_t off) {
  const int err = platform::WriteAllAt(fd, buf, n, off);
  return err == 0 ? DBIERR_NONE : ErrnoToResult(err);
}

DBIResult FileSize(int fd, off_t* size) {
  struct stat st;
  if (::fstat(fd, &st) != 0) return ErrnoToResult(errno);
  *size = st.st_size;
  return DBIERR_NONE;
}

void SkipAccessTime(int fd) {
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0 && (flags & O_NOATIME) == 0) ::fcntl(fd, F_SETFL, flags | O_NOATIME);
}

DBIResult OpenFile(const std::string& path, bool wantWrite, int* fd, bool* writable,
                   DBIResult missing) {
  *fd = -1;
  *writable = false;
  if (wantWrite) {
    int f = ::open(platform::DiskPath(path).c_str(), O_RDWR | O_CLOEXEC);
    if (f >= 0) {
      SkipAccessTime(f);
      *fd = f;
      *writable = true;
      return DBIERR_NONE;
    }
    if (errno != EACCES && errno != EROFS && errno != EPERM) return ErrnoToResult(errno, missing);
  }
  int f = ::open(platform::DiskPath(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (f < 0) return ErrnoToResult(errno, missing);
  struct stat st;
  if (::fstat(f, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(f);
    return missing;
  }
  SkipAccessTime(f);
  *fd = f;
  return DBIERR_NONE;
}

DBIResult CreateFile(const std::string& path, int* fd) {
  int f = ::open(platform::DiskPath(path).c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (f < 0) return ErrnoToResult(errno);
  *fd = f;
  return DBIERR_NONE;
}

std::string WithExtension(const std::string& path, const std::string& ext) {
  std::size_t slash = path.rfind('/');
  std::size_t dot = path.rfind('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) return path.substr(0, dot) + ext;
  return path + ext;
}

std::string BaseName(const std::string& path) {
  std::size_t slash = path.rfind('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  std::size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

DBIResult CopyFile(const std::string& from, const std::string& to) {
  int in = ::open(platform::DiskPath(from).c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return ErrnoToResult(errno, DBIERR_NOSUCHTABLE);
  int out = -1;
  DBIResult rc = CreateFile(to, &out);
  if (rc != DBIERR_NONE) {
    ::close(in);
    return rc;
  }
  std::vector<char> buf(1 << 20);
  off_t off = 0;
  for (;;) {
    std::size_t got = 0;
    rc = ReadSome(in, buf.data(), buf.size(), off, &got);
    if (rc != DBIERR_NONE || got == 0) break;
    rc = WriteAt(out, buf.data(), got, off);
    if (rc != DBIERR_NONE) break;
    off += static_cast<off_t>(got);
  }
  ::close(in);
  if (::close(out) != 0 && rc == DBIERR_NONE) rc = ErrnoToResult(errno);
  return rc;
}

static bool LockCall(int fd, int cmd, struct flock* fl) {
  for (;;) {
    if (::fcntl(fd, cmd, fl) == 0) return true;
    if (errno != EINTR) return false;
  }
}

LockOutcome OfdLock(int fd, off_t start, off_t len, short type, bool wait) {
  struct flock fl {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = start;
  fl.l_len = len;
  fl.l_pid = 0;
  if (LockCall(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &fl)) return LockOutcome::kGranted;
  if (errno == EAGAIN || errno == EACCES) return LockOutcome::kBusy;
  return LockOutcome::kError;
}

void OfdUnlock(int fd, off_t start, off_t len) {
  struct flock fl {};
  fl.l_type = F_UNLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = start;
  fl.l_len = len;
  fl.l_pid = 0;
  LockCall(fd, F_OFD_SETLK, &fl);
}

bool OfdConflict(int fd, off_t start, off_t len, short type) {
  struct flock fl {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = start;
  fl.l_len = len;
  fl.l_pid = 0;
  if (!LockCall(fd, F_OFD_GETLK, &fl)) return false;
  return fl.l_type != F_UNLCK;
}

}  // namespace dbase
