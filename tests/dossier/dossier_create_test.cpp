// Creation of a new dossier: what it writes (tables with their tags, dossier record with the
// default constants and euro settings, INI, log), read back through the table layer and by
// python3-dbfread; the refusals that leave the folder as it was.
#include <filesystem>
#include <set>

#include "data/table_internal.h"
#include "data/table_structures.h"
#include "dossier/core/dossier_create.h"
#include "dossier_test_util.h"
#include "platform/dbase/idapi.h"

namespace dossier_test {
namespace {

NewDossierSpec Spec(const std::string& folder, const std::string& code = "DEMO") {
  NewDossierSpec s;
  s.folder = folder;
  s.code = code;
  s.companyName = "SARL Caf\xE9 du Port";
  s.firstDay = Ymd{2026, 1, 1};
  s.lastDay = Ymd{2026, 12, 31};
  return s;
}

std::set<std::string> FilesIn(const std::string& folder) {
  std::set<std::string> names;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder, ec)) names.insert(e.path().filename().string());
  return names;
}

std::string KeyExpression(Table& t, const char* tag) {
  dbase::IDXDesc desc;
  if (!t.SetOrder(tag) || dbase::DbiGetIndexDesc(t.Engine().cursor, 0, &desc) != dbase::DBIERR_NONE) return "?";
  return desc.szKeyExp;
}

using CreateTest = SessionTest;

