// The insides of an index object (Mdx::Impl), shared by the files that make it up:
// mdx_pages.cpp (the object, its transactions and update mark, the page cache, opening and
// closing), mdx_search.cpp (keys, descents, walks and the read calls), mdx_update.cpp (entries
// added and removed as records change), mdx_build.cpp (tags built from sorted records, the tag
// table) and mdx_reader.cpp (the direct page reader). dBASE IV multiple-index files: B-tree
// pages of 1024 bytes, tags built by sorting then writing pages in order, kept current on
// every record write, shared between processes under an open-file-description lock and a
// change counter (see mdx.h).
#pragma once

#include "engine_users.h"

#include <sys/mman.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstring>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "expr.h"
#include "file_layout.h"
#include "fileio.h"
#include "mdx.h"
#include "weights.h"

namespace dbase {

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
constexpr std::size_t kCachePages = 8192;  // 8 MB per open index

// errno of a failed read or write as an engine code.
DBIResult ErrnoResult(int err);
// Reads exactly n bytes at off; the end of the file first is damage (DBIERR_INDEXCORRUPT).
DBIResult ReadExact(int fd, void* buf, std::size_t n, off_t off);
// Writes n bytes at off, after the test hook of fileio.h.
DBIResult WriteExact(int fd, const void* buf, std::size_t n, off_t off);
// Writes parts that follow each other in the file from `off`, in one call where it can.
DBIResult WriteExactV(int fd, const iovec* parts, int count, off_t off);
// The update lock (kMdxLockByte), waited for within the bound of fileio.h.
LockOutcome LockByte(int fd, short type);
void UnlockByte(int fd);
// The journal of the index file `mdxPath`'s update in progress: the index's name + ".journal".
std::string IndexJournalPath(const std::string& mdxPath);
// True when an index holding `mark` may have an update's journal beside it (a mark of a shared
// update, not the plain one).
bool IndexMarkHasJournal(std::uint32_t mark);
// Puts back the update a writer that is gone left in the index file (its journal found, the
// index marked): under the write lock taken on a descriptor of its own, for a station that
// holds no lock on the file. *done when something was put back.
DBIResult PutBackLeftIndexUpdate(const std::string& mdxPath, bool* done);
// A tag name as stored: upper-case, at most 10 characters, no trailing blanks.
std::string UpperName(std::string_view s);

inline std::uint16_t ItemLength(std::uint16_t keyLength) {
  return static_cast<std::uint16_t>((keyLength + 3) / 4 * 4 + 4);
}
inline std::uint16_t MaxKeys(std::uint16_t itemLength) {
  return static_cast<std::uint16_t>((kPage - 12) / itemLength);
}

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
  // (roots, upper nodes, the leaves being filled) are found without hashing. A slot that
  // leaves the cache takes its entry (or, trimmed with many others, all of them) with it.
  struct FrontEntry {
    std::uint32_t block = 0;
    Slot* slot = nullptr;
  };
  static constexpr std::size_t kFrontSize = 4096;
  std::array<FrontEntry, kFrontSize> front{};
  std::vector<PathStep> insertPath;  // reused by Insert: no allocation per entry
  std::vector<PathStep> edgePath;    // reused by EntryChild's look at a child's last entry
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
  // What a shared update writes over in the file (the header, nodes, the freed pages' links):
  // each place's bytes as the file held them before, the header's first, taken from the pages
  // the update read to change them. They go to the update's journal beside the index before the
  // first write they cover, so that an update that fails, or whose writer dies, is put back (its
  // pages, its header, the pages it added cut off) by itself or by the next station that takes
  // the lock. The index is then as the update found it.
  // Each place's bytes are in `journal` at [from, from + n), behind their record's head.
  struct Before {
    off_t at;
    std::uint32_t from;
    std::uint32_t n;
  };
  std::vector<Before> before;
  // The journal of the current update as it goes to the file: its head, then one record per
  // place of `before`; the first `journalWritten` bytes are in the file (0: none yet).
  std::vector<std::uint8_t> journal;
  std::size_t journalSize = 0;     // the bytes of `journal` that are the update's
  std::size_t journalWritten = 0;
  std::size_t journalPeak = 0;     // the most the file held of the updates under the lock now
  std::unordered_set<off_t> kept;  // places of `before` past the first few, looked up by hash
  std::size_t keptUpTo = 0;        // how many of `before` `kept` holds
  // The journal file, opened by the first update of the object and kept open until it closes;
  // the index file's device and inode, written in its head.
  int journalFd = -1;
  std::uint64_t fileDev = 0, fileIno = 0;
  // The mark the update writes in the file, its journal's too: an update of a writer that is
  // gone is found by its journal holding the mark the file holds. 1 for a mark with no journal.
  std::uint32_t nonce = 1;
  std::uint32_t fileMark = 0;    // the mark as the file held it when last read
  bool spanning = false;         // begun through BeginUpdate: the caller's own writes may stand
  std::uint32_t txnCounter = 0;  // the file's change counter when the update began
  bool lenient = false;      // opened to be rebuilt: pages counted past the end are let go
  KeyOrder keyOrder = KeyOrder::kWeights;  // of character keys

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
  // The memo of one block forgotten (its slot leaves the cache).
  void ForgetFront(std::uint32_t block) {
    FrontEntry& f = front[(block / kBlocksPerPage) % kFrontSize];
    if (f.block == block) f = FrontEntry{};
  }

