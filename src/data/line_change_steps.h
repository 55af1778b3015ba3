// The one way a change of lines writes the books: a line saved, cancelled or reactivated, a new line
// or piece, a piece moved or copied, lines appended to the draft, a split's header, its new lines, its
// renumbering and its lines given their line's day, an analytic line saved, cancelled or reactivated,
// a default split made, a split removed. Each is made whole or not at all, and its default is to take
// back: it is done only when it says so after its last write.
//
//   LineChangeSteps steps(LineChangeKind::LineCancelled);
//   steps.Ends(c50, c60, kMsgCancelRefused);       // its tables and its sentence of a refusal
//   if (!find() || !steps.ReadWhole()) return ...; // made before its first read
//   if (!steps.LockLine(c50, recno, text)) return held;
//   steps.Moves().Account(...);                    // the totals it moves, planned
//   if (steps.Moves().Check()) return tooLarge;    // refused before anything is written
//   steps.Note().Line(recno);                      // what it touches, for the next opening
//   if (!steps.Begin()) return steps.Fail(...);    // the note written: nothing written yet
//   if (!write()) return steps.Fail(...);          // each write ...
//   steps.Made([&] { return unwrite(); });         // ... with the write that takes it back
//   if (!steps.Moves().Make()) return steps.Fail(...);
//   if (!steps.Finish()) return steps.Fail(...);   // a read refused since it began fails it
//
// The change is made before its first read (the line found, read again under its lock): a read the
// system refused before it would go unseen, and a line read short taken for a cancelled or a missing
// one. A change that returns without Done() is taken back, the last write first, and its note is left
// for the next opening unless all of it could be taken back. Done() fails the change when a read
// of the tables was refused while it lived: what it read may have been short. While it lives, the
// engine's boxes are held back: the change says why it did not go through in its own sentence. From
// the moment its note stands (Begin) it holds the permit to write the lines, the sort file and the
// totals of the open dossier (BooksWritePermit, books_write_permit.h), without which the table layer
// refuses those writes: a write before Begin is refused. Its end is the class's:
// Finish after the last write (done, the line's lock given back, the tables committed), Fail
// otherwise (taken back, the lock given back, the tables committed, the one sentence, the outcome).
// A change begun while another lives in this process (a split removed by a line save, a new analytic
// line inside a default split) joins it: one note, one refusal watch, one take-back, and the outer
// change says whether it is done and gives the one box.
//
// The change watches the amounts it reads from its first read (UnreadAmountWatch, unread_amounts.h),
// always: one that met an amount that does not read (as the readers judge it) is refused by Begin
// before its first write, its sentence naming the lines and totals (a total is made again from its
// lines by the ReConstruction). A change that replaces or takes away a line's amount (a line saved
// or cancelled, an analytic line the same) excuses that one line's amounts, and no other
// (WorksOver): every total it moves and every other line it reads must read. Such a change that
// went through over its line's unread amount says so afterwards (WorkedOverOwnLine): the totals
// that counted the old amount no longer equal their lines.
//
// A new kind of change gets its LineChangeKind (line_change_note.h), notes what it touches so that
// the opening can finish it (FinishStoppedLineChanges, stopped_line_changes.h), and is written
// through this class; the kill and fault matrices (tests/dossier) get its rows.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "data/account_totals.h"
#include "data/books_write_permit.h"
#include "data/error_report.h"
#include "data/line_change_note.h"
#include "data/unread_amounts.h"

class Table;

// The refusals of an amount a total cannot hold (string ids): an account (its code and the largest
// amount), a journal-month (its journal, its month and the largest amount), a section (its code and the
// largest amount).
inline constexpr int kMsgAccountTotalTooLarge = 34300;
inline constexpr int kMsgHeaderTotalTooLarge = 34301;
inline constexpr int kMsgSectionTotalTooLarge = 34302;
// The same when the total is the francs' and the amount was typed in euros.
inline constexpr int kMsgAccountFrancsTooLarge = 37715;
inline constexpr int kMsgHeaderFrancsTooLarge = 37716;
inline constexpr int kMsgSectionFrancsTooLarge = 37717;

