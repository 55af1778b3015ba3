// Dossier management: the checks of OK with their messages, the batch files started with one
// argument per folder and code (a batch file that records them), the dialog, and the sample
// batch files that really copy, rename, move and delete a dossier.
#include "dossier/dossier_management.h"
#include "data/dossier_lock.h"
#include "dossier_window_test.h"
#include "shell/mdi_client.h"

namespace dossier_test {
namespace {

class ManagementTest : public ModalSessionTest {
 protected:
  void SetUp() override {
    ModalSessionTest::SetUp();
    if (HasFatalFailure()) return;
    DossierSlots[0].clear();
    SetProgramOption(1, ' ');
    SetProgramOption(2, ' ');
  }
  void TearDown() override {
    DossierSlots[0].clear();
    ModalSessionTest::TearDown();
  }

  static void Touch(const std::string& path) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path) << "x";
  }

  // A batch file of the program folder that writes each argument on its own line and its
  // working folder last.
  std::string RecordingBatch(const std::string& name) {
    const std::string out = Dir() + "/" + name + ".args";
    std::ofstream(ProgramFolder + name) << "#!/bin/sh\n: > '" << out << "'\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> '"
                                        << out << "'; done\nprintf 'PWD=%s\\n' \"$PWD\" >> '" << out << "'\n";
    return out;
  }
};

TEST_F(ManagementTest, ChecksRefuseWithTheirMessages) {
  const std::string src = Dir() + "/Src/", dst = Dir() + "/Dst/";
  Touch(src + "c10ab.dbf");
  Touch(dst + "c10xy.dbf");
  for (const char* b : {"cwcopy.bat", "cwdepl.bat", "cwdel.bat", "cwren.bat", "cwdos.bat"}) Touch(ProgramFolder + b);
  const std::string source = "Le dossier source n'existe pas";
  const std::string exists = "Le dossier destination existe d\xE9j\xE0";
  const std::string isOpen = "ATTENTION: ce dossier est actuellement ouvert";
  const std::string badCode = "Le code du dossier destination est incorrect";
  const std::string noFolder = "Le chemin du dossier destination est vide";
  const std::string open = Dir() + "/Open/";
  Touch(open + "c10open.dbf");
  DossierSlots[0] = "OPEN " + open;
  using A = DossierAction;
  const struct Case {
    DossierChoice choice;
    std::string message;  // "" = accepted
  } cases[] = {
      {{A::Copier, "AB", src, "NEW", dst}, ""},        {{A::Copier, "ZZ", src, "NEW", dst}, source},
      {{A::Copier, "AB", src, "XY", dst}, exists},     {{A::Copier, "AB", src, "A.B", dst}, badCode},
      {{A::Copier, "AB", src, "A-9", ""}, noFolder},   {{A::Annuler, "OPEN", open, "", ""}, isOpen},
      {{A::Deplacer, "AB", src, "", dst}, ""},
  };
  for (const Case& c : cases) {
    DossierChoice choice = c.choice;
    const DossierCheck check = CheckDossierChoice(choice);
    SCOPED_TRACE(std::to_string(static_cast<int>(choice.action)) + " " + choice.sourceCode + " " + c.choice.destCode);
    EXPECT_EQ(check.ok, c.message.empty());
    EXPECT_EQ(check.message, c.message);
    if (choice.action == A::Deplacer) {
      EXPECT_EQ(choice.destCode, "AB");  // a move keeps the code
    }
  }

  // The batch file must be there.
  fs::remove(ProgramFolder + "cwcopy.bat");
  DossierChoice copy{DossierAction::Copier, "AB", src, "NEW", dst};
  const DossierCheck missing = CheckDossierChoice(copy);
  EXPECT_FALSE(missing.ok);
  EXPECT_EQ(missing.message, "ATTENTION: Fichier absent: cwcopy.bat");
}

