#include "dossier/core/validation_putback.h"

#include "data/aside_copies.h"
#include "data/dossier_files.h"
#include "runtime/logfile.h"
#include "runtime/xbase.h"

bool PutBackInterruptedValidation(const DossierRunInfo& run) {
  const std::string code = RTrim(DossierCode.c_str());
  AsideCopies copies;
  std::string why = "copies inconnues: " + run.detail;
  // Copies missing or not whole: nothing is changed, and the opening says why.
  if (!AsideCopies::FromDetail(run.detail, &copies) || !AsideCopiesComplete(DossierFolder, copies, &why)) {
    NoteDossierRunRedoRefusal(why);
    WriteLog("VALIDATION DES JOURNAUX - reprise: " + code + " - Erreur: " + why + " - rien n'a \xE9t\xE9 modifi\xE9");
    return false;
  }
  const bool back = PutBackAsideCopies(DossierFolder, copies, &why);
  if (back)
    WriteLog("VALIDATION DES JOURNAUX - reprise: " + code + " - validation du " + run.started + " (poste " + run.station +
             ") interrompue, dossier remis en place depuis " + DossierFolder + copies.folder);
  else
    WriteLog("VALIDATION DES JOURNAUX - reprise: " + code + " - Erreur: " + why);
  return back;
}

std::string ValidationPutBackMessage(const DossierRunInfo& run) {
  return std::string(LoadStr(16270)) + run.started + LoadStr(16271) + run.station + LoadStr(16272);
}
