// MEdit: the entry field of every form and dialog. It knows the kind of
// value it holds, filters typed characters by that kind, remembers the
// value it was loaded with (IsModified compares against it), and turns the
// function keys, Enter, the Page keys and the arrows into commands posted
// to its owner when they are released.
#pragma once

#include <string>

#include "controls/control_env.h"
#include "controls/entry_control.h"
#include "platform/gui/edit.h"

class MRStatic;
class MListBox;

class MEdit : public MEntryControl<gui::Edit> {
 public:
  // InputKind values.
  static constexpr int kText = 1;
  static constexpr int kSigned = 2;
  static constexpr int kUnsigned = 3;
  static constexpr int kAmount = 4;
  static constexpr int kDate = 5;  // DD/MM/YY
  // At this field width and above the text is a whole memo: it is loaded
  // uncut and compared untrimmed.
  static constexpr int kMemoWidth = 1999;

  // An edit made by code; the owner places it.
  MEdit(gui::Window* parent, int id, int fieldWidth, int enterAction, int inputKind, int decimals,
        bool multiLine);
  // The edit of a dialog template's control `id`.
  MEdit(OnTemplate, gui::Window* parent, int id, int fieldWidth, int enterAction, bool fullField, int inputKind,
        int decimals);
  ~MEdit() override;

  // ---- Values ----
  // Shows `text` cut to the field width; with `remember` it also becomes
  // the loaded value.
  void SetValue(const std::string& text, bool remember);
  const std::string& GetValue();
  double GetValueNum();
  // Padded to the field width: right-aligned for the numeric kinds 2 and
  // 3, left-aligned otherwise; `upper` upper-cases the first character.
  const std::string& GetValueFormatted(bool upper);
  const std::string& GetValueZeroPadded();
  const std::string& LoadedValue() const { return loaded_; }
  bool IsModified() const;
  // Takes the focus when enabled; selects the whole text when `select`
  // and the option "SelectSaisies" is on, else puts the caret at the end.
  void FocusSelect(bool select);

  // ---- Wiring by the owner ----
  int InputKind() const { return inputKind_; }
  int FieldWidth() const { return fieldWidth_; }
  int Decimals() const { return decimals_; }
  int EnterAction() const { return keys_.enterAction; }
  void SetEnterAction(int action) { keys_.enterAction = action; }
  bool OnDialogTemplate() const { return keys_.onTemplate; }
  void SetLineBreak(bool on) { lineBreak_ = on; }
  void SetFocusOnEnter(gui::Window* w) { keys_.focusOnEnter = w; }
  void SetNotifyWindow(gui::Window* w) { keys_.notify = w; }
  gui::Window* NotifyWindow() const { return keys_.notify; }
  void SetF8Command(unsigned id) { f8Command_ = id; }
  // Page Up, Page Down, Ctrl+Page Up, Ctrl+Page Down, Up, Down (0 = none).
  void SetKeyCommands(unsigned pageUp, unsigned pageDown, unsigned ctrlPageUp, unsigned ctrlPageDown,
                      unsigned up, unsigned down);
  // Leaving the field for a sibling other than these posts `command` to
  // the parent.
  void SetLeaveCommand(unsigned command, gui::Window* exempt1 = nullptr, gui::Window* exempt2 = nullptr,
                       gui::Window* exempt3 = nullptr);
  void SetAllowedChars(const std::string& chars) { allowed_ = chars.substr(0, 512); }
  void SetFullField(bool on) { fullField_ = on; }
  void SetClearOnFirstKey(bool on) { clearOnFirstKey_ = on; }
  void SetNoTrim(bool on) { noTrim_ = on; }
  void SetHelpContext(long context) { keys_.ownHelp = context; }
  long HelpContextCopy() const { return keys_.helpCopy; }
  // Caret displays of the record-text and template editors.
  void LinkCaretStatics(MRStatic* line, MRStatic* column, MRStatic* position) {
    lineStatic_ = line;
    columnStatic_ = column;
    positionStatic_ = position;
  }
  void LinkList(MListBox* list, bool noBracketSearch) {
    linkedList_ = list;
    noBracketSearch_ = noBracketSearch;
  }

  // Set by the code-stepping of the forms; every change by the user
  // clears it.
  bool StepFlag = false;

  // The pen colour of the focus frame now: light blue when the value
  // differs from the loaded one, light red otherwise.
  gui::ColorRef FrameColor() const;

  void UpdateCaretInfo();
  // Draws the focus frame (only when "SaisieEnRouge" is on).
  void PaintFrame();

 protected:
  void SetupWindow() override;
  void EvKeyDown(int vk, unsigned repeat, unsigned flags) override;
  void EvKeyUp(int vk, unsigned repeat, unsigned flags) override;
  void EvChar(unsigned ch, unsigned repeat, unsigned flags) override;
  void EvSetFocus(gui::Handle lost) override;
  void EvKillFocus(gui::Handle gained) override;
  void EvLButtonDown(unsigned modKeys, gui::Point p) override;
  std::intptr_t EvMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) override;
  const gui::Pen& FramePen() const override { return IsModified() ? LightBluePen() : LightRedPen(); }

 private:
  void Init(int fieldWidth, int inputKind, int decimals);
  void OnEnter();
  void DateChar(unsigned ch, int selStart);
  void StepDate(bool up);
  void RunCalculator();
  void CheckLeave();

  bool lineBreak_ = false;
  unsigned f8Command_ = 0;
  unsigned keyCommands_[6] = {0, 0, 0, 0, 0, 0};
  gui::Window* exempt_[3] = {nullptr, nullptr, nullptr};
  unsigned leaveCommand_ = 0;
  std::string allowed_;
  std::string loaded_;
  std::string work_;
  int decimals_ = 0;
  int inputKind_ = kText;
  int fieldWidth_ = 0;
  bool fullField_ = true;
  bool clearOnFirstKey_ = false;
  bool noTrim_ = false;
  MRStatic* lineStatic_ = nullptr;
  MRStatic* columnStatic_ = nullptr;
  MRStatic* positionStatic_ = nullptr;
  MListBox* linkedList_ = nullptr;
  bool noBracketSearch_ = false;
};

// The edit the calculator opened on (cleared when that edit is destroyed).
extern MEdit* CalculatorEdit;
