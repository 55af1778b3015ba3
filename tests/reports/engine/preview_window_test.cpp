// The preview window driven as a user drives it: a report window's "Visualiser" over a generated
// dossier, its pages turned with the keys, run to the end (a first quit stops the run), searched
// with "&" and "|", zoomed 1-2-4-1 and scrolled, its pop-up menu, and its end told to the
// report window (20037, or 20039 after "Autre Liste"). Pictures at zoom 1 and 4.
#include "report_window_fixture.h"

#include <QImage>

#include "platform/gui/controlbar.h"
#include "platform/gui/keyboard.h"
#include "resources/string_table.h"
#include "runtime/xbase.h"
#include "shell/toolbar.h"

using namespace report_test;

namespace {

class PreviewTest : public ReportWindowTest {};

TEST_F(PreviewTest, PagesRenderOnDemandAndTheKeysTurnThem) {
  AccountsReport* report = OpenReport();
  TWVisuWindow* w = Preview(report);
  ASSERT_NE(w, nullptr);
  ASSERT_EQ(report->accounts.size(), 12u);
  EXPECT_TRUE(PrintRunFlag);
  EXPECT_EQ(PreviewState, 1);
  EXPECT_EQ(w->GetCaption(), "Visualisation: Comptes de test");
  // Only the first page is rendered when the list begins.
  EXPECT_EQ(w->Context().renderedPages, 1);
  // More pages follow: the count of the pages made so far is not read as the report's.
  EXPECT_EQ(Status(), "Page:    1/    1  (pages suivantes non calcul\xE9" "es)");
  EXPECT_NE(PageText(w, 1).find("Compte " + report->accounts[0].first), std::string::npos) << PageText(w, 1);
  EXPECT_NE(PageText(w, 1).find(".../..."), std::string::npos);

  struct Step {
    const char* what;
    int key;
    test_support::KeyModifiers mods;
    const char* text;
    int page, rendered;
  };
  const Step steps[] = {
      {"PgDown renders page 2", gui::VK_NEXT, test_support::kNoModifier, "", 2, 2},
      {"Space renders page 3", gui::VK_SPACE, test_support::kNoModifier, " ", 3, 3},
      {"Home shows page 1", gui::VK_HOME, test_support::kNoModifier, "", 1, 3},
      {"F7 (on its release) shows page 2 again", gui::VK_F7, test_support::kNoModifier, "", 2, 3},
      {"End shows the last page rendered", gui::VK_END, test_support::kNoModifier, "", 3, 3},
      {"PgUp goes back", gui::VK_PRIOR, test_support::kNoModifier, "", 2, 3},
      {"\"<\" goes back", test_support::kKeyLess, test_support::kShiftModifier, "<", 1, 3},
      {"PgUp on page 1 does nothing", gui::VK_PRIOR, test_support::kNoModifier, "", 1, 3},
      {"\"+\" jumps to the last page rendered", test_support::kKeyPlus, test_support::kShiftModifier, "+", 3, 3},
      {"\"-\" goes back to page 1", test_support::kKeyMinus, test_support::kNoModifier, "-", 1, 3},
      {"F12 shows the next page", gui::VK_F12, test_support::kNoModifier, "", 2, 3},
      {"F5 shows page 1", gui::VK_F5, test_support::kNoModifier, "", 1, 3},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.what);
    Key(w, s.key, s.mods, s.text);
    EXPECT_EQ(w->Context().currentPage, s.page);
    EXPECT_EQ(w->Context().renderedPages, s.rendered);
  }
  // The page shown is that account's.
  Key(w, gui::VK_NEXT);
  Key(w, gui::VK_NEXT);
  EXPECT_EQ(Status(), "Page:    3/    3  (pages suivantes non calcul\xE9" "es)");
  EXPECT_NE(PageText(w, 3).find("Compte " + report->accounts[2].first), std::string::npos);
  EXPECT_EQ(PageText(w, 3).find("Compte " + report->accounts[1].first), std::string::npos);
}

