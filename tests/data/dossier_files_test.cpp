// Dossier file names and the loading of the dossier record from C10.
#include "data/dossier_files.h"

#include <fstream>

#include "data_test_util.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"

using namespace data_test;

using DossierFilesTest = DataTest;

TEST_F(DossierFilesTest, NamesFollowTheCodeAndFolder) {
  SetDossier(File("Compta/Dossier1"), "DEMO");
  EXPECT_EQ(std::string(PathC10(".ini")), File("Compta/Dossier1/c10demo.ini"));
  EXPECT_EQ(std::string(ExportFileName(".csv", "XP")), File("Compta/Dossier1/cxpdemo.csv"));
  SetDossier(File("Compta/Dossier1"), "AB  ");
  EXPECT_EQ(std::string(DossierTablePath()), File("Compta/Dossier1/cab_____"));
}

TEST_F(DossierFilesTest, IniAndExportNamesFromTheSystemAndSettings) {
  std::filesystem::create_directories(File("Dos"));
  std::ofstream(File("Dos/C10DEMO.INI")) << "[DateTravail]\r\n";
  SetDossier(File("Dos/"), "DEMO");
  EXPECT_EQ(std::string(PathC10(".ini")), File("Dos/C10DEMO.INI")) << "an INI copied from elsewhere is found";
  ASSERT_TRUE(IniSetString("NomFichierExport", "/srv/export/balance.txt"));
  EXPECT_STREQ(ExportFileName(".csv", "XP"), "/srv/export/balance.txt");
}

TEST_F(DossierFilesTest, DossierRecordLoadsFromC10KeepingLevelAndWorkingDate) {
  SetDossier(Dir(), "TST");
  ASSERT_EQ(CreateTableOfKind(TableKind::C10, PathC10()), 0);
  Table& c10 = *TableC10;
  ASSERT_TRUE(c10.OpenShared(PathC10(), "C10CODE"));
  std::string zone1(254, ' ');
  zone1.replace(169 - 31, 8, "20250301");  // the stored working date
  zone1[194 - 31] = '2';                    // a level on file that memory must not take
  zone1.replace(0, 5, "RUE A");
  std::string zone2(254, ' ');
  zone2.replace(523 - 285, 10, "   6.55957");
  Add(c10, {"1", "X", "a journal"});
  Add(c10, {"0", "", "Soci\xE9t\xE9 Test", zone1, zone2});

  struct Case { bool useStored; const char* date; };
  for (const Case& c : {Case{false, "20240115"}, Case{true, "20250301"}}) {
    TheDossierRecord.Clear();
    TheDossierRecord.Set(169, 8, "20240115");
    TheDossierRecord.SetAt(194, 'A');
    UseStoredWorkingDate = c.useStored;
    ASSERT_TRUE(ReadC10Texts());
    EXPECT_EQ(TheDossierRecord.Get(1, 30), "Soci\xE9t\xE9 Test" + std::string(18, ' '));
    EXPECT_EQ(TheDossierRecord.Get(31, 5), "RUE A");
    EXPECT_EQ(TheDossierRecord.Get(169, 8), c.date);
    EXPECT_EQ(TheDossierRecord.At(194), 'A');
    EXPECT_NEAR(TheDossierRecord.Parity(), 6.55957, 1e-9);
  }
}
