// The dunning core through its hooks: the ageing limits and buckets, the options text, the
// accounts, balances, buckets and lines of a run against an independent computation from the
// tables read with python3-dbfread, the SEPA file of a supplier payment (schema, counts, sums,
// ASCII, CR LF, one MsgId per file), the 160-character records, and the refusals that write
// nothing.
#include <algorithm>
#include <functional>
#include <set>

#include "core_fixture.h"
#include "platform/system/process.h"
#include "runtime/transfer_records.h"
#include "support/line_files.h"
#include "support/refused_read.h"
#include "reports/engine/core/report_texts.h"

namespace dunning_test {
namespace {

std::string Stored(const std::string& display) {
  Ymd d;
  return ParseDisplayDate(display, d) ? StoredDateOf(d) : std::string();
}
std::string Display(const std::string& stored) {
  Ymd d;
  return ParseStoredDate(stored, d) ? DisplayDateOf(d) : std::string("?") + stored;
}

TEST(DunningAgeing, LimitsFollowTheMonthsAndTheirEnds) {
  struct Case {
    const char* reference;
    const char* l30;
    const char* l60;
    const char* l90;
  };
  const Case cases[] = {
      {"31/01/26", "28/02/26", "31/03/26", "30/04/26"},  // a month end: the ends of the next three months
      {"31/01/28", "29/02/28", "31/03/28", "30/04/28"},  // leap year
      {"30/04/26", "31/05/26", "30/06/26", "31/07/26"},  // the 30th that ends April
      {"30/01/26", "28/02/26", "30/03/26", "30/04/26"},  // the 30th carried on past February
      {"15/06/26", "15/07/26", "15/08/26", "15/09/26"},
      {"15/11/29", "15/12/29", "15/01/30", "15/02/30"},  // into the 2030s
      {"31/12/29", "31/01/30", "28/02/30", "31/03/30"},
      {"29/02/28", "31/03/28", "30/04/28", "31/05/28"},  // the 29th of February is a month end
  };
  for (const Case& c : cases) {
    const dunning::AgeingLimits l = dunning::ComputeAgeingLimits(Stored(c.reference));
    EXPECT_EQ(Display(l.limit30) + " " + Display(l.limit60) + " " + Display(l.limit90),
              std::string(c.l30) + " " + c.l60 + " " + c.l90)
        << c.reference;
  }
  // The 2030s are written with the decade letter D, and sort after 2029.
  const dunning::AgeingLimits l = dunning::ComputeAgeingLimits(Stored("31/12/29"));
  EXPECT_EQ(l.limit30[0], 'D');
  EXPECT_GT(l.limit30, Stored("31/12/29"));
  std::string bad = "XX0101";
  EXPECT_FALSE(dunning::AddMonth(bad, false));
  EXPECT_EQ(bad, "XX0101");
}

TEST(DunningAgeing, BucketsOfDueDatesAroundTheLimits) {
  const dunning::AgeingLimits l = dunning::ComputeAgeingLimits(Stored("31/01/26"));
  struct Case {
    const char* due;   // blank: the line date counts
    const char* line;
    int bucket;
  };
  const Case cases[] = {
      {"15/02/26", "10/01/26", 0}, {"28/02/26", "10/01/26", 0}, {"01/03/26", "10/01/26", 1},
      {"31/03/26", "10/01/26", 1}, {"01/04/26", "10/01/26", 2}, {"30/04/26", "10/01/26", 2},
      {"01/05/26", "10/01/26", 3}, {"", "10/01/26", 0},         {"", "02/04/26", 2},
      {"10/01/31", "10/01/26", 3},
  };
  for (const Case& c : cases) {
    const std::string due = *c.due ? Stored(c.due) : std::string(6, ' ');
    EXPECT_EQ(dunning::AgeingBucket(due, Stored(c.line), l), c.bucket) << c.due << " " << c.line;
  }
}

TEST(DunningOptions, TheFormsTextAndTheStarredBalance) {
  struct Case {
    const char* first;
    const char* last;
    bool due, statement, euros;
    char filter, sense;
    const char* minimum;
    const char* labels;
    const char* text;
  };
  const Case cases[] = {
      {"C", "CZZZZZZZ", true, true, true, '2', 'D', "10", "", "C       CZZZZZZZC60101C61231O2O        10D          O"},
      {"41000000", "41199999", false, false, false, '1', 'T', " 1234.5 ", "AB",
       "4100000041199999C60101C61231N1N    1234.5TAB        N"},
      {"F", "FZZZZZZZ", true, false, true, '3', 'C', "12345678901", "V",
       "F       FZZZZZZZC60101C61231O3N1234567890CV         O"},
  };
  for (const Case& c : cases) {
    dunning::FormOptions f;
    f.firstAccount = c.first;
    f.lastAccount = c.last;
    f.firstDate = "01/01/26";
    f.lastDate = "31/12/26";
    f.dueDateTest = c.due;
    f.statement = c.statement;
    f.euros = c.euros;
    f.letterFilter = c.filter;
    f.sense = c.sense;
    f.minimum = c.minimum;
    f.labelCodes = c.labels;
    EXPECT_EQ(dunning::OptionsText(f), c.text) << c.first;
    EXPECT_EQ(dunning::OptionsText(f).size(), dunning::kOptionsLength);
  }
  EXPECT_EQ(dunning::StarredAmount(1234.50), "******1234,50***");
  EXPECT_EQ(dunning::StarredAmount(0.05), "*********0,05***");
}

// The oracle: the accounts of a range, their balance, buckets and lines, from the tables read
// with python3-dbfread (the records by their physical numbers, as the sort file names them).
const char* kOracle = R"PY(
import sys, calendar
from dbfread import DBF
folder, code, opts, ref = sys.argv[1], sys.argv[2].lower(), sys.argv[3], sys.argv[4]
def table(name):
    t = DBF(folder + name + code + '.dbf', load=False, ignore_missing_memofile=True, encoding='cp1252')
    data = open(t.filename, 'rb').read()
    hl, rl, n = t.header.headerlen, t.header.recordlen, t.header.numrecords
    lens = [f.length for f in t.fields]
    def rec(r):
        if r < 1 or r > n: return None
        b = data[hl + (r - 1) * rl: hl + r * rl]
        out, p = [b[0:1] == b'*'], 1
        for ln in lens:
            out.append(b[p:p + ln].decode('cp1252')); p += ln
        return out
    return rec, n
def ymd(s):
    c = s[0]
    y = 2000 + (ord(c) - 65) * 10 + int(s[1]) if c.isalpha() else 1900 + int(s[:2])
    return y, int(s[2:4]), int(s[4:6])
def stored(y, m, d):
    yy = '%02d' % (y % 100) if y < 2000 else chr(65 + (y - 2000) // 10) + str(y % 10)
    return '%s%02d%02d' % (yy, m, d)
y, m, d = ymd(ref)
end = d == calendar.monthrange(y, m)[1]
limits = []
for k in (1, 2, 3):
    yy, mm = y + (m - 1 + k) // 12, (m - 1 + k) % 12 + 1
    last = calendar.monthrange(yy, mm)[1]
    limits.append(stored(yy, mm, last if end else min(d, last)))
first, lastacc, d1, d2 = opts[0:8], opts[8:16], opts[16:22], opts[22:28]
duetest, filt, labels = opts[28] != 'N', opts[29], opts[42:52].rstrip()
minimum = round(float(opts[31:41].strip() or 0) * 100)
sense, euros = opts[41], 1 if opts[52] == 'O' else 0
c20, n20 = table('c20'); c60, n60 = table('c60'); c50, n50 = table('c50'); c40, n40 = table('c40')
sorts = {}
for r in range(1, n60 + 1):
    t = c60(r)
    if t[0] or t[1] != 'Z': continue
    sorts.setdefault(t[2], []).append(t)
accounts = sorted(set(c20(r)[1] for r in range(1, n20 + 1) if not c20(r)[0]))
for acc in accounts:
    if acc < first or acc > lastacc: continue
    bal, buckets, lines = 0, [0, 0, 0, 0], []
    for t in sorts.get(acc, []):
        draft = t[9][:1] == 'B'
        l = (c50 if draft else c40)(int(t[10] or 0))
        if l is None: continue
        if draft: month, day, lab, due, sen, amt = l[2], l[8], l[11], l[15], l[17], l[18 + euros]
        else: month, day, lab, due, sen, amt = l[3], l[4], l[7], l[11], l[13], l[14 + euros]
        cents = round(float(amt.strip() or 0) * 100)
        if cents == 0: continue
        date = t[3] + t[4]
        if date < d1 or date > d2: continue
        letter = t[6 + euros].strip()
        if filt not in '123' or (filt == '2' and letter) or (filt == '3' and not letter): continue
        if duetest and due.strip() and due > d2: continue
        if labels.strip() and lab[:1] not in labels: continue
        signed = cents if sen[:1] == 'D' else -cents
        bal += signed
        r = due if due.strip() else month + day
        buckets[3 if r > limits[2] else 2 if r > limits[1] else 1 if r > limits[0] else 0] += signed
        lines.append(month + day + sen[:1] + str(cents))
    if bal == 0: continue
    if minimum != 0:
        ok = {'D': bal > 0 and abs(bal) >= minimum, 'C': bal < 0 and abs(bal) >= minimum,
              'T': abs(bal) >= minimum}.get(sense, False)
        if not ok: continue
    print('|'.join([acc.rstrip(), str(bal)] + [str(b) for b in buckets] + [','.join(sorted(lines))]))
)PY";

TEST_F(DunningCoreTest, TheAccountsOfAScheduleAgreeWithTheTablesReadAlone) {
  // Lines of the test's own customer on both sides of the limits of a reference of 31/03.
  Account("CZAGE001", "Ages et Echeances", "", "");
  Line("CZAGE001", Date(1, 10), Date(4, 30), 'D', 10000);   // on the 30-day limit
  Line("CZAGE001", Date(1, 11), Date(5, 1), 'D', 20000);    // the day after: 30-60
  Line("CZAGE001", Date(1, 12), Date(7, 1), 'D', 40000);    // beyond 90 days
  Line("CZAGE001", Date(1, 13), "", 'C', 5000);             // no due date: its line date
  Line("CZAGE001", Date(2, 14), Date(6, 30), 'D', 0);       // nothing in the run's currency
  struct Case {
    const char* first;
    const char* last;
    char filter, sense;
    const char* minimum;
    const char* labels;
    std::size_t atLeast;  // accounts listed
  };
  const Case cases[] = {
      {"C", "CZZZZZZZ", '2', 'D', "10", "", 1},  // the customers' dunning (the demo's open invoices fall due after the year)
      {"C", "CZZZZZZZ", '1', 'T', "0", "", 3},   // every non-zero balance
      {"F", "FZZZZZZZ", '1', 'C', "5", "", 1},   // the suppliers in credit
      {"A", "ZZZZZZZZ", '3', 'T', "0", "", 0},   // matched lines only
      {"C", "CZZZZZZZ", '1', 'T', "0", "A ", 0}, // label codes
  };
  std::vector<ListedAccount> listed;
  for (const Case& c : cases) {
    dunning::FormOptions f = Form(c.first, c.last, c.sense, c.minimum);
    f.lastDate = Display(Date(3, 31));
    f.letterFilter = c.filter;
    f.labelCodes = c.labels;
    const std::string options = dunning::OptionsText(f);
    DunningRun& run = NewRun(options, "E");
    bool prepared = false;
    const std::vector<ListedAccount> accounts = Play(run, &prepared);
    if (listed.empty()) listed = accounts;
    std::set<std::string> ours;
    for (const ListedAccount& a : accounts) {
      std::string line = a.code + "|" + std::to_string(a.cents);
      for (long long b : a.buckets) line += "|" + std::to_string(b);
      std::string joined;
      for (const std::string& l : a.lines) joined += (joined.empty() ? "" : ",") + l;
      ours.insert(line + "|" + joined);
    }
    if (!prepared) ours.clear();  // nothing to list: the oracle finds nothing either
    // The schedule takes the lines of the whole year.
    std::string wholeYear = options;
    wholeYear.replace(16, 6, TheDossierRecord.DateStored(DossierRecord::DateField::YearStart));
    wholeYear.replace(22, 6, TheDossierRecord.DateStored(DossierRecord::DateField::YearEnd));
    int status = -1;
    const std::string out = test_support::RunPythonScript(
        std::string("import sys\nsys.argv = ['oracle', '") + DossierFolder + "', 'RL', '" + wholeYear + "', '" +
            Date(3, 31) + "']\n" + kOracle,
        true, &status);
    ASSERT_EQ(status, 0) << out;
    std::set<std::string> theirs;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);)
      if (!line.empty()) theirs.insert(line);
    EXPECT_GE(theirs.size(), c.atLeast) << c.first << " " << c.sense << "\n" << out;
    EXPECT_EQ(ours, theirs) << c.first << " " << c.filter << " " << c.sense;
  }
  // The test's customer: 100 + 200 + 400 - 50, the credit aged by its line date.
  auto own = std::find_if(listed.begin(), listed.end(), [](const ListedAccount& a) { return a.code == "CZAGE001"; });
  ASSERT_NE(own, listed.end());
  EXPECT_EQ(own->cents, 65000);
  EXPECT_EQ(own->buckets[0], 5000);
  EXPECT_EQ(own->buckets[1], 20000);
  EXPECT_EQ(own->buckets[3], 40000);
  EXPECT_EQ(RTrim(own->values.at("DATE30J").c_str()), Display(Date(4, 30)));
  EXPECT_EQ(RTrim(own->values.at("SOLDEDBCR").c_str()), std::string("Db"));
  EXPECT_EQ(RTrim(own->values.at("CPOSTAL").c_str()), std::string("37000"));
  EXPECT_EQ(RTrim(own->values.at("COMMUNE").c_str()), std::string("Tours"));
}

