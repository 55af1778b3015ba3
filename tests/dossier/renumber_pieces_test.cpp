// Piece renumbering: new numbers in the order of the old ones, pieces told apart by their
// text, distribution pieces kept, the sort file and the next piece number rebuilt, a second
// run that changes nothing, and a run stopped while it writes that the next run finishes.
#include <filesystem>
#include <map>
#include <vector>

#include "data/dossier_lock.h"
#include "dossier/dossier_create.h"
#include "demo/dossier_demo.h"
#include "dossier/maintenance_rebuild.h"
#include "dossier/renumber_pieces.h"
#include "dossier_test_util.h"
#include "modal_session_test.h"
#include "platform/gui/application.h"
#include "platform/gui/constants.h"
#include "platform/gui/modal_seam.h"
#include "runtime/code_helpers.h"
#include "runtime/numbers.h"
#include "runtime/xbase.h"
#include "shell/handlers.h"

namespace dossier_test {
namespace {

namespace fs = std::filesystem;

// One line as the test writes it and reads it back.
struct Line {
  char file;  // 'C' closed (C40), 'B' draft (C50)
  std::string piece;
  bool deleted = false;
  std::string month = "C601";
  std::string day = "15";
  std::string account = "41100000";
};

// What the sort file says about one line.
struct SortRecord {
  std::string tcle, tcode, tpiece, tfic;
  long trec = 0;
  bool deleted = false;
};

class RenumberTest : public ModalSessionTest {
 protected:
  void TearDown() override {
    SetTextPromptHook(nullptr);
    CloseAllTables();
    ModalSessionTest::TearDown();
  }

  // An empty dossier "TST" in its own folder, made the open one.
  std::string MakeDossier(const std::string& name = "d") {
    const std::string folder = Dir() + "/" + name + "/";
    std::string message;
    EXPECT_TRUE(CreateDossier(folder, "TST", "Essai", Ymd{2026, 1, 1}, Ymd{2026, 12, 31}, &message)) << message;
    SetDossier(folder, "TST");
    return folder;
  }

  // A generated dossier "DEMO" with `lines` draft lines, made the open one.
  std::string MakeDemo(const std::string& name, long lines) {
    DemoOptions o;
    o.folder = Dir() + "/" + name + "/";
    o.lines = lines;
    o.seed = 11;
    std::string message;
    EXPECT_TRUE(GenerateDemoDossier(o, &message)) << message;
    SetDossier(o.folder, "DEMO");
    return o.folder;
  }

  static Table& LineTable(char file) { return file == 'C' ? *TableC40 : *TableC50; }
  static const char* LinePath(char file) { return file == 'C' ? PathC40() : PathC50(); }
  static int PieceField(char file) { return file == 'C' ? 6 : 4; }

  void AddLines(const std::vector<Line>& lines) {
    for (const Line& l : lines) {
      Table& t = LineTable(l.file);
      ASSERT_TRUE(t.OpenTable(LinePath(l.file)));
      ASSERT_TRUE(t.AppendBlank());
      t.PutField(1, "Z");
      if (l.file == 'C') {
        t.PutField(2, l.account.c_str());
        t.PutField(3, l.month.c_str());
        t.PutField(4, l.day.c_str());
        t.PutField(5, "VE");
      } else {
        t.PutField(10, l.account.c_str());
        t.PutField(2, l.month.c_str());
        t.PutField(8, l.day.c_str());
        t.PutField(3, "VE");
      }
      t.PutField(PieceField(l.file), l.piece.c_str());
      ASSERT_TRUE(t.InsertRecord());
      if (l.deleted) {
        ASSERT_TRUE(t.DeleteRecord(nullptr, 0));
      }
    }
    CloseAllTables();
  }

  // Pieces of every line of one file, in physical order (right-trimmed).
  static std::vector<std::string> Pieces(char file) {
    std::vector<std::string> out;
    Table& t = LineTable(file);
    EXPECT_TRUE(t.OpenTable(LinePath(file)));
    const long n = static_cast<long>(t.RecCount());
    for (long r = 1; r <= n; ++r) {
      EXPECT_TRUE(t.GoTo(r));
      out.emplace_back(RTrim(t.GetField(PieceField(file))));
    }
    t.CloseTable(true);
    return out;
  }

