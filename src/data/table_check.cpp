#include "table_check.h"

#include <algorithm>
#include <vector>

#include "data/engine_files.h"
#include "data/error_report.h"
#include "data/index_recovery.h"
#include "data/table_copy.h"
#include "data/table_structures.h"
#include "platform/dbase/idapi.h"
#include "platform/system/files.h"
#include "runtime/text.h"
#include "session.h"
#include "table_internal.h"

std::string DamagedTableFile(const std::string& base) {
  const std::string dbf = platform::ResolvePath(base + ".dbf");
  dbase::hDBICur cursor = nullptr;
  // The data file is checked, then the memo file, then the index: a failure on the index
  // means the two others opened.
  const dbase::DBIResult rc =
      dbase::DbiOpenTable(DbHandle, dbf.c_str(), "DBASE", "", "", 0, dbase::dbiREADONLY, dbase::dbiOPENSHARED,
                          dbase::xltFIELD, false, nullptr, &cursor);
  if (cursor != nullptr) dbase::DbiCloseCursor(&cursor);
  switch (rc) {
    case dbase::DBIERR_HEADERCORRUPT:
    case dbase::DBIERR_FILECORRUPT:
      return dbf;
    case dbase::DBIERR_MEMOCORRUPT:
      return platform::ResolvePath(base + ".dbt");
    default:
      break;
  }
  // Records past the count that no killed append left there, one without its delete mark.
  std::uint32_t whole = 0;
  if (dbase::DbiGetUncountedRecords(dbf.c_str(), &whole) == dbase::DBIERR_FILECORRUPT)
    return dbf;
  return "";
}

std::uint32_t UncountedRecords(const std::string& base) {
  std::uint32_t whole = 0;
  const std::string dbf = platform::ResolvePath(base + ".dbf");
  return dbase::DbiGetUncountedRecords(dbf.c_str(), &whole) == dbase::DBIERR_NONE ? whole : 0;
}

namespace {

std::string FieldText(std::string_view name, char type, int width, int decimals) {
  std::string text = UpperAscii(name) + " " + type + " " + std::to_string(width);
  if (decimals > 0) text += ", " + std::to_string(decimals);
  return text;
}

// A field name without its first letter, in capitals: the part that the formats share.
std::string NameAfterFirstLetter(std::string_view name) {
  return name.empty() ? std::string() : UpperAscii(name.substr(1));
}

}  // namespace

FieldDifference FirstFieldDifference(const std::string& base, const TableStructure& structure) {
  FieldDifference d;
  Table t;
  if (!t.OpenShared(base, "", true)) {
    d.field = -1;
    return d;
  }
  const int count = std::max(t.FieldCount(), structure.FieldCount());
  for (int f = 1; f <= count; ++f) {
    const FieldDef* def = structure.Field(f);
    const std::string found =
        f <= t.FieldCount() ? FieldText(t.FieldName(f), t.FieldType(f), t.FieldWidth(f), t.FieldDecimals(f)) : "";
    const std::string expected = def != nullptr ? FieldText(def->name, def->type, def->width, def->decimals) : "";
    if (found == expected) continue;
    d.field = f;
    d.found = found;
    d.expected = expected;
    break;
  }
  t.CloseTable(true);
  return d;
}

bool FieldsOfAnOlderFormat(const std::string& base, const TableStructure& structure) {
  Table t;
  if (structure.FieldCount() == 0 || !t.OpenShared(base, "", true)) return false;
  const bool general = structure.kind == TableKind::C10;
  // A general file is of an older format as the opening knows one, which it then offers to convert:
  // of the older generation (its fields named with "C") or of another format stamp.
  bool fits = t.FieldCount() > 0 &&
              NameAfterFirstLetter(t.FieldName(1)) == NameAfterFirstLetter(structure.Field(1)->name) &&
              (!general || t.FieldName(1)[0] == 'C' ||
               UpperAscii(t.FieldName(t.FieldCount())) != UpperAscii(structure.Field(structure.FieldCount())->name));
  // Each field is one of the kind's, under its name or the one it had before, in the kind's order: a
  // later format added fields, it never moved one. The general file's last field names its format.
  const int last = general ? t.FieldCount() - 1 : t.FieldCount();
  const int kindLast = general ? structure.FieldCount() - 1 : structure.FieldCount();
  int next = 1;  // the kind's field after the last one matched
  for (int f = 1; fits && f <= last; ++f) {
    const std::string name = NameAfterFirstLetter(t.FieldName(f));
    int found = 0;
    for (int k = next; found == 0 && k <= kindLast; ++k) {
      const FieldDef& def = *structure.Field(k);
      const std::string former = FormerFieldName(def.name);
      if (def.type == t.FieldType(f) &&
          (NameAfterFirstLetter(def.name) == name || (!former.empty() && NameAfterFirstLetter(former) == name)))
        found = k;
    }
    fits = found != 0;
    next = found + 1;
  }
  t.CloseTable(true);
  return fits;
}

std::uint32_t RecordWithMemoPastEnd(const std::string& base) {
  Table t;
  if (!t.OpenShared(base, "", true)) return 0;
  std::vector<int> memos;
  for (int f = 1; f <= t.FieldCount(); ++f)
    if (t.FieldType(f) == 'M') memos.push_back(f);
  std::uint32_t outside = 0;
  const std::uint32_t count = memos.empty() ? 0 : t.RecCount();
  std::string text;
  for (std::uint32_t r = 1; outside == 0 && r <= count; ++r) {
    // A record not read ends the walk: the caller's watch of refused reads says it (the restore
    // refuses on it), no memo is named for it.
    if (!t.GoToRecord(static_cast<long>(r)).FoundOrNone()) break;
    for (const int f : memos)
      if (!t.GetMemoText(f, text)) outside = r;
  }
  t.CloseTable(true);
  return outside;
}

bool MendCopiedIndex(const std::string& base) {
  const std::string dbf = platform::ResolvePath(base + ".dbf");
  const std::string mdx = platform::ResolvePath(base + ".mdx");
  // An index file made for another table is dropped whole: its tags would be made again under
  // that table's name.
  if (platform::FileExists(mdx) && !MdxHeaderMatchesName(mdx.c_str()) && !DropProductionIndex(dbf)) return false;
  const RefusalWatch refused(RefusalWatch::EngineBoxes::kHeld);
  dbase::hDBICur cursor = nullptr;
  dbase::DBIResult rc = dbase::DbiOpenTable(DbHandle, dbf.c_str(), "DBASE", "", "", 0, dbase::dbiREADWRITE,
                                            dbase::dbiOPENEXCL, dbase::xltFIELD, false, nullptr, &cursor);
  if (rc == dbase::DBIERR_NONE) rc = dbase::DbiCheckIndex(cursor, true);
  if (cursor != nullptr) dbase::DbiCloseCursor(&cursor);
  if (rc == dbase::DBIERR_NONE) return true;
  // A read or a write that the system refused says nothing of the index: it stays, and the
  // caller learns the refusal from its own watch.
  if (!refused.RefusedFile().empty()) return false;
  // An index that cannot be read or made again: the table goes without it.
  if (!DropProductionIndex(dbf)) return false;
  cursor = nullptr;
  rc = dbase::DbiOpenTable(DbHandle, dbf.c_str(), "DBASE", "", "", 0, dbase::dbiREADONLY, dbase::dbiOPENSHARED,
                           dbase::xltFIELD, false, nullptr, &cursor);
  if (cursor != nullptr) dbase::DbiCloseCursor(&cursor);
  return rc == dbase::DBIERR_NONE;
}
