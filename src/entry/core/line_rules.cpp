#include "entry/core/line_rules.h"

#include <cstdlib>

#include "data/entry_lines.h"
#include "data/error_report.h"
#include "data/table.h"
#include "data/table_results.h"
#include "posting/journal_month.h"
#include "resources/string_table.h"
#include "runtime/numbers.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace entry {

namespace {

constexpr int kTextField = 4, kCodeField = 2;
constexpr int kAnalyticField = 27;
constexpr int kDueDatePrefixes2 = 2055, kDueDatePrefixes3 = 2056;
constexpr int kVatEntry = 2597;  // "%s:Tva%s%": the VAT code, its rate
constexpr std::size_t kCellWidth = 4;

// Characters 1-3 of field 4 of a live collective record, as an integer; `fallback` when it is missing,
// -1 when it could not be read.
int CollectiveNumber(Table& c10, const std::string& code, int fallback) {
  const Lookup found = posting::FindLiveC10(c10, 'B', code);
  if (found.IsRefused()) return -1;
  if (found.IsNotFound()) return fallback;
  return std::atoi(PadRight(c10.GetField(kTextField), 3).substr(0, 3).c_str());
}

// The cell list holds the key at the start of one of its cells.
bool InCells(const std::string& cells, const std::string& key) {
  for (std::size_t at = 0; at + key.size() <= cells.size(); at += kCellWidth)
    if (cells.compare(at, key.size(), key) == 0) return true;
  return false;
}

bool OfPrefixes(const std::string& list, const std::string& prefix) {
  for (const std::string& p : SplitText(list.c_str(), false, 'z'))
    if (!p.empty() && p == prefix) return true;
  return false;
}

// The live account of a code; its cancel mark read again, so that one not read is no account cancelled.
Lookup SeekLiveAccount(Table& c20, const std::string& account) {
  if (account.empty()) return Lookup::NotFound();
  if (!c20.isOpen) return Lookup::Refused(kResultNoSuchTable);
  const Lookup found = c20.Find("C20CODE", account.c_str()).And(c20.MatchRecordKey(account.c_str(), 8, 1).HoldsKey());
  return found.IsFound() ? c20.LiveHere() : found;
}

}  // namespace

char AccountClass(Table& c10, const std::string& account) {
  if (account.empty()) return ' ';
  const char first = account[0];
  if (!IsAuxiliaryAccount(account) || first == 'C' || first == 'F') return first;
  // A collective not read gives no class: no sense is proposed from it.
  const Lookup found = posting::FindLiveC10(c10, 'B', std::string(1, first));
  if (found.IsRefused()) return ' ';
  if (found.IsNotFound()) return first;
  const std::string collective = PadRight(c10.GetField(kTextField), 8);
  const std::string number = collective.substr(0, 3);
  const int supplier = CollectiveNumber(c10, "F", 401), customer = CollectiveNumber(c10, "C", 411);
  if (supplier < 0 || customer < 0) return ' ';
  if (number == StrInt(supplier, 3)) return 'F';
  if (number == StrInt(customer, 3)) return 'C';
  return collective[0];
}

char AutoSenseOf(Table& c10, char journalType, const std::string& account, char labelDigit) {
  const std::string normalised = NormalizeAccount(account);
  if (normalised.empty()) return ' ';
  const std::string key{journalType, AccountClass(c10, normalised), labelDigit};
  if (InCells(LoadStr(kDebitSenseCells), key)) return 'D';
  if (InCells(LoadStr(kCreditSenseCells), key)) return 'C';
  if (journalType == 'T' && labelDigit == '4') return 'D';
  if (journalType == 'T' && labelDigit == '5') return 'C';
  return ' ';
}

bool AnalyticAllowed(Table& c10, Table& c20, const std::string& account, char analyticMode, char constant057,
                     bool roundingLine, bool* refused) {
  if (refused != nullptr) *refused = false;
  if (roundingLine || (analyticMode != '1' && analyticMode != '2')) return false;
  const std::string own = NormalizeAccount(account);
  if (own.empty()) return false;
  std::string deciding = own;
  if (IsAuxiliaryAccount(own)) {
    // A collective not read decides nothing: the account's split is neither allowed nor taken away.
    const Lookup collective = posting::FindLiveC10(c10, 'B', own.substr(0, 1));
    if (collective.IsRefused()) {
      if (refused != nullptr) *refused = true;
      return false;
    }
    if (collective.IsFound())
      deciding = NormalizeAccount(PadRight(c10.GetField(kTextField), 8).substr(0, 8));
  }
  bool allowed = false;
  const Lookup found = SeekLiveAccount(c20, deciding);
  if (refused != nullptr) *refused = found.IsRefused();
  if (found.IsFound()) {
    const char mark = c20.GetField(kAnalyticField)[0];
    if (deciding[0] == '6' || deciding[0] == '7') allowed = mark == 'N' ? false : (mark == ' ' || mark == 0) ? constant057 == 'O' : true;
    else allowed = mark == 'O';
  }
  if (deciding != own) SeekLiveAccount(c20, own);
  return allowed;
}

std::vector<std::string> VatEntries(Table& c10) {
  std::vector<std::string> entries;
  if (c10.isOpen && c10.Find("C10CODE", "T").IsFound()) {
    for (bool more = true; more && c10.GetField(1)[0] == 'T'; more = c10.Skip(1)) {
      if (!LiveOrSaid(c10).IsFound()) continue;
      const std::string text = PadRight(c10.GetField(kTextField), 13);
      if (IsBlank(text.substr(5, 8))) continue;
      const char code = c10.GetField(kCodeField)[0];
      entries.push_back(FillPlaceholders(
          LoadStr(kVatEntry), {std::string(1, code), FormatNumber(5, 2, false, Val(text.substr(0, 5).c_str()))}));
    }
  }
  entries.emplace_back(" ");
  return entries;
}

bool VatOnReceiptsShown(char journalType, char constant021, const std::string& account, const std::string& letters) {
  const std::string a = AllTrim(account.c_str());
  return journalType == 'T' && constant021 == 'O' && !a.empty() && letters.find(a[0]) != std::string::npos;
}

std::string LabelFromAccount(const std::string& label, const std::string& accountName) {
  const std::string text = RTrim(label.c_str());
  const std::size_t slash = text.find('\\');
  std::string out = (slash == std::string::npos ? text + "\\" : text.substr(0, slash + 1)) + RTrim(accountName.c_str());
  if (out.size() > 25) out.resize(25);
  return out;
}

bool DueDateAfterLabels(char journalType, const std::string& account) {
  const std::string a = PadRight(account, 3);
  if (IsAuxiliaryAccount(a) && (journalType == 'A' || journalType == 'V')) return true;
  return OfPrefixes(LoadStr(kDueDatePrefixes2), a.substr(0, 2)) || OfPrefixes(LoadStr(kDueDatePrefixes3), a.substr(0, 3));
}

}  // namespace entry