  // Piece k of the draft becomes piece 2 (max + 1 - k) + 1: numbers with gaps, in reverse,
  // so that renumbering gives most pieces a number that another piece holds now.
  static void SpreadDraftPieces() {
    const std::vector<std::string> pieces = Pieces('B');
    long max = 0;
    for (const std::string& p : pieces) max = std::max(max, static_cast<long>(Val(p.c_str())));
    Table& t = *TableC50;
    ASSERT_TRUE(t.OpenTable(PathC50()));
    for (long r = 1; r <= static_cast<long>(pieces.size()); ++r) {
      ASSERT_TRUE(t.GoTo(r));
      const long k = static_cast<long>(Val(pieces[static_cast<std::size_t>(r - 1)].c_str()));
      t.PutField(4, StrZero(2 * (max + 1 - k) + 1, 0));
    }
    t.CloseTable(true);
  }

  static std::vector<SortRecord> SortRecords() {
    std::vector<SortRecord> out;
    Table& t = *TableC60;
    EXPECT_TRUE(t.OpenTable(PathC60()));
    const long n = static_cast<long>(t.RecCount());
    for (long r = 1; r <= n; ++r) {
      EXPECT_TRUE(t.GoTo(r));
      SortRecord s;
      s.tcle = RTrim(t.GetField(1));
      s.tcode = RTrim(t.GetField(2));
      s.tfic = RTrim(t.GetField(9));
      s.trec = static_cast<long>(Val(t.GetField(10)));
      s.tpiece = RTrim(t.GetField(11));
      s.deleted = t.IsDeleted();
      out.push_back(s);
    }
    t.CloseTable(true);
    return out;
  }

  static std::string StoredNextPiece() {
    Table& t = *TableC10;
    EXPECT_TRUE(t.OpenTable(PathC10(), "C10CODE"));
    EXPECT_TRUE(t.Seek("C10CODE", "0"));
    const std::string next = SubStr(t.GetField(4), 165, 6);
    t.CloseTable(true);
    return next;
  }

  // Every line has exactly one live-or-cancelled-alike sort record with its new number.
  void ExpectSortFileFollowsLines() {
    const std::vector<std::string> c40 = Pieces('C'), c50 = Pieces('B');
    std::vector<bool> deleted40(c40.size()), deleted50(c50.size());
    for (char f : {'C', 'B'}) {
      Table& t = LineTable(f);
      ASSERT_TRUE(t.OpenTable(LinePath(f)));
      for (long r = 1; r <= static_cast<long>(t.RecCount()); ++r) {
        t.GoTo(r);
        (f == 'C' ? deleted40 : deleted50)[static_cast<std::size_t>(r - 1)] = t.IsDeleted();
      }
      t.CloseTable(true);
    }
    std::map<std::pair<char, long>, int> seen;
    for (const SortRecord& s : SortRecords()) {
      ASSERT_EQ(s.tfic.size(), 1u);
      const char f = s.tfic[0];
      const auto& pieces = f == 'C' ? c40 : c50;
      ASSERT_GE(s.trec, 1);
      ASSERT_LE(s.trec, static_cast<long>(pieces.size()));
      EXPECT_EQ(s.tpiece, pieces[static_cast<std::size_t>(s.trec - 1)]);
      EXPECT_EQ(s.deleted, (f == 'C' ? deleted40 : deleted50)[static_cast<std::size_t>(s.trec - 1)]);
      ++seen[{f, s.trec}];
    }
    EXPECT_EQ(seen.size(), c40.size() + c50.size());
    for (const auto& [key, count] : seen) EXPECT_EQ(count, 1) << key.first << key.second;
  }
};

// Stops the run after a number of lines written.
class StopAfter : public RenumberObserver {
 public:
  explicit StopAfter(long writes) : left_(writes) {}
  bool StopNow() override { return --left_ <= 0; }

