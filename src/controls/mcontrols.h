// The custom controls beside MEdit: value displays (MStatic, MRStatic,
// MEStatic), check box, radio button, button, combo box, list boxes, the
// form-page window MWindow and the toolbar button gadgets. Each copies the
// help context for F1 and turns F1, F4, F9, F12, Enter and the Scroll Lock
// arrows into the same actions as MEdit, when the key is released; the entry
// controls share Tab, focus and the focus frame (MEntryControl).
#pragma once

#include <string>

#include "controls/control_env.h"
#include "controls/entry_control.h"
#include "platform/gui/combobox.h"
#include "platform/gui/controlbar.h"
#include "platform/gui/controls.h"
#include "platform/gui/listbox.h"
#include "platform/gui/window.h"
#include "resources/command_ids.h"

// F1, F4, F9 and F12 of an entry control; true when `vk` was one of them.
bool EntryFunctionKey(gui::Control& self, const EntryKeyState& k, int vk);
// Enter of the check box, combo and list: EnterAction above 3 posts that
// command to the notify window, 1 moves to the next control, 0 focuses
// the focus-on-Enter window (on a template) or the notify window.
void EntryEnter(gui::Control& self, const EntryKeyState& k);
// Left, Up, Right, Down with Scroll Lock on and a notify window: scroll
// messages to it. True when sent.
bool EntryScrollArrow(const EntryKeyState& k, int vk);

// ---- Value displays ----------------------------------------------------------

class MStatic : public gui::Static, public MTooltipEx {
 public:
  MStatic(gui::Window* parent, const std::string& text, int id);
  MStatic(OnTemplate, gui::Window* parent, int id);
  // The whole text.
  const std::string& GetValue();

 private:
  std::string value_;
};

// A value display with a raised frame (MEStatic: sunken).
class MRStatic : public MStatic {
 public:
  using MStatic::MStatic;
  // Draws the frame again; call after every SetText of a value.
  void DrawFrame();
  bool FrameDrawn() const { return frameDrawn_; }

 protected:
  void EvPaint() override;
  virtual bool Sunken() const { return false; }

 private:
  bool frameDrawn_ = false;
};

class MEStatic : public MRStatic {
 public:
  using MRStatic::MRStatic;

 protected:
  bool Sunken() const override { return true; }
};

// ---- Check box, radio button, button -----------------------------------------

class MCheckBox : public MEntryControl<gui::CheckBox> {
 public:
  MCheckBox(gui::Window* parent, int id, const std::string& text, int enterAction);
  MCheckBox(OnTemplate, gui::Window* parent, int id, int enterAction = 1);

  // Sets the state; with `remember` it becomes the loaded state too.
  void SetValue(bool checked, bool remember);
  bool IsModified() const { return remembered_ != 9 && GetCheck() != remembered_; }
  bool IsChecked() const { return GetCheck() == gui::BST_CHECKED; }
  int RememberedState() const { return remembered_; }
  gui::ColorRef FrameColor() const { return FramePen().color; }

 protected:
  void EvKeyUp(int vk, unsigned repeat, unsigned flags) override;
  const gui::Pen& FramePen() const override { return IsModified() ? LightBluePen() : LightRedPen(); }

 private:
  int remembered_ = 9;  // 9 until loaded
};

class MRadioButton : public gui::RadioButton, public MTooltipEx {
 public:
  MRadioButton(OnTemplate, gui::Window* parent, int id);
  EntryKeyState& Keys() { return keys_; }

 protected:
  void EvKeyUp(int vk, unsigned repeat, unsigned flags) override;

 private:
  EntryKeyState keys_;
};

class MButton : public MEntryControl<gui::Button> {
 public:
  MButton(gui::Window* parent, int id, const std::string& text);
  MButton(OnTemplate, gui::Window* parent, int id);
  void SetMoveOnEnter(bool on) { moveOnEnter_ = on; }

 protected:
  void EvKeyUp(int vk, unsigned repeat, unsigned flags) override;
  // Inside the button's own border.
  gui::Box FrameInset() const override { return {1, 1, 1, 0}; }

 private:
  bool moveOnEnter_ = false;
};

// ---- Combo box ---------------------------------------------------------------

