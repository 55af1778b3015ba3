// Tags of a dossier made by the creation function: every tag walked against the records,
// the index files deleted and rebuilt.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <random>

#include "data/index_defs.h"
#include "data/index_recovery.h"
#include "platform/dbase/weights.h"
#include "data_test_util.h"

namespace data_test {
namespace {

namespace fs = std::filesystem;

using Record = std::map<std::string, std::string>;  // field name -> text padded to its width

// A short text for a character field, from few letters so that keys repeat; the fields
// that tag conditions test get the values that make them true and false.
std::string RandomText(std::mt19937& rng, const FieldDef& f) {
  const std::string name(f.name);
  auto pick = [&rng](std::vector<std::string> v) { return v[rng() % v.size()]; };
  if (name == "BCLE" || name == "TCLE") return pick({"Z", "Z", "A", "B", " "});
  if (name == "BVENT") return pick({"  ", "AB", "Z "});
  if (name == "TTVA") return pick({" ", " ", "D", "E"});
  if (name == "CETS" || name == "CIBAN") return pick({"", "", "10", "FR76", "30"});
  if (name == "CLIB" || name == "ALIB") return pick({"banque", "Caisse", "ventes", "achats", "Banque b"});
  std::string out = name == "TCODE" && rng() % 4 == 0 ? "4456" : "";
  static const std::string alphabet = "0145ABZ";
  const int n = static_cast<int>(rng() % 4);
  for (int i = 0; i < n && static_cast<int>(out.size()) < f.width; ++i) out += alphabet[rng() % alphabet.size()];
  return out.substr(0, static_cast<std::size_t>(f.width));
}

bool Included(const std::string& tag, const Record& r) {
  auto blank = [](const std::string& s) { return s.find_first_not_of(' ') == std::string::npos; };
  const char cle = r.count("BCLE") ? r.at("BCLE")[0] : r.count("TCLE") ? r.at("TCLE")[0] : 0;
  if (tag == "C20RIB") return !blank(r.at("CETS"));
  if (tag == "C20IBAN") return !blank(r.at("CIBAN"));
  if (tag == "C50CODE" || tag == "C60CODE" || tag == "C60STM" || tag == "C60JX") return cle == 'Z';
  if (tag == "C50ANAL" || tag == "C60ANAL" || tag == "C60JXANAL") return cle < 'Z';
  if (tag == "C50VENT") return cle == 'Z' && r.at("BVENT") != "  ";
  if (tag == "C60DTVAE") return r.at("TTVA") != " " || r.at("TCODE").compare(0, 4, "4456") == 0;
  return true;
}

std::string KeyOf(const TableStructure& s, const TagDef& tag, const Record& r) {
  std::string key;
  for (int f : tag.keyFields) {
    std::string part = r.at(std::string(s.Field(f)->name));
    if (std::string(tag.expression).rfind("UPPER(", 0) == 0)
      for (char& c : part) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    key += part;
  }
  return key;
}

// Record numbers in the order of the tag: key through the collation weights, then record.
std::vector<std::uint32_t> Expected(const TableStructure& s, const TagDef& tag, const std::vector<Record>& recs) {
  std::vector<std::pair<std::string, std::uint32_t>> entries;
  for (std::size_t i = 0; i < recs.size(); ++i)
    if (Included(std::string(tag.name), recs[i]))
      entries.push_back({KeyOf(s, tag, recs[i]), static_cast<std::uint32_t>(i + 1)});
  std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
    const int c = dbase::CompareWeighted(a.first, b.first);
    return c != 0 ? c < 0 : a.second < b.second;
  });
  std::vector<std::uint32_t> out;
  for (const auto& e : entries) out.push_back(e.second);
  return out;
}

