#include "entry/line_form.h"

#include <algorithm>
#include <cstdlib>

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
#include "data/table_results.h"
#include "data/table.h"
#include "entry/core/analytic_split.h"
#include "posting/balancing.h"
#include "posting/entry_state.h"
#include "posting/journal_month.h"
#include "entry/core/line_rules.h"
#include "posting/line_validation.h"
#include "entry/core/models.h"
#include "entry/entry_search_dialog.h"
#include "entry/lines_window.h"
#include "framework/dialog_bases.h"
#include "framework/lookup_registry.h"
#include "platform/gui/application.h"
#include "platform/gui/combobox.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/controls.h"
#include "platform/gui/dc.h"
#include "platform/gui/keyboard.h"
#include "platform/gui/messagebox.h"
#include "runtime/access_rights.h"
#include "runtime/code_helpers.h"
#include "runtime/dates.h"
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
using namespace line_form;

int LastEntryDay = 0;

namespace {

using L = LigneEcriture;

constexpr int kTitleAttention = 52;
// The texts of the form; a "%s" of a text takes the value its comment names.
constexpr int kLineTitle = 32413;  // "Ligne: ", the piece, the group and number, the journal, the month, the year
constexpr int kWindowTitle = 32414;  // the same, as the window's title says them
constexpr int kCaptionPieceTotals = 23030, kCaptionDueDate = 23031, kCaptionVat = 23040;
// The captions of the fields, "Jour" ... "Crédit" (the third label's is "Ref/Vrt 3" when constant 072 says so).
constexpr int kFieldDay = 23011, kFieldDistribution = 23032, kFieldAccount = 22516;
constexpr int kFieldLabelCode = 23033, kFieldLabel1 = 23034, kFieldLabel2 = 23019;
constexpr int kFieldRemittance = 23036, kFieldLabel3 = 23037, kFieldDebit = 66, kFieldCredit = 67;
constexpr int kLabelBalanceIn = 32411;  // the currency's letter
constexpr int kLetterEuros = 1083, kLetterFrancs = 2289;
constexpr int kButtonAnalytic = 23038, kButtonOtherModel = 21131;
constexpr int kCheckEuros = 19744;  // "En Eur&os"
constexpr int kTipDistributionLookup = 23050, kTipAccountLookup = 14133, kTipAccountView = 23052;
constexpr int kTipLabelCodeLookup = 23053, kTipLabelFromAccount = 23054, kTipToCredit = 16324, kTipToDebit = 16325;
constexpr int kTipAnalytic = 23057;
constexpr int kUnknownCode = 38;  // "???"
constexpr int kFirstAxisMark = 1100;  // "V": the first axis in the key a split is asked with

namespace cmd {
using child_command::Quitter;
using child_command::Enregistrer;
using child_command::SolderPiece;
using child_command::SolderJournal;
using child_command::SolderCompte;
using child_command::CreerLigne;
using child_command::CreerPiece;
using child_command::LignePrecedente;
using child_command::LigneRestore;
using child_command::LigneSuivante;
using child_command::Modele;
using child_command::AutreModele;
using child_command::ChercherMontant;
constexpr unsigned RafraichirLigne = child_command::Rafraichir;
using child_command::RafraichirTotal;
// The form's own field commands.
constexpr unsigned DayFirst = 1203, DayPrior = 1204, DayNext = 1205, DayLast = 1206, DayEnter = 1207;
constexpr unsigned DistributionEnter = 1209, DistributionLookup = 1210;
constexpr unsigned DistributionFirst = 1211, DistributionPrior = 1212, DistributionNext = 1213, DistributionLast = 1214;
constexpr unsigned AccountEnter = 1216, AccountLookup = 1217;
constexpr unsigned AccountFirst = 1218, AccountNext = 1219, AccountPrior = 1220, AccountLast = 1221;
constexpr unsigned AccountView = 1222, Analytic = 1223, LabelCodeEnter = 1225, LabelCodeLookup = 1226;
constexpr unsigned LabelCodeFirst = 1227, LabelCodePrior = 1228, LabelCodeNext = 1229, LabelCodeLast = 1230;
constexpr unsigned LabelFromAccount = 1231, Label1Enter = 1233, Label2Enter = 1235, Label3Enter = 1237;
constexpr unsigned DebitFEnter = 1239, CreditFEnter = 1241, DebitEEnter = 1244, CreditEEnter = 1246;
constexpr unsigned Euros = 1248, DueEnter = 1253, DebitButton = 1254, CreditButton = 1256, OtherModel = 1268;
constexpr unsigned VatEnter = 1271, DayLeave = 1272, DistributionLeave = 1273, AccountLeave = 1274;
constexpr unsigned LabelCodeLeave = 1275, Label1Leave = 1276, DebitFLeave = 1277, CreditFLeave = 1278;
constexpr unsigned DebitELeave = 1279, CreditELeave = 1280, DueLeave = 1281, Nothing = 1282;
// The focus of a form just opened (the form's own, posted to itself).
constexpr unsigned OpeningFocus = 24403;
}  // namespace cmd

constexpr int kFormSlotLength = 35;
constexpr int kKeyLength = 24;
constexpr int kLineIcon = 1005;
constexpr int kRegistryLastAuxiliaryAccount = 3952;
constexpr int kModelsListSlot = 247, kModelCodeWidth = 8;
constexpr int kDistributionListSlot = 23, kLabelListSlot = 157;
constexpr int kAnalyticKeyLength = 92;
// Offsets of the analytic windows' sub-slots from the form's slot.
constexpr int kAnalyticLines1 = 35, kAnalyticLines2 = 197, kAnalyticForm1 = 156, kAnalyticForm2 = 318;
constexpr std::size_t kModelRoom = 4000;

char ConstantLetter(int n) {
  const std::string c = TheDossierRecord.Constant(n);
  return c.empty() ? ' ' : c[0];
}

// A piece total grouped whole, then a blank, as its right-aligned value shows it.
std::string TotalText(long long cents) { return GroupedAmount(cents) + " "; }

// The width of a column of the plain layout: `characters` of the entry font, and never less than
// the piece's totals need, whose letter and two totals share three columns (ShareTotalsRoom): each
// total as wide as the largest one a piece holds, inside its frame.
int PlainColumnWidth(int characters) {
  const int cw = EntryCharWidth > 0 ? EntryCharWidth : 7;
  const int total = gui::ScreenTextWidth(EntryFont, TotalText(posting::kLargestAmountCents)) + 2;
  return std::max(characters * cw, (2 * (total + 3) + 2 * cw + 2) / 3);
}

// The amount of an edit in cents (blank is 0).
long long Cents(MEdit* e) { return e == nullptr ? 0 : ToCents(Val(e->GetText().c_str())); }

// The live account of a code (none for a blank one); its cancel mark read again, so that one not read is no
// account cancelled.
Lookup LiveAccount(::Table& c20, const std::string& account) {
  if (account.empty()) return Lookup::NotFound();
  const Lookup found = c20.Find("C20CODE", account.c_str()).And(c20.MatchRecordKey(account.c_str(), 8, 1).HoldsKey());
  return found.IsFound() ? c20.LiveHere() : found;
}


}  // namespace

Layout line_form::LayoutOf(char constant061) {
  switch (constant061) {
    case 'A': return Layout::A;
    case 'B': return Layout::B;
    case 'C': return Layout::C;
    default: return Layout::Plain;
  }
}

// ---- construction ---------------------------------------------------------------------------------------------

TWSaiModDetJournaux::TWSaiModDetJournaux(gui::MDIClient* client, const std::string& title, int gridColumns,
                                         int gridRows, int formSlot, int linesSlot)
    : LineFormBase(client, title, gridColumns, gridRows, formSlot, kFormSlotLength, linesSlot, kSense, kEuros),
      linesSlot_(linesSlot) {
  key_ = RegistryText(formSlot + 11, kKeyLength);
  slot_ = posting::SlotIndexOf(linesSlot);
  KeyWidth = kKeyLength;
  layout_ = LayoutOf(ConstantLetter(61));
  euroFirst_ = TheDossierRecord.At(DossierRecord::kEuroMainPos) != 'N';
  euroOnly_ = DossierIsEuroOnly();
  rate_ = TheDossierRecord.Parity();
  // A rounding line asked by the previous form is this one.
  roundingMode_ = RoundingLineFlag;
  RoundingLineFlag = 0;
  journal_ = std::string(24, ' ');
  if (posting::EnsureGeneralFile()) {
    const posting::JournalRecord j =
        posting::ReadJournal(*TableC10, posting::JournalOf(key_.substr(1, posting::kJournalMonthKeyLength)));
    if (j.found && !j.cancelled) journal_ = PadRight(j.settings, 24);
  }
  // The grid in characters: a column is one character wide (ten characters in the plain layout).
  const int cw = EntryCharWidth > 0 ? EntryCharWidth : 7;
  const int rh = EntryRowHeight > 0 ? EntryRowHeight : 16;
  MinColumnWidth = layout_ == Layout::Plain ? PlainColumnWidth(12) : cw;
  MinRowHeight = std::max(rh + 8, 26);

  toolbar_ = {9, cmd::Quitter, cmd::Enregistrer, cmd::CreerPiece, cmd::CreerLigne, cmd::LigneSuivante,
              cmd::SolderPiece, cmd::SolderJournal, cmd::SolderCompte, cmd::ChercherMontant, cmd::Modele,
              cmd::AutreModele};
  ContextCommands = toolbar_;

  auto add = [this](gui::Window* w) { return Add(w); };
  auto label = [&](int id, const std::string& text) { return static_cast<MStatic*>(add(new MStatic(this, text, id))); };
  auto value = [&](int id) { return static_cast<MEStatic*>(add(new MEStatic(this, "", id))); };
  auto edit = [this](int id, int width, unsigned enter, int kind, int decimals, bool upper) {
    return AddEdit(id, width, enter, kind, decimals, upper);
  };
  auto button = [this](int id, const std::string& text) { return AddButton(id, text); };

  label(kTotalsCaption, LoadStr(kCaptionPieceTotals));
  value(kBalance);
  label(kBalanceCaption,
        FillPlaceholder(LoadStr(kLabelBalanceIn), LoadStr(euroFirst_ ? kLetterEuros : kLetterFrancs)));
  // The piece's totals right-aligned in their cells: a small total ends where the largest does.
  for (int id : {kMainDebitTotal, kMainCreditTotal, kDebitTotalF, kCreditTotalF, kDebitTotalE, kCreditTotalE})
    value(id)->SetFlags(gui::ctl::Right);
  label(kTotalLetterF, "F");
  label(kAmountLetterF, "F");
  label(kTotalLetterE, "E");
  label(kAmountLetterE, "E");
  value(kSense);
  label(kDueCaption, LoadStr(kCaptionDueDate));
  label(kAccountInfo, "");
  label(kLabelCodeText, "");
  const std::string captions[] = {LoadStr(kFieldDay),
                                  LoadStr(kFieldDistribution),
                                  LoadStr(kFieldAccount),
                                  LoadStr(kFieldLabelCode),
                                  LoadStr(kFieldLabel1),
                                  LoadStr(kFieldLabel2),
                                  LoadStr(ConstantLetter(72) == 'O' ? kFieldRemittance : kFieldLabel3),
                                  LoadStr(kFieldDebit),
                                  LoadStr(kFieldCredit)};
  for (int i = 0; i < 9; ++i) label(kCaptionDay + i, captions[i]);
  message_ = static_cast<MRStatic*>(add(new MRStatic(this, "", kMessage)));

  MEdit* piece = edit(kPiece, 6, 1, MEdit::kText, 0, false);
  day_ = edit(kDay, 2, cmd::DayEnter, MEdit::kUnsigned, 0, false);
  distribution_ = edit(kDistribution, 2, cmd::DistributionEnter, MEdit::kText, 0, true);
  button(kDistributionLookup, "?");
  account_ = edit(kAccount, 8, cmd::AccountEnter, MEdit::kText, 0, true);
  button(kAccountLookup, "&?");
  button(kAccountView, "&V");
  button(kAnalytic, LoadStr(kButtonAnalytic));
  button(kLabelCodeLookup, "?");
  labelCode_ = edit(kLabelCode, 1, cmd::LabelCodeEnter, MEdit::kText, 0, true);
  button(kLabelFromAccount, "&L");
  label1_ = edit(kLabel1, 25, cmd::Label1Enter, MEdit::kText, 0, false);
  label2_ = edit(kLabel2, 25, cmd::Label2Enter, MEdit::kText, 0, false);
  label3_ = edit(kLabel3, 25, cmd::Label3Enter, MEdit::kText, 0, false);
  due_ = edit(kDueDate, 8, cmd::DueEnter, MEdit::kDate, 0, false);
  button(kCreditButton, "&C");
  debitF_ = edit(kDebitF, kAmountWidth, cmd::DebitFEnter, MEdit::kSigned, 2, false);
  creditF_ = edit(kCreditF, kAmountWidth, cmd::CreditFEnter, MEdit::kSigned, 2, false);
  debitE_ = edit(kDebitE, kAmountWidth, cmd::DebitEEnter, MEdit::kSigned, 2, false);
  creditE_ = edit(kCreditE, kAmountWidth, cmd::CreditEEnter, MEdit::kSigned, 2, false);
  button(kDebitButton, "&D");
  euros_ = static_cast<MCheckBox*>(add(new MCheckBox(this, kEuros, LoadStr(kCheckEuros), 1)));
  label(kVatCaption, LoadStr(kCaptionVat));
  vat_ = static_cast<MComboBox*>(add(new MComboBox(this, kVat, 20, static_cast<int>(cmd::VatEnter))));
  vat_->Keys().notify = this;
  button(kOtherModel, LoadStr(kButtonOtherModel));

  // The keys of the edits: Page Up, Page Down, Ctrl+Page Up, Ctrl+Page Down, Up, Down; F8; leaving.
  day_->SetKeyCommands(cmd::DayPrior, cmd::DayNext, cmd::DayFirst, cmd::DayLast, cmd::LignePrecedente, cmd::LigneSuivante);
  day_->SetLeaveCommand(cmd::DayLeave);
  distribution_->SetKeyCommands(cmd::DistributionPrior, cmd::DistributionNext, cmd::DistributionFirst,
                                cmd::DistributionLast, cmd::LignePrecedente, cmd::LigneSuivante);
  distribution_->SetF8Command(cmd::DistributionLookup);
  distribution_->SetLeaveCommand(cmd::DistributionLeave, ControlOf(kDistributionLookup));
  account_->SetKeyCommands(cmd::AccountPrior, cmd::AccountNext, cmd::AccountFirst, cmd::AccountLast,
                           cmd::LignePrecedente, cmd::LigneSuivante);
  account_->SetF8Command(cmd::AccountLookup);
  account_->SetLeaveCommand(cmd::AccountLeave, ControlOf(kAccountLookup), ControlOf(kAccountView));
  labelCode_->SetKeyCommands(cmd::LabelCodePrior, cmd::LabelCodeNext, cmd::LabelCodeFirst, cmd::LabelCodeLast,
                             cmd::LignePrecedente, cmd::LigneSuivante);
  labelCode_->SetF8Command(cmd::LabelCodeLookup);
  labelCode_->SetLeaveCommand(cmd::LabelCodeLeave, ControlOf(kLabelCodeLookup));
  label1_->SetKeyCommands(0, 0, 0, 0, cmd::LignePrecedente, cmd::LigneSuivante);
  label1_->SetLeaveCommand(cmd::Label1Leave, ControlOf(kLabelFromAccount));
  due_->SetKeyCommands(0, 0, 0, 0, cmd::LignePrecedente, cmd::LigneSuivante);
  due_->SetLeaveCommand(cmd::DueLeave);
  piece->SetKeyCommands(0, 0, 0, 0, cmd::LignePrecedente, cmd::LigneSuivante);
  SetAmountKeys({cmd::DebitFLeave, cmd::CreditFLeave, cmd::DebitELeave, cmd::CreditELeave}, cmd::LignePrecedente,
                cmd::LigneSuivante, kDebitButton, kCreditButton);
}

