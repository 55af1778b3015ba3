// The gathering of the trial balances on a small dossier: for each kind of balance and set of
// options, every printed line against an independent computation over the tables read by
// python3-dbfread, and against the account-by-account walk over C60, C50 and C40.
#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <map>
#include <sstream>

#include "balance_fixture.h"
#include "plain_walk.h"
#include "reports/balances/core/account_gathering.h"
#include "reports/balances/core/code_lists.h"
#include "reports/balances/core/trial_balance_run.h"
#include "reports/balances/core/trial_balance_variables.h"
#include "runtime/dates.h"
#include "runtime/report_fields.h"
#include "runtime/xbase.h"
#include "data/unread_amounts.h"
#include "support/books_writes.h"
#include "support/line_files.h"
#include "support/python.h"

using namespace balances;

namespace {

struct Case {
  char kind;          // list kind: "1", "2" or a collective letter
  const char* start;  // stored dates
  const char* end;
  bool prior;
  char lettering;
  bool euros;
  bool orphans;       // constant 044 other than "NON"
  const char* typeListe;
};

const Case kCases[] = {
    {'1', "C60101", "C61231", false, '1', true, false, ""},
    {'1', "C60301", "C60630", true, '1', true, false, ""},
    {'1', "C60301", "C60630", false, '2', false, true, ""},
    {'C', "C60101", "C60630", false, '3', true, true, ""},
    {'C', "C60101", "C60630", false, '2', true, true, ""},
    {'1', "C60701", "C61231", false, '4', true, true, ""},
    {'F', "C60201", "C61231", true, '5', false, false, ""},
    {'2', "C60101", "C61231", false, '1', true, false, ""},
    {'1', "C60101", "C60331", false, '1', true, false, "A"},
    {'C', "C60301", "C60430", true, '4', false, true, ""},
    // Periods whose first and last days carry lines, and the same periods a day shorter at each end.
    {'1', "C60214", "C60410", true, '1', true, false, ""},
    {'1', "C60215", "C60409", true, '1', false, false, ""},
    {'C', "C60320", "C60705", false, '2', true, true, ""},
    {'C', "C60321", "C60704", true, '1', true, false, ""},
    {'F', "C60505", "C60505", true, '1', true, false, ""},
    {'2', "C60506", "C60614", true, '1', true, false, ""},
    {'2', "C60615", "C61105", false, '1', false, false, ""},
};

class GatheringTest : public test_support::BalanceDossierTest {
 protected:
  void SetUp() override {
    BalanceDossierTest::SetUp();
    FillStandardDossier();
    std::string message;
    ASSERT_TRUE(source_.Load(Path("c60"), Path("c50"), Path("c40"), &message)) << message;
    ASSERT_TRUE(chart_.LoadAccounts(Path("c20"), &message)) << message;
    ASSERT_TRUE(codes_.Load(Path("c10"), &message)) << message;
  }

  // The lines read again, with their texts (as the exports read them) or without (as the
  // balances do), and without the analytic lines (as a general balance alone does).
  bool Reload(bool texts, std::string* message = nullptr, bool analytic = true) {
    return source_.Load(Path("c60"), Path("c50"), Path("c40"), message, texts, analytic);
  }

  GatherContext Context(const Case& c) const {
    GatherContext context;
    context.options = MakeOptions(c.kind == '1' ? 'G' : c.kind, c.start, c.end, c.prior, 'S', c.lettering, c.euros);
    context.frame = MakePeriodFrame(context.options, "C60101", "C61231");
    context.listKind = c.kind;
    context.typeListe = c.typeListe;
    context.excludedJournals = codes_.ExcludedJournals();
    context.collectiveList = codes_.CollectiveList();
    context.orphanLetters = c.orphans;
    return context;
  }

  // The analytic balance of the period, by general account or not.
  GatherContext SectionContext(const char* start, const char* end, bool byAccount) const {
    GatherContext context = Context(kCases[0]);
    context.options = MakeOptions('(', start, end);
    context.frame = MakePeriodFrame(context.options, "C60101", "C61231");
    context.listKind = '9';
    context.analyticByAccount = byAccount;
    return context;
  }

