// Placement of new MDI children: by PlaceChildWindow when the option
// "Fenêtres-Maxi" is on, in one of eleven layout modes, and their icons.
#pragma once

#include "platform/gui/window.h"

// Top of the next placement in modes 0 and 1 (0 = none); reset after use.
extern int ChildLayoutTop;

// The rectangle of a placement in client coordinates: mode (0-10), indent n
// in units of `unit` pixels, height divisor d, client size wc x hc, and the
// pending top. False for a mode of 11 or more (nothing placed).
bool ComputeChildPlacement(int mode, int n, int d, int unit, int wc, int hc, int layoutTop, gui::Rect& out);

// Sets the creation position and size of a new MDI child (indent n in
// TableCharWidth units, height divisor d) when ProgramOptions position 3 is
// 'O'; otherwise leaves the child and the pending mode and top alone.
void PlaceChildWindow(gui::Window& child, int n, int d);

// Large and small icon of a child from icon resource `resourceId`.
bool SetChildIcon(gui::Window& child, int resourceId);