TEST_F(PreviewTest, RunToTheEndStopsOnAFirstQuitAndBeepsAtTheEnd) {
  AccountsReport* report = OpenReport();
  TWVisuWindow* w = Preview(report);
  ASSERT_NE(w, nullptr);
  // ">" starts the run, one page a message, to the end of the data (a beep).
  Key(w, test_support::kKeyGreater, test_support::kShiftModifier, ">");
  EXPECT_TRUE(w->Context().endOfData);
  EXPECT_EQ(w->Context().renderedPages, 12);
  EXPECT_GE(beeps, 1);
  EXPECT_EQ(CurrentPreviewWindow, w);

  // Again, from a fresh preview: 20115 then a quit before the messages run.
  Send(w, visu_cmd::Quitter);
  EXPECT_EQ(CurrentPreviewWindow, nullptr);
  EXPECT_EQ(report->endNotices, 1);
  w = Preview(report);
  ASSERT_NE(w, nullptr);
  gui::SendCommand(w->GetHandle(), visu_cmd::ToutesLesPages);
  EXPECT_FALSE(w->Ready());
  EXPECT_EQ(w->Context().renderedPages, 2);
  gui::SendCommand(w->GetHandle(), visu_cmd::Quitter);  // the first quit
  gui::ProcessPendingMessages();
  EXPECT_EQ(CurrentPreviewWindow, w) << "the first quit closed the window";
  EXPECT_TRUE(w->Ready());
  EXPECT_FALSE(w->Context().endOfData);
  // The page being rendered when the quit came is the last one.
  EXPECT_EQ(w->Context().renderedPages, 3);
  Send(w, visu_cmd::Quitter);  // the second
  EXPECT_EQ(CurrentPreviewWindow, nullptr);
  EXPECT_EQ(report->endNotices, 2);
  EXPECT_FALSE(PrintRunFlag);
  EXPECT_EQ(PreviewState, 0);
}

// A run to the last page that the page range stops before the data end ends there (a beep) and
// gives the window its commands back.
TEST_F(PreviewTest, RunToTheEndStoppedByTheLastPageGivesTheCommandsBack) {
  AccountsReport* report = OpenReport();
  QueueChoice(gui::IDOK, 1, "", "3");
  Send(report, 20035);
  TWVisuWindow* w = CurrentPreviewWindow;
  ASSERT_NE(w, nullptr);
  const int before = beeps;
  Send(w, visu_cmd::ToutesLesPages);
  EXPECT_FALSE(w->Context().endOfData);
  EXPECT_EQ(w->Context().renderedPages, 4);
  EXPECT_TRUE(w->Ready());
  EXPECT_EQ(beeps, before + 1);
  Key(w, gui::VK_HOME);
  EXPECT_EQ(w->Context().currentPage, 1);
}

TEST_F(PreviewTest, StatusBarShowsThePageOfTheRenderedPages) {
  AccountsReport* report = OpenReport();
  TWVisuWindow* w = Preview(report);
  ASSERT_NE(w, nullptr);
  Send(w, visu_cmd::ToutesLesPages);
  ASSERT_EQ(w->Context().renderedPages, 12);
  Key(w, gui::VK_HOME);
  Key(w, gui::VK_NEXT);
  Key(w, gui::VK_NEXT);
  EXPECT_EQ(Status(), "Page:    3/   12");
  // Nothing more to render: "Page Suivante" at the end does nothing, "Toutes Les Pages" is greyed.
  Key(w, gui::VK_END);
  Key(w, gui::VK_NEXT);
  EXPECT_EQ(w->Context().currentPage, 12);
  gui::CommandEnabler next(visu_cmd::PageSuivante), all(visu_cmd::ToutesLesPages);
  w->EvCommandEnable(next);
  w->EvCommandEnable(all);
  EXPECT_FALSE(next.Enabled());
  EXPECT_FALSE(all.Enabled());
  EXPECT_NE(PageText(w, 12).find("* Fin *"), std::string::npos);
}

