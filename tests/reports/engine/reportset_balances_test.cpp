// The reference layouts of the trial balances (general, analytic, their exports) and of the
// balance sheet and its annex, each family over all its layouts.
#include "reportset_support.h"
#include "runtime/text.h"

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

// What a printed balance shows where its columns say: the result of the general balance
// ("R\xE9sultat: Perte" and its amount) under the balance's own column, and an account's name as
// long as the chart's field whole, its 30 characters (25 in "cumul et autres lignes", beside its five
// amount columns); the sections' layouts for the result.
TEST_F(BalanceLayouts, TheResultStandsUnderTheBalanceAndNamesPrintWhole) {
  const std::string longName = "Achats non stock\xE9s de mati\xE8res";
  ASSERT_EQ(longName.size(), 30u);
  for (const char* file : {"balances.txt", "balances_analytic.txt"}) {
    const bool sections = std::string(file) == "balances_analytic.txt";
    reports::ReportFixture family = Family(file);
    ASSERT_FALSE(family.records.empty());
    family.records[0].values.emplace_back("NOMCOMPTE", longName);
    family.end.values = {{"TG_LIB_RES", "R\xE9sultat: Perte"}, {"TG_VAL_RES", "     23 905.25 Db"}};
    std::string total;
    for (const reports::FixtureRecord& r : family.records)
      for (const auto& [name, value] : r.values)
        if (name == "TG_SOLDE") total = Trimmed(value);
    ASSERT_FALSE(total.empty());
    for (const Layout& layout : LayoutsOf(family)) {
      if (ExportKindOf(layout.text) != ExportKind::kNone) continue;
      SCOPED_TRACE(layout.code);
      const RunResult run = Run(layout, family);
      int totalRight = -1, resultRight = -1;
      bool nameShown = false;
      const std::string name = layout.code == "EBB-1STD" ? longName.substr(0, 25) : longName;
      for (int p = 1; p <= run.pages.PageCount(); ++p) {
        for (const reports::PageRecord& r : *run.pages.Page(p)) {
          const std::string text(r.text);
          if (r.kind == 'Z' && text == total) totalRight = r.n1 + r.n3;
          if (r.kind == 'Z' && text == "23 905.25 Db") resultRight = r.n1 + r.n3;
          nameShown = nameShown || text == name;
        }
      }
      if (layout.text.find("[@TG_VAL_RES]") != std::string::npos) {
        EXPECT_GE(totalRight, 0) << "the grand total's balance " << total;
        EXPECT_EQ(resultRight, totalRight) << "the result's amount ends where the grand total's balance ends";
      }
      if (!sections && layout.text.find("[@NOMCOMPTE") != std::string::npos)
        EXPECT_TRUE(nameShown) << "the account's name whole";
    }
  }
}

}  // namespace
}  // namespace reportset
