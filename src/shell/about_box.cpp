#include "shell/about_box.h"

#include "data/session.h"
#include "platform/gui/application.h"
#include "platform/gui/constants.h"
#include "platform/gui/controls.h"
#include "platform/system/system_info.h"
#include "resources/string_table.h"
#include "shell/mdi_client.h"
#include "shell/utility_commands.h"

namespace {

constexpr int kVersionText = 34;  // the program's version, by its id in the string table

}  // namespace

TDCetteVersion::TDCetteVersion(gui::Window* parent) : gui::Dialog(parent, 1301) {}

const char* TDCetteVersion::WebSite() { return "https://merlon.example.org"; }
const char* TDCetteVersion::SupportAddress() { return "support@merlon.example.org"; }

std::string TDCetteVersion::VersionCodeText() {
  // ProgramOptions 1-2 hold the two bytes of the system's version:
  // 100 x first + second - 101.
  int first = static_cast<unsigned char>(ProgramOption(1));
  int second = static_cast<unsigned char>(ProgramOption(2));
  return std::to_string(100 * first + second - 101);
}

void TDCetteVersion::SetupWindow() {
  gui::Dialog::SetupWindow();
  SetItemText(1201, std::string(LoadStr(kVersionText)) + GetItemText(1201));
  SetItemText(1203, GetItemText(1203) + platform::OperatingSystemText());
  SetItemText(1206, GetItemText(1206) + gui::ToolkitVersionText());
  std::string engine = Utilities().dbVersionText ? Utilities().dbVersionText() : std::string(DbVersionText());
  SetItemText(1202, GetItemText(1202) + engine);
  SetItemText(1204, WebSite());
  SetItemText(1205, SupportAddress());
}

void TDCetteVersion::EvLButtonDown(unsigned modKeys, gui::Point p) {
  if (gui::Control* line = GetDlgItem(1204)) {
    gui::Rect r = line->GetWindowRect();
    if (p.x >= r.x && p.x < r.Right() && p.y >= r.y && p.y < r.Bottom()) {
      LaunchReported({"xdg-open", WebSite()});
      return;
    }
  }
  gui::Dialog::EvLButtonDown(modKeys, p);
}

// Core: none, the about box of the program.
void CmAProposVersion() {
  TDCetteVersion dialog(gui::Window::FromHandle(MainWindowHandle));
  dialog.Execute();
}
