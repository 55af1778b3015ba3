#include <QImage>
#include <QWidget>
#include <set>

#include "platform/gui/constants.h"
#include "platform/gui/menu.h"
#include "runtime/code_helpers.h"
#include "runtime/runtime_init.h"
#include "runtime/session_registry.h"
#include "shell/startup.h"
#include "shell_test_support.h"

namespace {

using ClientTest = ProgramStartTest;

class Child : public gui::MDIChild {
 public:
  Child(gui::MDIClient* c, const char* caption, bool& refuse, int& asked)
      : gui::MDIChild(c, caption), refuse_(refuse), asked_(asked) {}
  bool CanClose() override {
    ++asked_;
    return !refuse_;
  }

 private:
  bool& refuse_;
  int& asked_;
};

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
  QWidget* top = frame_->OuterWidget();
  QImage img = top->grab().toImage();
  ASSERT_FALSE(img.isNull());
  std::set<QRgb> colours;
  for (int y = 0; y < img.height(); y += 2)
    for (int x = 0; x < img.width(); x += 2) colours.insert(img.pixel(x, y));
  EXPECT_GT(colours.size(), 8u) << "the grab is blank";
  EXPECT_GT(MainControlBar->Widget()->height(), 0);
  EXPECT_GT(MessageBar->Widget()->height(), 0);
  std::filesystem::path out = std::filesystem::path(MERLON_BINARY_DIR) / "test-artefacts";
  std::filesystem::create_directories(out);
  EXPECT_TRUE(img.save(QString::fromStdString((out / "shell_main_window.png").string())));

  // A sound start writes the recent dossiers back at the end, blanks kept.
  RecentDossiers[0] = "ABC  /srv/Abc/";
  RecentDossiers[2] = "XY   /srv/Xy/";
  app_.reset();
  EXPECT_EQ(Ini("DossiersAuto1"), "ABC  /srv/Abc/");
  EXPECT_EQ(Ini("DossiersAuto2"), "");
  EXPECT_EQ(Ini("DossiersAuto3"), "XY   /srv/Xy/");
}

TEST_F(ClientTest, EngineFailuresShowTheirMessageAndCloseTheWindow) {
  const std::pair<int, const char*> cases[] = {
      {1, "Erreur BDE 1: Initialisation BDE"},
      {2, "Erreur BDE 2: Version incorrecte ant\xE9rieure \xE0 5.00, Installer BDE 32bits."},
      {3, "Erreur BDE 3: DbiGetCurrSession()"},
      {4, "Erreur BDE 4: DbiGetSysConfig()"},
      {6, "Erreur BDE 6: DbiOpenDatabase()"},
      {7, "Erreur BDE 7: Initialisation des variables du BDE"},
  };
  for (const auto& [code, codeText] : cases) {
    gui::ModalSeam::Reset();
    Services().startDbSession = [code = code] { return code; };
    Start();
    ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u) << code;
    const gui::ShownModal& m = gui::ModalSeam::Shown()[0];
    EXPECT_EQ(m.caption, "Nuv-Merlon ZEL+");
    EXPECT_EQ(m.icon, gui::MB_ICONINFORMATION);
    EXPECT_EQ(m.text,
              std::string("\n\nMode 32 bits\n\nLancement Impossible 2\n\nPri\xE8re d'installer le Borland Database "
                          "Engine (BDE 32bits)\navant de relancer cette application\n\n") +
                  codeText + "\n\n")
        << code;
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
  EXPECT_EQ(gui::ModalSeam::LastShown()->icon, gui::MB_ICONEXCLAMATION);
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
  EXPECT_EQ(gui::ModalSeam::Shown()[0].caption, "Nuv-Merlon");
  EXPECT_EQ(gui::ModalSeam::Shown()[0].icon, gui::MB_ICONHAND);
  EXPECT_GE(gui::BeepCount(), 1);
  EXPECT_FALSE(FrameAlive());
}

TEST_F(ClientTest, QuitterAsksEveryChildAndIsRefusedWhileOneRefuses) {
  int tablesClosed = 0;
  Services().closeAllTables = [&] { ++tablesClosed; };
  Start();
  bool refuseA = false, refuseB = true;
  int askedA = 0, askedB = 0;
  auto* a = new Child(client_, "Plan comptable", refuseA, askedA);
  auto* b = new Child(client_, "Journaux", refuseB, askedB);
  ASSERT_TRUE(a->Create());
  ASSERT_TRUE(b->Create());

  gui::SendCommand(client_->GetHandle(), CMDIClient::CM_QUITTER);
  gui::ProcessPendingMessages();
  EXPECT_GE(askedB, 1);
  EXPECT_TRUE(FrameAlive());
  EXPECT_TRUE(a->IsCreated());
  EXPECT_TRUE(b->IsCreated());
  EXPECT_EQ(tablesClosed, 0);
  EXPECT_EQ(CurrentHelpContext, 85);

  // Closing the frame directly is refused the same way.
  EXPECT_FALSE(frame_->CloseWindow());
  EXPECT_TRUE(FrameAlive());

  refuseB = false;
  askedA = askedB = 0;
  gui::SendCommand(client_->GetHandle(), CMDIClient::CM_FERMER_APPLICATION);
  gui::ProcessPendingMessages();
  EXPECT_EQ(askedA, 1);
  EXPECT_EQ(askedB, 1);
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
