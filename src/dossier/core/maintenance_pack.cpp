#include "dossier/core/maintenance_pack.h"

#include <cstdio>
#include <string>
#include <vector>

#include "data/dossier_files.h"
#include "data/engine_files.h"
#include "data/error_report.h"
#include "data/index_defs.h"
#include "data/session.h"
#include "data/table_check.h"
#include "dossier/core/dossier_run_marker.h"
#include "dossier/core/renumber_pieces.h"
#include "platform/system/cp1252.h"
#include "platform/system/files.h"
#include "resources/string_table.h"
#include "runtime/logfile.h"
#include "runtime/text.h"

namespace {

// The texts shown here, by their ids in the string table.
constexpr int kCaptionReindexError = 19882;
constexpr int kMsgFileDamaged = 22185;
constexpr int kTitlePackRun = 19886;
constexpr int kTitleReindexRun = 19887;

}  // namespace

DossierTableRef DossierTableOf(int number) {
  switch (number) {
    case 10: return {10, TableKind::C10, TableC10, PathC10()};
    case 20: return {20, TableKind::C20, TableC20, PathC20()};
    case 30: return {30, TableKind::C30, TableC30, PathC30()};
    case 40: return {40, TableKind::C40, TableC40, PathC40()};
    case 50: return {50, TableKind::C50, TableC50, PathC50()};
    case 60: return {60, TableKind::C60, TableC60, PathC60()};
    default: return {70, TableKind::C70, TableC70, PathC70()};
  }
}

bool IsOldGenerationC10(const std::string& c10DataPath) {
  std::vector<std::string> names;
  return TableFieldNames(c10DataPath, &names) && !names.empty() &&
         names.front().compare(0, 1, "C") == 0;
}

std::string ReindexErrorCaption(int table) {
  char number[16];
  std::snprintf(number, sizeof number, "%5i", table);
  return std::string(LoadStr(kCaptionReindexError)) + number;
}

std::string FindDamagedDossierTable(int* table) {
  for (int number = 10; number <= 70; number += 10) {
    const std::string base = DossierTableOf(number).path;
    if (!platform::FileExists(platform::ResolvePath(base + ".dbf"))) continue;
    std::string damaged = DamagedTableFile(base);
    if (damaged.empty()) continue;
    if (table != nullptr) *table = number;
    return damaged;
  }
  return "";
}

std::string FindUnknownPackLeftovers() {
  for (int number = 10; number <= 70; number += 10) {
    const std::string dbf = platform::ResolvePath(DossierTableOf(number).path + ".dbf");
    if (PackLeftoversUnknown(dbf)) return dbf;
  }
  return "";
}

// The pack files are named, to be set aside: the tables beside them stay as they are, and the
// opening checks them once those files are gone, where a backup restored would lose the work
// done since it was made.
constexpr int kUnknownPackFiles = 30204;

std::string UnknownPackMessage(const std::string& file) {
  std::string list;
  for (const std::string& left : PackLeftoverFiles(file)) list += "   " + left + "\n";
  return FillPlaceholders(LoadStr(kUnknownPackFiles), {file, list});
}

std::string FindOverfullLineTable(int* table) {
  for (int number : {40, 50}) {
    const DossierTableRef t = DossierTableOf(number);
    if (t.table == nullptr) continue;
    t.table->OpenExclusive(t.path);
    const long count = t.table->isOpen ? static_cast<long>(t.table->RecCount()) : 0;
    t.table->CloseTable(true);
    if (count <= kMaxLineRecords) continue;
    if (table != nullptr) *table = number;
    return platform::ResolvePath(t.path + ".dbf");
  }
  return "";
}

std::string DamagedFileMessage(const std::string& file) { return FillPlaceholder(LoadStr(kMsgFileDamaged), file); }

bool DropIndexFile(const std::string& path) {
  return DropProductionIndex(path);
}

PackResult PackAndReindexTables(bool pack, MaintenanceProgress* progress, bool passOverMissing) {
  MaintenanceProgress none;
  MaintenanceProgress& show = progress != nullptr ? *progress : none;
  PackResult result;
  // A table whose index the system refused to drop is named with the refusal's cause.
  const RefusalWatch refused;
  CloseAllTables();

  // An old C10 has field names the tag builders do not know: its index files
  // would be deleted and never made again. The conversion handles it.
  if (IsOldGenerationC10(std::string(PathC10()) + ".dbf")) {
    result.outcome = PackOutcome::OldGeneration;
    result.table = 10;
    result.dataPath = platform::ResolvePath(std::string(PathC10()) + ".dbf");
    return result;
  }

  // A pack of C60 would lose the plan of a stopped renumbering.
  if (RenumberingPending()) {
    result.outcome = PackOutcome::RenumberPending;
    result.dataPath = RenumberPlanPath();
    return result;
  }
  // Packing or reindexing a table read through a damaged header would rewrite it wrong.
  result.dataPath = FindDamagedDossierTable(&result.table);
  if (!result.dataPath.empty()) {
    result.outcome = PackOutcome::TableDamaged;
    return result;
  }

  // From here on the tables change: a run stopped half-way is named at the next opening. The pack
  // moves records whole and builds indexes over them: it computes no figure from an amount, so
  // one that does not read goes through it unchanged, to be named by whatever reads it.
  DossierRunMarker marker(BooksReading{}, kReindexRun, LoadStr(pack ? kTitlePackRun : kTitleReindexRun),
                          pack ? "compactage=O" : "compactage=N", UnreadAmountsMet::kWorkedOver);
  if (!marker.written()) {
    result.outcome = PackOutcome::MarkerFailed;
    result.dataPath = marker.path();
    return result;
  }
  for (int number = 10; number <= 70; number += 10) {
    const DossierTableRef t = DossierTableOf(number);
    if (t.table == nullptr) {
      result.outcome = PackOutcome::TableFailed;
      result.table = number;
      return result;
    }
    const std::string dbf = platform::ResolvePath(t.path + ".dbf");
    if (passOverMissing && !platform::FileExists(dbf)) continue;
    show.SetLine(t.path);
    if (!DropIndexFile(t.path)) {
      result.outcome = PackOutcome::TableFailed;
      result.table = number;
      result.dataPath = dbf;
      if (refused.RefusedResult() != 0) result.refusal = refused.Reason(refused.RefusedResult(), "", 0);
      return result;
    }

    // Once a pack is refused the tables after it keep their records: C40, C50 and C60 are
    // then packed together or not at all, as far as the refusal allows.
    Table& table = *t.table;
    table.OpenExclusive(t.path);
    const long before = table.isOpen ? static_cast<long>(table.RecCount()) : -1;
    if (table.isOpen && (pack || number == 60) && result.packFailures == 0 && !table.Pack() &&
        result.packFailures++ == 0) {
      result.packFailedPath = dbf;
      result.packFailedTable = number;
      result.packResult = table.result;
    }
    table.CloseTable(true);

    // Reopened: a pack refused in its renames is finished here from its journal.
    table.OpenExclusive(t.path);
    if ((number == 40 || number == 50) && table.isOpen && before >= 0 &&
        static_cast<long>(table.RecCount()) != before)
      result.linesPacked = true;
    if (table.isOpen && BuildIndexesOf(table, t.kind)) {
      ++result.reindexed;
    } else if (result.packFailures + result.tagFailures++ == 0) {
      result.packFailedPath = dbf;
      result.packFailedTable = number;
      // A table that did not open again says why in its result (a pack left to finish refused).
      result.packResult = table.result;
    }
    table.CloseTable(true);
    show.TableDone();
  }
  CloseAllTables();
  return result;
}
