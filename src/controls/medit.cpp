#include "controls/medit.h"

#include <algorithm>
#include <cstring>

#include "controls/mcontrols.h"
#include "platform/gui/application.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/custom_control.h"
#include "platform/gui/dc.h"
#include "platform/gui/keyboard.h"
#include "resources/string_table.h"
#include "runtime/dates.h"
#include "runtime/dossier_record.h"
#include "runtime/numbers.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

MEdit* CalculatorEdit = nullptr;

namespace {

// The texts shown here, by their ids in the string table.
constexpr int kPositionSeparator = 1005;

// Private message: after the focus left, see who took it.
constexpr unsigned kCheckLeave = gui::WM_USER + 0x7E01;

bool IsDigit(unsigned ch) { return ch >= '0' && ch <= '9'; }

// Day, month and two-digit year of a DD/MM/YY text (no check of the day).
bool SplitDisplayDate(const std::string& t, int& d, int& m, int& yy) {
  if (t.size() != 8 || t[2] != '/' || t[5] != '/') return false;
  for (int i : {0, 1, 3, 4, 6, 7})
    if (!IsDigit(static_cast<unsigned char>(t[static_cast<std::size_t>(i)]))) return false;
  d = (t[0] - '0') * 10 + (t[1] - '0');
  m = (t[3] - '0') * 10 + (t[4] - '0');
  yy = (t[6] - '0') * 10 + (t[7] - '0');
  return true;
}

std::string Dmy(int d, int m, int yy) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%02d/%02d/%02d", d % 100, m % 100, yy % 100);
  return buf;
}

}  // namespace

MEdit::MEdit(gui::Window* parent, int id, int fieldWidth, int enterAction, int inputKind, int decimals,
             bool multiLine)
    : MEntryControl(false, enterAction, parent, id, "", 0, multiLine) {
  Init(fieldWidth, inputKind, decimals);
}

MEdit::MEdit(OnTemplate, gui::Window* parent, int id, int fieldWidth, int enterAction, bool fullField, int inputKind,
             int decimals)
    : MEntryControl(true, enterAction, parent, gui::ControlTemplate{gui::ControlKind::Edit, id, {}, 0, 0, 0, 0, 0}) {
  Init(fieldWidth, inputKind, decimals);
  fullField_ = fullField;
}

void MEdit::Init(int fieldWidth, int inputKind, int decimals) {
  fieldWidth_ = std::max(0, fieldWidth);
  inputKind_ = inputKind;
  decimals_ = decimals;
  // A memo-sized field takes its whole text; others hold the field width.
  SetTextLimit(fieldWidth_ >= kMemoWidth ? 0 : fieldWidth_);
}

MEdit::~MEdit() {
  if (CalculatorEdit == this) CalculatorEdit = nullptr;
}

void MEdit::SetupWindow() {
  gui::Edit::SetupWindow();
  UpdateCaretInfo();
}

// ---- Values ----------------------------------------------------------------

void MEdit::SetValue(const std::string& text, bool remember) {
  const std::string cut = text.substr(0, static_cast<std::size_t>(fieldWidth_));
  if (remember) {
    loaded_ = cut;
    ClearModify();
  }
  SetText(fieldWidth_ >= kMemoWidth ? text : cut);
  work_ = GetText();
}

const std::string& MEdit::GetValue() {
  work_ = GetText();
  return work_;
}

double MEdit::GetValueNum() { return Val(GetValue().c_str()); }

const std::string& MEdit::GetValueFormatted(bool upper) {
  std::string t = GetText();
  const std::size_t w = static_cast<std::size_t>(fieldWidth_);
  if (t.size() < w) {
    if (inputKind_ == kSigned || inputKind_ == kUnsigned) t.insert(0, w - t.size(), ' ');
    else t.append(w - t.size(), ' ');
  }
  if (upper && !t.empty()) t[0] = Upper(t.substr(0, 1).c_str())[0];
  work_ = t;
  return work_;
}

const std::string& MEdit::GetValueZeroPadded() {
  work_ = GetText();
  if (work_.size() < static_cast<std::size_t>(fieldWidth_)) work_.append(fieldWidth_ - work_.size(), '0');
  return work_;
}

