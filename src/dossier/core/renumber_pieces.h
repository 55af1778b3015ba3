// Renumbering of every piece of the dossier (RenumeroterPieces): the closed lines
// (C40) and the draft lines (C50) get new piece numbers from "000001" upward
// in the order of their current numbers, the sort file C60 is rebuilt on the
// way and the dossier's next piece number follows.
//
// Pieces are told apart by their code text without leading and trailing
// blanks, so "00012A" and "00012B" stay two pieces and codes that read as 0
// are not merged. Pieces whose number begins with "Ventil" keep it.
//
// The new numbers are first kept as a plan in C60 (one record per line:
// file, record number, old number, new number) and a plan file beside C60
// says that the plan is complete. Only then are the lines written. A run
// that stops while it writes the lines leaves the plan and its file; the next
// run finishes that plan before anything else, so it ends exactly as a run
// that was never stopped. The plan is worked out in memory and written to C60
// in batches, and C60 is refilled at the end as the rebuild refills it; the
// dossier's run marker (kRenumberRun) is set before C60 is first emptied and
// removed at the end, so a run killed at any point is named at the next
// opening. A write refused while the run goes on (a full disk, an I/O error)
// ends it the same way: the marker stays and the opening finishes the run.
#pragma once

#include <string>

// What the run shows and asks while it works. The default shows nothing and
// never stops, so a test drives the run without a window.
class RenumberObserver {
 public:
  virtual ~RenumberObserver() = default;
  virtual void SetLine(const std::string& text) {}   // the framed line
  virtual void SetLine2(const std::string& text) {}  // the second line
  virtual void SetTotal(long total) {}               // records the run expects to visit
  virtual void Step() {}                             // one record visited
  // Asked after each line written back; true stops the run there, as if
  // the program had ended (tests use it to check the recovery).
  virtual bool StopNow() { return false; }
};

enum class RenumberOutcome {
  Done,           // every line has its new number, C60 is a sort file again
  Stopped,        // StopNow answered true while the lines were written
  TooManyPieces,  // more than 999,999 pieces: nothing was renumbered
  TooManyLines,   // C40 or C50 past 999,999 records (failedTable): nothing was written
  PlanStale,      // the plan of a stopped run no longer matches the lines: kept, nothing written
  TableFailed,    // C40, C50 or C60 could not be opened exclusively, or a line not written
  MarkerFailed,   // the dossier's run marker cannot be written (failedTable): nothing was written
  // A write of failedTable refused (a full disk, an I/O error) before any line changed: the
  // sort file was filled again from the lines, the dossier is as it was.
  WriteRefusedUndone,
  // A write of failedTable refused once the lines or the sort file began to change: the run
  // stops with its marker (and its plan, when the lines were being written) kept, so that the
  // next opening names it and finishes it, as after a run killed there.
  WriteRefused,
};

struct RenumberResult {
  RenumberOutcome outcome = RenumberOutcome::Done;
  long pieces = 0;           // pieces numbered (the last number given)
  long nextNumber = 1;       // the dossier's next piece number
  bool resumed = false;      // a stopped run's plan was finished first
  bool nextWritten = false;  // the dossier record "0" took the next number
  long linesWritten = 0;     // lines whose piece number changed
  long unreachable = 0;      // plan records whose line could not be read
  std::string failedTable;   // path of the table that did not open, or whose write was refused
  bool diskFull = false;     // that write was refused for want of room on the disk
  // A read of failedTable was refused (an I/O error): the run stopped as after a refused write
  // (WriteRefused, WriteRefusedUndone), since what it read was short of the table.
  bool readRefused = false;
};

// Largest piece number the six-character field holds.
inline constexpr long kMaxPieceNumber = 999999;

// Path of the plan file: the C60 path + ".ren".
std::string RenumberPlanPath();
// A stopped renumbering left its plan: until it is finished the lines carry old and new
// numbers mixed, and no other run may rewrite the sort file.
bool RenumberingPending();
// What the opening and the refused runs say while a plan is pending.
std::string RenumberPendingMessage();

// What the run says when a write or a read was refused (WriteRefused, WriteRefusedUndone): the
// file, the full disk when it was, and whether the dossier is as it was or is finished at its
// next opening.
std::string RenumberRefusalMessage(const RenumberResult& result);

// The whole run on the open dossier (DossierFolder / DossierCode). The
// caller holds the dossier exclusively; every table is left closed.
RenumberResult RenumberPieces(RenumberObserver* observer = nullptr);
