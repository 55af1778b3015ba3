#include "data/table_copy.h"

#include <string>
#include <vector>

#include "data/error_report.h"
#include "data/record_fields.h"
#include "data/session.h"
#include "data/table.h"
#include "data/table_internal.h"
#include "data/table_structures.h"
#include "resources/string_table.h"
#include "runtime/numbers.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

using namespace dbase;
using tablelayer::FieldKey;

namespace {

// The list of renamed fields, by the id of its first entry in the string table, one entry an id
// up to the first missing or blank: the old name in 10 characters, then the new one.
constexpr int kFieldRenamesFirst = 280;

CopyProgressHook g_progress = nullptr;

bool IsText(char type) { return type == 'C' || type == 'N'; }

// Copies source field s into destination field d of the record being built or the current
// record: memos whole, numbers as numbers when both sides are numeric, else as text.
bool CopyField(Table& source, int s, Table& destination, int d, bool numbersAsNumbers) {
  const char st = source.FieldType(s);
  const char dt = destination.FieldType(d);
  if (st == 'M' && dt == 'M') {
    std::string memo;
    return source.GetMemoText(s, memo) && destination.PutMemoText(d, memo);
  }
  if (!IsText(st) || !IsText(dt)) return true;  // other types are not copied
  if (numbersAsNumbers && st == 'N' && dt == 'N') return CopyNumberField(source, s, destination, d);
  return destination.PutField(d, source.GetField(s));
}

// Line-sequence field of the entry-line tables, 0 for the others.
int LineSequenceField(TableKind kind) {
  switch (kind) {
    case TableKind::C40: return 20;
    case TableKind::C50: return 7;
    case TableKind::C60: return 14;
    default: return 0;
  }
}

}  // namespace

void SetCopyProgressHook(CopyProgressHook hook) { g_progress = hook; }

std::string FormerFieldName(std::string_view name) {
  const std::string key = FieldKey(name);
  for (int id = kFieldRenamesFirst;; ++id) {
    const std::string* entry = resources::FindString(id);
    if (entry == nullptr || IsBlank(*entry)) return "";
    if (FieldKey(entry->substr(0, 10)) == key) return entry->size() > 10 ? Trimmed(entry->substr(10, 10)) : "";
  }
}

FieldMap::FieldMap(Table& source, Table& target, int firstField, Numbers numbers) {
  if (!source.isOpen || !target.isOpen || target.FieldCount() == 0) return;
  targetOf_.assign(static_cast<std::size_t>(source.FieldCount()) + 1, 0);
  const char prefix = target.FieldName(1)[0];
  for (int s = firstField < 1 ? 1 : firstField; s <= source.FieldCount(); ++s) {
    std::string name = FieldKey(source.FieldName(s));
    name[0] = prefix;
    const int t = target.FieldPos(name);
    if (t == 0) continue;
    targetOf_[static_cast<std::size_t>(s)] = t;
    const char st = source.FieldType(s), tt = target.FieldType(t);
    if (st == 'M' && tt == 'M') {
      pairs_.push_back(Pair{s, t, 'M'});
    } else if (st == 'N' && tt == 'N') {
      pairs_.push_back(Pair{s, t, numbers == Numbers::AsValues ? 'N' : 'T'});
    } else if (IsText(st) && IsText(tt)) {
      pairs_.push_back(Pair{s, t, 'C'});
    }
  }
}

bool FieldMap::Copy(Table& source, Table& target) const {
  bool ok = true;
  for (const Pair& p : pairs_) {
    if (p.kind == 'M') {
      std::string memo;
      if (!source.GetMemoText(p.source, memo) || !target.PutMemoText(p.target, memo)) ok = false;
    } else if (p.kind == 'N' || (p.kind == 'T' && source.Layout(p.source).decimals <= 2)) {
      // An amount reads on both sides as its source's cents, whatever its text.
      if (!CopyNumberField(source, p.source, target, p.target)) ok = false;
    } else if (!target.PutField(p.target, source.GetField(p.source))) {
      ok = false;
    }
  }
  return ok;
}