TEST_F(DunningCoreTest, AcceptanceByMinimumAndSense) {
  Account("CZMIN001", "Solde debiteur de 100", "", "");
  Line("CZMIN001", Date(1, 10), "", 'D', 10000);
  Account("CZMIN002", "Solde crediteur de 500", "", "");
  Line("CZMIN002", Date(1, 10), "", 'C', 50000);
  Account("CZMIN003", "Solde nul", "", "");
  Line("CZMIN003", Date(1, 10), "", 'D', 7000);
  Line("CZMIN003", Date(1, 11), "", 'C', 7000);
  struct Case {
    char sense;
    const char* minimum;
    const char* listed;
  };
  const Case cases[] = {
      {'D', "100", "CZMIN001"},          {'D', "100.01", ""},  {'C', "100", "CZMIN002"},
      {'T', "100", "CZMIN001 CZMIN002"}, {'T', "500.01", ""},  {'X', "100", ""},
      {'X', "0", "CZMIN001 CZMIN002"},  // a minimum of 0 takes every non-zero balance
  };
  for (const Case& c : cases) {
    DunningRun& run = NewRun(dunning::OptionsText(Form("CZMIN001", "CZMIN003", c.sense, c.minimum)), "");
    bool prepared = false;
    std::string listed;
    for (const ListedAccount& a : Play(run, &prepared)) listed += (listed.empty() ? "" : " ") + a.code;
    EXPECT_EQ(listed, c.listed) << c.sense << " " << c.minimum;
    EXPECT_EQ(prepared, *c.listed != 0) << c.sense << " " << c.minimum;
  }
}

