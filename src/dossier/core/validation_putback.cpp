#include "dossier/core/validation_putback.h"

#include "data/aside_copies.h"
#include "data/dossier_files.h"
#include "resources/string_table.h"
#include "runtime/logfile.h"
#include "runtime/xbase.h"

bool PutBackInterruptedValidation(const DossierRunInfo& run) {
  const std::string code = RTrim(DossierCode.c_str());
  AsideCopies copies;
  std::string why = LoadStr(22197) + run.detail;
  // Copies missing or not whole: nothing is changed, and the opening says why.
  if (!AsideCopies::FromDetail(run.detail, &copies) || !AsideCopiesComplete(DossierFolder, copies, &why)) {
    NoteDossierRunRedoRefusal(why);
    WriteLog(LoadStr(22198) + code + LoadStr(22499) + why + LoadStr(22199));
    return false;
  }
  const bool back = PutBackAsideCopies(DossierFolder, copies, &why);
  if (back)
    WriteLog(LoadStr(22198) + code + LoadStr(22200) + run.started + LoadStr(22500) + run.station +
             LoadStr(22201) + DossierFolder + copies.folder);
  else
    WriteLog(LoadStr(22198) + code + LoadStr(22499) + why);
  return back;
}

std::string ValidationPutBackMessage(const DossierRunInfo& run) {
  return std::string(LoadStr(16270)) + run.started + LoadStr(16271) + run.station + LoadStr(16272);
}
