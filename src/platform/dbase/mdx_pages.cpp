// Index files: the object, its transactions and update mark, the page cache and the free
// list, and the opening, creation and closing of a file.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <utility>

#include "mdx_impl.h"
#include "platform/system/cp1252.h"
#include "platform/system/files.h"
#include "platform/system/write_fault.h"

namespace dbase {

DBIResult ErrnoResult(int err) {
  switch (err) {
    case ENOENT: case ENOTDIR: return DBIERR_NOSUCHPATH;
    case EACCES: case EPERM: case EROFS: return DBIERR_OSACCESS;
    case EMFILE: case ENFILE: return DBIERR_TOOMANYFILES;
    case ENOMEM: return DBIERR_NOMEMORY;
    case ENOSPC: case EDQUOT: case EFBIG: return DBIERR_DISKFULL;
    default: return DBIERR_OSERROR;
  }
}

DBIResult ReadExact(int fd, void* buf, std::size_t n, off_t off) {
  auto* p = static_cast<std::uint8_t*>(buf);
  if (const int fault = platform::FileReadFault(fd); fault != 0) return NoteReadRefused(fd, ErrnoResult(fault));
  while (n > 0) {
    const ssize_t r = ::pread(fd, p, n, off);
    if (r < 0) {
      if (errno == EINTR) continue;
      return NoteReadRefused(fd, ErrnoResult(errno));
    }
    if (r == 0) return DBIERR_INDEXCORRUPT;
    p += r;
    n -= static_cast<std::size_t>(r);
    off += r;
  }
  return DBIERR_NONE;
}

DBIResult WriteExact(int fd, const void* buf, std::size_t n, off_t off) {
  const iovec part{const_cast<void*>(buf), n};
  return WriteExactV(fd, &part, 1, off);
}

DBIResult WriteExactV(int fd, const iovec* parts, int count, off_t off) {
  std::size_t n = 0;
  for (int i = 0; i < count; ++i) n += parts[i].iov_len;
  // A refused write; one refused part-way (a disk that fills) writes what the disk takes first.
  std::size_t part = 0;
  const int fault = platform::FileWriteFault(fd, off + static_cast<off_t>(n), n, &part);
  if (fault != 0 && part == 0) return ErrnoResult(fault);
  // The parts are advanced as they are written: a copy of them, on the stack for a run of pages.
  iovec few[64];
  std::vector<iovec> many;
  iovec* at = few;
  if (count <= 64) {
    std::copy(parts, parts + count, few);
  } else {
    many.assign(parts, parts + count);
    at = many.data();
  }
  int remaining = count;
  if (fault != 0) {
    // Only the part: the parts past it dropped, the one it cuts shortened.
    std::size_t left = part;
    int kept = 0;
    while (kept < remaining && left > 0) {
      at[kept].iov_len = std::min(at[kept].iov_len, left);
      left -= at[kept].iov_len;
      ++kept;
    }
    remaining = kept;
  }
  while (remaining > 0) {
    const ssize_t r = ::pwritev(fd, at, remaining, off);
    if (r < 0) {
      if (errno == EINTR) continue;
      return ErrnoResult(errno);
    }
    off += r;
    // A short write: the parts written are passed over, the one cut short resumed.
    std::size_t done = static_cast<std::size_t>(r);
    while (remaining > 0 && done >= at->iov_len) {
      done -= at->iov_len;
      ++at;
      --remaining;
    }
    if (remaining > 0) {
      at->iov_base = static_cast<std::uint8_t*>(at->iov_base) + done;
      at->iov_len -= done;
    }
  }
  return fault != 0 ? ErrnoResult(fault) : DBIERR_NONE;
}

LockOutcome LockByte(int fd, short type) { return OfdLock(fd, kMdxLockByte, 1, type, true); }

void UnlockByte(int fd) {
  struct flock fl {};
  fl.l_type = F_UNLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = kMdxLockByte;
  fl.l_len = 1;
  ::fcntl(fd, F_OFD_SETLK, &fl);
}

std::string UpperName(std::string_view s) {
  std::string r(s.substr(0, std::min<std::size_t>(s.size(), 10)));
  for (char& c : r) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  while (!r.empty() && r.back() == ' ') r.pop_back();
  return r;
}

// ---- transactions and the update's journal ---------------------------------------------

// The journal of shared updates, beside the index (its name + ".journal"), opened by an object's
// first update and kept; each update writes its part before its first write into the index:
//   head (64 bytes): 0-7 "MRLNMDXJ", 8-11 version 2, 12-15 flags (1: the caller's own writes may
//     stand, so the mark stays once the index is put back), 16-23 device and 24-31 inode of the
//     index file, 32-35 its change counter when the update began, 36-39 the update's mark,
//     40-47 the end of its pages then, 60-63 checksum of bytes 0-59;
//   then records, each before the write it covers: 0-7 place in the index, 8-11 length n,
//     12-15 checksum (from the mark) of bytes 0-11 and of the n bytes, 16.. the bytes the place
//     held before.
// The first record is the index's header. The journal is the update's while the index holds its
// mark and counter: once the mark is cleared the update ended, and the journal is no one's until
// the next update writes its own head over it. A record whose checksum fails ends the journal:
// it was being written when its writer died, before the write it covers, or is left from a
// longer journal of another update.
namespace {

constexpr char kJournalMagic[8] = {'M', 'R', 'L', 'N', 'M', 'D', 'X', 'J'};
constexpr std::size_t kJournalHead = 64;
constexpr std::size_t kRecordHead = 16;
constexpr std::uint32_t kCallerPartFlag = 1;
constexpr std::uint32_t kJournalVersion = 3;
// A mark with no journal: an exclusive object's, a stale index's, one whose update was put back
// with the caller's writes standing.
constexpr std::uint32_t kPlainMark = 1;
// `before` is searched in turn up to this many places, through `kept` past it.
constexpr std::size_t kKeptScan = 24;
// A journal (file or buffer) longer than this once its update has ended is cut back to nothing:
// one large update (an import's batch) does not leave its size behind for good.
constexpr std::size_t kJournalKept = 256 * 1024;

// A checksum of whole pages at little cost: two sums of eight-byte words over four lanes (the
// second adds up the first after each word, so that a word out of its place tells too), the
// lanes then mixed with the bytes past them. The loop holds no multiply: the compiler spreads its
// lanes over vector registers.
std::uint32_t Checksum(const std::uint8_t* p, std::size_t n, std::uint64_t h) {
  std::uint64_t a[4] = {h, h ^ 0x9E3779B97F4A7C15ull, h ^ 0xC2B2AE3D27D4EB4Full, ~h};
  std::uint64_t b[4] = {0, 0, 0, 0};
  std::size_t i = 0;
  for (; i + 32 <= n; i += 32) {
    for (int k = 0; k < 4; ++k) {
      std::uint64_t w;
      std::memcpy(&w, p + i + 8 * static_cast<std::size_t>(k), 8);
      a[k] += w;
      b[k] += a[k];
    }
  }
  std::uint64_t x = h ^ static_cast<std::uint64_t>(n);
  for (; i < n; ++i) x = (x ^ p[i]) * 0x100000001B3ull;
  for (int k = 0; k < 4; ++k) {
    x = (x ^ a[k]) * 0x100000001B3ull;
    x ^= x >> 29;
    x = (x ^ b[k]) * 0x100000001B3ull;
    x ^= x >> 29;
  }
  return static_cast<std::uint32_t>(x ^ (x >> 32));
}
constexpr std::uint64_t kSeed = 0xCBF29CE484222325ull;

void Put64(std::uint8_t* p, std::uint64_t v) {
  Put32(p, static_cast<std::uint32_t>(v));
  Put32(p + 4, static_cast<std::uint32_t>(v >> 32));
}
std::uint64_t Get64(const std::uint8_t* p) { return Get32(p) | static_cast<std::uint64_t>(Get32(p + 4)) << 32; }

struct JournalHead {
  std::uint32_t flags = 0;
  std::uint64_t dev = 0, ino = 0;
  std::uint32_t counter = 0;
  std::uint32_t mark = 0;
  std::uint64_t end = 0;
};

void PutJournalHead(std::uint8_t* out, const JournalHead& h) {
  std::memset(out, 0, kJournalHead);
  std::memcpy(out, kJournalMagic, 8);
  Put32(out + 8, kJournalVersion);
  Put32(out + 12, h.flags);
  Put64(out + 16, h.dev);
  Put64(out + 24, h.ino);
  Put32(out + 32, h.counter);
  Put32(out + 36, h.mark);
  Put64(out + 40, h.end);
  Put32(out + 60, Checksum(out, 60, kSeed));
}

// The head of the journal of `m`'s update in progress.
JournalHead HeadOf(const Mdx::Impl& m, std::uint32_t flags) {
  JournalHead h;
  h.flags = flags;
  h.dev = m.fileDev;
  h.ino = m.fileIno;
  h.counter = m.txnCounter;
  h.mark = m.nonce;
  h.end = static_cast<std::uint64_t>(m.committedEnd);
  return h;
}

// A record's checksum: from the update's mark, so that a record left from another update's
// journal does not pass for one of this update.
std::uint32_t RecordChecksum(const std::uint8_t* record, std::uint32_t n, std::uint32_t mark) {
  return Checksum(record + kRecordHead, n, Checksum(record, 12, kSeed ^ mark));
}

// The mark of a shared update: another one than any update's before it, of any station, as far
// as can be told; never 0 (no mark) nor the plain mark.
std::uint32_t NewMark() {
  static std::atomic<std::uint64_t> sequence{0};
  static const std::uint64_t process = static_cast<std::uint64_t>(::getpid()) << 32;
  // The clock tells a forked process's marks from its parent's.
  const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
  std::uint64_t x = process ^ static_cast<std::uint64_t>(now) ^
                    (sequence.fetch_add(1, std::memory_order_relaxed) * 0x9E3779B97F4A7C15ull);
  x ^= x >> 31;
  x *= 0xBF58476D1CE4E5B9ull;
  x ^= x >> 27;
  const std::uint32_t m = static_cast<std::uint32_t>(x ^ (x >> 32));
  return m > kPlainMark ? m : m + 2;
}

// The journal's head and its whole records of the update whose head it holds (their bytes in
// `all`); false when the head is not whole.
bool ReadJournal(int jfd, JournalHead* head, std::vector<std::uint8_t>* all, std::vector<Mdx::Impl::Before>* records) {
  struct stat st {};
  if (::fstat(jfd, &st) != 0 || st.st_size < static_cast<off_t>(kJournalHead)) return false;
  all->resize(static_cast<std::size_t>(st.st_size));
  if (ReadExact(jfd, all->data(), all->size(), 0) != DBIERR_NONE) return false;
  const std::uint8_t* h = all->data();
  if (std::memcmp(h, kJournalMagic, 8) != 0 || Get32(h + 8) != kJournalVersion || Get32(h + 60) != Checksum(h, 60, kSeed))
    return false;
  head->flags = Get32(h + 12);
  head->dev = Get64(h + 16);
  head->ino = Get64(h + 24);
  head->counter = Get32(h + 32);
  head->mark = Get32(h + 36);
  head->end = Get64(h + 40);
  for (std::size_t at = kJournalHead; at + kRecordHead <= all->size();) {
    const std::uint8_t* r = all->data() + at;
    const std::uint32_t n = Get32(r + 8);
    if (n == 0 || n > all->size() - at - kRecordHead) break;
    if (Get32(r + 12) != RecordChecksum(r, n, head->mark)) break;
    records->push_back(Mdx::Impl::Before{static_cast<off_t>(Get64(r)), static_cast<std::uint32_t>(at + kRecordHead), n});
    at += kRecordHead + n;
  }
  return true;
}

// Cuts the file back to `end`, then writes the kept bytes (in `base`) back, the last kept
// first; what could not be written back stays in `before`. The header's bytes, kept first, go
// last and clear the update's mark.
DBIResult WriteBackBefore(int fd, const std::uint8_t* base, std::vector<Mdx::Impl::Before>& before, off_t end) {
  DBIResult r = DBIERR_NONE;
  struct stat st {};
  if (end > 0 && ::fstat(fd, &st) == 0 && st.st_size > end) r = TruncateFile(fd, end);
  while (r == DBIERR_NONE && !before.empty()) {
    const Mdx::Impl::Before& b = before.back();
    r = WriteExact(fd, base + b.from, b.n, b.at);
    if (r == DBIERR_NONE) before.pop_back();
  }
  return r;
}

// Puts back, on `fd` (opened for writing, under the write lock or the table alone), the update
// whose journal lies beside the index at `path`, when the index still holds that update's mark
// and counter. *done when the index was put back.
DBIResult ApplyJournal(int fd, const std::string& path, bool* done) {
  *done = false;
  // Opened for writing when it can be: once put back, a long journal is cut back to nothing.
  const std::string journalPath = platform::DiskPath(IndexJournalPath(path));
  int jfd = ::open(journalPath.c_str(), O_RDWR | O_CLOEXEC);
  if (jfd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM))
    jfd = ::open(journalPath.c_str(), O_RDONLY | O_CLOEXEC);
  if (jfd < 0) return errno == ENOENT ? DBIERR_NONE : ErrnoResult(errno);
  JournalHead head;
  std::vector<std::uint8_t> all;
  std::vector<Mdx::Impl::Before> records;
  const bool whole = ReadJournal(jfd, &head, &all, &records);
  const int journalFd = jfd;
  struct JournalCloser {
    int fd;
    ~JournalCloser() { ::close(fd); }
  } closer{jfd};
  std::uint8_t c[8];  // the mark, then the counter
  DBIResult r = ReadExact(fd, c, 8, kMarkAt);
  if (r != DBIERR_NONE) return r;
  struct stat st {};
  if (::fstat(fd, &st) != 0) return ErrnoResult(errno);
  const bool ours = whole && head.dev == static_cast<std::uint64_t>(st.st_dev) &&
                    head.ino == static_cast<std::uint64_t>(st.st_ino) && Get32(c) == head.mark &&
                    Get32(c + 4) == head.counter && !records.empty() && records.front().at == 0;
  if (!ours) {
    // No update's journal holds the mark: its update wrote no page (its journal goes first), or
    // its journal is lost. The mark is the plain one from now on, for the rebuild. There is
    // nothing to put back: a refused write of the plain mark leaves the index as readable as
    // the plain mark does, and the next station writes it.
    if (Get32(c) > kPlainMark) {
      std::uint8_t m[4];
      Put32(m, kPlainMark);
      (void)WriteExact(fd, m, 4, kMarkAt);
    }
    return DBIERR_NONE;
  }
  // Whether the update wrote over nothing yet (each place holds its bytes before, the header but
  // for its mark): then the index reads as before even when the disk refuses the put-back.
  bool untouched = true;
  std::vector<std::uint8_t> now;
  for (const Mdx::Impl::Before& b : records) {
    now.resize(b.n);
    if (ReadExact(fd, now.data(), b.n, b.at) != DBIERR_NONE) {
      untouched = false;
      break;
    }
    if (b.at == 0 && b.n >= kMarkAt + 4) std::memcpy(now.data() + kMarkAt, all.data() + b.from + kMarkAt, 4);
    if (std::memcmp(now.data(), all.data() + b.from, b.n) != 0) {
      untouched = false;
      break;
    }
  }
  r = WriteBackBefore(fd, all.data(), records, static_cast<off_t>(head.end));
  // The caller's own writes may stand (a record the update was for): the index, as before the
  // update, is still marked as not matching the table until a station rebuilds it.
  if (r == DBIERR_NONE && (head.flags & kCallerPartFlag) != 0) {
    std::uint8_t m[4];
    Put32(m, kPlainMark);
    r = WriteExact(fd, m, 4, kMarkAt);
  }
  // Nothing written over: the mark left reads as the plain one until a station can write.
  if (r != DBIERR_NONE) return untouched ? DBIERR_NONE : r;
  *done = true;
  // The update put back, its journal is no one's: a long one is not kept.
  if (all.size() > kJournalKept) (void)::ftruncate(journalFd, 0);
  return DBIERR_NONE;
}

}  // namespace

