#include "posting/line_validation.h"

#include <cmath>

#include "data/collective_account.h"
#include "data/entry_lines.h"
#include "data/error_report.h"
#include "data/record_fields.h"
#include "data/table.h"
#include "posting/journal_month.h"
#include "resources/string_table.h"
#include "runtime/dates.h"
#include "runtime/dossier_record.h"
#include "runtime/numbers.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace posting {

namespace {

using L = LigneEcriture;

constexpr int kAccountWidth = 8;
constexpr int kCodeField = 2, kTextField = 4;
constexpr int kDebitF = 17, kDebitE = 18, kCreditF = 19, kCreditE = 20;

// BMOIS of a line key.
std::string MonthOf(const std::string& key) { return PadRight(key, L::kKeyLength).substr(1, 4); }

// The account made current: found when live, refused when the look-up could not read.
Lookup SeekLiveAccount(Table& c20, const std::string& account) {
  if (account.empty() || !c20.isOpen) return Lookup::NotFound();
  Lookup found = c20.Find("C20CODE", account.c_str());
  if (found.IsFound()) found = found.And(c20.MatchRecordKey(account.c_str(), kAccountWidth, 1).HoldsKey());
  // Its cancel mark read again: one not read is no cancelled account.
  return found.IsFound() ? c20.LiveHere() : found;
}

// The account collects the auxiliary accounts of a letter: a cancelled collective's too, whose
// account the totals keep feeding.
bool IsCollective(Table& c10, const std::string& account) {
  for (const auto& [letter, collecting] : CollectiveAccounts(c10))
    if (!collecting.empty() && collecting == account) return true;
  return false;
}

}  // namespace

std::string DayText(const std::string& typed) {
  const std::string day = AllTrim(typed.c_str());
  if (day.size() == 1 && day[0] >= '0' && day[0] <= '9') return "0" + day;
  return day;
}

bool DayIsValid(const std::string& key, const std::string& day) {
  const std::string text = DayText(day);
  if (text.size() != 2 || IsBlank(text)) return false;
  return IsValidDate((MonthOf(key) + text).c_str());
}

FieldCheck CheckDistribution(Table& c10, Table& c20, const std::string& code) {
  FieldCheck r;
  if (IsBlank(code)) return r;
  // A code the disk refused to read is no code unknown.
  const Lookup found = FindLiveC10(c10, 'V', PadRight(AllTrim(code.c_str()), 2));
  if (found.IsRefused()) {
    r.message = kMsgDistributionUnread;
    return r;
  }
  if (found.IsNotFound()) {
    r.message = kMsgDistributionUnknown;
    return r;
  }
  r.account = NormalizeAccount(PadRight(c10.GetField(kTextField), kAccountWidth).substr(0, kAccountWidth));
  // Its account not read is no distribution without account.
  const Lookup account = SeekLiveAccount(c20, r.account);
  r.accountLive = account.IsFound();
  if (account.IsRefused()) r.message = kMsgAccountUnread;
  else if (!r.accountLive) r.message = kMsgDistributionNoAccount;
  return r;
}

FieldCheck CheckAccount(Table& c10, Table& c20, char journalType, const std::string& typed, bool blankPasses,
                        char constant006, char constant007) {
  FieldCheck r;
  std::string text = AllTrim(typed.c_str());
  if (text == "00000000") text.clear();
  if (text.empty()) {
    if (!blankPasses) r.message = kMsgAccountEmpty;
    return r;
  }
  r.account = NormalizeAccount(text);
  if ((journalType == 'A' && r.account[0] == 'C' && constant006 != 'O') ||
      (journalType == 'V' && r.account[0] == 'F' && constant007 != 'O')) {
    r.message = kMsgAccountNotAllowed;
    return r;
  }
  // A read the disk refused is no answer: neither an unknown account nor one that collects none.
  const RefusalWatch reading(RefusalWatch::EngineBoxes::kRefusalsHeld);
  const Lookup account = SeekLiveAccount(c20, r.account);
  const bool found = account.IsFound();
  const bool collective = found && IsCollective(c10, r.account);
  // The account shown is still the one found.
  Lookup again = Lookup::Found();
  if (collective) again = SeekLiveAccount(c20, r.account);
  if (reading.ReadRefused() || account.IsRefused() || again.IsRefused()) {
    r.message = kMsgAccountUnread;
    r.accountLive = false;
    return r;
  }
  if (!found) {
    r.message = kMsgAccountUnknown;
    return r;
  }
  r.accountLive = true;
  if (collective) r.message = kMsgCollectiveAccount;
  return r;
}