// The refusal of a change whose amounts a total cannot hold, in one sentence naming the account, section
// or journal-month and the largest amount it can take, in euros (`euros`) or in francs: the currency the
// amount was typed in. A total in francs that limits an amount typed in euros is said to be the francs'.
std::string TotalsTooLargeText(const TotalsOverflow& overflow, bool euros);

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

  // The totals planned, checked before the first write: the one that cannot hold the change, if any
  // (nothing is written), *refusal (when given) then naming it and the largest amount it takes in
  // the currency Ends gave.
  TotalsOverflow Check(std::string* refusal);
  // The note written, with the totals planned, once they are checked and before the first write:
  // false when it could not be, a read was refused already, or an amount read did not read (the
  // change not made to work over it); the change then writes nothing. From then on the change holds
  // its permit to write the books.
  bool Begin();
  // True while every read of the tables since the change began went whole.
  bool ReadWhole() const;
  // True while every amount the change read since it began reads (or the change is made to work over
  // them); false refuses the change, as Begin does, for a change that writes something of its own
  // before its note (a copy's target header and piece number): nothing is written then.
  bool AmountsRead();
  // The amounts of record `recno` of `table` (the line the change replaces or takes away) need not
  // read: the change writes over them. Any other amount it reads still must.
  void WorksOver(Table& table, std::uint32_t recno);
  // True when the change met an amount of the line it works over that does not read.
  bool WorkedOverOwnLine() const { return Root().ownUnread_; }
  // A write made, and how to take it back.
  void Made(std::function<bool()> back);
  // After the last write: the change is done, its note marked so. False, nothing marked, when a
  // read was refused while it lived: the caller then takes it back. A change that joined another
  // one leaves the marking to it.
  bool Done();
  // After Fail: whether all of it was taken back.
  bool PutBack() const { return putBack_; }
  // After Fail: all of it taken back, yet its note stays for the next opening (the disk refused to
  // mark it done, or a read refused left the totals to be looked at).
  bool NoteStays() const { return Root().noteStays_; }
  // After Fail: the change was refused by a total that could not hold it, and nothing stays.
  bool TooLarge() const { return putBack_ && static_cast<bool>(Moves().Overflow()); }

  // ---- its end
  // The tables the change writes, committed at its end whether it went through or not, and how it
  // says a refusal: `refusedText`, its own "... une écriture ayant été refusée (%s) : rien
  // n'a changé." (the draft's path named when the system named no file), a total too large said in
  // euros (`euros`) or in francs.
  void Ends(Table& c50, Table& c60, int refusedText, bool euros = true);
  // A further table the change writes (the closed lines the letters' change letters), committed with
  // the others at its end.
  void EndsToo(Table& table) { other_ = &table; }
  // The line the change writes, locked before it is read again: asked once, the notice naming `text`
  // (none without a text); given back at the change's end, unless the cursor held it before. False
  // when another station holds it: nothing taken.
  bool LockLine(Table& table, std::uint32_t recno, const char* text);
  // After the last write: the change done (Done), the line's lock given back, the tables committed.
  // False when a read was refused while it lived: nothing given back, the caller ends it with Fail.
  bool Finish();
  // The end of a change that did not go through: what it wrote taken back (the log naming `what` when
  // not all of it could be), the line's lock given back, the tables committed; *refusal (when given)
  // gets its one sentence: the total that could not hold it, a read refused, the write refused, or
  // that not all could be taken back. True when a total could not hold it.
  bool Fail(const std::string& what, std::string* refusal);
  // The same, answered as the caller's outcome: `tooLarge` when a total could not hold the change.
  template <class Outcome>
  Outcome Fail(const std::string& what, std::string* refusal, Outcome failed, Outcome tooLarge) {
    return Fail(what, refusal) ? tooLarge : failed;
  }
  // The one sentence of a change that did not go through, as Fail gives it.
  std::string Refusal() const;

  // Why the change did not go through, as the system said it: the first write or read refused (the
  // file and the error), else a failure noted, else an error on `file`.
  std::string Reason(const std::string& file) const;

 private:
  LineChangeSteps& Root() { return outer_ != nullptr ? *outer_ : *this; }
  const LineChangeSteps& Root() const { return outer_ != nullptr ? *outer_ : *this; }
  // Every write made taken back, the last first, then the totals moved. False when one of them was
  // refused too (the log then says so, naming `what`): the note is left for the next opening, as it
  // is after a refused read (a total moved from a short read). Nothing, for a change that joined
  // another one: the outer change takes back the whole.
  bool TakeBack(const std::string& what);
  // The one sentence of a change that did not go through: `refusedText` with the reason in it; a read
  // refused said as such, naming the change; a change that could not take back all it wrote said as
  // such; one taken back whose note stays, that the next opening will look at what it touched.
  std::string RefusalText(int refusedText, const std::string& file) const;
  void ReleaseLine();
  void Commit();

  LineChangeKind kind_;
  RefusalWatch watch_;
  TotalsMoves moves_;
  LineChangeNote note_;
  std::vector<std::function<bool()>> back_;
  LineChangeSteps* outer_ = nullptr;
  // The root change's permit to write the open dossier's books (books_write_permit.h), named after
  // its kind, taken once its note stands.
  std::optional<BooksWritePermit> permit_;
  // The amounts the root change read that do not read, watched from its first read; the records
  // whose amounts it works over, and whether one of them did not read.
  UnreadAmounts unread_;
  std::optional<UnreadAmountWatch> unreadWatch_;
  std::vector<std::pair<Table*, std::uint32_t>> worksOver_;
  bool unreadRefused_ = false;
  bool ownUnread_ = false;
  // Its end: the tables committed, its sentence of a refusal.
  Table* c50_ = nullptr;
  Table* c60_ = nullptr;
  Table* other_ = nullptr;
  int refusedText_ = 0;
  bool euros_ = true;
  // The line's lock: its table and record, and whether the cursor held it before.
  Table* lineTable_ = nullptr;
  std::uint32_t lineRecno_ = 0;
  bool lineHeldBefore_ = false;
  bool done_ = false;
  bool takenBack_ = false;
  bool putBack_ = true;
  bool noteStays_ = false;
};
