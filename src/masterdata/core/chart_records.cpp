#include "masterdata/core/chart_records.h"

#include <cctype>
#include <cmath>

#include "data/error_report.h"
#include "data/record_fields.h"
#include "data/table.h"
#include "data/table_copy.h"
#include "data/table_results.h"
#include "masterdata/core/code_values.h"
#include "masterdata/core/masterdata_strings.h"
#include "resources/string_table.h"
#include "runtime/code_helpers.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/numbers.h"
#include "runtime/text.h"
#include "runtime/twin_amounts.h"
#include "runtime/xbase.h"

namespace masterdata {

namespace {

constexpr int kDefaultAnalyticConstant = 57;
constexpr int kCreationOfferConstant = 10;
constexpr std::size_t kBankAccountsRoom = 100;
// The currencies' names in a sentence.
constexpr int kWordFrancs = 36503, kWordEuros = 36504;
// The titles of the amounts' columns, as the forms show them.
constexpr int kTitleLastDebit = 22307, kTitleLastCredit = 22308, kTitleBudget = 22507;

bool IsCapital(char c) { return c >= 'A' && c <= 'Z'; }

// The list of general accounts with a domiciliation, as the INI files give it.
std::string BankAccountList() {
  const std::string section = LoadStr(kIniSectionChart), key = LoadStr(kIniBankAccounts);
  std::string list = DossierIniGet(section.c_str(), key.c_str(), "");
  list = list.substr(0, kBankAccountsRoom);
  if (IsBlank(list)) list = IniGetString(key.c_str(), "").substr(0, kBankAccountsRoom);
  if (IsBlank(list)) {
    list = LoadStr(kDefaultBankAccounts);
    DossierIniSet(section.c_str(), key.c_str(), list.c_str());
  }
  return list;
}

struct DomiciliationMemory {
  std::string dossier;
  std::string code = "ZzZzZzZz";
  bool answer = false;
};
DomiciliationMemory& Memory() {
  static DomiciliationMemory memory;
  return memory;
}

}  // namespace

// ---- amounts --------------------------------------------------------------------------------------------------

std::string BudgetText(double value) {
  const double v = Round(2, value);
  if (v == 0.0) return {};
  if (v > 0) return AmountDigits(v);
  return "C" + AmountDigits(-v);
}

double BudgetValue(const std::string& text) {
  const std::string t = Trimmed(text);
  if (t.empty()) return 0.0;
  const char first = static_cast<char>(std::toupper(static_cast<unsigned char>(t[0])));
  if (first == 'D') return Val(t.substr(1).c_str());
  if (first == 'C') return -Val(t.substr(1).c_str());
  return Val(t.c_str());
}

bool IsAmountText(const std::string& text, bool budget) {
  std::string t = Trimmed(text);
  if (t.empty()) return true;
  const char first = static_cast<char>(std::toupper(static_cast<unsigned char>(t[0])));
  if (t[0] == '-' || t[0] == '+' || (budget && (first == 'D' || first == 'C'))) t = Trimmed(t.substr(1));
  int digits = 0, decimals = 0;
  bool point = false;
  for (char c : t) {
    if (c == '.') {
      if (point) return false;
      point = true;
    } else if (c >= '0' && c <= '9') {
      ++(point ? decimals : digits);
    } else {
      return false;
    }
  }
  return digits + decimals > 0 && decimals <= 2;
}

std::string AmountPastItsField(const std::string& typed, AmountColumn column, bool euros, double rate) {
  const bool budget = column == AmountColumn::kBudget;
  const double value = budget ? BudgetValue(typed) : Val(typed.c_str());
  if (std::isfinite(value) && std::fabs(value) < 1e13 && AmountAndTwinHold(ToCents(value), euros, rate)) return "";
  const char* currency = LoadStr(euros ? kWordEuros : kWordFrancs);
  const char* other = LoadStr(euros ? kWordFrancs : kWordEuros);
  const int title = budget ? kTitleBudget : column == AmountColumn::kDebit ? kTitleLastDebit : kTitleLastCredit;
  // Grouped as a sentence writes an amount; past 10^16, more than an edit's 14 characters hold, as typed.
  const std::string amount =
      std::isfinite(value) && std::fabs(value) < 1e16 ? GroupedAmountText(ToCents(value)) : Trimmed(typed);
  // The side passed, and what bounds it there: the twin when it is tighter than the amount's own field (euros
  // whose francs are larger), else the field itself (francs, or no rate).
  const bool below = value < 0;
  const long long smallest = SmallestAmountTaken(euros, rate), largest = LargestAmountTaken(euros, rate);
  const bool ownField = below ? smallest == kSmallestStoredCents : largest == kLargestStoredCents;
  const int text = ownField ? (below ? kMsgAmountBelowOwnField : kMsgAmountPastOwnField)
                            : (below ? kMsgAmountBelowField : kMsgAmountPastField);
  return FillPlaceholders(LoadStr(text), {LoadStr(title), amount, GroupedAmountText(smallest),
                                          GroupedAmountText(largest), currency, other});
}

// ---- accounts -------------------------------------------------------------------------------------------------

bool HasBankDomiciliation(const std::string& code) {
  DomiciliationMemory& memory = Memory();
  if (memory.code == code && memory.dossier == DossierIniPath()) return memory.answer;
  const std::string c = Trimmed(code);
  bool answer = false;
  if (!c.empty() && IsCapital(c[0])) {
    answer = true;
  } else if (c.size() >= 2) {
    const std::string list = BankAccountList();
    if (c.size() >= 3 && list.find("-" + c.substr(0, 3) + "-") != std::string::npos) answer = true;
    else answer = list.find("-" + c.substr(0, 2) + "-") != std::string::npos;
  }
  memory.dossier = DossierIniPath();
  memory.code = code;
  memory.answer = answer;
  return answer;
}

void ForgetBankDomiciliation() { Memory() = DomiciliationMemory{}; }

std::string AccountCode(const std::string& typed) {
  if (IsBlank(typed)) return std::string(kChartCodeWidth, ' ');
  return AccountKey(typed);
}

bool AnalyticByDefault(const std::string& code) {
  return !code.empty() && (code[0] == '6' || code[0] == '7') && ConstantIs(kDefaultAnalyticConstant, 'O');
}

std::string AnalyticMarkText(const std::string& code, char mark, const std::string& blank) {
  if (code.empty() || IsCapital(code[0])) return blank;
  if (code[0] == '6' || code[0] == '7') {
    if (mark == 'O') return "OUI";
    if (mark == 'N') return "NON";
    return ConstantIs(kDefaultAnalyticConstant, 'O') ? "oui" : "non";
  }
  return mark == 'O' ? std::string("OUI") : blank;
}

bool ProposeAccountCreation(const std::string& key) {
  const std::string c = TheDossierRecord.Constant(kCreationOfferConstant);
  if (c.empty() || c[0] != 'O') return false;
  const std::string k = RTrim(key.c_str());
  const std::size_t at = IsAuxiliaryCode(k) ? 2 : 1;
  if (c.size() <= at) return false;
  const char rule = c[at];
  if (rule >= '3' && rule <= '8') return static_cast<int>(k.size()) >= rule - '0';
  return rule == 'U' || rule == 'I';
}

// ---- both files -----------------------------------------------------------------------------------------------

Lookup SeekChartCode(Table& t, const ChartFile& file, const std::string& code) {
  const std::string padded = PaddedCode(code, kChartCodeWidth);
  if (IsBlank(padded)) return Lookup::NotFound();
  if (!t.isOpen) return Lookup::Refused(kResultNoSuchTable);
  return t.Find(file.codeTag, padded.c_str())
      .And(!t.eof && !t.bof && t.recordNumber != 0 && SliceOf(t.GetField(1), 1, kChartCodeWidth) == padded);
}

bool AmountsAllowCancel(Table& t, const ChartFile& file, bool eurosOnly) {
  const std::vector<int> fields = file.AmountFields();
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const bool euro = i % 2 == 1;
    if (!euro && eurosOnly) continue;
    // A total that does not read as a number is not known to be zero.
    bool readable = true;
    if (StoredAmountOf(t, fields[i], &readable) != 0 || !readable) return false;
  }
  return true;
}

