#include "shell/cursors.h"

#include <cstring>

#include "platform/gui/command.h"
#include "platform/gui/cursor.h"
#include "platform/gui/filedialog.h"
#include "resources/string_table.h"
#include "runtime/inifiles.h"
#include "runtime/xbase.h"

namespace {
int g_animation = -1;  // the first call shows frame 0
bool g_busyOther = false;
}  // namespace

void SetAppCursor(int stringId, bool pump) {
  if (pump) gui::ProcessPendingMessages();
  if (stringId == 0) {
    gui::SetArrowCursor();
    return;
  }
  gui::SetNamedCursor(LoadStr(stringId));
}

void AnimateCursor() {
  g_animation = (g_animation + 1) % 8;
  SetAppCursor(kAnimationFirstString + g_animation, true);
}

void ToggleBusyCursor() {
  SetAppCursor(kBusyFirstString + (g_busyOther ? 1 : 0), false);
  g_busyOther = !g_busyOther;
}

void ResetCursorState() {
  g_animation = -1;
  g_busyOther = false;
}

bool BrowseForFolder(gui::Window* owner, const std::string& title, const std::string& startFolder) {
  ChangeDir(startFolder.c_str());
  std::string start = IsBlank(startFolder) ? ProgramFolder : startFolder;
  std::string folder;
  bool chosen = gui::BrowseForFolder(owner, title, start, folder) && !folder.empty();
  if (chosen) {
    if (folder.back() != '/') folder += '/';
    if (folder.size() >= kScratchTextSize) {
      chosen = false;  // would not fit: taken as no choice rather than cut
    } else {
      std::memcpy(ScratchText, folder.c_str(), folder.size() + 1);
    }
  }
  ChangeDir(ProgramFolder.c_str());
  return chosen;
}
