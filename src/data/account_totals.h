// Running debit and credit totals moved by every entry line: the account (and, for an
// auxiliary account, its collective account) in C20, the analytic section in C30 and the
// journal-month header in C10. Each move creates a missing record, locks the record it
// changes (waiting while another station holds it) and writes all its totals before the
// lock is released; locks held by the program's own windows are kept.
//
// Totals are moved through TotalsMoves (below): planned, checked against what each total holds
// before anything is written, then made and checked again under each record's lock; a total that
// cannot hold its move refuses it and nothing of that record is written. Amount 1 is the franc
// amount, amount 2 the euro amount, added in whole cents. Engine failures at saving are reported
// (context 2010) and the move answers false: a run counts a refused write as a failure, never as
// done. A missing record is created under the table's creation lock; when another station keeps
// that lock past the bound of a lock wait, the timeout is reported (engine error 10249 naming the
// file, context 2201) and the move writes nothing.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "runtime/twin_amounts.h"

class Table;

// Entry of FormRecordLocks that the account form keeps.
inline constexpr int kAccountFormLockEntry = 9;
// Position and width in the open-window registry of the account that another window
// (manual matching) holds locked.
inline constexpr int kRegistryHeldAccountPos = 3737;
inline constexpr int kRegistryHeldAccountWidth = 8;

// The current record of `general`, a journal-month header, brought back with no totals when it
// is deleted, as the rebuild brings one back; locked meanwhile, its lock kept as MoveHeaderRecord
// keeps it. True when it is live (false: a write refused, reported).
bool BringBackHeader(Table& general);

// ---- Totals moved by many lines at once (the imports): each record written once.

// The four totals of a record in whole cents: debit and credit of amount 1 (francs) and of
// amount 2 (euros).
struct TotalsCents {
  long long debit1 = 0, credit1 = 0, debit2 = 0, credit2 = 0;
  void Add(bool debit, long long cents1, long long cents2) {
    (debit ? debit1 : credit1) += cents1;
    (debit ? debit2 : credit2) += cents2;
  }
  TotalsCents& operator+=(const TotalsCents& o) {
    debit1 += o.debit1, credit1 += o.credit1, debit2 += o.debit2, credit2 += o.credit2;
    return *this;
  }
  bool operator==(const TotalsCents&) const = default;
  bool Empty() const { return debit1 == 0 && credit1 == 0 && debit2 == 0 && credit2 == 0; }
  // The move of a line's amounts on its sense ("D" the debit totals, any other the credit ones).
  static TotalsCents OnSense(char sense, long long cents1, long long cents2) {
    TotalsCents t;
    t.Add(sense == 'D', cents1, cents2);
    return t;
  }
  // The move that takes this one back.
  TotalsCents Negated() const { return {-debit1, -credit1, -debit2, -credit2}; }
};

// The amounts of the current line of the draft `c50` (a general or an analytic line), as stored, on its
// sense: what the line moves in its totals.
TotalsCents LineMove(Table& c50);

// The C20 records a line of account `code` moves, found and those missing created: the account (cut
// to 8, a general account beginning with a digit filled with "0" to 8), then for an auxiliary
// account beginning with a letter A-Z its collective (the general file's "B" record of its letter,
// made with the collective 44444444 when missing). Empty for a
// blank code (a log line written) or when TableC20 is not open. Without `create` nothing is
// written: the records are named as they would be made (a missing collective record names the
// account its creation gives). *refused is set when a record could not be made, or read (reported):
// the codes then stop short.
std::vector<std::string> AccountTotalsCodes(const char* code, bool create = true, bool* refused = nullptr);

