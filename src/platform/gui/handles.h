// Window handles: the integers by which windows name each other (stored in
// the open-window registry, posted commands, lookups). A handle is non-zero,
// fits in 10 decimal digits, stays the same for the window's life and is
// never given to another window in the same run.
#pragma once

#include "platform/gui/window_users.h"

#include <cstdint>

namespace gui {

class Window;

using Handle = std::uint32_t;  // 0 = no window

namespace handles {

// Gives a new handle to `window` (0 when the run has used every handle).
Handle Register(Window* window);
// The handle becomes stale: Find answers nullptr from now on.
void Unregister(Handle handle);
// The live window of a handle, nullptr for 0 or a stale handle.
Window* Find(Handle handle);
// Number of live handles (leak checks in tests).
std::size_t LiveCount();

}  // namespace handles

// True while `handle` names a live window.
bool IsWindow(Handle handle);

}  // namespace gui
