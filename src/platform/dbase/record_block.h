// Whole-table reading in physical order, beside the engine's cursor calls (idapi.h): blocks of
// records as stored, for walks that read every record of a large table.
#pragma once

#include "engine_users.h"

#include <cstdint>
#include <vector>

#include "idapi.h"

namespace dbase {

// Records first .. first + count - 1 in physical order as stored (delete mark first, deleted
// ones included): *records points at them, inside the file's mapping or in `scratch`, valid
// until the next call on this cursor or its closing. The cursor does not move; DBIERR_EOF past
// the count. Each cursor may be read so on a thread of its own while the thread that opened it
// waits (no cursor opened or closed meanwhile).
DBIResult DbiReadRecordBlock(hDBICur cursor, std::uint32_t first, std::uint32_t count,
                             std::vector<std::uint8_t>& scratch, const std::uint8_t** records);

// Records read whole and no longer needed: the pages of the file's mapping wholly inside them are
// given back to the file cache (read again from it if asked again), so that a walk over a large
// table holds only the part it reads. Nothing changes for the records or the cursor.
DBIResult DbiReleaseRecordBlock(hDBICur cursor, std::uint32_t first, std::uint32_t count);

}  // namespace dbase
