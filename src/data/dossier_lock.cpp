#include "dossier_lock.h"

#include <string>

#include "data/dossier_files.h"
#include "data/session.h"
#include "runtime/runtime_hooks.h"
#include "runtime/xbase.h"

namespace {

bool ReopenLockTable(bool exclusive) {
  if (DossierLockTable == nullptr) return false;
  const std::string path = DossierTablePath();
  return exclusive ? DossierLockTable->OpenExclusive(path) : DossierLockTable->OpenShared(path);
}

}  // namespace

bool OpenDossierExclusive(bool reshare) {
  if (ReopenLockTable(true)) return true;
  if (reshare && ReopenLockTable(false)) RuntimeBeep();
  RuntimeBeep();
  RuntimeMessage(LoadStr(2271), LoadStr(2259), kMbIconStop);
  return false;
}

bool ReleaseDossierExclusive() { return ReopenLockTable(false); }
