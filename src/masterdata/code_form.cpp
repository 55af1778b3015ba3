#include "masterdata/code_form.h"

#include <algorithm>
#include <set>

#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "data/dossier_files.h"
#include "data/error_report.h"
#include "data/record_fields.h"
#include "data/session.h"
#include "data/table.h"
#include "data/table_results.h"
#include "framework/browse.h"
#include "masterdata/core/chart_layouts.h"
#include "masterdata/core/chart_records.h"
#include "masterdata/core/code_checks.h"
#include "masterdata/core/code_records.h"
#include "masterdata/core/code_reports.h"
#include "masterdata/core/code_values.h"
#include "masterdata/core/masterdata_strings.h"
#include "masterdata/upper_edit.h"
#include "platform/gui/application.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/messagebox.h"
#include "resources/string_table.h"
#include "runtime/bank_ids.h"
#include "runtime/code_helpers.h"
#include "runtime/dossier_record.h"
#include "runtime/session_registry.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "shell/graphics.h"
#include "shell/mdi_client.h"

using namespace masterdata;

namespace {

constexpr int kComboTextRoom = 40;
// The account the manual matching window holds (8 characters).
constexpr int kRegistryMatchingAccount = 3737;

char HelpCharacter() {
  const char c = ProgramOption(4);
  return c == ' ' || c == '\0' ? '*' : c;
}

bool EuroDossier() { return TheDossierRecord.At(DossierRecord::kEuroMainPos) != 'N'; }

// The stored text of a field of the current record, as a message shows it: trimmed, a byte that
// is not a character (a NUL) shown as "?".
std::string StoredFieldText(::Table& t, int field) {
  const FieldLayout& d = t.Layout(field);
  const std::size_t width = static_cast<std::size_t>(std::max<int>(0, d.width));
  if (d.offset + width > t.recordBuffer.size()) return {};
  std::string text(reinterpret_cast<const char*>(t.recordBuffer.data()) + d.offset, width);
  for (char& c : text)
    if (static_cast<unsigned char>(c) < ' ') c = '?';
  return Trimmed(text);
}

bool IsDigits(const std::string& text) {
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

}  // namespace

CodeRecordForm::CodeRecordForm(gui::MDIClient* client, const std::string& title, char kind,
                               const std::function<bool(Presence)>& present)
    : CMDIModif(client, title, FindFormKind(kind)->gridColumns, FindFormKind(kind)->gridRows,
                FindFormKind(kind)->formSlot, FindFormKind(kind)->FormSlotLength(), FindFormKind(kind)->listSlot),
      kind_(FindFormKind(kind)),
      layout_(FindLayout(kind)),
      chart_(FindChartFile(kind)) {
  KeyWidth = kind_->codeWidth;
  HelpContext() = kind_->helpTopic;
  CurrentHelpContext = kind_->helpTopic;
  code_ = RegistryText(kind_->formSlot + 11, kind_->codeWidth);
  // Closing the form closes the record-text window of its own record, not the one of another record.
  RegisteredName = std::string(1, chart_ != nullptr ? chart_->kind : '1') + kind_->kind + code_;
  std::map<int, bool> rowUsed;  // a layout row -> it keeps a control
  for (const FormItem& item : layout_->form) {
    const bool shown = item.presence == Presence::Always || !present || present(item.presence);
    rowUsed[item.row] = rowUsed[item.row] || shown;
    if (!shown) continue;
    gui::Window* w = nullptr;
    switch (item.item) {
      case Item::Label: w = new MStatic(this, item.text, item.id); break;
      case Item::Frame: {
        auto* frame = new MRStatic(this, item.text, item.id);
        if (item.align == 'C') frame->SetFlags(frame->Flags() | gui::ctl::Center);
        w = frame;
        break;
      }
      case Item::Display: w = new MStatic(this, "", item.id); break;
      case Item::Button: w = new MButton(this, item.id, item.text); break;
      case Item::Check: w = new MCheckBox(this, item.id, item.text, 1); break;
      case Item::Combo: w = new MComboBox(this, item.id, kComboTextRoom, 1); break;
      case Item::Edit: {
        MEdit* e = item.upper ? new MUpperEdit(this, item.id, item.width, item.enter, item.input, item.decimals, false)
                              : new MEdit(this, item.id, item.width, item.enter, item.input, item.decimals, false);
        e->SetNotifyWindow(this);
        w = e;
        break;
      }
    }
    controls_[item.id] = w;
  }
  // Rows whose controls the record does not have close up; rows the layout leaves empty stay.
  const int lastRow = rowUsed.empty() ? 0 : rowUsed.rbegin()->first;
  for (int r = 1, row = 0; r <= lastRow; ++r) {
    const auto it = rowUsed.find(r);
    if (it == rowUsed.end()) ++row;
    else if (it->second) rows_[r] = ++row;
  }
  for (const CodeField& f : layout_->codeFields) {
    if (MEdit* e = EditOf(f.edit)) {
      e->SetF8Command(f.lookup);
      e->SetKeyCommands(f.prior, f.next, f.first, f.last, 0, 0);
    }
  }
}

CodeRecordForm::~CodeRecordForm() {
  // The lock goes back, unless the record text editor holds the record now (or, for an account, the manual
  // matching window holds it).
  ::Table* t = RecordTable();
  if (held_ != 0 && t != nullptr && t->isOpen && t->GoToRecord(static_cast<long>(held_)).IsFound() && !t->IsLockedByMe() &&
      !(chart_ != nullptr && chart_->Accounts() &&
        RegistryText(kRegistryMatchingAccount, kChartCodeWidth) == PaddedCode(code_, kChartCodeWidth)))
    UnlockRecord(*t);
  std::uint32_t& entry = FormRecordLocks[static_cast<std::size_t>(kind_->formLockEntry)];
  if (entry == held_) entry = 0;
}

::Table* CodeRecordForm::RecordTable() const { return RecordTableOf(kind_->kind); }

std::string CodeRecordForm::Caption() const {
  return std::string(CodeLabelForType(std::string(1, kind_->kind).c_str())) + RTrim(code_.c_str());
}

gui::Window* CodeRecordForm::Control(int id) const {
  auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}
MEdit* CodeRecordForm::EditOf(int id) const { return dynamic_cast<MEdit*>(Control(id)); }
MCheckBox* CodeRecordForm::CheckOf(int id) const { return dynamic_cast<MCheckBox*>(Control(id)); }
MComboBox* CodeRecordForm::ComboOf(int id) const { return dynamic_cast<MComboBox*>(Control(id)); }
gui::Static* CodeRecordForm::StaticOf(int id) const { return dynamic_cast<gui::Static*>(Control(id)); }

// ---- loading --------------------------------------------------------------------------------------------------

void CodeRecordForm::SetupWindow() {
  CMDIModif::SetupWindow();
  for (const auto& c : controls_)
    if (auto* control = dynamic_cast<gui::Control*>(c.second)) control->SetFont(EntryFont);
  if (!Load()) {
    // Gone, cancelled or held by another station: the form closes without a word of its own.
    gui::PostCommand(GetHandle(), form_cmd::Quitter);
    return;
  }
  TellUnreadAmounts();
  for (const CodeField& f : layout_->codeFields) {
    if (f.tip == 0) continue;
    if (auto* b = dynamic_cast<MButton*>(Control(f.button))) b->SetTip(LoadStr(f.tip));
  }
  if (auto* b = dynamic_cast<MButton*>(Control(layout_->bank.ribToIban)); b != nullptr && layout_->bank.tip != 0)
    b->SetTip(LoadStr(layout_->bank.tip));
}

Lookup CodeRecordForm::SeekRecord() {
  ::Table* t = RecordTable();
  if (t == nullptr) return Lookup::Refused(kResultNoSuchTable);
  if (chart_ != nullptr) return SeekChartCode(*t, *chart_, code_);
  return SeekCodeRecord(*t, kind_->kind, code_, kind_->codeWidth);
}

bool CodeRecordForm::Load() {
  ::Table* t = RecordTable();
  if (TableC10 == nullptr || (!TableC10->isOpen && !TableC10->UseShared(PathC10(), kC10Tag))) return false;
  if (kind_->usesChart && TableC20 != nullptr && !TableC20->isOpen) TableC20->UseShared(PathC20(), "C20CODE");
  if (chart_ != nullptr && t != nullptr && !t->isOpen)
    t->UseShared(chart_->Accounts() ? PathC20() : PathC30(), chart_->codeTag);
  // A record not read (its look-up refused) opens no form, as one gone does: nothing is shown to edit.
  if (t == nullptr || !t->isOpen || !SeekRecord().FoundOrNone() || !LiveOrSaid(*t).IsFound()) return false;
  // The lock notice names the record by its code.
  if (!LockFormRecord(*t, kind_->formLockEntry, chart_ != nullptr ? 1 : kCodeField)) return false;
  held_ = t->recordNumber;
  unread_.clear();
  for (const FormItem& item : layout_->form) {
    if (item.slice.field == 0 || Control(item.id) == nullptr) continue;
    const std::string stored = ReadSlice(*t, item.slice);
    stored_[item.id] = stored;
    if (t->FieldType(item.slice.field) == 'N' && !StoredAmountReads(*t, item.slice.field, t->recordBuffer.data()))
      unread_[item.id] = StoredFieldText(*t, item.slice.field);
    std::string shown = ShownValue(item.fill, stored);
    const CodeField* f = FindCodeField(*layout_, item.id);
    if (f != nullptr && f->rule == Rule::KnownAccountZeroBlank && IsBlankAccount(shown)) shown.clear();
    if (MEdit* e = EditOf(item.id)) e->SetValue(shown, true);
    else if (MCheckBox* c = CheckOf(item.id)) c->SetValue(shown != "N", true);
    else if (MComboBox* c = ComboOf(item.id)) {
      FillCombo(item, *c);
      c->SetValue(ComboValueOf(item, stored), true);
      stored_[-item.id] = c->GetText();  // the entry shown, to tell a change
    }
  }
  AfterLoad();
  for (const CodeField& f : layout_->codeFields) {
    MEdit* e = EditOf(f.edit);
    if (e != nullptr && !IsBlank(e->GetText())) TestCode(f, e->GetText());
  }
  // The code fields may have moved the record's table (an account's counterpart): back on the record.
  t->GoToRecord(static_cast<long>(held_));
  return true;
}

void CodeRecordForm::TellUnreadAmounts() {
  if (unread_.empty()) return;
  std::set<std::string> texts;
  for (const auto& [id, text] : unread_) texts.insert(text);
  std::string listed;
  for (const std::string& text : texts) listed += (listed.empty() ? "" : ", ") + text;
  gui::MessageBeep(0);
  gui::MessageBox(this, FillPlaceholder(LoadStr(kMsgStoredAmountUnread), listed), Caption(),
                  gui::MB_OK | gui::MB_ICONEXCLAMATION);
}

void CodeRecordForm::EvSetFocus(gui::Handle lost) {
  CMDIModif::EvSetFocus(lost);
  for (const auto& c : controls_)
    if (c.second->HasFocus()) return;
  if (MEdit* name = EditOf(1201)) name->FocusSelect(true);
}

void CodeRecordForm::ArrangeControls() {
  for (const FormItem& item : layout_->form) {
    auto row = rows_.find(item.row);
    if (row == rows_.end()) continue;
    MoveFormControls(Control(item.id), item.col, row->second, item.ncols, 1, item.grid, item.extra, 0);
  }
}

void CodeRecordForm::FocusOn(int control) {
  control = ResolveFocus(control);
  if (MEdit* e = EditOf(control)) {
    e->FocusSelect(true);
    e->SetSelection(0, -1);
  } else if (gui::Window* w = Control(control)) {
    w->SetFocus();
  }
}

// ---- code fields ----------------------------------------------------------------------------------------------

void CodeRecordForm::ShowAccount(const CodeField& field) {
  gui::Static* display = StaticOf(field.display);
  if (display == nullptr) return;
  if (field.balance) ShowAccountBalanceC20(display, EuroDossier());
  else display->SetText(AllTrim(TableC20->GetField(2)));
}

CodeRecordForm::Known CodeRecordForm::TestCode(const CodeField& f, const std::string& typed) {
  gui::Static* display = StaticOf(f.display);
  const std::string text = AllTrim(typed.c_str());
  const bool required = f.rule == Rule::GeneralAccount || f.rule == Rule::RequiredCode;
  const bool blank = text.empty() || (f.rule == Rule::KnownAccountZeroBlank && IsBlankAccount(text));
  if (blank && !required) {
    if (display != nullptr) display->SetText("");
    return Known::Blank;
  }
  bool known = false;
  if (f.table == '2') {
    const bool general = text[0] >= '1' && text[0] <= '8';
    // A look-up refused shows the code as unknown, which the save refuses: nothing is written from it.
    known = !text.empty() && (f.rule != Rule::GeneralAccount || general) && TableC20 != nullptr &&
            SeekLiveAccount(*TableC20, text).FoundOrNone();
    if (known) ShowAccount(f);
  } else {
    known = !text.empty() && SeekLiveCode(*TableC10, f.table, text, f.width).FoundOrNone();
    if (known && display != nullptr) display->SetText(AllTrim(TableC10->GetField(kNameField)));
  }
  if (!known && display != nullptr) display->SetText(LoadStr(kTextUnknown));
  return known ? Known::Yes : Known::No;
}

void CodeRecordForm::ValidateCodeField(const CodeField& f) {
  MEdit* edit = EditOf(f.edit);
  if (edit == nullptr) return;
  const std::string text = edit->GetText();
  if (IsBlank(text) && f.rule != Rule::RequiredCode) {
    if (gui::Static* display = StaticOf(f.display)) display->SetText("");
    FocusOn(f.focusBlank);
    return;
  }
  const std::size_t help = text.find(HelpCharacter());
  if (help != std::string::npos) {
    edit->SetValue(text.substr(0, help), false);
    gui::PostCommand(GetHandle(), f.lookup);
    return;
  }
  if (TestCode(f, text) != Known::No) {
    FocusOn(f.focusKnown);
    return;
  }
  gui::MessageBeep(0);
  FocusOn(f.edit);
}

void CodeRecordForm::LookupCodeField(const CodeField& f) {
  MEdit* edit = EditOf(f.edit);
  gui::Static* display = StaticOf(f.display);
  if (edit == nullptr) return;
  char answer;
  if (f.table == '2') {
    if (display != nullptr) display->SetText("");
    answer = LookupC20Code(edit, f.lookup, display);
    if (answer == kLookupFound) ShowAccount(f);
  } else {
    answer = LookupC10Code(edit, f.lookup, std::string(1, f.table).c_str(), f.width, f.listCommand, f.listSlot, display);
  }
  if (answer != kLookupListOpened && answer != kLookupListRepositioned) FocusOn(f.edit);
}

void CodeRecordForm::StepCodeField(const CodeField& f, unsigned command) {
  MEdit* edit = EditOf(f.edit);
  gui::Static* display = StaticOf(f.display);
  if (edit == nullptr) return;
  bool done;
  if (f.table == '2') {
    done = command == f.first  ? FirstC20Code(edit, display)
           : command == f.prior ? PriorC20Code(edit, display)
           : command == f.next  ? NextC20Code(edit, display)
                                : LastC20Code(edit, display);
    if (done) ShowAccount(f);
  } else {
    const std::string kind(1, f.table);
    done = command == f.first  ? FirstC10Code(edit, kind.c_str(), f.width, display)
           : command == f.prior ? PriorC10Code(edit, kind.c_str(), f.width, display)
           : command == f.next  ? NextC10Code(edit, kind.c_str(), f.width, display)
                                : LastC10Code(edit, kind.c_str(), f.width, display);
  }
}

bool CodeRecordForm::EvCommand(unsigned id) {
  if (id == form_cmd::Texte) {
    CmTexte();
    return true;
  }
  const BankFields& bank = layout_->bank;
  if (bank.ribToIban != 0 && id == static_cast<unsigned>(bank.ribToIban) && Control(bank.ribToIban) != nullptr) {
    CmRibVersIban();
    return true;
  }
  if (bank.keyEnter != 0 && id == bank.keyEnter) {
    CmValiderCleRib();
    return true;
  }
  if (bank.ibanEnter != 0 && id == bank.ibanEnter) {
    CmValiderIban();
    return true;
  }
  for (const CodeField& f : layout_->codeFields) {
    if (id == f.lookup) {
      LookupCodeField(f);
      return true;
    }
    if (id == f.validate) {
      ValidateCodeField(f);
      return true;
    }
    if (id == f.first || id == f.prior || id == f.next || id == f.last) {
      StepCodeField(f, id);
      return true;
    }
  }
  return CMDIModif::EvCommand(id);
}

void CodeRecordForm::CmTexte() {
  if (held_ == 0 || ClosingFlag) {
    gui::MessageBeep(0);
    return;
  }
  RequestRecordText(RegisteredName, static_cast<int>(RegisteredName.size()), GetHandle(), form_cmd::Texte);
}

// ---- check and save -------------------------------------------------------------------------------------------

bool CodeRecordForm::Refuse(int control, const std::string& message) {
  ActivateWindowHandle(0);
  gui::MessageBeep(0);
  if (!message.empty()) gui::MessageBox(this, message, Caption(), gui::MB_OK | gui::MB_ICONSTOP);
  FocusOn(control);
  return false;
}

bool CodeRecordForm::RunRule(Rule rule, int control) {
  switch (rule) {
    case Rule::NameRequired: {
      MEdit* name = EditOf(control);
      return name == nullptr || !IsBlank(name->GetText()) || Refuse(control, LoadStr(kMsgEmptyName));
    }
    case Rule::GeneralAccount:
    case Rule::KnownAccount:
    case Rule::KnownAccountZeroBlank:
    case Rule::KnownCode:
    case Rule::RequiredCode: {
      const CodeField* f = FindCodeField(*layout_, control);
      MEdit* edit = EditOf(control);
      if (f == nullptr || edit == nullptr || TestCode(*f, edit->GetText()) != Known::No) return true;
      return Refuse(control, f->message != 0 ? std::string(LoadStr(f->message)) : std::string());
    }
    case Rule::Digits: {
      MEdit* edit = EditOf(control);
      return edit == nullptr || IsDigits(AllTrim(edit->GetText().c_str())) ||
             Refuse(control, LoadStr(kMsgCounterNotNumber));
    }
    case Rule::Amount: return CheckAmount(control);
    case Rule::RibKey:
    case Rule::Iban: return CheckBankRule(rule);
  }
  return true;
}

bool CodeRecordForm::CheckAmount(int control) {
  MEdit* edit = EditOf(control);
  const FormItem* item = FindItem(*layout_, control);
  if (edit == nullptr || item == nullptr || IsAmountText(edit->GetText(), item->fill == Fill::Budget)) return true;
  return Refuse(control, FillPlaceholder(LoadStr(kMsgWrongAmount), AllTrim(edit->GetText().c_str())));
}

int CodeRecordForm::Check() {
  if (NoCheckFlag) return kCheckClose;
  if (held_ == 0) return kCheckClose;
  // The code fields' look-ups move the record's table: the record is current again afterwards.
  struct Back {
    CodeRecordForm* form;
    ~Back() {
      if (::Table* t = form->RecordTable(); t != nullptr && t->isOpen) t->GoToRecord(static_cast<long>(form->held_));
    }
  } back{this};
  for (const auto& check : layout_->checks)
    if (!RunRule(check.first, check.second)) return kCheckInvalid;
  return IsModified() ? kCheckSave : kCheckClose;
}

std::string CodeRecordForm::TypedValue(const FormItem& item) const {
  if (MEdit* e = EditOf(item.id)) return e->GetText();
  if (MCheckBox* c = CheckOf(item.id)) return c->IsChecked() ? "O" : "N";
  if (MComboBox* c = ComboOf(item.id)) return c->GetText().substr(0, 1);
  return {};
}

bool CodeRecordForm::IsModified() {
  for (const FormItem& item : layout_->form) {
    if (item.slice.field == 0) continue;
    if (MEdit* e = EditOf(item.id); e != nullptr && e->IsModified()) return true;
    if (MCheckBox* c = CheckOf(item.id); c != nullptr && c->IsModified()) return true;
    if (MComboBox* c = ComboOf(item.id); c != nullptr && c->GetText() != stored_[-item.id]) return true;
  }
  return false;
}

void CodeRecordForm::RefreshList() { RefreshPartnerList(code_); }

bool CodeRecordForm::Save() {
  ::Table* t = RecordTable();
  if (!IsModified() || held_ == 0 || t == nullptr) return true;
  // The record held, read again: a read refused saves nothing and the form stays, with its values.
  if (!t->GoToRecord(static_cast<long>(held_)).IsFound() || !SeekRecord().IsFound()) {
    gui::MessageBeep(0);
    return false;
  }
  bool ok = true;
  for (const FormItem& item : layout_->form) {
    if (item.slice.field == 0 || Control(item.id) == nullptr || !ok) continue;
    std::string value = StoredValue(item.fill, TypedValue(item), item.slice.width);
    const std::string& stored = stored_[item.id];
    bool unchanged;
    if (MComboBox* c = ComboOf(item.id)) unchanged = c->GetText() == stored_[-item.id];
    else if (MCheckBox* c = CheckOf(item.id)) unchanged = !c->IsModified();
    else unchanged = TypedValue(item) == ShownValue(item.fill, stored);
    if (unchanged && KeepsStoredValue(item, stored)) value = stored;
    // An amount that did not read stays as stored unless another figure was typed over it.
    if (unchanged && unread_.count(item.id) != 0) continue;
    // Whole fields (the accounts' and sections', the codes' names) are written whole, numbers as numbers.
    const bool whole = t->FieldType(item.slice.field) == 'N' ||
                       (item.slice.position == 1 && item.slice.width >= t->FieldWidth(item.slice.field));
    ok = whole ? t->PutField(item.slice.field, value.c_str())
               : t->PutFieldPart(item.slice.field, item.slice.position, item.slice.width, value.c_str());
  }
  if (!ok || !t->Commit()) {
    ReportDbError(*t, 2010);
    RefreshList();
    return false;
  }
  RefreshList();
  return true;
}

// ---- RIB and IBAN ---------------------------------------------------------------------------------------------

std::string CodeRecordForm::TextOf(int id) const { return EditOf(id) != nullptr ? EditOf(id)->GetText() : std::string(); }

std::string CodeRecordForm::TypedRib() const {
  const BankFields& b = layout_->bank;
  return RibText(TextOf(b.bankCode), TextOf(b.branch), TextOf(b.account), TextOf(b.key));
}

bool CodeRecordForm::CheckBankRule(Rule rule) {
  const BankFields& b = layout_->bank;
  if (rule == Rule::RibKey) {
    if (EditOf(b.key) == nullptr) return true;
    const RibCheck rib = CheckRib(TypedRib());
    if (rib.verdict == RibVerdict::NotDigits) return Refuse(rib.inBranch ? b.branch : b.bankCode, LoadStr(kMsgRibDigits));
    if (rib.verdict == RibVerdict::WrongKey)
      return Refuse(b.key, FillPlaceholder(LoadStr(kMsgWrongRibKey), StrZero(rib.rightKey, 2)));
    return true;
  }
  MEdit* iban = EditOf(b.iban);
  if (iban == nullptr) return true;
  const int right = WrongIbanDigits(CompactIban(iban->GetText()));
  return right == 0 || Refuse(b.iban, FillPlaceholder(LoadStr(kMsgWrongIbanKey), StrZero(right, 2)));
}

void CodeRecordForm::CmRibVersIban() {
  const BankFields& b = layout_->bank;
  std::string iban;
  if (!RibToIban(TypedRib(), iban)) {
    gui::MessageBeep(0);
    FocusOn(b.key);
    return;
  }
  if (MEdit* e = EditOf(b.iban)) {
    e->SetValue(iban, false);
    FocusOn(b.iban);
  }
}

void CodeRecordForm::CmValiderCleRib() {
  if (CheckBankRule(Rule::RibKey)) FocusOn(layout_->bank.iban);
}

void CodeRecordForm::CmValiderIban() {
  if (CheckBankRule(Rule::Iban)) FocusOn(layout_->bank.bic);
}

// ---- journals and labels --------------------------------------------------------------------------------------

void TWDonModJournaux::FillCombo(const FormItem&, MComboBox& combo) {
  combo.ClearList();
  for (int i = 0; i < kJournalTypeCount; ++i) combo.AddString(LoadStr(kJournalTypeFirst + i));
}

std::string TWDonModJournaux::ComboValueOf(const FormItem&, const std::string& stored) {
  // "Achats", "Ventes", "Trésorerie"; any other letter reads as "Opérations Diverses".
  const char c = stored.empty() ? ' ' : stored[0];
  return std::string(1, c == 'A' || c == 'V' || c == 'T' ? c : 'O');
}

void TWDonModLibelles::FillCombo(const FormItem&, MComboBox& combo) {
  combo.ClearList();
  combo.SetValue("0", false);
  for (char digit = '0'; digit <= '8'; ++digit) {
    const std::string entry = LabelTypeChoice(digit);
    if (IsBlank(entry)) break;
    combo.AddString(entry);
  }
}

std::string TWDonModLibelles::ComboValueOf(const FormItem&, const std::string& stored) {
  const char c = stored.empty() ? ' ' : stored[0];
  return std::string(1, c >= '0' && c <= '8' ? c : '0');
}

bool TWDonModLibelles::KeepsStoredValue(const FormItem& item, const std::string& stored) {
  return item.item == Item::Combo && !IsBlank(stored) && (stored[0] < '0' || stored[0] > '8');
}

// ---- factory --------------------------------------------------------------------------------------------------

CodeRecordForm* MakeCodeForm(gui::MDIClient* client, char kind, const std::string& code) {
  if (FindCodeKind(kind) == nullptr) return nullptr;
  const std::string title = std::string(CodeLabelForType(std::string(1, kind).c_str())) + RTrim(code.c_str());
  switch (kind) {
    case 'Q': return new TWDonModBanques(client, title);
    case 'J': return new TWDonModJournaux(client, title);
    case 'L': return new TWDonModLibelles(client, title);
    case 'B': return new TWDonModCollectifs(client, title);
    case 'T': return new TWDonModCodesTva(client, title);
    case 'E': return new TWDonModEtablissements(client, title);
    case 'V': return new TWDonModVentilations(client, title);
    case 'M': return new TWDonModModeles(client, title);
    default: return nullptr;
  }
}
