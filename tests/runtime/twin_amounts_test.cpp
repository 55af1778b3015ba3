// Where an amount's twin in the other currency limits it: the largest and smallest amounts taken at the
// francs' rate (a cent more makes a twin of 15 characters), the twin rounded as the forms convert, and no
// limit from a twin when the dossier keeps no rate.
#include "runtime/twin_amounts.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

constexpr double kRate = 6.55957;

TEST(TwinAmounts, TheLimitsAreWhereTheTwinStopsFitting) {
  const struct Case {
    const char* what;
    bool euros;
    double rate;
    long long largest, smallest;
  } cases[] = {
      // 15 244 901 723,74 € are 99 999 999 999,99 F; -1 524 490 172,37 € are -9 999 999 999,97 F.
      {"euros", true, kRate, 1'524'490'172'374, -152'449'017'237},
      // The euros of a franc amount are smaller: the franc field itself is the limit.
      {"francs", false, kRate, kLargestStoredCents, kSmallestStoredCents},
      {"euros without a rate", true, 0, kLargestStoredCents, kSmallestStoredCents},
      {"euros with a rate that is no number", true, std::numeric_limits<double>::quiet_NaN(), kLargestStoredCents,
       kSmallestStoredCents},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const long long largest = LargestAmountTaken(c.euros, c.rate), smallest = SmallestAmountTaken(c.euros, c.rate);
    EXPECT_EQ(largest, c.largest);
    EXPECT_EQ(smallest, c.smallest);
    EXPECT_TRUE(AmountAndTwinHold(largest, c.euros, c.rate));
    EXPECT_TRUE(AmountAndTwinHold(smallest, c.euros, c.rate));
    EXPECT_FALSE(AmountAndTwinHold(largest + 1, c.euros, c.rate));
    EXPECT_FALSE(AmountAndTwinHold(smallest - 1, c.euros, c.rate));
  }
}

TEST(TwinAmounts, TheTwinIsTheFormsConversion) {
  const struct Case {
    long long cents;
    bool euros;
    double rate;
    long long twin;
    bool holds;
  } cases[] = {
      {10000, false, kRate, 1524, true},                          // 100,00 F are 15,24 €
      {1000000, true, kRate, 6559570, true},
      {1, true, kRate, 7, true},                                  // a cent is 0,07 F: never a twin of 0
      {-200'000'000'000, true, kRate, -1'311'914'000'000, false},  // a credit of 2 000 000 000,00 €
      {1'500'000'000'000, true, kRate, 9'839'355'000'000, true},
      {1'600'000'000'000, true, kRate, 10'495'312'000'000, false},
      {kLargestStoredCents, true, 0, 0, true},                     // no rate, no twin
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TwinCents(c.cents, c.euros, c.rate), c.twin) << c.cents;
    EXPECT_EQ(AmountAndTwinHold(c.cents, c.euros, c.rate), c.holds) << c.cents;
  }
  // Far past every field the twin is past every field too, never a 0 that would hold.
  for (const long long cents : {std::numeric_limits<long long>::max() / 4, -std::numeric_limits<long long>::max() / 4}) {
    EXPECT_FALSE(StoredAmountHolds(TwinCents(cents, true, kRate))) << cents;
    EXPECT_FALSE(AmountAndTwinHold(cents, false, kRate)) << cents;
  }
}

}  // namespace