bool MEdit::IsModified() const {
  if (fieldWidth_ >= kMemoWidth || noTrim_) return GetText() != loaded_;
  // Trailing blanks never count as a change, on either side.
  return TrimmedRight(GetText()) != TrimmedRight(loaded_);
}

void MEdit::FocusSelect(bool select) {
  if (!IsWindowEnabled()) return;
  SetFocus();
  if (select && SelectWholeTextOnFocus()) SetSelection(0, -1);
  else {
    const int len = GetTextLength();
    SetSelection(len, len);
  }
  keys_.focused = true;
}

void MEdit::SetKeyCommands(unsigned pageUp, unsigned pageDown, unsigned ctrlPageUp, unsigned ctrlPageDown,
                           unsigned up, unsigned down) {
  const unsigned ids[6] = {pageUp, pageDown, ctrlPageUp, ctrlPageDown, up, down};
  std::copy(ids, ids + 6, keyCommands_);
}

void MEdit::SetLeaveCommand(unsigned command, gui::Window* e1, gui::Window* e2, gui::Window* e3) {
  leaveCommand_ = command;
  exempt_[0] = e1;
  exempt_[1] = e2;
  exempt_[2] = e3;
}

gui::ColorRef MEdit::FrameColor() const { return FramePen().color; }

// ---- Keys ------------------------------------------------------------------

void MEdit::EvKeyDown(int vk, unsigned repeat, unsigned flags) {
  // Enter acts when released; Ctrl+Del is done on release as well.
  if (vk == gui::VK_RETURN) return;
  if (vk == gui::VK_DELETE && CtrlDown()) return;
  // The date kind is typed over its eight places; Delete would shift them.
  if (vk == gui::VK_DELETE && inputKind_ == kDate) return;
  DefaultProcessing();
}

void MEdit::EvKeyUp(int vk, unsigned repeat, unsigned flags) {
  UpdateCaretInfo();
  const bool ctrl = CtrlDown();
  gui::Window* parent = Parent();

  if (vk == gui::VK_DELETE && ctrl) {
    int s = 0, e = 0;
    GetSelection(s, e);
    SetText(GetText().substr(0, static_cast<std::size_t>(s)));
    SetSelection(s, s);
    StepFlag = false;
    return;
  }
  switch (vk) {
    case gui::VK_F1:
      if (ControlEnv().showHelp) ControlEnv().showHelp(keys_.ownHelp != 0 ? keys_.ownHelp : keys_.helpCopy);
      return;
    case gui::VK_F4:
      PostNextControl(this, true);
      return;
    case gui::VK_F9:
      PostCommandTo(parent, keys_.onTemplate ? static_cast<unsigned>(gui::IDCANCEL) : CM_QUITTER_FORM);
      return;
    case gui::VK_F12:
      PostCommandTo(parent, keys_.onTemplate ? static_cast<unsigned>(gui::IDOK) : CM_ENREGISTRER);
      return;
    case gui::VK_F2:
      PostCommandTo(parent, CM_WORD_SEARCH);
      return;
    case gui::VK_F3:
      PostCommandTo(parent, CM_WORD_SEARCH_NEXT);
      return;
    case gui::VK_F8:
      if (f8Command_ != 0) PostCommandTo(parent, f8Command_);
      else RunCalculator();
      return;
    case gui::VK_RETURN:
      OnEnter();
      return;
    default:
      break;
  }
  if ((vk == gui::VK_PRIOR || vk == gui::VK_NEXT) && inputKind_ == kDate) {
    StepDate(vk == gui::VK_PRIOR);
    return;
  }
  if (keys_.notify != nullptr) {
    unsigned cmd = 0;
    if (vk == gui::VK_PRIOR) cmd = ctrl && keyCommands_[2] != 0 ? keyCommands_[2] : keyCommands_[0];
    else if (vk == gui::VK_NEXT) cmd = ctrl && keyCommands_[3] != 0 ? keyCommands_[3] : keyCommands_[1];
    else if (vk == gui::VK_UP) cmd = keyCommands_[4];
    else if (vk == gui::VK_DOWN) cmd = keyCommands_[5];
    if (vk == gui::VK_PRIOR || vk == gui::VK_NEXT || cmd != 0) {
      if (cmd != 0) PostCommandTo(keys_.notify, cmd);
      return;
    }
  }
  if (vk == gui::VK_PRIOR || vk == gui::VK_NEXT) return;
  if (EntryScrollArrow(keys_, vk)) return;
  DefaultProcessing();
  StepFlag = false;
}

