// Command enablers of the main menu: each greys its commands by the
// program's state (a dossier-wide process, a print or preview run, the
// client minimised, no dossier open, access rights, dossier constant 056 and
// a few particular conditions). They report nothing.
#pragma once

#include "platform/gui/command.h"

// Idle: no dossier-wide process (DossierState '1'), no print or preview run
// and the client window not minimised.
bool ShellIdle();

void CeSansDossier(gui::CommandEnabler& ce);
// Empties the window part of the toolbar when no child is active, then idle
// and a dossier open.
void EnableIfDossierOpen(gui::CommandEnabler& ce);
void EnableIfTwoDossiers(gui::CommandEnabler& ce);
void EnableIfDossierSlotFree(gui::CommandEnabler& ce);
void EnableIfChildActive(gui::CommandEnabler& ce);
void EnableIfPreviewReportsDiffer(gui::CommandEnabler& ce);
void CeBilan(gui::CommandEnabler& ce);
void CeDroitsAcces(gui::CommandEnabler& ce);
void CeDossierRecent1(gui::CommandEnabler& ce);
void CeSupprimerChoix(gui::CommandEnabler& ce);
void CeGestionDossiers(gui::CommandEnabler& ce);
// Rights enabler of `function` (right 1, menu access), then as
// EnableIfDossierOpen, or as CeBilan for the balance-sheet functions. With
// `constant056` the command is grey while dossier constant 056 begins with 'O'.
void CeRights(gui::CommandEnabler& ce, int function, bool constant056, bool balanceSheet);

// Runs the enabler of the command table for `id` (tests, menu refresh).
// False when the table gives the command no enabler.
bool RunTableEnabler(gui::CommandEnabler& ce);
