// dBASE IV multiple-index files: B-tree pages of 1024 bytes, tags built by sorting then
// writing pages in order, kept current on every record write, shared between processes
// under an open-file-description lock and a change counter (see mdx.h).
#include "mdx.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <unordered_map>

#include "expr.h"
#include "file_layout.h"
#include "fileio.h"
#include "platform/system/cp1252.h"
#include "platform/system/files.h"
#include "weights.h"

namespace dbase {

namespace {

constexpr std::uint32_t kPage = kMdxPageLength;
constexpr std::uint32_t kBlock = 512;
constexpr std::uint32_t kBlocksPerPage = kPage / kBlock;
constexpr std::uint32_t kHeaderLength = 2048;  // file header and the tag table
constexpr std::uint32_t kFirstDataBlock = kHeaderLength / kBlock;
constexpr std::uint32_t kTagEntry = mdx_tag_entry::kSize;
constexpr std::uint32_t kTagTableSlots = 48;
constexpr std::uint32_t kTagTable = mdx_header::kTagTable;
constexpr std::uint32_t kCounterAt = mdx_header::kChangeCounter;
// Result of a page lookup in a call running without the lock: the page is not cached, the
// call is made again under the lock. Never returned to a caller.
constexpr DBIResult kNotCached = 0xFFFF;
constexpr std::uint32_t kMarkAt = mdx_header::kUpdateMark;
static_assert(kMarkAt + 4 == kCounterAt, "the mark and the counter are read together");
constexpr std::uint32_t kKeyExprAt = mdx_tag_header::kKeyExpr;
constexpr std::uint32_t kKeyExprMax = mdx_tag_header::kKeyExprMax;
constexpr std::uint32_t kForFlagAt = mdx_tag_header::kForFlag;
constexpr std::uint32_t kFirstLeafAt = mdx_tag_header::kFirstLeaf;
constexpr std::uint32_t kForExprAt = mdx_tag_header::kForExpr;
constexpr std::uint32_t kForExprMax = kPage - kForExprAt - 1;
constexpr std::uint32_t kItemsAt = mdx_node::kItems;  // first item of a node page
constexpr int kMaxLevels = 16;
constexpr std::size_t kCachePages = 2048;  // 2 MB per open index

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
  while (n > 0) {
    const ssize_t r = ::pread(fd, p, n, off);
    if (r < 0) {
      if (errno == EINTR) continue;
      return ErrnoResult(errno);
    }
    if (r == 0) return DBIERR_INDEXCORRUPT;
    p += r;
    n -= static_cast<std::size_t>(r);
    off += r;
  }
  return DBIERR_NONE;
}

DBIResult WriteExact(int fd, const void* buf, std::size_t n, off_t off) {
  if (const DBIResult fault = BeforeWrite(fd, off + static_cast<off_t>(n)); fault != DBIERR_NONE) return fault;
  const auto* p = static_cast<const std::uint8_t*>(buf);
  while (n > 0) {
    const ssize_t r = ::pwrite(fd, p, n, off);
    if (r < 0) {
      if (errno == EINTR) continue;
      return ErrnoResult(errno);
    }
    p += r;
    n -= static_cast<std::size_t>(r);
    off += r;
  }
  return DBIERR_NONE;
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

std::uint16_t ItemLength(std::uint16_t keyLength) {
  return static_cast<std::uint16_t>((keyLength + 3) / 4 * 4 + 4);
}
std::uint16_t MaxKeys(std::uint16_t itemLength) {
  return static_cast<std::uint16_t>((kPage - 12) / itemLength);
}

// Order-preserving bytes of a double (for sorting numeric and date keys with memcmp).
void SortableDouble(double v, std::uint8_t out[8]) {
  if (v == 0) v = 0;  // -0 sorts as 0
  std::uint64_t bits = std::bit_cast<std::uint64_t>(v);
  bits = (bits & 0x8000000000000000ULL) ? ~bits : bits | 0x8000000000000000ULL;
  for (int i = 7; i >= 0; --i, bits >>= 8) out[i] = static_cast<std::uint8_t>(bits);
}
double FromSortableDouble(const std::uint8_t in[8]) {
  std::uint64_t bits = 0;
  for (int i = 0; i < 8; ++i) bits = bits << 8 | in[i];
  bits = (bits & 0x8000000000000000ULL) ? bits & ~0x8000000000000000ULL : ~bits;
  return std::bit_cast<double>(bits);
}

}  // namespace

// ---- numeric keys ------------------------------------------------------------------------

// 12 bytes: byte 0 = 0x34 + decimal exponent (value = 0.d1d2... x 10^exponent), byte 1 =
// sign (0x80) | significant digits << 2 | 1, then 20 BCD digits, most significant first.
void NumberToBcdKey(double value, std::uint8_t out[12]) {
  std::memset(out, 0, 12);
  if (!std::isfinite(value) || value == 0) {
    out[0] = 0x34;
    out[1] = 0x01;
    return;
  }
  const bool neg = value < 0;
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.14e", std::fabs(value));  // d.dddddddddddddde+XX
  std::string digits;
  digits += buf[0];
  const char* p = buf + 2;
  while (*p && *p != 'e') digits += *p++;
  const int exp10 = std::atoi(p + 1) + 1;
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  const int e = std::clamp(exp10, -0x34, 0xFF - 0x34);
  out[0] = static_cast<std::uint8_t>(0x34 + e);
  out[1] = static_cast<std::uint8_t>((neg ? 0x80 : 0) | (digits.size() & 0x1F) << 2 | 0x01);
  for (std::size_t i = 0; i < digits.size() && i < 20; ++i) {
    const std::uint8_t d = static_cast<std::uint8_t>(digits[i] - '0');
    out[2 + i / 2] |= (i % 2 == 0) ? static_cast<std::uint8_t>(d << 4) : d;
  }
}

double BcdKeyToNumber(const std::uint8_t key[12]) {
  double mant = 0;
  double scale = 0.1;
  for (int i = 0; i < 20; ++i) {
    const int d = (i % 2 == 0) ? key[2 + i / 2] >> 4 : key[2 + i / 2] & 0x0F;
    mant += (d > 9 ? 9 : d) * scale;
    scale /= 10;
  }
  const double v = mant * std::pow(10.0, static_cast<int>(key[0]) - 0x34);
  return (key[1] & 0x80) ? -v : v;
}

// ---- the object --------------------------------------------------------------------------

struct TagState {
  MdxTagInfo info;
  std::uint32_t headerBlock = 0;
  std::uint16_t itemLength = 0;
  std::uint16_t maxKeys = 0;
  std::unique_ptr<Expression> key;    // null when it does not parse against the layout
  std::unique_ptr<Expression> cond;   // null when the tag has no condition (or it fails)
  bool exprOk = false;
  bool descending = false;  // keys in falling order (written so by another tool)
  bool unique = false;      // one entry per key: the first record that has it
};

struct Slot {
  std::uint8_t data[kPage];
  bool dirty = false;
  bool ordered = false;     // its items were found in key order since it was read
  std::uint64_t used = 0;
};

struct PathStep {
  std::uint32_t block;
  std::uint32_t index;
};

struct Mdx::Impl {
  std::string path;
  RecordLayout layout;
  int fd = -1;
  bool readOnly = false;
  bool exclusive = false;
  std::uint8_t header[kHeaderLength] = {};
  bool headerDirty = false;
  bool tagTableDirty = false;
  std::uint32_t counter = 0;
  bool synced = false;
  std::uint64_t fileSize = 0;
  off_t committedEnd = 0;  // end of the pages the file's header counts, as last read or written
  std::vector<std::unique_ptr<TagState>> tags;
  std::unordered_map<std::uint32_t, std::unique_ptr<Slot>> cache;
  std::vector<std::uint32_t> dirtyList;  // blocks marked dirty since the last write-back
  // Direct-mapped memo in front of `cache`: the few pages every update descends through
  // (roots, upper nodes, the leaves being filled) are found without hashing. Emptied
  // whenever a slot leaves the cache.
  struct FrontEntry {
    std::uint32_t block = 0;
    Slot* slot = nullptr;
  };
  static constexpr std::size_t kFrontSize = 512;
  std::array<FrontEntry, kFrontSize> front{};
  std::vector<PathStep> insertPath;  // reused by Insert: no allocation per entry
  std::uint64_t clock = 0;
  int lockDepth = 0;
  bool writeLocked = false;
  bool abandoned = false;  // an inner call of a spanning update failed: nothing is written
  bool network = false;    // on a network file system: no mapping, every call locks
  // The file's first page mapped shared (local shared mode only): the change counter is read
  // from it without a system call.
  const std::uint8_t* headMap = nullptr;
  bool optimistic = false;  // a read call running without the lock: a page not cached fails it
  // The update mark. An update sets it in the file before its first write and clears it with
  // the header, its last write; whoever next takes the lock and finds it set knows that a
  // writer died half way, and writes are refused until the index is rebuilt. An exclusive
  // object keeps its mark from its first change until its pages are written back.
  bool marked = false;       // our mark stands in the file
  bool interrupted = false;  // the file held another writer's mark when last read
  bool repairing = false;    // a rebuild: writes go on over an interrupted index
  bool stale = false;        // exclusive: an abandoned update may have left pages half changed
  bool txnChanged = false;   // the current update changed pages or the header in memory
  bool txnWrote = false;     // ... or wrote to the file before its end
  bool keepMark = false;     // the caller wrote its own part of an update it abandons

  ~Impl() { CloseFile(); }

  Slot* Lookup(std::uint32_t block) {
    FrontEntry& f = front[(block / kBlocksPerPage) % kFrontSize];
    if (f.slot != nullptr && f.block == block) return f.slot;
    auto it = cache.find(block);
    if (it == cache.end()) return nullptr;
    f.block = block;
    f.slot = it->second.get();
    return f.slot;
  }

  void ForgetFront() { front.fill(FrontEntry{}); }

  void ClearCache() {
    ForgetFront();
    cache.clear();
  }

  void CloseFile() {
    if (headMap != nullptr) ::munmap(const_cast<std::uint8_t*>(headMap), kBlock);
    headMap = nullptr;
    if (fd >= 0) ::close(fd);
    fd = -1;
  }

  // The change counter as the file holds it now, from the mapping.
  std::uint32_t MappedCounter() const {
    std::uint8_t c[4];
    for (int i = 0; i < 4; ++i) c[i] = __atomic_load_n(headMap + kCounterAt + i, __ATOMIC_ACQUIRE);
    return Get32(c);
  }

  // A read call may run without the lock while nothing changed since the last locked call:
  // the pages this object holds are then the file's, and a call that finds every page it
  // needs among them sees what a locked call would.
  bool MayReadWithoutLock() const {
    return headMap != nullptr && !exclusive && synced && lockDepth == 0 && MappedCounter() == counter;
  }

