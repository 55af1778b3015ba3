// The demo dossier: balanced journal-months and totals equal to the lines in every currency
// and analytic mode (checked by an independent reader), one sort record per line, tags that
// agree with the records, exact sizes, the same dossier for the same seed, and the refusals.
#include <filesystem>
#include <functional>
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

namespace fs = std::filesystem;

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

// Every tag of a table: its structure is sound, its keys are in order, and it holds one
// entry per record that its condition admits.
void ExpectTagsAgree(const std::string& base, TableKind kind, const std::function<bool(const char*, const std::uint8_t*)>& admits) {
  dbase::DbfFile dbf;
  ASSERT_EQ(dbf.Open(base + ".dbf", false), 0);
  dbase::RecordLayout layout;
  for (const dbase::DbfField& f : dbf.fields()) layout.push_back({f.name, f.type, f.offset, f.width, f.decimals});
  std::uint32_t count = 0;
  ASSERT_EQ(dbf.ReadCount(&count), 0);
  std::vector<std::uint8_t> records(static_cast<std::size_t>(count) * dbf.recordLength());
  ASSERT_EQ(dbf.ReadRecords(1, count, records.data()), 0);
  std::unique_ptr<dbase::Mdx> mdx;
  ASSERT_EQ(dbase::Mdx::Open(base + ".mdx", layout, true, false, &mdx), 0);
  for (const TagDef& tag : TagsToBuild(kind, false)) {
    const std::string name(tag.name);
    std::uint64_t entries = 0, expected = 0;
    for (std::uint32_t r = 0; r < count; ++r)
      if (admits(name.c_str(), records.data() + static_cast<std::size_t>(r) * dbf.recordLength())) ++expected;
    EXPECT_EQ(mdx->Check(name), 0) << name;
    ASSERT_EQ(mdx->Count(name, &entries), 0) << name;
    EXPECT_EQ(entries, expected) << name;
  }
}

TEST_F(DemoTest, TwoThousandLinesBalanceAndTotalsEqualTheLines) {
  const std::string folder = Dir() + "/demo";
  std::string message;
  DemoStats stats;
  ASSERT_TRUE(GenerateDemoDossier(Options(folder, 2000), &message, &stats)) << message;
  EXPECT_EQ(stats.lines, 2000);
  EXPECT_EQ(stats.journalMonths, 48);  // four journals, twelve months
  EXPECT_EQ(stats.accounts, 37 + stats.customers + stats.suppliers);
  EXPECT_EQ(Check(folder), "OK 2000 " + std::to_string(stats.pieces) + " 48 " + std::to_string(stats.accounts) +
                               " 0 0 euro-only N\n");

  // Through the table layer: the dossier record counts the pieces, the bank keys are valid.
  SetDossier(folder, "DEMO");
  ASSERT_TRUE(TableC10->OpenTable(PathC10(), "C10CODE"));
  UseStoredWorkingDate = true;
  ASSERT_TRUE(ReadC10Texts());
  EXPECT_EQ(TheDossierRecord.NextPiece(), std::string(StrZero(stats.pieces + 1, 6)));
  ASSERT_TRUE(TableC10->Seek("C10CODE", "Q", "BNP"));
  const std::string bank4 = TableC10->GetField(4), bank5 = TableC10->GetField(5);
  EXPECT_EQ(CheckRibKey(bank4.substr(186, 23)), 0);
  EXPECT_EQ(CheckIban(bank5.substr(0, 34)), 0);
  EXPECT_EQ(bank5.substr(45, 11), "51200000BQ ");
}

