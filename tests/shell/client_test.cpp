#include "platform/gui/constants.h"
#include "platform/gui/menu.h"
#include "runtime/code_helpers.h"
#include "runtime/runtime_init.h"
#include "runtime/session_registry.h"
#include "runtime/xbase.h"
#include "shell/startup.h"
#include "shell_test_support.h"

namespace {

using ClientTest = ProgramStartTest;

TEST_F(ClientTest, StartsWithFrameToolbarAndStatusBars) {
  Start();
  EXPECT_TRUE(client_->StartupSucceeded());
  EXPECT_TRUE(gui::ModalSeam::Shown().empty());
  EXPECT_EQ(frame_->GetCaption(), std::string("Nuv-Merlon ZEL+ - ") + ProgramFolder);
  EXPECT_EQ(SessionInt(1), static_cast<int>(client_->GetHandle()));
  ASSERT_NE(MainControlBar, nullptr);
  ASSERT_NE(MessageBar, nullptr);
  MessageBar->SetText("Pr\xEAt");
  gui::ProcessPendingMessages();
  test_support::Screenshot(frame_->OuterWidget(), "shell", "main_window");

  // A sound start writes the recent dossiers back at the end, blanks kept.
  RecentDossiers[0] = "ABC  /srv/Abc/";
  RecentDossiers[2] = "XY   /srv/Xy/";
  EXPECT_NE(MainMenuHandle, nullptr);
  app_.reset();
  // The window gone, its menu is no longer reachable: a command run after it finds no menu.
  EXPECT_EQ(MainMenuHandle, nullptr);
  EXPECT_EQ(MainWindowHandle, gui::Handle{});
  EXPECT_EQ(std::vector<std::string>({Ini("DossiersAuto1"), Ini("DossiersAuto2"), Ini("DossiersAuto3")}),
            std::vector<std::string>({"ABC  /srv/Abc/", "", "XY   /srv/Xy/"}));
}

// Every engine failure shows one box naming its code, closes the window and writes nothing.
TEST_F(ClientTest, EngineFailuresShowTheirMessageAndCloseTheWindow) {
  for (int code : {1, 7}) {
    gui::ModalSeam::Reset();
    Services().startDbSession = [code] { return code; };
    Start();
    ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u) << code;
    const std::string& text = gui::ModalSeam::Shown()[0].text;
    EXPECT_NE(text.find("Lancement Impossible 2"), std::string::npos) << code;
    EXPECT_NE(text.find(EngineStartCodeText(code)), std::string::npos) << code;
    EXPECT_EQ(text, "\n\nMode 32 bits\n\nLancement Impossible 2\n\nPri\xE8re d'installer le Borland Database Engine (BDE "
                    "32bits)\navant de relancer cette application\n\n" + EngineStartCodeText(code) + "\n\n");
    EXPECT_FALSE(client_->StartupSucceeded());
    EXPECT_FALSE(FrameAlive()) << code;
    RecentDossiers[0] = "ABC  /x/";
    app_.reset();
    EXPECT_EQ(Ini("DossiersAuto1"), "") << "a failed start writes no recent dossiers";
  }
}

// The caption names the open dossier by its code and folder, the program folder when none is open; a "%s" in a
// folder's name stays as it is.
TEST_F(ClientTest, TheCaptionNamesTheOpenDossier) {
  Start();
  bool open = true;
  Services().ensureDossierOpen = [&open] { return open; };
  DossierCode = "ABC";
  DossierFolder = "/srv/compta %s/abc/";
  client_->SetMainCaption();
  EXPECT_EQ(frame_->GetCaption(), "Nuv-Merlon ZEL+ - ABC sur /srv/compta %s/abc/");
  open = false;
  client_->SetMainCaption();
  EXPECT_EQ(frame_->GetCaption(), std::string("Nuv-Merlon ZEL+ - ") + ProgramFolder);
  Services().ensureDossierOpen = nullptr;
  DossierCode.clear();
  DossierFolder.clear();
}

