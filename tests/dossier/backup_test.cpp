// Backup: the method read from the INI, the arguments each method gives its
// program (never command text), real runs of recording and tar batch files,
// the method 7 confirmation, and the refusal while another station has the
// dossier open.
#include "dossier_window_test.h"
#include "dossier/backup_settings.h"

namespace backup_test {
namespace {

using gui::ModalKind;
using gui::ModalSeam;

class BackupTest : public DossierFixture {};

// Unknown or blank: the tar method, which needs no other program.
TEST_F(BackupTest, MethodLetterFromTheIni) {
  for (const auto& [value, method] : {std::pair<const char*, char>{"", '9'}, {"x", '9'}, {"w", 'W'}, {"7", '7'}}) {
    IniSetString("LanceM?BACKUP", value);
    EXPECT_EQ(ReadBackupMethod(), method) << '"' << value << '"';
  }
}

TEST_F(BackupTest, BatchMethodArgumentsAndUnits) {
  SetDossier("/data/Compta d'\xE9t\xE9/", "AB");
  const std::string stamp = BackupStamp();
  ASSERT_EQ(stamp, "20240307-09h0503");
  ExternalCommand c;
  auto Req = [&](char method) { return BackupRequest{method, stamp, "", "", ""}; };

  // (The default target and NUVSAUVE reach the recording batch files of the command tests.)
  // Units with placeholders (capitals too) and characters a shell would run.
  IniSetString("Un-Sauvegarde", "/mnt/a\"b&c|d%e/%CODE%/%jour%");
  IniSetString("Un2Sauvegarde", "/mnt/second/%dateheure%");
  ASSERT_TRUE(BuildBackupCommand(Req('w'), c));
  ASSERT_EQ(c.argv.size(), 6u);
  EXPECT_EQ(c.argv[4], "/mnt/a\"b&c|d%e/AB/JEUDI/");
  EXPECT_EQ(c.argv[5], "/mnt/second/20240307-09h0503/");

  // Z: the folder in its own case, the pattern as one argument.
  IniSetString("Un-Sauvegarde", "b");
  IniSetString("WinzipCommand", "/opt/winzip/wz");
  ASSERT_TRUE(BuildBackupCommand(Req('Z'), c));
  EXPECT_EQ(c.argv, (std::vector<std::string>{"/opt/winzip/wz", "-a", "b:ZELAB",
                                              "/data/Compta d'\xE9t\xE9/C??AB.*"}));
  // P with a blank line starts nothing.
  EXPECT_FALSE(BuildBackupCommand(Req('P'), c));
  EXPECT_TRUE(c.argv.empty());
}

TEST_F(BackupTest, ProcedureLineIsSplitBeforeItsPlaceholdersAndGlobbedHere) {
  CreateAndOpen();
  WriteText(folder_ + "notes.txt", "not a dossier file");
  WriteText(folder_ + "C10ABX.dbf", "another dossier");
  const std::string line = "cp -p \"%chemin%/%dossier%\" '/mnt/sauve %code%/' x%CODE%y";
  std::vector<std::string> argv = ProcedureArguments(line, DossierFolder, DossierCode);
  ASSERT_GE(argv.size(), 6u);
  EXPECT_EQ(argv[0], "cp");
  EXPECT_EQ(argv[1], "-p");
  std::vector<std::string> files(argv.begin() + 2, argv.end() - 3);
  for (const std::string& f : files) {
    EXPECT_EQ(f.rfind(folder_, 0), 0u) << f;  // "%chemin%/" with the apostrophe folder
    const std::string name = f.substr(folder_.size());
    EXPECT_EQ(name.substr(3, 3), "ab.") << name;
  }
  EXPECT_NE(std::find(files.begin(), files.end(), folder_ + "c10ab.dbf"), files.end());
  EXPECT_EQ(std::find(files.begin(), files.end(), folder_ + "C10ABX.dbf"), files.end());
  // An apostrophe is an ordinary character: no grouping by single quotes.
  EXPECT_EQ(*(argv.end() - 3), "'/mnt/sauve");
  EXPECT_EQ(*(argv.end() - 2), "AB/'");
  EXPECT_EQ(argv.back(), "xABy");

  // No matching file: the pattern stays as typed (expanded).
  SetDossier(root_ + "/empty/", "ZZ");
  std::filesystem::create_directories(root_ + "/empty");
  argv = ProcedureArguments("ls %dossier%", DossierFolder, DossierCode);
  ASSERT_EQ(argv.size(), 2u);
  EXPECT_EQ(argv[1], DossierFilePattern("ZZ"));
}

TEST_F(BackupTest, BatchFileReceivesEachValueAsOneArgument) {
  CreateAndOpen();
  const std::string out = root_ + "/args.txt";
  RecordingBatch("CSAUVE8.BAT", out);
  IniSetString("LanceM?BACKUP", "8");
  IniSetString("Un-Sauvegarde", (root_ + "/u1 \"$(touch " + root_ + "/pwned)\" & | %PATH%").c_str());
  ModalSeam::QueueMessageBoxAnswer(gui::IDNO);  // "Non" does not end the wait
  ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  BackupDossier_Work();

  ASSERT_EQ(launched_.size(), 1u);
  EXPECT_EQ(lastExit_, 0);
  EXPECT_EQ(dossier_test::FileLines(out), (std::vector<std::string>{
                            platform::DiskPath(folder_), "AB", root_ + "/u1 \"$(touch " + root_ + "/pwned)\" & | %PATH%/",
                            "NUVSAUVE=Sauvegarde-Nuv-MERLON/Dossier-AB/20240307-09h0503/"}));
  EXPECT_FALSE(std::filesystem::exists(root_ + "/pwned"));
  EXPECT_EQ(CountShown(ModalKind::MessageBox), 2);
  EXPECT_EQ(ModalSeam::LastShown()->defaultButton, gui::IDNO);
  // Logged, given back to shared use and reopened.
  const std::string log = ReadText(LogPath(".txt"));
  EXPECT_NE(log.find("Sauvegarde '8' - " + program_ + "CSAUVE8.BAT"), std::string::npos) << log;
  EXPECT_EQ(reopened_, 1);
  EXPECT_EQ(GetDossierState(), ' ');
  EXPECT_TRUE(DossierLockTable->isOpen);
  EXPECT_EQ(DossierLockTable->shareMode, 0u);
}

// The methods that write Windows programs or RAR archives are refused by
// name, before the dossier is taken, unless a batch file was put in place.
TEST_F(BackupTest, MethodsWithoutABatchFileHereAreRefusedByName) {
  CreateAndOpen();
  for (const char* method : {"0", "2", "7", "8", "R"}) {
    for (bool restore : {false, true}) {
      SCOPED_TRACE(std::string(method) + (restore ? " restore" : " backup"));
      ModalSeam::Reset();
      IniSetString("LanceM?BACKUP", method);
      restore ? RestoreDossier_Work() : BackupDossier_Work();
      EXPECT_TRUE(launched_.empty());
      EXPECT_EQ(reopened_, 0);
      ASSERT_EQ(ModalSeam::Shown().size(), 1u);
      EXPECT_NE(ModalSeam::Shown()[0].text.find(std::string("thode de sauvegarde '") + method + "'"),
                std::string::npos);
    }
  }
}

// A batch file that ends in error: the end question says so, with its exit
// status and the command logged, and the log says "Erreur".
TEST_F(BackupTest, FailingBatchFileIsToldInTheEndQuestion) {
  CreateAndOpen();
  WriteText(program_ + "CSAUVE9.BAT", "#!/bin/sh\necho 'disque plein' >&2\nexit 4\n");
  IniSetString("LanceM?BACKUP", "9");
  ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  BackupDossier_Work();
  ASSERT_EQ(lastExit_, 4);
  const std::string question = ModalSeam::LastShown()->text;
  EXPECT_NE(question.find("a \xE9" "chou\xE9: le programme s'est termin\xE9 avec le code 4"), std::string::npos);
  EXPECT_NE(question.find("Sauvegarde '9' - " + program_ + "CSAUVE9.BAT"), std::string::npos);
  EXPECT_NE(question.find(LoadStr(2268)), std::string::npos);
  EXPECT_NE(ReadText(LogPath(".txt")).find("Sauvegarde '9' - Erreur 4"), std::string::npos);
}

TEST_F(BackupTest, Method7ConfirmationCancelledOrConfirmed) {
  CreateAndOpen();
  const std::string out = root_ + "/args7.txt";
  RecordingBatch("CSAUVE7.BAT", out);
  IniSetString("LanceM?BACKUP", "7");
  IniSetString("Un2Sauvegarde", "/mnt/deux");
  const std::string copy = folder_ + "cinab.ini";

  // "Non": nothing started, logged or copied; the dossier reopened at once.
  ModalSeam::QueueDialogAnswer(gui::IDCANCEL);
  BackupDossier_Work();
  EXPECT_TRUE(launched_.empty());
  EXPECT_FALSE(std::filesystem::exists(platform::DiskPath(copy)));
  EXPECT_EQ(ReadText(LogPath(".txt")).find("Sauvegarde '7'"), std::string::npos);
  EXPECT_EQ(reopened_, 1);
  ASSERT_EQ(ModalSeam::Shown().size(), 1u);
  EXPECT_EQ(ModalSeam::Shown()[0].resourceId, 1335);

  // "Oui" with a comment: the INI copied, the units passed.
  ModalSeam::Reset();
  ModalSeam::QueueDialogAnswer(gui::IDOK, [](gui::Window& w) {
    auto& d = static_cast<gui::Dialog&>(w);
    EXPECT_EQ(d.GetItemText(TDConfSauvegarde::kUnit2), "/mnt/deux");
    d.SetItemText(TDConfSauvegarde::kComment, "cloture");
  });
  ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  BackupDossier_Work();
  ASSERT_EQ(launched_.size(), 1u);
  EXPECT_TRUE(std::filesystem::exists(platform::DiskPath(copy)));
  EXPECT_EQ(dossier_test::FileLines(out), (std::vector<std::string>{
                            platform::DiskPath(folder_), "AB", platform::DiskPath(folder_) + "Sauvegarde-Nuv-MERLON/Dossier-AB/20240307-09h0503/",
                            "-20240307-09h0503-cloture", "/mnt/deux/Sauvegarde-Nuv-MERLON/Dossier-AB/20240307-09h0503/",
                            "-20240307-09h0503-cloture",
                            "NUVSAUVE=Sauvegarde-Nuv-MERLON/Dossier-AB/20240307-09h0503/"}));
}

TEST_F(BackupTest, DossierHeldByAnotherStationIsRefusedAndUnchanged) {
  std::string message;
  ASSERT_TRUE(CreateDossier(folder_, "AB", "SARL ARTHUR", Ymd{2024, 1, 1}, Ymd{2024, 12, 31}, &message));
  SetDossier(folder_, "AB");
  OtherStation other(DossierTablePath());
  OpenDossier(folder_, "AB");
  ASSERT_TRUE(other.Do('o'));
  SeedBatchFiles();
  IniSetString("LanceM?BACKUP", "9");
  const auto before = FolderFiles(folder_);

  BackupDossier_Work();
  RestoreDossier_Work();

  EXPECT_TRUE(launched_.empty());
  ASSERT_EQ(dossier_test::Boxes().size(), 2u);
  for (const std::string& box : dossier_test::Boxes()) EXPECT_NE(box.find(LoadStr(2259)), std::string::npos);
  EXPECT_TRUE(ModalSeam::Shown().empty());
  EXPECT_EQ(FolderFiles(folder_), before);
  EXPECT_EQ(GetDossierState(), ' ');
  EXPECT_EQ(reopened_, 0);
  EXPECT_TRUE(DossierLockTable->isOpen);  // shared again
  ASSERT_TRUE(other.Do('c'));
}

}  // namespace
}  // namespace backup_test