  static std::string Line(const std::string& code, const AccountFigures& f) {
    std::ostringstream s;
    std::string c = code;
    for (char& ch : c)
      if (ch == ' ') ch = '_';
    s << c << ' ' << f.debit << ' ' << f.credit << ' ' << f.caDebit << ' ' << f.caCredit << ' ' << f.aeDebit << ' '
      << f.aeCredit;
    for (long long m : f.months) s << ' ' << m;
    for (long long a : f.ages) s << ' ' << a;
    s << ' ' << f.prevYear;
    return s.str();
  }

  // Each account of the chart gathered for the case as the record-by-record walk gathers it: the
  // same accounts kept, the same figures. The gatherer's broken records.
  long ExpectAsTheWalk(const Case& c, int load) {
    const GatherContext context = Context(c);
    Gatherer g(source_, chart_, context);
    test_support::PlainWalk walk(folder_, context);
    for (const ChartEntry& a : chart_.Entries()) {
      AccountFigures ours, theirs;
      const bool kept = g.GatherAccount(a, ours);
      EXPECT_EQ(kept, walk.GatherAccount(a, theirs)) << a.code << " kind " << c.kind << " " << c.start << " " << load;
      if (!kept) continue;
      EXPECT_EQ(Line(a.code, ours), Line(a.code, theirs)) << c.kind << " " << c.start << "-" << c.end << " " << load;
      EXPECT_EQ(ours.etafiSan, theirs.etafiSan) << a.code;
      EXPECT_EQ(ours.etafiCdb, theirs.etafiCdb) << a.code;
      EXPECT_EQ(ours.debitF + ours.debitE, theirs.debitF + theirs.debitE) << a.code;
    }
    return g.BrokenRecords();
  }

