#include "reports/ledgers/core/ledger_options.h"

#include "runtime/xbase.h"

namespace ledgers {

namespace {

// Characters [position, position + width) of a 1-based record, blank beyond its end.
std::string Part(const std::string& record, int position, int width) {
  std::string out(static_cast<std::size_t>(width), ' ');
  for (int i = 0; i < width; ++i) {
    const std::size_t at = static_cast<std::size_t>(position - 1 + i);
    if (at < record.size()) out[static_cast<std::size_t>(i)] = record[at];
  }
  return out;
}
bool Flag(const std::string& record, int position) {
  return static_cast<std::size_t>(position) <= record.size() && record[static_cast<std::size_t>(position - 1)] == 'O';
}
char Char(const std::string& record, int position) {
  return static_cast<std::size_t>(position) <= record.size() ? record[static_cast<std::size_t>(position - 1)] : ' ';
}
const char* YesNo(bool flag) { return flag ? "O" : "N"; }

}  // namespace

AccountStatementOptions AccountStatementOptions::FromRecord(const std::string& r) {
  AccountStatementOptions o;
  o.account = Part(r, 1, 8);
  o.dateFrom = Part(r, 9, 6);
  o.dateTo = Part(r, 15, 6);
  o.monthlySubtotals = Flag(r, 21);
  o.priorCumulation = Flag(r, 22);
  o.letteringFilter = Char(r, 23);
  o.analytic = Flag(r, 24);
  o.inEuros = Flag(r, 25);
  o.matchingLetter = Part(r, 26, 4);
  return o;
}

std::string AccountStatementOptions::ToRecord() const {
  return PadRight(account, 8) + PadRight(dateFrom, 6) + PadRight(dateTo, 6) + YesNo(monthlySubtotals) + YesNo(priorCumulation) +
         std::string(1, letteringFilter) + YesNo(analytic) + YesNo(inEuros) + PadRight(matchingLetter, 4);
}

GeneralLedgerOptions GeneralLedgerOptions::FromRecord(const std::string& r) {
  GeneralLedgerOptions o;
  o.kind = Char(r, 1);
  o.collectives = Part(r, 2, 26);
  o.accountFrom = Part(r, 28, 8);
  o.accountTo = Part(r, 36, 8);
  o.dateFrom = Part(r, 44, 6);
  o.dateTo = Part(r, 50, 6);
  o.monthlySubtotals = Flag(r, 56);
  o.priorCumulation = Flag(r, 57);
  o.letteringFilter = Char(r, 58);
  o.inEuros = Flag(r, 59);
  o.sectionGeneralAccount = Part(r, 60, 8);
  return o;
}

std::string GeneralLedgerOptions::ToRecord() const {
  return std::string(1, kind) + PadRight(collectives, 26) + PadRight(accountFrom, 8) + PadRight(accountTo, 8) + PadRight(dateFrom, 6) +
         PadRight(dateTo, 6) + YesNo(monthlySubtotals) + YesNo(priorCumulation) + std::string(1, letteringFilter) +
         YesNo(inEuros) + PadRight(sectionGeneralAccount, 8);
}

JournalListingOptions JournalListingOptions::FromRecord(const std::string& r) {
  JournalListingOptions o;
  o.monthSelector = Part(r, 1, 4);
  o.journal = Part(r, 5, 3);
  o.summary = Flag(r, 8);
  o.analytic = Flag(r, 9);
  o.inEuros = Flag(r, 16);
  return o;
}

std::string JournalListingOptions::ToRecord() const {
  return PadRight(monthSelector, 4) + PadRight(journal, 3) + YesNo(summary) + YesNo(analytic) + std::string(6, ' ') +
         YesNo(inEuros);
}

std::string JournalListingOptions::ReportPrefix() const {
  if (analytic) return summary ? "EJRA-" : "EJA-";
  return summary ? "EJR-" : "EJ-";
}

int JournalListingOptions::ChoiceOptionsLevel() const {
  return (PadRight(monthSelector, 4) + PadRight(journal, 3)).substr(0, 5).find(' ') != std::string::npos ? 0 : 1;
}

std::string AnalyticReportCode(const std::string& reportCode) {
  std::string code = PadRight(reportCode, 18);
  code.erase(9, 1);
  code.insert(2, "A");
  return code;
}

}  // namespace ledgers
