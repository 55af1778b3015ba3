// Keyboard: Qt keys to the virtual-key codes the program tests, and the
// state of the modifier and lock keys.
#pragma once

#include "platform/gui/window_users.h"

namespace gui {

// Virtual-key code of a Qt key (Qt::Key value); `keypad` when the key came
// from the numeric keypad. 0 for keys the program never tests.
int VirtualKeyFromQtKey(int qtKey, bool keypad);

// Like the Windows call: high bit (0x8000 as a negative short) while the
// key is down; low bit set while a lock key (VK_CAPITAL, VK_NUMLOCK,
// VK_SCROLL, VK_INSERT for overtype) is on.
short GetKeyState(int vk);

// Lock states. Where the window system gives no way to read them (offscreen
// runs, Wayland) the value set here is answered.
bool IsScrollLockOn();
void SetScrollLockOn(bool on);
bool IsCapsLockOn();
void SetCapsLockOn(bool on);
bool IsNumLockOn();
void SetNumLockOn(bool on);
// Overtype mode, toggled by the Insert key in any window of the program.
bool IsOvertypeOn();
void SetOvertypeOn(bool on);

// Shift, Ctrl and Alt (VK_SHIFT, VK_CONTROL, VK_MENU) are read from the
// window system. A test holds one down or up with SetModifierKeyDown, which
// GetKeyState then answers until ClearModifierKeyOverrides.
void SetModifierKeyDown(int vk, bool down);
void ClearModifierKeyOverrides();

// Records the key as down or up (the layer calls this for every key event).
void NoteKeyDown(int vk);
void NoteKeyUp(int vk);

// Keystrokes: the press of a key that was up begins a new one, numbered per key. A window acts on a key's
// release only when it saw the press of the same keystroke: the release of an Enter that chose a menu item or
// closed a box reaches the window that came, which never saw it pressed. NoteKeyPress answers the number of
// the keystroke the press belongs to.
unsigned NoteKeyPress(int vk);
void NoteKeyRelease(int vk);
unsigned KeyStroke(int vk);
// Watches every key event of the program (a menu's and a message box's too) from the window system on, so
// that each press is counted whichever widget takes it. Installed once, by the first window made.
void WatchKeystrokes();

}  // namespace gui