class MComboBox : public MEntryControl<gui::ComboBox> {
 public:
  // A drop-down list holding at most `fieldWidth` characters of text.
  MComboBox(gui::Window* parent, int id, int fieldWidth, int enterAction);
  MComboBox(OnTemplate, gui::Window* parent, int id, int fieldWidth, int enterAction);

  // With `remember` the loaded value becomes `value` cut to the field
  // width; the first line beginning with the value is shown, else the
  // value itself.
  void SetValue(const std::string& value, bool remember);
  const std::string& GetValue();
  const std::string& GetValuePadded();
  bool IsModified() const;
  const std::string& LoadedValue() const { return loaded_; }
  int FieldWidth() const { return fieldWidth_; }
  void SetLeaveCommand(unsigned command, gui::Window* exempt1 = nullptr, gui::Window* exempt2 = nullptr,
                       gui::Window* exempt3 = nullptr);
  gui::ColorRef FrameColor() const { return FramePen().color; }

 protected:
  void EvKeyUp(int vk, unsigned repeat, unsigned flags) override;
  void EvChar(unsigned ch, unsigned repeat, unsigned flags) override;
  void EvKillFocus(gui::Handle gained) override;
  std::intptr_t EvMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) override;
  const gui::Pen& FramePen() const override { return IsModified() ? LightBluePen() : LightRedPen(); }

 private:
  int fieldWidth_;
  std::string loaded_;
  std::string work_;
  unsigned leaveCommand_ = 0;
  gui::Window* exempt_[3] = {nullptr, nullptr, nullptr};
};

// ---- List boxes --------------------------------------------------------------

class MListBox : public MEntryControl<gui::ListBox> {
 public:
  MListBox(gui::Window* parent, int id);
  MListBox(OnTemplate, gui::Window* parent, int id);

  // Commands posted to `notify` on a double click, a click and the space
  // bar (0 = none).
  void SetNotify(gui::Window* notify, unsigned dblClick, unsigned click, unsigned space);
  // Draws the selected line again (deleted and inserted at its place).
  void RefreshSelectedItem();
  // Ctrl+Insert / Ctrl+Shift+Insert: the selected line / every line,
  // trimmed, each followed by CR LF, to the clipboard. False (and a beep)
  // when there is nothing to copy.
  bool CopySelectedLine();
  bool CopyAllLines();

 protected:
  void EvKeyUp(int vk, unsigned repeat, unsigned flags) override;
  void EvChar(unsigned ch, unsigned repeat, unsigned flags) override;
  void EvItemClick(int index) override;
  void EvItemDoubleClick(int index) override;

 private:
  unsigned dblClickCommand_ = 0;
  unsigned clickCommand_ = 0;
  unsigned spaceCommand_ = 0;
};

// Owner-drawn list on control 1202 of its dialog: the derived class draws
// each whole line; the focused line gets a focus rectangle.
class MODAListBox : public MListBox {
 public:
  explicit MODAListBox(gui::Window* parent);
  void DrawItem(gui::DC& dc, int index, const gui::Box& rect, bool selected, bool focused) override;

 protected:
  // Draws one whole line. Default: its text on the selection colours.
  virtual void DrawEntireItem(gui::DC& dc, int index, const gui::Box& rect, bool selected);
};

// ---- Form page ---------------------------------------------------------------

// A child window holding the controls of a form page: the pattern brush
// behind them; every command and left click it receives goes on to its
// parent; F4 and Enter move the focus among its controls.
class MWindow : public gui::Window {
 public:
  explicit MWindow(gui::Window* parent);
  std::intptr_t WindowProc(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) override;

 protected:
  void EvPaint() override;
  void EvLButtonDown(unsigned modKeys, gui::Point p) override;
  std::intptr_t EvMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) override;
};

// ---- Toolbar gadgets ---------------------------------------------------------

// A command button of the toolbar.
class OButtonGadget : public gui::ButtonGadget {
 public:
  OButtonGadget(int bitmapId, unsigned commandId)
      : gui::ButtonGadget(bitmapId, commandId, Type::Command, true, State::Up) {}
};

// The two-state button of ChoixEtat.
class FButtonGadget : public gui::ButtonGadget {
 public:
  FButtonGadget(int bitmapId, State state)
      : gui::ButtonGadget(bitmapId, command_id::ChoixEtat, Type::NonExclusive, true, state) {}
};
