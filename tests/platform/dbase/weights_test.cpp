// The collation of character keys: cp1252 letters sort with their base letter.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "weights.h"

namespace dbase {
namespace {

TEST(CollationWeights, AccentedLettersSortWithTheirBaseLetter) {
  const std::uint8_t* w = CollationWeights();
  std::vector<bool> seen(256, false);
  for (int i = 0; i < 256; ++i) {
    EXPECT_FALSE(seen[w[i]]) << "weight used twice: " << i;
    seen[w[i]] = true;
  }
  // Each list is in ascending order.
  const std::vector<std::vector<std::string>> orders = {
      {"e", "\xE8", "\xE9", "\xEA", "\xEB", "f"},
      {"Z", "a"},  // upper case before lower case
      {"cote", "cotes", "c\xF4te", "d"},
  };
  for (const auto& order : orders) {
    for (std::size_t i = 0; i + 1 < order.size(); ++i) {
      SCOPED_TRACE(order[i] + " < " + order[i + 1]);
      EXPECT_LT(CompareWeighted(order[i], order[i + 1]), 0);
      EXPECT_GT(CompareWeighted(order[i + 1], order[i]), 0);
    }
  }
  EXPECT_EQ(CompareWeighted("\xE9t\xE9", "\xE9t\xE9"), 0);
  // Long keys: a single differing byte at every position, both ways round, decides as the
  // weights of that byte say, whatever the length and the bytes around it.
  const std::uint8_t* weight = CollationWeights();
  const unsigned char pairs[][2] = {{'e', 0xE9}, {'Z', 'a'}, {' ', 0x80}};
  for (std::size_t n = 1; n <= 40; ++n) {
    for (std::size_t pos = 0; pos < n; ++pos) {
      for (const auto& p : pairs) {
        std::string x(n, 'Q'), y(n, 'Q');
        for (std::size_t k = 0; k < n; ++k) x[k] = y[k] = static_cast<char>('A' + (k * 7) % 26);
        x[pos] = static_cast<char>(p[0]);
        y[pos] = static_cast<char>(p[1]);
        const int want = weight[p[0]] < weight[p[1]] ? -1 : 1;
        SCOPED_TRACE("length " + std::to_string(n) + ", byte " + std::to_string(pos));
        EXPECT_EQ(CompareWeighted(x.data(), y.data(), n), want);
        EXPECT_EQ(CompareWeighted(y.data(), x.data(), n), -want);
        EXPECT_EQ(CompareWeighted(x.data(), x.data(), n), 0);
        // A later difference never outweighs an earlier one.
        if (pos + 1 < n) {
          y[n - 1] = static_cast<char>(x[n - 1] == 'A' ? 'B' : 'A');
          EXPECT_EQ(CompareWeighted(x.data(), y.data(), n), want);
        }
      }
    }
  }
  EXPECT_EQ(BaseLetter(0xE9), 'e');
  EXPECT_EQ(BaseLetter('#'), '#');
}

}  // namespace
}  // namespace dbase
