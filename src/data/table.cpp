// Table object: open and close, navigation, appends, deletion and maintenance.
#include "data/table.h"

#include <algorithm>
#include <cstring>

#include "data/error_report.h"
#include "data/session.h"
#include "data/table_internal.h"
#include "data/table_results.h"
#include "platform/system/files.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

using namespace dbase;

// The codes and modes the layers above test by the table layer's names are the engine's.
static_assert(kResultOk == DBIERR_NONE);
static_assert(kResultEndOfTable == DBIERR_EOF);
static_assert(kResultKeyNotFound == DBIERR_RECNOTFOUND);
static_assert(kResultIndexCorrupt == DBIERR_INDEXCORRUPT);
static_assert(kResultIndexOutOfDate == DBIERR_INDEXOUTOFDATE);
static_assert(kResultNoSuchTable == DBIERR_NOSUCHTABLE);
static_assert(kResultAlreadyLocked == DBIERR_ALREADYLOCKED);
static_assert(kResultIndexFileError == DBIERR_INDEXFILEERR);
static_assert(kResultSystemError == DBIERR_OSERROR);
static_assert(kResultAccessDenied == DBIERR_OSACCESS);
static_assert(kResultTooManyFiles == DBIERR_TOOMANYFILES);
static_assert(kResultNoSuchPath == DBIERR_NOSUCHPATH);
static_assert(kResultDiskFull == DBIERR_DISKFULL);
static_assert(Table::kShared == dbiOPENSHARED && Table::kExclusive == dbiOPENEXCL);

namespace {

// The path without a final ".dbf" (any case).
std::string WithoutDbf(std::string_view path) {
  std::string p(path);
  while (p.size() >= 4 && LowerAscii(std::string_view(p).substr(p.size() - 4)) == ".dbf") p.resize(p.size() - 4);
  return p;
}

// Folder as given, file name in lower case: Linux paths are case-sensitive, so only the name
// (created lower-case by this program) is folded; opening finds it without case.
std::string LowerFileName(const std::string& path) {
  std::size_t slash = path.rfind('/');
  std::size_t start = slash == std::string::npos ? 0 : slash + 1;
  return path.substr(0, start) + LowerCp1252(std::string_view(path).substr(start));
}

// Tag names are upper-case, at most 10 characters; blanks around them are dropped.
std::string TagText(std::string_view tag) {
  while (!tag.empty() && tag.front() == ' ') tag.remove_prefix(1);
  while (!tag.empty() && tag.back() == ' ') tag.remove_suffix(1);
  return UpperCp1252(tag.substr(0, 10));
}

}  // namespace

char FieldTypeLetter(std::uint16_t logicalType) {
  switch (logicalType) {
    case fldZSTRING: return 'C';
    case fldDATE: return 'D';
    case fldFLOAT: return 'N';
    case fldBLOB: return 'M';
    default: return 'U';
  }
}

Table::Table() : engine_(new TableEngine) {}

Table::~Table() {
  if (isOpen) CloseTable(true);
  delete engine_;
}

bool Table::RecordDeleted() const { return engine_->recordProps.bDeleteFlag; }

// ---------------------------------------------------------------- open and close

