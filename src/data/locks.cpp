#include "locks.h"

#include <string>

#include "data/index_defs.h"
#include "data/session.h"
#include "data/table_internal.h"
#include "resources/string_table.h"
#include "runtime/runtime_hooks.h"
#include "runtime/text.h"

namespace {

// The texts shown here, by their ids in the string table.
constexpr int kMsgRecordHeldElsewhere = 138;
constexpr int kMsgRecordHeldHere = 36200;  // the file's title, the record
constexpr int kCursorLockNotice = 537;
constexpr int kCaptionProgram = 127;

LockNoticeHook gNoticeHook = nullptr;

void ShowLockNotice(const char* caption, const char* message) {
  if (gNoticeHook != nullptr) {
    gNoticeHook(caption, message);
  } else {
    RuntimeMessage(caption, message, kMbOk);
  }
}

bool LockTaken(dbase::DBIResult rc) {
  return rc == dbase::DBIERR_NONE || rc == dbase::DBIERR_ALREADYLOCKED;
}

// One try at the write lock of the current record; the record is read into the buffer.
dbase::DBIResult TryLock(Table& table) {
  table.result = dbase::DbiGetRecord(table.Engine().cursor, dbase::dbiWRITELOCK, table.recordBuffer.data(),
                                     &table.Engine().recordProps);
  if (LockTaken(table.result)) table.recordNumber = table.Engine().recordProps.iPhyRecNum;
  return table.result;
}

// True when the lock that stops `table` on record `recno` is held by this station itself (another
// cursor of the program, in another of its windows), not by another station.
bool HeldHere(Table& table, std::uint32_t recno) {
  bool here = false;
  return recno > 0 && dbase::DbiIsRecordLocked(table.Engine().cursor, recno, &here) == dbase::DBIERR_NONE && here;
}

}  // namespace

void SetLockNoticeHook(LockNoticeHook hook) { gNoticeHook = hook; }

std::string LockNoticeText(const Table& table, const char* recordText) {
  return FillPlaceholders(LoadStr(kMsgRecordHeldElsewhere),
                          {TableFileTitle(&table), recordText == nullptr ? "" : recordText});
}

bool LockRecord(Table& table, const char* text, int retry) {
  if (table.shareMode == dbase::dbiOPENEXCL) return true;
  if (!table.isOpen || table.recordBuffer.empty()) {
    table.result = dbase::DBIERR_INVALIDHNDL;
    return false;
  }
  if (LockTaken(TryLock(table))) return true;

  // Only a record held by another cursor or station is waited for; any other failure (no
  // current record, a damaged file) would bring the notice back for ever.
  std::string message;
  while (table.result == dbase::DBIERR_LOCKED) {
    if (text == nullptr) return false;
    const std::uint32_t noted = table.recordNumber;
    // A record another window of this station holds is said so, and not waited for: that window
    // cannot let it go while the notice is up.
    const bool here = HeldHere(table, noted);
    if (message.empty())
      message = here ? FillPlaceholders(LoadStr(kMsgRecordHeldHere), {TableFileTitle(&table), text})
                     : LockNoticeText(table, text);
    const dbase::DBIResult kept = table.result;
    SetTableCursor(LoadStr(kCursorLockNotice));
    RuntimeBeep();
    ShowLockNotice(LoadStr(kCaptionProgram), message.c_str());
    SetTableCursor("");
    // The other station's latest version, so that its change is not overwritten.
    // One not read leaves the table on no record: the lock tried next fails on it, and says so.
    if (noted > 0) table.GoToRecord(static_cast<long>(noted));
    table.result = kept;
    if (retry == 0 || here) return false;
    if (LockTaken(TryLock(table))) return true;
  }
  return false;
}

RecordLockRefusal TryLockRecord(Table& table) {
  if (table.shareMode == dbase::dbiOPENEXCL) return RecordLockRefusal::kNone;
  if (!table.isOpen || table.recordBuffer.empty()) {
    table.result = dbase::DBIERR_INVALIDHNDL;
    return RecordLockRefusal::kFailed;
  }
  const std::uint32_t recno = table.recordNumber;
  if (LockTaken(TryLock(table))) return RecordLockRefusal::kNone;
  if (table.result != dbase::DBIERR_LOCKED) return RecordLockRefusal::kFailed;
  const dbase::DBIResult kept = table.result;
  const bool here = HeldHere(table, recno);
  table.result = kept;
  return here ? RecordLockRefusal::kThisStation : RecordLockRefusal::kOtherStation;
}

bool UnlockRecord(Table& table) {
  if (table.shareMode == dbase::dbiOPENEXCL) return true;
  table.result = dbase::DbiRelRecordLock(table.Engine().cursor, false);
  return table.result == dbase::DBIERR_NONE || table.result == dbase::DBIERR_NOTLOCKED;
}

bool HeldRecordLocks::Lock(std::uint32_t recno, const char* text, int retry) {
  if (!table_.GoToRecord(static_cast<long>(recno)).IsFound() || !LockRecord(table_, text, retry)) return false;
  taken_.emplace_back(recno, table_.result == dbase::DBIERR_ALREADYLOCKED);
  return true;
}

bool HeldRecordLocks::Take(std::uint32_t recno, const char* text) { return Lock(recno, text, 0); }

bool HeldRecordLocks::Take(std::uint32_t recno, int textFields) {
  if (!table_.GoToRecord(static_cast<long>(recno)).IsFound()) return false;
  const std::string text = table_.RecordToText(textFields);
  return Lock(recno, text.c_str(), 0);
}

bool HeldRecordLocks::Wait(std::uint32_t recno, int textFields) {
  if (!table_.GoToRecord(static_cast<long>(recno)).IsFound()) return false;
  const std::string text = table_.RecordToText(textFields);
  return Lock(recno, text.c_str(), 1);
}

void HeldRecordLocks::Release() {
  for (const auto& [recno, before] : taken_)
    // A record not read again keeps its lock until its table closes: the unlock is the current record's.
    if (!before && table_.GoToRecord(static_cast<long>(recno)).IsFound()) UnlockRecord(table_);
  taken_.clear();
}
