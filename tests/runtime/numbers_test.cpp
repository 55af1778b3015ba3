#include "runtime/numbers.h"

#include "runtime_helpers_fixture.h"

using Numbers = RuntimeHelpersTest;

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

TEST_F(Numbers, ConvertStoredAndDisplayDates) {
  struct Row { const char* in; const char* out; } rows[] = {
      {"A50115", "15/01/05"}, {"15/01/95", "950115"}, {"0115", "*"},          {"", "*"},
      {"C91231", "31/12/29"}, {"01/01/30", "D00101"}, {"01/01/56", "560101"}, {"01/01/55", "F50101"},
      {"1/02/05", "5 2/1/"},
  };
  for (const auto& r : rows) EXPECT_STREQ(ConvertDate(r.in), r.out) << r.in;

  // Two alternating buffers: a result survives the next conversion.
  char* a = ConvertDate("A50115");
  char* b = ConvertDate("B50115");
  EXPECT_STREQ(a, "15/01/05");
  EXPECT_STREQ(b, "15/01/15");

  struct YearRow { const char* in; const char* enc; const char* dec; } years[] = {
      {"35", "D5", "35"}, {"95", "95", "95"}, {"C5", "C5", "25"},
  };
  for (const auto& y : years) {
    EXPECT_STREQ(EncodeYear(y.in), y.enc) << y.in;
    EXPECT_STREQ(DecodeYear(y.in), y.dec) << y.in;
  }
  // Stored dates sort in time order across 1999/2000 and 2029/2030.
  EXPECT_LT(std::string("991231"), std::string("A00101"));
  EXPECT_LT(std::string("C91231"), std::string("D00101"));
}

TEST_F(Numbers, DateChecksAndDaySteps) {
  struct Valid { const char* text; bool ok; } valids[] = {
      {"29/02/00", true},  {"29/02/01", false}, {"31/04/05", false}, {"1/02/05", false},
      {"15/01/A5", false}, {"A00229", true},    {"D00229", false},   {"D20229", true},
      {"00/01/05", false}, {"15/13/05", false}, {"15/01/ 5", false}, {"15-01-05", false},
      {"", false},         {"15/01/2026", false}, {"??????", false},
  };
  for (const auto& v : valids) EXPECT_EQ(IsValidDate(v.text), v.ok) << v.text;
  EXPECT_FALSE(IsValidDate(nullptr));
  EXPECT_TRUE(IsValidDmy(29, 2, 0));
  EXPECT_FALSE(IsValidDmy(29, 2, 30));  // 2030
  EXPECT_TRUE(IsValidDmy(29, 2, 32));   // 2032

  struct Step { const char* in; const char* next; const char* prev; } steps[] = {
      {"991231", "A00101", "991230"}, {"A10228", "A10301", "A10227"}, {"A40228", "A40229", "A40227"},
      {"D00101", "D00102", "C91231"}, {"31/12/29", "D00101", "C91230"}, {"A10230", "A10301", "A10228"},
      {"300101", "300102", "300101"},
  };
  for (const auto& s : steps) {
    EXPECT_STREQ(NextDay(s.in), s.next) << s.in;
    EXPECT_STREQ(PrevDay(s.in), s.prev) << s.in;
  }
  EXPECT_STREQ(NextDay("garbage"), "");
  EXPECT_STREQ(NextDay(nullptr), "");
}

TEST_F(Numbers, FullYearWindowAndForms) {
  struct Row { int yy, year; } rows[] = {{30, 2030}, {55, 2055}, {56, 1956}, {0, 2000}};
  for (const auto& r : rows) EXPECT_EQ(FullYearFromTwoDigits(r.yy), r.year) << r.yy;
  Ymd d;
  ASSERT_TRUE(ParseStoredDate("D00101", d));
  EXPECT_EQ(YyyymmddOf(d), "20300101");
  EXPECT_EQ(DisplayDateOf(d), "01/01/30");
  EXPECT_EQ(PrintDateOf(d), "01/01/2030");
  EXPECT_EQ(StoredDateOf(Ymd{2029, 12, 31}), "C91231");
  EXPECT_EQ(StoredDateOf(Ymd{1929, 12, 31}), "");
  EXPECT_EQ(DaysFromCivil(Ymd{2030, 1, 1}) - DaysFromCivil(Ymd{2029, 12, 31}), 1);
  EXPECT_EQ(YyyymmddOf(CivilFromDays(DaysFromCivil(Ymd{2000, 2, 29}))), "20000229");
  EXPECT_FALSE(ParseYyyymmdd("21000229", d));  // 2100 is not a leap year
  EXPECT_TRUE(ParseYyyymmdd("20000229", d));
}
