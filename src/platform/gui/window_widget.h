// Private to the window layer: the Qt side of Window.
#pragma once

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

// The window that owns a widget (or its nearest owned ancestor).
Window* WindowOfWidget(QWidget* widget);
// Marks `widget` as belonging to `window` (WindowOfWidget finds it).
void TagWidget(QWidget* widget, Window* window);

}  // namespace gui