bool Table::OpenTable(std::string_view path, std::string_view newTag, std::uint32_t share, std::uint32_t mode) {
  CloseTable(true);
  shareMode = share;
  openMode = mode;
  const std::string given = LowerFileName(WithoutDbf(path));
  const std::string wantTag = TagText(newTag);

  tablePath = given + ".dbf";
  indexPath.clear();
  tag.clear();
  if (!wantTag.empty()) {
    tag = wantTag;
    indexPath = given + ".mdx";
  }
  bof = eof = 0;
  const std::string real = platform::ResolvePath(tablePath);
  result = DbiOpenTable(DbHandle, real.c_str(), "DBASE", indexPath.c_str(), tag.c_str(), 0,
                        static_cast<DBIOpenMode>(openMode), static_cast<DBIShareMode>(shareMode), xltFIELD, false,
                        nullptr, &engine_->cursor);
  if (result != DBIERR_NONE) {
    engine_->cursor = nullptr;
    // Too many files open: nothing of the table could be read, which a run or a change must not
    // take for a table without records.
    if (result == DBIERR_TOOMANYFILES) RefusalWatch::NoteOpenRefused(*this);
    NoRecord();
    bof = eof = 1;
    return false;
  }
  result = DbiGetCursorProps(engine_->cursor, &engine_->cursorProps);
  if (result != DBIERR_NONE) {
    DbiCloseCursor(&engine_->cursor);
    engine_->cursor = nullptr;
    NoRecord();
    bof = eof = 1;
    return false;
  }
  recordBuffer.assign(static_cast<std::size_t>(engine_->cursorProps.iRecBufSize) + 1, 0);
  engine_->logicalFields.assign(engine_->cursorProps.iFields, FLDDesc());
  engine_->nativeFields.assign(engine_->cursorProps.iFields, FLDDesc());
  buffersAllocated = 1;
  DbiGetFieldDescs(engine_->cursor, engine_->logicalFields.data());
  DbiSetProp(engine_->cursor, curXLTMODE, xltNONE);
  DbiGetFieldDescs(engine_->cursor, engine_->nativeFields.data());
  layouts_.resize(engine_->nativeFields.size());
  for (std::size_t i = 0; i < layouts_.size(); ++i) {
    const FLDDesc& d = engine_->nativeFields[i];
    layouts_[i] = FieldLayout{d.iOffset, d.iUnits1, d.iUnits2};
  }
  recordLength_ = engine_->cursorProps.iRecBufSize;
  DbiSetProp(engine_->cursor, curXLTMODE, xltFIELD);
  DbiSetProp(engine_->cursor, curSOFTDELETEON, 1);

  DbiSetToBegin(engine_->cursor);
  result = DbiGetNextRecord(engine_->cursor, dbiNOLOCK, Buffer(), &engine_->recordProps);
  if (result == DBIERR_NONE) {
    recordNumber = engine_->recordProps.iPhyRecNum;
  } else {
    if (result == DBIERR_EOF) eof = 1;
    recordNumber = 0;
  }
  isOpen = 1;
  tablelayer::GuardBooks(*this);
  tablelayer::FindLineAmounts(*this);
  return true;
}

bool Table::OpenExclusive(std::string_view path, std::string_view tag, bool readOnly) {
  return OpenTable(path, tag, dbiOPENEXCL, readOnly ? dbiREADONLY : dbiREADWRITE);
}

bool Table::OpenShared(std::string_view path, std::string_view tag, bool readOnly) {
  return OpenTable(path, tag, dbiOPENSHARED, readOnly ? dbiREADONLY : dbiREADWRITE);
}

bool Table::UseShared(std::string_view path, std::string_view newTag) {
  if (!isOpen || LowerFileName(WithoutDbf(path)) != WithoutDbf(tablePath)) return OpenShared(path, newTag);
  if (TagText(newTag) == tag || SetOrder(newTag)) return true;
  // The order could not be switched: opened again as it was.
  return OpenTable(path, newTag, shareMode, openMode);
}

bool Table::CloseTable(bool resetModes) {
  if (resetModes) openMode = shareMode = 0;
  if (!isOpen) return true;
  FreeAppendBlobs();
  if (appending) {
    appending = 0;
    AppendInProgress = false;
  }
  result = DbiCloseCursor(&engine_->cursor);
  engine_->cursor = nullptr;
  recordBuffer.clear();
  engine_->logicalFields.clear();
  engine_->nativeFields.clear();
  layouts_.clear();
  recordLength_ = 0;
  engine_->books = BooksGuard{};
  buffersAllocated = 0;
  engine_->cursorProps = CURProps();
  isOpen = 0;
  bof = eof = 1;
  recordNumber = 0;
  return result == DBIERR_NONE;
}

