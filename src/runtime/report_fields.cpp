#include "runtime/report_fields.h"

#include <cstdio>
#include <string_view>

#include "platform/system/cp1252.h"
#include "runtime/numbers.h"
#include "runtime/runtime_hooks.h"
#include "runtime/xbase.h"

namespace {

const std::string kEmpty;

std::string FitTo(std::string_view text, int width) {
  std::string out(text.substr(0, static_cast<std::size_t>(width)));
  out.resize(static_cast<std::size_t>(width), ' ');
  return out;
}

std::string RightTrimmed(const std::string& text) {
  std::size_t end = text.find_last_not_of(' ');
  return end == std::string::npos ? std::string() : text.substr(0, end + 1);
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
  return RightTrimmed(definition.substr(0, kFieldNameLength));
}

void ShowEmptyReport(const char* text) {
  RuntimeBeep(0);
  std::string body = LoadStr(59);
  body += text ? text : "";
  body += LoadStr(55);
  RuntimeMessage(LoadStr(52), body.c_str(), kMbIconStop);
}

void ReportFieldTable::InitFieldTable() {
  definitions_.assign(static_cast<std::size_t>(count_), std::string());
  values_.assign(static_cast<std::size_t>(count_), std::string());
  declared_ = true;
}

bool ReportFieldTable::DeclareField(int n, const char* definition) {
  if (n < 0 || n >= count_ || !declared_) {
    RuntimeBeep(0);
    char number[16];
    std::snprintf(number, sizeof number, "%5i", n);
    RuntimeMessage(LoadStr(51), number, kMbOk);
    return false;
  }
  std::string& slot = definitions_[static_cast<std::size_t>(n)];
  if (!IsBlank(slot)) return false;
  slot = FitTo(definition ? definition : "", kFieldDefinitionLength);
  if (IsBlank(slot)) {
    slot.clear();
    return false;
  }
  ClearValue(n);
  return true;
}

void ReportFieldTable::DeclareFieldCopies(int k, int m) {
  for (int g = 1; g <= k; ++g) {
    for (int j = 0; j < m; ++j) {
      const std::string& source = Definition(j);
      std::string name(1, static_cast<char>('@' + g));
      name += FitTo(source, kFieldNameLength).substr(0, 9);
      std::string def = name + FitTo(source, kFieldDefinitionLength).substr(kFieldNameLength);
      DeclareField(g * m + j, def.c_str());
    }
  }
}

bool ReportFieldTable::IsDeclared(int n) const {
  return n >= 0 && n < static_cast<int>(definitions_.size()) &&
         !definitions_[static_cast<std::size_t>(n)].empty();
}

void ReportFieldTable::ClearValue(int n) {
  const std::string& def = definitions_[static_cast<std::size_t>(n)];
  if (FieldTypeOf(def) == 'C') {
    values_[static_cast<std::size_t>(n)].assign(static_cast<std::size_t>(FieldWidthOf(def)), ' ');
  } else {
    SetFieldNumber(n, 0.0);
  }
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
  if (!IsDeclared(n)) return;
  values_[static_cast<std::size_t>(n)] =
      FitTo(text ? text : "", FieldWidthOf(definitions_[static_cast<std::size_t>(n)]));
}

void ReportFieldTable::AppendFieldText(int n, const char* text) {
  if (!IsDeclared(n)) return;
  std::string joined = RightTrimmed(values_[static_cast<std::size_t>(n)]);
  joined += text ? text : "";
  SetFieldText(n, joined.c_str());
}

void ReportFieldTable::SetFieldNumber(int n, double value) {
  if (!IsDeclared(n)) return;
  const std::string& def = definitions_[static_cast<std::size_t>(n)];
  const int width = FieldWidthOf(def);
  // The formatting functions stop at 20 characters; a wider field gets the
  // number right-aligned in it.
  const int numberWidth = width > 20 ? 20 : width;
  int decimals = FieldDecimalsOf(def);
  std::string text;
  for (;;) {
    text = FieldTypeOf(def) == 'M' ? GroupThousands(numberWidth, decimals, value)
                                   : FormatNumber(numberWidth, decimals, false, value);
    if (text.size() > static_cast<std::size_t>(numberWidth)) text.resize(numberWidth);
    if (text.empty() || text[0] != '*' || decimals == 0) break;
    --decimals;
  }
  if (static_cast<int>(text.size()) < width) text.insert(0, width - text.size(), ' ');
  values_[static_cast<std::size_t>(n)] = FitTo(text, width);
}

double ReportFieldTable::GetFieldNumber(int n) const {
  if (!IsDeclared(n)) return 0.0;
  const std::string& value = values_[static_cast<std::size_t>(n)];
  if (FieldTypeOf(definitions_[static_cast<std::size_t>(n)]) == 'N') {
    std::size_t first = value.find_first_not_of(' ');
    return first == std::string::npos ? 0.0 : Val(value.c_str() + first);
  }
  std::string packed;
  for (char c : value) {
    if (c != ' ') packed += c;
  }
  return Val(packed.c_str());
}

void ReportFieldTable::SetFieldDifference(int t, int a, int b) {
  double d = GetFieldNumber(a) - GetFieldNumber(b);
  if (Val(FormatNumber(14, 2, false, d)) == 0.0) {
    SetFieldText(t, FormatNumber(14, 2, false, 0.0));
  } else if (IsDeclared(a) && IsDeclared(b) && FieldTypeOf(Definition(a)) == 'M' &&
             FieldTypeOf(Definition(b)) == 'M') {
    SetFieldText(t, FormatAmount(d));
  } else {
    SetFieldText(t, FormatAmountPlain(d));
  }
}

const std::string& ReportFieldTable::Definition(int n) const {
  if (n < 0 || n >= static_cast<int>(definitions_.size())) return kEmpty;
  return definitions_[static_cast<std::size_t>(n)];
}

const std::string& ReportFieldTable::Value(int n) const {
  if (n < 0 || n >= static_cast<int>(values_.size())) return kEmpty;
  return values_[static_cast<std::size_t>(n)];
}

int ReportFieldTable::FindField(const char* name) const {
  if (name == nullptr) return -1;
  std::string wanted = RightTrimmed(FitTo(name, kFieldNameLength));
  for (int n = 0; n < static_cast<int>(definitions_.size()); ++n) {
    if (IsDeclared(n) &&
        platform::Cp1252EqualNoCase(FieldNameOf(definitions_[n]).c_str(), wanted.c_str())) {
      return n;
    }
  }
  return -1;
}
