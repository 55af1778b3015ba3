// The report-window base TWEtats (a list window without columns whose rows are the report's
// lines) and the small services the report windows share: the empty-report notice, the
// document title of a run, and the message box of the report windows.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "framework/browse.h"
#include "platform/gui/printer.h"

class CMDIModif;
class PrinterChoice;
class TImpression;
namespace gui {
class CommandEnabler;
}  // namespace gui
namespace reports {
class ReportOwner;
}

class TWEtats : public CMDIBrowse {
 public:
  // `ownSlot` / `slotLength` / `partnerSlot`: the window's OpenWindowRegistry slot, the length
  // of its key there, and its limits form's slot.
  TWEtats(gui::MDIClient* parent, const std::string& title, int ownSlot, int slotLength, int partnerSlot);
  ~TWEtats() override;

  const std::string& Title() const { return title_; }
  // Scratch text of the report window's own computations (200 characters).
  std::string WorkText;

 protected:
  // The choice dialog (print: with the printer choice) on `prefix`; the dialog's answer. On OK
  // the window's ReportCode and ChosenLayoutText hold the choice (and a printout's printer
  // choice is kept until the report is printed).
  int RunChoiceDialog(bool print, const std::string& prefix);
  // Visu (or VisuMode1 with "Liste suivante") to the main window, then `report`'s list begun in
  // the new preview and its first page rendered; a list that cannot begin closes its empty
  // preview (false then).
  bool ShowReportInPreview(reports::ReportOwner& report, bool severalLists, const std::string& title,
                           bool printDisabled);
  // A printout on the program's printer (the printer the dialog chose put back after).
  void PrintReport(gui::Printout& printout);
  void PostToSelf(unsigned command);
  void PostClose();

  std::unique_ptr<PrinterChoice> printerChoice_;

 private:
  std::string title_;
};

// A beep, then a box owned by the window, captioned with its title, with the information icon:
// "Il n'y a rien dans cet Etat" framed by blank lines, then `text`. Answers false (the report
// does not run).
bool ShowEmptyEtat(gui::Window* window, const std::string& text = {});
// The warning of a report that counted lines as zero for an amount that does not read.
void ShowUnreadableAmountsEtat(gui::Window* window, const std::string& text);
// The document title of a run (printouts, the HTML export, the e-mail's subject): the open
// dossier's code, "-", the name; "/" and ":" turned into blanks and blanks into "-".
std::string MakeDocumentTitle(const std::string& name);
// A message box of the report windows (MB_ flags), owned by `owner`.
int ShowMessageBoxEx(gui::Window* owner, const std::string& text, const std::string& caption, unsigned flags);

// ---- what the report windows and their limits forms share (the trial balances, the ledgers)

// The DefaultAction of the report windows whose limits form comes back when a preview ends:
// the form of the window's partner slot brought to the top, whatever its flag.
void RaisePartnerForm(CMDIBrowse& window);
// "Quitter" of a report form: unless the program is busy (a print or preview run) or
// the form iconic, the form closes without a check.
void CmCloseIfIdle(CMDIModif& form);
// The enabler of "Visualiser" and "Imprimer" of a report form: not while the
// program is busy or the form iconic.
void CeEnableIfIdle(CMDIModif& form, gui::CommandEnabler& ce);

// A printout of several lists of one report in one job (the general ledgers, the trial
// balances of a sequence): each list from a new page, each with the page range of the choice.
// `nextList` prepares the next list of the report; false when none is left.
class ListSequencePrintout : public gui::Printout {
 public:
  ListSequencePrintout(reports::ReportOwner& report, const std::string& title, std::function<bool()> nextList);
  ~ListSequencePrintout() override;

  bool Landscape() const override;
  bool BeginPrinting(gui::PageDC& dc) override;
  void GetPageRange(int& from, int& to) override;
  bool HasPage(int page) override;
  void PrintPage(int page, gui::PageDC& dc) override;
  void EndPrinting() override;

  // Lists printed so far.
  int Lists() const { return lists_; }

 private:
  bool BeginList();
  reports::ReportOwner& report_;
  std::function<bool()> nextList_;
  gui::PageDC* dc_ = nullptr;
  std::unique_ptr<TImpression> current_;
  int offset_ = 0;       // job pages printed before the current list
  int localFirst_ = 1;   // its first page
  int localLast_ = 9999;
  int lists_ = 0;
};
