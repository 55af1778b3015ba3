#include "data/closed_lines.h"

#include "data/entry_lines.h"
#include "data/error_report.h"
#include "data/index_defs.h"
#include "data/table.h"
#include "data/table_copy.h"
#include "data/table_structures.h"

namespace {

constexpr int kContextSave = 2010;
// Sort records written with one engine call.
constexpr std::uint32_t kBatch = 8192;

// One sort record per physical line of the table, in physical order.
bool AppendSortRecords(Table& lines, char file, Table& c60, long& done, const std::function<void(long)>& step) {
  const std::uint32_t count = lines.RecCount();
  for (std::uint32_t r = 1; r <= count; ++r) {
    if (!lines.GoTo(static_cast<long>(r))) return false;
    const bool deleted = lines.IsDeleted();
    if (!c60.AppendBlank()) return false;
    DeriveLigneTri(lines, file, c60);
    c60.QueueRecord(deleted);
    if (c60.QueuedCount() == kBatch && !c60.AppendQueued()) return false;
    if (step && (++done & 4095) == 0) step(done);
  }
  return c60.AppendQueued();
}

}  // namespace

bool AppendClosedLine(Table& c50, Table& c40, const std::string& validationDate, bool queued) {
  if (!c50.isOpen || !c40.isOpen) return false;
  return AppendClosedLine(FieldMap(c50, c40, 1, FieldMap::Numbers::AsText), c50, c40, validationDate, queued);
}

bool AppendClosedLine(const FieldMap& map, Table& c50, Table& c40, const std::string& validationDate, bool queued) {
  if (!c50.isOpen || !c40.isOpen || c50.recordNumber == 0 || !c40.AppendBlank()) return false;
  // The names map the draft's fields onto the closed line's; the insert ends the append in
  // every case, so that no half-filled record stays pending.
  const bool copied = CopyRecord(map, c50, c40) && c40.PutField(LigneEcriture::DVALID, validationDate.c_str());
  if (queued) {
    c40.QueueRecord(false);
    return copied;
  }
  const bool inserted = c40.InsertRecord();
  return copied && inserted;
}

bool RefillSortRecords(Table& c40, Table& c50, Table& c60, const std::function<void(long)>& step) {
  if (!c40.isOpen || !c50.isOpen || !c60.isOpen) return false;
  const std::string path = c60.tablePath.substr(0, c60.tablePath.size() - 4);
  if (!c60.Zap()) {
    c60.CloseTable(true);
    return false;
  }
  // The records go in without an index to keep; the tags are built once at the end.
  c60.CloseTable(true);
  if (dbase::DbiDropProductionIndex(path.c_str()) != dbase::DBIERR_NONE || !c60.OpenExclusive(path)) {
    c60.CloseTable(true);
    return false;
  }
  long done = 0;
  const bool appended = AppendSortRecords(c40, LigneTri::kClosed, c60, done, step) &&
                        AppendSortRecords(c50, LigneTri::kDraft, c60, done, step);
  c60.CloseTable(true);
  if (!appended) return false;
  const bool tagged = c60.OpenExclusive(path) && BuildIndexesOf(c60, TableKind::C60);
  c60.CloseTable(true);
  return tagged;
}

bool WriteRecordFields(Table& table, const std::vector<FieldWrite>& fields) {
  if (!table.isOpen || table.recordNumber == 0) return false;
  for (const FieldWrite& f : fields) {
    const void* value = f.number ? static_cast<const void*>(&f.value) : static_cast<const void*>(f.text.c_str());
    table.result = dbase::DbiPutField(table.cursor, static_cast<std::uint16_t>(f.field), table.recordBuffer.data(), value);
    if (table.result != dbase::DBIERR_NONE) {
      ReportDbError(table, kContextSave, "", f.field);
      return false;
    }
  }
  table.result = dbase::DbiModifyRecord(table.cursor, table.recordBuffer.data(), false);
  if (table.result != dbase::DBIERR_NONE) {
    ReportDbError(table, kContextSave, "");
    return false;
  }
  return true;
}
