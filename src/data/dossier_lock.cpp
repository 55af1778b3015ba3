#include "dossier_lock.h"

#include <string>

#include "data/dossier_files.h"
#include "data/session.h"
#include "runtime/runtime_hooks.h"
#include "runtime/xbase.h"

namespace {

bool ReopenLockTable(std::uint32_t shareMode) {
  if (DossierLockTable == nullptr) return false;
  DossierLockTable->CloseTable(true);
  DossierLockTable->shareMode = shareMode;
  const std::string path = DossierTablePath();
  return DossierLockTable->OpenTable(path);
}

}  // namespace

bool OpenDossierExclusive(bool reshare) {
  if (ReopenLockTable(dbase::dbiOPENEXCL)) return true;
  if (reshare && ReopenLockTable(dbase::dbiOPENSHARED)) RuntimeBeep();
  RuntimeBeep();
  RuntimeMessage(LoadStr(2271), LoadStr(2259), kMbIconStop);
  return false;
}

bool ReleaseDossierExclusive() { return ReopenLockTable(dbase::dbiOPENSHARED); }
