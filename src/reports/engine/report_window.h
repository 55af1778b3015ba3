// The report-window base TWEtats (a list window without columns whose rows are the report's
// lines) and the small services the report windows share: the empty-report notice, the
// document title of a run, and the message box of the report windows.
#pragma once

#include <string>

#include "framework/browse.h"

class CMDIModif;
namespace gui {
class CommandEnabler;
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

 private:
  std::string title_;
};

// A beep, then a box owned by the window, captioned with its title, with the information icon:
// "Il n'y a rien dans cet Etat" framed by blank lines, then `text`. Answers false (the report
// does not run).
bool ShowEmptyEtat(gui::Window* window, const std::string& text = {});
// The document title of a run (printouts, the HTML export, the e-mail's subject): the open
// dossier's code, "-", the name; "/" and ":" turned into blanks and blanks into "-".
std::string MakeDocumentTitle(const std::string& name);
// A message box of the report windows (MB_ flags), owned by `owner`.
int ShowMessageBoxEx(gui::Window* owner, const std::string& text, const std::string& caption, unsigned flags);

// ---- what the report windows and their limits forms share (the trial balances, the ledgers)

// The DefaultAction of the report windows whose limits form comes back when a preview ends:
// the form of the window's partner slot brought to the top, whatever its flag.
void RaisePartnerForm(CMDIBrowse& window);
// "Quitter" (20023) of a report form: unless the program is busy (a print or preview run) or
// the form iconic, the form closes without a check.
void CmCloseIfIdle(CMDIModif& form);
// The enabler of "Visualiser" (20035) and "Imprimer" (20041) of a report form: not while the
// program is busy or the form iconic.
void CeEnableIfIdle(CMDIModif& form, gui::CommandEnabler& ce);
