#include "utilities/list_placement.h"

#include <algorithm>

#include "framework/browse.h"
#include "shell/mdi_client.h"
#include "shell/placement.h"

namespace {
constexpr int kFrameAllowance = 48;  // the frame, the marker and the scroll bar
constexpr int kLeastChars = 40;
}  // namespace

void PlaceUtilityList(CMDIBrowse& list) {
  PlaceChildWindow(list, 0, 0);
  if (ProgramOption(3) == 'O' || CommandWindow == nullptr) return;
  const gui::Rect client = CommandWindow->GetClientRect();
  const int wanted = std::max(TotalColumnWidth(list.Columns()), kLeastChars) * CMDIBrowse::CharWidthPixels() +
                     kFrameAllowance;
  list.MoveWindow(gui::Rect{0, 0, std::min(wanted, std::max(client.w, 300)), std::max(client.h, 300)});
}
