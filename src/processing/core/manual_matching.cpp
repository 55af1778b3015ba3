#include "processing/core/manual_matching.h"

#include <cstdlib>
#include <map>

#include "data/account_totals.h"
#include "data/dossier_files.h"
#include "data/draft_lines.h"
#include "data/entry_lines.h"
#include "data/error_report.h"
#include "data/locks.h"
#include "data/session.h"
#include "data/table_results.h"
#include "posting/journal_month.h"
#include "posting/line_save.h"
#include "posting/new_lines.h"
#include "processing/core/letters_change.h"
#include "resources/string_table.h"
#include "runtime/code_helpers.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/numbers.h"
#include "runtime/session_registry.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace processing {

namespace {

using L = LigneEcriture;
using T = LigneTri;

constexpr int kLetterFrancsConstant = 28, kLetterEurosConstant = 29;
constexpr int kBalanceLimitConstant = 52, kBalanceJournalConstant = 53, kBalanceLabelConstant = 54,
              kBalanceAccountsConstant = 55;
constexpr const char* kDefaultExempt = "-512-514-515-516-517-518-519-530-531-532-533-";
// Record text of a C60 line for the lock notice: fields 14 to 1.
// The list's status line: the lines shown, the balance of the lines matched and unmatched.
constexpr int kTextStatus = 23222;
constexpr int kMsgLettersRefused = 37753;  // why the letters were not saved
constexpr int kMsgBalanceNotWritten = 36201;  // why

std::string Field(Table& t, int field) { return t.GetField(field); }

}  // namespace

ManualMatchingParameters ManualMatchingParameters::Parse(const std::string& text) {
  std::string t = text;
  t.resize(kLength, ' ');
  ManualMatchingParameters p;
  p.account = t.substr(0, 8);
  p.firstDate = t.substr(8, 6);
  p.lastDate = t.substr(14, 6);
  p.filter = t[20];
  p.euros = t[21] == 'O';
  return p;
}

std::string ManualMatchingParameters::Text() const {
  std::string a = account, f = firstDate, l = lastDate;
  a.resize(8, ' ');
  f.resize(6, ' ');
  l.resize(6, ' ');
  return a + f + l + filter + (euros ? 'O' : 'N');
}

bool IsExemptAccount(const std::string& account) {
  std::string list = DossierIniGet("Lettrages", "LettragesSauf", "");
  if (Trimmed(list).empty()) list = IniGetString("LettragesSauf", kDefaultExempt);
  const std::string wanted = "-" + account.substr(0, 3) + "-";
  return !Trimmed(list).empty() && account.size() >= 3 && list.find(wanted) != std::string::npos;
}

ManualMatching::ManualMatching(const ManualMatchingParameters& p) : p_(p), currency_(p.euros ? 1 : 0) {
  p_.account.resize(kAccountWidth, ' ');
}

ManualMatching::~ManualMatching() { Close(); }

void ManualMatching::Close() {
  if (accountLocked_ && TableC20 != nullptr && TableC20->isOpen &&
      TableC20->Find("C20CODE", p_.account.c_str()).IsFound()) {
    const bool editorHolds = EditorLock.table == TableC20 && EditorLock.record == TableC20->recordNumber;
    if (!editorHolds) UnlockRecord(*TableC20);
  }
  if (accountLocked_ && RegistryText(kRegistryHeldAccountPos, kRegistryHeldAccountWidth) == p_.account)
    SetRegistryText(kRegistryHeldAccountPos, kRegistryHeldAccountWidth, "");
  accountLocked_ = false;
  c40_.CloseTable();
  c50_.CloseTable();
  c60_.CloseTable();
}

bool ManualMatching::PassesFilter(const std::string& letter) const {
  switch (p_.filter) {
    case '1': return true;
    case '2': return Trimmed(letter).empty();
    case '3': return !Trimmed(letter).empty();
    default: return false;
  }
}

