// The balances the chart of accounts and the analytic sections show, at 1, 10 million, a billion and
// 99 999 999 999,99 on either side: in the list's balance column and beside each currency's row of the
// form, each whole, grouped, with its side, never in asterisks and never cut by its column or its
// control, in the lists' and forms' own fonts.
#include "chart_fixture.h"
#include "platform/gui/controls.h"
#include "runtime/numbers.h"
#include "runtime/text.h"
#include "shell/graphics.h"
#include "support/cut_texts.h"
#include "support/gui_test.h"
#include "support/window_amounts.h"

namespace md_test {
namespace {

using namespace masterdata;
using test_support::Shown;

class AmountsSweepTest : public ChartTest {
 protected:
  char AnalyticMode() const override { return '1'; }

  // The code of the k-th amount of the sweep: together at the top of the list.
  static std::string CodeOf(char kind, std::size_t k) { return (kind == '2' ? "1000000" : "AAAAAAA") + std::to_string(k); }

  // An account or a section per amount of the sweep, its balance in both currencies that amount: a
  // debit total for an amount above zero, a credit total for one below.
  static void Seed(char kind) {
    const int debit = kind == '2' ? c20::kDebit : c30::kDebit, credit = kind == '2' ? c20::kCredit : c30::kCredit;
    for (std::size_t k = 0; k < test_support::SweepCents().size(); ++k) {
      const long long cents = test_support::SweepCents()[k];
      const std::string amount = AmountDigits(FromCents(cents < 0 ? -cents : cents));
      std::map<int, std::string> fields{{2, "Solde du balayage"}};
      for (int c = 0; c < 2; ++c) fields[(cents > 0 ? debit : credit) + c] = amount;
      Put(kind, CodeOf(kind, k), fields);
    }
  }

  // The text of a row's cell: the cells follow each other in the row, each its declared length.
  static std::string CellOf(ChartList* list, const std::string& row, int column) {
    const BrowseColumnTable& columns = list->Columns();
    std::size_t at = 6;
    for (int k = 1; k < column; ++k) at += columns[static_cast<std::size_t>(k)].field == 0 ? 1 : columns[static_cast<std::size_t>(k)].value2;
    return row.substr(at, columns[static_cast<std::size_t>(column)].value2);
  }
  static int BalanceColumn(ChartList* list) {
    for (int k = 2; k <= ColumnCount(list->Columns()); ++k)
      if (list->Columns()[static_cast<std::size_t>(k)].title.rfind("Solde", 0) == 0) return k;
    return 0;
  }

  void Sweep(char kind, const char* name) {
    Seed(kind);
    test_support::SweepFaults faults;
    ChartList* list = Open(kind);
    ASSERT_NE(list, nullptr);
    list->MoveWindow(gui::Rect{0, 0, 1200, 400});
    gui::ProcessPendingMessages();
    const int column = BalanceColumn(list);
    ASSERT_GT(column, 0);
    ASSERT_TRUE(list->LocateCode(CodeOf(kind, 0)));
    for (std::size_t k = 0; k < test_support::SweepCents().size(); ++k) {
      const long long cents = test_support::SweepCents()[k];
      ASSERT_TRUE(list->LocateCode(CodeOf(kind, k)));
      const std::string row = list->Store().rows[static_cast<std::size_t>(list->GetSelectedRowIndex() - 1)];
      faults.Add(test_support::AmountFault(std::string(name) + " list, " + CodeOf(kind, k), CellOf(list, row, column),
                                           cents, Shown::kSided));
    }
    ASSERT_TRUE(list->LocateCode(CodeOf(kind, 0)));
    list->GoFirst();
    for (const std::string& cut : test_support::CutTexts(*list, static_cast<int>(test_support::SweepCents().size())))
      if (cut.rfind("Solde", 0) == 0) faults.Add(std::string(name) + " list: cut: " + cut);
    test_support::Screenshot(MainFrame->Widget(), "masterdata", std::string("amounts_sweep_") + name + "_list");

    // The form of each: the balance of both currencies beside their rows.
    const int balanceF = kind == '2' ? account_form::kBalanceF : section_form::kBalanceF;
    const int balanceE = kind == '2' ? account_form::kBalanceE : section_form::kBalanceE;
    for (std::size_t k = 0; k < test_support::SweepCents().size(); ++k) {
      const long long cents = test_support::SweepCents()[k];
      ChartRecordForm* form = Edit(CodeOf(kind, k), kind);
      ASSERT_NE(form, nullptr);
      // At its first width, over the list: the grid of the form without its scroll.
      form->MoveWindow(gui::Rect{100, 0, 100 * (EntryCharWidth > 0 ? EntryCharWidth : 7) + 20, 560});
      gui::ProcessPendingMessages();
      for (int id : {balanceF, balanceE}) {
        gui::Static* s = form->StaticOf(id);
        ASSERT_NE(s, nullptr) << id;
        const std::string where = std::string(name) + " form " + CodeOf(kind, k) + ", " + std::to_string(id);
        faults.Add(test_support::AmountFault(where, s->GetText(), cents, Shown::kSided));
        faults.Add(test_support::CutFault(where, *s));
      }
      if (k == 3 || k == 7)
        test_support::Screenshot(MainFrame->Widget(), "masterdata",
                                 std::string("amounts_sweep_") + name + "_form" + (k == 3 ? "" : "_credit"));
      gui::SendMessage(form->GetHandle(), gui::WM_CLOSE);
      gui::ProcessPendingMessages();
    }
    faults.Report();
  }
};

TEST_F(AmountsSweepTest, TheChartOfAccountsShowsEveryBalanceWholeGroupedWithItsSide) { Sweep('2', "accounts"); }

TEST_F(AmountsSweepTest, TheSectionsShowEveryBalanceWholeGroupedWithItsSide) { Sweep('3', "sections"); }

}  // namespace
}  // namespace md_test
