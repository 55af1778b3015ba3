#include "platform/gui/controlbar.h"

#include <QAction>
#include <QEvent>
#include <QFile>
#include <QIcon>
#include <QMainWindow>
#include <QPainter>
#include <QPixmap>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>

#include "platform/gui/application.h"
#include "platform/gui/text_codec.h"

namespace gui {

namespace {

std::function<std::string(unsigned)>& HintProvider() {
  static std::function<std::string(unsigned)> provider;
  return provider;
}

QIcon GlyphFor(int bitmapId) {
  for (const char* ext : {"png", "bmp"}) {
    QString path = QStringLiteral(":/bitmaps/%1.%2").arg(bitmapId).arg(QLatin1String(ext));
    if (QFile::exists(path)) return QIcon(path);
  }
  // No artwork: a plain numbered tile, so the button stays usable.
  QPixmap pm(24, 24);
  pm.fill(QColor(220, 220, 220));
  QPainter p(&pm);
  p.setPen(QColor(64, 64, 64));
  p.drawRect(0, 0, 23, 23);
  QFont f = p.font();
  f.setPixelSize(8);
  p.setFont(f);
  p.drawText(pm.rect(), Qt::AlignCenter, QString::number(bitmapId % 1000));
  return QIcon(pm);
}

// The pointer leaving the bar takes the hint of its last button away.
class LeaveWatcher : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (e->type() == QEvent::Leave) NoteCommandHover(0);
    return QObject::eventFilter(watched, e);
  }
};

}  // namespace

Gadget::Gadget(unsigned id) : action_(new QAction), id_(id) {}
Gadget::~Gadget() { delete action_; }
bool Gadget::IsEnabled() const { return action_->isEnabled(); }

SeparatorGadget::SeparatorGadget() : Gadget(0) { action_->setSeparator(true); }

ButtonGadget::ButtonGadget(int bitmapId, unsigned commandId, Type type, bool enabled, State state, bool)
    : Gadget(commandId), type_(type), bitmapId_(bitmapId) {
  action_->setIcon(GlyphFor(bitmapId));
  action_->setData(commandId);
  action_->setEnabled(enabled);
  if (type == Type::NonExclusive) {
    action_->setCheckable(true);
    action_->setChecked(state == State::Down);
  }
  if (HintProvider()) SetTooltip(HintProvider()(commandId));
}

void ButtonGadget::SetButtonState(State state) {
  action_->setCheckable(true);
  action_->setChecked(state == State::Down);
}

ButtonGadget::State ButtonGadget::GetButtonState() const {
  return action_->isChecked() ? State::Down : State::Up;
}

void ButtonGadget::SetEnabled(bool enabled) { action_->setEnabled(enabled); }

void ButtonGadget::SetTooltip(const std::string& text) {
  action_->setText(ToQString(text));
  action_->setToolTip(ToQString(text));
}

std::string ButtonGadget::GetTooltip() const { return FromQString(action_->toolTip()); }

ControlBar::ControlBar(Window* frame) : Window(frame) {}

ControlBar::~ControlBar() {
  if (auto* bar = qobject_cast<QToolBar*>(Widget()))
    for (auto& g : gadgets_) bar->removeAction(g->GetAction());
}

void ControlBar::SetHintProvider(std::function<std::string(unsigned)> provider) {
  HintProvider() = std::move(provider);
}

QWidget* ControlBar::CreateWidget(QWidget* parentWidget) {
  auto* bar = new QToolBar(parentWidget);
  bar->setMovable(false);
  bar->setFloatable(false);
  bar->setIconSize(QSize(24, 24));
  if (parentWidget != nullptr) {
    if (auto* mw = qobject_cast<QMainWindow*>(parentWidget->window())) mw->addToolBar(Qt::TopToolBarArea, bar);
  }
  for (auto& g : gadgets_) bar->addAction(g->GetAction());
  bar->installEventFilter(new LeaveWatcher(bar));
  return bar;
}

void ControlBar::SetupWindow() {
  ControlBar* self = this;
  Application::AddWindowIdleHandler(GetHandle(), [self] { self->RunEnablers(); });
}

void ControlBar::Insert(Gadget* gadget, Gadget* after) {
  if (gadget == nullptr) return;
  auto pos = gadgets_.end();
  if (after != nullptr) {
    auto it = std::find_if(gadgets_.begin(), gadgets_.end(), [after](auto& g) { return g.get() == after; });
    if (it != gadgets_.end()) pos = it + 1;
  }
  QAction* before = pos == gadgets_.end() ? nullptr : (*pos)->GetAction();
  pos = gadgets_.insert(pos, std::unique_ptr<Gadget>(gadget));
  if (auto* b = dynamic_cast<ButtonGadget*>(gadget)) {
    ControlBar* self = this;
    QObject::connect(gadget->GetAction(), &QAction::triggered, [self, b] { self->Clicked(b); });
    const unsigned id = gadget->GetId();
    QObject::connect(gadget->GetAction(), &QAction::hovered, [id] { NoteCommandHover(id); });
  }
  if (auto* bar = qobject_cast<QToolBar*>(Widget())) bar->insertAction(before, gadget->GetAction());
}

Gadget* ControlBar::Remove(Gadget* gadget) {
  auto it = std::find_if(gadgets_.begin(), gadgets_.end(), [gadget](auto& g) { return g.get() == gadget; });
  if (it == gadgets_.end()) return nullptr;
  Gadget* g = it->release();
  gadgets_.erase(it);
  if (auto* bar = qobject_cast<QToolBar*>(Widget())) bar->removeAction(g->GetAction());
  QObject::disconnect(g->GetAction(), &QAction::triggered, nullptr, nullptr);
  QObject::disconnect(g->GetAction(), &QAction::hovered, nullptr, nullptr);
  return g;
}

Gadget* ControlBar::GadgetAt(int index) const {
  return index >= 0 && index < GadgetCount() ? gadgets_[static_cast<size_t>(index)].get() : nullptr;
}

Gadget* ControlBar::GadgetWithId(unsigned id) const {
  for (auto& g : gadgets_)
    if (id != 0 && g->GetId() == id) return g.get();
  return nullptr;
}

void ControlBar::LayoutSession() {
  if (QWidget* w = Widget()) {
    w->updateGeometry();
    w->update();
  }
}

void ControlBar::RunEnablers() {
  Window* target = Parent();
  for (auto& g : gadgets_) {
    auto* b = dynamic_cast<ButtonGadget*>(g.get());
    if (b == nullptr || b->GetId() == 0) continue;
    CommandEnabler ce(b->GetId());
    if (target != nullptr) target->RouteCommandEnable(ce);
    b->SetEnabled(ce.Handled() && ce.Enabled());
    if (ce.CheckSet() && b->GetType() == ButtonGadget::Type::NonExclusive)
      b->SetButtonState(ce.Check() == CHECK_CHECKED ? ButtonGadget::State::Down : ButtonGadget::State::Up);
  }
}

bool ControlBar::Press(unsigned id) {
  Gadget* g = GadgetWithId(id);
  if (g == nullptr || !g->IsEnabled()) return false;
  g->GetAction()->trigger();
  return true;
}

void ControlBar::Clicked(ButtonGadget* gadget) {
  if (Window* target = Parent()) target->RouteCommand(gadget->GetId());
}

}  // namespace gui