  BalanceSource source_;
  ChartList chart_;
  CodeLists codes_;
};

TEST_F(GatheringTest, EveryKindAgreesWithAnIndependentComputation) {
  for (const Case& c : kCases) {
    if (*c.typeListe != '\0') continue;  // the oracle computes plain lists
    const GatherContext context = Context(c);
    std::string ours, lean;
    for (bool texts : {false, true}) {
      ASSERT_TRUE(Reload(texts));
      Gatherer g(source_, chart_, context);
      for (const BalanceLine& line : g.GatherList())
        (texts ? ours : lean) += Line(chart_.Entries()[line.entry].code, line.figures) + "\n";
    }
    EXPECT_EQ(lean, ours) << "read without the texts: kind " << c.kind << " " << c.start;
    const std::string args = folder_ + " " + c.kind + " " + c.start + " " + c.end + " " + (c.prior ? "O" : "N") +
                             " " + c.lettering + " " + (c.euros ? "1" : "0") + " " + (c.orphans ? "O" : "N") + " " +
                             context.frame.limit30 + " " + context.frame.limit60 + " " + context.frame.limit90;
    std::string script = "import sys\nsys.argv = ['x'] + '" + args + "'.split()\n" +
                         "exec(open('" MERLON_SOURCE_DIR "/tests/reports/balances/gathering_oracle.py').read())\n";
    const std::string theirs = test_support::RunPythonScript(script, true);
    EXPECT_FALSE(ours.empty()) << c.kind << " " << c.start;
    EXPECT_EQ(ours, theirs) << "kind " << c.kind << " " << c.start << "-" << c.end << " lettering " << c.lettering
                            << (c.prior ? " prior" : "") << (c.euros ? " euros" : " francs");
  }
}

TEST_F(GatheringTest, EveryKindAgreesWithTheAccountByAccountWalk) {
  // Analytic lines besides, which the general kinds pass over.
  AddAccounts({{"SECT1", "Atelier", 100, 0}}, true);
  using test_support::L;
  AddLines({
      L('C', "SECT1   ", "C60210", "AC", "000040", 'D', 100.00, "", "", "", "", "", "", 'W', "60100000"),
      L('B', "SECT1   ", "C61210", "AC", "000041", 'C', 70.00, "", "", "", "", "", "", 'W', "60100000"),
  });
  // With the texts, without, and without the analytic lines either (the general kinds only).
  for (int load : {0, 1, 2}) {
    const bool texts = load == 0, analytic = load != 2;
    ASSERT_TRUE(Reload(texts, nullptr, analytic));
    if (!analytic) EXPECT_TRUE(source_.AnalyticEntries().empty());
    for (const Case& c : kCases) {
      if (!analytic && c.kind == '9') continue;
      ExpectAsTheWalk(c, load);
    }
  }
}

// A sort file damaged so that records share lines (two general records leading to one line, an
// analytic record to a general line, a record to a line of the other table) and one record leads
// past the last line: each record counts its line, read once, as the walk going from each
// record to its line counts it; loaded with the texts or without, with the analytic lines or
// without.
TEST_F(GatheringTest, RecordsSharingALineCountItEach) {
  const test_support::SetUpPermit permit("enregistrements de tri mis en place");
  AddAccounts({{"SECT1", "Atelier", 100, 0}}, true);
  using test_support::L;
  AddLines({
      L('C', "SECT1   ", "C60210", "AC", "000040", 'D', 100.00, "", "", "", "", "", "", 'W', "60100000"),
      L('B', "SECT1   ", "C61210", "AC", "000041", 'C', 70.00, "", "", "", "", "", "", 'W', "60100000"),
  });
  {
    Table c60;
    ASSERT_TRUE(c60.OpenShared(Path("c60")));
    const std::uint32_t count = c60.RecCount();
    ASSERT_GE(count, 8u);
    auto pointAt = [&](std::uint32_t record, std::uint32_t like) {
      ASSERT_TRUE(c60.GoTo(like));
      const std::string file = c60.GetField(9), rec = c60.GetField(10);
      ASSERT_TRUE(c60.GoTo(record));
      ASSERT_TRUE(c60.PutField(9, file.c_str()));
      ASSERT_TRUE(c60.PutField(10, rec.c_str()));
    };
    pointAt(3, 5);          // two records, one line
    pointAt(7, 2);
    pointAt(count, 4);  // the last records (the analytic lines added) to general lines
    pointAt(count - 1, 1);
    ASSERT_TRUE(c60.GoTo(6));
    ASSERT_TRUE(c60.PutField(10, "999999"));  // past the last line
  }
  for (int load : {0, 1, 2}) {
    const bool texts = load == 0, analytic = load != 2;
    ASSERT_TRUE(Reload(texts, nullptr, analytic));
    for (const Case& c : kCases) {
      const long broken = ExpectAsTheWalk(c, load);
      if (&c == &kCases[0]) EXPECT_EQ(broken, 1) << load;
    }
    if (!analytic) continue;
    // The analytic records read their lines' figures as loaded with the texts.
    std::vector<std::pair<long long, char>> figures;
    for (const AnalyticEntry& e : source_.AnalyticEntries())
      figures.emplace_back(e.line.present ? e.line.cents[1] : -1, e.line.sense);
    static std::vector<std::pair<long long, char>> withTexts;
    if (texts)
      withTexts = figures;
    else
      EXPECT_EQ(figures, withTexts);
  }
}

// The general balance's sides are equal, its result is the classes 6 and 7, and the grand
// total of N-1 adds the printed lines only.
TEST_F(GatheringTest, GeneralBalanceTotals) {
  const GatherContext context = Context(kCases[0]);
  Gatherer g(source_, chart_, context);
  const std::vector<BalanceLine> lines = g.GatherList();
  const BalanceTotals t = Gatherer::Totals(lines, '1');
  EXPECT_EQ(t.debit, t.credit);
  // The pieces' debits, the credit note of the purchase and the draft purchase of November included.
  EXPECT_EQ(t.debit, 5120000 + 120000 + 60000 + 120000 + 60000 + 80000 + 10000 + 4550 + 30000);
  // 60100000: 800, its credit note of 100 and the draft 300; 62600000: 18,700 + 45.50;
  // 70100000: 1,600 of credit.
  EXPECT_EQ(t.result, (80000 + 30000 + 10000) + (1870000 + 4550) - 160000);
  long long prev = 0;
  for (const BalanceLine& l : lines) prev += l.figures.prevYear;
  EXPECT_EQ(t.prevYear, prev);
}

// An account with nothing to print does not add its previous-year balance to the grand total.
TEST_F(GatheringTest, SkippedAccountsAddNoPreviousYear) {
  Case c = kCases[0];
  c.start = "C61201";  // December: nothing moves, only accounts with N-1 figures remain
  GatherContext context = Context(c);
  context.keepRule = 'N';
  Gatherer g(source_, chart_, context);
  const std::vector<BalanceLine> lines = g.GatherList();
  EXPECT_TRUE(lines.empty());
  EXPECT_EQ(Gatherer::Totals(lines, '1').prevYear, 0);
}

TEST_F(GatheringTest, RegroupementAndActAndAgeing) {
  Case c = kCases[0];
  c.typeListe = "R2";
  GatherContext context = Context(c);
  Gatherer g(source_, chart_, context);
  std::string codes;
  for (const BalanceLine& l : g.GatherList()) codes += l.code + "/";
  EXPECT_EQ(codes, "10/40/41/44/51/60/62/70/");
  // Ageing: an account whose four classes sum to zero is left out.
  c = kCases[8];
  context = Context(c);
  Gatherer aged(source_, chart_, context);
  for (const BalanceLine& l : aged.GatherList()) {
    long long sum = 0;
    for (long long a : l.figures.ages) sum += a;
    EXPECT_NE(sum, 0) << l.code;
  }
}

// The ageing layouts' header names the three limits: a line dated the day before a printed
// limit falls in the older column, a line dated on it in the next one, as the columns are
// gathered, for an end date on a month's last day and one in the month.
TEST_F(GatheringTest, TheAgeingHeaderNamesTheLimitsTheColumnsUse) {
  int made = 10;  // the accounts made, each for one line
  for (const char* layout : {"C-Etat-EBS-AGEE.txt", "C-Etat-EBAS-AGEE.txt"}) {
    std::ifstream in(std::string(MERLON_SOURCE_DIR) + "/src/resources/reports/" + layout);
    std::string header;
    for (std::string line; std::getline(in, line);)
      if (line.rfind("Echues^avant^le^", 0) == 0) header = line;
    std::vector<std::string> names;
    for (auto at = header.find("[@"); at != std::string::npos; at = header.find("[@", at + 1))
      names.push_back(header.substr(at + 2, header.find(']', at) - at - 2));
    ASSERT_EQ(names.size(), 3u) << layout << ": " << header;
    for (const char* end : {"C61231", "C61215"}) {
      SCOPED_TRACE(std::string(layout) + " " + end);
      Case c = kCases[8];
      c.end = end;
      ReportFieldTable fields;
      DeclareTrialBalanceFields(fields, false);
      const GatherContext context = Context(c);
      FillListVariables(fields, context.options, context.frame, '1', "GENERALE", "");
      std::vector<test_support::FixtureAccount> accounts;
      std::vector<test_support::FixtureLine> lines;
      std::vector<std::string> dates;
      for (std::size_t k = 0; k < 3; ++k) {
        Ymd limit;
        ASSERT_TRUE(ParseDisplayDate(RTrim(fields.Value(fields.FindField(names[k].c_str())).c_str()), limit))
            << names[k];
        const std::string on = StoredDateOf(limit), before = PrevDay(on.c_str());
        for (const std::string& date : {before, on}) {
          const std::string account = "467" + std::to_string(made++) + std::string(end).substr(4) + "0";
          accounts.push_back({account, "Echue " + date});
          lines.push_back(test_support::L('C', account, date, "OD", "000090", 'D', 10.00, "Age"));
          dates.push_back(date);
        }
      }
      AddAccounts(accounts);
      AddLines(lines);
      BalanceSource source;
      ChartList chart;
      ASSERT_TRUE(source.Load(Path("c60"), Path("c50"), Path("c40")));
      ASSERT_TRUE(chart.LoadAccounts(Path("c20")));
      Gatherer g(source, chart, Context(c));
      std::map<std::string, std::array<long long, 4>> ages;
      for (const BalanceLine& l : g.GatherList())
        for (std::size_t a = 0; a < 4; ++a) ages[l.code][a] = l.figures.ages[a];
      for (std::size_t i = 0; i < accounts.size(); ++i) {
        // Account i: the day before limit i / 2 (its older column) or on it (the next column).
        std::array<long long, 4> want{};
        want[i / 2 + i % 2] = 1000;
        EXPECT_EQ(ages[accounts[i].code], want) << names[i / 2] << " " << dates[i];
      }
    }
  }
}

// Totals past 10^9 and 10^11 stay exact to the cent.
TEST_F(GatheringTest, LargeAmountsToTheCent) {
  std::vector<test_support::FixtureLine> lines;
  for (int i = 0; i < 30; ++i) {
    test_support::FixtureLine d = test_support::L('C', "60100000", "C60301", "OD", "000100", 'D', 9876543210.01);
    test_support::FixtureLine k = test_support::L('C', "51200000", "C60301", "OD", "000100", 'C', 9876543210.01);
    k.number = 2;
    lines.push_back(d);
    lines.push_back(k);
  }
  AddLines(lines);
  ASSERT_TRUE(source_.Load(Path("c60"), Path("c50"), Path("c40")));
  const GatherContext context = Context(kCases[0]);
  Gatherer g(source_, chart_, context);
  const BalanceTotals t = Gatherer::Totals(g.GatherList(), '1');
  EXPECT_EQ(t.debit, t.credit);
  EXPECT_EQ(t.debit, 5120000LL + 120000 + 60000 + 120000 + 60000 + 80000 + 10000 + 4550 + 30000 + 30LL * 987654321001LL);
}

// A sort record whose line is missing is passed over and counted once.
TEST_F(GatheringTest, BrokenSortRecordsAreCounted) {
  const test_support::SetUpPermit permit("enregistrement de tri abime");
  {
    Table c60;
    ASSERT_TRUE(c60.OpenShared(Path("c60")));
    ASSERT_TRUE(c60.GoTo(3));
    ASSERT_TRUE(c60.PutField(10, "000999"));
  }
  for (bool texts : {true, false}) {
    ASSERT_TRUE(Reload(texts));
    const GatherContext context = Context(kCases[0]);
    Gatherer g(source_, chart_, context);
    g.GatherList();
    EXPECT_EQ(g.BrokenRecords(), 1) << texts;
  }
}

// A line amount that does not read in C50 and in C40, each read on a thread of its own (with the
// texts) or in the lean reading (C40 on the calling thread): both named by the source and given to
// the caller's watch, on the calling thread, whichever way the lines were read, each counted once
// (never a second time as an amount without its record).
TEST_F(GatheringTest, AmountsThatDoNotReadOnTheReadersThreadsReachTheCallersWatch) {
  std::map<char, std::uint32_t> damaged;
  for (const auto& [file, field] : {std::pair{LigneTri::kDraft, "BMONTANTE"}, std::pair{LigneTri::kClosed, "DMONTANTE"}}) {
    const test_support::RawRecords raw(Path(file == LigneTri::kDraft ? "c50" : "c40"));
    for (std::uint32_t n = 2; n <= raw.Count() && damaged.count(file) == 0; ++n)
      if (raw.Record(n)[0] != '*') {
        raw.Put(n, field, "12,34");
        damaged[file] = n;
      }
  }
  ASSERT_EQ(damaged.size(), 2u);
  for (bool texts : {true, false}) {
    SCOPED_TRACE(texts ? "with the texts, on three threads" : "lean, on two threads");
    UnreadAmounts met;
    {
      const UnreadAmountWatch watch(met);
      ASSERT_TRUE(Reload(texts));
    }
    const std::vector<UnreadableAmountLine>& watched = met.lines;
    for (const std::vector<UnreadableAmountLine>* lines : {&source_.UnreadableLines(), &watched}) {
      std::map<char, std::uint32_t> named;
      for (const UnreadableAmountLine& l : *lines) named[l.file] = l.recno;
      EXPECT_EQ(named, damaged);
    }
    EXPECT_EQ(met.lines.size(), 2u);
    EXPECT_EQ(met.unnamed, 0);
  }
}

}  // namespace

