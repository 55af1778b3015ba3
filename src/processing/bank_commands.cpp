#include "processing/bank_commands.h"

#include "data/dossier_files.h"
#include "dossier/core/restore_files.h"
#include "dossier/dossier_open.h"
#include "dossier/rebuild_indexes.h"
#include "processing/ascii_window.h"
#include "processing/core/ascii_import.h"
#include "processing/core/stopped_imports.h"
#include "processing/ofx_window.h"
#include "processing/reconciliation_windows.h"
#include "resources/string_table.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "shell/handlers.h"

namespace {

constexpr int kCaptionTakeUp = 34200;  // the dossier's code

// A stopped import finished by the opening under the progress window of the opening's long runs,
// which names the import's file and counts its pieces.
DossierRunFinish TakeUpShown(const DossierRunInfo& run) {
  DossierRunProgress progress(DossierMessageOwner(),
                              FillPlaceholder(LoadStr(kCaptionTakeUp), RTrim(DossierCode.c_str())), true);
  return processing::TakeUpInterruptedImport(run, &progress);
}

}  // namespace

void InstallBankCommands() {
  // "Saisie > Importation Relevé de Banque (ofx)": ImportationReleveBanque.
  SetCommandWork(command_id::ImportationReleveBanque, CmImportationReleveBanque);
  // "Traitements > Rapprochement avec Relevé de Banque": RapprochementBanque.
  SetCommandWork(command_id::RapprochementBanque, CmRapprochementBanque);
  // "Utilitaires > Ajout ASCII au Brouillard": AjoutAsciiBrouillard, with its own prologue (it clears the automatic
  // import's flag first).
  SetCommandWork(command_id::AjoutAsciiBrouillard, CmAjoutAsciiBrouillard, true);
  // An import stopped half-way is finished by the next opening of the dossier, shared.
  SetDossierRunFinisher(processing::kOfxImportRun, TakeUpShown);
  SetDossierRunFinisher(processing::kAsciiImportRun, TakeUpShown);
  // A restore makes the log say of the ASCII imports what its books hold.
  SetImportLogReconciler(processing::kAsciiImportRun, processing::AsciiLogAfterRestore);
}
