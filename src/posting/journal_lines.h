// Walks over the general lines of one journal-month in C50CODE order (key prefix "Z" +
// CleJournalMois, cancelled lines included unless said): the count, the alternation of the
// pieces, the balance, the word scan, and the amount search over the whole draft.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

#include "data/entry_lines.h"

class Table;

namespace posting {

// The lines of the journal-month (cancelled ones too), counted on the index, or by a walk when
// the index file cannot be read. `refused` (when given) is set when the walk's look-up could not
// read: the count is then not known, never that of an empty journal-month.
long CountJournalLines(Table& c50, const std::string& prefix, bool* refused = nullptr);
// The current record of c50 is a general line of the journal-month (cancelled or not).
bool InJournal(Table& c50, const std::string& prefix);

// Every other piece of the journal-month, in C50CODE order, cancelled lines' pieces counted:
// the first, third, fifth ... piece are plain, the others shaded. A large journal-month is
// walked in slices (Advance), so that its window opens at once; a piece not reached yet reads
// as plain until then.
class PieceShading {
 public:
  // Starts again from the journal-month's first line (the table is the shading's own cursor).
  void Restart(Table* c50, const std::string& prefix);
  // Walks at most `lines` more lines; true when the walk is complete.
  bool Advance(long lines);
  bool Complete() const { return complete_; }
  // True for a shaded piece (the second, fourth ...); false for a plain one or one not reached.
  bool IsShaded(const std::string& piece) const { return shaded_.count(piece) != 0; }
  long PiecesReached() const { return distinct_; }

 private:
  Table* c50_ = nullptr;
  std::string prefix_;
  std::unordered_set<std::string> shaded_;
  std::string last_;       // key of the last line walked
  std::string lastPiece_;
  long distinct_ = 0;
  bool started_ = false;
  bool complete_ = true;
};

// Debit and credit of the live lines in both currencies, in cents.
struct JournalBalance {
  long long debitF = 0, creditF = 0, debitE = 0, creditE = 0;
  long lines = 0;
  // The live lines whose amount does not read as a number, counted as zero.
  std::vector<UnreadableAmountLine> unreadable;
  // The lines could not be looked up (a read refused): the balance is not known, never that of no line.
  bool refused = false;
  long long BalanceF() const { return debitF - creditF; }
  long long BalanceE() const { return debitE - creditE; }
};
// `step` (may be empty) is called with the number of lines walked so far.
JournalBalance SumJournal(Table& c50, const std::string& prefix, const std::function<void(long)>& step = {});

// The word scan of "Chercher": from the current record forward, while in the journal-month,
// each line's fields are tested in the order given; `matches` decides on one field's text (as
// GetField gives it). `mayMatch`, given the line's fields joined, may answer false when no
// field can match, to spare the exact test. `stop` is asked after each line that did not match.
enum class ScanResult { Found, NotFound, Interrupted };
ScanResult ScanJournal(Table& c50, const std::string& prefix, const std::vector<int>& fields,
                       const std::function<bool(const std::string&)>& matches,
                       const std::function<bool(const std::string&)>& mayMatch,
                       const std::function<bool(long)>& stop);

// The live general lines of the draft whose franc or euro amount equals `cents` (cents of either
// currency), the caller's journal-month first, then the others in the order of the file.
struct FoundLine {
  std::uint32_t recno = 0;
  std::string key;          // the C50CODE key (24 characters)
  std::string journalMonth;
  std::string piece;
  std::string day;
  std::string account;
  std::string label;
  std::string sense;
  double francs = 0, euros = 0;
};
std::vector<FoundLine> FindAmount(Table& c50, long long cents, const std::string& firstJournalMonth,
                                  std::size_t most = 500);

}  // namespace posting
