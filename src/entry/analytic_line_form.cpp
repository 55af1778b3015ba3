#include "entry/analytic_line_form.h"

#include <algorithm>

#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "entry/upper_edit.h"
#include "data/account_totals.h"
#include "data/dossier_files.h"
#include "data/entry_lines.h"
#include "data/error_report.h"
#include "data/record_fields.h"
#include "data/rounding_accounts.h"
#include "data/session.h"
#include "data/table.h"
#include "posting/balancing.h"
#include "posting/entry_state.h"
#include "posting/journal_month.h"
#include "posting/line_save.h"
#include "posting/line_validation.h"
#include "platform/gui/application.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/controls.h"
#include "platform/gui/dc.h"
#include "platform/gui/messagebox.h"
#include "runtime/access_rights.h"
#include "runtime/code_helpers.h"
#include "runtime/dossier_record.h"
#include "runtime/numbers.h"
#include "runtime/session_registry.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "shell/application.h"
#include "resources/command_ids.h"
#include "resources/string_table.h"
#include "shell/graphics.h"
#include "shell/mdi_client.h"
#include "shell/placement.h"
#include "shell/registry.h"
#include "shell/toolbar.h"

using namespace entry;
using namespace analytic_form;

namespace {

using L = LigneEcriture;

namespace cmd {
using child_command::Quitter;
using child_command::Enregistrer;
constexpr unsigned SolderLigne = child_command::SolderPiece;
using child_command::SolderCompte;
using child_command::CreerLigne;
using child_command::LignePrecedente;
using child_command::LigneRestore;
using child_command::LigneSuivante;
// The form's own field commands.
constexpr unsigned SectionEnter = 1204, SectionLookup = 1205, SectionFirst = 1206, SectionNext = 1207;
constexpr unsigned SectionPrior = 1208, SectionLast = 1209, SectionView = 1210;
constexpr unsigned DebitFEnter = 1214, CreditFEnter = 1216, DebitEEnter = 1219, CreditEEnter = 1221;
constexpr unsigned Euros = 1223, DebitButton = 1226, CreditButton = 1228;
constexpr unsigned SectionLeave = 1240, DebitFLeave = 1241, CreditFLeave = 1242, DebitELeave = 1243;
constexpr unsigned CreditELeave = 1244;
}  // namespace cmd

constexpr int kIcon = 1005;
constexpr int kGridRows = 5;
constexpr std::size_t kSectionWidth = 8;
// The sub-slots of the analytic line forms from a journal-entry slot's flag.
constexpr int kForm1 = 209, kForm2 = 371;

// The texts of the form and of its messages.
constexpr int kTitleAttention = 52;
// The form's title on either axis: the journal, the month, the year, the section.
constexpr int kTitleAxis1 = 16320, kTitleAxis2 = 16321;
constexpr int kCaptionPiece = 16322;
constexpr int kLabelBalance = 1582;
constexpr int kLabelBalanceIn = 32411;  // the currency's letter
constexpr int kStatusBalance = 32412;   // the section's code and name, its balance, the currency
constexpr int kLabelEuros = 2277, kLabelFrancs = 2278;
constexpr int kLabelDebit = 66;
constexpr int kCheckEuros = 19744;  // "En Eur&os"
constexpr int kTipSectionLookup = 16323, kTipToCredit = 16324, kTipToDebit = 16325, kTipView = 23052;
constexpr int kMsgLineHeld = 16313;

// A total of the panel, right-aligned in its frame: grouped whole, then a blank.
std::string PanelText(long long cents) { return GroupedAmount(cents) + " "; }

// The panel's columns: its totals and its difference as wide as the widest it shows, a split past what
// a total holds while it is typed (a total and a typed amount, each of the largest), in the entry font,
// inside their frames; the grid's columns at their least are a character of that font.
struct PanelColumns {
  int total, difference, grid;
};
PanelColumns PanelColumnsNeeded() {
  const int cw = EntryCharWidth > 0 ? EntryCharWidth : 7;
  constexpr long long kWidest = 2 * posting::kLargestAmountCents;
  constexpr int kFrame = 8;  // the frame and its inner margin, both sides
  auto columns = [cw](const std::string& text) { return (gui::ScreenTextWidth(EntryFont, text) + kFrame + cw - 1) / cw; };
  PanelColumns p;
  p.total = std::max(13, columns(PanelText(kWidest)));
  p.grid = 46 + 2 * p.total;
  p.difference = std::min(std::max(12, columns(Trimmed(BalanceAmount(kWidest)) + " ")), p.grid - 51);
  return p;
}

// The section code of the field as C30 keeps it: capitals, blank-padded to 8.
std::string SectionCode(const std::string& typed) { return PadRight(Upper(std::string(RTrim(typed.c_str())).c_str()), kSectionWidth); }

long long Cents(const MEdit* e) { return e == nullptr ? 0 : ToCents(Val(const_cast<MEdit*>(e)->GetText().c_str())); }


}  // namespace

// ---- construction ---------------------------------------------------------------------------------------------

