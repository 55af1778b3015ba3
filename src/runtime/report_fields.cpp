#include "runtime/report_fields.h"

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "platform/system/cp1252.h"
#include "resources/string_table.h"
#include "runtime/numbers.h"
#include "runtime/runtime_hooks.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace {

// The texts shown here, by their ids in the string table.
constexpr int kMsgNothingInReport = 32216;
constexpr int kCaptionAttention = 52;
constexpr int kCaptionFieldNotDeclared = 51;

const std::string kEmpty;

constexpr std::int64_t kPowersOfTen[] = {1,          10,          100,          1000,         10000,
                                         100000,     1000000,     10000000,     100000000,    1000000000};
// Exact values stay below this many units, far inside 64 bits, so that sums
// of many of them cannot overflow silently either.
constexpr double kUnitsLimit = 9.0e16;

// Scale of the exact value of a field: money in cents at least, numbers at
// their own decimals.
int ScaleOf(const std::string& definition) {
  const int decimals = FieldDecimalsOf(definition);
  return FieldTypeOf(definition) == 'M' && decimals < 2 ? 2 : decimals;
}

// The value rounded half away from zero to `scale` decimals, in units of
// 10^-scale; false when it is not finite or too large.
bool UnitsOf(double value, int scale, std::int64_t& units) {
  if (!std::isfinite(value)) return false;
  const double scaled = value * static_cast<double>(kPowersOfTen[scale]);
  if (std::fabs(scaled) >= kUnitsLimit) return false;
  // A value that is a whole number of units but for the binary error is taken as is;
  // otherwise Round() works on the printed digits, so 1.005 rounds to 1.01 as it reads (it
  // keeps at most 5 decimals and 14 integer positions).
  const double nearest = std::nearbyint(scaled);
  if (std::fabs(scaled - nearest) < 1e-6) {
    units = static_cast<std::int64_t>(nearest);
  } else if (scale <= 5 && std::fabs(value) < 1e14) {
    units = std::llround(Round(scale, value) * static_cast<double>(kPowersOfTen[scale]));
  } else {
    units = std::llround(scaled);
  }
  return true;
}

double ValueOf(std::int64_t units, int scale) {
  return static_cast<double>(units) / static_cast<double>(kPowersOfTen[scale]);
}

// A field's text read as a number: blanks removed (grouped money), read with Val.
double NumberInText(const std::string& value) {
  // Packed on the stack when it fits (a field's text is at most a few hundred characters).
  char small[320];
  if (value.size() < sizeof small) {
    std::size_t n = 0;
    for (char c : value) {
      if (c != ' ') small[n++] = c;
    }
    small[n] = '\0';
    return Val(small);
  }
  std::string packed;
  for (char c : value) {
    if (c != ' ') packed += c;
  }
  return Val(packed.c_str());
}

}  // namespace

int FieldWidthOf(const char* definition) {
  if (definition == nullptr) return 0;
  std::string_view d(definition);
  if (d.size() < 13) return 0;
  int first = static_cast<unsigned char>(d[11]);
  int second = static_cast<unsigned char>(d[12]) - '0';
  if (second < 0 || second > 9) second = 0;
  int width = first > '9' ? first + 35 + second : (first - '0') * 10 + second;
  return width < 0 ? 0 : width;
}

char FieldTypeOf(const std::string& definition) {
  return definition.size() > 10 ? definition[10] : ' ';
}

int FieldDecimalsOf(const std::string& definition) {
  if (definition.size() < 14) return 0;
  int d = definition[13] - '0';
  return d < 0 || d > 9 ? 0 : d;
}

std::string FieldNameOf(const std::string& definition) {
  return TrimmedRight(definition.substr(0, kFieldNameLength));
}

void ShowEmptyReport(const char* text) {
  RuntimeBeep(0);
  const std::string body = FillPlaceholder(LoadStr(kMsgNothingInReport), text ? text : "");
  RuntimeMessage(LoadStr(kCaptionAttention), body.c_str(), kMbIconStop);
}

