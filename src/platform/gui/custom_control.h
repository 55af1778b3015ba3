// A child window drawn by its owner: the list windows and the gadgets.
// EvPaint draws (open a WindowDC there), the mouse and key handlers of the
// window base apply, scroll bars report through EvVScroll / EvHScroll (and
// WM_VSCROLL / WM_HSCROLL posted to the window arrive there too), and
// rectangles can carry tooltips.
#pragma once

#include "platform/gui/window_users.h"

#include <string>
#include <vector>

#include "platform/gui/controls.h"

namespace gui {

// Scroll codes.
constexpr int SB_LINEUP = 0;
constexpr int SB_LINELEFT = 0;
constexpr int SB_LINEDOWN = 1;
constexpr int SB_LINERIGHT = 1;
constexpr int SB_PAGEUP = 2;
constexpr int SB_PAGELEFT = 2;
constexpr int SB_PAGEDOWN = 3;
constexpr int SB_PAGERIGHT = 3;
constexpr int SB_THUMBPOSITION = 4;
constexpr int SB_THUMBTRACK = 5;
constexpr int SB_TOP = 6;
constexpr int SB_BOTTOM = 7;
constexpr int SB_ENDSCROLL = 8;

class CustomControl : public Control {
 public:
  CustomControl(Window* parent, int id, unsigned flags = ctl::TabStop);
  CustomControl(Window* parent, const ControlTemplate& item) : Control(parent, item) {}

  // Scroll bars shown with ctl::VScroll / ctl::HScroll.
  void SetScrollRange(bool vertical, int min, int max, int page = 1);
  void SetScrollPos(bool vertical, int pos);
  int GetScrollPos(bool vertical) const;

  // Tooltips over rectangles of the client area (rebuilt after each move).
  void ClearToolTips();
  void AddToolTip(const Box& rect, const std::string& cp1252);
  // Tooltip text at a point ("" when none).
  std::string ToolTipAt(Point p) const;

  std::intptr_t WindowProc(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) override;

 protected:
  QWidget* CreateWidget(QWidget* parent) override;
  virtual void EvVScroll(int code, int pos) {}
  virtual void EvHScroll(int code, int pos) {}

 private:
  friend class CustomWidget;
  struct Tip {
    Box rect;
    std::string text;
  };
  std::vector<Tip> tips_;
  int vMin_ = 0, vMax_ = 0, vPage_ = 1, vPos_ = 0;
  int hMin_ = 0, hMax_ = 0, hPage_ = 1, hPos_ = 0;
};

}  // namespace gui
