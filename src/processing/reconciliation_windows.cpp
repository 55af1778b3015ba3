#include "processing/reconciliation_windows.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <tuple>
#include <utility>

#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "data/dossier_files.h"
#include "data/entry_lines.h"
#include "data/session.h"
#include "data/table.h"
#include "posting/journal_month.h"
#include "posting/line_validation.h"
#include "framework/fmt_saisie.h"
#include "platform/gui/application.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/filedialog.h"
#include "platform/gui/messagebox.h"
#include "platform/gui/keyboard.h"
#include "platform/gui/statusbar.h"
#include "runtime/access_rights.h"
#include "runtime/code_helpers.h"
#include "runtime/dates.h"
#include "processing/core/matching_lines.h"
#include "processing/core/ofx_import.h"
#include "processing/core/ofx_statement.h"
#include "resources/string_table.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/logfile.h"
#include "runtime/numbers.h"
#include "runtime/session_registry.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "shell/application.h"
#include "shell/graphics.h"
#include "shell/mdi_client.h"
#include "shell/placement.h"
#include "shell/registry.h"
#include "shell/toolbar.h"

namespace {

constexpr int kCaption = 29320;
constexpr int kIcon = 1004;
constexpr int kFormColumns = 10;
constexpr int kFormRows = 10;
constexpr int kBankGeneralAccountAt = 45;  // field 5 of a bank "Q": its general account at 46-53

enum : int {
  kAccountLabel = 1301, kDateLabel = 1302, kBalanceLabel = 1303,
  kAccountEdit = 1201, kAccountLookup = 1202, kAccountName = 1204, kDateEdit = 1211, kBalanceEdit = 1212,
};

constexpr int kOfxFilter = 23230;

// The texts of the form, the list and the statement, by their ids in the string table.
constexpr int kLabelFirst = 29321;             // the three labels, "Compte de banque" to "Solde du relevé"
constexpr int kHintLookup = 19755;
constexpr int kHintReadStatement = 29340;
constexpr int kTitleChooseStatement = 29341;
constexpr int kTitleList = 32609;              // "Rapprochement Bancaire: %s", the account
constexpr int kMsgAccountBusy = 29327;         // the account
constexpr int kMsgNoAccount = 29326;           // the account
constexpr int kMsgNothingToReconcile = 29328;  // the statement's date
constexpr int kColumnDate = 23211;
constexpr int kColumnJournal = 23261;
constexpr int kColumnPiece = 23010;
constexpr int kColumnLabel = 23014;
constexpr int kColumnDebit = 66;
constexpr int kColumnCredit = 67;
constexpr int kColumnStatement = 23266;
constexpr int kColumnOperation = 23267;
constexpr int kColumnStatementAmount = 23258;
constexpr int kTextStatus = 29324;             // the reconciled balance, the statement's, the difference, the letter
constexpr int kHintLetter = 29331;
constexpr int kMsgNoJournal = 29342;           // the account
constexpr int kMsgFilesNotOpen = 23241;
constexpr int kMsgDifferenceLeft = 29332;      // the difference
constexpr int kLogNotSaved = 37756;            // the log line of a save refused, nothing written
constexpr int kMsgSaved = 29333;               // the lines ticked, then the log line's account, date and letter
constexpr int kTextEuros = 2277;
constexpr int kTextFrancs = 2278;

// A piece number as written by the import and as read from a line: digits without leading zeros.
std::string PieceKey(const std::string& piece) {
  std::string p = Trimmed(piece);
  const std::size_t first = p.find_first_not_of('0');
  return first == std::string::npos ? std::string() : p.substr(first);
}

std::string FilledAccount(std::string code) {
  code = Trimmed(code);
  if (code.empty()) return code;
  code.resize(8, static_cast<unsigned char>(code[0]) < 'A' ? '0' : ' ');
  return code;
}

std::string Cut(std::string text, std::size_t width) {
  text.resize(width, ' ');
  return text;
}

std::string ShownDate(const std::string& stored) {
  Ymd d;
  return ParseStoredDate(stored, d) ? DisplayDateOf(d) : std::string(8, ' ');
}

std::string ShownYyyymmdd(const std::string& text) {
  Ymd d;
  return ParseYyyymmdd(text, d) ? DisplayDateOf(d) : std::string(8, ' ');
}

// An amount in cents, grouped, with its sign.

// The general account of the first bank of the general file that names one.
std::string FirstBankAccount() {
  if (TableC10 == nullptr || !TableC10->isOpen) return "";
  // A proposal only: not read, none is proposed; the form's check reads the account typed.
  for (bool more = TableC10->FindNotBelow("C10CODE", "Q").FoundOrNone(); more && TableC10->GetField(1)[0] == 'Q';
       more = TableC10->Skip(1)) {
    const Lookup live = TableC10->LiveHere();
    if (live.IsRefused()) return "";
    if (live.IsNotFound()) continue;
    const std::string zone = TableC10->GetField(5);
    if (zone.size() > kBankGeneralAccountAt) {
      const std::string account = Trimmed(zone.substr(kBankGeneralAccountAt, 8));
      if (!account.empty()) return account;
    }
  }
  return "";
}

template <class W>
W* OpenChild(W* window) {
  SetChildIcon(*window, kIcon);
  PlaceChildWindow(*window, 0, 0);
  if (!window->Create()) {
    if (window->IsCreated()) window->Destroy();
    else delete window;
    return nullptr;
  }
  window->Show(gui::SW_SHOWNORMAL);
  return window;
}

// Report variables of the reconciliation statement, in declaration order.
enum ReportVar : int {
  kVarCompte, kVarNomCompte, kVarDateReleve, kVarLettre, kVarEuro, kVarSoldeReleve, kVarSoldeCompta, kVarSoldeRappr,
  kVarEcart, kVarDate, kVarJournal, kVarPiece, kVarLibelle, kVarDebit, kVarCredit, kVarTgDebit, kVarTgCredit,
  kVarCount
};
constexpr const char* kReportVars[kVarCount] = {
    "COMPTE    C080", "NOMCOMPTE C300", "DATERELEVEC080", "LETTRE    C040", "EURO      C060", "SOLDERELEVM142",
    "SOLDECOMPTM142", "SOLDERAPPRM142", "ECART     M142", "DATE      C080", "JOURNAL   C030", "PIECE     C080",
    "LIBELLE   C300", "DEBIT     M142", "CREDIT    M142", "TG_DEBIT  M142", "TG_CREDIT M142",
};

}  // namespace

