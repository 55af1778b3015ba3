#include "runtime/report_fields.h"

#include <string>

#include "support/runtime_fixture.h"

using ReportFieldsTest = test_support::RuntimeTest;

TEST_F(ReportFieldsTest, DefinitionParts) {
  struct Case { const char* def; const char* name; char type; int width, decimals; } cases[] = {
      {"DEBIT     M142", "DEBIT", 'M', 14, 2},
      {"LIBELLE   CA00", "LIBELLE", 'C', 100, 0},
      {"COURT", "COURT", ' ', 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FieldWidthOf(c.def), c.width) << c.def;
    EXPECT_EQ(FieldTypeOf(c.def), c.type) << c.def;
    EXPECT_EQ(FieldDecimalsOf(c.def), c.decimals) << c.def;
    EXPECT_EQ(FieldNameOf(c.def), c.name) << c.def;
  }
  EXPECT_EQ(FieldWidthOf(static_cast<const char*>(nullptr)), 0);
}

class FieldTable : public ReportFieldsTest {
 protected:
  void SetUp() override {
    ReportFieldsTest::SetUp();
    table.SetFieldCount(9);
    table.InitFieldTable();
    table.DeclareField(0, "DEBIT     M142");
    table.DeclareField(1, "CREDIT    M142");
    table.DeclareField(2, "NOM       C300");
  }
  ReportFieldTable table;
};

TEST_F(FieldTable, DeclareKeepsTheFirstAndRefusesOutsideTheCount) {
  EXPECT_FALSE(table.DeclareField(0, "AUTRE     C050"));
  EXPECT_EQ(table.Definition(0), "DEBIT     M142");
  EXPECT_EQ(LastRuntimeMessage().count, 0);

  EXPECT_FALSE(table.DeclareField(9, "AUTRE     C050"));
  EXPECT_FALSE(table.DeclareField(-1, "AUTRE     C050"));
  EXPECT_EQ(LastRuntimeMessage().count, 2);
  EXPECT_EQ(table.Value(9), "");
}

TEST_F(FieldTable, CopiesTakeTheLetterOfTheirGroup) {
  table.DeclareFieldCopies(2, 3);
  EXPECT_EQ(table.Definition(3), "ADEBIT    M142");
  EXPECT_EQ(table.Definition(8), "BNOM      C300");
  EXPECT_EQ(table.FindField("bcredit"), 7);
  EXPECT_EQ(table.FindField("ABSENT"), -1);
}

TEST_F(FieldTable, TextValuesKeepTheirWidth) {
  auto padded = [](std::string v) { return v.resize(30, ' '), v; };
  table.SetFieldText(2, "Dupont");
  table.AppendFieldText(2, " et Fils");
  EXPECT_EQ(table.Value(2), padded("Dupont et Fils"));
  table.SetFieldText(2, std::string(40, 'x').c_str());
  table.AppendFieldText(2, "yy");
  EXPECT_EQ(table.Value(2), std::string(30, 'x'));
}

TEST_F(FieldTable, NumbersLoseDecimalsBeforeOverflowing) {
  ReportFieldTable t;
  t.SetFieldCount(3);
  t.InitFieldTable();
  t.DeclareField(0, "MONTANT   N102");
  t.DeclareField(1, "SOLDE     M142");
  t.DeclareField(2, "LARGE     N252");
  struct Case { int n; double value; const char* expected; } cases[] = {
      {0, 123456789.5, " 123456790"},
      {0, 1234567.891, "1234567.89"},
      {1, -1234.5, "     -1 234.50"},
      {2, 12.5, "                    12.50"},  // wider than 20: right-aligned
  };
  for (const Case& c : cases) {
    t.SetFieldNumber(c.n, c.value);
    EXPECT_EQ(t.Value(c.n), c.expected) << c.value;
  }
  t.SetFieldNumber(2, 98765.25);
  EXPECT_DOUBLE_EQ(t.GetFieldNumber(2), 98765.25);
}

TEST_F(FieldTable, ClearingAGroupTouchesOnlyIt) {
  table.DeclareFieldCopies(2, 3);
  for (int n : {0, 3, 6}) table.SetFieldNumber(n, 5.0);
  for (int n : {2, 5, 8}) table.SetFieldText(n, "texte");
  table.ClearFieldGroup(1, 3);
  EXPECT_DOUBLE_EQ(table.GetFieldNumber(3), 0.0);
  EXPECT_DOUBLE_EQ(table.GetFieldNumber(6), 5.0);
  EXPECT_TRUE(IsBlank(table.Value(5)));
  EXPECT_FALSE(IsBlank(table.Value(8)));
  table.ClearFieldValues();
  EXPECT_EQ(table.Value(6), "          0.00");
}

TEST_F(FieldTable, Differences) {
  ReportFieldTable t;
  t.SetFieldCount(6);
  t.InitFieldTable();
  t.DeclareField(0, "DEBIT     M142");
  t.DeclareField(1, "CREDIT    M142");
  t.DeclareField(2, "SOLDE     C170");
  t.DeclareField(3, "NOMBRE    N102");
  t.DeclareField(4, "ECART     C100");
  struct Case { int a, b; double va, vb; int target; const char* expected; } cases[] = {
      {0, 1, 1500.0, 250.5, 2, "      1 249.50 Db"},
      {0, 1, 250.5, 1500.0, 2, "      1 249.50 Cr"},
      {0, 3, 1500.0, 250.5, 2, "       1249.50 Db"},  // not both money: ungrouped
      {0, 1, 7.0, 7.0, 4, "          "},            // 0.00 in 14 cut to the width
  };
  for (const Case& c : cases) {
    t.SetFieldNumber(c.a, c.va);
    t.SetFieldNumber(c.b, c.vb);
    t.SetFieldDifference(c.target, c.a, c.b);
    EXPECT_EQ(t.Value(c.target), c.expected) << c.va << " - " << c.vb;
  }
}

// The empty-report paragraph stands apart from the text that follows it.
TEST_F(ReportFieldsTest, EmptyReportMessage) {
  ShowEmptyReport("Compte: 411000");
  EXPECT_EQ(LastRuntimeMessage().text, "\n\n\nIl n'y a rien dans cet Etat\n\n\nCompte: 411000\n\n");
}

