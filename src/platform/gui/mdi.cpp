#include "platform/gui/mdi.h"

#include <QApplication>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QScreen>
#include <QScrollBar>
#include <QPointer>
#include <QTimer>
#include <QResizeEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLayout>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

#include "platform/gui/accelerators.h"
#include "platform/gui/custom_control.h"
#include "platform/gui/menu.h"
#include "platform/gui/scroll_bar_internal.h"
#include "platform/gui/text_codec.h"
#include "platform/gui/window_widget.h"

namespace gui {

namespace {
// Lays out the widgets between `outer` and `inner` now rather than when
// they are shown: each layout from the outside in, so that each one works
// from the size its parent just received.
void SettleLayouts(QWidget* outer, QWidget* inner) {
  std::vector<QWidget*> path;
  for (QWidget* w = inner->parentWidget(); w != nullptr; w = w->parentWidget()) {
    path.push_back(w);
    if (w == outer) break;
  }
  for (auto it = path.rbegin(); it != path.rend(); ++it) {
    if (QLayout* layout = (*it)->layout()) {
      layout->invalidate();
      layout->activate();
    }
  }
}

// Lays out a frame that is not shown down to the MDI client's viewport, and
// gives maximized children the viewport's size, as showing it would.
void SettleClientArea(QMdiArea* area) {
  if (area == nullptr || area->isVisible()) return;
  SettleLayouts(area->window(), area);
  QResizeEvent areaResize(area->size(), area->size());
  QApplication::sendEvent(area, &areaResize);
  QWidget* viewport = area->viewport();
  QResizeEvent viewportResize(viewport->size(), viewport->size());
  QApplication::sendEvent(viewport, &viewportResize);
}

// The client of the frame a widget lies in: through the windows that hold it, on the same top-level window (a
// dialog made by a child is a window of its own).
MDIClient* ClientOfWidget(QWidget* widget) {
  for (Window* w = WindowOfWidget(widget); w != nullptr; w = w->Parent()) {
    MDIClient* client = dynamic_cast<MDIClient*>(w);
    if (client == nullptr)
      if (auto* frame = dynamic_cast<MDIFrame*>(w)) client = frame->GetClient();
    if (client == nullptr) continue;
    QWidget* area = client->Widget();
    return area != nullptr && area->window() == widget->window() ? client : nullptr;
  }
  return nullptr;
}

// The keys that go from one child window to the next, wherever the focus stands in the frame, before the focused
// control sees them: Ctrl+F6 and Ctrl+Tab the next, Ctrl+Shift+F6 and Ctrl+Shift+Tab the previous. Not while a
// modal dialog or a pop-up menu is open.
class WindowKeysFilter : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (e->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
    const auto* k = static_cast<QKeyEvent*>(e);
    const Qt::KeyboardModifiers mods = k->modifiers() & ~Qt::KeypadModifier;
    const int key = k->key();
    const bool next = mods == Qt::ControlModifier && (key == Qt::Key_F6 || key == Qt::Key_Tab);
    const bool previous = mods == (Qt::ControlModifier | Qt::ShiftModifier) &&
                          (key == Qt::Key_F6 || key == Qt::Key_Backtab || key == Qt::Key_Tab);
    if (!next && !previous) return false;
    if (QApplication::activePopupWidget() != nullptr || QApplication::activeModalWidget() != nullptr) return false;
    MDIClient* client = ClientOfWidget(static_cast<QWidget*>(watched));
    if (client == nullptr || client->ListedChildren().empty()) return false;
    client->ActivateNextChild(previous);
    return true;
  }
};

// A child minimised while active keeps the keyboard on its icon, and the area draws another child in front, not
// active: the one in front of the others still open takes the keys, as when it is chosen from the window menu.
// Nothing changes when every other child is minimised or hidden.
void HandTheKeysOnFromIcon(QMdiSubWindow* icon) {
  QMdiArea* area = icon->mdiArea();
  auto* client = area != nullptr ? dynamic_cast<MDIClient*>(WindowOfWidget(area)) : nullptr;
  if (client == nullptr || !icon->isMinimized() || area->activeSubWindow() != icon) return;
  const QList<QMdiSubWindow*> stacked = area->subWindowList(QMdiArea::StackingOrder);
  for (auto it = stacked.rbegin(); it != stacked.rend(); ++it) {
    QMdiSubWindow* sub = *it;
    if (sub == icon || sub->isHidden() || sub->isMinimized()) continue;
    for (MDIChild* c : client->GetChildren())
      if (c->OuterWidget() == sub) {
        c->Activate();
        return;
      }
  }
}

// Installed again (the last installed acts first) each time an area or a child is made: the MDI area of the
// class library filters the program's keys too and would take Ctrl+Tab for a window switch of its own.
void EnsureWindowKeysFilter() {
  static WindowKeysFilter* filter = nullptr;
  if (QCoreApplication::instance() == nullptr) return;
  if (filter == nullptr) filter = new WindowKeysFilter;
  qApp->installEventFilter(filter);
}

}  // namespace