void MEdit::OnEnter() {
  const std::string text = GetText();
  if (lineBreak_) {
    int s = 0, e = 0;
    GetSelection(s, e);
    SetSelection(e, e);
    ReplaceSelection("\r\n");
    return;
  }
  if (inputKind_ == kDate && !IsBlank(text) && !IsValidDate(text.c_str())) {
    gui::MessageBeep(0);
    return;
  }
  if (keys_.enterAction > 3) {
    if (keys_.notify != nullptr) PostCommandTo(keys_.notify, static_cast<unsigned>(keys_.enterAction));
    return;
  }
  if (keys_.enterAction == 1 || keys_.enterAction == 3 || (keys_.enterAction == 2 && !IsBlank(text))) {
    if (IsCreated()) gui::PostMessage(GetHandle(), gui::WM_KEYDOWN, gui::VK_TAB, 0);
    return;
  }
  if (keys_.enterAction == 0) {
    gui::Window* target = keys_.onTemplate && keys_.focusOnEnter != nullptr ? keys_.focusOnEnter : keys_.notify;
    if (target != nullptr && target->IsCreated()) target->SetFocus();
  }
}

void MEdit::RunCalculator() {
  std::string result;
  const bool ok = ControlEnv().runCalculator && ControlEnv().runCalculator(*this, result);
  if (ok && (inputKind_ == kSigned || inputKind_ == kUnsigned || inputKind_ == kAmount)) SetValue(result, false);
  if (Parent() != nullptr) Parent()->BringToTop();
}

// Page Up / Page Down on a date: the previous / next day, Shift a month,
// Ctrl the first / last day of the financial year; a result outside the
// year lands on its first (Page Up) or last (Page Down) day.
void MEdit::StepDate(bool up) {
  const std::string text = Trimmed(GetText());
  Ymd first, last;
  const bool hasYear = TheDossierRecord.DateYmd(DossierRecord::DateField::YearStart, first) &&
                       TheDossierRecord.DateYmd(DossierRecord::DateField::YearEnd, last);
  std::string result;
  if (CtrlDown()) {
    if (!hasYear) return;
    result = DisplayDateOf(up ? first : last);
  } else {
    Ymd day;
    if (!text.empty() && !ParseDisplayDate(text, day)) {
      gui::MessageBeep(0);
      return;
    }
    if (text.empty()) {
      // Nothing to step from: the year's bound is the only sensible answer.
      if (!hasYear) return;
      result = DisplayDateOf(up ? first : last);
    } else if (ShiftDown()) {
      int d = 0, m = 0, yy = 0;
      SplitDisplayDate(text, d, m, yy);
      if (up) {
        if (--m == 0) {
          m = 12;
          yy = (yy + 99) % 100;
        }
      } else if (++m == 13) {
        m = 1;
        yy = (yy + 1) % 100;
      }
      if (IsValidDmy(d, m, yy)) {
        result = Dmy(d, m, yy);
      } else if (up) {
        while (d > 28 && !IsValidDmy(d, m, yy)) --d;  // last day of that month
        result = Dmy(d, m, yy);
      } else {
        result = ConvertDate(NextDay(Dmy(d, m, yy).c_str()));
      }
    } else {
      result = DisplayDateOf(CivilFromDays(DaysFromCivil(day) + (up ? -1 : 1)));
    }
    Ymd r;
    if (hasYear && ParseDisplayDate(result, r)) {
      const long n = DaysFromCivil(r);
      if (n < DaysFromCivil(first) || n > DaysFromCivil(last)) result = DisplayDateOf(up ? first : last);
    }
  }
  SetText(result);
  const int len = GetTextLength();
  SetSelection(len, len);
}