TEST_F(ManagementTest, BatchFilesGetOneArgumentPerFolderAndCodeWithTheirCase) {
  // Folders with blanks, quotes and shell signs stay single arguments and run nothing.
  const std::string src = Dir() + "/Compta \"2026\" & $(touch PWNED)/";
  const std::string dst = Dir() + "/Nouveau; Dossier|x/";
  Touch(src + "c10ab.dbf");
  fs::create_directories(dst);
  using A = DossierAction;
  const struct Case {
    const char* batch;
    DossierChoice choice;
    std::vector<std::string> args;
  } cases[] = {
      {"cwcopy.bat", {A::Copier, "AB", src, "NEW", dst}, {src, "AB", dst, "NEW"}},
      {"cwren.bat", {A::Renommer, "AB", src, "NEW", src}, {src, "AB", "NEW"}},
      {"cwdos.bat", {A::Rechercher, "", "", "", ""}, {""}},
  };
  for (const Case& c : cases) {
    const std::string out = RecordingBatch(c.batch);
    launched_.clear();
    DossierChoice choice = c.choice;
    const DossierCheck check = RunDossierChoice(choice);
    ASSERT_TRUE(check.ok) << c.batch << ": " << check.message;
    ASSERT_EQ(launched_.size(), 1u);
    EXPECT_EQ(launched_[0][1], ProgramFolder + c.batch);  // run by /bin/sh
    std::vector<std::string> expected = c.args;
    expected.push_back("PWD=" + ProgramFolder.substr(0, ProgramFolder.size() - 1));
    EXPECT_EQ(FileLines(out), expected) << c.batch;
  }
  EXPECT_FALSE(fs::exists(ProgramFolder + "PWNED"));
  EXPECT_FALSE(fs::exists(Dir() + "/PWNED"));
}

// The dialog, as the command runs it: the source chosen in the file dialog, the new code
// typed, the destination folder chosen, OK starts the copy.
TEST_F(ManagementTest, DialogCopiesTheChosenDossier) {
  const std::string src = Dir() + "/Mes Dossiers/";
  const std::string dst = Dir() + "/Copies/";
  Touch(src + "C10ABC.DBF");
  fs::create_directories(dst);
  const std::string out = RecordingBatch("cwcopy.bat");
  std::string warning, sourceCode, sourceFolder, destFolder;

  gui::ModalSeam::QueueDialogAnswer(gui::IDCANCEL, [&](gui::Window& w) {
    test_support::Screenshot(w.Widget(), "dossier", "management");
    auto& d = static_cast<TDUtiGestionDossiers&>(w);
    EXPECT_EQ(d.Action(), DossierAction::Copier);  // opens in the Copier layout
    EXPECT_EQ(d.GetCheck(1204), gui::BST_CHECKED);
    gui::ModalSeam::QueueFileAnswer(src + "C10ABC.DBF");
    d.PressButton(1209);
    sourceCode = d.GetItemText(1208);
    sourceFolder = d.GetItemText(1211);
    destFolder = d.GetItemText(1216);
    d.SetItemText(1214, "NEW");
    gui::ModalSeam::QueueFolderAnswer(dst);
    d.PressButton(1213);
    d.PressButton(1);
    warning = d.GetItemText(1217);
    EXPECT_FALSE(d.IsEnded());  // OK never closes the dialog
  });
  CmGestionDossiers();
  EXPECT_EQ(sourceCode, "ABC");
  EXPECT_EQ(sourceFolder, src);
  EXPECT_EQ(destFolder, src);
  EXPECT_EQ(warning, "");
  ASSERT_EQ(launched_.size(), 1u);
  EXPECT_EQ(launched_[0], (std::vector<std::string>{"/bin/sh", ProgramFolder + "cwcopy.bat", src, "ABC", dst, "NEW"}));
  EXPECT_EQ(FileLines(out).size(), 5u);
}

