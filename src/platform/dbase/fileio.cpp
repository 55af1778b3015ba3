#include "fileio.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
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
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return DBIERR_DISKFULL;
    default:
      return DBIERR_OSERROR;
  }
}

DBIResult ReadSome(int fd, void* buf, std::size_t n, off_t off, std::size_t* got) {
  const int err = platform::ReadUpTo(fd, buf, n, off, got);
  return err == 0 ? DBIERR_NONE : NoteReadRefused(fd, ErrnoToResult(err));
}

DBIResult ReadAt(int fd, void* buf, std::size_t n, off_t off) {
  std::size_t got = 0;
  DBIResult rc = ReadSome(fd, buf, n, off, &got);
  if (rc != DBIERR_NONE) return rc;
  return got == n ? DBIERR_NONE : DBIERR_FILECORRUPT;
}

namespace {
std::string& FullFolder() {
  static std::string folder;
  return folder;
}
}  // namespace

void NoteDiskFull(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  FullFolder() = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
}

const std::string& DiskFullFolder() { return FullFolder(); }

void (*DbiDamageHook)(const char* path, DBIResult code) = nullptr;

void ReportDamage(const std::string& path, DBIResult code) {
  if (DbiDamageHook != nullptr) DbiDamageHook(path.c_str(), code);
}

void (*DbiWriteRefusedHook)(const char* path, DBIResult code) = nullptr;

DBIResult NoteWriteRefused(const std::string& path, DBIResult rc) {
  // A write that could not open a file it needs (an index's journal, too many files open) is
  // refused as one the disk refused.
  const bool refused =
      rc == DBIERR_DISKFULL || rc == DBIERR_OSERROR || rc == DBIERR_OSACCESS || rc == DBIERR_TOOMANYFILES;
  if (refused && DbiWriteRefusedHook != nullptr) DbiWriteRefusedHook(path.c_str(), rc);
  return rc;
}

void (*DbiReadRefusedHook)(const char* path, DBIResult code) = nullptr;

DBIResult NoteReadRefused(int fd, DBIResult rc) {
  if (rc == DBIERR_NONE || DbiReadRefusedHook == nullptr) return rc;
  // The file as the descriptor names it now, as the program holds names.
  char link[4096];
  const ssize_t n = ::readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), link, sizeof link - 1);
  std::string path;
  if (n > 0 && !platform::ProgramName(std::string_view(link, static_cast<std::size_t>(n)), path))
    path.assign(link, static_cast<std::size_t>(n));
  DbiReadRefusedHook(path.c_str(), rc);
  return rc;
}

DBIResult TruncateFile(int fd, off_t size) {
  if (const int err = platform::FileChangeFault(fd, 0, "truncate"); err != 0) return ErrnoToResult(err);
  while (::ftruncate(fd, size) != 0)
    if (errno != EINTR) return ErrnoToResult(errno);
  return DBIERR_NONE;
}

// The file helpers count the rename and the removal (and refuse them when a test says so).
DBIResult RenameFile(const std::string& from, const std::string& to) {
  return platform::AtomicRename(from, to) ? DBIERR_NONE : ErrnoToResult(errno);
}

DBIResult RemoveFile(const std::string& path) {
  return platform::RemoveFile(path) ? DBIERR_NONE : ErrnoToResult(errno);
}

