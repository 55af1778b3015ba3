// The journal lines window: piece order with every other piece shaded (cancelled lines' pieces
// counted), an account's balance on a click, "Annuler" and "Réactiver" keeping every total right,
// "Annuler" over a line's own unread amount naming the totals left, a matched line that cannot be
// cancelled, the balance questions at closing, "Créer Pièce" refused while the slot's line form is
// open, and new lines and pieces refused on a full draft.
#include <climits>
#include <cstdio>
#include <random>

#include "data/session.h"
#include "dossier/core/dossier_create.h"
#include "draft_limit.h"
#include "posting/line_changes.h"
#include "posting/line_save.h"
#include "entry_fixture.h"
#include "platform/system/files.h"
#include "runtime/numbers.h"
#include "runtime/text.h"
#include "shell/application.h"
#include "support/access_rights.h"
#include "support/books_writes.h"
#include "support/line_files.h"
#include "support/refused_read.h"
#include "support/refused_write.h"

namespace entry_test {
namespace {

using namespace entry;
using namespace posting;

class LinesWindowTest : public EntryTest {
 protected:
  // The pieces of a journal-month in key order, cancelled lines included, with whether each piece
  // holds only cancelled lines.
  std::vector<std::pair<std::string, bool>> Pieces(const std::string& journalMonth) {
    std::vector<std::pair<std::string, bool>> pieces;
    Table c50;
    EXPECT_TRUE(c50.OpenShared(PathC50(), L::kCodeTag, true));
    const std::string prefix = LinePrefix(journalMonth);
    for (bool more = c50.Seek(L::kCodeTag, prefix.c_str()); more && InJournal(c50, prefix); more = c50.Skip(1)) {
      const std::string piece = c50.GetField(L::BPIECE);
      if (pieces.empty() || pieces.back().first != piece) pieces.emplace_back(piece, true);
      if (!c50.IsDeleted()) pieces.back().second = false;
    }
    return pieces;
  }
  // A journal-month with a piece of cancelled lines only, in its middle.
  std::string MonthWithCancelledPiece() {
    for (const auto& [month, count] : JournalMonths()) {
      const auto pieces = Pieces(month);
      for (std::size_t i = 1; i + 1 < pieces.size(); ++i)
        if (pieces[i].second) return month;
    }
    return {};
  }
  static bool Shaded(TWSaiBroDetJournaux* w, int row) {
    w->GetCellTextColor(row, 2);
    return w->stripe_;
  }
};

TEST_F(LinesWindowTest, EveryOtherPieceIsShadedCountingCancelledPieces) {
  Open();
  const std::string month = MonthWithCancelledPiece();
  ASSERT_FALSE(month.empty()) << "the generated dossier holds a cancelled piece inside a journal-month";
  TWSaiBroDetJournaux* w = Saisir(month);
  ASSERT_NE(w, nullptr);
  w->FinishShading();
  const auto pieces = Pieces(month);
  std::map<std::string, bool> shaded;
  for (std::size_t i = 0; i < pieces.size(); ++i) shaded[pieces[i].first] = i % 2 == 1;
  // From the first line, page after page, in piece order.
  w->GoFirst();
  std::string lastKey;
  long seen = 0;
  for (;;) {
    for (int i = 1; i <= w->Store().rowsPerPage && w->Store().top + i <= w->Store().totalRows; ++i) {
      const std::string& row = w->Store().rows[static_cast<std::size_t>(i - 1)];
      const std::string key = row.substr(7, 24);
      if (w->Store().top + i <= seen) continue;
      EXPECT_LT(lastKey, key) << "piece order";
      lastKey = key;
      ++seen;
      EXPECT_EQ(Shaded(w, i), shaded[w->Cell(row, TWSaiBroDetJournaux::kBpiece)]) << key;
    }
    if (w->Store().top >= w->Store().LastTop()) break;
    w->PageDown();
  }
  EXPECT_EQ(seen, w->Store().totalRows);
  Table c50;
  ASSERT_TRUE(c50.OpenShared(PathC50(), L::kCodeTag, true));
  EXPECT_EQ(w->Store().totalRows, CountJournalLines(c50, LinePrefix(month)));

  // The picture: a cancelled line among shaded pieces.
  for (const auto& [piece, cancelled] : pieces)
    if (cancelled) { ASSERT_TRUE(w->LocateRowByKey(w->Lines(), LinePrefix(month) + piece, 1, 1, 1)); }
  w->InvalidateSelectedRow();
  gui::ProcessPendingMessages();
  test_support::Screenshot(MainFrame->OuterWidget(), "entry", "lines_window");
}

// The lines of a journal-month are counted on the index file, read directly; when that file
// cannot be read (here moved aside while the table holds it open, so only the direct read
// misses it) they are counted by a walk of the table: the same count for every journal-month,
// cancelled lines included, and none for a journal-month without lines.
TEST_F(LinesWindowTest, JournalLinesCountedOnTheIndexOrByAWalkAlike) {
  Open();
  Table c50;
  ASSERT_TRUE(c50.OpenShared(PathC50(), L::kCodeTag, true));
  const std::string index = platform::ResolvePath(c50.indexPath);
  std::vector<std::string> months;
  for (const auto& [month, count] : JournalMonths()) months.push_back(month);
  ASSERT_GT(months.size(), 3u);
  months.push_back("9912ZZZ");
  std::vector<long> onIndex, byWalk;
  for (const std::string& month : months) onIndex.push_back(CountJournalLines(c50, LinePrefix(month)));
  ASSERT_EQ(std::rename(index.c_str(), (index + ".aside").c_str()), 0);
  for (const std::string& month : months) byWalk.push_back(CountJournalLines(c50, LinePrefix(month)));
  ASSERT_EQ(std::rename((index + ".aside").c_str(), index.c_str()), 0);
  EXPECT_EQ(onIndex, byWalk);
  EXPECT_GT(onIndex.front(), 10);
  EXPECT_EQ(onIndex.back(), 0);
}

TEST_F(LinesWindowTest, AClickShowsTheAccountsBalance) {
  Open();
  TWSaiBroDetJournaux* w = Saisir(JournalMonths()[0].first);
  ASSERT_NE(w, nullptr);
  w->GoFirst();
  const int y = 2 * CMDIBrowse::RowHeightPixels() + 3;
  w->EvLButtonDown(0, gui::Point{60, y});
  ASSERT_EQ(w->GetSelectedRowIndex(), 2);
  const std::string account = w->Cell(w->SelectedRow(), TWSaiBroDetJournaux::kAccount);
  ASSERT_TRUE(TableC20->Seek("C20CODE", account.c_str()));
  const long long balance = ToCents(TableC20->GetFieldNum(18)) - ToCents(TableC20->GetFieldNum(20));
  EXPECT_EQ(w->BalanceText().substr(0, 9), account + " ");
  EXPECT_NE(w->BalanceText().find(std::string("Solde ") + Trimmed(BalanceAmount(balance)) + " Euros"), std::string::npos)
      << w->BalanceText();
  EXPECT_EQ(MessageBar->GetText(), w->BalanceText());
  EXPECT_EQ(RegistryText(3944, 8), account);
}

TEST_F(LinesWindowTest, CancelAndReactivateKeepEveryTotalAndAMatchedLineStays) {
  Open();
  const std::string month = JournalMonths()[0].first;
  TWSaiBroDetJournaux* w = Saisir(month);
  ASSERT_NE(w, nullptr);
  Table c50;
  ASSERT_TRUE(c50.OpenShared(PathC50(), L::kCodeTag));
  std::mt19937 random(5);
  for (int step = 0; step < 16; ++step) {
    w->SelectRow(1 + static_cast<long>(random() % static_cast<unsigned>(w->Store().totalRows)), 1);
    const std::uint32_t recno = static_cast<std::uint32_t>(w->Store().RecordNumberOf(w->GetSelectedRowIndex() - 1));
    const bool cancel = random() % 2 == 0;
    Send(w, cancel ? 20029u : 20031u);
    ASSERT_TRUE(c50.GoTo(recno));
    EXPECT_EQ(c50.IsDeleted(), cancel) << step;
    EXPECT_EQ(w->Store().MarkerOf(w->GetSelectedRowIndex() - 1), cancel ? kMarkerCancelled : kMarkerOrdinary);
  }
  ExpectInvariants("after the window's cancellations");

  // A matched line: "Annuler" greyed, and refused with a beep when sent all the same.
  w->GoFirst();
  w->SelectRow(1, 1);
  std::uint32_t recno = static_cast<std::uint32_t>(w->Store().RecordNumberOf(0));
  Send(w, 20031);
  {
    const test_support::SetUpPermit permit("ligne lettree");
    ASSERT_TRUE(c50.GoTo(recno));
    ASSERT_TRUE(c50.PutField(L::BLETE, "AA"));
    Table c60;
    ASSERT_TRUE(c60.OpenShared(PathC60(), T::kRecordTag));
    ASSERT_TRUE(SortRecordFollows(c50, c60, ""));
  }
  w->CmRafraichirTotal();
  gui::CommandEnabler ce(20029);
  ASSERT_TRUE(w->EvCommandEnable(ce));
  EXPECT_FALSE(ce.Enabled());
  const int beeps0 = beeps;
  Send(w, 20029);
  EXPECT_GT(beeps, beeps0);
  ASSERT_TRUE(c50.GoTo(recno));
  EXPECT_FALSE(c50.IsDeleted());
  ExpectInvariants("after the refusals");
}

TEST_F(LinesWindowTest, AnUnbalancedJournalMonthAsksInFrancsThenInEurosAndStaysOnNo) {
  Open();
  TWSaiBroDetJournaux* w = Saisir(JournalMonths()[0].first);
  ASSERT_NE(w, nullptr);
  // A live line cancelled: the journal-month is out of balance in both currencies.
  for (long row = 1; row <= w->Store().totalRows; ++row) {
    w->SelectRow(row, 1);
    if (w->Store().MarkerOf(w->GetSelectedRowIndex() - 1) == kMarkerOrdinary) break;
  }
  Send(w, 20029);
  const gui::Handle h = w->GetHandle();
  auto close = [&](std::initializer_list<int> answers) {
    gui::ModalSeam::Reset();
    for (int a : answers) gui::ModalSeam::QueueMessageBoxAnswer(a);
    gui::SendMessage(h, gui::WM_CLOSE);
    gui::ProcessPendingMessages();
    return gui::Window::FromHandle(h) != nullptr;
  };
  EXPECT_TRUE(close({gui::IDNO}));
  ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u);
  const gui::ShownModal francs = gui::ModalSeam::Shown()[0];
  EXPECT_NE(francs.text.find("n'est pas \xE9quilibr\xE9 en Francs"), std::string::npos) << francs.text;
  EXPECT_NE(francs.text.find("Ce journal: " + JournalOf(JournalMonths()[0].first) + " de "), std::string::npos);
  EXPECT_EQ(francs.defaultButton, gui::IDNO);
  EXPECT_TRUE(close({gui::IDYES, gui::IDNO}));
  ASSERT_EQ(gui::ModalSeam::Shown().size(), 2u);
  EXPECT_NE(gui::ModalSeam::Shown()[1].text.find("n'est pas \xE9quilibr\xE9 en Euros"), std::string::npos);
  test_support::ScreenshotMessage(gui::ModalSeam::Shown()[1], "entry", "unbalanced_question");
  EXPECT_FALSE(close({gui::IDYES, gui::IDYES}));
  EXPECT_FALSE(SlotInUse(0));
}

// A line whose euro amount holds "12,34" (read by the lenient reading as 1,234.00): the closing
// names it in a box of its own, then asks about the euro balance without it, as every report
// counts it.
TEST_F(LinesWindowTest, ALineWhoseAmountDoesNotReadIsNamedBeforeTheBalanceQuestion) {
  Open();
  const std::string month = JournalMonths()[0].first;
  std::uint32_t damaged = 0;
  long long cents = 0;
  char sense = 'D';
  std::string piece;
  {
    Table c50;
    ASSERT_TRUE(c50.OpenShared(PathC50(), L::kCodeTag, true));
    const std::string prefix = LinePrefix(month);
    for (bool more = c50.Seek(L::kCodeTag, prefix.c_str()); more && InJournal(c50, prefix) && damaged == 0;
         more = c50.Skip(1))
      if (!c50.IsDeleted() && c50.GetFieldNum(L::BMONTANTE) != 0) {
        damaged = c50.recordNumber;
        cents = ToCents(c50.GetFieldNum(L::BMONTANTE));
        sense = c50.GetField(L::BSENS)[0];
        piece = c50.GetField(L::BPIECE);
      }
  }
  ASSERT_NE(damaged, 0u);
  test_support::RawRecords(std::string(PathC50()) + ".dbf").Put(damaged, "BMONTANTE", "12,34");
  TWSaiBroDetJournaux* w = Saisir(month);
  ASSERT_NE(w, nullptr);
  gui::ModalSeam::Reset();
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDNO);
  EXPECT_FALSE(w->CanClose());
  ASSERT_EQ(gui::ModalSeam::Shown().size(), 2u) << test_support::ShownTexts();
  const gui::ShownModal named = gui::ModalSeam::Shown()[0];
  EXPECT_EQ(named.caption, "ATTENTION - Montants illisibles");
  EXPECT_NE(named.text.find("C50 enregistrement " + std::to_string(damaged) + ", pi\xE8" "ce " + Trimmed(piece)),
            std::string::npos)
      << named.text;
  test_support::ScreenshotMessage(named, "entry", "unreadable_amount_at_closing");
  const long long balance = sense == 'D' ? -cents : cents;
  EXPECT_NE(gui::ModalSeam::Shown()[1].text.find(std::string("Solde E: ") + Trimmed(BalanceAmount(balance))),
            std::string::npos)
      << gui::ModalSeam::Shown()[1].text;
}

