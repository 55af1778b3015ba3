// The dossier's run marker: a small text file in the dossier folder that names a run writing
// several tables in one go (the rebuild, the pack and reindex, the conversion, the restore, the
// piece renumbering, the validation, merges, opening balances and imports), the
// station that runs it and its start. It is written and flushed to disk before the run's first
// change and removed after its last, so a run killed half-way leaves it behind; the next
// opening names the run and offers to run it again before anything reads the half-done tables.
//
// A run sets it with the guard, made only from the run's reading (what it read before, watched),
// and refuses to start when the guard could not write it:
//
//   BooksReading reading;                          // before the run's first read
//   ... what the run reads before it writes ...
//   DossierRunMarker marker(std::move(reading), kMyRun, LoadStr(title), "what a second run needs");
//   if (!marker.written()) return <refused: DossierRunMarkerRefusal(marker.path())>;
//   ... the run's changes ...
//   // the destructor removes the marker, whatever way the run ends
//
// A run called inside another (the rebuild at the end of a merge) leaves the outer run's
// marker as it is. The opening runs an interrupted run again through the function its
// subject registered for the run's name (SetDossierRunRedo).
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "data/books_write_permit.h"
#include "data/unread_amounts.h"
#include "resources/string_table.h"

namespace platform {
class HeldFile;
}

// Names of the dossier subject's runs, as their markers record them.
inline constexpr const char* kRebuildRun = "reconstruction";
inline constexpr const char* kReindexRun = "reindex";
inline constexpr const char* kConversionRun = "conversion";
inline constexpr const char* kRestoreRun = "restauration";
// The restore through the user's own procedure, which writes into the dossier folder itself.
inline constexpr const char* kRestoreProcedureRun = "restauration-procedure";
inline constexpr const char* kRenumberRun = "renumerotation";
// The validation of journals (journal entry): an interrupted one is put back from the copies its
// marker names, without a question.
inline constexpr const char* kValidationRun = "validation";

// What a marker says.
struct DossierRunInfo {
  std::string run;      // the run's name (one of the names above, or another subject's)
  std::string title;    // the run as the user knows it ("ReConstruction du dossier")
  std::string station;  // the workstation number ("NumeroPoste")
  std::string started;  // "JJ/MM/AAAA à HHhMM"
  std::string detail;   // what the run needs to run again (its own text, one line)
};

// The marker file of the current dossier (DossierFolder, DossierCode): "c" + code + ".run".
std::string DossierRunMarkerPath();
bool DossierRunMarkerExists();
// Reads the current dossier's marker; false when there is none. A marker that cannot be
// read whole still counts: its unknown parts are "?".
bool ReadDossierRunMarker(DossierRunInfo* info);
// Writes a marker as given (whole, flushed, its folder entry too); the opening puts back the
// marker of a run it could not finish. False when it cannot be written.
bool WriteDossierRunMarker(const DossierRunInfo& info);
// Removes the current dossier's marker (true when there is none afterwards).
bool RemoveDossierRunMarker();
// True when the current dossier's marker names a run still at work: the guard that wrote it
// holds it locked for the run's life (on this station or another), and the lock goes with the
// run, however it ends. A marker left unlocked is a run that stopped.
bool DossierRunMarkerLive();

