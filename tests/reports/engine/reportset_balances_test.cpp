// The reference layouts of the trial balances (general, analytic, their exports) and of the
// balance sheet and its annex, each family over all its layouts.
#include "reportset_support.h"

namespace reportset {
namespace {

class BalanceLayouts : public ReportSetTest {};

const std::vector<std::string> kTotals{"58 094.00", "22 013.00", "37 481.00 Db"};

TEST_F(BalanceLayouts, TrialBalances) {
  CheckFamily("balances.txt", {
      {"EBS-STD", "Balance des comptes", {"58 094.00", "22 013.00", "37 481.00 Db", "23 905.25 Db"}},
      {"EBS-MOIS", "Balance par mois", {"37 481.00 Db"}},
      {"EBS-AGEE", "Balance \xE2g\xE9" "e", {"14 992.40", "37 481.00 Db"}},
      {"EBS-NM1", "Balance compar\xE9" "e N-1", {"58 094.00", "37 481.00 Db", "14 000.00 Db"}},
      {"EBS-BUDGET", "Balance budg\xE9taire", {"37 481.00 Db", "92 000.00 Db"}},
      {"EBS-REGR3", "Balance regroup\xE9" "e", kTotals},
      {"EBS-LIASSE", "", {}},
      {"EBS-CSV", "", {}},
      {"EBS-FEC", "", {}},
      {"EBS-XC", "", {}},
      {"EBA-FEC", "", {}},
      {"EBA-XC", "", {}},
      {"EBC-FEC", "", {}},
      {"EBC-XC", "", {}},
      {"EBB-FEC", "", {}},
      {"EBB-XC", "", {}},
      {"EBA-STD", "Balance et autres lignes", kTotals},
      {"EBA-CSV", "", {}},
      {"EBC-STD", "Balance avec cumul ant\xE9rieur", kTotals},
      {"EBC-CSV", "", {}},
      {"EBB-STD", "Balance cumul et autres lignes", {"1 100.00 Db", "300.00 Db", "37 481.00 Db"}},
      {"EBB-CSV", "", {}},
  });
}

TEST_F(BalanceLayouts, AnalyticTrialBalances) {
  CheckFamily("balances_analytic.txt", {
      {"EBAS-STD", "Balance des comptes", kTotals},
      {"EBAS-MOIS", "Balance par mois", {"37 481.00 Db"}},
      {"EBAS-AGEE", "Balance \xE2g\xE9" "e", {"14 992.40", "37 481.00 Db"}},
      {"EBAS-NM1", "Balance compar\xE9" "e N-1", {"37 481.00 Db", "14 000.00 Db"}},
      {"EBAS-BUDGE", "Balance budg\xE9taire", {"37 481.00 Db", "92 000.00 Db"}},
      {"EBAS-LIASS", "", {}},
      {"EBAS-CSV", "", {}},
      {"EBAA-STD", "Balance et autres lignes", kTotals},
      {"EBAA-CSV", "", {}},
      {"EBAC-STD", "Balance avec cumul ant\xE9rieur", kTotals},
      {"EBAC-CSV", "", {}},
      {"EBAB-STD", "Balance cumul et autres lignes", {"1 100.00 Db", "300.00 Db", "37 481.00 Db"}},
      {"EBAB-CSV", "", {}},
  });
}

TEST_F(BalanceLayouts, BalanceSheetAndAnnex) {
  CheckFamily("balance_sheet.txt", {
      {"EE-LIGNES", "Bilan 'REEL SIMPLIFIE 2033'", {"186 420.75", "171 300.00", "8.83"}},
      {"EE-2033", "Bilan simplifi\xE9 2033", {"2237.50", "7325.00", "11037.50"}},
      {"EE-2050", "Bilan et compte de r\xE9sultat", {"AB", "HN", "28225.00"}},
  });
  CheckFamily("annex.txt", {
      {"EEA-LIGNES", "Annexe du bilan", {"17 500.00", "34 000.00", "50 000.00"}},
      {"EEA-2033", "Annexe: d\xE9tail des cases 2033", {"17 500.00", "34 000.00", "50 000.00"}},
      {"EEA-2050", "Annexe: d\xE9tail des postes 2050", {"17 500.00", "34 000.00", "50 000.00"}},
  });
}

}  // namespace
}  // namespace reportset
