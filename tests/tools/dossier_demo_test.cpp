// The demo dossier: balanced journal-months, totals equal to the lines and one sort record per
// line in every currency, analytic mode and size (checked by an independent reader), sound
// tags, the same dossier for the same seed, and the refusals.
#include <filesystem>
#include <memory>

#include "data/table_structures.h"
#include "demo/dossier_demo.h"
#include "dossier_test_util.h"
#include "platform/dbase/dbf.h"
#include "platform/dbase/mdx.h"
#include "runtime/bank_ids.h"
#include "runtime/xbase.h"
#include "support/demo_oracle.h"

namespace dossier_test {
namespace {

using DemoTest = SessionTest;

DemoOptions Options(const std::string& folder, long lines, std::uint64_t seed = 7, char analytic = '0') {
  DemoOptions o;
  o.folder = folder;
  o.code = "DEMO";
  o.lines = lines;
  o.seed = seed;
  o.analyticMode = analytic;
  return o;
}

std::string Check(const std::string& folder) {
  std::string out;
  Run({"/usr/bin/python3", test_support::DemoOracle(), folder, "DEMO"}, &out);
  return out;
}

// Every tag of a table's index file is sound: its pages well formed, its keys in order.
void ExpectTagsSound(const std::string& base, TableKind kind) {
  dbase::DbfFile dbf;
  ASSERT_EQ(dbf.Open(base + ".dbf", false), 0);
  dbase::RecordLayout layout;
  for (const dbase::DbfField& f : dbf.fields()) layout.push_back({f.name, f.type, f.offset, f.width, f.decimals});
  std::unique_ptr<dbase::Mdx> mdx;
  ASSERT_EQ(dbase::Mdx::Open(base + ".mdx", layout, true, false, &mdx), 0);
  for (const TagDef& tag : TagsToBuild(kind, false)) EXPECT_EQ(mdx->Check(tag.name), 0) << tag.name;
}

TEST_F(DemoTest, TheSameSeedMakesTheSameDossier) {
  ASSERT_TRUE(GenerateDemoDossier(Options(Dir() + "/a", 3000, 42)));
  ASSERT_TRUE(GenerateDemoDossier(Options(Dir() + "/b", 3000, 42)));
  ASSERT_TRUE(GenerateDemoDossier(Options(Dir() + "/c", 3000, 43)));
  // The header's bytes 1-3 hold the date of the last update.
  auto records = [&](const std::string& path) { return ReadFile(path).substr(4); };
  for (const char* file : {"/c50demo.dbf", "/c60demo.dbf", "/c20demo.dbf"})
    EXPECT_EQ(records(Dir() + "/a" + file), records(Dir() + "/b" + file)) << file;
  EXPECT_NE(records(Dir() + "/a/c50demo.dbf"), records(Dir() + "/c/c50demo.dbf"));
}

// Every currency, analytic mode and size down to two lines: exact and balanced for the
// independent reader, and read back by the program as the dossier record says (its next
// piece number, and for the first dossier its bank's keys).
TEST_F(DemoTest, EveryCurrencyModeAndSizeSatisfiesTheOracle) {
  const struct Case {
    DossierCurrency currency;
    char analytic;
    Ymd first, last;
    long lines, accounts;
    const char* oracleMode;
  } cases[] = {
      {DossierCurrency::EuroOnly, '0', {2026, 1, 1}, {2026, 12, 31}, 2000, 0, "euro-only N"},
      {DossierCurrency::FrancMain, '2', {2025, 7, 1}, {2026, 6, 30}, 3000, 0, "franc 2"},
      {DossierCurrency::EuroMain, '1', {2026, 3, 15}, {2027, 3, 14}, 3, 500, "euro 1"},
      {DossierCurrency::EuroOnly, '2', {2026, 1, 1}, {2027, 6, 30}, 13, 0, "euro-only 2"},
      {DossierCurrency::FrancMain, '0', {2029, 10, 1}, {2030, 9, 30}, 2, 39, "franc N"},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.oracleMode);
    const std::string folder = Dir() + "/m" + std::to_string(++n);
    DemoOptions o = Options(folder, c.lines, static_cast<std::uint64_t>(n), c.analytic);
    o.currency = c.currency;
    o.firstDay = c.first;
    o.lastDay = c.last;
    o.accounts = c.accounts;
    DemoStats stats;
    std::string message;
    ASSERT_TRUE(GenerateDemoDossier(o, &message, &stats)) << message;
    ExpectTagsSound(folder + "/c50demo", TableKind::C50);
    ExpectTagsSound(folder + "/c60demo", TableKind::C60);
    const std::string out = Check(folder);
    EXPECT_EQ(out.rfind("OK " + std::to_string(c.lines) + " " + std::to_string(stats.pieces) + " ", 0), 0u) << out;
    EXPECT_NE(out.find(std::string(" ") + c.oracleMode + "\n"), std::string::npos) << out;
    EXPECT_EQ(stats.lines, c.lines);
    if (c.lines >= 1000) EXPECT_EQ(stats.analyticLines > 0, c.analytic != '0');
    EXPECT_EQ(stats.accounts, c.accounts != 0 ? c.accounts : 37 + stats.customers + stats.suppliers);

    SetDossier(folder, "DEMO");
    ASSERT_TRUE(TableC10->OpenTable(PathC10(), "C10CODE"));
    UseStoredWorkingDate = true;
    ASSERT_TRUE(ReadC10Texts());
    EXPECT_EQ(TheDossierRecord.NextPiece(), std::string(StrZero(stats.pieces + 1, 6)));
    if (n == 1) {
      EXPECT_EQ(stats.journalMonths, 48);  // four journals, twelve months
      ASSERT_TRUE(TableC10->Seek("C10CODE", "Q", "BNP"));
      const std::string bank4 = TableC10->GetField(4), bank5 = TableC10->GetField(5);
      EXPECT_EQ(CheckRibKey(bank4.substr(186, 23)), 0);
      EXPECT_EQ(CheckIban(bank5.substr(0, 34)), 0);
      EXPECT_EQ(bank5.substr(45, 11), "51200000BQ ");
    }
    ASSERT_TRUE(TableC10->Seek("C10CODE", "P", "0"));
    TheDossierRecord.Set(539, 252, TableC10->GetField(4));
    TableC10->CloseTable();
    EXPECT_EQ(DossierIsEuroOnly(), c.currency == DossierCurrency::EuroOnly);
    EXPECT_EQ(TheDossierRecord.EuroIsMain(), c.currency != DossierCurrency::FrancMain);
    EXPECT_EQ(TheDossierRecord.DateYyyymmdd(DossierRecord::DateField::YearStart), YyyymmddOf(c.first));
  }
}

// The generator's own limits (the year's and the SIREN's are tested with the creation and
// the tool).
TEST_F(DemoTest, Refusals) {
  const struct Case {
    void (*change)(DemoOptions&);
    const char* message;
  } cases[] = {
      {[](DemoOptions& o) { o.lines = 1; }, "Le nombre de lignes doit \xEAtre compris entre 2 et 999999."},
      {[](DemoOptions& o) { o.accounts = 38; }, "Le nombre de comptes doit \xEAtre compris entre 39 et 100000."},
      {[](DemoOptions& o) { o.analyticMode = 'N'; }, "Le mode analytique"},
  };
  for (const Case& c : cases) {
    DemoOptions o = Options(Dir() + "/x", 100);
    c.change(o);
    std::string message;
    EXPECT_FALSE(GenerateDemoDossier(o, &message));
    EXPECT_EQ(message.rfind(c.message, 0), 0u) << message;
  }
  EXPECT_FALSE(fs::exists(Dir() + "/x/c10demo.dbf"));
}

}  // namespace
}  // namespace dossier_test
