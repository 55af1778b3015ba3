// Index tags of the dossier tables: the builders that add every tag of a table, the
// temporary tag of sorted reports and the separate index file of the sort file C60.
//
// Builders work on the table object as the caller opened it (a production index is created
// by its first tag, which needs the table opened exclusively). A refused tag is shown by the
// engine-error report with the tag's context number; later tags of that table are not added.
#pragma once

#include <string_view>
#include <vector>

#include "data/table.h"
#include "data/table_structures.h"

// Name of the temporary tag of sorted reports.
inline constexpr const char* kTagTmp = "TAG_TMP";

// Mouse cursor during index work: "C27" (strings 538), "C29" (540), "C26" (537) for the lock
// notice, "" for the arrow. The window layer fills the hook; without one nothing happens.
using TableCursorHook = void (*)(const char* cursorName);
void SetTableCursorHook(TableCursorHook hook);
void SetTableCursor(const char* cursorName);

// Adds tags to the table's production index, in order; stops at the first refusal.
bool AddTags(Table& table, const std::vector<TagDef>& tags);
// Every tag of a table kind (C60ANAL with the account when dossier constant 032 begins
// with "O" at the time of the call).
bool BuildIndexesOf(Table& table, TableKind kind);

// The dossier tables' builders, on TableC10 ... TableC70.
bool BuildIndexesC10();
bool BuildIndexesC20();
bool BuildIndexesC30();
bool BuildIndexesC40();
bool BuildIndexesC50();
bool BuildIndexesC60();
bool BuildIndexesC70();
// CE0CODE on a report-definition table (TableCE0 or TableCE1).
bool BuildIndexesCE(Table& table);

// TAG_TMP with the given key (any earlier TAG_TMP removed first); context 3021.
bool AddTempIndex(Table& table, int keyFieldCount, const int* keyFields, const char* expression);
// Removes TAG_TMP; a table without it is fine. Context 3011.
bool DeleteTempIndex(Table& table);

// A separate, non-maintained index file of TableC60 (seven key fields), then its order;
// contexts 3001 (10253), 3002, 3003.
bool AddIndexFileC60(const char* fileName, const int keyFields[7], const char* expression);
// Back to natural order (context 301), then the file is closed (302).
bool CloseIndexFileC60(const char* fileName);
