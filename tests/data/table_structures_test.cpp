#include "data/table_structures.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string Str(std::string_view s) { return std::string(s); }

TEST(TableStructures, KeyLengthOfExpressions) {
  const TableStructure& c20 = StructureOf(TableKind::C20);
  const std::pair<const char*, int> cases[] = {
      {"ccode", 8},
      {"UPPER(SUBS(CLIB,1,10))+CCODE", 18},
      {"CDEBITF", -1},            // numeric: not a character key
      {"SUBS(CETS,4,3)", -1},     // beyond the field
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

// The balance-sheet parameters are keyed on the poste and the order of its assignments.
TEST(TableStructures, ModelParametersKeyOnPosteAndOrder) {
  const TableStructure& p = StructureOf(TableKind::ModelParams);
  ASSERT_EQ(p.tags.size(), 1u);
  EXPECT_EQ(Str(p.tags[0].name), Str(kModelParamsTagName));
  EXPECT_EQ(KeyLength(p, p.tags[0].expression), 6);
  const char* names[] = {"PPOSTE", "PORDRE", "PCPTDEB", "PCPTFIN", "PSOURCE", "PNATURE", "PSIGNE", "PLIB"};
  const int widths[] = {3, 3, 8, 8, 1, 1, 1, 50};
  ASSERT_EQ(p.fields.size(), 8u);
  for (std::size_t i = 0; i < 8; ++i) {
    EXPECT_EQ(Str(p.fields[i].name), names[i]);
    EXPECT_EQ(p.fields[i].width, widths[i]) << names[i];
  }
}

TEST(TableStructures, KindOfFileName) {
  const std::pair<const char*, TableKind> cases[] = {
      {"/data/Dossiers/C10ABCDE.DBF", TableKind::C10},
      {"CR00REF.dbf", TableKind::DossierLock},
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
