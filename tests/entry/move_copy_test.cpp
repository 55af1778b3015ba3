// Moving and copying a piece from the lines window, its target chosen in the dialog through the
// modal seam: the source as target asked again, analytic lines and sort records going along, the
// days fitted, cancelled lines staying, the only piece closing its window, the copy's date, label
// and "RAZ Montants", the windows of both journal-months refreshed, and another station's entry of
// the target or lock on a line refusing the command with nothing changed, the page kept full after a move
// from its end, and the copy refused on a full draft.
#include <cstdio>

#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "data/session.h"
#include "draft_limit.h"
#include "entry/core/move_copy.h"
#include "output_fixture.h"

namespace entry_test {
namespace {

using namespace entry;
using namespace posting;

constexpr unsigned kDeplacer = 20167, kCopier = 20169;

struct LineState {
  std::string month, journal, day, label;
  double euros = 0;
  bool cancelled = false;
};

class MoveCopyTest : public OutputTest {
 protected:
  // The lines of a piece of a journal-month (cancelled ones too) by record number.
  std::map<std::uint32_t, LineState> PieceLines(const std::string& journalMonth, const std::string& piece) {
    std::map<std::uint32_t, LineState> lines;
    Table c50;
    EXPECT_TRUE(c50.OpenShared(PathC50(), L::kCodeTag, true));
    const std::string key = LinePrefix(journalMonth) + piece;
    for (bool more = c50.Seek(L::kCodeTag, key.c_str()); more; more = c50.Skip(1)) {
      if (L::Key(c50).compare(0, key.size(), key) != 0) break;
      lines[c50.recordNumber] = State(c50);
    }
    return lines;
  }
  static LineState State(Table& c50) {
    return {c50.GetField(L::BMOIS), c50.GetField(L::BJAL), c50.GetField(L::BJOUR), RTrim(c50.GetField(L::BLIB)),
            c50.GetFieldNum(L::BMONTANTE), c50.IsDeleted()};
  }
  static LineState StateOf(std::uint32_t recno) {
    Table c50;
    EXPECT_TRUE(c50.OpenShared(PathC50(), "", true));
    EXPECT_TRUE(c50.GoTo(static_cast<long>(recno)));
    return State(c50);
  }
  static std::string SortDay(std::uint32_t recno) {
    Table c60;
    EXPECT_TRUE(c60.OpenShared(PathC60(), T::kRecordTag, true));
    EXPECT_TRUE(T::Find(c60, T::kDraft, recno));
    return c60.GetField(T::TJOUR);
  }
  // The piece's row selected in the window.
  static void Select(TWSaiBroDetJournaux* w, const std::string& piece) {
    ASSERT_TRUE(w->LocateRowByKey(w->Lines(), w->Prefix() + piece, 1, 1, 1));
  }
  // The dialog's answer: the journal and month chosen (and, for the copy, its fields).
  static void Target(const std::string& journal, const std::string& month, const std::string& date = "",
                     const std::string& label = "", bool clear = false, const std::string& shot = "") {
    gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [=](gui::Window& d) {
      auto& dialog = dynamic_cast<TDNouveauJournal&>(d);
      EXPECT_TRUE(dialog.SelectJournal(journal));
      EXPECT_TRUE(dialog.SelectMonth(month));
      if (dialog.DateEdit() != nullptr) {
        dialog.DateEdit()->SetValue(date, false);
        dialog.LabelEdit()->SetValue(label, false);
        dialog.ClearAmountsBox()->SetValue(clear, false);
      }
      if (!shot.empty()) {
        dialog.Show(gui::SW_SHOWNORMAL);
        test_support::Screenshot(dialog.OuterWidget(), "entry", shot);
      }
    });
  }
};

// A piece of the demo with analytic lines, moved to another journal through the dialog: the source
// asked as target first, which brings the dialog back.
TEST_F(MoveCopyTest, AMovedPieceTakesItsAnalyticLinesAndRefreshesBothWindows) {
  Open();
  Table c50;
  ASSERT_TRUE(c50.OpenShared(PathC50(), L::kAnalyticTag, true));
  for (bool more = c50.GoTop(L::kAnalyticTag); more; more = c50.Skip(1))
    if (!c50.IsDeleted() && c50.GetField(L::BCLE)[0] == 'W') break;
  ASSERT_FALSE(c50.eof);
  const std::string source = std::string(c50.GetField(L::BMOIS)) + c50.GetField(L::BJAL);
  const std::string piece = c50.GetField(L::BPIECE);
  const std::string target = source.substr(0, 4) + "OD ";
  c50.CloseTable();
  const auto before = PieceLines(source, piece);
  long live = 0;
  for (const auto& [recno, s] : before) live += s.cancelled ? 0 : 1;

  TWSaiBroDetJournaux* other = Saisir(target);
  ASSERT_NE(other, nullptr);
  const long otherRows = other->Store().totalRows;
  TWSaiBroDetJournaux* w = Saisir(source);
  ASSERT_NE(w, nullptr);
  const long rows = w->Store().totalRows;
  Select(w, piece);
  gui::ModalSeam::Reset();
  Target(source.substr(4, 3), source.substr(0, 4));  // the source itself: asked again
  Target("OD", source.substr(0, 4), "", "", false, "move_piece_1318");
  Send(w, kDeplacer);
  ASSERT_EQ(gui::ModalSeam::Shown().size(), 2u) << test_support::ShownTexts();
  EXPECT_EQ(gui::ModalSeam::Shown()[1].caption, "D\xE9placer pi\xE8" "ce '" + piece + "' sur Journal");
  EXPECT_EQ(w->CiblePiece().substr(0, 7), target);

  for (const auto& [recno, s] : before) {
    const LineState now = StateOf(recno);
    EXPECT_EQ(now.journal, s.cancelled ? source.substr(4, 3) : "OD ") << recno;
  }
  EXPECT_TRUE(PieceLines(target, piece).size() >= static_cast<std::size_t>(live));
  EXPECT_EQ(w->Store().totalRows, rows - live);
  EXPECT_EQ(other->Store().totalRows, otherRows + live);
  ExpectInvariants("after the move");
}

// Days past the target month's end become its last day, in the lines and their sort records;
// cancelled lines stay where they were; moving the only piece closes the window.
TEST_F(MoveCopyTest, DaysAreFittedCancelledLinesStayAndTheOnlyPieceClosesItsWindow) {
  Open();
  SeedMonth("C603CAI", {{"000071", "31", "60640000", '1', "Papier", 'D', 40.00},
                        {"000071", "31", "60640000", '1', "Papier faux", 'D', 44.00, true},
                        {"000071", "31", "53000000", '1', "Papier", 'C', 40.00},
                        {"000072", "12", "62600000", '0', "Timbres", 'D', 8.00},
                        {"000072", "12", "53000000", '0', "Timbres", 'C', 8.00}});
  const auto lines = PieceLines("C603CAI", "000071");
  ASSERT_EQ(lines.size(), 3u);
  TWSaiBroDetJournaux* w = Saisir("C603CAI");
  ASSERT_NE(w, nullptr);
  Select(w, "000071");
  Target("CAI", "C604");
  Send(w, kDeplacer);
  for (const auto& [recno, s] : lines) {
    const LineState now = StateOf(recno);
    if (s.cancelled) {
      EXPECT_EQ(now.month + now.day, "C60331") << "a cancelled line stays";
      continue;
    }
    EXPECT_EQ(now.month + now.day, "C60430");
    EXPECT_EQ(SortDay(recno), "30");
  }
  // On to February, from the April window.
  TWSaiBroDetJournaux* april = Saisir("C604CAI");
  ASSERT_NE(april, nullptr);
  Select(april, "000071");
  Target("CAI", "C602");
  Send(april, kDeplacer);
  for (const auto& [recno, s] : lines)
    if (!s.cancelled) { EXPECT_EQ(StateOf(recno).month + StateOf(recno).day, "C60228"); }
  // The April window had that piece alone: it has closed.
  gui::ProcessPendingMessages();
  EXPECT_EQ(WindowOf("C604CAI"), nullptr);
  EXPECT_NE(WindowOf("C603CAI"), nullptr);
  ExpectInvariants("after the moves");
}

// The copy: a new piece of the target journal's counter, the date and label of the dialog (a label
// without "\" keeps what followed the line's "\"), blank matching letters, "RAZ Montants".
TEST_F(MoveCopyTest, ACopyTakesTheDialogsDateLabelAndAmounts) {
  Open();
  SeedMonth("C611CAI", {{"000081", "31", "61320000", '1', "Loyer\\mars", 'D', 900.00},
                        {"000081", "31", "53000000", '1', "Sans barre", 'C', 900.00}});
  const JournalRecord cai = ReadJournal(*TableC10, "CAI");
  const std::string next = StrZero(cai.nextPiece(), 0);
  const std::string dossierCounter = TheDossierRecord.NextPiece();
  TWSaiBroDetJournaux* w = Saisir("C611CAI");
  ASSERT_NE(w, nullptr);
  Select(w, "000081");
  gui::ModalSeam::Reset();
  Target("CAI", "C612", "31/12/26", "Nouveau", false, "copy_piece_1319");
  Send(w, kCopier);
  EXPECT_EQ(gui::ModalSeam::Shown()[0].caption, "Copier pi\xE8" "ce '000081' sur Journal");
  auto copied = PieceLines("C612CAI", next);
  ASSERT_EQ(copied.size(), 2u) << test_support::ShownTexts();
  std::vector<std::string> labels;
  for (const auto& [recno, s] : copied) {
    labels.push_back(s.label);
    EXPECT_EQ(s.day, "31");
    EXPECT_EQ(s.euros, 900.00);
  }
  EXPECT_EQ(labels, (std::vector<std::string>{"Nouveau\\mars", "Nouveau"}));
  EXPECT_EQ(TheDossierRecord.NextPiece(), dossierCounter) << "CAI numbers its own pieces";
  EXPECT_EQ(w->Store().totalRows, 2) << "the source keeps its lines";
  // Again, with a label holding "\", a day of the month and the amounts reset.
  Select(w, "000081");
  Target("CAI", "C612", "15/12/26", "Avec\\barre", true);
  Send(w, kCopier);
  copied = PieceLines("C612CAI", StrZero(cai.nextPiece() + 1, 0));
  ASSERT_EQ(copied.size(), 2u);
  for (const auto& [recno, s] : copied) {
    EXPECT_EQ(s.label, "Avec\\barre");
    EXPECT_EQ(s.day, "15");
    EXPECT_EQ(s.euros, 0.0);
  }
  ExpectInvariants("after the copies");
}

// Another station: one enters the target journal-month, the other holds a line of the piece or its
// sort record. Each refuses the command with its message, and no file of the dossier changes.
std::string& LockedLineFile() {
  static std::string file;
  return file;
}
bool StationHoldingALine(char cmd) {
  static Table* c50 = nullptr;
  static Table* c60 = nullptr;
  if (cmd == 'l' || cmd == 'L' || cmd == 's' || cmd == 'S') {
    const bool line = cmd == 'l' || cmd == 'L';
    Table*& t = line ? c50 : c60;
    if (t == nullptr) {
      t = new Table();
      if (!t->OpenShared(LockedLineFile() + (line ? "c50je" : "c60je"), "")) return false;
    }
    // The last line of the draft, the one the test seeded last, or its sort record.
    if (!t->GoTo(static_cast<long>(t->RecCount()))) return false;
    return cmd == 'l' || cmd == 's' ? LockRecord(*t, nullptr, 0) : UnlockRecord(*t);
  }
  return OtherStation(cmd);
}

TEST_F(MoveCopyTest, AnotherStationsEntryOrLineLockRefusesAndChangesNothing) {
  StationFile() = C10Path(folder_, "JE");
  StationTargets() = {"C610CAI"};
  LockedLineFile() = folder_;
  test_support::OtherProcess station(&StationHoldingALine);
  Open();
  SeedMonth("C610CAI", {{"000001", "02", "62600000", '0', "Timbres", 'D', 8.00},
                        {"000001", "02", "53000000", '0', "Timbres", 'C', 8.00}});
  SeedMonth("C609CAI", {{"000091", "09", "62600000", '0', "Timbres", 'D', 5.00},
                        {"000091", "09", "53000000", '0', "Timbres", 'C', 5.00}});
  TWSaiBroDetJournaux* w = Saisir("C609CAI");
  ASSERT_NE(w, nullptr);
  auto files = TableFiles();

  // The target entered elsewhere: refused, for the move and for the copy.
  ASSERT_TRUE(station.Do('a'));
  for (unsigned command : {kDeplacer, kCopier}) {
    Select(w, "000091");
    gui::ModalSeam::Reset();
    Target("CAI", "C610");
    Send(w, command);
    EXPECT_NE(test_support::ShownTexts().find("Journal d\xE9j\xE0 en cours de Saisie sur un autre poste"), std::string::npos)
        << command << "\n" << test_support::ShownTexts();
    ExpectSameFiles(files, TableFiles(), "the target entered elsewhere");
  }
  ASSERT_TRUE(station.Do('A'));

  // A line of the piece held elsewhere: the move is refused before anything moves.
  ASSERT_TRUE(station.Do('l'));
  Select(w, "000091");
  gui::ModalSeam::Reset();
  Notices().clear();
  Target("CAI", "C608");
  Send(w, kDeplacer);
  EXPECT_EQ(Notices().size(), 1u) << "the lock notice names the line";
  EXPECT_NE(test_support::ShownTexts().find("Rien n'a \xE9t\xE9 d\xE9plac\xE9"), std::string::npos) << test_support::ShownTexts();
  ExpectSameFiles(files, TableFiles(), "a line held elsewhere");
  ASSERT_TRUE(station.Do('L'));
  // The sort record of a line held elsewhere: refused the same way.
  ASSERT_TRUE(station.Do('s'));
  Select(w, "000091");
  gui::ModalSeam::Reset();
  Target("CAI", "C608");
  Send(w, kDeplacer);
  EXPECT_NE(test_support::ShownTexts().find("Rien n'a \xE9t\xE9 d\xE9plac\xE9"), std::string::npos) << test_support::ShownTexts();
  ExpectSameFiles(files, TableFiles(), "a sort record held elsewhere");
  ASSERT_TRUE(station.Do('S'));
  // Free again: the move goes through.
  Select(w, "000091");
  Target("CAI", "C608");
  Send(w, kDeplacer);
  EXPECT_EQ(PieceLines("C608CAI", "000091").size(), 2u);
  ExpectInvariants("after the move");
}

// The last piece moved from a journal-month longer than a page: the page stays full and ends on the
// journal-month's last line, with no marker past it.
TEST_F(MoveCopyTest, AMoveFromTheLastPageLeavesAFullPage) {
  Open();
  std::vector<Seed> lines;
  for (int p = 1; p <= 40; ++p) {
    char piece[8];
    std::snprintf(piece, sizeof piece, "%06d", 700 + p);
    lines.push_back({piece, "05", "62600000", '0', "Timbres", 'D', 8.00});
    lines.push_back({piece, "05", "53000000", '0', "Timbres", 'C', 8.00});
  }
  SeedMonth("C605CAI", lines);
  TWSaiBroDetJournaux* w = Saisir("C605CAI");
  ASSERT_NE(w, nullptr);
  gui::ProcessPendingMessages();
  const int rpp = w->Store().rowsPerPage;
  ASSERT_LT(rpp, 78);
  ASSERT_EQ(w->Store().top, w->Store().LastTop());
  Select(w, "000740");
  Target("CAI", "C606");
  Send(w, kDeplacer);
  ASSERT_EQ(w->Store().totalRows, 78);
  EXPECT_EQ(w->Store().top, 78 - rpp);
  const std::string& last = w->Store().rows[static_cast<std::size_t>(rpp - 1)];
  EXPECT_EQ(w->Cell(last, TWSaiBroDetJournaux::kBpiece), "000739") << "the page ends on the last line";
  const test_support::Picture shot = test_support::OnScreen(w->View()->Widget());
  shot.Save(test_support::ArtefactPath("framework", "lines_after_move.png"));
  const int rh = CMDIBrowse::RowHeightPixels();
  EXPECT_NE(shot.Pixel(CMDIBrowse::CharWidthPixels() / 2, rpp * rh + rh / 2), test_support::Picture::kWhite)
      << "the last row has its marker";
}

// The draft at its record limit: the copy is refused with its message and nothing is written.
TEST_F(MoveCopyTest, ACopyOnAFullDraftWritesNothing) {
  Open();
  SeedMonth("C611CAI", {{"000081", "31", "61320000", '1', "Loyer", 'D', 900.00},
                        {"000081", "31", "53000000", '1', "Loyer", 'C', 900.00}});
  TWSaiBroDetJournaux* w = Saisir("C611CAI");
  ASSERT_NE(w, nullptr);
  const auto files = TableFiles();
  DraftLimitGuard limit(1);
  Select(w, "000081");
  gui::ModalSeam::Reset();
  Target("CAI", "C612");
  Send(w, kCopier);
  EXPECT_NE(test_support::ShownTexts().find("999 999 lignes:\nrien n'a \xE9t\xE9 copi\xE9"), std::string::npos)
      << test_support::ShownTexts();
  ExpectSameFiles(files, TableFiles(), "the copy on a full draft");
}

}  // namespace
}  // namespace entry_test
