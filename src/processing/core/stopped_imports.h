// The imports (the bank statement and the ASCII entries) under the dossier's run marker, and what
// is done with one stopped half-way. An import runs while other stations work on the dossier:
// one import into the dossier at a time, of either kind, holds both imports' lock files, then
// writes the run marker before its first change and removes it after its last. An import stopped
// half-way (killed, or stopped by a refused write) leaves the marker; the next opening of the
// dossier, or the next import on a station that kept it open, puts the books in order from what
// the run kept (the statements' identities, the ASCII run's pieces record, the totals journals)
// before anything else is written: the pieces the draft holds whole are kept with their sort
// records and totals, those cut short cancelled, and what was not written is left for the same
// file imported again, which writes it once. Nothing is put back from copies: another station
// may already have built on the pieces written.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "data/error_report.h"
#include "dossier/core/dossier_run_marker.h"
#include "processing/core/ascii_import.h"
#include "processing/core/bank_pieces.h"
#include "processing/core/ofx_import.h"

class MaintenanceProgress;
class Table;

namespace processing {

// The imports' names, as their markers record them.
inline constexpr const char* kOfxImportRun = "importation releve";
inline constexpr const char* kAsciiImportRun = "ajout ascii";

// The stopped imports the log names, as they were put in order.
struct StoppedImports {
  std::vector<StoppedStatementRun> statements;
  std::vector<StoppedAsciiRun> files;
};

// Puts in order every import the log names as stopped half-way (PutStoppedStatementRunsInOrder,
// PutStoppedAsciiRunInOrder). False when a write was refused, *refusal naming it (RefusedWriteText):
// what is not yet in order stays as it is for the next attempt. `progress`, when given, shows
// each import's file and its pieces as they are taken up.
bool FinishStoppedImports(Table& c10, Table& c50, Table& c60, StoppedImports* done, std::string* refusal,
                          MaintenanceProgress* progress = nullptr);

// What is said of the stopped imports put in order: each one named with its file, what of it is
// kept and what is to be imported again, the pieces cut short counted once ("" none).
std::string StoppedImportsText(const StoppedImports& done);

// One import's hold and marker, taken before its first change: both imports' lock files held
// (another station's import refuses this one), a stopped import its marker names put in order
// first (an index update it cut short made again through the import's cursors, or the import
// refused while another cursor has that table open), then the marker of `run` written. From the
// holds on, the import holds its permit to write the open dossier's books (BooksWritePermit, named
// `run`): the
// stopped import is put in order under them, before the marker is written over.
// Released, the marker first, when the guard ends.
class ImportRunGuard {
 public:
  ImportRunGuard(Table& c10, Table& c50, Table& c60, const std::string& run, const std::string& title);
  ~ImportRunGuard();
  ImportRunGuard(const ImportRunGuard&) = delete;
  ImportRunGuard& operator=(const ImportRunGuard&) = delete;

  // True when the import may start.
  bool ok() const { return ok_; }
  // The refusal when not ok (French).
  const std::string& message() const { return message_; }
  // What the end message says first of a stopped import put in order ("" none).
  const std::string& said() const { return said_; }
  // The import stopped as a kill stops it (the log still names it): its marker stays for the
  // next opening or import, which put the books in order.
  void Keep();

 private:
  // The import says a refused write in its own end box: the engine's boxes are held back
  // while it runs.
  RefusalWatch engineBoxes_{RefusalWatch::EngineBoxes::kHeld};
  std::unique_ptr<ImportHold> ofx_, ascii_;
  std::unique_ptr<BooksWritePermit> permit_;  // once both holds are taken
  std::unique_ptr<DossierRunMarker> marker_;
  bool ok_ = false;
  std::string message_, said_;
};

// The finish of a stopped import at the opening, the dossier open (its general file in the
// program's TableC10): the chart and the draft opened, the imports' holds taken (and with them the
// permit to write the open dossier's books, named after the stopped run), the stopped imports put in
// order and the
// marker removed, shown on `progress` when given.
DossierRunFinish TakeUpInterruptedImport(const DossierRunInfo& run, MaintenanceProgress* progress);
// The same without a progress window.
DossierRunFinish FinishInterruptedImport(const DossierRunInfo& run);

}  // namespace processing
