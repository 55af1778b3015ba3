// The amounts a run met that do not read (ReadableNumberText; a line's amount no entry makes,
// LineAmountHolds), gathered for a run whose output must not carry them unsaid: a report's export
// file, not written, and its printout, which says so before it is shown or printed. While an UnreadAmountWatch lives on this
// thread, every reader of the table layer notes each amount it could not read, whoever asked for
// it: StoredAmountOf, FieldTextAsRead, GetField and GetFieldNum of a number field (named by their
// current record), StoredAmountCents, FieldCentsOf and the readers of a record's bytes (unnamed:
// their record is not known there). A reader that knows the record of an amount it read from its
// text alone, or an owner that read its amounts before the watch began, names it with
// NoteUnreadAmount. Outside a watch nothing is noted and nothing is asked.
//
// The same watch decides, once, whether a run of the dossier or a change of lines may write: the
// change (LineChangeSteps) watches from its first read, a run reads under a BooksReading of its own
// before its marker (DossierRunMarker, made from it); the marker, or the change's Begin, refuses
// before the first write when an amount did not read, with UnreadAmountsRefusal naming the lines.
// From its marker on the run is watched to its end (RunUnreadAmountWatch), and its guard refuses its
// end over what it met then. Only a run made to work over such amounts says so
// (UnreadAmountsMet::kWorkedOver) and goes on; a change of lines excuses only the amounts of the
// line it replaces or takes away (LineChangeSteps::WorksOver).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "data/entry_lines.h"

class Table;

struct UnreadAmounts {
  std::vector<UnreadableAmountLine> lines;  // named: their record known
  long unnamed = 0;                         // read from a text or a record's bytes alone
  bool said = false;                        // the user was told of them (NoteUnreadAmountsSaid)
  bool Any() const { return unnamed > 0 || !lines.empty(); }
  void Clear() {
    lines.clear();
    unnamed = 0;
    said = false;
  }
};

class UnreadAmountWatch {
 public:
  // Notes into `into` until its end; the watch it stands over (if any) notes again afterwards. A
  // watch that ends before one made after it leaves its own place only: the later one goes on.
  explicit UnreadAmountWatch(UnreadAmounts& into);
  ~UnreadAmountWatch();
  UnreadAmountWatch(const UnreadAmountWatch&) = delete;
  UnreadAmountWatch& operator=(const UnreadAmountWatch&) = delete;
};

// True while a watch (or a run's watch) lives on this thread.
bool WatchingUnreadAmounts();
// What the innermost watch of this thread gathered so far; null when none lives.
const UnreadAmounts* WatchedUnreadAmounts();


// The watch of a run under its marker, for the run's whole life (DossierRunMarker holds it): every
// amount noted on this thread goes into it as well, whatever inner watch gathers it too (and into
// each run's watch it stands in), so that no read the run makes after its marker is written passes
// by it. Watches end in any order: each leaves its own place only. Given null it suspends the run's
// watch it stands over (a run made to work over such amounts, inside another); the one it stands
// over watches again afterwards.
class RunUnreadAmountWatch {
 public:
  explicit RunUnreadAmountWatch(UnreadAmounts* into);
  ~RunUnreadAmountWatch();
  RunUnreadAmountWatch(const RunUnreadAmountWatch&) = delete;
  RunUnreadAmountWatch& operator=(const RunUnreadAmountWatch&) = delete;
};

// What a run that writes the books reads before its marker, watched from its first read: the
// marker, made only from the run's reading (DossierRunMarker), then refuses the run, before its
// first write, when an amount did not read. Every amount noted on this thread while it lives goes
// into it, whatever inner watch gathers it too.
class BooksReading {
 public:
  BooksReading() : watch_(&met_) {}
  BooksReading(const BooksReading&) = delete;
  BooksReading& operator=(const BooksReading&) = delete;
  // What the run read so far that does not read.
  const UnreadAmounts& Met() const { return met_; }

 private:
  UnreadAmounts met_;
  RunUnreadAmountWatch watch_;
};

// What the run's watch of this thread gathered so far; null when none lives (or it is suspended).
const UnreadAmounts* RunWatchedUnreadAmounts();

// What a run does when its watch met an amount that does not read: refuses before its first write
// (every one), or works over it, naming it itself (the ReConstruction and the restore, which leave
// such lines out of their totals; the pack and the renumbering, which compute nothing from them).
enum class UnreadAmountsMet { kRefused, kWorkedOver };

// Into the watch of this thread, if any: a line named, a record of `table` (its bytes `record`,
// its number `recno`; 0 when unknown, and the amount goes unnamed), an amount without its record.
void NoteUnreadAmount(const UnreadableAmountLine& line);
void NoteUnreadAmount(Table& table, int field, const std::uint8_t* record, std::uint32_t recno);
void NoteUnnamedUnreadAmount();
// Everything another watch gathered (an owner's, over what it read before its run), into this one.
void NoteUnreadAmounts(const UnreadAmounts& met);
// A report that showed its own warning over the amounts it could not read says so to the watch, so
// that the report engine does not warn a second time; and asks whether the engine warned already.
void NoteUnreadAmountsSaid();
bool UnreadAmountsSaid();

// How a record of `table` whose amount field `field` does not read is named: a line of C50 or C40
// by its piece and account, an account of C20, a section of C30, any other record by its file and
// field.
UnreadableAmountLine UnreadRecordLine(Table& table, int field, const std::uint8_t* record, std::uint32_t recno);
// True when `line`, as UnreadRecordLine names it, is record `recno` of `table`.
bool IsUnreadRecordOf(const UnreadableAmountLine& line, Table& table, std::uint32_t recno);

// The warning of an export not written over these amounts (UnreadableAmountsFileMessage): the lines
// named, or, when none is, how many amounts were read without their record.
std::string UnreadAmountsFileMessage(const UnreadAmounts& met);
// The lines named, one a line, or how many amounts were read without their record; "" when none
// was met.
std::string UnreadAmountsLinesText(const UnreadAmounts& met);
// The refusal of a run or a change of lines that met them before its first write, in one sentence
// naming the lines (or, when none is named, how many amounts were read without their record); ""
// when none was met.
std::string UnreadAmountsRefusal(const UnreadAmounts& met);
// The refusal of a change of lines that met them before its first write: UnreadAmountsRefusal, or,
// when a total is among them (an account's, a section's, a journal-month's), the same list advising
// the ReConstruction, which makes the totals again from their lines.
std::string UnreadAmountsChangeRefusal(const UnreadAmounts& met);
// The warning of a printout over these amounts, each counted as zero (UnreadableAmountsMessage),
// named or counted as above.
std::string UnreadAmountsMessage(const UnreadAmounts& met);
// The refusal of a run that met them after its marker was written, undone at its end (its dossier
// put back), in one sentence naming the lines; "" when none was met.
std::string UnreadAmountsRunUndone(const UnreadAmounts& met);
