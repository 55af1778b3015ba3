// The reference layouts of the trial balances (general, analytic, their exports) and of the
// balance sheet and its annex, each family over all its layouts.
#include "reportset_support.h"

namespace reportset {
namespace {

class BalanceLayouts : public ReportSetTest {};

TEST_F(BalanceLayouts, TrialBalances) {
  CheckFamily("balances.txt");
}

TEST_F(BalanceLayouts, AnalyticTrialBalances) {
  CheckFamily("balances_analytic.txt");
}

TEST_F(BalanceLayouts, BalanceSheetAndAnnex) {
  CheckFamily("balance_sheet.txt");
  CheckFamily("annex.txt");
}

}  // namespace
}  // namespace reportset