TWSaiModDetJournaux::~TWSaiModDetJournaux() = default;

std::string TWSaiModDetJournaux::LineTitle() const {
  const std::string k = PadRight(key_, kKeyLength);
  return FillPlaceholders(LoadStr(kLineTitle), {CodeLabelForType("5"), k.substr(8, 6), k.substr(14, 10),
                                                 RTrim(k.substr(5, 3).c_str()), k.substr(3, 2),
                                                 DecodeYear(k.substr(1, 2).c_str())});
}

std::string& TWSaiModDetJournaux::ModelText() {
  static std::string none;
  if (slot_ < 0 || slot_ >= posting::kSlotCount) {
    none.clear();
    return none;
  }
  return SlotModelText[static_cast<std::size_t>(slot_)];
}

gui::Handle TWSaiModDetJournaux::LinesHandle() const {
  return RegistryChar(linesSlot_) == '1' ? SlotHandle(linesSlot_) : 0;
}

// ---- loading --------------------------------------------------------------------------------------------------

void TWSaiModDetJournaux::SetupWindow() {
  CMDIModif::SetupWindow();
  BuildToolbar(ContextCommands, true);
  for (const auto& [id, w] : controls_) {
    auto* c = dynamic_cast<gui::Control*>(w);
    if (c == nullptr) continue;
    const bool assist = id == kTotalLetterF || id == kTotalLetterE || id == kAmountLetterF || id == kAmountLetterE ||
                        id == kDueCaption || id == kAccountInfo || id == kLabelCodeText || id == kVatCaption;
    c->SetFont(assist ? AssistFont : EntryFont);
  }
  if (!LoadLine()) {
    // Gone, cancelled or held by another station (its notice was shown): the form closes without a word.
    NoCheckFlag = true;
    gui::PostMessage(GetHandle(), gui::WM_CLOSE);
    return;
  }
  opened_ = true;
  // Once the window shows, the focus as a new activation gives it.
  gui::PostCommand(GetHandle(), cmd::OpeningFocus);
  const std::pair<int, std::string> tips[] = {
      {kDistributionLookup, LoadStr(kTipDistributionLookup)},
      {kAccountLookup, LoadStr(kTipAccountLookup)},
      {kAccountView, LoadStr(kTipAccountView)},
      {kLabelCodeLookup, LoadStr(kTipLabelCodeLookup)},
      {kLabelFromAccount, LoadStr(kTipLabelFromAccount)},
      {kCreditButton, LoadStr(kTipToCredit)},
      {kDebitButton, LoadStr(kTipToDebit)},
  };
  for (const auto& [id, tip] : tips)
    if (auto* b = dynamic_cast<MButton*>(ControlOf(id))) b->SetTip(tip);
  const char mode = TheDossierRecord.AnalyticMode();
  if (mode == '1' || mode == '2')
    if (auto* b = dynamic_cast<MButton*>(ControlOf(kAnalytic))) b->SetTip(LoadStr(kTipAnalytic));
}

bool TWSaiModDetJournaux::LoadLine() {
  if (TableC50 == nullptr || TableC60 == nullptr || !posting::EnsureGeneralFile()) return false;
  if (!TableC50->isOpen && !TableC50->UseShared(PathC50(), L::kCodeTag)) return false;
  if (!TableC60->isOpen && !TableC60->UseShared(PathC60(), LigneTri::kRecordTag)) return false;
  if (TableC20 != nullptr && !TableC20->isOpen) TableC20->UseShared(PathC20(), "C20CODE");
  if (TableC30 != nullptr && !TableC30->isOpen) TableC30->UseShared(PathC30(), "C30CODE");
  ::Table& c50 = *TableC50;
  // A line the disk refused to read is no line gone: said, naming the file, before the form closes.
  const Lookup line = posting::FindLine(c50, key_);
  if (line.IsRefused()) {
    gui::MessageBeep(0);
    gui::MessageBox(this, UnreadText(c50.tablePath, line.result()), LoadStr(kTitleAttention), gui::MB_OK | gui::MB_ICONSTOP);
    return false;
  }
  if (line.IsNotFound() || !LiveOrSaid(c50).IsFound()) return false;
  if (!LockRecord(c50, key_.c_str(), 0)) return false;
  holdsLine_ = true;
  loaded_ = posting::ReadLineRecord(c50);
  const std::string unreadable = UnreadableAmountsText(c50);

  auto load = [](MEdit* e, const std::string& text) { e->SetValue(AllTrim(text.c_str()), true); };
  MEdit* piece = EditOf(kPiece);
  load(piece, c50.GetField(L::BPIECE));
  piece->EnableWindow(false);
  load(day_, loaded_.day);
  load(distribution_, loaded_.distribution);
  load(account_, loaded_.account);
  load(labelCode_, loaded_.labelCode);
  load(label1_, loaded_.label1);
  load(label2_, loaded_.label2);
  load(label3_, loaded_.label3);
  due_->SetValue(IsBlank(loaded_.dueDate) ? std::string() : std::string(ConvertDate(loaded_.dueDate.c_str())), true);

  newLine_ = IsBlank(loaded_.account);
  if (newLine_) {
    toolbar_[0] = 11;
    ContextCommands = toolbar_;
    BuildToolbar(ContextCommands, true);
    if (IsBlank(loaded_.day)) ProposeDay();
  }
  if (ConstantLetter(60) == 'N') {
    distribution_->SetValue("", false);
    distribution_->EnableWindow(false);
    ControlOf(kDistributionLookup)->EnableWindow(false);
  }
  if (!newLine_) StoreSessionCode(PadRight(loaded_.account, 8).c_str());
  previousAccount_ = loaded_.account;

  const char entry = Upper(std::string(1, loaded_.entry).c_str())[0];
  euros_->SetValue(entry == 'O' || euroOnly_, true);

  vat_->ClearList();
  if (ShowVatOnReceipts()) FillVatList();
  vat_->SetValue(IsBlank(loaded_.vat) ? std::string(" ") : loaded_.vat.substr(0, 1), true);

  amountsSetting_ = true;
  const bool debit = loaded_.sense == 'D';
  (debit ? debitF_ : creditF_)->SetValue(AmountDigitsOrBlank(FromCents(ToCents(loaded_.francs))), true);
  (debit ? debitE_ : creditE_)->SetValue(AmountDigitsOrBlank(FromCents(ToCents(loaded_.euros))), true);
  (debit ? creditF_ : debitF_)->SetValue("", true);
  (debit ? creditE_ : debitE_)->SetValue("", true);
  SetSense(debit ? 'D' : 'C');
  amountsSetting_ = false;
  if (euroOnly_) HideFrancControls();

  const std::string account = NormalizeAccount(loaded_.account);
  if (!account.empty() && TableC20 != nullptr && TableC20->isOpen) {
    const Lookup found = LiveAccount(*TableC20, account);
    if (found.IsFound()) ShowAccount();
    else if (found.IsRefused()) AccountUnread(found);
  }
  if (!IsBlank(loaded_.labelCode)) ShowLabelCode(false);
  ShowPieceTotals(true, false);

  // The analytic lines that no longer belong to the line go, with their sections' totals; a removal
  // refused is said (the split then stays as it was).
  const char mode = TheDossierRecord.AnalyticMode();
  std::string refusal;
  if (mode != '1' && mode != '2') {
    posting::DeleteLineAnalytic(c50, *TableC60, key_, loaded_.account, 3, &refusal);
  } else if (accountUnread_) {
    // An account not read takes no split away.
    ControlOf(kAnalytic)->EnableWindow(false);
  } else if (!analyticAllowed_) {
    ControlOf(kAnalytic)->EnableWindow(false);
    posting::DeleteLineAnalytic(c50, *TableC60, key_, loaded_.account, 3, &refusal);
  } else if (mode == '1') {
    posting::DeleteLineAnalytic(c50, *TableC60, key_, loaded_.account, 2, &refusal);
  }
  TellRefusal(refusal);
  if (mode != '1' && mode != '2') ControlOf(kAnalytic)->EnableWindow(false);

  if (newLine_) ApplyModelLine();
  if (roundingMode_ != 0) {
    euros_->SetValue(roundingMode_ == 2, false);
    gui::PostCommand(GetHandle(), cmd::SolderPiece);
  }
  EnableAmountFields();
  TellUnreadableAmounts(unreadable);
  return true;
}

