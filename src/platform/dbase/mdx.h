// dBASE IV multiple-index files (.mdx): the production index of a table and the separate
// single-tag index files built on demand.
//
// File layout (all numbers little-endian; block numbers count 512-byte units, nodes are
// 1024-byte pages; the offsets are named in file_layout.h):
//   header   0 version 2, 1-3 creation date YY MM DD, 4-19 table name (NUL-padded),
//            20-21 blocks per page (2), 22-23 page length (1024), 24 production flag,
//            25 tag table slots (48), 26 tag entry length (32), 28-29 tags in use,
//            32-35 next free block at the end of the file, 36-39 first page of the free
//            list, 40-43 pages in the free list, 44-46 date of last update,
//            504-507 update mark, 508-511 change counter (ours, in bytes dBASE leaves
//            unused: see below).
//   tag table entry of tag n (n from 1) at 512 + 32 n: 0-3 tag header block, 4-14 name,
//            15 key format, 16-18 tag tree links, 20 key type ('C', 'N', 'D').
//   tag header (one page): 0-3 root block, 8 key format, 9 key type, 12-13 key length,
//            14-15 keys per page, 18-19 item length, 23 unique flag (0), 24 key expression,
//            245 FOR flag (1 when the tag has a condition), 248-251 first leaf block,
//            762 FOR condition text.
//   node page: 0-3 number of keys, 8 items of (4-byte number, key) each item length bytes
//            (key length rounded up to 4, plus 4). A leaf's number is the physical record
//            and a zero word follows its last item; an upper node's number is a child's
//            block and the word after its last key is its last child (key i is the greatest
//            key under child i, as dBASE keeps it; the last child holds the keys above).
// Keys: character keys padded with blanks, ordered through the collation weights
// (weights.h), or byte by byte in the tables of another language driver (KeyOrder); numeric keys are the 12-byte dBASE IV BCD form, date keys the 8-byte double
// of the Julian day. Equal keys are ordered by record number. Tags made here are ascending
// and not unique; a tag written by another tool may be descending (key format bit 0x08:
// keys compared the other way) or unique (bit 0x40 or byte 23: a key keeps only its first
// record), and both are kept when read, updated and rebuilt. Every page is checked for order
// when read and every step of a walk must move on: a tag in another order is damage. Deleted records keep their entries: the index knows nothing of the
// delete mark.
//
// Processes. Several processes may open the same file. Every update (record change, tag
// added or deleted, rebuild) runs under an open-file-description write lock on the byte
// kMdxLockByte of the .mdx; readers (seek, walk, count) hold a read lock on it for the
// duration of one call. An append to the table holds the update lock from before it reads
// the record count until its entries are written (BeginUpdate/EndUpdate), so the same lock
// serialises the appends of all processes. The change counter at byte 508 is raised by
// each update: an object keeps its page cache only while the counter is the one it last
// saw (read once per call or spanning update). The update mark at byte 504 is set before
// an update's first write (the caller's own writes of a spanning update included) and
// cleared by the header write that ends it; an exclusive object sets it at its first change
// and clears it when its pages are written back (one whose update was abandoned writes
// nothing more: its mark stands until Rebuild). A shared update that fails (a write the
// system refused) puts back the bytes it wrote over, cuts off the pages it added and clears
// its mark, so that the file is as the update found it. Those bytes (the header's first block,
// and each page as the update read it to change it) are written to the journal, the index's
// name + ".journal", before the update's first write into the index; the object opens the
// journal at its first update and keeps it until it closes. The update's mark, written into the
// index and into the journal's head, is its own: the update has ended when the mark is cleared.
// When the disk refuses the put-back too, or the writer dies half way, whoever next takes the
// lock and finds a mark its journal names puts the update back under the write lock before
// reading (a reader lets its read lock go for it, and refuses to read when it cannot, unless
// every place the journal names still holds its bytes before: nothing was written over); the mark
// becomes the plain one when the caller of a spanning update may have written its own part.
// Whoever finds the plain mark, or one with no journal
// to put back knows a writer died half way: reads go on (every walk is bounded and checks its
// order), writes give DBIERR_INDEXOUTOFDATE until Rebuild. A read call (seek, walk, count)
// first runs without the lock when the counter, read through a shared mapping of the file's
// first page, is the one last seen and every page it needs is cached: the pages are then
// those of the last committed update, and an update in progress (marked or not, its writer
// alive or dead) has not raised the counter yet; any page it would have to read sends the
// call back to the locked path. Under the lock, the mark and the counter are read through the
// same mapping (read from the file while a test counts the reads). On a network file system
// nothing is mapped and every call locks. Every wait on the lock is bounded (LockWaitLimitMs in fileio.h): a wait that gives
// up returns DBIERR_LOCKTIMEOUT before anything is written, and a record change takes the
// lock (and sets the mark) before it writes the record. A cursor's
// place in key order is therefore an MdxEntry (key, record number) kept by the caller, and
// every move (Next, Prior) starts again from it: another process's inserts and removals
// never leave a cursor on a stale page.
//
// Objects. An Mdx object is used from one thread. Several objects (one per cursor, say) on
// one file in one process are fine in shared mode. Exclusive mode (the table opened
// exclusively) skips the locks and writes changed pages back only at Flush/Close, so it
// requires that this object be the only one open on the file in every process.
//
// Failures come back as DBIResult codes (dbierr.h): DBIERR_INDEXCORRUPT for a damaged file
// (block number out of range, loop, bad counts, keys out of order, truncation),
// DBIERR_INDEXOUTOFDATE for an update cut short (see above), DBIERR_NOSUCHINDEX for an
// unknown tag, DBIERR_INVALIDEXPR for an expression that does not parse or a key too long,
// DBIERR_EOF / DBIERR_BOF at the ends of a walk, OS errors as dbierr.h maps them.
#pragma once