// A run from 01/02 to 31/03 (a month end: its limits are 30/04, 31/05 and 30/06), each case on an
// account of its own chosen alone by the range: the lines on the first and last dates and just
// outside them, due on the last date and the day after with and without the due-date test, due
// on each ageing limit and the day after it, and matched lines (in euros, in francs alone, a group
// matched in part) under each matching filter.
TEST_F(DunningCoreTest, TheLinesOfARunAtItsDatesLimitsAndLetters) {
  struct Own {
    int month, day;
    int dueMonth, dueDay;  // 0: no due date
    char sense;
    long long cents;
    const char* letterE;
    const char* letterF;
  };
  struct Case {
    const char* what;
    std::vector<Own> lines;
    bool dueTest;
    char filter;
    long long cents;          // the balance listed, 0: the account is not listed
    long long buckets[4];
  };
  const Case cases[] = {
      {"the day before the first date", {{1, 31, 0, 0, 'D', 1000, "", ""}}, true, '1', 0, {}},
      {"the first date", {{2, 1, 0, 0, 'D', 1100, "", ""}}, true, '1', 1100, {1100, 0, 0, 0}},
      {"the last date", {{3, 31, 0, 0, 'D', 1200, "", ""}}, true, '1', 1200, {1200, 0, 0, 0}},
      {"the day after the last date", {{4, 1, 0, 0, 'D', 1300, "", ""}}, true, '1', 0, {}},
      {"due on the last date", {{2, 15, 3, 31, 'D', 1400, "", ""}}, true, '1', 1400, {1400, 0, 0, 0}},
      {"due the day after", {{2, 15, 4, 1, 'D', 1500, "", ""}}, true, '1', 0, {}},
      {"due the day after, no due-date test", {{2, 15, 4, 1, 'D', 1600, "", ""}}, false, '1', 1600, {1600, 0, 0, 0}},
      {"due on the 30-day limit", {{2, 15, 4, 30, 'D', 1700, "", ""}}, false, '1', 1700, {1700, 0, 0, 0}},
      {"due the day after it", {{2, 15, 5, 1, 'C', 1800, "", ""}}, false, '1', -1800, {0, -1800, 0, 0}},
      {"due on the 60-day limit", {{2, 15, 5, 31, 'D', 1900, "", ""}}, false, '1', 1900, {0, 1900, 0, 0}},
      {"due the day after it", {{2, 15, 6, 1, 'D', 2000, "", ""}}, false, '1', 2000, {0, 0, 2000, 0}},
      {"due on the 90-day limit", {{2, 15, 6, 30, 'D', 2100, "", ""}}, false, '1', 2100, {0, 0, 2100, 0}},
      {"due the day after it", {{2, 15, 7, 1, 'D', 2200, "", ""}}, false, '1', 2200, {0, 0, 0, 2200}},
      {"matched in euros, unmatched asked", {{2, 15, 0, 0, 'D', 2300, "AA", "AA"}}, true, '2', 0, {}},
      {"matched in euros, matched asked", {{2, 15, 0, 0, 'D', 2400, "AA", "AA"}}, true, '3', 2400, {2400, 0, 0, 0}},
      {"matched in francs alone, unmatched asked", {{2, 15, 0, 0, 'D', 2500, "", "AB"}}, true, '2', 2500, {2500, 0, 0, 0}},
      {"matched in francs alone, matched asked", {{2, 15, 0, 0, 'D', 2600, "", "AB"}}, true, '3', 0, {}},
      // An invoice of 300 matched with a payment of 200 under one letter, a payment of 40 left open.
      {"a group matched in part, all lines",
       {{2, 10, 5, 10, 'D', 30000, "AC", "AC"}, {3, 1, 0, 0, 'C', 20000, "AC", "AC"}, {3, 20, 0, 0, 'C', 4000, "", ""}},
       false, '1', 6000, {-24000, 30000, 0, 0}},
      {"a group matched in part, unmatched lines",
       {{2, 10, 5, 10, 'D', 30000, "AC", "AC"}, {3, 1, 0, 0, 'C', 20000, "AC", "AC"}, {3, 20, 0, 0, 'C', 4000, "", ""}},
       false, '2', -4000, {-4000, 0, 0, 0}},
      {"a group matched in part, matched lines",
       {{2, 10, 5, 10, 'D', 30000, "AC", "AC"}, {3, 1, 0, 0, 'C', 20000, "AC", "AC"}, {3, 20, 0, 0, 'C', 4000, "", ""}},
       false, '3', 10000, {-20000, 30000, 0, 0}},
  };
  int n = 0;
  for (const Case& c : cases) {
    char code[9];
    std::snprintf(code, sizeof code, "CZB%05d", ++n);
    SCOPED_TRACE(std::string(code) + ": " + c.what);
    Account(code, c.what, "", "");
    for (const Own& o : c.lines)
      Line(code, Date(o.month, o.day), o.dueMonth ? Date(o.dueMonth, o.dueDay) : "", o.sense, o.cents, "Facture", ' ',
           o.letterE, o.letterF);
    dunning::FormOptions f = Form(code, code, 'T', "0");
    f.firstDate = Display(Date(2, 1));
    f.lastDate = Display(Date(3, 31));
    f.dueDateTest = c.dueTest;
    f.letterFilter = c.filter;
    DunningRun& run = NewRun(dunning::OptionsText(f), "");
    bool prepared = false;
    const std::vector<ListedAccount> listed = Play(run, &prepared);
    if (c.cents == 0) {
      EXPECT_FALSE(prepared) << AllMessages();
      continue;
    }
    ASSERT_TRUE(prepared) << AllMessages();
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].code, code);
    EXPECT_EQ(listed[0].cents, c.cents);
    for (int b = 0; b < 4; ++b) EXPECT_EQ(listed[0].buckets[b], c.buckets[b]) << "bucket " << b;
    EXPECT_EQ(RTrim(listed[0].values.at("DATE30J").c_str()) + std::string(" ") +
                  RTrim(listed[0].values.at("DATE60J").c_str()) + " " + RTrim(listed[0].values.at("DATE90J").c_str()),
              Display(Date(4, 30)) + " " + Display(Date(5, 31)) + " " + Display(Date(6, 30)));
  }
}

