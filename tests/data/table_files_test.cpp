// A table's files as the engine sees them: copied with upper-case names from another system,
// memos rewritten at the block edges, the production-index flag and the index file handled
// without a cursor, the field names read from the header; and the two seeks.
#include "data_test_util.h"
#include "platform/dbase/file_layout.h"

namespace data_test {
namespace {

namespace fs = std::filesystem;

constexpr int kMemoField = 7;  // GTEXTE of C10

std::string Text(std::size_t size, char first) {
  std::string s(size, ' ');
  for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>(first + i % 7);
  return s;
}

TEST_F(DataTest, TableCopiedWithUpperCaseNamesWorksUnderItsOwnName) {
  CreateDossier();
  Table& c10 = *TableC10;
  const std::string path = DossierPath(TableKind::C10);
  ASSERT_TRUE(c10.OpenShared(path, "C10CODE"));
  Add(c10, {"J", "VT", "VENTES"});
  ASSERT_TRUE(c10.PutMemoText(kMemoField, "journal des ventes"));
  Add(c10, {"J", "AC", "ACHATS"});
  CloseAllTables();
  const fs::path folder = fs::path(path).parent_path();
  const std::string base = fs::path(path).filename().string();
  // A table copied from another system comes without the journal its index's updates keep here.
  fs::remove(folder / (base + ".mdx.journal"));
  for (const char* ext : {".dbf", ".dbt", ".mdx"}) {
    std::string upper = base + ext;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    fs::rename(folder / (base + ext), folder / upper);
  }

  // Read, rewrite, append and seek through the lower-case name, twice over.
  for (int pass = 0; pass < 2; ++pass) {
    SCOPED_TRACE(pass);
    ASSERT_TRUE(c10.OpenShared(path, "C10CODE"));
    EXPECT_EQ(c10.Engine().cursorProps.iIndexes, 1);
    ASSERT_TRUE(c10.Seek("C10CODE", "J", "VT"));
    std::string memo;
    ASSERT_TRUE(c10.GetMemoText(kMemoField, memo));
    EXPECT_EQ(memo, pass == 0 ? "journal des ventes" : "ventes 2");
    if (pass == 0) {
      ASSERT_TRUE(c10.PutMemoText(kMemoField, "ventes 2"));
      Add(c10, {"J", "BQ", "BANQUE"});
    }
    ASSERT_TRUE(c10.Seek("C10CODE", "J", "BQ"));
    EXPECT_EQ(std::string(RTrim(c10.GetField(3))), "BANQUE");
    c10.CloseTable();
  }
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().filename().string().rfind(base, 0) == 0) names.push_back(entry.path().filename().string());
  EXPECT_TRUE(names.empty()) << names.front();  // nothing was made under the lower-case name
}

// Memo texts around the block edges (512-byte blocks with an 8-byte header: 504 bytes fill
// one block, 1016 two): the memo of a record, the next record's memo stored right after it,
// then the first rewritten with another size.
TEST_F(DataTest, MemoRewrittenOverAnotherSizeKeepsTheNextMemo) {
  CreateDossier();
  Table& c10 = *TableC10;
  ASSERT_TRUE(c10.OpenShared(DossierPath(TableKind::C10), "C10CODE"));
  const std::size_t sizes[] = {504, 505, 1016, 1017};
  int number = 0;
  for (std::size_t first : sizes) {
    for (std::size_t again : sizes) {
      const std::string a = "A" + std::to_string(number), b = "B" + std::to_string(number++);
      SCOPED_TRACE(std::to_string(first) + " then " + std::to_string(again));
      Add(c10, {"X", a});
      ASSERT_TRUE(c10.PutMemoText(kMemoField, Text(first, 'a')));
      Add(c10, {"X", b});
      ASSERT_TRUE(c10.PutMemoText(kMemoField, Text(1017, 'A')));
      ASSERT_TRUE(c10.Seek("C10CODE", "X", a.c_str()));
      ASSERT_TRUE(c10.PutMemoText(kMemoField, Text(again, 'k')));
      std::string memo;
      ASSERT_TRUE(c10.GetMemoText(kMemoField, memo));
      EXPECT_EQ(memo, Text(again, 'k'));
      ASSERT_TRUE(c10.Seek("C10CODE", "X", b.c_str()));
      ASSERT_TRUE(c10.GetMemoText(kMemoField, memo));
      EXPECT_EQ(memo, Text(1017, 'A'));
    }
  }
}

std::string Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST_F(DataTest, TheIndexFlagChangesAloneAndTheIndexFileGoesOnlyWhenNobodyUsesIt) {
  const std::string base = File("c20tst");
  ASSERT_EQ(CreateTableOfKind(TableKind::C20, base), 0);
  const std::string before = Bytes(base + ".dbf");
  const std::size_t flag = dbase::dbf_header::kProductionIndex;
  ASSERT_EQ(before[flag], 1);
  for (bool on : {false, true}) {
    ASSERT_EQ(dbase::DbiSetProductionIndexFlag(base.c_str(), on), dbase::DBIERR_NONE);
    std::string after = Bytes(base + ".dbf");
    EXPECT_EQ(after[flag], on ? 1 : 0);
    after[flag] = before[flag];
    EXPECT_EQ(after, before);
  }
  std::ofstream(File("short.dbf")) << "abc";
  for (const char* bad : {"short", "missing"})
    EXPECT_NE(dbase::DbiSetProductionIndexFlag(File(bad).c_str(), false), dbase::DBIERR_NONE) << bad;

  // Open in another table object: the index file stays, with the flag.
  Table other;
  ASSERT_TRUE(other.OpenShared(base, "C20CODE"));
  EXPECT_EQ(dbase::DbiDropProductionIndex(base.c_str()), dbase::DBIERR_TABLEINUSE);
  EXPECT_TRUE(fs::exists(base + ".mdx"));
  EXPECT_EQ(Bytes(base + ".dbf"), before);
  other.CloseTable();
  ASSERT_EQ(dbase::DbiDropProductionIndex(base.c_str()), dbase::DBIERR_NONE);
  EXPECT_FALSE(fs::exists(base + ".mdx"));
  EXPECT_EQ(Bytes(base + ".dbf")[flag], 0);

}

// Seek finds a key that begins with the text; SeekNotBelow the first key not below it, and
// the end of the table only past the last key.
TEST_F(DataTest, SeekNotBelowStandsOnTheFirstKeyNotBelowTheText) {
  CreateDossier();
  Table& c10 = *TableC10;
  ASSERT_TRUE(c10.OpenShared(DossierPath(TableKind::C10), "C10CODE"));
  for (const char* code : {"AC", "BQ", "VT"}) Add(c10, {"J", code});
  struct Case {
    const char* text;
    const char* exact;     // code Seek stands on, "" at the end
    const char* notBelow;  // code SeekNotBelow stands on, "" at the end
  };
  const Case cases[] = {{"B", "BQ", "BQ"}, {"BR", "", "VT"}, {"D", "", "VT"}, {"A", "AC", "AC"}, {"W", "", ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    for (bool exact : {true, false}) {
      const bool found = exact ? c10.Seek("C10CODE", "J", c.text) : c10.SeekNotBelow("C10CODE", "J", c.text);
      const std::string want = exact ? c.exact : c.notBelow;
      EXPECT_EQ(found, !want.empty());
      EXPECT_EQ(c10.eof != 0, want.empty());
      if (!want.empty()) {
        EXPECT_EQ(std::string(RTrim(c10.GetField(2))), want);
      }
    }
  }
}

}  // namespace
}  // namespace data_test
