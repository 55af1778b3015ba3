// A list window over records in memory, driven as a user would: keys,
// scroll bar, clicks, the refresh timer, cancel and reactivate,
// lookup return, clipboard, column resizing and painting.
#include "memory_browse.h"
#include "platform/gui/clipboard.h"
#include "test_subject.h"

namespace {

std::string CodeOfRank(long rank) { return MemorySource::Make(rank).records.back().code; }

using BrowseWindowTest = subject::SubjectTest;

TEST_F(BrowseWindowTest, OpensOnTheFirstPageAndKeepsOnlyVisibleRows) {
  MemorySource src = MemorySource::Make(100);
  auto* list = Show(new MemoryBrowse(client_, src, MemoryColumns()));
  const BrowseRowStore& s = list->Store();
  ASSERT_GT(s.rowsPerPage, 5);
  EXPECT_EQ(s.rows.size(), static_cast<std::size_t>(s.rowsPerPage));
  EXPECT_EQ(s.top, 0);
  EXPECT_EQ(s.totalRows, 100);
  EXPECT_EQ(list->VisibleCodes()[0], "C0000001");
  // Record number, marker, then the cells at their widths.
  EXPECT_EQ(s.rows[0], std::string("000100\xF0" "C0000001") + "Compte 1" + std::string(12, ' '));

  // A maximised list is shown normal again when it gets the focus.
  list->Show(gui::SW_SHOWMAXIMIZED);
  gui::ProcessPendingMessages();
  ASSERT_TRUE(list->IsZoomed());
  list->EvSetFocus(0);
  EXPECT_FALSE(list->IsZoomed());
}

TEST_F(BrowseWindowTest, KeysMoveTheSelectionAndThePage) {
  MemorySource src = MemorySource::Make(100);
  auto* list = Show(new MemoryBrowse(client_, src, MemoryColumns()));
  const long r = list->Store().rowsPerPage;
  struct Case {
    const char* what;
    std::vector<int> keys;
    long selected, top;
  };
  const std::vector<Case> cases = {
      {"down from nothing", {gui::VK_DOWN}, 1, 0},
      {"down past the page", std::vector<int>(static_cast<std::size_t>(r + 1), gui::VK_DOWN), r + 1, 1},
      {"page down twice", {gui::VK_NEXT, gui::VK_NEXT}, 2 * r - 2, r - 1},
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
    EXPECT_EQ(list->VisibleCodes()[0], CodeOfRank(c.top + 1)) << c.what;
    EXPECT_EQ(list->View()->GetScrollPos(true), c.top) << c.what;
  }
}

TEST_F(BrowseWindowTest, RefreshTimerFollowsDossierConstant025) {
  TheDossierRecord.SetConstant(25, "005");
  MemorySource src = MemorySource::Make(20);
  auto* list = Show(new MemoryBrowse(client_, src, MemoryColumns()));
  EXPECT_TRUE(list->HasTimer(kBrowseRefreshTimer));
  // A tick reads the rows again.
  src.records[0].cancelled = true;
  list->EvTimer(kBrowseRefreshTimer);
  EXPECT_EQ(list->Store().MarkerOf(0), kMarkerCancelled);
  // The constant is read again after each tick.
  TheDossierRecord.SetConstant(25, "000");
  list->EvTimer(kBrowseRefreshTimer);
  EXPECT_FALSE(list->HasTimer(kBrowseRefreshTimer));
}

TEST_F(BrowseWindowTest, CancelAndReactivateStrikeTheRow) {
  MemorySource src = MemorySource::Make(30);
  auto* list = Show(new MemoryBrowse(client_, src, MemoryColumns()));
  list->EvLButtonDown(0, RowPoint(2));
  ASSERT_EQ(list->Store().selected, 2);
  gui::SendCommand(list->GetHandle(), browse_cmd::Annuler);
  EXPECT_EQ(list->Store().MarkerOf(1), kMarkerCancelled);

  // Painted: the cancelled row in its red band, the selected one in blue.
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

  list->Store().selected = 2;
  gui::SendCommand(list->GetHandle(), browse_cmd::Reactiver);
  EXPECT_EQ(list->Store().MarkerOf(1), kMarkerOrdinary);
}

TEST_F(BrowseWindowTest, ClipboardGetsThePageAsTabSeparatedText) {
  MemorySource src = MemorySource::Make(3);
  src.records[1].cancelled = true;
  auto* list = Show(new MemoryBrowse(client_, src, MemoryColumns()));
  gui::SetClipboardText("avant");
  gui::SendCommand(list->GetHandle(), browse_cmd::CopierTableau);
  EXPECT_EQ(gui::GetClipboardText(),
            "Num\xE9ro\t*\tCode\tNom du compte\r\n"
            "000003\t\tC0000001\tCompte 1\r\n"
            "000002\t*\tC0000002\tCompte 2\r\n"
            "000001\t\tC0000003\tCompte 3\r\n");
  // The code of the selected row.
  list->EvLButtonDown(0, RowPoint(3));
  gui::SendCommand(list->GetHandle(), browse_cmd::CopierCode);
  EXPECT_EQ(gui::GetClipboardText(), "C0000003");
}

TEST_F(BrowseWindowTest, LookupReturnsTheCodeOnlyToALiveAskingWindow) {
  MemorySource src = MemorySource::Make(20);
  auto* asker = new subject::CommandRecorder(client_);
  ASSERT_TRUE(asker->Create());
  const int s = 500, w = 8;
  auto* list = Show(new MemoryBrowse(client_, src, MemoryColumns(), s));
  EXPECT_EQ(RegistryChar(s), '1');
  EXPECT_EQ(std::stoull(AllTrim(RegistryText(s + 1, 10).c_str())), list->GetHandle());
  SetRegistryText(s + w + 11, 4, "600");
  SetRegistryText(s + w + 15, 10, StrNum10(static_cast<std::uint32_t>(asker->GetHandle())));
  SetRegistryText(s + w + 25, 4, "9001");
  SetRegistryText(600, 10, StrNum10(static_cast<std::uint32_t>(asker->GetHandle())));

  list->EvLButtonDown(0, RowPoint(5));
  gui::SendCommand(list->GetHandle(), browse_cmd::Entree);
  gui::ProcessPendingMessages();
  EXPECT_EQ(RegistryText(s + 11, w), "C0000005");
  EXPECT_EQ(asker->got, std::vector<unsigned>{9001});

  // The asking window has gone: nothing is written or posted.
  SetRegistryText(s + 11, w, "");
  SetRegistryText(600, 10, "");
  list->EvLButtonDown(0, RowPoint(7));
  gui::SendCommand(list->GetHandle(), browse_cmd::RenvoyerCode);
  gui::ProcessPendingMessages();
  EXPECT_TRUE(IsBlank(RegistryText(s + 11, w)));
  EXPECT_EQ(asker->got.size(), 1u);
}

TEST_F(BrowseWindowTest, ColumnResizeIsSavedForTheNextList) {
  MemorySource src = MemorySource::Make(5);
  auto* list = Show(new MemoryBrowse(client_, src, MemoryColumns()));
  const int cw = CMDIBrowse::CharWidthPixels();
  const int border = 12 * cw;  // right edge of the code column (2 + 10 characters)
  list->EvLButtonDown(gui::MK_LBUTTON, gui::Point{border - 1, 3});
  list->EvMouseMove(gui::MK_LBUTTON, gui::Point{border + 4 * cw, 3});
  list->EvLButtonUp(0, gui::Point{border + 4 * cw, 3});
  EXPECT_EQ(list->Columns()[2].width, 14u);
  list->Destroy();
  gui::ProcessPendingMessages();
  const std::string saved = IniGetSectionString("BrowseColonnes", "T", "");
  EXPECT_EQ(saved, "001001038002" "002002002014" "003003016022");

  auto* again = Show(new MemoryBrowse(client_, src, MemoryColumns()));
  EXPECT_EQ(again->Columns()[2].width, 14u);
}

}  // namespace