void TWSaiModDetJournaux::ProposeDay() {
  const std::string month = PadRight(key_, kKeyLength).substr(1, 4);
  std::string day;
  if (LastEntryDay > 0) {
    day = StrZero(LastEntryDay, 2);
  } else {
    Ymd working;
    if (!TheDossierRecord.DateYmd(DossierRecord::DateField::Working, working)) return;
    day = StrZero(working.day, 2);
    if (!IsValidDate((month + day).c_str())) day = std::string(PrevDay((month + day).c_str())).substr(4, 2);
  }
  // Proposed, not loaded: the new line counts as changed.
  day_->SetValue(day, false);
}

void TWSaiModDetJournaux::HideFrancControls() {
  for (int id : {int(kEuros), int(kDebitF), int(kCreditF), int(kAmountLetterF), int(kAmountLetterE),
                 int(kDebitTotalF), int(kCreditTotalF), int(kTotalLetterF), int(kTotalLetterE)})
    if (gui::Window* w = ControlOf(id)) w->Show(gui::SW_HIDE);
}

bool TWSaiModDetJournaux::ShowVatOnReceipts() {
  std::string letters;
  for (int n : {69, 70, 71}) letters += AllTrim(TheDossierRecord.Constant(n).c_str());
  const bool shown = VatOnReceiptsShown(journal_[0], ConstantLetter(21), account_->GetText(), letters);
  vat_->Show(shown ? gui::SW_SHOW : gui::SW_HIDE);
  ControlOf(kVatCaption)->Show(shown ? gui::SW_SHOW : gui::SW_HIDE);
  return shown;
}

void TWSaiModDetJournaux::FillVatList() {
  if (TableC10 == nullptr) return;
  filling_ = true;
  const std::string chosen = vat_->GetText();
  vat_->ClearList();
  for (const std::string& e : VatEntries(*TableC10)) vat_->AddString(e);
  vat_->SetValue(chosen.empty() ? std::string(" ") : chosen.substr(0, 1), false);
  filling_ = false;
}

// ---- form state -----------------------------------------------------------------------------------------------

void TWSaiModDetJournaux::SetAccountText(const std::string& text) {
  accountSetting_ = true;
  account_->SetValue(text, false);
  accountSetting_ = false;
}

void TWSaiModDetJournaux::FocusField(posting::LineField field) {
  switch (field) {
    case posting::LineField::Day: FocusOn(day_); break;
    case posting::LineField::Distribution: FocusOn(distribution_); break;
    case posting::LineField::Account: FocusOn(account_); break;
    case posting::LineField::DueDate: FocusOn(due_); break;
    case posting::LineField::DebitF: case posting::LineField::CreditF:
    case posting::LineField::DebitE: case posting::LineField::CreditE: {
      // An amount of the other currency, computed from the one typed, is refused in the one typed.
      MEdit* e = field == posting::LineField::DebitF ? debitF_ : field == posting::LineField::CreditF ? creditF_
               : field == posting::LineField::DebitE ? debitE_ : creditE_;
      FocusOn(e->IsWindowEnabled() ? e : AmountField(Sense(), EurosChecked()));
      break;
    }
    case posting::LineField::None: break;
  }
}

void TWSaiModDetJournaux::RememberValues() {
  for (MEdit* e : {day_, distribution_, account_, labelCode_, label1_, label2_, label3_, due_, debitF_, creditF_,
                   debitE_, creditE_})
    e->SetValue(e->GetText(), true);
  euros_->SetValue(euros_->IsChecked(), true);
  vat_->SetValue(vat_->GetText(), true);
}

posting::LineValues TWSaiModDetJournaux::Values() const {
  posting::LineValues v;
  v.day = posting::DayText(day_->GetText());
  v.distribution = distribution_->GetText();
  v.account = account_->GetText();
  v.labelCode = labelCode_->GetText();
  v.label1 = label1_->GetText();
  v.label2 = label2_->GetText();
  v.label3 = label3_->GetText();
  v.dueDate = due_->GetText();
  v.euros = euros_->IsChecked();
  v.sense = Sense();
  v.amounts.debitF = FromCents(Cents(debitF_));
  v.amounts.creditF = FromCents(Cents(creditF_));
  v.amounts.debitE = FromCents(Cents(debitE_));
  v.amounts.creditE = FromCents(Cents(creditE_));
  v.vat = vat_->GetText();
  return v;
}

bool TWSaiModDetJournaux::IsModified() {
  for (MEdit* e : {day_, distribution_, account_, labelCode_, label1_, label2_, label3_, due_, debitF_, creditF_,
                   debitE_, creditE_})
    if (e != nullptr && e->IsModified()) return true;
  return (euros_ != nullptr && euros_->IsModified()) || (vat_ != nullptr && vat_->IsModified());
}

// ---- account and labels ---------------------------------------------------------------------------------------

// The account found (its C20 record current): its balance, whether it takes an analytic split, the
// counterpart of an auxiliary account proposed as the model's next line, and the VAT-on-receipts list.
void TWSaiModDetJournaux::ShowAccount() {
  ::Table& c20 = *TableC20;
  const std::string account = std::string(c20.GetField(1)).substr(0, 8);
  const std::string counterpart = c20.GetField(25);
  accountUnread_ = false;
  ShowAccountBalance();
  const char mode = TheDossierRecord.AnalyticMode();
  if (mode == '1' || mode == '2') {
    bool refused = false;
    analyticAllowed_ =
        AnalyticAllowed(*TableC10, c20, account, mode, ConstantLetter(57), roundingMode_ != 0, &refused);
    ControlOf(kAnalytic)->EnableWindow(analyticAllowed_);
    if (refused) AccountUnread(Lookup::Refused(c20.result != 0 ? c20.result : kResultSystemError));
  } else {
    analyticAllowed_ = false;
  }
  if (IsAuxiliaryAccount(account)) ProposeCounterpartOf(counterpart);
  if (ShowVatOnReceipts() && vat_->GetCount() == 0) FillVatList();
}

// The account's name and balance beside it (its C20 record current); in the plain layout, whose label
// is two lines high, the balance on the second.
void TWSaiModDetJournaux::ShowAccountBalance() {
  if (auto* info = dynamic_cast<gui::Static*>(ControlOf(kAccountInfo)))
    ShowAccountBalanceC20(info, EurosChecked(), layout_ == Layout::Plain);
}

void TWSaiModDetJournaux::AccountUnknown() {
  analyticAllowed_ = false;
  accountUnread_ = false;
  gui::MessageBeep(0);
  if (auto* info = dynamic_cast<gui::Static*>(ControlOf(kAccountInfo))) info->SetText(LoadStr(kUnknownCode));
  const char mode = TheDossierRecord.AnalyticMode();
  if (mode == '1' || mode == '2') ControlOf(kAnalytic)->EnableWindow(false);
}

void TWSaiModDetJournaux::AccountUnread(const Lookup& answer) {
  analyticAllowed_ = false;
  accountUnread_ = true;
  // Said whole in a box naming the file: the name's label beside the account would cut it short.
  if (auto* info = dynamic_cast<gui::Static*>(ControlOf(kAccountInfo))) info->SetText("");
  gui::MessageBeep(0);
  gui::MessageBox(this, UnreadText(TableC20 != nullptr ? TableC20->tablePath : PathC20(), answer.result()),
                  LoadStr(kTitleAttention), gui::MB_OK | gui::MB_ICONSTOP);
  const char mode = TheDossierRecord.AnalyticMode();
  if (mode == '1' || mode == '2') ControlOf(kAnalytic)->EnableWindow(false);
}

void TWSaiModDetJournaux::AutoSense() {
  if (!noSenseInModel_ || ConstantLetter(2) != 'O' || TableC10 == nullptr) return;
  const char sense = AutoSenseOf(*TableC10, journal_[0], account_->GetText(), labelDigit_);
  if (sense == 'D') CmDebit(false);
  else if (sense == 'C') CmCredit(false);
}

void TWSaiModDetJournaux::ProposeLabel(bool focus) {
  const std::string account = NormalizeAccount(account_->GetText());
  std::string name;
  if (!account.empty() && TableC20->Find("C20CODE", account.c_str()).IsFound() && TableC20->MatchRecordKey(account.c_str(), 8, 1).IsLive())
    name = TableC20->GetField(2);
  label1_->SetValue(LabelFromAccount(label1_->GetText(), name), false);
  if (focus) FocusOn(label1_);
}

bool TWSaiModDetJournaux::ShowLabelCode(bool beepWhenUnknown) {
  labelDigit_ = '0';
  auto* text = dynamic_cast<gui::Static*>(ControlOf(kLabelCodeText));
  const std::string code = labelCode_->GetText();
  if (IsBlank(code)) {
    if (text != nullptr) text->SetText("");
    return true;
  }
  const Lookup found = posting::FindLiveC10(*TableC10, 'L', code.substr(0, 1));
  // A code not read is not taken, nor called unknown: the box names the file.
  if (found.IsRefused()) {
    if (text != nullptr) text->SetText("");
    ReportRefusedLookup(*TableC10, found, "C10CODE", code.c_str());
    return false;
  }
  if (found.IsFound()) {
    const std::string field = PadRight(TableC10->GetField(4), 8);
    if (text != nullptr) text->SetText(field.substr(0, 7));
    if (field[7] >= '1' && field[7] <= '8') labelDigit_ = field[7];
    return true;
  }
  if (text != nullptr) text->SetText(LoadStr(kUnknownCode));
  if (beepWhenUnknown) gui::MessageBeep(0);
  return false;
}

// After the labels: the due date, the VAT mark, or the amount of the line's sense.
void TWSaiModDetJournaux::AfterLabels() {
  if (DueDateAfterLabels(journal_[0], NormalizeAccount(account_->GetText()))) FocusOn(due_);
  else if (vat_->IsWindowVisible() && vat_->IsWindowEnabled()) vat_->SetFocus();
  else FocusOn(AmountField(Sense(), EurosChecked()));
}

char TWSaiModDetJournaux::HelpCharacter() const {
  const char c = ProgramOption(4);
  return c == ' ' || c == 0 ? '*' : c;
}

// The help character typed into a code field opens its lookup with the text before it.
bool TWSaiModDetJournaux::TakeHelpCharacter(MEdit* edit, unsigned lookup) {
  const std::string text = edit->GetText();
  const std::size_t at = text.find(HelpCharacter());
  if (at == std::string::npos) return false;
  edit->SetValue(text.substr(0, at), false);
  gui::PostCommand(GetHandle(), lookup);
  return true;
}

// ---- field handlers -------------------------------------------------------------------------------------------

void TWSaiModDetJournaux::DayEnter(bool moveOn) {
  ClearMessage();
  if (!posting::DayIsValid(key_, day_->GetText())) {
    SyncLinesWindow(0);
    gui::MessageBeep(0);
    Message(LoadStr(posting::kMsgDayWrong));
    FocusOn(day_);
    return;
  }
  const std::string day = posting::DayText(day_->GetText());
  if (day != day_->GetText()) day_->SetValue(day, false);
  LastEntryDay = std::atoi(day.c_str());
  if (moveOn) FocusOn(ConstantLetter(60) == 'N' ? account_ : distribution_);
}

void TWSaiModDetJournaux::DayStep(unsigned id) {
  const std::string month = PadRight(key_, kKeyLength).substr(1, 4);
  std::string day = posting::DayText(day_->GetText());
  if (!posting::DayIsValid(key_, day)) day = "01";
  const std::string date = month + day;
  if (id == cmd::DayFirst) {
    day = "01";
  } else if (id == cmd::DayPrior) {
    if (day == "01") {
      gui::MessageBeep(0);
      return;
    }
    day = std::string(PrevDay(date.c_str())).substr(4, 2);
  } else if (id == cmd::DayNext) {
    const std::string next = NextDay(date.c_str());
    if (next.substr(0, 4) != month) {
      gui::MessageBeep(0);
      return;
    }
    day = next.substr(4, 2);
  } else {
    std::string d = date;
    for (std::string next = NextDay(d.c_str()); next.substr(0, 4) == month; next = NextDay(d.c_str())) d = next;
    day = d.substr(4, 2);
  }
  day_->SetValue(day, false);
}

