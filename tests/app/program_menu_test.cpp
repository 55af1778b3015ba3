// Commands chosen from the program's menu on a generated dossier, with the
// program's own hooks and commands installed, as a user meets them.
#include "app/program_commands.h"
#include "app/program_hooks.h"
#include "dossier/dossier_properties.h"
#include "dossier/dossier_slots.h"
#include "support/dossier_fixture.h"
#include "platform/gui/dialog.h"
#include "platform/gui/menu.h"
#include "platform/gui/statusbar.h"
#include "runtime/code_helpers.h"
#include "runtime/dates.h"
#include "shell/seeding.h"
#include "support/python.h"

namespace {

class ProgramMenuTest : public DossierOpenTest {
 protected:
  void SetUp() override {
    DossierOpenTest::SetUp();
    InstallProgramWindowHooks();
    InstallProgramCommands();
  }
  void TearDown() override {
    SetTextPromptHook(nullptr);
    DossierOpenTest::TearDown();
  }
  void OpenDemo() {
    const std::string folder = MakeDossier("demo", "DEMO", 40);
    OpenThroughDialog(C10Path(folder, "DEMO"));
    ASSERT_EQ(std::string(RTrim(DossierCode.c_str())), "DEMO");
    gui::ModalSeam::Reset();
  }
  void Choose(unsigned id) {
    ASSERT_NE(MainMenuHandle, nullptr);
    MainMenuHandle->RunEnablers();
    for (int i = 0; i < MainMenuHandle->GetItemCount(); ++i)
      if (gui::Menu* sub = MainMenuHandle->GetSubMenu(i)) sub->RunEnablers();
    EXPECT_TRUE(MainMenuHandle->Choose(id)) << id;
    gui::ProcessPendingMessages();
  }
};

// "Renuméroter toutes les Pièces" asks the support password in its dialog,
// then the warning, then renumbers; a cancelled password stops quietly.
TEST_F(ProgramMenuTest, RenumberingAsksThePasswordThroughItsDialog) {
  OpenDemo();
  gui::ModalSeam::QueueDialogAnswer(gui::IDCANCEL);
  Choose(20722);
  ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u);
  EXPECT_EQ(gui::ModalSeam::Shown()[0].resourceId, 1306);

  gui::ModalSeam::Reset();
  const Ymd today = Today();
  const std::string code = SupportCodeForDate(today.year, today.month, today.day);
  gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [code](gui::Window& dialog) {
    static_cast<gui::Dialog&>(dialog).SetItemText(1202, code);
  });
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
  Choose(20722);
  const std::string shown = ShownTexts();
  EXPECT_EQ(gui::ModalSeam::Shown()[0].caption, LoadStr(1867));
  EXPECT_NE(shown.find("La prochaine pi\xE8" "ce aura le num\xE9ro"), std::string::npos) << shown;
}

// With the settings of a fresh program folder, "Sauvegarde" writes an LHA
// archive of every file of the dossier, which lha and lhasa test whole, and
// "Restauration" brings a spoilt file back from it.
TEST_F(ProgramMenuTest, BackupAndRestoreWithTheDefaultSettings) {
  SeedProgramFolder(MERLON_BINARY_DIR "/share/merlon", root_ + "/program/");
  OpenDemo();
  const std::string folder = DossierFolder;
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  Choose(20723);
  EXPECT_EQ(gui::ModalSeam::Shown().at(0).text, LoadStr(2268)) << ShownTexts();
  std::string archive;
  for (const auto& e : fs::recursive_directory_iterator(folder))
    if (e.path().filename() == "ZELDEMO.lzh") archive = e.path().string();
  ASSERT_FALSE(archive.empty()) << ShownTexts();

  // Both testers list every file of the dossier as tested ("lha t" alone
  // checks no CRC), in an archive the restore chooser accepts.
  int dossierFiles = 0;
  for (const auto& e : fs::directory_iterator(folder))
    dossierFiles += e.is_regular_file() && e.path().filename().string().rfind("demo.") == 3 ? 1 : 0;
  ASSERT_GE(dossierFiles, 10);
  for (const char* tester : {"lha", "lhasa"}) {
    const std::string out = test_support::RunPythonScript(
        "import subprocess\nr = subprocess.run(['" + std::string(tester) + "', 't', r'''" + archive +
            "'''], capture_output=True, text=True)\nprint(r.returncode, r.stdout.count('- Tested'))\n",
        false);
    EXPECT_EQ(out, "0 " + std::to_string(dossierFiles) + "\n") << tester;
  }

  const std::string c20 = folder + "c20demo.dbf";
  const std::string before = ReadAll(c20);
  { std::ofstream(c20, std::ios::binary | std::ios::trunc) << "spoilt"; }
  gui::ModalSeam::Reset();
  gui::ModalSeam::QueueFileAnswer(archive);
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  Choose(20724);
  EXPECT_EQ(gui::ModalSeam::Shown().at(1).text, LoadStr(2269)) << ShownTexts();
  EXPECT_EQ(ReadAll(c20), before);
}

