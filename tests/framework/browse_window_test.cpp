// The journal list driven as a user would: keys, clicks, the refresh timer,
// painting and its quick path, lookup return, clipboard and column resizing.
#include <QImage>
#include <QPixmap>
#include <QWidget>

#include "framework/browse_services.h"
#include "framework/lookup_registry.h"
#include "platform/gui/clipboard.h"
#include "test_subject.h"

namespace {

using namespace subject;

class BrowseWindowTest : public SubjectTest {
 protected:
  // Journals "001" ... written in reverse, so that record numbers never
  // equal the ranks.
  JournalList* Open(int count) {
    for (int i = count; i >= 1; --i) AddC10("J", Code(i), "Journal " + std::to_string(i));
    auto* list = new JournalList(client_);
    list->listName = "J";
    return Show(list);
  }
};

TEST_F(BrowseWindowTest, OpensOnTheFirstPageAndKeepsOnlyVisibleRows) {
  JournalList* list = Open(100);
  const BrowseRowStore& s = list->Store();
  ASSERT_GT(s.rowsPerPage, 5);
  EXPECT_EQ(s.rows.size(), static_cast<std::size_t>(s.rowsPerPage));
  EXPECT_EQ(s.totalRows, 100);
  // Record number and marker, then the cells.
  EXPECT_EQ(list->RowOf("001").substr(0, 10), std::string("000100") + kMarkerOrdinary + "001");

  // A maximised list is shown normal again when it gets the focus, at the size it had (the focus that moves
  // inside it while it is being maximised leaves it maximised: shown normal from there, it lost that size).
  const gui::Rect normal = list->GetWindowRect();
  list->Show(gui::SW_SHOWMAXIMIZED);
  gui::ProcessPendingMessages();
  ASSERT_TRUE(list->IsZoomed());
  list->EvSetFocus(0);
  EXPECT_FALSE(list->IsZoomed());
  gui::ProcessPendingMessages();
  EXPECT_EQ(std::pair(list->GetWindowRect().w, list->GetWindowRect().h), std::pair(normal.w, normal.h));
}

TEST_F(BrowseWindowTest, KeysMoveTheSelectionAndThePage) {
  JournalList* list = Open(100);
  const long r = list->Store().rowsPerPage;
  struct Case {
    const char* what;
    std::vector<int> keys;
    long selected, top;
  };
  const std::vector<Case> cases = {
      {"down past the page", std::vector<int>(static_cast<std::size_t>(r + 1), gui::VK_DOWN), r + 1, 1},
      {"end then down stays at the end", {gui::VK_END, gui::VK_DOWN}, 100, 100 - r},
      {"end, page up twice", {gui::VK_END, gui::VK_PRIOR, gui::VK_PRIOR}, 100 - 2 * (r - 1), 100 - r - (r - 1)},
  };
  for (const Case& c : cases) {
    list->Store().selected = 0;
    list->GoFirst();
    for (int k : c.keys) Key(list, k);
    EXPECT_EQ(list->Store().selected, c.selected) << c.what;
    EXPECT_EQ(list->Store().top, c.top) << c.what;
    // The page always shows the records from top + 1 on.
    EXPECT_EQ(list->Store().rows[0].substr(7, 3), Code(c.top + 1)) << c.what;
    EXPECT_EQ(list->View()->GetScrollPos(true), c.top) << c.what;
  }
}

// F5 and F6 do what "Visualiser" and "Imprimer" do, and only when the menu offers them: on a list with
// no row (both greyed) the keys beep and ask for no layout.
TEST_F(BrowseWindowTest, F5AndF6AskForALayoutOnlyWhenTheMenuOffersTheCommand) {
  const BrowseServices saved = BrowseHooks();
  int asked = 0;
  BrowseHooks().chooseLayout = [&asked](CMDIBrowse&, const std::string&, bool) {
    ++asked;
    return gui::IDCANCEL;
  };
  // A list without layouts (no report prefix) has nothing to show or print: not offered either.
  const struct {
    int rows;
    const char* prefix;
    int vk;
    unsigned command;
    bool offered;
  } cases[] = {{0, "JO", gui::VK_F5, browse_cmd::Visualiser, false},
               {0, "JO", gui::VK_F6, browse_cmd::Imprimer, false},
               {3, "JO", gui::VK_F5, browse_cmd::Visualiser, true},
               {3, "JO", gui::VK_F6, browse_cmd::Imprimer, true},
               {3, "", gui::VK_F5, browse_cmd::Visualiser, false},
               {3, "", gui::VK_F6, browse_cmd::Imprimer, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.rows) + " rows, prefix \"" + c.prefix + "\", key " + std::to_string(c.vk));
    JournalList* list = Open(c.rows);
    list->reportPrefix = c.prefix;
    gui::CommandEnabler ce(c.command);
    list->EvCommandEnable(ce);
    EXPECT_EQ(ce.Enabled(), c.offered) << "the menu";
    asked = 0;
    const int beeps = gui::BeepCount();
    list->EvKeyDown(c.vk, 1, 0);
    list->EvKeyUp(c.vk, 1, 0);
    gui::ProcessPendingMessages();
    EXPECT_EQ(asked, c.offered ? 1 : 0) << "the key";
    if (!c.offered) EXPECT_GT(gui::BeepCount(), beeps);
    list->Destroy();
    gui::ProcessPendingMessages();
  }
  BrowseHooks() = saved;
}