  void ClearCache() {
    ForgetFront();
    cache.clear();
  }

  void CloseFile() {
    if (headMap != nullptr) ::munmap(const_cast<std::uint8_t*>(headMap), kBlock);
    headMap = nullptr;
    if (fd >= 0) ::close(fd);
    fd = -1;
    if (journalFd >= 0) ::close(journalFd);
    journalFd = -1;
  }

  // The change counter as the file holds it now, from the mapping.
  std::uint32_t MappedCounter() const { return MappedWord(kCounterAt); }
  // The four bytes at `at` of the file's first block, from the mapping.
  std::uint32_t MappedWord(std::size_t at) const {
    std::uint8_t c[4];
    for (int i = 0; i < 4; ++i) c[i] = __atomic_load_n(headMap + at + i, __ATOMIC_ACQUIRE);
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
  DBIResult Begin(bool write);

  // Sets the update mark in the file (once per update, or once until the write-back of an
  // exclusive object).
  DBIResult Mark();

  // Every write of pages goes through here: the mark first.
  DBIResult WriteMarked(const void* buf, std::size_t n, off_t off);

  // Keeps the bytes of a page a shared update is about to change, as read (`p`, before the
  // change), once per update; nothing for a page past those the header counts (cut off again).
  void WillChange(std::uint32_t block, const std::uint8_t* p);
  // Reads and keeps the file's bytes at [off, off + n) that the update is about to write over:
  // only for a place the update did not read itself (a freed page not held, the tag table).
  DBIResult KeepBefore(off_t off, std::size_t n);
  // True when `before` holds the place at `at`.
  bool Kept(off_t at);
  // Appends a place's bytes before to `before` and to the journal.
  void AddBefore(off_t at, const std::uint8_t* bytes, std::size_t n);
  // Starts what the update (or its part past a header written) keeps: a mark of its own, and the
  // header as the file holds it now, the first thing it would put back.
  void StartBefore();
  // Opens the journal file, for the first update of the object.
  DBIResult OpenJournal();
  // Writes to the journal what `before` holds that it does not yet: before any write of the
  // index that those bytes cover.
  DBIResult JournalPending();
  // Puts back what the failed update wrote over, cuts off the pages it added and clears its mark;
  // when the disk refuses, the journal holds it for the next station that takes the lock, told
  // that the caller took back its own writes. Under the update lock.
  DBIResult PutBack();
  // The update of a writer that is gone, found by its journal (the file holding its mark and the
  // counter it began with): put back, under the write lock (or the table alone). *done when it was.
  DBIResult PutBackLeftUpdate(bool* done);

  // The file's length now (0 when it cannot be read).
  off_t FileLength() const;
  // Cuts off what a failed build or rebuild wrote past `size`, the file's length when it
  // began: pages no header counts, left by a full disk.
  void CutBack(off_t size);

  // Writes what the transaction changed (shared mode), raises the counter, unlocks.
  DBIResult End(bool commit);

  // Writes the changed pages, then the header, which clears the mark (nothing at all when
  // an exclusive object is stale).
  DBIResult WriteBack();

  // Stamped by every update: converted again only when the second changes.
  static void StampDate(std::uint8_t* p);

  void Trim();

  DBIResult Sync();

  DBIResult Reload();

  static std::string CString(const std::uint8_t* p, std::size_t max);

  void ParseExpressions(TagState* t);

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
  std::uint8_t* NewPage(std::uint32_t* block, DBIResult* err);

  DBIResult AllocBlock(std::uint32_t* block);

  // Puts a page on the free list (its first word 0, then the next free page).
  DBIResult FreeBlock(std::uint32_t block);

  // Reads a page bypassing the cache (dirty cached pages still win).
  DBIResult ReadPage(std::uint32_t block, std::uint8_t* out);

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
        if (keyOrder == KeyOrder::kBytes) return std::memcmp(a, b, n);
        return CompareWeighted(reinterpret_cast<const char*>(a), reinterpret_cast<const char*>(b), n);
    }
  }

  // Key and inclusion of a record; false when the tag's expressions are unusable.
  bool MakeKey(const TagState& t, const std::uint8_t* rec, std::uint8_t* key, bool* included) const;

  // Search key of a seek text: character keys cut to the key length; numbers and dates
  // converted to their stored form.
  std::string SearchKey(const TagState& t, std::string_view text) const;

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
  DBIResult CheckNodeOrder(const TagState& t, std::uint32_t block, std::uint8_t* p);

  // Every step of a walk moves on in key order from the entry it started from: an entry at
  // or behind it means pages out of order or met twice, reported as damage so that no walk
  // goes round for ever or back over entries.
  DBIResult StepMovesOn(const TagState& t, const std::string& fromKey, std::uint32_t fromRecno, const MdxEntry& to,
                        bool forward) const;

  // Descends to the leaf where `key` (compared over n bytes) belongs: first separator >= key.
  // path receives (block, index) per level; the leaf's index is the first item >= key.
  // `past`: to the leaf after the entries of the key (an entry whose record number follows all of
  // theirs), else to the first of them, or with `recno` (over the whole key) to the leaf of the
  // entry (key, *recno) or where it belongs: among several children that bear the key, the one
  // that holds it (EntryChild).
  DBIResult Descend(const TagState& t, const std::uint8_t* key, std::size_t n, std::vector<PathStep>* path,
                    bool past = false, const std::uint32_t* recno = nullptr);

  // The same descent from `block`, the node below the steps `path` holds already.
  DBIResult DescendFrom(const TagState& t, const std::uint8_t* key, std::size_t n, std::uint32_t block,
                        std::vector<PathStep>* path, bool past, const std::uint32_t* recno = nullptr);

  // The entries of one key may fill many pages, in record-number order, under several children of
  // an upper node that all bear that key. From the child `*index` of the node `block`, the first
  // one whose greatest entry is not below (key, recno), found by halves from each child's last
  // entry (the child after those of the key when every one of them is below), so that one entry
  // among thousands of its key is found in a few pages. A child whose last entry cannot be told
  // counts as not below: the walk along the leaves then finds the entry, as before the halving.
  DBIResult EntryChild(const TagState& t, std::uint32_t block, const std::uint8_t* key, std::uint32_t recno,
                       std::uint32_t* index);

  // Leftmost (or rightmost) descent from the node at path's last step's child.
  DBIResult DescendEdge(const TagState& t, std::uint32_t block, bool right, std::vector<PathStep>* path);

  // Moves the path to the first item of the next leaf (forward) or to the last item of the
  // previous one; *end when there is none.
  DBIResult SiblingLeaf(const TagState& t, bool forward, std::vector<PathStep>* path, bool* end);

  // Compares an item with (key, recno) over the whole key.
  int CompareEntry(const TagState& t, std::uint8_t* item, const std::uint8_t* key, std::uint32_t recno) const {
    const int c = Compare(t, item + 4, key, t.info.keyLength);
    if (c != 0) return c;
    const std::uint32_t r = Get32(item);
    return r < recno ? -1 : (r > recno ? 1 : 0);
  }

  std::uint32_t LeafLowerBound(const TagState& t, std::uint8_t* p, const std::uint8_t* key, std::uint32_t recno) const;

  // Path to the first entry >= (key, recno), descended by key and record number (unless `past`).
  // With `stopAtLeafEnd` the path may end just past the last item of a leaf (the insertion place);
  // otherwise it is moved to the next leaf and *end says there is no such entry. `past` as
  // Descend's.
  DBIResult LowerBound(const TagState& t, const std::uint8_t* key, std::uint32_t recno, bool stopAtLeafEnd,
                       std::vector<PathStep>* path, bool* end, bool past = false);

  DBIResult EntryAt(const TagState& t, const std::vector<PathStep>& path, MdxEntry* out);

  // Steps the path on to the next entry.
  DBIResult StepForward(const TagState& t, std::vector<PathStep>* path, bool* end);

  // Steps the path back to the previous entry.
  DBIResult StepBack(const TagState& t, std::vector<PathStep>* path, bool* begin);

  // Checks below `block` that every key of an upper node is the greatest key under its
  // child (an empty subtree aside); *last receives the greatest key under the block. Run
  // after a walk of the tag found it bounded and free of loops.
  DBIResult CheckSeparators(const TagState& t, std::uint32_t block, int depth, std::string* last);

  // ---- maintenance ----

  // `appended`: a record appended, numbered past every record the tag holds.
  DBIResult Insert(const TagState& t, const std::uint8_t* key, std::uint32_t recno, bool appended = false);

  // Inserts the entry at the place `path` found for it (LowerBound's, up to the leaf's end).
  DBIResult InsertAt(const TagState& t, std::vector<PathStep>& path, const std::uint8_t* key, std::uint32_t recno);

  // Inserts the entry of an appended record, the last entry inserted (if any) being no greater:
  // `finger` holds the path of that insertion, and when the new entry belongs in the same leaf
  // (the place a descent from the root would find) it is inserted there without a descent.
  // The finger is checked step by step against the pages (a split may have moved them).
  DBIResult InsertAppended(const TagState& t, const std::uint8_t* key, std::uint32_t recno,
                           std::vector<PathStep>* finger);

  // How many steps of `path` a descent for an appended record's key would take as they are
  // (from the root down, the first child whose key is above it at each node); 0 when the
  // path does not start at the root.
  std::size_t StepsHolding(const TagState& t, const std::vector<PathStep>& path, const std::uint8_t* key);

  // The entries of records appended together (numbered from firstRecno, past every record
  // the tags hold): each tag's keys sorted, then inserted in that order along one path.
  DBIResult ApplyAppended(std::uint32_t firstRecno, std::uint32_t count, const std::uint8_t* records,
                          std::uint32_t recordLength);

  // Whether a tag holds an entry of that key (any record).
  bool HasKey(const TagState& t, const std::uint8_t* key);

  // Inserts an item at path[level].index of that node. For an upper node `rightChild` is the
  // block that goes right of the item (the item's own pointer is the left part).
  DBIResult InsertInNode(const TagState& t, std::vector<PathStep>& path, std::size_t level,
                         const std::uint8_t* item, std::uint32_t rightChild);

  // Writes n items (and, for an upper node, the trailing last-child word) into a page.
  static void WriteNode(std::uint8_t* page, const std::uint8_t* items, std::uint32_t n, std::uint32_t L, bool leaf);

  DBIResult Remove(TagState& t, const std::uint8_t* key, std::uint32_t recno);

  // Keeps every key of an upper node equal to the greatest key under its child, as dBASE
  // does (a reader that trusts those keys descends to the right page): `key` is now the
  // greatest key under path[level], and the key that names that subtree (in the first node
  // above where it is not the last child) becomes it.
  DBIResult SetSeparator(const TagState& t, const std::vector<PathStep>& path, std::size_t level,
                         const std::uint8_t* key);

  // Removes the emptied node path[level] from its parent and frees it.
  DBIResult DropChild(TagState& t, std::vector<PathStep>& path, std::size_t level);

  DBIResult FixFirstLeaf(const TagState& t);

  DBIResult ApplyChange(std::uint32_t recno, const std::uint8_t* oldRec, const std::uint8_t* newRec);

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
  DBIResult WriteTree(const TagState& t, const std::vector<std::uint8_t>& items, std::size_t n, Built* out);

  // Sort form of an entry: weighted key bytes (or ordered double) then big-endian recno.
  struct Collector {
    const TagState* tag;
    std::uint32_t sortLength;      // bytes of the sortable key
    std::vector<std::uint8_t> buf; // sortLength + 4 per entry
    std::size_t n = 0;
  };

  void Collect(Collector& c, const std::uint8_t* rec, std::uint32_t recno);

  // Sorts the collected entries and turns them back into stored keys + little-endian recno.
  void Finish(Collector& c, std::vector<std::uint8_t>* items);

  // Frees every page of a tag's tree (not its header page).
  DBIResult FreeTree(const TagState& t);

  // Points the tag header at a new tree.
  DBIResult SetTree(const TagState& t, const Built& b);

  // Tag tree links of the tag table: a balanced binary tree of the tags by name.
  void LinkTags();
};

}  // namespace dbase