// ---- the form ------------------------------------------------------------------------------------------------------

TWTraModRapprochement::TWTraModRapprochement(gui::MDIClient* client)
    : CMDIModif(client, LoadStr(kCaption), kFormColumns, kFormRows, kReconciliationFormSlot,
                kReconciliationFormSlotLength, 0) {
  AskOnClose = false;
  const int ids[] = {kAccountLabel, kDateLabel, kBalanceLabel};
  for (int i = 0; i < 3; ++i) labels_[i] = new MStatic(this, LoadStr(kLabelFirst + i), ids[i]);
  account_ = new MEdit(this, kAccountEdit, 8, 1, MEdit::kText, 0, false);
  lookup_ = new MButton(this, kAccountLookup, "?");
  accountName_ = new MStatic(this, "", kAccountName);
  date_ = new MEdit(this, kDateEdit, 8, 1, MEdit::kDate, 0, false);
  // Enter in the statement's balance, the last field, accepts the form.
  balance_ = new MEdit(this, kBalanceEdit, 15, static_cast<int>(reconciliation_cmd::Accepter), MEdit::kSigned, 2,
                       false);
  readStatement_ = new MButton(this, reconciliation_cmd::LireReleve, "?");
  for (MEdit* e : {account_, date_, balance_}) e->SetNotifyWindow(this);
  ContextCommands = {2, form_cmd::Quitter, reconciliation_cmd::Accepter};
}

TWTraModRapprochement::~TWTraModRapprochement() { SetRegistryText(kReconciliationFormSlot, 1, " "); }

void TWTraModRapprochement::SetupWindow() {
  CMDIModif::SetupWindow();
  BuildToolbar(ContextCommands, true);
  RegisterWindowSlot(kReconciliationFormSlot, GetHandle());
  for (gui::Control* c : std::initializer_list<gui::Control*>{account_, date_, balance_}) c->SetFont(EntryFontFixed);
  lookup_->SetTip(LoadStr(kHintLookup));
  readStatement_->SetTip(LoadStr(kHintReadStatement));
  account_->SetValue(FirstBankAccount(), true);
  // The proposed account's name beside it, as after a lookup.
  // Its name shown only: not read, none is shown; the form's check reads the account again.
  accountName_->SetText(SeekAccount(FilledAccount(account_->GetValue())).FoundOrNone() ? Trimmed(TableC20->GetField(2))
                                                                                       : "");
  date_->SetValue(TheDossierRecord.DateDisplay(DossierRecord::DateField::Working), true);
  balance_->SetValue("0.00", true);
  account_->FocusSelect(true);
}

