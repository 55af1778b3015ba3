// A whole main window for the command tests, started as the program starts
// it, with no dossier and every option at its default.
#pragma once

#include <string>
#include <vector>

#include "platform/gui/keyboard.h"
#include "platform/gui/menu.h"
#include "runtime/dossier_record.h"
#include "runtime/session_registry.h"
#include "shell/application.h"
#include "shell/handlers.h"
#include "shell/utility_commands.h"
#include "shell_test_support.h"

class ShellFrameTest : public ProgramStartTest {
 protected:
  void SetUp() override {
    ProgramStartTest::SetUp();
    setenv("MERLON_HOME", folder_.c_str(), 1);
    Utilities() = UtilityServices{};
    Start();
    gui::ModalSeam::Reset();
    ResetState();
  }

  void TearDown() override {
    ResetState();
    app_.reset();
    Utilities() = UtilityServices{};
    ProgramStartTest::TearDown();
  }

  // No dossier, nothing running, every option at its default.
  void ResetState() {
    gui::ClearModifierKeyOverrides();
    PrintRunFlag = false;
    SetDossierState(' ');
    DossierCode.clear();
    DossierFolder.clear();
    for (auto& s : DossierSlots) s.clear();
    for (auto& r : RecentDossiers) r.clear();
    TheDossierRecord.Clear();
    SetProgramOption(3, 'O');
    SetProgramOption(5, '0');
    SetProgramOption(6, '0');
    SetProgramOption(7, '0');
    SetProgramOption(8, 'N');
    SetProgramOption(10, 'O');
    for (unsigned id = 19990; id < 21000; ++id) SetCommandWork(id, {});
  }

  // A dossier open for a user of `level` (rights of the secondary password).
  void OpenDossier(char level = '0') {
    DossierCode = "ESSAI";
    DossierFolder = folder_ + "/essai/";
    DossierSlots[0] = "ESSAI" + DossierFolder;
    std::filesystem::create_directories(DossierFolder);
    TheDossierRecord.SetUserLevel(level);
    TheDossierRecord.EnsureRights();
  }

  bool Enabled(unsigned id) {
    gui::CommandEnabler ce(id);
    MainFrame->RouteCommandEnable(ce);
    return ce.Handled() && ce.Enabled();
  }
  // Runs the enablers of the menu bar's pop-ups, as opening them does.
  static void RunMenuEnablers(gui::Menu* menu) {
    if (menu == nullptr) return;
    menu->RunEnablers();
    for (int i = 0; i < menu->GetItemCount(); ++i) RunMenuEnablers(menu->GetSubMenu(i));
  }
  // Chooses a command as the user does: through the menu when it has an
  // entry there, else through the frame's routing.
  void Choose(unsigned id) {
    if (MainMenuHandle != nullptr && !MainMenuHandle->CommandIds().empty()) {
      for (unsigned m : MainMenuHandle->CommandIds()) {
        if (m == id) {
          RunMenuEnablers(MainMenuHandle);
          EXPECT_TRUE(MainMenuHandle->Choose(id)) << id;
          gui::ProcessPendingMessages();
          return;
        }
      }
    }
    MainFrame->RouteCommand(id);
    gui::ProcessPendingMessages();
  }

};