// ---------------------------------------------------------------- navigation

void Table::NoRecord() { recordNumber = 0; }

bool Table::ReadCurrent(DBIResult rc) {
  result = rc;
  if (rc == DBIERR_NONE) {
    recordNumber = engine_->recordProps.iPhyRecNum;
    return true;
  }
  if (rc == DBIERR_BOF) bof = 1;
  if (rc == DBIERR_EOF) eof = 1;
  recordNumber = 0;
  return false;
}

bool Table::GoTop(std::string_view newTag) {
  if (!IsBlank(std::string(newTag)) && !SetOrder(newTag)) {
    bof = eof = 1;
    recordNumber = 0;
    return false;
  }
  result = DbiSetToBegin(engine_->cursor);
  if (result != DBIERR_NONE) return false;
  bof = eof = 0;
  result = DbiGetNextRecord(engine_->cursor, dbiNOLOCK, Buffer(), &engine_->recordProps);
  if (result != DBIERR_NONE) {
    bof = eof = 1;
    recordNumber = 0;
    return false;
  }
  recordNumber = engine_->recordProps.iPhyRecNum;
  return true;
}

bool Table::GoBottom(std::string_view newTag) {
  if (!IsBlank(std::string(newTag)) && !SetOrder(newTag)) {
    bof = eof = 1;
    recordNumber = 0;
    return false;
  }
  result = DbiSetToEnd(engine_->cursor);
  if (result != DBIERR_NONE) return false;
  bof = eof = 0;
  result = DbiGetPriorRecord(engine_->cursor, dbiNOLOCK, Buffer(), &engine_->recordProps);
  if (result != DBIERR_NONE) {
    eof = 1;
    recordNumber = 0;
    return false;
  }
  recordNumber = engine_->recordProps.iPhyRecNum;
  return true;
}

bool Table::GoTo(long recno) { return GoToRecord(recno).IsFound(); }

Lookup Table::GoToRecord(long recno) {
  if (recno <= 0) {
    ShowLayerError(10500, StrZero(recno, 6));
    return Lookup::Refused(10500);
  }
  result = DbiSetToRecordNo(engine_->cursor, static_cast<std::uint32_t>(recno));
  bof = eof = 0;
  if (result == DBIERR_NONE) result = DbiGetRecord(engine_->cursor, dbiNOLOCK, Buffer(), &engine_->recordProps);
  if (ReadCurrent(result)) return Lookup::Found();
  // Past the last record: no such record. Anything else (a read refused) is no answer.
  return result == DBIERR_EOF ? Lookup::NotFound(result) : Lookup::Refused(result);
}

bool Table::Skip(long n) {
  if (n == 0) return false;
  if (n > 0) {
    if (eof) return false;
    for (long i = 0; i < n; ++i) {
      result = DbiGetNextRecord(engine_->cursor, dbiNOLOCK, Buffer(), &engine_->recordProps);
      if (!ReadCurrent(result)) return false;
      bof = 0;
    }
  } else {
    if (bof) return false;
    for (long i = 0; i < -n; ++i) {
      result = DbiGetPriorRecord(engine_->cursor, dbiNOLOCK, Buffer(), &engine_->recordProps);
      if (!ReadCurrent(result)) return false;
      eof = 0;
    }
  }
  return !bof && !eof;
}

bool Table::StepForward() {
  result = DbiGetNextRecord(engine_->cursor, dbiNOLOCK, Buffer(), &engine_->recordProps);
  if (result == DBIERR_NONE) {
    recordNumber = engine_->recordProps.iPhyRecNum;
    bof = 0;
    return true;
  }
  if (result == DBIERR_EOF) eof = 1;
  recordNumber = 0;
  return false;
}

