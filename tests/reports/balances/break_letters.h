// The letter of each line of a trial balance as the layouts read it: the group of the first of the code's first
// three characters that changed ("C".."J", "K".."N", "O".."P"), "B" without a break; the end of the list in
// "Q".."X" ("X" alone without a break). Shared by the core's test and the window's.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "reports/balances/core/trial_balance_report.h"

namespace test_support {

// Walks a prepared report to its end, checking each line's letter against its break and the end letter;
// returns the break of each line after the first ("B", "C", "K" or "O").
inline std::string WalkBreakLetters(balances::TrialBalanceReport& r, char level) {
  std::string groups;
  r.InitReport();
  r.ComputeLine();
  while (r.NextRecord()) {
    r.ClassifyLine();
    const std::string current = r.lineType.substr(1, 8), previous = r.lineType.substr(9, 8);
    const char letter = r.lineType[0];
    char group = 'B';
    if (level != 'S') {
      if (current[0] != previous[0]) group = 'C';
      else if (current[1] != previous[1]) group = 'K';
      else if (current[2] != previous[2]) group = 'O';
    }
    const char last = group == 'C' ? 'J' : group == 'K' ? 'N' : group == 'O' ? 'P' : 'B';
    EXPECT_TRUE(letter >= group && letter <= last) << letter << " " << previous << " -> " << current;
    groups += group;
    r.ComputeLine();
  }
  const char end = r.lineType[0];
  if (level == 'S') {
    EXPECT_EQ(end, 'X');
    EXPECT_EQ(groups.find_first_not_of('B'), std::string::npos);
  } else {
    EXPECT_TRUE(end >= 'Q' && end <= 'X') << end;
    EXPECT_NE(groups.find('C'), std::string::npos) << groups;
  }
  return groups;
}

}  // namespace test_support
