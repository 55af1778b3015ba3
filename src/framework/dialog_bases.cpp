#include "framework/dialog_bases.h"

#include <algorithm>

#include "controls/control_env.h"
#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "platform/gui/constants.h"
#include "platform/gui/cursor.h"
#include "resources/string_table.h"

namespace {

// The texts shown here, by their ids in the string table.
constexpr int kCursorBusy = 514;
constexpr int kVariablesDialog = 3257;
constexpr int kLineEnd = 54;

}  // namespace

// ---- TDNuv -------------------------------------------------------------------

TDNuv::TDNuv(gui::Window* parent, int resourceId, bool showWaitCursor) : gui::Dialog(parent, resourceId) {
  Start(showWaitCursor);
}

TDNuv::TDNuv(gui::Window* parent, const std::string& resourceName, bool showWaitCursor)
    : gui::Dialog(parent, resourceName) {
  Start(showWaitCursor);
}

void TDNuv::Start(bool showWaitCursor) {
  HelpContext() = 85;
  modalFlags_ = 0;
  setUp_ = false;
  if (showWaitCursor) gui::SetNamedCursor(LoadStr(kCursorBusy));
  // The status line is emptied whenever a dialog opens.
  if (ControlEnv().setMessageBarText) ControlEnv().setMessageBarText("");
}

gui::Window* TDNuv::ModalWindowFor(unsigned flags) {
  return (flags & (kTaskModal | kSystemModal)) != 0 ? static_cast<gui::Window*>(this) : Parent();
}

int TDNuv::Execute(unsigned flags) {
  if (flags == 0) return gui::Dialog::Execute();
  if (!IsCreated()) {
    Show(gui::SW_HIDE);  // shown by the run
    if (!Create()) return -1;
  }
  modalFlags_ = flags;
  const int result = gui::Dialog::Execute();
  modalFlags_ = 0;
  return result;
}

std::intptr_t TDNuv::EvMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
  if (msg == gui::WM_NEXTDLGCTL) {
    MoveFocusFromFocusedChild(this, wParam != 0);
    return 0;
  }
  return gui::Dialog::EvMessage(msg, wParam, lParam);
}

// ---- TDNuvModeless -------------------------------------------------------------

TDNuvModeless::TDNuvModeless(gui::Window* parent, bool showWaitCursor)
    : TDNuv(parent, 1320, showWaitCursor),
      line1_(new MRStatic(kOnTemplate, this, 1201)),
      line2_(new MStatic(kOnTemplate, this, 1202)) {}

void TDNuvModeless::SetupWindow() {
  TDNuv::SetupWindow();
  if (const gui::Font* f = SharedAssistFont()) line2_->SetFont(*f);
  setUp_ = true;
  framedLine_ = line1_->GetHandle();
}

void TDNuvModeless::SetLine(const std::string& text) {
  line1_->SetText(text);
  line1_->DrawFrame();
  line1_->UpdateWindow();
}

void TDNuvModeless::SetLine2(const std::string& text) {
  line2_->SetText(text);
  line2_->UpdateWindow();
}

void TDNuvModeless::Tick(const std::string& mark, bool force) {
  if (!force && ++tickCount_ % 20 != 0) return;
  // A mark that cannot fit beside its separating blank is cut.
  const std::string m = mark.substr(0, kTickLineRoom - 1);
  const std::size_t room = static_cast<std::size_t>(kTickLineRoom);
  if (tickLine_.size() + 1 + m.size() > room) {
    // The oldest mark goes (marks of unequal length: as much as needed).
    const std::size_t need = tickLine_.size() + 1 + m.size() - room;
    tickLine_.erase(0, std::min(tickLine_.size(), std::max(m.size() + 1, need)));
  }
  tickLine_ += ' ';
  tickLine_ += m;
  SetLine2(tickLine_);
}

std::string TDNuvModeless::Line1() const { return line1_->GetText(); }
std::string TDNuvModeless::Line2() const { return line2_->GetText(); }

void TDNuvModeless::CmCancel() { aborted_ = true; }

bool TDNuvModeless::CanClose() {
  aborted_ = true;
  return false;
}

// ---- TDSaisieVariables -----------------------------------------------------------

TDSaisieVariables::TDSaisieVariables(gui::Window* parent, std::string* buffer)
    : TDNuv(parent, LoadStr(kVariablesDialog), true),
      buffer_(buffer),
      list_(new MListBox(kOnTemplate, this, 1201)),
      edit_(new MEdit(kOnTemplate, this, 1202, 4000, 1, true, MEdit::kText, 0)),
      ok_(new MButton(kOnTemplate, this, 1)),
      cancel_(new MButton(kOnTemplate, this, 2)) {
  edit_->SetLineBreak(true);
}

const gui::ResponseTable& TDSaisieVariables::Table() {
  static const gui::ResponseTable table =
      gui::ResponseTable(&gui::Dialog::Table()).Command(CM_INSERER, &TDSaisieVariables::CmInserer);
  return table;
}

void TDSaisieVariables::SetupWindow() {
  TDNuv::SetupWindow();
  if (const gui::Font* f = SharedEntryFontFixed()) {
    edit_->SetFont(*f);
    list_->SetFont(*f);
  }
  if (const gui::Font* f = SharedAssistFont()) {
    ok_->SetFont(*f);
    cancel_->SetFont(*f);
  }
  edit_->SetFocusOnEnter(ok_);
  list_->SetNotify(this, CM_INSERER, 0, 0);
  edit_->SetValue(buffer_ != nullptr ? *buffer_ : std::string(), true);
  if (edit_->IsWindowEnabled()) {
    edit_->SetFocus();
    const int len = edit_->GetTextLength();
    edit_->SetSelection(len, len);
  }
}

void TDSaisieVariables::CmInserer() {
  const int sel = list_->GetSelIndex();
  if (sel < 0) return;
  const std::string line = list_->GetString(sel);
  std::string text = edit_->GetValue();
  const int oldLength = static_cast<int>(text.size());
  text += LoadStr(kLineEnd);
  text += line;
  if (edit_->FieldWidth() < MEdit::kMemoWidth) text.resize(std::min<std::size_t>(text.size(), edit_->FieldWidth()));
  edit_->SetText(text);
  edit_->GetValue();
  // The caret at the start of the appended line.
  edit_->FocusSelect(false);
  edit_->SetSelection(oldLength + 2, oldLength + 2);
}

bool TDSaisieVariables::CanClose() {
  if (buffer_ != nullptr) *buffer_ = edit_->GetValue().substr(0, static_cast<std::size_t>(edit_->FieldWidth()));
  return true;
}