void TWSaiModDetJournaux::DistributionEnter(bool moveOn) {
  ClearMessage();
  const std::string code = distribution_->GetText();
  if (IsBlank(code)) {
    if (moveOn) FocusOn(account_);
    return;
  }
  if (moveOn && TakeHelpCharacter(distribution_, cmd::DistributionLookup)) return;
  const posting::FieldCheck d = posting::CheckDistribution(*TableC10, *TableC20, code);
  // A code not read puts no account: the box names the file.
  if (d.message == posting::kMsgDistributionUnread) {
    gui::MessageBeep(0);
    gui::MessageBox(this, UnreadText(TableC10->tablePath, TableC10->result), LoadStr(kTitleAttention),
                    gui::MB_OK | gui::MB_ICONSTOP);
    FocusOn(distribution_);
    return;
  }
  if (d.message == posting::kMsgDistributionUnknown) {
    gui::MessageBeep(0);
    Message(LoadStr(d.message));
    FocusOn(distribution_);
    return;
  }
  SetAccountText(d.account);
  if (d.accountLive) {
    ShowAccount();
    if (IsAuxiliaryAccount(d.account) || IsBlank(label1_->GetText())) ProposeLabel(false);
    AutoSense();
  }
  if (moveOn) FocusOn(labelCode_);
}

void TWSaiModDetJournaux::DistributionLookup() {
  std::string code;
  const char answer = LookupC10Code(distribution_, cmd::DistributionLookup, "V", 2, command_id::DonneesVentilations,
                                    kDistributionListSlot, nullptr, &code);
  if (answer == kLookupListOpened || answer == kLookupListRepositioned) return;
  const Lookup chosen = answer == kLookupFound ? posting::FindLiveC10(*TableC10, 'V', PadRight(code, 2)) : Lookup::NotFound();
  // The code chosen, not read again, puts no account: the box names the file.
  ReportRefusedLookup(*TableC10, chosen, "C10CODE", code.c_str());
  if (chosen.IsFound()) {
    const std::string account = NormalizeAccount(PadRight(TableC10->GetField(4), 8).substr(0, 8));
    SetAccountText(account);
    const Lookup found = LiveAccount(*TableC20, account);
    if (found.IsFound()) {
      ShowAccount();
      if (IsAuxiliaryAccount(account)) ProposeLabel(false);
      AutoSense();
    } else if (found.IsRefused()) {
      AccountUnread(found);
    } else {
      AccountUnknown();
    }
  }
  FocusOn(distribution_);
}

void TWSaiModDetJournaux::AccountEnter(bool moveOn) {
  ClearMessage();
  if (moveOn && TakeHelpCharacter(account_, cmd::AccountLookup)) return;
  if (std::string(AllTrim(account_->GetText().c_str())) == "00000000") SetAccountText("");
  const posting::FieldCheck a = posting::CheckAccount(*TableC10, *TableC20, journal_[0], account_->GetText(), !moveOn,
                                                      ConstantLetter(6), ConstantLetter(7));
  if (a.message != 0) {
    SyncLinesWindow(0);
    AccountUnknown();
    Message(LoadStr(a.message));
    FocusOn(account_);
    return;
  }
  if (a.account.empty()) return;  // left blank: nothing to test yet
  ShowAccount();
  if (IsAuxiliaryAccount(a.account) || IsBlank(label1_->GetText())) ProposeLabel(false);
  if (moveOn) {
    AutoSense();
    FocusOn(labelCode_);
  }
}

void TWSaiModDetJournaux::AccountLookup() {
  auto* info = dynamic_cast<gui::Static*>(ControlOf(kAccountInfo));
  const char answer = LookupC20Code(account_, cmd::AccountLookup, info);
  if (answer == kLookupListOpened || answer == kLookupListRepositioned) return;
  if (answer == kLookupFound) ShowAccount();
  else AccountUnknown();
  FocusOn(account_);
}

void TWSaiModDetJournaux::AccountView() {
  const std::string account = PadRight(NormalizeAccount(account_->GetText()), 8);
  StoreSessionCode(account.c_str());
  gui::SendCommand(MainWindowHandle, command_id::EtaCompte);
}

void TWSaiModDetJournaux::LabelCodeEnter(bool moveOn) {
  ClearMessage();
  if (moveOn && TakeHelpCharacter(labelCode_, cmd::LabelCodeLookup)) return;
  const bool known = ShowLabelCode(true);
  if (known && !IsBlank(labelCode_->GetText())) AutoSense();
  if (!moveOn) return;
  FocusOn(known ? label1_ : labelCode_);
}

void TWSaiModDetJournaux::LabelCodeLookup() {
  std::string code;
  const char answer = LookupC10Code(labelCode_, cmd::LabelCodeLookup, "L", 1, command_id::DonneesLibelles,
                                    kLabelListSlot, nullptr, &code);
  if (answer == kLookupListOpened || answer == kLookupListRepositioned) return;
  ShowLabelCode(false);
  if (answer == kLookupFound) AutoSense();
  FocusOn(labelCode_);
}

void TWSaiModDetJournaux::LabelEnter(int id) {
  if (id == kLabel1 && layout_ != Layout::A) FocusOn(label2_);
  else if (id == kLabel2) FocusOn(label3_);
  else AfterLabels();
}

void TWSaiModDetJournaux::DueDateEnter(bool moveOn) {
  if (!IsBlank(due_->GetText()) && !posting::DueDateIsValid(key_, day_->GetText(), due_->GetText())) {
    gui::MessageBeep(0);
    Message(LoadStr(posting::kMsgDueDateWrong));
    FocusOn(due_);
    return;
  }
  if (!moveOn) return;
  if (vat_->IsWindowVisible() && vat_->IsWindowEnabled()) vat_->SetFocus();
  else FocusOn(AmountField(Sense(), EurosChecked()));
}

void TWSaiModDetJournaux::AmountEnter(unsigned id) {
  ClearMessage();
  ShowPieceTotals(true, false);
  const bool debit = id == cmd::DebitFEnter || id == cmd::DebitEEnter;
  const bool euros = id == cmd::DebitEEnter || id == cmd::CreditEEnter;
  MEdit* field = AmountField(debit ? 'D' : 'C', euros);
  if (Cents(field) == 0) {
    FocusOn(AmountField(debit ? 'C' : 'D', euros));
    return;
  }
  if (!debit && TableC20 != nullptr && posting::CashAccountWouldBeCredit(*TableC20, account_->GetText(), EurosChecked(), Values(), loaded_)) {
    gui::MessageBeep(0);
    if (gui::MessageBox(gui::Window::FromHandle(MainWindowHandle), LoadStr(posting::kMsgCashCredit),
                        LoadStr(kTitleAttention), gui::MB_YESNO | gui::MB_ICONQUESTION) == gui::IDYES) {
      FocusOn(field);
      return;
    }
  }
  if (analyticAllowed_ && !splitDone_) {
    CmAnalytique();
    return;
  }
  // The piece's balances, the form's line included, were left by the totals above: the next-line step reads them.
  if (!ValidateAndClose()) return;
  NextLineStep();
}

void TWSaiModDetJournaux::AmountLeave() {
  ClearMessage();
  ShowPieceTotals(true, false);
}

void TWSaiModDetJournaux::VatEnter() { FocusOn(AmountField(Sense(), EurosChecked())); }

void TWSaiModDetJournaux::StepCode(unsigned id) {
  switch (id) {
    case cmd::DistributionFirst: FirstC10Code(distribution_, "V", 2, nullptr); break;
    case cmd::DistributionPrior: PriorC10Code(distribution_, "V", 2, nullptr); break;
    case cmd::DistributionNext: NextC10Code(distribution_, "V", 2, nullptr); break;
    case cmd::DistributionLast: LastC10Code(distribution_, "V", 2, nullptr); break;
    case cmd::LabelCodeFirst: FirstC10Code(labelCode_, "L", 1, nullptr); ShowLabelCode(false); break;
    case cmd::LabelCodePrior: PriorC10Code(labelCode_, "L", 1, nullptr); ShowLabelCode(false); break;
    case cmd::LabelCodeNext: NextC10Code(labelCode_, "L", 1, nullptr); ShowLabelCode(false); break;
    case cmd::LabelCodeLast: LastC10Code(labelCode_, "L", 1, nullptr); ShowLabelCode(false); break;
    default: {
      bool done = false;
      if (id == cmd::AccountFirst) done = FirstC20Code(account_, nullptr);
      else if (id == cmd::AccountPrior) done = PriorC20Code(account_, nullptr);
      else if (id == cmd::AccountNext) done = NextC20Code(account_, nullptr);
      else done = LastC20Code(account_, nullptr);
      if (done) ShowAccountBalance();
      break;
    }
  }
}

// ---- commands of the line -------------------------------------------------------------------------------------

void TWSaiModDetJournaux::CmDebit(bool moveFocus) { SwitchSense('D', moveFocus); }
void TWSaiModDetJournaux::CmCredit(bool moveFocus) { SwitchSense('C', moveFocus); }

void TWSaiModDetJournaux::SwitchSense(char to, bool moveFocus) {
  ClearMessage();
  if (Sense() != to) {
    amountsSetting_ = true;
    MoveAmountsTo(to);
    ShowPieceTotals(true, false);
    amountsSetting_ = false;
  }
  if (moveFocus) FocusOn(AmountField(to, EurosChecked()));
}

void TWSaiModDetJournaux::EvChangeMontant(int id) {
  const int i = id == kDebitF ? 0 : id == kCreditF ? 1 : id == kDebitE ? 2 : 3;
  if (guards_[i] || amountsSetting_ || !opened_) return;
  ClearMessage();
  for (bool& g : guards_) g = true;
  FollowTypedAmount(id);
  ShowPieceTotals(true, false);
  for (bool& g : guards_) g = false;
}

void TWSaiModDetJournaux::EvChangeVentilation() {
  if (accountSetting_ || !opened_) return;
  ClearMessage();
  account_->EnableWindow(IsBlank(distribution_->GetText()));
}

void TWSaiModDetJournaux::CmEnEuros() {
  if (euroOnly_) euros_->SetValue(true, true);
  else EnableAmountFields();
  if (!IsBlank(account_->GetText())) FocusOn(AmountField(Sense(), EurosChecked()));
  else FocusOn(day_);
  // The balance line of the currency now typed.
  ShowPieceTotals(true, false);
}

void TWSaiModDetJournaux::CmAnalytique() {
  ClearMessage();
  if (!analyticAllowed_) {
    gui::MessageBeep(0);
    return;
  }
  if (Check() == posting::kLineRefused) return;
  if (!Save()) return;
  RememberValues();
  // The split shows and types its lines in the currency of the line.
  LastAnalyticEntryInEuros = EurosChecked();
  const posting::LineValues v = Values();
  const std::string k = PadRight(key_, kKeyLength);
  const char sense = Sense();
  auto amount = [&](bool euros) {
    const long long cents = sense == 'D' ? Cents(AmountField('D', euros)) : -Cents(AmountField('C', euros));
    return AmountText14(FromCents(cents));
  };
  std::string split = k.substr(1, 13) + PadRight(NormalizeAccount(v.account), 8) + k.substr(20, 4);
  const std::string tail = std::string(4, ' ') + k.substr(14, 6) + PadRight(v.day, 2) + PadRight(v.labelCode, 1) +
                           PadRight(v.label1, 25) + amount(false) + amount(true);
  auto ask = [&](int offset, char axis) {
    const int position = OwnSlot + offset;
    const std::string wanted = split + axis + tail;
    if (RegistryChar(position) == '1') {
      if (RegistryText(position + 11, 25) != wanted.substr(0, 25)) gui::MessageBeep(0);
      SetRegistryText(position, 1, "R");
    } else {
      SetRegistryText(position + 11, kAnalyticKeyLength, "");
      SetRegistryText(position + 11, kAnalyticKeyLength, wanted);
      SetRegistryText(position, 1, "2");
    }
    gui::PostCommand(MainWindowHandle, command_id::BroDetJournauxAnal);
  };
  if (TheDossierRecord.AnalyticMode() == '2') ask(kAnalyticLines2, 'X');
  ask(kAnalyticLines1, LoadStr(kFirstAxisMark)[0]);
  splitDone_ = true;
  amountFocus_ = true;
}

