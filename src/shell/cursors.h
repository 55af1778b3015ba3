// Cursor feedback of long runs (single cursors, the eight-frame animation,
// the busy toggle) and the folder-choice dialog. Cursors are named by the
// string-table texts "C01" to "C29" (strings 512 to 540).
#pragma once

#include <string>

namespace gui {
class Window;
}

constexpr int kFirstCursorString = 512;   // "C01"
constexpr int kAnimationFirstString = 518;  // "C07" .. "C14"
constexpr int kBusyFirstString = 513;      // "C02" / "C03"

// With `pump`, first lets waiting window messages through; then shows the
// cursor named by string `stringId` (0 = the standard arrow).
void SetAppCursor(int stringId, bool pump);
// Next of the frames C07 .. C14 (wrapping), messages let through.
void AnimateCursor();
// C02 and C03 alternately, messages not let through.
void ToggleBusyCursor();
// The animation and busy toggle start again from their first frame.
void ResetCursorState();

// Folder choice: true when a folder was chosen; it is then in ScratchText
// with a final "/", its case kept. The current folder is the program folder
// afterwards in every case. `startFolder` may be blank.
bool BrowseForFolder(gui::Window* owner, const std::string& title, const std::string& startFolder);