  // ---- transactions ----

  // Takes the lock (write or read) unless exclusive, and makes the cached state current.
  DBIResult Begin(bool write) {
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
    if (!exclusive) {
      const LockOutcome got = LockByte(fd, write ? F_WRLCK : F_RDLCK);
      if (got != LockOutcome::kGranted) {
        lockDepth = 0;
        if (got != LockOutcome::kTimedOut) return ErrnoResult(errno);
        NoteLockTimeout(path);
        return DBIERR_LOCKTIMEOUT;
      }
    }
    DBIResult r = Sync();
    if (r == DBIERR_NONE && write && interrupted && !repairing) r = DBIERR_INDEXOUTOFDATE;
    if (r != DBIERR_NONE) End(false);
    return r;
  }

  // Sets the update mark in the file (once per update, or once until the write-back of an
  // exclusive object).
  DBIResult Mark() {
    if (marked) return DBIERR_NONE;
    std::uint8_t m[4];
    Put32(m, 1);
    DBIResult r = WriteExact(fd, m, 4, kMarkAt);
    if (r == DBIERR_NONE) marked = true;
    return r;
  }

  // Every write of pages goes through here: the mark first.
  DBIResult WriteMarked(const void* buf, std::size_t n, off_t off) {
    DBIResult r = Mark();
    if (r != DBIERR_NONE) return r;
    txnWrote = true;
    return WriteExact(fd, buf, n, off);
  }

