// The renumbering of every piece as the user runs it (RenumeroterPieces): the prologue, the exclusive hold, the
// support password and the warning, then the run (dossier/core/renumber_pieces.h) with its progress window and
// its closing message.
#pragma once

#include <functional>

#include "platform/gui/window.h"

// The command RenumeroterPieces: prologue, exclusive hold, support password, warning,
// run with its progress window, closing message.
void CmRenumeroterPieces();

// The run with its progress window, then `afterRun` (the command gives the
// dossier back there), then its closing message; the command runs it after
// its warning, the opening to run an interrupted renumbering again. The
// dossier is held exclusively. True when every piece got its number.
bool RunRenumberingWindow(gui::Window* owner, const std::function<void()>& afterRun = {});

// Plugs the work of RenumeroterPieces and GestionDossiers into the shell.
void InstallMaintenance2Commands();
