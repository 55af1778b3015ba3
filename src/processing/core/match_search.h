// The search of the automatic matching: among one account's candidates (signed amounts in cents,
// in C60CODE order) the groups of 2 to P lines whose amounts add up to exactly 0.
//
// Each line goes to the first balanced group among the lines not yet matched, smaller groups
// before larger ones and, among groups of one size, in lexicographic order of their indexes: the
// order in which the run letters them. The search finds the same groups as trying every
// combination in that order, with far less work:
//   - the partial sum of the outer levels is carried down, never added again;
//   - a branch is cut when minus its partial sum lies outside what the remaining r levels can
//     add, bounded by the r smallest and the r largest amounts from the next index on (a branch
//     whose bound excludes 0 holds no balanced group, so the first group found is unchanged);
//   - the last level is looked up, not tried: the first unmatched index after the current one
//     whose amount is minus the partial sum; with few candidates the last two levels are looked
//     up in a table of the pairs' sums.
// After a group is found every combination that shares its first line holds a matched line, so
// the search goes on with the next first line.
//
// The deadline is read from the clock every few thousand steps at every level; once it has
// passed the search stops at once, keeping the groups found so far.
#pragma once

#include <cstdint>
#include <functional>
#include <unordered_map>
#include <vector>

namespace processing {

// Milliseconds of a monotonic clock that does not wrap.
using MatchClock = std::function<std::uint64_t()>;
MatchClock SteadyMatchClock();

struct MatchSearchResult {
  std::vector<std::vector<int>> groups;  // candidate indexes, ascending, in lettering order
  bool interrupted = false;              // the deadline passed
  bool stopped = false;                  // the group callback asked to stop
  std::uint64_t steps = 0;               // nodes visited and look-ups made
};

class MatchSearch {
 public:
  // Largest group size (the form's power goes from 2 to 12).
  static constexpr int kMaxPower = 12;
  // Steps between two readings of the clock.
  static constexpr std::uint64_t kClockEvery = 2048;

  // Called for each group found, in order; false stops the search (the group is still counted
  // as found by the caller's choice: it is not in the result).
  using GroupFound = std::function<bool(const std::vector<int>& group)>;
  // Called when a stage begins (its size), for the form's stage number.
  using StageBegins = std::function<void(int size)>;

  MatchSearch(std::vector<long long> amounts, int power, MatchClock clock, std::uint64_t deadline);

  void OnGroup(GroupFound f) { onGroup_ = std::move(f); }
  void OnStage(StageBegins f) { onStage_ = std::move(f); }

  MatchSearchResult Run();

 private:
  bool Stage(int size);
  // Level `t` of a stage of `size` lines, choosing from index `from` on with partial sum `sum`.
  // Returns true when a group was found (the caller goes back to the first level).
  bool Level(int size, int t, int from, long long sum);
  bool LookupLast(int size, int from, long long sum);
  bool LookupPair(int size, int from, long long sum);
  bool Found(int size);
  bool Tick();
  // One step of the search; reads the clock every kClockEvery steps. True when it must stop.
  bool Step();
  void MakeBounds();
  void MakePairs();
  bool Unmatched(int i) const { return !matched_[static_cast<std::size_t>(i)]; }

  std::vector<long long> amounts_;
  std::vector<char> matched_;
  int n_ = 0;
  int power_ = 0;
  MatchClock clock_;
  std::uint64_t deadline_ = 0;
  GroupFound onGroup_;
  StageBegins onStage_;
  MatchSearchResult result_;
  bool stop_ = false;
  std::uint64_t untilClock_ = kClockEvery;
  std::vector<int> chosen_;
  // low_[r][j] / high_[r][j]: the sum of the r smallest / largest unmatched amounts from index j
  // on (valid bounds also after more lines are matched); count_[j] unmatched lines from j on.
  std::vector<std::vector<long long>> low_, high_;
  std::vector<int> count_;
  // Indexes of each amount, ascending.
  std::unordered_map<long long, std::vector<int>> byAmount_;
  // Pairs (i < j) of each sum, in lexicographic order; built only for small accounts.
  std::unordered_map<long long, std::vector<std::pair<int, int>>> pairs_;
  bool havePairs_ = false;
};

}  // namespace processing
