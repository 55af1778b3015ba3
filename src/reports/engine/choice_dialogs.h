// The report-choice dialogs that a window runs before its preview (TDVisuChoixEtat, dialog
// 1302) or its printout (TDImprChoixEtat, dialog 1303): the layouts of the window's reports
// (every report of the set whose code begins with the window's prefix: code, name and the list
// type of its [TypeListe=] directive), the page range, the code limits (TDDefinirLimites) and,
// for a printout, the printer. OK writes the choice into the window's report fields; the
// switch button ends the dialog with 1205 (to the printout) or 1206 (to the preview).
//
// Under the automatic choice (program option 12 "N") the dialog is not shown: the first layout
// is taken with all pages, unless the window asks for the user's choice (ForceChoice).
//
// A printout's dialog installs the printer chosen (its name from the program INI, its report
// set and fonts by program option 8) for the whole program, and puts the previous printer and
// option back when it ends, or when the printout it was handed to has printed.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "framework/dialog_bases.h"
#include "platform/gui/printer.h"

class CMDIBrowse;

namespace choice_ids {
constexpr int kPreviewDialog = 1302;
constexpr int kPrintDialog = 1303;
constexpr int kLayouts = 1201;
constexpr int kFirstPage = 1202;
constexpr int kLastPage = 1203;
constexpr int kLimit = 1204;
constexpr int kToPrint = 1205;
constexpr int kToPreview = 1206;
constexpr int kPrinters = 1207;
constexpr int kPrinterSetup = 1208;
constexpr int kLimitsText = 1209;
}  // namespace choice_ids

// Width of the list type at the end of a layout line.
constexpr std::size_t kLayoutTypeWidth = 20;

// The layout lines of the reports of set `setLetter` whose code begins with `prefix`, in code
// order: the code, a tab, the name, and the [TypeListe=] value ("0" when none) in the last 20
// characters.
std::vector<std::string> ReportLayoutLines(char setLetter, const std::string& prefix);
// The code of a layout line (up to its tab) and its list type (the last 20 characters,
// upper-cased, right-trimmed; "" when it begins with "0").
std::string LayoutCode(const std::string& line);
std::string LayoutListType(const std::string& line);

// What a printout's dialog changed of the program's printer (printer, option 8, print set);
// put back when destroyed.
class PrinterChoice {
 public:
  PrinterChoice();
  ~PrinterChoice();
  PrinterChoice(const PrinterChoice&) = delete;
  PrinterChoice& operator=(const PrinterChoice&) = delete;
  // Installs printer A (false) or B (true): option 8, the print set, the printer named by the
  // program INI ("1ere-Imprim-A" / "2eme-Imprim-B"; a blank name keeps the printer in service).
  // False (the printer kept) when no printer has that name.
  bool Install(bool second);

 private:
  gui::MPrinter::Settings printer_;
  char option8_;
  char setLetter_;
};

class TDVisuChoixEtat : public TDNuv {
 public:
  // `print`: the printout's dialog (1303) with the printer choice.
  TDVisuChoixEtat(CMDIBrowse* owner, const std::string& prefix, bool print = false);
  ~TDVisuChoixEtat() override;

  int Execute(unsigned flags) override;
  int Execute() override { return Execute(0u); }
  bool CanClose() override;

  // Wait for the user's choice even under the automatic choice.
  bool ForceChoice = false;

  bool ForPrinting() const { return print_; }
  const std::vector<std::string>& Layouts() const { return layouts_; }
  // The printer chosen stays installed after the dialog: the caller puts it back (by destroying
  // the result) once its printout has printed. Null when the dialog installed none.
  std::unique_ptr<PrinterChoice> TakePrinterChoice() { return std::move(printerChoice_); }

  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }

 protected:
  void SetupWindow() override;
  void EvChildNotify(int id, unsigned code, gui::Handle control) override;

 private:
  void CmLimiter();
  void CmSwitch();
  void CmPrinterSetup();
  // The set the layouts come from: the preview's, or the print set of the printer chosen.
  char SetLetter() const;
  bool SecondPrinterChosen() const;
  void FillLayouts();
  void ShowLimits();
  bool InstallPrinter();
  // Writes the layout `line` and the page range into the owner.
  void WriteChoice(const std::string& line, int firstPage, int lastPage);

  CMDIBrowse* owner_;
  std::string prefix_;
  bool print_;
  std::vector<std::string> layouts_;
  std::unique_ptr<PrinterChoice> printerChoice_;
};

class TDImprChoixEtat : public TDVisuChoixEtat {
 public:
  TDImprChoixEtat(CMDIBrowse* owner, const std::string& prefix) : TDVisuChoixEtat(owner, prefix, true) {}
};

// "Définir les limites de la liste": the first and the last code of the window's report, each
// of the window's key width, with their lookups; into LimitFrom / LimitTo.
class TDDefinirLimites : public TDNuv {
 public:
  explicit TDDefinirLimites(CMDIBrowse* owner);
  bool CanClose() override;

 protected:
  void SetupWindow() override;

 private:
  void Lookup(int editId);
  void CmLookupFrom() { Lookup(1201); }
  void CmLookupTo() { Lookup(1202); }
  int Width() const;

  CMDIBrowse* owner_;

 public:
  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }
};
