#include "index_defs.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "data/error_report.h"
#include "data/session.h"
#include "data/table_internal.h"
#include "resources/string_table.h"
#include "runtime/code_helpers.h"

namespace {

constexpr const char* kDriver = "DBASE";
constexpr int kCursorIndexWork = 538;  // "C27"
constexpr int kCursorIndexFile = 540;  // "C29"

TableCursorHook gCursorHook = nullptr;

template <std::size_t N>
void CopyName(char (&dest)[N], std::string_view text) {
  const std::size_t n = text.size() < N - 1 ? text.size() : N - 1;
  std::memcpy(dest, text.data(), n);
  dest[n] = 0;
}

// Cursor shown for the length of one piece of index work, the arrow afterwards.
class CursorScope {
 public:
  explicit CursorScope(int id) { SetTableCursor(LoadStr(id)); }
  ~CursorScope() { SetTableCursor(""); }
  CursorScope(const CursorScope&) = delete;
  CursorScope& operator=(const CursorScope&) = delete;
};

// Description of a maintained expression tag of the table's production index.
dbase::IDXDesc TagDesc(const Table& table, const TagDef& def) {
  dbase::IDXDesc desc;
  CopyName(desc.szName, table.indexPath);
  CopyName(desc.szTagName, def.name);
  desc.bMaintained = true;
  desc.bExpIdx = true;
  desc.bSubset = !def.condition.empty();
  std::size_t n = def.keyFields.size();
  if (n > static_cast<std::size_t>(dbase::kDbiMaxKeyFields)) n = dbase::kDbiMaxKeyFields;
  desc.iFldsInKey = static_cast<std::uint16_t>(n);
  for (std::size_t i = 0; i < n; ++i) desc.aiKeyFld[i] = static_cast<std::uint16_t>(def.keyFields[i]);
  CopyName(desc.szKeyExp, def.expression);
  CopyName(desc.szKeyCond, def.condition);
  return desc;
}

bool AddOneTag(Table& table, const TagDef& def) {
  const dbase::IDXDesc desc = TagDesc(table, def);
  table.result = dbase::DbiAddIndex(DbHandle, table.Engine().cursor, table.tablePath.c_str(), kDriver, &desc, nullptr);
  if (table.result == dbase::DBIERR_NONE) return true;
  ReportDbError(table, def.context, "");
  return false;
}

bool BuildGlobal(Table* table, TableKind kind) {
  if (table == nullptr) return false;
  return BuildIndexesOf(*table, kind);
}

}  // namespace

void SetTableCursorHook(TableCursorHook hook) { gCursorHook = hook; }

void SetTableCursor(const char* cursorName) {
  if (gCursorHook != nullptr) gCursorHook(cursorName == nullptr ? "" : cursorName);
}

bool AddTags(Table& table, const std::vector<TagDef>& tags) {
  CursorScope cursor(kCursorIndexWork);
  dbase::DBIResult grouped = dbase::DBIERR_NONE;
  if (tags.size() > 1) {
    // All the tags in one pass over the records; when that fails (nothing is then added),
    // one by one, so that the failure is reported for the tag that has it.
    std::vector<dbase::IDXDesc> descs;
    for (const TagDef& def : tags) descs.push_back(TagDesc(table, def));
    table.result = dbase::DbiAddIndexes(table.Engine().cursor, kDriver, static_cast<std::uint16_t>(descs.size()), descs.data());
    if (table.result == dbase::DBIERR_NONE) return true;
    grouped = table.result;
  }
  for (const TagDef& def : tags) {
    if (AddOneTag(table, def)) continue;
    // A full disk stays the reason, whatever the tag's own attempt then met.
    if (grouped == dbase::DBIERR_DISKFULL) table.result = grouped;
    return false;
  }
  return true;
}

bool BuildIndexesOf(Table& table, TableKind kind) {
  return AddTags(table, TagsToBuild(kind, ConstantIs(32, 'O')));
}

