#include "entry/line_form_base.h"

#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "data/entry_lines.h"
#include "data/record_fields.h"
#include "data/stored_fields.h"
#include "entry/upper_edit.h"
#include "platform/gui/application.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/messagebox.h"
#include "resources/string_table.h"
#include "runtime/text.h"

namespace {
constexpr int kStrUnreadableLineAmount = 31050;  // the stored amount of the line loaded does not read
constexpr int kLabelDebit = 66, kLabelCredit = 67;
}  // namespace

LineFormBase::LineFormBase(gui::MDIClient* client, const std::string& title, int gridColumns, int gridRows,
                           int formSlot, int formSlotLength, int partnerSlot, int senseId, int eurosId)
    : CMDIModif(client, title, gridColumns, gridRows, formSlot, formSlotLength, partnerSlot),
      senseId_(senseId),
      eurosId_(eurosId) {}

gui::Window* LineFormBase::ControlOf(int id) const {
  auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

MEdit* LineFormBase::EditOf(int id) const { return dynamic_cast<MEdit*>(ControlOf(id)); }

std::string LineFormBase::TextOf(int id) const {
  if (id == eurosId_) return EurosChecked() ? "O" : "N";
  if (auto* c = dynamic_cast<gui::Control*>(ControlOf(id))) return c->GetText();
  return {};
}

gui::Window* LineFormBase::Add(gui::Window* w) {
  controls_[w->GetId()] = w;
  return w;
}

MEdit* LineFormBase::AddEdit(int id, int width, unsigned enter, int kind, int decimals, bool upper) {
  MEdit* e = upper ? new UpperEdit(this, id, width, static_cast<int>(enter), kind, decimals, false)
                   : new MEdit(this, id, width, static_cast<int>(enter), kind, decimals, false);
  e->SetNotifyWindow(this);
  Add(e);
  return e;
}

MButton* LineFormBase::AddButton(int id, const std::string& text) {
  return static_cast<MButton*>(Add(new MButton(this, id, text)));
}

void LineFormBase::SetAmountKeys(const unsigned (&leaves)[4], unsigned priorLine, unsigned nextLine,
                                 int debitButton, int creditButton) {
  MEdit* amounts[4] = {debitF_, creditF_, debitE_, creditE_};
  for (int i = 0; i < 4; ++i) {
    amounts[i]->SetKeyCommands(0, 0, 0, 0, priorLine, nextLine);
    amounts[i]->SetLeaveCommand(leaves[i], ControlOf(debitButton), ControlOf(creditButton));
  }
}

bool LineFormBase::EurosChecked() const { return euros_ != nullptr && euros_->IsChecked(); }

char LineFormBase::Sense() const {
  const std::string s = TextOf(senseId_);
  return !s.empty() && s[0] == 'D' ? 'D' : 'C';
}

void LineFormBase::SetSense(char sense) {
  if (auto* s = dynamic_cast<MEStatic*>(ControlOf(senseId_))) {
    s->SetText(LoadStr(sense == 'D' ? kLabelDebit : kLabelCredit));
    s->DrawFrame();
  }
}

void LineFormBase::Message(const std::string& text) {
  if (message_ == nullptr) return;
  message_->SetText(text);
  message_->DrawFrame();
}

MEdit* LineFormBase::AmountField(char sense, bool euros) const {
  if (sense == 'D') return euros ? debitE_ : debitF_;
  return euros ? creditE_ : creditF_;
}

void LineFormBase::FocusOn(gui::Window* w) {
  if (auto* e = dynamic_cast<MEdit*>(w)) {
    e->FocusSelect(true);
    e->SetSelection(0, -1);
  } else if (w != nullptr && w->IsWindowEnabled()) {
    w->SetFocus();
  }
}

void LineFormBase::EnableAmountFields() {
  const bool euros = EurosChecked();
  debitF_->EnableWindow(!euros);
  creditF_->EnableWindow(!euros);
  debitE_->EnableWindow(euros);
  creditE_->EnableWindow(euros);
}

void LineFormBase::MoveAmountsTo(char to) {
  for (bool euros : {false, true}) {
    MEdit* from = AmountField(to == 'D' ? 'C' : 'D', euros);
    AmountField(to, euros)->SetValue(from->GetText(), false);
    from->SetValue("", false);
  }
  SetSense(to);
}

void LineFormBase::FollowTypedAmount(int id) {
  const bool debitSide = id == debitF_->GetId() || id == debitE_->GetId();
  if (debitSide && Sense() == 'C') {
    creditF_->SetValue("", false);
    creditE_->SetValue("", false);
    SetSense('D');
  } else if (!debitSide && Sense() == 'D') {
    debitF_->SetValue("", false);
    debitE_->SetValue("", false);
    SetSense('C');
  }
  const char side = debitSide ? 'D' : 'C';
  if (EurosChecked()) ConvertAmountByRate(*AmountField(side, true), *AmountField(side, false));
  else ConvertAmountByInverseRate(*AmountField(side, false), *AmountField(side, true));
}

std::string LineFormBase::UnreadableAmountsText(::Table& c50) {
  std::string text;
  for (int field : {LigneEcriture::BMONTANTF, LigneEcriture::BMONTANTE}) {
    bool readable = true;
    StoredAmountOf(c50, field, &readable);
    if (readable) continue;
    // Bytes that cannot be shown (NUL bytes and other controls) as "?".
    std::string stored = Trimmed(StoredFields(c50, {field})[0]);
    for (char& c : stored)
      if (static_cast<unsigned char>(c) < 0x20) c = '?';
    text += (text.empty() ? "" : " / ") + stored;
  }
  return text;
}

void LineFormBase::TellUnreadableAmounts(const std::string& stored) {
  if (stored.empty()) return;
  gui::MessageBeep(0);
  gui::MessageBox(this, FillPlaceholder(LoadStr(kStrUnreadableLineAmount), stored), UnreadableAmountsCaption(),
                  gui::MB_OK | gui::MB_ICONEXCLAMATION);
}

void LineFormBase::AskToClose() {
  AskOnClose = false;
  closeAsked_ = true;
  gui::PostMessage(GetHandle(), gui::WM_CLOSE);
}

void LineFormBase::StepAfterSave(std::function<void()> step) {
  if (closeAsked_) afterSave_ = std::move(step);
  else if (step) step();
}

bool LineFormBase::CloseDecided(bool closing) {
  if (!closing || NoCheckFlag || !closeAsked_) afterSave_ = nullptr;
  closeAsked_ = false;
  return closing;
}

void LineFormBase::TakeStepAfterSave() {
  std::function<void()> step = std::move(afterSave_);
  afterSave_ = nullptr;
  // A close asked but never decided (the form destroyed another way) saved nothing.
  const bool saved = !closeAsked_;
  closeAsked_ = false;
  if (saved && step) step();
}
