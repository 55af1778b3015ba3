// The VAT returns without windows: the months of a year that spans 2029-2030, the return on
// debits and the return on receipts (one table of lines and figures per regime), the detailed
// listing's line types and subtotals, and both returns checked against an independent
// computation over the tables read with python3-dbfread.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "data/entry_lines.h"
#include "data/record_fields.h"
#include "reports/vat_dunning/core/vat_reports.h"
#include "reports/vat_dunning/core/vat_return.h"
#include "runtime/inifiles.h"
#include "runtime/numbers.h"
#include "runtime/xbase.h"
#include "support/books_writes.h"
#include "support/demo_oracle.h"
#include "support/line_files.h"
#include "support/python.h"
#include "support/refused_read.h"
#include "vat_data.h"

namespace vat_test {
namespace {

using vat::DebitsComputation;
using vat::ReceiptsComputation;

class VatCoreTest : public VatDossierTest {};

TEST_F(VatCoreTest, MonthsOfAYearFromJuly2029ToJune2030AreListedKeyedAndCoupled) {
  const std::vector<std::string> months = vat::FinancialYearMonths();
  ASSERT_EQ(months.size(), 12u);
  EXPECT_EQ(months.front(), "07/29");
  EXPECT_EQ(months.back(), "06/30");
  // The keys sort as the runtime stores the months: 2030 is in the decade "D".
  EXPECT_EQ(vat::StoredMonthKey("01/30"), "D001");
  EXPECT_EQ(vat::StoredMonthKey("12/29"), "C912");
  EXPECT_EQ(vat::StoredMonthKey("12/99"), "9912");
  EXPECT_EQ(vat::StoredMonthKey("13/30"), "");
  EXPECT_EQ(vat::MonthTextOfKey("D003"), "03/30");
  struct Case {
    std::string start, end;
    bool startChanged;
    std::string wantStart, wantEnd;
  } cases[] = {
      {"12/29", "01/30", true, "12/29", "01/30"},   // across the decades: in order
      {"03/30", "11/29", true, "03/30", "03/30"},   // a start after the end moves the end
      {"03/30", "11/29", false, "11/29", "11/29"},  // an end before the start moves the start
      {"12/99", "01/00", true, "12/99", "01/00"},   // 1999 to 2000: in order
  };
  for (const Case& c : cases) {
    std::string s = c.start, e = c.end;
    vat::CoupleMonths(s, e, c.startChanged);
    EXPECT_EQ(s + " " + e, c.wantStart + " " + c.wantEnd) << c.start << " " << c.end;
  }
  EXPECT_EQ(vat::PeriodText("03/30", "03/30"), "de 03/30");
  EXPECT_EQ(vat::PeriodText("01/30", "03/30"), "de 01/30 \xE0 03/30");
}

// One table per regime: the lines of a case, its period and the figures expected.
struct DebitLine {
  const char* account;
  int year, month;
  char sense;
  long long cents;
  int day = 10;
};
struct DebitsCase {
  const char* name;
  std::vector<DebitLine> lines;
  const char *start, *end;
  long long collected, otherGoods, fixedAssets, previousCredit, otherAccounts, net;
  DebitsComputation::Outcome outcome;
};

TEST_F(VatCoreTest, DebitsReturnTable) {
  const test_support::SetUpPermit permit("lignes mises en place");
  using O = DebitsComputation::Outcome;
  const std::vector<DebitsCase> cases = {
      {"worked example",
       {{"44567000", 2029, 7, 'D', 30000}, {"44571000", 2029, 9, 'C', 200000}, {"44566000", 2029, 9, 'D', 80000}},
       "09/29", "09/29", 200000, 80000, 0, 30000, 0, 90000, O::Computed},
      {"credit",
       {{"44571000", 2030, 1, 'C', 10000}, {"44562000", 2030, 2, 'D', 50000}},
       "01/30", "03/30", 10000, 0, 50000, 0, 0, -40000, O::Computed},
      {"a balance left on another 445 account",
       {{"44580000", 2029, 8, 'C', 7000}, {"44571000", 2029, 9, 'C', 1000}},
       "09/29", "09/29", 1000, 0, 0, 0, -7000, 8000, O::Computed},
      {"nil to rounding noise",
       {{"44571000", 2030, 3, 'C', 10}, {"44571000", 2030, 3, 'C', 20}, {"44566000", 2030, 3, 'D', 30}},
       "03/30", "03/30", 30, 30, 0, 0, 0, 0, O::NilNet},
      {"nothing at all", {}, "04/30", "04/30", 0, 0, 0, 0, 0, 0, O::NilNet},
      {"a figure of eight digits",
       {{"44571000", 2030, 5, 'C', 1234567891}},
       "05/30", "05/30", 1234567891, 0, 0, 0, 0, 1234567891, O::Computed},
      {"end before start", {{"44571000", 2030, 5, 'C', 100}}, "06/30", "05/30", 0, 0, 0, 0, 0, 0, O::BadPeriod},
      // The first day of the first month and the last day of the last are in the period; the day
      // before it counts only in the balances carried, the day after it not at all.
      {"lines on the first and last days and just outside",
       {{"44571000", 2029, 12, 'C', 4000, 31}, {"44567000", 2029, 12, 'D', 300, 31},
        {"44571000", 2030, 1, 'C', 1000, 1}, {"44571000", 2030, 3, 'C', 2000, 31},
        {"44566000", 2030, 3, 'D', 500, 31}, {"44571000", 2030, 4, 'C', 8000, 1}, {"44566000", 2030, 4, 'D', 900, 1}},
       "01/30", "03/30", 3000, 500, 0, 300, -4000, 6200, O::Computed},
  };
  for (const char* a : {"44567000", "44571000", "44566000", "44562000", "44580000"}) Account(a, "TVA");
  for (const DebitsCase& c : cases) {
    SCOPED_TRACE(c.name);
    CloseCursors();
    for (const std::string& path : {std::string(PathC50()), std::string(PathC60())}) {
      Table t;
      ASSERT_TRUE(t.OpenExclusive(path));
      ASSERT_TRUE(t.Zap());
    }
    for (const DebitLine& l : c.lines) Line(l.account, "OD ", D(l.year, l.month, l.day), l.sense, l.cents);
    OpenCursors("C60CODE");
    DebitsComputation computation(c10_, c20_, c40_, c50_, c60_);
    computation.LoadCollectiveAccounts();
    vat::DebitsReturn r;
    EXPECT_EQ(computation.ComputeReturn(c.start, c.end, true, r), c.outcome);
    if (c.outcome == O::BadPeriod) continue;
    EXPECT_EQ(r.collected, c.collected);
    EXPECT_EQ(r.otherGoods, c.otherGoods);
    EXPECT_EQ(r.fixedAssets, c.fixedAssets);
    EXPECT_EQ(r.previousCredit, c.previousCredit);
    EXPECT_EQ(r.otherAccounts, c.otherAccounts);
    EXPECT_EQ(r.net, c.net);
    // The report line: the figures to the cent, a wide one with its digits (never zero or stars).
    ReportFieldTable fields;
    std::string lineType;
    vat::DebitsReport report(fields, lineType);
    report.Return = r;
    ASSERT_TRUE(report.PrepareReport());
    EXPECT_EQ(lineType, "A");
    report.ComputeLine();
    std::int64_t units = 0;
    ASSERT_TRUE(fields.GetFieldUnits(vat::DebitsReport::TOT_4457, units));
    EXPECT_EQ(units, c.collected);
    const std::string toPay = fields.Value(vat::DebitsReport::TOT_APAYER);
    EXPECT_EQ(toPay.find('*'), std::string::npos) << toPay;
    EXPECT_EQ(fields.Value(vat::DebitsReport::APAYER), c.net > 0 ? "1" : "0");
    EXPECT_EQ(fields.Value(vat::DebitsReport::CREDIT), c.net < 0 ? "1" : "0");
    if (c.net > 0) {
      EXPECT_NE(Val(toPay.c_str()), 0.0) << toPay;
    }
    EXPECT_EQ(fields.Value(vat::DebitsReport::EURO), "Euros ");
    EXPECT_FALSE(report.NextRecord());
    EXPECT_EQ(lineType, "Z");
  }
}

TEST_F(VatCoreTest, DebitsCollectiveCountsTheLinesOfItsFamilyAndNonTaxableAccountsComeFromTheIni) {
  // A 445 account made the account of a collective "V": the lines of every account "V..." count,
  // once "V" is cancelled too.
  Account("44570001", "TVA collective");
  Account("44570002", "TVA propre");
  Code('B', "V", "44570001");
  Line("V0000001", "VE ", D(2029, 10, 3), 'C', 5000);
  Line("V0000002", "VE ", D(2029, 10, 4), 'C', 2500);
  Line("44570001", "OD ", D(2029, 10, 5), 'C', 999);  // booked under the collective itself: not counted
  Line("44570002", "OD ", D(2029, 10, 5), 'C', 100);
  Account("70600000", "Prestations");
  Account("70700000", "Ventes");
  Line("70600000", "VE ", D(2029, 10, 6), 'D', 40000);
  Line("70700000", "VE ", D(2029, 10, 6), 'D', 2000);
  SetDossierIniPath(Dir() + "/tv/tv.ini");
  ASSERT_TRUE(DossierIniSet("TvaSurDebits", "ComptesNonImposables", "70600000/70700000"));
  OpenCursors("C60CODE");
  DebitsComputation computation(c10_, c20_, c40_, c50_, c60_);
  computation.LoadCollectiveAccounts();
  EXPECT_EQ(computation.CollectiveAccounts().count("44570001"), 1u);
  vat::DebitsReturn r;
  computation.ComputeReturn("10/29", "10/29", false, r);
  // "V" cancelled in its list: its account keeps collecting the lines of its family.
  {
    Table c10;
    ASSERT_TRUE(c10.OpenShared(PathC10(), "C10CODE"));
    ASSERT_TRUE(c10.Seek("C10CODE", "B", "V"));
    ASSERT_TRUE(c10.DeleteRecord("", 0));
  }
  DebitsComputation cancelled(c10_, c20_, c40_, c50_, c60_);
  cancelled.LoadCollectiveAccounts();
  vat::DebitsReturn c;
  cancelled.ComputeReturn("10/29", "10/29", false, c);
  SetDossierIniPath("");
  EXPECT_EQ(r.collected, 7600);
  EXPECT_EQ(r.nonTaxable, 42000);
  EXPECT_EQ(c.collected, 7600);
}

struct ReceiptLine {
  const char* account;
  const char* journal;
  int month;
  char sense;
  long long cents;
  const char* mark;
  int dueMonth;  // 0: none
  int day = 15, dueDay = 5;
  int year = 2030, dueYear = 2030;
  bool closed = false;
};
struct ReceiptsCase {
  const char* name;
  std::vector<ReceiptLine> lines;
  const char *start, *end;
  long long receiptsVat, fixedAssets, otherGoods, previousCredit, net;
  int listed = -1;  // the lines of the detailed listing, when checked
};

TEST_F(VatCoreTest, ReceiptsReturnTable) {
  const std::vector<ReceiptsCase> cases = {
      {"credited at 20 %", {{"C0000001", "BQ ", 1, 'C', 120000, "1", 0}}, "01/30", "01/30", 20000, 0, 0, 0, 20000},
      {"debited at 20 %", {{"C0000001", "BQ ", 1, 'D', 120000, "1", 0}}, "01/30", "01/30", -20000, 0, 0, 0, -20000},
      {"5.50 %", {{"C0000001", "BQ ", 1, 'C', 10000, "3", 0}}, "01/30", "01/30", 521, 0, 0, 0, 521},
      {"half a cent at 20 %", {{"C0000001", "BQ ", 1, 'C', 1203, "1", 0}}, "01/30", "01/30", 201, 0, 0, 0, 201},
      {"half a cent at 20 %, debited", {{"C0000001", "BQ ", 1, 'D', 1203, "1", 0}}, "01/30", "01/30", -201, 0, 0, 0,
       -201},
      {"no mark", {{"C0000001", "BQ ", 1, 'C', 120000, " ", 0}}, "01/30", "01/30", 0, 0, 0, 0, 0},
      {"a mark whose code is missing", {{"C0000001", "BQ ", 1, 'C', 120000, "7", 0}}, "01/30", "01/30", 0, 0, 0, 0,
       0},
      {"mark 1 with only a code 10", {{"C0000001", "BQ ", 1, 'C', 120000, "9", 0}}, "01/30", "01/30", 0, 0, 0, 0, 0},
      {"not a treasury journal", {{"C0000001", "VE ", 1, 'C', 120000, "1", 0}}, "01/30", "01/30", 0, 0, 0, 0, 0},
      {"booked in March, due in April: April",
       {{"C0000001", "BQ ", 3, 'C', 120000, "1", 4}},
       "04/30", "04/30", 20000, 0, 0, 0, 20000},
      {"booked in March, due in April: not March",
       {{"C0000001", "BQ ", 3, 'C', 120000, "1", 4}},
       "03/30", "03/30", 0, 0, 0, 0, 0},
      {"second collective family", {{"D0000001", "BQ ", 1, 'C', 120000, "1", 0}}, "01/30", "01/30", 20000, 0, 0, 0,
       20000},
      {"deductible VAT and credit",
       {{"C0000001", "BQ ", 2, 'C', 60000, "1", 0},
        {"44562000", "AC ", 2, 'D', 3000, " ", 0},
        {"44566000", "AC ", 2, 'D', 8000, " ", 0},
        {"44567000", "OD ", 1, 'D', 5000, " ", 0},
        {"44567000", "OD ", 2, 'D', 700, " ", 0}},
       "02/30", "03/30", 10000, 3000, 8000, 5700, -6700},
      {"nil to rounding noise",
       {{"44566000", "AC ", 5, 'D', 10, " ", 0}, {"44566000", "AC ", 5, 'D', 20, " ", 0},
        {"44566000", "AC ", 5, 'C', 30, " ", 0}},
       "05/30", "05/30", 0, 0, 0, 0, 0},
      // The first day of the first month and the last day of the last are in the period, the day
      // before and the day after are not, for the receipts and the deductible VAT alike.
      {"the first and last days of the period and just outside",
       {{"C0000001", "BQ ", 1, 'C', 120000, "1", 0, 31}, {"C0000001", "BQ ", 2, 'C', 60000, "1", 0, 1},
        {"C0000001", "BQ ", 3, 'C', 12000, "1", 0, 31}, {"C0000001", "BQ ", 4, 'C', 240000, "1", 0, 1},
        {"44566000", "AC ", 1, 'D', 111, " ", 0, 31}, {"44566000", "AC ", 2, 'D', 300, " ", 0, 1},
        {"44562000", "AC ", 3, 'D', 50, " ", 0, 31}, {"44562000", "AC ", 4, 'D', 900, " ", 0, 1}},
       "02/30", "03/30", 12000, 50, 300, 0, 11650, 4},
      {"the same lines validated",
       {{"C0000001", "BQ ", 1, 'C', 120000, "1", 0, 31, 5, 2030, 2030, true},
        {"C0000001", "BQ ", 2, 'C', 60000, "1", 0, 1, 5, 2030, 2030, true},
        {"C0000001", "BQ ", 3, 'C', 12000, "1", 0, 31, 5, 2030, 2030, true},
        {"C0000001", "BQ ", 4, 'C', 240000, "1", 0, 1, 5, 2030, 2030, true},
        {"44566000", "AC ", 1, 'D', 111, " ", 0, 31, 5, 2030, 2030, true},
        {"44566000", "AC ", 2, 'D', 300, " ", 0, 1, 5, 2030, 2030, true},
        {"44562000", "AC ", 3, 'D', 50, " ", 0, 31, 5, 2030, 2030, true},
        {"44562000", "AC ", 4, 'D', 900, " ", 0, 1, 5, 2030, 2030, true}},
       "02/30", "03/30", 12000, 50, 300, 0, 11650, 4},
      {"across the year: December outside January",
       {{"C0000001", "BQ ", 12, 'C', 120000, "1", 0, 31, 5, 2029}, {"C0000001", "BQ ", 1, 'C', 6000, "1", 0, 1},
        {"C0000001", "BQ ", 1, 'C', 1200, "1", 0, 31}, {"C0000001", "BQ ", 2, 'C', 60000, "1", 0, 1},
        {"44567000", "OD ", 12, 'D', 30, " ", 0, 31, 5, 2029}},
       "01/30", "01/30", 1200, 0, 0, 30, 1170, 2},
      // The payment's due date decides its month, whatever day it was booked; without one, its
      // booking date does.
      {"the due date's month, not the booking date's",
       {{"C0000001", "BQ ", 1, 'C', 120000, "1", 2, 31, 1}, {"C0000001", "BQ ", 2, 'C', 60000, "1", 3, 1, 1},
        {"C0000001", "BQ ", 2, 'C', 6000, "1", 1, 28, 31}, {"C0000001", "BQ ", 2, 'C', 1200, "1", 2, 15, 28},
        {"44566000", "AC ", 2, 'D', 500, " ", 3, 28, 1}, {"44566000", "AC ", 1, 'D', 70, " ", 2, 31, 1}},
       "02/30", "02/30", 20200, 0, 70, 0, 20130, 3},
      // The previous credit: a line without a due date booked before the last month, a line with
      // one due before the first month.
      {"the previous credit's bounds",
       {{"44567000", "OD ", 1, 'D', 70, " ", 0, 31}, {"44567000", "OD ", 2, 'D', 20, " ", 0, 1},
        {"44567000", "OD ", 3, 'D', 400, " ", 0, 1}, {"44567000", "OD ", 3, 'D', 1000, " ", 1, 15, 31},
        {"44567000", "OD ", 1, 'D', 3000, " ", 2, 15, 1}},
       "02/30", "03/30", 0, 0, 0, 1090, -1090, 0},
  };
  // The collective letters come from constants 069-071, each trimmed.
  TheDossierRecord.SetConstant(70, " D ");
  EXPECT_EQ(vat::CollectiveLettersText(), "CD");
  Code('T', "90", " 7.00");  // a seek on the key "T9" alone would take it for the mark "9"
  for (const ReceiptsCase& c : cases) {
    SCOPED_TRACE(c.name);
    CloseCursors();
    EmptyEntryLines();
    for (const ReceiptLine& l : c.lines)
      Line(l.account, l.journal, D(l.year, l.month, l.day), l.sense, l.cents, l.mark,
           l.dueMonth == 0 ? "" : D(l.dueYear, l.dueMonth, l.dueDay), l.closed);
    OpenCursors(ReceiptsComputation::kTag);
    ReceiptsComputation computation(c10_, c40_, c50_, c60_);
    computation.SetCollectiveLetters(vat::CollectiveLettersText());
    vat::ReceiptsReturn r;
    ASSERT_EQ(computation.ComputeReturn(c.start, c.end, true, r), ReceiptsComputation::Outcome::Computed);
    EXPECT_EQ(r.receiptsVat, c.receiptsVat);
    EXPECT_EQ(r.fixedAssets, c.fixedAssets);
    EXPECT_EQ(r.otherGoods, c.otherGoods);
    EXPECT_EQ(r.previousCredit, c.previousCredit);
    EXPECT_EQ(r.net, c.net);
    if (c.listed < 0) continue;
    // The detailed listing takes the same lines, and its total VAT is the return's.
    ReportFieldTable fields;
    std::string breakKey;
    vat::ReceiptsReport report(fields, breakKey, c10_, c20_, c40_, c50_, c60_);
    report.CollectiveLetters = vat::CollectiveLettersText();
    report.ListType = "1";
    report.Return.startMonth = c.start;
    report.Return.endMonth = c.end;
    int listed = 0;
    if (report.PrepareReport()) {
      for (int guard = 0; guard < 100; ++guard) {
        report.ComputeLine();
        ++listed;
        if (!report.NextRecord()) break;
        report.ClassifyLine();
      }
      std::int64_t units = 0;
      ASSERT_TRUE(fields.GetFieldUnits(vat::ReceiptsReport::TG_MT_TVAE, units));
      EXPECT_EQ(units, c.receiptsVat);
    }
    EXPECT_EQ(listed, c.listed);
  }
}

// An amount stored as no program writes it ("-1e300" in a draft line, "12,34" in a closed one)
// counts as zero in both returns, as every report reads it, and its line is named.
TEST_F(VatCoreTest, AnAmountThatDoesNotReadCountsAsZeroInBothReturnsAndIsNamed) {
  Account("44571000", "TVA");
  Line("44571000", "OD ", D(2030, 1, 10), 'C', 2000);
  Line("44571000", "OD ", D(2030, 1, 11), 'C', 999);
  Line("C0000001", "BQ ", D(2030, 1, 15), 'C', 120000, "1");
  Line("C0000001", "BQ ", D(2030, 1, 16), 'C', 777, "1", "", true);
  // Each damaged line's record number, found by its amount.
  auto damage = [this](bool closed, long long cents, const std::string& text) -> std::uint32_t {
    const std::string p = closed ? "D" : "B";
    test_support::RawRecords raw(Dir() + "/tv/" + (closed ? "c40tv.dbf" : "c50tv.dbf"));
    for (std::uint32_t n = 1; n <= raw.Count(); ++n)
      if (StoredAmountCents(raw.Field(raw.Record(n), p + "MONTANTE")) == cents) {
        raw.Put(n, p + "MONTANTE", text);
        return n;
      }
    ADD_FAILURE() << cents;
    return 0;
  };
  const std::uint32_t draft = damage(false, 999, "-1e300"), closed = damage(true, 777, "12,34");

  OpenCursors("C60CODE");
  DebitsComputation debits(c10_, c20_, c40_, c50_, c60_);
  debits.LoadCollectiveAccounts();
  vat::DebitsReturn d;
  debits.ComputeReturn("01/30", "01/30", true, d);
  EXPECT_EQ(d.collected, 2000);
  ASSERT_EQ(debits.Unreadable().size(), 1u);
  EXPECT_NE(UnreadableAmountsMessage(debits.Unreadable()).find("C50 enregistrement " + std::to_string(draft) + ","),
            std::string::npos)
      << UnreadableAmountsMessage(debits.Unreadable());

  OpenCursors(ReceiptsComputation::kTag);
  ReceiptsComputation receipts(c10_, c40_, c50_, c60_);
  receipts.SetCollectiveLetters(vat::CollectiveLettersText());
  vat::ReceiptsReturn r;
  ASSERT_EQ(receipts.ComputeReturn("01/30", "01/30", true, r), ReceiptsComputation::Outcome::Computed);
  EXPECT_EQ(r.receiptsVat, 20000);
  ASSERT_EQ(receipts.Unreadable().size(), 1u);
  EXPECT_NE(UnreadableAmountsMessage(receipts.Unreadable()).find("C40 enregistrement " + std::to_string(closed) + ","),
            std::string::npos)
      << UnreadableAmountsMessage(receipts.Unreadable());
}

TEST_F(VatCoreTest, ReceiptsRefusesAPeriodWithoutTreasuryJournalAndFindsCodesByTheirWholeKey) {
  Code('T', "10", "19.60");
  OpenCursors(ReceiptsComputation::kTag);
  ReceiptsComputation computation(c10_, c40_, c50_, c60_);
  computation.LoadRates();
  EXPECT_EQ(computation.RateOf("1"), 20.0);
  EXPECT_EQ(computation.RateOf("10"), 19.6);
  EXPECT_EQ(computation.RateOf("4"), 0.0);
  vat::ReceiptsReturn r;
  EXPECT_EQ(computation.ComputeReturn("02/30", "01/30", false, r), ReceiptsComputation::Outcome::BadPeriod);
  CloseCursors();
  CancelCodes('J');
  OpenCursors(ReceiptsComputation::kTag);
  ReceiptsComputation none(c10_, c40_, c50_, c60_);
  EXPECT_EQ(none.ComputeReturn("01/30", "01/30", false, r), ReceiptsComputation::Outcome::NoTreasuryJournal);
}

// What the detailed listing hands the template, line after line.
struct Listed {
  std::string type, group, account;
  std::string tva, ttc, tva4456, subtotalTva;
};

TEST_F(VatCoreTest, DetailedListingGivesItsLineTypesAndTheSubtotalOfThePreviousGroupOnTheBreak) {
  Account("44566000", "TVA sur ABS");
  Line("44566000", "AC ", D(2030, 1, 3), 'D', 8000);
  Line("C0000001", "BQ ", D(2030, 1, 5), 'C', 120000, "1");
  Line("C0000002", "BQ ", D(2030, 1, 6), 'C', 60000, "1");
  Line("C0000003", "BQ ", D(2030, 1, 7), 'C', 10000, "3");
  Line("44567000", "OD ", D(2030, 1, 8), 'D', 5000);  // never a line of the listing
  Line("C0000004", "BQ ", D(2030, 1, 9), 'C', 10000, " ");  // no mark: not listed
  OpenCursors(ReceiptsComputation::kTag);
  ReportFieldTable fields;
  std::string breakKey;
  vat::ReceiptsReport report(fields, breakKey, c10_, c20_, c40_, c50_, c60_);
  report.CollectiveLetters = "C";
  report.ListType = "1";
  report.Return.startMonth = report.Return.endMonth = "01/30";
  ASSERT_TRUE(report.PrepareReport());
  std::vector<Listed> listed;
  using R = vat::ReceiptsReport;
  for (int guard = 0; guard < 100; ++guard) {
    Listed l;
    l.type = breakKey.substr(0, 1);
    l.subtotalTva = LTrim(RTrim(fields.Value(R::ST_MT_TVAE).c_str()));  // as the template reads it before the line
    report.ComputeLine();
    l.group = RTrim(fields.Value(R::ST_CODE_TV).c_str());
    l.account = RTrim(fields.Value(R::COMPTE).c_str());
    l.tva = LTrim(RTrim(fields.Value(R::MT_TVAENCA).c_str()));
    l.ttc = LTrim(RTrim(fields.Value(R::MT_TTCENCA).c_str()));
    l.tva4456 = LTrim(RTrim(fields.Value(R::MT_TVA4456).c_str()));
    listed.push_back(l);
    if (!report.NextRecord()) break;
    report.ClassifyLine();
  }
  ASSERT_EQ(listed.size(), 4u);
  const char* types[] = {"A", "R", "S", "R"};
  const char* groups[] = {"44566000", "Tva 1", "Tva 1", "Tva 3"};
  const char* vats[] = {"0.00", "200.00", "100.00", "5.21"};
  for (std::size_t i = 0; i < listed.size(); ++i) {
    EXPECT_EQ(listed[i].type, types[i]) << i;
    EXPECT_EQ(listed[i].group, groups[i]) << i;
    EXPECT_EQ(listed[i].tva, vats[i]) << i;
    EXPECT_NE(listed[i].account, "44567000");
  }
  EXPECT_EQ(listed[0].tva4456, "80.00");
  // On the "R" of the group "Tva 3" the subtotal still holds the group "Tva 1".
  EXPECT_EQ(listed[3].subtotalTva, "300.00");
  EXPECT_EQ(breakKey.substr(0, 1), "Z");
  std::int64_t units = 0;
  ASSERT_TRUE(fields.GetFieldUnits(R::TG_MT_TVAE, units));
  EXPECT_EQ(units, 30521);
  ASSERT_TRUE(fields.GetFieldUnits(R::TG_MT_TTCE, units));
  EXPECT_EQ(units, 190000);
  EXPECT_EQ(RTrim(fields.Value(R::NOMCOMPTE).c_str()), std::string("???"));  // no such customer in C20

  // A layout of totals only: one pass, no detail line.
  report.ListType = "0";
  report.Return.receiptsVat = 30521;
  ASSERT_TRUE(report.PrepareReport());
  report.ComputeLine();
  EXPECT_FALSE(report.NextRecord());
  EXPECT_EQ(breakKey.substr(0, 1), "Z");
  ASSERT_TRUE(fields.GetFieldUnits(R::TOT_ENCAIS, units));
  EXPECT_EQ(units, 30521);
  report.ListType = "1";

  // A period without a listed line: nothing to print.
  report.Return.startMonth = report.Return.endMonth = "05/30";
  EXPECT_FALSE(report.PrepareReport());
  EXPECT_TRUE(report.EmptyListing());
}

// The report families of the layout tool declare the windows' own variables, in their order.
TEST(VatFamiliesTest, TheLayoutToolsFamiliesDeclareTheWindowsVariables) {
  struct Family {
    const char* file;
    int count;
    const char* (*definition)(int);
  } families[] = {{"vat_debits.txt", vat::DebitsReport::kFieldCount, &vat::DebitsReport::Definition},
                  {"vat_receipts.txt", vat::ReceiptsReport::kFieldCount, &vat::ReceiptsReport::Definition}};
  for (const Family& f : families) {
    std::ifstream in(std::string(MERLON_SOURCE_DIR) + "/tools/report_render/families/" + f.file);
    std::vector<std::string> declared;
    for (std::string line; std::getline(in, line);)
      if (line.rfind("VAR ", 0) == 0) declared.push_back(line.substr(4, 14));
    std::vector<std::string> ours;
    for (int n = 0; n < f.count; ++n) ours.push_back(f.definition(n));
    EXPECT_EQ(declared, ours) << f.file;
  }
}

// ---- against an independent computation --------------------------------------------------------------------------

// Reads C10, C20, C40, C50 and C60 with dbfread: per period, minus the balance of every 445*
// account at its end (the collectives' families included) and the VAT of the receipts.
const char* const kOracle = R"PY(
import sys
from dbfread import DBF
from decimal import Decimal, ROUND_HALF_UP
folder, code, periods = sys.argv[1], sys.argv[2].lower(), sys.argv[3].split(',')
def table(n):
    return list(DBF(folder + n + code + '.dbf', encoding='cp1252', ignore_missing_memofile=True))
def raw(n):
    t = DBF(folder + n + code + '.dbf', load=False, ignore_missing_memofile=True, encoding='cp1252')
    data = open(t.filename, 'rb').read()
    hl, rl = t.header.headerlen, t.header.recordlen
    spans, p = {}, 1
    for f in t.fields:
        spans[f.name] = (p, p + f.length); p += f.length
    def rec(r):
        b = data[hl + (r - 1) * rl: hl + r * rl]
        return {k: b[a:z].decode('cp1252') for k, (a, z) in spans.items()}
    return rec
c10 = table('c10'); c20 = table('c20'); c60 = table('c60')
c40 = raw('c40'); c50 = raw('c50')
collect = {}
for r in c10:
    if r['GCLE'] == 'B' and r['GZONE1'][:8].strip():
        collect[r['GZONE1'][:8].ljust(8)] = r['GCODE'][:1]
rates = {}
for r in c10:
    if r['GCLE'] == 'T':
        rates[r['GCODE'].ljust(14)] = Decimal(r['GZONE1'][:5].strip() or '0')
treasury = set(r['GCODE'][:3].ljust(3) for r in c10 if r['GCLE'] == 'J' and r['GZONE1'][:1] == 'T')
accounts = [r['CCODE'].ljust(8) for r in c20 if r['CCODE'].startswith('445')]
def line(t):
    rec = int(t['TREC'])
    if t['TFIC'] == 'B':
        l = c50(rec); return l['BSENS'], Decimal(l['BMONTANTE'].strip() or '0'), l['BECHEANCE'], l['BTVA']
    l = c40(rec); return l['DSENS'], Decimal(l['DMONTANTE'].strip() or '0'), l['DECHEANCE'], l['DTVA']
def enc(mmyy):
    mm, yy = mmyy.split('/')
    y = 2000 + int(yy)
    return chr(ord('A') + (y - 2000) // 10) + str(y % 10) + mm
for p in periods:
    start, end = p.split('-')
    s, e = enc(start), enc(end)
    net = Decimal(0)
    # "Other accounts": what stands on every 445 account at the end of the period (earlier months
    # included: a month whose VAT was never settled stays there) less what the return shows on its
    # own lines: the period's movements on 4452, 4457 and 4456, the 44567 balance before it.
    other = Decimal(0)
    for a in accounts:
        key = collect.get(a, a)
        for t in c60:
            if t['TCLE'] == 'Z' and t['TCODE'].startswith(key) and t['TMOIS'] <= e:
                sense, amount, due, mark = line(t)
                debit = amount if sense == 'D' else -amount
                net -= debit
                in_period = t['TMOIS'] >= s
                shown = (in_period and a[:4] in ('4452', '4457', '4456')) or (not in_period and a[:5] == '44567')
                if not shown:
                    other += debit
    vat = Decimal(0)
    for t in c60:
        if t['TJAL'][:3].ljust(3) in treasury and t['TCODE'][:1] == 'C':
            sense, amount, due, mark = line(t)
            month = due[:4] if due.strip() else t['TMOIS']
            if not (s <= month <= e) or not mark.strip():
                continue
            rate = rates.get(mark.ljust(14), Decimal(0))
            if rate == 0:
                continue
            a = amount if sense != 'D' else -amount
            v = a - a / (1 + rate / 100)
            vat += v.quantize(Decimal('0.01'), rounding=ROUND_HALF_UP) if v >= 0 else -((-v).quantize(Decimal('0.01'), rounding=ROUND_HALF_UP))
    print(p, int(net * 100), int(vat * 100), int(other * 100))
)PY";

// The generated dossier with its VAT detail: lines under every code on 4452, 44562, 4456 and
// 4457, marked customer payments (some the month after their invoice), credits on 44567, the
// first months closed (its invoices not matched: the marks are the generator's own).
class VatOracleTest : public VatDossierTest {
 protected:
  void SetUp() override {
    lines_ = 3000;
    emptyLines_ = false;
    vatDetail_ = true;
    closedMonths_ = -1;
    VatDossierTest::SetUp();
  }
  vat::DebitsReturn Debits(const std::string& start, const std::string& end) {
    OpenCursors("C60CODE");
    DebitsComputation debits(c10_, c20_, c40_, c50_, c60_);
    debits.LoadCollectiveAccounts();
    vat::DebitsReturn d;
    debits.ComputeReturn(start, end, true, d);
    return d;
  }
  vat::ReceiptsReturn Receipts(const std::string& start, const std::string& end) {
    OpenCursors(ReceiptsComputation::kTag);
    ReceiptsComputation computation(c10_, c40_, c50_, c60_);
    computation.SetCollectiveLetters("C");
    vat::ReceiptsReturn r;
    EXPECT_EQ(computation.ComputeReturn(start, end, true, r), ReceiptsComputation::Outcome::Computed);
    return r;
  }
};

TEST_F(VatOracleTest, BothReturnsAgreeWithTheTablesReadByDbfread) {
  // Customer payments carrying a VAT mark, some due the month after, one closed.
  Line("C0000001", "BQ ", D(2029, 9, 12), 'C', 123456, "1");
  Line("C0000002", "BQ ", D(2029, 11, 28), 'C', 98765, "2", D(2029, 12, 5));
  Line("C0000003", "BQ ", D(2030, 2, 3), 'D', 5000, "3");
  Line("C0000004", "BQ ", D(2030, 3, 3), 'C', 33333, "1", "", true);
  // A month of the closed file, periods across the year change, the last month, the whole year,
  // then every month alone.
  std::vector<std::pair<std::string, std::string>> periods = {
      {"07/29", "07/29"}, {"09/29", "12/29"}, {"12/29", "01/30"}, {"01/30", "03/30"}, {"06/30", "06/30"},
      {"07/29", "06/30"}};
  for (const std::string& m : vat::FinancialYearMonths()) periods.emplace_back(m, m);
  ASSERT_EQ(periods.size(), 18u);
  std::string arg;
  for (const auto& p : periods) arg += (arg.empty() ? "" : ",") + p.first + "-" + p.second;
  int status = -1;
  const std::string out = test_support::RunPythonScript(std::string("import sys\nsys.argv = ['oracle', '") +
                                                            DossierFolder + "', 'TV', '" + arg + "']\n" + kOracle,
                                                        true, &status);
  ASSERT_EQ(status, 0) << out;
  std::istringstream in(out);
  long long nonZeroReceipts = 0, nonZeroNets = 0;
  for (const auto& p : periods) {
    std::string name;
    long long net = 0, receipts = 0, other = 0;
    ASSERT_TRUE(in >> name >> net >> receipts >> other) << out;
    EXPECT_EQ(name, p.first + "-" + p.second);
    const vat::DebitsReturn d = Debits(p.first, p.second);
    EXPECT_EQ(d.net, net) << name;
    EXPECT_EQ(d.otherAccounts, other) << name;
    nonZeroNets += net != 0;
    const vat::ReceiptsReturn r = Receipts(p.first, p.second);
    EXPECT_EQ(r.receiptsVat, receipts) << name;
    nonZeroReceipts += receipts != 0;
  }
  EXPECT_GE(nonZeroReceipts, 12);
  EXPECT_GE(nonZeroNets, 12);
}

TEST_F(VatOracleTest, EveryMonthOfTheYearHasItsVatDetailAndTheMonthsAddUpToTheYear) {
  const std::vector<std::string> months = vat::FinancialYearMonths();
  ASSERT_EQ(months.size(), 12u);
  vat::DebitsReturn sum;
  long long receipts = 0, fixedAssets = 0, otherGoods = 0;
  for (const std::string& m : months) {
    SCOPED_TRACE(m);
    const vat::DebitsReturn d = Debits(m, m);
    // Under every code each month: collected, intra-community, fixed assets and other goods.
    EXPECT_GT(d.collected, 0);
    EXPECT_GT(d.intraCommunity, 0);
    EXPECT_GT(d.fixedAssets, 0);
    EXPECT_GT(d.otherGoods, 0);
    sum.collected += d.collected;
    sum.intraCommunity += d.intraCommunity;
    sum.fixedAssets += d.fixedAssets;
    sum.otherGoods += d.otherGoods;
    const vat::ReceiptsReturn r = Receipts(m, m);
    EXPECT_GT(r.receiptsVat, 0);
    receipts += r.receiptsVat;
    fixedAssets += r.fixedAssets;
    otherGoods += r.otherGoods;
  }
  const vat::DebitsReturn year = Debits(months.front(), months.back());
  EXPECT_EQ(year.collected, sum.collected);
  EXPECT_EQ(year.intraCommunity, sum.intraCommunity);
  EXPECT_EQ(year.fixedAssets, sum.fixedAssets);
  EXPECT_EQ(year.otherGoods, sum.otherGoods);
  // The credit carried at the start of the year stands before every later period.
  EXPECT_EQ(year.previousCredit, 0);
  EXPECT_GT(Debits(months[1], months.back()).previousCredit, 0);
  const vat::ReceiptsReturn r = Receipts(months.front(), months.back());
  EXPECT_EQ(r.receiptsVat, receipts);
  EXPECT_EQ(r.fixedAssets, fixedAssets);
  EXPECT_EQ(r.otherGoods, otherGoods);
  EXPECT_GT(Receipts(months[7], months[8]).previousCredit, Receipts(months[1], months[2]).previousCredit);
}

// A printed line of a return's layout: its label and the variable printed in its amounts' column.
struct PrintedLine {
  std::string label, variable;
  int section = 0;  // the heading ("[FU]") it stands under
};
std::vector<PrintedLine> LayoutLines(const std::string& file) {
  std::ifstream in(std::string(MERLON_SOURCE_DIR) + "/src/resources/reports/" + file);
  std::vector<PrintedLine> out;
  int section = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("[FU]", 0) == 0) ++section;
    static const std::regex amount("\\[Col:[0-9]+\\]\\[@([A-Z0-9_]+)\\]");
    std::smatch m;
    if (!std::regex_search(line, m, amount)) continue;
    std::string label = m.prefix();
    for (const char* mark : {"[FS]", "[F1]"})
      for (auto p = label.find(mark); p != std::string::npos; p = label.find(mark)) label.erase(p, 4);
    out.push_back({label, m[1].str(), section});
  }
  return out;
}
long long Printed(const ReportFieldTable& f, const std::string& name) {
  const int n = f.FindField(name.c_str());
  std::int64_t units = 0;
  return n >= 0 && f.GetFieldUnits(n, units) ? units : 0;
}
const PrintedLine* Numbered(const std::vector<PrintedLine>& lines, const char* number) {
  for (const PrintedLine& l : lines)
    if (l.label.rfind(std::string(number) + "^", 0) == 0) return &l;
  return nullptr;
}