TWSaiModDetJournauxAnal::TWSaiModDetJournauxAnal(gui::MDIClient* client, const std::string& title, int formSlot,
                                                 int listSlot)
    : LineFormBase(client, title, PanelColumnsNeeded().grid, kGridRows, formSlot, kSlotLength, listSlot, kSense, kEuros),
      listSlot_(listSlot) {
  lineKey_ = PadRight(RegistryText(formSlot + 11, kSplitHeaderKeyLength), kSplitHeaderKeyLength);
  KeyWidth = kSplitHeaderKeyLength;
  // A rounding line asked by the previous form is this one.
  roundingLine_ = PendingRoundingLine;
  PendingRoundingLine = 0;
  euroOnly_ = DossierIsEuroOnly();
  rate_ = TheDossierRecord.Parity();
  MinColumnWidth = EntryCharWidth > 0 ? EntryCharWidth : 7;
  MinRowHeight = std::max((EntryRowHeight > 0 ? EntryRowHeight : 16) + 8, 26);
  toolbar_ = {6, cmd::Quitter, cmd::Enregistrer, cmd::SolderLigne, cmd::SolderCompte, cmd::CreerLigne, cmd::LigneSuivante};
  ContextCommands = toolbar_;

  auto add = [this](gui::Window* w) { return Add(w); };
  auto framed = [&](int id, const std::string& text) { add(new MEStatic(this, text, id)); };
  auto edit = [this](int id, int width, unsigned enter, int kind, int decimals, bool upper) {
    return AddEdit(id, width, enter, kind, decimals, upper);
  };
  auto button = [this](int id, const std::string& text) { return AddButton(id, text); };

  framed(kPanelCaption, LoadStr(kCaptionPiece));
  framed(kPanelPiece, "");
  framed(kPanelEmpty, "");
  framed(kPanelBalance, std::string(LoadStr(kLabelBalance)) + "  ");
  framed(kPanelDifference, "");
  framed(kPanelF, "F");
  // The totals right-aligned in their frames: a small total ends where the largest does.
  for (int id : {kGeneralF, kSplitF, kGeneralE, kSplitE}) static_cast<MEStatic*>(add(new MEStatic(this, "", id)))->SetFlags(gui::ctl::Right);
  framed(kPanelE, "E");
  message_ = static_cast<MRStatic*>(add(new MRStatic(this, "", kMessage)));
  edit(kPiece, 6, 0, MEdit::kText, 0, false);
  day_ = edit(kDay, 2, 0, MEdit::kText, 0, false);
  button(kSectionLookup, "&?");
  section_ = edit(kSection, 8, cmd::SectionEnter, MEdit::kText, 0, true);
  add(new MStatic(this, "", kSectionInfo));
  button(kSectionView, "&V");
  labelCode_ = edit(kLabelCode, 1, 0, MEdit::kText, 0, false);
  add(new MStatic(this, "", kLabelCodeText));
  label_ = edit(kLabel, 25, 0, MEdit::kText, 0, false);
  button(kCreditButton, "&C");
  debitF_ = edit(kDebitF, kAmountWidth, cmd::DebitFEnter, MEdit::kSigned, 2, false);
  debitE_ = edit(kDebitE, kAmountWidth, cmd::DebitEEnter, MEdit::kSigned, 2, false);
  framed(kLetterF, "F");
  button(kDebitButton, "&D");
  creditF_ = edit(kCreditF, kAmountWidth, cmd::CreditFEnter, MEdit::kSigned, 2, false);
  creditE_ = edit(kCreditE, kAmountWidth, cmd::CreditEEnter, MEdit::kSigned, 2, false);
  framed(kLetterE, "E");
  euros_ = static_cast<MCheckBox*>(add(new MCheckBox(this, kEuros, LoadStr(kCheckEuros), 1)));
  framed(kSense, LoadStr(kLabelDebit));

  section_->SetKeyCommands(cmd::SectionPrior, cmd::SectionNext, cmd::SectionFirst, cmd::SectionLast,
                           cmd::LignePrecedente, cmd::LigneSuivante);
  section_->SetLeaveCommand(cmd::SectionLeave, ControlOf(kSectionLookup));
  SetAmountKeys({cmd::DebitFLeave, cmd::CreditFLeave, cmd::DebitELeave, cmd::CreditELeave}, cmd::LignePrecedente,
                cmd::LigneSuivante, kDebitButton, kCreditButton);
}

TWSaiModDetJournauxAnal::~TWSaiModDetJournauxAnal() = default;

gui::Handle TWSaiModDetJournauxAnal::ListHandle() const {
  return RegistryChar(listSlot_) == '1' ? SlotHandle(listSlot_) : 0;
}

void TWSaiModDetJournauxAnal::PostToList(unsigned command, int pendingRounding) {
  StepAfterSave([this, command, pendingRounding] {
    if (pendingRounding != 0) PendingRoundingLine = pendingRounding;
    if (const gui::Handle list = ListHandle()) gui::PostCommand(list, command);
  });
}

// ---- loading --------------------------------------------------------------------------------------------------

void TWSaiModDetJournauxAnal::SetupWindow() {
  CMDIModif::SetupWindow();
  BuildToolbar(ContextCommands, true);
  for (const auto& [id, w] : controls_)
    if (auto* c = dynamic_cast<gui::Control*>(w)) c->SetFont(id == kSectionInfo || id == kLabelCodeText ? AssistFont : EntryFont);
  if (!LoadLine()) {
    // Gone, cancelled or held by another station (its notice was shown): the form closes without a word.
    NoCheckFlag = true;
    gui::PostMessage(GetHandle(), gui::WM_CLOSE);
    return;
  }
  opened_ = true;
  loading_ = false;
  const std::pair<int, int> tips[] = {
      {kSectionLookup, kTipSectionLookup}, {kCreditButton, kTipToCredit}, {kDebitButton, kTipToDebit}};
  for (const auto& [id, tip] : tips)
    if (auto* b = dynamic_cast<MButton*>(ControlOf(id))) b->SetTip(LoadStr(tip));
  if (auto* b = dynamic_cast<MButton*>(ControlOf(kSectionView))) b->SetTip(LoadStr(kTipView));
  FocusOn(section_);
}

