// "Droits d'Accès pour ce dossier": offered to a privileged user of a dossier that has a secondary password; the
// boxes show the rights the access-rights test grants; clearing right 1 of function 13 writes the rights into the
// dossier's record "0" (the rest of its field kept), and a user of the secondary password then sees "Saisie
// d'Ecritures" grey.
#include "settings_fixture.h"
#include "support/gui_test.h"
#include "utilities/rights_dialog.h"

namespace settings_test {
namespace {

using RightsTest = SettingsWindowTest;

TEST_F(RightsTest, ClearingRightOneOfTheEntryGreysItForTheSecondaryPassword) {
  EXPECT_FALSE(Enabled(20705)) << "no secondary password";
  TheDossierRecord.Set(DossierRecord::kSecondaryPasswordPos, DossierRecord::kPasswordWidth, "AUTRE");
  TheDossierRecord.SetUserLevel('1');
  ASSERT_TRUE(Enabled(20705));
  const std::string field6 = StoredC10("0", "", "GZONE3");

  gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [](gui::Window& w) {
    auto& d = static_cast<TDUtiDroits&>(w);
    // Every right granted at first: every box of each function's rights, and no more.
    for (const settings::RightsFunction& f : d.Functions())
      for (int k = 1; k <= 9; ++k) {
        EXPECT_EQ(d.GetDlgItem(TDUtiDroits::BoxId(f.number, k)) != nullptr, k <= f.rights) << f.number << "/" << k;
        if (k <= f.rights) { EXPECT_EQ(d.GetCheck(TDUtiDroits::BoxId(f.number, k)), gui::BST_CHECKED); }
      }
    d.SetCheck(TDUtiDroits::BoxId(13, 1), gui::BST_UNCHECKED);
    d.SetCheck(TDUtiDroits::BoxId(14, 9), gui::BST_UNCHECKED);
    test_support::Screenshot(d.Widget(), "utilities", "access_rights");
    d.PressButton(gui::IDOK);
  });
  Menu(20705);

  // Function 13 starts at 22: right 1 is bit 1 of character 22; function 14's right 9 bit 1 of character 26.
  const std::string rights = TheDossierRecord.Rights();
  EXPECT_EQ(rights, std::string(21, '?') + ">???" + ">" + std::string(24, '?'));
  const std::string stored = StoredC10("0", "", "GZONE3");
  EXPECT_EQ(stored.substr(0, 50), rights);
  EXPECT_EQ(stored.substr(50), field6.size() > 50 ? field6.substr(50) : "") << "the rest of the field is kept";

  // A user of the secondary password.
  TheDossierRecord.SetUserLevel('2');
  EXPECT_FALSE(Enabled(20401)) << "Saisie d'Ecritures";
  EXPECT_TRUE(Enabled(20309)) << "Plan Comptable";
  EXPECT_FALSE(Enabled(20705)) << "the rights are a privileged user's";
}

TEST_F(RightsTest, AbandonLeavesTheRightsAsTheyWere) {
  TheDossierRecord.Set(DossierRecord::kSecondaryPasswordPos, DossierRecord::kPasswordWidth, "AUTRE");
  TheDossierRecord.SetUserLevel('A');
  TheDossierRecord.SetRights(std::string(21, '?') + "5" + std::string(28, '?'));
  const std::string before = StoredC10("0", "", "GZONE3");
  gui::ModalSeam::QueueDialogAnswer(gui::IDCANCEL, [](gui::Window& w) {
    auto& d = static_cast<TDUtiDroits&>(w);
    // "5": rights 1 and 3 of the character's four.
    EXPECT_EQ(d.GetCheck(TDUtiDroits::BoxId(13, 1)), gui::BST_CHECKED);
    EXPECT_EQ(d.GetCheck(TDUtiDroits::BoxId(13, 2)), gui::BST_UNCHECKED);
    EXPECT_EQ(d.GetCheck(TDUtiDroits::BoxId(13, 3)), gui::BST_CHECKED);
    EXPECT_EQ(d.GetCheck(TDUtiDroits::BoxId(13, 4)), gui::BST_UNCHECKED);
    d.SetCheck(TDUtiDroits::BoxId(13, 1), gui::BST_UNCHECKED);
    d.PressButton(gui::IDCANCEL);
  });
  Menu(20705);
  EXPECT_EQ(StoredC10("0", "", "GZONE3"), before);
  EXPECT_EQ(TheDossierRecord.Rights().substr(21, 1), "5");
}

}  // namespace
}  // namespace settings_test