// Both printed returns add up, month by month: each total line ("Total ...") is the sum of the
// amount lines printed above it under its heading ("dont" lines being part of another), and the
// net due or the credit is the gross VAT less the deductible VAT of lines 16 and 23.
TEST_F(VatOracleTest, EveryTotalLineOfThePrintedReturnsIsTheSumOfTheLinesItTotals) {
  const std::vector<PrintedLine> debits = LayoutLines("C-Etat-EDD-CA3.txt");
  const std::vector<PrintedLine> receipts = LayoutLines("C-Etat-EDE-CA3.txt");
  for (const std::string& m : vat::FinancialYearMonths()) {
    SCOPED_TRACE(m);
    ReportFieldTable fd, fr;
    std::string lineType;
    vat::DebitsReport d(fd, lineType);
    d.Return = Debits(m, m);
    ASSERT_TRUE(d.PrepareReport());
    d.ComputeLine();
    vat::ReceiptsReport r(fr, lineType, c10_, c20_, c40_, c50_, c60_);
    r.Return = Receipts(m, m);
    ASSERT_TRUE(r.PrepareReport());
    for (const auto& [lines, fields, name] :
         {std::make_tuple(&debits, &fd, "debits"), std::make_tuple(&receipts, &fr, "receipts")}) {
      SCOPED_TRACE(name);
      int totals = 0;
      for (std::size_t i = 0; i < lines->size(); ++i) {
        const PrintedLine& t = (*lines)[i];
        if (t.label.find("Total") == std::string::npos) continue;
        ++totals;
        long long sum = 0;
        for (std::size_t j = 0; j < i; ++j) {
          const PrintedLine& l = (*lines)[j];
          if (l.section == t.section && l.label.find("dont") == std::string::npos) sum += Printed(*fields, l.variable);
        }
        EXPECT_EQ(Printed(*fields, t.variable), sum) << t.label;
      }
      EXPECT_EQ(totals, 2);
      const PrintedLine *gross = Numbered(*lines, "16"), *deductible = Numbered(*lines, "23"),
                        *due = Numbered(*lines, "28"), *credit = Numbered(*lines, "25");
      ASSERT_TRUE(gross && deductible && due && credit);
      EXPECT_EQ(Printed(*fields, due->variable) - Printed(*fields, credit->variable),
                Printed(*fields, gross->variable) - Printed(*fields, deductible->variable));
      EXPECT_NE(Printed(*fields, gross->variable), 0);
    }
  }
}

