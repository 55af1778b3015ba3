// The report windows of the ledger reports: the account statement (TWEtaBroCompte, EtaCompte), the
// general ledgers (TWEtaBroGrandsLivres, EtaGrandsLivres), the journal listings (TWEtaBroJournaux, EtaJournaux)
// and the centralising summary (TWEtaBroRecapCentralisateur, EtaRecapCentralisateur). Each is a report window
// without rows that opens the dossier's tables, asks the main window for its limits form (the
// summary has none and previews at once), and, when the form hands it a limits record
// ("Visualiser", "Imprimer"), runs the choice dialog, prepares its report (the core's
// report object, which the interpreter then drives as the run's owner) and opens the preview or
// prints. When the preview ends the form comes back to the top (the summary closes itself).
#pragma once

#include <memory>
#include <string>

#include "platform/gui/printer.h"
#include "reports/engine/report_window.h"
#include "reports/ledgers/core/account_statement.h"
#include "reports/ledgers/core/centralising_summary.h"
#include "reports/ledgers/core/general_ledgers.h"
#include "reports/ledgers/core/journal_listings.h"
#include "resources/command_ids.h"

class PrinterChoice;
class TImpression;

namespace ledger_cmd {
using child_command::ListeSuivante;
}  // namespace ledger_cmd

// What tells the four report windows apart.
struct LedgerWindowKind {
  unsigned menuCommand;
  int titleId;
  int ownSlot, slotLength;
  int formSlot;      // 0: no limits form
  int limitsLength;  // of the record the form writes at ownSlot + 11
  int fieldCount;    // report variables
  int helpContext;
  bool c10Only;      // the summary reads the general file only
};

extern const LedgerWindowKind kStatementWindow;
extern const LedgerWindowKind kGeneralLedgersWindow;
extern const LedgerWindowKind kJournalsWindow;
extern const LedgerWindowKind kSummaryWindow;

// The empty-report notice of a report object shown over its window.
template <class Report>
class WindowLedgerReport : public Report {
 public:
  explicit WindowLedgerReport(gui::Window* window) : window_(window) {}
  void ShowEmpty(const std::string& text) override { ShowEmptyEtat(window_, text); }
  void ShowUnreadableAmounts(const std::string& text) override {
    Report::ShowUnreadableAmounts(text);
    ShowUnreadableAmountsEtat(window_, text);
  }

 private:
  gui::Window* window_;
};

class TWEtaBroLedger : public TWEtats {
 public:
  TWEtaBroLedger(gui::MDIClient* parent, const LedgerWindowKind& kind);
  ~TWEtaBroLedger() override;

  const LedgerWindowKind& Kind() const { return kind_; }
  // The report object the interpreter runs.
  virtual ledgers::LedgerReport& Report() = 0;
  // The limits record of the last preview or printout.
  const std::string& OptionsBuffer() const { return optionsBuffer_; }

  // Modifier: the limits form asked of the main window (the menu command's second run makes it).
  void CmModifier();
  // Visualiser and Imprimer, as the form (or the window itself) sends them.
  virtual void CmVisualiserEtat() = 0;
  virtual void CmImprimerEtat() = 0;

  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }

 protected:
  void SetupWindow() override;

  // The form's record copied from the window's registry key.
  void TakeOptions();
  // The choice dialog (print: with the printer choice) on `prefix`; on OK the chosen layout's
  // code and page range and its list type are the report's. The dialog's answer.
  int RunChoice(bool print, const std::string& prefix);
  // Visu (or VisuMode1 with "Liste suivante"), then the list begun and its first page rendered;
  // a list that cannot begin closes its empty preview. False then.
  bool ShowInPreview(bool severalLists, const std::string& title, bool printDisabled);
  void Print(gui::Printout& printout) { PrintReport(printout); }
  // The printout's choice dialog on `prefix`: the switch to the preview posted (true), or the chosen layout of
  // Report() printed through TImpression under `title` (false, also when the dialog was cancelled).
  bool ChooseAndPrint(const std::string& prefix, const std::string& title);
  // The limits form to the top (its handle in its registry slot).
  void RaiseForm();

  const LedgerWindowKind& kind_;
  std::string optionsBuffer_;

 private:
  void CeIdle(gui::CommandEnabler& ce) { ce.Enable(!Busy()); }
};

class TWEtaBroCompte : public TWEtaBroLedger {
 public:
  explicit TWEtaBroCompte(gui::MDIClient* parent);
  ledgers::LedgerReport& Report() override { return report_; }
  ledgers::AccountStatement& Statement() { return report_; }
  void DefaultAction() override;
  void CmVisualiserEtat() override;
  void CmImprimerEtat() override;

 private:
  WindowLedgerReport<ledgers::AccountStatement> report_;
};

class TWEtaBroGrandsLivres : public TWEtaBroLedger {
 public:
  explicit TWEtaBroGrandsLivres(gui::MDIClient* parent);
  ledgers::LedgerReport& Report() override { return report_; }
  ledgers::GeneralLedgers& Ledgers() { return report_; }
  void CmVisualiserEtat() override;
  void CmImprimerEtat() override;
  // ListeSuivante (the preview ended asking for the next ledger).
  void CmListeSuivante();
  void DefaultAction() override { RaisePartnerForm(*this); }

  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }

 private:
  void ShowLedger();
  WindowLedgerReport<ledgers::GeneralLedgers> report_;
};

class TWEtaBroJournaux : public TWEtaBroLedger {
 public:
  explicit TWEtaBroJournaux(gui::MDIClient* parent);
  ledgers::LedgerReport& Report() override { return report_; }
  ledgers::JournalListings& Listings() { return report_; }
  void CmVisualiserEtat() override;
  void CmImprimerEtat() override;
  void DefaultAction() override { RaisePartnerForm(*this); }

 private:
  bool Prepare(bool print);
  WindowLedgerReport<ledgers::JournalListings> report_;
};

class TWEtaBroRecapCentralisateur : public TWEtaBroLedger {
 public:
  explicit TWEtaBroRecapCentralisateur(gui::MDIClient* parent);
  ledgers::LedgerReport& Report() override { return report_; }
  ledgers::CentralisingSummary& Summary() { return report_; }
  void CmVisualiserEtat() override;
  void CmImprimerEtat() override;
  // The summary's preview ends: the window closes.
  void DefaultAction() override { PostClose(); }

 protected:
  void SetupWindow() override;

 private:
  WindowLedgerReport<ledgers::CentralisingSummary> report_;
};

// The printout of the general ledgers: every ledger of the selection in one job, each from a
// new page, each with the page range of the choice (as "Liste suivante" shows them one by one).
class GeneralLedgersPrintout : public ListSequencePrintout {
 public:
  GeneralLedgersPrintout(ledgers::GeneralLedgers& report, const std::string& title)
      : ListSequencePrintout(report, title, [&report] { return report.NextLedger(); }) {}

  // Ledgers printed so far.
  int Ledgers() const { return Lists(); }
};
