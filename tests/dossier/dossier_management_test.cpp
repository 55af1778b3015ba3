// Dossier management: the chosen dossier file read with its case kept, the checks of OK
// with their messages, the batch files started with one argument per folder and code (a
// batch file that records them), a launch that fails said in the dialog, and the sample
// batch files that really copy, rename, move and delete a dossier.
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/gui_test.h"
#include "dossier/dossier_create.h"
#include "dossier/dossier_management.h"
#include "data/dossier_files.h"
#include "data/dossier_lock.h"
#include "support/other_process.h"
#include "modal_session_test.h"
#include "platform/gui/application.h"
#include "platform/gui/constants.h"
#include "platform/gui/controls.h"
#include "platform/gui/modal_seam.h"
#include "platform/system/files.h"
#include "shell/mdi_client.h"
#include "shell/utility_commands.h"

namespace dossier_test {
namespace {

namespace fs = std::filesystem;

class ManagementTest : public ModalSessionTest {
 protected:
  void SetUp() override {
    ModalSessionTest::SetUp();
    if (HasFatalFailure()) return;
    DossierSlots[0].clear();
    SetProgramOption(1, ' ');
    SetProgramOption(2, ' ');
    launched_.clear();
    // Batch files run to their end, so a test reads what they did at once.
    SetProcessLauncher([this](const std::vector<std::string>& argv, const platform::LaunchOptions& o) {
      launched_.push_back(argv);
      platform::LaunchOptions waiting = o;
      waiting.wait = true;
      std::vector<std::string> run = argv;
      if (!interpreter_.empty()) run[0] = interpreter_;
      return platform::LaunchProcess(run, waiting);
    });
  }
  void TearDown() override {
    SetProcessLauncher({});
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

  std::vector<std::vector<std::string>> launched_;
  std::string interpreter_;
};

TEST_F(ManagementTest, ChosenFileGivesItsFolderWithItsCaseAndItsCode) {
  struct Case {
    const char* path;
    bool accepted;
    const char* folder;
    const char* code;
  } cases[] = {
      {"/home/Anne/Compta 2026/C10ABC.DBF", true, "/home/Anne/Compta 2026/", "ABC"},
      {"/data/MixedCase/c10demo.dbf", true, "/data/MixedCase/", "DEMO"},
      {"/data/c10abcdefg.dbf", true, "/data/", "ABCDE"},
      {"/data/Notes/readme.txt", true, "/data/Notes/", ""},
      {"/data/c10_AB.dbf", false, "", ""},
  };
  for (const Case& c : cases) {
    std::string folder = "unchanged", code = "unchanged";
    EXPECT_EQ(ParseChosenDossierFile(c.path, &folder, &code), c.accepted) << c.path;
    if (!c.accepted) {
      EXPECT_EQ(code, "unchanged");
      continue;
    }
    EXPECT_EQ(folder, c.folder) << c.path;
    EXPECT_EQ(code, c.code) << c.path;
  }
  std::string folder, code;
  EXPECT_TRUE(ParseChosenDossierFile("/data/c10_AB.dbf", &folder, &code, false));
  EXPECT_EQ(code, "_AB");
}

TEST_F(ManagementTest, ChecksRefuseWithTheirMessages) {
  const std::string src = Dir() + "/Src/", dst = Dir() + "/Dst/";
  Touch(src + "c10ab.dbf");
  Touch(dst + "c10xy.dbf");
  Touch(src + "c10old.dbf");
  for (const char* b : {"cwcopy.bat", "cwdepl.bat", "cwdel.bat", "cwren.bat", "cwdos.bat"}) Touch(ProgramFolder + b);
  const std::string source = "Le dossier source n'existe pas";
  const std::string exists = "Le dossier destination existe d\xE9j\xE0";
  const std::string open = "ATTENTION: ce dossier est actuellement ouvert";
  const std::string badCode = "Le code du dossier destination est incorrect";
  const std::string noFolder = "Le chemin du dossier destination est vide";
  struct Case {
    DossierAction action;
    const char *srcCode, *dstCode;
    std::string srcFolder, dstFolder;
    std::string message;  // "" = accepted
  } cases[] = {
      {DossierAction::Copier, "AB", "NEW", src, dst, ""},
      {DossierAction::Copier, "ZZ", "NEW", src, dst, source},
      {DossierAction::Copier, "", "NEW", src, dst, source},
      {DossierAction::Copier, "AB", "XY", src, dst, exists},
      {DossierAction::Copier, "AB", "xy", src, dst, badCode},
      {DossierAction::Copier, "AB", "A B", src, dst, badCode},
      {DossierAction::Copier, "AB", "A.B", src, dst, badCode},
      {DossierAction::Copier, "AB", "", src, dst, badCode},
      {DossierAction::Copier, "AB", "A-9", src, "", noFolder},
      {DossierAction::Copier, "AB", "OPEN", src, Dir() + "/Open/", open},
      {DossierAction::Deplacer, "AB", "", src, dst, ""},
      {DossierAction::Deplacer, "AB", "", src, src, exists},
      {DossierAction::Annuler, "AB", "", src, "", ""},
      {DossierAction::Annuler, "OPEN", "", Dir() + "/Open/", "", open},
      {DossierAction::Annuler, "QQ", "", src, "", source},
      {DossierAction::Renommer, "AB", "NEW", src, src, ""},
      {DossierAction::Renommer, "AB", "OLD", src, src, exists},
      {DossierAction::Renommer, "AB", "n w", src, src, badCode},
      {DossierAction::Rechercher, "", "", Dir() + "/", "", ""},
  };
  Touch(Dir() + "/Open/c10open.dbf");
  DossierSlots[0] = "OPEN " + Dir() + "/Open/";
  for (const Case& c : cases) {
    DossierChoice choice{c.action, c.srcCode, c.srcFolder, c.dstCode, c.dstFolder};
    const DossierCheck check = CheckDossierChoice(choice);
    EXPECT_EQ(check.ok, c.message.empty()) << static_cast<int>(c.action) << " " << c.srcCode << " " << c.dstCode;
    EXPECT_EQ(check.message, c.message) << static_cast<int>(c.action) << " " << c.srcCode << " " << c.dstCode;
    if (c.action == DossierAction::Deplacer) {
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
  struct Case {
    DossierAction action;
    const char* batch;
    DossierChoice choice;
    std::vector<std::string> args;
  } cases[] = {
      {DossierAction::Copier, "cwcopy.bat", {DossierAction::Copier, "AB", src, "NEW", dst}, {src, "AB", dst, "NEW"}},
      {DossierAction::Deplacer, "cwdepl.bat", {DossierAction::Deplacer, "AB", src, "", dst}, {src, "AB", dst, "AB"}},
      {DossierAction::Annuler, "cwdel.bat", {DossierAction::Annuler, "AB", src, "", ""}, {src, "AB"}},
      {DossierAction::Renommer, "cwren.bat", {DossierAction::Renommer, "AB", src, "NEW", src}, {src, "AB", "NEW"}},
      {DossierAction::Rechercher, "cwdos.bat", {DossierAction::Rechercher, "", "", "", ""}, {""}},
  };
  for (Case& c : cases) {
    const std::string out = RecordingBatch(c.batch);
    launched_.clear();
    const DossierCheck check = RunDossierChoice(c.choice);
    ASSERT_TRUE(check.ok) << c.batch << ": " << check.message;
    ASSERT_EQ(launched_.size(), 1u);
    EXPECT_EQ(launched_[0][0], "/bin/sh");
    EXPECT_EQ(launched_[0][1], ProgramFolder + c.batch);
    std::vector<std::string> expected = c.args;
    expected.push_back("PWD=" + ProgramFolder.substr(0, ProgramFolder.size() - 1));
    EXPECT_EQ(FileLines(out), expected) << c.batch;
  }
  EXPECT_FALSE(fs::exists(ProgramFolder + "PWNED"));
  EXPECT_FALSE(fs::exists(Dir() + "/PWNED"));
}

TEST_F(ManagementTest, LaunchThatFailsIsSaid) {
  const std::string src = Dir() + "/Src/";
  Touch(src + "c10ab.dbf");
  Touch(ProgramFolder + "cwdel.bat");
  interpreter_ = Dir() + "/no-such-shell";
  DossierChoice choice{DossierAction::Annuler, "AB", src, "", ""};
  const DossierCheck check = RunDossierChoice(choice);
  EXPECT_FALSE(check.ok);
  EXPECT_EQ(check.message.rfind("ATTENTION: lancement impossible: cwdel.bat (", 0), 0u) << check.message;
  EXPECT_TRUE(fs::exists(src + "c10ab.dbf"));
}

// The dialog, as the command runs it: the source chosen in the file dialog, the new code
// typed, the destination folder chosen, OK starts the copy; a refusal is said in 1217.
TEST_F(ManagementTest, DialogCopiesTheChosenDossierAndSaysRefusals) {
  const std::string src = Dir() + "/Mes Dossiers/";
  const std::string dst = Dir() + "/Copies/";
  Touch(src + "C10ABC.DBF");
  fs::create_directories(dst);
  const std::string out = RecordingBatch("cwcopy.bat");
  std::string warning, sourceCode, sourceFolder, destFolder, refusal, moveCode;

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
    // An invalid code first: refused in 1217, nothing started.
    d.SetItemText(1214, "new");
    d.PressButton(1);
    refusal = d.GetItemText(1217);
    d.SetItemText(1214, "NEW");
    gui::ModalSeam::QueueFolderAnswer(dst);
    d.PressButton(1213);
    d.PressButton(1);
    warning = d.GetItemText(1217);
    // Moving: the destination code becomes the source code.
    d.SetCheck(1204, gui::BST_UNCHECKED);
    d.SetCheck(1203, gui::BST_CHECKED);
    d.PressButton(1203);
    gui::ModalSeam::QueueFileAnswer(src + "C10ABC.DBF");
    d.PressButton(1209);
    gui::ModalSeam::QueueFolderAnswer(dst);
    d.PressButton(1213);
    RecordingBatch("cwdepl.bat");
    d.PressButton(1);
    moveCode = d.GetItemText(1214);
    EXPECT_FALSE(d.IsEnded());  // OK never closes the dialog
  });
  CmGestionDossiers_Work();
  EXPECT_EQ(sourceCode, "ABC");
  EXPECT_EQ(sourceFolder, src);
  EXPECT_EQ(destFolder, src);
  EXPECT_EQ(refusal, "Le code du dossier destination est incorrect");
  EXPECT_EQ(warning, "");
  EXPECT_EQ(moveCode, "ABC");
  ASSERT_EQ(launched_.size(), 2u);
  EXPECT_EQ(launched_[0], (std::vector<std::string>{"/bin/sh", ProgramFolder + "cwcopy.bat", src, "ABC", dst, "NEW"}));
  EXPECT_EQ(launched_[1], (std::vector<std::string>{"/bin/sh", ProgramFolder + "cwdepl.bat", src, "ABC", dst, "ABC"}));
  EXPECT_EQ(FileLines(out).size(), 5u);
  const gui::ShownModal* file = nullptr;
  for (const auto& s : gui::ModalSeam::Shown())
    if (s.kind == gui::ModalKind::FileOpen) file = &s;
  ASSERT_NE(file, nullptr);
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
  // The copy opens as a dossier of its own.
  Table t;
  EXPECT_TRUE(t.OpenTable(b + "c20xy"));
  t.CloseTable(true);

  run({DossierAction::Renommer, "XY", b, "ZZ", b});
  EXPECT_FALSE(DossierFilesExist(b, "XY"));
  EXPECT_TRUE(DossierFilesExist(b, "ZZ"));
  EXPECT_TRUE(fs::exists(b + "czz_____.dbf"));

  run({DossierAction::Deplacer, "ZZ", b, "", a});
  EXPECT_TRUE(DossierFilesExist(a, "ZZ"));
  EXPECT_TRUE(files(b).empty());

  run({DossierAction::Rechercher, "", Dir() + "/", "", ""});
  const std::string found = ReadFile(ProgramFolder + "cdos.txt");
  EXPECT_NE(found.find(a + " AB\n"), std::string::npos) << found;
  EXPECT_NE(found.find(a + " ABC\n"), std::string::npos) << found;
  EXPECT_NE(found.find(a + " ZZ\n"), std::string::npos) << found;

  run({DossierAction::Annuler, "ZZ", a, "", ""});
  EXPECT_EQ(files(a), before);  // dossier ABC, whose code begins like AB's, is untouched
}

}  // namespace
}  // namespace dossier_test

namespace dossier_test {
namespace {

// Another process has the dossier open (its lock table held shared, as every opening does):
// deleting, moving or renaming it is refused with the exclusive-open message and leaves its
// files; once that process lets go, the deletion runs.
TEST_F(ManagementTest, DossierOpenInAnotherProcessIsNeitherDeletedMovedNorRenamed) {
  for (const char* b : {"cwdel.bat", "cwren.bat", "cwdepl.bat"})
    ASSERT_TRUE(platform::CopyFile(std::string(MERLON_SOURCE_DIR) + "/src/resources/files/" + b, ProgramFolder + b));
  const std::string a = Dir() + "/A/", b = Dir() + "/B/";
  fs::create_directories(b);
  Table held;
  test_support::OtherProcess other([&](char c) {
    if (c == 'o') return held.OpenTable(DossierTablePathOf(a, "AB"));
    return held.CloseTable(true);
  });
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
  DossierChoice remove{DossierAction::Annuler, "AB", a, "", ""};
  EXPECT_TRUE(RunDossierChoice(remove).ok);
  EXPECT_FALSE(DossierFilesExist(a, "AB"));
}

}  // namespace
}  // namespace dossier_test