bool Table::SkipActive(bool stepFirst) {
  if (!isOpen || eof) return false;
  // A record that cannot be read is stepped over; the walk never takes more steps than the
  // table has records, so an unreadable stretch cannot hold it forever. The count is read once
  // the walk has to step over a record (most steps land on a live one at once).
  std::uint32_t guard = 0;
  bool counted = false;
  if (stepFirst) StepForward();
  while (!eof) {
    RECProps props;
    if (DbiGetRecord(engine_->cursor, dbiNOLOCK, nullptr, &props) == DBIERR_NONE && !props.bDeleteFlag) {
      result = DBIERR_NONE;
      return true;
    }
    if (!counted) {
      guard = RecCount() + 1;
      counted = true;
    }
    if (guard-- == 0) {
      eof = 1;
      recordNumber = 0;
      break;
    }
    StepForward();
  }
  return false;
}

bool Table::LocateText(int field, const char* text, bool stepFirst) {
  const std::string wanted = text != nullptr ? text : "";
  const char type = TypeOf(field);
  if (type != 'C' && type != 'N') {
    ShowLayerError(11500, ValidField(field) ? engine_->logicalFields[static_cast<std::size_t>(field - 1)].szName : "");
    return false;
  }
  if (stepFirst && !SkipActive(true)) return false;
  while (SkipActive(false)) {
    const char* value = GetField(field);
    if (!wanted.empty() && value[0] != 0 && std::strstr(wanted.c_str(), value) != nullptr) return true;
    if (!SkipActive(true)) break;
  }
  return false;
}

bool Table::LocateKeyPrefix(const char* text) {
  const std::string wanted = text != nullptr ? text : "";
  if (FieldCount() < 2) return false;
  const std::size_t width = static_cast<std::size_t>(std::max(0, FieldWidth(1)) + std::max(0, FieldWidth(2)));
  const std::size_t length = std::min(width, wanted.size());
  while (SkipActive(false)) {
    std::string joined = GetField(1);
    joined += GetField(2);
    if (joined.compare(0, length, wanted, 0, length) == 0) return true;
    if (!SkipActive(true)) break;
  }
  return false;
}

bool Table::Seek(std::string_view newTag, const char* k1, const char* k2, const char* k3, const char* k4) {
  return SeekKey(newTag, false, k1, k2, k3, k4).IsFound();
}

bool Table::SeekNotBelow(std::string_view newTag, const char* k1, const char* k2, const char* k3,
                         const char* k4) {
  return SeekKey(newTag, true, k1, k2, k3, k4).IsFound();
}

Lookup Table::Find(std::string_view newTag, const char* k1, const char* k2, const char* k3, const char* k4) {
  return SeekKey(newTag, false, k1, k2, k3, k4);
}

Lookup Table::FindNotBelow(std::string_view newTag, const char* k1, const char* k2, const char* k3,
                           const char* k4) {
  return SeekKey(newTag, true, k1, k2, k3, k4);
}

Lookup Table::SeekKey(std::string_view newTag, bool notBelow, const char* k1, const char* k2, const char* k3,
                      const char* k4) {
  const DBISearchCond condition = notBelow ? keySEARCHGEQ : keySEARCHEQ;
  if (!isOpen) {
    ShowLayerError(12400, std::string(newTag).c_str());
    return Lookup::Refused(12400);
  }
  // An order that could not be set is no answer: a seek through the order before would find another key.
  if (!newTag.empty() && TagText(newTag) != tag && !SetOrder(newTag)) {
    const std::uint16_t refused = result;
    NoRecord();
    bof = eof = 1;
    return Lookup::Refused(refused != DBIERR_NONE ? refused : kResultIndexFileError);
  }
  PathBuffer.clear();
  for (const char* part : {k1, k2, k3, k4})
    if (part != nullptr) PathBuffer += part;
  if (PathBuffer.empty()) return Lookup::Found();
  bof = eof = 0;
  result = DbiSetToKey(engine_->cursor, condition, true, 0, static_cast<std::uint16_t>(std::min<std::size_t>(PathBuffer.size(), 65535)),
                       PathBuffer.c_str());
  if (result == DBIERR_NONE) result = DbiGetNextRecord(engine_->cursor, dbiNOLOCK, Buffer(), &engine_->recordProps);
  if (result == DBIERR_NONE) {
    recordNumber = engine_->recordProps.iPhyRecNum;
    return Lookup::Found();
  }
  bof = eof = 1;
  recordNumber = 0;
  return SoughtAndMissing(result) ? Lookup::NotFound(result) : Lookup::Refused(result);
}

