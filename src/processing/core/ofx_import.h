// The run of the bank statement import: the dossier's bank of a statement, the transactions
// already imported, and the import itself (one two-line piece per new transaction, through the
// common writer of imported pieces). The statement window and the reconciliation call it.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "data/lookup.h"
#include "processing/core/bank_statement.h"

class MaintenanceProgress;
class Table;

namespace processing {

// The dossier INI section of the import: the bank chosen for a statement account
// ("Banque-" + account key), the default counterpart account ("CompteAttente") and label code
// ("CodeLibelle").
constexpr const char* kOfxIniSection = "ImportOfx";
constexpr const char* kOfxDefaultCounterpart = "471000";

// A bank of the dossier (C10 record of kind "Q").
struct DossierBank {
  std::string code, name;
  std::string bankCode, branch, account;  // the RIB's parts
  std::string iban;
  std::string generalAccount;  // field 5, 46-53
  std::string journal;         // field 5, 54-56 (the bank's treasury journal, "" none)
};
std::vector<DossierBank> ReadDossierBanks(Table& c10);

// The statement's account as one key: bank id / branch id / account id.
std::string StatementAccountKey(const BankStatement& statement);

// The index in `banks` of the bank whose RIB or IBAN is the statement's account, else the one
// remembered for that account in the dossier INI; -1 when none.
int FindStatementBank(const std::vector<DossierBank>& banks, const BankStatement& statement);
// Remembers the bank chosen for the statement's account in the dossier INI.
bool RememberStatementBank(const BankStatement& statement, const std::string& bankCode);

// The identity a transaction leaves in the dossier: the account key with the FITID, or, without
// one, with its date, amount and label.
std::string TransactionIdentity(const std::string& accountKey, const BankTransaction& t);
// The identities of a statement's transactions, in order. Without a FITID, the second and later
// transactions of one identity (two coffees of a day at one payee) are told apart by their
// occurrence within the statement ("|#2" ...): the first keeps the plain identity, so that what
// earlier imports recorded still matches.
std::vector<std::string> TransactionIdentities(const std::string& accountKey, const std::vector<BankTransaction>& ts);
// The FITIDs the statement gives to two transactions that differ (date, amount or texts), with
// both values, in French, one a line; "" when none. Such a statement is refused: its second
// transaction would be taken for the first.
std::string ReusedFitids(const BankStatement& statement);

// The file of the identities of the imported transactions: DossierFolder + "cof" + code + ".txt",
// one a line: identity, tab, month YYMM, journal, piece number, the bank's general account.
std::string OfxIdentitiesPath();
struct ImportedIdentity {
  std::string identity, month, journal, piece, account;
};
std::vector<ImportedIdentity> ReadImportedIdentities();
std::set<std::string> ImportedIdentitySet();
// The lock file held across stations while a run reads the identities and writes its pieces and
// their identities (ImportHold): DossierFolder + "cof" + code + ".lck".
std::string OfxImportLockPath();
// The totals journal of a run (PostRunTotals): DossierFolder + "cof" + code + ".tot".
std::string OfxRunTotalsPath();

// The labels of a transaction's lines: label 1 from NAME (else MEMO), 25 characters, the rest and
// the MEMO in labels 2 and 3.
void TransactionLabels(const BankTransaction& t, std::string& label1, std::string& label2, std::string& label3);

// A label code the lines can take: none, or a live "L" record of `c10` (the ASCII import's rule). Found
// when it may be taken, not found when it may not, refused when its record could not be read.
Lookup LabelCodeUsable(Table& c10, const std::string& code);
// The refusal of a label code, as the ASCII import words it.
std::string UnknownLabelCodeMessage(const std::string& code);

// A statement run stopped half-way (its start line in the log without an end line), as it was
// put in order from what it kept.
struct StoppedStatementRun {
  std::string file;     // the statement file its start line names
  std::string journal;
  std::string pieces;   // "journal J pièces X à Y", as its log lines end
  long kept = 0;        // its pieces the draft held whole, kept
  long dropped = 0;     // its transactions without a whole piece, their identities taken back
  long cutPieces = 0;   // among those, pieces cut short: their lines cancelled
  long cutLines = 0;
};
// Puts in order every run the log names as stopped: the pieces the draft holds whole kept (the
// sort records they lack derived, their totals written once, through the runs' totals journal);
// the lines of a piece cut short cancelled; the identities of the transactions without a whole
// piece taken back, so that the next import of the statement writes them; then the run's closing
// line "Interrompu" in the log. False when a write was refused: the runs not yet closed stay as
// they are for the next attempt, and *refusal names the write (RefusedWriteText). `progress`, when
// given, shows each run's statement and its pieces (PutStoppedPiecesInOrder).
bool PutStoppedStatementRunsInOrder(Table& c10, Table& c50, Table& c60, std::vector<StoppedStatementRun>* done,
                                    std::string* refusal, MaintenanceProgress* progress = nullptr);
// What an import's end message says first of the stopped runs it took up: the pieces cut short,
// counted once, then each run and its transactions imported again.
std::string StoppedStatementRunsResumed(const std::vector<StoppedStatementRun>& runs);

struct StatementImport {
  BankStatement statement;
  std::string file;          // the statement file, for the log line
  std::string bank;          // the dossier bank's code
  std::string bankAccount;   // its general account
  std::string journal;       // the treasury journal
  std::string counterpart;   // the account of the other line
  std::string labelCode;     // one character, "" none
};

struct StatementImportResult {
  bool written = false;      // pieces were written
  bool nothingNew = false;   // every transaction was imported before: nothing to write
  std::string message;       // the end message or the refusal, in French
  long imported = 0, skipped = 0;
  long zeroAmounts = 0;      // transactions of amount 0,00 left out (nothing to enter), told at the end
  std::vector<long> numbers;  // piece numbers given
  std::string logLine;       // "" when nothing was written
};

// Checks the currency, the two accounts (live in the program's TableC20) and the label code (a
// live "L" record of `c10`); then, holding the import lock against the other stations, leaves out
// the transactions already imported, writes one piece of two lines per new transaction through
// WriteImportedPieces (tables open in the program's TableC10, and the draft `c50`, `c60`) and
// the log line. The identities of the new transactions are recorded once their numbers are taken,
// before the first line is written, and taken back when the lines cannot be written: a run
// either writes its pieces with their identities or neither. Nothing is written when any check
// fails or another station's run holds the lock.
StatementImportResult ImportStatement(Table& c10, Table& c50, Table& c60, const StatementImport& request);

}  // namespace processing