// Called with a record's totals read under its lock just before they are moved; false leaves
// the record as it is.
using TotalsBefore = std::function<bool(const TotalsCents& before)>;
// Moves the totals of the C20 record `code` (as AccountTotalsCodes gives it) by `move` in one
// write, locked and then released unless a window of this program holds it (the account form, the
// record text editor, the account the open-window registry names). False when the record cannot be
// found, made, locked or written, or `before` refused.
bool MoveAccountRecord(const std::string& code, const TotalsCents& move, const TotalsBefore& before = nullptr);
// Moves the totals of the journal-month header "C" + `code` (8 characters: month, journal, source)
// by `move` in one write: field 4 holds the franc debit and credit, field 5 the euro ones, 14
// characters each. A missing header is made (labelled with its journal's name), a deleted one (the
// rebuild deletes those of the journal-months without a line) brought back empty, a zero amount
// leaves its field as it is. A move that would take a total past its 14 characters (or move one
// already unreadable) is refused, nothing written: logged, and told in a box unless the change or
// run at work says it in its own. The lock is kept while the journal-month is in entry in this
// program, or when the caller held it before.
bool MoveHeaderRecord(const std::string& code, const TotalsCents& move, const TotalsBefore& before = nullptr);
// The totals the C20 record or the header holds now; false when it is not there (a header
// deleted is not there), or could not be read (reported, as every look-up of the totals' records
// the system refuses here).
bool ReadAccountRecord(const std::string& code, TotalsCents* now);
bool ReadHeaderRecord(const std::string& code, TotalsCents* now);
// The same for the C30 section `code` (cut to 8); a blank code moves nothing and answers true.
bool MoveSectionRecord(const std::string& code, const TotalsCents& move, const TotalsBefore& before = nullptr);
bool ReadSectionRecord(const std::string& code, TotalsCents* now);
// The record of a total ('A' an account of C20, 'H' a journal-month header of C10, 'S' a section of
// C30, its code as the moves take it) made current on its table, as the moves find it; null when it
// is not there (a header deleted is there) or could not be read (reported).
Table* SeekTotalsRecord(char kind, const std::string& code);

// ---- A change of lines and its totals: checked before anything is written, then moved, or
// taken back whole.

// What every total holds: 14 characters with 2 decimals (the amounts of C20 and C30, the
// journal-month totals of C10).
inline constexpr long long kLargestTotalCents = kLargestStoredCents;    //  99 999 999 999.99
inline constexpr long long kSmallestTotalCents = kSmallestStoredCents;  //  -9 999 999 999.99

// A total that a change would take past what it holds.
struct TotalsOverflow {
  char kind = 0;      // 'A' an account of C20, 'S' a section of C30, 'H' a journal-month header of
                      // C10 (its 8-character code); 0: every total holds the change
  std::string code;
  long long room = 0;   // what that total can still take on the side and currency that overflow
  long long moved = 0;  // what the change takes there
  bool debit = true, second = false;  // the side and the currency (amount 2 or amount 1) that overflow
  // What the change moves on that side in each currency (amount 1, amount 2), without sign.
  long long side1 = 0, side2 = 0;
  explicit operator bool() const { return kind != 0; }
  // The largest amount, in the currency of amount 2 (`second`) or of amount 1, that the total can
  // take on that side: the change's amount there in the proportion of room to moved.
  long long Largest(bool second) const;
};

// The overflow, if any, of a record holding `now` moved by `move` (a zero move leaves its total as
// it is, whatever it holds).
TotalsOverflow OverflowOf(char kind, const std::string& code, const TotalsCents& now, const TotalsCents& move);

// The totals a change of lines moves, in the order it moves them: each line's amounts off or onto
// its account (and collective), its journal-month header, its section.
class TotalsMoves {
 public:
  void Account(const std::string& account, const TotalsCents& move) { Plan('A', account, move); }
  void Header(const std::string& code, const TotalsCents& move) { Plan('H', code, move); }
  void Section(const std::string& code, const TotalsCents& move) { Plan('S', code, move); }
  std::size_t Count() const { return planned_.size(); }
  // Each total the planned moves reach, once, by its kind ('A', 'H', 'S') and its code as planned
  // (an account's collective follows from it).
  std::vector<std::pair<char, std::string>> Records() const;
  // The total that the moves not yet made, in order, would take furthest past what it holds (the
  // one that leaves the smallest part of its move), from the records as they stand. Nothing is
  // written.
  TotalsOverflow Check() const;
  // The moves not yet made, up to the `end`-th planned, each record in one write, checked again
  // under its lock. False at the first one refused: a write refused (reported by the table layer),
  // or a total that no longer holds it (Overflow() names it; that record is not written).
  bool Make(std::size_t end = static_cast<std::size_t>(-1));
  // Every move made taken back, the last first. False when one of them was refused too, or when a
  // record whose move was refused could not be read again (the move may stand).
  bool TakeBack();
  const TotalsOverflow& Overflow() const { return overflow_; }

 private:
  struct Move {
    char kind;
    std::string code;
    TotalsCents move;
  };
  void Plan(char kind, const std::string& code, const TotalsCents& move);
  bool MakeOne(char kind, const std::string& code, const TotalsCents& move);
  std::vector<Move> planned_, made_;
  bool unsure_ = false;  // a move refused whose record could not be read again: it may stand
  std::size_t next_ = 0;
  TotalsOverflow overflow_;
};