// "Annuler" on a line whose own euros do not read: the line goes with what it carries, nothing comes off
// its account's total (the amount could not be read), and one box names its account's and its
// journal-month's totals, which still count it, and advises the ReConstruction.
TEST_F(LinesWindowTest, AnnulerOverALinesOwnUnreadAmountNamesTheTotalsThatStillCountIt) {
  Open();
  const std::string month = JournalMonths()[0].first;
  TWSaiBroDetJournaux* w = Saisir(month);
  ASSERT_NE(w, nullptr);
  Table c50;
  ASSERT_TRUE(c50.OpenShared(PathC50(), L::kCodeTag, true));
  long row = 1;
  std::uint32_t recno = 0;
  for (; row <= w->Store().totalRows && recno == 0; ++row) {
    w->SelectRow(row, 1);
    const std::uint32_t r = static_cast<std::uint32_t>(w->Store().RecordNumberOf(w->GetSelectedRowIndex() - 1));
    if (r != 0 && c50.GoTo(r) && !c50.IsDeleted() && !IsLettered(c50) && ToCents(c50.GetFieldNum(L::BMONTANTE)) != 0)
      recno = r;
  }
  ASSERT_NE(recno, 0u);
  const LineRecord line = ReadLineRecord(c50);
  const auto euroTotal = [&] {
    Table c20;
    EXPECT_TRUE(c20.OpenShared(PathC20(), "C20CODE", true));
    return c20.Seek("C20CODE", line.account.c_str()) ? ToCents(c20.GetFieldNum(line.sense == 'D' ? 18 : 20)) : -1;
  };
  const long long before = euroTotal();
  test_support::RawRecords(std::string(PathC50()) + ".dbf").Put(recno, "BMONTANTE", "abc");
  gui::ModalSeam::Reset();
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
  Send(w, 20029);
  ASSERT_TRUE(c50.GoTo(recno));
  EXPECT_TRUE(c50.IsDeleted()) << test_support::ShownTexts();
  EXPECT_EQ(euroTotal(), before) << "an amount that did not read taken off";
  ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u) << test_support::ShownTexts();
  const gui::ShownModal& box = gui::ModalSeam::Shown()[0];
  for (const std::string& said : {std::string("la ligne est annul\xE9" "e"), "compte " + Trimmed(line.account),
                                  "journal " + Trimmed(month.substr(4, 3)), std::string("ReConstruction")})
    EXPECT_NE(box.text.find(said), std::string::npos) << said << "\n" << box.text;
  test_support::ScreenshotMessage(box, "entry", "own_unread_amount_cancelled");
}

