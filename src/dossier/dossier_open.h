// The opening of the dossier named by DossierCode and DossierFolder: the
// reachability tests, the lock table, the repairs (missing lock table,
// missing or foreign index file of C10, missing draft file), the offer to
// convert a dossier of another format, the loading of the dossier record
// and the test of its constants.
#pragma once

#include <string>

namespace gui {
class Window;
}

// True when the dossier is open and ready, or when no dossier is named;
// false when the caller must stop. Shows its own messages, owned by the
// client window. DossierState becomes blank on success.
bool EnsureDossierOpen();

// The format stamp of an open C10 (name of its last field, blank-padded to 10).
std::string C10FormatStamp();

// The euro rate typed in the rate dialog: false when cancelled or outside
// 1.0 <= rate < 10.0 (nothing is shown then).
bool AskEuroRate(gui::Window* owner, double& rate);

// The window that owns the dossier messages (the client), nullptr when none.
gui::Window* DossierMessageOwner();
