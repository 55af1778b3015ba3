// File and folder dialogs: a choice is taken in cp1252 as the system names it,
// or refused with a message when cp1252 cannot hold it (never with '?' in it).
#include <gtest/gtest.h>

#include "gui_test_support.h"
#include "platform/gui/filedialog.h"

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

}  // namespace