ManualOpen ManualMatching::Open() {
  if (!c60_.OpenShared(PathC60(), kC60CodeTag) || !c40_.OpenShared(PathC40(), "C40CODE") ||
      !c50_.OpenShared(PathC50(), L::kCodeTag))
    return ManualOpen::NoTable;
  currentLetter_ = Trimmed(ConstantEntry(currency_ == 1 ? kLetterEurosConstant : kLetterFrancsConstant));
  // The chart and the general file of the program, opened when no window has them open.
  if (TableC20 == nullptr || TableC10 == nullptr || !TableC20->UseShared(PathC20(), "C20CODE") ||
      !TableC10->UseShared(PathC10(), "C10CODE"))
    return ManualOpen::NoTable;
  // The account must exist and is held by this list alone: another station's list is refused.
  Table& c20 = *TableC20;
  Lookup account = c20.Find("C20CODE", p_.account.c_str());
  if (account.IsFound()) account = account.And(std::string(c20.GetField(1)).substr(0, kAccountWidth) == p_.account);
  if (account.IsFound()) account = c20.LiveHere();
  if (account.IsRefused()) return ManualOpen::Unread;
  if (account.IsNotFound()) return ManualOpen::NoAccount;
  if (!LockRecord(c20, p_.account.c_str(), 0))
    return LockHeldElsewhere(c20) ? ManualOpen::AccountLocked : ManualOpen::Unread;
  accountLocked_ = true;
  SetRegistryText(kRegistryHeldAccountPos, kRegistryHeldAccountWidth, p_.account);

  const MatchTables t = Tables();
  lines_.clear();
  rows_.clear();
  std::vector<LetterWrite> staleMarks;
  // Its lines not read, the next letter could be one given already: no list.
  const Lookup first = c60_.Find(kC60CodeTag, p_.account.c_str());
  if (first.IsRefused()) return ManualOpen::Unread;
  for (bool more = first.IsFound(); more && AccountOf(c60_) == p_.account;
       more = c60_.SkipActive(true)) {
    const Lookup live = c60_.LiveHere();
    if (live.IsRefused()) return ManualOpen::Unread;
    if (live.IsNotFound()) continue;
    if (!Trimmed(Field(c60_, T::TLETP)).empty()) staleMarks.push_back({c60_.recordNumber, ""});
    AccountLine line;
    line.c60 = c60_.recordNumber;
    line.letter = Trimmed(Field(c60_, T::TLET + currency_));
    const std::string date = DateOf(c60_);
    const bool inRange = date >= p_.firstDate && date <= p_.lastDate;
    const SourceLine s = ReadSource(t, currency_);
    if (s.refused) return ManualOpen::Unread;
    line.cents = s.cents;
    if (!line.letter.empty() && LetterAfter(line.letter, currentLetter_)) currentLetter_ = line.letter;
    if (inRange && PassesFilter(line.letter)) rows_.push_back(line.c60);
    lines_.push_back(line);
  }
  // The marks another list left blanked, as one change: a mark that stays (its write refused) is never
  // taken for one of this list, which marks from its own lines.
  WriteMarks(c60_, staleMarks);
  if (rows_.empty()) return ManualOpen::NoLine;
  RaiseToNotedLetters(p_.account, currency_, currentLetter_);
  AdvanceLetter(currentLetter_);
  firstAllowed_ = currentLetter_;
  exempt_ = IsExemptAccount(p_.account);
  return ManualOpen::Opened;
}

std::string ManualMatching::LabelText(const std::string& code) {
  if (code == labelCode_ && !labelText_.empty()) return labelText_;
  labelCode_ = code;
  labelText_ = "???    ";
  // Only shown: a label code not read shows as an unknown one.
  if (TableC10 != nullptr && TableC10->isOpen && posting::FindC10(*TableC10, 'L', code).FoundOrNone() &&
      TableC10->LiveHere().IsFound()) {
    std::string text = Field(*TableC10, 4).substr(0, 7);
    text.resize(7, ' ');
    labelText_ = text;
  }
  return labelText_;
}