bool TWSaiModDetJournauxAnal::LoadLine() {
  if (TableC50 == nullptr || TableC60 == nullptr || !posting::EnsureGeneralFile()) return false;
  if (!TableC50->isOpen && !TableC50->UseShared(PathC50(), L::kAnalyticTag)) return false;
  if (!TableC60->isOpen && !TableC60->UseShared(PathC60(), LigneTri::kRecordTag)) return false;
  if (TableC30 != nullptr && !TableC30->isOpen) TableC30->UseShared(PathC30(), "C30CODE");
  ::Table& c50 = *TableC50;
  if (!SeekAnalyticRecord(c50, lineKey_).IsFound() || !LiveOrSaid(c50).IsFound()) return false;
  if (!LockRecord(c50, c50.RecordToText(L::BNUMA), 0)) return false;
  holdsLine_ = true;

  if (auto* p = dynamic_cast<gui::Control*>(ControlOf(kPanelPiece))) p->SetText(lineKey_.substr(7, 6) + "/" + lineKey_.substr(13, 8));
  auto load = [](MEdit* e, const char* text) { e->SetValue(AllTrim(text), true); };
  MEdit* piece = EditOf(kPiece);
  load(piece, c50.GetField(L::BPIECE));
  piece->EnableWindow(false);
  load(day_, c50.GetField(L::BJOUR));
  load(section_, c50.GetField(L::BCODE));
  loadedSection_ = PadRight(c50.GetField(L::BCODE), kSectionWidth);
  if (!IsBlank(loadedSection_)) SetRegistryText(kRegistryLastSection, 8, loadedSection_);
  load(labelCode_, c50.GetField(L::BCLIB));
  load(label_, c50.GetField(L::BLIB));
  const char entry = c50.GetField(L::BEURO)[0];
  euros_->SetValue(entry == 'O' || entry == 'o' || euroOnly_, true);
  const bool debit = c50.GetField(L::BSENS)[0] == 'D';
  const long long francs = StoredAmountOf(c50, L::BMONTANTF), euros = StoredAmountOf(c50, L::BMONTANTE);
  const std::string unreadable = UnreadableAmountsText(c50);
  loadedUnread_ = posting::UnreadLineAmounts(c50);
  (debit ? debitF_ : creditF_)->SetValue(AmountDigitsOrBlank(FromCents(francs)), true);
  (debit ? debitE_ : creditE_)->SetValue(AmountDigitsOrBlank(FromCents(euros)), true);
  (debit ? creditF_ : debitF_)->SetValue("", true);
  (debit ? creditE_ : debitE_)->SetValue("", true);
  SetSense(debit ? 'D' : 'C');
  if (euroOnly_)
    for (int id : {int(kEuros), int(kDebitF), int(kCreditF), int(kLetterF), int(kLetterE), int(kPanelF), int(kPanelE),
                   int(kGeneralF), int(kSplitF)})
      if (gui::Window* w = ControlOf(id)) w->Show(gui::SW_HIDE);
  if (!IsBlank(loadedSection_)) ShowSection();
  // Only shown: a label code not read leaves its name blank.
  if (!IsBlank(labelCode_->GetText()) && TableC10 != nullptr &&
      posting::FindC10(*TableC10, 'L', labelCode_->GetText()).FoundOrNone() && TableC10->LiveHere().IsFound())
    if (auto* s = dynamic_cast<gui::Control*>(ControlOf(kLabelCodeText))) s->SetText(AllTrim(TableC10->GetField(3)));
  ComputeSplitRemainder(true, false);
  for (MEdit* e : {day_, labelCode_, label_}) e->EnableWindow(false);
  if (roundingLine_ != 0) {
    euros_->SetValue(roundingLine_ == 2, false);
    gui::PostCommand(GetHandle(), cmd::SolderLigne);
  }
  EnableAmountFields();
  TellUnreadableAmounts(unreadable);
  return true;
}

// ---- form state -----------------------------------------------------------------------------------------------

FormAmounts TWSaiModDetJournauxAnal::Amounts() const {
  FormAmounts a;
  a.sense = Sense();
  a.francs = Cents(AmountField(a.sense, false));
  a.euros = Cents(AmountField(a.sense, true));
  return a;
}

bool TWSaiModDetJournauxAnal::IsModified() {
  for (MEdit* e : {day_, section_, labelCode_, label_, debitF_, creditF_, debitE_, creditE_})
    if (e != nullptr && e->IsModified()) return true;
  return euros_ != nullptr && euros_->IsModified();
}

// ---- the section ------------------------------------------------------------------------------------------------

// The section of the field found live in C30 (its record current): its name and balance beside it.
Lookup TWSaiModDetJournauxAnal::ShowSection() {
  const std::string code = SectionCode(section_->GetText());
  ::Table* c30 = TableC30;
  if (IsBlank(code) || c30 == nullptr || !c30->isOpen) return Lookup::NotFound();
  // Its cancel mark read again: one not read is no section cancelled.
  Lookup found =
      c30->Find("C30CODE", code.c_str()).And(c30->MatchRecordKey(code.c_str(), static_cast<int>(kSectionWidth), 1).HoldsKey());
  if (found.IsFound()) found = c30->LiveHere();
  if (!found.IsFound()) return found;
  // A code typed in small letters names the same section.
  const std::string shown = RTrim(code.c_str());
  if (section_->GetText() != shown) section_->SetValue(shown, false);
  ShowAccountBalanceC30(dynamic_cast<gui::Static*>(ControlOf(kSectionInfo)), EurosChecked());
  return found;
}

void TWSaiModDetJournauxAnal::SectionUnknown(int message) {
  if (auto* s = dynamic_cast<gui::Control*>(ControlOf(kSectionInfo))) s->SetText("???");
  Message(LoadStr(message));
  gui::MessageBeep(0);
  FocusOn(section_);
}

