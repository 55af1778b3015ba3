// The count of the changes this process makes to its files, and the faults the crash and
// disk-full tests inject into them. Every change passes FileChangeFault before it is made:
// the engine's writes, truncations, creations, renames and removals, and those of the file
// helpers (a whole file written aside and renamed, a copy, an append, a folder made or
// removed). Both layers count on the one counter, so a run's changes are numbered in order
// whichever layer makes them.
//
// From the n-th change on, the process kills itself before the change (kKill), or every write
// that would make a file longer fails as on a full disk (kFull), or every change fails with
// EROFS, as on a disk remounted read-only after an error (kFailForGood). The n-th change alone
// fails, the later ones going through, with ENOSPC (kFullOnce) or EIO (kFailOnce): a disk that
// was full for a moment, a USB key or a share that lost one write, while the program goes on.
// kPartOnce is the n-th change meeting a disk that fills while it writes, as a real one does: a
// write that makes its file longer writes its bytes up to the file's end and part of those past
// it (up to the first 4096-byte block boundary past the end, else half of them), and is refused
// the rest with ENOSPC; a write inside the file, or any other change, is refused whole (ENOSPC).
//
// Reads are counted apart, on a counter of their own (a run reads far more than it writes):
// each read of a file through the file helpers or the engine (a record, a header, a memo
// block, an index page) passes FileReadFault first. kReadFailOnce refuses the n-th read alone
// with EIO, as a disk that cannot read a sector once, and lets every change through. While a
// fault is set the engine maps nothing, so that every read it makes is counted.
//
// MERLON_WRITE_FAULT="kill:N", "full:N", "fullonce:N", "eioonce:N", "partonce:N",
// "failforgood:N" or "eioreadonce:N" sets it at the start; SetWriteFault(kNone, 0) ends it. In
// the program nothing is set and the check is one test of two words.
#pragma once

#include <atomic>

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

enum class WriteFault { kNone, kKill, kFull, kFullOnce, kFailOnce, kPartOnce, kFailForGood, kReadFailOnce };
void SetWriteFault(WriteFault fault, long nth);
// Changes counted since the fault was set (the crash tests size their loops with it).
long WritesCounted();
// Reads counted since the fault was set.
long ReadsCounted();

// Called before every change with the change's place (the file written and the end of the
// write; -1 for a creation, rename, removal or truncation), so a test can stop a process
// before its N-th change and look at what it leaves. Null in the program.
extern void (*BeforeFileChange)();

// Called, while a fault is set, before every read counted, with the read named in ReadBeingMade
// ("read /path/c50a.dbf"), so a test can refuse the read of one file (a fault set from there
// with SetWriteFault(kReadFailOnce, 1) refuses this very read). Null in the program.
extern void (*BeforeFileRead)();

// The change a once-fault refused, or the first one a lasting fault refused ("write
// /path/c20a.mdx", "rename /path/x"), or the read refused ("read /path/c50a.dbf"), "" when none
// was: what the tests report beside a point that failed.
const std::string& RefusedChange();
// The change BeforeFileChange is called for, named in the same way.
const std::string& ChangeBeingMade();
// The read BeforeFileRead is called for.
const std::string& ReadBeingMade();

namespace detail {
// Atomic: the reads of the balances' worker threads test it while a test arms or moves the fault.
extern std::atomic<WriteFault> armedFault;
// `size` and `part`: a write's length, and where the bytes it makes before a part-written fault
// go (null for the other changes).
int FaultOf(int fd, std::int64_t end, const char* what, const std::string* path, std::size_t size = 0,
            std::size_t* part = nullptr);
int ReadFaultOf(int fd);
}  // namespace detail

// True while a test counts or refuses the changes.
inline bool FileChangesWatched() { return detail::armedFault != WriteFault::kNone || BeforeFileChange != nullptr; }
// 0, or the errno an injected fault gives the change (ENOSPC, EIO); kills the process in kKill.
// `what` and `path` name the change for RefusedChange (the file of `fd` when no path is given).
inline int FileChangeFault(int fd, std::int64_t end, const char* what = "write", const std::string* path = nullptr) {
  return FileChangesWatched() ? detail::FaultOf(fd, end, what, path) : 0;
}
// True while a test counts or refuses the reads: the engine then reads every byte through
// FileReadFault, never through a mapping.
inline bool FileReadsWatched() { return detail::armedFault != WriteFault::kNone; }
// 0, or the errno an injected fault gives a read of the file of `fd` (EIO).
inline int FileReadFault(int fd) { return FileReadsWatched() ? detail::ReadFaultOf(fd) : 0; }
// The same for a write of `size` bytes ending at `end`: when it is refused, *part is what the
// write must put on the disk first (a part-written fault), 0 when it is refused whole.
inline int FileWriteFault(int fd, std::int64_t end, std::size_t size, std::size_t* part) {
  *part = 0;
  return FileChangesWatched() ? detail::FaultOf(fd, end, "write", nullptr, size, part) : 0;
}

}  // namespace platform
