// The limits forms' checks and records as tables of cases on a generated dossier of a July-June
// year: the month list with its "Tout YY" lines in every year shape, the dates of the year and
// the month-start rule, the statement's account, the general ledgers' prefix ranges, and the
// records the forms hand over.
#include "ledger_fixture.h"
#include "reports/ledgers/core/limits_checks.h"

namespace ledgers_test {
namespace {

using namespace ledgers;
using DF = DossierRecord::DateField;

class LimitsTest : public LedgerCoreTest {
 protected:
  void SetUp() override {
    LedgerCoreTest::SetUp();
    DemoOptions o;
    o.code = "LIM";
    o.lines = 300;
    o.firstDay = {2025, 7, 1};
    o.lastDay = {2026, 6, 30};
    o.currency = DossierCurrency::EuroMain;
    o.analyticMode = '1';
    OpenDemo(o);
  }
};

std::string Joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& l : lines) out += (out.empty() ? "" : ",") + l;
  return out;
}

TEST_F(LimitsTest, TheMonthListHasATotalLinePerCalendarYearOfSeveralMonths) {
  const struct {
    const char* first;
    const char* last;
    const char* lines;
  } cases[] = {
      {"20250701", "20260630",
       "07/25,08/25,09/25,10/25,11/25,12/25,Tout 25,01/26,02/26,03/26,04/26,05/26,06/26,Tous les mois"},
      {"20241001", "20250930", "10/24,11/24,12/24,Tout 24,01/25,02/25,03/25,04/25,05/25,06/25,07/25,08/25,09/25,Tous les mois"},
      {"20240101", "20241231", "01/24,02/24,03/24,04/24,05/24,06/24,07/24,08/24,09/24,10/24,11/24,12/24,Tout 24,Tous les mois"},
      {"20241201", "20251130", "12/24,01/25,02/25,03/25,04/25,05/25,06/25,07/25,08/25,09/25,10/25,11/25,Tous les mois"},
  };
  for (const auto& c : cases) {
    DossierRecord d = TheDossierRecord;
    ASSERT_TRUE(d.SetDateYyyymmdd(DF::YearStart, c.first));
    ASSERT_TRUE(d.SetDateYyyymmdd(DF::YearEnd, c.last));
    EXPECT_EQ(Joined(JournalMonthLines(d)), c.lines) << c.first;
  }
  // The record's month of a line, and the journal of a journal line.
  const struct {
    const char* line;
    const char* selector;
  } selectors[] = {{"03/26", "C603"}, {"Tout 25", "C5  "}, {"Tous les mois", "    "}, {"12/99", "9912"}};
  for (const auto& s : selectors) EXPECT_EQ(MonthSelectorOf(s.line), std::string(s.selector).substr(0, 4)) << s.line;
  EXPECT_EQ(JournalOf("VE\tJournal des Ventes"), "VE ");
  EXPECT_EQ(JournalOf("Tous les journaux"), "   ");
  const std::vector<std::string> journals = JournalLines(*TableC10);
  ASSERT_FALSE(journals.empty());
  EXPECT_EQ(journals.back(), "Tous les journaux");
}

TEST_F(LimitsTest, DatesOfTheYearAndTheMonthStartRule) {
  const struct {
    const char* typed;
    bool monthly;
    bool ok;
    bool monthStartRule;
    bool uncheckPrior;
  } from[] = {
      {"15/03/26", false, true, false, false}, {"15/03/26", true, false, true, false},
      {"01/03/26", true, true, false, false},  {"01/07/25", true, true, false, true},
      {"30/06/25", false, false, false, false}, {"01/07/26", false, false, false, false},
      {"31/02/26", false, false, false, false}, {"", false, false, false, false},
  };
  for (const auto& c : from) {
    const DateCheck d = CheckDateFrom(c.typed, c.monthly, TheDossierRecord);
    EXPECT_EQ(d.ok, c.ok) << c.typed << " " << c.monthly;
    EXPECT_EQ(d.monthStartRule, c.monthStartRule) << c.typed << " " << c.monthly;
    EXPECT_EQ(d.uncheckPrior, c.uncheckPrior) << c.typed << " " << c.monthly;
  }
  // A blank "Date début" gets the year's first day.
  EXPECT_EQ(CheckDateFrom("", false, TheDossierRecord).shown, "01/07/25");
  const struct {
    const char* typed;
    const char* from;
    bool ok;
  } to[] = {{"30/06/26", "01/07/25", true}, {"10/03/26", "15/03/26", false}, {"15/03/26", "15/03/26", true},
            {"01/07/26", "01/07/25", false}, {"", "01/07/25", false}};
  for (const auto& c : to) EXPECT_EQ(CheckDateTo(c.typed, c.from, TheDossierRecord).ok, c.ok) << c.typed;
  EXPECT_EQ(CheckDateTo("", "", TheDossierRecord).shown, "30/06/26");
}