void TWTraModRapprochement::ArrangeControls() {
  MoveFormControls(labels_[0], 1, 1, 3, 1, grid::Label, 0, 0);
  MoveFormControls(account_, 4, 1, 2, 1, grid::Text, 9, 0);
  MoveFormControls(lookup_, 6, 1, 1, 1, grid::Text, 1, 0);
  MoveFormControls(accountName_, 7, 1, 4, 1, grid::Label, 0, 0);
  MoveFormControls(labels_[1], 1, 2, 3, 1, grid::Label, 0, 0);
  MoveFormControls(date_, 4, 2, 2, 1, grid::Text, 9, 0);
  MoveFormControls(labels_[2], 1, 3, 3, 1, grid::Label, 0, 0);
  MoveFormControls(balance_, 4, 3, 3, 1, grid::Text, 16, 0);
  MoveFormControls(readStatement_, 7, 3, 1, 1, grid::Text, 1, 0);
  PlaceAfter(lookup_, account_);
  PlaceAfter(readStatement_, balance_);
}

const gui::ResponseTable& TWTraModRapprochement::Table() {
  using F = TWTraModRapprochement;
  static const gui::ResponseTable table = gui::ResponseTable(&CMDIModif::Table())
                                              .Command(reconciliation_cmd::Accepter, &F::CmAccepter)
                                              .Command(kAccountLookup, &F::CmAccountLookup)
                                              .Command(reconciliation_cmd::LireReleve, &F::CmLireReleve)
                                              .Enable(reconciliation_cmd::Accepter, &F::CeAccepter);
  return table;
}

void TWTraModRapprochement::CmAccountLookup() {
  if (TableC20 == nullptr || !TableC20->UseShared(PathC20(), "C20CODE")) return;
  accountName_->SetText("");
  if (LookupC20Code(account_, kAccountLookup + 1, accountName_) == kLookupNone) accountName_->SetText("???");
}

void TWTraModRapprochement::CeAccepter(gui::CommandEnabler& ce) {
  ce.Enable(!PrintRunFlag && !IsIconic() && !Trimmed(account_->GetValue()).empty() &&
            RegistryChar(kReconciliationListSlot) != '1');
}

void TWTraModRapprochement::TakeStatement(const processing::BankStatement& statement) {
  statement_ = statement;
  Ymd d;
  if (ParseYyyymmdd(statement.closingDate, d)) date_->SetValue(DisplayDateOf(d), false);
  // The signed amount the field reads back ("Db"/"Cr" suffixes would be refused by the check).
  const long long c = statement.closingCents;
  const unsigned long long a = static_cast<unsigned long long>(c < 0 ? -c : c);
  balance_->SetValue((c < 0 ? "-" : "") + std::to_string(a / 100) + "." + (a % 100 < 10 ? "0" : "") +
                         std::to_string(a % 100),
                     false);
}

void TWTraModRapprochement::CmLireReleve() {
  std::string path;
  if (!gui::GetOpenFileName(this, LoadStr(kTitleChooseStatement), LoadStr(kOfxFilter), DossierFolder, path)) return;
  const processing::OfxReading reading = processing::ReadOfxStatement(path);
  if (!reading.ok) {
    gui::MessageBeep(0);
    gui::MessageBox(this, reading.message, LoadStr(kCaption), gui::MB_OK | gui::MB_ICONERROR);
    return;
  }
  TakeStatement(reading.statement);
  statementFile_ = path;
}

Lookup TWTraModRapprochement::SeekAccount(const std::string& code) {
  if (code.empty() || TableC20 == nullptr || !TableC20->UseShared(PathC20(), "C20CODE")) return Lookup::NotFound();
  Lookup found = TableC20->Find("C20CODE", code.c_str());
  if (found.IsFound()) found = found.And(std::string(TableC20->GetField(1)).substr(0, 8) == code);
  return found.IsFound() ? TableC20->LiveHere() : found;
}

