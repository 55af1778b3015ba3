// The settings of the program INI: each kind's check of a typed value (what is kept, what is refused), the backup
// method's refusal given by the backup and the units brought to the method's form, and the writing of the changes
// (a blank value deletes the key).
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "runtime/inifiles.h"
#include "support/runtime_fixture.h"
#include "utilities/core/settings_table.h"

namespace {

using namespace settings;

class SettingsTest : public test_support::RuntimeTest {};

const ProgramSetting& Setting(const char* key) {
  const ProgramSetting* s = FindProgramSetting(key);
  EXPECT_NE(s, nullptr) << key;
  static const ProgramSetting none{"", "", SettingKind::Text, "", 0, 0, "", false};
  return s != nullptr ? *s : none;
}

TEST_F(SettingsTest, EachKindKeepsWhatItsReadersTakeAndRefusesTheRest) {
  std::filesystem::create_directories(Dir() + "/sauve");
  Write("import.txt", "x");
  const std::string dir = Dir();
  const struct Case {
    const char* key;
    std::string typed;
    bool accepted;
    std::string kept;
  } cases[] = {
      {"Fen\xEAtres-Maxi", "n", true, "N"},
      {"Fen\xEAtres-Maxi", "Oui", true, "O"},
      {"Fen\xEAtres-Maxi", "X", false, ""},
      {"Fen\xEAtres-Maxi", "  ", true, ""},  // blank: the key goes, the default applies
      {"FichierEtatsV", "b", true, "B"},
      {"FichierEtatsV", "S", false, ""},  // the reference set is nobody's working set
      {"FichierEtatsA", "12", false, ""},
      {"Caract\xE8reAide", "?", true, "?"},
      {"Caract\xE8reAide", "A", false, ""},
      {"LargMPortrait", "255", true, "255"},
      {"LargMPortrait", "256", false, ""},  // kept in one byte
      {"LargMPortrait", "0", false, ""},
      {"LargMPaysage_", "0113", true, "113"},
      {"LargMPaysage_", "1,5", false, ""},
      {"NumeroPoste", "9999999999", true, "9999999999"},
      {"NumeroPoste", "00000000042", true, "42"},  // eleven digits, a number of the range
      {"NumeroPoste", "10000000000", false, ""},
      {"NumeroPoste", std::string(400, '9'), false, ""},
      {"NumeroPoste", "12a", false, ""},
      {"MajHautPolTab", "1,3", true, "1.3"},
      {"MajHautPolTab", "0", false, ""},
      {"MajHautPolTab", "1.2.3", false, ""},
      {"MajMaxPolVisu", "2.5", false, ""},
      {"CpteArrondiDB", "666", true, "66600000"},
      {"CpteArrondiDB", "666000001", false, ""},
      {"CpteArrondiCR", "A766", true, "A766    "},  // an auxiliary account is padded with blanks
      {"CpteArrondiCR", "7660 000", false, ""},
      {"CpteArrondiCR", "766a", false, ""},
      {"CpteArrondiAN", "ZARR", true, "ZARR"},
      {"CpteArrondiAN", "zarr", false, ""},
      {"CpteArrondiAN", "Z ARR", false, ""},
      {"FichierImport", dir + "/import.txt", true, dir + "/import.txt"},
      {"FichierImport", dir + "/absent.txt", false, ""},
      {"NomFichierExport", dir + "/sauve/export.txt", true, dir + "/sauve/export.txt"},
      {"NomFichierExport", dir + "/nulle-part/export.txt", false, ""},
      {"Police-1-Visu", "Verdana,010/400", true, "Verdana,010/400"},
      {"PoliceSaisies", "12", true, "12"},  // a stock font of the forms
      {"Police-1-Visu", "Verdana", false, ""},
      {"1ere-Imprim-A", std::string(65, 'x'), false, ""},
      {"Un2Sauvegarde", dir + "/sauve/%code%/", true, dir + "/sauve/%code%/"},
      {"Un2Sauvegarde", dir + "/absent/%code%/", false, ""},
      {"Un-Sauvegarde", dir + "/sauve", true, dir + "/sauve"},
  };
  SettingContext context;
  for (const Case& c : cases) {
    const SettingCheck check = CheckSettingValue(Setting(c.key), c.typed, context);
    EXPECT_EQ(check.accepted, c.accepted) << c.key << " '" << c.typed << "'";
    if (c.accepted) {
      EXPECT_EQ(check.value, c.kept) << c.key << " '" << c.typed << "'";
    } else {
      EXPECT_FALSE(check.message.empty()) << c.key;
    }
  }
}

// A refusal is one sentence with the setting's limits or the typed value in their places, framed by blank lines,
// word for word as the box shows it; a typed "%s" stays as typed.
TEST_F(SettingsTest, ARefusalSaysWhyInOneSentence) {
  const std::string dir = Dir();
  const struct Case {
    const char* key;
    std::string typed;
    std::string message;
  } cases[] = {
      {"LargMPortrait", "300", "Entrez un nombre de 1 \xE0 255."},
      {"NumeroPoste", "12345678901", "Entrez un nombre de 0 \xE0 9999999999."},
      {"NumeroPoste", std::string(400, '9'), "Entrez un nombre de 0 \xE0 9999999999."},
      {"NumeroPoste", "12a", "Entrez un nombre entier."},
      {"MajHautPolTab", "4", "Entrez un multiplicateur plus grand que 0 et au plus \xE9gal \xE0 3.0 (Ex: 1.3)."},
      {"1ere-Imprim-A", std::string(65, 'x'), "Texte de 64 caract\xE8res au plus."},
      {"FichierEtatsV", "S", "Un seul caract\xE8re parmi: 0123456789ABCDEFGHIJKLMNOPQRTUVWXYZ"},
      {"FichierImport", dir + "/a%sb.txt", "Le fichier n'existe pas:\n\n" + dir + "/a%sb.txt"},
      {"NomFichierExport", dir + "/nulle-part/x.txt",
       "Le dossier de ce fichier n'existe pas:\n\n" + dir + "/nulle-part/x.txt"},
      {"Un-Sauvegarde", dir + "/absent", "Le dossier n'existe pas:\n\n" + dir + "/absent"},
  };
  SettingContext context;
  for (const Case& c : cases) {
    const SettingCheck check = CheckSettingValue(Setting(c.key), c.typed, context);
    EXPECT_FALSE(check.accepted) << c.key << " '" << c.typed << "'";
    EXPECT_EQ(check.message, "\n\n\n" + c.message + "\n\n\n") << c.key << " '" << c.typed << "'";
  }
}

TEST_F(SettingsTest, BackupMethodsAreThoseOfTheBackupZipArchivesIncluded) {
  EXPECT_EQ(OfferedBackupMethods(), "7WR8092AZP");
  EXPECT_NE(BackupMethodText('A').find("ZIP"), std::string::npos);
  EXPECT_NE(BackupMethodText('Z').find("ZIP"), std::string::npos);
  for (char m : std::string("7WR8092AZP")) EXPECT_EQ(BackupMethodText(m)[0], m) << m;
  const ProgramSetting& method = Setting("LanceM?BACKUP");
  SettingContext context;
  context.methodRefusal = [](char m) { return m == '7' ? std::string("refus de 7") : std::string(); };
  const struct {
    const char* typed;
    bool accepted;
    const char* message;
  } cases[] = {{"w", true, ""}, {"7", false, "refus de 7"}, {"A", true, ""}, {"z", true, ""}, {"", false, ""}, {"P", true, ""}};
  for (const auto& c : cases) {
    const SettingCheck check = CheckSettingValue(method, c.typed, context);
    EXPECT_EQ(check.accepted, c.accepted) << c.typed;
    if (*c.message != '\0') { EXPECT_EQ(check.message, c.message); }
  }
}

TEST_F(SettingsTest, AUnitIsBroughtToTheFormOfTheMethodChosen) {
  const ProgramSetting& unit = Setting("Un-Sauvegarde");
  SettingContext context;
  context.backupMethod = '2';
  const SettingCheck drive = CheckSettingValue(unit, "d", context);
  ASSERT_TRUE(drive.accepted);
  EXPECT_EQ(drive.value, "D:\\");
  EXPECT_FALSE(CheckSettingValue(unit, "12", context).accepted) << "no drive";
}

TEST_F(SettingsTest, ChangesAreWrittenAndABlankOneDeletesItsKey) {
  ASSERT_TRUE(IniSetString("DateHeureImpr", "N"));
  ASSERT_TRUE(WriteSettings({{"DateHeureImpr", ""}, {"Debug_Etats", "O"}}));
  EXPECT_EQ(IniGetString("DateHeureImpr", "absent"), "absent");
  EXPECT_EQ(IniGetString("Debug_Etats", ""), "O");
  EXPECT_EQ(CurrentSettingValue(Setting("DateHeureImpr")), "O") << "the default";
  EXPECT_EQ(Read("merlon.ini").find("DateHeureImpr"), std::string::npos);

  EXPECT_TRUE(ChangesNeedRestart({{"PoliceTableau", "Arial,010/400"}}));
  EXPECT_FALSE(ChangesNeedRestart({{"Police-1-Visu", "Arial,010/400"}})) << "read at each report";
  EXPECT_TRUE(ChangesReportSets({{"Sur2emeImprim", "O"}}));
  EXPECT_FALSE(ChangesReportSets({{"Debug_Etats", "O"}}));
}

TEST_F(SettingsTest, EveryKeyIsListedOnce) {
  std::set<std::string> keys;
  for (const ProgramSetting& s : ProgramSettings()) EXPECT_TRUE(keys.insert(s.key).second) << s.key;
  for (const char* key : {"Fen\xEAtres-Maxi", "FichierEtatsV", "FichierEtatsA", "FichierEtatsB", "Sur2emeImprim",
                          "DateHeureImpr", "BArgument", "Cadres-Gris\xE9s", "SelectSaisies", "Fmt_R\xE9" "el_Visu",
                          "SaisieEnRouge", "Debug_Etats", "LargMPortrait", "LargMPaysage_", "1ere-Imprim-A",
                          "2eme-Imprim-B", "NomFichierExport", "LancementAuto", "NumeroPoste", "Autoriser-UNC",
                          "Double-Buffer", "FichierImport", "CpteArrondiDB", "CpteArrondiCR", "CpteArrondiAN",
                          "LanceM?BACKUP", "Un-Sauvegarde", "Un2Sauvegarde"})
    EXPECT_EQ(keys.count(key), 1u) << key;
}

}  // namespace
