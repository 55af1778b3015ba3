// The report-choice dialogs as a report window runs them: only the layouts of its prefix (a
// cancelled one left out), the list type in the last 20 characters, greying by the window's
// level and limits mode, the switch between preview and printout, the code limits with their
// lookup, and the automatic choice of program option 12.
#include "report_window_fixture.h"

#include "platform/gui/dialog.h"
#include "platform/gui/listbox.h"

using namespace report_test;

namespace {

class ChoiceDialogTest : public ReportWindowTest {
 protected:
  // The dialog 1302 built (not run) for the window: what it lists and greys.
  struct Seen {
    std::vector<std::string> lines;
    bool firstPage, lastPage, limit;
  };
  static Seen Look(AccountsReport* report, bool print = false, const std::string& picture = "") {
    Seen seen{};
    gui::ModalSeam::QueueDialogAnswer(gui::IDCANCEL, [&seen, picture](gui::Window& w) {
      auto& d = static_cast<gui::Dialog&>(w);
      if (!picture.empty()) test_support::Screenshot(d.Widget(), "reports", picture);
      if (auto* list = d.Item<gui::ListBox>(choice_ids::kLayouts))
        for (int i = 0; i < list->GetCount(); ++i) seen.lines.push_back(list->GetString(i));
      seen.firstPage = d.GetDlgItem(choice_ids::kFirstPage)->IsWindowEnabled();
      seen.lastPage = d.GetDlgItem(choice_ids::kLastPage)->IsWindowEnabled();
      seen.limit = d.GetDlgItem(choice_ids::kLimit)->IsWindowEnabled();
    });
    TDVisuChoixEtat dialog(report, "TS-", print);
    dialog.Execute(kTaskModal);
    return seen;
  }
};

TEST_F(ChoiceDialogTest, ListsOnlyThePrefixsLayoutsWithTheirListType) {
  AccountsReport* report = OpenReport();
  const Seen seen = Look(report, false, "choice-1302");
  ASSERT_EQ(seen.lines.size(), 2u) << test_support::ShownTexts();
  EXPECT_EQ(Look(report, true, "choice-1303").lines, seen.lines);
  EXPECT_EQ(LayoutCode(seen.lines[0]), "TS-AUTRE");
  EXPECT_EQ(LayoutCode(seen.lines[1]), "TS-LISTE");
  // The last 20 characters show the [TypeListe=] value, nothing when none (the "0" that stands for none
  // is not shown after the name).
  EXPECT_EQ(seen.lines[0].substr(seen.lines[0].size() - 20), "B                   ");
  EXPECT_EQ(seen.lines[1].substr(seen.lines[1].size() - 20), "                    ");
  EXPECT_NE(seen.lines[0].find("\tAutre pr\xE9sentation"), std::string::npos);
  // The constructor puts the prefix into the report code.
  EXPECT_EQ(report->ReportCode, "TS-               ");
}

TEST_F(ChoiceDialogTest, GreysByLevelAndLimitsMode) {
  AccountsReport* report = OpenReport();
  struct Case {
    int level, limitsMode;
    bool pages, limit;
  };
  const Case cases[] = {
      {3, 3, true, true}, {2, 3, true, true}, {1, 3, true, false}, {0, 3, false, false}, {3, 1, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("level " + std::to_string(c.level) + ", limits mode " + std::to_string(c.limitsMode));
    report->ChoiceOptionsLevel = c.level;
    report->LimitsMode = c.limitsMode;
    for (bool print : {false, true}) {
      const Seen seen = Look(report, print);
      EXPECT_EQ(seen.firstPage, c.pages);
      EXPECT_EQ(seen.lastPage, c.pages);
      EXPECT_EQ(seen.limit, c.limit);
    }
  }
}

TEST_F(ChoiceDialogTest, OkWritesTheLayoutThePagesAndTheListType) {
  AccountsReport* report = OpenReport();
  struct Case {
    int row;
    std::string first, last, code, type;
    char letter;
  };
  const Case cases[] = {
      {0, "3", "12", "TS-AUTRE     3  12", "B", 'B'},
      {1, "", "", "TS-LISTE     19999", "", ' '},
      {1, "0", "abc", "TS-LISTE     19999", "", ' '},
      {1, "9999", "", "TS-LISTE  99999999", "", ' '},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    QueueChoice(gui::IDOK, c.row, c.first, c.last);
    TDVisuChoixEtat dialog(report, "TS-");
    EXPECT_EQ(dialog.Execute(kTaskModal), gui::IDOK);
    EXPECT_EQ(report->ReportCode, c.code);
    EXPECT_EQ(report->ChosenLayoutText, c.type);
    EXPECT_EQ(report->ListTypeLetter, c.letter);
  }
  // The level 0 window takes every page whatever is typed.
  report->ChoiceOptionsLevel = 0;
  QueueChoice(gui::IDOK, 1, "4", "5");
  TDVisuChoixEtat dialog(report, "TS-");
  dialog.Execute(kTaskModal);
  EXPECT_EQ(report->ReportCode, "TS-LISTE     19999");
}

TEST_F(ChoiceDialogTest, SwitchesBetweenPreviewAndPrintout) {
  AccountsReport* report = OpenReport();
  // "&Imprimer" in the preview's dialog: the window asks for its printout (cancelled here).
  gui::ModalSeam::QueueDialogAnswer(choice_ids::kToPrint);
  gui::ModalSeam::QueueDialogAnswer(gui::IDCANCEL);
  Send(report, 20035);
  // "&Visualiser" in the printout's dialog: the window asks for its preview.
  gui::ModalSeam::QueueDialogAnswer(choice_ids::kToPreview);
  QueueChoice(gui::IDOK, 1);
  Send(report, 20041);
  std::vector<int> dialogs;
  for (const gui::ShownModal& s : gui::ModalSeam::Shown())
    if (s.kind == gui::ModalKind::Dialog) dialogs.push_back(s.resourceId);
  EXPECT_EQ(dialogs, (std::vector<int>{1302, 1303, 1303, 1302}));
  ASSERT_NE(CurrentPreviewWindow, nullptr);
  EXPECT_EQ(report->ReportCode.substr(0, 8), "TS-LISTE");
}

TEST_F(ChoiceDialogTest, AutomaticChoiceTakesTheFirstLayoutUnseen) {
  AccountsReport* report = OpenReport();
  SetProgramOption(12, 'N');
  Send(report, 20035);
  for (const gui::ShownModal& s : gui::ModalSeam::Shown()) EXPECT_NE(s.kind, gui::ModalKind::Dialog);
  ASSERT_NE(CurrentPreviewWindow, nullptr);
  EXPECT_EQ(report->ReportCode, "TS-AUTRE     19999");
  EXPECT_EQ(report->ChosenLayoutText, "B");
  Send(CurrentPreviewWindow, visu_cmd::Quitter);
  // A window that wants the user's choice gets the dialog all the same.
  QueueChoice(gui::IDOK, 1);
  TDVisuChoixEtat dialog(report, "TS-");
  dialog.ForceChoice = true;
  EXPECT_EQ(dialog.Execute(kTaskModal), gui::IDOK);
  EXPECT_EQ(report->ReportCode.substr(0, 8), "TS-LISTE");
  // A prefix without layouts says so, once, and nothing runs.
  gui::ModalSeam::Reset();
  TDVisuChoixEtat none(report, "ZZ-");
  EXPECT_EQ(none.Execute(kTaskModal), gui::IDCANCEL);
  ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u);
  EXPECT_NE(gui::ModalSeam::Shown()[0].text.find("\"ZZ-\""), std::string::npos);
}

TEST_F(ChoiceDialogTest, LimitsWithTheirLookupsNarrowTheReport) {
  AccountsReport* report = OpenReport();
  ASSERT_TRUE(report->PrepareReport());
  const auto all = report->accounts;
  ASSERT_GE(all.size(), 6u);
  // "&Limiter": the first code from the lookup, the last typed.
  QueueChoice(gui::IDOK, 1, "", "", [](gui::Window& w) { static_cast<gui::Dialog&>(w).PressButton(choice_ids::kLimit); });
  gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [&all](gui::Window& w) {
    auto& d = static_cast<gui::Dialog&>(w);
    EXPECT_EQ(d.GetCaption(), "D\xE9" "finir les limites de la liste");
    d.SetItemText(1201, all[2].first.substr(0, 4));
    d.PressButton(1203);
    d.SetItemText(1202, all[4].first);
  });
  gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [&all](gui::Window& w) {
    auto& d = static_cast<gui::Dialog&>(w);
    auto* list = d.Item<gui::ListBox>(1201);
    ASSERT_NE(list, nullptr);
    for (int i = 0; i < list->GetCount(); ++i)
      if (list->GetString(i).rfind(all[2].first, 0) == 0) list->SetSelIndex(i);
  });
  Send(report, 20035);
  EXPECT_EQ(report->LimitFrom, all[2].first);
  EXPECT_EQ(report->LimitTo, all[4].first);
  ASSERT_NE(CurrentPreviewWindow, nullptr) << test_support::ShownTexts();
  ASSERT_EQ(report->accounts.size(), 3u);
  EXPECT_EQ(report->accounts.front().first, all[2].first);
  // A range that ends before it begins is refused (a beep); the limits stay.
  Send(CurrentPreviewWindow, visu_cmd::Quitter);
  const int before = beeps;
  gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [&all](gui::Window& w) {
    auto& d = static_cast<gui::Dialog&>(w);
    d.SetItemText(1201, all[4].first);
    d.SetItemText(1202, all[2].first);
  });
  TDDefinirLimites limits(report);
  EXPECT_EQ(limits.Execute(kTaskModal), gui::IDCANCEL);
  EXPECT_GT(beeps, before);
  EXPECT_EQ(report->LimitFrom, all[2].first);
}

}  // namespace