namespace {

// The analytic balance: one line per section, or per general account of a section with
// constant 032 "OUI"; a general account whose line falls after the period (601's December
// line) does not end the section (626 is still gathered), and the section's previous-year
// balance counts once in the total. OD stays out of the month columns.
TEST_F(GatheringTest, AnalyticSections) {
  AddAccounts({{"SECT1", "Atelier", 100, 0}, {"SECT2", "Bureau", 0, 40}, {"SECT3", "Vide", 0, 0}}, true);
  using test_support::L;
  AddLines({
      L('C', "SECT1   ", "C60210", "AC", "000040", 'D', 100.00, "", "", "", "", "", "", 'W', "60100000"),
      L('C', "SECT1   ", "C61210", "AC", "000041", 'D', 70.00, "", "", "", "", "", "", 'W', "60100000"),
      L('C', "SECT1   ", "C60310", "OD", "000042", 'D', 30.00, "", "", "", "", "", "", 'W', "62600000"),
      L('C', "SECT1   ", "C60311", "OD", "000043", 'C', 5.00, "", "", "", "", "", "", 'Y', "62600000"),
      L('C', "SECT2   ", "C60415", "AN", "000044", 'D', 100.00, "", "", "", "", "", "", 'W', "60100000"),
      L('C', "SECT2   ", "C60416", "AN", "000045", 'C', 30.00, "", "", "", "", "", "", 'W', "60100000"),
  });
  std::string message;
  ASSERT_TRUE(source_.Load(Path("c60"), Path("c50"), Path("c40"), &message)) << message;
  ChartList sections;
  ASSERT_TRUE(sections.LoadSections(Path("c30"), &message)) << message;
  struct Case { bool byAccount; const char* lines; long long prevYear; };
  const Case cases[] = {
      {false, "SECT1___:/13000/500/month2=10000/month3=0/;SECT2___:/10000/3000/san=7000/;", 10000 - 4000},
      {true,
       "SECT1___:60100000/10000/0/month2=10000/month3=0/;SECT1___:62600000/3000/500/month2=0/month3=0/;"
       "SECT2___:60100000/10000/3000/san=7000/;",
       10000 - 4000},
  };
  for (bool texts : {true, false})
  for (const Case& c : cases) {
    ASSERT_TRUE(Reload(texts));
    Gatherer g(source_, sections, SectionContext("C60101", "C60630", c.byAccount));
    const std::vector<BalanceLine> lines = g.GatherList();
    std::string text;
    for (const BalanceLine& l : lines) {
      std::string code = l.code;
      for (char& ch : code)
        if (ch == ' ') ch = '_';
      text += code + ":" + l.generalAccount + "/" + std::to_string(l.figures.debit) + "/" +
              std::to_string(l.figures.credit) + "/";
      if (l.figures.etafiSan != 0)
        text += "san=" + std::to_string(l.figures.etafiSan) + "/";
      else
        text += "month2=" + std::to_string(l.figures.months[1]) + "/month3=" + std::to_string(l.figures.months[2]) + "/";
      text += ";";
    }
    EXPECT_EQ(text, c.lines) << c.byAccount << texts;
    EXPECT_EQ(Gatherer::Totals(lines, '9').prevYear, c.prevYear) << c.byAccount << texts;
  }
}

// The analytic balance of March: the lines of its first and last days are counted, those of the
// day before and the day after are not.
TEST_F(GatheringTest, AnalyticSectionsHoldTheFirstAndLastDaysOfThePeriod) {
  AddAccounts({{"SECT5", "Bornes", 0, 0}}, true);
  using test_support::L;
  AddLines({
      L('C', "SECT5   ", "C60228", "AC", "000060", 'D', 1.00, "", "", "", "", "", "", 'W', "60100000"),
      L('C', "SECT5   ", "C60301", "AC", "000061", 'D', 20.00, "", "", "", "", "", "", 'W', "60100000"),
      L('C', "SECT5   ", "C60331", "AC", "000062", 'C', 300.00, "", "", "", "", "", "", 'W', "60100000"),
      L('C', "SECT5   ", "C60401", "AC", "000063", 'D', 4000.00, "", "", "", "", "", "", 'W', "60100000"),
  });
  std::string message;
  ASSERT_TRUE(source_.Load(Path("c60"), Path("c50"), Path("c40"), &message)) << message;
  ChartList sections;
  ASSERT_TRUE(sections.LoadSections(Path("c30"), &message)) << message;
  for (bool byAccount : {false, true}) {
    Gatherer g(source_, sections, SectionContext("C60301", "C60331", byAccount));
    std::string text;
    for (const BalanceLine& l : g.GatherList())
      if (l.code.rfind("SECT5", 0) == 0)
        text += std::to_string(l.figures.debit) + "/" + std::to_string(l.figures.credit) + ";";
    EXPECT_EQ(text, "2000/30000;") << byAccount;
  }
}

// By general account, a section's lines of one account gather on one line even when the dates
// of another account fall between theirs.
TEST_F(GatheringTest, AnalyticSectionsByAccountWithDatesInterleaved) {
  AddAccounts({{"SECT4", "Magasin", 0, 0}}, true);
  using test_support::L;
  AddLines({
      L('C', "SECT4   ", "C60210", "AC", "000050", 'D', 10.00, "", "", "", "", "", "", 'W', "60100000"),
      L('C', "SECT4   ", "C60215", "OD", "000051", 'D', 20.00, "", "", "", "", "", "", 'W', "62600000"),
      L('C', "SECT4   ", "C60220", "AC", "000052", 'D', 40.00, "", "", "", "", "", "", 'W', "60100000"),
  });
  std::string message;
  ASSERT_TRUE(source_.Load(Path("c60"), Path("c50"), Path("c40"), &message)) << message;
  ChartList sections;
  ASSERT_TRUE(sections.LoadSections(Path("c30"), &message)) << message;
  Gatherer g(source_, sections, SectionContext("C60101", "C60630", true));
  std::string text;
  for (const BalanceLine& l : g.GatherList()) text += l.generalAccount + "/" + std::to_string(l.figures.debit) + ";";
  EXPECT_EQ(text, "60100000/5000;62600000/2000;");
}

}  // namespace

