// What the entry controls (MEdit, check box, button, combo box, list box)
// share over their window-layer control: the key state read by F1, F4, F9,
// F12 and Enter, Tab moving to the next control of the parent, the focused
// flag following the focus, and the one-pixel frame drawn while focused
// when "SaisieEnRouge" is on.
#pragma once

#include <cstdint>
#include <utility>

#include "controls/control_env.h"
#include "platform/gui/constants.h"
#include "platform/gui/window.h"

// What the entry controls share for their keys.
struct EntryKeyState {
  long helpCopy = 0;        // CurrentHelpContext at construction
  long ownHelp = 0;         // set by the owner; wins over the copy
  bool onTemplate = false;  // built on a dialog template's control
  bool frameDrawn = false;
  bool focused = false;
  gui::Window* focusOnEnter = nullptr;
  gui::Window* notify = nullptr;
  int enterAction = 1;
};

// A one-pixel rectangle outline in `pen` over the control, corners included.
void DrawControlFrame(gui::Window& w, const gui::Pen& pen, int left, int top, int right, int bottom);

template <class Base>
class MEntryControl : public Base, public MTooltipEx {
 public:
  EntryKeyState& Keys() { return keys_; }
  bool IsFocused() const { return keys_.focused; }
  bool FrameDrawn() const { return keys_.frameDrawn; }
  // Takes the focus when enabled.
  void FocusIfEnabled() {
    if (!this->IsWindowEnabled()) return;
    this->SetFocus();
    keys_.focused = true;
  }

 protected:
  // `onTemplate`: built on a dialog template's control; `args` make Base.
  template <class... Args>
  MEntryControl(bool onTemplate, int enterAction, Args&&... args)
      : Base(std::forward<Args>(args)...), MTooltipEx(this) {
    keys_.helpCopy = HelpContext();
    keys_.onTemplate = onTemplate;
    keys_.enterAction = enterAction;
  }

  // The frame's pen: light red; controls that know their loaded value draw
  // light blue once it changed.
  virtual const gui::Pen& FramePen() const { return LightRedPen(); }
  // The frame's inset from the client area's edges (left, top, right, bottom).
  virtual gui::Box FrameInset() const { return {0, 0, 0, 0}; }

  void EvSetFocus(gui::Handle lost) override {
    keys_.focused = true;
    if (FrameFocusedControls()) this->Invalidate();
    Base::EvSetFocus(lost);
  }
  void EvKillFocus(gui::Handle gained) override {
    keys_.focused = false;
    if (FrameFocusedControls()) this->Invalidate();
    Base::EvKillFocus(gained);
  }
  void EvPaint() override {
    if (!keys_.focused || !FrameFocusedControls()) return;
    const gui::Rect r = this->GetClientRect();
    const gui::Box in = FrameInset();
    DrawControlFrame(*this, FramePen(), in.left, in.top, r.w - 1 - in.right, r.h - 1 - in.bottom);
    keys_.frameDrawn = true;
  }
  std::intptr_t EvMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) override {
    if (msg == gui::WM_KEYDOWN && wParam == static_cast<std::uintptr_t>(gui::VK_TAB)) {
      MoveFocusToNeighbour(this, false);
      return 0;
    }
    return Base::EvMessage(msg, wParam, lParam);
  }

  EntryKeyState keys_;
};
