// The subjects' commands that the program installs in the shell's command
// table at start. The program's entry routine and the start-up tests use the
// same list.
#pragma once

#include "dossier/backup.h"
#include "dossier/dossier_commands.h"
#include "dossier/dossier_record_commands.h"
#include "dossier/rebuild_dossier.h"
#include "dossier/renumber_window.h"
#include "entry/entry_commands.h"
#include "masterdata/masterdata_commands.h"
#include "processing/bank_commands.h"
#include "processing/matching_windows.h"
#include "reports/balances/balance_commands.h"
#include "reports/balances/balance_sheet_commands.h"
#include "processing/year_end_forms.h"
#include "reports/engine/report_engine_commands.h"
#include "reports/vat_dunning/dunning_commands.h"
#include "reports/ledgers/ledger_commands.h"
#include "reports/vat_dunning/vat_commands.h"
#include "utilities/settings_commands.h"

inline void InstallProgramCommands() {
  // Open, recent, change and close.
  InstallDossierCommands();
  // New dossier, working date and properties.
  InstallDossierRecordCommands();
  // Backup and restore.
  InstallDossierBackupCommands();
  // Rebuild; renumbering and dossier management.
  InstallMaintenanceCommands();
  InstallMaintenance2Commands();
  // The code lists, the chart of accounts, the sections and the record text editor.
  InstallMasterDataCommands();
  // "Saisie d'Ecritures" and the entry windows brought forward.
  InstallEntryCommands();
  // The preview (Visu, VisuMode1) and the lists' report hooks: choice, preview, printout.
  InstallReportEngineCommands();
  // "Etats > Lettres de Relance et Relevés".
  InstallDunningCommands();
  // "Etats": the account statement, the general ledgers, the journal listings and the centralising summary.
  InstallLedgerCommands();
  // "Etats > Déclaration de Tva".
  InstallVatReturnCommands();
  // "Utilitaires": configuration, constants, access rights, user-defined reports and the raw table browser.
  InstallSettingsCommands();
  // "Traitements > Lettrage Manuel" and "Traitements > Lettrage Automatique".
  InstallMatchingCommands();
  // "Etats > Balances".
  InstallBalanceCommands();
  // "Etats > Bilan Initialisation" and "Etats > Bilan Calcul".
  InstallBalanceSheetCommands();
  // "Traitements > Génération des Soldes à Nouveau".
  InstallYearEndCommands();
  // "Saisie > Importation Relevé de Banque (ofx)", "Traitements > Rapprochement avec Relevé de Banque",
  // "Utilitaires > Ajout ASCII au Brouillard".
  InstallBankCommands();
}
