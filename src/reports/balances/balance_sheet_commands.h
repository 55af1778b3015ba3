// The balance sheet's commands: "Bilan Initialisation" (EtaBilanInitialisation), which copies the model that
// dossier constant 004 names into C70, and "Bilan Calcul" (EtaBilanCalcul) with its dialog
// TDEtaBilanCalcul (1322): the period asked and the computation run into C70 and the annex.
// Both hold the dossier alone while they work.
#pragma once

#include <string>

#include "framework/dialog_bases.h"
#include "reports/balances/core/balance_sheet_run.h"

class MEdit;
class MEStatic;
class MRStatic;
class MStatic;

class TDEtaBilanCalcul : public TDNuv {
 public:
  enum : int { kTitle = 1201, kStart = 1202, kEnd = 1203, kGeneral = 1204, kResult = 1205, kErrors = 1206,
               kStatus = 1207 };
  static constexpr int kResource = 1322;

  explicit TDEtaBilanCalcul(gui::Window* parent);

  // "/" + letter + "\" + account (8) for each live collective of C10 with an account.
  bool LoadCollectives();
  const std::string& Collectives() const { return collectives_; }
  // The period check; an accepted period is computed after the user's word (the dialog stays
  // open to show the run's figures).
  bool CanClose() override;

  bool Refused() const { return refused_; }
  MEdit* StartEdit() const { return start_; }
  MEdit* EndEdit() const { return end_; }
  const std::string& PeriodStart() const { return periodStart_; }
  const std::string& PeriodEnd() const { return periodEnd_; }
  bool HasRun() const { return hasRun_; }
  const balances::SheetRun& LastRun() const { return run_; }

 protected:
  void SetupWindow() override;
  // OK checks the period through CanClose; closing the dialog otherwise (its refusal, the
  // window's close box) only closes it.
  void CmOk() override;

 private:
  bool CheckModel(std::string& label);
  void Fail(const std::string& message, MEdit* focus);
  void RunComputation();

  std::string collectives_;
  std::string yearStart_, yearEnd_, periodStart_, periodEnd_;
  MRStatic* title_ = nullptr;
  MEdit* start_ = nullptr;
  MEdit* end_ = nullptr;
  MStatic* general_ = nullptr;
  MStatic* result_ = nullptr;
  MStatic* errors_ = nullptr;
  MEStatic* status_ = nullptr;
  bool refused_ = false;
  bool okPressed_ = false;
  bool hasRun_ = false;
  balances::SheetRun run_;
};

// The commands' works, also called by the tests.
void CmEtaBilanInitialisation();
void CmEtaBilanCalcul();

// Installs the works of EtaBilanInitialisation, EtaBilanCalcul, EtaBilanEdition and of the tool bar's
// EtaBilanReelNormal, EtaBilanReelSimplifie and EtaBilanAutre.
void InstallBalanceSheetCommands();
