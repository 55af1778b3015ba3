// Record locks between workstations. LockRecord and UnlockRecord are declared with the table
// object (table.h); this file adds the lock notice they show.
//
// LockRecord(table, text, retry) while another station holds the record:
//   wait      (text given, retry != 0): notice, re-read, try again until the lock is had;
//   ask once  (text given, may be "", retry 0): one notice, then false;
//   silent    (text null): false at once, no notice.
// A record that another cursor of this program holds (another of its windows) is no other station's:
// its notice says so, and it is not waited for (that window cannot let it go while the notice is up).
// A table opened exclusively takes no record locks (both calls answer true).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class Table;

// The lock notice TDMessageLockR: a modal box with the caption and message that returns
// when the user has pressed its button. The window layer fills the hook; without one the
// notice goes to the runtime's message hook.
using LockNoticeHook = void (*)(const char* caption, const char* message);
void SetLockNoticeHook(LockNoticeHook hook);

// The text of the notice for a table's record: the table's file title and the record text in
// their places.
std::string LockNoticeText(const Table& table, const char* recordText);

// The record locks a change of several records takes one by one on a table (asked once, or waited
// for, the notice naming the record), each given back when the object goes or at Release unless the
// table's cursor held it before.
class HeldRecordLocks {
 public:
  explicit HeldRecordLocks(Table& table) : table_(table) {}
  ~HeldRecordLocks() { Release(); }
  HeldRecordLocks(const HeldRecordLocks&) = delete;
  HeldRecordLocks& operator=(const HeldRecordLocks&) = delete;
  // Record `recno` made current and locked, the notice naming `text` (or its fields `textFields` down
  // to 1). False when another station holds it: nothing taken.
  bool Take(std::uint32_t recno, const char* text);
  bool Take(std::uint32_t recno, int textFields);
  // The same, another station's lock waited for (its notice at each try) until it is let go: false
  // only for a record another window of this program holds, or one that could not be read.
  bool Wait(std::uint32_t recno, int textFields);
  void Release();

 private:
  bool Lock(std::uint32_t recno, const char* text, int retry);
  Table& table_;
  std::vector<std::pair<std::uint32_t, bool>> taken_;
};