bool Table::LockForCreate() {
  if (!isOpen) return false;
  result = DbiAcqCreateLock(engine_->cursor);
  return result == DBIERR_NONE;
}

bool Table::UnlockForCreate() {
  if (!isOpen) return false;
  result = DbiRelCreateLock(engine_->cursor);
  return result == DBIERR_NONE;
}

bool Table::SetOrder(std::string_view newTag) {
  const std::string wanted = TagText(newTag);
  // An empty tag goes back to natural order.
  result = wanted.empty() ? DbiSwitchToIndex(&engine_->cursor, "", "", 0, false)
                          : DbiSwitchToIndex(&engine_->cursor, indexPath.c_str(), wanted.c_str(), 0, false);
  if (result != DBIERR_NONE) {
    ReportDbError(*this, 2301, wanted.c_str());
    return false;
  }
  tag = wanted;
  return true;
}

KeyMatch Table::MatchRecordKey(const char* key, int length, int f1, int f2, int f3, int f4, int f5, int f6) {
  if (eof || bof || length <= 0) return KeyMatch::NoRecord();
  PathBuffer2 = GetField(f1);
  for (int f : {f2, f3, f4, f5, f6})
    if (f != 0) PathBuffer2 += GetField(f);
  if (PathBuffer2.size() > static_cast<std::size_t>(length)) PathBuffer2.resize(static_cast<std::size_t>(length));
  if (std::strncmp(PathBuffer2.c_str(), key != nullptr ? key : "", static_cast<std::size_t>(length)) != 0)
    return KeyMatch::OtherKey();
  RECProps props;
  result = DbiGetRecord(engine_->cursor, dbiNOLOCK, nullptr, &props);
  if (result != DBIERR_NONE) return KeyMatch::Refused(result);
  return props.bDeleteFlag ? KeyMatch::Cancelled() : KeyMatch::Live();
}

char Table::MatchKey(const char* key, int length, int f1, int f2, int f3, int f4, int f5, int f6) {
  if (eof) return 'E';
  if (bof) return 'B';
  if (length <= 0) return '?';
  const KeyMatch m = MatchRecordKey(key, length, f1, f2, f3, f4, f5, f6);
  return m.answer() == KeyMatch::Answer::kDiffers ? '#' : m.IsLive() ? 'O' : 'o';
}

std::uint32_t Table::RecCount() {
  std::uint32_t count = 0;
  result = DbiGetRecordCount(engine_->cursor, &count);
  return result == DBIERR_NONE ? count : 0;
}

std::uint32_t Table::RecNo() {
  RECProps props;
  result = DbiGetRecord(engine_->cursor, dbiNOLOCK, nullptr, &props);
  return result == DBIERR_NONE ? props.iPhyRecNum : 0;
}

bool Table::IsDeleted() {
  RECProps props;
  result = DbiGetRecord(engine_->cursor, dbiNOLOCK, nullptr, &props);
  return result != DBIERR_NONE || props.bDeleteFlag;
}

Lookup Table::LiveHere() {
  if (!isOpen || recordNumber == 0) return Lookup::NotFound(result);
  RECProps props;
  result = DbiGetRecord(engine_->cursor, dbiNOLOCK, nullptr, &props);
  if (result != DBIERR_NONE) return Lookup::Refused(result);
  return props.bDeleteFlag ? Lookup::NotFound() : Lookup::Found();
}

