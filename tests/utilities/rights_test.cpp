// "Droits d'Accès pour ce dossier": offered to a privileged user of a dossier that has a secondary password; the
// boxes show the rights the access-rights test grants; clearing right 1 of function 13 writes the rights into the
// dossier's record "0" (the rest of its field kept), and a user of the secondary password then sees "Saisie
// d'Ecritures" grey.
#include "controls/medit.h"
#include "framework/fmt_saisie.h"
#include "runtime/dossier_record.h"
#include "settings_fixture.h"
#include "support/dossier_passwords.h"
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

using test_support::StorePasswords;

// The password prompt answered with `typed` (its screenshot kept when `shot` is given).
void QueuePassword(const std::string& typed, const char* shot = nullptr) {
  gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [typed, shot](gui::Window& w) {
    auto& d = static_cast<TDFmtSaisie&>(w);
    EXPECT_TRUE(d.Input()->IsPassword()) << "typed masked";
    d.Input()->SetText(typed);
    if (shot != nullptr) test_support::Screenshot(w.Widget(), "utilities", shot);
  });
}

// A dossier with both passwords asks one at its opening: the privileged one opens the rights editor,
// which takes "Saisie d'Ecritures" away from the secondary users; the secondary password then opens the
// dossier with that command refused; three wrong passwords leave the dossier closed.
TEST_F(RightsTest, ThePasswordsOpenTheDossierAndTheRightsApplyToTheSecondaryUser) {
  const std::string c10 = folder_ + "c10st";
  StorePasswords(c10, "CHEF", "AIDE");
  auto reopen = [this](const std::vector<std::string>& typed) {
    Menu(20203);  // "Fermer dossier"
    gui::ModalSeam::Reset();
    OpenThroughDialog(C10Path(folder_, "ST"), [&] {
      for (std::size_t i = 0; i < typed.size(); ++i) {
        QueuePassword(typed[i], i == 0 && typed[i] == "CHEF" ? "dossier_password" : nullptr);
        if (i + 1 < typed.size() || typed[i] == "FAUX") gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
      }
    });
  };
  // The privileged user: level "1", the editor offered and used.
  reopen({"CHEF"});
  ASSERT_EQ(std::string(RTrim(DossierCode.c_str())), "ST") << test_support::ShownTexts();
  EXPECT_EQ(TheDossierRecord.UserLevel(), '1');
  ASSERT_TRUE(Enabled(20705));
  EXPECT_TRUE(Enabled(20401));
  gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [](gui::Window& w) {
    auto& d = static_cast<TDUtiDroits&>(w);
    d.SetCheck(TDUtiDroits::BoxId(13, 1), gui::BST_UNCHECKED);
    d.PressButton(gui::IDOK);
  });
  Menu(20705);
  EXPECT_EQ(StoredC10("0", "", "GZONE3").substr(21, 1), ">");
  EXPECT_TRUE(Enabled(20401)) << "the privileged user keeps every right";

  // The secondary user, after a wrong try: "Saisie d'Ecritures" refused, the editor not offered.
  reopen({"chef", "AIDE"});
  ASSERT_EQ(std::string(RTrim(DossierCode.c_str())), "ST") << test_support::ShownTexts();
  EXPECT_EQ(TheDossierRecord.UserLevel(), '2');
  EXPECT_FALSE(Enabled(20401)) << "Saisie d'Ecritures";
  EXPECT_TRUE(Enabled(20309)) << "Plan Comptable";
  EXPECT_FALSE(Enabled(20705));
  // The dossier tested again in the same run keeps its user's level without asking.
  SetDossierState('2');
  gui::ModalSeam::Reset();
  Menu(20309);
  EXPECT_EQ(TheDossierRecord.UserLevel(), '2');
  for (const gui::ShownModal& shown : gui::ModalSeam::Shown()) EXPECT_NE(shown.resourceId, TDFmtSaisie::kOkCancel);
  CloseWindows();

  // Three wrong passwords: the opening is refused, the dossier stays closed.
  reopen({"FAUX", "FAUX", "FAUX"});
  EXPECT_TRUE(IsBlank(DossierCode)) << test_support::ShownTexts();
  EXPECT_FALSE(DossierIsCurrent());
  int prompts = 0;
  for (const gui::ShownModal& shown : gui::ModalSeam::Shown())
    if (shown.kind == gui::ModalKind::Dialog && shown.resourceId == TDFmtSaisie::kOkCancel) ++prompts;
  EXPECT_EQ(prompts, 3);
  EXPECT_NE(test_support::ShownTexts().find("n'est pas ouvert"), std::string::npos);

  // Without passwords the dossier opens without asking, every right granted (level "0").
  StorePasswords(c10, "", "");
  gui::ModalSeam::Reset();
  OpenThroughDialog(C10Path(folder_, "ST"));
  ASSERT_EQ(std::string(RTrim(DossierCode.c_str())), "ST") << test_support::ShownTexts();
  EXPECT_EQ(TheDossierRecord.UserLevel(), '0');
  EXPECT_TRUE(Enabled(20401));
}


// A privileged password and no secondary one: no answer opens the dossier but that password, an
// empty one least of all (it would give the secondary level's limited rights, or none).
TEST_F(RightsTest, WithoutASecondaryPasswordAnEmptyAnswerOpensNothing) {
  StorePasswords(folder_ + "c10st", "CHEF", "");
  struct Case {
    std::vector<std::string> typed;
    char level;  // 0: the dossier stays closed
  } cases[] = {{{"", " ", "AIDE"}, 0}, {{"", "CHEF"}, '1'}};
  for (const Case& c : cases) {
    Menu(20203);  // "Fermer dossier"
    gui::ModalSeam::Reset();
    OpenThroughDialog(C10Path(folder_, "ST"), [&] {
      for (std::size_t i = 0; i < c.typed.size(); ++i) {
        QueuePassword(c.typed[i]);
        if (i + 1 < c.typed.size() || c.level == 0) gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
      }
    });
    int prompts = 0;
    for (const gui::ShownModal& shown : gui::ModalSeam::Shown())
      if (shown.kind == gui::ModalKind::Dialog && shown.resourceId == TDFmtSaisie::kOkCancel) ++prompts;
    EXPECT_EQ(prompts, static_cast<int>(c.typed.size()));
    if (c.level == 0) {
      EXPECT_TRUE(IsBlank(DossierCode)) << "opened at level " << TheDossierRecord.UserLevel();
      EXPECT_FALSE(DossierIsCurrent());
    } else {
      ASSERT_EQ(std::string(RTrim(DossierCode.c_str())), "ST") << test_support::ShownTexts();
      EXPECT_EQ(TheDossierRecord.UserLevel(), c.level);
    }
  }
}

}  // namespace
}  // namespace settings_test
