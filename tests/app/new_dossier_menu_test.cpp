// "Nouveau dossier" chosen from the menu with a folder or a name that cp1252
// cannot hold ("Łódź"), typed in the window or chosen in the folder dialog:
// refused with a message naming it, and nothing made on disk.
#include <QLineEdit>
#include <QString>

#include "app/program_commands.h"
#include "app/program_hooks.h"
#include "dossier/new_dossier.h"
#include "platform/gui/dialog.h"
#include "platform/gui/menu.h"
#include "runtime/xbase.h"
#include "support/dossier_fixture.h"

namespace {

using N = TDNouveauDossier;

const char* const kLodz = "\xC5\x81\xC3\xB3" "d\xC5\xBA";  // "Łódź" in UTF-8
const std::string kLodzShown = "?\xF3" "d?";              // as the program holds it, marked

class NewDossierMenuTest : public DossierOpenTest {
 protected:
  void SetUp() override {
    DossierOpenTest::SetUp();
    InstallProgramWindowHooks();
    InstallProgramCommands();
  }
  void Choose(unsigned id) {
    ASSERT_NE(MainMenuHandle, nullptr);
    EXPECT_TRUE(MainMenuHandle->Choose(id)) << id;
    gui::ProcessPendingMessages();
  }
  // Types the UTF-8 text into an edit of the window, key by key.
  static void Type(gui::Dialog& d, int control, const std::string& utf8) {
    QWidget* w = d.GetDlgItem(control)->Widget();
    for (const QChar c : QString::fromUtf8(utf8))
      test_support::SendKey(w, test_support::kKeyPress, 0, test_support::kNoModifier, QString(c).toStdString());
  }
  // The message boxes shown, in order.
  static std::vector<gui::ShownModal> Boxes() {
    std::vector<gui::ShownModal> boxes;
    for (const auto& s : gui::ModalSeam::Shown())
      if (s.kind == gui::ModalKind::MessageBox) boxes.push_back(s);
    return boxes;
  }
  // No folder and no dossier file was made anywhere in the test's folder.
  void ExpectNothingMade() {
    for (const auto& e : fs::recursive_directory_iterator(root_)) {
      const std::string name = e.path().filename().string();
      EXPECT_EQ(name.find("lodz"), std::string::npos) << e.path();
      EXPECT_EQ(name.find('?'), std::string::npos) << e.path();
    }
  }
};

TEST_F(NewDossierMenuTest, TypedFolderOrNameOutsideCp1252IsRefused) {
  const struct { const char* what; int control; std::string typed; const char* says; } rows[] = {
      {"folder", N::kFolder, "/" + std::string(kLodz), "Le r\xE9pertoire contient un caract\xE8re"},
      {"name", N::kName, std::string(kLodz) + " SA", "La raison sociale contient un caract\xE8re"},
      {"code", N::kCode, kLodz, "Le code du dossier contient un caract\xE8re"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    gui::ModalSeam::Reset();
    const std::string folder = root_ + "/nouveau";
    gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [&](gui::Window& w) {
      auto& d = static_cast<gui::Dialog&>(w);
      d.SetItemText(N::kCode, r.control == N::kCode ? "" : "LODZ");
      d.SetItemText(N::kFolder, r.control == N::kFolder ? root_ : folder);
      d.SetItemText(N::kName, r.control == N::kName ? "" : "SARL");
      Type(d, r.control, r.typed);
      test_support::Screenshot(w.Widget(), "dossier", std::string("new_dossier_typed_") + r.what);
    });
    Choose(20201);  // "Fichier > Nouveau dossier..."
    const auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u) << ShownTexts();
    EXPECT_NE(boxes[0].text.find(r.says), std::string::npos) << boxes[0].text;
    EXPECT_NE(boxes[0].text.find(kLodzShown), std::string::npos) << boxes[0].text;
    EXPECT_EQ(boxes[0].icon, gui::MB_ICONSTOP);
    test_support::ScreenshotMessage(boxes[0], "dossier", std::string("new_dossier_refused_") + r.what);
    EXPECT_TRUE(IsBlank(DossierCode));
    EXPECT_FALSE(fs::exists(folder));
  }
  ExpectNothingMade();
}

// A folder a file manager named "Łódź", chosen with the "..." button: the
// folder dialog says so and leaves the window's folder as it was.
TEST_F(NewDossierMenuTest, FolderChosenOutsideCp1252IsRefusedByTheFolderDialog) {
  const std::string onDisk = root_ + "/" + kLodz;
  fs::create_directories(onDisk);
  std::string folderAfter = "-";
  gui::ModalSeam::QueueDialogAnswer(gui::IDCANCEL, [&](gui::Window& w) {
    auto& d = static_cast<gui::Dialog&>(w);
    gui::ModalSeam::QueueDiskFolderAnswer(onDisk);
    d.PressButton(N::kBrowse);
    folderAfter = d.GetItemText(N::kFolder);
  });
  Choose(20201);
  EXPECT_EQ(folderAfter, "");
  const auto boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u) << ShownTexts();
  EXPECT_NE(boxes[0].text.find("Le nom choisi contient un caract\xE8re"), std::string::npos) << boxes[0].text;
  EXPECT_NE(boxes[0].text.find(kLodzShown), std::string::npos) << boxes[0].text;
  test_support::ScreenshotMessage(boxes[0], "dossier", "new_dossier_refused_chosen_folder");
  EXPECT_TRUE(fs::is_empty(onDisk));
}

}  // namespace