#include "engine_users.h"

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dbierr.h"
#include "field_layout.h"

namespace dbase {

constexpr std::uint32_t kMdxPageLength = 1024;   // node length reported by DbiGetIndexDesc
constexpr int kMdxMaxTags = 47;
constexpr int kMdxMaxKeyLength = 100;
constexpr off_t kMdxLockByte = 0x7FFFFFF0L;      // update lock, far past the end of the file

struct MdxTagInfo {
  std::string name;       // upper-case, at most 10 characters
  std::string keyExpr;
  std::string forExpr;    // empty when every record has an entry
  char keyType = 'C';     // 'C', 'N' or 'D'
  std::uint16_t keyLength = 0;
  int seqNo = 0;          // position in the tag table, from 1
  bool descending = false;  // written so by another tool
  bool unique = false;      // one entry per key (written so by another tool)
};

// The order of character keys: through the collation weights (weights.h) in the tables of
// our own language driver (cp1252, .dbf byte 29 = 0x57), byte by byte in a table another
// program wrote with another driver, whose tags that program reads and writes in its order.
enum class KeyOrder { kWeights, kBytes };

// One index entry: the key as stored (keyLength bytes) and the physical record number.
struct MdxEntry {
  std::string key;
  std::uint32_t recno = 0;
};

// The records of a table in physical order, for building tags.
class RecordSource {
 public:
  virtual ~RecordSource() = default;
  // Next record; false at the end. A read failure returns false with status() set.
  virtual bool Next(std::uint32_t* recno, const std::uint8_t** record) = 0;
  virtual DBIResult status() const { return DBIERR_NONE; }
  // About how many records Next will give (0 when unknown): room is made for their entries.
  virtual std::uint32_t SizeHint() const { return 0; }
};

// A tag to add: its name, key expression and condition (empty: every record).
struct MdxTagDefinition {
  std::string name;
  std::string keyExpr;
  std::string forExpr;
};

class Mdx {
 public:
  ~Mdx();  // Close()
  Mdx(const Mdx&) = delete;
  Mdx& operator=(const Mdx&) = delete;

