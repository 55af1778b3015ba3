// The gathering of a trial balance: for each account of the chart (or group of accounts, or
// collective account, or analytic section) the movements of its lines by period, month
// column, age and journal, with the accounts' previous-year figures. Everything is summed in
// whole cents from the lines loaded by BalanceSource, so a walk reads each table once; the
// answers are those of the account-by-account walk over C60 (a line counts through its sort
// record, a sort record reaching no line counts as zero and is counted as broken, the period
// and zero-amount rules apply to every record as the sort-record walk applies them).
// The balance sheet computes its accounts' balances through the same code.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "reports/balances/core/balance_source.h"
#include "reports/balances/core/trial_balance_options.h"

namespace balances {

// An account of C20 or a section of C30, with the figures the balances read.
struct ChartEntry {
  std::string code;  // 8 characters as stored
  std::string name, street1, street2, town;
  std::array<long long, 2> prevDebit{}, prevCredit{}, budget{};  // cents, francs then euros
  std::uint32_t recno = 0;  // its physical record number
  bool prevYearReadable = true;  // its four previous-year figures read as numbers
};

// The live accounts of C20 (or sections of C30) in code order.
class ChartList {
 public:
  bool LoadAccounts(const std::string& c20Path, std::string* message = nullptr);
  bool LoadSections(const std::string& c30Path, std::string* message = nullptr);
  const std::vector<ChartEntry>& Entries() const { return entries_; }
  const ChartEntry* Find(const std::string& code) const;  // code as stored, 8 characters
  // An entry kept in code order (charts made in memory: the balance sheet's, the tests').
  void Add(const ChartEntry& entry);
  // The live records whose previous-year or budget figures do not read as numbers (counted as zero).
  const std::vector<UnreadableAmountLine>& Unreadable() const { return unreadable_; }

 private:
  bool Load(const std::string& path, const std::vector<int>& fields, const char* title, char file, std::string* message);
  std::vector<ChartEntry> entries_;
  std::vector<UnreadableAmountLine> unreadable_;
  std::map<std::string, std::size_t> byCode_;
};

// What the walk needs besides the options: the dossier's settings and code lists.
struct GatherContext {
  TrialBalanceOptions options;
  PeriodFrame frame;
  char listKind = '1';         // "1" general, "2" result, "9" analytic, else a collective letter
  std::string typeListe;       // the layout's TypeListe ("A", "R3", "XF" ...)
  std::string excludedJournals;  // journals kept out of the month columns, "AC /OD "
  // "/" + general account (8) + "\" + letter, per collective account.
  std::string collectiveList;
  char keepRule = 'M';         // first character of constant 033: "N", "M" (MVT), "S" (SLD)
  std::string openingJournal = "AN ";  // constant 037, 3 characters
  bool orphanLetters = true;   // constant 044 does not begin with "N"
  // Prefixes of three characters framed by "-" exempt from the orphan letters.
  std::string letteringExemptions = "-512-514-515-516-517-518-519-530-531-532-533-";
  bool analyticByAccount = false;  // constant 032 "OUI": one analytic line per general account

  int Currency() const { return options.Currency(); }
  int RegroupementLength() const;  // 2-6 for "R2"-"R6", else 0
};

// The movements of one line of the balance, in cents of the report's currency unless named.
struct AccountFigures {
  long long caDebit = 0, caCredit = 0;           // before the period (with prior totals)
  long long debit = 0, credit = 0;               // the period
  long long debitF = 0, debitE = 0, creditF = 0, creditE = 0;
  std::array<long long, 12> months{};            // debit - credit per month column
  std::array<long long, 4> ages{};               // over 90 days, 60-90, 30-60, under 30
  long long etafiSan = 0, etafiCdb = 0, etafiCcr = 0, etafiCdbt = 0, etafiCcrt = 0;
  long long aeDebit = 0, aeCredit = 0;           // lines the lettering filter set apart
  long long prevYear = 0;                        // the account's previous-year balance
  long long LineDebit() const { return caDebit + debit + aeDebit; }
  long long LineCredit() const { return caCredit + credit + aeCredit; }
};

struct BalanceLine {
  std::size_t entry = 0;       // index in the ChartList walked
  std::string code;            // account (or group prefix) shown
  std::string generalAccount;  // analytic lines by general account: that account
  AccountFigures figures;
  bool countsPrevYear = true;  // analytic: the section's N-1 is counted on its first line only
};

// Grand totals of a list, in cents.
struct BalanceTotals {
  long long debit = 0, credit = 0;        // sums of the lines' debit and credit sides (LD, LC)
  long long balanceDebit = 0, balanceCredit = 0;
  long long caDebit = 0, caCredit = 0, aeDebit = 0, aeCredit = 0;
  long long prevYear = 0;                 // N-1 of the printed lines
  std::array<long long, 12> months{};
  std::array<long long, 4> ages{};
  long long result = 0;                   // general balance: classes 6 and 7, debit - credit
};

class Gatherer {
 public:
  Gatherer(const BalanceSource& source, const ChartList& chart, const GatherContext& context);

  // One account (or group, or collective) of the chart: false when it is not to be printed.
  bool GatherAccount(const ChartEntry& account, AccountFigures& out);
  // The lines of the list: the general, result or auxiliary balance over the chart of
  // accounts, the analytic balance over the sections.
  std::vector<BalanceLine> GatherList();
  static BalanceTotals Totals(const std::vector<BalanceLine>& lines, char listKind);

  // Sort records met whose TREC reaches no line (each counted once per walk).
  long BrokenRecords() const { return static_cast<long>(broken_.size()); }
  // The orphan letters of an account (8 characters) in the report's currency.
  const std::set<std::string>& OrphanLetters(const std::string& account);

 private:
  bool InPeriod(const AnalyticEntry& r) const;
  // The sort-record walk's filter: period (without prior totals) and amount.
  const LineFigures* Counted(const AnalyticEntry& r);
  bool LetteringAccepts(const GeneralEntry& e);
  void AddLine(const AnalyticEntry& r, const LineFigures& l, AccountFigures& f) const;
  // The same for the general walk, over the records joined to their lines.
  const GeneralEntry* Counted(const GeneralEntry& e);
  void AddEntry(const GeneralEntry& e, AccountFigures& f) const;
  // Whether a journal (its 3 characters packed) goes to the month columns; remembered.
  bool JournalInColumns(std::uint32_t journal) const;
  int AgeClass(const AnalyticEntry& r, const LineFigures& l) const;
  std::string KeyOf(const ChartEntry& account, bool& wholeAccount) const;
  bool KeepByPrevYear(const ChartEntry& e) const;
  std::vector<BalanceLine> GatherSections();

  const BalanceSource& source_;
  const ChartList& chart_;
  GatherContext context_;
  std::string start_, end_;  // the period, stored YYMMDD
  std::uint64_t startKey_ = 0, endKey_ = 0;
  std::string openingJournal_;  // constant 037's 3 characters
  std::uint32_t openingKey_ = 0;  // the same packed as JournalInColumns takes it
  std::uint64_t blankDate_ = 0;
  bool packedLimits_ = false;     // the ageing limits compare packed
  std::array<std::uint64_t, 3> limitKeys_{};  // 90, 60, 30 days, packed
  mutable std::array<std::pair<std::uint32_t, bool>, 32> journals_{};
  mutable std::size_t journalCount_ = 0;
  bool prior_ = false;
  std::size_t currency_ = 0;
  std::set<std::uint32_t> broken_;
  std::map<std::string, std::set<std::string>> orphans_;
};

}  // namespace balances
