// The commands the shell handles itself: recent dossiers of the File menu,
// the INI files, the terminal, the engine notice, help, the report-choice
// and full-screen toggles, the about box.
#include <fstream>

#include "support/gui_test.h"
#include "platform/gui/dialog.h"
#include "platform/gui/keyboard.h"
#include "platform/gui/mdi.h"
#include "runtime/logfile.h"
#include "shell/about_box.h"
#include "shell/command_table.h"
#include "shell_frame_fixture.h"

namespace {

using UtilityTest = ShellFrameTest;

gui::Menu* FileMenu() { return MainMenuHandle->GetSubMenu(0); }

void FillRecent(int n) {
  for (int k = 0; k < n; ++k) RecentDossiers[k] = "DOS" + std::to_string(k + 1) + " /data/d" + std::to_string(k + 1) + "/";
}

TEST_F(UtilityTest, RecentDossiersMenu) {
  FillRecent(9);
  RebuildRecentDossiersMenu();
  gui::Menu* file = FileMenu();
  ASSERT_EQ(file->GetItemCount(), 16 + 1 + 9);
  EXPECT_TRUE(file->IsSeparator(14));
  EXPECT_EQ(file->GetItemId(15), 20221u);
  EXPECT_EQ(file->GetItemText(15), "&1 DOS1 sur /data/d1/");
  EXPECT_EQ(file->GetItemId(25), 20209u);
  // Rebuilt with fewer: the fixed 16 stay, a blank entry ends the list.
  RecentDossiers[3].clear();
  RebuildRecentDossiersMenu();
  EXPECT_EQ(file->GetItemCount(), 16 + 1 + 3);
}

TEST_F(UtilityTest, RemovingRecentChoices) {
  FillRecent(5);
  RebuildRecentDossiersMenu();
  // "Non" removes the last one, one at a time, never entry 1.
  for (int i = 0; i < 6; ++i) {
    gui::ModalSeam::QueueMessageBoxAnswer(gui::IDNO);
    CmSupprimerChoix();
  }
  EXPECT_EQ(RecentDossiers[0], "DOS1 /data/d1/");
  for (int k = 1; k < 9; ++k) EXPECT_TRUE(RecentDossiers[k].empty()) << k;
  EXPECT_EQ(FileMenu()->GetItemCount(), 16 + 1 + 1);
  const gui::ShownModal& shown = gui::ModalSeam::Shown().back();
  EXPECT_EQ(shown.buttons, gui::MB_YESNOCANCEL);
  EXPECT_EQ(shown.defaultButton, gui::IDCANCEL);

  // "Annuler" keeps the list, "Oui" keeps the first entry only.
  FillRecent(3);
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDCANCEL);
  CmSupprimerChoix();
  EXPECT_FALSE(RecentDossiers[2].empty());
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  CmSupprimerChoix();
  EXPECT_FALSE(RecentDossiers[0].empty());
  EXPECT_TRUE(RecentDossiers[1].empty() && RecentDossiers[2].empty());
}

TEST_F(UtilityTest, RecentDossierCommandsOpenThroughTheDossierHandling) {
  FillRecent(3);
  std::vector<int> opened;
  Utilities().openRecentDossier = [&](int k) { opened.push_back(k); };
  gui::SendCommand(MainWindowHandle, 20221);
  gui::SendCommand(MainWindowHandle, 20223);
  gui::SendCommand(MainWindowHandle, 20225);  // blank entry: nothing
  OpenDossier();
  gui::SendCommand(MainWindowHandle, 20221);  // entry 1 is the open dossier
  EXPECT_EQ(opened, (std::vector<int>{1, 3}));
}

TEST_F(UtilityTest, IniFilesOpenInTheTextEditor) {
  OpenDossier();
  SetDossierIniPath(DossierFolder + "c10essai.ini");
  SetLogDossier(DossierFolder, "ESSAI");
  // The command reads Ctrl and Shift as the user holds them: Ctrl the
  // program INI, Shift the dossier's log and INI; the program goes on.
  const std::string log = LogPath(".txt"), ini = DossierFolder + "c10essai.ini";
  const struct {
    bool ctrl, shift;
    std::vector<std::string> files;
  } cases[] = {{true, false, {IniPath()}}, {false, true, {log, ini}}, {true, true, {log, ini, IniPath()}}};
  for (const auto& c : cases) {
    launched_.clear();
    gui::SetModifierKeyDown(gui::VK_CONTROL, c.ctrl);
    gui::SetModifierKeyDown(gui::VK_SHIFT, c.shift);
    Choose(20702);
    std::vector<std::string> files;
    for (const auto& argv : launched_) {
      EXPECT_EQ(argv.at(0), "xdg-open");
      files.push_back(argv.at(1));
    }
    EXPECT_EQ(files, c.files) << c.ctrl << c.shift;
    EXPECT_TRUE(gui::IsWindow(MainWindowHandle));
  }
  gui::ClearModifierKeyOverrides();
  SetDossierIniPath("");
  SetLogDossier("", "");
}

