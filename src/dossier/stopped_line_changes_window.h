// The opening's step over the changes of lines that stopped half-way (data/stopped_line_changes.h):
// each one finished, the dossier open and shared, and what was done said in one box; one that
// cannot be finished is said with why, and the dossier stays closed.
#pragma once

namespace gui {
class Window;
}

// True when the dossier may open (nothing was left, or every stopped change is finished).
bool FinishStoppedLineChangesAtOpening(gui::Window* owner);
