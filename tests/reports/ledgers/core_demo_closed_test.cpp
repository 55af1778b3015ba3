// The demo generator's part for the ledgers, read by the independent oracle: closed months, the
// opening entry and the matchings in every currency mode and year shape, and the oracle's word on
// a closed file damaged after the generation (a closed line's amount changed, a closed line's sort
// record filed as a draft one, a matched line's letter changed).
#include "data/entry_lines.h"
#include "ledger_fixture.h"
#include "runtime/xbase.h"
#include "support/books_writes.h"
#include "support/demo_oracle.h"

namespace ledgers_test {
namespace {

using L = LigneEcriture;

class DemoClosedTest : public LedgerCoreTest {
 protected:
  std::string Oracle(const std::string& folder, const std::string& code, int* status) {
    return test_support::RunPythonScript("import sys, runpy\nsys.argv = ['check_demo.py', '" + folder + "', '" + code +
                                             "']\nrunpy.run_path('" + test_support::DemoOracle() +
                                             "', run_name='__main__')\n",
                                         true, status);
  }
  // Closed headers (C10 records "C" whose code does not end in "B") and closed lines.
  static std::pair<long, long> ClosedCounts(const std::string& folder, const std::string& code) {
    long headers = 0, lines = 0;
    Table c10, c40;
    EXPECT_TRUE(c10.OpenShared(folder + "c10" + Lower(code.c_str()), "C10CODE", true));
    for (bool more = c10.Seek("C10CODE", "C"); more && c10.GetField(1)[0] == 'C'; more = c10.SkipActive(true))
      if (std::string(c10.GetField(2)).substr(7, 1) != "B") ++headers;
    EXPECT_TRUE(c40.OpenShared(folder + "c40" + Lower(code.c_str()), "", true));
    lines = static_cast<long>(c40.RecCount());
    return {headers, lines};
  }
};

TEST_F(DemoClosedTest, EveryCurrencyAndYearShapeSatisfiesTheOracle) {
  const struct Case {
    DossierCurrency currency;
    char analytic;
    Ymd first, last;
    long lines;
    int closedMonths;
  } cases[] = {
      {DossierCurrency::EuroOnly, '0', {2026, 1, 1}, {2026, 12, 31}, 5000, -1},
      {DossierCurrency::EuroMain, '1', {2025, 7, 1}, {2026, 6, 30}, 4000, -1},
      {DossierCurrency::FrancMain, '2', {2029, 3, 1}, {2030, 2, 28}, 3000, 5},
      {DossierCurrency::EuroMain, '0', {2026, 1, 1}, {2026, 12, 31}, 150, 2},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(++n);
    DemoOptions o;
    o.folder = Dir() + "/d" + std::to_string(n);
    o.code = "CLO";
    o.lines = c.lines;
    o.currency = c.currency;
    o.analyticMode = c.analytic;
    o.firstDay = c.first;
    o.lastDay = c.last;
    o.closedMonths = c.closedMonths;
    o.matchings = true;
    o.seed = static_cast<std::uint64_t>(n);
    DemoStats stats;
    std::string message;
    ASSERT_TRUE(GenerateDemoDossier(o, &message, &stats)) << message;
    EXPECT_EQ(stats.lines, c.lines);
    int status = -1;
    const std::string out = Oracle(o.folder, "CLO", &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(out.rfind("OK " + std::to_string(c.lines) + " ", 0), 0u) << out;
    const auto [headers, lines] = ClosedCounts(o.folder + "/", "CLO");
    EXPECT_GT(headers, 0);
    EXPECT_GT(lines, 0);
  }
}

TEST_F(DemoClosedTest, TheOracleTellsADamagedClosedFile) {
  const test_support::SetUpPermit permit("fichier des lignes abime");
  DemoOptions o;
  o.folder = Dir() + "/damaged";
  o.code = "DMG";
  o.lines = 3000;
  o.currency = DossierCurrency::EuroMain;
  o.closedMonths = -1;
  o.matchings = true;
  std::string message;
  ASSERT_TRUE(GenerateDemoDossier(o, &message)) << message;
  const std::string folder = o.folder + "/";
  const std::string c40 = ReadText(folder + "c40dmg.dbf"), c50 = ReadText(folder + "c50dmg.dbf"),
                    c60 = ReadText(folder + "c60dmg.dbf");
  auto restore = [&] {
    std::ofstream(folder + "c40dmg.dbf", std::ios::binary) << c40;
    std::ofstream(folder + "c50dmg.dbf", std::ios::binary) << c50;
    std::ofstream(folder + "c60dmg.dbf", std::ios::binary) << c60;
  };
  const struct Case {
    const char* name;
    std::function<void()> damage;
    const char* told;
  } cases[] = {
      {"a closed amount",
       [&] {
         Table t;
         ASSERT_TRUE(t.OpenExclusive(folder + "c40dmg"));
         ASSERT_TRUE(t.GoTo(1));
         ASSERT_TRUE(t.PutFieldNum(L::ClosedFieldOf(L::BMONTANTE), t.GetFieldNum(L::ClosedFieldOf(L::BMONTANTE)) + 1));
         ASSERT_TRUE(t.Commit());
       },
       "closed journal-month"},
      {"a closed sort record filed as a draft one",
       [&] {
         Table t;
         ASSERT_TRUE(t.OpenExclusive(folder + "c60dmg"));
         for (bool more = t.GoTop(); more; more = t.Skip(1))
           if (t.GetField(LigneTri::TFIC)[0] == 'C') {
             ASSERT_TRUE(t.PutField(LigneTri::TFIC, "B"));
             break;
           }
         ASSERT_TRUE(t.Commit());
       },
       "filed \"C\""},
      {"a matched line's letter",
       [&] {
         Table t;
         ASSERT_TRUE(t.OpenExclusive(folder + "c50dmg"));
         for (bool more = t.GoTop(); more; more = t.Skip(1))
           if (!IsBlank(t.GetField(L::BLETE))) {
             ASSERT_TRUE(t.PutField(L::BLETE, "ZZZZ"));
             break;
           }
         ASSERT_TRUE(t.Commit());
       },
       "letters"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.damage();
    int status = -1;
    const std::string out = Oracle(o.folder, "DMG", &status);
    EXPECT_EQ(status, 1) << out;
    EXPECT_NE(out.find(c.told), std::string::npos) << out;
    restore();
  }
  int status = -1;
  const std::string out = Oracle(o.folder, "DMG", &status);
  EXPECT_EQ(status, 0) << out;
}

}  // namespace
}  // namespace ledgers_test
