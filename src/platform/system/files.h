// Small file helpers and case-insensitive name resolution. Paths are POSIX
// paths; folders keep their case, file names are matched without case.
// Paths are given and returned in cp1252; on disk they are UTF-8 (each call
// converts).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

bool FileExists(const std::string& path);        // a regular file that exists
bool DirectoryExists(const std::string& path);
// Something that exists and is neither a regular file nor a folder (a device, a pipe, a socket):
// no print or export is written there.
bool IsSpecialFile(const std::string& path);
// What tells the file under a name from another one put there later (device, inode, size and
// change time); "" when nothing is there.
std::string FileStamp(const std::string& path);
// True when this process may create and write files in `folder` (false on a
// read-only disk or without the rights, even for the superuser's disk).
bool FolderWritable(const std::string& folder);
std::int64_t FileSize(const std::string& path);  // -1 when missing

// The path of the entry of `folder` whose name equals `name` without case
// (an exact match wins). When none matches, folder + "/" + name as given.
// The folder itself is used as given.
std::string ResolveName(const std::string& folder, const std::string& name);
// Same for a whole path: its last component is resolved in its folder.
std::string ResolvePath(const std::string& path);

// Copies a file (through a temporary file renamed at the end). When
// overwrite is false an existing target makes it fail. A failure to read `from` (the disk refused
// it) sets *unread, when given; errno says why either way.
bool CopyFile(const std::string& from, const std::string& to, bool overwrite = true, bool* unread = nullptr);

// True when the last file call that failed was refused for want of room on its disk (ENOSPC, or
// a quota reached): CopyFile and WriteFileAtomic leave that cause when they fail.
bool FailedForWantOfRoom();

// rename(2): atomic replacement of `to` on the same file system.
bool AtomicRename(const std::string& from, const std::string& to);
// link(2): `to` made a second name of the file `from` (no name there before). False where the
// file system has no such names (a FAT key, some shares), or `to` is there.
bool LinkFile(const std::string& from, const std::string& to);

// Writes the whole content to a temporary file in the same folder, flushes
// it and renames it over `path`.
bool WriteFileAtomic(const std::string& path, const std::string& content);
// Flushes a folder's entries to disk (a file renamed or removed in it stays so after a
// power cut); false when the folder cannot be opened or flushed.
bool SyncFolder(const std::string& folder);
// Writes all of data to fd at its position, going on after interruptions; false on an error
// (errno says which). A write cut short (a disk that filled) is taken back: the file keeps the
// length it had and the position where the write began.
bool WriteAll(int fd, const char* data, std::size_t size);
// Writes all of data at `offset`; 0, or the errno of the failure. A write cut short leaves the
// part the disk took: its callers write aside (copies) or take back their own (the engine).
int WriteAllAt(int fd, const void* data, std::size_t size, std::int64_t offset);
// Reads up to `size` bytes at `offset`, stopping early only at the end of the
// file; *got receives the count. 0, or the errno of the failure.
int ReadUpTo(int fd, void* data, std::size_t size, std::int64_t offset, std::size_t* got);

// Reads a whole file; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string& content);

bool RemoveFile(const std::string& path);  // true when it no longer exists
// Removes a folder and all it holds (true when it is no longer there); each file and folder
// removed counts as one change of the file-change count (write_fault.h).
bool RemoveFolderTree(const std::string& path);
bool MakeDirectories(const std::string& path);
bool IsExecutable(const std::string& path);  // the user may run it
bool ChangeDirectory(const std::string& path);  // the process's current folder
// The path a chain of symbolic links ends at (the path itself when it is none).
std::string FollowLinks(const std::string& path);
// The path made absolute from the process's current folder, its "." and ".." taken away as written (no
// link read); a final "/" kept. The path itself when it is absolute already, empty, or cannot be told in
// cp1252.
std::string AbsolutePath(const std::string& path);
// The absolute path of the file a name stands for: the links of its folders and at its end
// followed however deep, each relative link read from the real folder it lies in, as the
// system reads it; a link that leads nowhere is followed as far as it goes. "" when the path
// cannot be told in cp1252.
std::string RealPath(const std::string& path);

