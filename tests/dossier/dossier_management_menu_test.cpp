// "Gestion des dossiers" chosen from the menu of the whole main window, with the sample
// batch files: the refusal while another station has the dossier open is readable in the
// dialog, a delete is asked first (No by default), and every action ends with a message
// saying what was done, or why it failed with the batch file's own last lines.
#include <QAbstractButton>
#include <QTimer>

#include <fstream>

#include "data/dossier_files.h"
#include "data/dossier_lock.h"
#include "dossier/dossier_management.h"
#include "dossier/core/renumber_pieces.h"
#include "dossier/renumber_window.h"
#include "platform/gui/dialog.h"
#include "platform/gui/menu.h"
#include "platform/system/files.h"
#include "resources/command_ids.h"
#include "shell/handlers.h"
#include "shell/mdi_client.h"
#include "support/dossier_fixture.h"
#include "support/other_process.h"

namespace {

using gui::ModalSeam;

// Another station: opens the dossier's lock table shared on 'o', closes it on 'c'.
class OtherStation : public test_support::OtherProcess {
 public:
  explicit OtherStation(std::string lockTablePath)
      : OtherProcess([path = std::move(lockTablePath)](char cmd) {
          static Table* lock = new Table();
          if (cmd == 'o') return lock->OpenShared(path);
          if (cmd == 'c') return lock->CloseTable(true);
          return false;
        }) {}
};

class ManagementMenuTest : public DossierOpenTest {
 protected:
  void SetUp() override {
    DossierOpenTest::SetUp();
    InstallMaintenance2Commands();
    const std::string from = std::string(MERLON_SOURCE_DIR) + "/src/resources/files/";
    for (const char* b : {"cdos.bat", "ccopy.bat", "cdepl.bat", "cdel.bat", "cren.bat", "cwdos.bat", "cwcopy.bat",
                          "cwdepl.bat", "cwdel.bat", "cwren.bat"})
      ASSERT_TRUE(platform::CopyFile(from + b, root_ + "/program/" + b)) << b;
  }
  void TearDown() override {
    for (unsigned id : {command_id::RenumeroterPieces, command_id::GestionDossiers}) SetCommandWork(id, {});
    DossierOpenTest::TearDown();
  }