TEST_F(UtilityTest, LaunchFailuresAreReported) {
  launchWorks_ = false;
  CompleterIni(true, false);
  ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u);
  EXPECT_NE(gui::ModalSeam::Shown()[0].text.find("xdg-open"), std::string::npos);
}

TEST_F(UtilityTest, TerminalInTheDossierFolderWhileTheDossierIsHeld) {
  setenv("TERMINAL", "my-term", 1);
  // No dossier: a terminal in the program folder, no question.
  Choose(20803);
  ASSERT_EQ(launched_.size(), 1u);
  EXPECT_EQ(launched_[0], std::vector<std::string>{"my-term"});
  EXPECT_EQ(launchedIn_[0], ProgramFolder);
  EXPECT_TRUE(gui::ModalSeam::Shown().empty());

  // A dossier: held alone until the user confirms the terminal is closed.
  OpenDossier();
  int taken = 0, released = 0;
  Utilities().openDossierExclusive = [&] { ++taken; return true; };
  Utilities().releaseDossierExclusive = [&] { ++released; };
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDNO);
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  gui::ResetBeepCount();
  launched_.clear();
  launchedIn_.clear();
  Choose(20803);
  EXPECT_EQ(launchedIn_.at(0), DossierFolder);
  EXPECT_EQ(taken, 1);
  EXPECT_EQ(released, 1);
  EXPECT_EQ(gui::ModalSeam::Shown().size(), 2u);
  EXPECT_EQ(gui::ModalSeam::Shown()[0].defaultButton, gui::IDNO);
  EXPECT_GE(gui::BeepCount(), 1);
  EXPECT_EQ(GetDossierState(), '2');

  // A child that refuses to close stops the command.
  auto* refusing = new AskedChild(CommandWindow, "Saisie", false);
  refusing->Create();
  SetDossierState(' ');
  launched_.clear();
  Choose(20803);
  EXPECT_TRUE(launched_.empty());
  EXPECT_EQ(taken, 1);
  unsetenv("TERMINAL");
}

TEST_F(UtilityTest, HelpOpensTheHelpFileThatExists) {
  Choose(20951);
  EXPECT_TRUE(launched_.empty());  // no help file: nothing
  std::ofstream(folder_ + "/CAideNuv.hlp") << "x";
  Choose(20951);
  ASSERT_EQ(launched_.size(), 1u);
  EXPECT_EQ(launched_[0][1], folder_ + "/CAideNuv.hlp");
  std::ofstream(folder_ + "/CAideNuv.chm") << "x";
  Choose(20951);
  EXPECT_EQ(launched_.back()[1], folder_ + "/CAideNuv.chm");
}

TEST_F(UtilityTest, Toggles) {
  SetProgramOption(12, 'N');
  MainControlBar->Press(20033);
  EXPECT_EQ(ProgramOption(12), 'O');
  gui::SendCommand(MainWindowHandle, 20033);
  EXPECT_EQ(ProgramOption(12), 'N');

  auto* child = new gui::MDIChild(CommandWindow, "Liste");
  child->MoveWindow({10, 10, 100, 80});
  child->Create();
  child->Show(gui::SW_SHOWNORMAL);
  gui::ProcessPendingMessages();
  SetProgramOption(3, 'N');
  Choose(20801);
  EXPECT_EQ(ProgramOption(3), 'O');
  RunMenuEnablers(MainMenuHandle);
  EXPECT_TRUE(MainMenuHandle->IsItemChecked(20801));
  gui::Rect client = CommandWindow->GetClientRect();
  gui::Rect r = child->GetWindowRect();
  EXPECT_EQ(r.w, client.w);
  EXPECT_EQ(r.h, client.h);
  Choose(20801);
  EXPECT_EQ(ProgramOption(3), 'N');
  RunMenuEnablers(MainMenuHandle);
  EXPECT_FALSE(MainMenuHandle->IsItemChecked(20801));
}

TEST_F(UtilityTest, AboutBox) {
  Utilities().dbVersionText = [] { return std::string("Merlon dBASE 1.0"); };
  std::string version, engine, os;
  gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [&](gui::Window& w) {
    test_support::Screenshot(w.Widget(), "shell", "about");
    auto& d = static_cast<gui::Dialog&>(w);
    version = d.GetItemText(1201);
    engine = d.GetItemText(1202);
    os = d.GetItemText(1203);
  });
  Choose(20952);
  ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u);
  EXPECT_EQ(gui::ModalSeam::Shown()[0].resourceId, 1301);
  EXPECT_FALSE(version.empty());
  EXPECT_EQ(engine, "Version BDE: Merlon dBASE 1.0");
  EXPECT_EQ(os.substr(0, 17), "Version Windows: ");
}

}  // namespace
