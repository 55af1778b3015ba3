// The period frame of a trial balance (month columns, ageing limits, day counts), the SIREN
// key and the two character sets of the exports.
#include <gtest/gtest.h>

#include <string>

#include "platform/system/code_pages.h"
#include "reports/balances/core/trial_balance_options.h"
#include "runtime/bank_ids.h"
#include "support/python.h"

using namespace balances;

TEST(MonthBack, StepsAsTheAgeingLimitsDo) {
  struct Case { const char* in; bool monthEnd; const char* out; };
  const Case cases[] = {
      {"B40115", false, "B31215"}, {"B40115", true, "B31231"}, {"B40301", true, "B40131"},
      {"B40331", false, "B40228"}, {"A00115", false, "991215"}, {"C40331", false, "C40229"},
  };
  for (const Case& c : cases) {
    std::string d = c.in;
    EXPECT_TRUE(MonthBack(d, c.monthEnd)) << c.in;
    EXPECT_EQ(d, c.out) << c.in << " " << c.monthEnd;
  }
  std::string bad = "B4XX15";
  EXPECT_FALSE(MonthBack(bad, false));
  EXPECT_EQ(bad, "B4XX15");
}

TEST(PeriodFrame, AgeingLimitsOfTheWorkedExamples) {
  struct Case { const char* end; const char* d30; const char* d60; const char* d90; };
  const Case cases[] = {
      {"B30315", "16/02/13", "16/01/13", "16/12/12"},
      {"B30430", "01/04/13", "01/03/13", "01/02/13"},
      {"B30330", "01/03/13", "31/01/13", "31/12/12"},
  };
  for (const Case& c : cases) {
    const PeriodFrame f = MakePeriodFrame(MakeOptions('G', "B30101", c.end), "B30101", "B31231");
    EXPECT_EQ(f.date30, c.d30) << c.end;
    EXPECT_EQ(f.date60, c.d60) << c.end;
    EXPECT_EQ(f.date90, c.d90) << c.end;
  }
}

TEST(PeriodFrame, MonthColumnsFollowThePeriodStartAndDaysAreCounted) {
  const PeriodFrame f = MakePeriodFrame(MakeOptions('G', "B20701", "B20701"), "B20101", "B21231");
  EXPECT_EQ(f.monthColumn[7], 1);
  EXPECT_EQ(f.monthColumn[12], 6);
  EXPECT_EQ(f.monthColumn[1], 7);
  EXPECT_EQ(f.monthColumn[6], 12);
  EXPECT_EQ(f.daysInPeriod, 1);
  EXPECT_EQ(f.daysInYear, 366);
}

TEST(CheckSiren, KeyOfTheLastDigit) {
  struct Case { const char* siren; int answer; };
  const Case cases[] = {
      {"732829320", 0}, {" 732829320 ", 0}, {"732829321", kSirenWrongKey}, {"", kSirenBlank},
      {"         ", kSirenBlank}, {"73282932", kSirenNotNineDigits}, {"7328293A0", kSirenNotNineDigits},
      {"356000000", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(CheckSiren(c.siren), c.answer) << "'" << c.siren << "'";
}

// Code page 850: every cp1252 character the code page holds gives the bytes of Python's own
// codec (iconv's table); the others one ASCII byte, so a text keeps its length.
TEST(CodePages, Cp850AgreesWithAnIndependentTable) {
  const std::string out = test_support::RunPythonScript(
      "import sys\n"
      "for b in range(256):\n"
      "    try:\n"
      "        print(b, bytes([b]).decode('cp1252').encode('cp850')[0])\n"
      "    except Exception:\n"
      "        print(b, -1)\n",
      false);
  int checked = 0;
  std::size_t pos = 0;
  while (pos < out.size()) {
    const std::size_t eol = out.find('\n', pos);
    const std::string line = out.substr(pos, eol - pos);
    pos = eol == std::string::npos ? out.size() : eol + 1;
    int b = 0, expected = 0;
    if (std::sscanf(line.c_str(), "%d %d", &b, &expected) != 2) continue;
    const unsigned char got = platform::Cp1252ToCp850(static_cast<unsigned char>(b));
    if (expected >= 0) {
      EXPECT_EQ(got, expected) << "byte " << b;
      ++checked;
    } else {
      EXPECT_LT(got, 0x80) << "byte " << b;
    }
  }
  EXPECT_GT(checked, 200);
}

TEST(CodePages, Iso885915Forms) {
  struct Case { const char* in; const char* out; };
  const Case cases[] = {
      {"\x80", "\xA4"},          {"\x8C\x9C", "\xBC\xBD"},  {"\x8A\x9A\x8E\x9E\x9F", "\xA6\xA8\xB4\xB8\xBE"},
      {"\x93" "a\x94", "\"a\""}, {"\x96\x97", "--"},        {"\x85", "..."},
      {"\xA4\xA6\xA8\xB4\xB8", "?|\"',"}, {"\xBC\xBD\xBE", "1/41/23/4"}, {"caf\xE9", "caf\xE9"},
  };
  for (const Case& c : cases) EXPECT_EQ(platform::Cp1252ToIso885915(c.in), c.out) << c.in;
}