// ---- frame ----------------------------------------------------------------

MDIFrame::MDIFrame(const std::string& caption, MDIClient* client) : Window(nullptr), client_(client) {
  SetCaption(caption);
  // The client was built without a parent; it becomes the frame's child.
  if (client_ != nullptr) client_->SetParent(this);
}

MDIFrame::~MDIFrame() {
  // The bar the menu's actions were given to, if one was ever made: menuBar() would make one
  // here, a new widget inside a destructor (and, at the program's end, after Qt has gone).
  if (auto* mw = qobject_cast<QMainWindow*>(OuterWidget()))
    if (auto* bar = qobject_cast<QMenuBar*>(mw->menuWidget())) bar->clear();
  accelerators_.reset();
  menu_.reset();
}

QWidget* MDIFrame::CreateWidget(QWidget*) {
  auto* mw = new QMainWindow;
  container_ = new QWidget(mw);
  auto* layout = new QVBoxLayout(container_);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  mw->setCentralWidget(container_);
  mw->resize(800, 600);
  return mw;
}

QWidget* MDIFrame::ChildParentWidget() const { return container_; }

void MDIFrame::AfterPlacement(bool) {
  if (client_ == nullptr || !client_->IsCreated() || OuterWidget()->isVisible()) return;
  SettleClientArea(qobject_cast<QMdiArea*>(client_->Widget()));
  for (MDIChild* c : client_->GetChildren()) c->SyncHiddenClientSize(false);
}

void MDIFrame::SetupWindow() {
  DrawMenuBar();
  if (accelerators_) accelerators_->Install(*this);
}

bool MDIFrame::AssignMenu(int resourceId) {
  std::unique_ptr<Menu> menu = Menu::Load(resourceId);
  if (!menu) return false;
  SetMenu(std::move(menu));
  return true;
}

void MDIFrame::SetMenu(std::unique_ptr<Menu> menu) {
  menu_ = std::move(menu);
  windowMenu_ = nullptr;
  windowMenuFixed_ = 0;
  for (int i = 0; menu_ && i < menu_->GetItemCount(); ++i) {
    Menu* sub = menu_->GetSubMenu(i);
    if (sub == nullptr || sub->FindPosition(CM_CASCADECHILDREN) < 0) continue;
    windowMenu_ = sub;
    windowMenuFixed_ = sub->GetItemCount();
    sub->SetBeforeShow([this] { UpdateWindowMenu(); });
    break;
  }
  DrawMenuBar();
}