class DossierIndexTest : public DataTest {
 protected:
  // Fills every dossier table with random records (one of them soft-deleted, which keeps
  // its entries) and remembers them.
  void Fill(int count) {
    const test_support::SetUpPermit permit("tables remplies");
    std::mt19937 rng(4242);
    for (TableKind kind : DossierKinds()) {
      const TableStructure& s = StructureOf(kind);
      Table& t = *GlobalTable(kind);
      ASSERT_TRUE(t.OpenShared(DossierPath(kind)));
      for (int i = 0; i < count; ++i) {
        Record r;
        ASSERT_TRUE(t.AppendBlank());
        for (int f = 1; f <= s.FieldCount(); ++f) {
          const FieldDef& def = *s.Field(f);
          if (def.type != 'C') continue;
          const std::string text = RandomText(rng, def);
          ASSERT_TRUE(t.PutField(f, text.c_str()));
          r[std::string(def.name)] = text + std::string(def.width - text.size(), ' ');
        }
        ASSERT_TRUE(t.InsertRecord());
        records_[kind].push_back(r);
      }
      ASSERT_TRUE(t.GoTo(3));
      ASSERT_TRUE(t.DeleteRecord("", 1));
    }
  }
  void CheckEveryTag() {
    for (TableKind kind : DossierKinds()) {
      const TableStructure& s = StructureOf(kind);
      Table& t = *GlobalTable(kind);
      for (const TagDef& tag : TagsToBuild(kind, false)) {
        ASSERT_TRUE(t.OpenShared(DossierPath(kind), tag.name));
        EXPECT_EQ(WalkRecords(t, std::string(tag.name)), Expected(s, tag, records_[kind])) << tag.name;
      }
    }
  }
  std::map<TableKind, std::vector<Record>> records_;
};

TEST_F(DossierIndexTest, EveryTagWalksInKeyOrderAndSurvivesARebuild) {
  CreateDossier();
  Fill(60);
  CheckEveryTag();

  // Index files lost: the flag is cleared so the data files open without them, then the
  // builders make every tag again from the records.
  CloseAllTables();
  for (TableKind kind : DossierKinds()) {
    ASSERT_EQ(dbase::DbiDropProductionIndex(DossierPath(kind).c_str()), dbase::DBIERR_NONE);
    Table& t = *GlobalTable(kind);
    ASSERT_TRUE(t.OpenExclusive(DossierPath(kind)));
    EXPECT_EQ(t.Engine().cursorProps.iIndexes, 0);
  }
  for (bool (*build)() : {BuildIndexesC10, BuildIndexesC20, BuildIndexesC30, BuildIndexesC40, BuildIndexesC50,
                          BuildIndexesC60, BuildIndexesC70})
    EXPECT_TRUE(build());
  CloseAllTables();
  for (TableKind kind : DossierKinds())
    EXPECT_TRUE(MdxHeaderMatchesName((DossierPath(kind) + ".mdx").c_str()));
  CheckEveryTag();
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(DossierIndexTest, RefusedTagIsReportedAndStopsTheBuilder) {
  ASSERT_EQ(CreateTableOfKind(TableKind::C20, DossierPath(TableKind::C20)), 0);
  // A builder on a table opened shared cannot make the production index.
  ASSERT_EQ(CreateTableOfKind(TableKind::C30, DossierPath(TableKind::C30)), 0);
  fs::remove(DossierPath(TableKind::C30) + ".mdx");
  ASSERT_EQ(dbase::DbiSetProductionIndexFlag(DossierPath(TableKind::C30).c_str(), false), dbase::DBIERR_NONE);
  ASSERT_TRUE(TableC30->OpenShared(DossierPath(TableKind::C30)));
  EXPECT_FALSE(BuildIndexesC30());
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].caption.rfind("Erreur BDE n:", 0), 0u);
  EXPECT_NE(Boxes()[0].text.find("Erreur:  3130/"), std::string::npos) << Boxes()[0].text;
  EXPECT_EQ(TableC30->Engine().cursorProps.iIndexes, 0);
}

}  // namespace
}  // namespace data_test
