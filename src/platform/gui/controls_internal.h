// Window-layer internals of the controls: the Qt widgets that call back
// into their control after painting.
#pragma once

#include "platform/gui/window_users.h"

#include <QKeyEvent>
#include <QPaintEvent>
#include <QWidget>

#include <cctype>
#include <string>

#include "platform/gui/controls.h"
#include "platform/gui/handles.h"
#include "platform/gui/window_widget.h"

namespace gui {

struct ControlPaintHook {
  static void Run(QWidget* w) {
    auto* c = dynamic_cast<Control*>(WindowOfWidget(w));
    if (c != nullptr && c->Widget() == w) c->PaintOver();
  }
};

// A Qt control whose owner draws over it after it painted itself.
template <class Base>
class Hooked : public Base {
 public:
  template <class... A>
  explicit Hooked(A&&... a) : Base(std::forward<A>(a)...) {}

 protected:
  void paintEvent(QPaintEvent* e) override {
    Base::paintEvent(e);
    ControlPaintHook::Run(this);
  }
  // Released function keys go on to the dialog or window behind the
  // control (some Qt controls keep every release they see).
  void keyReleaseEvent(QKeyEvent* e) override {
    Base::keyReleaseEvent(e);
    if ((e->key() >= Qt::Key_F1 && e->key() <= Qt::Key_F35) || e->key() == Qt::Key_Escape) e->ignore();
  }
};

// Whether text begins with prefix, letters compared without case.
inline bool StartsNoCase(const std::string& text, const std::string& prefix) {
  if (prefix.size() > text.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(prefix[i]))) return false;
  return true;
}

// Search of a list or combo box's lines (each with a text member): the first line
// after start (from the top when start < 0), wrapping round, whose text begins with
// text, or equals it when exact, without case; -1 when none.
template <class Lines>
int FindLine(const Lines& lines, const std::string& text, int start, bool exact) {
  const int n = static_cast<int>(lines.size());
  for (int k = 1; k <= n; ++k) {
    const int i = ((start < 0 ? -1 : start) + k) % n;
    const std::string& l = lines[static_cast<std::size_t>(i)].text;
    if ((!exact || l.size() == text.size()) && StartsNoCase(l, text)) return i;
  }
  return -1;
}

// Text shown without the "&" that marks a mnemonic ("&&" shows one "&").
QString WithoutMnemonic(const QString& text);

}  // namespace gui
