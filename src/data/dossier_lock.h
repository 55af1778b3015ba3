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

#include <string>

#include "data/table.h"

// Another dossier (folder ending with "/", code) taken for a run that removes or replaces
// its files: its lock table held exclusively for the object's life, which no station that
// has the dossier open lets happen. A dossier without a lock table is open nowhere.
class DossierHold {
 public:
  DossierHold(const std::string& folder, const std::string& code);
  ~DossierHold() { table_.CloseTable(true); }
  DossierHold(const DossierHold&) = delete;
  DossierHold& operator=(const DossierHold&) = delete;
  // False when another station holds the dossier (or its lock table cannot be opened).
  bool held() const { return held_; }

 private:
  Table table_;
  bool held_ = false;
};
