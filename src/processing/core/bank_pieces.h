// The common writer of imported pieces (the OFX statement import, the reconciliation's fees, the
// ASCII import into the draft). Everything is checked before the first line is written: the dates
// inside the financial year, each piece balanced, the journals live, the draft's room for every
// line, and the header of every journal-month written into locked as "Saisir" locks it (a header
// the general file lacks is made once the lines are in: a run refused before them leaves the
// general file as it was). Then each piece takes its number as "Créer Pièce" does (the journal's
// own counter when it has one), its francs come from the euros at the dossier's parity with a
// rounding line where the piece then differs (none in a dossier kept in euros only), and all
// lines go into the draft in batches with their sort records (AppendDraftLines): either every
// line is written, or none. Their totals are
// then summed per account and per journal-month and each record written once, through the run's
// totals journal (PostRunTotals), so that a run stopped at any point is taken up exactly.
// The caller ends with command RafraichirTotal, on which the headers list re-reads its rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "data/draft_lines.h"
#include "platform/system/files.h"
#include "runtime/dates.h"

class MaintenanceProgress;
class RefusalWatch;
class Table;

namespace processing {

// One line of an imported piece. Amounts are positive whole cents in the currency the line was
// typed in; the other currency is converted at the dossier's parity.
struct ImportedLine {
  std::string account;     // as typed: normalised by the writer
  char sense = 'D';        // "D" or "C"
  long long cents = 0;
  bool francs = false;     // the amount is in francs (else in euros)
  std::string labelCode;   // one character
  std::string label, label2, label3;  // cut to 25 characters
  std::string dueDate;     // YYYYMMDD, "" none
  std::string vatCode;     // "" none
  long sourceLine = 0;     // the caller's reference of the line (a file's line number), not written
};

struct ImportedPiece {
  std::string journal;
  Ymd date;
  std::vector<ImportedLine> lines;
  // The piece is typed in francs when every line is; it must then balance in francs, else in euros.
  bool TypedInFrancs() const;
};

enum class PiecesOutcome {
  Written,
  Empty,            // no piece, or a piece without a line
  DateOutsideYear,  // a date outside the financial year (or no year readable)
  Unbalanced,       // a piece does not balance in the currency it was typed in
  NoJournal,        // a journal missing or cancelled
  AmountTooLarge,   // an amount, or its other currency, does not fit a draft line's N(14,2)
  TotalsTooLarge,   // an account's or a journal-month's total cannot hold the lines
  AmountsUnread,    // a total the lines add to does not read (its guard's refusal)
  TooManyLines,     // the draft would pass its limit of records
  HeaderLocked,     // another station enters a journal-month written into
  CounterRefused,   // a piece counter held elsewhere or full
  Failed,           // an engine error: nothing left written
  // A write refused once the run was recorded (`numbered` answered true): the run stopped there,
  // as a stop of the program would stop it, its record kept; the next import of the same content
  // takes it up (its whole pieces kept, their totals finished, the others written again).
  Stopped,
};

struct PiecesReport {
  PiecesOutcome outcome = PiecesOutcome::Failed;
  std::size_t piece = 0;        // the piece a refusal is about (index in the input)
  long sourceLine = 0;          // the sourceLine of the line a refusal is about (0: the piece as a whole)
  std::vector<long> numbers;    // the number given to each piece, in order
  long lines = 0;               // lines written, rounding lines included
  long roundingLines = 0;
  std::string message;          // French text of a refusal ("" when written)
};

// The amounts of one line in cents, after conversion.
struct LineAmounts {
  long long euros = 0, francs = 0;
};
LineAmounts AmountsOf(const ImportedLine& line, double parity);
// The refusal of a line whose amount, or its twin at `parity`, a draft line cannot hold ("" when it fits):
// the amount and the largest a line takes in its currency.
std::string LineAmountRefusal(const ImportedLine& line, double parity);


// The checks that need no lock: non-empty pieces, amounts that fit a line in both currencies,
// dates in the financial year, balance, journals
// live and active in `c10`, and room in the draft for every line (rounding lines included) below
// `maxRecords`. Outcome Written when all pass.
PiecesReport CheckImportedPieces(Table& c10, Table& c50, const std::vector<ImportedPiece>& pieces,
                                 long maxRecords = kMaxLineRecords);

// Checks, locks, numbers and writes the pieces. `c10` is the program's general file (TableC10,
// through which the totals go), `c50` and `c60` the draft and its sort file. `numbered`, when
// given, runs once the numbers are taken and before the first line is written (a run's log line
// naming its first piece, the identities of a statement's transactions), with the number and the
// count of lines (rounding line included) of each piece: when it answers false, no line is
// written and the outcome is Failed with the message of string 29761.
// `totalsPath` names the run's totals journal ("" none: the totals are written without one).
using PiecesNumbered = std::function<bool(const std::vector<long>& numbers, const std::vector<long>& lineCounts)>;
PiecesReport WriteImportedPieces(Table& c10, Table& c50, Table& c60, const std::vector<ImportedPiece>& pieces,
                                 long maxRecords = kMaxLineRecords, const PiecesNumbered& numbered = nullptr,
                                 const std::string& totalsPath = "");

// The write (or read) a run saw refused: the file and why (the disk full, an I/O error), or the
// engine's failure; that the system gave no cause when the watch kept none.
std::string RefusedWriteText(const RefusalWatch& refusal);
// The end message of a run stopped by a refused write or read: the refusal (RefusedWriteText), and
// that the next import of the same content takes the run up.
std::string StoppedRunMessage(const RefusalWatch& refusal);
std::string StoppedRunMessage(const std::string& refused);
// The end message of a run refused before its first line: the refused write or read, and that
// nothing was imported.
std::string NothingImportedMessage(const RefusalWatch& refusal);
// A file an import keeps beside the books (the log, its identities or pieces record, its totals
// journal) read whole into `text`: true when it was, or is not there (`text` empty); false when
// it is there and could not be read, the read then kept by the refusal watches as refused.
bool ReadImportRecord(const std::string& path, std::string& text);

// The lines the writer gives a piece: its own, and its rounding line where it has one.
long PieceLineCount(const ImportedPiece& piece, double parity);

// The live lines the draft `c50` holds of a piece written by the writer: its journal, its stored
// month (YYMM, the decade letter included) and its number. A run stopped half-way is resumed by it.
int DraftPieceLines(Table& c50, const std::string& month, const std::string& journal, long piece);

// The live draft lines of that piece, by physical record number, lowest first.
std::vector<std::uint32_t> DraftPieceRecords(Table& c50, const std::string& month, const std::string& journal,
                                             long piece);

// A piece as a run recorded it before its first line: its journal, stored month, number and the
// lines the writer gives it.
struct RecordedPiece {
  std::string journal, month;
  long number = 0, lines = 0;
};

// What a run stopped half-way left of its pieces, put in order before they are written again.
struct StoppedPieces {
  std::vector<bool> whole;       // per piece: in the draft whole, kept
  std::vector<long> cancelled;   // per piece: its lines cancelled (a piece cut between its lines)
  bool refused = false;          // a write was refused: the pieces are not all in order yet
};

// Looks at the draft for the pieces a stopped run recorded. A piece holding all its lines is
// whole and kept, the sort records its lines lack derived from them; the lines of a piece cut
// short are cancelled as a line of the draft is cancelled (the line, its sort record derived
// first when missing). `keep` keeps every piece as it is (a run closed without being resumed).
// The totals of the records these lines move are then made to hold the kept lines once and the
// cut ones no more, whatever was done to them meanwhile (the totals made again from the lines,
// or the journal at `totalsPath` finished): each record is moved by what its live lines say it
// lacks, where that is a move the stopped run can owe, otherwise by what the run's journal says
// it owes. The moves go through the journal, so that a take-up stopped in its turn is finished
// by the next. `c10` is the program's general file (TableC10). Each piece is found through its
// key on C50CODE, and the live totals read in one pass over the lines. `progress`, when given,
// counts the pieces and shows each stage on its lines.
StoppedPieces PutStoppedPiecesInOrder(Table& c10, Table& c50, Table& c60, const std::vector<RecordedPiece>& pieces,
                                      const std::string& totalsPath, bool keep = false,
                                      MaintenanceProgress* progress = nullptr);
// The first line of the progress window while the pieces imported from `file` (its path, or its
// name) are taken up: the file's name.
std::string TakeUpFileLine(const std::string& file);

// ---- The totals journal of a run
// The totals of a run's lines are written once its lines are all in the draft. Before the first
// record moves, the journal file gets a section naming the pieces whose totals it carries and
// each C20 record and header with its move; then each record's totals read under its lock are
// appended before the record is written, and "fait" after the last. A run stopped there is
// taken up by the next one (PutStoppedPiecesInOrder): the records not reached are owed, and the
// one being written is owed only when it still holds what was read. Sections are appended; the
// file goes once the run's record is closed (RemoveRunTotals).

// Writes `totals` (the lines of `pieces`) through the journal at `path` ("" none).
// False when a write (of a record or of the journal) was refused: the run stopped at it, the
// section left unfinished for the next run.
bool PostRunTotals(Table& c10, const DraftTotals& totals, const std::vector<RecordedPiece>& pieces,
                   const std::string& path);
// A piece as the journal names it.
std::string RunTotalsKey(const std::string& journal, const std::string& month, long number);
// True when no journal is left at `path` (there was none, or it was removed).
bool RemoveRunTotals(const std::string& path);
// The files a run that takes none up starts without, left by runs that ended (their removal
// refused then): a totals journal's old sections would be read as covering the pieces of the same
// numbers that this run writes (a counter set back by a renumbering or a restore). Removed before
// anything is written; false, the file refused noted (RefusalWatch), when one cannot be: the run
// writes nothing.
bool RemoveEndedRunFiles(const std::vector<std::string>& paths);

// How long a run waits for another station's run into the same dossier, in milliseconds.
constexpr int kImportHoldWaitMs = 3000;

// One import run into the dossier at a time across stations: what a run reads of the imports made
// before (the identities of a statement's transactions, the fingerprints of the log) and everything
// it writes (its pieces, then their record) happen under one exclusive hold of a lock file of the
// dossier folder, so that two stations importing the same file at the same moment cannot both find
// it new. A run that finds the hold taken waits up to `waitMs`, then is refused (string 29760). The
// kernel lets the hold go when the process ends, however it ends.
class ImportHold {
 public:
  explicit ImportHold(const std::string& lockPath, int waitMs = kImportHoldWaitMs);
  bool held() const { return lock_.Held(); }
  // The French refusal when not held ("" when held).
  const std::string& message() const { return message_; }

 private:
  platform::FileLock lock_;
  std::string message_;
};

}  // namespace processing
