// The order of the general sort records as the tag C60CODE gives it (code, date, then record),
// made by counting or by comparison: both agree, on every mix of codes, dates and classes.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "reports/balances/core/balance_source.h"

namespace balances {
namespace {

SortRecord Record(char cls, const std::string& code, const std::string& date) {
  SortRecord r;
  r.cls = cls;
  r.code.Set(code);
  r.date.Set(date);
  r.codeKey = PackText(r.code.c.data(), 8);
  r.dateKey = PackText(r.date.c.data(), 6);
  return r;
}

TEST(GeneralOrder, CodeThenDateThenRecordAndOnlyGeneralRecords) {
  const std::vector<SortRecord> records = {
      Record('Z', "411", "C60105"), Record('Z', "401", "C60301"), Record('W', "SECT1", "C60101"),
      Record('Z', "411", "C60101"), Record('Z', "411", "C60105"), Record('Z', "CLIENT", "C51231"),
      Record('Z', "401", "C60301"), Record('Z', "4", "C60101"),
  };
  const std::vector<std::uint32_t> expected = {7, 1, 6, 3, 0, 4, 5};
  EXPECT_EQ(GeneralOrderOf(records), expected);
  EXPECT_EQ(GeneralOrderOf(records, 0), expected) << "by comparison";
}

TEST(GeneralOrder, CountingAndComparisonAgree) {
  std::mt19937 random(7);
  struct Case {
    int records, codes, dates;
  } cases[] = {{0, 1, 1}, {1, 1, 1}, {500, 3, 400}, {5000, 900, 12}, {20000, 40, 365}, {3000, 3000, 3000}};
  for (const Case& c : cases) {
    std::vector<SortRecord> records;
    for (int i = 0; i < c.records; ++i) {
      const std::string code = std::to_string(40000000 + static_cast<int>(random() % c.codes) * 37);
      const int day = static_cast<int>(random() % c.dates);
      const std::string date = std::string(1, "BC"[day % 2]) + std::to_string(1000 + day / 2).substr(1) + "15";
      records.push_back(Record(random() % 5 == 0 ? 'Y' : 'Z', random() % 7 == 0 ? code.substr(0, 3) : code, date));
    }
    EXPECT_EQ(GeneralOrderOf(records), GeneralOrderOf(records, 0)) << c.records << " " << c.codes << " " << c.dates;
    EXPECT_EQ(GeneralOrderOf(records, 100), GeneralOrderOf(records, 0)) << "counting given up half-way";
  }
}

}  // namespace
}  // namespace balances