void ReportFieldTable::NewGeneration() {
  static std::atomic<std::uint64_t> last{0};
  generation_ = ++last;
}

void ReportFieldTable::InitFieldTable() {
  NewGeneration();
  definitions_.assign(static_cast<std::size_t>(count_), std::string());
  values_.assign(static_cast<std::size_t>(count_), std::string());
  stale_.assign(static_cast<std::size_t>(count_), kCurrent);
  exact_.assign(static_cast<std::size_t>(count_), 0);
  hasExact_.assign(static_cast<std::size_t>(count_), 0);
  declared_ = true;
}

bool ReportFieldTable::DeclareField(int n, const char* definition) {
  if (n < 0 || n >= count_ || !declared_) {
    RuntimeBeep(0);
    char number[16];
    std::snprintf(number, sizeof number, "%5i", n);
    RuntimeMessage(LoadStr(kCaptionFieldNotDeclared), number, kMbOk);
    return false;
  }
  std::string& slot = definitions_[static_cast<std::size_t>(n)];
  if (!IsBlank(slot)) return false;
  NewGeneration();
  slot = PadRight(definition ? definition : "", static_cast<std::size_t>(kFieldDefinitionLength));
  if (IsBlank(slot)) {
    slot.clear();
    return false;
  }
  ClearValue(n);
  return true;
}

void ReportFieldTable::ReleaseField(int n) {
  if (n < 0 || n >= count_ || !declared_) return;
  NewGeneration();
  const auto i = static_cast<std::size_t>(n);
  definitions_[i].clear();
  values_[i].clear();
  stale_[i] = kCurrent;
  exact_[i] = 0;
  hasExact_[i] = 0;
}

void ReportFieldTable::DeclareFieldCopies(int k, int m) {
  for (int g = 1; g <= k; ++g) {
    for (int j = 0; j < m; ++j) {
      const std::string& source = Definition(j);
      std::string name(1, static_cast<char>('@' + g));
      name += PadRight(source, static_cast<std::size_t>(kFieldNameLength)).substr(0, 9);
      std::string def = name + PadRight(source, static_cast<std::size_t>(kFieldDefinitionLength)).substr(kFieldNameLength);
      DeclareField(g * m + j, def.c_str());
    }
  }
}

bool ReportFieldTable::IsDeclared(int n) const {
  return n >= 0 && n < static_cast<int>(definitions_.size()) &&
         !definitions_[static_cast<std::size_t>(n)].empty();
}

bool ReportFieldTable::IsNumeric(int n) const {
  if (!IsDeclared(n)) return false;
  const char type = FieldTypeOf(definitions_[static_cast<std::size_t>(n)]);
  return type == 'N' || type == 'M';
}

void ReportFieldTable::ClearValue(int n) {
  const std::string& def = definitions_[static_cast<std::size_t>(n)];
  if (FieldTypeOf(def) == 'C') {
    values_[static_cast<std::size_t>(n)].assign(static_cast<std::size_t>(FieldWidthOf(def)), ' ');
    stale_[static_cast<std::size_t>(n)] = kCurrent;
    hasExact_[static_cast<std::size_t>(n)] = 0;
  } else {
    SetFieldNumber(n, 0.0);
  }
}

void ReportFieldTable::ExactFromText(int n) {
  if (!IsNumeric(n)) return;
  const std::size_t i = static_cast<std::size_t>(n);
  std::int64_t units = 0;
  hasExact_[i] = UnitsOf(NumberInText(values_[i]), ScaleOf(definitions_[i]), units) ? 1 : 0;
  exact_[i] = units;
}

void ReportFieldTable::ClearFieldValues() {
  for (int n = 0; n < static_cast<int>(definitions_.size()); ++n) {
    if (IsDeclared(n)) ClearValue(n);
  }
}