namespace {

// A line that prints as 0.00 in the report's currency is not counted: an account holding only
// such a line has nothing to print.
TEST_F(GatheringTest, ZeroLinesAreNotCounted) {
  AddAccounts({{"47100000", "Attente"}});
  AddLines({test_support::L('C', "47100000", "C60505", "OD", "000060", 'D', 0.004)});
  std::string message;
  ASSERT_TRUE(source_.Load(Path("c60"), Path("c50"), Path("c40"), &message)) << message;
  ASSERT_TRUE(chart_.LoadAccounts(Path("c20"), &message)) << message;
  for (bool euros : {true, false}) {
    Case c = kCases[0];
    c.euros = euros;
    GatherContext context = Context(c);
    context.keepRule = 'N';
    Gatherer g(source_, chart_, context);
    const ChartEntry* a = chart_.Find("47100000");
    ASSERT_NE(a, nullptr);
    AccountFigures f;
    EXPECT_EQ(g.GatherAccount(*a, f), !euros) << "francs 0.03 count, euros 0.00 do not";
  }
}

}  // namespace

namespace {

// The lists of a run: "Toutes" takes every collective of C10 and the sections in analytic mode.
TEST_F(GatheringTest, ListSequences) {
  struct Case { char kind; const char* list; char analytic; const char* lists; int limitsMode; };
  const Case cases[] = {
      {'T', "", '1', "12CF9", 0}, {'T', "", 'N', "12CF", 0}, {'G', "", '1', "1", 1}, {'(', "", '1', "9", 1},
      {'A', "2C", 'N', "2C", 0},  {'A', "F", 'N', "F", 1},   {'Z', "", 'N', "", 1},
  };
  for (const Case& c : cases) {
    const ListSequence s = BuildListSequence(MakeOptions(c.kind, "C60101", "C61231", false, 'S', '1', true, "", "",
                                                         c.list),
                                             codes_, c.analytic);
    EXPECT_EQ(s.lists, c.lists) << c.kind << " " << c.analytic;
    EXPECT_EQ(s.limitsMode, c.limitsMode) << c.kind;
  }
  EXPECT_EQ(ListTitle('C', codes_), "Clients");
  EXPECT_EQ(ListTitle('X', codes_), "\"X\"");
  EXPECT_EQ(ListTitle('2', codes_), "RESULTAT");
}

}  // namespace

