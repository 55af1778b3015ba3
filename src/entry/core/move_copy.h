// Moving and copying a piece of the draft to another journal-month: every live general line of
// the piece with its live analytic lines, each with its sort record.
//
// Both take the target journal-month's draft header lock first (granted at once when the target
// is in entry in this program, whose lines window keeps it; refused when another station enters
// it: nothing moves then), created first when the target has no header yet.
//
// The move locks every line of the piece and its sort record before it writes anything; a line
// or sort record held by another station releases them all, moves nothing and says which. Then
// each line gets the target's month, journal and a day fitted to the target month, its sort
// record is derived again, and its amounts go from the source header to the target header.
//
// The copy takes a new piece number as "Créer Pièce" does for the target journal (its own
// counter, else the dossier's, read and written under the record's lock), then appends new lines
// with blank matching letters, the day and label of the dialog when given, zero amounts when
// asked, each with its sort record derived, and posts them to their account, section and the
// target header.
//
// Both are made whole or not at all: a total that cannot hold the piece refuses it before anything
// is written, and a write refused on the way takes back what the command wrote.
#pragma once

#include <functional>
#include <string>

namespace entry {

constexpr int kTargetTextLength = 35;

// What the dialog wrote (CiblePiece): 1-4 the target month (YYMM stored), 5-7 the journal, and
// for the copy 8-9 the day (blank: each line keeps its own), 10-34 the label (blank: the labels
// stay), 35 "O" to reset the amounts.
struct PieceTarget {
  std::string journalMonth;
  std::string day;
  std::string label;
  bool clearAmounts = false;
  static PieceTarget From(const std::string& ciblePiece);
};

enum class PieceOutcome {
  Done,
  NoPiece,         // no live line of that piece in the source journal-month
  SameJournal,     // the target is the source journal-month
  TargetHeld,      // another station enters the target journal-month
  LineHeld,        // a line or its sort record is held by another station (move)
  NoPieceNumber,   // the piece counter could not be taken (copy)
  CounterFull,     // the piece counter has no number left (copy)
  TooManyLines,    // the draft would pass 999,999 records, which its sort records cannot point at (copy)
  TotalsTooLarge,  // a total cannot hold the piece: nothing written (refusal says which)
  Failed,          // the tables cannot be opened or the target header cannot be made; or a write was
                   // refused on the way: what was written taken back (refusal says so)
};

struct PieceResult {
  PieceOutcome outcome = PieceOutcome::Failed;
  long generalLines = 0;
  long analyticLines = 0;
  long headersCreated = 0;  // the target's draft header made by the command
  std::string piece;        // the piece number given (the copy's new one)
  std::string heldLine;     // LineHeld: the line refused, as the lock notice names it
  std::string refusal;      // TotalsTooLarge, Failed on a refused write: what the user is told
};

// A label of the copy: the dialog's label when it holds "\"; otherwise, when the line's label
// holds "\", the dialog's label trimmed + "\" + what followed the line's first "\"; otherwise the
// dialog's label. 25 characters. A blank dialog label keeps the line's.
std::string CopiedLabel(const std::string& lineLabel, const std::string& dialogLabel);

// The piece `piece` (6 characters) of the draft journal-month `source` (CleJournalMois). The
// totals go through TableC10, TableC20 and TableC30, which are open; the lines through cursors
// of the commands' own. `step`, when given, is called once per line handled (the wait cursor).
PieceResult MovePiece(const std::string& source, const std::string& piece, const PieceTarget& target,
                      const std::function<void()>& step = {});
PieceResult CopyPiece(const std::string& source, const std::string& piece, const PieceTarget& target,
                      const std::function<void()>& step = {});

}  // namespace entry
