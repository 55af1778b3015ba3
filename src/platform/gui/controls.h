// The standard controls: static text, push button, check box, radio button,
// group box. Each control is a window with a handle and an id; it tells its
// parent what happened through WM_COMMAND (low word the id, high word the
// notification code, lParam the control's handle), sent at once. Custom
// controls of the program derive from these classes, never from Qt.
#pragma once

#include "platform/gui/window_users.h"

#include <string>

#include "platform/gui/dc.h"
#include "platform/gui/dialog_template.h"
#include "platform/gui/window.h"

namespace gui {

// Notification codes (high word of the WM_COMMAND's first parameter).
constexpr unsigned BN_CLICKED = 0;
constexpr unsigned BN_SETFOCUS = 6;
constexpr unsigned BN_KILLFOCUS = 7;
constexpr unsigned EN_SETFOCUS = 0x0100;
constexpr unsigned EN_KILLFOCUS = 0x0200;
constexpr unsigned EN_CHANGE = 0x0300;
constexpr unsigned CBN_SELCHANGE = 1;
constexpr unsigned CBN_DBLCLK = 2;
constexpr unsigned CBN_SETFOCUS = 3;
constexpr unsigned CBN_KILLFOCUS = 4;
constexpr unsigned CBN_EDITCHANGE = 5;
constexpr unsigned LBN_SELCHANGE = 1;
constexpr unsigned LBN_DBLCLK = 2;
constexpr unsigned LBN_SETFOCUS = 4;
constexpr unsigned LBN_KILLFOCUS = 5;

// Check states.
constexpr int BST_UNCHECKED = 0;
constexpr int BST_CHECKED = 1;
constexpr int BST_INDETERMINATE = 2;

// Answers of the list and combo calls.
constexpr int LB_ERR = -1;
constexpr int CB_ERR = -1;

inline std::uintptr_t MakeCommandParam(int id, unsigned code) {
  return (static_cast<std::uintptr_t>(code & 0xFFFF) << 16) | static_cast<std::uintptr_t>(id & 0xFFFF);
}

class Control : public Window {
 public:
  // A control made by code: the owner places it (MoveWindow) and sets its
  // style flags (ctl::) before Create.
  Control(Window* parent, int id, const std::string& text = {}, unsigned flags = 0);
  // A control of a dialog template (the dialog places it).
  Control(Window* parent, const ControlTemplate& item);

  virtual std::string GetText() const;
  virtual void SetText(const std::string& cp1252);
  int GetTextLength() const { return static_cast<int>(GetText().size()); }

  unsigned Flags() const { return flags_; }
  void SetFlags(unsigned flags) { flags_ = flags; }
  bool FromTemplate() const { return fromTemplate_; }

  void SetFont(const Font& font);
  // The width in pixels that the control's text takes in its own font, its widest line: what a
  // caller compares with the control's width to tell whether the text shows whole.
  int TextWidth() const;
  void SetToolTip(const std::string& cp1252);
  std::string GetToolTip() const;

  // Takes the text, flags and place of its line in a dialog template (the
  // dialog calls it for the controls its class built on template ids).
  void BindTemplate(const ControlTemplate& item);

  // Runs the control's paint now (for tests and immediate updates).
  void PaintNow() { UpdateWindow(); }

 protected:
  // Sends the notification to the parent window.
  void Notify(unsigned code);
  void ApplyCommonStyle(QWidget* w);
  void EvSetFocus(Handle lost) override;
  void EvKillFocus(Handle gained) override;
  // Notification codes sent on focus changes (0xFFFF = none).
  virtual unsigned SetFocusCode() const { return 0xFFFF; }
  virtual unsigned KillFocusCode() const { return 0xFFFF; }

  // Called by the Qt side after the control has painted itself: EvPaint
  // draws over it (frames of the custom controls).
  friend class ControlPaintHook;
  void PaintOver() { EvPaint(); }

  std::string text_;
  unsigned flags_ = 0;
  bool fromTemplate_ = false;
  bool hasFont_ = false;
  Font font_;
  std::string tip_;
};

class Static : public Control {
 public:
  using Control::Control;
  std::string GetText() const override;
  void SetText(const std::string& cp1252) override;

 protected:
  QWidget* CreateWidget(QWidget* parent) override;
};

class Button : public Control {
 public:
  using Control::Control;
  // Presses the button as a click would (BN_CLICKED to the parent).
  void Click();
  bool IsDefault() const { return (flags_ & ctl::Default) != 0; }

 protected:
  QWidget* CreateWidget(QWidget* parent) override;
  unsigned SetFocusCode() const override { return BN_SETFOCUS; }
  unsigned KillFocusCode() const override { return BN_KILLFOCUS; }
};

class CheckBox : public Button {
 public:
  using Button::Button;
  int GetCheck() const;
  void SetCheck(int state);
  void Toggle();

 protected:
  QWidget* CreateWidget(QWidget* parent) override;
  int check_ = BST_UNCHECKED;
};

class RadioButton : public CheckBox {
 public:
  using CheckBox::CheckBox;

 protected:
  QWidget* CreateWidget(QWidget* parent) override;
};

class GroupBox : public Control {
 public:
  using Control::Control;

 protected:
  QWidget* CreateWidget(QWidget* parent) override;
};

}  // namespace gui
