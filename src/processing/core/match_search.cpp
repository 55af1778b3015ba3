#include "processing/core/match_search.h"

#include <algorithm>
#include <chrono>

namespace processing {

namespace {
// Accounts up to this many candidates get the table of pair sums (about n * n / 2 entries).
constexpr int kPairTableLimit = 1500;
}  // namespace

MatchClock SteadyMatchClock() {
  return [] {
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
  };
}

MatchSearch::MatchSearch(std::vector<long long> amounts, int power, MatchClock clock, std::uint64_t deadline)
    : amounts_(std::move(amounts)), power_(std::min(power, kMaxPower)), clock_(std::move(clock)), deadline_(deadline) {
  n_ = static_cast<int>(amounts_.size());
  // An amount of 0 marks a line already matched, as it does in the run's working data.
  matched_.assign(amounts_.size(), 0);
  for (std::size_t i = 0; i < amounts_.size(); ++i) matched_[i] = amounts_[i] == 0 ? 1 : 0;
}

bool MatchSearch::Step() {
  ++result_.steps;
  if (--untilClock_ > 0) return false;
  untilClock_ = kClockEvery;
  return Tick();
}

bool MatchSearch::Tick() {
  if (clock_ && clock_() >= deadline_) {
    result_.interrupted = true;
    stop_ = true;
  }
  return stop_;
}

void MatchSearch::MakeBounds() {
  const int levels = std::max(power_, 1);
  low_.assign(static_cast<std::size_t>(levels), std::vector<long long>(static_cast<std::size_t>(n_) + 1, 0));
  high_ = low_;
  count_.assign(static_cast<std::size_t>(n_) + 1, 0);
  std::vector<long long> smallest, largest;  // the `levels` smallest ascending, largest descending
  for (int j = n_ - 1; j >= 0; --j) {
    count_[static_cast<std::size_t>(j)] = count_[static_cast<std::size_t>(j) + 1];
    if (Unmatched(j)) {
      ++count_[static_cast<std::size_t>(j)];
      const long long a = amounts_[static_cast<std::size_t>(j)];
      smallest.insert(std::upper_bound(smallest.begin(), smallest.end(), a), a);
      if (static_cast<int>(smallest.size()) > levels) smallest.pop_back();
      largest.insert(std::upper_bound(largest.begin(), largest.end(), a, std::greater<long long>()), a);
      if (static_cast<int>(largest.size()) > levels) largest.pop_back();
    }
    long long lo = 0, hi = 0;
    for (int r = 1; r < levels; ++r) {
      if (r <= static_cast<int>(smallest.size())) {
        lo += smallest[static_cast<std::size_t>(r) - 1];
        hi += largest[static_cast<std::size_t>(r) - 1];
      }
      low_[static_cast<std::size_t>(r)][static_cast<std::size_t>(j)] = lo;
      high_[static_cast<std::size_t>(r)][static_cast<std::size_t>(j)] = hi;
    }
  }
}

void MatchSearch::MakePairs() {
  pairs_.clear();
  for (int i = 0; i < n_; ++i) {
    if (!Unmatched(i)) continue;
    for (int j = i + 1; j < n_; ++j)
      if (Unmatched(j)) pairs_[amounts_[static_cast<std::size_t>(i)] + amounts_[static_cast<std::size_t>(j)]].emplace_back(i, j);
  }
  havePairs_ = true;
}

MatchSearchResult MatchSearch::Run() {
  result_ = MatchSearchResult{};
  stop_ = false;
  for (int i = 0; i < n_; ++i)
    if (Unmatched(i)) byAmount_[amounts_[static_cast<std::size_t>(i)]].push_back(i);
  for (int size = 2; size <= power_ && !stop_; ++size) {
    if (onStage_) onStage_(size);
    if (Tick()) break;
    if (size == 3 && n_ <= kPairTableLimit) MakePairs();
    MakeBounds();
    chosen_.assign(static_cast<std::size_t>(size), 0);
    Stage(size);
  }
  return result_;
}

bool MatchSearch::Stage(int size) {
  // The first level: a group found leaves its first line matched, and the next first line
  // follows.
  for (int i = 0; i <= n_ - size && !stop_; ++i) {
    if (Step()) return false;
    if (!Unmatched(i)) continue;
    const long long s = amounts_[static_cast<std::size_t>(i)];
    const int r = size - 1;
    const std::size_t next = static_cast<std::size_t>(i) + 1;
    if (count_[next] < r || -s < low_[static_cast<std::size_t>(r)][next] || -s > high_[static_cast<std::size_t>(r)][next])
      continue;
    chosen_[0] = i;
    Level(size, 1, i + 1, s);
  }
  return !stop_;
}

bool MatchSearch::Level(int size, int t, int from, long long sum) {
  const int left = size - t;  // lines still to choose, this level's included
  if (left == 1) return LookupLast(size, from, sum);
  if (left == 2 && havePairs_) return LookupPair(size, from, sum);
  const int r = left - 1;
  for (int i = from; i <= n_ - left; ++i) {
    if (Step()) return false;
    if (!Unmatched(i)) continue;
    const long long s = sum + amounts_[static_cast<std::size_t>(i)];
    const std::size_t next = static_cast<std::size_t>(i) + 1;
    if (count_[next] < r || -s < low_[static_cast<std::size_t>(r)][next] || -s > high_[static_cast<std::size_t>(r)][next])
      continue;
    chosen_[static_cast<std::size_t>(t)] = i;
    if (Level(size, t + 1, i + 1, s)) return true;
    if (stop_) return false;
  }
  return false;
}

bool MatchSearch::LookupLast(int size, int from, long long sum) {
  if (Step()) return false;
  const auto it = byAmount_.find(-sum);
  if (it == byAmount_.end()) return false;
  const std::vector<int>& at = it->second;
  for (auto p = std::lower_bound(at.begin(), at.end(), from); p != at.end(); ++p) {
    if (!Unmatched(*p)) continue;
    chosen_[static_cast<std::size_t>(size) - 1] = *p;
    return Found(size);
  }
  return false;
}

bool MatchSearch::LookupPair(int size, int from, long long sum) {
  if (Step()) return false;
  const auto it = pairs_.find(-sum);
  if (it == pairs_.end()) return false;
  const auto& at = it->second;
  for (auto p = std::lower_bound(at.begin(), at.end(), std::make_pair(from, -1)); p != at.end(); ++p) {
    if (!Unmatched(p->first) || !Unmatched(p->second)) continue;
    chosen_[static_cast<std::size_t>(size) - 2] = p->first;
    chosen_[static_cast<std::size_t>(size) - 1] = p->second;
    return Found(size);
  }
  return false;
}

bool MatchSearch::Found(int size) {
  std::vector<int> group(chosen_.begin(), chosen_.begin() + size);
  if (onGroup_ && !onGroup_(group)) {
    result_.stopped = true;
    stop_ = true;
    return false;
  }
  for (int i : group) matched_[static_cast<std::size_t>(i)] = 1;
  result_.groups.push_back(std::move(group));
  return true;
}

}  // namespace processing
