// The structure of every table the program creates: field list (name, type,
// width, decimals, in field order), index tags (name, key expression, FOR
// condition, key fields) and file-name pattern, as plain data.
//
// Field numbers are binding: the table layer reads and writes fields by
// number, so the order below is the one every caller relies on. The table
// creation function builds the .dbf from `fields` and adds `tags` in order.
#pragma once

#include <string>
#include <string_view>
#include <vector>

enum class TableKind {
  C10,          // general file: code lists, dossier record, journal-month headers
  C20,          // chart of accounts
  C30,          // analytic sections
  C40,          // closed entry lines
  C50,          // draft entry lines
  C60,          // sort file of the entry lines
  C70,          // computed balance sheet
  ReportDefs,   // report definitions "CE" + set letter + "ETATS", "CEP" + dossier code
  DossierLock,  // "C" + dossier code padded with "_" to 7 characters, and "CR00REF"
  ModelLines,   // balance-sheet model lines "CLBILAN" + model letter
  ModelParams,  // balance-sheet model parameters "CPBILAN" + model letter
  Unknown
};

struct FieldDef {
  std::string_view name;  // upper-case, at most 10 characters
  char type;              // 'C' text, 'N' number, 'D' date, 'L' logical, 'M' memo, 'F' float
  int width;              // declared width (memo: 10, the block-number slot)
  int decimals;
};

struct TagDef {
  std::string_view name;        // upper-case, at most 10 characters
  std::string_view expression;  // key expression
  std::string_view condition;   // FOR condition; empty = every record has an entry
  std::vector<int> keyFields;   // field numbers in key order, passed beside the expression
  int context;                  // engine-error context when adding the tag fails
};

struct TableStructure {
  TableKind kind;
  std::string_view namePattern;  // "*" = dossier code, "?" = one set or model letter
  std::vector<FieldDef> fields;
  std::vector<TagDef> tags;      // production-index tags, in the order they are added

  int FieldCount() const { return static_cast<int>(fields.size()); }
  // Field n (1-based); nullptr outside 1..FieldCount().
  const FieldDef* Field(int n) const;
  // 1-based number of the field of that name (case-insensitive), 0 when absent.
  int FieldNumber(std::string_view name) const;
  // Tag of that name (case-insensitive), nullptr when absent.
  const TagDef* Tag(std::string_view name) const;
  bool HasMemo() const;
  // Bytes of one record: the delete mark plus every field's width.
  int RecordLength() const;
  // Header size of the .dbf: 32 + 32 per field + the terminator byte.
  int HeaderLength() const;
};

// The structure of a table kind; Unknown gives an empty structure (no fields).
const TableStructure& StructureOf(TableKind kind);

// Every kind that has a structure, in a fixed order (C10 ... ModelParams).
const std::vector<TableKind>& AllTableKinds();

// Short name of a kind for messages and tests ("C10", "CE", "LOCK", "CLBILAN" ...).
std::string_view TableKindName(TableKind kind);

// Tags to add to a table of this kind. For C60 the analytic order C60ANAL
// carries the account (TCG) in its key when `analyticByAccount` is set
// (dossier constant 032 beginning with "O" when the tags are built).
std::vector<TagDef> TagsToBuild(TableKind kind, bool analyticByAccount);

// Kind of a table from its file name or path: the folder and an extension
// ".dbf", ".mdx" or ".dbt" (any case) are dropped and the name is compared
// case-insensitively ("c50DEMO.dbf" -> C50, "CE0ETATS" -> ReportDefs,
// "cdemo___.dbf" -> DossierLock, "CR50REF" -> C50). Another extension
// (the dossier INI "C10DEMO.ini") or an unrecognised name gives Unknown.
TableKind TableKindOfFileName(std::string_view fileName);

// Base file name (lower case, no extension) of a table of that kind:
// the dossier code for C10-C70, ReportDefs ("CE" + letter + "ETATS") and
// DossierLock, the letter for the models. Empty when the code or letter is
// not usable (blank code, code longer than 5 characters, no letter).
std::string TableBaseName(TableKind kind, std::string_view codeOrLetter);

// Format stamp of the dossiers this program writes: the name of the last
// field of C10. Older stamps compare lower as byte strings.
inline constexpr std::string_view kC10FormatStamp = "GD20131223";
// Oldest stamp whose dossiers already hold euro amounts.
inline constexpr std::string_view kC10OldestEuroStamp = "GD19981101";
// Temporary tag of sorted reports.
inline constexpr std::string_view kTempTagName = "TAG_TMP";
// Tag of the balance-sheet model parameters; none of the dossier builders adds it.
inline constexpr std::string_view kModelParamsTagName = "CPBCODE";
// dBASE IV limits the creation checks against.
inline constexpr int kMaxKeyLength = 100;
inline constexpr int kMaxFieldNameLength = 10;
inline constexpr int kMaxRecordLength = 4000;

// Length of the character key an expression builds from the fields of a
// structure: field widths joined by "+", UPPER/LOWER/TRIM/LTRIM/RTRIM keep
// the width, SUBS/SUBSTR(x,start,len) gives len, a literal its own length.
// -1 for an unknown field, a non-character field or an expression it cannot
// read (such as a comparison).
int KeyLength(const TableStructure& structure, std::string_view expression);

// Field names an expression or condition mentions, in order of appearance,
// upper-cased, without function names, literals, numbers or operators.
std::vector<std::string> FieldsNamedIn(std::string_view expression);