bool BuildIndexesC10() { return BuildGlobal(TableC10, TableKind::C10); }
bool BuildIndexesC20() { return BuildGlobal(TableC20, TableKind::C20); }
bool BuildIndexesC30() { return BuildGlobal(TableC30, TableKind::C30); }
bool BuildIndexesC40() { return BuildGlobal(TableC40, TableKind::C40); }
bool BuildIndexesC50() { return BuildGlobal(TableC50, TableKind::C50); }
bool BuildIndexesC60() { return BuildGlobal(TableC60, TableKind::C60); }
bool BuildIndexesC70() { return BuildGlobal(TableC70, TableKind::C70); }
bool BuildIndexesCE(Table& table) { return BuildIndexesOf(table, TableKind::ReportDefs); }

bool DeleteTempIndex(Table& table) {
  CursorScope cursor(kCursorIndexWork);
  table.result = dbase::DbiDeleteIndex(DbHandle, table.Engine().cursor, table.tablePath.c_str(), kDriver,
                                       table.indexPath.c_str(), kTagTmp, 0);
  if (table.result == dbase::DBIERR_NONE || table.result == dbase::DBIERR_NOSUCHINDEX) {
    if (table.tag == kTagTmp) table.tag.clear();
    return true;
  }
  ReportDbError(table, 3011, kTagTmp);
  return false;
}

bool AddTempIndex(Table& table, int keyFieldCount, const int* keyFields, const char* expression) {
  if (!DeleteTempIndex(table)) return false;
  CursorScope cursor(kCursorIndexWork);
  TagDef def{kTagTmp, "", "", {}, 3021};
  def.expression = expression == nullptr ? "" : expression;
  for (int i = 0; keyFields != nullptr && i < keyFieldCount; ++i) def.keyFields.push_back(keyFields[i]);
  const dbase::IDXDesc desc = TagDesc(table, def);
  table.result = dbase::DbiAddIndex(DbHandle, table.Engine().cursor, table.tablePath.c_str(), kDriver, &desc, nullptr);
  if (table.result == dbase::DBIERR_NONE) return true;
  const std::string text = std::string(kTagTmp) + "/" + std::string(def.expression) + "/";
  ReportDbError(table, 3021, text.c_str());
  return false;
}

bool AddIndexFileC60(const char* fileName, const int keyFields[7], const char* expression) {
  if (TableC60 == nullptr) return false;
  Table& table = *TableC60;
  CursorScope cursor(kCursorIndexFile);
  const std::string name = fileName == nullptr ? "" : fileName;
  const std::string expr = expression == nullptr ? "" : expression;
  const std::string text = name + "/" + expr;
  dbase::IDXDesc desc;
  CopyName(desc.szName, name);
  desc.bMaintained = false;
  desc.bExpIdx = true;
  desc.iFldsInKey = 7;
  for (int i = 0; i < 7; ++i) desc.aiKeyFld[i] = keyFields == nullptr ? 0 : static_cast<std::uint16_t>(keyFields[i]);
  CopyName(desc.szKeyExp, expr);
  table.result = dbase::DbiAddIndex(DbHandle, table.Engine().cursor, table.tablePath.c_str(), kDriver, &desc, nullptr);
  if (table.result != dbase::DBIERR_NONE) {
    ReportDbError(table, table.result == dbase::DBIERR_INDEXFILEERR ? 3001 : 3002, text.c_str());
    return false;
  }
  table.result = dbase::DbiSwitchToIndex(&table.Engine().cursor, name.c_str(), "", 0, false);
  if (table.result != dbase::DBIERR_NONE) {
    ReportDbError(table, 3003, text.c_str());
    return false;
  }
  return true;
}

bool CloseIndexFileC60(const char* fileName) {
  if (TableC60 == nullptr) return false;
  Table& table = *TableC60;
  table.result = dbase::DbiSwitchToIndex(&table.Engine().cursor, "", "", 0, false);
  if (table.result != dbase::DBIERR_NONE) {
    ReportDbError(table, 301, "");
  } else {
    table.tag.clear();
  }
  table.result = dbase::DbiCloseIndex(table.Engine().cursor, fileName == nullptr ? "" : fileName, 0);
  if (table.result != dbase::DBIERR_NONE) {
    ReportDbError(table, 302, fileName == nullptr ? "" : fileName);
    return false;
  }
  return true;
}