int TWTraModRapprochement::Check() {
  if (NoCheckFlag) return kCheckClose;
  const std::string code = FilledAccount(account_->GetValue());
  const Lookup account = SeekAccount(code);
  if (account.IsRefused()) {
    // Not read is no account unknown: said so, the field kept for another try.
    gui::MessageBeep(0);
    accountName_->SetText("");
    gui::MessageBox(this, LoadStr(posting::kMsgAccountUnread), LoadStr(kCaption), gui::MB_OK | gui::MB_ICONSTOP);
    account_->FocusSelect(true);
    return kCheckInvalid;
  }
  if (account.IsNotFound()) {
    gui::MessageBeep(0);
    accountName_->SetText("???");
    account_->FocusSelect(true);
    return kCheckInvalid;
  }
  account_->SetValue(Trimmed(code), false);
  accountName_->SetText(Trimmed(TableC20->GetField(2)));
  Ymd date;
  if (!ParseDisplayDate(date_->GetValue(), date)) {
    gui::MessageBeep(0);
    date_->FocusSelect(true);
    return kCheckInvalid;
  }
  const std::string balance = Trimmed(balance_->GetValue());
  if (balance.empty() || balance.find_first_not_of("-+0123456789., ") != std::string::npos) {
    gui::MessageBeep(0);
    balance_->FocusSelect(true);
    return kCheckInvalid;
  }
  return kCheckClose;
}

bool TWTraModRapprochement::CanClose() {
  NoCheckFlag = true;
  AskOnClose = false;
  return CMDIModif::CanClose();
}

void TWTraModRapprochement::CmAccepter() {
  if (Check() == kCheckInvalid || CommandWindow == nullptr) return;
  NoCheckFlag = false;
  if (ActivateExistingChild(kReconciliationListSlot)) return;
  Ymd date;
  ParseDisplayDate(date_->GetValue(), date);
  processing::BankStatement statement = statement_;
  statement.closingCents = ToCents(Val(balance_->GetValue().c_str()));
  statement.closingDate = YyyymmddOf(date);
  const std::string account = FilledAccount(account_->GetValue());
  auto* list = new TWTraBroRapprochement(CommandWindow, FillPlaceholder(LoadStr(kTitleList), Trimmed(account)),
                                         account, StoredDateOf(date), statement);
  list->SetStatementFile(statementFile_);
  switch (list->OpenReconciliation()) {
    case processing::ReconciliationOpen::Opened: break;
    case processing::ReconciliationOpen::Unread:
      // The account or its lines not read: said so, never as an account missing.
      delete list;
      gui::MessageBeep(0);
      gui::MessageBox(this, LoadStr(posting::kMsgAccountUnread), LoadStr(kCaption), gui::MB_OK | gui::MB_ICONSTOP);
      return;
    case processing::ReconciliationOpen::AccountLocked:
      delete list;
      gui::MessageBeep(0);
      gui::MessageBox(this, FillPlaceholder(LoadStr(kMsgAccountBusy), Trimmed(account)), LoadStr(kCaption),
                      gui::MB_OK | gui::MB_ICONSTOP);
      return;
    default:
      delete list;
      gui::MessageBeep(0);
      gui::MessageBox(this, FillPlaceholder(LoadStr(kMsgNoAccount), Trimmed(account)), LoadStr(kCaption),
                      gui::MB_OK | gui::MB_ICONSTOP);
      return;
  }
  if (list->Work().Lines().empty() && statement.transactions.empty()) {
    delete list;
    gui::MessageBox(this, FillPlaceholder(LoadStr(kMsgNothingToReconcile), DisplayDateOf(date)), LoadStr(kCaption),
                    gui::MB_OK | gui::MB_ICONINFORMATION);
    return;
  }
  OpenChild(list);
}

// ---- the list ------------------------------------------------------------------------------------------------------

BrowseColumnTable TWTraBroRapprochement::MakeColumns() {
  BrowseColumnTable c = MakeColumnTable(10, 1);
  DefineColumn(c, 1, 2, "", 'C', 'C', 1, 1, 1);
  DefineColumn(c, 2, 7, LoadStr(kColumnDate), 'C', 'C', 3, 1, 8);
  DefineColumn(c, 3, 4, LoadStr(kColumnJournal), 'C', 'C', 5, 1, 3);
  DefineColumn(c, 4, 7, LoadStr(kColumnPiece), 'C', 'C', 11, 1, 8);
  DefineColumn(c, 5, 22, LoadStr(kColumnLabel), 'C', 'G', 12, 1, 25);
  // The amounts' columns hold the widest a line or a transaction takes ("99 999 999 999.99").
  DefineColumn(c, 6, 15, LoadStr(kColumnDebit), 'C', 'D', 18, 1, 17);
  DefineColumn(c, 7, 15, LoadStr(kColumnCredit), 'C', 'D', 18, 1, 17);
  DefineColumn(c, 8, 7, LoadStr(kColumnStatement), 'C', 'C', 3, 1, 8);
  DefineColumn(c, 9, 22, LoadStr(kColumnOperation), 'C', 'G', 12, 1, 25);
  // A transaction's amount has its sign: one character more ("-99 999 999 999.99").
  DefineColumn(c, 10, 15, LoadStr(kColumnStatementAmount), 'C', 'D', 18, 1, 18);
  return c;
}

