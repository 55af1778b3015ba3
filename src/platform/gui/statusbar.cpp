#include "platform/gui/statusbar.h"

#include <QBoxLayout>
#include <QLabel>
#include <QStatusBar>

#include "platform/gui/application.h"
#include "platform/gui/keyboard.h"
#include "platform/gui/text_codec.h"

namespace gui {

namespace {
struct Indicator {
  StatusBar::Mode mode;
  const char* name;  // objectName of the label
  const char* text;
};
constexpr Indicator kIndicators[] = {{StatusBar::CapsLock, "caps", "MAJ"},
                                     {StatusBar::NumLock, "num", "NUM"},
                                     {StatusBar::ScrollLock, "scroll", "DEFIL"},
                                     {StatusBar::Overtype, "overtype", "RFP"}};

bool ModeOn(StatusBar::Mode m) {
  switch (m) {
    case StatusBar::CapsLock: return IsCapsLockOn();
    case StatusBar::NumLock: return IsNumLockOn();
    case StatusBar::ScrollLock: return IsScrollLockOn();
    case StatusBar::Overtype: return IsOvertypeOn();
  }
  return false;
}
}  // namespace

StatusBar::StatusBar(Window* frame, Border border, unsigned modes)
    : Window(frame), border_(border), modes_(modes) {}

QWidget* StatusBar::CreateWidget(QWidget* parentWidget) {
  auto* bar = new QStatusBar(parentWidget);
  bar->setSizeGripEnabled(false);
  auto* label = new QLabel(bar);
  label->setObjectName(QStringLiteral("text"));
  label->setTextFormat(Qt::PlainText);
  label->setFrameShape(QFrame::Panel);
  label->setFrameShadow(border_ == Border::Recessed ? QFrame::Sunken : QFrame::Raised);
  label->setText(ToQString(text_));
  bar->addWidget(label, 1);
  for (const Indicator& ind : kIndicators) {
    if ((modes_ & ind.mode) == 0) continue;
    auto* l = new QLabel(bar);
    l->setObjectName(QLatin1String(ind.name));
    l->setFrameShape(QFrame::Panel);
    l->setFrameShadow(QFrame::Sunken);
    l->setAlignment(Qt::AlignCenter);
    l->setMinimumWidth(l->fontMetrics().horizontalAdvance(QStringLiteral("DEFIL")) + 8);
    bar->addPermanentWidget(l);
  }
  if (parentWidget != nullptr)
    if (auto* layout = qobject_cast<QBoxLayout*>(parentWidget->layout())) layout->addWidget(bar);
  return bar;
}

void StatusBar::SetupWindow() {
  UpdateIndicators();
  StatusBar* self = this;
  Application::AddWindowIdleHandler(GetHandle(), [self] { self->UpdateIndicators(); });
}

namespace {
void ShowInField(QWidget* bar, const std::string& text) {
  if (bar != nullptr)
    if (auto* l = bar->findChild<QLabel*>(QStringLiteral("text"))) l->setText(ToQString(text));
}
}  // namespace

void StatusBar::SetText(const std::string& text) {
  text_ = text;
  if (!hintShown_) ShowInField(Widget(), text_);
}

std::string StatusBar::GetText() const { return text_; }

void StatusBar::ShowHint(const std::string& hint) {
  hint_ = hint;
  hintShown_ = true;
  ShowInField(Widget(), hint_);
}

void StatusBar::ClearHint() {
  if (!hintShown_) return;
  hintShown_ = false;
  hint_.clear();
  ShowInField(Widget(), text_);
}

std::string StatusBar::ShownText() const { return hintShown_ ? hint_ : text_; }

std::string StatusBar::IndicatorText(Mode mode) const {
  QWidget* w = Widget();
  if (w == nullptr) return {};
  for (const Indicator& ind : kIndicators)
    if (ind.mode == mode)
      if (auto* l = w->findChild<QLabel*>(QLatin1String(ind.name))) return FromQString(l->text());
  return {};
}

void StatusBar::UpdateIndicators() {
  QWidget* w = Widget();
  if (w == nullptr) return;
  for (const Indicator& ind : kIndicators)
    if (auto* l = w->findChild<QLabel*>(QLatin1String(ind.name)))
      l->setText(ModeOn(ind.mode) ? QLatin1String(ind.text) : QString());
}

}  // namespace gui