// The same window run again with an earlier last date: the lines after it leave the balance and
// the ageing limits follow the new date (28/02, a month end: 31/03, 30/04, 31/05).
TEST_F(DunningCoreTest, ASecondRunWithAnEarlierLastDateSelectsAndAgesAgain) {
  Account("CZSEC001", "Deux passages", "", "");
  Line("CZSEC001", Date(2, 28), Date(3, 31), 'D', 10000);  // on the second run's 30-day limit
  Line("CZSEC001", Date(2, 28), Date(4, 1), 'D', 20000);   // the day after it
  Line("CZSEC001", Date(3, 1), Date(5, 31), 'D', 40000);   // after the second run's last date
  dunning::FormOptions f = Form("CZSEC001", "CZSEC001", 'T', "0");
  f.firstDate = Display(Date(1, 1));
  f.lastDate = Display(Date(3, 31));
  f.dueDateTest = false;
  DunningRun& run = NewRun(dunning::OptionsText(f), "");
  std::vector<ListedAccount> listed = Play(run);
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].cents, 70000);
  EXPECT_EQ(listed[0].buckets[0], 30000);  // the first run's limits: 30/04, 31/05, 30/06
  EXPECT_EQ(listed[0].buckets[1], 40000);
  f.lastDate = Display(Date(2, 28));
  run.OptionsString = dunning::OptionsText(f);
  listed = Play(run);
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].cents, 30000);
  EXPECT_EQ(listed[0].buckets[0], 10000);
  EXPECT_EQ(listed[0].buckets[1], 20000);
  EXPECT_EQ(RTrim(listed[0].values.at("DATE30J").c_str()), Display(Date(3, 31)));
  EXPECT_EQ(RTrim(listed[0].values.at("DATEFIN").c_str()), Display(Date(2, 28)));
}

// A line whose amount does not read ("-1e300", read elsewhere as -1,300.00) counts as zero, as
// every report reads it: the account's balance is that of its other lines, and the line is named.
TEST_F(DunningCoreTest, AnAmountThatDoesNotReadCountsAsZeroAndIsNamed) {
  Account("CZBAD001", "Une ligne illisible", "", "");
  Line("CZBAD001", Date(1, 10), "", 'D', 10000);
  Line("CZBAD001", Date(1, 11), "", 'D', 999);
  std::uint32_t damaged = 0;
  {
    test_support::RawRecords raw(std::string(DossierFolder) + "c50rl.dbf");
    for (std::uint32_t n = raw.Count(); n >= 1 && damaged == 0; --n)
      if (StoredAmountCents(raw.Field(raw.Record(n), "BMONTANTE")) == 999) {
        raw.Put(n, "BMONTANTE", "-1e300");
        damaged = n;
      }
  }
  ASSERT_NE(damaged, 0u);
  DunningRun& run = NewRun(dunning::OptionsText(Form("CZBAD001", "CZBAD001", 'D')), "");
  const std::vector<ListedAccount> listed = Play(run);
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].cents, 10000);
  const std::string named = UnreadableAmountsMessage(run.Unreadable());
  EXPECT_NE(named.find("C50 enregistrement " + std::to_string(damaged) + ","), std::string::npos) << named;
  EXPECT_NE(named.find("compte CZBAD001"), std::string::npos) << named;
}

TEST_F(DunningCoreTest, ADamagedTableStopsTheRunWithItsName) {
  // The draft file cut in the middle of a record: its header promises more than the file holds.
  CloseAllTables();
  const std::string c50 = std::string(DossierFolder) + "c50rl.dbf";
  const auto size = fs::file_size(c50);
  fs::resize_file(c50, size - 37);
  const std::string before = ReadAll(c50);
  DunningRun& run = NewRun(dunning::OptionsText(Form("C", "CZZZZZZZ", 'D')), "E");
  EXPECT_FALSE(run.PrepareReport());
  EXPECT_NE(AllMessages().find("c50rl"), std::string::npos) << AllMessages();
  EXPECT_EQ(ReadAll(c50), before);
}