void ReportFieldTable::ClearFieldGroup(int g, int m) {
  for (int n = g * m; n < g * m + m; ++n) {
    if (IsDeclared(n)) ClearValue(n);
  }
}

void ReportFieldTable::SetFieldText(int n, const char* text) {
  SetFieldText(n, std::string_view(text ? text : ""));
}

void ReportFieldTable::SetFieldText(int n, std::string_view t) {
  if (!IsDeclared(n)) return;
  // Written in place: the value keeps its room from one record to the next.
  std::string& value = values_[static_cast<std::size_t>(n)];
  const std::size_t width = static_cast<std::size_t>(FieldWidthOf(definitions_[static_cast<std::size_t>(n)]));
  value.assign(t.data(), t.size() < width ? t.size() : width);
  value.resize(width, ' ');
  stale_[static_cast<std::size_t>(n)] = kCurrent;
  ExactFromText(n);
}

void ReportFieldTable::SetFieldBlank(int n) {
  SetFieldText(n, "");
  if (IsDeclared(n)) hasExact_[static_cast<std::size_t>(n)] = 0;
}

void ReportFieldTable::SetFieldShownText(int n, std::string_view text) {
  if (!IsDeclared(n)) return;
  if (!IsNumeric(n)) {
    SetFieldText(n, text);
    return;
  }
  const std::size_t i = static_cast<std::size_t>(n);
  const int width = FieldWidthOf(definitions_[i]);
  std::string shown(text);
  if (static_cast<int>(shown.size()) < width) shown.insert(0, static_cast<std::size_t>(width) - shown.size(), ' ');
  values_[i] = std::move(shown);
  stale_[i] = kCurrent;
}

void ReportFieldTable::AppendFieldText(int n, const char* text) {
  if (!IsDeclared(n)) return;
  std::string joined = TrimmedRight(Value(n));
  joined += text ? text : "";
  SetFieldText(n, joined.c_str());
}

void ReportFieldTable::SetFieldNumber(int n, double value) {
  if (!IsDeclared(n)) return;
  const std::size_t i = static_cast<std::size_t>(n);
  if (!IsNumeric(n)) {
    FormatNumberText(n, value);
    return;
  }
  const int scale = ScaleOf(definitions_[i]);
  std::int64_t units = 0;
  if (UnitsOf(value, scale, units)) {
    SetFieldUnits(n, units);
    return;
  }
  hasExact_[i] = 0;
  FormatNumberText(n, value);
}

int ReportFieldTable::FieldScale(int n) const {
  return IsNumeric(n) ? ScaleOf(definitions_[static_cast<std::size_t>(n)]) : 0;
}

bool ReportFieldTable::GetFieldUnits(int n, std::int64_t& units) const {
  Settle(n);
  if (!IsNumeric(n) || !hasExact_[static_cast<std::size_t>(n)]) return false;
  units = exact_[static_cast<std::size_t>(n)];
  return true;
}

void ReportFieldTable::SetFieldUnits(int n, std::int64_t units) {
  if (!IsNumeric(n)) return;
  const std::size_t i = static_cast<std::size_t>(n);
  const int scale = ScaleOf(definitions_[i]);
  if (std::fabs(static_cast<double>(units)) >= kUnitsLimit) {
    hasExact_[i] = 0;
    FormatNumberText(n, ValueOf(units, scale));
    return;
  }
  exact_[i] = units;
  hasExact_[i] = 1;
  stale_[i] = kFormat;
}

void ReportFieldTable::AddFieldNumber(int n, double value) {
  if (!IsNumeric(n)) return;
  std::int64_t current = 0, added = 0;
  const int scale = FieldScale(n);
  if (GetFieldUnits(n, current) && UnitsOf(value, scale, added)) {
    SetFieldUnits(n, current + added);
  } else {
    SetFieldNumber(n, GetFieldNumber(n) + value);
  }
}