// The frame's close (Alt+F4, its close button) asks the children to close,
// "Changer de dossier" among them; a run holding the dossier keeps it open.
TEST_F(ProgramMenuTest, FrameCloseClosesTheChangeWindowFirst) {
  OpenDemo();
  RunSubjectCommand(20206);
  gui::ProcessPendingMessages();
  ASSERT_NE(ChangeDossierWindow(), nullptr);
  EXPECT_TRUE(MainFrame->CanClose());
  EXPECT_EQ(ChangeDossierWindow(), nullptr);
  EXPECT_EQ(GetDossierState(), ' ');

  SetDossierState('1');
  EXPECT_FALSE(MainFrame->CanClose());
  SetDossierState(' ');
}

// "Nouveau dossier" closes the dossiers of the run first; the new one heads
// the dossier lists once it opened, and a cancelled window changes no list.
TEST_F(ProgramMenuTest, NewDossierClosesTheOpenOnesAndListsItselfWhenOpened) {
  OpenDemo();
  const std::string demo = DossierFolder;
  const std::string recent = RecentDossiers[0];
  gui::ModalSeam::QueueDialogAnswer(gui::IDCANCEL);
  Choose(20201);
  EXPECT_TRUE(IsBlank(DossierCode));
  EXPECT_TRUE(IsBlank(DossierSlots[0]));
  EXPECT_EQ(RecentDossiers[0], recent);
  EXPECT_NE(ReadAll(demo + "clgdemo.txt").find("FERMETURE DOSSIER - Ok - DEMO"), std::string::npos);

  const std::string folder = root_ + "/neuf";
  gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [folder](gui::Window& w) {
    auto& d = static_cast<gui::Dialog&>(w);
    d.SetItemText(1201, "NEUF");
    d.SetItemText(1202, folder);
    d.SetItemText(1204, "SARL NEUVE");
  });
  Choose(20201);
  EXPECT_EQ(std::string(RTrim(DossierCode.c_str())), "NEUF");
  EXPECT_EQ(RecentDossiers[0], DossierEntry("NEUF", folder + "/"));
  EXPECT_EQ(RecentDossiers[1], recent);
}

// A chosen file that is no dossier is refused with a word and leaves
// nothing in its folder.
TEST_F(ProgramMenuTest, FileThatIsNoDossierIsRefusedAndCreatesNothing) {
  struct Case {
    const char* name;
    const char* content;
  } cases[] = {{"notes.txt", "des notes"}, {"c10.dbf", "sans code"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path folder = fs::path(root_) / "autre" / c.name;
    fs::create_directories(folder);
    { std::ofstream(folder / c.name) << c.content; }
    gui::ModalSeam::Reset();
    OpenThroughDialog((folder / c.name).string());
    EXPECT_TRUE(IsBlank(DossierCode));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
    EXPECT_GE(gui::ModalSeam::Shown().size(), 2u) << ShownTexts();
  }
}

// The properties dialog's analytic mode brings "Sections Analytiques" into
// the Données menu, and takes it out again; the message bar shows the
// stored working date once the working-date dialog is gone.
TEST_F(ProgramMenuTest, PropertiesAndWorkingDateUpdateMenuAndMessageBar) {
  OpenDemo();
  gui::Menu* data = MainMenuHandle->GetSubMenu(2);
  ASSERT_NE(data, nullptr);
  for (int mode : {1, 0}) {
    gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [mode](gui::Window& w) {
      auto& d = static_cast<gui::Dialog&>(w);
      d.SetItemText(TDFicAProposDossier::kPostalCode, "75001");
      d.SetItemText(TDFicAProposDossier::kTown, "PARIS");
      d.SetItemSel(TDFicAProposDossier::kAnalytic, mode);
    });
    Choose(20205);
    EXPECT_EQ(data->FindPosition(20310) >= 0, mode == 1) << mode << ShownTexts();
  }
  gui::ModalSeam::QueueDialogAnswer(gui::IDOK);
  Choose(20204);
  EXPECT_EQ(MessageBar->GetText(), TheDossierRecord.Get(DossierRecord::kWorkingDatePos, DossierRecord::kDateWidth));
  EXPECT_EQ(MessageBar->GetText().size(), 8u);
}

}  // namespace
