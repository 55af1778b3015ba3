// Restore: real tar and copy round trips that give the dossier back byte for
// byte, the station's log kept out of the restore and in place while it runs,
// and the stopped restore that changes nothing; the copy method writing nothing through a link left at
// its partial names; the default backup where "lha" is lhasa, which writes no archive.
#include "dossier_window_test.h"

namespace backup_test {
namespace {

using gui::ModalSeam;

class RestoreTest : public DossierFixture {
 protected:
  // The dossier's own files (lock table and log aside, and the journals of the index updates, which
  // go with the indexes a restore replaces).
  std::map<std::string, std::string> DossierData() {
    auto files = FolderFiles(folder_);
    std::erase_if(files, [](const auto& f) {
      return f.first.rfind("clg", 0) == 0 || f.first.rfind("c_lg", 0) == 0 || f.first.rfind("cab_", 0) == 0 ||
             f.first.find(".mdx.journal") != std::string::npos;
    });
    return files;
  }
};

// The sample batch files of the LHA and ZIP methods (into folders with quotes, an apostrophe and
// an ampersand) and of the copy method: backed up, spoilt, restored byte for byte.
TEST_F(RestoreTest, RoundTripsGiveTheDossierBackByteForByte) {
  CreateAndOpen();
  SeedBatchFiles();
  const struct Case {
    const char* method;
    std::string target, chosen;
  } cases[] = {{"9", root_ + "/sauve ' & \"x\"/", "ZELAB.lzh"},
               {"A", root_ + "/zip ' & \"a\"/", "ZELAB.ZIP"},
               {"Z", root_ + "/winzip/", "ZELAB.ZIP"},
               {"W", root_ + "/copies/", "c10ab-SauveW.dbf"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.method);
    IniSetString("LanceM?BACKUP", c.method);
    IniSetString("Un-Sauvegarde", c.target.c_str());
    WriteLog("avant sauvegarde");
    const auto saved = DossierData();
    ASSERT_GE(saved.size(), 10u);
    ModalSeam::Reset();
    launched_.clear();
    reopened_ = 0;
    ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
    CmSauvegardeDossier();
    ASSERT_EQ(lastExit_, 0);
    ASSERT_TRUE(std::filesystem::exists(c.target + c.chosen));

    // Spoilt after the backup: one file changed, one removed.
    WriteText(folder_ + "c20ab.dbf", "spoilt");
    std::filesystem::remove(platform::DiskPath(folder_ + "c70ab.dbf"));
    WriteLog("entre les deux");
    const std::string logBefore = ReadText(LogPath(".txt"));
    ModalSeam::Reset();
    ModalSeam::QueueFileAnswer(c.target + c.chosen);
    ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
    CmRestaurationDossier();
    ASSERT_EQ(launched_.size(), 2u);
    EXPECT_EQ(launched_[1][1], program_ + "CRESTA" + c.method + ".BAT");
    EXPECT_EQ(lastExit_, 0);
    EXPECT_EQ(DossierData(), saved);

    // The station's log, not the backup's, plus one line; nothing left aside.
    const std::string log = ReadText(LogPath(".txt"));
    EXPECT_EQ(log.rfind(logBefore, 0), 0u);
    EXPECT_NE(log.find(std::string("Restauration '") + c.method + "' - ", logBefore.size()), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(platform::DiskPath(folder_ + "c_lgab.tmp")));
    // Shown: the chooser, the wait and what was restored.
    ASSERT_EQ(ModalSeam::Shown().size(), 3u);
    EXPECT_NE(ModalSeam::Shown()[2].text.find("   c70ab.dbf\n"), std::string::npos) << ModalSeam::Shown()[2].text;
    EXPECT_TRUE(UseStoredWorkingDate);
    EXPECT_EQ(reopened_, 2);
    EXPECT_TRUE(DossierLockTable->isOpen);
  }
  EXPECT_EQ(launched_[1].back(), root_ + "/copies/");
}

// On a machine where Debian's "lha" is lhasa (installed before jlha-utils), which reads archives
// and writes none, the default backup still writes its archive and the restore gives the dossier
// back byte for byte; where no program that writes them is installed, the backup says which one
// is missing and its package. Each case runs with a PATH of its own: the programs of /usr/bin,
// "lha" a link to lhasa, and jlha left out in the second one.
TEST_F(RestoreTest, TheDefaultBackupWorksWhereLhaIsLhasa) {
  CreateAndOpen();
  SeedBatchFiles();
  IniSetString("LanceM?BACKUP", "9");
  const char* const path = std::getenv("PATH");
  struct PathBack {
    std::string old;
    ~PathBack() { setenv("PATH", old.c_str(), 1); }
  } back{path != nullptr ? path : ""};
  for (const bool writer : {true, false}) {
    SCOPED_TRACE(writer ? "lha is lhasa" : "lha is lhasa, no jlha");
    const std::string bin = root_ + (writer ? "/bin/" : "/bin-sans-jlha/"), target = root_ + (writer ? "/lzh/" : "/rien/");
    std::filesystem::create_directories(bin);
    for (const auto& e : std::filesystem::directory_iterator("/usr/bin")) {
      const std::string name = e.path().filename().string();
      if (name != "lha" && (writer || name != "jlha")) std::filesystem::create_symlink(e.path(), bin + name);
    }
    std::filesystem::create_symlink("/usr/bin/lhasa", bin + "lha");
    setenv("PATH", bin.c_str(), 1);
    IniSetString("Un-Sauvegarde", target.c_str());
    const auto saved = DossierData();
    ModalSeam::Reset();
    ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
    CmSauvegardeDossier();
    if (!writer) {
      EXPECT_EQ(lastExit_, 3);
      const std::string question = ModalSeam::LastShown()->text;
      EXPECT_NE(question.find("jlha, qui \xE9" "crit les archives LHA, n'est pas install\xE9 (paquet jlha-utils)"),
                std::string::npos)
          << question;
      EXPECT_FALSE(std::filesystem::exists(target + "ZELAB.lzh"));
      continue;
    }
    ASSERT_EQ(lastExit_, 0) << ModalSeam::LastShown()->text;
    ASSERT_TRUE(std::filesystem::exists(target + "ZELAB.lzh"));

    WriteText(folder_ + "c20ab.dbf", "spoilt");
    ModalSeam::Reset();
    ModalSeam::QueueFileAnswer(target + "ZELAB.lzh");
    ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
    CmRestaurationDossier();
    EXPECT_EQ(lastExit_, 0);
    EXPECT_EQ(DossierData(), saved);
    ASSERT_EQ(ModalSeam::Shown().size(), 3u);
    EXPECT_NE(ModalSeam::Shown()[2].text.find("   c20ab.dbf\n"), std::string::npos) << ModalSeam::Shown()[2].text;
  }
}

// A restore through the user's procedure, which writes into the dossier folder, whose log cannot
// be set aside (the set-aside name taken by a folder, the procedure bringing back the backup's
// log): nothing started, the station's log as it was, the dossier reopened without the stored
// working date.
TEST_F(RestoreTest, StoppedRestoreLeavesTheLogAsItWas) {
  CreateAndOpen();
  IniSetString("LanceM?BACKUP", "P");
  const std::string procedure = root_ + "/restaure.sh";
  WriteText(procedure, "printf 'journal de la sauvegarde\\r\\n' > \"$1/clgab.txt\"\n");
  IniSetString("Proc-Restaure", ("/bin/sh " + procedure + " %chemin%").c_str());
  WriteLog("ligne du poste");
  const std::string log = ReadText(LogPath(".txt"));
  std::filesystem::create_directory(platform::DiskPath(folder_ + "c_lgab.tmp"));
  ModalSeam::QueueFileAnswer(root_ + "/s/ZELAB.rar");
  ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  CmRestaurationDossier();
  EXPECT_TRUE(launched_.empty());
  EXPECT_EQ(ReadText(LogPath(".txt")), log);
  EXPECT_TRUE(std::filesystem::is_directory(platform::DiskPath(folder_ + "c_lgab.tmp")));
  EXPECT_FALSE(UseStoredWorkingDate);
  EXPECT_EQ(reopened_, 1);
}

// While a batch file unpacks the backup into the restore's own folder, the station's log stays in
// place under its name: a restore stopped there leaves the log that the imports read as it is.
TEST_F(RestoreTest, TheStationsLogStaysInPlaceWhileTheBackupIsUnpacked) {
  CreateAndOpen();
  IniSetString("LanceM?BACKUP", "9");
  const std::string seen = root_ + "/vu.txt", archives = root_ + "/archives/";
  std::filesystem::create_directories(archives);
  WriteText(archives + "ZELAB.lzh", "archive");
  // The batch file lists the dossier folder, two levels above its work folder.
  WriteText(program_ + BackupBatchName('9', true), "#!/bin/sh\nls \"$1/../..\" > '" + seen + "'\nexit 1\n");
  WriteLog("ligne du poste");
  const std::string log = ReadText(LogPath(".txt"));
  ModalSeam::QueueFileAnswer(archives + "ZELAB.lzh");
  CmRestaurationDossier();
  ASSERT_EQ(launched_.size(), 1u);
  const std::string listed = ReadText(seen);
  EXPECT_NE(listed.find("clgab.txt\n"), std::string::npos) << listed;
  EXPECT_EQ(listed.find("c_lgab.tmp"), std::string::npos) << listed;
  EXPECT_EQ(ReadText(LogPath(".txt")).rfind(log, 0), 0u);
}

// What stands at the partial names of the copies in the backup folder (a link to a file outside,
// a second name of another file) is replaced, never written through: both files are as they were
// and the copies are the dossier's.
TEST_F(RestoreTest, CopyBackupWritesNothingThroughALinkAtItsPartialName) {
  CreateAndOpen();
  SeedBatchFiles();
  IniSetString("LanceM?BACKUP", "W");
  const std::string target = root_ + "/copies/";
  IniSetString("Un-Sauvegarde", target.c_str());
  std::filesystem::create_directories(target);
  const std::string linked = root_ + "/lien.txt", second = root_ + "/second-nom.txt";
  WriteText(linked, "fichier vis\xE9 par un lien");
  WriteText(second, "fichier d'un autre nom");
  std::filesystem::create_symlink(linked, target + "c20ab-SauveW.dbf.partial");
  std::filesystem::create_hard_link(second, target + "c10ab-SauveW.dbf.partial");
  ModalSeam::Reset();
  ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  CmSauvegardeDossier();
  ASSERT_EQ(lastExit_, 0);
  EXPECT_EQ(ReadText(linked), "fichier vis\xE9 par un lien");
  EXPECT_EQ(ReadText(second), "fichier d'un autre nom");
  for (const char* table : {"c10ab", "c20ab"}) {
    EXPECT_EQ(ReadText(target + table + "-SauveW.dbf"), ReadText(platform::ResolveName(folder_, std::string(table) + ".dbf")))
        << table;
    EXPECT_FALSE(std::filesystem::exists(target + table + "-SauveW.dbf.partial")) << table;
  }
}

}  // namespace
}  // namespace backup_test
