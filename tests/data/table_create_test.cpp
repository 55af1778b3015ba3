// Tables made by the creation function: fields, tags, memo files, names, replacement, and
// the files read back by python3-dbfread.
#include <filesystem>

#include "data/table_create.h"
#include "platform/dbase/idapi.h"
#include "data_test_util.h"
#include "support/books_writes.h"
#include "runtime/dossier_record.h"

namespace data_test {
namespace {

namespace fs = std::filesystem;

struct Made { TableKind kind; std::string given, file; };  // the name passed, the data file it must make

const std::vector<Made>& AllMade() {
  static const std::vector<Made> made{
      {TableKind::C10, "C10TST", "c10tst"},        {TableKind::C20, "c20tst", "c20tst"},
      {TableKind::C30, "c30tst.dbf", "c30tst"},    {TableKind::C40, "c40tst", "c40tst"},
      {TableKind::C50, "c50tst", "c50tst"},        {TableKind::C60, "c60tst", "c60tst"},
      {TableKind::C70, "c70tst", "c70tst"},        {TableKind::ReportDefs, "CEAETATS", "ceaetats"},
      {TableKind::DossierLock, "ctst____", "ctst____"}, {TableKind::ModelLines, "clbilana", "clbilana"},
      {TableKind::ModelParams, "CPBILANA", "cpbilana"},
  };
  return made;
}

TEST_F(DataTest, EveryKindGetsItsFieldsTagsAndMemoFile) {
  for (const Made& m : AllMade()) {
    SCOPED_TRACE(m.given);
    const TableStructure& s = StructureOf(m.kind);
    ASSERT_EQ(CreateTableOfKind(m.kind, File(m.given)), 0);
    EXPECT_TRUE(fs::exists(File(m.file + ".dbf")));
    EXPECT_EQ(fs::exists(File(m.file + ".dbt")), s.HasMemo());
    EXPECT_EQ(fs::exists(File(m.file + ".mdx")), !s.tags.empty());

    Table t;
    ASSERT_TRUE(t.OpenShared(File(m.file)));
    EXPECT_EQ(t.Engine().cursorProps.iIndexes, s.tags.size());
    for (const TagDef& tag : s.tags) {
      std::uint16_t seq = 0;
      ASSERT_EQ(dbase::DbiGetIndexSeqNo(t.Engine().cursor, "", std::string(tag.name).c_str(), 0, &seq), 0) << tag.name;
      dbase::IDXDesc d;
      ASSERT_EQ(dbase::DbiGetIndexDesc(t.Engine().cursor, seq, &d), 0);
      EXPECT_EQ(std::string(d.szKeyExp), std::string(tag.expression));
      EXPECT_EQ(std::string(d.szKeyCond), std::string(tag.condition));
    }
    EXPECT_EQ(t.RecCount(), 0u);
  }
  EXPECT_TRUE(Boxes().empty());

  // python3-dbfread reads every file with the fields of its structure.
  std::string script = "import dbfread\n", want;
  for (const Made& m : AllMade()) {
    script += "t = dbfread.DBF('" + File(m.file + ".dbf") + "', load=True, encoding='cp1252')\n"
              "print(len(t.records), ' '.join('%s:%s:%d:%d' % (f.name, f.type, f.length, f.decimal_count) "
              "for f in t.fields))\n";
    want += "0";
    for (const FieldDef& f : StructureOf(m.kind).fields)
      want += " " + std::string(f.name) + ":" + f.type + ":" + std::to_string(f.width) + ":" +
              std::to_string(f.decimals);
    want += "\n";
  }
  EXPECT_EQ(RunPython(script), want);
}

TEST_F(DataTest, AnExistingTableIsReplacedOnlyWhenAsked) {
  const std::string path = File("c30tst");
  ASSERT_EQ(CreateTableOfKind(TableKind::C30, path), 0);
  {
    Table t;
    ASSERT_TRUE(t.OpenShared(path, "C30CODE"));
    Add(t, {"701", "VENTES"});
  }
  EXPECT_EQ(CreateTableOfKind(TableKind::C30, path), dbase::DBIERR_FILEEXISTS);
  Table t;
  ASSERT_TRUE(t.OpenShared(path, "C30CODE"));
  // Replacing a table another cursor has open is refused; closed, it is emptied.
  EXPECT_NE(CreateTableOfKind(TableKind::C30, path, true), 0);
  EXPECT_EQ(t.RecCount(), 1u);
  t.CloseTable();
  ASSERT_EQ(CreateTableOfKind(TableKind::C30, path, true), 0);
  ASSERT_TRUE(t.OpenShared(path, "C30CODE"));
  EXPECT_EQ(t.RecCount(), 0u);
  EXPECT_EQ(CreateTableOfKind(TableKind::Unknown, File("x")), dbase::DBIERR_INVALIDPARAM);
}

TEST_F(DataTest, AnalyticSortTagCarriesTheAccountByDossierConstant) {
  struct Case { const char* constant; const char* expression; };
  for (const Case& c : {Case{"O  ", "TCODE+TCG+TMOIS+TJOUR"}, Case{"   ", "TCODE+TMOIS+TJOUR"}}) {
    TheDossierRecord.SetConstant(32, c.constant);
    {
      // Made anew over the sort file of the case before: a write of the books.
      const test_support::SetUpPermit permit("fichier de tri refait");
      ASSERT_EQ(CreateTableOfKind(TableKind::C60, File("c60tst"), true), 0);
    }
    Table t;
    ASSERT_TRUE(t.OpenShared(File("c60tst")));
    std::uint16_t seq = 0;
    ASSERT_EQ(dbase::DbiGetIndexSeqNo(t.Engine().cursor, "", "C60ANAL", 0, &seq), 0);
    dbase::IDXDesc d;
    ASSERT_EQ(dbase::DbiGetIndexDesc(t.Engine().cursor, seq, &d), 0);
    EXPECT_STREQ(d.szKeyExp, c.expression) << c.constant;
  }
}

}  // namespace
}  // namespace data_test