namespace {

TEST_F(GatheringTest, TheFormsChecks) {
  struct List { const char* typed; bool ok; const char* shown; };
  const List lists[] = {{" 12CF ", true, ""}, {"1X", false, "X: ???"}, {"  ", false, "???"}};
  for (const List& l : lists) {
    std::string shown;
    EXPECT_EQ(CheckBalanceList(l.typed, codes_, shown), l.ok) << l.typed;
    EXPECT_EQ(shown, l.shown) << l.typed;
  }
  struct Account { char kind; const char* list; const char* typed; bool ok; const char* stored; };
  const Account accounts[] = {
      {'G', "", "411", true, "41100000"},   {'G', "", "CDUP", false, ""},      {'C', "", "CDUP", true, "CDUP    "},
      {'C', "", "411", false, ""},          {'F', "", "FACME", true, "FACME   "}, {'A', "C", "CDU", true, "CDU     "},
      {'A', "CF", "CDU", true, ""},        {'T', "", "411", true, ""},        {'(', "", "SECT1", true, "SECT1   "}, {'R', "", "0", false, ""},
      {'G', "", "", true, ""},
  };
  for (const Account& a : accounts) {
    std::string stored;
    EXPECT_EQ(CheckFormAccount(a.kind, a.list, a.typed, stored), a.ok) << a.kind << " " << a.typed;
    EXPECT_EQ(stored, a.stored) << a.kind << " " << a.typed;
  }
}

}  // namespace
