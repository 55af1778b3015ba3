// The conversion of a dossier of another format as the opening runs it (dossier/core/conversion.h holds the run).
#pragma once

#include "dossier/core/conversion.h"

namespace gui {
class Window;
}

// The run as the opening starts it: a progress window, the conversion, then
// a message that says how it went and where the originals are when kept.
bool RunDossierConversion(gui::Window* owner, const ConversionRequest& request);
