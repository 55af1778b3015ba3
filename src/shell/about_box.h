// The about box "A propos de ce progiciel" (dialog 1301, src/resources/dialogs/1301.dlg).
#pragma once

#include <string>

#include "platform/gui/dialog.h"

class TDCetteVersion : public gui::Dialog {
 public:
  explicit TDCetteVersion(gui::Window* parent);

  // Web site and support address shown in the box.
  static const char* WebSite();
  static const char* SupportAddress();
  // Windows version code of ProgramOptions 1-2 as the box shows it.
  static std::string VersionCodeText();

 protected:
  void SetupWindow() override;
  void EvLButtonDown(unsigned modKeys, gui::Point p) override;
};

// AProposVersion: runs the about box modally, owned by the client.
void CmAProposVersion();