void MEdit::EvChar(unsigned ch, unsigned repeat, unsigned flags) {
  int s = 0, e = 0;
  GetSelection(s, e);
  const bool selected = s != e;
  if (ch == 13 || ch == 10) return;  // Enter acts on release
  if (ch == 1) {
    SetSelection(0, -1);
    return;
  }
  if (ch == 178) {  // '²': back to the loaded value
    SetText(loaded_);
    const int len = GetTextLength();
    SetSelection(len, len);
    StepFlag = false;
    return;
  }
  if (ch == ' ' && s == 0 && !selected) {
    SetText("");
    StepFlag = false;
    return;
  }
  if (ch < 32 && ch != 8) {  // Tab, Escape, Ctrl+C ... are the control's own
    DefaultProcessing();
    return;
  }
  if (inputKind_ == kDate) {
    DateChar(ch, s);
    return;
  }
  bool ok = true;
  const bool atStart = s == 0 && !selected;
  // A sign is typed where the text begins: at the caret there, or over a selection that starts there (the
  // whole text, as Tab leaves it), which it replaces.
  const bool signPlace = s == 0;
  // A comma is the French decimal mark: in a number that takes decimals it is typed as the point it stands for.
  const bool comma = ch == ',' && decimals_ != 0 &&
                     (inputKind_ == kSigned || inputKind_ == kUnsigned || inputKind_ == kAmount);
  if (comma) ch = '.';
  switch (inputKind_) {
    case kSigned:
      if (ch == 8) ok = true;
      else if (ch == '-') ok = signPlace;
      else if (ch == '.') ok = decimals_ != 0;
      else ok = IsDigit(ch);
      break;
    case kAmount:
      if (std::strchr("DdCc+-", static_cast<int>(ch)) != nullptr) {
        ok = signPlace;
        break;
      }
      [[fallthrough]];
    case kUnsigned:
      if (ch == 8) ok = true;
      else if (ch == '.') ok = decimals_ != 0;
      else ok = IsDigit(ch);
      break;
    default:
      break;
  }
  if (!ok) {
    gui::MessageBeep(0);
    return;
  }
  if (clearOnFirstKey_ && ch != 8 && atStart) SetText("");
  if (ch != 8) {
    std::string text = GetText();
    const int len = static_cast<int>(text.size());
    if (fullField_ && fieldWidth_ > 0 && len >= fieldWidth_ && !(s == len && !selected)) {
      text.pop_back();
      SetText(text);
      const int n = static_cast<int>(text.size());
      SetSelection(std::min(s, n), std::min(e, n));
    }
    if (!IsBlank(allowed_) && allowed_.find(static_cast<char>(ch)) == std::string::npos) {
      gui::MessageBeep(0);
      return;
    }
  }
  if (comma) ReplaceSelection(".");
  else DefaultProcessing();
  StepFlag = false;
}

// Dates are typed over "DD/MM/YY": a digit replaces the place under the
// caret and the caret skips the slashes; Backspace blanks the place before.
void MEdit::DateChar(unsigned ch, int caret) {
  std::string text = GetText();
  if (IsDigit(ch) && caret >= 0 && caret <= 7) {
    if (caret == 2 || caret == 5) ++caret;  // never type over a slash
    if (static_cast<int>(text.size()) <= caret) text.resize(static_cast<std::size_t>(caret) + 1, ' ');
    text[static_cast<std::size_t>(caret)] = static_cast<char>(ch);
    int next = caret + 1;
    if (caret == 1 || caret == 4) {
      if (static_cast<int>(text.size()) <= caret + 1) text.resize(static_cast<std::size_t>(caret) + 2, ' ');
      text[static_cast<std::size_t>(caret) + 1] = '/';
      next = caret + 2;
    }
    if (text.size() > 8) text.resize(8);
    // The slashes stand whatever the places before them hold.
    for (std::size_t i : {2u, 5u})
      if (i < text.size() && text[i] == ' ') text[i] = '/';
    SetText(text);
    SetSelection(next, next);
    StepFlag = false;
    return;
  }
  if (ch == 8 && caret > 0) {
    int pos = caret - 1;
    if ((pos == 2 || pos == 5) && pos < static_cast<int>(text.size()) && text[static_cast<std::size_t>(pos)] == '/') --pos;
    if (pos < static_cast<int>(text.size())) text[static_cast<std::size_t>(pos)] = ' ';
    // No blank or slash is left dangling at the end.
    while (!text.empty() && (text.back() == ' ' || text.back() == '/')) text.pop_back();
    SetText(text);
    SetSelection(pos, pos);
    StepFlag = false;
    return;
  }
  gui::MessageBeep(0);
}

