// The message boxes of the lower layers: the engine-error report and the
// programming-error boxes of the table layer, and every other message of
// the runtime, shown as message boxes owned by the main window; their
// beeps go to the window layer's beep.
#pragma once

// The runtime's message hook: a message box with the caption, text and
// style (MB_ values); the box's answer.
int ShowRuntimeMessage(const char* caption, const char* text, unsigned style);
// The runtime's beep hook.
void RuntimeBeepToWindowLayer(unsigned type);
// The table layer's command poster: WM_COMMAND `command` posted to the
// window of handle `window` (ignored for 0 or a stale handle).
void PostCommandToWindow(int window, int command);
