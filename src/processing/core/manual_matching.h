// The manual matching of one account: the lines of the account in a date range and a letter
// filter, the pending marks ("+" to receive the current letter, "-" to lose the letter) kept in
// C60 TLETP, the running totals of what was marked, the letter choice, saving the letters
// (SaveLetters) and the balancing piece that writes off a small difference ("Solder et
// Enregistrer"). The list window shows and drives it; tests drive it without a window.
//
// It works on the program's tables: its own cursors on C60, C50 and C40 (shared), and the
// program-wide TableC20 (whose cursor holds the account's lock while the list is open, so that
// the totals updates keep it) and TableC10. Each mark and each save of the letters is a change of
// lines of its own (letters_change.h), made whole or not at all.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "data/table.h"
#include "processing/core/matching_lines.h"

namespace processing {

// The 22 characters the form hands to the list: account 8, first and last dates (StoredDate
// 6 each), the letter filter ('1' all lines, '2' without a letter, '3' with one), 'O' for euros.
struct ManualMatchingParameters {
  std::string account, firstDate, lastDate;
  char filter = '1';
  bool euros = false;
  static constexpr int kLength = 22;
  static ManualMatchingParameters Parse(const std::string& text);
  std::string Text() const;
};

// One line of the account as the list shows it and the word search reads it.
struct ManualLine {
  std::uint32_t c60 = 0;      // physical record of the sort record
  bool readable = false;      // the sort record could be read and is live
  bool reached = false;       // its source line could be reached
  bool draft = false;
  std::string piece, date, journal, labelCode, labelText, label, label2, label3, due;
  char sense = ' ';
  long long cents = 0;        // unsigned amount of the currency
  std::string letter;         // letter of the currency (4 characters)
  std::string francsLetter;   // letter in francs (the word search reads it)
  std::string mark;           // pending mark (4 characters)
};

enum class MarkCommand { Lettrer, LettrerOuDelettrer, Delettrer };

// Unread: the account or its lines could not be read (a read refused): no list, never taken for an
// account missing or without lines.
enum class ManualOpen { Opened, NoAccount, AccountLocked, NoTable, NoLine, Unread };

enum class BalanceOutcome {
  Written,
  Refused,        // the conditions do not hold: beep, nothing written
  NoJournal,      // the journal of constant 053 is missing or cancelled
  HeaderLocked,   // another station enters that journal-month: nothing written
  DossierLocked,  // the piece counter could not be taken (a refused write: BalanceRefusal says why)
  TooManyLines,   // the draft would pass 999,999 records: nothing written
  Failed,         // an engine error: nothing left written (BalanceRefusal says why)
  TotalsTooLarge, // a total cannot hold the balancing piece: nothing written (BalanceRefusal says which)
};

class ManualMatching {
 public:
  explicit ManualMatching(const ManualMatchingParameters& p);
  ~ManualMatching();
  ManualMatching(const ManualMatching&) = delete;
  ManualMatching& operator=(const ManualMatching&) = delete;

  // Opens the cursors, locks the account (no retry), blanks the marks of the account, finds the
  // letter offered and the rows. Anything but Opened: the list closes.
  ManualOpen Open();
  // Gives the account's lock back (unless the record text editor holds that record).
  void Close();

  const ManualMatchingParameters& Parameters() const { return p_; }
  int CurrencyIndex() const { return currency_; }
  bool ExemptAccount() const { return exempt_; }
  bool Modified() const { return modified_; }
  // The refusal of the last Balance that a total could not hold, or that a write or read refused by the
  // system stopped, in one sentence ("" when neither).
  const std::string& BalanceRefusal() const { return balanceRefusal_; }
  const std::string& CurrentLetter() const { return currentLetter_; }
  const std::string& FirstAllowedLetter() const { return firstAllowed_; }
  long long MarkedDebit() const { return markedDebit_; }    // cents
  long long MarkedCredit() const { return markedCredit_; }  // cents

  // The rows: C60 record numbers of the lines in the date range that pass the letter filter.
  const std::vector<std::uint32_t>& Rows() const { return rows_; }
  ManualLine ReadLine(std::uint32_t c60);
  // The label code's short text: field 4 of the C10 record "L" + code, characters 1-7;
  // "???" and four blanks when missing or cancelled.
  std::string LabelText(const std::string& code);

  // A marking command on a row; false (beep) when it does not apply.
  bool Mark(std::size_t row, MarkCommand command);
  // The letter typed for "Changer la prochaine Lettre": false (beep, ask again) when refused.
  bool ChooseLetter(const std::string& typed);

  // "Enregistrer" may run: something was marked and, on an account that is not exempt, the
  // "+" lines balance among themselves and each group losing letters loses all its lines or
  // leaves the rest balanced; on an exempt account the totals are not both zero.
  bool CanSave();
  // Writes the letters of the marked lines into their lines and sort records, as one change of lines:
  // all of them, or none (false, Refusal() saying why; empty when another station's lock, which its
  // notice named, stopped it).
  bool SaveLetters();
  // Why the last mark or save was refused, in one sentence ("" none).
  const std::string& Refusal() const { return refusal_; }

  // "Solder et Enregistrer" may run on the selected row.
  bool CanBalance(std::size_t row);
  // Writes the two-line balancing piece, then saves the letters (a refusal of the letters, the piece
  // written, is said in BalanceRefusal with the outcome Written).
  BalanceOutcome Balance(std::size_t row);

  // The status line: the row count, then the balance of the marked amounts.
  std::string StatusLine() const;

  MatchTables Tables() { return MatchTables{c40_, c50_, c60_}; }
  Table& C60() { return c60_; }

 private:
  struct AccountLine {
    std::uint32_t c60 = 0;
    long long cents = 0;  // signed
    std::string letter;   // trimmed letter of the currency
    char mark = ' ';
  };
  AccountLine* Find(std::uint32_t c60);
  bool WriteMark(std::uint32_t c60, const char* mark);
  bool PassesFilter(const std::string& letter) const;
  bool MinusGroupsKeepBalance() const;
  long long MaxDifference() const;

  ManualMatchingParameters p_;
  int currency_ = 0;
  Table c40_, c50_, c60_;
  bool accountLocked_ = false;
  bool exempt_ = false;
  bool modified_ = false;
  std::string currentLetter_, firstAllowed_;
  std::string balanceRefusal_;
  std::string refusal_;
  long long markedDebit_ = 0, markedCredit_ = 0;
  std::vector<std::uint32_t> rows_;
  std::vector<AccountLine> lines_;  // every live line of the account, in C60CODE order
  std::string labelCode_, labelText_;
};

// Exempt accounts: the first three characters of the account in the "LettragesSauf" list of
// the dossier INI (section "Lettrages"), else of the program INI.
bool IsExemptAccount(const std::string& account);

}  // namespace processing
