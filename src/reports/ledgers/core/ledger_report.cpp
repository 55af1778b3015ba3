#include "reports/ledgers/core/ledger_report.h"

#include "data/error_report.h"
#include "data/unread_amounts.h"

#include <cstdint>
#include <cstdlib>

#include "reports/ledgers/core/ledger_strings.h"
#include "resources/string_table.h"
#include "runtime/code_helpers.h"
#include "runtime/numbers.h"
#include "runtime/runtime_hooks.h"
#include "runtime/xbase.h"

namespace ledgers {

namespace {
constexpr int kCaptionAttention = 52;  // "ATTENTION"
}  // namespace

void LedgerReport::ShowEmpty(const std::string& text) {
  lastEmpty_ = text;
  ShowEmptyReport(text.c_str());
}

void LedgerReport::ShowRefusedRead(const std::string& text) {
  lastRefused_ = text;
  RuntimeBeep(0);
  RuntimeMessage(LoadStr(kCaptionAttention), text.c_str(), kMbIconStop);
}

void LedgerReport::ForgetUnreadable() {
  refused_.Clear();
  source_.ForgetUnreadable();
  unreadableRecords_.clear();
  unreadableSaid_ = false;
  exporting_ = false;
}

bool LedgerReport::SayRefused() {
  if (!refused_.Any()) return false;
  ShowRefusedRead(UnreadText(refused_.file, refused_.result));
  refused_.Clear();  // said once
  return true;
}

void LedgerReport::ShowNothing(const std::string& text) {
  if (!SayRefused()) ShowEmpty(text);
}

void LedgerReport::SayUnreadable() {
  SayRefused();
  if (unreadableSaid_ || (source_.Unreadable().empty() && unreadableRecords_.empty())) return;
  unreadableSaid_ = true;
  std::vector<UnreadableAmountLine> all(source_.Unreadable().begin(), source_.Unreadable().end());
  all.insert(all.end(), unreadableRecords_.begin(), unreadableRecords_.end());
  // Named to the report engine, which writes no export over them and says so itself; the
  // printout's warning is said once, by the report or by the engine when it warned first.
  for (const UnreadableAmountLine& line : all) NoteUnreadAmount(line);
  if (exporting_ || UnreadAmountsSaid()) return;
  ShowUnreadableAmounts(UnreadableAmountsMessage(all));
  NoteUnreadAmountsSaid();
}

void LedgerReport::DeclareFields(const std::vector<std::string>& definitions) {
  if (fields.Declared()) {
    fields.ClearFieldValues();
    return;
  }
  fields.SetFieldCount(static_cast<int>(definitions.size()));
  fields.InitFieldTable();
  for (std::size_t i = 0; i < definitions.size(); ++i) fields.DeclareField(static_cast<int>(i), definitions[i].c_str());
}

void LedgerReport::TakeLayoutCurrency() {
  if (chosenLayoutText.empty()) return;
  if (chosenLayoutText[0] == 'E') euroFlag = 1;
  if (chosenLayoutText[0] == 'F') euroFlag = 0;
}

Cents LedgerReport::GetCents(int field) const {
  std::int64_t units = 0;
  if (fields.GetFieldUnits(field, units) && fields.FieldScale(field) == 2) return units;
  return ToCents(fields.GetFieldNumber(field));
}

void LedgerReport::Balance(int debit, int credit, int solde, int mt, int dc) {
  const Cents difference = GetCents(debit) - GetCents(credit);
  // Two money totals into a text balance (every balance of the ledgers): its text made from the
  // cents; any other case as the field table makes it.
  std::int64_t units = 0;
  const bool money = FieldTypeOf(fields.Definition(debit)) == 'M' && FieldTypeOf(fields.Definition(credit)) == 'M' &&
                     fields.FieldScale(debit) == 2 && fields.FieldScale(credit) == 2 &&
                     fields.GetFieldUnits(debit, units) && fields.GetFieldUnits(credit, units) &&
                     FieldTypeOf(fields.Definition(solde)) == 'C';
  if (money && difference == 0) {
    fields.SetFieldText(solde, "          0.00");
  } else if (money) {
    fields.SetFieldBalance(solde, difference);
  } else {
    fields.SetFieldDifference(solde, debit, credit);
  }
  fields.SetBalancePair(mt, dc, difference);
}

std::string LedgerReport::Lib23(const std::string& label2, const std::string& label3, int margin) const {
  if (!ConstantIs(65, 'O')) return {};
  std::string out;
  for (const std::string* label : {&label2, &label3}) {
    if (IsBlank(*label)) continue;
    out = RTrim(out.c_str());
    // A line break and the column statement, each between the live brackets 0x18 and 0x19.
    out += std::string("\x18") + LoadStr(kStrLib23Break) + "\x19\x18" + LoadStr(kStrLib23End) + StrZero(margin, 3) + "\x19";
    out += *label;
  }
  return out;
}

std::string LedgerReport::Normalized(std::string code) {
  NormalizeNumberText(code);
  return code;
}

}  // namespace ledgers