ManualLine ManualMatching::ReadLine(std::uint32_t c60) {
  ManualLine m;
  m.c60 = c60;
  // A line whose mark is not read stays unreadable, as one not read.
  if (!c60_.GoToRecord(static_cast<long>(c60)).IsFound() || !c60_.LiveHere().IsFound()) return m;
  m.readable = true;
  m.date = DateOf(c60_);
  m.journal = Field(c60_, T::TJAL).substr(0, 3);
  m.letter = Field(c60_, T::TLET + currency_).substr(0, 4);
  m.mark = Field(c60_, T::TLETP).substr(0, 4);
  m.letter.resize(4, ' ');
  m.mark.resize(4, ' ');
  m.piece = Field(c60_, T::TPIECE);
  const SourceLine s = ReadSource(Tables(), currency_);
  m.draft = s.draft;
  if (s.table == nullptr) return m;
  Table& src = *s.table;
  m.reached = true;
  m.cents = s.cents < 0 ? -s.cents : s.cents;
  m.sense = Field(src, SourceSenseField(s.draft))[0];
  m.labelCode = Field(src, s.draft ? int{L::BCLIB} : int{L::DCLIB}).substr(0, 1);
  m.label = Field(src, s.draft ? int{L::BLIB} : int{L::DLIB});
  m.label2 = Field(src, s.draft ? int{L::BLIB2} : int{L::DLIB2});
  m.label3 = Field(src, s.draft ? int{L::BLIB3} : int{L::DLIB3});
  m.due = Field(src, s.draft ? int{L::BECHEANCE} : int{L::DECHEANCE});
  m.francsLetter = Field(src, s.draft ? int{L::BLET} : int{L::DLET});
  m.piece = Field(src, s.draft ? int{L::BPIECE} : int{L::DPIECE});
  m.labelText = LabelText(m.labelCode);
  return m;
}

ManualMatching::AccountLine* ManualMatching::Find(std::uint32_t c60) {
  for (AccountLine& l : lines_)
    if (l.c60 == c60) return &l;
  return nullptr;
}

bool ManualMatching::WriteMark(std::uint32_t c60, const char* mark) {
  if (!c60_.GoToRecord(static_cast<long>(c60)).IsFound()) return false;
  const Lookup live = c60_.LiveHere();
  if (live.IsRefused()) refusal_ = UnreadText(c60_.tablePath, live.result());
  if (!live.IsFound()) return false;
  return WriteMarks(c60_, {{c60, mark}}, &refusal_);
}

bool ManualMatching::Mark(std::size_t row, MarkCommand command) {
  refusal_.clear();
  if (row >= rows_.size()) return false;
  AccountLine* line = Find(rows_[row]);
  if (line == nullptr || !c60_.GoToRecord(static_cast<long>(line->c60)).IsFound()) return false;
  // A line whose mark is not read is not marked: said, as a write refused is.
  const Lookup live = c60_.LiveHere();
  if (live.IsRefused()) refusal_ = UnreadText(c60_.tablePath, live.result());
  if (!live.IsFound()) return false;
  const bool lettered = !line->letter.empty();
  const bool marked = line->mark != ' ';
  // What each command does in each state: the new mark and whether the amounts are added.
  char mark = 0;
  bool add = true;
  if (!lettered && !marked) {
    if (command == MarkCommand::Delettrer) return false;
    mark = '+';
  } else if (!lettered && marked) {
    if (command == MarkCommand::Lettrer) return false;
    mark = ' ';
    add = false;
  } else if (lettered && !marked) {
    if (command == MarkCommand::Lettrer) return false;
    mark = '-';
    add = false;
  } else {
    if (command == MarkCommand::Delettrer) return false;
    mark = ' ';
  }
  const std::string text(1, mark);
  if (!WriteMark(line->c60, text.c_str())) return false;
  line->mark = mark;
  const long long debit = line->cents > 0 ? line->cents : 0, credit = line->cents < 0 ? -line->cents : 0;
  markedDebit_ += add ? debit : -debit;
  markedCredit_ += add ? credit : -credit;
  modified_ = true;
  return true;
}

bool ManualMatching::ChooseLetter(const std::string& typed) {
  const std::string answer = Trimmed(typed);
  if (!IsAlphaNumeric(answer.c_str()) || answer.size() > static_cast<std::size_t>(kLetterWidth)) return false;
  if (!exempt_) {
    const std::string first = firstAllowed_.empty() ? "A" : firstAllowed_;
    if (answer.empty() || LetterAfter(first, answer)) return false;
  }
  currentLetter_ = answer;
  return true;
}

