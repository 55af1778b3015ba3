// Window-layer internals of the device contexts: the Qt font behind a Font
// and the cp1252 text conversion that honours symbol faces.
#pragma once

#include "platform/gui/window_users.h"

#include <QFont>
#include <QString>

#include <string_view>

#include "platform/gui/dc.h"
#include "platform/gui/font_map.h"

namespace gui {

struct Font::Impl {
  FontDesc desc;
  QFont qfont;
  FontSymbols symbols = FontSymbols::None;
  std::string installed;
};

// The text as the font draws it (symbol faces map their bytes to pictures).
QString FontText(const Font& font, std::string_view cp1252);

QColor ToQColor(ColorRef c);
ColorRef FromQColor(const QColor& c);

}  // namespace gui
