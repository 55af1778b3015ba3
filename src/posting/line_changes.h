// Cancelling and reactivating a general line of the draft: the line and its sort record take or
// lose the cancel mark together, and its amounts leave or come back to the totals of its account
// (and collective) and of its journal-month's header. Cancelling also cancels the line's analytic
// lines, taking them off their sections; reactivating leaves those cancelled.
#pragma once

#include <cstdint>
#include <string>

class Table;

namespace posting {

enum class LineChange {
  Done,
  AlreadyDone,  // the line was already in that state: nothing changed
  Lettered,     // a matched line cannot be cancelled
  LockRefused,  // another station holds the line: nothing changed
  NoLine,       // the record cannot be read or is no general line
};

// `c50` and `c60` are the caller's cursors; the totals go through TableC10, TableC20 and TableC30,
// which are open. `recordText` names the line in the lock notice. A line whose sort record is
// missing gets one derived on the way (and the log says so).
LineChange CancelLine(Table& c50, Table& c60, std::uint32_t recno, const std::string& recordText,
                      long* analyticCancelled = nullptr);
LineChange ReactivateLine(Table& c50, Table& c60, std::uint32_t recno, const std::string& recordText);

// True when the current line carries a matching letter in either currency.
bool IsLettered(Table& c50);

}  // namespace posting
