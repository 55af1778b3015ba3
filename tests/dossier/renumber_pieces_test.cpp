// Piece renumbering: new numbers in the order of the old ones, pieces told apart by their
// text, distribution pieces kept, the next piece number rebuilt, and a run stopped while it
// writes that the next run finishes (the golden maintenance test checks the files written).
#include <cerrno>
#include <filesystem>
#include <vector>

#include "data/dossier_lock.h"
#include "data/error_report.h"
#include "demo/dossier_demo.h"
#include "dossier/core/dossier_run_marker.h"
#include "dossier/core/maintenance_rebuild.h"
#include "dossier/core/renumber_pieces.h"
#include "dossier/renumber_window.h"
#include "dossier_window_test.h"
#include "platform/system/write_fault.h"
#include "runtime/code_helpers.h"
#include "runtime/numbers.h"
#include "runtime/text.h"
#include "support/books_writes.h"
#include "support/refused_read.h"

namespace dossier_test {
namespace {

// One line as the test writes it: on 41100000, the 15th of its month.
struct Line {
  char file;  // 'C' closed (C40), 'B' draft (C50)
  std::string piece;
  std::string month = "C601";
};

class RenumberTest : public ModalSessionTest {
 protected:
  void TearDown() override {
    SetTextPromptHook(nullptr);
    CloseAllTables();
    ModalSessionTest::TearDown();
  }

  // An empty dossier "TST" in its own folder, made the open one.
  void MakeDossier() {
    std::string message;
    EXPECT_TRUE(CreateDossier(Dir() + "/d/", "TST", "Essai", Ymd{2026, 1, 1}, Ymd{2026, 12, 31}, &message)) << message;
    SetDossier(Dir() + "/d/", "TST");
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
    const test_support::SetUpPermit permit("lignes mises en place");
    for (const Line& l : lines) {
      Table& t = LineTable(l.file);
      ASSERT_TRUE(t.OpenShared(LinePath(l.file)));
      ASSERT_TRUE(t.AppendBlank());
      const bool closed = l.file == 'C';  // the fields: account, month, day, journal
      for (const auto& [field, text] : std::vector<std::pair<int, std::string>>{
               {1, "Z"}, {closed ? 2 : 10, "41100000"}, {closed ? 3 : 2, l.month}, {closed ? 4 : 8, "15"},
               {closed ? 5 : 3, "VE"}, {PieceField(l.file), l.piece}})
        t.PutField(field, text.c_str());
      ASSERT_TRUE(t.InsertRecord());
    }
    CloseAllTables();
  }

  // Pieces of every line of one file (cancelled ones too), in physical order.
  static std::vector<std::string> Pieces(char file) {
    std::vector<std::string> out;
    maintenance_test::EachRecord(LineTable(file), LinePath(file),
                                 [&](Table& t) { out.emplace_back(RTrim(t.GetField(PieceField(file)))); });
    return out;
  }

  // Piece k of the draft becomes piece 2 (max + 1 - k) + 1: numbers with gaps, in reverse,
  // so that renumbering gives most pieces a number that another piece holds now.
  static void SpreadDraftPieces() {
    const test_support::SetUpPermit permit("pieces espacees");
    long max = 0;
    for (const std::string& p : Pieces('B')) max = std::max(max, static_cast<long>(Val(p.c_str())));
    maintenance_test::EachRecord(*TableC50, PathC50(), [&](Table& t) {
      t.PutField(4, StrZero(2 * (max + 1 - static_cast<long>(Val(t.GetField(4)))) + 1, 0));
    });
  }

  // The sort file's records (its header's date of last update aside).
  static std::string SortRecords() { return ReadFile(std::string(PathC60()) + ".dbf").substr(4); }

