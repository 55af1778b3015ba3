#include "processing/ofx_window.h"

#include <cstdio>
#include <set>

#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "data/dossier_files.h"
#include "data/error_report.h"
#include "data/entry_lines.h"
#include "data/session.h"
#include "data/table.h"
#include "platform/gui/application.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/filedialog.h"
#include "platform/gui/messagebox.h"
#include "processing/core/matching_lines.h"
#include "processing/core/ofx_statement.h"
#include "resources/command_ids.h"
#include "resources/string_table.h"
#include "runtime/dates.h"
#include "runtime/inifiles.h"
#include "runtime/numbers.h"
#include "runtime/session_registry.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "shell/cursors.h"
#include "shell/graphics.h"
#include "shell/mdi_client.h"
#include "shell/placement.h"
#include "shell/registry.h"
#include "shell/toolbar.h"

namespace {

constexpr int kCaption = 29600;
constexpr int kIcon = 1004;
constexpr int kFormColumns = 17;
constexpr int kFormRows = 20;
// A transaction's amount in the list: as wide as the widest a line takes ("99 999 999 999.99"), a blank
// before it, so that the amounts stand in a column apart from their dates.
constexpr int kAmountWidth = 18;
constexpr unsigned kRefreshHeaders = child_command::RafraichirTotal;

enum : int {
  kFileEdit = 1201, kJournalEdit = 1202, kCounterpartEdit = 1203, kBankBox = 1207, kLabelEdit = 1208, kList = 1209,
  kText1 = 1301, kText2 = 1302, kText3 = 1303, kBankAccountText = 1304, kLabelBase = 1310,
};

constexpr int kFilter = 23230;

// The texts of the form, by their ids in the string table.
constexpr int kLabelFirst = 29601;       // the seven labels, "Fichier" to "Opérations (* déjà importée)"
constexpr int kTitleChooseFile = 29608;
constexpr int kMsgNoBankForAccount = 29609;
constexpr int kHintChooseBank = 29610;   // beside the bank box, and the message when none is chosen
constexpr int kHintReadFirst = 29611;    // before a statement is read, and the message when none is
constexpr int kTextBankAccount = 23235;  // "Relevé: Banque %s  Guichet %s  Compte %s"
constexpr int kTextIbanAccount = 32608;  // "Relevé: IBAN %s"
constexpr int kTextPeriod = 23236;       // the period, the closing balance's day, amount and currency
constexpr int kTextOperations = 23239;   // the operations read, those already imported
constexpr int kMsgFilesNotOpen = 23241;


std::string Day(const std::string& yyyymmdd) {
  Ymd d;
  return ParseYyyymmdd(yyyymmdd, d) ? DisplayDateOf(d) : std::string("--/--/--");
}

}  // namespace

// Core: ReadOfxStatement, ImportStatement.
void CmImportationReleveBanque() {
  if (ActivateExistingChild(kOfxImportFormSlot) || CommandWindow == nullptr) return;
  auto* form = new TWSaiModImportationOfx(CommandWindow);
  SetChildIcon(*form, kIcon);
  PlaceChildWindow(*form, 0, 0);
  if (!form->Create()) {
    if (form->IsCreated()) form->Destroy();
    else delete form;
    return;
  }
  form->Show(gui::SW_SHOWNORMAL);
  RegisterWindowSlot(kOfxImportFormSlot, form->GetHandle());
}