// The balance walk lets the window work meanwhile (its progress cursor processes the waiting
// events): keys moving the list during the walk change nothing of the balance it finds.
TEST_F(LinesWindowTest, TheClosingBalanceIsTheLinesWhateverTheListDoesMeanwhile) {
  Open();
  const std::string month = JournalMonths()[0].first;
  TWSaiBroDetJournaux* w = Saisir(month);
  ASSERT_NE(w, nullptr);
  ASSERT_GT(w->Store().totalRows, 20);
  // A few rows a page: the keys move the page, and the page's fill moves the list's cursor.
  w->MoveWindow(gui::Rect{0, 0, 900, 8 * CMDIBrowse::RowHeightPixels()});
  gui::ProcessPendingMessages();
  ASSERT_LT(w->Store().rowsPerPage, w->Store().totalRows);
  // One live line cancelled in the middle: the balance is known to the cent.
  for (long row = w->Store().totalRows / 2; row <= w->Store().totalRows; ++row) {
    w->SelectRow(row, 1);
    if (w->Store().MarkerOf(w->GetSelectedRowIndex() - 1) == kMarkerOrdinary) break;
  }
  Send(w, 20029);
  Table c50;
  ASSERT_TRUE(c50.OpenShared(PathC50(), L::kCodeTag, true));
  const JournalBalance b = SumJournal(c50, LinePrefix(month));
  ASSERT_NE(b.BalanceF(), 0);
  gui::ModalSeam::Reset();
  for (int vk : {gui::VK_HOME, gui::VK_END, gui::VK_HOME, gui::VK_DOWN, gui::VK_END, gui::VK_HOME, gui::VK_END,
                 gui::VK_HOME, gui::VK_DOWN, gui::VK_DOWN})
    gui::PostMessage(w->GetHandle(), gui::WM_KEYDOWN, static_cast<std::uintptr_t>(vk));
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDNO);
  EXPECT_FALSE(w->CanClose());
  ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u);
  EXPECT_NE(gui::ModalSeam::Shown()[0].text.find(std::string("Solde F: ") + Trimmed(BalanceAmount(b.BalanceF()))),
            std::string::npos)
      << gui::ModalSeam::Shown()[0].text;
}

