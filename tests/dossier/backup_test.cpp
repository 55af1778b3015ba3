// Backup: the arguments a batch file gets (never command text), the methods
// refused by name, a failing batch file, and the refusal while another station
// has the dossier open.
#include "dossier_window_test.h"
#include "resources/string_table.h"

namespace backup_test {
namespace {

using gui::ModalKind;
using gui::ModalSeam;

// The texts looked for, by their ids in the string table.
constexpr int kMsgNotExclusive = 2259;
constexpr int kAskBackupEnded = 2268;

class BackupTest : public DossierFixture {};

TEST_F(BackupTest, BatchFileReceivesEachValueAsOneArgument) {
  CreateAndOpen();
  const std::string out = root_ + "/args.txt";
  RecordingBatch("CSAUVE8.BAT", out);
  IniSetString("LanceM?BACKUP", "8");
  IniSetString("Un-Sauvegarde", (root_ + "/u1 \"$(touch " + root_ + "/pwned)\" & | %PATH%").c_str());
  ModalSeam::QueueMessageBoxAnswer(gui::IDNO);  // "Non" does not end the wait
  ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  CmSauvegardeDossier();

  ASSERT_EQ(launched_.size(), 1u);
  EXPECT_EQ(lastExit_, 0);
  EXPECT_EQ(dossier_test::FileLines(out), (std::vector<std::string>{
                            platform::DiskPath(folder_), "AB", root_ + "/u1 \"$(touch " + root_ + "/pwned)\" & | %PATH%/",
                            "NUVSAUVE=Sauvegarde-Nuv-MERLON/Dossier-AB/20240307-09h0503/"}));
  EXPECT_FALSE(std::filesystem::exists(root_ + "/pwned"));
  ASSERT_EQ(ModalSeam::Shown().size(), 2u);
  for (const gui::ShownModal& s : ModalSeam::Shown()) EXPECT_EQ(s.kind, ModalKind::MessageBox);
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
  for (const char* method : {"0", "R"}) {
    for (bool restore : {false, true}) {
      SCOPED_TRACE(std::string(method) + (restore ? " restore" : " backup"));
      ModalSeam::Reset();
      IniSetString("LanceM?BACKUP", method);
      restore ? CmRestaurationDossier() : CmSauvegardeDossier();
      EXPECT_TRUE(launched_.empty());
      EXPECT_EQ(reopened_, 0);
      ASSERT_EQ(ModalSeam::Shown().size(), 1u);
      EXPECT_NE(ModalSeam::Shown()[0].text.find(std::string("thode de sauvegarde '") + method + "'"),
                std::string::npos);
    }
  }
}

// A batch file that ends in error: a box says so, with its exit status and the command logged, and asks
// nothing more (the batch file has ended: no end to confirm); the log says "Erreur".
TEST_F(BackupTest, FailingBatchFileIsToldAndNothingAsked) {
  CreateAndOpen();
  WriteText(program_ + "CSAUVE9.BAT", "#!/bin/sh\necho 'disque plein' >&2\nexit 4\n");
  IniSetString("LanceM?BACKUP", "9");
  ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
  CmSauvegardeDossier();
  ASSERT_EQ(lastExit_, 4);
  ASSERT_EQ(ModalSeam::Shown().size(), 1u);
  const gui::ShownModal& box = ModalSeam::Shown()[0];
  EXPECT_NE(box.text.find("a \xE9" "chou\xE9: le programme s'est termin\xE9 avec le code 4"), std::string::npos);
  EXPECT_NE(box.text.find("Sauvegarde '9' - " + program_ + "CSAUVE9.BAT"), std::string::npos);
  EXPECT_EQ(box.text.find(LoadStr(kAskBackupEnded)), std::string::npos);
  EXPECT_EQ(box.buttons, static_cast<unsigned>(gui::MB_OK));
  EXPECT_NE(ReadText(LogPath(".txt")).find("Sauvegarde '9' - Erreur 4"), std::string::npos);
  EXPECT_EQ(reopened_, 1);
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

  CmSauvegardeDossier();
  CmRestaurationDossier();

  EXPECT_TRUE(launched_.empty());
  ASSERT_EQ(dossier_test::Boxes().size(), 2u);
  for (const std::string& box : dossier_test::Boxes()) EXPECT_NE(box.find(LoadStr(kMsgNotExclusive)), std::string::npos);
  EXPECT_TRUE(ModalSeam::Shown().empty());
  EXPECT_EQ(FolderFiles(folder_), before);
  EXPECT_EQ(GetDossierState(), ' ');
  EXPECT_EQ(reopened_, 0);
  EXPECT_TRUE(DossierLockTable->isOpen);  // shared again
  ASSERT_TRUE(other.Do('c'));
}

}  // namespace
}  // namespace backup_test
