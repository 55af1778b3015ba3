// Windows-style scroll bars over QScrollBar: a user's action on the bar becomes a scroll code
// (SB_LINEDOWN ...) with the track position, and the bar snaps back to the position its owner
// holds; the owner moves it itself with SetScrollPos, as with Windows bars.
#pragma once

#include "platform/gui/window_users.h"

#include <QScrollBar>
#include <functional>

#include "platform/gui/constants.h"

namespace gui {

inline void ConnectScrollBar(QScrollBar* bar, QObject* context, std::function<int()> heldPosition,
                             std::function<void(int code, int pos)> deliver) {
  QObject::connect(bar, &QScrollBar::actionTriggered, context,
                   [bar, heldPosition = std::move(heldPosition), deliver = std::move(deliver)](int action) {
                     int code = SB_ENDSCROLL;
                     switch (action) {
                       case QAbstractSlider::SliderSingleStepAdd: code = SB_LINEDOWN; break;
                       case QAbstractSlider::SliderSingleStepSub: code = SB_LINEUP; break;
                       case QAbstractSlider::SliderPageStepAdd: code = SB_PAGEDOWN; break;
                       case QAbstractSlider::SliderPageStepSub: code = SB_PAGEUP; break;
                       case QAbstractSlider::SliderToMinimum: code = SB_TOP; break;
                       case QAbstractSlider::SliderToMaximum: code = SB_BOTTOM; break;
                       case QAbstractSlider::SliderMove: code = SB_THUMBTRACK; break;
                       default: return;
                     }
                     const int pos = bar->sliderPosition();
                     bar->blockSignals(true);
                     bar->setSliderPosition(heldPosition());
                     bar->blockSignals(false);
                     deliver(code, pos);
                   });
}

}  // namespace gui