void TWSaiModDetJournauxAnal::SectionUnread(const Lookup& answer) {
  if (auto* s = dynamic_cast<gui::Control*>(ControlOf(kSectionInfo))) s->SetText("");
  gui::MessageBeep(0);
  gui::MessageBox(this, UnreadText(TableC30 != nullptr ? TableC30->tablePath : PathC30(), answer.result()),
                  LoadStr(kTitleAttention), gui::MB_OK | gui::MB_ICONSTOP);
  FocusOn(section_);
}

void TWSaiModDetJournauxAnal::SectionEnter() {
  ClearMessage();
  const std::string text = RTrim(section_->GetText().c_str());
  if (IsBlank(text)) {
    SectionUnknown(posting::kMsgAccountEmpty);
    return;
  }
  const char help = ProgramOption(4) == ' ' || ProgramOption(4) == 0 ? '*' : ProgramOption(4);
  const std::size_t at = text.find(help);
  if (at != std::string::npos) {
    section_->SetValue(text.substr(0, at), false);
    gui::PostCommand(GetHandle(), cmd::SectionLookup);
    return;
  }
  if (const Lookup shown = ShowSection(); !shown.IsFound()) {
    if (shown.IsRefused()) SectionUnread(shown);
    else SectionUnknown(posting::kMsgAccountUnknown);
    return;
  }
  SetRegistryText(kRegistryLastSection, 8, SectionCode(text));
  FocusOn(AmountField(Sense(), EurosChecked()));
}

void TWSaiModDetJournauxAnal::SectionLeave() {
  if (ClosingFlag) return;
  if (IsBlank(section_->GetText())) {
    section_->SetValue(std::string(1, ProgramOption(4) == ' ' || ProgramOption(4) == 0 ? '*' : ProgramOption(4)), false);
    SectionEnter();
    return;
  }
  if (const Lookup shown = ShowSection(); !shown.IsFound()) {
    if (shown.IsRefused()) SectionUnread(shown);
    else SectionUnknown(posting::kMsgAccountUnknown);
    return;
  }
  SetRegistryText(kRegistryLastSection, 8, SectionCode(section_->GetText()));
}

void TWSaiModDetJournauxAnal::SectionLookup() {
  auto* info = dynamic_cast<gui::Static*>(ControlOf(kSectionInfo));
  const char answer = LookupC30Code(section_, cmd::SectionLookup, info);
  if (answer == kLookupListOpened || answer == kLookupListRepositioned) return;
  if (answer == kLookupFound) ShowAccountBalanceC30(info, EurosChecked());
  else if (info != nullptr) info->SetText("???");
  FocusOn(section_);
}

void TWSaiModDetJournauxAnal::SectionStep(unsigned id) {
  auto* info = dynamic_cast<gui::Static*>(ControlOf(kSectionInfo));
  bool done = false;
  if (id == cmd::SectionFirst) done = FirstC30Code(section_, nullptr);
  else if (id == cmd::SectionPrior) done = PriorC30Code(section_, nullptr);
  else if (id == cmd::SectionNext) done = NextC30Code(section_, nullptr);
  else done = LastC30Code(section_, nullptr);
  if (done) ShowAccountBalanceC30(info, EurosChecked());
}

void TWSaiModDetJournauxAnal::SectionView() {
  SetRegistryText(kRegistryLastSection, 8, SectionCode(section_->GetText()));
  gui::SendCommand(MainWindowHandle, command_id::EtaCompte);
}

// ---- amounts -----------------------------------------------------------------------------------------------------

void TWSaiModDetJournauxAnal::AmountChanged(int id) {
  if (changing_ || loading_ || !opened_) return;
  ClearMessage();
  changing_ = true;
  FollowTypedAmount(id);
  ComputeSplitRemainder(true, false);
  changing_ = false;
}

void TWSaiModDetJournauxAnal::SwitchSense(char to) {
  ClearMessage();
  if (Sense() != to) {
    changing_ = true;
    MoveAmountsTo(to);
    changing_ = false;
    ComputeSplitRemainder(true, false);
  }
  FocusOn(AmountField(to, EurosChecked()));
}

void TWSaiModDetJournauxAnal::CurrencySwitch() {
  if (euroOnly_) euros_->SetValue(true, false);
  EnableAmountFields();
  if (!IsBlank(section_->GetText())) FocusOn(AmountField(Sense(), EurosChecked()));
  ComputeSplitRemainder(true, false);
}

void TWSaiModDetJournauxAnal::AmountEnter(unsigned id) {
  ClearMessage();
  ComputeSplitRemainder(true, false);
  MEdit* field = id == cmd::DebitFEnter ? debitF_ : id == cmd::CreditFEnter ? creditF_ : id == cmd::DebitEEnter ? debitE_ : creditE_;
  if (Cents(field) == 0) {
    const bool debitSide = field == debitF_ || field == debitE_;
    FocusOn(AmountField(debitSide ? 'C' : 'D', field == debitE_ || field == creditE_));
    return;
  }
  ClearMessage();
  if (Check() == kCheckInvalid) return;
  AskToClose();
  const AfterAmount next = AfterAmountEntered(EurosChecked(), euroOnly_, remainderF_, remainderE_);
  if (next.closeList) {
    PostToList(cmd::Quitter);
    return;
  }
  PostToList(cmd::CreerLigne, next.pending);
}

// ---- balancing ---------------------------------------------------------------------------------------------------

