// Small POSIX file helpers of the engine: whole reads and writes at an offset, errno to result
// codes, and open-file-description locks (owned by the open file, not the process, so several
// cursors of one process exclude each other and closing another descriptor keeps them).
#pragma once

#include "engine_users.h"

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "dbierr.h"
#include "platform/system/write_fault.h"

namespace dbase {

// Lock bytes lie far past the end of any data file, so they never touch data.
// Record r is locked at kRecordLockBase - r (records count from 1).
constexpr off_t kRecordLockBase = 0xEFFFFFFEL;
// Every open holds this byte: shared opens read-lock it, exclusive opens write-lock it.
constexpr off_t kOpenSentinelByte = 0xEFFFFFFFL;
// Held (write-locked) by an exclusive open for its whole life, and taken before the sentinel
// by every exclusive open and every change of a cursor between shared and exclusive. Only its
// holder may write-lock the sentinel, so a cursor that lets its shared hold go for a moment
// while it changes mode always gets it back: no lock is ever converted in place, which SMB
// shares do not carry and NFSv4 servers may refuse.
constexpr off_t kExclusiveByte = kOpenSentinelByte + 2;
// Appends (and the header count they write) to a table without a production index are
// serialised on this byte (record 0 never exists); a table with one serialises them with the
// index's update lock, which the append needs anyway.
constexpr off_t kAppendLockByte = kRecordLockBase;
// A check followed by an insert (a new code) runs under this byte, so two processes never
// both find a key missing and both insert it. Held only for the look-up and the insert.
constexpr off_t kCreateLockByte = kOpenSentinelByte + 1;
inline off_t RecordLockByte(std::uint32_t recno) { return kRecordLockBase - static_cast<off_t>(recno); }

// errno of a failed open/read/write as an engine code; `missing` is the code for ENOENT.
DBIResult ErrnoToResult(int err, DBIResult missing = DBIERR_NOSUCHPATH);

// Reads exactly n bytes at off; a short read (end of file) gives DBIERR_FILECORRUPT.
DBIResult ReadAt(int fd, void* buf, std::size_t n, off_t off);
// Reads up to n bytes at off; *got receives what was read (fewer at end of file). A read the
// system refuses (an I/O error) gives its code and goes to DbiReadRefusedHook.
DBIResult ReadSome(int fd, void* buf, std::size_t n, off_t off, std::size_t* got);
DBIResult WriteAt(int fd, const void* buf, std::size_t n, off_t off);
// Called before every change of a file (the engine's and the file helpers', write_fault.h), so
// a test can stop a process before its N-th change and look at what it leaves. Null in the
// program. The one hook of the system layer, under the engine's name.
inline void (*&BeforeFileChange)() = platform::BeforeFileChange;
DBIResult FileSize(int fd, off_t* size);
// Cuts or extends a file to `size` bytes.
DBIResult TruncateFile(int fd, off_t size);
// Renames a file over another (atomic on one file system).
DBIResult RenameFile(const std::string& from, const std::string& to);
// Removes a file; one that is not there is no error.
DBIResult RemoveFile(const std::string& path);
// Writes a file's data (or a folder's entries) to the disk.
DBIResult SyncFile(const std::string& path);
// True when the descriptor and the path name the same file (no rename came between).
bool SameFile(int fd, const std::string& path);

// Faults for the crash and disk-full tests, counted over every change of a file of the engine
// (each write, creation, truncation, rename and removal) and of the file helpers on one counter:
// see platform/system/write_fault.h.
using platform::WriteFault;
using platform::SetWriteFault;
using platform::WritesCounted;
// The folder of the file an operation found the disk full in, for the engine's message.
void NoteDiskFull(const std::string& path);
const std::string& DiskFullFolder();

// Damage found while the engine kept going (a memo file's free pointer below its used
// blocks): the file and the code go to this hook, which marks the table for the rebuild.
extern void (*DbiDamageHook)(const char* path, DBIResult code);
void ReportDamage(const std::string& path, DBIResult code);

// A change of a table's files that the system refused (a full disk, an I/O error, a disk
// made read-only): the table's data file and the code go to this hook, before any later call
// can overwrite the code the caller reads, so that a run names the write that stopped it.
extern void (*DbiWriteRefusedHook)(const char* path, DBIResult code);
// The result of a change of the table at `path`, passed on; a refusal goes to the hook.
DBIResult NoteWriteRefused(const std::string& path, DBIResult rc);

// A read of a table's file (data, memo or index) that the system refused: the file read and the
// code go to this hook, as they happen, so that a run that read through it fails as one whose
// write was refused, rather than take what it read for the whole table.
extern void (*DbiReadRefusedHook)(const char* path, DBIResult code);
// The refusal of a read of the file of `fd` passed on to the hook; `rc` returned unchanged.
DBIResult NoteReadRefused(int fd, DBIResult rc);

// Opens read-write when the file allows it, else read-only (*writable tells which). On a
// network file system the file is written through (O_DSYNC).
DBIResult OpenFile(const std::string& path, bool wantWrite, int* fd, bool* writable,
                   DBIResult missing = DBIERR_NOSUCHPATH);
// Asks the system not to record access times on reads through fd. Each read after a write
// would otherwise rewrite the file's inode (relatime updates the access time whenever it is
// older than the last change), which is most of the cost of the small reads of the shared
// update protocol. Refused (and harmless) when this user does not own the file.
void SkipAccessTime(int fd);
// Creates (truncating) a file read-write.
DBIResult CreateFile(const std::string& path, int* fd);
// Copies a whole file, replacing the target.
DBIResult CopyFile(const std::string& from, const std::string& to);
// Paths are cp1252 and opened in UTF-8 (platform::DiskPath). Existence and the case-insensitive
// look-up of names are the system layer's: platform::FileExists, platform::ResolvePath.
// Path with its extension replaced (or added): WithExtension("a/b.DBF", ".mdx") = "a/b.mdx".
std::string WithExtension(const std::string& path, const std::string& ext);
// File name without folder and extension.
std::string BaseName(const std::string& path);

enum class LockOutcome { kGranted, kBusy, kTimedOut, kError };
// Takes an OFD lock of `len` bytes at `start`: type F_RDLCK or F_WRLCK. Without `wait` a lock
// held elsewhere gives kBusy at once; with it the call waits in the kernel's queue, at most
// LockWaitLimitMs(), then gives kTimedOut (a station suspended or hung while it holds a lock
// must not stop every other one for good).
LockOutcome OfdLock(int fd, off_t start, off_t len, short type, bool wait);
// The bound of a lock wait in milliseconds: 30 s, or MERLON_LOCK_WAIT_MS when set at start.
int LockWaitLimitMs();
void SetLockWaitLimitMs(int ms);
// The file of the last wait that gave up, for the engine's message (DbiGetErrorString).
void NoteLockTimeout(const std::string& path);
const std::string& LastLockTimeoutPath();

// True when the file lies on a network file system (NFS, SMB/CIFS), or when the engine is told
// to act as if it did (MERLON_NETWORK_FS=1, SetForceNetworkFs). A network client does not
// promise that a mapping sees another station's writes, nor that a read sees them unless a
// lock was taken on that file since: the engine then never maps, reads records under a lock
// of the data file and writes through (O_DSYNC) so that the next station's lock sees them.
bool OnNetworkFs(const std::string& path);
void SetForceNetworkFs(bool on);
// A read lock on this byte, never write-locked, is what a network read takes first: taking a
// lock makes the client drop what it cached of the file.
constexpr off_t kReadRefreshByte = kOpenSentinelByte + 3;

// Holds that read lock for one read when `on` (the file is on a network file system).
class ReadRefresh {
 public:
  ReadRefresh(int fd, bool on);
  ~ReadRefresh();
  ReadRefresh(const ReadRefresh&) = delete;
  ReadRefresh& operator=(const ReadRefresh&) = delete;

 private:
  int fd_;
  bool on_;
};
void OfdUnlock(int fd, off_t start, off_t len);
// True when another open file description holds a lock that conflicts with `type` on the range.
bool OfdConflict(int fd, off_t start, off_t len, short type);

}  // namespace dbase
