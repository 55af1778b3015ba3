// The status bar's line of an MDI child (a list's balances, say) belongs to that child: when
// another child becomes active the line goes, unless the new child wrote its own on activation;
// when the child becomes active again its line comes back.
#pragma once

#include <string>

namespace gui {
class Window;
}

// Shows `text` in the message bar as the line of `child`.
void ShowChildStatus(const gui::Window& child, const std::string& text);
// Run at idle: notes what the bar shows as the active child's line and, when the active child
// changed, clears the line of the child left (when the bar still shows it) and gives a new child
// that wrote nothing its last line again.
void FollowActiveChildStatus();