bool TWSaiModDetJournauxAnal::ComputeSplitRemainder(bool useForm, bool detailed) {
  if (TableC50 == nullptr || !TableC50->isOpen) return true;
  const FormAmounts form = Amounts();
  const SplitRemainder r = entry::ComputeSplitRemainder(*TableC50, lineKey_, useForm ? &form : nullptr);
  remainderF_ = r.RemainderFrancs();
  remainderE_ = r.RemainderEuros();
  auto set = [this](int id, const std::string& text) {
    if (auto* s = dynamic_cast<MEStatic*>(ControlOf(id))) {
      s->SetText(text);
      s->DrawFrame();
    }
  };
  const bool euros = EurosChecked();
  set(kPanelDifference, "");
  set(kPanelBalance, FillPlaceholder(LoadStr(kLabelBalanceIn), euros ? "E" : "F"));
  if (detailed) {
    set(kGeneralF, PanelText(r.generalF + std::max(-remainderF_, 0LL)));
    set(kSplitF, PanelText(r.splitF + std::max(remainderF_, 0LL)));
    set(kGeneralE, PanelText(r.generalE + std::max(-remainderE_, 0LL)));
    set(kSplitE, PanelText(r.splitE + std::max(remainderE_, 0LL)));
  } else {
    set(kGeneralF, PanelText(r.generalF));
    set(kSplitF, PanelText(r.splitF));
    set(kGeneralE, PanelText(r.generalE));
    set(kSplitE, PanelText(r.splitE));
  }
  const long long off = euros ? r.generalE - r.splitE : r.generalF - r.splitF;
  if (off != 0) set(kPanelDifference, Trimmed(BalanceAmount(off)));
  return !r.readRefused;
}

void TWSaiModDetJournauxAnal::PutBalancingAmount(bool convert, long long francs, long long euros) {
  changing_ = true;
  for (MEdit* e : {debitF_, creditF_, debitE_, creditE_}) e->SetValue("", false);
  const bool inEuros = EurosChecked();
  const BalancingAmount b = BalancingAmountOf(inEuros, convert, francs, euros, rate_);
  if (b.sense == 'D' || b.sense == 'C') {
    SetSense(b.sense);
    AmountField(b.sense, false)->SetValue(AmountDigitsOrBlank(FromCents(b.francs)), false);
    AmountField(b.sense, true)->SetValue(AmountDigitsOrBlank(FromCents(b.euros)), false);
  }
  changing_ = false;
  MEdit* field = AmountField(Sense(), inEuros);
  field->FocusSelect(false);
}

void TWSaiModDetJournauxAnal::CmSolderLigne() {
  ClearMessage();
  // A split not read whole proposes nothing: its remainder is short of what was not read.
  auto unreadSplit = [this] {
    gui::MessageBeep(0);
    gui::MessageBox(this, ReadErrorText(TableC50->tablePath), LoadStr(kTitleAttention), gui::MB_OK | gui::MB_ICONSTOP);
  };
  // A split whose amounts do not read proposes nothing.
  if (TableC50 != nullptr && TableC50->isOpen) {
    const SplitRemainder split = entry::ComputeSplitRemainder(*TableC50, lineKey_, nullptr);
    if (split.readRefused) return unreadSplit();
    const std::vector<UnreadableAmountLine>& unread = split.unreadable;
    if (!unread.empty()) {
      gui::MessageBeep(0);
      gui::MessageBox(this, UnreadableAmountsMessage(unread), UnreadableAmountsCaption(),
                      gui::MB_OK | gui::MB_ICONEXCLAMATION);
      return;
    }
  }
  if (!ComputeSplitRemainder(false, true)) return unreadSplit();
  PutBalancingAmount(roundingLine_ == 0, -remainderF_, -remainderE_);
  if (roundingLine_ != 0) section_->SetValue(RTrim(AnalyticRoundingSection().c_str()), false);
  ClearMessage();
  if (Check() == kCheckInvalid) return;
  AskToClose();
  // The rounding line is asked from the remainder read whole only.
  if (!ComputeSplitRemainder(true, false)) return unreadSplit();
  const int rounding = RoundingAfterBalancing(EurosChecked(), euroOnly_, remainderF_, remainderE_);
  if (rounding != 0) PostToList(cmd::CreerLigne, rounding);
}

void TWSaiModDetJournauxAnal::CmSolderCompte() {
  ClearMessage();
  const std::string code = SectionCode(section_->GetText());
  ::Table* c30 = TableC30;
  if (IsBlank(code) || c30 == nullptr || !c30->isOpen) {
    gui::MessageBeep(0);
    return;
  }
  const Lookup found =
      c30->Find("C30CODE", code.c_str()).And(c30->MatchRecordKey(code.c_str(), static_cast<int>(kSectionWidth), 1).HoldsKey());
  // A section not read proposes nothing, and says why.
  if (found.IsRefused()) return SectionUnread(found);
  if (found.IsNotFound()) {
    gui::MessageBeep(0);
    return;
  }
  // The loaded amounts are in the totals of the section the line was loaded with, and only there.
  auto loaded = [](const MEdit* e) { return ToCents(Val(e->LoadedValue().c_str())); };
  const long long loadedF = loaded(debitF_) - loaded(creditF_), loadedE = loaded(debitE_) - loaded(creditE_);
  // A section's total that does not read proposes nothing.
  if (const std::vector<UnreadableAmountLine> unread = posting::UnreadTotalsOf(*c30, 9); !unread.empty()) {
    gui::MessageBeep(0);
    gui::MessageBox(this, posting::UnreadTotalRefusal(unread), UnreadableAmountsCaption(),
                    gui::MB_OK | gui::MB_ICONEXCLAMATION);
    return;
  }
  // The line's own amount, in the section's totals, that does not read cannot be taken off them.
  if (code == loadedSection_ && !loadedUnread_.empty()) {
    gui::MessageBeep(0);
    gui::MessageBox(this, posting::UnreadLineRefusal(loadedUnread_), UnreadableAmountsCaption(),
                    gui::MB_OK | gui::MB_ICONEXCLAMATION);
    return;
  }
  const auto [f, e] = SectionBalancingAmounts(StoredAmountOf(*c30, 9), StoredAmountOf(*c30, 10),
                                              StoredAmountOf(*c30, 11), StoredAmountOf(*c30, 12),
                                              code == loadedSection_, loadedF, loadedE);
  PutBalancingAmount(true, f, e);
  ComputeSplitRemainder(true, false);
}