  // Creates an empty index file (replacing one of that name) for the table `tableName`
  // (the data file's name without folder and extension), then opens it.
  // Every file is read, written and rebuilt with the order of character keys given here.
  static DBIResult Create(const std::string& path, std::string_view tableName, bool production,
                          const RecordLayout& layout, bool exclusive, std::unique_ptr<Mdx>* out,
                          KeyOrder order = KeyOrder::kWeights);
  // Opens an existing file and checks its header and tag table.
  static DBIResult Open(const std::string& path, const RecordLayout& layout, bool readOnly,
                        bool exclusive, std::unique_ptr<Mdx>* out, KeyOrder order = KeyOrder::kWeights);
  // Opens, exclusively, a file that Open refuses because its header counts pages the file
  // does not hold (a write-back cut short): its tag table must still read whole. The object
  // stands as interrupted, so only Rebuild writes to it, with new pages past the end.
  static DBIResult OpenToRebuild(const std::string& path, const RecordLayout& layout,
                                 std::unique_ptr<Mdx>* out, KeyOrder order = KeyOrder::kWeights);
  // Builds a separate index file with one tag named after the file (its name without folder
  // and extension, upper-cased, cut to 10) from the records; nothing maintains it later.
  static DBIResult CreateIndexFile(const std::string& path, std::string_view keyExpr,
                                   std::string_view forExpr, const RecordLayout& layout,
                                   RecordSource* records, KeyOrder order = KeyOrder::kWeights);

  // Writes back what exclusive mode kept and closes the file.
  DBIResult Close();
  DBIResult Flush();
  const std::string& path() const;
  bool production() const;

  // Tags as the file holds them now (re-read when another process changed the file).
  DBIResult Tags(std::vector<MdxTagInfo>* tags);
  // Tag by name (case-insensitive): DBIERR_NOSUCHINDEX when absent.
  DBIResult FindTag(std::string_view name, MdxTagInfo* info);

  // Adds a tag and fills it from every record (sort, then pages written in order).
  // An existing tag of that name is an error (DBIERR_INVALIDPARAM).
  DBIResult AddTag(std::string_view name, std::string_view keyExpr, std::string_view forExpr,
                   RecordSource* records);
  // Adds several tags, all filled in one pass over the records, as AddTag would one after the
  // other; all or none: a failure adds none of them.
  DBIResult AddTags(const std::vector<MdxTagDefinition>& tags, RecordSource* records);
  DBIResult DeleteTag(std::string_view name);
  // Empties and refills every tag from the records (after a pack or an empty, or to repair
  // an interrupted update: the old trees are then left unused rather than freed).
  DBIResult Rebuild(RecordSource* records);

  // An update spanning several calls: takes the update lock (shared mode) and makes the
  // cache current; the calls made until EndUpdate run inside it, and EndUpdate writes what
  // they changed (with the change counter raised once) and unlocks. A caller may do its own
  // writes under the lock in between (a record append serialised with the index update).
  // When an inner call fails, or commit is false, nothing of the update stays in the file. A
  // committed update raises the change counter even when no entry changed, unless
  // raiseCounter is false (a record rewrite, which raises it only when an entry moves). An
  // abandoned update whose caller already wrote its own part (callerWrote) leaves the update
  // mark (nothing of the index is put back): the index no longer matches the table.
  DBIResult BeginUpdate(bool raiseCounter = true);
  DBIResult EndUpdate(bool commit, bool callerWrote = false);
  // True when the file held the mark of an update that never finished when this object last
  // read it (at open, or at the last call that took the lock); Rebuild clears it.
  bool Interrupted() const;
  // Inside an update (shared mode), writes what it changed so far and keeps the lock, so
  // that the caller can still undo its own writes when this fails (a full disk). Pages past
  // the end of the file are written first and cut off again when one fails.
  DBIResult WritePending();
  // The change counter as this object last read or wrote it (current inside an update).
  std::uint32_t ChangeCounter() const;