void MDIFrame::UpdateWindowMenu() {
  if (windowMenu_ == nullptr) return;
  while (windowMenu_->GetItemCount() > windowMenuFixed_) windowMenu_->DeleteItem(windowMenu_->GetItemCount() - 1);
  if (client_ == nullptr || !client_->IsCreated()) return;
  const std::vector<MDIChild*> children = client_->ListedChildren();
  if (children.empty()) return;
  const MDIChild* active = client_->GetActiveMDIChild();
  windowMenu_->InsertSeparator(-1);
  for (std::size_t i = 0; i < children.size() && i <= CM_LASTMDICHILD - CM_FIRSTMDICHILD; ++i) {
    const unsigned id = CM_FIRSTMDICHILD + static_cast<unsigned>(i);
    windowMenu_->InsertItem(-1, id, MDIClient::WindowMenuText(static_cast<int>(i), children[i]->GetCaption()));
    // Only the active one carries a mark; the others show none, not an empty box.
    if (children[i] == active) windowMenu_->CheckItem(id, true);
  }
}

void MDIFrame::DrawMenuBar() {
  auto* mw = qobject_cast<QMainWindow*>(OuterWidget());
  if (mw == nullptr || !menu_) return;
  menu_->SetCommandTarget(this);
  mw->menuBar()->clear();
  mw->menuBar()->addActions(menu_->GetQMenu()->actions());
}

bool MDIFrame::SetAccelerators(int resourceId) {
  std::unique_ptr<AcceleratorTable> table = AcceleratorTable::Load(resourceId);
  if (!table) return false;
  accelerators_ = std::move(table);
  if (IsCreated()) accelerators_->Install(*this);
  return true;
}

namespace {
// The chain a command travels: the focused window and its parents up to
// the active child, then the client, then the frame.
std::vector<Window*> CommandChain(MDIFrame& frame) {
  std::vector<Window*> chain;
  MDIClient* client = frame.GetClient();
  MDIChild* active = client != nullptr ? client->GetActiveMDIChild() : nullptr;
  if (active != nullptr) {
    Window* focus = WindowOfWidget(QApplication::focusWidget());
    bool inside = false;
    for (Window* w = focus; w != nullptr; w = w->Parent())
      if (w == active) inside = true;
    if (inside)
      for (Window* w = focus; w != nullptr && w != active; w = w->Parent()) chain.push_back(w);
    chain.push_back(active);
  }
  if (client != nullptr) chain.push_back(client);
  chain.push_back(&frame);
  return chain;
}
}  // namespace

bool MDIFrame::RouteCommand(unsigned id) {
  for (Window* w : CommandChain(*this)) {
    Handle h = w->GetHandle();
    if (h == 0) continue;
    if (w == this ? Window::EvCommand(id) : w->EvCommand(id)) return true;
  }
  return false;
}

void MDIFrame::RouteCommandEnable(CommandEnabler& ce) {
  for (Window* w : CommandChain(*this)) {
    if (w->GetHandle() == 0) continue;
    if (w == this ? Window::EvCommandEnable(ce) : w->EvCommandEnable(ce)) return;
  }
}

const ResponseTable& MDIFrame::Table() {
  static const ResponseTable table(&Window::Table());
  return table;
}

FramePlacement MDIFrame::GetPlacement() const {
  FramePlacement p;
  QWidget* o = OuterWidget();
  if (o == nullptr) return p;
  QRect g = o->isMaximized() || o->isMinimized() ? o->normalGeometry() : o->geometry();
  if (!g.isValid()) g = o->geometry();
  p.x = g.x();
  p.y = g.y();
  p.w = g.width();
  p.h = g.height();
  p.maximized = o->isMaximized();
  p.minimized = o->isMinimized();
  return p;
}

void MDIFrame::SetPlacement(const FramePlacement& p) {
  MoveWindow({p.x, p.y, p.w, p.h});
  if (p.minimized) Show(SW_SHOWMINIMIZED);
  else if (p.maximized) Show(SW_SHOWMAXIMIZED);
}