// ---- validation and save ------------------------------------------------------------------------------------------

// On a refusal the lines window selects the line again, and the form comes back.
void TWSaiModDetJournauxAnal::ReselectInList() {
  if (const gui::Handle list = ListHandle()) {
    SetRegistryText(listSlot_ + 11, 92, "");
    SetRegistryText(listSlot_ + 11, kSplitHeaderKeyLength, lineKey_);
    gui::SendCommand(list, cmd::LigneRestore);
  }
  ActivateWindowHandle(0);
}

int TWSaiModDetJournauxAnal::Check() {
  if (NoCheckFlag) return kCheckClose;
  const std::string code = SectionCode(section_->GetText());
  if (IsBlank(code)) {
    ReselectInList();
    SectionUnknown(posting::kMsgAccountEmpty);
    return kCheckInvalid;
  }
  if (const Lookup shown = ShowSection(); !shown.IsFound()) {
    ReselectInList();
    if (shown.IsRefused()) SectionUnread(shown);
    else SectionUnknown(posting::kMsgAccountUnknown);
    return kCheckInvalid;
  }
  // The sense carries the sign: an amount typed negative is refused; so is one a line cannot take (past its
  // field, or its twin in the other currency past the twin's), before the save that the table would refuse
  // half-way or store with a twin of 0.
  posting::LineAmounts amounts;
  amounts.debitF = FromCents(Cents(debitF_));
  amounts.creditF = FromCents(Cents(creditF_));
  amounts.debitE = FromCents(Cents(debitE_));
  amounts.creditE = FromCents(Cents(creditE_));
  const double rate = TheDossierRecord.Parity();
  const posting::LineField negative = posting::NegativeAmount(amounts);
  const posting::LineField tooLarge = posting::TooLargeAmount(amounts, rate);
  if (negative != posting::LineField::None || tooLarge != posting::LineField::None) {
    const posting::LineField field = negative != posting::LineField::None ? negative : tooLarge;
    MEdit* e = field == posting::LineField::DebitF    ? debitF_
               : field == posting::LineField::CreditF ? creditF_
               : field == posting::LineField::DebitE  ? debitE_
                                                      : creditE_;
    ReselectInList();
    Message(negative != posting::LineField::None ? std::string(LoadStr(posting::kMsgNegativeAmount))
                                                 : posting::AmountTooLargeText(tooLarge, rate));
    gui::MessageBeep(0);
    FocusOn(e->IsWindowEnabled() ? e : AmountField(Sense(), EurosChecked()));
    return kCheckInvalid;
  }
  return IsModified() ? kCheckSave : kCheckClose;
}

bool TWSaiModDetJournauxAnal::Save() {
  if (!IsModified()) return true;
  AnalyticLineValues v;
  v.day = day_->GetText();
  v.section = RTrim(SectionCode(section_->GetText()).c_str());
  v.labelCode = labelCode_->GetText();
  v.label = label_->GetText();
  v.inEuros = EurosChecked();
  v.roundingLine = roundingLine_ != 0;
  v.sense = Sense();
  v.francs = Cents(AmountField(v.sense, false));
  v.euros = Cents(AmountField(v.sense, true));
  std::string refusal, totalsLeft;
  const AnalyticSaveOutcome outcome =
      SaveAnalyticLineRecord(*TableC50, *TableC60, lineKey_, v, &refusal, &totalsLeft);
  if (outcome == AnalyticSaveOutcome::LockRefused || !refusal.empty()) {
    gui::MessageBeep(0);
    gui::MessageBox(this, refusal.empty() ? std::string(LoadStr(kMsgLineHeld)) : refusal, LoadStr(kTitleAttention),
                    gui::MB_OK | gui::MB_ICONSTOP);
    if (outcome == AnalyticSaveOutcome::TotalsTooLarge) FocusOn(AmountField(v.sense, v.inEuros));
    return false;
  }
  if (outcome == AnalyticSaveOutcome::Failed) return false;
  // Saved over its own amount that did not read: its section's total, which still counts it, is named.
  if (!totalsLeft.empty()) {
    gui::MessageBeep(0);
    gui::MessageBox(this, totalsLeft, LoadStr(kTitleAttention), gui::MB_OK | gui::MB_ICONEXCLAMATION);
  }
  // The section's balance in the status bar, in the dossier's main currency.
  const bool euroMain = TheDossierRecord.At(DossierRecord::kEuroMainPos) != 'N';
  const std::string code = PadRight(v.section, kSectionWidth);
  ::Table* c30 = TableC30;
  if (MessageBar != nullptr && c30 != nullptr && c30->isOpen && c30->Find("C30CODE", code.c_str()).IsFound() &&
      c30->MatchRecordKey(code.c_str(), static_cast<int>(kSectionWidth), 1).HoldsKey()) {
    const long long balance = euroMain ? StoredAmountOf(*c30, 10) - StoredAmountOf(*c30, 12)
                                       : StoredAmountOf(*c30, 9) - StoredAmountOf(*c30, 11);
    MessageBar->SetText(FillPlaceholders(LoadStr(kStatusBalance), {c30->GetField(1), c30->GetField(2),
                                                                   Trimmed(BalanceAmount(balance)),
                                                                   LoadStr(euroMain ? kLabelEuros : kLabelFrancs)}));
  }
  ComputeSplitRemainder(true, false);
  RefreshPartnerList(lineKey_, 92);
  return true;
}

