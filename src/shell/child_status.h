// The status bar's line of an MDI child (a list's balances, say) and the command list on the
// toolbar belong to that child: when another child becomes active the line goes, unless the new
// child wrote its own on activation; when the child becomes active again its line and its
// command list come back, unless it installed them itself.
#pragma once

#include <string>

namespace gui {
class Window;
}

// Shows `text` in the message bar as the line of `child`.
void ShowChildStatus(const gui::Window& child, const std::string& text);
// Run at idle: notes the status line and the command list as the active child's and, when the
// active child changed, clears the line of the child left (when the bar still shows it) and gives
// a child that wrote nothing as it became active its last line and command list again.
void FollowActiveChildStatus();