TEST_F(LinesWindowTest, CreerPieceOnlyBeepsWhileTheSlotsLineFormIsOpen) {
  Open();
  TWSaiBroDetJournaux* w = Saisir(JournalMonths()[0].first);
  ASSERT_NE(w, nullptr);
  const long rows = w->Store().totalRows;
  const int partner = SlotPosition(w->SlotIndex()) + kPartnerOffset;
  SetRegistryText(partner, 1, "1");
  gui::CommandEnabler ce(20085);
  ASSERT_TRUE(w->EvCommandEnable(ce));
  EXPECT_FALSE(ce.Enabled());
  const int beeps0 = beeps;
  Send(w, 20085);
  EXPECT_EQ(beeps, beeps0 + 1);
  EXPECT_EQ(w->Store().totalRows, rows);
  SetRegistryText(partner, 1, " ");
  // Free again: the piece is made and the line form asked for (not there yet: its message).
  gui::ModalSeam::Reset();
  Send(w, 20085);
  EXPECT_EQ(w->Store().totalRows, rows + 1);
  EXPECT_EQ(w->GetSelectedRowText().substr(0, 8), LinePrefix(JournalMonths()[0].first));
  ExpectInvariants("after the new piece");
}

// The rights editor's boxes of "Saisie: Lignes des Journaux": "Créer une pièce" (8) refuses a new piece,
// "Créer une ligne" (9) a new line, each greyed and refused when sent, while the other stays; "Créer" (2)
// refuses both. A user refused "Saisie d'Ecritures" itself gets no journal-month from "Saisir" in the list.
TEST_F(LinesWindowTest, NewPiecesAndLinesFollowTheirOwnRightsAndSaisirTheEntrysRight) {
  Open();
  const auto months = JournalMonths();
  ASSERT_GE(months.size(), 2u);
  TWSaiBroDetJournaux* w = Saisir(months[0].first);
  ASSERT_NE(w, nullptr);
  const long rows = w->Store().totalRows;
  const std::string saved = TheDossierRecord.Text();
  const struct {
    int function, right;
    bool pieceGranted, lineGranted;
  } cases[] = {{14, 8, false, true}, {14, 9, true, false}, {14, 2, false, false}, {13, 1, false, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.function) + "/" + std::to_string(c.right));
    TheDossierRecord.Text() = saved;
    TheDossierRecord.SetUserLevel('B');
    test_support::RefuseAccessRight(c.function, c.right);
    const auto before = TableBytes(folder_);
    for (const auto& [command, granted] : {std::pair{20085u, c.pieceGranted}, std::pair{20083u, c.lineGranted}}) {
      gui::CommandEnabler ce(command);
      ASSERT_TRUE(w->EvCommandEnable(ce));
      EXPECT_EQ(ce.Enabled(), granted) << command;
      if (granted) continue;
      w->Store().selected = w->Store().top + 1;
      Send(w, command);
      EXPECT_EQ(w->Store().totalRows, rows) << command;
    }
    EXPECT_TRUE(TableBytes(folder_) == before) << "a refused piece or line wrote to a table";
  }
  // "Saisir" on another journal-month with the entry refused: no window, no lock, nothing pending.
  TWSaiBroEntJournaux* list = Headers();
  ASSERT_NE(list, nullptr);
  ASSERT_TRUE(list->LocateCode(months[1].first + "B"));
  Send(list, browse_cmd::Modifier);
  EXPECT_EQ(WindowOf(months[1].first), nullptr);
  EXPECT_NE(RegistryChar(kHeadersListFlag), '2');
  TheDossierRecord.Text() = saved;
  Send(list, browse_cmd::Modifier);
  EXPECT_NE(WindowOf(months[1].first), nullptr) << "the same Saisir with the right";
}

