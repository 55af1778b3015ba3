// Report variables keep the exact value of numbers and money beside their text: totals past
// 10^9 and 10^11 (where a money text of 14 grows past its width) stay exact.
#include "core_support.h"
#include "runtime/numbers.h"

using namespace test_support;

namespace {

class ExactFieldsTest : public RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    t.SetFieldCount(6);
    t.InitFieldTable();
    const char* definitions[] = {"TOTAL     M142", "MONTANT   M142", "ECART     M172", "NB        N050",
                                 "TAUX      N105", "NOM       C100"};
    for (int n = 0; n < 6; ++n) t.DeclareField(n, definitions[n]);
  }
  ReportFieldTable t;
};

}  // namespace

TEST_F(ExactFieldsTest, TextsAsTodayExactValuesBeside) {
  struct Case {
    double value;
    const char* text;
    std::int64_t cents;
  };
  const Case cases[] = {
      {999999999.99, "999 999 999.99", 99999999999},
      // Wider than the field: every cent and every thousands' blank kept.
      {1000000000.50, "1 000 000 000.50", 100000000050},
      {-1000000000.05, "-1 000 000 000.05", -100000000005},
      {123456789012.34, "123 456 789 012.34", 12345678901234},
      {123456789012345.5, "123 456 789 012 345.50", 12345678901234550},
      {1.005, "          1.01", 101},
      {-0.004, "          0.00", 0},
  };
  for (const Case& c : cases) {
    t.SetFieldNumber(0, c.value);
    EXPECT_EQ(t.Value(0), c.text) << c.value;
    std::int64_t units = 0;
    ASSERT_TRUE(t.GetFieldUnits(0, units));
    EXPECT_EQ(units, c.cents) << c.value;
    EXPECT_EQ(t.GetFieldNumber(0), static_cast<double>(c.cents) / 100) << c.value;
  }
}

TEST_F(ExactFieldsTest, SumsStayExactPast1e11) {
  t.SetFieldNumber(0, 0);
  for (int i = 0; i < 1000; ++i) t.AddFieldNumber(0, 0.01);
  EXPECT_EQ(t.GetFieldNumber(0), 10.0);
  t.SetFieldNumber(0, 0);
  for (int i = 0; i < 3; ++i) t.AddFieldNumber(0, 40000000000.01);
  std::int64_t units = 0;
  ASSERT_TRUE(t.GetFieldUnits(0, units));
  EXPECT_EQ(units, 12000000000003);
  EXPECT_EQ(t.Value(0), "120 000 000 000.03");
  // A total made of another variable, line by line.
  t.SetFieldNumber(1, 999999999.99);
  t.AddField(0, 1);
  ASSERT_TRUE(t.GetFieldUnits(0, units));
  EXPECT_EQ(units, 12000000000003 + 99999999999);
  EXPECT_EQ(t.PlainNumber(0, ','), "121000000000,02");
  // The difference of two amounts beyond their width.
  t.SetFieldNumber(1, 100000000000.10);
  t.SetFieldNumber(0, 0.05);
  t.SetFieldDifference(2, 1, 0);
  ASSERT_TRUE(t.GetFieldUnits(2, units));
  EXPECT_EQ(units, 10000000000005);
  EXPECT_EQ(t.GetFieldNumber(2), 100000000000.05);
  // Past 2^46 cents a double holds no cent exactly any more: the difference is made in cents.
  t.SetFieldUnits(1, 7036874417766413);
  t.SetFieldUnits(0, 1);
  t.SetFieldDifference(2, 1, 0);
  ASSERT_TRUE(t.GetFieldUnits(2, units));
  EXPECT_EQ(units, 7036874417766412);
}

TEST_F(ExactFieldsTest, NumbersKeepTheirOwnDecimals) {
  t.SetFieldNumber(3, 12.5);
  EXPECT_EQ(t.Value(3), "   13");
  EXPECT_EQ(t.GetFieldNumber(3), 13.0);
  t.SetFieldNumber(4, 6.559574);
  EXPECT_EQ(t.Value(4), "   6.55957");
  EXPECT_EQ(t.FieldScale(4), 5);
  EXPECT_EQ(t.PlainNumber(4, '.'), "6.55957");
  t.AddField(3, 4);  // 13 + 6.55957 at no decimals
  EXPECT_EQ(t.GetFieldNumber(3), 20.0);
  // Text written into a number gives its value; a text field has none.
  t.SetFieldText(1, "   -1 234.56");
  EXPECT_EQ(t.PlainNumber(1, ','), "-1234,56");
  std::int64_t units = 0;
  EXPECT_FALSE(t.GetFieldUnits(5, units));
  EXPECT_EQ(t.PlainNumber(5, ','), "");
  t.ClearFieldValues();
  EXPECT_EQ(t.PlainNumber(0, ','), "0,00");
  // Amounts below one, whole numbers, a decimal number below one, each sign.
  const struct {
    int field;
    std::int64_t units;
    const char* plain;
  } plains[] = {{1, -5, "-0,05"}, {1, 7, "0,07"}, {1, -100, "-1,00"}, {1, 123456789012, "1234567890,12"},
                {3, 42, "42"},    {3, -7, "-7"},  {3, 0, "0"},       {4, 5, "0,00005"},
                {4, -123456, "-1,23456"}};
  for (const auto& c : plains) {
    t.SetFieldUnits(c.field, c.units);
    EXPECT_EQ(t.PlainNumber(c.field, ','), c.plain) << c.units;
  }
}
