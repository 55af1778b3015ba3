// The "Saisie" menu: the journal-month headers list and the journal-entry slots.
#pragma once

#include "resources/command_ids.h"

// Installs the work of SaisieEcritures to ValidationJournaux in the shell's command table. Safe to repeat.
void InstallEntryCommands();
