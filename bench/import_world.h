// What the import benchmarks share: the generated dossier put back before each import and opened
// as the import windows have it.
#pragma once

#include <string>

#include "bench_world.h"
#include "data/dossier_files.h"
#include "data/entry_lines.h"
#include "data/session.h"
#include "data/table.h"
#include "processing/core/matching_lines.h"
#include "runtime/dossier_record.h"
#include "runtime/logfile.h"

namespace bench_world {

// The general file and the chart open shared, the general file's texts and the dossier's record
// read as the opening reads them.
inline bool OpenImportDossier() {
  if (!TableC10->OpenShared(PathC10(), "C10CODE") || !ReadC10Texts() || !TableC20->OpenShared(PathC20(), "C20CODE"))
    return false;
  if (TableC10->Seek("C10CODE", "P", "0")) {
    TheDossierRecord.Set(539, 252, TableC10->GetField(4));
    TheDossierRecord.Set(791, 252, TableC10->GetField(5));
  }
  return true;
}

// The dossier of `options` put back by `snapshot` (every table closed first), opened
// (OpenImportDossier) with its own log, and its draft and sort file open in `c50`, `c60`.
inline bool FreshImportDossier(FolderSnapshot& snapshot, const DemoOptions& options, Table& c50, Table& c60) {
  CloseAllTables();
  if (!snapshot.Restore() || !OpenImportDossier()) return false;
  SetLogDossier(options.folder, options.code);
  return c50.OpenShared(PathC50(), LigneEcriture::kCodeTag) && c60.OpenShared(PathC60(), processing::kC60CodeTag);
}

}  // namespace bench_world