  static std::string StoredNextPiece() {
    Table& t = *TableC10;
    EXPECT_TRUE(t.OpenShared(PathC10(), "C10CODE"));
    EXPECT_TRUE(t.Seek("C10CODE", "0"));
    const std::string next = SubStr(t.GetField(4), 165, 6);
    t.CloseTable(true);
    return next;
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

// New numbers follow the old order across closed and draft lines; pieces are told apart by
// their text (blank and "000000" both read as 0, "00012A" and "00012B" both as 12) and
// distribution pieces keep theirs.
TEST_F(RenumberTest, NumbersFollowTheOldOrderOfThePiecesTexts) {
  MakeDossier();
  AddLines({{'C', "00012B"}, {'C', "00012A"}, {'B', "000000"}, {'B', "ABC"}, {'B', "Ventil"}, {'C', "00012A", "C602"},
            {'B', ""}, {'C', "000000", "C603"}});
  const RenumberResult r = RenumberPieces();
  ASSERT_EQ(r.outcome, RenumberOutcome::Done);
  EXPECT_FALSE(r.resumed);
  EXPECT_EQ(r.pieces, 5);
  EXPECT_TRUE(r.nextWritten);
  EXPECT_EQ(Pieces('C'), (std::vector<std::string>{"000004", "000003", "000003", "000002"}));
  EXPECT_EQ(Pieces('B'), (std::vector<std::string>{"000002", "000005", "Ventil", "000001"}));
  EXPECT_EQ(StoredNextPiece(), "000006");
  EXPECT_EQ(TheDossierRecord.NextPiece(), "000006");
  EXPECT_FALSE(fs::exists(RenumberPlanPath()));
}

// Pieces that are not digits take their numbers in the order of the sort file's code tag,
// accented letters beside their base letter and capitals before small letters, not in the
// order of their bytes.
TEST_F(RenumberTest, NumbersFollowTheCodeTagsOrderOfLetters) {
  MakeDossier();
  AddLines({{'C', "F00001"}, {'B', "e00001"}, {'B', "\xC9" "00001"}, {'C', "E00001"}});
  ASSERT_EQ(RenumberPieces().outcome, RenumberOutcome::Done);
  EXPECT_EQ(Pieces('C'), (std::vector<std::string>{"000003", "000001"}));
  EXPECT_EQ(Pieces('B'), (std::vector<std::string>{"000004", "000002"}));
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
  EXPECT_TRUE(SortRecords() == expectedSort);
}

// Refuses the next file change once (a full disk or an I/O error) at one place of the run: the
// plan's first write ("RAZ" of the sort file), a line written back, or the refill of the sort file
// (its second "RAZ").
class RefuseOnce : public RenumberObserver {
 public:
  enum Where { Plan, Line, Refill };
  RefuseOnce(Where where, platform::WriteFault fault) : where_(where), fault_(fault) {}
  ~RefuseOnce() override { platform::SetWriteFault(platform::WriteFault::kNone, 0); }
  void SetLine2(const std::string& text) override {
    if (text == "RAZ" && ++resets_ == (where_ == Plan ? 1 : where_ == Refill ? 2 : 0)) Arm();
  }
  bool StopNow() override {
    if (where_ == Line && ++written_ == 20) Arm();
    return false;
  }

 private:
  void Arm() { platform::SetWriteFault(fault_, 1); }
  Where where_;
  platform::WriteFault fault_;
  int resets_ = 0;
  long written_ = 0;
};

// A write refused while the run goes on ends the run as a failure that names the file and what the
// disk said (full, or an error writing): refused before any line changed, the dossier is as it was and nothing
// stays marked; refused later, the run's marker (and its plan while lines were written) stays for
// the opening, and the run made again then ends as an uncut run.
TEST_F(RenumberTest, RefusedWriteFailsTheRunAndLeavesWhatFinishesIt) {
  MakeDemo("straight", 300);
  SpreadDraftPieces();
  ASSERT_EQ(RenumberPieces().outcome, RenumberOutcome::Done);
  const std::vector<std::string> expected = Pieces('B');
  const std::string expectedNext = StoredNextPiece();

  struct Case {
    RefuseOnce::Where where;
    platform::WriteFault fault;
    const char* file;  // the file named
    bool marked;       // the marker stays (else the dossier is as it was)
    bool planKept;
  };
  using F = platform::WriteFault;
  const Case cases[] = {
      {RefuseOnce::Plan, F::kFullOnce, "c60demo.dbf", false, false},
      {RefuseOnce::Plan, F::kFailOnce, "c60demo.dbf", false, false},
      {RefuseOnce::Line, F::kFullOnce, "c50demo.dbf", true, true},
      {RefuseOnce::Line, F::kFailOnce, "c50demo.dbf", true, true},
      {RefuseOnce::Refill, F::kFullOnce, "c60demo.dbf", true, false},
      {RefuseOnce::Refill, F::kFailOnce, "c60demo.dbf", true, false},
  };
  int n = 0;
  for (const Case& c : cases) {
    const bool full = c.fault == F::kFullOnce;
    SCOPED_TRACE("case " + std::to_string(n) + (full ? " ENOSPC" : " EIO"));
    MakeDemo("refused" + std::to_string(n++), 300);
    SpreadDraftPieces();
    const std::vector<std::string> before = Pieces('B');
    RenumberResult r;
    {
      RefuseOnce refuse(c.where, c.fault);
      r = RenumberPieces(&refuse);
    }
    EXPECT_EQ(r.outcome, c.marked ? RenumberOutcome::WriteRefused : RenumberOutcome::WriteRefusedUndone);
    EXPECT_EQ(fs::path(r.failedTable).filename().string(), c.file);
    EXPECT_EQ(r.diskFull, full);
    const std::string message = RenumberRefusalMessage(r);
    EXPECT_NE(message.find(r.failedTable), std::string::npos) << message;
    EXPECT_EQ(message.find("disque plein") != std::string::npos, full) << message;
    EXPECT_NE(message.find(c.marked ? "prochaine ouverture" : "tel qu'il"), std::string::npos) << message;
    // The whole message: the file refused, the full disk when it is, then what became of the dossier.
    const std::string head = "\n\n\nLa ReNum\xE9rotation s'est arr\xEAt\xE9" "e: l'\xE9" "criture du fichier suivant a "
                             "\xE9t\xE9 refus\xE9" "e:\n\n   ";
    const std::string tail = c.marked ? "\n\nLe dossier reste marqu\xE9: la ReNum\xE9rotation sera termin\xE9" "e \xE0 "
                                        "sa prochaine ouverture.\n\n\n"
                                      : "\n\nRien n'a \xE9t\xE9 renum\xE9rot\xE9: le dossier est rest\xE9 tel qu'il "
                                        "\xE9tait.\n\n\n";
    EXPECT_EQ(message, head + r.failedTable + "\n\n   " +
                           (full ? DiskFullText(r.failedTable) : "erreur d'\xE9" "criture sur le disque") + tail);
    EXPECT_EQ(DossierRunMarkerExists(), c.marked);
    EXPECT_EQ(RenumberingPending(), c.planKept);
    if (!c.marked) {
      EXPECT_EQ(Pieces('B'), before);
      continue;
    }
    // What the opening does with the marker: the run made again, in the stopped run's place.
    const DossierRunMarkerTakeOver opening;
    const RenumberResult again = RenumberPieces();
    ASSERT_EQ(again.outcome, RenumberOutcome::Done);
    EXPECT_EQ(again.resumed, c.planKept);
    EXPECT_FALSE(RenumberingPending());
    EXPECT_EQ(Pieces('B'), expected);
    EXPECT_EQ(StoredNextPiece(), expectedNext);
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
    const test_support::SetUpPermit permit("enregistrement de tri mis en place");
    // The entry writes the line's sort record too.
    Table c60;
    ASSERT_TRUE(c60.OpenShared(PathC60()));
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

// The command: the warning answered Yes renumbers, says the next number and gives the
// dossier back.
TEST_F(RenumberTest, CommandRenumbersAndGivesTheDossierBack) {
  MakeDossier();
  AddLines({{'C', "000040"}, {'B', "000020"}});
  ASSERT_TRUE(ReleaseDossierExclusive());  // the dossier is open, shared
  SetTextPromptHook([](const char*, const char*, std::string& answer) {
    const Ymd today = Today();
    answer = SupportCodeForDate(today.year, today.month, today.day);
    return true;
  });

  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
  CmRenumeroterPieces();
  EXPECT_EQ(Pieces('C'), (std::vector<std::string>{"000002"}));
  EXPECT_EQ(Pieces('B'), (std::vector<std::string>{"000001"}));
  const gui::ShownModal* end = gui::ModalSeam::LastShown();
  ASSERT_NE(end, nullptr);
  EXPECT_NE(end->text.find("La prochaine pi\xE8" "ce aura le num\xE9ro: 000003"), std::string::npos);
  EXPECT_EQ(GetDossierState(), '2');
  EXPECT_TRUE(OpenDossierExclusive(true));  // nobody holds it any more
  ReleaseDossierExclusive();
}

}  // namespace
// A renumbering whose run marker the system refuses (a full disk, an I/O error, a disk made
// read-only) renumbers nothing, and says so and why: the cause named after the marker's file.
TEST_F(RenumberTest, AMarkerRefusedSaysNothingWasRenumberedAndWhy) {
  constexpr int kMsgMarkerNotWritten = 19897;
  using F = platform::WriteFault;
  const struct {
    F fault;
    int err;  // what the disk said
  } cases[] = {{F::kFullOnce, ENOSPC}, {F::kFailOnce, EIO}, {F::kFailForGood, EROFS}};
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE("case " + std::to_string(n));
    MakeDemo("marker" + std::to_string(n++), 120);
    SpreadDraftPieces();
    const std::vector<std::string> before = Pieces('B');
    platform::SetWriteFault(c.fault, 1);
    const RenumberResult r = RenumberPieces();
    platform::SetWriteFault(F::kNone, 0);
    ASSERT_EQ(r.outcome, RenumberOutcome::MarkerFailed);
    const std::string cause = FileRefusalText(r.failedTable, c.err);
    EXPECT_NE(cause.find(c.err == ENOSPC ? "disque plein" : c.err == EIO ? "erreur d'\xE9" "criture" : "lecture seule"),
              std::string::npos) << cause;
    EXPECT_EQ(DossierRunMarkerRefusal(r.failedTable),
              FillPlaceholders(LoadStr(kMsgMarkerNotWritten), {r.failedTable, "\n\n   " + cause}));
    EXPECT_FALSE(DossierRunMarkerExists());
    EXPECT_FALSE(RenumberingPending());
    EXPECT_EQ(Pieces('B'), before);
  }
}

// A read the disk refuses as the renumbering takes the dossier or its tables alone: the header of
// the lock table, of the general file, of a line or sort file. Each is said as a read refused, with
// its file and that nothing was renumbered; never as a table another station holds. The pieces stay.
TEST_F(RenumberTest, AReadRefusedWhileTakingTheTablesIsSaidAsSuch) {
  using test_support::RefusedRead;
  SetTextPromptHook([](const char*, const char*, std::string& answer) {
    const Ymd today = Today();
    answer = SupportCodeForDate(today.year, today.month, today.day);
    return true;
  });
  const std::string held = "Assurez-vous qu'aucun poste", exclusive = "ne peut pas \xEAtre ouvert en mode EXCLUSIF";
  // The run itself, each table it opens alone unread at its header.
  for (const char* table : {"c40demo.dbf", "c50demo.dbf", "c60demo.dbf"}) {
    SCOPED_TRACE(table);
    const std::string folder = MakeDemo(std::string("unread-") + table, 120);
    SpreadDraftPieces();
    const std::vector<std::string> before = Pieces('B');
    RefusedRead::Arm("/" + std::string(table), 1);
    const RenumberResult r = RenumberPieces();
    RefusedRead::Disarm();
    EXPECT_EQ(r.outcome, RenumberOutcome::WriteRefusedUndone);
    EXPECT_TRUE(r.readRefused);
    const std::string message = RenumberRefusalMessage(r);
    EXPECT_NE(message.find(ReadErrorText(folder + table)), std::string::npos) << message;
    EXPECT_NE(message.find("Rien n'a \xE9t\xE9 renum\xE9rot\xE9"), std::string::npos) << message;
    EXPECT_FALSE(DossierRunMarkerExists());
    EXPECT_EQ(Pieces('B'), before);
  }
  // The command, the dossier closed: its lock table, then its general file, unread.
  for (const char* file : {"cdemo___.dbf", "c10demo.dbf"}) {
    SCOPED_TRACE(file);
    const std::string folder = MakeDemo(std::string("command-") + file, 60);
    const std::vector<std::string> before = Pieces('B');
    CloseAllTables();
    DossierLockTable->CloseTable(true);
    gui::ModalSeam::Reset();
    Boxes().clear();
    RefusedRead::Arm("/" + std::string(file), 1);
    CmRenumeroterPieces();
    RefusedRead::Disarm();
    // The boxes of the window layer, and those of the data layer (through the runtime's hook).
    std::vector<std::string> said = Boxes();
    for (const gui::ShownModal& b : gui::ModalSeam::Shown())
      if (b.kind == gui::ModalKind::MessageBox) {
        said.push_back(b.text);
        test_support::ScreenshotMessage(b, "dossier", std::string("renumber-unread-") + file);
      }
    ASSERT_EQ(said.size(), 1u) << test_support::ShownTexts();
    EXPECT_NE(said[0].find(ReadErrorText(folder + file)), std::string::npos) << said[0];
    EXPECT_EQ(said[0].find(held), std::string::npos) << said[0];
    EXPECT_EQ(said[0].find(exclusive), std::string::npos) << said[0];
    EXPECT_EQ(Pieces('B'), before);
  }
}

}  // namespace dossier_test
