// The access rights of the secondary password (DroitsAcces): TDUtiDroits shows one row per guarded function of
// the rights rows (strings 9001-9036: its menu and label) with one check box per right its row allows, named as
// the access-rights test names them; "&Ok" rebuilds the 50 characters of the rights string and writes them into
// the dossier's record "0".
#pragma once

#include <string>
#include <vector>

#include "framework/dialog_bases.h"
#include "utilities/core/dossier_constants.h"

class TDUtiDroits : public TDNuv {
 public:
  static constexpr int kFirstLabel = 2000;
  static constexpr int kFirstBox = 3000;  // + 16 x function + right
  static constexpr int kLegend = 1201;

  explicit TDUtiDroits(gui::Window* parent);

  // The check box of right k of function n (its id).
  static int BoxId(int function, int right) { return kFirstBox + 16 * function + right; }
  const std::vector<settings::RightsFunction>& Functions() const { return functions_; }
  // The 50 characters the boxes give now.
  std::string RightsShown() const;

 protected:
  void SetupWindow() override;
  void CmOk() override;

 private:
  std::vector<settings::RightsFunction> functions_;
};

// The work of DroitsAcces.
void CmDroitsAcces();
