#include "platform/gui/mdi.h"

#include <QApplication>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/gui/accelerators.h"
#include "platform/gui/menu.h"
#include "platform/gui/text_codec.h"
#include "platform/gui/window_widget.h"

namespace gui {

// ---- frame ----------------------------------------------------------------

MDIFrame::MDIFrame(const std::string& caption, MDIClient* client) : Window(nullptr), client_(client) {
  SetCaption(caption);
  // The client was built without a parent; it becomes the frame's child.
  if (client_ != nullptr) client_->SetParent(this);
}

MDIFrame::~MDIFrame() {
  if (auto* mw = qobject_cast<QMainWindow*>(OuterWidget())) mw->menuBar()->clear();
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
  DrawMenuBar();
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
  if (parentWidget != nullptr)
    if (auto* layout = qobject_cast<QBoxLayout*>(parentWidget->layout())) layout->insertWidget(0, area, 1);
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
                                         .Command(CM_CLOSECHILDREN, &MDIClient::CmCloseChildren);
  return table;
}

// ---- child ----------------------------------------------------------------

MDIChild::MDIChild(MDIClient* client, const std::string& caption) : Window(client) {
  SetCaption(caption);
  SetDeleteOnDestroy(true);
}

QWidget* MDIChild::CreateWidget(QWidget* parentWidget) {
  auto* area = qobject_cast<QMdiArea*>(parentWidget);
  auto* content = new WindowWidget(this, nullptr);
  if (area == nullptr) return content;
  QMdiSubWindow* sub = area->addSubWindow(content);
  sub->setAttribute(Qt::WA_DeleteOnClose, false);
  SetOuterWidget(sub);
  return content;
}

void MDIChild::Activate() {
  auto* sub = qobject_cast<QMdiSubWindow*>(OuterWidget());
  if (sub == nullptr) return;
  if (auto* area = sub->mdiArea()) area->setActiveSubWindow(sub);
  BringToTop();
}

}  // namespace gui
