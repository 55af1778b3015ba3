// Main-menu command handlers: the prologue every handler runs first, and
// the subjects' work. A subject installs its work per command id with
// SetCommandWork (the command table's row runs it); until then the command
// says that the function is not available yet.
#pragma once

#include <functional>

// The handler prologue: help context 85; during a print or preview run a
// beep and false; when the dossier must be checked again (DossierState '2'
// with a dossier code) the check, false when it fails. True when the work
// may go on (DossierState ' ').
bool HandlerPrologue();

// The message of a function that is not available yet (string 19990).
void NotAvailableYet(unsigned id);

// The work of command `id`, run after the prologue agreed (or in place of
// it when `ownPrologue`: the work runs its own). An empty function removes it.
// Naming rule: `id` is a constant of command_ids.h, command_id::<Command>, and the
// work installed is the function Cm<Command> (CmSaisieEcritures for
// command_id::SaisieEcritures), or a lambda making one call with the command's own
// arguments when several commands share one function (OpenRawTable, OpenChart ...).
void SetCommandWork(unsigned id, std::function<void()> work, bool ownPrologue = false);
bool HasCommandWork(unsigned id);

// A subject command as the menu runs it: prologue, then the work, or the
// not-available message.
void RunSubjectCommand(unsigned id);
