// The validation of journals stopped half-way (a crash, a power cut): the opening finds its run
// marker and puts the dossier back from the copies of C10, C40, C50 and C60 the run made aside in
// the dossier folder before its first change (the marker's detail names them), without asking,
// as the conversion's originals are put back from their sub-folder. The log says so.
#pragma once

#include <string>

#include "dossier/core/dossier_run_marker.h"

// True when every copy is back in place (the sub-folder of the copies is then removed).
bool PutBackInterruptedValidation(const DossierRunInfo& run);

// The message the opening shows once the dossier is back.
std::string ValidationPutBackMessage(const DossierRunInfo& run);
