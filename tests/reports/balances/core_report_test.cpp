// The trial-balance run as the report engine drives it, without its window: the lists a kind of
// balance asks for and the export name of each, the layouts a kind refuses, an empty list and a
// table that does not open said through the hooks, the break letters of the walk, and the
// statutory entries file written only once the dossier has its SIREN and the user's word.
#include <gtest/gtest.h>

#include <filesystem>

#include "balance_fixture.h"
#include "break_letters.h"
#include "reports/balances/core/trial_balance_report.h"
#include "reports/balances/core/trial_balance_variables.h"
#include "runtime/dossier_record.h"
#include "runtime/report_fields.h"

using namespace balances;

namespace {

using DF = DossierRecord::DateField;

// A run whose question about the statutory entries file is answered by the test.
class AnsweredReport : public TrialBalanceReport {
 public:
  bool goOn = false;
  bool AskGoOn(const std::string& text) override {
    TrialBalanceReport::AskGoOn(text);
    return goOn;
  }
};

class TrialBalanceReportTest : public test_support::BalanceDossierTest {
 protected:
  void SetUp() override {
    BalanceDossierTest::SetUp();
    FillStandardDossier();
    saved_ = TheDossierRecord;
    TheDossierRecord.SetDateStored(DF::YearStart, "C60101");
    TheDossierRecord.SetDateStored(DF::YearEnd, "C61231");
  }
  void TearDown() override {
    TheDossierRecord = saved_;
    BalanceDossierTest::TearDown();
  }
  TrialBalancePaths Paths() const {
    TrialBalancePaths p;
    p.c10 = Path("c10");
    p.c20 = Path("c20");
    p.c30 = Path("c30");
    p.c40 = Path("c40");
    p.c50 = Path("c50");
    p.c60 = Path("c60");
    return p;
  }
  static std::string Options(char kind, char level = 'S', const std::string& from = "", const std::string& to = "") {
    return MakeOptions(kind, "C60101", "C61231", false, level, '1', true, from, to).text;
  }
  DossierRecord saved_;
};

TEST_F(TrialBalanceReportTest, EachKindGivesItsListsAndEachListItsExportName) {
  struct Case {
    char kind;
    const char* lists;
    const char* suffixes;  // the export name of each list, "|" after each
  } cases[] = {
      {'G', "1", "|"},
      {'R', "2", "|"},
      {'C', "C", "|"},
      {'T', "12CF", "-generale|-resultat|-collectif-c|-collectif-f|"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    TrialBalanceReport r;
    r.Begin(Options(c.kind), Paths());
    EXPECT_EQ(r.Lists(), c.lists);
    EXPECT_EQ(r.SeveralLists(), std::string(c.lists).size() > 1);
    EXPECT_EQ(r.Prefix(), "EBS-");
    std::string suffixes;
    while (!r.Lists().empty()) {
      suffixes += r.ExportNameSuffix() + "|";
      r.DropList();
    }
    EXPECT_EQ(suffixes, c.suffixes);
    EXPECT_EQ(r.ListKind(), ' ');
    EXPECT_FALSE(r.PrepareReport());
  }
}

TEST_F(TrialBalanceReportTest, RefusalsAnEmptyListAndAnUnreadableTableAreSaid) {
  struct Case {
    char kind;
    const char* listType;
    const char* from;
    const char* to;
    bool missingChart;
    const char* empty;  // a part of the empty-report text, "" when none
    const char* error;  // a part of the error, "" when none
  } cases[] = {
      {'C', "XF", "", "", false, "(TypeListe=X) seulement la BALANCE GENERALE", ""},
      {'F', "XC", "", "", false, "(TypeListe=X) seulement la BALANCE GENERALE", ""},
      {'C', "R3", "", "", false, "(TypeListe=R) seulement la BALANCE GENERALE", ""},
      {'G', "", "09999990", "09999999", false, "Balance: GENERALE", ""},
      {'G', "", "", "", true, "", "c20"},
      {'G', "XF", "", "", false, "", "SIREN"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(1, c.kind) + " " + c.listType);
    TrialBalancePaths paths = Paths();
    if (c.missingChart) paths.c20 = folder_ + "c20absent.dbf";
    TrialBalanceReport r;
    r.Begin(Options(c.kind, 'S', c.from, c.to), paths);
    r.listType = c.listType;
    EXPECT_FALSE(r.PrepareReport());
    if (*c.empty == '\0') EXPECT_EQ(r.LastEmptyText(), "");
    else EXPECT_NE(r.LastEmptyText().find(c.empty), std::string::npos) << r.LastEmptyText();
    if (*c.error == '\0') EXPECT_EQ(r.LastErrorText(), "");
    else EXPECT_NE(r.LastErrorText().find(c.error), std::string::npos) << r.LastErrorText();
    EXPECT_EQ(r.FecPath(), "");
  }
}

// The letter of each line as the layouts read it: the group of the first of the code's first
// three characters that changed, "B" without a break; the end of the list in Q-X ("X" alone
// without a break). The general list's debits and credits balance.
TEST_F(TrialBalanceReportTest, TheWalkGivesEachLineTheLetterOfItsBreak) {
  for (char level : {'S', '1', '3'}) {
    SCOPED_TRACE(level);
    TrialBalanceReport r;
    r.Begin(Options('G', level), Paths());
    ASSERT_TRUE(r.PrepareReport()) << r.LastErrorText() << r.LastEmptyText();
    EXPECT_EQ(r.lineType[0], 'A');
    EXPECT_EQ(r.ListTitleText(), "GENERALE");
    const std::string groups = test_support::WalkBreakLetters(r, level);
    EXPECT_EQ(groups.size() + 1, r.LineCount());
    std::int64_t debit = 0, credit = 0;
    EXPECT_TRUE(r.fields.GetFieldUnits(tbv::kTgDebit, debit));
    EXPECT_TRUE(r.fields.GetFieldUnits(tbv::kTgCredit, credit));
    EXPECT_GT(debit, 0);
    EXPECT_EQ(debit, credit);
  }
}

// The statutory entries file: the check of the standard dossier's year has remarks, so the file
// is written, under its legal name, only once the user says to go on; its rows are then walked.
TEST_F(TrialBalanceReportTest, TheStatutoryFileIsWrittenOnlyAfterTheUsersWord) {
  TheDossierRecord.Set(DossierRecord::kSirenPos, DossierRecord::kSirenWidth, "732829320");
  const std::string path = folder_ + FecExport::FileName("732829320", "C61231");
  for (bool goOn : {false, true}) {
    SCOPED_TRACE(goOn);
    AnsweredReport r;
    r.goOn = goOn;
    r.Begin(Options('G'), Paths());
    r.listType = "XF";
    EXPECT_EQ(r.PrepareReport(), goOn);
    EXPECT_NE(r.LastQuestionText().find("Etablir le fichier malgr\xE9 tout ?"), std::string::npos)
        << r.LastQuestionText();
    EXPECT_EQ(r.LastErrorText(), "");
    EXPECT_EQ(std::filesystem::exists(path), goOn) << path;
    if (!goOn) {
      EXPECT_EQ(r.FecPath(), "");
      continue;
    }
    EXPECT_EQ(r.FecPath(), path);
    EXPECT_TRUE(r.WritesItsOwnExport());
    EXPECT_NE(r.LastInformationText().find("(" + std::to_string(r.LineCount()) + " lignes)"), std::string::npos)
        << r.LastInformationText();
    long rows = 0;
    r.InitReport();
    do {
      r.ComputeLine();
      ++rows;
    } while (r.NextRecord());
    EXPECT_EQ(rows, static_cast<long>(r.LineCount()));
    EXPECT_EQ(r.lineType, "Z");
  }
}

}  // namespace