// What tells a file from every other, whatever its names: its device and inode, and how many
// names (hard links) it has.
struct FileIdentity {
  std::uint64_t device = 0, inode = 0, links = 0;
  bool SameFile(const FileIdentity& other) const { return device == other.device && inode == other.inode; }
};
// The identity of the file a name stands for (links followed); false when nothing is there.
bool IdentityOf(const std::string& path, FileIdentity* identity);

// The names (cp1252) of the regular files of `folder` that match the shell
// pattern (`*`, `?`, `[...]`; a leading dot only by a dot), sorted. Names that
// cp1252 cannot hold are left out. *error gets the errno of a folder that could not be read (0
// when it was): no name is then a name the folder may well hold.
std::vector<std::string> ListFiles(const std::string& folder, const std::string& pattern = "*", int* error = nullptr);

// Handles of files read and written piecewise (-1 when the open fails).
int OpenForReading(const std::string& path);
// Both open a regular file only, never waiting: a name that stands for a pipe, a device or a
// folder gives -1.
int OpenForAppending(const std::string& path);  // existing file, positioned at its end
int CreateTruncated(const std::string& path);   // created or emptied
bool CloseHandle(int handle);
bool IsFolderHandle(int handle);
// Appends the text with one write in append mode, creating the file, so the
// lines of several processes never mix. An append that fails part-way (a disk that filled) is
// taken back, the file cut to the length it had, before another process appends: it fails
// with the file as it was.
bool AppendToFile(const std::string& path, const std::string& text);

// The user's home folder ($HOME, else the password entry), "" when unknown.
std::string HomeFolder();
// An environment variable holding a path, in cp1252 ("" when unset).
std::string EnvironmentPath(const char* name);
// The user's runtime folder: $XDG_RUNTIME_DIR when it names a folder, else
// /tmp/merlon-<uid> (made with mode 0700 when missing). Ends without "/".
std::string UserRuntimeFolder();
// Raises the soft limit of open files to at least `wanted`; false when the
// hard limit forbids it.
bool EnsureOpenFileLimit(int wanted);

// An exclusive lock on a whole file, held by the open file (the kernel drops
// it when the process ends, however it ends).
class FileLock {
 public:
  FileLock() = default;
  ~FileLock() { Release(); }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  enum class Result { Acquired, Busy, Failed };
  // Opens (creating, mode 0600) the file and locks it without waiting.
  Result Acquire(const std::string& path);
  void Release();
  bool Held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// A file written whole (as WriteFileAtomic) under a lock taken before its name appears and
// held until Release, the object's end or the process's end, however it ends: a byte lock of
// the open file, as the engine's record locks, so that another process or another station
// sharing the folder tells a file whose writer is still at work (FileHeldElsewhere) from one
// left by a writer that stopped.
class HeldFile {
 public:
  HeldFile() = default;
  ~HeldFile() { Release(); }
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;
  // False (nothing left under `path`'s name) when the file cannot be written or locked.
  bool Write(const std::string& path, const std::string& content);
  void Release();

 private:
  int fd_ = -1;
};

// True when a HeldFile or a LockedFile (of this process or another, on this station or another)
// holds the file at `path`. *error gets the errno of a file that could not be opened to be asked
// (0 when it was): false then tells nothing.
bool FileHeldElsewhere(const std::string& path, int* error = nullptr);

// A small file this process keeps open under the lock a HeldFile takes, its bytes written in
// place and never flushed: what a process notes of the work it is doing, read by another process
// once it has stopped (FileHeldElsewhere tells the two apart, however the process ended). A write
// that does not make the file longer needs no room on the disk.
class LockedFile {
 public:
  LockedFile() = default;
  ~LockedFile() { Release(); }
  LockedFile(const LockedFile&) = delete;
  LockedFile& operator=(const LockedFile&) = delete;
  // A new file at `path` (nothing there before), locked before anything is written. False when it
  // cannot be made or locked (errno says why); nothing is left then.
  bool Create(const std::string& path);
  // `bytes` written at `offset`; false (errno set) when the write was refused, perhaps part-way.
  bool WriteAt(std::int64_t offset, const std::string& bytes);
  // The file removed while still locked, so that no reader finds it unheld, then closed.
  bool Remove();
  // Closed, its lock given up: the file stays as a stopped process leaves it.
  void Release();
  bool Held() const { return fd_ >= 0; }
  const std::string& path() const { return path_; }

 private:
  int fd_ = -1;
  std::string path_;
};

}  // namespace platform