bool CopyRecord(const FieldMap& map, Table& source, Table& target) {
  if (!source.isOpen || !target.isOpen || target.FieldCount() == 0) return false;
  const bool ok = map.Copy(source, target);
  target.result = DbiSaveChanges(target.Engine().cursor);
  if (target.result != DBIERR_NONE) {
    ReportDbError(target, 2010);
    return false;
  }
  return ok;
}

bool CopyRecord(Table& source, Table& target, int firstField) {
  if (!source.isOpen || !target.isOpen || target.FieldCount() == 0) return false;
  return CopyRecord(FieldMap(source, target, firstField, FieldMap::Numbers::AsText), source, target);
}

bool CopyTableByFieldNames(Table& destination, Table& source, double parity) {
  if (!destination.isOpen || !source.isOpen) return false;

  // Destination field -> source field (0 = none). Old names come from the rename list.
  const int count = destination.FieldCount();
  std::vector<int> map(static_cast<std::size_t>(count) + 1, 0);
  for (int d = 1; d <= count; ++d) {
    const std::string name = FieldKey(destination.FieldName(d));
    int s = source.FieldPos(name);
    if (s == 0) {
      const std::string former = FormerFieldName(name);
      if (!former.empty()) s = source.FieldPos(former);
    }
    map[static_cast<std::size_t>(d)] = s;
  }

  const TableKind kind = TableKindOfFileName(destination.tablePath);
  const int sequenceField = LineSequenceField(kind);
  std::uint32_t total = 0;
  if (DbiGetRecordCount(source.Engine().cursor, &total) != DBIERR_NONE) total = 0;
  if (g_progress != nullptr) g_progress(total, 0);

  // Every physical record is copied, cancelled ones as cancelled records, so that the
  // record numbers the sort file points at stay those of the same lines.
  bool ok = true;
  if (!source.SetOrder("")) return false;
  for (std::uint32_t r = 1; r <= total; ++r) {
    // A record not read is copied as a cancelled record, so that the numbers after it stay those
    // of their lines, and the copy answers false: it is not whole.
    const Lookup read = source.GoToRecord(static_cast<long>(r));
    if (read.IsRefused()) ok = false;
    const bool readOk = read.IsFound();
    const Lookup live = readOk ? source.LiveHere() : read;
    if (live.IsRefused()) ok = false;
    const bool dropped = !live.IsFound();
    if (g_progress != nullptr) g_progress(total, r);

    if (!destination.AppendBlank()) {
      ok = false;
      break;
    }
    if (readOk) {
      for (int d = 1; d <= count; ++d) {
        const int s = map[static_cast<std::size_t>(d)];
        if (s != 0 && !CopyField(source, s, destination, d, true)) ok = false;
      }
    }
    // Fixed values go into the new record before it is written.
    if (kind == TableKind::C10 && destination.GetField(1)[0] == '0') {
      if (!destination.PutFieldPart(5, 239, 10, FormatNumber(10, 5, false, parity))) ok = false;
    } else if (sequenceField != 0 && sequenceField <= count && IsBlank(destination.GetField(sequenceField))) {
      if (!destination.PutField(sequenceField, "0001")) ok = false;
    }
    if (!destination.InsertRecord()) {
      ok = false;
    } else if (dropped && destination.recordBuffer[0] != '*') {
      // A source record that could not be read or is deleted stays a cancelled record.
      if (!tablelayer::BooksWriteRefused(destination, BooksWrite::Delete))
        destination.result = DbiDeleteRecord(destination.Engine().cursor, destination.recordBuffer.data());
      if (destination.result == DBIERR_NONE) {
        destination.recordBuffer[0] = '*';
      } else {
        ok = false;
      }
    }
  }
  return ok;
}