// The guard of a run: writes the marker for `run` (station and start taken now) unless an
// outer run of this program holds one already, and removes the marker it wrote when it ends.
// While it holds the dossier marked it holds the permit to write that dossier's books
// (BooksWritePermit, named after the run, covering the dossier of its marker), without which the
// table layer refuses a write of the lines, the sort file or the totals.
// Another run's marker found on the disk is never written over: a run at work (its marker
// locked) or one that stopped half-way, whose books only the opening (or, for an import, the
// next import) puts in order, refuses the run; DossierRunMarkerRefusal then names that run.
// A run reads first, under its BooksReading (unread_amounts.h), which the guard is made from and
// only from: a run written without its reading does not compile. When an amount it read did not
// read as one, the marker is not written and the run is refused before its first write,
// DossierRunMarkerRefusal naming the lines. Only a run made to work over such amounts says so
// (`met`: the ReConstruction, the restore). A run inside another leaves the decision to the outer
// one, made when its marker was written.
// From its marker on the run is watched for its whole life (RunUnreadAmountWatch): a run that met
// such an amount after its marker was written is refused at its end, whichever end it has: when it
// settles by removing its marker (Remove answers false, DossierRunMarkerRemovalRefusal naming the
// lines), and is put back as on any other refusal there; when the guard ends without that, its
// marker is left on the disk for the next opening to put the run back, the refusal noted
// (DossierRunMarkerRefusedForUnreadAmounts). A run made to work over such amounts, inside
// another, suspends the outer run's watch for its own life. Two guards may end in either order.
class DossierRunMarker {
 public:
  DossierRunMarker(BooksReading&& reading, const std::string& run, const std::string& title,
                   const std::string& detail = "", UnreadAmountsMet met = UnreadAmountsMet::kRefused);
  // Takes over the marker a stopped run left on disk, as it is, while the opening deals with it:
  // a run inside (the opening's reindex) leaves it, and the guard's end leaves it on disk.
  struct Adopt {};
  explicit DossierRunMarker(Adopt);
  ~DossierRunMarker();
  DossierRunMarker(const DossierRunMarker&) = delete;
  DossierRunMarker& operator=(const DossierRunMarker&) = delete;

  // True when the dossier is marked (by this guard or an outer one): the run may start.
  bool written() const { return written_; }
  const std::string& path() const { return path_; }
  // True when this guard wrote the marker (not an outer run's guard).
  bool owner() const { return owner_; }
  // Leaves the marker on disk when the guard ends: a run whose put-back failed is put back
  // at the next opening.
  void Keep() { owner_ = false; }
  // Removes the marker this guard wrote now, rather than when the guard ends: true when it is
  // gone (or belongs to an outer run). A run whose end is the removal of its marker (the
  // decision that its changes stand) is told whether that decision is on the disk. False, the
  // marker left, when the run met an amount that does not read since its marker was written.
  bool Remove();
  // The run has put back everything it wrote and says its own refusal: its marker goes when the
  // guard ends, whatever its watch met (there is nothing left for the next opening to put back).
  void Undone() { undone_ = true; }

 private:
  std::string path_;
  std::unique_ptr<platform::HeldFile> held_;  // the marker written, locked while the run lasts
  std::unique_ptr<BooksWritePermit> permit_;  // while the dossier is marked
  // What the run met that does not read since its marker was written, watched while it lives; a
  // run made to work over such amounts holds the watch suspended instead.
  std::unique_ptr<UnreadAmounts> met_;
  std::unique_ptr<RunUnreadAmountWatch> watch_;
  bool owner_ = false;
  bool written_ = false;
  bool undone_ = false;
};

// While it lives, a guard finds the marker of a run that stopped half-way (not one at work) and
// takes its place: the opening running that run again or putting it back, a restore that puts
// every table back from a backup, an import that has just put a stopped import in order.
class DossierRunMarkerTakeOver {
 public:
  DossierRunMarkerTakeOver();
  ~DossierRunMarkerTakeOver();
  DossierRunMarkerTakeOver(const DossierRunMarkerTakeOver&) = delete;
  DossierRunMarkerTakeOver& operator=(const DossierRunMarkerTakeOver&) = delete;
};

// True when the guard at `path` was last refused because another run's marker stands there.
bool DossierRunMarkerRefusedForAnotherRun(const std::string& path);
// True when the guard at `path` was last refused because its run read an amount that does not read
// (before its marker, or since, at its end).
bool DossierRunMarkerRefusedForUnreadAmounts(const std::string& path);