bool DueDateIsValid(const std::string& key, const std::string& day, const std::string& dueDate) {
  const std::string due = AllTrim(dueDate.c_str());
  if (due.empty()) return true;
  if (!IsValidDate(due.c_str())) return false;
  const std::string stored = ConvertDate(due.c_str());
  return stored >= MonthOf(key) + DayText(day);
}

LineField NegativeAmount(const LineAmounts& a) {
  if (a.debitF < 0) return LineField::DebitF;
  if (a.creditF < 0) return LineField::CreditF;
  if (a.debitE < 0) return LineField::DebitE;
  if (a.creditE < 0) return LineField::CreditE;
  return LineField::None;
}

LineField TooLargeAmount(const LineAmounts& a, double rate) {
  const struct {
    double amount;
    LineField field;
    bool euros;
  } fields[] = {{a.debitF, LineField::DebitF, false}, {a.creditF, LineField::CreditF, false},
                {a.debitE, LineField::DebitE, true}, {a.creditE, LineField::CreditE, true}};
  for (const auto& f : fields)
    if (!std::isfinite(f.amount) || std::fabs(f.amount) >= 1e13 ||
        !AmountAndTwinHold(ToCents(std::fabs(f.amount)), f.euros, rate))
      return f.field;
  return LineField::None;
}

std::string AmountTooLargeText(LineField field, double rate) {
  const bool euros = field == LineField::DebitE || field == LineField::CreditE;
  return FillPlaceholder(LoadStr(kMsgAmountTooLargeAtMost), GroupedAmountText(LargestAmountTaken(euros, rate)));
}

Validation ValidateLineValues(Table& c10, Table& c20, const ValidationRequest& request) {
  Validation v;
  if (request.noCheck) {
    v.answer = kLineUnchanged;
    return v;
  }
  const LineValues& line = request.values;
  auto refuse = [&v](int message, LineField focus) {
    v.answer = kLineRefused;
    v.message = message;
    v.text = LoadStr(message);
    v.focus = focus;
    return v;
  };
  if (!DayIsValid(request.key, line.day)) return refuse(kMsgDayWrong, LineField::Day);

  std::string account = line.account;
  if (!IsBlank(line.distribution)) {
    const FieldCheck d = CheckDistribution(c10, c20, line.distribution);
    if (d.message == kMsgDistributionUnknown) return refuse(d.message, LineField::Distribution);
    v.accountFromDistribution = true;
    v.account = d.account;
    account = d.account;
    if (d.message != 0) return refuse(d.message, LineField::Distribution);
  }
  if (std::string(AllTrim(account.c_str())) == "00000000") {
    v.accountEmptied = true;
    account.clear();
  }
  const FieldCheck a = CheckAccount(c10, c20, request.journalType, account, false, request.constant006,
                                    request.constant007);
  v.account = a.account;
  v.accountLive = a.accountLive;
  if (a.message != 0) return refuse(a.message, LineField::Account);

  if (!DueDateIsValid(request.key, line.day, line.dueDate)) return refuse(kMsgDueDateWrong, LineField::DueDate);
  const LineField negative = NegativeAmount(line.amounts);
  if (negative != LineField::None) return refuse(kMsgNegativeAmount, negative);
  const double rate = TheDossierRecord.Parity();
  const LineField tooLarge = TooLargeAmount(line.amounts, rate);
  if (tooLarge != LineField::None) {
    refuse(kMsgAmountTooLarge, tooLarge);
    v.text = AmountTooLargeText(tooLarge, rate);
    return v;
  }
  v.answer = request.modified ? kLineChanged : kLineUnchanged;
  return v;
}

bool CashAccountWouldBeCredit(Table& c20, const std::string& typedAccount, bool euros, const LineValues& typed,
                              const LineRecord& loaded) {
  if (PadRight(typedAccount, 2).compare(0, 2, "53") != 0) return false;
  const std::string account = NormalizeAccount(typedAccount);
  // A warning only: an account not read gives none, the line's check of its account says it.
  if (!SeekLiveAccount(c20, account).FoundOrNone()) return false;
  long long balance = StoredAmountOf(c20, euros ? kDebitE : kDebitF) - StoredAmountOf(c20, euros ? kCreditE : kCreditF);
  if (loaded.live && NormalizeAccount(loaded.account) == account) {
    const long long part = ToCents(euros ? loaded.euros : loaded.francs);
    balance -= loaded.sense == 'D' ? part : -part;
  }
  const LineAmounts& a = typed.amounts;
  balance += euros ? ToCents(a.debitE) - ToCents(a.creditE) : ToCents(a.debitF) - ToCents(a.creditF);
  return balance < 0;
}

}  // namespace posting
