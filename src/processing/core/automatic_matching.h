// The automatic matching run and the letter operations of its form, on the three matching tables
// held exclusively (no record locks): for each account of a range, the groups of 2 to P unmatched
// lines whose amounts balance to the cent are given the next letters of the account, in francs
// or in euros; letters are removed from a range or copied between the two currencies.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "processing/core/match_search.h"
#include "processing/core/matching_lines.h"

namespace processing {

// What the form shows while a run works (paint only). The default shows nothing.
class MatchingView {
 public:
  virtual ~MatchingView() = default;
  virtual void Status(const std::string& /*text*/) {}
  virtual void Stage(int /*size*/) {}
  virtual void MatchCount(long /*count*/) {}
};

struct AutomaticParameters {
  int currency = 0;            // 0 francs, 1 euros
  std::string formLetter;      // the form's letter of the currency (may be blank)
  std::string startAccount, endAccount;  // 8 characters each
  int power = 2;               // 2 to 12; 0 runs no stage
  std::string dateLimit;       // StoredDate YYMMDD: later lines take no part
  MatchClock clock;            // milliseconds; empty: SteadyMatchClock
  std::uint64_t deadline = 0;  // on that clock
};

struct AutomaticOutcome {
  long matches = 0;                       // groups lettered over the whole run
  long accounts = 0;                      // accounts processed
  bool interrupted = false;               // the deadline passed
  bool refused = false;                   // a write was refused: the run stopped there
  std::vector<std::string> outOfLetters;  // accounts whose matching stopped with no letter left
};

// The run ("Lettrer"). C60 must be in C60CODE order.
AutomaticOutcome RunAutomaticMatching(const MatchTables& t, const AutomaticParameters& p, MatchingView* view = nullptr);

// The removal of letters ("DeLettrer"): every letter of the currency on the lines of the range that
// have an amount in it (all), or only those equal to `letter`. Returns the lines visited (all)
// or the lines unlettered.
long RemoveLetters(const MatchTables& t, int currency, const std::string& startAccount, const std::string& endAccount,
                   bool all, const std::string& letter, MatchingView* view = nullptr);

// The copy of the letters between francs and euros ("CopierLettrages") on the lines of the range that have
// an amount in `currency`: a letter present in one currency only is copied into the other.
// Returns the lines visited.
long CopyLetters(const MatchTables& t, int currency, const std::string& startAccount, const std::string& endAccount,
                 MatchingView* view = nullptr);

// The name of the letter operations in the dossier's run marker.
inline constexpr const char* kMatchingRun = "lettrage-automatique";

// Runs a letter operation of the form (the run, the removal, the copy) as one change of the
// dossier: C40, C50 and C60 copied aside and the run marker written first, so that an operation
// a crash stops half-way (letters on some lines of a group and not on its partners) is named
// at the next opening and put back; the copies are removed when `work` ends. False, with the
// French refusal in *refusal, when the copies or the marker could not be made: `work` has not run.
bool RunMatchingGuarded(const MatchTables& t, const std::function<void()>& work, std::string* refusal);

}  // namespace processing
