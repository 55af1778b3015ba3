// The command table driven as a user drives it: enablers grey commands by
// the program's state, handlers run their prologue, and open windows come
// to the top instead of opening twice.
#include "platform/gui/mdi.h"
#include "platform/gui/messagebox.h"
#include "platform/gui/statusbar.h"
#include "shell/enablers.h"
#include "shell/registry.h"
#include "shell/toolbar.h"
#include "shell_frame_fixture.h"

namespace {

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
      {"no dossier", 20202, true},  {"no dossier", 20203, false}, {"no dossier", 20301, false},
      {"no dossier", 20725, true},  {"no dossier", 20206, false}, {"no dossier", 20209, true},
      {"dossier", 20203, true},     {"dossier", 20301, true},     {"dossier", 20725, false},
      {"dossier", 20508, false},    {"dossier", 20702, true},
      {"print run", 20201, false},  {"print run", 20301, false},  {"print run", 20992, true},
      {"busy", 20202, false},       {"busy", 20501, false},
      {"constant 056", 20401, false}, {"constant 056", 20605, false}, {"constant 056", 20205, false},
      {"constant 056", 20501, true},
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

TEST_F(CommandEnablerTest, MenuAndToolbarShowTheEnablersAnswers) {
  RunMenuEnablers(MainMenuHandle);
  EXPECT_FALSE(MainMenuHandle->IsItemEnabled(20203));
  MainControlBar->RunEnablers();
  EXPECT_FALSE(MainControlBar->GadgetWithId(20309)->IsEnabled());
  OpenDossier();
  RunMenuEnablers(MainMenuHandle);
  MainControlBar->RunEnablers();
  EXPECT_TRUE(MainMenuHandle->IsItemEnabled(20203));
  EXPECT_TRUE(MainControlBar->GadgetWithId(20309)->IsEnabled());
  // A greyed entry cannot be chosen.
  PrintRunFlag = true;
  RunMenuEnablers(MainMenuHandle);
  EXPECT_FALSE(MainMenuHandle->Choose(20309));
  EXPECT_TRUE(gui::ModalSeam::Shown().empty());
}

TEST_F(CommandEnablerTest, AccessRightsGreyTheirFunctions) {
  // A user of level 'B': function 5 (journals) loses its menu right.
  OpenDossier('B');
  std::string rights = TheDossierRecord.Rights();
  std::string row = LoadStr(9005);
  int start = std::atoi(row.substr(0, 3).c_str());
  ASSERT_GT(start, 0);
  rights[start - 1] = '0' + 0x0E;  // bit 0 (menu access) cleared
  TheDossierRecord.SetRights(rights);
  EXPECT_FALSE(Enabled(20302));
  EXPECT_TRUE(Enabled(20301));
  EXPECT_TRUE(Enabled(20308));  // "Codes Tva": function 37 has no row
  // Every right for the levels 0, 1, A, and during a print run for the rights.
  TheDossierRecord.SetUserLevel('1');
  EXPECT_TRUE(Enabled(20302));
}

TEST_F(CommandEnablerTest, BalanceSheetCommandsNeedTheOptionAndAModel) {
  struct Row {
    char option;
    const char* constant004;
    bool enabled;
  };
  const Row rows[] = {{'O', "R  ", true}, {'O', "G  ", true}, {'O', "X  ", false},
                      {'O', "   ", false}, {'N', "R  ", false}};
  for (const Row& r : rows) {
    ResetState();
    OpenDossier();
    SetProgramOption(10, r.option);
    TheDossierRecord.SetConstant(4, r.constant004);
    for (unsigned id : {20508u, 20509u, 20510u, 20017u, 20720u, 20721u})
      EXPECT_EQ(Enabled(id), r.enabled) << r.option << "'" << r.constant004 << "' " << id;
  }
}

TEST_F(CommandEnablerTest, ParticularEnablers) {
  // Access rights: level 1 or A on a dossier with a secondary password.
  OpenDossier('1');
  EXPECT_FALSE(Enabled(20705));
  TheDossierRecord.Set(DossierRecord::kSecondaryPasswordPos, 9, "SECRET");
  EXPECT_TRUE(Enabled(20705));
  TheDossierRecord.SetUserLevel('B');
  EXPECT_FALSE(Enabled(20705));
  TheDossierRecord.SetUserLevel(' ');
  EXPECT_FALSE(Enabled(20705));
  // Change of dossier needs two; opening one more needs a free slot.
  EXPECT_FALSE(Enabled(20206));
  DossierSlots[1] = "AUTRE/tmp/autre/";
  EXPECT_TRUE(Enabled(20206));
  EXPECT_TRUE(Enabled(20202));
  DossierSlots[4] = "VIEUX/tmp/vieux/";
  EXPECT_FALSE(Enabled(20202));
  // Recent choices can be removed when a second one exists.
  EXPECT_FALSE(Enabled(20210));
  RecentDossiers[1] = "AUTRE/tmp/autre/";
  EXPECT_TRUE(Enabled(20210));
  // Report sets: preview set differs from the first printer's or (second
  // printer in use) from the second's.
  EXPECT_FALSE(Enabled(20707));
  SetProgramOption(6, 'A');
  EXPECT_TRUE(Enabled(20707));
  SetProgramOption(6, '0');
  SetProgramOption(7, 'B');
  EXPECT_FALSE(Enabled(20707));
  SetProgramOption(8, 'O');
  EXPECT_TRUE(Enabled(20707));
}

TEST_F(CommandEnablerTest, WindowCommandsNeedAnActiveChildAndAnIdleProgram) {
  EXPECT_FALSE(Enabled(20802));
  EXPECT_FALSE(Enabled(24361));
  OpenChild("Liste");
  EXPECT_TRUE(Enabled(20802));
  EXPECT_TRUE(Enabled(24365));
  PrintRunFlag = true;
  EXPECT_FALSE(Enabled(24361));
  EXPECT_FALSE(Enabled(20802));
  PrintRunFlag = false;
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
  SetCommandWork(20302, [&runs] { ++runs; });
  OpenDossier();
  CurrentHelpContext = 0;
  Choose(20302);
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(CurrentHelpContext, 85);

  // Print run: one beep, nothing else (sent by another window: the menu is grey).
  PrintRunFlag = true;
  gui::ResetBeepCount();
  gui::SendCommand(MainWindowHandle, 20302);
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(gui::BeepCount(), 1);
  PrintRunFlag = false;

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
  EXPECT_EQ(checks, 1);
  EXPECT_EQ(runs, 1);
  checkAnswer = true;
  gui::SendCommand(MainWindowHandle, 20302);
  EXPECT_EQ(checks, 2);
  EXPECT_EQ(runs, 2);
  // A dossier-wide process: nothing.
  SetDossierState('1');
  gui::SendCommand(MainWindowHandle, 20302);
  EXPECT_EQ(runs, 2);
  EXPECT_TRUE(gui::ModalSeam::Shown().empty());
}

TEST_F(CommandEnablerTest, SubjectsNotYetThereSayso) {
  OpenDossier();
  Choose(20301);
  EXPECT_EQ(gui::ModalSeam::Shown().size(), 1u);
  // The balance-sheet buttons share the work of "Bilan Edition".
  int runs = 0;
  SetCommandWork(20510, [&runs] { ++runs; });
  gui::SendCommand(MainWindowHandle, 20019);
  EXPECT_EQ(runs, 1);
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
  SetCommandWork(20302, OpenOrActivateList);
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
  // Minimised, flagged 'R' by its list: restored, and the flag is '1' again.
  gui::Window::FromHandle(first)->Show(gui::SW_MINIMIZE);
  other->Activate();
  SetRegistryText(kTestSlot, 1, "R");
  Choose(20302);
  EXPECT_EQ(g_created, 1);
  EXPECT_EQ(RegistryChar(kTestSlot), '1');
  EXPECT_FALSE(gui::Window::FromHandle(first)->IsIconic());
  // A window that ended without blanking its slot does not block the command.
  gui::Window::FromHandle(first)->CloseWindow();
  gui::ProcessPendingMessages();
  Choose(20302);
  EXPECT_EQ(g_created, 2);
}

}  // namespace