 private:
  long left_;
};

TEST_F(RenumberTest, NumbersFollowTheOldOrderAcrossClosedAndDraftLines) {
  MakeDossier();
  AddLines({{'C', "000009"}, {'C', "000120"}, {'C', "000005"}, {'B', "000130"}, {'B', "000009"},
            {'B', "000009"}, {'C', "000200", true}});
  const RenumberResult r = RenumberPieces();
  EXPECT_EQ(r.outcome, RenumberOutcome::Done);
  EXPECT_FALSE(r.resumed);
  EXPECT_EQ(r.pieces, 5);
  EXPECT_EQ(r.nextNumber, 6);
  EXPECT_TRUE(r.nextWritten);
  // A piece held only by a cancelled line takes a number too.
  EXPECT_EQ(Pieces('C'), (std::vector<std::string>{"000002", "000003", "000001", "000005"}));
  EXPECT_EQ(Pieces('B'), (std::vector<std::string>{"000004", "000002", "000002"}));
  EXPECT_EQ(StoredNextPiece(), "000006");
  EXPECT_EQ(TheDossierRecord.NextPiece(), "000006");
  EXPECT_FALSE(fs::exists(RenumberPlanPath()));
  ExpectSortFileFollowsLines();
}

TEST_F(RenumberTest, PiecesAreToldApartByTheirTextAndDistributionPiecesStay) {
  MakeDossier();
  // Old order as text: blank, "000000", "00012A", "00012B", "ABC", "Ventil"; "000000" and
  // the blank piece both read as 0, the two "00012" pieces both as 12.
  AddLines({{'C', "00012B"}, {'C', "00012A"}, {'B', "000000"}, {'B', "ABC"}, {'B', "Ventil"},
            {'C', "00012A", false, "C602"}, {'B', ""}, {'C', "000000", false, "C603"}});
  const RenumberResult r = RenumberPieces();
  ASSERT_EQ(r.outcome, RenumberOutcome::Done);
  EXPECT_EQ(r.pieces, 5);
  EXPECT_EQ(Pieces('C'), (std::vector<std::string>{"000004", "000003", "000003", "000002"}));
  EXPECT_EQ(Pieces('B'), (std::vector<std::string>{"000002", "000005", "Ventil", "000001"}));
  EXPECT_EQ(StoredNextPiece(), "000006");
  ExpectSortFileFollowsLines();

  // Again: nothing changes.
  const RenumberResult again = RenumberPieces();
  EXPECT_EQ(again.outcome, RenumberOutcome::Done);
  EXPECT_EQ(again.linesWritten, 0);
  EXPECT_EQ(Pieces('C'), (std::vector<std::string>{"000004", "000003", "000003", "000002"}));
  EXPECT_EQ(Pieces('B'), (std::vector<std::string>{"000002", "000005", "Ventil", "000001"}));
}

TEST_F(RenumberTest, EmptyDossierGetsNextPieceOne) {
  MakeDossier();
  const RenumberResult r = RenumberPieces();
  EXPECT_EQ(r.outcome, RenumberOutcome::Done);
  EXPECT_EQ(r.pieces, 0);
  EXPECT_EQ(StoredNextPiece(), "000001");
}

// The same generated dossier twice: one run straight through, one stopped half-way and run
// again (also stopped once more during the recovery) end with the same lines and sort file.
TEST_F(RenumberTest, StoppedRunFinishedByTheNextRunEndsAsAnUninterruptedRun) {
  MakeDemo("straight", 300);
  SpreadDraftPieces();
  ASSERT_EQ(RenumberPieces().outcome, RenumberOutcome::Done);
  const std::vector<std::string> expected = Pieces('B');
  const std::string expectedNext = StoredNextPiece();
  const auto expectedSort = SortRecords();

  MakeDemo("stopped", 300);
  SpreadDraftPieces();
  StopAfter firstStop(100);
  const RenumberResult stopped = RenumberPieces(&firstStop);
  ASSERT_EQ(stopped.outcome, RenumberOutcome::Stopped);
  EXPECT_TRUE(fs::exists(RenumberPlanPath()));
  EXPECT_NE(Pieces('B'), expected);

  StopAfter secondStop(50);
  const RenumberResult recovering = RenumberPieces(&secondStop);
  ASSERT_EQ(recovering.outcome, RenumberOutcome::Stopped);
  EXPECT_TRUE(recovering.resumed);

  const RenumberResult finished = RenumberPieces();
  ASSERT_EQ(finished.outcome, RenumberOutcome::Done);
  EXPECT_TRUE(finished.resumed);
  EXPECT_FALSE(fs::exists(RenumberPlanPath()));
  EXPECT_EQ(Pieces('B'), expected);
  EXPECT_EQ(StoredNextPiece(), expectedNext);
  const auto sort = SortRecords();
  ASSERT_EQ(sort.size(), expectedSort.size());
  for (std::size_t i = 0; i < sort.size(); ++i) {
    EXPECT_EQ(sort[i].tpiece, expectedSort[i].tpiece);
    EXPECT_EQ(sort[i].tcode, expectedSort[i].tcode);
    EXPECT_EQ(sort[i].trec, expectedSort[i].trec);
  }
}

// A run stopped after 100 writes: the rebuild refuses to start (it would refill the sort
// file and the plan with it); once the sort file has changed anyway (a line added), the
// next run refuses too and keeps the plan, instead of numbering mixed lines.
TEST_F(RenumberTest, PendingPlanStopsTheRebuildAndAStalePlanIsKept) {
  MakeDemo("stopped", 300);
  SpreadDraftPieces();
  StopAfter stop(100);
  ASSERT_EQ(RenumberPieces(&stop).outcome, RenumberOutcome::Stopped);
  ASSERT_TRUE(RenumberingPending());
  const std::string folder = fs::path(PathC60()).parent_path();
  const std::string before = FolderBytes(folder);
  EXPECT_EQ(RunDossierRebuild(false, true).code, kRebuildRenumberPending);
  EXPECT_TRUE(FolderBytes(folder) == before) << "the refused rebuild wrote";

  const std::vector<std::string> mixed = Pieces('B');
  AddLines({{'B', "000777"}});
  {
    // The entry writes the line's sort record too.
    Table c60;
    ASSERT_TRUE(c60.OpenTable(PathC60()));
    ASSERT_TRUE(c60.AppendBlank());
    for (const auto& [field, text] : {std::pair<int, std::string>{1, "Z"}, {2, "000777"}, {9, "B"},
                                      {10, StrZero(static_cast<long>(mixed.size()) + 1, 0)}})
      c60.PutField(field, text.c_str());
    ASSERT_TRUE(c60.InsertRecord());
  }
  const RenumberResult r = RenumberPieces();
  EXPECT_EQ(r.outcome, RenumberOutcome::PlanStale);
  EXPECT_EQ(r.failedTable, RenumberPlanPath());
  EXPECT_TRUE(RenumberingPending());
  std::vector<std::string> expected = mixed;
  expected.push_back("000777");
  EXPECT_EQ(Pieces('B'), expected);
}

TEST_F(RenumberTest, LockedTableRefusesTheRunAndChangesNothing) {
  MakeDossier();
  AddLines({{'C', "000007"}});
  Table other;
  ASSERT_TRUE(other.OpenTable(PathC50()));  // a second cursor keeps C50 open shared
  const RenumberResult r = RenumberPieces();
  EXPECT_EQ(r.outcome, RenumberOutcome::TableFailed);
  EXPECT_NE(r.failedTable.find("c50"), std::string::npos);
  other.CloseTable(true);
  EXPECT_EQ(Pieces('C'), (std::vector<std::string>{"000007"}));
}

// The command: the warning answered No changes nothing and gives the dossier back; Yes
// renumbers and says the next number.
TEST_F(RenumberTest, CommandAsksThenRenumbersAndGivesTheDossierBack) {
  MakeDossier();
  AddLines({{'C', "000040"}, {'B', "000020"}});
  ASSERT_TRUE(ReleaseDossierExclusive());  // the dossier is open, shared
  SetTextPromptHook([](const char*, const char*, std::string& answer) {
    const Ymd today = Today();
    answer = SupportCodeForDate(today.year, today.month, today.day);
    return true;
  });

  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDNO);
  CmRenumeroterPieces_Work();
  ASSERT_NE(gui::ModalSeam::LastShown(), nullptr);
  EXPECT_NE(gui::ModalSeam::LastShown()->text.find("000001"), std::string::npos);
  EXPECT_EQ(Pieces('C'), (std::vector<std::string>{"000040"}));
  EXPECT_EQ(GetDossierState(), '2');
  EXPECT_TRUE(OpenDossierExclusive(true));  // nobody holds it any more
  ASSERT_TRUE(ReleaseDossierExclusive());

  gui::ModalSeam::Reset();
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
  CmRenumeroterPieces_Work();
  EXPECT_EQ(Pieces('C'), (std::vector<std::string>{"000002"}));
  EXPECT_EQ(Pieces('B'), (std::vector<std::string>{"000001"}));
  const gui::ShownModal* end = gui::ModalSeam::LastShown();
  ASSERT_NE(end, nullptr);
  EXPECT_NE(end->text.find("La prochaine pi\xE8" "ce aura le num\xE9ro: 000003"), std::string::npos);
  EXPECT_EQ(GetDossierState(), '2');
  EXPECT_TRUE(OpenDossierExclusive(true));
  ReleaseDossierExclusive();

  // A wrong support password stops before the warning.
  gui::ModalSeam::Reset();
  SetTextPromptHook([](const char*, const char*, std::string& answer) {
    answer = "WRONG";
    return true;
  });
  CmRenumeroterPieces_Work();
  EXPECT_TRUE(gui::ModalSeam::Shown().empty());
  EXPECT_TRUE(OpenDossierExclusive(true));
  ReleaseDossierExclusive();
}

}  // namespace
}  // namespace dossier_test