bool TWSaiModDetJournaux::AnalyticWindowOpen() {
  for (int offset : {kAnalyticForm2, kAnalyticLines2, kAnalyticForm1, kAnalyticLines1}) {
    const int position = OwnSlot + offset;
    if (RegistryChar(position) != '1') continue;
    SyncLinesWindow(SlotHandle(position));
    gui::MessageBeep(0);
    return true;
  }
  return false;
}

void TWSaiModDetJournaux::SyncLinesWindow(gui::Handle handle) {
  if (const gui::Handle lines = LinesHandle()) {
    SetRegistryText(linesSlot_ + posting::kSlotRestoreOffset, posting::kRestoreKeyLength, key_);
    gui::SendCommand(lines, cmd::LigneRestore);
  }
  ActivateWindowHandle(handle);
}

bool TWSaiModDetJournaux::ValidateAndClose() {
  ClearMessage();
  if (AnalyticWindowOpen() || Check() == posting::kLineRefused) return false;
  AskToClose();
  return true;
}

void TWSaiModDetJournaux::StepLinesWindow(unsigned message, std::uintptr_t param, int roundingFlag) {
  StepAfterSave([this, message, param, roundingFlag] {
    const gui::Handle lines = LinesHandle();
    if (lines == 0) return;
    if (roundingFlag != 0) RoundingLineFlag = roundingFlag;
    gui::PostMessage(lines, message, param);
  });
}

// After a line accepted on Enter in an amount: a new line asks for the next line, a new piece or a rounding
// line as the piece's balances say; an existing line moves the lines window to the next line.
void TWSaiModDetJournaux::NextLineStep() {
  if (LinesHandle() == 0) return;
  if (!newLine_) {
    StepLinesWindow(gui::WM_KEYDOWN, gui::VK_DOWN);
    return;
  }
  posting::Balances piece;
  piece.debitF = pieceBalanceF_;
  piece.debitE = pieceBalanceE_;
  const posting::NextLine next = posting::NextLineAfter(piece, EurosChecked(), euroOnly_);
  if (next.step == posting::NextStep::NewLine) StepLinesWindow(gui::WM_COMMAND, cmd::CreerLigne, next.roundingFlag);
  else if (next.step == posting::NextStep::NewPiece) StepLinesWindow(gui::WM_COMMAND, cmd::CreerPiece, next.roundingFlag);
  else if (next.roundingFlag != 0) RoundingLineFlag = next.roundingFlag;
}

// ---- navigation, new line, quit and save ----------------------------------------------------------------------

void TWSaiModDetJournaux::CmLigneSuivante() {
  if (PrintRunFlag || IsIconic()) return;
  ClearMessage();
  if (Check() != posting::kLineRefused && ValidateAndClose()) StepLinesWindow(gui::WM_COMMAND, cmd::LigneSuivante);
}

void TWSaiModDetJournaux::CmLignePrecedente() {
  if (PrintRunFlag || IsIconic()) return;
  ClearMessage();
  if (Check() != posting::kLineRefused && ValidateAndClose()) StepLinesWindow(gui::WM_COMMAND, cmd::LignePrecedente);
}

void TWSaiModDetJournaux::CmNouvelleLigne() {
  if (PrintRunFlag || IsIconic()) return;
  ClearMessage();
  if (Check() != posting::kLineRefused && ValidateAndClose() && !AutomaticRoundingLine())
    StepLinesWindow(gui::WM_COMMAND, cmd::CreerLigne);
}

void TWSaiModDetJournaux::CmNouvellePiece() {
  if (PrintRunFlag || IsIconic()) return;
  ClearMessage();
  if (Check() != posting::kLineRefused && ValidateAndClose() && !AutomaticRoundingLine())
    StepLinesWindow(gui::WM_COMMAND, cmd::CreerPiece);
}

void TWSaiModDetJournaux::CmQuitterLigne() {
  ClearMessage();
  if (ClosingFlag || AnalyticWindowOpen()) return;
  GiveUpNewLine();
  gui::PostMessage(GetHandle(), gui::WM_CLOSE);
}

void TWSaiModDetJournaux::GiveUpNewLine() {
  NoCheckFlag = true;
  AskOnClose = false;
  std::string refusal;
  if (TableC50 != nullptr && TableC60 != nullptr && posting::RemoveEmptyNewLine(*TableC50, *TableC60, key_, &refusal))
    RefreshLines();
  // A cancel refused: the empty line stays, and the user is told why before the form goes.
  TellRefusal(refusal);
}

bool TWSaiModDetJournaux::BlankNewLine() const {
  return newLine_ && IsBlank(account_->GetText()) && IsBlank(distribution_->GetText()) && Cents(debitF_) == 0 &&
         Cents(creditF_) == 0 && Cents(debitE_) == 0 && Cents(creditE_) == 0;
}

void TWSaiModDetJournaux::CmEnregistrerLigne() {
  ClearMessage();
  if (ClosingFlag) return;
  if (!AnalyticWindowOpen() && Check() != posting::kLineRefused) AskToClose();
  AutomaticRoundingLine();
}

void TWSaiModDetJournaux::CeEnregistrerLigne(gui::CommandEnabler& ce) {
  ce.Enable(!ClosingFlag && !PrintRunFlag && !IsIconic() && IsModified());
}

void TWSaiModDetJournaux::CmRechercheEcriture() {
  const long long cents = Cents(AmountField(Sense(), EurosChecked()));
  TDRechercheEcriture dialog(this, AmountDigitsOrBlank(FromCents(cents)), key_.substr(1, posting::kJournalMonthKeyLength));
  if (dialog.Execute(kTaskModal) == gui::IDOK) ShowSearchTarget(this, SearchTargetKey);
}

// ---- balancing ------------------------------------------------------------------------------------------------

void TWSaiModDetJournaux::ShowPieceTotals(bool includeForm, bool asBalanced) {
  if (TableC50 == nullptr || !TableC50->isOpen) return;
  const posting::TypedLine typed = posting::TypedLineOf(Values());
  const posting::Balances b = posting::SumPiece(*TableC50, key_, includeForm ? &typed : nullptr);
  auto show = [this](int id, const std::string& text) {
    if (auto* s = dynamic_cast<MEStatic*>(ControlOf(id))) {
      s->SetText(text);
      s->DrawFrame();
    }
  };
  long long debitF = b.debitF, creditF = b.creditF, debitE = b.debitE, creditE = b.creditE;
  if (asBalanced) {
    // The totals as they will be once the line has taken the balance.
    if (b.BalanceF() < 0) debitF -= b.BalanceF();
    else creditF += b.BalanceF();
    if (b.BalanceE() < 0) debitE -= b.BalanceE();
    else creditE += b.BalanceE();
  }
  show(kDebitTotalF, TotalText(debitF));
  show(kCreditTotalF, TotalText(creditF));
  show(kDebitTotalE, TotalText(debitE));
  show(kCreditTotalE, TotalText(creditE));
  const bool euros = EurosChecked();
  show(kMainDebitTotal, TotalText(euros ? debitE : debitF));
  show(kMainCreditTotal, TotalText(euros ? creditE : creditF));
  if (asBalanced) ShowBalanceLine(0, 0);
  else ShowBalanceLine(euros ? b.debitE : b.debitF, euros ? b.creditE : b.creditF);
  pieceBalanceF_ = b.BalanceF();
  pieceBalanceE_ = b.BalanceE();
}

void TWSaiModDetJournaux::ShowBalanceLine(long long debit, long long credit) {
  if (auto* c = dynamic_cast<gui::Static*>(ControlOf(kBalanceCaption)))
    c->SetText(FillPlaceholder(LoadStr(kLabelBalanceIn), LoadStr(EurosChecked() ? kLetterEuros : kLetterFrancs)));
  if (auto* v = dynamic_cast<MEStatic*>(ControlOf(kBalance))) {
    v->SetText(debit == credit ? std::string() : Trimmed(BalanceAmount(debit - credit)));
    v->DrawFrame();
  }
}

// The line takes the opposite of a balance in the entry currency (the other currency converted, or left
// empty without `convert`), on the side that balances it.
void TWSaiModDetJournaux::PutBalanceInLine(bool convert, long long balanceF, long long balanceE) {
  amountsSetting_ = true;
  for (MEdit* e : {debitF_, creditF_, debitE_, creditE_}) e->SetValue("", false);
  const bool euros = EurosChecked();
  const posting::BalancingLine line = posting::LineTaking(balanceF, balanceE, euros, convert, rate_);
  if (line.hasFrancs || line.hasEuros) {
    SetSense(line.sense);
    if (line.hasFrancs) AmountField(line.sense, false)->SetValue(AmountDigits(FromCents(line.francs)), false);
    if (line.hasEuros) AmountField(line.sense, true)->SetValue(AmountDigits(FromCents(line.euros)), false);
  }
  amountsSetting_ = false;
  MEdit* field = AmountField(Sense(), euros);
  field->FocusSelect(false);
}

// An empty account takes the journal's counterpart; a general account is filled with "0" to 8.
void TWSaiModDetJournaux::FillCounterpartAccount() {
  accountSetting_ = true;
  if (IsBlank(account_->GetText())) account_->SetValue(AllTrim(journal_.substr(1, 8).c_str()), false);
  if (!IsBlank(account_->GetText()) && !IsAuxiliaryAccount(account_->GetText()))
    account_->SetValue(NormalizeAccount(account_->GetText()), false);
  accountSetting_ = false;
}

bool TWSaiModDetJournaux::RefuseUnreadBalance(bool refused) {
  if (!refused) return false;
  gui::MessageBeep(0);
  gui::MessageBox(this, ReadErrorText(TableC50->tablePath), LoadStr(kTitleAttention), gui::MB_OK | gui::MB_ICONSTOP);
  return true;
}

bool TWSaiModDetJournaux::RefuseUnreadableBalance(const std::vector<UnreadableAmountLine>& lines) {
  if (lines.empty()) return false;
  gui::MessageBeep(0);
  gui::MessageBox(this, UnreadableAmountsMessage(lines), UnreadableAmountsCaption(), gui::MB_OK | gui::MB_ICONEXCLAMATION);
  return true;
}

void TWSaiModDetJournaux::CmSolderPiece() {
  ClearMessage();
  // Lines not read make no balance: nothing is put in the line.
  const posting::Balances piece = posting::SumPiece(*TableC50, key_, nullptr);
  if (RefuseUnreadBalance(piece.refused) || RefuseUnreadableBalance(piece.unreadable)) return;
  FillCounterpartAccount();
  ShowPieceTotals(false, true);
  PutBalanceInLine(roundingMode_ == 0, pieceBalanceF_, pieceBalanceE_);
  if (roundingMode_ != 0) SetAccountText(RoundingAccount(Sense() == 'D'));
  ClearMessage();
  if (Check() == posting::kLineRefused) return;
  if (!ValidateAndClose()) return;
  ShowPieceTotals(true, false);
  const bool entryEuros = EurosChecked();
  const bool balancedOther = entryEuros ? pieceBalanceF_ == 0 : pieceBalanceE_ == 0;
  if (euroOnly_ || balancedOther) {
    ModelText().clear();
    return;
  }
  StepLinesWindow(gui::WM_COMMAND, cmd::CreerLigne, entryEuros ? 1 : 2);
}

