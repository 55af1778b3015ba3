// The VAT returns of the open dossier, without windows: the months of the financial year and of a
// period, the return on debits (the balances of the 445* accounts over the period and before it)
// and the return on receipts (the VAT contained in the customer payments of the treasury
// journals, the deductible VAT and the credit carried on 44567), both summed in whole cents.
//
// Months travel between the dialogs and the windows as "MM/YY" texts (as the month boxes show
// them) and are compared as stored month keys (the four first characters of a StoredDate, the
// year's decade written as the runtime stores it), so that a year from 1999 to 2000 or in the
// 2030s lists, couples and sums its months as any other.
//
// The computations read through the caller's cursors: C10 (tag C10CODE), C20 (C20CODE), C40,
// C50, and C60 (C60CODE for the debits, C60DTVAE for the receipts). They take no lock.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "data/entry_lines.h"
#include "data/lookup.h"

class Table;

namespace vat {

// ---- months -------------------------------------------------------------------------------------------------------

// The stored month key ("A912" for 12/09) of a month text "MM/YY"; "" when the text is not one.
std::string StoredMonthKey(const std::string& monthText);
// "MM/YY" of a stored month key (the first four characters of a StoredDate).
std::string MonthTextOfKey(const std::string& storedKey);
// The months of the open dossier's financial year, first to last, as "MM/YY".
std::vector<std::string> FinancialYearMonths();
// "MM/YY" of the working date ("" when it is not a date).
std::string WorkingMonth();
// The month coupling of the two boxes: after the start box changed (startChanged) an end before
// it becomes the start; after the end box changed a start after it becomes the end.
void CoupleMonths(std::string& start, std::string& end, bool startChanged);
// "de 03/30" for one month, "de 01/30 à 03/30" for more.
std::string PeriodText(const std::string& start, const std::string& end);

// ---- the entry lines ----------------------------------------------------------------------------------------------

// One entry line read from its own record (C50 or C40) through the current sort record of C60.
struct VatLine {
  std::string month;    // BMOIS, stored YYMM
  std::string day;
  std::string journal;  // 3 characters
  std::string piece;
  std::string account;  // 8 characters
  std::string labelCode;
  std::string label;
  std::string due;      // stored YYMMDD or blanks
  std::string letter;   // the matching letter in francs
  std::string mark;     // the VAT mark (1 character)
  char sense = ' ';
  long long cents = 0;  // in the currency asked
  // Its amount does not read as a number (counted as zero): where it stands, to be named.
  bool unreadable = false;
  char file = 'C';          // "B" the draft C50, "C" the closed C40
  std::uint32_t recno = 0;
};

class LineReader {
 public:
  LineReader(Table& c40, Table& c50, Table& c60) : c40_(c40), c50_(c50), c60_(c60) {}
  void SetEuros(bool euros) { euros_ = euros; }
  // The sense and amount of the current sort record's line; false when it cannot be reached. A
  // line whose amount does not read counts as zero and is noted.
  bool ReadAmount(char& sense, long long& cents);
  // Every field the returns and the detailed listing read; false when it cannot be reached.
  bool ReadLine(VatLine& line);
  // A line read by ReadLine that counts, noted when its amount does not read.
  void Note(const VatLine& line);
  // The lines noted since the last Forget, each once.
  const std::vector<UnreadableAmountLine>& Unreadable() const { return unreadable_; }
  void Forget() {
    unreadable_.clear();
    refusedFile_.clear();
    refusedResult_ = 0;
  }
  // A look-up of the computation: `found`, the first refusal (a read the system refused) kept.
  const Lookup& Kept(const Table& table, const Lookup& found);
  // True when a read was refused since the last Forget: the sums are not known.
  bool Refused() const { return refusedResult_ != 0; }
  // The file not read and why.
  std::string RefusedText() const;

 private:
  Table* Source(long& recno);
  Table& c40_;
  Table& c50_;
  Table& c60_;
  bool euros_ = false;
  std::vector<UnreadableAmountLine> unreadable_;
  std::string refusedFile_;
  int refusedResult_ = 0;
};

// ---- VAT on debits ------------------------------------------------------------------------------------------------

struct DebitsReturn {
  std::string startMonth, endMonth;  // "MM/YY"
  bool euros = false;
  // Cents; the accounts' debit minus credit, signed as the return shows them.
  long long intraCommunity = 0;  // 4452*, credit minus debit
  long long collected = 0;       // 4457*, credit minus debit
  long long fixedAssets = 0;     // 44562*
  long long otherGoods = 0;      // 4456* less 44562*
  long long previousCredit = 0;  // 44567* before the period
  long long otherAccounts = 0;   // the rest of the 445* balance at the end of the period
  long long nonTaxable = 0;      // the accounts of the dossier INI
  long long net = 0;             // minus the balance of every 445* account at the end of the period
  // The lines counted as zero, their amount not read: the report of the return names them to the
  // report engine, which writes no export over them.
  std::vector<UnreadableAmountLine> unreadable;
  long long ToPay() const { return net > 0 ? net : 0; }
  long long Credit() const { return net < 0 ? -net : 0; }
};

// The 101-character text of a return (months, amounts 10 wide with 2 decimals, "O"/"N", the
// non-taxable total). The amounts themselves go to the window as numbers, never through it.
std::string VatReturnText(const DebitsReturn& r);

class DebitsComputation {
 public:
  DebitsComputation(Table& c10, Table& c20, Table& c40, Table& c50, Table& c60);