TEST_F(LimitsTest, AccountsAndPrefixRanges) {
  // The statement's account: completed, found, unknown, the help character.
  const struct {
    const char* typed;
    bool analytic;
    bool ok;
    const char* shown;
    const char* staticText;
  } statement[] = {
      {"411", false, true, "41100000", ""},  {"607", false, true, "60700000", ""},
      {"999", false, false, "99900000", "???"}, {"QQQ", false, false, "QQQ", "???"},
      {"", false, false, "", "???"},
  };
  for (const auto& c : statement) {
    const CodeCheck r = CheckStatementAccount(c.typed, c.analytic, '?', *TableC20, *TableC30);
    EXPECT_EQ(r.ok, c.ok) << c.typed;
    EXPECT_EQ(r.shown, c.shown) << c.typed;
    EXPECT_EQ(r.staticText, c.staticText) << c.typed;
  }
  const CodeCheck help = CheckStatementAccount("41?", false, '?', *TableC20, *TableC30);
  EXPECT_TRUE(help.openLookup);
  EXPECT_EQ(help.shown, "41");

  // The general ledgers' bounds: a code that fits the kind, an account, a prefix, the upper bound
  // not below the lower one.
  const struct {
    char kind;
    const char* typed;
    bool upper;
    const char* from;
    bool ok;
    const char* staticText;
  } ledger[] = {
      {'G', "41", false, "", true, "A partir de '41'"},
      {'G', "41", true, "40000000", true, "Jusqu'\xE0 '41'"},
      {'G', "40", true, "41000000", false, "Erreur"},
      {'G', "607", false, "", true, ""},
      {'G', "C", false, "", false, "???"},
      {'C', "F", false, "", false, "???"},
      {'R', "", false, "", true, ""},
      {'T', "411", false, "", true, ""},
  };
  for (const auto& c : ledger) {
    const CodeCheck r = CheckLedgerAccount(c.kind, "", c.typed, c.upper, c.from, '?', *TableC20, *TableC30);
    EXPECT_EQ(r.ok, c.ok) << c.kind << " " << c.typed;
    EXPECT_EQ(r.staticText, c.staticText) << c.kind << " " << c.typed;
  }
}

TEST_F(LimitsTest, TheRecordsTheFormsHandOver) {
  GeneralLedgerForm g;
  g.kind = 'G';
  g.accountFrom = "41";
  g.dateFrom = "01/09/25";
  g.dateTo = "31/03/26";
  g.priorCumulation = true;
  g.letteringFilter = '3';
  g.inEuros = true;
  const std::string record = BuildGeneralLedgerLimits(g, TheDossierRecord);
  ASSERT_EQ(record.size(), static_cast<std::size_t>(GeneralLedgerOptions::kLength));
  // "Avec Sous-Total par Mois" is never offered: position 56 is "N".
  EXPECT_EQ(record[55], 'N');
  const GeneralLedgerOptions back = GeneralLedgerOptions::FromRecord(record);
  EXPECT_EQ(back.kind, 'G');
  EXPECT_EQ(back.dateFrom, "C50901");
  EXPECT_EQ(back.dateTo, "C60331");
  EXPECT_TRUE(back.priorCumulation);
  EXPECT_EQ(back.letteringFilter, '3');
  EXPECT_TRUE(back.inEuros);
  EXPECT_FALSE(back.monthlySubtotals);

  StatementForm s;
  s.account = "411";
  s.dateFrom = "01/03/26";
  s.dateTo = "31/03/26";
  s.monthlySubtotals = true;
  s.letteringFilter = '4';
  s.analytic = true;
  const std::string sr = BuildStatementLimits(s, TheDossierRecord);
  ASSERT_EQ(sr.size(), static_cast<std::size_t>(AccountStatementOptions::kLength));
  EXPECT_EQ(sr.substr(8, 12), "C60301C60331");
  EXPECT_EQ(sr[20], 'O');
  EXPECT_EQ(sr[22], '4');
  EXPECT_EQ(sr[23], 'O');  // an analytic dossier

  const struct {
    bool summary, analytic;
    const char* prefix;
    int level;
    const char* month;
    const char* journal;
  } journals[] = {{false, false, "EJ-", 1, "03/26", "VE\tJournal des Ventes"},
                  {true, false, "EJR-", 0, "Tout 25", "VE\tJournal des Ventes"},
                  {false, true, "EJA-", 0, "03/26", "Tous les journaux"},
                  {true, true, "EJRA-", 0, "Tous les mois", "Tous les journaux"}};
  for (const auto& c : journals) {
    JournalForm f;
    f.monthLine = c.month;
    f.journalLine = c.journal;
    f.summary = c.summary;
    f.analytic = c.analytic;
    const JournalListingOptions o = JournalListingOptions::FromRecord(BuildJournalListingLimits(f, TheDossierRecord));
    EXPECT_EQ(o.ReportPrefix(), c.prefix);
    EXPECT_EQ(o.ChoiceOptionsLevel(), c.level) << c.prefix;
  }
}

}  // namespace
}  // namespace ledgers_test
