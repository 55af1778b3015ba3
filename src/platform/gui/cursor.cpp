#include "platform/gui/cursor.h"

#include <QApplication>
#include <QCursor>
#include <QFile>
#include <QPixmap>
#include <QWidget>

#include "platform/gui/window.h"

namespace gui {

namespace {

std::string current;

QCursor CursorFor(const std::string& name) {
  QString base = QStringLiteral(":/cursors/%1").arg(QString::fromStdString(name));
  QPixmap pm(base + QStringLiteral(".png"));
  if (pm.isNull()) return QCursor(Qt::WaitCursor);
  int hx = -1;
  int hy = -1;
  QFile hot(base + QStringLiteral(".hot"));
  if (hot.open(QIODevice::ReadOnly)) {
    QList<QByteArray> parts = hot.readAll().simplified().split(' ');
    if (parts.size() == 2) {
      hx = parts[0].toInt();
      hy = parts[1].toInt();
    }
  }
  return QCursor(pm, hx, hy);
}

}  // namespace

bool HasCursorImage(const std::string& name) {
  return QFile::exists(QStringLiteral(":/cursors/%1.png").arg(QString::fromStdString(name)));
}

bool SetNamedCursor(const std::string& name) {
  if (QCoreApplication::instance() == nullptr) return false;
  // One override at a time: replacing keeps the stack from growing.
  if (QApplication::overrideCursor() != nullptr) QApplication::changeOverrideCursor(CursorFor(name));
  else QApplication::setOverrideCursor(CursorFor(name));
  current = name;
  return true;
}

void SetArrowCursor() {
  if (QCoreApplication::instance() != nullptr)
    while (QApplication::overrideCursor() != nullptr) QApplication::restoreOverrideCursor();
  current.clear();
}

std::string CurrentCursorName() { return current; }

bool SetWindowCursor(Window& window, const std::string& name) {
  QWidget* w = window.Widget();
  if (w == nullptr) return false;
  if (name.empty()) w->unsetCursor();
  else w->setCursor(CursorFor(name));
  return true;
}

void AnimatedCursor::Step() {
  if (frames_.empty()) return;
  frame_ = (frame_ + 1) % static_cast<int>(frames_.size());
  SetNamedCursor(frames_[static_cast<size_t>(frame_)]);
}

}  // namespace gui
