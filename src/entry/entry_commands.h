// The "Saisie" menu: the journal-month headers list and the journal-entry slots.
#pragma once

namespace entry_cmd {
constexpr unsigned SaisieEcritures = 20401;  // "&Saisie > &Saisie d'Ecritures [Ctrl+S]"
constexpr unsigned ActiverSaisie = 20402;    // the entry windows brought forward
constexpr unsigned ModDetJournaux = 20403;   // the line form of a slot
constexpr unsigned BroDetJournauxAnal = 20404;  // the analytic lines of a general line
constexpr unsigned ModDetJournauxAnal = 20405;  // the analytic line form
}  // namespace entry_cmd

// Installs the work of 20401 to 20406 in the shell's command table. Safe to repeat.
void InstallEntryCommands();