void TWSaiModDetJournaux::CmSolderCompte() {
  ClearMessage();
  accountSetting_ = true;
  if (!IsBlank(account_->GetText()) && !IsAuxiliaryAccount(account_->GetText()))
    account_->SetValue(NormalizeAccount(account_->GetText()), false);
  accountSetting_ = false;
  const std::string account = NormalizeAccount(account_->GetText());
  ::Table& c20 = *TableC20;
  const Lookup found = LiveAccount(c20, account);
  // An account not read proposes nothing, and says why.
  if (found.IsRefused()) return AccountUnread(found);
  if (found.IsNotFound()) {
    gui::MessageBeep(0);
    return;
  }
  // The account's totals hold the line as it was loaded: that part comes off, not the amounts typed since.
  // A total that does not read proposes nothing.
  const posting::Pair balance = posting::AccountBalanceWithoutLine(c20, account, loaded_);
  if (!balance.unreadable.empty() || !balance.lineUnreadable.empty()) {
    gui::MessageBeep(0);
    gui::MessageBox(this,
                    !balance.unreadable.empty() ? posting::UnreadTotalRefusal(balance.unreadable)
                                                : posting::UnreadLineRefusal(balance.lineUnreadable),
                    UnreadableAmountsCaption(), gui::MB_OK | gui::MB_ICONEXCLAMATION);
    return;
  }
  PutBalanceInLine(true, balance.francs, balance.euros);
  ShowPieceTotals(true, false);
}

void TWSaiModDetJournaux::CmSolderJournal() {
  ClearMessage();
  const posting::Balances journal = posting::JournalBalanceWithout(*TableC50, key_);
  if (RefuseUnreadBalance(journal.refused) || RefuseUnreadableBalance(journal.unreadable)) return;
  FillCounterpartAccount();
  PutBalanceInLine(true, journal.BalanceF(), journal.BalanceE());
  ShowPieceTotals(true, false);
  ClearMessage();
  if (Check() == posting::kLineRefused) return;
  if (!ValidateAndClose()) return;
  AutomaticRoundingLine();
  ModelText().clear();
}

bool TWSaiModDetJournaux::AutomaticRoundingLine() {
  ShowPieceTotals(true, false);
  posting::Balances piece;
  piece.debitF = pieceBalanceF_;
  piece.debitE = pieceBalanceE_;
  const int flag = posting::RoundingLineWanted(piece, EurosChecked(), euroOnly_);
  if (flag == 0) return false;
  StepLinesWindow(gui::WM_COMMAND, cmd::CreerLigne, flag);
  return true;
}

// ---- models ---------------------------------------------------------------------------------------------------

void TWSaiModDetJournaux::ApplyModelLine() {
  const std::string& text = ModelText();
  const ModelLine m = ReadModelLine(text);
  noSenseInModel_ = m.sense == ' ';
  gui::Window* target = nullptr;
  unsigned lookup = 0;
  if (m.hasAccount) {
    const std::string current = AllTrim(account_->GetText().c_str());
    const std::size_t n = std::min(current.size(), m.account.size());
    const bool agree = !m.account.empty() && !current.empty() && current.compare(0, n, m.account, 0, n) == 0;
    if (!agree) {
      const std::string account = NormalizeAccount(m.account);
      SetAccountText(account);
      const Lookup found = LiveAccount(*TableC20, account);
      if (found.IsFound()) {
        ShowAccount();
        if (IsAuxiliaryAccount(account) || IsBlank(label1_->GetText())) ProposeLabel(false);
        AutoSense();
      } else {
        if (found.IsRefused()) AccountUnread(found);
        else AccountUnknown();
        SetAccountText(m.account);
        if (m.lookup) lookup = cmd::AccountLookup;
      }
    }
    target = account_;
  }
  if (!IsBlank(m.labelCode)) {
    labelCode_->SetValue(m.labelCode, false);
    if (ShowLabelCode(true)) {
      AutoSense();
    } else {
      if (target == nullptr) target = labelCode_;
      if (lookup == 0) lookup = cmd::LabelCodeLookup;
    }
  }
  if (m.hasLabel) label1_->SetValue(m.label, false);
  if (m.sense != ' ') {
    SwitchSense(m.sense, false);
    if (target == nullptr) target = AmountField(m.sense, EurosChecked());
  }
  amountsSetting_ = true;
  const char sense = Sense();
  const bool euros = EurosChecked();
  if (m.amount == ModelLine::Amount::Balance) {
    amountsSetting_ = false;
    ShowPieceTotals(false, true);
    PutBalanceInLine(true, pieceBalanceF_, pieceBalanceE_);
  } else {
    if (m.amount == ModelLine::Amount::Value) {
      AmountField(sense == 'D' ? 'C' : 'D', false)->SetValue("", false);
      AmountField(sense == 'D' ? 'C' : 'D', true)->SetValue("", false);
      MEdit* typed = AmountField(sense, euros);
      MEdit* other = AmountField(sense, !euros);
      typed->SetValue(AmountDigits(FromCents(ToCents(m.value))), false);
      if (euros) ConvertAmountByRate(*typed, *other);
      else ConvertAmountByInverseRate(*typed, *other);
    } else {
      for (MEdit* e : {debitF_, creditF_, debitE_, creditE_}) e->SetValue("", false);
    }
    amountsSetting_ = false;
    ShowPieceTotals(true, false);
  }
  // The amount of the entry currency (the other one is not typed).
  if (target == nullptr) target = AmountField(sense, euros);
  FocusOn(target);
  if (lookup != 0) gui::PostCommand(GetHandle(), lookup);
}

void TWSaiModDetJournaux::CmCompteSuivantModele() {
  std::string& text = ModelText();
  if (NextModelLine(text)) {
    ApplyModelLine();
    return;
  }
  const std::string counterpart = AllTrim(journal_.substr(1, 8).c_str());
  if (!counterpart.empty()) {
    SetAccountText(counterpart);
    ShowPieceTotals(false, true);
    PutBalanceInLine(true, pieceBalanceF_, pieceBalanceE_);
    ClearMessage();
    FocusOn(account_);
    return;
  }
  gui::MessageBeep(0);
  FocusOn(account_);
}

void TWSaiModDetJournaux::CmAutreModele() {
  const std::string ownHandle = RegistryText(OwnSlot + 1, 10);
  std::string code;
  if (TakeLookupAnswer(kModelsListSlot, kModelCodeWidth, ownHandle, code)) {
    SyncLinesWindow(0);
    std::string memo;
    const Lookup model = posting::FindLiveC10(*TableC10, 'M', code);
    // A model not read applies nothing: the box names the file.
    ReportRefusedLookup(*TableC10, model, "C10CODE", code.c_str());
    if (model.IsRefused()) return;
    if (model.IsFound() && TableC10->GetMemoText(7, memo)) {
      if (memo.size() > kModelRoom) memo.resize(kModelRoom);
      const std::size_t end = memo.find('\x1A');
      if (end != std::string::npos) memo.resize(end);
      ModelText() = posting::TidyModelText(memo);
    } else {
      gui::MessageBeep(0);
    }
    ApplyModelLine();
    return;
  }
  WriteLookupRequest(kModelsListSlot, kModelCodeWidth, "", OwnSlot + 1, ownHandle, cmd::OtherModel);
  const gui::Handle list = SlotHandle(kModelsListSlot);
  const char flag = RegistryChar(kModelsListSlot);
  if (flag == ' ' || flag == 0 || !gui::IsWindow(list)) {
    ChildLayoutMode = 8;
    gui::PostCommand(MainWindowHandle, command_id::DonneesModeles);
    return;
  }
  SyncLinesWindow(list);
  gui::PostCommand(list, form_cmd::ListReposition);
}

void TWSaiModDetJournaux::ProposeCounterpartOf(const std::string& counterpart) {
  const char type = journal_[0];
  if (!newLine_ || !(type == 'A' || type == 'V' || (type == 'T' && ConstantLetter(5) == 'O'))) return;
  ProposeCounterpart(ModelText(), counterpart);
}

// ---- validation and save --------------------------------------------------------------------------------------

int TWSaiModDetJournaux::Check() {
  ClearMessage();
  posting::ValidationRequest request;
  request.key = key_;
  request.journalType = journal_[0];
  request.values = Values();
  request.noCheck = NoCheckFlag;
  request.modified = IsModified();
  request.constant006 = ConstantLetter(6);
  request.constant007 = ConstantLetter(7);
  const posting::Validation v = posting::ValidateLineValues(*TableC10, *TableC20, request);
  if (v.accountFromDistribution) SetAccountText(v.account);
  if (v.accountEmptied) SetAccountText("");
  if (v.answer != posting::kLineRefused) {
    if (!NoCheckFlag && v.accountLive) ShowAccount();
    return v.answer;
  }
  const bool accountField = v.focus == posting::LineField::Distribution || v.focus == posting::LineField::Account;
  if (v.focus == posting::LineField::Day || accountField) SyncLinesWindow(0);
  if (accountField) AccountUnknown();
  else gui::MessageBeep(0);
  Message(v.text);
  FocusField(v.focus);
  return posting::kLineRefused;
}

bool TWSaiModDetJournaux::Save() {
  if (!IsModified()) return true;
  posting::SaveRequest request;
  request.key = key_;
  request.values = Values();
  request.roundingLine = roundingMode_ != 0;
  request.analyticAllowed = analyticAllowed_;
  request.previousAccount = previousAccount_;
  const posting::SaveResult r = posting::SaveLineRecord(*TableC50, *TableC60, request);
  if (r.outcome == posting::SaveOutcome::LockRefused) {
    gui::MessageBeep(0);
    gui::MessageBox(this, LoadStr(posting::kMsgLockRefused), LoadStr(kTitleAttention), gui::MB_OK | gui::MB_ICONSTOP);
    return false;
  }
  if (r.outcome == posting::SaveOutcome::Failed || r.outcome == posting::SaveOutcome::TotalsTooLarge) {
    // The save's one sentence: a total that cannot hold the amount, named with the largest amount it
    // takes; a write or a read refused, its file and why, and whether the line and its totals are
    // back as they were.
    const posting::LineValues& v = request.values;
    gui::MessageBeep(0);
    gui::MessageBox(this, r.refusal, LoadStr(kTitleAttention), gui::MB_OK | gui::MB_ICONSTOP);
    // Back on the amount, also once the box has gone and the form takes the focus again (TakeFocus).
    FocusOn(AmountField(v.sense == 'D' ? 'D' : 'C', v.euros));
    amountFocus_ = true;
    return false;
  }
  // Saved over its own amount that did not read: the totals that still count it are named.
  if (!r.totalsLeft.empty()) {
    gui::MessageBeep(0);
    gui::MessageBox(this, r.totalsLeft, LoadStr(kTitleAttention), gui::MB_OK | gui::MB_ICONEXCLAMATION);
  }
  if (r.outcome != posting::SaveOutcome::NotFound) {
    previousAccount_ = r.account;
    SetAccountText(r.account);
    if (!request.roundingLine) EntryCurrencyFlag = request.values.euros;
    ShowSavedBalance(r.account);
    // The line as it stands now is the one loaded.
    // Not read again, the line loaded stays the one before the save: the box names the file.
    const Lookup saved = posting::FindLine(*TableC50, key_);
    if (saved.IsFound()) loaded_ = posting::ReadLineRecord(*TableC50);
    else ReportRefusedLookup(*TableC50, saved, L::kCodeTag, key_.c_str());
  }
  ShowPieceTotals(true, false);
  RefreshLines();
  // The model's line of the account just saved is done.
  DropSavedModelLine(ModelText(), NormalizeAccount(account_->GetText()));
  noSenseInModel_ = true;
  if (RegistryChar(posting::kHeadersListFlag) == '1') {
    const gui::Handle list = SlotHandle(posting::kHeadersListFlag);
    if (list != 0 && gui::Window::FromHandle(list) != nullptr) gui::SendCommand(list, cmd::RafraichirTotal);
  }
  // Chained manual matching of a subsidiary account typed in a treasury journal.
  const std::string account = NormalizeAccount(account_->GetText());
  if (r.outcome == posting::SaveOutcome::Saved && journal_[0] == 'T' && ConstantLetter(26) == 'O' && IsAuxiliaryAccount(account)) {
    SetRegistryText(kRegistryLastAuxiliaryAccount, 8, PadRight(account, 8));
    gui::PostCommand(MainWindowHandle, command_id::LettrageManuel);
  }
  return true;
}

