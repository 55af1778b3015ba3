// Index files: the object, its transactions and update mark, the page cache and the free
// list, and the opening, creation and closing of a file.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>
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

// ---- transactions -----------------------------------------------------------------------

namespace {

// The updates of this process that failed and could not put back what they wrote (the disk
// refused that too), by index file (device, inode): the change counter they left in the file, the
// end of its pages then, and the bytes to put back in the order they were written over. The next
// update of the file by any object of the process puts them back first.
struct Owed {
  std::uint32_t counter = 0;
  off_t end = 0;
  std::vector<Mdx::Impl::Before> before;
};
using FileKey = std::pair<dev_t, ino_t>;
std::mutex owedLock;
std::map<FileKey, Owed>& OwedUpdates() {
  static std::map<FileKey, Owed> owed;
  return owed;
}
bool FileKeyOf(int fd, FileKey* key) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return false;
  *key = {st.st_dev, st.st_ino};
  return true;
}

// Writes the kept bytes back, the last written first, then cuts the file back to `end` and
// clears the mark; what could not be written back stays in `before`.
DBIResult WriteBackBefore(int fd, std::vector<Mdx::Impl::Before>& before, off_t end) {
  DBIResult r = DBIERR_NONE;
  while (r == DBIERR_NONE && !before.empty()) {
    const Mdx::Impl::Before& b = before.back();
    r = WriteExact(fd, b.bytes.data(), b.bytes.size(), b.at);
    if (r == DBIERR_NONE) before.pop_back();
  }
  struct stat st {};
  if (r == DBIERR_NONE && end > 0 && ::fstat(fd, &st) == 0 && st.st_size > end) r = TruncateFile(fd, end);
  if (r == DBIERR_NONE) {
    const std::uint8_t zero[4] = {};
    r = WriteExact(fd, zero, 4, kMarkAt);
  }
  return r;
}

}  // namespace

DBIResult Mdx::Impl::KeepBefore(off_t off, std::size_t n) {
  if (exclusive || off >= committedEnd) return DBIERR_NONE;
  const std::size_t kept = static_cast<std::size_t>(std::min<off_t>(static_cast<off_t>(n), committedEnd - off));
  Before b{off, std::vector<std::uint8_t>(kept)};
  const DBIResult r = ReadExact(fd, b.bytes.data(), kept, off);
  if (r == DBIERR_NONE) before.push_back(std::move(b));
  return r;
}

DBIResult Mdx::Impl::PutBack() {
  const DBIResult r = WriteBackBefore(fd, before, committedEnd);
  if (r == DBIERR_NONE) {
    marked = false;
    return r;
  }
  FileKey key;
  if (FileKeyOf(fd, &key)) {
    const std::lock_guard<std::mutex> hold(owedLock);
    OwedUpdates()[key] = Owed{txnCounter, committedEnd, std::move(before)};
  }
  before.clear();
  return r;
}

DBIResult Mdx::Impl::PayOwed() {
  const std::lock_guard<std::mutex> hold(owedLock);
  std::map<FileKey, Owed>& all = OwedUpdates();
  FileKey key;
  if (all.empty() || !FileKeyOf(fd, &key)) return DBIERR_NONE;
  const auto it = all.find(key);
  if (it == all.end()) return DBIERR_NONE;
  std::uint8_t c[8];  // the mark, then the counter
  DBIResult r = ReadExact(fd, c, 8, kMarkAt);
  if (r != DBIERR_NONE) return r;
  // Rebuilt meanwhile by a station that had the table alone: nothing is owed any more.
  if (Get32(c) != 0 && Get32(c + 4) == it->second.counter) {
    r = WriteBackBefore(fd, it->second.before, it->second.end);
    if (r != DBIERR_NONE) return r;
  }
  all.erase(it);
  synced = false;  // the pages put back are read again
  return DBIERR_NONE;
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
  txnChanged = txnWrote = keepMark = false;
  before.clear();
  if (!exclusive) {
    const LockOutcome got = LockByte(fd, write ? F_WRLCK : F_RDLCK);
    if (got != LockOutcome::kGranted) {
      lockDepth = 0;
      if (got != LockOutcome::kTimedOut) return ErrnoResult(errno);
      NoteLockTimeout(path);
      return DBIERR_LOCKTIMEOUT;
    }
  }
  DBIResult r = write ? PayOwed() : DBIERR_NONE;
  if (r == DBIERR_NONE) r = Sync();
  txnCounter = counter;
  if (r == DBIERR_NONE && write && interrupted && !repairing) r = DBIERR_INDEXOUTOFDATE;
  if (r != DBIERR_NONE) End(false);
  return r;
}

DBIResult Mdx::Impl::Mark() {
  if (marked) return DBIERR_NONE;
  std::uint8_t m[4];
  Put32(m, 1);
  DBIResult r = WriteExact(fd, m, 4, kMarkAt);
  if (r == DBIERR_NONE) marked = true;
  return r;
}

DBIResult Mdx::Impl::WriteMarked(const void* buf, std::size_t n, off_t off) {
  DBIResult r = Mark();
  if (r == DBIERR_NONE) r = KeepBefore(off, n);
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
      // it added cut off and its mark cleared, or owed to the next update while the disk refuses
      // that too. The mark stays where the caller's own writes stand, or where it was another
      // writer's (a repair that failed). The pages are read again next time.
      if (marked && !keepMark && !interrupted) (void)PutBack();
      before.clear();
      synced = false;
      ClearCache();
      dirtyList.clear();
    }
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
  // Pages that follow each other in the file go in one write.
  constexpr int kRunPages = 64;
  iovec parts[kRunPages];
  Slot* slots[kRunPages];
  int run = 0;
  std::uint32_t runStart = 0;
  auto writeRun = [&]() -> DBIResult {
    if (run == 0) return DBIERR_NONE;
    if (static_cast<off_t>(runStart) * kBlock < sizeBefore) extending = false;
    DBIResult r = Mark();
    if (r == DBIERR_NONE) r = KeepBefore(static_cast<off_t>(runStart) * kBlock, static_cast<std::size_t>(run) * kPage);
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
    if (r == DBIERR_NONE) marked = false;
    return r;
  }
  if (!any) return DBIERR_NONE;
  ++counter;
  Put32(header + kCounterAt, counter);
  StampDate(header + mdx_header::kLastUpdate);
  Put32(header + kMarkAt, stale ? 1 : 0);
  const std::size_t headerLength = tagTableDirty ? kHeaderLength : kBlock;
  DBIResult r = KeepBefore(0, headerLength);
  if (r == DBIERR_NONE) r = WriteExact(fd, header, headerLength, 0);
  Put32(header + kMarkAt, 0);
  if (r == DBIERR_NONE && !stale) marked = false;
  // The header written, the update stands: nothing of it is put back any more.
  if (r == DBIERR_NONE) before.clear();
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
    std::uint8_t c[8];  // the mark, then the counter
    DBIResult r = ReadExact(fd, c, 8, kMarkAt);
    if (r != DBIERR_NONE) return r;
    interrupted = Get32(c) != 0;
    if (Get32(c + 4) == counter) return DBIERR_NONE;
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
  interrupted = Get32(header + kMarkAt) != 0;
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
