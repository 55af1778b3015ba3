// The changes of lines that stopped half-way (line_change_note.h): a process killed between the
// first and the last write of a line saved, cancelled or reactivated, a piece moved or copied, lines
// appended to the draft, or a change whose take-back a refused write stopped, leaves its note in the
// dossier folder, no longer held. The opening finishes each one from what is on disk, while other
// stations may work on the dossier (under record locks, not the dossier held alone):
//
// - the lines: a piece found part moved is moved whole; an analytic line takes the cancel mark of
//   its general line; a line the change was cancelling once its main writes were made is
//   cancelled; a piece appended cut short is taken back, its lines cancelled;
// - the sort record of every line named follows its line (made when missing, derived again, its
//   cancel mark);
// - the fields a change rewrites (a line's numbers, an analytic line's day and label), the letters
//   and the working marks it gives: a record is written only where it still holds what the change
//   left there, its value before or after; one written since (by another station) is left as it
//   stands and named in what the opening says;
// - every total the change moves (accounts with their collectives, journal-month headers,
//   sections) is made to hold what its live lines give it, read from the lines themselves. A total
//   that another process's change at work names is left until that change is done (waited for a
//   moment, then the opening says so).
//
// The note goes once its change is finished; a note whose change wrote nothing (never written
// whole, or marked done) goes without a word. One found at work is named even when nothing was left
// to do: its change stopped, or was said refused, and the user is told how it stands.
#pragma once

#include <string>

struct StoppedLineChanges {
  bool done = true;   // every stopped change finished (or there was none)
  long finished = 0;  // the changes finished
  // One sentence for each change finished, saying what stands of it; when one could not be finished
  // (done false), why, the dossier then to stay closed (its note stays for the next opening).
  std::string said;
};

// The name of the finish's permit to write the books (books_write_permit.h): the opening's run.
inline constexpr const char* kStoppedLineChangesRun = "fin-modifications-lignes";

// The stopped changes of the open dossier (DossierFolder, DossierCode) finished. Its general file,
// chart and sections are used through TableC10, TableC20 and TableC30, opened shared when they are
// not; the engine's boxes are held back, a refused write told in `said`.
StoppedLineChanges FinishStoppedLineChanges();
