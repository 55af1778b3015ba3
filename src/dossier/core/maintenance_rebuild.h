// The dossier rebuild without any window: reindex, the record walks that
// mend or delete what is wrong, the refill of the sort file C60, duplicate
// codes and analytic lines, then the totals and the balance check.
//
// Every record the rules delete is written to the dossier log first, as its
// whole record text, so that nothing vanishes without a trace.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "data/entry_lines.h"

#include "dossier/core/maintenance_pack.h"
#include "dossier/core/maintenance_totals.h"

// Result codes of the run (0 = success).
inline constexpr int kRebuildFirstReindex = 5000;
inline constexpr int kRebuildOldGeneration = 5001;  // refused: the dossier needs the conversion
inline constexpr int kRebuildDamagedTable = 5002;   // refused: a data or memo file is damaged
inline constexpr int kRebuildTooManyLines = 5003;   // refused: C40 or C50 past 999,999 records
inline constexpr int kRebuildRenumberPending = 5004;  // refused: a stopped renumbering is pending
inline constexpr int kRebuildMarkerFailed = 5005;     // refused: the run marker cannot be written
inline constexpr int kRebuildSecondReindex = 5100;
inline constexpr int kRebuildRefillC60 = 5060;
inline constexpr int kRebuildRefillC40 = 5064;
inline constexpr int kRebuildRefillC50 = 5065;
inline constexpr int kRebuildPackRefused = 5006;   // a pack or a table's tags refused (a full disk)
inline constexpr int kRebuildWriteRefused = 5007;  // a write of the record walks refused
inline constexpr int kRebuildTotalsRefused = 5200;  // a write of the totals or balancing lines refused
inline constexpr int kRebuildReadRefused = 5008;   // a read refused by the system: a table read short
// Refused before any change: a total that the lines give cannot be held by its field (`refusal`
// names it). The totals step refuses such a total too (kRebuildTotalsRefused, named the same way).
inline constexpr int kRebuildTotalsTooLarge = 5009;
// 5010 ... 5050: table cannot be opened for its walk; 5110 ... 5160: on its code tag.

struct RebuildReport {
  int code = 0;
  long removed = 0;            // records deleted by the rules, each one in the log
  bool totalsRebuilt = false;  // the totals and journal headers were computed again
  PackResult reindex;          // the reindex that failed (its table and data file)
  BalanceCheck balance;
  std::string refusal;         // the write (or read) refused: its file, and that the disk is full when it is
  bool markerKept = false;     // the run marker stays: the next opening runs the rebuild again
  // Live lines whose amount does not read as a number, each in the log, found before the run
  // changes anything and named by the record number each has once the run is done. They are left
  // as they are, and so are the totals they feed: their accounts (with a collective), sections
  // and journal-months, which get no balancing line.
  std::vector<UnreadableAmountLine> unreadable;
};

// Called once the run has read the lines, before its first change (the report holds `unreadable`):
// the window says then what the run will leave as it is.
using RebuildBeforeChange = std::function<void(const RebuildReport&)>;

// The whole run on the current dossier (DossierFolder, DossierCode and
// TheDossierRecord loaded). The caller holds the dossier exclusively and has
// closed every table; they are all closed afterwards. After an error the
// later steps are skipped, except that the totals still run when the sort
// file was refilled and every table reopened on its code tag. A write the
// engine refuses stops the run. The dossier's run marker (kRebuildRun, detail
// RebuildRunDetail) is set from the first change to the last, and kept when
// the run changed the tables without making their totals again: the next
// opening runs the rebuild again. A refused pack stops the run before its
// walks, the tables as they were.
RebuildReport RunDossierRebuild(bool rebalance, bool pack, MaintenanceProgress* progress = nullptr,
                                const RebuildBeforeChange& before = {});

// The sort file C60 emptied and filled again from the lines, as the rebuild
// does: one record per physical line of C40, then of C50, in physical order
// (a deleted line gives a deleted record), written in batches without an
// index, then given its tags. 0, or the code of what failed: 5060 (C60 not
// opened, emptied or written), 5064 (C40), 5065 (C50), 5160 (C60's tags);
// `refused` gets the write the engine refused, when one was.
// The dossier is held exclusively; C40, C50 and C60 are left closed.
int RefillSortFile(MaintenanceProgress* progress = nullptr, TotalsWriteFault* refused = nullptr);

// What the marker of a rebuild records to run it again: "reequilibrage=O compactage=O".
std::string RebuildRunDetail(bool rebalance, bool pack);
void ReadRebuildRunDetail(const std::string& detail, bool* rebalance, bool* pack);

// The log line of a record the run deletes: table name, record number and
// the record's text.
std::string RemovedRecordLogText(const char* tableName, Table& table);