TWSaiModImportationOfx::TWSaiModImportationOfx(gui::MDIClient* client)
    : CMDIModif(client, LoadStr(kCaption), kFormColumns, kFormRows, kOfxImportFormSlot, kOfxImportFormSlotLength) {
  AskOnClose = false;
  for (int i = 0; i < 7; ++i) labels_[i] = new MStatic(this, LoadStr(kLabelFirst + i), kLabelBase + i);
  file_ = new MEdit(this, kFileEdit, 200, 1, MEdit::kText, 0, false);
  choose_ = new MButton(this, ofx_cmd::Choose, "&?");
  for (int i = 0; i < 3; ++i) texts_[i] = new MStatic(this, "", kText1 + i);
  bank_ = new MComboBox(this, kBankBox, 40, 1);
  bankAccount_ = new MStatic(this, "", kBankAccountText);
  journal_ = new MEdit(this, kJournalEdit, 3, 1, MEdit::kText, 0, false);
  counterpart_ = new MEdit(this, kCounterpartEdit, 8, 1, MEdit::kText, 0, false);
  labelCode_ = new MEdit(this, kLabelEdit, 1, 1, MEdit::kText, 0, false);
  list_ = new MListBox(this, kList);
  file_->SetEnterAction(ofx_cmd::Read);
  file_->SetNotifyWindow(this);
  ContextCommands = {2, form_cmd::Quitter, ofx_cmd::Accepter};
}

TWSaiModImportationOfx::~TWSaiModImportationOfx() { SetRegistryText(kOfxImportFormSlot, 1, " "); }

void TWSaiModImportationOfx::SetupWindow() {
  CMDIModif::SetupWindow();
  BuildToolbar(ContextCommands, true);
  for (gui::Control* c : std::initializer_list<gui::Control*>{file_, journal_, counterpart_, labelCode_, list_})
    c->SetFont(EntryFontFixed);
  ::Table c10;
  if (c10.OpenShared(PathC10(), "C10CODE", true)) banks_ = processing::ReadDossierBanks(c10);
  // A blank first line: no bank chosen.
  bank_->AddString("");
  for (const processing::DossierBank& b : banks_) bank_->AddString(PadRight(b.code, 5) + b.name);
  counterpart_->SetValue(AllTrim(DossierIniGet(processing::kOfxIniSection, "CompteAttente",
                                               processing::kOfxDefaultCounterpart).c_str()),
                         true);
  labelCode_->SetValue(AllTrim(DossierIniGet(processing::kOfxIniSection, "CodeLibelle", "").c_str()), true);
  texts_[0]->SetText(LoadStr(kHintReadFirst));
  file_->FocusSelect(true);
}

void TWSaiModImportationOfx::ArrangeControls() {
  MoveFormControls(labels_[0], 1, 1, 3, 1, grid::Label, 0, 0);
  MoveFormControls(file_, 4, 1, 13, 1, grid::Text, 0, 0);
  MoveFormControls(choose_, 17, 1, 1, 1, grid::Button, 0, 0);
  for (int i = 0; i < 3; ++i) MoveFormControls(texts_[i], 1, 2 + i, 17, 1, grid::Label, 0, 0);
  MoveFormControls(labels_[1], 1, 5, 3, 1, grid::Label, 0, 0);
  MoveFormControls(bank_, 4, 5, 6, 1, grid::Text, 0, 0);
  MoveFormControls(labels_[2], 1, 6, 3, 1, grid::Label, 0, 0);
  MoveFormControls(bankAccount_, 4, 6, 14, 1, grid::Label, 0, 0);
  MoveFormControls(labels_[3], 1, 7, 3, 1, grid::Label, 0, 0);
  MoveFormControls(journal_, 4, 7, 2, 1, grid::Text, 4, 0);
  MoveFormControls(labels_[4], 7, 7, 3, 1, grid::Label, 0, 0);
  MoveFormControls(counterpart_, 10, 7, 3, 1, grid::Text, 9, 0);
  MoveFormControls(labels_[5], 14, 7, 3, 1, grid::Label, 0, 0);
  MoveFormControls(labelCode_, 17, 7, 1, 1, grid::Text, 2, 0);
  MoveFormControls(labels_[6], 1, 8, 17, 1, grid::Label, 0, 0);
  MoveFormControls(list_, 1, 9, 17, 12, grid::Fill, 0, 0);
  // The list takes the room a taller window leaves below the grid.
  gui::Rect r = list_->GetWindowRect();
  r.h += RoomBelowGrid();
  list_->MoveWindow(r);
}

