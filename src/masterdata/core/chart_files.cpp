#include "masterdata/core/chart_files.h"

#include "data/session.h"
#include "masterdata/core/masterdata_strings.h"
#include "resources/command_ids.h"

namespace masterdata {

std::vector<int> ChartFile::AmountFields() const {
  std::vector<int> fields;
  for (int f : {debitField, creditField, lastDebitField, lastCreditField, budgetField}) {
    fields.push_back(f);
    fields.push_back(f + 1);
  }
  return fields;
}

const ChartFile& AccountsFile() {
  static const ChartFile file{'2',           "C20CODE",        "C20NOM",        21,
                              c20::kDebit,   c20::kCredit,     c20::kLastDebit, c20::kLastCredit,
                              c20::kBudget,  c20::kEmail,      c20::kText,      kChartReportDefinitions,
                              29,            kTextSearchChart};
  return file;
}

const ChartFile& SectionsFile() {
  static const ChartFile file{'3',           "C30CODE",        "C30NOM",        22,
                              c30::kDebit,   c30::kCredit,     c30::kLastDebit, c30::kLastCredit,
                              c30::kBudget,  c30::kEmail,      c30::kText,      kSectionReportDefinitions,
                              17,            kTextSearchSections};
  return file;
}

const ChartFile* FindChartFile(char kind) {
  if (kind == '2') return &AccountsFile();
  if (kind == '3') return &SectionsFile();
  return nullptr;
}

const std::vector<CodeKind>& ChartKinds() {
  // kind, list, form, command, prefix, rights, width, list slot, form slot, help, report fields, lock entry,
  // grid columns and rows, chart of accounts. Both keep the framework's help context.
  static const std::vector<CodeKind> kinds{
      // Eleven grid columns: "Domiciliation bancaire" fits the accounts' form, and a balance of either form
      // takes the last three, whole.
      {'2', "TWDonBroPlanComptable", "TWDonModPlanComptable", command_id::DonneesPlanComptable, "DP-", 11,
       kChartCodeWidth, 461, 498, 85, 29, 9, 11, 16, true},
      {'3', "TWDonBroSectionsAnal", "TWDonModSectionsAnal", command_id::DonneesSectionsAnal, "DS-", 12, kChartCodeWidth,
       303, 340, 85, 17, 10, 11, 15, false},
  };
  return kinds;
}

const CodeKind* FindChartKind(char kind) {
  for (const CodeKind& k : ChartKinds())
    if (k.kind == kind) return &k;
  return nullptr;
}

const CodeKind* FindFormKind(char kind) {
  const CodeKind* k = FindCodeKind(kind);
  return k != nullptr ? k : FindChartKind(kind);
}

Table* RecordTableOf(char kind) {
  if (kind == '2') return TableC20;
  if (kind == '3') return TableC30;
  return TableC10;
}

bool IsAuxiliaryCode(const std::string& code) { return !code.empty() && code[0] >= 'A' && code[0] <= 'Z'; }

}  // namespace masterdata
