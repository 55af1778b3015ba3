// New lines and pieces: "Créer Ligne" in one table of groups (the renumbering 10, 20, 30 ... with the
// sort records and analytic lines, no renumbering after the last line or before a gap, the
// refusals that change nothing), the group of a new piece that no line of that piece uses, and the
// piece counters, also with two stations creating pieces at once.
#include <sys/wait.h>

#include <algorithm>
#include <set>
#include <thread>

#include "entry/core_fixture.h"
#include "posting/new_lines.h"
#include "runtime/xbase.h"
#include "support/books_writes.h"
#include "support/other_process.h"
#include "support/refused_read.h"

namespace entry_test {
namespace {

using namespace posting;

const std::string kMonth = "C601OD ";
const std::string kPrefix = "Z" + kMonth;

class NewLinesTest : public CoreTest {
 protected:
  // Whatever a test did to the lines, the books keep their rules.
  void TearDown() override {
    if (!HasFatalFailure()) {
      DossierInvariants check;
      EXPECT_TRUE(check.Check()) << "when the test ends\n" << check.Report();
    }
    CoreTest::TearDown();
  }
  // A line of the group, with its sort record; an analytic header and line when asked.
  void AddLine(const std::string& piece, const std::string& group, long number, bool cancelled, bool analytic) {
    const test_support::SetUpPermit permit("ligne mise en place");
    auto line = [&](const char* kind, const char* code, const char* account, const char* sub) {
      ASSERT_TRUE(c50.AppendBlank());
      const std::vector<std::pair<int, std::string>> fields{
          {L::BCLE, kind},  {L::BMOIS, kMonth.substr(0, 4)}, {L::BJAL, kMonth.substr(4)}, {L::BPIECE, piece},
          {L::BREC, group}, {L::BNUM, StrZero(number, 4)},   {L::BNUMA, sub},             {L::BJOUR, "12"},
          {L::BCODE, code}, {L::BCG, account},               {L::BSENS, "D"}};
      for (const auto& [f, v] : fields) c50.PutField(f, v.c_str());
      ASSERT_TRUE(c50.InsertRecord());
      ASSERT_TRUE(AppendLigneTri(c50, T::kDraft, c60));
      if (cancelled) {
        ASSERT_TRUE(c50.GoTo(c50.recordNumber) && c50.DeleteRecord(nullptr, 0));
        ASSERT_TRUE(T::Find(c60, T::kDraft, c50.recordNumber) && c60.DeleteRecord(nullptr, 0));
        UnlockRecord(c50);
        UnlockRecord(c60);
      }
    };
    line("Z", "60610000", "", "0001");
    if (analytic) {
      line("V", "", "60610000", "    ");
      line("W", "BUREAU", "60610000", "0001");
    }
  }
  // Numbers of the group's general lines in key order, "c" after a cancelled one.
  std::vector<std::string> Numbers(const std::string& piece, const std::string& group) {
    std::vector<std::string> out;
    const std::string key = kPrefix + piece + group;
    for (bool more = c50.Seek(L::kCodeTag, key.c_str()); more; more = c50.Skip(1)) {
      if (L::Key(c50).compare(0, key.size(), key) != 0) break;
      out.push_back(std::string(c50.GetField(L::BNUM)) + (c50.IsDeleted() ? "c" : ""));
    }
    return out;
  }
  // Numbers of the analytic lines of the piece (they follow their general line).
  std::vector<std::string> AnalyticNumbers(const std::string& piece) {
    std::vector<std::string> out;
    const std::string key = kMonth + piece;
    for (bool more = c50.Seek(L::kAnalyticTag, key.c_str()); more; more = c50.Skip(1)) {
      if ((std::string(c50.GetField(L::BMOIS)) + c50.GetField(L::BJAL) + c50.GetField(L::BPIECE)) != key) break;
      out.push_back(std::string(c50.GetField(L::BCLE)) + c50.GetField(L::BNUM));
    }
    c50.SetOrder(L::kCodeTag);
    return out;
  }
};

TEST_F(NewLinesTest, CreerLigneRenumbersTheGroupOnlyWhenTheNextNumberIsTaken) {
  const struct Case {
    const char* name;
    std::vector<long> numbers;   // the group's lines
    long cancelledNumber;        // one of them cancelled (0 none)
    long analyticNumber;         // the one with an analytic split (0 none)
    long selected;
    NewLineOutcome outcome;
    std::vector<std::string> after;
    std::vector<std::string> analyticAfter;
    std::string newNumber;
    long analyticRenumbered;     // counted for the notice after every 1,000
  } cases[] = {
      {"after 0003 of 0001-0005", {1, 2, 3, 4, 5}, 0, 3, 3, NewLineOutcome::Created,
       {"0010", "0020", "0030", "0031", "0040", "0050"}, {"V0030", "W0030"}, "0031", 2},
      {"after the last line", {1, 2, 3, 4, 5}, 0, 2, 5, NewLineOutcome::Created,
       {"0001", "0002", "0003", "0004", "0005", "0006"}, {"V0002", "W0002"}, "0006", 0},
      {"before a gap", {1, 2, 5}, 0, 0, 2, NewLineOutcome::Created, {"0001", "0002", "0003", "0005"}, {}, "0003", 0},
      {"the next number held by a cancelled line", {1, 2, 3}, 2, 1, 1, NewLineOutcome::Created,
       {"0010", "0011", "0020c", "0030"}, {"V0010", "W0010"}, "0011", 2},
      {"after 9999", {9998, 9999}, 0, 0, 9999, NewLineOutcome::NumberTooLarge, {"9998", "9999"}, {}, "", 0},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string piece = StrZero(900000 + ++n, 0), group = "000001";
    for (long number : c.numbers) AddLine(piece, group, number, number == c.cancelledNumber, number == c.analyticNumber);
    LineAfter after;
    after.prefix = kPrefix;
    after.piece = piece;
    after.group = group;
    after.number = StrZero(c.selected, 4);
    after.day = "12";
    after.label = "Nouvelle ligne";
    const NewLineResult r = CreateLineAfter(c50, c60, after);
    EXPECT_EQ(r.outcome, c.outcome);
    EXPECT_EQ(Numbers(piece, group), c.after);
    EXPECT_EQ(AnalyticNumbers(piece), c.analyticAfter);
    EXPECT_EQ(r.analyticRenumbered, c.analyticRenumbered);
    if (c.outcome == NewLineOutcome::Created) {
      EXPECT_EQ(r.key, kPrefix + piece + group + c.newNumber);
    }
  }
  ExpectInvariants("after the new lines");
}

TEST_F(NewLinesTest, AGroupOfAThousandLinesIsRefusedAndLeftAsItWas) {
  const std::string piece = "900100", group = "000001";
  for (long number = 1; number <= 1000; ++number) AddLine(piece, group, number, false, false);
  const std::vector<std::string> before = Numbers(piece, group);
  LineAfter after;
  after.prefix = kPrefix;
  after.piece = piece;
  after.group = group;
  after.number = "0500";
  EXPECT_EQ(CreateLineAfter(c50, c60, after).outcome, NewLineOutcome::GroupTooLarge);
  EXPECT_EQ(Numbers(piece, group), before);
  // One line fewer fits: 999 lines take 0010 ... 9990.
  test_support::SetUpWrites setUp("ligne retiree du groupe");
  ASSERT_TRUE(c50.Seek(L::kCodeTag, (kPrefix + piece + group + "1000").c_str()));
  ASSERT_TRUE(c50.DeleteRecord(nullptr, 0));
  ASSERT_TRUE(c50.PutField(L::BREC, "000002"));
  UnlockRecord(c50);
  ASSERT_TRUE(T::Find(c60, T::kDraft, c50.recordNumber) && c60.DeleteRecord(nullptr, 0));
  ASSERT_TRUE(SortRecordFollows(c50, c60, ""));
  UnlockRecord(c60);
  setUp.End();
  const NewLineResult r = CreateLineAfter(c50, c60, after);
  EXPECT_EQ(r.outcome, NewLineOutcome::Created);
  EXPECT_EQ(r.key.substr(20), "5001");
  EXPECT_EQ(Numbers(piece, group).back(), "9990");
  ExpectInvariants("after the renumbering of 999 lines");
}

TEST_F(NewLinesTest, ANewPiecesGroupIsOneNoLineOfThatPieceUses) {
  const std::string piece = "900200";
  const long count = static_cast<long>(c50.RecCount());
  // Two lines are added: the count + 1 is then count + 3. It is taken by a line of the same piece
  // (a pack lowered the count since); the next one by a line of another piece, which does not
  // matter.
  AddLine(piece, StrZero(count + 3, 0), 1, false, false);
  AddLine("900201", StrZero(count + 4, 0), 1, false, false);
  EXPECT_EQ(NewGroupNumber(c50, kPrefix, piece), StrZero(count + 4, 0));
  const NewLineResult r = CreatePieceLine(c50, c60, kPrefix, piece, '7', 'O');
  ASSERT_EQ(r.outcome, NewLineOutcome::Created);
  EXPECT_EQ(r.key, kPrefix + piece + StrZero(count + 4, 0) + "0001");
  ExpectInvariants("after the new piece");
}

TEST_F(NewLinesTest, EachCounterGivesItsNextNumberOnce) {
  const long dossier = std::atol(TheDossierRecord.NextPiece().c_str());
  const PieceNumber fromDossier = TakePieceNumber(*TableC10, "VE");
  EXPECT_EQ(fromDossier.outcome, NewLineOutcome::Created);
  EXPECT_EQ(fromDossier.number, dossier);
  EXPECT_FALSE(fromDossier.journalCounter);
  const PieceNumber own = TakePieceNumber(*TableC10, "CAI");
  EXPECT_EQ(own.number, 41);
  EXPECT_TRUE(own.journalCounter);
  EXPECT_EQ(TakePieceNumber(*TableC10, "CAI").number, 42);
  EXPECT_EQ(TakePieceNumber(*TableC10, "OD").number, dossier + 1);
  ASSERT_TRUE(ReadC10Texts());
  EXPECT_EQ(TheDossierRecord.NextPiece(), StrZero(dossier + 2, 0));
  EXPECT_EQ(ReadJournal(*TableC10, "CAI").nextPiece(), 43);
  // A code is sought whole, padded to its field: "CA" is no journal, though "CAI" begins with it.
  EXPECT_FALSE(ReadJournal(*TableC10, "CA").found);
  EXPECT_FALSE(FindHeader(*TableC10, "C601VE ", 'X').IsFound());
  EXPECT_TRUE(FindHeader(*TableC10, "C601VE ", kDraftSource).IsFound());
}

// A piece counter and a journal read while the disk refuses one read of the general file or its index in
// turn (EIO once): a number is taken from a counter read whole, the next one, or none is and the refusal
// names the file, the counter as it was; a journal whose record could not be read is never taken for a
// missing one.
TEST_F(NewLinesTest, ACounterOrAJournalWhoseReadIsRefusedIsNoAnswer) {
  auto counter = [](const std::string& journal) {
    if (journal == "CAI") return ReadJournal(*TableC10, journal).nextPiece();
    EXPECT_TRUE(ReadC10Texts());
    return std::atol(TheDossierRecord.NextPiece().c_str());
  };
  for (const char* file : {"/c10je.dbf", "/c10je.mdx"})
    for (const std::string journal : {"CAI", "VE"}) {
      long refused = 0;
      for (int nth = 1;; ++nth) {
        SCOPED_TRACE(journal + ", read " + std::to_string(nth) + " of " + file + " refused");
        const long next = counter(journal);
        test_support::RefusedRead::Arm(file, nth);
        const PieceNumber p = TakePieceNumber(*TableC10, journal);
        const int seen = test_support::RefusedRead::Seen();
        test_support::RefusedRead::Disarm();
        if (p.outcome == NewLineOutcome::Created) {
          EXPECT_EQ(p.number, next);
          EXPECT_EQ(counter(journal), next + 1);
        } else {
          ++refused;
          EXPECT_EQ(p.outcome, NewLineOutcome::Failed);
          EXPECT_NE(p.refusal.find("erreur de lecture sur le disque"), std::string::npos) << p.refusal;
          EXPECT_NE(p.refusal.find(file + 1), std::string::npos) << p.refusal;
          EXPECT_EQ(counter(journal), next);
        }
        ASSERT_FALSE(HasFailure());
        if (seen < nth) break;
      }
      EXPECT_GE(refused, 1) << journal << " " << file;
    }
  for (int nth = 1;; ++nth) {
    SCOPED_TRACE("the journal-month's header, read " + std::to_string(nth) + " of c10je.dbf refused");
    test_support::RefusedRead::Arm("/c10je.dbf", nth);
    const HeaderCreation made = EnsureDraftHeader(*TableC10, "C603CAI");
    const int seen = test_support::RefusedRead::Seen();
    test_support::RefusedRead::Disarm();
    EXPECT_NE(made, HeaderCreation::NoJournal);
    if (seen < nth || made == HeaderCreation::Created) break;
  }
}

// Two stations, each in its own process, create 100 pieces at once.
class TwoStationsTest : public NewLinesTest {
 protected:
  void SetUp() override {
    NewLinesTest::SetUp();
    // The children must hold no copy of this process's open files.
    c50.CloseTable();
    c60.CloseTable();
    CloseAllTables();
  }
  // One station's work: `cmd` names the journal and month of its 100 pieces.
  static bool Station(char cmd) {
    static Table* own50 = nullptr;
    static Table* own60 = nullptr;
    if (own50 == nullptr) {
      own50 = new Table();
      own60 = new Table();
      if (!TableC10->OpenShared(PathC10(), "C10CODE") || !own50->OpenShared(PathC50(), L::kCodeTag) ||
          !own60->OpenShared(PathC60(), T::kRecordTag))
        return false;
    }
    const std::string journal = cmd == 'a' || cmd == 'b' ? "CAI" : (cmd == 'c' ? "VE" : "AC");
    const std::string month = cmd == 'a' || cmd == 'c' ? "C601" : "C602";
    const std::string prefix = "Z" + CleJournalMois(month, journal);
    for (int i = 0; i < 100; ++i) {
      const PieceNumber p = TakePieceNumber(*TableC10, journal);
      if (p.outcome != NewLineOutcome::Created) return false;
      if (CreatePieceLine(*own50, *own60, prefix, StrZero(p.number, 0), ' ', 'O').outcome != NewLineOutcome::Created)
        return false;
    }
    return true;
  }
  // The pieces of the lines of one journal.
  std::vector<long> PiecesOf(const std::string& journal) {
    std::vector<long> pieces;
    for (bool more = c50.GoTop(L::kCodeTag); more; more = c50.Skip(1))
      if (RTrim(c50.GetField(L::BJAL)) == journal) pieces.push_back(std::atol(c50.GetField(L::BPIECE)));
    return pieces;
  }
};

TEST_F(TwoStationsTest, NoPieceNumberIsTakenTwiceAndTheCountersEndRight) {
  const long dossier = std::atol(TheDossierRecord.NextPiece().c_str());
  test_support::OtherProcess first(&Station), second(&Station);
  auto both = [&](char a, char b) {
    bool okA = false, okB = false;
    std::thread ta([&] { okA = first.Do(a); });
    std::thread tb([&] { okB = second.Do(b); });
    ta.join();
    tb.join();
    EXPECT_TRUE(okA && okB) << a << b;
  };
  // Two months of one journal with its own counter, then two journals on the dossier's counter.
  both('a', 'b');
  both('c', 'd');
  OpenTables();
  std::vector<long> own = PiecesOf("CAI");
  std::sort(own.begin(), own.end());
  ASSERT_EQ(own.size(), 200u);
  for (std::size_t i = 0; i < own.size(); ++i) EXPECT_EQ(own[i], 41 + static_cast<long>(i));
  EXPECT_EQ(ReadJournal(*TableC10, "CAI").nextPiece(), 241);

  std::vector<long> shared = PiecesOf("VE"), ac = PiecesOf("AC");
  std::set<long> generated(shared.begin(), shared.end());
  std::vector<long> taken;
  for (long p : shared) if (p >= dossier) taken.push_back(p);
  for (long p : ac) if (p >= dossier) taken.push_back(p);
  std::sort(taken.begin(), taken.end());
  ASSERT_EQ(taken.size(), 200u);
  for (std::size_t i = 0; i < taken.size(); ++i) EXPECT_EQ(taken[i], dossier + static_cast<long>(i));
  ASSERT_TRUE(ReadC10Texts());
  EXPECT_EQ(TheDossierRecord.NextPiece(), StrZero(dossier + 200, 0));
  ExpectInvariants("after two stations' pieces");
}

}  // namespace
}  // namespace entry_test
