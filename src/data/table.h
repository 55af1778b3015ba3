// One open dossier table: its engine cursor, its current record and its field descriptors,
// with the navigation, field, memo and record operations every window and run uses.
//
// Records are addressed by physical record number; soft-deleted records stay visible (first
// record byte "*") until a pack. Field numbers are 1-based. Text is cp1252.
//
// Conventions of every operation: the engine's code is kept in `result` (table_results.h names
// those callers test); a failed move sets `bof` and/or `eof` and `recordNumber` 0. Programming
// errors (wrong field number or type, a move to record 0, a seek on a closed table) beep and show
// a plain box whose caption is the error number (error_report.h); they return false, "" or 0 and
// change nothing.
//
// Borrowed results: GetField texts live in the FieldRing (valid for 15 further field reads),
// keys and record texts in PathBuffer, GetMemo texts in MemoBuffer (session.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "lookup.h"

// The engine's part of an open table (its cursor and descriptors), defined for the data layer's
// own files in data/table_internal.h.
struct TableEngine;

// Where a field stands in a record as stored and how it is declared.
struct FieldLayout {
  std::uint16_t offset = 0;   // from the record's first byte, the delete mark
  std::int16_t width = 0;     // declared width
  std::int16_t decimals = 0;  // declared decimals
};

class Table {
 public:
  Table();
  ~Table();
  Table(const Table&) = delete;
  Table& operator=(const Table&) = delete;

  // ---- open and close
  // Close the table, then open the data file (".dbf" optional) with a tag (empty = natural
  // order) alone (refused while any other cursor, here or on another station, has it open; no
  // record locks needed) or shared, read-write or read-only, on its first record. The file name
  // is lower-cased (folders keep their case) and found without case in its folder. A failure
  // keeps the engine code in `result` and shows nothing.
  bool OpenExclusive(std::string_view path, std::string_view tag = "", bool readOnly = false);
  bool OpenShared(std::string_view path, std::string_view tag = "", bool readOnly = false);
  // For a table that other windows of the program may hold open (the dossier's tables): open
  // shared as OpenShared does, unless it is open on that file already; then its cursor stays,
  // with its record locks, and only its order changes to `tag` (as SetOrder does).
  bool UseShared(std::string_view path, std::string_view tag = "");
  // True when closed already or when the engine closed the cursor; resetModes puts
  // openMode and shareMode back to 0.
  bool CloseTable(bool resetModes = true);

  // ---- navigation
  bool GoTop(std::string_view tag = "");
  bool GoBottom(std::string_view tag = "");
  [[deprecated("answers false for a refused read as for no record: use GoToRecord")]]
  bool GoTo(long recno);                  // 10500 for 0 or below
  bool Skip(long n);                      // true when neither BOF nor EOF
  bool SkipActive(bool stepFirst);        // to the next live record; true when not EOF
  // Next live record whose field text occurs inside `text` ("WY" finds kind W or Y).
  bool LocateText(int field, const char* text, bool stepFirst);
  // Next live record (from the current one) whose fields 1 and 2 joined begin with text.
  bool LocateKeyPrefix(const char* text);
  // First record of the tag whose key begins with the four parts joined; all empty: true,
  // no move. 12400 on a closed table.
  [[deprecated("answers false for a refused read as for no record: use Find")]]
  bool Seek(std::string_view tag, const char* k1, const char* k2 = "", const char* k3 = "",
            const char* k4 = "");
  // First record of the tag whose key is not below the four parts joined (the engine's
  // greater-or-equal search): EOF only past the last key. The caller checks the record with
  // MatchKey where it needs a match. All empty: true, no move. 12400 on a closed table.
  [[deprecated("answers false for a refused read as for no record: use FindNotBelow")]]
  bool SeekNotBelow(std::string_view tag, const char* k1, const char* k2 = "", const char* k3 = "",
                    const char* k4 = "");
  // The same look-ups answered found, not found or refused (lookup.h), never a bare false: not found is
  // a key no entry begins with (or, not below, past the last key) and a record number past the last
  // record; refused is anything else that kept the look-up from knowing (a read the system refused, a
  // damaged index, an order that could not be set, a closed table). Moves as Seek, SeekNotBelow, GoTo.
  Lookup Find(std::string_view tag, const char* k1, const char* k2 = "", const char* k3 = "",
              const char* k4 = "");
  Lookup FindNotBelow(std::string_view tag, const char* k1, const char* k2 = "", const char* k3 = "",
                      const char* k4 = "");
  Lookup GoToRecord(long recno);
  bool SetOrder(std::string_view tag);  // engine failure reported with context 2301
  // "E" at EOF, "B" at BOF, "?" for length 0, "#" when the joined fields differ from the
  // key over `length`, "O" live, "o" deleted (also when the mark could not be read).
  [[deprecated("answers cancelled for a record whose mark could not be read: use MatchRecordKey")]]
  char MatchKey(const char* key, int length, int f1, int f2 = 0, int f3 = 0, int f4 = 0, int f5 = 0,
                int f6 = 0);
  // The fields f1 .. f6 joined, compared with `key` over `length`; when they hold it, the record read
  // again for its delete mark: live, cancelled, or refused when the system refused that read (KeyMatch).
  [[nodiscard]] KeyMatch MatchRecordKey(const char* key, int length, int f1, int f2 = 0, int f3 = 0, int f4 = 0,
                                        int f5 = 0, int f6 = 0);
  std::uint32_t RecCount();
  std::uint32_t RecNo();
  [[deprecated("answers true for a record that could not be read as for a cancelled one: use LiveHere")]]
  bool IsDeleted();  // true also when the record cannot be read
  // The current record read again for its delete mark: found when live, not found when cancelled (or
  // when there is no current record), refused when it cannot be read (where IsDeleted says "deleted").
  [[nodiscard]] Lookup LiveHere();

