#include "runtime/report_fields.h"

#include <string>

#include "support/runtime_fixture.h"

using ReportFieldsTest = test_support::RuntimeTest;

// The table's tests read the usual definitions; here, a width past 99 and definitions cut short.
TEST_F(ReportFieldsTest, DefinitionParts) {
  EXPECT_EQ(FieldWidthOf("LIBELLE   CA00"), 100);
  EXPECT_EQ(FieldTypeOf("COURT"), ' ');
  EXPECT_EQ(FieldWidthOf(static_cast<const char*>(nullptr)), 0);
}

class FieldTable : public ReportFieldsTest {
 protected:
  void SetUp() override {
    ReportFieldsTest::SetUp();
    Declare(table, 9, {"DEBIT     M142", "CREDIT    M142", "NOM       C300"});
  }
  // A table of `count` fields, the first ones declared with the given definitions.
  static void Declare(ReportFieldTable& t, int count, std::initializer_list<const char*> definitions) {
    t.SetFieldCount(count);
    t.InitFieldTable();
    int n = 0;
    for (const char* definition : definitions) t.DeclareField(n++, definition);
  }
  ReportFieldTable table;
};

TEST_F(FieldTable, DeclareKeepsTheFirstAndRefusesOutsideTheCount) {
  EXPECT_FALSE(table.DeclareField(0, "AUTRE     C050"));
  EXPECT_EQ(table.Definition(0), "DEBIT     M142");
  EXPECT_EQ(LastRuntimeMessage().count, 0);

  EXPECT_FALSE(table.DeclareField(9, "AUTRE     C050"));
  EXPECT_EQ(LastRuntimeMessage().count, 1);
  EXPECT_EQ(table.Value(9), "");
}

TEST_F(FieldTable, CopiesTakeTheLetterOfTheirGroup) {
  table.DeclareFieldCopies(2, 3);
  EXPECT_EQ(table.Definition(3), "ADEBIT    M142");
  EXPECT_EQ(table.Definition(8), "BNOM      C300");
  EXPECT_EQ(table.FindField("bcredit"), 7);
}

TEST_F(FieldTable, TextValuesKeepTheirWidth) {
  table.SetFieldText(2, std::string(40, 'x').c_str());
  table.AppendFieldText(2, "yy");
  EXPECT_EQ(table.Value(2), std::string(30, 'x'));
}

TEST_F(FieldTable, NumbersLoseDecimalsBeforeOverflowing) {
  ReportFieldTable t;
  Declare(t, 1, {"MONTANT   N102"});
  t.SetFieldNumber(0, 123456789.5);
  EXPECT_EQ(t.Value(0), " 123456790");
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
}

TEST_F(FieldTable, Differences) {
  ReportFieldTable t;
  Declare(t, 3, {"DEBIT     M142", "CREDIT    M142", "SOLDE     C170"});
  t.SetFieldNumber(0, 250.5);
  t.SetFieldNumber(1, 1500.0);
  t.SetFieldDifference(2, 0, 1);
  EXPECT_EQ(t.Value(2), "      1 249.50 Cr");
}

// The empty-report paragraph stands apart from the text that follows it.
TEST_F(ReportFieldsTest, EmptyReportMessage) {
  ShowEmptyReport("Compte: 411000");
  EXPECT_EQ(LastRuntimeMessage().text, "\n\n\nIl n'y a rien dans cet Etat\n\n\nCompte: 411000\n\n");
}