// The draft at its record limit: "Créer Ligne" and "Créer Pièce" give the message and write nothing
// (the piece counter included); with room for one record the line goes in.
TEST_F(LinesWindowTest, AFullDraftRefusesNewLinesAndPiecesWithNothingWritten) {
  Open();
  TWSaiBroDetJournaux* w = Saisir(JournalMonths()[0].first);
  ASSERT_NE(w, nullptr);
  const long rows = w->Store().totalRows;
  int live = 0;
  while (live < w->Store().rowsPerPage && w->Store().MarkerOf(live) != kMarkerOrdinary) ++live;
  ASSERT_LT(live, w->Store().rowsPerPage);
  DraftLimitGuard limit;
  const auto before = TableBytes(folder_);
  for (unsigned command : {20083u, 20085u}) {
    w->Store().selected = w->Store().top + live + 1;
    gui::ModalSeam::Reset();
    Send(w, command);
    ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u) << command << test_support::ShownTexts();
    EXPECT_NE(gui::ModalSeam::Shown()[0].text.find("999 999 lignes"), std::string::npos) << command;
    EXPECT_EQ(w->Store().totalRows, rows) << command;
  }
  EXPECT_TRUE(TableBytes(folder_) == before) << "a refused line wrote to a table";
  posting::DraftRecordLimit += 1;
  w->Store().selected = w->Store().top + live + 1;
  gui::ModalSeam::Reset();
  Send(w, 20083);
  EXPECT_EQ(w->Store().totalRows, rows + 1);
  ExpectInvariants("after the line made with the last record of room");
}