const gui::ResponseTable& TWSaiModImportationOfx::Table() {
  using F = TWSaiModImportationOfx;
  static const gui::ResponseTable table = gui::ResponseTable(&CMDIModif::Table())
                                              .Command(ofx_cmd::Accepter, &F::CmAccepter)
                                              .Command(ofx_cmd::Choose, &F::CmChoose)
                                              .Command(ofx_cmd::Read, &F::CmRead)
                                              .Command(ofx_cmd::BankChosen, &F::CmBankChosen);
  return table;
}

void TWSaiModImportationOfx::Tell(const std::string& message, unsigned icon) {
  gui::MessageBox(this, message, LoadStr(kCaption), gui::MB_OK | icon);
}

void TWSaiModImportationOfx::CmChoose() {
  if (running_) return;
  std::string path;
  if (!gui::GetOpenFileName(this, LoadStr(kTitleChooseFile), LoadStr(kFilter), DossierFolder, path)) return;
  file_->SetValue(path, false);
  ReadFile(path);
}

void TWSaiModImportationOfx::CmRead() {
  if (running_) return;
  const std::string path = AllTrim(file_->GetValue().c_str());
  if (!path.empty()) ReadFile(path);
}

bool TWSaiModImportationOfx::ReadFile(const std::string& path) {
  read_ = false;
  statement_ = processing::BankStatement{};
  list_->ClearList();
  for (MStatic* t : texts_) t->SetText("");
  SetAppCursor(kBusyFirstString, true);
  const processing::OfxReading reading = processing::ReadOfxStatement(path);
  SetAppCursor(0, false);
  if (!reading.ok) {
    texts_[0]->SetText(LoadStr(kHintReadFirst));
    gui::MessageBeep(0);
    Tell(reading.message, gui::MB_ICONERROR);
    return false;
  }
  read_ = true;
  readFile_ = path;
  statement_ = reading.statement;
  ShowStatement();
  const int found = processing::FindStatementBank(banks_, statement_);
  SelectBank(found);
  if (found < 0) {
    Tell(LoadStr(kMsgNoBankForAccount), gui::MB_ICONINFORMATION);
    bank_->SetFocus();
  }
  return true;
}

void TWSaiModImportationOfx::ShowStatement() {
  const processing::BankStatement& s = statement_;
  texts_[0]->SetText(s.iban.empty() ? FillPlaceholders(LoadStr(kTextBankAccount), {s.bankId, s.branchId, s.accountId})
                                     : FillPlaceholder(LoadStr(kTextIbanAccount), s.iban));
  texts_[1]->SetText(FillPlaceholders(LoadStr(kTextPeriod), {Day(s.startDate), Day(s.endDate), Day(s.closingDate),
                                                             Trimmed(BalanceAmount(s.closingCents)), s.currency}));
  list_->ClearList();
  const std::set<std::string> known = processing::ImportedIdentitySet();
  const std::string key = processing::StatementAccountKey(s);
  const std::vector<std::string> identities = processing::TransactionIdentities(key, s.transactions);
  long already = 0;
  for (std::size_t i = 0; i < s.transactions.size(); ++i) {
    const processing::BankTransaction& t = s.transactions[i];
    const bool seen = known.count(identities[i]) > 0;
    already += seen ? 1 : 0;
    // The texts whole; the labels cut them at 25 characters.
    const std::string text = t.name.empty() ? t.memo : t.memo.empty() ? t.name : t.name + " - " + t.memo;
    list_->AddString(std::string(seen ? "* " : "  ") + Day(t.date) + " " + BalanceAmount(t.cents, kAmountWidth) + "  " +
                     text);
  }
  texts_[2]->SetText(
      FillPlaceholders(LoadStr(kTextOperations), {std::to_string(s.transactions.size()), std::to_string(already)}));
}

