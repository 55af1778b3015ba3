#include "dossier/core/validation_putback.h"

#include "data/aside_copies.h"
#include "data/dossier_files.h"
#include "resources/string_table.h"
#include "runtime/logfile.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace {

// The texts shown here, by their ids in the string table.
constexpr int kMsgUnknownCopies = 22183;
constexpr int kLogPutBackRefused = 32213;
constexpr int kLogPutBackDone = 32214;
constexpr int kLogPutBackFailed = 22198;
constexpr int kMsgValidationPutBack = 16270;

}  // namespace

bool PutBackInterruptedValidation(const DossierRunInfo& run) {
  const std::string code = RTrim(DossierCode.c_str());
  AsideCopies copies;
  std::string why = FillPlaceholder(LoadStr(kMsgUnknownCopies), run.detail);
  // Copies missing or not whole: nothing is changed, and the opening says why.
  if (!AsideCopies::FromDetail(run.detail, &copies) || !AsideCopiesComplete(DossierFolder, copies, &why)) {
    NoteDossierRunRedoRefusal(why);
    WriteLog(FillPlaceholders(LoadStr(kLogPutBackRefused), {code, why}));
    return false;
  }
  const bool back = PutBackAsideCopies(DossierFolder, copies, &why);
  if (back) {
    WriteLog(
        FillPlaceholders(LoadStr(kLogPutBackDone), {code, run.started, run.station, DossierFolder + copies.folder}));
  } else {
    // Stopped by a refused change: the next opening finishes it.
    NoteDossierRunPutBackStopped(why);
    WriteLog(FillPlaceholders(LoadStr(kLogPutBackFailed), {code, why}));
  }
  return back;
}

std::string ValidationPutBackMessage(const DossierRunInfo& run) {
  return FillPlaceholders(LoadStr(kMsgValidationPutBack), {run.started, run.station});
}