TEST_F(DemoTest, SortRecordsAndTagsAgreeWithTheLines) {
  const std::string folder = Dir() + "/demo";
  DemoStats stats;
  ASSERT_TRUE(GenerateDemoDossier(Options(folder, 2000, 7, '2'), nullptr, &stats));
  ASSERT_GT(stats.analyticLines, 0);
  const TableStructure& s60 = StructureOf(TableKind::C60);
  const int tcle = s60.FieldNumber("TCLE"), tcode = s60.FieldNumber("TCODE"), ttva = s60.FieldNumber("TTVA");
  auto at = [](const TableStructure& s, int field) {
    int offset = 1;
    for (int f = 1; f < field; ++f) offset += s.Field(f)->width;
    return offset;
  };
  ExpectTagsAgree(folder + "/c50demo", TableKind::C50, [](const char* tag, const std::uint8_t* r) {
    const std::string name(tag);  // no distribution code
    return name == "C50CODE" ? r[1] == 'Z' : name == "C50ANAL" && r[1] < 'Z';
  });
  ExpectTagsAgree(folder + "/c60demo", TableKind::C60, [&](const char* tag, const std::uint8_t* r) {
    const std::string name(tag);
    const bool general = r[at(s60, tcle)] == 'Z';
    if (name == "C60ANAL" || name == "C60JXANAL") return !general;
    if (name == "C60REC") return true;
    if (name == "C60DTVAE")
      return r[at(s60, ttva)] != ' ' || std::string(reinterpret_cast<const char*>(r) + at(s60, tcode), 4) == "4456";
    return general;
  });

  // Each line finds its own sort record by "B" + its record number, and the sort record
  // names the line's account and journal-month.
  SetDossier(folder, "DEMO");
  ASSERT_TRUE(TableC50->OpenTable(PathC50()));
  ASSERT_TRUE(TableC60->OpenTable(PathC60(), "C60REC"));
  ASSERT_EQ(TableC60->RecCount(), TableC50->RecCount());
  for (std::uint32_t r = 1; r <= TableC50->RecCount(); ++r) {
    ASSERT_TRUE(TableC50->GoTo(static_cast<long>(r)));
    ASSERT_TRUE(TableC60->Seek("C60REC", "B", StrZero(static_cast<long>(r), 6))) << r;
    ASSERT_EQ(TableC60->GetField(10), std::string(StrZero(static_cast<long>(r), 6)));
    const std::string line = std::string(TableC50->GetField(1)) + TableC50->GetField(2) + TableC50->GetField(3) +
                             TableC50->GetField(10);
    const std::string sort = std::string(TableC60->GetField(1)) + TableC60->GetField(3) + TableC60->GetField(5) +
                             TableC60->GetField(2);
    ASSERT_EQ(sort, line) << r;
  }
  // A journal-month read in line order through C50CODE.
  ASSERT_TRUE(TableC50->Seek("C50CODE", "Z", "C603", "VE "));
  int read = 0;
  while (TableC50->MatchKey("ZC603VE ", 8, 1, 2, 3) == 'O') {
    ++read;
    if (!TableC50->Skip(1)) break;
  }
  EXPECT_GT(read, 0);
}

