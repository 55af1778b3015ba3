// One line's amounts posted to a running total the way a change of lines moves them (TotalsMoves):
// what a test or a benchmark uses to set totals up, or to move them as the program would.
#pragma once

#include <string>

#include "data/account_totals.h"
#include "runtime/numbers.h"
#include "support/books_writes.h"

namespace test_support {

// `kind`: 'A' an account (and the collective of an auxiliary one), 'S' a section, 'H' a journal-month
// header (its 8 characters: month, journal, source); `operation` "+D", "+C", "-D" or "-C": the amounts
// onto ("+") or off the debit ("D") or the credit totals; amount 1 the francs, amount 2 the euros. A
// blank code moves nothing. True when every record was moved. It holds a set-up permit for its writes.
inline bool PostTotals(char kind, const std::string& code, const char* operation, double francs, double euros) {
  const long long sign = operation[0] == '+' ? 1 : -1;
  const TotalsCents move =
      TotalsCents::OnSense(operation[1] == 'D' ? 'D' : 'C', sign * ToCents(francs), sign * ToCents(euros));
  const SetUpPermit permit("totaux mis en place");
  TotalsMoves moves;
  if (kind == 'A') moves.Account(code, move);
  else if (kind == 'S') moves.Section(code, move);
  else moves.Header(code, move);
  return moves.Make();
}

}  // namespace test_support