void ReportFieldTable::AddField(int t, int a) {
  if (!IsNumeric(t) || !IsNumeric(a)) return;
  std::int64_t current = 0, added = 0;
  const int st = FieldScale(t), sa = FieldScale(a);
  if (GetFieldUnits(t, current) && GetFieldUnits(a, added)) {
    // Bring the added units to the target's scale (rounded half away from zero).
    if (sa < st) {
      added *= kPowersOfTen[st - sa];
    } else if (sa > st) {
      const std::int64_t d = kPowersOfTen[sa - st];
      added = (added >= 0 ? added + d / 2 : added - d / 2) / d;
    }
    SetFieldUnits(t, current + added);
  } else {
    SetFieldNumber(t, GetFieldNumber(t) + GetFieldNumber(a));
  }
}

std::string ReportFieldTable::PlainNumber(int n, char decimalMark) const {
  std::int64_t units = 0;
  if (!GetFieldUnits(n, units)) return {};
  const std::string& def = definitions_[static_cast<std::size_t>(n)];
  const int scale = ScaleOf(def);
  const int decimals = FieldTypeOf(def) == 'M' ? 2 : FieldDecimalsOf(def);
  // Money keeps two decimals; a scale above them cannot happen for numbers.
  std::int64_t shown = units;
  if (scale > decimals) {
    const std::int64_t d = kPowersOfTen[scale - decimals];
    shown = (units >= 0 ? units + d / 2 : units - d / 2) / d;
  }
  // Written from its last digit: the decimals, the mark, the integer digits (one at least), the
  // sign.
  const bool negative = shown < 0;
  std::uint64_t rest = negative ? static_cast<std::uint64_t>(-shown) : static_cast<std::uint64_t>(shown);
  char text[48];
  char* const end = text + sizeof text;
  char* p = end;
  if (decimals > 0) {
    for (int d = 0; d < decimals; ++d, rest /= 10) *--p = static_cast<char>('0' + rest % 10);
    *--p = decimalMark;
  }
  do {
    *--p = static_cast<char>('0' + rest % 10);
    rest /= 10;
  } while (rest > 0);
  if (negative) *--p = '-';
  return std::string(p, end);
}

void ReportFieldTable::FormatNumberText(int n, double value) const {
  const std::string& def = definitions_[static_cast<std::size_t>(n)];
  const int width = FieldWidthOf(def);
  // The formatting functions stop at 20 characters; a wider field gets the
  // number right-aligned in it.
  const int numberWidth = width > 20 ? 20 : width;
  const int decimals = FieldDecimalsOf(def);
  std::string text = FormatNumber(numberWidth, decimals, false, value);
  if (text.size() > static_cast<std::size_t>(numberWidth)) text.resize(numberWidth);
  if (!text.empty() && text[0] == '*') {
    // A number wider than its field keeps every digit and decimal: its text is wider than the
    // field (a printed cell then grows), never rounded to fit. Past 20 characters it stays
    // asterisks.
    const std::string whole = Trimmed(FormatNumber(20, decimals, false, value));
    if (whole.empty() || whole[0] != '*') text = whole;
  }
  // Money keeps its thousands' blanks whatever its width: grouped whole, then wider than the
  // field when it must be, never grouped in part.
  if (FieldTypeOf(def) == 'M' && !text.empty() && text[0] != '*') text = GroupedNumber(Trimmed(text));
  if (static_cast<int>(text.size()) < width) text.insert(0, width - text.size(), ' ');
  values_[static_cast<std::size_t>(n)] = std::move(text);
  stale_[static_cast<std::size_t>(n)] = kCurrent;
}