// Keys typed in the list reach it once: one the list leaves to the default processing goes on to the windows
// around it without being read again as a search (which doubled it in the type-ahead text).
TEST_F(BrowseWindowTest, ATypedKeyTheListDoesNotFindCountsOnce) {
  JournalList* list = Open(100);
  QWidget* view = list->View()->Widget();
  view->setFocus();
  const struct {
    int key;
    const char* text;
    const char* typed;  // the type-ahead text after the key
  } keys[] = {{'1', "1", "1"}, {'5', "5", "15"}, {'7', "7", "157"}};
  for (const auto& k : keys) {
    test_support::SendKey(view, test_support::kKeyPress, k.key, test_support::kNoModifier, k.text);
    test_support::SendKey(view, test_support::kKeyRelease, k.key, test_support::kNoModifier, k.text);
    gui::ProcessPendingMessages();
    EXPECT_EQ(list->TypeAheadText(), k.typed) << "after " << k.text;
  }
  EXPECT_EQ(list->GetSelectedRowText(), "100") << "\"1\" found the journal 100; \"15\" none";
}

TEST_F(BrowseWindowTest, RefreshTimerFollowsDossierConstant025) {
  TheDossierRecord.SetConstant(25, "005");
  JournalList* list = Open(20);
  EXPECT_TRUE(list->HasTimer(kBrowseRefreshTimer));
  // A tick reads the rows again.
  ASSERT_TRUE(TableC10->Seek("C10CODE", kKind, "001"));
  ASSERT_TRUE(TableC10->DeleteRecord(nullptr, 0));
  list->EvTimer(kBrowseRefreshTimer);
  EXPECT_EQ(list->Store().MarkerOf(0), kMarkerCancelled);
}

TEST_F(BrowseWindowTest, CancelledAndSelectedRowsArePaintedInTheirBands) {
  JournalList* list = Open(30);
  list->EvLButtonDown(0, RowPoint(2));
  gui::SendCommand(list->GetHandle(), browse_cmd::Annuler);
  ASSERT_EQ(list->Store().MarkerOf(1), kMarkerCancelled);
  // The cancelled row in its red band, the selected one in blue.
  gui::MemoryDC dc(list->ClientArea().w, list->ClientArea().h);
  list->Store().selected = 4;
  list->DrawList(dc, list->ClientArea().w, list->ClientArea().h);
  const int rh = CMDIBrowse::RowHeightPixels(), x = 20 * CMDIBrowse::CharWidthPixels();
  const gui::ColorRef cancelled = dc.GetPixel(x, 2 * rh + rh / 2), selected = dc.GetPixel(x, 4 * rh + rh / 2),
                      marker = dc.GetPixel(3, 2 * rh + rh / 2);
  EXPECT_GT(gui::RedOf(cancelled), 200);
  EXPECT_LT(gui::GreenOf(cancelled), 160);
  EXPECT_GT(gui::BlueOf(selected), 200);
  EXPECT_GT(gui::RedOf(marker), 200);  // every cell of a cancelled record
  dc.SavePng(test_support::ArtefactPath("browse", "list.png"));
}

