// The File-menu commands that choose which dossier is open: "Ouvrir
// dossier", the recent dossiers, "Changer de Dossier" and "Fermer dossier",
// with the common ending of an opening (both dossier lists, the menu, the
// caption, the message bar, the working date and the automatic start).
#pragma once

#include <string>

namespace gui {
class ListBox;
class Window;
}  // namespace gui

// Plugs the dossier commands into the command table and fills the shell
// services of the opening. Safe to repeat.
void InstallDossierCommands();

// The dossier a chosen file names: the C10 table itself, a symbolic link to
// it, or the marker file "C10" + code + ".ZEL" (or a link to that). The
// folder keeps its case and ends with "/"; the code is upper-cased. False
// when the file is no C10 table.
bool DossierFromChosenPath(const std::string& chosen, std::string& folder, std::string& code);

// Opens recent dossier n (1-9); false when it could not be opened (the
// previous dossier is then back).
bool OpenRecentDossier(int n);
// Opens the dossier of `folder` (ending with "/") and `code` as "Ouvrir
// dossier" does once the file is chosen; the dossier lists change only when
// it opened. False when refused (the previous dossier is then back).
bool OpenDossierAt(const std::string& folder, const std::string& code);
// Work of "Ouvrir dossier" (after the prologue).
void CmFichierOuvrirDossier();
// Work of "Fermer dossier" (after the prologue).
void CmFichierFermerDossier();
// Closes the open dossier; the previous dossier of the run, if any, comes back.
void CloseDossierAndReopenPrevious();
// Work of "Changer de Dossier": the window listing the dossiers of the run.
void CmFichierChangerDossier();
// The choice of slot k (1-5) in that window: slot k and slot 1 change
// places, the window closes and the main window opens the dossier.
void ChangeToSlot(int k);
// That window and its list while it is open (nullptr otherwise).
gui::Window* ChangeDossierWindow();
gui::ListBox* ChangeDossierList();

// The "Sections Analytiques" item of the Données menu follows the open
// dossier's analytic mode.
void UpdateAnalyticMenuItem();
// The message bar shows the working date as stored, after an opening (any dialog clears it).
void ShowWorkingDate();

// The frame caption for the open dossier, or for the program folder.
std::string DossierCaption();