// "Créer Pièce" and "Créer Ligne" whose line the disk refuses (its first write to the draft, EIO once):
// one box, the change's own sentence naming the file, never the engine's; no new row, and the books keep
// their rules. The same command then creates its line.
TEST_F(LinesWindowTest, ANewLineOrPieceRefusedByTheDiskSaysSoInOneSentenceAndCreatesNothing) {
  Open();
  TWSaiBroDetJournaux* w = Saisir(JournalMonths()[0].first);
  ASSERT_NE(w, nullptr);
  int live = 0;
  while (live < w->Store().rowsPerPage && w->Store().MarkerOf(live) != kMarkerOrdinary) ++live;
  ASSERT_LT(live, w->Store().rowsPerPage);
  const struct {
    unsigned command;
    const char* said;
    const char* shot;
  } cases[] = {{20085u, "La pi\xE8" "ce n'a pas \xE9t\xE9 cr\xE9\xE9" "e", "new_piece_refused"},
               {20083u, "La ligne n'a pas \xE9t\xE9 cr\xE9\xE9" "e", "new_line_refused"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    const long rows = w->Store().totalRows;
    w->Store().selected = w->Store().top + live + 1;
    gui::ModalSeam::Reset();
    test_support::RefusedWrite::Arm("c50je.dbf", 1, platform::WriteFault::kFailOnce);
    Send(w, c.command);
    test_support::RefusedWrite::Disarm();
    EXPECT_EQ(test_support::ShownTexts().find("Erreur BDE"), std::string::npos) << test_support::ShownTexts();
    ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u) << test_support::ShownTexts();
    const std::string& said = gui::ModalSeam::Shown()[0].text;
    EXPECT_EQ(said.rfind(c.said, 0), 0u) << said;
    EXPECT_NE(said.find("c50je.dbf"), std::string::npos) << said;
    EXPECT_NE(said.find("rien n'a chang\xE9"), std::string::npos) << said;
    test_support::ScreenshotMessage(gui::ModalSeam::Shown()[0], "entry", c.shot);
    EXPECT_EQ(w->Store().totalRows, rows);
    ExpectInvariants("after the refused command");
    // Again, the disk whole: the line is made.
    w->Store().selected = w->Store().top + live + 1;
    gui::ModalSeam::Reset();
    Send(w, c.command);
    EXPECT_EQ(w->Store().totalRows, rows + 1) << test_support::ShownTexts();
  }
  ExpectInvariants("after the new line and piece");
}