TEST_F(DemoTest, EverySizeIsExactAndBalanced) {
  const long sizes[] = {2, 3, 5, 13, 25, 1000};
  for (long n : sizes) {
    const std::string folder = Dir() + "/n" + std::to_string(n);
    DemoStats stats;
    std::string message;
    const char analytic = "012"[n % 3];
    ASSERT_TRUE(GenerateDemoDossier(Options(folder, n, static_cast<std::uint64_t>(n), analytic), &message, &stats))
        << message;
    EXPECT_EQ(stats.lines, n);
    EXPECT_EQ(Check(folder).rfind("OK " + std::to_string(n) + " ", 0), 0u) << n << ": " << Check(folder);
  }
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

TEST_F(DemoTest, EveryCurrencyAndAnalyticModeSatisfiesTheOracle) {
  const struct Case {
    DossierCurrency currency;
    char analytic;
    Ymd first, last;
    long accounts;
    const char* oracleMode;
  } cases[] = {
      {DossierCurrency::FrancMain, '2', {2025, 7, 1}, {2026, 6, 30}, 0, "franc 2"},
      {DossierCurrency::EuroMain, '1', {2026, 3, 15}, {2027, 3, 14}, 500, "euro 1"},
      {DossierCurrency::EuroOnly, '2', {2026, 1, 1}, {2027, 6, 30}, 0, "euro-only 2"},
      {DossierCurrency::FrancMain, '0', {2029, 10, 1}, {2030, 9, 30}, 39, "franc N"},
  };
  int n = 0;
  for (const Case& c : cases) {
    const std::string folder = Dir() + "/m" + std::to_string(++n);
    DemoOptions o = Options(folder, 3000, static_cast<std::uint64_t>(n), c.analytic);
    o.currency = c.currency;
    o.firstDay = c.first;
    o.lastDay = c.last;
    o.accounts = c.accounts;
    DemoStats stats;
    std::string message;
    ASSERT_TRUE(GenerateDemoDossier(o, &message, &stats)) << message;
    const std::string out = Check(folder);
    EXPECT_EQ(out.rfind("OK 3000 ", 0), 0u) << c.oracleMode << ": " << out;
    EXPECT_NE(out.find(std::string(" ") + c.oracleMode + "\n"), std::string::npos) << out;
    EXPECT_EQ(stats.analyticLines > 0, c.analytic != '0') << c.oracleMode;
    if (c.accounts != 0) {
      EXPECT_EQ(stats.accounts, c.accounts);
    }

    // The program reads the same settings from the dossier record.
    SetDossier(folder, "DEMO");
    ASSERT_TRUE(TableC10->OpenTable(PathC10(), "C10CODE"));
    UseStoredWorkingDate = true;
    ASSERT_TRUE(ReadC10Texts());
    ASSERT_TRUE(TableC10->Seek("C10CODE", "P", "0"));
    TheDossierRecord.Set(539, 252, TableC10->GetField(4));
    TableC10->CloseTable();
    EXPECT_EQ(DossierIsEuroOnly(), c.currency == DossierCurrency::EuroOnly) << c.oracleMode;
    EXPECT_EQ(TheDossierRecord.EuroIsMain(), c.currency != DossierCurrency::FrancMain) << c.oracleMode;
    EXPECT_EQ(TheDossierRecord.DateYyyymmdd(DossierRecord::DateField::YearStart), YyyymmddOf(c.first));
  }
}

TEST_F(DemoTest, TheOracleFindsASplitThatNoLongerAddsUp) {
  const std::string folder = Dir() + "/demo";
  ASSERT_TRUE(GenerateDemoDossier(Options(folder, 400, 3, '1')));
  SetDossier(folder, "DEMO");
  ASSERT_TRUE(TableC50->OpenTable(PathC50()));
  ASSERT_TRUE(TableC50->LocateText(1, "W", false));
  ASSERT_TRUE(TableC50->PutFieldNum(19, TableC50->GetFieldNum(19) + 0.01));
  ASSERT_TRUE(TableC50->Commit());
  TableC50->CloseTable();
  const std::string out = Check(folder);
  EXPECT_NE(out.find("split"), std::string::npos) << out;
  EXPECT_NE(out.find("section"), std::string::npos) << out;
}

TEST_F(DemoTest, Refusals) {
  const struct Case {
    void (*change)(DemoOptions&);
    const char* message;
  } cases[] = {
      {[](DemoOptions& o) { o.lines = 1; }, "Le nombre de lignes doit \xEAtre compris entre 2 et 999999."},
      {[](DemoOptions& o) { o.lines = 1000000; }, "Le nombre de lignes"},
      {[](DemoOptions& o) { o.accounts = 38; }, "Le nombre de comptes doit \xEAtre compris entre 39 et 100000."},
      {[](DemoOptions& o) { o.accounts = 100001; }, "Le nombre de comptes"},
      {[](DemoOptions& o) { o.analyticMode = 'N'; }, "Le mode analytique"},
      {[](DemoOptions& o) { o.siren = "412567381"; }, "Le num\xE9ro SIREN 412567381 est invalide"},
      {[](DemoOptions& o) { o.siren = "41256738"; }, "Le num\xE9ro SIREN"},
      {[](DemoOptions& o) { o.lastDay = Ymd{2028, 1, 1}; }, "L'exercice ne peut d\xE9passer 24 mois."},
      {[](DemoOptions& o) { o.firstDay = Ymd{2026, 2, 30}; }, "La date de d\xE9" "but de l'exercice est invalide."},
  };
  for (const Case& c : cases) {
    DemoOptions o = Options(Dir() + "/x", 100);
    c.change(o);
    std::string message;
    EXPECT_FALSE(GenerateDemoDossier(o, &message));
    EXPECT_EQ(message.rfind(c.message, 0), 0u) << message;
  }
  EXPECT_FALSE(fs::exists(Dir() + "/x/c10demo.dbf"));

  std::string message;
  ASSERT_TRUE(GenerateDemoDossier(Options(Dir() + "/d", 100)));
  const std::string before = ReadFile(Dir() + "/d/c50demo.dbf");
  EXPECT_FALSE(GenerateDemoDossier(Options(Dir() + "/d", 500), &message));
  EXPECT_EQ(message.rfind("Le dossier DEMO existe d\xE9j\xE0", 0), 0u) << message;
  EXPECT_EQ(ReadFile(Dir() + "/d/c50demo.dbf"), before);
}

}  // namespace
}  // namespace dossier_test