bool ManualMatching::MinusGroupsKeepBalance() const {
  // Per letter losing lines: what stays in the group must balance.
  std::map<std::string, long long> rest;
  std::map<std::string, bool> touched;
  for (const AccountLine& l : lines_) {
    if (l.letter.empty()) continue;
    if (l.mark == '-') touched[l.letter] = true;
    else rest[l.letter] += l.cents;
  }
  for (const auto& [letter, _] : touched)
    if (rest[letter] != 0) return false;
  return true;
}

bool ManualMatching::CanSave() {
  if (!modified_) return false;
  if (exempt_) return markedDebit_ != 0 || markedCredit_ != 0;
  long long plus = 0;
  for (const AccountLine& l : lines_)
    if (l.mark == '+') plus += l.cents;
  return markedDebit_ == markedCredit_ && plus == 0 && MinusGroupsKeepBalance();
}

bool ManualMatching::SaveLetters() {
  refusal_.clear();
  std::vector<LetterWrite> letters;
  for (const AccountLine& l : lines_)
    if (l.mark == '+' || l.mark == '-') letters.push_back({l.c60, l.mark == '+' ? currentLetter_ : ""});
  const LettersOutcome out =
      WriteLetters(Tables(), currency_, letters, LineChangeKind::LettersSaved, kMsgLettersRefused, false);
  if (!out.done) {
    refusal_ = out.refusal;
    return false;
  }
  for (AccountLine& l : lines_) {
    if (l.mark == '+') l.letter = currentLetter_;
    if (l.mark == '-') l.letter.clear();
  }
  return true;
}

long long ManualMatching::MaxDifference() const {
  const double v = Val(ConstantEntry(kBalanceLimitConstant));
  return v > 0 ? ToCents(v) : 100;
}

bool ManualMatching::CanBalance(std::size_t row) {
  if (!ConstantIs(kEuroOnlyConstant, 'O') || ConstantIs(kBalanceLimitConstant, 'N')) return false;
  // In francs the difference would be written as euros.
  if (currency_ != 1 || row >= rows_.size() || exempt_ || !modified_) return false;
  const AccountLine* line = Find(rows_[row]);
  if (line == nullptr || !line->letter.empty() || line->mark == ' ') return false;
  const long long d = markedDebit_ - markedCredit_;
  return d != 0 && (d < 0 ? -d : d) <= MaxDifference() && MinusGroupsKeepBalance();
}