namespace {
const BrowseColumnTable* ListColumns() {
  static const BrowseColumnTable columns = TWTraBroRapprochement::MakeColumns();
  return &columns;
}
}  // namespace

TWTraBroRapprochement::TWTraBroRapprochement(gui::MDIClient* client, const std::string& title,
                                             const std::string& account, const std::string& statementDate,
                                             const processing::BankStatement& statement)
    : RankedList(client, title, ListColumns(), kReconciliationListSlot, kReconciliationListSlotLength,
                 kReconciliationFormSlot),
      work_(account, TheDossierRecord.At(DossierRecord::kEuroMainPos) != 'N'),
      date_(statementDate),
      statement_(statement) {
  keyWidth = 6;
  listName = "TWTraBroRapprochement";
  reportPrefix = "ERB-";
  toolbarCommands = {7, browse_cmd::Quitter, reconciliation_cmd::Pointer, form_cmd::Enregistrer,
                     reconciliation_cmd::ProchaineLettre, browse_cmd::Visualiser, browse_cmd::Imprimer,
                     reconciliation_cmd::Importer};
}

TWTraBroRapprochement::~TWTraBroRapprochement() = default;

processing::ReconciliationOpen TWTraBroRapprochement::OpenReconciliation() {
  const processing::ReconciliationOpen opened = work_.Open();
  if (opened != processing::ReconciliationOpen::Opened) return opened;
  if (!LoadAndPropose()) {
    work_.Close();
    return processing::ReconciliationOpen::Unread;
  }
  return opened;
}

bool TWTraBroRapprochement::LoadAndPropose() {
  // The lines the statement import wrote carry their transaction's identity: they pair first.
  using Key = std::tuple<std::string, std::string, std::string>;  // month YYMM, journal, piece
  std::map<Key, std::string> imported;
  const std::string account = Trimmed(work_.Account());
  for (const processing::ImportedIdentity& i : processing::ReadImportedIdentities())
    if (Trimmed(i.account) == account) imported[Key(i.month, Trimmed(i.journal), PieceKey(i.piece))] = i.identity;
  const std::string accountKey = processing::StatementAccountKey(statement_);
  work_.SetIdentityOf(
      [imported](const processing::ReconciliationLine& l) {
        Ymd d;
        if (!ParseStoredDate(l.date, d)) return std::string();
        const std::string month = std::to_string(100 + d.year % 100).substr(1) + std::to_string(100 + d.month).substr(1);
        const auto found = imported.find(Key(month, Trimmed(l.journal), PieceKey(l.piece)));
        return found == imported.end() ? std::string() : found->second;
      },
      [accountKey](const processing::BankTransaction& t) { return processing::TransactionIdentity(accountKey, t); });
  unreadLoaded_.Clear();
  bool loaded = false;
  {
    const UnreadAmountWatch watch(unreadLoaded_);
    loaded = work_.Load(date_);
  }
  work_.SetStatement(statement_);
  work_.Propose(processing::ReconciliationWindowDays());
  ResetRows();
  return loaded;
}

void TWTraBroRapprochement::ResetRows() {
  unpaired_ = work_.UnpairedTransactions();
  // Transactions after the statement date wait for the next statement.
  unpaired_.erase(std::remove_if(unpaired_.begin(), unpaired_.end(),
                                 [&](std::size_t t) {
                                   Ymd d;
                                   const auto& tr = work_.Statement().transactions[t];
                                   return ParseYyyymmdd(tr.date, d) && StoredDateOf(d) > date_;
                                 }),
                  unpaired_.end());
  Store().totalRows = static_cast<long>(work_.Lines().size() + unpaired_.size());
  rank_ = Store().totalRows > 0 ? 0 : -1;
}

void TWTraBroRapprochement::SetupWindow() {
  CMDIBrowse::SetupWindow();
  BuildToolbar(toolbarCommands, true);
  RegisterWindowSlot(kReconciliationListSlot, GetHandle());
  if (Store().totalRows > 0 && Store().selected == 0) Store().selected = 1;
  ShowStatus();
}

void TWTraBroRapprochement::CleanupWindow() {
  work_.Close();
  SetRegistryText(kReconciliationListSlot, 1, " ");
  CMDIBrowse::CleanupWindow();
}

std::string TWTraBroRapprochement::StatusText() const {
  return FillPlaceholders(LoadStr(kTextStatus), {GroupedAmount(work_.ReconciledBalance()),
                                                 GroupedAmount(work_.StatementBalance()),
                                                 GroupedAmount(work_.Difference()), work_.Letter()});
}

