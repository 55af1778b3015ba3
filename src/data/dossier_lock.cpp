#include "dossier_lock.h"

#include <string>

#include "data/dossier_files.h"
#include "data/error_report.h"
#include "data/session.h"
#include "data/table_internal.h"
#include "platform/system/files.h"
#include "resources/string_table.h"
#include "runtime/runtime_hooks.h"
#include "runtime/text.h"

namespace {

// The texts shown here, by their ids in the string table.
constexpr int kMsgLockLost = 22033;
constexpr int kMsgFolderNotWritable = 22034;
constexpr int kMsgLockTableUnread = 36601;  // why the lock table could not be read

bool ReopenLockTable(bool exclusive) {
  if (DossierLockTable == nullptr) return false;
  const std::string path = DossierTablePath();
  return exclusive ? DossierLockTable->OpenExclusive(path) : DossierLockTable->OpenShared(path);
}

// The lock table open shared or exclusive: it changes mode in place, never closed between.
bool HeldOpen() { return DossierLockTable != nullptr && DossierLockTable->isOpen && DossierLockTable->Engine().cursor; }

// The station holds no lock on the dossier any more: it stops using it, so that nothing is
// written while another station may hold the dossier exclusively.
void LoseDossier() {
  CloseAllTables();
  if (DossierLockTable != nullptr) DossierLockTable->CloseTable(true);
  RuntimeBeep();
  RuntimeMessage(LoadStr(kCaptionMultiUser), LoadStr(kMsgLockLost), kMbIconStop);
}

// Turns the open lock table to `shareMode`: 0 done, 1 refused (still held as before), 2 lost.
int SwitchLockTable(std::uint32_t shareMode) {
  Table& t = *DossierLockTable;
  t.result = dbase::DbiSetShareMode(t.Engine().cursor, static_cast<dbase::DBIShareMode>(shareMode));
  if (t.result == dbase::DBIERR_NONE) {
    t.shareMode = shareMode;
    t.recordNumber = 0;
    t.bof = 1;
    return 0;
  }
  if (t.result == dbase::DBIERR_LOCKLOST) {
    LoseDossier();
    return 2;
  }
  return 1;
}

}  // namespace

bool OpenDossierExclusive(bool reshare) {
  bool refusedByTheSystem = false;
  std::string unread;
  if (HeldOpen()) {
    // Upgraded in place: the shared hold stays until the exclusive one is granted. A read refused on
    // the way is no other station's hold either.
    RefusalWatch watch(RefusalWatch::EngineBoxes::kRefusalsHeld);
    const int outcome = SwitchLockTable(dbase::dbiOPENEXCL);
    if (outcome == 0) return true;
    if (outcome == 2) return false;
    if (watch.RefusedReading()) unread = ReadErrorText(watch.RefusedFile());
  } else {
    {
      // A lock table the disk could not read is said as such, never taken for another station's hold.
      RefusalWatch watch(RefusalWatch::EngineBoxes::kRefusalsHeld);
      if (ReopenLockTable(true)) return true;
      if (watch.RefusedReading()) unread = ReadErrorText(watch.RefusedFile());
    }
    refusedByTheSystem = DossierLockTable != nullptr && DossierLockTable->result == dbase::DBIERR_OSACCESS;
    if (reshare && ReopenLockTable(false)) RuntimeBeep();
  }
  RuntimeBeep();
  if (!unread.empty()) {
    const std::string message = FillPlaceholder(LoadStr(kMsgLockTableUnread), unread);
    RuntimeMessage(LoadStr(kCaptionMultiUser), message.c_str(), kMbIconStop);
    return false;
  }
  // A folder that cannot be written is no other station's doing.
  if (refusedByTheSystem || (platform::DirectoryExists(DossierFolder) && !platform::FolderWritable(DossierFolder))) {
    const std::string message = FillPlaceholder(LoadStr(kMsgFolderNotWritable), DossierFolder);
    RuntimeMessage(LoadStr(kCaptionMultiUser), message.c_str(), kMbIconStop);
    return false;
  }
  RuntimeMessage(LoadStr(kCaptionMultiUser), LoadStr(kMsgDossierInUse), kMbIconStop);
  return false;
}

bool ReleaseDossierExclusive() {
  if (HeldOpen()) {
    if (DossierLockTable->shareMode == dbase::dbiOPENSHARED) return true;
    return SwitchLockTable(dbase::dbiOPENSHARED) == 0;
  }
  return ReopenLockTable(false);
}

DossierHold::DossierHold(const std::string& folder, const std::string& code) {
  const std::string path = DossierTablePathOf(folder, code);
  if (!platform::FileExists(platform::ResolvePath(path + ".dbf"))) {
    held_ = true;
    return;
  }
  held_ = table_.OpenExclusive(path);
}
