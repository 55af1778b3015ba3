// The sweep's amounts as lines take them (LineSweepCents, window_amounts.h) written as draft lines of one account, as a window's sweep
// test wants them: each alone, one piece each (900, 901, ...), a debit for an amount above zero and a
// credit for one below; one whose totals cannot hold it is written at the most they still take (the
// books' totals hold what they hold already).
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/dossier_files.h"
#include "data/draft_lines.h"
#include "data/entry_lines.h"
#include "data/table.h"
#include "runtime/numbers.h"
#include "runtime/xbase.h"
#include "support/window_amounts.h"

namespace test_support {

// `month` the stored month ("C603"), `journal` its code; `dayPerLine` gives the k-th line the day k + 1,
// otherwise every line the first. The amounts written, in the sweep's order; a failure is the test's.
inline std::vector<long long> WriteSweepLines(const std::string& month, const std::string& journal,
                                              const std::string& account, bool dayPerLine) {
  std::vector<long long> amounts = LineSweepCents();
  Table c50, c60;
  if (!c50.OpenShared(PathC50(), LigneEcriture::kCodeTag) || !c60.OpenShared(PathC60(), "C60CODE")) {
    ADD_FAILURE() << "draft or sort file not opened";
    return amounts;
  }
  for (std::size_t k = 0; k < amounts.size(); ++k) {
    long long& cents = amounts[k];
    NewDraftLine n;
    n.month = month;
    n.journal = journal;
    n.piece = StrZero(static_cast<long>(900 + k), 0);
    n.day = dayPerLine ? StrZero(static_cast<long>(k + 1), 2) : "01";
    n.account = account;
    n.labelCode = "0";
    n.label = "Balayage";
    n.sense = cents > 0 ? 'D' : 'C';
    DraftWrite written = DraftWrite::TotalsTooLarge;
    for (int tries = 0; tries < 4 && written == DraftWrite::TotalsTooLarge; ++tries) {
      n.euros = n.francs = FromCents(cents < 0 ? -cents : cents);
      TotalsOverflow overflow;
      written = WriteDraftLines(c50, c60, {n}, nullptr, &overflow);
      if (written == DraftWrite::TotalsTooLarge) cents = cents < 0 ? -overflow.room : overflow.room;
    }
    EXPECT_EQ(written, DraftWrite::Written) << cents;
  }
  return amounts;
}

}  // namespace test_support