const gui::ResponseTable& TWTraBroRapprochement::Table() {
  using F = TWTraBroRapprochement;
  static const gui::ResponseTable table = gui::ResponseTable(&CMDIBrowse::Table())
                                              .Command(form_cmd::Enregistrer, &F::CmEnregistrer)
                                              .Command(reconciliation_cmd::Pointer, &F::CmPointer)
                                              .Command(reconciliation_cmd::ProchaineLettre, &F::CmProchaineLettre)
                                              .Command(reconciliation_cmd::Importer, &F::CmImporter)
                                              .Enable(reconciliation_cmd::Importer, &F::CeImporter)
                                              .Enable(form_cmd::Enregistrer, &F::CeEnregistrer)
                                              .Enable(reconciliation_cmd::Pointer, &F::CeNotBusy)
                                              .Enable(reconciliation_cmd::ProchaineLettre, &F::CeNotBusy);
  return table;
}

// ---- rows ----------------------------------------------------------------------------------------------------------

void TWTraBroRapprochement::BuildRank(BrowseRows& rows, int i, long rank) {
  building_ = rank;
  BuildRowText(rows, i, rank + 1, false);
}

// A row's record number is its rank plus one.
long TWTraBroRapprochement::RankOfRecord(long recno) const {
  return recno >= 1 && recno <= Store().totalRows ? recno - 1 : -1;
}

std::string TWTraBroRapprochement::GetCellText(int, std::uint32_t, std::uint32_t value2, int column) {
  const std::size_t width = value2;
  const auto& lines = work_.Lines();
  const auto& transactions = work_.Statement().transactions;
  if (building_ < 0) return std::string(width, ' ');
  const std::size_t rank = static_cast<std::size_t>(building_);
  const processing::BankTransaction* t = nullptr;
  const processing::ReconciliationLine* l = nullptr;
  if (rank < lines.size()) {
    l = &lines[rank];
    if (l->transaction >= 0) t = &transactions[static_cast<std::size_t>(l->transaction)];
  } else if (rank - lines.size() < unpaired_.size()) {
    t = &transactions[unpaired_[rank - lines.size()]];
  }
  switch (column) {
    case 1: return l != nullptr && l->ticked ? "X" : " ";
    case 2: return l != nullptr ? ShownDate(l->date) : std::string(8, ' ');
    case 3: return Cut(l != nullptr ? l->journal : "", 3);
    case 4: return Cut(l != nullptr ? l->piece : "", 8);
    case 5: return Cut(l != nullptr ? l->label : "", width);
    case 6: return l != nullptr && l->cents > 0 ? GroupedAmount(l->cents, 17) : std::string(17, ' ');
    case 7: return l != nullptr && l->cents < 0 ? GroupedAmount(-l->cents, 17) : std::string(17, ' ');
    case 8: return t != nullptr ? ShownYyyymmdd(t->date) : std::string(8, ' ');
    case 9: return Cut(t != nullptr ? (t->name.empty() ? t->memo : t->name) : "", width);
    case 10: return t != nullptr ? GroupedAmount(t->cents, 18) : std::string(18, ' ');
    default: return std::string(width, ' ');
  }
}

// ---- commands ------------------------------------------------------------------------------------------------------

void TWTraBroRapprochement::CeEnregistrer(gui::CommandEnabler& ce) { ce.Enable(!Busy() && work_.TickedCount() > 0); }

void TWTraBroRapprochement::CmPointer() {
  const long rank = SelectedRank();
  const auto& lines = work_.Lines();
  if (Busy() || rank < 0 || static_cast<std::size_t>(rank) >= lines.size()) {
    gui::MessageBeep(0);
    return;
  }
  const std::size_t i = static_cast<std::size_t>(rank);
  work_.Tick(i, !lines[i].ticked);
  ReloadShownRows();
  EvKeyDown(gui::VK_DOWN, 1, 0);
}

void TWTraBroRapprochement::CmProchaineLettre() {
  if (Busy()) return;
  for (;;) {
    std::string typed = work_.Letter();
    TDFmtSaisie dialog(this, TDFmtSaisie::kOkCancel, LoadStr(kHintLetter), &typed, true);
    dialog.SetCaption(LoadStr(kCaption));
    if (dialog.Execute(kTaskModal) != gui::IDOK) return;
    if (work_.ChooseLetter(typed)) break;
    gui::MessageBeep(0);
  }
  ShowStatus();
}

void TWTraBroRapprochement::CeImporter(gui::CommandEnabler& ce) { ce.Enable(!Busy() && !unpaired_.empty()); }