std::string IndexJournalPath(const std::string& mdxPath) { return mdxPath + ".journal"; }

bool IndexMarkHasJournal(std::uint32_t mark) { return mark > kPlainMark; }

DBIResult PutBackLeftIndexUpdate(const std::string& mdxPath, bool* done) {
  *done = false;
  const int fd = ::open(platform::DiskPath(mdxPath).c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return ErrnoResult(errno);
  DBIResult r = DBIERR_NONE;
  const LockOutcome got = LockByte(fd, F_WRLCK);
  if (got == LockOutcome::kGranted) {
    r = ApplyJournal(fd, mdxPath, done);
    UnlockByte(fd);
  } else if (got == LockOutcome::kTimedOut) {
    NoteLockTimeout(mdxPath);
    r = DBIERR_LOCKTIMEOUT;
  } else {
    r = ErrnoResult(errno);
  }
  ::close(fd);
  return r;
}

bool Mdx::Impl::Kept(off_t at) {
  if (before.size() <= kKeptScan) {
    for (const Before& b : before)
      if (b.at == at) return true;
    return false;
  }
  for (; keptUpTo < before.size(); ++keptUpTo) kept.insert(before[keptUpTo].at);
  return kept.count(at) != 0;
}

void Mdx::Impl::AddBefore(off_t at, const std::uint8_t* bytes, std::size_t n) {
  const std::size_t from = journalSize;
  // The buffer only grows, by doubling: its bytes are written over, never cleared.
  if (journal.size() < from + kRecordHead + n) journal.resize(std::max(2 * journal.size(), from + kRecordHead + n));
  journalSize = from + kRecordHead + n;
  std::uint8_t* r = journal.data() + from;
  Put64(r, static_cast<std::uint64_t>(at));
  Put32(r + 8, static_cast<std::uint32_t>(n));
  std::memcpy(r + kRecordHead, bytes, n);  // its checksum goes in when it is written
  before.push_back(Before{at, static_cast<std::uint32_t>(from + kRecordHead), static_cast<std::uint32_t>(n)});
}

void Mdx::Impl::WillChange(std::uint32_t block, const std::uint8_t* p) {
  if (exclusive || !writeLocked) return;
  const off_t at = static_cast<off_t>(block) * kBlock;
  if (at >= committedEnd || Kept(at)) return;
  AddBefore(at, p, static_cast<std::size_t>(std::min<off_t>(kPage, committedEnd - at)));
}

DBIResult Mdx::Impl::KeepBefore(off_t off, std::size_t n) {
  if (exclusive || off >= committedEnd || Kept(off)) return DBIERR_NONE;
  const std::size_t n2 = static_cast<std::size_t>(std::min<off_t>(static_cast<off_t>(n), committedEnd - off));
  std::uint8_t page[kHeaderLength > kPage ? kHeaderLength : kPage];
  const DBIResult r = ReadExact(fd, page, std::min(n2, sizeof page), off);
  if (r == DBIERR_NONE) AddBefore(off, page, std::min(n2, sizeof page));
  return r;
}

void Mdx::Impl::StartBefore() {
  txnCounter = counter;
  before.clear();
  kept.clear();
  keptUpTo = 0;
  journalWritten = 0;
  if (exclusive) return;
  nonce = NewMark();
  if (journal.size() < kJournalHead) journal.resize(kJournalHead);
  journalSize = kJournalHead;
  // The header's first block: the tag table past it is kept only when the update changes it.
  AddBefore(0, header, kBlock);
  // The mark as the file holds it: another writer's when this update is its repair.
  Put32(journal.data() + before.back().from + kMarkAt, fileMark);
}

DBIResult Mdx::Impl::OpenJournal() {
  if (journalFd >= 0) return DBIERR_NONE;
  struct stat st {};
  if (::fstat(fd, &st) != 0) return ErrnoResult(errno);
  const std::string path = IndexJournalPath(this->path);
  const int flags = O_RDWR | O_CLOEXEC | (network ? O_DSYNC : 0);
  // Opened (made empty the first time) as the index is: no change of the books, and not counted as
  // one, so that a run makes as many changes whichever of its objects first updates an index.
  // Made with the index's rights rather than this station's mask: every station that writes the
  // index opens the journal for writing too (a folder shared by a group stays so).
  int j = ::open(platform::DiskPath(path).c_str(), flags | O_CREAT | O_EXCL, 0600);
  if (j >= 0) {
    (void)::fchmod(j, st.st_mode & 07777);
  } else if (errno == EEXIST) {
    j = ::open(platform::DiskPath(path).c_str(), flags);
  }
  if (j < 0) return ErrnoResult(errno);
  journalFd = j;
  fileDev = static_cast<std::uint64_t>(st.st_dev);
  fileIno = static_cast<std::uint64_t>(st.st_ino);
  return DBIERR_NONE;
}

DBIResult Mdx::Impl::JournalPending() {
  if (exclusive || !writeLocked || journalSize <= std::max(journalWritten, kJournalHead)) return DBIERR_NONE;
  if (journalFd < 0) return DBIERR_INVALIDHNDL;  // opened when the update began
  if (journalWritten == 0) {
    PutJournalHead(journal.data(), HeadOf(*this, spanning ? kCallerPartFlag : 0));
  }
  // The records not yet written take their checksums, then go with the head in one write.
  for (auto b = before.rbegin(); b != before.rend() && b->from > journalWritten; ++b) {
    std::uint8_t* r = journal.data() + b->from - kRecordHead;
    Put32(r + 12, RecordChecksum(r, b->n, nonce));
  }
  const DBIResult r =
      WriteExact(journalFd, journal.data() + journalWritten, journalSize - journalWritten, static_cast<off_t>(journalWritten));
  if (r != DBIERR_NONE) return r;
  journalWritten = journalSize;
  journalPeak = std::max(journalPeak, journalWritten);
  return DBIERR_NONE;
}

DBIResult Mdx::Impl::PutBack() {
  const std::size_t written = journalWritten;
  DBIResult r = WriteBackBefore(fd, journal.data(), before, committedEnd);
  if (r == DBIERR_NONE) {
    marked = false;
    return r;
  }
  // The rest stays in the journal for the next station that takes the lock; the caller took back
  // its own writes, so the index will be as it was, unmarked.
  if (written > 0) {
    std::uint8_t head[kJournalHead];
    PutJournalHead(head, HeadOf(*this, 0));
    (void)WriteExact(journalFd, head, kJournalHead, 0);
  } else if (!before.empty()) {
    // Only the mark was written: a journal of what is left, the header first.
    const bool was = spanning;
    spanning = false;
    journalWritten = 0;
    (void)JournalPending();
    spanning = was;
  }
  return r;
}

DBIResult Mdx::Impl::PutBackLeftUpdate(bool* done) {
  *done = false;
  if (readOnly) return PutBackLeftIndexUpdate(path, done);
  return ApplyJournal(fd, path, done);
}

DBIResult Mdx::Impl::Begin(bool write) {
  if (fd < 0) return DBIERR_INVALIDHNDL;
  if (write && readOnly) return DBIERR_NOTSUPPORTED;
  if (lockDepth++ > 0) {
    if (write && !writeLocked && !exclusive) {
      --lockDepth;
      return DBIERR_INVALIDPARAM;
    }
    return DBIERR_NONE;
  }
  writeLocked = write;
  txnChanged = txnWrote = keepMark = spanning = false;
  if (!exclusive) {
    const LockOutcome got = LockByte(fd, write ? F_WRLCK : F_RDLCK);
    if (got != LockOutcome::kGranted) {
      lockDepth = 0;
      if (got != LockOutcome::kTimedOut) return ErrnoResult(errno);
      NoteLockTimeout(path);
      return DBIERR_LOCKTIMEOUT;
    }
  }
  const bool loading = !synced;
  DBIResult r = Sync();
  // An index holding the mark of a shared update under our lock holds the update of a writer that
  // is gone, or one whose put-back the disk refused: put back from its journal before it is read.
  // Under the write lock (the table alone needs none, and looks once, when it reads the file); a
  // reader lets its read lock go for it and takes it again, and nothing was read meanwhile.
  if ((r == DBIERR_NONE || r == DBIERR_INDEXCORRUPT) && IndexMarkHasJournal(fileMark) && !repairing &&
      (!exclusive || loading)) {
    bool done = false;
    DBIResult p = DBIERR_NONE;
    if (write || exclusive) {
      p = PutBackLeftUpdate(&done);
    } else {
      UnlockByte(fd);
      p = PutBackLeftIndexUpdate(path, &done);
      const LockOutcome again = LockByte(fd, F_RDLCK);
      if (again != LockOutcome::kGranted) {
        lockDepth = 0;
        if (again != LockOutcome::kTimedOut) return ErrnoResult(errno);
        NoteLockTimeout(path);
        return DBIERR_LOCKTIMEOUT;
      }
      done = true;  // read again whatever happened while the lock was let go
    }
    if (done) {
      synced = false;
      r = Sync();
    }
    // A put-back refused: no station reads or writes through the update's pages; the table alone
    // rebuilds the index.
    if (p != DBIERR_NONE && (r == DBIERR_NONE || r == DBIERR_INDEXCORRUPT) && !exclusive &&
        IndexMarkHasJournal(fileMark))
      r = p;
  }
  txnCounter = counter;
  // A shared update's journal is opened before anything is written: an update that cannot have
  // one is refused whole.
  if (r == DBIERR_NONE && write && !exclusive) r = OpenJournal();
  if (r == DBIERR_NONE && write) StartBefore();
  if (r == DBIERR_NONE && write && interrupted && !repairing) r = DBIERR_INDEXOUTOFDATE;
  if (r != DBIERR_NONE) End(false);
  return r;
}

DBIResult Mdx::Impl::Mark() {
  if (marked) return DBIERR_NONE;
  std::uint8_t m[4];
  Put32(m, exclusive ? kPlainMark : nonce);
  DBIResult r = WriteExact(fd, m, 4, kMarkAt);
  if (r == DBIERR_NONE) marked = true;
  return r;
}

DBIResult Mdx::Impl::WriteMarked(const void* buf, std::size_t n, off_t off) {
  DBIResult r = JournalPending();
  if (r == DBIERR_NONE) r = Mark();
  if (r != DBIERR_NONE) return r;
  txnWrote = true;
  return WriteExact(fd, buf, n, off);
}

off_t Mdx::Impl::FileLength() const {
  struct stat st {};
  return ::fstat(fd, &st) == 0 ? st.st_size : 0;
}

void Mdx::Impl::CutBack(off_t size) {
  if (size > 0 && FileLength() > size) (void)TruncateFile(fd, size);
}

DBIResult Mdx::Impl::End(bool commit) {
  if (lockDepth == 0) return DBIERR_NONE;
  if (--lockDepth > 0) {
    if (!commit) abandoned = true;
    return DBIERR_NONE;
  }
  if (abandoned) commit = false;
  abandoned = false;
  DBIResult r = DBIERR_NONE;
  if (!exclusive) {
    if (writeLocked && commit) r = WriteBack();
    if (writeLocked && (!commit || r != DBIERR_NONE)) {
      // Nothing of a failed update stays in the file: what it wrote over is put back, the pages
      // it added cut off and its mark cleared, or left in its journal for the next station that
      // takes the lock while the disk refuses that too. The mark stays where the caller's own
      // writes stand, or where it was another writer's (a repair that failed). The pages are
      // read again next time.
      // The journal of an update whose mark stays (the caller's writes stand, or a repair
      // failed) is the next station's to put back; the file stays open for the next update.
      if (marked && !keepMark && !interrupted) (void)PutBack();
      synced = false;
      ClearCache();
      dirtyList.clear();
    }
    // An update ended with no mark of its own left: a long journal is cut back to nothing while
    // the lock is held (no other update writes it meanwhile), and so is the buffer it was made in.
    if (writeLocked && !marked && journalPeak > kJournalKept) {
      if (journalFd >= 0) (void)::ftruncate(journalFd, 0);
      std::vector<std::uint8_t>().swap(journal);
      journalSize = journalWritten = 0;
      before.clear();
      kept.clear();
      keptUpTo = 0;
    }
    journalPeak = 0;
    marked = false;
    UnlockByte(fd);
  } else if (writeLocked && !commit && (txnChanged || keepMark)) {
    // Pages may be half changed in memory: the mark stays until the index is rebuilt.
    stale = true;
    interrupted = true;
    Mark();
  }
  keepMark = false;
  writeLocked = false;
  if (cache.size() > kCachePages) Trim();
  return r;
}

DBIResult Mdx::Impl::WriteBack() {
  // An exclusive object whose update was abandoned writes nothing more: its mark stands in
  // the file and the next station rebuilds the index from the table. A header written now
  // could count pages the failed update took but never wrote (a full disk), which would
  // leave a file every later open refuses.
  if (exclusive && stale) return DBIERR_NONE;
  bool any = headerDirty || tagTableDirty;
  std::sort(dirtyList.begin(), dirtyList.end());
  // Pages past the end of the used pages go first: when the disk is full, the file is cut
  // back and no page in use has changed.
  const off_t sizeBefore = committedEnd;
  auto past = std::partition_point(dirtyList.begin(), dirtyList.end(),
                                   [&](std::uint32_t b) { return static_cast<off_t>(b) * kBlock < sizeBefore; });
  std::rotate(dirtyList.begin(), past, dirtyList.end());
  bool extending = true;
  const bool wroteBefore = txnWrote;
  // What the pages held before is what the update read to change them; a page changed without
  // (none is) would be read here, and so is the tag table the update changed.
  if (!exclusive && writeLocked) {
    for (std::uint32_t block : dirtyList) {
      DBIResult r = KeepBefore(static_cast<off_t>(block) * kBlock, kPage);
      if (r != DBIERR_NONE) return r;
    }
    if (tagTableDirty) {
      DBIResult r = KeepBefore(kBlock, kHeaderLength - kBlock);
      if (r != DBIERR_NONE) return r;
    }
  }
  // Pages that follow each other in the file go in one write.
  constexpr int kRunPages = 64;
  iovec parts[kRunPages];
  Slot* slots[kRunPages];
  int run = 0;
  std::uint32_t runStart = 0;
  auto writeRun = [&]() -> DBIResult {
    if (run == 0) return DBIERR_NONE;
    if (static_cast<off_t>(runStart) * kBlock < sizeBefore) extending = false;
    DBIResult r = JournalPending();
    if (r == DBIERR_NONE) r = Mark();
    if (r == DBIERR_NONE) {
      txnWrote = true;
      r = WriteExactV(fd, parts, run, static_cast<off_t>(runStart) * kBlock);
    }
    if (r != DBIERR_NONE) {
      // Only new pages were written, and they are cut off again: no page in use changed,
      // so the mark may go with the failed update.
      if (extending && ::ftruncate(fd, sizeBefore) == 0) txnWrote = wroteBefore;
      return r;
    }
    for (int i = 0; i < run; ++i) slots[i]->dirty = false;
    any = true;
    run = 0;
    return DBIERR_NONE;
  };
  for (std::uint32_t block : dirtyList) {
    Slot* slot = Lookup(block);
    if (slot == nullptr || !slot->dirty || (run > 0 && slots[run - 1] == slot)) continue;
    if (run > 0 && (run == kRunPages || block != runStart + static_cast<std::uint32_t>(run) * kBlocksPerPage)) {
      DBIResult r = writeRun();
      if (r != DBIERR_NONE) return r;
    }
    if (run == 0) runStart = block;
    parts[run] = iovec{slot->data, kPage};
    slots[run++] = slot;
  }
  if (DBIResult r = writeRun(); r != DBIERR_NONE) return r;
  dirtyList.clear();
  if (!any && marked && !stale) {
    // Nothing changed in the index (a record rewritten with the same keys): the mark goes
    // and the counter stays, so other objects keep their pages.
    std::uint8_t zero[4] = {};
    DBIResult r = WriteExact(fd, zero, 4, kMarkAt);
    if (r == DBIERR_NONE) {
      marked = false;
      fileMark = 0;
      StartBefore();
    }
    return r;
  }
  if (!any) return DBIERR_NONE;
  ++counter;
  Put32(header + kCounterAt, counter);
  StampDate(header + mdx_header::kLastUpdate);
  Put32(header + kMarkAt, stale ? 1 : 0);
  const std::size_t headerLength = tagTableDirty ? kHeaderLength : kBlock;
  // The header's bytes before are the first the journal holds.
  DBIResult r = JournalPending();
  if (r == DBIERR_NONE) r = WriteExact(fd, header, headerLength, 0);
  Put32(header + kMarkAt, 0);
  if (r == DBIERR_NONE && !stale) marked = false;
  // The header written, the update stands: nothing of it is put back any more. What follows in
  // the same update starts from this header.
  if (r == DBIERR_NONE) {
    fileMark = stale ? kPlainMark : 0;
    StartBefore();
  }
  // A header refused stays to be written: the next write-back must not take the pages for written
  // under a header that still names the old ones, and clear the mark over them.
  if (r == DBIERR_NONE) headerDirty = tagTableDirty = false;
  const std::uint64_t end = static_cast<std::uint64_t>(Get32(header + mdx_header::kNextFreeBlock)) * kBlock;
  fileSize = std::max(fileSize, end);
  if (r == DBIERR_NONE) committedEnd = static_cast<off_t>(end);
  return r;
}

void Mdx::Impl::StampDate(std::uint8_t* p) {
  thread_local std::time_t last = -1;
  thread_local std::uint8_t date[3] = {};
  const std::time_t t = std::time(nullptr);
  if (t != last) {
    std::tm tm{};
    localtime_r(&t, &tm);
    date[0] = static_cast<std::uint8_t>(tm.tm_year % 256);
    date[1] = static_cast<std::uint8_t>(tm.tm_mon + 1);
    date[2] = static_cast<std::uint8_t>(tm.tm_mday);
    last = t;
  }
  std::memcpy(p, date, 3);
}

void Mdx::Impl::Trim() {
  // Keep the most recently used half; exclusive mode writes dirty pages first.
  std::vector<std::pair<std::uint64_t, std::uint32_t>> order;
  order.reserve(cache.size());
  for (auto& [block, slot] : cache) order.emplace_back(slot->used, block);
  const std::size_t drop = cache.size() - kCachePages / 2;
  std::nth_element(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(drop), order.end());
  ForgetFront();
  for (std::size_t i = 0; i < drop; ++i) {
    auto it = cache.find(order[i].second);
    if (it->second->dirty) {
      if (WriteMarked(it->second->data, kPage, static_cast<off_t>(it->first) * kBlock) != DBIERR_NONE) continue;
    }
    cache.erase(it);
  }
  dirtyList.clear();
  for (auto& [block, slot] : cache)
    if (slot->dirty) dirtyList.push_back(block);
}

DBIResult Mdx::Impl::Sync() {
  if (exclusive && synced) return DBIERR_NONE;
  if (synced) {
    // The mark, then the counter: through the mapping of the first block where there is one
    // (the file's pages as every station writes them), else read; read too while the reads are
    // counted, so that each one can be refused.
    std::uint32_t mark = 0, now = 0;
    if (headMap != nullptr && !platform::FileReadsWatched()) {
      mark = MappedWord(kMarkAt);
      now = MappedCounter();
    } else {
      std::uint8_t c[8];
      DBIResult r = ReadExact(fd, c, 8, kMarkAt);
      if (r != DBIERR_NONE) return r;
      mark = Get32(c);
      now = Get32(c + 4);
    }
    fileMark = mark;
    interrupted = fileMark != 0;
    if (now == counter) return DBIERR_NONE;
  }
  return Reload();
}

DBIResult Mdx::Impl::Reload() {
  ClearCache();
  dirtyList.clear();
  synced = false;
  struct stat st {};
  if (::fstat(fd, &st) != 0) return ErrnoResult(errno);
  fileSize = static_cast<std::uint64_t>(st.st_size);
  if (fileSize < kHeaderLength) return DBIERR_INDEXCORRUPT;
  DBIResult r = ReadExact(fd, header, kHeaderLength, 0);
  if (r != DBIERR_NONE) return r;
  headerDirty = tagTableDirty = false;
  fileMark = Get32(header + kMarkAt);
  interrupted = fileMark != 0;
  Put32(header + kMarkAt, 0);  // the header we write back always clears it
  if (Get16(header + mdx_header::kBlocksPerPage) != kBlocksPerPage ||
      Get16(header + mdx_header::kPageLength) != kPage || header[mdx_header::kTagEntryLength] != kTagEntry)
    return DBIERR_INDEXCORRUPT;
  const std::uint32_t used = Get16(header + mdx_header::kTagsInUse);
  if (used > kMdxMaxTags) return DBIERR_INDEXCORRUPT;
  std::uint32_t next = Get32(header + mdx_header::kNextFreeBlock);
  if (next < kFirstDataBlock || static_cast<std::uint64_t>(next) * kBlock > fileSize + kPage) {
    if (!lenient) return DBIERR_INDEXCORRUPT;
    // Opened to be rebuilt: the pages end where the file ends, and the index is torn.
    next = static_cast<std::uint32_t>(std::max<std::uint64_t>((fileSize + kPage - 1) / kPage * kBlocksPerPage,
                                                                kFirstDataBlock));
    Put32(header + mdx_header::kNextFreeBlock, next);
    interrupted = true;
  }
  committedEnd = static_cast<off_t>(next) * kBlock;
  std::vector<std::unique_ptr<TagState>> fresh;
  for (std::uint32_t i = 1; i <= used; ++i) {
    const std::uint8_t* e = header + kTagTable + kTagEntry * i;
    auto t = std::make_unique<TagState>();
    t->headerBlock = Get32(e + mdx_tag_entry::kHeaderBlock);
    t->info.seqNo = static_cast<int>(i);
    std::string name(reinterpret_cast<const char*>(e + mdx_tag_entry::kName), mdx_tag_entry::kNameLength);
    name.resize(std::strlen(name.c_str()));
    t->info.name = UpperName(name);
    if (!ValidBlock(t->headerBlock)) return DBIERR_INDEXCORRUPT;
    std::uint8_t th[kPage];
    r = ReadExact(fd, th, kPage, static_cast<off_t>(t->headerBlock) * kBlock);
    if (r != DBIERR_NONE) return r;
    t->info.keyType = static_cast<char>(th[mdx_tag_header::kKeyType]);
    t->info.keyLength = Get16(th + mdx_tag_header::kKeyLength);
    const std::uint16_t len = t->info.keyLength;
    const char kt = t->info.keyType;
    if (!((kt == 'C' && len >= 1 && len <= kMdxMaxKeyLength) || (kt == 'N' && len == 12) ||
          (kt == 'D' && len == 8)))
      return DBIERR_INDEXCORRUPT;
    t->itemLength = ItemLength(len);
    t->maxKeys = MaxKeys(t->itemLength);
    t->info.keyExpr = CString(th + kKeyExprAt, kKeyExprMax);
    if (th[kForFlagAt]) t->info.forExpr = CString(th + kForExprAt, kForExprMax);
    const std::uint8_t format = th[mdx_tag_header::kKeyFormat];
    t->descending = t->info.descending = (format & mdx_tag_header::kDescendingBit) != 0;
    t->unique = t->info.unique = (format & mdx_tag_header::kUniqueBit) != 0 || th[mdx_tag_header::kUnique] != 0;
    // Keep the parsed expressions of an unchanged tag.
    for (auto& old : tags) {
      if (old && old->info.keyExpr == t->info.keyExpr && old->info.forExpr == t->info.forExpr &&
          old->info.keyType == kt && old->info.keyLength == len) {
        t->key = std::move(old->key);
        t->cond = std::move(old->cond);
        t->exprOk = old->exprOk;
        old.reset();
        break;
      }
    }
    if (!t->exprOk) ParseExpressions(t.get());
    fresh.push_back(std::move(t));
  }
  tags = std::move(fresh);
  counter = Get32(header + kCounterAt);
  synced = true;
  return DBIERR_NONE;
}

std::string Mdx::Impl::CString(const std::uint8_t* p, std::size_t max) {
  std::size_t n = 0;
  while (n < max && p[n] != 0) ++n;
  std::string s(reinterpret_cast<const char*>(p), n);
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

void Mdx::Impl::ParseExpressions(TagState* t) {
  t->exprOk = false;
  t->key = Expression::Parse(t->info.keyExpr, layout);
  if (!t->key) return;
  if (!t->info.forExpr.empty()) {
    t->cond = Expression::Parse(t->info.forExpr, layout);
    if (!t->cond || t->cond->type() != ExprType::kLogical) return;
  }
  const ExprType type = t->key->type();
  const char want = type == ExprType::kCharacter ? 'C' : type == ExprType::kNumeric ? 'N' : type == ExprType::kDate ? 'D' : '?';
  if (want != t->info.keyType) return;
  if (want == 'C' && t->key->length() != t->info.keyLength) return;
  t->exprOk = true;
}

// ---- pages ------------------------------------------------------------------------------

std::uint8_t* Mdx::Impl::NewPage(std::uint32_t* block, DBIResult* err) {
  std::uint32_t b = 0;
  *err = AllocBlock(&b);
  if (*err != DBIERR_NONE) return nullptr;
  txnChanged = true;
  auto slot = std::make_unique<Slot>();
  std::memset(slot->data, 0, kPage);
  slot->dirty = true;
  slot->used = ++clock;
  std::uint8_t* data = slot->data;
  FrontEntry& f = front[(b / kBlocksPerPage) % kFrontSize];
  f.block = b;
  f.slot = slot.get();
  cache[b] = std::move(slot);
  dirtyList.push_back(b);
  *block = b;
  return data;
}

DBIResult Mdx::Impl::AllocBlock(std::uint32_t* block) {
  txnChanged = true;
  std::uint32_t head = Get32(header + mdx_header::kFreeListHead);
  std::uint32_t avail = Get32(header + mdx_header::kFreeListPages);
  if (head != 0 && avail > 0 && ValidBlock(head)) {
    std::uint8_t link[8];
    auto it = cache.find(head);
    if (it != cache.end()) {
      std::memcpy(link, it->second->data, 8);
    } else {
      DBIResult r = ReadExact(fd, link, 8, static_cast<off_t>(head) * kBlock);
      if (r != DBIERR_NONE) return r;
    }
    // A free page's link is all it holds that counts: kept as read, before the page is reused.
    const off_t at = static_cast<off_t>(head) * kBlock;
    if (!exclusive && writeLocked && at < committedEnd && !Kept(at)) AddBefore(at, link, 8);
    Put32(header + mdx_header::kFreeListHead, Get32(link + 4));
    Put32(header + mdx_header::kFreeListPages, avail - 1);
    headerDirty = true;
    *block = head;
    return DBIERR_NONE;
  }
  if (head != 0 || avail != 0) {  // a broken free list is dropped, never followed
    Put32(header + mdx_header::kFreeListHead, 0);
    Put32(header + mdx_header::kFreeListPages, 0);
  }
  const std::uint32_t next = Get32(header + mdx_header::kNextFreeBlock);
  if (next > 0x7FFFFFF0u / kBlock - kBlocksPerPage) return DBIERR_OSERROR;  // 2 GB limit
  Put32(header + mdx_header::kNextFreeBlock, next + kBlocksPerPage);
  headerDirty = true;
  fileSize = std::max<std::uint64_t>(fileSize, static_cast<std::uint64_t>(next + kBlocksPerPage) * kBlock);
  *block = next;
  return DBIERR_NONE;
}

DBIResult Mdx::Impl::FreeBlock(std::uint32_t block) {
  txnChanged = true;
  // The page's bytes before, from the page held (unchanged unless kept already), else read.
  if (!exclusive && writeLocked) {
    if (Slot* slot = Lookup(block)) {
      WillChange(block, slot->data);
    } else {
      DBIResult r = KeepBefore(static_cast<off_t>(block) * kBlock, kPage);
      if (r != DBIERR_NONE) return r;
    }
  }
  ForgetFront(block);
  cache.erase(block);
  std::uint8_t link[8] = {};
  Put32(link + 4, Get32(header + mdx_header::kFreeListHead));
  DBIResult r = WriteMarked(link, 8, static_cast<off_t>(block) * kBlock);
  if (r != DBIERR_NONE) return r;
  Put32(header + mdx_header::kFreeListHead, block);
  Put32(header + mdx_header::kFreeListPages, Get32(header + mdx_header::kFreeListPages) + 1);
  headerDirty = true;
  return DBIERR_NONE;
}

DBIResult Mdx::Impl::ReadPage(std::uint32_t block, std::uint8_t* out) {
  auto it = cache.find(block);
  if (it != cache.end()) {
    std::memcpy(out, it->second->data, kPage);
    return DBIERR_NONE;
  }
  if (optimistic) return kNotCached;
  if (!ValidBlock(block)) return DBIERR_INDEXCORRUPT;
  return ReadExact(fd, out, kPage, static_cast<off_t>(block) * kBlock);
}

// ---- public interface: the object, opening and closing, spanning updates ----------------

Mdx::Mdx() : impl_(std::make_unique<Impl>()) {}

Mdx::~Mdx() { Close(); }

const std::string& Mdx::path() const { return impl_->path; }

std::uint32_t Mdx::ChangeCounter() const { return impl_->counter; }

bool Mdx::production() const { return impl_->header[mdx_header::kProduction] != 0; }

DBIResult Mdx::Create(const std::string& path, std::string_view tableName, bool production,
                      const RecordLayout& layout, bool exclusive, std::unique_ptr<Mdx>* out, KeyOrder order) {
  const int fd = ::open(platform::DiskPath(path).c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return ErrnoResult(errno);
  std::uint8_t h[kHeaderLength] = {};
  h[mdx_header::kVersion] = 2;
  Impl::StampDate(h + mdx_header::kCreated);
  const std::size_t n = std::min<std::size_t>(tableName.size(), mdx_header::kTableNameLength);
  std::memcpy(h + mdx_header::kTableName, tableName.data(), n);
  Put16(h + mdx_header::kBlocksPerPage, kBlocksPerPage);
  Put16(h + mdx_header::kPageLength, kPage);
  h[mdx_header::kProduction] = production ? 1 : 0;
  h[mdx_header::kTagSlots] = kTagTableSlots;
  h[mdx_header::kTagEntryLength] = kTagEntry;
  Put32(h + mdx_header::kNextFreeBlock, kFirstDataBlock);
  Impl::StampDate(h + mdx_header::kLastUpdate);
  // A new file starts its change counter somewhere else than the file it replaces, so an
  // object still holding the old file's pages cannot take the new counter for its own.
  Put32(h + kCounterAt, static_cast<std::uint32_t>(std::time(nullptr)) * 2654435761u ^
                            static_cast<std::uint32_t>(::getpid()) << 16);
  DBIResult r = WriteExact(fd, h, kHeaderLength, 0);
  ::close(fd);
  if (r != DBIERR_NONE) return r;
  return Open(path, layout, false, exclusive, out, order);
}

DBIResult Mdx::Open(const std::string& path, const RecordLayout& layout, bool readOnly, bool exclusive,
                    std::unique_ptr<Mdx>* out, KeyOrder order) {
  std::unique_ptr<Mdx> m(new Mdx());
  Impl& d = *m->impl_;
  d.path = path;
  d.layout = layout;
  d.keyOrder = order;
  d.readOnly = readOnly;
  d.exclusive = exclusive;
  d.network = OnNetworkFs(path);
  d.fd = ::open(platform::DiskPath(path).c_str(),
                (readOnly ? O_RDONLY : O_RDWR | (d.network ? O_DSYNC : 0)) | O_CLOEXEC);
  if (d.fd < 0) return ErrnoResult(errno);
  SkipAccessTime(d.fd);
  if (!exclusive && !d.network) {
    void* head = ::mmap(nullptr, kBlock, PROT_READ, MAP_SHARED, d.fd, 0);
    if (head != MAP_FAILED) d.headMap = static_cast<const std::uint8_t*>(head);
  }
  DBIResult r = d.Begin(false);
  if (r != DBIERR_NONE) return r;
  d.End(true);
  *out = std::move(m);
  return DBIERR_NONE;
}

DBIResult Mdx::OpenToRebuild(const std::string& path, const RecordLayout& layout, std::unique_ptr<Mdx>* out,
                             KeyOrder order) {
  std::unique_ptr<Mdx> m(new Mdx());
  Impl& d = *m->impl_;
  d.path = path;
  d.layout = layout;
  d.keyOrder = order;
  d.exclusive = true;
  d.lenient = true;
  d.network = OnNetworkFs(path);
  d.fd = ::open(platform::DiskPath(path).c_str(), O_RDWR | (d.network ? O_DSYNC : 0) | O_CLOEXEC);
  if (d.fd < 0) return ErrnoResult(errno);
  DBIResult r = d.Begin(false);
  if (r != DBIERR_NONE) return r;
  d.End(true);
  d.interrupted = true;
  *out = std::move(m);
  return DBIERR_NONE;
}

DBIResult Mdx::Close() {
  if (!impl_ || impl_->fd < 0) return DBIERR_NONE;
  DBIResult r = Flush();
  impl_->CloseFile();
  return r;
}

DBIResult Mdx::Flush() {
  Impl& d = *impl_;
  if (d.fd < 0 || d.readOnly || !d.exclusive) return DBIERR_NONE;
  return d.WriteBack();
}

DBIResult Mdx::BeginUpdate(bool raiseCounter) {
  Impl& d = *impl_;
  DBIResult r = d.Begin(true);
  // An append raises the counter even when no entry changes: it always leaves its trace,
  // which is what lets its caller trust the count it wrote while the trace stands. The
  // caller's own writes come next: the update mark goes in first.
  if (r == DBIERR_NONE && d.lockDepth == 1) {
    d.spanning = true;
    if (raiseCounter) d.headerDirty = true;
    r = d.Mark();
    if (r != DBIERR_NONE) d.End(false);
  }
  return r;
}

DBIResult Mdx::EndUpdate(bool commit, bool callerWrote) {
  if (!commit && callerWrote) impl_->keepMark = true;
  return impl_->End(commit);
}

bool Mdx::Interrupted() const { return impl_->interrupted; }

DBIResult Mdx::WritePending() {
  Impl& d = *impl_;
  if (d.exclusive || !d.writeLocked) return DBIERR_NONE;
  return d.WriteBack();
}

}  // namespace dbase
