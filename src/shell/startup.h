// The start-up steps of the MDI client that work on the program INI and the
// program folder, one function each so that they run (and are tested)
// without windows; and the frame placement written back at the end.
#pragma once

#include <string>

#include "platform/gui/mdi.h"

// Moves the values of the old program-INI keys (string ids 9601 upward,
// characters 1-13 the old key, 14-26 the new one) to their new keys; the
// animated cursor advances once per pair. Returns the number of values moved.
int RenameOldIniKeys();

// ProgramOptions positions 3 to 15 from the program INI (12 from the
// frame's report-choice flag, 13 'R').
void FillProgramOptions(bool reportChoiceFlag);

// One-time settings of "Lancement-540" and position 16.
void ApplyFirstRunSettings();

// Positions 17 to 22. True when "Debug_Etats" asks for ChoixEtat.
bool FillReportOptions();

// The sample dossier written to "DossiersAuto1" when it is blank: code
// "DEMO" blank-padded to 5, then the folder "demo/" of the program folder.
std::string SampleDossierEntry();
// "DossiersAuto1" .. 9 into RecentDossiers (the first written with the
// sample dossier when blank and the sample dossier is there); the first
// dossier slot is emptied.
void LoadRecentDossiers();
// RecentDossiers back into "DossiersAuto1" .. 9.
void SaveRecentDossiers();

// The report-definition sets: the reference set, the display set and both
// printers' sets, through the table layer's services (ProgramOptions kept).
// False when one of them could not be made.
bool EnsureReportSets();

// Command to post once start-up is over: EtatsParametrablesImpression when "CESETATS.LST" is in
// the program folder, else FichierOuvrirDossier when the program has an argument, else 0.
unsigned FirstStartupCommand(int argc);

// At least `wanted` file handles for the process (raises the soft limit);
// false when the system grants fewer.
bool EnsureFileHandles(int wanted);

// The frame's placement and state into the program INI ("FenetreMain-X"
// ... "FenetreMain-I").
void WriteFramePlacement(const gui::FramePlacement& restored, bool maximized, char reportChoiceOption,
                         int bitmapSizeOffset);