  // ---- fields
  const char* GetField(int field);  // C padded to width, N formatted; 11500 for other types
  double GetFieldNum(int field);    // 11700 for a type other than N
  bool PutField(int field, const char* text);  // 11600 for a type other than C and N
  bool PutFieldNum(int field, double value);   // 11800 for a type other than N
  bool PutFieldPart(int field, int position, int length, const char* text);
  // Record text for the lock notice: fields k, k-1 ... 1 joined, in PathBuffer.
  const char* RecordToText(int k);

  // ---- memo fields
  // At most `maximum` (capped at 32,768) bytes, cut at the first byte 26, in MemoBuffer;
  // 11900 for a type other than M.
  const char* GetMemo(int field, int maximum = 32768);
  // The whole memo, every byte kept (copies of records and tables use it).
  bool GetMemoText(int field, std::string& text);
  // Writes a memo; null text is error 2001, a non-memo field 2002. While appending, the memo
  // goes with the record being appended (written by InsertRecord); otherwise it is written
  // to the current record at once.
  bool PutMemo(int field, const char* text);
  bool PutMemoText(int field, std::string_view text);

  // ---- records
  bool AppendBlank();   // blank record in the buffer; appending until InsertRecord
  // Drops the record being built since AppendBlank, memos included: nothing is written, and the
  // buffer holds the current record again.
  void DropAppend();
  // 9475/9218 reported with context 2201, 9217 with 2202. Once inserted, the new record is read
  // back as the current one; a read-back refused leaves recordNumber 0 (the insert still true).
  bool InsertRecord();
  // For runs that append many records: the record filled since AppendBlank joins a queue
  // (marked deleted when asked) instead of being inserted, and AppendQueued writes the queue
  // with one engine call (errors reported with context 2201); `first`, when given, gets the
  // number of its first record. A shared table is held against the other stations' appends
  // for the call only.
  void QueueRecord(bool deleted);
  bool AppendQueued(std::uint32_t* first = nullptr);
  void DropQueued() {
    queued_.clear();
    queuedCount_ = 0;
  }
  std::uint32_t QueuedCount() const { return queuedCount_; }
  // Soft-delete / recall the current record under LockRecord(text, lockMode) (released
  // afterwards when lockMode is not 0). False for a record already in that state.
  bool DeleteRecord(const char* text, int lockMode);
  bool RecallRecord(const char* text, int lockMode);
  // A record rewritten whole: after BeginRewrite the field and memo writes of the current record
  // only fill its buffer (as while appending); EndRewrite(true) then writes the record with its
  // memos in one engine call, so that no other station and no crash sees it half rewritten.
  // EndRewrite(false) drops what was filled and reads the record again. True when the record was written.
  void BeginRewrite();
  bool EndRewrite(bool write);
  bool Commit();  // context 2010
  bool Pack();    // needs the table opened exclusively
  bool Zap();
  bool CopyTable(const char* destination);  // read-only and exclusive only (13200); context 3201
  bool IsLockedByMe();

  // ---- creation lock
  // Held around a look-up and the insert it decides (a new code, a missing account created
  // while posting), never while a form is open: another station waits for it meanwhile.
  bool LockForCreate();
  bool UnlockForCreate();

  // ---- descriptors
  int FieldCount() const { return isOpen ? static_cast<int>(layouts_.size()) : 0; }
  const char* FieldName(int field);          // 12900 for 0, 12901 above the count
  int FieldPos(std::string_view name) const;  // 0 when absent; first 10 characters, no case
  char FieldType(int field);                  // C, D, N, M or U; 12902 for 0
  int FieldWidth(int field);                  // 12903 for 0
  int FieldDecimals(int field);               // 12904 for 0
  // Where fields 1 .. FieldCount() stand in a record as stored (recordBuffer, a record of
  // ScanRecords): field 1 first; empty while closed, filled anew at each opening.
  const std::vector<FieldLayout>& Layouts() const { return layouts_; }
  const FieldLayout& Layout(int field) const { return layouts_[static_cast<std::size_t>(field - 1)]; }
  std::size_t RecordLength() const { return recordLength_; }  // delete mark included; 0 while closed
  bool RecordDeleted() const;  // delete mark of the record the last move, lock or append read