TEST_F(CreateTest, NewDossierOpensThroughTheTableLayerWithItsRecordConstantsAndEuroSettings) {
  const std::string folder = Dir() + "/Dossiers/Caf\xE9";  // the folder keeps its case
  const std::string onDisk = Dir() + "/Dossiers/Caf\xC3\xA9";  // and is named in UTF-8
  std::string message = "unchanged";
  ASSERT_TRUE(CreateDossier(Spec(folder, "dem-1"), &message)) << message;
  EXPECT_EQ(message, "");

  SetDossier(folder, "DEM-1");
  // The path functions share one buffer: each path is copied as it is made.
  const struct {
    Table* table;
    std::string path;
    const char* tag;
  } tables[] = {{TableC10, PathC10(), "C10CODE"}, {TableC20, PathC20(), "C20NOM"}, {TableC30, PathC30(), "C30CODE"},
                {TableC40, PathC40(), "C40CODE"}, {TableC50, PathC50(), "C50VENT"}, {TableC60, PathC60(), "C60DTVAE"},
                {TableC70, PathC70(), ""},         {DossierLockTable, DossierTablePath(), ""}};
  for (const auto& t : tables) EXPECT_TRUE(t.table->OpenShared(t.path, t.tag)) << t.path << " " << t.table->result;
  ASSERT_TRUE(TableC10->SetOrder("C10CODE"));
  EXPECT_EQ(TableC10->FieldName(TableC10->FieldCount()), std::string(kC10FormatStamp));

  TheDossierRecord.SetUserLevel('A');
  UseStoredWorkingDate = true;
  ASSERT_TRUE(ReadC10Texts());
  const DossierRecord& r = TheDossierRecord;
  EXPECT_EQ(r.Name(), Spec("").companyName + std::string(30 - Spec("").companyName.size(), ' '));
  EXPECT_EQ(r.DateYyyymmdd(DossierRecord::DateField::YearStart), "20260101");
  EXPECT_EQ(r.DateYyyymmdd(DossierRecord::DateField::YearEnd), "20261231");
  EXPECT_NE(r.DateYyyymmdd(DossierRecord::DateField::Working), "");
  EXPECT_EQ(r.UserLevel(), 'A');  // the workstation's level is kept

  EXPECT_EQ(IniFileGetString(PathC10(".ini"), "Monnaie", "SeulementEnEuros"), "O");
  const std::string log = ReadFile(onDisk + "/clgdem-1.txt");
  EXPECT_NE(log.find("Cr\xE9" "ation du dossier DEM-1 - SARL Caf\xE9 du Port - exercice du 01/01/2026 au 31/12/2026"),
            std::string::npos)
      << log;
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(CreateTest, FilesReadBackInDbfread) {
  ASSERT_TRUE(CreateDossier(Spec(Dir() + "/d")));
  std::string out;
  ASSERT_EQ(RunPython("read_dossier.py", {Dir() + "/d", "DEMO"}, &out), 0) << out;
  for (const char* kind : {"c10", "c20", "c30", "c40", "c50", "c60", "c70"}) {
    const TableStructure& s = StructureOf(TableKindOfFileName(std::string(kind) + "demo"));
    std::string names;
    for (const FieldDef& f : s.fields) names += (names.empty() ? "" : ",") + std::string(f.name);
    const std::string line = std::string(kind) + (std::string(kind) == "c10" ? " 2 " : " 0 ") + names;
    EXPECT_NE(out.find(line + "\n"), std::string::npos) << line << "\n" << out;
  }
  EXPECT_NE(out.find("lock 0\n"), std::string::npos) << out;
  EXPECT_NE(out.find("record 0|SARL Caf\xC3\xA9 du Port|"), std::string::npos) << out;  // printed in UTF-8
  EXPECT_NE(out.find("6.55957O"), std::string::npos) << out;
  EXPECT_NE(out.find("record P0||         NON   NONNON"), std::string::npos) << out;
}

TEST_F(CreateTest, TheNewDossiersAnalyticOrderIgnoresTheOpenDossiersConstant) {
  TheDossierRecord.SetConstant(32, "OUI");
  ASSERT_TRUE(CreateDossier(Spec(Dir() + "/d")));
  EXPECT_EQ(TheDossierRecord.Constant(32), "OUI");
  Table c60;
  ASSERT_TRUE(c60.OpenShared(Dir() + "/d/c60demo", "C60ANAL"));
  EXPECT_EQ(KeyExpression(c60, "C60ANAL"), "TCODE+TMOIS+TJOUR");
}

TEST_F(CreateTest, RefusalsLeaveTheFolderEmpty) {
  struct Case {
    const char* what;
    NewDossierSpec spec;
    const char* message;  // beginning of the message
  };
  auto spec = [&](auto change) {
    NewDossierSpec s = Spec(Dir() + "/refused");
    change(s);
    return s;
  };
  const std::vector<Case> cases{
      {"blank code", spec([](NewDossierSpec& s) { s.code = "  "; }), "Le code du dossier est obligatoire"},
      {"slash", spec([](NewDossierSpec& s) { s.code = "../X"; }), "Le code du dossier ne peut"},
      {"24 months and a day", spec([](NewDossierSpec& s) { s.lastDay = Ymd{2028, 1, 1}; }),
       "L'exercice ne peut d\xE9passer 24 mois"},
  };
  for (const Case& c : cases) {
    std::string message;
    EXPECT_FALSE(CreateDossier(c.spec, &message)) << c.what;
    EXPECT_EQ(message.rfind(c.message, 0), 0u) << c.what << ": " << message;
    EXPECT_FALSE(fs::exists(Dir() + "/refused")) << c.what;
  }
  // A file where the folder should be.
  std::ofstream(Dir() + "/plain") << "x";
  std::string message;
  EXPECT_FALSE(CreateDossier(Spec(Dir() + "/plain"), &message));
  EXPECT_EQ(message.rfind("Impossible de cr\xE9" "er l'emplacement", 0), 0u) << message;
}

TEST_F(CreateTest, AnExistingDossierIsNeverOverwritten) {
  const std::string folder = Dir() + "/d";
  ASSERT_TRUE(CreateDossier(Spec(folder)));
  const std::string before = ReadFile(folder + "/c10demo.dbf");
  const std::set<std::string> files = FilesIn(folder);
  std::string message;
  NewDossierSpec again = Spec(folder, "demo");
  again.companyName = "Autre soci\xE9t\xE9";
  EXPECT_FALSE(CreateDossier(again, &message));
  EXPECT_EQ(message, "Le dossier DEMO existe d\xE9j\xE0 sur\n\n   " + folder + "/\n\nIl n'est pas remplac\xE9.");
  EXPECT_EQ(ReadFile(folder + "/c10demo.dbf"), before);
  EXPECT_EQ(FilesIn(folder), files);
}

}  // namespace
}  // namespace dossier_test