TEST_F(PreviewTest, SearchWithAndAndOr) {
  AccountsReport* report = OpenReport();
  TWVisuWindow* w = Preview(report);
  ASSERT_NE(w, nullptr);
  Send(w, visu_cmd::ToutesLesPages);
  Key(w, gui::VK_HOME);
  const auto& a = report->accounts;
  auto search = [&](const std::string& text, unsigned command = visu_cmd::Chercher) {
    gui::ModalSeam::Reset();
    gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [text](gui::Window& d) {
      static_cast<gui::Dialog&>(d).SetItemText(1202, text);
    });
    Send(w, command);
  };
  struct Case {
    std::string text;
    int page;  // 0: not found
  };
  const std::string name4 = a[3].second.substr(0, a[3].second.find(' '));
  const Case cases[] = {
      {a[4].first + "&" + "Compte", 5},
      {"zzzz|" + a[6].first, 7},
      {a[8].first + "&zzzz", 0},
      {a[3].second, 4},
      {name4 + "&" + a[3].first, 4},
      {"COMPTE|" + a[9].first, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Key(w, gui::VK_HOME);
    search(c.text);
    if (c.page == 0) {
      ASSERT_NE(gui::ModalSeam::LastShown(), nullptr);
      EXPECT_EQ(gui::ModalSeam::LastShown()->caption, "Recherche dans Visualisation");
      EXPECT_NE(gui::ModalSeam::LastShown()->text.find("introuvable(s)"), std::string::npos);
      test_support::ScreenshotMessage(*gui::ModalSeam::LastShown(), "reports", "search-not-found");
      EXPECT_EQ(w->Context().currentPage, 1);
    } else {
      EXPECT_EQ(w->Context().currentPage, c.page);
    }
  }
  // "Chercher Encore" (F3) from the page found goes on to the next match, or round to page 1.
  Key(w, gui::VK_HOME);
  search("Compte");
  EXPECT_EQ(w->Context().currentPage, 1);
  Key(w, gui::VK_F3);
  EXPECT_EQ(w->Context().currentPage, 2);
  Key(w, gui::VK_END);
  Key(w, gui::VK_F3);
  EXPECT_EQ(w->Context().currentPage, 1);
  EXPECT_EQ(w->SearchText, "COMPTE");
  // The words stay highlighted on the pages shown afterwards.
  EXPECT_EQ(w->HighlightWords(), "COMPTE");
  // Cancel keeps the search as it was.
  gui::ModalSeam::QueueDialogAnswer(gui::IDCANCEL);
  Send(w, visu_cmd::Chercher);
  EXPECT_EQ(w->SearchText, "COMPTE");
}

TEST_F(PreviewTest, ZoomCyclesOneTwoFourOneAndScrolls) {
  AccountsReport* report = OpenReport();
  TWVisuWindow* w = Preview(report);
  ASSERT_NE(w, nullptr);
  test_support::Screenshot(w->OuterWidget(), "reports", "preview-zoom1");
  // Double-clicked on the account's line: its words stay under the mouse.
  w->EvLButtonDblClk(0, gui::Point{100, 25});
  EXPECT_EQ(w->View().zoom, 2);
  EXPECT_EQ(w->View().scrollX, -100);
  EXPECT_EQ(w->View().scrollY, -25);
  Key(w, gui::VK_INSERT);
  EXPECT_EQ(w->View().zoom, 4);
  test_support::Screenshot(w->OuterWidget(), "reports", "preview-zoom4");
  Key(w, gui::VK_INSERT);
  EXPECT_EQ(w->View().zoom, 1);
  EXPECT_EQ(w->View().scrollX, 0);
  EXPECT_EQ(w->View().scrollY, 0);
  Key(w, gui::VK_INSERT);
  Key(w, gui::VK_INSERT);
  EXPECT_EQ(w->View().zoom, 4);
  Key(w, gui::VK_DELETE);
  EXPECT_EQ(w->View().zoom, 1);

  // Scrolling a page zoomed four times: right, down, and back; never past the edges.
  Key(w, gui::VK_INSERT);
  Key(w, gui::VK_INSERT);
  ASSERT_EQ(w->View().zoom, 4);
  const int x0 = w->View().scrollX, y0 = w->View().scrollY;
  Key(w, gui::VK_RIGHT);
  EXPECT_LT(w->View().scrollX, x0);
  Key(w, gui::VK_DOWN);
  EXPECT_LT(w->View().scrollY, y0);
  for (int i = 0; i < 20; ++i) Key(w, gui::VK_LEFT);
  EXPECT_EQ(w->View().scrollX, 0);
  for (int i = 0; i < 40; ++i) Key(w, gui::VK_UP);
  EXPECT_EQ(w->View().scrollY, 0);
  // The mouse wheel scrolls down and up.
  w->EvMouseWheel(0, -120, gui::Point{});
  EXPECT_LT(w->View().scrollY, 0);
  w->EvMouseWheel(0, 120, gui::Point{});
  EXPECT_EQ(w->View().scrollY, 0);
}

TEST_F(PreviewTest, MarkerLineUnderTheLineClicked) {
  AccountsReport* report = OpenReport();
  TWVisuWindow* w = Preview(report);
  ASSERT_NE(w, nullptr);
  const int h = w->Context().lineHeight;
  ASSERT_GT(h, 0);
  w->EvLButtonDown(0, gui::Point{40, 3 * h + 2});
  EXPECT_EQ(w->MarkerY(), 4 * h + 3);
  test_support::Screenshot(w->OuterWidget(), "reports", "preview-marker");
  // The next painting of the page takes it away; zoomed, a click draws none.
  Key(w, gui::VK_INSERT);
  EXPECT_EQ(w->MarkerY(), -1);
  w->EvLButtonDown(0, gui::Point{40, 3 * h + 2});
  EXPECT_EQ(w->MarkerY(), -1);
}

