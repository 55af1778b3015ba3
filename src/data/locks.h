// Record locks between workstations. LockRecord and UnlockRecord are declared with the table
// object (table.h); this file adds the lock notice they show.
//
// LockRecord(table, text, retry) while another station holds the record:
//   wait      (text given, retry != 0): notice, re-read, try again until the lock is had;
//   ask once  (text given, may be "", retry 0): one notice, then false;
//   silent    (text null): false at once, no notice.
// A table opened exclusively takes no record locks (both calls answer true).
#pragma once

#include <string>

class Table;

// The lock notice TDMessageLockR: a modal box with the caption and message that returns
// when the user has pressed its button. The window layer fills the hook; without one the
// notice goes to the runtime's message hook.
using LockNoticeHook = void (*)(const char* caption, const char* message);
void SetLockNoticeHook(LockNoticeHook hook);

// The text of the notice for a table's record: the table's file title and the record text in
// their places.
std::string LockNoticeText(const Table& table, const char* recordText);
