// Cancelling and reactivating a general line of the draft: the line and its sort record take or
// lose the cancel mark together, and its amounts leave or come back to the totals of its account
// (and collective) and of its journal-month's header. Cancelling also cancels the line's analytic
// lines, taking them off their sections; reactivating leaves those cancelled.
//
// Each change is made whole or not at all: a total that cannot hold it refuses it before anything
// is written, and a write refused on the way takes back what the change wrote.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "data/account_totals.h"
#include "data/error_report.h"
#include "data/line_change_note.h"

class Table;

namespace posting {

enum class LineChange {
  Done,
  AlreadyDone,     // the line was already in that state: nothing changed
  Lettered,        // a matched line cannot be cancelled
  LockRefused,     // another station holds the line or one of its analytic lines: nothing changed
  NoLine,          // the record cannot be read or is no general line
  TotalsTooLarge,  // a total cannot hold the line: nothing changed
  Failed,          // a write was refused: what was written taken back (or not, as the refusal says)
};

// `c50` and `c60` are the caller's cursors; the totals go through TableC10, TableC20 and TableC30,
// which are open. `recordText` names the line in the lock notice. A line whose sort record is
// missing gets one derived on the way (and the log says so). *refusal receives what a change that
// did not go through (TotalsTooLarge, Failed) tells the user, in one box.
LineChange CancelLine(Table& c50, Table& c60, std::uint32_t recno, const std::string& recordText,
                      long* analyticCancelled = nullptr, std::string* refusal = nullptr);
LineChange ReactivateLine(Table& c50, Table& c60, std::uint32_t recno, const std::string& recordText,
                          std::string* refusal = nullptr);

// True when the current line carries a matching letter in either currency.
bool IsLettered(Table& c50);

// A change of lines and totals made whole or not at all. Each write the change makes is given
// with the write that takes it back; its totals are planned in `Moves()`, checked before the first
// write and made in order. Before its first write the change notes what it touches (`Note()`, its
// lines and pieces, with the totals planned): a change stopped half-way, or whose take-back was
// refused, is finished by the next opening of the dossier. While it lives, the engine's boxes are
// held back: a refusal is told in the change's own box.
class LineChangeSteps {
 public:
  explicit LineChangeSteps(LineChangeKind kind) : watch_(RefusalWatch::EngineBoxes::kHeld), note_(kind) {}
  TotalsMoves& Moves() { return moves_; }
  LineChangeNote& Note() { return note_; }
  // The note written, with the totals planned, once they are checked and before the first write:
  // false when it could not be, the change then writing nothing (Reason says why).
  bool Begin() {
    note_.Totals(moves_);
    return ReadWhole() && note_.Write();
  }
  // True while every read of the change's tables went whole: one that the system refused may have
  // left the change short (a line's analytic lines missed), so it fails and is taken back.
  bool ReadWhole() const { return !watch_.ReadRefused(); }
  // A write made, and how to take it back.
  void Made(std::function<bool()> back) { back_.push_back(std::move(back)); }
  // Every write made taken back, the last first, then the totals moved. False when one of them was
  // refused too (the log then says so, naming `what`): the note is left for the next opening.
  bool TakeBack(const std::string& what);
  // Why a write was refused, as the system said it (the file and the error).
  std::string Reason(const std::string& file) const;
  // The box of a change that did not go through: the total that could not hold it (the largest
  // amount it takes, in euros or in francs), else the write refused and whether all was taken back.
  // `refusedText` is the change's own text, with the reason in it.
  std::string RefusalText(int refusedText, const std::string& file, bool putBack, bool euros) const;

 private:
  RefusalWatch watch_;
  TotalsMoves moves_;
  LineChangeNote note_;
  std::vector<std::function<bool()>> back_;
};

}  // namespace posting
