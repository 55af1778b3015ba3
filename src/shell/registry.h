// The shell's work on the open-window registry (OpenWindowRegistry, 3,968
// characters laid out once for the whole program): reset, bringing an open
// window to the top, and the window actions of the record-text window.
#pragma once

#include "platform/gui/handles.h"
#include "runtime/session_registry.h"

// Registry positions the shell itself uses.
constexpr int kRegistryMainHandle = 1;      // 1-10
constexpr int kRegistryDossierState = kDossierStatePosition;  // DossierState
constexpr int kRegistryKeptFrom = 3940;     // 3940-3968 survive every reset
constexpr int kRegistryHandleWidth = 10;

// Positions 1-3939 become blank except the main window's handle at 1-10;
// 3940-3968 stay. DossierState becomes ' ' and the message bar is cleared.
void ClearOpenWindowRegistry();

// Handle written in a slot (flag at p, handle at p+1 to p+10); 0 when none.
gui::Handle SlotHandle(int p);
// Marks slot p open ('1') with the window's handle.
void RegisterWindowSlot(int p, gui::Handle handle);

// When the flag at p is '1' or 'R': sets it to '1' and brings the window of
// the slot's handle to the top (restored when minimised, enabled, focused);
// true. False when no such window is open (the caller then creates it); a
// slot whose handle names a window that has ended is treated as closed.
bool ActivateExistingChild(int p);

// Gives the runtime's registered-window functions their window actions:
// bring forward, close (the close message only: a window that refuses
// keeps its text and the action answers false), posted close.
void InstallRegistryWindowHooks();