// The start-up itself installs the shell's hooks: nothing relies on a static
// initializer that the linker may drop from the library.
TEST_F(ClientTest, StartUpInstallsTheShellHooks) {
  SetWindowActionHook(nullptr);
  Services().rebuildRecentDossiersMenu = nullptr;
  Start();
  EXPECT_TRUE(static_cast<bool>(Services().rebuildRecentDossiersMenu));
  // The registry's window actions are the shell's: a refused close answers 0.
  auto* w = new AskedChild(client_, "Texte", false);
  ASSERT_TRUE(w->Create());
  SetRegistryText(3819, 1, "1");
  SetRegistryText(3820, 10, StrNum10(w->GetHandle()));
  SetRegistryText(3830, 5, "1QABC");
  EXPECT_EQ(SwitchRegisteredWindow("1QXYZ", 5), 0);
  EXPECT_TRUE(gui::IsWindow(w->GetHandle()));
  w->Destroy();
  // The runtime's boxes reach the window system.
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
  EXPECT_EQ(RuntimeMessage("ATTENTION", "\n\nFichier absent\n\n", kMbOk | kMbIconExclamation), gui::IDOK);
  ASSERT_NE(gui::ModalSeam::LastShown(), nullptr);
  EXPECT_EQ(gui::ModalSeam::LastShown()->text, "\n\nFichier absent\n\n");
}

TEST_F(ClientTest, QuitterAsksEveryChildAndIsRefusedWhileOneRefuses) {
  int tablesClosed = 0;
  Services().closeAllTables = [&] { ++tablesClosed; };
  Start();
  auto* a = new AskedChild(client_, "Plan comptable");
  auto* b = new AskedChild(client_, "Journaux", false);
  ASSERT_TRUE(a->Create());
  ASSERT_TRUE(b->Create());

  gui::SendCommand(client_->GetHandle(), CMDIClient::CM_QUITTER);
  gui::ProcessPendingMessages();
  EXPECT_GE(b->asked_, 1);
  EXPECT_EQ(std::tuple(FrameAlive(), a->IsCreated(), tablesClosed), std::tuple(true, true, 0));
  // Closing the frame directly is refused the same way.
  EXPECT_FALSE(frame_->CloseWindow());
  EXPECT_TRUE(FrameAlive());

  b->agree_ = true;
  a->asked_ = b->asked_ = 0;
  gui::SendCommand(client_->GetHandle(), CMDIClient::CM_FERMER_APPLICATION);
  gui::ProcessPendingMessages();
  EXPECT_FALSE(FrameAlive());
  EXPECT_GE(tablesClosed, 1);
  // The placement went to the program INI.
  EXPECT_EQ(Ini("FenetreMain-W").size(), 6u);
}

TEST_F(ClientTest, CloseIsRefusedDuringPrintRunsAndDossierWork) {
  int previewCloses = 0;
  Services().previewOpen = [] { return true; };
  Services().closePreview = [&] { ++previewCloses; };
  bool dossierOk = false;
  Services().ensureDossierOpen = [&] { return dossierOk; };
  Start();

  PrintRunFlag = true;
  gui::SendCommand(client_->GetHandle(), CMDIClient::CM_QUITTER);  // does nothing
  gui::ProcessPendingMessages();
  EXPECT_TRUE(FrameAlive());
  EXPECT_EQ(previewCloses, 0);
  EXPECT_FALSE(frame_->CloseWindow());  // asks the preview to close, refuses
  EXPECT_EQ(previewCloses, 1);
  PrintRunFlag = false;

  SetDossierState('1');
  EXPECT_FALSE(frame_->CloseWindow());

  // A dossier to check again whose check fails: Quitter stops.
  SetDossierState('2');
  DossierCode = "DEMO";
  gui::SendCommand(client_->GetHandle(), CMDIClient::CM_QUITTER);
  gui::ProcessPendingMessages();
  EXPECT_TRUE(FrameAlive());
  // The check passes and clears the state: Quitter closes.
  Services().ensureDossierOpen = [] {
    SetDossierState(' ');
    return true;
  };
  gui::SendCommand(client_->GetHandle(), CMDIClient::CM_QUITTER);
  gui::ProcessPendingMessages();
  EXPECT_FALSE(FrameAlive());
}

}  // namespace