void TWTraBroRapprochement::RedrawRows() {
  Store().selected = Store().totalRows > 0 ? 1 : 0;
  FillRowsFromFirst(Store().rows, 0, Store().rowsPerPage);
  Repaint();
  ShowStatus();
}

void TWTraBroRapprochement::CmImporter() {
  if (Busy() || unpaired_.empty()) {
    gui::MessageBeep(0);
    return;
  }
  // The bank whose general account is the reconciled account, with its journal.
  std::vector<processing::DossierBank> banks;
  if (TableC10 != nullptr && TableC10->UseShared(PathC10(), "C10CODE")) banks = processing::ReadDossierBanks(*TableC10);
  const processing::DossierBank* bank = nullptr;
  for (const processing::DossierBank& b : banks)
    if (Trimmed(b.generalAccount) == Trimmed(work_.Account())) {
      bank = &b;
      break;
    }
  if (bank == nullptr || bank->journal.empty()) {
    gui::MessageBeep(0);
    gui::MessageBox(this, FillPlaceholder(LoadStr(kMsgNoJournal), Trimmed(work_.Account())), LoadStr(kCaption),
                    gui::MB_OK | gui::MB_ICONSTOP);
    return;
  }
  // Only the transactions shown without a line, up to the statement date.
  processing::StatementImport request;
  request.statement = statement_;
  request.statement.transactions.clear();
  for (std::size_t t : unpaired_) request.statement.transactions.push_back(work_.Statement().transactions[t]);
  request.file = file_;
  request.bank = bank->code;
  request.bankAccount = bank->generalAccount;
  request.journal = bank->journal;
  request.counterpart = Trimmed(DossierIniGet(processing::kOfxIniSection, "CompteAttente",
                                              processing::kOfxDefaultCounterpart));
  request.labelCode = Trimmed(DossierIniGet(processing::kOfxIniSection, "CodeLibelle", ""));
  // The import writes through its own cursors: the reconciliation's lock stays held meanwhile.
  processing::StatementImportResult r;
  ::Table c50, c60;
  if (TableC20 != nullptr && TableC20->UseShared(PathC20(), "C20CODE") &&
      c50.OpenShared(PathC50(), LigneEcriture::kCodeTag) && c60.OpenShared(PathC60(), processing::kC60CodeTag)) {
    r = processing::ImportStatement(*TableC10, c50, c60, request);
  } else {
    r.message = LoadStr(kMsgFilesNotOpen);
  }
  c50.CloseTable();
  c60.CloseTable();
  gui::MessageBeep(0);
  gui::MessageBox(this, r.message, LoadStr(kCaption),
                  gui::MB_OK | (r.written || r.nothingNew ? gui::MB_ICONINFORMATION : gui::MB_ICONERROR));
  if (!r.written) return;
  // The ticks the user gave are kept over the reload.
  std::vector<std::uint32_t> ticked;
  for (const processing::ReconciliationLine& l : work_.Lines())
    if (l.ticked) ticked.push_back(l.c60);
  if (!LoadAndPropose()) {
    // Read again short of its lines: the list closes rather than show a book balance without them.
    gui::MessageBox(this, LoadStr(posting::kMsgAccountUnread), LoadStr(kCaption), gui::MB_OK | gui::MB_ICONSTOP);
    gui::PostMessage(GetHandle(), gui::WM_CLOSE);
    return;
  }
  for (std::size_t i = 0; i < work_.Lines().size(); ++i)
    if (std::find(ticked.begin(), ticked.end(), work_.Lines()[i].c60) != ticked.end()) work_.Tick(i, true);
  RedrawRows();
}

void TWTraBroRapprochement::CmEnregistrer() {
  if (Busy() || work_.TickedCount() == 0) {
    gui::MessageBeep(0);
    return;
  }
  // A difference left is named and saved only on the user's word.
  if (work_.Difference() != 0 &&
      gui::MessageBox(this, FillPlaceholder(LoadStr(kMsgDifferenceLeft), GroupedAmountText(work_.Difference())),
                      LoadStr(kCaption), gui::MB_YESNO | gui::MB_ICONQUESTION | gui::MB_DEFBUTTON2) != gui::IDYES)
    return;
  SetDossierState('1');
  std::size_t written = 0;
  const processing::ReconciliationSave saved = work_.Save(&written);
  SetDossierState(' ');
  if (saved == processing::ReconciliationSave::Failed) {
    // Nothing written: the form stays with its ticks, for a save made again.
    WriteLog(LoadStr(kLogNotSaved));
    gui::MessageBeep(0);
    if (!work_.Refusal().empty())
      gui::MessageBox(this, work_.Refusal(), LoadStr(kCaption), gui::MB_OK | gui::MB_ICONSTOP);
    return;
  }
  WriteLog(work_.LogLine(written));
  gui::MessageBox(this,
                  FillPlaceholders(LoadStr(kMsgSaved), {std::to_string(written), work_.LogLine(written).substr(30)}),
                  LoadStr(kCaption), gui::MB_OK | gui::MB_ICONINFORMATION);
  gui::PostMessage(GetHandle(), gui::WM_CLOSE);
}

