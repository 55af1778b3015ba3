// A run holding the dossier alone that changes a few of its tables in place (the automatic
// matching, the balance-sheet computation): those tables are copied aside into a sub-folder of
// the dossier, then the run marker names the copies, before the run's first change. A run that
// ends removes the marker, then the copies (Finish); a run that fails puts the copies back
// (PutBack, its tables closed); a run a crash stops leaves both, and the next opening puts the
// copies back through PutBackDossierRunCopies, registered for the run's name.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "data/aside_copies.h"
#include "data/table_structures.h"
#include "dossier/core/dossier_run_marker.h"

class DossierRunCopies {
 public:
  // Copies the current dossier's tables of `kinds` into "<prefix><code>-<date and time>/", then
  // writes the marker of `run`. Nothing is changed when either fails: ok() is false.
  // `partner` is added to the marker's detail after the copies' (a run over two dossiers names
  // the other one there).
  // Made from the run's reading, as its marker is (DossierRunMarker).
  DossierRunCopies(BooksReading&& reading, const std::string& run, const std::string& title, const std::string& prefix,
                   const std::vector<TableKind>& kinds, const std::string& partner = "");
  ~DossierRunCopies();  // a run left unsettled is put back
  DossierRunCopies(const DossierRunCopies&) = delete;
  DossierRunCopies& operator=(const DossierRunCopies&) = delete;

  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }  // French
  // The copies put back and the marker removed; false (the marker kept for the next opening)
  // when a file could not be put back.
  bool PutBack();
  // The marker removed, then the copies: true. False when the marker could not be removed:
  // nothing is settled, the run may still be put back (PutBack).
  bool Finish();
  // Leaves the copies and the marker for the next opening, which puts the tables back.
  void Keep();

 private:
  std::string folder_;
  AsideCopies copies_;
  std::unique_ptr<DossierRunMarker> marker_;
  std::string error_;
  bool settled_ = false;
};

// The redo of such a run at the opening: the copies its marker names put back.
bool PutBackDossierRunCopies(const DossierRunInfo& run);

// The copies a marker's detail names (its part before a tab: a run over two dossiers names the
// other one after it) put back, as the opening does for each run put back from its copies. When
// they are missing or not whole nothing is changed and the opening is told why
// (NoteDossierRunRedoRefusal); when a change is refused part-way it is told that too
// (NoteDossierRunPutBackStopped), the put-back left for the next opening to finish.
bool PutBackRunCopies(const std::string& detail);

// The current dossier's marker removed once its tables are back (a run over two dossiers removes
// the other one's before putting its own back). When the disk refuses, the put-back is noted as
// stopped there (NoteDossierRunPutBackStopped: the marker and what the disk said), so that the
// opening names the cause rather than advising a restore; the next opening finishes it.
bool RemovePutBackRunMarker();

// True when the marker names copies aside that a put-back already put in place, its tables whole,
// the marker alone left (the put-back stopped before removing it): the opening then says so,
// removes the marker and opens. Only the runs put back from such copies are asked about.
bool DossierRunCopiesPutBack(const DossierRunInfo& run);
