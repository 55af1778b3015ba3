// Cancelling and reactivating lines: any sequence of the two keeps the sort records, the headers,
// the account totals and the section totals equal to the lines (the property), a matched line is
// never cancelled, and a line whose sort record was lost gets it back.
#include <random>
#include <regex>

#include "entry/core_fixture.h"
#include "posting/line_changes.h"
#include "runtime/numbers.h"
#include "runtime/text.h"
#include "support/books_writes.h"

namespace entry_test {
namespace {

using namespace posting;

using TotalsTest = CoreTest;

std::vector<std::uint32_t> GeneralLines(Table& c50) {
  std::vector<std::uint32_t> lines;
  for (std::uint32_t r = 1; r <= c50.RecCount(); ++r)
    if (c50.GoTo(r) && c50.GetField(L::BCLE)[0] == 'Z') lines.push_back(r);
  return lines;
}

TEST_F(TotalsTest, AnySequenceOfCancelAndReactivateKeepsEveryTotalEqualToTheLines) {
  const std::vector<std::uint32_t> lines = GeneralLines(c50);
  ASSERT_GT(lines.size(), 50u);
  for (unsigned seed : {1u, 2u, 3u}) {
    SCOPED_TRACE(seed);
    std::mt19937 random(seed);
    long analytic = 0;
    for (int step = 0; step < 40; ++step) {
      const std::uint32_t r = lines[random() % lines.size()];
      ASSERT_TRUE(c50.GoTo(r));
      const bool wasCancelled = c50.IsDeleted();
      const bool cancel = random() % 2 == 0;
      long split = 0;
      const LineChange got = cancel ? CancelLine(c50, c60, r, "ligne", &split) : ReactivateLine(c50, c60, r, "ligne");
      analytic += split;
      EXPECT_EQ(got, cancel == wasCancelled ? LineChange::AlreadyDone : LineChange::Done) << r;
      ASSERT_TRUE(c50.GoTo(r));
      EXPECT_EQ(c50.IsDeleted(), cancel) << r;
      if (step % 10 == 9) {
        DossierInvariants check;
        ASSERT_TRUE(check.Check()) << "step " << step << "\n" << check.Report();
      }
    }
    EXPECT_EQ(Notices().size(), 0u) << "no lock was refused";
    if (seed == 1) { EXPECT_GT(analytic, 0) << "some analytic lines went with their line"; }
  }
  ExpectInvariants("after the cancellations");
}

TEST_F(TotalsTest, AMatchedLineIsNotCancelledAndALostSortRecordComesBack) {
  const std::vector<std::uint32_t> lines = GeneralLines(c50);
  std::uint32_t matched = 0, orphan = 0;
  for (std::uint32_t r : lines) {
    ASSERT_TRUE(c50.GoTo(r));
    if (c50.IsDeleted()) continue;
    if (matched == 0) matched = r;
    else if (orphan == 0) orphan = r;
  }
  {
    const test_support::SetUpPermit permit("ligne lettree");
    ASSERT_TRUE(c50.GoTo(matched));
    ASSERT_TRUE(c50.PutField(L::BLETE, "AB"));
    ASSERT_TRUE(T::Find(c60, T::kDraft, matched));
    ASSERT_TRUE(SortRecordFollows(c50, c60, ""));
  }
  EXPECT_EQ(CancelLine(c50, c60, matched, "ligne"), LineChange::Lettered);
  ASSERT_TRUE(c50.GoTo(matched));
  EXPECT_FALSE(c50.IsDeleted());

  // A line whose sort record was lost (written over with another line's number).
  {
    const test_support::SetUpPermit permit("enregistrement de tri perdu");
    ASSERT_TRUE(T::Find(c60, T::kDraft, orphan));
    ASSERT_TRUE(c60.PutField(T::TFIC, "X"));
    UnlockRecord(c60);
    ASSERT_TRUE(c60.DeleteRecord(nullptr, 0));
    UnlockRecord(c60);
  }
  EXPECT_EQ(CancelLine(c50, c60, orphan, "ligne"), LineChange::Done);
  ASSERT_TRUE(T::Find(c60, T::kDraft, orphan));
  EXPECT_TRUE(c60.IsDeleted());
  EXPECT_EQ(ReactivateLine(c50, c60, orphan, "ligne"), LineChange::Done);
  ASSERT_TRUE(T::Find(c60, T::kDraft, orphan));
  EXPECT_FALSE(c60.IsDeleted());
  // The damaged record is the only fault left: it points nowhere.
  DossierInvariants check;
  EXPECT_FALSE(check.Check());
  EXPECT_EQ(check.FaultCount(), 1) << check.Report();
  EXPECT_NE(check.Report().find("qui n'existe pas"), std::string::npos) << check.Report();
}

// Each fault the check finds is one line of its report, its file, records and field in their places.
TEST_F(TotalsTest, EachFaultOfTheCheckIsOneWholeLine) {
  std::vector<std::uint32_t> live;
  for (std::uint32_t r : GeneralLines(c50))
    if (c50.GoTo(r) && !c50.IsDeleted()) live.push_back(r);
  ASSERT_GE(live.size(), 4u);
  const std::string b = std::to_string(live[0]), c = std::to_string(live[1]), d = std::to_string(live[2]),
                    e = std::to_string(live[3]);
  // The sort record of line b cancelled alone, line c cancelled alone, the sort record of line d
  // pointing nowhere, line e with a second sort record of another number.
  test_support::SetUpWrites damage("livres abimes");
  ASSERT_TRUE(T::Find(c60, T::kDraft, live[0]));
  ASSERT_TRUE(c60.DeleteRecord(nullptr, 0));
  ASSERT_TRUE(c50.GoTo(live[1]));
  ASSERT_TRUE(c50.DeleteRecord(nullptr, 0));
  ASSERT_TRUE(T::Find(c60, T::kDraft, live[2]));
  const std::string sortOfD = std::to_string(c60.recordNumber);
  ASSERT_TRUE(c60.PutField(T::TREC, "999999"));
  const std::string nowhere = "B" + TrimmedRight(c60.GetField(T::TREC));
  ASSERT_TRUE(c50.GoTo(live[3]));
  ASSERT_TRUE(AppendLigneTri(c50, T::kDraft, c60));
  const std::uint32_t second = c60.RecCount();
  ASSERT_TRUE(c60.GoTo(static_cast<long>(second)));
  ASSERT_TRUE(c60.PutField(T::TNUM, "9999"));
  // An account whose stored debit in francs is past a billion: its amounts written as every
  // other message writes them, grouped by thousands with the decimal comma.
  Table& c20 = *TableC20;
  ASSERT_TRUE(c20.GoTo(1));
  const std::string account = TrimmedRight(c20.GetField(1));
  ASSERT_TRUE(c20.PutField(17, "1234567890.12"));
  damage.End();

  DossierInvariants check;
  EXPECT_FALSE(check.Check());
  const std::string report = check.Report();
  const std::string lines[] = {
      "C50 ligne " + b + " est active, son enregistrement de tri est annul\xE9",
      "C50 ligne " + c + " est annul\xE9" "e, son enregistrement de tri ne l'est pas",
      "C60 enregistrement " + sortOfD + ": pointe vers " + nowhere + ", qui n'existe pas",
      "C50 ligne " + d + ": sans enregistrement de tri",
      "C50 ligne " + e + ": son enregistrement de tri " + std::to_string(second) + " diff\xE8re par TNUM",
      "C50 ligne " + e + ": 2 enregistrements de tri",
  };
  for (const std::string& line : lines)
    EXPECT_NE(("\n" + report).find("\n" + line + "\n"), std::string::npos) << line << "\n" << report;
  // The totals that line c no longer matches: the stored sums, then the lines'.
  const std::string amount = R"(-?\d{1,3}( \d{3})*,\d\d)";
  const std::string sums = "F " + amount + " / " + amount + ", E " + amount + " / " + amount;
  for (const char* what : {"Centralisateur C\\d{3}\\w{2} ?B", "Compte \\w{8}"}) {
    const std::regex line(std::string("(^|\n)") + what + ": " + sums + "; lignes: " + sums + "\n");
    EXPECT_TRUE(std::regex_search(report, line)) << what << "\n" << report;
  }
  EXPECT_NE(report.find("Compte " + account + ": F 1 234 567 890,12 / "), std::string::npos) << report;
}

}  // namespace
}  // namespace entry_test
