// Drawing helpers of the list windows: a two-colour gradient with optional
// transparency, and a colour shaded component by component.
#pragma once

#include "platform/gui/dc.h"

// Fills (left, top)-(right, bottom) with a gradient from colour 1 to
// colour 2, left to right when `horizontal`, else top to bottom. With both
// alphas 255 it is drawn straight; otherwise blended with the mean alpha.
// False (nothing drawn) when a colour component or an alpha is outside
// 0..255, or the rectangle is empty.
bool GradientRect(gui::DC& dc, bool horizontal, int left, int top, int color1Red, int color1Green, int color1Blue,
                  int right, int bottom, int color2Red, int color2Green, int color2Blue, int alpha1, int alpha2);
// Same with packed colours (every component in range by construction).
bool GradientRect(gui::DC& dc, bool horizontal, int left, int top, gui::ColorRef color1, int right, int bottom,
                  gui::ColorRef color2, int alpha1, int alpha2);

// The colour with each component changed by the signed amounts, clamped
// to 0..255.
gui::ColorRef ShadeColor(gui::ColorRef color, short redChange, short greenChange, short blueChange);

namespace gui {
class Window;
}

// The painting of a framed bitmap panel: bitmap resource `bitmapId` drawn
// over the whole client area (at its own size plus one pixel with
// `naturalSize`), then a sunken frame. Sets `painted`; a missing bitmap
// leaves the frame alone.
void PaintBitmapPanel(gui::Window& panel, int bitmapId, bool naturalSize, bool& painted);