// ---- commands -------------------------------------------------------------------------------------------------------

void TWSaiModDetJournauxAnal::CmQuitterLigne() {
  ClearMessage();
  if (ClosingFlag) return;
  NoCheckFlag = true;
  AskOnClose = false;
  // A line whose section was never filled is not kept; a cancel refused says why (the line then stays).
  std::string refusal;
  if (TableC50 != nullptr && TableC60 != nullptr && DropBlankAnalyticLine(*TableC50, *TableC60, lineKey_, &refusal))
    RefreshPartnerList(lineKey_, 92);
  if (!refusal.empty()) {
    gui::MessageBeep(0);
    gui::MessageBox(this, refusal, LoadStr(kTitleAttention), gui::MB_OK | gui::MB_ICONSTOP);
  }
  gui::PostMessage(GetHandle(), gui::WM_CLOSE);
}

void TWSaiModDetJournauxAnal::CmEnregistrerLigne() {
  ClearMessage();
  if (ClosingFlag || Check() == kCheckInvalid) return;
  AskToClose();
}

void TWSaiModDetJournauxAnal::LeaveFor(unsigned command) {
  ClearMessage();
  if (ClosingFlag || Check() == kCheckInvalid) return;
  AskToClose();
  PostToList(command);
}

void TWSaiModDetJournauxAnal::CmNouvelleLigne() {
  if (PrintRunFlag || IsIconic()) return;
  LeaveFor(cmd::CreerLigne);
}
void TWSaiModDetJournauxAnal::CmLignePrecedente() { LeaveFor(cmd::LignePrecedente); }
void TWSaiModDetJournauxAnal::CmLigneSuivante() { LeaveFor(cmd::LigneSuivante); }

// ---- focus, layout, end ---------------------------------------------------------------------------------------

void TWSaiModDetJournauxAnal::EvSetFocus(gui::Handle lost) {
  CMDIModif::EvSetFocus(lost);
  if (!opened_) return;
  if (!IsBlank(section_->GetText())) SetRegistryText(kRegistryLastSection, 8, SectionCode(section_->GetText()));
  if (TableC50 != nullptr && TableC50->isOpen && TableC50->tag != L::kAnalyticTag) TableC50->SetOrder(L::kAnalyticTag);
  posting::SetActiveLinesWindowPosition(OwnSlot);
  for (const auto& [id, w] : controls_)
    if (w->HasFocus()) return;
  FocusOn(section_);
}

void TWSaiModDetJournauxAnal::CleanupWindow() {
  // The line's lock goes back and the sub-slot is free at once.
  if (holdsLine_ && TableC50 != nullptr && TableC50->isOpen && SeekAnalyticRecord(*TableC50, lineKey_).IsFound()) UnlockRecord(*TableC50);
  holdsLine_ = false;
  if (OwnSlot > 0) SetRegistryText(OwnSlot, kSlotLength, "");
  // The line saved, the step that waited for it goes to the list, which finds the sub-slot free.
  TakeStepAfterSave();
  CMDIModif::CleanupWindow();
}

namespace {
struct Place {
  int id, col, row, span, kind, extra;
};
}  // namespace

void TWSaiModDetJournauxAnal::ArrangeControls() {
  // The panel from column 44: its caption and the piece; the balance's label, the difference and an
  // empty frame to the panel's end; a currency's letter and its two totals on each of the last rows.
  const PanelColumns panel = PanelColumnsNeeded();
  const int totalAt = 46, splitAt = 46 + panel.total, emptyAt = 51 + panel.difference;
  const Place places[] = {
      {kPiece, 1, 1, 7, grid::Text, 6},          {kDay, 8, 1, 4, grid::Text, 2},
      {kSection, 12, 1, 10, grid::Text, 8},      {kSectionLookup, 22, 1, 3, grid::Button, 0},
      {kSectionInfo, 25, 1, 24, grid::Label, 0}, {kSectionView, 49, 1, 3, grid::Button, 0},
      {kLabelCode, 1, 2, 3, grid::Text, 1},      {kLabelCodeText, 4, 2, 8, grid::Label, 0},
      {kLabel, 12, 2, 27, grid::Text, 25},
      {kDebitButton, 1, 3, 3, grid::Button, 0},  {kDebitF, 4, 3, 13, grid::Text, kAmountWidth},
      {kCreditButton, 17, 3, 3, grid::Button, 0}, {kCreditF, 20, 3, 13, grid::Text, kAmountWidth},
      {kLetterF, 33, 3, 2, grid::Label, 0},
      {kDebitE, 4, 4, 13, grid::Text, kAmountWidth},       {kCreditE, 20, 4, 13, grid::Text, kAmountWidth},
      {kLetterE, 33, 4, 2, grid::Label, 0},      {kSense, 36, 4, 6, grid::Label, 0},
      {kEuros, 1, 5, 11, grid::Fill, 0},         {kMessage, 12, 5, 27, grid::Label, 0},
      {kPanelCaption, 44, 2, 12, grid::Label, 0}, {kPanelPiece, 56, 2, panel.grid - 56, grid::Label, 0},
      {kPanelBalance, 44, 3, 7, grid::Label, 0}, {kPanelDifference, 51, 3, panel.difference, grid::Label, 0},
      {kPanelEmpty, emptyAt, 3, panel.grid - emptyAt, grid::Label, 0},
      {kPanelF, 44, 4, 2, grid::Label, 0},       {kGeneralF, totalAt, 4, panel.total, grid::Label, 0},
      {kSplitF, splitAt, 4, panel.total, grid::Label, 0},
      {kPanelE, 44, 5, 2, grid::Label, 0},       {kGeneralE, totalAt, 5, panel.total, grid::Label, 0},
      {kSplitE, splitAt, 5, panel.total, grid::Label, 0},
  };
  for (const Place& p : places) {
    if (p.span <= 0) {
      if (gui::Window* w = ControlOf(p.id)) w->Show(gui::SW_HIDE);
      continue;
    }
    MoveFormControls(ControlOf(p.id), p.col, p.row, p.span, 1, p.kind, p.extra, 0);
  }
}

