// A cursor on one table: its own open file descriptions (data, memo, index), its position in
// natural or key order, its record locks and its open memo buffers. The Dbi... calls of
// idapi.h are thin wrappers over these methods.
#pragma once

#include "engine_users.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "dbf.h"
#include "dbt.h"
#include "field_layout.h"
#include "idapi.h"
#include "mdx.h"

namespace dbase {

struct DbiCursor {
  DbiCursor() = default;
  DbiCursor(const DbiCursor&) = delete;
  DbiCursor& operator=(const DbiCursor&) = delete;
  ~DbiCursor();

  // Opens the table files and takes the open lock; `indexName`/`tagName` choose the order.
  // The files of a pack that was cut short are first put back in order (the old table or the
  // new one), and an exclusive open cuts off a record written past the count and rebuilds a
  // production index left marked by a cut-short update or refused as damaged (when its tag
  // table still reads).
  DBIResult Open(const std::string& dbfPath, const std::string& indexName, const std::string& tagName,
                 bool readOnly, bool exclusive, XLTMode xlt);
  DBIResult Close();
  // Changes between shared and exclusive without letting the table go: to exclusive fails
  // (DBIERR_TABLEINUSE) while another cursor has the table open, and the cursor stays shared;
  // DBIERR_LOCKLOST when the open lock could not be taken back (the cursor must be closed).
  DBIResult SetShareMode(bool exclusive);

  // Navigation.
  void SetToBegin();
  void SetToEnd();
  DBIResult SetToRecordNo(std::uint32_t recno);
  DBIResult SetToKey(const std::string& key, DBISearchCond cond);
  DBIResult Next(DBILockType lock, std::uint8_t* buf, RECProps* props);
  DBIResult Prior(DBILockType lock, std::uint8_t* buf, RECProps* props);
  DBIResult Current(DBILockType lock, std::uint8_t* buf, RECProps* props);
  DBIResult RecordCount(std::uint32_t* count);
  // Records first .. first + count - 1 as stored, without moving (DbiReadRecordBlock).
  DBIResult ReadBlock(std::uint32_t first, std::uint32_t count, std::vector<std::uint8_t>& scratch,
                      const std::uint8_t** records);
  // Those records' pages of the mapping given back once read (DbiReleaseRecordBlock).
  void ReleaseBlock(std::uint32_t first, std::uint32_t count) const { dbf_.ReleaseRecords(first, count); }

  // Locks.
  DBIResult LockRecord(std::uint32_t recno);
  DBIResult ReleaseLock(bool all);
  bool HoldsLock(std::uint32_t recno) const { return locks_.count(recno) != 0; }
  // True when both cursors are open on the same data file (whatever the names they opened it by).
  bool SameDataFile(const DbiCursor& other) const;
  // The table's creation lock, waited for while another cursor holds it.
  DBIResult AcquireCreateLock();
  DBIResult ReleaseCreateLock();

  // Records.
  DBIResult Insert(DBILockType lock, std::uint8_t* buf);
  DBIResult AppendRecords(std::uint32_t count, const std::uint8_t* records, std::uint32_t* first);
  DBIResult AppendRecordsShared(std::uint32_t count, const std::uint8_t* records, std::uint32_t* first);
  // The append lock byte of a table without a production index (waited for), and the count
  // read again under the appends' lock.
  DBIResult TakeAppendLock();
  DBIResult ReadCountUnderLock();
  DBIResult Modify(std::uint8_t* buf, bool freeLock);
  DBIResult SetDeleted(bool deleted, std::uint8_t* buf);
  DBIResult DeleteRecords(std::uint32_t count, const std::uint32_t* recnos);
  DBIResult GetField(std::uint16_t field, const std::uint8_t* buf, void* dest, bool* blank) const;
  DBIResult PutField(std::uint16_t field, std::uint8_t* buf, const void* src) const;
  void FillDescs(FLDDesc* descs) const;
  void FillProps(CURProps* props);
  std::uint16_t RecordLength() const { return dbf_.recordLength(); }

  // Memo buffers, one per memo field, from DbiOpenBlob to DbiFreeBlob.
  DBIResult OpenBlob(std::uint16_t field, const std::uint8_t* buf, bool readOnly);
  DBIResult Blob(std::uint16_t field, std::string** text, bool write);
  DBIResult FreeBlob(std::uint16_t field);

  // Maintenance (exclusive cursor).
  DBIResult Pack(bool regenIndexes);
  // Every tag of the production index walked in order and compared with the records: one
  // entry per record its condition takes, with that record's key (DBIERR_INDEXCORRUPT
  // otherwise).
  DBIResult CheckIndex();
  // Every tag made again from the records (exclusive cursor).
  DBIResult RebuildIndex();
  // True when the production index held the mark of an update that never finished.
  bool IndexInterrupted() const { return mdx_ && mdx_->Interrupted(); }
  // The index's mark read again under its lock; a marked index made again through this cursor,
  // as its next write would. *repaired says whether it was.
  DBIResult RepairIndexIfInterrupted(bool* repaired);
  // What the open's rebuild of such an index gave (DBIERR_NONE when none was tried).
  DBIResult IndexRepairResult() const { return repairResult_; }
  // The whole records past the count that an exclusive open counts in again (see
  // DbfFile::CutPastCount): two or more, and none after a killed append of ours (its index
  // marked).
  DBIResult UncountedRecords(std::uint32_t* whole);
  DBIResult Empty();

