// Packing and reindexing of the dossier tables C10 to C70, without any
// window: the dossier-wide runs call it with the dossier held exclusively
// and every table closed, and show its progress through MaintenanceProgress.
#pragma once

#include <string>

#include "data/draft_lines.h"  // kMaxLineRecords, TooManyLinesMessage
#include "data/table_structures.h"

class Table;

// What a maintenance run shows while it works. The default does nothing, so
// a test or a benchmark drives the runs without a window.
class MaintenanceProgress {
 public:
  virtual ~MaintenanceProgress() = default;
  virtual void SetLine(const std::string& text) {}   // the framed line
  virtual void SetLine2(const std::string& text) {}  // the second line
  virtual void RestartTicker() {}                    // ticker text emptied, count 0
  virtual void Tick(const std::string& mark, bool force) {}
  virtual void SetTotal(long total) {}               // records the run expects to visit
  virtual void Step() {}                             // one record visited
  virtual void TableDone() {}                        // one table of the reindex handled
};

// The seven dossier tables in their order, with their number (10 ... 70).
struct DossierTableRef {
  int number;
  TableKind kind;
  Table* table;        // the global table object (null outside a session)
  std::string path;    // DossierFolder + file name, without extension
};
DossierTableRef DossierTableOf(int number);  // 10, 20 ... 70

enum class PackOutcome {
  Done,           // every table packed (as asked) and given its tags
  TableFailed,    // a data file cannot be opened read-write or its header read and written
  OldGeneration,  // C10 is of the oldest generation: nothing was touched
  TableDamaged,   // the engine finds a data or memo file damaged: nothing was touched
  RenumberPending,  // a stopped renumbering must be finished first: nothing was touched
  MarkerFailed,     // the dossier's run marker cannot be written (dataPath): nothing was touched
};

struct PackResult {
  PackOutcome outcome = PackOutcome::Done;
  int table = 0;            // number of the table that failed
  std::string dataPath;     // its data file (the damaged file for TableDamaged)
  std::string refusal;      // why the system refused that table's change, when it did (French)
  int packFailures = 0;     // tables whose pack the engine refused (run went on)
  std::string packFailedPath;  // the first one's data file, its number and the engine's code
  int packFailedTable = 0;
  int packResult = 0;
  int tagFailures = 0;      // tables whose tags were not all added (reported by the builders)
  int reindexed = 0;        // tables given their tags again
  bool linesPacked = false;  // C40 or C50 lost records: C60's pointers wait for its refill
  bool ok() const { return outcome == PackOutcome::Done; }
};

// True when the data file of C10 is of the oldest generation (the name of its
// first field begins with "C"), read from the file header without a cursor.
bool IsOldGenerationC10(const std::string& c10DataPath);

// The file of the first dossier table (C10 ... C70, those that exist) that the engine finds
// damaged (DamagedTableFile); empty when none. `table` receives its number.
std::string FindDamagedDossierTable(int* table = nullptr);

// The data file of the first dossier table (C10 ... C70) beside which a pack cut short left
// files that its journal does not recognise (PackLeftoversUnknown); empty when none. Nothing
// is renamed or removed: the message says so (UnknownPackMessage).
std::string FindUnknownPackLeftovers();
std::string UnknownPackMessage(const std::string& file);

// The line table (40 or 50) that holds more records than that, as its data file; empty
// when none. Opens the tables exclusively; they are left closed.
std::string FindOverfullLineTable(int* table = nullptr);

// The message that names a damaged file and says that nothing was changed.
std::string DamagedFileMessage(const std::string& file);

// Checks that the data file `path` + ".dbf" opens read-write and that nobody
// has the table open, and only then deletes the index file `path` + ".mdx"
// and clears the header's production-index flag. False (and the index file
// kept) when the data file cannot be opened or written.
bool DropIndexFile(const std::string& path);

// For C10 ... C70 in turn: drops the index file (DropIndexFile); packs the
// table when `pack` is set (C60 always); adds the table's tags again. A table
// that fails stops the run there (the tables before it are done, the ones
// after untouched, its own index file still in place). A table without data
// file fails too, unless `passOverMissing` (the opening makes a missing draft
// file afterwards). A C10 of the oldest generation stops the run before
// anything is changed. The dossier's run marker (kReindexRun, detail
// "compactage=O" or "N") is set from the first change to the last. Every table
// is left closed. The caller holds the dossier exclusively.
PackResult PackAndReindexTables(bool pack, MaintenanceProgress* progress = nullptr,
                                bool passOverMissing = false);

// Caption of the failure box: "ERREUR pendant ReIndex du fichier: " + the
// table number printed "%5i".
std::string ReindexErrorCaption(int table);
