// The search of the automatic matching, without tables: its groups on the small accounts of the
// edge cases, the same groups in the same order as the plain enumeration of every combination on
// thousands of random accounts, and the deadline read inside the levels on an injected clock.
#include <gtest/gtest.h>

#include <random>

#include "processing/core/match_search.h"

namespace {

using processing::MatchSearch;
using Groups = std::vector<std::vector<int>>;

Groups Search(const std::vector<long long>& amounts, int power) {
  MatchSearch search(amounts, power, [] { return std::uint64_t{0}; }, ~std::uint64_t{0});
  return search.Run().groups;
}

// Every combination of 2, then 3 ... P lines in lexicographic order; a combination of unmatched
// lines whose sum is 0 becomes a group and its lines are matched.
Groups PlainEnumeration(const std::vector<long long>& amounts, int power) {
  const int n = static_cast<int>(amounts.size());
  std::vector<char> matched(amounts.size(), 0);
  Groups groups;
  for (int k = 2; k <= power; ++k) {
    if (k > n) break;
    std::vector<int> idx(static_cast<std::size_t>(k));
    for (int i = 0; i < k; ++i) idx[static_cast<std::size_t>(i)] = i;
    for (;;) {
      bool free = true;
      long long sum = 0;
      for (int i : idx) {
        free = free && !matched[static_cast<std::size_t>(i)];
        sum += amounts[static_cast<std::size_t>(i)];
      }
      if (free && sum == 0) {
        for (int i : idx) matched[static_cast<std::size_t>(i)] = 1;
        groups.push_back(idx);
      }
      int t = k - 1;
      while (t >= 0 && idx[static_cast<std::size_t>(t)] == n - k + t) --t;
      if (t < 0) break;
      ++idx[static_cast<std::size_t>(t)];
      for (int u = t + 1; u < k; ++u) idx[static_cast<std::size_t>(u)] = idx[static_cast<std::size_t>(u) - 1] + 1;
    }
  }
  return groups;
}

struct Case {
  const char* what;
  std::vector<long long> amounts;  // cents, C60CODE order
  int power;
  Groups groups;
};

TEST(MatchSearchTest, TheEdgeCasesGiveTheGroupsInLetteringOrder) {
  const Case cases[] = {
      {"a pair", {10000, -10000}, 2, {{0, 1}}},
      {"50/30/80 at power 2", {5000, 3000, -8000}, 2, {}},
      {"50/30/80 at power 3", {5000, 3000, -8000}, 3, {{0, 1, 2}}},
      {"10/10/10: the first debit", {1000, 1000, -1000}, 2, {{0, 2}}},
      {"one sign only", {1000, 2000, 3000}, 4, {}},
      {"pairs before triples", {5000, 3000, -8000, 8000}, 3, {{2, 3}}},
      {"two pairs in order", {100, 200, -100, -200}, 2, {{0, 2}, {1, 3}}},
      {"a line in one group only", {100, -100, 100, -100, 100}, 3, {{0, 1}, {2, 3}}},
      {"power 0", {100, -100}, 0, {}},
      {"a matched line (0) is passed over", {100, 0, -100}, 2, {{0, 2}}},
      {"the lexicographic first triple", {100, 100, 100, -200, -200}, 3, {{0, 1, 3}}},
      {"past 10^11 to the cent", {99999999999999LL, -99999999999998LL, -1}, 3, {{0, 1, 2}}},
  };
  for (const Case& c : cases) EXPECT_EQ(Search(c.amounts, c.power), c.groups) << c.what;
}

TEST(MatchSearchTest, TheSearchFindsTheSameGroupsAsThePlainEnumeration) {
  std::mt19937_64 random(29);
  // Amounts from a small set, both signs, so that balanced groups overlap and compete.
  const long long values[] = {100, 250, 300, 350, 500, 600, 1000, 1250};
  int accounts = 0, withGroups = 0, bigGroups = 0;
  for (; accounts < 3000; ++accounts) {
    const int n = 2 + static_cast<int>(random() % 23);
    const int power = 2 + static_cast<int>(random() % 5);
    std::vector<long long> amounts;
    for (int i = 0; i < n; ++i) {
      const long long v = values[random() % (sizeof values / sizeof values[0])];
      amounts.push_back(random() % 2 ? v : -v);
    }
    const Groups expected = PlainEnumeration(amounts, power);
    ASSERT_EQ(Search(amounts, power), expected) << "account " << accounts << " n " << n << " power " << power;
    withGroups += expected.empty() ? 0 : 1;
    for (const auto& g : expected) bigGroups += g.size() >= 4 ? 1 : 0;
  }
  EXPECT_GT(withGroups, 2000);
  EXPECT_GT(bigGroups, 100) << "groups of four lines and more were compared too";
}

TEST(MatchSearchTest, TheDeadlineStopsTheSearchInsideTheLevelsAndKeepsItsGroups) {
  // 200 lines at power 12: a pair, then amounts that never balance (each 1 modulo 13, so a
  // group of 2 to 12 of them sums to 2 to 12 modulo 13) but overlap enough to defeat the bounds.
  std::vector<long long> amounts = {700, -700};
  std::mt19937_64 random(7);
  for (int i = 0; i < 198; ++i) {
    const long long v = 13 * static_cast<long long>(random() % 1000) + 1;
    amounts.push_back(i % 2 ? v : 1 - 13 * static_cast<long long>(random() % 1000) - 13);
  }
  std::uint64_t now = 0;
  // Each reading of the clock moves it on by one: the deadline passes at the 100th reading.
  MatchSearch search(amounts, 12, [&] { return ++now; }, 100);
  int stages = 0;
  search.OnStage([&](int) { ++stages; });
  const auto result = search.Run();
  const std::uint64_t stepsAtDeadline = 100 * MatchSearch::kClockEvery;
  EXPECT_TRUE(result.interrupted);
  ASSERT_EQ(result.groups.size(), 1u);
  EXPECT_EQ(result.groups[0], (std::vector<int>{0, 1}));
  EXPECT_LE(result.steps, stepsAtDeadline + 2 * MatchSearch::kClockEvery) << "it stopped soon after";
  EXPECT_LT(stages, 12) << "the stages after the deadline were not run";
}

TEST(MatchSearchTest, TheCallerStopsTheSearchWhenItHasNoLetterLeft) {
  MatchSearch search({100, -100, 200, -200, 300, -300}, 2, nullptr, 0);
  int given = 0;
  search.OnGroup([&](const std::vector<int>&) { return ++given <= 2; });
  const auto result = search.Run();
  EXPECT_TRUE(result.stopped);
  EXPECT_EQ(result.groups, (Groups{{0, 1}, {2, 3}}));
}

}  // namespace
