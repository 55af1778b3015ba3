// Every dialog of the resources, built by the class that shows it: each
// button, check box, radio button and label that has a text in its
// template shows a text. A grab of each is kept for a look.
#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>

#include <filesystem>
#include <functional>
#include <memory>

#include "controls/medit.h"
#include "dossier/backup_settings.h"
#include "dossier/dossier_management.h"
#include "dossier/dossier_properties.h"
#include "dossier/new_dossier.h"
#include "framework/calculator.h"
#include "framework/dialog_bases.h"
#include "framework/fmt_saisie.h"
#include "framework/lock_notice.h"
#include "framework/lookup_dialog.h"
#include "platform/gui/dialog_template.h"
#include "support/gui_test.h"
#include "shell_frame_fixture.h"

namespace {

namespace fs = std::filesystem;

class DialogTextsTest : public ShellFrameTest {};

struct Case {
  const char* templateId;
  std::function<std::unique_ptr<gui::Dialog>(gui::Window*)> make;
};

QString ShownText(QWidget* w) {
  if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
  if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
  if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
  return QString();
}

TEST_F(DialogTextsTest, EveryTemplateTextIsShownByItsDialog) {
  OpenDossier();
  static std::string buffer, result;
  const Case cases[] = {
      {"1305", [](gui::Window* p) { return std::make_unique<TDFmtSaisie>(p, 1305, 2284, &buffer, false); }},
      {"1306", [](gui::Window* p) { return std::make_unique<TDFmtSaisie>(p, 1306, 2284, &buffer, true); }},
      {"1309", [](gui::Window* p) { return std::make_unique<TDAideFichier>(p, "", "C", 6, &result); }},
      {"1314", [](gui::Window* p) { return std::make_unique<TDFicAProposDossier>(p, 2); }},
      {"1320", [](gui::Window* p) { return std::make_unique<TDNuvModeless>(p, false); }},
      {"1328", [](gui::Window* p) { return std::make_unique<TDMessageLockR>(p, "Enregistrement 12"); }},
      {"1331", [](gui::Window* p) { return std::make_unique<TDUtiGestionDossiers>(p); }},
      {"1333", [](gui::Window* p) { return std::make_unique<TDCalc>(p, nullptr); }},
      {"1335", [](gui::Window* p) { return std::make_unique<TDConfSauvegarde>(p, 1335, "essai"); }},
      {"NOUVEAU_DOSSIER", [](gui::Window* p) { return std::make_unique<TDNouveauDossier>(p); }},
      {"SAISIE_VARIABLES", [](gui::Window* p) { return std::make_unique<TDSaisieVariables>(p, &buffer); }},
  };
  // The table covers every dialog of the resources.
  int files = 0;
  for (const auto& entry : fs::directory_iterator(fs::path(MERLON_SOURCE_DIR) / "src/resources/dialogs"))
    files += entry.path().extension() == ".dlg" ? 1 : 0;
  EXPECT_EQ(files, static_cast<int>(std::size(cases)));

  for (const Case& c : cases) {
    SCOPED_TRACE(c.templateId);
    const gui::DialogTemplate* t = gui::DialogTemplates::Find(c.templateId);
    ASSERT_NE(t, nullptr);
    std::unique_ptr<gui::Dialog> dialog = c.make(MainFrame);
    dialog->Show(gui::SW_HIDE);
    ASSERT_TRUE(dialog->Create());
    for (const gui::ControlTemplate& item : t->controls) {
      if (item.text.empty() || item.kind == gui::ControlKind::Edit || item.kind == gui::ControlKind::ComboBox ||
          item.kind == gui::ControlKind::ListBox || item.kind == gui::ControlKind::Custom)
        continue;
      gui::Control* control = dialog->GetDlgItem(item.id);
      ASSERT_NE(control, nullptr) << item.id;
      EXPECT_FALSE(ShownText(control->Widget()).trimmed().isEmpty()) << "control " << item.id << " is blank";
    }
    test_support::Screenshot(dialog->Widget(), "dialogs", c.templateId);
  }
}

}  // namespace

namespace {

// Qt's own dialogs speak French: the file dialog's buttons and labels.
TEST_F(DialogTextsTest, QtFileDialogIsInFrench) {
  QFileDialog dialog(nullptr, "Ouvrir", "/tmp");
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  QStringList texts;
  for (QAbstractButton* b : dialog.findChildren<QAbstractButton*>()) texts << b->text();
  for (QLabel* l : dialog.findChildren<QLabel*>()) texts << l->text();
  const QString all = texts.join('|');
  EXPECT_TRUE(all.contains("Annuler")) << all.toStdString();
  EXPECT_FALSE(all.contains("Cancel")) << all.toStdString();
  dialog.resize(640, 400);
  test_support::Screenshot(&dialog, "dialogs", "qt_file_dialog");
}

}  // namespace

namespace {

void Key(QWidget* w, int key, const QString& text = QString()) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
  QApplication::sendEvent(w, &press);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
  QApplication::sendEvent(w, &release);
}

// The working date is a date field: letters are refused, Page Up steps it,
// and its label's mnemonic leads to it.
TEST_F(DialogTextsTest, WorkingDateFieldTakesDatesOnly) {
  OpenDossier();
  TheDossierRecord.SetDateYyyymmdd(DossierRecord::DateField::Working, "20240315");
  TDFicAProposDossier dialog(MainFrame, TDFicAProposDossier::kWorkingDateMode);
  gui::ModalSeam::QueueDialogAnswer(gui::IDCANCEL, [](gui::Window& w) {
    auto& d = static_cast<gui::Dialog&>(w);
    auto* date = dynamic_cast<MEdit*>(d.GetDlgItem(TDFicAProposDossier::kWorkingDate));
    ASSERT_NE(date, nullptr);
    EXPECT_EQ(date->InputKind(), MEdit::kDate);
    auto* label = qobject_cast<QLabel*>(d.GetDlgItem(1291)->Widget());
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->buddy(), date->Widget());
    const std::string before = date->GetText();
    date->SetFocus();
    Key(date->Widget(), Qt::Key_A, "a");
    EXPECT_EQ(date->GetText(), before);
    Key(date->Widget(), Qt::Key_PageUp);
    EXPECT_NE(date->GetText(), before);
    EXPECT_EQ(date->GetText().size(), 8u) << date->GetText();
    // The analytic combo is one line tall, not its dropped list's height.
    EXPECT_LT(d.GetDlgItem(TDFicAProposDossier::kAnalytic)->GetWindowRect().h, 30);
  });
  dialog.Execute();
}

}  // namespace