// "Annuler" on a line whose write of the draft's or the sort file's index is refused by a full
// disk, at each of those writes in turn: one sentence, and the line stays; room made, "Annuler" on
// the next line goes through in the same window, nothing of the refusal left behind.
TEST_F(LinesWindowTest, AnnulerRefusedByAFullDiskLeavesNothingBehindForTheNextLine) {
  Open();
  TWSaiBroDetJournaux* w = Saisir(JournalMonths()[0].first);
  ASSERT_NE(w, nullptr);
  Table c50;
  ASSERT_TRUE(c50.OpenShared(PathC50(), L::kCodeTag, true));
  // The next live line of the window from `row` on (rows from 1), its record: 0 when none.
  const auto liveFrom = [&](long* row) -> std::uint32_t {
    for (; *row <= w->Store().totalRows; ++*row) {
      w->SelectRow(*row, 1);
      const std::uint32_t recno = static_cast<std::uint32_t>(w->Store().RecordNumberOf(w->GetSelectedRowIndex() - 1));
      if (recno != 0 && c50.GoTo(recno) && !c50.IsDeleted() && IsBlank(c50.GetField(L::BLETE))) return recno;
    }
    return 0;
  };
  const auto cancel = [&](long* row) {
    const std::uint32_t recno = liveFrom(row);
    ++*row;
    gui::ModalSeam::Reset();
    Send(w, 20029);
    return recno;
  };
  long row = 1;
  bool shot = false;
  // The index refused, and the table the sentence names.
  for (const auto& [index, table] : {std::pair{"c50je.mdx", "c50je.dbf"}, std::pair{"c60je.mdx", "c60je.dbf"}}) {
    // An uncut "Annuler": the index's writes it makes.
    test_support::RefusedWrite::Arm(index, INT_MAX, platform::WriteFault::kFullOnce);
    const std::uint32_t uncut = cancel(&row);
    const int writes = test_support::RefusedWrite::Seen();
    test_support::RefusedWrite::Disarm();
    ASSERT_NE(uncut, 0u);
    ASSERT_TRUE(c50.GoTo(uncut) && c50.IsDeleted()) << test_support::ShownTexts();
    ASSERT_GE(writes, 2) << index;
    for (int n = 1; n <= writes; ++n) {
      SCOPED_TRACE(std::string(index) + ", write " + std::to_string(n) + " refused");
      test_support::RefusedWrite::Arm(index, n, platform::WriteFault::kFullOnce);
      const std::uint32_t refused = cancel(&row);
      test_support::RefusedWrite::Disarm();
      ASSERT_NE(refused, 0u);
      if (test_support::RefusedWrite::Seen() < n) continue;  // a line that writes the index less
      ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u) << test_support::ShownTexts();
      const std::string& said = gui::ModalSeam::Shown()[0].text;
      EXPECT_EQ(said.rfind("La ligne n'a pas \xE9t\xE9 annul\xE9" "e", 0), 0u) << said;
      EXPECT_NE(said.find("disque plein"), std::string::npos) << said;
      EXPECT_NE(said.find(table), std::string::npos) << said;
      if (!shot) test_support::ScreenshotMessage(gui::ModalSeam::Shown()[0], "entry", "cancel_refused_full_disk");
      shot = true;
      ASSERT_TRUE(c50.GoTo(refused));
      EXPECT_FALSE(c50.IsDeleted());
      // Room made: the next line is cancelled.
      const std::uint32_t next = cancel(&row);
      ASSERT_NE(next, 0u);
      EXPECT_TRUE(gui::ModalSeam::Shown().empty()) << test_support::ShownTexts();
      ASSERT_TRUE(c50.GoTo(next));
      EXPECT_TRUE(c50.IsDeleted());
    }
  }
  test_support::Screenshot(MainFrame->OuterWidget(), "entry", "cancel_after_full_disk");
  ExpectInvariants("after the cancellations refused and made");
}

// "Créer Pièce" whose piece counter the disk will not read (each read of the general file in turn, EIO
// once) or write (ENOSPC or EIO once): the piece is made from a counter read whole, or one box says in the
// command's own sentence that no piece was made and why, naming the file; never a beep alone, never the
// engine's box, and no piece number taken twice.
TEST_F(LinesWindowTest, ANewPieceWhoseCounterTheDiskRefusesSaysSoInOneSentence) {
  Open();
  const std::string month = JournalMonths()[0].first;
  TWSaiBroDetJournaux* w = Saisir(month);
  ASSERT_NE(w, nullptr);
  const std::size_t piecesBefore = Pieces(month).size();
  long made = 0, refused = 0;
  // One "Créer Pièce" under a refusal: made, or said.
  auto once = [&](const char* said, const std::string& shot) {
    const long rows = w->Store().totalRows;
    w->Store().selected = w->Store().top + 1;
    SetRegistryText(SlotPosition(w->SlotIndex()) + kPartnerOffset, 1, " ");
    Send(w, 20085);
    const std::string shown = test_support::ShownTexts();
    EXPECT_EQ(shown.find("Erreur BDE"), std::string::npos) << shown;
    if (w->Store().totalRows == rows + 1) {
      ++made;
      return;
    }
    ++refused;
    EXPECT_EQ(w->Store().totalRows, rows);
    ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u) << "a beep alone, or more than one box: " << shown;
    const std::string& text = gui::ModalSeam::Shown()[0].text;
    EXPECT_EQ(text.rfind(said, 0), 0u) << text;
    EXPECT_NE(text.find("c10je.dbf"), std::string::npos) << text;
    if (!shot.empty()) test_support::ScreenshotMessage(gui::ModalSeam::Shown()[0], "entry", shot);
  };
  int nth = 1;
  for (;; ++nth) {
    SCOPED_TRACE("read " + std::to_string(nth) + " of c10je.dbf refused");
    gui::ModalSeam::Reset();
    test_support::RefusedRead::Arm("/c10je.dbf", nth);
    once("La pi\xE8" "ce n'a pas \xE9t\xE9 cr\xE9\xE9" "e, la lecture du compteur",
         nth == 1 ? "new_piece_counter_unread" : "");
    const int seen = test_support::RefusedRead::Seen();
    test_support::RefusedRead::Disarm();
    ASSERT_FALSE(HasFailure());
    if (seen < nth) break;
  }
  EXPECT_GE(refused, 2) << nth << " reads";
  const long unreadRefused = refused;
  for (const platform::WriteFault fault : {platform::WriteFault::kFullOnce, platform::WriteFault::kFailOnce}) {
    SCOPED_TRACE(fault == platform::WriteFault::kFullOnce ? "the counter's write refused, the disk full"
                                                            : "the counter's write refused, an I/O error");
    gui::ModalSeam::Reset();
    test_support::RefusedWrite::Arm("/c10je.dbf", 1, fault);
    once("La pi\xE8" "ce n'a pas \xE9t\xE9 cr\xE9\xE9" "e, l'\xE9" "criture du compteur",
         fault == platform::WriteFault::kFullOnce ? "new_piece_counter_unwritten" : "");
    test_support::RefusedWrite::Disarm();
  }
  EXPECT_EQ(refused, unreadRefused + 2);
  // Each piece made took a number of its own.
  EXPECT_EQ(Pieces(month).size(), piecesBefore + static_cast<std::size_t>(made));
  ExpectInvariants("after the pieces made and refused");
}

