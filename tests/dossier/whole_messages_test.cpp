// The messages of the dossier windows that the string table holds as whole sentences, their
// values in their places: each one reads, byte for byte, as the message the user has always
// been shown, every value where it was and none of them swapped with another.
#include <filesystem>

#include "dossier/backup.h"
#include "dossier/backup_settings.h"
#include "dossier/constants_check.h"
#include "dossier/core/restore_files.h"
#include "dossier/dossier_commands.h"
#include "dossier/dossier_management.h"
#include "dossier/rebuild_dossier.h"
#include "dossier_window_test.h"
#include "shell/mdi_client.h"
#include "support/temp_folder.h"

namespace dossier_test {
namespace {

class WholeMessagesTest : public ModalSessionTest {
 protected:
  void SetUp() override {
    ModalSessionTest::SetUp();
    if (HasFatalFailure()) return;
    // The batch files of the Windows program: "cw" + the action (see DossierBatchName).
    SetProgramOption(1, ' ');
    SetProgramOption(2, ' ');
  }
};

// The source of a dossier-management report, as every report but the search's begins.
const std::string kSource = "\n\n\nLe dossier AB de l'emplacement:\n   /src/\n\n";

TEST_F(WholeMessagesTest, DossierManagementReportsAndQuestion) {
  using A = DossierAction;
  DossierCheck done;
  done.exitStatus = 0;
  DossierCheck failed;
  failed.exitStatus = 5;
  failed.output = "copie en cours\nlha: disque plein\n";
  DossierCheck foundTwo = done;
  foundTwo.output = "c10ab.dbf\nc10cd.dbf\n";
  const struct Case {
    const char* what;
    DossierChoice choice;
    DossierCheck ran;
    std::string want;
  } cases[] = {
      {"copy", {A::Copier, "AB", "/src", "NEW", "/dst"}, done,
       kSource + "a \xE9t\xE9 copi\xE9 sous le code NEW sur l'emplacement:\n   /dst/\n\n\n"},
      {"move", {A::Deplacer, "AB", "/src/", "AB", "/dst"}, done,
       kSource + "a \xE9t\xE9 d\xE9plac\xE9 sur l'emplacement:\n   /dst/\n\n\n"},
      {"rename", {A::Renommer, " AB ", "/src", "NEW", ""}, done, kSource + "a \xE9t\xE9 renomm\xE9 NEW.\n\n\n"},
      {"delete", {A::Annuler, "AB", "/src", "", ""}, done,
       kSource + "a \xE9t\xE9 supprim\xE9 (tous ses fichiers).\n\n\n"},
      {"search, none found", {A::Rechercher, "", "/src", "", ""}, done,
       "\n\n\nRecherche des dossiers termin\xE9" "e sur l'emplacement:\n   /src\n\nAucun dossier trouv\xE9.\n\n\n"},
      {"search, two found", {A::Rechercher, "", "/src", "", ""}, foundTwo,
       "\n\n\nRecherche des dossiers termin\xE9" "e sur l'emplacement:\n   /src\n\nDossiers trouv\xE9s:\n"
       "c10ab.dbf\nc10cd.dbf\n\n\n"},
      {"failed", {A::Copier, "AB", "/src", "NEW", "/dst"}, failed,
       "\n\n\nL'action 'Copier' a \xE9" "chou\xE9: cwcopy.bat s'est termin\xE9 avec le code 5.\n\n"
       "Ses derniers messages:\ncopie en cours\nlha: disque plein\n\n"
       "V\xE9rifiez les fichiers du dossier avant de recommencer.\n\n\n"},
      {"failed, without messages", {A::Annuler, "AB", "/src", "", ""}, DossierCheck{true, "", 0, 2, ""},
       "\n\n\nL'action 'Annuler' a \xE9" "chou\xE9: cwdel.bat s'est termin\xE9 avec le code 2.\n\n"
       "V\xE9rifiez les fichiers du dossier avant de recommencer.\n\n\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(DossierActionDoneText(c.choice, c.ran), c.want) << c.what;

  EXPECT_EQ(DossierDeleteQuestion({A::Annuler, " AB ", "/src", "", ""}),
            "\n\n\nLe dossier AB de l'emplacement:\n   /src/\n\nva \xEAtre SUPPRIM\xC9 D\xC9" "FINITIVEMENT: tous ses "
            "fichiers seront effac\xE9s.\n\nConfirmez-vous la suppression de ce dossier?\n\n\n");
}

TEST_F(WholeMessagesTest, BackupRebuildConstantsAndCaption) {
  const std::string rebuildIncident = "\n\nLa Re-Construction du dossier a rencontr\xE9 un incident: \n\n";
  const std::string totalsNotRebuilt =
      "\n\nLes totaux des comptes et les journaux centralisateurs n'ont PAS \xE9t\xE9 reconstruits.\n"
      "La Re-Construction du dossier doit \xEAtre relanc\xE9" "e.\n\n";
  RebuildReport incident;
  incident.code = 7;
  RebuildReport kept = incident;
  kept.totalsRebuilt = true;
  kept.markerKept = true;

  SetDossier("/d/", "AB");
  const std::string withDossier = DossierCaption();
  SetDossier("", "");
  const std::string withoutDossier = DossierCaption();

  const struct Case {
    const char* what;
    std::string got, want;
  } cases[] = {
      {"a method that cannot run here", UnavailableMethodText('r', false),
       "\n\n\nLa m\xE9thode de sauvegarde 'R' produit une archive RAR, que Linux ne sait pas \xE9" "crire: elle n'est "
       "pas disponible ici.\n\nChoisissez la m\xE9thode 9 (archive LHA), A ou Z (archive ZIP) ou W (copie des "
       "fichiers) par la cl\xE9 \"LanceM?BACKUP\" du fichier merlon.ini.\n\n\n"},
      {"a rebuild's incident", RebuildEndMessage(incident), rebuildIncident + "    7" + totalsNotRebuilt},
      {"a rebuild's incident, its marker kept", RebuildEndMessage(kept),
       rebuildIncident + "    7\n\nLes totaux des comptes et les journaux centralisateurs ont \xE9t\xE9 reconstruits."
                         "\n\n\n\nLe dossier reste marqu\xE9: sa Re-Construction sera relanc\xE9" "e \xE0 sa "
                         "prochaine ouverture.\n\n"},
      {"the constants reset", ConstantsResetMessage({{4, "Q  ", "NON"}, {33, "   ", "MVT"}}),
       "\n\nLes constantes suivantes du dossier n'\xE9taient pas valides.\nElles ont \xE9t\xE9 remises \xE0 leur "
       "valeur par d\xE9" "faut:\n\n   004:  'Q  '  ->  'NON'\n   033:  '   '  ->  'MVT'\n\n\n"},
      {"the caption with a dossier", withDossier, "Nuv-Merlon ZEL+ - AB sur /d/"},
      {"the caption without a dossier", withoutDossier, "Nuv-Merlon ZEL+ - " + ProgramFolder},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want) << c.what;
}

// A value goes in its place once: a member of a backup whose name holds "%2" or "%s" is named as it is, where the
// restore's refusal names it.
TEST_F(WholeMessagesTest, ARestoredMemberIsNamedAsItIs) {
  test_support::TempFolder work("restore-members");
  std::filesystem::create_symlink("/nowhere", work.path() + "/lien%2%s.dbf");
  EXPECT_EQ(SelectRestoredFiles(work.path(), "/d/", "AB").refusal,
            "\n\n\nLa restauration est refus\xE9" "e: le dossier n'a pas \xE9t\xE9 modifi\xE9.\n\nLe membre \xAB "
            "lien%2%s.dbf \xBB de la sauvegarde est un lien symbolique:\nil ferait lire ou \xE9" "crire le dossier "
            "ailleurs.\n\n\n");
}

TEST_F(WholeMessagesTest, BackupConfirmationNamesTheDossierAndItsUnits) {
  SetDossier(Dir() + "/d'\xE9t\xE9/", "AB");
  const std::string head =
      "\nLa SAUVEGARDE du DOSSIER permet de garder une image de votre dossier en vue de le restaurer le cas \xE9"
      "ch\xE9" "ant, notamment en cas d'incident technique. Elle doit \xEAtre effectu\xE9" "e chaque jour, chaque "
      "semaine ou au moins chaque fin de mois.\n\n\nLe dossier 'AB' situ\xE9 \xE0 l'emplacement:\n   \"" +
      DossierFolder + "\"\n\nsera sauvegard\xE9 automatiquement sur (Unit\xE9 1):\n   ";
  const std::string tail =
      "\n\nVous pouvez modifier 'Unit\xE9 2' (ou l'enlever), rajouter un commentaire.\nNotez le ou les "
      "emplacement(s) de sauvegarde (comportant la Date \xE0 l'envers suivie de l'Heure).\n\nVoulez-vous vraiment "
      "confirmer le lancement de la sauvegarde?\n\n\n";
  const BackupTargets one = BuildBackupTargets("Sauvegarde/20240102/", "", " essai ");
  EXPECT_EQ(one.confirmation, head + DossierFolder + "Sauvegarde/20240102-essai/" + tail);
  const BackupTargets two = BuildBackupTargets("Sauvegarde/20240102/", " /mnt/u2 ", "");
  EXPECT_EQ(two.confirmation, head + DossierFolder + "Sauvegarde/20240102/\n\npuis sera sauvegard\xE9 "
                                     "automatiquement sur (Unit\xE9 2):\n   /mnt/u2/Sauvegarde/20240102/" + tail);
}

}  // namespace
}  // namespace dossier_test
