#include "platform/gui/window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QIcon>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <map>

#include "platform/gui/keyboard.h"
#include "platform/gui/text_codec.h"
#include "platform/gui/window_widget.h"
#include "platform/system/cp1252.h"

namespace gui {

namespace {
constexpr const char* kOwnerProperty = "merlonWindowHandle";

// Windows destroyed and waiting for their delayed delete, each with the serial
// of its request. A window deleted meanwhile (by its parent, say) leaves the
// map in its destructor, so the delayed delete finds nothing and does nothing.
std::map<Window*, unsigned long long>& PendingDeletes() {
  static std::map<Window*, unsigned long long> pending;
  return pending;
}
unsigned long long g_deleteSerial = 0;

unsigned MouseFlags(Qt::MouseButtons buttons, Qt::KeyboardModifiers mods) {
  unsigned f = 0;
  if (buttons & Qt::LeftButton) f |= MK_LBUTTON;
  if (buttons & Qt::RightButton) f |= MK_RBUTTON;
  if (mods & Qt::ShiftModifier) f |= MK_SHIFT;
  if (mods & Qt::ControlModifier) f |= MK_CONTROL;
  return f;
}
}  // namespace

void TagWidget(QWidget* widget, Window* window) {
  if (widget != nullptr) widget->setProperty(kOwnerProperty, static_cast<qulonglong>(window->GetHandle()));
}

int CaptionWidth(const QString& caption) {
  if (caption.isEmpty()) return 0;
  QFont font = QFontDatabase::systemFont(QFontDatabase::TitleFont);
  font.setBold(true);
  const QFontMetrics fm(font);
  // The icon, the close, minimise and maximise boxes and the margins: about six lines' height.
  return fm.horizontalAdvance(caption) + 6 * fm.height();
}

Window* WindowOfWidget(QWidget* widget) {
  for (QWidget* w = widget; w != nullptr; w = w->parentWidget()) {
    QVariant v = w->property(kOwnerProperty);
    if (v.isValid()) {
      if (Window* win = handles::Find(static_cast<Handle>(v.toULongLong()))) return win;
    }
  }
  return nullptr;
}

WindowWidget::WindowWidget(Window* owner, QWidget* parent) : QWidget(parent), owner_(owner) {
  setFocusPolicy(Qt::StrongFocus);
}

void WindowWidget::paintEvent(QPaintEvent*) {
  if (owner_ != nullptr) owner_->DoPaint();
}

bool WindowEventFilter::eventFilter(QObject* watched, QEvent* event) {
  if (owner_ == nullptr) return false;
  // An MDI child's frame only reports its close, and notes its changes of state; the rest is the content's.
  bool outer = watched != owner_->Widget();
  if (event->type() == QEvent::WindowStateChange && watched == owner_->OuterWidget()) owner_->NoteStateChange();
  if (outer && event->type() != QEvent::Close) return false;
  return owner_->DeliverEvent(event);
}

struct Window::Impl {
  QPointer<QWidget> widget;
  QPointer<QWidget> outer;
  std::unique_ptr<WindowEventFilter> filter;
  std::map<unsigned, std::unique_ptr<QTimer>> timers;
  std::string caption;
  Rect initial{-1, -1, -1, -1};
  int minW = 0, minH = 0;
  int showAfterCreate = -1;
  bool enabled = true;
  bool creating = false;
  int stateChanges = 0;  // changes of state (maximised, minimised, restored) the event loop has not yet gone past
  std::vector<std::pair<int, unsigned>> keysPressed;  // the keys this window saw pressed, each with its keystroke
};

Window::Window(Window* parent) : d_(std::make_unique<Impl>()), parent_(parent) {
  if (parent_ != nullptr) parent_->AddChild(this);
}

Window::~Window() {
  PendingDeletes().erase(this);
  // Children are owned by their parent window, but for the dialogs, which
  // their makers own: those only lose their widgets (a running one ends).
  while (!children_.empty()) {
    Window* child = children_.back();
    children_.pop_back();
    child->parent_ = nullptr;
    if (child->ownedByParent_) {
      delete child;
    } else if (child->IsCreated()) {
      child->DestroyWidgets(true);
    }
  }
  // Taken before the widgets are let go: a top-level window deleted while
  // created takes its widgets with it (they would stay on screen, and paint
  // through controls already deleted).
  QPointer<QWidget> outer = d_->outer ? d_->outer.data() : d_->widget.data();
  if (IsCreated()) DestroyWidgets(false);
  if (d_->widget) {
    if (auto* ww = dynamic_cast<WindowWidget*>(d_->widget.data())) ww->Detach();
  }
  if (outer != nullptr && outer->parent() == nullptr) delete outer.data();
  if (parent_ != nullptr) parent_->RemoveChild(this);
}

void Window::AddChild(Window* child) { children_.push_back(child); }

void Window::RemoveChild(Window* child) {
  children_.erase(std::remove(children_.begin(), children_.end(), child), children_.end());
}

const ResponseTable& Window::Table() {
  static const ResponseTable table(nullptr);
  return table;
}

QWidget* Window::Widget() const { return d_->widget.data(); }
QWidget* Window::OuterWidget() const { return d_->outer ? d_->outer.data() : d_->widget.data(); }
QWidget* Window::ChildParentWidget() const { return Widget(); }
void Window::SetOuterWidget(QWidget* outer) { d_->outer = outer; }

QWidget* Window::CreateWidget(QWidget* parentWidget) { return new WindowWidget(this, parentWidget); }

bool Window::Create() {
  if (IsCreated()) return true;
  if (parent_ != nullptr && !parent_->IsCreated()) return false;
  QWidget* parentWidget = parent_ != nullptr ? parent_->ChildParentWidget() : nullptr;
  QWidget* w = CreateWidget(parentWidget);
  if (w == nullptr) return false;
  handle_ = handles::Register(this);
  if (handle_ == 0) {
    QWidget* top = d_->outer ? d_->outer.data() : w;
    d_->outer = nullptr;
    delete top;
    return false;
  }
  d_->widget = w;
  WatchKeystrokes();
  d_->filter = std::make_unique<WindowEventFilter>(this);
  w->installEventFilter(d_->filter.get());
  QWidget* outer = OuterWidget();
  if (outer != w) outer->installEventFilter(d_->filter.get());
  TagWidget(w, this);
  TagWidget(outer, this);
  if (!d_->caption.empty()) outer->setWindowTitle(ToQString(d_->caption));
  if (d_->initial.w >= 0) outer->setGeometry(d_->initial.x, d_->initial.y, d_->initial.w, d_->initial.h);
  if (d_->minW > 0 || d_->minH > 0) outer->setMinimumSize(d_->minW, d_->minH);
  if (!d_->enabled) outer->setEnabled(false);
  // Children built before their parent are created with it.
  std::vector<Window*> pending = children_;
  for (Window* child : pending)
    if (!child->IsCreated()) child->Create();
  SetupWindow();
  d_->creating = true;
  if (d_->showAfterCreate >= 0) Show(d_->showAfterCreate);
  else if (parent_ != nullptr && outer->parentWidget() != nullptr) outer->show();
  d_->creating = false;
  if (IsCreated()) AfterPlacement(true);
  return true;
}

bool Window::SetParent(Window* parent) {
  if (IsCreated() || parent == this) return false;
  if (parent_ != nullptr) parent_->RemoveChild(this);
  parent_ = parent;
  if (parent_ != nullptr) parent_->AddChild(this);
  return true;
}

bool Window::CanClose() { return ChildrenCanClose(); }

bool Window::ChildrenCanClose() {
  std::vector<Window*> kids = children_;
  for (Window* c : kids)
    if (c->IsCreated() && !c->CanClose()) return false;
  return true;
}

bool Window::CloseWindow() {
  if (!IsCreated()) return true;
  if (!CanClose()) return false;
  Destroy();
  return true;
}

void Window::DestroyWidgets(bool top) {
  destroying_ = true;
  std::vector<Window*> kids = children_;
  for (Window* c : kids)
    if (c->IsCreated()) c->DestroyWidgets(false);
  CleanupWindow();
  d_->timers.clear();
  if (d_->filter) d_->filter->Detach();
  handles::Unregister(handle_);
  handle_ = 0;
  QWidget* outer = OuterWidget();
  if (auto* ww = dynamic_cast<WindowWidget*>(d_->widget.data())) ww->Detach();
  if (top && outer != nullptr) {
    HideForDestroy(outer);
    outer->deleteLater();
  }
  d_->widget = nullptr;
  d_->outer = nullptr;
  destroying_ = false;
}

void Window::HideForDestroy(QWidget* outer) { outer->hide(); }

void Window::NoteStateChange() {
  ++d_->stateChanges;
  const Handle h = handle_;
  QTimer::singleShot(0, qApp, [h] {
    if (Window* w = handles::Find(h)) w->d_->stateChanges = std::max(0, w->d_->stateChanges - 1);
  });
}

bool Window::StateChanging() const { return d_->stateChanges > 0; }

void Window::Destroy() {
  if (!IsCreated() || destroying_) return;
  DestroyWidgets(true);
  if (deleteOnDestroy_) {
    // Deleted once the current event is over, so a handler may destroy its
    // own window; skipped when something else deleted it first.
    Window* self = this;
    const unsigned long long serial = ++g_deleteSerial;
    PendingDeletes()[self] = serial;
    QTimer::singleShot(0, qApp, [self, serial] {
      auto it = PendingDeletes().find(self);
      if (it == PendingDeletes().end() || it->second != serial) return;
      PendingDeletes().erase(it);
      delete self;
    });
  }
}

bool Window::SetIconResource(int resourceId) {
  QIcon icon(QStringLiteral(":/icons/%1.png").arg(resourceId));
  if (icon.isNull() || icon.availableSizes().isEmpty()) return false;
  if (QWidget* o = OuterWidget()) o->setWindowIcon(icon);
  return true;
}

void Window::SetCaption(const std::string& text) {
  d_->caption = text;
  if (QWidget* o = OuterWidget()) o->setWindowTitle(ToQString(text));
}

std::string Window::GetCaption() const { return d_->caption; }

void Window::Show(int cmd) {
  QWidget* o = OuterWidget();
  if (o == nullptr) {
    d_->showAfterCreate = cmd;
    return;
  }
  const bool wasIconic = o->isMinimized(), wasZoomed = o->isMaximized();
  switch (cmd) {
    case SW_HIDE: o->hide(); break;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE: o->showMinimized(); break;
    case SW_SHOWMAXIMIZED: o->showMaximized(); break;
    case SW_RESTORE:
    case SW_SHOWNORMAL: o->showNormal(); break;
    default: o->show(); break;
  }
  if (!d_->creating && IsCreated())
    AfterPlacement(o->isMinimized() != wasIconic || o->isMaximized() != wasZoomed);
}

bool Window::IsWindowVisible() const {
  QWidget* o = OuterWidget();
  return o != nullptr && o->isVisible();
}
bool Window::IsIconic() const {
  QWidget* o = OuterWidget();
  return o != nullptr && o->isMinimized();
}
bool Window::IsZoomed() const {
  QWidget* o = OuterWidget();
  return o != nullptr && o->isMaximized();
}

void Window::EnableWindow(bool enable) {
  d_->enabled = enable;
  if (QWidget* o = OuterWidget()) o->setEnabled(enable);
}
bool Window::IsWindowEnabled() const {
  QWidget* o = OuterWidget();
  return o != nullptr ? o->isEnabled() : d_->enabled;
}

void Window::SetFocus() {
  if (QWidget* w = Widget()) w->setFocus(Qt::OtherFocusReason);
}
bool Window::HasFocus() const {
  QWidget* w = Widget();
  return w != nullptr && w->hasFocus();
}

void Window::BringToTop() {
  if (QWidget* o = OuterWidget()) {
    if (o->isMinimized()) o->showNormal();
    o->show();
    o->raise();
    o->activateWindow();
  }
}

void Window::MoveWindow(const Rect& r) {
  d_->initial = r;
  if (QWidget* o = OuterWidget()) {
    o->setGeometry(r.x, r.y, r.w, r.h);
    if (IsCreated()) AfterPlacement(false);
  }
}

Rect Window::GetWindowRect() const {
  QWidget* o = OuterWidget();
  if (o == nullptr) return d_->initial;
  QRect g = o->geometry();
  return {g.x(), g.y(), g.width(), g.height()};
}

Rect Window::GetClientRect() const {
  QWidget* w = Widget();
  if (w == nullptr) return {0, 0, std::max(0, d_->initial.w), std::max(0, d_->initial.h)};
  return {0, 0, w->width(), w->height()};
}

void Window::SetMinimumSize(int w, int h) {
  d_->minW = w;
  d_->minH = h;
  if (QWidget* o = OuterWidget()) o->setMinimumSize(w, h);
}

void Window::Invalidate(bool) {
  if (QWidget* w = Widget()) w->update();
}
void Window::InvalidateRect(const Rect& r, bool) {
  if (QWidget* w = Widget()) w->update(r.x, r.y, r.w, r.h);
}
void Window::UpdateWindow() {
  if (QWidget* w = Widget()) w->repaint();
}

bool Window::SetTimer(unsigned id, unsigned ms) {
  if (!IsCreated()) return false;
  auto& t = d_->timers[id];
  if (!t) {
    t = std::make_unique<QTimer>();
    Handle h = handle_;
    QObject::connect(t.get(), &QTimer::timeout, [h, id] {
      // Through the handle: a window destroyed meanwhile gets nothing.
      if (Window* w = handles::Find(h)) w->EvTimer(id);
    });
  }
  t->start(static_cast<int>(ms));
  return true;
}

bool Window::KillTimer(unsigned id) { return d_->timers.erase(id) > 0; }
bool Window::HasTimer(unsigned id) const { return d_->timers.count(id) > 0; }

bool Window::EvCommand(unsigned id) {
  if (const ResponseTable::Handler* h = Responses().FindHandler(id)) {
    (*h)(*this, id);
    return true;
  }
  return false;
}

bool Window::EvCommandEnable(CommandEnabler& ce) {
  if (const ResponseTable::Enabler* e = Responses().FindEnabler(ce.Id())) {
    ce.MarkHandled();
    (*e)(*this, ce);
    return true;
  }
  if (Responses().FindHandler(ce.Id()) != nullptr) {
    ce.Enable(true);
    return true;
  }
  return false;
}

std::intptr_t Window::WindowProc(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
  switch (msg) {
    case WM_COMMAND: return EvCommand(static_cast<unsigned>(wParam & 0xFFFF)) ? 1 : 0;
    case WM_CLOSE: CloseWindow(); return 0;
    case WM_DESTROY: Destroy(); return 0;
    case WM_TIMER: EvTimer(static_cast<unsigned>(wParam)); return 0;
    case WM_PAINT: UpdateWindow(); return 0;
    case WM_SETFOCUS: SetFocus(); return 0;
    case WM_LBUTTONDOWN:
      EvLButtonDown(static_cast<unsigned>(wParam),
                    Point{static_cast<short>(lParam & 0xFFFF), static_cast<short>((lParam >> 16) & 0xFFFF)});
      return 0;
    default: return EvMessage(msg, wParam, lParam);
  }
}

namespace {

using KeysPressed = std::vector<std::pair<int, unsigned>>;

// The press of `vk` a window saw, in its keystroke.
void NotePressSeen(KeysPressed& seen, int vk) {
  const unsigned stroke = NoteKeyPress(vk);
  for (auto& [key, at] : seen)
    if (key == vk) {
      at = stroke;
      return;
    }
  seen.emplace_back(vk, stroke);
}

// At the release of `vk`: whether the window saw the press of this keystroke. The note goes either way.
bool TakePressSeen(KeysPressed& seen, int vk) {
  const auto it = std::find_if(seen.begin(), seen.end(), [vk](const auto& k) { return k.first == vk; });
  if (it == seen.end()) return false;
  const bool same = it->second == KeyStroke(vk);
  seen.erase(it);
  return same;
}

}  // namespace

bool Window::DeliverEvent(void* qevent) {
  // A handler may run a modal loop (a pop-up menu, a message box) in which this window receives other events (it
  // loses the focus, say): what they leave to the default processing is theirs, never the event still being
  // handled, which would otherwise go on to the parent window and be handled there a second time.
  const bool outer = defaultWanted_;
  const bool consumed = DispatchEvent(qevent);
  defaultWanted_ = outer;
  return consumed;
}

bool Window::DispatchEvent(void* qevent) {
  auto* e = static_cast<QEvent*>(qevent);
  defaultWanted_ = false;
  switch (e->type()) {
    case QEvent::KeyPress: {
      auto* k = static_cast<QKeyEvent*>(e);
      int vk = VirtualKeyFromQtKey(k->key(), k->modifiers().testFlag(Qt::KeypadModifier));
      bool keep = true;
      if (vk != 0) {
        NoteKeyDown(vk);
        NotePressSeen(d_->keysPressed, vk);
        EvKeyDown(vk, 1, k->isAutoRepeat() ? 0x4000 : 0);
        keep = defaultWanted_;
      }
      QString text = k->text();
      if (text.size() == 1 && IsCreated()) {
        int ch = platform::UnicodeToCp1252(text.at(0).unicode(), platform::Unassigned::kKeepC1);
        if (ch >= 0) {
          defaultWanted_ = false;
          EvChar(static_cast<unsigned>(ch), 1, 0);
          keep = keep && defaultWanted_;
        }
      }
      return !keep;
    }
    case QEvent::KeyRelease: {
      auto* k = static_cast<QKeyEvent*>(e);
      if (k->isAutoRepeat()) return false;
      int vk = VirtualKeyFromQtKey(k->key(), k->modifiers().testFlag(Qt::KeypadModifier));
      if (vk == 0) return false;
      NoteKeyUp(vk);
      NoteKeyRelease(vk);
      // The release of a key pressed elsewhere (a menu item chosen with Enter, a box closed, an accelerator
      // that opened this window) is not for this window: it goes by.
      if (!TakePressSeen(d_->keysPressed, vk)) return false;
      EvKeyUp(vk, 1, 0);
      return !defaultWanted_;
    }
    case QEvent::FocusIn:
      EvSetFocus(0);
      return false;
    case QEvent::FocusOut:
      EvKillFocus(0);
      return false;
    case QEvent::Resize: {
      auto* r = static_cast<QResizeEvent*>(e);
      int kind = IsIconic() ? SIZE_MINIMIZED : IsZoomed() ? SIZE_MAXIMIZED : SIZE_RESTORED;
      EvSize(kind, r->size().width(), r->size().height());
      return false;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove: {
      auto* m = static_cast<QMouseEvent*>(e);
      Point p{static_cast<int>(m->position().x()), static_cast<int>(m->position().y())};
      unsigned f = MouseFlags(m->buttons(), m->modifiers());
      if (e->type() == QEvent::MouseMove) EvMouseMove(f, p);
      else if (m->button() == Qt::LeftButton) {
        if (e->type() == QEvent::MouseButtonPress) EvLButtonDown(f, p);
        else if (e->type() == QEvent::MouseButtonRelease) EvLButtonUp(f, p);
        else EvLButtonDblClk(f, p);
      } else if (m->button() == Qt::RightButton && e->type() == QEvent::MouseButtonPress) {
        EvRButtonDown(f, p);
      } else {
        return false;
      }
      return !defaultWanted_;
    }
    case QEvent::Wheel: {
      auto* w = static_cast<QWheelEvent*>(e);
      Point p{static_cast<int>(w->position().x()), static_cast<int>(w->position().y())};
      EvMouseWheel(MouseFlags(w->buttons(), w->modifiers()), w->angleDelta().y(), p);
      return !defaultWanted_;
    }
    case QEvent::Close: {
      if (destroying_) return false;
      e->ignore();
      CloseWindow();
      return true;
    }
    default:
      return false;
  }
}

}  // namespace gui