// ---------------------------------------------------------------- records

bool Table::AppendBlank() {
  if (!isOpen) {
    result = DBIERR_INVALIDHNDL;
    return false;
  }
  FreeAppendBlobs();
  AppendInProgress = true;
  appending = 1;
  result = DbiInitRecord(engine_->cursor, Buffer());
  if (result != DBIERR_NONE) {
    appending = 0;
    AppendInProgress = false;
    return false;
  }
  return true;
}

bool Table::InsertRecord() {
  if (isOpen && tablelayer::BooksWriteRefused(*this, BooksWrite::Append, 0, Buffer(), 1)) {
    const std::uint16_t refused = result;
    appending = 0;
    AppendInProgress = false;
    FreeAppendBlobs();
    result = refused;
    return false;
  }
  result = DbiInsertRecord(engine_->cursor, dbiNOLOCK, isOpen ? Buffer() : nullptr);
  const DBIResult rc = result;
  appending = 0;
  AppendInProgress = false;
  FreeAppendBlobs();
  if (rc == DBIERR_FIELDVALERR || rc == DBIERR_MINVALERR) {
    ReportDbError(*this, 2201);
  } else if (rc == DBIERR_KEYVIOL) {
    ReportDbError(*this, 2202);
  }
  if (rc != DBIERR_NONE) {
    // The record refused is dropped: the buffer holds the current record again as stored, so that
    // no later write of a field carries the refused record over it.
    if (recordNumber != 0 && DbiGetRecord(engine_->cursor, dbiNOLOCK, Buffer(), &engine_->recordProps) != DBIERR_NONE) {
      bof = eof = 1;
      recordNumber = 0;
    }
    result = rc;
    return false;
  }
  // The engine_->cursor stands on the new record: read it back (its memo references included).
  // A read-back the system refused leaves its number unknown (0, `result` its code), never the
  // record current before: a caller would take that one for the new record.
  bof = eof = 0;
  result = DbiGetRecord(engine_->cursor, dbiNOLOCK, Buffer(), &engine_->recordProps);
  if (result != DBIERR_NONE) {
    bof = eof = 1;
    recordNumber = 0;
    return true;
  }
  recordNumber = engine_->recordProps.iPhyRecNum;
  return true;
}

void Table::DropAppend() {
  if (appending != 1) return;
  appending = 0;
  AppendInProgress = false;
  FreeAppendBlobs();
  // `result` keeps the code of what stopped the append.
  if (isOpen && recordNumber != 0 &&
      DbiGetRecord(engine_->cursor, dbiNOLOCK, Buffer(), &engine_->recordProps) != DBIERR_NONE) {
    bof = eof = 1;
    recordNumber = 0;
  }
}

void Table::QueueRecord(bool deleted) {
  const std::size_t size = engine_->cursorProps.iRecBufSize;
  appending = 0;
  AppendInProgress = false;
  if (!isOpen) return;
  Buffer()[0] = deleted ? '*' : ' ';
  queued_.insert(queued_.end(), Buffer(), Buffer() + size);
  ++queuedCount_;
}

bool Table::AppendQueued(std::uint32_t* first) {
  if (queuedCount_ != 0 && tablelayer::BooksWriteRefused(*this, BooksWrite::Append, 0, queued_.data(), queuedCount_)) {
    DropQueued();
    return false;
  }
  result = queuedCount_ == 0 ? DBIERR_NONE : DbiAppendRecords(engine_->cursor, queuedCount_, queued_.data(), first);
  queued_.clear();
  queuedCount_ = 0;
  if (result == DBIERR_NONE) return true;
  ReportDbError(*this, 2201);
  return false;
}

