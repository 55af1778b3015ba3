// Clipboard text, converted between cp1252 and the desktop's Unicode.
#pragma once

#include "platform/gui/window_users.h"

#include <string>

namespace gui {

bool SetClipboardText(const std::string& cp1252);
std::string GetClipboardText();

}  // namespace gui
