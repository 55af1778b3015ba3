#include "runtime/backup_paths.h"
#include "runtime/dates.h"
#include "runtime/dossier_record.h"
#include "runtime/numbers.h"
#include "support/runtime_fixture.h"

// The year window is centred on 2026: two-digit years 56-99 are 1956-1999, 00-55 2000-2055.
using Dates = test_support::RuntimeTest;

TEST_F(Dates, StoredAndDisplayForms) {
  struct Case { const char* in; const char* out; } cases[] = {
      {"A50115", "15/01/05"}, {"15/01/95", "950115"}, {"0115", "*"},
      {"C91231", "31/12/29"}, {"01/01/30", "D00101"}, {"01/01/55", "F50101"},
      {"01/01/56", "560101"},  // the first year of the window's last century
  };
  for (const Case& c : cases) EXPECT_STREQ(ConvertDate(c.in), c.out) << c.in;
  // Two alternating buffers: a result survives the next conversion.
  char* a = ConvertDate("A50115");
  ConvertDate("B50115");
  EXPECT_STREQ(a, "15/01/05");
  Ymd d;
  ASSERT_TRUE(ParseStoredDate("D00101", d));
  EXPECT_EQ(YyyymmddOf(d) + " " + DisplayDateOf(d) + " " + PrintDateOf(d), "20300101 01/01/30 01/01/2030");
  EXPECT_EQ(StoredDateOf(Ymd{1929, 12, 31}), "");
}

TEST_F(Dates, ValidDaysAndSteps) {
  struct Valid { const char* text; bool ok; } valids[] = {
      {"29/02/00", true}, {"29/02/01", false}, {"1/02/05", false},    {"D00229", false},
      {"D20229", true},   {"15/13/05", false}, {"15/01/2026", false}, {"??????", false},
  };
  for (const Valid& v : valids) EXPECT_EQ(IsValidDate(v.text), v.ok) << v.text;
  Ymd d;
  EXPECT_FALSE(ParseYyyymmdd("21000229", d));  // 2100 is not a leap year
  EXPECT_TRUE(ParseYyyymmdd("20000229", d));

  struct Step { const char* in; const char* next; const char* prev; } steps[] = {
      {"991231", "A00101", "991230"}, {"A40228", "A40229", "A40227"}, {"D00101", "D00102", "C91231"},
  };
  for (const Step& s : steps) {
    EXPECT_STREQ(NextDay(s.in), s.next) << s.in;
    EXPECT_STREQ(PrevDay(s.in), s.prev) << s.in;
  }
  EXPECT_STREQ(NextDay("garbage"), "");
}

// Every third day over two centuries: the weekday name agrees with the day count.
TEST_F(Dates, WeekdaysAgreeWithTheCalendar) {
  static const char* const kNames[7] = {"DIMANCHE", "LUNDI", "MARDI", "MERCREDI", "JEUDI", "VENDREDI", "SAMEDI"};
  for (long days = DaysFromCivil({1930, 1, 1}); days <= DaysFromCivil({2130, 12, 31}); days += 3) {
    const Ymd date = CivilFromDays(days);
    const int weekday = static_cast<int>(((days % 7) + 7 + 4) % 7);  // 1970-01-01 was a Thursday
    ASSERT_EQ(WeekdayNameOf(date.year, date.month, date.day), kNames[weekday])
        << date.year << "-" << date.month << "-" << date.day;
  }
}

// The dossier record keeps its dates as YYYYMMDD and gives each form of them.
TEST_F(Dates, DossierRecordDates) {
  using DF = DossierRecord::DateField;
  DossierRecord rec;
  ASSERT_TRUE(rec.SetDateYyyymmdd(DF::Working, "20300101"));
  EXPECT_EQ(rec.DateStored(DF::Working), "D00101");
  // Bad dates write nothing; a blank date reads as "".
  EXPECT_FALSE(rec.SetDateDisplay(DF::Working, "31/02/26"));
  EXPECT_FALSE(rec.SetDateStored(DF::Working, "C6013X"));
  EXPECT_EQ(rec.DateYyyymmdd(DF::Working), "20300101");
  EXPECT_TRUE(rec.SetDateYyyymmdd(DF::Working, ""));
  EXPECT_EQ(rec.DateStored(DF::Working), "");
}
