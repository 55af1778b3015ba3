// The window part of the toolbar: each active list or form installs its
// command list behind the ten permanent buttons; the shell empties it when
// no child is active. Glyphs come in four sizes (BitmapSizeOffset).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/gui/bitmap.h"

// Installs a command list (word 0 the count n, at most 19; words 1-n the
// command ids; an id below child_command::FirstToolbarButton is a separator) after the permanent
// buttons. Installing the list already shown does nothing. A null list is
// the empty list.
void BuildToolbar(const std::uint32_t* list, bool repaint);
void BuildToolbar(const std::vector<std::uint32_t>& ids, bool repaint);

// True when an MDI child is active; otherwise false, and when the last
// child has closed since the previous call, installs the empty list and
// clears the message bar.
bool ResetToolbarWhenNoChild();

// Tooltip of a command: the part of its hint (string N) after the line
// break, or the whole hint when it has none.
std::string CommandTooltip(unsigned id);
// Status text of a command: the hint's part before the line break.
std::string CommandStatusText(unsigned id);
// Shows the status text of command `id` in the message bar while the
// pointer is on it (a menu item, a toolbar button); 0 or a command without
// a hint gives the bar its own text back.
void ShowCommandHint(unsigned id);
// Gives the control bar the tooltips of the string table, and the message
// bar the hints of the commands pointed in the menus and on the toolbar.
void InstallToolbarHints();

// Base ids of every toolbar glyph (odd ids FirstToolbarGlyph to LastToolbarGlyph, the permanent
// buttons' bitmaps and a few commands of one list beyond that range); each
// exists at id, id + 1000, id + 2000, id + 3000.
std::vector<int> ToolbarGlyphIds();
// Edge in pixels of the glyphs of a size offset (0, 1000, 2000, 3000).
int GlyphSize(int sizeOffset);
// True when the base id has a symbol of its own, not the plain dot of the
// ids that no command puts on a bar.
bool ToolbarGlyphDrawn(int baseId);
// The commands of the installed list whose button would show no glyph of
// its own: no symbol drawn for it, or no bitmap at one of the four sizes.
std::vector<unsigned> InstalledCommandsWithoutGlyph();
// Draws the glyph of a base id at `size` pixels (the bitmap resources are
// made with it).
gui::Bitmap DrawToolbarGlyph(int baseId, int size);
