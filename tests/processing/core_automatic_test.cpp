// The automatic matching run on small accounts of the test's own lines: the edge cases of the run
// as one table (a line per case: the account's lines, the run's parameters, the letters after),
// the stale working marks and the letters that run out, and the removal and copy of letters.
#include "core_fixture.h"
#include "processing/core/automatic_matching.h"
#include "processing/core/manual_matching.h"
#include "support/books_writes.h"
#include "support/line_files.h"

namespace processing_test {
namespace {

using processing::AutomaticParameters;
using processing::RunAutomaticMatching;

// The automatic matching's core, driven as its run drives it (RunMatchingGuarded): the fixture holds
// the run's permit.
class AutomaticTest : public CoreTest {
 protected:
  test_support::SetUpPermit run_{"lettrage-automatique"};
};

struct RunCase {
  const char* what;
  std::vector<TestLine> lines;
  int power;
  const char* formLetter;
  const char* dateLimit;  // StoredDate
  int currency;
  std::vector<std::string> letters;  // the letter of the currency of each line after the run
  long matches;
};

AutomaticParameters Parameters(const RunCase& c, const std::string& account) {
  AutomaticParameters p;
  p.currency = c.currency;
  p.formLetter = c.formLetter;
  p.startAccount = account;
  p.endAccount = account;
  p.power = c.power;
  p.dateLimit = c.dateLimit;
  p.clock = [] { return std::uint64_t{0}; };
  p.deadline = 1;
  return p;
}

TEST_F(AutomaticTest, TheEdgeCasesOfTheRun) {
  const RunCase cases[] = {
      {"a pair lettered A", {{'D', 100}, {'C', 100, 2}}, 2, "", "C61231", 1, {"A", "A"}, 1},
      {"letters A, B, D give E",
       {{'D', 5, 1, "A"}, {'C', 5, 1, "A"}, {'D', 6, 1, "B"}, {'C', 6, 1, "B"}, {'D', 7, 1, "D"}, {'C', 7, 1, "D"},
        {'D', 100, 2}, {'C', 100, 3}},
       2, "", "C61231", 1, {"A", "A", "B", "B", "D", "D", "E", "E"}, 1},
      {"the form letter F00 then F01", {{'D', 100}, {'C', 100, 2}, {'D', 40, 3}, {'C', 40, 4}}, 2, "F00", "C61231", 1,
       {"F00", "F00", "F01", "F01"}, 2},
      {"50/30/80 at power 2", {{'D', 50}, {'D', 30, 2}, {'C', 80, 3}}, 2, "", "C61231", 1, {"", "", ""}, 0},
      {"50/30/80 at power 3", {{'D', 50}, {'D', 30, 2}, {'C', 80, 3}}, 3, "", "C61231", 1, {"A", "A", "A"}, 1},
      {"10/10/10: the first debit", {{'D', 10}, {'D', 10, 2}, {'C', 10, 3}}, 2, "", "C61231", 1, {"A", "", "A"}, 1},
      {"a line after the date limit takes no part but its letter counts",
       {{'D', 100, 1}, {'C', 100, 2}, {'D', 100, 20}, {'C', 100, 21, "C"}, {'C', 100, 22}}, 2, "", "C60310", 1,
       {"D", "D", "", "C", ""}, 1},
      {"a line lettered in francs takes part in euros", {{'D', 100, 1, "", "X"}, {'C', 100, 2}}, 2, "", "C61231", 1,
       {"A", "A"}, 1},
      {"an account with one sign only", {{'D', 100, 1, "", "", "+"}, {'D', 100, 2}}, 2, "", "C61231", 1, {"", ""}, 0},
      {"in francs, from the francs letters", {{'D', 100, 1, "", "B"}, {'C', 100, 1, "", "B"}, {'D', 9}, {'C', 9}}, 2,
       "", "C61231", 0, {"B", "B", "C", "C"}, 1},
      {"amounts are read to the cent", {{'D', 10.004}, {'C', 10.003}}, 2, "", "C61231", 1,
       {"A", "A"}, 1},
      // The letters already used need not rise with the lines: the new group follows the highest.
      {"letters D then A in line order give E",
       {{'D', 5, 1, "D"}, {'C', 5, 1, "D"}, {'D', 6, 2, "A"}, {'C', 6, 2, "A"}, {'D', 100, 3}, {'C', 100, 4}}, 2, "",
       "C61231", 1, {"D", "D", "A", "A", "E", "E"}, 1},
      {"two new groups after letters C, AB, B (AB the highest)",
       {{'D', 5, 1, "C"}, {'C', 5, 1, "C"}, {'D', 6, 2, "AB"}, {'C', 6, 2, "AB"}, {'D', 7, 3, "B"}, {'C', 7, 3, "B"},
        {'D', 100, 4}, {'C', 100, 5}, {'D', 40, 6}, {'C', 40, 7}},
       2, "", "C61231", 1, {"C", "C", "AB", "AB", "B", "B", "AC", "AC", "AD", "AD"}, 2},
      {"a form letter equal to the highest is not given again",
       {{'D', 5, 1, "B"}, {'C', 5, 1, "B"}, {'D', 100, 2}, {'C', 100, 3}}, 2, "B", "C61231", 1, {"B", "B", "C", "C"}, 1},
      {"a form letter below the highest is not taken",
       {{'D', 5, 1, "F"}, {'C', 5, 1, "F"}, {'D', 100, 2}, {'C', 100, 3}}, 2, "C", "C61231", 1, {"F", "F", "G", "G"}, 1},
      // The date limit: a line dated on it takes part, the day after it does not.
      {"lines on the limit date take part, the day after not",
       {{'D', 100, 10}, {'C', 100, 11}, {'C', 100, 10}}, 2, "", "C60310", 1, {"A", "", "A"}, 1},
      {"a limit before every line letters nothing", {{'D', 100, 1}, {'C', 100, 2}}, 2, "", "C60228", 1, {"", ""}, 0},
  };
  int n = 0;
  for (const RunCase& c : cases) {
    const std::string account = "CT" + std::to_string(100 + n++) + "   ";
    const auto sorts = AddLines(account, c.lines);
    const auto out = RunAutomaticMatching(Tables(), Parameters(c, account));
    EXPECT_EQ(Letters(sorts, c.currency), c.letters) << c.what;
    EXPECT_EQ(out.matches, c.matches) << c.what;
    EXPECT_FALSE(out.interrupted) << c.what;
  }
}

// A debit whose euro amount holds "12,34" (read by the lenient reading as 12.00) beside a credit of
// 12.00: the run reads it as the reports do, as zero, and letters neither line.
TEST_F(AutomaticTest, AnAmountThatDoesNotReadIsNeverMatched) {
  RunCase c{"", {}, 2, "", "C61231", 1, {}, 0};
  const auto debit = AddLines("CDAMAGE ", {{'D', 12}});
  const std::uint32_t damaged = c50.recordNumber;
  const auto credit = AddLines("CDAMAGE ", {{'C', 12, 2}});
  test_support::RawRecords(std::string(PathC50()) + ".dbf").Put(damaged, "BMONTANTE", "12,34");
  EXPECT_EQ(RunAutomaticMatching(Tables(), Parameters(c, "CDAMAGE ")).matches, 0);
  EXPECT_EQ(Letters(debit), std::vector<std::string>{""});
  EXPECT_EQ(Letters(credit), std::vector<std::string>{""});
}

// A second run over an account a first run matched gives letters to the new lines only, after
// the first run's; a third with nothing new changes nothing.
TEST_F(AutomaticTest, ASecondRunLettersOnlyWhatIsNew) {
  RunCase c{"", {}, 2, "", "C61231", 1, {}, 0};
  const auto first = AddLines("CAGAIN  ", {{'D', 100, 1}, {'C', 100, 2}});
  EXPECT_EQ(RunAutomaticMatching(Tables(), Parameters(c, "CAGAIN  ")).matches, 1);
  const auto second = AddLines("CAGAIN  ", {{'D', 40, 3}, {'C', 40, 4}, {'D', 100, 5}});
  EXPECT_EQ(RunAutomaticMatching(Tables(), Parameters(c, "CAGAIN  ")).matches, 1);
  EXPECT_EQ(RunAutomaticMatching(Tables(), Parameters(c, "CAGAIN  ")).matches, 0);
  EXPECT_EQ(Letters(first), (std::vector<std::string>{"A", "A"}));
  EXPECT_EQ(Letters(second), (std::vector<std::string>{"B", "B", ""}));
}

TEST_F(AutomaticTest, AStaleManualMarkNeverBecomesALetter) {
  // A line without an amount in euros keeps a "+" a manual list left, another a "-": the run
  // gives letters only to the lines it matched.
  const auto sorts = AddLines("CSTALE  ", {{'D', 100}, {'C', 100, 2}, {'D', 0, 3, "", "", "+", 12.0},
                                           {'C', 0, 4, "", "", "-", 12.0}});
  RunCase c{"", {}, 2, "", "C61231", 1, {}, 0};
  const auto out = RunAutomaticMatching(Tables(), Parameters(c, "CSTALE  "));
  EXPECT_EQ(out.matches, 1);
  EXPECT_EQ(Letters(sorts), (std::vector<std::string>{"A", "A", "", ""}));
  EXPECT_EQ(Mark(sorts[2]), "");
  EXPECT_EQ(Mark(sorts[3]), "");
}

TEST_F(AutomaticTest, AnAccountWithNoLetterLeftStopsAndIsNamed) {
  const auto sorts = AddLines("CFULL   ", {{'D', 1, 1, "ZZZZ"}, {'C', 1, 1, "ZZZZ"}, {'D', 100, 2}, {'C', 100, 3}});
  const auto other = AddLines("CNEXT   ", {{'D', 100, 2}, {'C', 100, 3}});
  RunCase c{"", {}, 2, "", "C61231", 1, {}, 0};
  AutomaticParameters p = Parameters(c, "CFULL   ");
  p.endAccount = "CNEXT   ";
  const auto out = RunAutomaticMatching(Tables(), p);
  EXPECT_EQ(Letters(sorts), (std::vector<std::string>{"ZZZZ", "ZZZZ", "", ""})) << "A is not given again";
  EXPECT_EQ(out.outOfLetters, (std::vector<std::string>{"CFULL   "}));
  EXPECT_EQ(Letters(other), (std::vector<std::string>{"A", "A"})) << "the next account is matched";
}

TEST_F(AutomaticTest, TheRunStopsAtTheDeadlineAndKeepsWhatItFound) {
  const auto first = AddLines("CDEAD1  ", {{'D', 100}, {'C', 100, 2}});
  const auto second = AddLines("CDEAD2  ", {{'D', 100}, {'C', 100, 2}});
  RunCase c{"", {}, 2, "", "C61231", 1, {}, 0};
  AutomaticParameters p = Parameters(c, "CDEAD1  ");
  p.endAccount = "CDEAD2  ";
  // The clock passes the deadline once the first account is under way.
  std::uint64_t now = 0;
  p.clock = [&now] { return now++; };
  p.deadline = 2;
  const auto out = RunAutomaticMatching(Tables(), p);
  EXPECT_TRUE(out.interrupted);
  EXPECT_EQ(Letters(first), (std::vector<std::string>{"A", "A"}));
  EXPECT_EQ(Letters(second), (std::vector<std::string>{"", ""}));
}

// A closed line (C40) matched with a draft line: the letter goes into C40's letter of the currency.
TEST_F(AutomaticTest, AClosedLineTakesItsLetterInTheClosedFile) {
  const auto draft = AddLines("CCLOS   ", {{'C', 75, 20}});
  ASSERT_TRUE(c40.AppendBlank());
  c40.PutField(L::DCLE, "Z");
  c40.PutField(L::DCODE, "CCLOS");
  c40.PutField(L::DMOIS, "C602");
  c40.PutField(L::DJOUR, "03");
  c40.PutField(L::DJAL, "VE");
  c40.PutField(L::DPIECE, "000005");
  c40.PutField(L::DSENS, "D");
  c40.PutFieldNum(L::DMONTANTE, 75);
  c40.PutFieldNum(L::DMONTANTF, Round(2, 75 * 6.55957));
  ASSERT_TRUE(c40.InsertRecord());
  ASSERT_TRUE(c40.Commit());
  const std::uint32_t closed = c40.recordNumber;
  ASSERT_TRUE(AppendLigneTri(c40, T::kClosed, c60));
  c60.SetOrder(processing::kC60CodeTag);
  RunCase c{"", {}, 2, "", "C61231", 1, {}, 0};
  EXPECT_EQ(RunAutomaticMatching(Tables(), Parameters(c, "CCLOS   ")).matches, 1);
  ASSERT_TRUE(c40.GoTo(closed));
  EXPECT_EQ(Trimmed(c40.GetField(L::DLETE)), "A");
  EXPECT_EQ(Letters(draft), (std::vector<std::string>{"A"}));
  // Unlettered by hand: the manual list's save reaches the closed line too.
  processing::ManualMatchingParameters p;
  p.account = "CCLOS   ";
  p.firstDate = "C60101";
  p.lastDate = "C61231";
  p.euros = true;
  processing::ManualMatching list(p);
  ASSERT_EQ(list.Open(), processing::ManualOpen::Opened);
  ASSERT_EQ(list.Rows().size(), 2u);
  EXPECT_TRUE(list.Mark(0, processing::MarkCommand::Delettrer));
  EXPECT_TRUE(list.Mark(1, processing::MarkCommand::Delettrer));
  ASSERT_TRUE(list.CanSave());
  list.SaveLetters();
  ASSERT_TRUE(c40.GoTo(closed));
  EXPECT_EQ(Trimmed(c40.GetField(L::DLETE)), "");
}

TEST_F(AutomaticTest, LettersAreRemovedAllOrOneAndCopiedBetweenTheCurrencies) {
  const auto sorts = AddLines("CREM    ", {{'D', 100, 1, "A", ""}, {'C', 100, 1, "A", ""}, {'D', 5, 2, "B", "Q"},
                                          {'C', 5, 2, "B", ""}});
  EXPECT_EQ(processing::RemoveLetters(Tables(), 1, "CREM", "CREM", false, "A"), 2);
  EXPECT_EQ(Letters(sorts), (std::vector<std::string>{"", "", "B", "B"}));
  EXPECT_EQ(processing::CopyLetters(Tables(), 1, "CREM", "CREM"), 4);
  EXPECT_EQ(Letters(sorts, 0), (std::vector<std::string>{"", "", "Q", "B"})) << "a line lettered in both keeps both";
  EXPECT_EQ(processing::RemoveLetters(Tables(), 1, "CREM", "CREM", true, ""), 4) << "every line visited";
  EXPECT_EQ(Letters(sorts), (std::vector<std::string>{"", "", "", ""}));
}

}  // namespace
}  // namespace processing_test
