#include "controls/drawing.h"

#include <algorithm>
#include <string>

#include "controls/control_env.h"
#include "platform/gui/bitmap.h"
#include "platform/gui/window.h"

namespace {

bool InByte(int v) { return v >= 0 && v <= 255; }

int RedOf(gui::ColorRef c) { return static_cast<int>(c & 0xFF); }
int GreenOf(gui::ColorRef c) { return static_cast<int>((c >> 8) & 0xFF); }
int BlueOf(gui::ColorRef c) { return static_cast<int>((c >> 16) & 0xFF); }

}  // namespace

bool GradientRect(gui::DC& dc, bool horizontal, int left, int top, int r1, int g1, int b1, int right, int bottom,
                  int r2, int g2, int b2, int alpha1, int alpha2) {
  for (int v : {r1, g1, b1, r2, g2, b2, alpha1, alpha2})
    if (!InByte(v)) return false;
  if (right <= left || bottom <= top || !dc.IsValid()) return false;
  const gui::ColorRef c1 = gui::Rgb(r1, g1, b1);
  const gui::ColorRef c2 = gui::Rgb(r2, g2, b2);
  const gui::Box box{left, top, right, bottom};
  if (alpha1 == 255 && alpha2 == 255) {
    dc.GradientFill(box, c1, c2, horizontal);
    return true;
  }
  // Drawn apart, then laid over what is there with the mean alpha.
  gui::MemoryDC memory(right - left, bottom - top);
  memory.GradientFill(gui::Box{0, 0, right - left, bottom - top}, c1, c2, horizontal);
  const gui::Bitmap& bitmap = memory.GetBitmap();
  dc.AlphaBlend(box, bitmap, gui::Box{0, 0, right - left, bottom - top}, (alpha1 + alpha2) / 2);
  return true;
}

bool GradientRect(gui::DC& dc, bool horizontal, int left, int top, gui::ColorRef color1, int right, int bottom,
                  gui::ColorRef color2, int alpha1, int alpha2) {
  return GradientRect(dc, horizontal, left, top, RedOf(color1), GreenOf(color1), BlueOf(color1), right, bottom,
                      RedOf(color2), GreenOf(color2), BlueOf(color2), alpha1, alpha2);
}

gui::ColorRef ShadeColor(gui::ColorRef color, short redChange, short greenChange, short blueChange) {
  auto clamp = [](int v) { return std::clamp(v, 0, 255); };
  return gui::Rgb(clamp(RedOf(color) + redChange), clamp(GreenOf(color) + greenChange),
                  clamp(BlueOf(color) + blueChange));
}

void PaintBitmapPanel(gui::Window& panel, int bitmapId, bool naturalSize, bool& painted) {
  gui::WindowDC dc(panel);
  if (!dc.IsValid()) return;
  const gui::Rect r = panel.GetClientRect();
  const gui::Bitmap bitmap = gui::Bitmap::Load(std::to_string(bitmapId));
  if (!bitmap.IsNull()) {
    const gui::Box whole = naturalSize ? gui::Box{0, 0, bitmap.Width() + 1, bitmap.Height() + 1} : gui::Box::From(r);
    dc.StretchBitmap(whole, bitmap);
  }
  // Sunken: gray top and left, white right and bottom.
  dc.SelectPen(GrayPen());
  dc.MoveTo(0, r.h);
  dc.LineTo(0, 0);
  dc.LineTo(r.w, 0);
  dc.SelectPen(WhitePen());
  dc.MoveTo(r.w, 0);
  dc.LineTo(r.w, r.h);
  dc.LineTo(0, r.h);
  painted = true;
}
