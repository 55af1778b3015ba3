#include "data/table_structures.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace {

std::string Str(std::string_view s) { return std::string(s); }

// The fields themselves are checked by the creation test, which makes every kind.

// Copying a draft line into the closed lines renames B... to D...: every draft field but
// BREC and BVENT has its closed-line twin of the same type and size.
TEST(TableStructures, DraftLineFieldsReachTheClosedLineByRename) {
  const TableStructure& c50 = StructureOf(TableKind::C50);
  const TableStructure& c40 = StructureOf(TableKind::C40);
  int twins = 0;
  for (const FieldDef& b : c50.fields) {
    std::string twin = Str(b.name);
    ASSERT_EQ(twin[0], 'B');
    twin[0] = 'D';
    const int d = c40.FieldNumber(twin);
    if (b.name == "BREC" || b.name == "BVENT") {
      EXPECT_EQ(d, 0) << twin;
      continue;
    }
    ASSERT_GT(d, 0) << twin;
    EXPECT_EQ(c40.Field(d)->type, b.type) << twin;
    EXPECT_EQ(c40.Field(d)->width, b.width) << twin;
    EXPECT_EQ(c40.Field(d)->decimals, b.decimals) << twin;
    ++twins;
  }
  EXPECT_EQ(twins, c40.FieldCount() - 1) << "every closed-line field but the validation date comes from the draft";
}

TEST(TableStructures, TagsNameCharacterFieldsOfTheirTableWithinTheKeyLimit) {
  for (TableKind kind : AllTableKinds()) {
    const TableStructure& s = StructureOf(kind);
    for (bool byAccount : {false, true}) {
      for (const TagDef& t : TagsToBuild(kind, byAccount)) {
        SCOPED_TRACE(Str(TableKindName(kind)) + " " + Str(t.name));
        EXPECT_LE(t.name.size(), static_cast<std::size_t>(kMaxFieldNameLength));
        const int length = KeyLength(s, t.expression);
        EXPECT_GT(length, 0);
        EXPECT_LE(length, kMaxKeyLength);
        // The key fields handed to the engine are the expression's fields, in order.
        std::vector<int> named;
        for (const std::string& name : FieldsNamedIn(t.expression)) named.push_back(s.FieldNumber(name));
        EXPECT_EQ(named, t.keyFields);
        for (const std::string& name : FieldsNamedIn(t.condition)) EXPECT_GT(s.FieldNumber(name), 0) << name;
      }
    }
  }
}

// Keys that callers build by hand must have the tag's length.
TEST(TableStructures, KeysHaveTheLengthsTheirCallersBuild) {
  const std::tuple<TableKind, const char*, int> cases[] = {
      {TableKind::C10, "C10CODE", 15},  // kind + 14-character code
      {TableKind::C60, "C60REC", 7},    // "B" + six-digit record number
      {TableKind::C20, "C20RIB", 21},   // bank + branch + account of the RIB
  };
  for (auto [kind, tag, length] : cases) {
    const TableStructure& s = StructureOf(kind);
    ASSERT_NE(s.Tag(tag), nullptr) << tag;
    EXPECT_EQ(KeyLength(s, s.Tag(tag)->expression), length) << tag;
  }
}

TEST(TableStructures, KeyLengthOfExpressions) {
  const TableStructure& c20 = StructureOf(TableKind::C20);
  const std::pair<const char*, int> cases[] = {
      {"ccode", 8},
      {"UPPER(SUBS(CLIB,1,10))+CCODE", 18},
      {"SUBSTR(CIBAN,5)", 30},
      {"CDEBITF", -1},            // numeric: not a character key
      {"SUBS(CETS,4,3)", -1},     // beyond the field
      {"LEN(TRIM(CETS))>0", -1},  // a condition, not a key
      {"UPPER(CLIB", -1},
  };
  for (auto [expression, length] : cases) EXPECT_EQ(KeyLength(c20, expression), length) << expression;
  // Deep nesting is refused, not followed without end.
  std::string deep;
  for (int i = 0; i < 200; ++i) deep += "UPPER(";
  deep += "CCODE" + std::string(200, ')');
  EXPECT_EQ(KeyLength(c20, deep), -1);

  using V = std::vector<std::string>;
  const std::pair<const char*, V> named[] = {
      {"TTVA#' ' .OR. SUBS(TCODE,1,4)='4456'", V{"TTVA", "TCODE"}},
      {"'TCODE'", V{}},
  };
  for (const auto& [text, names] : named) EXPECT_EQ(FieldsNamedIn(text), names) << text;
}

TEST(TableStructures, KindOfFileName) {
  const std::pair<const char*, TableKind> cases[] = {
      {"/data/Dossiers/C10ABCDE.DBF", TableKind::C10},
      {"CR00REF.dbf", TableKind::DossierLock},
      {"cr50ref.DBF", TableKind::C50},
      {"C10DEMO.ini", TableKind::Unknown},    // the dossier INI file
      {"c10abcdef.dbf", TableKind::Unknown},  // code longer than 5
      {"cabcdef_.dbf", TableKind::Unknown},   // one bar: a 6-character code
  };
  for (auto [name, kind] : cases)
    EXPECT_EQ(TableKindName(TableKindOfFileName(name)), TableKindName(kind)) << name;
}

TEST(TableStructures, BaseNamesAreLowerCaseAndStayInTheFolder) {
  struct Case { TableKind kind; const char* code; const char* name; };
  const Case cases[] = {
      {TableKind::C50, "AB   ", "c50ab"},
      {TableKind::DossierLock, "AB  ", "cab_____"},
      {TableKind::ReportDefs, "0", "ce0etats"},
      // refused: nothing to name, or a name that would leave the folder
      {TableKind::C10, "     ", ""},
      {TableKind::C20, "../x", ""},
      {TableKind::ModelLines, "/", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Str(TableKindName(c.kind)) + " '" + c.code + "'");
    const std::string name = TableBaseName(c.kind, c.code);
    EXPECT_EQ(name, c.name);
    if (!name.empty()) {
      EXPECT_EQ(TableKindOfFileName(name + ".dbf"), c.kind);
    }
  }
}

}  // namespace