// A row keeps its band as the selection moves: the stripe starts afresh with each drawing, whatever
// the number of rows the drawing before it painted (three here: a stripe running on would swap them).
TEST_F(BrowseWindowTest, RowBandsStayAsTheSelectionMoves) {
  JournalList* list = Open(3);
  const int w = list->ClientArea().w, h = list->ClientArea().h;
  const int rh = CMDIBrowse::RowHeightPixels(), x = 20 * CMDIBrowse::CharWidthPixels();
  auto bands = [&](long selected) {
    list->Store().selected = selected;
    gui::MemoryDC dc(w, h);
    list->DrawList(dc, w, h);
    std::vector<gui::ColorRef> colours;
    for (int row = 1; row <= 3; ++row) colours.push_back(dc.GetPixel(x, row * rh + rh / 2));
    return colours;
  };
  const std::vector<gui::ColorRef> before = bands(0);
  EXPECT_EQ(before[0], gui::colors::White);
  EXPECT_NE(before[1], gui::colors::White);  // the second row in the stripe's band
  EXPECT_EQ(before[2], gui::colors::White);
  for (long selected : {1, 2, 3, 0}) {
    const std::vector<gui::ColorRef> now = bands(selected);
    for (long row = 1; row <= 3; ++row)
      if (row != selected) EXPECT_EQ(now[row - 1], before[row - 1]) << "row " << row << ", row " << selected << " selected";
  }
}

// The quick path of the paint: the rows drawn straight into the window show
// the same pixels as a drawing on a bitmap of their own.
TEST_F(BrowseWindowTest, WindowShowsWhatTheListDraws) {
  AddC10("J", "000", "Journal annule", true);
  JournalList* list = Open(60);
  list->doubleBuffer = false;
  Key(list, gui::VK_DOWN);
  Key(list, gui::VK_DOWN);
  list->CmRafraichirTotal();
  const gui::Rect c = list->ClientArea();
  ASSERT_GT(c.w, 0);
  const QImage shown = list->View()->Widget()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  gui::MemoryDC mem(c.w, c.h);
  list->DrawList(mem, c.w, c.h);
  const QImage drawn = mem.GetBitmap().Image().convertToFormat(QImage::Format_RGB32);
  ASSERT_GE(shown.width(), c.w);
  ASSERT_GE(shown.height(), c.h);
  int differing = 0;
  for (int y = 0; y < c.h; ++y)
    for (int x = 0; x < c.w; ++x)
      if (shown.pixel(x, y) != drawn.pixel(x, y)) ++differing;
  EXPECT_EQ(differing, 0);
}

TEST_F(BrowseWindowTest, ClipboardGetsThePageAsTabSeparatedText) {
  AddC10("J", "002", "Journal 2", true);
  AddC10("J", "001", "Journal 1");
  auto* list = Show(new JournalList(client_));
  gui::SetClipboardText("avant");
  gui::SendCommand(list->GetHandle(), browse_cmd::CopierTableau);
  EXPECT_EQ(gui::GetClipboardText(),
            "Num\xE9ro\t*\tCode\tLibell\xE9\r\n"
            "000002\t\t001\tJournal 1\r\n"
            "000001\t*\t002\tJournal 2\r\n");
}

TEST_F(BrowseWindowTest, LookupReturnsTheCodeOnlyToALiveAskingWindow) {
  JournalList* list = Open(20);
  auto* asker = new CommandRecorder(client_);
  ASSERT_TRUE(asker->Create());
  const std::string handle = StrNum10(static_cast<std::uint32_t>(asker->GetHandle()));
  for (bool alive : {true, false}) {
    SCOPED_TRACE(alive);
    WriteLookupRequest(kListSlot, kCodeWidth, "", 600, handle, 9001);
    SetRegistryText(600, 10, alive ? handle : "");
    list->EvLButtonDown(0, RowPoint(5));
    gui::SendCommand(list->GetHandle(), browse_cmd::RenvoyerCode);
    gui::ProcessPendingMessages();
    EXPECT_EQ(RegistryText(kListSlot + 11, kCodeWidth), alive ? "005" : "   ");
    EXPECT_EQ(asker->got, std::vector<unsigned>{9001}) << "posted once, to the live asker";
  }
}

TEST_F(BrowseWindowTest, ColumnResizeIsSavedForTheNextList) {
  JournalList* list = Open(5);
  const int cw = CMDIBrowse::CharWidthPixels();
  const int border = 6 * cw;  // right edge of the code column (1 + 5 characters)
  list->EvLButtonDown(gui::MK_LBUTTON, gui::Point{border - 1, 3});
  list->EvMouseMove(gui::MK_LBUTTON, gui::Point{border + 4 * cw, 3});
  list->EvLButtonUp(0, gui::Point{border + 4 * cw, 3});
  EXPECT_EQ(list->CMDIBrowse::Columns()[2].width, 9u);
  list->Destroy();
  gui::ProcessPendingMessages();
  EXPECT_EQ(IniGetSectionString("BrowseColonnes", "J", ""), "001001040001" "002002001009" "003003010030");

  auto* again = new JournalList(client_);
  again->listName = "J";
  Show(again);
  EXPECT_EQ(again->CMDIBrowse::Columns()[2].width, 9u);
}

}  // namespace