double ReportFieldTable::GetFieldNumber(int n) const {
  if (!IsDeclared(n)) return 0.0;
  Settle(n);
  std::int64_t units = 0;
  if (GetFieldUnits(n, units)) return ValueOf(units, FieldScale(n));
  const std::string& value = values_[static_cast<std::size_t>(n)];
  if (FieldTypeOf(definitions_[static_cast<std::size_t>(n)]) == 'N') {
    std::size_t first = value.find_first_not_of(' ');
    return first == std::string::npos ? 0.0 : Val(value.c_str() + first);
  }
  return NumberInText(value);
}

void ReportFieldTable::SetBalancePair(int amount, int side, std::int64_t cents) {
  SetFieldUnits(amount, cents < 0 ? -cents : cents);
  SetFieldText(side, cents > 0 ? "Db" : cents < 0 ? "Cr" : "");
}

void ReportFieldTable::SetFieldDifference(int t, int a, int b) {
  // Money and two-decimal numbers subtract in cents, exactly.
  std::int64_t ua = 0, ub = 0;
  double d = 0.0;
  const bool cents = FieldScale(a) == 2 && FieldScale(b) == 2 && GetFieldUnits(a, ua) && GetFieldUnits(b, ub);
  if (cents) {
    d = ValueOf(ua - ub, 2);
  } else {
    d = GetFieldNumber(a) - GetFieldNumber(b);
  }
  // Zero to the cent (a difference too wide for 14 characters is not zero).
  if (cents ? ua == ub : ToCents(d) == 0) {
    SetFieldText(t, FormatNumber(14, 2, false, 0.0));
  } else {
    // A balance grouped whole with its side, whatever the types of the two fields.
    SetFieldBalance(t, cents ? ua - ub : ToCents(d));
  }
  // The text of a difference carries its side in letters (" Cr") or may be
  // too wide: the exact value of a numeric target comes from the number.
  std::int64_t units = 0;
  if (IsNumeric(t) && UnitsOf(d, FieldScale(t), units)) {
    exact_[static_cast<std::size_t>(t)] = units;
    hasExact_[static_cast<std::size_t>(t)] = 1;
  }
}

void ReportFieldTable::SetFieldBalance(int n, std::int64_t cents) {
  const std::string text = BalanceAmount(cents);
  if (!IsDeclared(n) || FieldTypeOf(definitions_[static_cast<std::size_t>(n)]) != 'C' ||
      static_cast<int>(text.size()) <= FieldWidthOf(definitions_[static_cast<std::size_t>(n)])) {
    SetFieldText(n, text);
    return;
  }
  values_[static_cast<std::size_t>(n)] = text;
  stale_[static_cast<std::size_t>(n)] = kCurrent;
  hasExact_[static_cast<std::size_t>(n)] = 0;
}

const std::string& ReportFieldTable::Definition(int n) const {
  if (n < 0 || n >= static_cast<int>(definitions_.size())) return kEmpty;
  return definitions_[static_cast<std::size_t>(n)];
}

const std::string& ReportFieldTable::Value(int n) const {
  if (n < 0 || n >= static_cast<int>(values_.size())) return kEmpty;
  const std::size_t i = static_cast<std::size_t>(n);
  if (stale_[i] & kPending) Fill(n);
  if (stale_[i] & kFormat) FormatNumberText(n, ValueOf(exact_[i], ScaleOf(definitions_[i])));
  return values_[i];
}

void ReportFieldTable::Fill(int n) const {
  // No longer pending first: should the source set nothing, the field keeps the value it had.
  stale_[static_cast<std::size_t>(n)] &= static_cast<char>(~kPending);
  if (source_ != nullptr) source_->FillField(n);
}

int ReportFieldTable::FindField(const char* name) const {
  if (name == nullptr) return -1;
  std::string wanted = TrimmedRight(PadRight(name, static_cast<std::size_t>(kFieldNameLength)));
  for (int n = 0; n < static_cast<int>(definitions_.size()); ++n) {
    if (IsDeclared(n) &&
        platform::Cp1252EqualNoCase(FieldNameOf(definitions_[n]).c_str(), wanted.c_str())) {
      return n;
    }
  }
  return -1;
}
