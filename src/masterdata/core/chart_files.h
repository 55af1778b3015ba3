// The chart of accounts (C20) and the analytic sections (C30): their field numbers, what their lists, forms and
// reports need to know of each file, and their rows in the table of master-data kinds ("2" accounts, "3" sections).
#pragma once

#include <string>
#include <vector>

#include "masterdata/core/code_kinds.h"

class Table;

namespace masterdata {

// The account record of C20. Amounts come in pairs: the franc member, then the euro member (field + 1).
namespace c20 {
constexpr int kCode = 1, kName = 2, kStreet1 = 3, kStreet2 = 4, kTown = 5, kPhone = 6, kFax = 7, kEmail = 8;
constexpr int kDomiciliation1 = 9, kDomiciliation2 = 10, kBank = 11, kBranch = 12, kAccount = 13, kRibKey = 14;
constexpr int kIban = 15, kBic = 16;
constexpr int kDebit = 17, kCredit = 19, kLastDebit = 21, kLastCredit = 23;
constexpr int kCounterpart = 25, kBalanceSheet = 26, kAnalytic = 27, kBudget = 28, kText = 30;
}  // namespace c20

// The section record of C30.
namespace c30 {
constexpr int kCode = 1, kName = 2, kStreet1 = 3, kStreet2 = 4, kStreet3 = 5, kPhone = 6, kFax = 7, kEmail = 8;
constexpr int kDebit = 9, kCredit = 11, kLastDebit = 13, kLastCredit = 15, kBudget = 17, kText = 19;
}  // namespace c30

constexpr int kChartCodeWidth = 8;
constexpr int kChartNameWidth = 30;
// The list's balance: the widest balance of two totals of 14 characters ("109 999 999 999.98 Db").
constexpr int kChartBalanceLength = 21;

// One of the two files of the chart: what the lists, forms, reports and searches read of it.
struct ChartFile {
  char kind;              // "2" accounts, "3" sections
  const char* codeTag;    // C20CODE / C30CODE
  const char* nameTag;    // C20NOM / C30NOM (UPPER of the name)
  int orderOption;        // ProgramOptions position of the list's order: 21 / 22
  int debitField;         // current year's totals (franc members; euros at + 1)
  int creditField;
  int lastDebitField;     // previous year's debit and credit
  int lastCreditField;
  int budgetField;
  int emailField;
  int memoField;
  int reportDefinitions;  // string id of the 14-character report variables, one after the other
  int reportVariables;    // how many
  int searchCaption;      // caption of the word-search messages
  // Every amount field (franc and euro members): they must all be zero to cancel, and are zeroed in a copy.
  std::vector<int> AmountFields() const;
  bool Accounts() const { return kind == '2'; }
};

const ChartFile& AccountsFile();
const ChartFile& SectionsFile();
// The file of a kind letter; null for any other letter.
const ChartFile* FindChartFile(char kind);

// The rows of the two lists in the table of master-data kinds (list and form classes, menu command, report
// prefix, rights, registry slots, form lock entry, form grid).
const std::vector<CodeKind>& ChartKinds();
const CodeKind* FindChartKind(char kind);
// The kind of any list with a form: the eight code lists, the accounts and the sections.
const CodeKind* FindFormKind(char kind);

// The program's table of a kind: TableC10 for the code lists, TableC20, TableC30.
Table* RecordTableOf(char kind);

// True for a code of an auxiliary account (a customer or a supplier): its first character is "A" to "Z".
bool IsAuxiliaryCode(const std::string& code);

}  // namespace masterdata
