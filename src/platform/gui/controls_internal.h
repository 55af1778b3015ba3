// Window-layer internals of the controls: the Qt widgets that call back
// into their control after painting.
#pragma once

#include <QKeyEvent>
#include <QPaintEvent>
#include <QWidget>

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

// Text shown without the "&" that marks a mnemonic ("&&" shows one "&").
QString WithoutMnemonic(const QString& text);

}  // namespace gui
