// The VAT returns of menu EtatsDeclarationTva "Etats > Déclaration de Tva": by dossier constant 021 the
// return on debits (TWEtaBroTvaSurLesDebits, period dialog TDTvaSurLesDebits 1324, layouts "EDD-")
// or on receipts (TWEtaBroTvaSurLesEncaissements, period dialog TDTvaSurLesEncaissements 1325,
// layouts "EDE-"). Each window opens the tables the return reads, asks the period, then the
// preview or the print choice (the user's choice always asked), and holds the dossier
// (DossierState "1") while it lives, "2" after. The dialogs compute through vat::DebitsComputation
// and vat::ReceiptsComputation and hand the return to the window as numbers.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "data/table.h"
#include "framework/dialog_bases.h"
#include "reports/engine/report_window.h"
#include "reports/vat_dunning/core/vat_reports.h"
#include "reports/vat_dunning/core/vat_return.h"
#include "resources/command_ids.h"

namespace vat_cmd {
using child_command::Visualiser;
using child_command::FinVisualisation;
using child_command::Imprimer;
}  // namespace vat_cmd

namespace vat_ids {
constexpr int kDebitsDialog = 1324;
constexpr int kReceiptsDialog = 1325;
constexpr int kCalculer = 1201;
constexpr int kStartMonth = 1202;
constexpr int kEndMonth = 1203;
constexpr int kPeriod = 1204;
constexpr int kEuros = 1205;
}  // namespace vat_ids

// The registry slot the two VAT windows share (session_registry.h).
constexpr int kVatWindowSlot = 3494;
constexpr int kVatWindowSlotLength = 11;
constexpr int kVatIcon = 1006;

// What the two period dialogs share: the months of the year in both boxes, their coupling, the
// currency box, "&Calculer", and "&Ok" closing only on a computed return.
class VatPeriodDialog : public TDNuv {
 public:
  VatPeriodDialog(gui::Window* parent, int resourceId, const std::string& previousStart,
                  const std::string& previousEnd);

  bool CanClose() override;
  // Runs the computation (as "&Calculer" does); true when it closes the dialog.
  bool Compute();
  bool Succeeded() const { return succeeded_; }
  std::string StartMonth() const;
  std::string EndMonth() const;
  bool Euros() const;

  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }

 protected:
  void SetupWindow() override;
  void EvChildNotify(int id, unsigned code, gui::Handle control) override;
  // The computation of the regime: writes the displays; true when the dialog may close.
  virtual bool ComputeReturn() = 0;
  // A period refused: "???" in the period text, the end month focused.
  bool RefusePeriod();
  // A computation a refused read left unknown: "???" in the period text, and the file said in a box.
  bool RefuseUnread(const std::string& text);
  // An amount display: the value to the cent, grouped by thousands, and a blank.
  void ShowAmount(int id, long long cents);
  void ShowResult(int labelId, int valueId, long long cents);
  // The lines the computation counted as zero for an amount that does not read, named in one box
  // (once for the same lines, however often the return is computed again).
  void ShowUnreadable(const std::vector<UnreadableAmountLine>& lines);

  // The labels and values of the amount to pay and of the credit, hidden until a computation.
  int resultIds_[4] = {0, 0, 0, 0};

 private:
  void CmCalculer();
  void Couple(bool startChanged);

  std::string previousStart_, previousEnd_;
  bool succeeded_ = false;
  std::string unreadableShown_;
};

class TDTvaSurLesDebits : public VatPeriodDialog {
 public:
  TDTvaSurLesDebits(gui::Window* parent, vat::DebitsComputation& computation, vat::DebitsReturn& result);

 protected:
  bool ComputeReturn() override;

 private:
  vat::DebitsComputation& computation_;
  vat::DebitsReturn& result_;
};

class TDTvaSurLesEncaissements : public VatPeriodDialog {
 public:
  TDTvaSurLesEncaissements(gui::Window* parent, vat::ReceiptsComputation& computation, vat::ReceiptsReturn& result);

 protected:
  bool ComputeReturn() override;

 private:
  vat::ReceiptsComputation& computation_;
  vat::ReceiptsReturn& result_;
};

// What the two windows share: the tables, the period asked once for a preview and a printout,
// the choice dialogs with the user's choice, the preview and the print run.
class VatReturnWindow : public TWEtats {
 public:
  VatReturnWindow(gui::MDIClient* parent, const char* prefix, const char* c60Tag);
  ~VatReturnWindow() override;

  void CmVisualiser();
  void CmImprimer();
  void CmRaisePartner() { DefaultAction(); }
  void DefaultAction() override;
  bool PeriodAsked() const { return periodAsked_; }

  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }

 protected:
  void SetupWindow() override;
  // Runs the regime's period dialog with the caption's end ("Visualisation" or "Impression");
  // true when a return was computed.
  virtual bool AskPeriod(const std::string& captionEnd) = 0;
  // True (asked or already asked) when the window may go on; false closes it.
  bool EnsurePeriod(bool preview);

  ::Table c10_, c20_, c40_, c50_, c60_;

 private:
  std::string c60Tag_;
  bool periodAsked_ = false;
};

class TWEtaBroTvaSurLesDebits : public VatReturnWindow {
 public:
  explicit TWEtaBroTvaSurLesDebits(gui::MDIClient* parent);

  bool PrepareReport() override { return report_.PrepareReport(); }
  void ComputeLine() override { report_.ComputeLine(); }
  bool NextRecord() override { return report_.NextRecord(); }
  void ClassifyLine() override { report_.ClassifyLine(); }
  vat::DebitsReport& Report() { return report_; }

 protected:
  bool AskPeriod(const std::string& captionEnd) override;

 private:
  vat::DebitsComputation computation_;
  vat::DebitsReport report_;
};

class TWEtaBroTvaSurLesEncaissements : public VatReturnWindow {
 public:
  explicit TWEtaBroTvaSurLesEncaissements(gui::MDIClient* parent);

  bool PrepareReport() override;
  void ComputeLine() override { report_.ComputeLine(); }
  bool NextRecord() override { return report_.NextRecord(); }
  void ClassifyLine() override { report_.ClassifyLine(); }
  vat::ReceiptsReport& Report() { return report_; }

 protected:
  bool AskPeriod(const std::string& captionEnd) override;

 private:
  vat::ReceiptsComputation computation_;
  vat::ReceiptsReport report_;
};

// The work of EtatsDeclarationTva.
void CmEtatsDeclarationTva();
// Creates the receipts window (icon, placement); deleted when it cannot be created.
void CreateVatReceiptsWindow();
