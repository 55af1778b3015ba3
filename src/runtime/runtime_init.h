// Start and end of the runtime: buffers, ring and program folder.
#pragma once

// True when the runtime is ready. Resets the ring, the work buffers and the
// alternating toggles, fixes ProgramFolder (created when missing) and loads
// the string table. The shared fonts, pens and brushes are made by the
// window layer through the graphic hook below.
bool InitRuntime();
// Frees what InitRuntime made; safe to call twice or without InitRuntime.
void FreeRuntime();
bool RuntimeStarted();

// The window layer sets these to make and free the shared graphic objects
// (fonts, pens, brushes and their metrics) within InitRuntime / FreeRuntime.
using RuntimeGraphicsHook = bool (*)();
void SetRuntimeGraphicsHooks(RuntimeGraphicsHook make, RuntimeGraphicsHook free);
