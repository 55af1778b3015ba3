#include "controls/mcontrols.h"

#include <algorithm>

#include "platform/gui/application.h"
#include "platform/gui/clipboard.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/cursor.h"
#include "platform/gui/custom_control.h"
#include "platform/gui/dc.h"
#include "platform/gui/keyboard.h"
#include "resources/string_table.h"
#include "runtime/text.h"

namespace {

gui::ControlTemplate TemplateItem(gui::ControlKind kind, int id) {
  gui::ControlTemplate t;
  t.kind = kind;
  t.id = id;
  return t;
}

// Private message: after the combo lost the focus, see who took it.
constexpr unsigned kCheckLeave = gui::WM_USER + 0x7E01;

// The line end of copied lines, and the cursors of a long copy (one id each, in turn), by their ids
// in the string table.
constexpr int kLineEnd = 54;
constexpr int kBusyFrameFirst = 518;
constexpr int kBusyFrameCount = 8;

}  // namespace

// ---- Shared keys -------------------------------------------------------------

bool EntryFunctionKey(gui::Control& self, const EntryKeyState& k, int vk) {
  switch (vk) {
    case gui::VK_F1:
      if (ControlEnv().showHelp) ControlEnv().showHelp(k.ownHelp != 0 ? k.ownHelp : k.helpCopy);
      return true;
    case gui::VK_F4:
      PostNextControl(&self, true);
      return true;
    case gui::VK_F9:
      PostCommandTo(self.Parent(), k.onTemplate ? static_cast<unsigned>(gui::IDCANCEL) : CM_QUITTER_FORM);
      return true;
    case gui::VK_F12:
      PostCommandTo(self.Parent(), k.onTemplate ? static_cast<unsigned>(gui::IDOK) : CM_ENREGISTRER);
      return true;
    default:
      return false;
  }
}

void EntryEnter(gui::Control& self, const EntryKeyState& k) {
  if (k.enterAction > 3) {
    if (k.notify != nullptr) PostCommandTo(k.notify, static_cast<unsigned>(k.enterAction));
  } else if (k.enterAction == 1) {
    if (self.IsCreated()) gui::PostMessage(self.GetHandle(), gui::WM_KEYDOWN, gui::VK_TAB, 0);
  } else if (k.enterAction == 0) {
    gui::Window* target = k.onTemplate && k.focusOnEnter != nullptr ? k.focusOnEnter : k.notify;
    if (target != nullptr && target->IsCreated()) target->SetFocus();
  }
}

bool EntryScrollArrow(const EntryKeyState& k, int vk) {
  if (k.notify == nullptr || !k.notify->IsCreated() || !gui::IsScrollLockOn()) return false;
  const gui::Handle h = k.notify->GetHandle();
  switch (vk) {
    case gui::VK_LEFT: return gui::PostMessage(h, gui::WM_HSCROLL, gui::SB_LINELEFT, 0);
    case gui::VK_UP: return gui::PostMessage(h, gui::WM_VSCROLL, gui::SB_LINEUP, 0);
    case gui::VK_RIGHT: return gui::PostMessage(h, gui::WM_HSCROLL, gui::SB_LINERIGHT, 0);
    case gui::VK_DOWN: return gui::PostMessage(h, gui::WM_VSCROLL, gui::SB_LINEDOWN, 0);
    default: return false;
  }
}

// ---- Value displays ----------------------------------------------------------

MStatic::MStatic(gui::Window* parent, const std::string& text, int id)
    : gui::Static(parent, id, text), MTooltipEx(this) {}

MStatic::MStatic(OnTemplate, gui::Window* parent, int id)
    : gui::Static(parent, TemplateItem(gui::ControlKind::Static, id)), MTooltipEx(this) {}

const std::string& MStatic::GetValue() {
  value_ = GetText();
  return value_;
}

void MRStatic::DrawFrame() {
  frameDrawn_ = true;
  Invalidate();
}