// "Modifier" on a line another station matched meanwhile: a beep, no line form, and the line's
// lock given back at once, so that the matching runs keep it.
TEST_F(LinesWindowTest, ModifierOnALineMatchedMeanwhileGivesItsLockBack) {
  Open();
  TWSaiBroDetJournaux* w = Saisir(JournalMonths()[0].first);
  ASSERT_NE(w, nullptr);
  for (long row = 1; row <= w->Store().totalRows; ++row) {
    w->SelectRow(row, 1);
    if (w->Store().MarkerOf(w->GetSelectedRowIndex() - 1) == kMarkerOrdinary) break;
  }
  const std::uint32_t recno = static_cast<std::uint32_t>(w->Store().RecordNumberOf(w->GetSelectedRowIndex() - 1));
  const std::string key = w->GetSelectedRowText();
  Table other;
  ASSERT_TRUE(other.OpenShared(PathC50(), L::kCodeTag));
  {
    const test_support::SetUpPermit permit("lettrage d un autre poste");
    ASSERT_TRUE(other.GoTo(recno));
    ASSERT_TRUE(other.PutField(L::BLETE, "ZZ"));
  }
  const int beeps0 = beeps;
  gui::ModalSeam::Reset();
  Send(w, 20047);
  EXPECT_GT(beeps, beeps0);
  EXPECT_TRUE(IsBlank(RegistryText(SlotPosition(w->SlotIndex()) + kPartnerOffset + 11, 24))) << "no line form asked";
  ASSERT_TRUE(other.GoTo(recno));
  EXPECT_TRUE(LockRecord(other, nullptr, 0)) << "the line is free for the other cursors";
  UnlockRecord(other);
  // The list shows the letter now, and the line can no longer be cancelled.
  ASSERT_TRUE(w->LocateRowByKey(w->Lines(), key, 1, 1, 1));
  EXPECT_EQ(w->Cell(w->SelectedRow(), TWSaiBroDetJournaux::kLetter).substr(0, 2), "ZZ");
}

class EuroOnlyWindowTest : public LinesWindowTest {
 protected:
  DossierCurrency Currency() const override { return DossierCurrency::EuroOnly; }
};

TEST_F(EuroOnlyWindowTest, OnlyTheEuroQuestionIsAskedAndTheFrancColumnsAreGone) {
  Open();
  TWSaiBroDetJournaux* w = Saisir(JournalMonths()[0].first);
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(w->EuroOnly());
  for (int k = 1; k <= ColumnCount(w->Columns()); ++k) EXPECT_EQ(w->Columns()[static_cast<std::size_t>(k)].title.find(" F"), std::string::npos);
  for (long row = 1; row <= w->Store().totalRows; ++row) {
    w->SelectRow(row, 1);
    if (w->Store().MarkerOf(w->GetSelectedRowIndex() - 1) == kMarkerOrdinary) break;
  }
  Send(w, 20029);
  gui::ModalSeam::Reset();
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDNO);
  gui::SendMessage(w->GetHandle(), gui::WM_CLOSE);
  gui::ProcessPendingMessages();
  ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u);
  EXPECT_NE(gui::ModalSeam::Shown()[0].text.find("en Euros"), std::string::npos);
}

}  // namespace
}  // namespace entry_test