  // The collective accounts of C10 (kind "B", a cancelled one too, as the totals count them):
  // account (8 characters) -> the collective's code character. Any number of them.
  void LoadCollectiveAccounts();
  const std::map<std::string, char>& CollectiveAccounts() const { return collectives_; }

  // The period (stored month keys) and currency of the sums below.
  void SetPeriod(const std::string& startKey, const std::string& endKey) { startKey_ = startKey, endKey_ = endKey; }
  void SetEuros(bool euros) { reader_.SetEuros(euros); }
  // Debit minus credit, in cents, of the accounts beginning with `prefix`: of the period's lines,
  // and of the lines before the period.
  long long SumOverPeriod(const std::string& prefix);
  long long SumBeforePeriod(const std::string& prefix);

  // Unread: a read the system refused left the sums unknown (RefusedText says which file).
  enum class Outcome { Computed, NilNet, BadPeriod, Unread };
  // The return of the months start to end ("MM/YY"); BadPeriod (nothing summed) when the end is
  // before the start; NilNet when the net is zero to the cent (the return is filled all the same).
  Outcome ComputeReturn(const std::string& start, const std::string& end, bool euros, DebitsReturn& out);
  // The lines of the last return whose amount does not read as a number (counted as zero).
  const std::vector<UnreadableAmountLine>& Unreadable() const { return reader_.Unreadable(); }
  std::string RefusedText() const { return reader_.RefusedText(); }

 private:
  // Every C20 account beginning with `prefix`: its sums over and before the period.
  struct AccountSums {
    std::string account;
    long long over = 0;
    long long before = 0;
  };
  std::vector<AccountSums> Walk(const std::string& prefix);
  // The key of the account's lines on C60CODE (the collective's character for a collective).
  std::string LineKey(const std::string& account) const;

  Table& c10_;
  Table& c20_;
  Table& c60_;
  LineReader reader_;
  std::map<std::string, char> collectives_;
  std::string startKey_, endKey_;
};

// ---- VAT on receipts ----------------------------------------------------------------------------------------------

// Dossier constants 069-071 trimmed and joined: the first letters of the customer accounts.
std::string CollectiveLettersText();

enum class ReceiptClass { NotCounted, Receipt, FixedAssets, OtherGoods };

struct ReceiptsReturn {
  std::string startMonth, endMonth;  // "MM/YY"
  bool euros = false;
  long long receiptsVat = 0;     // VAT contained in the receipts
  long long fixedAssets = 0;     // 44562*, debit minus credit
  long long otherGoods = 0;      // 4456* other than 44562* and 44567*
  long long previousCredit = 0;  // 44567*
  long long net = 0;
  std::vector<UnreadableAmountLine> unreadable;  // as the return on debits keeps them
  long long ToPay() const { return net > 0 ? net : 0; }
  long long Credit() const { return net < 0 ? -net : 0; }
};

// The 71-character text of a receipts return.
std::string ReceiptsReturnText(const ReceiptsReturn& r);

// The VAT contained in an amount including it at `rate` percent, in cents, rounded half away
// from zero.
long long VatContained(long long cents, double rate);

class ReceiptsComputation {
 public:
  // C60 is walked through the tag C60DTVAE.
  ReceiptsComputation(Table& c10, Table& c40, Table& c50, Table& c60);

  void SetCollectiveLetters(const std::string& letters) { letters_ = letters; }
  // The treasury journals of C10 (kind "J", type "T"); false when there is none.
  bool LoadTreasuryJournals();
  // "BQ \CAI\" for two journals.
  std::string TreasuryJournalsText() const;
  // The rates of the VAT codes (C10 kind "T"), read once.
  void LoadRates();
  // The rate of a VAT mark, found by its whole code; 0 when no active code holds it.
  double RateOf(const std::string& mark) const;

  ReceiptClass Classify(const std::string& journal, const std::string& account) const;

  void SetPeriod(const std::string& startKey, const std::string& endKey) { startKey_ = startKey, endKey_ = endKey; }
  void SetEuros(bool euros) { reader_.SetEuros(euros); }
  // The month key of a line: its due date's month, or its booking month when it has none.
  static std::string MonthOf(const VatLine& line);
  bool IsPeriodLine(const VatLine& line) const;
  bool IsPreviousCreditLine(const VatLine& line) const;
  // The current C60 line read (`line`); false when it cannot be reached.
  bool ReadCurrent(VatLine& line) { return reader_.ReadLine(line); }
  // The next line of the period (step 1 moves first); false at the end of C60.
  bool NextPeriodLine(int step, VatLine& line);
  bool GoFirst();

  enum class Outcome { Computed, BadPeriod, NoTreasuryJournal, Unread };
  Outcome ComputeReturn(const std::string& start, const std::string& end, bool euros, ReceiptsReturn& out);
  // The lines of the last return whose amount does not read as a number (counted as zero).
  const std::vector<UnreadableAmountLine>& Unreadable() const { return reader_.Unreadable(); }
  std::string RefusedText() const { return reader_.RefusedText(); }
  // For a walk of the lines outside ComputeReturn (the detailed listing): a read refused since Forget.
  bool Refused() const { return reader_.Refused(); }
  void Forget() { reader_.Forget(); }

  Table& c10() { return c10_; }
  Table& c60() { return c60_; }
  static constexpr const char* kTag = "C60DTVAE";

 private:
  Table& c10_;
  Table& c60_;
  LineReader reader_;
  std::string letters_;
  std::vector<std::string> journals_;
  std::map<std::string, double> rates_;  // the whole GCODE field -> rate
  int codeWidth_ = 14;
  std::string startKey_, endKey_;
};

}  // namespace vat
