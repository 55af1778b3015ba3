#include "collective_account.h"

#include "data/entry_lines.h"
#include "data/error_report.h"
#include "data/table.h"
#include "resources/string_table.h"

namespace {

// The digit the account of a made collective record repeats, by its id in the string table.
constexpr int kCollectiveFillerDigit = 1109;
constexpr std::size_t kAccountWidth = 8;

}  // namespace

std::string CollectiveAccountOf(const std::string& field4) { return NormalizeAccount(field4.substr(0, kAccountWidth)); }

std::map<char, std::string> CollectiveAccounts(Table& c10) {
  std::map<char, std::string> accounts;
  if (!c10.isOpen) return accounts;
  // A look-up the system refused is reported: the letters it leaves without a collective are then no
  // silent "none".
  const Lookup first = c10.FindNotBelow("C10CODE", "B");
  ReportRefusedLookup(c10, first, "C10CODE", "B");
  for (bool more = first.IsFound(); more && !c10.eof && c10.GetField(1)[0] == 'B'; more = c10.Skip(1)) {
    const std::string code = c10.GetField(2);
    accounts.emplace(code.empty() ? ' ' : code[0], CollectiveAccountOf(c10.GetField(4)));
  }
  return accounts;
}

std::string MadeCollectiveAccount() { return std::string(kAccountWidth, LoadStr(kCollectiveFillerDigit)[0]); }

char CollectiveLetterOf(const std::string& account) { return IsAuxiliaryAccount(account) ? account[0] : 0; }
