// The subjects' commands the program installs at start: every command of the "Données" menu has its work (the
// code lists, the chart of accounts and the analytic sections), and so have the record text editor and the
// preview that the report windows open.
#include <gtest/gtest.h>

#include "app/program_commands.h"
#include "framework/browse_services.h"
#include "shell/handlers.h"
#include "shell/mdi_client.h"

namespace {

TEST(ProgramCommandsTest, TheCodeListCommandsAndTheRecordTextEditorHaveTheirWork) {
  InstallProgramCommands();
  // "Etablissements", "Journaux", "Collectifs", "Banques", "Codes Libellés", "Codes Ventilations",
  // "Modèles de saisie", "Codes Tva", "Plan Comptable", "Sections Analytiques", and the record text editor that
  // "Texte" asks for.
  for (unsigned id : {20301u, 20302u, 20303u, 20304u, 20305u, 20306u, 20307u, 20308u, 20309u, 20310u, 20311u})
    EXPECT_TRUE(HasCommandWork(id)) << id;
}

TEST(ProgramCommandsTest, TheEntryCommandsHaveTheirWork) {
  InstallProgramCommands();
  // "Saisie d'Ecritures", the entry windows brought forward and the line form of a slot.
  for (unsigned id : {20401u, 20402u, 20403u, 20404u, 20405u}) EXPECT_TRUE(HasCommandWork(id)) << id;
}

TEST(ProgramCommandsTest, TheTrialBalancesHaveTheirWork) {
  InstallProgramCommands();
  // "Etats > Balances".
  EXPECT_TRUE(HasCommandWork(20504));
}

TEST(ProgramCommandsTest, TheBalanceSheetCommandsHaveTheirWork) {
  InstallProgramCommands();
  // "Bilan Initialisation", "Bilan Calcul", "Bilan Edition" and the tool bar's three edition buttons.
  for (unsigned id : {20508u, 20509u, 20510u, 20017u, 20019u, 20021u}) EXPECT_TRUE(HasCommandWork(id)) << id;
}

TEST(ProgramCommandsTest, ThePreviewCommandsAndTheListsReportHooksAreInstalled) {
  InstallProgramCommands();
  // 20991 and 20992: the preview of one list and of several lists (no menu text).
  EXPECT_TRUE(HasCommandWork(20991));
  EXPECT_TRUE(HasCommandWork(20992));
  EXPECT_TRUE(static_cast<bool>(BrowseHooks().chooseLayout));
  EXPECT_TRUE(static_cast<bool>(BrowseHooks().preview));
  EXPECT_TRUE(static_cast<bool>(BrowseHooks().print));
  EXPECT_TRUE(static_cast<bool>(Services().previewOpen));
  EXPECT_TRUE(static_cast<bool>(Services().closePreview));
  BrowseHooks() = BrowseServices{};
  Services() = ShellServices{};
}

TEST(ProgramCommandsTest, TheValidationOfJournalsHasItsWork) {
  InstallProgramCommands();
  // "Saisie > Validation des Journaux".
  EXPECT_TRUE(HasCommandWork(20406));
}

TEST(ProgramCommandsTest, TheSettingsCommandsHaveTheirWork) {
  InstallProgramCommands();
  // "Configuration du progiciel...", "Constantes du dossier", "Droits d'Accès pour ce dossier", "Etats
  // Paramétrables pour Visualisation" and "pour Impression", and each entry of "Accès aux Fichiers".
  for (unsigned id : {20701u, 20704u, 20705u, 20707u, 20708u, 20713u, 20714u, 20715u, 20716u, 20717u, 20718u, 20719u,
                      20720u, 20721u})
    EXPECT_TRUE(HasCommandWork(id)) << id;
}

TEST(ProgramCommandsTest, TheDunningLettersHaveTheirWork) {
  InstallProgramCommands();
  // "Etats > Lettres de Relance et Relevés".
  EXPECT_TRUE(HasCommandWork(20506));
}

TEST(ProgramCommandsTest, TheLedgerReportsHaveTheirWork) {
  InstallProgramCommands();
  // "Etats": "Compte", "Grands Livres", "Journaux" and "Récapitulatif Centralisateur".
  for (unsigned id : {20501u, 20502u, 20503u, 20505u}) EXPECT_TRUE(HasCommandWork(id)) << id;
}

TEST(ProgramCommandsTest, TheVatReturnHasItsWork) {
  InstallProgramCommands();
  // "Etats > Déclaration de Tva".
  EXPECT_TRUE(HasCommandWork(20507));
}

}  // namespace

TEST(ProgramCommandsTest, TheMatchingCommandsHaveTheirWork) {
  InstallProgramCommands();
  // "Lettrage Manuel" and "Lettrage Automatique".
  EXPECT_TRUE(HasCommandWork(20601));
  EXPECT_TRUE(HasCommandWork(20602));
}

namespace {

TEST(ProgramCommandsTest, TheOpeningBalancesHaveTheirWork) {
  InstallProgramCommands();
  // "Traitements > Génération des Soldes à Nouveau".
  EXPECT_TRUE(HasCommandWork(20605));
}

TEST(ProgramCommandsTest, TheYearSeparationAndTheMergeHaveTheirWork) {
  InstallProgramCommands();
  // "Traitements > Séparation de deux exercices", "Traitements > Ajout d'un autre dossier".
  for (unsigned id : {20604u, 20605u, 20606u}) EXPECT_TRUE(HasCommandWork(id)) << id;
}

TEST(ProgramCommandsTest, TheBankReconciliationHasItsWork) {
  InstallProgramCommands();
  // "Traitements > Rapprochement avec Relevé de Banque".
  EXPECT_TRUE(HasCommandWork(20603));
}

}  // namespace

namespace {

TEST(ProgramCommandsTest, TheListsCopyBetweenDossiersThroughTheirDialogs) {
  BrowseHooks() = BrowseServices{};
  InstallProgramCommands();
  // "Edition > Ajouter à partir d'un autre dossier..." and "Edition > Ajouter vers un autre dossier...".
  EXPECT_TRUE(static_cast<bool>(BrowseHooks().copyIn));
  EXPECT_TRUE(static_cast<bool>(BrowseHooks().copyOut));
}

TEST(ProgramCommandsTest, TheAsciiImportHasItsWork) {
  InstallProgramCommands();
  // "Utilitaires > Ajout ASCII au Brouillard".
  EXPECT_TRUE(HasCommandWork(20706));
}

}  // namespace

TEST(ProgramCommandsTest, TheStatementImportHasItsWork) {
  InstallProgramCommands();
  // "Saisie > Importation Relevé de Banque (ofx)".
  EXPECT_TRUE(HasCommandWork(20407));
}
