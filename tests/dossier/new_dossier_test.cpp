// The "Nouveau dossier" window: refusals that keep it open, a dossier created
// from the command in a chosen folder, opened, and readable by dbfread.
#include "dossier_window_test.h"
#include "dossier/new_dossier.h"

namespace backup_test {
namespace {

using gui::ModalKind;
using gui::ModalSeam;
using N = TDNouveauDossier;

class NewDossierTest : public DossierFixture {
 protected:
  void SetUp() override {
    DossierFixture::SetUp();
    SetNewDossierOpener([this](const std::string& folder, const std::string& code) {
      opened_.push_back(code + "@" + folder);
      return true;
    });
  }
  void TearDown() override {
    SetNewDossierOpener({});
    DossierFixture::TearDown();
  }
  static std::function<void(gui::Window&)> Fill(std::map<int, std::string> fields, bool browse = false) {
    return [fields, browse](gui::Window& w) {
      auto& d = static_cast<gui::Dialog&>(w);
      for (const auto& [id, text] : fields) d.SetItemText(id, text);
      if (browse) d.PressButton(N::kBrowse);
    };
  }
  std::vector<std::string> opened_;
};

TEST_F(NewDossierTest, CreatedFromTheCommandOpensAndReadsInDbfread) {
  const std::string chosen = root_ + "/Soci\xE9t\xE9 d'Ax";  // the folder dialog's answer, its case kept
  const std::string onDisk = root_ + "/Soci\xC3\xA9t\xC3\xA9 d'Ax";  // as a file manager names it
  std::filesystem::create_directories(onDisk);
  ModalSeam::QueueDialogAnswer(gui::IDOK, Fill({{N::kCode, "ax-1"},
                                                {N::kName, "SARL D'AX"},
                                                {N::kYearStart, "01/07/24"},
                                                {N::kYearEnd, "30/06/25"}},
                                               true));
  ModalSeam::QueueFolderAnswer(chosen);
  CmFichierNouveauDossier_Work();
  ASSERT_EQ(opened_.size(), 1u);
  EXPECT_EQ(opened_[0], "AX-1@" + chosen + "/");
  ASSERT_EQ(ModalSeam::Shown().size(), 2u);
  EXPECT_EQ(ModalSeam::Shown()[1].kind, ModalKind::Folder);

  std::string out;  // dbfread reads it (the creation's test checks every table it reads)
  ASSERT_EQ(dossier_test::RunPython("read_dossier.py", {onDisk, "ax-1"}, &out), 0) << out;
  EXPECT_NE(out.find("record 0|SARL D'AX|"), std::string::npos) << out;
}

// What the window itself checks (the creation's own refusals are tested without it).
TEST_F(NewDossierTest, RefusalsKeepTheWindow) {
  std::filesystem::create_directories(root_ + "/d");
  struct Case {
    std::map<int, std::string> fields;
    const char* messageStart;
  } cases[] = {
      {{{N::kCode, ""}, {N::kFolder, root_ + "/d"}, {N::kName, "X"}}, ""},
      {{{N::kCode, "AB"}, {N::kFolder, root_ + "/d"}, {N::kName, "X"}, {N::kYearStart, "31/02/24"}},
       "\n\n\nDate D\xE9" "but"},
  };
  for (const Case& c : cases) {
    ModalSeam::Reset();
    ModalSeam::QueueDialogAnswer(gui::IDOK, Fill(c.fields));
    CmFichierNouveauDossier_Work();
    ASSERT_EQ(CountShown(ModalKind::MessageBox), 1) << c.messageStart;
    EXPECT_EQ(ModalSeam::LastShown()->text.rfind(c.messageStart, 0), 0u) << ModalSeam::LastShown()->text;
  }
  EXPECT_TRUE(opened_.empty());
  EXPECT_TRUE(std::filesystem::is_empty(root_ + "/d"));
}

}  // namespace
}  // namespace backup_test
