// The ledger report windows driven as a user drives them: the whole main window over a
// generated dossier "LG" whose financial year runs from July to June, the master-data, report
// engine and ledger commands installed, and a report set "0" in the program folder holding the
// program's standard layouts of the four reports (the preview's set and the print set).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "demo/dossier_demo.h"
#include "framework/lookup_dialog.h"
#include "reports/ledgers/ledger_commands.h"
#include "reports/ledgers/ledger_forms.h"
#include "reports/ledgers/ledger_windows.h"
#include "runtime/inifiles.h"
#include "support/python.h"
#include "support/report_dossier_fixture.h"

namespace ledgers_window_test {

using test_support::StoredLayout;

class LedgerWindowTest : public test_support::ReportDossierTest {
 protected:
  LedgerWindowTest() : ReportDossierTest("LG", {20501u, 20502u, 20503u, 20505u}) {}

  void InstallCommands() override { InstallLedgerCommands(); }

  // The dossier: 1,500 lines over a year from July to June, in euros only.
  DemoOptions Options() override {
    DemoOptions options;
    options.lines = 1500;
    options.firstDay = Ymd{2025, 7, 1};
    options.lastDay = Ymd{2026, 6, 30};
    return options;
  }

  std::vector<StoredLayout> ReportLayouts() const override { return Layouts(); }
  static std::vector<StoredLayout> Layouts() {
    return {{"EC-1STD", "Relev\xE9 standard", "C-Etat-EC-1STD.txt"},
            {"ECA-1STD", "Relev\xE9 analytique", "C-Etat-ECA-1STD.txt"},
            {"EG-1STD", "Grand livre standard", "C-Etat-EG-1STD.txt"},
            {"EGA-1STD", "Grand livre analytique", "C-Etat-EGA-1STD.txt"},
            {"EJ-1STD", "Journal standard", "C-Etat-EJ-1STD.txt"},
            {"EJR-STD", "Journal r\xE9" "capitulatif", "C-Etat-EJR-STD.txt"},
            {"ER-1STD", "R\xE9" "capitulatif standard", "C-Etat-ER-1STD.txt"}};
  }

  // Types a text into an edit and presses Enter there (its notification command).
  static void Enter(MEdit* edit, const std::string& text) {
    edit->SetText(text);
    gui::PostCommand(edit->Parent()->GetHandle(), static_cast<unsigned>(edit->EnterAction()));
    gui::ProcessPendingMessages();
  }
};

}  // namespace ledgers_window_test
