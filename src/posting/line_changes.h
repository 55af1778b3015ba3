// Cancelling and reactivating a general line of the draft: the line and its sort record take or
// lose the cancel mark together, and its amounts leave or come back to the totals of its account
// (and collective) and of its journal-month's header. Cancelling also cancels the line's analytic
// lines, taking them off their sections; reactivating leaves those cancelled.
//
// Each change is made whole or not at all, through LineChangeSteps (data/line_change_steps.h): a
// total that cannot hold it refuses it before anything is written, and a write or a read refused on
// the way takes back what the change wrote.
#pragma once

#include <cstdint>
#include <string>

#include "data/line_change_steps.h"

class Table;

namespace posting {

enum class LineChange {
  Done,
  AlreadyDone,     // the line was already in that state: nothing changed
  Lettered,        // a matched line cannot be cancelled
  LockRefused,     // another station holds the line or one of its analytic lines: nothing changed
  NoLine,          // the record cannot be read or is no general line
  TotalsTooLarge,  // a total cannot hold the line: nothing changed
  Failed,          // a write or a read was refused: what was written taken back (or not, as the refusal says)
};

// `c50` and `c60` are the caller's cursors; the totals go through TableC10, TableC20 and TableC30,
// which are open. `recordText` names the line in the lock notice. A line whose sort record is
// missing gets one derived on the way (and the log says so). *refusal receives what a change that
// did not go through (TotalsTooLarge, Failed) tells the user, in one box. A line cancelled over its
// own amount that did not read is cancelled all the same; *totalsLeft (when given) then names the
// totals that still count it and advises the ReConstruction (OwnAmountReplacedText), "" otherwise.
LineChange CancelLine(Table& c50, Table& c60, std::uint32_t recno, const std::string& recordText,
                      long* analyticCancelled = nullptr, std::string* refusal = nullptr,
                      std::string* totalsLeft = nullptr);
LineChange ReactivateLine(Table& c50, Table& c60, std::uint32_t recno, const std::string& recordText,
                          std::string* refusal = nullptr);

// True when the current line carries a matching letter in either currency.
bool IsLettered(Table& c50);

}  // namespace posting
