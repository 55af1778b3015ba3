// "Renuméroter toutes les Pièces" chosen from the menu of the main window on an open dossier,
// as a user meets it: the support password, the warning, a progress window whose second line
// moves with the run (grabbed half-way), the closing message, and the dossier shared again.
#include <QApplication>
#include <QLabel>
#include <QTimer>

#include "data/dossier_files.h"
#include "data/dossier_lock.h"
#include "data/session.h"
#include "dossier/core/renumber_pieces.h"
#include "dossier/renumber_window.h"
#include "platform/gui/menu.h"
#include "resources/command_ids.h"
#include "runtime/code_helpers.h"
#include "runtime/dates.h"
#include "shell/handlers.h"
#include "shell/mdi_client.h"
#include "support/dossier_fixture.h"

namespace {

class RenumberMenuTest : public DossierOpenTest {
 protected:
  void SetUp() override {
    DossierOpenTest::SetUp();
    InstallMaintenance2Commands();
    SetTextPromptHook([](const char*, const char*, std::string& answer) {
      const Ymd today = Today();
      answer = SupportCodeForDate(today.year, today.month, today.day);
      return true;
    });
  }
  void TearDown() override {
    SetTextPromptHook(nullptr);
    for (unsigned id : {command_id::RenumeroterPieces, command_id::GestionDossiers}) SetCommandWork(id, {});
    DossierOpenTest::TearDown();
  }
};

// The percent shown at the end of the second line of a progress window; -1 when none.
int ShownPercent(QWidget* window) {
  for (QLabel* label : window->findChildren<QLabel*>()) {
    const QString text = label->text();
    const int sign = text.lastIndexOf('%');
    if (sign < 0) continue;
    const int dash = text.lastIndexOf('-', sign);
    bool ok = false;
    const int percent = text.mid(dash + 1, sign - dash - 1).trimmed().toInt(&ok);
    if (ok) return percent;
  }
  return -1;
}

TEST_F(RenumberMenuTest, ChosenFromTheMenuShowsAMovingProgressThenTheNextNumber) {
  const std::string folder = MakeDossier("demo", "DEMO", 3000);
  OpenThroughDialog(C10Path(folder, "DEMO"));
  ASSERT_EQ(DossierFolder, folder);
  gui::ModalSeam::Reset();

  // While the run works, the progress window is looked at each time it lets the window system
  // through: the percents it shows, and a grab once it is past a third of the run.
  std::vector<int> seen;
  bool grabbed = false;
  QTimer look;
  look.setInterval(0);
  QObject::connect(&look, &QTimer::timeout, [&] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (!w->isVisible() || !w->windowTitle().startsWith(QString::fromUtf8("ReNumérotation des Pièces: DEMO")))
        continue;
      const int percent = ShownPercent(w);
      if (percent >= 0 && (seen.empty() || seen.back() != percent)) seen.push_back(percent);
      if (!grabbed && percent >= 35) {
        test_support::Screenshot(w, "dossier", "renumbering-progress");
        grabbed = true;
      }
    }
  });
  look.start();
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);  // the warning
  ASSERT_TRUE(MainMenuHandle->Choose(20722));
  gui::ProcessPendingMessages();
  look.stop();

  EXPECT_TRUE(grabbed);
  ASSERT_GE(seen.size(), 10u) << "the progress did not move";
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
  EXPECT_GE(seen.back(), 90);
  const gui::ShownModal* end = gui::ModalSeam::LastShown();
  ASSERT_NE(end, nullptr);
  EXPECT_NE(end->text.find("La ReNum\xE9rotation est termin\xE9" "e"), std::string::npos) << ShownTexts();
  EXPECT_FALSE(fs::exists(folder + "cdemo.run"));
  EXPECT_FALSE(RenumberingPending());
  EXPECT_EQ(DossierLockTable->shareMode, Table::kShared);  // given back
}

}  // namespace
