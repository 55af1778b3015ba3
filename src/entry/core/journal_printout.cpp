#include "entry/core/journal_printout.h"

#include <set>

#include "data/dossier_files.h"
#include "data/error_report.h"
#include "data/entry_lines.h"
#include "data/record_fields.h"
#include "data/write_targets.h"
#include "posting/journal_month.h"
#include "resources/string_table.h"
#include "runtime/code_helpers.h"
#include "runtime/dates.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/logfile.h"
#include "runtime/numbers.h"
#include "runtime/runtime_hooks.h"
#include "runtime/text.h"
#include "runtime/transfer_records.h"
#include "runtime/xbase.h"

namespace entry {

namespace {

using L = LigneEcriture;

// The report variables, in their column order.
constexpr const char* kDefinitions[JournalPrintout::kFieldCount] = {
    "EURO      C060", "MOIS      C020", "ANNEE     C020", "JOURNAL   C030", "NOMJOURNALC300", "PIECE     C060",
    "JOUR      C020", "VENT      C020", "COMPTE    C080", "NOMCOMPTE C300", "CODELIB   C070", "LIBELLE   C250",
    "LIB23     C740", "LIB2      C250", "LIB3      C250", "ECHEANCE  C080", "LETTRE    C040", "LETTREF   C040",
    "LETTREE   C040", "SENSDC    C010", "MONTANT   C140", "MONTANTF  C140", "MONTANTE  C140", "DEBIT     M142",
    "DEBITF    M142", "DEBITE    M142", "CREDIT    M142", "CREDITF   M142", "CREDITE   M142", "CONTROLE  C010",
    "CONTROLEF C010", "CONTROLEE C010", "CONTROLE2 C010", "TP_DEBIT  M142", "TP_DEBITF M142", "TP_DEBITE M142",
    "TP_CREDIT M142", "TP_CREDITFM142", "TP_CREDITEM142", "TP_SOLDE  C170", "TP_SOLDEF C170", "TP_SOLDEE C170",
    "TG_DEBIT  M142", "TG_DEBITF M142", "TG_DEBITE M142", "TG_CREDIT M142", "TG_CREDITFM142", "TG_CREDITEM142",
    "TG_SOLDE  C170", "TG_SOLDEF C170", "TG_SOLDEE C170", "BQE_CODE  C040", "BQE_LIBBANC300", "BQE_NOMCOMC300",
    "BQE_ETS   C050", "BQE_GUICHEC050", "BQE_NUMCOMC110", "BQE_CLERIBC020", "BQE_IBAN  C340", "BQE_BIC   C110",
    "BQE_SEPARAC010", "BQE_NUMEMEC060", "BQE_COMPTEC080", "BQF_DOM1  C240", "BQF_DOM2  C240", "BQF_ETS   C050",
    "BQF_GUICHEC050", "BQF_NUMCOMC110", "BQF_CLERIBC020", "BQF_IBAN  C340", "BQF_BIC   C110", "BQF_LIBVRTC990",
    "VRTS_03_01C800", "VRTS_03_02C800", "VRTS_06_01C800", "VRTS_06_02C800", "VRTS_08_01C800", "VRTS_08_02C800",
};

// C20 fields of a creditor account.
constexpr int kAccountName = 2, kDom1 = 9, kDom2 = 10, kRibBank = 11, kRibBranch = 12, kRibNumber = 13, kRibKey = 14,
              kIban = 15, kBic = 16, kMemo = 30;
constexpr int kMemoRoom = 4000;
// The end message of a transfer file not written: its title, the head of the accounts whose bank
// details are incomplete, the head of those whose transfer amount does not read, its last words.
constexpr int kTitleAttention = 52;
constexpr int kStrIncompleteBankDetails = 3053;
constexpr int kStrUnreadableTransfers = 31051;  // %s: the largest amount a line takes
constexpr int kStrNotPositiveTransfers = 39250;
// A record of kind "V" that cannot hold the amount to pay (%s: the account).
constexpr int kMsgRecordTooSmall = 27012;
constexpr int kStrTransferFileNotWritten = 16200;
// The refusals of the preparation, the code at fault in each.
constexpr int kRefusalNotCashJournal = 3036, kRefusalNoLines = 3037, kRefusalUnknownBank = 3038;
constexpr int kRefusalBankRib = 3039, kRefusalUnknownLabel = 3040, kRefusalBankIbanBic = 32407;
constexpr int kRefusalBankHolder = 32408;
// The other texts of the run; a "%s" of a text takes the value its comment names.
constexpr int kStrIncompleteRibs = 3041;        // the accounts
constexpr int kMarkRemittance = 3042;           // "Ref/Vrt=", in an account's memo
constexpr int kMacroBreak = 3111, kMacroColumn = 3112;  // the in-value macros of LIB23
constexpr int kTitleSepaTransfers = 3215;
constexpr int kMsgTemporaryFileFailed = 3216;   // the file's name, the error
constexpr int kMsgTransferFileFailed = 32409;   // the file, the error
constexpr int kLogTransferFailed = 23090;       // the file, the error
constexpr int kLogTransferDone = 23091;         // the journal-month, the count, the total, the file, the message id
constexpr int kLabelEuros = 2277, kLabelFrancs = 2278;
constexpr int kUnknownJournalName = 38;         // "???"
constexpr int kAmountRoom = 16;

// An account added to a list of the end message, on a line of its own, once.
void NameAccountOnce(std::string& list, const std::string& code) {
  if (list.find(Trimmed(code)) == std::string::npos) list += "\r\n   " + Trimmed(code);
}

std::string Part(const std::string& zone, int position, int width) {
  return PadRight(zone.size() >= static_cast<std::size_t>(position) ? zone.substr(static_cast<std::size_t>(position - 1))
                                                                : std::string(),
             static_cast<std::size_t>(width));
}

std::string Blanks(std::size_t n) { return std::string(n, ' '); }

bool Contains(const std::string& text, char c) { return text.find(c) != std::string::npos; }

// The list of accounts with incomplete bank details grows while it is shorter than 100 characters.
void AddToList(std::string& list, const std::string& account) {
  if (list.size() < 100) list += "\r\n" + Trimmed(account);
}

// The journal code and month of a key, as the messages name them.
std::string JournalMonthText(const std::string& journalMonth) {
  return posting::JournalOf(journalMonth) + " " + posting::MonthDisplay(journalMonth);
}

// A read of `t` the system refused (the engine's `result`), said in a box: what the run shows is short of it.
void SayUnread(const Table& t, int result) {
  RuntimeBeep();
  RuntimeMessage(LoadStr(kTitleAttention), UnreadText(t.tablePath, result).c_str(), kMbIconStop);
}

}  // namespace

const char* JournalPrintout::Definition(int n) { return n >= 0 && n < kFieldCount ? kDefinitions[n] : ""; }

bool JournalPrintout::OpenCursors() {
  return c50_.OpenShared(PathC50(), L::kCodeTag, true) && c10_.OpenShared(PathC10(), "C10CODE", true) &&
         c20_.OpenShared(PathC20(), "C20CODE", true);
}

void JournalPrintout::DeclareOrClear() {
  if (fields_.Declared() && fields_.FieldCount() == kFieldCount) {
    fields_.ClearFieldValues();
    return;
  }
  fields_.SetFieldCount(kFieldCount);
  fields_.InitFieldTable();
  for (int i = 0; i < kFieldCount; ++i) fields_.DeclareField(i, kDefinitions[i]);
}

bool JournalPrintout::Refuse(int message, const std::string& detail) {
  ShowEmptyReport(FillPlaceholder(LoadStr(message), detail).c_str());
  return false;
}

bool JournalPrintout::Empty() {
  ShowEmptyReport("");
  return false;
}

Lookup JournalPrintout::CheckBank(const std::string& code) {
  if (IsBlank(code)) return Lookup::NotFound();
  const Lookup found = posting::FindLiveC10(c10_, 'Q', code);
  if (!found.IsFound()) return found;
  bank_.code = c10_.GetField(2);
  bank_.name = c10_.GetField(3);
  bank_.zone4 = PadRight(c10_.GetField(4), 254);
  bank_.zone5 = PadRight(c10_.GetField(5), 254);
  return found;
}

Lookup JournalPrintout::LabelExists(char code) {
  if (code == ' ') return Lookup::NotFound();
  return posting::FindLiveC10(c10_, 'L', std::string(1, code));
}

void JournalPrintout::SetBankVariables() {
  const std::string& z4 = bank_.zone4;
  const std::string& z5 = bank_.zone5;
  fields_.SetFieldText(BQE_CODE, bank_.code.c_str());
  fields_.SetFieldText(BQE_LIBBAN, bank_.name.c_str());
  fields_.SetFieldText(BQE_NOMCOM, Part(z4, 157, 30).c_str());
  fields_.SetFieldText(BQE_ETS, Part(z4, 187, 5).c_str());
  fields_.SetFieldText(BQE_GUICHE, Part(z4, 192, 5).c_str());
  fields_.SetFieldText(BQE_NUMCOM, Part(z4, 197, 11).c_str());
  fields_.SetFieldText(BQE_CLERIB, Part(z4, 208, 2).c_str());
  fields_.SetFieldText(BQE_SEPARA, z4[209] == 'N' ? "0" : "1");
  fields_.SetFieldText(BQE_NUMEME, Part(z4, 121, 6).c_str());
  fields_.SetFieldText(BQE_IBAN, Part(z5, 1, 34).c_str());
  fields_.SetFieldText(BQE_BIC, Part(z5, 35, 11).c_str());
  fields_.SetFieldText(BQE_COMPTE, Part(z5, 46, 8).c_str());
  if (kind_ != 'V') return;
  // The emitter record; its currency letter always matches the euro amounts of the records.
  const std::string record03 =
      transfer_records::Header03(z4, TheDossierRecord.DateDisplay(DossierRecord::DateField::Working), true);
  record03a_ = record03.substr(0, 80);
  fields_.SetFieldText(VRTS_03_01, record03a_.c_str());
  fields_.SetFieldText(VRTS_03_02, record03.substr(80).c_str());
}

bool JournalPrintout::InJournal() {
  if (c50_.eof || c50_.bof || c50_.recordNumber == 0) return false;
  return std::string(c50_.GetField(L::BCLE)) + c50_.GetField(L::BMOIS) + c50_.GetField(L::BJAL) == prefix_;
}

bool JournalPrintout::Selected() {
  if (!InJournal()) return false;
  // A line whose mark is not read ends the printout short: said, and no transfer file is written.
  const Lookup live = c50_.LiveHere();
  if (live.IsRefused()) {
    if (!accountUnread_) SayUnread(c50_, live.result());
    accountUnread_ = true;
  }
  if (!live.IsFound()) return false;
  return IsBlank(run_.pieceTo) || std::string(c50_.GetField(L::BPIECE)) <= run_.pieceTo;
}

bool JournalPrintout::SkipSelected(int n) {
  for (int i = 0; i < n; ++i)
    if (!c50_.SkipActive(true)) return false;
  if (!c50_.eof && !c50_.SkipActive(false)) return false;
  if (kind_ == 'S' || kind_ == 'V') {
    while (InJournal() && !(c50_.GetField(L::BCLIB)[0] == payLabel_ && c50_.GetField(L::BSENS)[0] == 'D'))
      if (!c50_.SkipActive(true)) return false;
  }
  return Selected();
}

const JournalPrintout::Account& JournalPrintout::AccountOf(const std::string& code) {
  if (account_.code == code && (account_.found || !code.empty())) return account_;
  const auto known = accounts_.find(code);
  if (known != accounts_.end()) {
    account_ = known->second;
    return account_;
  }
  ++accountReads_;
  account_ = Account{};
  account_.code = code;
  const auto keep = [this]() -> const Account& { return accounts_[account_.code] = account_; };
  // The account itself, looked up on its whole code: a missing or cancelled one has no data. One not read
  // is said (once a run), kept out of the cache, and keeps a transfer file from being written.
  Lookup found = IsBlank(code) ? Lookup::NotFound()
                               : c20_.Find("C20CODE", code.c_str()).And(c20_.MatchRecordKey(code.c_str(), 8, 1).HoldsKey());
  if (found.IsFound()) found = c20_.LiveHere();
  if (found.IsRefused()) {
    if (!accountUnread_) SayUnread(c20_, found.result());
    accountUnread_ = true;
    return account_;
  }
  if (!found.IsFound()) {
    keep();
    return account_;
  }
  account_.found = true;
  account_.name = c20_.GetField(kAccountName);
  account_.dom1 = c20_.GetField(kDom1);
  account_.dom2 = c20_.GetField(kDom2);
  account_.bank = c20_.GetField(kRibBank);
  account_.branch = c20_.GetField(kRibBranch);
  account_.number = c20_.GetField(kRibNumber);
  account_.key = c20_.GetField(kRibKey);
  account_.iban = c20_.GetField(kIban);
  account_.bic = c20_.GetField(kBic);
  if (kind_ == 'S' || kind_ == 'V') account_.memo = c20_.GetMemo(kMemo, kMemoRoom);
  keep();
  return account_;
}

const std::string& JournalPrintout::LabelOf(char code) {
  if (labelCached_ && code == labelCode_) return labelText_;
  labelCached_ = true;
  labelCode_ = code;
  labelText_ = "???" + Blanks(4);
  // Only shown: a label code not read prints as an unknown one.
  if (LabelExists(code).FoundOrNone()) labelText_ = Part(c10_.GetField(4), 1, 7);
  return labelText_;
}

bool JournalPrintout::CreditorIncomplete(const Account& a) const {
  if (!a.found) return true;
  if (kind_ == 'V') return Contains(PadRight(a.bank, 5) + PadRight(a.branch, 5) + PadRight(a.number, 11) + PadRight(a.key, 2), ' ');
  return !Pain001Writer::IbanFits(a.iban) || !Pain001Writer::BicFits(a.bic);
}

std::string JournalPrintout::RemittanceText(const Account& a, const std::string& label,
                                            const std::string& label3) const {
  // R: the reference of the account's memo, then the third label when constant 072 asks for it.
  std::string reference;
  const std::string mark = Upper(LoadStr(kMarkRemittance));
  const std::size_t at = std::string(Upper(a.memo.c_str())).find(mark);
  if (at != std::string::npos) {
    std::string after = a.memo.substr(at + mark.size(), 30);
    const std::size_t end = after.find("\r\n");
    if (end != std::string::npos) after.resize(end);
    reference = Trimmed(after);
  }
  if (ConstantIs(72, 'O')) reference = reference.empty() ? PadRight(label3, 25) : reference + "-" + PadRight(label3, 25);
  // L: the label before its first backslash.
  std::string part;
  const std::size_t slash = label.find('\\');
  if (slash != std::string::npos && slash > 0) part = Trimmed(label.substr(0, slash));
  // X: the name the dossier gives its transfers.
  std::string name = DossierIniGet("Fichiers-Vrts", "LibelleDstVrt", TheDossierRecord.Name().c_str());
  if (name.size() > 30) name.resize(30);
  std::string text;
  if (!IsBlank(reference) && !part.empty()) text = reference + "-" + part;
  else if (!IsBlank(reference)) text = reference;
  else text = part;
  return IsBlank(text) ? name : Trimmed(text) + "-" + name;
}

bool JournalPrintout::CheckCreditors() {
  const std::uint32_t start = c50_.recordNumber;
  std::set<std::string> seen;
  std::string list;
  long listed = 0;
  for (bool more = Selected(); more; more = SkipSelected(1)) {
    const std::string code = c50_.GetField(L::BCODE);
    if (!CreditorIncomplete(AccountOf(code)) || !seen.insert(code).second) continue;
    if (++listed <= 20) list += "\r\n   " + Trimmed(code);
  }
  if (listed > 20) list += "\r\n   ...";
  // Back on the first line: one not read there starts no file from elsewhere.
  if (const Lookup back = c50_.GoToRecord(static_cast<long>(start)); back.IsRefused()) {
    SayUnread(c50_, back.result());
    return false;
  }
  if (accountUnread_) return false;
  if (listed == 0) return true;
  RuntimeBeep();
  RuntimeMessage(LoadStr(kTitleAttention),
                 (std::string(LoadStr(kStrIncompleteBankDetails)) + list + LoadStr(kStrTransferFileNotWritten)).c_str(),
                 kMbIconStop);
  return false;
}

bool JournalPrintout::Prepare(PrintoutRun& run) {
  writer_.Abort();
  transferFile_.clear();
  transferFailed_ = false;
  failedAccounts_.clear();
  unreadableAccounts_.clear();
  tooWideAccount_.clear();
  notPositiveAccounts_.clear();
  incompleteRib_.clear();
  incompleteIban_.clear();
  account_ = Account{};
  accounts_.clear();
  accountUnread_ = false;
  labelCached_ = false;
  computed_ = 0;
  accountReads_ = 0;

  typeListe_ = PadRight(Upper(run.typeListe.c_str()), 20);
  if (typeListe_[0] == '0') typeListe_[0] = ' ';
  kind_ = typeListe_[0];
  if (kind_ == '1') {
    if (IsBlank(run.selectedPiece)) return false;
    run.pieceFrom = run.pieceTo = run.selectedPiece;
  }
  for (std::string* limit : {&run.pieceFrom, &run.pieceTo})
    if (!IsBlank(*limit)) *limit = PadRight(*limit, 6);
    else limit->clear();
  run_ = run;
  prefix_ = posting::LinePrefix(run.journalMonth);
  {
    // A file whose opening read was refused is said, never a journal with nothing in it.
    const RefusalWatch opening(RefusalWatch::EngineBoxes::kRefusalsHeld);
    if (!OpenCursors()) {
      if (!opening.ReadRefused()) return Empty();
      Table& failed = !c50_.isOpen ? c50_ : !c10_.isOpen ? c10_ : c20_;
      SayUnread(failed, failed.result);
      return false;
    }
  }

  DeclareOrClear();
  const std::string month = PadRight(run.journalMonth, 7);
  fields_.SetFieldText(EURO, LoadStr(run.euros ? kLabelEuros : kLabelFrancs));
  fields_.SetFieldText(MOIS, month.substr(2, 2).c_str());
  fields_.SetFieldText(ANNEE, DecodeYear(month.substr(0, 2).c_str()));
  fields_.SetFieldText(JOURNAL, month.substr(4, 3).c_str());
  const posting::JournalRecord journal = posting::ReadJournal(c10_, posting::JournalOf(month));
  fields_.SetFieldText(NOMJOURNAL,
                       journal.found && !journal.cancelled ? journal.name.c_str() : LoadStr(kUnknownJournalName));

  if (kind_ == 'S' || kind_ == 'V') {
    const std::string code = posting::JournalOf(month);
    if (run.journalType != 'T') return Refuse(kRefusalNotCashJournal, code);
    const std::string bankCode = typeListe_.substr(1, 4);
    // A bank or a label code not read is no code unknown: the box names the file.
    const Lookup bank = CheckBank(bankCode);
    if (bank.IsRefused()) {
      SayUnread(c10_, bank.result());
      return false;
    }
    if (!bank.IsFound()) return Refuse(kRefusalUnknownBank, bankCode);
    if (kind_ == 'V' && Contains(Part(bank_.zone4, 187, 23), ' ')) return Refuse(kRefusalBankRib, bankCode);
    if (kind_ == 'S') {
      // The debtor's account as the file carries it: a right IBAN, a BIC of the schema's form, a holder.
      if (!Pain001Writer::IbanFits(Part(bank_.zone5, 1, 34)) || !Pain001Writer::BicFits(Part(bank_.zone5, 35, 11)))
        return Refuse(kRefusalBankIbanBic, bankCode);
      if (IsBlank(Part(bank_.zone4, 157, 30))) return Refuse(kRefusalBankHolder, bankCode);
    }
    payLabel_ = typeListe_[5];
    const Lookup label = LabelExists(payLabel_);
    if (label.IsRefused()) {
      SayUnread(c10_, label.result());
      return false;
    }
    if (!label.IsFound()) return Refuse(kRefusalUnknownLabel, std::string(1, payLabel_));
    SetBankVariables();
  }

  const std::string start = prefix_ + run_.pieceFrom;
  // Lines not read are said, never a journal printed empty: the look-up, and the first line's reads watched.
  const RefusalWatch reading(RefusalWatch::EngineBoxes::kHeld);
  const Lookup first = c50_.Find(L::kCodeTag, start.c_str());
  if (first.IsRefused()) {
    SayUnread(c50_, first.result());
    return false;
  }
  if (first.IsNotFound()) return Empty();
  if (!SkipSelected(0)) {
    if (reading.ReadRefused()) {
      SayUnread(c50_, c50_.result);
      return false;
    }
    if (kind_ == 'S' || kind_ == 'V') return Refuse(kRefusalNoLines, posting::JournalOf(month));
    return Empty();
  }
  if (kind_ == 'S') {
    if (!CheckCreditors()) return false;
    std::string error;
    if (!writer_.Begin(&error)) {
      RuntimeBeep();
      const std::string file = platform::TemporaryFolder() + "/" + Pain001Writer::kTemporaryPrefix + "XXXXXX";
      RuntimeMessage(LoadStr(kTitleSepaTransfers),
                     FillPlaceholders(LoadStr(kMsgTemporaryFileFailed), {file, error}).c_str(), kMbIconStop);
      return false;
    }
  }
  const std::string piece = c50_.GetField(L::BPIECE);
  lineType_ = "A" + piece + piece;
  return true;
}

void JournalPrintout::Compute() {
  if (lineType_.empty() || c50_.recordNumber == 0) return;
  if (lineType_[0] == 'R')
    for (int v = TP_DEBIT; v <= TP_CREDITE; ++v) fields_.SetFieldUnits(v, 0);

  const std::string day = c50_.GetField(L::BJOUR);
  const std::string accountCode = c50_.GetField(L::BCODE);
  const char labelCode = c50_.GetField(L::BCLIB)[0];
  const std::string label = c50_.GetField(L::BLIB);
  const std::string label2 = c50_.GetField(L::BLIB2);
  const std::string label3 = c50_.GetField(L::BLIB3);
  const std::string due = c50_.GetField(L::BECHEANCE);
  const std::string letterF = c50_.GetField(L::BLET);
  const std::string letterE = c50_.GetField(L::BLETE);
  const char sense = c50_.GetField(L::BSENS)[0];
  const double francs = FromCents(StoredAmountOf(c50_, L::BMONTANTF));
  bool eurosRead = true;
  const double euros = FromCents(StoredAmountOf(c50_, L::BMONTANTE, &eurosRead));
  const double amount = run_.euros ? euros : francs;

  fields_.SetFieldText(PIECE, c50_.GetField(L::BPIECE));
  fields_.SetFieldText(JOUR, day.c_str());
  fields_.SetFieldText(VENT, c50_.GetField(L::BVENT));
  std::string shown = accountCode;
  NormalizeNumberText(shown);
  fields_.SetFieldText(COMPTE, shown.c_str());
  const Account& account = AccountOf(accountCode);
  fields_.SetFieldText(NOMCOMPTE, account.found ? account.name.c_str() : ("???" + Blanks(27)).c_str());
  fields_.SetFieldText(CODELIB, LabelOf(labelCode).c_str());
  fields_.SetFieldText(LIBELLE, label.c_str());

  std::string lib23;
  if (ConstantIs(65, 'O')) {
    char column[8];
    std::snprintf(column, sizeof column, "%03d", run_.continuationColumn);
    const std::string macros =
        std::string("\x18") + LoadStr(kMacroBreak) + "\x19\x18" + LoadStr(kMacroColumn) + column + "\x19";
    if (!IsBlank(label2)) lib23 = macros + label2;
    if (!IsBlank(label3)) lib23 = RTrim(lib23.c_str()) + macros + label3;
  }
  fields_.SetFieldText(LIB23, lib23.c_str());
  fields_.SetFieldText(LIB2, label2.c_str());
  fields_.SetFieldText(LIB3, label3.c_str());
  fields_.SetFieldText(ECHEANCE, IsBlank(due) ? "" : ConvertDate(due.c_str()));
  fields_.SetFieldText(LETTRE, (run_.euros ? letterE : letterF).c_str());
  fields_.SetFieldText(LETTREF, letterF.c_str());
  fields_.SetFieldText(LETTREE, letterE.c_str());
  fields_.SetFieldText(SENSDC, std::string(1, sense).c_str());
  fields_.SetFieldText(MONTANT, FormatNumber(14, 0, false, Round(0, amount)));
  fields_.SetFieldText(MONTANTF, FormatNumber(14, 0, false, Round(0, francs)));
  fields_.SetFieldText(MONTANTE, FormatNumber(14, 0, false, Round(0, euros)));
  const bool debit = sense == 'D';
  const int first = debit ? DEBIT : CREDIT, other = debit ? CREDIT : DEBIT;
  fields_.SetFieldNumber(first, amount);
  fields_.SetFieldNumber(first + 1, francs);
  fields_.SetFieldNumber(first + 2, euros);
  for (int v = other; v < other + 3; ++v) fields_.SetFieldText(v, "");

  // The piece's totals, then the run's, each currency apart.
  auto balance = [this](int total, int d, int c) {
    std::int64_t ud = 0, uc = 0;
    fields_.GetFieldUnits(d, ud);
    fields_.GetFieldUnits(c, uc);
    if (ud == uc) fields_.SetFieldText(total, "");
    else fields_.SetFieldDifference(total, d, c);
    return ud == uc;
  };
  for (int k = 0; k < 3; ++k) {
    fields_.AddField(TP_DEBIT + k, DEBIT + k);
    fields_.AddField(TP_CREDIT + k, CREDIT + k);
    const bool even = balance(TP_SOLDE + k, TP_DEBIT + k, TP_CREDIT + k);
    fields_.SetFieldText(CONTROLE + k, even ? "" : "?");
  }
  const bool pieceEven = IsBlank(fields_.Value(TP_SOLDEF)) && IsBlank(fields_.Value(TP_SOLDEE));
  fields_.SetFieldText(CONTROLE2, pieceEven ? "" : "?");
  for (int k = 0; k < 3; ++k) {
    fields_.AddField(TG_DEBIT + k, DEBIT + k);
    fields_.AddField(TG_CREDIT + k, CREDIT + k);
    balance(TG_SOLDE + k, TG_DEBIT + k, TG_CREDIT + k);
  }

  if (kind_ == 'S' || kind_ == 'V') {
    if (CreditorIncomplete(account)) AddToList(kind_ == 'V' ? incompleteRib_ : incompleteIban_, accountCode);
    fields_.SetFieldText(BQF_DOM1, account.dom1.c_str());
    fields_.SetFieldText(BQF_DOM2, account.dom2.c_str());
    fields_.SetFieldText(BQF_ETS, account.bank.c_str());
    fields_.SetFieldText(BQF_GUICHE, account.branch.c_str());
    fields_.SetFieldText(BQF_NUMCOM, account.number.c_str());
    fields_.SetFieldText(BQF_CLERIB, account.key.c_str());
    fields_.SetFieldText(BQF_IBAN, account.iban.c_str());
    fields_.SetFieldText(BQF_BIC, account.bic.c_str());
    fields_.SetFieldText(BQF_LIBVRT, RemittanceText(account, label, label3).c_str());
  }
  // A record whose amount does not read would pay a sum nobody entered: no records at the end, the
  // account named.
  if (kind_ == 'V' && !eurosRead) NameAccountOnce(unreadableAccounts_, accountCode);
  // A line below zero reads when its twin is above (the opening balances write such lines), and a
  // line of zero reads too: neither is a sum to pay, so no records either.
  if (kind_ == 'V' && eurosRead && ToCents(euros) <= 0) NameAccountOnce(notPositiveAccounts_, accountCode);
  if (kind_ == 'V') {
    transfer_records::Detail d;
    d.issuer = transfer_records::IssuerOf(record03a_);
    d.account = account.found ? accountCode : "";
    d.name = account.name;
    d.domiciliation = account.dom1;
    d.branch = account.branch;
    d.number = account.number;
    d.cents = ToCents(euros);
    d.label = PadRight(fields_.Value(BQF_LIBVRT), 31);
    d.bank = account.bank;
    std::string r06 = transfer_records::Detail06(d);
    std::string r08 = transfer_records::Total08(d.issuer, ToCents(fields_.GetFieldNumber(TG_DEBITE)));
    // A record that cannot hold the amount (or the run's total) is no record: the run ends
    // without its records, the account named.
    if ((r06.empty() || r08.empty()) && eurosRead && d.cents > 0 && tooWideAccount_.empty())
      tooWideAccount_ = Trimmed(accountCode);
    r06 = PadRight(r06, 160);
    r08 = PadRight(r08, 160);
    const std::string r06a = r06.substr(0, 80), r06b = r06.substr(80), r08a = r08.substr(0, 80), r08b = r08.substr(80);
    fields_.SetFieldText(VRTS_06_01, r06a.c_str());
    fields_.SetFieldText(VRTS_06_02, r06b.c_str());
    fields_.SetFieldText(VRTS_08_01, r08a.c_str());
    fields_.SetFieldText(VRTS_08_02, r08b.c_str());
  }
  if (kind_ == 'S') ComputeTransfer(account);
  ++computed_;
}

void JournalPrintout::ComputeTransfer(const Account& a) {
  const std::string code = c50_.GetField(L::BCODE);
  // A transfer whose amount does not read as a number would send a sum nobody entered: no file at
  // the end, the account named.
  bool readable = true;
  const long long cents = StoredAmountOf(c50_, L::BMONTANTE, &readable);
  if (!readable) {
    transferFailed_ = true;
    NameAccountOnce(unreadableAccounts_, code);
  }
  if (CreditorIncomplete(a)) {
    // Another station changed the account since the run was prepared: no file at the end.
    transferFailed_ = true;
    NameAccountOnce(failedAccounts_, code);
    return;
  }
  if (!readable) return;
  // A payment is a sum above zero, whatever a line that reads holds (below zero with its twin above,
  // or zero): no file at the end, the account named.
  if (cents <= 0) {
    transferFailed_ = true;
    NameAccountOnce(notPositiveAccounts_, code);
    return;
  }
  Pain001Transfer t;
  t.instructionId = "Virement:" + Pain001Writer::BlockNumber(writer_.Count()) + "-" + Trimmed(fields_.Value(JOUR)) + "/" +
                    Trimmed(fields_.Value(MOIS)) + "/" + Trimmed(fields_.Value(ANNEE));
  t.endToEndId = Trimmed(fields_.Value(CODELIB)) + " " + Trimmed(fields_.Value(LIBELLE));
  t.cents = cents;
  t.bic = a.bic;
  t.name = Trimmed(fields_.Value(COMPTE)) + "-" + Trimmed(fields_.Value(NOMCOMPTE));
  t.iban = a.iban;
  t.remittance = "Vrt:" + Trimmed(fields_.Value(BQF_LIBVRT));
  if (!writer_.Add(t)) transferFailed_ = true;
}

void JournalPrintout::FinishTransferFile() {
  if (!writer_.Begun()) return;
  if (transferFailed_) {
    writer_.Abort();
    // The layout's export, whose name the file would have taken, is given up with it: this box
    // says why, and the report engine says nothing more (nothing is ready).
    if (AbandonExport) AbandonExport();
    RuntimeBeep();
    std::string text;
    if (!failedAccounts_.empty()) text += LoadStr(kStrIncompleteBankDetails) + failedAccounts_;
    if (!unreadableAccounts_.empty())
      text += FillPlaceholder(LoadStr(kStrUnreadableTransfers), LargestLineText()) + unreadableAccounts_;
    if (!notPositiveAccounts_.empty()) text += LoadStr(kStrNotPositiveTransfers) + notPositiveAccounts_;
    RuntimeMessage(LoadStr(kTitleAttention), (text + LoadStr(kStrTransferFileNotWritten)).c_str(), kMbIconStop);
    return;
  }
  Pain001Debtor debtor;
  debtor.name = Part(bank_.zone4, 157, 30);
  debtor.iban = Part(bank_.zone5, 1, 34);
  debtor.bic = Part(bank_.zone5, 35, 11);
  debtor.paymentInfoId = "Vrts-" + Trimmed(DossierCode) + "-" + Trimmed(TheDossierRecord.Name());
  const std::string working = TheDossierRecord.DateYyyymmdd(DossierRecord::DateField::Working);
  debtor.executionDate = working.size() == 8 ? working.substr(0, 4) + "-" + working.substr(4, 2) + "-" + working.substr(6, 2)
                                             : std::string();
  const std::string target = ExportFileName(".xml", "XP");
  // Never written over a file of the dossier or of the program.
  std::string error = WriteTargetRefusal(target);
  const long count = writer_.Count();
  const long long total = writer_.TotalCents();
  if (!error.empty() || !writer_.Finish(debtor, target, &error)) {
    // A target refused leaves no temporary file either, and no export is offered in its place.
    writer_.Abort();
    if (AbandonExport) AbandonExport();
    WriteLog(FillPlaceholders(LoadStr(kLogTransferFailed), {target, error}));
    RuntimeBeep();
    RuntimeMessage(LoadStr(kTitleSepaTransfers),
                   FillPlaceholders(LoadStr(kMsgTransferFileFailed), {target, error}).c_str(), kMbIconStop);
    return;
  }
  transferFile_ = target;
  WriteLog(FillPlaceholders(LoadStr(kLogTransferDone),
                            {JournalMonthText(run_.journalMonth), std::to_string(count),
                             Pain001Writer::AmountText(total), target, writer_.MessageId()}));
}

bool JournalPrintout::Next() {
  if (lineType_.empty()) return false;
  if (SkipSelected(1)) return true;
  lineType_[0] = 'Z';
  if (kind_ == 'S') FinishTransferFile();
  if (kind_ == 'V') RefuseUnreadableRecords();
  return false;
}

void JournalPrintout::RefuseUnreadableRecords() {
  if (unreadableAccounts_.empty() && notPositiveAccounts_.empty() && tooWideAccount_.empty()) return;
  for (int v = VRTS_06_01; v <= VRTS_08_02; ++v) fields_.SetFieldText(v, "");
  if (AbandonExport) AbandonExport();
  RuntimeBeep();
  std::string text;
  if (!unreadableAccounts_.empty())
    text += FillPlaceholder(LoadStr(kStrUnreadableTransfers), LargestLineText()) + unreadableAccounts_;
  if (!notPositiveAccounts_.empty()) text += LoadStr(kStrNotPositiveTransfers) + notPositiveAccounts_;
  text = text.empty() ? FillPlaceholder(LoadStr(kMsgRecordTooSmall), tooWideAccount_)
                      : text + LoadStr(kStrTransferFileNotWritten);
  RuntimeMessage(LoadStr(kTitleAttention), text.c_str(), kMbIconStop);
}

void JournalPrintout::Classify() {
  if (lineType_.size() < 13) lineType_ = PadRight(lineType_, 13);
  const std::string piece = PadRight(c50_.GetField(L::BPIECE), 6);
  lineType_.replace(7, 6, lineType_.substr(1, 6));
  lineType_.replace(1, 6, piece);
  lineType_[0] = lineType_.compare(1, 6, lineType_, 7, 6) != 0 ? 'R' : 'S';
}

void JournalPrintout::Default(PrintoutRun& run) {
  // A run left before its end writes no transfer file.
  writer_.Abort();
  if (kind_ == '1') {
    run.pieceFrom.clear();
    run.pieceTo.clear();
  }
  // Kind "S" writes no file for incomplete bank details and said so at the end of the run.
  if (kind_ != 'V' || IsBlank(incompleteRib_)) return;
  RuntimeMessage(LoadStr(kTitleAttention), FillPlaceholder(LoadStr(kStrIncompleteRibs), incompleteRib_).c_str(),
                 kMbIconStop);
}

}  // namespace entry
