#include "runtime/numbers.h"
#include "runtime/text.h"

#include <cmath>
#include <limits>

#include "support/runtime_fixture.h"

using Numbers = test_support::RuntimeTest;

// Text read as a number: the first 20 characters, ". " as ".0", blanks dropped, a point.
TEST_F(Numbers, Val) {
  struct Case { const char* text; double want; } cases[] = {
      {"abc", 0},       {"- 3.5", -3.5}, {"--3", 0},     {"1.2.3", 1.2},
      {"12. 5", 12.05}, {"12,75", 12},   {"      1 234.50 Db", 1234.5},  {"1e400", 1},   {"-nan", 0},
      {"+3.5", 3.5},    {"-.5", -0.5},   {"1..2", 1},    {"1 . 5", 1.05},  // signs and points
      {"123456789012345678901234", 12345678901234567890.0},    // cut at 20 characters
      {"                   12", 1},                            // the 21st character is not read
  };
  for (const Case& c : cases) EXPECT_DOUBLE_EQ(Val(c.text), c.want) << "Val(\"" << c.text << "\")";
  EXPECT_DOUBLE_EQ(Val(nullptr), 0.0);
}

// Half away from zero, 0 to 5 decimals, nothing past 14 integer positions.
TEST_F(Numbers, Round) {
  struct Case { int n; double v, want; } cases[] = {
      {2, -2.345, -2.35},     {0, 2.49999, 2},       {2, 1.005, 1.01},      {5, 1.234565, 1.23457},
      {5, 1.234561, 1.23456},  {9, 1.2345678, 1.23457}, {2, 99999999999999.0, 99999999999999.0}, {2, 1e15, 0},
      {2, -99999999999999.0, 0},  // with its sign, 15 positions
  };
  for (const Case& c : cases) EXPECT_DOUBLE_EQ(Round(c.n, c.v), c.want) << "Round(" << c.n << ", " << c.v << ")";
  EXPECT_FALSE(std::signbit(Round(2, -0.001))) << "a rounded zero has no sign";
  EXPECT_DOUBLE_EQ(Round(2, std::numeric_limits<double>::quiet_NaN()), 0);
}

// "%<width>.<decimals>f", asterisks when it cannot be shown.
TEST_F(Numbers, FormatNumber) {
  struct Case { int width, decimals; bool zeros; double v; const char* want; } cases[] = {
      {10, 2, false, 12345678901.0, "**********"},
      {8, 2, true, -12.5, "00-12.50"},                        // every blank becomes "0"
      {6, 2, false, Round(2, -0.004), "  0.00"},
      {25, 2, false, 1.0, "*************************"},      // wider than 20
      {-3, 0, false, 1.0, ""},
      {6, 2, false, std::numeric_limits<double>::infinity(), "******"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(std::string(FormatNumber(c.width, c.decimals, c.zeros, c.v)), c.want)
        << "FormatNumber(" << c.width << ", " << c.decimals << ", " << c.zeros << ", " << c.v << ")";
}

TEST_F(Numbers, GroupedAmounts) {
  struct Case { std::string got; const char* want; } cases[] = {
      {GroupedAmount(123456789, 14), "  1 234 567.89"},
      {GroupedAmount(100, 20), "                1.00"},
      {BalanceAmount(ToCents(-0.004)), "          0.00   "},             // a zero amount never shows a minus
      {BalanceAmount(100000000000000000), "1 000 000 000 000 000.00 Db"},  // never asterisks
      {BalanceAmount(-123456789012), "1 234 567 890.12 Cr"},              // never grouped in part
      {Trimmed(BalanceAmount(1250)), "12.50 Db"},
      {Trimmed(BalanceAmount(-123450)), "1 234.50 Cr"},
      {Trimmed(BalanceAmount(0)), "0.00"},
      {GroupedNumber("-1234567.8"), "-1 234 567.8"},
      {GroupedNumber("123"), "123"},
      {GroupedNumber("  -1000000"), "  -1 000 000"},
      {GroupedNumber("abc"), "abc"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want);
  EXPECT_TRUE(AmountsEqual(10.004, 10.0));
  EXPECT_FALSE(AmountsEqual(10.01, 10.0));
  EXPECT_EQ(ToCents(-0.105), -11);
}

// The reports' amounts grouped whole at every width an amount field takes, either way, and far
// past it: never in part, never asterisks; a balance is FormatAmount's text as long as that one
// is whole.
TEST_F(Numbers, AmountsGroupedWhole) {
  struct Case { long long cents; int width; const char* grouped; const char* balance; } cases[] = {
      {0, 14, "          0.00", "          0.00   "},
      {-1, 0, "-0.01", "          0.01 Cr"},
      {123456, 14, "      1 234.56", "      1 234.56 Db"},
      {-99999999999, 14, "-999 999 999.99", "999 999 999.99 Cr"},
      {100000000000, 14, "1 000 000 000.00", "1 000 000 000.00 Db"},
      {9999999999999, 20, "   99 999 999 999.99", "99 999 999 999.99 Db"},
      {-9999999999999, 14, "-99 999 999 999.99", "99 999 999 999.99 Cr"},
      {-999999999999999999, 0, "-9 999 999 999 999 999.99", "9 999 999 999 999 999.99 Cr"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GroupedAmount(c.cents, c.width), c.grouped) << c.cents;
    EXPECT_EQ(BalanceAmount(c.cents), c.balance) << c.cents;
  }
  // Up to 999 999 999.99 a balance takes 17 characters, its last two its side: the reports' columns
  // of balances hold it.
  for (long long cents = 1; cents < 100000000000; cents = cents * 7 + 3)
    for (long long v : {cents, -cents}) {
      const std::string balance = BalanceAmount(v);
      EXPECT_EQ(balance.size(), 17u) << v;
      EXPECT_EQ(balance.substr(14), v > 0 ? " Db" : " Cr") << v;
      std::string digits;
      for (char c : balance.substr(0, 14))
        if (c != ' ') digits += c;
      EXPECT_EQ(digits, AmountDigits(FromCents(v < 0 ? -v : v))) << v;
    }
  // In a sentence: no blank around, the decimal comma.
  struct Sentence { long long cents; const char* text; } sentences[] = {
      {0, "0,00"}, {-1250, "-12,50"}, {11986192546400, "119 861 925 464,00"}, {-123456, "-1 234,56"},
      {9999999999999, "99 999 999 999,99"},
  };
  for (const Sentence& c : sentences) EXPECT_EQ(GroupedAmountText(c.cents), c.text) << c.cents;
}