BalanceOutcome ManualMatching::Balance(std::size_t row) {
  balanceRefusal_.clear();
  if (!CanBalance(row) || TableC10 == nullptr || !TableC10->isOpen) return BalanceOutcome::Refused;
  // A write or read the system refuses on the way is said in the refusal's one sentence, not in the
  // engine's boxes.
  RefusalWatch watch(RefusalWatch::EngineBoxes::kHeld);
  auto refused = [&](BalanceOutcome outcome) {
    if (watch.HasReason()) {
      const int code = watch.RefusedResult() != 0 ? watch.RefusedResult() : watch.Seen() ? watch.Result() : kResultSystemError;
      balanceRefusal_ = FillPlaceholder(LoadStr(kMsgBalanceNotWritten), watch.Reason(code, c50_.tablePath, code));
    }
    return outcome;
  };
  const ManualLine selected = ReadLine(rows_[row]);
  if (!selected.readable) return BalanceOutcome::Refused;
  Table& c10 = *TableC10;
  const std::string journal = Trimmed(ConstantEntry(kBalanceJournalConstant));
  const posting::JournalRecord j = posting::ReadJournal(c10, journal);
  if (journal.empty() || !j.found || j.cancelled) return BalanceOutcome::NoJournal;
  if (static_cast<long>(c50_.RecCount()) + 2 > kMaxLineRecords) return BalanceOutcome::TooManyLines;

  // The journal-month's header, held as "Saisir" holds it: refused while another station enters
  // that month, granted when this station does.
  const std::string month = selected.date.substr(0, 4);
  const std::string journalMonth = posting::CleJournalMois(month, journal);
  const posting::HeaderCreation header = posting::EnsureDraftHeader(c10, journalMonth);
  if (header == posting::HeaderCreation::NoJournal) return BalanceOutcome::NoJournal;
  const Lookup made = header == posting::HeaderCreation::Failed
                         ? Lookup::NotFound()
                         : posting::FindHeader(c10, journalMonth, posting::kDraftSource);
  // A header not read is refused as a read, its file named.
  if (made.IsRefused()) RefusalWatch::NoteEngineReadRefusal(c10.tablePath, made.result());
  if (!made.IsFound()) return refused(BalanceOutcome::Failed);
  if (!LockRecord(c10, nullptr, 0)) return BalanceOutcome::HeaderLocked;
  const bool headerHeld = c10.result == kResultAlreadyLocked;
  const std::uint32_t headerRecord = c10.recordNumber;
  auto releaseHeader = [&] {
    if (!headerHeld && c10.GoToRecord(static_cast<long>(headerRecord)).IsFound()) UnlockRecord(c10);
  };

  const posting::PieceNumber piece = posting::TakePieceNumber(c10, journal);
  if (piece.outcome != posting::NewLineOutcome::Created) {
    releaseHeader();
    return refused(BalanceOutcome::DossierLocked);
  }
  const long long d = markedDebit_ - markedCredit_;
  const long long amount = d < 0 ? -d : d;
  const double euros = FromCents(amount);
  const double parity = TheDossierRecord.Parity();
  const double francs = parity > 0 ? Round(2, euros * parity) : 0.0;
  NewDraftLine one;
  one.month = month;
  one.journal = journal;
  one.piece = StrZero(piece.number, 0);
  one.day = selected.date.substr(4, 2);
  one.account = p_.account;
  one.labelCode = ConstantEntry(kBalanceLabelConstant);
  one.label = selected.label;
  one.sense = d > 0 ? 'C' : 'D';
  one.euros = euros;
  one.francs = francs;
  one.entryCurrency = 'O';
  one.pendingMark = "+";
  NewDraftLine two = one;
  std::string counterpart = std::string(d > 0 ? "6" : "7") + Trimmed(ConstantEntry(kBalanceAccountsConstant));
  counterpart.resize(kAccountWidth, '0');
  two.account = counterpart;
  two.sense = d > 0 ? 'D' : 'C';
  two.pendingMark.clear();  // the counterpart lies on another account: no mark left behind
  std::vector<std::uint32_t> recnos;
  TotalsOverflow overflow;
  const DraftWrite written = WriteDraftLines(c50_, c60_, {one, two}, &recnos, &overflow);
  releaseHeader();
  if (written == DraftWrite::TooManyLines) return BalanceOutcome::TooManyLines;
  if (written == DraftWrite::TotalsTooLarge) {
    balanceRefusal_ = posting::TotalsTooLargeText(overflow, true);
    return BalanceOutcome::TotalsTooLarge;
  }
  if (written != DraftWrite::Written) return refused(BalanceOutcome::Failed);

  // Line 1 joins the marked lines of the account and takes the letter with them.
  if (T::Find(c60_, T::kDraft, recnos[0])) {
    AccountLine line;
    line.c60 = c60_.recordNumber;
    line.cents = d > 0 ? -amount : amount;
    line.mark = '+';
    lines_.push_back(line);
    (d > 0 ? markedCredit_ : markedDebit_) += amount;
  }
  // The piece stands (its own change): letters refused are said, and may be saved again.
  if (!SaveLetters()) balanceRefusal_ = refusal_;
  return BalanceOutcome::Written;
}

std::string ManualMatching::StatusLine() const {
  std::string count = FormatNumber(6, 0, false, static_cast<double>(rows_.size()));
  count = Trimmed(count);
  return FillPlaceholders(LoadStr(kTextStatus), {count, BalanceAmount(markedDebit_ - markedCredit_)});
}

}  // namespace processing
