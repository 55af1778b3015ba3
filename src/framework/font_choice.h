// The font chooser of the report texts' "Police" macro and of the program's
// font settings, on the font text "face,sss/wcs" that the report statement
// [P:...] reads (shell/graphics.h).
#pragma once

#include <string>

namespace gui {
class Window;
}

// Runs the chooser "Choix des Polices" over the faces the printer prints,
// starting on the font `spec` names. True when a font was chosen: `spec` is
// then rewritten with its face, size, weight and style, its colour letter
// kept. False, `spec` unchanged, when the choice was cancelled.
bool ChooseFonts(gui::Window* owner, std::string& spec);
