// "Configuration du progiciel" as a user works it: options, margins, a font chosen with the chooser, the backup
// method and a blank value; a bad value refused with its message, method 7 without its batch file refused and the
// method kept; "&Ok" writes the INI and the program options follow; a set letter changed makes the set.
#include <QComboBox>
#include <QListWidget>
#include <QScrollBar>
#include <filesystem>

#include "controls/medit.h"
#include "dossier/backup.h"
#include "platform/system/files.h"
#include "runtime/inifiles.h"
#include "settings_fixture.h"
#include "support/gui_test.h"
#include "utilities/configuration.h"

namespace settings_test {
namespace {

using Dialog = TDUtiConfiguration;

void Type(Dialog& d, const std::string& text) { d.Item<MEdit>(Dialog::kValue)->SetValue(text, false); }

// Clicks a row of the list, as the user does.
void ClickRow(Dialog& d, const std::string& key) {
  const auto& all = settings::ProgramSettings();
  for (std::size_t i = 0; i < all.size(); ++i)
    if (key == all[i].key) qobject_cast<QListWidget*>(d.GetDlgItem(Dialog::kList)->Widget())->setCurrentRow(static_cast<int>(i));
  gui::ProcessPendingMessages();
}

// Chooses a backup method in the list of methods, as the user does.
void ChooseMethod(Dialog& d, char method) {
  auto* combo = qobject_cast<QComboBox*>(d.GetDlgItem(Dialog::kMethods)->Widget());
  ASSERT_NE(combo, nullptr);
  combo->setCurrentIndex(combo->findText(QString::fromStdString(std::string(1, method)), Qt::MatchStartsWith));
  gui::ProcessPendingMessages();
}

using ConfigurationTest = SettingsWindowTest;

TEST_F(ConfigurationTest, TheZipMethodsAAndZAreOfferedAndKept) {
  IniSetString("LanceM?BACKUP", "9");
  for (char method : {'A', 'Z'}) {
    gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [method](gui::Window& w) {
      auto& d = static_cast<Dialog&>(w);
      ClickRow(d, "LanceM?BACKUP");
      auto* combo = qobject_cast<QComboBox*>(d.GetDlgItem(Dialog::kMethods)->Widget());
      ASSERT_NE(combo, nullptr);
      EXPECT_EQ(combo->count(), 10);
      ChooseMethod(d, method);
      EXPECT_TRUE(combo->currentText().contains("archive ZIP")) << combo->currentText().toStdString();
      if (method == 'A') test_support::Screenshot(d.Widget(), "utilities", "configuration_zip_method");
      d.PressButton(gui::IDOK);
    });
    Menu(20701);
    EXPECT_EQ(IniGetString("LanceM?BACKUP", ""), std::string(1, method)) << test_support::ShownTexts();
  }
}

TEST_F(ConfigurationTest, OptionsFontsAndTheBackupMethodAreWrittenAndTakeEffect) {
  IniSetString("DateHeureImpr", "N");
  IniSetString("LanceM?BACKUP", "9");
  SetProgramOption(12, 'N');
  SetProgramOption(21, 'X');
  // The reference set, from which the new display set is made.
  MakeSet('S', {{"DB-1LISTE", "Liste des banques", "[RS]"}});
  gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [](gui::Window& w) {
    auto& d = static_cast<Dialog&>(w);
    ASSERT_TRUE(d.SelectSetting("Fen\xEAtres-Maxi"));
    Type(d, "n");
    ClickRow(d, "LargMPortrait");
    Type(d, "300");
    ClickRow(d, "LargMPaysage_");  // refused: the row stays
    EXPECT_EQ(d.Selected()->key, std::string("LargMPortrait"));
    Type(d, "90");
    ClickRow(d, "DateHeureImpr");
    Type(d, "  ");
    ClickRow(d, "FichierEtatsV");
    Type(d, "5");
    ClickRow(d, "Police-1-Visu");
    gui::ModalSeam::QueueFontAnswer("DejaVu Sans", 11, 700);
    d.PressButton(Dialog::kChoose);
    ClickRow(d, "LanceM?BACKUP");
    ChooseMethod(d, '7');  // no CSAUVE7.BAT here: refused, W kept
    ChooseMethod(d, 'W');
    // The values longer than the list (the backup method's text) can be scrolled to.
    EXPECT_GT(qobject_cast<QListWidget*>(d.GetDlgItem(Dialog::kList)->Widget())->horizontalScrollBar()->maximum(), 0);
    test_support::Screenshot(d.Widget(), "utilities", "configuration");
    d.PressButton(gui::IDOK);
  });
  Menu(20701);

  const std::string shown = test_support::ShownTexts();
  EXPECT_NE(shown.find("Entrez un nombre de 1 \xE0 255"), std::string::npos) << shown;
  EXPECT_NE(shown.find(UnavailableMethodText('7', false)), std::string::npos) << shown;
  EXPECT_EQ(IniGetString("Fen\xEAtres-Maxi", ""), "N");
  EXPECT_EQ(IniGetString("LargMPortrait", ""), "90");
  EXPECT_EQ(IniGetString("DateHeureImpr", "absent"), "absent") << "a blank value deletes the key";
  EXPECT_EQ(IniGetString("Police-1-Visu", ""), "DejaVu Sans,011/700");
  EXPECT_EQ(IniGetString("LanceM?BACKUP", ""), "W");
  // The options as the start-up fills them; those the windows keep are kept.
  EXPECT_EQ(ProgramOption(3), 'N');
  EXPECT_EQ(ProgramOption(5), '5');
  EXPECT_EQ(ProgramOption(9), 'O');
  EXPECT_EQ(static_cast<unsigned char>(ProgramOption(19)), 90);
  EXPECT_EQ(ProgramOption(12), 'N');
  EXPECT_EQ(ProgramOption(21), 'X');
  // The new display set was made from the reference set.
  EXPECT_TRUE(platform::FileExists(ProgramFolder + "ce5etats.dbf"));
}

