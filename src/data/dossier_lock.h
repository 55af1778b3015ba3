// The dossier lock: the dossier's own lock table (DossierTablePath) is kept open shared by
// every station that has the dossier open; dossier-wide work opens it exclusively, which
// succeeds only while no other station has the dossier open.
#pragma once

// Reopens the lock table exclusively. On failure: with `reshare` the table is opened shared
// again; then a beep and string 2259 (caption 2271, hand icon), false. Without `reshare`
// the lock table stays closed and the caller calls ReleaseDossierExclusive.
bool OpenDossierExclusive(bool reshare);

// Reopens the lock table shared: true when it is open shared again.
bool ReleaseDossierExclusive();
