// Private to the window layer: the Qt side of Window.
#pragma once

#include "platform/gui/window_users.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

namespace gui {

class Window;

// Plain window surface: paints through the owner's EvPaint.
class WindowWidget : public QWidget {
 public:
  WindowWidget(Window* owner, QWidget* parent);
  void Detach() { owner_ = nullptr; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Window* owner_;
};

// Translates the events of a window's widgets into its Ev handlers.
class WindowEventFilter : public QObject {
 public:
  explicit WindowEventFilter(Window* owner) : owner_(owner) {}
  void Detach() { owner_ = nullptr; }
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  Window* owner_;
};

// Runs a modal Qt dialog made with `new` and deletes it afterwards. Its parent
// may be deleted while it runs (a close posted before it is delivered in its
// loop) and takes its children along, so a modal never lives on the stack.
// `ended(dialog, execResult)` reads the dialog after its run and gives the
// answer; `gone` is the answer when the parent took the dialog.
template <class D, class Ended>
int ExecModal(D* dialog, int gone, Ended ended) {
  QPointer<D> guard(dialog);
  const int result = dialog->exec();
  if (guard.isNull()) return gone;
  const int answer = ended(*dialog, result);
  delete dialog;
  return answer;
}

// The width a top-level window needs for its title bar to show `caption`
// whole: the caption in the title font, taken bold as title bars draw it,
// and room for the bar's icon and buttons (0 for no caption).
int CaptionWidth(const QString& caption);

// The window that owns a widget (or its nearest owned ancestor).
Window* WindowOfWidget(QWidget* widget);
// Marks `widget` as belonging to `window` (WindowOfWidget finds it).
void TagWidget(QWidget* widget, Window* window);

}  // namespace gui