TEST_F(VatOracleTest, TheDetailedListingOfTheYearHoldsNoCreditLineAndAddsUpToTheReturn) {
  struct Case {
    const char *start, *end;
  } cases[] = {{"07/29", "06/30"}, {"12/29", "01/30"}, {"06/30", "06/30"}};
  using R = vat::ReceiptsReport;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.start) + "-" + c.end);
    const vat::ReceiptsReturn expected = Receipts(c.start, c.end);
    OpenCursors(ReceiptsComputation::kTag);
    ReportFieldTable fields;
    std::string breakKey;
    R report(fields, breakKey, c10_, c20_, c40_, c50_, c60_);
    report.CollectiveLetters = "C";
    report.ListType = "1";
    report.Return.startMonth = c.start;
    report.Return.endMonth = c.end;
    report.Return.euros = true;
    ASSERT_TRUE(report.PrepareReport());
    long receiptsListed = 0, deductibleListed = 0;
    for (int guard = 0; guard < 100000; ++guard) {
      report.ComputeLine();
      const std::string account = fields.Value(R::COMPTE);
      EXPECT_NE(account.compare(0, 5, "44567"), 0) << account;
      if (account.compare(0, 4, "4456") == 0) ++deductibleListed;
      else if (!account.empty() && account[0] == 'C') ++receiptsListed;
      if (!report.NextRecord()) break;
      report.ClassifyLine();
    }
    EXPECT_GT(receiptsListed, 0);
    EXPECT_GT(deductibleListed, 0);
    std::int64_t units = 0;
    ASSERT_TRUE(fields.GetFieldUnits(R::TG_MT_TVAE, units));
    EXPECT_EQ(units, expected.receiptsVat);
    ASSERT_TRUE(fields.GetFieldUnits(R::TG_MT_TVA4, units));
    EXPECT_EQ(units, expected.fixedAssets + expected.otherGoods);
  }
}