void MRStatic::EvPaint() {
  const gui::Rect r = GetClientRect();
  gui::WindowDC dc(*this);
  if (!dc.IsValid()) return;
  const int w = r.w, h = r.h;
  // Raised: white top and left, gray right and bottom (sunken: exchanged).
  dc.SelectPen(Sunken() ? GrayPen() : WhitePen());
  dc.MoveTo(0, h - 1);
  dc.LineTo(0, 0);
  dc.LineTo(w - 1, 0);
  dc.SelectPen(Sunken() ? WhitePen() : GrayPen());
  dc.MoveTo(w - 1, 1);
  dc.LineTo(w - 1, h - 1);
  dc.LineTo(0, h - 1);
  frameDrawn_ = true;
}

// ---- Check box ---------------------------------------------------------------

MCheckBox::MCheckBox(gui::Window* parent, int id, const std::string& text, int enterAction)
    : MEntryControl(false, enterAction, parent, id, text, gui::ctl::TabStop | gui::ctl::AutoCheck) {}

MCheckBox::MCheckBox(OnTemplate, gui::Window* parent, int id, int enterAction)
    : MEntryControl(true, enterAction, parent, TemplateItem(gui::ControlKind::CheckBox, id)) {}

void MCheckBox::SetValue(bool checked, bool remember) {
  const int state = checked ? gui::BST_CHECKED : gui::BST_UNCHECKED;
  if (remember) remembered_ = state;
  SetCheck(state);
}

void MCheckBox::EvKeyUp(int vk, unsigned repeat, unsigned flags) {
  if (EntryFunctionKey(*this, keys_, vk)) return;
  if (vk == gui::VK_RETURN) {
    EntryEnter(*this, keys_);
    return;
  }
  if (vk == gui::VK_OEM_7) {  // '²': the loaded state back
    if (remembered_ != 9) SetCheck(remembered_);
    if (keys_.focused && FrameFocusedControls()) Invalidate();
    return;
  }
  if (EntryScrollArrow(keys_, vk)) return;
  DefaultProcessing();
}

// ---- Radio button ------------------------------------------------------------

MRadioButton::MRadioButton(OnTemplate, gui::Window* parent, int id)
    : gui::RadioButton(parent, TemplateItem(gui::ControlKind::RadioButton, id)), MTooltipEx(this) {
  keys_.helpCopy = HelpContext();
  keys_.onTemplate = true;
}

void MRadioButton::EvKeyUp(int vk, unsigned repeat, unsigned flags) {
  if (EntryFunctionKey(*this, keys_, vk)) return;
  DefaultProcessing();
}

// ---- Button ------------------------------------------------------------------

MButton::MButton(gui::Window* parent, int id, const std::string& text)
    : MEntryControl(false, 1, parent, id, text, gui::ctl::TabStop) {}

MButton::MButton(OnTemplate, gui::Window* parent, int id)
    : MEntryControl(true, 1, parent, TemplateItem(gui::ControlKind::Button, id)) {}

void MButton::EvKeyUp(int vk, unsigned repeat, unsigned flags) {
  if (EntryFunctionKey(*this, keys_, vk)) return;
  if (vk == gui::VK_RETURN) {
    if (moveOnEnter_) {
      if (IsCreated()) gui::PostMessage(GetHandle(), gui::WM_KEYDOWN, gui::VK_TAB, 0);
    } else if (keys_.onTemplate) {
      // Enter presses the focused button (never the default one).
      PostCommandTo(Parent(), static_cast<unsigned>(GetId()));
    } else if (keys_.notify != nullptr && keys_.notify->IsCreated()) {
      keys_.notify->SetFocus();
    }
    return;
  }
  if (EntryScrollArrow(keys_, vk)) return;
  DefaultProcessing();
}

// ---- Combo box ---------------------------------------------------------------

MComboBox::MComboBox(gui::Window* parent, int id, int fieldWidth, int enterAction)
    : MEntryControl(false, enterAction, parent, id, std::max(0, fieldWidth), true),
      fieldWidth_(std::max(0, fieldWidth)) {}

MComboBox::MComboBox(OnTemplate, gui::Window* parent, int id, int fieldWidth, int enterAction)
    : MEntryControl(true, enterAction, parent, TemplateItem(gui::ControlKind::ComboBox, id)),
      fieldWidth_(std::max(0, fieldWidth)) {
  SetTextLimit(fieldWidth_);
}

