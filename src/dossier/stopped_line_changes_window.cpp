#include "dossier/stopped_line_changes_window.h"

#include "data/dossier_files.h"
#include "data/stopped_line_changes.h"
#include "platform/gui/application.h"
#include "platform/gui/constants.h"
#include "platform/gui/messagebox.h"
#include "resources/string_table.h"
#include "runtime/text.h"
#include "shell/cursors.h"

namespace {

// The caption of the opening's boxes about a stopped run (the dossier's code), and the work cursor.
constexpr int kInterruptedRunCaption = 19890;
constexpr int kCursorWork = 514;

}  // namespace

bool FinishStoppedLineChangesAtOpening(gui::Window* owner) {
  SetAppCursor(kCursorWork, false);
  const StoppedLineChanges done = FinishStoppedLineChanges();
  SetAppCursor(0, false);
  if (done.said.empty()) return done.done;
  gui::MessageBeep(0);
  gui::MessageBox(owner, done.said, FillPlaceholder(LoadStr(kInterruptedRunCaption), Trimmed(DossierCode)),
                  gui::MB_OK | (done.done ? gui::MB_ICONINFORMATION : gui::MB_ICONSTOP));
  return done.done;
}