bool MDIFrame::PlacementUsable(const FramePlacement& p, int minW, int minH, int margin) {
  if (p.w < minW || p.h < minH) return false;
  const auto screens = QGuiApplication::screens();
  if (screens.isEmpty()) return true;  // nothing to compare with
  QRect r(p.x, p.y, p.w, p.h);
  for (QScreen* s : screens) {
    QRect inter = s->availableGeometry().intersected(r);
    if (inter.width() >= margin && inter.height() >= std::min(margin, p.h)) return true;
  }
  return false;
}

// ---- client ---------------------------------------------------------------

MDIClient::MDIClient() : Window(nullptr) {}

QWidget* MDIClient::CreateWidget(QWidget* parentWidget) {
  auto* area = new QMdiArea(parentWidget);
  area->setBackground(QColor(192, 192, 192));
  area->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  area->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  QObject::connect(area, &QMdiArea::subWindowActivated, area, [area](QMdiSubWindow* sub) {
    if (auto* client = dynamic_cast<MDIClient*>(WindowOfWidget(area)); client != nullptr && sub != nullptr)
      client->NoteActivated(sub);
  });
  if (parentWidget != nullptr)
    if (auto* layout = qobject_cast<QBoxLayout*>(parentWidget->layout())) layout->insertWidget(0, area, 1);
  EnsureWindowKeysFilter();
  return area;
}

QWidget* MDIClient::ChildParentWidget() const { return Widget(); }

std::vector<MDIChild*> MDIClient::GetChildren() const {
  std::vector<MDIChild*> out;
  for (Window* w : Children())
    if (auto* c = dynamic_cast<MDIChild*>(w); c != nullptr && c->IsCreated()) out.push_back(c);
  return out;
}

MDIChild* MDIClient::GetActiveMDIChild() const {
  auto* area = qobject_cast<QMdiArea*>(Widget());
  if (area == nullptr) return nullptr;
  QMdiSubWindow* sub = area->currentSubWindow();
  if (sub == nullptr) sub = area->activeSubWindow();
  if (sub == nullptr) return nullptr;
  for (MDIChild* c : GetChildren())
    if (c->OuterWidget() == sub) return c;
  return nullptr;
}

void MDIClient::NoteActivated(QWidget* sub) {
  for (MDIChild* c : GetChildren()) {
    if (c->OuterWidget() != sub) continue;
    const Handle h = c->GetHandle();
    // The handles of the children gone leave the history with it.
    std::vector<Handle> kept;
    for (MDIChild* alive : ActivationHistory())
      if (alive->GetHandle() != h) kept.push_back(alive->GetHandle());
    kept.push_back(h);
    history_ = std::move(kept);
    return;
  }
}

std::vector<MDIChild*> MDIClient::ActivationHistory() const {
  std::vector<MDIChild*> out;
  const std::vector<MDIChild*> children = GetChildren();
  for (Handle h : history_)
    for (MDIChild* c : children)
      if (c->GetHandle() == h) out.push_back(c);
  return out;
}

std::vector<MDIChild*> MDIClient::ListedChildren() const {
  std::vector<MDIChild*> out;
  for (MDIChild* c : GetChildren())
    if (c->OuterWidget() != nullptr && !c->OuterWidget()->isHidden()) out.push_back(c);
  return out;
}

std::string MDIClient::WindowMenuText(int place, const std::string& caption) {
  std::string text = place < 9 ? "&" + std::to_string(place + 1) : std::to_string(place + 1);
  text += ' ';
  // A '&' of the caption is shown, not taken for a mnemonic.
  for (char c : caption) text += c == '&' ? std::string("&&") : std::string(1, c);
  return text;
}

void MDIClient::ActivateNextChild(bool previous) {
  const std::vector<MDIChild*> children = ListedChildren();
  if (children.empty()) return;
  const auto n = static_cast<std::ptrdiff_t>(children.size());
  const auto at = std::find(children.begin(), children.end(), GetActiveMDIChild()) - children.begin();
  std::ptrdiff_t next = previous ? n - 1 : 0;
  if (at < n) next = (at + (previous ? n - 1 : 1)) % n;
  children[static_cast<std::size_t>(next)]->Activate();
}

