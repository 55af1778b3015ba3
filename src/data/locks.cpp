#include "locks.h"

#include <string>

#include "data/error_report.h"
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

// True when some cursor of this program holds the write lock of record `recno` of the table's file.
bool HeldByProgram(Table& table, std::uint32_t recno) {
  bool held = false;
  return recno > 0 && dbase::DbiIsRecordLocked(table.Engine().cursor, recno, &held) == dbase::DBIERR_NONE && held;
}

// A try at the lock that failed for a cause other than another holder: the record not read under the
// lock (the system refused the read, a damaged file) or the lock refused by the system. The lock the
// try took before its read failed is given back when no cursor held it before (`heldBefore`), and the
// refusal is said in the user's words, naming the file, as a refused look-up is (kept by a run's watch),
// never as a record another station holds. The engine's code stays in table.result. Answers false.
bool SayLockRefused(Table& table, std::uint32_t recno, bool heldBefore) {
  const dbase::DBIResult code = table.result;
  switch (code) {
    case dbase::DBIERR_BOF:
    case dbase::DBIERR_EOF:
    case dbase::DBIERR_NOCURRREC:
    case dbase::DBIERR_NOTSUPPORTED:
    case dbase::DBIERR_INVALIDHNDL:
      return false;  // no record to lock, or a table opened read-only: nothing was read
    default:
      break;
  }
  if (!heldBefore && HeldByProgram(table, recno)) dbase::DbiRelRecordLock(table.Engine().cursor, false);
  RefusalWatch::NoteEngineReadRefusal(table.tablePath, code);
  ReportRefusedLookup(table, Lookup::Refused(code), table.tag.c_str(), std::to_string(recno).c_str());
  table.result = code;
  return false;
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
  const std::uint32_t recno = table.recordNumber;
  const bool heldBefore = HeldByProgram(table, recno);
  if (LockTaken(TryLock(table))) return true;
  // Only a record held by another cursor or station is waited for; any other failure (no
  // current record, a damaged file) would bring the notice back for ever, and is no lock.
  if (table.result != dbase::DBIERR_LOCKED) return SayLockRefused(table, recno, heldBefore);

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
    // The other station's latest version, so that its change is not overwritten. One not read is
    // said as such: no notice comes back for a record that cannot be read.
    const Lookup again = noted > 0 ? table.GoToRecord(static_cast<long>(noted)) : Lookup::NotFound();
    if (again.IsRefused()) {
      table.result = again.result();
      return SayLockRefused(table, noted, true);
    }
    table.result = kept;
    if (retry == 0 || here) return false;
    const bool heldNow = HeldByProgram(table, noted);
    if (LockTaken(TryLock(table))) return true;
    if (table.result != dbase::DBIERR_LOCKED) return SayLockRefused(table, noted, heldNow);
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
  const bool heldBefore = HeldByProgram(table, recno);
  if (LockTaken(TryLock(table))) return RecordLockRefusal::kNone;
  if (table.result != dbase::DBIERR_LOCKED) {
    // A read refused under the lock gives the lock back; the caller says it (kFailed, table.result).
    if (!heldBefore && HeldByProgram(table, recno)) {
      const dbase::DBIResult code = table.result;
      dbase::DbiRelRecordLock(table.Engine().cursor, false);
      table.result = code;
    }
    return RecordLockRefusal::kFailed;
  }
  const dbase::DBIResult kept = table.result;
  const bool here = HeldHere(table, recno);
  table.result = kept;
  return here ? RecordLockRefusal::kThisStation : RecordLockRefusal::kOtherStation;
}

bool LockHeldElsewhere(const Table& table) { return table.result == dbase::DBIERR_LOCKED; }

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
