// Backup confirmation with its destinations: the texts built from the dossier, unit 2 and
// the comment, the INI value read with its placeholder removed and never written back, and
// the dialog driven through the modal seam.
#include "support/gui_test.h"
#include "dossier/backup_settings.h"
#include "modal_session_test.h"
#include "platform/gui/application.h"
#include "platform/gui/constants.h"
#include "platform/gui/controls.h"
#include "platform/gui/modal_seam.h"
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

TEST_F(BackupSettingsTest, TargetsTakeTheCommentAndUnitTwo) {
  struct Case {
    std::string unit2, comment;
    std::string unit1Expected, unit2Expected, commentExpected;
  } cases[] = {
      {"", "", "/srv/Compta/Clients/Sauvegarde-Nuv-MERLON/Dossier-AB/C61206-2215/", "", ""},
      {"", "   ", "/srv/Compta/Clients/Sauvegarde-Nuv-MERLON/Dossier-AB/C61206-2215/", "", ""},
      {"  /mnt/Usb Key  ", " fin_mois ", "/srv/Compta/Clients/Sauvegarde-Nuv-MERLON/Dossier-AB/C61206-2215-fin_mois/",
       "/mnt/Usb Key/Sauvegarde-Nuv-MERLON/Dossier-AB/C61206-2215-fin_mois/", "fin_mois"},
      {"/mnt/usb/", "", "/srv/Compta/Clients/Sauvegarde-Nuv-MERLON/Dossier-AB/C61206-2215/",
       "/mnt/usb/Sauvegarde-Nuv-MERLON/Dossier-AB/C61206-2215/", ""},
      {"   ", "x", "/srv/Compta/Clients/Sauvegarde-Nuv-MERLON/Dossier-AB/C61206-2215-x/", "", "x"},
  };
  for (const Case& c : cases) {
    const BackupTargets t = BuildBackupTargets(kRelative, c.unit2, c.comment);
    EXPECT_EQ(t.unit1, c.unit1Expected) << c.unit2 << "|" << c.comment;
    EXPECT_EQ(t.unit2, c.unit2Expected) << c.unit2 << "|" << c.comment;
    EXPECT_EQ(t.comment, c.commentExpected);
    EXPECT_TRUE(t.fits);
    // The text names the dossier, its folder and each destination; unit 2 only when there is one.
    EXPECT_NE(t.confirmation.find("Le dossier 'AB' situ\xE9 \xE0 l'emplacement:\n   \"/srv/Compta/Clients/\""),
              std::string::npos);
    EXPECT_NE(t.confirmation.find("(Unit\xE9 1):\n   " + c.unit1Expected), std::string::npos);
    EXPECT_EQ(t.confirmation.find("(Unit\xE9 2)") != std::string::npos, !c.unit2Expected.empty());
    EXPECT_EQ(t.confirmation.rfind("\n\n\n"), t.confirmation.size() - 3);
  }
  // A destination longer than 200 characters does not fit.
  EXPECT_FALSE(BuildBackupTargets(kRelative, "/" + std::string(170, 'u'), "").fits);
  EXPECT_FALSE(BuildBackupTargets(std::string(190, 'r') + "/", "", "commentaire").fits);
}

// What each edit lets through: a character outside its set is refused by the edit.
TEST_F(BackupSettingsTest, EditsAcceptOnlyTheirCharacters) {
  auto accepts = [](const std::string& allowed, const std::string& text) {
    for (char c : text)
      if (allowed.find(c) == std::string::npos) return false;
    return true;
  };
  struct Case {
    const char* text;
    bool unit2, comment;
  } cases[] = {
      {"/mnt/Sauve_2(a)-B", true, false},
      {"fin-annee_2024", true, true},
      {"a\"b", false, false},
      {"a;b", false, false},
      {"a&b", false, false},
      {"a b", false, false},
      {"a.b", false, false},
      {"a:b", true, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(accepts(Unit2AllowedChars(), c.text), c.unit2) << c.text;
    EXPECT_EQ(accepts(CommentAllowedChars(), c.text), c.comment) << c.text;
  }
}

TEST_F(BackupSettingsTest, UnitTwoComesFromTheIniWithoutItsPlaceholder) {
  EXPECT_EQ(InitialUnit2(), "");
  struct Case {
    const char *stored, *expected;
  } cases[] = {
      {"/mnt/Usb/%DEFAUT%", "/mnt/Usb/"},
      {"/mnt/Usb/%defaut%", "/mnt/Usb/"},
      {"%Defaut%/mnt/b/", "/mnt/b/"},
      {"/mnt/plain/", "/mnt/plain/"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(IniSetString("Un2Sauvegarde", c.stored));
    EXPECT_EQ(InitialUnit2(), c.expected) << c.stored;
  }
}

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
