// The demo dossier: balanced journal-months, totals equal to the lines and one sort record per
// line in every currency, analytic mode and size, checked by an independent reader.
#include "demo/dossier_demo.h"
#include "dossier_test_util.h"
#include "runtime/xbase.h"
#include "support/demo_oracle.h"

namespace dossier_test {
namespace {

using DemoTest = SessionTest;

// Every currency, analytic mode and size down to two lines: exact and balanced for the
// independent reader, and read back by the program as the dossier record says.
TEST_F(DemoTest, EveryCurrencyModeAndSizeSatisfiesTheOracle) {
  const struct Case {
    DossierCurrency currency;
    char analytic;
    Ymd first, last;
    long lines, accounts;
    const char* oracleMode;
  } cases[] = {
      {DossierCurrency::EuroOnly, '0', {2026, 1, 1}, {2026, 12, 31}, 2000, 0, "euro-only N"},
      {DossierCurrency::EuroMain, '1', {2026, 3, 15}, {2027, 3, 14}, 3, 500, "euro 1"},
      {DossierCurrency::FrancMain, '0', {2029, 10, 1}, {2030, 9, 30}, 2, 41, "franc N"},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.oracleMode);
    const std::string folder = Dir() + "/m" + std::to_string(++n);
    DemoOptions o;
    o.folder = folder;
    o.lines = c.lines;
    o.seed = static_cast<std::uint64_t>(n);
    o.analyticMode = c.analytic;
    o.currency = c.currency;
    o.firstDay = c.first;
    o.lastDay = c.last;
    o.accounts = c.accounts;
    DemoStats stats;
    std::string message;
    ASSERT_TRUE(GenerateDemoDossier(o, &message, &stats)) << message;
    std::string out;
    dossier_test::Run({"/usr/bin/python3", test_support::DemoOracle(), folder, "DEMO"}, &out);
    EXPECT_EQ(out.rfind("OK " + std::to_string(c.lines) + " " + std::to_string(stats.pieces) + " ", 0), 0u) << out;
    EXPECT_NE(out.find(std::string(" ") + c.oracleMode + "\n"), std::string::npos) << out;
    // Banks, collectives, VAT codes, establishments, journals, labels, models, distribution codes.
    EXPECT_NE(out.find(" Q3,B2,T3,E2,J6,L10,M3,V3 "), std::string::npos) << out;
    EXPECT_EQ(stats.lines, c.lines);
    EXPECT_EQ(stats.accounts, c.accounts != 0 ? c.accounts : 37 + stats.customers + stats.suppliers);

    SetDossier(folder, "DEMO");
    ASSERT_TRUE(TableC10->OpenShared(PathC10(), "C10CODE"));
    UseStoredWorkingDate = true;
    ASSERT_TRUE(ReadC10Texts());
    EXPECT_EQ(TheDossierRecord.NextPiece(), std::string(StrZero(stats.pieces + 1, 6)));
    ASSERT_TRUE(TableC10->Seek("C10CODE", "P", "0"));
    TheDossierRecord.Set(539, 252, TableC10->GetField(4));
    TableC10->CloseTable();
    EXPECT_EQ(DossierIsEuroOnly(), c.currency == DossierCurrency::EuroOnly);
    EXPECT_EQ(TheDossierRecord.EuroIsMain(), c.currency != DossierCurrency::FrancMain);
    EXPECT_EQ(TheDossierRecord.DateYyyymmdd(DossierRecord::DateField::YearStart), YyyymmddOf(c.first));
  }
}

// The oracle reads the code lists at their places: a wrong RIB key, a label type missing and an
// entry model naming an unknown account are each told.
TEST_F(DemoTest, TheOracleTellsAWrongCodeList) {
  DemoOptions o;
  o.folder = Dir() + "/codes";
  o.lines = 50;
  ASSERT_TRUE(GenerateDemoDossier(o));
  const struct {
    const char* file;
    std::string from, to;
    const char* told;
  } damages[] = {
      {"c10demo.dbf", "1820600041000123456780", "1820600041000123456789", "bank BQ01: RIB key 99, 09 expected"},
      {"c10demo.dbf", "Esp\xE8" "ces8", "Esp\xE8" "ces9", "label types '012345679'"},
      {"c10demo.dbt", "CC=70700000", "CC=70700009", "model CAISSE: CC='70700009'"},
  };
  for (const auto& d : damages) {
    const std::string path = o.folder + "/" + d.file;
    const std::size_t at = ReadFile(path).find(d.from);
    ASSERT_NE(at, std::string::npos) << d.from;
    Poke(path, at, d.to);
  }
  std::string out;
  EXPECT_EQ(dossier_test::Run({"/usr/bin/python3", test_support::DemoOracle(), o.folder, "DEMO"}, &out), 1);
  for (const auto& d : damages) EXPECT_NE(out.find(d.told), std::string::npos) << out;
}

}  // namespace
}  // namespace dossier_test