TEST_F(PreviewTest, PopUpMenuOfBothModes) {
  AccountsReport* report = OpenReport();
  TWVisuWindow* w = Preview(report);
  ASSERT_NE(w, nullptr);
  const std::vector<unsigned> single = {20023, 20043, 0,     20107, 20109, 20111, 20113, 20049, 20051,
                                        20115, 20121, 20117, 20119, 20123, 20045, 0,     20157, 20159};
  EXPECT_EQ(w->PopupMenuIds(), single);
  std::vector<std::string> texts;
  for (unsigned id : single)
    if (id != 0) texts.push_back(LoadStr(visu_cmd::PopupText(id)));
  for (const std::string& t : texts) EXPECT_FALSE(t.empty());
  EXPECT_EQ(std::string(LoadStr(visu_cmd::PopupText(visu_cmd::PageHtml))), "Page en HTML");
  EXPECT_EQ(std::string(LoadStr(visu_cmd::PopupText(visu_cmd::Zoom))), "Zoom");
  // A command chosen in the menu reaches the window.
  Send(w, visu_cmd::PageSuivante);
  ASSERT_EQ(w->Context().currentPage, 2);
  gui::ModalSeam::QueuePopupMenuAnswer(visu_cmd::PageDebut);
  w->EvRButtonDown(gui::MK_RBUTTON, gui::Point{200, 200});
  gui::ProcessPendingMessages();
  EXPECT_EQ(w->Context().currentPage, 1);
  // A greyed command chosen does nothing (page 1: no previous page).
  gui::ModalSeam::QueuePopupMenuAnswer(visu_cmd::PagePrecedente);
  w->EvRButtonDown(gui::MK_RBUTTON, gui::Point{200, 200});
  EXPECT_EQ(w->Context().currentPage, 1);

  // Mode 1 ("Liste suivante"): "Autre Liste" after "Toutes Les Pages".
  Send(w, visu_cmd::Quitter);
  w = Preview(report);
  ASSERT_NE(w, nullptr);
  gui::SendCommand(MainWindowHandle, command_id::VisuMode1);
  TWVisuWindow* several = CurrentPreviewWindow;
  ASSERT_NE(several, w);
  EXPECT_EQ(several->Mode(), 1);
  std::vector<unsigned> ids = several->PopupMenuIds();
  const auto all = std::find(ids.begin(), ids.end(), 20115u);
  ASSERT_NE(all, ids.end());
  EXPECT_EQ(*(all + 1), 20039u);
  EXPECT_EQ(std::string(LoadStr(visu_cmd::PopupText(visu_cmd::ListeSuivante))), "Autre Liste");
}

// The bar the preview installs, in both modes: each of its commands has a glyph of its own.
TEST_F(PreviewTest, EveryCommandOfTheBarOfBothModesHasItsGlyph) {
  AccountsReport* report = OpenReport();
  TWVisuWindow* w = Preview(report);
  ASSERT_NE(w, nullptr);
  for (int mode : {0, 1}) {
    if (mode == 1) {
      gui::SendCommand(MainWindowHandle, command_id::VisuMode1);
      w = CurrentPreviewWindow;
      ASSERT_NE(w, nullptr);
    }
    const std::vector<std::uint32_t> installed(ToolbarCommandList + 1, ToolbarCommandList + 1 + ToolbarCommandList[0]);
    EXPECT_EQ(installed, w->CommandList()) << mode;
    EXPECT_EQ(InstalledCommandsWithoutGlyph(), std::vector<unsigned>()) << mode;
  }
  test_support::Screenshot(MainControlBar->Widget(), "reports", "preview-toolbar");
}