// The station number past its range, eleven digits, is refused with the range its hint gives, and the row stays;
// eleven digits that make a number of the range are taken.
TEST_F(ConfigurationTest, TheStationNumberIsRefusedWithTheRangeOfItsHint) {
  IniSetString("NumeroPoste", "3");
  gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [](gui::Window& w) {
    auto& d = static_cast<Dialog&>(w);
    ClickRow(d, "NumeroPoste");
    Type(d, "12345678901");
    ClickRow(d, "LancementAuto");
    EXPECT_EQ(d.Selected()->key, std::string("NumeroPoste"));
    Type(d, "00000000042");
    ClickRow(d, "LancementAuto");
    EXPECT_EQ(d.Selected()->key, std::string("LancementAuto"));
    d.PressButton(gui::IDOK);
  });
  Menu(20701);
  const std::string shown = test_support::ShownTexts();
  EXPECT_NE(shown.find("Entrez un nombre de 0 \xE0 9999999999."), std::string::npos) << shown;
  EXPECT_EQ(shown.find("Entrez un nombre entier"), std::string::npos) << shown;
  EXPECT_EQ(IniGetString("NumeroPoste", ""), "42");
  for (const gui::ShownModal& m : gui::ModalSeam::Shown())
    if (m.kind == gui::ModalKind::MessageBox) test_support::ScreenshotMessage(m, "utilities", "station_number_range");
}

TEST_F(ConfigurationTest, AbandonWritesNothingAndAWindowsArchiverHeldStays) {
  IniSetString("LanceM?BACKUP", "Z");
  const std::string before = ReadAll(IniPath());
  gui::ModalSeam::QueueDialogAnswer(gui::IDCANCEL, [](gui::Window& w) {
    auto& d = static_cast<Dialog&>(w);
    ASSERT_TRUE(d.SelectSetting("LanceM?BACKUP"));
    auto* combo = qobject_cast<QComboBox*>(d.GetDlgItem(Dialog::kMethods)->Widget());
    EXPECT_TRUE(combo->currentText().startsWith("Z")) << combo->currentText().toStdString();
    // What each row's value is checked against: one sentence with its limits.
    const struct {
      const char* key;
      const char* hint;
    } hints[] = {
        {"NumeroPoste", "Un nombre de 0 \xE0 9999999999"},
        {"LargMPaysage_", "Un nombre de 1 \xE0 255"},
        {"MajHautPolTab", "Un multiplicateur au plus \xE9gal \xE0 3.0"},
        {"1ere-Imprim-A", "Un texte de 64 caract\xE8res au plus"},
        {"FichierEtatsV", "Un caract\xE8re parmi: 0123456789ABCDEFGHIJKLMNOPQRTUVWXYZ"},
    };
    for (const auto& h : hints) {
      ClickRow(d, h.key);
      EXPECT_EQ(d.GetItemText(Dialog::kHint), h.hint) << h.key;
    }
    ClickRow(d, "NumeroPoste");
    Type(d, "12");
    d.PressButton(gui::IDCANCEL);
  });
  Menu(20701);
  EXPECT_EQ(ReadAll(IniPath()), before);
}

// An INI that cannot be written (a folder stands at its name): "&Ok" says so and the dialog stays open with the
// change, which the user can then abandon; the option keeps its value.
TEST_F(ConfigurationTest, AnIniThatCannotBeWrittenIsSaidAndTheDialogStaysOpen) {
  const std::string ini = IniPath();
  SetProgramOption(3, 'O');
  ASSERT_TRUE(std::filesystem::remove(ini));
  ASSERT_TRUE(std::filesystem::create_directory(ini));
  bool stayedOpen = false;
  gui::ModalSeam::QueueDialogAnswer(gui::IDCANCEL, [&stayedOpen](gui::Window& w) {
    auto& d = static_cast<Dialog&>(w);
    ASSERT_TRUE(d.SelectSetting("Fen\xEAtres-Maxi"));
    Type(d, "N");
    d.PressButton(gui::IDOK);
    stayedOpen = d.IsCreated() && d.Changes().count("Fen\xEAtres-Maxi") == 1;
    d.PressButton(gui::IDCANCEL);
  });
  Menu(20701);
  std::filesystem::remove(ini);
  EXPECT_TRUE(stayedOpen);
  // One box, the file's path in its sentence.
  const gui::ShownModal* box = nullptr;
  for (const gui::ShownModal& m : gui::ModalSeam::Shown())
    if (m.text.find("n'a pas pu \xEAtre \xE9" "crit") != std::string::npos) box = &m;
  ASSERT_NE(box, nullptr) << test_support::ShownTexts();
  EXPECT_EQ(box->text, "\n\n\nLe fichier de configuration n'a pas pu \xEAtre \xE9" "crit:\n\n" + ini +
                           "\n\nLes valeurs qu'il n'a pas re\xE7ues restent les anciennes.\n\n\n");
  test_support::ScreenshotMessage(*box, "utilities", "configuration_not_written");
  EXPECT_EQ(ProgramOption(3), 'O');
}

}  // namespace
}  // namespace settings_test
