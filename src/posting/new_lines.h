// New general lines in the draft, each with its sort record: a line inserted after another in
// its piece's group ("Créer Ligne", renumbering the group when the next number is taken) and
// the first line of a new piece ("Créer Pièce", with the next piece number of the journal's own
// counter or of the dossier's). Amounts, account and labels come later from the line form;
// nothing here posts to a total.
#pragma once

#include <cstdint>
#include <string>

class Table;

namespace posting {

struct JournalRecord;

enum class NewLineOutcome {
  Created,
  GroupTooLarge,   // the renumbering would need numbers past 9990: nothing changed
  NumberTooLarge,  // the next line number would pass 9999: nothing changed
  LockRefused,     // a line, its sort record or a counter is held by another station
  CounterFull,     // the piece counter has no number left
  DraftFull,       // the draft holds as many records as its sort records can point at: nothing changed
  Failed,          // a write or a read refused: what was written taken back (NewLineResult::refusal);
                   // the counter's write refused (reported by the table layer)
};

// The draft C50 holds at most this many records: its sort records point at their lines by six digits.
inline constexpr std::uint32_t kMostDraftRecords = 999999;
// The limit DraftHasRoomFor applies: kMostDraftRecords (tests lower it to reach it with a few lines).
extern std::uint32_t DraftRecordLimit;
// True when `adding` more records fit in the draft open on `c50`. Every path that appends records to the
// draft (new lines and pieces, analytic headers and lines, the copy of a piece) asks it before it writes.
bool DraftHasRoomFor(Table& c50, std::uint32_t adding);

// The lines of one group with the number each gets: 10, 20, 30 ... in key order.
inline constexpr long kRenumberStep = 10;
// Lines a group may hold for the renumbering to fit the four digits of BNUM.
inline constexpr long kMostRenumberedLines = 999;

// What "Créer Ligne" takes from the selected line.
struct LineAfter {
  std::string prefix;  // "Z" + CleJournalMois
  std::string piece, group, number;  // BPIECE, BREC, BNUM of the selected line
  std::string day, labelCode, label;
  char sense = 'C';
  char entryCurrency = 'O';  // "O" or "N", lower case for a rounding line
};

// What "Créer Ligne" takes from the current line of `c50`: its journal-month, piece, group and number,
// its day and labels, its sense (the lines window decides the sense and the entry currency of its own).
LineAfter LineAfterOf(Table& c50);

struct NewLineResult {
  NewLineOutcome outcome = NewLineOutcome::Failed;
  std::string key;             // the new line's C50CODE key
  std::uint32_t recno = 0;
  long renumbered = 0;         // lines (general and analytic) given a new number
  long analyticRenumbered = 0; // ... of which analytic lines
  // Failed: what the change tells the user, in one sentence (the file refused and why, whether all
  // was taken back).
  std::string refusal;
};

// The notices a renumbering shows: one after every 1,000 analytic lines.
inline constexpr long kAnalyticLinesPerNotice = 1000;

// "Créer Ligne": the new line right after the selected one. When the number after the selected line is
// taken, its group (prefix + piece + group, cancelled lines included) is renumbered 10, 20, 30 ... in key
// order with its sort records and analytic lines, and the new line takes the number after the selected
// one's new number; every line and analytic line of the group is locked before the first write. One
// change of lines (LineChangeSteps): the numbers and the new line with its sort record, all of it or none.
NewLineResult CreateLineAfter(Table& c50, Table& c60, const LineAfter& after);

// The next piece number: the journal's own counter when it is not 0, else the dossier's (record
// "0" of C10, field 4 from position 165), read again, incremented and written back under the
// record's lock. The journal's counter lives at characters 19-24 of its field 4.
// Failed: the counter's read or write refused by the system, `refusal` saying so in one sentence
// (the engine's box held back), or the dossier's record missing (no sentence).
struct PieceNumber {
  NewLineOutcome outcome = NewLineOutcome::Failed;
  long number = 0;
  bool journalCounter = false;
  std::string refusal;
};
// *journalRead (when given) gets the journal's record as it was read first, unless that read was refused.
PieceNumber TakePieceNumber(Table& c10, const std::string& journal, JournalRecord* journalRead = nullptr);
// `count` numbers in a row from the same counter, taken at once: the first of them.
PieceNumber TakePieceNumbers(Table& c10, const std::string& journal, long count, JournalRecord* journalRead = nullptr);

// A group number no line of that piece in the journal-month uses: the draft's record count + 1
// in six digits, or the following ones when a pack or the six digits made it repeat. "" when a look-up
// could not read: no number is known free then.
std::string NewGroupNumber(Table& c50, const std::string& prefix, const std::string& piece);

// "Créer Pièce": the first line of a new piece, group NewGroupNumber, number "0001", with its sort record,
// as one change of lines.
NewLineResult CreatePieceLine(Table& c50, Table& c60, const std::string& prefix, const std::string& piece,
                              char labelCode, char entryCurrency);

}  // namespace posting
