// "Bilan Edition" (EtaBilanEdition, and the tool bar's EtaBilanReelNormal, EtaBilanReelSimplifie, EtaBilanAutre): the
// report window TWEtaBroBilanEdition, which holds the dossier alone while it is open, asks what to produce with the
// choice dialog TDEtaBilanEdition (1323), asks for the currency, runs the layout choice and shows the balance sheet
// (then its annex through "Liste suivante") in the preview, or prints both in one job. The choice dialog comes back
// after each run; abandoning it closes the window.
#pragma once

#include <memory>
#include <string>

#include "framework/dialog_bases.h"
#include "platform/gui/printer.h"
#include "reports/balances/core/balance_sheet_report.h"
#include "reports/engine/report_window.h"
#include "resources/command_ids.h"

class MCheckBox;
class MRStatic;
class MRadioButton;
class PrinterChoice;
class TImpression;

namespace sheet_cmd {
using child_command::ListeSuivante;
}  // namespace sheet_cmd

// The choice of an edition: what to produce, where, with or without the lines without amounts.
// It works on the caller's EditionChoice: output "V" preview / "I" printer, part "T" all / "B"
// the balance sheet and result / "A" the annex, lines without amounts "A" printed / "S" left out.
class TDEtaBilanEdition : public TDNuv {
 public:
  enum : int { kTitle = 1201, kPreview = 1202, kPrinter = 1203, kAll = 1204, kSheetOnly = 1205, kAnnexOnly = 1206,
               kEmptyLines = 1207, kStatus = 1208 };
  static constexpr int kResource = 1323;

  TDEtaBilanEdition(gui::Window* parent, std::string& choice);

  // OK: the controls written into the choice.
  bool CanClose() override;
  // C70 is empty, unreadable or of another model than constant 004: the dialog said so and closes.
  bool Refused() const { return refused_; }
  const std::string& TitleText() const { return titleText_; }

 protected:
  void SetupWindow() override;
  void CmOk() override;

 private:
  std::string& choice_;
  std::string titleText_;
  MRStatic* title_ = nullptr;
  MRadioButton* radios_[5] = {};
  MCheckBox* emptyLines_ = nullptr;
  bool refused_ = false;
  bool okPressed_ = false;
};

// The report shows its empty notice over the window.
class SheetWindowReport : public balances::SheetEditionReport {
 public:
  SheetWindowReport(gui::Window* window, Table& c70, Table& c10)
      : balances::SheetEditionReport(c70, c10), window_(window) {}
  void ShowEmpty(const std::string& text) override;

 private:
  gui::Window* window_;
};

class TWEtaBroBilanEdition : public TWEtats {
 public:
  static constexpr int kFieldCount = 39;
  static constexpr int kIcon = 1006;

  explicit TWEtaBroBilanEdition(gui::MDIClient* parent);
  ~TWEtaBroBilanEdition() override;

  // Visualiser, ListeSuivante, Imprimer.
  void CmVisualiser();
  void CmListeSuivante();
  void CmImprimer();
  // The preview ended (FinVisualisation): the choice dialog again.
  void DefaultAction() override;

  balances::SheetEditionReport& Report() { return *report_; }
  std::string EditionChoice = "VTA";
  bool AskChoice = true;
  int CurrencyIndex = 0;
  bool AnnexFlag = false;
  std::string AnnexReportCode;

  // "EEA-" for the annex only, else "EE-".
  std::string ReportPrefix() const;
  // The balance sheet's layout code made the annex's: its 10th character dropped, "A" inserted
  // before its 3rd ("EE-NAME" -> "EEA-NAME"), the pages kept.
  static std::string AnnexCodeOf(const std::string& reportCode);

  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }

 protected:
  void SetupWindow() override;

 private:
  // The choice dialog; false when it was abandoned or refused C70 (the window then closes).
  bool AskEditionChoice();
  void AskCurrency();
  bool Prepare(bool annex, const std::string& reportCode);
  void Preview(unsigned previewCommand, const std::string& title, int format, bool show);
  void PostToSelf(unsigned command);
  void PostClose();

  std::unique_ptr<SheetWindowReport> report_;
  std::unique_ptr<PrinterChoice> printerChoice_;
  // The balance sheet's older initialisation was said (once a window).
  bool olderModelSaid_ = false;
};

// The printout of "Tout": the balance sheet, then the annex from a new page, in one job, each
// with the page range of the choice.
class SheetAndAnnexPrintout : public gui::Printout {
 public:
  SheetAndAnnexPrintout(balances::SheetEditionReport& report, const std::string& annexCode, const std::string& title);
  ~SheetAndAnnexPrintout() override;

  bool Landscape() const override;
  bool BeginPrinting(gui::PageDC& dc) override;
  void GetPageRange(int& from, int& to) override;
  bool HasPage(int page) override;
  void PrintPage(int page, gui::PageDC& dc) override;
  void EndPrinting() override;

 private:
  bool BeginPart();
  balances::SheetEditionReport& report_;
  std::string annexCode_;
  gui::PageDC* dc_ = nullptr;
  std::unique_ptr<TImpression> current_;
  int offset_ = 0;
  int localFirst_ = 1;
  int localLast_ = 9999;
  bool onAnnex_ = false;
};

// The command's work: the window brought to the top when open; else the other child windows
// closed, the dossier taken alone and the window made.
void CmEtaBilanEdition();
