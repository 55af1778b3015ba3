#include "data/rounding_accounts.h"

#include "data/entry_lines.h"
#include "resources/string_table.h"
#include "runtime/inifiles.h"
#include "runtime/xbase.h"

namespace {
// The keys are 13-character slices of string 13, at 10 and 23.
constexpr int kKeyTable = 13;
constexpr std::size_t kDebitKeyAt = 9, kCreditKeyAt = 22, kSectionKeyAt = 35, kKeyWidth = 13;
constexpr std::size_t kAccountWidth = 8;
}  // namespace

std::string RoundingAccount(bool debit) {
  const std::string keys = LoadStr(kKeyTable);
  const std::size_t at = debit ? kDebitKeyAt : kCreditKeyAt;
  std::string key = keys.size() >= at + kKeyWidth ? keys.substr(at, kKeyWidth) : std::string();
  if (IsBlank(key)) key = debit ? "CpteArrondiDB" : "CpteArrondiCR";
  const char* fallback = debit ? kDefaultRoundingDebit : kDefaultRoundingCredit;
  std::string value = IniGetString(key.c_str(), fallback);
  if (value.size() > kAccountWidth) value.resize(kAccountWidth);
  const std::string account = NormalizeAccount(value);
  return account.empty() ? std::string(fallback) : account;
}

std::string AnalyticRoundingSection() {
  const std::string keys = LoadStr(kKeyTable);
  std::string key = keys.size() >= kSectionKeyAt + kKeyWidth ? keys.substr(kSectionKeyAt, kKeyWidth) : std::string();
  if (IsBlank(key)) key = "CpteArrondiAN";
  std::string value = IniGetString(key.c_str(), kDefaultRoundingSection);
  if (value.size() > kAccountWidth) value.resize(kAccountWidth);
  if (IsBlank(value)) value = kDefaultRoundingSection;
  value.resize(kAccountWidth, ' ');
  return value;
}