  // Writes what the transaction changed (shared mode), raises the counter, unlocks.
  DBIResult End(bool commit) {
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
        // Nothing of a failed update reaches the file: forget it and read again next time.
        // Its mark goes only when nothing at all was written under it.
        if (marked && r == DBIERR_NONE && !txnWrote && !keepMark) {
          std::uint8_t zero[4] = {};
          if (WriteExact(fd, zero, 4, kMarkAt) == DBIERR_NONE) marked = false;
        }
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

  // Writes the changed pages, then the header, which clears the mark (kept when stale).
  DBIResult WriteBack() {
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
    for (std::uint32_t block : dirtyList) {
      Slot* slot = Lookup(block);
      if (slot == nullptr || !slot->dirty) continue;
      if (static_cast<off_t>(block) * kBlock < sizeBefore) extending = false;
      DBIResult r = WriteMarked(slot->data, kPage, static_cast<off_t>(block) * kBlock);
      if (r != DBIERR_NONE) {
        // Only new pages were written, and they are cut off again: no page in use changed,
        // so the mark may go with the failed update.
        if (extending && ::ftruncate(fd, sizeBefore) == 0) txnWrote = wroteBefore;
        return r;
      }
      slot->dirty = false;
      any = true;
    }
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
    DBIResult r = WriteExact(fd, header, tagTableDirty ? kHeaderLength : kBlock, 0);
    Put32(header + kMarkAt, 0);
    if (r == DBIERR_NONE && !stale) marked = false;
    headerDirty = tagTableDirty = false;
    const std::uint64_t end = static_cast<std::uint64_t>(Get32(header + mdx_header::kNextFreeBlock)) * kBlock;
    fileSize = std::max(fileSize, end);
    if (r == DBIERR_NONE) committedEnd = static_cast<off_t>(end);
    return r;
  }

  // Stamped by every update: converted again only when the second changes.
  static void StampDate(std::uint8_t* p) {
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

  void Trim() {
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

  DBIResult Sync() {
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

  DBIResult Reload() {
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
    const std::uint32_t next = Get32(header + mdx_header::kNextFreeBlock);
    if (next < kFirstDataBlock || static_cast<std::uint64_t>(next) * kBlock > fileSize + kPage)
      return DBIERR_INDEXCORRUPT;
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
      t->descending = (format & mdx_tag_header::kDescendingBit) != 0;
      t->unique = (format & mdx_tag_header::kUniqueBit) != 0 || th[mdx_tag_header::kUnique] != 0;
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

  static std::string CString(const std::uint8_t* p, std::size_t max) {
    std::size_t n = 0;
    while (n < max && p[n] != 0) ++n;
    std::string s(reinterpret_cast<const char*>(p), n);
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
  }

  void ParseExpressions(TagState* t) {
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

  bool ValidBlock(std::uint32_t block) const {
    return block >= kFirstDataBlock && static_cast<std::uint64_t>(block) * kBlock + kPage <= fileSize;
  }

  // ---- pages ----

  // Page of a block through the cache; null (and *err) for a block outside the file.
  std::uint8_t* Page(std::uint32_t block, DBIResult* err) {
    if (Slot* hit = Lookup(block)) {
      hit->used = ++clock;
      return hit->data;
    }
    if (optimistic) {
      *err = kNotCached;
      return nullptr;
    }
    if (!ValidBlock(block)) {
      *err = DBIERR_INDEXCORRUPT;
      return nullptr;
    }
    auto slot = std::make_unique<Slot>();
    DBIResult r = ReadExact(fd, slot->data, kPage, static_cast<off_t>(block) * kBlock);
    if (r != DBIERR_NONE) {
      *err = r;
      return nullptr;
    }
    slot->used = ++clock;
    std::uint8_t* data = slot->data;
    cache.emplace(block, std::move(slot));
    return data;
  }

  void MarkDirty(std::uint32_t block) {
    txnChanged = true;
    Slot* slot = Lookup(block);
    if (slot != nullptr && !slot->dirty) {
      slot->dirty = true;
      dirtyList.push_back(block);
    }
  }

  // A fresh zeroed page in the cache (taken from the free list or the end of the file).
  std::uint8_t* NewPage(std::uint32_t* block, DBIResult* err) {
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

  DBIResult AllocBlock(std::uint32_t* block) {
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

  // Puts a page on the free list (its first word 0, then the next free page).
  DBIResult FreeBlock(std::uint32_t block) {
    txnChanged = true;
    ForgetFront();
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

  // Reads a page bypassing the cache (dirty cached pages still win).
  DBIResult ReadPage(std::uint32_t block, std::uint8_t* out) {
    auto it = cache.find(block);
    if (it != cache.end()) {
      std::memcpy(out, it->second->data, kPage);
      return DBIERR_NONE;
    }
    if (optimistic) return kNotCached;
    if (!ValidBlock(block)) return DBIERR_INDEXCORRUPT;
    return ReadExact(fd, out, kPage, static_cast<off_t>(block) * kBlock);
  }

  // ---- tags ----

  TagState* FindTag(std::string_view name) {
    const std::string n = UpperName(name);
    for (auto& t : tags)
      if (t->info.name == n) return t.get();
    return nullptr;
  }

  int Compare(const TagState& t, const std::uint8_t* a, const std::uint8_t* b, std::size_t n) const {
    const int c = CompareAscending(t, a, b, n);
    return t.descending ? -c : c;
  }

  // A total order even over damaged keys: a key that is not a number comes first, so that
  // a walk that must move on cannot go round through keys equal to everything.
  static int CompareNumbers(double x, double y) {
    const bool nx = std::isnan(x), ny = std::isnan(y);
    if (nx || ny) return nx == ny ? 0 : (nx ? -1 : 1);
    return x < y ? -1 : (x > y ? 1 : 0);
  }

  int CompareAscending(const TagState& t, const std::uint8_t* a, const std::uint8_t* b, std::size_t n) const {
    switch (t.info.keyType) {
      case 'N': return CompareNumbers(BcdKeyToNumber(a), BcdKeyToNumber(b));
      case 'D': return CompareNumbers(GetDouble(a), GetDouble(b));
      default:
        return CompareWeighted(reinterpret_cast<const char*>(a), reinterpret_cast<const char*>(b), n);
    }
  }

  // Key and inclusion of a record; false when the tag's expressions are unusable.
  bool MakeKey(const TagState& t, const std::uint8_t* rec, std::uint8_t* key, bool* included) const {
    if (!t.exprOk) return false;
    *included = !t.cond || t.cond->IsTrue(rec);
    if (!*included) return true;
    switch (t.info.keyType) {
      case 'C':
        t.key->EvaluateText(rec, reinterpret_cast<char*>(key));
        break;
      case 'N': {
        ExprValue v;
        t.key->Evaluate(rec, &v);
        NumberToBcdKey(v.number, key);
        break;
      }
      default: {
        ExprValue v;
        t.key->Evaluate(rec, &v);
        PutDouble(key, v.number);
        break;
      }
    }
    return true;
  }

  // Search key of a seek text: character keys cut to the key length; numbers and dates
  // converted to their stored form.
  std::string SearchKey(const TagState& t, std::string_view text) const {
    if (t.info.keyType == 'C') return std::string(text.substr(0, std::min<std::size_t>(text.size(), t.info.keyLength)));
    std::uint8_t k[12];
    if (t.info.keyType == 'N') {
      std::string s(text);
      char* end = nullptr;
      const double v = std::strtod(s.c_str(), &end);
      NumberToBcdKey(v, k);
      return std::string(reinterpret_cast<char*>(k), 12);
    }
    PutDouble(k, JulianDay(text));
    return std::string(reinterpret_cast<char*>(k), 8);
  }

  // ---- node helpers ----

  static std::uint32_t Count(const std::uint8_t* p) { return Get32(p + mdx_node::kKeyCount); }
  std::uint8_t* Item(const TagState& t, std::uint8_t* p, std::uint32_t i) const { return p + kItemsAt + i * t.itemLength; }
  bool IsLeaf(const TagState& t, const std::uint8_t* p) const {
    const std::uint32_t n = Count(p);
    const std::uint32_t at = kItemsAt + n * t.itemLength;
    return at + 4 > kPage || Get32(p + at) == 0;
  }
  bool CountOk(const TagState& t, const std::uint8_t* p) const { return Count(p) <= t.maxKeys; }
  std::uint32_t Child(const TagState& t, std::uint8_t* p, std::uint32_t i) const { return Get32(Item(t, p, i)); }

  std::uint32_t Root(const TagState& t, DBIResult* err) {
    std::uint8_t* h = Page(t.headerBlock, err);
    return h ? Get32(h + mdx_tag_header::kRoot) : 0;
  }

  // A node read from the file is used only when its items are in the order this engine
  // seeks and walks by (keys rising, equal keys of a leaf by record number): a page in
  // another order (another tool's collation, a torn write) would make seeks and walks skip
  // entries without a word. Checked once per page read.
  DBIResult CheckNodeOrder(const TagState& t, std::uint32_t block, std::uint8_t* p) {
    Slot* slot = Lookup(block);
    if (slot != nullptr && slot->ordered) return DBIERR_NONE;
    const bool leaf = IsLeaf(t, p);
    for (std::uint32_t i = 1; i < Count(p); ++i) {
      std::uint8_t* a = Item(t, p, i - 1);
      std::uint8_t* b = Item(t, p, i);
      const int c = Compare(t, a + 4, b + 4, t.info.keyLength);
      if (c > 0 || (leaf && c == 0 && Get32(a) >= Get32(b))) return DBIERR_INDEXCORRUPT;
    }
    if (slot != nullptr) slot->ordered = true;
    return DBIERR_NONE;
  }

  // Every step of a walk moves on in key order from the entry it started from: an entry at
  // or behind it means pages out of order or met twice, reported as damage so that no walk
  // goes round for ever or back over entries.
  DBIResult StepMovesOn(const TagState& t, const std::string& fromKey, std::uint32_t fromRecno, const MdxEntry& to,
                        bool forward) const {
    int c = Compare(t, reinterpret_cast<const std::uint8_t*>(to.key.data()),
                    reinterpret_cast<const std::uint8_t*>(fromKey.data()), t.info.keyLength);
    if (c == 0) c = to.recno < fromRecno ? -1 : (to.recno > fromRecno ? 1 : 0);
    return (forward ? c > 0 : c < 0) ? DBIERR_NONE : DBIERR_INDEXCORRUPT;
  }

  // Descends to the leaf where `key` (compared over n bytes) belongs: first separator >= key.
  // path receives (block, index) per level; the leaf's index is the first item >= key.
  DBIResult Descend(const TagState& t, const std::uint8_t* key, std::size_t n, std::vector<PathStep>* path) {
    DBIResult err = DBIERR_NONE;
    path->clear();
    path->reserve(kMaxLevels);
    std::uint32_t block = Root(t, &err);
    if (err != DBIERR_NONE) return err;
    for (int level = 0; level < kMaxLevels; ++level) {
      std::uint8_t* p = Page(block, &err);
      if (!p) return err;
      if (!CountOk(t, p)) return DBIERR_INDEXCORRUPT;
      DBIResult r = CheckNodeOrder(t, block, p);
      if (r != DBIERR_NONE) return r;
      const std::uint32_t cnt = Count(p);
      std::uint32_t lo = 0, hi = cnt;
      while (lo < hi) {
        const std::uint32_t mid = (lo + hi) / 2;
        if (Compare(t, Item(t, p, mid) + 4, key, n) < 0) lo = mid + 1;
        else hi = mid;
      }
      path->push_back({block, lo});
      if (IsLeaf(t, p)) return DBIERR_NONE;
      block = Child(t, p, lo);
    }
    return DBIERR_INDEXCORRUPT;
  }

  // Leftmost (or rightmost) descent from the node at path's last step's child.
  DBIResult DescendEdge(const TagState& t, std::uint32_t block, bool right, std::vector<PathStep>* path) {
    DBIResult err = DBIERR_NONE;
    for (int level = 0; level < kMaxLevels; ++level) {
      if (path->size() >= static_cast<std::size_t>(kMaxLevels)) return DBIERR_INDEXCORRUPT;
      std::uint8_t* p = Page(block, &err);
      if (!p) return err;
      if (!CountOk(t, p)) return DBIERR_INDEXCORRUPT;
      DBIResult r = CheckNodeOrder(t, block, p);
      if (r != DBIERR_NONE) return r;
      const std::uint32_t cnt = Count(p);
      if (IsLeaf(t, p)) {
        path->push_back({block, right ? (cnt == 0 ? 0 : cnt - 1) : 0});
        return DBIERR_NONE;
      }
      const std::uint32_t i = right ? cnt : 0;
      path->push_back({block, i});
      block = Child(t, p, i);
    }
    return DBIERR_INDEXCORRUPT;
  }

  // Moves the path to the first item of the next leaf (forward) or to the last item of the
  // previous one; *end when there is none.
  DBIResult SiblingLeaf(const TagState& t, bool forward, std::vector<PathStep>* path, bool* end) {
    DBIResult err = DBIERR_NONE;
    *end = false;
    std::vector<PathStep> up = *path;
    up.pop_back();
    while (!up.empty()) {
      PathStep& s = up.back();
      std::uint8_t* p = Page(s.block, &err);
      if (!p) return err;
      if (forward ? s.index < Count(p) : s.index > 0) {
        s.index = forward ? s.index + 1 : s.index - 1;
        const std::uint32_t child = Child(t, p, s.index);
        DBIResult r = DescendEdge(t, child, !forward, &up);
        if (r != DBIERR_NONE) return r;
        *path = std::move(up);
        return DBIERR_NONE;
      }
      up.pop_back();
    }
    *end = true;
    return DBIERR_NONE;
  }

  // Compares an item with (key, recno) over the whole key.
  int CompareEntry(const TagState& t, std::uint8_t* item, const std::uint8_t* key, std::uint32_t recno) const {
    const int c = Compare(t, item + 4, key, t.info.keyLength);
    if (c != 0) return c;
    const std::uint32_t r = Get32(item);
    return r < recno ? -1 : (r > recno ? 1 : 0);
  }


  std::uint32_t LeafLowerBound(const TagState& t, std::uint8_t* p, const std::uint8_t* key, std::uint32_t recno) const {
    std::uint32_t lo = 0, hi = Count(p);
    while (lo < hi) {
      const std::uint32_t mid = (lo + hi) / 2;
      if (CompareEntry(t, Item(t, p, mid), key, recno) < 0) lo = mid + 1;
      else hi = mid;
    }
    return lo;
  }

  // Path to the first entry >= (key, recno). With `stopAtLeafEnd` the path may end just
  // past the last item of a leaf (the insertion place); otherwise it is moved to the next
  // leaf and *end says there is no such entry.
  DBIResult LowerBound(const TagState& t, const std::uint8_t* key, std::uint32_t recno, bool stopAtLeafEnd,
                       std::vector<PathStep>* path, bool* end) {
    *end = false;
    DBIResult r = Descend(t, key, t.info.keyLength, path);
    if (r != DBIERR_NONE) return r;
    DBIResult err = DBIERR_NONE;
    std::uint8_t* p = Page(path->back().block, &err);
    if (!p) return err;
    path->back().index = LeafLowerBound(t, p, key, recno);
    std::uint64_t guard = fileSize / kPage + 1;
    while (path->back().index >= Count(p)) {
      if (guard-- == 0) return DBIERR_INDEXCORRUPT;
      std::vector<PathStep> next = *path;
      bool atEnd = false;
      r = SiblingLeaf(t, true, &next, &atEnd);
      if (r != DBIERR_NONE) return r;
      if (atEnd) {
        *end = !stopAtLeafEnd;
        return DBIERR_NONE;
      }
      std::uint8_t* q = Page(next.back().block, &err);
      if (!q) return err;
      if (!CountOk(t, q)) return DBIERR_INDEXCORRUPT;
      if (stopAtLeafEnd) {
        // Stay here unless the next leaf still holds smaller entries of the same key.
        if (Count(q) == 0 || CompareEntry(t, Item(t, q, 0), key, recno) >= 0) {
          if (Count(q) != 0 || Count(p) != 0) return DBIERR_NONE;
        }
      }
      *path = std::move(next);
      p = q;
      path->back().index = LeafLowerBound(t, p, key, recno);
    }
    return DBIERR_NONE;
  }

  DBIResult EntryAt(const TagState& t, const std::vector<PathStep>& path, MdxEntry* out) {
    DBIResult err = DBIERR_NONE;
    std::uint8_t* p = Page(path.back().block, &err);
    if (!p) return err;
    std::uint8_t* item = Item(t, p, path.back().index);
    out->recno = Get32(item);
    out->key.assign(reinterpret_cast<const char*>(item + 4), t.info.keyLength);
    return DBIERR_NONE;
  }

  // Steps the path on to the next entry.
  DBIResult StepForward(const TagState& t, std::vector<PathStep>* path, bool* end) {
    *end = false;
    DBIResult err = DBIERR_NONE;
    std::uint8_t* p = Page(path->back().block, &err);
    if (!p) return err;
    if (path->back().index + 1 < Count(p)) {
      ++path->back().index;
      return DBIERR_NONE;
    }
    std::uint64_t guard = fileSize / kPage + 1;
    for (;;) {
      if (guard-- == 0) return DBIERR_INDEXCORRUPT;
      DBIResult r = SiblingLeaf(t, true, path, end);
      if (r != DBIERR_NONE || *end) return r;
      p = Page(path->back().block, &err);
      if (!p) return err;
      if (Count(p) > 0) return DBIERR_NONE;
    }
  }

  // Steps the path back to the previous entry.
  DBIResult StepBack(const TagState& t, std::vector<PathStep>* path, bool* begin) {
    *begin = false;
    std::uint64_t guard = fileSize / kPage + 1;
    if (path->back().index > 0) {
      --path->back().index;
      return DBIERR_NONE;
    }
    for (;;) {
      if (guard-- == 0) return DBIERR_INDEXCORRUPT;
      DBIResult r = SiblingLeaf(t, false, path, begin);
      if (r != DBIERR_NONE || *begin) return r;
      DBIResult err = DBIERR_NONE;
      std::uint8_t* p = Page(path->back().block, &err);
      if (!p) return err;
      if (Count(p) > 0) {
        path->back().index = Count(p) - 1;
        return DBIERR_NONE;
      }
    }
  }

  // ---- maintenance ----

  DBIResult Insert(const TagState& t, const std::uint8_t* key, std::uint32_t recno) {
    std::vector<PathStep>& path = insertPath;
    bool end = false;
    DBIResult r = LowerBound(t, key, recno, true, &path, &end);
    if (r != DBIERR_NONE) return r;
    DBIResult err = DBIERR_NONE;
    std::uint8_t* p = Page(path.back().block, &err);
    if (!p) return err;
    const std::uint32_t idx = path.back().index;
    const std::uint32_t cnt = Count(p);
    if (idx < cnt && CompareEntry(t, Item(t, p, idx), key, recno) == 0) return DBIERR_NONE;  // already there
    if (t.unique && HasKey(t, key)) return DBIERR_NONE;  // the key keeps its first record
    std::uint8_t item[kMdxMaxKeyLength + 8] = {};
    Put32(item, recno);
    std::memcpy(item + 4, key, t.info.keyLength);
    return InsertInNode(t, path, path.size() - 1, item, 0);
  }

  // Whether a tag holds an entry of that key (any record).
  bool HasKey(const TagState& t, const std::uint8_t* key) {
    std::vector<PathStep> probe;
    bool end = false;
    if (LowerBound(t, key, 0, false, &probe, &end) != DBIERR_NONE || end) return false;
    MdxEntry e;
    if (EntryAt(t, probe, &e) != DBIERR_NONE) return false;
    return Compare(t, reinterpret_cast<const std::uint8_t*>(e.key.data()), key, t.info.keyLength) == 0;
  }

  // Inserts an item at path[level].index of that node. For an upper node `rightChild` is the
  // block that goes right of the item (the item's own pointer is the left part).
  DBIResult InsertInNode(const TagState& t, std::vector<PathStep>& path, std::size_t level,
                         const std::uint8_t* item, std::uint32_t rightChild) {
    DBIResult err = DBIERR_NONE;
    const std::uint32_t block = path[level].block;
    std::uint8_t* p = Page(block, &err);
    if (!p) return err;
    const bool leaf = rightChild == 0;
    const std::uint32_t cnt = Count(p);
    const std::uint32_t idx = path[level].index;
    const std::uint32_t L = t.itemLength;
    if (cnt + 1 <= t.maxKeys) {
      // Room in the page: the items from idx on (and the trailing word) move one place up.
      std::memmove(p + kItemsAt + (idx + 1) * L, p + kItemsAt + idx * L, (cnt - idx) * L + 4);
      std::memcpy(p + kItemsAt + idx * L, item, L);
      // An upper node: the old pointer at idx, now at idx + 1, becomes the new right part.
      if (!leaf) Put32(p + kItemsAt + (idx + 1) * L, rightChild);
      Put32(p + mdx_node::kKeyCount, cnt + 1);
      MarkDirty(block);
      return DBIERR_NONE;
    }
    // A full page: the node's items go to a scratch array (cnt + 1 items and the trailing
    // word) to be split in two.
    std::vector<std::uint8_t> buf((cnt + 1) * L + 4, 0);
    std::memcpy(buf.data(), p + kItemsAt, idx * L);
    std::memcpy(buf.data() + idx * L, item, L);
    std::memcpy(buf.data() + (idx + 1) * L, p + kItemsAt + idx * L, (cnt - idx) * L);
    std::memcpy(buf.data() + (cnt + 1) * L, p + kItemsAt + cnt * L, 4);  // trailing word (last child)
    if (!leaf) {
      // The old pointer at idx moved to idx + 1: it becomes the new right part.
      Put32(buf.data() + (idx + 1) * L, rightChild);
    }
    const std::uint32_t total = cnt + 1;
    // Split: the left part stays in this page, the right part goes to a new page.
    std::uint32_t newBlock = 0;
    std::uint8_t* q = NewPage(&newBlock, &err);
    if (!q) return err;
    p = Page(block, &err);  // the cache never drops pages within a transaction
    if (!p) return err;
    std::vector<std::uint8_t> sep(L, 0);
    if (leaf) {
      const std::uint32_t left = total / 2;
      std::memcpy(sep.data() + 4, buf.data() + (left - 1) * L + 4, L - 4);
      WriteNode(p, buf.data(), left, L, true);
      std::vector<std::uint8_t> rest(buf.begin() + left * L, buf.begin() + total * L);
      rest.resize(rest.size() + 4, 0);
      WriteNode(q, rest.data(), total - left, L, true);
    } else {
      // total keys with total + 1 pointers: left keeps keys [0, h) and pointers [0, h],
      // key h goes up, right takes keys (h, total) and pointers (h, total].
      const std::uint32_t h = total / 2;
      std::memcpy(sep.data() + 4, buf.data() + h * L + 4, L - 4);
      std::vector<std::uint8_t> left(buf.begin(), buf.begin() + h * L);
      left.resize(h * L + 4, 0);
      std::memcpy(left.data() + h * L, buf.data() + h * L, 4);
      WriteNode(p, left.data(), h, L, false);
      std::vector<std::uint8_t> right(buf.begin() + (h + 1) * L, buf.begin() + total * L + 4);
      WriteNode(q, right.data(), total - h - 1, L, false);
    }
    MarkDirty(block);
    Put32(sep.data(), block);
    if (level == 0) {
      // New root above the two halves.
      std::uint32_t rootBlock = 0;
      std::uint8_t* root = NewPage(&rootBlock, &err);
      if (!root) return err;
      Put32(root + mdx_node::kKeyCount, 1);
      std::memcpy(root + kItemsAt, sep.data(), L);
      Put32(root + kItemsAt + L, newBlock);
      std::uint8_t* h = Page(t.headerBlock, &err);
      if (!h) return err;
      Put32(h + mdx_tag_header::kRoot, rootBlock);
      MarkDirty(t.headerBlock);
      return DBIERR_NONE;
    }
    return InsertInNode(t, path, level - 1, sep.data(), newBlock);
  }

  // Writes n items (and, for an upper node, the trailing last-child word) into a page.
  static void WriteNode(std::uint8_t* page, const std::uint8_t* items, std::uint32_t n, std::uint32_t L, bool leaf) {
    std::memset(page, 0, kPage);
    Put32(page + mdx_node::kKeyCount, n);
    std::memcpy(page + kItemsAt, items, n * L);
    if (!leaf) std::memcpy(page + kItemsAt + n * L, items + n * L, 4);
  }

  DBIResult Remove(TagState& t, const std::uint8_t* key, std::uint32_t recno) {
    std::vector<PathStep> path;
    bool end = false;
    DBIResult r = LowerBound(t, key, recno, false, &path, &end);
    if (r != DBIERR_NONE || end) return r;
    DBIResult err = DBIERR_NONE;
    std::uint8_t* p = Page(path.back().block, &err);
    if (!p) return err;
    const std::uint32_t idx = path.back().index;
    if (CompareEntry(t, Item(t, p, idx), key, recno) != 0) return DBIERR_NONE;  // not there
    const std::uint32_t cnt = Count(p);
    const std::uint32_t L = t.itemLength;
    std::memmove(p + kItemsAt + idx * L, p + kItemsAt + (idx + 1) * L, (cnt - idx - 1) * L);
    std::memset(p + kItemsAt + (cnt - 1) * L, 0, std::min<std::uint32_t>(L + 4, kPage - kItemsAt - (cnt - 1) * L));
    Put32(p + mdx_node::kKeyCount, cnt - 1);
    MarkDirty(path.back().block);
    if (cnt - 1 == 0 && path.size() > 1) return DropChild(t, path, path.size() - 1);
    return DBIERR_NONE;
  }

  // Removes the emptied node path[level] from its parent and frees it.
  DBIResult DropChild(TagState& t, std::vector<PathStep>& path, std::size_t level) {
    DBIResult err = DBIERR_NONE;
    const std::uint32_t gone = path[level].block;
    const std::uint32_t parentBlock = path[level - 1].block;
    const std::uint32_t j = path[level - 1].index;
    std::uint8_t* p = Page(parentBlock, &err);
    if (!p) return err;
    const std::uint32_t n = Count(p);
    const std::uint32_t L = t.itemLength;
    if (n == 0) {
      // The parent had only this child: it goes too (or becomes an empty leaf as root).
      DBIResult r = FreeBlock(gone);
      if (r != DBIERR_NONE) return r;
      if (level - 1 == 0) {
        p = Page(parentBlock, &err);
        if (!p) return err;
        std::memset(p, 0, kPage);
        MarkDirty(parentBlock);
        return FixFirstLeaf(t);
      }
      return DropChild(t, path, level - 1);
    }
    if (j < n) {
      // Drop pointer j and key j.
      std::memmove(p + kItemsAt + j * L, p + kItemsAt + (j + 1) * L, (n - j - 1) * L + 4);
    } else {
      // Drop the last pointer and the key before it; the previous child becomes the last.
      const std::uint32_t prev = Get32(p + kItemsAt + (n - 1) * L);
      Put32(p + kItemsAt + (n - 1) * L, prev);
    }
    Put32(p + mdx_node::kKeyCount, n - 1);
    std::memset(p + kItemsAt + (n - 1) * L + 4, 0, kPage - (kItemsAt + (n - 1) * L + 4));
    MarkDirty(parentBlock);
    DBIResult r = FreeBlock(gone);
    if (r != DBIERR_NONE) return r;
    // A root left with a single child hands the root over to it.
    for (int guard = 0; guard < kMaxLevels; ++guard) {
      const std::uint32_t rootBlock = Root(t, &err);
      if (err != DBIERR_NONE) return err;
      std::uint8_t* root = Page(rootBlock, &err);
      if (!root) return err;
      if (IsLeaf(t, root) || Count(root) != 0) break;
      const std::uint32_t only = Get32(root + kItemsAt);
      std::uint8_t* h = Page(t.headerBlock, &err);
      if (!h) return err;
      Put32(h + mdx_tag_header::kRoot, only);
      MarkDirty(t.headerBlock);
      r = FreeBlock(rootBlock);
      if (r != DBIERR_NONE) return r;
    }
    return FixFirstLeaf(t);
  }

  DBIResult FixFirstLeaf(const TagState& t) {
    DBIResult err = DBIERR_NONE;
    const std::uint32_t rootBlock = Root(t, &err);
    if (err != DBIERR_NONE) return err;
    std::vector<PathStep> path;
    DBIResult r = DescendEdge(t, rootBlock, false, &path);
    if (r != DBIERR_NONE) return r;
    std::uint8_t* h = Page(t.headerBlock, &err);
    if (!h) return err;
    if (Get32(h + kFirstLeafAt) != path.back().block) {
      Put32(h + kFirstLeafAt, path.back().block);
      MarkDirty(t.headerBlock);
    }
    return DBIERR_NONE;
  }

  DBIResult ApplyChange(std::uint32_t recno, const std::uint8_t* oldRec, const std::uint8_t* newRec) {
    std::uint8_t oldKey[kMdxMaxKeyLength], newKey[kMdxMaxKeyLength];
    for (auto& tp : tags)
      if (!tp->exprOk) return DBIERR_INVALIDEXPR;
    for (auto& tp : tags) {
      TagState& t = *tp;
      bool oldIn = false, newIn = false;
      if (oldRec && !MakeKey(t, oldRec, oldKey, &oldIn)) return DBIERR_INVALIDEXPR;
      if (newRec && !MakeKey(t, newRec, newKey, &newIn)) return DBIERR_INVALIDEXPR;
      if (oldIn && newIn && std::memcmp(oldKey, newKey, t.info.keyLength) == 0) continue;
      if (oldIn) {
        DBIResult r = Remove(t, oldKey, recno);
        if (r != DBIERR_NONE) return r;
      }
      if (newIn) {
        DBIResult r = Insert(t, newKey, recno);
        if (r != DBIERR_NONE) return r;
      }
    }
    return DBIERR_NONE;
  }

  // ---- walks over whole tags (direct reads, bounded) ----

  // Visits every page of a tag depth first; leafFn(page) for leaves, nodeFn(block) for every
  // page. Depth, counts and the number of pages visited are bounded.
  template <class LeafFn, class NodeFn>
  DBIResult WalkTag(const TagState& t, LeafFn leafFn, NodeFn nodeFn) {
    DBIResult err = DBIERR_NONE;
    const std::uint32_t rootBlock = Root(t, &err);
    if (err != DBIERR_NONE) return err;
    struct Level {
      std::uint32_t block;
      std::uint32_t next;
      std::vector<std::uint8_t> page;
    };
    std::vector<Level> stack;
    std::uint64_t budget = fileSize / kPage + 1;
    int leafDepth = -1;
    auto push = [&](std::uint32_t block) -> DBIResult {
      if (stack.size() >= static_cast<std::size_t>(kMaxLevels) || budget-- == 0) return DBIERR_INDEXCORRUPT;
      Level l{block, 0, std::vector<std::uint8_t>(kPage)};
      DBIResult r = ReadPage(block, l.page.data());
      if (r != DBIERR_NONE) return r;
      if (!CountOk(t, l.page.data())) return DBIERR_INDEXCORRUPT;
      stack.push_back(std::move(l));
      return nodeFn(block);
    };
    DBIResult r = push(rootBlock);
    if (r != DBIERR_NONE) return r;
    while (!stack.empty()) {
      Level& top = stack.back();
      std::uint8_t* p = top.page.data();
      if (IsLeaf(t, p)) {
        const int depth = static_cast<int>(stack.size());
        if (leafDepth < 0) leafDepth = depth;
        if (depth != leafDepth) return DBIERR_INDEXCORRUPT;
        r = leafFn(p);
        if (r != DBIERR_NONE) return r;
        stack.pop_back();
        continue;
      }
      if (top.next > Count(p)) {
        stack.pop_back();
        continue;
      }
      const std::uint32_t child = Child(t, p, top.next++);
      r = push(child);
      if (r != DBIERR_NONE) return r;
    }
    return DBIERR_NONE;
  }

  // ---- building ----

  struct Built {
    std::uint32_t root = 0;
    std::uint32_t firstLeaf = 0;
  };

  // Writes a tree of sorted entries (each keyLength bytes + 4-byte recno, stored form)
  // into pages taken from the free list or the end of the file.
  DBIResult WriteTree(const TagState& t, const std::vector<std::uint8_t>& items, std::size_t n, Built* out) {
    const std::uint32_t L = t.itemLength;
    const std::uint32_t maxKeys = t.maxKeys;
    struct Child {
      std::uint32_t block;
      std::size_t lastItem;  // index of the greatest entry under it
    };
    std::vector<Child> level;
    std::vector<std::uint8_t> run;  // consecutive pages written in one call
    std::uint32_t runStart = 0;
    std::uint32_t runNext = 0;
    auto flush = [&]() -> DBIResult {
      if (run.empty()) return DBIERR_NONE;
      DBIResult r = WriteMarked(run.data(), run.size(), static_cast<off_t>(runStart) * kBlock);
      run.clear();
      return r;
    };
    auto emit = [&](const std::uint8_t* page, std::uint32_t* block) -> DBIResult {
      std::uint32_t b = 0;
      DBIResult r = AllocBlock(&b);
      if (r != DBIERR_NONE) return r;
      if (run.empty() || b != runNext || run.size() >= (1u << 20)) {
        r = flush();
        if (r != DBIERR_NONE) return r;
        runStart = b;
      }
      run.insert(run.end(), page, page + kPage);
      runNext = b + kBlocksPerPage;
      *block = b;
      return DBIERR_NONE;
    };
    std::vector<std::uint8_t> page(kPage);
    // Leaves, spread evenly.
    const std::size_t leaves = n == 0 ? 1 : (n + maxKeys - 1) / maxKeys;
    std::size_t pos = 0;
    for (std::size_t i = 0; i < leaves; ++i) {
      const std::size_t take = n / leaves + (i < n % leaves ? 1 : 0);
      std::memset(page.data(), 0, kPage);
      Put32(page.data() + mdx_node::kKeyCount, static_cast<std::uint32_t>(take));
      for (std::size_t k = 0; k < take; ++k) {
        const std::uint8_t* e = items.data() + (pos + k) * (t.info.keyLength + 4);
        std::uint8_t* dst = page.data() + kItemsAt + k * L;
        std::memcpy(dst, e + t.info.keyLength, 4);
        std::memcpy(dst + 4, e, t.info.keyLength);
      }
      std::uint32_t b = 0;
      DBIResult r = emit(page.data(), &b);
      if (r != DBIERR_NONE) return r;
      if (i == 0) out->firstLeaf = b;
      level.push_back({b, pos + take - 1});
      pos += take;
    }
    // Upper levels: up to maxKeys + 1 children per node.
    while (level.size() > 1) {
      std::vector<Child> upper;
      const std::size_t per = maxKeys + 1;
      const std::size_t nodes = (level.size() + per - 1) / per;
      std::size_t at = 0;
      for (std::size_t i = 0; i < nodes; ++i) {
        const std::size_t take = level.size() / nodes + (i < level.size() % nodes ? 1 : 0);
        std::memset(page.data(), 0, kPage);
        Put32(page.data() + mdx_node::kKeyCount, static_cast<std::uint32_t>(take - 1));
        for (std::size_t k = 0; k < take; ++k) {
          std::uint8_t* dst = page.data() + kItemsAt + k * L;
          Put32(dst, level[at + k].block);
          if (k + 1 < take) {
            const std::uint8_t* e = items.data() + level[at + k].lastItem * (t.info.keyLength + 4);
            std::memcpy(dst + 4, e, t.info.keyLength);
          }
        }
        std::uint32_t b = 0;
        DBIResult r = emit(page.data(), &b);
        if (r != DBIERR_NONE) return r;
        upper.push_back({b, level[at + take - 1].lastItem});
        at += take;
      }
      level = std::move(upper);
    }
    DBIResult r = flush();
    if (r != DBIERR_NONE) return r;
    out->root = level[0].block;
    return DBIERR_NONE;
  }

  // Sort form of an entry: weighted key bytes (or ordered double) then big-endian recno.
  struct Collector {
    const TagState* tag;
    std::uint32_t sortLength;      // bytes of the sortable key
    std::vector<std::uint8_t> buf; // sortLength + 4 per entry
    std::size_t n = 0;
  };

  void Collect(Collector& c, const std::uint8_t* rec, std::uint32_t recno) {
    const TagState& t = *c.tag;
    std::uint8_t key[kMdxMaxKeyLength];
    bool in = false;
    MakeKey(t, rec, key, &in);
    if (!in) return;
    const std::size_t at = c.buf.size();
    c.buf.resize(at + c.sortLength + 4);
    std::uint8_t* e = c.buf.data() + at;
    if (t.info.keyType == 'C') {
      const std::uint8_t* w = CollationWeights();
      for (std::uint32_t i = 0; i < t.info.keyLength; ++i) e[i] = w[key[i]];
    } else if (t.info.keyType == 'N') {
      SortableDouble(BcdKeyToNumber(key), e);
    } else {
      SortableDouble(GetDouble(key), e);
    }
    if (t.descending)
      for (std::uint32_t i = 0; i < c.sortLength; ++i) e[i] = static_cast<std::uint8_t>(~e[i]);
    e[c.sortLength] = static_cast<std::uint8_t>(recno >> 24);
    e[c.sortLength + 1] = static_cast<std::uint8_t>(recno >> 16);
    e[c.sortLength + 2] = static_cast<std::uint8_t>(recno >> 8);
    e[c.sortLength + 3] = static_cast<std::uint8_t>(recno);
    ++c.n;
  }

  // Sorts the collected entries and turns them back into stored keys + little-endian recno.
  void Finish(Collector& c, std::vector<std::uint8_t>* items) {
    const TagState& t = *c.tag;
    const std::uint32_t E = c.sortLength + 4;
    std::vector<std::uint32_t> order(c.n);
    for (std::uint32_t i = 0; i < c.n; ++i) order[i] = i;
    const std::uint8_t* base = c.buf.data();
    std::sort(order.begin(), order.end(), [base, E](std::uint32_t a, std::uint32_t b) {
      return std::memcmp(base + static_cast<std::size_t>(a) * E, base + static_cast<std::size_t>(b) * E, E) < 0;
    });
    std::uint8_t inverse[256];
    const std::uint8_t* w = CollationWeights();
    for (int i = 0; i < 256; ++i) inverse[w[i]] = static_cast<std::uint8_t>(i);
    // A unique tag keeps the first record of each key.
    if (t.unique && !order.empty()) {
      std::size_t kept = 1;
      for (std::size_t i = 1; i < order.size(); ++i)
        if (std::memcmp(base + static_cast<std::size_t>(order[kept - 1]) * E,
                        base + static_cast<std::size_t>(order[i]) * E, c.sortLength) != 0)
          order[kept++] = order[i];
      order.resize(kept);
      c.n = kept;
    }
    const std::uint32_t K = t.info.keyLength;
    items->assign(static_cast<std::size_t>(c.n) * (K + 4), 0);
    std::uint8_t plain[kMdxMaxKeyLength + 4];
    for (std::size_t i = 0; i < c.n; ++i) {
      const std::uint8_t* e = base + static_cast<std::size_t>(order[i]) * E;
      if (t.descending) {
        for (std::uint32_t k = 0; k < c.sortLength; ++k) plain[k] = static_cast<std::uint8_t>(~e[k]);
        std::memcpy(plain + c.sortLength, e + c.sortLength, 4);
        e = plain;
      }
      std::uint8_t* dst = items->data() + i * (K + 4);
      if (t.info.keyType == 'C') {
        for (std::uint32_t k = 0; k < K; ++k) dst[k] = inverse[e[k]];
      } else if (t.info.keyType == 'N') {
        NumberToBcdKey(FromSortableDouble(e), dst);
      } else {
        PutDouble(dst, FromSortableDouble(e));
      }
      const std::uint32_t recno = static_cast<std::uint32_t>(e[c.sortLength]) << 24 |
                                  static_cast<std::uint32_t>(e[c.sortLength + 1]) << 16 |
                                  static_cast<std::uint32_t>(e[c.sortLength + 2]) << 8 | e[c.sortLength + 3];
      Put32(dst + K, recno);
    }
    c.buf.clear();
    c.buf.shrink_to_fit();
  }

  // Frees every page of a tag's tree (not its header page).
  DBIResult FreeTree(const TagState& t) {
    std::vector<std::uint32_t> blocks;
    DBIResult r = WalkTag(t, [](std::uint8_t*) -> DBIResult { return DBIERR_NONE; },
                          [&](std::uint32_t b) -> DBIResult { blocks.push_back(b); return DBIERR_NONE; });
    if (r != DBIERR_NONE) return r;
    std::sort(blocks.begin(), blocks.end());
    if (std::adjacent_find(blocks.begin(), blocks.end()) != blocks.end()) return DBIERR_INDEXCORRUPT;
    for (std::uint32_t b : blocks) {
      r = FreeBlock(b);
      if (r != DBIERR_NONE) return r;
    }
    return DBIERR_NONE;
  }

  // Points the tag header at a new tree.
  DBIResult SetTree(const TagState& t, const Built& b) {
    DBIResult err = DBIERR_NONE;
    std::uint8_t* h = Page(t.headerBlock, &err);
    if (!h) return err;
    Put32(h + mdx_tag_header::kRoot, b.root);
    Put32(h + kFirstLeafAt, b.firstLeaf);
    MarkDirty(t.headerBlock);
    return DBIERR_NONE;
  }

  // Tag tree links of the tag table: a balanced binary tree of the tags by name.
  void LinkTags() {
    const std::uint32_t used = Get16(header + mdx_header::kTagsInUse);
    std::vector<std::pair<std::string, std::uint32_t>> names;
    for (std::uint32_t i = 1; i <= used; ++i) {
      std::uint8_t* e = header + kTagTable + kTagEntry * i;
      names.emplace_back(CString(e + mdx_tag_entry::kName, mdx_tag_entry::kNameLength), i);
      e[mdx_tag_entry::kLeftTag] = e[mdx_tag_entry::kRightTag] = e[mdx_tag_entry::kParentTag] = 0;
    }
    std::sort(names.begin(), names.end());
    struct Builder {
      std::uint8_t* header;
      const std::vector<std::pair<std::string, std::uint32_t>>& names;
      std::uint32_t Build(std::size_t lo, std::size_t hi, std::uint32_t parent) {
        if (lo >= hi) return 0;
        const std::size_t mid = (lo + hi) / 2;
        const std::uint32_t seq = names[mid].second;
        std::uint8_t* e = header + kTagTable + kTagEntry * seq;
        e[mdx_tag_entry::kParentTag] = static_cast<std::uint8_t>(parent);
        e[mdx_tag_entry::kLeftTag] = static_cast<std::uint8_t>(Build(lo, mid, seq));
        e[mdx_tag_entry::kRightTag] = static_cast<std::uint8_t>(Build(mid + 1, hi, seq));
        return seq;
      }
    } builder{header, names};
    builder.Build(0, names.size(), 0);
    tagTableDirty = true;
  }
};

// ---- public interface ---------------------------------------------------------------------

Mdx::Mdx() : impl_(std::make_unique<Impl>()) {}
Mdx::~Mdx() { Close(); }

const std::string& Mdx::path() const { return impl_->path; }
std::uint32_t Mdx::ChangeCounter() const { return impl_->counter; }
bool Mdx::production() const { return impl_->header[mdx_header::kProduction] != 0; }

DBIResult Mdx::Create(const std::string& path, std::string_view tableName, bool production,
                      const RecordLayout& layout, bool exclusive, std::unique_ptr<Mdx>* out) {
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
  return Open(path, layout, false, exclusive, out);
}

DBIResult Mdx::Open(const std::string& path, const RecordLayout& layout, bool readOnly, bool exclusive,
                    std::unique_ptr<Mdx>* out) {
  std::unique_ptr<Mdx> m(new Mdx());
  Impl& d = *m->impl_;
  d.path = path;
  d.layout = layout;
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

DBIResult Mdx::Tags(std::vector<MdxTagInfo>* tags) {
  Impl& d = *impl_;
  DBIResult r = d.Begin(false);
  if (r != DBIERR_NONE) return r;
  tags->clear();
  for (auto& t : d.tags) tags->push_back(t->info);
  return d.End(true);
}

DBIResult Mdx::FindTag(std::string_view name, MdxTagInfo* info) {
  Impl& d = *impl_;
  DBIResult r = d.Begin(false);
  if (r != DBIERR_NONE) return r;
  TagState* t = d.FindTag(name);
  if (t && info) *info = t->info;
  d.End(true);
  return t ? DBIERR_NONE : DBIERR_NOSUCHINDEX;
}

DBIResult Mdx::AddTag(std::string_view name, std::string_view keyExpr, std::string_view forExpr,
                      RecordSource* records) {
  Impl& d = *impl_;
  const std::string tagName = UpperName(name);
  if (tagName.empty()) return DBIERR_INVALIDPARAM;
  auto t = std::make_unique<TagState>();
  t->info.name = tagName;
  t->info.keyExpr = std::string(keyExpr);
  std::string cond(forExpr);
  while (!cond.empty() && cond.back() == ' ') cond.pop_back();
  while (!cond.empty() && cond.front() == ' ') cond.erase(cond.begin());
  t->info.forExpr = cond;
  if (keyExpr.size() > kKeyExprMax - 1 || cond.size() > kForExprMax) return DBIERR_INVALIDEXPR;
  t->key = Expression::Parse(keyExpr, d.layout);
  if (!t->key) return DBIERR_INVALIDEXPR;
  switch (t->key->type()) {
    case ExprType::kCharacter:
      t->info.keyType = 'C';
      t->info.keyLength = static_cast<std::uint16_t>(t->key->length());
      if (t->info.keyLength == 0 || t->info.keyLength > kMdxMaxKeyLength) return DBIERR_INVALIDEXPR;
      break;
    case ExprType::kNumeric: t->info.keyType = 'N'; t->info.keyLength = 12; break;
    case ExprType::kDate: t->info.keyType = 'D'; t->info.keyLength = 8; break;
    default: return DBIERR_INVALIDEXPR;
  }
  if (!cond.empty()) {
    t->cond = Expression::Parse(cond, d.layout);
    if (!t->cond || t->cond->type() != ExprType::kLogical) return DBIERR_INVALIDEXPR;
  }
  t->exprOk = true;
  t->itemLength = ItemLength(t->info.keyLength);
  t->maxKeys = MaxKeys(t->itemLength);

  DBIResult r = d.Begin(true);
  if (r != DBIERR_NONE) return r;
  auto fail = [&](DBIResult code) {
    d.End(false);
    return code;
  };
  if (d.FindTag(tagName)) return fail(DBIERR_INVALIDPARAM);
  const std::uint32_t used = Get16(d.header + mdx_header::kTagsInUse);
  if (used >= static_cast<std::uint32_t>(kMdxMaxTags)) return fail(DBIERR_INVALIDPARAM);

  Impl::Collector c{t.get(), t->info.keyType == 'C' ? t->info.keyLength : 8u, {}, 0};
  if (records) {
    std::uint32_t recno = 0;
    const std::uint8_t* rec = nullptr;
    while (records->Next(&recno, &rec)) d.Collect(c, rec, recno);
    if (records->status() != DBIERR_NONE) return fail(records->status());
  }
  std::vector<std::uint8_t> items;
  d.Finish(c, &items);
  const std::size_t n = c.n;
  Impl::Built built;
  r = d.WriteTree(*t, items, n, &built);
  if (r != DBIERR_NONE) return fail(r);
  items.clear();
  items.shrink_to_fit();

  // Tag header page.
  std::uint8_t* h = d.NewPage(&t->headerBlock, &r);
  if (!h) return fail(r);
  Put32(h + mdx_tag_header::kRoot, built.root);
  h[mdx_tag_header::kKeyFormat] = 0x10;
  h[mdx_tag_header::kKeyType] = static_cast<std::uint8_t>(t->info.keyType);
  Put16(h + mdx_tag_header::kKeyLength, t->info.keyLength);
  Put16(h + mdx_tag_header::kKeysPerPage, t->maxKeys);
  Put16(h + mdx_tag_header::kItemLength, t->itemLength);
  std::memcpy(h + kKeyExprAt, t->info.keyExpr.data(), t->info.keyExpr.size());
  h[kForFlagAt] = cond.empty() ? 0 : 1;
  Put32(h + kFirstLeafAt, built.firstLeaf);
  std::memcpy(h + kForExprAt, cond.data(), cond.size());

  // Tag table entry, last.
  const std::uint32_t seq = used + 1;
  std::uint8_t* e = d.header + kTagTable + kTagEntry * seq;
  std::memset(e, 0, kTagEntry);
  Put32(e + mdx_tag_entry::kHeaderBlock, t->headerBlock);
  std::memcpy(e + mdx_tag_entry::kName, tagName.data(), tagName.size());
  e[mdx_tag_entry::kKeyFormat] = 0x10;
  e[mdx_tag_entry::kTagFlag] = 0x02;
  e[mdx_tag_entry::kKeyType] = static_cast<std::uint8_t>(t->info.keyType);
  Put16(d.header + mdx_header::kTagsInUse, static_cast<std::uint16_t>(seq));
  d.LinkTags();
  d.headerDirty = true;
  t->info.seqNo = static_cast<int>(seq);
  d.tags.push_back(std::move(t));
  if (d.exclusive) {
    r = d.WriteBack();  // a new tag is written at once even in exclusive mode
    if (r != DBIERR_NONE) return fail(r);
  }
  return d.End(true);
}

DBIResult Mdx::DeleteTag(std::string_view name) {
  Impl& d = *impl_;
  DBIResult r = d.Begin(true);
  if (r != DBIERR_NONE) return r;
  TagState* t = d.FindTag(name);
  if (!t) {
    d.End(true);
    return DBIERR_NOSUCHINDEX;
  }
  r = d.FreeTree(*t);
  if (r == DBIERR_NONE) r = d.FreeBlock(t->headerBlock);
  if (r != DBIERR_NONE) {
    d.End(false);
    return r;
  }
  const std::uint32_t used = Get16(d.header + mdx_header::kTagsInUse);
  const std::uint32_t seq = static_cast<std::uint32_t>(t->info.seqNo);
  std::uint8_t* tableStart = d.header + kTagTable;
  std::memmove(tableStart + kTagEntry * seq, tableStart + kTagEntry * (seq + 1), kTagEntry * (used - seq));
  std::memset(tableStart + kTagEntry * used, 0, kTagEntry);
  Put16(d.header + mdx_header::kTagsInUse, static_cast<std::uint16_t>(used - 1));
  d.LinkTags();
  d.headerDirty = true;
  d.tags.erase(d.tags.begin() + (seq - 1));
  for (std::size_t i = 0; i < d.tags.size(); ++i) d.tags[i]->info.seqNo = static_cast<int>(i + 1);
  if (d.exclusive) {
    r = d.WriteBack();
    if (r != DBIERR_NONE) {
      d.End(false);
      return r;
    }
  }
  return d.End(true);
}

DBIResult Mdx::Rebuild(RecordSource* records) {
  Impl& d = *impl_;
  d.repairing = true;
  DBIResult r = d.Begin(true);
  d.repairing = false;
  if (r != DBIERR_NONE) return r;
  for (auto& t : d.tags) {
    if (!t->exprOk) {
      d.End(false);
      return DBIERR_INVALIDEXPR;
    }
  }
  std::vector<Impl::Collector> cs;
  for (auto& t : d.tags) cs.push_back(Impl::Collector{t.get(), t->info.keyType == 'C' ? t->info.keyLength : 8u, {}, 0});
  if (records) {
    std::uint32_t recno = 0;
    const std::uint8_t* rec = nullptr;
    while (records->Next(&recno, &rec))
      for (auto& c : cs) d.Collect(c, rec, recno);
    if (records->status() != DBIERR_NONE) {
      d.End(false);
      return records->status();
    }
  }
  // After an interrupted update the free list and the end of the file in the header may
  // name pages the dead writer had already taken: the old trees are abandoned and new pages
  // come from past the end of the file.
  const bool torn = d.interrupted || d.stale;
  if (torn) {
    struct stat st {};
    if (::fstat(d.fd, &st) == 0) d.fileSize = std::max(d.fileSize, static_cast<std::uint64_t>(st.st_size));
    Put32(d.header + mdx_header::kFreeListHead, 0);
    Put32(d.header + mdx_header::kFreeListPages, 0);
    const std::uint32_t end = static_cast<std::uint32_t>((d.fileSize + kPage - 1) / kPage * kBlocksPerPage);
    if (end > Get32(d.header + mdx_header::kNextFreeBlock)) Put32(d.header + mdx_header::kNextFreeBlock, end);
    d.headerDirty = true;
  }
  for (std::size_t i = 0; i < cs.size(); ++i) {
    const TagState& t = *d.tags[i];
    // A damaged old tree is simply abandoned; its pages are not reused.
    if (torn || d.FreeTree(t) != DBIERR_NONE) {
      Put32(d.header + mdx_header::kFreeListHead, 0);
      Put32(d.header + mdx_header::kFreeListPages, 0);
      d.headerDirty = true;
    }
    std::vector<std::uint8_t> items;
    d.Finish(cs[i], &items);
    const std::size_t n = cs[i].n;
    Impl::Built built;
    r = d.WriteTree(t, items, n, &built);
    if (r == DBIERR_NONE) r = d.SetTree(t, built);
    if (r != DBIERR_NONE) {
      d.End(false);
      return r;
    }
  }
  d.stale = false;
  if (d.exclusive) {
    r = d.WriteBack();
    if (r != DBIERR_NONE) {
      d.End(false);
      return r;
    }
  }
  r = d.End(true);
  if (r == DBIERR_NONE) d.interrupted = false;
  return r;
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

DBIResult Mdx::RecordChanged(std::uint32_t recno, const std::uint8_t* oldRecord, const std::uint8_t* newRecord) {
  Impl& d = *impl_;
  if (d.tags.empty() && d.synced && d.exclusive) return DBIERR_NONE;
  DBIResult r = d.Begin(true);
  if (r != DBIERR_NONE) return r;
  r = d.ApplyChange(recno, oldRecord, newRecord);
  if (r != DBIERR_NONE) {
    d.End(false);
    return r;
  }
  return d.End(true);
}

DBIResult Mdx::RecordsAppended(std::uint32_t firstRecno, std::uint32_t count, const std::uint8_t* records,
                               std::uint32_t recordLength) {
  Impl& d = *impl_;
  DBIResult r = d.Begin(true);
  if (r != DBIERR_NONE) return r;
  for (std::uint32_t i = 0; i < count && r == DBIERR_NONE; ++i)
    r = d.ApplyChange(firstRecno + i, nullptr, records + static_cast<std::size_t>(i) * recordLength);
  if (r != DBIERR_NONE) {
    d.End(false);
    return r;
  }
  return d.End(true);
}

DBIResult Mdx::KeyOf(std::string_view tag, const std::uint8_t* record, std::string* key, bool* included) {
  Impl& d = *impl_;
  // A key needs only the tag's expressions: a tag already known is used without going to
  // the file (a cursor asks for the key of every record it writes).
  if (d.synced && d.lockDepth == 0) {
    if (TagState* t = d.FindTag(tag); t && t->exprOk) {
      std::uint8_t k[kMdxMaxKeyLength];
      d.MakeKey(*t, record, k, included);
      if (*included) key->assign(reinterpret_cast<char*>(k), t->info.keyLength);
      return DBIERR_NONE;
    }
  }
  DBIResult r = d.Begin(false);
  if (r != DBIERR_NONE) return r;
  TagState* t = d.FindTag(tag);
  if (!t) {
    d.End(true);
    return DBIERR_NOSUCHINDEX;
  }
  std::uint8_t k[kMdxMaxKeyLength];
  const bool ok = d.MakeKey(*t, record, k, included);
  if (ok && *included) key->assign(reinterpret_cast<char*>(k), t->info.keyLength);
  d.End(true);
  return ok ? DBIERR_NONE : DBIERR_INVALIDEXPR;
}

namespace {

// Runs fn(tag) under a read lock, resolving the tag by name.
template <class Fn>
DBIResult WithTag(Mdx::Impl& d, std::string_view tag, Fn fn) {
  if (d.MayReadWithoutLock()) {
    d.optimistic = true;
    TagState* t = d.FindTag(tag);
    const DBIResult r = t ? fn(*t) : DBIERR_NOSUCHINDEX;
    d.optimistic = false;
    if (r != kNotCached && d.MappedCounter() == d.counter) return r;
  }
  DBIResult r = d.Begin(false);
  if (r != DBIERR_NONE) return r;
  TagState* t = d.FindTag(tag);
  r = t ? fn(*t) : DBIERR_NOSUCHINDEX;
  d.End(true);
  return r;
}

// The first entry of the tag, or its last one when last: down the edge of the tree, then
// on past empty leaves.
DBIResult EdgeEntry(Mdx::Impl& d, std::string_view tag, bool last, MdxEntry* out) {
  return WithTag(d, tag, [&](TagState& t) -> DBIResult {
    std::vector<PathStep> path;
    DBIResult err = DBIERR_NONE;
    const std::uint32_t root = d.Root(t, &err);
    if (err != DBIERR_NONE) return err;
    DBIResult r = d.DescendEdge(t, root, last, &path);
    if (r != DBIERR_NONE) return r;
    std::uint8_t* p = d.Page(path.back().block, &err);
    if (!p) return err;
    if (Mdx::Impl::Count(p) == 0) {
      bool end = false;
      r = last ? d.StepBack(t, &path, &end) : d.StepForward(t, &path, &end);
      if (r != DBIERR_NONE) return r;
      if (end) return last ? DBIERR_BOF : DBIERR_EOF;
    }
    return d.EntryAt(t, path, out);
  });
}

}  // namespace

DBIResult Mdx::First(std::string_view tag, MdxEntry* out) { return EdgeEntry(*impl_, tag, false, out); }

DBIResult Mdx::Last(std::string_view tag, MdxEntry* out) { return EdgeEntry(*impl_, tag, true, out); }

DBIResult Mdx::Next(std::string_view tag, const MdxEntry& from, MdxEntry* out) {
  Impl& d = *impl_;
  return WithTag(d, tag, [&](TagState& t) -> DBIResult {
    std::string key = from.key;
    key.resize(t.info.keyLength, t.info.keyType == 'C' ? ' ' : '\0');
    const auto* k = reinterpret_cast<const std::uint8_t*>(key.data());
    std::vector<PathStep> path;
    bool end = false;
    DBIResult r = d.LowerBound(t, k, from.recno, false, &path, &end);
    if (r != DBIERR_NONE) return r;
    if (end) return DBIERR_EOF;
    r = d.EntryAt(t, path, out);
    if (r != DBIERR_NONE) return r;
    if (out->recno == from.recno && out->key == key) {
      r = d.StepForward(t, &path, &end);
      if (r != DBIERR_NONE) return r;
      if (end) return DBIERR_EOF;
      r = d.EntryAt(t, path, out);
    }
    if (r != DBIERR_NONE) return r;
    return d.StepMovesOn(t, key, from.recno, *out, true);
  });
}

DBIResult Mdx::Prior(std::string_view tag, const MdxEntry& from, MdxEntry* out) {
  Impl& d = *impl_;
  return WithTag(d, tag, [&](TagState& t) -> DBIResult {
    std::string key = from.key;
    key.resize(t.info.keyLength, t.info.keyType == 'C' ? ' ' : '\0');
    const auto* k = reinterpret_cast<const std::uint8_t*>(key.data());
    std::vector<PathStep> path;
    bool end = false;
    DBIResult r = d.LowerBound(t, k, from.recno, true, &path, &end);
    if (r != DBIERR_NONE) return r;
    bool begin = false;
    r = d.StepBack(t, &path, &begin);
    if (r != DBIERR_NONE) return r;
    if (begin) return DBIERR_BOF;
    r = d.EntryAt(t, path, out);
    if (r != DBIERR_NONE) return r;
    return d.StepMovesOn(t, key, from.recno, *out, false);
  });
}

DBIResult Mdx::Seek(std::string_view tag, std::string_view key, MdxEntry* out, bool* found) {
  Impl& d = *impl_;
  *found = false;
  return WithTag(d, tag, [&](TagState& t) -> DBIResult {
    const std::string k = d.SearchKey(t, key);
    const auto* kp = reinterpret_cast<const std::uint8_t*>(k.data());
    std::vector<PathStep> path;
    DBIResult r = d.Descend(t, kp, k.size(), &path);
    if (r != DBIERR_NONE) return r;
    DBIResult err = DBIERR_NONE;
    std::uint8_t* p = d.Page(path.back().block, &err);
    if (!p) return err;
    std::uint64_t guard = d.fileSize / kPage + 1;
    while (path.back().index >= Impl::Count(p)) {
      bool end = false;
      if (guard-- == 0) return DBIERR_INDEXCORRUPT;
      r = d.SiblingLeaf(t, true, &path, &end);
      if (r != DBIERR_NONE) return r;
      if (end) return DBIERR_EOF;
      p = d.Page(path.back().block, &err);
      if (!p) return err;
      // The next leaf may still begin below the key (a separator that was not lowered).
      std::uint32_t i = 0;
      while (i < Impl::Count(p) && d.Compare(t, d.Item(t, p, i) + 4, kp, k.size()) < 0) ++i;
      path.back().index = i;
    }
    r = d.EntryAt(t, path, out);
    if (r != DBIERR_NONE) return r;
    *found = d.Compare(t, reinterpret_cast<const std::uint8_t*>(out->key.data()), kp, k.size()) == 0;
    if (t.info.keyType == 'C') *found = std::memcmp(out->key.data(), k.data(), k.size()) == 0;
    return DBIERR_NONE;
  });
}

DBIResult Mdx::Count(std::string_view tag, std::uint64_t* count) {
  Impl& d = *impl_;
  *count = 0;
  return WithTag(d, tag, [&](TagState& t) -> DBIResult {
    return d.WalkTag(t, [&](std::uint8_t* p) -> DBIResult { *count += Impl::Count(p); return DBIERR_NONE; },
                     [](std::uint32_t) -> DBIResult { return DBIERR_NONE; });
  });
}

DBIResult Mdx::Check(std::string_view tag) {
  Impl& d = *impl_;
  return WithTag(d, tag, [&](TagState& t) -> DBIResult {
    std::string prevKey;
    std::uint32_t prevRec = 0;
    bool havePrev = false;
    bool firstLeafSeen = false;
    std::uint32_t firstLeaf = 0;
    DBIResult err = DBIERR_NONE;
    std::uint8_t* h = d.Page(t.headerBlock, &err);
    if (!h) return err;
    const std::uint32_t wantFirst = Get32(h + kFirstLeafAt);
    std::vector<std::uint32_t> blocks;
    std::uint32_t lastBlock = 0;
    DBIResult r = d.WalkTag(
        t,
        [&](std::uint8_t* p) -> DBIResult {
          if (!firstLeafSeen) {
            firstLeafSeen = true;
            firstLeaf = lastBlock;
          }
          for (std::uint32_t i = 0; i < Impl::Count(p); ++i) {
            std::uint8_t* item = d.Item(t, p, i);
            const std::string key(reinterpret_cast<const char*>(item + 4), t.info.keyLength);
            const std::uint32_t rec = Get32(item);
            if (rec == 0) return DBIERR_INDEXCORRUPT;
            if (havePrev) {
              const int c = d.Compare(t, reinterpret_cast<const std::uint8_t*>(prevKey.data()),
                                      reinterpret_cast<const std::uint8_t*>(key.data()), t.info.keyLength);
              if (c > 0 || (c == 0 && prevRec >= rec)) return DBIERR_INDEXCORRUPT;
            }
            prevKey = key;
            prevRec = rec;
            havePrev = true;
          }
          return DBIERR_NONE;
        },
        [&](std::uint32_t b) -> DBIResult {
          blocks.push_back(b);
          lastBlock = b;
          return DBIERR_NONE;
        });
    if (r != DBIERR_NONE) return r;
    std::sort(blocks.begin(), blocks.end());
    if (std::adjacent_find(blocks.begin(), blocks.end()) != blocks.end()) return DBIERR_INDEXCORRUPT;
    if (firstLeaf != wantFirst) return DBIERR_INDEXCORRUPT;
    return DBIERR_NONE;
  });
}

DBIResult Mdx::CheckOrder() {
  Impl& d = *impl_;
  std::vector<std::string> names;
  DBIResult r = d.Begin(false);
  if (r != DBIERR_NONE) return r;
  for (auto& t : d.tags) names.push_back(t->info.name);
  d.End(true);
  for (const std::string& name : names) {
    MdxEntry first, last;
    r = First(name, &first);
    if (r == DBIERR_EOF) continue;
    if (r == DBIERR_NONE) r = Last(name, &last);
    if (r != DBIERR_NONE) return r;
    r = WithTag(d, name, [&](TagState& t) -> DBIResult {
      if (first.recno == last.recno && first.key == last.key) return DBIERR_NONE;
      return d.StepMovesOn(t, first.key, first.recno, last, true);
    });
    if (r != DBIERR_NONE) return r;
  }
  // The pages looked at are not kept: the next call reads under the lock, as at an open.
  if (d.lockDepth == 0 && !d.exclusive) {
    d.ClearCache();
    d.synced = false;
  }
  return DBIERR_NONE;
}

DBIResult Mdx::CheckMaintainable() {
  Impl& d = *impl_;
  DBIResult r = d.Begin(false);
  if (r != DBIERR_NONE) return r;
  for (auto& t : d.tags)
    if (!t->exprOk) r = DBIERR_INVALIDEXPR;
  d.End(true);
  return r;
}

DBIResult Mdx::CreateIndexFile(const std::string& path, std::string_view keyExpr, std::string_view forExpr,
                               const RecordLayout& layout, RecordSource* records) {
  std::string base = path;
  const std::size_t slash = base.find_last_of('/');
  if (slash != std::string::npos) base = base.substr(slash + 1);
  const std::size_t dot = base.find_last_of('.');
  if (dot != std::string::npos && dot > 0) base = base.substr(0, dot);
  std::string tag = UpperName(base);
  if (tag.empty()) tag = "INDEX";
  std::unique_ptr<Mdx> m;
  DBIResult r = Create(path, base, false, layout, true, &m);
  if (r != DBIERR_NONE) return r;
  r = m->AddTag(tag, keyExpr, forExpr, records);
  DBIResult c = m->Close();
  if (r != DBIERR_NONE) {
    platform::RemoveFile(path);
    return r;
  }
  return c;
}

// ---- direct reader -----------------------------------------------------------------------

std::uint32_t CountTagEntries(const std::string& mdxPath, int tagSeqNo, int mode, std::string_view key,
                              std::uint32_t* recno) {
  *recno = 0;
  if (tagSeqNo < 1 || tagSeqNo > kMdxMaxTags || (mode != 1 && mode != 2)) return 0;
  const int fd = ::open(platform::DiskPath(mdxPath).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  struct Closer {
    int fd;
    bool locked;
    ~Closer() {
      if (locked) UnlockByte(fd);
      ::close(fd);
    }
  } closer{fd, LockByte(fd, F_RDLCK) == LockOutcome::kGranted};
  if (!closer.locked) return 0;  // an index held too long by another station reads as unreadable
  struct stat st {};
  if (::fstat(fd, &st) != 0) return 0;
  const std::uint64_t size = static_cast<std::uint64_t>(st.st_size);
  // The file header with the whole tag table.
  std::uint8_t head[kHeaderLength] = {};
  const std::uint32_t entryAt = kTagTable + kTagEntry * static_cast<std::uint32_t>(tagSeqNo);
  if (size < entryAt + kTagEntry) return 0;
  if (ReadExact(fd, head, std::min<std::uint64_t>(size, kHeaderLength), 0) != DBIERR_NONE) return 0;
  auto valid = [size](std::uint32_t block) {
    return block >= 1 && static_cast<std::uint64_t>(block) * kBlock + kPage <= size;
  };
  const std::uint32_t tagHeader = Get32(head + entryAt + mdx_tag_entry::kHeaderBlock);
  if (!valid(tagHeader)) return 0;
  std::uint8_t th[kPage];
  if (ReadExact(fd, th, kPage, static_cast<off_t>(tagHeader) * kBlock) != DBIERR_NONE) return 0;
  const std::uint32_t keyLength = Get16(th + mdx_tag_header::kKeyLength);
  if (keyLength == 0 || keyLength > kPage - 16) return 0;
  const std::uint32_t itemLength = (keyLength + 3) / 4 * 4 + 4;
  const std::uint32_t maxItems = (kPage - 12) / itemLength;
  std::string_view k = key;
  if (k.size() >= keyLength) k = k.substr(0, keyLength - 1);
  const std::uint32_t root = Get32(th + mdx_tag_header::kRoot);
  const std::uint32_t firstLeaf = Get32(th + kFirstLeafAt);
  // Levels: descend along the first entries until the first leaf.
  struct Level {
    std::uint32_t count = 0;
    std::uint32_t pos = 0;
    std::uint8_t page[kPage];
  };
  std::vector<std::unique_ptr<Level>> levels;
  std::uint32_t block = root;
  for (;;) {
    if (levels.size() >= static_cast<std::size_t>(kMaxLevels) || !valid(block)) return 0;
    auto l = std::make_unique<Level>();
    if (ReadExact(fd, l->page, kPage, static_cast<off_t>(block) * kBlock) != DBIERR_NONE) return 0;
    l->count = Get32(l->page + mdx_node::kKeyCount);
    if (l->count > maxItems) return 0;
    const bool leaf = block == firstLeaf;
    const std::uint32_t child = Get32(l->page + kItemsAt);
    levels.push_back(std::move(l));
    if (leaf) break;
    block = child;
  }
  const std::size_t depth = levels.size();
  std::uint64_t budget = size / kPage + 1;  // no walk reads more pages than the file holds
  std::uint32_t count = 0;
  std::uint32_t found = 0;
  bool matched = false;
  std::size_t lvl = depth - 1;
  // levels[0..depth-1] hold the path to the first leaf, each at position 0.
  for (;;) {
    Level& cur = *levels[lvl];
    if (lvl == depth - 1) {
      for (; cur.pos < cur.count; ++cur.pos) {
        const std::uint8_t* item = cur.page + kItemsAt + cur.pos * itemLength;
        const bool match = std::memcmp(item + 4, k.data(), k.size()) == 0;
        if (mode == 1) {
          if (match) {
            ++count;
            found = Get32(item);
            matched = true;
          } else if (matched && depth > 1) {
            *recno = found;
            return count;
          }
        } else {
          ++count;
          if (match) {
            *recno = Get32(item);
            return count;
          }
        }
      }
      if (lvl == 0) break;
      --lvl;
      ++levels[lvl]->pos;
      continue;
    }
    if (cur.pos > cur.count) {
      if (lvl == 0) break;
      --lvl;
      ++levels[lvl]->pos;
      continue;
    }
    const std::uint32_t child = Get32(cur.page + kItemsAt + cur.pos * itemLength);
    if (budget-- == 0 || !valid(child)) return 0;
    Level& below = *levels[lvl + 1];
    if (ReadExact(fd, below.page, kPage, static_cast<off_t>(child) * kBlock) != DBIERR_NONE) return 0;
    below.count = Get32(below.page + mdx_node::kKeyCount);
    below.pos = 0;
    if (below.count > maxItems) return 0;
    ++lvl;
  }
  *recno = mode == 1 ? found : 0;
  return count;
}

bool ReadMdxTableName(const std::string& mdxPath, std::string* name) {
  const int fd = ::open(platform::DiskPath(mdxPath).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  std::uint8_t h[mdx_header::kTableName + mdx_header::kTableNameLength];
  const DBIResult r = ReadExact(fd, h, sizeof h, 0);
  ::close(fd);
  if (r != DBIERR_NONE) return false;
  const std::uint8_t* stored = h + mdx_header::kTableName;
  std::size_t n = 0;
  while (n < mdx_header::kTableNameLength && stored[n] != 0) ++n;
  name->assign(reinterpret_cast<const char*>(stored), n);
  while (!name->empty() && name->back() == ' ') name->pop_back();
  return true;
}

}  // namespace dbase