// The shipped batch files, run as the dialog runs them, on a real dossier.
TEST_F(ManagementTest, SampleBatchFilesCopyRenameMoveAndDeleteADossier) {
  for (const char* b : {"cwcopy.bat", "cwren.bat", "cwdepl.bat", "cwdel.bat", "cwdos.bat"})
    ASSERT_TRUE(platform::CopyFile(std::string(MERLON_SOURCE_DIR) + "/src/resources/files/" + b, ProgramFolder + b)) << b;
  const std::string a = Dir() + "/Dossiers A/", b = Dir() + "/Dossiers B/";
  std::string message;
  ASSERT_TRUE(CreateDossier(a, "AB", "Essai", Ymd{2026, 1, 1}, Ymd{2026, 12, 31}, &message)) << message;
  ASSERT_TRUE(CreateDossier(a, "ABC", "Voisin", Ymd{2026, 1, 1}, Ymd{2026, 12, 31}, &message)) << message;
  auto files = [](const std::string& folder) {
    std::vector<std::string> names;
    if (!fs::exists(folder)) return names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  };
  const std::vector<std::string> before = files(a);

  auto run = [&](DossierChoice c) {
    const DossierCheck check = RunDossierChoice(c);
    EXPECT_TRUE(check.ok) << check.message;
  };
  run({DossierAction::Copier, "AB", a, "XY", b});
  EXPECT_TRUE(DossierFilesExist(b, "XY"));
  EXPECT_EQ(files(a), before);

  run({DossierAction::Renommer, "XY", b, "ZZ", b});
  EXPECT_FALSE(DossierFilesExist(b, "XY"));
  EXPECT_TRUE(fs::exists(b + "czz_____.dbf"));  // its lock table renamed too

  run({DossierAction::Deplacer, "ZZ", b, "", a});
  EXPECT_TRUE(DossierFilesExist(a, "ZZ"));
  EXPECT_TRUE(files(b).empty());

  run({DossierAction::Rechercher, "", Dir() + "/", "", ""});
  const std::string found = ReadFile(ProgramFolder + "cdos.txt");
  for (const char* code : {" AB\n", " ABC\n", " ZZ\n"}) EXPECT_NE(found.find(a + code), std::string::npos) << found;

  run({DossierAction::Annuler, "ZZ", a, "", ""});
  EXPECT_EQ(files(a), before);  // dossier ABC, whose code begins like AB's, is untouched
}

// Another process has the dossier open (its lock table held shared, as every opening does):
// deleting, moving or renaming it is refused with the exclusive-open message and leaves its
// files.
TEST_F(ManagementTest, DossierOpenInAnotherProcessIsNeitherDeletedMovedNorRenamed) {
  for (const char* b : {"cwdel.bat", "cwren.bat", "cwdepl.bat"})
    ASSERT_TRUE(platform::CopyFile(std::string(MERLON_SOURCE_DIR) + "/src/resources/files/" + b, ProgramFolder + b));
  const std::string a = Dir() + "/A/", b = Dir() + "/B/";
  fs::create_directories(b);
  OtherStation other(DossierTablePathOf(a, "AB"));
  std::string message;
  ASSERT_TRUE(CreateDossier(a, "AB", "Essai", Ymd{2026, 1, 1}, Ymd{2026, 12, 31}, &message)) << message;
  ASSERT_TRUE(other.Do('o'));
  for (DossierChoice c : {DossierChoice{DossierAction::Annuler, "AB", a, "", ""},
                          DossierChoice{DossierAction::Deplacer, "AB", a, "", b},
                          DossierChoice{DossierAction::Renommer, "AB", a, "XY", ""}}) {
    const DossierCheck check = RunDossierChoice(c);
    EXPECT_FALSE(check.ok);
    EXPECT_NE(check.message.find("IMPOSSIBLE d'ouvrir le dossier en cours de mani\xE8re EXCLUSIVE"),
              std::string::npos) << check.message;
    EXPECT_TRUE(DossierFilesExist(a, "AB"));
  }
  ASSERT_TRUE(other.Do('c'));
}

}  // namespace
}  // namespace dossier_test
