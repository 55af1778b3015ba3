#include "runtime/report_fields.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "runtime/text.h"

#include "runtime/runtime_hooks.h"
#include "runtime/xbase.h"
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

// A number wider than its field is written whole: every digit and decimal, the text wider than
// the field; one that fits is right-aligned. Money keeps every thousands' blank, wider than its
// field when it must be: never "4092758.99" nor "1000000 000.00".
TEST_F(FieldTable, NumbersWiderThanTheirFieldKeepEveryDecimal) {
  const struct {
    const char* definition;
    double value;
    const char* text;
  } cases[] = {
      {"MONTANT   N102", 123456789.5, "123456789.50"},
      {"MONTANT   N102", -1000181.32, "-1000181.32"},
      {"MONTANT   N102", -100181.32, "-100181.32"},
      {"MONTANT   M102", -1573827.18, "-1 573 827.18"},
      {"MONTANT   M102", 10000181.32, "10 000 181.32"},
      {"MONTANT   M102", 1391976.64, "1 391 976.64"},
      {"MONTANT   M102", 4092758.99, "4 092 758.99"},
      {"MONTANT   M102", 91976.64, " 91 976.64"},
      {"MONTANT   M102", -100000000, "-100 000 000.00"},
      {"TAUX      N052", 123.456, "123.46"},
      {"NB        N050", 1234567, "1234567"},
      {"MONTANT   M142", 999999999.99, "999 999 999.99"},
      {"MONTANT   M142", 1000000000, "1 000 000 000.00"},
      {"MONTANT   M142", -1234567890.12, "-1 234 567 890.12"},
      {"MONTANT   M142", 123456789012345.5, "123 456 789 012 345.50"},
      {"MONTANT   M142", 1e21, "**************"},
      {"SOLDE     M172", 17557.92, "        17 557.92"},
      {"NB        M050", 1234567, "1 234 567"},
  };
  for (const auto& c : cases) {
    ReportFieldTable t;
    Declare(t, 1, {c.definition});
    t.SetFieldNumber(0, c.value);
    EXPECT_EQ(t.Value(0), c.text) << c.definition << " " << c.value;
  }
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

// A balance of ten billions keeps its every blank and its side, wider than its text field: by the
// difference of two totals, set from cents, read back; a smaller one keeps the field's width.
// A number made blank holds no value: it reads as zero and gives no plain number to the exports.
TEST_F(FieldTable, WideBalancesAndBlankNumbers) {
  ReportFieldTable t;
  Declare(t, 5, {"DEBIT     M142", "CREDIT    M142", "SOLDE     C170", "RESULTAT  C170", "SOLDEDEBITM172"});
  t.SetFieldUnits(0, 1200);
  t.SetFieldUnits(1, 9999999830730);
  t.SetFieldDifference(2, 0, 1);
  EXPECT_EQ(t.Value(2), "99 999 998 295.30 Cr");
  t.SetFieldBalance(3, 9999859886651);
  EXPECT_EQ(t.Value(3), "99 998 598 866.51 Db");
  t.SetFieldBalance(3, -4200);
  EXPECT_EQ(t.Value(3), "         42.00 Cr");
  t.SetFieldUnits(4, 1234);
  EXPECT_EQ(t.PlainNumber(4, ','), "12,34");
  t.SetFieldBlank(4);
  EXPECT_TRUE(IsBlank(t.Value(4)));
  EXPECT_EQ(t.Value(4).size(), 17u);
  EXPECT_EQ(t.PlainNumber(4, ','), "");
  EXPECT_DOUBLE_EQ(t.GetFieldNumber(4), 0.0);
  t.AddFieldNumber(4, 2.5);
  EXPECT_EQ(t.PlainNumber(4, ','), "2,50");
}

// The empty-report paragraph stands apart from the text that follows it.
TEST_F(ReportFieldsTest, EmptyReportMessage) {
  ShowEmptyReport("Compte: 411000");
  EXPECT_EQ(LastRuntimeMessage().text, "\n\n\nIl n'y a rien dans cet Etat\n\n\nCompte: 411000\n\n");
}


namespace {

// Fills a pending field with its name and the count of fills so far (a money field with that
// count in units), as an owner makes a value from its state when it is read.
class CountingSource : public ReportFieldSource {
 public:
  explicit CountingSource(ReportFieldTable& t) : t_(t) {}
  void FillField(int n) override {
    ++fills;
    filled.push_back(n);
    if (FieldTypeOf(t_.Definition(n)) == 'C') {
      t_.SetFieldText(n, "rempli " + std::to_string(fills));
    } else {
      t_.SetFieldUnits(n, fills * 100);
    }
  }
  int fills = 0;
  std::vector<int> filled;

 private:
  ReportFieldTable& t_;
};

}  // namespace

// A pending field is asked of its source at its first read, whichever way it is read, and once:
// its text, its number, its exact value, its plain number, an append to it, a sum or a difference
// that takes it. A setter or the clearing of the values makes it an ordinary field again; without
// a source nothing is pending.
TEST_F(FieldTable, PendingFieldsAreFilledAtTheirFirstRead) {
  // The text of an amount as a money field shows it.
  auto money = [](double value) {
    ReportFieldTable t;
    Declare(t, 1, {"MONTANT   M142"});
    t.SetFieldNumber(0, value);
    return t.Value(0);
  };
  CountingSource source(table);
  table.MarkFieldPending(2);
  EXPECT_FALSE(table.FieldPending(2)) << "no source yet";
  table.SetFieldSource(&source);

  table.MarkFieldPending(2);
  EXPECT_TRUE(table.FieldPending(2));
  EXPECT_EQ(TrimmedRight(table.Value(2)), "rempli 1");
  EXPECT_EQ(TrimmedRight(table.Value(2)), "rempli 1");
  EXPECT_EQ(source.fills, 1);

  const std::vector<std::function<void()>> reads = {
      [&] {
        const double number = table.GetFieldNumber(0);
        EXPECT_EQ(number, static_cast<double>(source.fills));
      },
      [&] {
        std::int64_t units = 0;
        EXPECT_TRUE(table.GetFieldUnits(0, units));
        EXPECT_EQ(units, source.fills * 100);
      },
      [&] {
        const std::string plain = table.PlainNumber(0, ',');
        EXPECT_EQ(plain, std::to_string(source.fills) + ",00");
      },
      [&] {
        const std::string text = table.Value(0);
        EXPECT_EQ(text, money(source.fills));
      },
      [&] {
        table.AddFieldNumber(0, 0.5);
        EXPECT_EQ(table.GetFieldNumber(0), source.fills + 0.5);
      },
      [&] {
        table.SetFieldUnits(1, 0);
        table.AddField(1, 0);
        EXPECT_EQ(table.GetFieldNumber(1), static_cast<double>(source.fills));
      },
      [&] {
        table.SetFieldUnits(1, 100);
        table.SetFieldDifference(2, 0, 1);
        EXPECT_EQ(table.GetFieldNumber(2), static_cast<double>(source.fills - 1));
      },
  };
  for (std::size_t i = 0; i < reads.size(); ++i) {
    SCOPED_TRACE(i);
    const int before = source.fills;
    table.MarkFieldPending(0);
    reads[i]();
    EXPECT_EQ(source.fills, before + 1);
    EXPECT_FALSE(table.FieldPending(0));
  }
  table.MarkFieldPending(2);
  table.AppendFieldText(2, "+");
  EXPECT_EQ(TrimmedRight(table.Value(2)), "rempli " + std::to_string(source.fills) + "+");

  // Set, cleared, released or declared again: nothing is asked.
  const int before = source.fills;
  table.MarkFieldPending(2);
  table.SetFieldText(2, "pos\xE9");
  EXPECT_EQ(TrimmedRight(table.Value(2)), "pos\xE9");
  table.MarkFieldPending(0);
  table.SetFieldNumber(0, 12.5);
  EXPECT_EQ(table.GetFieldNumber(0), 12.5);
  table.MarkFieldPending(1);
  table.SetFieldUnits(1, 250);
  EXPECT_EQ(table.GetFieldNumber(1), 2.5);
  table.MarkFieldPending(0);
  table.ClearFieldValues();
  EXPECT_EQ(table.GetFieldNumber(0), 0.0);
  table.MarkFieldPending(2);
  table.ReleaseField(2);
  EXPECT_FALSE(table.FieldPending(2));
  table.MarkFieldPending(5);  // not declared
  EXPECT_FALSE(table.FieldPending(5));
  EXPECT_EQ(table.Value(5), "");
  EXPECT_EQ(source.fills, before);

  // A source that sets nothing leaves the value as it was.
  class Idle : public ReportFieldSource {
   public:
    void FillField(int) override { ++asked; }
    int asked = 0;
  } idle;
  table.SetFieldSource(&idle);
  table.SetFieldNumber(0, 7);
  table.MarkFieldPending(0);
  EXPECT_EQ(table.GetFieldNumber(0), 7.0);
  EXPECT_EQ(table.Value(0), money(7));
  EXPECT_EQ(idle.asked, 1);
}

// The declaration number changes with every definition made, blanked or released, and never
// with the values; two tables never share one.
TEST_F(FieldTable, DeclarationsAreNumberedApart) {
  const std::uint64_t declared = table.DeclarationGeneration();
  EXPECT_NE(declared, 0u);
  table.SetFieldText(2, "x");
  table.SetFieldNumber(0, 3);
  table.ClearFieldValues();
  EXPECT_FALSE(table.DeclareField(0, "AUTRE     C050"));  // refused: nothing changes
  EXPECT_EQ(table.DeclarationGeneration(), declared);
  std::vector<std::uint64_t> seen{declared};
  table.ReleaseField(2);
  seen.push_back(table.DeclarationGeneration());
  table.DeclareField(2, "PRENOM    C300");
  seen.push_back(table.DeclarationGeneration());
  ReportFieldTable other;
  Declare(other, 3, {"NOM       C300"});
  seen.push_back(other.DeclarationGeneration());
  table.InitFieldTable();
  seen.push_back(table.DeclarationGeneration());
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(std::unique(seen.begin(), seen.end()), seen.end()) << "a number came twice";
}

// A report with nothing in it says so, the caller's detail between the message and its last blank lines.
TEST_F(ReportFieldsTest, AnEmptyReportIsSaidWithItsDetail) {
  const struct {
    const char* detail;
    const char* shown;
  } cases[] = {
      {nullptr, "\n\n\nIl n'y a rien dans cet Etat\n\n\n\n\n"},
      {"Journal VE", "\n\n\nIl n'y a rien dans cet Etat\n\n\nJournal VE\n\n"},
      {"100 %s", "\n\n\nIl n'y a rien dans cet Etat\n\n\n100 %s\n\n"},
  };
  for (const auto& c : cases) {
    ShowEmptyReport(c.detail);
    EXPECT_EQ(LastRuntimeMessage().caption, "ATTENTION") << (c.detail ? c.detail : "none");
    EXPECT_EQ(LastRuntimeMessage().text, c.shown) << (c.detail ? c.detail : "none");
  }
}