std::intptr_t MEdit::EvMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
  if (msg == kCheckLeave) {
    CheckLeave();
    return 0;
  }
  return MEntryControl::EvMessage(msg, wParam, lParam);
}

// ---- Focus and painting ----------------------------------------------------

void MEdit::EvSetFocus(gui::Handle lost) {
  if (FrameFocusedControls()) keys_.frameDrawn = true;
  UpdateCaretInfo();
  MEntryControl::EvSetFocus(lost);
}

void MEdit::EvKillFocus(gui::Handle gained) {
  // The window layer does not say who takes the focus: look once the
  // change is over.
  if (leaveCommand_ != 0 && IsCreated()) gui::PostMessage(GetHandle(), kCheckLeave, 0, 0);
  MEntryControl::EvKillFocus(gained);
}

void MEdit::CheckLeave() {
  gui::Window* parent = Parent();
  if (parent == nullptr || leaveCommand_ == 0 || keys_.focused) return;
  for (gui::Window* w : parent->Children()) {
    if (w == this || !w->HasFocus()) continue;
    if (w == exempt_[0] || w == exempt_[1] || w == exempt_[2]) return;
    PostCommandTo(parent, leaveCommand_);
    return;
  }
}

void MEdit::EvLButtonDown(unsigned modKeys, gui::Point p) {
  DefaultProcessing();
  UpdateCaretInfo();
}

void MEdit::PaintFrame() {
  if (!FrameFocusedControls()) return;
  keys_.frameDrawn = true;
  Invalidate();
}

// ---- Caret displays --------------------------------------------------------

void MEdit::UpdateCaretInfo() {
  if (!IsCreated()) return;
  const int caret = GetCaretPos();
  const std::string text = GetText();
  if (linkedList_ != nullptr && linkedList_->IsCreated()) {
    if (text.empty()) {
      linkedList_->SetSelIndex(0);
    } else {
      // From the caret back to the nearest "[" (or the start): the word
      // the caret stands in.
      int from = std::min(caret, static_cast<int>(text.size()) - 1);
      if (!noBracketSearch_)
        while (from > 0 && text[static_cast<std::size_t>(from)] != '[') --from;
      std::string word = text.substr(static_cast<std::size_t>(from), 12);
      while (!word.empty()) {
        const int at = linkedList_->FindString(word, -1);
        if (at >= 0) {
          linkedList_->SetSelIndex(at);
          break;
        }
        word.pop_back();
      }
    }
  }
  if (positionStatic_ != nullptr) {
    positionStatic_->SetText(std::string(FormatNumber(5, 0, false, caret + 1)) + LoadStr(kPositionSeparator) +
                             FormatNumber(5, 0, false, fieldWidth_));
    positionStatic_->DrawFrame();
  }
  if (lineStatic_ != nullptr) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%5i", GetLineFromPos(caret) + 1);
    lineStatic_->SetText(buf);
    lineStatic_->DrawFrame();
  }
  if (columnStatic_ != nullptr) {
    const std::size_t upto = static_cast<std::size_t>(std::min<int>(caret, static_cast<int>(text.size())));
    const std::size_t lf = upto == 0 ? std::string::npos : text.rfind('\n', upto - 1);
    const int col = static_cast<int>(lf == std::string::npos ? upto : upto - lf - 1);
    columnStatic_->SetText(FormatNumber(4, 0, false, col + 1));
    columnStatic_->DrawFrame();
  }
}