void MDIClient::CmActivateChild(unsigned id) {
  const std::vector<MDIChild*> children = ListedChildren();
  const std::size_t place = id - CM_FIRSTMDICHILD;
  if (id >= CM_FIRSTMDICHILD && place < children.size()) children[place]->Activate();
}

void MDIClient::CeActivateChild(CommandEnabler& ce) {
  const std::vector<MDIChild*> children = ListedChildren();
  const std::size_t place = ce.Id() - CM_FIRSTMDICHILD;
  const bool listed = ce.Id() >= CM_FIRSTMDICHILD && place < children.size();
  ce.Enable(listed);
  if (listed && children[place] == GetActiveMDIChild()) ce.SetCheck(CHECK_CHECKED);
}

MDIChild* MDIClient::Successor(const MDIChild* closing) const {
  const std::vector<MDIChild*> history = ActivationHistory();
  for (auto it = history.rbegin(); it != history.rend(); ++it) {
    MDIChild* c = *it;
    if (c == closing || c->OuterWidget() == nullptr || c->OuterWidget()->isHidden()) continue;
    return c;
  }
  return nullptr;
}

void MDIClient::CascadeChildren() {
  if (auto* area = qobject_cast<QMdiArea*>(Widget())) area->cascadeSubWindows();
}

void MDIClient::TileChildren(bool horizontal) {
  auto* area = qobject_cast<QMdiArea*>(Widget());
  if (area == nullptr) return;
  std::vector<QMdiSubWindow*> subs;
  for (MDIChild* c : GetChildren())
    if (auto* s = qobject_cast<QMdiSubWindow*>(c->OuterWidget()); s && s->isVisible() && !s->isMinimized())
      subs.push_back(s);
  if (subs.empty()) return;
  QRect r = area->viewport()->rect();
  int n = static_cast<int>(subs.size());
  for (int i = 0; i < n; ++i) {
    QMdiSubWindow* s = subs[static_cast<size_t>(i)];
    if (s->isMaximized()) s->showNormal();
    if (horizontal) {
      int h = r.height() / n;
      s->setGeometry(0, i * h, r.width(), i == n - 1 ? r.height() - i * h : h);
    } else {
      int w = r.width() / n;
      s->setGeometry(i * w, 0, i == n - 1 ? r.width() - i * w : w, r.height());
    }
  }
}

void MDIClient::ArrangeIcons() {
  auto* area = qobject_cast<QMdiArea*>(Widget());
  if (area == nullptr) return;
  QRect r = area->viewport()->rect();
  int x = 0;
  int y = r.height();
  for (MDIChild* c : GetChildren()) {
    QWidget* s = c->OuterWidget();
    if (!s->isMinimized()) continue;
    QSize sz = s->size();
    if (x > 0 && x + sz.width() > r.width()) {
      x = 0;
      y -= sz.height();
    }
    s->move(x, y - sz.height());
    x += sz.width();
  }
}

bool MDIClient::CloseChildren() {
  std::vector<MDIChild*> kids = GetChildren();
  for (MDIChild* c : kids)
    if (!c->CanClose()) return false;
  for (MDIChild* c : kids) c->Destroy();
  return true;
}

const ResponseTable& MDIClient::Table() {
  static const ResponseTable table = ResponseTable(&Window::Table())
                                         .Command(CM_CASCADECHILDREN, &MDIClient::CmCascadeChildren)
                                         .Command(CM_TILECHILDREN, &MDIClient::CmTileChildren)
                                         .Command(CM_TILECHILDRENHORIZ, &MDIClient::CmTileChildrenHoriz)
                                         .Command(CM_ARRANGEICONS, &MDIClient::CmArrangeIcons)
                                         .Command(CM_CLOSECHILDREN, &MDIClient::CmCloseChildren)
                                         .CommandRange(CM_FIRSTMDICHILD, CM_LASTMDICHILD, &MDIClient::CmActivateChild)
                                         .EnableRange(CM_FIRSTMDICHILD, CM_LASTMDICHILD, &MDIClient::CeActivateChild);
  return table;
}