TEST_F(DunningCoreTest, AStatementListsTheAccountsLinesWithTheirBuckets) {
  Account("CZREL001", "Releve", "", "");
  Line("CZREL001", Date(1, 10), Date(2, 10), 'D', 123450, "Facture 1", 'A');
  Line("CZREL001", Date(1, 20), "", 'C', 3450, "Avoir 1");
  dunning::FormOptions f = Form("CZREL001", "CZREL001", 'D');
  DunningRun& run = NewRun(dunning::OptionsText(f), "E");
  ASSERT_TRUE(run.PrepareReport()) << AllMessages();
  run.ComputeLine();
  EXPECT_EQ(RTrim(fields_.Value(DunningRun::SOLDEETOIL).c_str()), std::string("******1200,00***"));
  // The statement: mode "4" opens it, mode "3" walks its lines, the break code follows.
  run.ListMode = '4';
  ASSERT_TRUE(run.NextRecord());
  EXPECT_EQ(section_, "D");
  std::vector<std::string> amounts;
  do {
    run.ComputeLine();
    amounts.push_back(RTrim(fields_.Value(DunningRun::DBCR).c_str()) + std::string(" ") +
                      fields_.PlainNumber(DunningRun::MONTANT, '.'));
  } while (run.NextRecord());
  EXPECT_EQ(amounts, (std::vector<std::string>{"Db 1234.50", "Cr 34.50"}));
  EXPECT_EQ(section_, "E");
  EXPECT_EQ(run.ListMode, '1');
  EXPECT_EQ(RTrim(fields_.Value(DunningRun::ECHEANCETR).c_str()), Display(Date(2, 10)));
  std::int64_t sum = 0, bucket = 0;
  for (int b = 0; b < 4; ++b) {
    fields_.GetFieldUnits(DunningRun::TG_MTM30J + b, bucket);
    sum += bucket;
  }
  EXPECT_EQ(sum, 120000);
}

class SepaTest : public DunningCoreTest {
 protected:
  static std::string Run(const std::vector<std::string>& argv, int* status) {
    platform::LaunchOptions o;
    o.wait = true;
    o.captureOutput = true;
    const platform::LaunchResult r = platform::LaunchProcess(argv, o);
    *status = r.exitStatus;
    return r.output;
  }
  static std::string XPath(const std::string& file, const std::string& expression) {
    int status = -1;
    std::string out = Run({"xmllint", "--xpath", expression, file}, &status);
    EXPECT_EQ(status, 0) << expression << "\n" << out;
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
  }
  static std::string Schema() { return std::string(MERLON_SOURCE_DIR) + "/tests/entry/data/pain.001.001.02.xsd"; }

  void Suppliers() {
    Account("FZSCIE01", "Scierie de l'\xC9tang & Cie <Nord>", IbanOf("FR", "30004008250000000006497"), "BNPAFRPPXXX");
    Line("FZSCIE01", Date(2, 3), "", 'C', 1234567891, "Bois de charpente");
    Account("FZDUPO01", "Dupont \xE0 Orl\xE9" "ans", IbanOf("FR", "20041010050500013M02606"), "PSSTFRPPTOU");
    Line("FZDUPO01", Date(2, 4), "", 'C', 120000, "Outils");
    Line("FZDUPO01", Date(2, 5), "", 'C', 3450, "Transport");
    // An account in debit: it owes the company and is paid nothing.
    Account("FZDEBIT1", "Fournisseur debiteur", IbanOf("FR", "30004008250000000006497"), "BNPAFRPPXXX");
    Line("FZDEBIT1", Date(2, 6), "", 'D', 50000, "Avoir du");
  }
  // A payment run with a minimum of 0 and the sense "T": every non-zero balance.
  std::string PaymentOptions() { return dunning::OptionsText(Form("FZ", "FZZZZZZZ", 'T', "0")); }
};

TEST_F(SepaTest, ASupplierPaymentWritesAValidFileOfTheCreditBalancesOnly) {
  Suppliers();
  DunningRun& run = NewRun(PaymentOptions(), "S");
  bool prepared = false;
  Play(run, &prepared);
  ASSERT_TRUE(prepared) << AllMessages();
  const std::string file = run.TransferFile();
  ASSERT_FALSE(file.empty()) << AllMessages();
  EXPECT_TRUE(NoTemporaryFile());
  fs::copy_file(file, Artefact("pain001-paiements.xml"), fs::copy_options::overwrite_existing);

  int status = -1;
  const std::string valid = Run({"xmllint", "--noout", "--schema", Schema(), file}, &status);
  EXPECT_EQ(status, 0) << valid;
  const std::string blocks = XPath(file, "count(//*[local-name()='CdtTrfTxInf'])");
  EXPECT_EQ(blocks, "2");
  EXPECT_EQ(XPath(file, "string(//*[local-name()='NbOfTxs'])"), blocks);
  EXPECT_EQ(XPath(file, "string(//*[local-name()='CtrlSum'])"), "12346913.41");
  const std::string text = ReadAll(file);
  EXPECT_NE(text.find(">12345678.91</InstdAmt>"), std::string::npos);
  EXPECT_NE(text.find("<Nm>FZSCIE01-Scierie de l-Etang - Cie -Nord</Nm>"), std::string::npos);
  // The identifiers are the account's own: its block number and code, never another's label.
  EXPECT_NE(text.find("<InstrId>Virement:000-"), std::string::npos);
  EXPECT_NE(text.find("<EndToEndId>FZDUPO01 "), std::string::npos);
  EXPECT_EQ(text.find("FZDEBIT1"), std::string::npos);
  EXPECT_NE(run.EndMessage().find("FZDEBIT1"), std::string::npos);
  EXPECT_EQ(run.TransferredCents(), 1234691341);

  const std::string out = test_support::RunPythonScript(
      "import re, stdnum.iban\ndata = open('" + file + "', 'rb').read()\n"
      "ibans = re.findall(rb'<IBAN>([^<]*)</IBAN>', data)\n"
      "bad = [i for i in ibans if not stdnum.iban.is_valid(i.decode('ascii'))]\n"
      "lines = data.split(b'\\n')[:-1]\n"
      "from decimal import Decimal\n"
      "amounts = sum(Decimal(a.decode()) for a in re.findall(rb'<InstdAmt Ccy=\"EUR\">([^<]*)<', data))\n"
      "control = Decimal(re.search(rb'<CtrlSum>([^<]*)<', data).group(1).decode())\n"
      "print(len(ibans), bad, all(l.endswith(b'\\r') for l in lines), all(b < 128 for b in data), amounts == control)\n",
      true);
  EXPECT_EQ(out, "3 [] True True True\n");
  const std::string grep = Run({"grep", "-cP", "[^\\x00-\\x7F]", file}, &status);
  EXPECT_EQ(grep, "0\n");

  // A second file in the same second carries another MsgId.
  const std::string first = run.MessageId();
  DunningRun& again = NewRun(PaymentOptions(), "S");
  Play(again, &prepared);
  ASSERT_FALSE(again.TransferFile().empty()) << AllMessages();
  EXPECT_NE(again.MessageId(), first);
  EXPECT_EQ(first.rfind("Virement-", 0), 0u);
}

