#include "processing/bank_commands.h"

#include "dossier/core/restore_files.h"
#include "processing/ascii_window.h"
#include "processing/core/ascii_import.h"
#include "processing/core/stopped_imports.h"
#include "processing/ofx_window.h"
#include "processing/reconciliation_windows.h"
#include "shell/handlers.h"

void InstallBankCommands() {
  // "Saisie > Importation Relevé de Banque (ofx)": ImportationReleveBanque.
  SetCommandWork(command_id::ImportationReleveBanque, CmImportationReleveBanque);
  // "Traitements > Rapprochement avec Relevé de Banque": RapprochementBanque.
  SetCommandWork(command_id::RapprochementBanque, CmRapprochementBanque);
  // "Utilitaires > Ajout ASCII au Brouillard": AjoutAsciiBrouillard, with its own prologue (it clears the automatic
  // import's flag first).
  SetCommandWork(command_id::AjoutAsciiBrouillard, CmAjoutAsciiBrouillard, true);
  // An import stopped half-way is finished by the next opening of the dossier, shared.
  SetDossierRunFinisher(processing::kOfxImportRun, processing::FinishInterruptedImport);
  SetDossierRunFinisher(processing::kAsciiImportRun, processing::FinishInterruptedImport);
  // A restore makes the log say of the ASCII imports what its books hold.
  SetImportLogReconciler(processing::kAsciiImportRun, processing::AsciiLogAfterRestore);
}