// The message of a run refused because its marker could not be written, because another
// run's marker stands (that run named, at work or stopped, and what to do), or because the run
// read amounts that do not read (the lines named, UnreadAmountsRefusal).
// (What the disk said added when the system refused the marker at `path`: full, an error
// writing to it, read-only.)
std::string DossierRunMarkerRefusal(const std::string& path);
// The guard's decision before the first write of a run that reads what it computes from only once
// its marker is written (an import, whose holds come with its marker, reads the totals it adds to
// then): "" when the run may write; else its refusal, one sentence naming the lines (the guard's
// refusal from then on, DossierRunMarkerRefusedForUnreadAmounts), when the run's watch met an
// amount that does not read.
std::string DossierRunReadRefusal();
// True when the marker at `path` was last refused for want of room on its disk.
bool DossierRunMarkerRefusedForRoom(const std::string& path);
// The message of a run undone because its marker could not be removed at its end (what the disk
// said added), or because the run met an amount that does not read (the lines named).
std::string DossierRunMarkerRemovalRefusal(const std::string& path);

// Running an interrupted run again, as the opening does with the dossier held exclusively:
// true when the run went to its end (the dossier can be opened), false when it did not (the
// marker is put back and the dossier stays closed). A subject whose runs set the marker
// registers one for each run name in its Install...Commands().
// A run whose redo puts the dossier back from the copies it made (`putBack`), rather than
// running it again, is asked about in those words.
using DossierRunRedo = std::function<bool(const DossierRunInfo&)>;
void SetDossierRunRedo(const std::string& run, DossierRunRedo redo, bool putBack = false);
// The redo registered for a run name; null when none.
const DossierRunRedo* FindDossierRunRedo(const std::string& run);
// True when the redo registered for the run puts the dossier back.
bool DossierRunRedoPutsBack(const std::string& run);
// A run the opening finishes once the dossier is open, shared and without a question (the
// imports, which run while other stations work on the dossier and may build on what they wrote):
// its finish puts the books in order from what the run kept and says what it did (French, ""
// when there is nothing to say), or refuses (`done` false) saying why; the dossier then stays
// closed and its marker stays. A subject registers one for each such run name.
struct DossierRunFinish {
  bool done = false;
  std::string said;
};
using DossierRunFinisher = std::function<DossierRunFinish(const DossierRunInfo&)>;
void SetDossierRunFinisher(const std::string& run, DossierRunFinisher finish);
// The finish registered for a run name; null when none.
const DossierRunFinisher* FindDossierRunFinisher(const std::string& run);
// A run over two dossiers decided in the other one (the separation): while that dossier's
// marker stands the run is undone, once it is gone the run went to its end and this dossier
// holds all its changes, its marker and copies alone being left. The subject registers, beside
// the redo, whether the marker read here names such a run gone to its end; the opening then
// asks only whether to remove the copies (the redo of such a run removes them).
using DossierRunEnded = std::function<bool(const DossierRunInfo&)>;
void SetDossierRunEnded(const std::string& run, DossierRunEnded ended);
// True when the marker read names a run that its other dossier says went to its end.
bool DossierRunEndedElsewhere(const DossierRunInfo& run);
// A run over two dossiers whose other dossier cannot be read now (its folder missing, unreadable,
// or on a share that is down): whether its marker there stands cannot be known, so the run is
// neither put back nor taken as ended. The subject registers what is said then (French, "" when
// the other dossier is within reach); the opening says it, changes nothing and leaves the dossier
// closed, its marker kept for the next opening.
using DossierRunWaiting = std::function<std::string(const DossierRunInfo&)>;
void SetDossierRunWaiting(const std::string& run, DossierRunWaiting waiting);
// What the run's subject says of a run that must wait for its other dossier ("" none).
std::string DossierRunWaitingText(const DossierRunInfo& run);
// A redo that refused before changing anything says why (French, one line: the copy missing or
// not whole); the opening shows it with its message and clears it.
void NoteDossierRunRedoRefusal(const std::string& why);
std::string TakeDossierRunRedoRefusal();
// A put-back that a refused change stopped part-way says why (French, one line: the file and
// what the disk said). Its copies are still whole: the opening keeps the dossier closed and the
// next one finishes the put-back, with no advice to restore a backup; it clears it.
void NoteDossierRunPutBackStopped(const std::string& why);
std::string TakeDossierRunPutBackStopped();
