#include "platform/gui/constants.h"
#include "platform/gui/menu.h"
#include "runtime/code_helpers.h"
#include "runtime/runtime_init.h"
#include "runtime/session_registry.h"
#include "shell/startup.h"
#include "shell_test_support.h"

namespace {

using ClientTest = ProgramStartTest;

TEST_F(ClientTest, StartsWithFrameToolbarAndStatusBars) {
  Start();
  EXPECT_TRUE(client_->StartupSucceeded());
  EXPECT_TRUE(gui::ModalSeam::Shown().empty());
  EXPECT_EQ(frame_->GetCaption(), std::string("Nuv-Merlon ZEL+ - ") + ProgramFolder);
  EXPECT_EQ(MainWindowHandle, client_->GetHandle());
  EXPECT_EQ(SessionInt(1), static_cast<int>(client_->GetHandle()));
  EXPECT_EQ(Ini("DossiersAuto1"), SampleDossierEntry());
  ASSERT_NE(MainControlBar, nullptr);
  ASSERT_EQ(MainControlBar->GadgetCount(), 10);
  auto* choice = dynamic_cast<gui::ButtonGadget*>(MainControlBar->GadgetWithId(20033));
  ASSERT_NE(choice, nullptr);
  EXPECT_EQ(choice->GetButtonState(), gui::ButtonGadget::State::Down);
  ASSERT_NE(MessageBar, nullptr);
  ASSERT_NE(SecondStatusBar, nullptr);

  MessageBar->SetText("Pr\xEAt");
  gui::ProcessPendingMessages();
  test_support::Screenshot(frame_->OuterWidget(), "shell", "main_window");
  EXPECT_GT(MainControlBar->Widget()->height(), 0);
  EXPECT_GT(MessageBar->Widget()->height(), 0);

  // A sound start writes the recent dossiers back at the end, blanks kept.
  RecentDossiers[0] = "ABC  /srv/Abc/";
  RecentDossiers[2] = "XY   /srv/Xy/";
  app_.reset();
  EXPECT_EQ(Ini("DossiersAuto1"), "ABC  /srv/Abc/");
  EXPECT_EQ(Ini("DossiersAuto2"), "");
  EXPECT_EQ(Ini("DossiersAuto3"), "XY   /srv/Xy/");
}

// Every engine failure shows one box naming its code, closes the window and writes nothing.
TEST_F(ClientTest, EngineFailuresShowTheirMessageAndCloseTheWindow) {
  for (int code : {1, 2, 3, 4, 6, 7}) {
    gui::ModalSeam::Reset();
    Services().startDbSession = [code] { return code; };
    Start();
    ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u) << code;
    const std::string& text = gui::ModalSeam::Shown()[0].text;
    EXPECT_NE(text.find("Lancement Impossible 2"), std::string::npos) << code;
    EXPECT_NE(text.find(EngineStartCodeText(code)), std::string::npos) << code;
    EXPECT_FALSE(client_->StartupSucceeded());
    EXPECT_FALSE(FrameAlive()) << code;
    RecentDossiers[0] = "ABC  /x/";
    app_.reset();
    EXPECT_EQ(Ini("DossiersAuto1"), "") << "a failed start writes no recent dossiers";
  }
}

TEST_F(ClientTest, EngineWarningFiveLetsTheStartGoOn) {
  Services().startDbSession = [] { return 5; };
  Start();
  ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u);
  EXPECT_EQ(gui::ModalSeam::Shown()[0].text, EngineStartCodeText(5) + "\n\n");
  EXPECT_NE(gui::ModalSeam::Shown()[0].text.find("'LOCAL SHARE'"), std::string::npos);
  EXPECT_TRUE(client_->StartupSucceeded());
  EXPECT_TRUE(FrameAlive());
  // The warning start does not write the recent dossiers back at the end.
  RecentDossiers[0] = "ABC  /x/";
  app_.reset();
  EXPECT_EQ(Ini("DossiersAuto1"), SampleDossierEntry());
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
  // The runtime's beeps and boxes reach the window system.
  gui::ResetBeepCount();
  RuntimeBeep(0);
  EXPECT_EQ(gui::BeepCount(), 1);
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
  EXPECT_EQ(RuntimeMessage("ATTENTION", "\n\nFichier absent\n\n", kMbOk | kMbIconExclamation), gui::IDOK);
  ASSERT_NE(gui::ModalSeam::LastShown(), nullptr);
  EXPECT_EQ(gui::ModalSeam::LastShown()->text, "\n\nFichier absent\n\n");
}

bool FailingGraphics() { return false; }

TEST_F(ClientTest, RuntimeFailureShowsLaunchImpossibleOne) {
  static char arg0[] = "merlon";
  static char* argv1[] = {arg0, nullptr};
  app_ = std::make_unique<Merlon>(1, argv1, true);
  SetRuntimeGraphicsHooks(&FailingGraphics, nullptr);
  app_->InitMainWindow();
  frame_ = MainFrame;
  ASSERT_TRUE(frame_->Create());
  gui::ProcessPendingMessages();
  ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u);
  EXPECT_EQ(gui::ModalSeam::Shown()[0].text, "Lancement Impossible 1 (Init)");
  EXPECT_GE(gui::BeepCount(), 1);
  EXPECT_FALSE(FrameAlive());
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
  EXPECT_TRUE(FrameAlive());
  EXPECT_TRUE(a->IsCreated());
  EXPECT_TRUE(b->IsCreated());
  EXPECT_EQ(tablesClosed, 0);
  EXPECT_EQ(CurrentHelpContext, 85);

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
  EXPECT_EQ(Ini("FenetreMain-Z"), "Non");
  EXPECT_EQ(Ini("FenetreMain-C"), "Oui");
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
  gui::SendCommand(client_->GetHandle(), CMDIClient::CM_QUITTER);
  gui::ProcessPendingMessages();
  EXPECT_TRUE(FrameAlive());

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

TEST_F(ClientTest, CaptionNamesTheDossierWhenItsCheckPasses) {
  Start();
  DossierCode = "DEMO";
  DossierFolder = "/srv/Compta/Demo/";
  Services().ensureDossierOpen = [] { return true; };
  gui::SendCommand(client_->GetHandle(), CMDIClient::CM_SET_MAIN_CAPTION);
  EXPECT_EQ(frame_->GetCaption(), "Nuv-Merlon ZEL+ - DEMO sur /srv/Compta/Demo/");
  Services().ensureDossierOpen = [] { return false; };
  gui::SendCommand(client_->GetHandle(), CMDIClient::CM_SET_MAIN_CAPTION);
  EXPECT_EQ(frame_->GetCaption(), std::string("Nuv-Merlon ZEL+ - ") + ProgramFolder);
}

}  // namespace
