// TWEtaBroRelances: the report window of the dunning letters, account statements, schedules of
// due dates and supplier payments (menu EtatsRelances), titled "Lettres de Relances et
// Relevés". It works as a pair with its options form TWEtaModRelances, which writes the run's
// 53-character options text at the window's registry slot + 11 and sends it "Visualiser" or
// "Imprimer". The window chooses a layout of the family "EL-" (kind "1": one list for the whole
// range; kind "2": one list per account, walked with "Liste suivante"), and hands the hooks of
// the template interpreter to the run (dunning::DunningRun), which computes everything.
#pragma once

#include <memory>
#include <string>

#include "reports/engine/browse_report_owner.h"
#include "reports/engine/report_window.h"
#include "reports/vat_dunning/core/dunning_run.h"
#include "resources/command_ids.h"

namespace dunning_cmd {
using child_command::Modifier;
using child_command::Visualiser;
using child_command::FinVisualisation;
using child_command::ListeSuivante;
using child_command::Imprimer;
constexpr unsigned Clients = child_command::ComptesClients;
constexpr unsigned Fournisseurs = child_command::ComptesFournisseurs;
}  // namespace dunning_cmd

// The registry slots of the pair: the window's (its options text at + 11) and the form's.
constexpr int kDunningWindowSlot = 3430;
constexpr int kDunningFormSlot = 3512;
constexpr int kDunningIcon = 1006;

class TWEtaBroRelances;
class TImpression;

// The window as the owner of a report run: the list mode that the layout's [ModeListe=]
// directive sets goes to the run.
class DunningReportOwner : public BrowseReportOwner {
 public:
  explicit DunningReportOwner(TWEtaBroRelances& window);
  void SetListMode(char letter) override;

 private:
  TWEtaBroRelances& window_;
};

class TWEtaBroRelances : public TWEtats {
 public:
  TWEtaBroRelances(gui::MDIClient* parent, const std::string& title);
  ~TWEtaBroRelances() override;

  // ---- commands
  void CmModifier();
  void CmVisualiser();
  void CmImprimer();
  void CmListeSuivante();
  void CmRaisePartner();

  // ---- report hooks
  bool PrepareReport() override;
  void ComputeLine() override { run_.ComputeLine(); }
  bool NextRecord() override;
  void DefaultAction() override;

  dunning::DunningRun& Run() { return run_; }
  char LayoutKind() const { return layoutKind_; }
  const std::string& SavedReportCode() const { return savedReportCode_; }
  DunningReportOwner& Owner() { return *owner_; }
  // The printout running (its end of data is the one the run clears), null when none.
  void SetPrintout(TImpression* printout) { printout_ = printout; }

  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }

 protected:
  void SetupWindow() override;

 private:
  // The options of the run, copied from the registry (the form wrote them there).
  void TakeOptions();
  void RaiseForm();
  void ShowIncompleteDetails();
  void RemoveIncompleteExport();
  void PrintRun();

  dunning::DunningRun run_;
  std::unique_ptr<DunningReportOwner> owner_;
  char layoutKind_ = ' ';
  TImpression* printout_ = nullptr;  // the printout running, whose end-of-data flag the run clears
  std::string savedReportCode_;
};

// The work of EtatsRelances: the open options form comes forward; a window that asked for its form gets
// it; an open window comes forward; otherwise the window opens (then its form).
void CmEtatsRelances();
