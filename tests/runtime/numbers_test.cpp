#include "runtime/numbers.h"

#include "support/runtime_fixture.h"

using Numbers = test_support::RuntimeTest;

TEST_F(Numbers, FormatNumberAndGrouping) {
  struct Row { std::string got; const char* expected; } rows[] = {
      {FormatNumber(10, 2, false, 1234.5), "   1234.50"},
      {FormatNumber(10, 2, false, 12345678901.0), "**********"},
      {FormatNumber(10, 9, false, 1.0), "**********"},
      {FormatNumber(8, 2, true, -12.5), "00-12.50"},
      {FormatNumber(5, 0, false, 2.5), "    2"},  // the platform's rounding: half to even
      {FormatNumber(6, 2, false, -0.004), " -0.00"},
      {GroupThousands(14, 2, 1234567.89), "  1 234 567.89"},
      {GroupThousands(14, 2, 12345678901.5), "12345678901.50"},  // full width: not grouped
      {GroupThousands(30, 2, 1.0), "                1.00"},  // width capped at 20
  };
  for (const auto& r : rows) EXPECT_EQ(r.got, r.expected);
}

TEST_F(Numbers, AmountsInSeventeenCharacters) {
  struct Row { double v; const char* expected; } rows[] = {
      {1234.5, "      1 234.50 Db"},
      {-1234.5, "      1 234.50 Cr"},
      {0.004, "          0.00   "},
      {-0.004, "          0.00   "},  // a zero amount never shows a minus
      {1e15, "************** Db"},
  };
  for (const auto& r : rows) {
    std::string got = FormatAmount(r.v);
    EXPECT_EQ(got, r.expected) << r.v;
  }
  // 13 integer digits with grouping do not fit 14: partly grouped, sign kept.
  EXPECT_EQ(std::string(FormatAmount(-1234567890.12)), "1234567 890.12 Cr");
  EXPECT_EQ(std::string(FormatAmountPlain(-1234.5)), "       1234.50 Cr");
  EXPECT_EQ(std::string(FormatAmountPlain(0)), "          0.00   ");
}

TEST_F(Numbers, ValRoundAndEquality) {
  struct ValRow { const char* text; double expected; } vals[] = {
      {"1 234.50", 1234.5}, {"12. 5", 12.05}, {"12,75", 12.0}, {"abc", 0.0}, {"  -3.5", -3.5},
      {"      1 234.50 Db", 1234.5},          {"1e400", 1.0},  {"123456789012345678901234", 12345678901234567890.0},
  };
  for (const auto& r : vals) EXPECT_DOUBLE_EQ(Val(r.text), r.expected) << r.text;
  EXPECT_DOUBLE_EQ(Val(nullptr), 0.0);

  struct RoundRow { int n; double v, expected; } rounds[] = {
      {2, 2.345, 2.35}, {2, -2.345, -2.35}, {0, 2.5, 3.0}, {2, 1.005, 1.01}, {5, 1.234565, 1.23457},
      {2, 1e15, 0.0},
  };
  for (const auto& r : rounds) EXPECT_DOUBLE_EQ(Round(r.n, r.v), r.expected) << r.n << " " << r.v;

  struct EqRow { double a, b; bool equal; } eqs[] = {
      {10.004, 10.0, true}, {10.01, 10.0, false}, {0.1 + 0.2, 0.3, true}, {-5.0, 5.0, false},
  };
  for (const auto& r : eqs) EXPECT_EQ(AmountsEqual(r.a, r.b), r.equal) << r.a << " " << r.b;

  EXPECT_EQ(ToCents(2.345), 235);
  EXPECT_EQ(ToCents(-0.105), -11);
  EXPECT_DOUBLE_EQ(FromCents(-1234), -12.34);
  EXPECT_DOUBLE_EQ(Abs(-3.25), 3.25);
}

