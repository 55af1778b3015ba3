#include "dossier/core/validation_putback.h"

#include "data/aside_copies.h"
#include "data/dossier_files.h"
#include "runtime/logfile.h"
#include "runtime/xbase.h"

bool PutBackInterruptedValidation(const DossierRunInfo& run) {
  const std::string code = RTrim(DossierCode.c_str());
  AsideCopies copies;
  std::string why = "copies inconnues: " + run.detail;
  const bool back = AsideCopies::FromDetail(run.detail, &copies) && PutBackAsideCopies(DossierFolder, copies, &why);
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
