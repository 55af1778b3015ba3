// The bank reconciliation of one account: the account's lines without a letter up to the
// statement's date beside the statement's transactions, the proposals that pair them, the lines
// ticked by the user, the balances (reconciled book balance, statement balance, difference), the
// statement's letter and "Enregistrer", which gives the ticked lines that letter in C60 and in
// their C50 or C40 line as the manual matching saves letters. A bank line is reconciled when its
// letter of the chosen currency is set. The windows drive it; tests drive it without a window.
//
// Like the manual matching it holds the account's C20 record (the program-wide TableC20) locked
// while it is open, so that no other station matches or reconciles the account meanwhile.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "data/table.h"
#include "processing/core/bank_statement.h"
#include "processing/core/matching_lines.h"

namespace processing {

// The days a transaction's date may lie from its line's ("Rapprochement", "JoursEcart" of the
// dossier INI, else of the program INI; 5 when neither gives a number).
int ReconciliationWindowDays();

// A bank line of the account not yet reconciled, up to the statement's date.
struct ReconciliationLine {
  std::uint32_t c60 = 0;
  char file = 'B';            // "B" the draft C50, "C" the closed C40
  std::uint32_t recno = 0;    // the line's record in its file
  std::string date;           // stored date YYMMDD
  std::string journal, piece, label;
  long long cents = 0;        // signed: positive for a debit (money received)
  std::string identity;       // the bank's identity of a line written by the statement import
  int transaction = -1;       // the statement transaction it is paired with, -1 none
  bool ticked = false;
};

// Unread: the account or its lines could not be read (a read refused): nothing opened, never taken for
// an account missing.
enum class ReconciliationOpen { Opened, NoAccount, AccountLocked, NoTable, Unread };

enum class ReconciliationSave {
  Saved,
  NothingTicked,  // no line ticked: nothing written
  Failed,         // a write or a read refused, or a line another station kept locked: nothing written
};

class Reconciliation {
 public:
  // The bank identity of a line written by the statement import ("" for the others), and the
  // identity the import gives a transaction of the statement; lines and transactions of the same
  // identity are paired first.
  using LineIdentityOf = std::function<std::string(const ReconciliationLine& line)>;
  using TransactionIdentityOf = std::function<std::string(const BankTransaction& transaction)>;

  Reconciliation(const std::string& account, bool euros);
  ~Reconciliation();
  Reconciliation(const Reconciliation&) = delete;
  Reconciliation& operator=(const Reconciliation&) = delete;

  // Opens the cursors and locks the account's C20 record (no retry); finds the letter offered.
  ReconciliationOpen Open();
  // Gives the account's lock back.
  void Close();
  bool IsOpen() const { return locked_; }

  const std::string& Account() const { return account_; }
  int CurrencyIndex() const { return currency_; }

  // Reads the lines up to the statement date (stored YYMMDD): the book balance, the lines without
  // a letter. The ticks and pairs are dropped. False when a line could not be read: the lines are then
  // not all there.
  bool Load(const std::string& statementDate);
  const std::string& StatementDate() const { return date_; }
  // The statement: its closing balance and its transactions (those dated after the statement
  // date are kept but paired with nothing). A statement typed by hand has no transaction.
  void SetStatement(const BankStatement& statement);
  void SetClosingBalance(long long cents) { statement_.closingCents = cents; }
  const BankStatement& Statement() const { return statement_; }
  // Set before Load.
  void SetIdentityOf(LineIdentityOf line, TransactionIdentityOf transaction) {
    lineIdentity_ = std::move(line);
    transactionIdentity_ = std::move(transaction);
  }

  // Pairs lines and transactions: the bank identity first, then the same amount and sense at the
  // nearest date within `windowDays`; each line and each transaction once. The paired lines are
  // ticked; the other ticks are kept.
  void Propose(int windowDays);
  // Ticks or unticks a line; false when the index is out of range.
  bool Tick(std::size_t line, bool ticked);
  // Unticks everything and forgets the pairs.
  void ClearTicks();

  const std::vector<ReconciliationLine>& Lines() const { return lines_; }
  // The transactions that no line is paired with (the statement's items missing from the books).
  std::vector<std::size_t> UnpairedTransactions() const;

  // Balances in cents, the bank's money positive (debit of the account).
  long long BookBalance() const { return book_; }
  long long UnreconciledDebit() const;   // lines left unticked, debits
  long long UnreconciledCredit() const;  // lines left unticked, credits
  long long ReconciledBalance() const { return book_ - UnreconciledDebit() + UnreconciledCredit(); }
  long long StatementBalance() const { return statement_.closingCents; }
  long long Difference() const { return StatementBalance() - ReconciledBalance(); }
  std::size_t TickedCount() const;

  // The statement's letter: after the account's highest, changeable.
  const std::string& Letter() const { return letter_; }
  // The letter typed to change it: 1 to 4 letters or digits; false otherwise.
  bool ChooseLetter(const std::string& typed);

  // Writes the letter into the source line and the sort record of every ticked line, each under its
  // record lock, as one change of lines (letters_change.h): all of them or none; a line lettered
  // meanwhile keeps its letter. The saved lines leave the list.
  ReconciliationSave Save(std::size_t* written = nullptr);
  // Why the last save failed, in one sentence ("" when a lock another station kept, named by its
  // notice, stopped it).
  const std::string& Refusal() const { return refusal_; }
  // The log line of a saved reconciliation.
  std::string LogLine(std::size_t written) const;

 private:
  MatchTables Tables() { return MatchTables{c40_, c50_, c60_}; }

  std::string account_;
  int currency_ = 0;
  Table c40_, c50_, c60_;
  bool locked_ = false;
  std::string date_;
  std::string letter_, highest_, saved_;
  std::string refusal_;
  long long book_ = 0;
  BankStatement statement_;
  std::vector<ReconciliationLine> lines_;
  LineIdentityOf lineIdentity_;
  TransactionIdentityOf transactionIdentity_;
};

// Pairs lines and transactions (the proposal's rule, shared with the benchmark): identity first,
// then the same signed amount at the nearest date within windowDays. Sets each line's
// `transaction` (or -1).
void PairLines(std::vector<ReconciliationLine>& lines, const std::vector<BankTransaction>& transactions,
               int windowDays);

}  // namespace processing
