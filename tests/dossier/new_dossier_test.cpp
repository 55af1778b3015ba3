// The "Nouveau dossier" window: a dossier created from the command in a chosen
// folder, opened, and readable by dbfread.
#include "dossier_window_test.h"
#include "dossier/new_dossier.h"
#include "platform/system/write_fault.h"

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
  std::vector<std::string> opened_;
};

TEST_F(NewDossierTest, CreatedFromTheCommandOpensAndReadsInDbfread) {
  const std::string chosen = root_ + "/Soci\xE9t\xE9 d'Ax";  // the folder dialog's answer, its case kept
  const std::string onDisk = root_ + "/Soci\xC3\xA9t\xC3\xA9 d'Ax";  // as a file manager names it
  std::filesystem::create_directories(onDisk);
  ModalSeam::QueueDialogAnswer(gui::IDOK, [](gui::Window& w) {
    test_support::Screenshot(w.Widget(), "dossier", "new_dossier");
    auto& d = static_cast<gui::Dialog&>(w);
    d.SetItemText(N::kCode, "ax-1");
    d.SetItemText(N::kName, "SARL D'AX");
    d.SetItemText(N::kYearStart, "01/07/24");
    d.SetItemText(N::kYearEnd, "30/06/25");
    d.PressButton(N::kBrowse);
  });
  ModalSeam::QueueFolderAnswer(chosen);
  CmFichierNouveauDossier();
  ASSERT_EQ(opened_.size(), 1u);
  EXPECT_EQ(opened_[0], "AX-1@" + chosen + "/");
  ASSERT_EQ(ModalSeam::Shown().size(), 2u);
  EXPECT_EQ(ModalSeam::Shown()[1].kind, ModalKind::Folder);

  std::string out;  // dbfread reads it (the creation's test checks every table it reads)
  ASSERT_EQ(dossier_test::RunPython("read_dossier.py", {chosen, "ax-1"}, &out), 0) << out;
  EXPECT_NE(out.find("record 0|SARL D'AX|"), std::string::npos) << out;
}

TEST_F(NewDossierTest, EnterInAFieldConfirmsAsOk) {
  const std::string folder = root_ + "/enter";
  std::filesystem::create_directories(folder);
  // Answered Cancel unless Enter, typed in the last field, confirms the dialog first.
  ModalSeam::QueueDialogAnswer(gui::IDCANCEL, [folder](gui::Window& w) {
    auto& d = static_cast<gui::Dialog&>(w);
    d.SetItemText(N::kCode, "EN");
    d.SetItemText(N::kFolder, folder);
    d.SetItemText(N::kName, "SARL ENTREE");
    d.Show(gui::SW_SHOWNORMAL);
    d.GetDlgItem(N::kYearEnd)->SetFocus();
    gui::ProcessPendingMessages();
    EXPECT_TRUE(d.GetDlgItem(N::kYearEnd)->HasFocus());
    QWidget* edit = d.GetDlgItem(N::kYearEnd)->Widget();
    test_support::SendKey(edit, test_support::kKeyPress, gui::VK_RETURN, test_support::kNoModifier, "\r");
    test_support::SendKey(edit, test_support::kKeyRelease, gui::VK_RETURN, test_support::kNoModifier, "\r");
    gui::ProcessPendingMessages();
  });
  CmFichierNouveauDossier();
  ASSERT_EQ(opened_.size(), 1u) << test_support::ShownTexts();
  EXPECT_EQ(opened_[0], "EN@" + folder + "/");
}

// A folder on a disk that refuses the new dossier's files (read-only, or full): one box says which
// file could not be made, in which folder and why, and the folder stays empty.
TEST_F(NewDossierTest, AFolderThatRefusesItsFilesIsNamedWithWhy) {
  using F = platform::WriteFault;
  const struct Case {
    const char* name;
    F fault;
    const char* why;
  } cases[] = {{"lecture-seule", F::kFailForGood, "en lecture seule ou ce poste n'a pas le droit d'y \xE9" "crire"},
               {"disque-plein", F::kFull, "disque plein: plus de place dans le dossier "}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string folder = root_ + "/" + c.name + "/";
    std::filesystem::create_directories(folder);
    ModalSeam::Reset();
    // Confirmed with the disk refusing, then left with Cancel once the refusal was said.
    ModalSeam::QueueDialogAnswer(gui::IDCANCEL, [&folder, &c](gui::Window& w) {
      auto& d = static_cast<gui::Dialog&>(w);
      d.SetItemText(N::kCode, "ROF");
      d.SetItemText(N::kFolder, folder);
      d.SetItemText(N::kName, "SARL LECTURE");
      d.SetItemText(N::kYearStart, "01/01/26");
      d.SetItemText(N::kYearEnd, "31/12/26");
      platform::SetWriteFault(c.fault, 1);
      d.PressButton(gui::IDOK);
      platform::SetWriteFault(F::kNone, 0);
    });
    CmFichierNouveauDossier();
    EXPECT_TRUE(opened_.empty());
    std::vector<gui::ShownModal> boxes;
    for (const gui::ShownModal& s : ModalSeam::Shown())
      if (s.kind == ModalKind::MessageBox) boxes.push_back(s);
    ASSERT_EQ(boxes.size(), 1u) << test_support::ShownTexts();
    const std::string& said = boxes[0].text;
    EXPECT_NE(said.find("Impossible de cr\xE9" "er le fichier c10rof du dossier dans " + folder + ": "),
              std::string::npos) << said;
    EXPECT_NE(said.find(c.why), std::string::npos) << said;
    test_support::ScreenshotMessage(boxes[0], "dossier", std::string("new-dossier-") + c.name);
    EXPECT_TRUE(std::filesystem::is_empty(folder));
  }
}

}  // namespace
}  // namespace backup_test
