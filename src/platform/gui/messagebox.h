// Message boxes with the Windows button sets, icons, default button and
// answers, shown through the modal seam.
#pragma once

#include "platform/gui/window_users.h"

#include <string>

class QWidget;

namespace gui {

class Window;

// Shows `text` (cp1252; blank lines kept) with `caption`; `style` combines
// MB_ buttons, icon, default button and modality. Returns IDOK, IDCANCEL,
// IDYES, IDNO, IDABORT, IDRETRY or IDIGNORE. A box closed without a button
// answers IDCANCEL when it has a cancel button, else its only/first answer.
int MessageBox(Window* owner, const std::string& text, const std::string& caption, unsigned style);
inline int MessageBox(const std::string& text, const std::string& caption, unsigned style) {
  return MessageBox(nullptr, text, caption, style);
}

// The box MessageBox shows, built but neither shown nor run, for a picture
// of what a test's box looked like. The caller owns it.
QWidget* NewMessageBoxWidget(const std::string& text, const std::string& caption, unsigned style);

// The answers of a button set in order (e.g. MB_YESNOCANCEL: IDYES, IDNO,
// IDCANCEL); `count` gets their number (1-3).
const int* MessageBoxButtons(unsigned style, int* count);
// The answer of the default button of `style`.
int MessageBoxDefaultAnswer(unsigned style);
// The answer given when the box is dismissed without a button (Escape).
int MessageBoxDismissAnswer(unsigned style);

}  // namespace gui
