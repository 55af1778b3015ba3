// Restore: the choice by exact backup names, real tar and copy round trips
// that give the dossier back byte for byte, the station's log kept out of
// the restore, and the cancelled restore that changes nothing.
#include "backup_test_support.h"
#include "dossier/backup_chooser.h"

namespace backup_test {
namespace {

using gui::ModalKind;
using gui::ModalSeam;

class RestoreTest : public DossierFixture {
 protected:
  // The dossier's own files (lock table and log aside).
  std::map<std::string, std::string> DossierData() {
    auto files = FolderFiles(folder_);
    for (auto it = files.begin(); it != files.end();) {
      const std::string& n = it->first;
      if (n.rfind("clg", 0) == 0 || n.rfind("c_lg", 0) == 0 || n.rfind("cab_", 0) == 0) it = files.erase(it);
      else ++it;
    }
    return files;
  }
  // Spoils the dossier after the backup: one file changed, one removed.
  void Spoil() {
    WriteText(folder_ + "c20ab.dbf", "spoilt");
    std::filesystem::remove(platform::DiskPath(folder_ + "c70ab.dbf"));
  }
};

TEST_F(RestoreTest, ChooserComesBackUntilABackupOfThisDossier) {
  SetDossier("/data/x/", "AB");
  ModalSeam::QueueFileAnswer("/data/x/Sauvegarde-Nuv-MERLON/Dossier-AB/ZELABC.rar");
  ModalSeam::QueueFileAnswer("/data/x/Sauvegarde-Nuv-MERLON/Dossier-AB/1/ZELAB.rar");
  std::string path = "/data/x/%defaut%";
  ASSERT_TRUE(ChooseDossierBackup(nullptr, path, '8', "AB"));
  EXPECT_EQ(path, "/data/x/Sauvegarde-Nuv-MERLON/Dossier-AB/1/");
  EXPECT_EQ(gui::BeepCount(), 1);
  ASSERT_EQ(ModalSeam::Shown().size(), 2u);
  EXPECT_EQ(ModalSeam::Shown()[0].text, "/data/x/Sauvegarde-Nuv-MERLON/Dossier-AB");
  EXPECT_EQ(ModalSeam::Shown()[0].caption, "Choisissez la Sauvegarde \xE0 restaurer (zelAB.rar)");
  EXPECT_EQ(ModalSeam::Shown()[0].filter, "Sauvegardes Nuv-MERLON ZEL (8)|zelAB.rar|Tous les fichiers (*.*)|*.*|");

  // Method 7 keeps the archive itself; a closed dialog is a cancel.
  ModalSeam::Reset();
  ModalSeam::QueueFileAnswer("/b/ZELAB-20240307-09h0503.rar");
  path = "/b";
  ASSERT_TRUE(ChooseDossierBackup(nullptr, path, '7', "AB"));
  EXPECT_EQ(path, "/b/ZELAB-20240307-09h0503.rar");
  ModalSeam::QueueFileAnswer("");
  EXPECT_FALSE(ChooseDossierBackup(nullptr, path, '7', "AB"));
}

TEST_F(RestoreTest, TarMethodRoundTripGivesTheDossierBackByteForByte) {
  CreateAndOpen();
  SeedBatchFiles();
  IniSetString("LanceM?BACKUP", "9");
  const std::string target = root_ + "/sauve ' & \"x\"/";
  IniSetString("Un-Sauvegarde", target.c_str());
  WriteLog("avant sauvegarde");
  const auto saved = DossierData();
  ASSERT_GE(saved.size(), 10u);

  ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  BackupDossier_Work();
  ASSERT_EQ(lastExit_, 0);
  ASSERT_TRUE(std::filesystem::exists(target + "ZELAB.lzh"));

  Spoil();
  WriteLog("entre les deux");
  const std::string logBefore = ReadText(LogPath(".txt"));

  ModalSeam::Reset();
  ModalSeam::QueueFileAnswer(target + "ZELAB.lzh");
  ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  RestoreDossier_Work();
  ASSERT_EQ(launched_.size(), 2u);
  EXPECT_EQ(launched_[1][1], program_ + "CRESTA9.BAT");
  EXPECT_EQ(launched_[1].back(), target);
  EXPECT_EQ(lastExit_, 0);
  EXPECT_EQ(DossierData(), saved);

  // The station's log, not the backup's, plus one line; nothing left aside.
  const std::string log = ReadText(LogPath(".txt"));
  EXPECT_EQ(log.rfind(logBefore, 0), 0u);
  EXPECT_NE(log.find("Restauration '9' - ", logBefore.size()), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(platform::DiskPath(folder_ + "c_lgab.tmp")));
  // Shown: the chooser and the wait, no text describing the restore.
  ASSERT_EQ(ModalSeam::Shown().size(), 2u);
  EXPECT_EQ(ModalSeam::Shown()[1].text, LoadStr(2269));
  EXPECT_TRUE(UseStoredWorkingDate);
  EXPECT_EQ(reopened_, 2);
  EXPECT_TRUE(DossierLockTable->isOpen);
}

TEST_F(RestoreTest, CopyMethodRoundTrip) {
  CreateAndOpen();
  SeedBatchFiles();
  IniSetString("LanceM?BACKUP", "W");
  IniSetString("Un-Sauvegarde", (root_ + "/copies/").c_str());
  const auto saved = DossierData();
  ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  BackupDossier_Work();
  ASSERT_EQ(lastExit_, 0);
  ASSERT_TRUE(std::filesystem::exists(root_ + "/copies/c10ab-SauveW.dbf"));
  Spoil();

  ModalSeam::Reset();
  ModalSeam::QueueFileAnswer(root_ + "/copies/c10ab-SauveW.dbf");
  ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  RestoreDossier_Work();
  EXPECT_EQ(lastExit_, 0);
  EXPECT_EQ(DossierData(), saved);
}

TEST_F(RestoreTest, CancelledRestoreLeavesTheLogAsItWas) {
  CreateAndOpen();
  RecordingBatch("CRESTA8.BAT", root_ + "/r8.txt");
  IniSetString("LanceM?BACKUP", "8");
  WriteLog("ligne du poste");
  const std::string log = ReadText(LogPath(".txt"));
  ModalSeam::QueueFileAnswer("");
  RestoreDossier_Work();
  EXPECT_TRUE(launched_.empty());
  EXPECT_EQ(ReadText(LogPath(".txt")), log);
  EXPECT_FALSE(std::filesystem::exists(platform::DiskPath(folder_ + "c_lgab.tmp")));
  EXPECT_FALSE(UseStoredWorkingDate);
  EXPECT_EQ(reopened_, 1);

  // Method 7's question answered "Non" likewise.
  const std::string out = root_ + "/r7.txt";
  RecordingBatch("CRESTA7.BAT", out);
  IniSetString("LanceM?BACKUP", "7");
  ModalSeam::QueueFileAnswer(root_ + "/ZELAB-20240307-09h0503.rar");
  ModalSeam::QueueMessageBoxAnswer(gui::IDNO);
  RestoreDossier_Work();
  EXPECT_TRUE(launched_.empty());
  EXPECT_EQ(ReadText(LogPath(".txt")), log);
  const gui::ShownModal* q = ModalSeam::LastShown();
  EXPECT_NE(q->text.find("\"" + root_ + "/ZELAB-20240307-09h0503.rar\""), std::string::npos);
  EXPECT_NE(q->text.find("\"" + folder_ + "\""), std::string::npos);
}

TEST_F(RestoreTest, LogThatCannotBeSetAsideStopsTheRestore) {
  CreateAndOpen();
  IniSetString("LanceM?BACKUP", "8");
  // A restore that brings back the backup's log over the station's.
  WriteText(program_ + BackupBatchName('8', true),
            "#!/bin/sh\nprintf 'journal de la sauvegarde\\r\\n' > \"$1/clgab.txt\"\n");
  WriteLog("ligne du poste");
  const std::string log = ReadText(LogPath(".txt"));
  // The set-aside name is taken by a folder: the log cannot go there.
  std::filesystem::create_directory(platform::DiskPath(folder_ + "c_lgab.tmp"));
  ModalSeam::QueueFileAnswer(root_ + "/s/ZELAB.rar");
  ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  RestoreDossier_Work();
  EXPECT_TRUE(launched_.empty());
  EXPECT_EQ(ReadText(LogPath(".txt")), log);
  EXPECT_FALSE(UseStoredWorkingDate);
  EXPECT_EQ(reopened_, 1);
}

TEST_F(RestoreTest, OlderSetAsideLogIsKeptAndNeverLost) {
  CreateAndOpen();
  WriteLog("courant");
  const std::string current = ReadText(LogPath(".txt"));
  WriteText(folder_ + "c_lgab.tmp", "ancien journal\r\n");

  ASSERT_TRUE(SetLogAside());
  EXPECT_FALSE(std::filesystem::exists(LogPath(".txt")));
  EXPECT_EQ(ReadText(folder_ + "c_lgab.tmp"), "ancien journal\r\n" + current);

  // Put back without dropping: a log written meanwhile follows.
  WriteText(folder_ + "clgab.txt", "pendant\r\n");
  ASSERT_TRUE(PutLogBack(false));
  EXPECT_EQ(ReadText(LogPath(".txt")), "ancien journal\r\n" + current + "pendant\r\n");
  EXPECT_FALSE(std::filesystem::exists(platform::DiskPath(folder_ + "c_lgab.tmp")));

  // Dropping: the restored log gives way, in one rename.
  ASSERT_TRUE(SetLogAside());
  WriteText(folder_ + "CLGAB.TXT", "journal de la sauvegarde\r\n");
  ASSERT_TRUE(PutLogBack(true));
  EXPECT_EQ(ReadText(LogPath(".txt")), "ancien journal\r\n" + current + "pendant\r\n");
  EXPECT_EQ(FolderFiles(folder_).count("clgab.txt") + FolderFiles(folder_).count("CLGAB.TXT"), 1u);
}

TEST_F(RestoreTest, RecordedArgumentsPerMethod) {
  CreateAndOpen();
  const std::string out = root_ + "/r.txt";
  RecordingBatch("CRESTA7.BAT", out);
  RecordingBatch("CRESTA8.BAT", out);
  const std::string archive = root_ + "/b/ZELAB-20240307-09h0503.rar";
  std::filesystem::create_directories(root_ + "/b");
  WriteText(archive, "x");

  // Method 7: the archive's full path.
  IniSetString("LanceM?BACKUP", "7");
  ModalSeam::QueueFileAnswer(archive);
  ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  RestoreDossier_Work();
  EXPECT_EQ(dossier_test::FileLines(out), (std::vector<std::string>{platform::DiskPath(folder_), "AB", archive, "NUVSAUVE=" + std::string(getenv("NUVSAUVE") ? getenv("NUVSAUVE") : "")}));

  // Method 8: its folder only; no question before it starts.
  IniSetString("LanceM?BACKUP", "8");
  ModalSeam::Reset();
  ModalSeam::QueueFileAnswer(root_ + "/b/ZELAB.rar");
  ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  RestoreDossier_Work();
  EXPECT_EQ(dossier_test::FileLines(out)[2], root_ + "/b/");
  EXPECT_EQ(CountShown(ModalKind::MessageBox), 1);

  // Method P with a blank line: nothing starts, the wait still runs, the
  // stored working date is taken.
  IniSetString("LanceM?BACKUP", "P");
  UseStoredWorkingDate = false;
  ModalSeam::Reset();
  launched_.clear();
  ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  RestoreDossier_Work();
  EXPECT_TRUE(launched_.empty());
  EXPECT_EQ(CountShown(ModalKind::MessageBox), 1);
  EXPECT_TRUE(UseStoredWorkingDate);
}

}  // namespace
}  // namespace backup_test
