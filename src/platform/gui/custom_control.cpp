#include "platform/gui/custom_control.h"

#include <QHelpEvent>
#include <QPaintEvent>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QToolTip>

#include "platform/gui/controls_internal.h"
#include "platform/gui/scroll_bar_internal.h"
#include "platform/gui/text_codec.h"

namespace gui {

// A scroll bar that repaints on a new position only when its thumb moves
// by a pixel: a list of a million rows moves it by a page of twenty rows,
// which seldom shows. The ends always repaint, as styles may draw the arrow
// buttons differently there.
class ListScrollBar : public QScrollBar {
 public:
  ListScrollBar(Qt::Orientation o, QWidget* parent) : QScrollBar(o, parent) {}

  // Thumb rectangle at the current position.
  QRect ThumbRect() const {
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    return style()->subControlRect(QStyle::CC_ScrollBar, &opt, QStyle::SC_ScrollBarSlider, this);
  }

 protected:
  void sliderChange(SliderChange change) override {
    if (change == SliderValueChange && painted_) {
      const bool atEnd = value() == minimum() || value() == maximum();
      const bool wasAtEnd = paintedValue_ == minimum() || paintedValue_ == maximum();
      if (!atEnd && !wasAtEnd && !isSliderDown() && ThumbRect() == paintedThumb_) return;
    }
    QScrollBar::sliderChange(change);
  }
  void paintEvent(QPaintEvent* e) override {
    QScrollBar::paintEvent(e);
    painted_ = true;
    paintedValue_ = value();
    paintedThumb_ = ThumbRect();
  }
  void resizeEvent(QResizeEvent* e) override {
    painted_ = false;
    QScrollBar::resizeEvent(e);
  }

 private:
  bool painted_ = false;
  int paintedValue_ = 0;
  QRect paintedThumb_;
};

class CustomWidget : public QWidget {
 public:
  CustomWidget(CustomControl* owner, QWidget* parent) : QWidget(parent), owner_(owner) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
  }
  QScrollBar* vbar = nullptr;
  QScrollBar* hbar = nullptr;
  void Place() {
    const int s = 16;
    if (vbar != nullptr) vbar->setGeometry(width() - s, 0, s, height() - (hbar != nullptr ? s : 0));
    if (hbar != nullptr) hbar->setGeometry(0, height() - s, width() - (vbar != nullptr ? s : 0), s);
  }

 protected:
  void paintEvent(QPaintEvent*) override { ControlPaintHook::Run(this); }
  void resizeEvent(QResizeEvent* e) override {
    QWidget::resizeEvent(e);
    Place();
  }
  bool event(QEvent* e) override {
    if (e->type() == QEvent::ToolTip) {
      auto* h = static_cast<QHelpEvent*>(e);
      const std::string tip = owner_->ToolTipAt(Point{h->pos().x(), h->pos().y()});
      if (tip.empty()) QToolTip::hideText();
      else QToolTip::showText(h->globalPos(), ToQString(tip), this);
      return true;
    }
    return QWidget::event(e);
  }

 private:
  CustomControl* owner_;
};

CustomControl::CustomControl(Window* parent, int id, unsigned flags) : Control(parent, id, {}, flags) {}

QWidget* CustomControl::CreateWidget(QWidget* parent) {
  auto* w = new CustomWidget(this, parent);
  auto wire = [this, w](bool vertical) {
    auto* bar = new ListScrollBar(vertical ? Qt::Vertical : Qt::Horizontal, w);
    bar->setFocusPolicy(Qt::NoFocus);
    ConnectScrollBar(
        bar, w, [this, vertical] { return vertical ? vPos_ : hPos_; },
        [this, vertical](int code, int pos) {
          if (vertical) EvVScroll(code, pos);
          else EvHScroll(code, pos);
        });
    return bar;
  };
  if (flags_ & ctl::VScroll) w->vbar = wire(true);
  if (flags_ & ctl::HScroll) w->hbar = wire(false);
  ApplyCommonStyle(w);
  return w;
}

std::intptr_t CustomControl::WindowProc(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
  if (msg == WM_VSCROLL || msg == WM_HSCROLL) {
    const int code = static_cast<int>(wParam & 0xFFFF);
    const int pos = static_cast<int>((wParam >> 16) & 0xFFFF);
    if (msg == WM_VSCROLL) EvVScroll(code, pos);
    else EvHScroll(code, pos);
    return 0;
  }
  return Control::WindowProc(msg, wParam, lParam);
}

void CustomControl::SetScrollRange(bool vertical, int min, int max, int page) {
  (vertical ? vMin_ : hMin_) = min;
  (vertical ? vMax_ : hMax_) = max;
  (vertical ? vPage_ : hPage_) = page < 1 ? 1 : page;
  if (auto* w = dynamic_cast<CustomWidget*>(Widget())) {
    if (QScrollBar* b = vertical ? w->vbar : w->hbar) {
      b->blockSignals(true);
      b->setRange(min, max);
      b->setPageStep(page < 1 ? 1 : page);
      b->blockSignals(false);
    }
  }
}

void CustomControl::SetScrollPos(bool vertical, int pos) {
  const int lo = vertical ? vMin_ : hMin_;
  const int hi = vertical ? vMax_ : hMax_;
  pos = pos < lo ? lo : pos > hi ? hi : pos;
  (vertical ? vPos_ : hPos_) = pos;
  if (auto* w = dynamic_cast<CustomWidget*>(Widget())) {
    if (QScrollBar* b = vertical ? w->vbar : w->hbar) {
      b->blockSignals(true);
      b->setValue(pos);
      b->blockSignals(false);
    }
  }
}

int CustomControl::GetScrollPos(bool vertical) const { return vertical ? vPos_ : hPos_; }

void CustomControl::ClearToolTips() { tips_.clear(); }

void CustomControl::AddToolTip(const Box& rect, const std::string& text) { tips_.push_back(Tip{rect, text}); }

std::string CustomControl::ToolTipAt(Point p) const {
  for (auto it = tips_.rbegin(); it != tips_.rend(); ++it)
    if (p.x >= it->rect.left && p.x < it->rect.right && p.y >= it->rect.top && p.y < it->rect.bottom) return it->text;
  return {};
}

}  // namespace gui
