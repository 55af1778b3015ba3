#include "controls/entry_control.h"

#include "platform/gui/dc.h"

void DrawControlFrame(gui::Window& w, const gui::Pen& pen, int left, int top, int right, int bottom) {
  gui::WindowDC dc(w);
  if (!dc.IsValid()) return;
  dc.SelectPen(pen);
  dc.SelectBrush(gui::Brush::Hollow());
  dc.Rectangle(left, top, right + 1, bottom + 1);
}
