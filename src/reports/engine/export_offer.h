// The end of an exported run (the preview's or the printout's): the program's export file is
// closed and, when it was written whole, the user chooses what to do with it: "Oui" opens it
// with the desktop's viewer, "Non" asks for a recipient and opens an e-mail message carrying
// it (its subject the run's document title), "Annuler" leaves it. A file that could not be
// created or written is said once instead, and nothing is offered.
#pragma once

#include <string>

#include "reports/engine/core/report_export.h"

namespace gui {
class Window;
}

void FinishExportFile(gui::Window* owner, const reports::ExportSettings& settings, const std::string& documentTitle);