// ---- child ----------------------------------------------------------------

struct MDIChild::BarWidgets {
  QPointer<QScrollBar> v, h;
};

MDIChild::MDIChild(MDIClient* client, const std::string& caption) : Window(client) {
  SetCaption(caption);
  SetDeleteOnDestroy(true);
}

QWidget* MDIChild::CreateWidget(QWidget* parentWidget) {
  auto* area = qobject_cast<QMdiArea*>(parentWidget);
  if (area == nullptr) return new WindowWidget(this, parentWidget);
  // The client area with its two scroll bars right and below.
  auto* frame = new QWidget;
  auto* content = new WindowWidget(this, frame);
  auto* grid = new QGridLayout(frame);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setSpacing(0);
  grid->addWidget(content, 0, 0);
  auto wire = [this, frame](bool vertical) {
    auto* bar = new QScrollBar(vertical ? Qt::Vertical : Qt::Horizontal, frame);
    bar->setFocusPolicy(Qt::NoFocus);
    bar->hide();
    ConnectScrollBar(
        bar, bar, [this, vertical] { return bars_[vertical ? 1 : 0].pos; },
        [this, vertical](int code, int pos) {
          const auto w = static_cast<std::uintptr_t>(code) | (static_cast<std::uintptr_t>(pos & 0xFFFF) << 16);
          WindowProc(vertical ? WM_VSCROLL : WM_HSCROLL, w, 0);
        });
    return bar;
  };
  barWidgets_ = std::make_unique<BarWidgets>();
  barWidgets_->v = wire(true);
  barWidgets_->h = wire(false);
  grid->addWidget(barWidgets_->v, 0, 1);
  grid->addWidget(barWidgets_->h, 1, 0);
  QMdiSubWindow* sub = area->addSubWindow(frame);
  EnsureWindowKeysFilter();
  sub->setAttribute(Qt::WA_DeleteOnClose, false);
  if (!maximizeBox_)
    sub->setWindowFlags(Qt::SubWindow | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                        Qt::WindowCloseButtonHint);
  SetOuterWidget(sub);
  // Minimised while active, it hands the keys on once the area has done with the change.
  QObject::connect(sub, &QMdiSubWindow::windowStateChanged, sub, [sub](Qt::WindowStates before, Qt::WindowStates now) {
    if (!(before & Qt::WindowMinimized) && (now & Qt::WindowMinimized))
      QTimer::singleShot(0, sub, [sub] { HandTheKeysOnFromIcon(sub); });
  });
  ApplyBar(true);
  ApplyBar(false);
  return content;
}

