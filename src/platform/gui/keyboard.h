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

}  // namespace gui
