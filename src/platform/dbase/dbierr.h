// Result codes of the dBASE engine. Every engine call returns one of these (0 = success).
// The values the table layer tests by number keep the numbers it expects; the others are ours.
#pragma once

#include "engine_users.h"

#include <cstdint>

namespace dbase {

using DBIResult = std::uint16_t;

constexpr DBIResult DBIERR_NONE = 0;

// Navigation.
constexpr DBIResult DBIERR_BOF = 8705;             // before the first record
constexpr DBIResult DBIERR_EOF = 8706;             // past the last record
constexpr DBIResult DBIERR_NOCURRREC = 8709;       // no current record
constexpr DBIResult DBIERR_RECNOTFOUND = 8710;     // no entry begins with the key sought

// Damaged files.
constexpr DBIResult DBIERR_HEADERCORRUPT = 8961;   // data file header or field descriptors unreadable
constexpr DBIResult DBIERR_FILECORRUPT = 8962;     // data file shorter than its header says, bad record
constexpr DBIResult DBIERR_MEMOCORRUPT = 8963;     // memo block number, length or chain out of bounds
constexpr DBIResult DBIERR_INDEXCORRUPT = 8965;    // index file damaged (block number, loop, truncation)
constexpr DBIResult DBIERR_INDEXOUTOFDATE = 8966;  // an index update was cut short: the index needs a rebuild
constexpr DBIResult DBIERR_PACKUNKNOWN = 8967;     // a cut-short pack's files match neither the table nor its journal

// Key or value conflicts at insertion.
constexpr DBIResult DBIERR_KEYVIOL = 9217;         // a key the index refuses
constexpr DBIResult DBIERR_MINVALERR = 9218;       // a field value the table refuses (numeric text out of range)
constexpr DBIResult DBIERR_FIELDVALERR = 9475;     // a record buffer that is not a valid record (bad delete mark)

// Parameters and objects.
constexpr DBIResult DBIERR_INVALIDHNDL = 9986;     // handle not open or not ours
constexpr DBIResult DBIERR_INVALIDPARAM = 9987;    // argument out of range (field number, buffer, record number)
constexpr DBIResult DBIERR_NOTINITIALIZED = 9988;  // DbiInit was not called
constexpr DBIResult DBIERR_INVALIDEXPR = 9989;     // key or condition expression does not parse or evaluate
constexpr DBIResult DBIERR_NOSUCHINDEX = 9997;     // no such tag
constexpr DBIResult DBIERR_NOSUCHTABLE = 10024;    // no such table (0x2728)
constexpr DBIResult DBIERR_NOTSUPPORTED = 10030;   // operation the table's state does not allow (write on read-only)
constexpr DBIResult DBIERR_NEEDEXCLACCESS = 10031; // operation needs the table opened exclusively

// Locks.
constexpr DBIResult DBIERR_LOCKED = 10241;         // record locked by another cursor or process
constexpr DBIResult DBIERR_TABLEINUSE = 10243;     // table opened exclusively elsewhere, or open elsewhere for an exclusive open
constexpr DBIResult DBIERR_ALREADYLOCKED = 10247;  // this cursor already holds the record lock
constexpr DBIResult DBIERR_NOTLOCKED = 10248;      // record not locked at release
constexpr DBIResult DBIERR_LOCKTIMEOUT = 10249;    // a wait on a table's lock gave up (a station holds it too long)
constexpr DBIResult DBIERR_LOCKLOST = 10250;       // a change of share mode could not take the table's open lock back
constexpr DBIResult DBIERR_INDEXFILEERR = 10253;   // a separate index file could not be made or used

// Operating system.
constexpr DBIResult DBIERR_OSERROR = 11009;        // read or write refused by the system
constexpr DBIResult DBIERR_OSACCESS = 11010;       // permission denied
constexpr DBIResult DBIERR_NOSUCHPATH = 11011;     // path not found (0x2B03)
constexpr DBIResult DBIERR_TOOMANYFILES = 11012;   // too many open files (0x2B04)
constexpr DBIResult DBIERR_FILEEXISTS = 11013;     // a file to create exists already
constexpr DBIResult DBIERR_NOMEMORY = 11014;       // allocation failed
constexpr DBIResult DBIERR_DISKFULL = 11015;       // no room left on the disk (or over the file-size limit)

}  // namespace dbase