// The account's balance as the save left it, read again from its totals: beside the account (the form
// may stay open, for the analytic split), and in the status bar in the main currency, which the lines
// window keeps as its own once the form has gone.
void TWSaiModDetJournaux::ShowSavedBalance(const std::string& account) {
  ::Table& c20 = *TableC20;
  if (!c20.Find("C20CODE", account.c_str()).IsFound() || c20.MatchRecordKey(account.c_str(), 8, 1).OffKey()) return;
  ShowAccountBalance();
  const std::string status = TWSaiBroDetJournaux::BalanceStatus(c20, euroFirst_);
  if (auto* lines = dynamic_cast<TWSaiBroDetJournaux*>(gui::Window::FromHandle(LinesHandle())))
    lines->ShowBalance(status);
  if (MessageBar != nullptr) MessageBar->SetText(status);
}

// The lines window shows the line as saved (its key handed over at L + 18).
void TWSaiModDetJournaux::RefreshLines() {
  const gui::Handle lines = LinesHandle();
  if (lines == 0) return;
  SetRegistryText(linesSlot_ + posting::kSlotRestoreOffset, posting::kRestoreKeyLength, key_);
  gui::SendCommand(lines, cmd::RafraichirLigne);
}

void TWSaiModDetJournaux::TellRefusal(const std::string& refusal) {
  if (refusal.empty()) return;
  gui::MessageBeep(0);
  gui::MessageBox(this, refusal, LoadStr(kTitleAttention), gui::MB_OK | gui::MB_ICONSTOP);
}

bool TWSaiModDetJournaux::AnalyticSplitMatches() {
  const long long lineF = Cents(debitF_) - Cents(creditF_);
  const long long lineE = Cents(debitE_) - Cents(creditE_);
  return posting::AnalyticSplitBalances(*TableC50, key_, previousAccount_, TheDossierRecord.AnalyticMode() == '2', lineF,
                                        lineE, !euroOnly_);
}

bool TWSaiModDetJournaux::CanClose() {
  // A blank new line holds nothing to save or to check: whoever closes the form (its close button, its
  // lines window, the program's end) gives it up as "Quitter" does. Should another window keep the
  // program open, the close posted here still takes the form away from the line it gave up.
  if (!ClosingFlag && !NoCheckFlag && !PrintRunFlag && opened_ && BlankNewLine() &&
      !AnalyticWindowOpen()) {
    ClearMessage();
    GiveUpNewLine();
    gui::PostMessage(GetHandle(), gui::WM_CLOSE);
    return CloseDecided(true);
  }
  const bool closing = CloseDecided(Closes());
  // A line closed without an account (a new line whose changes the user chose not to save) goes with its
  // sort record, as "Quitter" takes it away: no empty line is left in the piece.
  std::string refusal;
  if (closing && !NoCheckFlag && TableC50 != nullptr && TableC60 != nullptr &&
      posting::RemoveEmptyNewLine(*TableC50, *TableC60, key_, &refusal))
    RefreshLines();
  TellRefusal(refusal);
  return closing;
}

bool TWSaiModDetJournaux::Closes() {
  if (!CMDIModif::CanClose()) {
    if (!ClosingFlag) SyncLinesWindow(0);
    return false;
  }
  ClearMessage();
  if (!analyticAllowed_ || NoCheckFlag) return true;
  if (AnalyticSplitMatches()) return true;
  Message(LoadStr(posting::kMsgAnalyticWrong));
  SyncLinesWindow(0);
  gui::MessageBeep(0);
  if (gui::MessageBox(this, LoadStr(posting::kMsgAnalyticQuestion), LineTitle(),
                      gui::MB_YESNO | gui::MB_ICONSTOP | gui::MB_DEFBUTTON2) == gui::IDYES)
    return true;
  FocusOn(ControlOf(kAnalytic));
  return false;
}

// ---- focus, layout, end ---------------------------------------------------------------------------------------

void TWSaiModDetJournaux::EvSetFocus(gui::Handle lost) {
  CMDIModif::EvSetFocus(lost);
  TakeFocus(false);
}

// The form takes the focus: the lines window selects its line, and the field to type in gets the focus (once
// the form is open, a control that has it keeps it, unless the analytic split asked for the amount).
void TWSaiModDetJournaux::TakeFocus(bool opening) {
  if (!opened_) return;
  if (const gui::Handle lines = LinesHandle()) {
    SetRegistryText(linesSlot_ + posting::kSlotRestoreOffset, posting::kRestoreKeyLength, key_);
    gui::SendCommand(lines, cmd::LigneRestore);
  }
  if (TableC50 != nullptr && TableC50->isOpen && TableC50->tag != L::kCodeTag) TableC50->SetOrder(L::kCodeTag);
  const std::string account = account_->GetText();
  if (!IsBlank(account)) StoreSessionCode(PadRight(NormalizeAccount(account), 8).c_str());
  posting::SetActiveLinesWindowPosition(OwnSlot);
  if (!opening && !amountFocus_)
    for (const auto& [id, w] : controls_)
      if (w->HasFocus()) return;
  if (CalculatorEdit != nullptr && CalculatorEdit->Parent() == this) return;
  if (amountFocus_) {
    amountFocus_ = false;
    FocusOn(AmountField(Sense(), EurosChecked()));
  } else if (IsModified() && !IsBlank(account) && Cents(debitF_) == 0 && Cents(creditF_) == 0 && Cents(debitE_) == 0 &&
             Cents(creditE_) == 0) {
    FocusOn(label1_);
  } else {
    FocusOn(day_);
  }
}

void TWSaiModDetJournaux::CleanupWindow() {
  // The line's lock goes back and the slot is free at once: a command the form posted on its way out
  // ("Créer Pièce" ...) finds it closed.
  // A line not read keeps its lock until the lines' cursor closes: said, naming the file.
  if (holdsLine_ && TableC50 != nullptr && TableC50->isOpen) {
    const Lookup line = posting::FindLine(*TableC50, key_);
    if (line.IsFound()) UnlockRecord(*TableC50);
    else ReportRefusedLookup(*TableC50, line, L::kCodeTag, key_.c_str());
  }
  holdsLine_ = false;
  if (OwnSlot > 0) SetRegistryText(OwnSlot, kFormSlotLength, "");
  // The line saved, the step that waited for it goes to the lines window, which finds the slot free.
  TakeStepAfterSave();
  CMDIModif::CleanupWindow();
}

void TWSaiModDetJournaux::ReleaseLineLockForTest() {
  if (holdsLine_ && TableC50 != nullptr && TableC50->isOpen && posting::FindLine(*TableC50, key_).IsFound())
    UnlockRecord(*TableC50);
}

namespace {
// One control's place in the grid: column, row, columns spanned, kind of placement and its extra value.
struct Place {
  int id, col, row, span, kind, extra;
};
}  // namespace

void TWSaiModDetJournaux::ArrangeControls() {
  if (arranging_) return;
  arranging_ = true;
  const int francRow = euroFirst_ ? 2 : 1, euroRow = euroFirst_ ? 1 : 2;
  std::vector<Place> places;
  std::vector<int> hidden;
  if (layout_ != Layout::Plain) {
    const bool a = layout_ == Layout::A;
    // Layout A keeps one row for the line and its amounts and no labels 2 and 3.
    const int info = a ? 2 : 4, buttons = a ? 3 : 5, values = a ? 4 : 6, totals = a ? 5 : 7;
    places = {
        {kPiece, 3, 1, 6, grid::Text, 6},           {kDay, 9, 1, 3, grid::Text, 2},
        {kDistribution, 12, 1, 3, grid::Text, 2},   {kAccount, 15, 1, 11, grid::Text, 8},
        {kLabelCode, 26, 1, 5, grid::Text, 1},      {kLabel1, 31, 1, 22, grid::Text, 25},
        {kDebitF, 53, francRow, 9, grid::Text, kAmountWidth},     {kCreditF, 62, francRow, 8, grid::Text, kAmountWidth},
        {kAmountLetterF, 70, francRow, 2, grid::Label, 0},
        {kDebitE, 53, euroRow, 9, grid::Text, kAmountWidth},      {kCreditE, 62, euroRow, 8, grid::Text, kAmountWidth},
        {kAmountLetterE, 70, euroRow, 2, grid::Label, 0},
        {kAccountInfo, 1, info, 30, grid::Label, 0}, {kDueCaption, 31, info, 5, grid::Label, 0},
        {kDueDate, 36, info, 8, grid::Text, 8},      {kEuros, 44, info, 9, grid::Fill, 0},
        {kDistributionLookup, 12, buttons, 3, grid::Button, 0}, {kAccountLookup, 15, buttons, 2, grid::Button, 0},
        {kAccountView, 17, buttons, 2, grid::Button, 0},        {kAnalytic, 19, buttons, 7, grid::Button, 0},
        {kLabelCodeLookup, 26, buttons, 3, grid::Button, 0},    {kLabelFromAccount, 31, buttons, 3, grid::Button, 0},
        {kVatCaption, 36, buttons, 8, grid::Label, 0},          {kVat, 44, buttons, 13, grid::Text, 14},
        {kDebitButton, 57, buttons, 2, grid::Button, 0},        {kSense, 59, buttons, 5, grid::Label, 0},
        {kCreditButton, 64, buttons, 2, grid::Button, 0},       {kOtherModel, 1, buttons, 10, grid::Button, 0},
        {kMessage, 1, values, 23, grid::Label, 0},   {kLabelCodeText, 24, values, 7, grid::Label, 0},
        {kDebitTotalF, 52, values, 9, grid::Label, 0}, {kCreditTotalF, 61, values, 9, grid::Label, 0},
        {kTotalLetterF, 70, values, 2, grid::Label, 0},
        {kDebitTotalE, 52, values + 1, 9, grid::Label, 0}, {kCreditTotalE, 61, values + 1, 9, grid::Label, 0},
        {kTotalLetterE, 70, values + 1, 2, grid::Label, 0},
        {kTotalsCaption, 1, totals, 9, grid::Label, 0}, {kMainDebitTotal, 10, totals, 9, grid::Label, 0},
        {kMainCreditTotal, 19, totals, 9, grid::Label, 0}, {kBalanceCaption, 31, totals, 7, grid::Label, 0},
        {kBalance, 38, totals, 13, grid::Label, 0},
    };
    if (!a) {
      places.push_back({kLabel2, 31, 2, 22, grid::Text, 25});
      places.push_back({kLabel3, 31, 3, 22, grid::Text, 25});
    } else {
      hidden = {kLabel2, kLabel3};
    }
    for (int id = kCaptionDay; id <= kCaptionCredit; ++id) hidden.push_back(id);
  } else {
    // One field a row, its caption in the first column; the amounts below, the totals last.
    const int first = 11, second = 12;
    const int francLine = euroFirst_ ? second : first, euroLine = euroFirst_ ? first : second;
    places = {
        {kCaptionDay, 1, 1, 1, grid::Label, 0},          {kDay, 2, 1, 1, grid::Text, 2},
        {kPiece, 3, 1, 1, grid::Text, 6},                {kOtherModel, 7, 1, 1, grid::Button, 0},
        {kCaptionDistribution, 1, 2, 1, grid::Label, 0}, {kDistribution, 2, 2, 1, grid::Text, 2},
        {kDistributionLookup, 3, 2, 1, grid::Button, 0},
        {kCaptionAccount, 1, 3, 1, grid::Label, 0},      {kAccount, 2, 3, 1, grid::Text, 8},
        {kAccountLookup, 3, 3, 1, grid::Button, 0},      {kAccountView, 4, 3, 1, grid::Button, 0},
        {kAccountInfo, 5, 3, 3, grid::Label, 0},
        {kCaptionLabelCode, 1, 4, 1, grid::Label, 0},    {kLabelCode, 2, 4, 1, grid::Text, 1},
        {kLabelCodeLookup, 3, 4, 1, grid::Button, 0},    {kLabelCodeText, 4, 4, 1, grid::Label, 0},
        {kCaptionLabel1, 1, 5, 1, grid::Label, 0},       {kLabel1, 2, 5, 3, grid::Text, 25},
        {kLabelFromAccount, 5, 5, 1, grid::Button, 0},
        {kCaptionLabel2, 1, 6, 1, grid::Label, 0},       {kLabel2, 2, 6, 3, grid::Text, 25},
        {kCaptionLabel3, 1, 7, 1, grid::Label, 0},       {kLabel3, 2, 7, 3, grid::Text, 25},
        {kDueCaption, 1, 8, 1, grid::Label, 0},          {kDueDate, 2, 8, 1, grid::Text, 8},
        {kVatCaption, 1, 9, 1, grid::Label, 0},          {kVat, 2, 9, 2, grid::Text, 14},
        {kCaptionDebit, 2, 10, 1, grid::Label, 0},       {kCaptionCredit, 6, 10, 1, grid::Label, 0},
        {kAmountLetterF, 1, francLine, 1, grid::Label, 0}, {kDebitF, 2, francLine, 1, grid::Text, kAmountWidth},
        {kCreditF, 6, francLine, 1, grid::Text, kAmountWidth},
        {kAmountLetterE, 1, euroLine, 1, grid::Label, 0}, {kDebitE, 2, euroLine, 1, grid::Text, kAmountWidth},
        {kCreditE, 6, euroLine, 1, grid::Text, kAmountWidth},
        {kDebitButton, 3, first, 1, grid::Button, 0},    {kSense, 4, first, 1, grid::Label, 0},
        {kCreditButton, 5, first, 1, grid::Button, 0},
        {kEuros, 4, second, 1, grid::Fill, 0},           {kAnalytic, 7, second, 1, grid::Button, 0},
        {kMessage, 1, 13, 4, grid::Label, 0},
        {kTotalLetterF, 5, 13, 1, grid::Label, 0},
        {kDebitTotalF, 6, 13, 1, grid::Label, 0},        {kCreditTotalF, 7, 13, 1, grid::Label, 0},
        {kTotalsCaption, 1, 14, 1, grid::Label, 0},      {kBalanceCaption, 2, 14, 1, grid::Label, 0},
        {kBalance, 3, 14, 2, grid::Label, 0},            {kTotalLetterE, 5, 14, 1, grid::Label, 0},
        {kDebitTotalE, 6, 14, 1, grid::Label, 0},        {kCreditTotalE, 7, 14, 1, grid::Label, 0},
    };
    // The totals of both currencies stand with their letters: no row for those of the entry currency.
    hidden = {kMainDebitTotal, kMainCreditTotal};
  }
  // The account's name and balance take two rows in the plain layout: its largest amount and the
  // currency's name go on the second.
  for (const Place& p : places) {
    if (layout_ == Layout::Plain && p.id == kAccountInfo) MoveFormControls(ControlOf(p.id), p.col, p.row, p.span, 2, grid::Lines, 0, 2);
    else MoveFormControls(ControlOf(p.id), p.col, p.row, p.span, 1, p.kind, p.extra, 0);
  }
  if (layout_ == Layout::Plain) ShareTotalsRoom();
  for (int id : hidden)
    if (gui::Window* w = ControlOf(id)) w->Show(gui::SW_HIDE);
  arranging_ = false;
}