bool MDIChild::HasMaximizeBox() const {
  QWidget* o = OuterWidget();
  if (o == nullptr || !IsCreated()) return maximizeBox_;
  // No hint at all: Qt's default frame, which has the box.
  const Qt::WindowFlags f = o->windowFlags();
  const Qt::WindowFlags hints = f & (Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                                     Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
  return hints == Qt::WindowFlags() || (f & Qt::WindowMaximizeButtonHint);
}

void MDIChild::ApplyBar(bool vertical) {
  QScrollBar* bar = !barWidgets_ ? nullptr : vertical ? barWidgets_->v.data() : barWidgets_->h.data();
  if (bar == nullptr) return;
  const Bar& b = bars_[vertical ? 1 : 0];
  bar->blockSignals(true);
  bar->setRange(b.range.min, b.range.max);
  bar->setPageStep(b.range.page);
  bar->setValue(b.pos);
  bar->blockSignals(false);
  const bool show = b.range.max > b.range.min;
  if (show != !bar->isHidden()) {
    bar->setVisible(show);
    // The bar narrows or widens the client area.
    SyncHiddenClientSize(false);
  }
}

void MDIChild::AfterPlacement(bool stateChanged) { SyncHiddenClientSize(stateChanged); }

void MDIChild::SyncHiddenClientSize(bool announce) {
  QWidget* sub = OuterWidget();
  QWidget* content = Widget();
  if (sub == nullptr || content == nullptr || sub == content || sub->isVisible()) return;
  const QSize before = content->size();
  if (auto* s = qobject_cast<QMdiSubWindow*>(sub); s != nullptr && s->isMaximized()) SettleClientArea(s->mdiArea());
  SettleLayouts(sub, content);
  // Inside an EvSize sent below: the loop there looks at the size again.
  if (sizing_ || !IsCreated()) return;
  if (!announce && content->size() == before) return;
  sizing_ = true;
  QSize sent(-1, -1);
  // A handler that shows or hides a scroll bar changes the client area; it
  // hears of it once it has returned. A few rounds, in case the bars keep
  // toggling each other.
  for (int round = 0; round < 4 && IsCreated(); ++round) {
    const QSize now = Widget()->size();
    if (now == sent) break;
    sent = now;
    const int kind = IsIconic() ? SIZE_MINIMIZED : IsZoomed() ? SIZE_MAXIMIZED : SIZE_RESTORED;
    EvSize(kind, now.width(), now.height());
  }
  sizing_ = false;
}

void MDIChild::SetScrollRange(bool vertical, int min, int max, int page) {
  Bar& b = bars_[vertical ? 1 : 0];
  b.range = ScrollRange{min, std::max(min, max), std::max(1, page)};
  b.pos = std::clamp(b.pos, b.range.min, b.range.max);
  ApplyBar(vertical);
}

void MDIChild::SetScrollPos(bool vertical, int pos) {
  Bar& b = bars_[vertical ? 1 : 0];
  b.pos = std::clamp(pos, b.range.min, b.range.max);
  ApplyBar(vertical);
}

int MDIChild::GetScrollPos(bool vertical) const { return bars_[vertical ? 1 : 0].pos; }

MDIChild::ScrollRange MDIChild::GetScrollRange(bool vertical) const { return bars_[vertical ? 1 : 0].range; }

bool MDIChild::ScrollBarShown(bool vertical) const {
  const QScrollBar* bar = !barWidgets_ ? nullptr : vertical ? barWidgets_->v.data() : barWidgets_->h.data();
  return bar != nullptr && !bar->isHidden();
}

MDIChild::~MDIChild() = default;

bool MDIChild::SetAccelerators(int resourceId) {
  std::unique_ptr<AcceleratorTable> table = AcceleratorTable::Load(resourceId);
  if (!table) return false;
  SetAccelerators(std::move(table));
  return true;
}

void MDIChild::SetAccelerators(std::unique_ptr<AcceleratorTable> table) {
  accelerators_ = std::move(table);
  if (accelerators_ && IsCreated()) accelerators_->Install(*this);
}

void MDIChild::SetupWindow() {
  if (accelerators_) accelerators_->Install(*this);
}

void MDIChild::HideForDestroy(QWidget* outer) {
  auto* sub = qobject_cast<QMdiSubWindow*>(outer);
  QMdiArea* area = sub != nullptr ? sub->mdiArea() : nullptr;
  auto* client = area != nullptr ? dynamic_cast<MDIClient*>(WindowOfWidget(area)) : nullptr;
  const bool active = area != nullptr && (area->activeSubWindow() == sub || area->currentSubWindow() == sub);
  MDIChild* next = client != nullptr && active ? client->Successor(this) : nullptr;
  outer->hide();
  if (next != nullptr && next->IsCreated()) next->Activate();
}

void MDIChild::Activate() {
  auto* sub = qobject_cast<QMdiSubWindow*>(OuterWidget());
  if (sub == nullptr) return;
  if (auto* area = sub->mdiArea()) area->setActiveSubWindow(sub);
  BringToTop();
}

}  // namespace gui
