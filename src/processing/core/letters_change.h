// The letters and marks the user writes on lines (the manual matching, the bank reconciliation), each
// save one change of lines (LineChangeSteps): whole or not at all, its note naming every line it
// letters with its letter before and after, so that the opening finishes or takes back one stopped
// half-way (FinishStoppedLineChanges).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "data/line_change_note.h"
#include "processing/core/matching_lines.h"

namespace processing {

// A letter for the line of the sort record `c60` (its C60 record number), blank to take one away.
struct LetterWrite {
  std::uint32_t c60 = 0;
  std::string letter;
};

struct LettersOutcome {
  bool done = true;         // every letter written (or none to write); false: nothing changed
  std::size_t written = 0;  // the lines that took their letter
  std::string refusal;      // why not, in one sentence (`refusedText` with the reason in it)
  bool lockRefused = false; // not done for a sort record another station kept locked (its notice said so)
};

// The letters of currency `currency` (0 francs, 1 euros) written as one change of `kind`: each on
// its line, in the draft or in the closed file, then on its sort record. Every sort record and line
// is locked before the change notes them (a lock another station holds is waited for with its
// notice) and held until the change ends. A sort record found cancelled is passed over; one whose
// line cannot be reached takes its letter alone. With `keepLettered`, a sort record that holds a
// letter of that currency once it is locked keeps it (another station lettered the line since it
// was read): the change passes it over and its note does not name it. A write refused, or a read
// refused while the change lived, takes back all it wrote; `refusedText` (a string id) then says so.
LettersOutcome WriteLetters(const MatchTables& t, int currency, const std::vector<LetterWrite>& writes,
                            LineChangeKind kind, int refusedText, bool keepLettered);

// The manual matching's working marks (TLETP) of sort records, `c60` each with its mark, written as
// one change, each sort record locked before the note and held until the change ends: every mark or
// none. False, *refusal saying why, when a write was refused.
bool WriteMarks(Table& c60, const std::vector<LetterWrite>& marks, std::string* refusal = nullptr);

}  // namespace processing