  // Keeps every tag current after a record write: oldRecord is the record before the write
  // (nullptr for an append), newRecord after it (nullptr when the record disappears).
  DBIResult RecordChanged(std::uint32_t recno, const std::uint8_t* oldRecord,
                          const std::uint8_t* newRecord);
  // Same for a run of records already on disk (appended together under one lock): each
  // tag's entries are sorted and inserted in key order, from one leaf to the next without a
  // descent from the root for each.
  DBIResult RecordsAppended(std::uint32_t firstRecno, std::uint32_t count,
                            const std::uint8_t* records, std::uint32_t recordLength);

  // The key a record has in a tag; *included false when the tag's condition excludes it.
  // A tag this object already knows is used as known, without reading the file.
  DBIResult KeyOf(std::string_view tag, const std::uint8_t* record, std::string* key,
                  bool* included);

  // Walks. First/Last give DBIERR_EOF/DBIERR_BOF on an empty tag; Next/Prior start from an
  // entry (present or not) and give the neighbour after/before it in key order; one that is
  // not strictly after/before it is damage (DBIERR_INDEXCORRUPT), so no walk loops.
  DBIResult First(std::string_view tag, MdxEntry* out);
  DBIResult Last(std::string_view tag, MdxEntry* out);
  DBIResult Next(std::string_view tag, const MdxEntry& from, MdxEntry* out);
  DBIResult Prior(std::string_view tag, const MdxEntry& from, MdxEntry* out);
  // First entry whose key begins with `key` (compared over key.size() bytes, cut to the key
  // length): *found true. Otherwise the first entry after where it would be (*found false),
  // or DBIERR_EOF when there is none. Numeric tags take the number as text, date tags the
  // date as YYYYMMDD; both compare whole keys.
  DBIResult Seek(std::string_view tag, std::string_view key, MdxEntry* out, bool* found);
  // Number of entries of a tag.
  DBIResult Count(std::string_view tag, std::uint64_t* count);
  // Walks a tag's tree and checks its order and structure, every key of an upper node being
  // the greatest key under its child (tests, repair decisions).
  DBIResult Check(std::string_view tag);
  // Cheap look at every tag's order: its root, its edge pages and its first and last
  // entries must be in the order this engine seeks by. DBIERR_INDEXCORRUPT for a tag that
  // another tool wrote in another order (it would be misread), to be rebuilt.
  DBIResult CheckOrder();
  // Whether every tag's key and condition can be computed: DBIERR_INVALIDEXPR otherwise,
  // before a record is written, so that a change the index cannot follow writes nothing.
  DBIResult CheckMaintainable();

  struct Impl;

 private:
  Mdx();
  std::unique_ptr<Impl> impl_;
};

// Reads a tag's pages directly, as the table layer's CountIndexEntries does: tagSeqNo from 1;
// mode 1 counts the entries whose key begins with `key` (the last one's record in *recno),
// mode 2 gives the 1-based position of the first such entry (its record in *recno) or the
// number of entries read when none begins with it. `key` is cut to key length - 1 when it
// is not shorter than the key length. A damaged or unreadable file gives 0 (*recno 0); every
// block number is checked against the file size and the depth is bounded.
std::uint32_t CountTagEntries(const std::string& mdxPath, int tagSeqNo, int mode,
                              std::string_view key, std::uint32_t* recno);

// Name of the table an index file was made for (header bytes 4-19, NULs dropped); false
// when the file cannot be read.
bool ReadMdxTableName(const std::string& mdxPath, std::string* name);

// dBASE IV numeric key (12 bytes) of a number, and back.
void NumberToBcdKey(double value, std::uint8_t out[12]);
double BcdKeyToNumber(const std::uint8_t key[12]);

// How the read calls of shared indexes went, for a test that watches (null in the program): read
// calls answered without the lock from the pages held, and those taken again under the lock
// because such a read met a page not held or the file changed meanwhile.
struct MdxReadWays {
  long withoutLock = 0;
  long lockedAfterAll = 0;
};
extern MdxReadWays* mdxReadWays;

}  // namespace dbase
