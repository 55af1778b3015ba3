#include "shell/placement.h"

#include "shell/graphics.h"
#include "shell/mdi_client.h"

int ChildLayoutTop = 0;

namespace {

// Height of modes 0 and 1: Hc / d for d >= 2, Hc for -1..1, and
// Hc (-d - 1) / -d for d <= -2.
int HeightFor(int d, int hc) {
  if (d >= 2) return hc / d;
  if (d >= -1) return hc;
  return hc * (-d - 1) / (-d);
}

// Top of mode 0 without a usable pending top: the window sits at the bottom.
int BottomTopFor(int d, int hc) {
  if (d >= 2) return (d - 1) * hc / d;
  if (d >= -1) return 0;
  return hc / (-d);
}

}  // namespace

bool ComputeChildPlacement(int mode, int n, int d, int unit, int wc, int hc, int layoutTop, gui::Rect& out) {
  switch (mode) {
    case 0:
    case 1: {
      out.x = unit * n;
      out.w = wc - out.x;
      out.h = HeightFor(d, hc);
      if (mode == 1) out.y = layoutTop != 0 ? layoutTop : 0;
      else out.y = (layoutTop != 0 && layoutTop + out.h < hc) ? layoutTop : BottomTopFor(d, hc);
      return true;
    }
    case 2: out = {0, 0, wc / 2, hc / 2}; return true;
    case 3: out = {wc / 2, 0, wc / 2, hc / 2}; return true;
    case 4: out = {wc / 2, hc / 2, wc / 2, hc / 2}; return true;
    case 5: out = {0, hc / 2, wc / 2, hc / 2}; return true;
    case 6: out = {wc / 4, hc / 4, wc / 2, hc / 2}; return true;
    case 7: out = {0, 0, wc / 2, hc}; return true;
    case 8: out = {wc / 2, 0, wc / 2, hc}; return true;
    case 9: out = {0, 0, wc, hc / 2}; return true;
    case 10: out = {0, hc / 2, wc, hc / 2}; return true;
    default: return false;
  }
}

void PlaceChildWindow(gui::Window& child, int n, int d) {
  if (ProgramOption(3) != 'O') return;
  const int mode = ChildLayoutMode;
  ChildLayoutMode = 0;
  if (mode < 0 || mode > 10) return;
  gui::Rect client = CommandWindow != nullptr ? CommandWindow->GetClientRect() : gui::Rect{};
  gui::Rect placed;
  if (ComputeChildPlacement(mode, n, d, TableCharWidth, client.w, client.h, ChildLayoutTop, placed)) {
    child.MoveWindow(placed);
  }
  if (mode <= 1) ChildLayoutTop = 0;
}

bool SetChildIcon(gui::Window& child, int resourceId) { return child.SetIconResource(resourceId); }
