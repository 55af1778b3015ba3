#include "reports/ledgers/core/ledger_report.h"

#include <cstdlib>

#include "reports/ledgers/core/ledger_strings.h"
#include "runtime/code_helpers.h"
#include "runtime/numbers.h"
#include "runtime/xbase.h"

namespace ledgers {

void LedgerReport::ShowEmpty(const std::string& text) {
  lastEmpty_ = text;
  ShowEmptyReport(text.c_str());
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
  fields.SetFieldDifference(solde, debit, credit);
  const Cents difference = GetCents(debit) - GetCents(credit);
  SetCents(mt, difference < 0 ? -difference : difference);
  const std::string& text = fields.Value(solde);
  SetText(dc, text.size() >= 17 ? text.substr(15, 2) : std::string());
}

std::string LedgerReport::Lib23(const std::string& label2, const std::string& label3) const {
  if (!ConstantIs(65, 'O')) return {};
  std::string out;
  for (const std::string* label : {&label2, &label3}) {
    if (IsBlank(*label)) continue;
    out = RTrim(out.c_str());
    // A line break and the column statement, each between the live brackets 0x18 and 0x19.
    out += std::string("\x18") + LoadStr(kStrLib23Break) + "\x19\x18" + LoadStr(kStrLib23End) + StrZero(margeLib23, 3) + "\x19";
    out += *label;
  }
  return out;
}

std::string LedgerReport::Normalized(std::string code) {
  NormalizeNumberText(code);
  return code;
}

std::string MoneyText(Cents cents) { return FormatAmount(FromCents(cents)); }

}  // namespace ledgers
