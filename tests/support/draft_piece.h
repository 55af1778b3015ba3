// A balanced piece of two lines for the draft appends of the tests: 12,34 euros (80,94 francs) on
// the bank's debit and the sales' credit, piece "999999" on the 1st of the journal-month `target`
// (month and journal, as CleJournalMois gives it).
#pragma once

#include <string>
#include <vector>

#include "data/draft_lines.h"

namespace test_support {

inline std::vector<NewDraftLine> TwoLinePiece(const std::string& target) {
  NewDraftLine one;
  one.month = target.substr(0, 4);
  one.journal = target.substr(4, 3);
  one.piece = "999999";
  one.day = "01";
  one.account = "51200000";
  one.label = "Ajout";
  one.sense = 'D';
  one.euros = 12.34;
  one.francs = 80.94;
  NewDraftLine two = one;
  two.account = "70600000";
  two.sense = 'C';
  return {one, two};
}

}  // namespace test_support