  // Runs "Gestion des dossiers" from the menu; `work` operates the dialog.
  void Manage(const std::function<void(gui::Dialog&)>& work) {
    ModalSeam::QueueDialogAnswer(gui::IDCANCEL, [work](gui::Window& w) { work(static_cast<gui::Dialog&>(w)); });
    ASSERT_NE(MainMenuHandle, nullptr);
    ASSERT_TRUE(MainMenuHandle->Choose(20725));
    gui::ProcessPendingMessages();
  }
  // The action's button, then the source chosen in the file dialog.
  static void ChooseSource(gui::Dialog& d, int action, const std::string& c10) {
    Click(d, action);
    ModalSeam::QueueFileAnswer(c10);
    EXPECT_TRUE(d.PressButton(1209));
  }
  // A click on the radio button of an action, as the mouse gives it.
  static void Click(gui::Dialog& d, int action) {
    auto* radio = qobject_cast<QAbstractButton*>(d.GetDlgItem(action)->Widget());
    ASSERT_NE(radio, nullptr);
    radio->click();
    EXPECT_EQ(d.GetCheck(action), gui::BST_CHECKED);
  }
  // The message boxes shown since the last reset.
  static std::vector<gui::ShownModal> Boxes() {
    std::vector<gui::ShownModal> boxes;
    for (const gui::ShownModal& m : ModalSeam::Shown())
      if (m.kind == gui::ModalKind::MessageBox) boxes.push_back(m);
    return boxes;
  }
  static bool Exists(const std::string& folder, const std::string& code) { return DossierFilesExist(folder, code); }
};

// Another station has AB open: its delete, move and rename are refused with the whole
// refusal readable in the dialog (the message boxes' blank lines left out), nothing asked,
// nothing changed.
TEST_F(ManagementMenuTest, RefusalWhileAnotherStationUsesTheDossierIsReadable) {
  const std::string a = MakeDossier("A", "AB", 10);
  const std::string b = root_ + "/B/";
  fs::create_directories(b);
  OtherStation other(DossierTablePathOf(a, "AB"));
  ASSERT_TRUE(other.Do('o'));
  const struct Case {
    int action;
    const char* name;
  } cases[] = {{1206, "refusal-delete"}, {1203, "refusal-move"}, {1205, "refusal-rename"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ModalSeam::Reset();
    std::string warning;
    Manage([&](gui::Dialog& d) {
      ChooseSource(d, c.action, a + "c10ab.dbf");
      if (c.action == 1203) {
        ModalSeam::QueueFolderAnswer(b);
        d.PressButton(1213);
      }
      if (c.action == 1205) d.SetItemText(1214, "XY");
      d.PressButton(1);
      warning = d.GetItemText(1217);
      test_support::Screenshot(d.Widget(), "dossier", std::string("management-") + c.name);
    });
    EXPECT_EQ(warning, "IMPOSSIBLE d'ouvrir le dossier en cours de mani\xE8re EXCLUSIVE.\nAssurez-vous qu'aucun poste "
                       "n'utilise ce dossier\navant de demander \xE0 nouveau la proc\xE9" "dure voulue.");
    EXPECT_TRUE(Boxes().empty()) << ShownTexts();
    EXPECT_TRUE(Exists(a, "AB"));
  }
  ASSERT_TRUE(other.Do('c'));
}

// A delete names the dossier and its folder and waits for "Oui" (No is the default): "Non"
// leaves every file, "Oui" deletes and says so.
TEST_F(ManagementMenuTest, DeleteIsAskedFirst) {
  const std::string a = MakeDossier("Mes dossiers", "AB", 10);
  for (int answer : {gui::IDNO, gui::IDYES}) {
    SCOPED_TRACE(answer);
    ModalSeam::Reset();
    Manage([&](gui::Dialog& d) {
      ChooseSource(d, 1206, a + "c10ab.dbf");
      ModalSeam::QueueMessageBoxAnswer(answer);
      if (answer == gui::IDYES) ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
      d.PressButton(1);
    });
    const std::vector<gui::ShownModal> boxes = Boxes();
    ASSERT_EQ(boxes.size(), answer == gui::IDYES ? 2u : 1u) << ShownTexts();
    EXPECT_EQ(boxes[0].defaultButton, gui::IDNO);
    EXPECT_EQ(boxes[0].buttons, static_cast<unsigned>(gui::MB_YESNO));
    EXPECT_NE(boxes[0].text.find("Le dossier AB de l'emplacement:\n   " + a + "\n"), std::string::npos) << boxes[0].text;
    EXPECT_EQ(Exists(a, "AB"), answer == gui::IDNO);
    if (answer == gui::IDYES) {
      EXPECT_NE(boxes[1].text.find("a \xE9t\xE9 supprim\xE9"), std::string::npos);
    }
  }
}

// Copy, rename, move and search each end with a box saying what was done; a batch file that
// fails ends with its own last lines instead.
TEST_F(ManagementMenuTest, EachActionEndsWithAMessage) {
  const std::string a = MakeDossier("A", "AB", 10);
  const std::string b = root_ + "/B/";
  fs::create_directories(b);
  const struct Case {
    const char* name;
    std::function<void(gui::Dialog&)> fill;
    std::string said;
    std::function<bool()> done;
  } cases[] = {
      {"copy",
       [&](gui::Dialog& d) {
         ChooseSource(d, 1204, a + "c10ab.dbf");
         d.SetItemText(1214, "CD");
         ModalSeam::QueueFolderAnswer(b);
         d.PressButton(1213);
       },
       "Le dossier AB de l'emplacement:\n   " + a + "\n\na \xE9t\xE9 copi\xE9 sous le code CD sur l'emplacement:\n   " + b,
       [&] { return Exists(b, "CD") && Exists(a, "AB"); }},
      {"rename",
       [&](gui::Dialog& d) {
         ChooseSource(d, 1205, b + "c10cd.dbf");
         d.SetItemText(1214, "EF");
       },
       "Le dossier CD de l'emplacement:\n   " + b + "\n\na \xE9t\xE9 renomm\xE9 EF.", [&] { return Exists(b, "EF"); }},
      {"move",
       [&](gui::Dialog& d) {
         ChooseSource(d, 1203, b + "c10ef.dbf");
         ModalSeam::QueueFolderAnswer(a);
         d.PressButton(1213);
       },
       "Le dossier EF de l'emplacement:\n   " + b + "\n\na \xE9t\xE9 d\xE9plac\xE9 sur l'emplacement:\n   " + a,
       [&] { return Exists(a, "EF") && !Exists(b, "EF"); }},
      {"search",
       [&](gui::Dialog& d) {
         Click(d, 1202);
         ModalSeam::QueueFolderAnswer(a);
         d.PressButton(1209);
       },
       "Dossiers trouv\xE9s:\n" + a + " AB\n" + a + " EF", [] { return true; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ModalSeam::Reset();
    Manage([&](gui::Dialog& d) {
      c.fill(d);
      ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
      d.PressButton(1);
      EXPECT_EQ(d.GetItemText(1217), "");
    });
    const std::vector<gui::ShownModal> boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u) << ShownTexts();
    EXPECT_NE(boxes[0].text.find(c.said), std::string::npos) << boxes[0].text;
    EXPECT_EQ(boxes[0].icon, static_cast<unsigned>(gui::MB_ICONINFORMATION));
    EXPECT_TRUE(c.done());
  }

  // The copy's batch file fails: its own words are shown, with the stop icon.
  for (const char* name : {"ccopy.bat", "cwcopy.bat"})
    std::ofstream(root_ + "/program/" + name) << "#!/bin/sh\necho 'copie de c10ab.dbf' \necho 'cp: plus de place' >&2\nexit 1\n";
  ModalSeam::Reset();
  Manage([&](gui::Dialog& d) {
    ChooseSource(d, 1204, a + "c10ab.dbf");
    d.SetItemText(1214, "GH");
    ModalSeam::QueueFolderAnswer(b);
    d.PressButton(1213);
    ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
    d.PressButton(1);
  });
  const std::vector<gui::ShownModal> boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u) << ShownTexts();
  EXPECT_NE(boxes[0].text.find("s'est termin\xE9 avec le code 1.\n\nSes derniers messages:\ncopie de c10ab.dbf\ncp: plus de "
                               "place\n"),
            std::string::npos)
      << boxes[0].text;
  EXPECT_EQ(boxes[0].icon, static_cast<unsigned>(gui::MB_ICONSTOP));
}

// While an action's batch file runs, the window system works but neither "Ok" nor "Abandon"
// acts: the action is not started twice and the dialog is not closed under its feet.
TEST_F(ManagementMenuTest, NothingActsWhileAnActionRuns) {
  const std::string a = MakeDossier("A", "AB", 10);
  const std::string b = root_ + "/B/";
  fs::create_directories(b);
  const std::string runs = root_ + "/runs", go = root_ + "/go";
  for (const char* name : {"ccopy.bat", "cwcopy.bat"})
    std::ofstream(root_ + "/program/" + name)
        << "#!/bin/sh\necho x >> '" << runs << "'\ni=0\nwhile [ ! -f '" << go
        << "' ]; do i=$((i+1)); [ $i -gt 400 ] && exit 7; sleep 0.05; done\n";
  bool pressed = false, endedMeanwhile = true;
  Manage([&](gui::Dialog& d) {
    ChooseSource(d, 1204, a + "c10ab.dbf");
    d.SetItemText(1214, "CD");
    ModalSeam::QueueFolderAnswer(b);
    d.PressButton(1213);
    QTimer timer;
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, [&] {
      if (pressed || !fs::exists(runs)) return;
      pressed = true;
      d.PressButton(1);
      d.PressButton(2);
      endedMeanwhile = d.IsEnded();
      std::ofstream(go) << "x";
    });
    timer.start();
    ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
    d.PressButton(1);
  });
  EXPECT_TRUE(pressed);
  EXPECT_FALSE(endedMeanwhile);
  EXPECT_EQ(ReadAll(runs), "x\n");
  const std::vector<gui::ShownModal> boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u) << ShownTexts();
  EXPECT_EQ(boxes[0].icon, static_cast<unsigned>(gui::MB_ICONINFORMATION)) << boxes[0].text;
}

}  // namespace
