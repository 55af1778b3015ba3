// Conversion between the program's single-byte Windows-1252 text and the
// Unicode text of the window system, through the system layer's one cp1252
// table. The five bytes that cp1252 leaves unassigned (0x81, 0x8D, 0x8F,
// 0x90, 0x9D) cross as the C1 points of the same value, so every text comes
// back byte for byte. Only the window layer converts.
#pragma once

#include "platform/gui/window_users.h"

#include <string>
#include <string_view>

class QString;

namespace gui {

QString ToQString(std::string_view cp1252);
// Characters without a cp1252 form become '?'.
std::string FromQString(const QString& text);
// True when every character of the text has a cp1252 form.
bool FitsCp1252(const QString& text);

}  // namespace gui