// ---- messages and commands ------------------------------------------------------------------------------------

void TWSaiModDetJournauxAnal::EvNotify(int id, unsigned code) {
  if (code == gui::EN_CHANGE && (id == kDebitF || id == kCreditF || id == kDebitE || id == kCreditE)) AmountChanged(id);
}

bool TWSaiModDetJournauxAnal::EvCommand(unsigned id) {
  if (ClosingFlag && id != cmd::Quitter) return CMDIModif::EvCommand(id);
  switch (id) {
    case cmd::SectionEnter: SectionEnter(); return true;
    case cmd::SectionLeave: SectionLeave(); return true;
    case cmd::SectionLookup: SectionLookup(); return true;
    case cmd::SectionFirst: case cmd::SectionPrior: case cmd::SectionNext: case cmd::SectionLast: SectionStep(id); return true;
    case cmd::SectionView: SectionView(); return true;
    case cmd::DebitFEnter: case cmd::CreditFEnter: case cmd::DebitEEnter: case cmd::CreditEEnter: AmountEnter(id); return true;
    case cmd::DebitFLeave: case cmd::CreditFLeave: case cmd::DebitELeave: case cmd::CreditELeave:
      ClearMessage();
      ComputeSplitRemainder(true, false);
      return true;
    case cmd::Euros: CurrencySwitch(); return true;
    case cmd::DebitButton: SwitchSense('D'); return true;
    case cmd::CreditButton: SwitchSense('C'); return true;
    default: return CMDIModif::EvCommand(id);
  }
}

const gui::ResponseTable& TWSaiModDetJournauxAnal::Table() {
  static const gui::ResponseTable table = gui::ResponseTable(&CMDIModif::Table())
                                              .Command(cmd::Quitter, &TWSaiModDetJournauxAnal::CmQuitterLigne)
                                              .Command(cmd::Enregistrer, &TWSaiModDetJournauxAnal::CmEnregistrerLigne)
                                              .Command(cmd::SolderLigne, &TWSaiModDetJournauxAnal::CmSolderLigne)
                                              .Command(cmd::SolderCompte, &TWSaiModDetJournauxAnal::CmSolderCompte)
                                              .Command(cmd::CreerLigne, &TWSaiModDetJournauxAnal::CmNouvelleLigne)
                                              .Command(cmd::LignePrecedente, &TWSaiModDetJournauxAnal::CmLignePrecedente)
                                              .Command(cmd::LigneSuivante, &TWSaiModDetJournauxAnal::CmLigneSuivante)
                                              .Enable(cmd::Quitter, &TWSaiModDetJournauxAnal::CeToujours)
                                              .Enable(cmd::Enregistrer, &CMDIModif::CeEnregistrer)
                                              .Enable(cmd::SolderLigne, &TWSaiModDetJournauxAnal::CeToujours)
                                              .Enable(cmd::SolderCompte, &TWSaiModDetJournauxAnal::CeToujours)
                                              .Enable(cmd::CreerLigne, &TWSaiModDetJournauxAnal::CeToujours)
                                              .Enable(cmd::LignePrecedente, &TWSaiModDetJournauxAnal::CeToujours)
                                              .Enable(cmd::LigneSuivante, &TWSaiModDetJournauxAnal::CeToujours);
  return table;
}

// ---- ModDetJournauxAnal --------------------------------------------------------------------------------------------

// Core: SaveAnalyticLineRecord, ComputeSplitRemainder.
void CmModDetJournauxAnal() {
  for (int offset : {kForm1, kForm2})
    for (int k = 0; k < posting::kSlotCount; ++k) {
      const int position = posting::SlotPosition(k) + offset;
      if (RegistryChar(position) == 'R' && ActivateExistingChild(position)) return;
    }
  int form = 0;
  for (int offset : {kForm2, kForm1}) {
    for (int k = 0; k < posting::kSlotCount && form == 0; ++k)
      if (RegistryChar(posting::SlotPosition(k) + offset) == '2') form = posting::SlotPosition(k) + offset;
    if (form != 0) break;
  }
  if (form == 0 || CommandWindow == nullptr) return;
  const int list = form - TWSaiModDetJournauxAnal::kListOffset;
  const std::string key = PadRight(RegistryText(form + 11, kSplitHeaderKeyLength), kSplitHeaderKeyLength);
  const std::string year = DecodeYear(key.substr(0, 2).c_str());
  const std::string title = FillPlaceholders(
      LoadStr(key[25] <= 'W' ? kTitleAxis1 : kTitleAxis2),
      {RTrim(key.substr(4, 3).c_str()), key.substr(2, 2), year.size() >= 2 ? year.substr(year.size() - 2) : year,
       key.substr(13, 8)});
  auto* window = new TWSaiModDetJournauxAnal(CommandWindow, title, form, list);
  SetChildIcon(*window, kIcon);
  PlaceChildWindow(*window, 0, 3);
  if (ProgramOption(3) != 'O') {
    // The lower third of the client area, below the lines windows.
    const gui::Rect client = CommandWindow->GetClientRect();
    const int h = std::max(client.h, 300);
    window->MoveWindow(gui::Rect{0, h - h / 3, std::max(client.w, 600), std::max(h / 3, 190)});
  }
  if (window->Create()) window->Show(gui::SW_SHOWNORMAL);
  else delete window;
  SetRegistryText(list, 1, "1");
}
