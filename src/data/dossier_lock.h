// The dossier lock: the dossier's own lock table (DossierTablePath) is kept open shared by
// every station that has the dossier open; dossier-wide work opens it exclusively, which
// succeeds only while no other station has the dossier open.
#pragma once

// Turns the lock table exclusive. When it is open shared it changes mode in place and keeps
// its shared hold until the exclusive one is granted, so a station that loses the race keeps
// the dossier shared whatever `reshare` says; a closed lock table is opened exclusively, and
// on failure opened shared again with `reshare`. A refusal beeps and shows kMsgDossierInUse
// (caption kCaptionMultiUser, hand icon): false. A station whose hold could not be taken back
// closes the dossier's tables with a message: false.
bool OpenDossierExclusive(bool reshare);

// The refusal's message and caption, by their ids in the string table.
constexpr int kMsgDossierInUse = 2259;
constexpr int kCaptionMultiUser = 2271;

// Turns the lock table shared again (in place when open): true when it is held shared.
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
