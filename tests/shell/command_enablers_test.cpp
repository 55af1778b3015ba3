// The command table driven as a user drives it: enablers grey commands by
// the program's state, handlers run their prologue, and open windows come
// to the top instead of opening twice.
#include "platform/gui/mdi.h"
#include "platform/gui/messagebox.h"
#include "platform/gui/statusbar.h"
#include "resources/command_ids.h"
#include "resources/string_table.h"
#include "shell/enablers.h"
#include "shell/registry.h"
#include "shell/toolbar.h"
#include "shell_frame_fixture.h"

namespace {

constexpr int kJournalsRightsRow = 9005;  // the access-rights row of function 5 (journals)

using CommandEnablerTest = ShellFrameTest;

AskedChild* OpenChild(const std::string& caption, bool agree = true) {
  auto* child = new AskedChild(CommandWindow, caption, agree);
  child->Create();
  child->Show(gui::SW_SHOWNORMAL);
  gui::ProcessPendingMessages();
  return child;
}

// Commands whose state the table decides, by program state.
TEST_F(CommandEnablerTest, CommandsFollowTheProgramState) {
  struct Row {
    const char* state;
    unsigned id;
    bool enabled;
  };
  const std::vector<Row> rows = {
      {"no dossier", 20202, true},    {"no dossier", 20203, false}, {"dossier", 20203, true},
      {"dossier", 20725, false},      {"print run", 20301, false},  {"print run", 20992, true},
      {"busy", 20202, false},         {"constant 056", 20401, false}, {"constant 056", 20501, true},
  };
  for (const Row& r : rows) {
    ResetState();
    std::string s = r.state;
    if (s != "no dossier") OpenDossier();
    if (s == "print run") PrintRunFlag = true;
    if (s == "busy") SetDossierState('1');
    if (s == "constant 056") TheDossierRecord.SetConstant(56, "O  ");
    EXPECT_EQ(Enabled(r.id), r.enabled) << r.state << " " << r.id;
  }
}

TEST_F(CommandEnablerTest, AccessRightsGreyTheirFunctions) {
  // A user of level 'B': function 5 (journals) loses its menu right.
  OpenDossier('B');
  std::string rights = TheDossierRecord.Rights();
  std::string row = LoadStr(kJournalsRightsRow);
  int start = std::atoi(row.substr(0, 3).c_str());
  ASSERT_GT(start, 0);
  rights[start - 1] = '0' + 0x0E;  // bit 0 (menu access) cleared
  TheDossierRecord.SetRights(rights);
  EXPECT_FALSE(Enabled(20302));
  EXPECT_TRUE(Enabled(20301));
  // Every right for the levels 0, 1 and A.
  TheDossierRecord.SetUserLevel('1');
  EXPECT_TRUE(Enabled(20302));
}

TEST_F(CommandEnablerTest, BalanceSheetCommandsNeedTheOptionAndAModel) {
  struct Row {
    char option;
    const char* constant004;
    bool enabled;
  };
  const Row rows[] = {{'O', "R  ", true}, {'O', "X  ", false}, {'N', "R  ", false}};
  for (const Row& r : rows) {
    ResetState();
    OpenDossier();
    SetProgramOption(10, r.option);
    TheDossierRecord.SetConstant(4, r.constant004);
    for (unsigned id : {20508u, 20017u, 20721u})
      EXPECT_EQ(Enabled(id), r.enabled) << r.option << "'" << r.constant004 << "' " << id;
  }
}

TEST_F(CommandEnablerTest, LastChildClosedEmptiesTheWindowButtons) {
  const std::size_t permanent = MainControlBar->GadgetCount();
  AskedChild* child = OpenChild("Liste");
  BuildToolbar(std::vector<std::uint32_t>{20023, 20055, 1, 20049}, false);
  MessageBar->SetText("3 lignes");
  EXPECT_EQ(MainControlBar->GadgetCount(), static_cast<int>(permanent) + 4);
  OpenDossier();
  EXPECT_TRUE(Enabled(20203));
  EXPECT_EQ(MainControlBar->GadgetCount(), static_cast<int>(permanent) + 4);  // a child is active
  child->CloseWindow();
  gui::ProcessPendingMessages();
  EXPECT_TRUE(Enabled(20203));
  EXPECT_EQ(MainControlBar->GadgetCount(), static_cast<int>(permanent));
  EXPECT_EQ(ToolbarCommandList[0], 0u);
  EXPECT_EQ(MessageBar->GetText(), "");
}

TEST_F(CommandEnablerTest, HandlersRunTheirPrologue) {
  int runs = 0;
  SetCommandWork(command_id::DonneesJournaux, [&runs] { ++runs; });
  OpenDossier();
  CurrentHelpContext = 0;
  Choose(20302);
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(CurrentHelpContext, 85);

  // Dossier to check again: the check runs first; a failed check stops.
  bool checkAnswer = false;
  int checks = 0;
  Services().ensureDossierOpen = [&] {
    ++checks;
    if (checkAnswer) SetDossierState(' ');
    return checkAnswer;
  };
  SetDossierState('2');
  gui::SendCommand(MainWindowHandle, 20302);
  EXPECT_EQ(std::pair(checks, runs), std::pair(1, 1));
  checkAnswer = true;
  gui::SendCommand(MainWindowHandle, 20302);
  EXPECT_EQ(std::pair(checks, runs), std::pair(2, 2));
}

// A subject's handler as the subjects write it: an open window of its kind
// comes to the top, otherwise a new one opens.
constexpr int kTestSlot = 200;
int g_created = 0;
void OpenOrActivateList() {
  if (ActivateExistingChild(kTestSlot)) return;
  ++g_created;
  AskedChild* child = OpenChild("Journaux");
  RegisterWindowSlot(kTestSlot, child->GetHandle());
}

TEST_F(CommandEnablerTest, OpenWindowComesToTheTopInsteadOfASecondOne) {
  g_created = 0;
  SetCommandWork(command_id::DonneesJournaux, OpenOrActivateList);
  OpenDossier();
  Choose(20302);
  ASSERT_EQ(g_created, 1);
  gui::Handle first = SlotHandle(kTestSlot);
  AskedChild* other = OpenChild("Autre");
  EXPECT_EQ(CommandWindow->GetActiveMDIChild(), other);
  Choose(20302);
  EXPECT_EQ(g_created, 1);
  EXPECT_EQ(CommandWindow->GetChildren().size(), 2u);
  EXPECT_EQ(CommandWindow->GetActiveMDIChild()->GetHandle(), first);
  // A window that ended without blanking its slot does not block the command.
  gui::Window::FromHandle(first)->CloseWindow();
  gui::ProcessPendingMessages();
  Choose(20302);
  EXPECT_EQ(g_created, 2);
}

}  // namespace
