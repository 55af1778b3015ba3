// What the window tests of the opening balances share: the open year's draft emptied (the
// generation needs it so) and the next year's dossier made beside it.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "data/table.h"
#include "demo/dossier_demo.h"
#include "support/books_writes.h"

namespace opening_test {

// The year's lines validated away: the draft holds cancelled lines only.
inline void EmptyDraft(const std::string& c50Path) {
  const test_support::SetUpPermit permit("brouillard valide");
  Table c50;
  ASSERT_TRUE(c50.OpenExclusive(c50Path));
  for (bool more = c50.GoTop(); more; more = c50.Skip(1)) {
    if (!c50.IsDeleted()) {
      ASSERT_TRUE(c50.DeleteRecord("", 0)) << c50.RecNo() << " " << c50.result;
    }
  }
}

// The next year's dossier SB (2027, 20 lines) in `folder`.
inline void MakeNextYear(const std::string& folder) {
  DemoOptions next;
  next.folder = folder;
  next.code = "SB";
  next.lines = 20;
  next.firstDay = Ymd{2027, 1, 1};
  next.lastDay = Ymd{2027, 12, 31};
  std::string message;
  ASSERT_TRUE(GenerateDemoDossier(next, &message)) << message;
}

}  // namespace opening_test
