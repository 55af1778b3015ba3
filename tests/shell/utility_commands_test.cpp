// The commands the shell handles itself: recent dossiers of the File menu,
// the INI files, the terminal, help and the about box.
#include <QWidget>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <sstream>
#include <fstream>

#include "platform/system/files.h"
#include "support/gui_test.h"
#include "support/temp_folder.h"
#include "platform/gui/dialog.h"
#include "platform/gui/keyboard.h"
#include "platform/gui/mdi.h"
#include "platform/system/cp1252.h"
#include "runtime/logfile.h"
#include "data/session.h"
#include "shell/about_box.h"
#include "shell/command_table.h"
#include "shell_frame_fixture.h"

namespace {

using UtilityTest = ShellFrameTest;

gui::Menu* FileMenu() { return MainMenuHandle->GetSubMenu(0); }

void FillRecent(int n) {
  for (int k = 0; k < n; ++k) RecentDossiers[k] = "DOS" + std::to_string(k + 1) + " /data/d" + std::to_string(k + 1) + "/";
}

TEST_F(UtilityTest, RemovingRecentChoices) {
  FillRecent(5);
  RebuildRecentDossiersMenu();
  EXPECT_EQ(FileMenu()->GetItemText(15), "&1 DOS1 sur /data/d1/");
  // "Non" removes the last one, one at a time, never entry 1.
  for (int i = 0; i < 6; ++i) {
    gui::ModalSeam::QueueMessageBoxAnswer(gui::IDNO);
    CmSupprimerChoix();
  }
  EXPECT_EQ(RecentDossiers[0], "DOS1 /data/d1/");
  for (int k = 1; k < 9; ++k) EXPECT_TRUE(RecentDossiers[k].empty()) << k;
  EXPECT_EQ(FileMenu()->GetItemCount(), 16 + 1 + 1);

  // "Oui" keeps the first entry only.
  FillRecent(3);
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  CmSupprimerChoix();
  EXPECT_FALSE(RecentDossiers[0].empty());
  EXPECT_TRUE(RecentDossiers[1].empty() && RecentDossiers[2].empty());
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

// With no desktop editor, the first file that could not be opened is said in a box over the
// main window, and the program stays: the user keeps the session (the command quits only once
// the editor has the files).
TEST_F(UtilityTest, IniFilesWithNoDesktopEditorAreSaidAndTheProgramStays) {
  SetProcessLauncher({});  // the real launcher, on the PATH below
  test_support::TempFolder bin("merlon-path");
  std::ofstream(bin / "xdg-open") << "#!/bin/sh\nexit 3\n";
  std::filesystem::permissions(bin / "xdg-open", std::filesystem::perms::owner_all);
  test_support::TempFolder empty("merlon-path");
  const std::string oldPath = platform::EnvironmentPath("PATH");
  const struct {
    const char* what;
    std::string path;
    const char* says;
  } cases[] = {{"no xdg-open", empty.path(), "Impossible de lancer le programme:\n\nxdg-open"},
               {"an xdg-open that fails", bin.path(), "n'a pu ouvrir le fichier:\n\n"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    OpenDossier();
    SetDossierIniPath(DossierFolder + "c10essai.ini");
    SetLogDossier(DossierFolder, "ESSAI");
    const std::string first = LogPath(".txt");
    gui::ModalSeam::Reset();
    std::vector<bool> frameThere;
    gui::ModalSeam::BuildMessageBoxes([&](QWidget* box) {
      frameThere.push_back(FrameAlive());
      if (frameThere.size() == 1)
        test_support::Screenshot(box, "shell", std::string("no_editor_") + (c.path == bin.path() ? "fails" : "missing"));
    });
    setenv("PATH", c.path.c_str(), 1);
    Choose(20702);
    setenv("PATH", oldPath.c_str(), 1);

    // One box, for the first file, shown over the main window.
    const auto& shown = gui::ModalSeam::Shown();
    ASSERT_EQ(shown.size(), 1u) << test_support::ShownTexts();
    EXPECT_NE(shown[0].text.find(c.says), std::string::npos) << shown[0].text;
    if (c.path == bin.path()) {
      EXPECT_NE(shown[0].text.find(first), std::string::npos) << shown[0].text;
    }
    EXPECT_EQ(frameThere, std::vector<bool>{true});
    // The program goes on: its window and its dossier are there.
    gui::ProcessPendingMessages();
    EXPECT_TRUE(FrameAlive());
    EXPECT_TRUE(gui::IsWindow(MainWindowHandle));
  }
  gui::ModalSeam::BuildMessageBoxes({});
  SetDossierIniPath("");
  SetLogDossier("", "");
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
  EXPECT_EQ(std::pair(taken, released), std::pair(1, 1));
  EXPECT_EQ(gui::ModalSeam::Shown().size(), 2u);
  EXPECT_EQ(GetDossierState(), '2');
  unsetenv("TERMINAL");
}

// "Aide": the program's page first, the older files after it; a missing
// help and a viewer that cannot start are said.
TEST_F(UtilityTest, HelpOpensTheHelpFileThatExists) {
  // The one box the command showed.
  const auto said = [] {
    return gui::ModalSeam::Shown().size() == 1 ? gui::ModalSeam::Shown()[0].text : std::string("<not one box>");
  };
  std::filesystem::remove(folder_ + "/CAideNuv.html");  // seeded at start
  Choose(20951);
  EXPECT_TRUE(launched_.empty());
  EXPECT_NE(said().find("introuvable"), std::string::npos) << said();
  std::ofstream(folder_ + "/CAideNuv.html") << "x";
  gui::ModalSeam::Reset();
  launchWorks_ = false;
  Choose(20951);
  EXPECT_EQ(launched_, (std::vector<std::vector<std::string>>{{"xdg-open", folder_ + "/CAideNuv.html"}}));
  EXPECT_NE(said().find("xdg-open\n\nfichier ou dossier introuvable"), std::string::npos) << said();
  // xdg-open started but found no viewer.
  gui::ModalSeam::Reset();
  launchWorks_ = true;
  launchExit_ = 3;
  Choose(20951);
  EXPECT_NE(said().find("n'a pu ouvrir le fichier:\n\n" + folder_ + "/CAideNuv.html"), std::string::npos) << said();
}

// A child window that takes F1 itself (as the lists and the form controls do).
class OwnHelpChild : public AskedChild {
 public:
  using AskedChild::AskedChild;
  int ownHelp = 0;

 protected:
  void EvKeyUp(int vk, unsigned repeat, unsigned flags) override {
    if (vk == gui::VK_F1) ++ownHelp;
    else DefaultProcessing();
  }
};

// F1 released in the main window opens the help, as the menu text "[F1]"
// says, wherever the focus is that does not take F1 itself; once.
TEST_F(UtilityTest, F1InTheMainWindowOpensTheHelp) {
  const std::string page = folder_ + "/CAideNuv.html";
  std::ofstream(page) << "<html lang=\"fr\"></html>";
  const std::vector<std::vector<std::string>> help = {{"xdg-open", page}};
  auto* plain = new AskedChild(client_, "Plan comptable");
  auto* own = new OwnHelpChild(client_, "Journaux");
  ASSERT_TRUE(plain->Create() && own->Create());
  const struct {
    const char* where;
    QWidget* target;
    bool opens;
  } cases[] = {{"the frame", frame_->OuterWidget(), true},
               {"the MDI client", client_->Widget(), true},
               {"a child that leaves F1", plain->Widget(), true},
               {"a child that takes F1", own->Widget(), false}};
  for (const auto& c : cases) {
    launched_.clear();
    test_support::SendKey(c.target, test_support::kKeyPress, gui::VK_F1);
    test_support::SendKey(c.target, test_support::kKeyRelease, gui::VK_F1);
    gui::ProcessPendingMessages();
    EXPECT_EQ(launched_, c.opens ? help : std::vector<std::vector<std::string>>{}) << c.where;
  }
  EXPECT_EQ(own->ownHelp, 1);

  // The key is the help command's: without the page, its box says so.
  std::filesystem::remove(page);
  gui::ModalSeam::Reset();
  gui::ModalSeam::BuildMessageBoxes([](QWidget* box) { test_support::Screenshot(box, "shell", "f1_no_help"); });
  test_support::SendKey(frame_->OuterWidget(), test_support::kKeyPress, gui::VK_F1);
  test_support::SendKey(frame_->OuterWidget(), test_support::kKeyRelease, gui::VK_F1);
  ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u);
  EXPECT_NE(gui::ModalSeam::Shown()[0].text.find("CAideNuv.html\" est introuvable"), std::string::npos);
  plain->Destroy();
  own->Destroy();
}

// The shipped help page names every command of the main menu, with the key
// its menu text gives.
TEST_F(UtilityTest, HelpPageListsEveryMenuCommand) {
  std::ifstream in(MERLON_BINARY_DIR "/share/merlon/CAideNuv.html");
  std::stringstream page;
  page << in.rdbuf();
  ASSERT_NE(page.str().find("<html lang=\"fr\">"), std::string::npos);
  std::unique_ptr<gui::Menu> menu = gui::Menu::Load(1101);
  ASSERT_NE(menu, nullptr);
  FillMenuTexts(*menu);
  int items = 0;
  std::function<void(const gui::Menu&)> walk = [&](const gui::Menu& m) {
    for (int i = 0; i < m.GetItemCount(); ++i) {
      if (m.IsSeparator(i)) continue;
      std::string text = platform::Cp1252ToUtf8(m.GetItemText(i));
      std::string key;
      if (const std::size_t tab = text.find('\t'); tab != std::string::npos) {
        key = text.substr(tab + 1);
        text.resize(tab);
      }
      text.erase(std::remove(text.begin(), text.end(), '&'), text.end());
      ASSERT_FALSE(text.empty());
      EXPECT_NE(page.str().find(">" + text + "<"), std::string::npos) << text;
      if (key.size() > 2) {
        EXPECT_NE(page.str().find(">" + key.substr(1, key.size() - 2) + "<"), std::string::npos) << key;
      }
      ++items;
      if (const gui::Menu* sub = m.GetSubMenu(i)) walk(*sub);
    }
  };
  walk(*menu);
  EXPECT_GT(items, 60);
}

// The about box names the system, the window toolkit and our engine with
// their versions.
TEST_F(UtilityTest, AboutBox) {
  std::string version, engine, os, toolkit;
  gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [&](gui::Window& w) {
    test_support::Screenshot(w.Widget(), "shell", "about");
    auto& d = static_cast<gui::Dialog&>(w);
    version = d.GetItemText(1201);
    engine = d.GetItemText(1202);
    os = d.GetItemText(1203);
    toolkit = d.GetItemText(1206);
  });
  Choose(20952);
  ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u);
  EXPECT_FALSE(version.empty());
  EXPECT_EQ(engine, "Moteur dBase Merlon: version " + std::string(DbVersionText()));
  EXPECT_EQ(os.rfind("Syst\xE8me: Linux ", 0), 0u) << os;
  EXPECT_EQ(toolkit.rfind("Fen\xEAtres: Qt 6.", 0), 0u) << toolkit;
}

}  // namespace
