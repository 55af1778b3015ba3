// The program's printer (MPrinter): one instance, made on first need, shared by the printer
// set-up command (ConfigurerImprimante) and by every printout; the MDI client deletes it at the end of the
// run.
#pragma once

namespace gui {
class MPrinter;
}

// The printer, made when there is none yet; null only when it cannot be made.
gui::MPrinter* ProgramPrinter();
// The printer when it exists (null otherwise), without making it.
gui::MPrinter* ExistingProgramPrinter();
void DeleteProgramPrinter();
