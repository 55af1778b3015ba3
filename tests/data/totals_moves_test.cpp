// The totals a change of lines moves: a total taken to the last cent its 14 characters hold goes
// through and one cent more is refused before anything is written, on each kind of total, side and
// currency; a total another station fills between the check and the write is checked again under
// its lock and left as that station wrote it; a write refused on the way, the record's or its
// index's after it, leaves every total as it was once the moves made are taken back.
#include <climits>

#include "data/account_totals.h"
#include "data/engine_files.h"
#include "data_test_util.h"
#include "platform/system/write_fault.h"
#include "support/other_process.h"
#include "support/refused_write.h"

namespace data_test {
namespace {

using platform::WriteFault;

// One of the four totals of a record: an account of C20 ('A'), a journal-month header of C10 ('H')
// or a section of C30 ('S'), on its debit or credit, in amount 1 (francs) or amount 2 (euros).
struct Total {
  char kind;
  const char* code;
  bool debit, second;

  TotalsCents Of(long long cents) const {
    TotalsCents t;
    (debit ? (second ? t.debit2 : t.debit1) : (second ? t.credit2 : t.credit1)) = cents;
    return t;
  }
  long long In(const TotalsCents& t) const {
    return debit ? (second ? t.debit2 : t.debit1) : (second ? t.credit2 : t.credit1);
  }
  // What the record holds there; LLONG_MIN when it cannot be read.
  long long Now() const {
    TotalsCents now;
    const bool read = kind == 'A' ? ReadAccountRecord(code, &now)
                      : kind == 'H' ? ReadHeaderRecord(code, &now)
                                    : ReadSectionRecord(code, &now);
    return read ? In(now) : LLONG_MIN;
  }
  bool Move(long long cents) const {
    const TotalsCents move = Of(cents);
    return kind == 'A' ? MoveAccountRecord(code, move)
           : kind == 'H' ? MoveHeaderRecord(code, move)
                         : MoveSectionRecord(code, move);
  }
  void Plan(TotalsMoves& moves, long long cents) const {
    if (kind == 'A') moves.Account(code, Of(cents));
    else if (kind == 'H') moves.Header(code, Of(cents));
    else moves.Section(code, Of(cents));
  }
  std::string Name() const {
    return std::string(1, kind) + " " + code + (debit ? " debit" : " credit") + (second ? " 2" : " 1");
  }
};

const Total kTotals[] = {
    {'A', "60640000", true, true},  {'A', "70600000", false, false}, {'H', "2603VTEB", true, false},
    {'H', "2603ACHB", false, true}, {'S', "SAV", true, true},        {'S', "NORD", false, false},
};

// The moves a change of lines makes, tested one by one: the fixture holds the change's permit.
class TotalsMovesTest : public DataTest {
 protected:
  test_support::SetUpPermit permit_{"mouvements de totaux"};
  void SetUp() override {
    DataTest::SetUp();
    CreateDossier();
    OpenTotals();
  }
  static void OpenTotals() {
    ASSERT_TRUE(TableC10->OpenShared(DossierPath(TableKind::C10), "C10CODE"));
    ASSERT_TRUE(TableC20->OpenShared(DossierPath(TableKind::C20), "C20CODE"));
    ASSERT_TRUE(TableC30->OpenShared(DossierPath(TableKind::C30), "C30CODE"));
  }
};

TEST_F(TotalsMovesTest, ATotalTakenToItsLastCentGoesThroughAndOneCentMoreIsRefused) {
  // From 500 cents short of each end: the last 500 fit, one more cent does not.
  const struct End {
    const char* what;
    long long last;
    int sign;
  } ends[] = {{"largest", kLargestTotalCents, +1}, {"smallest", kSmallestTotalCents, -1}};
  for (const Total& t : kTotals)
    for (const End& end : ends) {
      SCOPED_TRACE(t.Name() + ", " + end.what);
      ASSERT_TRUE(t.Move(end.last - end.sign * 500 - (t.Now() == LLONG_MIN ? 0 : t.Now())));
      ASSERT_EQ(t.Now(), end.last - end.sign * 500);

      TotalsMoves fits;
      t.Plan(fits, end.sign * 500);
      EXPECT_FALSE(fits.Check()) << "500 cents refused";
      EXPECT_TRUE(fits.Make());
      EXPECT_FALSE(fits.Overflow());
      EXPECT_EQ(t.Now(), end.last);

      TotalsMoves past;
      t.Plan(past, end.sign);
      const TotalsOverflow overflow = past.Check();
      ASSERT_TRUE(overflow) << "one cent past what the total holds was not refused";
      EXPECT_EQ(overflow.kind, t.kind);
      EXPECT_EQ(overflow.code, t.code);
      EXPECT_EQ(overflow.room, 0);
      EXPECT_EQ(overflow.moved, 1);
      EXPECT_EQ(overflow.debit, t.debit);
      EXPECT_EQ(overflow.second, t.second);
      // Made all the same, it is refused under the record's lock and writes nothing.
      platform::SetWriteFault(WriteFault::kFailOnce, LONG_MAX);  // counts the changes, refuses none
      EXPECT_FALSE(past.Make());
      EXPECT_EQ(platform::WritesCounted(), 0);
      platform::SetWriteFault(WriteFault::kNone, 0);
      EXPECT_TRUE(past.Overflow());
      EXPECT_EQ(t.Now(), end.last);
    }
}

TEST_F(TotalsMovesTest, ATotalAnotherStationFillsAfterTheCheckIsLeftAsItWroteIt) {
  // The other station, forked before this process opens the tables: it fills the total named by
  // its command ('0' + its place in kTotals) to 100 cents short of the largest.
  CloseAllTables();
  test_support::OtherProcess station([](char command) {
    const Total& t = kTotals[command - '0'];
    if (!TableC10->isOpen) OpenTotals();
    const long long now = t.Now();
    return t.Move(kLargestTotalCents - 100 - (now == LLONG_MIN ? 0 : now));
  });
  OpenTotals();
  for (std::size_t i = 0; i < std::size(kTotals); ++i) {
    const Total& t = kTotals[i];
    SCOPED_TRACE(t.Name());
    // Its move, then another record's, planned and checked while both hold them.
    const Total other{'A', "51200000", true, false};
    const long long otherBefore = other.Now();
    TotalsMoves moves;
    t.Plan(moves, 200);
    other.Plan(moves, 300);
    ASSERT_FALSE(moves.Check());
    ASSERT_TRUE(station.Do(static_cast<char>('0' + i)));
    EXPECT_FALSE(moves.Make()) << "made over the other station's total";
    EXPECT_EQ(moves.Overflow().kind, t.kind);
    EXPECT_EQ(moves.Overflow().code, t.code);
    EXPECT_EQ(moves.Overflow().room, 100);
    EXPECT_EQ(t.Now(), kLargestTotalCents - 100);
    EXPECT_EQ(other.Now(), otherBefore) << "a move after the refused one was made";
    EXPECT_TRUE(moves.TakeBack());
  }
}

TEST_F(TotalsMovesTest, AWriteRefusedOnTheWayLeavesEveryTotalAsItWasOnceTakenBack) {
  // Three records moved, each write refused in turn, a record's or its index's written back after it,
  // once or for good (a disk remounted read-only, the take-back refused too). A take-back that says
  // it went through leaves every total as it was.
  const Total moved[] = {kTotals[0], kTotals[2], kTotals[4]};
  for (const Total& t : moved) ASSERT_TRUE(t.Move(1000));
  for (const WriteFault fault : {WriteFault::kFailOnce, WriteFault::kFailForGood})
    for (const char* file : {".dbf", ".mdx"}) {
      long refused = 0, takenBack = 0;
      for (int k = 1;; ++k) {
        SCOPED_TRACE(std::string(file) + ", write " + std::to_string(k) + " refused" +
                     (fault == WriteFault::kFailForGood ? " for good" : " once"));
        std::vector<long long> before;
        for (const Total& t : moved) before.push_back(t.Now());
        TotalsMoves moves;
        for (const Total& t : moved) t.Plan(moves, 250);
        ASSERT_FALSE(moves.Check());
        test_support::RefusedWrite::Arm(file, k, fault);
        const bool made = moves.Make();
        const int seen = test_support::RefusedWrite::Seen();
        const std::string which = platform::RefusedChange();
        const bool back = moves.TakeBack();
        test_support::RefusedWrite::Disarm();
        if (k > seen) {
          EXPECT_TRUE(made);
          break;
        }
        ++refused;
        EXPECT_FALSE(made) << "made though " << which << " was refused";
        if (!back) continue;
        ++takenBack;
        for (std::size_t i = 0; i < std::size(moved); ++i)
          EXPECT_EQ(moved[i].Now(), before[i]) << moved[i].Name() << " not taken back, " << which << " refused";
        ASSERT_FALSE(HasFailure());
      }
      EXPECT_GE(refused, 3) << file;
      EXPECT_GT(takenBack, 0) << file;
    }
}

// The C20 index's changes refused from the k-th on (the record's own written before the index's
// write-back), and from there every read of C20 too: the take-back cannot read the record again to
// know whether its move stands, and so never says it took everything back.
std::string g_c20;
int g_indexChange = 0, g_refuseFrom = 0;
bool g_refusing = false;
void RefuseC20IndexThenItsReads() {
  const std::string& change = platform::ChangeBeingMade();
  if (!g_refusing && change.find(g_c20 + ".mdx") != std::string::npos && ++g_indexChange >= g_refuseFrom)
    g_refusing = true;
  if (g_refusing) platform::SetWriteFault(WriteFault::kFailOnce, 1);
}
void RefuseC20Reads() {
  const bool c20 = g_refusing && platform::ReadBeingMade().find(g_c20 + ".") != std::string::npos;
  platform::SetWriteFault(WriteFault::kReadFailOnce, c20 ? 1 : LONG_MAX);
}

TEST_F(TotalsMovesTest, AMoveRefusedWhoseRecordCannotBeReadAgainIsNotSaidTakenBack) {
  const Total& t = kTotals[0];
  ASSERT_TRUE(t.Move(1000));
  g_c20 = DossierPath(TableKind::C20);
  long refused = 0, unsure = 0;
  for (int k = 1; k < 10; ++k) {
    SCOPED_TRACE("the C20 index's change " + std::to_string(k) + " refused, and every read after it");
    const long long before = t.Now();
    TotalsMoves moves;
    t.Plan(moves, 250);
    g_indexChange = 0;
    g_refuseFrom = k;
    g_refusing = false;
    platform::SetWriteFault(WriteFault::kReadFailOnce, LONG_MAX);  // reads through the hook
    platform::BeforeFileChange = RefuseC20IndexThenItsReads;
    platform::BeforeFileRead = RefuseC20Reads;
    const bool made = moves.Make();
    const bool refusedInMake = g_refusing;
    g_refuseFrom = INT_MAX;  // the take-back's changes are refused only once the move's were
    const bool back = moves.TakeBack();
    platform::BeforeFileChange = nullptr;
    platform::BeforeFileRead = nullptr;
    platform::SetWriteFault(WriteFault::kNone, 0);
    if (!refusedInMake) {
      EXPECT_TRUE(made);
      break;
    }
    ++refused;
    EXPECT_FALSE(made);
    if (!back) ++unsure;
    if (back) EXPECT_EQ(t.Now(), before) << "said taken back, yet moved";
    // As the next opening does: the index made again from the records, the total set back.
    TableC20->CloseTable();
    bool repaired = false;
    RepairInterruptedIndex(DossierPath(TableKind::C20) + ".dbf", &repaired);
    ASSERT_TRUE(TableC20->OpenShared(DossierPath(TableKind::C20), "C20CODE"));
    if (t.Now() != before) ASSERT_TRUE(t.Move(before - t.Now()));
    ASSERT_FALSE(HasFailure());
  }
  EXPECT_GE(refused, 2);
  EXPECT_GT(unsure, 0) << "no point left a record that could not be read again";
}

}  // namespace
}  // namespace data_test