void MComboBox::SetValue(const std::string& value, bool remember) {
  const std::string cut = value.substr(0, static_cast<std::size_t>(fieldWidth_));
  if (remember) loaded_ = cut;
  for (int i = 0; i < GetCount(); ++i) {
    const std::string line = GetString(i);
    if (line.compare(0, value.size(), value) == 0) {
      SetSelIndex(i);
      return;
    }
  }
  SetText(cut);
}

const std::string& MComboBox::GetValue() {
  work_ = GetText();
  return work_;
}

const std::string& MComboBox::GetValuePadded() {
  work_ = GetText();
  if (work_.size() < static_cast<std::size_t>(fieldWidth_)) work_.append(fieldWidth_ - work_.size(), ' ');
  return work_;
}

bool MComboBox::IsModified() const { return GetText() != loaded_; }

void MComboBox::SetLeaveCommand(unsigned command, gui::Window* e1, gui::Window* e2, gui::Window* e3) {
  leaveCommand_ = command;
  exempt_[0] = e1;
  exempt_[1] = e2;
  exempt_[2] = e3;
}

void MComboBox::EvKeyUp(int vk, unsigned repeat, unsigned flags) {
  if (EntryFunctionKey(*this, keys_, vk)) return;
  if (vk == gui::VK_RETURN) {
    EntryEnter(*this, keys_);
    return;
  }
  if (EntryScrollArrow(keys_, vk)) return;
  DefaultProcessing();
}

void MComboBox::EvChar(unsigned ch, unsigned repeat, unsigned flags) {
  if (ch != 178) {
    DefaultProcessing();
    return;
  }
  SetValue(loaded_, false);
  if (Parent() != nullptr && Parent()->IsCreated() && IsCreated())
    gui::PostMessage(Parent()->GetHandle(), gui::WM_COMMAND, static_cast<std::uintptr_t>(GetId()),
                     static_cast<std::intptr_t>((1u << 16) | (GetHandle() & 0xFFFFu)));
}

void MComboBox::EvKillFocus(gui::Handle gained) {
  if (leaveCommand_ != 0 && IsCreated()) gui::PostMessage(GetHandle(), kCheckLeave, 0, 0);
  MEntryControl::EvKillFocus(gained);
}

std::intptr_t MComboBox::EvMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
  if (msg == kCheckLeave) {
    gui::Window* parent = Parent();
    if (parent == nullptr || keys_.focused) return 0;
    for (gui::Window* w : parent->Children()) {
      if (w == this || !w->HasFocus()) continue;
      if (w != exempt_[0] && w != exempt_[1] && w != exempt_[2]) PostCommandTo(parent, leaveCommand_);
      break;
    }
    return 0;
  }
  return MEntryControl::EvMessage(msg, wParam, lParam);
}

// ---- List box ----------------------------------------------------------------

MListBox::MListBox(gui::Window* parent, int id)
    : MEntryControl(false, 1, parent, id, gui::ctl::TabStop | gui::ctl::VScroll | gui::ctl::UseTabStops) {}

MListBox::MListBox(OnTemplate, gui::Window* parent, int id)
    : MEntryControl(true, 1, parent, TemplateItem(gui::ControlKind::ListBox, id)) {
  SetFlags(Flags() | gui::ctl::UseTabStops);
}

void MListBox::SetNotify(gui::Window* notify, unsigned dblClick, unsigned click, unsigned space) {
  keys_.notify = notify;
  dblClickCommand_ = dblClick;
  clickCommand_ = click;
  spaceCommand_ = space;
}

void MListBox::RefreshSelectedItem() {
  const int i = GetSelIndex();
  if (i < 0) return;
  const std::string text = GetString(i);
  const std::uintptr_t data = GetItemData(i);
  DeleteString(i);
  InsertString(text, i);
  SetItemData(i, data);
  SetSelIndex(i);
}

bool MListBox::CopySelectedLine() {
  const int i = GetSelIndex();
  const std::string text = i >= 0 ? Trimmed(GetString(i)) : std::string();
  if (i < 0 || GetCount() == 0) {
    gui::MessageBeep(0);
    return false;
  }
  gui::SetClipboardText(text + LoadStr(kLineEnd));
  return true;
}