void TWSaiModImportationOfx::SelectBank(int index) {
  bankIndex_ = index;
  if (index < 0 || index >= static_cast<int>(banks_.size())) {
    bank_->SetValue("", false);
    bankAccount_->SetText(LoadStr(kHintChooseBank));
    return;
  }
  const processing::DossierBank& b = banks_[static_cast<std::size_t>(index)];
  bank_->SetValue(b.code, false);
  bankAccount_->SetText(b.generalAccount + "  " + b.name);
  if (!b.journal.empty()) journal_->SetValue(b.journal, false);
}

void TWSaiModImportationOfx::CmBankChosen() {
  const std::string chosen = AllTrim(bank_->GetValue().substr(0, 5).c_str());
  if (chosen.empty()) return SelectBank(-1);
  for (std::size_t i = 0; i < banks_.size(); ++i)
    if (banks_[i].code == chosen) return SelectBank(static_cast<int>(i));
  SelectBank(-1);
}

void TWSaiModImportationOfx::CmAccepter() {
  if (running_) return;
  if (!read_) {
    gui::MessageBeep(0);
    Tell(LoadStr(kHintReadFirst), gui::MB_ICONINFORMATION);
    return;
  }
  CmBankChosen();
  if (bankIndex_ < 0) {
    gui::MessageBeep(0);
    Tell(LoadStr(kHintChooseBank), gui::MB_ICONINFORMATION);
    bank_->SetFocus();
    return;
  }
  const processing::DossierBank& bank = banks_[static_cast<std::size_t>(bankIndex_)];
  processing::StatementImport request;
  request.statement = statement_;
  request.file = readFile_;
  request.bank = bank.code;
  request.bankAccount = bank.generalAccount;
  request.journal = AllTrim(journal_->GetValue().c_str());
  request.counterpart = AllTrim(counterpart_->GetValue().c_str());
  request.labelCode = AllTrim(labelCode_->GetValue().c_str());
  // The label code refused in the form, before anything is opened for the run.
  // One not read is no code unknown: the file is named.
  const Lookup label = TableC10 != nullptr && TableC10->UseShared(PathC10(), "C10CODE")
                           ? processing::LabelCodeUsable(*TableC10, request.labelCode)
                           : Lookup::Found();
  if (!label.IsFound()) {
    gui::MessageBeep(0);
    Tell(label.IsRefused() ? UnreadText(TableC10->tablePath, label.result())
                           : processing::UnknownLabelCodeMessage(request.labelCode),
         gui::MB_ICONERROR);
    labelCode_->FocusSelect(true);
    return;
  }
  running_ = true;
  SetAppCursor(kBusyFirstString, true);
  processing::StatementImportResult r;
  ::Table c50, c60;
  if (TableC10 != nullptr && TableC20 != nullptr && TableC10->UseShared(PathC10(), "C10CODE") &&
      TableC20->UseShared(PathC20(), "C20CODE") && c50.OpenShared(PathC50(), LigneEcriture::kCodeTag) &&
      c60.OpenShared(PathC60(), processing::kC60CodeTag)) {
    r = processing::ImportStatement(*TableC10, c50, c60, request);
  } else {
    r.message = LoadStr(kMsgFilesNotOpen);
  }
  c50.CloseTable();
  c60.CloseTable();
  SetAppCursor(0, false);
  // The bank chosen for an account no bank of the dossier names is kept for the next statement.
  if (r.written && processing::FindStatementBank(banks_, statement_) != bankIndex_)
    processing::RememberStatementBank(statement_, bank.code);
  gui::MessageBeep(0);
  Tell(r.message, r.written || r.nothingNew ? gui::MB_ICONINFORMATION : gui::MB_ICONERROR);
  running_ = false;
  if (r.written) {
    ShowStatement();
    if (MainWindowHandle != 0) gui::PostCommand(MainWindowHandle, kRefreshHeaders);
  }
}