TEST_F(PreviewTest, ClosingTellsTheOwnerItsEndOrTheNextList) {
  AccountsReport* report = OpenReport();
  // Esc closes: 20037 "Fin Visualisation".
  TWVisuWindow* w = Preview(report);
  ASSERT_NE(w, nullptr);
  Key(w, gui::VK_ESCAPE);
  EXPECT_EQ(CurrentPreviewWindow, nullptr);
  EXPECT_EQ(report->endNotices, 1);
  EXPECT_EQ(report->nextListNotices, 0);

  // A preview of several lists: "Autre Liste" only once the data ended; it asks for the next.
  QueueChoice(gui::IDOK, 1);
  BrowseHooks().preview = [](CMDIBrowse& list, const std::string& title) {
    gui::SendCommand(MainWindowHandle, command_id::VisuMode1);
    VisuShowList(list, title);
  };
  Send(report, 20035);
  w = CurrentPreviewWindow;
  ASSERT_NE(w, nullptr);
  ASSERT_EQ(w->Mode(), 1);
  Key(w, 'L', test_support::kControlModifier);
  EXPECT_EQ(CurrentPreviewWindow, w) << "Autre Liste before the end of the data";
  Send(w, visu_cmd::ToutesLesPages);
  Key(w, 'L', test_support::kControlModifier);
  EXPECT_EQ(CurrentPreviewWindow, nullptr);
  EXPECT_EQ(report->nextListNotices, 1);
  EXPECT_EQ(report->endNotices, 1);

  // 20991 with a preview still open replaces it, and its owner is not told.
  w = Preview(report);
  ASSERT_NE(w, nullptr);
  gui::SendCommand(MainWindowHandle, command_id::Visu);
  gui::ProcessPendingMessages();
  EXPECT_NE(CurrentPreviewWindow, nullptr);
  EXPECT_EQ(report->endNotices, 1);
  EXPECT_TRUE(PrintRunFlag);
  // The shell asks the preview to close when the program is to end (a first quit).
  ASSERT_TRUE(static_cast<bool>(Services().previewOpen));
  EXPECT_TRUE(Services().previewOpen());
  Services().closePreview();
  gui::ProcessPendingMessages();
  EXPECT_EQ(CurrentPreviewWindow, nullptr);
  EXPECT_FALSE(Services().previewOpen());
  EXPECT_FALSE(PrintRunFlag);
}

TEST_F(PreviewTest, TheMenuCommandsWaitWhileAPreviewIsOpen) {
  AccountsReport* report = OpenReport();
  TWVisuWindow* w = Preview(report);
  ASSERT_NE(w, nullptr);
  // A menu command beeps and does nothing during the print run ("Banques").
  const int before = beeps;
  gui::PostCommand(CommandWindow->GetHandle(), 20304);
  gui::ProcessPendingMessages();
  EXPECT_EQ(beeps, before + 1);
  // F6 prints (the key-up leaves it alone): with printing refused, the page stays.
  w->PrintDisabled = true;
  Key(w, gui::VK_NEXT);
  ASSERT_EQ(w->Context().currentPage, 2);
  Key(w, gui::VK_F6);
  EXPECT_EQ(w->Context().currentPage, 2);
  EXPECT_EQ(CurrentPreviewWindow, w);
  // Allowed, F6 closes the preview and asks the report window for its printout.
  w->PrintDisabled = false;
  gui::ModalSeam::QueueDialogAnswer(gui::IDCANCEL);
  Key(w, gui::VK_F6);
  EXPECT_EQ(CurrentPreviewWindow, nullptr);
  ASSERT_NE(gui::ModalSeam::LastShown(), nullptr);
  EXPECT_EQ(gui::ModalSeam::LastShown()->resourceId, 1303);
}

TEST_F(PreviewTest, ThePageShownAsHtmlOpensInTheDesktopsViewer) {
  AccountsReport* report = OpenReport();
  TWVisuWindow* w = Preview(report);
  ASSERT_NE(w, nullptr);
  Key(w, gui::VK_NEXT);
  Key(w, 'H', test_support::kControlModifier);
  const std::string page = folder_ + "cvprp.htm";
  ASSERT_EQ(launched.size(), 1u) << test_support::ShownTexts();
  EXPECT_EQ(launched[0], (std::vector<std::string>{"xdg-open", page}));
  const std::string html = ReadAll(page);
  EXPECT_NE(html.find(report->accounts[1].first), std::string::npos);
  EXPECT_EQ(html.find(report->accounts[0].first), std::string::npos);
  EXPECT_FALSE(w->HtmlPageBusy);
}

TEST_F(PreviewTest, AnEmptyReportSaysSoUnderTheWindowsTitle) {
  AccountsReport* report = OpenReport();
  report->LimitFrom = "ZZZZ";
  QueueChoice(gui::IDOK, 1);
  Send(report, 20035);
  EXPECT_EQ(CurrentPreviewWindow, nullptr);
  const gui::ShownModal* box = gui::ModalSeam::LastShown();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->caption, "Comptes de test");
  EXPECT_EQ(box->text, "\n\n\nIl n'y a rien dans cet Etat\n\n\n\n\n");
  EXPECT_EQ(box->icon, static_cast<unsigned>(gui::MB_ICONINFORMATION));
  EXPECT_GE(beeps, 1);
  // The layout's template as the preview loads it.
  reports::LoadedTemplate loaded;
  ASSERT_TRUE(LoadTemplateVisu("ts-autre", loaded));
  EXPECT_EQ(loaded.layout.listType, "B");
  EXPECT_FALSE(LoadTemplateVisu("TS-ANNULE", loaded));
}

}  // namespace
