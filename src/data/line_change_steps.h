// The one way a change of lines writes the books: a line saved, cancelled or reactivated, a piece
// moved or copied, lines appended to the draft, an analytic line saved, cancelled or reactivated, a
// default split made, a split removed. Each is made whole or not at all, and its default is to take
// back: it is done only when it says so after its last write.
//
//   LineChangeSteps steps(LineChangeKind::LineCancelled);
//   if (!find() || !steps.ReadWhole()) return ...; // made before its first read
//   steps.Moves().Account(...);                    // the totals it moves, planned
//   if (steps.Moves().Check()) return tooLarge;    // refused before anything is written
//   steps.Note().Line(recno);                      // what it touches, for the next opening
//   if (!steps.Begin()) return refused;            // the note written: nothing written yet
//   if (!write()) return refused;                  // each write ...
//   steps.Made([&] { return unwrite(); });         // ... with the write that takes it back
//   if (!steps.Moves().Make()) return refused;
//   if (!steps.Done()) return refused;             // a read refused since it began fails it
//
// The change is made before its first read (the line found, read again under its lock): a read the
// system refused before it would go unseen, and a line read short taken for a cancelled or a missing
// one. A change that returns without Done() is taken back, the last write first, and its note is left
// for the next opening unless all of it could be taken back. Done() fails the change when a read
// of the tables was refused while it lived: what it read may have been short. While it lives, the
// engine's boxes are held back: the change says why it did not go through in its own sentence
// (RefusalText). A change begun while another lives in this process (a split removed by a line
// save) joins it: one note, one refusal watch, one take-back, and the outer change says whether it
// is done and gives the one box.
//
// A new kind of change gets its LineChangeKind (line_change_note.h), notes what it touches so that
// the opening can finish it (FinishStoppedLineChanges, stopped_line_changes.h), and is written
// through this class; the kill and fault matrices (tests/dossier) get its rows.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "data/account_totals.h"
#include "data/error_report.h"
#include "data/line_change_note.h"

class LineChangeSteps {
 public:
  explicit LineChangeSteps(LineChangeKind kind);
  // Not done: what was written taken back.
  ~LineChangeSteps();
  LineChangeSteps(const LineChangeSteps&) = delete;
  LineChangeSteps& operator=(const LineChangeSteps&) = delete;

  // The totals the change moves (the outer change's, for one that joined it).
  TotalsMoves& Moves();
  const TotalsMoves& Moves() const;
  // What the change touches, for the next opening (the outer change's note, for one that joined it).
  LineChangeNote& Note();
  // True when the change joined another one living in this process.
  bool Joined() const { return outer_ != nullptr; }

  // The note written, with the totals planned, once they are checked and before the first write:
  // false when it could not be, or a read was refused already; the change then writes nothing.
  bool Begin();
  // True while every read of the tables since the change began went whole.
  bool ReadWhole() const;
  // A write made, and how to take it back.
  void Made(std::function<bool()> back);
  // After the last write: the change is done, its note marked so. False, nothing marked, when a
  // read was refused while it lived: the caller then takes it back. A change that joined another
  // one leaves the marking to it.
  bool Done();
  // Every write made taken back, the last first, then the totals moved. False when one of them was
  // refused too (the log then says so, naming `what`): the note is left for the next opening, as it
  // is after a refused read (a total moved from a short read). Nothing, for a change that joined
  // another one: the outer change takes back the whole.
  bool TakeBack(const std::string& what);
  // After TakeBack: whether all of it was taken back.
  bool PutBack() const { return putBack_; }
  // After TakeBack: all of it taken back, yet its note stays for the next opening (the disk refused
  // to mark it done, or a read refused left the totals to be looked at).
  bool NoteStays() const { return Root().noteStays_; }
  // After TakeBack: the change was refused by a total that could not hold it, and nothing stays.
  bool TooLarge() const { return putBack_ && static_cast<bool>(Moves().Overflow()); }

  // Why the change did not go through, as the system said it: the first write or read refused (the
  // file and the error), else a failure noted, else an error on `file`.
  std::string Reason(const std::string& file) const;
  // The one sentence of a change that did not go through: `refusedText` (the change's own, "... une
  // écriture ayant été refusée (%s) : rien n'a changé.") with the reason in it; a read refused said
  // as such, naming the change; a change that could not take back all it wrote said as such; one
  // taken back whose note stays, that the next opening will look at what it touched.
  std::string RefusalText(int refusedText, const std::string& file) const;

 private:
  LineChangeSteps& Root() { return outer_ != nullptr ? *outer_ : *this; }
  const LineChangeSteps& Root() const { return outer_ != nullptr ? *outer_ : *this; }

  LineChangeKind kind_;
  RefusalWatch watch_;
  TotalsMoves moves_;
  LineChangeNote note_;
  std::vector<std::function<bool()>> back_;
  LineChangeSteps* outer_ = nullptr;
  bool done_ = false;
  bool takenBack_ = false;
  bool putBack_ = true;
  bool noteStays_ = false;
};