// The plain layout's totals rows: a currency's letter needs one character of its column, and its two
// totals share the rest of the three columns, so that each holds the largest total whole; the letter
// stays where it stood, the credit total ends where its column does.
void TWSaiModDetJournaux::ShareTotalsRoom() {
  const int letterWidth = 2 * Metrics().charWidth;
  const int rows[][3] = {{kTotalLetterF, kDebitTotalF, kCreditTotalF}, {kTotalLetterE, kDebitTotalE, kCreditTotalE}};
  for (const auto& row : rows) {
    gui::Window *letter = ControlOf(row[0]), *debit = ControlOf(row[1]), *credit = ControlOf(row[2]);
    if (letter == nullptr || debit == nullptr || credit == nullptr) continue;
    gui::Rect l = letter->GetWindowRect(), d = debit->GetWindowRect(), c = credit->GetWindowRect();
    const int from = l.x + letterWidth, to = c.Right(), half = (to - from) / 2;
    l.w = letterWidth;
    d.x = from;
    d.w = half - 3;
    c.x = from + half;
    c.w = to - c.x;
    letter->MoveWindow(l);
    debit->MoveWindow(d);
    credit->MoveWindow(c);
  }
}

// ---- messages and commands ------------------------------------------------------------------------------------

void TWSaiModDetJournaux::EvNotify(int id, unsigned code) {
  if (code != gui::EN_CHANGE) return;
  if (id == kDebitF || id == kCreditF || id == kDebitE || id == kCreditE) EvChangeMontant(id);
  else if (id == kDistribution) EvChangeVentilation();
}

bool TWSaiModDetJournaux::EvCommand(unsigned id) {
  if (ClosingFlag && id != cmd::Quitter) return CMDIModif::EvCommand(id);
  switch (id) {
    case cmd::DayFirst: case cmd::DayPrior: case cmd::DayNext: case cmd::DayLast: DayStep(id); return true;
    case cmd::DayEnter: DayEnter(true); return true;
    case cmd::DayLeave: DayEnter(false); return true;
    case cmd::DistributionEnter: DistributionEnter(true); return true;
    case cmd::DistributionLeave: DistributionEnter(false); return true;
    case cmd::DistributionLookup: DistributionLookup(); return true;
    case cmd::DistributionFirst: case cmd::DistributionPrior: case cmd::DistributionNext: case cmd::DistributionLast:
    case cmd::AccountFirst: case cmd::AccountPrior: case cmd::AccountNext: case cmd::AccountLast:
    case cmd::LabelCodeFirst: case cmd::LabelCodePrior: case cmd::LabelCodeNext: case cmd::LabelCodeLast:
      StepCode(id);
      return true;
    case cmd::AccountEnter: AccountEnter(true); return true;
    case cmd::AccountLeave: AccountEnter(false); return true;
    case cmd::AccountLookup: AccountLookup(); return true;
    case cmd::AccountView: AccountView(); return true;
    case cmd::Analytic: CmAnalytique(); return true;
    case cmd::LabelCodeEnter: LabelCodeEnter(true); return true;
    case cmd::LabelCodeLeave: LabelCodeEnter(false); return true;
    case cmd::LabelCodeLookup: LabelCodeLookup(); return true;
    case cmd::LabelFromAccount: ProposeLabel(true); return true;
    case cmd::Label1Enter: LabelEnter(kLabel1); return true;
    case cmd::Label2Enter: LabelEnter(kLabel2); return true;
    case cmd::Label3Enter: LabelEnter(kLabel3); return true;
    case cmd::DueEnter: DueDateEnter(true); return true;
    case cmd::DueLeave: DueDateEnter(false); return true;
    case cmd::DebitFEnter: case cmd::CreditFEnter: case cmd::DebitEEnter: case cmd::CreditEEnter: AmountEnter(id); return true;
    case cmd::DebitFLeave: case cmd::CreditFLeave: case cmd::DebitELeave: case cmd::CreditELeave: AmountLeave(); return true;
    case cmd::VatEnter: VatEnter(); return true;
    case cmd::DebitButton: CmDebit(); return true;
    case cmd::CreditButton: CmCredit(); return true;
    case cmd::Euros: CmEnEuros(); return true;
    case cmd::OtherModel: CmAutreModele(); return true;
    case cmd::OpeningFocus: TakeFocus(true); return true;
    case cmd::Label1Leave: case cmd::Nothing: return true;
    default: return CMDIModif::EvCommand(id);
  }
}

const gui::ResponseTable& TWSaiModDetJournaux::Table() {
  static const gui::ResponseTable table = gui::ResponseTable(&CMDIModif::Table())
                                              .Command(cmd::Quitter, &TWSaiModDetJournaux::CmQuitterLigne)
                                              .Command(cmd::Enregistrer, &TWSaiModDetJournaux::CmEnregistrerLigne)
                                              .Command(cmd::SolderPiece, &TWSaiModDetJournaux::CmSolderPiece)
                                              .Command(cmd::SolderJournal, &TWSaiModDetJournaux::CmSolderJournal)
                                              .Command(cmd::SolderCompte, &TWSaiModDetJournaux::CmSolderCompte)
                                              .Command(cmd::CreerLigne, &TWSaiModDetJournaux::CmNouvelleLigne)
                                              .Command(cmd::CreerPiece, &TWSaiModDetJournaux::CmNouvellePiece)
                                              .Command(cmd::LigneSuivante, &TWSaiModDetJournaux::CmLigneSuivante)
                                              .Command(cmd::LignePrecedente, &TWSaiModDetJournaux::CmLignePrecedente)
                                              .Command(cmd::Modele, &TWSaiModDetJournaux::CmCompteSuivantModele)
                                              .Command(cmd::AutreModele, &TWSaiModDetJournaux::CmAutreModele)
                                              .Command(cmd::ChercherMontant, &TWSaiModDetJournaux::CmRechercheEcriture)
                                              .Enable(cmd::Enregistrer, &TWSaiModDetJournaux::CeEnregistrerLigne)
                                              .Enable(cmd::Quitter, &CMDIModif::CeQuitter)
                                              .Enable(cmd::ChercherMontant, &CMDIModif::CeQuitter);
  return table;
}

// ---- ModDetJournaux --------------------------------------------------------------------------------------------

// Core: ValidateLineValues, SaveLineRecord, NextLineAfter.
void CmModDetJournaux() {
  // A line asked again while its form shows it: the lines window comes back, the form keeps its content.
  for (int k = 0; k < posting::kSlotCount; ++k) {
    const int lines = posting::SlotPosition(k);
    if (RegistryChar(lines) == 'R' && ActivateExistingChild(lines)) return;
  }
  int k = 0;
  while (k < posting::kSlotCount && RegistryChar(posting::SlotPosition(k)) != '2') ++k;
  if (k == posting::kSlotCount || CommandWindow == nullptr) return;
  const int lines = posting::SlotPosition(k), form = lines + posting::kPartnerOffset;
  const Layout layout = LayoutOf(ConstantLetter(61));
  const int columns = layout == Layout::Plain ? 7 : 71;
  const int rows = layout == Layout::A ? 5 : layout == Layout::Plain ? 14 : 7;
  const std::string key = PadRight(RegistryText(form + 11, kKeyLength), kKeyLength);
  const std::string title =
      FillPlaceholders(LoadStr(kWindowTitle), {CodeLabelForType("5"), key.substr(8, 6), key.substr(14, 10),
                                               RTrim(key.substr(5, 3).c_str()), key.substr(3, 2),
                                               DecodeYear(key.substr(1, 2).c_str())});
  auto* window = new TWSaiModDetJournaux(CommandWindow, title, columns, rows, form, lines);
  SetChildIcon(*window, kLineIcon);
  // Constant 061: the lower third, half or two thirds of the client area; the whole height otherwise.
  const int divisor = layout == Layout::A ? 3 : layout == Layout::B ? 2 : layout == Layout::C ? -3 : 0;
  PlaceChildWindow(*window, layout == Layout::Plain ? 5 : 0, divisor);
  if (ProgramOption(3) != 'O') {
    const gui::Rect client = CommandWindow->GetClientRect();
    const int cw = EntryCharWidth > 0 ? EntryCharWidth : 7;
    const int h = std::max(client.h, 300);
    gui::Rect r{0, 0, std::max(client.w, 600), h};
    switch (layout) {
      case Layout::A: r = {0, h - h / 3, r.w, h / 3}; break;
      case Layout::B: r = {0, h - h / 2, r.w, h / 2}; break;
      case Layout::C: r = {0, h - 2 * h / 3, r.w, 2 * h / 3}; break;
      case Layout::Plain: r = {5 * cw, 0, std::min(std::max(client.w - 5 * cw, 300), 7 * PlainColumnWidth(13) + 40), h}; break;
    }
    window->MoveWindow(r);
  }
  if (window->Create()) window->Show(gui::SW_SHOWNORMAL);
  else delete window;
  SetRegistryText(lines, 1, "1");
}
