// The manual matching of one account without a window: the rows of the filters, the letter
// offered, the marks and their totals, when saving may run (the groups left balanced), the
// letters saved into C60 and the source lines, the account held against another station, and
// the balancing piece with its refusals.
#include <signal.h>

#include "core_fixture.h"
#include "data/dossier_invariants.h"
#include "data/line_change_note.h"
#include "platform/system/files.h"
#include "posting/line_changes.h"
#include "posting/line_save.h"
#include "runtime/dates.h"
#include "data/stopped_line_changes.h"
#include "posting/journal_month.h"
#include "processing/core/automatic_matching.h"
#include "processing/core/letters_change.h"
#include "processing/core/manual_matching.h"
#include "processing/core/reconciliation.h"
#include "processing/core/word_search.h"
#include "support/other_process.h"
#include "support/refused_read.h"

namespace processing_test {
namespace {

using processing::BalanceOutcome;
using processing::ManualMatching;
using processing::ManualMatchingParameters;
using processing::ManualOpen;
using processing::MarkCommand;

using ManualTest = CoreTest;

// How the opening names draft line `recno` of `c50` it left as it stands: as the lines window shows it.
std::string DraftLineNamed(Table& c50, std::uint32_t recno) {
  if (!c50.GoTo(recno)) return "?";
  const std::string month = c50.GetField(L::BMOIS);
  return "la ligne " + Trimmed(c50.GetField(L::BNUM)) + " de la pi\xE8" "ce " + Trimmed(c50.GetField(L::BPIECE)) +
         " du journal " + Trimmed(c50.GetField(L::BJAL)) + " de " + month.substr(2, 2) + "/" +
         DecodeYear(month.substr(0, 2).c_str()) + " (compte " + Trimmed(c50.GetField(L::BCODE)) + ") du brouillard";
}

ManualMatchingParameters Params(const std::string& account, char filter = '1', bool euros = true) {
  ManualMatchingParameters p;
  p.account = account;
  p.firstDate = "C60101";
  p.lastDate = "C61231";
  p.filter = filter;
  p.euros = euros;
  return p;
}

TEST_F(ManualTest, TheParametersTextHoldsItsFields) {
  const ManualMatchingParameters p = ManualMatchingParameters::Parse("C0001   C60101C612312O");
  EXPECT_EQ(p.account, "C0001   ");
  EXPECT_EQ(p.firstDate, "C60101");
  EXPECT_EQ(p.lastDate, "C61231");
  EXPECT_EQ(p.filter, '2');
  EXPECT_TRUE(p.euros);
  EXPECT_EQ(p.Text(), "C0001   C60101C612312O");
}

TEST_F(ManualTest, TheFiltersTheLetterOfferedAndAStaleMarkBlanked) {
  AddLines("CMAN    ", {{'D', 100, 1, "B"}, {'C', 100, 2, "B"}, {'D', 50, 3, "", "", "+"}, {'C', 20, 4}});
  struct Case {
    char filter;
    std::size_t rows;
  } cases[] = {{'1', 4}, {'2', 2}, {'3', 2}, {'9', 0}};
  for (const Case& c : cases) {
    ManualMatching list(Params("CMAN    ", c.filter));
    EXPECT_EQ(list.Open(), c.rows ? ManualOpen::Opened : ManualOpen::NoLine) << c.filter;
    EXPECT_EQ(list.Rows().size(), c.rows) << c.filter;
    if (c.rows) {
      EXPECT_EQ(list.CurrentLetter(), "E01") << "the successor of constant 029 (E00), above B";
    }
  }
  ManualMatching list(Params("CMAN    "));
  ASSERT_EQ(list.Open(), ManualOpen::Opened);
  EXPECT_EQ(list.ReadLine(list.Rows()[2]).mark, "    ") << "opening blanks the marks";
  ManualMatching none(Params("CNOLINE "));
  EXPECT_EQ(none.Open(), ManualOpen::NoAccount);
}

// The account or its lines not read while the manual matching list or the reconciliation opens (each read of
// the chart and of the sort file in turn refused, EIO once): never an account missing or one without lines
// (the look-ups say not read), and the letter offered is never one given already.
TEST_F(ManualTest, AnAccountOrItsLinesNotReadOpenNoListAndAreNeverMissing) {
  AddLines("CREAD   ", {{'D', 100, 1, "E05"}, {'C', 100, 2, "E05"}, {'D', 30, 3}, {'C', 20, 4}});
  for (const char* file : {"/c20lt.dbf", "/c60lt.dbf"}) {
    int unread = 0;
    for (int nth = 1;; ++nth) {
      SCOPED_TRACE(std::string("read ") + std::to_string(nth) + " of " + file + " refused");
      test_support::RefusedRead::Arm(file, nth);
      ManualOpen manual;
      std::string letter;
      {
        ManualMatching list(Params("CREAD   "));
        manual = list.Open();
        letter = list.CurrentLetter();
      }
      processing::ReconciliationOpen reconciliation;
      bool loaded = false;
      {
        processing::Reconciliation r("CREAD   ", true);
        reconciliation = r.Open();
        if (reconciliation == processing::ReconciliationOpen::Opened) loaded = r.Load("C61231");
      }
      const int seen = test_support::RefusedRead::Seen();
      test_support::RefusedRead::Disarm();
      EXPECT_NE(manual, ManualOpen::NoAccount);
      EXPECT_NE(manual, ManualOpen::NoLine);
      EXPECT_NE(reconciliation, processing::ReconciliationOpen::NoAccount);
      if (manual == ManualOpen::Opened) EXPECT_EQ(letter, "E06") << "the letter after E05, given already";
      unread += manual == ManualOpen::Unread;
      unread += reconciliation == processing::ReconciliationOpen::Unread || !loaded;
      ASSERT_FALSE(HasFailure());
      if (seen < nth) break;
    }
    EXPECT_GE(unread, 1) << file;
  }
}

TEST_F(ManualTest, MarksMoveTheTotalsAndSavingNeedsBalancedGroups) {
  const auto sorts = AddLines("CSAVE   ", {{'D', 100, 1, "F"}, {'C', 100, 2, "F"}, {'D', 100, 3}, {'C', 100, 4}});
  {
    ManualMatching list(Params("CSAVE   "));
    ASSERT_EQ(list.Open(), ManualOpen::Opened);
    // The state table of the three commands.
    EXPECT_FALSE(list.Mark(2, MarkCommand::Delettrer)) << "not lettered, not marked";
    EXPECT_FALSE(list.Mark(0, MarkCommand::Lettrer)) << "lettered, not marked";
    EXPECT_TRUE(list.Mark(2, MarkCommand::Lettrer));
    EXPECT_FALSE(list.Mark(2, MarkCommand::Lettrer)) << "not lettered, marked";
    EXPECT_EQ(list.MarkedDebit(), 10000);
    EXPECT_FALSE(list.CanSave());
    EXPECT_NE(list.StatusLine().find("4 lignes - Solde"), std::string::npos);
    EXPECT_NE(list.StatusLine().find("100.00 Db"), std::string::npos) << list.StatusLine();
    // Unlettering the debit of group F and lettering the other debit of the same amount nets to
    // zero, yet would leave two groups unbalanced.
    EXPECT_TRUE(list.Mark(0, MarkCommand::Delettrer));
    EXPECT_EQ(list.MarkedDebit(), 0);
    EXPECT_EQ(list.MarkedCredit(), 0);
    EXPECT_FALSE(list.CanSave()) << "group F would keep its credit alone";
    EXPECT_TRUE(list.Mark(1, MarkCommand::LettrerOuDelettrer));
    EXPECT_FALSE(list.CanSave()) << "the new group holds a debit alone";
    EXPECT_TRUE(list.Mark(3, MarkCommand::Lettrer));
    EXPECT_TRUE(list.CanSave());
    list.SaveLetters();
  }
  EXPECT_EQ(Letters(sorts), (std::vector<std::string>{"", "", "E01", "E01"})) << "C60 and C50 both";
}

// The letters saved go into the fields of the list's currency, on every sort record as on its line;
// the other currency's letters stay as they were.
TEST_F(ManualTest, LettersSavedGoIntoTheFieldsOfTheListsCurrency) {
  struct Case {
    const char* account;
    bool euros;
  } cases[] = {{"CFRANCS ", false}, {"CEUROS  ", true}};
  for (const Case& c : cases) {
    const char* other = "Q";
    const auto sorts = AddLines(c.account, {{'D', 100, 1, c.euros ? "" : other, c.euros ? other : ""},
                                            {'C', 100, 2, c.euros ? "" : other, c.euros ? other : ""},
                                            {'D', 50, 3, c.euros ? "" : other, c.euros ? other : ""},
                                            {'C', 50, 4, c.euros ? "" : other, c.euros ? other : ""}});
    std::string letter;
    {
      ManualMatching list(Params(c.account, '1', c.euros));
      ASSERT_EQ(list.Open(), ManualOpen::Opened) << c.account;
      for (std::size_t row = 0; row < 4; ++row) ASSERT_TRUE(list.Mark(row, MarkCommand::Lettrer)) << c.account;
      ASSERT_TRUE(list.CanSave()) << c.account;
      letter = list.CurrentLetter();
      ASSERT_TRUE(list.SaveLetters()) << c.account;
    }
    const int currency = c.euros ? 1 : 0;
    EXPECT_EQ(Letters(sorts, currency), std::vector<std::string>(4, letter)) << c.account << ": C60 and its line agree";
    EXPECT_EQ(Letters(sorts, 1 - currency), std::vector<std::string>(4, other)) << c.account << ": the other currency";
  }
}

// Lines losing their letter whose own amounts balance may still break their groups: what stays of
// each group must balance on its own.
TEST_F(ManualTest, UnletteringPartOfAGroupMustLeaveTheRestBalanced) {
  const auto sorts = AddLines("CPART   ", {{'D', 100, 1, "G"}, {'C', 100, 2, "G"}, {'D', 50, 3, "G"}, {'C', 50, 4, "G"},
                                           {'D', 50, 5, "H"}, {'C', 50, 6, "H"}});
  struct Case {
    const char* what;
    std::vector<std::size_t> rows;  // the rows marked "-"
    bool save;
  } cases[] = {
      {"a debit of G and a credit of H of the same amount", {2, 5}, false},
      {"a credit of G and a debit of H of the same amount", {3, 4}, false},
      {"two lines of G that balance, the rest of G too", {2, 3}, true},
      {"the whole of H", {4, 5}, true},
      {"two balanced lines of G and the whole of H", {2, 3, 4, 5}, true},
      {"every line", {0, 1, 2, 3, 4, 5}, true},
  };
  for (const Case& c : cases) {
    ManualMatching list(Params("CPART   "));
    ASSERT_EQ(list.Open(), ManualOpen::Opened);
    for (std::size_t row : c.rows) ASSERT_TRUE(list.Mark(row, MarkCommand::Delettrer)) << c.what << " " << row;
    EXPECT_EQ(list.MarkedDebit(), list.MarkedCredit()) << c.what;
    EXPECT_EQ(list.CanSave(), c.save) << c.what;
  }
  // Saved, the part taken out loses its letter and the rest of G keeps it.
  {
    ManualMatching list(Params("CPART   "));
    ASSERT_EQ(list.Open(), ManualOpen::Opened);
    ASSERT_TRUE(list.Mark(2, MarkCommand::Delettrer));
    ASSERT_TRUE(list.Mark(3, MarkCommand::Delettrer));
    ASSERT_TRUE(list.CanSave());
    list.SaveLetters();
  }
  EXPECT_EQ(Letters(sorts), (std::vector<std::string>{"G", "G", "", "", "H", "H"}));
  // A second list over what the first saved: the lines unlettered can be lettered again, and G
  // can now lose only its two lines together.
  ManualMatching again(Params("CPART   "));
  ASSERT_EQ(again.Open(), ManualOpen::Opened);
  ASSERT_TRUE(again.Mark(0, MarkCommand::Delettrer));
  EXPECT_FALSE(again.CanSave()) << "G would keep its credit alone";
  ASSERT_TRUE(again.Mark(1, MarkCommand::Delettrer));
  ASSERT_TRUE(again.Mark(2, MarkCommand::Lettrer));
  ASSERT_TRUE(again.Mark(3, MarkCommand::Lettrer));
  ASSERT_TRUE(again.CanSave());
  again.SaveLetters();
  const std::string letter = again.CurrentLetter();
  EXPECT_EQ(Letters(sorts), (std::vector<std::string>{"", "", letter, letter, "H", "H"}));
}

// The list's date range holds its first and last days; the days around them are left out.
TEST_F(ManualTest, TheRangeHoldsItsFirstAndLastDays) {
  AddLines("CDAYS   ", {{'D', 10, 4}, {'D', 20, 5}, {'C', 20, 10}, {'C', 10, 11}});
  struct Case {
    const char* first;
    const char* last;
    std::size_t rows;
  } cases[] = {{"C60305", "C60310", 2}, {"C60304", "C60311", 4}, {"C60306", "C60309", 0},
               {"C60310", "C60310", 1}, {"C60311", "C60305", 0}};
  for (const Case& c : cases) {
    ManualMatchingParameters p = Params("CDAYS   ");
    p.firstDate = c.first;
    p.lastDate = c.last;
    ManualMatching list(p);
    list.Open();
    EXPECT_EQ(list.Rows().size(), c.rows) << c.first << "-" << c.last;
  }
}

TEST_F(ManualTest, AnExemptAccountNeedsOnlySomethingMarkedAndTakesAnyLetter) {
  const auto sorts = AddLines("51200000", {{'D', 100, 1}, {'C', 30, 2}});
  ManualMatching list(Params("51200000"));
  ASSERT_EQ(list.Open(), ManualOpen::Opened);
  EXPECT_TRUE(list.ExemptAccount());
  EXPECT_TRUE(list.ChooseLetter("A"));
  // The bank account holds lines of the demo too: the test's first line is marked.
  std::size_t row = 0;
  while (row < list.Rows().size() && list.Rows()[row] != sorts[0]) ++row;
  EXPECT_TRUE(list.Mark(row, MarkCommand::Lettrer));
  EXPECT_TRUE(list.CanSave());
  list.SaveLetters();
  list.Close();
  EXPECT_EQ(Letters(sorts), (std::vector<std::string>{"A", ""}));
}

TEST_F(ManualTest, TheLetterChosenIsNotBelowTheFirstAllowed) {
  AddLines("CLET    ", {{'D', 100, 1, "AA"}, {'C', 100, 2, "AA"}});
  ManualMatching list(Params("CLET    "));
  ASSERT_EQ(list.Open(), ManualOpen::Opened);
  EXPECT_EQ(list.FirstAllowedLetter(), "E01");
  struct Case {
    const char* typed;
    bool taken;
  } cases[] = {{"Z", false}, {"E00", false}, {"", false}, {"E0-", false}, {"E01", true}, {" F ", false}, {"ZZ9", true}};
  for (const Case& c : cases) EXPECT_EQ(list.ChooseLetter(c.typed), c.taken) << c.typed;
}

TEST_F(ManualTest, AnotherStationCannotOpenTheSameAccount) {
  AddLines("CLOCK   ", {{'D', 100, 1}, {'C', 100, 2}});
  const std::string c20 = PathC20();
  test_support::OtherProcess other([c20](char) {
    static Table t;
    if (!t.isOpen) t.OpenShared(c20, "C20CODE");
    return t.Seek("C20CODE", "CLOCK") && LockRecord(t, nullptr, 0);
  });
  ASSERT_TRUE(other.Do('l'));
  ManualMatching list(Params("CLOCK   "));
  EXPECT_EQ(list.Open(), ManualOpen::AccountLocked);
}

// A lettering of two lines stopped once its note is written, nothing written yet; then another
// station letters the second line with a third. That station's next letter, in the manual matching
// and in the bank reconciliation, comes after the stopped change's, and the next opening takes the
// stopped change back: the other station's group stays whole and its line the change named is named.
// The same when the other station gave the stopped change's letter all the same (an older program,
// a letter typed): a line holding it tells nothing of the stopped change.
TEST_F(ManualTest, ALetterAStoppedLetteringChoseIsGivenOnceAndTheOpeningTellsItsOwn) {
  constexpr int kKilled = 128 + SIGKILL;
  for (const bool same : {false, true}) {
    SCOPED_TRACE(same ? "its letter given all the same" : "the next letter");
    const std::string account = same ? "CSAME2  " : "CSAME1  ";
    const auto sorts = AddLines(account, {{'D', 55.40, 1}, {'C', 55.40, 2}, {'D', 55.40, 3}});
    ASSERT_TRUE(c40.Commit() && c50.Commit() && c60.Commit());
    std::string first;
    {
      ManualMatching list(Params(account));
      ASSERT_EQ(list.Open(), ManualOpen::Opened);
      first = list.CurrentLetter();
    }
    const auto stopped = [&] {
      ManualMatching list(Params(account));
      Table d40, d50, d60;
      if (list.Open() != ManualOpen::Opened || list.CurrentLetter() != first || !d40.OpenShared(PathC40(), "C40CODE") ||
          !d50.OpenShared(PathC50(), L::kCodeTag) || !d60.OpenShared(PathC60(), processing::kC60CodeTag))
        return false;
      const processing::MatchTables t{d40, d50, d60};
      return processing::WriteLetters(t, 1, {{sorts[0], first}, {sorts[1], first}}, LineChangeKind::LettersSaved, 37753,
                                      false)
          .done;
    };
    // Killed at its first write after its note: the first kill that leaves a note at work.
    CloseLineChangeNote();
    bool noted = false;
    for (long k = 1; k <= 8 && !noted; ++k) {
      ASSERT_EQ(test_support::RunKilledAtWrite(k, stopped), kKilled);
      for (const std::string& name : LineChangeNoteFiles(DossierFolder, DossierCode)) {
        std::string text;
        noted = noted || (platform::ReadWholeFile(DossierFolder + name, text) && ReadLineChangeNote(text).atWork);
      }
    }
    ASSERT_TRUE(noted) << "the stopped change left no note";
    ASSERT_EQ(Letters(sorts), std::vector<std::string>(3, "")) << "the stopped change wrote before its kill";
    std::string other;
    {
      processing::Reconciliation reconciliation(account, true);
      ASSERT_EQ(reconciliation.Open(), processing::ReconciliationOpen::Opened);
      EXPECT_TRUE(processing::LetterAfter(reconciliation.Letter(), first)) << reconciliation.Letter() << " " << first;
    }
    if (same) {
      other = first;
      const processing::LettersOutcome out = processing::WriteLetters(
          Tables(), 1, {{sorts[1], other}, {sorts[2], other}}, LineChangeKind::LettersSaved, 37753, false);
      ASSERT_TRUE(out.done);
      CloseLineChangeNote();
    } else {
      ManualMatching list(Params(account));
      ASSERT_EQ(list.Open(), ManualOpen::Opened);
      other = list.CurrentLetter();
      EXPECT_TRUE(processing::LetterAfter(other, first)) << other << " " << first;
      ASSERT_TRUE(list.Mark(1, MarkCommand::Lettrer) && list.Mark(2, MarkCommand::Lettrer));
      ASSERT_TRUE(list.CanSave());
      ASSERT_TRUE(list.SaveLetters());
    }
    CloseLineChangeNote();
    ASSERT_TRUE(c60.GoTo(sorts[1]));
    const std::string named = DraftLineNamed(c50, static_cast<std::uint32_t>(std::atol(c60.GetField(T::TREC))));
    const StoppedLineChanges finished = FinishStoppedLineChanges();
    EXPECT_TRUE(finished.done) << finished.said;
    EXPECT_EQ(Letters(sorts), (std::vector<std::string>{"", other, other})) << finished.said;
    EXPECT_NE(finished.said.find(named), std::string::npos) << finished.said;
    EXPECT_TRUE(LineChangeNoteFiles(DossierFolder, DossierCode).empty());
    DossierInvariants check;
    EXPECT_TRUE(check.Check()) << check.Report();
  }
}

// A lettering of a pair stopped once its first line holds its letter; then another station cancels the
// second line, or saves it with another amount. The next opening finishes the lettering where the lines
// stand as the change found them, and leaves the other line as that station left it, named: no
// cancelled line given a letter, no pair lettered by the opening that no longer balances.
TEST_F(ManualTest, AStoppedLetteringIsFinishedOnlyOverLinesThatStandAsItFoundThem) {
  constexpr int kKilled = 128 + SIGKILL;
  for (const bool cancelled : {true, false}) {
    SCOPED_TRACE(cancelled ? "the second line cancelled since" : "the second line's amount changed since");
    const std::string account = cancelled ? "CSTOP1  " : "CSTOP2  ";
    const auto sorts = AddLines(account, {{'D', 55.40, 1}, {'C', 55.40, 2}});
    ASSERT_TRUE(c40.Commit() && c50.Commit() && c60.Commit());
    std::string letter;
    {
      ManualMatching list(Params(account));
      ASSERT_EQ(list.Open(), ManualOpen::Opened);
      letter = list.CurrentLetter();
    }
    const auto lineLetter = [&](std::uint32_t sort) {
      return c60.GoTo(sort) ? Trimmed(processing::ReadSource(Tables(), 1).letter) : std::string("?");
    };
    const auto stopped = [&] {
      Table d40, d50, d60;
      if (!d40.OpenShared(PathC40(), "C40CODE") || !d50.OpenShared(PathC50(), L::kCodeTag) ||
          !d60.OpenShared(PathC60(), processing::kC60CodeTag))
        return false;
      const processing::MatchTables t{d40, d50, d60};
      return processing::WriteLetters(t, 1, {{sorts[0], letter}, {sorts[1], letter}}, LineChangeKind::LettersSaved, 37753,
                                      false)
          .done;
    };
    // Killed at its first write after its note (the first kill that leaves a note at work), its first
    // line and sort record then given the letter as the change writes them.
    CloseLineChangeNote();
    bool noted = false;
    for (long k = 1; k <= 8 && !noted; ++k) {
      ASSERT_EQ(test_support::RunKilledAtWrite(k, stopped), kKilled);
      for (const std::string& name : LineChangeNoteFiles(DossierFolder, DossierCode)) {
        std::string text;
        noted = noted || (platform::ReadWholeFile(DossierFolder + name, text) && ReadLineChangeNote(text).atWork);
      }
    }
    ASSERT_TRUE(noted) << "the stopped change left no note";
    ASSERT_TRUE(c60.GoTo(sorts[0]));
    const auto first = static_cast<std::uint32_t>(std::atol(c60.GetField(T::TREC)));
    {
      const test_support::SetUpPermit permit("la premiere ligne lettree avant l arret");
      ASSERT_TRUE(c50.GoTo(first) && c50.PutField(L::BLETE, letter.c_str()) && c50.Commit());
      ASSERT_TRUE(c60.GoTo(sorts[0]) && c60.PutField(T::TLETE, letter.c_str()) && c60.Commit());
    }
    ASSERT_TRUE(c60.GoTo(sorts[1]));
    const auto second = static_cast<std::uint32_t>(std::atol(c60.GetField(T::TREC)));
    if (cancelled) {
      ASSERT_EQ(posting::CancelLine(c50, c60, second, ""), posting::LineChange::Done);
    } else {
      ASSERT_TRUE(c50.GoTo(second));
      const posting::LineRecord line = posting::ReadLineRecord(c50);
      posting::SaveRequest save;
      save.key = line.key;
      save.previousAccount = line.account;
      save.values.day = line.day;
      save.values.account = line.account;
      save.values.label1 = line.label1;
      save.values.euros = true;
      save.values.sense = 'C';
      save.values.amounts.creditE = 60;
      ASSERT_EQ(posting::SaveLineRecord(c50, c60, save).outcome, posting::SaveOutcome::Saved);
    }
    CloseLineChangeNote();
    const StoppedLineChanges finished = FinishStoppedLineChanges();
    EXPECT_TRUE(finished.done) << finished.said;
    EXPECT_EQ(lineLetter(sorts[0]), letter) << "the lettering reached its first line: finished";
    EXPECT_EQ(lineLetter(sorts[1]), "") << finished.said;
    EXPECT_EQ(Letters({sorts[1]}), std::vector<std::string>{""}) << "the sort record follows its line";
    EXPECT_NE(finished.said.find(DraftLineNamed(c50, second)), std::string::npos)
        << finished.said;
    DossierInvariants check;
    EXPECT_TRUE(check.Check()) << check.Report();
  }
}

struct BalanceFixture : CoreTest {
  void SetUp() override {
    CoreTest::SetUp();
    TheDossierRecord.SetConstant(52, "1\x80");
    sorts = AddLines("CBAL    ", {{'D', 100, 5}, {'C', 99.60, 6}});
  }
  std::vector<std::uint32_t> sorts;
};
using BalanceTest = BalanceFixture;

TEST_F(BalanceTest, TheDifferenceIsWrittenOffAndTheGroupLettered) {
  const std::string pieceBefore = TheDossierRecord.NextPiece();
  const long linesBefore = static_cast<long>(c50.RecCount());
  {
    ManualMatching list(Params("CBAL    "));
    ASSERT_EQ(list.Open(), ManualOpen::Opened);
    ASSERT_TRUE(list.Mark(0, MarkCommand::Lettrer));
    ASSERT_TRUE(list.Mark(1, MarkCommand::Lettrer));
    EXPECT_FALSE(list.CanSave());
    EXPECT_TRUE(list.CanBalance(1));
    EXPECT_FALSE(list.CanBalance(5)) << "no such row";
    EXPECT_EQ(list.Balance(1), BalanceOutcome::Written);
  }
  ASSERT_EQ(static_cast<long>(c50.RecCount()), linesBefore + 2);
  EXPECT_EQ(std::atol(TheDossierRecord.NextPiece().c_str()), std::atol(pieceBefore.c_str()) + 1);
  struct Want {
    const char* account;
    const char* sense;
    double euros;
    const char* letter;
  } want[] = {{"CBAL", "C", 0.40, "E01"}, {"67180000", "D", 0.40, ""}};
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(c50.GoTo(linesBefore + 1 + i));
    EXPECT_EQ(Trimmed(c50.GetField(L::BCODE)), want[i].account);
    EXPECT_EQ(std::string(c50.GetField(L::BSENS)), want[i].sense);
    EXPECT_DOUBLE_EQ(c50.GetFieldNum(L::BMONTANTE), want[i].euros);
    EXPECT_EQ(Trimmed(c50.GetField(L::BLETE)), want[i].letter);
    EXPECT_EQ(std::string(c50.GetField(L::BJAL)).substr(0, 2), "OD");
    EXPECT_EQ(std::string(c50.GetField(L::BJOUR)), "06") << "dated like the selected line";
    ASSERT_TRUE(T::Find(c60, T::kDraft, linesBefore + 1 + i));
    EXPECT_EQ(Trimmed(c60.GetField(T::TLETP)), i == 0 ? "+" : "") << "no mark on the counterpart";
  }
  EXPECT_EQ(Letters(sorts), (std::vector<std::string>{"E01", "E01"}));
  DossierInvariants check;
  EXPECT_TRUE(check.Check()) << check.Report();
}

TEST_F(BalanceTest, AJournalWithItsOwnCounterGivesThePieceNumber) {
  // The journal OD keeps its own counter (characters 19-24 of its field 4): the piece takes it,
  // so that a later piece of the journal does not take the same number.
  ASSERT_TRUE(posting::FindJournal(*TableC10, "OD").IsFound());
  ASSERT_TRUE(TableC10->PutFieldPart(4, 19, 6, "000500"));
  const std::string dossierPiece = TheDossierRecord.NextPiece();
  const long linesBefore = static_cast<long>(c50.RecCount());
  {
    ManualMatching list(Params("CBAL    "));
    ASSERT_EQ(list.Open(), ManualOpen::Opened);
    list.Mark(0, MarkCommand::Lettrer);
    list.Mark(1, MarkCommand::Lettrer);
    ASSERT_EQ(list.Balance(1), BalanceOutcome::Written);
  }
  for (long r : {linesBefore + 1, linesBefore + 2}) {
    ASSERT_TRUE(c50.GoTo(r));
    EXPECT_EQ(std::string(c50.GetField(L::BPIECE)), "000500");
  }
  EXPECT_EQ(posting::ReadJournal(*TableC10, "OD").nextPiece(), 501);
  EXPECT_EQ(TheDossierRecord.NextPiece(), dossierPiece);
}

TEST_F(BalanceTest, TheConditionsOfTheBalancingPiece) {
  struct Case {
    const char* what;
    const char* limit;   // constant 052
    const char* euroOnly;  // constant 039
    bool euros;
    bool balance;
  } cases[] = {
      {"1\x80 and 0.40", "1\x80", "OUI", true, true},
      {"NON", "NON", "OUI", true, false},
      {"a dossier not in euros only", "1\x80", "NON", true, false},
      {"a list in francs", "1\x80", "OUI", false, false},
      {"a number of 0 reads as 1.00", "X", "OUI", true, true},
      {"0.10 is too small", ".1", "OUI", true, false},
  };
  for (const Case& c : cases) {
    TheDossierRecord.SetConstant(52, c.limit);
    TheDossierRecord.SetConstant(39, c.euroOnly);
    ManualMatching list(Params("CBAL    ", '1', c.euros));
    ASSERT_EQ(list.Open(), ManualOpen::Opened);
    ASSERT_TRUE(list.Mark(0, MarkCommand::Lettrer));
    ASSERT_TRUE(list.Mark(1, MarkCommand::Lettrer));
    EXPECT_EQ(list.CanBalance(1), c.balance) << c.what;
  }
}

TEST_F(BalanceTest, AJournalMonthInEntryElsewhereOrAMissingJournalWritesNothing) {
  const long linesBefore = static_cast<long>(c50.RecCount());
  const std::string c10 = PathC10();
  test_support::OtherProcess other([c10](char) {
    static Table t;
    if (!t.isOpen) t.OpenShared(c10, "C10CODE");
    return posting::FindHeader(t, posting::CleJournalMois("C603", "OD"), posting::kDraftSource).IsFound() &&
           LockRecord(t, nullptr, 0);
  });
  ASSERT_TRUE(other.Do('l'));
  const std::string pieceBefore = TheDossierRecord.NextPiece();
  {
    ManualMatching list(Params("CBAL    "));
    ASSERT_EQ(list.Open(), ManualOpen::Opened);
    list.Mark(0, MarkCommand::Lettrer);
    list.Mark(1, MarkCommand::Lettrer);
    EXPECT_EQ(list.Balance(1), BalanceOutcome::HeaderLocked);
    TheDossierRecord.SetConstant(53, "ZZ");
    EXPECT_EQ(list.Balance(1), BalanceOutcome::NoJournal);
  }
  EXPECT_EQ(static_cast<long>(c50.RecCount()), linesBefore);
  EXPECT_EQ(TheDossierRecord.NextPiece(), pieceBefore);
  EXPECT_EQ(Letters(sorts), (std::vector<std::string>{"", ""}));
}

TEST_F(ManualTest, TheWordSearchFindsTheRowsOfTheTextsItReads) {
  AddLines("CWORD   ", {{'D', 1234.56, 1}, {'C', 20, 2, "", "QX"}, {'C', 1214.56, 3}});
  ManualMatching list(Params("CWORD   "));
  ASSERT_EQ(list.Open(), ManualOpen::Opened);
  struct Case {
    const char* word;
    std::size_t from;
    bool goOn;
    processing::WordSearchEnd end;
    std::size_t row;
  } cases[] = {
      {"1 234.56", 0, false, processing::WordSearchEnd::Found, 0},
      {"1234.56", 0, false, processing::WordSearchEnd::NotFound, 0},
      {"QX", 0, false, processing::WordSearchEnd::Found, 1},
      {"Ligne", 0, true, processing::WordSearchEnd::Found, 1},
      {"Ligne", 2, true, processing::WordSearchEnd::NotFound, 0},
  };
  for (const Case& c : cases) {
    const std::string word = c.word;
    auto r = processing::SearchRows(
        list, c.from, c.goOn, [&](const std::string& text) { return text.find(word) != std::string::npos; },
        [] { return false; });
    EXPECT_EQ(r.end, c.end) << c.word;
    if (r.end == processing::WordSearchEnd::Found) {
      EXPECT_EQ(r.row, c.row) << c.word;
    }
  }
  auto r = processing::SearchRows(list, 0, false, [](const std::string&) { return false; }, [] { return true; });
  EXPECT_EQ(r.end, processing::WordSearchEnd::Interrupted);
}

}  // namespace
}  // namespace processing_test
