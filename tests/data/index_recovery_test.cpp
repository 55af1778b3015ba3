// Index-file recovery: the table name in an index file's header, the production-index flag,
// report-definition sets made usable again, and the entry counts read from a tag's pages.
#include <filesystem>

#include "data/index_defs.h"
#include "data/index_recovery.h"
#include "data_test_util.h"

namespace data_test {
namespace {

namespace fs = std::filesystem;

TEST_F(DataTest, IndexHeaderNameIsComparedWithoutCase) {
  ASSERT_EQ(CreateTableOfKind(TableKind::C20, File("c20tst")), 0);
  ASSERT_EQ(CreateTableOfKind(TableKind::C30, File("c30tst")), 0);
  fs::copy_file(File("c20tst.mdx"), File("c30copy.mdx"));
  struct Case { std::string path; bool matches; };
  for (const Case& c : {Case{File("C20TST.MDX"), true}, Case{File("c30copy.mdx"), false}})
    EXPECT_EQ(MdxHeaderMatchesName(c.path.c_str()), c.matches) << c.path;
  // A file copied from another system: upper-case name, header in upper case too.
  fs::rename(File("c30tst.mdx"), File("C30TST.MDX"));
  std::fstream f(File("C30TST.MDX"), std::ios::binary | std::ios::in | std::ios::out);
  f.seekp(4);
  f.write("C30TST", 6);
  f.close();
  EXPECT_TRUE(MdxHeaderMatchesName(File("c30tst.mdx").c_str()));
  EXPECT_TRUE(MdxHeaderMatchesName(File("C30TST.MDX").c_str()));
}

class ReportSetTest : public DataTest {
 protected:
  // The reference set "CESETATS" in the program folder with three definitions, one deleted.
  void MakeReferenceSet() {
    ASSERT_EQ(CreateTableOfKind(TableKind::ReportDefs, PathReportDefs('S')), 0);
    Table t;
    ASSERT_TRUE(t.OpenShared(PathReportDefs('S'), "CE0CODE"));
    Add(t, {"EL-GRAND", "Grand livre"});
    Add(t, {"DB-PLAN", "Plan comptable"});
    Add(t, {"BA-VIEUX", "Ancien"});
    ASSERT_TRUE(t.DeleteRecord("", 1));
  }
  static std::vector<std::string> Codes(Table& t) {
    std::vector<std::string> out;
    for (bool ok = t.GoTop("CE0CODE"); ok; ok = t.Skip(1)) out.push_back(RTrim(t.GetField(1)));
    return out;
  }
};

TEST_F(ReportSetTest, MissingSetIsCopiedFromTheReferenceSet) {
  MakeReferenceSet();
  ASSERT_TRUE(EnsureReportTableCE0('0', false));
  EXPECT_FALSE(TableCE0->isOpen);
  EXPECT_TRUE(fs::exists(File("ce0etats.dbf")));
  ASSERT_TRUE(TableCE0->OpenShared(PathReportDefs('0'), "CE0CODE"));
  EXPECT_EQ(TableCE0->shareMode, 0u);
  // The copy carries its own index file; the deleted definition stays until a pack.
  EXPECT_EQ(Codes(*TableCE0), (std::vector<std::string>{"BA-VIEUX", "DB-PLAN", "EL-GRAND"}));
  EXPECT_TRUE(MdxHeaderMatchesName(File("ce0etats.mdx").c_str()));
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(ReportSetTest, ForeignIndexIsRebuiltAndASoundOneKept) {
  MakeReferenceSet();
  ASSERT_TRUE(EnsureReportTableCE1('A', false));
  ASSERT_TRUE(TableCE1->OpenShared(PathReportDefs('A'), "CE0CODE"));
  Add(*TableCE1, {"AA-NEUF", "Nouveau"});
  TableCE1->CloseTable();

  // A sound index file stays as it is (the deleted definition of the set too).
  const auto stamp = fs::last_write_time(File("ceaetats.mdx"));
  ASSERT_TRUE(EnsureReportTableCE1('A', false));
  EXPECT_EQ(fs::last_write_time(File("ceaetats.mdx")), stamp);

  // Another table's index file in its place.
  fs::copy_file(File("cesetats.mdx"), File("ceaetats.mdx"), fs::copy_options::overwrite_existing);
  EXPECT_FALSE(MdxHeaderMatchesName(File("ceaetats.mdx").c_str()));
  ASSERT_TRUE(EnsureReportTableCE1('A', false));
  EXPECT_TRUE(MdxHeaderMatchesName(File("ceaetats.mdx").c_str()));
  ASSERT_TRUE(TableCE1->OpenShared(PathReportDefs('A'), "CE0CODE"));
  EXPECT_EQ(Codes(*TableCE1), (std::vector<std::string>{"AA-NEUF", "DB-PLAN", "EL-GRAND"}));
  TableCE1->CloseTable();
}

TEST_F(ReportSetTest, NoSetAndNoReferenceSetFails) {
  EXPECT_FALSE(EnsureReportTableCE0('7', false));
  EXPECT_FALSE(fs::exists(File("ce7etats.dbf")));
}

class CountEntriesTest : public DataTest {
 protected:
  // Accounts 40100001 ..., 41100001 ... and 51200001 ..., entered from the last.
  void MakeAccounts(int perPrefix) {
    Table& t = *TableC20;
    t.CloseTable();
    ASSERT_EQ(CreateTableOfKind(TableKind::C20, DossierPath(TableKind::C20), true), 0);
    ASSERT_TRUE(t.OpenShared(DossierPath(TableKind::C20), "C20CODE"));
    for (const char* prefix : {"411", "401", "512"})
      for (int i = perPrefix; i >= 1; --i) {
        char code[16];
        std::snprintf(code, sizeof code, "%s%05d", prefix, i);
        Add(t, {code, "Compte"});
      }
  }
};

// The counts themselves are the engine page reader's (checked there on trees and damaged
// files); here, where the table stands after them.
TEST_F(CountEntriesTest, CountsPositionTheTable) {
  MakeAccounts(150);
  Table& t = *TableC20;
  // Mode 1: the entries of a key; the table stands on the last of them.
  EXPECT_EQ(CountIndexEntries(t, "C20CODE", 1, "411"), 150u);
  EXPECT_EQ(RTrim(t.GetField(1)), std::string("41100150"));
  // Mode 2: the row of the first entry of a key, where the table stands.
  EXPECT_EQ(CountIndexEntries(t, "C20CODE", 2, "411"), 151u);
  EXPECT_EQ(RTrim(t.GetField(1)), std::string("41100001"));
  EXPECT_TRUE(Boxes().empty());
}

}  // namespace
}  // namespace data_test
