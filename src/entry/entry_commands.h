// The "Saisie" menu: the journal-month headers list and the journal-entry slots.
#pragma once

namespace entry_cmd {
constexpr unsigned SaisieEcritures = 20401;  // "&Saisie > &Saisie d'Ecritures [Ctrl+S]"
constexpr unsigned ActiverSaisie = 20402;    // the entry windows brought forward
constexpr unsigned ModDetJournaux = 20403;   // the line form of a slot
}  // namespace entry_cmd

// Installs the work of 20401, 20402, 20403 and 20406 in the shell's command table. Safe to repeat.
void InstallEntryCommands();
