// The trial balances' report window TWEtaBroBalances ("Balances des Comptes", EtaBalances): a report
// window without rows that opens the dossier's tables, asks the main window for its options
// form (TWEtaModBalances), and when the form hands it the options ("Visualiser",
// "Imprimer") runs the choice dialog and produces the lists of the sequence the options
// ask for: in the preview one by one ("Autre Liste" from the preview's "Liste suivante"),
// in a printout all of them in one job, each from a new page. The report object behind its
// hooks is balances::TrialBalanceReport; the window answers its questions with message boxes
// and the dossier-code dialog of the CEGID export.
#pragma once

#include <string>

#include "reports/balances/core/trial_balance_report.h"
#include "reports/engine/report_window.h"
#include "reports/ledgers/ledger_windows.h"
#include "resources/command_ids.h"

namespace balance_cmd {
constexpr unsigned AutreListe = child_command::ListeSuivante;
}  // namespace balance_cmd

// What the limits form base needs of its report window.
extern const LedgerWindowKind kTrialBalanceWindow;

// The report object's questions answered over the window.
class WindowTrialBalanceReport : public balances::TrialBalanceReport {
 public:
  explicit WindowTrialBalanceReport(gui::Window* window) : window_(window) {}
  void ShowEmpty(const std::string& text) override;
  void ShowError(const std::string& text) override;
  void ShowInformation(const std::string& text) override;
  void ShowWarning(const std::string& text, const std::string& caption) override;
  bool AskGoOn(const std::string& text) override;
  // "Saisie d'une valeur spécifique": 5 characters, "Saisir le Code du Dossier (5 chiffres)".
  bool AskDossierCode(std::string& typed) override;

 private:
  gui::Window* window_;
};

class TWEtaBroBalances : public TWEtats {
 public:
  explicit TWEtaBroBalances(gui::MDIClient* parent);
  ~TWEtaBroBalances() override;

  balances::TrialBalanceReport& Report() { return report_; }

  // Modifier: the options form asked of the main window (the menu command's second run makes it).
  void CmModifier();
  // Visualiser, Imprimer (from the form), ListeSuivante (from the preview's "Liste suivante").
  void CmVisualiser();
  void CmImprimer();
  void CmNextList();
  // The end of a preview (FinVisualisation) brings the form back; after a list written to an export file
  // the next list of the run follows, as "Autre Liste" steps through them.
  void DefaultAction() override;

  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }

 protected:
  void SetupWindow() override;

 private:
  // The options the form wrote into the window's key, and the run they begin.
  void ReadOptions();
  // The first list of the sequence that has something to show, dropping the others.
  bool PrepareNextList();
  // The prepared list in the preview, under its code (the analytic code for the sections).
  void ShowList();
  bool exported_ = false;  // the list shown last was written to an export file
  void TakeCodeForList();
  void CeIdle(gui::CommandEnabler& ce) { ce.Enable(!Busy()); }

  WindowTrialBalanceReport report_;
};
