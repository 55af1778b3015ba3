// The balances the line form shows and fills a line with: the totals of the line's piece (its own line
// taken as typed), the balance of the journal-month without the line, the balance of an account without
// what the line put on it as loaded, the amount that balances one of them in the entry currency, and the
// decisions that follow a save: the next line or piece, or an exchange-rounding line when the piece balances
// in the currency it was typed in but not in the other one. Amounts in whole cents.
#pragma once

#include <string>
#include <vector>

#include "data/entry_lines.h"
#include "posting/line_save.h"

class Table;

namespace posting {

struct Balances {
  long long debitF = 0, creditF = 0, debitE = 0, creditE = 0;
  // The lines whose amount does not read as a number, counted as zero: a balance made with them is wrong.
  std::vector<UnreadableAmountLine> unreadable;
  // The lines could not be looked up (a read refused): the balance is not known, never that of no line.
  bool refused = false;
  long long BalanceF() const { return debitF - creditF; }
  long long BalanceE() const { return debitE - creditE; }
};

// The line as the form holds it now, on its side.
struct TypedLine {
  char sense = 'D';
  long long francs = 0, euros = 0;
};
TypedLine TypedLineOf(const LineValues& values);

// The live lines of the piece of `key` (its first 14 characters), in C50CODE order. The line of the key
// itself counts as `current` says (null: left out) instead of as stored.
Balances SumPiece(Table& c50, const std::string& key, const TypedLine* current);

// The live lines of the key's journal-month without the line of the key.
Balances JournalBalanceWithout(Table& c50, const std::string& key);

// "Solder le Compte": the balance of the account's stored totals (c20's current record, fields 17-20)
// without what the line as loaded put on it (only when it is live and on that account).
// A total that does not read is named in `unreadable` (and counted as zero), the loaded line's own amount
// that does not read in `lineUnreadable` (it cannot be taken off the total): nothing is proposed then.
struct Pair {
  long long francs = 0, euros = 0;
  std::vector<UnreadableAmountLine> unreadable;
  std::vector<UnreadableAmountLine> lineUnreadable;
};
Pair AccountBalanceWithoutLine(Table& c20, const std::string& account, const LineRecord& loaded);
// The refusal of a balance over totals that do not read (an account's, a section's): named, the
// ReConstruction advised.
std::string UnreadTotalRefusal(const std::vector<UnreadableAmountLine>& totals);
// The refusal of a balance over the loaded line's own amount that does not read: named, its amount to be
// typed again.
std::string UnreadLineRefusal(const std::vector<UnreadableAmountLine>& amounts);
// The totals of the current record of `table` (fields `first` to `first` + 3) that do not read, named.
std::vector<UnreadableAmountLine> UnreadTotalsOf(Table& table, int first);

// The line that takes a balance (debit less credit of the others) in the entry currency: the opposite
// amount on its side; with `convert` the other currency is the conversion at `rate`, else it stays 0.
struct BalancingLine {
  char sense = 'D';
  long long francs = 0, euros = 0;
  bool hasFrancs = false, hasEuros = false;  // the fields that get a value (zero: both empty)
};
BalancingLine LineTaking(long long balanceF, long long balanceE, bool euros, bool convert, double rate);

// Cents converted at the rate (francs per euro), rounded half away from zero.
long long ToEuros(long long francs, double rate);
long long ToFrancs(long long euros, double rate);

// The rounding line a balanced entry currency asks for (RoundingLineFlag): 1 a piece typed in euros
// balanced in euros but not in francs, 2 the other way round, 0 none (always 0 in a dossier kept in euros
// only).
int RoundingLineWanted(const Balances& piece, bool entryEuros, bool euroOnly);

// What follows a new line accepted with Enter in an amount: the next line of the piece, a new piece, or
// nothing; and the rounding line asked on the way.
enum class NextStep { Nothing, NewLine, NewPiece };
struct NextLine {
  NextStep step = NextStep::Nothing;
  int roundingFlag = 0;
};
NextLine NextLineAfter(const Balances& piece, bool entryEuros, bool euroOnly);

}  // namespace posting
