// A whole main window for the command tests: application object, frame,
// client, menu, toolbar and status bars, in a program folder of its own,
// with the modal seam in test mode and external programs recorded instead
// of started.
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

class ShellFrameTest : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    setenv("MERLON_HOME", folder_.c_str(), 1);
    Utilities() = UtilityServices{};
    SetProcessLauncher([this](const std::vector<std::string>& argv, const platform::LaunchOptions& o) {
      launched_.push_back(argv);
      launchedIn_.push_back(o.workingDirectory);
      platform::LaunchResult r;
      r.launched = launchWorks_;
      r.error = launchWorks_ ? 0 : 2;
      return r;
    });
    static char arg0[] = "merlon";
    static char* argv[] = {arg0, nullptr};
    app_ = new Merlon(1, argv, true);
    app_->InitMainWindow();
    ASSERT_NE(MainFrame, nullptr);
    ASSERT_TRUE(MainFrame->Create());
    MainFrame->Show(gui::SW_SHOWNORMAL);
    gui::ProcessPendingMessages();
    gui::ModalSeam::Reset();
    ResetState();
  }

  void TearDown() override {
    ResetState();
    delete app_;
    app_ = nullptr;
    SetProcessLauncher({});
    Utilities() = UtilityServices{};
    ShellTest::TearDown();
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

  Merlon* app_ = nullptr;
  std::vector<std::vector<std::string>> launched_;
  std::vector<std::string> launchedIn_;
  bool launchWorks_ = true;
};
