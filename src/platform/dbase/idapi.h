// The engine's call layer: one function per engine call that the table layer makes, with the
// same verbs and result codes (dbierr.h). Everything is single-threaded; several cursors may
// be open on one table in one process, each with its own open file description, position,
// order, record locks and memo buffers.
//
// Record buffers are the records as the data file holds them: byte 0 is the delete mark
// ('*' deleted, blank live), fields follow in declaration order. CURProps::iRecBufSize is
// that length.
//
// Processes: a shared open read-locks a sentinel byte of the data file and an exclusive open
// write-locks it, so an exclusive open fails (DBIERR_TABLEINUSE) while any other cursor or
// process has the table, and a shared open fails while another holds it exclusively. Record
// locks are write locks on one byte per record (DBIERR_LOCKED when another cursor holds it).
// Appends are serialised on their own lock byte; the record is written before the header
// count. Reads always go to the file, so a record written elsewhere is seen at once. An
// append that cannot write all of its parts (a full disk: DBIERR_DISKFULL, whose text names
// the folder) takes back its record and count; a record left past the count by a process
// killed half-way is cut off by the next exclusive open.
#pragma once

#include "engine_users.h"

#include <cstdint>
#include <string>
#include <vector>

#include "dbierr.h"

namespace dbase {

struct DbiDatabase;
struct DbiCursor;
using hDBIDb = DbiDatabase*;
using hDBICur = DbiCursor*;
using hDBISes = std::uint32_t;

constexpr int kDbiMaxNameLen = 31;
constexpr int kDbiMaxPathLen = 260;
constexpr int kDbiMaxMsgLen = 127;    // DbiGetErrorString writes at most this many bytes + NUL
constexpr int kDbiMaxKeyFields = 16;
constexpr int kDbiMaxExprLen = 220;
constexpr int kDbiVersion = 100;      // engine version reported by DbiGetSysVersion (1.00)

enum DBIOpenMode : std::uint32_t { dbiREADWRITE = 0, dbiREADONLY = 1 };
enum DBIShareMode : std::uint32_t { dbiOPENSHARED = 0, dbiOPENEXCL = 1 };
enum DBILockType : std::uint32_t { dbiNOLOCK = 0, dbiREADLOCK = 1, dbiWRITELOCK = 2 };
enum XLTMode : std::uint32_t { xltNONE = 0, xltFIELD = 2 };
enum DBISearchCond : std::uint32_t { keySEARCHEQ = 0, keySEARCHGT = 1, keySEARCHGEQ = 2 };

// Cursor properties for DbiSetProp / DbiGetProp.
constexpr std::uint32_t curXLTMODE = 0x00050005;       // XLTMode of field reads and descriptors
constexpr std::uint32_t curSOFTDELETEON = 0x00050009;  // 1: deleted records stay visible

// Logical field types (field translation on).
constexpr std::uint16_t fldUNKNOWN = 0;
constexpr std::uint16_t fldZSTRING = 1;  // C: NUL-ended text, trailing blanks dropped
constexpr std::uint16_t fldDATE = 2;     // D: std::int32_t Julian day number (0 = blank)
constexpr std::uint16_t fldBLOB = 3;     // M: read through the memo calls
constexpr std::uint16_t fldBOOL = 4;     // L: std::int16_t 1 or 0
constexpr std::uint16_t fldFLOAT = 7;    // N, F: double

struct FLDDesc {
  std::uint16_t iFldNum = 0;
  char szName[kDbiMaxNameLen + 1] = {};
  std::uint16_t iFldType = 0;   // logical type above, or the dBASE letter without translation
  std::uint16_t iSubType = 0;
  std::int16_t iUnits1 = 0;     // width as declared
  std::int16_t iUnits2 = 0;     // decimals as declared
  std::uint16_t iOffset = 0;    // offset in the record buffer (without translation) or in a
                                // translated buffer (with translation); the record buffer is
                                // the file's layout in both cases
  std::uint16_t iLen = 0;       // bytes DbiGetField writes for this field
};

struct CURProps {
  char szName[kDbiMaxPathLen + 1] = {};
  char szTableType[kDbiMaxNameLen + 1] = {};  // "DBASE"
  std::uint16_t iFields = 0;
  std::uint16_t iRecSize = 0;       // record length in the file (delete mark included)
  std::uint16_t iRecBufSize = 0;    // record buffer length (same)
  std::uint16_t iKeySize = 0;       // key length of the current order (0 natural)
  std::uint16_t iIndexes = 0;       // tags of the production index
  std::uint16_t iLanguageDriver = 0;
  std::uint8_t iTblLevel = 4;       // dBASE level of the file
  DBIOpenMode eOpenMode = dbiREADWRITE;
  DBIShareMode eShareMode = dbiOPENSHARED;
  bool bIndexed = false;            // an order other than natural is active
  bool bSoftDeletes = true;
  bool bProductionIndex = false;
  std::uint32_t iRecords = 0;       // record count at the time of the call
};

struct RECProps {
  std::uint32_t iSeqNum = 0;
  std::uint32_t iPhyRecNum = 0;     // physical record number, from 1
  std::uint16_t iRecStatus = 0;
  bool bSeqNumChanged = false;
  bool bDeleteFlag = false;
};

struct IDXDesc {
  char szName[kDbiMaxPathLen + 1] = {};    // index file
  std::uint16_t iIndexId = 0;
  char szTagName[kDbiMaxNameLen + 1] = {};
  char szFormat[kDbiMaxNameLen + 1] = {};
  bool bPrimary = false;
  bool bUnique = false;
  bool bDescending = false;
  bool bMaintained = true;
  bool bSubset = false;
  bool bExpIdx = true;
  std::uint16_t iCost = 0;
  std::uint16_t iFldsInKey = 0;
  std::uint16_t iKeyLen = 0;
  bool bOutofDate = false;
  std::uint16_t iKeyExpType = 0;
  std::uint16_t aiKeyFld[kDbiMaxKeyFields] = {};
  char szKeyExp[kDbiMaxExprLen + 1] = {};
  char szKeyCond[kDbiMaxExprLen + 1] = {};
  bool bCaseInsensitive = false;
  std::uint16_t iBlockSize = 0;            // node length of the index file (1024)
  std::uint16_t iRestrNum = 0;
};

struct SYSConfig {
  bool bLocalShare = true;
  std::uint16_t iNetProtocol = 0;
  bool bNetShare = true;
  char szNetType[kDbiMaxNameLen + 1] = {};
  char szUserName[kDbiMaxNameLen + 1] = {};
  char szIniFile[kDbiMaxPathLen + 1] = {};
  char szLangDriver[kDbiMaxNameLen + 1] = {};
};

struct SYSVersion {
  std::uint16_t iVersion = 0;
  std::uint16_t iIntfLevel = 0;
  char szVersion[kDbiMaxNameLen + 1] = {};
};

// A field of a new table and the table itself, for DbiCreateTable.
struct FLDCreate {
  char szName[kDbiMaxNameLen + 1] = {};
  char cType = 'C';  // C, N, F, D, L, M
  std::uint16_t iWidth = 0;
  std::uint16_t iDecimals = 0;
};

// ---- session and database ----
DBIResult DbiInit(const void* env, std::uint32_t flags);
DBIResult DbiExit();
DBIResult DbiGetCurrSession(hDBISes* session);
DBIResult DbiGetSysConfig(SYSConfig* config);
DBIResult DbiGetSysVersion(SYSVersion* version);
DBIResult DbiUseIdleTime();
// The standard database: every argument may be empty; paths are taken as given.
DBIResult DbiOpenDatabase(const char* name, const char* type, DBIOpenMode openMode,
                          DBIShareMode shareMode, const char* password, std::uint16_t optFields,
                          const void* optDesc, const void* optParams, hDBIDb* db);
DBIResult DbiCloseDatabase(hDBIDb* db);

// ---- tables and cursors ----
// Opens a table (path of the .dbf; ".dbf" added when missing) with the production index when
// the header says it has one; `indexName` and `tagName` choose the first order (both empty:
// natural order). The cursor starts before the first record.
DBIResult DbiOpenTable(hDBIDb db, const char* tableName, const char* driverType,
                       const char* indexName, const char* tagName, std::uint16_t indexId,
                       DBIOpenMode openMode, DBIShareMode shareMode, XLTMode xltMode,
                       bool uniDirectional, const void* optParams, hDBICur* cursor);
DBIResult DbiCloseCursor(hDBICur* cursor);
// Turns an open cursor exclusive or shared again without letting the table go in between:
// DBIERR_TABLEINUSE while another cursor has the table open (the cursor stays shared),
// DBIERR_LOCKLOST when the table's open lock could not be taken back (close the cursor).
// The cursor goes back before the first record.
DBIResult DbiSetShareMode(hDBICur cursor, DBIShareMode shareMode);
// The bound of a wait on the engine's locks (index update, append, memo allocation), in
// milliseconds; a wait that reaches it gives DBIERR_LOCKTIMEOUT.
void DbiSetLockWait(int milliseconds);
DBIResult DbiGetCursorProps(hDBICur cursor, CURProps* props);
// Fills one descriptor per field under the cursor's current translation mode.
DBIResult DbiGetFieldDescs(hDBICur cursor, FLDDesc* descs);
DBIResult DbiSetProp(hDBICur cursor, std::uint32_t prop, std::uint32_t value);
DBIResult DbiGetProp(hDBICur cursor, std::uint32_t prop, std::uint32_t* value);
// Creates a table (replacing one of that name when `overwrite`), with a memo file when a
// field is M. No index: tags are added with DbiAddIndex.
DBIResult DbiCreateTable(hDBIDb db, const char* tableName, std::uint16_t fieldCount,
                         const FLDCreate* fields, bool overwrite);

// ---- navigation ----
DBIResult DbiSetToBegin(hDBICur cursor);
DBIResult DbiSetToEnd(hDBICur cursor);
DBIResult DbiSetToRecordNo(hDBICur cursor, std::uint32_t recno);
// Positions before the first entry of the current order whose key begins with the first
// `partialLength` bytes of `key` (0 = the whole key), or where it would be.
DBIResult DbiSetToKey(hDBICur cursor, DBISearchCond cond, bool directKey, std::uint16_t fields,
                      std::uint16_t partialLength, const void* key);
// recBuf and recProps may be null (position only, or properties only).
DBIResult DbiGetNextRecord(hDBICur cursor, DBILockType lock, std::uint8_t* recBuf, RECProps* recProps);
DBIResult DbiGetPriorRecord(hDBICur cursor, DBILockType lock, std::uint8_t* recBuf, RECProps* recProps);
// Reads the current record again; with dbiWRITELOCK it also write-locks it (10247 when this
// cursor holds the lock already, the record is read all the same).
DBIResult DbiGetRecord(hDBICur cursor, DBILockType lock, std::uint8_t* recBuf, RECProps* recProps);
DBIResult DbiGetRecordCount(hDBICur cursor, std::uint32_t* count);
DBIResult DbiRelRecordLock(hDBICur cursor, bool all);
// *locked: whether record recno is write-locked by a cursor of this process (this cursor or
// another on the same table), rather than by another station.
DBIResult DbiIsRecordLocked(hDBICur cursor, std::uint32_t recno, bool* locked);
// The table's creation lock: one lock byte beside the append lock, taken around a look-up
// and the insert it decides, so that two processes never insert the same new key. Acquiring
// waits while another cursor (of any process) holds it; 10247 when this cursor holds it
// already, 10248 on releasing one it does not hold. Nothing to do on an exclusive cursor.
DBIResult DbiAcqCreateLock(hDBICur cursor);
DBIResult DbiRelCreateLock(hDBICur cursor);

// ---- fields and records ----
DBIResult DbiGetField(hDBICur cursor, std::uint16_t field, const std::uint8_t* recBuf, void* dest,
                      bool* blank);
// A null source blanks the field.
DBIResult DbiPutField(hDBICur cursor, std::uint16_t field, std::uint8_t* recBuf, const void* src);
DBIResult DbiInitRecord(hDBICur cursor, std::uint8_t* recBuf);
DBIResult DbiInsertRecord(hDBICur cursor, DBILockType lock, std::uint8_t* recBuf);
// Appends `count` whole records (each a record buffer, delete mark first, no memo waiting)
// in one write, the count after them; the production index is maintained. A table opened
// exclusively writes its index entries at its write-back; a shared one takes the appends' lock
// of the other stations for the batch and writes its index entries once, at the batch's end.
// The cursor ends past the last record; `first` (when given) gets the first record's number.
DBIResult DbiAppendRecords(hDBICur cursor, std::uint32_t count, const std::uint8_t* records,
                           std::uint32_t* first = nullptr);
DBIResult DbiModifyRecord(hDBICur cursor, std::uint8_t* recBuf, bool freeLock);
DBIResult DbiDeleteRecord(hDBICur cursor, std::uint8_t* recBuf);
// Sets the delete mark of the records numbered in `recnos` (ascending, each within the count;
// records deleted already are left), the production index maintained, with one write per
// stretch of neighbouring records rather than one per record. Needs the table opened
// exclusively. The cursor ends before the first record.
DBIResult DbiDeleteRecords(hDBICur cursor, std::uint32_t count, const std::uint32_t* recnos);
DBIResult DbiUndeleteRecord(hDBICur cursor);
DBIResult DbiSaveChanges(hDBICur cursor);

// ---- memo fields ----
DBIResult DbiOpenBlob(hDBICur cursor, std::uint8_t* recBuf, std::uint16_t field, DBIOpenMode mode);
DBIResult DbiGetBlobSize(hDBICur cursor, std::uint8_t* recBuf, std::uint16_t field, std::uint32_t* size);
DBIResult DbiGetBlob(hDBICur cursor, std::uint8_t* recBuf, std::uint16_t field, std::uint32_t offset,
                     std::uint32_t length, void* dest, std::uint32_t* read);
DBIResult DbiPutBlob(hDBICur cursor, std::uint8_t* recBuf, std::uint16_t field, std::uint32_t offset,
                     std::uint32_t length, const void* src);
DBIResult DbiTruncateBlob(hDBICur cursor, std::uint8_t* recBuf, std::uint16_t field, std::uint32_t length);
DBIResult DbiFreeBlob(hDBICur cursor, std::uint8_t* recBuf, std::uint16_t field);

// ---- maintenance ----
// Removes the deleted records (and the memo blocks nobody uses) of a table opened
// exclusively, and rebuilds its production index. The new data, memo and index files are
// written beside the old ones as "<name>.dbf.pack", "<name>.dbt.pack", "<name>.mdx.pack" and
// renamed over them, data last; the next open of a table whose pack was cut short finishes
// the renames or drops the new files, so the table is the old one or the new one, whole.
DBIResult DbiPackTable(hDBIDb db, hDBICur cursor, const char* tableName, const char* driverType,
                       bool regenIndexes);
// Walks every tag of the table's production index and compares it with the records: each
// record its condition takes has one entry, with its key, in order. DBIERR_INDEXCORRUPT when
// a tag does not match; DBIERR_NONE for a table without index. With `rebuild`, on a cursor
// that has the table alone, tags that do not match are made again from the records and
// checked once more.
DBIResult DbiCheckIndex(hDBICur cursor, bool rebuild);
// A production index left marked by an update that never finished (a writer killed inside an
// append) has its tags rebuilt from the records, the table opened exclusively for it;
// *repaired tells whether it was. DBIERR_INDEXOUTOFDATE when a marked index could not be
// rebuilt (another cursor of any process has the table open), DBIERR_DISKFULL when its disk
// had no room for it (the folder noted for the engine's message): it then stays as it is. A table
// without a marked index is left untouched; one that does not open gives the open's code.
DBIResult DbiRepairInterruptedIndex(const char* tableName, bool* repaired);
// The same through an open cursor, as its next write would repair it: the mark read again, a
// marked index rebuilt while no other cursor of any process has the table open (this one holds
// it alone meanwhile). DBIERR_INDEXOUTOFDATE when it could not be.
DBIResult DbiRepairCursorIndex(hDBICur cursor, bool* repaired);
// Removes every record; the cursor given must be exclusive, or the table is opened
// exclusively by name for the call.
DBIResult DbiEmptyTable(hDBIDb db, hDBICur cursor, const char* tableName, const char* driverType);
// Copies the data file with its memo and production index files.
DBIResult DbiCopyTable(hDBIDb db, bool overwrite, const char* srcTableName, const char* srcDriverType,
                       const char* destTableName);

// ---- table files without a cursor ----
// Sets or clears the production-index flag of a data file (found without case). A table
// opens with its .mdx only when the flag is set: cleared, a table whose index file is gone
// or foreign opens in natural order and its tags can be built afresh.
DBIResult DbiSetProductionIndexFlag(const char* tableName, bool on);
// Deletes the production index file of a table and clears the flag. The data file must open
// read-write first and no cursor (of any process) may have the table open: otherwise nothing
// changes (DBIERR_TABLEINUSE, or the open's code).
DBIResult DbiDropProductionIndex(const char* tableName);
// DBIERR_PACKUNKNOWN when a pack cut short left files beside the table that its journal does
// not recognise (the table then does not open, and they all stay where they are, until a
// person puts the table back); DBIERR_NONE otherwise. Reads only: nothing is renamed.
DBIResult DbiCheckPackLeftovers(const char* tableName);
// The files a pack cut short left beside the table (its journal, its new files "<file>.pack"),
// those that are there, as paths. Reads only.
DBIResult DbiGetPackLeftoverFiles(const char* tableName, std::vector<std::string>* files);
// The whole records a table holds past its header's count, each with its delete mark, that
// were counted once (a header count written back too low): the next exclusive open counts
// them in again. 0 when there are none, or they are what an append of ours killed before its
// count left (its index marked, or a single record); DBIERR_FILECORRUPT when one of them has
// no delete mark.
DBIResult DbiGetUncountedRecords(const char* tableName, std::uint32_t* whole);
// The field names as the table's header declares them, in order, read without a cursor.
DBIResult DbiGetTableFieldNames(const char* tableName, std::vector<std::string>* names);

// ---- indexes ----
// A maintained tag of the production index (created when the table has none), or, with
// bMaintained false, a separate index file named by szName that nothing maintains.
DBIResult DbiAddIndex(hDBIDb db, hDBICur cursor, const char* tableName, const char* driverType,
                      const IDXDesc* desc, const char* keyViolName);
// Several maintained tags of the production index at once, filled in one pass over the
// records; all or none: on a failure no tag of the list is added.
DBIResult DbiAddIndexes(hDBICur cursor, const char* driverType, std::uint16_t count, const IDXDesc* descs);
DBIResult DbiDeleteIndex(hDBIDb db, hDBICur cursor, const char* tableName, const char* driverType,
                         const char* indexName, const char* tagName, std::uint16_t indexId);
// Switches the order: a tag of the production index, a separate index file (opened on first
// use), or natural order when both names are empty.
DBIResult DbiSwitchToIndex(hDBICur* cursor, const char* indexName, const char* tagName,
                           std::uint16_t indexId, bool currRec);
DBIResult DbiCloseIndex(hDBICur cursor, const char* indexName, std::uint16_t indexId);
DBIResult DbiGetIndexSeqNo(hDBICur cursor, const char* indexName, const char* tagName,
                           std::uint16_t indexId, std::uint16_t* seqNo);
// Sequence number 0 describes the current order.
DBIResult DbiGetIndexDesc(hDBICur cursor, std::uint16_t seqNo, IDXDesc* desc);

// ---- errors ----
// The engine's text (cp1252) for a code; `text` receives at most kDbiMaxMsgLen bytes + NUL.
DBIResult DbiGetErrorString(DBIResult code, char* text);

// Damage the engine found and worked around without failing the call (a memo file's free
// pointer into its used blocks): the file and the damaged-file code, for the table to be
// rebuilt. Defined with the engine's file helpers.
extern void (*DbiDamageHook)(const char* path, DBIResult code);
// A change of a table's files refused by the system (a full disk, an I/O error, a read-only
// disk): the table's data file and the code, before the caller's next call. Defined with the
// engine's file helpers.
extern void (*DbiWriteRefusedHook)(const char* path, DBIResult code);
// A read of a table's files refused by the system (an I/O error): the file read and the code, as
// it happens. Defined with the engine's file helpers.
extern void (*DbiReadRefusedHook)(const char* path, DBIResult code);

// Test hook: called after an append wrote its record and before it writes the header count.
extern void (*DbiAppendHook)();
// Test hook: called when an exact key search found no key, after the search let go of the
// index (another process may write it meanwhile).
extern void (*DbiSeekMissHook)();

}  // namespace dbase