DBIResult SyncFile(const std::string& path) {
  const int fd = ::open(platform::DiskPath(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return ErrnoToResult(errno);
  const int r = ::fsync(fd);
  const int err = errno;
  ::close(fd);
  return r == 0 ? DBIERR_NONE : ErrnoToResult(err);
}

bool SameFile(int fd, const std::string& path) {
  struct stat a, b;
  return ::fstat(fd, &a) == 0 && ::stat(platform::DiskPath(path).c_str(), &b) == 0 && a.st_ino == b.st_ino && a.st_dev == b.st_dev;
}

// The file helpers' write counts it (and refuses it when a test says so).
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
    int f = ::open(platform::DiskPath(path).c_str(), O_RDWR | O_CLOEXEC | (OnNetworkFs(path) ? O_DSYNC : 0));
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
  if (const int err = platform::FileChangeFault(-1, 0, "create", &path); err != 0) return ErrnoToResult(err);
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

namespace {

int lockWaitMs = [] {
  const char* v = std::getenv("MERLON_LOCK_WAIT_MS");
  const int ms = v != nullptr ? std::atoi(v) : 0;
  return ms > 0 ? ms : 30000;
}();

std::string lastTimeoutPath;

int forceNetwork = [] {
  const char* v = std::getenv("MERLON_NETWORK_FS");
  return v != nullptr && v[0] == '1' ? 1 : 0;
}();

// A blocked lock wait is cut by a signal from a timer of this thread; the handler does
// nothing, and without SA_RESTART the wait returns EINTR.
void Wake(int) {}

int WakeSignal() {
  static const int sig = [] {
    const int s = SIGRTMIN + 4;
    struct sigaction sa {};
    sa.sa_handler = Wake;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;
    ::sigaction(s, &sa, nullptr);
    return s;
  }();
  return sig;
}

LockOutcome WaitBounded(int fd, struct flock* fl) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(lockWaitMs);
  const int sig = WakeSignal();
  sigset_t wake, saved;
  sigemptyset(&wake);
  sigaddset(&wake, sig);
  ::pthread_sigmask(SIG_UNBLOCK, &wake, &saved);
  struct sigevent ev {};
  ev.sigev_notify = SIGEV_THREAD_ID;
  ev.sigev_signo = sig;
  ev._sigev_un._tid = ::gettid();
  timer_t timer;
  if (::timer_create(CLOCK_MONOTONIC, &ev, &timer) != 0) {
    ::pthread_sigmask(SIG_SETMASK, &saved, nullptr);
    return LockOutcome::kError;
  }
  // First at the deadline, then every 20 ms: a signal that lands before the wait begins
  // is followed by another.
  struct itimerspec when {};
  when.it_value.tv_sec = lockWaitMs / 1000;
  when.it_value.tv_nsec = static_cast<long>(lockWaitMs % 1000) * 1000000L + 1;
  when.it_interval.tv_nsec = 20 * 1000000L;
  ::timer_settime(timer, 0, &when, nullptr);
  LockOutcome out = LockOutcome::kError;
  for (;;) {
    if (::fcntl(fd, F_OFD_SETLKW, fl) == 0) {
      out = LockOutcome::kGranted;
      break;
    }
    if (errno != EINTR) break;
    if (Clock::now() >= deadline) {
      out = LockOutcome::kTimedOut;
      break;
    }
  }
  ::timer_delete(timer);
  ::pthread_sigmask(SIG_SETMASK, &saved, nullptr);
  return out;
}

}  // namespace

int LockWaitLimitMs() { return lockWaitMs; }
void SetLockWaitLimitMs(int ms) { lockWaitMs = ms > 0 ? ms : 30000; }
void NoteLockTimeout(const std::string& path) { lastTimeoutPath = path; }
const std::string& LastLockTimeoutPath() { return lastTimeoutPath; }

void SetForceNetworkFs(bool on) { forceNetwork = on ? 1 : 0; }

bool OnNetworkFs(const std::string& path) {
  if (forceNetwork != 0) return true;
  struct statfs fs {};
  if (::statfs(platform::DiskPath(path).c_str(), &fs) != 0) return false;
  switch (static_cast<unsigned long>(fs.f_type)) {
    case 0x6969UL:      // NFS
    case 0x517BUL:      // SMB
    case 0xFF534D42UL:  // CIFS
    case 0xFE534D42UL:  // SMB2/3
      return true;
    default:
      return false;
  }
}

LockOutcome OfdLock(int fd, off_t start, off_t len, short type, bool wait) {
  struct flock fl {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = start;
  fl.l_len = len;
  fl.l_pid = 0;
  if (LockCall(fd, F_OFD_SETLK, &fl)) return LockOutcome::kGranted;
  if (errno != EAGAIN && errno != EACCES) return LockOutcome::kError;
  if (!wait) return LockOutcome::kBusy;
  return WaitBounded(fd, &fl);
}

ReadRefresh::ReadRefresh(int fd, bool on) : fd_(fd) {
  on_ = on && OfdLock(fd_, kReadRefreshByte, 1, F_RDLCK, true) == LockOutcome::kGranted;
}

ReadRefresh::~ReadRefresh() {
  if (on_) OfdUnlock(fd_, kReadRefreshByte, 1);
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
