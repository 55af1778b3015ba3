// The trial balances' window and form driven as a user drives them: the whole main window over a
// generated dossier "BW" (a year from July to June, its first months validated with an opening
// entry, matched invoices, one axis of sections), the master-data, report-engine and balance
// commands installed, and a report set "0" in the program folder holding the program's trial
// balance layouts.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "demo/dossier_demo.h"
#include "reports/balances/balance_commands.h"
#include "reports/balances/balance_forms.h"
#include "reports/balances/balance_windows.h"
#include "runtime/dossier_record.h"
#include "support/report_dossier_fixture.h"

namespace balances_window_test {

using test_support::StoredLayout;

class BalanceWindowTest : public test_support::ReportDossierTest {
 protected:
  BalanceWindowTest() : ReportDossierTest("BW", {20504u}) {}

  void InstallCommands() override { InstallBalanceCommands(); }

  DemoOptions Options() override {
    DemoOptions options;
    options.lines = 1500;
    options.firstDay = Ymd{2025, 7, 1};
    options.lastDay = Ymd{2026, 6, 30};
    options.analyticMode = '1';
    options.closedMonths = 4;
    options.matchings = true;
    return options;
  }

  // The layouts in code order: the choice dialog's rows.
  std::vector<StoredLayout> ReportLayouts() const override { return Layouts(); }
  static std::vector<StoredLayout> Layouts() {
    return {{"EBAS-1STD", "Balance analytique", "C-Etat-EBAS-1STD.txt"},
            {"EBAS-CSV", "Bal. anal. (CSV)", "C-Etat-EBAS-CSV.txt"},
            {"EBC-1STD", "Balance avec cumuls", "C-Etat-EBC-1STD.txt"},
            {"EBS-1STD", "Balance g\xE9n\xE9rale", "C-Etat-EBS-1STD.txt"},
            {"EBS-CSV", "Balance (CSV)", "C-Etat-EBS-CSV.txt"},
            {"EBS-FEC", "Fichier des \xE9" "critures (FEC)", "C-Etat-EBS-FEC.txt"},
            {"EBS-REGR3", "Balance regroup\xE9" "e", "C-Etat-EBS-REGR3.txt"},
            {"EBS-XC", "Export CEGID", "C-Etat-EBS-XC.txt"}};
  }
  // Rows of the "EBS-" choice dialog.
  enum Row { kStd = 0, kCsv = 1, kFec = 2, kRegr3 = 3, kXc = 4 };

  // The window and its form, opened by the menu command.
  void OpenPair() {
    Run(20504);
    window_ = Slot<TWEtaBroBalances>(kBalancesWindowSlot);
    form_ = Slot<TWEtaModBalances>(kBalancesFormSlot);
    ASSERT_NE(window_, nullptr) << test_support::ShownTexts();
    ASSERT_NE(form_, nullptr);
  }

  TWEtaBroBalances* window_ = nullptr;
  TWEtaModBalances* form_ = nullptr;
};

}  // namespace balances_window_test
