// The dossier maintenance the year-end runs ask for, without windows: the refusal of what the
// rebuild would refuse (a pending renumbering, a damaged table) and the rebuild with rebalance.
#pragma once

#include <memory>
#include <string>

#include "dossier/core/maintenance_pack.h"
#include "dossier/core/maintenance_rebuild.h"
#include "dossier/core/renumber_pieces.h"
#include "processing/core/opening_balances.h"

namespace test_support {

inline processing::TargetMaintenance RebuildMaintenance(bool pack) {
  processing::TargetMaintenance m;
  m.refusal = [] {
    if (RenumberingPending()) return RenumberPendingMessage();
    const std::string damaged = FindDamagedDossierTable();
    return damaged.empty() ? std::string() : DamagedFileMessage(damaged);
  };
  auto refused = std::make_shared<std::string>();
  m.rebuild = [pack, refused] {
    const RebuildReport report = RunDossierRebuild(true, pack);
    *refused = report.refusal;
    return report.code;
  };
  m.rebuildRefusal = [refused] { return *refused; };
  return m;
}

}  // namespace test_support
