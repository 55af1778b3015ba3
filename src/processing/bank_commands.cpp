#include "processing/bank_commands.h"

#include "processing/ascii_window.h"
#include "processing/ofx_window.h"
#include "processing/reconciliation_windows.h"
#include "shell/handlers.h"

void InstallBankCommands() {
  // "Saisie > Importation Relevé de Banque (ofx)": 20407.
  SetCommandWork(bank_cmd::ImportationReleveBanque, CmImportationReleveBanque);
  // "Traitements > Rapprochement avec Relevé de Banque": 20603.
  SetCommandWork(bank_cmd::RapprochementBanque, OpenReconciliationWork);
  // "Utilitaires > Ajout ASCII au Brouillard": 20706, with its own prologue (it clears the automatic
  // import's flag first).
  SetCommandWork(bank_cmd::AjoutAsciiBrouillard, CmAjoutAsciiBrouillard, true);
}
