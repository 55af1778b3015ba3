// The report-window base TWEtats (a list window without columns whose rows are the report's
// lines) and the small services the report windows share: the empty-report notice, the
// document title of a run, and the message box of the report windows.
#pragma once

#include <string>

#include "framework/browse.h"

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
