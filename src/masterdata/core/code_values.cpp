#include "masterdata/core/code_values.h"

#include <cmath>

#include "data/record_fields.h"
#include "data/table.h"
#include "masterdata/core/chart_records.h"
#include "runtime/bank_ids.h"
#include "runtime/numbers.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace masterdata {

namespace {

bool StartsWithCapital(const std::string& text) { return !text.empty() && static_cast<unsigned char>(text[0]) >= 'A'; }

}  // namespace

std::string SliceOf(const std::string& fieldText, int position, int width) {
  std::string out;
  if (position >= 1 && static_cast<std::size_t>(position) <= fieldText.size())
    out = fieldText.substr(static_cast<std::size_t>(position - 1), static_cast<std::size_t>(std::max(width, 0)));
  out.resize(static_cast<std::size_t>(std::max(width, 0)), ' ');
  return out;
}

std::string ReadSlice(Table& table, const Slice& slice) {
  if (!table.isOpen || table.recordNumber == 0 || slice.field < 1 || slice.field > table.FieldCount())
    return std::string(static_cast<std::size_t>(std::max(slice.width, 0)), ' ');
  return SliceOf(FieldTextAsRead(table, slice.field), slice.position, slice.width);
}

std::string ShownValue(Fill fill, const std::string& stored) {
  switch (fill) {
    case Fill::YesNo: return !stored.empty() && stored[0] == 'N' ? "N" : "O";
    case Fill::Letter: return stored.substr(0, 1);
    case Fill::Flag: return !stored.empty() && stored[0] == 'O' ? "O" : "N";
    case Fill::Amount: return AmountDigitsOrBlank(Round(2, Val(stored.c_str())));
    case Fill::Budget: return BudgetText(Val(stored.c_str()));
    default: return Trimmed(stored);
  }
}

std::string StoredValue(Fill fill, const std::string& typed, int width) {
  const std::string t = Trimmed(typed);
  const std::size_t fit = static_cast<std::size_t>(std::max(width, 0));
  switch (fill) {
    case Fill::Text: return PadRight(t, fit);
    case Fill::Name: {
      std::string name = PadRight(t, fit);
      if (!name.empty()) name[0] = Upper(name.substr(0, 1).c_str())[0];
      return name;
    }
    case Fill::Account:
      if (t.empty()) return std::string(static_cast<std::size_t>(width), '0');
      [[fallthrough]];
    case Fill::Counterpart: {
      if (t.empty()) return std::string(static_cast<std::size_t>(width), ' ');
      std::string key = t.substr(0, static_cast<std::size_t>(width));
      key.resize(static_cast<std::size_t>(width), StartsWithCapital(key) ? ' ' : '0');
      return key;
    }
    case Fill::Number: return FitRight(t, width);
    case Fill::Counter: {
      const double value = std::floor(std::fabs(Val(t.c_str())));
      if (value < 1.0) return std::string(static_cast<std::size_t>(width), ' ');
      return StrZero(static_cast<long>(std::fmod(value, 1000000.0)), width);
    }
    case Fill::YesNo: return PadRight(!t.empty() && t[0] == 'N' ? "N" : "O", fit);
    case Fill::Letter: return PadRight(t.substr(0, 1), fit);
    case Fill::Iban: return PadRight(CompactIban(t), fit);
    case Fill::Flag: return PadRight(!t.empty() && t[0] == 'O' ? "O" : "N", fit);
    case Fill::Amount: return AllTrim(FormatNumber(width, 2, false, Round(2, Val(t.c_str()))));
    case Fill::Budget: return AllTrim(FormatNumber(width, 2, false, Round(2, BudgetValue(t))));
  }
  return PadRight(t, fit);
}

std::string AccountKey(const std::string& account) {
  std::string key = RTrim(account.c_str());
  key = key.substr(0, 8);
  key.resize(8, StartsWithCapital(key) ? ' ' : '0');
  return key;
}

bool IsBlankAccount(const std::string& account) {
  const std::string t = Trimmed(account);
  return t.empty() || t.find_first_not_of('0') == std::string::npos;
}

std::string PaddedCode(const std::string& code, int width) {
  std::string out = RTrim(code.c_str());
  out.resize(static_cast<std::size_t>(std::max(width, 0)), ' ');
  return out;
}



}  // namespace masterdata