// The generator's own oracle accepts the dossier with its VAT detail, and finds each damage of it.
TEST_F(VatOracleTest, TheDemoOracleAcceptsTheVatDetailAndFindsItsDamages) {
  const test_support::SetUpPermit permit("lignes abimees");
  const auto check = [] {
    return test_support::RunPythonScript("import sys, runpy\nsys.argv = ['check_demo.py', '" +
                                             std::string(DossierFolder) + "', 'TV']\nrunpy.run_path('" +
                                             test_support::DemoOracle() + "', run_name='__main__')\n",
                                         true);
  };
  const std::string intact = check();
  ASSERT_EQ(intact.rfind("OK ", 0), 0u) << intact;
  // Each damage written into the lines (draft and closed) in turn, on a copy of the files.
  struct Damage {
    const char* name;
    bool (*hits)(const std::string& account, const std::string& journal, char sense);
    int field;  // of the draft line
    const char* text;
    bool sortRecords;  // the sort records take the mark too (TTVA), as a program writing the line would
    const char* found;
  } damages[] = {
      {"the credit carried on the credit side",
       [](const std::string& a, const std::string&, char) { return a.compare(0, 5, "44567") == 0; }, L::BSENS, "C",
       false, "the credit on 44567"},
      {"no payment marked",
       [](const std::string& a, const std::string& j, char s) {
         return j.compare(0, 2, "BQ") == 0 && a[0] == 'C' && s == 'C';
       },
       L::BTVA, " ", true, "in the month after its invoice"},
  };
  CloseCursors();
  for (const Damage& d : damages) {
    SCOPED_TRACE(d.name);
    std::vector<std::pair<std::string, std::string>> saved;
    for (const std::string& path : {std::string(PathC40()), std::string(PathC50())}) {
      for (const char* ext : {".dbf", ".mdx"}) {
        std::ifstream in(path + ext, std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        saved.emplace_back(path + ext, bytes.str());
      }
      const bool closed = path == PathC40();
      const auto field = [&](int draft) { return closed ? L::ClosedFieldOf(draft) : draft; };
      Table t;
      ASSERT_TRUE(t.OpenExclusive(path));
      for (bool more = t.GoTop(); more && !t.eof; more = t.Skip(1)) {
        if (std::string(t.GetField(field(L::BCLE))) != "Z") continue;
        const std::string sense = t.GetField(field(L::BSENS));
        if (d.hits(t.GetField(field(L::BCODE)), t.GetField(field(L::BJAL)), sense.empty() ? ' ' : sense[0])) {
          ASSERT_TRUE(t.PutField(field(d.field), d.text));
        }
      }
      ASSERT_TRUE(t.Commit());
    }
    if (d.sortRecords) {
      for (const char* ext : {".dbf", ".mdx"}) {
        std::ifstream in(std::string(PathC60()) + ext, std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        saved.emplace_back(std::string(PathC60()) + ext, bytes.str());
      }
      Table t;
      ASSERT_TRUE(t.OpenExclusive(PathC60()));
      // The sort records of the customer lines of BQ: every one a payment (credit).
      for (bool more = t.GoTop(); more && !t.eof; more = t.Skip(1)) {
        if (d.hits(t.GetField(LigneTri::TCODE), t.GetField(LigneTri::TJAL), 'C')) {
          ASSERT_TRUE(t.PutField(LigneTri::TTVA, d.text));
        }
      }
      ASSERT_TRUE(t.Commit());
    }
    const std::string damaged = check();
    EXPECT_NE(damaged.find(d.found), std::string::npos) << damaged;
    for (const auto& [file, bytes] : saved) std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
  }
  EXPECT_EQ(check(), intact);
}

// A line the disk refuses to read is no line of zero: each return is either computed over every
// line of its period or refused with the file named, whichever read of the lines' files is refused
// (and every later one, as a disk that can no longer read them).
TEST_F(VatCoreTest, AReturnOverALineTheDiskRefusedToReadIsRefusedNeverComputedShort) {
  Account("44571000", "TVA");
  Line("44571000", "OD ", D(2030, 1, 10), 'C', 2000);
  Line("44571000", "OD ", D(2030, 1, 12), 'C', 3000, " ", "", true);
  Line("C0000001", "BQ ", D(2030, 1, 15), 'C', 120000, "1");
  Line("C0000001", "BQ ", D(2030, 1, 16), 'C', 60000, "1", "", true);
  OpenCursors("C60CODE");
  DebitsComputation sound(c10_, c20_, c40_, c50_, c60_);
  sound.LoadCollectiveAccounts();
  vat::DebitsReturn whole;
  ASSERT_EQ(sound.ComputeReturn("01/30", "01/30", true, whole), DebitsComputation::Outcome::Computed);
  ASSERT_EQ(whole.collected, 5000);
  OpenCursors(ReceiptsComputation::kTag);
  ReceiptsComputation soundReceipts(c10_, c40_, c50_, c60_);
  soundReceipts.SetCollectiveLetters(vat::CollectiveLettersText());
  vat::ReceiptsReturn wholeReceipts;
  ASSERT_EQ(soundReceipts.ComputeReturn("01/30", "01/30", true, wholeReceipts), ReceiptsComputation::Outcome::Computed);
  ASSERT_NE(wholeReceipts.receiptsVat, 0);

  for (const char* file : {"/c50tv.dbf", "/c40tv.dbf"}) {
    long refused = 0, computed = 0;
    for (int nth = 1; nth <= 60; ++nth) {
      SCOPED_TRACE(std::string(file) + " refused from read " + std::to_string(nth));
      // Opened while reads are counted, so that the engine reads the file rather than maps it.
      test_support::RefusedRead::Arm(file, INT_MAX);
      OpenCursors("C60CODE");
      test_support::RefusedRead::Arm(file, nth, true);
      DebitsComputation debits(c10_, c20_, c40_, c50_, c60_);
      debits.LoadCollectiveAccounts();
      vat::DebitsReturn d;
      const auto outcome = debits.ComputeReturn("01/30", "01/30", true, d);
      int seen = test_support::RefusedRead::Seen();
      test_support::RefusedRead::Disarm();
      if (outcome == DebitsComputation::Outcome::Unread) {
        ++refused;
        EXPECT_NE(debits.RefusedText().find(std::string(file + 1, 5)), std::string::npos) << debits.RefusedText();
      } else {
        ++computed;
        EXPECT_EQ(outcome, DebitsComputation::Outcome::Computed);
        EXPECT_EQ(d.collected, whole.collected);
      }

      test_support::RefusedRead::Arm(file, INT_MAX);
      OpenCursors(ReceiptsComputation::kTag);
      test_support::RefusedRead::Arm(file, nth, true);
      ReceiptsComputation receipts(c10_, c40_, c50_, c60_);
      receipts.SetCollectiveLetters(vat::CollectiveLettersText());
      vat::ReceiptsReturn r;
      const auto got = receipts.ComputeReturn("01/30", "01/30", true, r);
      seen = std::max(seen, test_support::RefusedRead::Seen());
      test_support::RefusedRead::Disarm();
      if (got == ReceiptsComputation::Outcome::Unread) {
        EXPECT_NE(receipts.RefusedText().find(std::string(file + 1, 5)), std::string::npos) << receipts.RefusedText();
      } else {
        EXPECT_EQ(got, ReceiptsComputation::Outcome::Computed);
        EXPECT_EQ(r.receiptsVat, wholeReceipts.receiptsVat);
      }
      ASSERT_FALSE(HasFailure());
      if (seen < nth) break;
    }
    EXPECT_GE(refused, 1) << file;
    EXPECT_GE(computed, 1) << file;
  }
}

}  // namespace
}  // namespace vat_test