TEST_F(SepaTest, TheTextsOfTheFileAreFilteredToAscii) {
  struct Case {
    const char* name;     // as stored (cp1252)
    const char* label;    // the one line's label: the remittance text
    const char* nm;       // Cdtr Nm in the file
    const char* ustrd;    // RmtInf Ustrd
  };
  const Case cases[] = {
      {"Soci\xE9t\xE9 G\xE9n\xE9rale d'\xC9tudes", "Facture n\xB0 12", "FZTXT001-Societe Generale d-Etudes",
       "Vrt:Facture n- 12"},
      {"\x91" "Bois\x92 & Fils", "Re\xE7u \x93" "acompte\x94", "FZTXT002--Bois- - Fils", "Vrt:Recu -acompte-"},
      {"<Sarl> Lef\xE8vre", "A/B (x) ?:.,+", "FZTXT003--Sarl- Lefevre", "Vrt:A/B (x) ?:.,+"},
  };
  int n = 0;
  for (const Case& c : cases) {
    const std::string code = "FZTXT00" + std::to_string(++n);
    Account(code, c.name, IbanOf("FR", "30004008250000000006497"), "BNPAFRPPXXX");
    Line(code, Date(2, 3), "", 'C', 1000 * n, c.label);
  }
  DunningRun& run = NewRun(dunning::OptionsText(Form("FZTXT001", "FZTXT003", 'C', "0")), "S");
  bool prepared = false;
  Play(run, &prepared);
  ASSERT_TRUE(prepared) << AllMessages();
  const std::string text = ReadAll(run.TransferFile());
  n = 0;
  for (const Case& c : cases) {
    ++n;
    EXPECT_NE(text.find(std::string("<Nm>") + c.nm + "</Nm>"), std::string::npos) << n << "\n" << text;
    EXPECT_NE(text.find(std::string("<Ustrd>") + c.ustrd + "</Ustrd>"), std::string::npos) << n << "\n" << text;
  }
}

TEST_F(SepaTest, AWrongCreditorIbanOrBicWritesNoFileAndNamesTheAccount) {
  Suppliers();
  std::string wrong = IbanOf("FR", "30004008250000000006497");
  wrong[3] = wrong[3] == '9' ? '0' : static_cast<char>(wrong[3] + 1);
  Account("FZBADIB1", "Iban faux", wrong, "BNPAFRPPXXX");
  Line("FZBADIB1", Date(2, 7), "", 'C', 1000, "Facture");
  Account("FZBADBI1", "Bic faux", IbanOf("FR", "30004008250000000006497"), "BN");
  Line("FZBADBI1", Date(2, 8), "", 'C', 1000, "Facture");
  DunningRun& run = NewRun(PaymentOptions(), "S");
  bool prepared = false;
  Play(run, &prepared);
  ASSERT_TRUE(prepared) << AllMessages();
  EXPECT_TRUE(run.TransferFile().empty());
  EXPECT_FALSE(fs::exists(DunningRun::TransferFileName()));
  EXPECT_TRUE(NoTemporaryFile());
  const std::string shown = AllMessages();
  EXPECT_NE(shown.find("FZBADIB1"), std::string::npos) << shown;
  EXPECT_NE(shown.find("FZBADBI1"), std::string::npos) << shown;
}

TEST_F(SepaTest, AmountsBeyondTheVariablesWidthsKeepTheirCents) {
  // 12,345,678,901.23: the report variable (money, 10 wide) cannot show it, the file and the
  // records carry it exactly.
  Account("FZLARGE1", "Grand fournisseur", IbanOf("FR", "30004008250000000006497"), "BNPAFRPPXXX");
  Line("FZLARGE1", Date(2, 3), "", 'C', 1234567890123LL, "Usine");
  Account("FZSMALL1", "Petit fournisseur", IbanOf("FR", "30004008250000000006497"), "BNPAFRPPXXX");
  Line("FZSMALL1", Date(2, 3), "", 'C', 1, "Timbre");
  for (const char* kind : {"S", "V"}) {
    DunningRun& run = NewRun(PaymentOptions(), kind);
    bool prepared = false;
    const std::vector<ListedAccount> listed = Play(run, &prepared);
    ASSERT_TRUE(prepared) << AllMessages();
    EXPECT_EQ(run.TransferredCents(), 1234567890124LL) << kind;
    if (std::string(kind) == "S") {
      const std::string text = ReadAll(run.TransferFile());
      EXPECT_NE(text.find(">12345678901.23</InstdAmt>"), std::string::npos);
      EXPECT_NE(text.find("<CtrlSum>12345678901.24</CtrlSum>"), std::string::npos);
    } else {
      ASSERT_EQ(listed.size(), 2u);
      EXPECT_EQ((listed[0].values.at("VRTS_06_02")).substr(22, 16), "0001234567890123");
      EXPECT_EQ((listed[1].values.at("VRTS_08_02")).substr(22, 16), "0001234567890124");
    }
  }
}

TEST_F(SepaTest, AFileThatCannotBePlacedLeavesNothing) {
  Suppliers();
  // The folder of the target is a file: the file cannot be made there.
  const std::string blocker = Dir() + "/not-a-folder";
  std::ofstream(blocker) << "x";
  DunningRun& run = NewRun(PaymentOptions(), "S");
  run.TransferTarget = [blocker] { return blocker + "/paiements.xml"; };
  bool prepared = false;
  Play(run, &prepared);
  ASSERT_TRUE(prepared) << AllMessages();
  EXPECT_TRUE(run.TransferFile().empty());
  EXPECT_NE(AllMessages().find(blocker + "/paiements.xml"), std::string::npos) << AllMessages();
  EXPECT_TRUE(NoTemporaryFile());
  EXPECT_TRUE(run.EndMessage().find("paiements") == std::string::npos);
}

TEST_F(SepaTest, RefusalsBeforeAnythingIsWritten) {
  Suppliers();
  struct Case {
    const char* what;
    std::function<void()> damage;
    bool euros;
    const char* message;
  };
  const Case cases[] = {
      {"francs", [] {}, false, "Euros seulement"},
      {"constant 043 blank", [] { TheDossierRecord.SetConstant(43, "   "); }, true, "Constante 043"},
      {"constant 043 naming no bank", [] { TheDossierRecord.SetConstant(43, "ZZZ"); }, true, "Constante 043"},
      {"a cancelled bank",
       [] {
         TheDossierRecord.SetConstant(43, "BQ0");
         Table c10;
         ASSERT_TRUE(c10.OpenShared(PathC10(), "C10CODE"));
         ASSERT_TRUE(c10.Seek("C10CODE", "Q", "BQ0"));
         ASSERT_TRUE(c10.DeleteRecord("", 0));
       },
       true, "Constante 043"},
  };
  for (const Case& c : cases) {
    c.damage();
    Messages().clear();
    std::string options = PaymentOptions();
    options[52] = c.euros ? 'O' : 'N';
    DunningRun& run = NewRun(options, "S");
    EXPECT_FALSE(run.PrepareReport()) << c.what;
    EXPECT_NE(AllMessages().find(c.message), std::string::npos) << c.what << "\n" << AllMessages();
    EXPECT_FALSE(fs::exists(DunningRun::TransferFileName())) << c.what;
    EXPECT_TRUE(NoTemporaryFile()) << c.what;
  }
}

