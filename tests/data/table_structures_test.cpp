#include "data/table_structures.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

std::string Str(std::string_view s) { return std::string(s); }

// ---- field lists ------------------------------------------------------------

TEST(TableStructures, FieldNamesAreValidUniqueDbaseNames) {
  for (TableKind kind : AllTableKinds()) {
    const TableStructure& s = StructureOf(kind);
    SCOPED_TRACE(Str(TableKindName(kind)));
    ASSERT_GT(s.FieldCount(), 0);
    EXPECT_LE(s.FieldCount(), 255);
    std::set<std::string> seen;
    for (const FieldDef& f : s.fields) {
      const std::string name = Str(f.name);
      EXPECT_FALSE(name.empty());
      EXPECT_LE(name.size(), static_cast<std::size_t>(kMaxFieldNameLength)) << name;
      EXPECT_TRUE(name[0] >= 'A' && name[0] <= 'Z') << name;
      for (char c : name)
        EXPECT_TRUE((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_') << name;
      EXPECT_TRUE(seen.insert(name).second) << "duplicate " << name;
    }
  }
}

TEST(TableStructures, FieldTypesAndWidthsAreLegal) {
  for (TableKind kind : AllTableKinds()) {
    const TableStructure& s = StructureOf(kind);
    SCOPED_TRACE(Str(TableKindName(kind)));
    for (const FieldDef& f : s.fields) {
      SCOPED_TRACE(Str(f.name));
      switch (f.type) {
        case 'C': EXPECT_TRUE(f.width >= 1 && f.width <= 254); EXPECT_EQ(f.decimals, 0); break;
        case 'N':
        case 'F':
          EXPECT_TRUE(f.width >= 1 && f.width <= 20);
          // room for the point and at least one integer digit
          if (f.decimals > 0) {
            EXPECT_LE(f.decimals, f.width - 2);
          }
          break;
        case 'M': EXPECT_EQ(f.width, 10); break;
        case 'D': EXPECT_EQ(f.width, 8); break;
        case 'L': EXPECT_EQ(f.width, 1); break;
        default: ADD_FAILURE() << "type " << f.type;
      }
    }
    EXPECT_LE(s.RecordLength(), kMaxRecordLength);
  }
}

TEST(TableStructures, RecordAndHeaderLengths) {
  struct Case {
    TableKind kind;
    int fields;
    int record;
  };
  // Record = delete mark + widths (a memo holds a 10-byte block number).
  const Case cases[] = {
      {TableKind::C10, 8, 1 + 1 + 14 + 30 + 3 * 254 + 10 + 1},
      {TableKind::C60, 16, 1 + 1 + 8 + 4 + 2 + 3 + 3 * 4 + 1 + 6 + 6 + 8 + 4 + 4 + 1 + 8},
      {TableKind::DossierLock, 1, 2},
  };
  for (const Case& c : cases) {
    const TableStructure& s = StructureOf(c.kind);
    SCOPED_TRACE(Str(TableKindName(c.kind)));
    EXPECT_EQ(s.FieldCount(), c.fields);
    EXPECT_EQ(s.RecordLength(), c.record);
    EXPECT_EQ(s.HeaderLength(), 32 + 32 * c.fields + 1);
  }
  EXPECT_TRUE(StructureOf(TableKind::C10).HasMemo());
  EXPECT_FALSE(StructureOf(TableKind::C50).HasMemo());
  EXPECT_EQ(StructureOf(TableKind::Unknown).FieldCount(), 0);
}

TEST(TableStructures, C10StampIsTheLastFieldAndTheFirstIsNamedWithG) {
  const TableStructure& c10 = StructureOf(TableKind::C10);
  EXPECT_EQ(c10.Field(c10.FieldCount())->name, kC10FormatStamp);
  EXPECT_EQ(kC10FormatStamp, "GD20131223");
  EXPECT_LT(kC10OldestEuroStamp, kC10FormatStamp);
  // A first field beginning with "C" marks the oldest generation.
  EXPECT_EQ(c10.Field(1)->name[0], 'G');
}

// Fields that other subjects read or write by number, with what they expect.
TEST(TableStructures, FieldsReadByNumberAreWhereCallersLook) {
  struct Case {
    TableKind kind;
    int number;
    const char* name;  // "" = any name
    char type;
    int minWidth;      // 0 = not checked
    int maxWidth;      // 0 = not checked
  };
  const Case cases[] = {
      // C10: kind, code, name, three packed texts, memo; dossier record slices
      // 1-30 (field 3), 31-284, 285-538 (fields 4, 5), 1043-1296 (field 6);
      // constants in fields 4 and 5 of "P0" (252 each); header totals 1-28.
      {TableKind::C10, 1, "GCLE", 'C', 1, 1},
      {TableKind::C10, 2, "GCODE", 'C', 14, 0},
      {TableKind::C10, 3, "GLIB", 'C', 30, 0},
      {TableKind::C10, 4, "", 'C', 254, 254},
      {TableKind::C10, 5, "", 'C', 254, 254},
      {TableKind::C10, 6, "", 'C', 254, 254},
      {TableKind::C10, 7, "", 'M', 0, 0},
      // C20: account record
      {TableKind::C20, 1, "CCODE", 'C', 8, 8},
      {TableKind::C20, 2, "CLIB", 'C', 30, 0},
      {TableKind::C20, 6, "", 'C', 20, 0},
      {TableKind::C20, 9, "", 'C', 24, 0},
      {TableKind::C20, 11, "CETS", 'C', 5, 5},
      {TableKind::C20, 12, "CGUICHET", 'C', 5, 5},
      {TableKind::C20, 13, "CCOMPTE", 'C', 11, 11},
      {TableKind::C20, 14, "", 'C', 2, 2},
      {TableKind::C20, 15, "CIBAN", 'C', 34, 34},
      {TableKind::C20, 16, "CBIC", 'C', 11, 11},
      {TableKind::C20, 25, "CCTRP", 'C', 8, 8},
      {TableKind::C20, 26, "", 'C', 1, 0},
      {TableKind::C20, 27, "", 'C', 1, 0},
      {TableKind::C20, 30, "", 'M', 0, 0},
      // C30: section record
      {TableKind::C30, 1, "ACODE", 'C', 8, 8},
      {TableKind::C30, 2, "ALIB", 'C', 30, 0},
      {TableKind::C30, 19, "", 'M', 0, 0},
      // C40: closed line (the rest follows the draft line, checked by the rename test)
      {TableKind::C40, 1, "DCLE", 'C', 1, 1},
      {TableKind::C40, 3, "DMOIS", 'C', 4, 4},
      {TableKind::C40, 5, "DJAL", 'C', 3, 3},
      {TableKind::C40, 20, "", 'C', 4, 4},  // line-sequence field, "0001"
      {TableKind::C40, 23, "", 'C', 6, 6},  // validation date
      // C50: draft line
      {TableKind::C50, 1, "BCLE", 'C', 1, 1},
      {TableKind::C50, 2, "BMOIS", 'C', 4, 4},
      {TableKind::C50, 3, "BJAL", 'C', 3, 3},
      {TableKind::C50, 4, "BPIECE", 'C', 6, 6},
      {TableKind::C50, 5, "BREC", 'C', 6, 6},
      {TableKind::C50, 6, "BNUM", 'C', 4, 4},
      {TableKind::C50, 7, "BNUMA", 'C', 4, 4},
      {TableKind::C50, 8, "", 'C', 2, 2},
      {TableKind::C50, 9, "BVENT", 'C', 2, 2},
      {TableKind::C50, 10, "BCODE", 'C', 8, 8},
      {TableKind::C50, 11, "BCLIB", 'C', 1, 1},
      {TableKind::C50, 12, "", 'C', 25, 25},
      {TableKind::C50, 13, "BLIB2", 'C', 25, 25},
      {TableKind::C50, 14, "BLIB3", 'C', 25, 25},
      {TableKind::C50, 15, "", 'C', 6, 6},
      {TableKind::C50, 16, "", 'C', 1, 1},
      {TableKind::C50, 17, "", 'C', 1, 1},
      {TableKind::C50, 20, "", 'C', 4, 4},
      {TableKind::C50, 21, "", 'C', 4, 4},
      {TableKind::C50, 22, "BCG", 'C', 8, 8},
      {TableKind::C50, 23, "", 'C', 1, 1},
      // C60: sort record
      {TableKind::C60, 1, "TCLE", 'C', 1, 1},
      {TableKind::C60, 2, "TCODE", 'C', 8, 8},
      {TableKind::C60, 3, "TMOIS", 'C', 4, 4},
      {TableKind::C60, 4, "TJOUR", 'C', 2, 2},
      {TableKind::C60, 5, "TJAL", 'C', 3, 3},
      {TableKind::C60, 6, "TLET", 'C', 4, 4},
      {TableKind::C60, 7, "TLETE", 'C', 4, 4},
      {TableKind::C60, 8, "TLETP", 'C', 4, 4},
      {TableKind::C60, 9, "TFIC", 'C', 1, 1},
      {TableKind::C60, 10, "TREC", 'C', 6, 6},
      {TableKind::C60, 11, "TPIECE", 'C', 6, 6},
      {TableKind::C60, 12, "TCG", 'C', 8, 8},
      {TableKind::C60, 13, "TNUM", 'C', 4, 4},
      {TableKind::C60, 14, "", 'C', 4, 4},
      {TableKind::C60, 15, "TTVA", 'C', 1, 1},
      // C70: computed balance sheet
      {TableKind::C70, 1, "BLN", 'C', 3, 4},
      {TableKind::C70, 2, "BAPR", 'C', 1, 0},
      {TableKind::C70, 3, "", 'C', 47, 0},  // model type at character 47
      {TableKind::C70, 4, "", 'C', 3, 3},
      {TableKind::C70, 5, "BLG", 'C', 3, 3},
      {TableKind::C70, 7, "", 'C', 3, 3},
      {TableKind::C70, 10, "", 'N', 3, 3},
      {TableKind::C70, 11, "", 'C', 3, 3},
      {TableKind::C70, 14, "", 'N', 3, 3},
      {TableKind::C70, 19, "", 'C', 3, 3},
      {TableKind::C70, 22, "", 'N', 3, 3},
      {TableKind::C70, 23, "", 'C', 7, 7},
      // Report definitions: code then name, template memo in field 11
      {TableKind::ReportDefs, 1, "ECODE", 'C', 10, 10},
      {TableKind::ReportDefs, 2, "", 'C', 30, 0},
      {TableKind::ReportDefs, 11, "", 'M', 0, 0},
  };
  for (const Case& c : cases) {
    const TableStructure& s = StructureOf(c.kind);
    SCOPED_TRACE(Str(TableKindName(c.kind)) + " field " + std::to_string(c.number));
    const FieldDef* f = s.Field(c.number);
    ASSERT_NE(f, nullptr);
    if (*c.name) {
      EXPECT_EQ(f->name, c.name);
    }
    EXPECT_EQ(f->type, c.type);
    if (c.minWidth) {
      EXPECT_GE(f->width, c.minWidth);
    }
    if (c.maxWidth) {
      EXPECT_LE(f->width, c.maxWidth);
    }
  }
  EXPECT_EQ(StructureOf(TableKind::C40).FieldCount(), 23);
  EXPECT_EQ(StructureOf(TableKind::C50).FieldCount(), 24);
  EXPECT_EQ(StructureOf(TableKind::C60).FieldCount(), 16);
  EXPECT_EQ(StructureOf(TableKind::C70).FieldCount(), 23);
}

// Exactly the amount fields of each table are numbers with 2 decimals, each
// franc field followed by its euro field.
TEST(TableStructures, AmountFieldsAreTheNumbersWithTwoDecimals) {
  struct Case {
    TableKind kind;
    std::vector<int> amounts;
  };
  const Case cases[] = {
      {TableKind::C20, {17, 18, 19, 20, 21, 22, 23, 24, 28, 29}},
      {TableKind::C30, {9, 10, 11, 12, 13, 14, 15, 16, 17, 18}},
      {TableKind::C40, {14, 15}},
      {TableKind::C50, {18, 19}},
      {TableKind::C70, {8, 9, 12, 13, 16, 17, 20, 21}},
  };
  for (const Case& c : cases) {
    const TableStructure& s = StructureOf(c.kind);
    SCOPED_TRACE(Str(TableKindName(c.kind)));
    const std::set<int> amounts(c.amounts.begin(), c.amounts.end());
    for (int n = 1; n <= s.FieldCount(); ++n) {
      const FieldDef& f = *s.Field(n);
      const bool isAmount = f.type == 'N' && f.decimals == 2;
      EXPECT_EQ(isAmount, amounts.count(n) == 1) << "field " << n << " " << f.name;
      // Amounts are printed in 14 positions everywhere.
      if (isAmount) {
        EXPECT_EQ(f.width, 14) << f.name;
      }
    }
  }
}

// Copying a draft line into the closed lines renames B... to D...; every
// field the closed-line readers take by number must receive its draft field.
TEST(TableStructures, DraftLineFieldsReachTheClosedLineByRename) {
  const TableStructure& c50 = StructureOf(TableKind::C50);
  const TableStructure& c40 = StructureOf(TableKind::C40);
  // {C50 field, C40 field}: the same datum in both records.
  const std::pair<int, int> same[] = {{1, 1},   {10, 2},  {2, 3},   {8, 4},   {3, 5},
                                      {4, 6},   {11, 7},  {12, 8},  {13, 9},  {14, 10},
                                      {15, 11}, {16, 12}, {17, 13}, {18, 14}, {19, 15},
                                      {20, 16}, {21, 17}, {22, 18}, {6, 19},  {7, 20},
                                      {23, 21}, {24, 22}};
  for (auto [b, d] : same) {
    const FieldDef& fb = *c50.Field(b);
    const FieldDef& fd = *c40.Field(d);
    SCOPED_TRACE(Str(fb.name) + " -> " + Str(fd.name));
    EXPECT_EQ(fb.name[0], 'B');
    EXPECT_EQ(fd.name[0], 'D');
    EXPECT_EQ(fb.name.substr(1), fd.name.substr(1));
    EXPECT_EQ(fb.type, fd.type);
    EXPECT_EQ(fb.width, fd.width);
    EXPECT_EQ(fb.decimals, fd.decimals);
  }
  // The draft-only fields have no closed-line twin, so the copy skips them.
  for (const char* draftOnly : {"BREC", "BVENT"}) {
    std::string twin = draftOnly;
    twin[0] = 'D';
    EXPECT_EQ(c40.FieldNumber(twin), 0) << twin;
  }
  // Targets of the copy-by-names rename list.
  for (const char* name : {"DLIB2", "DLIB3"}) EXPECT_GT(c40.FieldNumber(name), 0) << name;
  for (const char* name : {"BLIB2", "BLIB3"}) EXPECT_GT(c50.FieldNumber(name), 0) << name;
}

// The sort record is refilled from C40 or C50; each target must hold its source.
TEST(TableStructures, SortRecordHoldsWhatItIsFilledFrom) {
  const TableStructure& c60 = StructureOf(TableKind::C60);
  const TableStructure& c40 = StructureOf(TableKind::C40);
  const TableStructure& c50 = StructureOf(TableKind::C50);
  struct Map {
    int t, d, b;
  };
  const Map maps[] = {{1, 1, 1},   {2, 2, 10},  {3, 3, 2},   {4, 4, 8},  {5, 5, 3},
                      {6, 16, 20}, {7, 17, 21}, {11, 6, 4},  {12, 18, 22}, {13, 19, 6},
                      {14, 20, 7}, {15, 21, 23}, {16, 22, 24}};
  for (const Map& m : maps) {
    SCOPED_TRACE("C60 field " + std::to_string(m.t));
    EXPECT_EQ(c60.Field(m.t)->width, c40.Field(m.d)->width);
    EXPECT_EQ(c60.Field(m.t)->width, c50.Field(m.b)->width);
  }
  // Piece renumbering parks piece numbers in TCODE and TCG.
  EXPECT_GE(c60.Field(2)->width, c50.Field(4)->width);
  EXPECT_GE(c60.Field(12)->width, c50.Field(4)->width);
}

TEST(TableStructures, ModelLinesCarryTheBalanceSheetFields) {
  const TableStructure& c70 = StructureOf(TableKind::C70);
  const TableStructure& lines = StructureOf(TableKind::ModelLines);
  ASSERT_EQ(lines.FieldCount(), c70.FieldCount());
  for (int n = 1; n <= c70.FieldCount(); ++n) {
    EXPECT_EQ(lines.Field(n)->name, c70.Field(n)->name);
    EXPECT_EQ(lines.Field(n)->type, c70.Field(n)->type);
    EXPECT_EQ(lines.Field(n)->width, c70.Field(n)->width);
  }
  EXPECT_TRUE(lines.tags.empty());
  ASSERT_EQ(StructureOf(TableKind::ModelParams).tags.size(), 1u);
  EXPECT_EQ(StructureOf(TableKind::ModelParams).tags[0].name, kModelParamsTagName);
  // The poste code of the parameters is the poste of the lines.
  EXPECT_EQ(StructureOf(TableKind::ModelParams).Field(1)->width, c70.Field(7)->width);
}

// ---- tags ---------------------------------------------------------------------

TEST(TableStructures, TagsNameOnlyCharacterFieldsOfTheirTableWithinTheKeyLimit) {
  for (TableKind kind : AllTableKinds()) {
    const TableStructure& s = StructureOf(kind);
    for (bool byAccount : {false, true}) {
      for (const TagDef& t : TagsToBuild(kind, byAccount)) {
        SCOPED_TRACE(Str(TableKindName(kind)) + " " + Str(t.name));
        EXPECT_LE(t.name.size(), static_cast<std::size_t>(kMaxFieldNameLength));
        EXPECT_EQ(Str(t.name).find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_"),
                  std::string::npos);
        const int length = KeyLength(s, t.expression);
        EXPECT_GT(length, 0);
        EXPECT_LE(length, kMaxKeyLength);
        // The key fields handed to the engine are the expression's fields, in order.
        std::vector<int> named;
        for (const std::string& name : FieldsNamedIn(t.expression)) {
          const int n = s.FieldNumber(name);
          EXPECT_GT(n, 0) << name;
          named.push_back(n);
        }
        EXPECT_EQ(named, t.keyFields);
        for (const std::string& name : FieldsNamedIn(t.condition))
          EXPECT_GT(s.FieldNumber(name), 0) << "condition names " << name;
      }
    }
  }
}

TEST(TableStructures, TagNamesAndOrderFollowThePackedNameTexts) {
  // Tag names are cut from texts 7 characters at a time (trailing blanks dropped).
  const std::pair<TableKind, const char*> packed[] = {
      {TableKind::C10, "C10CODE"},
      {TableKind::C20, "C20CODEC20NOM C20RIB C20IBAN"},
      {TableKind::C30, "C30CODEC30NOM "},
      {TableKind::C40, "C40CODE"},
      {TableKind::C50, "C50CODEC50ANALC50VENT"},
      {TableKind::C60, "C60CODEC60ANALC60STM C60REC C60JX  C60JXANALC60DTVAE"},
      {TableKind::C70, "C70CODEC70LIGNES"},
      {TableKind::ReportDefs, "CE0CODE"},
  };
  for (auto [kind, text] : packed) {
    SCOPED_TRACE(Str(TableKindName(kind)));
    std::vector<std::string> expected;
    const std::string all = text;
    for (std::size_t i = 0; i < all.size();) {
      // "C60JXANAL" and "C70LIGNES" run past 7 characters: take up to the next "C".
      std::size_t end = all.find('C', i + 7);
      if (end == std::string::npos) end = all.size();
      std::string name = all.substr(i, end - i);
      name.erase(name.find_last_not_of(' ') + 1);
      expected.push_back(name);
      i = end;
    }
    std::vector<std::string> actual;
    for (const TagDef& t : StructureOf(kind).tags) actual.push_back(Str(t.name));
    EXPECT_EQ(actual, expected);
    // The table's file prefix is the first three characters of its first tag.
    if (kind != TableKind::ReportDefs) {
      EXPECT_EQ(actual[0].substr(0, 3), Str(TableKindName(kind)));
    }
  }
}

TEST(TableStructures, KeysHaveTheLengthsTheirCallersBuild) {
  struct Case {
    TableKind kind;
    const char* tag;
    int length;
  };
  const Case cases[] = {
      {TableKind::C10, "C10CODE", 15},   // kind + 14-character code
      {TableKind::C40, "C40CODE", 8},    // "Z" + month + journal
      {TableKind::C50, "C50CODE", 24},   // journal-month prefix, piece, group, line
      {TableKind::C50, "C50ANAL", 30},   // the analytic list's row key (characters 8-37)
      {TableKind::C60, "C60REC", 7},     // "B" + six-digit record number
      {TableKind::C20, "C20RIB", 21},    // bank + branch + account of the RIB
      {TableKind::C20, "C20IBAN", 45},
      {TableKind::C70, "C70LIGNES", 4},
  };
  for (const Case& c : cases) {
    const TableStructure& s = StructureOf(c.kind);
    const TagDef* t = s.Tag(c.tag);
    ASSERT_NE(t, nullptr) << c.tag;
    EXPECT_EQ(KeyLength(s, t->expression), c.length) << c.tag;
  }
  // The analytic lines of a general line are sought by a 25-character prefix of C50ANAL.
  EXPECT_EQ(KeyLength(StructureOf(TableKind::C50), "BMOIS+BJAL+BPIECE+BCG+BNUM"), 25);
  // The statutory export's temporary order of the sort file.
  EXPECT_EQ(KeyLength(StructureOf(TableKind::C60), "TCLE+TMOIS+TJOUR+TJAL+TPIECE"), 16);
}

TEST(TableStructures, ConditionLiteralsFitTheirFields) {
  // "BVENT#'  '" must compare the whole field: two blanks for two characters.
  EXPECT_EQ(StructureOf(TableKind::C50).Field(9)->width, 2);
  // SUBS(TCODE,1,4) reads inside TCODE.
  EXPECT_EQ(KeyLength(StructureOf(TableKind::C60), "SUBS(TCODE,1,4)"), 4);
}

TEST(TableStructures, AnalyticSortOrderTakesTheAccountOnlyWhenAsked) {
  auto find = [](const std::vector<TagDef>& tags) {
    for (const TagDef& t : tags)
      if (t.name == "C60ANAL") return t;
    return TagDef{};
  };
  const TagDef plain = find(TagsToBuild(TableKind::C60, false));
  const TagDef byAccount = find(TagsToBuild(TableKind::C60, true));
  EXPECT_EQ(plain.expression, "TCODE+TMOIS+TJOUR");
  EXPECT_EQ(plain.keyFields, (std::vector<int>{2, 3, 4}));
  EXPECT_EQ(byAccount.expression, "TCODE+TCG+TMOIS+TJOUR");
  EXPECT_EQ(byAccount.keyFields, (std::vector<int>{2, 12, 3, 4}));
  EXPECT_EQ(byAccount.condition, "TCLE<'Z'");
  EXPECT_EQ(TagsToBuild(TableKind::C60, true).size(), 7u);
  // Other tables ignore the flag.
  EXPECT_EQ(TagsToBuild(TableKind::C50, true).size(), 3u);
  EXPECT_TRUE(TagsToBuild(TableKind::DossierLock, false).empty());
}

// ---- expression helpers -------------------------------------------------------

TEST(TableStructures, KeyLengthOfExpressions) {
  const TableStructure& c20 = StructureOf(TableKind::C20);
  const std::pair<const char*, int> cases[] = {
      {"CCODE", 8},
      {"ccode", 8},
      {"UPPER(CLIB)", 30},
      {" CETS + CGUICHET ", 10},
      {"SUBS(CIBAN,3,2)", 2},
      {"SUBSTR(CIBAN,5)", 30},
      {"UPPER(SUBS(CLIB,1,10))+CCODE", 18},
      {"'A'+CCODE", 9},
      {"TRIM(CETS)", 5},
      {"NOSUCH", -1},            // unknown field
      {"CDEBITF", -1},           // numeric: not a character key
      {"CTEXTE", -1},            // memo
      {"SUBS(CETS,4,3)", -1},    // beyond the field
      {"SUBS(CETS,0,1)", -1},
      {"LEN(TRIM(CETS))>0", -1},  // a condition, not a key
      {"UPPER(CLIB", -1},
      {"CCODE+", -1},
      {"", -1},
      {"'abc", -1},
  };
  for (auto [expression, length] : cases) EXPECT_EQ(KeyLength(c20, expression), length) << expression;
  // Deep nesting is refused, not followed without end.
  std::string deep;
  for (int i = 0; i < 200; ++i) deep += "UPPER(";
  deep += "CCODE";
  for (int i = 0; i < 200; ++i) deep += ")";
  EXPECT_EQ(KeyLength(c20, deep), -1);
}

TEST(TableStructures, FieldsNamedInExpressionsAndConditions) {
  using V = std::vector<std::string>;
  const std::pair<const char*, V> cases[] = {
      {"GCLE+GCODE", V{"GCLE", "GCODE"}},
      {"UPPER(clib)", V{"CLIB"}},
      {"LEN(TRIM(CETS))>0", V{"CETS"}},
      {"BCLE='Z' .AND. BVENT#'  '", V{"BCLE", "BVENT"}},
      {"TTVA#' ' .OR. SUBS(TCODE,1,4)='4456'", V{"TTVA", "TCODE"}},
      {".NOT. DELETED()", V{}},
      {"'TCODE'", V{}},
      {"", V{}},
  };
  for (const auto& [text, names] : cases) EXPECT_EQ(FieldsNamedIn(text), names) << text;
}

// ---- file names ---------------------------------------------------------------

TEST(TableStructures, KindOfFileName) {
  const std::pair<const char*, TableKind> cases[] = {
      {"c50DEMO.dbf", TableKind::C50},
      {"/data/Dossiers/C10ABCDE.DBF", TableKind::C10},
      {"c20x.mdx", TableKind::C20},
      {"C30DEMO.dbt", TableKind::C30},
      {"c40demo", TableKind::C40},
      {"C60DEMO", TableKind::C60},
      {"c70demo.dbf", TableKind::C70},
      {"cdemo___.dbf", TableKind::DossierLock},
      {"CABCDE__.DBF", TableKind::DossierLock},
      {"cx______", TableKind::DossierLock},
      {"CR00REF.dbf", TableKind::DossierLock},
      {"CR10REF", TableKind::C10},
      {"cr50ref.DBF", TableKind::C50},
      {"CESETATS.dbf", TableKind::ReportDefs},
      {"ce0etats.mdx", TableKind::ReportDefs},
      {"CEPDEMO.dbf", TableKind::ReportDefs},
      {"CLBILANR.DBF", TableKind::ModelLines},
      {"cpbilans.mdx", TableKind::ModelParams},
      {"C10DEMO.ini", TableKind::Unknown},      // the dossier INI file
      {"CLGDEMO.txt", TableKind::Unknown},      // the log
      {"c80demo.dbf", TableKind::Unknown},
      {"c00demo.dbf", TableKind::Unknown},
      {"c10.dbf", TableKind::Unknown},          // no code
      {"c10abcdef.dbf", TableKind::Unknown},    // code longer than 5
      {"c_______.dbf", TableKind::Unknown},     // no code before the bars
      {"cabcdef_.dbf", TableKind::Unknown},     // one bar: a 6-character code
      {"readme.dbf", TableKind::Unknown},
      {"", TableKind::Unknown},
      {"/", TableKind::Unknown},
  };
  for (auto [name, kind] : cases)
    EXPECT_EQ(TableKindName(TableKindOfFileName(name)), TableKindName(kind)) << name;
}

TEST(TableStructures, BaseNamesAreLowerCaseAndRecognised) {
  struct Case {
    TableKind kind;
    const char* code;
    const char* name;
  };
  const Case cases[] = {
      {TableKind::C10, "DEMO", "c10demo"},
      {TableKind::C50, "AB   ", "c50ab"},
      {TableKind::C70, "ABCDE", "c70abcde"},
      {TableKind::DossierLock, "ABC", "cabc____"},
      {TableKind::DossierLock, "ABCDE", "cabcde__"},
      {TableKind::DossierLock, "AB  ", "cab_____"},
      {TableKind::ReportDefs, "S", "cesetats"},
      {TableKind::ReportDefs, "0", "ce0etats"},
      {TableKind::ModelLines, "R", "clbilanr"},
      {TableKind::ModelParams, "S", "cpbilans"},
      // refused: nothing to name, or a name that would leave the folder
      {TableKind::C10, "", ""},
      {TableKind::C10, "     ", ""},
      {TableKind::C10, "ABCDEF", ""},
      {TableKind::C20, "../x", ""},
      {TableKind::C20, "a/b", ""},
      {TableKind::DossierLock, "", ""},
      {TableKind::ReportDefs, "", ""},
      {TableKind::ReportDefs, "AB", ""},
      {TableKind::ModelLines, "/", ""},
      {TableKind::Unknown, "DEMO", ""},
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

TEST(TableStructures, LookupsByNameAndNumber) {
  const TableStructure& c50 = StructureOf(TableKind::C50);
  EXPECT_EQ(c50.FieldNumber("BCODE"), 10);
  EXPECT_EQ(c50.FieldNumber("bcode"), 10);
  EXPECT_EQ(c50.FieldNumber("BCOD"), 0);
  EXPECT_EQ(c50.FieldNumber(""), 0);
  EXPECT_EQ(c50.Field(0), nullptr);
  EXPECT_EQ(c50.Field(25), nullptr);
  EXPECT_NE(c50.Tag("c50vent"), nullptr);
  EXPECT_EQ(c50.Tag("C50"), nullptr);
  for (TableKind kind : AllTableKinds()) EXPECT_EQ(StructureOf(kind).kind, kind);
}

}  // namespace
