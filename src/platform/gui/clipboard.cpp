#include "platform/gui/clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

#include "platform/gui/text_codec.h"

namespace gui {

bool SetClipboardText(const std::string& text) {
  QClipboard* cb = QGuiApplication::clipboard();
  if (cb == nullptr) return false;
  cb->setText(ToQString(text));
  return true;
}

std::string GetClipboardText() {
  QClipboard* cb = QGuiApplication::clipboard();
  return cb == nullptr ? std::string() : FromQString(cb->text());
}

}  // namespace gui