std::string DefaultAccountName(const std::string& code) {
  const std::string c = RTrim(code.c_str());
  return IsAuxiliaryCode(c) ? c.substr(1) : c;
}

CreateResult CreateChartRecord(Table& t, Table& modelCursor, const ChartFile& file, const std::string& code,
                               const std::string& model) {
  CreateResult r;
  if (!t.isOpen || IsBlank(code)) return r;
  // An account's codes as they are stored: "401" is 40100000.
  const std::string padded = file.Accounts() ? AccountKey(code) : PaddedCode(code, kChartCodeWidth);
  const std::string modelCode = file.Accounts() && !IsBlank(model) ? AccountKey(model) : model;
  CreationLock lock(t);
  if (!lock.held()) {
    r.outcome = CreateOutcome::LockRefused;
    return r;
  }
  // Looked up again under the lock: another station may have created it since the dialog's check. A
  // look-up the disk could not read is no code free: nothing is written.
  const RefusalWatch reading(RefusalWatch::EngineBoxes::kRefusalsHeld);
  const Lookup there = SeekChartCode(t, file, padded);
  if (there.IsFound()) {
    r.outcome = CreateOutcome::Exists;
    r.existingName = RTrim(t.GetField(2));
    return r;
  }
  if (there.IsRefused() || reading.ReadRefused()) {
    r.refusal = CodeUnreadText(code, reading.Reason(0, t.tablePath, there.result()));
    return r;
  }
  // A write or a read refused from here on is named in the refusal, never a bare failure.
  auto failed = [&] {
    r.refusal = CreationRefusal(code, reading, t);
    return r;
  };
  // The model as it stands: a live record to copy, none (the record named by default), or a read of it
  // refused, which makes nothing rather than a record by default in its place.
  Lookup source = Lookup::NotFound();
  if (!IsBlank(modelCode)) {
    source = SeekChartCode(modelCursor, file, modelCode);
    if (source.IsFound()) source = modelCursor.LiveHere();
    if (source.IsRefused() || reading.ReadRefused()) {
      r.refusal = ModelUnreadText(code, modelCode, reading.Reason(0, modelCursor.tablePath, source.result()));
      return r;
    }
  }
  const bool withModel = source.IsFound();
  // The record is built whole, then written once: a copy never stands, even for a moment or once the
  // program is stopped, with its model's totals (which only its lines may move).
  if (!t.AppendBlank()) return failed();
  bool ok = t.PutField(1, padded.c_str());
  if (withModel) {
    // From field 2 on: the new record keeps its own code.
    ok = FieldMap(modelCursor, t, 2, FieldMap::Numbers::AsText).Copy(modelCursor, t) && ok;
    const std::string name = FillPlaceholder(LoadStr(kTextCopyOf), RTrim(modelCursor.GetField(2)));
    ok = ok && t.PutField(2, name.c_str());
    for (int f : file.AmountFields()) ok = ok && t.PutFieldNum(f, 0.0);
    r.copied = true;
  } else if (file.Accounts()) {
    ok = t.PutField(2, DefaultAccountName(padded).c_str()) && ok;
  }
  // A model's memo that could not be read, a field that could not be filled: no record half made, and
  // the read refused said as the model's.
  if (!ok || reading.ReadRefused()) {
    t.DropAppend();
    if (!reading.ReadRefused()) return failed();
    r.refusal = ModelUnreadText(code, modelCode, reading.Reason(0, modelCursor.tablePath, 0));
    return r;
  }
  if (!t.InsertRecord() || !t.Commit()) return failed();
  r.recno = t.recordNumber;
  // The new record current again, as the caller shows it: a read-back refused is said by the caller's
  // own reads.
  t.GoToRecord(static_cast<long>(r.recno)).FoundOrNone();
  r.outcome = CreateOutcome::Created;
  return r;
}

}  // namespace masterdata