bool Table::DeleteRecord(const char* text, int lockMode) {
  RECProps props;
  result = DbiGetRecord(engine_->cursor, dbiNOLOCK, nullptr, &props);
  if (result != DBIERR_NONE || props.bDeleteFlag) return false;
  if (tablelayer::BooksWriteRefused(*this, BooksWrite::Delete)) return false;
  const bool exclusive = shareMode == dbiOPENEXCL;
  if (!exclusive && !LockRecord(*this, text, lockMode)) return false;
  result = DbiDeleteRecord(engine_->cursor, Buffer());
  const DBIResult rc = result;
  if (rc == DBIERR_NONE) recordBuffer[0] = '*';
  if (!exclusive && lockMode != 0) UnlockRecord(*this);
  result = rc;
  return rc == DBIERR_NONE;
}

bool Table::RecallRecord(const char* text, int lockMode) {
  RECProps props;
  result = DbiGetRecord(engine_->cursor, dbiNOLOCK, nullptr, &props);
  if (result == DBIERR_NONE && !props.bDeleteFlag) return false;
  if (tablelayer::BooksWriteRefused(*this, BooksWrite::Recall)) return false;
  const bool exclusive = shareMode == dbiOPENEXCL;
  if (!exclusive && !LockRecord(*this, text, lockMode)) return false;
  result = DbiUndeleteRecord(engine_->cursor);
  const DBIResult rc = result;
  if (rc == DBIERR_NONE && !recordBuffer.empty()) recordBuffer[0] = ' ';
  if (!exclusive && lockMode != 0) UnlockRecord(*this);
  result = rc;
  return rc == DBIERR_NONE;
}

void Table::BeginRewrite() {
  FreeAppendBlobs();
  if (isOpen && recordNumber != 0) appending = 2;
}

bool Table::EndRewrite(bool write) {
  if (appending != 2) return false;
  appending = 0;
  if (write) {
    tablelayer::ModifyCurrentRecord(*this);
    FreeAppendBlobs();
    if (result != DBIERR_NONE) {
      ReportDbError(*this, 2010);
      return false;
    }
    return true;
  }
  FreeAppendBlobs();
  // Back to the record the append left; its answer adds nothing to the cancelled append.
  (void)GoToRecord(static_cast<long>(recordNumber));
  return false;
}

bool Table::Commit() {
  result = DbiSaveChanges(engine_->cursor);
  if (result != DBIERR_NONE) {
    ReportDbError(*this, 2010);
    return false;
  }
  return true;
}

bool Table::Pack() {
  if (tablelayer::BooksWriteRefused(*this, BooksWrite::Pack)) return false;
  result = DbiPackTable(DbHandle, engine_->cursor, tablePath.c_str(), "DBASE", true);
  return result == DBIERR_NONE;
}

bool Table::Zap() {
  if (tablelayer::BooksWriteRefused(*this, BooksWrite::Empty)) return false;
  result = DbiEmptyTable(DbHandle, engine_->cursor, tablePath.c_str(), "DBASE");
  if (result != DBIERR_NONE) return false;
  bof = eof = 1;
  recordNumber = 0;
  return true;
}

bool Table::CopyTable(const char* destination) {
  const char* dest = destination != nullptr ? destination : "";
  if (openMode != dbiREADONLY || shareMode != dbiOPENEXCL) {
    ShowLayerError(13200, dest);
    return false;
  }
  // The copy writes over the table it lands on: one of the books needs a permit covering it.
  if (tablelayer::BooksFileReplaceRefused(dest, true)) {
    result = kResultBooksWriteRefused;
    return false;
  }
  result = DbiCopyTable(DbHandle, true, platform::ResolvePath(tablePath).c_str(), "DBASE", dest);
  if (result != DBIERR_NONE) {
    ReportDbError(*this, 3201, dest);
    return false;
  }
  return true;
}

bool Table::IsLockedByMe() {
  if (EditorLock.table != this) return false;
  RECProps props;
  if (DbiGetRecord(engine_->cursor, dbiNOLOCK, nullptr, &props) != DBIERR_NONE) return EditorLock.record == 0;
  return props.iPhyRecNum == EditorLock.record;
}