  // Share modes of `shareMode`.
  static constexpr std::uint32_t kShared = 0;
  static constexpr std::uint32_t kExclusive = 1;

  // ---- state, read by other layers
  std::uint16_t result = 0;        // code of the last engine call (0 = success)
  std::uint8_t isOpen = 0;
  std::uint8_t bof = 1;
  std::uint8_t eof = 1;
  std::uint32_t recordNumber = 0;  // physical number of the current record, 0 = none
  std::string tablePath;           // lower-case file name, ending in ".dbf"
  std::string indexPath;           // same with ".mdx"; empty when opened without a tag
  std::string tag;                 // current tag, upper-case, at most 10; empty = natural
  std::vector<std::uint8_t> recordBuffer;  // record size + 1; byte 0 the delete mark
  std::uint8_t buffersAllocated = 0;
  std::uint32_t openMode = 0;      // 0 read-write, 1 read-only (as last opened)
  std::uint32_t shareMode = 0;     // kShared or kExclusive (no record locks; as opened or switched)
  bool blank = false;              // last field read was empty
  std::uint8_t appending = 0;      // between AppendBlank and InsertRecord (1), or a rewrite's ends (2)

  // The engine's part, for the data layer's own files (data/table_internal.h).
  TableEngine& Engine() const { return *engine_; }

 private:
  bool OpenTable(std::string_view path, std::string_view tag, std::uint32_t share, std::uint32_t mode);
  std::uint8_t* Buffer() { return recordBuffer.data(); }
  bool ValidField(int field) const { return isOpen && field >= 1 && static_cast<std::size_t>(field) <= layouts_.size(); }
  char TypeOf(int field) const;  // type letter without any message
  Lookup SeekKey(std::string_view tag, bool notBelow, const char* k1, const char* k2, const char* k3, const char* k4);
  bool ReadCurrent(std::uint16_t rc);  // after a move: record number or BOF/EOF
  void NoRecord();
  bool StepForward();  // next record into the buffer; EOF sets eof
  void FreeAppendBlobs();
  bool WriteMemo(int field, std::string_view text);

  TableEngine* const engine_;               // made with the table, freed with it
  std::vector<FieldLayout> layouts_;
  std::size_t recordLength_ = 0;
  std::vector<std::uint16_t> appendBlobs_;  // memo fields written while appending
  std::vector<std::uint8_t> queued_;        // records waiting for AppendQueued
  std::uint32_t queuedCount_ = 0;
};

// Holds a table's creation lock for a scope (see Table::LockForCreate).
class CreationLock {
 public:
  explicit CreationLock(Table& table) : table_(table), held_(table.LockForCreate()) {}
  ~CreationLock() {
    if (held_) table_.UnlockForCreate();
  }
  CreationLock(const CreationLock&) = delete;
  CreationLock& operator=(const CreationLock&) = delete;
  bool held() const { return held_; }

 private:
  Table& table_;
  bool held_;
};

// Letter of a logical field type: 1 "C", 2 "D", 7 "N", 3 "M", any other "U".
char FieldTypeLetter(std::uint16_t logicalType);

// Record locks (locks.cpp). text null = silent, "" = ask once, retry != 0 = wait. A record that
// cannot be read under its lock (the system refused the read) is no record held: that is said in a
// box naming the file (kept by a run's watch), whatever the mode, and no lock is kept for it.
bool LockRecord(Table& table, const char* text, int retry);
// After a LockRecord that answered false: true when the record is held (by another station or
// another window of this program), false when the lock failed for another cause (said already, the
// engine's code in table.result). A caller says "held" only then.
bool LockHeldElsewhere(const Table& table);

// Who stopped one silent try at the write lock of the current record: none (taken, or held already
// by this cursor), another station, another cursor of this program (another of its windows), or
// a failure of the engine that is no lock (table.result says which).
enum class RecordLockRefusal { kNone, kOtherStation, kThisStation, kFailed };
RecordLockRefusal TryLockRecord(Table& table);
bool UnlockRecord(Table& table);

// The record the record text editor holds write-locked (null table = none).
struct EditorLockPair {
  Table* table = nullptr;
  std::uint32_t record = 0;
};
extern EditorLockPair EditorLock;

// Set between AppendBlank and InsertRecord of any table: list refreshes wait.
extern bool AppendInProgress;
