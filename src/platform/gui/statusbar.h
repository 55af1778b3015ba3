// Status bars: a text field and, optionally, the key-state indicators
// (Caps Lock, Num Lock, Scroll Lock, overtype), refreshed at idle.
#pragma once

#include "platform/gui/window_users.h"

#include <string>

#include "platform/gui/window.h"

namespace gui {

class StatusBar : public Window {
 public:
  enum class Border { Recessed, Embossed };
  enum Mode : unsigned { CapsLock = 1, NumLock = 2, ScrollLock = 4, Overtype = 8 };

  // Placed at the bottom of `frame`, under the bars inserted before it.
  StatusBar(Window* frame, Border border = Border::Recessed, unsigned modes = 0);

  void SetText(const std::string& cp1252);
  std::string GetText() const;
  // A command's hint shown over the text while the pointer is on the
  // command; ClearHint shows the text again (GetText keeps the text).
  void ShowHint(const std::string& cp1252);
  void ClearHint();
  // What the field shows now: the hint while one is shown, else the text.
  std::string ShownText() const;
  // The indicator texts as shown now ("" while the key state is off).
  std::string IndicatorText(Mode mode) const;
  void UpdateIndicators();

 protected:
  QWidget* CreateWidget(QWidget* parentWidget) override;
  void SetupWindow() override;

 private:
  Border border_;
  unsigned modes_;
  std::string text_;
  std::string hint_;
  bool hintShown_ = false;
};

}  // namespace gui
