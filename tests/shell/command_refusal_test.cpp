// A command the user's rights refuse stays refused however it is started: its menu item, its
// key, the toolbar's "Saisie", a command posted or sent to the main window, the automatic start.
// A granted command goes through every one of these paths, so that each refusal is the rights'.
#include <QAction>
#include <map>

#include "dossier/auto_start.h"
#include "platform/gui/controlbar.h"
#include "resources/command_ids.h"
#include "runtime/inifiles.h"
#include "shell/application.h"
#include "shell_frame_fixture.h"
#include "support/access_rights.h"

namespace {

class CommandRefusalTest : public ShellFrameTest {
 protected:
  // A secondary user whose rights refuse "Saisie d'Ecritures" (13), "Balances" (19) and
  // "Journaux" (5); every command counts its runs, the toolbar's "Saisie" asks for the entry as
  // the entry's own work does.
  void SetUpRefusingUser() {
    OpenDossier('B');
    for (int function : {13, 19, 5}) test_support::RefuseAccessRight(function, 1);
    for (unsigned id : {command_id::SaisieEcritures, command_id::EtaBalances, command_id::DonneesJournaux,
                        command_id::EtaCompte, command_id::DonneesPlanComptable})
      SetCommandWork(id, [this, id] { ++runs[id]; });
    SetCommandWork(command_id::ActiverSaisie, [] { gui::PostCommand(MainWindowHandle, command_id::SaisieEcritures); });
    runs.clear();
  }

  std::map<unsigned, int> runs;
};

TEST_F(CommandRefusalTest, ARefusedCommandRunsByNoPathAGrantedOneByEvery) {
  SetUpRefusingUser();
  struct Case {
    unsigned id;
    int key;  // its Ctrl key in the frame's table, 0 when it has none
    const char* launch;
    bool granted;
  };
  const Case cases[] = {
      {command_id::SaisieEcritures, 'S', "SS-", false},
      {command_id::EtaBalances, 'B', "EB-", false},
      {command_id::DonneesJournaux, 0, "DJ-", false},
      {command_id::EtaCompte, 'C', "EC-", true},
      {command_id::DonneesPlanComptable, 0, "DP-", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    const int each = c.granted ? 1 : 0;
    int expected = 0;
    // The menu.
    RunMenuEnablers(MainMenuHandle);
    EXPECT_EQ(MainMenuHandle->Choose(c.id), c.granted);
    gui::ProcessPendingMessages();
    EXPECT_EQ(runs[c.id], expected += each) << "menu";
    // The key.
    if (c.key != 0) {
      test_support::SendKey(CommandWindow->Widget(), test_support::kKeyPress, c.key, test_support::kControlModifier);
      test_support::SendKey(CommandWindow->Widget(), test_support::kKeyRelease, c.key, test_support::kControlModifier);
      // The window system then holds no modifier down any more (a key alone).
      test_support::SendKey(CommandWindow->Widget(), test_support::kKeyPress, test_support::kKeyF24);
      test_support::SendKey(CommandWindow->Widget(), test_support::kKeyRelease, test_support::kKeyF24);
      gui::ProcessPendingMessages();
      EXPECT_EQ(runs[c.id], expected += each) << "key";
    }
    // Posted and sent by another window.
    gui::PostCommand(MainWindowHandle, c.id);
    gui::ProcessPendingMessages();
    EXPECT_EQ(runs[c.id], expected += each) << "posted";
    gui::SendCommand(MainWindowHandle, c.id);
    gui::ProcessPendingMessages();
    EXPECT_EQ(runs[c.id], expected += each) << "sent";
    // The automatic start, from the program INI.
    IniSetString("LancementAuto", c.launch);
    RunAutoLaunch();
    gui::ProcessPendingMessages();
    EXPECT_EQ(runs[c.id], expected += each) << "automatic start";
  }
  // Dossier constant 050 starts "DP-SS-NV-": the chart opens, the refused entry does not.
  IniSetString("LancementAuto", "");
  TheDossierRecord.SetConstant(50, "O  ");
  runs.clear();
  RunAutoLaunch();
  gui::ProcessPendingMessages();
  EXPECT_EQ(runs[command_id::DonneesPlanComptable], 1);
  EXPECT_EQ(runs[command_id::SaisieEcritures], 0);
  EXPECT_GE(gui::GetKeyState(gui::VK_CONTROL), 0) << "the keys typed are all released";
}

// The toolbar's "Saisie" is grey for a user refused the entry, and a click that reaches it anyway
// (a button left enabled) opens nothing: the entry it asks for is refused where it is run.
TEST_F(CommandRefusalTest, TheToolbarsSaisieOpensNoEntryTheRightsRefuse) {
  SetUpRefusingUser();
  ASSERT_NE(MainControlBar, nullptr);
  gui::Gadget* saisie = MainControlBar->GadgetWithId(command_id::ActiverSaisie);
  ASSERT_NE(saisie, nullptr);
  MainControlBar->RunEnablers();
  EXPECT_FALSE(saisie->IsEnabled());
  EXPECT_FALSE(MainControlBar->Press(command_id::ActiverSaisie));
  const int beeps0 = beeps;
  saisie->GetAction()->setEnabled(true);
  saisie->GetAction()->trigger();
  gui::ProcessPendingMessages();
  EXPECT_EQ(runs[command_id::SaisieEcritures], 0);
  EXPECT_GT(beeps, beeps0);
  // The right given back: the same button opens the entry.
  TheDossierRecord.SetUserLevel('1');
  MainControlBar->RunEnablers();
  EXPECT_TRUE(MainControlBar->Press(command_id::ActiverSaisie));
  gui::ProcessPendingMessages();
  EXPECT_EQ(runs[command_id::SaisieEcritures], 1);
}

}  // namespace