  // Orders and indexes.
  DBIResult SwitchTo(const std::string& indexName, const std::string& tagName, bool keepRecord);
  DBIResult AddIndex(const IDXDesc& desc);
  // Maintained tags of the production index, filled in one pass over the records.
  DBIResult AddProductionTags(const std::vector<IDXDesc>& descs);
  DBIResult DeleteIndex(const std::string& indexName, const std::string& tagName);
  DBIResult CloseIndex(const std::string& indexName);
  DBIResult IndexSeqNo(const std::string& indexName, const std::string& tagName, std::uint16_t* seqNo);
  DBIResult IndexDesc(std::uint16_t seqNo, IDXDesc* desc);

  DBIResult SaveChanges();

  // State, read by the call layer.
  std::string dbfPath;
  std::string mdxPath;        // production index path (whether or not it exists)
  std::string dbtPath;
  bool readOnly = false;
  bool exclusive = false;
  XLTMode xlt = xltFIELD;
  bool softDelete = true;

 private:
  enum class Pos { kBof, kOn, kEof, kBefore };  // kBefore: just before `entry_` (after a seek)
  struct Order {
    Mdx* mdx = nullptr;  // nullptr: natural order
    std::string tag;
    std::uint16_t keyLength = 0;
  };
  class FileSource;
  class WriteLock;

  DBIResult TagExpressions(const IDXDesc& desc, std::string* expr, std::string* cond) const;
  DBIResult OpenOnce(const std::string& path, const std::string& indexName, const std::string& tagName,
                     bool* again);
  // The files a pack replaces, in the order it renames them (data last).
  std::vector<std::string> PackedFiles() const;
  bool PackLeftovers() const;
  DBIResult FinishPack();
  DBIResult DropPackFiles();
  DBIResult WritePack(DbfFile* fresh);
  void Unlock(std::uint32_t recno);  // a record lock this cursor holds
  DBIResult TakeOpenLock();
  // The open lock turned exclusive without letting the table go (DBIERR_TABLEINUSE while
  // another cursor has it open), and back to shared.
  DBIResult LockAlone();
  DBIResult LockShared();
  DBIResult ReopenIndexes(bool exclusive);
  DBIResult RefreshCount();
  DBIResult ReadInto(std::uint32_t recno, std::uint8_t* buf);
  DBIResult Step(bool forward, DBILockType lock, std::uint8_t* buf, RECProps* props);
  // Puts the cursor on recno; the record is read again from the file under a write lock or
  // when reread.
  DBIResult Land(std::uint32_t recno, DBILockType lock, std::uint8_t* buf, RECProps* props,
                 bool reread = false);
  void FillRecProps(RECProps* props) const;
  DBIResult FlushBlobs(std::uint8_t* buf, bool fresh);
  DBIResult EnsureMemo();
  // Rebuilds a production index that holds an interrupted update, when the table can be
  // had alone (DBIERR_INDEXOUTOFDATE otherwise).
  DBIResult RepairIndex();
  // Starts an update of the production index, repairing it first when it needs it.
  DBIResult BeginIndexUpdate(bool append);
  DBIResult MaintainIndex(std::uint32_t recno, const std::uint8_t* oldRec, const std::uint8_t* newRec);
  DBIResult RewriteCurrent(const std::function<DBIResult(const std::uint8_t*& rec)>& prepare,
                           const std::function<DBIResult(const std::uint8_t* rec)>& write);
  DBIResult OpenSeparate(const std::string& path, Mdx** mdx);
  Mdx* FindSeparate(const std::string& path);
  DBIResult KeyForCurrent();
  bool IsProductionPath(const std::string& indexName) const;
  // The order of the table's character keys: our weights for our own language driver, byte
  // order for another's.
  KeyOrder CharacterOrder() const;
  std::string SeparatePath(const std::string& indexName) const;

  DbfFile dbf_;
  DbtFile dbt_;
  RecordLayout layout_;
  std::unique_ptr<Mdx> mdx_;                              // production index, when the table has one
  std::map<std::string, std::unique_ptr<Mdx>> separate_;  // separate index files by path
  Order order_;
  Pos pos_ = Pos::kBof;
  std::uint32_t recno_ = 0;      // current record when kOn
  MdxEntry entry_;               // place in key order when kOn or kBefore
  std::uint32_t count_ = 0;      // record count last read
  bool countKnown_ = false;      // an exclusive cursor reads the count once
  DBIResult repairResult_ = DBIERR_NONE;  // the open's rebuild of an interrupted index
  std::vector<std::uint8_t> ahead_;  // read-ahead window of an exclusive cursor
  std::uint32_t aheadFirst_ = 0;
  std::uint32_t aheadCount_ = 0;
  std::uint32_t lastRead_ = 0;      // record last read through ReadInto
  std::vector<std::uint8_t> rec_;   // scratch record
  std::vector<std::uint8_t> old_;   // record before a write
  std::set<std::uint32_t> locks_;
  std::map<std::uint16_t, std::pair<std::string, bool>> blobs_;  // text, changed
  // The memos a rewrite wrote in place, with the bytes it wrote over: put back when its record
  // goes back as it was.
  std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>> memosBefore_;
  bool openLock_ = false;
  bool createLock_ = false;
};

// True when a pack cut short left files beside the data file `dbfPath` that its journal does
// not recognise: some renamed already, their identities and sizes not those it gives. Opening
// the table then leaves every file where it is (DBIERR_PACKUNKNOWN). Reads only.
bool PackLeftoversUnknown(const std::string& dbfPath);
// The files a pack cut short left beside the data file `dbfPath` (its journal and the new
// files "<file>.pack" of the data, memo and index files), those that are there.
std::vector<std::string> PackLeftoverFiles(const std::string& dbfPath);

}  // namespace dbase
