// File and folder dialogs: a choice is taken in cp1252 as the system names it,
// or refused with a message when cp1252 cannot hold it (never with '?' in it).
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHeaderView>
#include <QImage>
#include <QListView>
#include <QSettings>
#include <QTimer>
#include <QTreeView>
#include <filesystem>
#include <fstream>
#include <memory>

#include "gui_test_support.h"
#include "platform/gui/filedialog.h"
#include "support/temp_folder.h"

namespace {

using namespace gui;

using FileDialogTest = GuiTest;

TEST_F(FileDialogTest, DiskNamesChosenAreTakenOrRefused) {
  const struct { ModalKind kind; const char* disk; const char* taken; } rows[] = {
      {ModalKind::Folder, "/d/Soci\xC3\xA9t\xC3\xA9 \xE2\x82\xAC", "/d/Soci\xE9t\xE9 \x80"},
      {ModalKind::Folder, "/d/\xC5\x81\xC3\xB3" "d\xC5\xBA", nullptr},  // "Łódź"
      {ModalKind::FileOpen, "/d/caf\xC3\xA9.dbf", "/d/caf\xE9.dbf"},
      {ModalKind::FileOpen, "/d/\xE4\xB8\xAD.dbf", nullptr},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.disk);
    ModalSeam::Reset();
    std::string path = "unchanged";
    bool taken;
    if (r.kind == ModalKind::Folder) {
      ModalSeam::QueueDiskFolderAnswer(r.disk);
      taken = BrowseForFolder(nullptr, "Dossier", "/d", path);
    } else {
      ModalSeam::QueueDiskFileAnswer(r.disk);
      taken = GetOpenFileName(nullptr, "Fichier", "Tables|*.dbf", "/d", path);
    }
    EXPECT_EQ(taken, r.taken != nullptr);
    EXPECT_EQ(path, r.taken != nullptr ? r.taken : "unchanged");
    const auto& shown = ModalSeam::Shown();
    ASSERT_EQ(shown.size(), r.taken != nullptr ? 1u : 2u);
    if (r.taken == nullptr) {
      EXPECT_EQ(shown[1].kind, ModalKind::MessageBox);
      EXPECT_NE(shown[1].text.find("ne peut pas enregistrer"), std::string::npos) << shown[1].text;
    }
  }
}

// The open dialog shows a dossier's line whole: size, type and date columns as wide as what they show, the
// places list as wide as its names, even when an earlier dialog left narrow columns in the user's Qt settings
// (kept here in a folder of the test's own). A grab of it is kept.
TEST_F(FileDialogTest, TheOpenDialogShowsItsLinesWhole) {
  test_support::TempFolder folder("filedialog");
  { std::ofstream(folder.path() + "/c10demo.dbf") << std::string(72000, 'x'); }
  test_support::TempFolder settings("filedialog-settings");
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(settings.path()));
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QString::fromStdString(settings.path()));
  const std::string filter = "Dossiers Nuv-MERLON ZEL (c10*.dbf)|c10*.dbf";
  {
    // A dialog narrowed by its user: Qt keeps its columns and places list as they were left.
    std::unique_ptr<QWidget> narrowed(NewFileDialogWidget("Ouvrir dossier", filter, folder.path()));
    auto* tree = narrowed->findChild<QTreeView*>("treeView");
    ASSERT_NE(tree, nullptr);
    for (int column = 1; column < tree->header()->count(); ++column) {
      tree->header()->setSectionResizeMode(column, QHeaderView::Interactive);
      tree->header()->resizeSection(column, 20);
    }
  }
  std::unique_ptr<QWidget> dialog(NewFileDialogWidget("Ouvrir dossier", filter, folder.path()));
  dialog->show();
  auto* tree = dialog->findChild<QTreeView*>("treeView");
  ASSERT_NE(tree, nullptr);
  // The folder is read by a thread of Qt's, and the columns are sized once its line is in: the event loop runs
  // until then, twenty seconds at most (on a loaded machine the thread answers late, after a loop that only
  // processed what was already pending had ended).
  QHeaderView* header = tree->header();
  auto* places = dialog->findChild<QListView*>("sidebar");
  ASSERT_NE(places, nullptr);
  const auto settled = [&] {
    if (tree->model()->rowCount(tree->rootIndex()) != 1) return false;
    for (int column = 1; column < header->count(); ++column) {
      const QString shown = tree->model()->index(0, column, tree->rootIndex()).data().toString();
      if (header->sectionSize(column) <= tree->fontMetrics().horizontalAdvance(shown)) return false;
    }
    return places->viewport()->width() >= places->sizeHintForColumn(0);
  };
  {
    QEventLoop loop;
    QTimer tick;
    QElapsedTimer since;
    since.start();
    QObject::connect(&tick, &QTimer::timeout, [&] {
      if (settled() || since.elapsed() > 20000) loop.quit();
    });
    tick.start(10);
    if (!settled()) loop.exec();
  }
  ASSERT_EQ(tree->model()->rowCount(tree->rootIndex()), 1);
  for (int column = 1; column < header->count(); ++column) {
    SCOPED_TRACE(column);
    const QString shown = tree->model()->index(0, column, tree->rootIndex()).data().toString();
    EXPECT_GT(header->sectionSize(column), tree->fontMetrics().horizontalAdvance(shown)) << shown.toStdString();
    EXPECT_GE(header->sectionSize(column), header->sectionSizeHint(column));
  }
  EXPECT_GE(places->viewport()->width(), places->sizeHintForColumn(0));
  const std::filesystem::path artefacts = std::filesystem::path(MERLON_BINARY_DIR) / "test-artefacts" / "gui";
  std::filesystem::create_directories(artefacts);
  EXPECT_TRUE(dialog->grab().toImage().save(QString::fromStdString((artefacts / "open-dialog.png").string())));
}

}  // namespace