TEST_F(SepaTest, DomesticRecordsOfOneHundredAndSixtyCharacters) {
  Suppliers();
  DunningRun& run = NewRun(PaymentOptions(), "V");
  bool prepared = false;
  const std::vector<ListedAccount> listed = Play(run, &prepared);
  ASSERT_TRUE(prepared) << AllMessages();
  const std::string r03 = fields_.Value(DunningRun::VRTS_03_01) + fields_.Value(DunningRun::VRTS_03_02);
  ASSERT_EQ(r03.size(), 160u);
  EXPECT_EQ(r03.substr(0, 4), "0302");
  const std::string issuer = r03.substr(12, 6);
  long long sum = 0;
  std::string last08;
  for (const ListedAccount& a : listed) {
    const std::string r06 = a.values.at("VRTS_06_01") + a.values.at("VRTS_06_02");
    last08 = a.values.at("VRTS_08_01") + a.values.at("VRTS_08_02");
    ASSERT_EQ(r06.size(), 160u) << a.code;
    EXPECT_EQ(r06.substr(0, 4), "0602");
    EXPECT_EQ(r06.substr(12, 6), issuer);
    EXPECT_EQ(r06.substr(18, 8), a.code + std::string(8 - a.code.size(), ' '));
    EXPECT_TRUE(transfer_records::AmountDigitsOnly(r06)) << r06;
    sum += std::stoll(r06.substr(102, 16));
  }
  EXPECT_EQ(listed.size(), 2u);
  ASSERT_EQ(last08.size(), 160u);
  EXPECT_EQ(last08.substr(0, 4), "0802");
  EXPECT_EQ(last08.substr(12, 6), issuer);
  EXPECT_TRUE(transfer_records::AmountDigitsOnly(last08));
  EXPECT_EQ(std::stoll(last08.substr(102, 16)), sum);
  EXPECT_EQ(sum, 1234691341);
  // One line: its label after ">"; several: the working date and the code after ")".
  const std::string scierie = listed[1].values.at("VRTS_06_02");
  EXPECT_EQ(scierie.substr(38, 1), ">") << scierie;
  EXPECT_EQ(listed[0].values.at("VRTS_06_02").substr(38, 1), ")");
}

// Four suppliers whose line's amount does not read ("-1e300", "ABC", "1e300", NUL bytes) beside
// suppliers that read: neither the SEPA file nor the records of kind "V" are made, since their
// sums would be guessed; the message names each line and says the file was not written, and the
// run does not say they count as zero. A kind "V" run gives its export file up.
TEST_F(SepaTest, NoTransferFileCarriesASumThatWasNotRead) {
  Suppliers();
  std::vector<std::string> named;
  for (std::size_t i = 0; i < UnreadableAmounts().size(); ++i) {
    const std::string code = "FZILLI0" + std::to_string(i + 1);
    Account(code, "Fournisseur illisible", IbanOf("FR", "30004008250000000006497"), "BNPAFRPPXXX");
    Line(code, Date(3, 1), "", 'C', 10000 + static_cast<long long>(i), "Facture");
    const std::uint32_t n = DamageLastLine(code, UnreadableAmounts()[i]);
    ASSERT_NE(n, 0u);
    named.push_back("C50 enregistrement " + std::to_string(n) + ", pi\xE8" "ce 9000");
  }
  for (const char* kind : {"S", "V"}) {
    SCOPED_TRACE(kind);
    Messages().clear();
    DunningRun& run = NewRun(PaymentOptions(), kind);
    int abandoned = 0;
    run.AbandonExport = [&abandoned] { ++abandoned; };
    bool prepared = false;
    const std::vector<ListedAccount> listed = Play(run, &prepared);
    ASSERT_TRUE(prepared) << AllMessages();
    EXPECT_TRUE(run.RefusedUnreadable());
    EXPECT_EQ(run.Unreadable().size(), 4u);
    EXPECT_TRUE(run.TransferFile().empty());
    EXPECT_FALSE(fs::exists(DunningRun::TransferFileName()));
    EXPECT_TRUE(NoTemporaryFile());
    // The layout's export too (kind "S" would have put its file under its name).
    EXPECT_EQ(abandoned, 1);
    const std::string shown = AllMessages();
    EXPECT_NE(shown.find("Le fichier n'a pas \xE9t\xE9 \xE9" "crit"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("compt\xE9" "e pour z\xE9ro"), std::string::npos) << shown;
    for (const std::string& n : named) EXPECT_NE(shown.find(n), std::string::npos) << n << "\n" << shown;
    EXPECT_EQ(run.EndMessage().find("Nombre de virements"), std::string::npos) << run.EndMessage();
    // The records of the last account are not left for the layout's closing lines.
    ASSERT_FALSE(listed.empty());
    for (const char* v : {"VRTS_06_01", "VRTS_08_01", "VRTS_08_02"})
      EXPECT_EQ(Trimmed(fields_.Value(fields_.FindField(v))), "") << v;
  }
}

// Suppliers whose lines read but pay nothing: a credit line below zero with its francs above (as
// the opening balances write one), a supplier whose lines net to zero, a line of zero beside a
// sum to pay. Neither the SEPA file nor the records of kind "V" carry a transfer at or below zero:
// the supplier in debit is named among those left out, the others are paid what they are owed, and
// the file still validates.
TEST_F(SepaTest, NoTransferOfASumAtOrBelowZero) {
  Suppliers();
  Account("FZNEGA01", "Fournisseur avoir", IbanOf("FR", "30004008250000000006497"), "BNPAFRPPXXX");
  Line("FZNEGA01", Date(3, 1), "", 'C', 175717, "Avoir");
  const std::uint32_t negative = DamageLastLine("FZNEGA01", "      -1757.17");
  ASSERT_NE(negative, 0u);
  test_support::RawRecords(std::string(PathC50()) + ".dbf").Put(negative, "BMONTANTF", "      11526.24");
  Account("FZNUL001", "Fournisseur solde", IbanOf("FR", "30004008250000000006497"), "BNPAFRPPXXX");
  Line("FZNUL001", Date(3, 1), "", 'C', 10000, "Facture");
  Line("FZNUL001", Date(3, 2), "", 'D', 10000, "Reglement");
  Account("FZZERO01", "Fournisseur zero", IbanOf("FR", "30004008250000000006497"), "BNPAFRPPXXX");
  Line("FZZERO01", Date(3, 1), "", 'C', 25000, "Facture");
  Line("FZZERO01", Date(3, 2), "", 'C', 0, "Rien");
  for (const char* kind : {"S", "V"}) {
    SCOPED_TRACE(kind);
    Messages().clear();
    DunningRun& run = NewRun(PaymentOptions(), kind);
    bool prepared = false;
    const std::vector<ListedAccount> listed = Play(run, &prepared);
    ASSERT_TRUE(prepared) << AllMessages();
    EXPECT_EQ(run.TransferredCents(), 1234691341 + 25000) << AllMessages();
    EXPECT_NE(run.EndMessage().find("FZNEGA01"), std::string::npos) << run.EndMessage();
    if (std::string(kind) == "S") {
      const std::string file = run.TransferFile();
      ASSERT_FALSE(file.empty()) << AllMessages();
      int status = -1;
      const std::string valid = Run({"xmllint", "--noout", "--schema", Schema(), file}, &status);
      EXPECT_EQ(status, 0) << valid;
      EXPECT_EQ(XPath(file, "count(//*[local-name()='InstdAmt'][number(.) <= 0])"), "0");
      EXPECT_EQ(XPath(file, "count(//*[local-name()='CdtTrfTxInf'])"), "3");
      const std::string text = ReadAll(file);
      for (const char* code : {"FZNEGA01", "FZNUL001"}) EXPECT_EQ(text.find(code), std::string::npos) << code;
    } else {
      ASSERT_EQ(listed.size(), 3u);
      for (const ListedAccount& a : listed) {
        const std::string r06 = a.values.at("VRTS_06_01") + a.values.at("VRTS_06_02");
        EXPECT_GT(std::stoll(r06.substr(102, 16)), 0) << a.code;
      }
    }
  }
}

TEST(DunningVariables, TheLayoutFamilysFixtureDeclaresTheRunsVariables) {
  // The fixture the reference layouts are rendered with declares the 68 variables of the run,
  // in its order, so that a layout checked there reads what the window gives it.
  std::ifstream in(std::string(MERLON_SOURCE_DIR) + "/tools/report_render/families/dunning.txt");
  std::vector<std::string> declared;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("VAR ", 0) == 0) declared.push_back(line.substr(4));
  }
  std::vector<std::string> ours;
  for (int n = 0; n < DunningRun::kFieldCount; ++n) ours.push_back(DunningRun::Definition(n));
  EXPECT_EQ(declared, ours);
}

