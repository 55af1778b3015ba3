// The ASCII import into the draft: a text file of entry lines in the format of docs/ascii_import.md
// (Windows-1252 or UTF-8, a first line naming the columns, ";", tab or "|" between them), read and
// checked line by line against the dossier before anything is written, then written as pieces
// through the writer of imported pieces. One error writes nothing; the errors also go to a text
// file beside the imported one. An imported file is renamed with the date and time, and its
// content is recognised again from the log, where each run leaves its fingerprint.
#pragma once

#include <string>
#include <vector>

#include "dossier/core/restore_files.h"
#include "processing/core/bank_pieces.h"

class MaintenanceProgress;
class Table;

namespace processing {

// The process name of the log lines.
inline constexpr const char* kAsciiLogTitle = "AJOUT ASCII AU BROUILLARD";

struct AsciiError {
  long line = 0;  // line of the file, the column line being 1 (0: the file as a whole)
  std::string text;
};

struct AsciiRead {
  std::string path;
  bool readable = false;
  char separator = 0;       // ';', '\t' or '|'
  std::string encoding;     // "UTF-8 (BOM)", "UTF-8" or "Windows-1252"
  long lines = 0;           // entry lines (the column line and blank lines left out)
  std::vector<ImportedPiece> pieces;
  std::vector<long> pieceLines;       // the file line of each piece's first entry line
  std::vector<std::string> ignored;   // columns named but not imported
  // Lines refused by their own form, with their journal: their codes are still checked against the dossier.
  std::vector<std::pair<std::string, ImportedLine>> refusedLines;
  std::string firstDate, lastDate;    // YYYYMMDD of the period
  long long debit = 0, credit = 0;    // totals in euros, cents
  long long debitF = 0, creditF = 0;  // totals in francs, cents: lines typed in francs as typed, the others converted
  long francLines = 0, euroLines = 0; // the lines of the pieces typed in francs, in euros
  std::vector<AsciiError> errors;
  std::string digest;                 // the content's fingerprint, 16 hexadecimal digits
  std::string importedBefore;         // the log line of an import of the same content ("" none)
  std::string stoppedRun;             // the log line of a run stopped half-way ("" none)
  bool Importable() const { return readable && errors.empty() && importedBefore.empty() && !pieces.empty(); }
  // Whether its totals are shown in francs: the file's currency when all its lines share one, else the
  // dossier's main one (`francMain`); never in a dossier kept only in euros.
  bool TotalsInFrancs(bool francMain, bool euroOnly) const {
    if (euroOnly || (euroLines > 0 && francLines == 0)) return false;
    return (francLines > 0 && euroLines == 0) || francMain;
  }
};

// The separator, columns, lines, dates, amounts and pieces of a file's bytes: everything that needs
// no table. Errors name their line.
AsciiRead ParseAsciiText(const std::string& bytes);

// Reads the file and checks it against the dossier open: journals and codes live, accounts (after
// the normalisation of every line's account) live, allowed in the journal and not collective, dates
// in the financial year, room in the draft below `maxRecords`; and the log: an import of the same
// content, a run stopped half-way. `c10` and `c20` are the program's general file and chart.
AsciiRead ReadAsciiFile(Table& c10, Table& c20, Table& c50, const std::string& path,
                        long maxRecords = kMaxLineRecords);

// The file the errors of `path` are written to: beside it, "_erreurs.txt" replacing its extension.
std::string AsciiErrorFile(const std::string& path);
// Writes the errors there (Windows-1252, CR LF), or removes an earlier one when there is none.
bool WriteAsciiErrors(const AsciiRead& read);

struct AsciiRun {
  bool written = false;
  PiecesReport pieces;
  std::string renamedTo;  // the name the file took ("" when it kept its own)
  std::string message;    // the French end message or refusal
  std::string logLine;
};

// Writes the pieces of a file read without error, with its log lines ("Début" before the first line,
// then " - Ok - " or " - Erreur: "), renames the file with the date and time, and closes in the log a
// run stopped half-way that was named: one of the same content is resumed (only the pieces it did
// not write whole are written, AsciiRunPiecesPath). A file with errors only writes its error log line. The run
// holds the import lock against the other stations (ImportHold) and reads the log again under it:
// content imported meanwhile elsewhere is refused, and so is a run stopped elsewhere since the
// reading (the file is to be read again).
AsciiRun ImportAsciiFile(Table& c10, Table& c50, Table& c60, const AsciiRead& read,
                         long maxRecords = kMaxLineRecords);

// An ASCII run stopped half-way, as it was put in order from its pieces record.
struct StoppedAsciiRun {
  std::string file;      // the file its start line names
  long kept = 0;         // its pieces the draft held whole, kept
  long notWritten = 0;   // its pieces without all their lines, left for the file imported again
  long cutPieces = 0;    // among those, pieces cut short: their lines cancelled
  long cutLines = 0;
};
// Puts in order the run the log names as stopped half-way whose pieces record is there: its
// pieces the draft holds whole kept (the sort records they lack derived, their totals written
// once, through the run's totals journal), the lines of a piece cut short cancelled. The run stays
// named in the log with its record, the pieces kept marked there as settled, so that the next
// import of its file writes only the pieces the draft lacked (not those kept and validated or
// renumbered since). False when a write was refused, *refusal naming it (RefusedWriteText).
// `progress`, when given, shows the run's file and its pieces (PutStoppedPiecesInOrder).
bool PutStoppedAsciiRunInOrder(Table& c10, Table& c50, Table& c60, std::vector<StoppedAsciiRun>* done,
                               std::string* refusal, MaintenanceProgress* progress = nullptr);

// The record of a run's pieces (their journals, months, numbers and lines), written before its
// first line and removed after its last: DossierFolder + "cas" + code + ".pcs". The next import of
// the same content after a run stopped half-way writes only the pieces the draft lacks whole.
std::string AsciiRunPiecesPath();
// The totals journal of a run (PostRunTotals): DossierFolder + "cas" + code + ".tot".
std::string AsciiRunTotalsPath();

// The lock file held across stations by a run: DossierFolder + "cas" + code + ".lck".
std::string AsciiImportLockPath();

// The file of the automatic import: key "FichierImport" of the dossier INI section "ImportAuto",
// else of the program INI ("" when both are blank).
std::string AsciiImportSetting();

// What the log says of the contents imported, brought by a restore to the restored books: from
// the log as the backup holds it (`wanted`) and the log now, the lines that make the log say of
// each content what `wanted` says: imported, stopped half-way with its pieces record, or neither
// (a line that closes its runs and that the reading takes as "not imported"). The restore's
// ImportLogReconciler for this import.
ImportLogChange AsciiLogAfterRestore(const std::string& wanted, const std::string& now);

// The piece numbers as the log gives them: ranges "12-40, 500".
std::string NumberRanges(std::vector<long> numbers);

}  // namespace processing
