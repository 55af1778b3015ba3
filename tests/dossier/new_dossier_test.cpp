// The "Nouveau dossier" window: refusals that keep it open, a dossier created
// from the command in a chosen folder, opened, and readable by dbfread.
#include "backup_test_support.h"
#include "dossier/new_dossier.h"
#include "dossier_test_util.h"

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

  std::string out;
  const int rc = dossier_test::Run(
      {"/usr/bin/python3", "-c",
       "import sys, dbfread\n"
       "t = dbfread.DBF(sys.argv[1], encoding='cp1252')\n"
       "print(len(list(t)) > 0, any('SARL D\\'AX' in str(v) for r in t for v in r.values()))\n",
       onDisk + "/c10ax-1.dbf"},
      &out);
  EXPECT_EQ(rc, 0) << out;
  EXPECT_EQ(out, "True True\n");
}

TEST_F(NewDossierTest, RefusalsKeepTheWindow) {
  std::filesystem::create_directories(root_ + "/d");
  struct Case {
    std::map<int, std::string> fields;
    const char* messageStart;
  } cases[] = {
      {{{N::kCode, ""}, {N::kFolder, root_ + "/d"}, {N::kName, "X"}}, ""},
      {{{N::kCode, "A B"}, {N::kFolder, root_ + "/d"}, {N::kName, "X"}}, ""},
      {{{N::kCode, "AB"}, {N::kFolder, ""}, {N::kName, "X"}}, "\n\n\nIndiquez le r\xE9pertoire"},
      {{{N::kCode, "AB"}, {N::kFolder, root_ + "/d"}, {N::kName, "X"}, {N::kYearStart, "31/02/24"}},
       "\n\n\nDate D\xE9" "but"},
      {{{N::kCode, "AB"}, {N::kFolder, root_ + "/d"}, {N::kName, "X"}, {N::kYearStart, "01/01/25"},
        {N::kYearEnd, "31/12/24"}},
       ""},
      {{{N::kCode, "AB"}, {N::kFolder, root_ + "/d"}, {N::kName, ""}}, ""},
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

  // An existing dossier is never overwritten (its log says it was closed).
  CreateAndOpen();
  auto before = FolderFiles(folder_);
  before.erase("clgab.txt");
  ModalSeam::Reset();
  ModalSeam::QueueDialogAnswer(gui::IDOK, Fill({{N::kCode, "AB"}, {N::kFolder, folder_}, {N::kName, "AUTRE"}}));
  CmFichierNouveauDossier_Work();
  EXPECT_EQ(CountShown(ModalKind::MessageBox), 1);
  EXPECT_TRUE(opened_.empty());
  auto after = FolderFiles(folder_);
  after.erase("clgab.txt");
  EXPECT_TRUE(after == before);
}

}  // namespace
}  // namespace backup_test