// ---- the reconciliation statement ------------------------------------------------------------------------------------

bool TWTraBroRapprochement::PrepareReport() {
  ReportFieldTable& f = ReportFields();
  if (!f.Declared()) {
    f.SetFieldCount(kVarCount);
    f.InitFieldTable();
    for (int i = 0; i < kVarCount; ++i) f.DeclareField(i, kReportVars[i]);
  }
  f.ClearFieldValues();
  f.SetFieldText(kVarCompte, Trimmed(work_.Account()).c_str());
  std::string name;
  if (TableC20 != nullptr && TableC20->isOpen) {
    // The account not read makes no statement printed without its name.
    const Lookup account = TableC20->Find("C20CODE", work_.Account().c_str());
    if (account.IsRefused()) return false;
    if (account.IsFound()) name = Trimmed(TableC20->GetField(2));
  }
  f.SetFieldText(kVarNomCompte, name.c_str());
  f.SetFieldText(kVarDateReleve, ShownDate(date_).c_str());
  f.SetFieldText(kVarLettre, work_.Letter().c_str());
  f.SetFieldText(kVarEuro, LoadStr(work_.CurrencyIndex() == 1 ? kTextEuros : kTextFrancs));
  f.SetFieldNumber(kVarSoldeReleve, FromCents(work_.StatementBalance()));
  f.SetFieldNumber(kVarSoldeCompta, FromCents(work_.BookBalance()));
  f.SetFieldNumber(kVarSoldeRappr,
                   FromCents(work_.StatementBalance() + work_.UnreconciledDebit() - work_.UnreconciledCredit()));
  f.SetFieldNumber(kVarEcart, FromCents(work_.Difference()));
  f.SetFieldNumber(kVarTgDebit, FromCents(work_.UnreconciledDebit()));
  f.SetFieldNumber(kVarTgCredit, FromCents(work_.UnreconciledCredit()));
  reportRows_.clear();
  for (std::size_t i = 0; i < work_.Lines().size(); ++i)
    if (!work_.Lines()[i].ticked) reportRows_.push_back(i);
  reportLine_ = 0;
  unreadHanded_ = false;
  LineTypeText = reportRows_.empty() ? "Z" : "A";
  ListLineCount = 0;
  return true;
}

void TWTraBroRapprochement::ComputeLine() {
  if (!unreadHanded_ && WatchingUnreadAmounts()) {
    unreadHanded_ = true;
    NoteUnreadAmounts(unreadLoaded_);
  }
  if (reportLine_ >= reportRows_.size()) return;
  const processing::ReconciliationLine& l = work_.Lines()[reportRows_[reportLine_]];
  ReportFieldTable& f = ReportFields();
  f.SetFieldText(kVarDate, ShownDate(l.date).c_str());
  f.SetFieldText(kVarJournal, l.journal.c_str());
  f.SetFieldText(kVarPiece, l.piece.c_str());
  f.SetFieldText(kVarLibelle, l.label.c_str());
  f.SetFieldNumber(kVarDebit, l.cents > 0 ? FromCents(l.cents) : 0.0);
  f.SetFieldNumber(kVarCredit, l.cents < 0 ? FromCents(-l.cents) : 0.0);
  ++ListLineCount;
}

bool TWTraBroRapprochement::NextRecord() {
  if (++reportLine_ < reportRows_.size()) return true;
  LineTypeText = "Z";
  return false;
}

void TWTraBroRapprochement::ClassifyLine() { LineTypeText = "A"; }

// ---- the command ---------------------------------------------------------------------------------------------------

// Core: ReadOfxStatement, Reconciliation.
void CmRapprochementBanque() {
  if (ActivateExistingChild(kReconciliationListSlot) || ActivateExistingChild(kReconciliationFormSlot) ||
      CommandWindow == nullptr)
    return;
  if (TableC10 != nullptr) TableC10->UseShared(PathC10(), "C10CODE");
  OpenChild(new TWTraModRapprochement(CommandWindow));
}
