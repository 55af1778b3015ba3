// Backup confirmation with its destinations: the texts built from the dossier, unit 2 (read
// from the INI without its placeholder, never written back) and the comment, in the dialog
// driven through the modal seam.
#include "dossier/backup_settings.h"
#include "dossier_window_test.h"
#include "runtime/inifiles.h"

namespace dossier_test {
namespace {

class BackupSettingsTest : public ModalSessionTest {
 protected:
  void SetUp() override {
    ModalSessionTest::SetUp();
    if (HasFatalFailure()) return;
    SetDossier("/srv/Compta/Clients/", "AB");
  }
};

const char kRelative[] = "Sauvegarde-Nuv-MERLON/Dossier-AB/C61206-2215/";

TEST_F(BackupSettingsTest, DialogShowsTheTargetsLetsUnitTwoChangeAndWritesNoIni) {
  ASSERT_TRUE(IniSetString("Un2Sauvegarde", "/mnt/Usb/%DEFAUT%"));
  bool disabledFirst = false, enabledAfterCheck = false, keptAfterUncheck = false;
  std::string firstText, unit2Shown;
  gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [&](gui::Window& w) {
    test_support::Screenshot(w.Widget(), "dossier", "backup_settings");
    auto& d = static_cast<TDConfSauvegarde&>(w);
    unit2Shown = d.GetItemText(1206);
    firstText = d.GetItemText(1201);
    disabledFirst = !d.GetDlgItem(1206)->IsWindowEnabled() && !d.GetDlgItem(1207)->IsWindowEnabled();
    d.SetCheck(1204, gui::BST_CHECKED);
    d.PressButton(1204);
    enabledAfterCheck = d.GetDlgItem(1206)->IsWindowEnabled() && d.GetDlgItem(1207)->IsWindowEnabled();
    gui::ModalSeam::QueueFolderAnswer("/media/Disque 2/");
    d.PressButton(1207);
    d.SetItemText(1203, "avant-cloture");
    d.SetCheck(1204, gui::BST_UNCHECKED);
    d.PressButton(1204);
    keptAfterUncheck = d.GetItemText(1206) == "/media/Disque 2/" && !d.GetDlgItem(1206)->IsWindowEnabled();
  });
  TDConfSauvegarde dialog(nullptr, 1335, kRelative);
  EXPECT_EQ(dialog.Execute(kTaskModal), gui::IDOK);
  EXPECT_EQ(unit2Shown, "/mnt/Usb/");
  EXPECT_NE(firstText.find("/mnt/Usb/Sauvegarde-Nuv-MERLON/Dossier-AB/C61206-2215/"), std::string::npos);
  EXPECT_TRUE(disabledFirst);
  EXPECT_TRUE(enabledAfterCheck);
  EXPECT_TRUE(keptAfterUncheck);
  EXPECT_EQ(dialog.Targets().unit1, "/srv/Compta/Clients/Sauvegarde-Nuv-MERLON/Dossier-AB/C61206-2215-avant-cloture/");
  EXPECT_EQ(dialog.Targets().unit2, "/media/Disque 2/Sauvegarde-Nuv-MERLON/Dossier-AB/C61206-2215-avant-cloture/");
  EXPECT_EQ(dialog.Targets().comment, "avant-cloture");
  // The change held for this backup only.
  EXPECT_EQ(IniGetString("Un2Sauvegarde", ""), "/mnt/Usb/%DEFAUT%");
}

TEST_F(BackupSettingsTest, OuiRefusesADestinationTooLongAndNonAnswersNo) {
  bool stayed = false;
  gui::ModalSeam::QueueDialogAnswer(gui::IDCANCEL, [&](gui::Window& w) {
    auto& d = static_cast<TDConfSauvegarde&>(w);
    d.SetItemText(1206, "/" + std::string(99, 'u'));
    d.SetItemText(1203, std::string(30, 'c'));
    d.PressButton(1);
    stayed = !d.IsEnded();
  });
  TDConfSauvegarde dialog(nullptr, 1335, std::string(90, 'r') + "/");
  EXPECT_NE(dialog.Execute(kTaskModal), gui::IDOK);
  EXPECT_TRUE(stayed);
  EXPECT_GE(beeps_, 1);
}

}  // namespace
}  // namespace dossier_test
