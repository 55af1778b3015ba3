#include "dossier_lock.h"

#include <string>

#include "data/dossier_files.h"
#include "data/session.h"
#include "platform/system/files.h"
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

DossierHold::DossierHold(const std::string& folder, const std::string& code) {
  const std::string path = DossierTablePathOf(folder, code);
  if (!platform::FileExists(platform::ResolvePath(path + ".dbf"))) {
    held_ = true;
    return;
  }
  held_ = table_.OpenExclusive(path);
}