TEST(DunningVariables, TheReportEditorsHelpOfTheFamily) {
  const std::vector<std::string> help = settings::ReportVariableHelp("EL-");
  ASSERT_GT(help.size(), 60u);
  EXPECT_EQ(help.front(), "[TypeListe=E]\tEch\xE9" "ancier");
  EXPECT_EQ(help.back(), "S = Sans Relev\xE9 de Compte");
  // Every variable of the options, the accounts, the lines and the totals is explained (the currency
  // and the blank-named running total apart).
  std::string all;
  for (const std::string& line : help) all += line + "\n";
  for (int n = 1; n < 56; ++n) {
    const std::string name = FieldNameOf(DunningRun::Definition(n));
    if (!name.empty()) {
      EXPECT_NE(all.find("[@" + name), std::string::npos) << name;
    }
  }
}

TEST(TransferRecords, TheLayoutsByPosition) {
  std::string zone(254, ' ');
  zone.replace(120, 6, "123456");
  zone.replace(156, 24, "MENUISERIE DU VAL");
  zone.replace(186, 5, "30004");
  zone.replace(191, 5, "00825");
  zone.replace(196, 11, "00000006497");
  struct Case {
    std::string record;
    std::size_t position;  // 1-based
    const char* text;
  };
  const std::string r03 = transfer_records::Header03(zone, "05/12/26", true);
  transfer_records::Detail d{"123456", "FZ1", "NOM", "DOM", "00825", "00000006497", 123450, ">Facture", "30004"};
  const std::string r06 = transfer_records::Detail06(d);
  const std::string r08 = transfer_records::Total08("123456", 123450);
  const Case cases[] = {
      {r03, 1, "0302"},      {r03, 13, "123456"}, {r03, 26, "05126"},  {r03, 31, "MENUISERIE DU VAL"},
      {r03, 81, "E"},        {r03, 87, "00825"},  {r03, 92, "00000006497"}, {r03, 150, "30004"},
      {r06, 1, "0602"},      {r06, 13, "123456"}, {r06, 19, "FZ1     "},    {r06, 31, "NOM"},
      {r06, 55, "DOM"},      {r06, 87, "00825"},  {r06, 103, "0000000000123450"}, {r06, 119, ">Facture"},
      {r06, 150, "30004"},   {r08, 1, "0802"},    {r08, 13, "123456"},   {r08, 103, "0000000000123450"},
  };
  for (const std::string* r : {&r03, &r06, &r08}) EXPECT_EQ(r->size(), 160u);
  for (const Case& c : cases) EXPECT_EQ(c.record.substr(c.position - 1, std::string(c.text).size()), c.text) << c.position;
  EXPECT_EQ(transfer_records::Amount16(transfer_records::kMaxCents + 1), "");
  transfer_records::Detail negative = d;
  negative.cents = -1;
  EXPECT_EQ(transfer_records::Detail06(negative), "");
}

// A line the disk refuses to read is no line: every transfer file written pays the sums whole, and
// a run that met the refusal (whichever read of the draft file it was, and every later one) writes
// none and names the file.
TEST_F(SepaTest, NoTransferFileIsWrittenOverALineTheDiskRefusedToRead) {
  Suppliers();
  long refused = 0, written = 0;
  for (int nth = 1; nth <= 200; ++nth) {
    SCOPED_TRACE("c50rl.dbf refused from read " + std::to_string(nth));
    Messages().clear();
    test_support::RefusedRead::Arm("/c50rl.dbf", nth, true);
    DunningRun& run = NewRun(PaymentOptions(), "S");
    Play(run);
    const int seen = test_support::RefusedRead::Seen();
    test_support::RefusedRead::Disarm();
    if (run.TransferFile().empty()) {
      ++refused;
      EXPECT_NE(AllMessages().find("c50rl"), std::string::npos) << AllMessages();
      EXPECT_FALSE(fs::exists(DunningRun::TransferFileName()));
    } else {
      ++written;
      EXPECT_EQ(run.TransferredCents(), 1234691341) << AllMessages();
      fs::remove(run.TransferFile());
    }
    EXPECT_TRUE(NoTemporaryFile());
    ASSERT_FALSE(HasFailure());
    if (seen < nth) break;
  }
  EXPECT_GE(refused, 1);
  EXPECT_GE(written, 1);
}

}  // namespace
}  // namespace dunning_test