bool MListBox::CopyAllLines() {
  std::string all;
  std::vector<std::string> frames;
  for (int k = 0; k < kBusyFrameCount; ++k) frames.emplace_back(LoadStr(kBusyFrameFirst + k));
  gui::AnimatedCursor cursor(frames);
  for (int i = 0; i < GetCount(); ++i) {
    all += Trimmed(GetString(i));
    all += LoadStr(kLineEnd);
    if (i % 64 == 0) cursor.Step();
  }
  gui::SetArrowCursor();
  if (GetCount() == 0 || all.empty()) {
    gui::MessageBeep(0);
    return false;
  }
  gui::SetClipboardText(all);
  return true;
}

void MListBox::EvKeyUp(int vk, unsigned repeat, unsigned flags) {
  if (EntryFunctionKey(*this, keys_, vk)) return;
  if (vk == gui::VK_RETURN) {
    EntryEnter(*this, keys_);
    return;
  }
  if (vk == gui::VK_INSERT && CtrlDown()) {
    if (ShiftDown()) CopyAllLines();
    else CopySelectedLine();
    return;
  }
  DefaultProcessing();
}

void MListBox::EvChar(unsigned ch, unsigned repeat, unsigned flags) {
  DefaultProcessing();
  if (ch == ' ' && keys_.notify != nullptr && spaceCommand_ != 0) PostCommandTo(keys_.notify, spaceCommand_);
}

void MListBox::EvItemClick(int index) {
  gui::ListBox::EvItemClick(index);
  if (keys_.notify != nullptr && clickCommand_ != 0) PostCommandTo(keys_.notify, clickCommand_);
}

void MListBox::EvItemDoubleClick(int index) {
  gui::ListBox::EvItemDoubleClick(index);
  if (keys_.notify != nullptr && dblClickCommand_ != 0) PostCommandTo(keys_.notify, dblClickCommand_);
}

MODAListBox::MODAListBox(gui::Window* parent) : MListBox(kOnTemplate, parent, 1202) {
  SetFlags((Flags() | gui::ctl::OwnerDraw) & ~gui::ctl::Border);
}

void MODAListBox::DrawItem(gui::DC& dc, int index, const gui::Box& rect, bool selected, bool focused) {
  DrawEntireItem(dc, index, rect, selected);
  if (focused) dc.DrawFocusRect(rect);
}

void MODAListBox::DrawEntireItem(gui::DC& dc, int index, const gui::Box& rect, bool selected) {
  gui::ListBox::DrawItem(dc, index, rect, selected, false);
}

// ---- Form page ---------------------------------------------------------------

MWindow::MWindow(gui::Window* parent) : gui::Window(parent) {}

std::intptr_t MWindow::WindowProc(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
  if (msg == gui::WM_COMMAND) {
    // The form behind the page handles every command of its controls.
    if (Parent() != nullptr && Parent()->IsCreated())
      gui::PostMessage(Parent()->GetHandle(), gui::WM_COMMAND, wParam, lParam);
    return 0;
  }

  return gui::Window::WindowProc(msg, wParam, lParam);
}

void MWindow::EvLButtonDown(unsigned modKeys, gui::Point p) {
  // A click on the page is the form's, at the same place.
  if (Parent() != nullptr && Parent()->IsCreated())
    gui::PostMessage(Parent()->GetHandle(), gui::WM_LBUTTONDOWN, modKeys,
                     static_cast<std::intptr_t>((p.x & 0xFFFF) | ((p.y & 0xFFFF) << 16)));
  DefaultProcessing();
}

std::intptr_t MWindow::EvMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
  if (msg == gui::WM_NEXTDLGCTL) {
    MoveFocusFromFocusedChild(this, wParam != 0);
    return 0;
  }
  return gui::Window::EvMessage(msg, wParam, lParam);
}

void MWindow::EvPaint() {
  const gui::Rect r = GetClientRect();
  gui::WindowDC dc(*this);
  if (!dc.IsValid()) return;
  const gui::Brush* brush = ControlEnv().patternBrush;
  if (brush != nullptr) dc.FillRect(gui::Box::From(r), *brush);
  else dc.FillSolidRect(gui::Box::From(r), gui::GetSysColor(gui::SysColor::BtnFace));
}
