// One general line of the draft as the line form edits it: read from C50, written back under its record
// lock with its sort record kept in step, its old amounts taken off and its new ones added to the totals of
// its account (and collective) and of its journal-month's header; a line left with no amount cancelled with
// its sort record; an empty new line given up; and the analytic lines of a line removed with their sections'
// totals when the line's account no longer takes them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "data/account_totals.h"
#include "data/line_change_steps.h"
#include "data/lookup.h"

class Table;

namespace posting {

// The four amount fields of the form (debit and credit in francs and in euros), as typed.
struct LineAmounts {
  double debitF = 0, creditF = 0, debitE = 0, creditE = 0;
  // The francs and euros of the side of `sense` ("D" the debit fields, any other the credit ones).
  double Francs(char sense) const { return sense == 'D' ? debitF : creditF; }
  double Euros(char sense) const { return sense == 'D' ? debitE : creditE; }
};

// A line as the form holds it.
struct LineValues {
  std::string day;           // as typed, two digits
  std::string distribution;  // distribution code
  std::string account;       // as typed; normalised by the save
  std::string labelCode;
  std::string label1, label2, label3;
  std::string dueDate;       // DD/MM/YY, blank for none
  bool euros = true;         // typed in euros ("En Euros" checked)
  char sense = 'D';          // the sense shown: 'D' debit, any other credit
  LineAmounts amounts;
  std::string vat;           // the VAT mark as the list shows it (its first character is stored)
};

// A line as it stands in C50.
struct LineRecord {
  std::uint32_t recno = 0;
  bool live = false;
  std::string key;           // C50CODE, 24 characters
  std::string day, distribution, account, labelCode, label1, label2, label3;
  std::string dueDate;       // stored YYMMDD, blank for none
  char entry = 'O';          // field 16: "O"/"N", lower case for a rounding line
  char sense = 'C';
  double francs = 0, euros = 0;  // as the reports read them: 0 for a text that does not read
  std::vector<UnreadableAmountLine> unreadAmounts;  // the amounts above whose text does not read, named
  std::string letterF, letterE;
  std::string vat;
};

// The current record of c50 read.
LineRecord ReadLineRecord(Table& c50);
// The amounts of the current line of c50 (a general or an analytic one) whose text does not read, named.
std::vector<UnreadableAmountLine> UnreadLineAmounts(Table& c50);
// The line of a key made current on C50CODE (cancelled or not): found, not found when no line has that key,
// refused when the look-up could not read.
Lookup FindLine(Table& c50, const std::string& key);

// The C50 record text that names a line in lock notices: fields 7 down to 1.
std::string LineRecordText(Table& c50);

struct SaveRequest {
  std::string key;              // the line's C50CODE key
  LineValues values;
  bool roundingLine = false;    // an exchange-rounding line: its entry letter in lower case
  bool analyticAllowed = false; // the account takes an analytic split: a line without amount stays
  std::string previousAccount;  // the account the line's analytic split was made for (blank: none)
};

enum class SaveOutcome {
  Saved,
  ZeroLineCancelled,  // saved without amount on an account without analytic: cancelled with its sort record
  NotFound,           // no line of that key: nothing written
  LockRefused,        // another station holds the line: nothing written, no total moved
  Failed,             // a write or a read was refused (the refusal says it): the line and the totals
                      // as they were, unless they could not all be put back (putBack false)
  TotalsTooLarge,     // a total could not hold the line (overflow): nothing written, or all put back
};

struct SaveResult {
  SaveOutcome outcome = SaveOutcome::NotFound;
  std::string account;          // the account written (normalised)
  std::uint32_t recno = 0;
  long analyticRemoved = 0;     // analytic records of the previous account removed
  // False when a save that failed part-way could not take back all it wrote (a disk refusing
  // every write): the totals no longer match the lines until a rebuild.
  bool putBack = true;
  TotalsOverflow overflow;      // TotalsTooLarge: the total that could not hold the line
  // Failed, TotalsTooLarge: what the save tells the user, in one sentence (the file refused and why,
  // whether all was put back; the total and the largest amount it takes).
  std::string refusal;
  // Saved over the line's own amount that did not read: the totals that still count the old amount
  // named, the ReConstruction advised (OwnAmountReplacedText); "" otherwise.
  std::string totalsLeft;
};

// What a line saved (or `cancelled`) over its own amount that did not read says: the totals of its
// account (and collective) and of its journal-month (`header`, "YYMMJJJB") still count the old
// amount and no longer equal their lines; the ReConstruction makes them again.
std::string OwnAmountReplacedText(const std::string& account, const std::string& header, bool cancelled = false);
// The same for an analytic line: the total of its section (the only one its amounts move).
std::string OwnSectionAmountText(const std::string& section, bool cancelled);

// Saves the line of the request through the cursors c50 and c60 (the totals go through TableC10, TableC20
// and TableC30). Nothing is written before the line's lock is held: the lock the form holds already is
// granted at once and kept; another station's lock shows its notice once and is tried once more, then the
// save gives up and changes nothing. Under the lock, as one change of lines (LineChangeSteps): the old
// amounts are taken off the old account and header, the fields written, the sort record derived again,
// the new amounts added, the analytic split of a previous account removed with its sections' totals (its
// records held before the first write), a line left without amount cancelled with its sort record (unless
// its account takes analytic), and both tables committed. A total that cannot hold the new amounts refuses
// the save before anything is written. A write or a read refused on the way fails the save: what it had
// written is put back, and the engine's boxes held back for its one sentence (SaveResult::refusal).
SaveResult SaveLineRecord(Table& c50, Table& c60, const SaveRequest& request);

// The refusals of an amount a total cannot hold and their sentence, kept with the changes of lines
// (data/line_change_steps.h).
using ::kMsgAccountTotalTooLarge;
using ::kMsgHeaderTotalTooLarge;
using ::kMsgSectionTotalTooLarge;
using ::TotalsTooLargeText;

// The analytic records of a line (key: the general line's C50CODE key) made for `account` on C50ANAL: mode 3
// removes those of both axes ("V" and "W", then "X" and "Y"), mode 2 those of the second axis ("X", "Y"),
// any other mode nothing. The live records are locked first, then, as one change of lines, each record and
// its sort record cancelled and the sections' totals taken off ("W" and "Y" lines): all of them, or none
// (another station holding one, a write or a read refused: *refusal then says why). The account is
// normalised as every account of a line is, so an auxiliary account's split is found. C50 is left on
// C50CODE. The number of records removed.
long DeleteLineAnalytic(Table& c50, Table& c60, const std::string& key, const std::string& account, int mode,
                        std::string* refusal = nullptr);

// The analytic split made for `account` agrees with the line: the header copy of each axis ("V", and "X" with
// two axes), when there is one, carries the line's amount on its sense, and the analytic lines ("W", "Y") add
// up, debit less credit, to the line's debit less credit (`lineF`, `lineE`, in cents; the francs only when
// `checkFrancs`). C50 is left on C50CODE.
bool AnalyticSplitBalances(Table& c50, const std::string& key, const std::string& account, bool twoAxes,
                           long long lineF, long long lineE, bool checkFrancs);

// "Quitter" on a line: when its record is live and has no account (a new line never saved), it is cancelled
// with its sort record, both or neither (*refusal then says why). True when it was removed.
bool RemoveEmptyNewLine(Table& c50, Table& c60, const std::string& key, std::string* refusal = nullptr);

// The stored due date of a DD/MM/YY text ("" for a blank one).
std::string StoredDueDate(const std::string& display);

}  // namespace posting
